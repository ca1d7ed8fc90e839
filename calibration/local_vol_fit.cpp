// The fit: QuantLib's Andreasen-Huge volatility interpolation on the quotes
// (arbitrage-free by construction: one implicit finite-difference step per
// expiry, positive local volatilities), its error against the quotes, and
// its local volatility sampled onto the library's moneyness x time grid;
// and Heston reference quotes. The only file that includes QuantLib.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include <ql/exercise.hpp>
#include <ql/termstructures/volatility/equityfx/andreasenhugevolatilityinterpl.hpp>
#include <ql/instruments/vanillaoption.hpp>
#include <ql/methods/finitedifferences/meshers/concentrating1dmesher.hpp>
#include <ql/math/optimization/levenbergmarquardt.hpp>
#include <ql/models/equity/hestonmodel.hpp>
#include <ql/pricingengines/vanilla/analytichestonengine.hpp>
#include <ql/processes/hestonprocess.hpp>
#include <ql/pricingengines/blackformula.hpp>
#include <ql/quotes/simplequote.hpp>
#include <ql/settings.hpp>
#include <ql/termstructures/yieldtermstructure.hpp>
#include <ql/time/calendars/nullcalendar.hpp>
#include <ql/time/daycounters/actual365fixed.hpp>

#include "calibration/implied_surface.h"
#include "calibration/reference_surfaces.h"

