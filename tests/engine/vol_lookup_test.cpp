// The bucketed lookup, started from any segment of the day before, gives bit
// for bit what the hinted search gives from any hint, at nodes, between
// them, at bucket edges, outside the axis and for NaN; axes it cannot bucket
// keep the hinted search.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/vol_surface.h"
#include "numerics/local_vol.h"

namespace morvik {
namespace {

VolSurface Surface(const std::vector<double>& P, const std::vector<double>& T,
                   const std::vector<double>& V) {
  VolSurface s;
  BuildVolSurface(s, P.data(), static_cast<int>(P.size()), T.data(), static_cast<int>(T.size()),
                  V.data());
  return s;
}

void ExpectSameEverywhere(const std::vector<double>& P) {
  const std::vector<double> T = {0.1, 0.5, 1.0};
  std::vector<double> V;
  for (std::size_t p = 0; p < P.size(); ++p)
    for (int k = 0; k < 3; ++k) V.push_back(0.31 - 0.07 * p + 0.013 * k + 0.001 * p * k);
  const VolSurface s = Surface(P, T, V);
  ASSERT_EQ(s.bucketed, 1);
  std::vector<double> xs = {-1.0, 0.0, 5.0, std::numeric_limits<double>::quiet_NaN(),
                            std::numeric_limits<double>::infinity(),
                            -std::numeric_limits<double>::infinity()};
  for (double p : P) {
    xs.push_back(p);
    xs.push_back(std::nextafter(p, -10.0));
    xs.push_back(std::nextafter(p, 10.0));
  }
  for (double x = 0.3; x < 2.0; x += 0.0137) xs.push_back(x);
  // The lowest performance of every bucket and its neighbours.
  for (std::size_t b = 0; b < s.bucket.size(); ++b) {
    const std::int64_t bits = (static_cast<std::int64_t>(b) + s.bucketAt) << s.shift;
    double e;
    std::memcpy(&e, &bits, sizeof e);
    for (double x : {std::nextafter(e, -10.0), e, std::nextafter(e, 10.0)}) xs.push_back(x);
  }
  int hintT = 0;
  for (double t : {0.05, 0.3, 0.77, 2.0}) {
    const LocalVolTime tb = LocalVolTimeBracket(T.data(), 3, hintT, t);
    std::vector<double> corner;
    AppendCorners(s, tb, corner);
    ASSERT_EQ(corner.size(), 4 * (P.size() + 1));
    SurfaceDay dc;
    dc.time = tb;
    dc.um = 1.0 - tb.u;
    dc.corner = corner.data();
    for (double x : xs) {
      // The segment found from every segment of the day before is the
      // bucket search's.
      const int seg = MoneynessSegmentOf(s, x);
      for (int before = 0; before <= s.np; ++before)
        ASSERT_EQ(MoneynessSegmentFrom(s, x, before), seg) << "x=" << x << " from " << before;
      const double got = LocalVolOnSegment(s, x, seg, dc);
      for (int hint = 0; hint < s.np; ++hint) {
        int h = hint;
        const double ref = LocalVolAt(s.P, s.np, s.nt, s.V, h, x, tb);
        if (std::isnan(ref)) {
          EXPECT_TRUE(std::isnan(got)) << x;
        } else {
          EXPECT_EQ(got, ref) << "x=" << x << " t=" << t << " hint=" << hint;
        }
      }
    }
  }
}

TEST(BucketedVolLookup, MatchesTheHintedSearch) {
  ExpectSameEverywhere({0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8});
  ExpectSameEverywhere({0.5, 1.5});
  ExpectSameEverywhere({1.0});
  // Uneven spacing: several buckets per narrow interval, nodes off the edges.
  ExpectSameEverywhere({0.3, 0.31, 0.33, 1.0, 1.7, 3.1});
  // Evenly spaced nodes that fall on or next to bucket edges, and a close
  // pair next to wide gaps: rounding must not move a node across an edge.
  ExpectSameEverywhere({0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 1.0, 2.0, 4.0});
  ExpectSameEverywhere({0.25, 0.5, 0.75, 0.76, 2.0, 64.0});
  // Two nodes one ulp apart share a bucket.
  ExpectSameEverywhere({0.5, std::nextafter(0.5, 1.0), 0.9});
}

TEST(BucketedVolLookup, EveryBucketHoldsAtMostTwoNodes) {
  const std::vector<double> P = {0.3, 0.31, 0.33, 1.0, 1.7, 3.1};
  const VolSurface s = Surface(P, {1.0}, std::vector<double>(P.size(), 0.2));
  ASSERT_EQ(s.bucketed, 1);
  std::vector<int> held(s.bucket.size(), 0);
  for (std::size_t m = 1; m < P.size(); ++m) ++held[MoneynessBucketOf(s, P[m])];
  for (int h : held) EXPECT_LE(h, 2);
  // Segments: the first node's neighbourhood and the last node.
  EXPECT_EQ(MoneynessSegmentOf(s, 0.3), 0);
  EXPECT_EQ(MoneynessSegmentOf(s, std::nextafter(0.3, 1.0)), 1);
  EXPECT_EQ(MoneynessSegmentOf(s, 0.31), 2);
  EXPECT_EQ(MoneynessSegmentOf(s, std::nextafter(3.1, 0.0)), 5);
  EXPECT_EQ(MoneynessSegmentOf(s, 3.1), 6);
}

TEST(BucketedVolLookup, AxesItCannotBucketKeepTheHintedSearch) {
  const std::vector<double> T = {1.0};
  // Not strictly rising, NaN, nodes that are not all positive and finite.
  const double inf = std::numeric_limits<double>::infinity();
  for (const std::vector<double>& P :
       {std::vector<double>{0.5, 1.0, 1.0, 1.5},
        std::vector<double>{0.5, std::numeric_limits<double>::quiet_NaN(), 1.5},
        std::vector<double>{-1e308, 0.0, 1e308}, std::vector<double>{0.0, 0.5, 1.0},
        std::vector<double>{0.5, 1.0, inf}}) {
    const VolSurface s = Surface(P, T, std::vector<double>(P.size(), 0.2));
    EXPECT_EQ(s.bucketed, 0);
    EXPECT_TRUE(s.bucket.empty());
    EXPECT_TRUE(s.segment.empty());
  }
  // Three nodes closer than the finest bucket.
  const double a = 0.5;
  const double b = std::nextafter(a, 1.0);
  const double c = std::nextafter(b, 1.0);
  const std::vector<double> P = {0.25, a, b, c, 1.0};
  EXPECT_EQ(Surface(P, T, std::vector<double>(P.size(), 0.2)).bucketed, 0);
}

// The day rows of a surface, walked by a path that carries its place from
// day to day, give the plain lookup at the day's time, across the time
// brackets, on a bucketed axis and on one left to the hinted search.
TEST(BucketedVolLookup, SurfaceDaysMatchTheLookupAtEachDaysTime) {
  const std::vector<double> T = {0.1, 0.5, 1.0};
  for (const std::vector<double>& P :
       {std::vector<double>{0.4, 0.6, 0.8, 1.0, 1.2, 1.6}, std::vector<double>{0.5, 1.0, 1.0, 1.5}}) {
    std::vector<double> V;
    for (std::size_t p = 0; p < P.size(); ++p)
      for (int k = 0; k < 3; ++k) V.push_back(0.3 - 0.05 * p + 0.02 * k + 0.003 * p * k);
    VolSurface s = Surface(P, T, V);
    EXPECT_EQ(s.bucketed, P.size() == 6 ? 1 : 0);
    const int D = 450;
    std::vector<SurfaceDay> days;
    BuildSurfaceDays(s, D, days);
    ASSERT_EQ(days.size(), static_cast<std::size_t>(D));
    double x = 1.0;
    int place = SurfacePlaceOf(s, x);
    for (int n = 1; n <= D; ++n) {
      x = 1.0 + 0.9 * std::sin(0.05 * n);  // over the whole axis and past both ends
      const double got = SurfaceVolAt(s, x, place, days[n - 1]);
      int hp = 0;
      int ht = 0;
      const double ref = LocalVolLookup(s.P, s.np, s.T, s.nt, s.V, hp, ht, x, n / 365.0);
      ASSERT_EQ(got, ref) << "day " << n << " x=" << x << " bucketed=" << s.bucketed;
    }
  }
}

}  // namespace
}  // namespace morvik
