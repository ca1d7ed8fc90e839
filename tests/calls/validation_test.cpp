// Input validation: one valid two-stock note, then one fault per row.
//
// Every array lives in an exactly sized vector, so a check that reads past
// the length its counts give is caught by the address sanitizer run.
#include "calls/validation.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "calls/assembly.h"
#include "engine/core_valuation.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The mixed-counts two-stock note, valid as it stands.
struct Inputs : FullCall {
  Inputs() : FullCall(testing::MixedCountsNote()) {}
};

struct Row {
  const char* name;
  std::function<void(Inputs&)> change;
  int expected;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ValidationTable : public ::testing::TestWithParam<Row> {};

TEST_P(ValidationTable, ReturnsFirstFailingCode) {
  Inputs in;
  GetParam().change(in);
  EXPECT_EQ(ValidateInputs(in.View()), GetParam().expected);
}

TEST(Validation, BaseInputsAreValid) {
  Inputs in;
  EXPECT_EQ(ValidateInputs(in.View()), 1);
}

// Single faults, in the order the checks run; "ok" rows are boundary values
// that must pass.
const Row kSingleFaults[] = {
    {"price_date_first_day_ok", [](Inputs& in) { in.PriceDate = 19000101; }, 1},
    {"price_date_last_day_ok", [](Inputs& in) { in.PriceDate = 99991231; }, 1},
    {"price_date_below_range", [](Inputs& in) { in.PriceDate = 19000100; }, -100},
    {"price_date_above_range", [](Inputs& in) { in.PriceDate = 100000101; }, -100},
    {"price_date_month_13", [](Inputs& in) { in.PriceDate = 20231399; }, -100},
    {"price_date_1900_feb_29", [](Inputs& in) { in.PriceDate = 19000229; }, -100},
    {"price_date_2023_feb_29", [](Inputs& in) { in.PriceDate = 20230229; }, -100},
    {"notional_zero_ok", [](Inputs& in) { in.NotionalAMT = 0.0; }, 1},
    {"notional_negative", [](Inputs& in) { in.NotionalAMT = -0.01; }, -201},
    {"notional_nan", [](Inputs& in) { in.NotionalAMT = kNaN; }, -201},
    {"notional_inf", [](Inputs& in) { in.NotionalAMT = kInf; }, -201},
    {"nstock_zero", [](Inputs& in) { in.NStock = 0; }, -2004},
    {"nt_common_zero", [](Inputs& in) { in.NT[0] = 0; }, -205},
    {"nt_stock_zero", [](Inputs& in) { in.NT[2] = 0; }, -210},
    {"nstrike_zero", [](Inputs& in) { in.NStrike = 0; }, -2086},
    {"ncoupon_negative", [](Inputs& in) { in.NCoupon = -1; }, -2090},
    {"current_price_zero", [](Inputs& in) { in.UnderlyingPrice[2] = 0.0; }, -2006},
    {"current_price_nan", [](Inputs& in) { in.UnderlyingPrice[0] = kNaN; }, -2006},
    {"base_price_negative", [](Inputs& in) { in.UnderlyingPrice[3] = -1.0; }, -2007},
    {"base_price_inf", [](Inputs& in) { in.UnderlyingPrice[1] = kInf; }, -2007},
    {"common_tenor_repeated",
     [](Inputs& in) {
       in.NT[0] = 3;
       in.TCurveInfo = {0.0, 0.5, 0.5, 0.25, 1.0, 0.5};
       in.CurveInfo = {0.03, 0.03, 0.03, 0.02, 0.021, 0.01};
     },
     -206},
    {"common_tenor_first_zero_ok", [](Inputs& in) { in.TCurveInfo[0] = 0.0; }, 1},
    {"common_tenor_negative", [](Inputs& in) { in.TCurveInfo[0] = -0.5; }, -206},
    {"common_tenor_last_inf", [](Inputs& in) { in.TCurveInfo[1] = kInf; }, -206},
    {"common_value_above_one", [](Inputs& in) { in.CurveInfo[1] = 1.5; }, -207},
    {"common_value_nan", [](Inputs& in) { in.CurveInfo[0] = kNaN; }, -207},
    {"common_value_minus_one_ok", [](Inputs& in) { in.CurveInfo[0] = -1.0; }, 1},
    {"stock_tenor_negative", [](Inputs& in) { in.TCurveInfo[4] = -0.1; }, -211},
    {"stock_tenor_not_increasing", [](Inputs& in) { in.TCurveInfo[3] = 0.25; }, -211},
    {"stock_value_below_minus_one", [](Inputs& in) { in.CurveInfo[2] = -1.5; }, -212},
    {"stock_value_nan", [](Inputs& in) { in.CurveInfo[4] = kNaN; }, -212},
    {"nvol_zero", [](Inputs& in) { in.NVol[1] = 0; }, -2219},
    {"tvol_repeated", [](Inputs& in) { in.TVol[1] = 0.5; }, -2216},
    {"tvol_nan", [](Inputs& in) { in.TVol[2] = kNaN; }, -2216},
    {"nparity_zero", [](Inputs& in) { in.NParity[0] = 0; }, -2218},
    {"parity_repeated", [](Inputs& in) { in.Parity[2] = 1.0; }, -2215},
    {"parity_negative", [](Inputs& in) { in.Parity[3] = -0.9; }, -2215},
    {"local_vol_negative_last", [](Inputs& in) { in.LocalVolSurface[7] = -0.01; }, -2217},
    {"local_vol_nan", [](Inputs& in) { in.LocalVolSurface[0] = kNaN; }, -2217},
    {"local_vol_zero_ok", [](Inputs& in) { in.LocalVolSurface[3] = 0.0; }, 1},
    {"corr_exactly_minus_one_ok",
     [](Inputs& in) { in.UnderlyingCorr[1] = in.UnderlyingCorr[2] = -1.0; }, 1},
    {"corr_above_one", [](Inputs& in) { in.UnderlyingCorr[3] = 1.0000001; }, -2025},
    {"corr_nan", [](Inputs& in) { in.UnderlyingCorr[1] = kNaN; }, -2025},
    {"ndiv_negative", [](Inputs& in) { in.NDiv[1] = -1; }, -2032},
    {"div_type_three", [](Inputs& in) { in.Div_TypeFlag[0] = 3; }, -2034},
    {"div_type_negative", [](Inputs& in) { in.Div_TypeFlag[1] = -1; }, -2034},
    {"tdiv_decreasing", [](Inputs& in) { in.TDiv = {200, 30, 0}; }, -2030},
    {"tdiv_repeated", [](Inputs& in) { in.TDiv = {30, 30, 0}; }, -2030},
    {"tdiv_negative", [](Inputs& in) { in.TDiv[2] = -1; }, -2030},
    {"cash_div_equal_base_ok", [](Inputs& in) { in.Div[0] = 100.0; }, 1},
    {"cash_div_above_base", [](Inputs& in) { in.Div[1] = 100.01; }, -2031},
    {"cash_div_negative", [](Inputs& in) { in.Div[0] = -0.5; }, -2031},
    {"cash_div_nan", [](Inputs& in) { in.Div[0] = kNaN; }, -2031},
    {"yield_div_above_one", [](Inputs& in) { in.Div[2] = 1.5; }, -2031},
    {"yield_div_inf", [](Inputs& in) { in.Div[2] = -kInf; }, -2031},
    // Stock 1's base price is 40: a cash amount of 45 is too large for it
    // even though it is below stock 0's base price.
    {"cash_div_uses_own_base", [](Inputs& in) { in.Div_TypeFlag[1] = 2; in.Div[2] = 45.0; }, -2031},
    {"no_dividends_ok", [](Inputs& in) { in.NDiv = {0, 0}; in.TDiv.clear(); in.Div.clear(); }, 1},
    {"fx_nvol_zero", [](Inputs& in) { in.FX_NVol[0] = 0; }, -2042},
    {"quanto_three", [](Inputs& in) { in.QuantoFlag[1] = 3; }, -2044},
    {"fx_corr_above_one", [](Inputs& in) { in.FX_Corr[0] = 1.5; }, -2043},
    {"fx_corr_nan", [](Inputs& in) { in.FX_Corr[1] = kNaN; }, -2043},
    {"fx_tenor_repeated", [](Inputs& in) { in.FX_TVol[2] = 0.5; }, -2040},
    {"fx_vol_below_minus_one", [](Inputs& in) { in.FX_Vol[2] = -1.5; }, -2041},
    {"fx_vol_first_has_no_floor", [](Inputs& in) { in.FX_Vol[1] = -5.0; }, 1},
    {"fx_vol_first_inf", [](Inputs& in) { in.FX_Vol[0] = kInf; }, -2041},
    {"fx_vol_later_nan", [](Inputs& in) { in.FX_Vol[2] = kNaN; }, -2041},
    {"tiers_flat_ok",
     [](Inputs& in) {
       for (int e = 0; e < 6; ++e) {
         in.X[e] = 0.8;
         in.X[6 + e] = 0.8;
         in.X[12 + e] = 0.9;
         in.X[18 + e] = 0.9;
       }
     },
     1},
    {"tier_decreasing", [](Inputs& in) { in.X[6 + 4] = 0.6; }, -2085},
    {"tier_zero", [](Inputs& in) { in.X[18 + 5] = 0.0; }, -2085},
    {"tier_nan", [](Inputs& in) { in.X[12] = kNaN; }, -2085},
    {"tier_inf", [](Inputs& in) { in.X[18] = kInf; }, -2085},
    // Date 2, stock 1, tier 3 sits at index (3*3 + 2)*2 + 1 = 23.
    {"tier_above_ko", [](Inputs& in) { in.KO_Barrier[2] = 0.84; }, -2053},
    {"tier_equal_ko_ok", [](Inputs& in) { in.KO_Barrier[2] = 0.85; }, 1},
    {"ko_nan", [](Inputs& in) { in.KO_Barrier[1] = kNaN; }, -2053},
    {"ko_inf", [](Inputs& in) { in.KO_Barrier[0] = kInf; }, -2053},
    {"ki_negative", [](Inputs& in) { in.KI_Barrier[1] = -0.1; }, -2050},
    {"ki_nan", [](Inputs& in) { in.KI_Barrier[0] = kNaN; }, -2050},
    {"obs_before_previous",
     [](Inputs& in) { testing::SetRedemptionDates(in, {20240715, 20240714, 20250715}, {20240722, 20250122, 20250722}); },
     -2071},
    {"obs_equal_previous",
     [](Inputs& in) { testing::SetRedemptionDates(in, {20240715, 20240715, 20250715}, {20240722, 20250122, 20250722}); },
     -2071},
    {"obs_not_real", [](Inputs& in) { in.DatesInfo[1] = 20250229; }, -2071},
    {"obs_out_of_range", [](Inputs& in) { in.DatesInfo[0] = 19000100; }, -2071},
    {"pay_before_obs", [](Inputs& in) { in.DatesInfo[4] = 20250114; }, -2075},
    {"pay_before_previous_pay",
     [](Inputs& in) { testing::SetRedemptionDates(in, {20240715, 20240716, 20250715}, {20240722, 20240721, 20250722}); },
     -2075},
    {"pay_equal_previous_ok",
     [](Inputs& in) { testing::SetRedemptionDates(in, {20240715, 20240716, 20250715}, {20240722, 20240722, 20250722}); },
     1},
    {"pay_not_real", [](Inputs& in) { in.DatesInfo[5] = 20250732; }, -2075},
    {"window_zero", [](Inputs& in) { in.DatesInfo[7] = 0; }, -2073},
    {"window_rule_two", [](Inputs& in) { in.DatesInfo[11] = 2; }, -2072},
    {"knock_out_mode_two", [](Inputs& in) { in.KnockBarrierFlag[0] = 2; }, -2054},
    {"knock_in_mode_two_ok", [](Inputs& in) { in.KnockBarrierFlag[1] = 2; }, 1},
    {"knock_in_mode_three", [](Inputs& in) { in.KnockBarrierFlag[1] = 3; }, -2051},
    {"be_ko_two", [](Inputs& in) { in.BeKO_Hitted[1] = 2; }, -2055},
    {"be_ki_negative", [](Inputs& in) { in.BeKI_Hitted = -1; }, -2052},
    {"coupon_barrier_negative", [](Inputs& in) { in.CouponBarrier[1] = -0.1; }, -2056},
    {"coupon_barrier_nan", [](Inputs& in) { in.CouponBarrier[0] = kNaN; }, -2056},
    {"coupon_obs_before_previous", [](Inputs& in) { in.CouponDatesInfo[1] = 20240414; }, -2077},
    {"coupon_obs_equal_previous", [](Inputs& in) { in.CouponDatesInfo[1] = 20240415; }, -2077},
    {"coupon_obs_first_not_real", [](Inputs& in) { in.CouponDatesInfo[0] = 20240431; }, -2077},
    {"coupon_obs_first_out_of_range", [](Inputs& in) { in.CouponDatesInfo[0] = 1; }, -2077},
    {"coupon_pay_before_previous",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240415, 20240416, 20240422, 20240421};
     },
     -2078},
    {"coupon_pay_equal_previous_ok",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240415, 20240416, 20240422, 20240422};
     },
     1},
    {"coupon_first_pay_before_its_obs", [](Inputs& in) { in.CouponDatesInfo[2] = 20240414; }, -2078},
    {"coupon_pay_not_real", [](Inputs& in) { in.CouponDatesInfo[3] = 20241000; }, -2078},
    {"last_coupon_obs_after_last_redemption_obs",
     [](Inputs& in) {
       in.CouponDatesInfo[1] = 20250716;
       in.CouponDatesInfo[3] = 20250722;
     },
     -2077},
    {"last_coupon_pay_after_last_redemption_pay", [](Inputs& in) { in.CouponDatesInfo[3] = 20250723; }, -2078},
    {"coupon_on_last_redemption_dates_ok",
     [](Inputs& in) {
       in.CouponDatesInfo[1] = 20250715;
       in.CouponDatesInfo[3] = 20250722;
     },
     1},
    {"be_coupon_barrier_two", [](Inputs& in) { in.BeCouponBarrierHitted = 2; }, -2058},
    {"coupon_barrier_mode_three", [](Inputs& in) { in.CouponBarrierFlag = 3; }, -2057},
    {"no_coupons_skips_coupon_checks",
     [](Inputs& in) {
       in.NCoupon = 0;
       in.CouponBarrier.clear();
       in.Coupon.clear();
       in.CouponDatesInfo.clear();
       in.BeCouponBarrierHitted = 7;
       in.CouponBarrierFlag = -4;
     },
     1},
    {"trials_one_ok", [](Inputs& in) { in.NTrials = 1.0; }, 1},
    {"trials_half", [](Inputs& in) { in.NTrials = 0.5; }, -200},
    {"trials_nan", [](Inputs& in) { in.NTrials = kNaN; }, -200},
    {"trials_inf", [](Inputs& in) { in.NTrials = kInf; }, -200},
    {"floor_above_one", [](Inputs& in) { in.PayOffLimit[0] = 1.01; }, -2115},
    {"floor_nan", [](Inputs& in) { in.PayOffLimit[0] = kNaN; }, -2115},
    {"floor_minus_inf", [](Inputs& in) { in.PayOffLimit[0] = -kInf; }, -2115},
    {"cap_negative", [](Inputs& in) { in.PayOffLimit[1] = -0.1; }, -2116},
    {"cap_nan", [](Inputs& in) { in.PayOffLimit[1] = kNaN; }, -2116},
    {"cap_minus_inf", [](Inputs& in) { in.PayOffLimit[1] = -kInf; }, -2116},
    {"cap_inf_means_no_cap_ok", [](Inputs& in) { in.PayOffLimit[1] = kInf; }, 1},
    {"na_flag_two", [](Inputs& in) { in.NAFlag = 2; }, -303},
    {"fixed_redemption_negative", [](Inputs& in) { in.FixedFlag[0] = -1; }, -302},
    {"fixed_coupon_negative", [](Inputs& in) { in.FixedFlag[1] = -1; }, -302},
    {"fixings_supplied_ok", [](Inputs& in) { testing::SetFixings(in, 2, 1); }, 1},
    {"sc_negative", [](Inputs& in) { testing::SetFixings(in, 2, 1); in.SC[3] = -1.0; }, -2201},
    {"sc_nan", [](Inputs& in) { testing::SetFixings(in, 1, 0); in.SC[0] = kNaN; }, -2201},
    {"coupon_sc_negative", [](Inputs& in) { testing::SetFixings(in, 0, 1); in.Coupon_SC[1] = -1.0; }, -2202},
    {"calc_two_log_ok", [](Inputs& in) { in.CalcFlag = {2, 1}; }, 1},
    {"calc_three", [](Inputs& in) { in.CalcFlag = {3, 0}; }, -301},
    {"calc_negative", [](Inputs& in) { in.CalcFlag = {-1, 0}; }, -301},
    {"log_two", [](Inputs& in) { in.CalcFlag = {0, 2}; }, -300},
    {"slope_last_nan", [](Inputs& in) { in.PayOffSlope[19] = kNaN; }, -304},
    {"amount_inf", [](Inputs& in) { in.PayOffAmount[0] = kInf; }, -304},
    {"redem_coupon_nan", [](Inputs& in) { in.RedemCoupon[1] = kNaN; }, -304},
    {"coupon_amount_inf", [](Inputs& in) { in.Coupon[1] = -kInf; }, -304},
    {"large_finite_amounts_ok", [](Inputs& in) { in.PayOffAmount[3] = 1e300; in.PayOffSlope[0] = -1e300; }, 1},
};

