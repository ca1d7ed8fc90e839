// The note's rules as its four callers run them: the path loop on a
// deterministic path (zero volatility and rates keep every close at its
// pricing-date level), the settlement of a pending date from its fixings, the
// walk over a history of the same closes, and the note model itself. On each
// hand-made case all give the same outcome slot and the same payoff bits.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/fixed_outcome.h"
#include "engine/note_state.h"
#include "testing/core_note.h"
#ifdef MORVIK_HAVE_PRICE_TOOL
#include "calls/layout.h"
#include "termsheet/life_cycle.h"
#include "termsheet/term_dates.h"
#endif

namespace morvik {
namespace {

using testing::CoreNote;

// Two stocks, one observation date (day 10, paid on day 15, one-day window).
// A touch or level X3 pays 1.05; level X2 pays 1.03 plus the worst's gain;
// maturity pays 1.01 without knock-in and the worst performance with it.
struct Case {
  const char* name;
  double perf[2];   // every close, as a performance
  int touchFlag;    // KnockBarrierFlag[0]
  double koBarrier;
  double x3, x2;
  int slot;         // expected: 0 redeemed, 1 matured, 2 matured knocked in
  double payoff;
};

const Case kCases[] = {
    {"top level", {0.97, 1.02}, 0, 1e9, 0.95, 1e9, 0, 1.05},
    {"second level with gain", {1.2, 1.3}, 0, 1e9, 1.25, 1.1, 0, 1.23},
    {"worst-of touch", {1.06, 1.1}, 0, 1.05, 1e9, 1e9, 0, 1.05},
    {"stock-by-stock touch", {1.06, 1.1}, 1, 1.05, 1e9, 1e9, 0, 1.05},
    {"no touch below the barrier", {1.04, 1.1}, 1, 1.05, 1e9, 1e9, 1, 1.01},
    {"maturity", {0.8, 0.9}, 0, 1e9, 1e9, 1e9, 1, 1.01},
    {"maturity knocked in", {0.55, 0.9}, 0, 1e9, 1e9, 1e9, 2, 0.55},
};

CoreNote CaseNote(const Case& c) {
  CoreNote f(2, {10}, {15});
  f.KnockBarrierFlag0 = c.touchFlag;
  f.KO_Barrier = {c.koBarrier};
  f.SetStrike(3, 0, c.x3);
  f.SetStrike(2, 0, c.x2);
  f.PayOffAmount3 = {0.05, 0.01, 0.0};
  f.PayOffSlope2[0] = 1.0;
  f.PayOffAmount2[0] = 0.03;
  f.PayOffSlope3[2] = 1.0;
  return f;
}

// The slot that holds the one path's outcome, or -1.
int OutcomeSlot(const CoreNote& f) {
  int slot = -1;
  for (int s = 0; s < f.NStrike + 2; ++s) {
    if (f.ELS_Prob[s] != 0.0) {
      if (slot >= 0) return -1;
      slot = s;
    }
  }
  return slot;
}

#ifdef MORVIK_HAVE_PRICE_TOOL
// The case's note started on 2025-01-01 with both stocks at their base
// price 100, priced on 2025-01-13 from daily closes at the case's levels:
// the observation (2025-01-11) is known, its payment (2025-01-16) pending.
LifeCycle WalkHistory(const Case& c, NoteInputs& n) {
  const CoreNote f = CaseNote(c);
  const int start = 20250101;
  n.PriceDate = 20250113;
  n.NStock = 2;
  n.NStrike = 1;
  n.NCoupon = 0;
  n.UnderlyingPrice = {100.0 * c.perf[0], 100.0, 100.0 * c.perf[1], 100.0};
  n.underlyingNames = {"A", "B"};
  n.X.clear();
  for (const std::vector<double>* x : {&f.X0, &f.X1, &f.X2, &f.X3}) n.X.insert(n.X.end(), x->begin(), x->end());
  n.PayOffSlope.clear();
  n.PayOffAmount.clear();
  for (const std::vector<double>* v : {&f.PayOffSlope0, &f.PayOffSlope1, &f.PayOffSlope2, &f.PayOffSlope3})
    n.PayOffSlope.insert(n.PayOffSlope.end(), v->begin(), v->end());
  for (const std::vector<double>* v : {&f.PayOffAmount0, &f.PayOffAmount1, &f.PayOffAmount2, &f.PayOffAmount3})
    n.PayOffAmount.insert(n.PayOffAmount.end(), v->begin(), v->end());
  n.KO_Barrier = f.KO_Barrier;
  n.KI_Barrier = f.KI_Barrier;
  n.DatesInfo = {AddDays(start, 10), AddDays(start, 15), 1, 0};
  n.RedemCoupon = {0.0};
  n.KnockBarrierFlag = {f.KnockBarrierFlag0, f.KnockBarrierFlag1};
  n.CouponBarrierFlag = 0;
  n.NAFlag = 1;
  n.PayOffLimit = {f.PayOffLimit0, f.PayOffLimit1};

  PastInput past;
  past.hasHistory = true;
  past.history.push_back({start, {100.0, 100.0}, "past.history[0]"});
  for (int d = AddDays(start, 1); d <= n.PriceDate; d = AddDays(d, 1)) {
    past.history.push_back({d, {100.0 * c.perf[0], 100.0 * c.perf[1]}, "past.history[" + std::to_string(d) + "]"});
  }
  LifeCycle life;
  std::vector<sheet::FieldIssue> warnings;
  ApplyPast(past, n, life, warnings);
  // A one-day fall to 55 % is queried as a large move; nothing else warns.
  for (const sheet::FieldIssue& w : warnings) {
    EXPECT_NE(w.message.find("a move of more than 50 % up or a third down"), std::string::npos)
        << c.name << ": " << w.message;
  }
  return life;
}
#endif

TEST(NoteModel, FourCallersAgreeOnHandMadeCases) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    // The path loop, priced at the note's start: the pricing-date tests and
    // ten simulated days on the same closes.
    CoreNote run = CaseNote(c);
    for (int i = 0; i < 2; ++i) run.SetPerformance(i, c.perf[i]);
    ASSERT_EQ(MorvikCore(run.View(), run.Results()), 1);
    EXPECT_EQ(OutcomeSlot(run), c.slot);
    EXPECT_DOUBLE_EQ(run.ELS_Cf[c.slot], 10000.0 * c.payoff);
    const double cf = run.ELS_Cf[c.slot];  // the others must give these bits

