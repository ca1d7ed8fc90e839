// Sums of a book's positions by underlying and by currency, and the CSV of
// its cash flows.
#include "termsheet/book_risk.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

namespace morvik {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

template <class Row>
Row& RowFor(std::vector<Row>& rows, const std::string& currency, const std::string* underlying) {
  for (Row& r : rows) {
    if constexpr (requires { r.underlying; }) {
      if (r.underlying == *underlying && r.currency == currency) return r;
    } else {
      if (r.currency == currency) return r;
    }
  }
  rows.emplace_back();
  if constexpr (requires { rows.back().underlying; }) rows.back().underlying = *underlying;
  rows.back().currency = currency;
  return rows.back();
}

// Whether the note's figures can be summed: priced and not rejected, or
// over with nothing left to pay.
bool HasFigures(const NoteReport& r) {
  if (!r.usable) return false;
  if (!r.priced) return NothingToPrice(r.life);
  return r.result.status >= 0 && !r.result.resultPrice.empty();
}

std::string Num(double v) { return std::isfinite(v) ? ShortestDouble(v) : std::string(); }

// "1,234.56 ± 7.89", "n/a" for a figure not computed, without "±" for an
// error not known.
std::string Cell(const RiskSum& s) {
  if (!std::isfinite(s.value)) return "n/a";
  const double se = s.StandardError();
  return FormatMoney(s.value) + (std::isfinite(se) ? " ± " + FormatMoney(se) : std::string());
}

}  // namespace

double RiskSum::StandardError() const { return std::sqrt(variance); }

void RiskSum::Add(double figure, double se, double scale) {
  value += scale * figure;
  const double e = scale * se;
  variance += e * e;
}

bool HasPositions(const std::vector<NoteReport>& notes) {
  for (const NoteReport& r : notes)
    if (r.usable && r.note.position.held) return true;
  return false;
}

BookRisk SumPositions(const std::vector<PositionedNote>& notes, const std::vector<NoteFigure>& figures) {
  BookRisk book;
  static const char* const kGreeks[] = {"delta", "gamma", "vega", "theta", "rho"};
  // The quantities each note has figures of.
  std::vector<std::set<std::string>> noteHas(notes.size());
  for (const NoteFigure& f : figures) noteHas[f.note].insert(f.quantity);
  std::map<std::string, std::set<std::string>> missing;  // currency -> greeks some priced note lacks
  for (std::size_t k = 0; k < notes.size(); ++k) {
    const PositionedNote& n = notes[k];
    if (n.failed) {
      book.leftOut.push_back(n.label);
      continue;
    }
    CurrencyRisk& c = RowFor(book.currencies, n.currency, static_cast<const std::string*>(nullptr));
    ++c.positions;
    ++book.positions;
    for (const char* g : kGreeks)
      if (!n.over && noteHas[k].count(g) == 0) missing[n.currency].insert(g);
  }
  std::vector<std::set<std::string>> counted(notes.size());  // underlyings a note counts in
  for (const NoteFigure& f : figures) {
    const PositionedNote& n = notes[f.note];
    if (n.failed || n.over) continue;
    CurrencyRisk& c = RowFor(book.currencies, n.currency, static_cast<const std::string*>(nullptr));
    RiskSum* total = f.quantity == "price"   ? &c.value
                     : f.quantity == "delta" ? &c.delta
                     : f.quantity == "gamma" ? &c.gamma
                     : f.quantity == "vega"  ? &c.vega
                     : f.quantity == "theta" ? &c.theta
                     : f.quantity == "rho"   ? &c.rho
                                             : nullptr;
    if (total == nullptr) continue;
    total->Add(f.value, f.se, n.scale);
    if (f.underlying.empty() || total == &c.value || total == &c.theta || total == &c.rho) continue;
    UnderlyingRisk& u = RowFor(book.underlyings, n.currency, &f.underlying);
    if (counted[f.note].insert(f.underlying).second) ++u.positions;
    (total == &c.delta ? u.delta : total == &c.gamma ? u.gamma : u.vega).Add(f.value, f.se, n.scale);
  }
  const double nan = kNaN;
  const auto blank = [&](RiskSum& s) { s.value = nan; s.variance = nan; };
  for (CurrencyRisk& c : book.currencies) {
    const std::set<std::string>& lack = missing[c.currency];
    if (lack.count("delta")) blank(c.delta);
    if (lack.count("gamma")) blank(c.gamma);
    if (lack.count("vega")) blank(c.vega);
    if (lack.count("theta")) blank(c.theta);
    if (lack.count("rho")) blank(c.rho);
  }
  for (UnderlyingRisk& u : book.underlyings) {
    const std::set<std::string>& lack = missing[u.currency];
    if (lack.count("delta")) blank(u.delta);
    if (lack.count("gamma")) blank(u.gamma);
    if (lack.count("vega")) blank(u.vega);
  }
  return book;
}

