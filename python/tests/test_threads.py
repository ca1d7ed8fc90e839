"""Python threads price side by side: the GIL is released while the library
works, and every result is the one-thread result."""

import threading
import time

import morvik
from conftest import EXAMPLES, STEPDOWN


def test_two_threads_give_the_single_thread_results():
    notes = [morvik.load(path) for path in EXAMPLES[:2]]
    alone = [morvik.price(n, trials=3000).to_json() for n in notes]
    together = [None, None]

    def work(k):
        together[k] = morvik.price(notes[k], trials=3000).to_json()

    threads = [threading.Thread(target=work, args=(k,)) for k in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert together == alone


def test_the_gil_is_free_while_pricing():
    note = morvik.load(STEPDOWN)
    done = threading.Event()
    took = []

    def work():
        start = time.perf_counter()
        morvik.price(note, trials=20000)
        took.append(time.perf_counter() - start)
        done.set()

    worker = threading.Thread(target=work)
    gaps, last = [], time.perf_counter()
    worker.start()
    while not done.is_set():  # this loop runs only when the worker lets go of the GIL
        now = time.perf_counter()
        gaps.append(now - last)
        last = now
    worker.join()
    # Held for the call, the GIL would stop this thread for the whole of it.
    assert took[0] > 0.1 and max(gaps) < took[0] / 2
