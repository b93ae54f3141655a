"""Linking two calibrations and a form's score table, as tarvo-run --link and
--items make them, over fits in memory or item and result files."""

import json
import os

import pandas as pd

from ._responses import TarvoError
from . import _tarvo

_SCORE_COLUMNS = ["score", "proportion", "eap", "eap_sd", "ml"]


def _form(form, model, label):
    """A Fit (its items at full precision) or a file's path, as the engine takes it."""
    from ._fit import Fit
    if isinstance(form, Fit):
        return form._result["engine_result"], model or "", label or ""
    if isinstance(form, (str, os.PathLike)):
        return os.fspath(form), model or "", label or ""
    raise TypeError("a form is a tarvo.Fit or the path of an item or result file, "
                    f"not {type(form).__name__}")


def _curve(curve):
    return pd.DataFrame(curve).set_index("theta")


def _score_frame(rows):
    return pd.DataFrame({key: rows[key] for key in _SCORE_COLUMNS})


class Link:
    """A link: theta_base = A theta_new + B by every method.

    constants: A, B and their errors by method (after any relink), chosen
    the row of the method that carried the new form over (A, B, se_A, se_B).
    drift: the common items' drift screen; dropped: the items left out.
    transformed: the new form's items on the base scale. equating: true-
    score equating, new score to base score. score_table: the new form's on
    the base scale. base_curve, new_curve: the test curves over -4..4.
    report: the runner's JSON report of the same link, as a dict.
    """

    def __init__(self, result):
        self._result = result
        self.constants = pd.DataFrame(result["constants"]).set_index("method")
        self.constants_before_drop = (pd.DataFrame(result["constants_before_drop"])
                                      .set_index("method")
                                      if result["constants_before_drop"] else None)
        self.method = result["chosen_method"]
        self.chosen = self.constants.loc[self.method]
        self.A, self.B = float(self.chosen["A"]), float(self.chosen["B"])
        self.common_items = result["common_items"]
        self.matched_by = result["matched_by"]
        self.drift = pd.DataFrame(result["drift"])
        self.drift_note = result["drift_note"]
        self.dropped = list(result["dropped"])
        self.transformed = pd.DataFrame(result["transformed"])
        self.equating = pd.DataFrame(result["equating"],
                                     columns=["new_score", "theta", "base_score"])
        self.equating_error = result["equating_error"]
        self.score_table = _score_frame(result["score_table"])
        self.base_curve = _curve(result["base_curve"])
        self.new_curve = _curve(result["new_curve"])
        self.messages = list(result["messages"])
        self.report_json = result["report_json"]

    @property
    def report(self):
        """The runner's JSON report of the link, parsed."""
        return json.loads(self.report_json)

    def __repr__(self):
        return (f"<tarvo.Link {self.method}: A = {self.A:.4f}, B = {self.B:.4f} from "
                f"{self.common_items} common items>")


def link(base, new, method="stocking-lord", *, base_model=None, new_model=None,
         base_label=None, new_label=None, anchors=None, bootstrap=None, seed=None,
         drift_z=None, drop_drifting=False, **options):
    """Puts the new form on the base form's scale and returns a Link.

    base, new: a tarvo.Fit (its right/wrong items at full precision, each
    named by its ID, or its name without one) or the path of an item
    parameter file or a result file. base_model, new_model: "3pl", "2pl" or
    "1pl" (default: the fit's or the file's own). anchors: the path of an
    anchors file or a list of (base ID, new ID) pairs; default: the items
    of the same ID. bootstrap: errors from that many resamples (seed) in
    place of the delta method. drift_z, drop_drifting: the drift screen.
    Other keyword options are the runner's, with underscores:
    criterion_points, criterion_range, criterion_mean, criterion_sd,
    symmetric, population_mean, population_sd, population_points,
    population_range, report_file, html_report_file,
    transformed_items_file, score_table_file, equating_table_file,
    abilities_from with transformed_abilities_file, runner_options=[(name,
    text)] (the item files' columns).

    Raises TarvoError with the runner's message when the link is not made.
    """
    base_form, base_model, base_label = _form(base, base_model, base_label)
    new_form, new_model, new_label = _form(new, new_model, new_label)
    run_options = dict(options)
    run_options.update(method=method, bootstrap=bootstrap, seed=seed, drift_z=drift_z,
                       drop_drifting=drop_drifting)
    if isinstance(anchors, (str, os.PathLike)):
        run_options["anchors_file"] = os.fspath(anchors)
    elif anchors is not None:
        run_options["anchors"] = [(str(b), str(n)) for b, n in anchors]
    result = _tarvo.link(base_form, new_form, base_model, new_model, base_label, new_label,
                         run_options)
    if not result["ok"]:
        raise TarvoError(result["error"], result)
    return Link(result)


def score_table(form, model=None, *, label=None, **options):
    """One form's summed-score table (the runner's --items) as a DataFrame:
    per raw score its expected proportion, the EAP ability with its SD and
    the ML ability (NaN where none), over a normal population
    (population_mean, population_sd, population_points, population_range).
    form: a tarvo.Fit or an item or result file. The frame's attrs hold the
    test curve ("curve") and the runner's JSON report ("report_json").
    Other keyword options: report_file, html_report_file, score_table_file,
    runner_options. Raises TarvoError with the runner's message."""
    handle, model, label = _form(form, model, label)
    result = _tarvo.score_table(handle, model, label, dict(options))
    if not result["ok"]:
        raise TarvoError(result["error"], result)
    frame = _score_frame(result["rows"])
    frame.attrs["curve"] = _curve(result["curve"])
    frame.attrs["report_json"] = result["report_json"]
    return frame