BookRisk AggregateBook(const std::vector<NoteReport>& notes) {
  std::vector<PositionedNote> held;
  std::vector<NoteFigure> figures;
  for (const NoteReport& r : notes) {
    // An unread note may have carried a position: it cannot be told, so it
    // is named as left out.
    if (r.usable && !r.note.position.held) continue;
    PositionedNote p;
    p.label = r.file;
    if (!r.usable || !HasFigures(r)) {
      p.failed = true;
      held.push_back(std::move(p));
      continue;
    }
    const NoteInputs& n = r.note;
    p.currency = n.currency;
    p.scale = n.position.Scale(n.NotionalAMT);
    p.over = !r.priced;
    const std::size_t k = held.size();
    held.push_back(std::move(p));
    if (!r.priced) continue;
    figures.push_back({k, "price", "", r.result.resultPrice[0], r.result.priceSE});
    if (!HasGreeks(r)) continue;
    const NoteGreeks g = GreeksOf(r);
    for (std::size_t j = 0; j < g.stocks.size(); ++j) {
      const std::string& key = n.underlyingIds[j].empty() ? n.underlyingNames[j] : n.underlyingIds[j];
      figures.push_back({k, "delta", key, g.stocks[j].delta, g.stocks[j].deltaSE});
      figures.push_back({k, "gamma", key, g.stocks[j].gamma, g.stocks[j].gammaSE});
      figures.push_back({k, "vega", key, g.stocks[j].vega, g.stocks[j].vegaSE});
    }
    if (g.theta) {
      figures.push_back({k, "theta", "", *g.theta, g.thetaSE});
      figures.push_back({k, "rho", "", *g.rho, g.rhoSE});
    }
  }
  return SumPositions(held, figures);
}

void WriteBookRiskText(std::ostream& out, const BookRisk& risk) {
  out << "Book: " << risk.positions << (risk.positions == 1 ? " position" : " positions")
      << " (notes taken as independent: standard errors add in quadrature)\n";
  if (!risk.leftOut.empty()) {
    out << "  Left out, without figures: " << risk.leftOut.size() << (risk.leftOut.size() == 1 ? " note" : " notes")
        << " (see the errors above)\n";
  }
  // Padded to display columns (the "±" is two bytes).
  const auto pad = [](const std::string& text, int width, bool right) {
    const std::string fill(static_cast<std::size_t>(std::max(0, width - DisplayWidth(text))), ' ');
    return right ? fill + text : text + fill;
  };
  const auto line = [&](const std::string& key, const std::string& currency, const char* what, const RiskSum& s) {
    out << "  " << pad(FitWidth(key, 24), 24, false) << " " << pad(FitWidth(currency, 4), 4, false) << " "
        << pad(what, 13, false) << pad(FitWidth(Cell(s), 54), 54, true) << "\n";
  };
  out << "  Totals by currency (of so many positions)\n";
  for (const CurrencyRisk& c : risk.currencies) {
    line("total of " + std::to_string(c.positions), c.currency, "value", c.value);
    line("", c.currency, "delta (1 %)", c.delta);
    line("", c.currency, "gamma (1 %)", c.gamma);
    line("", c.currency, "vega (1 pt)", c.vega);
    line("", c.currency, "theta (day)", c.theta);
    line("", c.currency, "rho (1 pt)", c.rho);
  }
  out << "  By underlying\n";
  for (const UnderlyingRisk& u : risk.underlyings) {
    line(u.underlying, u.currency, "delta (1 %)", u.delta);
    line("", u.currency, "gamma (1 %)", u.gamma);
    line("", u.currency, "vega (1 pt)", u.vega);
  }
}

