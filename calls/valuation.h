// The library's internal full entry with the precision of every figure in
// view: the full call of CalcMorvikMC (same validation, assembly, trace and
// statuses) with a choice of stream and seed, standard errors, convergence
// points, progress reports and replications over seeds. For the tool and
// other callers inside the project; the exports never reach it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "calls/extended_args.h"
#include "calls/validation.h"
#include "engine/valuation_extras.h"
#include "logging/log_writer.h"
#include "numerics/sobol.h"
#include "sensitivities/block_parts.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// Status of a call whose options are out of range (nothing is valued): a
// vector width that cannot run here (VectorWidthProblem), a
// split valuation that is not one run on the aligned or sobol stream, a
// default-stream seed (or the last replication's) outside 0..kSeeds-1, fewer
// than 1 replication, a progress or stop hook's context without function;
// the conditional estimator on the default stream;
// on the quasi-random stream, no valid direction numbers, fewer than 2
// scramblings, or (for a note whose NTrials is a number >= 1) trials that
// are not a whole multiple of the scramblings.
// A call its stop hook stopped returns kValuationInterrupted
// (calls/extended_entry.h).
inline constexpr int kBadValuationOptions = -9;

enum class StreamKind {
  kDefault,  // the generator of numerics/random.h read path after path (the exports' stream)
  kAligned,  // path-addressed normals (engine/path_normals.h): paths in blocks over threads
  // Scrambled Sobol points through a Brownian bridge (engine/sobol_normals.h),
  // path-addressed and in blocks over threads as kAligned.
  kSobol,
};

// How each path's outcome counts: as drawn (the library's estimator), or
// with each observation date's redemption conditioned on the endpoint of a
// window of days before it (engine/conditional_path.h: unbiased, smooth in
// the inputs; aligned and quasi-random streams only).
enum class Estimator { kPlain, kConditional };

struct ValuationOptions {
  // No seed: the default stream is the exports' fixed stream, the aligned
  // stream uses key 0. Default stream: seeds 0..63 (0 is the fixed stream);
  // aligned stream: any 64-bit seed.
  std::optional<std::uint64_t> seed;
  StreamKind stream = StreamKind::kDefault;
  // Default stream: the valuations of the sensitivities are grouped over
  // the runner's tasks (as CalcMorvikMC's runner). Aligned: the path blocks
  // of every valuation are. Results never depend on the runner.
  const TaskRunner* runner = nullptr;
  // Called with the fraction of the paths done, at most about 100 times a
  // call, never from two threads at once: default stream, from the calling
  // thread (from the thread that runs the runner's task 0 when the
  // sensitivities are grouped over it); aligned, from the thread that runs
  // the runner's task 0, and 1.0 last from the calling thread. Not called
  // when nothing is simulated (a note settled on its fixings, a rejection).
  ProgressCallback progress;
  // Asked whether to stop, from the thread progress is reported from, every
  // kStopPollPaths paths or so of that thread's (whether or not there is a
  // progress hook); true stops every valuation of the call at its next
  // batch of paths, and the call returns kValuationInterrupted with no
  // outputs. Must not throw.
  StopCallback stop;
  // Path counts at which the running price and its error are reported
  // (rising; counts not below the run's paths are skipped; the run's own
  // count always ends the table). ConvergenceCheckpoints gives the usual ones.
  std::vector<long long> checkpoints;
  // K > 1: the mean of K valuations on the seeds seed .. seed + K - 1 (no
  // seed: 0 .. K - 1), each greek with the spread of its K values.
  int replications = 1;
  // kSobol: the direction numbers (held by the caller for the call), and
  // the independent scramblings of the seed that share the trials: the
  // estimate is the mean of their means and every standard error (price,
  // probabilities, greeks) the spread of those means. Convergence points
  // are not kept (a part of the paths is not a valuation of fewer trials):
  // the table holds the final row only.
  const SobolDirections* sobol = nullptr;
  int scrambles = 16;
  // kConditional with the default stream is an option out of range.
  Estimator estimator = Estimator::kPlain;
  // A valuation split by ranges of blocks (sensitivities/block_parts.h):
  // one run on the aligned or sobol stream. Role kValue: the part goes to
  // split->out and the result holds no figures (status as the call's, or a
  // rejection); role kCombine: the figures of the parts, bit for bit those
  // of the call unsplit, or kBadBlockParts with partsProblem.
  const BlockSplit* split = nullptr;
  // Paths the plain estimator of the aligned stream runs side by side in
  // the vector registers: 0 auto (engine/lane_paths.h, LaneWidthFor: the
  // widest this processor has for the greeks' shared rows, one path at a
  // time for a single valuation), 1 one at a time, 2, or 4 (an option out of
  // range without AVX2, see VectorWidthProblem). The figures are the same bits whatever the width;
  // the default stream, the sobol stream and the conditional estimator run
  // one path at a time.
  int vectorWidth = 0;
};

