"""Figures of valuations and scenarios, drawn with matplotlib's object API
(no pyplot state: safe in loops and threads; a notebook shows a returned
Figure). Every function draws on the ``ax`` it is given and returns it, or,
without one, makes a new ``matplotlib.figure.Figure`` and returns that.

The frames of ``ladder``, ``grid`` and ``convergence`` also plot themselves:
``frame.morvik.plot(ax=None)``. matplotlib is loaded with this module, which
``import morvik`` leaves for the first figure."""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Callable, Dict, Optional, Sequence, Tuple, Union

import numpy as np
import pandas as pd
from matplotlib.axes import Axes
from matplotlib.figure import Figure
from matplotlib.ticker import FuncFormatter, MaxNLocator, PercentFormatter

if TYPE_CHECKING:
    from .valuation import Valuation


def _money(ax: Axes, axis: str = "y") -> None:
    """Amounts with thousands separators, few enough ticks to read them."""
    target = ax.yaxis if axis == "y" else ax.xaxis
    target.set_major_formatter(FuncFormatter(lambda v, _: f"{v:,.0f}"))
    target.set_major_locator(MaxNLocator(5))


def _labels(frame: pd.DataFrame) -> list[str]:
    """Row names of an outcome frame: the kind and the observation date."""
    return [f"{kind}, {pd.Timestamp(day).date().isoformat()}" for kind, day in frame.index]


def outcome_probabilities(valuation: "Valuation", ax: Axes) -> Axes:
    """The probability of every redemption outcome on ``ax``; returns it."""
    out = valuation.outcomes
    y = np.arange(len(out))
    ax.barh(y, out["probability"] * 100.0, color="tab:blue")
    ax.set_yticks(y, _labels(out))
    ax.invert_yaxis()
    ax.xaxis.set_major_formatter(PercentFormatter())
    ax.set_xlabel("probability")
    ax.set_title("Redemption outcomes")
    ax.margins(x=0.18)  # room for the labels of the longest bars
    for k, p in enumerate(out["probability"]):
        ax.annotate(f"{p * 100:.2f} %", (p * 100.0, k), xytext=(3, 0), textcoords="offset points",
                    va="center", fontsize=8)
    return ax


def discounted_values(valuation: "Valuation", ax: Axes) -> Axes:
    """Each outcome's value discounted to the pricing date, and the
    discounted coupons in one bar, on ``ax``; returns it. The bars add up to
    the price, but for redemption coupons and rounding."""
    out = valuation.outcomes
    values = list(out["discounted_value"])
    names = _labels(out)
    if len(valuation.coupons):
        values.append(valuation.coupons["discounted_value"].sum())
        names.append("coupons")
    y = np.arange(len(names))
    ax.barh(y, values, color=["tab:green"] * len(out) + ["tab:orange"] * (len(names) - len(out)))
    ax.set_yticks(y, names)
    ax.invert_yaxis()
    _money(ax, "x")
    ax.set_xlabel(f"discounted value ({valuation.note.currency})")
    ax.set_title("Discounted values")
    return ax


def valuation_figure(valuation: "Valuation", figsize: Tuple[float, float] = (12, 5),
                     ax: Optional[Sequence[Axes]] = None) -> Union[Figure, Tuple[Axes, Axes]]:
    """Left: the probability of every redemption outcome; right: its value
    discounted to the pricing date, and the discounted coupons. ``ax``: a
    pair of Axes to draw the two panels on (returned); without it, a new
    Figure with a title (returned)."""
    if ax is not None:
        if isinstance(ax, Axes) or len(ax) != 2:
            raise TypeError("ax is a pair of matplotlib Axes: (probabilities, discounted values)")
        return outcome_probabilities(valuation, ax[0]), discounted_values(valuation, ax[1])
    fig = Figure(figsize=figsize, layout="constrained")
    left, right = fig.subplots(1, 2)
    outcome_probabilities(valuation, left)
    discounted_values(valuation, right)
    fig.suptitle(f"{valuation.note.name}: {valuation.summary()}")
    return fig


def _price_axes(ax: Axes, xlabel: str, title: str, spot_moves: bool) -> None:
    """Labels, money ticks and a light grid of a price panel; spot moves in per cent."""
    if spot_moves:
        ax.xaxis.set_major_formatter(PercentFormatter())
    ax.set_xlabel(xlabel)
    ax.set_ylabel("price")
    _money(ax)
    ax.grid(True, alpha=0.3)
    ax.set_title(title)


def _drawn(draw: Callable[[Axes], None], ax: Optional[Axes], figsize: Tuple[float, float]) -> Union[Figure, Axes]:
    """``draw`` on ``ax`` (returned) or on the one panel of a new Figure (returned)."""
    if ax is not None:
        if not isinstance(ax, Axes):
            raise TypeError(f"ax is a matplotlib Axes, not {type(ax).__name__}")
        draw(ax)
        return ax
    fig = Figure(figsize=figsize, layout="constrained")
    draw(fig.subplots())
    return fig


def ladder_figure(frame: pd.DataFrame, title: Optional[str] = None, figsize: Tuple[float, float] = (7, 4.5),
                  ax: Optional[Axes] = None) -> Union[Figure, Axes]:
    """Price against the spot move of a ``ladder`` frame."""
    def draw(a: Axes) -> None:
        a.plot(frame.index * 100.0, frame["price"], marker="o")
        _price_axes(a, "spot move", title or "Spot ladder", spot_moves=True)
    return _drawn(draw, ax, figsize)


def grid_figure(frame: pd.DataFrame, title: Optional[str] = None, figsize: Tuple[float, float] = (7, 4.5),
                ax: Optional[Axes] = None) -> Union[Figure, Axes]:
    """Price against the spot move, one line per volatility shift, of a ``grid`` frame."""
    def draw(a: Axes) -> None:
        for vol in frame.columns:
            a.plot(frame.index * 100.0, frame[vol], marker="o", label=f"vol {vol * 100:+.0f} pt")
        _price_axes(a, "spot move", title or "Spot x volatility", spot_moves=True)
        a.legend()
    return _drawn(draw, ax, figsize)


def convergence_figure(frame: pd.DataFrame, title: Optional[str] = None, figsize: Tuple[float, float] = (7, 4.5),
                       ax: Optional[Axes] = None) -> Union[Figure, Axes]:
    """Price against trials of a ``convergence`` frame, with a band of two
    standard errors where the library reports them."""
    def draw(a: Axes) -> None:
        a.plot(frame.index, frame["price"], marker="o")
        se = frame["std_error"]
        if se.notna().any():
            a.fill_between(frame.index, frame["price"] - 2.0 * se, frame["price"] + 2.0 * se, alpha=0.25,
                           label="two standard errors")
            a.legend()
        a.set_xscale("log")
        _price_axes(a, "trials", title or "Convergence", spot_moves=False)
    return _drawn(draw, ax, figsize)


_FIGURES: Dict[str, Callable[..., Union[Figure, Axes]]] = {
    "ladder": ladder_figure, "grid": grid_figure, "convergence": convergence_figure}


def frame_figure(frame: pd.DataFrame, ax: Optional[Axes] = None, **kwargs: Any) -> Union[Figure, Axes]:
    """The figure of a frame of ``ladder``, ``grid`` or ``convergence``, by
    the kind the frame was tagged with (``frame.morvik.plot()``)."""
    kind = frame.attrs.get("morvik")
    if kind not in _FIGURES:
        raise TypeError("this frame did not come from morvik.ladder, morvik.grid or morvik.convergence")
    return _FIGURES[kind](frame, ax=ax, **kwargs)
