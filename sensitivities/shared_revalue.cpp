// The full call's valuations in one pass over one shared stream of normals:
// the core valuation and the bumped sets of every row of the bump table are
// set up first, valued together, and each row's prices combined into its
// greek. On request the valuations are split into groups run as a caller's
// tasks; each valuation's figures depend only on its own inputs (every one
// restarts the stream from the seed), so the split changes nothing in the
// results.
#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/shared_valuation.h"
#include "sensitivities/revaluation_plan.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

namespace {

// One group of valuations, valued by one MorvikCoreShared call.
struct Group {
  std::vector<const CoreArgs*> sets;
  std::vector<CoreResults> outs;
  std::vector<ValuationExtras*> extras;
  std::vector<int> status;
  std::vector<int> index;  // position of each member in the full list
  StreamLimits limits;
  StopSignal* stop = nullptr;
  std::exception_ptr error;
  static void Value(void* groups, int k) {
    Group& g = static_cast<Group*>(groups)[k];
    // A task may run on a thread of the caller's: an exception is carried
    // back to the calling thread instead of leaving the task. Task 0, which
    // reports progress, polls the stop; the others check it.
    try {
      MorvikCoreShared(g.sets.data(), g.outs.data(), static_cast<int>(g.sets.size()),
                       g.status.data(), g.limits, g.extras.data(), g.stop, k == 0);
    } catch (...) {
      g.error = std::current_exception();
    }
  }
};

// Values the n valuations, in one pass or, with a runner, in up to its width
// of groups dealt round-robin (the bumped pairs are of similar cost, so
// neighbours go to different groups), each group one task. The memory cap
// is shared out so that the groups together stay within `limits`. Throws
// std::bad_alloc when a group could not be valued, ValuationStopped when
// `stop` was asked for.
void ValueGroups(const CoreArgs* const* sets, const CoreResults* outs, ValuationExtras* const* extras,
                 int n, int* status, const StreamLimits& limits, const TaskRunner* runner, StopSignal* stop) {
  const int g = runner != nullptr && runner->run != nullptr ? std::min(runner->width, n) : 1;
  if (g <= 1) {
    MorvikCoreShared(sets, outs, n, status, limits, extras, stop, true);
    return;
  }
  StreamLimits part = limits;
  part.maxChunks = std::max<std::size_t>(limits.maxChunks / static_cast<std::size_t>(g), 1);

  std::vector<Group> groups(static_cast<std::size_t>(g));
  for (int r = 0; r < n; ++r) {
    Group& grp = groups[static_cast<std::size_t>(r % g)];
    grp.sets.push_back(sets[r]);
    grp.outs.push_back(outs[r]);
    grp.extras.push_back(extras[r]);
    grp.index.push_back(r);
  }
  for (Group& grp : groups) {
    grp.status.assign(grp.sets.size(), 0);
    grp.limits = part;
    grp.stop = stop;
  }
  runner->run(g, &Group::Value, groups.data());

  for (const Group& grp : groups) {
    if (grp.error) std::rethrow_exception(grp.error);
    for (std::size_t m = 0; m < grp.index.size(); ++m) status[grp.index[m]] = grp.status[m];
  }
}

}  // namespace

int ValueWithSensitivities(const CoreArgs& args, const CoreResults& out, int mode, Greeks& greeks,
                           const StreamLimits& limits, const TaskRunner* runner, ValuationExtras* extras) {
  ResetGreeks(greeks, args.NStock, 0.0);
  // A single valuation gains nothing from sharing: the plain engine call.
  if (mode < 1) {
    return MorvikCore(args, out, limits.seed, extras);
  }

  RevaluationPlan plan;
  plan.Build(args, out, mode);
  const int n = plan.Count();
  std::vector<int> status(n, 0);
  std::vector<ValuationExtras*> x(n, nullptr);
  x[0] = extras;
  ValueGroups(plan.sets.data(), plan.outs.data(), x.data(), n, status.data(), limits, runner,
              extras != nullptr ? extras->stop : nullptr);
  plan.Combine([&](std::size_t r) { return plan.PriceAt(r); }, greeks);
  return status[0];
}

}  // namespace morvik
