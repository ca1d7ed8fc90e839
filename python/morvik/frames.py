"""DataFrames that still answer to their columns' former names for one
version: ``frame["standard_error"]`` gives ``frame["std_error"]`` with a
FutureWarning. The tables of morvik whose columns were renamed (the book
table, the greeks) are of these classes; everything else is a DataFrame's."""

from __future__ import annotations

import warnings
from typing import Any, Dict

import pandas as pd


class RenamedColumns(pd.DataFrame):  # type: ignore[misc]  # pandas has no types in Debian
    """A DataFrame whose ``frame[former]`` (a name or a list of names) reads
    the column's new name, with a FutureWarning. Slices and copies keep the
    class, so the former names work on them too."""

    RENAMED: Dict[str, str] = {}  # former name: name

    @property
    def _constructor(self) -> Any:
        return type(self)

    def _current(self, key: Any) -> Any:
        if isinstance(key, str) and key in self.RENAMED and key not in self.columns:
            warnings.warn(f"the column {key!r} is now {self.RENAMED[key]!r}; the former name goes in the next "
                          "version", FutureWarning, stacklevel=3)
            return self.RENAMED[key]
        return key

    def __getitem__(self, key: Any) -> Any:
        if isinstance(key, list):
            names = []
            for k in key:  # a loop, not a comprehension: the warning names the caller's line
                names.append(self._current(k))
            key = names
        else:
            key = self._current(key)
        return super().__getitem__(key)


class GreeksFrame(RenamedColumns):
    """The greeks by underlying; the standard errors were ``delta_se``, ... ."""

    RENAMED = {f"{g}_se": f"{g}_std_error" for g in ("delta", "gamma", "vega")}


class BookTable(RenamedColumns):
    """A book's table; the standard error was ``standard_error``."""

    RENAMED = {"standard_error": "std_error"}

    def risk(self) -> pd.DataFrame:
        """The book's positions summed by currency and by underlying, with
        standard errors (``morvik.book_risk.book_risk``)."""
        from .book_risk import book_risk  # the book's modules sit above this one

        return book_risk(self)
