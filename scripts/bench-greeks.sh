#!/usr/bin/env bash
# CPU seconds (one thread) of the desk tool's greeks on each stream: --greeks
# and --full on the README example and the three-stock example, at 10000 and
# 100000 trials, the default and the aligned stream, runs of every case taken
# in turn so that both see the same load. Each figure is the best of REPS
# runs (user + system seconds, and the peak resident memory of that run).
# Other builds of the tool may join the comparison on the aligned stream,
# each as LABEL=PATH (an earlier build, say).
# Usage: scripts/bench-greeks.sh [build-dir] [reps] [LABEL=morvik-price ...]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${1:-build/bench}"
REPS="${2:-3}"
shift $(( $# < 2 ? $# : 2 ))
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$BUILD" -j2 --target morvik-price >/dev/null
TOOL="$BUILD/tools/morvik-price"

labels=(default aligned)
tools=("$TOOL" "$TOOL")
streams=(default aligned)
for other in "$@"; do
  labels+=("${other%%=*}")
  tools+=("${other#*=}")
  streams+=(aligned)
done

TMP="$(mktemp -d)"
trap 'rm -rf "$TMP"' EXIT

printf '%-30s %-8s %7s' note greeks trials
for l in "${labels[@]}"; do printf ' %16s' "$l s/MiB"; done
printf '\n'
for trials in 10000 100000; do
  for note in two_stock_stepdown three_stock_monthly_coupons; do
    for flag in --greeks --full; do
      declare -A best=() mem=()
      for ((rep = 0; rep < REPS; ++rep)); do
        for ((k = 0; k < ${#labels[@]}; ++k)); do
          /usr/bin/time -f '%U %S %M' -o "$TMP/t" "${tools[$k]}" "examples/$note.json" "$flag" \
            --trials "$trials" --stream "${streams[$k]}" >/dev/null 2>&1
          read -r user sys rss <"$TMP/t"
          cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.2f", u + s }')
          if [[ -z "${best[$k]:-}" ]] || awk -v a="$cpu" -v b="${best[$k]}" 'BEGIN { exit !(a < b) }'; then
            best[$k]=$cpu
            mem[$k]=$((rss / 1024))
          fi
        done
      done
      printf '%-30s %-8s %7s' "$note" "${flag#--}" "$trials"
      for ((k = 0; k < ${#labels[@]}; ++k)); do printf ' %10s %5s' "${best[$k]}" "${mem[$k]}"; done
      printf '\n'
      unset best mem
    done
  done
done
