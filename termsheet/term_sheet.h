// JSON term sheets: a note and its market in the domain's words, read into
// the flat arrays of the full pricing call. A term sheet is read in three
// steps: its schedule rules are expanded into the explicit form (every date
// and value written out), the explicit form is read into the call's arrays,
// and its past (states, fixings, or the closes since its start) sets the
// states the call carries in and says whether the note is still alive.
//
// These are the entry points of the term-sheet layer for the command line
// and for language bindings; none of them throws.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "termsheet/json_text.h"
#include "termsheet/life_cycle.h"
#include "termsheet/note_inputs.h"
#include "termsheet/term_dates.h"

namespace morvik {

struct Market;  // termsheet/market_file.h

// Largest term sheet read, from a file, standard input or a string: a
// history of daily closes over decades takes about 1 MiB. (Reading costs
// time and memory linear in the text: for the most unfavourable text this
// long, two million tiny arrays, about 7 seconds and half a gigabyte.)
inline constexpr std::size_t kMaxTermSheetBytes = std::size_t{8} << 20;

// A term sheet that could not be read.
struct TermSheetError {
  enum Kind { kNone, kFile, kText, kField };
  Kind kind = kNone;
  bool notJson = false;  // the text is not valid JSON (line, column: where reading stopped)
  int line = 0;          // 1-based; 0 when there is no position (a file that cannot be read)
  int column = 0;
  std::string path;      // the field at fault ("redemption[2].payment")
  std::string message;
};

// The error for the user, without the file name: "line 5, column 14: not
// valid JSON: ...", "line 97, column 7: redemption[2].payment: ...", or
// what is wrong with the file.
std::string Describe(const TermSheetError& error);

// The error for a text that ReadJsonText refused: where reading stopped
// (line, column of `text`) and why.
TermSheetError TextError(std::string_view text, const JsonTextError& refused);

// A term sheet read, expanded and brought up to its pricing date.
struct Note {
  std::string label;   // where it came from: the file name, "-" for standard input
  NoteInputs inputs;   // the call's arrays; the name defaults to the file name without ".json"
  LifeCycle life;
  std::vector<std::string> warnings;  // legal but suspicious values: "line L, column C: path: message"
  Json expanded;       // the explicit form, the past's states and fixings filled in
};

// Reads a term sheet from its text; `label` names it in the note. Text
// longer than kMaxTermSheetBytes is refused unread. With a `market`, the
// underlyings the note names by id take their data from it (ApplyMarket); an
// error in a field that came from there names the market file and its path.
bool ReadTermSheet(std::string_view text, const std::string& label, Note& note, TermSheetError& error,
                   const Market* market = nullptr);

// Reads a term sheet file; "-" reads standard input. A missing file, a
// directory, a file that is not text or one larger than kMaxTermSheetBytes
// (a regular file by its size, before it is read) is named as such.
bool ReadTermSheetFile(const std::string& path, Note& note, TermSheetError& error, const Market* market = nullptr);

// The text of a file as ReadTermSheetFile reads it, with its checks.
bool ReadSheetText(const std::string& path, std::string& text, TermSheetError& error);

// The explicit form as JSON text: it reads back, and prices, as the note.
// Empty when memory runs out.
std::string ExpandedText(const Note& note);

// The call's arrays of a term sheet's text (ReadTermSheet's inputs).
bool ParseTermSheet(const std::string& text, NoteInputs& note, TermSheetError& error);

}  // namespace morvik
