"""Pricing a note: ``price`` runs the note through the term-sheet layer
exactly as ``morvik-price`` does, and ``Valuation`` holds the result: the
library's report of the note, its figures as numbers and pandas DataFrames,
and the tool's JSON document written by the library's own writer."""

from __future__ import annotations

import copy
from typing import Any, Dict, List, Optional, Sequence, Tuple

import numpy as np
import pandas as pd

from . import _morvik
from .errors import PricingError
from .frames import GreeksFrame
from .market import MarketLike
from .note import Note, NoteLike, as_note, html_table
from .scenario_set import Scenarios, scenario_frame
from .units import CASH_FLOW_UNITS, FLOW_UNITS, GREEK_UNITS, units

_STREAMS = ("default", "aligned", "sobol")
_ESTIMATORS = ("plain", "conditional")


def _whole(value: object) -> bool:
    return isinstance(value, (int, np.integer)) and not isinstance(value, bool)


def _request(trials: Any, greeks: bool, full: bool, seed: Any, stream: Optional[str], threads: Any, replications: Any,
             convergence: bool, scrambles: Any = None, estimator: str = "plain") -> Dict[str, Any]:
    """The request's arguments of the C++ call: the keyword arguments read
    into the library's types here; their ranges are the library's rule of a
    request, which ``_morvik.price`` applies before anything is priced (and
    ``_morvik.check_request`` where a wrong option must raise earlier)."""
    if estimator not in _ESTIMATORS:
        raise ValueError(f"estimator is 'plain' or 'conditional', not {estimator!r}")
    if stream is None:
        stream = "aligned" if estimator == "conditional" else "default"
    if stream not in _STREAMS:
        raise ValueError(f"stream is 'default', 'aligned' or 'sobol', not {stream!r}")
    if scrambles is not None and stream != "sobol":
        raise ValueError("scrambles belongs to stream='sobol'")
    if scrambles is None:
        scrambles = 16
    for name, value in (("trials", trials), ("seed", seed), ("replications", replications)):
        if value is not None and not _whole(value):
            raise ValueError(f"{name} takes a whole number, not {value!r}")
    for name, value in (("threads", threads), ("scrambles", scrambles)):
        if not _whole(value):
            raise ValueError(f"{name} takes a whole number, not {value!r}")
    return {"compute": 2 if full else (1 if greeks else -1), "trials": _int(trials), "threads": int(threads),
            "seed": _int(seed), "aligned": stream == "aligned", "replications": _int(replications),
            "convergence": bool(convergence), "sobol": stream == "sobol", "scrambles": _int(scrambles),
            "conditional": estimator == "conditional"}


def _vector_width(value: Any) -> int:
    """``vector_width`` as the library's setting: 0 for auto; the library's
    rule of a request says which widths run here."""
    if value is None or value == "auto":
        return 0
    if not _whole(value) or int(value) not in (1, 2, 4):
        raise ValueError(f"vector_width is 1, 2, 4 or 'auto', not {value!r}")
    return int(value)


def _int(value: Any) -> Optional[int]:
    """A whole number as the library's 64-bit integer: one beyond that range
    is passed at its end, which is out of every field's range."""
    return None if value is None else max(-(2**63), min(int(value), 2**63 - 1))


