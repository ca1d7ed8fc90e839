// The exported full pricing call: packs its 49 parameters into one view and
// prices with the system clock. CalcMorvikMC catches every failure, so no
// C++ exception leaves this function.
#include "interface/extended_args.h"
#include "interface/extended_entry.h"
#include "interface/morvik.h"

extern "C" MORVIK_API int MORVIK_CALL ZUNP_CalcMorvikMC(
    int PriceDate, double NotionalAMT, const double* UnderlyingPrice,
    const double* TCurveInfo, const double* CurveInfo, const int* NT,
    const double* TVol, const double* Parity, const double* LocalVolSurface,
    const int* NVol, const int* NParity, const double* UnderlyingCorr,
    const int* TDiv, const double* Div, const int* NDiv, const int* Div_TypeFlag,
    const double* FX_TVol, const double* FX_Vol, const int* FX_NVol, const double* FX_Corr,
    const int* QuantoFlag, int NStock, int NStrike,
    const double* X, const double* KO_Barrier, const double* KI_Barrier,
    const double* PayOffSlope, const double* PayOffAmount, const int* DatesInfo,
    const double* RedemCoupon, const int* KnockBarrierFlag, const int* BeKO_Hitted,
    int BeKI_Hitted, int NCoupon, const double* CouponBarrier, const double* Coupon,
    const int* CouponDatesInfo, int CouponBarrierFlag, int BeCouponBarrierHitted,
    double NTrials, const double* PayOffLimit, int NAFlag, const double* SC,
    const double* Coupon_SC, const int* FixedFlag, const int* CalcFlag,
    double* ELS_Prob_n_Cf, double* ELS_Coupon_Prob_n_Cf, double* ResultPrice) {
  morvik::ExtendedArgs a;
  a.PriceDate = PriceDate;
  a.NotionalAMT = NotionalAMT;
  a.UnderlyingPrice = UnderlyingPrice;
  a.TCurveInfo = TCurveInfo;
  a.CurveInfo = CurveInfo;
  a.NT = NT;
  a.TVol = TVol;
  a.Parity = Parity;
  a.LocalVolSurface = LocalVolSurface;
  a.NVol = NVol;
  a.NParity = NParity;
  a.UnderlyingCorr = UnderlyingCorr;
  a.TDiv = TDiv;
  a.Div = Div;
  a.NDiv = NDiv;
  a.Div_TypeFlag = Div_TypeFlag;
  a.FX_TVol = FX_TVol;
  a.FX_Vol = FX_Vol;
  a.FX_NVol = FX_NVol;
  a.FX_Corr = FX_Corr;
  a.QuantoFlag = QuantoFlag;
  a.NStock = NStock;
  a.NStrike = NStrike;
  a.X = X;
  a.KO_Barrier = KO_Barrier;
  a.KI_Barrier = KI_Barrier;
  a.PayOffSlope = PayOffSlope;
  a.PayOffAmount = PayOffAmount;
  a.DatesInfo = DatesInfo;
  a.RedemCoupon = RedemCoupon;
  a.KnockBarrierFlag = KnockBarrierFlag;
  a.BeKO_Hitted = BeKO_Hitted;
  a.BeKI_Hitted = BeKI_Hitted;
  a.NCoupon = NCoupon;
  a.CouponBarrier = CouponBarrier;
  a.Coupon = Coupon;
  a.CouponDatesInfo = CouponDatesInfo;
  a.CouponBarrierFlag = CouponBarrierFlag;
  a.BeCouponBarrierHitted = BeCouponBarrierHitted;
  a.NTrials = NTrials;
  a.PayOffLimit = PayOffLimit;
  a.NAFlag = NAFlag;
  a.SC = SC;
  a.Coupon_SC = Coupon_SC;
  a.FixedFlag = FixedFlag;
  a.CalcFlag = CalcFlag;
  a.ELS_Prob_n_Cf = ELS_Prob_n_Cf;
  a.ELS_Coupon_Prob_n_Cf = ELS_Coupon_Prob_n_Cf;
  a.ResultPrice = ResultPrice;
  return morvik::CalcMorvikMC(a, nullptr);
}
