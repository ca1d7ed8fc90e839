// Engine on deterministic paths: a zero volatility surface with zero stock
// rates, yields and FX rows keeps every performance at its pricing-date
// value, so outcomes, probabilities, cash flows and prices follow by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/simulate.h"
#include "numerics/forward_vol.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

int Simulate(CoreNote& f) {
  const CoreArgs a = f.View();
  const CoreResults r = f.Results();
  return SimulateELS(a, f.FixedFlag[0], r);
}

double Df(double rate, int days) { return std::exp(-rate * (days / 365.0)); }

// Three dates, two stocks at (1.05, 1.10), discounting at 3%.
CoreNote ThreeDateNote() {
  CoreNote f(2, {30, 60, 90}, {35, 65, 95});
  f.SetPerformance(0, 1.05);
  f.SetPerformance(1, 1.10);
  f.SetDiscRate(0.03);
  return f;
}

TEST(EngineRedemption, FirstDateFirstLevelPaysSlopeOnWorstGain) {
  CoreNote f = ThreeDateNote();
  f.SetStrike(3, 0, 1.0);
  f.PayOffSlope3[0] = 0.5;
  f.PayOffAmount3[0] = 0.1;
  f.NTrials = 4;
  EXPECT_EQ(Simulate(f), 1);
  const double payoff = 1.0 + 0.05 * 0.5 + 0.1;  // worst 1.05
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10000 * payoff, 1e-9);
  for (int s = 1; s < 5; ++s) {
    EXPECT_EQ(f.ELS_Prob[s], 0.0) << s;
    EXPECT_EQ(f.ELS_Cf[s], 0.0) << s;
  }
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.03, 35) * payoff, 1e-9);
}

TEST(EngineRedemption, LevelsAreTriedFromX3DownToX0) {
  struct Case {
    double perf;
    double expected;
  };
  // Strikes X3 1.5, X2 1.1, X1 0.9, X0 0.5; each level its own slope/amount.
  const Case cases[] = {
      {1.6, 1.0 + 0.6 * 0.1 + 0.04},  // X3
      {1.2, 1.0 + 0.2 * 0.5 + 0.03},  // X2
      {0.93, 1.0 + 0.02},             // X1: no gain below 1
      {0.6, 1.0 + 0.01},              // X0
  };
  for (const Case& c : cases) {
    CoreNote f(1, {30, 60}, {30, 60});
    f.KI_Barrier[0] = 0.0;
    f.SetPerformance(0, c.perf);
    f.SetStrike(3, 0, 1.5);
    f.SetStrike(2, 0, 1.1);
    f.SetStrike(1, 0, 0.9);
    f.SetStrike(0, 0, 0.5);
    f.PayOffSlope3[0] = 0.1;
    f.PayOffAmount3[0] = 0.04;
    f.PayOffSlope2[0] = 0.5;
    f.PayOffAmount2[0] = 0.03;
    f.PayOffSlope1[0] = 7.0;
    f.PayOffAmount1[0] = 0.02;
    f.PayOffSlope0[0] = 9.0;
    f.PayOffAmount0[0] = 0.01;
    Simulate(f);
    EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0) << c.perf;
    EXPECT_NEAR(f.ELS_Cf[0], 10000 * c.expected, 1e-9) << c.perf;
  }
  // Below every level the date does not redeem.
  CoreNote f(1, {30, 60}, {30, 60});
  f.SetPerformance(0, 0.7);
  f.SetStrike(0, 0, 0.8);
  Simulate(f);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 1.0);
}

TEST(EngineRedemption, PayoffIsClampedToFloorAndCap) {
  CoreNote f(1, {10}, {10});
  f.SetStrike(3, 0, 0.5);
  f.PayOffLimit0 = 0.02;
  f.PayOffLimit1 = 0.03;
  f.PayOffAmount3[0] = 0.1;
  Simulate(f);
  EXPECT_NEAR(f.ELS_Cf[0], 10300, 1e-9);
  f.PayOffAmount3[0] = -0.5;
  Simulate(f);
  EXPECT_NEAR(f.ELS_Cf[0], 9800, 1e-9);
}

