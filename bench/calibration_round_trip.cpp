// Round trip of the implied-volatility calibration, run by hand
// (scripts/calibration-check.sh): quotes from Heston with a realistic equity
// skew (Gatheral's SPX parameters) at 8 expiries from 1 month to 5 years and
// strikes 50-150 %, written into a one-stock term sheet as implied_vol,
// calibrated, and European calls repriced by the library's own Monte Carlo
// (base price at the strike, one observation at the expiry, slope 1, no
// knock-in, payoff without notional, notional = strike: the price is the
// discounted call). The Monte Carlo price's Black volatility is compared
// with the quote at every strike from 60 % to 140 % and expiry up to 3 years.
//
//   calibration_round_trip [trials] [jobs] [expiries] [strikes]
//
// Defaults: 1000000 trials, 1 job, every expiry up to 3 years and every
// strike from 60 to 140 %. `expiries` and `strikes` select cells by
// comma-separated lists ("1M,3M" and "120,140", strikes in % of spot), to
// rerun a few cells without the whole table.
//
// Prints the table of errors in vol points (Monte Carlo minus quote) and
// their standard errors (over the quote's vega), and exits 1 when a price
// differs from the quote's by more than 0.2 vol points of vega plus 3
// standard errors. "nan": the Monte Carlo price has no Black volatility (no
// path paid).
//
// The standard error is that of the quote's own law: the standard deviation
// of the call's payoff under the quoted Black distribution over the square
// root of the trials, the error the Monte Carlo price has if the calibration
// is right. The sample's standard error cannot judge the far out-of-the-money
// cells: at 3 months 140 % about ten paths in 10^6 pay, at 1 month 120 %
// about two, and a sample with fewer payers than expected reports both a low
// price and a small error (at 3 months 140 % the sample gave -1.2 vol points
// with a standard error of 0.10 at 10^6 trials, -0.6 at 2*10^6, -0.2 at
// 8*10^6, the error staying near 0.11).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "calibration/reference_surfaces.h"
#include "termsheet/pricing.h"
#include "termsheet/term_sheet.h"

namespace {

using namespace morvik;

constexpr int kPriceDate = 20250102;
constexpr double kSpot = 100.0, kRate = 0.03, kYield = 0.01;
const char* const kTenors[] = {"1M", "2M", "3M", "6M", "1Y", "2Y", "3Y", "5Y"};
const int kTenorMonths[] = {1, 2, 3, 6, 12, 24, 36, 60};

// Black volatility of an undiscounted call price (bisection; NaN outside
// the arbitrage bounds).
double CallVol(double price, double F, double K, double t) {
  if (!(price > std::fmax(F - K, 0.0)) || !(price < F)) return std::nan("");
  double lo = 1e-6, hi = 5.0;
  for (int i = 0; i < 200; ++i) {
    const double mid = 0.5 * (lo + hi);
    (calib::BlackCall(F, K, mid * std::sqrt(t)) > price ? hi : lo) = mid;
  }
  return 0.5 * (lo + hi);
}

// E[max(S - K, 0)^2] for S lognormal with mean F and log standard deviation sd.
double CallSecondMoment(double F, double K, double sd) {
  const double d1 = (std::log(F / K) + 0.5 * sd * sd) / sd, d2 = d1 - sd;
  const auto N = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
  return F * F * std::exp(sd * sd) * N(d1 + sd) - 2.0 * K * F * N(d1) + K * K * N(d2);
}

Json ImpliedBlock(const calib::Quotes& q) {
  Json rows = Json::array();
  for (const auto& r : q.vols) {
    Json row = Json::array();
    for (double v : r) row.push_back(std::isnan(v) ? Json(nullptr) : Json(v));
    rows.push_back(row);
  }
  std::vector<std::string> tenors(std::begin(kTenors), std::end(kTenors));
  std::vector<double> pct;
  for (double k : q.strikes) pct.push_back(100.0 * k / kSpot);
  return Json{{"expiries", tenors}, {"strikes", pct}, {"strike_unit", "percent_of_spot"}, {"vols", rows}};
}

// A one-stock note that pays, at the expiry, max(S/K - 1, 0) on a notional
// of K: the call on one share.
std::string CallSheet(const Json& implied, double K, int expiry, long long trials) {
  const std::string date = FormatIsoDate(expiry);
  Json sheet = {
      {"name", "call"}, {"price_date", FormatIsoDate(kPriceDate)}, {"notional", K},
      {"discount_curve", {{"tenors", {1.0}}, {"rates", {kRate}}}},
      {"underlyings", Json::array({Json{{"name", "HESTON"}, {"spot", kSpot}, {"base_price", K},
                                         {"rate_curve", {{"tenors", {1.0}}, {"rates", {kRate}}}},
                                         {"implied_vol", implied},
                                         {"dividends", {{"type", "yield"}, {"yield", kYield}}}}})},
      {"knock_in", {{"barrier", 0.0}, {"mode", "maturity_no_loss"}}},
      {"redemption", Json::array({Json{{"observation", date}, {"payment", date},
                                       {"tiers", Json::array({Json{{"strike", 1.0}, {"slope", 1.0}, {"amount", 0.0}}})}}})},
      {"maturity", {{"no_knock_in", {{"slope", 1.0}, {"amount", 0.0}}}, {"knock_in", {{"slope", 1.0}, {"amount", 0.0}}}}},
      {"settings", {{"trials", trials}, {"include_notional", false}}}};
  return WriteJsonText(sheet);
}

// The comma-separated items of `text`; empty for no text.
std::vector<std::string> Items(const char* text) {
  std::vector<std::string> out;
  if (text == nullptr) return out;
  std::string s(text);
  for (std::size_t b = 0; b <= s.size();) {
    const std::size_t e = std::min(s.find(',', b), s.size());
    if (e > b) out.push_back(s.substr(b, e - b));
    b = e + 1;
  }
  return out;
}

struct Cell {
  int e = 0, s = 0;
  double quote = 0.0, mcVol = 0.0, seVol = 0.0, sampleSeVol = 0.0;
  bool ok = false;
  std::string problem;
};

}  // namespace

