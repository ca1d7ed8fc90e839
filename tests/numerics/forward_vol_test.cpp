#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/forward_vol.h"
#include "sig_digits.h"

using morvik::DailyForwardVol;
using morvik_test::Sig12;

TEST(DailyForwardVol, FlatTermStructure) {
  const double T[] = {0.5, 1.0, 3.0}, V[] = {0.15, 0.15, 0.15};
  std::vector<double> out(1200);
  DailyForwardVol(T, V, 3, out.data(), 1200);
  for (double v : out) EXPECT_NEAR(v, 0.15, 1e-12);
  const double T1[] = {2.0}, V1[] = {0.12};
  DailyForwardVol(T1, V1, 1, out.data(), 1200);
  EXPECT_EQ(out[0], 0.12);
  for (double v : out) EXPECT_NEAR(v, 0.12, 1e-12);
}

TEST(DailyForwardVol, RisingTermStructure) {
  const double T[] = {0.5, 1.0}, V[] = {0.10, 0.20};
  std::vector<double> out(420, -1.0);
  DailyForwardVol(T, V, 2, out.data(), 420);
  EXPECT_EQ(out[0], 0.10);
  for (int k = 0; k <= 181; ++k) EXPECT_NEAR(out[k], 0.10, 1e-12) << k;
  EXPECT_EQ(Sig12(out[182]), "0.158243786262");
  EXPECT_EQ(Sig12(out[200]), "0.21428440965");  // 0.214284409650
  EXPECT_EQ(Sig12(out[364]), "0.315967745883");
  for (int k = 365; k < 420; ++k) EXPECT_NEAR(out[k], 0.20, 1e-12) << k;
}

TEST(DailyForwardVol, EntryMatchesVarianceIncrement) {
  // Day 300 to 301 by hand: variance linear between 0.01 and 0.04.
  const double T[] = {0.5, 1.0}, V[] = {0.10, 0.20};
  std::vector<double> out(302);
  DailyForwardVol(T, V, 2, out.data(), 302);
  const double v300 = 0.01 + 0.03 * (300 / 365.0 - 0.5) / 0.5;
  const double v301 = 0.01 + 0.03 * (301 / 365.0 - 0.5) / 0.5;
  EXPECT_NEAR(out[300], std::sqrt(301 * v301 - 300 * v300), 1e-12);
  // Summed daily variances give back the term variance.
  double total = 0.0;
  for (int k = 0; k < 302; ++k) total += out[k] * out[k];
  const double v302 = 0.01 + 0.03 * (302 / 365.0 - 0.5) / 0.5;
  EXPECT_NEAR(total, 302 * v302, 1e-10);
}

TEST(DailyForwardVol, ShortRows) {
  const double T[] = {0.5, 1.0}, V[] = {0.10, 0.20};
  double out[3] = {-1.0, -1.0, -1.0};
  DailyForwardVol(T, V, 2, out, 0);
  EXPECT_EQ(out[0], -1.0);
  DailyForwardVol(T, V, 2, out, 1);
  EXPECT_EQ(out[0], 0.10);
  EXPECT_EQ(out[1], -1.0);
  // Day 1 already inside the tenors.
  const double Ts[] = {0.0, 1.0}, Vs[] = {0.10, 0.20};
  DailyForwardVol(Ts, Vs, 2, out, 1);
  EXPECT_EQ(out[0], std::sqrt(0.1 * 0.1 + (0.2 * 0.2 - 0.1 * 0.1) * (1 / 365.0 - 0.0) / (1.0 - 0.0)));
}

TEST(DailyForwardVol, FallingTotalVarianceGivesZero) {
  // Variance drops from 0.09 to 0.01 over [0.5, 1]: the total variance
  // t * sigma^2 falls from t = 0.53125 to 1.0.
  const double T[] = {0.5, 1.0}, V[] = {0.30, 0.10};
  const int m = 500;
  std::vector<double> out(m);
  DailyForwardVol(T, V, 2, out.data(), m);
  int zeros = 0;
  for (int k = 0; k < m; ++k) {
    ASSERT_FALSE(std::isnan(out[k])) << k;
    ASSERT_GE(out[k], 0.0) << k;
    zeros += out[k] == 0.0;
  }
  EXPECT_EQ(out[219], 0.0);  // t = 0.6
  EXPECT_EQ(out[300], 0.0);
  EXPECT_EQ(out[364], 0.0);
  EXPECT_GT(zeros, 150);
  EXPECT_NEAR(out[190], std::sqrt(191 * (0.09 - 0.08 * (191 / 365.0 - 0.5) / 0.5) -
                                  190 * (0.09 - 0.08 * (190 / 365.0 - 0.5) / 0.5)),
              1e-12);
  for (int k = 365; k < m; ++k) EXPECT_NEAR(out[k], 0.10, 1e-12) << k;
}
