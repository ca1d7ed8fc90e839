// Reading JSON term sheets into the full call's flat arrays.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include "termsheet/term_sheet.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace morvik {
namespace {

// Two underlyings, three observation dates, two coupons, past fixings: every
// family of the format once, with values easy to follow into the arrays.
const char* kNote = R"({
  "name": "layout note",
  "_comment": "keys starting with an underscore are comments",
  "currency": "EUR",
  "price_date": "2025-06-30",
  "notional": 1000000,
  "discount_curve": {"tenors": [0.5, 1.0], "rates": [0.01, 0.02]},
  "underlyings": [
    {"name": "A", "spot": 110, "base_price": 100,
     "rate_curve": {"tenors": [1.0], "rates": [0.03]},
     "local_vol": {"times": [0.5, 1.0, 2.0], "moneyness": [0.8, 1.2],
                   "vols": [[0.31, 0.32, 0.33], [0.21, 0.22, 0.23]]},
     "dividends": {"type": "cash", "dates": ["2025-07-03", "2025-07-10"], "amounts": [2, 4]},
     "fx": {"quanto": "interpolated", "correlation": -0.3, "tenors": [0.5, 1.0], "vols": [0.1, 0.2]}},
    {"name": "B", "spot": 50, "base_price": 40,
     "rate_curve": {"tenors": [0.25, 2.0], "rates": [0.04, 0.05]},
     "local_vol": {"times": [1.0], "moneyness": [1.0], "vols": [[0.4]]},
     "dividends": {"type": "yield_curve", "days": [30, 365], "yields": [0.01, 0.02]}}
  ],
  "correlation": [[1, 0.5], [0.5, 1]],
  "knock_out": {"mode": "memory"},
  "knock_in": {"barrier": [0.6, 0.55], "mode": "maturity"},
  "redemption": [
    {"observation": "2025-07-01", "payment": "2026-01-05", "window": 3, "window_rule": "average",
     "tiers": [{"strike": 0.9, "slope": 0.5, "amount": 0.05}, {"strike": [1.0, 1.1], "amount": 0.08}],
     "knock_out_barrier": 1.2, "redemption_coupon": 0.01},
    {"observation": "2026-06-30", "payment": "2026-07-06",
     "tiers": [{"strike": 0.8, "amount": 0.1}]},
    {"observation": "2026-12-30", "payment": "2027-01-05",
     "tiers": [{"strike": 0.6, "amount": 0.11}, {"strike": 0.7, "amount": 0.12},
               {"strike": 0.8, "amount": 0.13}, {"strike": 0.9, "amount": 0.14}]}
  ],
  "maturity": {"no_knock_in": {"slope": -1, "amount": 0.02}, "knock_in": {"slope": 1, "amount": 0}},
  "coupons": {"barrier_monitoring": "observation", "schedule": [
    {"observation": "2025-06-27", "payment": "2025-10-03", "barrier": 0.7, "amount": 0.015},
    {"observation": "2025-12-30", "payment": "2026-01-05", "barrier": 0.65, "amount": 0.025}]},
  "past": {"knock_in_hit": true, "knock_out_hit": [false, true], "coupon_barrier_hit": 1,
           "fixings": [[101, 41], {"date": "2025-06-30", "prices": [102, 42]}],
           "coupon_fixings": [[99, 39]]},
  "settings": {"trials": 2500, "compute": "full", "log": false, "floor": 0.8, "cap": 0.5,
               "include_notional": false}
})";

NoteInputs ParseOk(const std::string& text) {
  NoteInputs n;
  TermSheetError e;
  EXPECT_TRUE(ParseTermSheet(text, n, e)) << Describe(e);
  return n;
}

std::string ParseError(const std::string& text) {
  NoteInputs n;
  TermSheetError e;
  EXPECT_FALSE(ParseTermSheet(text, n, e));
  return Describe(e);
}

// The field and what is wrong with it, without the position.
std::string FieldError(const std::string& text) {
  NoteInputs n;
  TermSheetError e;
  EXPECT_FALSE(ParseTermSheet(text, n, e));
  EXPECT_EQ(e.kind, TermSheetError::kField) << Describe(e);
  return e.path + ": " + e.message;
}

// Replaces the first occurrence of `from` in the layout note.
std::string Edited(const std::string& from, const std::string& to) {
  std::string s = kNote;
  const std::size_t at = s.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) s.replace(at, from.size(), to);
  return s;
}

