// The risk of a book of positions: each priced note's value and greeks
// times its position, summed by underlying id and by currency, with
// standard errors; and the rows of the projected cash flows of every note.
// Notes are valued on their own random numbers and taken as independent:
// the standard errors of a sum add in quadrature.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "termsheet/report.h"

namespace morvik {

// A sum over positions and its standard error. NaN when a note in it lacks
// the figure (a greek not asked for) or its error (a greek's error needs an
// aligned or sobol stream, or replications).
struct RiskSum {
  double value = 0.0;
  double variance = 0.0;
  double StandardError() const;
  void Add(double figure, double se, double scale);
};

// The greeks of one underlying over the positions on it, in one currency
// (an underlying in notes of two currencies has a row for each).
struct UnderlyingRisk {
  std::string underlying;  // its id, or its name when the note gives no id
  std::string currency;
  RiskSum delta, gamma, vega;
  int positions = 0;
};

// The totals of the positions in one currency: value, the greeks of all
// their underlyings together, theta and rho.
struct CurrencyRisk {
  std::string currency;
  RiskSum value, delta, gamma, vega, theta, rho;
  int positions = 0;
};

struct BookRisk {
  std::vector<UnderlyingRisk> underlyings;  // in order of first appearance
  std::vector<CurrencyRisk> currencies;     // likewise
  int positions = 0;                        // positions in the sums
  std::vector<std::string> leftOut;         // files of positions without figures (unread, rejected)
};

// A note of the book that carries a position, and one of its figures: the
// sums' inputs, from a NoteReport (AggregateBook) or from the rows of a
// book's table (the Python package).
struct PositionedNote {
  std::string label;
  std::string currency;
  double scale = 1.0;   // NotePosition::Scale
  bool over = false;    // nothing left to pay: every figure 0
  bool failed = false;  // unread or rejected: no figures, left out
};
struct NoteFigure {
  std::size_t note = 0;    // index into the notes
  std::string quantity;    // "price", "delta", "gamma", "vega", "theta", "rho"
  std::string underlying;  // the underlying's id (name without one) for delta, gamma, vega
  double value = 0.0;
  double se = 0.0;         // NaN: not known
};

// The sums of the figures times each note's scale. A greek is NaN in a
// currency's rows, and in those of every underlying in that currency, when
// a note priced in it lacks that greek (not asked for): a sum over part of
// the positions would look whole.
BookRisk SumPositions(const std::vector<PositionedNote>& notes, const std::vector<NoteFigure>& figures);

// Whether any note of the book carries a position.
bool HasPositions(const std::vector<NoteReport>& notes);

// The sums over the notes that carry a position, in the notes' order. A
// note that is over counts with nothing left to pay (all figures 0).
BookRisk AggregateBook(const std::vector<NoteReport>& notes);

// The book's section of the text report (fits kReportWidth columns).
void WriteBookRiskText(std::ostream& out, const BookRisk& risk);

// The "book" section of the JSON report.
Json BookRiskJson(const BookRisk& risk);

// JsonReport's document with, when a note carries a position, the book's
// section under "book".
std::string JsonReportWithBook(const std::vector<NoteReport>& notes);

// The book's risk as a long-form CSV: one row per group (underlying or
// currency), key, currency and quantity, with its standard error.
inline constexpr const char* kRiskCsvStart = "group,key,currency,";
void WriteBookRiskCsv(std::ostream& out, const BookRisk& risk);

// Every note's projected cash flows (CashFlowSchedule) as a long-form CSV,
// one row per payment; notes without figures have no rows.
inline constexpr const char* kCashFlowCsvStart = "note,pricing_date,";
void WriteCashFlowCsv(std::ostream& out, const std::vector<NoteReport>& notes);

}  // namespace morvik