INSTANTIATE_TEST_SUITE_P(SingleFault, ValidationTable, ::testing::ValuesIn(kSingleFaults),
                         [](const auto& info) { return std::string(info.param.name); });

// Fixings of the redemption window around the pricing date (20240115).
// Date 0 gets a 5-day window; the fixtures supply `fixed` closes per stock.
void WindowCase(Inputs& in, int obs, int pay, int fixed) {
  in.DatesInfo[0] = obs;
  in.DatesInfo[3] = pay;
  in.DatesInfo[6] = 5;
  testing::SetFixings(in, fixed, 0);
}

const Row kFixings[] = {
    // Two days to go: three of the five window days have passed.
    {"two_days_ahead_needs_three", [](Inputs& in) { WindowCase(in, 20240117, 20240124, 2); }, -302},
    {"two_days_ahead_three_ok", [](Inputs& in) { WindowCase(in, 20240117, 20240124, 3); }, 1},
    {"observed_today_needs_whole_window", [](Inputs& in) { WindowCase(in, 20240115, 20240124, 4); }, -302},
    {"observed_today_whole_window_ok", [](Inputs& in) { WindowCase(in, 20240115, 20240124, 5); }, 1},
    {"window_not_started_ok", [](Inputs& in) { WindowCase(in, 20240125, 20240201, 0); }, 1},
    {"window_starts_tomorrow_ok", [](Inputs& in) { WindowCase(in, 20240120, 20240201, 0); }, 1},
    {"window_started_today_needs_one", [](Inputs& in) { WindowCase(in, 20240119, 20240201, 0); }, -302},
    {"observed_pay_pending_needs_window", [](Inputs& in) { WindowCase(in, 20240110, 20240120, 4); }, -302},
    {"observed_pay_pending_ok", [](Inputs& in) { WindowCase(in, 20240110, 20240120, 5); }, 1},
    {"observed_and_paid_ok", [](Inputs& in) { WindowCase(in, 20240105, 20240110, 0); }, 1},
    {"paid_today_ok", [](Inputs& in) { WindowCase(in, 20240105, 20240115, 0); }, 1},
    // Window crossing a month end: 20240130 is 2 days after 20240128.
    {"window_across_month_end",
     [](Inputs& in) {
       in.PriceDate = 20240128;
       WindowCase(in, 20240130, 20240206, 2);
     },
     -302},
    // 19000226 to 19000302 is 4 days: 1900 is not a leap year, although the
    // spreadsheet serial count gives it a 29 February and would say 5.
    {"window_counted_in_real_days_1900",
     [](Inputs& in) {
       in.PriceDate = 19000226;
       WindowCase(in, 19000302, 19000305, 0);
     },
     -302},
    {"second_pending_redemption",
     [](Inputs& in) {
       testing::SetRedemptionDates(in, {20240110, 20240112, 20250715}, {20240201, 20240202, 20250722});
       testing::SetFixings(in, 1, 0);
     },
     -302},
    // The pending date's window and the running window of the next date
    // would both be read from SC.
    {"running_window_behind_pending_date",
     [](Inputs& in) {
       testing::SetRedemptionDates(in, {20240110, 20240117, 20250715}, {20240201, 20240202, 20250722});
       in.DatesInfo[7] = 5;
       testing::SetFixings(in, 5, 0);
     },
     -302},
    {"pending_date_next_window_not_started_ok",
     [](Inputs& in) {
       testing::SetRedemptionDates(in, {20240110, 20240125, 20250715}, {20240201, 20240202, 20250722});
       in.DatesInfo[7] = 5;
       testing::SetFixings(in, 1, 0);
     },
     1},
    {"one_paid_one_pending_ok",
     [](Inputs& in) {
       testing::SetRedemptionDates(in, {20240110, 20240112, 20250715}, {20240114, 20240202, 20250722});
       testing::SetFixings(in, 1, 0);
     },
     1},
    {"coupon_observed_today_needs_fixing", [](Inputs& in) { in.CouponDatesInfo = {20240115, 20241015, 20240122, 20241022}; }, -302},
    {"coupon_pending_with_fixing_ok",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240110, 20241015, 20240122, 20241022};
       testing::SetFixings(in, 0, 1);
     },
     1},
    {"coupon_paid_today_ok", [](Inputs& in) { in.CouponDatesInfo = {20240110, 20241015, 20240115, 20241022}; }, 1},
    {"second_pending_coupon",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240110, 20240112, 20240120, 20240125};
       testing::SetFixings(in, 0, 1);
     },
     -302},
};

