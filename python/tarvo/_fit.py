"""A finished calibration's tables as pandas objects."""

import json
import math
from functools import cached_property

import numpy as np
import pandas as pd

from ._groups import dif_table, group_calibration_table, groups_table

_ITEM_COLUMNS = ["a", "se_a", "b", "se_b", "c", "se_c", "thresholds", "model", "categories",
                 "nobs", "omitted", "p_value", "item_rest", "mean_score", "held", "flags"]
_FIT_COLUMNS = ["s_x2", "df", "p", "p_adjusted", "infit", "outfit", "infit_t", "outfit_t",
                "fit_note"]
_PERSON_COLUMNS = ["theta", "se", "raw_score", "nvalid", "lz", "infit", "outfit", "flags"]


class Fit:
    """The tables of one run, as the runner's report holds them.

    items: one row per item (a, b, c with their standard errors, thresholds
    of items scored 0..m, classical statistics, flags), indexed by name.
    persons: one row per examinee (theta, its error, raw score, person fit).
    fit: the items' fit (S-X2 with df and p, infit and outfit).
    estimates: numpy views of the estimates (no copies).
    loglik, aic, bic: the model's log-likelihood and criteria (NaN where the
    run defines none). comparison, score_table, trace: DataFrames.
    warnings, findings: the report's warnings and the input check's.
    report: the runner's JSON report as a dict.
    groups, group_calibration, dif: the report's group tables (the
    responses' groups; a multiple-group calibration's groups; the DIF
    screens, one row per comparison, screen and item), None when the run
    reported none.
    """

    def __init__(self, result, names, ids):
        self._result = result
        items = result["items"]
        # An item freed across groups is one row per group ("Q1 [ref]"), so
        # the rows then go by the run's own item names.
        rows = names if len(names) == len(items["a"]) else list(items["name"])
        index = pd.Index(rows, name="item")
        self.estimates = {key: items[key] for key in ("a", "b", "c", "se_a", "se_b", "se_c")}
        self.estimates.update(theta=result["persons"]["theta"], se=result["persons"]["se"])
        self.items = pd.DataFrame({key: items[key] for key in _ITEM_COLUMNS}, index=index)
        self.items.insert(0, "id", items["id"])
        self.fit = pd.DataFrame({key: items[key] for key in _FIT_COLUMNS}, index=index)
        persons = result["persons"]
        person_index = (pd.Index(persons["id"], name="id") if ids
                        else pd.RangeIndex(1, len(persons["theta"]) + 1, name="examinee"))
        self.persons = pd.DataFrame({key: persons[key] for key in _PERSON_COLUMNS},
                                    index=person_index)
        self.model_fit = result["model_fit"]
        self.method = result["method"]
        self.model = result["model"]
        self.mode = result["mode"]
        self.warnings = list(result["warnings"])
        self.findings = list(result["findings"])
        self.messages = list(result["messages"])
        self.priors = list(result["priors"])
        self.population = dict(result["population"])
        self.comparison = pd.DataFrame(result["comparison"])
        self.comparison_tests = pd.DataFrame(result["comparison_tests"])
        self.score_table = pd.DataFrame(result["score_table"])
        trace = result["trace"]
        self.trace = pd.DataFrame({k: trace[k] for k in ("log_likelihood", "largest_change")}
                                  if trace["step"] == "em_cycle"
                                  else {"ms_error": trace["ms_error"]})
        self.trace_end = trace["end"]
        self.local_dependence = pd.DataFrame(result["local_dependence"],
                                             columns=["first", "second", "q3"])
        self.alpha = result["alpha"]
        self.empirical_reliability = result["empirical_reliability"]
        self.report_json = result["report_json"]

    @property
    def report(self):
        """The runner's JSON report, parsed."""
        return json.loads(self.report_json)

    @cached_property
    def _sections(self):
        return json.loads(self.report_json)

    @property
    def groups(self):
        return groups_table(self._sections.get("groups"))

    @property
    def group_calibration(self):
        return group_calibration_table(self._sections.get("group_calibration"))

    @property
    def dif(self):
        return dif_table(self._sections.get("dif"))

    @property
    def loglik(self):
        """The marginal log-likelihood of a marginal run, else the model
        fit's -2LL halved; NaN where neither is defined."""
        value = self._result["log_likelihood"]
        if math.isfinite(value):
            return value
        minus2 = self.model_fit.get("minus_2_log_likelihood", math.nan)
        return -minus2 / 2 if self.model_fit.get("defined") else math.nan

    @property
    def aic(self):
        return self.model_fit["aic"] if self.model_fit.get("defined") else math.nan

    @property
    def bic(self):
        return self.model_fit["bic"] if self.model_fit.get("defined") else math.nan

    def summary(self):
        """A few lines: the run, the fit, the warnings."""
        method = self.method + (f" mode {self.mode}" if self.method == "jml" else "")
        lines = [f"TARVO {method}, model {self.model}: {len(self.items)} items, "
                 f"{len(self.persons)} examinees; the estimation {self.trace_end} after "
                 f"{len(self.trace)} {'EM cycles' if self.method == 'mml' else 'passes'}."]
        if self.model_fit.get("defined"):
            lines.append(f"-2 log-likelihood {self.model_fit['minus_2_log_likelihood']:.3f}, "
                         f"{self.model_fit['parameters']} parameters, AIC {self.aic:.3f}, "
                         f"BIC {self.bic:.3f}.")
        if math.isfinite(self.empirical_reliability):
            lines.append(f"Empirical reliability {self.empirical_reliability:.3f}.")
        with pd.option_context("display.width", 120, "display.max_columns", 12):
            lines.append(self.items[["a", "se_a", "b", "se_b", "c", "se_c"]].to_string())
        lines += ["WARNING " + w for w in self.warnings]
        return "\n".join(lines)

    def __repr__(self):
        return (f"<tarvo.Fit {self.method} {self.model}: {len(self.items)} items, "
                f"{len(self.persons)} examinees>")
