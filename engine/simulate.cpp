// The path loop: daily Euler steps of the performances, the note's daily and
// observation-date tests, the maturity payoff and the accumulation of results.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "engine/conditional_path.h"
#include "engine/daily_step.h"
#include "engine/engine_grids.h"
#include "engine/lane_paths.h"
#include "engine/normal_source.h"
#include "engine/note_state.h"
#include "engine/path_normals.h"
#include "engine/path_rows.h"
#include "engine/payoff_rules.h"
#include "engine/vol_surface.h"
#include "engine/shared_stream.h"
#include "engine/simulate.h"
#include "engine/sobol_normals.h"
#include "numerics/conventions.h"

namespace morvik {

namespace {

// Element copies of a few doubles: cheaper than a library call per day.
inline void CopyRow(const double* from, double* to, int n) {
  for (int i = 0; i < n; ++i) to[i] = from[i];
}

// One path of a valuation, from the pricing date to its redemption or
// maturity; adds its outcome to the tally and returns its present value. NS is the number
// of stocks when known at compile time (the loops over stocks then unroll),
// 0 otherwise; Plain is true when every stock may take the plain step
// (EngineGrids::plainDrift, and no discrete dividend amounts). Each day reads
// one row of correlated normals and, after its step, lets the source draw
// ahead.
template <int NS, bool Plain, class Source>
double RunPath(const EngineGrids& g, Tally& t, PathScratch& w, Source& normals) {
  const int S = NS > 0 ? NS : g.NStock;
  const int K = g.NStrike;
  const int NC = g.NCoupon;
  const int D = g.D;
  const double dt = 1.0 / kDaysPerYear;
  const double sqdt = std::sqrt(1.0 / kDaysPerYear);
  // Copies the loop keeps in registers: no store of the path can reach them.
  const note::Rules rules = g.rules;
  const VolSurface* surface = g.surface.data();
  const unsigned char* cash = g.cash.data();
  const unsigned char* plain = g.plainDrift.data();
  const double* p0 = g.p0.data();
  int* mem = w.mem.data();
  int* place = w.place.data();
  double* x = w.x.data();
  double* y = w.y.data();
  double* window = w.window.data();

  CopyRow(p0, x, S);
  for (int i = 0; i < S; ++i) mem[i] = g.memoryInit[i];
  for (int i = 0; i < S; ++i) place[i] = SurfacePlaceOf(surface[i], x[i]);
  note::State st;
  st.memory = mem;
  st.touch = g.touchInit;
  st.knockIn = g.kiInit;
  st.breach = g.couponBreachInit;
  int c = 0;
  double couponValue = 0.0;
  double runningValue = 0.0;

  // The path's outcome: slot `slot` with `payoff`, paid on date `payDate`'s
  // payment day; returns its present value.
  auto finish = [&](int slot, int payDate, double payoff) {
    const double pv = g.date[payDate].df * payoff + couponValue + runningValue;
    t.prob[slot] += 1.0;
    t.cf[slot] += payoff;
    return pv;
  };
  auto mature = [&]() {
    const MaturityOutcome m = note::AtMaturity<NS>(st, g.rules, y);
    return finish(m.knockedIn ? K + 1 : K, K - 1, m.payoff);
  };

  if (D < 1) {
    CopyRow(x, y, S);
    return mature();
  }

  // The current observation period: its date, window and events, and the
  // current coupon.
  int d = 0;
  int T = g.date[0].day;
  int winStart = T - g.date[0].windowLen;
  double* win = window + g.date[0].windowAt;
  const note::DateTerms* date = g.dateTerms.data();
  note::Event knockOut = date->knockOut;
  const note::CouponTerms* coupon = NC > 0 ? g.couponTerms.data() : nullptr;
  int couponDay = NC > 0 ? g.coupon[0].day : 0;

  for (int n = 1;; ++n) {
    // Each stock's step on its local volatility at the day's start.
    const double* z = normals.Row(S);
    const DayCoef* dc = g.day.data() + static_cast<std::size_t>(n - 1) * S;
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const double s = SurfaceVolAt(surface[i], x[i], place[i], dc[i].vol);
      y[i] = StepClose<Plain>(dc[i], x[i], s, z[i], sqdt, dt, plain[i], cash[i], p0[i]);
    }
    normals.template Produce<NS>();

    // The day's coupon watch and payment, knock-out touch and knock-in.
    note::OnDay<NS>(st, rules, coupon, n == couponDay, knockOut, y, [&](bool paid) {
      if (paid) {
        t.couponProb[c] += 1.0;
        t.couponCf[c] += coupon->amount;
        couponValue += coupon->amount * g.coupon[c].df;
      }
      ++c;
      coupon = c < NC ? coupon + 1 : nullptr;
      couponDay = c < NC ? g.coupon[c].day : 0;
    });

    // Closes inside the current observation window.
    if (winStart < n && n <= T) CopyRow(y, win + static_cast<std::size_t>(n - winStart - 1) * S, S);

    if (n == T) {
      // The date's rules, out of line, on a copy of the state and on the
      // grids' rules: the loop's own state and rules then never leave
      // registers.
      note::State at = st;
      const note::DateOutcome o = note::OnObservation<NS>(at, g.rules, *date, y, win);
      st = at;
      if (o.result == note::DateResult::Redeemed) return finish(d, d, o.payoff);
      if (o.result == note::DateResult::Matured) return finish(o.knockedIn ? K + 1 : K, K - 1, o.payoff);
      runningValue += g.date[d].df * date->redemCoupon;
      ++d;
      ++date;
      knockOut = date->knockOut;
      T = g.date[d].day;
      winStart = T - g.date[d].windowLen;
      win = window + g.date[d].windowAt;
    }
    if (n == D) return mature();
    double* next = y;
    y = x;
    x = next;
  }
}

// A path's present value into the sums: its share of the price, the sums
// behind the standard error, and the price sums of the checkpoints still
// ahead, whose raw sums are kept once their last path has run.
inline void AddPath(RunTally& acc, long long p, double pv, double trials) {
  Tally& t = acc.t;
  t.price += pv / trials;
  t.pvSum += pv;
  t.pvSq += pv * pv;
  ++t.paths;
  for (CheckpointTally& c : acc.ck) {
    if (p >= c.paths) continue;
    c.price += pv / static_cast<double>(c.paths);
    if (p + 1 == c.paths) c.at = t;
  }
}

// Paths [from, to) of a valuation (and below NTrials).
template <int NS, bool Plain, class Source>
void RunPaths(const EngineGrids& g, RunTally& acc, PathScratch& w, Source& normals, long long from,
              long long to) {
  for (long long p = from; p < to && static_cast<double>(p) < g.trials; ++p) {
    normals.StartPath(p);
    AddPath(acc, p, RunPath<NS, Plain>(g, acc.t, w, normals), g.trials);
  }
}

// RunPaths with the loops over stocks unrolled for the usual basket sizes,
// and with only the plain step when every stock may take it.
template <bool Plain, class Source>
void RunPathsSized(const EngineGrids& g, RunTally& acc, PathScratch& w, Source& normals,
                   long long from, long long to) {
  switch (g.NStock) {
    case 1:
      RunPaths<1, Plain>(g, acc, w, normals, from, to);
      break;
    case 2:
      RunPaths<2, Plain>(g, acc, w, normals, from, to);
      break;
    case 3:
      RunPaths<3, Plain>(g, acc, w, normals, from, to);
      break;
    case 4:
      RunPaths<4, Plain>(g, acc, w, normals, from, to);
      break;
    default:
      RunPaths<0, Plain>(g, acc, w, normals, from, to);
      break;
  }
}

template <class Source>
void RunPathsFor(const EngineGrids& g, RunTally& acc, PathScratch& w, Source& normals,
                 long long from, long long to) {
  bool plain = true;
  for (int i = 0; i < g.NStock; ++i) plain = plain && g.plainDrift[i] != 0 && g.cash[i] == 0;
  if (plain) {
    RunPathsSized<true>(g, acc, w, normals, from, to);
  } else {
    RunPathsSized<false>(g, acc, w, normals, from, to);
  }
}

void AddSums(Tally& a, const Tally& b) {
  for (std::size_t s = 0; s < a.prob.size(); ++s) {
    a.prob[s] += b.prob[s];
    a.cf[s] += b.cf[s];
  }
  for (std::size_t c = 0; c < a.couponProb.size(); ++c) {
    a.couponProb[c] += b.couponProb[c];
    a.couponCf[c] += b.couponCf[c];
  }
  for (std::size_t s = 0; s < a.probSq.size() && s < b.probSq.size(); ++s) a.probSq[s] += b.probSq[s];
  for (std::size_t c = 0; c < a.couponProbSq.size() && c < b.couponProbSq.size(); ++c)
    a.couponProbSq[c] += b.couponProbSq[c];
  a.price += b.price;
  a.pvSum += b.pvSum;
  a.pvSq += b.pvSq;
  a.paths += b.paths;
}

}  // namespace

