// The conditional estimator's path loop (see engine/conditional_path.h).
#include "engine/conditional_path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/daily_step.h"
#include "engine/engine_grids.h"
#include "engine/note_state.h"
#include "engine/path_normals.h"
#include "engine/path_rows.h"
#include "engine/sobol_normals.h"
#include "engine/vol_surface.h"
#include "numerics/conventions.h"
#include "numerics/inverse_normal.h"
#include "numerics/philox.h"

namespace morvik {

namespace {

// The searched range of v: a threshold beyond it leaves the plain draw (which
// is exact whatever the threshold), and the bisection's width.
constexpr double kSearchLo = -6.0;
constexpr double kSearchHi = 6.0;
constexpr double kSearchWidth = 1.0 / 1024.0;

// Address of a date's uniforms: above every day of a path.
constexpr std::uint32_t kUniformDay = 0x80000000u;

double NormalCdf(double v) { return 0.5 * std::erfc(-v * 0.7071067811865476); }

// The note's state along one path (or along the redeeming draw of a window).
struct Walk {
  double* x = nullptr;  // closes of the day before
  double* y = nullptr;  // closes of the day
  int* mem = nullptr;
  int* place = nullptr;
  note::State st;
  int c = 0;  // the current coupon
  const note::CouponTerms* coupon = nullptr;
  int couponDay = 0;

  // `to` takes this walk's state into its own rows.
  void CopyInto(Walk& to, int S) const {
    for (int i = 0; i < S; ++i) {
      to.x[i] = x[i];
      to.mem[i] = mem[i];
      to.place[i] = place[i];
    }
    to.st = st;
    to.st.memory = to.mem;
    to.c = c;
    to.coupon = coupon;
    to.couponDay = couponDay;
  }
};

Walk WalkOn(double* x, double* y, int* mem, int* place) {
  Walk a;
  a.x = x;
  a.y = y;
  a.mem = mem;
  a.place = place;
  return a;
}

// Scratch rows carved out of PathScratch's arenas.
struct Rows {
  double* window = nullptr;  // m x S rows of normals of the window
  double* last = nullptr;    // m: the last stock's drawn normals
  double* closes = nullptr;  // m x S: the window's closes (the last stock's column per search point)
  double* track = nullptr;   // m: the last stock's closes of a search point
  double* below = nullptr;   // m: of the highest point that does not redeem
  double* above = nullptr;   // m: of the lowest point that redeems
  double* sums = nullptr;    // S
  double* slotW = nullptr;   // NStrike + 2: the path's weight per outcome slot
  double* couponW = nullptr; // NCoupon
  double* bx = nullptr;      // S, the branch's rows
  double* by = nullptr;
  int* bmem = nullptr;
  int* bplace = nullptr;
  int* paid = nullptr;       // coupons the redeeming draw pays
};

Rows CarveRows(const EngineGrids& g, int days, PathScratch& w) {
  const std::size_t S = static_cast<std::size_t>(g.NStock);
  const std::size_t m = static_cast<std::size_t>(days);
  const std::size_t K = static_cast<std::size_t>(g.NStrike + 2);
  const std::size_t NC = static_cast<std::size_t>(g.NCoupon);
  const std::size_t doubles = 2 * m * S + 4 * m + S + K + NC + 2 * S;
  const std::size_t ints = 2 * S + NC + 1;
  if (w.condDoubles.size() < doubles) w.condDoubles.assign(doubles, 0.0);
  if (w.condInts.size() < ints) w.condInts.assign(ints, 0);
  Rows r;
  double* d = w.condDoubles.data();
  r.window = d;
  d += m * S;
  r.closes = d;
  d += m * S;
  r.last = d;
  d += m;
  r.track = d;
  d += m;
  r.below = d;
  d += m;
  r.above = d;
  d += m;
  r.sums = d;
  d += S;
  r.slotW = d;
  d += K;
  r.couponW = d;
  d += NC;
  r.bx = d;
  d += S;
  r.by = d;
  int* n = w.condInts.data();
  r.bmem = n;
  n += S;
  r.bplace = n;
  n += S;
  r.paid = n;
  std::fill(r.slotW, r.slotW + K, 0.0);
  std::fill(r.couponW, r.couponW + NC, 0.0);
  return r;
}

// A window's days fit in the rows when they are no longer than the longest
// gap between dates, bounded by the job's window.
int LongestWindow(const SimJob& job) {
  const EngineGrids& g = job.g;
  int longest = 0, prev = 0;
  for (const ObservationDate& d : g.date) {
    longest = std::max(longest, std::min(job.conditionalDays, d.day - prev));
    prev = d.day;
  }
  return std::max(longest, 1);
}

// Conditioning needs a lower factor with a positive diagonal (the last
// stock's normals are then recovered from the rows).
bool FactorInvertible(const EngineGrids& g) {
  const int S = g.NStock;
  for (int i = 0; i < S; ++i)
    if (!(g.chol[static_cast<std::size_t>(i) * S + i] > 0.0)) return false;
  return true;
}

template <int NS, bool Plain>
class ConditionalPath {
 public:
  ConditionalPath(const SimJob& job, Tally& t, PathScratch& w, const Rows& r, bool enabled)
      : job_(job), g_(job.g), t_(t), w_(w), r_(r), enabled_(enabled) {}

