// The core valuation of one note on its core arguments (the export MorvikMC
// forwards here).
#pragma once

#include "engine/core_args.h"
#include "engine/schedule_scan.h"
#include "engine/simulate.h"
#include "engine/valuation_extras.h"

namespace morvik {

// Clears the result block, settles a pending payment from known fixings and
// simulates everything still to come. Returns 1; may throw std::bad_alloc
// (caught once, by the exports and the full call's entry).
int MorvikCore(const CoreArgs& args, const CoreResults& out);

// MorvikCore on the stream of `seed` (SeededStreamStart; 0 is the fixed
// stream), filling `extras` (cleared first; see ValuationExtras) when given.
int MorvikCore(const CoreArgs& args, const CoreResults& out, int seed, ValuationExtras* extras);

// The start of one of several valuations run side by side: `extras` (when
// given) cleared, the schedules scanned and a pending payment settled
// (PrepareValuation into `rest`), then the engine job started on what is
// still to come. Returns true when the job has paths to run; otherwise the
// valuation is complete (a job without paths is finished here). The
// valuation's status is 1 either way; may throw std::bad_alloc.
bool StartValuation(const CoreArgs& args, const CoreResults& out, ValuationExtras* extras,
                    RemainingValuation& rest, SimJob& job);

}  // namespace morvik
