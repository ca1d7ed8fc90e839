// The owning full call: its view and the one place that passes the 49
// arguments of the export in order.
#include "interface/full_call.h"

#include "interface/layout.h"
#include "interface/morvik.h"

namespace morvik {

namespace {

template <class T>
T* DataOrNull(std::vector<T>& v) {
  return v.empty() ? nullptr : v.data();
}

template <class T>
const T* DataOrNull(const std::vector<T>& v) {
  return v.empty() ? nullptr : v.data();
}

}  // namespace

void FullCall::SizeOutputs() {
  const int calc = CalcFlag.empty() ? 0 : CalcFlag[0];
  ELS_Prob_n_Cf.assign(layout::ProbAndCfLength(NStrike), 0.0);
  ELS_Coupon_Prob_n_Cf.assign(layout::CouponProbAndCfLength(NCoupon), 0.0);
  ResultPrice.assign(layout::ResultPriceLength(NStock, calc), 0.0);
}

ExtendedArgs FullCall::Inputs() const {
  ExtendedArgs a;
  a.PriceDate = PriceDate;
  a.NotionalAMT = NotionalAMT;
  a.UnderlyingPrice = DataOrNull(UnderlyingPrice);
  a.TCurveInfo = DataOrNull(TCurveInfo);
  a.CurveInfo = DataOrNull(CurveInfo);
  a.NT = DataOrNull(NT);
  a.TVol = DataOrNull(TVol);
  a.Parity = DataOrNull(Parity);
  a.LocalVolSurface = DataOrNull(LocalVolSurface);
  a.NVol = DataOrNull(NVol);
  a.NParity = DataOrNull(NParity);
  a.UnderlyingCorr = DataOrNull(UnderlyingCorr);
  a.TDiv = DataOrNull(TDiv);
  a.Div = DataOrNull(Div);
  a.NDiv = DataOrNull(NDiv);
  a.Div_TypeFlag = DataOrNull(Div_TypeFlag);
  a.FX_TVol = DataOrNull(FX_TVol);
  a.FX_Vol = DataOrNull(FX_Vol);
  a.FX_NVol = DataOrNull(FX_NVol);
  a.FX_Corr = DataOrNull(FX_Corr);
  a.QuantoFlag = DataOrNull(QuantoFlag);
  a.NStock = NStock;
  a.NStrike = NStrike;
  a.X = DataOrNull(X);
  a.KO_Barrier = DataOrNull(KO_Barrier);
  a.KI_Barrier = DataOrNull(KI_Barrier);
  a.PayOffSlope = DataOrNull(PayOffSlope);
  a.PayOffAmount = DataOrNull(PayOffAmount);
  a.DatesInfo = DataOrNull(DatesInfo);
  a.RedemCoupon = DataOrNull(RedemCoupon);
  a.KnockBarrierFlag = DataOrNull(KnockBarrierFlag);
  a.BeKO_Hitted = DataOrNull(BeKO_Hitted);
  a.BeKI_Hitted = BeKI_Hitted;
  a.NCoupon = NCoupon;
  a.CouponBarrier = DataOrNull(CouponBarrier);
  a.Coupon = DataOrNull(Coupon);
  a.CouponDatesInfo = DataOrNull(CouponDatesInfo);
  a.CouponBarrierFlag = CouponBarrierFlag;
  a.BeCouponBarrierHitted = BeCouponBarrierHitted;
  a.NTrials = NTrials;
  a.PayOffLimit = DataOrNull(PayOffLimit);
  a.NAFlag = NAFlag;
  a.SC = DataOrNull(SC);
  a.Coupon_SC = DataOrNull(Coupon_SC);
  a.FixedFlag = DataOrNull(FixedFlag);
  a.CalcFlag = DataOrNull(CalcFlag);
  return a;
}

ExtendedArgs FullCall::View() {
  ExtendedArgs a = Inputs();
  a.ELS_Prob_n_Cf = DataOrNull(ELS_Prob_n_Cf);
  a.ELS_Coupon_Prob_n_Cf = DataOrNull(ELS_Coupon_Prob_n_Cf);
  a.ResultPrice = DataOrNull(ResultPrice);
  return a;
}

int FullCall::Call() { return CallExport(View()); }

int CallExport(const ExtendedArgs& a) {
  return ZUNP_CalcMorvikMC(
      a.PriceDate, a.NotionalAMT, a.UnderlyingPrice, a.TCurveInfo, a.CurveInfo, a.NT, a.TVol, a.Parity,
      a.LocalVolSurface, a.NVol, a.NParity, a.UnderlyingCorr, a.TDiv, a.Div, a.NDiv, a.Div_TypeFlag, a.FX_TVol,
      a.FX_Vol, a.FX_NVol, a.FX_Corr, a.QuantoFlag, a.NStock, a.NStrike, a.X, a.KO_Barrier, a.KI_Barrier,
      a.PayOffSlope, a.PayOffAmount, a.DatesInfo, a.RedemCoupon, a.KnockBarrierFlag, a.BeKO_Hitted, a.BeKI_Hitted,
      a.NCoupon, a.CouponBarrier, a.Coupon, a.CouponDatesInfo, a.CouponBarrierFlag, a.BeCouponBarrierHitted,
      a.NTrials, a.PayOffLimit, a.NAFlag, a.SC, a.Coupon_SC, a.FixedFlag, a.CalcFlag, a.ELS_Prob_n_Cf,
      a.ELS_Coupon_Prob_n_Cf, a.ResultPrice);
}

}  // namespace morvik
