// The text report of a note, in lines of at most kReportWidth columns.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "interface/layout.h"
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

void WriteTitle(std::ostream& out, const NoteReport& r) {
  const std::string title = r.note.name + "  (" + r.file + ")";
  if (DisplayWidth(title) <= kReportWidth) {
    out << title << "\n";
    return;
  }
  WriteWrapped(out, r.note.name, 0);
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
    disc.push_back(pay > n.PriceDate ? PaymentDiscountFactor(n, pay) * c : 0.0);
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
    std::string label;
    int obs = 0, pay = 0;
    if (s < N) {
      label = (s == N - 1 ? "final, date " : "early, date ") + std::to_string(s + 1);
      obs = n.DatesInfo[s];
      pay = n.DatesInfo[N + s];
      if (pay <= n.PriceDate) label += " (paid)";
    } else {
      label = s == N ? "maturity, no knock-in" : "maturity, knock-in";
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
  bool pending = false;
  for (int s = 0; s < N; ++s) pending = pending || (n.DatesInfo[s] <= n.PriceDate && n.DatesInfo[N + s] > n.PriceDate);
  for (int j = 0; j < n.NCoupon; ++j) {
    pending = pending || (n.CouponDatesInfo[j] <= n.PriceDate && n.CouponDatesInfo[n.NCoupon + j] > n.PriceDate);
  }
  if (pending) text += " Amounts observed and still to be paid count in full, discounted to their payment date.";
  WriteWrapped(out, text, 2);
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
    disc.push_back(pay > n.PriceDate ? PaymentDiscountFactor(n, pay) * c : 0.0);
  }
  std::vector<double> all = cf;
  all.insert(all.end(), disc.begin(), disc.end());
  const int W = std::min(MoneyWidth(all, 15), (kReportWidth - 65) / 2);
  out << "\nCoupons (" << (n.currency.empty() ? "notional currency" : n.currency) << ")\n";
  out << "  " << Cell("#", 10) << Cell("observation", 12) << Cell("payment", 11) << Cell("barrier", 8, true)
      << Cell("amount", 9, true) << Cell("probability", 13, true) << Cell("mean amount", W, true)
      << Cell("discounted", W, true) << "\n";
  for (int j = 0; j < Q; ++j) {
    const int pay = n.CouponDatesInfo[Q + j];
    std::string label = std::to_string(j + 1);
    if (pay <= n.PriceDate) label += " (paid)";
    out << "  " << Cell(label, 10) << Cell(FormatIsoDate(n.CouponDatesInfo[j]), 12) << Cell(FormatIsoDate(pay), 11)
        << Cell(Percent(n.CouponBarrier[j], 1), 8, true) << Cell(Percent(n.Coupon[j], 3), 9, true)
        << Cell(Percent(res.coupons[layout::CouponProb(Q, j)], 2), 13, true) << Cell(FormatMoney(cf[j]), W, true)
        << Cell(pay > n.PriceDate ? FormatMoney(disc[j]) : "-", W, true) << "\n";
  }
}

void WriteGreeks(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const NoteResult& res = r.result;
  const int S = n.NStock;
  if (n.CalcFlag[0] < 1 || res.resultPrice.size() < static_cast<std::size_t>(layout::ResultPriceLength(S, 1))) return;
  const std::string cur = Currency(n);
  out << "\nGreeks by underlying (" << (n.currency.empty() ? "notional currency" : n.currency) << ")\n";
  out << "  " << Cell("underlying", 32) << Cell("delta (1 % spot)", 22, true) << Cell("gamma (1 % spot)", 22, true)
      << Cell("vega (1 vol pt)", 22, true) << "\n";
  for (int i = 0; i < S; ++i) {
    out << "  " << Cell(n.underlyingNames[i], 32) << Cell(FormatMoney(res.resultPrice[layout::Delta(S, i)]), 22, true)
        << Cell(FormatMoney(res.resultPrice[layout::Gamma(S, i)]), 22, true)
        << Cell(FormatMoney(res.resultPrice[layout::Vega(S, i)]), 22, true) << "\n";
  }
  if (n.CalcFlag[0] >= 2) {
    WriteWrapped(out, "Whole note: theta (1 day) " + FormatMoney(res.resultPrice[layout::Theta(S)]) + cur +
                          ", rho (1 rate pt) " + FormatMoney(res.resultPrice[layout::Rho(S)]) + cur,
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

}  // namespace

void WriteTextReport(std::ostream& out, const NoteReport& r) {
  const NoteInputs& n = r.note;
  const std::string cur = Currency(n);
  WriteTitle(out, r);
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
  out << "\n";
  out << "Price: " << FormatMoney(res.resultPrice[0]) << cur << "  (" << PercentOfNotional(n, res.resultPrice[0])
      << " of notional)\n\n";
  WriteOutcomes(out, r);
  WriteCoupons(out, r);
  WriteGreeks(out, r);
  WriteLadder(out, r);
  WriteEvents(out, r);
}

}  // namespace morvik
