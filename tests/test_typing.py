"""The type stubs: they match the module (stubtest), accept a fully annotated model under
`mypy --strict`, and flag each typical mistake of tests/typing/mistakes.py on its line."""
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

HERE = Path(__file__).resolve().parent / "typing"

pytestmark = pytest.mark.skipif(
    bool(os.environ.get("TARVEX_SANITIZED")),
    reason="type checks read the installed stubs, not the instrumented build")


def mypy(*args):
    return subprocess.run([sys.executable, "-m", "mypy", "--no-incremental", *args],
                          capture_output=True, text=True, cwd=HERE)


def test_stubs_match_the_module():
    run = subprocess.run([sys.executable, "-m", "mypy.stubtest", "tarvex"],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr


def test_typed_model_passes_strict():
    run = mypy("--strict", "typed_model.py")
    assert run.returncode == 0, run.stdout + run.stderr


def test_every_mistake_is_flagged():
    source = (HERE / "mistakes.py").read_text().splitlines()
    marked = {n for n, line in enumerate(source, 1) if "# E:" in line}
    run = mypy("mistakes.py")
    flagged = {int(m.group(1)) for m in re.finditer(r"^mistakes\.py:(\d+): error", run.stdout, re.M)}
    assert marked, "no mistake is marked"
    assert flagged == marked, run.stdout

