// The full-call test notes, their modifiers and the output comparisons.
#include "testing/test_notes.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace morvik::testing {

void FillOutputs(FullCall& c, double value) {
  c.SizeOutputs();
  for (std::vector<double>* v : {&c.ELS_Prob_n_Cf, &c.ELS_Coupon_Prob_n_Cf, &c.ResultPrice})
    std::fill(v->begin(), v->end(), value);
}

void NoQuanto(FullCall& c, int stocks) {
  const std::size_t n = stocks > 0 ? static_cast<std::size_t>(stocks) : 0u;
  c.FX_TVol.assign(n, 1.0);
  c.FX_Vol.assign(n, 0.1);
  c.FX_NVol.assign(n, 1);
  c.FX_Corr.assign(n, 0.0);
  c.QuantoFlag.assign(n, 0);
}

void SetFixings(FullCall& c, int redemption, int coupon, double close) {
  c.FixedFlag = {redemption, coupon};
  c.SC.assign(static_cast<std::size_t>(c.NStock * redemption), close);
  c.Coupon_SC.assign(static_cast<std::size_t>(c.NStock * coupon), close);
}

void SetRedemptionDates(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay) {
  const std::size_t n = obs.size();
  for (std::size_t s = 0; s < n; ++s) {
    c.DatesInfo[s] = obs[s];
    c.DatesInfo[n + s] = pay[s];
  }
}

void DropCoupons(FullCall& c) {
  c.NCoupon = 0;
  c.CouponBarrier.clear();
  c.Coupon.clear();
  c.CouponDatesInfo.clear();
}

std::vector<double> Tiers(int dates, int stocks, double first, double step) {
  const int block = dates * stocks;
  std::vector<double> x(4 * static_cast<std::size_t>(block));
  for (int b = 0; b < 4; ++b)
    for (int e = 0; e < block; ++e) x[b * block + e] = first + step * b;
  return x;
}

