// The quasi-random source of correlated normals: path p is point p % points
// of scrambling p / points of the Sobol sequence (numerics/sobol.h), and
// each stock's daily normals are the increments of a Brownian bridge over
// the path's day steps (numerics/brownian_bridge.h). Coordinates go to the
// bridge's construction steps coarsest first, stock by stock in turn:
// coordinate j * S + i is stock i's normal of construction step j. The
// bridge's first steps after the end are the closes the payoff reads
// (SobolBridgeAnchors): the observation days in date order, then the coupon
// days (the middle one first, then the middles of each half, ...), then the
// middles between all these. The leading, best-spread coordinates so fall
// where the payoff is decided: on the README's two-stock note this lowers
// the price's variance about 1.5 times against a bisection of the whole
// span (the first autocall dates decide most paths).
//
// A table of `dims` dimensions covers the first floor(dims / S)
// construction steps; the finer steps take the path-addressed normals of
// the same seed (AddressedNormals, construction step j in the day word).
// The split costs little accuracy: a bridge step's variance halves with
// each level, so the finest levels carry little of the payoff's variance
// and gain little from low discrepancy, while the direction-number table
// (Joe and Kuo's, 3667 dimensions as Boost ships it) cannot reach them on
// long daily notes of several stocks.
//
// The bridge is set lazily, kAhead days at a time: a day's row needs only
// the steps whose gap starts on or before it, so a path that redeems early
// never computes the normals of its later fine steps. The values do not
// depend on how far a path runs. Each day's row is then correlated through the lower factor as
// the other streams' rows are. A path's normals depend on no other path,
// so blocks of paths run on any thread with the same results.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/correlate.h"
#include "engine/engine_grids.h"
#include "numerics/addressed_normal.h"
#include "numerics/brownian_bridge.h"
#include "numerics/inverse_normal.h"
#include "numerics/philox.h"
#include "numerics/sobol.h"

namespace morvik {

// What a valuation on the quasi-random stream reads: the direction
// numbers, the seed of the scramblings, and how paths map to points.
struct SobolPlan {
  const SobolDirections* dirs = nullptr;
  std::uint64_t seed = 0;
  int scrambles = 0;
  long long points = 0;  // per scrambling: the paths are scrambles * points
};

// The bridge points set first on a note's paths, in order (day t is point
// t - 1): every remaining observation day in date order, then the coupon
// days by bisection of their list (breadth first, between the origin and
// the last day).
inline std::vector<int> SobolBridgeAnchors(const EngineGrids& g) {
  std::vector<int> a;
  for (const ObservationDate& d : g.date) a.push_back(d.day - 1);
  std::vector<int> c{-1};
  for (const CouponDate& x : g.coupon) c.push_back(x.day - 1);
  c.push_back(g.D - 1);
  std::vector<std::pair<std::size_t, std::size_t>> halves{{0, c.size() - 1}};
  for (std::size_t h = 0; h < halves.size(); ++h) {
    const auto [lo, hi] = halves[h];
    if (hi - lo < 2) continue;
    const std::size_t mid = lo + (hi - lo) / 2;
    a.push_back(c[mid]);
    halves.emplace_back(lo, mid);
    halves.emplace_back(mid, hi);
  }
  return a;
}

class SobolNormals {
 public:
  SobolNormals(const EngineGrids& g, const SobolPlan& plan)
      : SobolNormals(g.chol.data(), g.NStock, g.D, SobolBridgeAnchors(g), plan) {}
  SobolNormals(const double* chol, int stocks, int days, const std::vector<int>& leading, const SobolPlan& plan)
      : L_(chol),
        S_(stocks),
        D_(days > 0 ? days : 0),
        J_(SobolSteps(plan.dirs->dims, stocks, days)),
        plan_(plan),
        walk_(*plan.dirs, J_ * stocks),
        seeds_(static_cast<std::size_t>(J_ * stocks), 0u),
        bridge_(D_, leading),
        w_(static_cast<std::size_t>(D_) * static_cast<std::size_t>(stocks), 0.0),
        u_(w_.size() + 2, 0.0),
        z_(w_.size() + 4, 0.0),
        inc_(static_cast<std::size_t>((stocks + 3) / 4 * 4), 0.0),
        rows_(static_cast<std::size_t>(kAhead) * static_cast<std::size_t>(stocks), 0.0) {}

  // Construction steps on Sobol coordinates for `days` steps of `stocks`.
  static int SobolSteps(int dims, int stocks, int days) {
    const int j = stocks > 0 ? dims / stocks : 0;
    return j < days ? j : (days > 0 ? days : 0);
  }

