// A realistic note for the benchmarks, as the full pricing call takes it:
// one to three stocks, three years of daily steps, six semiannual
// observation dates with step-down strikes, a 10 x 8 local volatility grid
// per stock, a daily-watched knock-in at 50 %, 10000 trials, price only
// (set CalcFlag[0] and call SizeOutputs() for the greeks); and the same
// note assembled for the core valuation, valued on either stream.
#pragma once

#include "engine/core_valuation.h"
#include "interface/assembly.h"
#include "interface/full_call.h"
#include "sensitivities/aligned_valuation.h"

namespace morvik::bench {

inline FullCall RealisticNote(int stocks) {
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
    c.FX_TVol.push_back(1.0);
    c.FX_Vol.push_back(0.1);
    c.FX_NVol.push_back(1);
    c.FX_Corr.push_back(0.0);
    c.QuantoFlag.push_back(0);
    c.KI_Barrier.push_back(0.5);
    c.BeKO_Hitted.push_back(0);
  }
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

// The realistic note assembled for the core valuation, with a slot for its
// price: one valuation at a time, on either stream. The core views the
// note's arrays, so it can be neither copied nor moved.
struct AssembledNote {
  explicit AssembledNote(int stocks) : note(RealisticNote(stocks)) {
    AssembleCore(note.View(), core);
    core.results.ResultPrice = &price;
  }
  AssembledNote(const AssembledNote&) = delete;
  AssembledNote& operator=(const AssembledNote&) = delete;

  // One core valuation: the path-addressed stream through ValueAligned (its
  // blocks on `runner`; none: all on the calling thread), or the default
  // stream through MorvikCore.
  void Value(bool aligned, const TaskRunner* runner = nullptr) {
    if (aligned) {
      Greeks g, se;
      ValueAligned(core.args, core.results, 0, 0, runner, g, se, nullptr);
    } else {
      MorvikCore(core.args, core.results);
    }
  }

  FullCall note;
  AssembledCore core;
  double price = 0.0;
};

}  // namespace morvik::bench
