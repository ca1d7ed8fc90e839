"""Notes: term sheets read, expanded and brought up to their pricing date by
the C++ term-sheet layer (the reader of ``morvik-price``)."""

from __future__ import annotations

import datetime
import html
import json
import math
import os
from typing import Any, Dict, List, Optional, Tuple, Union

import numpy as np

from . import _morvik
from .errors import TermSheetError
from .market import MarketLike, native_market

# What the package takes wherever it takes a note: a Note, a path (str or
# os.PathLike) or a dict in the term-sheet format.
NoteLike = Union["Note", str, "os.PathLike[str]", Dict[str, Any]]


def _field_error(label: str, path: str, message: str) -> TermSheetError:
    where = path or "the term sheet"
    return TermSheetError(label, "field", path, 0, 0, message, f"{where}: {message}")


def _date_text(value: Any, label: str, path: str) -> str:
    """A date of a notebook (``datetime.date``, ``datetime.datetime``,
    ``pandas.Timestamp``, ``numpy.datetime64``) as the ISO date the reader
    reads; a time of day or a missing date (NaT) raises naming the field."""
    if isinstance(value, np.datetime64):
        if np.isnat(value):
            raise _field_error(label, path, "NaT is not a date")
        day = value.astype("datetime64[D]")
        if day != value:
            raise _field_error(label, path, f"{value} has a time of day; a term sheet takes dates")
        return str(day)
    if isinstance(value, datetime.datetime):
        if value.isoformat() == "NaT":  # pandas.NaT is a datetime
            raise _field_error(label, path, "NaT is not a date")
        if value.time() != datetime.time(0):
            raise _field_error(label, path, f"{value.isoformat()} has a time of day; a term sheet takes dates")
        return value.date().isoformat()
    assert isinstance(value, datetime.date)
    return value.isoformat()


def _plain(value: Any, label: str, path: str) -> Any:
    """``value`` as the JSON values of a term sheet: numpy scalars and arrays,
    tuples and pandas objects as numbers and lists, dates as ISO text. NaN,
    infinity, NaT and objects JSON cannot hold raise TermSheetError naming
    the field (``redemption[2].coupon``)."""
    if value is None or isinstance(value, (bool, str)):
        return value
    if isinstance(value, (datetime.date, np.datetime64)):
        return _date_text(value, label, path)
    if isinstance(value, np.generic) and not isinstance(value, np.datetime64):
        value = value.item()  # numpy scalars: Python's bool, int, float
        if isinstance(value, (bool, int, str)):
            return value
    if isinstance(value, int):
        return int(value)
    if isinstance(value, float):
        if not math.isfinite(value):
            raise _field_error(label, path, f"{value} is not a number a term sheet can hold")
        return float(value)
    if isinstance(value, dict):
        return {str(k): _plain(v, label, f"{path}.{k}" if path else str(k)) for k, v in value.items()}
    if isinstance(value, np.ndarray) or hasattr(value, "tolist") and not isinstance(value, type):
        value = value.tolist()  # arrays, pandas Series and Index
    if isinstance(value, (list, tuple)):
        return [_plain(v, label, f"{path}[{k}]") for k, v in enumerate(value)]
    if str(value) in ("<NA>", "NaT"):  # pandas.NA, pandas.NaT outside the cases above
        raise _field_error(label, path, f"{value} is not a value a term sheet can hold")
    raise _field_error(label, path, f"a {type(value).__name__} cannot be written in a term sheet")


def dict_text(sheet: Dict[str, Any], label: str = "<dict>") -> str:
    """A term sheet given as a dict, as the JSON text the reader reads (numpy
    values and dates written as JSON numbers, lists and ISO dates; NaN and
    other values JSON cannot hold raise TermSheetError naming the field)."""
    return json.dumps(_plain(sheet, label, ""), indent=2, ensure_ascii=False, allow_nan=False)


