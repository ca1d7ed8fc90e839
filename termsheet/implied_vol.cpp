// Reads "implied_vol" quote blocks and calibrates them.
#include "termsheet/implied_vol.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "termsheet/term_dates.h"

namespace morvik {
namespace {

using namespace sheet;

// Days from the pricing date to a tenor "<n><D|W|M|Y>", or -1 when the text
// is no tenor.
int TenorDays(const std::string& text, int priceDate) {
  if (text.size() < 2 || text.size() > 6) return -1;
  int n = 0;
  for (std::size_t k = 0; k + 1 < text.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(text[k]))) return -1;
    n = n * 10 + (text[k] - '0');
  }
  int date = 0;
  switch (std::toupper(static_cast<unsigned char>(text.back()))) {
    case 'D': date = AddDays(priceDate, n); break;
    case 'W': date = AddDays(priceDate, 7 * n); break;
    case 'M': date = AddMonths(priceDate, n); break;
    case 'Y': date = AddMonths(priceDate, 12 * n); break;
    default: return -1;
  }
  return date == 0 ? -1 : DaysBetween(priceDate, date);
}

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

}  // namespace

calib::Quotes ReadImpliedQuotes(const Json& v, const std::string& path, int priceDate, double spot, bool& repair) {
  Object(v, path);
  CheckKeys(v, path, {"expiries", "strikes", "strike_unit", "vols", "arbitrage"});
  calib::Quotes q;
  const std::string ep = Key(path, "expiries");
  const Json& expiries = Array(Require(v, path, "expiries"), ep);
  for (std::size_t e = 0; e < expiries.size(); ++e) {
    const std::string p = At(ep, e);
    if (!expiries[e].is_string()) Fail(p, "expected a date (YYYY-MM-DD) or a tenor such as \"3M\"");
    const std::string text = expiries[e].get<std::string>();
    int days = TenorDays(text, priceDate);
    if (days < 0) days = DaysBetween(priceDate, Date(expiries[e], p));
    q.expiryDays.push_back(days);
  }
  const int unit = Choice(Require(v, path, "strike_unit"), Key(path, "strike_unit"),
                          {{"percent_of_spot", 0}, {"absolute", 1}});
  q.strikes = Numbers(Require(v, path, "strikes"), Key(path, "strikes"));
  if (unit == 0) {
    for (double& k : q.strikes) k = spot * k / 100.0;
  }
  const std::string vp = Key(path, "vols");
  const Json& rows = Array(Require(v, path, "vols"), vp);
  if (rows.size() != q.expiryDays.size()) {
    Fail(vp, "expected " + std::to_string(q.expiryDays.size()) + " rows, one per expiry, got " +
                 std::to_string(rows.size()));
  }
  for (std::size_t e = 0; e < rows.size(); ++e) {
    const std::string rp = At(vp, e);
    Array(rows[e], rp);
    CheckSize(rows[e], rp, q.strikes.size(), "one per strike (null for a missing quote)");
    std::vector<double> row;
    for (std::size_t s = 0; s < rows[e].size(); ++s) {
      row.push_back(rows[e][s].is_null() ? std::nan("") : Number(rows[e][s], At(rp, s)));
    }
    q.vols.push_back(std::move(row));
  }
  repair = false;
  if (const Json* a = Find(v, "arbitrage")) {
    repair = Choice(*a, Key(path, "arbitrage"), {{"reject", 0}, {"repair", 1}}) == 1;
  }
  return q;
}

CalibratedUnderlying CalibrateUnderlying(const calib::Quotes& q, const calib::Market& m, bool repair,
                                         const std::string& path, const std::string& underlyingPath, int priceDate,
                                         std::vector<FieldIssue>& warnings) {
  const auto cell = [&](int e, int s) {
    return Key(path, "vols") + "[" + std::to_string(e) + "][" + std::to_string(s) + "]";
  };
  const auto where = [&](const calib::Violation& v) {
    return cell(v.expiry, v.strike) + " (expiry " + FormatIsoDate(AddDays(priceDate, q.expiryDays[v.expiry])) +
           ", strike " + ShortestDouble(q.strikes[v.strike]) + "): " + v.message;
  };
  CalibratedUnderlying out;
  try {
    calib::Calibration c = calib::Calibrate(q, m, repair ? calib::ArbitragePolicy::kRepair
                                                         : calib::ArbitragePolicy::kReject);
    out.grid = std::move(c.grid);
    out.report = std::move(c.report);
    out.implied = std::move(c.implied);
  } catch (const calib::CalibrationError& e) {
    if (!e.violations.empty()) {
      std::string text = std::to_string(e.violations.size()) + " arbitrage" +
                         (e.violations.size() > 1 ? "s" : "") +
                         " in the quotes (\"arbitrage\": \"repair\" fits through them):";
      for (const calib::Violation& v : e.violations) text += "\n  " + where(v);
      Fail(cell(e.violations.front().expiry, e.violations.front().strike), text);
    }
    const bool curve = e.field == "rate_curve" || e.field == "dividends";
    Fail(e.field.empty() ? path : Key(curve ? underlyingPath : path, e.field.c_str()), e.what());
  }
  if (!out.report.violations.empty()) {
    out.repaired = true;
    std::string text = "the quotes admit arbitrage; the fit goes through an arbitrage-free surface whose largest "
                       "change to a quote is " + Fixed(out.report.maxError, 2) + " vol points:";
    for (const calib::Violation& v : out.report.violations) text += "\n  " + where(v);
    warnings.push_back({path, text});
  }
  if (out.report.repairedLocalVols > 0) {
    warnings.push_back({path, std::to_string(out.report.repairedLocalVols) +
                                  " local-volatility grid values fell where the fitted surface has no local "
                                  "volatility (Dupire's ratio negative or not finite, far out of the money); they "
                                  "hold the nearest defined value on the side of the forward"});
  }
  return out;
}

std::string FitSentence(const calib::FitReport& r) {
  return "calibrated from " + std::to_string(r.quotes) + " implied-volatility quotes: fit error max " +
         Fixed(r.maxError, 3) + ", RMS " + Fixed(r.rmsError, 3) + " vol points" +
         (r.leftOut > 0 ? " (" + std::to_string(r.leftOut) + " more than " + Fixed(r.reach, 1) +
                                " standard deviations out of the money left out)" : "");
}

}  // namespace morvik
