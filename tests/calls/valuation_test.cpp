// The internal full entry: bit-identical to the full call with default
// options, convergence points equal to separate runs, the aligned stream
// the same on any number of threads, seeds whose spread matches the
// reported errors, replications, progress reports, and stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "calls/extended_entry.h"
#include "calls/valuation.h"
#include "dates/calendar.h"
#include "interface/morvik.h"
#include "numerics/conventions.h"
#include "numerics/curves.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

using testing::PathNote;
using NoteKind = testing::PathNoteKind;

// A note of `kind`; the pending date's fixings lie below its strikes, so
// that it does not redeem and the simulation values the dates after it.
FullCall Note(NoteKind kind, double trials, int mode) {
  FullCall c = PathNote(kind, trials, mode, 0);
  if (kind == NoteKind::kPendingDate) c.SC = {90.0, 45.0};
  return c;
}

bool Same(const std::vector<double>& a, const std::vector<double>& b) { return testing::SameBits(a, b); }
bool Same(double a, double b) { return testing::SameBits({a}, {b}); }

// Runs every task on a thread of its own, in reverse order when asked.
template <bool Reverse>
void RunOnThreads(int count, BatchTask task, void* ctx) {
  std::vector<std::thread> threads;
  for (int m = 0; m < count; ++m) threads.emplace_back(task, ctx, Reverse ? count - 1 - m : m);
  for (std::thread& t : threads) t.join();
}

TEST(ValueNote, DefaultOptionsGiveTheFullCallsOutputsBitForBit) {
  for (const NoteKind kind : {NoteKind::kTwoStocks, NoteKind::kPendingDate, NoteKind::kThreeStocks}) {
    for (int mode = 0; mode <= 2; ++mode) {
      FullCall c = Note(kind, 250, mode);
      const int rc = CalcMorvikMC(c.View());
      const ValuationResult r = ValueNote(c.Inputs());
      const std::string where = std::to_string(static_cast<int>(kind)) + "/" + std::to_string(mode);
      ASSERT_EQ(r.status, rc) << where;
      EXPECT_TRUE(Same(r.ELS_Prob_n_Cf, c.ELS_Prob_n_Cf)) << where;
      EXPECT_TRUE(Same(r.ELS_Coupon_Prob_n_Cf, c.ELS_Coupon_Prob_n_Cf)) << where;
      EXPECT_TRUE(Same(r.ResultPrice, c.ResultPrice)) << where;
      // Errors: the price's, every probability's, and no greek's.
      EXPECT_GT(r.priceSE, 0.0) << where;
      EXPECT_LT(r.priceSE, 0.05 * r.ResultPrice[0]) << where;
      ASSERT_EQ(r.outcomeProbSE.size(), static_cast<std::size_t>(c.NStrike + 2)) << where;
      ASSERT_EQ(r.couponProbSE.size(), static_cast<std::size_t>(c.NCoupon)) << where;
      ASSERT_EQ(r.ResultSE.size(), r.ResultPrice.size()) << where;
      EXPECT_EQ(r.ResultSE[0], r.priceSE) << where;
      for (std::size_t m = 1; m < r.ResultSE.size(); ++m) EXPECT_TRUE(std::isnan(r.ResultSE[m])) << where;
      for (int s = 0; s < c.NStrike + 2; ++s) {
        const double p = r.ELS_Prob_n_Cf[s];
        EXPECT_EQ(r.outcomeProbSE[s] > 0.0, p > 0.0 && p < 1.0) << where << " slot " << s;
      }
      ASSERT_EQ(r.convergence.size(), 1u);
      EXPECT_TRUE(Same(r.convergence[0].price, r.ResultPrice[0])) << where;
    }
  }
}

TEST(ValueNote, RejectsAsTheFullCallDoesAndChecksItsOptions) {
  FullCall c = PathNote(NoteKind::kTwoStocks, 100, 1, 0);
  c.NTrials = 0.5;
  const ValuationResult bad = ValueNote(c.Inputs());
  EXPECT_EQ(bad.status, CalcMorvikMC(c.View()));
  EXPECT_LT(bad.status, 0);
  EXPECT_TRUE(bad.ResultPrice.empty());
  c.NTrials = 100;
  ValuationOptions o;
  o.seed = 64;  // the default stream has seeds 0..63
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, kBadValuationOptions);
  o.seed = 61;
  o.replications = 4;
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, kBadValuationOptions);
  o.seed = 60;
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, 1);
  o.replications = 0;
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, kBadValuationOptions);
  ValuationOptions aligned;
  aligned.stream = StreamKind::kAligned;
  aligned.seed = 1ULL << 40;
  EXPECT_EQ(ValueNote(c.Inputs(), aligned).status, 1);
  EXPECT_EQ(ConvergenceCheckpoints(25000), (std::vector<long long>{1000, 2000, 5000, 10000, 20000}));
  EXPECT_EQ(ConvergenceCheckpoints(1000), std::vector<long long>{});
}

