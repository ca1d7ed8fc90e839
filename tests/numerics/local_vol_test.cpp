#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numerics/local_vol.h"
#include "numerics/random.h"

using morvik::LocalVolLookup;

namespace {

// The three-point example surface.
const double kP[] = {0.8, 1.0, 1.2};
const double kT[] = {0.5, 1.0};
const double kV[] = {0.30, 0.32, 0.25, 0.27, 0.20, 0.22};

double Lookup(double x, double t, int hp = 0, int ht = 0) {
  return LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, x, t);
}

// Bracket of v on an axis found afresh from the start, for comparison.
void FreshBracket(const double* a, int n, double v, int& lo, int& hi, double& w) {
  if (n == 1 || v <= a[0]) {
    lo = hi = 0;
    w = 1.0;
  } else if (v >= a[n - 1]) {
    lo = hi = n - 1;
    w = 1.0;
  } else {
    hi = 1;
    while (!(v < a[hi])) ++hi;
    lo = hi - 1;
    w = (v - a[lo]) / (a[hi] - a[lo]);
  }
}

double FreshLookup(const double* P, int np, const double* T, int nt, const double* V, double x,
                   double t) {
  int a, b, c, d;
  double w, u;
  FreshBracket(P, np, x, a, b, w);
  FreshBracket(T, nt, t, c, d, u);
  return (1 - w) * (1 - u) * V[a * nt + c] + (1 - w) * u * V[a * nt + d] +
         w * (1 - u) * V[b * nt + c] + w * u * V[b * nt + d];
}

}  // namespace

TEST(LocalVolLookup, ExampleSurface) {
  EXPECT_NEAR(Lookup(0.9, 0.75), 0.285, 1e-15);
  EXPECT_EQ(Lookup(1.3, 0.25), 0.20);
  EXPECT_EQ(Lookup(0.5, 2.0), 0.32);  // below the axis, beyond the last time
  EXPECT_EQ(Lookup(1.5, 3.0), 0.22);
  EXPECT_NEAR(Lookup(1.1, 0.1), 0.225, 1e-15);  // time clamped, moneyness linear
  EXPECT_NEAR(Lookup(0.7, 0.6), 0.304, 1e-15);  // moneyness clamped, time linear
}

TEST(LocalVolLookup, GridNodesGiveTheirValues) {
  for (int p = 0; p < 3; ++p) {
    for (int k = 0; k < 2; ++k) {
      EXPECT_EQ(Lookup(kP[p], kT[k]), kV[p * 2 + k]) << p << "," << k;
      EXPECT_EQ(Lookup(kP[p], kT[k], 2, 0), kV[p * 2 + k]) << p << "," << k;
    }
  }
}

TEST(LocalVolLookup, MidpointIsMeanOfFourNodes) {
  const double P[] = {1.0, 2.0, 3.0}, T[] = {1.0, 2.0, 4.0};
  const double V[] = {0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9};
  int hp = 0, ht = 0;
  EXPECT_NEAR(LocalVolLookup(P, 3, T, 3, V, hp, ht, 2.5, 3.0), (0.5 + 0.6 + 0.8 + 0.9) / 4, 1e-15);
  EXPECT_EQ(hp, 2);
  EXPECT_EQ(ht, 2);
  hp = ht = 0;
  EXPECT_NEAR(LocalVolLookup(P, 3, T, 3, V, hp, ht, 1.5, 1.5), (0.1 + 0.2 + 0.4 + 0.5) / 4, 1e-15);
  EXPECT_EQ(hp, 1);
  EXPECT_EQ(ht, 1);
}

TEST(LocalVolLookup, SinglePointSurface) {
  const double P[] = {1.0}, T[] = {0.5}, V[] = {0.27};
  int hp = 0, ht = 0;
  for (double x : {0.1, 1.0, 5.0}) {
    for (double t : {0.0, 0.5, 9.0}) {
      EXPECT_EQ(LocalVolLookup(P, 1, T, 1, V, hp, ht, x, t), 0.27);
      EXPECT_EQ(hp, 0);
      EXPECT_EQ(ht, 0);
    }
  }
  // One moneyness point, several times: linear in time only.
  const double T3[] = {0.5, 1.0, 2.0}, V3[] = {0.2, 0.3, 0.5};
  hp = ht = 0;
  EXPECT_NEAR(LocalVolLookup(P, 1, T3, 3, V3, hp, ht, 3.0, 1.5), 0.4, 1e-15);
  EXPECT_EQ(ht, 2);
}

