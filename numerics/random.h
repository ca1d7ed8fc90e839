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

// Seeds of the stream. Seed k starts the congruential sequence k * kSeedStride
// steps further along its cycle (of 2^31 - 2 steps) than seed 0, which is
// StreamStart itself; everything else (warm-up, shuffle table, discarded
// first normal) is as in StreamStart. Seed k draws kSeedUniforms uniforms
// (about 2.6e7 normals, 1.27 uniforms a normal) before it reaches words that
// seed k + 1 has already drawn; a valuation that draws more overlaps the next
// seed's stream. The cycle holds kSeeds such stretches: seeds 0 .. kSeeds - 1.
inline constexpr std::int64_t kSeedStride = std::int64_t{1} << 25;
inline constexpr std::int64_t kSeedUniforms = kSeedStride - 31;  // less the warm-up and table
inline constexpr int kSeeds = 64;

// The stream of seed k (0 <= k < kSeeds; other values are taken modulo kSeeds).
RandState SeededStreamStart(int k);

// x * 16807^steps mod 2^31 - 1: the congruential state `steps` steps after x
// (1 <= x < 2^31 - 1), by modular exponentiation.
std::int32_t CongruentialJump(std::int32_t x, std::int64_t steps);

}  // namespace morvik