  template <class Source>
  double Run(Source& normals, long long path);

 private:
  int S() const { return NS > 0 ? NS : g_.NStock; }

  void Step(Walk& a, const double* z, int n) const {
    const int S = this->S();
    const DayCoef* dc = g_.day.data() + static_cast<std::size_t>(n - 1) * S;
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const double s = SurfaceVolAt(g_.surface[i], a.x[i], a.place[i], dc[i].vol);
      a.y[i] = StepClose<Plain>(dc[i], a.x[i], s, z[i], sqdt_, dt_, g_.plainDrift[i], g_.cash[i], g_.p0[i]);
    }
  }

  // The day's coupon watch and payment, touch and knock-in; a paid coupon
  // goes to `paid` (its weight and value added by the caller).
  template <class Paid>
  void Day(Walk& a, int n, const note::Event& knockOut, Paid&& paid) const {
    const int NC = g_.NCoupon;
    note::OnDay<NS>(a.st, g_.rules, a.coupon, n == a.couponDay, knockOut, a.y, [&](bool p) {
      if (p) paid(a.c);
      ++a.c;
      a.coupon = a.c < NC ? a.coupon + 1 : nullptr;
      a.couponDay = a.c < NC ? g_.coupon[a.c].day : 0;
    });
  }

  void AddCoupon(int c, double weight) {
    r_.couponW[c] += weight;
    t_.couponCf[c] += weight * g_.couponTerms[c].amount;
    pv_ += weight * g_.couponTerms[c].amount * g_.coupon[c].df;
  }

  void Finish(int slot, int payDate, double payoff, double weight) {
    r_.slotW[slot] += weight;
    t_.cf[slot] += weight * payoff;
    pv_ += weight * g_.date[payDate].df * payoff;
  }

  // The path's weights into the sums (with their squares); its value.
  double Close() {
    const int slots = g_.NStrike + 2;
    for (int s = 0; s < slots; ++s) {
      const double v = r_.slotW[s];
      t_.prob[s] += v;
      t_.probSq[s] += v * v;
      r_.slotW[s] = 0.0;
    }
    for (int c = 0; c < g_.NCoupon; ++c) {
      const double v = r_.couponW[c];
      t_.couponProb[c] += v;
      t_.couponProbSq[c] += v * v;
      r_.couponW[c] = 0.0;
    }
    return pv_;
  }

  // The last stock's normals of the window for v (the drawn ones moved by
  // the change of their sum), into the window's rows.
  void SetLast(double v) {
    const int S = this->S();
    const double shift = lastDiag_ * (v * std::sqrt(static_cast<double>(m_)) - z_) / m_;
    for (int j = 0; j < m_; ++j) r_.window[static_cast<std::size_t>(j) * S + S - 1] = r_.last[j] + shift;
  }

