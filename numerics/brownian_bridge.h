// The Brownian bridge over unit steps: the increments of a standard
// Brownian motion on steps 1..n built from n independent normals taken
// coarsest point first (the end, then the middle, then the quarters, ...),
// so that the leading normals carry most of the path's variance.
#pragma once

#include <vector>

namespace morvik {

class BrownianBridge {
 public:
  explicit BrownianBridge(int steps);
  int Steps() const { return n_; }
  // z[0..n-1] in construction order to the n increments dw[0..n-1] (each a
  // standard normal, independent of the others when the z are). `w` is
  // scratch of n values.
  void Build(const double* z, double* w, double* dw) const;

 private:
  int n_;
  // Construction step i sets point bridge_[i] (the motion at time
  // bridge_[i] + 1) from its left neighbour left_[i] (time left_[i], 0 the
  // origin) and right neighbour right_[i].
  std::vector<int> bridge_, left_, right_;
  std::vector<double> leftWeight_, rightWeight_, sd_;
};

}  // namespace morvik
