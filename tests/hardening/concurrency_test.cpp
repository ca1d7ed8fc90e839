// Several threads price different notes and the same note at once, through
// the full and the core entry, with the trace on and off. Every result must
// equal the single-threaded result bit for bit. Also built on its own under
// ThreadSanitizer (scripts/tsan.sh), where any report fails the run.
#include <gtest/gtest.h>


#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "calls/assembly.h"
#include "calls/extended_entry.h"
#include "calls/valuation.h"
#include "interface/morvik.h"
#include "termsheet/task_threads.h"
#include "testing/test_notes.h"
#include "tests/support/temp_cwd.h"

namespace morvik::hardening {
namespace {

namespace fs = std::filesystem;

using testing::CallOutputs;
using testing::Collect;
using testing::FillOutputs;
using testing::kOutputSentinel;
using testing::PathNote;
using testing::PathNoteKind;
using testing::SameBits;

// The core entry's results for a note assembled once and shared read-only.
struct CoreResult {
  int status = 0;
  double price = 0.0;
  std::vector<double> prob, cf, couponProb, couponCf;
  bool operator==(const CoreResult& o) const {
    return status == o.status && SameBits({price}, {o.price}) &&
           SameBits(prob, o.prob) && SameBits(cf, o.cf) &&
           SameBits(couponProb, o.couponProb) && SameBits(couponCf, o.couponCf);
  }
};

CoreResult PriceCore(const CoreArgs& a) {
  CoreResult r;
  const std::size_t slots = static_cast<std::size_t>(a.NStrike) + 2;
  const std::size_t q = static_cast<std::size_t>(a.NCoupon) + 1;
  r.prob.assign(slots, kOutputSentinel);
  r.cf.assign(slots, kOutputSentinel);
  r.couponProb.assign(q, kOutputSentinel);
  r.couponCf.assign(q, kOutputSentinel);
  r.status = MorvikMC(
      a.CurPrice, a.BasePrice, a.TCurveInfo_Stock, a.CurveInfo_Stock, a.NT_Stock,
      a.TCurveInfo_Disc, a.CurveInfo_Disc, a.NT_Disc, a.TVol, a.Parity_Scaled, a.LocalVolSurface,
      a.NVol, a.NParity, a.UnderlyingCorr, a.DailyDiv, a.Div_TypeFlag, a.FX_TVol, a.FX_Vol,
      a.FX_NVol, a.FX_Corr, a.QuantoFlag, a.NStock, a.NStrike, a.X0, a.X1, a.X2, a.X3,
      a.KO_Barrier, a.KI_Barrier, a.PayOffSlope0, a.PayOffSlope1, a.PayOffSlope2, a.PayOffSlope3,
      a.PayOffAmount0, a.PayOffAmount1, a.PayOffAmount2, a.PayOffAmount3, a.KO_ObsDays,
      a.KO_PayDays, a.KO_WindowLen, a.KO_AvgFlag, a.RedemCoupon, a.KnockBarrierFlag0,
      a.KnockBarrierFlag1, a.BeKO_Hitted, a.BeKI_Hitted, a.NCoupon, a.CouponBarrier, a.Coupon,
      a.Coupon_ObsDays, a.Coupon_PayDays, a.CouponBarrierFlag, a.BeCouponBarrierHitted,
      a.NTrials, a.PayOffLimit0, a.PayOffLimit1, a.NAFlag, a.SC, a.Coupon_SC, a.FixedFlag,
      a.Reserved, r.prob.data(), r.cf.data(), r.couponProb.data(), r.couponCf.data(), &r.price);
  return r;
}

// The process's working directory is shared by all threads: it is changed
// once, before any thread starts, to a fresh directory for the traces.
class ConcurrencyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cwd_.emplace("morvik_conc");
    ASSERT_TRUE(cwd_->ok());
  }
  void TearDown() override { cwd_.reset(); }
  std::optional<support::TempCwd> cwd_;
};

constexpr double kTrials = 24.0;
constexpr PathNoteKind kKinds[3] = {PathNoteKind::kTwoStocks, PathNoteKind::kPendingDate,
                                    PathNoteKind::kThreeStocks};

