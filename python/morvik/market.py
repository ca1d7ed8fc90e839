"""Market files: the market of one pricing date for a whole book (spots,
volatilities, dividends and currencies of the underlyings by id, rate curves
by currency, correlations by pairs of ids, FX volatilities), read and checked
by the C++ term-sheet layer. Term sheets that name their underlyings by id
take their data from it (``morvik.load(note, market=...)``)."""

from __future__ import annotations

import datetime
import os
from typing import Any, Dict, List, Optional, Tuple, Union

from . import _morvik
from .errors import TermSheetError

# What the package takes wherever it takes a market: a Market, a path or a
# dict in the market-file format.
MarketLike = Union["Market", str, "os.PathLike[str]", Dict[str, Any]]


def _market_or_raise(result: Any) -> "Market":
    if isinstance(result, dict):
        raise TermSheetError(**result)
    return Market(result)


class Market:
    """A market file read and checked. ``label`` names it in messages,
    ``pricing_date`` is its date, ``underlyings`` its ids, ``text`` the file
    as read (what a book sends to its workers). Pickles as its text."""

    def __init__(self, native: _morvik.Market) -> None:
        self._native = native

    @property
    def native(self) -> _morvik.Market:
        """the extension's market, as the readers take it"""
        return self._native

    @property
    def label(self) -> str:
        """the file it was read from, or the label of a dict or text"""
        return self._native.label

    @property
    def text(self) -> str:
        """the market file's text"""
        return self._native.text

    @property
    def pricing_date(self) -> datetime.date:
        """the date of the market"""
        return self._native.pricing_date

    @property
    def underlyings(self) -> List[str]:
        """the ids of its underlyings, in the file's order"""
        return list(self._native.underlyings)

    @property
    def warnings(self) -> List[str]:
        """legal but suspicious values: 'line L, column C: path: message'"""
        return list(self._native.warnings)

    def __reduce__(self) -> Tuple[Any, Tuple[str, str]]:
        return loads_market, (self.text, self.label)

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, Market):
            return NotImplemented
        return (self.label, self.text) == (other.label, other.text)

    def __hash__(self) -> int:
        return hash((self.label, self.text))

    def __repr__(self) -> str:
        return (f"<morvik.Market {self.label!r}: {len(self.underlyings)} underlyings on "
                f"{self.pricing_date.isoformat()}>")


def loads_market(text: str, label: str = "<string>") -> Market:
    """Reads a market file from its JSON text; ``label`` names it in errors."""
    return _market_or_raise(_morvik.read_market_text(text, label))


def load_market(source: MarketLike, label: Optional[str] = None) -> Market:
    """A market: a ``Market`` as it is, a path to a market file, or a dict in
    the market-file format (docs/term-sheet.md). Raises ``TermSheetError``
    naming the field at fault."""
    if isinstance(source, Market):
        return source
    if isinstance(source, dict):
        from .note import dict_text  # dicts are written as term sheets are

        name = "<market dict>" if label is None else label
        return loads_market(dict_text(source, name), name)
    if isinstance(source, (str, os.PathLike)):
        return _market_or_raise(_morvik.read_market_file(os.fspath(source)))
    raise TypeError(f"a market is a morvik.Market, a path or a dict, not {type(source).__name__}")


def native_market(source: Optional[MarketLike]) -> Optional[_morvik.Market]:
    """The extension's market of ``source`` (None: none)."""
    return None if source is None else load_market(source).native
