"""Books on a Dask cluster: the table of a book valued on two worker
processes is the serial run's and morvik-price's CSV, bit for bit; a worker
killed while it prices is replaced and its note rerun; a note that kills its
workers, a note that cannot be read and a note the library rejects become
error rows; the table is written in one step, to a folder checked before
pricing; a local cluster listens on the loopback interface only."""

import csv
import datetime
import json
import os
import signal
import stat
import subprocess
import sys
import threading
import time

import cloudpickle
import numpy as np
import pandas as pd
import psutil
import pytest
from pandas.testing import assert_frame_equal

import morvik
from conftest import EXAMPLES, MID_LIFE, ROOT, STEPDOWN
from morvik import book
from morvik.book_task import error_rows, value_note

# Debian's tornado and distributed disagree about event loops; nothing to fix here.
pytestmark = pytest.mark.filterwarnings("ignore:make_current is deprecated:DeprecationWarning")


@pytest.fixture(scope="module")
def client():
    c = book.start_local_cluster(2)
    yield c
    book.close_client(c)


def _serial(paths, **options):
    """The book valued in this process, one note after the other."""
    rows = []
    for label, text, error in book.book_entries(paths):
        rows += error_rows(label, error) if error else value_note(label, text, options)
    return book._frame(rows)


def _copies(folder, source, count, trials, change=lambda k, sheet: None, name="copy"):
    """``count`` copies of a term sheet (or of each of a list), of ``trials``,
    ``trials`` + 100, ... trials, each changed by ``change(k, sheet)``."""
    paths = []
    for k in range(count):
        sheet = json.load(open(source if isinstance(source, str) else source[k]))
        sheet.setdefault("settings", {})["trials"] = trials + 100 * k
        change(k, sheet)
        paths.append(os.path.join(folder, f"{name}_{k}.json"))
        json.dump(sheet, open(paths[-1], "w"))
    return paths


def _mixed_book(folder):
    """The examples with trial counts of their own (the first computing theta
    and rho), a note the library rejects, one that is not JSON, a missing one."""
    paths = _copies(folder, EXAMPLES, len(EXAMPLES), 400,
                    lambda k, sheet: sheet["settings"].update(compute="full") if k == 0 else None)
    paths += _copies(folder, STEPDOWN, 1, 500,  # a knock-out barrier below its date's strike
                     lambda k, sheet: sheet["redemption"][1].update(knock_out_barrier=0.5), "rejected")
    paths.append(os.path.join(folder, "broken.json"))
    open(paths[-1], "w").write('{"name": "cut short",')
    return paths + [os.path.join(folder, "missing.json")]


def test_a_book_on_two_workers_is_the_serial_run_and_the_tools_csv(client, tool, tmp_path, capsys):
    paths = _mixed_book(str(tmp_path))
    frame = book.price_book(paths, client, greeks=True, progress=True)
    assert_frame_equal(frame, _serial(paths, greeks=True), check_exact=True)
    assert f"{len(paths)}/{len(paths)} notes done, 3 failed" in capsys.readouterr().err

    # Every row, every number's text and every error, as morvik-price --csv has them.
    book.write_table(frame, str(tmp_path / "book.csv"))
    assert tool.run(*paths, "--greeks", "--csv", str(tmp_path / "tool.csv"), check=False).returncode == 2
    ours = list(csv.reader(open(tmp_path / "book.csv")))
    theirs = list(csv.reader(open(tmp_path / "tool.csv")))
    assert ours == theirs
    assert {"theta", "rho", "delta", "vega"} <= set(frame["quantity"])

    failed = frame[frame["error"].notna()].set_index("note")
    assert list(failed.index) == paths[-3:]
    assert failed.loc[paths[-3], "value"] == -2053 and "rejected, code -2053" in failed.loc[paths[-3], "error"]
    assert "not valid JSON" in failed.loc[paths[-2], "error"]
    assert failed.loc[paths[-1], "error"].endswith("no such file")


def test_notes_and_dicts_travel_as_text(client):
    sheet = json.load(open(MID_LIFE))
    table = book.price_book([morvik.load(MID_LIFE), sheet], client, trials=300)
    alone = _serial([MID_LIFE], trials=300)
    assert list(table["note"].unique()) == [MID_LIFE, sheet["name"]]
    for label, rows in table.groupby("note", sort=False):
        assert_frame_equal(rows.drop(columns="note").reset_index(drop=True), alone.drop(columns="note"),
                           check_exact=True)


def test_a_dict_with_numpy_values_and_dates_travels_as_load_reads_it():
    sheet = json.load(open(MID_LIFE))
    sheet["notional"] = np.int64(sheet["notional"])
    sheet["price_date"] = datetime.date.fromisoformat(sheet["price_date"])
    [(label, text, error)] = book.book_entries(sheet)
    assert error is None and label == sheet["name"]
    assert morvik.loads(text).expanded_text() == morvik.load(sheet).expanded_text()