FullCall PathNote(PathNoteKind kind, double trials, int calc0, int calc1) {
  FullCall c;
  const bool three = kind == PathNoteKind::kThreeStocks;
  const int S = three ? 3 : 2;
  const int N = 3;
  c.PriceDate = kind == PathNoteKind::kPendingDate ? 20240202 : 20240102;
  c.NotionalAMT = 1000000.0;
  c.NStock = S;
  c.NStrike = N;
  for (int i = 0; i < S; ++i) {
    c.UnderlyingPrice.push_back(i == 1 ? 52.0 : 100.0 - 3.0 * i);
    c.UnderlyingPrice.push_back(i == 1 ? 50.0 : 100.0);
  }
  c.NT.assign(S + 1, 2);
  for (int k = 0; k <= S; ++k) {
    c.TCurveInfo.insert(c.TCurveInfo.end(), {0.25, 1.0});
    c.CurveInfo.insert(c.CurveInfo.end(), {0.03 + 0.002 * k, 0.034 + 0.001 * k});
  }
  for (int i = 0; i < S; ++i) {
    c.TVol.insert(c.TVol.end(), {0.1, 0.5, 1.0});
    c.Parity.insert(c.Parity.end(), {0.6, 0.8, 1.0, 1.2, 1.4});
    for (int k = 0; k < 15; ++k) c.LocalVolSurface.push_back(0.32 - 0.01 * (k / 3) + 0.004 * (k % 3) + 0.02 * i);
    c.NVol.push_back(3);
    c.NParity.push_back(5);
  }
  c.UnderlyingCorr.assign(S * S, 0.35);
  for (int i = 0; i < S; ++i) c.UnderlyingCorr[i * S + i] = 1.0;
  // Stock 0 a constant yield, stock 1 a cash dividend on day 40, stock 2 a
  // yield curve.
  c.NDiv = {1, 1};
  c.Div_TypeFlag = {0, 2};
  c.TDiv = {0, 40};
  c.Div = {0.01, 0.5};
  if (three) {
    c.NDiv.push_back(2);
    c.Div_TypeFlag.push_back(1);
    c.TDiv.insert(c.TDiv.end(), {30, 200});
    c.Div.insert(c.Div.end(), {0.01, 0.015});
  }
  for (int i = 0; i < S; ++i) {
    c.FX_TVol.push_back(1.0);
    c.FX_Vol.push_back(0.1);
    c.FX_NVol.push_back(1);
    c.FX_Corr.push_back(i == 1 ? -0.2 : 0.1);
    c.QuantoFlag.push_back(i == 1 ? 1 : 0);
  }
  c.X.resize(4 * N * S);
  for (int b = 0; b < 4; ++b)
    for (int s = 0; s < N; ++s)
      for (int j = 0; j < S; ++j) c.X[(b * N + s) * S + j] = 0.95 - 0.05 * s + 0.02 * b;
  c.KO_Barrier = {1.1, 1.1, 1.1};
  c.KI_Barrier.assign(S, 0.65);
  for (int b = 0; b < 4; ++b) {
    for (int s = 0; s < N + 2; ++s) {
      c.PayOffSlope.push_back(s == N + 1 ? 1.0 : 0.25 * b);
      c.PayOffAmount.push_back(s < N ? 0.02 * (s + 1) + 0.01 * b : 0.0);
    }
  }
  c.DatesInfo = {20240201, 20240301, 20240402,  // observation
                 20240206, 20240306, 20240408,  // payment
                 1,        three ? 5 : 3, 1,    // window length
                 0,        three ? 1 : 0, 0};   // window rule
  c.RedemCoupon = {0.01, 0.012};
  c.KnockBarrierFlag = {three ? 1 : 0, 1};
  c.BeKO_Hitted.assign(S, 0);
  c.BeKI_Hitted = 0;
  c.NCoupon = 2;
  c.CouponBarrier = {0.75, 0.7};
  c.Coupon = {0.01, 0.011};
  c.CouponDatesInfo = {20240215, 20240315, 20240220, 20240320};
  c.CouponBarrierFlag = three ? 1 : 2;
  c.BeCouponBarrierHitted = 0;
  c.NTrials = trials;
  c.PayOffLimit = {1.0, 0.5};
  c.NAFlag = 1;
  c.FixedFlag = {0, 0};
  if (kind == PathNoteKind::kPendingDate) {
    // The one-day window of 1 February is closed: its fixing is known.
    c.FixedFlag = {1, 0};
    c.SC = {101.0, 53.5};
  }
  c.CalcFlag = {calc0, calc1};
  FillOutputs(c);
  return c;
}

