"""Books: many notes valued on a Dask cluster, one task per note.

``price_book`` takes term sheets (files, folders of ``*.json``, dicts, notes)
and returns one long-form table, the rows of ``morvik-price --csv`` with an
``error`` and a ``currency`` column. Without a client it starts a
``distributed.LocalCluster`` of worker processes on this machine; with
``scheduler="tcp://host:8786"`` it joins a running cluster. Term sheets travel to the workers as text and each worker
prices with the library's own fixed random stream, so the table does not
depend on which worker valued which note, nor on how many there were.

A note that cannot be read, that the library rejects, or whose workers keep
dying becomes a row with its error; the other notes go on.
``python -m morvik book`` is the command line (``main``)."""

from __future__ import annotations

import argparse
import ast
import csv
import io
import json
import logging
import math
import multiprocessing
import numbers
import os
import sys
import tempfile
import threading
import time
import uuid
from typing import Any, Dict, List, Optional, Sequence, TextIO, Tuple, Union

import dask
import pandas as pd
from distributed import Client, LocalCluster, Nanny, as_completed
from distributed.scheduler import KilledWorker

from . import _morvik
from .book_risk import risk_csv
from .book_task import COLUMNS, Row, error_rows, note_request, value_note, value_note_and_scenarios
from .errors import TermSheetError
from .frames import BookTable
from .market import MarketLike, load_market
from .note import Note, dict_text, load
from .scenario_set import Scenarios, scenario_frame

# The table's columns: the rows' (book_task.COLUMNS), the standard error
# spelt as everywhere in the package (the CSV file keeps the tool's header).
TABLE: List[str] = [BookTable.RENAMED.get(c, c) for c in COLUMNS]
# The columns of the tool's CSV and the error column, as the table names them.
CSV_COLUMNS: List[str] = [BookTable.RENAMED.get(c, c) for c in _morvik.TABLE_COLUMNS]

Source = Union[str, "os.PathLike[str]", Dict[str, Any], Note]
Entry = Tuple[str, Optional[str], Optional[str]]

# Settings of the scheduler of a local cluster. A task whose worker dies is
# started again on another worker once; when that worker dies too, the note
# is given up as an error row. A worker is sent one note at a time, so a
# worker that dies takes only the note it was pricing with it (a note waiting
# in its queue would count a death against it too). A cluster started
# elsewhere keeps its own settings: see docs/python.md.
SCHEDULER_CONFIG = {
    "distributed.scheduler.allowed-failures": 1,
    "distributed.scheduler.worker-saturation": 1.0,
}
# A task that raises (rather than killing its worker) is tried once more.
RETRIES = 1


# -- the notes of a book ------------------------------------------------------

def _dict_label(sheet: Dict[str, Any], k: int) -> str:
    name = sheet.get("name")
    return name if isinstance(name, str) and name else f"<dict {k + 1}>"


def _sources(notes: Union[Source, Sequence[Source]]) -> List[Source]:
    """``notes`` as a flat list: a folder's ``*.json`` files in name order in
    its place."""
    if isinstance(notes, (str, os.PathLike, dict, Note)):
        notes = [notes]
    sources: List[Source] = []
    for source in notes:
        if isinstance(source, (str, os.PathLike)) and os.path.isdir(source):
            folder = os.fspath(source)
            sources.extend(os.path.join(folder, n) for n in sorted(os.listdir(folder)) if n.endswith(".json"))
        elif isinstance(source, (str, os.PathLike, dict, Note)):
            sources.append(source)
        else:
            raise TypeError(f"a book holds paths, dicts and notes, not {type(source).__name__}")
    return sources


