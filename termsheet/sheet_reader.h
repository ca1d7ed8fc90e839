// The explicit form of a term sheet (every date and value written out) read
// into the flat arrays of the full pricing call.
#pragma once

#include <vector>

#include "termsheet/json_fields.h"
#include "termsheet/life_cycle.h"
#include "termsheet/note_inputs.h"

namespace morvik {

// Reads `root` into `n` and its "past" block into `past`, and adds to
// `warnings` values that are legal but suspicious. The reader is strict:
// every field is checked for presence and type, and an unknown field is an
// error (it is nearly always a typo); keys that begin with "_" are comments.
// Values are not range-checked here beyond what the format needs: the
// library's own validation does that and names the input it rejects.
// Raises sheet::FieldError.
void ReadExplicitSheet(const Json& root, NoteInputs& n, PastInput& past, std::vector<sheet::FieldIssue>& warnings);

// The checks of the market blocks a term sheet writes (a rate curve, a
// local volatility grid, dividends, an FX volatility curve's "tenors" and
// "vols"), for a market file that writes them the same way. Raise
// sheet::FieldError naming `path`.
void CheckRateCurve(const Json& v, const std::string& path);
void CheckLocalVol(const Json& v, const std::string& path, std::vector<sheet::FieldIssue>& warnings);
void CheckDividends(const Json& v, const std::string& path, int priceDate);
void CheckFxCurve(const Json& v, const std::string& path);

}  // namespace morvik
