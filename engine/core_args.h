// The core argument list and the result block of the core pricing entry.
//
// Every internal routine that prices (the core entry, the engine, the
// fixed-outcome valuation, the sensitivities) receives the core inputs as one
// CoreArgs view of caller-owned arrays and writes into one CoreResults view.
// Field names are the parameter names of MorvikMC, in the same order.
#pragma once

namespace morvik {

struct CoreArgs {
  const double* CurPrice = nullptr;          // NStock
  const double* BasePrice = nullptr;         // NStock
  const double* TCurveInfo_Stock = nullptr;  // sum NT_Stock, tenors (years)
  const double* CurveInfo_Stock = nullptr;   // sum NT_Stock, rates
  const int* NT_Stock = nullptr;             // NStock
  const double* TCurveInfo_Disc = nullptr;   // NT_Disc
  const double* CurveInfo_Disc = nullptr;    // NT_Disc
  int NT_Disc = 0;
  const double* TVol = nullptr;              // sum NVol, years
  const double* Parity_Scaled = nullptr;     // sum NParity, performance units
  const double* LocalVolSurface = nullptr;   // per stock NParity[i] rows x NVol[i] columns
  const int* NVol = nullptr;                 // NStock
  const int* NParity = nullptr;              // NStock
  const double* UnderlyingCorr = nullptr;    // NStock*NStock, row-major
  const double* const* DailyDiv = nullptr;   // NStock rows, one entry per day
  const int* Div_TypeFlag = nullptr;         // NStock, 2 = discrete cash amounts
  const double* FX_TVol = nullptr;           // sum FX_NVol
  const double* FX_Vol = nullptr;            // sum FX_NVol
  const int* FX_NVol = nullptr;              // NStock
  const double* FX_Corr = nullptr;           // NStock
  const int* QuantoFlag = nullptr;           // NStock
  int NStock = 0;
  int NStrike = 0;
  const double* X0 = nullptr;                // NStrike*NStock, date-major
  const double* X1 = nullptr;
  const double* X2 = nullptr;
  const double* X3 = nullptr;
  const double* KO_Barrier = nullptr;        // NStrike
  const double* KI_Barrier = nullptr;        // NStock
  const double* PayOffSlope0 = nullptr;      // NStrike+2 each
  const double* PayOffSlope1 = nullptr;
  const double* PayOffSlope2 = nullptr;
  const double* PayOffSlope3 = nullptr;
  const double* PayOffAmount0 = nullptr;     // NStrike+2 each
  const double* PayOffAmount1 = nullptr;
  const double* PayOffAmount2 = nullptr;
  const double* PayOffAmount3 = nullptr;
  const int* KO_ObsDays = nullptr;           // NStrike, day offsets
  const int* KO_PayDays = nullptr;           // NStrike, day offsets
  const int* KO_WindowLen = nullptr;         // NStrike
  const int* KO_AvgFlag = nullptr;           // NStrike
  const double* RedemCoupon = nullptr;       // NStrike-1
  int KnockBarrierFlag0 = 0;                 // knock-out touch mode
  int KnockBarrierFlag1 = 0;                 // knock-in mode 0/1/2
  const int* BeKO_Hitted = nullptr;          // NStock
  int BeKI_Hitted = 0;
  int NCoupon = 0;
  const double* CouponBarrier = nullptr;     // NCoupon
  const double* Coupon = nullptr;            // NCoupon
  const int* Coupon_ObsDays = nullptr;       // NCoupon, day offsets
  const int* Coupon_PayDays = nullptr;       // NCoupon, day offsets
  int CouponBarrierFlag = 0;
  int BeCouponBarrierHitted = 0;
  double NTrials = 0.0;
  double PayOffLimit0 = 0.0;                 // floor below base
  double PayOffLimit1 = 0.0;                 // cap above base
  int NAFlag = 0;
  const double* SC = nullptr;                // FixedFlag[0]*NStock, fixing-major
  const double* Coupon_SC = nullptr;         // FixedFlag[1]*NStock
  const int* FixedFlag = nullptr;            // 2
  int Reserved = 0;                          // passed along, never read
};

// Result block: outcome slot d < NStrike is redemption on observation date d,
// slot NStrike maturity without knock-in, slot NStrike+1 maturity with
// knock-in. Amounts are per 10000 of notional.
struct CoreResults {
  double* ELS_Prob = nullptr;         // NStrike+2
  double* ELS_Cf = nullptr;           // NStrike+2
  double* ELS_Coupon_Prob = nullptr;  // NCoupon
  double* ELS_Coupon_Cf = nullptr;    // NCoupon
  double* ResultPrice = nullptr;      // 1
};

}  // namespace morvik
