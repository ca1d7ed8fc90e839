"""Scenarios: the note priced again with its spots or its local volatility
grids moved (the spot ladder, a spot x vol grid) or with more and more
trials (convergence). Each scenario is a copy of the note whose call arrays
the library changed, priced through the same call as ``price``, price only.

``run_scenarios`` prices the scenarios a desk runs (``Scenarios``: spot
ladders per underlying and together, spot x vol grids, rate, dividend and
correlation shifts, bucketed vega) in one call of the library, every one on
the random numbers of the note's own price, and returns a tidy frame."""

from __future__ import annotations

from concurrent.futures import ThreadPoolExecutor
from typing import Any, Callable, List, Optional, Sequence, Tuple, TypeVar, Union

import numpy as np
import pandas as pd

from . import _morvik
from .errors import PricingError
from .note import Note, NoteLike, as_note
from .scenario_set import Scenarios
from .valuation import _ladder_frame, price

T = TypeVar("T")
R = TypeVar("R")
# An underlying: None for all, a name or an index.
Underlying = Union[None, str, int]

# The spot moves of morvik-price --ladder (-30 % to +30 % in steps of 10 %),
# as the library has them.
LADDER_MOVES = tuple(_morvik.ladder_moves())
# Parallel shifts of the local volatility grid, in volatility (0.01 = one point).
VOL_MOVES = (-0.02, -0.01, 0.0, 0.01, 0.02)
# A lowered volatility never goes below this (as the library's vega bumps it).
VOL_FLOOR = _morvik.VOL_FLOOR


def _which(note: Note, underlying: Underlying) -> List[int]:
    """Indices of the underlyings that move: all, or one given by index or name."""
    names = note.underlyings
    if underlying is None:
        return list(range(len(names)))
    if isinstance(underlying, str):
        if underlying not in names:
            raise ValueError(f"no underlying named {underlying!r}; the note has {names}")
        return [names.index(underlying)]
    if isinstance(underlying, (int, np.integer)) and 0 <= underlying < len(names):
        return [int(underlying)]
    raise ValueError(f"underlying is None, a name or an index from 0 to {len(names) - 1}, not {underlying!r}")


def moved(note: NoteLike, spot_move: float = 0.0, vol_move: float = 0.0, underlying: Underlying = None) -> Note:
    """A copy of ``note`` with the spots of the chosen underlyings moved by the
    fraction ``spot_move`` (spot x (1 + move); base prices and fixings stay,
    as in the tool's ladder) and their whole local volatility grids shifted
    by ``vol_move`` (floored at ``VOL_FLOOR``, 1e-12). It computes the price
    only. The library moves the copy's arrays (its layout of the volatility
    blocks). ``note`` is a Note, a path or a dict."""
    note = as_note(note)
    return note._moved(spot_move, vol_move, _which(note, underlying))


def _map(function: Callable[[T], R], items: Sequence[T], jobs: int) -> List[R]:
    """``function`` on every item, ``jobs`` at a time on Python threads (the
    library releases the GIL while it prices); results in the items' order."""
    if jobs <= 1:
        return [function(item) for item in items]
    with ThreadPoolExecutor(max_workers=jobs) as pool:
        return list(pool.map(function, items))


def _prices(notes: Sequence[Note], trials: Optional[int], jobs: int) -> List[Tuple[float, Optional[int]]]:
    """(price, status) of each note; a rejected note has price NaN."""
    def one(n: Note) -> Tuple[float, Optional[int]]:
        try:
            v = price(n, trials=trials)
        except PricingError as e:
            return np.nan, e.status
        return (np.nan if v.price is None else v.price), (0 if v.status is None else v.status)

    return _map(one, notes, jobs)


