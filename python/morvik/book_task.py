"""One note of a book, as a worker values it: the term sheet arrives as text,
is read and priced here, and leaves as the rows of the book's table. The
compiled package is imported at module level, so a worker process loads it
once, with its first note, and keeps it for the rest of the book.

The rows are the rows of ``morvik-price --csv`` for the note, as the
library's row writer gives them (the numbers its CSV writes), plus an
``error`` column, the note's currency and its position."""

from __future__ import annotations

import functools
from typing import Any, Dict, List, Optional, Tuple

from . import _morvik  # loaded once per worker process
from .errors import PricingError, TermSheetError
from .market import Market, loads_market
from .note import loads
from .valuation import _request

# What a row says of the note's position (None without one): the factor
# from the note's figures to the position's, its book and trade id; and the
# market's id of the underlying of a greek's row.
POSITION_COLUMNS: List[str] = ["position_scale", "book", "trade_id", "underlying_id"]

# The columns of a row: morvik-price --csv's, the error column, then the
# note's currency (None when the note could not be read), then the position's.
COLUMNS: List[str] = [*_morvik.TABLE_COLUMNS, "currency", *POSITION_COLUMNS]

# A market as a book sends it to the workers: its text and label.
MarketText = Tuple[str, str]

Row = Tuple[Any, ...]


def error_rows(label: str, error: str, currency: Optional[str] = None) -> List[Row]:
    """The one row of a note that could not be valued: its status row (no
    value) and what went wrong."""
    return [(*row, currency, None, None, None, None) for row in _morvik.failed_rows(label, error)]


def note_request(options: Dict[str, Any]) -> Dict[str, Any]:
    """The pricing request of every note of a book, from its ``options``
    (``trials``, ``greeks``, ``full``); an option of the wrong type raises
    ValueError (their ranges are the library's check, _morvik.check_request)."""
    return _request(options.get("trials"), options.get("greeks", False), options.get("full", False), None,
                    "default", 1, None, False)


@functools.lru_cache(maxsize=4)
def _market(text: str, label: str) -> Market:
    """A market read once per worker process for the notes that follow."""
    return loads_market(text, label)


def value_note(label: str, text: str, options: Dict[str, Any], market: Optional[MarketText] = None) -> List[Row]:
    """Reads the term sheet ``text`` (named ``label``) on ``market`` (the
    market file's text and label, or None), prices it with ``options``
    (``trials``, ``greeks``, ``full``) and returns its rows. A note that
    cannot be read or that the library rejects gives its error row (a
    rejected note's status row carries the library's code); nothing is
    raised for the note itself."""
    return value_note_and_scenarios(label, text, options, market)[0]


def value_note_and_scenarios(label: str, text: str, options: Dict[str, Any],
                             market: Optional[MarketText] = None) -> Tuple[List[Row], List[Row]]:
    """``value_note``'s rows, and the rows of the note's scenarios when
    ``options["scenarios"]`` asks for some (a ``Scenarios.request()``): the
    library prices them in the same call as the note, on the note's random
    numbers. A note that could not be valued has no scenario rows."""
    try:
        note = loads(text, label, None if market is None else _market(*market))
    except TermSheetError as e:
        return error_rows(label, str(e)), []
    request = note_request(options)
    report = _morvik.price(note, request["compute"], request["trials"], scenarios=options.get("scenarios"))
    if report.error is not None:
        rows = report.table_rows(str(PricingError(label, report.status, report.error)))
    else:
        rows = report.table_rows()
    return _with_position(note, [(*row, note.currency) for row in rows]), report.scenario_rows()


def _with_position(note: Any, rows: List[Row]) -> List[Row]:
    """The rows with the note's position and, on a greek's row, the id of
    its underlying (the k-th row of a greek is the k-th underlying's)."""
    position = note.position
    held = (None, None, None) if position is None else (position["scale"], position["book"], position["trade_id"])
    ids = note.underlying_ids
    quantity = _morvik.TABLE_COLUMNS.index("quantity")
    seen: Dict[str, int] = {}
    out: List[Row] = []
    for row in rows:
        uid = None
        if row[quantity] in ("delta", "gamma", "vega"):
            k = seen.get(row[quantity], 0)
            seen[row[quantity]] = k + 1
            uid = (ids[k] or None) if k < len(ids) else None
        out.append((*row, *held, uid))
    return out
