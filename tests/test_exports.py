"""The module's shared object exports the interpreter's entry point and nothing else."""
import os
import subprocess

import pytest

import tarvex


@pytest.mark.skipif(bool(os.environ.get("TARVEX_SANITIZED")), reason="checks the release build")
def test_only_the_init_function_is_exported():
    nm = subprocess.run(["nm", "-D", "--defined-only", tarvex.__file__],
                        capture_output=True, text=True, check=True).stdout
    assert [line.split()[-1] for line in nm.splitlines()] == ["PyInit_tarvex"]
