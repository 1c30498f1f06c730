"""The type stubs: they match the module (stubtest), accept a fully annotated model under
`mypy --strict` and pyright, and each checker flags every typical mistake of
tests/typing/mistakes.py on its line."""
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

# Each checker: its command for a strict check, and the pattern of an error line.
CHECKERS = {
    "mypy": ([sys.executable, "-m", "mypy", "--no-incremental", "--strict"],
             r"^{file}:(\d+): error"),
    "pyright": ([str(Path(sys.executable).parent / "basedpyright"), "--level", "error"],
                r"{file}:(\d+):\d+ - error"),
}


def check(checker, file, cwd=HERE, extra=()):
    command, pattern = CHECKERS[checker]
    run = subprocess.run([*command, *extra, file], capture_output=True, text=True, cwd=cwd)
    lines = {int(m.group(1)) for m in re.finditer(pattern.format(file=re.escape(file)), run.stdout, re.M)}
    return run, lines


def test_stubs_match_the_module():
    run = subprocess.run([sys.executable, "-m", "mypy.stubtest", "tarvex"],
                         capture_output=True, text=True)
    assert run.returncode == 0, run.stdout + run.stderr


@pytest.mark.parametrize("checker", CHECKERS)
def test_typed_model_passes(checker):
    run, lines = check(checker, "typed_model.py")
    assert run.returncode == 0 and not lines, run.stdout + run.stderr


@pytest.mark.parametrize("checker", CHECKERS)
def test_every_mistake_is_flagged(checker):
    source = (HERE / "mistakes.py").read_text().splitlines()
    marked = {n for n, line in enumerate(source, 1) if "# E:" in line}
    run, flagged = check(checker, "mistakes.py")
    assert marked, "no mistake is marked"
    assert flagged == marked, run.stdout
