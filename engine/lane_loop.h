// The W-lane path loop behind engine/lane_paths.h, for its two source files
// only: W paths of a block side by side, each lane one path's state; the
// day's normals drawn W-wide; each lane's step and note rules as the
// one-path loop of engine/simulate.cpp runs them, operation for operation.
// Internal linkage throughout: the AVX2 file compiles it under its target
// pragma (see numerics/philox_lanes.h).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/daily_step.h"
#include "engine/engine_grids.h"
#include "engine/note_state.h"
#include "engine/path_rows.h"
#include "engine/simulate.h"
#include "engine/vol_surface.h"
#include "numerics/conventions.h"
#include "numerics/philox_lanes.h"

namespace morvik {
namespace {

#if defined(MORVIK_LANES)

// Paths a lane loop takes at a time: their outcomes wait for the slowest
// of them before they enter the sums in path order.
constexpr long long kLaneChunk = 128;

// One path's outcome: its slot, payoff and present value.
struct LaneOutcome {
  int slot = 0;
  double payoff = 0.0;
  double pv = 0.0;
};

// One lane: a path's rows and the state the one-path loop keeps in its
// locals.
struct Lane {
  double* x = nullptr;
  double* y = nullptr;
  int* mem = nullptr;
  int* place = nullptr;
  double* window = nullptr;
  note::State st;
  long long path = -1;  // -1: idle
  int n = 1;            // the day the lane simulates next
  int c = 0;
  double couponValue = 0.0;
  double runningValue = 0.0;
  int d = 0;
  int T = 0;
  int winStart = 0;
  double* win = nullptr;
  const note::DateTerms* date = nullptr;
  note::Event knockOut;
  const note::CouponTerms* coupon = nullptr;
  int couponDay = 0;
};

// Every lane's rows, allocated once per call: x, y, memory flags, surface
// places and a copy of the windows.
struct LaneRows {
  std::vector<double> x, y, window;
  std::vector<int> mem, place;

  void Bind(Lane* lanes, int W, int S, const std::vector<double>& windows) {
    const std::size_t s = static_cast<std::size_t>(S), n = windows.size();
    x.assign(s * static_cast<std::size_t>(W), 0.0);
    y.assign(s * static_cast<std::size_t>(W), 0.0);
    mem.assign(s * static_cast<std::size_t>(W), 0);
    place.assign(s * static_cast<std::size_t>(W), 0);
    window.resize(n * static_cast<std::size_t>(W));
    for (int l = 0; l < W; ++l) {
      const std::size_t at = static_cast<std::size_t>(l);
      std::copy(windows.begin(), windows.end(), window.begin() + static_cast<std::ptrdiff_t>(at * n));
      lanes[l].x = x.data() + at * s;
      lanes[l].y = y.data() + at * s;
      lanes[l].mem = mem.data() + at * s;
      lanes[l].place = place.data() + at * s;
      lanes[l].window = window.data() + at * n;
    }
  }
};

// Path p enters the lane: the one-path loop's start.
template <int NS>
[[gnu::always_inline]] inline void StartLane(const EngineGrids& g, Lane& L, long long p) {
  const int S = NS > 0 ? NS : g.NStock;
  for (int i = 0; i < S; ++i) L.x[i] = g.p0[static_cast<std::size_t>(i)];
  for (int i = 0; i < S; ++i) L.mem[i] = g.memoryInit[static_cast<std::size_t>(i)];
  for (int i = 0; i < S; ++i) L.place[i] = SurfacePlaceOf(g.surface[static_cast<std::size_t>(i)], L.x[i]);
  L.st = note::State{};
  L.st.memory = L.mem;
  L.st.touch = g.touchInit;
  L.st.knockIn = g.kiInit;
  L.st.breach = g.couponBreachInit;
  L.path = p;
  L.n = 1;
  L.c = 0;
  L.couponValue = 0.0;
  L.runningValue = 0.0;
  L.d = 0;
  L.T = g.date[0].day;
  L.winStart = L.T - g.date[0].windowLen;
  L.win = L.window + g.date[0].windowAt;
  L.date = g.dateTerms.data();
  L.knockOut = L.date->knockOut;
  L.coupon = g.NCoupon > 0 ? g.couponTerms.data() : nullptr;
  L.couponDay = g.NCoupon > 0 ? g.coupon[0].day : 0;
}

// The lane's day L.n on its row z of correlated normals. Returns true when
// the path ends that day, its outcome in `o`; its coupons go straight into
// `t` (each coupon's sums add the same value for every path that collects
// it, so their order cannot change them).
template <int NS, bool Plain>
[[gnu::always_inline]] inline bool LaneDay(const EngineGrids& g, Tally& t, Lane& L, const double* z,
                                           LaneOutcome& o) {
  const int S = NS > 0 ? NS : g.NStock;
  const int K = g.NStrike;
  const int NC = g.NCoupon;
  const double dt = 1.0 / kDaysPerYear;
  const double sqdt = std::sqrt(1.0 / kDaysPerYear);
  const int n = L.n;
  double* x = L.x;
  double* y = L.y;
  const DayCoef* dc = g.day.data() + static_cast<std::size_t>(n - 1) * S;
  const VolSurface* surface = g.surface.data();
  const unsigned char* cash = g.cash.data();
  const unsigned char* plain = g.plainDrift.data();
  const double* p0 = g.p0.data();
#pragma GCC unroll 4
  for (int i = 0; i < S; ++i) {
    const double s = SurfaceVolAt(surface[i], x[i], L.place[i], dc[i].vol);
    y[i] = StepClose<Plain>(dc[i], x[i], s, z[i], sqdt, dt, plain[i], cash[i], p0[i]);
  }

  auto finish = [&](int slot, int payDate, double payoff) {
    o.slot = slot;
    o.payoff = payoff;
    o.pv = g.date[payDate].df * payoff + L.couponValue + L.runningValue;
    return true;
  };

  note::OnDay<NS>(L.st, g.rules, L.coupon, n == L.couponDay, L.knockOut, y, [&](bool paid) {
    const int c = L.c;
    if (paid) {
      t.couponProb[c] += 1.0;
      t.couponCf[c] += L.coupon->amount;
      L.couponValue += L.coupon->amount * g.coupon[c].df;
    }
    L.c = c + 1;
    L.coupon = L.c < NC ? L.coupon + 1 : nullptr;
    L.couponDay = L.c < NC ? g.coupon[L.c].day : 0;
  });

  if (L.winStart < n && n <= L.T) {
    double* row = L.win + static_cast<std::size_t>(n - L.winStart - 1) * S;
    for (int i = 0; i < S; ++i) row[i] = y[i];
  }

  if (n == L.T) {
    note::State at = L.st;
    const note::DateOutcome r = note::OnObservation<NS>(at, g.rules, *L.date, y, L.win);
    L.st = at;
    if (r.result == note::DateResult::Redeemed) return finish(L.d, L.d, r.payoff);
    if (r.result == note::DateResult::Matured) return finish(r.knockedIn ? K + 1 : K, K - 1, r.payoff);
    L.runningValue += g.date[L.d].df * L.date->redemCoupon;
    ++L.d;
    ++L.date;
    L.knockOut = L.date->knockOut;
    L.T = g.date[L.d].day;
    L.winStart = L.T - g.date[L.d].windowLen;
    L.win = L.window + g.date[L.d].windowAt;
  }
  if (n == g.D) {
    const MaturityOutcome m = note::AtMaturity<NS>(L.st, g.rules, y);
    return finish(m.knockedIn ? K + 1 : K, K - 1, m.payoff);
  }
  L.x = y;
  L.y = x;
  L.n = n + 1;
  return false;
}

// The generator's rows of W lanes on the path-addressed stream: each lane's
// day n - 1 of its path (PathNormals' rows), drawn and correlated W-wide.
template <int W, int NS>
class LaneNormals {
 public:
  typedef typename Lanes<W>::D D;

