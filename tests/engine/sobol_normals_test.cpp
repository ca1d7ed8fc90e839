// The quasi-random stream's rows against a direct computation: each path's
// Sobol point from scratch, scrambled and inverted one value at a time, the
// whole bridge built at once, each day's increments correlated.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/correlate.h"
#include "engine/sobol_normals.h"
#include "numerics/addressed_normal.h"
#include "numerics/brownian_bridge.h"
#include "numerics/inverse_normal.h"
#include "numerics/philox.h"
#include "numerics/sobol.h"
#include "termsheet/sobol_table.h"

namespace morvik {
namespace {

// The first `dims` dimensions of Joe and Kuo's table: few enough that the
// finer bridge steps take the path-addressed normals.
SobolDirections FirstDimensions(int dims) {
  const SobolDirections& all = JoeKuoDirections();
  SobolDirections t;
  t.dims = dims;
  for (int k = 0; k < 32; ++k)
    for (int d = 0; d < dims; ++d)
      t.v.push_back(all.v[static_cast<std::size_t>(k) * static_cast<std::size_t>(all.dims) + static_cast<std::size_t>(d)]);
  return t;
}

// Path p's rows (days x stocks), directly.
std::vector<double> DirectRows(const SobolDirections& dirs, const std::vector<double>& L, int S, int D,
                               const std::vector<int>& leading, const SobolPlan& plan, long long p) {
  const BrownianBridge bridge(D, leading);
  const int J = SobolNormals::SobolSteps(dirs.dims, S, D);
  const std::uint32_t r = static_cast<std::uint32_t>(p / plan.points);
  std::vector<std::uint32_t> x(static_cast<std::size_t>(J * S));
  SobolPointAt(dirs, static_cast<std::uint32_t>(p % plan.points), 0, J * S, x.data());
  std::vector<double> dw(static_cast<std::size_t>(S * D)), z(static_cast<std::size_t>(D)), w(z.size());
  for (int i = 0; i < S; ++i) {
    for (int j = 0; j < D; ++j) {
      double four[4];
      if (j < J) {
        const std::uint32_t d = static_cast<std::uint32_t>(j * S + i);
        z[static_cast<std::size_t>(j)] = InverseNormal(OpenUniform(OwenScramble(x[d], ScrambleSeed(plan.seed, r, d))));
      } else {
        AddressedNormals(plan.seed, static_cast<std::uint64_t>(p), static_cast<std::uint32_t>(j),
                         static_cast<std::uint32_t>(i / 4), four);
        z[static_cast<std::size_t>(j)] = four[i % 4];
      }
    }
    bridge.Build(z.data(), w.data(), dw.data() + static_cast<std::size_t>(i * D));
  }
  std::vector<double> rows(static_cast<std::size_t>(S * D)), inc(static_cast<std::size_t>(S));
  for (int t = 0; t < D; ++t) {
    for (int i = 0; i < S; ++i) inc[static_cast<std::size_t>(i)] = dw[static_cast<std::size_t>(i * D + t)];
    CorrelateRow<0>(L.data(), S, inc.data(), rows.data() + static_cast<std::size_t>(t * S));
  }
  return rows;
}

template <int NS>
void ExpectDirectRows(int S) {
  const SobolDirections dirs = FirstDimensions(30);
  const int D = 40;
  const std::vector<int> leading = {9, 19, 29, 4};
  std::vector<double> L(static_cast<std::size_t>(S * S), 0.0);
  for (int i = 0; i < S; ++i)
    for (int k = 0; k <= i; ++k) L[static_cast<std::size_t>(i * S + k)] = k == i ? 0.8 : 0.3 / (1 + i + k);
  SobolPlan plan;
  plan.dirs = &dirs;
  plan.seed = 0x1234567890ull;
  plan.scrambles = 3;
  plan.points = 64;
  SobolNormals normals(L.data(), S, D, leading, plan);
  // In order, skipping, back and across scramblings; some paths stop early
  // (the next path must not see the rows made ahead for them).
  for (const long long p : {0LL, 1LL, 2LL, 3LL, 10LL, 63LL, 64LL, 65LL, 5LL, 191LL, 128LL, 129LL}) {
    const std::vector<double> direct = DirectRows(dirs, L, S, D, leading, plan, p);
    const int days = p % 3 == 0 ? D : static_cast<int>(1 + (p * 7) % D);
    normals.StartPath(p);
    int wrong = 0;
    for (int t = 0; t < days; ++t) {
      if (t > 0) normals.template Produce<NS>();
      const double* row = normals.Row(S);
      for (int i = 0; i < S; ++i) wrong += row[i] != direct[static_cast<std::size_t>(t * S + i)];
    }
    EXPECT_EQ(wrong, 0) << S << " stocks, path " << p;
  }
}

TEST(SobolNormals, RowsAreTheDirectComputationsBits) {
  ExpectDirectRows<2>(2);
  ExpectDirectRows<0>(2);
  ExpectDirectRows<0>(5);  // two Philox groups on the fine steps
}

}  // namespace
}  // namespace morvik
