// Checks of a quote matrix: its axes and values, and butterfly and calendar
// arbitrage among the quotes that exist.
#include <cmath>
#include <cstdio>
#include <string>

#include "calibration/implied_surface.h"
#include "numerics/curves.h"

namespace morvik::calib {
namespace {

std::string Cell(std::size_t e, std::size_t s) {
  return "vols[" + std::to_string(e) + "][" + std::to_string(s) + "]";
}

std::string Num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6g", v);
  return buf;
}

void CheckCurve(const TermCurve& c, const char* name) {
  if (c.tenors.size() != c.values.size()) throw CalibrationError(name, "one value per tenor expected");
  for (std::size_t k = 0; k < c.tenors.size(); ++k) {
    if (!std::isfinite(c.tenors[k]) || !std::isfinite(c.values[k])) {
      throw CalibrationError(name, "tenors and values must be finite numbers");
    }
    if (k > 0 && !(c.tenors[k] > c.tenors[k - 1])) {
      throw CalibrationError(name, "tenors must be strictly increasing");
    }
  }
}

// A price difference below this share of the forward is rounding, not arbitrage.
constexpr double kPriceTolerance = 1e-10;
// Largest Black volatility taken as a quote (1000 %): above it a quote is
// nearly always a slip (25 written for 0.25).
constexpr double kMaxVol = 10.0;
// A total-variance decrease below this is rounding.
constexpr double kVarianceTolerance = 1e-10;

}  // namespace

double CurveDiscount(const TermCurve& c, double t) {
  if (c.tenors.empty()) return 1.0;
  return DiscountFactor(c.tenors.data(), c.values.data(), static_cast<int>(c.tenors.size()), t);
}

double Forward(const Market& m, double t) { return m.spot * CurveDiscount(m.dividend, t) / CurveDiscount(m.rate, t); }

double BlackCall(double forward, double strike, double stdDev) {
  if (stdDev <= 0.0) return std::fmax(forward - strike, 0.0);
  const double d1 = std::log(forward / strike) / stdDev + 0.5 * stdDev;
  const double d2 = d1 - stdDev;
  return forward * 0.5 * std::erfc(-d1 / std::sqrt(2.0)) - strike * 0.5 * std::erfc(-d2 / std::sqrt(2.0));
}

void CheckQuotes(const Quotes& q, const Market& m) {
  if (!std::isfinite(m.spot) || m.spot <= 0.0) throw CalibrationError("", "the spot must be a positive number");
  CheckCurve(m.rate, "rate_curve");
  CheckCurve(m.dividend, "dividends");
  if (q.expiryDays.size() < 2) {
    throw CalibrationError("expiries", "at least two expiries are needed to calibrate a term structure, got " +
                                           std::to_string(q.expiryDays.size()));
  }
  for (std::size_t e = 0; e < q.expiryDays.size(); ++e) {
    const std::string f = "expiries[" + std::to_string(e) + "]";
    if (q.expiryDays[e] <= 0) throw CalibrationError(f, "an expiry must lie after the pricing date");
    if (e > 0 && q.expiryDays[e] <= q.expiryDays[e - 1]) {
      throw CalibrationError(f, q.expiryDays[e] == q.expiryDays[e - 1]
                                    ? "the same expiry as the one before it: expiries must not repeat"
                                    : "expiries must be in increasing order");
    }
  }
  if (q.strikes.empty()) throw CalibrationError("strikes", "at least one strike is needed");
  for (std::size_t s = 0; s < q.strikes.size(); ++s) {
    const std::string f = "strikes[" + std::to_string(s) + "]";
    if (!std::isfinite(q.strikes[s]) || q.strikes[s] <= 0.0) throw CalibrationError(f, "a strike must be positive");
    if (s > 0 && q.strikes[s] <= q.strikes[s - 1]) {
      throw CalibrationError(f, q.strikes[s] == q.strikes[s - 1]
                                    ? "the same strike as the one before it: strikes must not repeat"
                                    : "strikes must be in increasing order");
    }
  }
  if (q.vols.size() != q.expiryDays.size()) {
    throw CalibrationError("vols", "expected " + std::to_string(q.expiryDays.size()) + " rows, one per expiry, got " +
                                       std::to_string(q.vols.size()));
  }
  int total = 0;
  for (std::size_t e = 0; e < q.vols.size(); ++e) {
    const std::string row = "vols[" + std::to_string(e) + "]";
    if (q.vols[e].size() != q.strikes.size()) {
      throw CalibrationError(row, "expected " + std::to_string(q.strikes.size()) + " quotes, one per strike, got " +
                                      std::to_string(q.vols[e].size()));
    }
    int inRow = 0;
    for (std::size_t s = 0; s < q.vols[e].size(); ++s) {
      const double v = q.vols[e][s];
      if (std::isnan(v)) continue;  // missing
      if (!std::isfinite(v) || v <= 0.0 || v > kMaxVol) {
        throw CalibrationError(Cell(e, s), Num(v) + " is not a volatility: quotes must be positive, finite and at most " +
                                               Num(kMaxVol) + " (" + Num(100.0 * kMaxVol) + " %)");
      }
      ++inRow;
    }
    if (inRow == 0) throw CalibrationError(row, "no quote at this expiry");
    total += inRow;
  }
  if (total < 3) throw CalibrationError("vols", "at least three quotes are needed, got " + std::to_string(total));
  for (std::size_t e = 0; e < q.expiryDays.size(); ++e) {
    const double t = q.expiryDays[e] / 365.0;
    if (!std::isfinite(Forward(m, t)) || Forward(m, t) <= 0.0) {
      throw CalibrationError("expiries[" + std::to_string(e) + "]", "the forward at this expiry is not a positive number");
    }
  }
}

