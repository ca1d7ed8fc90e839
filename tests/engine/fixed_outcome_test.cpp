// Settlement of pending payments from known fixings, on hand-built views.
#include "engine/fixed_outcome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "numerics/curves.h"

namespace morvik {
namespace {

// A two-stock note seen from a pending date: per-date arrays start at the
// pending date, result arrays are already cleared. Strike levels default to
// unreachable values so that no level passes unless a test lowers one.
struct Note {
  int nstock = 2;
  std::vector<double> base{100.0, 50.0};
  std::vector<double> disc_t{0.5, 5.0};
  std::vector<double> disc_v{0.0, 0.0};
  std::vector<double> x[4];                  // X0..X3, one strike per stock
  std::vector<double> ki{0.6, 0.6};
  std::vector<double> slope[4];              // PayOffSlope0..3, 3 entries
  std::vector<double> amount[4];             // PayOffAmount0..3, 3 entries
  std::vector<int> obs{0, 180};
  std::vector<int> pay{73, 253};
  std::vector<int> win{1, 1};
  std::vector<int> avg{0, 0};
  std::vector<double> redem{0.0, 0.0};
  std::vector<double> coupon{0.02, 0.02};
  std::vector<int> cobs{-3, 90};
  std::vector<int> cpay{73, 163};
  std::vector<double> cbar{0.7, 0.7};
  std::vector<double> sc{90.0, 45.0};        // one row: performances 0.9, 0.9
  std::vector<int> fixed{1, 0};
  std::vector<int> flags{0, 0};              // private copy of BeKO_Hitted
  std::vector<double> prob = std::vector<double>(4, 0.0);
  std::vector<double> cf = std::vector<double>(4, 0.0);
  std::vector<double> cprob = std::vector<double>(2, 0.0);
  std::vector<double> ccf = std::vector<double>(2, 0.0);
  double price = 0.0;
  CoreArgs a;
  CoreRecord rec;

  Note() {
    for (int b = 0; b < 4; ++b) {
      x[b] = {5.0, 5.0};
      slope[b] = {0.0, 0.0, 0.0};
      amount[b] = {0.0, 0.0, 0.0};
    }
    a.NStock = nstock;
    a.NStrike = 2;
    a.NCoupon = 2;
    a.NT_Disc = 2;
    a.NAFlag = 1;
    a.PayOffLimit0 = 1.0;
    a.PayOffLimit1 = 10.0;
    a.NTrials = 1000.0;
  }

  int Run(int status) {
    a.BasePrice = base.data();
    a.TCurveInfo_Disc = disc_t.data();
    a.CurveInfo_Disc = disc_v.data();
    a.X0 = x[0].data();
    a.X1 = x[1].data();
    a.X2 = x[2].data();
    a.X3 = x[3].data();
    a.KI_Barrier = ki.data();
    a.PayOffSlope0 = slope[0].data();
    a.PayOffSlope1 = slope[1].data();
    a.PayOffSlope2 = slope[2].data();
    a.PayOffSlope3 = slope[3].data();
    a.PayOffAmount0 = amount[0].data();
    a.PayOffAmount1 = amount[1].data();
    a.PayOffAmount2 = amount[2].data();
    a.PayOffAmount3 = amount[3].data();
    a.KO_ObsDays = obs.data();
    a.KO_PayDays = pay.data();
    a.KO_WindowLen = win.data();
    a.KO_AvgFlag = avg.data();
    a.RedemCoupon = redem.data();
    a.CouponBarrier = cbar.data();
    a.Coupon = coupon.data();
    a.Coupon_ObsDays = cobs.data();
    a.Coupon_PayDays = cpay.data();
    a.SC = sc.data();
    a.FixedFlag = fixed.data();
    CoreResults out;
    out.ELS_Prob = prob.data();
    out.ELS_Cf = cf.data();
    out.ELS_Coupon_Prob = cprob.data();
    out.ELS_Coupon_Cf = ccf.data();
    out.ResultPrice = &price;
    rec.settled = 7;
    rec.coupon_breach = 7;
    return SettleFixedOutcome(a, flags.data(), out, status, rec);
  }

  // The pending date is the final observation: slots 1 and 2 are maturity.
  void MakeFinal() {
    a.NStrike = 1;
    obs.resize(1);
    pay.resize(1);
    win.resize(1);
    avg.resize(1);
    prob.assign(3, 0.0);
    cf.assign(3, 0.0);
  }

