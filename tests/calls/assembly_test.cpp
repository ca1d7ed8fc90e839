// Assembly of the core argument list: price split, moneyness in performance
// units, schedule dates as day offsets, the daily dividend rows and the
// pointers handed on into the caller's arrays.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "calls/assembly.h"
#include "numerics/curves.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

// A small two-stock contract whose arrays live as long as the test.
struct Inputs : FullCall {
  Inputs() : FullCall(testing::DistinctValuesNote()) {}
};

TEST(AssemblyTest, SplitsPricePairsAndRescalesMoneynessMultiplyingFirst) {
  Inputs in;
  AssembledCore core;
  AssembleCore(in.View(), core);
  EXPECT_EQ(core.CurPrice, (std::vector<double>{100.0, 50.0}));
  EXPECT_EQ(core.BasePrice, (std::vector<double>{80.0, 50.0}));
  ASSERT_EQ(core.Parity_Scaled.size(), 5u);
  // Stock 0 (100 over 80): 1.0 becomes 1.25; 1.1*100/80 rounds to
  // 1.3750000000000002, where 1.1*(100/80) would give 1.375.
  EXPECT_EQ(core.Parity_Scaled[0], 1.25);
  EXPECT_EQ(core.Parity_Scaled[1], 1.3750000000000002);
  // Stock 1 sits at its base price: its segment (after stock 0's two
  // points) is unchanged.
  EXPECT_EQ(core.Parity_Scaled[2], 0.9);
  EXPECT_EQ(core.Parity_Scaled[3], 1.0);
  EXPECT_EQ(core.Parity_Scaled[4], 1.2);
}

TEST(AssemblyTest, ScheduleDatesBecomeSignedDayOffsetsFromPricingDate) {
  Inputs in;  // pricing date 2024-01-15
  testing::SetRampSchedule(in, {20240110, 20240115, 20240116, 20250115}, {20240112, 20240120, 20240301, 20250120},
              {1, 1, 1, 1});
  testing::SetCoupons(in, {20231231, 20240215}, {20240101, 20240229}, 0.5, 0.02);
  AssembledCore core;
  AssembleCore(in.View(), core);
  // 5 days before, the same day, the next day, and one year on across the
  // 29th of February 2024.
  EXPECT_EQ(core.KO_ObsDays, (std::vector<int>{-5, 0, 1, 366}));
  EXPECT_EQ(core.KO_PayDays, (std::vector<int>{-3, 5, 46, 371}));
  // Across the year end backwards; the spare last element stays 0.
  EXPECT_EQ(core.Coupon_ObsDays, (std::vector<int>{-15, 31, 0}));
  EXPECT_EQ(core.Coupon_PayDays, (std::vector<int>{-14, 45, 0}));
}

TEST(AssemblyTest, NoCouponsStillGivesOneElementCouponArrays) {
  Inputs in;
  AssembledCore core;
  AssembleCore(in.View(), core);
  EXPECT_EQ(core.Coupon_ObsDays.size(), 1u);
  EXPECT_EQ(core.Coupon_PayDays.size(), 1u);
  EXPECT_EQ(core.ELS_Coupon_Prob.size(), 1u);
  EXPECT_EQ(core.ELS_Coupon_Cf.size(), 1u);
  EXPECT_EQ(core.ELS_Prob.size(), 3u);
  EXPECT_EQ(core.ELS_Cf.size(), 3u);
}

