// Text, JSON and CSV renderings of priced notes.
#include "termsheet/report.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include <nlohmann/json.hpp>

#include "interface/status_messages.h"

namespace morvik {
namespace {

using nlohmann::json;
using ordered = nlohmann::ordered_json;

std::string Fixed(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

// Shortest text that reads back as the same double.
std::string Exact(double v) {
  if (!std::isfinite(v)) return v > 0 ? "inf" : (v < 0 ? "-inf" : "nan");
  // Plain decimals for the usual magnitudes, exponents only beyond them.
  const double a = std::fabs(v);
  const bool plain = a == 0.0 || (a >= 1e-6 && a < 1e16);
  char buf[400];
  const auto res = plain ? std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed)
                         : std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, res.ptr);
}

std::string Pad(const std::string& s, std::size_t width, bool right) {
  if (s.size() >= width) return s;
  const std::string fill(width - s.size(), ' ');
  return right ? fill + s : s + fill;
}

std::string Percent(double fraction, int decimals) { return Fixed(100.0 * fraction, decimals) + " %"; }

std::string PercentOfNotional(const NoteInputs& n, double amount) {
  if (!(n.NotionalAMT > 0.0)) return "n/a";
  return Fixed(100.0 * amount / n.NotionalAMT, 4) + " %";
}

std::string Currency(const NoteInputs& n) { return n.currency.empty() ? std::string() : " " + n.currency; }

bool HasGreeks(const NoteReport& r) {
  return r.note.CalcFlag[0] >= 1 && r.result.resultPrice.size() >= 3 * static_cast<std::size_t>(r.note.NStock) + 3;
}

// Sum of the probabilities of the early-redemption slots.
double EarlyProbability(const NoteReport& r) {
  double p = 0.0;
  for (int s = 0; s < r.note.NStrike; ++s) p += r.result.events[s];
  return p;
}

}  // namespace

std::string FormatMoney(double amount) {
  if (!std::isfinite(amount)) return Exact(amount);
  const std::string digits = Fixed(std::fabs(amount), 2);
  const std::size_t dot = digits.find('.');
  std::string whole = digits.substr(0, dot);
  std::string grouped;
  const std::size_t len = whole.size();
  for (std::size_t i = 0; i < len; ++i) {
    grouped += whole[i];
    const std::size_t left = len - 1 - i;
    if (left > 0 && left % 3 == 0) grouped += ',';
  }
  const bool negative = amount < 0.0 && digits != "0.00";
  return (negative ? "-" : "") + grouped + digits.substr(dot);
}

std::string ProbabilityBar(double probability, int width) {
  double p = probability;
  if (!(p > 0.0)) p = 0.0;
  if (p > 1.0) p = 1.0;
  const int filled = static_cast<int>(std::lround(p * width));
  return std::string(static_cast<std::size_t>(filled), '#') + std::string(static_cast<std::size_t>(width - filled), ' ');
}