  // Does date d redeem when the last stock's window normals take v? Steps
  // the last stock alone over the other stocks' stored closes; its closes
  // go to r_.track.
  bool Redeems(const Walk& m, double v, const note::DateTerms& date, const note::Event& knockOut, double* win,
               int winStart) {
    const int S = this->S();
    const int last = S - 1;
    const double shift = lastDiag_ * (v * std::sqrt(static_cast<double>(m_)) - z_) / m_;
    double x = m.x[last];
    int place = m.place[last];
    for (int i = 0; i < S; ++i) r_.bmem[i] = m.mem[i];
    note::State s = m.st;
    s.memory = r_.bmem;
    for (int j = 0; j < m_; ++j) {
      const int n = n0_ + 1 + j;
      const DayCoef& dc = g_.day[static_cast<std::size_t>(n - 1) * S + last];
      const double vol = SurfaceVolAt(g_.surface[last], x, place, dc.vol);
      const double y = StepClose<Plain>(dc, x, vol, r_.last[j] + shift, sqdt_, dt_, g_.plainDrift[last],
                                        g_.cash[last], g_.p0[last]);
      double* row = r_.closes + static_cast<std::size_t>(j) * S;
      row[last] = y;
      r_.track[j] = y;
      note::OnDay<NS>(s, g_.rules, nullptr, false, knockOut, row, [](bool) {});
      if (winStart < n) std::copy(row, row + S, win + static_cast<std::size_t>(n - winStart - 1) * S);
      x = y;
    }
    return note::OnObservation<NS>(s, g_.rules, date, r_.closes + static_cast<std::size_t>(m_ - 1) * S, win).result ==
           note::DateResult::Redeemed;
  }

  // Are the last stock's closes of r_.track between those of the bracket?
  bool Ordered() const {
    for (int j = 0; j < m_; ++j)
      if (!(r_.below[j] <= r_.track[j] && r_.track[j] <= r_.above[j])) return false;
    return true;
  }

  // The window before date d, from the state `m` after day n0_: reads its
  // rows, searches the threshold and, when there is one, adds the
  // redeeming draw's value and leaves the rows of a draw below it (the
  // path's weight multiplied by its probability); otherwise leaves the rows
  // as drawn.
  template <class Source>
  void Condition(Walk& m, Source& normals, int d, int T, const note::DateTerms& date, const note::Event& knockOut,
                 double* win, int winStart, long long path) {
    const int S = this->S();
    const int last = S - 1;
    m_ = T - n0_;
    for (int i = 0; i < S; ++i) r_.sums[i] = 0.0;
    for (int j = 0; j < m_; ++j) {
      const double* z = normals.Row(S);
      double* row = r_.window + static_cast<std::size_t>(j) * S;
      for (int i = 0; i < S; ++i) {
        row[i] = z[i];
        r_.sums[i] += z[i];
      }
      r_.last[j] = z[last];
      normals.template Produce<NS>();
    }
    if (!enabled_ || m.st.touch != 0) return;
    // The sum of the last stock's independent normals, from the rows' sums.
    const double* L = g_.chol.data();
    for (int i = 0; i < S; ++i) {
      double v = r_.sums[i];
      for (int k = 0; k < i; ++k) v -= L[static_cast<std::size_t>(i) * S + k] * r_.sums[k];
      r_.sums[i] = v / L[static_cast<std::size_t>(i) * S + i];
    }
    z_ = r_.sums[last];
    lastDiag_ = L[static_cast<std::size_t>(last) * S + last];

    // Every stock's closes on the drawn rows, the others' kept for the search.
    Walk b = WalkOn(r_.bx, r_.by, r_.bmem, r_.bplace);
    m.CopyInto(b, S);
    for (int j = 0; j < m_; ++j) {
      Step(b, r_.window + static_cast<std::size_t>(j) * S, n0_ + 1 + j);
      std::copy(b.y, b.y + S, r_.closes + static_cast<std::size_t>(j) * S);
      std::swap(b.x, b.y);
    }

    double lo = kSearchLo, hi = kSearchHi;
    if (!Redeems(m, hi, date, knockOut, win, winStart)) return;
    std::copy(r_.track, r_.track + m_, r_.above);
    if (Redeems(m, lo, date, knockOut, win, winStart)) return;
    std::copy(r_.track, r_.track + m_, r_.below);
    while (hi - lo > kSearchWidth) {
      const double mid = 0.5 * (lo + hi);
      const bool up = Redeems(m, mid, date, knockOut, win, winStart);
      if (!Ordered()) return;  // not monotone on this path: the plain draw
      std::copy(r_.track, r_.track + m_, up ? r_.above : r_.below);
      (up ? hi : lo) = mid;
    }

    // Two uniforms of the date: the draw above hi and the draw below it.
    const std::uint32_t c[4] = {static_cast<std::uint32_t>(path), static_cast<std::uint32_t>(path >> 32),
                                kUniformDay + static_cast<std::uint32_t>(d), 0u};
    const std::uint32_t k[2] = {static_cast<std::uint32_t>(job_.conditionalSeed),
                                static_cast<std::uint32_t>(job_.conditionalSeed >> 32)};
    const PhiloxBlock u = Philox4x32(c, k);
    const double pUp = NormalCdf(-hi);
    const double pDown = NormalCdf(hi);
    const double vUp = std::max(hi, -InverseNormal(OpenUniform(u.w[0]) * pUp));
    const double vDown = std::min(std::nextafter(hi, kSearchLo), InverseNormal(OpenUniform(u.w[1]) * pDown));

    // The redeeming draw: the window run again on it, every stock, with its
    // coupons; its value counts only when it does redeem (it must, the
    // closes being increasing in v; else the plain draw stays).
    SetLast(vUp);
    Walk a = WalkOn(r_.bx, r_.by, r_.bmem, r_.bplace);
    m.CopyInto(a, S);
    int paid = 0;
    for (int j = 0; j < m_; ++j) {
      const int n = n0_ + 1 + j;
      Step(a, r_.window + static_cast<std::size_t>(j) * S, n);
      Day(a, n, knockOut, [&](int cp) { r_.paid[paid++] = cp; });
      if (winStart < n) std::copy(a.y, a.y + S, win + static_cast<std::size_t>(n - winStart - 1) * S);
      if (j + 1 < m_) std::swap(a.x, a.y);
    }
    const note::DateOutcome o = note::OnObservation<NS>(a.st, g_.rules, date, a.y, win);
    if (o.result != note::DateResult::Redeemed) {
      for (int j = 0; j < m_; ++j) r_.window[static_cast<std::size_t>(j) * S + last] = r_.last[j];
      return;
    }
    const double wUp = weight_ * pUp;
    for (int q = 0; q < paid; ++q) AddCoupon(r_.paid[q], wUp);
    Finish(d, d, o.payoff, wUp);
    SetLast(vDown);
    weight_ *= pDown;
  }

