"""python -m morvik price is the morvik-price command: same output, same
messages, same exit statuses."""

import importlib.metadata
import os
import re
import subprocess
import sys

import morvik

from conftest import MID_LIFE, ROOT, STEPDOWN


def _module(*args):
    return subprocess.run([sys.executable, "-m", "morvik", *args], cwd=ROOT, capture_output=True, text=True)


def test_command_matches_the_tool(tool):
    cases = [
        (STEPDOWN, MID_LIFE, "--trials", "1500", "--jobs", "2"),
        (STEPDOWN, "--trials", "1500", "--ladder"),
        ("examples/no_such.json", STEPDOWN, "--trials", "300"),
        (STEPDOWN, "--trials", "1.5"),
        (STEPDOWN, "--expand"),
    ]
    for args in cases:
        ours, theirs = _module("price", *args), tool.run(*args, check=False)
        assert (ours.returncode, ours.stdout, ours.stderr) == (theirs.returncode, theirs.stdout, theirs.stderr), args
    assert _module("price", "--help").stdout == tool.run("--help").stdout
    assert _module("value", STEPDOWN).returncode == 2


def test_one_version_for_library_tool_and_package(tool):
    with open(os.path.join(ROOT, "interface", "morvik.h"), encoding="utf-8") as f:
        header = f.read()
    parts = {k: re.search(rf"#define MORVIK_VERSION_{k} (\d+)", header).group(1) for k in ("MAJOR", "MINOR", "PATCH")}
    version = ".".join(parts[k] for k in ("MAJOR", "MINOR", "PATCH"))
    assert f'#define MORVIK_VERSION "{version}"' in header
    assert morvik.__version__ == importlib.metadata.version("morvik") == version
    assert tool.run("--version").stdout.startswith(f"morvik-price {version} ")
