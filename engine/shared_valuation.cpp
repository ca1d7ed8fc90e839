// Several valuations drawing their normals from one shared stream: each is
// prepared as a single valuation would be, then the one furthest behind in
// its stream runs its next batch of paths, so that all of them move through
// the stream together while it is in memory.
#include "engine/shared_valuation.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "engine/core_valuation.h"

namespace morvik {

namespace {

// Paths a valuation runs before the one furthest behind in the stream gets
// its turn: small enough that the valuations read the same stretch of the
// stream while it is in cache.
constexpr long long kBatchPaths = 32;

}  // namespace

int MorvikCoreShared(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                     const StreamLimits& limits, ValuationExtras* const* extras, StopSignal* stop,
                     bool pollStop) {
  struct Job {
    RemainingValuation p;
    SimJob sim;
    SharedReader reader;
    bool active = false;
  };
  std::vector<std::unique_ptr<Job>> jobs;
  jobs.reserve(static_cast<std::size_t>(n));
  for (int r = 0; r < n; ++r) {
    jobs.push_back(std::make_unique<Job>());
    Job& job = *jobs.back();
    job.active = StartValuation(*sets[r], outs[r], extras != nullptr ? extras[r] : nullptr, job.p, job.sim);
    status[r] = 1;
  }
  // One stream of correlated rows per basket size and correlation factor
  // (one for the revaluations of a note, whose bumps leave both alone),
  // sharing the memory cap.
  std::vector<const Job*> keys;  // first job of each basket
  std::vector<std::size_t> keyOf(jobs.size(), 0);
  for (std::size_t r = 0; r < jobs.size(); ++r) {
    const Job& job = *jobs[r];
    if (!job.active) continue;
    std::size_t m = 0;
    while (m < keys.size() && !(keys[m]->sim.g.NStock == job.sim.g.NStock &&
                                keys[m]->sim.g.chol == job.sim.g.chol))
      ++m;
    if (m == keys.size()) keys.push_back(&job);
    keyOf[r] = m;
  }
  StreamLimits each = limits;
  if (!keys.empty()) each.maxChunks = std::max<std::size_t>(1, limits.maxChunks / keys.size());
  std::vector<std::unique_ptr<SharedStream>> streams;
  for (const Job* k : keys) {
    streams.push_back(std::make_unique<SharedStream>(each, k->sim.g.NStock, k->sim.g.chol.data()));
  }
  for (std::size_t r = 0; r < jobs.size(); ++r) {
    if (jobs[r]->active) jobs[r]->reader.stream = streams[keyOf[r]].get();
  }
  // The valuation furthest behind in its stream runs next, so that all of
  // them move through it together.
  for (;;) {
    Job* next = nullptr;
    for (auto& job : jobs) {
      if (job->active && (next == nullptr || job->reader.Position() < next->reader.Position()))
        next = job.get();
    }
    if (next == nullptr) break;
    // Chunks below the slowest reader of this stream are not needed again.
    std::int64_t lowest = next->reader.chunk;
    for (auto& job : jobs) {
      if (job->active && job->reader.stream == next->reader.stream && job->reader.chunk < lowest)
        lowest = job->reader.chunk;
    }
    next->reader.stream->Release(lowest);
    next->reader.Attach();
    const bool done = SimulateBatch(next->sim, next->reader, kBatchPaths);
    next->reader.Detach();
    if (stop != nullptr) stop->After(kBatchPaths, pollStop);
    if (done) {
      next->active = false;
      FinishSimulation(next->sim);
    }
  }
  return 0;
}

}  // namespace morvik
