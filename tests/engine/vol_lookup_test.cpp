// The branch-free lookup gives bit for bit what the hinted search gives, from
// any hint, at nodes, between them, outside the axis and for NaN.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/vol_lookup.h"
#include "numerics/local_vol.h"

namespace morvik {
namespace {

// A surface on axis P; `buckets` false keeps the plain counting search.
VolSurface Surface(const std::vector<double>& P, const std::vector<double>& T,
                   const std::vector<double>& V, bool buckets) {
  VolSurface s;
  s.P = P.data();
  s.np = static_cast<int>(P.size());
  s.T = T.data();
  s.nt = static_cast<int>(T.size());
  s.V = V.data();
  PrepareMoneynessAxis(s);
  EXPECT_EQ(s.ordered, 1);
  if (!buckets) s.bucket.clear();
  return s;
}

void ExpectSameEverywhere(const std::vector<double>& P, bool buckets) {
  const std::vector<double> T = {0.1, 0.5, 1.0};
  std::vector<double> V;
  for (std::size_t p = 0; p < P.size(); ++p)
    for (int k = 0; k < 3; ++k) V.push_back(0.31 - 0.07 * p + 0.013 * k + 0.001 * p * k);
  const VolSurface s = Surface(P, T, V, buckets);
  if (buckets && P.size() >= 3) {
    EXPECT_FALSE(s.bucket.empty());
  }
  std::vector<double> xs = {-1.0, 0.0, 5.0, std::numeric_limits<double>::quiet_NaN()};
  for (double p : P) {
    xs.push_back(p);
    xs.push_back(std::nextafter(p, -10.0));
    xs.push_back(std::nextafter(p, 10.0));
  }
  for (double x = 0.3; x < 2.0; x += 0.0137) xs.push_back(x);
  // Every bucket edge and its neighbours.
  for (std::size_t b = 0; !s.bucket.empty() && b <= s.bucket.size(); ++b) {
    const double e = P.front() + b * ((P.back() - P.front()) / s.bucket.size());
    for (double x : {std::nextafter(e, -10.0), e, std::nextafter(e, 10.0)}) xs.push_back(x);
  }
  int hintT = 0;
  for (double t : {0.05, 0.3, 0.77, 2.0}) {
    const LocalVolTime tb = LocalVolTimeBracket(T.data(), 3, hintT, t);
    for (double x : xs) {
      for (int hint = 0; hint < s.np; ++hint) {
        int h = hint;
        const double ref = LocalVolAt(s.P, s.np, s.nt, s.V, h, x, tb);
        const double got = LocalVolOrdered(s, x, tb);
        if (std::isnan(ref)) {
          EXPECT_TRUE(std::isnan(got)) << x;
        } else {
          EXPECT_EQ(got, ref) << "x=" << x << " t=" << t << " hint=" << hint;
        }
      }
    }
  }
}

TEST(OrderedVolLookup, MatchesTheHintedSearch) {
  for (bool buckets : {true, false}) {
    ExpectSameEverywhere({0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8}, buckets);
    ExpectSameEverywhere({0.5, 1.5}, buckets);
    ExpectSameEverywhere({1.0}, buckets);
    // Uneven spacing: several buckets per narrow interval, nodes off the edges.
    ExpectSameEverywhere({0.3, 0.31, 0.33, 1.0, 1.7, 3.1}, buckets);
  }
}

TEST(OrderedVolLookup, AxesThatDoNotRiseStrictlyKeepTheHintedSearch) {
  const std::vector<double> P = {0.5, 1.0, 1.0, 1.5};
  VolSurface s;
  s.P = P.data();
  s.np = 4;
  PrepareMoneynessAxis(s);
  EXPECT_EQ(s.ordered, 0);
  EXPECT_TRUE(s.bucket.empty());
}

}  // namespace
}  // namespace morvik
