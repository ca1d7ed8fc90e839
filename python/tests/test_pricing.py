"""Notes priced from Python give the tool's results bit for bit, and the
frames carry exactly the tool's numbers."""

import csv
import json

import numpy as np
import pytest

import morvik
from conftest import EXAMPLES, MID_LIFE, STEPDOWN


def test_every_example_prices_as_the_tool(tool):
    expected = tool.notes(*EXAMPLES)
    for path, entry in zip(EXAMPLES, expected):
        v = morvik.price(morvik.load(path))
        assert v.to_dict() == {"notes": [entry]}, path
        assert v.price == entry["price"]


def test_greeks_and_full_json_byte_for_byte(tool):
    v = morvik.price(morvik.load(STEPDOWN), greeks=True)
    assert v.to_json() == tool.json_text(STEPDOWN, "--greeks")
    full = morvik.price(morvik.load(MID_LIFE), full=True, threads=2)
    assert full.to_json() == tool.json_text(MID_LIFE, "--full")
    entry = tool.notes(MID_LIFE, "--full")[0]
    assert (full.theta, full.rho) == (entry["theta"], entry["rho"])
    assert full.greeks.loc["Siemens", "vega"] == entry["greeks"][0]["vega"]
    # The default stream gives greeks without errors (the aligned stream or
    # replications give them).
    assert v.theta is None and v.greeks.shape == (2, 6) and v.greeks["delta_std_error"].isna().all()


def test_frames_hold_the_tool_numbers(tool, tmp_path):
    entry = tool.notes(MID_LIFE)[0]
    v = morvik.price(morvik.load(MID_LIFE))
    rows = entry["redemption"] + [entry["maturity"]["no_knock_in"], entry["maturity"]["knock_in"]]
    for column, key in [("probability", "probability"), ("cash_flow", "cash_flow"),
                        ("discount_factor", "discount_factor"), ("discounted_value", "discounted_cash_flow")]:
        assert list(v.outcomes[column]) == [r[key] for r in rows], column
        assert list(v.coupons[column]) == [c[key] for c in entry["coupons"]], column
    assert list(v.outcomes.index.get_level_values("kind")[-3:]) == ["final", "maturity no knock-in",
                                                                    "maturity knock-in"]
    assert [d.isoformat() for d in v.outcomes["payment"].dt.date] == [r["payment"] for r in rows]
    assert list(v.outcomes["std_error"]) == [r["probability_se"] for r in rows]
    assert v.std_error == entry["price_se"] and v.std_error > 0.0
    assert v.breakdown["discounted_coupons"] == pytest.approx(v.coupons["discounted_value"].sum(), rel=1e-12)

    # The probabilities add up to the tool's long-form CSV quantities.
    tool.run(MID_LIFE, "--csv", str(tmp_path / "book.csv"))
    with open(tmp_path / "book.csv", newline="") as f:
        table = {row["quantity"]: float(row["value"]) for row in csv.DictReader(f)}
    p = v.outcomes["probability"]
    assert p.iloc[:-2].sum() == pytest.approx(table["early_redemption_probability"], abs=1e-12)
    assert p.iloc[-2] == table["maturity_probability"] and p.iloc[-1] == table["knock_in_probability"]
    assert p.sum() == pytest.approx(1.0, abs=1e-12)


def test_seeds_streams_and_replications_as_the_tool(tool):
    note = morvik.load(STEPDOWN)
    for options in (("--seed", "5"), ("--stream", "aligned", "--seed", "7"), ("--replications", "3")):
        kwargs = {"seed": 5} if options[0] == "--seed" else (
            {"stream": "aligned", "seed": 7} if options[0] == "--stream" else {"replications": 3})
        v = morvik.price(note, trials=400, greeks=True, **kwargs)
        assert v.to_json() == tool.json_text(STEPDOWN, "--trials", "400", "--greeks", *options), options
    aligned = morvik.price(note, trials=400, greeks=True, stream="aligned", seed=7)
    assert aligned.stream == "aligned" and aligned.seed == 7
    assert (aligned.greeks[["delta_std_error", "gamma_std_error", "vega_std_error"]] > 0).all().all()
    # One aligned valuation split over threads gives the same bits.
    assert morvik.price(note, trials=400, greeks=True, stream="aligned", seed=7, threads=3).to_json() == \
        aligned.to_json()


def test_sobol_stream_as_the_tool(tool):
    note = morvik.load(STEPDOWN)
    v = morvik.price(note, trials=256, greeks=True, stream="sobol", seed=3, scrambles=8)
    assert v.to_json() == tool.json_text(STEPDOWN, "--trials", "256", "--greeks", "--stream", "sobol", "--seed", "3",
                                         "--scrambles", "8")
    assert v.stream == "sobol"
    assert (v.greeks[["delta_std_error", "gamma_std_error", "vega_std_error"]] > 0).all().all()
    with pytest.raises(ValueError, match="whole multiple of 16"):
        morvik.price(note, trials=1000, stream="sobol")
    with pytest.raises(ValueError, match="scrambles"):
        morvik.price(note, trials=256, stream="sobol", scrambles=1)
    with pytest.raises(ValueError, match="scrambles belongs"):
        morvik.price(note, trials=256, scrambles=8)
    with pytest.raises(ValueError, match="convergence"):
        morvik.price(note, trials=256, stream="sobol", convergence=True)


