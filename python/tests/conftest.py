"""Every test ends within its time limit: an alarm raises in the test (a
running calibration polls Python's signals and stops)."""

import os
import signal
import sys
from pathlib import Path

import pytest

LIMIT_SECONDS = 120

REPOSITORY = Path(__file__).resolve().parents[2]


class TimeLimit(Exception):
    pass


@pytest.fixture(autouse=True)
def time_limit():
    def expired(signum, frame):
        raise TimeLimit(f"the test ran longer than {LIMIT_SECONDS} s")

    previous = signal.signal(signal.SIGALRM, expired)
    signal.alarm(LIMIT_SECONDS)
    yield
    signal.alarm(0)
    signal.signal(signal.SIGALRM, previous)


@pytest.fixture(scope="session")
def runner():
    """tarvo-run of the build the package was built in (TARVO_RUN wins)."""
    path = os.environ.get("TARVO_RUN")
    if not path:
        from tarvo import _build_info
        path = _build_info.RUNNER
    assert Path(path).exists(), f"no runner at {path}"
    return path
