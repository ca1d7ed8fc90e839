// The full call's valuations on the path-addressed stream, split into blocks
// of paths that the caller's threads may value in any order.
#pragma once

#include <cstdint>

#include "engine/core_args.h"
#include "engine/valuation_extras.h"
#include "sensitivities/sensitivities.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// Paths of a block: the unit of a thread's work and of the batch means. Fixed,
// whatever the number of threads, so that the results do not depend on it.
inline constexpr long long kBlockPaths = 128;

// The core valuation of `args` into `out` and the sensitivities of `mode`
// (as ValueWithSensitivities), every valuation on the path-addressed stream
// of `seed` (engine/path_normals.h). Paths run in blocks of kBlockPaths:
// each valuation's block sums are added in block order (a block that
// finishes early waits for those before it), so every figure is the same
// bit for bit whatever the runner (none: all on the calling thread). A
// runner of width w runs w tasks that take the next block in turn, each
// block for every valuation; the valuations of a block read its rows of
// normals drawn once (engine/path_rows.h), bit for bit the rows each would
// draw on its own.
//
// `greekSE` receives each greek's standard error from batch means: block b's
// greek from the block prices (settled part plus 10000 times the block's
// mean present value) of the valuations it combines, and the spread of those
// greeks weighted by block size; NaN for greeks not computed or below two
// blocks. `extras`, when given, receives the core valuation's errors and
// convergence points; progress (the fraction of blocks done) is reported by
// the runner's task 0, and 1.0 at the end by the calling thread, never from
// two threads at once. Its stop is polled by task 0 and checked by the
// others after every block. Returns 1, the core valuation's status; throws
// std::bad_alloc when anything cannot be allocated, ValuationStopped when
// stopped.
//
// `sobol` (optional) puts every valuation on the quasi-random stream of the
// plan (engine/sobol_normals.h; its seed replaces `seed`; the paths must be
// plan.scrambles * plan.points): blocks then stay inside one scrambling,
// the batches of the greeks' errors are the scramblings, and the price's
// and the probabilities' errors in `extras` are the spread of the
// scramblings' means (ScrambleErrors).
//
// `conditionalDays` > 0 runs every valuation on the conditional estimator
// (engine/conditional_path.h) with windows of that many days; the outcome
// and coupon probabilities' errors then come from the paths' weights.
// `split` (optional; sensitivities/block_parts.h) values one range of the
// blocks into a part and returns 1 with nothing combined (the outputs are
// then not the call's), or values nothing and combines the full set of
// parts instead: the blocks' sums go through the same steps in block
// order, so the figures are those of the call valued here, bit for bit.
// Parts that do not fit throw BadBlockParts.
// `vectorWidth` picks the paths the plain loop of the path-addressed stream
// runs side by side (engine/lane_paths.h, LaneWidthFor: 0 auto, 1, 2 or 4);
// the figures do not depend on it.
struct SobolPlan;
struct BlockSplit;
int ValueAligned(const CoreArgs& args, const CoreResults& out, int mode, std::uint64_t seed,
                 const TaskRunner* runner, Greeks& greeks, Greeks& greekSE, ValuationExtras* extras,
                 const SobolPlan* sobol = nullptr, int conditionalDays = 0, const BlockSplit* split = nullptr,
                 int vectorWidth = 0);

// Greeks as one row (delta, gamma, vega of every stock, then theta, rho)
// and back.
std::vector<double> GreekRow(const Greeks& g);
void GreeksFromRow(const std::vector<double>& row, Greeks& g);

}  // namespace morvik