INSTANTIATE_TEST_SUITE_P(Fixings, ValidationTable, ::testing::ValuesIn(kFixings),
                         [](const auto& info) { return std::string(info.param.name); });

// Two faults at once: the earlier check wins.
const Row kOrder[] = {
    {"base_price_stock0_before_current_stock1",
     [](Inputs& in) {
       in.UnderlyingPrice[1] = 0.0;
       in.UnderlyingPrice[2] = 0.0;
     },
     -2007},
    {"common_value_before_next_tenor", [](Inputs& in) { in.CurveInfo[0] = 1.5; in.TCurveInfo[1] = 0.1; }, -207},
    {"common_tenor_before_own_value", [](Inputs& in) { in.TCurveInfo[1] = 0.1; in.CurveInfo[1] = 1.5; }, -206},
    {"stock_value_before_next_stock_tenor", [](Inputs& in) { in.CurveInfo[2] = 1.5; in.TCurveInfo[3] = 0.1; }, -212},
    {"stock_tenor_before_own_value", [](Inputs& in) { in.TCurveInfo[3] = 0.1; in.CurveInfo[3] = 1.5; }, -211},
    {"tvol_stock0_before_nvol_stock1", [](Inputs& in) { in.TVol[0] = -1.0; in.NVol[1] = 0; }, -2216},
    {"parity_stock0_before_nvol_stock1", [](Inputs& in) { in.Parity[1] = 0.7; in.NVol[1] = 0; }, -2215},
    {"tvol_before_nparity_of_same_stock", [](Inputs& in) { in.NParity[1] = 0; in.TVol[2] = -1.0; }, -2216},
    {"tdiv_segment_before_div_segment", [](Inputs& in) { in.Div[0] = -1.0; in.TDiv[1] = 10; }, -2030},
    {"div_stock0_before_ndiv_stock1", [](Inputs& in) { in.Div[1] = -1.0; in.NDiv[1] = -1; }, -2031},
    {"fx_tenor_before_own_vol", [](Inputs& in) { in.FX_TVol[2] = 0.2; in.FX_Vol[2] = -2.0; }, -2040},
    {"fx_vol_before_next_tenor", [](Inputs& in) { in.FX_Vol[1] = kNaN; in.FX_TVol[2] = 0.2; }, -2041},
    {"quanto_before_fx_corr", [](Inputs& in) { in.QuantoFlag[0] = 5; in.FX_Corr[0] = 2.0; }, -2044},
    {"tier_order_before_ko", [](Inputs& in) { in.X[6] = 0.6; in.KO_Barrier[0] = 0.1; }, -2085},
    {"window_rule_before_fixing",
     [](Inputs& in) {
       WindowCase(in, 20240117, 20240124, 0);
       in.DatesInfo[9] = 2;
     },
     -2072},
    {"fixing_date0_before_window_date1",
     [](Inputs& in) {
       WindowCase(in, 20240117, 20240124, 0);
       in.DatesInfo[7] = 0;
     },
     -302},
    {"redemption_fixing_before_knock_flags",
     [](Inputs& in) {
       WindowCase(in, 20240117, 20240124, 0);
       in.KnockBarrierFlag[0] = 9;
     },
     -302},
    {"coupon_barrier_before_coupon_dates",
     [](Inputs& in) {
       in.CouponBarrier[0] = -1.0;
       in.CouponDatesInfo[0] = 20240431;
     },
     -2056},
    {"coupon_fixing_before_later_coupon_dates",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240110, 20241015, 20240122, 20241000};
     },
     -302},
    {"coupon_checks_before_trials", [](Inputs& in) { in.CouponBarrierFlag = 9; in.NTrials = 0.0; }, -2057},
    {"missing_coupon_fixing_before_coupon_state",
     [](Inputs& in) {
       in.CouponDatesInfo = {20240110, 20241015, 20240122, 20241022};
       in.BeCouponBarrierHitted = 2;
     },
     -302},
    {"calc_flag_before_payoff_values", [](Inputs& in) { in.CalcFlag[1] = 5; in.PayOffSlope[0] = kNaN; }, -300},
};

