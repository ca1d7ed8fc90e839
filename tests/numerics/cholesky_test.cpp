#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/cholesky.h"

using morvik::CholeskyLower;

namespace {

std::vector<double> Factor(const std::vector<double>& a, int n) {
  std::vector<double> l(static_cast<std::size_t>(n * n), -99.0);
  CholeskyLower(a.data(), l.data(), n);
  return l;
}

}  // namespace

TEST(CholeskyLower, IdentityFactorsToIdentity) {
  const std::vector<double> a = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  EXPECT_EQ(Factor(a, 3), a);
}

TEST(CholeskyLower, TwoStocks) {
  const double rho = 0.6;
  const auto l = Factor({1.0, rho, rho, 1.0}, 2);
  EXPECT_EQ(l[0], 1.0);
  EXPECT_EQ(l[1], 0.0);
  EXPECT_EQ(l[2], rho);
  EXPECT_EQ(l[3], std::sqrt(1.0 - rho * rho));
  EXPECT_NEAR(l[3], 0.8, 1e-15);
}

TEST(CholeskyLower, NonPositivePivotIsFloored) {
  // Perfect correlation: the second pivot is exactly 0.
  auto l = Factor({1.0, 1.0, 1.0, 1.0}, 2);
  EXPECT_EQ(l[2], 1.0);
  EXPECT_DOUBLE_EQ(l[3], 1e-5);
  EXPECT_EQ(l[1], 0.0);
  // An invalid correlation of 1.2: the second pivot is -0.44.
  l = Factor({1.0, 1.2, 1.2, 1.0}, 2);
  EXPECT_EQ(l[2], 1.2);
  EXPECT_DOUBLE_EQ(l[3], 1e-5);
  // A zero first pivot: the column below is divided by 1e-5.
  l = Factor({0.0, 0.5, 0.5, 1.0}, 2);
  EXPECT_DOUBLE_EQ(l[0], 1e-5);
  EXPECT_NEAR(l[2], 0.5e5, 1e-6);
  EXPECT_DOUBLE_EQ(l[3], 1e-5);  // 1 - 2.5e9 < 0
}

TEST(CholeskyLower, UpperTriangleIsRead) {
  const auto l = Factor({1.0, 0.5, 0.9, 1.0}, 2);
  EXPECT_EQ(l[2], 0.5);
  EXPECT_EQ(l[3], std::sqrt(0.75));
  EXPECT_EQ(l[1], 0.0);
}

TEST(CholeskyLower, DiagonalIsNotRescaled) {
  const auto l = Factor({4.0}, 1);
  EXPECT_EQ(l[0], 2.0);
  EXPECT_EQ(Factor({1.0}, 1), std::vector<double>{1.0});
}

TEST(CholeskyLower, EmptyMatrixWritesNothing) {
  double a = 1.0, l = -99.0;
  CholeskyLower(&a, &l, 0);
  EXPECT_EQ(l, -99.0);
}

TEST(CholeskyLower, ReconstructsCorrelationAndLeavesInput) {
  const int n = 4;
  const std::vector<double> a = {1.0,  0.3,  -0.2, 0.5,  0.3, 1.0, 0.4, 0.1,
                                 -0.2, 0.4,  1.0,  -0.3, 0.5, 0.1, -0.3, 1.0};
  const std::vector<double> copy = a;
  const auto l = Factor(a, n);
  EXPECT_EQ(a, copy);
  for (int i = 0; i < n; ++i) {
    EXPECT_GT(l[i * n + i], 0.0);
    for (int j = 0; j < n; ++j) {
      if (j > i) {
        EXPECT_EQ(l[i * n + j], 0.0) << i << "," << j;
      }
      double s = 0.0;
      for (int k = 0; k < n; ++k) s += l[i * n + k] * l[j * n + k];
      EXPECT_NEAR(s, a[i * n + j], 1e-14) << i << "," << j;
    }
  }
}

TEST(CholeskyLower, PivotSubtractsFromLastTermDown) {
  // For this matrix the two summation orders of the last pivot differ in
  // the last bit; the factor must use k = i-1 first.
  const double a01 = -0.78, a02 = -0.36, a12 = 0.19;
  const auto l = Factor({1.0, a01, a02, a01, 1.0, a12, a02, a12, 1.0}, 3);
  const double l10 = a01 / 1.0, l20 = a02 / 1.0;
  const double l11 = std::sqrt(1.0 - l10 * l10);
  const double l21 = (a12 - l20 * l10) / l11;
  const double down = std::sqrt((1.0 - l21 * l21) - l20 * l20);
  const double up = std::sqrt((1.0 - l20 * l20) - l21 * l21);
  ASSERT_NE(down, up);
  EXPECT_EQ(l[3], l10);
  EXPECT_EQ(l[6], l20);
  EXPECT_EQ(l[4], l11);
  EXPECT_EQ(l[7], l21);
  EXPECT_EQ(l[8], down);
  EXPECT_EQ(l[8], 0.921599843590385);
}
