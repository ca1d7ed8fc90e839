"""The full export on numpy arrays: the tool's numbers on the same arrays,
and the shipped export's bit for bit; lengths and types checked before the
call, trials bounded, inputs never written; the shipped library."""

import ctypes
import warnings

import numpy as np
import pytest

import morvik
from conftest import MID_LIFE, STEPDOWN


def _arrays(path, calc):
    inputs = morvik.load(path).inputs
    inputs["CalcFlag"] = np.array([calc, 0], dtype=np.int32)
    return inputs


def test_calc_gives_the_tools_numbers(tool):
    entry = tool.notes(STEPDOWN, "--greeks")[0]
    arrays = _arrays(STEPDOWN, 1)
    for a in arrays.values():
        if isinstance(a, np.ndarray):
            a.flags.writeable = False  # a write into an input would raise
    before = {k: np.copy(v) for k, v in arrays.items()}
    r = morvik.capi.calc_morvik_mc(**arrays)
    assert r.status == 1
    assert all(np.array_equal(before[k], arrays[k]) for k in arrays)
    S, N = arrays["NStock"], arrays["NStrike"]
    assert r.ResultPrice.shape == (3 * S + 3,) and r.ELS_Prob_n_Cf.shape == (2 * (N + 2),)
    assert r.ELS_Coupon_Prob_n_Cf.shape == (0,)
    assert r.ResultPrice[0] == entry["price"]
    assert list(r.ResultPrice[1:1 + S]) == [g["delta"] for g in entry["greeks"]]
    assert list(r.ResultPrice[1 + 2 * S:1 + 3 * S]) == [g["vega"] for g in entry["greeks"]]
    outcomes = entry["redemption"] + [entry["maturity"]["no_knock_in"], entry["maturity"]["knock_in"]]
    assert list(r.ELS_Prob_n_Cf[:N + 2]) == [o["probability"] for o in outcomes]
    assert list(r.ELS_Prob_n_Cf[N + 2:]) == [o["cash_flow"] for o in outcomes]


def test_coupons_and_matrices():
    arrays = _arrays(MID_LIFE, 0)
    arrays["NTrials"] = 500
    S = arrays["NStock"]
    flat = morvik.capi.calc_morvik_mc(**arrays)
    arrays["UnderlyingCorr"] = arrays["UnderlyingCorr"].reshape(S, S)  # row-major matrix
    square = morvik.capi.calc_morvik_mc(**arrays)
    assert flat.ResultPrice.shape == (1,) and len(flat.ELS_Coupon_Prob_n_Cf) == 2 * arrays["NCoupon"]
    assert np.array_equal(flat.ResultPrice, square.ResultPrice)
    assert np.array_equal(flat.ELS_Coupon_Prob_n_Cf, square.ELS_Coupon_Prob_n_Cf)


def test_arrays_are_checked_before_the_call():
    arrays = _arrays(STEPDOWN, 0)
    cases = [
        ({"LocalVolSurface": arrays["LocalVolSurface"][:-1]}, ValueError, "LocalVolSurface holds 69 values"),
        ({"NT": arrays["NT"][:2]}, ValueError, "NT holds 2 values; its counts need 3"),
        ({"FixedFlag": [3, 0]}, ValueError, "SC holds 0 values; its counts need 6"),
        ({"NVol": [5, 10**6]}, ValueError, "TVol holds 10 values"),
        ({"DatesInfo": arrays["DatesInfo"] + 0.5}, ValueError, r"DatesInfo\[0\] must be a whole number"),
        ({"NStock": 2.5}, ValueError, "NStock must be a whole number"),
        ({"NotionalAMT": [1.0, 2.0]}, ValueError, "NotionalAMT takes one number"),
        ({"Parity": "1.0"}, TypeError, "Parity takes numbers"),
        ({"Frobnicate": 1}, TypeError, "not an input"),
    ]
    for change, error, message in cases:
        with pytest.raises(error, match=message):
            morvik.capi.calc_morvik_mc(**{**arrays, **change})
    del arrays["CalcFlag"], arrays["SC"]
    with pytest.raises(TypeError, match="misses inputs: SC, CalcFlag"):
        morvik.capi.calc_morvik_mc(**arrays)


def test_rejected_call_keeps_outputs_at_zero():
    arrays = _arrays(STEPDOWN, 0)
    arrays["CalcFlag"] = [7, 0]
    r = morvik.capi.calc_morvik_mc(**arrays)
    assert r.status == -301 and not r.ResultPrice.any() and not r.ELS_Prob_n_Cf.any()
    arrays.update(NStock=-1, NT=[])  # no curve counts to read: the library's rejection
    with pytest.warns(UserWarning, match="its counts need 0"):  # the per-stock arrays are now too long
        assert morvik.capi.calc_morvik_mc(**arrays).status == -2004


