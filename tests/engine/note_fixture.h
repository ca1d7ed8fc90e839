// A simple note as owning vectors, viewable as the core argument list and the
// result block. Defaults: every stock priced at its base price (100), flat
// zero stock and discount curves, a zero local volatility surface, identity
// correlation, no dividends, no quanto, strike levels and knock-out barriers
// that are never reached, one-day any-day windows, knock-in barrier 0.6
// monitored daily, base 1.0 with payoff limits (1.0, 10.0), no coupons, one
// trial. Tests change the fields they need, then call View() and Results().
#pragma once

#include <algorithm>
#include <vector>

#include "engine/core_args.h"

namespace morvik::testing {

struct NoteFixture {
  int NStock = 1;
  int NStrike = 1;
  int NCoupon = 0;

  std::vector<double> CurPrice, BasePrice;
  std::vector<double> TCurveInfo_Stock, CurveInfo_Stock;
  std::vector<int> NT_Stock;
  std::vector<double> TCurveInfo_Disc{1.0}, CurveInfo_Disc{0.0};
  std::vector<double> TVol, Parity_Scaled, LocalVolSurface;
  std::vector<int> NVol, NParity;
  std::vector<double> UnderlyingCorr;
  std::vector<std::vector<double>> DailyDivRows;
  std::vector<int> Div_TypeFlag;
  std::vector<double> FX_TVol, FX_Vol;
  std::vector<int> FX_NVol;
  std::vector<double> FX_Corr;
  std::vector<int> QuantoFlag;

  std::vector<double> X0, X1, X2, X3;
  std::vector<double> KO_Barrier, KI_Barrier;
  std::vector<double> PayOffSlope0, PayOffSlope1, PayOffSlope2, PayOffSlope3;
  std::vector<double> PayOffAmount0, PayOffAmount1, PayOffAmount2, PayOffAmount3;
  std::vector<int> KO_ObsDays, KO_PayDays, KO_WindowLen, KO_AvgFlag;
  std::vector<double> RedemCoupon;
  int KnockBarrierFlag0 = 0;
  int KnockBarrierFlag1 = 1;
  std::vector<int> BeKO_Hitted;
  int BeKI_Hitted = 0;
  std::vector<double> CouponBarrier, Coupon;
  std::vector<int> Coupon_ObsDays, Coupon_PayDays;
  int CouponBarrierFlag = 0;
  int BeCouponBarrierHitted = 0;
  double NTrials = 1.0;
  double PayOffLimit0 = 1.0;
  double PayOffLimit1 = 10.0;
  int NAFlag = 1;
  std::vector<double> SC, Coupon_SC;
  std::vector<int> FixedFlag{0, 0};
  int Reserved = 0;

  std::vector<double> ELS_Prob, ELS_Cf, ELS_Coupon_Prob, ELS_Coupon_Cf, ResultPrice{0.0};

  // Row pointers of DailyDivRows, rebuilt by View().
  std::vector<const double*> DailyDivPtr;

  static constexpr double kNever = 1e9;

  NoteFixture(int nStock, std::vector<int> obsDays, std::vector<int> payDays)
      : NStock(nStock), NStrike(static_cast<int>(obsDays.size())) {
    const int S = NStock;
    const int K = NStrike;
    CurPrice.assign(S, 100.0);
    BasePrice.assign(S, 100.0);
    TCurveInfo_Stock.assign(S, 1.0);
    CurveInfo_Stock.assign(S, 0.0);
    NT_Stock.assign(S, 1);
    TVol.assign(S, 1.0);
    Parity_Scaled.assign(S, 1.0);
    LocalVolSurface.assign(S, 0.0);
    NVol.assign(S, 1);
    NParity.assign(S, 1);
    UnderlyingCorr.assign(static_cast<std::size_t>(S) * S, 0.0);
    for (int i = 0; i < S; ++i) UnderlyingCorr[i * S + i] = 1.0;
    int last = 0;
    for (int p : payDays) last = std::max(last, p);
    for (int o : obsDays) last = std::max(last, o);
    DailyDivRows.assign(S, std::vector<double>(last + 2, 0.0));
    Div_TypeFlag.assign(S, 0);
    FX_TVol.assign(S, 1.0);
    FX_Vol.assign(S, 0.0);
    FX_NVol.assign(S, 1);
    FX_Corr.assign(S, 0.0);
    QuantoFlag.assign(S, 0);

    for (auto* x : {&X0, &X1, &X2, &X3}) x->assign(static_cast<std::size_t>(K) * S, kNever);
    KO_Barrier.assign(K, kNever);
    KI_Barrier.assign(S, 0.6);
    for (auto* v : {&PayOffSlope0, &PayOffSlope1, &PayOffSlope2, &PayOffSlope3, &PayOffAmount0,
                    &PayOffAmount1, &PayOffAmount2, &PayOffAmount3}) {
      v->assign(K + 2, 0.0);
    }
    KO_ObsDays = std::move(obsDays);
    KO_PayDays = std::move(payDays);
    KO_WindowLen.assign(K, 1);
    KO_AvgFlag.assign(K, 0);
    RedemCoupon.assign(K > 1 ? K - 1 : 0, 0.0);
    BeKO_Hitted.assign(S, 0);
  }

