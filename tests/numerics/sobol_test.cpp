// Sobol points on Joe and Kuo's direction numbers (read from Boost's
// table), their scrambling, and the Brownian bridge behind the
// quasi-random stream.
#include <gtest/gtest.h>

#include <boost/random/sobol.hpp>
#include <cmath>
#include <cstdint>
#include <set>
#include <vector>

#include "numerics/brownian_bridge.h"
#include "numerics/sobol.h"
#include "termsheet/sobol_table.h"

namespace morvik {
namespace {

// Points 0..7, 1000 and 987654 (Gray-code order) of Joe and Kuo's sequence
// ("new-joe-kuo-6.21201"), as 32-bit fractions, in seven dimensions
// (0-based), as SciPy's Sobol generator (scipy.stats.qmc.Sobol, bits=32,
// unscrambled) gives them.
struct Published {
  int dim;
  std::uint32_t first[8];
  std::uint32_t at1000, at987654;
};
constexpr Published kPublished[] = {
    {0, {0u, 2147483648u, 3221225472u, 1073741824u, 1610612736u, 3758096384u, 2684354560u, 536870912u}, 943718400u, 2698579968u},
    {1, {0u, 2147483648u, 1073741824u, 3221225472u, 1610612736u, 3758096384u, 536870912u, 2684354560u}, 415236096u, 398979072u},
    {2, {0u, 2147483648u, 1073741824u, 3221225472u, 2684354560u, 536870912u, 3758096384u, 1610612736u}, 2227175424u, 2491256832u},
    {9, {0u, 2147483648u, 3221225472u, 1073741824u, 2684354560u, 536870912u, 1610612736u, 3758096384u}, 297795584u, 887255040u},
    {99, {0u, 2147483648u, 3221225472u, 1073741824u, 3758096384u, 1610612736u, 536870912u, 2684354560u}, 801112064u, 2253967360u},
    {1110, {0u, 2147483648u, 3221225472u, 1073741824u, 3758096384u, 1610612736u, 536870912u, 2684354560u}, 1589641216u, 1452232704u},
    {3666, {0u, 2147483648u, 1073741824u, 3221225472u, 2684354560u, 536870912u, 3758096384u, 1610612736u}, 3837788160u, 593424384u},
};

std::uint32_t Coordinate(const SobolDirections& t, std::uint32_t index, int dim) {
  std::uint32_t x = 0;
  SobolPointAt(t, index, dim, 1, &x);
  return x;
}

TEST(Sobol, UnscrambledPointsAreJoeKuosAndBoostsAndTheWalkFollowsThem) {
  const SobolDirections& t = JoeKuoDirections();
  ASSERT_EQ(t.dims, 3667);
  ASSERT_TRUE(t.Valid());
  for (const Published& p : kPublished) {
    for (std::uint32_t k = 0; k < 8; ++k) EXPECT_EQ(Coordinate(t, k, p.dim), p.first[k]) << p.dim << " point " << k;
    EXPECT_EQ(Coordinate(t, 1000, p.dim), p.at1000) << p.dim;
    EXPECT_EQ(Coordinate(t, 987654, p.dim), p.at987654) << p.dim;
  }
  // Every dimension against Boost's own generator (Gray-code order; it
  // starts at point 1), and the walk's step-by-step points against direct
  // ones.
  boost::random::sobol_engine<std::uint32_t, 32> boost(t.dims);
  SobolWalk walk(t, t.dims);
  walk.Seek(1);
  std::vector<std::uint32_t> direct(static_cast<std::size_t>(t.dims));
  for (std::uint32_t k = 1; k <= 64; ++k) {
    if (k > 1) walk.Next();
    SobolPointAt(t, k, 0, t.dims, direct.data());
    int wrong = 0;
    for (int d = 0; d < t.dims; ++d) {
      const std::uint32_t b = static_cast<std::uint32_t>(boost());
      wrong += b != direct[static_cast<std::size_t>(d)] || walk.Coordinates()[d] != b;
    }
    EXPECT_EQ(wrong, 0) << "point " << k;
  }
  // Seeking back and forth from wherever the walk stands.
  for (const std::uint32_t k : {987654u, 5u, 1000u, 1001u, 0u, 4294967295u, 77u}) {
    walk.Seek(k);
    SobolPointAt(t, k, 0, t.dims, direct.data());
    EXPECT_EQ(std::vector<std::uint32_t>(walk.Coordinates(), walk.Coordinates() + t.dims), direct) << "point " << k;
  }
}

// Each of the first 2^m points of a scrambling lies in its own interval of
// width 2^-m in every dimension, and the first two dimensions stay a
// (0, m, 2)-net: every box of 2^a by 2^(m-a) intervals holds one point.
TEST(Sobol, ScrambledPointsKeepTheirStratificationAndDifferByScrambling) {
  const SobolDirections& t = JoeKuoDirections();
  constexpr int m = 10;
  constexpr std::uint32_t n = 1u << m;
  const int dims[] = {0, 1, 5, 100, 3666};
  std::vector<std::uint32_t> first;
  for (std::uint32_t r = 0; r < 3; ++r) {
    for (const int d : dims) {
      const std::uint32_t seed = ScrambleSeed(42, r, static_cast<std::uint32_t>(d));
      std::set<std::uint32_t> cells;
      int moved = 0;
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t x = Coordinate(t, k, d);
        const std::uint32_t s = OwenScramble(x, seed);
        cells.insert(s >> (32 - m));
        moved += s != x;
        if (d == 100 && k < 4) first.push_back(s);
      }
      EXPECT_EQ(cells.size(), n) << "scrambling " << r << " dimension " << d;
      EXPECT_GT(moved, static_cast<int>(n) - 8) << "scrambling " << r << " dimension " << d;
    }
    for (int a = 0; a <= m; ++a) {
      std::set<std::uint32_t> boxes;
      const std::uint32_t s0 = ScrambleSeed(42, r, 0), s1 = ScrambleSeed(42, r, 1);
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t u = OwenScramble(Coordinate(t, k, 0), s0), v = OwenScramble(Coordinate(t, k, 1), s1);
        const std::uint32_t bu = a == 0 ? 0u : u >> (32 - a), bv = a == m ? 0u : v >> (32 - (m - a));
        boxes.insert((bu << (m - a)) | bv);
      }
      EXPECT_EQ(boxes.size(), n) << "scrambling " << r << " split " << a;
    }
  }
  // Three scramblings: three different sets of points.
  ASSERT_EQ(first.size(), 12u);
  EXPECT_NE(std::vector<std::uint32_t>(first.begin(), first.begin() + 4),
            std::vector<std::uint32_t>(first.begin() + 4, first.begin() + 8));
  EXPECT_NE(std::vector<std::uint32_t>(first.begin() + 4, first.begin() + 8),
            std::vector<std::uint32_t>(first.begin() + 8, first.end()));
}

