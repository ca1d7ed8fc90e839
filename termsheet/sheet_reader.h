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

}  // namespace morvik
