#!/usr/bin/env bash
# Builds Release and prints the benchmark table (stream cost, core valuation
# per stock-day, full calls with and without sensitivities, peak memory; the
# aligned valuation and its greeks on each vector width, and its wall time
# on 1 and 2 threads per width; `bench_table lanes` prints that part alone) and
# the calibration of a 12 x 15 implied-volatility surface (target: < 1 s),
# then the CPU of the desk tool's greeks on either stream (scripts/bench-greeks.sh).
# Usage: scripts/bench.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build/bench}"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMORVIK_BENCH=ON >/dev/null
cmake --build "$BUILD" -j2 --target bench_table calibration_speed >/dev/null
echo "machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p'), $(nproc) cores"
"$BUILD/bench/bench_table"
"$BUILD/bench/calibration_speed"
# The greeks' CPU on the default and the aligned stream (one run of each).
scripts/bench-greeks.sh "$BUILD" 1
