"""Scenarios: the ladder is the tool's, a one-underlying vol move gives the
library's own vega, the grid holds the ladder."""

import numpy as np
import pandas as pd
import pytest

import morvik
from conftest import STEPDOWN

TRIALS = "2000"


def test_ladder_is_the_tools_ladder(tool):
    note = morvik.load(STEPDOWN)
    entry = tool.notes(STEPDOWN, "--ladder", "--trials", TRIALS)[0]
    frame = morvik.ladder(note, trials=int(TRIALS), jobs=2)
    assert list(frame.index) == [r["move"] for r in entry["ladder"]]
    assert list(frame["price"]) == [r["price"] for r in entry["ladder"]]
    assert (frame["status"] == 1).all() and frame.loc[0.0, "change"] == 0.0
    # The same ladder through price(..., ladder=True).
    assert morvik.price(note, trials=int(TRIALS), ladder=True).ladder.equals(frame)


def test_one_underlying_vol_moves_give_the_librarys_vega(tool):
    note = morvik.load(STEPDOWN)
    greeks = tool.notes(STEPDOWN, "--greeks", "--trials", TRIALS)[0]["greeks"]
    for i, name in enumerate(note.underlyings):
        vol = morvik.grid(note, spot_moves=(0.0,), vol_moves=(-0.01, 0.01), underlying=name, trials=int(TRIALS))
        assert (vol.loc[0.0, 0.01] - vol.loc[0.0, -0.01]) / 2.0 == pytest.approx(greeks[i]["vega"], rel=1e-12)
    with pytest.raises(ValueError, match="no underlying named"):
        morvik.ladder(note, underlying="Apple")
    with pytest.raises(ValueError, match="index from 0 to 1"):
        morvik.ladder(note, underlying=2)


def test_grid_holds_the_ladder_and_moves_only_copies():
    note = morvik.load(STEPDOWN)
    before = note.inputs
    frame = morvik.grid(note, spot_moves=(-0.1, 0.0), vol_moves=(-0.5, 0.0), trials=500, jobs=2)
    lad = morvik.ladder(note, moves=(-0.1, 0.0), trials=500)
    assert list(frame[0.0]) == list(lad["price"])
    assert frame.loc[0.0, -0.5] != frame.loc[0.0, 0.0]  # -50 vol points: floored, still priced
    shifted = morvik.moved(note, spot_move=0.1, vol_move=-0.5, underlying=1).inputs
    spots = before["UnderlyingPrice"]
    assert list(shifted["UnderlyingPrice"]) == [spots[0], spots[1], spots[2] * 1.1, spots[3]]
    first = before["NVol"][0] * before["NParity"][0]
    assert np.array_equal(shifted["LocalVolSurface"][:first], before["LocalVolSurface"][:first])
    assert (shifted["LocalVolSurface"][first:] == 1e-12).all()
    assert list(shifted["CalcFlag"]) == [0, 0]
    assert all(np.array_equal(np.asarray(v), np.asarray(note.inputs[k])) for k, v in before.items())


def test_convergence_points_are_the_runs_of_their_length():
    note = morvik.load(STEPDOWN)
    for stream in ("default", "aligned"):
        frame = morvik.convergence(note, trials=2500, seed=3, stream=stream)
        assert list(frame.index) == [1000, 2000, 2500]
        for n in (1000, 2500):
            run = morvik.price(note, trials=n, seed=3, stream=stream)
            assert frame.loc[n, "price"] == run.price and frame.loc[n, "std_error"] == run.std_error, (stream, n)


# -- the desk's scenarios: Scenarios, run_scenarios, the tool's --scenario-csv -------------------------------------