Json BookRiskJson(const BookRisk& risk) {
  const auto figure = [](const RiskSum& s) {
    Json j = Json::object();
    j["value"] = std::isfinite(s.value) ? Json(s.value) : Json(nullptr);
    const double se = s.StandardError();
    j["standard_error"] = std::isfinite(se) ? Json(se) : Json(nullptr);
    return j;
  };
  Json j = Json::object();
  j["positions"] = risk.positions;
  j["left_out"] = risk.leftOut;
  j["errors"] = "notes taken as independent: standard errors add in quadrature";
  Json currencies = Json::array();
  for (const CurrencyRisk& c : risk.currencies) {
    currencies.push_back({{"currency", c.currency},
                          {"positions", c.positions},
                          {"value", figure(c.value)},
                          {"delta", figure(c.delta)},
                          {"gamma", figure(c.gamma)},
                          {"vega", figure(c.vega)},
                          {"theta", figure(c.theta)},
                          {"rho", figure(c.rho)}});
  }
  j["by_currency"] = std::move(currencies);
  Json underlyings = Json::array();
  for (const UnderlyingRisk& u : risk.underlyings) {
    underlyings.push_back({{"underlying", u.underlying},
                           {"currency", u.currency},
                           {"positions", u.positions},
                           {"delta", figure(u.delta)},
                           {"gamma", figure(u.gamma)},
                           {"vega", figure(u.vega)}});
  }
  j["by_underlying"] = std::move(underlyings);
  return j;
}

std::string JsonReportWithBook(const std::vector<NoteReport>& notes) {
  if (!HasPositions(notes)) return JsonReport(notes);
  Json all = Json::object();
  all["notes"] = Json::array();
  for (const NoteReport& r : notes) all["notes"].push_back(NoteJson(r));
  all["book"] = BookRiskJson(AggregateBook(notes));
  return WriteJsonText(all);
}

void WriteBookRiskCsv(std::ostream& out, const BookRisk& risk) {
  out << kRiskCsvStart << "quantity,value,standard_error,positions,notes_left_out\n";
  const std::string left = std::to_string(risk.leftOut.size());
  const auto row = [&](const char* group, const std::string& key, const std::string& currency, const char* what,
                       const RiskSum& s, int positions) {
    out << group << ',' << CsvField(key) << ',' << CsvField(currency) << ',' << what << ',' << Num(s.value) << ','
        << Num(s.StandardError()) << ',' << positions << ',' << left << "\n";
  };
  for (const CurrencyRisk& c : risk.currencies) {
    row("currency", c.currency, c.currency, "value", c.value, c.positions);
    row("currency", c.currency, c.currency, "delta", c.delta, c.positions);
    row("currency", c.currency, c.currency, "gamma", c.gamma, c.positions);
    row("currency", c.currency, c.currency, "vega", c.vega, c.positions);
    row("currency", c.currency, c.currency, "theta", c.theta, c.positions);
    row("currency", c.currency, c.currency, "rho", c.rho, c.positions);
  }
  for (const UnderlyingRisk& u : risk.underlyings) {
    row("underlying", u.underlying, u.currency, "delta", u.delta, u.positions);
    row("underlying", u.underlying, u.currency, "gamma", u.gamma, u.positions);
    row("underlying", u.underlying, u.currency, "vega", u.vega, u.positions);
  }
}

void WriteCashFlowCsv(std::ostream& out, const std::vector<NoteReport>& notes) {
  out << kCashFlowCsvStart
      << "currency,payment,observation,kind,label,probability,probability_standard_error,amount,"
         "amount_standard_error,discount_factor,discounted,discounted_standard_error,settled\n";
  for (const NoteReport& r : notes) {
    if (!r.usable || !r.priced || r.result.status < 0) continue;
    const std::string head = CsvField(r.file) + ',' + FormatIsoDate(r.note.PriceDate) + ',' + CsvField(r.note.currency);
    for (const ProjectedFlow& f : CashFlowSchedule(r)) {
      out << head << ',' << FormatIsoDate(f.payment) << ',' << FormatIsoDate(f.observation) << ',' << f.kind << ','
          << CsvField(f.label) << ',' << Num(f.probability) << ',' << Num(f.probabilitySE) << ',' << Num(f.amount)
          << ',' << Num(f.amountSE) << ',' << Num(f.discountFactor) << ',' << Num(f.discounted) << ','
          << Num(f.discountedSE) << ',' << (f.settled ? "true" : "false") << "\n";
    }
  }
}

}  // namespace morvik
