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

// One valuation's path in progress: everything the day step carries from
// one day to the next. x holds the performances the day starts from, y the
// ones it ends on; the two rows swap at the end of a day.
template <class Source>
struct Lane {
  const CoreArgs* a = nullptr;
  EngineGrids* g = nullptr;
  Tally* t = nullptr;
  PathScratch* w = nullptr;
  Source* normals = nullptr;
  double* x = nullptr;
  double* y = nullptr;
  long long path = 0;  // next path to start
  long long to = 0;    // paths from `path` up to here run in this turn
  bool live = false;   // a path is in progress
  int n = 0;           // day of the next step
  int touch = 0, ki = 0, breach = 0, d = 0, c = 0;
  double couponValue = 0.0, runningValue = 0.0;
};

// Maturity (when not redeemed) and the path's price share.
template <class Source>
void EndPath(Lane<Source>& l, bool redeemed, double pv) {
  const EngineGrids& g = *l.g;
  Tally& t = *l.t;
  if (!redeemed) {
    const int K = g.NStrike;
    int slot = K;
    const double payoff = MaturityPayoff(*l.a, g, l.ki, l.y, slot);
    pv = g.dfKO[K - 1] * payoff + l.couponValue + l.runningValue;
    t.prob[slot] += 1.0;
    t.cf[slot] += payoff;
  }
  t.price += pv / l.a->NTrials;
}

// Starts the lane's next path. Returns true when the path is over at once
// (nothing to simulate).
template <class Source>
bool StartPath(Lane<Source>& l) {
  const EngineGrids& g = *l.g;
  const int S = g.NStock;
  PathScratch& w = *l.w;
  l.x = w.x.data();
  l.y = w.y.data();
  CopyRow(g.p0.data(), l.x, S);
  for (int i = 0; i < S; ++i) w.mem[i] = l.a->BeKO_Hitted[i];
  for (int i = 0; i < S; ++i) w.hint[i] = 0;
  l.touch = g.touchInit;
  l.ki = g.kiInit;
  l.breach = g.couponBreachInit;
  l.d = 0;
  l.c = 0;
  l.couponValue = 0.0;
  l.runningValue = 0.0;
  l.n = 1;
  if (g.D < 1) {
    CopyRow(l.x, l.y, S);
    EndPath(l, false, 0.0);
    return true;
  }
  return false;
}

