// A note's past: fixings placed by their dates, states worked out from the
// closes since the start, and notes that are over reported as such.
#ifdef MORVIK_HAVE_PRICE_TOOL

#include "termsheet/life_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "numerics/conventions.h"
#include "numerics/curves.h"
#include "termsheet/report.h"
#include "termsheet/term_dates.h"
#include "termsheet/term_sheet.h"
#include "tests/support/text_lines.h"

namespace morvik {
namespace {

const std::string kExamples = MORVIK_EXAMPLES_DIR;

Json Example(const char* file) {
  Json doc;
  JsonPositions at;
  JsonTextError e;
  EXPECT_TRUE(ReadJsonText(support::ReadFile(kExamples + "/" + file), doc, at, e)) << e.message;
  return doc;
}

Json Row(int date, double a, double b) { return Json::array({FormatIsoDate(date), a, b}); }

// The error of a sheet that must not read, as "path: message".
std::string Refused(const Json& sheet) {
  Note note;
  TermSheetError e;
  EXPECT_FALSE(ReadTermSheet(WriteJsonText(sheet), "x.json", note, e)) << "read without error";
  return e.path + ": " + e.message;
}

Note Read(const Json& sheet) {
  Note note;
  TermSheetError e;
  EXPECT_TRUE(ReadTermSheet(WriteJsonText(sheet), "x.json", note, e)) << Describe(e);
  return note;
}

// Weekday closes from `start` (the note's start, at the base prices) to
// `end`, each from f(date).
template <class F>
Json History(int start, int end, double baseA, double baseB, F f) {
  Json rows = Json::array({Row(start, baseA, baseB)});
  for (int d = AddDays(start, 1); d <= end; d = AddDays(d, 1)) {
    if (Weekday(d) >= 5) continue;
    const std::pair<double, double> p = f(d);
    rows.push_back(Row(d, p.first, p.second));
  }
  return rows;
}

TEST(LifeCycle, FixingsGivenByHandArePlacedByTheirDates) {
  // Priced on its first observation date (a 1-day window): the close of the
  // day before is no close of the window, whatever order the rows come in.
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2025-12-26";
  step["past"] = {{"fixings", Json::array({Row(20251225, 55000, 190000), Row(20251226, 45000, 150000)})}};
  EXPECT_EQ(Refused(step), "past.fixings[0]: 2025-12-25 is not a day of the window of redemption[0] (2025-12-26 to "
                           "2025-12-26)");
  step["past"]["fixings"] = Json::array({Row(20190101, 45000, 150000)});
  EXPECT_EQ(Refused(step).substr(0, 50), "past.fixings[0]: 2019-01-01 is not a day of the wi");
  step["past"]["fixings"] = Json::array({Row(20251226, 45000, 150000)});
  EXPECT_EQ(Read(step).inputs.SC, (std::vector<double>{45000, 150000}));

  // The running window of the mid-life note: rows in any order land on their
  // days; a missing day, a day before the window and a surplus row are named.
  Json mid = Example("mid_life_pending_coupon.json");
  const std::vector<double> byDate = Read(mid).inputs.SC;
  Json& rows = mid["past"]["fixings"];
  std::swap(rows[0], rows[2]);
  EXPECT_EQ(Read(mid).inputs.SC, byDate);
  Json missing = mid;
  missing["past"]["fixings"].erase(1);
  EXPECT_EQ(Refused(missing), "past.fixings: no close for 2025-06-29: the window of redemption[2] (2025-06-28 to "
                              "2025-07-02) up to the pricing date needs one row per day");
  Json early = mid;
  early["past"]["fixings"].push_back(Row(20250627, 216.9, 238.5));
  EXPECT_EQ(Refused(early), "past.fixings[3]: 2025-06-27 is not a day of the window of redemption[2] (2025-06-28 to "
                            "2025-07-02) up to the pricing date");
  Json bare = Json::array({Json::array({1.0, 2.0}), Json::array({1.0, 2.0}), Json::array({1.0, 2.0}),
                           Json::array({1.0, 2.0})});
  mid["past"]["fixings"] = bare;
  EXPECT_EQ(Refused(mid).substr(0, 35), "past.fixings[3]: a row too many: th");
}

// The closes behind the mid-life note: Siemens swings around 105 % of its
// base and last touched it after the March observation, SAP stays below the
// 95 % strike (and dips below the 75 % coupon barrier between coupon
// dates, which an observation-date barrier does not see).
Json MidLifeHistory() {
  int k = 0;
  return History(20240930, 20250630, 204.1, 262.75, [&k](int d) {
    ++k;
    if (d == 20250627) return std::make_pair(216.9, 238.5);
    if (d == 20250630) return std::make_pair(218.4, 240.0);
    const double siemens = std::round(100.0 * (210.0 + 8.0 * std::sin(k / 9.0))) / 100.0;
    const double sap = d == 20250212 ? 190.0 : std::round(100.0 * (236.0 + 10.0 * std::sin(k / 7.0))) / 100.0;
    return std::make_pair(siemens, sap);
  });
}

TEST(LifeCycle, AMidLifeNoteFromItsHistoryIsTheNoteGivenByHand) {
  const Json byHand = Example("mid_life_pending_coupon.json");
  Json fromHistory = byHand;
  fromHistory["past"] = {{"history", MidLifeHistory()}};
  const Note a = Read(byHand);
  const Note b = Read(fromHistory);
  EXPECT_EQ(b.life.state, NoteState::kAlive);
  EXPECT_EQ(b.inputs.BeKI_Hitted, a.inputs.BeKI_Hitted);
  EXPECT_EQ(b.inputs.BeKO_Hitted, a.inputs.BeKO_Hitted);
  EXPECT_EQ(b.inputs.BeCouponBarrierHitted, a.inputs.BeCouponBarrierHitted);
  EXPECT_EQ(b.inputs.SC, a.inputs.SC);
  EXPECT_EQ(b.inputs.Coupon_SC, a.inputs.Coupon_SC);
  EXPECT_EQ(b.inputs.FixedFlag, a.inputs.FixedFlag);
  // Every output, greeks included, bit for bit.
  NoteInputs ca = a.inputs, cb = b.inputs;
  ca.NTrials = cb.NTrials = 400;
  ca.CalcFlag = cb.CalcFlag = {2, 0};
  const NoteResult ra = PriceNote(ca, PriceRequest{});
  const NoteResult rb = PriceNote(cb, PriceRequest{});
  ASSERT_GE(ra.status, 1);
  EXPECT_EQ(rb.status, ra.status);
  EXPECT_EQ(rb.events, ra.events);
  EXPECT_EQ(rb.coupons, ra.coupons);
  EXPECT_EQ(rb.resultPrice, ra.resultPrice);

  // States given beside the history must agree with it.
  Json both = fromHistory;
  both["past"]["knock_out_hit"] = Json::array({true, false});
  both["past"]["knock_in_hit"] = false;
  Read(both);
  both["past"]["knock_out_hit"] = Json::array({false, false});
  EXPECT_EQ(Refused(both), "past.knock_out_hit: given as [false, false], but it is [true, false] from past.history");
  both["past"].erase("knock_out_hit");
  both["past"]["fixings"] = Json::array({Row(20250628, 216.9, 238.5), Row(20250629, 216.9, 238.4),
                                         Row(20250630, 218.4, 240.0)});
  EXPECT_EQ(Refused(both), "past.fixings[1]: given 2025-06-29: 216.9, 238.4, but past.history gives 2025-06-29: "
                           "216.9, 238.5");
  // Rows in date order, none after the pricing date.
  Json late = fromHistory;
  late["past"]["history"].push_back(Row(20250701, 1, 1));
  EXPECT_EQ(Refused(late).substr(0, 70), "past.history[196]: 2025-07-01 is after the pricing date 2025-06-30");
}

// On a past day the comparisons are those of a simulated day: a knock-in
// needs a close below the barrier, a knock-out touch and a coupon barrier
// breach count at the barrier itself.
TEST(LifeCycle, APastDayAtABarrierCountsAsTheEngineCountsIt) {
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2025-09-01";
  step["knock_out"] = {{"mode", "memory"}};
  for (Json& r : step["redemption"]) r["knock_out_barrier"] = 1.05;
  step["coupons"] = {{"barrier_monitoring", "daily"},
                     {"schedule", Json::array({{{"observation", "2025-12-26"}, {"payment", "2025-12-31"},
                                                {"barrier", 0.75}, {"amount", 0.01}}})}};
  const auto states = [&](double samsung) {
    step["past"] = {{"history", Json::array({Row(20250630, 60800, 203500), Row(20250801, samsung, 203500),
                                             Row(20250804, 60800, 203500)})}};
    const NoteInputs n = Read(step).inputs;
    return std::to_string(n.BeKI_Hitted) + std::to_string(n.BeKO_Hitted[0]) + std::to_string(n.BeKO_Hitted[1]) +
           std::to_string(n.BeCouponBarrierHitted);
  };
  EXPECT_EQ(states(30400), "0001");     // 50 %: at the knock-in barrier, below the coupon barrier
  EXPECT_EQ(states(30399.99), "1001");  // just below 50 %
  EXPECT_EQ(states(45600), "0001");     // 75 %: at the coupon barrier
  EXPECT_EQ(states(45600.01), "0000");
  EXPECT_EQ(states(63840), "0100");     // 105 %: at the knock-out barrier
  EXPECT_EQ(states(63839.99), "0000");
}

TEST(LifeCycle, ARedeemedOrMaturedNoteIsReportedNotPriced) {
  // Both stocks at their base price: the first date redeems at 102.75 %.
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2026-01-05";
  step["past"] = {{"history", History(20250630, 20260105, 60800, 203500, [](int) {
                     return std::make_pair(60800.0, 203500.0);
                   })}};
  const NoteReport redeemed = PriceTermSheet(Read(step), PriceRequest{});
  EXPECT_FALSE(redeemed.priced);
  EXPECT_EQ(redeemed.life.state, NoteState::kRedeemed);
  EXPECT_EQ(redeemed.life.slot, 0);
  EXPECT_EQ(redeemed.life.payoff, 1.0275);
  std::ostringstream text;
  WriteTextReport(text, redeemed);
  EXPECT_EQ(StateSentence(redeemed.life, redeemed.note),
            "redeemed on 2025-12-26 (date 1 of 6), paid on 2025-12-31: 102.75 % of the notional");
  EXPECT_NE(text.str().find("Nothing is left to price on 2026-01-05: redeemed on"), std::string::npos) << text.str();
  EXPECT_EQ(text.str().find("Price:"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Paid: 1,027,500,000.00 KRW"), std::string::npos) << text.str();

  // Tiers are tried from the highest down: at 92 % of the base the 95 %
  // tier fails and the 90 % tier redeems, with its slope on the gain.
  step["redemption"][0]["tiers"] = Json::array({{{"strike", 0.9}, {"amount", 0.01}, {"slope", 0.5}},
                                                {{"strike", 0.95}, {"amount", 0.0275}}});
  step["past"]["history"] = History(20250630, 20260105, 60800, 203500, [](int) {
    return std::make_pair(0.92 * 60800.0, 203500.0);
  });
  EXPECT_EQ(PriceTermSheet(Read(step), PriceRequest{}).life.payoff, 1.01);

  // Samsung at 70 % throughout, once at 45 %: no date redeems, the note
  // knocks in and matures at the worst performance.
  Json low = Example("two_stock_stepdown.json");
  const auto path = [](int d) { return std::make_pair(d == 20270303 ? 27360.0 : 42560.0, 203500.0); };
  low["price_date"] = "2028-07-10";
  low["underlyings"][0]["spot"] = 42560;
  low["past"] = {{"history", History(20250630, 20280710, 60800, 203500, path)}};
  const NoteReport matured = PriceTermSheet(Read(low), PriceRequest{});
  EXPECT_FALSE(matured.priced);
  EXPECT_EQ(matured.life.state, NoteState::kMatured);
  EXPECT_EQ(matured.life.slot, 7);  // maturity with knock-in
  EXPECT_EQ(matured.life.knockInDate, 20270303);
  EXPECT_EQ(matured.life.payoff, 0.7);

  // The day after the final observation the payment is still to come: the
  // library settles it, at the amount the closes give.
  low["price_date"] = "2028-06-27";
  low["past"]["history"] = History(20250630, 20280627, 60800, 203500, path);
  const NoteReport pending = PriceTermSheet(Read(low), PriceRequest{});
  ASSERT_TRUE(pending.priced);
  EXPECT_EQ(pending.life.state, NoteState::kMatured);
  EXPECT_FALSE(pending.life.paid);
  const NoteInputs& n = pending.note;
  EXPECT_EQ(pending.result.events[7], 1.0);
  const double df = DiscountFactor(n.TCurveInfo.data(), n.CurveInfo.data(), n.NT[0],
                                   DaysBetween(n.PriceDate, 20280629) / kDaysPerYear);
  EXPECT_NEAR(pending.result.resultPrice[0], df * 0.7 * n.NotionalAMT, 1e-6);
  // The library reports the factor it applied, and every slot as settled:
  // nothing was simulated.
  EXPECT_EQ(pending.result.eventDF[7], df);
  EXPECT_EQ(pending.result.eventSettled, std::vector<bool>(8, true));
  EXPECT_EQ(pending.result.couponSettled, std::vector<bool>{});

  // Without closes, a note whose payments are all made is over, outcome unknown.
  Json over = Example("two_stock_stepdown.json");
  over["price_date"] = "2028-07-10";
  const NoteReport unknown = PriceTermSheet(Read(over), PriceRequest{});
  EXPECT_FALSE(unknown.priced);
  EXPECT_EQ(unknown.life.state, NoteState::kOver);
}

// A close typed x100 would redeem the note by the knock-out touch: a move
// of 5 times or a fifth is refused, naming the stock and both closes; a
// move of more than 50 % up or a third down warns; a close at or below 0 is
// refused naming the stock.
TEST(LifeCycle, HistoryClosesAreCheckedForTypingErrors) {
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2025-09-01";
  for (Json& r : step["redemption"]) r["knock_out_barrier"] = 1.05;
  const auto with = [&](double samsung) {
    step["past"] = {{"history", Json::array({Row(20250630, 60800, 203500), Row(20250801, samsung, 203500),
                                             Row(20250804, 60800, 203500)})}};
    return step;
  };
  EXPECT_EQ(Refused(with(6080000)),
            "past.history[1]: Samsung Electronics closes at 6080000 on 2025-08-01 after 60800 on 2025-06-30 (up "
            "9900 %): a close 5 times the one before or more, or a fifth of it or less, is taken for a typing error");
  EXPECT_EQ(Refused(with(12160)).substr(0, 104),
            "past.history[1]: Samsung Electronics closes at 12160 on 2025-08-01 after 60800 on 2025-06-30 (down 80 %)");
  // Just inside the limit either way: warnings, on the way there and back.
  const auto moves = [&](double samsung) {
    std::string found;
    for (const std::string& w : Read(with(samsung)).warnings) {
      if (w.find("a move of more than") != std::string::npos) found += w.substr(w.find("past.history")) + "\n";
    }
    return found;
  };
  const std::string fall = moves(12160.01);
  EXPECT_EQ(std::count(fall.begin(), fall.end(), '\n'), 2) << fall;
  EXPECT_EQ(Read(with(303999.99)).inputs.BeKO_Hitted, (std::vector<int>{0, 0}));
  EXPECT_EQ(moves(91200.01),
            "past.history[1]: Samsung Electronics closes at 91200.01 on 2025-08-01 after 60800 on 2025-06-30 (up 50 "
            "%): a move of more than 50 % up or a third down; check the closes\n"
            "past.history[2]: Samsung Electronics closes at 60800 on 2025-08-04 after 91200.01 on 2025-08-01 (down "
            "33.3333 %): a move of more than 50 % up or a third down; check the closes\n");
  EXPECT_EQ(moves(91200), "");  // 50 % up, a third down: not more

  EXPECT_EQ(Refused(with(0)), "past.history[1]: the close of Samsung Electronics on 2025-08-01 is 0: expected closes "
                              "above 0, got 0, 203500");
  EXPECT_EQ(Refused(with(-5)).rfind("past.history[1]: the close of Samsung Electronics on 2025-08-01 is -5: ", 0), 0u);
}

// Fixings typed by hand for a date whose payment has passed settle it as the
// history would: the note redeemed (or matured) and paid, nothing priced.
// Fixings that do not redeem it are refused, saying so.
TEST(LifeCycle, FixingsByHandOfAPaidDateSettleIt) {
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2026-01-05";
  step["past"] = {{"fixings", Json::array({Row(20251226, 60800, 203500)})}};
  const Note byHand = Read(step);
  const NoteReport r = PriceTermSheet(byHand, PriceRequest{});
  EXPECT_FALSE(r.priced);
  EXPECT_EQ(StateSentence(r.life, r.note),
            "redeemed on 2025-12-26 (date 1 of 6), paid on 2025-12-31: 102.75 % of the notional");
  std::ostringstream text;
  WriteTextReport(text, r);
  EXPECT_NE(text.str().find("Paid: 1,027,500,000.00 KRW"), std::string::npos) << text.str();
  // The expanded form keeps the fixings and reads back to the same end.
  Note again;
  TermSheetError e;
  ASSERT_TRUE(ReadTermSheet(ExpandedText(byHand), "x.json", again, e)) << Describe(e);
  EXPECT_EQ(again.life.state, NoteState::kRedeemed);
  EXPECT_EQ(again.life.payoff, 1.0275);

  step["past"]["fixings"] = Json::array({Row(20251226, 30000, 203500)});
  EXPECT_EQ(Refused(step), "past.fixings[0]: no fixings are needed: the window of redemption[0] (2025-12-26 to "
                           "2025-12-26) was paid on 2025-12-31 and its closes do not redeem the note; no "
                           "observation window has begun on 2026-01-05 with its payment still to come");
  step["past"]["fixings"] = Json::array({Row(20251226, 60800, 0)});
  EXPECT_EQ(Refused(step), "past.fixings[0]: expected closes above 0, got 60800, 0");
  step["past"]["fixings"] = Json::array({Row(20251225, 60800, 203500)});
  EXPECT_EQ(Refused(step).substr(0, 60), "past.fixings[0]: 2025-12-25 is not a day of the window of re");

  // After the final date, with the knock-in given: matured at the worst
  // performance.
  step["price_date"] = "2028-07-10";
  step["past"] = {{"knock_in_hit", true}, {"fixings", Json::array({Row(20280626, 42560, 203500)})}};
  const Note matured = Read(step);
  EXPECT_EQ(matured.life.state, NoteState::kMatured);
  EXPECT_EQ(matured.life.slot, 7);
  EXPECT_EQ(matured.life.payoff, 0.7);
  EXPECT_TRUE(NothingToPrice(matured.life));
}

// A past coupon is marked paid or missed when the closes show which, and
// only past when nothing does; a past redemption date is past, not paid.
TEST(LifeCycle, PastDatesAreLabelledByWhatIsKnown) {
  Json step = Example("two_stock_stepdown.json");
  step["price_date"] = "2025-09-01";
  const auto coupon = [](const char* obs, const char* pay) {
    return Json{{"observation", obs}, {"payment", pay}, {"barrier", 0.75}, {"amount", 0.01}};
  };
  step["coupons"] = {{"barrier_monitoring", "observation"},
                     {"schedule", Json::array({coupon("2025-07-31", "2025-08-05"), coupon("2025-08-15", "2025-08-20"),
                                               coupon("2025-12-26", "2025-12-31")})}};
  step["settings"]["trials"] = 200;
  const auto report = [](const Json& sheet) {
    std::ostringstream text;
    WriteTextReport(text, PriceTermSheet(Read(sheet), PriceRequest{}));
    return text.str();
  };
  const std::string byHand = report(step);
  EXPECT_NE(byHand.find("  1 (past)    2025-07-31"), std::string::npos) << byHand;
  EXPECT_NE(byHand.find("  2 (past)    2025-08-15"), std::string::npos) << byHand;
  EXPECT_EQ(byHand.find("(paid)"), std::string::npos) << byHand;

  step["past"] = {{"history", Json::array({Row(20250630, 60800, 203500), Row(20250731, 60800, 203500),
                                           Row(20250815, 44000, 203500), Row(20250901, 60800, 203500)})}};
  const std::string fromHistory = report(step);
  EXPECT_NE(fromHistory.find("  1 (paid)    2025-07-31"), std::string::npos) << fromHistory;
  EXPECT_NE(fromHistory.find("  2 (missed)  2025-08-15"), std::string::npos) << fromHistory;
  EXPECT_NE(fromHistory.find("  3           2025-12-26"), std::string::npos) << fromHistory;

  // The mid-life note's first dates passed without redeeming it.
  Json midLife = Example("mid_life_pending_coupon.json");
  midLife["settings"]["trials"] = 200;
  const std::string mid = report(midLife);
  EXPECT_NE(mid.find("early, date 1 (past)"), std::string::npos) << mid;
  EXPECT_EQ(mid.find("(paid)"), std::string::npos) << mid;
}

// Terms that are legal but hardly meant warn, each kind once; so does a
// basket of more than 10 underlyings.
TEST(TermSheetWarnings, AbsurdAmountsAndLargeBasketsWarn) {
  const auto warnings = [](const Json& sheet) {
    std::string all;
    for (const std::string& w : Read(sheet).warnings) all += w + "\n";
    return all;
  };
  Json step = Example("two_stock_stepdown.json");
  EXPECT_EQ(warnings(step), "");
  step["coupons"] = {{"barrier_monitoring", "observation"},
                     {"schedule", Json::array({{{"observation", "2025-07-31"}, {"payment", "2025-08-05"},
                                                {"barrier", 0.75}, {"amount", 720000}},
                                               {{"observation", "2025-08-29"}, {"payment", "2025-09-03"},
                                                {"barrier", 0.75}, {"amount", -2}}})}};
  step["redemption"][2]["tiers"][0]["amount"] = 8.25;
  const std::string w = warnings(step);
  EXPECT_NE(w.find("coupons.schedule[0].amount: 72000000 % of the notional is a coupon beyond 100 % of the notional "
                   "either way (amounts are fractions: 0.05 is 5 %); 1 more like it\n"),
            std::string::npos)
      << w;
  EXPECT_NE(w.find("redemption[2].tiers: 825 % of the notional is a redemption amount beyond 100 %"),
            std::string::npos)
      << w;
  EXPECT_EQ(w.find("maturity"), std::string::npos) << w;

  Json basket = Example("two_stock_stepdown.json");
  const Json one = basket["underlyings"][0];
  const auto stocks = [&](std::size_t count) {
    basket["underlyings"] = Json::array();
    basket["correlation"] = Json::array();
    for (std::size_t i = 0; i < count; ++i) {
      basket["underlyings"].push_back(one);
      Json row = Json::array();
      for (std::size_t j = 0; j < count; ++j) row.push_back(i == j ? 1.0 : 0.0);
      basket["correlation"].push_back(row);
    }
    return warnings(basket);
  };
  EXPECT_EQ(stocks(10), "");
  EXPECT_NE(stocks(11).find("underlyings: 11 underlyings are more than 10: the run takes long"), std::string::npos);
}

}  // namespace
}  // namespace morvik

#endif  // MORVIK_HAVE_PRICE_TOOL
