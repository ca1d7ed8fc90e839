// The path loop: daily Euler steps of the performances, the note's daily and
// observation-date tests, the maturity payoff and the accumulation of results.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/normal_source.h"
#include "engine/payoff_rules.h"
#include "engine/vol_surface.h"
#include "engine/shared_stream.h"
#include "engine/simulate.h"

namespace morvik {

namespace {

// Element copies of a few doubles: cheaper than a library call per day.
inline void CopyRow(const double* from, double* to, int n) {
  for (int i = 0; i < n; ++i) to[i] = from[i];
}

// Observation-date test of date d on the path's closes y and the date's
// window `win`. Returns true and sets `payoff` when the path redeems.
bool ObservationRedeems(const EngineGrids& g, int d, int touch, const double* y, const double* win,
                        double& payoff) {
  const int S = g.NStock;
  const double* amount = g.amount.data() + static_cast<std::size_t>(d) * kLevels;
  if (touch == 1) {
    payoff = TouchPayoff(g.limits, amount[0]);
    return true;
  }
  const ObservationDate& o = g.date[d];
  const double* strike = g.strike.data() + static_cast<std::size_t>(d) * kLevels * S;
  const double* const levels[kLevels] = {strike, strike + S, strike + 2 * S, strike + 3 * S};
  const int b = FirstPassingLevel(levels, S, win, o.windowLen, o.average);
  if (b < 0) return false;
  const double slope = g.slope[static_cast<std::size_t>(d) * kLevels + b];
  payoff = SlopePayoff(g.limits, Gain(WorstOf(y, S)), slope, amount[b]);
  return true;
}

// One path of a valuation, from the pricing date to its redemption or
// maturity; adds its outcome and price share to the tally. NS is the number
// of stocks when known at compile time (the loops over stocks then unroll),
// 0 otherwise; Plain is true when every stock may take the plain step
// (EngineGrids::plainDrift, and no discrete dividend amounts). Each day reads
// one row of correlated normals and, after its step, lets the source draw
// ahead.
template <int NS, bool Plain, class Source>
void RunPath(const EngineGrids& g, Tally& t, PathScratch& w, Source& normals) {
  const int S = NS > 0 ? NS : g.NStock;
  const int K = g.NStrike;
  const int NC = g.NCoupon;
  const int D = g.D;
  const double dt = 1.0 / 365.0;
  const double sqdt = std::sqrt(1.0 / 365.0);
  const KnockOutTouch touchMode = g.touchMode;
  const bool kiDaily = g.knockIn == KnockIn::DailyWithLoss;
  const CouponWatch watch = g.couponWatch;
  const VolSurface* surface = g.surface.data();
  const unsigned char* cash = g.cash.data();
  const unsigned char* plain = g.plainDrift.data();
  const double* p0 = g.p0.data();
  const double* kiBarrier = g.kiBarrier.data();
  int* mem = w.mem.data();
  int* place = w.place.data();
  double* x = w.x.data();
  double* y = w.y.data();
  double* window = w.window.data();

  CopyRow(p0, x, S);
  for (int i = 0; i < S; ++i) mem[i] = g.memoryInit[i];
  for (int i = 0; i < S; ++i) place[i] = SurfacePlaceOf(surface[i], x[i]);
  int touch = g.touchInit;
  int ki = g.kiInit;
  int breach = g.couponBreachInit;
  int c = 0;
  double couponValue = 0.0;
  double runningValue = 0.0;

  // The path's outcome: a redemption on date `d` worth `payoff`, or the
  // maturity payoff on the final performances y.
  auto finish = [&](bool redeemed, int d, double payoff) {
    double pv;
    if (redeemed) {
      pv = g.date[d].df * payoff + couponValue + runningValue;
      t.prob[d] += 1.0;
      t.cf[d] += payoff;
    } else {
      const MaturityOutcome m = MaturityPayoff(g.maturity, g.limits, kiBarrier, y, S, ki != 0);
      const int slot = m.knockedIn ? K + 1 : K;
      pv = g.date[K - 1].df * m.payoff + couponValue + runningValue;
      t.prob[slot] += 1.0;
      t.cf[slot] += m.payoff;
    }
    t.price += pv / g.trials;
  };

  if (D < 1) {
    CopyRow(x, y, S);
    finish(false, 0, 0.0);
    return;
  }

  // The current observation period: its date, window and barrier.
  int d = 0;
  int T = g.date[0].day;
  int winStart = T - g.date[0].windowLen;
  double* win = window + g.date[0].windowAt;
  double barrier = g.date[0].barrier;

  for (int n = 1;; ++n) {
    // Each stock's step on its local volatility at the day's start.
    const double* z = normals.Row(S);
    const DayCoef* dc = g.day.data() + static_cast<std::size_t>(n - 1) * S;
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const double s = SurfaceVolAt(surface[i], x[i], place[i], dc[i].vol);
      if (Plain) {
        y[i] = x[i] * (dc[i].one + s * sqdt * z[i]);
      } else if (plain[i] != 0) {
        y[i] = x[i] * (dc[i].one + s * sqdt * z[i]);
        if (cash[i] != 0) y[i] = y[i] - dc[i].div * x[i] / p0[i];
      } else if (cash[i] == 0) {
        y[i] = x[i] * (1.0 + (dc[i].r - dc[i].rv * s - dc[i].div) * dt + s * sqdt * z[i]);
      } else {
        y[i] = x[i] * (1.0 + (dc[i].r - dc[i].rv * s) * dt + s * sqdt * z[i]) -
               dc[i].div * x[i] / p0[i];
      }
    }
    normals.template Produce<NS>();

    // Coupon barrier watch and coupon payment.
    if (c < NC) {
      const CouponDate& cp = g.coupon[c];
      const bool watched =
          watch == CouponWatch::Daily || (watch == CouponWatch::OnDate && n == cp.day);
      if (watched && AnyAtOrBelow(y, cp.barrier, S)) breach = 1;
      if (n == cp.day) {
        if (breach == 0) {
          t.couponProb[c] += 1.0;
          t.couponCf[c] += cp.amount;
          couponValue += cp.amount * cp.df;
        }
        breach = 0;
        ++c;
      }
    }

    // Knock-out touch against the current period's barrier.
    if (touch == 0) {
      if (touchMode == KnockOutTouch::Worst) {
        touch = WorstOf(y, S) >= barrier ? 1 : 0;
      } else {
        bool all = true;
        for (int i = 0; i < S; ++i) {
          if (!(mem[i] != 0 || y[i] >= barrier)) {
            all = false;
            break;
          }
        }
        touch = all ? 1 : 0;
      }
    }

    // Knock-in, monitored daily in its daily mode (strictly below).
    if (kiDaily && ki == 0 && AnyBelow(y, kiBarrier, S)) ki = 1;

    // Closes inside the current observation window.
    if (winStart < n && n <= T) CopyRow(y, win + static_cast<std::size_t>(n - winStart - 1) * S, S);

    if (n == T) {
      double payoff = 0.0;
      if (ObservationRedeems(g, d, touch, y, win, payoff)) {
        finish(true, d, payoff);
        return;
      }
      if (d < K - 1) runningValue += g.date[d].df * g.date[d].redemCoupon;
      std::fill(mem, mem + S, 0);
      ++d;
      if (d >= K) {  // the final observation date has passed
        finish(false, 0, 0.0);
        return;
      }
      T = g.date[d].day;
      winStart = T - g.date[d].windowLen;
      win = window + g.date[d].windowAt;
      barrier = g.date[d].barrier;
    }
    if (n == D) {
      finish(false, 0, 0.0);
      return;
    }
    double* next = y;
    y = x;
    x = next;
  }
}

// Paths [from, to) of a valuation (and below NTrials).
template <int NS, bool Plain, class Source>
void RunPaths(SimJob& job, Source& normals, long long from, long long to) {
  for (long long p = from; p < to && static_cast<double>(p) < job.g.trials; ++p) {
    RunPath<NS, Plain>(job.g, job.t, job.w, normals);
  }
}

// RunPaths with the loops over stocks unrolled for the usual basket sizes,
// and with only the plain step when every stock may take it.
template <bool Plain, class Source>
void RunPathsSized(SimJob& job, Source& normals, long long from, long long to) {
  switch (job.g.NStock) {
    case 1:
      RunPaths<1, Plain>(job, normals, from, to);
      break;
    case 2:
      RunPaths<2, Plain>(job, normals, from, to);
      break;
    case 3:
      RunPaths<3, Plain>(job, normals, from, to);
      break;
    case 4:
      RunPaths<4, Plain>(job, normals, from, to);
      break;
    default:
      RunPaths<0, Plain>(job, normals, from, to);
      break;
  }
}

template <class Source>
void RunPathsFor(SimJob& job, Source& normals, long long from, long long to) {
  const EngineGrids& g = job.g;
  bool plain = true;
  for (int i = 0; i < g.NStock; ++i) plain = plain && g.plainDrift[i] != 0 && g.cash[i] == 0;
  if (plain) {
    RunPathsSized<true>(job, normals, from, to);
  } else {
    RunPathsSized<false>(job, normals, from, to);
  }
}

}  // namespace

