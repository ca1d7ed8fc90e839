// Quote matrices from known arbitrage-free models, for checking the
// calibration end to end (tests, the round-trip bench, examples).
#pragma once

#include <vector>

#include "calibration/implied_surface.h"

namespace morvik::calib {

// Heston parameters: initial and long-run variance, mean reversion, vol of
// variance, correlation.
struct HestonParameters {
  double v0 = 0.0, theta = 0.0, kappa = 0.0, sigma = 0.0, rho = 0.0;
};

// Gatheral's fit to SPX options (15 September 2005), the parameters of
// Albrecher et al., "The little Heston trap" (2007): a realistic equity skew.
inline constexpr HestonParameters kGatheralSpx2005{0.0175, 0.0398, 1.5768, 0.5751, -0.5711};

// Black volatilities of European options under Heston (QuantLib's analytic
// engine) at the given expiries (days) and strikes, on the market's forward.
// A quote whose out-of-the-money price is below 1e-9 of the forward has no
// measurable volatility and is left missing (NaN), as a market leaves it.
// Sets QuantLib's global evaluation date while it runs: not for concurrent use.
Quotes HestonQuotes(const Market& m, const HestonParameters& p, const std::vector<int>& expiryDays,
                    const std::vector<double>& strikes);

}  // namespace morvik::calib
