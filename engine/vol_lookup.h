// The path loop's local volatility lookup on a bucketed moneyness axis.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/engine_grids.h"

namespace morvik {

// Bucket of performance x: monotone in x from P[0] up, so that a node's
// bucket tells on which side of it every performance of another bucket lies.
// Performances at or below P[0], negative numbers and NaN land in some
// bucket too (the last); their segment is 0 whatever the bucket says.
[[gnu::always_inline]] inline int MoneynessBucketOf(const VolSurface& vs, double x) {
  std::int64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  const std::uint64_t b = static_cast<std::uint64_t>((bits >> vs.shift) - vs.bucketAt);
  const std::uint64_t last = static_cast<std::uint64_t>(vs.lastBucket);
  return static_cast<int>(b < last ? b : last);
}

// Segment of x (see MoneynessBucket): 0 when !(x > P[0]) (NaN included).
[[gnu::always_inline]] inline int MoneynessSegmentOf(const VolSurface& vs, double x) {
  const int k = MoneynessBucketOf(vs, x);
  const MoneynessBucket& b = vs.bucket[k];
  const int s = vs.bucketBase[k] + (x >= b.thrA ? 1 : 0) + (x >= b.thrB ? 1 : 0);
  return x > vs.p0 ? s : 0;
}

// Segment of x given `seg`, the segment of the day before: a day's move
// seldom leaves a segment, so the check comes first and the bucket search
// only when x left it (or is NaN or +inf). The check's branch is left to
// prediction, so the weight need not wait for the search.
[[gnu::always_inline]] inline int MoneynessSegmentFrom(const VolSurface& vs, double x, int seg) {
  const MoneynessSegment& m = vs.segment[seg];
  if (__builtin_expect(!(x >= m.from && x < m.to), 0)) seg = MoneynessSegmentOf(vs, x);
  return seg;
}

// LocalVolAt on a bucketed axis, x in segment seg, for the day row's time
// bracket, with the same arithmetic: the weight w of the upper moneyness row
// is the division of the hinted search (1 on the flat ends and for NaN), and
// the four products are summed in the same order.
[[gnu::always_inline]] inline double LocalVolOnSegment(const VolSurface& vs, double x, int seg,
                                                       const DayCoef& dc) {
  const MoneynessSegment& m = vs.segment[seg];
  double w = (x - m.lo) / m.width;
  w = w != w ? 1.0 : w;
  const double* q = dc.corner + 4 * seg;
  const double u = dc.u;
  const double um = dc.um;
  return (1.0 - w) * um * q[0] + (1.0 - w) * u * q[1] + w * um * q[2] + w * u * q[3];
}

}  // namespace morvik
