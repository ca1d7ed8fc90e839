// Correlated normals of one simulated day from independent ones.
#pragma once

#include "numerics/random.h"

namespace morvik {

// w[i] = sum over k = 0..i of L[i][k] * z[k], summed from k = 0 up, starting
// at 0.0; L is the S x S lower factor, row-major.
// NS > 0 fixes S at compile time so that the loops unroll.
template <int NS = 0>
inline void CorrelateRow(const double* L, int S, const double* z, double* w) {
  if constexpr (NS > 0) S = NS;
#pragma GCC unroll 4
  for (int i = 0; i < S; ++i) {
    const double* Li = L + static_cast<long>(i) * S;
    double v = 0.0;
#pragma GCC unroll 4
    for (int k = 0; k <= i; ++k) v += Li[k] * z[k];
    w[i] = v;
  }
}

// The next S normals of the stream into z, and their correlated row into w.
template <int NS = 0>
inline void DrawCorrelatedRow(RandState& state, const double* L, int S, double* z, double* w) {
  if constexpr (NS > 0) S = NS;
  for (int i = 0; i < S; ++i) z[i] = RandNormal(state, 1);
  CorrelateRow<NS>(L, S, z, w);
}

}  // namespace morvik