    // The states a pending date receives: from the history where it is
    // walked, otherwise the pricing date's touch of the model itself.
    std::vector<int> flags(2, 0);
    int knockIn = 0;
#ifdef MORVIK_HAVE_PRICE_TOOL
    NoteInputs n;
    const LifeCycle life = WalkHistory(c, n);
    EXPECT_EQ(life.state, c.slot == 0 ? NoteState::kRedeemed : NoteState::kMatured);
    EXPECT_EQ(life.slot, c.slot);
    EXPECT_EQ(10000.0 * life.payoff, cf);
    EXPECT_FALSE(life.paid);
    flags = n.BeKO_Hitted;
    knockIn = n.BeKI_Hitted;
    EXPECT_EQ(n.SC, (std::vector<double>{100.0 * c.perf[0], 100.0 * c.perf[1]}));
#else
    {
      CoreNote f = CaseNote(c);
      const CoreArgs a = f.View();
      note::State s;
      s.memory = flags.data();
      note::OnPricingDate(s, note::RulesOf(a), note::DateTermsOf(a, 0).knockOut, nullptr, c.perf);
      if (s.touch == 1) flags.assign(2, 1);
    }
#endif

    // The settlement of the pending date from its one fixing row.
    CoreNote settle = CaseNote(c);
    settle.SC = {100.0 * c.perf[0], 100.0 * c.perf[1]};
    settle.FixedFlag = {1, 0};
    settle.BeKI_Hitted = knockIn;
    CoreRecord record;
    ASSERT_EQ(SettleFixedOutcome(settle.View(), flags.data(), settle.Results(), 1, record), 1);
    EXPECT_EQ(record.settled, 1);
    EXPECT_EQ(OutcomeSlot(settle), c.slot);
    EXPECT_EQ(settle.ELS_Cf[c.slot], cf);
  }
}

// The events a smoothed estimator reads: which threshold moves which cash
// flow, as the rules test them.
TEST(NoteModel, EventsNameTheirThresholdsAndConsequences) {
  CoreNote f = CaseNote(kCases[1]);
  const CoreArgs a = f.View();
  const note::Rules r = note::RulesOf(a);
  const note::DateTerms t = note::DateTermsOf(a, 0);
  EXPECT_EQ(r.knockInBarrier.consequence, note::Consequence::KnockIn);
  EXPECT_EQ(BarrierAt(r.knockInBarrier.threshold, 1), 0.6);
  EXPECT_EQ(t.knockOut.consequence, note::Consequence::KnockOutTouch);
  EXPECT_EQ(t.level[0].consequence, note::Consequence::Redeem);
  EXPECT_EQ(BarrierAt(t.level[0].threshold, 1), 1.25);  // X3 first
  EXPECT_EQ(BarrierAt(t.level[1].threshold, 0), 1.1);
  EXPECT_EQ(t.amount[1], 0.03);
  EXPECT_TRUE(t.last);

  // A day at the coupon barrier loses the coupon; one close strictly below
  // the knock-in barrier knocks in, naming the stock.
  const double barrier = 0.8;
  const note::CouponTerms coupon = note::CouponTermsOf(&barrier, 0.02);
  EXPECT_EQ(coupon.breach.consequence, note::Consequence::CouponLost);
  note::Rules daily = r;
  daily.couponWatch = CouponWatch::Daily;
  int mem[2] = {0, 0};
  note::State s;
  s.memory = mem;
  std::vector<int> due;  // each settled coupon: 1 paid, 0 lost
  const auto settle = [&due](bool paid) { due.push_back(paid ? 1 : 0); };
  const double day1[2] = {0.8, 0.59};
  EXPECT_EQ(note::OnDay<0>(s, daily, &coupon, false, t.knockOut, day1, settle), 1);
  EXPECT_EQ(s.breach, 1);
  EXPECT_EQ(s.knockIn, 1);
  const double day2[2] = {0.9, 0.9};
  EXPECT_EQ(note::OnDay<0>(s, daily, &coupon, true, t.knockOut, day2, settle), -1);
  EXPECT_EQ(due, std::vector<int>{0});
  EXPECT_EQ(s.breach, 0);
  EXPECT_EQ(note::OnDay<0>(s, daily, &coupon, true, t.knockOut, day2, settle), -1);
  EXPECT_EQ(due, (std::vector<int>{0, 1}));
}

}  // namespace
}  // namespace morvik