def book_entries(notes: Union[Source, Sequence[Source]]) -> List[Entry]:
    """The notes of a book as ``(label, text, error)``: term-sheet text to
    send to a worker, or the error of a file that could not be read (then
    text is None). ``notes`` is a path (a file, or a folder whose ``*.json``
    files are taken in name order), a dict or a ``Note``, or a list of them.
    A ``Note`` travels as its explicit form, which prices as the note."""
    entries: List[Entry] = []
    for k, source in enumerate(_sources(notes)):
        if isinstance(source, dict):
            label = _dict_label(source, k)
            try:
                entries.append((label, dict_text(source, label), None))
            except TermSheetError as e:  # a value JSON cannot hold, named by its field
                entries.append((label, None, str(e)))
        elif isinstance(source, Note):
            try:
                entries.append((source.label, source.expanded_text(), None))
            except ValueError as e:  # inputs changed in Python: no term sheet to send; its row says so
                entries.append((source.label, None, f"{source.label}: {e} (a book sends notes as term sheets)"))
        else:
            entries.append(_file_entry(os.fspath(source)))
    return entries


def _file_entry(path: str) -> Entry:
    try:
        with open(path, "rb") as f:
            return path, f.read().decode("utf-8"), None
    except (OSError, UnicodeDecodeError) as e:
        # The term-sheet reader says why, in the tool's words.
        try:
            load(path)
        except TermSheetError as reader:
            return path, None, str(reader)
        return path, None, f"{path}: {e}"


# -- valuing a book -----------------------------------------------------------

# A local cluster listens on the loopback interface only. distributed starts
# an HTTP server for the scheduler and for every worker whatever the
# dashboard settings, on every interface unless given an address: each gets
# one on 127.0.0.1 (any free port), and the scheduler's serves the dashboard
# only when asked, at DASHBOARD_ADDRESS.
LOOPBACK = "127.0.0.1"
DASHBOARD_ADDRESS = f"{LOOPBACK}:8787"


class _QuietNanny(Nanny):  # type: ignore[misc]  # distributed is untyped here
    """A worker process whose HTTP server serves no dashboard pages
    (LocalCluster turns them on with any worker_dashboard_address)."""

    def __init__(self, *args: Any, **kwargs: Any) -> None:
        kwargs["dashboard"] = False
        super().__init__(*args, **kwargs)


MAIN_GUARD = ("the local cluster's worker processes import the script again: value the book under "
              "`if __name__ == \"__main__\":`")


def _guards(statement: ast.stmt, line: int) -> bool:
    """Whether ``line`` lies in the body of ``statement`` and that is
    ``if __name__ == "__main__":`` (either way round), not its ``else``."""
    if not isinstance(statement, ast.If) or not isinstance(statement.test, ast.Compare):
        return False
    test = statement.test
    sides = [test.left, *test.comparators]
    body = statement.body
    return (len(sides) == 2 and isinstance(test.ops[0], ast.Eq)
            and any(isinstance(s, ast.Name) and s.id == "__name__" for s in sides)
            and any(isinstance(s, ast.Constant) and s.value == "__main__" for s in sides)
            and body[0].lineno <= line <= (body[-1].end_lineno or body[-1].lineno))


def _unguarded_script_line() -> Optional[int]:
    """The line of the main script's top level that led here when it lies
    outside ``if __name__ == "__main__":``, else None (a notebook, a function
    called from the guard, a script that cannot be read)."""
    main = sys.modules.get("__main__")
    if main is None or not getattr(main, "__file__", None) or main.__dict__.get("__name__") != "__main__":
        return None
    frame = sys._getframe(1)
    while frame is not None and not (frame.f_code.co_name == "<module>" and frame.f_globals is main.__dict__):
        frame = frame.f_back  # type: ignore[assignment]
    if frame is None:
        return None
    try:
        with open(frame.f_code.co_filename, "rb") as f:
            tree = ast.parse(f.read())
    except (OSError, SyntaxError, ValueError):
        return None
    line = frame.f_lineno
    for statement in tree.body:
        if statement.lineno <= line <= (statement.end_lineno or statement.lineno):
            return None if _guards(statement, line) else line
    return None