def price(note: NoteLike, trials: Optional[int] = None, greeks: bool = False, full: bool = False,
          seed: Optional[int] = None, stream: Optional[str] = None, threads: int = 1, ladder: bool = False,
          log: bool = False, replications: Optional[int] = None, convergence: bool = False,
          scrambles: Optional[int] = None, estimator: str = "plain",
          scenarios: Optional[Scenarios] = None, client: Any = None, tasks: Optional[int] = None,
          retries: Optional[int] = None, vector_width: Any = None,
          market: Optional[MarketLike] = None) -> "Valuation":
    """Prices ``note`` (a ``Note``, a path or a dict, read by ``morvik.load``)
    as ``morvik-price`` does with the same options.

    - ``trials``: replaces the term sheet's (1 to 1000000000); ``None`` keeps it;
    - ``greeks``: delta, gamma and vega by underlying; ``full``: also theta and
      rho (the options only raise what the term sheet asks for);
    - ``stream``: ``"default"`` (also when ``None``, unless the estimator
      is conditional), the library's stream (``seed`` 0 to 63 starts
      it elsewhere; ``None`` or 0 is the exports' fixed stream), or
      ``"aligned"``, normals addressed by path, day and stock (any ``seed``),
      which gives every greek a standard error and splits one valuation's
      paths over ``threads``, or ``"sobol"``, scrambled Sobol points through
      a Brownian bridge, otherwise as ``"aligned"``: ``scrambles``
      independent scramblings (default 16, 2 to 1024, dividing the trials)
      share the trials, and every standard error is the spread of their
      means (``convergence`` is refused there);
    - ``threads``: threads for one note: the revaluations of the greeks on
      the default stream, blocks of paths on the aligned one (same results
      for any count);
    - ``replications``: the mean of that many runs (2 to 64) on consecutive
      seeds, each greek with the standard error of its spread; ``None``: one run;
    - ``convergence``: the running price and its error at 1000, 2000, 5000,
      ... paths of the same run, in ``Valuation.convergence``;
    - ``ladder``: the tool's spot ladder (``--ladder``), in ``Valuation.ladder``;
    - ``log``: the library's trace under ``ZUN_Module_Log/`` (``--log``);
    - ``estimator``: ``"plain"``, or ``"conditional"``: each observation
      date's redemption smoothed over the days before it (unbiased, steadier
      greeks; ``--estimator conditional``); it runs on the aligned stream
      when ``stream`` is not given, also on ``"sobol"``, and is refused on
      ``"default"``.
    - ``scenarios``: a ``morvik.Scenarios`` (spot ladders, spot x vol grids,
      rate, dividend and correlation shifts, bucketed vega), each priced on
      the stream, seed and replications of this price, in
      ``Valuation.scenarios``.
    - ``client``: a ``distributed.Client``: the note's paths are split by
      ranges of blocks over ``tasks`` tasks of its cluster (default 4 per
      worker, at least 16), each run again up to ``retries`` times (default 2)
      when it raises, and combined here: the same valuation, bit for bit
      (``morvik.split``). One run of the note alone on the aligned or sobol
      stream: not with ``replications``, ``ladder``, ``log`` or ``scenarios``.
    - ``vector_width``: paths the aligned stream's plain estimator runs side
      by side in the vector registers (``--vector-width``): ``None`` or
      ``"auto"`` the widest this processor has where it pays, 1, 2 or 4
      (4 needs AVX2); the same results on each. Not with ``client``.
    - ``market``: a ``Market``, a path or a dict of a market file for a
      note given as a path or dict that names its underlyings by id (as
      ``morvik.load(note, market=...)``).

    Returns a ``Valuation``. Raises ``PricingError`` when the library rejects
    the note. The GIL is released while the library prices; on the main
    thread Ctrl-C stops it and raises KeyboardInterrupt."""
    width = _vector_width(vector_width)
    if market is not None:
        note = as_note(note, market=market)
    if client is not None:
        if width != 0:
            raise ValueError("vector_width applies to a valuation in this process, not one split over a cluster")
        if replications is not None or ladder or log or scenarios is not None:
            raise ValueError("a valuation split over a cluster is one run of the note alone: "
                             "not with replications, ladder, log or scenarios")
        from .split import RETRIES, price_split
        return price_split(note, client, trials=trials, greeks=greeks, full=full, seed=seed,
                           stream=stream, threads=threads, convergence=convergence,
                           scrambles=scrambles, estimator=estimator, tasks=tasks,
                           retries=RETRIES if retries is None else retries)
    if tasks is not None or retries is not None:
        raise ValueError("tasks and retries belong to a valuation split over a cluster (client=...)")
    request = _request(trials, greeks, full, seed, stream, threads, replications, convergence, scrambles, estimator)
    note = as_note(note)
    if scenarios is not None and not isinstance(scenarios, Scenarios):
        raise TypeError(f"scenarios is a morvik.Scenarios, not {type(scenarios).__name__}")
    wanted = scenarios.request() if scenarios else None
    report = _morvik.price(note, ladder=bool(ladder), log=bool(log), scenarios=wanted, vector_width=width,
                           **request)
    if report.error is not None:
        raise PricingError(report.file, report.status, report.error)
    return Valuation(note, report)


def _flow_frame(columns: Dict[str, Any], kinds: Sequence[str], currency: str) -> pd.DataFrame:
    """Outcomes or coupons keyed by (kind, observation date): the report's
    columns in their order (dates become datetime64[ns])."""
    index = pd.MultiIndex.from_arrays([pd.Index(list(kinds), dtype=object),
                                       pd.DatetimeIndex(columns.pop("observation"))],
                                      names=["kind", "observation"])
    frame = pd.DataFrame(columns, index=index)
    frame.attrs["units"] = units(FLOW_UNITS, currency, list(frame.columns))
    return frame


