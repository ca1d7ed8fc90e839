// The path loop: daily Euler steps of the performances, the note's daily and
// observation-date tests, the maturity payoff and the accumulation of results.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/engine_grids.h"
#include "engine/vol_lookup.h"
#include "engine/normal_source.h"
#include "engine/shared_stream.h"
#include "engine/simulate.h"

namespace morvik {

namespace {

inline double Clamp(double v, double lo, double hi) {
  const double m = lo < v ? v : lo;
  return m < hi ? m : hi;
}

inline double Gain(double worst) {
  const double g = worst - 1.0;
  return g > 0.0 ? g : 0.0;
}

// Element copies of a few doubles: cheaper than a library call per day.
inline void CopyRow(const double* from, double* to, int n) {
  for (int i = 0; i < n; ++i) to[i] = from[i];
}

inline double Worst(const double* y, int S) {
  double w = y[0];
  for (int i = 1; i < S; ++i) w = y[i] < w ? y[i] : w;
  return w;
}

// Does level `b` of date `d` pass on the window closes?
bool LevelPasses(const EngineGrids& g, int d, int b, int L, bool average, const double* win,
                 const double* means) {
  const int S = g.NStock;
  const double* s = &g.strike[(static_cast<std::size_t>(d) * kLevels + b) * S];
  if (average) {
    for (int i = 0; i < S; ++i) {
      if (!(means[i] >= s[i])) return false;
    }
    return true;
  }
  if (L <= 0) return true;
  for (int m = 0; m < L; ++m) {
    const double* row = win + static_cast<std::size_t>(m) * S;
    bool all = true;
    for (int i = 0; i < S; ++i) {
      if (!(row[i] >= s[i])) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

// Observation-date test of date d on the path's closes y. Returns true and
// sets `payoff` when the path redeems.
bool ObservationRedeems(const CoreArgs& a, const EngineGrids& g, int d, int touch, const double* y,
                        double* means, double& payoff) {
  const int S = g.NStock;
  if (touch == 1) {
    payoff = Clamp(g.base + g.amount[d * kLevels + 0], g.payLo, g.payHi);
    return true;
  }
  const int L = a.KO_WindowLen[d];
  const bool average = a.KO_AvgFlag[d] != 0;
  const double* win = g.window.data() + g.windowOff[d];
  if (average) {
    for (int i = 0; i < S; ++i) {
      double sum = 0.0;
      for (int m = 0; m < L; ++m) sum += win[static_cast<std::size_t>(m) * S + i] / L;
      means[i] = sum;
    }
  }
  for (int b = 0; b < kLevels; ++b) {
    if (LevelPasses(g, d, b, L, average, win, means)) {
      const double worst = Worst(y, S);
      payoff = Clamp(Gain(worst) * g.slope[d * kLevels + b] + g.base + g.amount[d * kLevels + b],
                     g.payLo, g.payHi);
      return true;
    }
  }
  return false;
}

// Maturity payoff on the final performances; sets the outcome slot.
double MaturityPayoff(const CoreArgs& a, const EngineGrids& g, int ki, const double* y, int& slot) {
  const int S = g.NStock;
  const int K = g.NStrike;
  if (ki == 0) {
    for (int i = 0; i < S; ++i) {
      if (y[i] < a.KI_Barrier[i]) {
        ki = 1;
        break;
      }
    }
  }
  const double worst = Worst(y, S);
  if (ki != 0) {
    slot = K + 1;
    const double sl = a.PayOffSlope3[K + 1];
    const double am = a.PayOffAmount3[K + 1];
    if (a.KnockBarrierFlag1 == 0) return Clamp(Gain(worst) * sl + g.base + am, g.payLo, g.payHi);
    return Clamp((worst - 1.0) * sl + g.base + am, g.payLo, g.payHi);
  }
  slot = K;
  const double sl = a.PayOffSlope3[K];
  const double am = a.PayOffAmount3[K];
  if (sl >= 0.0) return Clamp(Gain(worst) * sl + g.base + am, g.payLo, g.payHi);
  return Clamp((worst - 1.0) * sl + g.base + am, g.payLo, g.payHi);
}

// One path of a valuation, from the pricing date to its redemption or
// maturity; adds its outcome and price share to the tally. NS is the number
// of stocks when known at compile time (the loops over stocks then unroll),
// 0 otherwise; Plain is true when every stock may take the plain step
// (EngineGrids::plainDrift, and no discrete dividend amounts). Each day reads
// one row of correlated normals and, after its step, lets the source draw
// ahead.
template <int NS, bool Plain, class Source>
void RunPath(const CoreArgs& a, EngineGrids& g, Tally& t, PathScratch& w, Source& normals) {
  const int S = NS > 0 ? NS : g.NStock;
  const int K = g.NStrike;
  const int NC = g.NCoupon;
  const int D = g.D;
  const double dt = 1.0 / 365.0;
  const double sqdt = std::sqrt(1.0 / 365.0);
  const int koMode = a.KnockBarrierFlag0;
  const bool kiDaily = a.KnockBarrierFlag1 == 1;
  const int cbMode = a.CouponBarrierFlag;
  const VolSurface* surface = g.surface.data();
  const unsigned char* cash = g.cash.data();
  const unsigned char* plain = g.plainDrift.data();
  const double* p0 = g.p0.data();
  int* mem = w.mem.data();
  int* hint = w.hint.data();
  double* x = w.x.data();
  double* y = w.y.data();

  CopyRow(p0, x, S);
  for (int i = 0; i < S; ++i) mem[i] = a.BeKO_Hitted[i];
  // Where each stock was on its moneyness axis the day before: the segment
  // on a bucketed axis, the hinted search's node otherwise.
  for (int i = 0; i < S; ++i) hint[i] = surface[i].bucketed != 0 ? MoneynessSegmentOf(surface[i], x[i]) : 0;
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
      pv = g.dfKO[d] * payoff + couponValue + runningValue;
      t.prob[d] += 1.0;
      t.cf[d] += payoff;
    } else {
      int slot = K;
      const double mp = MaturityPayoff(a, g, ki, y, slot);
      pv = g.dfKO[K - 1] * mp + couponValue + runningValue;
      t.prob[slot] += 1.0;
      t.cf[slot] += mp;
    }
    t.price += pv / a.NTrials;
  };

  if (D < 1) {
    CopyRow(x, y, S);
    finish(false, 0, 0.0);
    return;
  }

  // The current observation period: its date, window and barrier.
  int d = 0;
  int T = a.KO_ObsDays[0];
  int winStart = T - a.KO_WindowLen[0];
  double barrier = a.KO_Barrier[0];

  for (int n = 1;; ++n) {
    // Each stock's step on its local volatility at the day's start.
    const double* z = normals.Row(S);
    const std::size_t row = static_cast<std::size_t>(n - 1) * S;
    const DayCoef* dc = g.day.data() + row;
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const VolSurface& vs = surface[i];
      double s;
      if (vs.bucketed != 0) {
        hint[i] = MoneynessSegmentFrom(vs, x[i], hint[i]);
        s = LocalVolOnSegment(vs, x[i], hint[i], dc[i]);
      } else {
        s = LocalVolAt(vs.P, vs.np, vs.nt, vs.V, hint[i], x[i], g.timeBr[row + i]);
      }
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
      const int cDay = a.Coupon_ObsDays[c];
      if (cbMode == 1 || (cbMode == 2 && n == cDay)) {
        const double cb = a.CouponBarrier[c];
        for (int i = 0; i < S; ++i) {
          if (y[i] <= cb) {
            breach = 1;
            break;
          }
        }
      }
      if (n == cDay) {
        if (breach == 0) {
          t.couponProb[c] += 1.0;
          t.couponCf[c] += a.Coupon[c];
          couponValue += a.Coupon[c] * g.dfCp[c];
        }
        breach = 0;
        ++c;
      }
    }

    // Knock-out touch against the current period's barrier.
    if (touch == 0) {
      if (koMode == 0) {
        touch = Worst(y, S) >= barrier ? 1 : 0;
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

    // Knock-in, monitored daily in mode 1.
    if (kiDaily && ki == 0) {
      for (int i = 0; i < S; ++i) {
        if (y[i] < a.KI_Barrier[i]) {
          ki = 1;
          break;
        }
      }
    }

    // Closes inside the current observation window.
    if (winStart < n && n <= T) {
      double* slot = g.window.data() + g.windowOff[d] + static_cast<std::size_t>(n - winStart - 1) * S;
      CopyRow(y, slot, S);
    }

    if (n == T) {
      double payoff = 0.0;
      if (ObservationRedeems(a, g, d, touch, y, w.means.data(), payoff)) {
        finish(true, d, payoff);
        return;
      }
      if (d < K - 1) runningValue += g.dfKO[d] * a.RedemCoupon[d];
      std::fill(mem, mem + S, 0);
      ++d;
      if (d >= K) {  // the final observation date has passed
        finish(false, 0, 0.0);
        return;
      }
      T = a.KO_ObsDays[d];
      winStart = T - a.KO_WindowLen[d];
      barrier = a.KO_Barrier[d];
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
  for (long long p = from; p < to && static_cast<double>(p) < job.view.NTrials; ++p) {
    RunPath<NS, Plain>(job.view, job.g, job.t, job.w, normals);
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
  job.w.means.assign(S, 0.0);
  job.w.mem.assign(S, 0);
  job.w.hint.assign(S, 0);
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
  job.done = !(static_cast<double>(job.nextPath) < job.view.NTrials);
  return job.done;
}

void FinishSimulation(SimJob& job) {
  const CoreArgs& view = job.view;
  if (view.NStrike < 1 || view.NStock < 1) return;
  const CoreResults& out = job.out;
  const Tally& t = job.t;
  const double NTrials = view.NTrials;
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