INSTANTIATE_TEST_SUITE_P(Order, ValidationTable, ::testing::ValuesIn(kOrder),
                         [](const auto& info) { return std::string(info.param.name); });

// A one-date note without coupons or fixings: empty arrays are never read.
TEST(Validation, SingleDateNoteReadsNoEmptyArray) {
  Inputs in;
  in.NStock = 1;
  in.UnderlyingPrice = {100.0, 100.0};
  in.NT = {1, 1};
  in.TCurveInfo = {1.0, 1.0};
  in.CurveInfo = {0.03, 0.02};
  in.TVol = {1.0};
  in.Parity = {1.0};
  in.LocalVolSurface = {0.25};
  in.NVol = {1};
  in.NParity = {1};
  in.UnderlyingCorr = {1.0};
  in.NDiv = {0};
  in.TDiv.clear();
  in.Div.clear();
  in.Div_TypeFlag = {1};
  in.FX_TVol = {1.0};
  in.FX_Vol = {0.1};
  in.FX_NVol = {1};
  in.FX_Corr = {0.0};
  in.QuantoFlag = {0};
  in.NStrike = 1;
  in.X = testing::Tiers(1, 1, 0.7, 0.05);
  in.KO_Barrier = {1.0};
  in.KI_Barrier = {0.6};
  in.PayOffSlope.assign(12, 0.0);
  in.PayOffAmount.assign(12, 1.1);
  in.RedemCoupon.clear();
  in.DatesInfo = {20250115, 20250122, 1, 0};
  in.BeKO_Hitted = {0};
  in.NCoupon = 0;
  in.CouponBarrier.clear();
  in.Coupon.clear();
  in.CouponDatesInfo.clear();
  testing::SetFixings(in, 0, 0);
  EXPECT_EQ(ValidateInputs(in.View()), 1);

  in.PayOffAmount[11] = kNaN;
  EXPECT_EQ(ValidateInputs(in.View()), -304);
}