void WriteTextReport(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int N = n.NStrike;
  const int Q = n.NCoupon;
  const std::string cur = Currency(n);
  out << n.name << "  (" << r.file << ")\n";
  out << "Priced on " << FormatIsoDate(n.PriceDate) << " with " << Fixed(n.NTrials, 0) << " trials, notional "
      << FormatMoney(n.NotionalAMT) << cur << "\n\n";
  out << "Price: " << FormatMoney(res.resultPrice[0]) << cur << "  (" << PercentOfNotional(n, res.resultPrice[0])
      << " of notional)\n\n";

  out << "Redemption outcomes\n";

  constexpr int kBar = 25;
  out << "  " << Pad("outcome", 22, false) << Pad("observation", 13, false) << Pad("payment", 11, false)
      << Pad("probability", 12, true) << "  " << std::string(kBar, ' ') << Pad("mean cash flow", 20, true) << "\n";
  for (int s = 0; s < N + 2; ++s) {
    std::string label, obs;
    int pay = 0;
    if (s < N) {
      label = "early, date " + std::to_string(s + 1);
      if (s == N - 1) label = "final, date " + std::to_string(s + 1);
      if (n.DatesInfo[N + s] <= n.PriceDate) label += " (paid)";
      obs = FormatIsoDate(n.DatesInfo[s]);
      pay = n.DatesInfo[N + s];
    } else {
      label = s == N ? "maturity, no knock-in" : "maturity, knock-in";
      obs = FormatIsoDate(n.DatesInfo[N - 1]);
      pay = n.DatesInfo[2 * N - 1];
    }
    const double p = res.events[s];
    const double cf = res.events[N + 2 + s];
    out << "  " << Pad(label, 22, false) << Pad(obs, 13, false) << Pad(FormatIsoDate(pay), 11, false)
        << Pad(Percent(p, 2), 12, true) << "  " << ProbabilityBar(p, kBar) << Pad(FormatMoney(cf), 20, true) << "\n";
  }
  double total = 0.0;
  double totalCf = 0.0;
  for (int s = 0; s < N + 2; ++s) {
    total += res.events[s];
    totalCf += res.events[N + 2 + s];
  }
  out << "  " << Pad("all outcomes", 46, false) << Pad(Percent(total, 2), 12, true) << "  " << std::string(kBar, ' ')
      << Pad(FormatMoney(totalCf), 20, true) << "\n";

  if (Q > 0) {
    out << "\nCoupons\n";
    out << "  " << Pad("#", 10, false) << Pad("observation", 13, false) << Pad("payment", 11, false)
        << Pad("barrier", 10, true) << Pad("amount", 10, true) << Pad("probability", 13, true) << "  "
        << std::string(kBar, ' ') << Pad("mean amount", 18, true) << "\n";
    for (int j = 0; j < Q; ++j) {
      const double p = res.coupons[j];
      std::string label = std::to_string(j + 1);
      if (n.CouponDatesInfo[Q + j] <= n.PriceDate) label += " (paid)";
      out << "  " << Pad(label, 10, false) << Pad(FormatIsoDate(n.CouponDatesInfo[j]), 13, false)
          << Pad(FormatIsoDate(n.CouponDatesInfo[Q + j]), 11, false) << Pad(Percent(n.CouponBarrier[j], 1), 10, true)
          << Pad(Percent(n.Coupon[j], 3), 10, true) << Pad(Percent(p, 2), 13, true) << "  " << ProbabilityBar(p, kBar)
          << Pad(FormatMoney(res.coupons[Q + j]), 18, true) << "\n";
    }
  }

  if (HasGreeks(r)) {
    const int S = n.NStock;
    out << "\nGreeks by underlying (" << (n.currency.empty() ? "notional currency" : n.currency) << ")\n";
    out << "  " << Pad("underlying", 24, false) << Pad("delta (1 % spot)", 19, true)
        << Pad("gamma (1 % spot)", 19, true) << Pad("vega (1 vol pt)", 19, true) << "\n";
    for (int i = 0; i < S; ++i) {
      out << "  " << Pad(n.underlyingNames[i], 24, false) << Pad(FormatMoney(res.resultPrice[1 + i]), 19, true)
          << Pad(FormatMoney(res.resultPrice[1 + S + i]), 19, true)
          << Pad(FormatMoney(res.resultPrice[1 + 2 * S + i]), 19, true) << "\n";
    }
    if (n.CalcFlag[0] >= 2) {
      out << "\nWhole note: theta (1 day) " << FormatMoney(res.resultPrice[3 * S + 1]) << cur << ", rho (1 rate pt) "
          << FormatMoney(res.resultPrice[3 * S + 2]) << cur << "\n";
    }
  }

  if (!res.ladderMoves.empty()) {
    out << "\nSpot ladder (all underlyings move together)\n";
    out << "  " << Pad("move", 7, true) << Pad("price", 21, true) << Pad("of notional", 14, true) << "\n";
    for (std::size_t k = 0; k < res.ladderMoves.size(); ++k) {
      const double m = res.ladderMoves[k];
      std::string move = (m > 0 ? "+" : "") + Fixed(100.0 * m, 0) + " %";
      if (m == 0.0) move = "0 %";
      std::string price = res.ladderStatus[k] >= 0 ? FormatMoney(res.ladderPrices[k])
                                                    : "rejected " + std::to_string(res.ladderStatus[k]);
      std::string pct = res.ladderStatus[k] >= 0 ? PercentOfNotional(n, res.ladderPrices[k]) : "";
      out << "  " << Pad(move, 7, true) << Pad(price, 21, true) << Pad(pct, 14, true) << "\n";
    }
  }
}

