// Hand-made notes for the hardening tests, held as FuzzCall so that the
// checks of the fuzz target apply to them unchanged. Strikes lie near the
// spot so that every price depends on the simulated paths.
#pragma once

#include <vector>

#include "fuzz/call_builder.h"

namespace morvik::hardening {

using fuzzing::FuzzCall;
using fuzzing::kOutputSentinel;

// Gives the three outputs their exact contract lengths, filled with the
// sentinel.
inline void ResetOutputs(FuzzCall& c) {
  const std::size_t S = fuzzing::Len(c.NStock), N = fuzzing::Len(c.NStrike);
  const std::size_t Q = fuzzing::Len(c.NCoupon);
  c.ELS_Prob_n_Cf.assign(2 * (N + 2), kOutputSentinel);
  c.ELS_Coupon_Prob_n_Cf.assign(2 * Q, kOutputSentinel);
  c.ResultPrice.assign(c.CalcFlag[0] >= 1 ? 3 * S + 3 : 1, kOutputSentinel);
}

enum class NoteKind {
  kTwoStocks,    // valued at the start of the first observation period
  kPendingDate,  // first date observed yesterday, payment still to come
  kThreeStocks,  // a basket of three, window averages, daily coupon barrier
};

// A valid note of the given kind; `calc` is CalcFlag.
inline FuzzCall MakeNote(NoteKind kind, double trials, int calc0, int calc1) {
  FuzzCall c;
  const bool three = kind == NoteKind::kThreeStocks;
  const int S = three ? 3 : 2;
  const int N = 3;
  c.PriceDate = kind == NoteKind::kPendingDate ? 20240202 : 20240102;
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
  if (kind == NoteKind::kPendingDate) {
    // The one-day window of 1 February is closed: its fixing is known.
    c.FixedFlag = {1, 0};
    c.SC = {101.0, 53.5};
  }
  c.CalcFlag = {calc0, calc1};
  ResetOutputs(c);
  return c;
}

// The three outputs of a call, for bit comparisons.
struct Outputs {
  int status = 0;
  std::vector<double> prob, coupon, price;
  bool operator==(const Outputs& o) const {
    return status == o.status && fuzzing::SameBits(prob, o.prob) &&
           fuzzing::SameBits(coupon, o.coupon) && fuzzing::SameBits(price, o.price);
  }
};

inline Outputs Collect(const FuzzCall& c, int status) {
  return Outputs{status, c.ELS_Prob_n_Cf, c.ELS_Coupon_Prob_n_Cf, c.ResultPrice};
}

}  // namespace morvik::hardening