  const SimJob& job_;
  const EngineGrids& g_;
  Tally& t_;
  PathScratch& w_;
  Rows r_;
  bool enabled_;
  const double dt_ = 1.0 / kDaysPerYear;
  const double sqdt_ = std::sqrt(1.0 / kDaysPerYear);
  double pv_ = 0.0;
  double weight_ = 1.0;
  int n0_ = 0;           // the day before the window
  int m_ = 0;            // the window's days
  double z_ = 0.0;       // the sum of the last stock's drawn normals over the window
  double lastDiag_ = 1.0;
};

template <int NS, bool Plain>
template <class Source>
double ConditionalPath<NS, Plain>::Run(Source& normals, long long path) {
  const int S = this->S();
  const int K = g_.NStrike;
  const int NC = g_.NCoupon;
  const int D = g_.D;
  pv_ = 0.0;
  weight_ = 1.0;
  Walk m = WalkOn(w_.x.data(), w_.y.data(), w_.mem.data(), w_.place.data());
  std::copy(g_.p0.begin(), g_.p0.end(), m.x);
  for (int i = 0; i < S; ++i) {
    m.mem[i] = g_.memoryInit[i];
    m.place[i] = SurfacePlaceOf(g_.surface[i], m.x[i]);
  }
  m.st.memory = m.mem;
  m.st.touch = g_.touchInit;
  m.st.knockIn = g_.kiInit;
  m.st.breach = g_.couponBreachInit;
  m.coupon = NC > 0 ? g_.couponTerms.data() : nullptr;
  m.couponDay = NC > 0 ? g_.coupon[0].day : 0;

  auto mature = [&]() {
    const MaturityOutcome o = note::AtMaturity<NS>(m.st, g_.rules, m.y);
    Finish(o.knockedIn ? K + 1 : K, K - 1, o.payoff, weight_);
    return Close();
  };
  if (D < 1) {
    std::copy(m.x, m.x + S, m.y);
    return mature();
  }

  int d = 0;
  int prevT = 0;
  int T = g_.date[0].day;
  int winStart = T - g_.date[0].windowLen;
  double* win = w_.window.data() + g_.date[0].windowAt;
  const note::DateTerms* date = g_.dateTerms.data();
  int condEnd = 0;  // the window's rows are read up to this day
  for (int n = 1;; ++n) {
    const int start = std::max(T - job_.conditionalDays, prevT);
    if (n - 1 == start && n <= T) {
      n0_ = start;
      Condition(m, normals, d, T, *date, date->knockOut, win, winStart, path);
      condEnd = T;
    }
    const bool inWindow = n <= condEnd;
    Step(m, inWindow ? r_.window + static_cast<std::size_t>(n - n0_ - 1) * S : normals.Row(S), n);
    if (!inWindow) normals.template Produce<NS>();
    const double w = weight_;
    Day(m, n, date->knockOut, [&](int c) { AddCoupon(c, w); });
    if (winStart < n && n <= T) std::copy(m.y, m.y + S, win + static_cast<std::size_t>(n - winStart - 1) * S);
    if (n == T) {
      const note::DateOutcome o = note::OnObservation<NS>(m.st, g_.rules, *date, m.y, win);
      if (o.result == note::DateResult::Redeemed) {
        Finish(d, d, o.payoff, weight_);
        return Close();
      }
      if (o.result == note::DateResult::Matured) {
        Finish(o.knockedIn ? K + 1 : K, K - 1, o.payoff, weight_);
        return Close();
      }
      pv_ += weight_ * g_.date[d].df * date->redemCoupon;
      prevT = T;
      ++d;
      ++date;
      T = g_.date[d].day;
      winStart = T - g_.date[d].windowLen;
      win = w_.window.data() + g_.date[d].windowAt;
    }
    if (n == D) return mature();
    std::swap(m.x, m.y);
  }
}

template <int NS, bool Plain, class Source>
void RunPaths(const SimJob& job, RunTally& acc, PathScratch& w, Source& normals, long long from, long long to) {
  const EngineGrids& g = job.g;
  const Rows r = CarveRows(g, LongestWindow(job), w);
  ConditionalPath<NS, Plain> runner(job, acc.t, w, r, FactorInvertible(g));
  for (long long p = from; p < to && static_cast<double>(p) < g.trials; ++p) {
    normals.StartPath(p);
    AddPathValue(acc, p, runner.Run(normals, p), g.trials);
  }
}

template <bool Plain, class Source>
void RunPathsSized(const SimJob& job, RunTally& acc, PathScratch& w, Source& normals, long long from, long long to) {
  switch (job.g.NStock) {
    case 1:
      return RunPaths<1, Plain>(job, acc, w, normals, from, to);
    case 2:
      return RunPaths<2, Plain>(job, acc, w, normals, from, to);
    case 3:
      return RunPaths<3, Plain>(job, acc, w, normals, from, to);
    default:
      return RunPaths<0, Plain>(job, acc, w, normals, from, to);
  }
}

template <class Source>
void RunPathsFor(const SimJob& job, RunTally& acc, PathScratch& w, Source& normals, long long from, long long to) {
  bool plain = true;
  for (int i = 0; i < job.g.NStock; ++i) plain = plain && job.g.plainDrift[i] != 0 && job.g.cash[i] == 0;
  if (plain) {
    RunPathsSized<true>(job, acc, w, normals, from, to);
  } else {
    RunPathsSized<false>(job, acc, w, normals, from, to);
  }
}

}  // namespace

void ConditionalAlignedRows(const SimJob& job, PathRowReader& rows, long long from, long long to, PathScratch& w,
                            RunTally& acc) {
  RunPathsFor(job, acc, w, rows, from, to);
}

void ConditionalAlignedBlock(const SimJob& job, std::uint64_t seed, long long from, long long to, PathScratch& w,
                             RunTally& acc) {
  PathNormals normals(job.g.chol.data(), job.g.NStock, seed);
  RunPathsFor(job, acc, w, normals, from, to);
}

void ConditionalSobolBlock(const SimJob& job, const SobolPlan& plan, long long from, long long to, PathScratch& w,
                           RunTally& acc) {
  SobolNormals normals(job.g.chol.data(), job.g.NStock, job.g.D, plan);
  RunPathsFor(job, acc, w, normals, from, to);
}

}  // namespace morvik
