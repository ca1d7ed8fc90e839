// One stream of uniform and standard normal random numbers.
#pragma once

#include <cstdint>

namespace morvik {

struct RandState {
  std::int32_t seed = -1;       // congruential state; <= 0 asks for (re)initialisation
  std::int32_t last = 0;        // word last taken from the shuffle table; 0 = table empty
  std::int32_t table[32] = {};  // shuffle table
  double spare = 0.0;           // second normal of the last pair
  int spare_flag = 0;           // 1 = spare not handed out yet
};

// Uniform on (0, 1): 1/M <= u <= 0.99999988.
double RandUniform(RandState& state);

// Standard normal. mode 0 resets the stream first, any other mode draws.
double RandNormal(RandState& state, int mode);

// The stream every valuation reads: the generator restarted from its fixed
// seed, with the normal of the reset draw discarded.
RandState StreamStart();

}  // namespace morvik
