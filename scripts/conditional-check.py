#!/usr/bin/python3
"""Measures the conditional estimator against the plain one (one thread; a
measurement, not a test). MORVIK_PRICE names the tool (default
build/release/tools/morvik-price).

  conditional-check.py greeks [trials]   each greek's relative standard error
      (median over seeds 1-3) and the CPU-seconds to bring every delta and
      vega to 2 % (cpu x (worst relative error / 0.02)^2), per estimator and
      stream, on the README example and the three-stock example (--full).
  conditional-check.py agree [trials]    conditional against plain aligned on
      the examples and bench/notes/: the largest |z| over the price and every
      outcome and coupon probability (default 200000 trials).
  conditional-check.py greek-agree [trials]   conditional against plain
      aligned on the README and three-stock examples (--greeks, default 100000
      trials, different seeds): each delta's and vega's z.
  conditional-check.py paired [trials]   plain aligned and conditional on the
      same seeds 1-12 (README example, default 100000 trials): the mean
      price difference and its standard error over the seeds (the same
      normals make the difference far less noisy than either price).
  conditional-check.py spread [trials]   the reported errors of the price and
      the greeks against their spread over 30 seeds (README example)."""
import glob, json, os, resource, statistics, subprocess, sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
TOOL = os.environ.get("MORVIK_PRICE", os.path.join(ROOT, "build/release/tools/morvik-price"))
README_NOTE = os.path.join(ROOT, "examples/two_stock_stepdown.json")
THREE_STOCKS = os.path.join(ROOT, "examples/three_stock_monthly_coupons.json")


def run(note, *args):
    """The note's JSON result and the CPU-seconds it took, or None if not priced."""
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    p = subprocess.run([TOOL, note, "--json", "--threads", "1", *args], capture_output=True, text=True)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime
    return (json.loads(p.stdout)["notes"][0] if p.returncode == 0 else None), cpu


def greeks(trials):
    configs = [("aligned", ["--stream", "aligned"]), ("conditional", ["--estimator", "conditional"]),
               ("sobol", ["--stream", "sobol"]), ("conditional+sobol", ["--estimator", "conditional", "--stream", "sobol"])]
    for note in (README_NOTE, THREE_STOCKS):
        for name, opts in configs:
            rows = []
            for seed in (1, 2, 3):
                d, cpu = run(note, "--full", "--trials", str(trials), "--seed", str(seed), *opts)
                rel = {}
                for g in d["greeks"]:
                    for k in ("delta", "gamma", "vega"):
                        rel[f"{k}:{g['underlying'][:12]}"] = abs(g[k + "_se"] / g[k])
                for k in ("theta", "rho"):
                    rel[k] = abs(d[k + "_se"] / d[k])
                worst = max(v for k, v in rel.items() if k.startswith(("delta", "vega")))
                rows.append((cpu, rel, cpu * (worst / 0.02) ** 2))
            rels = " ".join(f"{k}={100 * statistics.median(r[1][k] for r in rows):.1f}%" for k in rows[0][1])
            print(f"{os.path.basename(note)} | {name} | cpu {statistics.median(r[0] for r in rows):.2f}s | "
                  f"to 2% {statistics.median(r[2] for r in rows):.1f}s | {rels}", flush=True)


def agree(trials):
    notes = sorted(glob.glob(os.path.join(ROOT, "examples/*.json")) + glob.glob(os.path.join(ROOT, "bench/notes/*.json")))
    for note in notes:
        a, _ = run(note, "--trials", str(trials), "--seed", "101", "--stream", "aligned")
        c, _ = run(note, "--trials", str(trials), "--seed", "202", "--estimator", "conditional")
        if a is None or c is None or a.get("price") is None:
            print(os.path.basename(note), "not priced")
            continue
        zs = [("price", (c["price"] - a["price"]) / (a["price_se"] ** 2 + c["price_se"] ** 2) ** 0.5)]
        pairs = []
        for kind in ("redemption", "coupons"):
            pairs += [(f"{kind}[{k}]", x, y) for k, (x, y) in enumerate(zip(a.get(kind) or [], c.get(kind) or []))]
        pairs += [(f"maturity.{k}", a["maturity"][k], c["maturity"][k]) for k in (a.get("maturity") or {})]
        for label, x, y in pairs:
            se = ((x.get("probability_se") or 0) ** 2 + (y.get("probability_se") or 0) ** 2) ** 0.5
            if se > 0:
                zs.append((label, (y["probability"] - x["probability"]) / se))
            elif x["probability"] != y["probability"]:
                zs.append((label + " (settled, differs)", float("inf")))
        worst = max(zs, key=lambda z: abs(z[1]))
        print(f"{os.path.basename(note)}: {len(zs)} figures, max |z| {abs(worst[1]):.2f} ({worst[0]}), "
              f"price z {zs[0][1]:.2f}", flush=True)


def greek_agree(trials):
    for note in (README_NOTE, THREE_STOCKS):
        a, _ = run(note, "--greeks", "--trials", str(trials), "--seed", "101", "--stream", "aligned")
        c, _ = run(note, "--greeks", "--trials", str(trials), "--seed", "202", "--estimator", "conditional")
        zs = []
        for x, y in zip(a["greeks"], c["greeks"]):
            for k in ("delta", "vega"):
                z = (y[k] - x[k]) / (x[k + "_se"] ** 2 + y[k + "_se"] ** 2) ** 0.5
                zs.append(f"{k}:{x['underlying'][:12]} {x[k]:.1f} / {y[k]:.1f} z {z:.2f}")
        print(f"{os.path.basename(note)}: " + "; ".join(zs), flush=True)


def paired(trials):
    diffs = []
    for seed in range(1, 13):
        a, _ = run(README_NOTE, "--trials", str(trials), "--seed", str(seed), "--stream", "aligned")
        c, _ = run(README_NOTE, "--trials", str(trials), "--seed", str(seed), "--estimator", "conditional")
        diffs.append(c["price"] - a["price"])
    se = statistics.stdev(diffs) / len(diffs) ** 0.5
    print(f"conditional - plain over 12 seeds: {statistics.mean(diffs):.0f} (standard error {se:.0f}, "
          f"t {statistics.mean(diffs) / se:.2f})", flush=True)


def spread(trials):
    vals, ses = {}, {}
    for seed in range(1000, 1030):
        d, _ = run(README_NOTE, "--greeks", "--trials", str(trials), "--seed", str(seed), "--estimator", "conditional")
        items = [("price", d["price"], d["price_se"])]
        for g in d["greeks"]:
            items += [(f"{k}:{g['underlying'][:12]}", g[k], g[k + "_se"]) for k in ("delta", "gamma", "vega")]
        for k, v, s in items:
            vals.setdefault(k, []).append(v)
            ses.setdefault(k, []).append(s)
    for k in vals:
        reported = statistics.mean(s * s for s in ses[k]) ** 0.5
        print(f"{k}: spread over 30 seeds {statistics.stdev(vals[k]):.4g}, reported {reported:.4g}, "
              f"ratio {statistics.stdev(vals[k]) / reported:.2f}", flush=True)


if __name__ == "__main__":
    mode = sys.argv[1] if len(sys.argv) > 1 else "greeks"
    default = {"greeks": 10000, "agree": 200000, "greek-agree": 100000, "paired": 100000, "spread": 5000}
    if mode not in default:
        sys.exit(__doc__)
    globals()[mode.replace("-", "_")](int(sys.argv[2]) if len(sys.argv) > 2 else default[mode])