// The located variant names the stock, date and point the failed check read.
struct Located {
  const char* name;
  std::function<void(Inputs&)> change;
  ValidationFault expected;
};

TEST(Validation, FaultLocation) {
  // {code, underlying, redemption date, coupon, point}
  const Located cases[] = {
      {"valid", [](Inputs&) {}, {1, -1, -1, -1, -1}},
      {"stock1_curve_point0", [](Inputs& in) { in.CurveInfo[4] = 2.0; }, {-212, 1, -1, -1, 0}},
      {"stock1_tvol_point0", [](Inputs& in) { in.TVol[2] = -1.0; }, {-2216, 1, -1, -1, 0}},
      {"stock1_local_vol_point1", [](Inputs& in) { in.LocalVolSurface[7] = -1.0; }, {-2217, 1, -1, -1, 1}},
      {"corr_row1_col0", [](Inputs& in) { in.UnderlyingCorr[2] = 3.0; }, {-2025, 1, -1, -1, 0}},
      // The pair (0, 1) disagrees: reported at its element below the diagonal.
      {"corr_matrix_pair", [](Inputs& in) { in.UnderlyingCorr[1] = 0.4; }, {-2026, 1, -1, -1, 0}},
      {"stock0_div_point1", [](Inputs& in) { in.Div[1] = -1.0; }, {-2031, 0, -1, -1, 1}},
      {"stock1_fx_vol_point1", [](Inputs& in) { in.FX_Vol[2] = -3.0; }, {-2041, 1, -1, -1, 1}},
      // Element e = 5 is date 2, stock 1; tier 2 falls below tier 1.
      {"tier_order_date2_stock1", [](Inputs& in) { in.X[12 + 5] = 0.72; }, {-2085, 1, 2, -1, 2}},
      {"ko_date1", [](Inputs& in) { in.KO_Barrier[1] = 0.7; }, {-2053, 0, 1, -1, 1}},
      {"redemption_window_date1", [](Inputs& in) { in.DatesInfo[7] = 0; }, {-2073, -1, 1, -1, -1}},
      {"redemption_fixing_date0",
       [](Inputs& in) { WindowCase(in, 20240117, 20240124, 2); },
       {-302, -1, 0, -1, -1}},
      {"coupon1_pay", [](Inputs& in) { in.CouponDatesInfo[3] = 20241032; }, {-2078, -1, -1, 1, -1}},
      {"coupon0_fixing",
       [](Inputs& in) { in.CouponDatesInfo = {20240110, 20241015, 20240122, 20241022}; },
       {-302, -1, -1, 0, -1}},
      {"sc_row1_stock0",
       [](Inputs& in) {
         testing::SetFixings(in, 2, 0);
         in.SC[2] = -1.0;
       },
       {-2201, 0, -1, -1, 1}},
      {"cap", [](Inputs& in) { in.PayOffLimit[1] = -1.0; }, {-2116, -1, -1, -1, 1}},
  };
  for (const Located& c : cases) {
    SCOPED_TRACE(c.name);
    Inputs in;
    c.change(in);
    ValidationFault fault;
    fault.underlying = 99;  // stale contents must be overwritten
    const int code = ValidateInputsAt(in.View(), fault);
    EXPECT_EQ(code, c.expected.code);
    EXPECT_EQ(code, ValidateInputs(in.View()));
    EXPECT_EQ(fault.code, c.expected.code);
    EXPECT_EQ(fault.underlying, c.expected.underlying);
    EXPECT_EQ(fault.date, c.expected.date);
    EXPECT_EQ(fault.coupon, c.expected.coupon);
    EXPECT_EQ(fault.point, c.expected.point);
  }
}

