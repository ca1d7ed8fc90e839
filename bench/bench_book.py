"""Books on one and two local workers, in one run: notes per minute with
greeks, the scaling from one worker to two, and the scheduling cost per note.

    build/venv/bin/python bench/bench_book.py [--notes 40] [--trials N] [--tiny 200]

The book is the bundled examples taken in turn up to --notes notes, each with
its own trial count (10000) unless --trials is given, valued with greeks on a
LocalCluster of one worker process and then of two (the clusters' start-up is
timed apart). The two tables must be the same, bit for bit. The scheduling
cost is measured on --tiny notes of 100 trials, price only, on one worker:
the book's wall time less the same notes priced in this process, per note.
The load average is printed before and after: the numbers mean little on a
machine busy with other work."""

import argparse
import glob
import os
import sys
import time

from pandas.testing import assert_frame_equal

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def _load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def _timed(function, *args, **kwargs):
    start = time.perf_counter()
    result = function(*args, **kwargs)
    return result, time.perf_counter() - start


def main(argv=None):
    from morvik import book
    from morvik.book_task import value_note

    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--notes", type=int, default=40, help="notes in the book with greeks (default 40)")
    parser.add_argument("--trials", type=int, help="trials of every note (default: each term sheet's)")
    parser.add_argument("--tiny", type=int, default=200, help="tiny notes for the scheduling cost (default 200)")
    args = parser.parse_args(argv)

    examples = sorted(glob.glob(os.path.join(ROOT, "examples", "*.json")))
    notes = [examples[k % len(examples)] for k in range(args.notes)]
    print(f"{_load()}; {os.cpu_count()} cores")
    print(f"book: {len(notes)} notes with greeks, {args.trials or 'their own'} trials")

    tables, walls = [], []
    for workers in (1, 2):
        client, started = _timed(book.start_local_cluster, workers)
        try:
            table, wall = _timed(book.price_book, notes, client, greeks=True, trials=args.trials, progress=False)
            if workers == 1:
                tiny_notes = [examples[k % len(examples)] for k in range(args.tiny)]
                _, tiny_wall = _timed(book.price_book, tiny_notes, client, trials=100, progress=False)
        finally:
            book.close_client(client)
        assert table["error"].isna().all(), table[table["error"].notna()]
        tables.append(table)
        walls.append(wall)
        print(f"  {workers} worker{'s' if workers > 1 else ' '}: {wall:7.2f} s, {len(notes) / wall * 60:6.1f} notes "
              f"per minute (cluster started in {started:.2f} s)")
    assert_frame_equal(tables[0], tables[1], check_exact=True)
    print(f"  scaling 1 -> 2 workers: {walls[0] / walls[1]:.2f}; the two tables are the same, bit for bit")

    entries = book.book_entries(tiny_notes)
    options = {"trials": 100, "greeks": False, "full": False}
    _, serial = _timed(lambda: [value_note(label, text, options) for label, text, _ in entries])
    print(f"scheduling: {args.tiny} notes of 100 trials, price only, on 1 worker: {tiny_wall:.2f} s, "
          f"in this process {serial:.2f} s: {(tiny_wall - serial) / args.tiny * 1000:.1f} ms per note")
    print(_load())
    return 0


if __name__ == "__main__":
    sys.exit(main())