def _note_or_raise(result: Any) -> "Note":
    if isinstance(result, dict):
        raise TermSheetError(**result)
    return Note(result)


def _restore(text: str, label: str, inputs: Optional[Dict[str, Any]]) -> "Note":
    """A pickled note read again: its term-sheet text, then the inputs that
    were changed since (``with_inputs``, scenarios)."""
    note = loads(text, label)
    return note if inputs is None else note.with_inputs(**inputs)


def _same(a: Any, b: Any) -> bool:
    if isinstance(a, np.ndarray) or isinstance(b, np.ndarray):
        return bool(np.array_equal(np.asarray(a), np.asarray(b), equal_nan=True))
    return bool(a == b)


class Note(_morvik.Note):
    """A term sheet read by the C++ term-sheet layer: the inputs of one full
    pricing call, with the labels of its report. Notes do not change;
    ``with_inputs`` makes a changed copy. ``label``, ``name``, ``currency``,
    ``notional`` and ``price_date`` (a ``datetime.date``) are the library's;
    ``expanded_text()`` is the explicit form as ``morvik-price --expand``
    prints it.

    A note pickles as its explicit term-sheet text and label, plus its
    inputs when they were changed; notes with the same label, texts and
    inputs are equal."""

    def __init__(self, note: _morvik.Note, origin: Optional[str] = None) -> None:
        # A copy of the note the term-sheet layer read: this object is the
        # library's note, passed to its calls as it is. ``origin`` is the
        # term-sheet text of a note whose inputs were changed.
        super().__init__(note)
        self._origin = origin

    @property
    def trials(self) -> int:
        """Monte Carlo trials of the term sheet"""
        return int(super().trials)

    @property
    def underlyings(self) -> List[str]:
        """names of the underlyings"""
        return list(super().underlyings)

    @property
    def warnings(self) -> List[str]:
        """legal but suspicious values: 'line L, column C: path: message'"""
        return list(super().warnings)

    @property
    def underlying_ids(self) -> List[str]:
        """the market's id of each underlying ('' for one without)"""
        return list(super().underlying_ids)

    @property
    def position(self) -> Optional[Dict[str, Any]]:
        """the position a book holds (quantity or notional, scale, book,
        trade_id), or None"""
        return super().position

    # A property here, a method of the extension's class.
    @property
    def inputs(self) -> Dict[str, Any]:  # type: ignore[override]
        """Every input of ZUNP_CalcMorvikMC for this note, under the export's
        names (a fresh copy: int32 and float64 arrays, ints and floats)."""
        return _morvik.Note.inputs(self)

    def _text(self) -> str:
        """The term-sheet text this note was read from or derived from."""
        return self.expanded_text() if self._origin is None else self._origin

    def with_inputs(self, **arrays: Any) -> "Note":  # type: ignore[override]  # keywords, not the extension's dict
        """A copy of the note with the named inputs replaced, e.g.
        ``note.with_inputs(UnderlyingPrice=spots)``. Lengths are checked
        against the counts (which cannot change); the values are left to the
        library's checks when the copy is priced."""
        return Note(_morvik.Note.with_inputs(self, arrays), self._text())

    def _moved(self, spot_move: float, vol_move: float, stocks: List[int]) -> "Note":
        """The copy of a scenario (``morvik.moved``): the spots of the
        underlyings ``stocks`` (indices) moved by the fraction ``spot_move``,
        their local volatility shifted by ``vol_move``, price only."""
        return Note(self._scenario(float(spot_move), float(vol_move), list(stocks)), self._text())

    def scenarios(self, scenarios: Any = None, **options: Any) -> Any:
        """The note's scenarios as a tidy frame: ``morvik.run_scenarios(self,
        ...)`` (a ``Scenarios`` or its fields, and the pricing options)."""
        from .scenarios import run_scenarios  # scenarios.py imports this module
        return run_scenarios(self, scenarios, **options)

    def expanded(self) -> Dict[str, Any]:
        """The term sheet in its explicit form (every date and value written
        out, the past worked out), as a dict; it prices as the note."""
        return _morvik.Note.expanded(self)

    def __reduce__(self) -> Tuple[Any, Tuple[str, str, Optional[Dict[str, Any]]]]:
        return _restore, (self._text(), self.label, None if self._origin is None else self.inputs)

    def _identity(self) -> Tuple[Any, ...]:
        return (self.label, self.name, self.currency, self.underlyings, self.warnings, self._text())

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Note):
            return NotImplemented
        if self._identity() != other._identity():
            return False
        mine, theirs = self.inputs, other.inputs
        return mine.keys() == theirs.keys() and all(_same(mine[k], theirs[k]) for k in mine)

    def __hash__(self) -> int:
        return hash((self.label, self.name))

    def __repr__(self) -> str:
        return (f"<morvik.Note {self.name!r}: {', '.join(self.underlyings)}; "
                f"priced on {self.price_date.isoformat()}, notional {self.notional:,.2f} {self.currency}>")

    def _repr_html_(self) -> str:
        rows = [("underlyings", ", ".join(self.underlyings)),
                ("notional", f"{self.notional:,.2f} {self.currency}"),
                ("pricing date", self.price_date.isoformat()),
                ("trials", f"{self.trials:,}")]
        if self.warnings:
            rows.append(("warnings", str(len(self.warnings))))
        return html_table(f"morvik.Note: {self.name}", rows)