// The checkpoint at n is a run of n trials, bit for bit, on either stream
// (aligned: inside a block, at a block's end, past several blocks).
TEST(ValueNote, ConvergencePointsAreSeparateRunsBitForBit) {
  for (const StreamKind stream : {StreamKind::kDefault, StreamKind::kAligned}) {
    FullCall c = Note(NoteKind::kPendingDate, 700, 0);
    ValuationOptions o;
    o.stream = stream;
    o.seed = 3;
    o.checkpoints = {100, 256, 300, 5000};
    const ValuationResult r = ValueNote(c.Inputs(), o);
    ASSERT_EQ(r.status, 1);
    ASSERT_EQ(r.convergence.size(), 4u);
    EXPECT_EQ(r.convergence[3].paths, 700);
    for (const ConvergenceRow& row : r.convergence) {
      c.NTrials = static_cast<double>(row.paths);
      ValuationOptions single = o;
      single.checkpoints.clear();
      const ValuationResult s = ValueNote(c.Inputs(), single);
      EXPECT_TRUE(Same(row.price, s.ResultPrice[0])) << row.paths;
      EXPECT_TRUE(Same(row.priceSE, s.priceSE)) << row.paths;
    }
  }
}

TEST(ValueNote, AlignedValuationIsTheSameOnAnyNumberOfThreadsAndSchedule) {
  FullCall c = PathNote(NoteKind::kThreeStocks, 600, 2, 0);
  ValuationOptions o;
  o.stream = StreamKind::kAligned;
  o.checkpoints = {300};
  const ValuationResult one = ValueNote(c.Inputs(), o);
  ASSERT_EQ(one.status, 1);
  for (const int ns = 0; const double d : std::vector<double>(one.ResultSE.begin() + 1, one.ResultSE.end() - 2)) {
    EXPECT_TRUE(std::isfinite(d) && d > 0.0) << ns;
  }
  const TaskRunner runners[] = {{2, &RunOnThreads<false>}, {3, &RunOnThreads<false>}, {3, &RunOnThreads<true>}};
  for (const TaskRunner& runner : runners) {
    o.runner = &runner;
    const ValuationResult r = ValueNote(c.Inputs(), o);
    ASSERT_EQ(r.status, 1);
    EXPECT_TRUE(Same(r.ELS_Prob_n_Cf, one.ELS_Prob_n_Cf)) << runner.width;
    EXPECT_TRUE(Same(r.ELS_Coupon_Prob_n_Cf, one.ELS_Coupon_Prob_n_Cf)) << runner.width;
    EXPECT_TRUE(Same(r.ResultPrice, one.ResultPrice)) << runner.width;
    EXPECT_TRUE(Same(r.ResultSE, one.ResultSE)) << runner.width;
    EXPECT_TRUE(Same(r.outcomeProbSE, one.outcomeProbSE)) << runner.width;
    ASSERT_EQ(r.convergence.size(), 2u);
    EXPECT_TRUE(Same(r.convergence[0].price, one.convergence[0].price)) << runner.width;
  }
  // Another stream: other figures, of the same size within their errors.
  const ValuationResult def = ValueNote(c.Inputs());
  EXPECT_FALSE(Same(def.ResultPrice[0], one.ResultPrice[0]));
  EXPECT_LT(std::fabs(def.ResultPrice[0] - one.ResultPrice[0]), 5 * std::hypot(def.priceSE, one.priceSE));
}

