// The inverse of the standard normal distribution function.
#pragma once

namespace morvik {

// The z with Phi(z) = p, for 0 < p < 1, to about one part in 1e16 (Wichura's
// rational approximations in three ranges of p); -inf at p = 0, +inf at
// p = 1, NaN outside [0, 1] and for NaN.
double InverseNormal(double p);

}  // namespace morvik
