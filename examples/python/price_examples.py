"""Prices the bundled term sheets (examples/*.json) with the morvik package,
prints their outcomes, coupons and greeks as pandas DataFrames, and saves a
figure per note and the spot ladder and spot x vol grid of the first as PNG
files.

    build/venv/bin/python examples/python/price_examples.py [OUTPUT_DIR]

OUTPUT_DIR defaults to build/python-plots.
"""

import glob
import os
import sys

import matplotlib

matplotlib.use("Agg")  # files only, no window

import pandas as pd  # noqa: E402

import morvik  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def main(out_dir):
    os.makedirs(out_dir, exist_ok=True)
    pd.set_option("display.width", 160, "display.max_columns", 20, "display.float_format", "{:,.4f}".format)
    paths = sorted(glob.glob(os.path.join(ROOT, "examples", "*.json")))
    for path in paths:
        note = morvik.load(path)
        v = morvik.price(note, greeks=True)
        print(f"\n{v!r}")
        print(v.outcomes.drop(columns="std_error"))
        if len(v.coupons):
            print(v.coupons.drop(columns="std_error"))
        print(v.greeks)
        stem = os.path.splitext(os.path.basename(path))[0]
        v.plot().savefig(os.path.join(out_dir, f"{stem}.png"), dpi=100)

    note = morvik.load(paths[0])
    ladder = morvik.ladder(note, jobs=2)
    print(f"\nSpot ladder of {note.name}\n{ladder}")
    ladder.morvik.plot(title=f"Spot ladder: {note.name}").savefig(os.path.join(out_dir, "ladder.png"), dpi=100)
    grid = morvik.grid(note, trials=5000, jobs=2)
    print(f"\nSpot x vol grid (5000 trials)\n{grid}")
    grid.morvik.plot().savefig(os.path.join(out_dir, "grid.png"), dpi=100)
    print(f"\nfigures written to {out_dir}")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "python-plots"))
