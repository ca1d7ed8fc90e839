// The sensitivity routines against the real core entry: each result equals
// its difference formula over separate core-entry calls whose bumped inputs
// are built here by hand, bit for bit, and on notes whose price is known in
// closed form the differences take their known values.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/curves.h"
#include "testing/core_note.h"
#include "tests/sensitivities/one_by_one.h"

namespace morvik {
namespace {

using namespace one_by_one;
using testing::CorePrice;
using testing::SmallNote;

double PriceWithSpot(const SmallNote& n, int index, double value) {
  std::vector<double> cur = n.CurPrice;
  cur[index] = value;
  CoreArgs a = n.a;
  a.CurPrice = cur.data();
  return CorePrice(a);
}

TEST(Revaluation, DeltaAndGammaEqualTheirDifferencesOfSeparateCalls) {
  for (int stocks : {1, 2}) {
    SmallNote n(stocks);
    for (int k = 1; k <= stocks; ++k) {
      const double s = n.CurPrice[k - 1];
      const double up1 = PriceWithSpot(n, k - 1, s * 1.01);
      const double dn1 = PriceWithSpot(n, k - 1, s * 0.99);
      EXPECT_EQ(CalcDelta(k, n.a), (up1 - dn1) * 0.5) << stocks << " " << k;

      const double up10 = PriceWithSpot(n, k - 1, s * 1.1);
      const double dn10 = PriceWithSpot(n, k - 1, s * 0.9);
      const double p0 = CorePrice(n.a);
      EXPECT_EQ(CalcGamma(k, n.a), (up10 + dn10 - 2.0 * p0) / 100.0) << stocks << " " << k;
      // The bumped copies reach the core: the two prices differ.
      EXPECT_NE(up1, dn1);
      EXPECT_NE(up10 + dn10, 2.0 * p0);
    }
    EXPECT_EQ(n.CurPrice[0], 100.0);
  }
}

TEST(Revaluation, SpotSensitivitiesOutsideTheBasketAreZero) {
  SmallNote n(2);
  for (int k : {0, 3}) {
    EXPECT_EQ(CalcDelta(k, n.a), 0.0) << k;
    EXPECT_EQ(CalcGamma(k, n.a), 0.0) << k;
    EXPECT_EQ(CalcVega(k, n.a), 0.0) << k;
  }
}

TEST(Revaluation, LinearNoteHasNoGammaAndAKnownDelta) {
  // Price = 10000 * mean(2 + b - S_T/B); with a flat volatility S_T is
  // proportional to the spot, so P(lambda * S) = 10000 (2 + b) - lambda * M.
  SmallNote n(1);
  const double b = 0.05;
  n.MakeLinear(b);
  const double p0 = CorePrice(n.a);
  EXPECT_NEAR(CalcGamma(1, n.a), 0.0, 1e-9);
  EXPECT_NEAR(CalcDelta(1, n.a), 0.01 * (p0 - 10000.0 * (2.0 + b)), 1e-8);
  EXPECT_LT(CalcDelta(1, n.a), -50.0);  // about -0.01 * 10000 * E[S_T/B]
}

TEST(Revaluation, VegaOfTheSecondStockMovesOnlyItsBlock) {
  SmallNote n(2);
  n.LocalVolSurface[16] = 0.005;  // floored in the down set
  n.LocalVolSurface[17] = 0.01;
  n.LocalVolSurface[3] = 0.005;   // first stock's block: left alone
  n.Bind();
  std::vector<double> up = n.LocalVolSurface, dn = n.LocalVolSurface;
  for (int m = 15; m < 30; ++m) {
    up[m] = n.LocalVolSurface[m] + 0.01;
    dn[m] = n.LocalVolSurface[m] - 0.01;
  }
  dn[16] = 1e-12;
  dn[17] = 1e-12;
  CoreArgs au = n.a, ad = n.a;
  au.LocalVolSurface = up.data();
  ad.LocalVolSurface = dn.data();
  const double pu = CorePrice(au), pd = CorePrice(ad);
  EXPECT_EQ(CalcVega(2, n.a), (pu - pd) * 0.5);

  // The first stock's vega bumps values 0 to 14.
  std::vector<double> up1 = n.LocalVolSurface, dn1 = n.LocalVolSurface;
  for (int m = 0; m < 15; ++m) {
    up1[m] = n.LocalVolSurface[m] + 0.01;
    dn1[m] = n.LocalVolSurface[m] - 0.01;
  }
  dn1[3] = 1e-12;
  au.LocalVolSurface = up1.data();
  ad.LocalVolSurface = dn1.data();
  EXPECT_EQ(CalcVega(1, n.a), (CorePrice(au) - CorePrice(ad)) * 0.5);
  EXPECT_EQ(n.LocalVolSurface[16], 0.005);
}

TEST(Revaluation, RhoEqualsTheDifferenceOfParallelCurveShifts) {
  SmallNote n(2);
  std::vector<double> su = n.CurveInfo_Stock, sd = n.CurveInfo_Stock, du = n.CurveInfo_Disc, dd = n.CurveInfo_Disc;
  for (std::size_t m = 0; m < su.size(); ++m) {
    su[m] = n.CurveInfo_Stock[m] + 0.01;
    sd[m] = n.CurveInfo_Stock[m] - 0.01;
  }
  for (std::size_t m = 0; m < du.size(); ++m) {
    du[m] = n.CurveInfo_Disc[m] + 0.01;
    dd[m] = n.CurveInfo_Disc[m] - 0.01;
  }
  CoreArgs au = n.a, ad = n.a;
  au.CurveInfo_Stock = su.data();
  au.CurveInfo_Disc = du.data();
  ad.CurveInfo_Stock = sd.data();
  ad.CurveInfo_Disc = dd.data();
  EXPECT_EQ(CalcRho(n.a), (CorePrice(au) - CorePrice(ad)) * 0.5);
}

// Day counts of a schedule moved by shift (settled dates included here,
// since these schedules have none).
std::vector<int> Moved(const std::vector<int>& v, int shift) {
  std::vector<int> out;
  for (int x : v) out.push_back(x + shift);
  return out;
}

double PriceShifted(const SmallNote& n, const std::vector<int>& koObs,
                    const std::vector<int>& koPay, const std::vector<int>& cpObs,
                    const std::vector<int>& cpPay) {
  CoreArgs a = n.a;
  a.KO_ObsDays = koObs.data();
  a.KO_PayDays = koPay.data();
  a.Coupon_ObsDays = cpObs.data();
  a.Coupon_PayDays = cpPay.data();
  return CorePrice(a);
}

TEST(Revaluation, ThetaForwardEqualsTheScheduleBroughtNearer) {
  SmallNote n(2);  // first observation 30 days ahead: forward, h = 4
  const double p0 = CorePrice(n.a);
  const double pPlus = PriceShifted(n, Moved(n.KO_ObsDays, -4), Moved(n.KO_PayDays, -4),
                                    Moved(n.Coupon_ObsDays, -4), Moved(n.Coupon_PayDays, -4));
  EXPECT_EQ(CalcTheta(n.a), (pPlus - p0) / 4.0);
}

TEST(Revaluation, ThetaBackwardEqualsTheSchedulePushedAway) {
  SmallNote n(1);
  n.KO_ObsDays[0] = 3;  // within four days
  n.KO_PayDays[0] = 5;
  n.KO_WindowLen = {1, 10, 1};  // h = 10
  n.Bind();
  const double p0 = CorePrice(n.a);
  const double pMinus = PriceShifted(n, Moved(n.KO_ObsDays, 10), Moved(n.KO_PayDays, 10),
                                     Moved(n.Coupon_ObsDays, 10), Moved(n.Coupon_PayDays, 10));
  EXPECT_EQ(CalcTheta(n.a), (p0 - pMinus) / 10.0);
}

// With no volatility, no drift and no dividends the spot never moves, so the
// price is 10000 * 1.1 * DF(last payment) and theta is a difference of two
// discount factors.
void MakeStill(SmallNote& n) {
  for (double& v : n.LocalVolSurface) v = 0.0;
  for (double& v : n.CurveInfo_Stock) v = 0.0;
  n.DailyDivRows[0].assign(n.DailyDivRows[0].size(), 0.0);
  n.X3.assign(n.X3.size(), 100.0);
  n.KO_Barrier.assign(3, 100.0);
  n.KI_Barrier.assign(1, 0.0);
  n.PayOffSlope3[3] = -1.0;
  n.PayOffAmount3[3] = 0.1;
  n.TCurveInfo_Disc = {1.0};
  n.CurveInfo_Disc = {0.03};
  n.NCoupon = 0;
  n.Bind();
}

double StillPrice(int payDay) { return 10000.0 * 1.1 * std::exp(-0.03 * (payDay / 365.0)); }

TEST(Revaluation, ThetaOfAStillNoteIsTheDiscountDrift) {
  {
    SmallNote n(1);
    MakeStill(n);
    n.Bind();
    EXPECT_NEAR(CorePrice(n.a), StillPrice(95), 1e-8);
    EXPECT_NEAR(CalcTheta(n.a), (StillPrice(91) - StillPrice(95)) / 4.0, 1e-8);
  }
  {
    SmallNote n(1);
    MakeStill(n);
    n.KO_ObsDays[0] = 3;  // backward, h = 4
    n.KO_PayDays[0] = 5;
    n.Bind();
    EXPECT_NEAR(CalcTheta(n.a), (StillPrice(95) - StillPrice(99)) / 4.0, 1e-8);
  }
  {
    SmallNote n(1);
    MakeStill(n);
    n.KO_WindowLen = {1, 10, 1};  // forward, h = 10
    n.Bind();
    EXPECT_NEAR(CalcTheta(n.a), (StillPrice(85) - StillPrice(95)) / 10.0, 1e-8);
  }
  {
    SmallNote n(1);
    MakeStill(n);
    n.FixedFlag = {0, 2};  // coupon fixings known: backward
    n.Coupon_SC = {100.0, 100.0};
    n.Bind();
    EXPECT_NEAR(CalcTheta(n.a), (StillPrice(95) - StillPrice(99)) / 4.0, 1e-8);
  }
}

TEST(Revaluation, ThetaDoesNotReviveAPaidDate) {
  // The first date was observed and paid two days ago. Pushed four days
  // further away it would come back with a pending payment and no fixings
  // to settle it from; it stays where it is.
  // Both stocks touched the knock-out barrier in the current period, so a
  // revived date would redeem at once from the memory flags.
  for (int touched : {0, 1}) {
    SmallNote n(2);
    n.KO_ObsDays = {-10, 3, 90};
    n.KO_PayDays = {-2, 65, 95};
    n.BeKO_Hitted = {touched, touched};
    n.Bind();
    const double p0 = CorePrice(n.a);
    const std::vector<int> koObs{-10, 7, 94}, koPay{-2, 69, 99};
    const double pMinus =
        PriceShifted(n, koObs, koPay, Moved(n.Coupon_ObsDays, 4), Moved(n.Coupon_PayDays, 4));
    EXPECT_EQ(CalcTheta(n.a), (p0 - pMinus) / 4.0) << touched;
  }
}

double DiscountAt(const SmallNote& n, int day) {
  return DiscountFactor(n.TCurveInfo_Disc.data(), n.CurveInfo_Disc.data(),
                        static_cast<int>(n.TCurveInfo_Disc.size()), day / 365.0);
}

TEST(Revaluation, ThetaOfPendingPaymentsIsTheirDiscountCarry) {
  // The first date was observed three days ago on a close above its strike
  // (it redeems at 1.02, paid in two days); today's spot is below the
  // strike, so a date valued again by simulation would mostly not redeem.
  // Fixings are known, so theta looks backward (h = 4): the payments move
  // four days further away and nothing else may change.
  SmallNote n(1);
  n.CurPrice = {90.0};
  n.KO_ObsDays = {-3, 60, 90};
  n.KO_PayDays = {2, 65, 95};
  n.FixedFlag = {1, 0};
  n.SC = {105.0};
  n.Bind();
  auto carry = [&n](int payDay, double amount) {
    return 10000.0 * amount * (DiscountAt(n, payDay) - DiscountAt(n, payDay + 4)) / 4.0;
  };
  const double redemption = carry(2, 1.02);
  EXPECT_NEAR(CalcTheta(n.a), redemption, 1e-9 * redemption);

  // With a coupon observed two days ago and paid in three, both pending
  // payments are settled from what is known.
  n.SetCoupons({-2, 75}, {3, 80}, {0.01, 0.01}, 0.8, 2);
  n.FixedFlag = {1, 1};
  n.Coupon_SC = {100.0};
  n.Bind();
  const double both = redemption + carry(3, 0.01);
  EXPECT_NEAR(CalcTheta(n.a), both, 1e-9 * both);
}

TEST(Revaluation, ThetaOfARunningWindowDoesNotReadItsFixingsAfterTheShift) {
  // A five-day window ending in two days has three closes fixed, all far
  // above the strike. Pushed h = 5 days away the window has not begun, so
  // the shifted valuation simulates all five closes: it prices exactly as
  // without fixings.
  SmallNote n(1);
  n.KO_ObsDays = {2, 60, 90};
  n.KO_PayDays = {7, 65, 95};
  n.KO_WindowLen = {5, 1, 1};
  n.FixedFlag = {3, 0};
  n.SC = {150.0, 150.0, 150.0};
  n.Bind();
  const double p0 = CorePrice(n.a);
  n.FixedFlag = {0, 0};
  n.Bind();
  const double pMinus = PriceShifted(n, Moved(n.KO_ObsDays, 5), Moved(n.KO_PayDays, 5),
                                     Moved(n.Coupon_ObsDays, 5), Moved(n.Coupon_PayDays, 5));
  EXPECT_NE(p0, CorePrice(n.a));  // the fixings do count today
  n.FixedFlag = {3, 0};
  n.Bind();
  EXPECT_EQ(CalcTheta(n.a), (p0 - pMinus) / 5.0);
}

}  // namespace
}  // namespace morvik