def _cash_flow_frame(columns: Dict[str, Any], currency: str) -> pd.DataFrame:
    """The projected payments keyed by (payment date, kind), in payment order;
    a standard error is NaN where the payment depends on the path."""
    index = pd.MultiIndex.from_arrays([pd.DatetimeIndex(columns.pop("payment")),
                                       pd.Index(columns.pop("kind"), dtype=object)], names=["payment", "kind"])
    columns["observation"] = pd.DatetimeIndex(columns["observation"])
    frame = pd.DataFrame(columns, index=index)
    frame.attrs["units"] = units(CASH_FLOW_UNITS, currency, list(frame.columns))
    return frame


class Valuation:
    """One priced note. ``to_json()`` is the document ``morvik-price --json``
    prints for the note, byte for byte; the attributes hold the same numbers,
    taken from the library's report of the note (the object both come from):

    - ``price`` (notional's currency), ``price_pct`` (per cent of the notional),
      ``std_error`` (the price's standard error), ``stream``, ``seed``;
    - ``outcomes``: one row per redemption outcome, keyed by ``kind``
      (``early``, ``final``, ``maturity no knock-in``, ``maturity knock-in``)
      and ``observation`` date: payment date, probability, its standard
      error, mean cash flow over all trials (undiscounted), discount factor
      and discounted value;
    - ``coupons``: the same columns, one row per coupon (kind ``coupon``);
      ``pd.concat([v.outcomes, v.coupons])`` is every flow of the note;
    - ``cash_flows``: the payments still to come, keyed by ``payment`` date
      and ``kind`` (``redemption``, ``maturity_no_knock_in``,
      ``maturity_knock_in``, ``coupon``, ``redemption_coupon``): observation date, label, probability, amount
      (mean over all trials, undiscounted), discount factor, discounted
      value, each with its standard error (NaN where the payment depends on
      the path), and ``settled``; the discounted values add up to the price
      but for rounding;
    - ``greeks``: delta, gamma and vega by underlying, then their standard
      errors (None when not asked); ``theta``, ``rho`` and their
      ``theta_std_error``, ``rho_std_error`` (None unless ``full``);
    - ``breakdown``, ``life_cycle``, ``warnings``, ``state``, ``status``;
      ``ladder`` (the tool's spot ladder when asked), ``scenarios`` (the
      frame of ``morvik.run_scenarios`` when asked), ``convergence`` (when
      asked: price and standard error by paths, plotted by
      ``frame.morvik.plot()``).

    Frames carry their units in ``frame.attrs["units"]`` (``morvik.units``).
    A note with nothing left to price (redeemed or matured and paid) has
    ``price`` None and empty frames; its ``life_cycle`` says how it ended.
    A valuation pickles with its note and its JSON document."""

    def __init__(self, note: Note, report: _morvik.Report) -> None:
        self.note = note
        self._report: Optional[_morvik.Report] = report
        self.status = report.status
        self.state = report.state
        self.warnings = list(report.warnings)
        self.trials = report.trials
        self.life_cycle = report.life_cycle
        self.price = report.price
        self.price_pct = report.price_percent
        self.std_error = report.price_se
        self.stream = report.stream
        self.seed = report.seed
        self.convergence = self._convergence(report)
        self.breakdown = dict(report.breakdown)
        self.theta = report.theta
        self.rho = report.rho
        self.theta_std_error = report.theta_se
        self.rho_std_error = report.rho_se
        self.outcomes = _flow_frame(report.outcomes(), report.outcome_kinds(), note.currency)
        coupons = report.coupons()
        self.coupons = _flow_frame(coupons, ["coupon"] * len(coupons["probability"]), note.currency)
        self.cash_flows = _cash_flow_frame(report.cash_flows(), note.currency)
        self.greeks = self._greeks(report, note.currency)
        self.ladder = self._ladder(report)
        rows = report.scenario_rows()
        self.scenarios = scenario_frame(rows, note.currency) if rows else None

    @staticmethod
    def _greeks(report: _morvik.Report, currency: str) -> Optional[pd.DataFrame]:
        greeks = report.greeks()
        if greeks is None:
            return None
        # Each greek, then its standard error (NaN where the library reports none).
        underlyings, columns = greeks
        named = {(k[:-3] + "_std_error" if k.endswith("_se") else k): v for k, v in columns.items()}
        frame = GreeksFrame(named, index=pd.Index(underlyings, name="underlying", dtype=object))
        frame.attrs["units"] = units(GREEK_UNITS, currency, list(frame.columns))
        return frame

    @staticmethod
    def _convergence(report: _morvik.Report) -> Optional[pd.DataFrame]:
        points = report.convergence()
        if points is None:
            return None
        paths, prices, errors = points
        frame = pd.DataFrame({"price": prices, "std_error": errors}, index=pd.Index(paths, name="trials"))
        frame.attrs["morvik"] = "convergence"
        return frame

    @staticmethod
    def _ladder(report: _morvik.Report) -> Optional[pd.DataFrame]:
        points = report.ladder()
        if points is None:
            return None
        return _ladder_frame(*points)

    def to_json(self) -> str:
        """The JSON document of ``morvik-price --json`` for this note, byte for
        byte (written by the library's JSON writer)."""
        return self._report.to_json() if self._report is not None else str(self.__dict__["_json"])

    def to_dict(self) -> Dict[str, Any]:
        """``to_json()``'s document as Python values: ``{"notes": [{...}]}``,
        every number the library's (built from the report, not read from the
        text)."""
        if self._report is not None:
            return self._report.to_dict()
        document: Dict[str, Any] = copy.deepcopy(self.__dict__["_dict"])
        return document

    def __getstate__(self) -> Dict[str, Any]:
        # The library's report stays behind; its JSON document and dict travel.
        state = dict(self.__dict__)
        state["_json"], state["_dict"] = self.to_json(), self.to_dict()
        state["_report"] = None
        return state

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Valuation):
            return NotImplemented
        return self.note == other.note and self.to_json() == other.to_json()

    def __hash__(self) -> int:
        return hash(self.to_json())

    def plot(self, ax: Any = None, **kwargs: Any) -> Any:
        """Outcome probabilities and discounted values (coupons beside them):
        a new matplotlib Figure, or drawn on ``ax``, a pair of Axes, which it
        returns. See ``morvik.plots.valuation_figure``."""
        from .plots import valuation_figure
        return valuation_figure(self, ax=ax, **kwargs)

    def summary(self) -> str:
        """One line: the price in money and per cent, or how the note ended."""
        if self.price is None:
            return str(self.life_cycle["summary"])
        text = f"{self.price:,.2f} {self.note.currency}"
        if self.price_pct is not None:
            text += f" ({self.price_pct:.4f} % of the notional)"
        return f"{text}, {self.trials} trials"

    def __repr__(self) -> str:
        return f"<morvik.Valuation {self.note.name!r}: {self.summary()}>"

    def _repr_html_(self) -> str:
        currency = self.note.currency
        rows: List[Tuple[str, str]] = [("state", self.state)]
        if self.price is None:
            rows.append(("summary", self.summary()))
        else:
            rows.append(("price", f"{self.price:,.2f} {currency}"))
            if self.price_pct is not None:
                rows.append(("per cent of notional", f"{self.price_pct:.4f} %"))
            if self.std_error is not None:
                rows.append(("standard error", f"{self.std_error:,.2f} {currency}"))
        rows.append(("trials", f"{self.trials:,} ({self.stream} stream)"))
        for name, value, error in (("theta", self.theta, self.theta_std_error),
                                   ("rho", self.rho, self.rho_std_error)):
            if value is not None:
                text = f"{value:,.2f}" + ("" if error is None else f" ± {error:,.2f}")
                rows.append((name, f"{text} ({GREEK_UNITS[name].format(currency=currency)})"))
        if self.warnings:
            rows.append(("warnings", str(len(self.warnings))))
        return html_table(f"morvik.Valuation: {self.note.name}", rows)


def _ladder_frame(moves: Any, prices: Any, statuses: Any, base: Optional[float] = None) -> pd.DataFrame:
    """Prices by spot move; ``change`` from the price at move 0 (or ``base``)."""
    frame = pd.DataFrame({"price": np.array(prices, dtype=float), "status": np.array(statuses, dtype=int)},
                         index=pd.Index(np.array(moves, dtype=float), name="spot_move"))
    if base is None and 0.0 in frame.index:
        base = frame.loc[0.0, "price"]
    frame["change"] = frame["price"] - (np.nan if base is None else base)
    frame.attrs["morvik"] = "ladder"
    return frame


@pd.api.extensions.register_dataframe_accessor("morvik")
class FrameAccessor:
    """``frame.morvik.plot()`` for the frames of ladder, grid and convergence.
    matplotlib is loaded by the first plot, not by ``import morvik``."""

    def __init__(self, frame: pd.DataFrame) -> None:
        self._frame = frame

    def plot(self, ax: Any = None, **kwargs: Any) -> Any:
        """A new Figure, or the frame drawn on ``ax``, which it returns."""
        from .plots import frame_figure
        return frame_figure(self._frame, ax=ax, **kwargs)