std::string JsonReport(const std::vector<NoteReport>& notes) {
  ordered all = ordered::object();
  all["notes"] = ordered::array();
  for (const NoteReport& r : notes) {
    ordered j = ordered::object();
    j["file"] = r.file;
    if (!r.usable) {
      j["status"] = nullptr;
      j["error"] = r.inputError;
      all["notes"].push_back(j);
      continue;
    }
    const NoteInputs& n = r.note;
    const NoteResult& res = r.result;
    j["name"] = n.name;
    j["status"] = res.status;
    if (res.status < 0) {
      j["error"] = res.rejection;
      all["notes"].push_back(j);
      continue;
    }
    const int N = n.NStrike;
    const int Q = n.NCoupon;
    const int S = n.NStock;
    j["currency"] = n.currency;
    j["price_date"] = FormatIsoDate(n.PriceDate);
    j["notional"] = n.NotionalAMT;
    j["trials"] = n.NTrials;
    j["price"] = res.resultPrice[0];
    if (n.NotionalAMT > 0.0) j["price_percent"] = 100.0 * res.resultPrice[0] / n.NotionalAMT;
    ordered red = ordered::array();
    for (int s = 0; s < N; ++s) {
      red.push_back({{"observation", FormatIsoDate(n.DatesInfo[s])},
                     {"payment", FormatIsoDate(n.DatesInfo[N + s])},
                     {"probability", res.events[s]},
                     {"cash_flow", res.events[N + 2 + s]}});
    }
    j["redemption"] = red;
    j["maturity"] = {{"no_knock_in", {{"probability", res.events[N]}, {"cash_flow", res.events[2 * N + 2]}}},
                     {"knock_in", {{"probability", res.events[N + 1]}, {"cash_flow", res.events[2 * N + 3]}}}};
    ordered cps = ordered::array();
    for (int c = 0; c < Q; ++c) {
      cps.push_back({{"observation", FormatIsoDate(n.CouponDatesInfo[c])},
                     {"payment", FormatIsoDate(n.CouponDatesInfo[Q + c])},
                     {"probability", res.coupons[c]},
                     {"cash_flow", res.coupons[Q + c]}});
    }
    j["coupons"] = cps;
    if (HasGreeks(r)) {
      ordered g = ordered::array();
      for (int i = 0; i < S; ++i) {
        g.push_back({{"underlying", n.underlyingNames[i]},
                     {"delta", res.resultPrice[1 + i]},
                     {"gamma", res.resultPrice[1 + S + i]},
                     {"vega", res.resultPrice[1 + 2 * S + i]}});
      }
      j["greeks"] = g;
      if (n.CalcFlag[0] >= 2) {
        j["theta"] = res.resultPrice[3 * S + 1];
        j["rho"] = res.resultPrice[3 * S + 2];
      }
    }
    if (!res.ladderMoves.empty()) {
      ordered lad = ordered::array();
      for (std::size_t k = 0; k < res.ladderMoves.size(); ++k) {
        ordered row = {{"move", res.ladderMoves[k]}, {"status", res.ladderStatus[k]}};
        if (res.ladderStatus[k] >= 0) row["price"] = res.ladderPrices[k];
        lad.push_back(row);
      }
      j["ladder"] = lad;
    }
    all["notes"].push_back(j);
  }
  return all.dump(2) + "\n";
}

namespace {

std::string CsvField(const std::string& s) {
  if (s.find_first_of(",\"\n\r") == std::string::npos) return s;
  std::string q = "\"";
  for (char c : s) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

std::string Joined(const std::vector<double>& v, std::size_t from, std::size_t count) {
  std::string s;
  for (std::size_t k = 0; k < count; ++k) {
    if (k) s += ';';
    s += Exact(v[from + k]);
  }
  return s;
}

}  // namespace

void WriteCsv(std::ostream& out, const std::vector<NoteReport>& notes) {
  out << "file,name,status,currency,notional,price,price_percent,early_redemption_probability,"
         "maturity_probability,knock_in_probability,delta,gamma,vega,theta,rho,message\n";
  for (const NoteReport& r : notes) {
    std::vector<std::string> f(16);
    f[0] = r.file;
    if (!r.usable) {
      f[15] = r.inputError;
    } else {
      const NoteInputs& n = r.note;
      const NoteResult& res = r.result;
      f[1] = n.name;
      f[2] = std::to_string(res.status);
      f[3] = n.currency;
      f[4] = Exact(n.NotionalAMT);
      if (res.status < 0) {
        f[15] = res.rejection;
      } else {
        const int N = n.NStrike;
        const auto S = static_cast<std::size_t>(n.NStock);
        f[5] = Exact(res.resultPrice[0]);
        if (n.NotionalAMT > 0.0) f[6] = Exact(100.0 * res.resultPrice[0] / n.NotionalAMT);
        f[7] = Exact(EarlyProbability(r));
        f[8] = Exact(res.events[N]);
        f[9] = Exact(res.events[N + 1]);
        if (HasGreeks(r)) {
          f[10] = Joined(res.resultPrice, 1, S);
          f[11] = Joined(res.resultPrice, 1 + S, S);
          f[12] = Joined(res.resultPrice, 1 + 2 * S, S);
          if (n.CalcFlag[0] >= 2) {
            f[13] = Exact(res.resultPrice[3 * S + 1]);
            f[14] = Exact(res.resultPrice[3 * S + 2]);
          }
        }
        f[15] = StatusMessage(res.status);
      }
    }
    for (std::size_t k = 0; k < f.size(); ++k) out << (k ? "," : "") << CsvField(f[k]);
    out << "\n";
  }
}

}  // namespace morvik
