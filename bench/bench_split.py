"""One note split over a local Dask cluster against the same note valued in
one process: wall times on one and two workers, bit-identical results, also
when a worker is killed part-way through.

    build/venv/bin/python bench/bench_split.py [--note FILE] [--trials 1000000] [--tasks 16]

The note (default: examples/two_index_semiannual.json) is valued with greeks on the
aligned stream: first in this process on one thread, then by
``morvik.price(..., client=...)`` in --tasks ranges of blocks on a
LocalCluster of one worker process and of two, and once more on two workers
with one worker killed (SIGKILL) a third of the way through: its tasks are
run again on the worker the nanny starts in its place. Every JSON document
must be the single process's, byte for byte. The load average is printed
before and after: the numbers mean little on a machine busy with other
work."""

import argparse
import os
import signal
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)


def _load():
    return "load average %.2f %.2f %.2f" % os.getloadavg()


def _timed(function, *args, **kwargs):
    start = time.perf_counter()
    result = function(*args, **kwargs)
    return result, time.perf_counter() - start


def _kill_one_worker(client, after, killed):
    """SIGKILL to one worker process `after` seconds from now."""
    time.sleep(after)
    pids = client.run(os.getpid)
    address, pid = sorted(pids.items())[0]
    os.kill(pid, signal.SIGKILL)
    killed.append((address, pid, time.perf_counter()))


def main(argv=None):
    import morvik
    from morvik import book

    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--note", default=os.path.join(ROOT, "examples", "two_index_semiannual.json"))
    parser.add_argument("--trials", type=int, default=1000000)
    parser.add_argument("--tasks", type=int, default=16)
    args = parser.parse_args(argv)
    options = dict(trials=args.trials, greeks=True, stream="aligned")

    print(f"{_load()}; {os.cpu_count()} cores")
    print(f"note: {os.path.relpath(args.note, ROOT)}, {args.trials} trials, greeks, aligned stream, "
          f"{args.tasks} tasks")
    one, wall = _timed(morvik.price, args.note, **options)
    expected = one.to_json()
    print(f"one process, one thread: {wall:.1f} s; price {one.price!r}, std error {one.std_error!r}")

    same = True
    walls = {}
    for workers, kill in ((1, False), (2, False), (2, True)):
        client, started = _timed(book.start_local_cluster, workers)
        try:
            killed = []
            killer = None
            if kill:
                killer = threading.Thread(target=_kill_one_worker, args=(client, walls[2] / 3, killed))
                killer.start()
            v, wall = _timed(morvik.price, args.note, client=client, tasks=args.tasks, **options)
            if killer is not None:
                killer.join()
            identical = v.to_json() == expected
            same = same and identical
            if not kill:
                walls[workers] = wall
            what = f"{workers} worker{'s' if workers > 1 else ''}"
            if kill:
                what += f", one killed after {walls[2] / 3:.1f} s (pid {killed[0][1]})" if killed else \
                    ", none killed (the run ended first)"
            print(f"split, {what}: {wall:.1f} s (cluster start {started:.1f} s); "
                  f"{'bit-identical' if identical else 'DIFFERENT'}")
        finally:
            book.close_client(client)
    print(f"speed-up from one worker to two: {walls[1] / walls[2]:.2f}")
    print(_load())
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