// Why a vector width cannot run here (not 0, 1, 2 or 4; 4 on a processor
// or build without AVX2), or null when it can.
const char* VectorWidthProblem(int width);

// The price after `paths` paths (what a call of `paths` trials gives, bit
// for bit) and its standard error, scaled to the notional.
struct ConvergenceRow {
  long long paths = 0;
  double price = 0.0;
  double priceSE = 0.0;
};

struct ValuationResult {
  int status = 0;  // as CalcMorvikMC, or kBadValuationOptions, or kValuationInterrupted
  // The export's three outputs in its layout (calls/layout.h); empty
  // unless the call priced.
  std::vector<double> ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf, ResultPrice;
  // Standard errors, scaled like the figures they belong to: the price's;
  // each outcome probability's and each coupon probability's (binomial, 0
  // for one settled from known fixings); and ResultSE laid out like
  // ResultPrice: [0] the price's, then every greek's where one is available
  // (aligned stream or replications), NaN where not.
  double priceSE = 0.0;
  std::vector<double> outcomeProbSE;  // NStrike + 2
  std::vector<double> couponProbSE;   // NCoupon
  // The sobol stream's error of the share of paths redeemed on or before
  // each date, from the scramblings' spread (NStrike); empty otherwise.
  std::vector<double> redeemedBySE;
  std::vector<double> ResultSE;
  std::vector<ConvergenceRow> convergence;
  // Per slot of the whole note, as the valuation used it (sized when
  // priced): the discount factor of its payment (a maturity slot's: the last
  // date's), and whether it was settled on the pricing date rather than
  // simulated: a date or coupon that is over, the pending payment valued
  // from its fixings, or every slot when nothing was simulated.
  std::vector<double> outcomeDF;       // NStrike + 2
  std::vector<double> couponDF;        // NCoupon
  std::vector<bool> outcomeSettled;    // NStrike + 2
  std::vector<bool> couponSettled;     // NCoupon
  // A call the validation rejected: the code and where its check looked
  // (code 1 and no place for any other status).
  ValidationFault fault;
  std::string partsProblem;  // kBadBlockParts: why
};

// The full call of `args` (its output pointers are not read or written)
// with `options`. Never throws; with default options every output is
// bit-identical to CalcMorvikMC's.
ValuationResult ValueNote(const ExtendedArgs& args, const ValuationOptions& options = ValuationOptions{},
                          LogClock clock = nullptr) noexcept;

// 1000, 2000, 5000, 10000, 20000, 50000, ... below `trials`.
std::vector<long long> ConvergenceCheckpoints(double trials);

// Whether `trials` trials split equally among `scrambles` scramblings of
// the quasi-random stream (a whole multiple of them). Trials that are no
// count at all, and scramblings below 1, pass: they are other checks' to
// reject.
bool ScramblingsShare(int scrambles, double trials);

}  // namespace morvik