  void SetWindow(std::vector<double> closes) {
    sc = std::move(closes);
    win[0] = static_cast<int>(sc.size()) / nstock;
    fixed[0] = win[0];
  }
};

double SumOf(const std::vector<double>& v) {
  double s = 0.0;
  for (double e : v) s += e;
  return s;
}

// ---------------------------------------------------------------------------
// Pending coupon

TEST(FixedOutcomeCoupon, UnbreachedCouponIsPaidAndDiscounted) {
  Note n;
  n.disc_v = {0.03, 0.03};
  n.cpay[0] = 73;  // 0.2 years
  EXPECT_EQ(n.Run(2), 1);
  const double df = std::exp(-0.03 * 0.2);
  EXPECT_NEAR(n.price, 10000.0 * df * 0.02, 1e-9);
  EXPECT_NEAR(n.price, 198.8036, 1e-4);
  EXPECT_EQ(n.cprob[0], 1.0);
  EXPECT_DOUBLE_EQ(n.ccf[0], 200.0);
  EXPECT_EQ(n.cprob[1], 0.0);
  EXPECT_EQ(n.ccf[1], 0.0);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.rec.coupon_breach, 0);
  // A coupon-only settlement leaves the redemption side alone.
  EXPECT_EQ(SumOf(n.prob), 0.0);
  EXPECT_EQ(SumOf(n.cf), 0.0);
  EXPECT_EQ(n.flags, (std::vector<int>{0, 0}));
}

TEST(FixedOutcomeCoupon, PriceFollowsDocumentedProductOrder) {
  Note n;
  n.disc_v = {0.031, 0.031};
  n.cpay[0] = 41;
  n.coupon[0] = 0.0173;
  n.Run(2);
  const double df = DiscountFactor(n.disc_t.data(), n.disc_v.data(), 2, 41 / 365.0);
  EXPECT_EQ(n.price, 10000.0 * df * 0.0173);
}

TEST(FixedOutcomeCoupon, BreachedCouponPaysNothingAndResetsBreach) {
  Note n;
  n.a.BeCouponBarrierHitted = 1;
  n.price = 0.0;
  EXPECT_EQ(n.Run(2), 1);
  EXPECT_EQ(n.price, 0.0);
  EXPECT_EQ(n.cprob[0], 0.0);
  EXPECT_EQ(n.ccf[0], 0.0);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.rec.coupon_breach, 0);
}

TEST(FixedOutcomeCoupon, RedemptionOnlyCarriesBreachStateThrough) {
  Note n;
  n.a.BeCouponBarrierHitted = 1;
  n.redem[0] = 0.01;
  n.Run(1);
  EXPECT_EQ(n.rec.coupon_breach, 1);
  EXPECT_EQ(n.cprob[0], 0.0);
  EXPECT_EQ(n.ccf[0], 0.0);
}

TEST(FixedOutcomeCoupon, NoCouponLeftReadsNoCouponArrays) {
  Note n;
  n.a.NCoupon = 0;
  std::vector<double>().swap(n.coupon);
  std::vector<int>().swap(n.cpay);
  std::vector<double>().swap(n.cprob);
  std::vector<double>().swap(n.ccf);
  n.redem[0] = 0.01;
  EXPECT_EQ(n.Run(3), 1);
  // Only the redemption coupon of the non-redeeming date is valued.
  EXPECT_DOUBLE_EQ(n.price, 100.0);
  EXPECT_EQ(n.rec.coupon_breach, 0);
}

// ---------------------------------------------------------------------------
// Touch redemption

TEST(FixedOutcomeTouch, AllFlagsSetRedeemsWhateverTheCloses) {
  Note n;
  n.flags = {1, 1};
  n.SetWindow({10.0, 5.0});  // performances 0.1: far below every level
  n.amount[3][0] = 0.05;
  n.slope[3][0] = 2.0;       // no performance term in a touch redemption
  EXPECT_EQ(n.Run(1), 1);
  EXPECT_EQ(n.rec.settled, 1);
  EXPECT_EQ(n.prob[0], 1.0);
  EXPECT_DOUBLE_EQ(n.cf[0], 10500.0);
  EXPECT_DOUBLE_EQ(n.price, 10500.0);  // zero rates
  EXPECT_EQ(n.prob[1] + n.prob[2] + n.prob[3], 0.0);
}

TEST(FixedOutcomeTouch, OneFlagMissingMeansNoTouch) {
  Note n;
  n.flags = {1, 0};
  n.amount[3][0] = 0.05;
  n.redem[0] = 0.02;
  n.Run(1);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.prob[0], 0.0);
  EXPECT_DOUBLE_EQ(n.price, 200.0);
  EXPECT_EQ(n.flags, (std::vector<int>{0, 0}));
}