std::vector<Violation> FindArbitrage(const Quotes& q, const Market& m) {
  std::vector<Violation> out;
  const std::size_t E = q.expiryDays.size();
  // Butterfly: along each expiry, on consecutive quoted strikes, call prices
  // do not rise with the strike and fall no faster than the strike rises,
  // and lie on or below each chord.
  for (std::size_t e = 0; e < E; ++e) {
    const double t = q.expiryDays[e] / 365.0;
    const double F = Forward(m, t);
    const double tol = kPriceTolerance * F;
    std::vector<std::size_t> idx;
    std::vector<double> c;
    for (std::size_t s = 0; s < q.strikes.size(); ++s) {
      if (std::isnan(q.vols[e][s])) continue;
      idx.push_back(s);
      c.push_back(BlackCall(F, q.strikes[s], q.vols[e][s] * std::sqrt(t)));
    }
    for (std::size_t a = 0; a + 1 < idx.size(); ++a) {
      const double k0 = q.strikes[idx[a]], k1 = q.strikes[idx[a + 1]];
      const double drop = c[a] - c[a + 1];
      if (drop < -tol) {
        out.push_back({Violation::kButterfly, static_cast<int>(e), static_cast<int>(idx[a + 1]),
                       "call spread: the call at strike " + Num(k1) + " is worth more than the one at " + Num(k0) +
                           " (expiry " + std::to_string(q.expiryDays[e]) + " days)"});
      }
      if (drop > (k1 - k0) + tol) {
        out.push_back({Violation::kButterfly, static_cast<int>(e), static_cast<int>(idx[a + 1]),
                       "call spread: the call at strike " + Num(k0) + " is worth more than the one at " + Num(k1) +
                           " plus the strike difference (expiry " + std::to_string(q.expiryDays[e]) + " days)"});
      }
      if (a + 2 < idx.size()) {
        const double k2 = q.strikes[idx[a + 2]];
        const double chord = ((k2 - k1) * c[a] + (k1 - k0) * c[a + 2]) / (k2 - k0);
        if (c[a + 1] > chord + tol) {
          out.push_back({Violation::kButterfly, static_cast<int>(e), static_cast<int>(idx[a + 1]),
                         "butterfly: the call at strike " + Num(k1) + " lies above the chord of strikes " + Num(k0) +
                             " and " + Num(k2) + " by " + Num(c[a + 1] - chord) + " per unit (expiry " +
                             std::to_string(q.expiryDays[e]) + " days)"});
        }
      }
    }
  }
  // Calendar: total variance at fixed forward moneyness does not fall from
  // one expiry to the next. Each quote of the later expiry is compared with
  // the earlier expiry's variance, linear in log-moneyness between its
  // quotes (only inside their range).
  for (std::size_t e = 0; e + 1 < E; ++e) {
    const double t1 = q.expiryDays[e] / 365.0, t2 = q.expiryDays[e + 1] / 365.0;
    const double F1 = Forward(m, t1), F2 = Forward(m, t2);
    std::vector<double> k1, w1;
    for (std::size_t s = 0; s < q.strikes.size(); ++s) {
      if (std::isnan(q.vols[e][s])) continue;
      k1.push_back(std::log(q.strikes[s] / F1));
      w1.push_back(q.vols[e][s] * q.vols[e][s] * t1);
    }
    for (std::size_t s = 0; s < q.strikes.size(); ++s) {
      const double v = q.vols[e + 1][s];
      if (std::isnan(v)) continue;
      const double k = std::log(q.strikes[s] / F2);
      if (k < k1.front() || k > k1.back()) continue;
      std::size_t j = 0;
      while (j + 1 < k1.size() && k1[j + 1] < k) ++j;
      double w = w1[j];
      if (j + 1 < k1.size() && k > k1[j]) w = w1[j] + (w1[j + 1] - w1[j]) * (k - k1[j]) / (k1[j + 1] - k1[j]);
      const double w2 = v * v * t2;
      if (w2 < w - kVarianceTolerance) {
        out.push_back({Violation::kCalendar, static_cast<int>(e + 1), static_cast<int>(s),
                       "calendar: total variance " + Num(w2) + " at strike " + Num(q.strikes[s]) + " (expiry " +
                           std::to_string(q.expiryDays[e + 1]) + " days) is below " + Num(w) +
                           " of the earlier expiry (" + std::to_string(q.expiryDays[e]) +
                           " days) at the same forward moneyness"});
      }
    }
  }
  return out;
}

}  // namespace morvik::calib
