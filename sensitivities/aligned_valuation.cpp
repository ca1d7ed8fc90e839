// Block-parallel valuation on the path-addressed stream: every valuation of
// the call is prepared once, the caller's tasks take blocks of paths in
// turn, each block's rows of normals are drawn once and read by every
// valuation, and each valuation's block sums are added in block order.
#include "sensitivities/aligned_valuation.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/lane_paths.h"
#include "engine/path_normals.h"
#include "engine/path_rows.h"
#include "engine/sobol_normals.h"
#include "numerics/conventions.h"
#include "sensitivities/block_order.h"
#include "sensitivities/block_parts.h"
#include "sensitivities/revaluation_plan.h"
#include "sensitivities/scramble_errors.h"

namespace morvik {

namespace {

// Bytes of normals a task holds per cache of rows, at most (one path's rows
// are taken whatever their size): the runs of paths that share the cache are
// as long as it allows, up to a block. A five-year daily three-stock note
// (1827 days, 43 KB of rows a path) runs 47 paths at a time.
constexpr std::size_t kRowCacheBytes = std::size_t{2} << 20;

// One valuation of the list: its schedule scan, its engine job and the
// cache of rows it reads.
struct Member {
  RemainingValuation rest;
  SimJob sim;
  bool active = false;
  std::size_t cache = 0;
};

// Valuations whose rows are the same: one basket size and one lower factor
// (every valuation of a note's bump table), and the most days any of them
// steps through.
struct RowShare {
  const SimJob* first = nullptr;
  int days = 0;
};

// On the quasi-random stream a path's rows also depend on its days and its
// observation and coupon days (the Brownian bridge spans the former and
// sets the latter first).
bool SameRows(const SimJob& a, const SimJob& b, bool sobol) {
  return a.g.NStock == b.g.NStock && a.g.chol.size() == b.g.chol.size() &&
         std::memcmp(a.g.chol.data(), b.g.chol.data(), a.g.chol.size() * sizeof(double)) == 0 &&
         (!sobol || (a.g.D == b.g.D && SobolBridgeAnchors(a.g) == SobolBridgeAnchors(b.g)));
}

// The generator of a share's rows, one copy per slot of its cache.
std::unique_ptr<PathRowSource> RowSourceFor(const SimJob& job, std::uint64_t seed, const SobolPlan* sobol,
                                            int slots) {
  if (sobol != nullptr) {
    return std::make_unique<PathRowsFrom<SobolNormals>>(
        SobolNormals(job.g, *sobol), slots, job.g.NStock);
  }
  return std::make_unique<PathRowsFrom<PathNormals>>(PathNormals(job.g.chol.data(), job.g.NStock, seed), slots,
                                                     job.g.NStock);
}

struct BlockRun {
  std::vector<std::unique_ptr<Member>> members;
  std::vector<RowShare> shares;
  std::uint64_t seed = 0;
  int stocks = 0;
  long long paths = 0;
  long long blocks = 0;
  long long first = 0, last = 0;  // the blocks the tasks run
  int runPaths = 1;  // paths a cache holds
  // The one valuation with paths to run, when there is only one: nothing to
  // share, so it draws its rows as it steps (a row drawn right after each
  // step runs alongside the step's chain of arithmetic).
  const std::unique_ptr<Member>* alone = nullptr;

  // Batch means: block b's greeks at [b * greekCount + j], when wanted.
  const RevaluationPlan* plan = nullptr;
  std::size_t greekCount = 0;
  std::vector<double> blockGreeks;

  // Quasi-random stream: blocks never straddle two scramblings, and the
  // batches of the errors are the scramblings (perBatch blocks each), whose
  // sums per valuation are kept at [r * scrambles + batch].
  const SobolPlan* sobol = nullptr;
  long long perBatch = 1;
  std::vector<RunTally> batchSums;

  // The paths [from, to) of block b.
  void Range(long long b, long long& from, long long& to) const {
    const long long end = sobol == nullptr ? paths : (b / perBatch + 1) * sobol->points;
    from = sobol == nullptr ? b * kBlockPaths : (b / perBatch) * sobol->points + (b % perBatch) * kBlockPaths;
    to = from + kBlockPaths < end ? from + kBlockPaths : end;
  }

  // Each valuation's sums, added in block order.
  InBlockOrder<std::vector<RunTally>> order;
  // A split valuation: its role, and the part being written (kValue).
  const BlockSplit* split = nullptr;

  std::atomic<long long> next{0};
  std::atomic<long long> finished{0};
  ProgressMeter progress;
  StopSignal* stop = nullptr;
  std::vector<std::exception_ptr> errors;  // per task