TEST(TermSheetDates, IsoDatesAreRealGregorianDays) {
  int d = 0;
  EXPECT_TRUE(ParseIsoDate("2025-06-30", d));
  EXPECT_EQ(d, 20250630);
  EXPECT_TRUE(ParseIsoDate("2024-02-29", d));
  EXPECT_EQ(d, 20240229);
  EXPECT_FALSE(ParseIsoDate("2025-02-29", d));   // not a leap year
  EXPECT_FALSE(ParseIsoDate("1900-02-29", d));   // 1900 was not one either
  EXPECT_FALSE(ParseIsoDate("2025-13-01", d));
  EXPECT_FALSE(ParseIsoDate("2025-6-30", d));
  EXPECT_FALSE(ParseIsoDate("20250630", d));
  EXPECT_FALSE(ParseIsoDate("1899-12-31", d));
  EXPECT_EQ(FormatIsoDate(20250105), "2025-01-05");
}

TEST(TermSheetDates, DaysBetweenCountsCalendarDays) {
  EXPECT_EQ(DaysBetween(20250630, 20250702), 2);
  EXPECT_EQ(DaysBetween(20240228, 20240301), 2);   // through 29 February
  EXPECT_EQ(DaysBetween(20250228, 20250301), 1);
  EXPECT_EQ(DaysBetween(20241231, 20250101), 1);
  EXPECT_EQ(DaysBetween(20250630, 20260630), 365);
  EXPECT_EQ(DaysBetween(20250702, 20250630), -2);
}

TEST(TermSheetLayout, MarketArraysFollowTheCallLayouts) {
  const NoteInputs n = ParseOk(kNote);
  EXPECT_EQ(n.name, "layout note");
  EXPECT_EQ(n.currency, "EUR");
  EXPECT_EQ(n.PriceDate, 20250630);
  EXPECT_EQ(n.NotionalAMT, 1000000.0);
  EXPECT_EQ(n.NStock, 2);
  EXPECT_EQ(n.UnderlyingPrice, (std::vector<double>{110, 100, 50, 40}));
  // Discount curve first, then each underlying's own curve.
  EXPECT_EQ(n.NT, (std::vector<int>{2, 1, 2}));
  EXPECT_EQ(n.TCurveInfo, (std::vector<double>{0.5, 1.0, 1.0, 0.25, 2.0}));
  EXPECT_EQ(n.CurveInfo, (std::vector<double>{0.01, 0.02, 0.03, 0.04, 0.05}));
  // Local volatility: rows per moneyness point, one value per time.
  EXPECT_EQ(n.NVol, (std::vector<int>{3, 1}));
  EXPECT_EQ(n.NParity, (std::vector<int>{2, 1}));
  EXPECT_EQ(n.TVol, (std::vector<double>{0.5, 1.0, 2.0, 1.0}));
  EXPECT_EQ(n.Parity, (std::vector<double>{0.8, 1.2, 1.0}));
  EXPECT_EQ(n.LocalVolSurface, (std::vector<double>{0.31, 0.32, 0.33, 0.21, 0.22, 0.23, 0.4}));
  EXPECT_EQ(n.UnderlyingCorr, (std::vector<double>{1, 0.5, 0.5, 1}));
  // Cash dividends become day offsets from the pricing date; a yield curve
  // keeps its days.
  EXPECT_EQ(n.Div_TypeFlag, (std::vector<int>{2, 1}));
  EXPECT_EQ(n.NDiv, (std::vector<int>{2, 2}));
  EXPECT_EQ(n.TDiv, (std::vector<int>{3, 10, 30, 365}));
  EXPECT_EQ(n.Div, (std::vector<double>{2, 4, 0.01, 0.02}));
  // FX: the given curve for A, a neutral single point for B.
  EXPECT_EQ(n.QuantoFlag, (std::vector<int>{2, 0}));
  EXPECT_EQ(n.FX_Corr, (std::vector<double>{-0.3, 0.0}));
  EXPECT_EQ(n.FX_NVol, (std::vector<int>{2, 1}));
  EXPECT_EQ(n.FX_TVol, (std::vector<double>{0.5, 1.0, 0.0}));
  EXPECT_EQ(n.FX_Vol, (std::vector<double>{0.1, 0.2, 0.0}));
}

