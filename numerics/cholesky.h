// Lower Cholesky factor of a correlation matrix.
#pragma once

namespace morvik {

// A and L are n*n row-major. L receives the lower factor, zero above the
// diagonal. Non-positive pivots are replaced by sqrt(1e-10).
void CholeskyLower(const double* A, double* L, int n);

}  // namespace morvik
