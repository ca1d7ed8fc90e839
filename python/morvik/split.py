"""One note's valuation split over a Dask cluster.

The paths of a valuation on the aligned or sobol stream run in blocks of 128
(every valuation of the greeks included). ``price_split`` cuts the note's
blocks into consecutive ranges, one task each; a worker reads the term sheet
from its text, values its range and returns the blocks' raw sums (a part, a
float64 array); the client combines the parts in block order into the
note's ``Valuation``, bit for bit the valuation of ``morvik.price`` with the
same options on one machine, whatever the number of workers or tasks, the
order the parts arrive in, or the tasks lost and run again. Every part
carries a key of the note and the request: parts of another note, seed or
request are refused, never combined.

``morvik.price(note, ..., client=client)`` calls it; ``python -m morvik
price-split NOTE`` is the command line (``main``)."""

from __future__ import annotations

import argparse
import os
import sys
import time
import uuid
from typing import Any, Dict, Iterator, List, Optional, Sequence, Tuple

import numpy as np

from . import _morvik  # loaded once per worker process
from .errors import PricingError, TermSheetError
from .note import NoteLike, as_note, loads
from .valuation import Valuation, _request

# Tasks per worker by default: enough that a slow or lost task is a small
# share of the run, at least MIN_TASKS in all.
TASKS_PER_WORKER = 4
MIN_TASKS = 16
# A task that raises is run again this many times; a task whose worker dies
# is run again by the scheduler (its allowed-failures).
RETRIES = 2


def _part_request(request: Dict[str, Any]) -> Dict[str, Any]:
    """The options of ``_morvik.price_blocks`` and ``combine_blocks``."""
    return {k: request[k] for k in ("compute", "trials", "seed", "aligned", "convergence", "sobol", "scrambles",
                                 "conditional")}


def value_blocks(label: str, text: str, first: int, last: int, request: Dict[str, Any],
                 threads: int = 1) -> "np.ndarray[Any, np.dtype[np.float64]]":
    """A worker's task: the term sheet ``text`` (named ``label``) read, and
    blocks ``[first, last)`` of its valuation with ``request`` (the options of
    ``_morvik.price_blocks``) valued on ``threads`` threads; returns the part.
    Raises TermSheetError or PricingError when the note cannot be valued."""
    note = loads(text, label)
    status, error, _, part = _morvik.price_blocks(note, first, last, threads=threads, **request)
    if status < 0:
        raise PricingError(label, status, error or "")
    return part


def block_ranges(blocks: int, tasks: int) -> List[Tuple[int, int]]:
    """``blocks`` blocks cut into ``tasks`` consecutive ranges (fewer when
    there are fewer blocks) whose sizes differ by one at most."""
    tasks = max(1, min(tasks, blocks))
    base, extra = divmod(blocks, tasks)
    ranges, first = [], 0
    for k in range(tasks):
        last = first + base + (1 if k < extra else 0)
        ranges.append((first, last))
        first = last
    return ranges


def _workers(client: Any) -> int:
    return max(1, len(client.scheduler_info().get("workers", {})))


def price_split(note: NoteLike, client: Any, *, trials: Optional[int] = None, greeks: bool = False,
                full: bool = False, seed: Optional[int] = None, stream: Optional[str] = "aligned", threads: int = 1,
                convergence: bool = False, scrambles: Optional[int] = None, estimator: str = "plain",
                tasks: Optional[int] = None, retries: int = RETRIES) -> Valuation:
    """``note`` valued on the cluster of ``client`` (a ``distributed.Client``)
    in ``tasks`` ranges of blocks (default: 4 per worker, at least 16; never
    more than the blocks), each task on ``threads`` threads of its worker and
    run again up to ``retries`` times when it raises; the other options as in
    ``morvik.price``, on ``stream`` ``"aligned"`` or ``"sobol"``. Returns the
    ``Valuation`` that ``morvik.price`` gives for the same options, bit for
    bit. Raises ValueError for options that cannot be split, PricingError
    when the library rejects the note or the parts do not make it up."""
    request = _request(trials, greeks, full, seed, stream, threads, None, convergence, scrambles, estimator)
    _morvik.check_split(**request)
    if tasks is not None and (not isinstance(tasks, int) or isinstance(tasks, bool) or tasks < 1):
        raise ValueError(f"tasks takes a whole number from 1, not {tasks!r}")
    if not isinstance(retries, int) or isinstance(retries, bool) or retries < 0:
        raise ValueError(f"retries takes a whole number from 0, not {retries!r}")
    note = as_note(note)
    text = note.expanded_text()  # the term sheet travels as text, as in books
    options = _part_request(request)
    # The call's blocks, and a rejection before the cluster is asked for anything.
    status, error, blocks, _ = _morvik.price_blocks(note, 0, 0, **options)
    if status < 0:
        raise PricingError(note.label, status, error or "")
    if tasks is None:
        tasks = max(MIN_TASKS, TASKS_PER_WORKER * _workers(client))
    ranges = block_ranges(blocks, tasks) if blocks > 0 else []
    token = uuid.uuid4().hex
    futures = client.map(value_blocks, [note.label] * len(ranges), [text] * len(ranges),
                         [r[0] for r in ranges], [r[1] for r in ranges], request=options,
                         threads=request["threads"], key=[f"morvik-blocks-{token}-{r[0]}" for r in ranges],
                         retries=retries, pure=False)

    def in_order() -> Iterator[Any]:
        # Each part fetched when the library reaches its blocks, and let go
        # once taken: the client holds one part at a time, a worker each
        # part until it is fetched. A part lost with its worker before that
        # is computed again: result() waits for it.
        for k in range(len(futures)):
            part = futures[k].result()
            futures[k] = None
            yield part

    try:
        report = _morvik.combine_blocks_in_order(note, in_order(), **options)
    finally:
        client.cancel([f for f in futures if f is not None and not f.done()])
    if report.error is not None:
        raise PricingError(report.file, report.status, report.error)
    return Valuation(note, report)


