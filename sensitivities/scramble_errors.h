// Standard errors from batch means: of the aligned stream's blocks of
// paths, and of the quasi-random stream's independent scramblings, whose
// spread is the honest error of a randomised quasi-Monte Carlo estimate.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/simulate.h"
#include "engine/valuation_extras.h"

namespace morvik {

// The standard error of the weighted mean of batch figures x[b] (weights
// w[b], the batches' shares of the paths, summing to 1):
// sqrt(B / (B - 1) * sum of w[b]^2 (x[b] - mean)^2), mean = sum of w[b] x[b],
// summed in batch order. NaN below two batches.
double BatchMeanSE(const std::vector<double>& x, const std::vector<double>& w);

// The errors of a valuation on the quasi-random stream into `x`, at the
// job's shifted slots: the price's and every outcome and coupon
// probability's and the share redeemed on or before each date's, from the
// spread of the `scrambles` scramblings' means (scrambling b's sums are
// tallies[b * per .. b * per + per - 1]), and the final convergence
// point's error with them.
void ScrambleErrors(const SimJob& job, const RunTally* tallies, std::size_t scrambles, std::size_t per,
                    ValuationExtras& x);

}  // namespace morvik
