// The engine's precision figures: the price's standard error against the
// binomial error of a two-valued payoff, the path-addressed stream's
// normals, and that a block of paths does not depend on the paths before it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "engine/core_valuation.h"
#include "engine/path_normals.h"
#include "engine/simulate.h"
#include "numerics/inverse_normal.h"
#include "numerics/philox.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

// Two dates: the first redeems at 1.03 when the stock is at or above 1.0,
// else the note pays 1.08 at maturity, both undiscounted. Each path is worth one of two
// present values, so the price's error is their difference times the
// error of the first date's probability.
TEST(PriceError, TwoValuedPayoffGivesTheBinomialErrorTimesTheGap) {
  CoreNote f(1, {30, 60}, {30, 60});
  f.SetFlatVol(0.3);
  f.SetStrike(3, 0, 1.0);
  f.KI_Barrier = {0.0};
  f.PayOffAmount3 = {0.03, 0.0, 0.08, 0.0};
  for (const double trials : {400.0, 1000.5}) {
    f.NTrials = trials;
    ValuationExtras x;
    ASSERT_EQ(MorvikCore(f.View(), f.Results(), 0, &x), 1);
    const double q = f.ELS_Prob[0] * trials;  // paths redeemed on the first date
    const double n = std::ceil(trials);
    ASSERT_GT(q, 50.0);
    ASSERT_LT(q, n - 50.0);
    const double binomial = std::sqrt(n) * std::sqrt(q * (1 - q / n) / (n - 1)) / trials;
    EXPECT_NEAR(x.probSE[0], binomial, 1e-12 * binomial) << trials;
    EXPECT_NEAR(x.probSE[2], binomial, 1e-12 * binomial) << trials;
    EXPECT_EQ(x.probSE[1], 0.0);  // the second date never redeems
    // Undiscounted: 1.03 against 1.08, per 10000 of notional.
    EXPECT_NEAR(x.priceSE, 10000 * 0.05 * binomial, 1e-9 * x.priceSE) << trials;
    ASSERT_EQ(x.convergence.size(), 1u);
    EXPECT_EQ(x.convergence[0].paths, static_cast<long long>(n));
    EXPECT_EQ(x.convergence[0].price, f.ResultPrice[0]);
  }
  f.NTrials = 1;
  ValuationExtras one;
  ASSERT_EQ(MorvikCore(f.View(), f.Results(), 0, &one), 1);
  EXPECT_TRUE(std::isnan(one.priceSE));
}

// Each word of Philox through OpenUniform and InverseNormal, whichever
// range of the inverse it falls in (the centre is worked out two lanes at
// a time, the tails one by one), for whole groups and for the first words.
TEST(PathNormals, AddressedNormalsAreTheInverseOfTheirPhiloxWords) {
  int tails = 0;
  for (std::uint32_t day = 0; day < 3000; ++day) {
    const std::uint64_t path = 0x100000000ULL * (day % 3) + day;
    const std::uint32_t c[4] = {static_cast<std::uint32_t>(path), static_cast<std::uint32_t>(path >> 32), day, 1};
    const std::uint32_t k[2] = {99u, 1u};
    const PhiloxBlock b = Philox4x32(c, k);
    for (const int used : {4, 3, 1}) {
      double z[4];
      AddressedNormals((1ULL << 32) + 99, path, day, 1, z, used);
      for (int j = 0; j < used; ++j) {
        const double u = OpenUniform(b.w[j]);
        ASSERT_EQ(z[j], InverseNormal(u)) << day << " " << j;
        if (used == 4) tails += std::fabs(u - 0.5) > 0.425 ? 1 : 0;
      }
    }
  }
  EXPECT_GT(tails, 1000);  // about 15 % of 12000 words
}

// Row of day d of path p: the lower factor times the addressed normals of
// stocks 0..4 (two Philox groups).
TEST(PathNormals, RowsAreTheFactorTimesTheNormalsOfTheirAddress) {
  const int S = 5;
  double L[S * S] = {};
  for (int i = 0; i < S; ++i)
    for (int k = 0; k <= i; ++k) L[i * S + k] = i == k ? 0.8 : 0.1 * (k + 1);
  const std::uint64_t seed = 0x123456789abcdefULL;
  PathNormals src(L, S, seed);
  for (const long long p : {0LL, 7LL, (1LL << 33) + 5}) {
    src.StartPath(p);
    for (std::uint32_t d = 0; d < 3; ++d) {
      if (d > 0) src.Produce<0>();
      double z[8];
      AddressedNormals(seed, static_cast<std::uint64_t>(p), d, 0, z);
      AddressedNormals(seed, static_cast<std::uint64_t>(p), d, 1, z + 4);
      const double* row = src.Row(S);
      for (int i = 0; i < S; ++i) {
        double w = 0.0;
        for (int k = 0; k <= i; ++k) w += L[i * S + k] * z[k];
        EXPECT_EQ(row[i], w) << p << " " << d << " " << i;
      }
    }
  }
  // Different seeds, paths and days give different normals.
  double a[4], b[4], c[4], e[4];
  AddressedNormals(1, 0, 0, 0, a);
  AddressedNormals(2, 0, 0, 0, b);
  AddressedNormals(1, 1, 0, 0, c);
  AddressedNormals(1, 0, 1, 0, e);
  EXPECT_NE(a[0], b[0]);
  EXPECT_NE(a[0], c[0]);
  EXPECT_NE(a[0], e[0]);
}

// A linear payoff (2 - y at maturity, two days) on the aligned stream: each
// path's payoff follows from its own addressed normals, and a block that
// starts at path 1 gives path 1's payoff whatever ran before.
TEST(AlignedBlocks, EachPathReadsItsOwnNormals) {
  const double c = 0.2 * std::sqrt(1.0 / 365.0);
  CoreNote f(1, {2}, {2});
  f.SetFlatVol(0.2);
  f.PayOffSlope3[1] = -1.0;
  f.NTrials = 3;
  SimJob job;
  StartSimulation(f.View(), 0, f.Results(), job);
  const std::uint64_t seed = 42;
  auto payoff = [&](long long p) {
    double z0[4], z1[4];
    AddressedNormals(seed, static_cast<std::uint64_t>(p), 0, 0, z0);
    AddressedNormals(seed, static_cast<std::uint64_t>(p), 1, 0, z1);
    return 2 - (1 + c * z0[0]) * (1 + c * z1[0]);
  };
  PathScratch w = job.w;
  RunTally all, tail;
  StartTally(job, 0, all);
  SimulateAlignedBlock(job, seed, 0, 3, w, all);
  EXPECT_EQ(all.t.paths, 3);
  EXPECT_NEAR(all.t.cf[1], payoff(0) + payoff(1) + payoff(2), 1e-14);
  StartTally(job, 1, tail);
  SimulateAlignedBlock(job, seed, 1, 2, w, tail);
  EXPECT_EQ(tail.t.paths, 1);
  EXPECT_EQ(tail.t.cf[1], payoff(1));
}

}  // namespace
}  // namespace morvik
