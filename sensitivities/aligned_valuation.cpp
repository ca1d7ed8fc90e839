// Block-parallel valuation on the path-addressed stream: every valuation of
// the call is prepared once, the caller's tasks take blocks of paths in
// turn, and each valuation's block sums are added in block order at the end.
#include "sensitivities/aligned_valuation.h"

#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/sobol_normals.h"
#include "numerics/conventions.h"
#include "sensitivities/revaluation_plan.h"
#include "sensitivities/scramble_errors.h"

namespace morvik {

namespace {

// One valuation of the list: its schedule scan and its engine job.
struct Member {
  RemainingValuation rest;
  SimJob sim;
  bool active = false;
};

struct BlockRun {
  std::vector<std::unique_ptr<Member>> members;
  std::uint64_t seed = 0;
  long long paths = 0;
  long long blocks = 0;
  std::vector<RunTally> tallies;  // [r * blocks + b]
  std::atomic<long long> next{0};
  std::atomic<long long> finished{0};
  ProgressMeter progress;
  StopSignal* stop = nullptr;
  std::vector<std::exception_ptr> errors;  // per task
  // Quasi-random stream: blocks never straddle two scramblings, and the
  // batches of the errors are the scramblings (perBatch blocks each).
  const SobolPlan* sobol = nullptr;
  long long perBatch = 1;

  // The paths [from, to) of block b.
  void Range(long long b, long long& from, long long& to) const {
    const long long end = sobol == nullptr ? paths : (b / perBatch + 1) * sobol->points;
    from = sobol == nullptr ? b * kBlockPaths : (b / perBatch) * sobol->points + (b % perBatch) * kBlockPaths;
    to = from + kBlockPaths < end ? from + kBlockPaths : end;
  }

  // Task k: blocks taken in turn until none is left. An exception is carried
  // back to the calling thread instead of leaving the task. Task 0 reports
  // progress and polls the stop; the others check it.
  static void Work(void* ctx, int k) {
    BlockRun& run = *static_cast<BlockRun*>(ctx);
    try {
      std::vector<PathScratch> scratch(run.members.size());
      for (std::size_t r = 0; r < run.members.size(); ++r)
        if (run.members[r]->active) scratch[r] = run.members[r]->sim.w;
      for (;;) {
        const long long b = run.next.fetch_add(1);
        if (b >= run.blocks) break;
        long long from = 0, to = 0;
        run.Range(b, from, to);
        for (std::size_t r = 0; r < run.members.size(); ++r) {
          const Member& m = *run.members[r];
          if (!m.active) continue;
          RunTally& t = run.tallies[r * static_cast<std::size_t>(run.blocks) + static_cast<std::size_t>(b)];
          StartTally(m.sim, from, t);
          if (run.sobol != nullptr) {
            SimulateSobolBlock(m.sim, *run.sobol, from, to, scratch[r], t);
          } else {
            SimulateAlignedBlock(m.sim, run.seed, from, to, scratch[r], t);
          }
        }
        const long long done = run.finished.fetch_add(1) + 1;
        if (k == 0) run.progress.Report(static_cast<double>(done) / static_cast<double>(run.blocks));
        if (run.stop != nullptr) run.stop->After(to - from, k == 0);
      }
    } catch (...) {
      run.errors[static_cast<std::size_t>(k)] = std::current_exception();
    }
  }
};

}  // namespace

std::vector<double> GreekRow(const Greeks& g) {
  std::vector<double> row;
  row.insert(row.end(), g.delta.begin(), g.delta.end());
  row.insert(row.end(), g.gamma.begin(), g.gamma.end());
  row.insert(row.end(), g.vega.begin(), g.vega.end());
  row.push_back(g.theta);
  row.push_back(g.rho);
  return row;
}

void GreeksFromRow(const std::vector<double>& row, Greeks& g) {
  const std::size_t S = g.delta.size();
  for (std::size_t i = 0; i < S; ++i) {
    g.delta[i] = row[i];
    g.gamma[i] = row[S + i];
    g.vega[i] = row[2 * S + i];
  }
  g.theta = row[3 * S];
  g.rho = row[3 * S + 1];
}

int ValueAligned(const CoreArgs& args, const CoreResults& out, int mode, std::uint64_t seed,
                 const TaskRunner* runner, Greeks& greeks, Greeks& greekSE, ValuationExtras* extras,
                 const SobolPlan* sobol) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ResetGreeks(greeks, args.NStock, 0.0);
  ResetGreeks(greekSE, args.NStock, nan);
  RevaluationPlan plan;
  plan.Build(args, out, mode);  // the core valuation alone below mode 1
  const int n = plan.Count();