TEST(EngineRedemption, BaseZeroWithoutNotional) {
  CoreNote f(1, {40, 80}, {45, 85});
  f.SetDiscRate(0.02);
  f.NAFlag = 0;
  f.PayOffLimit0 = 1.0;
  f.PayOffLimit1 = 1.0;
  f.SetStrike(3, 0, 0.5);
  f.PayOffAmount3[0] = 0.05;
  f.SetCoupons({20}, {22}, {0.01}, 0.3, 1);
  Simulate(f);
  EXPECT_NEAR(f.ELS_Cf[0], 500, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * 0.05 * Df(0.02, 45) + 10000 * 0.01 * Df(0.02, 22), 1e-9);
}

TEST(EngineMaturity, NoKnockInUsesSlopeSignAndPaysRedemptionCoupons) {
  CoreNote f(1, {10, 20, 30}, {12, 22, 32});
  f.SetDiscRate(0.05);
  f.SetPerformance(0, 0.8);
  f.SetStrike(3, 0, 0.9);
  f.SetStrike(3, 1, 0.9);
  f.SetStrike(3, 2, 0.9);
  f.RedemCoupon = {0.02, 0.03};
  f.PayOffSlope3[3] = 1.0;
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[3], 1.0);
  EXPECT_NEAR(f.ELS_Cf[3], 10000.0, 1e-9);
  const double coupons = Df(0.05, 12) * 0.02 + Df(0.05, 22) * 0.03;
  EXPECT_NEAR(f.ResultPrice[0], 10000 * (Df(0.05, 32) * 1.0 + coupons), 1e-9);

  f.PayOffSlope3[3] = -1.0;  // losses of the worst turn into gains
  Simulate(f);
  EXPECT_NEAR(f.ELS_Cf[3], 12000.0, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * (Df(0.05, 32) * 1.2 + coupons), 1e-9);
}

TEST(EngineMaturity, KnockInModes) {
  struct Case {
    int flag;
    double perf;
    int slot;
    double payoff;
  };
  // One date: slot 1 is maturity without knock-in, slot 2 with. KI barrier
  // 0.6; maturity slopes 1 with and without knock-in.
  const Case cases[] = {
      {1, 0.55, 2, 0.55},  // daily knock-in, losses count
      {2, 0.55, 2, 0.55},  // tested at maturity, losses count
      {0, 0.55, 2, 1.0},   // tested at maturity, no loss participation
      {1, 0.60, 2, 0.60},  // at the barrier on the pricing date: knocked in
      {0, 0.60, 1, 1.0},   // at the barrier at maturity: strict, no knock-in
      {2, 0.60, 1, 1.0},
  };
  for (const Case& c : cases) {
    CoreNote f(1, {10}, {10});
    f.KnockBarrierFlag1 = c.flag;
    f.SetPerformance(0, c.perf);
    f.PayOffSlope3[1] = 1.0;
    f.PayOffSlope3[2] = 1.0;
    Simulate(f);
    EXPECT_DOUBLE_EQ(f.ELS_Prob[c.slot], 1.0) << c.flag << " " << c.perf;
    EXPECT_NEAR(f.ELS_Cf[c.slot], 10000 * c.payoff, 1e-9) << c.flag << " " << c.perf;
  }
  // A knock-in carried in from the past.
  CoreNote f(1, {10}, {10});
  f.BeKI_Hitted = 1;
  f.KnockBarrierFlag1 = 2;
  f.SetPerformance(0, 0.9);
  f.PayOffSlope3[2] = 1.0;
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 1.0);
  EXPECT_NEAR(f.ELS_Cf[2], 9000, 1e-9);
}

TEST(EngineTouch, WorstAtBarrierTouchesAndRedeemsWithoutPerformanceTerm) {
  CoreNote f = ThreeDateNote();
  f.SetPerformance(0, 1.0);
  f.SetPerformance(1, 1.2);
  f.KO_Barrier = {CoreNote::kNever, 1.0, CoreNote::kNever};
  f.PayOffSlope3[1] = 5.0;
  f.PayOffAmount3[1] = 0.04;
  Simulate(f);
  // No touch in the first period; the worst equals the second period's barrier.
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ELS_Cf[1], 10400, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.03, 65) * 1.04, 1e-9);
}

