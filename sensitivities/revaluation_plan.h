// The valuations behind a full call's sensitivities: the unchanged inputs
// and the bumped sets of every row of the bump table, as one list, and the
// rules that turn their prices into greeks. Every way of valuing them (one
// shared stream, groups of tasks, path blocks) starts from this list.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "engine/core_args.h"
#include "sensitivities/bump_table.h"
#include "sensitivities/revaluation.h"
#include "sensitivities/sensitivities.h"

namespace morvik {

struct RevaluationPlan {
  // Each bump's two sets as positions in the list of valuations. A set of
  // unchanged inputs (the gamma's middle point, the theta's reference) is
  // the core valuation itself at position 0: same inputs, same stream, same
  // price.
  struct Positions {
    std::size_t first, second;
  };
  std::vector<Bump> bumps;
  std::vector<std::unique_ptr<BumpedSets>> bumped;
  std::vector<std::unique_ptr<Revaluation>> revals;
  std::vector<Positions> at;
  std::vector<const CoreArgs*> sets;  // [0]: the unchanged inputs, then each revaluation
  std::vector<CoreResults> outs;      // [0]: the caller's result block

  RevaluationPlan() = default;
  RevaluationPlan(const RevaluationPlan&) = delete;
  RevaluationPlan& operator=(const RevaluationPlan&) = delete;

  // The list for `mode` (see SensitivityBumps). May throw std::bad_alloc.
  void Build(const CoreArgs& args, const CoreResults& out, int mode);
  int Count() const { return static_cast<int>(sets.size()); }

  // Every bump's greek from the prices of the list (price(r) for valuation
  // r), into `greeks` (see Greeks).
  template <class PriceOf>
  void Combine(PriceOf price, Greeks& greeks) const {
    const double base = price(std::size_t{0});
    for (std::size_t m = 0; m < bumps.size(); ++m)
      PlaceGreek(greeks, bumps[m],
                 CombinePrices(bumps[m], *bumped[m], price(at[m].first), price(at[m].second), base));
  }

  // Prices written by the valuations: the caller's slot, then each revaluation's.
  double PriceAt(std::size_t r) const { return outs[r].ResultPrice[0]; }

  // Where a greek goes.
  static void PlaceGreek(Greeks& greeks, const Bump& b, double value);
};

// Sizes `greeks` for `stocks` stocks, every entry `fill`.
void ResetGreeks(Greeks& greeks, int stocks, double fill);

}  // namespace morvik
