// The engine's source of correlated normals for a single valuation: the
// stream restarted from its fixed seed, drawn in path, day and stock order a
// block of days ahead, each day's row correlated through the lower factor.
// Drawing ahead changes nothing: every normal is used once, in stream order.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/correlate.h"
#include "numerics/random.h"

namespace morvik {

struct NormalSource {
  static constexpr std::size_t kBlockDays = 64;

  RandState state;  // seed word -1, every other field zero
  const double* L = nullptr;
  int S = 1;
  std::vector<double> z;
  std::vector<double> rows;
  std::size_t pos = 0;

  // Restarts the stream from its fixed seed (the reset draw is discarded)
  // for days of `stocks` normals correlated by the lower factor `chol`.
  void Reset(const double* chol, int stocks) {
    (void)RandNormal(state, 0);
    L = chol;
    S = stocks;
    z.assign(static_cast<std::size_t>(S), 0.0);
    rows.assign(kBlockDays * static_cast<std::size_t>(S), 0.0);
    pos = rows.size();
  }

  // The next day's correlated normals; `stocks` is the row length of Reset.
  const double* Row(int stocks) {
    if (pos == rows.size()) [[unlikely]] Refill();
    const double* r = rows.data() + pos;
    pos += static_cast<std::size_t>(stocks);
    return r;
  }

  void Refill() {
    for (std::size_t d = 0; d < kBlockDays; ++d) {
      for (int i = 0; i < S; ++i) z[i] = RandNormal(state, 1);
      CorrelateRow(L, S, z.data(), rows.data() + d * static_cast<std::size_t>(S));
    }
    pos = 0;
  }
};

}  // namespace morvik