TEST_F(ConcurrencyTest, ThreadsReproduceTheSingleThreadedResults) {
  // Single-threaded references: each note with the price alone and with the
  // per-stock sensitivities, and each note's core valuation.
  CallOutputs ref[3][2];
  for (int n = 0; n < 3; ++n) {
    for (int calc = 0; calc < 2; ++calc) {
      FullCall c = PathNote(kKinds[n], kTrials, calc, 0);
      ref[n][calc] = Collect(c, c.Call());
      ASSERT_EQ(ref[n][calc].status, 1);
    }
  }
  // Shared inputs: one assembled core argument list per note, read by
  // every thread at once.
  std::vector<FullCall> sources;
  for (PathNoteKind k : kKinds) sources.push_back(PathNote(k, kTrials, 0, 0));
  AssembledCore cores[3];
  CoreResult coreRef[3];
  for (int n = 0; n < 3; ++n) {
    const ExtendedArgs e = sources[n].View();
    AssembleCore(e, cores[n]);
    coreRef[n] = PriceCore(cores[n].args);
    ASSERT_EQ(coreRef[n].status, 1);
    // The core alone gives the full call's unscaled price.
    EXPECT_EQ(ref[n][0].price[0], (1000000.0 / 10000.0) * coreRef[n].price);
  }
  // The same full-call note, shared by all threads (outputs per thread).
  FullCall shared = PathNote(PathNoteKind::kTwoStocks, kTrials, 1, 0);
  const ExtendedArgs sharedInputs = shared.View();

  constexpr int kThreads = 4;
  constexpr int kRounds = 3;
  std::vector<std::string> faults(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      std::string& fault = faults[t];
      for (int round = 0; round < kRounds; ++round) {
        const int n = (t + round) % 3;
        const int log = (t + round) % 2;
        // A note of its own, trace on or off.
        FullCall own = PathNote(kKinds[n], kTrials, round % 2, log);
        if (!(Collect(own, own.Call()) == ref[n][round % 2]))
          fault += "full call, note " + std::to_string(n) + "; ";
        // The shared note's input arrays, with outputs of its own.
        FullCall mine = shared;
        mine.CalcFlag = {1, log};  // the flag array is the thread's copy
        FillOutputs(mine);
        ExtendedArgs args = sharedInputs;
        args.CalcFlag = mine.CalcFlag.data();
        args.ELS_Prob_n_Cf = mine.ELS_Prob_n_Cf.data();
        args.ELS_Coupon_Prob_n_Cf = mine.ELS_Coupon_Prob_n_Cf.data();
        args.ResultPrice = mine.ResultPrice.data();
        const int rc = CallExport(args);
        if (!(Collect(mine, rc) == ref[0][1])) fault += "shared full call; ";
        // The core entry on every shared assembled note.
        for (int m = 0; m < 3; ++m)
          if (!(PriceCore(cores[m].args) == coreRef[m])) fault += "core " + std::to_string(m) + "; ";
      }
    });
  }
  for (std::thread& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(faults[t], "") << "thread " << t;
  // The traced calls left their files.
  EXPECT_TRUE(fs::is_directory(cwd_->path() / "ZUN_Module_Log" / "ZUNP_MorvikMC"));
}

TEST_F(ConcurrencyTest, RevaluationsOnSeveralThreadsReproduceOneThread) {
  // The three-stock note with every sensitivity, through the export (one
  // thread), and through the internal entry with its revaluations on three
  // threads, by two callers at once.
  FullCall ref = PathNote(PathNoteKind::kThreeStocks, kTrials, 2, 0);
  const CallOutputs one = Collect(ref, ref.Call());
  ASSERT_EQ(one.status, 1);
  std::vector<FullCall> calls(2, PathNote(PathNoteKind::kThreeStocks, kTrials, 2, 0));
  std::vector<int> rc(calls.size(), 0);
  std::vector<std::thread> callers;
  for (std::size_t t = 0; t < calls.size(); ++t)
    callers.emplace_back([&, t] {
      const TaskRunner runner = ThreadRunner(3);
      rc[t] = CalcMorvikMC(calls[t].View(), nullptr, &runner);
    });
  for (std::thread& th : callers) th.join();
  for (std::size_t t = 0; t < calls.size(); ++t) EXPECT_TRUE(Collect(calls[t], rc[t]) == one) << t;
}

TEST_F(ConcurrencyTest, AlignedBlocksOnSeveralThreadsReproduceOneThread) {
  // One valuation's blocks of paths on three threads, every sensitivity with
  // its standard error and progress reports, by two callers at once.
  FullCall note = PathNote(PathNoteKind::kThreeStocks, 300.0, 2, 0);
  ValuationOptions options;
  options.stream = StreamKind::kAligned;
  options.seed = 11;
  const ValuationResult one = ValueNote(note.View(), options);
  ASSERT_EQ(one.status, 1);
  struct Seen {
    double last = 0.0;
    static void Report(void* ctx, double fraction) { static_cast<Seen*>(ctx)->last = fraction; }
  };
  std::vector<ValuationResult> results(2);
  std::vector<Seen> seen(2);
  std::vector<std::thread> callers;
  for (std::size_t t = 0; t < results.size(); ++t)
    callers.emplace_back([&, t] {
      const TaskRunner runner = ThreadRunner(3);
      ValuationOptions threaded = options;
      threaded.runner = &runner;
      threaded.progress = ProgressCallback{&Seen::Report, &seen[t]};
      results[t] = ValueNote(note.View(), threaded);
    });
  for (std::thread& th : callers) th.join();
  for (std::size_t t = 0; t < results.size(); ++t) {
    EXPECT_EQ(results[t].ResultPrice, one.ResultPrice) << t;
    EXPECT_EQ(results[t].ResultSE, one.ResultSE) << t;
    EXPECT_EQ(results[t].ELS_Prob_n_Cf, one.ELS_Prob_n_Cf) << t;
    EXPECT_EQ(seen[t].last, 1.0) << t;
  }
}

}  // namespace
}  // namespace morvik::hardening
