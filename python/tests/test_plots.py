"""Figures are drawn from the valuation's and the scenarios' own numbers and
saved as PNG files."""

import subprocess
import sys

import pandas as pd
import pytest

import morvik
from conftest import MID_LIFE

PNG = b"\x89PNG\r\n\x1a\n"


def _saved(fig, path):
    fig.savefig(path, dpi=60)
    data = path.read_bytes()
    assert data.startswith(PNG) and len(data) > 5000
    return fig


def test_valuation_figure_shows_outcomes_and_coupons(tmp_path):
    v = morvik.price(morvik.load(MID_LIFE), trials=2000)
    fig = _saved(v.plot(), tmp_path / "valuation.png")
    probabilities, values = fig.axes
    assert [p.get_width() for p in probabilities.patches] == list(v.outcomes["probability"] * 100.0)
    widths = [p.get_width() for p in values.patches]
    assert widths[:-1] == list(v.outcomes["discounted_value"])
    assert widths[-1] == pytest.approx(v.coupons["discounted_value"].sum())
    assert [t.get_text() for t in values.get_yticklabels()][-1] == "coupons"


def test_scenario_frames_plot_themselves(tmp_path):
    note = morvik.load(MID_LIFE)
    lad = morvik.ladder(note, moves=(-0.2, 0.0, 0.2), trials=500)
    fig = _saved(lad.morvik.plot(), tmp_path / "ladder.png")
    assert list(fig.axes[0].lines[0].get_ydata()) == list(lad["price"])
    grid = morvik.grid(note, spot_moves=(-0.2, 0.0), vol_moves=(0.0, 0.05), trials=500)
    fig = _saved(grid.morvik.plot(), tmp_path / "grid.png")
    assert [list(line.get_ydata()) for line in fig.axes[0].lines] == [list(grid[c]) for c in grid.columns]
    _saved(morvik.convergence(note, trials=1500).morvik.plot(), tmp_path / "convergence.png")
    with pytest.raises(TypeError, match="did not come from morvik"):
        pd.DataFrame({"price": [1.0]}).morvik.plot()


def test_matplotlib_is_loaded_by_the_first_figure_not_by_import():
    # Every import of morvik (each Dask worker, python -m morvik price) would pay for it.
    code = ("import sys, morvik\n"
            "assert 'matplotlib' not in sys.modules\n"
            "assert morvik.plots.ladder_figure and 'matplotlib' in sys.modules\n")
    subprocess.run([sys.executable, "-c", code], check=True)


def test_every_plot_draws_on_the_axes_it_is_given_and_returns_them(tmp_path):
    from matplotlib.figure import Figure

    note = morvik.load(MID_LIFE)
    v = morvik.price(note, trials=1000)
    fig = Figure()
    axes = fig.subplots(2, 3).ravel()
    assert v.plot(ax=(axes[0], axes[1])) == (axes[0], axes[1])
    assert [p.get_width() for p in axes[0].patches] == list(v.outcomes["probability"] * 100.0)
    assert [t.get_text() for t in axes[0].get_yticklabels()][-1] == "maturity knock-in, 2026-09-28"
    lad = morvik.ladder(note, moves=(-0.1, 0.0, 0.1), trials=300)
    grid = morvik.grid(note, spot_moves=(0.0, 0.1), vol_moves=(0.0,), trials=300)
    conv = morvik.convergence(note, trials=1200)
    for frame, ax in ((lad, axes[2]), (grid, axes[3]), (conv, axes[4])):
        assert frame.morvik.plot(ax=ax) is ax
        assert list(ax.lines[0].get_ydata()) == list(frame.iloc[:, 0]), frame.attrs["morvik"]
    assert morvik.plots.ladder_figure(lad, ax=axes[5]) is axes[5] and len(axes[5].lines) == 1
    _saved(fig, tmp_path / "axes.png")
    (cal,) = morvik.calibrate("examples/implied_vol_index.json")
    pair = Figure().subplots(1, 2)
    assert cal.plot(ax=pair) == (pair[0], pair[1]) and len(pair[0].lines) == len(cal.implied.index)
    with pytest.raises(TypeError, match="pair of matplotlib Axes"):
        v.plot(ax=axes[0])
    with pytest.raises(TypeError, match="ax is a matplotlib Axes"):
        lad.morvik.plot(ax=fig)