void StartSimulation(const CoreArgs& view, int fixedCount, const CoreResults& out, SimJob& job) {
  job.view = view;
  job.out = out;
  job.nextPath = 0;
  job.done = view.NStrike < 1 || view.NStock < 1;
  if (job.done) return;
  BuildEngineGrids(view, fixedCount, job.g);
  const std::size_t S = static_cast<std::size_t>(view.NStock);
  job.w.x.assign(S, 0.0);
  job.w.y.assign(S, 0.0);
  job.w.mem.assign(S, 0);
  job.w.place.assign(S, 0);
  job.w.window = job.g.window;
  job.t.prob.assign(view.NStrike + 2, 0.0);
  job.t.cf.assign(view.NStrike + 2, 0.0);
  job.t.couponProb.assign(job.g.NCoupon, 0.0);
  job.t.couponCf.assign(job.g.NCoupon, 0.0);
  job.t.price = 0.0;
}

bool SimulateBatch(SimJob& job, SharedReader& normals, long long paths) {
  if (job.done) return true;
  RunPathsFor(job, normals, job.nextPath, job.nextPath + paths);
  job.nextPath += paths;
  job.done = !(static_cast<double>(job.nextPath) < job.g.trials);
  return job.done;
}

void FinishSimulation(SimJob& job) {
  const CoreArgs& view = job.view;
  if (view.NStrike < 1 || view.NStock < 1) return;
  const CoreResults& out = job.out;
  const Tally& t = job.t;
  const double NTrials = job.g.trials;
  for (int s = 0; s < view.NStrike + 2; ++s) {
    out.ELS_Prob[s] = t.prob[s] / NTrials;
    out.ELS_Cf[s] = t.cf[s] * 10000 / NTrials;
  }
  for (int c = 0; c < job.g.NCoupon; ++c) {
    out.ELS_Coupon_Prob[c] = t.couponProb[c] / NTrials;
    out.ELS_Coupon_Cf[c] = t.couponCf[c] * 10000 / NTrials;
  }
  out.ResultPrice[0] = out.ResultPrice[0] + 10000 * t.price;
}

int SimulateELS(const CoreArgs& view, int fixedCount, const CoreResults& out) {
  if (view.NStrike < 1 || view.NStock < 1) return 1;
  SimJob job;
  StartSimulation(view, fixedCount, out, job);
  NormalSource normals;
  normals.Reset(job.g.chol.data(), job.g.NStock);
  RunPathsFor(job, normals, 0, std::numeric_limits<long long>::max());
  FinishSimulation(job);
  return 1;
}

}  // namespace morvik