  // Block b's greeks from the valuations' block prices (settled part plus
  // 10000 times the block's mean present value).
  void BlockGreeks(long long b, const std::vector<RunTally>& sums, Greeks& g) {
    ResetGreeks(g, stocks, 0.0);
    plan->Combine(
        [&](std::size_t r) {
          const Member& m = *members[r];
          if (!m.active) return plan->PriceAt(r);
          const Tally& t = sums[r].t;
          return m.sim.settled + kNotionalScale * (t.pvSum / static_cast<double>(t.paths));
        },
        g);
    const std::vector<double> row = GreekRow(g);
    std::copy(row.begin(), row.end(), blockGreeks.begin() + static_cast<std::ptrdiff_t>(b) *
                                                                static_cast<std::ptrdiff_t>(greekCount));
  }

  // Block b's sums, handed on in block order: added to each valuation's
  // sums (and its batch's), or written to the part of a split valuation.
  void Take(long long b, const std::vector<RunTally>& block) {
    const std::size_t R = members.size();
    if (split != nullptr && split->role == BlockSplit::Role::kValue) {
      for (std::size_t r = 0; r < R; ++r)
        if (members[r]->active) WriteRunTally(block[r], *split->out);
      return;
    }
    const std::size_t batches = batchSums.size() / R;
    const std::size_t batch = static_cast<std::size_t>(b / perBatch);
    for (std::size_t r = 0; r < R; ++r) {
      if (!members[r]->active) continue;
      AppendTally(members[r]->sim.acc, block[r]);
      if (batches > 0) AppendTally(batchSums[r * batches + batch], block[r]);
    }
  }

  // The sums of every block read from the parts of a split valuation, in
  // block order, handed on as the tasks hand on the blocks they value.
  void TakeParts(std::size_t active) {
    const long long valuations = static_cast<long long>(active);
    std::vector<const std::vector<double>*> ordered;
    if (split->parts != nullptr) ordered = OrderedParts(*split->parts, split->key, blocks, valuations);
    std::vector<double> pulled;
    std::size_t k = 0;
    std::vector<RunTally> sums(members.size());
    Greeks g;
    long long b = 0;
    while (b < blocks) {
      const std::vector<double>* part = nullptr;
      if (split->parts != nullptr) {
        part = ordered[k++];  // they cover every block
      } else {
        if (split->next == nullptr || !split->next(split->nextCtx, pulled))
          throw BadBlockParts("the parts miss a block");
        const PartHead h = ReadPartHead(pulled);
        CheckPartHead(h, split->key, blocks, valuations);
        if (h.first < b) throw BadBlockParts("two parts hold the same block");
        if (h.first > b) throw BadBlockParts("the parts miss a block");
        part = &pulled;
      }
      const long long end = ReadPartHead(*part).last;
      std::size_t at = kPartHeadSize;
      for (; b < end; ++b) {
        long long from = 0, to = 0;
        Range(b, from, to);
        for (std::size_t r = 0; r < members.size(); ++r) {
          if (!members[r]->active) continue;
          StartTally(members[r]->sim, from, sums[r]);
          ReadRunTally(*part, at, sums[r]);
        }
        if (!blockGreeks.empty()) BlockGreeks(b, sums, g);
        Take(b, sums);
      }
      if (at != part->size()) throw BadBlockParts("a part holds more than its blocks: it is damaged");
    }
  }