def html_table(caption: str, rows: List[Tuple[str, str]]) -> str:
    """A small two-column HTML table for a notebook, every text escaped."""
    body = "".join(f"<tr><th style='text-align:left'>{html.escape(k)}</th><td style='text-align:left'>"
                   f"{html.escape(v)}</td></tr>" for k, v in rows)
    return f"<table><caption style='text-align:left'>{html.escape(caption)}</caption>{body}</table>"


def load(source: Union[str, "os.PathLike[str]", Dict[str, Any]], label: Optional[str] = None,
         market: Optional[MarketLike] = None) -> Note:
    """Reads a term sheet: a path (str or os.PathLike) or a dict in the
    term-sheet format (docs/term-sheet.md). A dict is written as JSON text
    and read by the same reader as a file. ``market`` (a ``Market``, a path
    or a dict of a market file) gives the data of the underlyings the note
    names by id. Raises ``TermSheetError`` with the field path, line and
    column when it cannot be read."""
    native = native_market(market)
    if isinstance(source, dict):
        name = "<dict>" if label is None else label
        return _note_or_raise(_morvik.read_text(dict_text(source, name), name, native))
    if isinstance(source, (str, os.PathLike)):
        return _note_or_raise(_morvik.read_file(os.fspath(source), native))
    raise TypeError(f"load() takes a path or a dict, not {type(source).__name__}")


def loads(text: str, label: str = "<string>", market: Optional[MarketLike] = None) -> Note:
    """Reads a term sheet from JSON text; ``label`` names it in errors and
    reports; ``market`` as in ``load``."""
    return _note_or_raise(_morvik.read_text(text, label, native_market(market)))


def as_note(source: NoteLike, label: Optional[str] = None, market: Optional[MarketLike] = None) -> Note:
    """``source`` as a Note: a Note as it is, a path or a dict read by
    ``load`` (on ``market``). A Note is read already: with a market it is
    refused rather than the market ignored."""
    if isinstance(source, (Note, _morvik.Note)) and market is not None:
        raise ValueError("the note is read already: give the market to morvik.load")
    if isinstance(source, Note):
        return source
    if isinstance(source, _morvik.Note):
        return Note(source)
    if isinstance(source, (dict, str, os.PathLike)):
        return load(source, label, market)
    raise TypeError(f"a note is a morvik.Note, a path or a dict, not {type(source).__name__}")
