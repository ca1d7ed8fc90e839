// The named inputs and outputs of the full pricing call, as one view.
//
// Validation, assembly and the input dump read the extended entry's 49
// parameters through this struct; field names are the parameter names of
// ZUNP_CalcMorvikMC, in the same order.
#pragma once

namespace morvik {

struct ExtendedArgs {
  int PriceDate = 0;
  double NotionalAMT = 0.0;
  const double* UnderlyingPrice = nullptr;   // 2*NStock: current, base per stock
  const double* TCurveInfo = nullptr;        // rate curves: common (discount) curve, then one per stock
  const double* CurveInfo = nullptr;
  const int* NT = nullptr;                   // NStock+1
  const double* TVol = nullptr;
  const double* Parity = nullptr;
  const double* LocalVolSurface = nullptr;
  const int* NVol = nullptr;
  const int* NParity = nullptr;
  const double* UnderlyingCorr = nullptr;
  const int* TDiv = nullptr;
  const double* Div = nullptr;
  const int* NDiv = nullptr;
  const int* Div_TypeFlag = nullptr;
  const double* FX_TVol = nullptr;
  const double* FX_Vol = nullptr;
  const int* FX_NVol = nullptr;
  const double* FX_Corr = nullptr;
  const int* QuantoFlag = nullptr;
  int NStock = 0;
  int NStrike = 0;
  const double* X = nullptr;                 // four blocks
  const double* KO_Barrier = nullptr;
  const double* KI_Barrier = nullptr;
  const double* PayOffSlope = nullptr;       // four blocks
  const double* PayOffAmount = nullptr;      // four blocks
  const int* DatesInfo = nullptr;            // four blocks
  const double* RedemCoupon = nullptr;
  const int* KnockBarrierFlag = nullptr;     // 2
  const int* BeKO_Hitted = nullptr;
  int BeKI_Hitted = 0;
  int NCoupon = 0;
  const double* CouponBarrier = nullptr;
  const double* Coupon = nullptr;
  const int* CouponDatesInfo = nullptr;
  int CouponBarrierFlag = 0;
  int BeCouponBarrierHitted = 0;
  double NTrials = 0.0;
  const double* PayOffLimit = nullptr;       // 2
  int NAFlag = 0;
  const double* SC = nullptr;
  const double* Coupon_SC = nullptr;
  const int* FixedFlag = nullptr;            // 2
  const int* CalcFlag = nullptr;             // 2
  double* ELS_Prob_n_Cf = nullptr;
  double* ELS_Coupon_Prob_n_Cf = nullptr;
  double* ResultPrice = nullptr;
};

}  // namespace morvik
