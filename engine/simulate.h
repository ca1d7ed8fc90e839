// The Monte Carlo engine: daily paths of the basket under local volatility,
// the note's event tests and payoffs, and the accumulation of results.
#pragma once

#include <vector>

#include "engine/engine_grids.h"
#include "engine/shared_stream.h"
#include "engine/core_args.h"

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

// Raw sums of one engine call: path counts and undiscounted payoffs per
// outcome slot and per coupon, and the price sum.
struct Tally {
  std::vector<double> prob;
  std::vector<double> cf;
  std::vector<double> couponProb;
  std::vector<double> couponCf;
  double price = 0.0;
};

// Per-path working rows of the path loop.
struct PathScratch {
  std::vector<double> x, y;
  std::vector<int> mem;
  std::vector<int> place;      // per stock: where it stood on its surface the day before
  std::vector<double> window;  // every date's window (EngineGrids::window)
};

// One engine call taken a batch of paths at a time, so that several
// valuations can move through one shared stream of normals together.
struct SimJob {
  CoreArgs view;
  CoreResults out;
  EngineGrids g;
  Tally t;
  PathScratch w;
  long long nextPath = 0;
  bool done = true;
};

// The steps of SimulateELS on a job: set-up, the next `paths` paths drawn
// from `normals` (returns true when every path has run), and the results.
// Run to the end on the stream restarted from its seed, they give exactly
// what SimulateELS gives. May throw std::bad_alloc.
void StartSimulation(const CoreArgs& view, int fixedCount, const CoreResults& out, SimJob& job);
bool SimulateBatch(SimJob& job, SharedReader& normals, long long paths);
void FinishSimulation(SimJob& job);

// FX volatility row of one stock, m entries (entry n belongs to the step that
// starts on day n). quantoFlag 0: zeros; 1: daily forward volatilities;
// other: the term volatility interpolated linearly in time at n/365.
void BuildFxVolRow(int quantoFlag, const double* T, const double* V, int n, double* out, int m);

}  // namespace morvik
