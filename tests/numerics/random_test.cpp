#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "numerics/random.h"
#include "sig_digits.h"

using morvik::RandNormal;
using morvik::RandState;
using morvik::RandUniform;
using morvik_test::Sig12;

namespace {

// 16807^n mod (2^31 - 1) in plain 64-bit arithmetic, to check the
// overflow-free step independently.
std::int64_t PowerWord(int n) {
  std::int64_t s = 1;
  for (int i = 0; i < n; ++i) s = (s * 16807) % 2147483647;
  return s;
}

}  // namespace

TEST(RandUniform, FirstDrawsFromEngineRecord) {
  RandState st;
  EXPECT_EQ(Sig12(RandUniform(st)), "0.415999356851");
  EXPECT_EQ(Sig12(RandUniform(st)), "0.0919648907576");
  EXPECT_EQ(Sig12(RandUniform(st)), "0.756410485951");
  EXPECT_EQ(Sig12(RandUniform(st)), "0.529700193335");
}

TEST(RandUniform, WarmUpFillsTable) {
  RandState st;
  RandUniform(st);
  // The first draw replaces entry 784558821 / 2^26 = 11 only.
  EXPECT_EQ(st.table[0], 784558821);
  EXPECT_EQ(st.table[31], 1458777923);
  // Entry j holds the word after 40 - j steps from seed 1 (8 discarded).
  EXPECT_EQ(st.table[0], PowerWord(40));
  EXPECT_EQ(st.table[31], PowerWord(9));
  EXPECT_EQ(st.table[20], PowerWord(20));
  // The draw took entry 11 (word of step 29) and left step 41's word there.
  EXPECT_EQ(st.table[11], PowerWord(41));
  EXPECT_EQ(st.seed, PowerWord(41));
  EXPECT_EQ(st.last, PowerWord(29));
}

TEST(RandUniform, SeedsThatStartFromOne) {
  RandState ref;
  double expected[50];
  for (double& e : expected) e = RandUniform(ref);

  // Positive seed with an empty table, zero seed, and seeds whose magnitude
  // is a multiple of the modulus or does not fit: all start from seed 1.
  const std::int32_t seeds[] = {12345, 0, -2147483647, std::numeric_limits<std::int32_t>::min()};
  for (std::int32_t seed : seeds) {
    RandState st;
    st.seed = seed;
    for (int i = 0; i < 50; ++i) ASSERT_EQ(RandUniform(st), expected[i]) << "seed " << seed << " draw " << i;
  }
}

TEST(RandUniform, StaysInsideOpenInterval) {
  RandState st;
  const double lo = 1.0 / 2147483647.0;
  double sum = 0.0, mn = 1.0, mx = 0.0;
  const int n = 1000000;
  for (int i = 0; i < n; ++i) {
    const double u = RandUniform(st);
    ASSERT_GE(u, lo);
    ASSERT_LE(u, 0.99999988);
    sum += u;
    mn = u < mn ? u : mn;
    mx = u > mx ? u : mx;
  }
  EXPECT_NEAR(sum / n, 0.5, 0.002);
  EXPECT_LT(mn, 1e-4);
  EXPECT_GT(mx, 1.0 - 1e-4);
}

TEST(RandNormal, ListedSequenceAfterReset) {
  RandState st;
  EXPECT_EQ(Sig12(RandNormal(st, 0)), "-0.836853802593");
  EXPECT_EQ(Sig12(RandNormal(st, 1)), "-0.172279924073");
  EXPECT_EQ(Sig12(RandNormal(st, 1)), "0.187117448254");
  EXPECT_EQ(Sig12(RandNormal(st, 1)), "1.61543984901");
  EXPECT_EQ(Sig12(RandNormal(st, 1)), "-0.176774038977");
  EXPECT_EQ(Sig12(RandNormal(st, 1)), "0.653144674658");
}

TEST(RandNormal, PairIsBuiltFromTwoUniforms) {
  // Rebuild the first pair from the uniform stream by hand.
  RandState us;
  const double x1 = 2.0 * RandUniform(us) - 1.0;
  const double x2 = 2.0 * RandUniform(us) - 1.0;
  const double s = x1 * x1 + x2 * x2;
  ASSERT_LT(s, 1.0);  // the first pair of this stream is accepted
  const double f = std::sqrt(-2.0 * std::log(s) / s);

  RandState st;
  EXPECT_EQ(RandNormal(st, 0), x2 * f);
  EXPECT_EQ(st.spare_flag, 1);
  EXPECT_EQ(RandNormal(st, 1), x1 * f);
  EXPECT_EQ(st.spare_flag, 0);
}

TEST(RandNormal, ResetMidStreamStartsOver) {
  RandState st;
  double first[9];
  first[0] = RandNormal(st, 0);
  for (int i = 1; i < 9; ++i) first[i] = RandNormal(st, 1);

  // Stop with a spare pending, then reset: the spare is discarded.
  RandState mid;
  RandNormal(mid, 0);
  RandNormal(mid, 1);
  RandNormal(mid, 1);
  ASSERT_EQ(mid.spare_flag, 1);
  EXPECT_EQ(RandNormal(mid, 0), first[0]);
  for (int i = 1; i < 9; ++i) EXPECT_EQ(RandNormal(mid, 1), first[i]) << i;

  // Reset without a spare pending, after many draws.
  for (int i = 0; i < 1001; ++i) RandNormal(mid, 1);
  EXPECT_EQ(RandNormal(mid, 0), first[0]);
  for (int i = 1; i < 9; ++i) EXPECT_EQ(RandNormal(mid, 1), first[i]) << i;
}

TEST(RandNormal, MomentsOfStandardNormal) {
  RandState st;
  RandNormal(st, 0);
  const int n = 400000;
  double s1 = 0.0, s2 = 0.0, s4 = 0.0;
  for (int i = 0; i < n; ++i) {
    const double z = RandNormal(st, 1);
    ASSERT_TRUE(std::isfinite(z));
    s1 += z;
    s2 += z * z;
    s4 += z * z * z * z;
  }
  EXPECT_NEAR(s1 / n, 0.0, 0.01);
  EXPECT_NEAR(s2 / n, 1.0, 0.01);
  EXPECT_NEAR(s4 / n, 3.0, 0.06);
}
