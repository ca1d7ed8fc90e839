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


class Note(_morvik.Note):
    """A term sheet read by the C++ term-sheet layer: the inputs of one full
    pricing call, with the labels of its report. Notes do not change;
    ``with_inputs`` makes a changed copy. ``label``, ``name``, ``currency``,
    ``notional`` and ``price_date`` (a ``datetime.date``) are the library's;
    ``expanded_text()`` is the explicit form as ``morvik-price --expand``
    prints it."""

    def __init__(self, note):
        # A copy of the note the term-sheet layer read: this object is the
        # library's note, passed to its calls as it is.
        super().__init__(note)

    trials = property(lambda self: int(_morvik.Note.trials.fget(self)), doc="Monte Carlo trials of the term sheet")
    underlyings = property(lambda self: list(_morvik.Note.underlyings.fget(self)), doc="names of the underlyings")
    warnings = property(lambda self: list(_morvik.Note.warnings.fget(self)),
                        doc="legal but suspicious values: 'line L, column C: path: message'")

    @property
    def inputs(self):
        """Every input of ZUNP_CalcMorvikMC for this note, under the export's
        names (a fresh copy: int32 and float64 arrays, ints and floats)."""
        return _morvik.Note.inputs(self)

    def with_inputs(self, **arrays):
        """A copy of the note with the named inputs replaced, e.g.
        ``note.with_inputs(UnderlyingPrice=spots)``. Lengths are checked
        against the counts (which cannot change); the values are left to the
        library's checks when the copy is priced."""
        return Note(_morvik.Note.with_inputs(self, arrays))

    def _moved(self, spot_move, vol_move, stocks):
        """The copy of a scenario (``morvik.moved``): the spots of the
        underlyings ``stocks`` (indices) moved by the fraction ``spot_move``,
        their local volatility shifted by ``vol_move``, price only."""
        return Note(self._scenario(float(spot_move), float(vol_move), list(stocks)))

    def expanded(self):
        """The term sheet in its explicit form (every date and value written
        out, the past worked out), as a dict; it prices as the note."""
        return _morvik.Note.expanded(self)

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
