import os

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