def test_shipped_library_exports_the_four_entries():
    lib = ctypes.CDLL(morvik.library_path())
    serial = lib.CdrD2ExcD(20250630)
    assert serial == 45838 and lib.ExcD2CdrD(serial) == 20250630
    assert lib.ZUNP_CalcMorvikMC and lib.MorvikMC


def _export(arrays):
    """ZUNP_CalcMorvikMC of the shipped library on the arrays, through ctypes."""
    lib = ctypes.CDLL(morvik.library_path())
    args = []
    for name in morvik.capi.INPUT_NAMES:
        v = arrays[name]
        if isinstance(v, np.ndarray):
            kind = ctypes.c_int if v.dtype == np.int32 else ctypes.c_double
            args.append(np.ascontiguousarray(v).ctypes.data_as(ctypes.POINTER(kind)) if v.size else None)
        else:
            args.append(ctypes.c_int(v) if isinstance(v, int) else ctypes.c_double(v))
    S, N, Q = arrays["NStock"], arrays["NStrike"], arrays["NCoupon"]
    outs = [np.zeros(2 * (N + 2)), np.zeros(2 * Q), np.zeros(3 * S + 3 if arrays["CalcFlag"][0] else 1)]
    status = lib.ZUNP_CalcMorvikMC(*args, *[o.ctypes.data_as(ctypes.POINTER(ctypes.c_double)) for o in outs])
    return status, outs


def test_calc_is_the_shipped_export_bit_for_bit():
    for path, calc in ((STEPDOWN, 1), (MID_LIFE, 0)):
        arrays = _arrays(path, calc)
        arrays["NTrials"] = 3000.0
        status, outs = _export(arrays)
        r = morvik.capi.calc_morvik_mc(**arrays)
        assert r.status == status == 1
        for mine, theirs in zip((r.ELS_Prob_n_Cf, r.ELS_Coupon_Prob_n_Cf, r.ResultPrice), outs):
            assert mine.tobytes() == theirs.tobytes()


def test_none_text_and_objects_are_rejected_by_name():
    arrays = _arrays(STEPDOWN, 0)
    cases = [
        ({"NotionalAMT": None}, "NotionalAMT is None"),
        ({"TVol": list(arrays["TVol"][:-1]) + [None]}, r"TVol\[9\] is None"),
        ({"UnderlyingPrice": arrays["UnderlyingPrice"].astype(str)}, "UnderlyingPrice takes numbers, not text"),
        ({"Parity": arrays["Parity"].astype(bytes)}, "Parity takes numbers, not text"),
        ({"X": np.array(list(arrays["X"][:-1]) + ["0.9"], dtype=object)}, rf"X\[{len(arrays['X']) - 1}\] is text"),
        ({"NTrials": np.array([1000j])}, "NTrials takes real numbers"),
        ({"KI_Barrier": [object(), 0.5]}, r"KI_Barrier\[0\] takes numbers"),
    ]
    for change, message in cases:
        with pytest.raises(TypeError, match=message):
            morvik.capi.calc_morvik_mc(**{**arrays, **change})
    # Numbers numpy keeps as objects (a huge int) are numbers still.
    arrays.update(NTrials=500, NotionalAMT=10**30)
    assert morvik.capi.calc_morvik_mc(**arrays).ResultPrice[0] > 0


def test_longer_arrays_warn_or_raise_and_trials_are_bounded():
    arrays = _arrays(STEPDOWN, 0)
    arrays["NTrials"] = 500
    exact = morvik.capi.calc_morvik_mc(**arrays)
    with warnings.catch_warnings():
        warnings.simplefilter("error")  # no warning for exact lengths
        morvik.capi.calc_morvik_mc(**arrays)
    longer = {**arrays, "TVol": np.append(arrays["TVol"], 9.0), "KnockBarrierFlag": np.append(arrays["KnockBarrierFlag"], 1)}
    with pytest.warns(UserWarning) as seen:
        r = morvik.capi.calc_morvik_mc(**longer)
    assert sorted(str(w.message) for w in seen) == [
        "KnockBarrierFlag holds 3 values; its counts need 2: the call reads the first 2",
        "TVol holds 11 values; its counts need 10: the call reads the first 10"]
    assert r.ResultPrice.tobytes() == exact.ResultPrice.tobytes()
    with pytest.raises(ValueError, match="TVol holds 11 values; its counts need 10 exactly"):
        morvik.capi.calc_morvik_mc(strict=True, **longer)
    top = morvik._morvik.MAX_TRIALS  # price()'s bound
    with pytest.raises(ValueError, match=f"NTrials takes at most {top} trials"):
        morvik.capi.calc_morvik_mc(**{**arrays, "NTrials": top + 1})
    with pytest.raises(ValueError, match="trials takes a whole number"):
        morvik.price(morvik.load(STEPDOWN), trials=top + 1)
