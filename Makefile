# Set-up, build and test in one place. `make demo` and `make test` install whatever is
# missing (Debian packages, a virtual environment with the package and its test extras),
# rebuild what changed and run. Stamps under build/ keep a second run fast.

PYTHON    ?= python3
VENV      := .venv
VPY       := $(VENV)/bin/python
STAMPS    := build/stamps
DEB_PKGS  := g++ make libprotobuf-dev protobuf-compiler libsimdjson-dev uuid-dev libgtest-dev nodejs katex
PY_TOOLS  := "scikit-build-core>=0.10" "nanobind>=2.4" cmake ninja
PY_TEST   := numpy pytest hypothesis protobuf pandas orjson nbclient nbformat ipykernel
SOURCES   := $(shell find src -type f 2>/dev/null) CMakeLists.txt pyproject.toml
CPP_TESTS := $(wildcard tests/cpp/*.cpp)
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all demo test cpptest pytest install bench format clean

all: install

$(STAMPS)/deb: Makefile
	@mkdir -p $(STAMPS)
	@missing=""; for p in $(DEB_PKGS); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  echo "installing Debian packages:$$missing"; \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  $$SUDO apt-get update -qq && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing >/dev/null; \
	fi
	@touch $@

$(VPY):
	$(PYTHON) -m venv $(VENV)

$(STAMPS)/pydeps: $(VPY) pyproject.toml Makefile | $(STAMPS)/deb
	$(VPY) -m pip install -q --upgrade pip
	$(VPY) -m pip install -q $(PY_TOOLS) $(PY_TEST)
	@touch $@

$(STAMPS)/install: $(STAMPS)/pydeps $(SOURCES)
	$(VPY) -m pip install -q --no-build-isolation --no-deps \
	  -Cbuild.verbose=false -Ccmake.define.CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) .
	@touch $@

install: $(STAMPS)/install

build/cpp/core_tests: $(STAMPS)/pydeps $(SOURCES) $(CPP_TESTS)
	$(VENV)/bin/cmake -S . -B build/cpp -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DTARVEX_PYTHON=OFF -DTARVEX_CORE_TESTS=ON >/dev/null
	$(VENV)/bin/cmake --build build/cpp -j $(JOBS)

cpptest: build/cpp/core_tests
	cd build/cpp && ../../$(VENV)/bin/ctest --output-on-failure

pytest: install
	$(VPY) -m pytest

test: cpptest pytest

demo: install
	$(VPY) examples/quickstart.py

bench: install
	@$(VPY) -c "import pyomo" 2>/dev/null || $(VPY) -m pip install -q pyomo
	$(VPY) bench/run.py

format:
	@command -v clang-format >/dev/null || { apt-get update -qq && apt-get install -y -qq clang-format >/dev/null; }
	clang-format -i $$(find src tests/cpp -name '*.cpp' -o -name '*.hpp')

clean:
	rm -rf build
