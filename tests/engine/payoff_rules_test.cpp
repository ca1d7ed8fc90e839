// The payoff rules the path loop and the settlement of a pending date share:
// the barrier modes of every flag value the core entry may receive, the
// order of the window average, and the maturity payoff's knock-in cases.
#include <gtest/gtest.h>

#include "engine/payoff_rules.h"

namespace morvik {
namespace {

TEST(PayoffRules, EveryFlagValueHasItsMode) {
  EXPECT_EQ(KnockOutTouchOf(0), KnockOutTouch::Worst);
  for (int f : {1, 2, -1}) EXPECT_EQ(KnockOutTouchOf(f), KnockOutTouch::StockByStock) << f;
  EXPECT_EQ(KnockInOf(0), KnockIn::AtMaturityNoLoss);
  EXPECT_EQ(KnockInOf(1), KnockIn::DailyWithLoss);
  for (int f : {2, 3, -1}) EXPECT_EQ(KnockInOf(f), KnockIn::AtMaturityWithLoss) << f;
  EXPECT_EQ(CouponWatchOf(1), CouponWatch::Daily);
  EXPECT_EQ(CouponWatchOf(2), CouponWatch::OnDate);
  for (int f : {0, 3, -1}) EXPECT_EQ(CouponWatchOf(f), CouponWatch::Never) << f;
}

TEST(PayoffRules, WindowAverageDividesEachCloseBeforeSumming) {
  // (1.15 + 1.29 + 0.59) / 3 is 1.01 exactly; the sum of the thirds is one
  // bit lower, and that is the average the strike is tested against.
  const double win[3] = {1.15, 1.29, 0.59};
  const double thirds = 1.15 / 3 + 1.29 / 3 + 0.59 / 3;
  ASSERT_LT(thirds, (1.15 + 1.29 + 0.59) / 3);
  const double at = 1.01;
  const double below = thirds;
  EXPECT_FALSE(LevelPasses(&at, 1, win, 3, true));
  EXPECT_TRUE(LevelPasses(&below, 1, win, 3, true));
  // Any day: the row of 1.15 passes a strike the average misses.
  const double high = 1.1;
  EXPECT_TRUE(LevelPasses(&high, 1, win, 3, false));
  EXPECT_FALSE(LevelPasses(&high, 1, win, 3, true));
}

TEST(PayoffRules, MaturityPayoffOnEachKnockInCase) {
  PayoffLimits p;
  p.base = 1.0;
  p.lo = 0.0;
  p.hi = 10.0;
  MaturityTerms m;
  m.slope[0] = 0.5;  // not knocked in
  m.amount[0] = 0.2;
  m.slope[1] = 1.0;  // knocked in
  m.amount[1] = 0.0;
  const double barrier[2] = {0.6, 0.6};
  const double atBarrier[2] = {0.6, 1.3};
  const double below[2] = {0.55, 1.3};
  const double up[2] = {1.4, 1.3};
  for (KnockIn mode :
       {KnockIn::AtMaturityNoLoss, KnockIn::DailyWithLoss, KnockIn::AtMaturityWithLoss}) {
    m.mode = mode;
    const bool loss = mode != KnockIn::AtMaturityNoLoss;
    // A close exactly at the barrier does not knock in: gain 0, amount 0.2.
    MaturityOutcome o = MaturityPayoff(m, p, barrier, atBarrier, 2, false);
    EXPECT_FALSE(o.knockedIn);
    EXPECT_EQ(o.payoff, 1.2);
    // Strictly below knocks in; a knocked-in note loses 0.45 unless its
    // mode pays the gain only.
    o = MaturityPayoff(m, p, barrier, below, 2, false);
    EXPECT_TRUE(o.knockedIn);
    EXPECT_EQ(o.payoff, loss ? (0.55 - 1.0) * 1.0 + 1.0 + 0.0 : 1.0);
    // Knocked in before: the closes no longer matter for the state.
    o = MaturityPayoff(m, p, barrier, up, 2, true);
    EXPECT_TRUE(o.knockedIn);
    EXPECT_EQ(o.payoff, (1.3 - 1.0) * 1.0 + 1.0 + 0.0);
  }
  // Not knocked in with a negative slope: losses count.
  m.slope[0] = -0.5;
  const MaturityOutcome o = MaturityPayoff(m, p, barrier, atBarrier, 2, false);
  EXPECT_EQ(o.payoff, (0.6 - 1.0) * -0.5 + 1.0 + 0.2);
}

}  // namespace
}  // namespace morvik