void AddPathValue(RunTally& acc, long long p, double pv, double trials) { AddPath(acc, p, pv, trials); }

namespace {

// Paths whose index is below `trials` (saturating).
long long PathCount(double trials) {
  const double n = std::ceil(trials);
  return n < 9.0e18 ? static_cast<long long>(n) : std::numeric_limits<long long>::max();
}

}  // namespace

void StartTally(const SimJob& job, long long from, RunTally& acc) {
  const std::size_t slots = static_cast<std::size_t>(job.g.NStrike + 2);
  const std::size_t coupons = static_cast<std::size_t>(job.g.NCoupon);
  Tally& t = acc.t;
  t.prob.assign(slots, 0.0);
  t.cf.assign(slots, 0.0);
  t.couponProb.assign(coupons, 0.0);
  t.couponCf.assign(coupons, 0.0);
  t.price = t.pvSum = t.pvSq = 0.0;
  t.paths = 0;
  t.probSq.assign(job.conditionalDays > 0 ? slots : 0, 0.0);
  t.couponProbSq.assign(job.conditionalDays > 0 ? coupons : 0, 0.0);
  acc.ck.clear();
  for (const long long n : job.checkpoints)
    if (n > from) acc.ck.push_back(CheckpointTally{n, 0.0, t});
}

