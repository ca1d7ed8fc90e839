#!/usr/bin/env bash
# Runs full pricing calls with every sensitivity and the trace on (and one
# rejected call) under Valgrind's memcheck; any leak or invalid access fails.
# Uses the Release test executable of build/release when it is there
# (LEAK_CHECK_BUILD=dir to choose another), otherwise builds one.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD="${LEAK_CHECK_BUILD:-build/release}"
if [ ! -x "$BUILD/tests/morvik_tests" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMORVIK_BENCH=OFF >/dev/null
  cmake --build "$BUILD" -j 2 --target morvik_tests >/dev/null
fi
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  --show-leak-kinds=definite,indirect --quiet \
  "$BUILD/tests/morvik_tests" --gtest_filter='HardeningLogFaults.WorkingTraceDoesNotChangeTheResults:HardeningGuardedArrays.*'
echo "== memcheck found nothing"
