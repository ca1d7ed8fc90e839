// The path loop's local volatility lookup on a surface whose moneyness axis
// rises strictly.
#pragma once

#include "engine/engine_grids.h"
#include "numerics/local_vol.h"

namespace morvik {

// LocalVolAt on an axis that rises strictly, without a search or a hint:
// the bracket is counted (the largest m with P[m] <= x) and the clamped
// cases selected, with the same arithmetic.
[[gnu::always_inline]] inline double LocalVolOrdered(const VolSurface& vs, double x, const LocalVolTime& tb) {
  const double* P = vs.P;
  const int np = vs.np;
  int k = 0;
  if (!vs.bucket.empty()) {
    // Bucket of x (NaN and values off the axis land in an end bucket), one
    // step up, then a check; a miss (rare: x off the axis or near a bucket
    // edge) walks to the bracket from there.
    const int last = static_cast<int>(vs.bucket.size()) - 1;
    double t = (x - P[0]) * vs.bucketScale;
    t = t > 0.0 ? t : 0.0;
    t = t < last ? t : last;
    k = vs.bucket[static_cast<int>(t)];
    k += P[k + 1] <= x && k < np - 2 ? 1 : 0;
    if (!(P[k] <= x && (k == np - 2 || x < P[k + 1]))) [[unlikely]] {
      while (k < np - 2 && P[k + 1] <= x) ++k;
      while (k > 0 && !(P[k] <= x)) --k;
    }
  } else {
    for (int m = 1; m < np - 1; ++m) k += P[m] <= x ? 1 : 0;
  }
  int lo = k;
  int hi = k + 1;
  double w = (x - P[k]) / vs.width[k];
  const bool low = !(x > P[0]) || np == 1;
  const bool high = x >= P[np - 1];
  if (low) {
    lo = hi = 0;
    w = 1.0;
  } else if (high) {
    lo = hi = np - 1;
    w = 1.0;
  }
  const int nt = vs.nt;
  const double u = tb.u;
  const double* r_lo = vs.V + lo * nt;
  const double* r_hi = vs.V + hi * nt;
  return (1.0 - w) * (1.0 - u) * r_lo[tb.lo] + (1.0 - w) * u * r_lo[tb.hi] +
         w * (1.0 - u) * r_hi[tb.lo] + w * u * r_hi[tb.hi];
}

}  // namespace morvik