// Correlation matrices of a three-stock note: (A01, A02, A12) and a unit
// diagonal.
void SetCorrelation(FullCall& c, double a01, double a02, double a12) {
  c.UnderlyingCorr = {1.0, a01, a02, a01, 1.0, a12, a02, a12, 1.0};
}

struct MatrixCase {
  const char* name;
  std::function<void(FullCall&)> change;
  int row, column;  // where the check reports the fault
};

// A matrix that is not a correlation matrix is rejected with nothing
// written, although every entry lies in [-1, 1]: the factor the engine
// would use (non-positive pivots floored) describes another matrix.
TEST(CorrelationMatrix, MatricesThatAreNotCorrelationMatricesAreRejected) {
  const MatrixCase cases[] = {
      {"indefinite_all_minus_0_9", [](FullCall& c) { SetCorrelation(c, -0.9, -0.9, -0.9); }, 2, 2},
      {"upper_and_lower_disagree", [](FullCall& c) { c.UnderlyingCorr[1] = 0.6; }, 1, 0},
      {"diagonal_one_half", [](FullCall& c) { c.UnderlyingCorr[8] = 0.5; }, 2, 2},
  };
  for (const MatrixCase& m : cases) {
    SCOPED_TRACE(m.name);
    FullCall c = testing::PathNote(testing::PathNoteKind::kThreeStocks, 40.0, 1, 0);
    m.change(c);
    const FullCall before = c;
    ValidationFault fault;
    EXPECT_EQ(ValidateInputsAt(c.Inputs(), fault), -2026);
    EXPECT_EQ(fault.underlying, m.row);
    EXPECT_EQ(fault.point, m.column);
    EXPECT_EQ(c.Call(), -2026);
    EXPECT_TRUE(testing::SameBits(c.ELS_Prob_n_Cf, before.ELS_Prob_n_Cf));
    EXPECT_TRUE(testing::SameBits(c.ELS_Coupon_Prob_n_Cf, before.ELS_Coupon_Prob_n_Cf));
    EXPECT_TRUE(testing::SameBits(c.ResultPrice, before.ResultPrice));
  }
}