TEST(FixedOutcomeTouch, TouchPayoffIsCappedAndDiscounted) {
  Note n;
  n.flags = {1, 1};
  n.amount[3][0] = 0.05;
  n.a.PayOffLimit1 = 0.02;
  n.disc_v = {0.05, 0.05};
  n.pay[0] = 365;
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[0], 10200.0);
  EXPECT_NEAR(n.price, 10200.0 * std::exp(-0.05), 1e-8);
}

// ---------------------------------------------------------------------------
// Window tests on known closes

// Closes (95, 46), (92, 47), (96, 48) on base prices (100, 50): performances
// (0.95, 0.92), (0.92, 0.94), (0.96, 0.96).
std::vector<double> ThreeRowWindow() { return {95.0, 46.0, 92.0, 47.0, 96.0, 48.0}; }

TEST(FixedOutcomeWindow, AnyDayTestPassesOnFirstFullRow) {
  Note n;
  n.SetWindow(ThreeRowWindow());
  n.x[3] = {0.95, 0.95};
  n.amount[3][0] = 0.1;
  n.disc_v = {0.02, 0.02};
  EXPECT_EQ(n.Run(1), 1);
  EXPECT_EQ(n.rec.settled, 1);
  EXPECT_EQ(n.prob[0], 1.0);
  EXPECT_DOUBLE_EQ(n.cf[0], 11000.0);
  EXPECT_NEAR(n.price, 11000.0 * std::exp(-0.02 * 0.2), 1e-8);
  EXPECT_EQ(n.prob[1] + n.prob[2] + n.prob[3], 0.0);
}

TEST(FixedOutcomeWindow, AnyDayTestNeedsAllStocksOnOneRow) {
  // Performances (0.9, 0.95), (0.96, 0.92), (0.91, 0.93): each stock clears
  // 0.95 on some day, never both on the same day; 0.9 is cleared on row 0.
  Note n;
  n.SetWindow({90.0, 47.5, 96.0, 46.0, 91.0, 46.5});
  n.x[3] = {0.95, 0.95};
  n.x[2] = {0.9, 0.9};
  n.amount[3][0] = 0.2;
  n.amount[2][0] = 0.1;
  n.Run(1);
  EXPECT_EQ(n.rec.settled, 1);
  EXPECT_DOUBLE_EQ(n.cf[0], 11000.0);  // the second level decided
}

TEST(FixedOutcomeWindow, AverageTestUsesWindowMeans) {
  // Means 0.94333 and 0.94: the 0.95 level fails, the 0.93 level passes.
  Note n;
  n.SetWindow(ThreeRowWindow());
  n.avg[0] = 1;
  n.x[3] = {0.95, 0.95};
  n.x[2] = {0.93, 0.93};
  n.amount[3][0] = 0.2;
  n.amount[2][0] = 0.08;
  n.Run(1);
  EXPECT_EQ(n.rec.settled, 1);
  EXPECT_DOUBLE_EQ(n.cf[0], 10800.0);
}

TEST(FixedOutcomeWindow, AverageTestFailsOnOneStockMean) {
  // Stock 0 averages 0.94333 >= 0.943, stock 1 averages 0.94 < 0.943.
  Note n;
  n.SetWindow(ThreeRowWindow());
  n.avg[0] = 1;
  n.x[3] = {0.943, 0.943};
  n.redem[0] = 0.01;
  n.Run(1);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.prob[0], 0.0);
  EXPECT_DOUBLE_EQ(n.price, 100.0);
}

TEST(FixedOutcomeWindow, HighestLevelIsTriedFirst) {
  Note n;
  n.SetWindow({99.0, 49.5});  // performances 0.99 on the only row
  for (int b = 0; b < 4; ++b) {
    n.x[b] = {0.8, 0.8};
    n.amount[b][0] = 0.01 * (b + 1);
  }
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[0], 10400.0);  // PayOffAmount3
  n.x[3] = {1.0, 1.0};
  n.x[2] = {1.0, 1.0};
  n.prob.assign(4, 0.0);
  n.cf.assign(4, 0.0);
  n.price = 0.0;
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[0], 10200.0);  // PayOffAmount1
}

