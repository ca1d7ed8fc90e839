// Wichura's percentage points of the normal distribution (Applied
// Statistics, 1988): a rational function of (0.180625 - q^2) near the
// centre, and of sqrt(-log(r)) - 1.6 or - 5 in the tails, r the smaller tail
// probability.
#include "numerics/inverse_normal.h"

#include <cmath>
#include <limits>

namespace morvik {

namespace {

// Horner evaluation of c[0] + c[1] r + ... + c[7] r^7.
inline double Poly7(const double* c, double r) {
  return ((((((c[7] * r + c[6]) * r + c[5]) * r + c[4]) * r + c[3]) * r + c[2]) * r + c[1]) * r + c[0];
}

constexpr double kNearNum[8] = {1.42343711074968357734e0,  4.63033784615654529590e0,  5.76949722146069140550e0,
                                3.64784832476320460504e0,  1.27045825245236838258e0,  2.41780725177450611770e-1,
                                2.27238449892691845833e-2, 7.74545014278341407640e-4};
constexpr double kNearDen[8] = {1.0,
                                2.05319162663775882187e0,
                                1.67638483018380384940e0,
                                6.89767334985100004550e-1,
                                1.48103976427480074590e-1,
                                1.51986665636164571966e-2,
                                5.47593808499534494600e-4,
                                1.05075007164441684324e-9};
constexpr double kFarNum[8] = {6.65790464350110377720e0,  5.46378491116411436990e0,  1.78482653991729133580e0,
                               2.96560571828504891230e-1, 2.65321895265761230930e-2, 1.24266094738807843860e-3,
                               2.71155556874348757815e-5, 2.01033439929228813265e-7};
constexpr double kFarDen[8] = {1.0,
                               5.99832206555887937690e-1,
                               1.36929880922735805310e-1,
                               1.48753612908506148525e-2,
                               7.86869131145613259100e-4,
                               1.84631831751005468180e-5,
                               1.42151175831644588870e-7,
                               2.04426310338993978564e-15};

}  // namespace

double InverseNormal(double p) {
  if (!(p >= 0.0 && p <= 1.0)) return std::numeric_limits<double>::quiet_NaN();
  const double q = p - 0.5;
  if (std::fabs(q) <= kInverseNormalCentre) return InverseNormalCentre(q);
  double r = q < 0.0 ? p : 1.0 - p;
  if (r <= 0.0) return q < 0.0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  r = std::sqrt(-std::log(r));
  double z;
  if (r <= 5.0) {
    r -= 1.6;
    z = Poly7(kNearNum, r) / Poly7(kNearDen, r);
  } else {
    r -= 5.0;
    z = Poly7(kFarNum, r) / Poly7(kFarDen, r);
  }
  return q < 0.0 ? -z : z;
}

}  // namespace morvik
