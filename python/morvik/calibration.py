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

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Dict, List, Optional, Sequence, Tuple, Union

import pandas as pd

from . import _morvik
from .note import NoteLike, as_note

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.figure import Figure


class Calibration:
    """One underlying's calibration: ``implied`` and ``local`` DataFrames of
    volatilities (decimals), ``report`` (quotes fitted, quotes left out, max
    and RMS fit error in vol points, whether arbitrage was repaired and the
    arbitrages found)."""

    def __init__(self, raw: Dict[str, Any]) -> None:
        self.underlying = raw["underlying"]
        imp = raw["implied"]
        self.implied = pd.DataFrame(imp["vols"], index=pd.Index(imp["times"], name="expiry"),
                                    columns=pd.Index(imp["strikes"], name="strike"))
        loc = raw["local"]
        self.local = pd.DataFrame(loc["vols"], index=pd.Index(loc["moneyness"], name="moneyness"),
                                  columns=pd.Index(loc["times"], name="time"))
        self.report = dict(raw["report"])

    def __repr__(self) -> str:
        return f"<morvik.Calibration of {self.underlying}: {self.report['sentence']}>"

    def plot_smiles(self, ax: "Axes") -> "Axes":
        """The fitted smile of every quoted expiry on ``ax``; returns it."""
        for t, row in self.implied.iterrows():
            ax.plot(self.implied.columns, row.values * 100.0, label=f"{t:.3g} y")
        ax.set_xlabel("strike")
        ax.set_ylabel("implied volatility (%)")
        ax.set_title(f"{self.underlying}: fitted smiles")
        ax.legend(fontsize=7, ncol=2)
        return ax

    def plot_local_vol(self, ax: "Axes", max_moneyness: float = 2.0, min_moneyness: float = 0.5) -> "Axes":
        """The local volatility as a heat map (moneyness against time) on ``ax``; returns it."""
        grid = self.local[(self.local.index >= min_moneyness) & (self.local.index <= max_moneyness)]
        mesh = ax.pcolormesh(grid.columns, grid.index, grid.values * 100.0, shading="nearest",
                             cmap="viridis", vmax=max(1e-9, float(grid.quantile(0.98).max()) * 100.0))
        ax.set_xlabel("time (years)")
        ax.set_ylabel("moneyness (spot = 1)")
        ax.set_title(f"{self.underlying}: local volatility (%)")
        ax.figure.colorbar(mesh, ax=ax)
        return ax

    def plot(self, figsize: Tuple[float, float] = (12, 5),
             ax: Optional[Sequence["Axes"]] = None) -> Union["Figure", Tuple["Axes", "Axes"]]:
        """Smiles on the left, the local-volatility heat map on the right: a
        new ``matplotlib.figure.Figure``, or drawn on ``ax``, a pair of Axes
        (returned)."""
        from matplotlib.axes import Axes  # loaded with the first figure
        from matplotlib.figure import Figure

        if ax is not None:
            if isinstance(ax, Axes) or len(ax) != 2:
                raise TypeError("ax is a pair of matplotlib Axes: (smiles, local volatility)")
            return self.plot_smiles(ax[0]), self.plot_local_vol(ax[1])
        fig = Figure(figsize=figsize, layout="constrained")
        left, right = fig.subplots(1, 2)
        self.plot_smiles(left)
        self.plot_local_vol(right)
        return fig


def calibrate(source: NoteLike, label: Optional[str] = None) -> List[Calibration]:
    """The calibrations of a term sheet's implied-volatility quotes: a list
    with one ``Calibration`` per underlying given with ``implied_vol``.
    ``source`` is a ``Note``, a path or a dict, read as ``morvik.load`` reads
    it (arbitrage in the quotes raises ``TermSheetError`` naming the quote,
    unless the block says ``"arbitrage": "repair"``). Raises ``ValueError``
    when no underlying gives ``implied_vol``."""
    note = as_note(source, label)
    found = [Calibration(raw) for raw in _morvik.calibrations(note)]
    if not found:
        raise ValueError("no underlying of the term sheet gives implied_vol")
    return found
