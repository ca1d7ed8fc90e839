// The local volatility surface: bucket and segment tables of the moneyness
// axis, and the per-day time brackets and corner tables.
#include "engine/vol_surface.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "numerics/conventions.h"

namespace morvik {

void BuildVolSurface(VolSurface& s, const double* P, int np, const double* T, int nt,
                     const double* V) {
  s.P = P;
  s.np = np;
  s.T = T;
  s.nt = nt;
  s.V = V;
  PrepareMoneynessAxis(s);
}

namespace {

// Buckets by the binary form without its `shift` lowest bits; false when a
// bucket would hold more than two interior nodes.
bool BuildBuckets(VolSurface& s, int shift) {
  std::int64_t first;
  std::int64_t last;
  std::memcpy(&first, &s.P[0], sizeof first);
  std::memcpy(&last, &s.P[s.np - 1], sizeof last);
  s.shift = shift;
  s.bucketAt = first >> shift;
  s.lastBucket = (last >> shift) - s.bucketAt;
  constexpr std::int64_t kMaxBuckets = 4096;
  if (s.lastBucket >= kMaxBuckets) return false;
  const int nb = static_cast<int>(s.lastBucket) + 1;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  s.bucket.assign(nb, MoneynessBucket{});
  for (MoneynessBucket& b : s.bucket) b.thrA = b.thrB = nan;
  // A performance at or above node m (m >= 1) is in a segment above m;
  // nodes are counted into the first segment of every later bucket and
  // compared explicitly in their own.
  std::vector<int> held(nb, 0);
  for (int m = 1; m < s.np; ++m) {
    const int k = MoneynessBucketOf(s, s.P[m]);
    MoneynessBucket& b = s.bucket[k];
    if (held[k] == 0) {
      b.thrA = s.P[m];
    } else if (held[k] == 1) {
      b.thrB = s.P[m];
    } else {
      return false;
    }
    ++held[k];
  }
  s.bucketBase.assign(nb, 0);
  int count = 0;
  for (int k = 0; k < nb; ++k) {
    s.bucketBase[k] = 1 + count;
    count += held[k];
  }
  return true;
}

// Segment 0 holds every x <= P[0] (from -inf up to just above P[0]),
// segment k+1 [P[k], P[k+1]), segment np [P[np-1], +inf); +inf itself and
// NaN are left to the bucket search.
void BuildSegments(VolSurface& s) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  s.segment.assign(static_cast<std::size_t>(s.np) + 1, MoneynessSegment{});
  s.segment[0] = MoneynessSegment{-inf, std::nextafter(s.P[0], inf), 0.0, nan};
  for (int k = 1; k < s.np; ++k) {
    // x > P[0] is x >= the next double above it: the first segment excludes P[0].
    const double from = k == 1 ? std::nextafter(s.P[0], inf) : s.P[k - 1];
    s.segment[k] = MoneynessSegment{from, s.P[k], s.P[k - 1], s.P[k] - s.P[k - 1]};
  }
  s.segment[s.np] = MoneynessSegment{s.np == 1 ? std::nextafter(s.P[0], inf) : s.P[s.np - 1], inf, 0.0, nan};
}

}  // namespace

void PrepareMoneynessAxis(VolSurface& s) {
  s.bucketed = 0;
  s.bucket.clear();
  s.bucketBase.clear();
  s.segment.clear();
  if (s.np < 1) return;
  // Positive nodes only: the binary form orders positive numbers.
  if (!(s.P[0] > 0.0) || !(s.P[s.np - 1] < std::numeric_limits<double>::infinity())) return;
  for (int m = 0; m + 1 < s.np; ++m) {
    if (!(s.P[m + 1] > s.P[m])) return;  // not strictly rising, or NaN
  }
  s.p0 = s.P[0];
  // The coarsest buckets that hold at most two nodes each: keep the sign,
  // the exponent and from none up to 12 bits of the fraction.
  for (int fraction = 0; fraction <= 12; ++fraction) {
    if (BuildBuckets(s, 52 - fraction)) {
      BuildSegments(s);
      s.bucketed = 1;
      return;
    }
  }
  s.bucket.clear();
  s.bucketBase.clear();
}

void AppendCorners(const VolSurface& s, const LocalVolTime& tb, std::vector<double>& out) {
  for (int seg = 0; seg <= s.np; ++seg) {
    const int lo = seg == 0 ? 0 : (seg == s.np ? s.np - 1 : seg - 1);
    const int hi = seg == 0 ? 0 : (seg == s.np ? s.np - 1 : seg);
    out.insert(out.end(), {s.V[lo * s.nt + tb.lo], s.V[lo * s.nt + tb.hi], s.V[hi * s.nt + tb.lo],
                           s.V[hi * s.nt + tb.hi]});
  }
}

void BuildSurfaceDays(VolSurface& s, int D, std::vector<SurfaceDay>& days) {
  const std::size_t count = D > 0 ? static_cast<std::size_t>(D) : 0;
  s.corner.clear();
  days.assign(count, SurfaceDay{});
  // Each new bracket gets its corner table; the days point into it once it
  // has stopped growing.
  const std::size_t tableSize = s.bucketed != 0 ? 4 * (static_cast<std::size_t>(s.np) + 1) : 0;
  std::vector<std::size_t> cornerAt(count);
  int hintT = 0;
  LocalVolTime last{-1, -1, 0.0};
  for (int n = 1; n <= D; ++n) {
    const LocalVolTime tb = LocalVolTimeBracket(s.T, s.nt, hintT, n / kDaysPerYear);
    if (s.bucketed != 0 && (tb.lo != last.lo || tb.hi != last.hi)) AppendCorners(s, tb, s.corner);
    last = tb;
    cornerAt[n - 1] = s.corner.size() - tableSize;
    days[n - 1].time = tb;
    days[n - 1].um = 1.0 - tb.u;
  }
  for (int n = 1; n <= D && s.bucketed != 0; ++n) {
    days[n - 1].corner = s.corner.data() + cornerAt[n - 1];
  }
}

bool HoldsModerateValues(const VolSurface& s) {
  bool moderate = true;
  for (int m = 0; m < s.np * s.nt; ++m) moderate = moderate && std::fabs(s.V[m]) < 1e300;
  return moderate;
}

}  // namespace morvik
