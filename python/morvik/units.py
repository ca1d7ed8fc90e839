"""The units of morvik's figures, written once: the frames carry them in
``DataFrame.attrs["units"]`` and docs/python.md lists the same words.

Every amount is in the notional's currency (``{currency}`` below). The greeks
are the library's bump-and-revalue differences (docs/term-sheet.md,
*Greeks*): a 1 % spot move, one volatility point (0.01), one day, one rate
point (0.01)."""

from typing import Dict

# What one unit of each greek is; {currency} is the note's currency.
GREEK_UNITS: Dict[str, str] = {
    "delta": "{currency} per 1 % rise of the underlying's spot",
    "gamma": "{currency} change of the 1 % delta per 1 % rise of the spot",
    "vega": "{currency} per volatility point (0.01) of the underlying",
    "theta": "{currency} per day",
    "rho": "{currency} per rate point (0.01) of every curve",
}

# The columns of the outcome and coupon frames.
FLOW_UNITS: Dict[str, str] = {
    "probability": "fraction of the trials (0 to 1)",
    "std_error": "standard error of the probability (fraction)",
    "cash_flow": "{currency}, mean over all trials, undiscounted",
    "discount_factor": "discount factor of the payment date (1 = today)",
    "discounted_value": "{currency}, cash_flow x discount_factor",
}

# The projected cash flows' columns (Valuation.cash_flows).
CASH_FLOW_UNITS: Dict[str, str] = {
    "probability": "fraction of the trials (0 to 1)",
    "amount": "{currency}, mean payment over all trials, undiscounted",
    "discount_factor": "discount factor of the payment date (1 = today)",
    "discounted_value": "{currency}, amount x discount_factor",
}


def units(table: Dict[str, str], currency: str, columns: "list[str] | None" = None) -> Dict[str, str]:
    """``table`` with the currency filled in, for ``columns`` (all by default);
    a standard-error column ``X_std_error`` has the unit of ``X``."""
    names = list(table) if columns is None else columns
    found: Dict[str, str] = {}
    for name in names:
        base = name[: -len("_std_error")] if name.endswith("_std_error") else name
        if base in table:
            found[name] = table[base].format(currency=currency)
    return found