def _check_main_guard() -> None:
    """A local cluster spawns its workers, and each imports the main script
    again: a script that starts one outside ``if __name__ == "__main__":``
    would start a cluster in every worker, and so on. The script's process
    raises RuntimeError saying so before any worker is started; a worker
    importing such a script (where the check above could not read the
    script) stops with that one line, no traceback; Dask then starts other
    workers, which stop alike, until the script is interrupted."""
    # multiprocessing's own mark of a spawned process still importing the
    # main script (its parent_process() is set only after that import).
    if getattr(multiprocessing.current_process(), "_inheriting", False):
        sys.stderr.write(f"morvik book: not started in a worker process: {MAIN_GUARD}\n")
        sys.stderr.flush()
        os._exit(3)
    line = _unguarded_script_line()
    if line is not None:
        main = sys.modules["__main__"]
        raise RuntimeError(f"{main.__file__}, line {line}: a book on a local cluster is started at the "
                           f"script's top level; {MAIN_GUARD}")


def start_local_cluster(workers: Optional[int] = None, dashboard: bool = False) -> Client:
    """A LocalCluster of ``workers`` processes (default: one per core), one
    thread each, with its client. The pricing runs in the worker processes:
    the library prices a note on one thread, and processes keep one note's
    crash from taking others with it. Everything listens on 127.0.0.1 only;
    ``dashboard`` serves the scheduler's dashboard there (DASHBOARD_ADDRESS,
    or another port when that one is taken: see ``client.dashboard_link``)."""
    _check_main_guard()
    workers = workers or os.cpu_count() or 1
    with dask.config.set(SCHEDULER_CONFIG):
        cluster = LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, host=LOOPBACK,
                               dashboard_address=DASHBOARD_ADDRESS if dashboard else f"{LOOPBACK}:0",
                               scheduler_kwargs={"dashboard": bool(dashboard)},
                               worker_dashboard_address=f"{LOOPBACK}:0", worker_class=_QuietNanny,
                               silence_logs=logging.ERROR)
    return Client(cluster)


def _lost_error(label: str, exc: BaseException) -> str:
    if isinstance(exc, KilledWorker):
        return f"{label}: not valued, the workers pricing it died ({exc})"
    return f"{label}: not valued, {type(exc).__name__}: {exc}"


class _Progress:
    """One line on standard error, redrawn in place: notes done, failed,
    elapsed time and an estimate of the time left."""

    def __init__(self, total: int, unreadable: int, stream: TextIO) -> None:
        # The estimate counts only notes valued here, not the unreadable ones.
        self.total, self.done, self.failed, self.unreadable = total, unreadable, unreadable, unreadable
        self.stream = stream
        self.start = time.monotonic()
        self.lock = threading.Lock()
        self.stopped = threading.Event()
        self.ticker = threading.Thread(target=self._tick, daemon=True)
        self.ticker.start()

    def note_done(self, failed: bool) -> None:
        with self.lock:
            self.done += 1
            self.failed += failed
        self.draw()

    def _tick(self) -> None:
        while not self.stopped.wait(1.0):
            self.draw()

    def draw(self, end: str = "") -> None:
        with self.lock:
            elapsed = time.monotonic() - self.start
            line = f"book: {self.done}/{self.total} notes done, {self.failed} failed, {_clock(elapsed)} elapsed"
            if self.unreadable < self.done < self.total:
                line += f", about {_clock(elapsed / (self.done - self.unreadable) * (self.total - self.done))} left"
            self.stream.write("\r" + line + "\x1b[K" + end)
            self.stream.flush()

    def close(self) -> None:
        self.stopped.set()
        self.ticker.join()
        self.draw(end="\n")


def _clock(seconds: float) -> str:
    seconds = int(round(seconds))
    return f"{seconds // 3600}:{seconds // 60 % 60:02d}:{seconds % 60:02d}" if seconds >= 3600 else \
        f"{seconds // 60}:{seconds % 60:02d}"