  // Constant local volatility for every stock.
  void SetFlatVol(double sigma) { std::fill(LocalVolSurface.begin(), LocalVolSurface.end(), sigma); }
  // Flat rate on every stock's own curve.
  void SetStockRate(double r) { std::fill(CurveInfo_Stock.begin(), CurveInfo_Stock.end(), r); }
  void SetDiscRate(double r) {
    TCurveInfo_Disc.assign(1, 1.0);
    CurveInfo_Disc.assign(1, r);
  }
  // Pricing-date performance of stock i.
  void SetPerformance(int i, double p) { CurPrice[i] = p * BasePrice[i]; }
  // Strike of `level` (0..3 for X0..X3) on date d, the same for every stock.
  void SetStrike(int level, int d, double s) {
    std::vector<double>* x[4] = {&X0, &X1, &X2, &X3};
    for (int i = 0; i < NStock; ++i) (*x[level])[d * NStock + i] = s;
  }
  void SetCoupons(std::vector<int> obs, std::vector<int> pay, std::vector<double> amount,
                  double barrier, int flag) {
    NCoupon = static_cast<int>(obs.size());
    Coupon_ObsDays = std::move(obs);
    Coupon_PayDays = std::move(pay);
    Coupon = std::move(amount);
    CouponBarrier.assign(NCoupon, barrier);
    CouponBarrierFlag = flag;
    int last = 0;
    for (int p : Coupon_PayDays) last = std::max(last, p);
    for (auto& row : DailyDivRows) {
      if (static_cast<int>(row.size()) < last + 2) row.resize(last + 2, 0.0);
    }
  }

  CoreArgs View() {
    DailyDivPtr.clear();
    for (const auto& row : DailyDivRows) DailyDivPtr.push_back(row.data());
    CoreArgs a;
    a.CurPrice = CurPrice.data();
    a.BasePrice = BasePrice.data();
    a.TCurveInfo_Stock = TCurveInfo_Stock.data();
    a.CurveInfo_Stock = CurveInfo_Stock.data();
    a.NT_Stock = NT_Stock.data();
    a.TCurveInfo_Disc = TCurveInfo_Disc.data();
    a.CurveInfo_Disc = CurveInfo_Disc.data();
    a.NT_Disc = static_cast<int>(TCurveInfo_Disc.size());
    a.TVol = TVol.data();
    a.Parity_Scaled = Parity_Scaled.data();
    a.LocalVolSurface = LocalVolSurface.data();
    a.NVol = NVol.data();
    a.NParity = NParity.data();
    a.UnderlyingCorr = UnderlyingCorr.data();
    a.DailyDiv = DailyDivPtr.data();
    a.Div_TypeFlag = Div_TypeFlag.data();
    a.FX_TVol = FX_TVol.data();
    a.FX_Vol = FX_Vol.data();
    a.FX_NVol = FX_NVol.data();
    a.FX_Corr = FX_Corr.data();
    a.QuantoFlag = QuantoFlag.data();
    a.NStock = NStock;
    a.NStrike = NStrike;
    a.X0 = X0.data();
    a.X1 = X1.data();
    a.X2 = X2.data();
    a.X3 = X3.data();
    a.KO_Barrier = KO_Barrier.data();
    a.KI_Barrier = KI_Barrier.data();
    a.PayOffSlope0 = PayOffSlope0.data();
    a.PayOffSlope1 = PayOffSlope1.data();
    a.PayOffSlope2 = PayOffSlope2.data();
    a.PayOffSlope3 = PayOffSlope3.data();
    a.PayOffAmount0 = PayOffAmount0.data();
    a.PayOffAmount1 = PayOffAmount1.data();
    a.PayOffAmount2 = PayOffAmount2.data();
    a.PayOffAmount3 = PayOffAmount3.data();
    a.KO_ObsDays = KO_ObsDays.data();
    a.KO_PayDays = KO_PayDays.data();
    a.KO_WindowLen = KO_WindowLen.data();
    a.KO_AvgFlag = KO_AvgFlag.data();
    a.RedemCoupon = RedemCoupon.data();
    a.KnockBarrierFlag0 = KnockBarrierFlag0;
    a.KnockBarrierFlag1 = KnockBarrierFlag1;
    a.BeKO_Hitted = BeKO_Hitted.data();
    a.BeKI_Hitted = BeKI_Hitted;
    a.NCoupon = NCoupon;
    a.CouponBarrier = CouponBarrier.data();
    a.Coupon = Coupon.data();
    a.Coupon_ObsDays = Coupon_ObsDays.data();
    a.Coupon_PayDays = Coupon_PayDays.data();
    a.CouponBarrierFlag = CouponBarrierFlag;
    a.BeCouponBarrierHitted = BeCouponBarrierHitted;
    a.NTrials = NTrials;
    a.PayOffLimit0 = PayOffLimit0;
    a.PayOffLimit1 = PayOffLimit1;
    a.NAFlag = NAFlag;
    a.SC = SC.data();
    a.Coupon_SC = Coupon_SC.data();
    a.FixedFlag = FixedFlag.data();
    a.Reserved = Reserved;
    return a;
  }

  // Sizes the result arrays (NStrike+2 and NCoupon, filled with `fill`) and
  // returns their view.
  CoreResults Results(double fill = 0.0) {
    ELS_Prob.assign(NStrike + 2, fill);
    ELS_Cf.assign(NStrike + 2, fill);
    ELS_Coupon_Prob.assign(NCoupon, fill);
    ELS_Coupon_Cf.assign(NCoupon, fill);
    ResultPrice.assign(1, fill);
    CoreResults r;
    r.ELS_Prob = ELS_Prob.data();
    r.ELS_Cf = ELS_Cf.data();
    r.ELS_Coupon_Prob = ELS_Coupon_Prob.data();
    r.ELS_Coupon_Cf = ELS_Coupon_Cf.data();
    r.ResultPrice = ResultPrice.data();
    return r;
  }
};

}  // namespace morvik::testing