TEST(FixedOutcomeWindow, SlopeAppliesToWorstGainOnObservationDay) {
  // Performances (1.2, 1.3) then (1.1, 1.2): the worst on the last row is
  // 1.1, below every close of the first row.
  Note n;
  n.SetWindow({120.0, 65.0, 110.0, 60.0});
  n.x[1] = {1.0, 1.0};
  n.slope[1][0] = 0.5;
  n.amount[1][0] = 0.01;
  n.Run(1);
  EXPECT_NEAR(n.cf[0], 10000.0 * (0.1 * 0.5 + 1.0 + 0.01), 1e-8);
}

// ---------------------------------------------------------------------------
// Pending final observation

// One maturity case: the last-row closes, the knock-in inputs, the maturity
// slope and amount of both outcomes, the base and floor, and the outcome.
struct MaturityCase {
  const char* what;
  std::vector<double> closes;
  int be_ki, ki_flag;
  double slope_no_ki, amount_no_ki, slope_ki, amount_ki;
  int na_flag;
  double floor;
  int slot;   // 1 = without knock-in, 2 = with knock-in
  double cf;  // expected cash flow per 10000
};

TEST(FixedOutcomeMaturity, OutcomesOfTheFinalDate) {
  const MaturityCase cases[] = {
      // 0.55 < 0.6 knocks in; loss participation: (0.55 - 1) * 1 + 1.
      {"loss participation", {55.0, 40.0}, 0, 1, 0.0, 0.0, 1.0, 0.0, 1, 1.0, 2, 5500.0},
      // Knock-in without loss participation: the gain is floored at 0.
      {"no loss participation", {55.0, 40.0}, 0, 0, 0.0, 0.0, 1.0, -0.3, 1, 1.0, 2, 7000.0},
      // Knock-in carried from the past, closes above the barrier.
      {"past knock-in", {80.0, 45.0}, 1, 2, 0.0, 0.0, 1.0, 0.0, 1, 1.0, 2, 8000.0},
      // A performance equal to the barrier does not knock in.
      {"barrier equality", {60.0, 45.0}, 0, 1, 0.0, 0.04, 1.0, -0.5, 1, 1.0, 1, 10400.0},
      // Only the observation day counts: 0.5 on an earlier row is ignored.
      {"earlier row", {50.0, 45.0, 70.0, 45.0}, 0, 1, 0.0, 0.04, 0.0, 0.0, 1, 1.0, 1, 10400.0},
      // Without knock-in a non-negative slope applies to the floored gain...
      {"positive slope", {80.0, 45.0}, 0, 1, 0.5, 0.0, 0.0, 0.0, 1, 1.0, 1, 10000.0},
      // ...and a negative slope to the signed move: (0.8 - 1) * -1 + 1.
      {"negative slope", {80.0, 45.0}, 0, 1, -1.0, 0.0, 0.0, 0.0, 1, 1.0, 1, 12000.0},
      // Base 0 and a floor 0.3 below it: -0.45 becomes -0.3.
      {"floored loss", {55.0, 40.0}, 0, 1, 0.0, 0.0, 1.0, 0.0, 0, 0.3, 2, -3000.0},
  };
  for (const MaturityCase& c : cases) {
    Note n;
    n.MakeFinal();
    n.SetWindow(c.closes);
    n.a.BeKI_Hitted = c.be_ki;
    n.a.KnockBarrierFlag1 = c.ki_flag;
    n.slope[3][1] = c.slope_no_ki;
    n.amount[3][1] = c.amount_no_ki;
    n.slope[3][2] = c.slope_ki;
    n.amount[3][2] = c.amount_ki;
    n.a.NAFlag = c.na_flag;
    n.a.PayOffLimit0 = c.floor;
    EXPECT_EQ(n.Run(1), 1) << c.what;
    EXPECT_EQ(n.rec.settled, 1) << c.what;
    EXPECT_EQ(n.prob[c.slot], 1.0) << c.what;
    EXPECT_EQ(n.prob[3 - c.slot], 0.0) << c.what;
    EXPECT_EQ(n.prob[0], 0.0) << c.what;
    EXPECT_DOUBLE_EQ(n.cf[c.slot], c.cf) << c.what;
    EXPECT_DOUBLE_EQ(n.price, c.cf) << c.what;  // zero rates
  }
}

TEST(FixedOutcomeMaturity, MaturityDiscountsWithFinalPaymentDay) {
  Note n;
  n.MakeFinal();
  n.SetWindow({80.0, 45.0});
  n.amount[3][1] = 0.05;
  n.disc_v = {0.04, 0.04};
  n.pay[0] = 730;
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[1], 10500.0);
  EXPECT_NEAR(n.price, 10500.0 * std::exp(-0.08), 1e-8);
}

