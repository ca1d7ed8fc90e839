#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/curves.h"
#include "sig_digits.h"

using morvik::DailyForwardRates;
using morvik::DiscountFactor;
using morvik_test::Sig12;

TEST(DiscountFactor, FlatCurve) {
  const double T[] = {1.0}, V[] = {0.03};
  EXPECT_EQ(Sig12(DiscountFactor(T, V, 1, 1.0)), "0.970445533549");
  EXPECT_EQ(DiscountFactor(T, V, 1, 0.0), 1.0);
  EXPECT_EQ(DiscountFactor(T, V, 1, 0.25), std::exp(-0.03 * 0.25));
  EXPECT_EQ(DiscountFactor(T, V, 1, 7.0), std::exp(-0.03 * 7.0));
}

TEST(DiscountFactor, InterpolatesWithFlatEnds) {
  const double T[] = {0.5, 1.0}, V[] = {0.02, 0.04};
  EXPECT_EQ(Sig12(DiscountFactor(T, V, 2, 0.75)), "0.977751237193");
  EXPECT_NEAR(DiscountFactor(T, V, 2, 0.75), std::exp(-0.0225), 1e-16);
  EXPECT_EQ(DiscountFactor(T, V, 2, 0.25), std::exp(-0.02 * 0.25));
  EXPECT_EQ(DiscountFactor(T, V, 2, 0.5), std::exp(-0.02 * 0.5));
  EXPECT_EQ(DiscountFactor(T, V, 2, 1.0), std::exp(-0.04 * 1.0));
  EXPECT_EQ(DiscountFactor(T, V, 2, 2.0), std::exp(-0.04 * 2.0));
  EXPECT_EQ(DiscountFactor(T, V, 2, 0.0), 1.0);
}

TEST(DiscountFactor, InteriorTenorUsesIntervalStartingThere) {
  // On an interior tenor the interval [T[1], T[2]) is used, so the rate is
  // V[1] exactly; the interval ending there would be one bit off.
  const double T[] = {52 / 365.0, 206 / 365.0, 306 / 365.0};
  const double V[] = {0.0177, 0.0301, 0.0391};
  const double t = 206 / 365.0;
  const double from_below = V[0] + (V[1] - V[0]) * (t - T[0]) / (T[1] - T[0]);
  ASSERT_NE(std::exp(-from_below * t), std::exp(-V[1] * t));
  EXPECT_EQ(DiscountFactor(T, V, 3, t), std::exp(-V[1] * t));
  EXPECT_EQ(DiscountFactor(T, V, 3, t), 0.9831555363014467);
}

TEST(DailyForwardRates, FlatCurve) {
  const double T[] = {0.5}, V[] = {0.03};
  std::vector<double> out(800, -1.0);
  EXPECT_EQ(DailyForwardRates(T, V, 1, 800, out.data()), 1);
  EXPECT_EQ(out[0], 365.0 * (std::exp(0.03 / 365.0) - 1.0));
  for (double r : out) EXPECT_EQ(Sig12(r), "0.0300012329105");
}

TEST(DailyForwardRates, RisingCurveCompoundsToDiscountFactor) {
  const double T[] = {0.25, 0.5, 1.0, 2.0}, V[] = {0.01, 0.015, 0.025, 0.03};
  const int m = 900;
  std::vector<double> out(m);
  ASSERT_EQ(DailyForwardRates(T, V, 4, m, out.data()), 1);
  // Flat before the first tenor and again beyond the last.
  for (int i = 1; i < 91; ++i) EXPECT_NEAR(out[i], out[0], 1e-14);
  for (int i = 731; i < m; ++i) EXPECT_NEAR(out[i], 365.0 * (std::exp(0.03 / 365.0) - 1.0), 1e-13);
  double growth = 1.0;
  for (int d = 1; d <= m; ++d) {
    growth *= 1.0 + out[d - 1] / 365.0;
    if (d % 50 == 0 || d == 91 || d == 730) {
      EXPECT_NEAR(growth * DiscountFactor(T, V, 4, d / 365.0), 1.0, 1e-13) << d;
    }
  }
}

TEST(DailyForwardRates, RiseAlongRisingSegment) {
  const double T[] = {0.25, 2.0}, V[] = {0.01, 0.03};
  std::vector<double> out(730);
  DailyForwardRates(T, V, 2, 730, out.data());
  for (int i = 92; i < 729; ++i) EXPECT_GT(out[i], out[i - 1]) << i;
  // The forward of a linear zero rate is r + t r'(t): at 1 year
  // 0.01 + 0.02 * 0.75 / 1.75 + 0.02 / 1.75 = 0.03.
  EXPECT_NEAR(out[365], 0.03, 1e-4);
}

TEST(DailyForwardRates, EntryFromCurveValues) {
  // Day 100 to 101 inside [0.25, 0.5]: rates at both ends by hand.
  const double T[] = {0.25, 0.5}, V[] = {0.01, 0.02};
  std::vector<double> out(101);
  DailyForwardRates(T, V, 2, 101, out.data());
  const double r100 = 0.01 + 0.01 * (100 / 365.0 - 0.25) / 0.25;
  const double r101 = 0.01 + 0.01 * (101 / 365.0 - 0.25) / 0.25;
  EXPECT_NEAR(out[100], 365.0 * (std::exp((101 * r101 - 100 * r100) / 365.0) - 1.0), 1e-15);
}

TEST(DailyForwardRates, InteriorTenorUsesIntervalEndingThere) {
  // Day 137 falls on the interior tenor; the interval ending at it gives the
  // rate 0.014599999999999995 there, not V[1], which shows in the next entry.
  const double T[] = {115 / 365.0, 137 / 365.0, 237 / 365.0};
  const double V[] = {0.0473, 0.0146, 0.0221};
  std::vector<double> out(140);
  DailyForwardRates(T, V, 3, 140, out.data());
  EXPECT_EQ(out[137], 0.024950852762621878);
  EXPECT_NE(out[137], 0.02495085276254083);  // value with the other interval
}

TEST(DailyForwardRates, NothingWrittenForEmptyRow) {
  const double T[] = {1.0}, V[] = {0.03};
  double out[2] = {-1.0, -1.0};
  EXPECT_EQ(DailyForwardRates(T, V, 1, 0, out), 1);
  EXPECT_EQ(DailyForwardRates(T, V, 1, -5, out), 1);
  EXPECT_EQ(out[0], -1.0);
  EXPECT_EQ(DailyForwardRates(T, V, 1, 1, out), 1);
  EXPECT_NE(out[0], -1.0);
  EXPECT_EQ(out[1], -1.0);
}
