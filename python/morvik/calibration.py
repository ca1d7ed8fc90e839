"""Implied-volatility quotes calibrated into local volatility: for each
underlying of a term sheet given with ``implied_vol``, the fitted Black
volatilities and the local-volatility grid the note is priced on, as pandas
DataFrames, with the fit's report and figures (a smile per expiry, the local
volatility as a heat map).

    cals = morvik.calibrate("examples/implied_vol_index.json")
    c = cals[0]
    c.implied          # rows: expiries (years), columns: strikes
    c.local            # rows: moneyness (1.0 = spot), columns: times (years)
    c.report["max_error"], c.report["rms_error"]   # vol points
    c.plot()           # a matplotlib Figure
"""

import pandas as pd

from . import _morvik
from .note import Note, load


class Calibration:
    """One underlying's calibration: ``implied`` and ``local`` DataFrames of
    volatilities (decimals), ``report`` (quotes fitted, quotes left out, max
    and RMS fit error in vol points, whether arbitrage was repaired and the
    arbitrages found)."""

    def __init__(self, raw):
        self.underlying = raw["underlying"]
        imp = raw["implied"]
        self.implied = pd.DataFrame(imp["vols"], index=pd.Index(imp["times"], name="expiry"),
                                    columns=pd.Index(imp["strikes"], name="strike"))
        loc = raw["local"]
        self.local = pd.DataFrame(loc["vols"], index=pd.Index(loc["moneyness"], name="moneyness"),
                                  columns=pd.Index(loc["times"], name="time"))
        self.report = dict(raw["report"])

    def __repr__(self):
        return f"<morvik.Calibration of {self.underlying}: {self.report['sentence']}>"

    def plot_smiles(self, ax):
        """The fitted smile of every quoted expiry on ``ax``."""
        for t, row in self.implied.iterrows():
            ax.plot(self.implied.columns, row.values * 100.0, label=f"{t:.3g} y")
        ax.set_xlabel("strike")
        ax.set_ylabel("implied volatility (%)")
        ax.set_title(f"{self.underlying}: fitted smiles")
        ax.legend(fontsize=7, ncol=2)

    def plot_local_vol(self, ax, max_moneyness=2.0, min_moneyness=0.5):
        """The local volatility as a heat map (moneyness against time) on ``ax``."""
        grid = self.local[(self.local.index >= min_moneyness) & (self.local.index <= max_moneyness)]
        mesh = ax.pcolormesh(grid.columns, grid.index, grid.values * 100.0, shading="nearest",
                             cmap="viridis", vmax=max(1e-9, float(grid.quantile(0.98).max()) * 100.0))
        ax.set_xlabel("time (years)")
        ax.set_ylabel("moneyness (spot = 1)")
        ax.set_title(f"{self.underlying}: local volatility (%)")
        ax.figure.colorbar(mesh, ax=ax)

    def plot(self, figsize=(12, 5)):
        """Smiles on the left, the local-volatility heat map on the right: a
        ``matplotlib.figure.Figure``."""
        from matplotlib.figure import Figure  # loaded with the first figure

        fig = Figure(figsize=figsize, layout="constrained")
        left, right = fig.subplots(1, 2)
        self.plot_smiles(left)
        self.plot_local_vol(right)
        return fig


def calibrate(source, label=None):
    """The calibrations of a term sheet's implied-volatility quotes: a list
    with one ``Calibration`` per underlying given with ``implied_vol``.
    ``source`` is a ``Note``, a path or a dict, read as ``morvik.load`` reads
    it (arbitrage in the quotes raises ``TermSheetError`` naming the quote,
    unless the block says ``"arbitrage": "repair"``). Raises ``ValueError``
    when no underlying gives ``implied_vol``."""
    note = source if isinstance(source, Note) else load(source, label)
    found = [Calibration(raw) for raw in _morvik.calibrations(note)]
    if not found:
        raise ValueError("no underlying of the term sheet gives implied_vol")
    return found
