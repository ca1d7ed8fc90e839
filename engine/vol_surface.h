// Local volatility lookup split in two for the path loop: the time bracket
// and weight depend only on the day, so they are computed once per call; the
// moneyness bracket is searched per stock and day from the previous bracket.
// The result equals LocalVolLookup's bit for bit (same brackets, same weights,
// same order of operations).
#pragma once

namespace morvik {

// One stock's surface: moneyness axis P (np), time axis T (nt) and values
// stored row by row, element p*nt + k for moneyness p and time k.
struct VolSurface {
  const double* P = nullptr;
  int np = 0;
  const double* T = nullptr;
  int nt = 0;
  const double* V = nullptr;
};

// Time bracket of one day: column offsets lo and hi into a row, weight u of
// the upper column and 1 - u.
struct TimeBracket {
  int lo = 0;
  int hi = 0;
  double u = 1.0;
  double u1 = 0.0;
};

inline TimeBracket MakeTimeBracket(const VolSurface& s, double t) {
  TimeBracket b;
  if (s.nt == 1 || t <= s.T[0]) {
    b.lo = b.hi = 0;
  } else if (t >= s.T[s.nt - 1]) {
    b.lo = b.hi = s.nt - 1;
  } else {
    int k = 1;
    while (!(t < s.T[k])) ++k;
    b.lo = k - 1;
    b.hi = k;
  }
  b.u = (b.lo != b.hi) ? (t - s.T[b.lo]) / (s.T[b.hi] - s.T[b.lo]) : 1.0;
  b.u1 = 1.0 - b.u;
  return b;
}

// Volatility at performance x on the day whose time bracket is `tb`. `hint`
// is the upper moneyness bracket of the previous call and is updated; any
// starting value in [0, np-1] gives the same bracket.
inline double LookupVol(const VolSurface& s, const TimeBracket& tb, int& hint, double x) {
  const double* P = s.P;
  int lo;
  int hi;
  double w;
  // A NaN performance takes the lower edge instead of walking off the axis.
  if (s.np == 1 || !(x > P[0])) {
    lo = hi = 0;
    hint = 0;
    w = 1.0;
  } else if (x >= P[s.np - 1]) {
    lo = hi = s.np - 1;
    hint = hi;
    w = 1.0;
  } else {
    int c = hint;
    if (x < P[c]) {
      int k = c - 1;
      while (P[k] > x) --k;
      lo = k;
      hi = k + 1;
    } else if (x == P[c]) {
      lo = c;
      hi = c + 1;
    } else {
      int k = c + 1;
      while (!(x < P[k])) ++k;
      lo = k - 1;
      hi = k;
    }
    hint = hi;
    w = (x - P[lo]) / (P[hi] - P[lo]);
  }
  const double* rlo = s.V + lo * s.nt;
  const double* rhi = s.V + hi * s.nt;
  const double w1 = 1.0 - w;
  return w1 * tb.u1 * rlo[tb.lo] + w1 * tb.u * rlo[tb.hi] + w * tb.u1 * rhi[tb.lo] +
         w * tb.u * rhi[tb.hi];
}

}  // namespace morvik
