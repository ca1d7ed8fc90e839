"""One note of a book, as a worker values it: the term sheet arrives as text,
is read and priced here, and leaves as the rows of the book's table. The
compiled package is imported at module level, so a worker process loads it
once, with its first note, and keeps it for the rest of the book.

The rows are the long form of ``morvik-price --csv`` (the same quantities, in
the same order, with the same numbers), plus an ``error`` column."""

import math

from . import _morvik  # noqa: F401  -- loaded once per worker process
from .errors import PricingError, TermSheetError
from .note import loads
from .valuation import price

COLUMNS = ["note", "pricing_date", "trials", "quantity", "underlying", "value", "standard_error", "error"]


def error_rows(label, error, pricing_date=None, trials=None, status=None):
    """The one row of a note that could not be valued: its status (the
    library's code when it rejected the note) and what went wrong."""
    value = math.nan if status is None else float(status)
    return [(label, pricing_date, trials, "status", None, value, math.nan, error)]


def _value(v):
    return math.nan if v is None else float(v)


def valuation_rows(label, valuation):
    """The rows of a valued note, as the tool's CSV has them: status, price,
    price in per cent, the probabilities of early redemption, of maturity
    without and with knock-in, the greeks by underlying, theta and rho; a
    note with nothing left to price has its settled amount instead."""
    note = valuation.note
    date, trials = note.price_date.isoformat(), int(valuation.trials)
    rows = []

    def row(quantity, value, underlying=None):
        rows.append((label, date, trials, quantity, underlying, _value(value), math.nan, None))

    row("status", valuation.status)
    if valuation.status is None:  # nothing left to price
        settlement = valuation.life_cycle.get("settlement")
        if settlement is not None:
            row("settled_amount", settlement["amount"])
        return rows
    row("price", valuation.price)
    if note.notional > 0.0:
        row("price_percent", valuation.price_pct)
    # The redemption dates come first among the outcomes, the two maturity
    # outcomes last; the early probability adds them in date order.
    probability = valuation.outcomes["probability"].tolist()
    early = 0.0
    for p in probability[:-2]:
        early += p
    row("early_redemption_probability", early)
    row("maturity_probability", probability[-2])
    row("knock_in_probability", probability[-1])
    if valuation.greeks is not None:
        for greek in ("delta", "gamma", "vega"):
            for underlying, value in valuation.greeks[greek].items():
                row(greek, value, underlying)
        entry = valuation.to_dict()["notes"][0]
        if "theta" in entry:
            row("theta", valuation.theta)
            row("rho", valuation.rho)
    return rows


def value_note(label, text, options):
    """Reads the term sheet ``text`` (named ``label``), prices it with
    ``options`` (``trials``, ``greeks``, ``full``) and returns its rows. A
    note that cannot be read or that the library rejects gives its error
    row; nothing is raised for the note itself."""
    try:
        note = loads(text, label)
    except TermSheetError as e:
        return error_rows(label, str(e))
    try:
        valuation = price(note, trials=options.get("trials"), greeks=options.get("greeks", False),
                          full=options.get("full", False))
    except PricingError as e:
        trials = options.get("trials") or note.trials
        return error_rows(label, str(e), note.price_date.isoformat(), int(trials), e.status)
    return valuation_rows(label, valuation)