# -- the command line -------------------------------------------------------------

def _parser() -> argparse.ArgumentParser:
    p = argparse.ArgumentParser(
        prog="python -m morvik price-split",
        description="Values one term sheet on a Dask cluster, its paths split by ranges of blocks over tasks; "
                    "the result is morvik-price's for the same options, bit for bit.")
    p.add_argument("note", metavar="NOTE", help="the term sheet (a JSON file)")
    what = p.add_mutually_exclusive_group()
    what.add_argument("--greeks", action="store_true", help="delta, gamma and vega by underlying")
    what.add_argument("--full", action="store_true", help="the greeks, theta and rho")
    p.add_argument("--trials", type=int, metavar="N", help="Monte Carlo trials (default: the term sheet's)")
    p.add_argument("--stream", choices=("aligned", "sobol"), default="aligned",
                   help="random numbers: aligned (default) or sobol")
    p.add_argument("--seed", type=int, metavar="N", help="start the stream elsewhere (any whole number)")
    p.add_argument("--scrambles", type=int, metavar="R", help="--stream sobol: scramblings sharing the trials")
    p.add_argument("--convergence", action="store_true", help="the running price at 1000, 2000, 5000, ... paths")
    p.add_argument("--estimator", choices=("plain", "conditional"), default="plain",
                   help="plain (default) or conditional: redemptions smoothed, steadier greeks")
    p.add_argument("--tasks", type=int, metavar="N",
                   help=f"ranges of blocks, one task each (default: {TASKS_PER_WORKER} per worker, "
                        f"at least {MIN_TASKS})")
    p.add_argument("--threads", type=int, default=1, metavar="N", help="threads of each task on its worker")
    p.add_argument("--retries", type=int, default=RETRIES, metavar="N",
                   help=f"times a task that raises is run again (default {RETRIES})")
    p.add_argument("--workers", type=int, metavar="N",
                   help="worker processes of the local cluster (default: one per core)")
    p.add_argument("--scheduler", metavar="ADDRESS",
                   help="join the cluster of this scheduler (tcp://host:8786) instead of starting a local one")
    p.add_argument("--json", action="store_true", help="print morvik-price --json's document for the note")
    return p


def main(argv: Optional[Sequence[str]] = None) -> int:
    """``python -m morvik price-split NOTE [options]``. Exit status 0 when
    the note was valued, 1 when it was not (the reason on standard error),
    2 when the options are wrong."""
    from .book import close_client, start_local_cluster  # dask is loaded here only
    parser = _parser()
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 1:
        parser.error("--workers takes a whole number from 1")
    if args.workers is not None and args.scheduler:
        parser.error("--workers is for the local cluster; a cluster at --scheduler has its own workers")
    if args.stream != "sobol" and args.scrambles is not None:
        parser.error("--scrambles belongs to --stream sobol")
    try:
        note = as_note(args.note)
    except TermSheetError as e:
        print(e, file=sys.stderr)
        return 1
    kwargs: Dict[str, Any] = {"trials": args.trials, "greeks": args.greeks, "full": args.full, "seed": args.seed,
                              "stream": args.stream, "threads": args.threads, "convergence": args.convergence,
                              "scrambles": args.scrambles, "estimator": args.estimator}
    try:
        _morvik.check_split(**_request(args.trials, args.greeks, args.full, args.seed, args.stream, args.threads,
                                       None, args.convergence, args.scrambles, args.estimator))
        if args.tasks is not None and args.tasks < 1:
            raise ValueError("--tasks takes a whole number from 1")
        if args.retries < 0:
            raise ValueError("--retries takes a whole number from 0")
    except ValueError as e:
        parser.error(str(e))
    start = time.monotonic()
    try:
        from distributed import Client
        client = Client(args.scheduler) if args.scheduler else start_local_cluster(args.workers)
    except OSError as e:  # the scheduler cannot be reached
        print(f"morvik price-split: {e}", file=sys.stderr)
        return 2
    try:
        valuation = price_split(note, client, tasks=args.tasks, retries=args.retries, **kwargs)
    except PricingError as e:
        print(e, file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("morvik price-split: interrupted", file=sys.stderr)
        return 130
    finally:
        close_client(client)
    if args.json:
        sys.stdout.write(valuation.to_json())
    else:
        print(f"{os.fspath(args.note)}: {valuation.summary()}")
        if valuation.std_error is not None:
            print(f"standard error: {valuation.std_error:,.2f} {note.currency}")
        if valuation.greeks is not None:
            print(valuation.greeks.to_string())
    print(f"morvik price-split: valued in {time.monotonic() - start:.1f} s", file=sys.stderr)
    return 0
