// Core entry: clearing, the schedule scans, the fixed-outcome and simulation
// roads with their offsets, the over note, and the caller's arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/simulate.h"
#include "engine/core_valuation.h"
#include "interface/morvik.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

int Core(CoreNote& f, double fill = 0.0) {
  const CoreArgs a = f.View();
  const CoreResults r = f.Results(fill);
  return MorvikCore(a, r);
}

double Df(double rate, int days) { return std::exp(-rate * (days / 365.0)); }

TEST(CoreEntryScan, AllDatesAheadGoStraightToTheEngine) {
  CoreNote f(2, {30, 60, 90}, {35, 65, 95});
  f.SetDiscRate(0.03);
  f.SetFlatVol(0.25);
  f.SetStrike(3, 0, 1.02);
  f.SetStrike(3, 1, 1.0);
  f.SetStrike(3, 2, 0.9);
  f.PayOffSlope3[4] = 1.0;
  f.SetCoupons({20, 50}, {22, 52}, {0.01, 0.01}, 0.8, 1);
  f.NTrials = 200;
  EXPECT_EQ(Core(f, 99.0), 1);
  const std::vector<double> prob = f.ELS_Prob, cf = f.ELS_Cf, cp = f.ELS_Coupon_Prob;
  const double price = f.ResultPrice[0];

  const CoreArgs a = f.View();
  const CoreResults r = f.Results(0.0);
  SimulateELS(a, 0, r);
  EXPECT_EQ(prob, f.ELS_Prob);
  EXPECT_EQ(cf, f.ELS_Cf);
  EXPECT_EQ(cp, f.ELS_Coupon_Prob);
  EXPECT_EQ(std::memcmp(&price, &f.ResultPrice[0], sizeof(double)), 0);
}

TEST(CoreEntryScan, ObservedAndPaidDateIsSkippedAndSlotsKeepTheirPositions) {
  // Days (-30, -5) then (10, 15): j = 1, status 0, no fixed outcome.
  CoreNote f(1, {-30, 10, 20}, {-5, 15, 25});
  f.SetDiscRate(0.03);
  f.SetPerformance(0, 1.05);
  f.SetStrike(3, 0, 0.0);  // would redeem at once if the past date were tested
  f.PayOffAmount3[0] = 0.5;
  f.SetStrike(3, 1, 1.0);
  f.PayOffAmount3[1] = 0.07;
  EXPECT_EQ(Core(f, 5.0), 1);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  EXPECT_EQ(f.ELS_Cf[0], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ELS_Cf[1], 10700, 1e-9);
  for (int s = 2; s < 5; ++s) EXPECT_EQ(f.ELS_Prob[s], 0.0) << s;
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.03, 15) * 1.07, 1e-9);
}

TEST(CoreEntryScan, NoteThatIsOverPaysNothing) {
  // Every date observed and paid: all results 0, nothing simulated.
  CoreNote f(1, {-30, -10}, {-20, -5});
  f.SetPerformance(0, 1.2);
  f.SetStrike(3, 1, 0.5);
  f.PayOffAmount3[1] = 0.1;
  f.SetCoupons({-25}, {-22}, {0.05}, 0.5, 1);
  EXPECT_EQ(Core(f, 777.0), 1);
  for (double v : f.ELS_Prob) EXPECT_EQ(v, 0.0);
  for (double v : f.ELS_Cf) EXPECT_EQ(v, 0.0);
  EXPECT_EQ(f.ELS_Coupon_Prob[0], 0.0);
  EXPECT_EQ(f.ELS_Coupon_Cf[0], 0.0);
  EXPECT_EQ(f.ResultPrice[0], 0.0);

  CoreNote empty(1, {}, {});
  EXPECT_EQ(Core(empty, 777.0), 1);
  EXPECT_EQ(empty.ELS_Prob, std::vector<double>(2, 0.0));
  EXPECT_EQ(empty.ResultPrice[0], 0.0);
}

TEST(CoreEntryScan, ResultsAreClearedAndCouponArraysUntouchedWithoutCoupons) {
  CoreNote f(1, {10}, {10});
  const CoreArgs a = f.View();
  const CoreResults r = f.Results(123.0);
  std::vector<double> couponProb{555.0}, couponCf{556.0};
  CoreResults rr = r;
  rr.ELS_Coupon_Prob = couponProb.data();
  rr.ELS_Coupon_Cf = couponCf.data();
  EXPECT_EQ(MorvikCore(a, rr), 1);
  EXPECT_EQ(couponProb[0], 555.0);
  EXPECT_EQ(couponCf[0], 556.0);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);  // maturity slot 1 holds the only path
  EXPECT_EQ(f.ELS_Prob[2], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ResultPrice[0], 10000.0, 1e-9);  // reset, then the engine's price added
}

