// Term curves: linear interpolation with flat ends, discount factors, daily
// forward rates.
#pragma once

namespace morvik {

// exp(-r(t) * t) for the zero curve (T, V, n).
double DiscountFactor(const double* T, const double* V, int n, double t);

// Daily forward rates of day 1..m into out[0..m-1]. Returns 1.
int DailyForwardRates(const double* T, const double* V, int n, int m, double* out);

}  // namespace morvik
