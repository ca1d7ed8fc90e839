// The full call's valuations in one pass over one shared stream of normals:
// the core valuation and every bumped revaluation are set up first, valued
// together, and the sensitivities formed from their prices exactly as the
// one-by-one routines form them.
#include <memory>
#include <vector>

#include "interface/core_entry.h"
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

int Run(const CoreArgs& args, const CoreResults& out, int mode, double* sens, int* failed,
        const StreamLimits& limits) {
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
  if (MorvikCoreShared(sets.data(), outs.data(), n, status.data(), limits) < 0) return -1;
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
                           int* failed, const StreamLimits& limits) {
  try {
    return Run(args, out, mode, sens, failed, limits);
  } catch (...) {
    return -1;
  }
}

}  // namespace morvik
