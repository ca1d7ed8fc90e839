// The full call's valuation with its bump-and-revalue sensitivities.
#pragma once

#include <vector>

#include "engine/core_args.h"
#include "engine/shared_stream.h"
#include "engine/valuation_extras.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// The sensitivities of a note, per 10000 of notional: delta, gamma and vega
// of stock i at [i] (counted from 0), theta per day and rho.
struct Greeks {
  std::vector<double> delta, gamma, vega;
  double theta = 0.0;
  double rho = 0.0;
};

// The core valuation of `args` into `out` and the sensitivities the rows of
// bump_table.h give for `mode`: none for mode 0, delta, gamma and vega of
// every stock for mode >= 1, theta and rho as well for mode >= 2 (those
// not computed stay 0). All valuations draw from one shared stream of
// normals (see MorvikCoreShared); every figure is exactly what the core
// gives for each bumped set on its own. Returns the core valuation's
// status; throws std::bad_alloc when anything cannot be allocated.
//
// With a runner of width > 1 the valuations are split round-robin into at
// most `width` groups, each valued on its own stream as one of the runner's
// tasks; `limits` then bounds the memory of all groups together. Every
// figure is bit-identical to no runner. The exported functions pass none:
// the library itself starts no thread.
//
// limits.seed picks the stream (0: the fixed one). `extras`, when given,
// receives the core valuation's standard errors and convergence points
// (see ValuationExtras; progress is reported, and its stop polled, from
// the thread that values the core valuation's group; the other groups check
// the stop between batches of paths and throw ValuationStopped once it was
// asked for).
int ValueWithSensitivities(const CoreArgs& args, const CoreResults& out, int mode, Greeks& greeks,
                           const StreamLimits& limits = StreamLimits{},
                           const TaskRunner* runner = nullptr, ValuationExtras* extras = nullptr);

}  // namespace morvik