TEST(EngineTouch, MemoryFlagsCountUntilTheFirstNonRedeemingDate) {
  // Stock by stock: stock 1 at 0.9 never reaches 0.95 itself.
  CoreNote f = ThreeDateNote();
  f.KnockBarrierFlag0 = 1;
  f.SetPerformance(0, 1.0);
  f.SetPerformance(1, 0.9);
  f.BeKO_Hitted = {0, 1};
  f.KO_Barrier = {0.95, 0.95, 0.95};
  f.PayOffAmount3[0] = 0.02;
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10200, 1e-9);

  // First period's barrier out of reach for stock 0: date 0 does not redeem,
  // the memory is cleared, and the later periods see no touch.
  f.KO_Barrier = {1.05, 0.95, 0.95};
  Simulate(f);
  EXPECT_EQ(f.ELS_Prob[0] + f.ELS_Prob[1] + f.ELS_Prob[2], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[3], 1.0);
}

TEST(EngineTouch, AllMemoryFlagsRedeemTheFirstDateWhateverThePrices) {
  CoreNote f = ThreeDateNote();
  f.SetPerformance(0, 0.5);
  f.SetPerformance(1, 0.7);
  f.BeKO_Hitted = {1, 1};
  f.PayOffAmount3[0] = 0.03;
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10300, 1e-9);
}

// Coupons on days 5 and 15, redemption dates 10 and 20 that never redeem.
CoreNote CouponNote(double perf, double barrier, int flag) {
  CoreNote f(1, {10, 20}, {12, 22});
  f.SetDiscRate(0.04);
  f.SetPerformance(0, perf);
  f.SetCoupons({5, 15}, {7, 17}, {0.01, 0.02}, barrier, flag);
  return f;
}

TEST(EngineCoupon, PaidAboveTheBarrierAndDiscountedFromPaymentDays) {
  CoreNote f = CouponNote(0.8, 0.7, 1);
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[0], 1.0);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[1], 1.0);
  EXPECT_NEAR(f.ELS_Coupon_Cf[0], 100, 1e-9);
  EXPECT_NEAR(f.ELS_Coupon_Cf[1], 200, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0],
              10000 * (Df(0.04, 22) * 1.0 + 0.01 * Df(0.04, 7) + 0.02 * Df(0.04, 17)), 1e-9);
}

TEST(EngineCoupon, BarrierModes) {
  struct Case {
    double barrier;
    int flag;
    int breachIn;
    double paid0, paid1;
  };
  const Case cases[] = {
      {0.85, 1, 0, 0, 0},  // watched daily, below
      {0.85, 2, 0, 0, 0},  // watched on the coupon dates, below
      {0.85, 0, 0, 1, 1},  // never watched
      {0.80, 1, 0, 0, 0},  // equality breaches
      {0.70, 2, 1, 0, 1},  // breach carried in covers the first period only
      {0.70, 1, 1, 0, 1},
  };
  for (const Case& c : cases) {
    CoreNote f = CouponNote(0.8, c.barrier, c.flag);
    f.BeCouponBarrierHitted = c.breachIn;
    Simulate(f);
    EXPECT_EQ(f.ELS_Coupon_Prob[0], c.paid0) << c.barrier << " " << c.flag << " " << c.breachIn;
    EXPECT_EQ(f.ELS_Coupon_Prob[1], c.paid1) << c.barrier << " " << c.flag << " " << c.breachIn;
  }
}

TEST(EngineCoupon, CouponOnTheRedemptionDayIsPaidFirst) {
  CoreNote f(1, {10, 20}, {12, 22});
  f.SetDiscRate(0.04);
  f.SetStrike(3, 0, 0.5);
  f.SetCoupons({10, 15}, {12, 17}, {0.01, 0.02}, 0.3, 1);
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_DOUBLE_EQ(f.ELS_Coupon_Prob[0], 1.0);
  EXPECT_EQ(f.ELS_Coupon_Prob[1], 0.0);  // after the redemption
  EXPECT_NEAR(f.ResultPrice[0], 10000 * (Df(0.04, 12) * 1.0 + 0.01 * Df(0.04, 12)), 1e-9);
}