// One day of the lane's path. Returns true when the path ended (its price
// share already added). NS is the number of stocks when known at compile
// time (the loops over stocks then unroll), 0 otherwise; Plain is true when
// every stock may take the plain step (EngineGrids::plainDrift, and no
// discrete dividend amounts).
template <int NS, bool Plain, class Source>
[[gnu::always_inline]] inline bool StepDay(Lane<Source>& l) {
  const CoreArgs& a = *l.a;
  EngineGrids& g = *l.g;
  Tally& t = *l.t;
  const int S = NS > 0 ? NS : g.NStock;
  const int K = g.NStrike;
  const int NC = g.NCoupon;
  const int n = l.n;
  const double dt = 1.0 / 365.0;
  const double sqdt = std::sqrt(1.0 / 365.0);
  double* x = l.x;
  double* y = l.y;
  int* mem = l.w->mem.data();
  int& touch = l.touch;
  int& ki = l.ki;
  int& breach = l.breach;
  int& d = l.d;
  int& c = l.c;

  // The day's correlated normals, and each stock's step on its local
  // volatility at the performance the day starts from.
  const double* z = l.normals->Row(S);
  const std::size_t row = static_cast<std::size_t>(n - 1) * S;
  const DayCoef* dc = g.day.data() + row;
  const VolSurface* surface = g.surface.data();
  const unsigned char* cash = g.cash.data();
  const unsigned char* plain = g.plainDrift.data();
#pragma GCC unroll 4
  for (int i = 0; i < S; ++i) {
    const VolSurface& vs = surface[i];
    const double s = vs.bucketed != 0
                         ? LocalVolBucketed(vs, x[i], dc[i])
                         : LocalVolAt(vs.P, vs.np, vs.nt, vs.V, l.w->hint[i], x[i], g.timeBr[row + i]);
    if (Plain) {
      y[i] = x[i] * (dc[i].one + s * sqdt * z[i]);
    } else if (plain[i] != 0) {
      y[i] = x[i] * (dc[i].one + s * sqdt * z[i]);
      if (cash[i] != 0) y[i] = y[i] - dc[i].div * x[i] / g.p0[i];
    } else if (cash[i] == 0) {
      y[i] = x[i] * (1.0 + (dc[i].r - dc[i].rv * s - dc[i].div) * dt + s * sqdt * z[i]);
    } else {
      y[i] = x[i] * (1.0 + (dc[i].r - dc[i].rv * s) * dt + s * sqdt * z[i]) -
             dc[i].div * x[i] / g.p0[i];
    }
  }

  // Coupon barrier watch and coupon payment.
  if (c < NC) {
    const int cDay = a.Coupon_ObsDays[c];
    if (a.CouponBarrierFlag == 1 || (a.CouponBarrierFlag == 2 && n == cDay)) {
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
        l.couponValue += a.Coupon[c] * g.dfCp[c];
      }
      breach = 0;
      ++c;
    }
  }

  // Knock-out touch against the current period's barrier.
  if (touch == 0) {
    const double barrier = a.KO_Barrier[d];
    if (a.KnockBarrierFlag0 == 0) {
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
  if (a.KnockBarrierFlag1 == 1 && ki == 0) {
    for (int i = 0; i < S; ++i) {
      if (y[i] < a.KI_Barrier[i]) {
        ki = 1;
        break;
      }
    }
  }

  // Closes inside the current observation window.
  const int T = a.KO_ObsDays[d];
  const int WL = a.KO_WindowLen[d];
  if (T - WL < n && n <= T) {
    double* slot = g.window.data() + g.windowOff[d] + static_cast<std::size_t>(WL - T + n - 1) * S;
    CopyRow(y, slot, S);
  }

  if (n == T) {
    double payoff = 0.0;
    if (ObservationRedeems(a, g, d, touch, y, l.w->means.data(), payoff)) {
      const double pv = g.dfKO[d] * payoff + l.couponValue + l.runningValue;
      t.prob[d] += 1.0;
      t.cf[d] += payoff;
      EndPath(l, true, pv);
      return true;
    }
    if (d < K - 1) l.runningValue += g.dfKO[d] * a.RedemCoupon[d];
    std::fill(mem, mem + S, 0);
    ++d;
    if (d >= K) {  // the final observation date has passed
      EndPath(l, false, 0.0);
      return true;
    }
  }
  if (n == g.D) {
    EndPath(l, false, 0.0);
    return true;
  }
  l.x = y;
  l.y = x;
  l.n = n + 1;
  return false;
}

// Runs every lane's paths up to its `to` (and below NTrials), stepping the
// lanes' days in turn.
template <int NS, bool Plain, class Source, int N>
void RunLanes(Lane<Source> (&lanes)[N]) {
  for (;;) {
    bool any = false;
    for (Lane<Source>& l : lanes) {
      if (!l.live) {
        if (!(l.path < l.to && static_cast<double>(l.path) < l.a->NTrials)) continue;
        any = true;
        if (StartPath(l)) {
          ++l.path;
          continue;
        }
        l.live = true;
      }
      any = true;
      const bool ended = StepDay<NS, Plain>(l);
      l.normals->Produce();
      if (ended) {
        l.live = false;
        ++l.path;
      }
    }
    if (!any) break;
  }
}

template <bool Plain, class Source, int N>
void RunLanesSized(int stocks, Lane<Source> (&lanes)[N]) {
  switch (stocks) {
    case 1:
      RunLanes<1, Plain>(lanes);
      break;
    case 2:
      RunLanes<2, Plain>(lanes);
      break;
    case 3:
      RunLanes<3, Plain>(lanes);
      break;
    case 4:
      RunLanes<4, Plain>(lanes);
      break;
    default:
      RunLanes<0, Plain>(lanes);
      break;
  }
}

// RunLanes with the loops over stocks unrolled for the usual basket sizes,
// and with only the plain step when every stock may take it.
template <class Source, int N>
void RunLanesFor(const EngineGrids& g, Lane<Source> (&lanes)[N]) {
  bool plain = true;
  for (int i = 0; i < g.NStock; ++i) plain = plain && g.plainDrift[i] != 0 && g.cash[i] == 0;
  if (plain) {
    RunLanesSized<true>(g.NStock, lanes);
  } else {
    RunLanesSized<false>(g.NStock, lanes);
  }
}

// Lane over a job's grids, results and scratch, reading `normals`.
template <class Source>
Lane<Source> JobLane(SimJob& job, Source& normals) {
  Lane<Source> l;
  l.a = &job.view;
  l.g = &job.g;
  l.t = &job.t;
  l.w = &job.w;
  l.normals = &normals;
  return l;
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
  Lane<SharedReader> lanes[1] = {JobLane(job, normals)};
  Lane<SharedReader>& l = lanes[0];
  l.path = job.nextPath;
  l.to = job.nextPath + paths;
  RunLanesFor(job.g, lanes);
  job.nextPath = l.to;
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
  Lane<NormalSource> lanes[1] = {JobLane(job, normals)};
  lanes[0].to = std::numeric_limits<long long>::max();
  RunLanesFor(job.g, lanes);
  FinishSimulation(job);
  return 1;
}

}  // namespace morvik
