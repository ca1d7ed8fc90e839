// Philox-4x32-10, a counter-based generator: four 32-bit words that are a
// fixed function of a 128-bit counter and a 64-bit key, so any number of the
// stream can be computed on its own, in any order, on any thread.
#pragma once

#include <cstdint>

namespace morvik {

struct PhiloxBlock {
  std::uint32_t w[4];
};

// The ten rounds of Philox-4x32 on counter c under key k.
inline PhiloxBlock Philox4x32(const std::uint32_t c[4], const std::uint32_t k[2]) {
  constexpr std::uint64_t kMul0 = 0xD2511F53u;
  constexpr std::uint64_t kMul1 = 0xCD9E8D57u;
  constexpr std::uint32_t kWeyl0 = 0x9E3779B9u;
  constexpr std::uint32_t kWeyl1 = 0xBB67AE85u;
  std::uint32_t x0 = c[0], x1 = c[1], x2 = c[2], x3 = c[3];
  std::uint32_t k0 = k[0], k1 = k[1];
  for (int round = 0; round < 10; ++round) {
    const std::uint64_t p0 = kMul0 * x0;
    const std::uint64_t p1 = kMul1 * x2;
    const std::uint32_t y0 = static_cast<std::uint32_t>(p1 >> 32) ^ x1 ^ k0;
    const std::uint32_t y1 = static_cast<std::uint32_t>(p1);
    const std::uint32_t y2 = static_cast<std::uint32_t>(p0 >> 32) ^ x3 ^ k1;
    const std::uint32_t y3 = static_cast<std::uint32_t>(p0);
    x0 = y0;
    x1 = y1;
    x2 = y2;
    x3 = y3;
    k0 += kWeyl0;
    k1 += kWeyl1;
  }
  return PhiloxBlock{{x0, x1, x2, x3}};
}

// A uniform in the open interval (0, 1) from one word: (w + 1/2) / 2^32,
// exact in a double.
inline double OpenUniform(std::uint32_t w) { return (static_cast<double>(w) + 0.5) * 0x1.0p-32; }

}  // namespace morvik
