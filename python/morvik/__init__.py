"""morvik: Monte Carlo pricing of autocallable step-down notes on a basket of
stocks (worst-of), from Python.

Everything is computed by the C++ library and its term-sheet layer, the code
behind ``morvik-price``, compiled with the library's own floating-point rules:
a price here is the tool's price, bit for bit.

    import morvik
    note = morvik.load("examples/two_stock_stepdown.json")
    v = morvik.price(note, greeks=True)    # or morvik.price("examples/...json")
    v.price, v.outcomes, v.greeks          # numbers and pandas DataFrames
    v.plot()                               # a matplotlib Figure (or ax=(a, b))
    morvik.ladder(note).morvik.plot()      # spot ladder and its figure (or ax=a)
    v.outcomes.loc["early"]                # frames keyed by kind and date, units in .attrs

- ``load``, ``loads``, ``Note``: term sheets (docs/term-sheet.md), on a
  market file if given (``load(path, market=...)``);
- ``load_market``, ``Market``: market files, one market for a book;
- ``calibrate``, ``Calibration``: implied-volatility quotes fitted into local
  volatility, as frames and figures;
- ``price``, ``Valuation``: a note priced, as frames, JSON and figures;
- ``ladder``, ``grid``, ``convergence``, ``moved``: scenarios;
  ``run_scenarios``, ``Scenarios``: the desk's scenarios (spot ladders, spot x
  vol grids, rate, dividend and correlation shifts, bucketed vega) on the
  random numbers of the note's price, as one tidy frame
  (``price(note, scenarios=...)`` too);
- ``capi.calc_morvik_mc``: the full export on numpy arrays; ``library_path``:
  the shared library;
- ``TermSheetError``, ``PricingError``: what can go wrong;
- ``units``: the units of the figures (``GREEK_UNITS``), as the frames'
  ``attrs["units"]`` state them;
- ``python -m morvik price FILE...``: the command line.
"""

from importlib import import_module as _import_module
from types import ModuleType as _ModuleType

from . import capi, units
from ._morvik import __version__
from .calibration import Calibration, calibrate
from .capi import library_path
from .errors import MorvikError, PricingError, TermSheetError
from .market import Market, load_market, loads_market
from .note import Note, load, loads
from .scenario_set import Scenarios
from .scenarios import LADDER_MOVES, VOL_MOVES, convergence, grid, ladder, moved, run_scenarios
from .valuation import Valuation, price

__all__ = ["Calibration", "Market", "Note", "Valuation", "MorvikError", "PricingError", "TermSheetError",
           "LADDER_MOVES", "VOL_MOVES", "Scenarios", "calibrate", "capi", "convergence", "grid", "ladder",
           "library_path", "load", "load_market", "loads", "loads_market", "moved", "plots", "price",
           "run_scenarios", "units"]


def __getattr__(name: str) -> _ModuleType:
    # morvik.plots loads matplotlib, so it is imported when first asked for.
    if name == "plots":
        return _import_module(".plots", __name__)
    raise AttributeError(f"module {__name__!r} has no attribute {name!r}")