TEST(TermSheetLayout, ScheduleArraysFollowTheCallLayouts) {
  const NoteInputs n = ParseOk(kNote);
  ASSERT_EQ(n.NStrike, 3);
  EXPECT_EQ(n.DatesInfo, (std::vector<int>{20250701, 20260630, 20261230,    // observations
                                           20260105, 20260706, 20270105,    // payments
                                           3, 1, 1,                          // windows
                                           1, 0, 0}));                       // rules
  // X element (tier b, date s, underlying j) at (b*3+s)*2+j. Date 0 lists two
  // tiers: the lower fills blocks 0-2, the higher block 3. Date 1 lists one
  // tier for all blocks; date 2 lists four.
  const std::vector<double> x = {
      0.9, 0.9, 0.8, 0.8, 0.6, 0.6,     // block 0
      0.9, 0.9, 0.8, 0.8, 0.7, 0.7,     // block 1
      0.9, 0.9, 0.8, 0.8, 0.8, 0.8,     // block 2
      1.0, 1.1, 0.8, 0.8, 0.9, 0.9};    // block 3
  EXPECT_EQ(n.X, x);
  // Slopes and amounts: four blocks of NStrike+2; the maturity payoffs sit in
  // entries 3 and 4 of the top block.
  const std::vector<double> slope = {0.5, 0, 0, 0, 0,  0.5, 0, 0, 0, 0,  0.5, 0, 0, 0, 0,  0, 0, 0, -1, 1};
  const std::vector<double> amount = {0.05, 0.1, 0.11, 0, 0,  0.05, 0.1, 0.12, 0, 0,
                                      0.05, 0.1, 0.13, 0, 0,  0.08, 0.1, 0.14, 0.02, 0};
  EXPECT_EQ(n.PayOffSlope, slope);
  EXPECT_EQ(n.PayOffAmount, amount);
  EXPECT_EQ(n.KO_Barrier, (std::vector<double>{1.2, kNoTouchBarrier, kNoTouchBarrier}));
  EXPECT_EQ(n.RedemCoupon, (std::vector<double>{0.01, 0.0}));
  EXPECT_EQ(n.KI_Barrier, (std::vector<double>{0.6, 0.55}));
  EXPECT_EQ(n.KnockBarrierFlag, (std::vector<int>{1, 2}));
  ASSERT_EQ(n.NCoupon, 2);
  EXPECT_EQ(n.CouponDatesInfo, (std::vector<int>{20250627, 20251230, 20251003, 20260105}));
  EXPECT_EQ(n.CouponBarrier, (std::vector<double>{0.7, 0.65}));
  EXPECT_EQ(n.Coupon, (std::vector<double>{0.015, 0.025}));
  EXPECT_EQ(n.CouponBarrierFlag, 2);
}

TEST(TermSheetLayout, PastStateAndSettings) {
  const NoteInputs n = ParseOk(kNote);
  EXPECT_EQ(n.BeKI_Hitted, 1);
  EXPECT_EQ(n.BeKO_Hitted, (std::vector<int>{0, 1}));
  EXPECT_EQ(n.BeCouponBarrierHitted, 1);
  // Fixings are fixing-major: row f holds every underlying's close.
  EXPECT_EQ(n.SC, (std::vector<double>{101, 41, 102, 42}));
  EXPECT_EQ(n.Coupon_SC, (std::vector<double>{99, 39}));
  EXPECT_EQ(n.FixedFlag, (std::vector<int>{2, 1}));
  EXPECT_EQ(n.NTrials, 2500.0);
  EXPECT_EQ(n.CalcFlag, (std::vector<int>{2, 0}));
  EXPECT_EQ(n.PayOffLimit, (std::vector<double>{0.8, 0.5}));
  EXPECT_EQ(n.NAFlag, 0);
}

