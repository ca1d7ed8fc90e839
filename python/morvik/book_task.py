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


def _proportion_se(p, trials, runs):
    """The standard error of a share ``p`` of ``trials`` trials over ``runs``
    runs, in the order of operations of the library's ProportionSE
    (termsheet/pricing.cpp)."""
    n = math.ceil(trials) * runs
    if n < 2.0:
        return math.nan
    c = p * trials * runs
    var = c * (1.0 - c / n) / (n - 1.0)
    return math.sqrt(n) * math.sqrt(var if var > 0.0 else 0.0) / (trials * runs)


def valuation_rows(label, valuation):
    """The rows of a valued note, as the tool's CSV has them: status, price,
    price in per cent, the probabilities of early redemption, of maturity
    without and with knock-in, the greeks by underlying, theta and rho, each
    with its standard error where the library gives one; a note with nothing
    left to price has its settled amount instead."""
    note = valuation.note
    date, trials = note.price_date.isoformat(), int(valuation.trials)
    entry = valuation.to_dict()["notes"][0]
    rows = []

    def row(quantity, value, std_error=None, underlying=None):
        rows.append((label, date, trials, quantity, underlying, _value(value), _value(std_error), None))

    row("status", valuation.status)
    if valuation.status is None:  # nothing left to price
        settlement = valuation.life_cycle.get("settlement")
        if settlement is not None:
            row("settled_amount", settlement["amount"])
        return rows
    row("price", valuation.price, valuation.std_error)
    if note.notional > 0.0:
        se = valuation.std_error
        row("price_percent", valuation.price_pct, None if se is None else 100.0 * se / note.notional)
    # The redemption dates come first among the outcomes, the two maturity
    # outcomes last. The early dates together are a share of the paths; the
    # dates settled on known fixings (error 0) add no error.
    outcomes = valuation.outcomes
    probability, std_error = outcomes["probability"].tolist(), outcomes["std_error"].tolist()
    early = settled = 0.0
    for p, se in zip(probability[:-2], std_error[:-2]):
        early += p
        if se == 0.0:
            settled += p
    early_se = 0.0 if settled == early else _proportion_se(early, valuation.trials, entry.get("replications", 1))
    row("early_redemption_probability", early, early_se)
    row("maturity_probability", probability[-2], std_error[-2])
    row("knock_in_probability", probability[-1], std_error[-1])
    if valuation.greeks is not None:
        greeks = valuation.greeks
        for greek in ("delta", "gamma", "vega"):
            errors = greeks.get(greek + "_se")
            for k, underlying in enumerate(greeks.index):
                row(greek, greeks[greek].iloc[k], None if errors is None else errors.iloc[k], underlying)
        if "theta" in entry:
            row("theta", valuation.theta, entry.get("theta_se"))
            row("rho", valuation.rho, entry.get("rho_se"))
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
