// The Brownian bridge over unit steps: the increments of a standard
// Brownian motion on steps 1..n built from n independent normals taken
// coarsest point first (the end, then the middle, then the quarters, ...),
// so that the leading normals carry most of the path's variance. Chosen
// points (a note's observation days) may come first, right after the end:
// the leading normals then set what the payoff reads most. The points can
// be set lazily, as far as the days reached need them.
#pragma once

#include <vector>

namespace morvik {

class BrownianBridge {
 public:
  // `leading`: points (0-based) set right after the end point, in that
  // order, each from its nearest set neighbours (points out of range or
  // already set are skipped); then the gaps between set points are filled
  // middle first, a level at a time across all gaps. None: the plain
  // bisection of the whole span.
  explicit BrownianBridge(int steps, const std::vector<int>& leading = {});
  int Steps() const { return n_; }

  // Construction step i (0 <= i < n) with its normal z: sets w[Point(i)],
  // the motion at time Point(i) + 1, from its neighbours already set.
  int Point(int i) const { return bridge_[static_cast<std::size_t>(i)]; }
  void Set(int i, double z, double* w) const {
    const std::size_t s = static_cast<std::size_t>(i);
    const int j = left_[s];
    if (i == 0) {
      w[bridge_[s]] = sd_[s] * z;
    } else if (j != 0) {
      w[bridge_[s]] = leftWeight_[s] * w[j - 1] + rightWeight_[s] * w[right_[s]] + sd_[s] * z;
    } else {
      w[bridge_[s]] = rightWeight_[s] * w[right_[s]] + sd_[s] * z;
    }
  }

  // The steps in the order the days need them: Needed(d) is how many of
  // Order(0), Order(1), ... must have been set for the motion at times
  // 1..d+1 (points 0..d) to be known. Parents come before their children.
  int Order(int t) const { return order_[static_cast<std::size_t>(t)]; }
  int Needed(int day) const { return needed_[static_cast<std::size_t>(day)]; }

  // Every step: z[0..n-1] in construction order to the n increments
  // dw[0..n-1] (dw[d] = w[d] - w[d-1], w[-1] = 0: independent standard
  // normals when the z are). `w` is scratch of n values.
  void Build(const double* z, double* w, double* dw) const;

 private:
  int n_;
  // Step i sets point bridge_[i] from its left neighbour left_[i] - 1 (the
  // origin when left_[i] is 0: the gap starts at point left_[i]) and its
  // right neighbour right_[i].
  std::vector<int> bridge_, left_, right_;
  std::vector<double> leftWeight_, rightWeight_, sd_;
  std::vector<int> order_, needed_;
};

}  // namespace morvik
