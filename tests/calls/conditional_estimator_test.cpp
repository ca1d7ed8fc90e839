// The conditional estimator through the internal full entry: it agrees with
// the plain aligned estimator (price, outcome and coupon probabilities,
// greeks) on one, two and three stocks, gives the same bits on any number of
// threads, steadies the greeks, and is refused on the default stream.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "calls/layout.h"
#include "calls/valuation.h"
#include "termsheet/sobol_table.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

using testing::PathNote;
using NoteKind = testing::PathNoteKind;

void RunOnThreads(int count, BatchTask task, void* ctx) {
  std::vector<std::thread> threads;
  for (int m = count - 1; m >= 0; --m) threads.emplace_back(task, ctx, m);
  for (std::thread& t : threads) t.join();
}

ValuationOptions Options(std::uint64_t seed, Estimator estimator) {
  ValuationOptions o;
  o.stream = StreamKind::kAligned;
  o.seed = seed;
  o.estimator = estimator;
  return o;
}

// Every figure with an error on both sides within three combined errors (a
// slot no plain path reached counts an error of one path).
void ExpectAgreement(const ValuationResult& a, const ValuationResult& c, double trials, const char* what) {
  const double floor = 1.0 / trials;
  int greeks = 0;
  for (std::size_t k = 0; k < a.ResultPrice.size(); ++k) {
    if (!std::isfinite(a.ResultSE[k]) || !std::isfinite(c.ResultSE[k])) continue;
    EXPECT_LT(std::fabs(a.ResultPrice[k] - c.ResultPrice[k]), 3 * std::hypot(a.ResultSE[k], c.ResultSE[k]))
        << what << " figure " << k;
    ++greeks;
  }
  EXPECT_GT(greeks, 1) << what;
  for (std::size_t s = 0; s < a.outcomeProbSE.size(); ++s) {
    const double se = std::hypot(std::max(a.outcomeProbSE[s], floor), c.outcomeProbSE[s]);
    EXPECT_LE(std::fabs(a.ELS_Prob_n_Cf[s] - c.ELS_Prob_n_Cf[s]), 3 * se) << what << " slot " << s;
  }
  const std::size_t coupons = a.couponProbSE.size();
  ASSERT_EQ(c.couponProbSE.size(), coupons);
  for (std::size_t s = 0; s < coupons; ++s) {
    const double se = std::hypot(std::max(a.couponProbSE[s], floor), c.couponProbSE[s]);
    EXPECT_LE(std::fabs(a.ELS_Coupon_Prob_n_Cf[s] - c.ELS_Coupon_Prob_n_Cf[s]), 3 * se) << what << " coupon " << s;
  }
}

// One stock (the realistic note), two stocks (a quanto, a cash dividend,
// coupons), three stocks (window averages, a daily coupon barrier), and a
// note with a pending date: every figure agrees with the plain estimator.
TEST(ConditionalEstimator, AgreesWithThePlainAlignedEstimator) {
  const double trials = 3000;
  std::vector<FullCall> notes;
  notes.push_back(testing::RealisticNote(1));
  notes.back().NTrials = trials;
  notes.back().CalcFlag[0] = 1;
  notes.back().SizeOutputs();
  notes.push_back(PathNote(NoteKind::kTwoStocks, trials, 1, 0));
  notes.push_back(PathNote(NoteKind::kThreeStocks, trials, 1, 0));
  notes.push_back(PathNote(NoteKind::kPendingDate, trials, 1, 0));
  notes.back().SC = {60.0, 30.0};  // the pending date does not redeem: the rest is simulated
  const char* names[] = {"one stock", "two stocks", "three stocks", "pending date"};
  for (std::size_t n = 0; n < notes.size(); ++n) {
    const ValuationResult a = ValueNote(notes[n].Inputs(), Options(21, Estimator::kPlain));
    const ValuationResult c = ValueNote(notes[n].Inputs(), Options(22, Estimator::kConditional));
    ASSERT_EQ(a.status, 1) << names[n];
    ASSERT_EQ(c.status, 1) << names[n];
    ExpectAgreement(a, c, trials, names[n]);
  }
}

