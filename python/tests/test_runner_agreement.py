"""The package's estimates, fit and tables equal tarvo-run's result file and
JSON report for the same data and options, bit for bit: the data frame is
written as the CSV the runner reads, and both runs are compared."""

import json
import math
import subprocess

import numpy as np
import pandas as pd
import pytest

import tarvo
from conftest import REPOSITORY

DATA = REPOSITORY / "tests" / "data"


def lsat7():
    frame = pd.read_csv(DATA / "lsat" / "lsat7.csv")
    frame.index = [f"E{k:04d}" for k in range(1, len(frame) + 1)]
    return frame


def verbagg3():
    """The verbal aggression scores 0..2 (fixed columns: ID 1-8, items from 20)."""
    rows, ids = [], []
    for line in (DATA / "polytomous" / "verbagg3.dat").read_text().splitlines():
        ids.append(line[:8])
        rows.append([int(c) if c != " " else np.nan for c in line[19:43]])
    return pd.DataFrame(rows, index=ids, columns=[f"v{i + 1}" for i in range(24)])


def write_csv(frame, path):
    lines = ["id," + ",".join(frame.columns)]
    for ident, row in zip(frame.index, frame.itertuples(index=False)):
        lines.append(",".join([ident] + ["" if pd.isna(v) else str(int(v)) for v in row]))
    path.write_text("\n".join(lines) + "\n")


def run_runner(runner, csv, options, tmp_path):
    result, report = tmp_path / "runner.csv", tmp_path / "runner.json"
    args = [runner, "--response-file", str(csv), "--format", "csv", "--id-column", "id",
            "--output-file", str(result), "--report", str(report), "--quiet"]
    for name, value in options.items():
        args += [f"--{name}"] + ([] if value is None else [value])  # None: a flag
    done = subprocess.run(args, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return result.read_bytes(), json.loads(report.read_text())


def same(a, b):
    """Equal to the bit, NaN (null in the JSON) equal to NaN."""
    if b is None:
        return math.isnan(a)
    return float(a) == float(b) and math.copysign(1, a) == math.copysign(1, b)


CASES = [
    ("lsat7 classic mode 3", lsat7, {"mode": "3"}, dict(mode=3)),
    ("lsat7 classic mode 6", lsat7, {"mode": "6", "standardize": "no"},
     dict(mode=6, standardize=False)),
    ("lsat7 mml 3pl", lsat7, {"method": "mml", "compare": "1pl,2pl"},
     dict(method="mml", compare=["1pl", "2pl"])),
    ("lsat7 mml 2pl", lsat7, {"method": "mml", "model": "2pl", "scoring": "map"},
     dict(method="mml", model="2pl", scoring="map")),
    ("lsat7 mml 1pl", lsat7, {"method": "mml", "model": "1pl", "score-table": None},
     dict(method="mml", model="1pl", score_table=True)),
    ("lsat7 mml rasch", lsat7, {"method": "mml", "model": "rasch", "quadrature": "41"},
     dict(method="mml", model="rasch", quadrature=41)),
    ("verbagg3 grm", verbagg3, {"method": "mml", "model": "grm"}, dict(model="grm")),
    ("verbagg3 gpcm", verbagg3, {"method": "mml", "model": "gpcm", "compare": "pcm,gpcm"},
     dict(model="gpcm", compare="pcm,gpcm")),
    ("verbagg3 pcm", verbagg3, {"method": "mml", "model": "pcm"}, dict(model="pcm")),
    ("verbagg3 rsm", verbagg3, {"method": "mml", "model": "rsm"}, dict(model="rsm")),
]


@pytest.mark.parametrize("name,data,runner_options,options", CASES, ids=[c[0] for c in CASES])
def test_estimates_fit_and_tables_equal_the_runners(runner, tmp_path, name, data, runner_options,
                                                    options):
    frame = data()
    csv = tmp_path / "responses.csv"
    write_csv(frame, csv)
    runner_options = dict(runner_options)
    if "score-table" in runner_options:
        runner_options["score-table"] = str(tmp_path / "runner-scores.csv")
    expected_file, report = run_runner(runner, csv, runner_options, tmp_path)

    fit = tarvo.calibrate(frame, output_file=str(tmp_path / "package.csv"), **options)
    assert (tmp_path / "package.csv").read_bytes() == expected_file

    items = report["items"]
    assert len(fit.items) == len(items)
    for (_, row), (_, fit_row), expected in zip(fit.items.iterrows(), fit.fit.iterrows(), items):
        for column, key in (("a", "a"), ("b", "b"), ("c", "c"), ("se_a", "se_a"),
                            ("se_b", "se_b"), ("se_c", "se_c"), ("p_value", "p_value")):
            assert same(row[column], expected[key]), (column, row.name)
        if "thresholds" in expected:
            assert list(row["thresholds"]) == expected["thresholds"]
        if "fit" in expected:
            for column in ("s_x2", "p", "infit", "outfit", "infit_t", "outfit_t"):
                assert same(fit_row[column], expected["fit"][column]), (column, row.name)
        assert list(row["flags"]) == expected["flags"]
    people = report["examinees"]
    assert list(fit.persons.index) == [p["id"] for p in people]
    for theta, se, expected in zip(fit.persons["theta"], fit.persons["se"], people):
        assert same(theta, expected["theta"]) and same(se, expected["se_theta"])
    if report.get("model_fit", {}).get("defined"):
        assert same(fit.aic, report["model_fit"]["aic"])
        assert same(fit.bic, report["model_fit"]["bic"])
    if report.get("mml"):
        assert same(fit.loglik, report["mml"]["log_likelihood"])
    assert fit.warnings == report["warnings"]
    if "model_comparison" in report:
        assert [m["model"] for m in report["model_comparison"]["models"]] == list(
            fit.comparison["model"])
        for aic, expected in zip(fit.comparison["aic"], report["model_comparison"]["models"]):
            assert same(aic, expected["aic"])
    if "score-table" in runner_options:
        expected_rows = report["summed_scores"]
        assert len(fit.score_table) > 0
        assert json.loads(fit.report_json)["summed_scores"] == expected_rows
    # The whole rows of the package's own report are the runner's.
    own = fit.report
    assert own["items"] == items and own["examinees"] == people
