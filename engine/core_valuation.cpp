// The core valuation: the schedule scan and settlement, then the Monte Carlo
// engine on what is still to come.
#include "engine/core_valuation.h"

namespace morvik {

int MorvikCore(const CoreArgs& args, const CoreResults& out) { return MorvikCore(args, out, 0, nullptr); }

int MorvikCore(const CoreArgs& args, const CoreResults& out, int seed, ValuationExtras* extras) {
  if (extras != nullptr) extras->Clear(args.NStrike, args.NCoupon);
  RemainingValuation rest;
  const int rc = PrepareValuation(args, out, rest);
  if (extras != nullptr) RecordSlotFacts(args, rest, extras->slots);
  if (!rest.simulate) return rc;
  return SimulateELS(rest.view, rest.fixedCount, rest.out, seed, extras, rest.dateShift, rest.couponShift);
}

bool StartValuation(const CoreArgs& args, const CoreResults& out, ValuationExtras* extras,
                    RemainingValuation& rest, SimJob& job) {
  if (extras != nullptr) extras->Clear(args.NStrike, args.NCoupon);
  PrepareValuation(args, out, rest);
  if (extras != nullptr) RecordSlotFacts(args, rest, extras->slots);
  if (!rest.simulate) return false;
  StartSimulation(rest.view, rest.fixedCount, rest.out, job, extras, rest.dateShift, rest.couponShift);
  if (job.done) FinishSimulation(job);
  return !job.done;
}

}  // namespace morvik
