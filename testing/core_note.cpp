// The core-level test notes: construction, modifiers and views.
#include "testing/core_note.h"

#include <algorithm>
#include <utility>

#include "engine/core_valuation.h"

namespace morvik::testing {

CoreNote::CoreNote(int nStock, std::vector<int> obsDays, std::vector<int> payDays)
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
  for (auto* v : {&PayOffSlope0, &PayOffSlope1, &PayOffSlope2, &PayOffSlope3, &PayOffAmount0, &PayOffAmount1,
                  &PayOffAmount2, &PayOffAmount3}) {
    v->assign(K + 2, 0.0);
  }
  KO_ObsDays = std::move(obsDays);
  KO_PayDays = std::move(payDays);
  KO_WindowLen.assign(K, 1);
  KO_AvgFlag.assign(K, 0);
  RedemCoupon.assign(K > 1 ? K - 1 : 0, 0.0);
  BeKO_Hitted.assign(S, 0);
}

void CoreNote::SetFlatVol(double sigma) { std::fill(LocalVolSurface.begin(), LocalVolSurface.end(), sigma); }

void CoreNote::SetStockRate(double r) { std::fill(CurveInfo_Stock.begin(), CurveInfo_Stock.end(), r); }

void CoreNote::SetDiscRate(double r) {
  TCurveInfo_Disc.assign(1, 1.0);
  CurveInfo_Disc.assign(1, r);
}

void CoreNote::SetPerformance(int i, double p) { CurPrice[i] = p * BasePrice[i]; }

void CoreNote::SetStrike(int level, int d, double s) {
  std::vector<double>* x[4] = {&X0, &X1, &X2, &X3};
  for (int i = 0; i < NStock; ++i) (*x[level])[d * NStock + i] = s;
}

void CoreNote::SetCoupons(std::vector<int> obs, std::vector<int> pay, std::vector<double> amount, double barrier,
                          int flag) {
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

CoreArgs CoreNote::View() {
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

CoreResults CoreNote::Results(double fill) {
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

SmallNote::SmallNote(int stocks) : CoreNote(stocks, {30, 60, 90}, {35, 65, 95}) {
  TVol.clear();
  Parity_Scaled.clear();
  LocalVolSurface.clear();
  TCurveInfo_Stock.clear();
  CurveInfo_Stock.clear();
  for (int i = 0; i < stocks; ++i) {
    TVol.insert(TVol.end(), {0.1, 0.5, 1.0});
    Parity_Scaled.insert(Parity_Scaled.end(), {0.6, 0.8, 1.0, 1.2, 1.4});
    for (int row = 0; row < 5; ++row)
      for (int col = 0; col < 3; ++col) LocalVolSurface.push_back(0.3 - 0.02 * row + 0.005 * col + 0.03 * i);
    TCurveInfo_Stock.insert(TCurveInfo_Stock.end(), {0.25, 1.0});
    CurveInfo_Stock.insert(CurveInfo_Stock.end(), {0.03 + 0.002 * i, 0.032 + 0.002 * i});
    // Long enough for a schedule pushed ten days further away.
    DailyDivRows[i].assign(140, 0.01 + 0.005 * i);
    for (int k = 0; k < stocks; ++k) UnderlyingCorr[i * stocks + k] = i == k ? 1.0 : 0.5;
    KI_Barrier[i] = 0.7;
    FX_Vol[i] = 0.1;
  }
  if (stocks > 1) CurPrice[1] = 104.0;
  NVol.assign(stocks, 3);
  NParity.assign(stocks, 5);
  NT_Stock.assign(stocks, 2);
  TCurveInfo_Disc = {0.25, 1.0};
  CurveInfo_Disc = {0.035, 0.037};
  for (int d = 0; d < 3; ++d) SetStrike(3, d, 1.0);
  KO_Barrier.assign(3, 10.0);
  PayOffSlope3 = {0.0, 0.0, 0.0, 0.0, 1.0};
  PayOffAmount3 = {0.02, 0.04, 0.06, 0.0, 0.0};
  SetCoupons({45, 75}, {50, 80}, {0.01, 0.01}, 0.8, 2);
  NTrials = 200.0;
  Bind();
}

void SmallNote::MakeLinear(double b) {
  SetFlatVol(0.2);
  for (int d = 0; d < 3; ++d) SetStrike(3, d, kNever);
  KO_Barrier.assign(3, kNever);
  KI_Barrier.assign(NStock, 0.0);
  PayOffSlope3[3] = -1.0;
  PayOffAmount3[3] = b;
  CurveInfo_Disc.assign(2, 0.0);
  NCoupon = 0;
  PayOffLimit0 = PayOffLimit1 = 10.0;
  Bind();
}

CoreNote RealisticCoreNote() {
  CoreNote f(3, {183, 365, 548, 730, 913, 1095}, {190, 372, 555, 737, 920, 1102});
  const double P[10] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
  const double T[8] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  f.TVol.clear();
  f.Parity_Scaled.clear();
  f.LocalVolSurface.clear();
  for (int i = 0; i < 3; ++i) {
    f.TVol.insert(f.TVol.end(), T, T + 8);
    f.Parity_Scaled.insert(f.Parity_Scaled.end(), P, P + 10);
    for (int p = 0; p < 10; ++p) {
      for (int k = 0; k < 8; ++k) f.LocalVolSurface.push_back(0.38 - 0.12 * P[p] + 0.01 * k + 0.02 * i);
    }
  }
  f.NVol = {8, 8, 8};
  f.NParity = {10, 10, 10};
  f.UnderlyingCorr = {1.0, 0.55, 0.45, 0.55, 1.0, 0.5, 0.45, 0.5, 1.0};
  f.TCurveInfo_Stock = {0.5, 1.0, 3.0, 0.5, 1.0, 3.0, 0.5, 1.0, 3.0};
  f.CurveInfo_Stock = {0.030, 0.032, 0.035, 0.031, 0.033, 0.036, 0.029, 0.031, 0.034};
  f.NT_Stock = {3, 3, 3};
  f.TCurveInfo_Disc = {0.5, 1.0, 3.0};
  f.CurveInfo_Disc = {0.031, 0.033, 0.036};
  for (auto& row : f.DailyDivRows) {
    for (double& q : row) q = 0.015;
  }
  const double steps[6] = {0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
  for (int d = 0; d < 6; ++d) {
    f.SetStrike(3, d, steps[d]);
    f.PayOffAmount3[d] = 0.045 * (d + 1);
  }
  f.PayOffAmount3[6] = 0.27;  // maturity without knock-in
  f.PayOffSlope3[7] = 1.0;    // maturity with knock-in: loss participation
  f.KI_Barrier = {0.5, 0.5, 0.5};
  f.KnockBarrierFlag1 = 1;
  f.NTrials = 10000;
  return f;
}

double CorePrice(const CoreArgs& args, int* rc) {
  std::vector<double> prob(args.NStrike + 2), cf(args.NStrike + 2);
  std::vector<double> cprob(args.NCoupon + 1), ccf(args.NCoupon + 1);
  double price = -1.0;
  CoreResults out;
  out.ELS_Prob = prob.data();
  out.ELS_Cf = cf.data();
  out.ELS_Coupon_Prob = cprob.data();
  out.ELS_Coupon_Cf = ccf.data();
  out.ResultPrice = &price;
  const int status = MorvikCore(args, out);
  if (rc) *rc = status;
  return price;
}

}  // namespace morvik::testing
