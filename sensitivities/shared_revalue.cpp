// The full call's valuations in one pass over one shared stream of normals:
// the core valuation and every bumped revaluation are set up first, valued
// together, and the sensitivities formed from their prices exactly as the
// one-by-one routines form them. On request the valuations are split into
// groups run as a caller's tasks; each valuation's figures depend only on
// its own inputs (every one restarts the stream from the seed), so the
// split changes nothing in the results.
#include <algorithm>
#include <memory>
#include <vector>

#include "engine/core_valuation.h"
#include "engine/shared_valuation.h"
#include "sensitivities/bump_revalue.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

namespace {

// One revaluation: its inputs (Reserved = 0), scratch outputs and price.
struct Reval {
  CoreArgs args;
  sens_detail::Scratch scratch;
  double price = 0.0;
  CoreResults out;
  explicit Reval(const CoreArgs& a) : args(a), scratch(a) {
    args.Reserved = 0;
    out.ELS_Prob = scratch.prob.data();
    out.ELS_Cf = scratch.cf.data();
    out.ELS_Coupon_Prob = scratch.couponProb.data();
    out.ELS_Coupon_Cf = scratch.couponCf.data();
    out.ResultPrice = &price;
  }
};

// One group of valuations, valued by one MorvikCoreShared call.
struct Group {
  std::vector<const CoreArgs*> sets;
  std::vector<CoreResults> outs;
  std::vector<int> status;
  std::vector<int> index;  // position of each member in the full list
  StreamLimits limits;
  int rc = 0;
  static void Value(void* groups, int k) {
    Group& g = static_cast<Group*>(groups)[k];
    g.rc = MorvikCoreShared(g.sets.data(), g.outs.data(), static_cast<int>(g.sets.size()), g.status.data(),
                            g.limits);
  }
};

// Values the n valuations, in one pass or, with a runner, in up to its width
// of groups dealt round-robin (the bumped pairs are of similar cost, so
// neighbours go to different groups), each group one task. The memory cap
// is shared out so that the groups together stay within `limits`. Returns
// 0, or -1 when a group failed.
int ValueGroups(const CoreArgs* const* sets, const CoreResults* outs, int n, int* status,
                const StreamLimits& limits, const TaskRunner* runner) {
  const int g = runner != nullptr && runner->run != nullptr ? std::min(runner->width, n) : 1;
  if (g <= 1) return MorvikCoreShared(sets, outs, n, status, limits);
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

  int rc = 0;
  for (const Group& grp : groups) {
    if (grp.rc < 0) rc = -1;
    for (std::size_t m = 0; m < grp.index.size(); ++m) status[grp.index[m]] = grp.status[m];
  }
  return rc;
}

int Run(const CoreArgs& args, const CoreResults& out, int mode, double* sens, int* failed,
        const StreamLimits& limits, const TaskRunner* runner) {
  // A single valuation gains nothing from sharing: the plain engine call.
  if (mode < 1) return MorvikCore(args, out);
  const int S = args.NStock;
  std::vector<std::unique_ptr<sens_detail::BumpedPair>> pairs;
  ThetaShift theta;
  std::vector<std::unique_ptr<Reval>> revals;
  auto add = [&](const CoreArgs& a) { revals.push_back(std::make_unique<Reval>(a)); };
  if (mode >= 1) {
    // Revaluations of the unchanged inputs (the gamma's middle point, the
    // theta's reference) are the core valuation itself: same inputs, same
    // stream, same price.
    for (int i = 0; i < S; ++i) {
      pairs.push_back(std::make_unique<sens_detail::BumpedPair>());
      sens_detail::SpotPair(i + 1, args, 1.01, 0.99, *pairs.back());
      pairs.push_back(std::make_unique<sens_detail::BumpedPair>());
      sens_detail::SpotPair(i + 1, args, 1.1, 0.9, *pairs.back());
      pairs.push_back(std::make_unique<sens_detail::BumpedPair>());
      sens_detail::VegaPair(i + 1, args, *pairs.back());
    }
    if (mode >= 2) {
      BuildThetaShift(args, theta);
      pairs.push_back(std::make_unique<sens_detail::BumpedPair>());
      sens_detail::RhoPair(args, *pairs.back());
    }
    for (auto& p : pairs) {
      add(p->up);
      add(p->down);
    }
    if (mode >= 2) add(theta.shifted);
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
  if (ValueGroups(sets.data(), outs.data(), n, status.data(), limits, runner) < 0) return -1;
  if (status[0] < 0 || mode < 1) return status[0];
  for (int r = 1; r < n; ++r)
    if (status[r] < 0 && failed) *failed = 1;

  const double base = out.ResultPrice[0];
  auto price = [&](std::size_t pair, bool down) { return revals[2 * pair + (down ? 1 : 0)]->price; };
  for (int i = 0; i < S; ++i) {
    const std::size_t d = 3 * static_cast<std::size_t>(i);
    sens[1 + i] = (price(d, false) - price(d, true)) * 0.5;
    sens[1 + S + i] = (price(d + 1, false) + price(d + 1, true) - 2.0 * base) / 100.0;
    sens[1 + 2 * S + i] = (price(d + 2, false) - price(d + 2, true)) * 0.5;
  }
  if (mode >= 2) {
    const double hd = static_cast<double>(theta.h);
    const double shifted = revals.back()->price;
    sens[3 * S + 1] = theta.backward ? (base - shifted) / hd : (shifted - base) / hd;
    const std::size_t rho = 3 * static_cast<std::size_t>(S);
    sens[3 * S + 2] = (price(rho, false) - price(rho, true)) * 0.5;
  }
  return status[0];
}

}  // namespace

int ValueWithSensitivities(const CoreArgs& args, const CoreResults& out, int mode, double* sens,
                           int* failed, const StreamLimits& limits, const TaskRunner* runner) {
  try {
    return Run(args, out, mode, sens, failed, limits, runner);
  } catch (...) {
    return -1;
  }
}

}  // namespace morvik