// 30 seeds of one note: the spread of the prices against the reported
// errors, sum (p_k - mean)^2 / mean(se_k^2), is chi-square with 29 degrees
// of freedom; it leaves [8.18, 68.40] with probability 1e-4.
TEST(ValueNote, PricesOfThirtySeedsSpreadAsTheirErrorsSay) {
  for (const StreamKind stream : {StreamKind::kDefault, StreamKind::kAligned}) {
    FullCall c = PathNote(NoteKind::kTwoStocks, 2000, 0, 0);
    std::vector<double> price, var;
    for (int k = 0; k < 30; ++k) {
      ValuationOptions o;
      o.stream = stream;
      o.seed = static_cast<std::uint64_t>(stream == StreamKind::kDefault ? k : 1000 + k);
      const ValuationResult r = ValueNote(c.Inputs(), o);
      ASSERT_EQ(r.status, 1);
      price.push_back(r.ResultPrice[0]);
      var.push_back(r.priceSE * r.priceSE);
    }
    double mean = 0.0, meanVar = 0.0, chi2 = 0.0;
    for (int k = 0; k < 30; ++k) {
      mean += price[k] / 30;
      meanVar += var[k] / 30;
    }
    for (const double p : price) chi2 += (p - mean) * (p - mean) / meanVar;
    EXPECT_GT(chi2, 8.18) << static_cast<int>(stream);
    EXPECT_LT(chi2, 68.40) << static_cast<int>(stream);
    std::printf("seeds, stream %d: chi-square %.2f (29 degrees of freedom)\n", static_cast<int>(stream), chi2);
  }
}

TEST(ValueNote, ReplicationsAreTheMeanOfSeededCallsWithTheSpreadOfTheirGreeks) {
  FullCall c = PathNote(NoteKind::kTwoStocks, 300, 1, 0);
  ValuationOptions o;
  o.seed = 4;
  o.replications = 3;
  const ValuationResult r = ValueNote(c.Inputs(), o);
  ASSERT_EQ(r.status, 1);
  std::vector<ValuationResult> each;
  for (std::uint64_t k = 4; k < 7; ++k) {
    ValuationOptions one;
    one.seed = k;
    each.push_back(ValueNote(c.Inputs(), one));
  }
  for (std::size_t m = 0; m < r.ResultPrice.size() - 2; ++m) {  // theta and rho not computed
    const double a = each[0].ResultPrice[m], b = each[1].ResultPrice[m], d = each[2].ResultPrice[m];
    const double mean = (a + b + d) / 3;
    EXPECT_NEAR(r.ResultPrice[m], mean, 1e-9 * std::fabs(mean)) << m;
    if (m == 0) {
      const double se = std::sqrt(each[0].priceSE * each[0].priceSE + each[1].priceSE * each[1].priceSE +
                                  each[2].priceSE * each[2].priceSE) / 3;
      EXPECT_NEAR(r.ResultSE[0], se, 1e-9 * se);
      continue;
    }
    const double sd = std::sqrt(((a - mean) * (a - mean) + (b - mean) * (b - mean) + (d - mean) * (d - mean)) / 2);
    EXPECT_NEAR(r.ResultSE[m], sd / std::sqrt(3.0), 1e-6 * sd + 1e-9) << m;
  }
  EXPECT_TRUE(std::isnan(r.ResultSE[r.ResultSE.size() - 1]));
  EXPECT_NEAR(r.ELS_Prob_n_Cf[0], (each[0].ELS_Prob_n_Cf[0] + each[1].ELS_Prob_n_Cf[0] + each[2].ELS_Prob_n_Cf[0]) / 3,
              1e-15);
}

struct Reports {
  std::vector<double> fractions;
  static void Take(void* ctx, double f) { static_cast<Reports*>(ctx)->fractions.push_back(f); }
};

TEST(ValueNote, ProgressRisesToOneInAtMostAHundredAndOneReports) {
  const TaskRunner two{2, &RunOnThreads<false>};
  struct Case {
    StreamKind stream;
    int mode;
    const TaskRunner* runner;
    int replications;
  };
  for (const Case& k : {Case{StreamKind::kDefault, 0, nullptr, 1}, Case{StreamKind::kDefault, 1, &two, 1},
                        Case{StreamKind::kAligned, 0, &two, 1}, Case{StreamKind::kDefault, 0, nullptr, 2}}) {
    FullCall c = PathNote(NoteKind::kTwoStocks, 3000, k.mode, 0);
    Reports rep;
    ValuationOptions o;
    o.stream = k.stream;
    o.runner = k.runner;
    o.replications = k.replications;
    o.progress = ProgressCallback{&Reports::Take, &rep};
    ASSERT_EQ(ValueNote(c.Inputs(), o).status, 1);
    const std::vector<double>& f = rep.fractions;
    // With a runner, the other thread may take every block before the
    // reporting one takes its first: then the only report is the last.
    ASSERT_GE(f.size(), k.runner != nullptr ? 1u : 2u);
    EXPECT_LE(f.size(), 101u * static_cast<std::size_t>(k.replications));
    EXPECT_TRUE(std::is_sorted(f.begin(), f.end()));
    EXPECT_GT(f.front(), 0.0);
    EXPECT_EQ(f.back(), 1.0);
  }
}

