// One valuation on the chosen stream, or the mean of several over seeds.
#include "sensitivities/precise_valuation.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <utility>

#include "engine/sobol_normals.h"
#include "sensitivities/aligned_valuation.h"
#include "sensitivities/revaluation.h"
#include "sensitivities/revaluation_plan.h"

namespace morvik {

namespace {

int ValueOnce(const CoreArgs& args, const CoreResults& out, int mode, const PrecisionRequest& request,
              std::uint64_t seed, Greeks& greeks, PrecisionReport& report) {
  if (request.sobol != nullptr) {
    SobolPlan plan;
    plan.dirs = request.sobol;
    plan.seed = seed;
    plan.scrambles = request.scrambles;
    plan.points = static_cast<long long>(std::ceil(args.NTrials)) / request.scrambles;
    return ValueAligned(args, out, mode, seed, request.runner, greeks, report.greekSE, &report.extras, &plan,
                        request.conditionalDays, request.split, request.vectorWidth);
  }
  if (request.aligned)
    return ValueAligned(args, out, mode, seed, request.runner, greeks, report.greekSE, &report.extras, nullptr,
                        request.conditionalDays, request.split, request.vectorWidth);
  ResetGreeks(report.greekSE, args.NStock, std::numeric_limits<double>::quiet_NaN());
  StreamLimits limits;
  limits.seed = static_cast<int>(seed);
  return ValueWithSensitivities(args, out, mode, greeks, limits, request.runner, &report.extras);
}

// Replication k of K reports (k + fraction) / K to the caller's hook.
struct ScaledProgress {
  ProgressCallback hook;
  int k = 0;
  int K = 1;
  static void Report(void* ctx, double fraction) {
    const ScaledProgress& p = *static_cast<const ScaledProgress*>(ctx);
    p.hook.fn(p.hook.ctx, (p.k + fraction) / p.K);
  }
};

// Running sums of one figure over the replications.
struct Spread {
  double sum = 0.0, sumSq = 0.0;
  void Add(double v) {
    sum += v;
    sumSq += v * v;
  }
};

}  // namespace

int ValueWithPrecision(const CoreArgs& args, const CoreResults& out, int mode, const PrecisionRequest& request,
                       Greeks& greeks, PrecisionReport& report) {
  const int K = request.replications;
  if (request.split != nullptr && (K > 1 || (!request.aligned && request.sobol == nullptr)))
    throw BadBlockParts("a split valuation is one run on the aligned or sobol stream");
  if (K <= 1) {
    report.extras.checkpoints = request.checkpoints;
    report.extras.progress = request.progress;
    report.extras.stop = request.stop;
    return ValueOnce(args, out, mode, request, request.seed, greeks, report);
  }
  const std::size_t slots = Revaluation::Slots(args.NStrike + 2);
  const std::size_t coupons = Revaluation::Slots(args.NCoupon);
  std::vector<double> prob(slots, 0.0), cf(slots, 0.0), cprob(coupons, 0.0), ccf(coupons, 0.0);
  std::vector<double> probVar(slots, 0.0), cprobVar(coupons, 0.0), redeemedVar;
  double price = 0.0, priceVar = 0.0;
  std::vector<Spread> greekSums;
  int status = 0;
  SlotFacts facts;  // the same for every seed: the first replication's
  ScaledProgress scaled{request.progress, 0, K};
  for (int k = 0; k < K; ++k) {
    Revaluation rep(args);
    PrecisionReport one;
    if (k == 0) one.extras.checkpoints = request.checkpoints;
    one.extras.stop = request.stop;
    if (request.progress.fn != nullptr) {
      scaled.k = k;
      one.extras.progress = ProgressCallback{&ScaledProgress::Report, &scaled};
    }
    Greeks g;
    const int rc = ValueOnce(rep.args, rep.out, mode, request, request.seed + static_cast<std::uint64_t>(k), g, one);
    if (k == 0) {
      status = rc;
      report.extras.convergence = one.extras.convergence;
      facts = std::move(one.extras.slots);
    }
    for (std::size_t s = 0; s < slots; ++s) {
      prob[s] += rep.prob[s];
      cf[s] += rep.cf[s];
      probVar[s] += one.extras.probSE[s] * one.extras.probSE[s];
    }
    for (std::size_t c = 0; c < coupons; ++c) {
      cprob[c] += rep.couponProb[c];
      ccf[c] += rep.couponCf[c];
      cprobVar[c] += one.extras.couponProbSE[c] * one.extras.couponProbSE[c];
    }
    const std::vector<double>& by = one.extras.redeemedBySE;
    if (redeemedVar.size() < by.size()) redeemedVar.resize(by.size(), 0.0);
    for (std::size_t d = 0; d < by.size(); ++d) redeemedVar[d] += by[d] * by[d];
    price += rep.price;
    priceVar += one.extras.priceSE * one.extras.priceSE;
    const std::vector<double> row = GreekRow(g);
    greekSums.resize(row.size());
    for (std::size_t j = 0; j < row.size(); ++j) greekSums[j].Add(row[j]);
  }
  // The means and the errors of the means.
  const double n = static_cast<double>(K);
  report.extras.Clear(args.NStrike, args.NCoupon);
  report.extras.slots = std::move(facts);
  for (std::size_t s = 0; s < slots; ++s) {
    out.ELS_Prob[s] = prob[s] / n;
    out.ELS_Cf[s] = cf[s] / n;
    report.extras.probSE[s] = std::sqrt(probVar[s]) / n;
  }
  for (std::size_t c = 0; c < coupons; ++c) {
    out.ELS_Coupon_Prob[c] = cprob[c] / n;
    out.ELS_Coupon_Cf[c] = ccf[c] / n;
    report.extras.couponProbSE[c] = std::sqrt(cprobVar[c]) / n;
  }
  for (const double v : redeemedVar) report.extras.redeemedBySE.push_back(std::sqrt(v) / n);
  out.ResultPrice[0] = price / n;
  report.extras.priceSE = std::sqrt(priceVar) / n;
  std::vector<double> mean(greekSums.size()), se(greekSums.size());
  for (std::size_t j = 0; j < greekSums.size(); ++j) {
    mean[j] = greekSums[j].sum / n;
    const double var = (greekSums[j].sumSq - greekSums[j].sum * mean[j]) / (n - 1.0);
    se[j] = std::sqrt(var > 0.0 ? var : 0.0) / std::sqrt(n);
  }
  ResetGreeks(greeks, args.NStock, 0.0);
  ResetGreeks(report.greekSE, args.NStock, std::numeric_limits<double>::quiet_NaN());
  GreeksFromRow(mean, greeks);
  if (mode >= 1) {
    if (mode < 2) se[se.size() - 1] = se[se.size() - 2] = std::numeric_limits<double>::quiet_NaN();
    GreeksFromRow(se, report.greekSE);
  }
  return status;
}

}  // namespace morvik