def test_a_note_with_changed_inputs_is_an_error_entry_not_a_failed_book():
    note = morvik.load(MID_LIFE)
    moved = morvik.moved(note, 0.1)
    [(label, text, error)] = book.book_entries(moved)
    assert text is None and label == moved.label and "inputs were changed" in error
    assert book.book_entries([note])[0][2] is None


def test_numbers_are_written_as_the_library_writes_them(tool):
    # Every double of the tool's JSON reads back to the text it was written as.
    texts = []
    json.loads(tool.json_text(*EXAMPLES, "--full", "--trials", "300"), parse_float=texts.append)
    assert len(texts) > 300
    assert [book.shortest(float(t)) for t in texts] == texts
    # Outside plain decimals, as std::to_chars writes them (checked with g++).
    cases = {1e-7: "1e-07", 1.2e-5: "0.000012", 1.2345678901234567e16: "12345678901234568", 1e16: "1e+16",
             5e-324: "5e-324", -0.0: "-0", 2.0 ** 60: "1152921504606846976", float("nan"): ""}
    assert {v: book.shortest(v) for v in cases} == cases


def _deaths(client):
    """Deaths of workers counted against the book's tasks so far."""
    return client.run_on_scheduler(lambda dask_scheduler: dask_scheduler.task_prefixes["morvik-note"].suspicious
                                   if "morvik-note" in dask_scheduler.task_prefixes else 0)


def test_a_worker_killed_while_pricing_is_replaced(client, tmp_path):
    client.wait_for_workers(2)
    paths = _copies(str(tmp_path), STEPDOWN, 6, 1500)
    pids, deaths = client.run(os.getpid), _deaths(client)
    done = {}
    runner = threading.Thread(target=lambda: done.update(frame=book.price_book(paths, client, greeks=True)))
    runner.start()
    victim, deadline = None, time.monotonic() + 30
    while victim is None and time.monotonic() < deadline:
        victim = next((w for w, keys in client.processing().items() if keys), None)
        time.sleep(0.01)
    os.kill(pids[victim], signal.SIGKILL)
    runner.join(120)

    assert victim not in client.scheduler_info()["workers"]
    assert _deaths(client) == deaths + 1  # the note it was pricing, started again elsewhere
    assert_frame_equal(done["frame"], _serial(paths, greeks=True), check_exact=True)


def _dies_on_purpose(label, text, options):
    if label.endswith("dies.json"):
        os._exit(70)
    return value_note(label, text, options)


def test_a_note_that_kills_its_workers_becomes_an_error_row(client, tmp_path, monkeypatch):
    client.wait_for_workers(2)
    paths = _copies(str(tmp_path), MID_LIFE, 5, 300)
    os.rename(paths[2], str(tmp_path / "dies.json"))
    paths[2] = str(tmp_path / "dies.json")
    monkeypatch.setattr(book, "value_note", _dies_on_purpose)
    deaths = _deaths(client)
    cloudpickle.register_pickle_by_value(sys.modules[__name__])  # the workers cannot import this file
    try:
        frame = book.price_book(paths, client)
    finally:
        cloudpickle.unregister_pickle_by_value(sys.modules[__name__])
    died = frame[frame["note"] == paths[2]]
    assert len(died) == 1 and "workers pricing it died" in died["error"].iloc[0]
    assert _deaths(client) == deaths + 2  # started twice, given up after the second death
    others = frame[frame["note"] != paths[2]].reset_index(drop=True)
    assert_frame_equal(others, _serial(paths[:2] + paths[3:]), check_exact=True)


def test_the_table_is_written_in_one_step(tmp_path, monkeypatch):
    frame = _serial([STEPDOWN, "examples/no_such.json"], trials=300, greeks=True)
    target = tmp_path / "book.csv"
    target.write_text("the previous table\n")

    def fails(fd):
        raise OSError("disk full")

    monkeypatch.setattr(os, "fsync", fails)
    with pytest.raises(OSError, match="disk full"):
        book.write_table(frame, str(target))
    assert target.read_text() == "the previous table\n" and os.listdir(tmp_path) == ["book.csv"]
    monkeypatch.undo()

    book.write_table(frame, str(target))
    book.write_table(frame, str(tmp_path / "book.json"))
    assert sorted(os.listdir(tmp_path)) == ["book.csv", "book.json"]
    umask = os.umask(0)
    os.umask(umask)
    assert stat.S_IMODE(os.stat(target).st_mode) == 0o666 & ~umask
    read = pd.read_csv(target, float_precision="round_trip")
    assert read["value"].equals(frame["value"]) and read["error"].notna().sum() == 1
    assert_frame_equal(book._frame([tuple(r.values()) for r in json.load(open(tmp_path / "book.json"))]), frame,
                       check_exact=True)


