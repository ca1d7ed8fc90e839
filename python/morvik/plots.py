"""Figures of valuations and scenarios, drawn with matplotlib's object API
(no pyplot state: safe in loops and threads; a notebook shows a returned
Figure). Every function returns the ``matplotlib.figure.Figure``.

The frames of ``ladder``, ``grid`` and ``convergence`` also plot themselves:
``frame.morvik.plot()``. matplotlib is loaded with this module, which
``import morvik`` leaves for the first figure."""

import numpy as np
from matplotlib.figure import Figure
from matplotlib.ticker import FuncFormatter, MaxNLocator, PercentFormatter


def _money(ax, axis="y"):
    """Amounts with thousands separators, few enough ticks to read them."""
    target = ax.yaxis if axis == "y" else ax.xaxis
    target.set_major_formatter(FuncFormatter(lambda v, _: f"{v:,.0f}"))
    target.set_major_locator(MaxNLocator(5))


def valuation_figure(valuation, figsize=(12, 5)):
    """Left: the probability of every redemption outcome; right: its value
    discounted to the pricing date, and the discounted coupons. The bars on
    the right add up to the price, but for redemption coupons and rounding."""
    fig = Figure(figsize=figsize, layout="constrained")
    left, right = fig.subplots(1, 2)
    out = valuation.outcomes
    labels = list(out.index)
    y = np.arange(len(labels))
    left.barh(y, out["probability"] * 100.0, color="tab:blue")
    left.set_yticks(y, labels)
    left.invert_yaxis()
    left.xaxis.set_major_formatter(PercentFormatter())
    left.set_xlabel("probability")
    left.set_title("Redemption outcomes")
    left.margins(x=0.18)  # room for the labels of the longest bars
    for k, p in enumerate(out["probability"]):
        left.annotate(f"{p * 100:.2f} %", (p * 100.0, k), xytext=(3, 0), textcoords="offset points",
                      va="center", fontsize=8)
    values = list(out["discounted_value"])
    names = list(labels)
    if len(valuation.coupons):
        values.append(valuation.coupons["discounted_value"].sum())
        names.append("coupons")
    y2 = np.arange(len(names))
    right.barh(y2, values, color=["tab:green"] * len(out) + ["tab:orange"] * (len(names) - len(out)))
    right.set_yticks(y2, names)
    right.invert_yaxis()
    _money(right, "x")
    right.set_xlabel(f"discounted value ({valuation.note.currency})")
    right.set_title("Discounted values")
    fig.suptitle(f"{valuation.note.name}: {valuation.summary()}")
    return fig


def _price_figure(figsize):
    fig = Figure(figsize=figsize, layout="constrained")
    return fig, fig.subplots()


def _price_axes(ax, xlabel, title, spot_moves):
    """Labels, money ticks and a light grid of a price panel; spot moves in per cent."""
    if spot_moves:
        ax.xaxis.set_major_formatter(PercentFormatter())
    ax.set_xlabel(xlabel)
    ax.set_ylabel("price")
    _money(ax)
    ax.grid(True, alpha=0.3)
    ax.set_title(title)


def ladder_figure(frame, title=None, figsize=(7, 4.5)):
    """Price against the spot move of a ``ladder`` frame."""
    fig, ax = _price_figure(figsize)
    ax.plot(frame.index * 100.0, frame["price"], marker="o")
    _price_axes(ax, "spot move", title or "Spot ladder", spot_moves=True)
    return fig


def grid_figure(frame, title=None, figsize=(7, 4.5)):
    """Price against the spot move, one line per volatility shift, of a ``grid`` frame."""
    fig, ax = _price_figure(figsize)
    for vol in frame.columns:
        ax.plot(frame.index * 100.0, frame[vol], marker="o", label=f"vol {vol * 100:+.0f} pt")
    _price_axes(ax, "spot move", title or "Spot x volatility", spot_moves=True)
    ax.legend()
    return fig


def convergence_figure(frame, title=None, figsize=(7, 4.5)):
    """Price against trials of a ``convergence`` frame, with a band of two
    standard errors where the library reports them."""
    fig, ax = _price_figure(figsize)
    ax.plot(frame.index, frame["price"], marker="o")
    se = frame["std_error"]
    if se.notna().any():
        ax.fill_between(frame.index, frame["price"] - 2.0 * se, frame["price"] + 2.0 * se, alpha=0.25,
                        label="two standard errors")
        ax.legend()
    ax.set_xscale("log")
    _price_axes(ax, "trials", title or "Convergence", spot_moves=False)
    return fig


_FIGURES = {"ladder": ladder_figure, "grid": grid_figure, "convergence": convergence_figure}


def frame_figure(frame, **kwargs):
    """The figure of a frame of ``ladder``, ``grid`` or ``convergence``, by
    the kind the frame was tagged with (``frame.morvik.plot()``)."""
    kind = frame.attrs.get("morvik")
    if kind not in _FIGURES:
        raise TypeError("this frame did not come from morvik.ladder, morvik.grid or morvik.convergence")
    return _FIGURES[kind](frame, **kwargs)
