// The named inputs and outputs of the full pricing call, as one view, and
// the length rule of each array.
//
// Validation, assembly and the input dump read the extended entry's 49
// parameters through this struct; its fields are the parameter names of
// ZUNP_CalcMorvikMC, in the same order, expanded from the argument list in
// calls/full_call_inputs.h.
#pragma once

#include "calls/full_call_inputs.h"
#include "calls/layout.h"

namespace morvik {

struct ExtendedArgs {
#define MORVIK_VIEW_FIELD(name, kind, rule) inputs::kind::Arg name{};
  MORVIK_FULL_CALL_INPUTS(MORVIK_VIEW_FIELD)
  MORVIK_FULL_CALL_OUTPUTS(MORVIK_VIEW_FIELD)
#undef MORVIK_VIEW_FIELD
};

// The length rules the argument list names: Of(a) is how many values the
// array holds for the counts in `a` (calls/layout.h). A missing count
// array counts as all zeros, so a rule may be applied to unchecked input.
// kDerived: the rule reads a count array (check that array first); kFixed:
// a length that no count changes (0 when counts decide).
namespace rules {

using layout::Count;
using layout::Length;

inline int CountAt(const int* counts, int i) { return counts != nullptr ? counts[i] : 0; }
inline Length SumAt(const int* counts, int n) { return counts != nullptr ? layout::SumCounts(counts, n) : 0; }

template <bool Derived = false, Length Fixed = 0>
struct Rule {
  static constexpr bool kDerived = Derived;
  static constexpr Length kFixed = Fixed;
};

struct Scalar : Rule<false, 1> {};
struct Pair : Rule<false, 2> {
  static Length Of(const ExtendedArgs&) { return 2; }
};
struct PerStock : Rule<> {
  static Length Of(const ExtendedArgs& a) { return Count(a.NStock); }
};
struct PerStrike : Rule<> {
  static Length Of(const ExtendedArgs& a) { return Count(a.NStrike); }
};
struct PerCoupon : Rule<> {
  static Length Of(const ExtendedArgs& a) { return Count(a.NCoupon); }
};
struct UnderlyingPrices : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::UnderlyingPriceLength(a.NStock); }
};
struct CurveCounts : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::CurveCountsLength(a.NStock); }
};
struct CurvePoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) {
    return a.NT == nullptr ? 0 : layout::CurvePointsLength(a.NT, a.NStock);
  }
};
struct VolPoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return SumAt(a.NVol, a.NStock); }
};
struct ParityPoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return SumAt(a.NParity, a.NStock); }
};
struct SurfacePoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) {
    Length total = 0;
    for (int i = 0; i < a.NStock; ++i) {
      total = layout::AddLengths(total, layout::SurfaceBlockLength(CountAt(a.NVol, i), CountAt(a.NParity, i)));
    }
    return total;
  }
};
struct Correlations : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::CorrelationLength(a.NStock); }
};
struct DivPoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return SumAt(a.NDiv, a.NStock); }
};
struct FxVolPoints : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return SumAt(a.FX_NVol, a.NStock); }
};
struct Strikes : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::StrikeLength(a.NStock, a.NStrike); }
};
struct Payoffs : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::PayoffLength(a.NStrike); }
};
struct DatesInfo : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::DatesInfoLength(a.NStrike); }
};
struct RedemCoupons : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::RedemCouponLength(a.NStrike); }
};
struct CouponDates : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::CouponDatesLength(a.NCoupon); }
};
struct Fixings : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return layout::FixingsLength(a.NStock, CountAt(a.FixedFlag, 0)); }
};
struct CouponFixings : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return layout::FixingsLength(a.NStock, CountAt(a.FixedFlag, 1)); }
};
struct ProbAndCf : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::ProbAndCfLength(a.NStrike); }
};
struct CouponProbAndCf : Rule<> {
  static Length Of(const ExtendedArgs& a) { return layout::CouponProbAndCfLength(a.NCoupon); }
};
struct ResultPrices : Rule<true> {
  static Length Of(const ExtendedArgs& a) { return layout::ResultPriceLength(a.NStock, CountAt(a.CalcFlag, 0)); }
};

}  // namespace rules

}  // namespace morvik
