// The quasi-random stream through the internal full entry: the same on any
// number of threads, in agreement with the aligned stream, errors from the
// scramblings that match the spread over seeds, and the options it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "calls/valuation.h"
#include "termsheet/sobol_table.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

using testing::PathNote;
using NoteKind = testing::PathNoteKind;

bool Same(const std::vector<double>& a, const std::vector<double>& b) { return testing::SameBits(a, b); }

void RunOnThreads(int count, BatchTask task, void* ctx) {
  std::vector<std::thread> threads;
  for (int m = count - 1; m >= 0; --m) threads.emplace_back(task, ctx, m);
  for (std::thread& t : threads) t.join();
}

ValuationOptions Sobol(std::uint64_t seed, int scrambles = 16) {
  ValuationOptions o;
  o.stream = StreamKind::kSobol;
  o.sobol = &JoeKuoDirections();
  o.scrambles = scrambles;
  o.seed = seed;
  return o;
}

TEST(SobolStream, IsTheSameOnAnyNumberOfThreadsWithAnErrorForEveryFigure) {
  FullCall c = PathNote(NoteKind::kThreeStocks, 800, 2, 0);
  ValuationOptions o = Sobol(3);
  o.checkpoints = {200, 400};  // not kept: one final row
  const ValuationResult one = ValueNote(c.Inputs(), o);
  ASSERT_EQ(one.status, 1);
  for (std::size_t k = 0; k < one.ResultSE.size(); ++k) EXPECT_TRUE(one.ResultSE[k] > 0.0) << k;
  ASSERT_EQ(one.convergence.size(), 1u);
  EXPECT_EQ(one.convergence[0].priceSE, one.priceSE);
  for (const TaskRunner& runner : {TaskRunner{2, &RunOnThreads}, TaskRunner{3, &RunOnThreads}}) {
    o.runner = &runner;
    const ValuationResult r = ValueNote(c.Inputs(), o);
    ASSERT_EQ(r.status, 1);
    EXPECT_TRUE(Same(r.ELS_Prob_n_Cf, one.ELS_Prob_n_Cf)) << runner.width;
    EXPECT_TRUE(Same(r.ELS_Coupon_Prob_n_Cf, one.ELS_Coupon_Prob_n_Cf)) << runner.width;
    EXPECT_TRUE(Same(r.ResultPrice, one.ResultPrice)) << runner.width;
    EXPECT_TRUE(Same(r.ResultSE, one.ResultSE)) << runner.width;
    EXPECT_TRUE(Same(r.outcomeProbSE, one.outcomeProbSE)) << runner.width;
    EXPECT_TRUE(Same(r.couponProbSE, one.couponProbSE)) << runner.width;
  }
  // Another seed scrambles otherwise.
  EXPECT_NE(ValueNote(c.Inputs(), Sobol(4)).ResultPrice[0], one.ResultPrice[0]);
}

// Price, every outcome and coupon probability, and the greeks against the
// aligned stream: within four combined standard errors.
TEST(SobolStream, AgreesWithTheAlignedStream) {
  for (const NoteKind kind : {NoteKind::kTwoStocks, NoteKind::kThreeStocks}) {
    FullCall c = PathNote(kind, 8000, 1, 0);
    ValuationOptions aligned;
    aligned.stream = StreamKind::kAligned;
    aligned.seed = 11;
    const ValuationResult a = ValueNote(c.Inputs(), aligned);
    const ValuationResult q = ValueNote(c.Inputs(), Sobol(11));
    ASSERT_EQ(a.status, 1);
    ASSERT_EQ(q.status, 1);
    int compared = 0;
    for (std::size_t k = 0; k < a.ResultPrice.size(); ++k) {
      if (!std::isfinite(a.ResultSE[k])) continue;  // theta and rho: not computed here
      EXPECT_LT(std::fabs(a.ResultPrice[k] - q.ResultPrice[k]), 4 * std::hypot(a.ResultSE[k], q.ResultSE[k]))
          << static_cast<int>(kind) << " figure " << k;
      ++compared;
    }
    EXPECT_EQ(compared, 1 + 3 * c.NStock) << static_cast<int>(kind);
    const std::size_t slots = a.outcomeProbSE.size();
    for (std::size_t s = 0; s < slots; ++s) {
      const double se = std::hypot(a.outcomeProbSE[s], q.outcomeProbSE[s]);
      EXPECT_LE(std::fabs(a.ELS_Prob_n_Cf[s] - q.ELS_Prob_n_Cf[s]), 4 * se) << static_cast<int>(kind) << " slot " << s;
    }
  }
}