void AppendTally(RunTally& acc, const RunTally& next) {
  const long long end = acc.t.paths;  // paths before `next`
  std::size_t m = 0;
  for (CheckpointTally& c : acc.ck) {
    if (c.paths <= end) continue;
    while (m < next.ck.size() && next.ck[m].paths < c.paths) ++m;
    if (m == next.ck.size()) break;
    const CheckpointTally& n = next.ck[m];
    c.price += n.price;
    if (c.paths <= end + next.t.paths) {
      c.at = acc.t;
      AddSums(c.at, n.at);
    }
  }
  AddSums(acc.t, next.t);
}


void StartSimulation(const CoreArgs& view, int fixedCount, const CoreResults& out, SimJob& job,
                     ValuationExtras* extras, int dateShift, int couponShift) {
  job.view = view;
  job.out = out;
  job.nextPath = 0;
  job.settled = out.ResultPrice[0];
  job.extras = extras;
  job.dateShift = dateShift;
  job.couponShift = couponShift;
  job.progress = ProgressMeter{};
  job.done = view.NStrike < 1 || view.NStock < 1;
  if (job.done) return;
  BuildEngineGrids(view, fixedCount, job.g);
  job.paths = PathCount(job.g.trials);
  const std::size_t S = static_cast<std::size_t>(view.NStock);
  job.w.x.assign(S, 0.0);
  job.w.y.assign(S, 0.0);
  job.w.mem.assign(S, 0);
  job.w.place.assign(S, 0);
  job.w.window = job.g.window;
  job.checkpoints.clear();
  if (extras != nullptr) {
    job.progress.hook = extras->progress;
    for (const long long n : extras->checkpoints) {
      if (n >= 1 && n < job.paths && (job.checkpoints.empty() || n > job.checkpoints.back()))
        job.checkpoints.push_back(n);
    }
  }
  StartTally(job, 0, job.acc);
}

bool SimulateBatch(SimJob& job, SharedReader& normals, long long paths) {
  if (job.done) return true;
  RunPathsFor(job.g, job.acc, job.w, normals, job.nextPath, job.nextPath + paths);
  job.nextPath += paths;
  job.done = !(static_cast<double>(job.nextPath) < job.g.trials);
  job.progress.Report(job.done ? 1.0 : static_cast<double>(job.nextPath) / static_cast<double>(job.paths));
  return job.done;
}

void SimulateAlignedBlock(const SimJob& job, std::uint64_t seed, long long from, long long to,
                          PathScratch& w, RunTally& acc) {
  if (job.done) return;
  if (job.conditionalDays > 0) return ConditionalAlignedBlock(job, seed, from, to, w, acc);
  if (LanePathsBlock(job.g, job.laneWidth, seed, from, to, w, acc)) return;
  PathNormals normals(job.g.chol.data(), job.g.NStock, seed);
  RunPathsFor(job.g, acc, w, normals, from, to);
}

void SimulateSobolBlock(const SimJob& job, const SobolPlan& plan, long long from, long long to, PathScratch& w,
                        RunTally& acc) {
  if (job.done) return;
  if (job.conditionalDays > 0) return ConditionalSobolBlock(job, plan, from, to, w, acc);
  SobolNormals normals(job.g, plan);
  RunPathsFor(job.g, acc, w, normals, from, to);
}

