// The layout of the full call's flat arrays: how long each array is, given
// the counts, and where each output sits. Every piece of code that sizes,
// reads or writes these arrays uses these helpers, so the layout is written
// down once.
//
// Lengths follow the formulas as written (4 * NStrike + 8 for a payoff
// array, say) and are never negative: a negative factor of a product counts
// as 0, and a negative result as no element. They are 64-bit and exact for
// any int counts (the product of the four strike blocks and the sum of the
// local volatility blocks saturate), so the input dump, which runs before
// validation, may use them on any counts.
#pragma once

#include <cstdint>

#include "engine/core_args.h"
#include "engine/payoff_rules.h"

namespace morvik::layout {

using Length = std::int64_t;

// A count as a length: 0 for a negative count.
constexpr Length Count(long long n) { return n > 0 ? n : 0; }

// Sum of n per-stock counts (each negative count read as 0).
inline Length SumCounts(const int* counts, int n) {
  Length total = 0;
  for (int i = 0; i < n; ++i) total += Count(counts[i]);
  return total;
}

// a + b, saturated at the largest Length.
constexpr Length AddLengths(Length a, Length b) { return a > INT64_MAX - b ? INT64_MAX : a + b; }

// Number of strike tiers of every observation date (the four blocks of X,
// PayOffSlope and PayOffAmount), lowest tier first: the engine's levels.
inline constexpr int kTiers = kLevels;

// --- Inputs ---------------------------------------------------------------
// UnderlyingPrice: current and base price of each stock, pairwise.
constexpr Length UnderlyingPriceLength(int NStock) { return 2 * Count(NStock); }
// NT: the discount curve's count, then one per stock.
constexpr Length CurveCountsLength(int NStock) { return Count(static_cast<long long>(NStock) + 1); }
// TCurveInfo, CurveInfo: the NT[0] points of the discount curve, then the
// NT[1 + i] points of each stock's rate curve (no int sum overflows 64 bits).
// NT is read only as far as CurveCountsLength: not at all for NStock < 0.
inline Length CurvePointsLength(const int* NT, int NStock) {
  return NStock < 0 ? 0 : Count(NT[0]) + SumCounts(NT + 1, NStock);
}
// LocalVolSurface: per stock a block of NParity rows of NVol points.
// The blocks' rule is engine/core_args.h's.
constexpr Length SurfaceBlockLength(int NVol, int NParity) { return morvik::SurfaceBlockLength(NVol, NParity); }
inline Length SurfaceLength(const int* NVol, const int* NParity, int NStock) {
  return SurfaceBlockStart(NVol, NParity, NStock);
}
// UnderlyingCorr: NStock x NStock, row-major.
constexpr Length CorrelationLength(int NStock) { return Count(NStock) * Count(NStock); }
// One block of X: NStrike dates x NStock stocks, date-major; X holds four.
constexpr Length StrikeBlockLength(int NStock, int NStrike) { return Count(NStock) * Count(NStrike); }
constexpr Length StrikeLength(int NStock, int NStrike) {
  const Length block = StrikeBlockLength(NStock, NStrike);
  return block > INT64_MAX / kTiers ? INT64_MAX : kTiers * block;
}
// One block of PayOffSlope / PayOffAmount: one entry per outcome slot
// (NStrike + 2); the arrays hold four.
constexpr Length OutcomeSlots(int NStrike) { return Count(static_cast<long long>(NStrike) + 2); }
constexpr Length PayoffLength(int NStrike) { return kTiers * OutcomeSlots(NStrike); }
// DatesInfo: observation dates, payment dates, window lengths, window rules.
constexpr Length DatesInfoLength(int NStrike) { return 4 * Count(NStrike); }
// RedemCoupon: one per observation date but the last.
constexpr Length RedemCouponLength(int NStrike) { return Count(static_cast<long long>(NStrike) - 1); }
// CouponDatesInfo: observation dates, then payment dates.
constexpr Length CouponDatesLength(int NCoupon) { return 2 * Count(NCoupon); }
// SC and Coupon_SC: `fixings` rows of NStock closes, fixing-major.
constexpr Length FixingsLength(int NStock, int fixings) { return Count(NStock) * Count(fixings); }

// The blocks of DatesInfo (and of CouponDatesInfo, which has the first
// two), each one entry per date: DatesInfo[DatesBlock(N, kWindowLengths) + d]
// is the window length of date d.
enum DatesInfoBlock { kObservationDates = 0, kPaymentDates = 1, kWindowLengths = 2, kWindowRules = 3 };
constexpr Length DatesBlock(int count, DatesInfoBlock block) { return block * Count(count); }

// --- Outputs --------------------------------------------------------------
// ELS_Prob_n_Cf: the probability of every outcome slot, then its mean cash
// flow. Slot d < NStrike: redemption on observation date d; slot NStrike:
// maturity without knock-in; slot NStrike + 1: maturity with knock-in.
constexpr Length ProbAndCfLength(int NStrike) { return 2 * OutcomeSlots(NStrike); }
constexpr Length OutcomeProb(int /*NStrike*/, int slot) { return Count(slot); }
constexpr Length OutcomeCf(int NStrike, int slot) { return OutcomeSlots(NStrike) + Count(slot); }
// ELS_Coupon_Prob_n_Cf: the probability of every coupon, then its mean amount.
constexpr Length CouponProbAndCfLength(int NCoupon) { return 2 * Count(NCoupon); }
constexpr Length CouponProb(int /*NCoupon*/, int j) { return Count(j); }
constexpr Length CouponCf(int NCoupon, int j) { return Count(NCoupon) + Count(j); }
// ResultPrice: the price; with sensitivities (CalcFlag[0] >= 1) the deltas,
// gammas and vegas of stocks 0..NStock-1, then theta and rho (both written
// only with CalcFlag[0] = 2).
constexpr Length ResultPriceLength(int NStock, int calc) { return calc >= 1 ? 3 * Count(NStock) + 3 : 1; }
inline constexpr Length kPrice = 0;
constexpr Length Delta(int /*NStock*/, int i) { return 1 + Count(i); }
constexpr Length Gamma(int NStock, int i) { return 1 + Count(NStock) + Count(i); }
constexpr Length Vega(int NStock, int i) { return 1 + 2 * Count(NStock) + Count(i); }
constexpr Length Theta(int NStock) { return 3 * Count(NStock) + 1; }
constexpr Length Rho(int NStock) { return 3 * Count(NStock) + 2; }

}  // namespace morvik::layout
