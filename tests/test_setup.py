"""The set-up: `make demo` asks only for what the demo needs, and the README lists the Debian
packages that a plain `pip install .` needs, the same that the Makefile installs."""
import os
import re
import subprocess
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[1]
pytestmark = pytest.mark.skipif(bool(os.environ.get("TARVEX_SANITIZED")),
                                reason="reads the build files, not the instrumented module")
TEST_ONLY = ["pytest", "hypothesis", "mypy", "sphinx", "auditwheel", "ipykernel",
             "libgtest-dev", "katex", "nodejs"]


def makefile_var(name):
    return re.search(rf"^{name}\s*:=\s*(.*)$", (ROOT / "Makefile").read_text(), re.M).group(1).split()


def dry_run(target):
    env = dict(os.environ, MAKEFLAGS="")
    return subprocess.run(["make", "--dry-run", "--always-make", target], cwd=ROOT, env=env,
                          capture_output=True, text=True, check=True).stdout


def test_demo_installs_no_test_tool():
    commands = dry_run("demo")
    assert "examples/quickstart.py" in commands and "pandas" in commands
    words = set(re.findall(r"[\w+.-]+", commands))
    assert not [tool for tool in TEST_ONLY if tool in words]


def test_test_installs_the_test_tools():
    words = set(re.findall(r"[\w+.-]+", dry_run("test")))
    assert [tool for tool in TEST_ONLY if tool not in words] == []


def test_readme_lists_the_build_packages():
    readme = (ROOT / "README.md").read_text()
    line = re.search(r"^apt-get install (.*)$", readme, re.M).group(1).split()
    assert line == makefile_var("DEB_BUILD")
