// The Brownian bridge's construction order and weights (Jäckel, "Monte
// Carlo methods in finance", 10.8.3), on unit time steps.
#include "numerics/brownian_bridge.h"

#include <cmath>

namespace morvik {

BrownianBridge::BrownianBridge(int steps) : n_(steps > 0 ? steps : 0) {
  const std::size_t n = static_cast<std::size_t>(n_);
  bridge_.assign(n, 0);
  left_.assign(n, 0);
  right_.assign(n, 0);
  leftWeight_.assign(n, 0.0);
  rightWeight_.assign(n, 0.0);
  sd_.assign(n, 0.0);
  if (n_ == 0) return;
  // map[k]: the construction step that sets point k, 0 while unset (the
  // last point is set by step 0 and marked 1 here).
  std::vector<int> map(n, 0);
  map[n - 1] = 1;
  bridge_[0] = n_ - 1;
  sd_[0] = std::sqrt(static_cast<double>(n_));
  int j = 0;
  for (int i = 1; i < n_; ++i) {
    while (map[static_cast<std::size_t>(j)] != 0) ++j;
    int k = j;
    while (map[static_cast<std::size_t>(k)] == 0) ++k;
    // Points j..k-1 are unset, k is set: the middle of the gap is next.
    const int l = j + ((k - 1 - j) >> 1);
    map[static_cast<std::size_t>(l)] = i;
    const std::size_t s = static_cast<std::size_t>(i);
    bridge_[s] = l;
    left_[s] = j;
    right_[s] = k;
    const double gap = static_cast<double>(k + 1 - j);
    leftWeight_[s] = static_cast<double>(k - l) / gap;
    rightWeight_[s] = static_cast<double>(l + 1 - j) / gap;
    sd_[s] = std::sqrt(static_cast<double>(l + 1 - j) * static_cast<double>(k - l) / gap);
    j = k + 1;
    if (j >= n_) j = 0;
  }
}

void BrownianBridge::Build(const double* z, double* w, double* dw) const {
  if (n_ == 0) return;
  w[n_ - 1] = sd_[0] * z[0];
  for (int i = 1; i < n_; ++i) {
    const std::size_t s = static_cast<std::size_t>(i);
    const int j = left_[s];
    const int k = right_[s];
    const int l = bridge_[s];
    if (j != 0) {
      w[l] = leftWeight_[s] * w[j - 1] + rightWeight_[s] * w[k] + sd_[s] * z[i];
    } else {
      w[l] = rightWeight_[s] * w[k] + sd_[s] * z[i];
    }
  }
  dw[0] = w[0];
  for (int i = 1; i < n_; ++i) dw[i] = w[i] - w[i - 1];
}

}  // namespace morvik