TEST(AssemblyTest, PassesCallerArraysAndSingleValuesThrough) {
  Inputs in;
  testing::SetRampSchedule(in, {20240215, 20240315, 20240415}, {20240220, 20240320, 20240420}, {1, 3, 2});
  testing::SetCoupons(in, {20240201}, {20240205}, 0.5, 0.02);
  const ExtendedArgs& e = in.View();
  AssembledCore core;
  AssembleCore(e, core);
  const CoreArgs& a = core.args;
  // The common curve comes first in the caller's curve arrays.
  EXPECT_EQ(a.TCurveInfo_Disc, in.TCurveInfo.data());
  EXPECT_EQ(a.CurveInfo_Disc, in.CurveInfo.data());
  EXPECT_EQ(a.NT_Disc, 2);
  EXPECT_EQ(a.TCurveInfo_Stock, in.TCurveInfo.data() + 2);
  EXPECT_EQ(a.CurveInfo_Stock, in.CurveInfo.data() + 2);
  EXPECT_EQ(a.NT_Stock, in.NT.data() + 1);
  // Four-block arrays split into their blocks: S*N = 6 strikes, N+2 = 5
  // slopes and amounts per tier.
  EXPECT_EQ(a.X1, in.X.data() + 6);
  EXPECT_EQ(a.X2, in.X.data() + 12);
  EXPECT_EQ(a.X3, in.X.data() + 18);
  EXPECT_EQ(a.PayOffSlope1, in.PayOffSlope.data() + 5);
  EXPECT_EQ(a.PayOffSlope2, in.PayOffSlope.data() + 10);
  EXPECT_EQ(a.PayOffSlope3, in.PayOffSlope.data() + 15);
  EXPECT_EQ(a.PayOffAmount3, in.PayOffAmount.data() + 15);
  EXPECT_EQ(a.KO_WindowLen, in.DatesInfo.data() + 6);
  EXPECT_EQ(a.KO_AvgFlag, in.DatesInfo.data() + 9);
  EXPECT_EQ(a.Reserved, 0);
  // Scalars and values read from the caller's small arrays.
  EXPECT_EQ(a.KnockBarrierFlag0, 1);
  EXPECT_EQ(a.KnockBarrierFlag1, 2);
  EXPECT_EQ(a.PayOffLimit0, 0.75);
  EXPECT_EQ(a.PayOffLimit1, 0.25);
  EXPECT_EQ(core.ELS_Prob.size(), 5u);
  EXPECT_EQ(core.ELS_Coupon_Prob.size(), 2u);
}

// Last observation 31 days ahead, windows of one day: rows of 31 + 5 days.
TEST(AssemblyTest, ConstantYieldUsesOnlyTheFirstValueOnEveryDay) {
  Inputs in;
  in.TDiv = {0, 100, 7};
  in.Div = {0.015, 0.9, 0.025};
  in.NDiv = {2, 1};
  AssembledCore core;
  AssembleCore(in.View(), core);
  ASSERT_EQ(core.DailyDivLen, 36);
  ASSERT_EQ(core.DailyDivRows.size(), 2u);
  EXPECT_EQ(core.DailyDivRows[0], std::vector<double>(36, 0.015));
  // Stock 1's segment starts after stock 0's two entries.
  EXPECT_EQ(core.DailyDivRows[1], std::vector<double>(36, 0.025));
}

TEST(AssemblyTest, YieldCurveIsSpreadIntoDailyRatesOnTimesInYears) {
  Inputs in;
  in.Div_TypeFlag = {1, 1};
  // Stock 0: flat 3 % yield; stock 1: rising from 1 % at 73 days to 3 % at
  // 365 days.
  in.TDiv = {10, 20, 73, 365};
  in.Div = {0.03, 0.03, 0.01, 0.03};
  in.NDiv = {2, 2};
  AssembledCore core;
  AssembleCore(in.View(), core);
  ASSERT_EQ(core.DailyDivLen, 36);
  for (double v : core.DailyDivRows[0]) EXPECT_NEAR(v, 0.0300012329105, 1e-12);
  // The rising curve, read at 73/365 = 0.2 and 1.0 years.
  const double t[2] = {0.2, 1.0};
  const double vals[2] = {0.01, 0.03};
  std::vector<double> expect(36, 0.0);
  DailyForwardRates(t, vals, 2, 36, expect.data());
  EXPECT_EQ(core.DailyDivRows[1], expect);
  // Inside the first tenor the curve is flat at 1 %.
  EXPECT_NEAR(core.DailyDivRows[1][0], 365.0 * (std::exp(0.01 / 365.0) - 1.0), 1e-15);
}

