// One full pricing call held in owning arrays, named as the parameters of
// ZUNP_CalcMorvikMC, with the three outputs. Tests and the fuzz targets
// fill it and hand it on as an ExtendedArgs or to the exported entry.
//
// An empty array is passed as a null pointer, so that a read of an array
// whose count is zero faults instead of reading a stale buffer.
#pragma once

#include <cstddef>
#include <vector>

#include "interface/extended_args.h"
#include "interface/morvik.h"

namespace morvik::support {

template <class T>
T* DataOrNull(std::vector<T>& v) {
  return v.empty() ? nullptr : v.data();
}

struct FullCall {
  int PriceDate = 0;
  double NotionalAMT = 0.0;
  std::vector<double> UnderlyingPrice, TCurveInfo, CurveInfo;
  std::vector<int> NT;
  std::vector<double> TVol, Parity, LocalVolSurface;
  std::vector<int> NVol, NParity;
  std::vector<double> UnderlyingCorr;
  std::vector<int> TDiv;
  std::vector<double> Div;
  std::vector<int> NDiv, Div_TypeFlag;
  std::vector<double> FX_TVol, FX_Vol;
  std::vector<int> FX_NVol;
  std::vector<double> FX_Corr;
  std::vector<int> QuantoFlag;
  int NStock = 0, NStrike = 0;
  std::vector<double> X, KO_Barrier, KI_Barrier, PayOffSlope, PayOffAmount;
  std::vector<int> DatesInfo;
  std::vector<double> RedemCoupon;
  std::vector<int> KnockBarrierFlag, BeKO_Hitted;
  int BeKI_Hitted = 0, NCoupon = 0;
  std::vector<double> CouponBarrier, Coupon;
  std::vector<int> CouponDatesInfo;
  int CouponBarrierFlag = 0, BeCouponBarrierHitted = 0;
  double NTrials = 0.0;
  std::vector<double> PayOffLimit;
  int NAFlag = 0;
  std::vector<double> SC, Coupon_SC;
  std::vector<int> FixedFlag, CalcFlag;
  std::vector<double> ELS_Prob_n_Cf, ELS_Coupon_Prob_n_Cf, ResultPrice;

  // Each of `stocks` stocks priced in its own currency: one FX point (time
  // 1, volatility 10 %), no FX correlation, no quanto.
  void NoQuanto(int stocks) {
    const std::size_t n = stocks > 0 ? static_cast<std::size_t>(stocks) : 0u;
    FX_TVol.assign(n, 1.0);
    FX_Vol.assign(n, 0.1);
    FX_NVol.assign(n, 1);
    FX_Corr.assign(n, 0.0);
    QuantoFlag.assign(n, 0);
  }

  ExtendedArgs Args() {
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
    a.ELS_Prob_n_Cf = DataOrNull(ELS_Prob_n_Cf);
    a.ELS_Coupon_Prob_n_Cf = DataOrNull(ELS_Coupon_Prob_n_Cf);
    a.ResultPrice = DataOrNull(ResultPrice);
    return a;
  }

  // Calls the exported entry with every array of this call.
  int CallExport() {
    const ExtendedArgs a = Args();
    return ZUNP_CalcMorvikMC(
        a.PriceDate, a.NotionalAMT, a.UnderlyingPrice, a.TCurveInfo, a.CurveInfo, a.NT, a.TVol,
        a.Parity, a.LocalVolSurface, a.NVol, a.NParity, a.UnderlyingCorr, a.TDiv, a.Div, a.NDiv,
        a.Div_TypeFlag, a.FX_TVol, a.FX_Vol, a.FX_NVol, a.FX_Corr, a.QuantoFlag, a.NStock,
        a.NStrike, a.X, a.KO_Barrier, a.KI_Barrier, a.PayOffSlope, a.PayOffAmount, a.DatesInfo,
        a.RedemCoupon, a.KnockBarrierFlag, a.BeKO_Hitted, a.BeKI_Hitted, a.NCoupon,
        a.CouponBarrier, a.Coupon, a.CouponDatesInfo, a.CouponBarrierFlag,
        a.BeCouponBarrierHitted, a.NTrials, a.PayOffLimit, a.NAFlag, a.SC, a.Coupon_SC,
        a.FixedFlag, a.CalcFlag, a.ELS_Prob_n_Cf, a.ELS_Coupon_Prob_n_Cf, a.ResultPrice);
  }
};

}  // namespace morvik::support
