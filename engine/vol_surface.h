// One stock's local volatility surface as the path loop reads it: the type,
// its construction (bucket and segment tables of the moneyness axis, the
// time bracket and corner table of every simulated day) and its queries.
//
// On a strictly rising axis of positive nodes, each stock keeps the segment
// of the day before and a range check on it decides; only when the
// performance left it does the segment come from a bucket search on the
// leading bits of the performance. Other axes keep the hinted search of
// numerics/local_vol.h. Both give bit for bit the same volatility.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "numerics/local_vol.h"

namespace morvik {

// Where a performance falls on a strictly rising moneyness axis of np nodes:
// segment 0 below or at the first node (and NaN), segment k+1 inside
// [P[k], P[k+1]) for k = 0..np-2, segment np at or above the last node.
// Buckets split the axis by the leading bits of the performance's binary
// form (monotone for positive numbers) and each holds at most two interior
// nodes, so the segment is the bucket's first segment plus two comparisons.
struct alignas(16) MoneynessBucket {
  double thrA = 0.0;  // nodes inside the bucket, rising; NaN (never passed) when unused
  double thrB = 0.0;
};

// A segment of a bucketed axis, for the check that a performance stayed in
// the segment of the day before: it is inside when from <= x < to (NaN never
// is). The weight of the upper row is (x - lo) / width; width is NaN on the
// flat ends, segments 0 and np, whose weight is 1.
struct alignas(32) MoneynessSegment {
  double from = 0.0;
  double to = 0.0;
  double lo = 0.0;
  double width = 0.0;
};

// What a day's lookup reads besides the performance: the day's time bracket
// (with the weight u of its upper node), 1 - u, and on a bucketed axis the
// corner table of the bracket.
struct SurfaceDay {
  LocalVolTime time;
  double um = 0.0;
  const double* corner = nullptr;
};

// One stock's surface: moneyness axis P (np), time axis T (nt) and values
// row by row, element p*nt + k for moneyness p and time k.
struct VolSurface {
  const double* P = nullptr;
  int np = 0;
  const double* T = nullptr;
  int nt = 0;
  const double* V = nullptr;
  // 1 when the bucket tables below are built (a strictly rising axis of
  // positive nodes that buckets evenly enough); otherwise the lookup uses
  // the hinted search.
  int bucketed = 0;
  double p0 = 0.0;            // P[0]
  int shift = 0;              // bits dropped from the binary form
  std::int64_t bucketAt = 0;  // leading bits of P[0]
  std::int64_t lastBucket = 0;
  std::vector<MoneynessBucket> bucket;
  std::vector<int> bucketBase;  // per bucket: segment of its lowest performances
  std::vector<MoneynessSegment> segment;  // np + 1 segments
  // Per time bracket met on the simulated days, per segment, the four
  // surface values the bilinear weights multiply: lower row at the lower and
  // upper time, upper row at the lower and upper time.
  std::vector<double> corner;
};

// Points the surface at its axes and values and builds the bucket and
// segment tables (see PrepareMoneynessAxis).
void BuildVolSurface(VolSurface& s, const double* P, int np, const double* T, int nt,
                     const double* V);

// Builds the bucket and segment tables of a surface from its axis (leaves
// `bucketed` 0 when the axis does not rise strictly or buckets too unevenly).
void PrepareMoneynessAxis(VolSurface& s);

// Appends the corner table of time bracket `tb` (np + 1 segments of four
// values) to `out`.
void AppendCorners(const VolSurface& s, const LocalVolTime& tb, std::vector<double>& out);

// The SurfaceDay of day n into days[n - 1] for days 1..D: the time brackets
// walked once, day after day from a reset hint, as every path would walk
// them, and a corner table per bracket met.
void BuildSurfaceDays(VolSurface& s, int D, std::vector<SurfaceDay>& days);

// True when every value is below 1e300 in magnitude (so no volatility the
// lookup forms is infinite or NaN).
bool HoldsModerateValues(const VolSurface& s);

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

// LocalVolAt on a bucketed axis, x in segment seg, for the day's time
// bracket, with the same arithmetic: the weight w of the upper moneyness row
// is the division of the hinted search (1 on the flat ends and for NaN), and
// the four products are summed in the same order.
[[gnu::always_inline]] inline double LocalVolOnSegment(const VolSurface& vs, double x, int seg,
                                                       const SurfaceDay& day) {
  const MoneynessSegment& m = vs.segment[seg];
  double w = (x - m.lo) / m.width;
  w = w != w ? 1.0 : w;
  const double* q = day.corner + 4 * seg;
  const double u = day.time.u;
  const double um = day.um;
  return (1.0 - w) * um * q[0] + (1.0 - w) * u * q[1] + w * um * q[2] + w * u * q[3];
}

// Where a path starting at performance x stands on the axis: its segment on
// a bucketed axis, the hinted search's start otherwise.
inline int SurfacePlaceOf(const VolSurface& vs, double x) {
  return vs.bucketed != 0 ? MoneynessSegmentOf(vs, x) : 0;
}

// The volatility at performance x on a day; `place` is where the path stood
// the day before (SurfacePlaceOf) and is moved to where it stands now.
[[gnu::always_inline]] inline double SurfaceVolAt(const VolSurface& vs, double x, int& place,
                                                  const SurfaceDay& day) {
  if (vs.bucketed != 0) {
    place = MoneynessSegmentFrom(vs, x, place);
    return LocalVolOnSegment(vs, x, place, day);
  }
  return LocalVolAt(vs.P, vs.np, vs.nt, vs.V, place, x, day.time);
}

}  // namespace morvik
