// The full pricing call on an ExtendedArgs view (the export
// ZUNP_CalcMorvikMC forwards here with the system clock), and the steps it
// shares with the library's other full entries (calls/valuation.h).
#pragma once

#include <vector>

#include "calls/extended_args.h"
#include "calls/validation.h"
#include "engine/core_args.h"
#include "logging/log_writer.h"
#include "sensitivities/precise_valuation.h"
#include "sensitivities/sensitivities.h"
#include "sensitivities/task_runner.h"

namespace morvik {

// Status of a call whose request's stop was asked for part-way (see
// StopSignal): nothing is written. The exports never ask for a stop and
// never return it.
inline constexpr int kValuationInterrupted = -10;

// Status of a split valuation (PrecisionRequest::split) whose parts do not
// fit the call that combines them, or that is not one run on the aligned or
// sobol stream: nothing is written, and the report's partsProblem says why.
inline constexpr int kBadBlockParts = -11;

// Validates, assembles, prices, computes the requested sensitivities and
// writes the requested trace. Returns the core's status, a negative
// validation code, or -1 (MORVIK_NO_MEMORY) when a temporary cannot be
// allocated, with the outputs then untouched. The one place where the full
// call's failures are caught: it never throws.
// A `runner` values the sensitivities' revaluations as its tasks (results
// bit-identical to none, see ValueWithSensitivities); the export passes none.
int CalcMorvikMC(const ExtendedArgs& args, LogClock clock = nullptr, const TaskRunner* runner = nullptr) noexcept;

// A full call's three outputs in the export's layout (calls/layout.h),
// scaled to the notional, and, for a call the validation rejects, where its
// failed check looked.
struct CallOutputs {
  std::vector<double> prob, coupon, sens;
  ValidationFault fault;
};

// CalcMorvikMC with its valuations as `request` asks (ValueWithPrecision;
// the export's request holds only its runner, which values every valuation
// on the fixed stream) and their errors in `report` (per 10000 of
// notional): the trace, the validation, the assembly, the scaling and the
// catching are the export's. The outputs go into `outputs`, and also into
// the caller's arrays of `args` when `toCaller` is set; either is written
// only once the call has priced. A call stopped through the request's stop
// returns kValuationInterrupted; one whose split parts do not fit,
// kBadBlockParts.
int RunFullCall(const ExtendedArgs& args, LogClock clock, const PrecisionRequest& request, PrecisionReport& report,
                CallOutputs& outputs, bool toCaller) noexcept;

// The greeks of `mode` scaled to `notional` into their slots of a
// ResultPrice row (calls/layout.h) of NStock stocks.
void PlaceGreeks(const Greeks& greeks, int NStock, int mode, double notional, std::vector<double>& sens);

}  // namespace morvik