  BlockRun run;
  run.seed = seed;
  if (extras != nullptr) {
    run.progress.hook = extras->progress;
    run.stop = extras->stop;
  }
  for (int r = 0; r < n; ++r) {
    run.members.push_back(std::make_unique<Member>());
    Member& m = *run.members.back();
    m.active = StartValuation(*plan.sets[r], plan.outs[r], r == 0 ? extras : nullptr, m.rest, m.sim);
    if (m.active && m.sim.paths > run.paths) run.paths = m.sim.paths;
  }
  run.sobol = sobol;
  if (sobol != nullptr) {
    run.perBatch = (sobol->points + kBlockPaths - 1) / kBlockPaths;
    run.blocks = run.paths > 0 ? run.perBatch * sobol->scrambles : 0;
  } else {
    run.blocks = (run.paths + kBlockPaths - 1) / kBlockPaths;
  }
  run.tallies.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(run.blocks));

  const int width = runner != nullptr && runner->run != nullptr && runner->width > 1 ? runner->width : 1;
  run.errors.assign(static_cast<std::size_t>(width), nullptr);
  if (width > 1) {
    runner->run(width, &BlockRun::Work, &run);
  } else {
    BlockRun::Work(&run, 0);
  }
  for (const std::exception_ptr& e : run.errors)
    if (e) std::rethrow_exception(e);
  run.progress.Report(1.0);

  // Each valuation's sums, block after block.
  const std::size_t blocks = static_cast<std::size_t>(run.blocks);
  for (int r = 0; r < n; ++r) {
    Member& m = *run.members[static_cast<std::size_t>(r)];
    if (!m.active) continue;
    StartTally(m.sim, 0, m.sim.acc);
    for (std::size_t b = 0; b < blocks; ++b)
      AppendTally(m.sim.acc, run.tallies[static_cast<std::size_t>(r) * blocks + b]);
    FinishSimulation(m.sim);
  }
  const std::size_t per = static_cast<std::size_t>(run.perBatch);
  const std::size_t B = static_cast<std::size_t>(run.blocks) / per;  // batches
  if (sobol != nullptr && extras != nullptr) {
    if (run.members[0]->active) {
      ScrambleErrors(run.members[0]->sim, run.tallies.data(), B, per, *extras);
    } else if (extras->probSE.size() >= 2) {
      extras->redeemedBySE.assign(extras->probSE.size() - 2, 0.0);  // nothing simulated: every share settled
    }
  }
  if (mode < 1) return 1;
  plan.Combine([&](std::size_t r) { return plan.PriceAt(r); }, greeks);

  // Batch means: batch b's greeks from the valuations' batch prices (a
  // batch is a block, or a scrambling's blocks on the quasi-random stream).
  if (B < 2) return 1;
  auto batchPrice = [&](std::size_t r, std::size_t b) {
    const Member& m = *run.members[r];
    if (!m.active) return plan.PriceAt(r);
    double pv = run.tallies[r * blocks + b * per].t.pvSum;
    long long n = run.tallies[r * blocks + b * per].t.paths;
    for (std::size_t k = 1; k < per; ++k) {
      pv += run.tallies[r * blocks + b * per + k].t.pvSum;
      n += run.tallies[r * blocks + b * per + k].t.paths;
    }
    return m.sim.settled + kNotionalScale * (pv / static_cast<double>(n));
  };
  const double total = static_cast<double>(run.paths);
  std::vector<std::vector<double>> rows(B);
  std::vector<double> weight(B);
  Greeks g;
  for (std::size_t b = 0; b < B; ++b) {
    ResetGreeks(g, args.NStock, 0.0);
    plan.Combine([&](std::size_t r) { return batchPrice(r, b); }, g);
    rows[b] = GreekRow(g);
    long long from = 0, to = 0, last = 0;
    run.Range(static_cast<long long>(b * per), from, to);
    run.Range(static_cast<long long>(b * per + per - 1), last, to);
    weight[b] = static_cast<double>(to - from) / total;
  }
  std::vector<double> se = GreekRow(greekSE);
  const std::size_t computed = mode >= 2 ? se.size() : se.size() - 2;
  std::vector<double> column(B);
  for (std::size_t j = 0; j < computed; ++j) {
    for (std::size_t b = 0; b < B; ++b) column[b] = rows[b][j];
    se[j] = BatchMeanSE(column, weight);
  }
  GreeksFromRow(se, greekSE);
  return 1;
}

}  // namespace morvik
