"""morvik.calibrate: implied-volatility quotes of a term sheet fitted into
local volatility, as frames and figures; morvik.load reads the same input."""

import json

import numpy as np
import pytest

import morvik
from matplotlib.figure import Figure

EXAMPLE = "examples/implied_vol_index.json"


def test_calibrate_gives_the_fitted_surfaces_and_report():
    (cal,) = morvik.calibrate(EXAMPLE)
    assert cal.underlying == "Equity index"
    with open(EXAMPLE) as f:
        block = json.load(f)["underlyings"][0]["implied_vol"]
    # The implied frame: one row per quoted expiry, strikes over the quoted range.
    assert len(cal.implied.index) == len(block["expiries"])
    assert cal.implied.columns[0] == pytest.approx(6204.95 * 0.5)
    assert cal.implied.columns[-1] == pytest.approx(6204.95 * 1.5)
    # The quotes at 1 year (row 3), 100 % of spot, sit on the fitted smile.
    col = list(cal.implied.columns).index(min(cal.implied.columns, key=lambda k: abs(k - 6204.95)))
    assert cal.implied.iloc[3, col] == pytest.approx(block["vols"][3][6], abs=0.002)
    rep = cal.report
    assert 0.0 < rep["max_error"] <= 0.2 and rep["rms_error"] <= rep["max_error"]
    assert rep["quotes"] + rep["left_out"] == sum(v is not None for row in block["vols"] for v in row)
    assert not rep["repaired"] and rep["violations"] == []
    # The local frame is the grid the note is priced on.
    local = cal.local.to_numpy()
    assert np.all(np.isfinite(local)) and np.all(local >= 0.0)
    inputs = morvik.load(EXAMPLE).inputs
    assert list(inputs["TVol"]) == list(cal.local.columns)
    assert list(inputs["Parity"]) == list(cal.local.index)
    assert list(inputs["LocalVolSurface"]) == list(local.ravel())


def test_calibration_figure_has_smiles_and_heat_map():
    (cal,) = morvik.calibrate(morvik.load(EXAMPLE))
    fig = cal.plot()
    assert isinstance(fig, Figure)
    smiles, heat = fig.axes[0], fig.axes[1]
    assert len(smiles.get_lines()) == len(cal.implied.index)
    assert heat.collections, "the heat map draws a mesh"


def test_quotes_with_arbitrage_raise_or_are_repaired_and_errors_name_the_field():
    with open(EXAMPLE) as f:
        sheet = json.load(f)
    block = sheet["underlyings"][0]["implied_vol"]
    block["vols"][4][6] = 0.10  # 18 months at the money below the 1-year variance
    with pytest.raises(morvik.TermSheetError) as caught:
        morvik.load(sheet)
    assert caught.value.path.startswith("underlyings[0].implied_vol.vols[4]")
    assert "calendar" in str(caught.value)
    block["arbitrage"] = "repair"
    (cal,) = morvik.calibrate(sheet)
    assert cal.report["repaired"] and cal.report["max_error"] > 1.0
    assert any(v["kind"] == "calendar" and v["expiry"] == 4 for v in cal.report["violations"])
    with pytest.raises(ValueError, match="no underlying"):
        morvik.calibrate("examples/two_stock_stepdown.json")