TEST(TermSheetLayout, DefaultsOfOptionalSections) {
  const std::string minimal = R"({
    "price_date": "2025-06-30", "notional": 100,
    "discount_curve": {"tenors": [1], "rates": [0.02]},
    "underlyings": [{"spot": 10, "base_price": 10, "rate_curve": {"tenors": [1], "rates": [0.02]},
                     "local_vol": {"times": [1], "moneyness": [1], "vols": [[0.2]]}}],
    "knock_in": {"barrier": 0.5, "mode": "maturity_no_loss"},
    "redemption": [{"observation": "2026-06-30", "payment": "2026-07-03", "tiers": [{"strike": 1, "amount": 0.1}]}],
    "maturity": {"no_knock_in": {"slope": 0, "amount": 0}, "knock_in": {"slope": 1, "amount": 0}}
  })";
  const NoteInputs n = ParseOk(minimal);
  EXPECT_EQ(n.underlyingNames, (std::vector<std::string>{"underlying 1"}));
  EXPECT_EQ(n.UnderlyingCorr, (std::vector<double>{1.0}));
  EXPECT_EQ(n.Div_TypeFlag, (std::vector<int>{0}));
  EXPECT_EQ(n.NDiv, (std::vector<int>{0}));
  EXPECT_EQ(n.KnockBarrierFlag, (std::vector<int>{0, 0}));
  EXPECT_EQ(n.DatesInfo, (std::vector<int>{20260630, 20260703, 1, 0}));
  EXPECT_TRUE(n.RedemCoupon.empty());
  EXPECT_EQ(n.NCoupon, 0);
  EXPECT_EQ(n.BeKO_Hitted, (std::vector<int>{0}));
  EXPECT_EQ(n.FixedFlag, (std::vector<int>{0, 0}));
  EXPECT_EQ(n.NTrials, kDefaultTrials);
  EXPECT_EQ(n.CalcFlag, (std::vector<int>{0, 0}));
  EXPECT_EQ(n.PayOffLimit[0], 1.0);
  EXPECT_TRUE(std::isinf(n.PayOffLimit[1]) && n.PayOffLimit[1] > 0);
  EXPECT_EQ(n.NAFlag, 1);
  // A constant yield is one entry at day 0.
  const NoteInputs y = ParseOk(Edited("\"dividends\": {\"type\": \"yield_curve\", \"days\": [30, 365], "
                                      "\"yields\": [0.01, 0.02]}",
                                      "\"dividends\": {\"type\": \"yield\", \"yield\": 0.03}"));
  EXPECT_EQ(y.Div_TypeFlag, (std::vector<int>{2, 0}));
  EXPECT_EQ(y.TDiv, (std::vector<int>{3, 10, 0}));
  EXPECT_EQ(y.Div, (std::vector<double>{2, 4, 0.03}));
}

TEST(TermSheetErrors, NotJsonNamesLineAndColumn) {
  // The stray comma after "B" sits on line 3, column 12.
  const std::string text = "{\n  \"name\": \"x\",\n  \"a\": \"B\",,\n}";
  NoteInputs n;
  TermSheetError e;
  ASSERT_FALSE(ParseTermSheet(text, n, e));
  EXPECT_TRUE(e.notJson);
  EXPECT_EQ(e.line, 3);
  EXPECT_EQ(e.column, 12);
  EXPECT_EQ(Describe(e).rfind("line 3, column 12: not valid JSON: ", 0), 0u) << Describe(e);
  int line = 0, col = 0;
  LineAndColumn("ab\ncd", 4, line, col);
  EXPECT_EQ(line, 2);
  EXPECT_EQ(col, 2);
  LineAndColumn("ab\ncd", 0, line, col);
  EXPECT_EQ(line, 1);
  EXPECT_EQ(col, 1);
  EXPECT_NE(ParseError("").find("line 1, column 1"), std::string::npos);
}

