"""The package as pandas users expect it: frames keyed by kind and date with
their units, notes from paths and from notebook values, pickled notes and
valuations, HTML reprs, the book table's currency and dates, the types
shipped with the package and a clear stop for a book script without the
main guard."""

import datetime
import importlib.metadata
import json
import os
import pathlib
import pickle
import subprocess
import sys

import numpy as np
import pandas as pd
import pytest
from pandas.testing import assert_frame_equal

import morvik
from conftest import EXAMPLES, MID_LIFE, ROOT, STEPDOWN
from morvik import book
from morvik.book_task import error_rows, value_note


def test_flow_frames_are_keyed_by_kind_and_observation_with_units(tool):
    entry = tool.notes(MID_LIFE, "--full")[0]
    v = morvik.price(MID_LIFE, full=True)
    out = v.outcomes
    assert out.index.names == ["kind", "observation"]
    n = len(entry["redemption"])
    assert list(out.index.get_level_values("kind")) == (["early"] * (n - 1) + ["final", "maturity no knock-in",
                                                                               "maturity knock-in"])
    last = entry["redemption"][-1]["observation"]
    dates = [r["observation"] for r in entry["redemption"]] + [last, last]
    assert [d.date().isoformat() for d in out.index.get_level_values("observation")] == dates
    assert out.loc[("final", pd.Timestamp(last)), "probability"] == entry["redemption"][-1]["probability"]
    # Coupons share the key, so all flows of a note make one frame.
    flows = pd.concat([out, v.coupons])
    assert flows.index.is_unique and set(v.coupons.index.get_level_values("kind")) == {"coupon"}
    assert [d.date().isoformat() for d in v.coupons.index.get_level_values("observation")] == \
        [c["observation"] for c in entry["coupons"]]
    # Units: stated once (morvik.units), filled with the note's currency, and the words of the docs.
    assert out.attrs["units"]["cash_flow"].startswith("EUR")
    assert v.greeks.attrs["units"]["vega_std_error"] == morvik.units.GREEK_UNITS["vega"].format(currency="EUR")
    docs = pathlib.Path(ROOT, "docs", "python.md").read_text()
    for unit in list(morvik.units.GREEK_UNITS.values()) + list(morvik.units.FLOW_UNITS.values()):
        assert unit in docs, unit


def test_cash_flows_are_the_reports_schedule_keyed_by_payment_and_kind(tool):
    entry = tool.notes(MID_LIFE)[0]
    cf = morvik.price(MID_LIFE).cash_flows
    assert cf.index.names == ["payment", "kind"] and cf.index.is_unique
    assert cf.index.get_level_values("payment").is_monotonic_increasing
    rows = entry["cash_flows"]
    assert [(d.date().isoformat(), k) for d, k in cf.index] == [(r["payment"], r["kind"]) for r in rows]
    for col, key in (("probability", "probability"), ("amount", "amount"), ("discounted_value", "discounted"),
                     ("discounted_value_std_error", "discounted_se")):
        expected = [np.nan if r[key] is None else r[key] for r in rows]
        np.testing.assert_array_equal(cf[col].to_numpy(), np.array(expected, dtype=float), err_msg=col)
    assert list(cf["settled"]) == [r["settled"] for r in rows]
    assert cf["discounted_value"].sum() == pytest.approx(entry["price"], rel=1e-12)
    assert cf.attrs["units"]["amount_std_error"].startswith("EUR")
    docs = pathlib.Path(ROOT, "docs", "python.md").read_text()
    for unit in morvik.units.CASH_FLOW_UNITS.values():
        assert unit in docs, unit


def test_former_names_of_the_standard_error_read_the_renamed_columns_with_a_warning():
    v = morvik.price(MID_LIFE, greeks=True, stream="aligned", seed=2, trials=300)
    table = book._frame(value_note(MID_LIFE, open(MID_LIFE).read(), {"trials": 300}))
    for frame, former, name in ((v.greeks, "vega_se", "vega_std_error"),
                                (table, "standard_error", "std_error"),
                                (table[table["quantity"] == "price"], "standard_error", "std_error")):
        with pytest.warns(FutureWarning, match=f"'{former}' is now '{name}'"):
            assert frame[former].equals(frame[name])
        with pytest.warns(FutureWarning):
            assert list(frame[[former]].columns) == [name]
        assert former not in frame.columns
    assert list(v.greeks.columns) == ["delta", "gamma", "vega", "delta_std_error", "gamma_std_error",
                                      "vega_std_error"]


def test_a_note_is_given_as_a_note_a_path_or_a_dict_anywhere():
    note = morvik.load(MID_LIFE)
    base = morvik.price(note, trials=400).price
    assert morvik.price(MID_LIFE, trials=400).price == base
    assert morvik.price(pathlib.Path(MID_LIFE), trials=400).price == base
    assert morvik.price(json.load(open(MID_LIFE)), trials=400).price == base
    assert list(morvik.ladder(pathlib.Path(MID_LIFE), moves=(0.0,), trials=400)["price"]) == [base]
    assert morvik.moved(MID_LIFE, 0.1) == morvik.moved(note, 0.1)
    with pytest.raises(TypeError, match="a note is a morvik.Note, a path or a dict, not int"):
        morvik.price(3)


