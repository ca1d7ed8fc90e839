// One revaluation of bumped inputs: its own copy of the argument view
// (Reserved = 0), scratch event outputs whose contents are discarded, and
// its own price slot.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/core_args.h"

namespace morvik {

struct Revaluation {
  CoreArgs args;
  std::vector<double> prob, cf, couponProb, couponCf;
  double price = 0.0;
  CoreResults out;

  explicit Revaluation(const CoreArgs& a)
      : args(a), prob(Slots(a.NStrike + 2)), cf(Slots(a.NStrike + 2)),
        couponProb(Slots(a.NCoupon + 1)), couponCf(Slots(a.NCoupon + 1)) {
    args.Reserved = 0;
    out.ELS_Prob = prob.data();
    out.ELS_Cf = cf.data();
    out.ELS_Coupon_Prob = couponProb.data();
    out.ELS_Coupon_Cf = couponCf.data();
    out.ResultPrice = &price;
  }
  Revaluation(const Revaluation&) = delete;
  Revaluation& operator=(const Revaluation&) = delete;

  static std::size_t Slots(int n) { return n > 0 ? static_cast<std::size_t>(n) : 0u; }
};

}  // namespace morvik