TEST(EngineCoupon, NoCouponLeftReadsNoBarrier) {
  CoreNote f(1, {10}, {10});
  f.CouponBarrierFlag = 1;
  f.BeCouponBarrierHitted = 1;
  CoreArgs a = f.View();
  a.NCoupon = 0;
  a.CouponBarrier = nullptr;
  a.Coupon = nullptr;
  a.Coupon_ObsDays = nullptr;
  a.Coupon_PayDays = nullptr;
  const CoreResults r = f.Results();
  EXPECT_EQ(SimulateELS(a, 0, r), 1);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
}

TEST(EngineDividends, CashAmountAppliesInTheStepEndingOnItsDay) {
  // Date 0 on day 2 redeems at X3 0.995 unless the 0.01 amount has been
  // paid by then; the amount at index 0 is never applied.
  for (int day : {2, 3}) {
    CoreNote f(1, {2, 10}, {2, 10});
    f.Div_TypeFlag[0] = 2;
    f.DailyDivRows[0][0] = 0.5;
    f.DailyDivRows[0][day] = 0.01;
    f.SetStrike(3, 0, 0.995);
    f.PayOffSlope3[2] = -1.0;
    Simulate(f);
    if (day == 3) {
      EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
    } else {
      EXPECT_EQ(f.ELS_Prob[0], 0.0);
      EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 1.0);
      EXPECT_NEAR(f.ELS_Cf[2], 10100, 1e-9);  // final 0.99, slope -1
    }
  }
}

TEST(EngineDividends, CashAmountScalesWithGrowthSincePricingDate) {
  // Stock rate 36.5%: each day multiplies by exp(0.001). Pricing-date
  // performance 1.2, amount 0.01 on day 3, scaled by x/p = exp(0.002):
  // after day 5 the performance is 1.2 e^0.005 - 0.01 e^0.004.
  CoreNote f(1, {5}, {5});
  f.Div_TypeFlag[0] = 2;
  f.SetStockRate(0.365);
  f.SetPerformance(0, 1.2);
  f.DailyDivRows[0][3] = 0.01;
  f.PayOffSlope3[1] = 1.0;
  Simulate(f);
  const double final = 1.2 * std::exp(0.005) - 0.01 * std::exp(0.004);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * final, 1e-7);
}

TEST(EngineDrift, ContinuousYieldAndStockRateCompoundDaily) {
  // Yield 3.65%: each day multiplies by 1 - 0.0001.
  CoreNote f(1, {100}, {100});
  std::fill(f.DailyDivRows[0].begin(), f.DailyDivRows[0].end(), 0.0365);
  f.PayOffSlope3[1] = -1.0;
  Simulate(f);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * (2.0 - std::pow(1.0 - 0.0001, 100)), 1e-7);

  // Stock rate 3%: the performance grows to 1/DF(t) = exp(0.03 t).
  CoreNote g(1, {100}, {100});
  g.SetStockRate(0.03);
  g.PayOffSlope3[1] = 1.0;
  Simulate(g);
  EXPECT_NEAR(g.ELS_Cf[1], 10000 * std::exp(0.03 * 100 / 365.0), 1e-7);
}

// Two stocks, window of 5 days ending on day 2: three known fixings (days -2,
// -1, 0) then two simulated days at 0.8 for both stocks.
CoreNote WindowNote(int avgFlag) {
  CoreNote f(2, {2, 30}, {5, 35});
  f.SetPerformance(0, 0.8);
  f.SetPerformance(1, 0.8);
  f.KO_WindowLen = {5, 1};
  f.KO_AvgFlag = {avgFlag, 0};
  f.FixedFlag = {3, 0};
  f.SC = {95, 88, 85, 93, 92, 91};  // fixing-major: (A, B) per day
  f.SetStrike(3, 0, 0.9);
  f.SetStrike(2, 0, 0.86);
  f.PayOffAmount3[0] = 0.05;
  f.PayOffAmount2[0] = 0.03;
  f.KI_Barrier = {0.0, 0.0};
  return f;
}

TEST(EngineWindow, AnyDayTestFindsTheDayWhereEveryStockPasses) {
  CoreNote f = WindowNote(0);
  Simulate(f);
  // Day 0 (0.92, 0.91) passes X3; the worst today is 0.8, so no gain.
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10500, 1e-9);
}

TEST(EngineWindow, AverageTestUsesTheWindowMean) {
  CoreNote f = WindowNote(1);
  Simulate(f);
  // Means 0.864 for both stocks: below X3 0.9, above X2 0.86.
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  EXPECT_NEAR(f.ELS_Cf[0], 10300, 1e-9);
}

