// What a priced note looks like to people and programs: the text report,
// the JSON document and the CSV rows of a book of notes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "termsheet/pricing.h"

namespace morvik {

// Lines of the text report are at most this many columns wide.
inline constexpr int kReportWidth = 100;

// `v` with `decimals` digits after the point ("%.*f").
std::string FixedDecimals(double v, int decimals);

// Money with thousands separators and two decimals: 1234567.891 -> "1,234,567.89".
std::string FormatMoney(double amount);

// A probability bar of `width` characters, '#' for the filled part.
std::string ProbabilityBar(double probability, int width);

// Columns `text` takes on a terminal (wide East Asian characters take two).
int DisplayWidth(const std::string& text);

// `text` cut to `width` columns, ending in "..." when cut.
std::string FitWidth(const std::string& text, int width);

// How the price splits: discounted outcomes, discounted coupons, redemption
// coupons of dates that do not redeem (from the probability of reaching
// them), and what is left (the order of the additions).
struct PriceBreakdown {
  double outcomes = 0.0;
  double coupons = 0.0;
  double redemptionCoupons = 0.0;
  double rest = 0.0;
};
PriceBreakdown BreakDownPrice(const NoteReport& r);

// Whether the note's result carries its greeks: asked for, and written by
// the call.
bool HasGreeks(const NoteReport& r);

// Entry k of a row of per-slot figures (NoteResult's eventDF, couponDF);
// NaN, none, past its end.
double SlotFigure(const std::vector<double>& row, std::size_t k);

// Entry k of a row of standard errors (NoteResult's eventSE, couponSE,
// resultSE); NaN, no error, past its end.
double ErrorAt(const std::vector<double>& errors, std::size_t k);

// Whether slot k of a row of settled flags (NoteResult's eventSettled,
// couponSettled) was settled on the pricing date; false past its end.
bool SettledAt(const std::vector<bool>& settled, std::size_t k);

// A figure whose standard error exceeds a third of its size: mostly noise.
bool MostlyNoise(double value, double se);

// The 95 % interval of the price: price -/+ 1.96 standard errors.
inline constexpr double kInterval95 = 1.959963984540054;

// The human report of a note: price, outcomes, coupons, greeks, ladder;
// for a note that is over, how it ended; for a rejected note the reason,
// and for a file that could not be read the error. Lines fit kReportWidth
// columns.
void WriteTextReport(std::ostream& out, const NoteReport& r);

// All notes as one JSON document {"notes": [...]}, every double written in
// the shortest form that reads back to the library's value.
std::string JsonReport(const std::vector<NoteReport>& notes);

// Long-form CSV: a header, then one row per note and quantity (columns note,
// pricing_date, trials, quantity, underlying, value, standard_error; the
// error empty where there is none).
void WriteCsv(std::ostream& out, const std::vector<NoteReport>& notes);

// One CSV field: `s` as it is, or in double quotes (inner quotes doubled)
// when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& s);

}  // namespace morvik