def price_book(notes: Union[Source, Sequence[Source]], client: Optional[Client] = None, *, greeks: bool = False,
               full: bool = False, trials: Optional[int] = None, workers: Optional[int] = None,
               scheduler: Optional[str] = None, progress: Optional[bool] = None,
               dashboard: bool = False, market: Optional[MarketLike] = None) -> pd.DataFrame:
    """Values a book, one task per note, and returns its table: a DataFrame
    with the columns of ``morvik-price --csv`` (``note, pricing_date,
    trials, quantity, underlying, value, std_error``; ``pricing_date`` as
    datetime64, the standard error under the package's name), then
    ``error`` and ``currency`` (the notional's), the notes in the order
    given and each note's rows in the order of ``morvik-price --csv``.

    - ``notes``: paths (files, or folders of ``*.json``), dicts, ``Note``s;
    - ``client``: a ``distributed.Client`` to run on; without one, a client of
      the cluster at ``scheduler`` (``"tcp://host:8786"``) or, without that,
      of a LocalCluster of ``workers`` processes (one per core by default),
      closed again at the end;
    - ``greeks``, ``full``, ``trials``: as in ``morvik.price``, for every note;
    - ``progress``: a progress line on standard error (default: when it is a
      terminal);
    - ``market``: a market file (``Market``, path or dict) for the notes that
      name their underlyings by id; it is read here (a bad one raises
      ``TermSheetError`` before any work) and sent to the workers as text;
    - ``dashboard``: the local cluster serves Dask's dashboard on 127.0.0.1
      (its address goes to standard error); without it the cluster serves
      none. Every port of a local cluster listens on 127.0.0.1 only.

    The columns ``position_scale``, ``book``, ``trade_id`` give a note's
    position (None without one) and ``underlying_id`` the market's id on a
    greek's row; ``table.risk()`` sums the positions by currency and by
    underlying.

    A note that fails has one ``status`` row: ``value`` is the library's code
    when it rejected the note, and ``error`` says what went wrong; ``error``
    is None on every other row. The numbers do not depend on the cluster.

    In a script, call it under ``if __name__ == "__main__":``: the local
    cluster's worker processes import the script again. Without the guard
    it raises RuntimeError naming the line, before any worker starts."""
    table, _ = _value_book(notes, client, {"trials": trials, "greeks": bool(greeks), "full": bool(full)},
                           workers, scheduler, progress, dashboard, market)
    return table


def book_scenarios(notes: Union[Source, Sequence[Source]], scenarios: Scenarios, client: Optional[Client] = None, *,
                   greeks: bool = False, full: bool = False, trials: Optional[int] = None,
                   workers: Optional[int] = None, scheduler: Optional[str] = None, progress: Optional[bool] = None,
                   dashboard: bool = False, market: Optional[MarketLike] = None) -> Tuple[pd.DataFrame, pd.DataFrame]:
    """Values a book as ``price_book`` does and, in each note's own task and
    on its random numbers, the note's ``scenarios`` (a ``morvik.Scenarios``).
    Returns ``(table, scenarios)``: ``price_book``'s table, and the tidy
    frame of every note's scenarios one after the other (as
    ``morvik.run_scenarios`` gives them, keyed by the ``note`` column; the
    base price first). A note that could not be valued has no scenario rows
    (its table row says why); a scenario the library refused has its
    ``error``."""
    if not isinstance(scenarios, Scenarios) or not scenarios:
        raise ValueError("book_scenarios needs a morvik.Scenarios that asks for at least one scenario")
    options = {"trials": trials, "greeks": bool(greeks), "full": bool(full), "scenarios": scenarios.request()}
    return _value_book(notes, client, options, workers, scheduler, progress, dashboard, market)