TEST(AssemblyTest, CashDividendsLandOnTheirDaysAsFractionsOfBasePrice) {
  Inputs in;
  in.UnderlyingPrice = {120.0, 100.0, 50.0, 40.0};
  in.Div_TypeFlag = {2, 2};
  // Stock 0: 2 on day 3 and 4 on day 10. Stock 1: day 35 is the last day of
  // the row (31 + 5 - 1); day 36 lies beyond it and is dropped.
  in.TDiv = {3, 10, 35, 36};
  in.Div = {2.0, 4.0, 1.0, 3.0};
  in.NDiv = {2, 2};
  AssembledCore core;
  AssembleCore(in.View(), core);
  ASSERT_EQ(core.DailyDivLen, 36);
  std::vector<double> row0(36, 0.0), row1(36, 0.0);
  row0[3] = 0.02;
  row0[10] = 0.04;
  row1[35] = 0.025;
  EXPECT_EQ(core.DailyDivRows[0], row0);
  EXPECT_EQ(core.DailyDivRows[1], row1);
}

TEST(AssemblyTest, NoDividendEntryGivesARowOfZerosForEveryType) {
  for (int type : {0, 1, 2}) {
    Inputs in;
    in.Div_TypeFlag = {type, 0};
    in.TDiv = {0};
    in.Div = {0.04};
    in.NDiv = {0, 1};  // stock 0 has no entry; stock 1's segment starts at 0
    AssembledCore core;
    AssembleCore(in.View(), core);
    EXPECT_EQ(core.DailyDivRows[0], std::vector<double>(36, 0.0)) << "type " << type;
    EXPECT_EQ(core.DailyDivRows[1], std::vector<double>(36, 0.04)) << "type " << type;
  }
}

TEST(AssemblyTest, RowsReachFarEnoughForTheLongestObservationWindow) {
  // Windows of 1 and 10 days: the time step is 10, so the rows run to
  // 31 + 11 = 42 days (last observation on day 31), and every extra day
  // follows the row's own rule.
  Inputs in;
  testing::SetRampSchedule(in, {20240201, 20240215}, {20240205, 20240220}, {1, 10});
  in.Div_TypeFlag = {0, 2};
  in.TDiv = {0, 36, 41, 42};
  in.Div = {0.01, 0.5, 1.0, 2.0};
  in.NDiv = {1, 3};
  AssembledCore core;
  AssembleCore(in.View(), core);
  ASSERT_EQ(core.DailyDivLen, 42);
  EXPECT_EQ(core.DailyDivRows[0], std::vector<double>(42, 0.01));
  std::vector<double> row1(42, 0.0);
  row1[36] = 0.01;
  row1[41] = 0.02;  // day 42 is past the row
  EXPECT_EQ(core.DailyDivRows[1], row1);
}

TEST(AssemblyTest, RowLengthRule) {
  const int shortWin[2] = {1, 4};
  const int longWin[3] = {2, 12, 7};
  EXPECT_EQ(DailyDividendLength(100, shortWin, 2), 105);
  EXPECT_EQ(DailyDividendLength(100, longWin, 3), 113);
  EXPECT_EQ(DailyDividendLength(0, shortWin, 2), 5);
  // Every observation more than four days in the past: no entries.
  EXPECT_EQ(DailyDividendLength(-5, shortWin, 2), 0);
  EXPECT_EQ(DailyDividendLength(-4, shortWin, 2), 1);
  EXPECT_EQ(DailyDividendLength(-30, longWin, 3), 0);
}

TEST(AssemblyTest, ScheduleLongPastGivesEmptyRows) {
  Inputs in;
  testing::SetRampSchedule(in, {20231201}, {20231205}, {1});
  in.Div_TypeFlag = {1, 2};
  in.TDiv = {10, 3};
  in.Div = {0.02, 1.0};
  AssembledCore core;
  AssembleCore(in.View(), core);
  EXPECT_EQ(core.KO_ObsDays[0], -45);
  EXPECT_EQ(core.DailyDivLen, 0);
  EXPECT_TRUE(core.DailyDivRows[0].empty());
  EXPECT_TRUE(core.DailyDivRows[1].empty());
}

}  // namespace
}  // namespace morvik
