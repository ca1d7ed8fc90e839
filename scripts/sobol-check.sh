#!/usr/bin/env bash
# Measures the quasi-random stream against the aligned one: prices each note
# with --greeks on both streams for SEEDS seeds (default 20) at TRIALS
# trials (default 10000), one thread, and prints per figure (price, each
# delta and vega) the spread over the seeds, the root mean square of the
# reported errors and their ratio, the CPU seconds per run, and the
# variance ratio at equal CPU: (spread_aligned^2 x cpu_aligned) /
# (spread_sobol^2 x cpu_sobol), and the same two ratios on the root mean
# square reported errors ("rep ratio", "rep/CPU": steadier than the spread
# of a few values). With REPORTED=1 the reported errors stand in for the
# spreads in the first two as well (for a few seeds of a large run). Slow: a measurement,
# not a test.
# Usage: scripts/sobol-check.sh [seeds] [trials] [note.json ...]
#
# scripts/sobol-check.sh agree [trials] [note.json ...] instead prices each
# note once per stream (seed SEED, default 1; one thread; TRIALS default 1000000, the
# examples and bench/notes/ unless notes are given) and prints per note the
# largest |z| = |sobol - aligned| / combined standard error over the price
# and every outcome and coupon probability (settled slots, without error,
# must agree exactly), the figure it belongs to, and the price's variance
# ratio (aligned / sobol) at equal trials and at equal CPU.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build/example}"  # the tree of run-example.sh unless given
build() {
  if [ ! -x "$BUILD/tools/morvik-price" ] || [ -z "${NO_BUILD:-}" ]; then
    cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DMORVIK_TESTS=OFF -DMORVIK_BENCH=OFF >/dev/null
    cmake --build "$BUILD" -j2 --target morvik-price >/dev/null
  fi
}
if [ "${1:-}" = agree ]; then
  TRIALS="${2:-1000000}"
  shift 2 || shift $# || true
  NOTES=("$@")
  [ ${#NOTES[@]} -gt 0 ] || NOTES=(examples/*.json bench/notes/*.json)
  build
  OUT=$(mktemp -d)
  trap 'rm -rf "$OUT"' EXIT
  for note in "${NOTES[@]}"; do
    base=$(basename "$note" .json)
    for stream in aligned sobol; do
      /usr/bin/time -f "%U" -o "$OUT/$base.$stream.cpu" "$BUILD/tools/morvik-price" "$note" --stream "$stream" \
        --seed "${SEED:-1}" --threads 1 --trials "$TRIALS" --json > "$OUT/$base.$stream.json"
    done
  done
  /usr/bin/python3 - "$OUT" "$TRIALS" "${NOTES[@]}" <<'PY'
import json, math, os, sys
out, trials, notes = sys.argv[1], sys.argv[2], sys.argv[3:]
print(f"{trials} trials, seed {os.environ.get('SEED', '1')}, one thread: sobol against aligned")
print(f"  {'note':34} {'figures':>7} {'max |z|':>8}  {'at':30} {'price var ratio':>15} {'per CPU':>8}")
def figures(n):
    rows = [("price", n["price"], n["price_se"])]
    for k, f in enumerate(n["redemption"]):
        rows.append((f"date {k + 1}", f["probability"], f["probability_se"]))
    for key, f in n["maturity"].items():
        rows.append((f"maturity {key}", f["probability"], f["probability_se"]))
    for k, f in enumerate(n["coupons"]):
        rows.append((f"coupon {k + 1}", f["probability"], f["probability_se"]))
    return rows
for note in notes:
    base = os.path.splitext(os.path.basename(note))[0]
    runs, cpu = {}, {}
    for stream in ("aligned", "sobol"):
        runs[stream] = json.load(open(os.path.join(out, f"{base}.{stream}.json")))["notes"][0]
        cpu[stream] = float(open(os.path.join(out, f"{base}.{stream}.cpu")).read().split()[-1])
    a, s = runs["aligned"], runs["sobol"]
    if a.get("status", 0) is None or "price" not in a or "price" not in s:
        print(f"  {base:34} not priced: {a.get('error') or s.get('error')}")
        continue
    worst, at, count = 0.0, "-", 0
    for (name, va, ea), (_, vs, es) in zip(figures(a), figures(s)):
        se = math.hypot(ea or 0.0, es or 0.0)
        z = 0.0 if va == vs else (abs(va - vs) / se if se > 0 else math.inf)
        count += 1
        if z > worst:
            worst, at = z, name
    ratio = (a["price_se"] / s["price_se"]) ** 2
    print(f"  {base[:34]:34} {count:7d} {worst:8.2f}  {at[:30]:30} {ratio:15.2f} "
          f"{ratio * cpu['aligned'] / cpu['sobol']:8.2f}")
PY
  exit 0
fi
SEEDS="${1:-20}"
TRIALS="${2:-10000}"
shift 2 || shift $# || true
NOTES=("$@")
[ ${#NOTES[@]} -gt 0 ] || NOTES=(examples/two_stock_stepdown.json examples/three_stock_monthly_coupons.json)
build
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
for note in "${NOTES[@]}"; do
  base=$(basename "$note" .json)
  for stream in aligned sobol; do
    for ((k = 1; k <= SEEDS; k++)); do
      /usr/bin/time -f "%U" -o "$OUT/$base.$stream.$k.cpu" "$BUILD/tools/morvik-price" "$note" --greeks \
        --stream "$stream" --seed "$k" --trials "$TRIALS" --json > "$OUT/$base.$stream.$k.json"
    done
  done
done
/usr/bin/python3 - "$OUT" "$TRIALS" "${REPORTED:-0}" "${NOTES[@]}" <<'PY'
import json, math, os, sys
out, trials, reported, notes = sys.argv[1], sys.argv[2], sys.argv[3] == "1", sys.argv[4:]
for note in notes:
    base = os.path.splitext(os.path.basename(note))[0]
    stats = {}
    for stream in ("aligned", "sobol"):
        runs = sorted(f for f in os.listdir(out) if f.startswith(f"{base}.{stream}.") and f.endswith(".json"))
        values, errors, cpu = {}, {}, []
        for f in runs:
            n = json.load(open(os.path.join(out, f)))["notes"][0]
            cpu.append(float(open(os.path.join(out, f[:-5] + ".cpu")).read().split()[-1]))
            rows = [("price", n["price"], n["price_se"])]
            for g in n["greeks"]:
                for q in ("delta", "vega"):
                    rows.append((q + " " + g["underlying"], g[q], g[q + "_se"]))
            for name, v, se in rows:
                values.setdefault(name, []).append(v)
                errors.setdefault(name, []).append(se)
        k = len(runs)
        table = {}
        for name in values:
            v, e = values[name], errors[name]
            mean = sum(v) / k
            sd = math.sqrt(sum((x - mean) ** 2 for x in v) / (k - 1)) if k > 1 else float("nan")
            rep = math.sqrt(sum(x * x for x in e) / k)
            table[name] = (mean, rep, sd)
        stats[stream] = (table, sum(cpu) / k, k)
    (ta, ca, k), (ts, cs, _) = stats["aligned"], stats["sobol"]
    print(f"{note}: {k} seeds, {trials} trials, --greeks, one thread; CPU s per run: aligned {ca:.2f}, "
          f"sobol {cs:.2f} (x{cs / ca:.2f})")
    print(f"  {'figure':28} {'mean aligned':>15} {'mean (sobol)':>15} {'sd aligned':>12} {'sd sobol':>12} "
          f"{'rep/sd al':>9} {'rep/sd sob':>10} {'var ratio':>9} {'per CPU':>8} {'rep ratio':>9} {'rep/CPU':>8}")
    for name in ta:
        ma, ra, sa = ta[name]
        ms, rs, ss = ts[name]
        da, ds = (ra, rs) if reported else (sa, ss)
        vr = (da * da) / (ds * ds)
        rr = (ra * ra) / (rs * rs)
        print(f"  {name[:28]:28} {ma:15.2f} {ms:15.2f} {sa:12.2f} {ss:12.2f} {ra / sa:9.3f} {rs / ss:10.3f} "
              f"{vr:9.2f} {vr * ca / cs:8.2f} {rr:9.2f} {rr * ca / cs:8.2f}")
PY