namespace morvik::calib {
namespace {

namespace ql = QuantLib;

// The grid. Moneyness: log-moneyness nodes kFineStep apart within
// kFineRange of spot, where short expiries put their whole distribution (one
// month at 13 % volatility has a standard deviation of 0.038), then each step
// kGrowth times the distance from spot, out to half the lowest quoted strike
// (at most 50 % of spot) and twice the highest (at least 200 %); the engine
// holds the edge values flat beyond. Bilinear interpolation of a smile's
// local volatility on coarser steps (0.025 throughout) misprices 1-month
// at-the-money calls by more than a vol point. Time: the engine steps one
// day at a time and reads the local volatility of the step ending on day n
// at t = n/365, so the nodes are days: the first and last day of every
// interval between expiries (the fit's local volatility jumps at an expiry,
// and no step straddles one) and interior days at most kMaxNodeGap days and
// at most an eighth of the interval apart. A node's value is the fit's local
// volatility in the middle of its day's step, t = (n - 1/2)/365.
constexpr double kFineStep = 0.004;
constexpr double kFineRange = 0.1;
constexpr double kGrowth = 0.04;
constexpr int kMaxNodeGap = 30;
constexpr int kSubdivisions = 8;

// An out-of-the-money price below this share of the forward has no
// measurable volatility (reference quotes leave it missing).
constexpr double kNegligiblePrice = 1e-9;

// Quotes further out of the money than `reach` standard deviations are left
// out of the fit (see implied_surface.h for the measurements behind the
// reach). They are still checked for arbitrage.
bool TooFarOut(const Quotes& q, const Market& m, std::size_t e, std::size_t s, double reach) {
  const double t = q.expiryDays[e] / 365.0;
  return std::fabs(std::log(q.strikes[s] / Forward(m, t))) > reach * q.vols[e][s] * std::sqrt(t);
}

// The fit's own strike mesh, as QuantLib builds it: kFitMeshPoints log-strike
// nodes (log of strike over forward) from 1/kFitMeshReach of the lowest
// fitted strike to kFitMeshReach times the highest, concentrated at the
// forward with density kFitMeshDensity. Its local volatility is linear
// between these nodes. Where Dupire's ratio at a node is negative or not
// finite (far out of the money, where the fitted prices vanish), QuantLib
// returns kSubstitutedVol there without a word; those nodes are found and
// repaired before the grid reads them.
constexpr std::size_t kFitMeshPoints = 500;
constexpr double kFitMeshReach = 8.0;
constexpr double kFitMeshDensity = 0.025;
constexpr double kSubstitutedVol = 0.25;
// A node value this close to kSubstitutedVol is the substitute (it is read
// back through a log and an exp, which moves it by rounding only).
constexpr double kSubstituteTolerance = 1e-12;
// Linear between the mesh's nodes, to rounding (measured: under 2e-15).
constexpr double kMeshCheckTolerance = 1e-10;

// The fit's local volatility on one time slice, at the nodes of its mesh,
// with substituted nodes replaced: by the nearest genuine node on the side
// of the forward (a wing holds its last defined value), or, with none there,
// the nearest on the other side.
struct LocalVolSlice {
  std::vector<double> values;
  std::vector<bool> substituted;
  int count = 0;
};

LocalVolSlice ReadSlice(const ql::AndreasenHugeVolatilityInterpl& fit, const std::vector<double>& mesh, double t,
                        double forward) {
  LocalVolSlice s;
  const std::size_t n = mesh.size();
  s.values.assign(n, 0.0);
  s.substituted.assign(n, false);
  // QuantLib reads nodes 1 to n-2 only and holds them flat beyond.
  for (std::size_t i = 1; i + 1 < n; ++i) {
    const double v = fit.localVol(t, forward * std::exp(mesh[i]));
    s.values[i] = v;
    if (!std::isfinite(v) || v < 0.0 || std::fabs(v - kSubstitutedVol) <= kSubstituteTolerance) {
      s.substituted[i] = true;
      ++s.count;
    }
  }
  if (s.count == 0) return s;
  const auto genuine = [&](std::size_t i) { return i >= 1 && i + 1 < n && !s.substituted[i]; };
  std::vector<double> repaired = s.values;
  for (std::size_t i = 1; i + 1 < n; ++i) {
    if (!s.substituted[i]) continue;
    // Towards the forward first (log-moneyness 0), then away from it.
    const int toward = mesh[i] > 0.0 ? -1 : 1;
    double value = std::nan("");
    for (int dir : {toward, -toward}) {
      for (std::ptrdiff_t j = static_cast<std::ptrdiff_t>(i) + dir; j >= 1 && j + 1 < static_cast<std::ptrdiff_t>(n);
           j += dir) {
        if (genuine(static_cast<std::size_t>(j))) {
          value = s.values[static_cast<std::size_t>(j)];
          break;
        }
      }
      if (!std::isnan(value)) break;
    }
    repaired[i] = value;
  }
  s.values = std::move(repaired);
  return s;
}

// The local volatility at strike K of a slice: QuantLib's own value when
// neither node around K was substituted, else linear between the repaired
// nodes (as QuantLib interpolates). Counts the values that were repaired.
double SliceLocalVol(const ql::AndreasenHugeVolatilityInterpl& fit, const std::vector<double>& mesh,
                     const LocalVolSlice& s, double t, double forward, double K, int& repaired) {
  if (s.count == 0) return fit.localVol(t, K);
  const std::size_t n = mesh.size();
  const double x = std::clamp(std::log(K / forward), mesh[1], mesh[n - 2]);
  std::size_t hi = static_cast<std::size_t>(std::upper_bound(mesh.begin() + 1, mesh.end() - 1, x) - mesh.begin());
  hi = std::min(hi, n - 2);
  const std::size_t lo = hi - 1;
  if (!s.substituted[lo] && !s.substituted[hi]) return fit.localVol(t, K);
  ++repaired;
  const double w = (x - mesh[lo]) / (mesh[hi] - mesh[lo]);
  return s.values[lo] + w * (s.values[hi] - s.values[lo]);
}

// Fitted-surface strikes for reports and plots.
constexpr int kFittedStrikes = 41;

// A curve of the library as a QuantLib yield curve (Actual/365 from the
// reference date, so a time of d days is d/365 as in the library).
class LibraryCurve : public ql::YieldTermStructure {
 public:
  LibraryCurve(const ql::Date& ref, TermCurve c)
      : ql::YieldTermStructure(ref, ql::NullCalendar(), ql::Actual365Fixed()), curve_(std::move(c)) {}
  ql::Date maxDate() const override { return ql::Date::maxDate(); }

 protected:
  ql::DiscountFactor discountImpl(ql::Time t) const override { return CurveDiscount(curve_, t); }

