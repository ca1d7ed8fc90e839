// The engine's one source of standard normals. Every draw of a valuation goes
// through Next(), in path, day and stock order, so a precomputed stream of the
// same normals can replace it without touching the path logic.
#pragma once

#include "numerics/random.h"

namespace morvik {

struct NormalSource {
  RandState state;  // seed word -1, every other field zero

  // Restarts the stream from its fixed seed; the reset draw is discarded.
  void Reset() { (void)RandNormal(state, 0); }

  double Next() { return RandNormal(state, 1); }
};

}  // namespace morvik