TEST(EngineWindow, EmptyWindowPassesAnyDayAndAveragesToZero) {
  CoreNote f(1, {10, 20}, {10, 20});
  f.KO_WindowLen = {0, 1};
  f.SetStrike(3, 0, 5.0);
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
  f.KO_AvgFlag = {1, 0};
  Simulate(f);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  f.SetStrike(3, 0, 0.0);
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[0], 1.0);
}

TEST(EngineWindow, SlotsNeitherFixedNorSimulatedReadZero) {
  // Window of 5 ending on day 1 with no known fixing: four slots stay 0.0,
  // so the mean is 0.8/5 = 0.16.
  for (double strike : {0.15, 0.17}) {
    CoreNote f(1, {1, 10}, {1, 10});
    f.SetPerformance(0, 0.8);
    f.KO_WindowLen = {5, 1};
    f.KO_AvgFlag = {1, 0};
    f.SetStrike(3, 0, strike);
    Simulate(f);
    EXPECT_EQ(f.ELS_Prob[0], strike < 0.16 ? 1.0 : 0.0) << strike;
  }
}

TEST(EngineWindow, KnownFixingsNeverWritePastTheWindow) {
  // Window of 2 on day 1 but four fixings supplied; rows 2 and 3 (2.0) must
  // not land in the next date's window, whose first slots (days -1..1) are
  // never simulated and read 0.0: its mean is 9 * 0.8 / 12 = 0.6 < 0.9.
  CoreNote f(1, {1, 10}, {1, 10});
  f.SetPerformance(0, 0.8);
  f.KO_WindowLen = {2, 12};
  f.KO_AvgFlag = {0, 1};
  f.FixedFlag = {4, 0};
  f.SC = {50, 200, 200, 200};
  f.SetStrike(3, 0, 1.5);
  f.SetStrike(3, 1, 0.9);
  Simulate(f);
  EXPECT_EQ(f.ELS_Prob[0], 0.0);
  EXPECT_EQ(f.ELS_Prob[1], 0.0);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 1.0);
}

TEST(EngineAccumulation, TrialCountsAndFractionalTrials) {
  CoreNote f(1, {10, 20, 30}, {10, 20, 30});
  f.SetPerformance(0, 0.95);
  f.SetDiscRate(0.01);
  f.SetStrike(3, 2, 0.9);
  f.PayOffAmount3[2] = 0.05;
  f.NTrials = 1;
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 1.0);
  EXPECT_NEAR(f.ELS_Cf[2], 10500, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 10000 * Df(0.01, 30) * 1.05, 1e-9);

  f.NTrials = 2.5;  // three paths, divided by 2.5
  Simulate(f);
  EXPECT_DOUBLE_EQ(f.ELS_Prob[2], 3 / 2.5);
  EXPECT_NEAR(f.ELS_Cf[2], 3 * 10500 / 2.5, 1e-9);
  EXPECT_NEAR(f.ResultPrice[0], 3 * 10000 * Df(0.01, 30) * 1.05 / 2.5, 1e-9);
}

TEST(EngineAccumulation, PriceIsAddedToWhatIsAlreadyThere) {
  CoreNote f(1, {10}, {10});
  const CoreArgs a = f.View();
  const CoreResults r = f.Results();
  f.ResultPrice[0] = 123.0;
  SimulateELS(a, 0, r);
  EXPECT_NEAR(f.ResultPrice[0], 123.0 + 10000.0, 1e-9);
}