TEST(LocalVolLookup, HintsRecordUpperBracket) {
  int hp = 1, ht = 1;
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, 0.7, 0.2);
  EXPECT_EQ(hp, 0);
  EXPECT_EQ(ht, 0);
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, 1.25, 1.5);
  EXPECT_EQ(hp, 2);
  EXPECT_EQ(ht, 1);
  hp = ht = 0;
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, 1.0, 0.5);  // interior node, first time
  EXPECT_EQ(hp, 2);
  EXPECT_EQ(ht, 0);
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, 0.85, 0.6);  // walk down
  EXPECT_EQ(hp, 1);
  EXPECT_EQ(ht, 1);
}

TEST(LocalVolLookup, MoneynessHintDoesNotChangeResult) {
  const double P[] = {0.5, 0.7, 0.9, 1.0, 1.1, 1.3, 1.6};
  const double T[] = {0.25, 1.0};
  double V[14];
  for (int i = 0; i < 14; ++i) V[i] = 0.15 + 0.01 * i + 0.001 * (i % 3);
  const double xs[] = {0.55, 0.7, 0.95, 1.0, 1.05, 1.2, 1.59, 0.3, 1.6, 2.0};
  for (double x : xs) {
    int hp0 = 0, ht0 = 0;
    const double ref = LocalVolLookup(P, 7, T, 2, V, hp0, ht0, x, 0.5);
    for (int start = 0; start < 7; ++start) {
      int hp = start, ht = 0;
      EXPECT_EQ(LocalVolLookup(P, 7, T, 2, V, hp, ht, x, 0.5), ref) << x << " from " << start;
      EXPECT_EQ(hp, hp0) << x << " from " << start;
    }
    // Hints outside the axis (a stray record) are tolerated.
    for (int start : {-5, 7, 1000}) {
      int hp = start, ht = start;
      EXPECT_EQ(LocalVolLookup(P, 7, T, 2, V, hp, ht, x, 0.5), ref) << x << " from " << start;
      EXPECT_GE(hp, 0);
      EXPECT_LT(hp, 7);
    }
  }
}

TEST(LocalVolLookup, PathWithCarriedHintsMatchesFreshSearch) {
  // A 10 x 8 surface along simulated paths: hints carried, time increasing.
  const double P[] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
  const double T[] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  std::vector<double> V(80);
  for (int p = 0; p < 10; ++p)
    for (int k = 0; k < 8; ++k) V[p * 8 + k] = 0.35 - 0.12 * P[p] + 0.01 * k + 0.003 * ((p * k) % 5);
  morvik::RandState rs;
  morvik::RandNormal(rs, 0);
  for (int path = 0; path < 30; ++path) {
    int hp = 0, ht = 0;
    double x = 1.0;
    for (int day = 0; day < 1200; ++day) {
      const double t = day / 365.0;
      const double got = LocalVolLookup(P, 10, T, 8, V.data(), hp, ht, x, t);
      ASSERT_EQ(got, FreshLookup(P, 10, T, 8, V.data(), x, t)) << path << " day " << day;
      x *= std::exp(0.02 * morvik::RandNormal(rs, 1));
      if (day == 600) x = P[4];  // land on a node mid-path
    }
  }
}

TEST(LocalVolLookup, SplitTimeBracketGivesSameBits) {
  int ht_a = 0, ht_b = 0, hp_a = 0, hp_b = 0;
  for (int day = 0; day < 500; ++day) {
    const double t = day / 365.0;
    const double x = 0.75 + 0.5 * std::sin(day * 0.05);
    const morvik::LocalVolTime tb = morvik::LocalVolTimeBracket(kT, 2, ht_a, t);
    const double a = morvik::LocalVolAt(kP, 3, 2, kV, hp_a, x, tb);
    const double b = LocalVolLookup(kP, 3, kT, 2, kV, hp_b, ht_b, x, t);
    ASSERT_EQ(a, b) << day;
    ASSERT_EQ(ht_a, ht_b);
    ASSERT_EQ(hp_a, hp_b);
  }
}

TEST(LocalVolLookup, NaNInputsStayOnTheGrid) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  int hp = 1, ht = 1;
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, nan, 0.7);
  EXPECT_GE(hp, 0);
  EXPECT_LT(hp, 3);
  hp = 2;
  ht = 0;
  LocalVolLookup(kP, 3, kT, 2, kV, hp, ht, 1.0, nan);
  EXPECT_GE(ht, 0);
  EXPECT_LT(ht, 2);
  // A NaN inside an axis must not send the walks past its end.
  const double P[] = {0.8, 1.0, nan, 1.2}, T[] = {0.5, nan, 1.0};
  double V[12] = {};
  for (int start = 0; start < 4; ++start) {
    hp = start;
    ht = start;
    LocalVolLookup(P, 4, T, 3, V, hp, ht, 1.1, 0.75);
    EXPECT_GE(hp, 0);
    EXPECT_LT(hp, 4);
    EXPECT_GE(ht, 0);
    EXPECT_LT(ht, 3);
  }
}