TEST(TermSheetErrors, MissingOrMistypedFieldsNameTheirPath) {
  EXPECT_EQ(FieldError(Edited("\"payment\": \"2027-01-05\"", "\"payment\": \"5 Jan 2027\"")),
            "redemption[2].payment: expected a date as YYYY-MM-DD, got \"5 Jan 2027\"");
  EXPECT_EQ(FieldError(Edited("\"payment\": \"2027-01-05\"", "\"payment\": 20270105")),
            "redemption[2].payment: expected a date as \"YYYY-MM-DD\" (a string), got 20270105");
  EXPECT_EQ(FieldError(Edited("\"price_date\": \"2025-06-30\",", "")), "price_date: missing");
  EXPECT_EQ(FieldError(Edited("\"spot\": 50", "\"spot\": \"50\"")), "underlyings[1].spot: expected a number");
  EXPECT_EQ(FieldError(Edited("\"spot\": 50", "\"spott\": 50")), "underlyings[1].spott: unknown field");
  EXPECT_EQ(FieldError(Edited("[[0.31, 0.32, 0.33], [0.21, 0.22, 0.23]]", "[[0.31, 0.32, 0.33], [0.21, 0.22]]")),
            "underlyings[0].local_vol.vols[1]: expected 3 values, one per time, got 2");
  EXPECT_EQ(FieldError(Edited("[[1, 0.5], [0.5, 1]]", "[[1, 0.5]]")),
            "correlation: expected 2 rows, one per underlying, got 1");
  EXPECT_EQ(FieldError(Edited("\"mode\": \"maturity\"", "\"mode\": \"weekly\"")),
            "knock_in.mode: expected one of \"daily\", \"maturity\", \"maturity_no_loss\"");
  EXPECT_EQ(FieldError(Edited("\"window\": 3", "\"window\": 2.5")), "redemption[0].window: expected a whole number");
  EXPECT_EQ(FieldError(Edited("\"strike\": [1.0, 1.1]", "\"strike\": [1.0]")),
            "redemption[0].tiers[1].strike: expected 2 values, one per underlying, got 1");
  EXPECT_EQ(FieldError(Edited("\"knock_out_hit\": [false, true]", "\"knock_out_hit\": [false, \"yes\"]")),
            "past.knock_out_hit[1]: expected true or false");
  EXPECT_EQ(FieldError(Edited("[99, 39]", "[99]")),
            "past.coupon_fixings[0]: expected 2 values, one per underlying, got 1");
  EXPECT_EQ(FieldError(Edited("\"amount\": 0.14}", "\"amount\": 0.14}, {\"strike\": 1, \"amount\": 1}")),
            "redemption[2].tiers: expected 1 to 4 tiers");
  EXPECT_EQ(FieldError(Edited("\"amount\": 0.14}]}", "\"amount\": 0.14}], \"redemption_coupon\": 0.01}")),
            "redemption[2].redemption_coupon: not paid on the final observation date; leave it out");
  EXPECT_EQ(FieldError(Edited("\"dates\": [\"2025-07-03\", \"2025-07-10\"]", "\"dates\": [\"2025-07-03\"]")),
            "underlyings[0].dividends.amounts: expected 1 value, one per date, got 2");
  EXPECT_EQ(FieldError("[1, 2]"), "(top level): expected an object");
  // The position is the field's: the key of a member, the start of an element.
  EXPECT_EQ(ParseError(Edited("\"spot\": 50", "\"spot\": \"50\"")).rfind("line 15, column 19: underlyings[1].spot: ", 0),
            0u) << ParseError(Edited("\"spot\": 50", "\"spot\": \"50\""));
}

// Text longer than the limit is refused unread, as a string or a file (by
// its size; standard input: PriceOutputFile tests).
TEST(TermSheetErrors, OversizeTextIsRefusedUnread) {
  const std::string over(kMaxTermSheetBytes + 1, ' ');
  Note note;
  TermSheetError e;
  EXPECT_FALSE(ReadTermSheet(over, "x", note, e));
  EXPECT_EQ(Describe(e), "is 8388609 bytes; a term sheet is at most 8 MiB (8388608 bytes)");
  const std::string file = ::testing::TempDir() + "/morvik_oversize.json";
  std::ofstream(file, std::ios::binary) << over;
  EXPECT_FALSE(ReadTermSheetFile(file, note, e));
  EXPECT_EQ(Describe(e), "is 8388609 bytes; a term sheet is at most 8 MiB (8388608 bytes)");
  std::remove(file.c_str());
}

// The annotated example of the format's documentation, without its "//"
// notes, is a valid term sheet with the layout it describes.
TEST(TermSheetDocs, AnnotatedExampleParses) {
  std::ifstream in(std::string(MORVIK_DOCS_DIR) + "/term-sheet.md");
  ASSERT_TRUE(in.good());
  std::string line, json;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!inside && line == "```jsonc") { inside = true; continue; }
    if (inside && line == "```") break;
    if (!inside) continue;
    const std::size_t note = line.find("//");
    json += (note == std::string::npos ? line : line.substr(0, note)) + "\n";
  }
  ASSERT_FALSE(json.empty());
  const NoteInputs n = ParseOk(json);
  EXPECT_EQ(n.NStock, 2);
  EXPECT_EQ(n.NStrike, 2);
  EXPECT_EQ(n.NCoupon, 2);
  EXPECT_EQ(n.QuantoFlag, (std::vector<int>{0, 1}));
  EXPECT_EQ(n.FixedFlag, (std::vector<int>{3, 1}));
  EXPECT_EQ(n.KO_Barrier, (std::vector<double>{1.05, kNoTouchBarrier}));
  EXPECT_EQ(n.RedemCoupon, (std::vector<double>{0.005}));
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