// Singular matrices (two stocks moving as one, or as mirror images) and a
// matrix with rounding noise are correlation matrices: the full call prices
// them exactly as the core does on the assembled arguments.
TEST(CorrelationMatrix, SingularAndNoisyMatricesArePricedAsTheCorePricesThem) {
  const MatrixCase cases[] = {
      {"correlation_one", [](FullCall& c) { SetCorrelation(c, 1.0, 0.35, 0.35); }, -1, -1},
      {"correlation_minus_one", [](FullCall& c) { SetCorrelation(c, -1.0, 0.35, -0.35); }, -1, -1},
      {"rounding_noise",
       [](FullCall& c) {
         c.UnderlyingCorr[1] += 1e-15;
         c.UnderlyingCorr[8] -= 1e-15;
       },
       -1, -1},
  };
  for (const MatrixCase& m : cases) {
    SCOPED_TRACE(m.name);
    FullCall c = testing::PathNote(testing::PathNoteKind::kThreeStocks, 40.0, 0, 0);
    c.NotionalAMT = 10000.0;  // the core's units
    m.change(c);
    ASSERT_EQ(c.Call(), 1);

    AssembledCore core;
    AssembleCore(c.Inputs(), core);
    double price = 0.0;
    core.results.ResultPrice = &price;
    ASSERT_EQ(MorvikCore(core.args, core.results), 1);
    EXPECT_EQ(c.ResultPrice[0], price);
    for (int s = 0; s < c.NStrike + 2; ++s) {
      EXPECT_EQ(c.ELS_Prob_n_Cf[s], core.ELS_Prob[s]);
      EXPECT_EQ(c.ELS_Prob_n_Cf[c.NStrike + 2 + s], core.ELS_Cf[s] / 10000.0 * 10000.0);
    }
  }
}

}  // namespace
}  // namespace morvik
