// The two-lane path-addressed normals (numerics/philox_lanes.h): each lane
// gives the bits AddressedNormals gives for its own address, tails included,
// for paths and seeds that use their high 32 bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "numerics/addressed_normal.h"
#include "numerics/philox_lanes.h"

namespace morvik {
namespace {

#if defined(MORVIK_LANES)

std::uint64_t Bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

TEST(PhiloxLanes, EachLaneIsTheAddressedNormalOfItsAddress) {
  const std::uint64_t seeds[] = {0, 7, 0x123456789abcdef0ull};
  int tails = 0;
  for (const std::uint64_t seed : seeds) {
    for (int k = 0; k < 400; ++k) {
      // Two different paths on two different days, one with high bits.
      const std::uint64_t path[2] = {static_cast<std::uint64_t>(k) * 977u,
                                     (static_cast<std::uint64_t>(k) << 33) + 5u};
      const std::uint32_t day[2] = {static_cast<std::uint32_t>(k % 750), static_cast<std::uint32_t>(3 * k + 1)};
      const std::uint32_t g = static_cast<std::uint32_t>(k % 3);
      const int used = 1 + k % 4;
      Lanes<2>::D out[4];
      AddressedNormalLanes<2>(seed, path, day, g, out, used);
      for (int l = 0; l < 2; ++l) {
        double want[4];
        AddressedNormals(seed, path[l], day[l], g, want, used);
        for (int j = 0; j < used; ++j) {
          ASSERT_EQ(Bits(out[j][l]), Bits(want[j])) << "seed " << seed << " k " << k << " lane " << l << " word " << j;
          tails += std::fabs(want[j]) > 1.4396 ? 1 : 0;  // a tail: |q| > 0.425
        }
      }
    }
  }
  EXPECT_GT(tails, 100);  // the lane-by-lane tails were exercised
}

#endif

}  // namespace
}  // namespace morvik
