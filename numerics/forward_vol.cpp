// Daily forward volatilities from a term structure of volatilities.
#include "numerics/forward_vol.h"

#include <cmath>

#include "numerics/conventions.h"
#include "numerics/term_axis.h"

namespace morvik {

namespace {

// Term volatility at t: linear in variance between tenors, flat outside.
double TermVol(const double* T, const double* V, int n, double t) {
  if (t <= T[0]) return V[0];
  if (t >= T[n - 1]) return V[n - 1];
  const int i = TenorInterval(T, n, t);
  const double v0 = V[i] * V[i];
  const double v1 = V[i + 1] * V[i + 1];
  return std::sqrt(v0 + (v1 - v0) * (t - T[i]) / (T[i + 1] - T[i]));
}

}  // namespace

void DailyForwardVol(const double* T, const double* V, int n, double* out, int m) {
  if (m <= 0) return;
  double sigma_prev = TermVol(T, V, n, 1 / kDaysPerYear);
  out[0] = sigma_prev;
  for (int k = 1; k < m; ++k) {
    const double sigma = TermVol(T, V, n, (k + 1) / kDaysPerYear);
    const double added = (k + 1) * (sigma * sigma) - k * (sigma_prev * sigma_prev);
    // A falling total variance has no real forward volatility: 0.0, not NaN.
    out[k] = added < 0.0 ? 0.0 : std::sqrt(added);
    sigma_prev = sigma;
  }
}

}  // namespace morvik
