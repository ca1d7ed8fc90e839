// Input validation of the full pricing call.
#pragma once

#include "interface/extended_args.h"

namespace morvik {

// Runs every check in its fixed order; returns 1 when all pass, otherwise the
// negative code of the first failed check.
int ValidateInputs(const ExtendedArgs& args);

}  // namespace morvik
