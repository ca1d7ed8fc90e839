#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time starting from
# its seed corpus in fuzz/corpus/<target>/. Any crash, sanitizer report or
# failed check stops the run with a non-zero status and leaves the input as
# build/fuzz/crash-* (add it to the corpus once fixed).
#
#   scripts/fuzz.sh            30 seconds per target
#   scripts/fuzz.sh 3600       an hour per target
#   FUZZ_SECONDS=600 scripts/fuzz.sh
# New inputs found go to build/fuzz/work/<target>/, not into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_PER_TARGET="${1:-${FUZZ_SECONDS:-30}}"
BUILD=build/fuzz
CXX=clang++ cmake -S fuzz -B "$BUILD" -DMORVIK_HARDENING_MODE=fuzz >/dev/null
cmake --build "$BUILD" -j 2 >/dev/null

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
for target in full_call dates calibration; do
  work="$BUILD/work/$target"
  mkdir -p "$work"
  echo "== fuzz $target for ${SECONDS_PER_TARGET}s"
  (cd "$BUILD" && "./fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -max_len=1024 \
      -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "work/$target" "../../fuzz/corpus/$target" 2>&1 | tail -n 4)
  test "${PIPESTATUS[0]}" -eq 0
done
echo "== fuzzing found nothing"
