// One sentence per status code of the full pricing call, for people.
#pragma once

// The status codes themselves are the public header's, included here for
// the layers above, which see no other file of interface/.
#include "interface/morvik.h"

namespace morvik {

// The sentence for a status code of ZUNP_CalcMorvikMC: what succeeded, or
// which input a validation code rejects. Never null; unknown codes get a
// generic sentence.
const char* StatusMessage(int code);

// Whether ZUNP_CalcMorvikMC may return `code`: MORVIK_PRICED or one of the
// codes that have a sentence of their own.
bool IsKnownStatus(int code);

}  // namespace morvik
