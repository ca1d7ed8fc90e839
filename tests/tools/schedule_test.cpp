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

// Named calendars: a known holiday of each moves a date; names are joined
// with each other and with the note's own holidays, and payments count the
// joint business days.
TEST(ScheduleRules, NamedCalendarsMoveDatesOffTheirHolidays) {
  using C = BusinessDayConvention;
  struct Case {
    const char* name;
    int date;   // a weekday holiday of the calendar
    int moved;  // the next business day of that calendar alone
  };
  const Case cases[] = {
      {"south_korea", 20260924, 20260928},              // Chuseok, Thursday and Friday
      {"south_korea_krx", 20261231, 20270104},          // year-end closing, then New Year
      {"target", 20261225, 20261228},                   // Christmas
      {"united_states", 20261012, 20261013},            // Columbus Day (banks, not the NYSE)
      {"united_states_nyse", 20260403, 20260406},       // Good Friday (the NYSE, not banks)
      {"japan", 20260504, 20260507},                    // Golden Week with its substitute day
      {"hong_kong", 20200127, 20200129},                // Lunar New Year
      {"united_kingdom", 20260831, 20260901},           // summer bank holiday
      {"united_kingdom_exchange", 20261228, 20261229},  // Boxing Day moved off Saturday
  };
  for (const HolidayCalendarInfo& info : HolidayCalendars()) {
    const Case* c = nullptr;
    for (const Case& k : cases) {
      if (std::string(k.name) == info.name) c = &k;
    }
    ASSERT_NE(c, nullptr) << info.name << " has no case";
    DateRule r = Rule(c->date, 12, 1, 0, C::kFollowing);
    ASSERT_TRUE(FindHolidayCalendar(info.name, r.calendars.emplace_back())) << info.name;
    EXPECT_EQ(ScheduleDates(r, "r"), (Dates{{c->moved, c->moved}})) << info.name;
    r.calendars.clear();
    EXPECT_EQ(ScheduleDates(r, "r"), (Dates{{c->date, c->date}})) << info.name;  // a weekday without it
  }
  // 1 May 2026 is a TARGET holiday, 4 May a UK one: joined, the first
  // business day is 5 May, and a holiday of the note's own moves it to 6 May.
  const std::vector<HolidayCalendar> target = {HolidayCalendar::kTarget};
  const std::vector<HolidayCalendar> uk = {HolidayCalendar::kUnitedKingdom};
  const std::vector<HolidayCalendar> both = {HolidayCalendar::kTarget, HolidayCalendar::kUnitedKingdom};
  EXPECT_EQ(AdjustDate(20260501, C::kFollowing, {}, target), 20260504);
  EXPECT_EQ(AdjustDate(20260501, C::kFollowing, {}, uk), 20260501);
  EXPECT_EQ(AdjustDate(20260501, C::kFollowing, {}, both), 20260505);
  EXPECT_EQ(AdjustDate(20260501, C::kFollowing, {20260505}, both), 20260506);
  // Payment 2 joint business days after Thursday 24 December 2026: over
  // Christmas (TARGET), the weekend and the UK's Boxing Day substitute.
  DateRule lag = Rule(20261224, 12, 1, 2, C::kFollowing);
  lag.calendars = both;
  EXPECT_EQ(ScheduleDates(lag, "r"), (Dates{{20261224, 20261230}}));
}

// The example naming the NYSE and TARGET calendars gives the dates of the
// example that lists the US holidays by hand, and its expansion reads back
// as the note.
TEST(ScheduleRules, TheCalendarExampleReadsAsTheListedHolidays) {
  const Note named = Read(support::ReadFile(kExamples + "/two_index_calendars.json"));
  const Note listed = Read(support::ReadFile(kExamples + "/two_index_semiannual.json"));
  ExpectSameCall(named.inputs, listed.inputs);
  ExpectSameCall(Read(ExpandedText(named)).inputs, named.inputs);
}

TEST(ScheduleRules, CalendarErrorsNameTheField) {
  const std::string text = support::ReadFile(kExamples + "/two_index_calendars.json");
  const auto error = [&](const std::string& to) {
    std::string t = text;
    const std::string from = "\"calendars\": [\"united_states_nyse\", \"target\"]";
    const std::size_t at = t.find(from);
    EXPECT_NE(at, std::string::npos);
    t.replace(at, from.size(), to);
    Note note;
    TermSheetError e;
    EXPECT_FALSE(ReadTermSheet(t, "x", note, e)) << to;
    return e.path + ": " + e.message;
  };
  EXPECT_EQ(error("\"calendars\": [\"target\", \"korea\"]"),
            "redemption.dates.calendars[1]: unknown calendar \"korea\"; expected one of \"south_korea\", "
            "\"south_korea_krx\", \"target\", \"united_states\", \"united_states_nyse\", \"japan\", \"hong_kong\", "
            "\"united_kingdom\", \"united_kingdom_exchange\"");
  EXPECT_EQ(error("\"calendars\": \"target\""), "redemption.dates.calendars: expected an array");
  // Hong Kong's lunar holidays are known up to 2020 only: a later date is
  // refused rather than read as a plain weekday.
  EXPECT_EQ(error("\"calendars\": [\"hong_kong\"]"),
            "redemption.dates.calendars: 2025-11-28 is outside the years of \"hong_kong\": its holidays are known "
            "for 2004 to 2020 only");
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
