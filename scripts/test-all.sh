#!/usr/bin/env bash
# Installs the build dependencies, then builds from scratch and runs the whole
# test suite twice: a Release build, and a build under AddressSanitizer and
# UndefinedBehaviorSanitizer in which any sanitizer report fails the run. The
# Release build also compiles the Python extension, which the Python package's
# tests (pytest) then use through build/venv.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/install-packages.sh
install_packages build-essential cmake libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev libquantlib0-dev libboost-dev clang libclang-rt-14-dev valgrind \
  "${PYTHON_PACKAGES[@]}"

JOBS="$(nproc)"

echo "== Release build"
rm -rf build/release
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DMORVIK_PYTHON=ON \
  -DPython_EXECUTABLE=/usr/bin/python3 >/dev/null
cmake --build build/release -j "$JOBS"
ctest --test-dir build/release -j "$JOBS" --output-on-failure

echo "== Python package"
MORVIK_BUILD_DIR=build/release bash scripts/install-python.sh
MORVIK_PRICE=build/release/tools/morvik-price build/venv/bin/python -m pytest python/tests -q -p no:cacheprovider
echo "== Python types: mypy --strict on the package, the extension's stub against the built module"
(cd python && mypy --no-incremental)
build/venv/bin/python -m mypy.stubtest morvik._morvik --allowlist python/stubtest-allowlist.txt

echo "== AddressSanitizer + UndefinedBehaviorSanitizer build"
rm -rf build/sanitize
# -O1: the instrumented path loops take three times longer to compile at -O2
# (over a minute a file), more than the tests gain from it. -g1: line tables
# only, enough for the sanitizers' stack traces (file and line) and compiled
# in less than half the time of full debug information.
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
  -DMORVIK_SANITIZE=ON -DMORVIK_BENCH=OFF >/dev/null
cmake --build build/sanitize -j "$JOBS"
ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1" \
UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
  ctest --test-dir build/sanitize -j "$JOBS" --output-on-failure

echo "== Windows DLL"
MORVIK_LINUX_LIB=build/release/libmorvik.so bash scripts/check-windows.sh

echo "== Hardening: fuzzing, ThreadSanitizer, memcheck"
bash scripts/fuzz.sh 20
bash scripts/tsan.sh
LEAK_CHECK_BUILD=build/release bash scripts/leak-check.sh

echo "== all tests passed"
