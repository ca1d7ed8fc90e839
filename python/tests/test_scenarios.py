"""Scenarios: the ladder is the tool's, a one-underlying vol move gives the
library's own vega, the grid holds the ladder."""

import numpy as np
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
