// The full pricing call's argument list, written once.
//
// MORVIK_FULL_CALL_INPUTS(X) expands F(name, kind, rule) for each of the 46
// inputs of ZUNP_CalcMorvikMC in the export's order; MORVIK_FULL_CALL_OUTPUTS
// does the same for its three outputs. `kind` names how the argument is
// passed (inputs::Int, Double, Ints, Doubles and the outputs' OutDoubles);
// `rule` names how long an array is, given the counts of the call
// (calls/layout.h holds the formulas; the rules live in
// calls/extended_args.h, next to the view they read). The view
// (ExtendedArgs), the owning call (FullCall), the export's definition and
// the Python binding are all expanded from this list; the export's
// definition is compiled against its prototype in morvik.h, so the list
// cannot drift from the header in type or order.
#pragma once

#include <vector>

// clang-format off
#define MORVIK_FULL_CALL_INPUTS(F)                                                  \
  F(PriceDate, Int, Scalar)                                                         \
  F(NotionalAMT, Double, Scalar)                                                    \
  F(UnderlyingPrice, Doubles, UnderlyingPrices)  /* current, base per stock */      \
  F(TCurveInfo, Doubles, CurvePoints)  /* discount curve, then one per stock */     \
  F(CurveInfo, Doubles, CurvePoints)                                                \
  F(NT, Ints, CurveCounts)                       /* NStock + 1 */                   \
  F(TVol, Doubles, VolPoints)                                                       \
  F(Parity, Doubles, ParityPoints)                                                  \
  F(LocalVolSurface, Doubles, SurfacePoints)                                        \
  F(NVol, Ints, PerStock)                                                           \
  F(NParity, Ints, PerStock)                                                        \
  F(UnderlyingCorr, Doubles, Correlations)                                          \
  F(TDiv, Ints, DivPoints)                                                          \
  F(Div, Doubles, DivPoints)                                                        \
  F(NDiv, Ints, PerStock)                                                           \
  F(Div_TypeFlag, Ints, PerStock)                                                   \
  F(FX_TVol, Doubles, FxVolPoints)                                                  \
  F(FX_Vol, Doubles, FxVolPoints)                                                   \
  F(FX_NVol, Ints, PerStock)                                                        \
  F(FX_Corr, Doubles, PerStock)                                                     \
  F(QuantoFlag, Ints, PerStock)                                                     \
  F(NStock, Int, Scalar)                                                            \
  F(NStrike, Int, Scalar)                                                           \
  F(X, Doubles, Strikes)                         /* four blocks */                  \
  F(KO_Barrier, Doubles, PerStrike)                                                 \
  F(KI_Barrier, Doubles, PerStock)                                                  \
  F(PayOffSlope, Doubles, Payoffs)               /* four blocks */                  \
  F(PayOffAmount, Doubles, Payoffs)              /* four blocks */                  \
  F(DatesInfo, Ints, DatesInfo)                  /* four blocks */                  \
  F(RedemCoupon, Doubles, RedemCoupons)                                             \
  F(KnockBarrierFlag, Ints, Pair)                                                   \
  F(BeKO_Hitted, Ints, PerStock)                                                    \
  F(BeKI_Hitted, Int, Scalar)                                                       \
  F(NCoupon, Int, Scalar)                                                           \
  F(CouponBarrier, Doubles, PerCoupon)                                              \
  F(Coupon, Doubles, PerCoupon)                                                     \
  F(CouponDatesInfo, Ints, CouponDates)          /* two blocks */                   \
  F(CouponBarrierFlag, Int, Scalar)                                                 \
  F(BeCouponBarrierHitted, Int, Scalar)                                             \
  F(NTrials, Double, Scalar)                                                        \
  F(PayOffLimit, Doubles, Pair)                                                     \
  F(NAFlag, Int, Scalar)                                                            \
  F(SC, Doubles, Fixings)                                                           \
  F(Coupon_SC, Doubles, CouponFixings)                                              \
  F(FixedFlag, Ints, Pair)                                                          \
  F(CalcFlag, Ints, Pair)

#define MORVIK_FULL_CALL_OUTPUTS(F)                                                 \
  F(ELS_Prob_n_Cf, OutDoubles, ProbAndCf)                                           \
  F(ELS_Coupon_Prob_n_Cf, OutDoubles, CouponProbAndCf)                              \
  F(ResultPrice, OutDoubles, ResultPrices)
// clang-format on

namespace morvik::inputs {

// How each kind of argument is passed (Arg) and held by the owning call
// (Owned).
struct Int {
  using Arg = int;
  using Owned = int;
};
struct Double {
  using Arg = double;
  using Owned = double;
};
struct Ints {
  using Arg = const int*;
  using Owned = std::vector<int>;
};
struct Doubles {
  using Arg = const double*;
  using Owned = std::vector<double>;
};
struct OutDoubles {
  using Arg = double*;
  using Owned = std::vector<double>;
};

}  // namespace morvik::inputs
