import faulthandler
import os

import pytest
from hypothesis import settings

import tarvex as tx

# `make sanitize` runs the suite against the instrumented build: make sure it is the one
# imported, not the one installed in the environment.
if os.environ.get("TARVEX_SANITIZED"):
    assert tx.__file__.startswith(os.environ["TARVEX_SANITIZED"]), tx.__file__

# The first call into the extension may be slow (type objects are created on
# first use); a per-example deadline would make the property tests flaky.
settings.register_profile("tarvex", deadline=None)
settings.load_profile("tarvex")


# Hostile inputs (shared sub-trees of 2^100 paths, million-node chains) must never hang: a
# test still running after this long prints every thread's stack and ends the run, instead
# of waiting for the CI's time limit. It is a guard against hangs, not a speed goal.
HANG_SECONDS = 300


@pytest.fixture(autouse=True)
def hang_guard():
    faulthandler.dump_traceback_later(HANG_SECONDS, exit=True)
    yield
    faulthandler.cancel_dump_traceback_later()


def problem(name, *parts, **kwargs):
    """A problem with the objective, constraints and penalty terms `parts` added in order."""
    p = tx.Problem(name, **kwargs)
    for part in parts:
        p += part
    return p


# Every decision variable kind: the class, its word in messages, and bounds that make it valid.
DV_KINDS = [
    (tx.BinaryVar, "Binary", {}),
    (tx.IntegerVar, "Integer", {"lower_bound": 0, "upper_bound": 5}),
    (tx.ContinuousVar, "Continuous", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiIntegerVar, "SemiInteger", {"lower_bound": 0, "upper_bound": 5}),
    (tx.SemiContinuousVar, "SemiContinuous", {"lower_bound": 0, "upper_bound": 5}),
]
