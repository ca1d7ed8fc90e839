"""The library's full export, ZUNP_CalcMorvikMC, on numpy arrays, for users
who already hold the flat arrays of interface/morvik.h, and the path of the
shared library for hosts that load it themselves."""

from __future__ import annotations

import os
from typing import Any, NamedTuple

import numpy as np
import numpy.typing as npt

from . import _morvik

# The inputs of ZUNP_CalcMorvikMC, in the export's order (interface/morvik.h).
INPUT_NAMES = tuple(_morvik.input_names())

class CalcResult(NamedTuple):
    """The export's status and its three outputs."""
    status: int
    ELS_Prob_n_Cf: npt.NDArray[np.float64]
    ELS_Coupon_Prob_n_Cf: npt.NDArray[np.float64]
    ResultPrice: npt.NDArray[np.float64]


def calc_morvik_mc(strict: bool = False, **arrays: Any) -> CalcResult:
    """ZUNP_CalcMorvikMC with every input named as in interface/morvik.h
    (PriceDate, NotionalAMT, UnderlyingPrice, ..., FixedFlag, CalcFlag).

    Arrays may be any array-like of real numbers (matrices are read
    row-major); int inputs must hold whole numbers. None, text (numpy string
    arrays too) and other objects raise TypeError naming the input. Inputs
    are copied, never written, and each array is checked against the length
    its counts give (calls/layout.h) before the call: a short array
    raises ValueError; a longer one gives a UserWarning naming it, its length
    and the length needed (the call reads only that many), or ValueError
    with ``strict=True``. A missing or unknown name raises TypeError, and
    ``NTrials`` above ``morvik.price``'s largest trial count ValueError.

    Returns ``CalcResult(status, ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf,
    ResultPrice)``: the export's status and its three outputs, sized by the
    layout rules (2*(NStrike+2), 2*NCoupon, 1 or 3*NStock+3) and left at 0
    when the status is negative. The GIL is released during the call; on the
    main thread Ctrl-C stops it and raises KeyboardInterrupt."""
    return CalcResult(*_morvik.calc_morvik_mc(arrays, strict=bool(strict)))


def library_path() -> str:
    """The path of the shared library libmorvik.so shipped in the package,
    exporting ZUNP_CalcMorvikMC, MorvikMC, CdrD2ExcD and ExcD2CdrD (load it
    with ctypes.CDLL, say)."""
    path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libmorvik.so")
    if not os.path.exists(path):
        raise FileNotFoundError(f"{path} is missing: reinstall the package (bash scripts/install-python.sh)")
    return path
