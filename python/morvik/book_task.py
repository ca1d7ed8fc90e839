"""One note of a book, as a worker values it: the term sheet arrives as text,
is read and priced here, and leaves as the rows of the book's table. The
compiled package is imported at module level, so a worker process loads it
once, with its first note, and keeps it for the rest of the book.

The rows are the rows of ``morvik-price --csv`` for the note, written by the
library's own report and read back exactly, plus an ``error`` column."""

import csv
import io
import json
import math

from . import _morvik  # loaded once per worker process
from .errors import PricingError, TermSheetError
from .note import loads
from .valuation import _request

COLUMNS = ["note", "pricing_date", "trials", "quantity", "underlying", "value", "standard_error", "error"]


def error_rows(label, error, pricing_date=None, trials=None, status=None):
    """The one row of a note that could not be valued: its status (the
    library's code when it rejected the note) and what went wrong."""
    value = math.nan if status is None else float(status)
    return [(label, pricing_date, trials, "status", None, value, math.nan, error)]


def _csv_rows(text):
    """The tool's CSV rows as table rows: empty fields None (text) or NaN
    (numbers); every number reads back to the double the library wrote."""
    lines = csv.reader(io.StringIO(text, newline=""))
    next(lines)  # the header
    return [(note, date or None, int(trials) if trials else None, quantity, underlying or None,
             float(value) if value else math.nan, float(std_error) if std_error else math.nan, None)
            for note, date, trials, quantity, underlying, value, std_error in lines]


def note_request(options):
    """The pricing request of every note of a book, from its ``options``
    (``trials``, ``greeks``, ``full``); a wrong option raises ValueError."""
    return _request(options.get("trials"), options.get("greeks", False), options.get("full", False), None,
                    "default", 1, 1, False)


def value_note(label, text, options):
    """Reads the term sheet ``text`` (named ``label``), prices it with
    ``options`` (``trials``, ``greeks``, ``full``) and returns its rows. A
    note that cannot be read or that the library rejects gives its error
    row; nothing is raised for the note itself."""
    try:
        note = loads(text, label)
    except TermSheetError as e:
        return error_rows(label, str(e))
    request = note_request(options)
    document, rows = _morvik.price_rows(note._handle, request["compute"], request["trials"])
    entry = json.loads(document)["notes"][0]
    if "error" in entry:
        rejected = PricingError(label, entry.get("status"), entry["error"])
        trials = options.get("trials") or note.trials
        return error_rows(label, str(rejected), note.price_date.isoformat(), int(trials), rejected.status)
    return _csv_rows(rows)
