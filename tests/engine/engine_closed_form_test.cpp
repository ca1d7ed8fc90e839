// Engine against closed forms: one stock, constant local volatility, flat
// rates, strike levels that never redeem and no knock-in. With maturity slope
// 1 the note pays the notional plus a call on the performance struck at 1,
// so the price is DF * (1 + Black-Scholes call). The Euler step's expected
// growth is the product of its daily drift factors, which sets the forward.
// The run is deterministic (fixed seed), so a 3-standard-error band is not
// flaky.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/simulate.h"
#include "testing/core_note.h"

namespace morvik {
namespace {

using testing::CoreNote;

double NormCdf(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

struct CallMoments {
  double mean;  // E[max(S - 1, 0)]
  double sd;    // its standard deviation
};

// Lognormal S with forward F and total variance v, strike 1.
CallMoments Call(double F, double v) {
  const double sv = std::sqrt(v);
  const double d1 = (std::log(F) + 0.5 * v) / sv;
  const double d2 = d1 - sv;
  const double mean = F * NormCdf(d1) - NormCdf(d2);
  const double second = F * F * std::exp(v) * NormCdf(d1 + sv) - 2 * F * NormCdf(d1) + NormCdf(d2);
  return {mean, std::sqrt(second - mean * mean)};
}

constexpr int kDays = 365;
constexpr double kTrials = 20000;

CoreNote CallNote(double sigma, double r) {
  CoreNote f(1, {kDays}, {kDays});
  f.SetFlatVol(sigma);
  f.SetStockRate(r);
  f.SetDiscRate(r);
  f.KI_Barrier[0] = -1e300;
  f.PayOffSlope3[1] = 1.0;
  f.PayOffLimit0 = 1.0;
  f.PayOffLimit1 = 100.0;
  f.NTrials = kTrials;
  return f;
}

// Forward of the Euler scheme: product of the daily factors 1 + mu_n dt.
double EulerForward(double r, double extraDrift) {
  const double daily = 365 * (std::exp(r / 365) - 1);  // simple forward rate of a flat curve
  double F = 1.0;
  for (int n = 0; n < kDays; ++n) F *= 1.0 + (daily + extraDrift) / 365.0;
  return F;
}

void ExpectWithinThreeSe(CoreNote& f, double F, double sigma, double r) {
  const CoreArgs a = f.View();
  const CoreResults out = f.Results();
  ASSERT_EQ(SimulateELS(a, 0, out), 1);
  const double T = kDays / 365.0;
  const double df = std::exp(-r * T);
  const CallMoments c = Call(F, sigma * sigma * T);
  const double expected = 10000 * df * (1.0 + c.mean);
  const double se = 10000 * df * c.sd / std::sqrt(kTrials);
  EXPECT_NEAR(f.ResultPrice[0], expected, 3 * se) << "se " << se;
  // The bound is tight enough to mean something: well below the call value.
  EXPECT_LT(3 * se, 0.05 * 10000 * df * c.mean);
  // Every path ends at maturity without knock-in.
  EXPECT_DOUBLE_EQ(f.ELS_Prob[1], 1.0);
  EXPECT_NEAR(f.ELS_Cf[1], 10000 * (1.0 + c.mean), 3 * se / df);
}

TEST(EngineClosedForm, BlackScholesCallOnPerformance) {
  const double sigma = 0.2;
  const double r = 0.03;
  CoreNote f = CallNote(sigma, r);
  ExpectWithinThreeSe(f, EulerForward(r, 0.0), sigma, r);
}

TEST(EngineClosedForm, QuantoDriftLowersTheForward) {
  // FX correlation 0.5, FX volatility 0.15 (flat, linear mode): the drift
  // loses rho * v * sigma = 0.015 per year.
  const double sigma = 0.2;
  const double r = 0.03;
  CoreNote f = CallNote(sigma, r);
  f.QuantoFlag[0] = 2;
  f.FX_Vol[0] = 0.15;
  f.FX_Corr[0] = 0.5;
  ExpectWithinThreeSe(f, EulerForward(r, -0.5 * 0.15 * sigma), sigma, r);

  // The quanto note is worth clearly less than the plain one.
  CoreNote plain = CallNote(sigma, r);
  const CoreArgs a = plain.View();
  const CoreResults out = plain.Results();
  SimulateELS(a, 0, out);
  EXPECT_LT(f.ResultPrice[0], plain.ResultPrice[0] - 30.0);
}

}  // namespace
}  // namespace morvik