// A random three-stock note with a real surface and correlation.
CoreNote RandomNote() {
  CoreNote f(3, {60, 120, 180}, {62, 122, 182});
  f.SetStockRate(0.02);
  f.SetDiscRate(0.025);
  f.TVol.clear();
  f.Parity_Scaled.clear();
  f.LocalVolSurface.clear();
  for (int i = 0; i < 3; ++i) {
    for (double t : {0.1, 0.5, 1.0}) f.TVol.push_back(t);
    for (double p : {0.6, 0.9, 1.0, 1.2}) f.Parity_Scaled.push_back(p);
    for (int k = 0; k < 12; ++k) f.LocalVolSurface.push_back(0.15 + 0.01 * k + 0.02 * i);
  }
  f.NVol = {3, 3, 3};
  f.NParity = {4, 4, 4};
  f.UnderlyingCorr = {1.0, 0.5, 0.3, 0.5, 1.0, 0.4, 0.3, 0.4, 1.0};
  for (int d = 0; d < 3; ++d) f.SetStrike(3, d, 0.95 - 0.05 * d);
  for (int d = 0; d < 3; ++d) f.PayOffAmount3[d] = 0.03 * (d + 1);
  f.PayOffSlope3[3] = 0.0;
  f.PayOffSlope3[4] = 1.0;
  f.RedemCoupon = {0.0, 0.0};
  f.NTrials = 300;
  return f;
}

TEST(EngineDeterminism, TwoCallsAreBitIdenticalAndProbabilitiesSumToOne) {
  CoreNote f = RandomNote();
  Simulate(f);
  const std::vector<double> prob = f.ELS_Prob, cf = f.ELS_Cf;
  const double price = f.ResultPrice[0];
  Simulate(f);
  EXPECT_EQ(std::memcmp(prob.data(), f.ELS_Prob.data(), prob.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(cf.data(), f.ELS_Cf.data(), cf.size() * sizeof(double)), 0);
  EXPECT_EQ(std::memcmp(&price, &f.ResultPrice[0], sizeof(double)), 0);
  double sum = 0.0;
  for (double p : f.ELS_Prob) sum += p;
  EXPECT_NEAR(sum, 1.0, 1e-12);
  // Paths really move: several outcomes occur.
  int used = 0;
  for (double p : f.ELS_Prob) used += p > 0.0;
  EXPECT_GE(used, 3);
}

TEST(EngineDeterminism, DoublingTrialsReusesTheFirstPaths) {
  // The first N paths of a 2N run are the N paths of an N run, so no
  // outcome count can fall when the trials double.
  CoreNote f = RandomNote();
  f.KI_Barrier = {0.85, 0.85, 0.85};
  f.NTrials = 100;
  Simulate(f);
  const std::vector<double> probN = f.ELS_Prob;
  f.NTrials = 200;
  Simulate(f);
  int grew = 0;
  for (std::size_t s = 0; s < probN.size(); ++s) {
    const double countN = probN[s] * 100;
    const double count2N = f.ELS_Prob[s] * 200;
    EXPECT_GE(count2N + 1e-9, countN) << s;
    grew += count2N > countN + 0.5;
  }
  EXPECT_GE(grew, 1);
}

TEST(EngineFxRow, ModesZeroForwardAndLinear) {
  const double T[] = {0.5, 1.0};
  const double V[] = {0.10, 0.20};
  std::vector<double> row(400, -1.0);
  BuildFxVolRow(0, T, V, 2, row.data(), 400);
  for (double v : row) EXPECT_EQ(v, 0.0);

  BuildFxVolRow(2, T, V, 2, row.data(), 400);
  for (int m = 0; m <= 182; ++m) EXPECT_EQ(row[m], 0.10) << m;  // t <= 0.5
  for (int m = 365; m < 400; ++m) EXPECT_EQ(row[m], 0.20) << m;
  for (int m = 183; m < 365; ++m) EXPECT_NEAR(row[m], 0.10 + 0.2 * (m / 365.0 - 0.5), 1e-15) << m;
  // t = 0.75 is not a day; the two days around it straddle 0.15.
  EXPECT_LT(row[273], 0.15);
  EXPECT_GT(row[274], 0.15);

  std::vector<double> expected(400);
  DailyForwardVol(T, V, 2, expected.data(), 400);
  BuildFxVolRow(1, T, V, 2, row.data(), 400);
  EXPECT_EQ(row, expected);
}

TEST(EngineDegenerate, NoRemainingDateOrStockSimulatesNothing) {
  CoreNote f(1, {10}, {10});
  CoreArgs a = f.View();
  const CoreResults r = f.Results(7.0);
  a.NStrike = 0;
  EXPECT_EQ(SimulateELS(a, 0, r), 1);
  EXPECT_EQ(f.ResultPrice[0], 7.0);
  EXPECT_EQ(f.ELS_Prob[0], 7.0);
}

}  // namespace
}  // namespace morvik
