"""Term sheets that cannot be read raise TermSheetError with the field path,
line and column the tool reports."""

import json

import pytest

import morvik
from conftest import STEPDOWN


def test_field_error_names_path_line_and_column_as_the_tool(tool, tmp_path):
    sheet = json.load(open(STEPDOWN))
    sheet["redemption"][2]["payment"] = "2026-12-32"
    with pytest.raises(morvik.TermSheetError) as from_dict:
        morvik.load(sheet)
    e = from_dict.value
    assert (e.kind, e.path) == ("field", "redemption[2].payment")
    assert e.message == '"2026-12-32" is not a date: December 2026 has 31 days'

    # The same text in a file: the tool's line, and the same position.
    path = tmp_path / "bad_date.json"
    path.write_text(json.dumps(sheet, indent=2, ensure_ascii=False))
    with pytest.raises(morvik.TermSheetError) as from_file:
        morvik.load(path)
    printed = tool.run(str(path), check=False)
    assert printed.returncode == 2
    assert printed.stderr.strip() == str(from_file.value)
    assert (from_file.value.line, from_file.value.column) == (e.line, e.column)
    assert f"line {e.line}, column {e.column}: redemption[2].payment" in printed.stderr
    assert str(e).startswith("<dict>: ")


def test_text_and_file_errors():
    with pytest.raises(morvik.TermSheetError) as caught:
        morvik.loads('{\n  "notional": 1,\n  "notional": 2\n}', label="dup")
    assert caught.value.kind == "text" and caught.value.line == 3 and "given twice" in caught.value.message
    with pytest.raises(morvik.TermSheetError) as caught:
        morvik.loads('{"price_date": }')
    assert caught.value.not_json and (caught.value.line, caught.value.column) == (1, 16)
    with pytest.raises(morvik.TermSheetError) as caught:
        morvik.load("examples/no_such_note.json")
    assert str(caught.value) == "examples/no_such_note.json: no such file" and caught.value.line == 0
    with pytest.raises(morvik.TermSheetError, match="notionel: unknown field") as caught:
        morvik.load({**json.load(open(STEPDOWN)), "notionel": 5})
    assert caught.value.path == "notionel"
    with pytest.raises(TypeError):
        morvik.load(42)


def test_dicts_may_hold_numpy_values_and_dates():
    import datetime

    import numpy as np
    sheet = json.load(open(STEPDOWN))
    plain = morvik.load(sheet)
    sheet["price_date"] = datetime.date(2025, 6, 30)
    sheet["notional"] = np.float64(sheet["notional"])
    sheet["correlation"] = np.array(sheet["correlation"])
    typed = morvik.load(sheet)
    assert {k: np.asarray(v).tolist() for k, v in typed.inputs.items()} == \
        {k: np.asarray(v).tolist() for k, v in plain.inputs.items()}
    assert typed.name == plain.name
