"""The scenarios a desk runs on a note, as one value: ``Scenarios``. Each
scenario is priced by the library on the random numbers of the note's own
price (its stream, seed and replications), so differences between scenarios
are steady; ``Scenarios`` only says which ones, in the desk's units."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Dict, List, Optional, Sequence, Tuple

import pandas as pd

# The columns of a scenario frame (the scenario CSV's, the standard error
# spelt as everywhere in the package) and their units.
SCENARIO_FRAME_COLUMNS: List[str] = ["note", "scenario", "underlying", "shift", "shift_unit", "vol_shift", "tenor",
                                     "value", "std_error", "change", "error"]


def _steps(name: str, values: Optional[Sequence[float]]) -> Tuple[float, ...]:
    if values is None:
        return ()
    if isinstance(values, (str, bytes)) or not hasattr(values, "__iter__"):
        raise TypeError(f"{name} takes a list of numbers, not {values!r}")
    steps = []
    for v in values:
        if isinstance(v, bool) or not isinstance(v, (int, float)) and not hasattr(v, "__float__"):
            raise TypeError(f"{name} takes numbers, not {v!r}")
        steps.append(float(v))
    return tuple(steps)


@dataclass(frozen=True)
class Scenarios:
    """Which scenarios to price, as ``morvik-price``'s options ask for them:

    - ``spot_ladder``: spot steps in per cent of the spot, all underlyings
      together (``--spot-ladder``); ``ladder_each``: each underlying alone as well;
    - ``vol_grid``: ``(spot steps in per cent, local volatility shifts in vol
      points)``, all underlyings (``--vol-grid SPOTS:VOLS``);
    - ``rate_shift``, ``dividend_shift``: parallel shifts in basis points of
      every rate curve and the discount curve, of every dividend yield (a cash
      dividend moves by that share of the base price);
    - ``correlation_shift``: absolute shifts of every correlation between
      underlyings, clipped to [-1, 1] (a matrix no longer positive
      semi-definite is refused: the row has an ``error``);
    - ``vega_buckets``: per underlying one vega per time point of its local
      volatility grid, and the vega of the whole grid.

    The ranges are the library's (spot steps above -100 %, ...); a value out
    of range raises ValueError when priced."""

    spot_ladder: Tuple[float, ...] = ()
    ladder_each: bool = False
    vol_grid: Optional[Tuple[Tuple[float, ...], Tuple[float, ...]]] = None
    rate_shift: Tuple[float, ...] = ()
    dividend_shift: Tuple[float, ...] = ()
    correlation_shift: Tuple[float, ...] = ()
    vega_buckets: bool = False

    def __post_init__(self) -> None:
        # Lists (and numpy arrays) are kept as tuples of floats: the value is
        # hashable and pickles as plain numbers.
        for name in ("spot_ladder", "rate_shift", "dividend_shift", "correlation_shift"):
            object.__setattr__(self, name, _steps(name, getattr(self, name)))
        if self.vol_grid is not None:
            if len(self.vol_grid) != 2:
                raise TypeError("vol_grid is (spot steps, vol shifts)")
            grid = (_steps("vol_grid", self.vol_grid[0]), _steps("vol_grid", self.vol_grid[1]))
            object.__setattr__(self, "vol_grid", grid)

    def __bool__(self) -> bool:
        return bool(self.spot_ladder or self.vol_grid or self.rate_shift or self.dividend_shift or
                    self.correlation_shift or self.vega_buckets or self.ladder_each)

    def request(self) -> Dict[str, Any]:
        """The set as the library's call takes it."""
        spots, vols = self.vol_grid if self.vol_grid is not None else ((), ())
        return {"spot_ladder": list(self.spot_ladder), "ladder_each": bool(self.ladder_each),
                "grid_spots": list(spots), "grid_vols": list(vols), "rate_shift": list(self.rate_shift),
                "dividend_shift": list(self.dividend_shift), "correlation_shift": list(self.correlation_shift),
                "vega_buckets": bool(self.vega_buckets)}


def scenario_frame(rows: Sequence[Tuple[Any, ...]], currency: Optional[str] = None) -> pd.DataFrame:
    """The tidy frame of scenario rows (tuples in the library's
    ``SCENARIO_COLUMNS`` order): one row per scenario, the note's base
    valuation first (scenario ``base``). ``shift`` is in ``shift_unit``
    (``percent`` of the spot, ``vol_points``, ``bp``, ``correlation``);
    ``vol_shift`` (vol points) belongs to ``spot_vol_grid`` rows, ``tenor``
    (years) to ``vega_bucket`` rows. ``value`` is a price, or for the vegas
    the price change per vol point; ``change`` is from the base price (NaN
    for a vega). A row without figures has NaN there and its ``error``."""
    frame = pd.DataFrame.from_records(list(rows), columns=SCENARIO_FRAME_COLUMNS)
    for column in ("shift", "vol_shift", "tenor", "value", "std_error", "change"):
        frame[column] = frame[column].astype(float)
    frame["error"] = frame["error"].astype(object).where(frame["error"].notna(), None)
    money = currency or "the notional's currency"
    frame.attrs["units"] = {"shift": "see shift_unit", "vol_shift": "vol points (0.01 of volatility)",
                            "tenor": "years", "value": f"{money} (vegas: {money} per vol point)",
                            "std_error": money, "change": money}
    return frame