  // Task k: blocks taken in turn until none is left. An exception is carried
  // back to the calling thread instead of leaving the task. Task 0 reports
  // progress and polls the stop; the others check it.
  static void Work(void* ctx, int k) {
    BlockRun& run = *static_cast<BlockRun*>(ctx);
    if (run.first == run.last) return;  // nothing to simulate: no cache either
    try {
      const std::size_t n = run.members.size();
      std::vector<std::unique_ptr<PathRowSource>> sources;
      std::vector<std::unique_ptr<PathRowCache>> caches;
      for (const RowShare& s : run.shares) {
        if (run.alone != nullptr) break;
        sources.push_back(RowSourceFor(*s.first, run.seed, run.sobol, run.runPaths));
        caches.push_back(std::make_unique<PathRowCache>(*sources.back(), run.runPaths, s.days, s.first->g.NStock));
      }
      std::vector<PathScratch> scratch(n);
      std::vector<PathRowReader> readers;
      // The first active valuation's thresholds start the others' searches
      // on the same paths (the valuations of a run of paths go in order).
      ConditionalMemo memo;
      bool keeper = true;
      for (std::size_t r = 0; r < n; ++r) {
        const Member& m = *run.members[r];
        if (m.active) scratch[r] = m.sim.w;
        if (m.active && run.alone == nullptr) {
          scratch[r].condMemo = &memo;
          scratch[r].condKeeps = keeper;
          keeper = false;
        }
        if (run.alone == nullptr) readers.emplace_back(*caches[m.active ? m.cache : 0]);
      }
      std::vector<RunTally> sums(n);
      Greeks g;
      for (;;) {
        const long long b = run.next.fetch_add(1);
        if (b >= run.last) break;
        long long from = 0, to = 0;
        run.Range(b, from, to);
        sums.resize(n);  // empty when the last block was held
        for (std::size_t r = 0; r < n; ++r)
          if (run.members[r]->active) StartTally(run.members[r]->sim, from, sums[r]);
        if (run.alone != nullptr) {
          // A single valuation draws its rows as it steps, with no cache.
          const std::size_t r = static_cast<std::size_t>(run.alone - run.members.data());
          if (run.sobol != nullptr) {
            SimulateSobolBlock((*run.alone)->sim, *run.sobol, from, to, scratch[r], sums[r]);
          } else {
            SimulateAlignedBlock((*run.alone)->sim, run.seed, from, to, scratch[r], sums[r]);
          }
        }
        // Valuation after valuation over each run of paths: the first to
        // reach a day of a path draws its row, the others read it.
        for (long long first = from; run.alone == nullptr && first < to; first += run.runPaths) {
          const long long last = first + run.runPaths < to ? first + run.runPaths : to;
          for (const auto& c : caches) c->Start(first, static_cast<int>(last - first));
          for (std::size_t r = 0; r < n; ++r) {
            const Member& m = *run.members[r];
            if (m.active) SimulateAlignedRows(m.sim, readers[r], first, last, scratch[r], sums[r]);
          }
        }
        if (!run.blockGreeks.empty()) run.BlockGreeks(b, sums, g);
        run.order.Put(b, sums, [&run](long long number, const std::vector<RunTally>& block) {
          run.Take(number, block);
        });
        const long long done = run.finished.fetch_add(1) + 1;
        if (k == 0) run.progress.Report(static_cast<double>(done) / static_cast<double>(run.last - run.first));
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
                 const SobolPlan* sobol, int conditionalDays, const BlockSplit* split, int vectorWidth) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  ResetGreeks(greeks, args.NStock, 0.0);
  ResetGreeks(greekSE, args.NStock, nan);
  RevaluationPlan plan;
  plan.Build(args, out, mode);  // the core valuation alone below mode 1
  const int n = plan.Count();

  BlockRun run;
  run.seed = seed;
  run.stocks = args.NStock;
  run.plan = &plan;
  run.sobol = sobol;
  run.split = split;
  if (extras != nullptr) {
    run.progress.hook = extras->progress;
    run.stop = extras->stop;
  }
  for (int r = 0; r < n; ++r) {
    run.members.push_back(std::make_unique<Member>());
    Member& m = *run.members.back();
    m.active = StartValuation(*plan.sets[r], plan.outs[r], r == 0 ? extras : nullptr, m.rest, m.sim);
    if (!m.active) continue;
    if (m.sim.paths > run.paths) run.paths = m.sim.paths;
    m.sim.conditionalDays = conditionalDays;
    m.sim.conditionalSeed = sobol != nullptr ? sobol->seed : seed;
    StartTally(m.sim, 0, m.sim.acc);
    std::size_t c = 0;
    while (c < run.shares.size() && !SameRows(*run.shares[c].first, m.sim, sobol != nullptr)) ++c;
    if (c == run.shares.size()) run.shares.push_back(RowShare{&m.sim, 0});
    if (m.sim.g.D > run.shares[c].days) run.shares[c].days = m.sim.g.D;
    m.cache = c;
  }
  if (sobol != nullptr) {
    run.perBatch = (sobol->points + kBlockPaths - 1) / kBlockPaths;
    run.blocks = run.paths > 0 ? run.perBatch * sobol->scrambles : 0;
    if (run.blocks > 0) {
      run.batchSums.resize(static_cast<std::size_t>(n) * static_cast<std::size_t>(sobol->scrambles));
      for (int r = 0; r < n; ++r) {
        const Member& m = *run.members[static_cast<std::size_t>(r)];
        for (int k = 0; m.active && k < sobol->scrambles; ++k)
          StartTally(m.sim, 0, run.batchSums[static_cast<std::size_t>(r * sobol->scrambles + k)]);
      }
    }
  } else {
    run.blocks = (run.paths + kBlockPaths - 1) / kBlockPaths;
  }
  std::size_t active = 0;
  for (const auto& m : run.members) {
    if (!m->active) continue;
    ++active;
    run.alone = &m;
  }
  if (active != 1) run.alone = nullptr;
  // The lanes run the plain estimator on the path-addressed stream only.
  for (const auto& m : run.members)
    m->sim.laneWidth = sobol == nullptr ? LaneWidthFor(vectorWidth, run.alone == nullptr) : 1;
  std::size_t pathBytes = 0;
  for (const RowShare& s : run.shares)
    pathBytes += static_cast<std::size_t>(s.days) * static_cast<std::size_t>(s.first->g.NStock) * sizeof(double);
  const std::size_t fit = pathBytes > 0 ? kRowCacheBytes / pathBytes : static_cast<std::size_t>(kBlockPaths);
  run.runPaths = fit < 1 ? 1 : fit > static_cast<std::size_t>(kBlockPaths) ? static_cast<int>(kBlockPaths)
                                                                            : static_cast<int>(fit);
  const std::size_t B = static_cast<std::size_t>(run.blocks);
  const bool valueOnly = split != nullptr && split->role == BlockSplit::Role::kValue;
  if (mode >= 1 && B >= 2 && sobol == nullptr && !valueOnly) {
    run.greekCount = GreekRow(greekSE).size();
    run.blockGreeks.assign(B * run.greekCount, 0.0);
  }
  run.last = run.blocks;
  if (valueOnly) {
    // The part: its head, then its blocks' sums as the tasks hand them on.
    run.first = std::min(std::max(split->first, 0LL), run.blocks);
    run.last = std::min(std::max(split->last, run.first), run.blocks);
    run.next = run.first;
    run.order.StartAt(run.first);
    split->out->clear();
    WritePartHead(PartHead{split->key, run.blocks, run.first, run.last, static_cast<long long>(active)},
                  *split->out);
  }

  if (split != nullptr && split->role == BlockSplit::Role::kCombine) {
    run.TakeParts(active);
  } else {
    const int width = runner != nullptr && runner->run != nullptr && runner->width > 1 ? runner->width : 1;
    run.errors.assign(static_cast<std::size_t>(width), nullptr);
    if (width > 1) {
      runner->run(width, &BlockRun::Work, &run);
    } else {
      BlockRun::Work(&run, 0);
    }
    for (const std::exception_ptr& e : run.errors)
      if (e) std::rethrow_exception(e);
  }
  run.progress.Report(1.0);
  if (valueOnly) return 1;  // the blocks' sums are the caller's to combine

  for (int r = 0; r < n; ++r) {
    Member& m = *run.members[static_cast<std::size_t>(r)];
    if (m.active) FinishSimulation(m.sim);
  }
  // Batches: the blocks, or on the quasi-random stream the scramblings.
  const std::size_t batches = sobol != nullptr ? static_cast<std::size_t>(sobol->scrambles) : B;
  if (sobol != nullptr && extras != nullptr) {
    if (B > 0 && run.members[0]->active) {
      ScrambleErrors(run.members[0]->sim, run.batchSums.data(), batches, 1, *extras);
    } else if (extras->probSE.size() >= 2) {
      extras->redeemedBySE.assign(extras->probSE.size() - 2, 0.0);  // nothing simulated: every share settled
    }
  }
  if (mode < 1) return 1;
  plan.Combine([&](std::size_t r) { return plan.PriceAt(r); }, greeks);

  // Batch means: the spread of the batches' greeks, weighted by their paths.
  if (B < 2 || batches < 2) return 1;
  // Batch b's greeks at [b * G + j]: the blocks' rows as the tasks left
  // them, or on the quasi-random stream each scrambling's, from its sums.
  const double total = static_cast<double>(run.paths);
  const std::size_t G = GreekRow(greekSE).size();
  if (sobol != nullptr) run.blockGreeks.assign(batches * G, 0.0);
  std::vector<double> weight(batches);
  Greeks g;
  for (std::size_t b = 0; b < batches; ++b) {
    long long from = 0, to = 0, last = 0;
    if (sobol != nullptr) {
      ResetGreeks(g, args.NStock, 0.0);
      plan.Combine(
          [&](std::size_t r) {
            const Member& m = *run.members[r];
            if (!m.active) return plan.PriceAt(r);
            const Tally& t = run.batchSums[r * batches + b].t;
            return m.sim.settled + kNotionalScale * (t.pvSum / static_cast<double>(t.paths));
          },
          g);
      const std::vector<double> row = GreekRow(g);
      std::copy(row.begin(), row.end(), run.blockGreeks.begin() + static_cast<std::ptrdiff_t>(b * G));
      run.Range(static_cast<long long>(b) * run.perBatch, from, to);
      run.Range(static_cast<long long>(b) * run.perBatch + run.perBatch - 1, last, to);
    } else {
      run.Range(static_cast<long long>(b), from, to);
    }
    weight[b] = static_cast<double>(to - from) / total;
  }
  std::vector<double> se = GreekRow(greekSE);
  const std::size_t computed = mode >= 2 ? se.size() : se.size() - 2;
  std::vector<double> column(batches);
  for (std::size_t j = 0; j < computed; ++j) {
    for (std::size_t b = 0; b < batches; ++b) column[b] = run.blockGreeks[b * G + j];
    se[j] = BatchMeanSE(column, weight);
  }
  GreeksFromRow(se, greekSE);
  return 1;
}

}  // namespace morvik
