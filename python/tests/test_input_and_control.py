"""What the package takes (frames, arrays, lists), what it refuses with the
runner's message, and how a run is stopped or watched."""

import _thread
import threading
import time

import numpy as np
import pandas as pd
import pytest

import tarvo
from conftest import REPOSITORY


def lsat7():
    return pd.read_csv(REPOSITORY / "tests" / "data" / "lsat" / "lsat7.csv")


def simulated(examinees, items, seed=5):
    rng = np.random.default_rng(seed)
    theta = rng.normal(size=(examinees, 1))
    b = np.linspace(-2, 2, items)
    p = 1 / (1 + np.exp(-1.7 * (theta - b)))
    return (rng.random((examinees, items)) < p).astype(float)


def test_frames_arrays_and_lists_give_the_same_estimates():
    frame = lsat7()
    by_frame = tarvo.calibrate(frame, model="2pl")
    values = frame.to_numpy(dtype=float)
    by_array = tarvo.calibrate(values, model="2pl", item_names=list(frame.columns))
    by_bytes = tarvo.calibrate(values.astype(int).astype(str).astype("S1"), model="2pl")
    by_list = tarvo.calibrate(values.astype(int).tolist(), model="2pl")
    for other in (by_array, by_bytes, by_list):
        assert np.array_equal(other.estimates["a"], by_frame.estimates["a"])
        assert np.array_equal(other.estimates["theta"], by_frame.estimates["theta"])
    # NaN and None are missing, as an empty cell is.
    holes = frame.astype(float)
    holes.iloc[3, 1] = np.nan
    as_objects = frame.astype(object)
    as_objects.iloc[3, 1] = None
    assert np.array_equal(tarvo.calibrate(holes).estimates["b"],
                          tarvo.calibrate(as_objects).estimates["b"])
    assert tarvo.calibrate(holes).items["omitted"].iloc[1] == 1


def test_estimates_are_views_of_the_rows_without_copies():
    fit = tarvo.calibrate(lsat7(), model="1pl")
    a = fit.estimates["a"]
    assert a.base is not None and not a.flags.writeable
    assert np.array_equal(a, fit.items["a"].to_numpy())


def test_bad_input_raises_with_the_runners_message():
    letters = pd.DataFrame({"q1": list("ABCAB") * 20, "q2": list("BBCAA") * 20})
    with pytest.raises(tarvo.TarvoError, match="the responses are letters, but no key record"):
        tarvo.calibrate(letters)
    keyed = tarvo.calibrate(letters, key="AB")
    assert len(keyed.items) == 2

    with pytest.raises(tarvo.TarvoError, match="^ERROR The response frame 'responses' holds no row"):
        tarvo.calibrate(pd.DataFrame())
    with pytest.raises(tarvo.TarvoError,
                       match=r"1 row has another number of cells than the first row's 3 "
                             r"\(first: row 3, 2 cells\)"):
        tarvo.calibrate([[1, 0, 1], [0, 1], [1, 1, 1], [0, 0, 1]])
    with pytest.raises(tarvo.TarvoError, match=r"row 5, column 1 \(q\) holds '2.5', more than one"):
        tarvo.calibrate(pd.DataFrame({"q": [0, 1, 1, 2.5]}))
    # Whole numbers are checked without a floating-point copy, with the same message.
    with pytest.raises(tarvo.TarvoError, match=r"row 4, column 2 \(r\) holds '12', more than one"):
        tarvo.calibrate(pd.DataFrame({"q": [0, 1, 1, 0], "r": np.array([1, 0, 12, 1], np.int8)}))
    with pytest.raises(tarvo.TarvoError, match=r"row 3, column 1 \(q\) holds '-1', more than one"):
        tarvo.calibrate(pd.DataFrame({"q": [0, -1, 1, 0]}))
    with pytest.raises(tarvo.TarvoError,
                       match=r"Quadrature points \(--quadrature\) must be a whole number"):
        tarvo.calibrate(lsat7(), quadrature=4)
    with pytest.raises(tarvo.TarvoError, match="--model"):
        tarvo.calibrate(lsat7(), model="5pl")


def test_given_items_are_held_and_nan_in_them_raises_the_runners_message():
    frame = lsat7()
    items = pd.DataFrame({"a": [1.0, 0.9, 1.2, 0.8, 0.7], "b": [-1.5, -0.5, -1.0, -0.6, -2.0],
                          "c": [0.0] * 5}, index=[f"Q{i}" for i in range(1, 6)])
    held = tarvo.calibrate(frame, model="2pl", fix_items=True, estimate_population=True,
                           given_items=items)
    assert held.items["held"].all()
    assert list(held.items["b"]) == list(items["b"])
    assert list(held.items["id"]) == list(items.index)
    assert held.population["estimated"]

    items.iloc[1, 0] = np.nan
    with pytest.raises(tarvo.TarvoError,
                       match=r"^ERROR Item parameter file items, line 2 \(item 2\): the held a "
                             r"must be a number, not 'nan'\.$"):
        tarvo.calibrate(frame, model="2pl", fix_items=True, given_items=items)


def test_keyboard_interrupt_stops_the_run_and_the_lock_is_free_meanwhile():
    data = simulated(20000, 40)
    ticks = []
    stop_watch = threading.Event()

    def watch():
        # Runs only while the calibration has released the lock.
        while not stop_watch.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.01)

    watcher = threading.Thread(target=watch)
    watcher.start()
    timer = threading.Timer(0.5, _thread.interrupt_main)
    timer.start()
    started = time.monotonic()
    try:
        with pytest.raises(KeyboardInterrupt):
            tarvo.calibrate(data, model="3pl", em_cycles=5000, em_tolerance=1e-12,
                            quadrature=201)
    finally:
        stop_watch.set()
        watcher.join()
        timer.cancel()
    assert time.monotonic() - started < 10
    assert len([t for t in ticks if t > started + 0.1]) > 5


def test_progress_is_reported_and_an_exception_in_it_stops_the_run():
    seen = []
    tarvo.calibrate(lsat7(), model="2pl", progress=lambda percent, text: seen.append(percent))
    assert seen and all(0 <= p <= 100 for p in seen)

    def refuse(percent, text):
        raise RuntimeError("no more")

    with pytest.raises(RuntimeError, match="no more"):
        tarvo.calibrate(simulated(2000, 20), model="3pl", progress=refuse)