// Two stocks; date 0 observed today with its payment in 5 days. Its known
// close (0.8, 0.8) passes no level, so the fixed outcome pays the redemption
// coupon, clears the memory flags and leaves the rest to the simulation.
CoreNote PendingNonFinal() {
  CoreNote f(2, {0, 20, 40}, {5, 25, 45});
  f.SetDiscRate(0.03);
  f.SetPerformance(0, 1.05);
  f.SetPerformance(1, 1.0);
  f.FixedFlag = {1, 0};
  f.SC = {80, 80};
  f.SetStrike(3, 0, 0.9);
  f.RedemCoupon = {0.02, 0.03};
  // Stock by stock touch at 1.04 in the second period: stock 1 (1.0) only
  // touches through its memory flag, which the fixed outcome clears.
  f.KnockBarrierFlag0 = 1;
  f.BeKO_Hitted = {0, 1};
  f.KO_Barrier = {CoreNote::kNever, 1.04, CoreNote::kNever};
  f.PayOffAmount3[1] = 0.06;
  return f;
}

TEST(CoreEntryRoads, PendingDateThatDoesNotSettleHandsItsStateToTheEngine) {
  CoreNote f = PendingNonFinal();
  const std::vector<int> memory = f.BeKO_Hitted;
  EXPECT_EQ(Core(f, 9.0), 1);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);  // the pending date writes no outcome
  EXPECT_EQ(f.ELS_Prob[1], 0.0);  // no touch: the cleared copy reached the engine
  EXPECT_EQ(f.ELS_Prob[2], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[3], 1.0);
  EXPECT_NEAR(f.ELS_Cf[3], 10000, 1e-9);
  const double expected = 10000 * Df(0.03, 5) * 0.02 + 10000 * (Df(0.03, 45) + Df(0.03, 25) * 0.03);
  EXPECT_NEAR(f.ResultPrice[0], expected, 1e-9);
  EXPECT_EQ(f.BeKO_Hitted, memory);  // the caller's flags are untouched
}

TEST(CoreEntryRoads, PendingFinalDateSettlesWithoutSimulation) {
  // (-10, -5) is over; (0, 5) is pending and final.
  CoreNote f(1, {-10, 0}, {-5, 5});
  f.SetDiscRate(0.03);
  f.FixedFlag = {1, 0};
  f.SC = {110};
  f.SetStrike(3, 1, 1.0);
  f.PayOffSlope3[1] = 0.5;
  f.PayOffAmount3[1] = 0.02;
  f.SetFlatVol(0.3);
  f.NTrials = 50;
  EXPECT_EQ(Core(f, 3.0), 1);
  const double payoff = 1.0 + 0.1 * 0.5 + 0.02;
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * payoff, 1e-9);
  EXPECT_EQ(f.ELS_Prob[2], 0.0);
  EXPECT_EQ(f.ELS_Prob[3], 0.0);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.03, 5) * payoff, 1e-9);
}

TEST(CoreEntryRoads, PendingTouchWithAllMemoryFlagsSettlesTheNote) {
  CoreNote f(1, {0, 30}, {5, 35});
  f.BeKO_Hitted = {1};
  f.FixedFlag = {1, 0};
  f.SC = {50};
  f.PayOffAmount3[0] = 0.04;
  EXPECT_EQ(Core(f), 1);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10400, 1e-9);
  EXPECT_EQ(f.ELS_Prob[1] + f.ELS_Prob[2] + f.ELS_Prob[3], 0.0);
  EXPECT_EQ(f.BeKO_Hitted, std::vector<int>{1});
}

// Coupon observed 3 days ago and paid in 4 days; one more coupon on day 30;
// a single redemption date on day 60 that never redeems.
CoreNote PendingCoupon(int breachIn, int flag) {
  CoreNote f(1, {60}, {62});
  f.SetDiscRate(0.03);
  f.SetCoupons({-3, 30}, {4, 32}, {0.02, 0.03}, 0.5, flag);
  f.BeCouponBarrierHitted = breachIn;
  return f;
}

TEST(CoreEntryRoads, PendingCouponIsSettledAndTheRestSimulated) {
  CoreNote f = PendingCoupon(0, 1);
  EXPECT_EQ(Core(f), 1);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Coupon_Cf[0], 200, 1e-9);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[1], 1.0);  // engine's slot 0 lands in slot 1
  EXPECT_NEAR(f.ELS_Coupon_Cf[1], 300, 1e-9);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  const double expected =
      10000 * Df(0.03, 4) * 0.02 + 10000 * (Df(0.03, 62) + 0.03 * Df(0.03, 32));
  EXPECT_NEAR(f.ResultPrice[0], expected, 1e-9);
}

TEST(CoreEntryRoads, BreachedPendingCouponStartsTheNextPeriodUnbreached) {
  CoreNote f = PendingCoupon(1, 2);
  EXPECT_EQ(Core(f), 1);
  EXPECT_EQ(f.ELS_Coupon_Prob[0], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[1], 1.0);  // the caller's breach did not reach the engine
  EXPECT_EQ(f.BeCouponBarrierHitted, 1);
}

TEST(CoreEntryRoads, LastCouponPendingLeavesNoCouponToTheEngine) {
  CoreNote f(1, {60}, {62});
  f.SetCoupons({-3}, {4}, {0.02}, 2.0, 1);  // a barrier above the price
  EXPECT_EQ(Core(f), 1);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[0], 1.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * 0.02 + 10000.0, 1e-9);
}

