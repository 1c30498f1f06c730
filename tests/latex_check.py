"""Checks LaTeX produced by tarvex with a real renderer (KaTeX, run by node).

The strings are handed to tests/katex_check.js in one node process. A string
that a notebook shows between "$$" delimiters is checked without them; array
documents are checked as they are. A missing node or KaTeX library fails the
calling test: the check is part of the suite, not an optional extra.
"""
import json
import shutil
import subprocess
from pathlib import Path

import pytest

CHECKER = Path(__file__).with_name("katex_check.js")
INSTALL_HINT = "install the Debian packages nodejs and katex (`make install` does)"


def katex_source(latex):
    """The part of a `_repr_latex_` string that goes to the renderer."""
    if len(latex) >= 4 and latex.startswith("$$") and latex.endswith("$$"):
        return latex[2:-2]
    return latex


def katex_errors(strings):
    """Render every string with KaTeX; return (string, error) for each failure."""
    unique = list(dict.fromkeys(strings))
    if not unique:
        return []
    node = shutil.which("node") or shutil.which("nodejs")
    if node is None:
        pytest.fail(f"node is not on PATH, so LaTeX output cannot be checked; {INSTALL_HINT}")
    proc = subprocess.run([node, str(CHECKER)], input=json.dumps([katex_source(s) for s in unique]),
                          capture_output=True, text=True, timeout=300)
    if proc.returncode != 0:
        pytest.fail(f"the KaTeX checker exited with status {proc.returncode}: {proc.stderr.strip()}; {INSTALL_HINT}")
    results = json.loads(proc.stdout)
    assert len(results) == len(unique), "the KaTeX checker lost track of its input"
    return [(s, err) for s, err in zip(unique, results) if err is not None]


def assert_katex_valid(strings):
    errors = katex_errors(strings)
    if errors:
        report = "\n".join(f"{s!r}\n    {err}" for s, err in errors)
        pytest.fail(f"{len(errors)} LaTeX string(s) rejected by KaTeX:\n{report}", pytrace=False)
