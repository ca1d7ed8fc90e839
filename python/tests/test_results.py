"""The report bound from C++: its JSON and dict are the tool's document, its
frames hold the report's numbers, a book's CSV lines are the tool's lines
with the error column, and a scenario moves exactly one volatility block."""

import json

import numpy as np

import morvik
from conftest import EXAMPLES, MID_LIFE, STEPDOWN
from morvik import book
from morvik.book_task import error_rows, value_note


def test_json_and_dict_are_the_tools_document(tool):
    note = morvik.load(STEPDOWN)
    v = morvik.price(note, trials=3000, full=True, stream="aligned", seed=11, ladder=True, convergence=True)
    args = (STEPDOWN, "--trials", "3000", "--full", "--stream", "aligned", "--seed", "11", "--ladder",
            "--convergence")
    text = tool.json_text(*args)
    assert v.to_json() == text
    # The dict is built from the report, not read from the text: same
    # values, None where the text has null, and nothing else.
    assert v.to_dict() == json.loads(text)
    entry = json.loads(text)["notes"][0]
    assert list(v.convergence.index) == [c["paths"] for c in entry["convergence"]]
    assert list(v.convergence["price"]) == [c["price"] for c in entry["convergence"]]
    assert list(v.ladder["price"]) == [r["price"] for r in entry["ladder"]]
    assert list(v.greeks["vega_std_error"]) == [g["vega_se"] for g in entry["greeks"]]
    assert (v.theta, v.price_pct, v.seed) == (entry["theta"], entry["price_percent"], 11)
    assert (v.theta_std_error, v.rho_std_error) == (entry["theta_se"], entry["rho_se"]) and v.rho_std_error > 0
    assert v.breakdown == entry["price_breakdown"] and v.life_cycle == entry["life_cycle"]


def test_book_lines_are_the_tools_lines_with_an_error(tool, tmp_path):
    rejected = json.load(open(STEPDOWN))
    rejected["redemption"][1]["knock_out_barrier"] = 0.5
    (tmp_path / "rejected.json").write_text(json.dumps(rejected))
    paths = EXAMPLES + [str(tmp_path / "rejected.json"), str(tmp_path / "missing.json")]
    rows = []
    for label, text, error in book.book_entries(paths):
        rows += error_rows(label, error) if error else value_note(label, text, {"trials": 300, "greeks": True})
    frame = book._frame(rows)
    ours = book._csv_text(frame).split("\n")
    tool.run(*paths, "--trials", "300", "--greeks", "--csv", str(tmp_path / "tool.csv"), check=False)
    theirs = (tmp_path / "tool.csv").read_text().split("\n")
    # The tool's CSV has the error column too, with the same reasons.
    assert len(ours) == len(theirs) > 40 and ours[0].endswith(",error")
    errors = list(frame["error"])
    for k, (mine, tools) in enumerate(zip(ours[1:-1], theirs[1:-1])):
        assert mine == tools, (mine, tools)
        assert mine.endswith(",") == (errors[k] is None), mine
    assert frame.loc[frame["note"] == paths[-2], "value"].tolist() == [-2053.0]
    # The tool's columns (the standard error under the package's one name), then the currency
    # and the note's position.
    assert list(frame.columns) == [("std_error" if c == "standard_error" else c)
                                   for c in morvik._morvik.TABLE_COLUMNS] + [
                                       "currency", "position_scale", "book", "trade_id", "underlying_id"]


def test_a_scenario_moves_only_its_underlyings_block():
    note = morvik.load(MID_LIFE)
    before = note.inputs
    first = int(before["NVol"][0]) * int(before["NParity"][0])
    surface = before["LocalVolSurface"]
    up = morvik.moved(note, vol_move=0.01, underlying=0).inputs
    assert np.array_equal(up["LocalVolSurface"][:first], surface[:first] + 0.01)
    assert np.array_equal(up["LocalVolSurface"][first:], surface[first:])
    assert np.array_equal(up["UnderlyingPrice"], before["UnderlyingPrice"]) and list(up["CalcFlag"]) == [0, 0]
    # Moves of 0 leave the arrays as they are; the copy has no term sheet.
    same = morvik.moved(note, 0.0, 0.0)
    assert np.array_equal(same.inputs["LocalVolSurface"], surface)
    assert morvik.price(same, trials=400).price == morvik.price(note, trials=400).price


def test_table_text_quotes_fields_and_leaves_missing_values_empty():
    frame = book._frame(error_rows('a "b", c.json', "line 1\nline 2"))
    assert book._csv_text(frame) == ("note,pricing_date,trials,quantity,underlying,value,standard_error,error\n"
                                     '"a ""b"", c.json",,,status,,,,"line 1\nline 2"\n')


def test_moves_of_stocks_the_note_does_not_have_change_nothing():
    note = morvik.load(STEPDOWN)
    moved = note._moved(0.1, 0.5, [2, -1]).inputs
    before = note.inputs
    for name in ("UnderlyingPrice", "LocalVolSurface"):
        assert np.array_equal(moved[name], before[name]), name
