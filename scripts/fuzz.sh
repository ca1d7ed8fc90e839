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
for target in full_call dates term_sheet calibration; do
  work="$BUILD/work/$target"
  mkdir -p "$work"
  # Term sheets: inputs as long as the examples (16 kB), each held to 10 s
  # and 512 MB, which text whose cost grows faster than its length exceeds
  # (20000 nested brackets took 11 s and 1.3 GB before nesting was bounded);
  # a normal input takes milliseconds.
  # (AddressSanitizer's quarantine of freed memory is cut to 64 MB so that
  # the limit measures the input, not the quarantine.)
  limits=(-max_len=1024 -timeout=10 -rss_limit_mb=2048)
  asan="$ASAN_OPTIONS"
  if [ "$target" = term_sheet ]; then
    limits=(-max_len=16384 -timeout=10 -rss_limit_mb=512 -malloc_limit_mb=256)
    asan="$ASAN_OPTIONS:quarantine_size_mb=64"
  fi
  echo "== fuzz $target for ${SECONDS_PER_TARGET}s"
  (cd "$BUILD" && ASAN_OPTIONS="$asan" "./fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" "${limits[@]}" -print_final_stats=1 \
      "work/$target" "../../fuzz/corpus/$target" 2>&1 | tail -n 4)
  test "${PIPESTATUS[0]}" -eq 0
done
echo "== fuzzing found nothing"