  LaneNormals(const double* chol, int stocks, std::uint64_t seed)
      : L_(chol),
        S_(NS > 0 ? NS : stocks),
        seed_(seed),
        z_(static_cast<std::size_t>((S_ + 3) / 4 * 4 * W), 0.0),
        row_(static_cast<std::size_t>(S_ * W), 0.0) {}

  void Start(int l, long long p) { path_[l] = static_cast<std::uint64_t>(p); }

  // The rows of the lanes' current days.
  [[gnu::always_inline]] void Draw(const Lane* lanes) {
    const int S = NS > 0 ? NS : S_;
    std::uint32_t day[W];
    for (int l = 0; l < W; ++l) day[l] = static_cast<std::uint32_t>(lanes[l].n - 1);
    double* z = z_.data();
    for (int g = 0; 4 * g < S; ++g) {
      const int used = S - 4 * g < 4 ? S - 4 * g : 4;
      D out[4];
      AddressedNormalLanes<W>(seed_, path_, day, static_cast<std::uint32_t>(g), out, used);
      for (int j = 0; j < used; ++j) std::memcpy(z + (4 * g + j) * W, &out[j], sizeof(D));
    }
    // CorrelateRow's sums, W lanes at once.
#pragma GCC unroll 4
    for (int i = 0; i < S; ++i) {
      const double* Li = L_ + static_cast<long>(i) * S;
      D v = D{} + 0.0;
#pragma GCC unroll 4
      for (int k = 0; k <= i; ++k) {
        D zk;
        std::memcpy(&zk, z + k * W, sizeof(D));
        v = v + Li[k] * zk;
      }
      for (int l = 0; l < W; ++l) row_[static_cast<std::size_t>(l * S + i)] = v[l];
    }
  }
  const double* Row(int l) const { return row_.data() + static_cast<std::size_t>(l * S_); }

