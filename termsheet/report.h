// What the tool prints: the text report, the JSON results and CSV rows.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "termsheet/pricing.h"
#include "termsheet/term_sheet.h"

namespace morvik {

// One note of a book: where it came from, whether it could be read, its
// inputs (with the command line's request applied) and its results.
struct NoteReport {
  std::string file;
  bool usable = false;      // the term sheet was read
  std::string inputError;   // why not, when !usable
  bool priced = false;      // the pricing call ran
  NoteInputs note;
  NoteResult result;
};

// Money with thousands separators and two decimals: 1234567.891 -> "1,234,567.89".
std::string FormatMoney(double amount);

// A probability bar of `width` characters, '#' for the filled part.
std::string ProbabilityBar(double probability, int width);

// The human report of a priced note (price, outcomes, coupons, greeks, ladder).
void WriteTextReport(std::ostream& out, const NoteReport& r);

// All notes as one JSON document {"notes": [...]}, numbers exactly as the
// library returned them.
std::string JsonReport(const std::vector<NoteReport>& notes);

// Header and one row per note.
void WriteCsv(std::ostream& out, const std::vector<NoteReport>& notes);

}  // namespace morvik