def _value_book(notes: Union[Source, Sequence[Source]], client: Optional[Client], options: Dict[str, Any],
                workers: Optional[int], scheduler: Optional[str], progress: Optional[bool],
                dashboard: bool, market: Optional[MarketLike]) -> Tuple[pd.DataFrame, pd.DataFrame]:
    """The table and the scenario frame of a book, one task per note."""
    request = note_request(options)
    # A wrong option raises before any work.
    _morvik.check_request(request["compute"], request["trials"], scenarios=options.get("scenarios"))
    if dashboard and (client is not None or scheduler):
        raise ValueError("dashboard is for the local cluster; a running cluster serves its own")
    read = None if market is None else load_market(market)
    payload = None if read is None else (read.text, read.label)
    entries = book_entries(notes)
    results: List[Optional[List[Row]]] = [None] * len(entries)
    scenario_rows: List[List[Row]] = [[] for _ in entries]
    for k, (label, text, error) in enumerate(entries):
        if error is not None:
            results[k] = error_rows(label, error)
    owned = None
    if client is None:
        client = owned = Client(scheduler) if scheduler else start_local_cluster(workers, dashboard)
        if dashboard:
            print(f"morvik book: Dask dashboard at {client.dashboard_link}", file=sys.stderr)
    todo = [k for k, entry in enumerate(entries) if entry[2] is None]
    show = sys.stderr.isatty() if progress is None else progress
    bar = _Progress(len(entries), len(entries) - len(todo), sys.stderr) if show else None
    futures: Dict[Any, int] = {}
    try:
        # One graph for the whole book: the scheduler sees every note at once
        # and hands them out in this order.
        token = uuid.uuid4().hex
        # A note's task: its rows, or with scenarios its rows and theirs.
        with_scenarios = options.get("scenarios") is not None
        task = value_note_and_scenarios if with_scenarios else value_note
        # The market goes to every worker once, not with every note.
        market_arg = {} if payload is None else {
            "market": client.scatter([payload], broadcast=True, hash=False)[0]}
        submitted = client.map(task, [entries[k][0] for k in todo], [entries[k][1] for k in todo],
                               options=options, key=[f"morvik-note-{token}-{k}" for k in todo], retries=RETRIES,
                               **market_arg)
        futures = dict(zip(submitted, todo))
        for future in as_completed(futures):
            k = futures[future]
            try:
                # A result lost with its worker before it was fetched is
                # computed again: result() waits for it.
                if with_scenarios:
                    results[k], scenario_rows[k] = future.result()
                else:
                    results[k] = future.result()
            except Exception as e:  # noqa: BLE001 -- the note's workers died, or it was cancelled
                results[k] = error_rows(entries[k][0], _lost_error(entries[k][0], e))
            if bar:
                bar.note_done(any(row[COLUMNS.index("error")] is not None for row in results[k] or []))
    finally:
        if bar:
            bar.close()
        unfinished = [f for f in futures if not f.done()]
        if unfinished:  # interrupted: the cluster may be shared
            client.cancel(unfinished)
        if owned is not None:
            close_client(owned)
    table = _frame([row for rows in results for row in rows or []])
    return table, scenario_frame([row for rows in scenario_rows for row in rows])


def close_client(client: Client) -> None:
    """Closes ``client`` and the local cluster it started, if any."""
    cluster = client.cluster
    client.close()
    if cluster is not None:
        cluster.close()


def _frame(rows: Sequence[Row]) -> pd.DataFrame:
    """The table of the rows (tuples in ``book_task.COLUMNS`` order)."""
    frame = BookTable.from_records(list(rows), columns=TABLE)
    frame["trials"] = frame["trials"].astype("Int64")
    frame["pricing_date"] = pd.to_datetime(frame["pricing_date"], format="%Y-%m-%d")
    for column in ("value", "std_error", "position_scale"):
        frame[column] = frame[column].astype(float)
    return frame


def _written(frame: pd.DataFrame, columns: Sequence[str]) -> List[Tuple[Any, ...]]:
    """The rows of ``columns`` as a file holds them: dates as ISO text,
    missing values None."""
    part = frame[list(columns)].astype(object)
    part["pricing_date"] = frame["pricing_date"].dt.strftime("%Y-%m-%d").astype(object)
    return [tuple(None if _missing(v) else v for v in values) for values in part.itertuples(index=False)]


# -- writing the table ----------------------------------------------------------

def shortest(v: float) -> str:
    """A double as the library's reports write it: the shortest text that
    reads back to it ("" for NaN and infinity, as in the tool's CSV)."""
    return _morvik.shortest_double(v) if math.isfinite(v) else ""


def _missing(value: Any) -> bool:
    return value is None or value is pd.NA or value is pd.NaT or (isinstance(value, float) and math.isnan(value))


def _csv_text(frame: pd.DataFrame) -> str:
    """The table as CSV, written by the library's row writer (the tool's
    columns under its header, and the error column)."""
    return _morvik.table_csv(_written(frame, CSV_COLUMNS))


