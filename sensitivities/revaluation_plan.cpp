// The list of valuations of a full call with sensitivities.
#include "sensitivities/revaluation_plan.h"

namespace morvik {

void RevaluationPlan::Build(const CoreArgs& args, const CoreResults& out, int mode) {
  bumps = SensitivityBumps(args.NStock, mode);
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
  sets.assign(revals.size() + 1, nullptr);
  outs.assign(revals.size() + 1, CoreResults{});
  sets[0] = &args;
  outs[0] = out;
  for (std::size_t r = 1; r < sets.size(); ++r) {
    sets[r] = &revals[r - 1]->args;
    outs[r] = revals[r - 1]->out;
  }
}

void RevaluationPlan::PlaceGreek(Greeks& greeks, const Bump& b, double value) {
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

void ResetGreeks(Greeks& greeks, int stocks, double fill) {
  const std::size_t S = Revaluation::Slots(stocks);
  greeks.delta.assign(S, fill);
  greeks.gamma.assign(S, fill);
  greeks.vega.assign(S, fill);
  greeks.theta = fill;
  greeks.rho = fill;
}

}  // namespace morvik
