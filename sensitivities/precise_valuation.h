// A full call's valuations with their precision in view: the stream and its
// seed, standard errors of every figure that has one, convergence points,
// progress, and replications over seeds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core_args.h"
#include "engine/valuation_extras.h"
#include "numerics/sobol.h"
#include "sensitivities/block_parts.h"
#include "sensitivities/sensitivities.h"
#include "sensitivities/task_runner.h"

namespace morvik {

struct PrecisionRequest {
  bool aligned = false;     // the path-addressed stream instead of the default one
  // The quasi-random stream (engine/sobol_normals.h) on these direction
  // numbers instead, in `scrambles` scramblings of the call's paths (which
  // they divide) under the seed.
  const SobolDirections* sobol = nullptr;
  int scrambles = 0;
  std::uint64_t seed = 0;   // default stream: 0 .. kSeeds - 1 (0 is the fixed stream)
  int replications = 1;     // K > 1: K valuations on seeds seed .. seed + K - 1
  const TaskRunner* runner = nullptr;
  ProgressCallback progress;
  StopSignal* stop = nullptr;  // polled with the progress, over all replications
  std::vector<long long> checkpoints;
  // > 0: the conditional estimator (engine/conditional_path.h) with windows
  // of that many days; on the aligned or the quasi-random stream only.
  int conditionalDays = 0;
  // A valuation split by ranges of blocks (aligned or quasi-random stream,
  // one run; see ValueAligned), or none.
  const BlockSplit* split = nullptr;
  // Paths the plain loop of the aligned stream runs side by side
  // (engine/lane_paths.h, LaneWidthFor; 0 auto); the figures do not depend on it.
  int vectorWidth = 0;
};

// Errors per 10000 of notional (probabilities as fractions).
struct PrecisionReport {
  ValuationExtras extras;  // price and probability errors, convergence points
  Greeks greekSE;          // NaN where none is available
  std::string partsProblem;  // why the parts of a split valuation were refused
};

// The core valuation of `args` into `out` and the sensitivities of `mode`
// (as ValueWithSensitivities). One valuation: on the default stream of the
// seed through ValueWithSensitivities (no greek errors), or on the
// path-addressed stream through ValueAligned (greek errors by batch means),
// or on the quasi-random stream through ValueAligned with a plan (errors
// from the spread of the scramblings).
// K replications: every output is the mean of K valuations on consecutive
// seeds; the errors of the price and the probabilities are those of that
// mean (root of the summed squared errors over K), each greek's is the
// spread of its K values over sqrt(K); the convergence points and the
// slots' facts are those of the first replication, and progress runs once
// over all of them. Returns the core valuation's status; throws
// std::bad_alloc, or ValuationStopped once the request's stop was asked for,
// or BadBlockParts for a split valuation whose parts do not fit.
int ValueWithPrecision(const CoreArgs& args, const CoreResults& out, int mode, const PrecisionRequest& request,
                       Greeks& greeks, PrecisionReport& report);

}  // namespace morvik
