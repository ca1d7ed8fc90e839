// The engine's source of correlated normals for a single valuation: the
// stream restarted from its fixed seed, drawn in path, day and stock order,
// each day's row correlated through the lower factor. Rows are drawn a few
// days ahead: the path loop asks for one new row after each day's step, so
// the generator's work runs alongside the step's long chain of dependent
// arithmetic instead of after it. Drawing ahead changes nothing: every
// normal is used once, in stream order.
#pragma once

#include <cstddef>
#include <vector>

#include "engine/correlate.h"
#include "numerics/random.h"

namespace morvik {

struct NormalSource {
  static constexpr std::size_t kAhead = 8;  // rows held

  RandState state;
  const double* L = nullptr;
  int S = 1;
  std::vector<double> z;
  std::vector<double> rows;
  double* next = nullptr;  // the row Row() hands out next
  double* last = nullptr;  // the row Row() handed out last

  // Restarts the stream of `seed` (SeededStreamStart; 0 is the fixed one) for
  // days of `stocks` normals correlated by the lower factor `chol`.
  void Reset(const double* chol, int stocks, int seed = 0) {
    state = SeededStreamStart(seed);
    L = chol;
    S = stocks;
    z.assign(static_cast<std::size_t>(S), 0.0);
    rows.assign(kAhead * static_cast<std::size_t>(S), 0.0);
    for (std::size_t r = 0; r < kAhead; ++r) DrawRow<0>(rows.data() + r * static_cast<std::size_t>(S));
    next = rows.data();
    last = next;
  }

  // Paths follow each other in the stream: nothing to do at a path's start.
  void StartPath(long long /*path*/) {}

  // The next day's correlated normals; `stocks` is the row length of Reset.
  // Valid until the following Produce().
  const double* Row(int stocks) {
    last = next;
    next += stocks;
    if (next == rows.data() + rows.size()) next = rows.data();
    return last;
  }

  // Draws the row kAhead days after the one Row() handed out last, into its
  // slot. NS: the row length when known at compile time, else 0.
  template <int NS>
  void Produce() {
    DrawRow<NS>(last);
  }

  template <int NS>
  void DrawRow(double* out) {
    DrawCorrelatedRow<NS>(state, L, S, z.data(), out);
  }
};

}  // namespace morvik
