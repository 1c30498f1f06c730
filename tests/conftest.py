import faulthandler
import os

import pytest
from hypothesis import settings

import tarvex

# `make sanitize` runs the suite against the instrumented build: make sure it is the one
# imported, not the one installed in the environment.
if os.environ.get("TARVEX_SANITIZED"):
    assert tarvex.__file__.startswith(os.environ["TARVEX_SANITIZED"]), tarvex.__file__

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