TEST(FixedOutcomeMaturity, LevelPassOnFinalDateRedeemsInSlotZero) {
  Note n;
  n.MakeFinal();
  n.SetWindow({101.0, 51.0});
  n.x[0] = {1.0, 1.0};
  n.amount[0][0] = 0.12;
  n.Run(1);
  EXPECT_EQ(n.prob[0], 1.0);
  EXPECT_EQ(n.prob[1] + n.prob[2], 0.0);
  EXPECT_DOUBLE_EQ(n.cf[0], 11200.0);
}

// ---------------------------------------------------------------------------
// Pending date that neither redeems nor is the last

TEST(FixedOutcomeNonRedeeming, PaysRedemptionCouponAndClearsMemory) {
  Note n;
  n.flags = {1, 0};
  n.redem[0] = 0.03;
  n.disc_v = {0.05, 0.05};
  n.pay[0] = 365;
  n.a.BeCouponBarrierHitted = 1;
  EXPECT_EQ(n.Run(1), 1);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.rec.coupon_breach, 1);
  EXPECT_NEAR(n.price, 300.0 * std::exp(-0.05), 1e-9);
  EXPECT_EQ(n.flags, (std::vector<int>{0, 0}));
  EXPECT_EQ(SumOf(n.prob), 0.0);
  EXPECT_EQ(SumOf(n.cf), 0.0);
}

TEST(FixedOutcomeNonRedeeming, AddsToExistingPrice) {
  Note n;
  n.redem[0] = 0.01;
  n.price = 5.0;
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.price, 105.0);
}

TEST(FixedOutcomeNonRedeeming, CouponAndRedemptionBothPending) {
  Note n;
  n.redem[0] = 0.01;
  n.coupon[0] = 0.02;
  n.a.BeCouponBarrierHitted = 0;
  n.Run(3);
  EXPECT_DOUBLE_EQ(n.price, 300.0);
  EXPECT_EQ(n.cprob[0], 1.0);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_EQ(n.rec.coupon_breach, 0);
}

// ---------------------------------------------------------------------------
// Payoff base and limits

TEST(FixedOutcomeLimits, NAFlagOtherThanOneGivesZeroBase) {
  for (int na : {0, 2}) {
    Note n;
    n.a.NAFlag = na;
    n.flags = {1, 1};
    n.amount[3][0] = 0.05;
    n.Run(1);
    EXPECT_DOUBLE_EQ(n.cf[0], 500.0) << "NAFlag " << na;
  }
}

TEST(FixedOutcomeLimits, CapWinsOverHigherFloor) {
  Note n;
  n.flags = {1, 1};
  n.amount[3][0] = -0.5;
  n.a.PayOffLimit0 = -0.2;  // floor at 1.2
  n.a.PayOffLimit1 = 0.1;   // cap at 1.1
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[0], 11000.0);
}

TEST(FixedOutcomeLimits, GainIsCapped) {
  Note n;
  n.SetWindow({150.0, 80.0});  // worst 1.5
  n.x[3] = {1.0, 1.0};
  n.slope[3][0] = 1.0;
  n.a.PayOffLimit1 = 0.25;
  n.Run(1);
  EXPECT_DOUBLE_EQ(n.cf[0], 12500.0);
}

// ---------------------------------------------------------------------------
// Inputs outside the documented limits

TEST(FixedOutcomeGuards, EmptyWindowRecordsNothingForTheDate) {
  Note n;
  std::vector<double>().swap(n.sc);
  n.win[0] = 0;
  n.flags = {1, 0};
  n.redem[0] = 0.01;
  EXPECT_EQ(n.Run(3), 1);
  EXPECT_EQ(n.rec.settled, 0);
  EXPECT_DOUBLE_EQ(n.price, 200.0);  // the pending coupon only
  EXPECT_EQ(SumOf(n.prob), 0.0);
  EXPECT_EQ(n.flags, (std::vector<int>{1, 0}));
}

TEST(FixedOutcomeGuards, CouponWithoutRedemptionDatesLeft) {
  Note n;
  n.a.NStrike = 0;
  std::vector<int>().swap(n.pay);  // no storage: a read would fault
  EXPECT_EQ(n.Run(2), 1);
  EXPECT_DOUBLE_EQ(n.price, 200.0);
  EXPECT_EQ(n.rec.settled, 0);
}

}  // namespace
}  // namespace morvik
