"""One note split over a Dask cluster: the same valuation, bit for bit, as
one process, whatever the tasks, and when a task fails once and is run
again; options that cannot be split are refused."""

import numpy as np
import pytest
from distributed import Client, LocalCluster

import morvik
from morvik import _morvik, split
from morvik.errors import PricingError

from conftest import STEPDOWN

PHOENIX = "examples/three_stock_monthly_coupons.json"


@pytest.fixture(scope="module")
def client():
    # Two workers in this process: fast to start, and the tasks still travel
    # through the scheduler as on any cluster.
    cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=False, dashboard_address=None)
    c = Client(cluster)
    yield c
    c.close()
    cluster.close()


def test_split_over_a_cluster_is_the_single_process_valuation(client):
    one = morvik.price(STEPDOWN, trials=2100, full=True, stream="aligned", seed=5, convergence=True)
    spread = morvik.price(STEPDOWN, trials=2100, full=True, stream="aligned", seed=5, convergence=True,
                          client=client, tasks=16)
    assert spread.to_json() == one.to_json()
    assert spread.greeks is not None and not spread.greeks["delta_std_error"].isna().any()
    # More tasks than blocks: one block each; sobol's blocks stay inside scramblings.
    one = morvik.price(PHOENIX, trials=512, greeks=True, stream="sobol", scrambles=4)
    spread = morvik.price(PHOENIX, trials=512, greeks=True, stream="sobol", scrambles=4, client=client, tasks=40,
                          threads=2)
    assert spread.to_json() == one.to_json()


# The first range's task as a worker runs it: it fails on its first try.
CALLS = []
VALUE_BLOCKS = split.value_blocks


def flaky(label, text, first, last, request, threads=1):
    CALLS.append(first)  # the workers run in this process
    if first == 0 and CALLS.count(0) == 1:
        raise OSError("worker lost its disk")
    return VALUE_BLOCKS(label, text, first, last, request, threads)


def test_a_task_that_fails_once_is_run_again(client, monkeypatch):
    monkeypatch.setattr(split, "value_blocks", flaky)
    CALLS.clear()
    one = morvik.price(STEPDOWN, trials=1200, greeks=True, stream="aligned")
    spread = morvik.price(STEPDOWN, trials=1200, greeks=True, stream="aligned", client=client, tasks=3)
    assert sorted(CALLS) == [0, 0, 4, 7]
    assert spread.to_json() == one.to_json()
    CALLS.clear()
    with pytest.raises(OSError, match="lost its disk"):
        morvik.price(STEPDOWN, trials=1200, stream="aligned", client=client, tasks=3, retries=0)


def test_what_cannot_be_split_is_refused(client):
    with pytest.raises(ValueError, match="aligned or sobol"):
        morvik.price(STEPDOWN, trials=1000, client=client)
    with pytest.raises(ValueError, match="one run"):
        morvik.price(STEPDOWN, trials=1000, stream="aligned", replications=2, client=client)
    with pytest.raises(ValueError, match="tasks"):
        morvik.price(STEPDOWN, trials=1000, stream="aligned", client=client, tasks=0)
    with pytest.raises(ValueError, match="client"):
        morvik.price(STEPDOWN, trials=1000, stream="aligned", tasks=4)
    # Parts of another seed are refused when combined, never priced.
    note = morvik.load(STEPDOWN)
    options = dict(compute=1, trials=1000, seed=None, aligned=True, convergence=False, sobol=False, scrambles=16)
    part = split.value_blocks(note.label, note.expanded_text(), 0, 8, dict(options, seed=3))
    report = _morvik.combine_blocks(note, [part], **options)
    assert report.status < 0 and "another note, seed or request" in report.error
    assert split.block_ranges(10, 4) == [(0, 3), (3, 6), (6, 8), (8, 10)]
    assert split.block_ranges(2, 16) == [(0, 1), (1, 2)]
    assert np.asarray(part).dtype == np.float64
    with pytest.raises(PricingError):
        bad = morvik.load(STEPDOWN).expanded()
        bad["underlyings"][0]["spot"] = -1.0
        morvik.price(bad, trials=1000, stream="aligned", client=client)
