"""The repaired wheel (`make wheel-test` sets TARVEX_WHEEL): it carries the shared libraries it
needs, installs into a fresh environment, imports there with the system's protobuf runtime
hidden from the loader, and brings its type stubs along."""
import os
import re
import subprocess
import sys
import zipfile
from pathlib import Path

import pytest

WHEEL = os.environ.get("TARVEX_WHEEL")
pytestmark = pytest.mark.skipif(not WHEEL, reason="run by `make wheel-test`")

SYSTEM_DIRS = ("/lib/", "/lib64/", "/usr/lib/", "/usr/lib64/")
# Libraries that the manylinux policy lets a wheel take from the system (the C and C++
# runtimes and zlib); all others must come with the wheel.
SYSTEM_LIBS = re.compile(r"^(linux-vdso|ld-linux-x86-64|libc|libm|libstdc\+\+|libgcc_s|libpthread|libdl|librt|libz)\.so")


@pytest.fixture(scope="module")
def env(tmp_path_factory):
    root = tmp_path_factory.mktemp("wheel-env")
    venv = root / "venv"
    subprocess.run([sys.executable, "-m", "venv", str(venv)], check=True)
    py = venv / "bin" / "python"
    subprocess.run([str(py), "-m", "pip", "install", "-q", WHEEL], check=True)
    site = subprocess.run([str(py), "-c", "import sysconfig; print(sysconfig.get_paths()['platlib'])"],
                          capture_output=True, text=True, check=True).stdout.strip()
    return py, Path(site)


def test_wheel_holds_module_stubs_and_libraries():
    names = zipfile.ZipFile(WHEEL).namelist()
    assert any(re.fullmatch(r"tarvex\.cpython-.*\.so", n) for n in names), names
    assert "tarvex-stubs/__init__.pyi" in names
    assert any(re.match(r"tarvex\.libs/libprotobuf", n) for n in names), names


def test_every_non_system_library_resolves_inside_the_wheel(env):
    py, site = env
    module = next(site.glob("tarvex.cpython-*.so"))
    ldd = subprocess.run(["ldd", str(module)], capture_output=True, text=True, check=True).stdout
    for line in ldd.splitlines():
        name = os.path.basename(line.split()[0])
        if SYSTEM_LIBS.match(name):
            continue
        assert "=> " + str(site / "tarvex.libs") in line, line


def test_imports_with_the_system_protobuf_hidden(env, tmp_path):
    py, site = env
    # A loader that sees no system library directory but the interpreter's own runtime:
    # every library the module needs beyond libc and libstdc++ must come from the wheel.
    code = ("import tarvex as tx; x = tx.BinaryVar('x', shape=(3,)); "
            "p = tx.Problem('p'); p += x[0] + x[1]; "
            "print(tx.from_protobuf(tx.to_protobuf(p)).objective)")
    run = subprocess.run(["unshare", "-m", "sh", "-c",
                          "for f in /usr/lib/x86_64-linux-gnu/libprotobuf*.so*; do "
                          "mount --bind /dev/null \"$f\"; done; "
                          f"exec {py} -c \"{code}\""],
                         capture_output=True, text=True, cwd=tmp_path)
    assert run.returncode == 0, run.stderr
    assert run.stdout.strip() == "x[0] + x[1]"


@pytest.mark.parametrize("checker", ["mypy", "pyright"])
def test_type_checkers_find_the_stubs_in_the_fresh_environment(env, tmp_path, checker):
    py, _ = env
    (tmp_path / "model.py").write_text(
        "import tarvex as tx\nx = tx.BinaryVar('x')\nreveal_type(x == 1)\ntx.BinaryVar(3)\n")
    command = {
        "mypy": [sys.executable, "-m", "mypy", "--no-incremental", "--python-executable", str(py)],
        "pyright": [str(Path(sys.executable).parent / "basedpyright"), "--pythonpath", str(py)],
    }[checker]
    out = subprocess.run([*command, "model.py"], capture_output=True, text=True, cwd=tmp_path).stdout
    assert re.search(r'model\.py:3.*(Revealed type is|Type of "x == 1" is) "(tarvex\.)?EqualOp"', out), out
    assert re.search(r"model\.py:4(:\d+)?:? -? ?error", out), out