def test_notebook_dates_and_numbers_in_a_dict():
    sheet = json.load(open(STEPDOWN))
    expected = morvik.load(sheet).expanded_text()
    day = sheet["price_date"]
    for value in (pd.Timestamp(day), np.datetime64(day), np.datetime64(day + "T00:00:00.000000000"),
                  datetime.datetime.fromisoformat(day), datetime.date.fromisoformat(day)):
        assert morvik.load({**sheet, "price_date": value}).expanded_text() == expected, repr(value)
    numbers = dict(sheet, notional=np.float64(sheet["notional"]),
                   redemption=[dict(r, payment=pd.Timestamp(r["payment"])) for r in sheet["redemption"]])
    assert morvik.load(numbers).expanded_text() == expected

    def fault(change):
        copy = json.loads(json.dumps(sheet))
        change(copy)
        with pytest.raises(morvik.TermSheetError) as e:
            morvik.load(copy)
        return e.value

    e = fault(lambda s: s["redemption"][2].update(coupon=np.nan))
    assert (e.path, e.kind) == ("redemption[2].coupon", "field") and "nan is not a number" in str(e)
    e = fault(lambda s: s.update(price_date=pd.Timestamp(day + " 09:30")))
    assert e.path == "price_date" and "has a time of day" in e.message
    for missing in (pd.NaT, np.datetime64("NaT"), pd.NA):
        assert fault(lambda s: s.update(price_date=missing)).path == "price_date"
    assert "a set cannot be written" in str(fault(lambda s: s.update(name={"a"})))
    # A book gives such a dict its error row instead of raising.
    [(label, text, error)] = book.book_entries(dict(sheet, notional=np.inf))
    assert text is None and "notional: inf is not a number" in error


def test_notes_and_valuations_pickle_and_compare_equal():
    for path in EXAMPLES:
        note = morvik.load(path)
        again = pickle.loads(pickle.dumps(note))
        assert again == note and again.inputs.keys() == note.inputs.keys(), path
    note = morvik.load(MID_LIFE)
    bumped = note.with_inputs(CurveInfo=note.inputs["CurveInfo"] + 0.001)
    for changed in (bumped, morvik.moved(note, -0.2, 0.01, underlying="SAP")):
        again = pickle.loads(pickle.dumps(changed))
        assert again == changed and again != note
        assert morvik.price(again, trials=300).to_json() == morvik.price(changed, trials=300).to_json()
    v = morvik.price(note, full=True, trials=500, stream="aligned", seed=3, ladder=True, convergence=True)
    again = pickle.loads(pickle.dumps(v))
    assert again == v and again.to_json() == v.to_json() and again.to_dict() == v.to_dict()
    for name in ("outcomes", "coupons", "cash_flows", "greeks", "ladder", "convergence"):
        assert_frame_equal(getattr(again, name), getattr(v, name), check_exact=True)
        assert getattr(again, name).attrs == getattr(v, name).attrs
    assert (again.theta_std_error, again.price) == (v.theta_std_error, v.price)


def test_html_reprs_are_small_escaped_tables():
    sheet = json.load(open(MID_LIFE))
    sheet["name"] = "Note <b>&</b>"
    v = morvik.price(sheet, full=True, trials=300)
    for shown in (v.note._repr_html_(), v._repr_html_()):
        assert shown.startswith("<table>") and "Note &lt;b&gt;&amp;&lt;/b&gt;" in shown and "<b>" not in shown
    html = v._repr_html_()
    assert f"{v.price:,.2f} EUR" in html and "EUR per day" in html and html.count("<tr>") <= 8


def test_the_book_table_has_a_currency_and_dates():
    frame = book._frame(value_note(MID_LIFE, open(MID_LIFE).read(), {"trials": 300})
                        + error_rows("missing.json", "missing.json: no such file"))
    assert str(frame["pricing_date"].dtype) == "datetime64[ns]"
    valued = frame[frame["note"] == MID_LIFE]
    assert set(valued["currency"]) == {"EUR"} and set(valued["pricing_date"]) == {pd.Timestamp("2025-06-30")}
    failed = frame[frame["note"] == "missing.json"]
    assert failed["currency"].tolist() == [None] and failed["pricing_date"].isna().all()
    # The CSV file keeps the tool's header and its ISO dates.
    lines = book._csv_text(frame).splitlines()
    assert lines[0].split(",") == [*morvik._morvik.TABLE_COLUMNS] and ",2025-06-30," in lines[1]


SCRIPT = """\
import sys
from morvik import book
{body}
"""


def _script(tmp_path, name, body):
    path = tmp_path / name
    path.write_text(SCRIPT.format(body=body))
    return subprocess.run([sys.executable, str(path)], capture_output=True, text=True, timeout=120)


def test_a_book_script_without_the_main_guard_stops_with_one_message(tmp_path):
    done = _script(tmp_path, "unguarded.py", f"book.price_book({STEPDOWN!r}, workers=1, trials=100)")
    assert done.returncode == 1 and done.stderr.count("if __name__ == \"__main__\":") == 1, done.stderr
    assert "unguarded.py, line 3: a book on a local cluster is started at the script's top level" in done.stderr
    # Called from a function at the top level: found too; under the guard, or
    # with a cluster of its own, the check lets it through.
    done = _script(tmp_path, "nested.py", "def run():\n    book._check_main_guard()\nrun()")
    assert done.returncode == 1 and "nested.py, line 5" in done.stderr
    done = _script(tmp_path, "guarded.py", "def run():\n    book._check_main_guard()\n"
                   "if '__main__' == __name__:\n    run()\n    print('checked')")
    assert (done.returncode, done.stdout) == (0, "checked\n"), done.stderr


def test_the_package_ships_its_types_and_declares_the_book_extra():
    folder = os.path.dirname(morvik.__file__)
    assert os.path.exists(os.path.join(folder, "py.typed")) and os.path.exists(os.path.join(folder, "_morvik.pyi"))
    meta = importlib.metadata.metadata("morvik")
    assert "book" in meta.get_all("Provides-Extra")
    required = {r.replace(" ", "").replace("'", '"') for r in meta.get_all("Requires-Dist")}
    assert {'dask;extra=="book"', 'distributed;extra=="book"'} <= required, required
