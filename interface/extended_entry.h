// The full pricing call on an ExtendedArgs view (the export
// ZUNP_CalcMorvikMC forwards here with the system clock).
#pragma once

#include "interface/extended_args.h"
#include "logging/log_writer.h"

namespace morvik {

// Validates, assembles, prices, computes the requested sensitivities and
// writes the requested trace. Returns the core's status, a negative
// validation code, or -1 when a temporary cannot be allocated. Never throws.
// `threads` > 1 values the revaluations of the sensitivities on that many
// threads at most (results bit-identical to 1); the export always passes 1.
int CalcMorvikMC(const ExtendedArgs& args, LogClock clock = nullptr, int threads = 1);

}  // namespace morvik
