// The inverse of the standard normal distribution function.
#pragma once

namespace morvik {

// The z with Phi(z) = p, for 0 < p < 1, to about one part in 1e16 (Wichura's
// rational approximations in three ranges of p); -inf at p = 0, +inf at
// p = 1, NaN outside [0, 1] and for NaN.
double InverseNormal(double p);

// The centre of InverseNormal, inline: for q = p - 0.5 with |q| <= 0.425 it
// gives InverseNormal(p) bit for bit (the same operations in the same
// order). T is double, or a vector of doubles (each lane is worked on as a
// double would be), so that several normals are worked on side by side.
inline constexpr double kInverseNormalCentre = 0.425;
template <class T>
inline T InverseNormalCentreOf(T q) {
  constexpr double num[8] = {3.3871328727963666080e0,  1.3314166789178437745e+2, 1.9715909503065514427e+3,
                             1.3731693765509461125e+4, 4.5921953931549871457e+4, 6.7265770927008700853e+4,
                             3.3430575583588128105e+4, 2.5090809287301226727e+3};
  constexpr double den[8] = {1.0,
                             4.2313330701600911252e+1,
                             6.8718700749205790830e+2,
                             5.3941960214247511077e+3,
                             2.1213794301586595867e+4,
                             3.9307895800092710610e+4,
                             2.8729085735721942674e+4,
                             5.2264952788528545610e+3};
  const T r = 0.180625 - q * q;
  T n = num[7] * r + num[6];
  T d = den[7] * r + den[6];
  for (int k = 5; k >= 0; --k) {
    n = n * r + num[k];
    d = d * r + den[k];
  }
  return q * n / d;
}
inline double InverseNormalCentre(double q) { return InverseNormalCentreOf(q); }

}  // namespace morvik
