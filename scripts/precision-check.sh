#!/usr/bin/env bash
# Checks the greeks' reported standard errors against their spread over
# seeds: prices each note with --full on the aligned stream for SEEDS seeds
# (default 30) and prints, per greek, the mean reported error, the standard
# deviation of the values over the seeds and their ratio. Slow (minutes):
# a measurement, not a test.
# Usage: scripts/precision-check.sh [seeds] [note.json ...]
set -euo pipefail
cd "$(dirname "$0")/.."
SEEDS="${1:-30}"
shift || true
NOTES=("$@")
[ ${#NOTES[@]} -gt 0 ] || NOTES=(examples/two_stock_stepdown.json examples/three_stock_monthly_coupons.json)
BUILD=build/example  # the tree of run-example.sh: same options, same target
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF >/dev/null
cmake --build "$BUILD" -j2 --target morvik-price >/dev/null
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
for note in "${NOTES[@]}"; do
  for ((k = 1; k <= SEEDS; k++)); do
    "$BUILD/tools/morvik-price" "$note" --full --stream aligned --seed "$k" --threads 2 --trials 10000 --json \
      > "$OUT/$(basename "$note" .json).$k.json"
  done
done
/usr/bin/python3 - "$OUT" "${NOTES[@]}" <<'PY'
import json, math, os, sys
out, notes = sys.argv[1], sys.argv[2:]
for note in notes:
    base = os.path.splitext(os.path.basename(note))[0]
    runs = sorted(f for f in os.listdir(out) if f.startswith(base + "."))
    values, errors = {}, {}
    for f in runs:
        n = json.load(open(os.path.join(out, f)))["notes"][0]
        rows = [("price", n["price"], n["price_se"])]
        for g in n["greeks"]:
            for q in ("delta", "gamma", "vega"):
                rows.append((q + " " + g["underlying"], g[q], g[q + "_se"]))
        rows += [("theta", n["theta"], n["theta_se"]), ("rho", n["rho"], n["rho_se"])]
        for name, v, se in rows:
            values.setdefault(name, []).append(v)
            errors.setdefault(name, []).append(se)
    k = len(runs)
    print(f"{note}: {k} seeds, aligned stream, 10000 trials")
    print(f"  {'figure':42} {'mean':>16} {'reported s.e.':>16} {'spread (sd)':>16} {'ratio':>7}")
    for name in values:
        v, e = values[name], errors[name]
        mean = sum(v) / k
        sd = math.sqrt(sum((x - mean) ** 2 for x in v) / (k - 1))
        rep = math.sqrt(sum(x * x for x in e) / k)
        print(f"  {name[:42]:42} {mean:16.2f} {rep:16.2f} {sd:16.2f} {rep / sd:7.3f}")
PY
