// One stock's Euler step of a simulated day: the one formula (and order of
// floating-point operations) of every path loop of the engine.
#pragma once

#include "engine/engine_grids.h"

namespace morvik {

// The close of a day from the previous close x, the local volatility s at
// x, the day's coefficients and correlated normal z. Plain: every stock may
// take the plain step (EngineGrids::plainDrift, no cash dividends); else the
// stock's own flags `plain` and `cash` choose, and p0 is its pricing-date
// performance (a cash dividend is an amount per unit of base price).
template <bool Plain>
[[gnu::always_inline]] inline double StepClose(const DayCoef& dc, double x, double s, double z, double sqdt,
                                               double dt, unsigned char plain, unsigned char cash, double p0) {
  if (Plain) return x * (dc.one + s * sqdt * z);
  if (plain != 0) {
    double y = x * (dc.one + s * sqdt * z);
    if (cash != 0) y = y - dc.div * x / p0;
    return y;
  }
  if (cash == 0) return x * (1.0 + (dc.r - dc.rv * s - dc.div) * dt + s * sqdt * z);
  return x * (1.0 + (dc.r - dc.rv * s) * dt + s * sqdt * z) - dc.div * x / p0;
}

}  // namespace morvik
