"""Every code example of the README and the documentation runs: interactive sessions (`>>>`)
as doctests whose printed output must match, plain Python blocks executed as scripts."""
import doctest
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
DOC_FILES = [ROOT / "README.md", *sorted((ROOT / "docs").rglob("*.rst"))]

FENCE = re.compile(r"^```python\n(.*?)^```", re.S | re.M)
CODE_BLOCK = re.compile(r"^\.\. code-block:: python\n\n((?:[ \t]+.*\n|\n)+)", re.M)


def python_blocks(text):
    """The plain (non-interactive) Python blocks of a Markdown or reStructuredText text."""
    blocks = [m.group(1) for m in FENCE.finditer(text)]
    for m in CODE_BLOCK.finditer(text):
        lines = m.group(1).splitlines()
        indent = min(len(l) - len(l.lstrip()) for l in lines if l.strip())
        blocks.append("\n".join(l[indent:] for l in lines) + "\n")
    return [b for b in blocks if ">>>" not in b]


def test_every_page_is_collected():
    names = {p.name for p in DOC_FILES}
    assert {"README.md", "index.rst", "api.rst", "elements.rst", "sample_sets.rst"} <= names


@pytest.mark.parametrize("path", DOC_FILES, ids=lambda p: str(p.relative_to(ROOT)))
def test_examples_run(path):
    text = path.read_text()
    if path.suffix == ".md":  # a closing fence ends an example's expected output
        text = re.sub(r"^```.*$", "", text, flags=re.M)
    parser = doctest.DocTestParser()
    test = parser.get_doctest(text, {}, path.name, str(path), 0)
    runner = doctest.DocTestRunner(optionflags=doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE)
    out = []
    runner.run(test, out=out.append)
    assert runner.failures == 0, "".join(out)
    blocks = python_blocks(path.read_text())
    for block in blocks:
        exec(compile(block, str(path), "exec"), {"__name__": "__docs__"})
    if path.name not in ("index.rst", "api.rst"):
        assert test.examples or blocks, f"{path.name} has no code example"


@pytest.mark.skipif(bool(os.environ.get("TARVEX_SANITIZED")), reason="builds with the installed module")
def test_docs_build_without_warnings(tmp_path):
    run = subprocess.run([sys.executable, "-m", "sphinx", "-W", "--keep-going", "-q", "-b", "html",
                          str(ROOT / "docs"), str(tmp_path)], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    api = (tmp_path / "api.html").read_text()
    # The reference documents every public name of the module.
    import tarvex
    missing = [n for n in tarvex.__all__[1:] if f'id="tarvex.{n}"' not in api]
    assert not missing, missing
