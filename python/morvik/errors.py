"""The errors morvik raises: a term sheet that cannot be read, a note the
library rejects."""

from __future__ import annotations


class MorvikError(Exception):
    """Base class of morvik's errors."""


class TermSheetError(MorvikError, ValueError):
    """A term sheet that could not be read.

    ``str(error)`` is the line ``morvik-price`` prints for it
    (``FILE: line 96, column 7: redemption[2].payment: ...``). Attributes:

    - ``label``: the file, or the label of a dict or text;
    - ``kind``: ``"file"`` (cannot be read), ``"text"`` (not JSON or not
      text) or ``"field"`` (a field is missing or wrong);
    - ``path``: the field at fault (``"redemption[2].payment"``), empty when
      the fault is not in a field;
    - ``line``, ``column``: 1-based, where the field (or the text's fault)
      starts; 0 when there is no position;
    - ``message``: what is wrong, without position and field;
    - ``not_json``: the text is not valid JSON.
    """

    def __init__(self, label: str, kind: str, path: str, line: int, column: int, message: str, description: str,
                 not_json: bool = False) -> None:
        super().__init__(f"{label}: {description}")
        self.label = label
        self.kind = kind
        self.path = path
        self.line = line
        self.column = column
        self.message = message
        self.not_json = not_json


class PricingError(MorvikError):
    """The library rejected a note: ``status`` is its code (a negative status
    of ZUNP_CalcMorvikMC, see interface/morvik.h) and ``message`` the
    sentence ``morvik-price`` prints, naming the input at fault. A note that
    could not be priced at all (memory ran out) has ``status`` None."""

    def __init__(self, label: str, status: "int | None", message: str) -> None:
        super().__init__(f"{label}: rejected, {message}")
        self.label = label
        self.status = status
        self.message = message
