// Row-by-row Cholesky factor with a floor on non-positive pivots.
#include "numerics/cholesky.h"

#include <cmath>

namespace morvik {

void CholeskyLower(const double* A, double* L, int n) {
  for (int i = 0; i < n * n; ++i) L[i] = A[i];
  const double floor_root = std::sqrt(1e-10);
  for (int i = 0; i < n; ++i) {
    // Entries with j < i would land above the diagonal and be cleared below;
    // nothing on or below the diagonal reads them, so they are skipped.
    for (int j = i; j < n; ++j) {
      double s = A[i * n + j];
      for (int k = i - 1; k >= 0; --k) s -= L[i * n + k] * L[j * n + k];
      if (j == i) {
        L[i * n + i] = s > 0.0 ? std::sqrt(s) : floor_root;
      } else {
        L[j * n + i] = s / L[i * n + i];
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) L[i * n + j] = 0.0;
  }
}

}  // namespace morvik