void SimulateAlignedRows(const SimJob& job, PathRowReader& rows, long long from, long long to, PathScratch& w,
                         RunTally& acc) {
  if (job.done) return;
  if (job.conditionalDays > 0) return ConditionalAlignedRows(job, rows, from, to, w, acc);
  if (LanePathsRows(job.g, job.laneWidth, rows, from, to, w, acc)) return;
  RunPathsFor(job.g, acc, w, rows, from, to);
}

void FinishSimulation(SimJob& job) {
  const CoreArgs& view = job.view;
  if (view.NStrike < 1 || view.NStock < 1) return;
  const CoreResults& out = job.out;
  const Tally& t = job.acc.t;
  const double NTrials = job.g.trials;
  for (int s = 0; s < view.NStrike + 2; ++s) {
    out.ELS_Prob[s] = t.prob[s] / NTrials;
    out.ELS_Cf[s] = t.cf[s] * kNotionalScale / NTrials;
  }
  for (int c = 0; c < job.g.NCoupon; ++c) {
    out.ELS_Coupon_Prob[c] = t.couponProb[c] / NTrials;
    out.ELS_Coupon_Cf[c] = t.couponCf[c] * kNotionalScale / NTrials;
  }
  out.ResultPrice[0] = out.ResultPrice[0] + kNotionalScale * t.price;

  ValuationExtras* x = job.extras;
  if (x == nullptr) return;
  // Every path ends in one slot and collects a coupon or not: the errors of
  // the probabilities are those of means of 0/1 values.
  // The conditional estimator keeps the squares of its fractional weights.
  const bool weighted = !t.probSq.empty();
  for (int s = 0; s < view.NStrike + 2; ++s)
    x->probSE[job.dateShift + s] = StandardError(t.prob[s], weighted ? t.probSq[s] : t.prob[s], t.paths, NTrials);
  for (int c = 0; c < job.g.NCoupon; ++c)
    x->couponProbSE[job.couponShift + c] =
        StandardError(t.couponProb[c], weighted ? t.couponProbSq[c] : t.couponProb[c], t.paths, NTrials);
  x->priceSE = kNotionalScale * StandardError(t.pvSum, t.pvSq, t.paths, NTrials);
  x->convergence.clear();
  for (const CheckpointTally& c : job.acc.ck) {
    const double n = static_cast<double>(c.paths);
    x->convergence.push_back(ConvergencePoint{c.paths, job.settled + kNotionalScale * c.price,
                                              kNotionalScale * StandardError(c.at.pvSum, c.at.pvSq, c.at.paths, n)});
  }
  x->convergence.push_back(ConvergencePoint{t.paths, out.ResultPrice[0], x->priceSE});
}

int SimulateELS(const CoreArgs& view, int fixedCount, const CoreResults& out, int seed,
                ValuationExtras* extras, int dateShift, int couponShift) {
  if (view.NStrike < 1 || view.NStock < 1) return 1;
  SimJob job;
  StartSimulation(view, fixedCount, out, job, extras, dateShift, couponShift);
  NormalSource normals;
  normals.Reset(job.g.chol.data(), job.g.NStock, seed);
  StopSignal* stop = extras != nullptr ? extras->stop : nullptr;
  if (extras == nullptr || (extras->progress.fn == nullptr && stop == nullptr)) {
    RunPathsFor(job.g, job.acc, job.w, normals, 0, std::numeric_limits<long long>::max());
  } else {
    // In slices of about a percent (of at most kStopPollPaths when the call
    // may be stopped), progress reported and the stop polled from the
    // calling thread; the paths run in the same order either way.
    long long slice = job.paths / 100 + 1;
    if (stop != nullptr) slice = std::min(slice, kStopPollPaths);
    for (long long from = 0; from < job.paths; from += slice) {
      RunPathsFor(job.g, job.acc, job.w, normals, from, from + slice);
      job.progress.Report(static_cast<double>(std::min(from + slice, job.paths)) / static_cast<double>(job.paths));
      if (stop != nullptr) stop->Poll(slice);
    }
  }
  FinishSimulation(job);
  return 1;
}

int SimulateELS(const CoreArgs& view, int fixedCount, const CoreResults& out) {
  return SimulateELS(view, fixedCount, out, 0, nullptr, 0, 0);
}

}  // namespace morvik
