"""``python -m morvik price FILE... [options]``: the morvik-price command
(same options, outputs and exit statuses), run by the tool's own C++ code."""

import sys

from . import _morvik

USAGE = ("usage: python -m morvik price FILE... [options]\n"
         "prices JSON term sheets as morvik-price does; python -m morvik price --help lists the options")


def main(argv=None):
    args = sys.argv[1:] if argv is None else list(argv)
    if not args or args[0] != "price":
        print(USAGE, file=sys.stderr)
        return 2
    return _morvik.run_morvik_price(args[1:], sys.stdout, sys.stderr, sys.stderr.isatty())


if __name__ == "__main__":
    sys.exit(main())
