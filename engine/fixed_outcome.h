// Valuation of a pending payment from fixings already known.
#pragma once

#include "engine/core_args.h"

namespace morvik {

// The core entry's two-int working record.
struct CoreRecord {
  int settled = 0;        // nonzero: the note is settled, no simulation follows
  int coupon_breach = 0;  // coupon-barrier breach state carried into the simulation
};

// `view` is the core argument list shifted so that the pending date is the
// first element: per-date arrays advanced by j' (X0..X3 by j'*NStock),
// coupon arrays by k', NStrike and NCoupon reduced to match, and
// BeCouponBarrierHitted the record's carried state. `out` holds the result
// arrays shifted the same way (ResultPrice unshifted). `BeKO_Copy` is the
// core entry's private copy of BeKO_Hitted (NStock ints), which this routine
// may clear. `status` is the schedule scan's status (1, 2 or 3).
// Adds what it settles to `out`, updates `record`, returns 1. A pending
// redemption date whose window length is below 1 has no closes to test: only
// a touch redemption can settle it, otherwise nothing is recorded for it.
int SettleFixedOutcome(const CoreArgs& view, int* BeKO_Copy, const CoreResults& out, int status,
                       CoreRecord& record);

}  // namespace morvik