 private:
  const double* L_;
  int S_;
  std::uint64_t seed_;
  std::uint64_t path_[W] = {};
  std::vector<double> z_;    // per stock, W lanes
  std::vector<double> row_;  // per lane, S stocks
};

// The rows of W lanes read from a cache of rows (engine/path_rows.h), each
// lane through its own copy of the reader.
template <int W>
class LaneRowReaders {
 public:
  LaneRowReaders(const PathRowReader& reader, int stocks) : S_(stocks) {
    for (int l = 0; l < W; ++l) reader_.push_back(reader);
  }
  void Start(int l, long long p) { reader_[static_cast<std::size_t>(l)].StartPath(p); }
  [[gnu::always_inline]] void Draw(const Lane* lanes) {
    for (int l = 0; l < W; ++l)
      if (lanes[l].path >= 0) row_[l] = reader_[static_cast<std::size_t>(l)].Row(S_);
  }
  const double* Row(int l) const { return row_[l]; }

 private:
  int S_;
  std::vector<PathRowReader> reader_;
  const double* row_[W] = {};
};

// Paths [from, to) (and below NTrials), W at a time: a lane whose path ends
// takes the next path of its chunk; at the end of each chunk the outcomes
// enter the sums in path order, as the one-path loop adds them.
template <int W, int NS, bool Plain, class Source>
[[gnu::always_inline]] inline void RunLanes(const EngineGrids& g, RunTally& acc, const PathScratch& w,
                                            Source& src, long long from, long long to) {
  const int S = NS > 0 ? NS : g.NStock;
  Lane lanes[W];
  LaneRows rows;
  rows.Bind(lanes, W, S, w.window);
  LaneOutcome outcome[kLaneChunk];
  Tally& t = acc.t;
  for (long long first = from;;) {
    long long end = first;
    while (end < to && end - first < kLaneChunk && static_cast<double>(end) < g.trials) ++end;
    if (end == first) break;
    long long next = first;
    int live = 0;
    for (int l = 0; l < W; ++l) {
      lanes[l].path = -1;
      if (next == end) continue;
      StartLane<NS>(g, lanes[l], next);
      src.Start(l, next++);
      ++live;
    }
    while (live > 0) {
      src.Draw(lanes);
      for (int l = 0; l < W; ++l) {
        Lane& L = lanes[l];
        if (L.path < 0) continue;
        if (!LaneDay<NS, Plain>(g, t, L, src.Row(l), outcome[L.path - first])) continue;
        if (next < end) {
          StartLane<NS>(g, L, next);
          src.Start(l, next++);
        } else {
          L.path = -1;
          --live;
        }
      }
    }
    for (long long p = first; p < end; ++p) {
      const LaneOutcome& o = outcome[p - first];
      t.prob[static_cast<std::size_t>(o.slot)] += 1.0;
      t.cf[static_cast<std::size_t>(o.slot)] += o.payoff;
      AddPathValue(acc, p, o.pv, g.trials);
    }
    first = end;
  }
}

// RunLanes with the loops over stocks unrolled for the usual basket sizes
// and only the plain step when every stock may take it (as RunPathsFor);
// `make.template For<NS>()` gives the source of the lanes' rows.
template <int W, int NS, class Make>
[[gnu::always_inline]] inline void RunLanesStep(const EngineGrids& g, RunTally& acc, const PathScratch& w,
                                                Make& make, long long from, long long to) {
  auto src = make.template For<NS>();
  bool plain = true;
  for (int i = 0; i < g.NStock; ++i) plain = plain && g.plainDrift[i] != 0 && g.cash[i] == 0;
  if (plain) {
    RunLanes<W, NS, true>(g, acc, w, src, from, to);
  } else {
    RunLanes<W, NS, false>(g, acc, w, src, from, to);
  }
}

// `Unrolled`: loops unrolled for one to three stocks (the general loop for
// any other count); else the general loop for every count, which compiles
// in a fifth of the time (each instance inlines the note's rules).
template <int W, bool Unrolled, class Make>
[[gnu::always_inline]] inline void RunLanesSized(const EngineGrids& g, RunTally& acc, const PathScratch& w,
                                                 Make& make, long long from, long long to) {
  if constexpr (Unrolled) {
    switch (g.NStock) {
      case 1:
        return RunLanesStep<W, 1>(g, acc, w, make, from, to);
      case 2:
        return RunLanesStep<W, 2>(g, acc, w, make, from, to);
      case 3:
        return RunLanesStep<W, 3>(g, acc, w, make, from, to);
      default:
        break;
    }
  }
  RunLanesStep<W, 0>(g, acc, w, make, from, to);
}

// The sources of the two entries.
template <int W>
struct MakeLaneNormals {
  const EngineGrids& g;
  std::uint64_t seed;
  template <int NS>
  LaneNormals<W, NS> For() const {
    return LaneNormals<W, NS>(g.chol.data(), g.NStock, seed);
  }
};
template <int W>
struct MakeLaneReaders {
  const EngineGrids& g;
  const PathRowReader& rows;
  template <int NS>
  LaneRowReaders<W> For() const {
    return LaneRowReaders<W>(rows, g.NStock);
  }
};

#endif  // MORVIK_LANES

}  // namespace
}  // namespace morvik
