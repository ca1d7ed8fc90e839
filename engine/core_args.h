// The core argument list and the result block of the core pricing entry.
//
// Every internal routine that prices (the core entry, the engine, the
// fixed-outcome valuation, the sensitivities) receives the core inputs as one
// CoreArgs view of caller-owned arrays and writes into one CoreResults view.
// Both are expanded from the argument lists below: F(name, type) for every
// parameter of MorvikMC, in its order (lengths in the comments); the export's
// definition is expanded from the same lists.
#pragma once

#include <cstdint>

// clang-format off
#define MORVIK_CORE_INPUTS(F)                                                                   \
  F(CurPrice, const double*)                  /* NStock */                                      \
  F(BasePrice, const double*)                 /* NStock */                                      \
  F(TCurveInfo_Stock, const double*)          /* sum NT_Stock, tenors (years) */                \
  F(CurveInfo_Stock, const double*)           /* sum NT_Stock, rates */                         \
  F(NT_Stock, const int*)                     /* NStock */                                      \
  F(TCurveInfo_Disc, const double*)           /* NT_Disc */                                     \
  F(CurveInfo_Disc, const double*)            /* NT_Disc */                                     \
  F(NT_Disc, int)                                                                               \
  F(TVol, const double*)                      /* sum NVol, years */                             \
  F(Parity_Scaled, const double*)             /* sum NParity, performance units */              \
  F(LocalVolSurface, const double*)           /* per stock NParity[i] rows x NVol[i] columns */ \
  F(NVol, const int*)                         /* NStock */                                      \
  F(NParity, const int*)                      /* NStock */                                      \
  F(UnderlyingCorr, const double*)            /* NStock*NStock, row-major */                    \
  F(DailyDiv, const double* const*)           /* NStock rows, one entry per day */              \
  F(Div_TypeFlag, const int*)                 /* NStock, 2 = discrete cash amounts */           \
  F(FX_TVol, const double*)                   /* sum FX_NVol */                                 \
  F(FX_Vol, const double*)                    /* sum FX_NVol */                                 \
  F(FX_NVol, const int*)                      /* NStock */                                      \
  F(FX_Corr, const double*)                   /* NStock */                                      \
  F(QuantoFlag, const int*)                   /* NStock */                                      \
  F(NStock, int)                                                                                \
  F(NStrike, int)                                                                               \
  F(X0, const double*)                        /* NStrike*NStock, date-major */                  \
  F(X1, const double*)                                                                          \
  F(X2, const double*)                                                                          \
  F(X3, const double*)                                                                          \
  F(KO_Barrier, const double*)                /* NStrike */                                     \
  F(KI_Barrier, const double*)                /* NStock */                                      \
  F(PayOffSlope0, const double*)              /* NStrike+2 each */                              \
  F(PayOffSlope1, const double*)                                                                \
  F(PayOffSlope2, const double*)                                                                \
  F(PayOffSlope3, const double*)                                                                \
  F(PayOffAmount0, const double*)             /* NStrike+2 each */                              \
  F(PayOffAmount1, const double*)                                                               \
  F(PayOffAmount2, const double*)                                                               \
  F(PayOffAmount3, const double*)                                                               \
  F(KO_ObsDays, const int*)                   /* NStrike, day offsets */                        \
  F(KO_PayDays, const int*)                   /* NStrike, day offsets */                        \
  F(KO_WindowLen, const int*)                 /* NStrike */                                     \
  F(KO_AvgFlag, const int*)                   /* NStrike */                                     \
  F(RedemCoupon, const double*)               /* NStrike-1 */                                   \
  F(KnockBarrierFlag0, int)                   /* knock-out touch mode */                        \
  F(KnockBarrierFlag1, int)                   /* knock-in mode 0/1/2 */                         \
  F(BeKO_Hitted, const int*)                  /* NStock */                                      \
  F(BeKI_Hitted, int)                                                                           \
  F(NCoupon, int)                                                                               \
  F(CouponBarrier, const double*)             /* NCoupon */                                     \
  F(Coupon, const double*)                    /* NCoupon */                                     \
  F(Coupon_ObsDays, const int*)               /* NCoupon, day offsets */                        \
  F(Coupon_PayDays, const int*)               /* NCoupon, day offsets */                        \
  F(CouponBarrierFlag, int)                                                                     \
  F(BeCouponBarrierHitted, int)                                                                 \
  F(NTrials, double)                                                                            \
  F(PayOffLimit0, double)                     /* floor below base */                            \
  F(PayOffLimit1, double)                     /* cap above base */                              \
  F(NAFlag, int)                                                                                \
  F(SC, const double*)                        /* FixedFlag[0]*NStock, fixing-major */           \
  F(Coupon_SC, const double*)                 /* FixedFlag[1]*NStock */                         \
  F(FixedFlag, const int*)                    /* 2 */                                           \
  F(Reserved, int)                            /* passed along, never read */

#define MORVIK_CORE_RESULTS(F)                                \
  F(ELS_Prob, double*)                        /* NStrike+2 */ \
  F(ELS_Cf, double*)                          /* NStrike+2 */ \
  F(ELS_Coupon_Prob, double*)                 /* NCoupon */   \
  F(ELS_Coupon_Cf, double*)                   /* NCoupon */   \
  F(ResultPrice, double*)                     /* 1 */
// clang-format on

namespace morvik {

struct CoreArgs {
#define MORVIK_CORE_FIELD(name, type) type name{};
  MORVIK_CORE_INPUTS(MORVIK_CORE_FIELD)
};

// Result block: outcome slot d < NStrike is redemption on observation date d,
// slot NStrike maturity without knock-in, slot NStrike+1 maturity with
// knock-in. Amounts are per 10000 of notional.
struct CoreResults {
  MORVIK_CORE_RESULTS(MORVIK_CORE_FIELD)
#undef MORVIK_CORE_FIELD
};

// The blocks of LocalVolSurface (of this list and of the full call): one
// block per stock, in stock order, stock i's block NParity[i] rows of NVol[i]
// points. A negative count is an empty block; lengths and starts are exact
// in 64 bits for any int counts and saturate beyond them.
constexpr std::int64_t SurfaceBlockLength(int nVol, int nParity) {
  return (nVol > 0 ? std::int64_t{nVol} : 0) * (nParity > 0 ? std::int64_t{nParity} : 0);
}
// Where stock i's block starts: the blocks of stocks 0..i-1 (with i = NStock,
// the whole surface's length).
inline std::int64_t SurfaceBlockStart(const int* NVol, const int* NParity, int i) {
  std::int64_t start = 0;
  for (int k = 0; k < i; ++k) {
    const std::int64_t block = SurfaceBlockLength(NVol[k], NParity[k]);
    start = start > INT64_MAX - block ? INT64_MAX : start + block;
  }
  return start;
}

}  // namespace morvik