// A stop hook that says stop at its `stopAt`-th question (never for 0).
struct StopAfter {
  int stopAt = 0;
  int asked = 0;
  static bool Ask(void* ctx) {
    StopAfter& s = *static_cast<StopAfter*>(ctx);
    return ++s.asked == s.stopAt;
  }
};

TEST(ValueNote, AStopHookStopsEveryKindOfRunAndOtherwiseChangesNothing) {
  const TaskRunner two{2, &RunOnThreads<false>};
  struct Case {
    StreamKind stream;
    int mode;
    const TaskRunner* runner;
    int replications;
    double trials;  // aligned: enough blocks for task 0 to be asked twice
  };
  for (const Case& k :
       {Case{StreamKind::kDefault, 0, nullptr, 1, 4000}, Case{StreamKind::kDefault, 1, nullptr, 1, 4000},
        Case{StreamKind::kDefault, 1, &two, 1, 4000}, Case{StreamKind::kAligned, 1, &two, 1, 12000},
        Case{StreamKind::kDefault, 0, nullptr, 2, 4000}}) {
    const std::string where = std::to_string(static_cast<int>(k.stream)) + "/" + std::to_string(k.mode) + "/" +
                              std::to_string(k.runner != nullptr) + "/" + std::to_string(k.replications);
    FullCall c = PathNote(NoteKind::kTwoStocks, k.trials, k.mode, 0);
    ValuationOptions o;
    o.stream = k.stream;
    o.runner = k.runner;
    o.replications = k.replications;
    const ValuationResult plain = ValueNote(c.Inputs(), o);
    ASSERT_EQ(plain.status, 1) << where;

    // Asked every kStopPollPaths paths or so and never saying stop: the
    // same figures, bit for bit.
    StopAfter never;
    o.stop = StopCallback{&StopAfter::Ask, &never};
    const ValuationResult asked = ValueNote(c.Inputs(), o);
    ASSERT_EQ(asked.status, 1) << where;
    EXPECT_GE(never.asked, 2) << where;
    EXPECT_TRUE(Same(asked.ResultPrice, plain.ResultPrice)) << where;
    EXPECT_TRUE(Same(asked.ELS_Prob_n_Cf, plain.ELS_Prob_n_Cf)) << where;
    EXPECT_TRUE(Same(asked.ResultSE, plain.ResultSE)) << where;

    // Saying stop at the second question: the call stops there, with no
    // figures and the distinct status, and is not asked again.
    StopAfter second{2};
    o.stop.ctx = &second;
    const ValuationResult stopped = ValueNote(c.Inputs(), o);
    EXPECT_EQ(stopped.status, kValuationInterrupted) << where;
    EXPECT_EQ(second.asked, 2) << where;
    EXPECT_TRUE(stopped.ResultPrice.empty() && stopped.ELS_Prob_n_Cf.empty()) << where;
  }
  ValuationOptions o;
  int ctx = 0;
  o.stop.ctx = &ctx;  // a context without its hook
  EXPECT_EQ(ValueNote(PathNote(NoteKind::kTwoStocks, 100, 0, 0).Inputs(), o).status, kBadValuationOptions);
}

// The discount factor of a payment date, computed here from the curve.
double DiscountTo(const FullCall& c, int payDate) {
  return DiscountFactor(c.TCurveInfo.data(), c.CurveInfo.data(), c.NT[0],
                        CdrDDiff(c.PriceDate, payDate) / kDaysPerYear);
}

