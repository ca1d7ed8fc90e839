// The schedule scan of a valuation: dates that are over are skipped, a
// pending payment is settled from its known fixings, and what is still to
// come is handed on as a shifted view of the core arguments.
#pragma once

#include <vector>

#include "engine/core_args.h"
#include "engine/valuation_extras.h"

namespace morvik {

// What is left of a valuation once the schedules are scanned and a pending
// payment is settled: the engine call on the shifted view, if any.
struct RemainingValuation {
  std::vector<int> memory;  // private copy of the memory flags, read by the view
  bool simulate = false;    // false: the valuation is complete
  CoreArgs view;            // the arguments shifted past the dates that are over
  int fixedCount = 0;       // fixings in view.SC
  CoreResults out;          // the result block shifted the same way
  int dateShift = 0;        // observation dates the view is shifted past
  int couponShift = 0;      // coupons the view is shifted past
};

// Clears the result block, scans the schedules and settles a pending
// payment. When `rest.simulate` comes back false the valuation is complete
// and the return value is its status (1); otherwise the engine is still to
// value `rest.view` into `rest.out`. May throw std::bad_alloc.
int PrepareValuation(const CoreArgs& args, const CoreResults& out, RemainingValuation& rest);

// The facts of every slot of `args` (see SlotFacts) once PrepareValuation
// has scanned it into `rest`: the slots before the view's shift are
// settled, and all of them when nothing is simulated.
void RecordSlotFacts(const CoreArgs& args, const RemainingValuation& rest, SlotFacts& facts);

}  // namespace morvik