def ladder(note: NoteLike, moves: Sequence[float] = LADDER_MOVES, underlying: Underlying = None,
           trials: Optional[int] = None, jobs: int = 1) -> pd.DataFrame:
    """Prices for spot moves (fractions: -0.1 is a 10 % fall) of all
    underlyings together, or of one (``underlying``: name or index). Columns
    ``price``, ``status`` (the call's; a rejected point has price NaN) and
    ``change`` from the price at move 0 (NaN when 0 is not among the moves).
    The default moves and ``underlying=None`` give ``morvik-price --ladder``.
    ``jobs`` points are priced at a time, on Python threads."""
    note = as_note(note)
    points = [float(m) for m in moves]
    results = _prices([moved(note, m, 0.0, underlying) for m in points], trials, jobs)
    frame = _ladder_frame(points, [p for p, _ in results], [s for _, s in results])
    frame.attrs["units"] = {"spot_move": "fraction of the spot", "price": note.currency, "change": note.currency}
    return frame


def grid(note: NoteLike, spot_moves: Sequence[float] = LADDER_MOVES, vol_moves: Sequence[float] = VOL_MOVES,
         underlying: Underlying = None, trials: Optional[int] = None, jobs: int = 1) -> pd.DataFrame:
    """Prices on a grid of spot moves (rows) and parallel local volatility
    shifts (columns, 0.01 = one vol point) of all underlyings or of one."""
    note = as_note(note)
    spots = [float(m) for m in spot_moves]
    vols = [float(v) for v in vol_moves]
    points = [(s, v) for s in spots for v in vols]
    results = _prices([moved(note, s, v, underlying) for s, v in points], trials, jobs)
    values = np.array([p for p, _ in results], dtype=float).reshape(len(spots), len(vols))
    frame = pd.DataFrame(values, index=pd.Index(spots, name="spot_move"), columns=pd.Index(vols, name="vol_move"))
    frame.attrs["morvik"] = "grid"
    frame.attrs["units"] = {"spot_move": "fraction of the spot", "vol_move": "volatility (0.01 = one point)",
                            "price": note.currency}
    return frame


def convergence(note: NoteLike, trials: int = 50000, seed: Optional[int] = None,
                stream: str = "default") -> Optional[pd.DataFrame]:
    """The running price and its standard error at 1000, 2000, 5000, ...
    paths and at ``trials``, all from one run: the first n paths of a run are
    the same whatever its length, so each point is what a run of n trials
    gives, bit for bit. Index ``trials``; columns ``price``, ``std_error``."""
    return price(note, trials=trials, seed=seed, stream=stream, convergence=True).convergence


def run_scenarios(note: NoteLike, scenarios: Optional[Scenarios] = None, *, trials: Optional[int] = None,
                  seed: Optional[int] = None, stream: str = "default", replications: Optional[int] = None,
                  threads: int = 1, **fields: Any) -> pd.DataFrame:
    """The scenarios of ``note`` as a tidy frame (see
    ``morvik.scenario_set.scenario_frame``): the base price first, then one
    row per scenario, each priced on the stream, seed and replications of
    the base (so a zero shift gives the base price bit for bit and the
    differences are steady). ``scenarios`` is a ``Scenarios``, or its fields
    are given as keywords: ``run_scenarios(note, spot_ladder=[-10, 0, 10],
    vega_buckets=True)``. ``trials``, ``seed``, ``stream``,
    ``replications`` and ``threads`` are ``morvik.price``'s; with
    ``replications`` every vega has the spread of its runs as its error.
    Raises ``PricingError`` when the library rejects the note itself."""
    if scenarios is None:
        scenarios = Scenarios(**fields)
    elif fields:
        raise TypeError("give a Scenarios or its fields as keywords, not both")
    if not scenarios:
        raise ValueError("no scenario asked for: give spot_ladder, vol_grid, rate_shift, dividend_shift, "
                         "correlation_shift or vega_buckets")
    frame = price(note, trials=trials, seed=seed, stream=stream, replications=replications, threads=threads,
                  scenarios=scenarios).scenarios
    if frame is None:  # not reached: a priced note with scenarios has its rows
        raise RuntimeError("the library returned no scenario rows")
    return frame
