// A realistic note for the benchmarks, as the full pricing call takes it:
// one to three stocks, three years of daily steps, six semiannual
// observation dates with step-down strikes, a 10 x 8 local volatility grid
// per stock, a daily-watched knock-in at 50 %, 10000 trials.
#pragma once

#include <vector>

#include "interface/extended_args.h"

namespace morvik::bench {

struct RealisticNote {
  int S = 1;
  std::vector<double> price, tCurve, curve, tVol, parity, surface, corr, div, fxT, fxVol, fxCorr;
  std::vector<double> x, ko, ki, slope, amount, redem, limit{1.0, 0.5};
  std::vector<int> nt, nVol, nParity, tDiv, nDiv, divType, fxN, quanto, dates, beKO;
  std::vector<int> knock{0, 1}, fixed{0, 0}, calc{0, 0};
  std::vector<double> outProb, outCoupon, outPrice;
  double trials = 10000.0;

  explicit RealisticNote(int stocks) : S(stocks) {
    const int N = 6;
    const double P[10] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
    const double T[8] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
    const double rates[3][3] = {{0.030, 0.032, 0.035}, {0.031, 0.033, 0.036}, {0.029, 0.031, 0.034}};
    const double c3[9] = {1.0, 0.55, 0.45, 0.55, 1.0, 0.5, 0.45, 0.5, 1.0};
    for (int i = 0; i < S; ++i) price.push_back(100.0);
    for (int i = 0; i < S; ++i) price.push_back(100.0);
    tCurve = {0.5, 1.0, 3.0};
    curve = {0.031, 0.033, 0.036};
    nt = {3};
    for (int i = 0; i < S; ++i) {
      tCurve.insert(tCurve.end(), {0.5, 1.0, 3.0});
      curve.insert(curve.end(), rates[i], rates[i] + 3);
      nt.push_back(3);
      tVol.insert(tVol.end(), T, T + 8);
      parity.insert(parity.end(), P, P + 10);
      for (int p = 0; p < 10; ++p)
        for (int k = 0; k < 8; ++k) surface.push_back(0.38 - 0.12 * P[p] + 0.01 * k + 0.02 * i);
      nVol.push_back(8);
      nParity.push_back(10);
      for (int k = 0; k < S; ++k) corr.push_back(c3[i * 3 + k]);
      tDiv.push_back(0);
      div.push_back(0.015);
      nDiv.push_back(1);
      divType.push_back(0);
      fxT.push_back(1.0);
      fxVol.push_back(0.1);
      fxN.push_back(1);
      fxCorr.push_back(0.0);
      quanto.push_back(0);
      ki.push_back(0.5);
      beKO.push_back(0);
    }
    const double steps[N] = {0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
    for (int b = 0; b < 4; ++b)
      for (int d = 0; d < N; ++d)
        for (int i = 0; i < S; ++i) x.push_back(steps[d]);
    ko.assign(N, 1.0e6);
    for (int b = 0; b < 4; ++b) {
      for (int d = 0; d < N; ++d) {
        slope.push_back(0.0);
        amount.push_back(0.045 * (d + 1));
      }
      slope.insert(slope.end(), {0.0, 1.0});     // maturity: no knock-in, knock-in
      amount.insert(amount.end(), {0.27, 0.0});
    }
    dates = {20250702, 20260102, 20260702, 20270102, 20270702, 20280102,   // observation
             20250709, 20260109, 20260709, 20270109, 20270709, 20280109,   // payment
             1, 1, 1, 1, 1, 1,                                             // window length
             0, 0, 0, 0, 0, 0};                                            // averaging
    redem.assign(N, 0.0);
    outProb.assign(2 * (N + 2), 0.0);
    outCoupon.assign(2, 0.0);
    outPrice.assign(3 * S + 3, 0.0);
  }

  ExtendedArgs Args(int calcFlag) {
    calc[0] = calcFlag;
    ExtendedArgs a;
    a.PriceDate = 20250102;
    a.NotionalAMT = 10000.0;
    a.UnderlyingPrice = price.data();
    a.TCurveInfo = tCurve.data();
    a.CurveInfo = curve.data();
    a.NT = nt.data();
    a.TVol = tVol.data();
    a.Parity = parity.data();
    a.LocalVolSurface = surface.data();
    a.NVol = nVol.data();
    a.NParity = nParity.data();
    a.UnderlyingCorr = corr.data();
    a.TDiv = tDiv.data();
    a.Div = div.data();
    a.NDiv = nDiv.data();
    a.Div_TypeFlag = divType.data();
    a.FX_TVol = fxT.data();
    a.FX_Vol = fxVol.data();
    a.FX_NVol = fxN.data();
    a.FX_Corr = fxCorr.data();
    a.QuantoFlag = quanto.data();
    a.NStock = S;
    a.NStrike = 6;
    a.X = x.data();
    a.KO_Barrier = ko.data();
    a.KI_Barrier = ki.data();
    a.PayOffSlope = slope.data();
    a.PayOffAmount = amount.data();
    a.DatesInfo = dates.data();
    a.RedemCoupon = redem.data();
    a.KnockBarrierFlag = knock.data();
    a.BeKO_Hitted = beKO.data();
    a.NCoupon = 0;
    a.CouponDatesInfo = nullptr;
    a.NTrials = trials;
    a.PayOffLimit = limit.data();
    a.NAFlag = 1;
    a.FixedFlag = fixed.data();
    a.CalcFlag = calc.data();
    a.ELS_Prob_n_Cf = outProb.data();
    a.ELS_Coupon_Prob_n_Cf = outCoupon.data();
    a.ResultPrice = outPrice.data();
    return a;
  }
};

}  // namespace morvik::bench
