// A small, fully specified note on one or two stocks for revaluation tests:
// three monthly observation dates, two coupons, 200 paths. Every array the
// core entry reads is owned here; Bind() points the CoreArgs view at them.
#pragma once

#include <vector>

#include "interface/core_args.h"
#include "interface/core_entry.h"

namespace morvik::testing_note {

struct SmallNote {
  int nStock;
  std::vector<double> cur, base;
  std::vector<double> tCurveStock, curveStock;
  std::vector<int> ntStock;
  std::vector<double> tDisc{0.25, 1.0}, disc{0.035, 0.037};
  std::vector<double> tVol, parity, surface;
  std::vector<int> nVol, nParity;
  std::vector<double> corr;
  std::vector<std::vector<double>> divRows;
  std::vector<const double*> divPtrs;
  std::vector<int> divType;
  std::vector<double> fxT, fxVol, fxCorr;
  std::vector<int> fxN, quanto;
  std::vector<double> x0, x1, x2, x3;
  std::vector<double> koBarrier{10.0, 10.0, 10.0}, kiBarrier;
  std::vector<double> slope0, slope1, slope2, slope3;
  std::vector<double> amount0, amount1, amount2, amount3;
  std::vector<int> koObs{30, 60, 90}, koPay{35, 65, 95}, window{1, 1, 1}, avg{0, 0, 0};
  std::vector<double> redemCoupon{0.0, 0.0};
  std::vector<int> beKO;
  std::vector<double> couponBarrier{0.8, 0.8}, coupon{0.01, 0.01};
  std::vector<int> cpObs{45, 75}, cpPay{50, 80};
  std::vector<double> sc, couponSc;
  std::vector<int> fixed{0, 0};
  int ntDisc = 2;
  int nCoupon = 2;
  double limits[2] = {1.0, 10.0};
  CoreArgs a;

  explicit SmallNote(int stocks) : nStock(stocks) {
    for (int i = 0; i < nStock; ++i) {
      cur.push_back(i == 0 ? 100.0 : 52.0);
      base.push_back(i == 0 ? 100.0 : 50.0);
      tCurveStock.insert(tCurveStock.end(), {0.25, 1.0});
      curveStock.insert(curveStock.end(), {0.03 + 0.002 * i, 0.032 + 0.002 * i});
      ntStock.push_back(2);
      tVol.insert(tVol.end(), {0.1, 0.5, 1.0});
      parity.insert(parity.end(), {0.6, 0.8, 1.0, 1.2, 1.4});
      for (int row = 0; row < 5; ++row)
        for (int col = 0; col < 3; ++col)
          surface.push_back(0.3 - 0.02 * row + 0.005 * col + 0.03 * i);
      nVol.push_back(3);
      nParity.push_back(5);
      divRows.emplace_back(140, 0.01 + 0.005 * i);
      divType.push_back(0);
      fxT.push_back(1.0);
      fxVol.push_back(0.1);
      fxCorr.push_back(0.0);
      fxN.push_back(1);
      quanto.push_back(0);
      kiBarrier.push_back(0.7);
      beKO.push_back(0);
    }
    for (int i = 0; i < nStock; ++i)
      for (int k = 0; k < nStock; ++k) corr.push_back(i == k ? 1.0 : 0.5);
    for (int d = 0; d < 3; ++d)
      for (int i = 0; i < nStock; ++i) {
        x3.push_back(1.0);
        x2.push_back(100.0);
        x1.push_back(100.0);
        x0.push_back(100.0);
      }
    slope0 = slope1 = slope2 = amount0 = amount1 = amount2 = std::vector<double>(5, 0.0);
    slope3 = {0.0, 0.0, 0.0, 0.0, 1.0};
    amount3 = {0.02, 0.04, 0.06, 0.0, 0.0};
    Bind();
  }
  // The view points into this object's own arrays.
  SmallNote(const SmallNote&) = delete;
  SmallNote& operator=(const SmallNote&) = delete;

  // Makes the price linear in the first stock's spot: flat volatility, no
  // redemption, no knock-in, no coupons, a maturity payoff 2 + b - worst with
  // wide limits and undiscounted payments.
  void MakeLinear(double b) {
    for (double& v : surface) v = 0.2;
    x3.assign(x3.size(), 100.0);
    koBarrier.assign(3, 100.0);
    kiBarrier.assign(kiBarrier.size(), 0.0);
    slope3[3] = -1.0;
    amount3[3] = b;
    disc.assign(2, 0.0);
    nCoupon = 0;
    limits[0] = limits[1] = 10.0;
    Bind();
  }

  void Bind() {
    divPtrs.clear();
    for (const std::vector<double>& r : divRows) divPtrs.push_back(r.data());
    a = CoreArgs();
    a.CurPrice = cur.data();
    a.BasePrice = base.data();
    a.TCurveInfo_Stock = tCurveStock.data();
    a.CurveInfo_Stock = curveStock.data();
    a.NT_Stock = ntStock.data();
    a.TCurveInfo_Disc = tDisc.data();
    a.CurveInfo_Disc = disc.data();
    a.NT_Disc = ntDisc;
    a.TVol = tVol.data();
    a.Parity_Scaled = parity.data();
    a.LocalVolSurface = surface.data();
    a.NVol = nVol.data();
    a.NParity = nParity.data();
    a.UnderlyingCorr = corr.data();
    a.DailyDiv = divPtrs.data();
    a.Div_TypeFlag = divType.data();
    a.FX_TVol = fxT.data();
    a.FX_Vol = fxVol.data();
    a.FX_NVol = fxN.data();
    a.FX_Corr = fxCorr.data();
    a.QuantoFlag = quanto.data();
    a.NStock = nStock;
    a.NStrike = 3;
    a.X0 = x0.data();
    a.X1 = x1.data();
    a.X2 = x2.data();
    a.X3 = x3.data();
    a.KO_Barrier = koBarrier.data();
    a.KI_Barrier = kiBarrier.data();
    a.PayOffSlope0 = slope0.data();
    a.PayOffSlope1 = slope1.data();
    a.PayOffSlope2 = slope2.data();
    a.PayOffSlope3 = slope3.data();
    a.PayOffAmount0 = amount0.data();
    a.PayOffAmount1 = amount1.data();
    a.PayOffAmount2 = amount2.data();
    a.PayOffAmount3 = amount3.data();
    a.KO_ObsDays = koObs.data();
    a.KO_PayDays = koPay.data();
    a.KO_WindowLen = window.data();
    a.KO_AvgFlag = avg.data();
    a.RedemCoupon = redemCoupon.data();
    a.KnockBarrierFlag0 = 0;
    a.KnockBarrierFlag1 = 1;
    a.BeKO_Hitted = beKO.data();
    a.BeKI_Hitted = 0;
    a.NCoupon = nCoupon;
    a.CouponBarrier = couponBarrier.data();
    a.Coupon = coupon.data();
    a.Coupon_ObsDays = cpObs.data();
    a.Coupon_PayDays = cpPay.data();
    a.CouponBarrierFlag = 2;
    a.BeCouponBarrierHitted = 0;
    a.NTrials = 200.0;
    a.PayOffLimit0 = limits[0];
    a.PayOffLimit1 = limits[1];
    a.NAFlag = 1;
    a.SC = sc.empty() ? nullptr : sc.data();
    a.Coupon_SC = couponSc.empty() ? nullptr : couponSc.data();
    a.FixedFlag = fixed.data();
    a.Reserved = 0;
  }
};

// Price of one core-entry call with its own result block; status in *rc.
inline double CorePrice(const CoreArgs& args, int* rc = nullptr) {
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

}  // namespace morvik::testing_note
