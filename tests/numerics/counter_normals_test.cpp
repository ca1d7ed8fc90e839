#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "numerics/inverse_normal.h"
#include "numerics/philox.h"

namespace morvik {
namespace {

// Known answers of Philox-4x32-10 (zero, all-ones and pi-digit counters
// and keys), as published with the generator.
TEST(Philox, KnownAnswers) {
  struct Case {
    std::uint32_t c[4], k[2], out[4];
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, {0, 0}, {0x6627e8d5, 0xe169c58d, 0xbc57ac4c, 0x9b00dbd8}},
      {{0xffffffff, 0xffffffff, 0xffffffff, 0xffffffff},
       {0xffffffff, 0xffffffff},
       {0x408f276d, 0x41c83b0e, 0xa20bc7c6, 0x6d5451fd}},
      {{0x243f6a88, 0x85a308d3, 0x13198a2e, 0x03707344},
       {0xa4093822, 0x299f31d0},
       {0xd16cfe09, 0x94fdcceb, 0x5001e420, 0x24126ea1}},
  };
  for (const Case& t : cases) {
    const PhiloxBlock b = Philox4x32(t.c, t.k);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(b.w[j], t.out[j]) << j;
  }
}

TEST(Philox, OpenUniformStaysInsideTheUnitInterval) {
  EXPECT_EQ(OpenUniform(0), 0x1.0p-33);
  EXPECT_LT(OpenUniform(0xffffffffu), 1.0);
  EXPECT_EQ(OpenUniform(0x80000000u) - 0.5, 0x1.0p-33);
}

// Phi(InverseNormal(p)) against the C library's erfc, relative to the
// smaller tail, over the centre, both inner tails and the far tail. An error
// of one ulp in z moves the tail probability by about z^2 ulps, so the bound
// is a few ulps of z, not of p.
TEST(InverseNormal, InvertsTheDistributionFunctionToDoublePrecision) {
  auto tailOf = [](double z) { return 0.5 * std::erfc(std::fabs(z) / std::sqrt(2.0)); };
  for (double p : {1e-300, 1e-100, 1e-20, 1e-12, 3e-7, 1e-3, 0.02, 0.074, 0.075, 0.076, 0.2, 0.4999, 0.6, 0.925,
                   0.95, 0.975, 0.999}) {
    const double z = InverseNormal(p);
    const double tail = p < 0.5 ? p : 1.0 - p;
    const double err = std::fabs(tailOf(z) - tail) / tail;
    EXPECT_LT(err, 8.0 * (1.0 + z * z) * 0x1.0p-52) << p;
    EXPECT_EQ(z < 0.0, p < 0.5) << p;
  }
  EXPECT_NEAR(InverseNormal(0.975), 1.959963984540054, 1e-15);
  EXPECT_EQ(InverseNormal(0.5), 0.0);
  EXPECT_EQ(InverseNormal(0.25), -InverseNormal(0.75));
}

TEST(InverseNormal, EdgesAndInvalidProbabilities) {
  EXPECT_EQ(InverseNormal(0.0), -INFINITY);
  EXPECT_EQ(InverseNormal(1.0), INFINITY);
  EXPECT_TRUE(std::isnan(InverseNormal(-0.1)));
  EXPECT_TRUE(std::isnan(InverseNormal(1.5)));
  EXPECT_TRUE(std::isnan(InverseNormal(NAN)));
  // Rising across the joins of the three ranges (over a relative step of
  // 1e-9: from one double to the next the rational forms wobble by an ulp).
  for (double p : {0.075, 0.925, std::exp(-25.0)}) {
    EXPECT_LT(InverseNormal(p * (1 - 1e-9)), InverseNormal(p * (1 + 1e-9))) << p;
  }
}

}  // namespace
}  // namespace morvik
