// The text report of a note, in lines of at most kReportWidth columns.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "calls/layout.h"
#include "calls/validation.h"
#include "termsheet/json_text.h"
#include "termsheet/report.h"

namespace morvik {
namespace {

std::string Pad(const std::string& s, int width, bool right) {
  const int w = DisplayWidth(s);
  if (w >= width) return s;
  const std::string fill(static_cast<std::size_t>(width - w), ' ');
  return right ? fill + s : s + fill;
}

// A cell of `width` columns: cut to fit, then padded.
std::string Cell(const std::string& s, int width, bool right = false) { return Pad(FitWidth(s, width), width, right); }

std::string Percent(double fraction, int decimals) { return FixedDecimals(100.0 * fraction, decimals) + " %"; }

std::string PercentOfNotional(const NoteInputs& n, double amount) {
  if (!(n.NotionalAMT > 0.0)) return "n/a";
  return FixedDecimals(100.0 * amount / n.NotionalAMT, 4) + " %";
}

std::string Currency(const NoteInputs& n) { return n.currency.empty() ? std::string() : " " + n.currency; }

// Words of `text` in lines of at most `width` columns after `indent`
// spaces; a word longer than a line is cut.
void WriteWrapped(std::ostream& out, const std::string& text, int indent, int width = kReportWidth) {
  const int room = width - indent;
  std::string line;
  std::size_t k = 0;
  while (k <= text.size()) {
    std::size_t end = text.find(' ', k);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(k, end - k);
    k = end + 1;
    if (word.empty()) continue;
    if (!line.empty() && DisplayWidth(line) + 1 + DisplayWidth(word) > room) {
      out << std::string(static_cast<std::size_t>(indent), ' ') << line << "\n";
      line.clear();
    }
    if (DisplayWidth(word) > room) word = FitWidth(word, room);
    line += (line.empty() ? "" : " ") + word;
  }
  if (!line.empty()) out << std::string(static_cast<std::size_t>(indent), ' ') << line << "\n";
}

// Columns an underlying's name takes in a table, and at most in a sentence.
constexpr int kUnderlyingWidth = 32;

// The note's name and file; a name too long for a line is cut to one line,
// as an underlying's name is cut to its column.
void WriteTitle(std::ostream& out, const NoteReport& r) {
  const std::string title = r.note.name + "  (" + r.file + ")";
  if (DisplayWidth(title) <= kReportWidth) {
    out << title << "\n";
    return;
  }
  out << FitWidth(r.note.name, kReportWidth) << "\n";
  WriteWrapped(out, "(" + r.file + ")", 0);
}

void WriteEvents(std::ostream& out, const NoteReport& r) {
  const LifeCycle& life = r.life;
  if (life.events.empty()) return;
  out << "\nPast events (from past.history)\n";
  const int moneyWidth = 20;
  for (const PastEvent& e : life.events) {
    const std::string amount = e.amount != 0.0 ? FormatMoney(e.amount * r.note.NotionalAMT) : std::string();
    std::string line = "  " + FormatIsoDate(e.date) + "  ";
    if (amount.empty()) {
      line += FitWidth(e.what, kReportWidth - 14);
    } else {
      line += Cell(e.what, kReportWidth - 14 - moneyWidth) + Pad(amount, moneyWidth, true);
    }
    out << line << "\n";
  }
}

// Width of the money columns: the widest amount and a gap of two.
int MoneyWidth(const std::vector<double>& amounts, int least) {
  int w = least;
  for (double a : amounts) w = std::max(w, DisplayWidth(FormatMoney(a)) + 2);
  return w;
}

void WriteOutcomes(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int N = n.NStrike;
  std::vector<double> cf, disc;
  double totalP = 0.0, totalCf = 0.0, totalDisc = 0.0;
  for (int s = 0; s < N + 2; ++s) {
    const int pay = n.DatesInfo[N + (s < N ? s : N - 1)];
    const double c = res.events[layout::OutcomeCf(N, s)];
    cf.push_back(c);
    disc.push_back(pay > n.PriceDate ? SlotFigure(res.eventDF, s) * c : 0.0);
    totalP += res.events[layout::OutcomeProb(N, s)];
    totalCf += c;
    totalDisc += disc.back();
  }
  std::vector<double> all = cf;
  all.insert(all.end(), disc.begin(), disc.end());
  all.push_back(totalCf);
  all.push_back(totalDisc);
  const int W = MoneyWidth(all, 16);
  const int fixed = 2 + 22 + 12 + 11 + 11 + 2 * W;
  int bar = std::min(12, kReportWidth - fixed - 2);
  if (bar < 3) bar = 0;
  const std::string gap = bar > 0 ? "  " + std::string(static_cast<std::size_t>(bar), ' ') : std::string();

  out << "Redemption outcomes (" << (n.currency.empty() ? "notional currency" : n.currency) << ")\n";
  out << "  " << Cell("outcome", 22) << Cell("observation", 12) << Cell("payment", 11) << Cell("probability", 11, true)
      << gap << Cell("mean cash flow", W, true) << Cell("discounted", W, true) << "\n";
  for (int s = 0; s < N + 2; ++s) {
    std::string label = OutcomeLabel(N, s);
    int obs = 0, pay = 0;
    if (s < N) {
      obs = n.DatesInfo[s];
      pay = n.DatesInfo[N + s];
      if (pay <= n.PriceDate) label += " (past)";
    } else {
      obs = n.DatesInfo[N - 1];
      pay = n.DatesInfo[2 * N - 1];
    }
    const double p = res.events[layout::OutcomeProb(N, s)];
    out << "  " << Cell(label, 22) << Cell(FormatIsoDate(obs), 12) << Cell(FormatIsoDate(pay), 11)
        << Cell(Percent(p, 2), 11, true) << (bar > 0 ? "  " + ProbabilityBar(p, bar) : std::string())
        << Cell(FormatMoney(cf[s]), W, true) << Cell(pay > n.PriceDate ? FormatMoney(disc[s]) : "-", W, true) << "\n";
  }
  out << "  " << Cell("all outcomes", 45) << Cell(Percent(totalP, 2), 11, true) << gap
      << Cell(FormatMoney(totalCf), W, true) << Cell(FormatMoney(totalDisc), W, true) << "\n";

  // How the discounted total makes the price.
  const PriceBreakdown b = BreakDownPrice(r);
  std::string text = "The price is the discounted outcomes (" + FormatMoney(b.outcomes) + ")";
  if (n.NCoupon > 0) text += " plus the discounted coupons (" + FormatMoney(b.coupons) + ")";
  if (b.redemptionCoupons != 0.0) {
    text += " plus the redemption coupons of dates that do not redeem (" + FormatMoney(b.redemptionCoupons) + ")";
  }
  text += "; the rest, " + FormatMoney(b.rest) + ", is rounding. Mean cash flows are over all trials, undiscounted.";
  // Observed on or before the pricing date and paid after it: the rule of
  // a pending coupon, which holds for a redemption date as well.
  bool pending = false;
  for (int s = 0; s < N; ++s) pending = pending || CouponPending(n.DatesInfo[s], n.DatesInfo[N + s], n.PriceDate);
  for (int j = 0; j < n.NCoupon; ++j) {
    pending = pending || CouponPending(n.CouponDatesInfo[j], n.CouponDatesInfo[n.NCoupon + j], n.PriceDate);
  }
  if (pending) text += " Amounts observed and still to be paid count in full, discounted to their payment date.";
  WriteWrapped(out, text, 2);
}

// What became of coupon j when its payment date has passed: paid or
// missed (its barrier breached) as the closes show, or only past when no
// closes say.
std::string CouponMark(const NoteReport& r, int j) {
  const NoteInputs& n = r.note;
  if (n.CouponDatesInfo[n.NCoupon + j] > n.PriceDate) return std::string();
  const std::size_t k = static_cast<std::size_t>(j);
  const int paid = k < r.life.couponPaid.size() ? r.life.couponPaid[k] : -1;
  return paid == 1 ? " (paid)" : paid == 0 ? " (missed)" : " (past)";
}

void WriteCoupons(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int Q = n.NCoupon;
  if (Q <= 0) return;
  std::vector<double> cf, disc;
  for (int j = 0; j < Q; ++j) {
    const int pay = n.CouponDatesInfo[Q + j];
    const double c = res.coupons[layout::CouponCf(Q, j)];
    cf.push_back(c);
    disc.push_back(pay > n.PriceDate ? SlotFigure(res.couponDF, j) * c : 0.0);
  }
  std::vector<double> all = cf;
  all.insert(all.end(), disc.begin(), disc.end());
  const int W = std::min(MoneyWidth(all, 15), (kReportWidth - 65) / 2);
  out << "\nCoupons (" << (n.currency.empty() ? "notional currency" : n.currency) << ")\n";
  out << "  " << Cell("#", 12) << Cell("observation", 12) << Cell("payment", 11) << Cell("barrier", 8, true)
      << Cell("amount", 9, true) << Cell("probability", 12, true) << Cell("mean amount", W, true)
      << Cell("discounted", W, true) << "\n";
  for (int j = 0; j < Q; ++j) {
    const int pay = n.CouponDatesInfo[Q + j];
    out << "  " << Cell(std::to_string(j + 1) + CouponMark(r, j), 12) << Cell(FormatIsoDate(n.CouponDatesInfo[j]), 12)
        << Cell(FormatIsoDate(pay), 11) << Cell(Percent(n.CouponBarrier[j], 1), 8, true)
        << Cell(Percent(n.Coupon[j], 3), 9, true)
        << Cell(Percent(res.coupons[layout::CouponProb(Q, j)], 2), 12, true) << Cell(FormatMoney(cf[j]), W, true)
        << Cell(pay > n.PriceDate ? FormatMoney(disc[j]) : "-", W, true) << "\n";
  }
}

// A greek whose standard error is more than a third of it.
bool NoisyGreek(const NoteResult& res, std::size_t slot) {
  return MostlyNoise(res.resultPrice[slot], ErrorAt(res.resultSE, slot));
}

// A greek's cell: its value, marked "!" when it is mostly noise.
std::string GreekCell(const NoteResult& res, std::size_t slot) {
  return FormatMoney(res.resultPrice[slot]) + (NoisyGreek(res, slot) ? " !" : "");
}

std::string ErrorCell(const NoteResult& res, std::size_t slot) {
  const double se = ErrorAt(res.resultSE, slot);
  return std::isfinite(se) ? "± " + FormatMoney(se) : std::string("-");
}

bool HasGreekErrors(const NoteResult& res, int S) { return std::isfinite(ErrorAt(res.resultSE, layout::Delta(S, 0))); }

void WriteGreeks(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int S = n.NStock;
  if (!HasGreeks(r)) return;
  const std::string cur = Currency(n);
  const bool errors = HasGreekErrors(res, S);
  out << "\nGreeks by underlying (" << (n.currency.empty() ? "notional currency" : n.currency) << ")";
  out << (errors ? ", each with its standard error below it\n" : "\n");
  out << "  " << Cell("underlying", kUnderlyingWidth) << Cell("delta (1 % spot)", 22, true)
      << Cell("gamma (1 % spot)", 22, true) << Cell("vega (1 vol pt)", 22, true) << "\n";
  bool noisy = false;
  for (int i = 0; i < S; ++i) {
    const std::size_t d = layout::Delta(S, i), g = layout::Gamma(S, i), v = layout::Vega(S, i);
    out << "  " << Cell(n.underlyingNames[i], kUnderlyingWidth) << Cell(GreekCell(res, d), 22, true)
        << Cell(GreekCell(res, g), 22, true) << Cell(GreekCell(res, v), 22, true) << "\n";
    if (errors) {
      out << "  " << Cell("", kUnderlyingWidth) << Cell(ErrorCell(res, d), 22, true)
          << Cell(ErrorCell(res, g), 22, true) << Cell(ErrorCell(res, v), 22, true) << "\n";
    }
    for (const std::size_t slot : {d, g, v}) noisy = noisy || NoisyGreek(res, slot);
  }
  if (n.CalcFlag[0] >= 2) {
    const auto whole = [&](const char* name, std::size_t slot) {
      const bool mark = NoisyGreek(res, slot);
      noisy = noisy || mark;
      return std::string(name) + " " + FormatMoney(res.resultPrice[slot]) + cur +
             (errors ? " " + ErrorCell(res, slot) : std::string()) + (mark ? " !" : "");
    };
    WriteWrapped(out, "Whole note: " + whole("theta (1 day)", layout::Theta(S)) + ", " +
                          whole("rho (1 rate pt)", layout::Rho(S)),
                 0);
  }
  if (noisy) WriteWrapped(out, "! its standard error is above a third of its size: mostly Monte Carlo noise.", 0);
  if (!errors) {
    WriteWrapped(out,
                 "The greeks' standard errors need --stream aligned or sobol, or --replications K (see docs/term-sheet.md).",
                 0);
  }
}

// The running price of the first paths of the run, each as a run of that
// many trials would give it.
void WriteConvergence(std::ostream& out, const NoteInputs& n, const std::vector<ConvergenceRow>& rows) {
  if (rows.empty()) return;
  const auto line = [&out](const std::string& paths, const std::string& price, const std::string& se,
                           const std::string& share) {
    out << "  " << Pad(paths, 12, true) << Pad(price, 24, true) << Pad(se, 22, true) << Pad(share, 14, true) << "\n";
  };
  out << "\nConvergence (the first paths of this run; each line is what that many trials give)\n";
  line("paths", "price", "standard error", "of notional");
  for (const ConvergenceRow& c : rows)
    line(std::to_string(c.paths), FormatMoney(c.price), FormatMoney(c.priceSE), PercentOfNotional(n, c.price));
}

// The price's standard error and 95 % interval, and how the numbers were drawn.
void WritePrecision(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const std::string cur = Currency(n);
  const double se = res.priceSE;
  if (std::isfinite(se)) {
    const double p = res.resultPrice[0];
    WriteWrapped(out, "95 % interval: " + FormatMoney(p - kInterval95 * se) + " to " +
                          FormatMoney(p + kInterval95 * se) + cur + " (the price ± 1.96 standard errors)",
                 0);
  }
  std::string draws;
  if (res.aligned || res.sobol || res.seed || res.replications > 1) {
    draws = std::string("Random numbers: ") + (res.sobol     ? "scrambled Sobol points (" + std::to_string(res.scrambles) +
                                                                   " scramblings, errors from their spread)"
                                               : res.aligned ? "path-addressed (aligned) stream"
                                                             : "default stream");
    const unsigned long long seed = res.seed.value_or(0);
    if (res.replications > 1) {
      draws += ", mean of " + std::to_string(res.replications) + " runs on seeds " + std::to_string(seed) + " to " +
               std::to_string(seed + static_cast<unsigned long long>(res.replications) - 1);
    } else {
      draws += ", seed " + std::to_string(seed);
    }
    if (res.conditional) draws += "; conditional estimator (redemptions smoothed)";
    WriteWrapped(out, draws + ".", 0);
  }
  double worst = 0.0;
  for (const double e : res.eventSE) worst = std::max(worst, std::isfinite(e) ? e : 0.0);
  for (const double e : res.couponSE) worst = std::max(worst, std::isfinite(e) ? e : 0.0);
  if (worst > 0.0) {
    WriteWrapped(out, "Probabilities below carry standard errors of up to " + FixedDecimals(100.0 * worst, 2) +
                          " points (each one in the JSON and CSV outputs).",
                 0);
  }
}

void WriteLadder(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  if (res.ladderMoves.empty()) return;
  out << "\nSpot ladder (all underlyings move together)\n";
  out << "  " << Pad("move", 7, true) << Pad("price", 24, true) << Pad("of notional", 14, true) << "\n";
  for (std::size_t k = 0; k < res.ladderMoves.size(); ++k) {
    const double m = res.ladderMoves[k];
    std::string move = FixedDecimals(100.0 * m, 0) + " %";
    if (m > 0.0) move.insert(0, 1, '+');
    if (m == 0.0) move = "0 %";
    const bool ok = res.ladderStatus[k] >= 0;
    const std::string price = ok ? FormatMoney(res.ladderPrices[k]) : "rejected " + std::to_string(res.ladderStatus[k]);
    out << "  " << Pad(move, 7, true) << Pad(price, 24, true) << Pad(ok ? PercentOfNotional(n, res.ladderPrices[k]) : "", 14, true)
        << "\n";
  }
}

// A scenario's shift as the table shows it: "-20 %", "+25 bp", "+0.1",
// "-20 %, +2 pt" for a grid point, "1 pt" for a vega.
std::string ShiftText(const ScenarioRecord& s) {
  const auto signed_ = [](double v) {
    std::string t = ShortestDouble(v);
    if (v > 0.0) t.insert(t.begin(), '+');
    return t;
  };
  if (s.unit == "percent") {
    std::string t = signed_(s.shift) + " %";
    if (std::isfinite(s.volShift)) t += ", " + signed_(s.volShift) + " pt";
    return t;
  }
  if (s.unit == "bp") return signed_(s.shift) + " bp";
  if (s.unit == "vol_points") return ShortestDouble(s.shift) + " pt";
  return signed_(s.shift);
}

const char* ScenarioTitle(const std::string& kind) {
  if (kind == "spot_ladder") return "spot ladder";
  if (kind == "spot_vol_grid") return "spot x vol";
  if (kind == "rate_shift") return "rates";
  if (kind == "dividend_shift") return "dividends";
  if (kind == "correlation_shift") return "correlation";
  if (kind == "vega_parallel") return "vega";
  if (kind == "vega_bucket") return "vega bucket";
  return "base";
}

}  // namespace

void WriteScenarioText(std::ostream& out, const NoteReport& r) {
  const std::vector<ScenarioRecord> records = ScenarioRecords(r);
  if (records.empty()) return;
  // Numbers are padded, never cut, each after a space of its own.
  const auto number = [](const std::string& text, int width) { return std::string(" ") + Pad(text, width - 1, true); };
  out << "\nScenarios (on the random numbers of the price; vegas per vol point, both ways)\n";
  out << "  " << Cell("scenario", 13) << Cell("underlying", 14) << Cell("shift", 14) << number("tenor", 8)
      << number("value", 17) << number("std error", 15) << number("change", 17) << "\n";
  std::vector<std::string> reasons;
  for (std::size_t k = 1; k < records.size(); ++k) {
    const ScenarioRecord& s = records[k];
    const std::string tenor = std::isfinite(s.tenor) ? FixedDecimals(s.tenor, 2) + " y" : "";
    out << "  " << Cell(ScenarioTitle(s.scenario), 13) << Cell(s.underlying, 14) << Cell(ShiftText(s), 14)
        << number(tenor, 8);
    if (!s.error.empty()) {
      reasons.push_back(std::string(ScenarioTitle(s.scenario)) + " " + ShiftText(s) + ": " + s.error);
      out << number(std::string("no value (") + std::to_string(reasons.size()) + ")", 17) << "\n";
      continue;
    }
    out << number(FormatMoney(s.value), 17)
        << number(std::isfinite(s.standardError) ? FormatMoney(s.standardError) : "n/a", 15);
    if (std::isfinite(s.change)) out << number(FormatMoney(s.change), 17);  // a vega has none
    out << "\n";
  }
  for (std::size_t k = 0; k < reasons.size(); ++k) WriteWrapped(out, std::string("(") + std::to_string(k + 1) + ") " + reasons[k], 2);
}

void WriteTextReport(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const std::string cur = Currency(n);
  if (!r.usable) {
    out << r.file << ": " << r.inputError << "\n";
    return;
  }
  WriteTitle(out, r);
  if (r.priced && r.result.status < 0) {  // no figures: the library's reason
    WriteWrapped(out, "Rejected, " + r.result.rejection, 0);
    return;
  }
  if (!r.priced) {
    WriteWrapped(out, "Nothing is left to price on " + FormatIsoDate(n.PriceDate) + ": " + StateSentence(r.life, n) + ".",
                 0);
    if (r.life.slot >= 0) out << "Paid: " << FormatMoney(r.life.payoff * n.NotionalAMT) << cur << "\n";
    WriteEvents(out, r);
    return;
  }
  const NoteResult& res = r.result;
  WriteWrapped(out, "Priced on " + FormatIsoDate(n.PriceDate) + " with " + FixedDecimals(n.NTrials, 0) + " trials, notional " +
                        FormatMoney(n.NotionalAMT) + cur,
               0);
  if (r.life.fromHistory || r.life.state != NoteState::kAlive) WriteWrapped(out, "Life cycle: " + StateSentence(r.life, n) + ".", 0);
  for (const CalibratedUnderlying& c : n.calibrated) {
    const std::string& name = n.underlyingNames[static_cast<std::size_t>(c.underlying)];
    WriteWrapped(out, "Local volatility of " + FitWidth(name, kUnderlyingWidth) + " " + FitSentence(c.report) +
                          (c.repaired ? ", arbitrage repaired." : "."),
                 0);
  }
  out << "\n";
  out << "Price: " << FormatMoney(res.resultPrice[0]) << cur;
  if (std::isfinite(res.priceSE)) out << " ± " << FormatMoney(res.priceSE);
  out << "  (" << PercentOfNotional(n, res.resultPrice[0]) << " of notional)\n";
  WritePrecision(out, r);
  out << "\n";
  WriteOutcomes(out, r);
  WriteCoupons(out, r);
  WriteGreeks(out, r);
  WriteConvergence(out, n, res.convergence);
  WriteLadder(out, r);
  WriteScenarioText(out, r);
  WriteEvents(out, r);
}

}  // namespace morvik
