// Bilinear local volatility lookup with flat extrapolation and bracket hints.
//
// Defined inline: the engine calls it once per stock per simulated day.
#pragma once

#include "numerics/term_axis.h"

namespace morvik {

// Time bracket of one lookup: lo/hi indices on the time axis and the weight u
// of the upper one. It depends only on t, so a caller stepping day by day may
// compute it once per day and reuse it for every path.
struct LocalVolTime {
  int lo = 0;
  int hi = 0;
  double u = 1.0;
};

// Time bracket for t. hintT is the upper bracket index of the previous call and
// is updated; t must not decrease between calls sharing a hint.
inline LocalVolTime LocalVolTimeBracket(const double* T, int nt, int& hintT, double t) {
  LocalVolTime b;
  // Written as !(t > T[0]) so that a NaN time takes the clamped branch.
  if (!(t > T[0]) || nt == 1) {
    hintT = 0;
    return b;  // lo = hi = 0, u = 1
  }
  if (t >= T[nt - 1]) {
    hintT = nt - 1;
    b.lo = b.hi = nt - 1;
    return b;
  }
  int k = hintT;
  if (k < 0 || k > nt - 1) k = 0;  // a stray hint falls back to a full walk
  k = FirstTenorAbove(T, nt, t, k);
  hintT = k;
  b.lo = k - 1;
  b.hi = k;
  b.u = (t - T[k - 1]) / (T[k] - T[k - 1]);
  return b;
}

// Volatility at performance x for a precomputed time bracket. P[0..np-1] is
// the moneyness axis, values row-major np x nt (element p*nt+k); hintP is the
// upper moneyness bracket of the previous call and is updated.
inline double LocalVolAt(const double* P, int np, int nt, const double* values, int& hintP,
                         double x, const LocalVolTime& tb) {
  int lo, hi;
  double w;
  // Written as !(x > P[0]) so that a NaN performance takes the clamped branch.
  if (!(x > P[0]) || np == 1) {
    lo = hi = 0;
    hintP = 0;
    w = 1.0;
  } else if (x >= P[np - 1]) {
    lo = hi = np - 1;
    hintP = np - 1;
    w = 1.0;
  } else {
    // Any start gives the same bracket; keeping it in [0, np-2] keeps every
    // walk on the axis.
    int c = hintP;
    if (c > np - 2) c = np - 2;
    if (c < 0) c = 0;
    if (x < P[c]) {
      int k = c - 1;
      while (k > 0 && P[k] > x) --k;  // P[0] < x here; the bound is a guard
      lo = k;
      hi = k + 1;
    } else if (x == P[c]) {
      lo = c;
      hi = c + 1;
    } else {
      // Bounded at np - 1 in case the axis holds a NaN.
      const int k = FirstTenorAbove(P, np, x, c + 1);
      lo = k - 1;
      hi = k;
    }
    hintP = hi;
    w = (x - P[lo]) / (P[hi] - P[lo]);
  }
  const double u = tb.u;
  const double* r_lo = values + lo * nt;
  const double* r_hi = values + hi * nt;
  return (1.0 - w) * (1.0 - u) * r_lo[tb.lo] + (1.0 - w) * u * r_lo[tb.hi] +
         w * (1.0 - u) * r_hi[tb.lo] + w * u * r_hi[tb.hi];
}

// P[0..np-1] moneyness axis, T[0..nt-1] time axis, values row-major np x nt
// (element p*nt+k). hintP and hintT are the upper bracket indices of the
// previous call; they are updated. Returns the volatility at (x, t).
inline double LocalVolLookup(const double* P, int np, const double* T, int nt,
                             const double* values, int& hintP, int& hintT, double x, double t) {
  const LocalVolTime tb = LocalVolTimeBracket(T, nt, hintT, t);
  return LocalVolAt(P, np, nt, values, hintP, x, tb);
}

}  // namespace morvik
