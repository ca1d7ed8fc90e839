// The Monte Carlo engine: daily paths of the basket under local volatility,
// the note's event tests and payoffs, and the accumulation of results.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/shared_stream.h"
#include "engine/core_args.h"
#include "engine/valuation_extras.h"

namespace morvik {

// Values everything still to come on a note whose schedules have already been
// shifted past the dates that are over: index 0 of every per-date array is the
// first remaining observation date, index 0 of every coupon array the first
// remaining coupon, NStrike and NCoupon are the remaining counts.
// `view.BeKO_Hitted` is the core entry's private copy of the memory flags and
// `view.BeCouponBarrierHitted` its carried coupon-breach state; `FixedFlag` and
// `Coupon_SC` are not read. `fixedCount` is the number of fixings in `SC`.
// `out` is the result block shifted the same way (ResultPrice unshifted); the
// engine writes its outcome and coupon slots and ADDS its price to
// ResultPrice[0]. Returns 1; returns 1 without simulating when no observation
// date remains. May throw std::bad_alloc.
int SimulateELS(const CoreArgs& view, int fixedCount, const CoreResults& out);

// Raw sums of one engine call (or of one block of its paths): path counts
// and undiscounted payoffs per outcome slot and per coupon, the price sum
// (each path's present value over NTrials), and the sum and the sum of
// squares of the paths' present values (per unit of notional) behind the
// price's standard error.
struct Tally {
  std::vector<double> prob;
  std::vector<double> cf;
  std::vector<double> couponProb;
  std::vector<double> couponCf;
  double price = 0.0;
  double pvSum = 0.0;
  double pvSq = 0.0;
  long long paths = 0;
  // Sums of squares of each path's weight per outcome slot and per coupon,
  // kept only by the conditional estimator (engine/conditional_path.h),
  // whose paths add fractions of a path to several slots; empty otherwise
  // (a path then adds 0 or 1, its own square).
  std::vector<double> probSq;
  std::vector<double> couponProbSq;
};

// A checkpoint of a run: the price sum a valuation of `paths` trials would
// have (each present value over `paths`, for the paths below it) and the
// raw sums after its last path.
struct CheckpointTally {
  long long paths = 0;
  double price = 0.0;
  Tally at;
};

// The sums of a run of paths, with its checkpoints.
struct RunTally {
  Tally t;
  std::vector<CheckpointTally> ck;
};

// The conditional estimator's thresholds of one valuation of a run of
// paths, by (path, date): where the other valuations of the same paths
// start their searches (engine/conditional_path.h). Direct-mapped; an entry
// counts only for its own path and date.
struct ConditionalMemo {
  std::vector<long long> path;  // -1: empty
  std::vector<int> date;
  std::vector<double> at, slope;
  int stride = 0;  // dates per path slot
};

// Per-path working rows of the path loop.
struct PathScratch {
  std::vector<double> x, y;
  std::vector<int> mem;
  std::vector<int> place;      // per stock: where it stood on its surface the day before
  std::vector<double> window;  // every date's window (EngineGrids::window)
  // The conditional estimator's rows (sized by it on first use).
  std::vector<double> condDoubles;
  std::vector<int> condInts;
  // Shared by the valuations of one task; `condKeeps`: this valuation
  // writes it (the first of a run of paths), the others read it.
  ConditionalMemo* condMemo = nullptr;
  bool condKeeps = false;
};

// One engine call taken a batch of paths at a time, so that several
// valuations can move through one shared stream of normals together.
// `extras` (optional) receives the standard errors and convergence points,
// at slots moved by `dateShift` and `couponShift` (the shift of the view).
struct SimJob {
  CoreArgs view;
  CoreResults out;
  EngineGrids g;
  RunTally acc;
  PathScratch w;
  long long nextPath = 0;
  long long paths = 0;    // paths of the run: those whose index is below NTrials
  double settled = 0.0;   // ResultPrice[0] before the engine adds to it
  std::vector<long long> checkpoints;  // rising, each below `paths`
  bool done = true;
  ValuationExtras* extras = nullptr;
  int dateShift = 0;
  int couponShift = 0;
  ProgressMeter progress;
  // > 0: the paths run the conditional estimator (engine/conditional_path.h)
  // on windows of at most that many days before each observation date, its
  // truncated draws addressed under `conditionalSeed`. Set before the first
  // tally is started.
  int conditionalDays = 0;
  std::uint64_t conditionalSeed = 0;
  // Paths run side by side by the plain loop on the path-addressed stream
  // (engine/lane_paths.h): 1, or 2 or 4 as LaneWidthFor gives; the
  // conditional estimator and the sobol stream run 1 whatever it is. The sums
  // are the same whatever the width.
  int laneWidth = 1;
};

// The steps of SimulateELS on a job: set-up, the next `paths` paths drawn
// from `normals` (returns true when every path has run), and the results.
// Run to the end on the stream restarted from its seed, they give exactly
// what SimulateELS gives. May throw std::bad_alloc.
void StartSimulation(const CoreArgs& view, int fixedCount, const CoreResults& out, SimJob& job,
                     ValuationExtras* extras = nullptr, int dateShift = 0, int couponShift = 0);
bool SimulateBatch(SimJob& job, SharedReader& normals, long long paths);
void FinishSimulation(SimJob& job);

// SimulateELS from the stream of seed `seed` (SeededStreamStart), with the
// extras of StartSimulation; progress is reported from the calling thread.
int SimulateELS(const CoreArgs& view, int fixedCount, const CoreResults& out, int seed,
                ValuationExtras* extras, int dateShift, int couponShift);

// Paths [from, to) of a started job on the path-addressed stream of `seed`
// (see engine/path_normals.h) into `acc` (empty on entry: fresh sums and the
// job's checkpoints above `from`), with the caller's scratch rows (a copy
// of job.w). Reads the job only, so blocks may run on several threads.
void SimulateAlignedBlock(const SimJob& job, std::uint64_t seed, long long from, long long to,
                          PathScratch& w, RunTally& acc);

// The same on the quasi-random stream of `plan` (engine/sobol_normals.h).
struct SobolPlan;
void SimulateSobolBlock(const SimJob& job, const SobolPlan& plan, long long from, long long to, PathScratch& w,
                        RunTally& acc);

class PathRowReader;

// SimulateAlignedBlock with the rows read through `rows` (engine/path_rows.h),
// a cache that other valuations of the same paths share: paths [from, to)
// must lie in the cache's current run. Gives the same sums as
// SimulateAlignedBlock when the cache draws from that stream.
void SimulateAlignedRows(const SimJob& job, PathRowReader& rows, long long from, long long to, PathScratch& w,
                         RunTally& acc);

// One path's present value into the sums of a run (its path index `p`
// places it among the checkpoints).
void AddPathValue(RunTally& acc, long long p, double pv, double trials);

// A run's sums as they start: zero sums sized for the job, with the job's
// checkpoints above `from`.
void StartTally(const SimJob& job, long long from, RunTally& acc);

// Adds the sums of a later run of paths (`next`, which starts where `acc`
// ends) to `acc`: the sums and, checkpoint by checkpoint, the price sums,
// and the raw sums at the checkpoint (those of `next` at its checkpoint
// when it is inside `next`, all of them when it lies beyond).
void AppendTally(RunTally& acc, const RunTally& next);

// FX volatility row of one stock, m entries (entry n belongs to the step that
// starts on day n). quantoFlag 0: zeros; 1: daily forward volatilities;
// other: the term volatility interpolated linearly in time at n/365.
void BuildFxVolRow(int quantoFlag, const double* T, const double* V, int n, double* out, int m);

}  // namespace morvik
