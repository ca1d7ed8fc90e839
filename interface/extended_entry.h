// The full pricing call on an ExtendedArgs view (the export
// ZUNP_CalcMorvikMC forwards here with the system clock).
#pragma once

#include "interface/extended_args.h"
#include "logging/log_writer.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// Validates, assembles, prices, computes the requested sensitivities and
// writes the requested trace. Returns the core's status, a negative
// validation code, or -1 (MORVIK_NO_MEMORY) when a temporary cannot be
// allocated, with the outputs then untouched. The one place where the full
// call's failures are caught: it never throws.
// A `runner` values the sensitivities' revaluations as its tasks (results
// bit-identical to none, see ValueWithSensitivities); the export passes none.
int CalcMorvikMC(const ExtendedArgs& args, LogClock clock = nullptr, const TaskRunner* runner = nullptr) noexcept;

}  // namespace morvik
