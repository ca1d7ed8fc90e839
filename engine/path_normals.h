// The path-addressed ("aligned") source of correlated normals: the normal of
// stock i on day step d of path p is AddressedNormals(seed, p, d, i / 4),
// word i % 4, so a path's normals depend on no other path and any block of
// paths can run on its own. Each day's row is correlated through the lower
// factor as the default stream's rows are. The row of the next day is drawn
// right after a day's step, alongside the step's chain of arithmetic.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/correlate.h"
#include "numerics/addressed_normal.h"

namespace morvik {

class PathNormals {
 public:
  PathNormals(const double* chol, int stocks, std::uint64_t seed)
      : L_(chol), S_(stocks), seed_(seed), z_(Padded(stocks), 0.0), row_(static_cast<std::size_t>(stocks), 0.0) {}

  // Path p's first day (step 0).
  void StartPath(long long p) {
    path_ = static_cast<std::uint64_t>(p);
    day_ = 0;
    Draw<0>();
  }
  // The current day's row; valid until Produce().
  const double* Row(int /*stocks*/) const { return row_.data(); }
  // Moves on to the next day's row.
  template <int NS>
  void Produce() {
    ++day_;
    Draw<NS>();
  }

 private:
  static std::size_t Padded(int stocks) { return static_cast<std::size_t>((stocks + 3) / 4 * 4); }

  template <int NS>
  void Draw() {
    const int S = NS > 0 ? NS : S_;
    for (int g = 0; 4 * g < S; ++g) {
      const int used = S - 4 * g < 4 ? S - 4 * g : 4;
      AddressedNormals(seed_, path_, day_, static_cast<std::uint32_t>(g), z_.data() + 4 * g, used);
    }
    CorrelateRow<NS>(L_, S, z_.data(), row_.data());
  }

  const double* L_;
  int S_;
  std::uint64_t seed_;
  std::uint64_t path_ = 0;
  std::uint32_t day_ = 0;
  std::vector<double> z_;
  std::vector<double> row_;
};

}  // namespace morvik