TEST(ValueNote, ReportsEachSlotsDiscountFactorAndWhetherItWasSettled) {
  // The pending first date does not redeem; the second can never redeem
  // (no stock reaches its strikes or barrier), so its probability and its
  // error are 0 on every stream although it is simulated.
  FullCall c = Note(NoteKind::kPendingDate, 400, 0);
  for (int b = 0; b < 4; ++b)
    for (int i = 0; i < c.NStock; ++i) c.X[(b * c.NStrike + 1) * c.NStock + i] = 50.0;
  c.KO_Barrier[1] = 50.0;
  ValuationOptions aligned;
  aligned.stream = StreamKind::kAligned;
  ValuationOptions replicated;
  replicated.replications = 2;
  const int N = c.NStrike;
  for (const ValuationOptions& o : {ValuationOptions{}, aligned, replicated}) {
    const ValuationResult r = ValueNote(c.Inputs(), o);
    ASSERT_GE(r.status, 0);
    EXPECT_EQ(r.outcomeProbSE[1], 0.0);
    EXPECT_EQ(r.outcomeSettled, (std::vector<bool>{true, false, false, false, false}));
    EXPECT_EQ(r.couponSettled, (std::vector<bool>{false, false}));
    ASSERT_EQ(r.outcomeDF.size(), static_cast<std::size_t>(N + 2));
    for (int s = 0; s < N + 2; ++s) EXPECT_EQ(r.outcomeDF[s], DiscountTo(c, c.DatesInfo[N + std::min(s, N - 1)])) << s;
    ASSERT_EQ(r.couponDF.size(), 2u);
    for (int j = 0; j < 2; ++j) EXPECT_EQ(r.couponDF[j], DiscountTo(c, c.CouponDatesInfo[2 + j])) << j;
    // The price is what the factors give: the outcomes, the coupons, and the
    // redemption coupons of the first two dates, which every path reaches
    // without redeeming.
    double sum = c.NotionalAMT * (c.RedemCoupon[0] * r.outcomeDF[0] + c.RedemCoupon[1] * r.outcomeDF[1]);
    for (int s = 0; s < N + 2; ++s) sum += r.outcomeDF[s] * r.ELS_Prob_n_Cf[N + 2 + s];
    for (int j = 0; j < 2; ++j) sum += r.couponDF[j] * r.ELS_Coupon_Prob_n_Cf[2 + j];
    EXPECT_NEAR(r.ResultPrice[0], sum, 1e-6 * c.NotionalAMT);
  }
  // Fixings that redeem on the pending date settle the note: every slot.
  c.SC = {101.0, 53.5};
  const ValuationResult settled = ValueNote(c.Inputs());
  ASSERT_GE(settled.status, 0);
  EXPECT_EQ(settled.outcomeSettled, std::vector<bool>(N + 2, true));
  EXPECT_EQ(settled.couponSettled, std::vector<bool>(2, true));
  EXPECT_EQ(settled.outcomeDF[0], DiscountTo(c, c.DatesInfo[N]));
}

TEST(ValueNote, ARejectedCallNamesWhereItsCheckFailed) {
  struct Case {
    const char* what;
    void (*edit)(FullCall&);
    ValidationFault expected;
  };
  const Case cases[] = {
      {"second stock's local vol", [](FullCall& c) { c.LocalVolSurface[15 + 7] = -0.1; },
       {MORVIK_BAD_LOCAL_VOL, 1, -1, -1, 7}},
      {"discount tenor", [](FullCall& c) { c.TCurveInfo[1] = 0.1; }, {MORVIK_BAD_DISCOUNT_TENOR, -1, -1, -1, 1}},
      {"second coupon's barrier", [](FullCall& c) { c.CouponBarrier[1] = std::nan(""); },
       {MORVIK_BAD_COUPON_BARRIER, -1, -1, 1, -1}},
  };
  for (const Case& k : cases) {
    FullCall c = Note(NoteKind::kTwoStocks, 100, 0);
    k.edit(c);
    const ValuationResult r = ValueNote(c.Inputs());
    EXPECT_EQ(r.status, k.expected.code) << k.what;
    EXPECT_EQ(r.fault.code, k.expected.code) << k.what;
    EXPECT_EQ(r.fault.underlying, k.expected.underlying) << k.what;
    EXPECT_EQ(r.fault.date, k.expected.date) << k.what;
    EXPECT_EQ(r.fault.coupon, k.expected.coupon) << k.what;
    EXPECT_EQ(r.fault.point, k.expected.point) << k.what;
    EXPECT_TRUE(r.outcomeDF.empty()) << k.what;
  }
  // Any other failure has no place: options out of range.
  FullCall c = Note(NoteKind::kTwoStocks, 100, 0);
  ValuationOptions bad;
  bad.replications = 0;
  EXPECT_EQ(ValueNote(c.Inputs(), bad).fault.code, 1);
}

}  // namespace
}  // namespace morvik
