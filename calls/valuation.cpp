// The internal full entry: CalcMorvikMC's call with a valuation step that
// keeps the precision of its figures.
#include "calls/valuation.h"

#include <cmath>
#include <limits>
#include <utility>

#include "calls/extended_entry.h"
#include "calls/layout.h"
#include "engine/conditional_path.h"
#include "engine/lane_paths.h"
#include "interface/morvik.h"
#include "numerics/conventions.h"
#include "numerics/random.h"
#include "sensitivities/precise_valuation.h"

namespace morvik {

namespace {

bool OptionsValid(const ValuationOptions& o) {
  if (o.replications < 1) return false;
  if (VectorWidthProblem(o.vectorWidth) != nullptr) return false;
  if (o.split != nullptr && (o.stream == StreamKind::kDefault || o.replications != 1)) return false;
  if (o.stream == StreamKind::kSobol && (o.sobol == nullptr || !o.sobol->Valid() || o.scrambles < 2)) return false;
  if (o.stream == StreamKind::kDefault && o.estimator != Estimator::kPlain) return false;
  if (o.stream == StreamKind::kDefault) {
    const std::uint64_t first = o.seed.value_or(0);
    if (first >= static_cast<std::uint64_t>(kSeeds)) return false;
    if (first + static_cast<std::uint64_t>(o.replications) > static_cast<std::uint64_t>(kSeeds)) return false;
  }
  return (o.progress.fn != nullptr || o.progress.ctx == nullptr) && (o.stop.fn != nullptr || o.stop.ctx == nullptr);
}

bool SobolTrialsFit(const ValuationOptions& o, double trials) {
  return o.stream != StreamKind::kSobol || ScramblingsShare(o.scrambles, trials);
}

}  // namespace

const char* VectorWidthProblem(int width) {
  if (width != 0 && width != 1 && width != 2 && width != 4) return "the vector width is 1, 2, 4 or auto";
  if (width != 0 && !LaneWidthAvailable(width))
    return width == 4 ? "a vector width of 4 needs a processor with AVX2 (and a 64-bit Linux build)"
                      : "a vector width of 2 needs an x86 build with SSE2";
  return nullptr;
}

bool ScramblingsShare(int scrambles, double trials) {
  if (scrambles < 1 || !(trials >= 1.0) || !std::isfinite(trials)) return true;
  return trials == std::floor(trials) && std::fmod(trials, static_cast<double>(scrambles)) == 0.0;
}

std::vector<long long> ConvergenceCheckpoints(double trials) {
  std::vector<long long> points;
  const long long steps[3] = {1, 2, 5};
  for (long long scale = 1000; static_cast<double>(scale) < trials && scale < (1LL << 60); scale *= 10)
    for (const long long s : steps)
      if (static_cast<double>(s * scale) < trials) points.push_back(s * scale);
  return points;
}

ValuationResult ValueNote(const ExtendedArgs& args, const ValuationOptions& options, LogClock clock) noexcept {
  ValuationResult result;
  if (!OptionsValid(options) || !SobolTrialsFit(options, args.NTrials)) {
    result.status = kBadValuationOptions;
    return result;
  }
  try {
    PrecisionRequest request;
    request.aligned = options.stream == StreamKind::kAligned;
    if (options.stream == StreamKind::kSobol) {
      request.sobol = options.sobol;
      request.scrambles = options.scrambles;
    }
    request.seed = options.seed.value_or(0);
    if (options.estimator == Estimator::kConditional) request.conditionalDays = kConditionalDays;
    request.replications = options.replications;
    request.runner = options.runner;
    request.split = options.split;
    request.vectorWidth = options.vectorWidth;
    request.progress = options.progress;
    StopSignal stop(options.stop);
    if (options.stop.fn != nullptr) request.stop = &stop;
    if (options.stream != StreamKind::kSobol) request.checkpoints = options.checkpoints;
    PrecisionReport rep;
    CallOutputs outputs;
    result.status = RunFullCall(args, clock, request, rep, outputs, false);
    if (result.status < 0) result.fault = outputs.fault;
    if (result.status == kBadBlockParts) result.partsProblem = std::move(rep.partsProblem);
    if (outputs.sens.empty()) return result;
    // A part valued: its sums are in the split's array; no figures here.
    if (options.split != nullptr && options.split->role == BlockSplit::Role::kValue) return result;

    // The figures and their errors, scaled as the full call scales them
    // (the call has priced, so CalcFlag has passed validation).
    const double notional = args.NotionalAMT;
    const auto scaledPrice = [notional](double v) { return (notional / kNotionalScale) * v; };
    result.ELS_Prob_n_Cf = std::move(outputs.prob);
    result.ELS_Coupon_Prob_n_Cf = std::move(outputs.coupon);
    result.ResultPrice = std::move(outputs.sens);
    result.priceSE = scaledPrice(rep.extras.priceSE);
    result.outcomeProbSE = rep.extras.probSE;
    result.couponProbSE = rep.extras.couponProbSE;
    result.redeemedBySE = rep.extras.redeemedBySE;
    result.ResultSE.assign(result.ResultPrice.size(), std::numeric_limits<double>::quiet_NaN());
    PlaceGreeks(rep.greekSE, args.NStock, args.CalcFlag[0], notional, result.ResultSE);
    result.ResultSE[layout::kPrice] = result.priceSE;
    result.outcomeDF = std::move(rep.extras.slots.outcomeDF);
    result.couponDF = std::move(rep.extras.slots.couponDF);
    result.outcomeSettled = std::move(rep.extras.slots.outcomeSettled);
    result.couponSettled = std::move(rep.extras.slots.couponSettled);
    for (const ConvergencePoint& p : rep.extras.convergence)
      result.convergence.push_back(ConvergenceRow{p.paths, scaledPrice(p.price), scaledPrice(p.priceSE)});
  } catch (...) {
    // Only an allocation can throw: here, copying the options or the results.
    ValuationResult failed;
    failed.status = MORVIK_NO_MEMORY;
    return failed;
  }
  return result;
}

}  // namespace morvik
