// The Brownian bridge's construction order and weights (Jäckel, "Monte
// Carlo methods in finance", 10.8.3), on unit time steps, and the order in
// which the days need its steps.
#include "numerics/brownian_bridge.h"

#include <algorithm>
#include <cmath>

namespace morvik {

BrownianBridge::BrownianBridge(int steps, const std::vector<int>& leading) : n_(steps > 0 ? steps : 0) {
  const std::size_t n = static_cast<std::size_t>(n_);
  bridge_.assign(n, 0);
  left_.assign(n, 0);
  right_.assign(n, 0);
  leftWeight_.assign(n, 0.0);
  rightWeight_.assign(n, 0.0);
  sd_.assign(n, 0.0);
  order_.assign(n, 0);
  needed_.assign(n, 0);
  if (n_ == 0) return;
  // map[k]: whether point k is set yet.
  std::vector<char> map(n, 0);
  map[n - 1] = 1;
  bridge_[0] = n_ - 1;
  sd_[0] = std::sqrt(static_cast<double>(n_));
  int i = 1;
  // Step i sets point l between the set neighbours j - 1 (the origin when
  // j is 0) and k.
  const auto put = [&](int l, int j, int k) {
    map[static_cast<std::size_t>(l)] = 1;
    const std::size_t s = static_cast<std::size_t>(i++);
    bridge_[s] = l;
    left_[s] = j;
    right_[s] = k;
    const double gap = static_cast<double>(k + 1 - j);
    leftWeight_[s] = static_cast<double>(k - l) / gap;
    rightWeight_[s] = static_cast<double>(l + 1 - j) / gap;
    sd_[s] = std::sqrt(static_cast<double>(l + 1 - j) * static_cast<double>(k - l) / gap);
  };
  // The leading points in their order, each between its nearest set
  // neighbours.
  for (const int l : leading) {
    if (l < 0 || l >= n_ || map[static_cast<std::size_t>(l)] != 0) continue;
    int j = l;
    while (j > 0 && map[static_cast<std::size_t>(j - 1)] == 0) --j;
    int k = l;
    while (map[static_cast<std::size_t>(k)] == 0) ++k;  // the end is set
    put(l, j, k);
  }
  // Then every gap's middle, gap after gap, round after round.
  int j = 0;
  while (i < n_) {
    while (map[static_cast<std::size_t>(j)] != 0) j = j + 1 < n_ ? j + 1 : 0;
    int k = j;
    while (map[static_cast<std::size_t>(k)] == 0) ++k;  // the end is set
    // Points j..k-1 are unset, k is set: the middle of the gap is next.
    put(j + ((k - 1 - j) >> 1), j, k);
    j = k + 1 < n_ ? k + 1 : 0;
  }
  // A step is first needed by the first point of its gap (the points of
  // the gap below it are set by its children, which read it); its parents'
  // gaps start no later, and a stable sort keeps them first.
  for (int i = 0; i < n_; ++i) order_[static_cast<std::size_t>(i)] = i;
  std::stable_sort(order_.begin(), order_.end(),
                   [&](int a, int b) { return left_[static_cast<std::size_t>(a)] < left_[static_cast<std::size_t>(b)]; });
  int t = 0;
  for (int d = 0; d < n_; ++d) {
    while (t < n_ && left_[static_cast<std::size_t>(order_[static_cast<std::size_t>(t)])] <= d) ++t;
    needed_[static_cast<std::size_t>(d)] = t;
  }
}

void BrownianBridge::Build(const double* z, double* w, double* dw) const {
  if (n_ == 0) return;
  for (int i = 0; i < n_; ++i) Set(i, z[i], w);
  dw[0] = w[0];
  for (int i = 1; i < n_; ++i) dw[i] = w[i] - w[i - 1];
}

}  // namespace morvik
