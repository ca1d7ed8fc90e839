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
#include "sensitivities/bump_table.h"
#include "sensitivities/revaluation.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

namespace {

// One group of valuations, valued by one MorvikCoreShared call.
struct Group {
  std::vector<const CoreArgs*> sets;
  std::vector<CoreResults> outs;
  std::vector<int> status;
  std::vector<int> index;  // position of each member in the full list
  StreamLimits limits;
  int rc = 0;
  std::exception_ptr error;
  static void Value(void* groups, int k) {
    Group& g = static_cast<Group*>(groups)[k];
    // A task may run on a thread of the caller's: an exception is carried
    // back to the calling thread instead of leaving the task.
    try {
      g.rc = MorvikCoreShared(g.sets.data(), g.outs.data(), static_cast<int>(g.sets.size()),
                              g.status.data(), g.limits);
    } catch (...) {
      g.error = std::current_exception();
    }
  }
};

// Values the n valuations, in one pass or, with a runner, in up to its width
// of groups dealt round-robin (the bumped pairs are of similar cost, so
// neighbours go to different groups), each group one task. The memory cap
// is shared out so that the groups together stay within `limits`. Throws
// std::bad_alloc when a group could not be valued.
void ValueGroups(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                 const StreamLimits& limits, const TaskRunner* runner) {
  const int g = runner != nullptr && runner->run != nullptr ? std::min(runner->width, n) : 1;
  if (g <= 1) {
    ThrowIfFailed(MorvikCoreShared(sets, outs, n, status, limits));
    return;
  }
  StreamLimits part = limits;
  part.maxChunks = std::max<std::size_t>(limits.maxChunks / static_cast<std::size_t>(g), 1);

  std::vector<Group> groups(static_cast<std::size_t>(g));
  for (int r = 0; r < n; ++r) {
    Group& grp = groups[static_cast<std::size_t>(r % g)];
    grp.sets.push_back(sets[r]);
    grp.outs.push_back(outs[r]);
    grp.index.push_back(r);
  }
  for (Group& grp : groups) {
    grp.status.assign(grp.sets.size(), 0);
    grp.limits = part;
  }
  runner->run(g, &Group::Value, groups.data());

  for (const Group& grp : groups) {
    if (grp.error) std::rethrow_exception(grp.error);
    ThrowIfFailed(grp.rc);
    for (std::size_t m = 0; m < grp.index.size(); ++m) status[grp.index[m]] = grp.status[m];
  }
}

// Where a row's greek goes.
void Place(Greeks& greeks, const Bump& b, double value) {
  const std::size_t i = static_cast<std::size_t>(b.stock - 1);
  switch (b.row.greek) {
    case Greek::kDelta:
      greeks.delta[i] = value;
      break;
    case Greek::kGamma:
      greeks.gamma[i] = value;
      break;
    case Greek::kVega:
      greeks.vega[i] = value;
      break;
    case Greek::kTheta:
      greeks.theta = value;
      break;
    case Greek::kRho:
      greeks.rho = value;
      break;
  }
}

}  // namespace

int ValueWithSensitivities(const CoreArgs& args, const CoreResults& out, int mode, Greeks& greeks,
                           const StreamLimits& limits, const TaskRunner* runner) {
  const std::size_t S = Revaluation::Slots(args.NStock);
  greeks.delta.assign(S, 0.0);
  greeks.gamma.assign(S, 0.0);
  greeks.vega.assign(S, 0.0);
  greeks.theta = 0.0;
  greeks.rho = 0.0;
  // A single valuation gains nothing from sharing: the plain engine call.
  if (mode < 1) {
    const int rc = MorvikCore(args, out);
    ThrowIfFailed(rc);
    return rc;
  }

  // Each bump's two sets, as positions in the list of valuations. Sets of
  // unchanged inputs (the gamma's middle point, the theta's reference) are
  // the core valuation itself at position 0: same inputs, same stream, same
  // price.
  struct Positions {
    std::size_t first, second;
  };
  const std::vector<Bump> bumps = SensitivityBumps(args.NStock, mode);
  std::vector<std::unique_ptr<BumpedSets>> bumped;
  std::vector<std::unique_ptr<Revaluation>> revals;
  std::vector<Positions> at;
  auto add = [&](const CoreArgs& a) {
    revals.push_back(std::make_unique<Revaluation>(a));
    return revals.size();
  };
  for (const Bump& b : bumps) {
    bumped.push_back(std::make_unique<BumpedSets>());
    BumpedSets& s = *bumped.back();
    BuildBumpedSets(b, args, s);
    const std::size_t first = FirstIsUnchanged(b) ? 0 : add(s.first);
    at.push_back({first, add(s.second)});
  }

  const int n = 1 + static_cast<int>(revals.size());
  std::vector<const CoreArgs*> sets(n);
  std::vector<CoreResults> outs(n);
  std::vector<int> status(n, 0);
  sets[0] = &args;
  outs[0] = out;
  for (int r = 1; r < n; ++r) {
    sets[r] = &revals[r - 1]->args;
    outs[r] = revals[r - 1]->out;
  }
  ValueGroups(sets.data(), outs.data(), n, status.data(), limits, runner);
  for (const int st : status) ThrowIfFailed(st);

  const double base = out.ResultPrice[0];
  auto price = [&](std::size_t r) { return r == 0 ? base : revals[r - 1]->price; };
  for (std::size_t m = 0; m < bumps.size(); ++m)
    Place(greeks, bumps[m],
          CombinePrices(bumps[m], *bumped[m], price(at[m].first), price(at[m].second), base));
  return status[0];
}

}  // namespace morvik
