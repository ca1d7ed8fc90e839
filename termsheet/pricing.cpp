// Pricing a parsed note through the library's entry ValueNote, its spot
// ladder, and the wording of a rejection.
#include "termsheet/pricing.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iomanip>
#include <sstream>

#include "calls/extended_entry.h"
#include "calls/layout.h"
#include "calls/status_messages.h"
#include "calls/validation.h"
#include "calls/valuation.h"
#include "termsheet/sobol_table.h"
#include "termsheet/task_threads.h"

namespace morvik {
namespace {

std::string Idx(const char* path, int i) { return std::string(path) + "[" + std::to_string(i) + "]"; }

std::string UnderlyingAt(const NoteInputs& n, int i) {
  std::string s = Idx("underlyings", i);
  if (i >= 0 && i < static_cast<int>(n.underlyingNames.size())) s += " (" + n.underlyingNames[i] + ")";
  return s;
}

// The field of the term sheet a point index refers to, where the code says.
std::string PointField(const NoteInputs& n, int code, int i, int k) {
  const std::string u = Idx("underlyings", i);
  switch (code) {
    case MORVIK_BAD_DISCOUNT_TENOR: return Idx("discount_curve.tenors", k);
    case MORVIK_BAD_DISCOUNT_RATE: return Idx("discount_curve.rates", k);
    case MORVIK_BAD_RATE_TENOR: return u + Idx(".rate_curve.tenors", k);
    case MORVIK_BAD_RATE: return u + Idx(".rate_curve.rates", k);
    case MORVIK_BAD_VOL_TIMES: return u + Idx(".local_vol.times", k);
    case MORVIK_BAD_MONEYNESS: return u + Idx(".local_vol.moneyness", k);
    case MORVIK_BAD_LOCAL_VOL: {
      const int nv = (i >= 0 && i < static_cast<int>(n.NVol.size()) && n.NVol[i] > 0) ? n.NVol[i] : 1;
      return u + Idx(".local_vol.vols", k / nv) + "[" + std::to_string(k % nv) + "]";
    }
    case MORVIK_BAD_CORRELATION:
    case MORVIK_BAD_CORRELATION_MATRIX: return Idx("correlation", i) + "[" + std::to_string(k) + "]";
    case MORVIK_BAD_DIV_DAY:
    case MORVIK_BAD_DIV: return u + ".dividends entry " + std::to_string(k);
    case MORVIK_BAD_FX_TENOR: return u + Idx(".fx.tenors", k);
    case MORVIK_BAD_FX_VOL: return u + Idx(".fx.vols", k);
    case MORVIK_BAD_FIXING: return Idx("past.fixings", k);
    case MORVIK_BAD_COUPON_FIXING: return Idx("past.coupon_fixings", k);
    default: return std::string();
  }
}

// The library's options for a request; `report` is the progress hook's
// context (none: no progress).
ValuationOptions OptionsFor(const PriceRequest& request, const TaskRunner* runner) {
  ValuationOptions o;
  if (request.seed) o.seed = static_cast<std::uint64_t>(*request.seed);
  o.stream = request.aligned ? StreamKind::kAligned : StreamKind::kDefault;
  if (request.sobol) {
    o.stream = StreamKind::kSobol;
    o.sobol = &JoeKuoDirections();
    o.scrambles = static_cast<int>(request.scrambles);
  }
  if (request.conditional) o.estimator = Estimator::kConditional;
  o.vectorWidth = request.vectorWidth;
  o.runner = runner;
  o.replications = static_cast<int>(request.replications.value_or(1));
  o.split = request.split;
  return o;
}

// The request's stop hook as the library asks it.

// The result of a note its request's stop hook stopped: no figures.
NoteResult Stopped() {
  NoteResult r;
  r.status = kValuationInterrupted;
  r.rejection = "the pricing was stopped before it finished";
  return r;
}

// The library's progress, a share `part` of the note's, to the request's hook.
struct CallProgress {
  const ProgressCallback* hook = nullptr;
  double part = 1.0;
  static void Report(void* ctx, double fraction) {
    const CallProgress& p = *static_cast<const CallProgress*>(ctx);
    p.hook->fn(p.hook->ctx, fraction * p.part);
  }
};

// The scenarios' progress: after `start` of the note's valuations, `part`
// of them.
struct ScenarioProgress {
  const ProgressCallback* hook = nullptr;
  double start = 0.0, part = 0.0;
  static void Report(void* ctx, int done, int total) {
    const ScenarioProgress& p = *static_cast<const ScenarioProgress*>(ctx);
    p.hook->fn(p.hook->ctx, p.start + p.part * static_cast<double>(done) / static_cast<double>(total));
  }
};

long long SumOf(const std::vector<int>& counts) {
  long long s = 0;
  for (const int c : counts) s += c > 0 ? c : 0;
  return s;
}


}  // namespace

NoteInputs MovedInputs(const NoteInputs& n, double spotMove, double volMove, const std::vector<int>& stocks) {
  NoteInputs moved = n;
  moved.CalcFlag = {0, 0};
  for (const int i : stocks) {
    if (i < 0 || i >= n.NStock) continue;
    ScenarioShift shift;
    shift.stock = i;
    shift.spotMove = spotMove;
    shift.volMove = volMove;
    ApplyShift(shift, moved);
  }
  return moved;
}

double ProportionSE(double p, double trials, int runs) {
  const double n = std::ceil(trials) * runs;
  if (n < 2.0) return std::nan("");
  const double c = p * trials * runs;
  const double var = c * (1.0 - c / n) / (n - 1.0);
  return std::sqrt(n) * std::sqrt(var > 0.0 ? var : 0.0) / (trials * runs);
}

std::vector<double> LadderMoves() {
  std::vector<double> moves;
  for (int k = -3; k <= 3; ++k) moves.push_back(k / 10.0);
  return moves;
}

std::string FieldProblem(const RequestField& field, const std::string& given, const std::string& prefix) {
  return prefix + field.name + " takes a whole number from " + std::to_string(field.lo) + " to " +
         std::to_string(field.hi) + ", not \"" + given + "\"";
}

std::string RequestProblem(const PriceRequest& request, const std::string& prefix) {
  const auto outside = [](const RequestField& f, long long v) { return v < f.lo || v > f.hi; };
  if (request.compute < -1 || request.compute > 2) {
    return prefix + "compute is -1 (the term sheet's), 0, 1 or 2, not " + std::to_string(request.compute);
  }
  if (request.trials && outside(kTrialsField, *request.trials)) {
    return FieldProblem(kTrialsField, std::to_string(*request.trials), prefix);
  }
  if (outside(kThreadsField, request.threads)) {
    return FieldProblem(kThreadsField, std::to_string(request.threads), prefix);
  }
  if (request.replications && outside(kReplicationsField, *request.replications)) {
    return FieldProblem(kReplicationsField, std::to_string(*request.replications), prefix);
  }
  if (request.replications && request.convergence) {
    return prefix + "convergence follows one run: it cannot be combined with " + prefix + "replications";
  }
  const long long seed = request.seed.value_or(0);
  if (outside(kSeedField, seed)) return FieldProblem(kSeedField, std::to_string(seed), prefix);
  if (request.sobol && outside(kScramblesField, request.scrambles)) {
    return FieldProblem(kScramblesField, std::to_string(request.scrambles), prefix);
  }
  if (request.sobol && request.convergence) {
    return prefix + "convergence is not kept on the sobol stream: the first paths of a run are not a run of fewer "
                    "trials";
  }
  if (request.sobol && request.trials) {
    const std::string problem = ScramblesProblem(request, static_cast<double>(*request.trials), prefix);
    if (!problem.empty()) return problem;
  }
  if (const char* width = VectorWidthProblem(request.vectorWidth)) return prefix + "vector-width: " + width;
  if (request.conditional && !request.aligned && !request.sobol) {
    return prefix + "estimator conditional runs on the aligned or sobol stream, not on the default stream";
  }
  const std::string scenarios = ScenarioSetProblem(request.scenarios, prefix);
  if (!scenarios.empty()) return scenarios;
  if (request.aligned || request.sobol) return std::string();
  const long long runs = request.replications.value_or(1);
  const long long last = seed + runs - 1;
  if (seed > kMaxDefaultSeed || last > kMaxDefaultSeed) {
    std::string text = "the default stream has seeds 0 to " + std::to_string(kMaxDefaultSeed) + ": seed " +
                       std::to_string(seed);
    if (runs > 1) {
      text += " with " + std::to_string(runs) + " replications needs seeds up to " +
              std::to_string(last);
    }
    return text;
  }
  return std::string();
}

std::string SplitProblem(const PriceRequest& request, const std::string& prefix) {
  if (!request.aligned && !request.sobol) {
    return "a valuation split over a cluster runs on the aligned or sobol stream, not the default one";
  }
  if (request.replications) return "a valuation split over a cluster is one run: not with " + prefix + "replications";
  if (request.ladder) return "a valuation split over a cluster prices the note alone: not with " + prefix + "ladder";
  if (!request.scenarios.Empty()) return "a valuation split over a cluster prices the note alone: not with scenarios";
  return std::string();
}

std::string ScramblesProblem(const PriceRequest& request, double trials, const std::string& prefix) {
  if (!request.sobol || request.scrambles > kMaxScrambles ||
      ScramblingsShare(static_cast<int>(request.scrambles), trials))
    return std::string();
  std::ostringstream t;
  t << std::setprecision(17) << trials;
  return "the sobol stream shares the trials equally among its " + std::to_string(request.scrambles) +
         " scramblings: " + t.str() + " trials is not a whole multiple of " + std::to_string(request.scrambles) +
         " (change " + prefix + "trials or " + prefix + "scrambles)";
}

const char* StreamName(const NoteResult& r) { return r.sobol ? "sobol" : r.aligned ? "aligned" : "default"; }

NoteInputs WithRequest(const NoteInputs& note, const PriceRequest& request) {
  NoteInputs n = note;
  if (request.compute >= 0) n.CalcFlag[0] = std::max(n.CalcFlag[0], request.compute);
  if (request.trials) n.NTrials = static_cast<double>(*request.trials);
  if (request.log) n.CalcFlag[1] = 1;
  return n;
}

NoteResult PriceNote(const NoteInputs& n, const PriceRequest& request) {
  const bool ladder = request.ladder;
  const auto report = [&](double fraction) {
    if (request.progress.fn != nullptr) request.progress.fn(request.progress.ctx, fraction);
  };
  const std::vector<double> moves = LadderMoves();
  report(0.0);
  NoteResult r;
  r.replications = static_cast<int>(request.replications.value_or(1));
  r.aligned = request.aligned && !request.sobol;
  r.sobol = request.sobol;
  r.conditional = request.conditional;
  r.scrambles = request.sobol ? static_cast<int>(request.scrambles) : 0;
  if (request.seed) r.seed = static_cast<std::uint64_t>(*request.seed);
  const TaskRunner runner = ThreadRunner(static_cast<int>(request.threads));
  ValuationOptions options = OptionsFor(request, request.threads > 1 ? &runner : nullptr);
  options.stop = request.stop;
  // The note's own call reports its paths: all of the note's progress, or
  // its share of the valuations with the ladder's points and the scenarios.
  const double scenarioCount = static_cast<double>(
      request.scenarios.Empty() ? 0
                                : ScenarioValuations(request.scenarios, n.NStock, SumOf(n.NVol),
                                                     static_cast<int>(request.replications.value_or(1))));
  // The note's own call: the price and, with greeks, their revaluations.
  const double own = 1.0 + (n.CalcFlag[0] >= 1 ? 7.0 * n.NStock : 0.0) + (n.CalcFlag[0] >= 2 ? 4.0 : 0.0);
  const double units = own + (ladder ? static_cast<double>(moves.size() - 1) : 0.0) + scenarioCount;
  CallProgress progress{&request.progress, own / units};
  ValuationOptions first = options;
  if (request.progress.fn != nullptr) first.progress = ProgressCallback{&CallProgress::Report, &progress};
  if (request.convergence) first.checkpoints = ConvergenceCheckpoints(n.NTrials);
  const std::string scrambles = ScramblesProblem(request, n.NTrials);
  if (!scrambles.empty()) {
    r.status = kBadValuationOptions;
    r.rejection = scrambles;
    return r;
  }
  ValuationResult v = ValueNote(n.Inputs(), first);
  if (v.status == kValuationInterrupted) return Stopped();
  r.status = v.status;
  if (r.status == kBadBlockParts) {
    r.rejection = "the parts of the split valuation do not make up this note's: " + v.partsProblem;
    return r;
  }
  if (r.status < 0) {
    r.rejection = DescribeRejection(n, r.status, v.fault);
    return r;
  }
  // A range of blocks valued: its sums are in the split's part, no figures.
  if (request.split != nullptr && request.split->role == BlockSplit::Role::kValue) return r;
  r.events = std::move(v.ELS_Prob_n_Cf);
  r.coupons = std::move(v.ELS_Coupon_Prob_n_Cf);
  r.resultPrice = std::move(v.ResultPrice);
  r.priceSE = v.priceSE;
  r.eventSE = std::move(v.outcomeProbSE);
  r.couponSE = std::move(v.couponProbSE);
  r.redeemedBySE = std::move(v.redeemedBySE);
  r.resultSE = std::move(v.ResultSE);
  r.eventDF = std::move(v.outcomeDF);
  r.couponDF = std::move(v.couponDF);
  r.eventSettled = std::move(v.outcomeSettled);
  r.couponSettled = std::move(v.couponSettled);
  if (request.convergence) r.convergence = std::move(v.convergence);
  if (!request.scenarios.Empty()) {
    ScenarioProgress sp{&request.progress, own / units, scenarioCount / units};
    const ScenarioValues values =
        ValueScenarios(n, r.resultPrice.empty() ? std::nan("") : r.resultPrice[0], request.scenarios, options,
                       request.progress.fn != nullptr ? &ScenarioProgress::Report : nullptr, &sp);
    if (values.interrupted) return Stopped();
    r.scenarios = values.rows;
    for (ScenarioRow& row : r.scenarios) {
      if (row.status < 0) row.error = DescribeRejection(n, row.status, row.fault);
    }
  }
  if (!ladder) {
    report(1.0);
    return r;
  }
  // Every underlying's spot moves by the same fraction; base prices, past
  // fixings and everything else stay. Price only, no trace, on the note's
  // stream and seed.
  for (std::size_t k = 0; k < moves.size(); ++k) {
    const double m = moves[k];
    r.ladderMoves.push_back(m);
    if (m == 0.0) {
      r.ladderPrices.push_back(r.resultPrice[0]);
      r.ladderStatus.push_back(r.status);
      continue;
    }
    NoteInputs moved = n;
    moved.CalcFlag = {0, 0};
    ScenarioShift shift;
    shift.spotMove = m;
    ApplyShift(shift, moved);
    const ValuationResult point = ValueNote(moved.Inputs(), options);
    if (point.status == kValuationInterrupted) return Stopped();
    r.ladderStatus.push_back(point.status);
    r.ladderPrices.push_back(point.status >= 0 ? point.ResultPrice[0] : 0.0);
    report((own + scenarioCount + static_cast<double>(k)) / units);
  }
  report(1.0);
  return r;
}

std::string DescribeRejection(const NoteInputs& n, int code, const ValidationFault& fault) {
  std::string text = "code " + std::to_string(code) + ": " + StatusMessage(code);
  if (fault.code != code) return text;
  std::vector<std::string> where;
  if (fault.coupon >= 0 && fault.coupon < n.NCoupon) {
    where.push_back(Idx("coupons.schedule", fault.coupon) + " (observation " +
                    FormatIsoDate(n.CouponDatesInfo[fault.coupon]) + ")");
  } else if (fault.date >= 0 && fault.date < n.NStrike) {
    where.push_back(Idx("redemption", fault.date) + " (observation " + FormatIsoDate(n.DatesInfo[fault.date]) +
                    ")");
  }
  if (fault.underlying >= 0) where.push_back(UnderlyingAt(n, fault.underlying));
  if (fault.point >= 0) {
    const std::string field = PointField(n, code, fault.underlying, fault.point);
    if (!field.empty()) where.push_back(field);
  }
  if (!where.empty()) {
    text += " At ";
    for (std::size_t k = 0; k < where.size(); ++k) {
      if (k) text += ", ";
      text += where[k];
    }
    text += ".";
  }
  return text;
}

}  // namespace morvik
