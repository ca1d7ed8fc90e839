"""Market files from Python: a note by ids loaded on a market (path, dict or
Market) prices as the same note with its data written; a market pickles as
its text; a book on a market file gives the tool's figures and its risk
frame sums the positions; the tool's cash-flow CSV loads in pandas."""

import json
import os
import pickle

import pandas as pd
import pytest

import morvik
from morvik import book
from morvik.book_task import value_note

MARKET = os.path.join("examples", "book", "market.json")
NOTES = os.path.join("examples", "book", "notes")
KRW = os.path.join(NOTES, "krw_samsung_hyundai.json")
USD = os.path.join(NOTES, "usd_asml_totalenergies.json")

pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")


def test_a_note_by_ids_on_a_market_path_dict_or_object_prices_as_the_inline_note():
    market = morvik.load_market(MARKET)
    assert market.pricing_date.isoformat() == "2025-06-30" and "SAMSUNG" in market.underlyings
    assert pickle.loads(pickle.dumps(market)) == market
    inline = morvik.price(os.path.join("examples", "two_stock_stepdown.json"), trials=1500, greeks=True)
    for source in (MARKET, json.load(open(MARKET)), market):
        note = morvik.load(KRW, market=source)
        assert note.underlying_ids == ["SAMSUNG", "HYUNDAI"]
        assert note.position == {"quantity": 3.0, "scale": 3.0, "book": "KRW-EQD", "trade_id": "T-1001"}
        v = morvik.price(note, trials=1500, greeks=True)
        assert v.price == inline.price
        assert v.greeks.equals(inline.greeks)
    # price() reads a note by ids on the market it is given.
    assert morvik.price(KRW, trials=1500, market=MARKET).price == inline.price
    # A pickled note travels with the market's data in it.
    assert morvik.price(pickle.loads(pickle.dumps(note)), trials=1500).price == inline.price
    with pytest.raises(morvik.TermSheetError, match=r'underlyings\[0\].id: SAMSUNG.s market data come'):
        morvik.load(KRW)
    with pytest.raises(ValueError, match="read already"):
        from morvik.note import as_note
        as_note(note, market=market)
    bad = json.load(open(MARKET))
    bad["underlyings"]["TTE"]["spot"] = 0
    with pytest.raises(morvik.TermSheetError, match=r"underlyings.TTE.spot: expected a positive spot"):
        morvik.load_market(bad)


def test_a_book_on_a_market_has_the_tools_figures_and_sums_its_positions(tool, tmp_path):
    market = morvik.load_market(MARKET)
    rows = []
    for label, text, _ in book.book_entries(NOTES):
        rows += value_note(label, text, {"trials": 600, "greeks": True}, (market.text, market.label))
    table = book._frame(rows)
    assert set(table["book"].dropna()) == {"KRW-EQD", "USD-QUANTO"}
    assert list(table[table["quantity"] == "delta"]["underlying_id"]) == ["SAMSUNG", "HYUNDAI", "ASML", "TTE"]

    risk = table.risk().set_index(["group", "key", "quantity"])
    price = table[table["quantity"] == "price"].set_index("note")
    assert risk.loc[("currency", "KRW", "value"), "value"] == 3 * price.loc[KRW, "value"]
    assert risk.loc[("currency", "USD", "value"), "value"] == 2.5 * price.loc[USD, "value"]
    assert risk.loc[("currency", "KRW", "value"), "std_error"] == pytest.approx(3 * price.loc[KRW, "std_error"])
    delta = table[(table["quantity"] == "delta") & (table["note"] == KRW)].set_index("underlying_id")
    assert risk.loc[("underlying", "SAMSUNG", "delta"), "value"] == 3 * delta.loc["SAMSUNG", "value"]
    assert pd.isna(risk.loc[("currency", "KRW", "theta"), "value"])  # not asked for

    # The tool's --risk CSV has the same numbers, and its cash flows load as they are.
    done = tool.run("--market", MARKET, KRW, USD, "--greeks", "--trials", "600", "--risk", str(tmp_path / "r.csv"),
                    "--cash-flows", str(tmp_path / "f.csv"))
    assert "Book: 2 positions" in done.stdout
    assert open(tmp_path / "r.csv").read() == book.risk_text(table, "r.csv")
    flows = pd.read_csv(tmp_path / "f.csv", parse_dates=["pricing_date", "payment", "observation"])
    assert list(flows["note"].unique()) == [KRW, USD]
    assert flows["payment"].dtype.kind == "M" and flows["settled"].dtype == bool
    krw = flows[flows["note"] == KRW]
    assert krw["discounted"].sum() == pytest.approx(price.loc[KRW, "value"], rel=1e-9)


def test_the_book_command_takes_a_market_and_writes_its_risk(tmp_path, capsys):
    status = book.main([NOTES, "--market", MARKET, "--out", str(tmp_path / "t.csv"), "--risk",
                        str(tmp_path / "r.json"), "--workers", "1", "--trials", "300", "--greeks"])
    assert status == 0, capsys.readouterr().err
    records = json.load(open(tmp_path / "r.json"))
    assert {(r["group"], r["key"]) for r in records} >= {("currency", "KRW"), ("underlying", "TTE")}
    assert book.main([NOTES, "--market", str(tmp_path / "t.csv"), "--out", str(tmp_path / "u.csv")]) == 2
