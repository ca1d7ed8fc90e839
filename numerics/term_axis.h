// Interval searches on a term axis T[0..n-1] (tenors in years, rising).
//
// Callers handle the flat ends themselves (t at or below T[0], t at or above
// T[n-1]) and ask only for t strictly inside. Each search is one rule: at a
// t that falls exactly on an interior tenor the rules pick different
// intervals, and the interpolation on them differs in the last bit, so every
// routine keeps the rule it was written with. Every walk is bounded, so a
// NaN on the axis or in t stops it instead of running off the end.
#pragma once

namespace morvik {

// The interval [T[i], T[i+1]) that holds t: the first i with
// T[i] <= t < T[i+1]; n - 2 when none does (a NaN). Requires n >= 2.
inline int TenorInterval(const double* T, int n, double t) {
  int i = 0;
  while (i < n - 2 && !(T[i] <= t && t < T[i + 1])) ++i;
  return i;
}

// The upper end of the interval (T[c-1], T[c]] that holds t: the first
// c >= 1 with T[c] >= t (a NaN ends the walk); at most n - 1.
inline int FirstTenorAtOrAbove(const double* T, int n, double t) {
  int c = 1;
  while (c < n - 1 && T[c] < t) ++c;
  return c;
}

// The upper end of the interval [T[c-1], T[c]) that holds t: the first c
// from `from` on with T[c] > t (a NaN on the axis is walked past); at most
// n - 1.
inline int FirstTenorAbove(const double* T, int n, double t, int from = 1) {
  int c = from;
  while (c < n - 1 && !(T[c] > t)) ++c;
  return c;
}

}  // namespace morvik