  void StartPath(long long p) {
    path_ = p;
    const long long r = p / plan_.points;
    const std::uint32_t k = static_cast<std::uint32_t>(p % plan_.points);
    if (r != scramble_) {
      scramble_ = r;
      const int n = J_ * S_;
      for (int d = 0; d < n; ++d)
        seeds_[static_cast<std::size_t>(d)] =
            ScrambleSeed(plan_.seed, static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(d));
      walk_.Seek(k);
    } else if (k != 0 && k - 1 == walk_.Index()) {
      walk_.Next();
    } else {
      walk_.Seek(k);
    }
    set_ = 0;
    day_ = 0;
    if (D_ > 0) Fill<0>();
  }
  // The current day's row; valid until Produce().
  const double* Row(int /*stocks*/) const {
    return rows_.data() + static_cast<std::size_t>(day_ - from_) * static_cast<std::size_t>(S_);
  }
  // Moves on to the next day's row.
  template <int NS>
  void Produce() {
    ++day_;
    if (day_ < D_ && day_ >= to_) Fill<NS>();
  }

  // Days whose rows are made together: their normals are independent of
  // one another, so their inversions overlap (a path may stop before the
  // last of them: a few rows' work wasted at most).
  static constexpr int kAhead = 8;

 private:
  // The rows of days day_ .. day_ + kAhead - 1 (up to the last day): the
  // bridge's steps they need (their normals first, then the steps in
  // order), then each day's increments correlated. w_[i * D + t]: stock
  // i's motion at time t + 1. Every value has the bits of a day-by-day
  // draw: the same operations on the same inputs.
  template <int NS>
  void Fill() {
    const int S = NS > 0 ? NS : S_;
    const std::size_t D = static_cast<std::size_t>(D_);
    const int last = day_ + kAhead < D_ ? day_ + kAhead : D_;
    const int upTo = bridge_.Needed(last - 1);
    const std::uint32_t* x = walk_.Coordinates();
    double* u = u_.data();
    double* z = z_.data();
    // The scrambled coordinates as uniforms, in order; the finer steps'
    // path-addressed normals at their step's place in z.
    int n = 0;
    for (int t = set_; t < upTo; ++t) {
      const int j = bridge_.Order(t);
      if (j < J_) {
        for (int i = 0; i < S; ++i) {
          const std::size_t d = static_cast<std::size_t>(j * S + i);
          u[n++] = OpenUniform(OwenScramble(x[d], seeds_[d]));
        }
      } else {
        double* zt = z + static_cast<std::size_t>(t - set_) * static_cast<std::size_t>(S);
        for (int g = 0; 4 * g < S; ++g) {
          const int used = S - 4 * g < 4 ? S - 4 * g : 4;
          AddressedNormals(plan_.seed, static_cast<std::uint64_t>(path_), static_cast<std::uint32_t>(j),
                           static_cast<std::uint32_t>(g), zt + 4 * g, used);
        }
      }
    }
    // InverseNormal of each uniform in place: the centre formula two at a
    // time (the same IEEE operations per lane), the tails one by one.
    u[n] = 0.5;
    for (int k = 0; k < n; k += 2) {
#if defined(__GNUC__)
      typedef double Pair __attribute__((vector_size(16)));
      const Pair c = InverseNormalCentreOf(Pair{u[k] - 0.5, u[k + 1] - 0.5});
      const double centre[2] = {c[0], c[1]};
#else
      const double centre[2] = {InverseNormalCentre(u[k] - 0.5), InverseNormalCentre(u[k + 1] - 0.5)};
#endif
      for (int l = 0; l < 2 && k + l < n; ++l) {
        const double q = u[k + l] - 0.5;
        u[k + l] = q <= kInverseNormalCentre && q >= -kInverseNormalCentre ? centre[l] : InverseNormal(u[k + l]);
      }
    }
    int m = 0;
    for (int t = set_; t < upTo; ++t) {
      const int j = bridge_.Order(t);
      const double* zt = u + m;
      if (j < J_) {
        m += S;
      } else {
        zt = z + static_cast<std::size_t>(t - set_) * static_cast<std::size_t>(S);
      }
      for (int i = 0; i < S; ++i) bridge_.Set(j, zt[i], w_.data() + i * D);
    }
    set_ = upTo;
    for (int day = day_; day < last; ++day) {
      const std::size_t t = static_cast<std::size_t>(day);
      for (int i = 0; i < S; ++i) {
        const double* w = w_.data() + i * D;
        inc_[static_cast<std::size_t>(i)] = t == 0 ? w[0] : w[t] - w[t - 1];
      }
      CorrelateRow<NS>(L_, S, inc_.data(), rows_.data() + static_cast<std::size_t>(day - day_) * static_cast<std::size_t>(S));
    }
    from_ = day_;
    to_ = last;
  }

  const double* L_;
  int S_;
  int D_;
  int J_;
  SobolPlan plan_;
  SobolWalk walk_;
  std::vector<std::uint32_t> seeds_;
  long long scramble_ = -1;
  long long path_ = 0;
  BrownianBridge bridge_;
  // w_: the motions; u_, z_: a batch's normals (D x S at most, padded);
  // inc_: a day's increments; rows_: the batch's rows.
  std::vector<double> w_, u_, z_, inc_, rows_;
  int set_ = 0;  // steps of the bridge's order set on this path
  int day_ = 0;
  int from_ = 0, to_ = 0;  // the days whose rows are in rows_
};

}  // namespace morvik
