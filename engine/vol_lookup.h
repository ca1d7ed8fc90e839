// The path loop's local volatility lookup on a bucketed moneyness axis.
#pragma once

#include "engine/engine_grids.h"

namespace morvik {

// Bucket of performance x: monotone in x, so that a node's bucket tells on
// which side of it every performance of another bucket lies. NaN and values
// off the axis land in an end bucket.
[[gnu::always_inline]] inline int MoneynessBucketOf(const VolSurface& vs, double x) {
  double t = (x - vs.p0) * vs.bucketScale;
  t = t > 0.0 ? t : 0.0;
  t = t < vs.lastBucket ? t : vs.lastBucket;
  return static_cast<int>(t);
}

// Segment of x (see MoneynessBucket): 0 when !(x > P[0]) (NaN included).
[[gnu::always_inline]] inline int MoneynessSegmentOf(const VolSurface& vs, double x) {
  const MoneynessBucket& b = vs.bucket[MoneynessBucketOf(vs, x)];
  const int s = b.base + (x >= b.thrA ? 1 : 0) + (x >= b.thrB ? 1 : 0);
  return x > vs.p0 ? s : 0;
}

// LocalVolAt on a bucketed axis for the day row's time bracket, with the
// same arithmetic: the weight w of the upper moneyness row is the division of
// the hinted search (1 on the flat ends), and the four products are summed in
// the same order.
[[gnu::always_inline]] inline double LocalVolBucketed(const VolSurface& vs, double x, const DayCoef& dc) {
  const int s = MoneynessSegmentOf(vs, x);
  const MoneynessSegment& seg = vs.segment[s];
  double w = (x - seg.lo) / seg.width;
  w = seg.clamp != 0 ? 1.0 : w;
  const double* q = dc.corner + 4 * s;
  const double u = dc.u;
  const double um = dc.um;
  return (1.0 - w) * um * q[0] + (1.0 - w) * u * q[1] + w * um * q[2] + w * u * q[3];
}

}  // namespace morvik
