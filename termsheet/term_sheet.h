// JSON term sheets: a note and its market in the domain's words, turned into
// the flat arrays of the full pricing call.
#pragma once

#include <string>
#include <vector>

#include "interface/full_call.h"

namespace morvik {

// Every input of ZUNP_CalcMorvikMC, owned, under the call's own names (the
// library's FullCall), plus the labels the report needs.
struct NoteInputs : FullCall {
  std::string name;
  std::string currency;
  std::vector<std::string> underlyingNames;
};

// The knock-out level the tool passes when a date has no touch barrier: no
// performance ever reaches it.
inline constexpr double kNoTouchBarrier = 1.0e6;

// Default number of trials when the term sheet does not say.
inline constexpr double kDefaultTrials = 10000.0;

// A term sheet that could not be read: "line:column: ..." for text that is
// not JSON, "path: ..." for a missing or mistyped field.
struct TermSheetError {
  bool notJson = false;
  int line = 0;
  int column = 0;
  std::string path;
  std::string message;
};

// Formats the error for the user, without the file name.
std::string Describe(const TermSheetError& error);

// Parses a term sheet. Returns true and fills note, or false and fills error.
// Never throws.
bool ParseTermSheet(const std::string& text, NoteInputs& note, TermSheetError& error);

// 1-based line and column of a 0-based byte offset in text.
void LineAndColumn(const std::string& text, std::size_t offset, int& line, int& column);

// "2025-06-30" -> 20250630; false for anything but a real Gregorian date
// written as YYYY-MM-DD.
bool ParseIsoDate(const std::string& text, int& yyyymmdd);

// 20250630 -> "2025-06-30".
std::string FormatIsoDate(int yyyymmdd);

// Calendar days from the first to the second yyyymmdd date (both real dates).
int DaysBetween(int fromDate, int toDate);

}  // namespace morvik