 private:
  TermCurve curve_;
};

// Days of the time axis.
std::vector<int> NodeDays(const std::vector<int>& expiries) {
  std::vector<int> days;
  int start = 1;
  for (int end : expiries) {
    const int len = end - start;
    const int gap = std::max(1, std::min(kMaxNodeGap, (len + kSubdivisions - 1) / kSubdivisions));
    for (int d = start; d < end; d += gap) days.push_back(d);
    days.push_back(end);
    start = end + 1;
  }
  return days;
}

std::vector<double> MoneynessAxis(const Quotes& q, const Market& m) {
  const double lo = std::log(std::min(0.5, 0.5 * q.strikes.front() / m.spot));
  const double hi = std::log(std::max(2.0, 2.0 * q.strikes.back() / m.spot));
  const auto step = [](double x) { return std::max(kFineStep, kGrowth * (std::fabs(x) - kFineRange) + kFineStep); };
  std::vector<double> up{0.0}, down;
  while (up.back() < hi) up.push_back(std::min(hi, up.back() + step(up.back())));
  for (double x = 0.0; x > lo;) {
    x = std::max(lo, x - step(x));
    down.push_back(x);
  }
  std::vector<double> axis;
  for (auto it = down.rbegin(); it != down.rend(); ++it) axis.push_back(std::exp(*it));
  for (double x : up) axis.push_back(std::exp(x));
  return axis;
}

// Undiscounted out-of-the-money price of the fit at (t, K) and the type.
double FittedPrice(const ql::AndreasenHugeVolatilityInterpl& fit, const Market& m, double t, double K) {
  const ql::Option::Type type = K < Forward(m, t) ? ql::Option::Put : ql::Option::Call;
  return fit.optionPrice(t, K, type) / CurveDiscount(m.rate, t);
}

// Black volatility of an undiscounted out-of-the-money price; NaN when it
// cannot be inverted (at or below zero, or beyond the forward).
double ImpliedVol(double price, double F, double K, double t) {
  const ql::Option::Type type = K < F ? ql::Option::Put : ql::Option::Call;
  try {
    return ql::blackFormulaImpliedStdDevLiRS(type, K, F, price, 1.0, 0.0, ql::Null<ql::Real>(), 1.0, 1e-12, 200) /
           std::sqrt(t);
  } catch (const std::exception&) {
    return std::nan("");
  }
}

// Undiscounted out-of-the-money Black price and vega (per unit volatility).
double OtmPrice(double F, double K, double t, double vol) {
  const double c = BlackCall(F, K, vol * std::sqrt(t));
  return K < F ? c - (F - K) : c;
}
double Vega(double F, double K, double t, double vol) {
  const double sd = vol * std::sqrt(t);
  const double d1 = std::log(F / K) / sd + 0.5 * sd;
  return F * std::exp(-0.5 * d1 * d1) / std::sqrt(2.0 * M_PI) * std::sqrt(t);
}

// One Andreasen-Huge fit of the quotes within `reach` standard deviations:
// the fit, its strike mesh, and its error at those quotes (the report's
// counts and errors; no violations).
struct Fit {
  std::unique_ptr<ql::AndreasenHugeVolatilityInterpl> ah;
  std::vector<double> mesh;
  FitReport report;
};

Fit FitAtReach(const Quotes& q, const Market& m, double reach, const ql::Date& ref, const ql::Handle<ql::Quote>& spot,
               const ql::Handle<ql::YieldTermStructure>& rTS, const ql::Handle<ql::YieldTermStructure>& qTS) {
  Fit out;
  out.report.reach = reach;
  ql::AndreasenHugeVolatilityInterpl::CalibrationSet set;
  double lowest = HUGE_VAL, highest = 0.0;
  for (std::size_t e = 0; e < q.expiryDays.size(); ++e) {
    const double F = Forward(m, q.expiryDays[e] / 365.0);
    const auto exercise = ql::ext::make_shared<ql::EuropeanExercise>(ref + q.expiryDays[e]);
    for (std::size_t s = 0; s < q.strikes.size(); ++s) {
      if (std::isnan(q.vols[e][s]) || TooFarOut(q, m, e, s, reach)) continue;
      const auto payoff = ql::ext::make_shared<ql::PlainVanillaPayoff>(
          q.strikes[s] < F ? ql::Option::Put : ql::Option::Call, q.strikes[s]);
      set.emplace_back(ql::ext::make_shared<ql::VanillaOption>(payoff, exercise),
                       ql::ext::make_shared<ql::SimpleQuote>(q.vols[e][s]));
      lowest = std::min(lowest, q.strikes[s]);
      highest = std::max(highest, q.strikes[s]);
    }
  }
  if (set.empty()) throw CalibrationError("vols", "every quote lies too far out of the money to fit");
  // The mesh's reach passed explicitly (QuantLib's default) so that the
  // mesh rebuilt here is the fit's.
  const double meshLow = lowest / kFitMeshReach, meshHigh = highest * kFitMeshReach;
  out.ah = std::make_unique<ql::AndreasenHugeVolatilityInterpl>(
      set, spot, rTS, qTS, ql::AndreasenHugeVolatilityInterpl::CubicSpline,
      ql::AndreasenHugeVolatilityInterpl::CallPut, kFitMeshPoints, meshLow, meshHigh);
  out.mesh = ql::Concentrating1dMesher(std::log(meshLow / m.spot), std::log(meshHigh / m.spot), kFitMeshPoints,
                                       std::make_pair(0.0, kFitMeshDensity))
                 .locations();
  // The fit's local volatility is linear between the nodes of its mesh: at
  // midpoints near the forward, halfway into the first expiry (where the
  // local volatility curves most), it must be the mean of the two nodes. A
  // mesh that is not the fit's (another QuantLib build) would leave its
  // substitutes undetected: refuse to go on.
  {
    const double t = 0.5 * q.expiryDays.front() / 365.0, F = Forward(m, t);
    const std::size_t mid = kFitMeshPoints / 2;
    for (std::size_t i = mid - 4; i < mid + 4; ++i) {
      const double a = out.ah->localVol(t, F * std::exp(out.mesh[i]));
      const double b = out.ah->localVol(t, F * std::exp(out.mesh[i + 1]));
      const double c = out.ah->localVol(t, F * std::exp(0.5 * (out.mesh[i] + out.mesh[i + 1])));
      if (std::isfinite(a) && std::isfinite(b) && !(std::fabs(c - 0.5 * (a + b)) <= kMeshCheckTolerance)) {
        throw CalibrationError("", "the fitting library's strike mesh is not the one this calibration expects; "
                                   "its undefined local volatilities could not be found");
      }
    }
  }

  // Fit error at every quote, in vol points.
  FitReport& r = out.report;
  double sumSq = 0.0;
  for (std::size_t e = 0; e < q.expiryDays.size(); ++e) {
    const double t = q.expiryDays[e] / 365.0;
    for (std::size_t s = 0; s < q.strikes.size(); ++s) {
      if (std::isnan(q.vols[e][s])) continue;
      if (TooFarOut(q, m, e, s, reach)) {
        ++r.leftOut;
        continue;
      }
      const double F = Forward(m, t);
      const double K = q.strikes[s];
      const double vol = q.vols[e][s];
      const double fitted = FittedPrice(*out.ah, m, t, K);
      // In vol points: the fit's Black volatility against the quote, or,
      // where the fit's price has none (far out of the money), the price
      // difference over the quote's vega.
      double err = 100.0 * std::fabs(ImpliedVol(fitted, F, K, t) - vol);
      if (!std::isfinite(err)) err = 100.0 * std::fabs(fitted - OtmPrice(F, K, t, vol)) / Vega(F, K, t, vol);
      if (!std::isfinite(err)) {
        throw CalibrationError("vols[" + std::to_string(e) + "][" + std::to_string(s) + "]",
                               "the fitted surface has no price at this quote");
      }
      ++r.quotes;
      sumSq += err * err;
      if (err > r.maxError) {
        r.maxError = err;
        r.worstExpiry = static_cast<int>(e);
        r.worstStrike = static_cast<int>(s);
      }
    }
  }
  r.rmsError = r.quotes > 0 ? std::sqrt(sumSq / r.quotes) : 0.0;
  return out;
}

}  // namespace

Calibration Calibrate(const Quotes& q, const Market& m, ArbitragePolicy policy) {
  CheckQuotes(q, m);
  Calibration out;
  std::vector<Violation> violations = FindArbitrage(q, m);
  if (!violations.empty() && policy == ArbitragePolicy::kReject) {
    const Violation& v = violations.front();
    CalibrationError error("vols[" + std::to_string(v.expiry) + "][" + std::to_string(v.strike) + "]",
                           std::to_string(violations.size()) + " arbitrage" + (violations.size() > 1 ? "s" : "") +
                               " in the quotes; first: " + v.message);
    error.violations = std::move(violations);
    throw error;
  }
  out.report.violations = std::move(violations);

  const ql::Date ref(1, ql::January, 2000);
  const ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(m.spot));
  const ql::Handle<ql::YieldTermStructure> rTS(ql::ext::make_shared<LibraryCurve>(ref, m.rate));
  const ql::Handle<ql::YieldTermStructure> qTS(ql::ext::make_shared<LibraryCurve>(ref, m.dividend));
  try {
    // The widest reach first; a fit that misses a quote by more than
    // kFitAcceptable vol points there is replaced by the fit at
    // kFallbackReach when that one's largest error is smaller.
    Fit fit = FitAtReach(q, m, kFitReach, ref, spot, rTS, qTS);
    if (fit.report.maxError > kFitAcceptable) {
      Fit narrower = FitAtReach(q, m, kFallbackReach, ref, spot, rTS, qTS);
      if (narrower.report.maxError < fit.report.maxError) fit = std::move(narrower);
    }
    out.report.quotes = fit.report.quotes;
    out.report.leftOut = fit.report.leftOut;
    out.report.reach = fit.report.reach;
    out.report.maxError = fit.report.maxError;
    out.report.rmsError = fit.report.rmsError;
    out.report.worstExpiry = fit.report.worstExpiry;
    out.report.worstStrike = fit.report.worstStrike;
    const ql::AndreasenHugeVolatilityInterpl& ah = *fit.ah;
    const std::vector<double>& mesh = fit.mesh;

    // The fitted implied surface on the quoted expiries.
    const double kLo = q.strikes.front(), kHi = q.strikes.back();
    for (int s = 0; s < kFittedStrikes; ++s) {
      out.implied.strikes.push_back(kLo + (kHi - kLo) * s / (kFittedStrikes - 1));
    }
    for (int d : q.expiryDays) {
      const double t = d / 365.0;
      out.implied.times.push_back(t);
      for (double K : out.implied.strikes) {
        out.implied.vols.push_back(ImpliedVol(FittedPrice(ah, m, t, K), Forward(m, t), K, t));
      }
    }

    // The local volatility on the grid.
    LocalVolGrid& g = out.grid;
    g.moneyness = MoneynessAxis(q, m);
    const std::vector<int> days = NodeDays(q.expiryDays);
    for (int d : days) g.times.push_back(d / 365.0);
    g.vols.assign(g.moneyness.size() * days.size(), 0.0);
    for (std::size_t k = 0; k < days.size(); ++k) {
      const double t = (days[k] - 0.5) / 365.0;
      const double F = Forward(m, t);
      const LocalVolSlice slice = ReadSlice(ah, mesh, t, F);
      for (std::size_t p = 0; p < g.moneyness.size(); ++p) {
        const double v = SliceLocalVol(ah, mesh, slice, t, F, g.moneyness[p] * m.spot, out.report.repairedLocalVols);
        if (!std::isfinite(v) || v < 0.0) {
          throw CalibrationError("", "the fitted local volatility at " + std::to_string(100.0 * g.moneyness[p]) +
                                         " % of spot, day " + std::to_string(days[k]) +
                                         ", is not a finite non-negative number");
        }
        g.vols[p * days.size() + k] = v;
      }
    }
  } catch (const ql::Error& e) {
    throw CalibrationError("", std::string("the Andreasen-Huge fit failed: ") + e.what());
  }
  return out;
}