TEST(CoreEntryRoads, PendingRedemptionAndCouponTogether) {
  CoreNote f = PendingNonFinal();
  f.SetCoupons({0, 30}, {3, 32}, {0.01, 0.02}, 0.5, 1);
  EXPECT_EQ(Core(f), 1);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[0], 1.0);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[1], 1.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[3], 1.0);
  const double expected = 10000 * Df(0.03, 3) * 0.01 + 10000 * Df(0.03, 5) * 0.02 +
                          10000 * (Df(0.03, 45) + 0.02 * Df(0.03, 32) + Df(0.03, 25) * 0.03);
  EXPECT_NEAR(f.ResultPrice[0], expected, 1e-9);
}

TEST(CoreEntryCaller, InputsUnchangedAndCallsRepeatable) {
  CoreNote f = PendingNonFinal();
  f.SetFlatVol(0.3);
  f.SetCoupons({0, 30}, {3, 32}, {0.01, 0.02}, 0.9, 1);
  f.NTrials = 100;
  const CoreNote before = f;
  Core(f);
  const std::vector<double> prob = f.ELS_Prob, cf = f.ELS_Cf;
  const double price = f.ResultPrice[0];
  EXPECT_EQ(f.BeKO_Hitted, before.BeKO_Hitted);
  EXPECT_EQ(f.SC, before.SC);
  EXPECT_EQ(f.CurPrice, before.CurPrice);
  EXPECT_EQ(f.LocalVolSurface, before.LocalVolSurface);
  EXPECT_EQ(f.X3, before.X3);
  EXPECT_EQ(f.KO_ObsDays, before.KO_ObsDays);
  EXPECT_EQ(f.Coupon_ObsDays, before.Coupon_ObsDays);
  EXPECT_EQ(f.CouponBarrier, before.CouponBarrier);
  EXPECT_EQ(f.DailyDivRows, before.DailyDivRows);
  EXPECT_EQ(f.FixedFlag, before.FixedFlag);
  Core(f, 42.0);
  EXPECT_EQ(std::memcmp(prob.data(), f.ELS_Prob.data(), prob.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(cf.data(), f.ELS_Cf.data(), cf.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(&price, &f.ResultPrice[0], sizeof(double)), 0);
}

TEST(CoreEntryExport, MorvikMCMatchesTheCoreEntryBitForBit) {
  CoreNote f = PendingNonFinal();
  f.SetFlatVol(0.3);
  f.SetCoupons({0, 30}, {3, 32}, {0.01, 0.02}, 0.9, 1);
  f.NTrials = 100;
  Core(f);
  const std::vector<double> prob = f.ELS_Prob, cf = f.ELS_Cf, cp = f.ELS_Coupon_Prob,
                            ccf = f.ELS_Coupon_Cf;
  const double price = f.ResultPrice[0];

  const CoreArgs a = f.View();
  const CoreResults r = f.Results(-1.0);
  const int rc = MorvikMC(
      a.CurPrice, a.BasePrice, a.TCurveInfo_Stock, a.CurveInfo_Stock, a.NT_Stock, a.TCurveInfo_Disc,
      a.CurveInfo_Disc, a.NT_Disc, a.TVol, a.Parity_Scaled, a.LocalVolSurface, a.NVol, a.NParity,
      a.UnderlyingCorr, a.DailyDiv, a.Div_TypeFlag, a.FX_TVol, a.FX_Vol, a.FX_NVol, a.FX_Corr,
      a.QuantoFlag, a.NStock, a.NStrike, a.X0, a.X1, a.X2, a.X3, a.KO_Barrier, a.KI_Barrier,
      a.PayOffSlope0, a.PayOffSlope1, a.PayOffSlope2, a.PayOffSlope3, a.PayOffAmount0,
      a.PayOffAmount1, a.PayOffAmount2, a.PayOffAmount3, a.KO_ObsDays, a.KO_PayDays,
      a.KO_WindowLen, a.KO_AvgFlag, a.RedemCoupon, a.KnockBarrierFlag0, a.KnockBarrierFlag1,
      a.BeKO_Hitted, a.BeKI_Hitted, a.NCoupon, a.CouponBarrier, a.Coupon, a.Coupon_ObsDays,
      a.Coupon_PayDays, a.CouponBarrierFlag, a.BeCouponBarrierHitted, a.NTrials, a.PayOffLimit0,
      a.PayOffLimit1, a.NAFlag, a.SC, a.Coupon_SC, a.FixedFlag, a.Reserved, r.ELS_Prob, r.ELS_Cf,
      r.ELS_Coupon_Prob, r.ELS_Coupon_Cf, r.ResultPrice);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(prob, f.ELS_Prob);
  EXPECT_EQ(cf, f.ELS_Cf);
  EXPECT_EQ(cp, f.ELS_Coupon_Prob);
  EXPECT_EQ(ccf, f.ELS_Coupon_Cf);
  EXPECT_EQ(std::memcmp(&price, &f.ResultPrice[0], sizeof(double)), 0);
}

}  // namespace
}  // namespace morvik
