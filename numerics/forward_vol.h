// Daily forward volatilities from a term volatility curve.
#pragma once

namespace morvik {

// Fills out[0..m-1] with the forward volatility of each day (day n+1 ends at
// (n+1)/365 years). A falling total variance gives 0.0, never NaN.
void DailyForwardVol(const double* T, const double* V, int n, double* out, int m);

}  // namespace morvik
