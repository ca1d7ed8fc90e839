// Draw order and step arithmetic on the stream's first known normals: after
// the discarded reset draw, mode-1 draws give -0.172279924073,
// 0.187117448254, 1.61543984901, -0.176774038977, in path, day and stock
// order, never restarted between paths.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/simulate.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

constexpr double kZ[] = {-0.172279924073, 0.187117448254, 1.61543984901, -0.176774038977};

// Maturity slope -1 pays 2 - worst with no max(): the payoff is linear in
// the final performance.
TEST(EngineStream, PathsContinueTheStreamDayAfterDay) {
  const double sigma = 0.2;
  const double c = sigma * std::sqrt(1.0 / 365.0);
  CoreNote f(1, {2}, {2});
  f.SetFlatVol(sigma);
  f.PayOffSlope3[1] = -1.0;
  f.NTrials = 2;
  const CoreArgs a = f.View();
  ASSERT_EQ(SimulateELS(a, 0, f.Results()), 1);
  const double y0 = (1 + c * kZ[0]) * (1 + c * kZ[1]);
  const double y1 = (1 + c * kZ[2]) * (1 + c * kZ[3]);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * ((2 - y0) + (2 - y1)) / 2, 1e-6);
}

TEST(EngineStream, CorrelatedNormalsUseTheLowerFactorInStockOrder) {
  // Stock 1 starts at 0.99 and ends below stock 0, so the worst is stock 1,
  // driven by -0.9 z0 + sqrt(0.19) z1.
  const double sigma = 0.2;
  const double c = sigma * std::sqrt(1.0 / 365.0);
  CoreNote f(2, {1}, {1});
  f.SetFlatVol(sigma);
  f.SetPerformance(1, 0.99);
  f.UnderlyingCorr = {1.0, -0.9, -0.9, 1.0};
  f.PayOffSlope3[1] = -1.0;
  const CoreArgs a = f.View();
  ASSERT_EQ(SimulateELS(a, 0, f.Results()), 1);
  const double y1 = 0.99 * (1 + c * (-0.9 * kZ[0] + std::sqrt(0.19) * kZ[1]));
  ASSERT_LT(y1, 1 + c * kZ[0]);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * (2 - y1), 1e-6);
}

TEST(EngineStream, VolatilityIsSampledAtTheEndOfTheStep) {
  // A surface that is 0 up to t = 1/365 and 0.4 from 2/365 on: day 1 (at
  // t = 1/365) does not move, day 2 (t = 2/365) moves with 0.4.
  CoreNote f(1, {2}, {2});
  f.TVol = {1 / 365.0, 2 / 365.0};
  f.NVol = {2};
  f.LocalVolSurface = {0.0, 0.4};
  f.PayOffSlope3[1] = -1.0;
  const CoreArgs a = f.View();
  ASSERT_EQ(SimulateELS(a, 0, f.Results()), 1);
  const double y = 1 + 0.4 * std::sqrt(1.0 / 365.0) * kZ[1];
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * (2 - y), 1e-6);
}

}  // namespace
}  // namespace morvik
