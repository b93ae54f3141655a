"""tarvo.link and tarvo.score_table equal tarvo-run --link and --items for the
same forms: from result files, and from fits in memory, which the runner
reads from item files holding every digit; the caller's executor gives the
same estimates; refusals raise with the runner's messages."""

import concurrent.futures
import subprocess
import threading

import numpy as np
import pytest

import tarvo
from test_runner_agreement import lsat7

# Columns 25 wide for values printed with every digit (repr round-trips).
COLUMNS = [("a-start", "10"), ("a-length", "24"), ("b-start", "35"), ("b-length", "24"),
           ("c-start", "60"), ("c-length", "24"), ("seea-start", "85"), ("seea-length", "24"),
           ("seeb-start", "110"), ("seeb-length", "24"), ("seec-start", "135"),
           ("seec-length", "24")]


def exact_item_file(fit, path):
    """The fit's items as the library reads them: named by their names, an
    error of -1 (not estimated) as 0."""
    lines = []
    for name, row in fit.items.iterrows():
        values = [row[k] for k in ("a", "b", "c")]
        values += [max(row[k], 0.0) for k in ("se_a", "se_b", "se_c")]
        lines.append(f"{name:<8}" + "".join(f" {repr(float(v)):>24}" for v in values))
    path.write_text("\r\n".join(lines) + "\r\n")
    return str(path)


def run(runner, *args):
    done = subprocess.run([runner, *args], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr
    return done


def halves():
    """Every other examinee: the file is sorted by response pattern."""
    frame = lsat7()
    return frame.iloc[0::2], frame.iloc[1::2]


@pytest.mark.parametrize("options,model", [(dict(method="mml", model="2pl"), "2pl"),
                                           (dict(mode=3), "3pl"),
                                           (dict(mode=6, standardize=False), "1pl")],
                         ids=["mml 2pl", "classic mode 3", "classic mode 6"])
def test_link_of_fits_equals_the_runners(runner, tmp_path, options, model):
    first, second = halves()
    base_fit = tarvo.calibrate(first, threads=1, **options)
    new_fit = tarvo.calibrate(second, threads=1, **options)
    base = exact_item_file(base_fit, tmp_path / "base.itm")
    new = exact_item_file(new_fit, tmp_path / "new.itm")
    report = tmp_path / "runner.json"
    columns = [part for name, value in COLUMNS for part in (f"--{name}", value)]
    run(runner, "--link", "--base-items", base, "--new-items", new, "--base-model", model,
        "--new-model", model, "--report", str(report), "--equating-table",
        str(tmp_path / "runner-eq.csv"), *columns)

    linked = tarvo.link(base_fit, new_fit, base_label=base, new_label=new,
                        equating_table_file=str(tmp_path / "package-eq.csv"))
    assert linked.report_json == report.read_text()
    assert (tmp_path / "package-eq.csv").read_bytes() == (tmp_path / "runner-eq.csv").read_bytes()
    assert linked.method == "stocking-lord" and linked.common_items == 5
    assert list(linked.constants.index) == ["mean/mean", "mean/sigma", "haebara", "stocking-lord"]
    assert linked.A == linked.report["linking"][3]["A"]
    assert len(linked.equating) == 6 and len(linked.score_table) == 6
    if model == "1pl":
        assert linked.A == 1.0


def test_link_and_score_table_of_result_files_equal_the_runners(runner, tmp_path):
    first, second = halves()
    base, new = str(tmp_path / "base.res"), str(tmp_path / "new.res")
    tarvo.calibrate(first, method="mml", model="3pl", output_file=base)
    tarvo.calibrate(second, method="mml", model="3pl", output_file=new)
    report = tmp_path / "runner.json"
    run(runner, "--link", "--base-items", base, "--new-items", new, "--link-method", "haebara",
        "--bootstrap", "30", "--seed", "3", "--report", str(report))
    linked = tarvo.link(base, new, method="haebara", bootstrap=30, seed=3)
    assert linked.report_json == report.read_text()
    assert (linked.constants["bootstrap_replicates"] > 0).all()

    run(runner, "--items", base, "--population-mean", "0.5", "--score-table",
        str(tmp_path / "runner-scores.csv"), "--report", str(report))
    table = tarvo.score_table(base, population_mean=0.5,
                              score_table_file=str(tmp_path / "package-scores.csv"))
    assert table.attrs["report_json"] == report.read_text()
    assert ((tmp_path / "package-scores.csv").read_bytes()
            == (tmp_path / "runner-scores.csv").read_bytes())
    assert list(table["score"]) == [0, 1, 2, 3, 4, 5]


def test_score_table_of_a_fit_equals_the_runners_over_every_digit(runner, tmp_path):
    fit = tarvo.calibrate(lsat7(), method="mml", model="2pl")
    items = exact_item_file(fit, tmp_path / "fit.itm")
    report = tmp_path / "runner.json"
    columns = [part for name, value in COLUMNS for part in (f"--{name}", value)]
    run(runner, "--items", items, "--model", "2pl", "--report", str(report), *columns)
    table = tarvo.score_table(fit)
    assert table.attrs["report_json"] == report.read_text()
    assert np.isnan(table["ml"].iloc[0]) and table["proportion"].sum() == pytest.approx(1)


def test_refusals_raise_the_runners_messages(tmp_path):
    first, second = halves()
    base_fit = tarvo.calibrate(first, method="mml", model="2pl")
    with pytest.raises(tarvo.TarvoError, match="^--link-method takes mean/mean, mean/sigma, "
                       "haebara or stocking-lord, not 'median'$"):
        tarvo.link(base_fit, base_fit, method="median")
    with pytest.raises(tarvo.TarvoError, match="missing.itm"):
        tarvo.link(base_fit, str(tmp_path / "missing.itm"))
    with pytest.raises(TypeError):
        tarvo.link(base_fit, 42)
    # Anchor pairs in memory: only the items named are common.
    linked = tarvo.link(base_fit, tarvo.calibrate(second, method="mml", model="2pl"),
                        anchors=[("Q1", "Q1"), ("Q2", "Q2"), ("Q4", "Q4")])
    assert linked.common_items == 3 and linked.matched_by == "anchor pairs"


def test_the_callers_executor_runs_the_passes_with_the_same_bits():
    frame = lsat7()
    own = tarvo.calibrate(frame, method="mml", model="2pl", threads=3)
    started = []
    lock = threading.Lock()
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        def executor(count, task):
            with lock:
                started.append(count)
            for k in range(count):
                pool.submit(task, k)
        borrowed = tarvo.calibrate(frame, method="mml", model="2pl", threads=3,
                                   executor=executor)
    assert len(started) > 2 and set(started) == {2}
    for key in ("a", "b", "se_a", "se_b"):
        assert np.array_equal(own.estimates[key], borrowed.estimates[key])
    assert np.array_equal(own.persons["theta"], borrowed.persons["theta"])

    def failing(count, task):
        raise RuntimeError("no threads today")
    with pytest.raises(RuntimeError, match="no threads today"):
        tarvo.calibrate(frame, method="mml", model="2pl", threads=3, executor=failing)
