// The library's conventions of units and floors, stated once.
//
// Both are doubles so that every use keeps the order of operations it is
// written in: a time is `days / kDaysPerYear` (a division, never a product
// with 1/365), an amount per scale is `v * kNotionalScale` or
// `v / kNotionalScale`, exactly as the literal 365.0 or 10000.0 would give.
#pragma once

namespace morvik {

// Days in a year: a time in years is calendar days from the pricing date
// divided by this, and a daily rate is an annual one over it.
inline constexpr double kDaysPerYear = 365.0;

// The core valuation's unit of notional: its price, cash flows and their
// errors are per this much of notional (a payoff of 1.0 is reported as
// 10000); the full call scales them to the note's notional.
inline constexpr double kNotionalScale = 10000.0;

// A lowered local volatility (a vega bump's down side, a scenario's move)
// never goes below this.
inline constexpr double kVolFloor = 1e-12;

}  // namespace morvik
