"""Examinees' groups: the labels a run takes, the options that use them and
the report's group tables as pandas DataFrames."""

import math

import numpy as np
import pandas as pd

from ._responses import TarvoError


def split_groups(data, group):
    """(data, labels): the responses without the group column when group
    names one, and one label per examinee ('' unknown), or None without
    groups."""
    if group is None:
        return data, None
    if isinstance(group, str):
        if not isinstance(data, pd.DataFrame) or group not in data.columns:
            raise TarvoError(f"ERROR Response file responses: group names the column '{group}', "
                             "which the responses do not have: name a column of the DataFrame "
                             "or give one label per examinee.")
        return data.drop(columns=[group]), group_labels(data[group])
    return data, group_labels(group)


def group_labels(values):
    """Each value as the text a file's group field would hold; None, NaN
    and pandas' missing values are unknown ('')."""
    labels = []
    for value in values:
        if value is None or (isinstance(value, float) and math.isnan(value)) or value is pd.NA:
            labels.append("")
        elif isinstance(value, (float, np.floating)) and float(value).is_integer():
            # A column of whole labels with a gap reads as floats: 1.0 is "1".
            labels.append(str(int(value)))
        elif isinstance(value, bytes):
            labels.append(value.decode("latin-1").strip())
        else:
            labels.append(str(value).strip())
    return labels


def _joined(value):
    return value if isinstance(value, str) else ",".join(str(v) for v in value)


def group_runner_options(groups=False, reference_group=None, focal_groups=None, dif=None,
                         dif_match=None, anchors=None, free_items=None, free_dif=False):
    """The runner options the typed group arguments stand for."""
    options = []
    if groups:
        options.append(("groups", "yes"))
    if reference_group is not None:
        options.append(("reference-group", str(reference_group)))
    if focal_groups is not None:
        options.append(("focal-groups", _joined(focal_groups)))
    if dif is not None:
        options.append(("dif", _joined(dif)))
    if dif_match is not None:
        options.append(("dif-match", str(dif_match)))
    if anchors is not None:
        options.append(("anchors", _joined(anchors)))
    if free_items is not None:
        options.append(("free-items", _joined(free_items)))
    if free_dif:
        options.append(("free-dif", "yes"))
    return options


def group_calibration_table(section):
    """One row per group of a multiple-group calibration, by label."""
    if not isinstance(section, dict):
        return None
    rows = [{k: v for k, v in g.items() if k != "histogram"} for g in section["groups"]]
    return pd.DataFrame(rows).set_index("label").astype({"se_mean": float, "se_sd": float})


def groups_table(section):
    """One row per group of the responses: its count and its part."""
    if not isinstance(section, dict):
        return None
    return pd.DataFrame(section["groups"]).set_index("label")


def dif_table(section):
    """One row per comparison, screen and item; the logistic screen's
    uniform and non-uniform tests flattened into columns of their own."""
    if not isinstance(section, dict) or "comparisons" not in section:
        return None
    rows = []
    for comparison in section["comparisons"]:
        for table in comparison["tables"]:
            for row in table["rows"]:
                out = {"reference": comparison["reference"], "focal": comparison["focal"],
                       "method": table["method"]}
                for key, value in row.items():
                    if isinstance(value, dict):
                        out.update({f"{key}_{k}": v for k, v in value.items()})
                    else:
                        out[key] = value
                rows.append(out)
    frame = pd.DataFrame(rows)
    # The report writes undefined numbers as null.
    for column in ("statistic", "p", "p_adjusted", "effect"):
        if column in frame:
            frame[column] = frame[column].astype(float)
    return frame
