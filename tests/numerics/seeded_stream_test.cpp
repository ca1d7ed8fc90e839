// Seeds of the default stream: seed 0 is the fixed stream, seed k starts
// k strides further along the congruential cycle.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "numerics/random.h"

namespace morvik {
namespace {

TEST(SeededStream, SeedZeroIsTheFixedStreamAndSeedsModuloTheirCount) {
  RandState a = StreamStart();
  RandState b = SeededStreamStart(0);
  RandState c = SeededStreamStart(kSeeds);
  EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
  EXPECT_EQ(std::memcmp(&a, &c, sizeof a), 0);
  for (int k = 0; k < 100; ++k) {
    const double x = RandNormal(a, 1);
    ASSERT_EQ(x, RandNormal(b, 1)) << k;
  }
  RandState d = SeededStreamStart(1);
  RandState e = StreamStart();
  EXPECT_NE(RandNormal(d, 1), RandNormal(e, 1));
}

// The jump against the generator's own steps: the state word after m draws
// is the start word moved m steps on.
TEST(SeededStream, JumpAheadMatchesTheGeneratorsSteps) {
  for (const int seed : {0, 1, 63}) {
    RandState s = SeededStreamStart(seed);
    const std::int32_t start = s.seed;
    for (int m = 1; m <= 300000; ++m) {
      (void)RandUniform(s);
      if (m == 1 || m == 1000 || m == 300000) {
        EXPECT_EQ(s.seed, CongruentialJump(start, m)) << seed << " " << m;
      }
    }
  }
  // Seed k starts k strides along: after its 40 warm-up steps and the
  // uniform pairs of its discarded first normal.
  const RandState s5 = SeededStreamStart(5);
  bool found = false;
  for (int pairs = 1; pairs <= 10; ++pairs) found = found || s5.seed == CongruentialJump(1, 5 * kSeedStride + 40 + 2 * pairs);
  EXPECT_TRUE(found);
  // The cycle has 2^31 - 2 steps; jumps add up.
  EXPECT_EQ(CongruentialJump(12345, 2147483646LL), 12345);
  EXPECT_EQ(CongruentialJump(CongruentialJump(777, 1000003), 99991), CongruentialJump(777, 1000003 + 99991));
}

}  // namespace
}  // namespace morvik
