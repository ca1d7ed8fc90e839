// Greeks on the aligned stream, whose valuations share each block's rows of
// normals: bit for bit those of every valuation run on its own (each block
// through its own source, sums added in block order), on any number of
// threads; and the order keeper that adds blocks finished in any order.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "sensitivities/aligned_valuation.h"
#include "sensitivities/block_order.h"
#include "sensitivities/revaluation_plan.h"
#include "termsheet/task_threads.h"
#include "testing/test_notes.h"

namespace morvik {
namespace {

using testing::AssembledNote;
using testing::SameBits;

// One valuation alone on the aligned stream of `seed`: each block of paths
// from a source of its own, the block sums added in block order.
void ValueAlone(const CoreArgs& args, const CoreResults& out, std::uint64_t seed) {
  RemainingValuation rest;
  SimJob job;
  if (!StartValuation(args, out, nullptr, rest, job)) return;
  for (long long from = 0; from < job.paths; from += kBlockPaths) {
    RunTally block;
    StartTally(job, from, block);
    PathScratch w = job.w;
    SimulateAlignedBlock(job, seed, from, std::min(from + kBlockPaths, job.paths), w, block);
    AppendTally(job.acc, block);
  }
  FinishSimulation(job);
}

struct Figures {
  std::vector<double> prob, cf, greeks, se;
  double price = 0.0;
};

Figures Outputs(const AssembledCore& core, double price, const Greeks& g, const Greeks& se) {
  return Figures{core.ELS_Prob, core.ELS_Cf, GreekRow(g), GreekRow(se), price};
}

// The realistic three-stock note (three years, daily knock-in: runs of
// fewer paths than a block share the rows) and a mid-life note with a
// pending payment, a cash dividend and a quanto, at every greek.
TEST(AlignedGreeks, SharedRowsGiveEveryValuationItsOwnFiguresOnAnyNumberOfThreads) {
  AssembledNote realistic(3);
  realistic.note.NTrials = 300;
  AssembledNote pending(2);
  pending.note = testing::PathNote(testing::PathNoteKind::kPendingDate, 300, 2, 0);
  pending.note.SC = {90.0, 45.0};  // the pending date does not redeem
  for (AssembledNote* note : {&realistic, &pending}) {
    AssembleCore(note->note.View(), note->core);
    note->core.results.ResultPrice = &note->price;
    const CoreArgs& args = note->core.args;
    const std::uint64_t seed = 77;

    Greeks g, se;
    ValueAligned(args, note->core.results, 2, seed, nullptr, g, se, nullptr);
    const Figures shared = Outputs(note->core, note->price, g, se);
    ASSERT_GE(shared.prob.size(), 3u);

    // Every valuation of the bump table on its own, combined as the call does.
    RevaluationPlan plan;
    plan.Build(args, note->core.results, 2);
    for (int r = 0; r < plan.Count(); ++r) ValueAlone(*plan.sets[r], plan.outs[r], seed);
    Greeks alone;
    ResetGreeks(alone, args.NStock, 0.0);
    plan.Combine([&](std::size_t r) { return plan.PriceAt(r); }, alone);
    EXPECT_TRUE(SameBits(shared.greeks, GreekRow(alone)));
    EXPECT_TRUE(SameBits(shared.prob, note->core.ELS_Prob));
    EXPECT_TRUE(SameBits(shared.cf, note->core.ELS_Cf));
    EXPECT_TRUE(SameBits({shared.price}, {note->price}));
    for (const double e : shared.se) EXPECT_GT(e, 0.0);

    for (const int threads : {2, 3}) {
      const TaskRunner runner = ThreadRunner(threads);
      ValueAligned(args, note->core.results, 2, seed, &runner, g, se, nullptr);
      const Figures t = Outputs(note->core, note->price, g, se);
      EXPECT_TRUE(SameBits(t.greeks, shared.greeks)) << threads;
      EXPECT_TRUE(SameBits(t.se, shared.se)) << threads;
      EXPECT_TRUE(SameBits(t.prob, shared.prob)) << threads;
      EXPECT_TRUE(SameBits({t.price}, {shared.price})) << threads;
    }
  }
}

// Blocks put in any order, from several threads, are taken in block order,
// each once; a held block leaves a fresh item behind.
TEST(InBlockOrder, TakesBlocksInOrderWhateverOrderTheyFinish) {
  InBlockOrder<std::vector<int>> order;
  std::vector<int> taken;
  auto take = [&](long long b, const std::vector<int>& v) {
    EXPECT_EQ(b, v[0]);
    taken.push_back(v[0]);
  };
  std::vector<int> item{3};
  order.Put(3, item, take);
  EXPECT_TRUE(item.empty());
  EXPECT_TRUE(taken.empty());
  for (const int b : {1, 0, 2}) {
    item = {b};
    order.Put(b, item, take);
  }
  EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(order.Done(), 4);

  std::vector<std::thread> threads;
  for (int k = 0; k < 4; ++k)
    threads.emplace_back([&, k] {
      for (int b = 4 + 100 - 1 - k; b >= 4; b -= 4) {  // each thread its blocks, last first
        std::vector<int> v{b};
        order.Put(b, v, take);
      }
    });
  for (std::thread& t : threads) t.join();
  ASSERT_EQ(taken.size(), 104u);
  for (int b = 0; b < 104; ++b) EXPECT_EQ(taken[static_cast<std::size_t>(b)], b);
}

}  // namespace
}  // namespace morvik
