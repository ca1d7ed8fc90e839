// The greeks one at a time, each from its own core calls: the row of the
// bump table, its two sets valued in order (then the unchanged inputs for
// the second difference) by a core pricing function chosen at compile time,
// and the row's difference. Tests compare the full call's one-pass greeks
// with these, and watch the bumped inputs through a stand-in core.
#pragma once

#include <new>

#include "engine/core_args.h"
#include "engine/core_valuation.h"
#include "sensitivities/bump_table.h"
#include "sensitivities/revaluation.h"

namespace morvik::one_by_one {

using CorePricer = int (*)(const CoreArgs&, const CoreResults&);

// The library's core returns 1 or throws; a stand-in core may report a
// failure with a negative status, passed on as std::bad_alloc.
inline void ThrowIfFailed(int status) {
  if (status < 0) throw std::bad_alloc();
}

inline const BumpRow& RowOf(Greek g) {
  for (const BumpRow& r : kStockRows)
    if (r.greek == g) return r;
  for (const BumpRow& r : kNoteRows)
    if (r.greek == g) return r;
  return kNoteRows[0];  // not reached: every greek has a row
}

// Greek g of `stock` (from 1; 0 for the note rows).
// A failed valuation throws std::bad_alloc and stops the routine.
template <CorePricer Core>
double Revalue(Greek g, int stock, const CoreArgs& args) {
  const Bump b{RowOf(g), stock};
  BumpedSets s;
  BuildBumpedSets(b, args, s);
  // Every valuation writes into outputs of its own.
  Revaluation first(s.first), second(s.second), unchanged(args);
  ThrowIfFailed(Core(first.args, first.out));
  ThrowIfFailed(Core(second.args, second.out));
  if (b.row.combine == Combine::kSecondDifference) ThrowIfFailed(Core(unchanged.args, unchanged.out));
  return CombinePrices(b, s, first.price, second.price, unchanged.price);
}

template <CorePricer Core>
double CalcDeltaWith(int k, const CoreArgs& a) { return Revalue<Core>(Greek::kDelta, k, a); }
template <CorePricer Core>
double CalcGammaWith(int k, const CoreArgs& a) { return Revalue<Core>(Greek::kGamma, k, a); }
template <CorePricer Core>
double CalcVegaWith(int k, const CoreArgs& a) { return Revalue<Core>(Greek::kVega, k, a); }
template <CorePricer Core>
double CalcRhoWith(const CoreArgs& a) { return Revalue<Core>(Greek::kRho, 0, a); }
template <CorePricer Core>
double CalcThetaWith(const CoreArgs& a) { return Revalue<Core>(Greek::kTheta, 0, a); }

// The same on the library's core valuation.
inline double CalcDelta(int k, const CoreArgs& a) { return CalcDeltaWith<MorvikCore>(k, a); }
inline double CalcGamma(int k, const CoreArgs& a) { return CalcGammaWith<MorvikCore>(k, a); }
inline double CalcVega(int k, const CoreArgs& a) { return CalcVegaWith<MorvikCore>(k, a); }
inline double CalcRho(const CoreArgs& a) { return CalcRhoWith<MorvikCore>(a); }
inline double CalcTheta(const CoreArgs& a) { return CalcThetaWith<MorvikCore>(a); }

}  // namespace morvik::one_by_one