FullCall RealisticNote(int stocks) {
  const int S = stocks;
  const int N = 6;
  FullCall c;
  const double P[10] = {0.4, 0.6, 0.7, 0.8, 0.9, 1.0, 1.1, 1.2, 1.4, 1.8};
  const double T[8] = {0.1, 0.25, 0.5, 1.0, 1.5, 2.0, 2.5, 3.0};
  const double rates[3][3] = {{0.030, 0.032, 0.035}, {0.031, 0.033, 0.036}, {0.029, 0.031, 0.034}};
  const double c3[9] = {1.0, 0.55, 0.45, 0.55, 1.0, 0.5, 0.45, 0.5, 1.0};
  c.PriceDate = 20250102;
  c.NotionalAMT = 10000.0;
  c.NStock = S;
  c.NStrike = N;
  for (int i = 0; i < S; ++i) c.UnderlyingPrice.insert(c.UnderlyingPrice.end(), {100.0, 100.0});
  c.TCurveInfo = {0.5, 1.0, 3.0};
  c.CurveInfo = {0.031, 0.033, 0.036};
  c.NT = {3};
  for (int i = 0; i < S; ++i) {
    c.TCurveInfo.insert(c.TCurveInfo.end(), {0.5, 1.0, 3.0});
    c.CurveInfo.insert(c.CurveInfo.end(), rates[i], rates[i] + 3);
    c.NT.push_back(3);
    c.TVol.insert(c.TVol.end(), T, T + 8);
    c.Parity.insert(c.Parity.end(), P, P + 10);
    for (int p = 0; p < 10; ++p)
      for (int k = 0; k < 8; ++k) c.LocalVolSurface.push_back(0.38 - 0.12 * P[p] + 0.01 * k + 0.02 * i);
    c.NVol.push_back(8);
    c.NParity.push_back(10);
    for (int k = 0; k < S; ++k) c.UnderlyingCorr.push_back(c3[i * 3 + k]);
    c.TDiv.push_back(0);
    c.Div.push_back(0.015);
    c.NDiv.push_back(1);
    c.Div_TypeFlag.push_back(0);
    c.KI_Barrier.push_back(0.5);
    c.BeKO_Hitted.push_back(0);
  }
  NoQuanto(c, S);
  const double steps[N] = {0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
  for (int b = 0; b < 4; ++b)
    for (int d = 0; d < N; ++d)
      for (int i = 0; i < S; ++i) c.X.push_back(steps[d]);
  c.KO_Barrier.assign(N, 1.0e6);
  for (int b = 0; b < 4; ++b) {
    for (int d = 0; d < N; ++d) {
      c.PayOffSlope.push_back(0.0);
      c.PayOffAmount.push_back(0.045 * (d + 1));
    }
    c.PayOffSlope.insert(c.PayOffSlope.end(), {0.0, 1.0});  // maturity: no knock-in, knock-in
    c.PayOffAmount.insert(c.PayOffAmount.end(), {0.27, 0.0});
  }
  c.DatesInfo = {20250702, 20260102, 20260702, 20270102, 20270702, 20280102,   // observation
                 20250709, 20260109, 20260709, 20270109, 20270709, 20280109,   // payment
                 1, 1, 1, 1, 1, 1,                                             // window length
                 0, 0, 0, 0, 0, 0};                                            // averaging
  c.RedemCoupon.assign(N - 1, 0.0);
  c.KnockBarrierFlag = {0, 1};
  c.NTrials = 10000.0;
  c.PayOffLimit = {1.0, 0.5};
  c.NAFlag = 1;
  c.SizeOutputs();
  return c;
}

AssembledNote::AssembledNote(int stocks) : note(RealisticNote(stocks)) {
  AssembleCore(note.View(), core);
  core.results.ResultPrice = &price;
}

void AssembledNote::Value(bool aligned, const TaskRunner* runner, int vectorWidth) {
  if (aligned) {
    Greeks g, se;
    ValueAligned(core.args, core.results, 0, 0, runner, g, se, nullptr, nullptr, 0, nullptr, vectorWidth);
  } else {
    MorvikCore(core.args, core.results);
  }
}

FullCall StepDownExampleNote() {
  FullCall c;
  c.PriceDate = 20250630;
  c.NotionalAMT = 1.0e9;
  c.UnderlyingPrice = {60800, 60800, 203500, 203500};
  c.TCurveInfo = {0.25, 0.5, 1.0, 2.0, 3.0, 0.25, 0.5, 1.0, 2.0, 3.0, 0.25, 0.5, 1.0, 2.0, 3.0};
  c.CurveInfo = {0.0265, 0.0262, 0.0258, 0.0255, 0.0256, 0.0270, 0.0268, 0.0265,
                 0.0262, 0.0263, 0.0270, 0.0268, 0.0265, 0.0262, 0.0263};
  c.NT = {5, 5, 5};
  c.TVol = {0.25, 0.5, 1.0, 2.0, 3.0, 0.25, 0.5, 1.0, 2.0, 3.0};
  c.Parity = {0.5, 0.7, 0.85, 1.0, 1.15, 1.3, 1.5, 0.5, 0.7, 0.85, 1.0, 1.15, 1.3, 1.5};
  c.LocalVolSurface = {
      0.4375, 0.435, 0.43, 0.42, 0.41,   0.3775, 0.375, 0.37, 0.36, 0.35,   0.3325, 0.33, 0.325, 0.315, 0.305,
      0.2875, 0.285, 0.28, 0.27, 0.26,   0.2425, 0.24, 0.235, 0.225, 0.215, 0.1975, 0.195, 0.19, 0.18, 0.17,
      0.1375, 0.135, 0.13, 0.12, 0.11,
      0.459, 0.456, 0.45, 0.438, 0.426,  0.403, 0.4, 0.394, 0.382, 0.37,    0.361, 0.358, 0.352, 0.34, 0.328,
      0.319, 0.316, 0.31, 0.298, 0.286,  0.277, 0.274, 0.268, 0.256, 0.244, 0.235, 0.232, 0.226, 0.214, 0.202,
      0.179, 0.176, 0.17, 0.158, 0.146};
  c.NVol = {5, 5};
  c.NParity = {7, 7};
  c.UnderlyingCorr = {1.0, 0.42, 0.42, 1.0};
  c.TDiv = {0, 0};
  c.Div = {0.024, 0.055};
  c.NDiv = {1, 1};
  c.Div_TypeFlag = {0, 0};
  c.FX_TVol = {0.0, 0.0};
  c.FX_Vol = {0.0, 0.0};
  c.FX_NVol = {1, 1};
  c.FX_Corr = {0.0, 0.0};
  c.QuantoFlag = {0, 0};
  c.NStock = 2;
  c.NStrike = 6;
  const double strike[6] = {0.90, 0.90, 0.85, 0.85, 0.80, 0.75};
  for (int b = 0; b < 4; ++b) {
    for (int s = 0; s < 6; ++s) {
      c.X.push_back(strike[s]);
      c.X.push_back(strike[s]);
    }
  }
  c.KO_Barrier.assign(6, 1.0e6);
  c.KI_Barrier = {0.5, 0.5};
  c.PayOffSlope.assign(32, 0.0);
  c.PayOffAmount.assign(32, 0.0);
  const double coupon[6] = {0.0275, 0.055, 0.0825, 0.11, 0.1375, 0.165};
  for (int b = 0; b < 4; ++b) {
    for (int s = 0; s < 6; ++s) c.PayOffAmount[b * 8 + s] = coupon[s];
  }
  c.PayOffAmount[3 * 8 + 6] = 0.165;  // maturity without knock-in
  c.PayOffSlope[3 * 8 + 7] = 1.0;     // maturity with knock-in: the worst performance
  c.DatesInfo = {20251226, 20260626, 20261228, 20270628, 20271227, 20280626,
                 20251231, 20260701, 20261231, 20270701, 20271230, 20280629,
                 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0};
  c.RedemCoupon.assign(5, 0.0);
  c.KnockBarrierFlag = {0, 1};
  c.BeKO_Hitted = {0, 0};
  c.NTrials = 500.0;
  c.PayOffLimit = {1.0, INFINITY};
  c.NAFlag = 1;
  c.CalcFlag = {1, 0};
  c.SizeOutputs();
  return c;
}

FullCall ClosedFormNote() {
  FullCall c;
  const double rate = 0.02;
  c.PriceDate = 20240102;
  c.NotionalAMT = 1234567.0;
  c.UnderlyingPrice = {100.0, 100.0, 90.0, 100.0};
  c.TCurveInfo = {1.0, 1.0, 1.0};
  c.CurveInfo = {rate, rate, rate};
  c.NT = {1, 1, 1};
  c.TVol = {1.0, 1.0};
  c.Parity = {1.0, 1.0};
  c.LocalVolSurface = {0.2, 0.25};
  c.NVol = {1, 1};
  c.NParity = {1, 1};
  c.UnderlyingCorr = {1.0, 0.3, 0.3, 1.0};
  c.TDiv = {0, 0};
  c.Div = {0.01, 0.0};
  c.NDiv = {1, 1};
  c.Div_TypeFlag = {0, 0};
  NoQuanto(c, 2);
  c.NStock = 2;
  c.NStrike = 2;
  c.X.assign(16, 0.01);
  c.KO_Barrier = {1.0, 1.0};
  c.KI_Barrier = {0.5, 0.5};
  c.PayOffSlope.assign(16, 0.0);
  c.PayOffAmount.assign(16, 0.1);
  c.DatesInfo = {20240201, 20240301, 20240205, 20240305, 1, 1, 0, 0};
  c.RedemCoupon = {0.05};
  c.KnockBarrierFlag = {0, 0};
  c.BeKO_Hitted = {0, 0};
  c.BeKI_Hitted = 0;
  c.NCoupon = 1;
  c.CouponBarrier = {0.0};
  c.Coupon = {0.03};
  c.CouponDatesInfo = {20240115, 20240120};
  c.CouponBarrierFlag = 2;
  c.BeCouponBarrierHitted = 0;
  c.NTrials = 8.0;
  c.PayOffLimit = {0.0, 0.0};
  c.NAFlag = 1;
  c.FixedFlag = {0, 0};
  c.CalcFlag = {0, 0};
  return c;
}

FullCall MixedCountsNote() {
  FullCall c;
  c.PriceDate = 20240115;
  c.NotionalAMT = 10000.0;
  c.UnderlyingPrice = {100.0, 100.0, 50.0, 40.0};
  // Common curve (2 points), stock 0's curve (2 points), stock 1's (1 point).
  c.TCurveInfo = {0.5, 1.0, 0.25, 1.0, 0.5};
  c.CurveInfo = {0.03, 0.035, 0.02, 0.021, 0.01};
  c.NT = {2, 2, 1};
  c.TVol = {0.5, 1.0, 1.0};
  c.Parity = {0.8, 1.0, 1.2, 0.9, 1.1};
  c.LocalVolSurface.assign(8, 0.2);
  c.NVol = {2, 1};
  c.NParity = {3, 2};
  c.UnderlyingCorr = {1.0, 0.5, 0.5, 1.0};
  c.TDiv = {30, 200, 0};
  c.Div = {1.5, 1.5, 0.01};
  c.NDiv = {2, 1};
  c.Div_TypeFlag = {2, 0};
  c.FX_TVol = {1.0, 0.5, 1.0};
  c.FX_Vol = {0.1, 0.1, 0.12};
  c.FX_NVol = {1, 2};
  c.FX_Corr = {0.0, 0.3};
  c.QuantoFlag = {0, 1};
  c.NStock = 2;
  c.NStrike = 3;
  c.X = Tiers(3, 2, 0.7, 0.05);
  c.KO_Barrier = {1.2, 1.2, 1.2};
  c.KI_Barrier = {0.5, 0.5};
  c.PayOffSlope.assign(20, 0.0);
  c.PayOffAmount.assign(20, 1.05);
  c.RedemCoupon = {0.0, 0.0};
  c.DatesInfo = {20240715, 20250115, 20250715,
                 20240722, 20250122, 20250722,
                 1,        1,        1,
                 0,        0,        0};
  c.KnockBarrierFlag = {0, 0};
  c.BeKO_Hitted = {0, 0};
  c.BeKI_Hitted = 0;
  c.NCoupon = 2;
  c.CouponBarrier = {0.6, 0.6};
  c.Coupon = {0.02, 0.02};
  c.CouponDatesInfo = {20240415, 20241015, 20240422, 20241022};
  c.CouponBarrierFlag = 1;
  c.BeCouponBarrierHitted = 0;
  c.NTrials = 10000.0;
  c.PayOffLimit = {1.0, 0.5};
  c.NAFlag = 1;
  c.FixedFlag = {0, 0};
  c.CalcFlag = {0, 0};
  return c;
}

FullCall DistinctValuesNote() {
  FullCall c;
  c.PriceDate = 20240115;
  c.NotionalAMT = 1.0e6;
  c.UnderlyingPrice = {100.0, 80.0, 50.0, 50.0};
  c.TCurveInfo = {0.5, 1.0, 0.25, 2.0};  // common (2), stock 0 (1), stock 1 (1)
  c.CurveInfo = {0.01, 0.02, 0.03, 0.04};
  c.NT = {2, 1, 1};
  c.TVol = {0.5, 1.0, 1.0};
  c.Parity = {1.0, 1.1, 0.9, 1.0, 1.2};
  // Stock 0: 2 x 2 points, stock 1: 3 x 1.
  c.LocalVolSurface = {0.2, 0.2, 0.2, 0.2, 0.2, 0.2, 0.3};
  c.NVol = {2, 1};
  c.NParity = {2, 3};
  c.UnderlyingCorr = {1.0, 0.5, 0.5, 1.0};
  c.TDiv = {0, 0};
  c.Div = {0.01, 0.02};
  c.NDiv = {1, 1};
  c.Div_TypeFlag = {0, 0};
  NoQuanto(c, 2);
  c.NStock = 2;
  c.KI_Barrier = {0.6, 0.6};
  c.KnockBarrierFlag = {1, 2};
  c.BeKO_Hitted = {0, 1};
  c.BeKI_Hitted = 1;
  c.CouponBarrierFlag = 2;
  c.BeCouponBarrierHitted = 1;
  c.NTrials = 1234.0;
  c.PayOffLimit = {0.75, 0.25};
  c.NAFlag = 1;
  c.FixedFlag = {0, 0};
  c.CalcFlag = {0, 0};
  SetRampSchedule(c, {20240215}, {20240220}, {1});
  return c;
}

void SetRampSchedule(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay,
                     const std::vector<int>& win) {
  const std::size_t n = obs.size();
  const std::size_t s = c.NStock > 0 ? static_cast<std::size_t>(c.NStock) : 0u;
  c.NStrike = static_cast<int>(n);
  c.DatesInfo.clear();
  c.DatesInfo.insert(c.DatesInfo.end(), obs.begin(), obs.end());
  c.DatesInfo.insert(c.DatesInfo.end(), pay.begin(), pay.end());
  c.DatesInfo.insert(c.DatesInfo.end(), win.begin(), win.end());
  for (std::size_t d = 0; d < n; ++d) c.DatesInfo.push_back(static_cast<int>(d % 2));
  c.X.assign(4 * s * n, 0.0);
  for (std::size_t m = 0; m < c.X.size(); ++m) c.X[m] = 0.5 + 0.001 * static_cast<double>(m);
  c.KO_Barrier.assign(n, 1.0);
  c.PayOffSlope.assign(4 * n + 8, 0.0);
  c.PayOffAmount.assign(4 * n + 8, 0.0);
  for (std::size_t m = 0; m < c.PayOffSlope.size(); ++m) c.PayOffSlope[m] = static_cast<double>(m);
  c.RedemCoupon.assign(n > 1 ? n - 1 : 0, 0.01);
}

void SetCoupons(FullCall& c, const std::vector<int>& obs, const std::vector<int>& pay, double barrier,
                double amount) {
  c.NCoupon = static_cast<int>(obs.size());
  c.CouponDatesInfo = obs;
  c.CouponDatesInfo.insert(c.CouponDatesInfo.end(), pay.begin(), pay.end());
  c.CouponBarrier.assign(obs.size(), barrier);
  c.Coupon.assign(obs.size(), amount);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

bool CallOutputs::operator==(const CallOutputs& o) const {
  return status == o.status && SameBits(prob, o.prob) && SameBits(coupon, o.coupon) && SameBits(price, o.price);
}

CallOutputs Collect(const FullCall& c, int status) {
  return CallOutputs{status, c.ELS_Prob_n_Cf, c.ELS_Coupon_Prob_n_Cf, c.ResultPrice};
}

}  // namespace morvik::testing
