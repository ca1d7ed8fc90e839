// The quasi-random source of correlated normals: path p is point p % points
// of scrambling p / points of the Sobol sequence (numerics/sobol.h), and
// each stock's daily normals are the increments of a Brownian bridge over
// the path's day steps (numerics/brownian_bridge.h). Coordinates go to the
// bridge's construction steps coarsest first, stock by stock in turn:
// coordinate j * S + i is stock i's normal of construction step j. A
// table of `dims` dimensions covers the first floor(dims / S) construction
// steps; the finer steps take the path-addressed normals of the same seed
// (AddressedNormals, construction step j in the day word). The split is
// cheap in accuracy: a bridge step's variance halves with each level, so
// the finest levels carry little of the payoff's variance and gain little
// from low discrepancy, while the direction-number table (Joe and Kuo, 3667
// dimensions from Boost) would not reach them on long daily notes. Each
// day's row is then correlated through the lower factor as the other
// streams' rows are. A path's normals depend on no other path, so blocks
// of paths run on any thread with the same results.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/correlate.h"
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

class SobolNormals {
 public:
  SobolNormals(const double* chol, int stocks, int days, const SobolPlan& plan)
      : L_(chol),
        S_(stocks),
        D_(days > 0 ? days : 0),
        J_(SobolSteps(plan.dirs->dims, stocks, days)),
        plan_(plan),
        walk_(*plan.dirs, J_ * stocks),
        seeds_(static_cast<std::size_t>(J_ * stocks), 0u),
        bridge_(D_),
        z_(static_cast<std::size_t>(D_) * static_cast<std::size_t>(stocks), 0.0),
        inc_(z_.size(), 0.0),
        w_(static_cast<std::size_t>(D_), 0.0),
        dw_(static_cast<std::size_t>(D_), 0.0),
        row_(static_cast<std::size_t>(stocks), 0.0) {}

  // Construction steps on Sobol coordinates for `days` steps of `stocks`.
  static int SobolSteps(int dims, int stocks, int days) {
    const int j = stocks > 0 ? dims / stocks : 0;
    return j < days ? j : (days > 0 ? days : 0);
  }

  void StartPath(long long p) {
    const long long r = p / plan_.points;
    const std::uint32_t k = static_cast<std::uint32_t>(p % plan_.points);
    const int n = J_ * S_;
    if (r != scramble_) {
      scramble_ = r;
      for (int d = 0; d < n; ++d)
        seeds_[static_cast<std::size_t>(d)] =
            ScrambleSeed(plan_.seed, static_cast<std::uint32_t>(r), static_cast<std::uint32_t>(d));
      walk_.Seek(k);
    } else if (k != 0 && k - 1 == walk_.Index()) {
      walk_.Next();
    } else {
      walk_.Seek(k);
    }
    // Normals by stock, in construction order: z_[i * D + j].
    const std::uint32_t* x = walk_.Coordinates();
    for (int j = 0; j < J_; ++j) {
      for (int i = 0; i < S_; ++i) {
        const std::size_t d = static_cast<std::size_t>(j * S_ + i);
        z_[static_cast<std::size_t>(i) * D_ + j] = Normal(OpenUniform(OwenScramble(x[d], seeds_[d])));
      }
    }
    double q[4];
    for (int j = J_; j < D_; ++j) {
      for (int g = 0; 4 * g < S_; ++g) {
        const int used = S_ - 4 * g < 4 ? S_ - 4 * g : 4;
        AddressedNormals(plan_.seed, static_cast<std::uint64_t>(p), static_cast<std::uint32_t>(j),
                         static_cast<std::uint32_t>(g), q, used);
        for (int u = 0; u < used; ++u) z_[static_cast<std::size_t>(4 * g + u) * D_ + j] = q[u];
      }
    }
    // Each stock's bridge, its increments into the day-major rows.
    for (int i = 0; i < S_; ++i) {
      bridge_.Build(z_.data() + static_cast<std::size_t>(i) * D_, w_.data(), dw_.data());
      for (int d = 0; d < D_; ++d) inc_[static_cast<std::size_t>(d) * S_ + i] = dw_[static_cast<std::size_t>(d)];
    }
    day_ = 0;
    if (D_ > 0) CorrelateRow<0>(L_, S_, inc_.data(), row_.data());
  }
  // The current day's row; valid until Produce().
  const double* Row(int /*stocks*/) const { return row_.data(); }
  // Moves on to the next day's row.
  template <int NS>
  void Produce() {
    ++day_;
    if (day_ < D_) CorrelateRow<NS>(L_, S_, inc_.data() + static_cast<std::size_t>(day_) * S_, row_.data());
  }

 private:
  // InverseNormal, its centre inline (the same bits).
  static double Normal(double u) {
    const double q = u - 0.5;
    if (q <= kInverseNormalCentre && q >= -kInverseNormalCentre) return InverseNormalCentre(q);
    return InverseNormal(u);
  }

  const double* L_;
  int S_;
  int D_;
  int J_;
  SobolPlan plan_;
  SobolWalk walk_;
  std::vector<std::uint32_t> seeds_;
  long long scramble_ = -1;
  BrownianBridge bridge_;
  std::vector<double> z_, inc_, w_, dw_, row_;
  int day_ = 0;
};

}  // namespace morvik