Quotes HestonQuotes(const Market& m, const HestonParameters& p, const std::vector<int>& expiryDays,
                    const std::vector<double>& strikes) {
  const ql::Date ref(1, ql::January, 2000);
  // The instruments' NPV reads QuantLib's global evaluation date: set for
  // this function only (a reference generator, not for concurrent use).
  const ql::SavedSettings saved;
  ql::Settings::instance().evaluationDate() = ref;
  const ql::Handle<ql::Quote> spot(ql::ext::make_shared<ql::SimpleQuote>(m.spot));
  const ql::Handle<ql::YieldTermStructure> rTS(ql::ext::make_shared<LibraryCurve>(ref, m.rate));
  const ql::Handle<ql::YieldTermStructure> qTS(ql::ext::make_shared<LibraryCurve>(ref, m.dividend));
  const auto model = ql::ext::make_shared<ql::HestonModel>(
      ql::ext::make_shared<ql::HestonProcess>(rTS, qTS, spot, p.v0, p.kappa, p.theta, p.sigma, p.rho));
  const auto engine = ql::ext::make_shared<ql::AnalyticHestonEngine>(
      model, ql::AnalyticHestonEngine::OptimalCV, ql::AnalyticHestonEngine::Integration::gaussLaguerre(192));
  Quotes q;
  q.expiryDays = expiryDays;
  q.strikes = strikes;
  for (int d : expiryDays) {
    const double t = d / 365.0;
    const double F = Forward(m, t);
    std::vector<double> row;
    for (double K : strikes) {
      const ql::Option::Type type = K < F ? ql::Option::Put : ql::Option::Call;
      ql::VanillaOption option(ql::ext::make_shared<ql::PlainVanillaPayoff>(type, K),
                               ql::ext::make_shared<ql::EuropeanExercise>(ref + d));
      option.setPricingEngine(engine);
      const double price = option.NPV() / CurveDiscount(m.rate, t);
      row.push_back(price < kNegligiblePrice * F ? std::nan("") : ImpliedVol(price, F, K, t));
    }
    q.vols.push_back(std::move(row));
  }
  return q;
}

}  // namespace morvik::calib
