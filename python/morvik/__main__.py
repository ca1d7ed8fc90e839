"""``python -m morvik price FILE... [options]``: the morvik-price command
(same options, outputs and exit statuses), run by the tool's own C++ code.
``python -m morvik book PATH... --out FILE [options]``: a book valued on a
Dask cluster (morvik.book)."""

import sys

from . import _morvik

USAGE = ("usage: python -m morvik price FILE... [options]\n"
         "       python -m morvik book PATH... --out FILE.csv|FILE.json [options]\n"
         "prices JSON term sheets as morvik-price does, or values a book on a Dask cluster; "
         "--help after the command lists its options")


def main(argv=None):
    args = sys.argv[1:] if argv is None else list(argv)
    if args and args[0] == "book":
        from .book import main as book_main  # dask is loaded for books only
        return book_main(args[1:])
    if not args or args[0] != "price":
        print(USAGE, file=sys.stderr)
        return 2
    return _morvik.run_morvik_price(args[1:], sys.stdout, sys.stderr, sys.stderr.isatty())


if __name__ == "__main__":
    sys.exit(main())
