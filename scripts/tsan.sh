#!/usr/bin/env bash
# Builds the concurrency tests (pricing, calibration) with ThreadSanitizer
# (clang) and runs them; any data race report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD=build/tsan
CXX=clang++ cmake -S fuzz -B "$BUILD" -DMORVIK_HARDENING_MODE=tsan >/dev/null
cmake --build "$BUILD" -j 2 >/dev/null
TSAN_OPTIONS="halt_on_error=1:exitcode=66" "$BUILD/concurrency_tsan"
TSAN_OPTIONS="halt_on_error=1:exitcode=66" "$BUILD/calibration_tsan"
echo "== ThreadSanitizer found nothing"
