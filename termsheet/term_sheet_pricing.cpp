// A term sheet priced as a whole: the request applied, nothing priced for a
// note that is over, and the report of a file that could not be read.
#include <exception>

#include "termsheet/pricing.h"

namespace morvik {

bool NothingToPrice(const LifeCycle& life) {
  return life.state == NoteState::kOver ||
         ((life.state == NoteState::kRedeemed || life.state == NoteState::kMatured) && life.paid);
}

NoteReport PriceTermSheet(const Note& note, const PriceRequest& request) {
  NoteReport r;
  r.file = note.label;
  try {
    r.note = WithRequest(note.inputs, request);
    r.life = note.life;
    r.warnings = note.warnings;
    r.usable = true;
    if (r.note.NTrials < kFewTrials && !NothingToPrice(r.life)) {
      r.warnings.push_back("trials: " + std::to_string(static_cast<long long>(r.note.NTrials)) +
                           " trials are fewer than 1000: the outputs are mostly noise");
    }
    if (NothingToPrice(r.life)) return r;
    r.result = PriceNote(r.note, request);
    r.priced = true;
  } catch (const std::exception& e) {
    // Out of memory while copying the note: this note fails, nothing else.
    r = NoteReport{};
    r.file = note.label;
    r.inputError = std::string("cannot price the note: ") + e.what();
  }
  return r;
}

NoteReport UnusableReport(const std::string& file, const TermSheetError& error) {
  NoteReport r;
  r.file = file;
  r.inputError = Describe(error);
  return r;
}

}  // namespace morvik
