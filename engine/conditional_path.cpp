// The conditional estimator's path loop (see engine/conditional_path.h).
#include "engine/conditional_path.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

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
// Continuation probabilities below which a path plays Russian roulette.
constexpr double kRouletteBelow = 0.05;
// Rounds of the guided search before plain bisection.
constexpr int kGuidedRounds = 8;
// Path slots of the memo of thresholds: the paths of a run (at most a block
// of 128 consecutive paths) never share one.
constexpr long long kMemoPaths = 128;

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
  double* window = nullptr;  // m x S: the rows the path steps on in the window
  double* drawn = nullptr;   // m x S: the window's rows as drawn
  double* track = nullptr;   // m x S: the closes of a run of the window
  double* below = nullptr;   // m x S: of the highest searched point that does not redeem
  double* above = nullptr;   // m x S: of the lowest one that redeems
  double* sums = nullptr;    // S
  double* slotW = nullptr;   // NStrike + 2: the path's weight per outcome slot
  double* couponW = nullptr; // NCoupon
  double* bx = nullptr;      // S, the rows of a run of the window
  double* by = nullptr;
  int* bmem = nullptr;
  int* bplace = nullptr;
  int* paid = nullptr;       // NCoupon: coupons a run of the window pays
};

Rows CarveRows(const EngineGrids& g, int days, PathScratch& w) {
  const std::size_t S = static_cast<std::size_t>(g.NStock);
  const std::size_t cells = static_cast<std::size_t>(days) * S;
  const std::size_t K = static_cast<std::size_t>(g.NStrike + 2);
  const std::size_t NC = static_cast<std::size_t>(g.NCoupon);
  const std::size_t doubles = 5 * cells + 3 * S + K + NC;
  const std::size_t ints = 2 * S + NC + 1;
  if (w.condDoubles.size() < doubles) w.condDoubles.assign(doubles, 0.0);
  if (w.condInts.size() < ints) w.condInts.assign(ints, 0);
  Rows r;
  double* d = w.condDoubles.data();
  double** blocks[5] = {&r.window, &r.drawn, &r.track, &r.below, &r.above};
  for (double** b : blocks) {
    *b = d;
    d += cells;
  }
  r.sums = d;
  d += S;
  r.bx = d;
  d += S;
  r.by = d;
  d += S;
  r.slotW = d;
  d += K;
  r.couponW = d;
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
      : job_(job), g_(job.g), t_(t), w_(w), r_(r), enabled_(enabled), dir_(static_cast<std::size_t>(job.g.NStock)) {
    if (!enabled_) return;
    const int S = g_.NStock;
    const double* L = g_.chol.data();
    double norm = 0.0;
    for (int i = 0; i < S; ++i) {
      double e = 1.0;
      for (int k = 0; k < i; ++k) e -= L[static_cast<std::size_t>(i) * S + k] * dir_[k];
      dir_[i] = e / L[static_cast<std::size_t>(i) * S + i];
      norm += dir_[i] * dir_[i];
    }
    scale_ = 1.0 / std::sqrt(norm);
    for (double& e : dir_) e *= scale_;
  }

  template <class Source>
  double Run(Source& normals, long long path);

 private:
  int S() const { return NS > 0 ? NS : g_.NStock; }

  void Step(Walk& a, const double* z, int n, double shift = 0.0) const {
    const int S = this->S();
    const DayCoef* dc = g_.day.data() + static_cast<std::size_t>(n - 1) * S;
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const double s = SurfaceVolAt(g_.surface[i], a.x[i], a.place[i], dc[i].vol);
      a.y[i] = StepClose<Plain>(dc[i], a.x[i], s, z[i] + shift, sqdt_, dt_, g_.plainDrift[i], g_.cash[i], g_.p0[i]);
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

  // The correlated normals' common shift for v: every stock's daily normal
  // of the window moves by the same amount.
  double ShiftOf(double v) const { return scale_ * (v - v0_) / std::sqrt(static_cast<double>(m_)); }

  // The window after day n0_ run from `m` on the drawn rows shifted by
  // `shift` (in the branch's rows; each day's closes into r_.track), and
  // date d's outcome. With `coupons`, the coupons it pays go to r_.paid
  // (their count to `paid`); without, only the touch and the strike levels
  // are followed.
  note::DateOutcome RunWindow(const Walk& m, double shift, bool coupons, int& paid, const note::DateTerms& date,
                              const note::Event& knockOut, double* win, int winStart) {
    const int S = this->S();
    Walk a = WalkOn(r_.bx, r_.by, r_.bmem, r_.bplace);
    m.CopyInto(a, S);
    if (!coupons) a.coupon = nullptr;
    paid = 0;
    for (int j = 0; j < m_; ++j) {
      const int n = n0_ + 1 + j;
      Step(a, r_.drawn + static_cast<std::size_t>(j) * S, n, shift);
      Day(a, n, knockOut, [&](int cp) { r_.paid[paid++] = cp; });
      std::copy(a.y, a.y + S, r_.track + static_cast<std::size_t>(j) * S);
      if (winStart < n) std::copy(a.y, a.y + S, win + static_cast<std::size_t>(n - winStart - 1) * S);
      std::swap(a.x, a.y);
    }
    return note::OnObservation<NS>(a.st, g_.rules, date, r_.track + static_cast<std::size_t>(m_ - 1) * S, win);
  }

  bool RedeemsAt(const Walk& m, double v, const note::DateTerms& date, const note::Event& knockOut, double* win,
                 int winStart) {
    int paid = 0;
    return RunWindow(m, ShiftOf(v), false, paid, date, knockOut, win, winStart).result ==
           note::DateResult::Redeemed;
  }

  // A smooth guide to the date's redemption after a run of the window, >= 0
  // about where it redeems: the log of the best margin of a strike level
  // (the window's averages, or its best day, over the strikes) or of the
  // worst-of touch on the window's days. Leads the search only.
  double Guide(const note::DateTerms& date, const double* win) const {
    const int S = this->S();
    const int L = date.windowLen;
    double best = 0.0;
    for (int b = 0; b < kLevels; ++b) {
      const double* k = date.level[b].threshold.at;
      double level = date.average ? 1e300 : 0.0;
      for (int j = 0; j < L; ++j) {
        const double* row = win + static_cast<std::size_t>(j) * S;
        double worst = 1e300;
        for (int i = 0; i < S; ++i) worst = std::min(worst, row[i] / k[i]);
        if (!date.average) level = std::max(level, worst);
      }
      if (date.average) {
        for (int i = 0; i < S; ++i) {
          double sum = 0.0;
          for (int j = 0; j < L; ++j) sum += win[static_cast<std::size_t>(j) * S + i] / L;
          level = std::min(level, sum / k[i]);
        }
      }
      best = std::max(best, level);
    }
    if (g_.rules.touchMode == KnockOutTouch::Worst) {
      const double barrier = date.knockOut.threshold.at[0];
      for (int j = 0; j < m_; ++j) best = std::max(best, WorstOf(r_.track + static_cast<std::size_t>(j) * S, S) / barrier);
    }
    return std::log(best);
  }

  // Are the closes of r_.track between those of the bracket, day by day?
  // Only against the sides that have a point yet.
  bool Ordered(bool haveBelow, bool haveAbove) const {
    const std::size_t n = static_cast<std::size_t>(m_) * static_cast<std::size_t>(S());
    for (std::size_t j = 0; j < n; ++j)
      if (!((!haveBelow || r_.below[j] <= r_.track[j]) && (!haveAbove || r_.track[j] <= r_.above[j]))) return false;
    return true;
  }

  // The guide's slope in v, about, after a run in r_.track: each day's log
  // close moves by its local volatility times sqrt(dt) per unit of shift,
  // the shift being scale_ / sqrt(m) per unit of v; taken for the stock
  // that is worst against the first strike level on the run's last day.
  double GuideSlope(const Walk& m, const note::DateTerms& date) const {
    const int S = this->S();
    const double* last = r_.track + static_cast<std::size_t>(m_ - 1) * S;
    const double* k = date.level[0].threshold.at;
    int worst = 0;
    for (int i = 1; i < S; ++i)
      if (last[i] / k[i] < last[worst] / k[worst]) worst = i;
    const DayCoef* dc = g_.day.data() + static_cast<std::size_t>(n0_) * S;
    int place = m.place[worst];
    const double s = SurfaceVolAt(g_.surface[worst], m.x[worst], place, dc[worst].vol);
    return scale_ * std::sqrt(static_cast<double>(m_)) * s * sqdt_;
  }

  // The memo's slot of (path, date d), or -1 when it has none.
  long long MemoSlot(long long path, int d) const {
    const ConditionalMemo* memo = w_.condMemo;
    if (memo == nullptr || memo->stride <= 0 || d >= memo->stride) return -1;
    return (path % kMemoPaths) * memo->stride + d;
  }

  // The window before date d, from the state `m` after day n0_: reads its
  // rows, searches the threshold and, when there is one, adds the
  // redeeming draw's value and leaves the rows of a draw below it (the
  // path's weight multiplied by its probability); otherwise leaves the rows
  // as drawn. True when the path ends here (its roulette).
  template <class Source>
  bool Condition(Walk& m, Source& normals, int d, int T, const note::DateTerms& date, const note::Event& knockOut,
                 double* win, int winStart, long long path) {
    const int S = this->S();
    m_ = T - n0_;
    const std::size_t cells = static_cast<std::size_t>(m_) * static_cast<std::size_t>(S);
    for (int i = 0; i < S; ++i) r_.sums[i] = 0.0;
    for (int j = 0; j < m_; ++j) {
      const double* z = normals.Row(S);
      for (int i = 0; i < S; ++i) {
        r_.window[static_cast<std::size_t>(j) * S + i] = z[i];
        r_.sums[i] += z[i];
      }
      normals.template Produce<NS>();
    }
    if (!enabled_ || m.st.touch != 0) return false;
    std::copy(r_.window, r_.window + cells, r_.drawn);
    // v0: the window's independent normals projected on the common direction.
    const double* L = g_.chol.data();
    v0_ = 0.0;
    for (int i = 0; i < S; ++i) {
      double e = r_.sums[i];
      for (int k = 0; k < i; ++k) e -= L[static_cast<std::size_t>(i) * S + k] * r_.sums[k];
      r_.sums[i] = e / L[static_cast<std::size_t>(i) * S + i];
      v0_ += dir_[i] * r_.sums[i];
    }
    v0_ /= std::sqrt(static_cast<double>(m_));

    // The threshold. A first point: where another valuation of the path
    // found it (the memo), else the top of the range (a path that does not
    // redeem there keeps its draw). Then Newton steps on the guide: the
    // slope first the memo's or estimated from the worst stock's local
    // volatility, then the secant of the last two tested points; far from
    // the last point a step to the estimate r, near it the point half a
    // width past r on the other side, which closes the bracket when r is
    // right to half a width. The ends of the range are tried only when no
    // tested point fell on their side (a path that redeems at the bottom,
    // or not at the top, keeps its draw); bisection closes what the steps
    // left open.
    int paid = 0;
    double lo = kSearchLo, hi = kSearchHi;
    bool haveLo = false, haveHi = false, havePoint = false;
    double lastV = 0.0, lastG = 0.0, slope = 0.0;
    // 1: the point redeems, 0: it does not, -1: closes out of order.
    auto test = [&](double v) {
      const bool up = RedeemsAt(m, v, date, knockOut, win, winStart);
      if (!Ordered(haveLo, haveHi)) return -1;
      std::copy(r_.track, r_.track + cells, up ? r_.above : r_.below);
      (up ? hi : lo) = v;
      (up ? haveHi : haveLo) = true;
      const double gv = Guide(date, win);
      if (havePoint) {
        const double secant = (gv - lastG) / (v - lastV);
        if (std::isfinite(secant) && secant > 0.0) slope = secant;
      }
      havePoint = true;
      lastV = v;
      lastG = gv;
      return up ? 1 : 0;
    };
    const long long slot = MemoSlot(path, d);
    ConditionalMemo* memo = w_.condMemo;
    if (!w_.condKeeps && slot >= 0 && memo->path[slot] == path && memo->date[slot] == d) {
      slope = memo->slope[slot];
      if (test(std::min(hi - kSearchWidth, std::max(lo + kSearchWidth, memo->at[slot]))) < 0) return false;
    } else {
      if (test(hi) != 1) return false;
      slope = GuideSlope(m, date);
    }
    for (int round = 0; round < kGuidedRounds && hi - lo > kSearchWidth; ++round) {
      if (!(std::isfinite(lastG) && std::isfinite(slope) && slope > 0.0)) break;
      // An estimate beyond the bracket is drawn to just inside it.
      const double r = std::min(hi - kSearchWidth, std::max(lo + kSearchWidth, lastV - lastG / slope));
      double v = r;
      if (std::fabs(r - lastV) < 0.5 * kSearchWidth) v = lastV == hi ? r - 0.5 * kSearchWidth : r + 0.5 * kSearchWidth;
      if (!(lo < v && v < hi)) break;
      if (test(v) < 0) return false;  // not monotone on this path: the plain draw
    }
    if (!haveHi && test(kSearchHi) != 1) return false;
    if (!haveLo && test(kSearchLo) != 0) return false;
    while (hi - lo > kSearchWidth)
      if (test(0.5 * (lo + hi)) < 0) return false;
    if (w_.condKeeps && slot >= 0) {
      memo->path[slot] = path;
      memo->date[slot] = d;
      memo->at[slot] = hi;
      memo->slope[slot] = slope;
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

    // The redeeming draw: the window run again on it with its coupons; its
    // value counts only when it does redeem (it must, the closes being
    // increasing in v; else the plain draw stays).
    const note::DateOutcome o = RunWindow(m, ShiftOf(vUp), true, paid, date, knockOut, win, winStart);
    if (o.result != note::DateResult::Redeemed) return false;
    const double wUp = weight_ * pUp;
    for (int q = 0; q < paid; ++q) AddCoupon(r_.paid[q], wUp);
    Finish(d, d, o.payoff, wUp);
    const double shift = ShiftOf(vDown);
    for (std::size_t j = 0; j < cells; ++j) r_.window[j] = r_.drawn[j] + shift;
    // Russian roulette on a path unlikely to go on: it goes on with
    // probability pDown / kRouletteBelow at weight w * kRouletteBelow (the
    // same mean), so that few paths run to maturity on a small weight.
    if (pDown < kRouletteBelow) {
      if (OpenUniform(u.w[2]) * kRouletteBelow >= pDown) return true;
      weight_ *= kRouletteBelow;
    } else {
      weight_ *= pDown;
    }
    return false;
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
  double v0_ = 0.0;      // the drawn v of the window
  // The common direction: dir_ (independent normals, unit length) is
  // L^-1 1 scaled by scale_ = 1 / |L^-1 1|, so that L dir_ = scale_ 1.
  std::vector<double> dir_;
  double scale_ = 1.0;
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
      if (Condition(m, normals, d, T, *date, date->knockOut, win, winStart, path)) return Close();
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
  ConditionalMemo* memo = w.condMemo;
  if (memo != nullptr && w.condKeeps && memo->stride < g.NStrike) {
    const std::size_t slots = static_cast<std::size_t>(kMemoPaths) * static_cast<std::size_t>(g.NStrike);
    memo->stride = g.NStrike;
    memo->path.assign(slots, -1);
    memo->date.assign(slots, -1);
    memo->at.assign(slots, 0.0);
    memo->slope.assign(slots, 0.0);
  }
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
  SobolNormals normals(job.g, plan);
  RunPathsFor(job, acc, w, normals, from, to);
}

}  // namespace morvik