def _json_text(frame: pd.DataFrame) -> str:
    records = []
    for values in _written(frame, TABLE):
        record = {}
        for column, value in zip(TABLE, values):
            if value is None or value is pd.NA or (isinstance(value, float) and not math.isfinite(value)):
                value = None
            elif isinstance(value, numbers.Integral):  # numpy's and pandas' integers too
                value = int(value)
            record[column] = value
        records.append(record)
    return json.dumps(records, indent=1, ensure_ascii=False, allow_nan=False) + "\n"


def check_writable(path: str) -> None:
    """Raises OSError naming ``path`` unless a table can be written there: its
    folder exists and takes a new file (tried), and ``path`` is no folder.
    A book runner checks this before pricing, not after."""
    folder = os.path.dirname(os.path.abspath(path))
    if not os.path.isdir(folder):
        raise OSError(f"cannot write {path}: the folder {folder} does not exist")
    if os.path.isdir(path):
        raise OSError(f"cannot write {path}: it is a folder")
    try:
        fd, probe = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".", suffix=".tmp")
    except OSError as e:
        raise OSError(f"cannot write {path}: {e.strerror or e} in {folder}") from None
    os.close(fd)
    os.unlink(probe)


def write_table(frame: pd.DataFrame, path: str) -> None:
    """Writes a book's table to ``path``: CSV (``.csv``, the tool's long form
    with the ``error`` column under the tool's header, loadable by a
    spreadsheet or ``pandas.read_csv``) or JSON (``.json``, a list of rows
    under the table's column names, dates as ISO text, for
    ``pandas.read_json``). The text goes to a temporary file in the same
    folder, which then replaces ``path`` in one step: an interrupted write
    leaves the previous file as it was, and no partial file."""
    kind = os.path.splitext(path)[1].lower()
    if kind not in (".csv", ".json"):
        raise ValueError(f"the table is written as .csv or .json, not {path!r}")
    write_text(_csv_text(frame) if kind == ".csv" else _json_text(frame), path)


def write_scenarios(frame: pd.DataFrame, path: str) -> None:
    """Writes a scenario frame (``book_scenarios``, ``run_scenarios``) to
    ``path`` as ``write_table`` writes a table: CSV (``.csv``, the header of
    ``morvik-price --scenario-csv``, numbers in the shortest form that reads
    back to the same double, missing values empty) or JSON (``.json``, a
    list of rows, missing values null), replacing the file in one step."""
    kind = os.path.splitext(path)[1].lower()
    if kind not in (".csv", ".json"):
        raise ValueError(f"the scenarios are written as .csv or .json, not {path!r}")
    records = [[None if _missing(v) else v for v in values] for values in frame.astype(object).itertuples(index=False)]
    if kind == ".json":
        rows = [dict(zip(_morvik.SCENARIO_COLUMNS, r)) for r in records]
        write_text(json.dumps(rows, indent=1, ensure_ascii=False, allow_nan=False) + "\n", path)
        return
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(_morvik.SCENARIO_COLUMNS)  # the file's header is the tool's
    for r in records:
        writer.writerow(["" if v is None else shortest(v) if isinstance(v, float) else v for v in r])
    write_text(out.getvalue(), path)


def risk_text(table: pd.DataFrame, path: str) -> str:
    """The positions of a book's table summed (``table.risk()``) as ``path``
    takes them: CSV as ``morvik-price --risk`` writes it, or JSON records."""
    if os.path.splitext(path)[1].lower() == ".json":
        records = [{k: (None if _missing(v) else v) for k, v in row.items()}
                   for row in table.risk().astype(object).to_dict(orient="records")]
        return json.dumps(records, indent=1, ensure_ascii=False, allow_nan=False) + "\n"
    return risk_csv(table)


def write_text(text: str, path: str) -> None:
    """Writes ``text`` to ``path`` through a temporary file in its folder that
    replaces it in one step (write_table's way)."""
    folder = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".", suffix=".tmp")
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="") as f:
            f.write(text)
            f.flush()
            os.fsync(f.fileno())
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(temporary, 0o666 & ~umask)  # as an ordinary new file, not mkstemp's 0600
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