def test_desk_scenarios_are_the_tools_on_the_prices_random_numbers(tool, tmp_path):
    note = morvik.load(STEPDOWN)
    wanted = morvik.Scenarios(spot_ladder=[-20, 0, 20], ladder_each=True, vol_grid=([0], [-1, 0]),
                              rate_shift=[0, 50], dividend_shift=[0], correlation_shift=[0.0], vega_buckets=True)
    frame = morvik.run_scenarios(note, wanted, trials=500, seed=5, stream="aligned")
    base = morvik.price(note, trials=500, seed=5, stream="aligned")
    assert frame.loc[0, "scenario"] == "base" and frame.loc[0, "value"] == base.price
    # Every zero shift is the base price bit for bit: the same random numbers.
    zero = frame[(frame["shift"] == 0) & (frame["vol_shift"].fillna(0) == 0)]
    assert len(zero) == 1 + 3 + 1 + 1 + 1 + 1 and (zero["value"] == base.price).all() and (zero["change"] == 0).all()
    assert set(frame.loc[frame["scenario"] == "spot_ladder", "underlying"]) == {"all", *note.underlyings}
    # price(..., scenarios=) gives the same frame; the tool's CSV loads as-is and holds the same numbers.
    assert morvik.price(note, trials=500, seed=5, stream="aligned", scenarios=wanted).scenarios.equals(frame)
    out = tmp_path / "scenarios.csv"
    tool.run(STEPDOWN, "--trials", "500", "--seed", "5", "--stream", "aligned", "--spot-ladder=-20,0,20",
             "--ladder-each", "--vol-grid=0:-1,0", "--rate-shift", "0,50", "--dividend-shift", "0",
             "--correlation-shift", "0", "--vega-buckets", "--scenario-csv", str(out))
    loaded = pd.read_csv(out, float_precision="round_trip")  # the last bit, as docs/python.md says
    assert list(loaded.columns) == list(morvik._morvik.SCENARIO_COLUMNS)
    assert loaded["value"].dtype == float and loaded["tenor"].dtype == float
    for column in ("scenario", "underlying"):
        assert list(loaded[column]) == list(frame[column])
    for column in ("shift", "vol_shift", "tenor", "value", "change"):
        assert np.array_equal(loaded[column].to_numpy(), frame[column].to_numpy(), equal_nan=True), column
    assert np.array_equal(loaded["standard_error"].to_numpy(), frame["std_error"].to_numpy(), equal_nan=True)
    # The bucket vegas are the library's one-bucket bumps; their sum is near the whole grid's.
    vegas = frame[frame["scenario"].str.startswith("vega")]
    for name in note.underlyings:
        mine = vegas[vegas["underlying"] == name]
        parallel = mine.loc[mine["scenario"] == "vega_parallel", "value"].item()
        buckets = mine.loc[mine["scenario"] == "vega_bucket"]
        assert len(buckets) >= 2 and buckets["tenor"].is_monotonic_increasing
        assert buckets["value"].sum() == pytest.approx(parallel, rel=0.5)


def test_scenarios_that_cannot_be_used_raise_or_carry_their_reason():
    note = morvik.load(STEPDOWN)
    with pytest.raises(ValueError, match="spot_ladder takes steps above -100"):
        morvik.run_scenarios(note, spot_ladder=[-100], trials=100)
    with pytest.raises(ValueError, match="vol_grid needs both"):
        morvik.run_scenarios(note, vol_grid=([1], []), trials=100)
    with pytest.raises(ValueError, match="no scenario asked for"):
        morvik.run_scenarios(note, trials=100)
    with pytest.raises(TypeError, match="rate_shift takes a list"):
        morvik.Scenarios(rate_shift="25")
    with pytest.raises(TypeError, match="scenarios is a morvik.Scenarios"):
        morvik.price(note, trials=100, scenarios={"spot_ladder": [1]})
    three = morvik.load("examples/three_stock_monthly_coupons.json")
    frame = three.scenarios(correlation_shift=[-1.5, 0.1], trials=200)
    refused = frame[frame["error"].notna()]
    assert list(refused["shift"]) == [-1.5] and refused["value"].isna().all()
    assert "not positive semi-definite" in refused["error"].item()
    assert frame.loc[frame["shift"] == 0.1, "value"].notna().all()
