"""The Python package's cost over the runner.

    python bench/python_binding.py [examinees] [items] [threads]
    python bench/python_binding.py --memory [examinees] [items]

The first form times the same 2PL calibration of a simulated test by
tarvo-run (from a CSV file) and by tarvo.calibrate (from a DataFrame in
memory), the best of three wall and processor times of each, and says
whether their estimates are the same bits. The second runs a short
calibration (one EM cycle, no standard errors) of a frame of one-byte
integers and prints the most the binding's pass over the frame holds per
response (the cells the engine reads in place, and what it allocates on
the way), then how far the whole call raised this process's peak memory
beside the runner's peak on the same data. Run it with the package installed (pip install
--no-build-isolation ./python) on an idle machine.
"""
import json
import resource
import subprocess
import sys
import tempfile
import time
import tracemalloc
from pathlib import Path

import numpy as np
import pandas as pd

import tarvo
from tarvo import _build_info
from tarvo._responses import response_cells


def simulated(examinees, items, seed=20261210):
    """A 2PL test as one-byte scores, made in blocks of rows so that the
    peak memory before a run is the frame's own."""
    rng = np.random.default_rng(seed)
    a = rng.uniform(0.5, 1.5, items)
    b = rng.standard_normal(items)
    scores = np.empty((examinees, items), dtype=np.int8)
    for start in range(0, examinees, 20_000):
        stop = min(examinees, start + 20_000)
        theta = rng.standard_normal(stop - start)
        p = 1.0 / (1.0 + np.exp(-1.7 * a * (theta[:, None] - b)))
        scores[start:stop] = rng.random(p.shape) < p
    return pd.DataFrame(scores, columns=[f"I{i + 1:03d}" for i in range(items)])


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def best_of(times, run, cpu_clock):
    """The best wall and processor times of a few runs, and the last outcome.

    The processor time (of the runner's process, or of this one during the
    package's call) stays comparable when other work shares the machine.
    """
    wall = cpu = float("inf")
    for _ in range(times):
        start, start_cpu = time.perf_counter(), cpu_clock()
        outcome = run()
        wall = min(wall, time.perf_counter() - start)
        cpu = min(cpu, cpu_clock() - start_cpu)
    return wall, cpu, outcome


def timing(examinees, items, threads):
    frame = simulated(examinees, items)
    with tempfile.TemporaryDirectory() as folder:
        csv = Path(folder, "data.csv")
        frame.to_csv(csv, index=False)
        report = Path(folder, "report.json")
        command = [_build_info.RUNNER, "--response-file", str(csv), "--format", "csv",
                   "--method", "mml", "--model", "2pl", "--output-file",
                   str(Path(folder, "result.txt")), "--report", str(report), "--quiet",
                   "--threads", str(threads)]
        runner, runner_cpu, _ = best_of(3, lambda: subprocess.run(command, check=True),
                                        children_cpu)
        runner_a = [row["a"] for row in json.loads(report.read_text())["items"]]
    package, package_cpu, fit = best_of(
        3, lambda: tarvo.calibrate(frame, model="2pl", method="mml", threads=threads),
        time.process_time)
    same = list(fit.items["a"]) == runner_a
    print(f"{examinees:,} x {items}, {threads} threads (best of 3): tarvo-run {runner:.3f} s wall, "
          f"{runner_cpu:.3f} s processor; tarvo.calibrate {package:.3f} s wall "
          f"({100 * (package - runner) / runner:+.1f}%), {package_cpu:.3f} s processor "
          f"({100 * (package_cpu - runner_cpu) / runner_cpu:+.1f}%); same a: {same}")


def peak_bytes():
    return resource.getrusage(resource.RUSAGE_SELF).ru_maxrss * 1024


def memory(examinees, items):
    frame = simulated(examinees, items)
    responses = examinees * items
    # The binding's pass over the frame: the cells it hands the run (one
    # byte per response, read in place by the engine) and whatever it holds
    # on the way, as numpy and Python allocate it.
    tracemalloc.start()
    cells = response_cells(frame)[0]
    passed = tracemalloc.get_traced_memory()[1]
    tracemalloc.stop()
    del cells
    options = ["--method", "mml", "--model", "1pl", "--em-cycles", "1",
               "--standard-errors", "none", "--threads", "1"]
    with tempfile.TemporaryDirectory() as folder:
        csv = Path(folder, "data.csv")
        frame.to_csv(csv, index=False)
        subprocess.run([_build_info.RUNNER, "--response-file", str(csv), "--format", "csv",
                        "--output-file", str(Path(folder, "result.txt")), "--quiet", *options],
                       check=True)
        runner_peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss * 1024
    before = peak_bytes()
    tarvo.calibrate(frame, model="1pl", method="mml", em_cycles=1, standard_errors="none",
                    threads=1)
    rise = max(0, peak_bytes() - before)
    print(f"{examinees:,} x {items} int8 frame ({responses / 1e6:.0f} MB): passing it costs at "
          f"most {passed / responses:.2f} bytes per response; the whole call raised the peak by "
          f"{rise / 1e6:.0f} MB, the runner's peak on the same CSV {runner_peak / 1e6:.0f} MB "
          "(the rest is the run's tables, the same in both, and the result handed back: a row "
          "per examinee and the report's text)")


def main(args):
    if args and args[0] == "--memory":
        numbers = [int(x) for x in args[1:]]
        memory(*(numbers + [1_000_000, 100][len(numbers):]))
        return
    numbers = [int(x) for x in args]
    timing(*(numbers + [50_000, 100, 2][len(numbers):]))


if __name__ == "__main__":
    main(sys.argv[1:])