// The bridge maps normals to increments by an orthogonal matrix (so
// independent standard normals give independent standard normals), its
// first normal sets the end point alone, its leading points come next in
// their order (those out of range or set already skipped), and setting its
// steps in the order the days need them gives the same bits as the
// construction order. With and without leading points.
TEST(BrownianBridge, IsOrthogonalEndsOnItsFirstNormalAndMaySetStepsLazily) {
  struct Case {
    int n;
    std::vector<int> leading, first;  // the points given, those expected after the end
  };
  const Case cases[] = {{1, {}, {}},
                        {2, {}, {}},
                        {7, {}, {}},
                        {16, {}, {}},
                        {23, {}, {}},
                        {23, {5, 11, 17, 22}, {5, 11, 17}},
                        {30, {29, 2, 9, 9, -4, 40, 27, 14}, {2, 9, 27, 14}},
                        {126, {20, 41, 62, 83, 104, 125, 10, 115, 52}, {20, 41, 62, 83, 104, 10, 115, 52}},
                        {9, {7, 6, 5, 4, 3, 2, 1, 0}, {7, 6, 5, 4, 3, 2, 1, 0}}};
  for (const Case& c : cases) {
    const int n = c.n;
    const BrownianBridge b(n, c.leading);
    EXPECT_EQ(b.Point(0), n - 1);
    for (std::size_t k = 0; k < c.first.size(); ++k)
      EXPECT_EQ(b.Point(static_cast<int>(k) + 1), c.first[k]) << n << " leading " << k;
    std::set<int> points;
    for (int i = 0; i < n; ++i) points.insert(b.Point(i));
    EXPECT_EQ(points.size(), static_cast<std::size_t>(n)) << n;
    std::vector<std::vector<double>> col(static_cast<std::size_t>(n));
    std::vector<double> z(static_cast<std::size_t>(n)), w(z.size()), dw(z.size());
    for (int k = 0; k < n; ++k) {
      std::fill(z.begin(), z.end(), 0.0);
      z[static_cast<std::size_t>(k)] = 1.0;
      b.Build(z.data(), w.data(), dw.data());
      col[static_cast<std::size_t>(k)] = dw;
      const double end = k == 0 ? std::sqrt(static_cast<double>(n)) : 0.0;
      EXPECT_NEAR(w[static_cast<std::size_t>(n - 1)], end, 1e-14) << n << " " << k;
    }
    for (int a = 0; a < n; ++a)
      for (int c = 0; c < n; ++c) {
        double dot = 0.0;
        for (int d = 0; d < n; ++d) dot += col[static_cast<std::size_t>(a)][static_cast<std::size_t>(d)] * col[static_cast<std::size_t>(c)][static_cast<std::size_t>(d)];
        EXPECT_NEAR(dot, a == c ? 1.0 : 0.0, 1e-12) << n << ": " << a << ", " << c;
      }
    // Lazily, day by day, from arbitrary normals.
    for (int k = 0; k < n; ++k) z[static_cast<std::size_t>(k)] = std::sin(1.0 + 3.0 * k);
    b.Build(z.data(), w.data(), dw.data());
    std::vector<double> lazy(static_cast<std::size_t>(n), std::nan(""));
    int set = 0;
    for (int d = 0; d < n; ++d) {
      for (; set < b.Needed(d); ++set) b.Set(b.Order(set), z[static_cast<std::size_t>(b.Order(set))], lazy.data());
      for (int e = 0; e <= d; ++e) EXPECT_EQ(lazy[static_cast<std::size_t>(e)], w[static_cast<std::size_t>(e)]) << n << " day " << d;
    }
    EXPECT_EQ(set, n);
  }
}

}  // namespace
}  // namespace morvik
