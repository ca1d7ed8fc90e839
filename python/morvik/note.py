"""Notes: term sheets read, expanded and brought up to their pricing date by
the C++ term-sheet layer (the reader of ``morvik-price``)."""

import datetime
import json
import os

from . import _morvik
from .errors import TermSheetError


def _json_default(value):
    # numpy scalars and arrays, dates: what a notebook's dict holds.
    if hasattr(value, "tolist"):
        return value.tolist()
    if isinstance(value, datetime.date):
        return value.isoformat()
    raise TypeError(f"{type(value).__name__} cannot be written in a term sheet")


def dict_text(sheet):
    """A term sheet given as a dict, as the JSON text the reader reads (numpy
    values and dates written as JSON numbers, lists and ISO dates)."""
    return json.dumps(sheet, indent=2, ensure_ascii=False, default=_json_default)


def _note_or_raise(result):
    if isinstance(result, dict):
        raise TermSheetError(**result)
    return Note(result)


class Note:
    """A term sheet read by the C++ term-sheet layer: the inputs of one full
    pricing call, with the labels of its report. Notes do not change;
    ``with_inputs`` makes a changed copy."""

    def __init__(self, handle):
        self._handle = handle

    label = property(lambda self: self._handle.label, doc="where it came from: the file as given, or a label")
    name = property(lambda self: self._handle.name, doc="the note's name (default: the file name)")
    currency = property(lambda self: self._handle.currency, doc="the notional's currency")
    notional = property(lambda self: self._handle.notional, doc="the notional amount")
    trials = property(lambda self: int(self._handle.trials), doc="Monte Carlo trials of the term sheet")
    underlyings = property(lambda self: list(self._handle.underlyings), doc="names of the underlyings")
    warnings = property(lambda self: list(self._handle.warnings),
                        doc="legal but suspicious values: 'line L, column C: path: message'")

    @property
    def price_date(self):
        """The valuation date, a ``datetime.date``."""
        return self._handle.price_date

    @property
    def inputs(self):
        """Every input of ZUNP_CalcMorvikMC for this note, under the export's
        names (a fresh copy: int32 and float64 arrays, ints and floats)."""
        return self._handle.inputs()

    def with_inputs(self, **arrays):
        """A copy of the note with the named inputs replaced, e.g.
        ``note.with_inputs(UnderlyingPrice=spots)``. Lengths are checked
        against the counts (which cannot change); the values are left to the
        library's checks when the copy is priced."""
        return Note(self._handle.with_inputs(arrays))

    def _moved(self, spot_move, vol_move, stocks):
        """The copy of a scenario (``morvik.moved``): the spots of the
        underlyings ``stocks`` (indices) moved by the fraction ``spot_move``,
        their local volatility shifted by ``vol_move``, price only."""
        return Note(self._handle.moved(float(spot_move), float(vol_move), list(stocks)))

    def expanded(self):
        """The term sheet in its explicit form (every date and value written
        out, the past worked out), as a dict; it prices as the note."""
        return json.loads(self._handle.expanded_text())

    def expanded_text(self):
        """The explicit form as JSON text, as ``morvik-price --expand`` prints it."""
        return self._handle.expanded_text()

    def __repr__(self):
        return (f"<morvik.Note {self.name!r}: {', '.join(self.underlyings)}; "
                f"priced on {self.price_date.isoformat()}, notional {self.notional:,.2f} {self.currency}>")


def load(source, label=None):
    """Reads a term sheet: a path (str or os.PathLike) or a dict in the
    term-sheet format (docs/term-sheet.md). A dict is written as JSON text
    and read by the same reader as a file. Raises ``TermSheetError`` with the
    field path, line and column when it cannot be read."""
    if isinstance(source, dict):
        return loads(dict_text(source), label="<dict>" if label is None else label)
    if isinstance(source, (str, os.PathLike)):
        return _note_or_raise(_morvik.read_file(os.fspath(source)))
    raise TypeError(f"load() takes a path or a dict, not {type(source).__name__}")


def loads(text, label="<string>"):
    """Reads a term sheet from JSON text; ``label`` names it in errors and reports."""
    return _note_or_raise(_morvik.read_text(text, label))