# -- the command line -------------------------------------------------------------

def _parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(
        prog="python -m morvik book",
        description="Values a book of term sheets on a Dask cluster, one task per note, and writes one table "
                    "(the long form of morvik-price --csv, with an error column).")
    p.add_argument("paths", nargs="+", metavar="PATH", help="term sheets, or folders of *.json term sheets")
    p.add_argument("--out", required=True, metavar="FILE", help="the table: FILE.csv or FILE.json (written atomically)")
    p.add_argument("--market", metavar="FILE", help="market file for the term sheets that name their underlyings by id")
    p.add_argument("--risk", metavar="FILE", help="the positions summed by currency and underlying: FILE.csv or "
                   "FILE.json (written atomically)")
    what = p.add_mutually_exclusive_group()
    what.add_argument("--greeks", action="store_true", help="delta, gamma and vega by underlying")
    what.add_argument("--full", action="store_true", help="the greeks, theta and rho")
    p.add_argument("--trials", type=int, metavar="N", help="Monte Carlo trials of every note (default: each term sheet's)")
    p.add_argument("--workers", type=int, metavar="N",
                   help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--scheduler", metavar="ADDRESS", help="join the cluster of this scheduler (tcp://host:8786) "
                   "instead of starting a local one")
    p.add_argument("--dashboard", action="store_true",
                   help=f"the local cluster serves Dask's dashboard on {DASHBOARD_ADDRESS} (default: none)")
    _scenario_arguments(p)
    return p


def _numbers(text: str) -> Tuple[float, ...]:
    """"a,b,c" as numbers (argparse turns a ValueError into its message)."""
    return tuple(float(item) for item in text.split(","))


def _scenario_arguments(p: argparse.ArgumentParser) -> None:
    """The scenario options, as morvik-price has them."""
    g = p.add_argument_group("scenarios (each note's, in its task, on its random numbers; as morvik-price's)")
    g.add_argument("--spot-ladder", type=_numbers, metavar="STEPS", help="spot steps in per cent, all underlyings")
    g.add_argument("--ladder-each", action="store_true", help="the ladder of each underlying alone as well")
    g.add_argument("--vol-grid", metavar="SPOTS:VOLS", help="spot steps (per cent) by vol shifts (vol points)")
    g.add_argument("--rate-shift", type=_numbers, metavar="BP", help="parallel rate shifts in basis points")
    g.add_argument("--dividend-shift", type=_numbers, metavar="BP", help="dividend yield shifts in basis points")
    g.add_argument("--correlation-shift", type=_numbers, metavar="X", help="shifts of every correlation")
    g.add_argument("--vega-buckets", action="store_true", help="vega per time point of each local volatility grid")
    g.add_argument("--scenario-out", metavar="FILE", help="the scenarios: FILE.csv or FILE.json (written atomically)")


def _scenarios(parser: argparse.ArgumentParser, args: argparse.Namespace) -> Optional[Scenarios]:
    """The scenarios the options ask for (None for none); a wrong option is
    the parser's error."""
    grid = None
    if args.vol_grid is not None:
        try:
            spots, vols = args.vol_grid.split(":")
            grid = (_numbers(spots), _numbers(vols))
        except ValueError:
            parser.error(f"--vol-grid takes spot steps and vol shifts separated by a colon (-10,0,10:-2,0,2), "
                         f"not {args.vol_grid!r}")
    wanted = Scenarios(spot_ladder=args.spot_ladder or (), ladder_each=args.ladder_each, vol_grid=grid,
                       rate_shift=args.rate_shift or (), dividend_shift=args.dividend_shift or (),
                       correlation_shift=args.correlation_shift or (), vega_buckets=args.vega_buckets)
    if bool(wanted) != bool(args.scenario_out):
        parser.error("the scenario options and --scenario-out FILE go together")
    if args.scenario_out and os.path.splitext(args.scenario_out)[1].lower() not in (".csv", ".json"):
        parser.error(f"--scenario-out names a .csv or .json file, not {args.scenario_out!r}")
    return wanted if wanted else None


def main(argv: Optional[Sequence[str]] = None) -> int:
    """``python -m morvik book PATHS... --out FILE [options]``. Exit status 0
    when every note was valued, 1 when some failed (their rows say why), 2 when
    the options are wrong or the table cannot be written."""
    parser = _parser()
    args = parser.parse_args(argv)
    if os.path.splitext(args.out)[1].lower() not in (".csv", ".json"):
        parser.error(f"--out names a .csv or .json file, not {args.out!r}")
    if args.workers is not None and args.workers < 1:
        parser.error("--workers takes a whole number from 1")
    if args.workers is not None and args.scheduler:
        parser.error("--workers is for the local cluster; a cluster at --scheduler has its own workers")
    if args.dashboard and args.scheduler:
        parser.error("--dashboard is for the local cluster; a cluster at --scheduler serves its own")
    out = os.path.realpath(args.out)
    if any(isinstance(p, str) and os.path.realpath(p) == out for p in _sources(args.paths)):
        parser.error(f"--out {args.out} is one of the book's term sheets")
    if args.risk is not None:
        if os.path.splitext(args.risk)[1].lower() not in (".csv", ".json"):
            parser.error(f"--risk names a .csv or .json file, not {args.risk!r}")
        risk_path = os.path.realpath(args.risk)
        if risk_path == out or any(isinstance(p, str) and os.path.realpath(p) == risk_path
                                   for p in [*_sources(args.paths), *([args.market] if args.market else [])]):
            parser.error(f"--risk {args.risk} is --out or one of the book's inputs")
    if args.market is not None and os.path.realpath(args.market) == out:
        parser.error(f"--out {args.out} is the market file")
    wanted = _scenarios(parser, args)
    try:
        check_writable(args.out)  # before the book is priced, not after
        if args.risk is not None:
            check_writable(args.risk)
        if wanted is not None:
            check_writable(args.scenario_out)
    except OSError as e:
        print(f"morvik book: {e}", file=sys.stderr)
        return 2
    start = time.monotonic()
    try:
        if wanted is None:
            frame = price_book(args.paths, greeks=args.greeks, full=args.full, trials=args.trials,
                               workers=args.workers, scheduler=args.scheduler, dashboard=args.dashboard,
                               market=args.market)
        else:
            frame, scenario_table = book_scenarios(args.paths, wanted, greeks=args.greeks, full=args.full,
                                                   trials=args.trials, workers=args.workers,
                                                   scheduler=args.scheduler, dashboard=args.dashboard,
                                                   market=args.market)
    except TermSheetError as e:  # the market file
        print(f"morvik book: {e}", file=sys.stderr)
        return 2
    except ValueError as e:
        parser.error(str(e))
    except OSError as e:  # the scheduler cannot be reached
        print(f"morvik book: {e}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print(f"morvik book: interrupted; {args.out} not written", file=sys.stderr)
        return 130
    failed = frame["error"].dropna()
    for error in failed:
        print(error, file=sys.stderr)
    refused = 0
    try:
        write_table(frame, args.out)
        if wanted is not None:
            for row in scenario_table.itertuples(index=False):
                if row.error is not None:
                    refused += 1
                    print(f"{row.note}: scenario {row.scenario} {row.shift:g}: {row.error}", file=sys.stderr)
            write_scenarios(scenario_table, args.scenario_out)
        if args.risk is not None:
            write_text(risk_text(frame, args.risk), args.risk)
    except OSError as e:  # the folder changed while the book was priced
        print(f"morvik book: cannot write {e.filename or args.out}: {e.strerror or e}", file=sys.stderr)
        return 2
    notes = int((frame["quantity"] == "status").sum())
    refusals = f", {refused} scenarios refused" if refused else ""
    print(f"morvik book: {notes} notes, {notes - len(failed)} valued, {len(failed)} failed{refusals}; "
          f"{args.out} written in {_clock(time.monotonic() - start)}", file=sys.stderr)
    return 1 if len(failed) or refused else 0