def test_command_line_on_a_running_cluster(client, tmp_path):
    paths = _copies(str(tmp_path), STEPDOWN, 2, 300) + [str(tmp_path / "missing.json")]
    out, serial = str(tmp_path / "book.csv"), str(tmp_path / "serial.csv")
    done = subprocess.run([sys.executable, "-m", "morvik", "book", *paths, "--out", out, "--greeks", "--scheduler",
                           client.scheduler.address], cwd=ROOT, capture_output=True, text=True)
    assert done.returncode == 1, done.stderr
    assert "missing.json: no such file" in done.stderr and "3 notes, 2 valued, 1 failed" in done.stderr
    book.write_table(_serial(paths, greeks=True), serial)
    assert open(out).read() == open(serial).read()
    for wrong in ([paths[0], "--out", paths[0].replace(".json", ".txt")],
                  [str(tmp_path), "--out", paths[0]]):  # the second would overwrite a term sheet
        with pytest.raises(SystemExit) as exited:
            book.main(wrong)
        assert exited.value.code == 2
    assert json.load(open(paths[0]))["settings"]["trials"] == 300


def _listening():
    """The addresses this process and its children listen on."""
    found = set()
    me = psutil.Process()
    for p in [me] + me.children(recursive=True):
        try:
            found |= {(s.laddr.ip, s.laddr.port) for s in p.connections(kind="inet") if s.status == psutil.CONN_LISTEN}
        except psutil.NoSuchProcess:
            pass
    return found


def test_a_local_cluster_listens_on_loopback_only(tmp_path, monkeypatch, capsys):
    seen = {}
    start = book.start_local_cluster

    def watched(workers=None, dashboard=False):
        client = start(workers, dashboard)
        seen[dashboard] = (client.scheduler.address, _listening())
        return client

    monkeypatch.setattr(book, "start_local_cluster", watched)
    paths = _copies(str(tmp_path), STEPDOWN, 2, 300)
    assert (book.price_book(paths, workers=2)["error"].isna()).all()  # a default book run
    book.price_book(paths[:1], workers=1, dashboard=True)
    assert "Dask dashboard at http://127.0.0.1:" in capsys.readouterr().err
    for dashboard, (address, listening) in seen.items():
        host, port = address.rsplit(":", 1)
        assert host == "tcp://127.0.0.1" and ("127.0.0.1", int(port)) in listening
        # The scheduler, its HTTP server, and per worker a nanny, a worker and its HTTP server.
        assert len(listening) >= 5, listening
        assert {host for host, port in listening} == {"127.0.0.1"}, (dashboard, listening)


def test_the_output_folder_is_checked_before_pricing(tmp_path, monkeypatch, capsys):
    def never(*args, **kwargs):
        raise AssertionError("the book was priced")

    monkeypatch.setattr(book, "price_book", never)
    (tmp_path / "file").write_text("")
    for out, message in ((tmp_path / "missing" / "book.csv", "does not exist"),
                         (tmp_path / "file" / "book.csv", "does not exist"),
                         (tmp_path / "folder.csv", "is a folder")):
        if out.name == "folder.csv":
            out.mkdir()
        assert book.main([STEPDOWN, "--out", str(out)]) == 2
        assert f"morvik book: cannot write {out}: " in capsys.readouterr().err
    assert sorted(os.listdir(tmp_path)) == ["file", "folder.csv"]


def test_a_book_with_an_option_out_of_range_raises_before_any_work():
    # The library's check of a request runs before a cluster starts.
    for bad in (0, 10**10):
        with pytest.raises(ValueError, match="trials takes a whole number from 1"):
            book.price_book([STEPDOWN], trials=bad)


def test_a_books_scenarios_are_each_notes_own_run(client, tmp_path):
    paths = _copies(str(tmp_path), STEPDOWN, 2, 300) + [str(tmp_path / "missing.json")]
    wanted = morvik.Scenarios(spot_ladder=[-10, 0, 10], rate_shift=[25])
    table, scenarios = book.book_scenarios(paths, wanted, client)
    assert table.equals(book.price_book(paths, client))
    expected = pd.concat([morvik.run_scenarios(p, wanted) for p in paths[:2]], ignore_index=True)
    assert_frame_equal(scenarios, expected)  # bit for bit, one note per task; the missing note has none
    out, kept = str(tmp_path / "book.csv"), str(tmp_path / "scenarios.csv")
    done = subprocess.run([sys.executable, "-m", "morvik", "book", *paths[:2], "--out", out, "--spot-ladder=-10,0,10",
                           "--rate-shift", "25", "--scenario-out", kept, "--scheduler", client.scheduler.address],
                          cwd=ROOT, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    loaded = pd.read_csv(kept, float_precision="round_trip")
    assert np.array_equal(loaded["value"].to_numpy(), expected["value"].to_numpy())
    with pytest.raises(SystemExit) as exited:
        book.main([paths[0], "--out", out, "--spot-ladder", "1"])  # the scenarios need their file
    assert exited.value.code == 2
    with pytest.raises(ValueError, match="rate_shift takes steps from -10000"):
        book.book_scenarios([STEPDOWN], morvik.Scenarios(rate_shift=[20000]))  # before a cluster starts
