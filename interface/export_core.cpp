// The exported core pricing call: packs its 66 arguments into the core
// argument list and result block and prices. Nothing is thrown across it.
#include "engine/core_valuation.h"
#include "interface/morvik.h"

extern "C" MORVIK_API int MORVIK_CALL MorvikMC(
    const double* CurPrice, const double* BasePrice, const double* TCurveInfo_Stock,
    const double* CurveInfo_Stock, const int* NT_Stock, const double* TCurveInfo_Disc,
    const double* CurveInfo_Disc, int NT_Disc, const double* TVol, const double* Parity_Scaled,
    const double* LocalVolSurface, const int* NVol, const int* NParity,
    const double* UnderlyingCorr, const double* const* DailyDiv, const int* Div_TypeFlag,
    const double* FX_TVol, const double* FX_Vol, const int* FX_NVol, const double* FX_Corr,
    const int* QuantoFlag, int NStock, int NStrike, const double* X0, const double* X1,
    const double* X2, const double* X3, const double* KO_Barrier, const double* KI_Barrier,
    const double* PayOffSlope0, const double* PayOffSlope1, const double* PayOffSlope2,
    const double* PayOffSlope3, const double* PayOffAmount0, const double* PayOffAmount1,
    const double* PayOffAmount2, const double* PayOffAmount3, const int* KO_ObsDays,
    const int* KO_PayDays, const int* KO_WindowLen, const int* KO_AvgFlag,
    const double* RedemCoupon, int KnockBarrierFlag0, int KnockBarrierFlag1,
    const int* BeKO_Hitted, int BeKI_Hitted, int NCoupon, const double* CouponBarrier,
    const double* Coupon, const int* Coupon_ObsDays, const int* Coupon_PayDays,
    int CouponBarrierFlag, int BeCouponBarrierHitted, double NTrials, double PayOffLimit0,
    double PayOffLimit1, int NAFlag, const double* SC, const double* Coupon_SC,
    const int* FixedFlag, int Reserved, double* ELS_Prob, double* ELS_Cf,
    double* ELS_Coupon_Prob, double* ELS_Coupon_Cf, double* ResultPrice) {
  try {
    morvik::CoreArgs a;
    a.CurPrice = CurPrice;
    a.BasePrice = BasePrice;
    a.TCurveInfo_Stock = TCurveInfo_Stock;
    a.CurveInfo_Stock = CurveInfo_Stock;
    a.NT_Stock = NT_Stock;
    a.TCurveInfo_Disc = TCurveInfo_Disc;
    a.CurveInfo_Disc = CurveInfo_Disc;
    a.NT_Disc = NT_Disc;
    a.TVol = TVol;
    a.Parity_Scaled = Parity_Scaled;
    a.LocalVolSurface = LocalVolSurface;
    a.NVol = NVol;
    a.NParity = NParity;
    a.UnderlyingCorr = UnderlyingCorr;
    a.DailyDiv = DailyDiv;
    a.Div_TypeFlag = Div_TypeFlag;
    a.FX_TVol = FX_TVol;
    a.FX_Vol = FX_Vol;
    a.FX_NVol = FX_NVol;
    a.FX_Corr = FX_Corr;
    a.QuantoFlag = QuantoFlag;
    a.NStock = NStock;
    a.NStrike = NStrike;
    a.X0 = X0;
    a.X1 = X1;
    a.X2 = X2;
    a.X3 = X3;
    a.KO_Barrier = KO_Barrier;
    a.KI_Barrier = KI_Barrier;
    a.PayOffSlope0 = PayOffSlope0;
    a.PayOffSlope1 = PayOffSlope1;
    a.PayOffSlope2 = PayOffSlope2;
    a.PayOffSlope3 = PayOffSlope3;
    a.PayOffAmount0 = PayOffAmount0;
    a.PayOffAmount1 = PayOffAmount1;
    a.PayOffAmount2 = PayOffAmount2;
    a.PayOffAmount3 = PayOffAmount3;
    a.KO_ObsDays = KO_ObsDays;
    a.KO_PayDays = KO_PayDays;
    a.KO_WindowLen = KO_WindowLen;
    a.KO_AvgFlag = KO_AvgFlag;
    a.RedemCoupon = RedemCoupon;
    a.KnockBarrierFlag0 = KnockBarrierFlag0;
    a.KnockBarrierFlag1 = KnockBarrierFlag1;
    a.BeKO_Hitted = BeKO_Hitted;
    a.BeKI_Hitted = BeKI_Hitted;
    a.NCoupon = NCoupon;
    a.CouponBarrier = CouponBarrier;
    a.Coupon = Coupon;
    a.Coupon_ObsDays = Coupon_ObsDays;
    a.Coupon_PayDays = Coupon_PayDays;
    a.CouponBarrierFlag = CouponBarrierFlag;
    a.BeCouponBarrierHitted = BeCouponBarrierHitted;
    a.NTrials = NTrials;
    a.PayOffLimit0 = PayOffLimit0;
    a.PayOffLimit1 = PayOffLimit1;
    a.NAFlag = NAFlag;
    a.SC = SC;
    a.Coupon_SC = Coupon_SC;
    a.FixedFlag = FixedFlag;
    a.Reserved = Reserved;

    morvik::CoreResults r;
    r.ELS_Prob = ELS_Prob;
    r.ELS_Cf = ELS_Cf;
    r.ELS_Coupon_Prob = ELS_Coupon_Prob;
    r.ELS_Coupon_Cf = ELS_Coupon_Cf;
    r.ResultPrice = ResultPrice;
    return morvik::MorvikCore(a, r);
  } catch (...) {
    return -1;
  }
}