int main(int argc, char** argv) {
  const long long trials = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const int jobs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  const std::vector<std::string> pickExpiries = Items(argc > 3 ? argv[3] : nullptr);
  std::vector<double> pickStrikes;
  for (const std::string& k : Items(argc > 4 ? argv[4] : nullptr)) pickStrikes.push_back(std::atof(k.c_str()));
  for (const std::string& x : pickExpiries) {
    if (std::find(std::begin(kTenors), std::end(kTenors), x) == std::end(kTenors)) {
      std::fprintf(stderr, "unknown expiry %s (1M 2M 3M 6M 1Y 2Y 3Y)\n", x.c_str());
      return 2;
    }
  }
  const auto picked = [&](std::size_t e, double K) {
    const bool expiry = pickExpiries.empty() || std::find(pickExpiries.begin(), pickExpiries.end(), kTenors[e]) !=
                                                     pickExpiries.end();
    const bool strike = pickStrikes.empty() || std::find(pickStrikes.begin(), pickStrikes.end(), 100.0 * K / kSpot) !=
                                                   pickStrikes.end();
    return expiry && strike;
  };
  calib::Market m;
  m.spot = kSpot;
  m.rate = {{1.0}, {kRate}};
  m.dividend = {{0.0}, {kYield}};
  std::vector<int> days;
  for (int months : kTenorMonths) days.push_back(DaysBetween(kPriceDate, AddMonths(kPriceDate, months)));
  std::vector<double> strikes;
  for (int k = 50; k <= 150; k += 10) strikes.push_back(kSpot * k / 100.0);
  const calib::Quotes q = calib::HestonQuotes(m, calib::kGatheralSpx2005, days, strikes);
  const Json implied = ImpliedBlock(q);

  // The calibration on its own: its fit error.
  {
    const calib::Calibration c = calib::Calibrate(q, m, calib::ArbitragePolicy::kReject);
    std::printf("Heston quotes (v0 %.4f, theta %.4f, kappa %.4f, sigma %.4f, rho %.4f), %d measured quotes\n",
                calib::kGatheralSpx2005.v0, calib::kGatheralSpx2005.theta, calib::kGatheralSpx2005.kappa,
                calib::kGatheralSpx2005.sigma, calib::kGatheralSpx2005.rho, c.report.quotes);
    std::printf("fit error: max %.4f, RMS %.4f vol points; grid %zu moneyness x %zu times\n", c.report.maxError,
                c.report.rmsError, c.grid.moneyness.size(), c.grid.times.size());
  }

  std::vector<Cell> cells;
  for (std::size_t e = 0; e < days.size(); ++e) {
    if (days[e] > 3 * 366) continue;
    for (std::size_t s = 0; s < strikes.size(); ++s) {
      if (strikes[s] < 60.0 || strikes[s] > 140.0 || !picked(e, strikes[s])) continue;
      Cell c;
      c.e = static_cast<int>(e);
      c.s = static_cast<int>(s);
      cells.push_back(c);
    }
  }
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i = next++; i < cells.size(); i = next++) {
      Cell& c = cells[i];
      const double K = strikes[static_cast<std::size_t>(c.s)];
      const int d = days[static_cast<std::size_t>(c.e)];
      const double t = d / 365.0;
      c.quote = q.vols[static_cast<std::size_t>(c.e)][static_cast<std::size_t>(c.s)];
      if (std::isnan(c.quote)) continue;  // no quote: worth nothing under Heston
      NoteInputs n;
      TermSheetError error;
      if (!ParseTermSheet(CallSheet(implied, K, AddDays(kPriceDate, d), trials), n, error)) {
        c.problem = Describe(error);
        continue;
      }
      const NoteResult r = PriceNote(n, PriceRequest{});
      if (r.status < 0) {
        c.problem = r.rejection;
        continue;
      }
      const double df = std::exp(-kRate * t);
      const double F = calib::Forward(m, t);
      const double call = r.resultPrice[0] / df;
      // Judged in price: within the price change of 0.2 vol points plus 3
      // standard errors (a Monte Carlo price outside the Black bounds, deep
      // in or out of the money, has no volatility but is still judged).
      c.mcVol = CallVol(call, F, K, t);
      const double sd = c.quote * std::sqrt(t);
      const double vega = F * std::exp(-0.5 * std::pow(std::log(F / K) / sd + 0.5 * sd, 2)) /
                          std::sqrt(2.0 * M_PI) * std::sqrt(t);
      const double quoted = calib::BlackCall(F, K, sd);
      const double se = std::sqrt(std::fmax(CallSecondMoment(F, K, sd) - quoted * quoted, 0.0) / trials);
      c.seVol = se / vega;
      c.sampleSeVol = r.priceSE / df / vega;
      c.ok = std::fabs(call - quoted) <= 0.002 * vega + 3.0 * se;
    }
  };
  std::vector<std::thread> pool;
  for (int j = 0; j < jobs; ++j) pool.emplace_back(work);
  for (std::thread& th : pool) th.join();

  std::printf("\nMonte Carlo (%lld trials) implied vol minus quote, vol points; (standard error under the quote)\n",
              trials);
  std::printf("%-7s", "expiry");
  for (std::size_t s = 0; s < strikes.size(); ++s) {
    const bool shown = std::any_of(cells.begin(), cells.end(), [&](const Cell& c) { return c.s == static_cast<int>(s); });
    if (shown) std::printf("%15.0f%%", strikes[s]);
  }
  std::printf("\n");
  bool all = true;
  double worst = 0.0;
  for (std::size_t e = 0; e < days.size(); ++e) {
    if (std::none_of(cells.begin(), cells.end(), [&](const Cell& c) { return c.e == static_cast<int>(e); })) continue;
    std::printf("%-7s", kTenors[e]);
    for (const Cell& c : cells) {
      if (c.e != static_cast<int>(e)) continue;
      if (std::isnan(c.quote)) {
        std::printf("%16s", "no quote");
        continue;
      }
      if (!c.problem.empty()) {
        std::printf("%16s", "error");
        all = false;
        continue;
      }
      std::printf("%8.3f (%5.3f)%s", 100.0 * (c.mcVol - c.quote), 100.0 * c.seVol, c.ok ? "" : "!");
      if (c.ok) std::printf(" ");
      all = all && c.ok;
      if (std::isfinite(c.mcVol)) worst = std::fmax(worst, std::fabs(c.mcVol - c.quote) * 100.0);
    }
    std::printf("\n");
  }
  std::printf("\nthe sample's standard errors, vol points\n");
  for (std::size_t e = 0; e < days.size(); ++e) {
    if (std::none_of(cells.begin(), cells.end(), [&](const Cell& c) { return c.e == static_cast<int>(e); })) continue;
    std::printf("%-7s", kTenors[e]);
    for (const Cell& c : cells) {
      if (c.e == static_cast<int>(e)) std::printf("%16.3f", 100.0 * c.sampleSeVol);
    }
    std::printf("\n");
  }
  for (const Cell& c : cells) {
    if (!c.problem.empty()) std::printf("expiry %d strike %d: %s\n", c.e, c.s, c.problem.c_str());
  }
  std::printf("\nlargest error %.3f vol points; %s\n", worst,
              all ? "every error within 0.2 vol points plus 3 standard errors"
                  : "errors marked ! exceed 0.2 vol points plus 3 standard errors");
  return all ? 0 : 1;
}
