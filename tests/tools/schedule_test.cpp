// Schedule rules: dates over weekends and holidays, step rules, and the
// expansion of a term sheet into its explicit form.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include "termsheet/schedule.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "termsheet/json_fields.h"
#include "termsheet/term_sheet.h"
#include "tests/support/text_lines.h"

namespace morvik {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

using Dates = std::vector<std::pair<int, int>>;

// Every input of the call, field by field.
void ExpectSameCall(const FullCall& a, const FullCall& b) {
#define MORVIK_SAME(field) EXPECT_EQ(a.field, b.field) << #field
  MORVIK_SAME(PriceDate); MORVIK_SAME(NotionalAMT); MORVIK_SAME(UnderlyingPrice); MORVIK_SAME(TCurveInfo);
  MORVIK_SAME(CurveInfo); MORVIK_SAME(NT); MORVIK_SAME(TVol); MORVIK_SAME(Parity); MORVIK_SAME(LocalVolSurface);
  MORVIK_SAME(NVol); MORVIK_SAME(NParity); MORVIK_SAME(UnderlyingCorr); MORVIK_SAME(TDiv); MORVIK_SAME(Div);
  MORVIK_SAME(NDiv); MORVIK_SAME(Div_TypeFlag); MORVIK_SAME(FX_TVol); MORVIK_SAME(FX_Vol); MORVIK_SAME(FX_NVol);
  MORVIK_SAME(FX_Corr); MORVIK_SAME(QuantoFlag); MORVIK_SAME(NStock); MORVIK_SAME(NStrike); MORVIK_SAME(X);
  MORVIK_SAME(KO_Barrier); MORVIK_SAME(KI_Barrier); MORVIK_SAME(PayOffSlope); MORVIK_SAME(PayOffAmount);
  MORVIK_SAME(DatesInfo); MORVIK_SAME(RedemCoupon); MORVIK_SAME(KnockBarrierFlag); MORVIK_SAME(BeKO_Hitted);
  MORVIK_SAME(BeKI_Hitted); MORVIK_SAME(NCoupon); MORVIK_SAME(CouponBarrier); MORVIK_SAME(Coupon);
  MORVIK_SAME(CouponDatesInfo); MORVIK_SAME(CouponBarrierFlag); MORVIK_SAME(BeCouponBarrierHitted);
  MORVIK_SAME(NTrials); MORVIK_SAME(PayOffLimit); MORVIK_SAME(NAFlag); MORVIK_SAME(SC); MORVIK_SAME(Coupon_SC);
  MORVIK_SAME(FixedFlag); MORVIK_SAME(CalcFlag);
#undef MORVIK_SAME
}

Note Read(const std::string& text) {
  Note note;
  TermSheetError e;
  EXPECT_TRUE(ReadTermSheet(text, "note.json", note, e)) << Describe(e);
  return note;
}

DateRule Rule(int first, int months, int count, int lag, BusinessDayConvention c, std::vector<int> holidays = {}) {
  DateRule r;
  r.first = first;
  r.months = months;
  r.count = count;
  r.paymentLag = lag;
  r.convention = c;
  r.holidays = std::move(holidays);
  return r;
}

TEST(ScheduleRules, DatesMoveOffWeekendsAndHolidaysByTheConvention) {
  using C = BusinessDayConvention;
  // 2026-11-28 is a Saturday; 2027-11-28 a Sunday; 2028-05-29, the Monday
  // after Sunday 28 May, a holiday; payments count business days, so the
  // lag of 2027-05-28 steps over the holiday of 31 May.
  const std::vector<int> us = {20251225, 20260525, 20261126, 20261225, 20270531, 20271125, 20271224, 20280529};
  EXPECT_EQ(ScheduleDates(Rule(20251128, 6, 6, 5, C::kModifiedFollowing, us), "r"),
            (Dates{{20251128, 20251205}, {20260528, 20260604}, {20261130, 20261207},
                   {20270528, 20270607}, {20271129, 20271206}, {20280530, 20280606}}));
  // Month ends: from 31 January monthly, days are kept where the month has
  // them. 2025-05-31 is a Saturday: following leaves the month (2 June),
  // modified following goes back to Friday 30 May.
  EXPECT_EQ(ScheduleDates(Rule(20250131, 1, 5, 0, C::kFollowing), "r"),
            (Dates{{20250131, 20250131}, {20250228, 20250228}, {20250331, 20250331},
                   {20250430, 20250430}, {20250602, 20250602}}));
  EXPECT_EQ(ScheduleDates(Rule(20250131, 1, 5, 0, C::kModifiedFollowing), "r").back().first, 20250530);
  EXPECT_EQ(ScheduleDates(Rule(20250601, 12, 1, 1, C::kPreceding), "r"), (Dates{{20250530, 20250602}}));
  // A last date on the rhythm ends the schedule there; one off it is an error.
  DateRule last = Rule(20251226, 6, 0, 3, C::kFollowing);
  last.last = 20271226;
  EXPECT_EQ(ScheduleDates(last, "r").size(), 5u);
  last.last = 20271201;
  try {
    ScheduleDates(last, "redemption.dates");
    ADD_FAILURE() << "a last date off the rhythm was accepted";
  } catch (const sheet::FieldError& e) {
    EXPECT_EQ(e.path, "redemption.dates.last");
    EXPECT_EQ(e.message, "2027-12-01 is not on the schedule: it is not a whole number of 6-month steps after 2025-12-26");
  }
}

TEST(ScheduleRules, TheReadmeNoteWithARuleReadsAsItsExplicitForm) {
  const Note rule = Read(support::ReadFile(kExamples + "/two_stock_stepdown_schedule.json"));
  const Note explicitForm = Read(support::ReadFile(kExamples + "/two_stock_stepdown.json"));
  ExpectSameCall(rule.inputs, explicitForm.inputs);  // the amount steps give 0.0825, not 0.08249999999999999
  // The expansion is itself a term sheet that reads as the note.
  ExpectSameCall(Read(ExpandedText(rule)).inputs, rule.inputs);
  const Note index = Read(support::ReadFile(kExamples + "/two_index_semiannual.json"));
  ExpectSameCall(Read(ExpandedText(index)).inputs, index.inputs);
  // Strikes step down 5 % a date and stop at their floor; the coupons follow
  // the same dates.
  const FullCall& n = index.inputs;
  ASSERT_EQ(n.NStrike, 6);
  for (int s = 0; s < 6; ++s) {
    const double want[6] = {0.95, 0.9, 0.85, 0.8, 0.8, 0.8};
    EXPECT_EQ(n.X[static_cast<std::size_t>(3 * 6 + s) * 2 + 1], want[s]) << s;
  }
  EXPECT_EQ(std::vector<int>(n.CouponDatesInfo.begin(), n.CouponDatesInfo.end()),
            (std::vector<int>{20251128, 20260528, 20261130, 20270528, 20271129, 20280530,
                              20251205, 20260604, 20261207, 20270607, 20271206, 20280606}));
  EXPECT_EQ(n.Coupon, std::vector<double>(6, 0.035));
}

TEST(ScheduleRules, RuleErrorsNameTheRuleField) {
  std::string text = support::ReadFile(kExamples + "/two_stock_stepdown_schedule.json");
  const auto error = [&](const std::string& from, const std::string& to) {
    std::string t = text;
    const std::size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    t.replace(at, from.size(), to);
    Note note;
    TermSheetError e;
    EXPECT_FALSE(ReadTermSheet(t, "x", note, e));
    return e.path + ": " + e.message;
  };
  EXPECT_EQ(error("\"strike\": [0.9, 0.9, 0.85, 0.85, 0.8, 0.75]", "\"strike\": [0.9, 0.85]"),
            "redemption.strike: expected 6 values, one per date, got 2");
  EXPECT_EQ(error("\"count\": 6", "\"count\": 0"), "redemption.dates.count: expected a whole number from 1 to 600, got 0");
  EXPECT_EQ(error("\"frequency\": \"semiannual\"", "\"frequency\": \"biweekly\""),
            "redemption.dates.frequency: expected one of \"monthly\", \"quarterly\", \"semiannual\", \"annual\"");
  EXPECT_EQ(error("\"payment_lag\": 3,", ""), "redemption.dates.payment_lag: missing");
  EXPECT_EQ(error("\"first\": \"2025-12-26\"", "\"first\": \"2025-12-32\""),
            "redemption.dates.first: \"2025-12-32\" is not a date: December 2025 has 31 days");
  // A holiday list is bounded before its dates are read.
  const auto holidays = [](std::size_t n) {
    std::string list = "\"convention\": \"following\", \"holidays\": [";
    for (std::size_t k = 0; k < n; ++k) list += k ? ", \"2025-12-25\"" : "\"2025-12-25\"";
    return list + "]";
  };
  EXPECT_EQ(error("\"convention\": \"following\"", holidays(kMaxHolidays + 1)),
            "redemption.dates.holidays: expected at most 10000 holidays, got 10001");
  std::string longest = text;
  longest.replace(longest.find("\"convention\": \"following\""), 25, holidays(kMaxHolidays));
  EXPECT_EQ(Read(longest).inputs.NStrike, 6);
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
