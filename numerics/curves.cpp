// Zero-rate curves: discount factors and simple daily forward rates.
#include "numerics/curves.h"

#include <cmath>

#include "numerics/conventions.h"
#include "numerics/term_axis.h"

namespace morvik {

namespace {

// Curve value at t; interval: first c >= 1 with T[c] >= t.
double RateUpperBracket(const double* T, const double* V, int n, double t) {
  if (t <= T[0]) return V[0];
  if (t >= T[n - 1]) return V[n - 1];
  const int c = FirstTenorAtOrAbove(T, n, t);
  return V[c - 1] + (V[c] - V[c - 1]) * (t - T[c - 1]) / (T[c] - T[c - 1]);
}

}  // namespace

double DiscountFactor(const double* T, const double* V, int n, double t) {
  double r;
  if (t <= T[0]) {
    r = V[0];
  } else if (t >= T[n - 1]) {
    r = V[n - 1];
  } else {
    const int i = TenorInterval(T, n, t);
    r = V[i] + (V[i + 1] - V[i]) * (t - T[i]) / (T[i + 1] - T[i]);
  }
  return std::exp(-r * t);
}

int DailyForwardRates(const double* T, const double* V, int n, int m, double* out) {
  // Only the previous day's curve value is needed, so no scratch row is
  // allocated and the routine cannot fail.
  double z_prev = 0.0;
  for (int i = 0; i < m; ++i) {
    const double z = RateUpperBracket(T, V, n, (i + 1) / kDaysPerYear);
    const double y = i == 0 ? 0.0 : i * z_prev;
    out[i] = kDaysPerYear * (std::exp(((i + 1) * z - y) / kDaysPerYear) - 1.0);
    z_prev = z;
  }
  return 1;
}

}  // namespace morvik
