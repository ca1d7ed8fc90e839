"""Shared fixtures: the repository's examples, the morvik-price executable
the package is compared with, and its JSON (run once per set of options)."""

import glob
import json
import os
import subprocess

import matplotlib
import pytest

matplotlib.use("Agg")

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLES = sorted(os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, "examples", "*.json")))
STEPDOWN = os.path.join("examples", "two_stock_stepdown.json")
MID_LIFE = os.path.join("examples", "mid_life_pending_coupon.json")


@pytest.fixture(autouse=True)
def at_root(monkeypatch):
    # Files are named as the tool is given them, relative to the repository.
    monkeypatch.chdir(ROOT)


def _find_tool():
    candidates = [os.environ.get("MORVIK_PRICE", ""),
                  os.path.join(ROOT, "build", "release", "tools", "morvik-price"),
                  os.path.join(ROOT, "build", "python", "tools", "morvik-price")]
    for path in candidates:
        if path and os.access(path, os.X_OK):
            return path
    pytest.fail("no morvik-price to compare with: build it (scripts/install-python.sh does) or set MORVIK_PRICE")


class Tool:
    def __init__(self, path):
        self.path = path
        self._json = {}

    def run(self, *args, check=True):
        done = subprocess.run([self.path, *args], cwd=ROOT, capture_output=True, text=True)
        if check and done.returncode != 0:
            raise AssertionError(f"morvik-price {' '.join(args)} exited {done.returncode}: {done.stderr}")
        return done

    def json_text(self, *args):
        """stdout of ``morvik-price ARGS --json``, cached for the session."""
        if args not in self._json:
            self._json[args] = self.run(*args, "--json").stdout
        return self._json[args]

    def notes(self, *args):
        return json.loads(self.json_text(*args))["notes"]


@pytest.fixture(scope="session")
def tool():
    return Tool(_find_tool())
