"""``python -m morvik price FILE... [options]``: the morvik-price command
(same options, outputs and exit statuses), run by the tool's own C++ code.
``python -m morvik book PATH... --out FILE [options]``: a book valued on a
Dask cluster (morvik.book).
``python -m morvik price-split NOTE [options]``: one note's paths split over
a Dask cluster (morvik.split)."""

from __future__ import annotations

import signal
import sys
import threading
from typing import Optional, Sequence

from . import _morvik

USAGE = ("usage: python -m morvik price FILE... [options]\n"
         "       python -m morvik book PATH... --out FILE.csv|FILE.json [options]\n"
         "       python -m morvik price-split NOTE [--tasks N] [--scheduler ADDRESS] [options]\n"
         "prices JSON term sheets as morvik-price does, or values a book on a Dask cluster; "
         "--help after the command lists its options")


def main(argv: Optional[Sequence[str]] = None) -> int:
    args = sys.argv[1:] if argv is None else list(argv)
    if args and args[0] == "book":
        from .book import main as book_main  # dask is loaded for books only
        return book_main(args[1:])
    if args and args[0] == "price-split":
        from .split import main as split_main
        return split_main(args[1:])
    if not args or args[0] != "price":
        print(USAGE, file=sys.stderr)
        return 2
    # The command is the tool's C++ code, run to its end with the GIL
    # released, where Python's own handler would only note a Ctrl-C: the
    # tool's handlers end the command as they end morvik-price, removing the
    # temporary file of an output not yet complete.
    main_thread = threading.current_thread() is threading.main_thread()
    previous = signal.getsignal(signal.SIGINT) if main_thread else None
    if main_thread:
        _morvik.remove_temporary_files_on_signals()
    try:
        return _morvik.run_morvik_price(args[1:], sys.stdout, sys.stderr, sys.stderr.isatty())
    finally:
        if previous is not None:
            signal.signal(signal.SIGINT, previous)


if __name__ == "__main__":
    sys.exit(main())
