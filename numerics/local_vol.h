// Bilinear local volatility lookup with flat extrapolation and bracket hints.
#pragma once

namespace morvik {

// P[0..np-1] moneyness axis, T[0..nt-1] time axis, values row-major np x nt
// (element p*nt+k). hintP and hintT are the upper bracket indices of the
// previous call; they are updated. Returns the volatility at (x, t).
double LocalVolLookup(const double* P, int np, const double* T, int nt, const double* values,
                      int& hintP, int& hintT, double x, double t);

}  // namespace morvik
