"""Ctrl-C stops a long call: a process pricing a note of a billion trials
(or the arrays' call) gets SIGINT while the library works with the GIL
released, and raises KeyboardInterrupt from the call within moments;
``python -m morvik price`` ends as morvik-price does."""

import signal
import subprocess
import sys
import time

import pytest

import morvik
from conftest import ROOT, STEPDOWN

# The child prints "calling", makes the call, and reports how long it ran
# before KeyboardInterrupt (exit 3); a call that finishes exits 0.
CHILD = r"""
import sys, time
import morvik
how = sys.argv[1]
note = morvik.load(sys.argv[2])
top = morvik._morvik.MAX_TRIALS
if how == "capi":
    arrays = note.inputs
    arrays.update(NTrials=float(top), CalcFlag=[1, 0])
    call = lambda: morvik.capi.calc_morvik_mc(**arrays)
elif how == "aligned":
    # The aligned stream keeps a tally per block of paths: fewer trials.
    call = lambda: morvik.price(note, trials=10**7, stream="aligned", threads=2)
else:
    call = lambda: morvik.price(note, trials=top, greeks=how == "greeks", threads=2 if how == "greeks" else 1)
print("calling", flush=True)
start = time.monotonic()
try:
    call()
except KeyboardInterrupt:
    print(f"interrupted after {time.monotonic() - start:.2f} s", flush=True)
    sys.exit(3)
print("finished", flush=True)
"""


def _interrupted(command, ready):
    """Runs `command`, sends SIGINT two seconds after it printed `ready` (or
    started, for None); its exit status, output and the seconds it took to
    end after the signal (at most 30)."""
    # The child takes SIGINT's default action even when the suite runs where
    # it is ignored (a background job of a shell without job control):
    # Python then installs no handler of its own and the signal is lost.
    child = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                             preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
    try:
        if ready is not None:
            assert child.stdout.readline() == ready, child.stderr.read()
        time.sleep(2.0)  # well inside the call, which would run for hours
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=30)
        return child.returncode, out + err, time.monotonic() - sent
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()


@pytest.mark.parametrize("how", ["price", "greeks", "aligned", "capi"])
def test_sigint_stops_a_long_call_with_keyboard_interrupt(how):
    status, out, waited = _interrupted([sys.executable, "-c", CHILD, how, STEPDOWN], "calling\n")
    assert status == 3, out
    assert float(out.split()[2]) >= 1.5, out  # the signal came while the library was pricing
    assert waited < 10, waited


def test_sigint_ends_the_command_as_it_ends_the_tool(tmp_path):
    trials = str(morvik._morvik.MAX_TRIALS)
    csv = tmp_path / "book.csv"
    csv.write_text("note,pricing_date,price\nolder,2025-01-02,1\n")
    command = [sys.executable, "-m", "morvik", "price", STEPDOWN, "--trials", trials, "--csv", str(csv)]
    status, out, waited = _interrupted(command, None)
    assert status in (-signal.SIGINT, 130), (status, out)
    assert waited < 10, waited
    # The CSV being written is left as it was, and no temporary file stays.
    assert csv.read_text() == "note,pricing_date,price\nolder,2025-01-02,1\n"
    assert [p.name for p in tmp_path.iterdir()] == ["book.csv"]
