// Batch-mean standard errors.
#include "sensitivities/scramble_errors.h"

#include <cmath>
#include <limits>

#include "numerics/conventions.h"

namespace morvik {

double BatchMeanSE(const std::vector<double>& x, const std::vector<double>& w) {
  const std::size_t B = x.size();
  if (B < 2) return std::numeric_limits<double>::quiet_NaN();
  double mean = 0.0;
  for (std::size_t b = 0; b < B; ++b) mean += w[b] * x[b];
  double sum = 0.0;
  for (std::size_t b = 0; b < B; ++b) {
    const double d = x[b] - mean;
    sum += w[b] * w[b] * d * d;
  }
  return std::sqrt(sum * static_cast<double>(B) / static_cast<double>(B - 1));
}

void ScrambleErrors(const SimJob& job, const RunTally* tallies, std::size_t scrambles, std::size_t per,
                    ValuationExtras& x) {
  const std::size_t slots = static_cast<std::size_t>(job.g.NStrike + 2);
  const std::size_t coupons = static_cast<std::size_t>(job.g.NCoupon);
  // Each scrambling's sums.
  std::vector<Tally> sums(scrambles);
  double total = 0.0;
  for (std::size_t b = 0; b < scrambles; ++b) {
    Tally& s = sums[b];
    s.prob.assign(slots, 0.0);
    s.couponProb.assign(coupons, 0.0);
    for (std::size_t k = 0; k < per; ++k) {
      const Tally& t = tallies[b * per + k].t;
      for (std::size_t i = 0; i < slots; ++i) s.prob[i] += t.prob[i];
      for (std::size_t c = 0; c < coupons; ++c) s.couponProb[c] += t.couponProb[c];
      s.pvSum += t.pvSum;
      s.paths += t.paths;
    }
    total += static_cast<double>(s.paths);
  }
  std::vector<double> w(scrambles), v(scrambles);
  for (std::size_t b = 0; b < scrambles; ++b) w[b] = static_cast<double>(sums[b].paths) / total;
  // The mean of a figure per path, scrambling by scrambling, and its error.
  const auto spread = [&](auto figure) {
    for (std::size_t b = 0; b < scrambles; ++b) v[b] = figure(sums[b]) / static_cast<double>(sums[b].paths);
    return BatchMeanSE(v, w);
  };
  x.priceSE = kNotionalScale * spread([](const Tally& s) { return s.pvSum; });
  for (std::size_t i = 0; i < slots; ++i)
    x.probSE[static_cast<std::size_t>(job.dateShift) + i] = spread([i](const Tally& s) { return s.prob[i]; });
  for (std::size_t c = 0; c < coupons; ++c)
    x.couponProbSE[static_cast<std::size_t>(job.couponShift) + c] =
        spread([c](const Tally& s) { return s.couponProb[c]; });
  // The share redeemed on or before each date: dates settled before the
  // simulation add a fixed share and no error.
  const std::size_t dates = x.probSE.size() >= 2 ? x.probSE.size() - 2 : 0;
  const std::size_t shift = static_cast<std::size_t>(job.dateShift);
  x.redeemedBySE.assign(dates, 0.0);
  for (std::size_t d = shift; d < dates && d - shift + 2 < slots; ++d) {
    x.redeemedBySE[d] = spread([d, shift](const Tally& s) {
      double by = 0.0;
      for (std::size_t i = 0; i <= d - shift; ++i) by += s.prob[i];
      return by;
    });
  }
  if (!x.convergence.empty()) x.convergence.back().priceSE = x.priceSE;
}

}  // namespace morvik