// 30 seeds, each its own 16 scramblings: the spread of the prices against
// the reported errors, sum (p_k - mean)^2 / mean(se_k^2), about chi-square
// with 29 degrees of freedom (it leaves [8.18, 68.40] with probability
// 1e-4 for exact variances).
// The same for the share of paths redeemed early, whose error the report
// shows.
TEST(SobolStream, PricesOfThirtySeedsSpreadAsTheirErrorsSay) {
  FullCall c = PathNote(NoteKind::kTwoStocks, 2048, 0, 0);
  const int N = c.NStrike;
  std::vector<double> price, var, early, earlyVar;
  for (int k = 0; k < 30; ++k) {
    const ValuationResult r = ValueNote(c.Inputs(), Sobol(static_cast<std::uint64_t>(500 + k)));
    ASSERT_EQ(r.status, 1);
    ASSERT_EQ(r.redeemedBySE.size(), static_cast<std::size_t>(N));
    price.push_back(r.ResultPrice[0]);
    var.push_back(r.priceSE * r.priceSE);
    double share = 0.0;
    for (int s = 0; s < N; ++s) share += r.ELS_Prob_n_Cf[static_cast<std::size_t>(s)];
    early.push_back(share);
    earlyVar.push_back(r.redeemedBySE.back() * r.redeemedBySE.back());
  }
  const auto chiSquare = [](const std::vector<double>& x, const std::vector<double>& v) {
    double mean = 0.0, meanVar = 0.0, chi2 = 0.0;
    for (std::size_t k = 0; k < x.size(); ++k) {
      mean += x[k] / 30;
      meanVar += v[k] / 30;
    }
    for (const double p : x) chi2 += (p - mean) * (p - mean) / meanVar;
    return chi2;
  };
  for (const double chi2 : {chiSquare(price, var), chiSquare(early, earlyVar)}) {
    EXPECT_GT(chi2, 8.18);
    EXPECT_LT(chi2, 68.40);
    std::printf("sobol seeds: chi-square %.2f (29 degrees of freedom)\n", chi2);
  }
}

// The error of the share redeemed by each date comes from the scramblings:
// by the first date it is that date's outcome, and by the last the
// complement of the maturity slot without knock-in when no path can knock
// in (the two shares sum to 1 in every scrambling), so their errors match.
// The other streams leave it to the binomial rule of the report.
TEST(SobolStream, ErrorOfTheShareRedeemedByADateIsTheScramblingsSpread) {
  for (const NoteKind kind : {NoteKind::kTwoStocks, NoteKind::kThreeStocks}) {
    FullCall c = PathNote(kind, 800, 0, 0);
    for (double& b : c.KI_Barrier) b = 0.01;
    const std::size_t N = static_cast<std::size_t>(c.NStrike);
    const ValuationResult q = ValueNote(c.Inputs(), Sobol(7));
    ASSERT_EQ(q.status, 1);
    ASSERT_EQ(q.ELS_Prob_n_Cf[N + 1], 0.0) << static_cast<int>(kind);
    ASSERT_EQ(q.redeemedBySE.size(), N) << static_cast<int>(kind);
    EXPECT_EQ(q.redeemedBySE[0], q.outcomeProbSE[0]) << static_cast<int>(kind);
    EXPECT_GT(q.redeemedBySE[N - 1], 0.0) << static_cast<int>(kind);
    EXPECT_NEAR(q.redeemedBySE[N - 1], q.outcomeProbSE[N], 1e-12 * q.outcomeProbSE[N]) << static_cast<int>(kind);
    for (std::size_t d = 1; d < N; ++d)
      EXPECT_TRUE(q.redeemedBySE[d] >= 0.0 && std::isfinite(q.redeemedBySE[d])) << static_cast<int>(kind) << " " << d;
  }
  // Redeemed on its pending date: nothing simulated, every share settled.
  FullCall pending = PathNote(NoteKind::kPendingDate, 800, 0, 0);
  const ValuationResult p = ValueNote(pending.Inputs(), Sobol(7));
  ASSERT_EQ(p.status, 1);
  EXPECT_EQ(p.redeemedBySE, std::vector<double>(static_cast<std::size_t>(pending.NStrike), 0.0));
  FullCall c = PathNote(NoteKind::kTwoStocks, 800, 0, 0);
  ValuationOptions aligned;
  aligned.stream = StreamKind::kAligned;
  EXPECT_TRUE(ValueNote(c.Inputs(), aligned).redeemedBySE.empty());
}

TEST(SobolStream, RefusesScramblingsThatCannotShareTheTrials) {
  FullCall c = PathNote(NoteKind::kTwoStocks, 1000, 0, 0);
  EXPECT_EQ(ValueNote(c.Inputs(), Sobol(1, 1)).status, kBadValuationOptions);   // one scrambling: no error
  EXPECT_EQ(ValueNote(c.Inputs(), Sobol(1, 16)).status, kBadValuationOptions);  // 1000 / 16 is not whole
  EXPECT_EQ(ValueNote(c.Inputs(), Sobol(1, 8)).status, 1);
  ValuationOptions none = Sobol(1, 8);
  none.sobol = nullptr;
  EXPECT_EQ(ValueNote(c.Inputs(), none).status, kBadValuationOptions);
  SobolDirections empty;
  none.sobol = &empty;
  EXPECT_EQ(ValueNote(c.Inputs(), none).status, kBadValuationOptions);
  FullCall fractional = PathNote(NoteKind::kTwoStocks, 1000.5, 0, 0);
  EXPECT_EQ(ValueNote(fractional.Inputs(), Sobol(1, 2)).status, kBadValuationOptions);
  // Trials that are no count at all: the validation's own code.
  FullCall zero = PathNote(NoteKind::kTwoStocks, 0, 0, 0);
  const int code = ValueNote(zero.Inputs()).status;
  EXPECT_LT(code, 0);
  EXPECT_EQ(ValueNote(zero.Inputs(), Sobol(1, 8)).status, code);
}

}  // namespace
}  // namespace morvik
