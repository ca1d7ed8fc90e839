"""The risk of a book: the positions of a book's table (``price_book``)
summed by currency and by underlying, as ``morvik-price`` sums them (the
same C++ routine): value, delta, gamma, vega, theta and rho, each with its
standard error. The notes are taken as independent (each is valued on its
own random numbers), so the errors of a sum add in quadrature. A greek that
some priced note of a currency lacks (not asked for) is NaN in that
currency's rows rather than a sum over part of the book; a note with a
position that could not be valued is left out and counted in
``notes_left_out``."""

from __future__ import annotations

import math
from typing import Any, List, Tuple

import pandas as pd

from . import _morvik
from .units import GREEK_UNITS

FIGURES = ("price", "delta", "gamma", "vega", "theta", "rho")
RISK_COLUMNS = ["group", "key", "currency", "quantity", "value", "std_error", "positions", "notes_left_out"]

NoteRow = Tuple[str, str, float, bool, bool]
FigureRow = Tuple[int, str, str, float, float]


def _float(value: Any) -> float:
    return math.nan if value is None or value is pd.NA or pd.isna(value) else float(value)


def _inputs(table: pd.DataFrame) -> Tuple[List[NoteRow], List[FigureRow]]:
    """The positioned notes of a book's table and their figures. Each note's
    rows begin with its status row; a note that could not be read (no
    currency) may have held a position, so it is left out by name."""
    notes: List[NoteRow] = []
    figures: List[FigureRow] = []
    held = False
    current = -1
    for row in table.itertuples(index=False):
        if row.quantity == "status":
            scale = _float(row.position_scale)
            unread = row.currency is None or row.currency is pd.NA or (isinstance(row.currency, float))
            current = -1
            if math.isfinite(scale) or unread:
                held = held or math.isfinite(scale)
                failed = row.error is not None and not (isinstance(row.error, float) and math.isnan(row.error))
                notes.append((str(row.note), "" if unread else str(row.currency), scale if not unread else 1.0,
                              True, bool(failed or unread)))
                current = len(notes) - 1
            continue
        if current < 0 or row.quantity not in FIGURES:
            continue
        label, currency, scale, _, failed = notes[current]
        notes[current] = (label, currency, scale, False, failed)  # it has figures: priced, not over
        underlying = row.underlying_id if isinstance(row.underlying_id, str) else (
            row.underlying if isinstance(row.underlying, str) else "")
        figures.append((current, str(row.quantity), underlying, _float(row.value), _float(row.std_error)))
    if not held:
        return [], []
    return notes, figures


def book_risk(table: pd.DataFrame) -> pd.DataFrame:
    """The positions of ``table`` summed: one row per group (``currency``
    totals, then ``underlying``), key, currency and quantity (``value``,
    ``delta``, ...), with ``std_error``, the ``positions`` in the sum and
    ``notes_left_out``. Empty when no note carries a position. Units in
    ``attrs["units"]``."""
    notes, figures = _inputs(table)
    rows: List[Tuple[Any, ...]] = []
    left = 0
    if notes:
        sums = _morvik.book_risk(notes, figures)
        left = len(sums["left_out"])
        for c in sums["by_currency"]:
            for q in ("value", "delta", "gamma", "vega", "theta", "rho"):
                rows.append(("currency", c["currency"], c["currency"], q, c[q]["value"], c[q]["standard_error"],
                             c["positions"], left))
        for u in sums["by_underlying"]:
            for q in ("delta", "gamma", "vega"):
                rows.append(("underlying", u["underlying"], u["currency"], q, u[q]["value"], u[q]["standard_error"],
                             u["positions"], left))
    frame = pd.DataFrame.from_records(rows, columns=RISK_COLUMNS)
    for column in ("value", "std_error"):
        frame[column] = frame[column].astype(float)
    for column in ("positions", "notes_left_out"):
        frame[column] = frame[column].astype("int64")
    frame.attrs["units"] = {"value": "{currency}: the row's currency", **GREEK_UNITS}
    frame.attrs["errors"] = "notes taken as independent: standard errors add in quadrature"
    return frame


def risk_csv(table: pd.DataFrame) -> str:
    """``book_risk(table)`` as the CSV of ``morvik-price --risk``."""
    notes, figures = _inputs(table)
    return _morvik.book_risk_csv(notes, figures)
