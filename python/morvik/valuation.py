"""Pricing a note: ``price`` runs the note through the term-sheet layer
exactly as ``morvik-price`` does, and ``Valuation`` holds the result: the
library's report of the note, its figures as numbers and pandas DataFrames,
and the tool's JSON document written by the library's own writer."""

import numpy as np
import pandas as pd

from . import _morvik
from .errors import PricingError

_STREAMS = ("default", "aligned", "sobol")


def _whole(value):
    return isinstance(value, (int, np.integer)) and not isinstance(value, bool)


def _request(trials, greeks, full, seed, stream, threads, replications, convergence, scrambles=None):
    """The request's arguments of the C++ call: the keyword arguments read
    into the library's types here; their ranges are the library's rule of a
    request, which ``_morvik.price`` applies before anything is priced (and
    ``_morvik.check_request`` where a wrong option must raise earlier)."""
    if stream not in _STREAMS:
        raise ValueError(f"stream is 'default', 'aligned' or 'sobol', not {stream!r}")
    if scrambles is not None and stream != "sobol":
        raise ValueError("scrambles belongs to stream='sobol'")
    for name, value in (("trials", trials), ("seed", seed)):
        if value is not None and not _whole(value):
            raise ValueError(f"{name} takes a whole number, not {value!r}")
    if scrambles is None:
        scrambles = 16
    for name, value in (("threads", threads), ("replications", replications), ("scrambles", scrambles)):
        if not _whole(value):
            raise ValueError(f"{name} takes a whole number, not {value!r}")
    return {"compute": 2 if full else (1 if greeks else -1), "trials": _int(trials), "threads": int(threads),
            "seed": _int(seed), "aligned": stream == "aligned", "replications": int(replications),
            "convergence": bool(convergence), "sobol": stream == "sobol", "scrambles": _int(scrambles)}


def _int(value):
    """A whole number as the library's 64-bit integer: one beyond that range
    is passed at its end, which is out of every field's range."""
    return None if value is None else max(-(2**63), min(int(value), 2**63 - 1))


def price(note, trials=None, greeks=False, full=False, seed=None, stream="default", threads=1, ladder=False,
          log=False, replications=1, convergence=False, scrambles=None):
    """Prices ``note`` as ``morvik-price`` does with the same options.

    - ``trials``: replaces the term sheet's (1 to 1000000000); ``None`` keeps it;
    - ``greeks``: delta, gamma and vega by underlying; ``full``: also theta and
      rho (the options only raise what the term sheet asks for);
    - ``stream``: ``"default"``, the library's stream (``seed`` 0 to 63 starts
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
    - ``replications``: the mean of that many runs on consecutive seeds, each
      greek with the standard error of its spread;
    - ``convergence``: the running price and its error at 1000, 2000, 5000,
      ... paths of the same run, in ``Valuation.convergence``;
    - ``ladder``: the tool's spot ladder (``--ladder``), in ``Valuation.ladder``;
    - ``log``: the library's trace under ``ZUN_Module_Log/`` (``--log``).

    Returns a ``Valuation``. Raises ``PricingError`` when the library rejects
    the note. The GIL is released while the library prices; on the main
    thread Ctrl-C stops it and raises KeyboardInterrupt."""
    request = _request(trials, greeks, full, seed, stream, threads, replications, convergence, scrambles)
    report = _morvik.price(note, ladder=bool(ladder), log=bool(log), **request)
    if report.error is not None:
        raise PricingError(report.file, report.status, report.error)
    return Valuation(note, report)


class Valuation:
    """One priced note. ``to_json()`` is the document ``morvik-price --json``
    prints for the note, byte for byte; the attributes hold the same numbers,
    taken from the library's report of the note (the object both come from):

    - ``price`` (notional's currency), ``price_pct`` (per cent of the notional),
      ``std_error`` (the price's standard error), ``stream``, ``seed``;
    - ``outcomes``: one row per redemption outcome (each observation date,
      maturity without and with knock-in): observation and payment dates,
      probability, its standard error, mean cash flow over all trials
      (undiscounted), discount factor and discounted value;
    - ``coupons``: the same columns, one row per coupon;
    - ``greeks``: delta, gamma and vega by underlying (None when not asked);
      ``theta``, ``rho`` (None unless ``full``);
    - ``breakdown``, ``life_cycle``, ``warnings``, ``state``, ``status``;
      ``ladder`` (the tool's spot ladder when asked), ``convergence`` (when
      asked: price and standard error by paths, plotted by
      ``frame.morvik.plot()``).

    A note with nothing left to price (redeemed or matured and paid) has
    ``price`` None and empty frames; its ``life_cycle`` says how it ended."""

    def __init__(self, note, report):
        self.note = note
        self._report = report
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
        # The report's columns, in their order (dates become datetime64[ns]).
        self.outcomes = pd.DataFrame(report.outcomes(),
                                     index=pd.Index(report.outcome_labels(), name="outcome", dtype=object))
        coupons = report.coupons()
        self.coupons = pd.DataFrame(coupons, index=pd.RangeIndex(1, len(coupons["probability"]) + 1, name="coupon"))
        self.greeks = self._greeks(report)
        self.ladder = self._ladder(report)

    @staticmethod
    def _greeks(report):
        greeks = report.greeks()
        if greeks is None:
            return None
        # Each greek, then its standard error (NaN where the library reports none).
        underlyings, columns = greeks
        return pd.DataFrame(columns, index=pd.Index(underlyings, name="underlying", dtype=object))

    @staticmethod
    def _convergence(report):
        points = report.convergence()
        if points is None:
            return None
        paths, prices, errors = points
        frame = pd.DataFrame({"price": prices, "std_error": errors}, index=pd.Index(paths, name="trials"))
        frame.attrs["morvik"] = "convergence"
        return frame

    @staticmethod
    def _ladder(report):
        points = report.ladder()
        if points is None:
            return None
        return _ladder_frame(*points)

    def to_json(self):
        """The JSON document of ``morvik-price --json`` for this note, byte for
        byte (written by the library's JSON writer)."""
        return self._report.to_json()

    def to_dict(self):
        """``to_json()``'s document as Python values: ``{"notes": [{...}]}``,
        every number the library's (built from the report, not read from the
        text)."""
        return self._report.to_dict()

    def plot(self, **kwargs):
        """Outcome probabilities and discounted values (coupons beside them);
        returns the matplotlib Figure. See ``morvik.plots.valuation_figure``."""
        from .plots import valuation_figure
        return valuation_figure(self, **kwargs)

    def summary(self):
        """One line: the price in money and per cent, or how the note ended."""
        if self.price is None:
            return self.life_cycle["summary"]
        text = f"{self.price:,.2f} {self.note.currency}"
        if self.price_pct is not None:
            text += f" ({self.price_pct:.4f} % of the notional)"
        return f"{text}, {self.trials} trials"

    def __repr__(self):
        return f"<morvik.Valuation {self.note.name!r}: {self.summary()}>"


def _ladder_frame(moves, prices, statuses, base=None):
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

    def __init__(self, frame):
        self._frame = frame

    def plot(self, **kwargs):
        from .plots import frame_figure
        return frame_figure(self._frame, **kwargs)
