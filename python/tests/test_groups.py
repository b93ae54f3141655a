"""Groups from Python: a column or a list of labels gives the run its
groups, the typed options reach the runner, and the group tables equal
tarvo-run's report for the same data written as a file with a group column."""

import math

import numpy as np
import pandas as pd
import pytest

import tarvo
from test_runner_agreement import lsat7, run_runner, same


def grouped_lsat7():
    """LSAT-7 with a group column: the abler half of the score range leans
    to 'focal' so the groups differ; every 25th examinee has no group."""
    frame = lsat7()
    score = frame.sum(axis=1)
    labels = np.where((score >= 4) ^ (np.arange(len(frame)) % 4 == 0), "focal", "ref")
    labels = labels.astype(object)
    labels[np.arange(len(frame)) % 25 == 24] = None
    frame.insert(0, "group", labels)
    return frame


def write_grouped_csv(frame, path):
    items = [c for c in frame.columns if c != "group"]
    lines = ["id,group," + ",".join(items)]
    for ident, row in zip(frame.index, frame.itertuples(index=False)):
        group = "" if row[0] is None else row[0]
        lines.append(",".join([ident, group] + [str(int(v)) for v in row[1:]]))
    path.write_text("\n".join(lines) + "\n")


def runner_report(runner, frame, options, tmp_path):
    csv = tmp_path / "grouped.csv"
    write_grouped_csv(frame, csv)
    options = dict(options, **{"group-column": "group", "reference-group": "ref"})
    return run_runner(runner, csv, options, tmp_path)[1]


class TestRunnerAgreement:
    def test_two_group_2pl_equals_the_runner(self, runner, tmp_path):
        frame = grouped_lsat7()
        fit = tarvo.calibrate(frame, model="2pl", group="group", groups=True,
                              reference_group="ref")
        report = runner_report(runner, frame, {"method": "mml", "model": "2pl", "groups": None},
                               tmp_path)
        table = fit.group_calibration
        assert sorted(table.index) == ["focal", "ref"]
        expected = {g["label"]: g for g in report["group_calibration"]["groups"]}
        for label in ("ref", "focal"):
            for column in ("mean", "sd", "se_mean", "se_sd", "examinees"):
                assert same(table.loc[label, column], expected[label][column]), (label, column)
        assert table.loc["ref", "reference"] and not table.loc["focal", "reference"]
        assert table.loc["focal", "mean"] > 0.1  # the abler group's mean
        # The group column is no item.
        assert list(fit.items.index) == [c for c in frame.columns if c != "group"]
        assert fit.groups.loc["ref", "reference"]
        assert (fit.groups.loc["ref", "count"], fit.groups.loc["focal", "count"]) == (422, 538)
        assert fit.report["groups"]["unknown"] == 40

    def test_dif_table_equals_the_runners(self, runner, tmp_path):
        frame = grouped_lsat7()
        fit = tarvo.calibrate(frame, model="2pl", group="group", reference_group="ref",
                              dif=["mh", "std", "lr"])
        report = runner_report(runner, frame, {"method": "mml", "model": "2pl",
                                               "dif": "mh,std,lr"}, tmp_path)
        rows = [(c["focal"], t["method"], r) for c in report["dif"]["comparisons"]
                for t in c["tables"] for r in t["rows"]]
        table = fit.dif
        assert len(table) == len(rows) == 15
        for k, (focal, method, row) in enumerate(rows):
            got = table.iloc[k]
            assert (got["focal"], got["method"], got["item"]) == (focal, method, row["item"])
            for column in ("statistic", "p", "p_adjusted", "effect"):
                assert same(got[column], row[column]), (k, column)
            assert got["category"] == row["category"]
        lr = table[table["method"] == "lr"]
        assert lr["uniform_chi_square"].notna().all()
        assert fit.group_calibration is None  # screens only: no groups model

    def test_labels_as_a_list_equal_the_column(self):
        frame = grouped_lsat7()
        by_column = tarvo.calibrate(frame, model="2pl", group="group", groups=True,
                                    reference_group="ref")
        labels = [math.nan if v is None else v for v in frame["group"]]
        by_list = tarvo.calibrate(frame.drop(columns="group"), model="2pl", group=labels,
                                  groups=True, reference_group="ref")
        pd.testing.assert_frame_equal(by_column.group_calibration, by_list.group_calibration)


class TestGroupErrors:
    def test_wrong_label_count_is_the_runners_message(self):
        frame = lsat7()
        with pytest.raises(tarvo.TarvoError, match="999 group labels for 1000 examinees"):
            tarvo.calibrate(frame, model="2pl", group=["a", "b"] * 499 + ["a"])

    def test_unknown_column_names_the_column(self):
        with pytest.raises(tarvo.TarvoError, match="'cohort'"):
            tarvo.calibrate(lsat7(), model="2pl", group="cohort")

    def test_unknown_reference_group_is_the_runners_message(self):
        frame = grouped_lsat7()
        with pytest.raises(tarvo.TarvoError, match="'east' is no group"):
            tarvo.calibrate(frame, model="2pl", group="group", reference_group="east")

    def test_without_groups_the_tables_are_none(self):
        fit = tarvo.calibrate(lsat7(), model="2pl")
        assert fit.groups is None and fit.group_calibration is None and fit.dif is None


def test_freed_items_and_anchors_are_the_runners_options(runner, tmp_path):
    frame = grouped_lsat7()
    fit = tarvo.calibrate(frame, model="2pl", group="group", groups=True, reference_group="ref",
                          free_items=["Q1"])
    report = runner_report(runner, frame, {"method": "mml", "model": "2pl", "groups": None,
                                           "free-items": "Q1"}, tmp_path)
    assert list(fit.items.index) == ["Q1 [ref]", "Q1 [focal]", "Q2", "Q3", "Q4", "Q5"]
    assert all(same(a, row["a"]) for a, row in zip(fit.items["a"], report["items"]))
    screened = tarvo.calibrate(frame, model="2pl", group="group", groups=True,
                               reference_group="ref", dif="irt", anchors=["Q2", "Q3"],
                               dif_match="rest")
    assert set(screened.dif["method"]) == {"irt", "wald"}
    assert set(screened.dif["item"]) == {1, 4, 5}  # the anchors are not studied
