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

VolSurface Surface(const std::vector<double>& P, const std::vector<double>& T,
                   const std::vector<double>& V, std::vector<double>& width) {
  VolSurface s;
  s.P = P.data();
  s.np = static_cast<int>(P.size());
  s.T = T.data();
  s.nt = static_cast<int>(T.size());
  s.V = V.data();
  s.ordered = 1;
  width.assign(P.size() > 1 ? P.size() - 1 : 1, 1.0);
  for (std::size_t m = 0; m + 1 < P.size(); ++m) width[m] = P[m + 1] - P[m];
  s.width = width;
  return s;
}

void ExpectSameEverywhere(const std::vector<double>& P) {
  const std::vector<double> T = {0.1, 0.5, 1.0};
  std::vector<double> V;
  for (std::size_t p = 0; p < P.size(); ++p)
    for (int k = 0; k < 3; ++k) V.push_back(0.31 - 0.07 * p + 0.013 * k + 0.001 * p * k);
  std::vector<double> width;
  const VolSurface s = Surface(P, T, V, width);
  std::vector<double> xs = {-1.0, 0.0, 5.0, std::numeric_limits<double>::quiet_NaN()};
  for (double p : P) {
    xs.push_back(p);
    xs.push_back(std::nextafter(p, -10.0));
    xs.push_back(std::nextafter(p, 10.0));
  }
  for (double x = 0.3; x < 2.0; x += 0.0137) xs.push_back(x);
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
  ExpectSameEverywhere({0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8});
  ExpectSameEverywhere({0.5, 1.5});
  ExpectSameEverywhere({1.0});
}

}  // namespace
}  // namespace morvik