// The same bits on one, two or three threads, and on the sobol stream too.
TEST(ConditionalEstimator, IsTheSameOnAnyNumberOfThreads) {
  FullCall c = PathNote(NoteKind::kThreeStocks, 512, 1, 0);
  ValuationOptions o = Options(5, Estimator::kConditional);
  const ValuationResult one = ValueNote(c.Inputs(), o);
  ASSERT_EQ(one.status, 1);
  ValuationOptions q = o;
  q.stream = StreamKind::kSobol;
  q.sobol = &JoeKuoDirections();
  q.scrambles = 8;
  const ValuationResult sobolOne = ValueNote(c.Inputs(), q);
  ASSERT_EQ(sobolOne.status, 1);
  for (const TaskRunner& runner : {TaskRunner{2, &RunOnThreads}, TaskRunner{3, &RunOnThreads}}) {
    o.runner = &runner;
    q.runner = &runner;
    const ValuationResult r = ValueNote(c.Inputs(), o);
    EXPECT_TRUE(testing::SameBits(r.ResultPrice, one.ResultPrice)) << runner.width;
    EXPECT_TRUE(testing::SameBits(r.ResultSE, one.ResultSE)) << runner.width;
    EXPECT_TRUE(testing::SameBits(r.ELS_Prob_n_Cf, one.ELS_Prob_n_Cf)) << runner.width;
    EXPECT_TRUE(testing::SameBits(r.outcomeProbSE, one.outcomeProbSE)) << runner.width;
    EXPECT_TRUE(testing::SameBits(ValueNote(c.Inputs(), q).ResultPrice, sobolOne.ResultPrice)) << runner.width;
  }
}

// On the realistic two-stock note (fixed seed) every delta and vega has a
// smaller error than the plain estimator's on the same paths.
TEST(ConditionalEstimator, SteadiesTheDeltasAndVegas) {
  FullCall c = testing::RealisticNote(2);
  c.NTrials = 2000;
  c.CalcFlag[0] = 1;
  c.SizeOutputs();
  const ValuationResult a = ValueNote(c.Inputs(), Options(3, Estimator::kPlain));
  const ValuationResult k = ValueNote(c.Inputs(), Options(3, Estimator::kConditional));
  ASSERT_EQ(a.status, 1);
  ASSERT_EQ(k.status, 1);
  for (int i = 0; i < 2; ++i) {
    const std::size_t delta = static_cast<std::size_t>(layout::Delta(2, i));
    const std::size_t vega = static_cast<std::size_t>(layout::Vega(2, i));
    EXPECT_LT(k.ResultSE[delta], a.ResultSE[delta]) << "delta " << i;
    EXPECT_LT(k.ResultSE[vega], a.ResultSE[vega]) << "vega " << i;
  }
}

// The bumped valuations of a greeks run start their threshold searches
// where the unbumped valuation found them on the same path; the unbumped
// valuation itself searches from scratch, so its price and probabilities
// are those of the note valued alone, bit for bit.
TEST(ConditionalEstimator, GreeksLeaveTheUnbumpedValuationAsValuedAlone) {
  FullCall c = testing::RealisticNote(3);
  c.NTrials = 256;
  c.CalcFlag[0] = 1;
  c.SizeOutputs();
  const ValuationOptions o = Options(11, Estimator::kConditional);
  const ValuationResult k = ValueNote(c.Inputs(), o);
  FullCall one = c;
  one.CalcFlag[0] = 0;
  one.SizeOutputs();
  const ValuationResult alone = ValueNote(one.Inputs(), o);
  ASSERT_EQ(k.status, 1);
  ASSERT_EQ(alone.status, 1);
  EXPECT_TRUE(testing::SameBits(std::vector<double>(k.ResultPrice.begin(), k.ResultPrice.begin() + 1),
                                std::vector<double>(alone.ResultPrice.begin(), alone.ResultPrice.begin() + 1)));
  EXPECT_TRUE(testing::SameBits(k.ELS_Prob_n_Cf, alone.ELS_Prob_n_Cf));
  EXPECT_TRUE(testing::SameBits(k.outcomeProbSE, alone.outcomeProbSE));
}

TEST(ConditionalEstimator, IsRefusedOnTheDefaultStream) {
  FullCall c = PathNote(NoteKind::kTwoStocks, 200, 0, 0);
  ValuationOptions o;
  o.estimator = Estimator::kConditional;
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, kBadValuationOptions);
  o.stream = StreamKind::kAligned;
  EXPECT_EQ(ValueNote(c.Inputs(), o).status, 1);
}

}  // namespace
}  // namespace morvik