def test_conditional_estimator_as_the_tool(tool):
    note = morvik.load(STEPDOWN)
    v = morvik.price(note, trials=256, greeks=True, estimator="conditional", seed=4)
    assert v.to_json() == tool.json_text(STEPDOWN, "--trials", "256", "--greeks", "--estimator", "conditional",
                                         "--seed", "4")
    assert v.stream == "aligned" and '"estimator": "conditional"' in v.to_json()
    q = morvik.price(note, trials=256, estimator="conditional", stream="sobol", scrambles=8)
    assert q.to_json() == tool.json_text(STEPDOWN, "--trials", "256", "--estimator", "conditional", "--stream",
                                         "sobol", "--scrambles", "8")
    with pytest.raises(ValueError, match="not on the default stream"):
        morvik.price(note, trials=256, estimator="conditional", stream="default")
    with pytest.raises(ValueError, match="estimator is"):
        morvik.price(note, trials=256, estimator="smooth")


def test_vector_width_as_the_tool(tool):
    note = morvik.load(STEPDOWN)
    expected = tool.json_text(STEPDOWN, "--trials", "512", "--greeks", "--stream", "aligned", "--seed", "2",
                              "--vector-width", "1")
    for width in (1, 2, "auto", None):
        v = morvik.price(note, trials=512, greeks=True, stream="aligned", seed=2, vector_width=width)
        assert v.to_json() == expected, width
    with pytest.raises(ValueError, match="vector_width is"):
        morvik.price(note, trials=256, stream="aligned", vector_width=3)
    with pytest.raises(ValueError, match="vector_width applies"):
        morvik.price(note, trials=256, stream="aligned", vector_width=2, client=object())


def test_options_are_checked_before_pricing():
    note = morvik.load(STEPDOWN)
    with pytest.raises(ValueError, match="seeds 0 to 63"):
        morvik.price(note, seed=64)
    with pytest.raises(ValueError, match="replications"):
        morvik.price(note, seed=62, replications=3)
    # The tool's rule: 2 to 64 runs (None is one), convergence of one run only.
    with pytest.raises(ValueError, match="replications takes a whole number from 2 to 64"):
        morvik.price(note, replications=1)
    with pytest.raises(ValueError, match="convergence follows one run"):
        morvik.price(note, replications=2, convergence=True)
    with pytest.raises(ValueError, match="seed"):
        morvik.price(note, seed=-1)
    with pytest.raises(ValueError, match="stream"):
        morvik.price(note, stream="halton")
    for bad in (0, 2.5, 10**10, 10**30):
        with pytest.raises(ValueError, match="trials"):
            morvik.price(note, trials=bad)
    for bad in (0, 10**12):
        with pytest.raises(ValueError, match="threads"):
            morvik.price(note, threads=bad)
    assert morvik.price(note, trials=500).trials == 500


def test_note_over_and_note_rejected(tool, tmp_path):
    sheet = json.load(open(STEPDOWN))
    sheet["price_date"] = "2028-07-03"  # every payment made, no closes: over
    over_path = tmp_path / "over.json"
    over_path.write_text(json.dumps(sheet))
    v = morvik.price(morvik.load(over_path))
    assert v.price is None and v.state == "over" and v.outcomes.empty
    assert v.to_json() == tool.json_text(str(over_path))

    sheet = json.load(open(STEPDOWN))
    sheet["redemption"][1]["knock_out_barrier"] = 0.5  # below the date's strike
    bad_path = tmp_path / "bad.json"
    bad_path.write_text(json.dumps(sheet))
    with pytest.raises(morvik.PricingError) as caught:
        morvik.price(morvik.load(bad_path))
    printed = tool.run(str(bad_path), check=False)
    assert printed.returncode == 1
    assert caught.value.status == -2053
    assert printed.stderr.strip().endswith(str(caught.value))


def test_inputs_round_trip_and_changed_copies():
    note = morvik.load(STEPDOWN)
    inputs = note.inputs
    assert tuple(inputs) == morvik.capi.INPUT_NAMES
    same = note.with_inputs(**inputs)
    assert morvik.price(same, trials=300).price == morvik.price(note, trials=300).price
    inputs["UnderlyingPrice"][0] = 1.0  # a copy: the note does not change
    assert note.inputs["UnderlyingPrice"][0] != 1.0
    with pytest.raises(ValueError, match="NStock"):
        note.with_inputs(NStock=3)
    with pytest.raises(ValueError, match="no term sheet"):
        same.expanded()
    assert note.expanded()["redemption"][0]["observation"] == "2025-12-26"
    assert isinstance(note.inputs["DatesInfo"], np.ndarray) and note.inputs["DatesInfo"].dtype == np.int32
