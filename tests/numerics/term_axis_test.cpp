// The term-axis interval rules: on an interior tenor each picks its own
// interval, and no walk leaves the axis when it holds a NaN.
#include <gtest/gtest.h>

#include <limits>

#include "numerics/term_axis.h"

namespace morvik {
namespace {

TEST(TermAxis, EachRulePicksItsIntervalOnAnInteriorTenor) {
  const double T[] = {0.5, 1.0, 2.0, 3.0};
  // Inside an interval all three agree.
  EXPECT_EQ(TenorInterval(T, 4, 1.5), 1);
  EXPECT_EQ(FirstTenorAtOrAbove(T, 4, 1.5), 2);
  EXPECT_EQ(FirstTenorAbove(T, 4, 1.5), 2);
  // On T[2]: the interval starting there, ending there, starting there.
  EXPECT_EQ(TenorInterval(T, 4, 2.0), 2);
  EXPECT_EQ(FirstTenorAtOrAbove(T, 4, 2.0), 2);
  EXPECT_EQ(FirstTenorAbove(T, 4, 2.0), 3);
  // A start further along (a hint) walks on from there.
  EXPECT_EQ(FirstTenorAbove(T, 4, 2.5, 2), 3);
}

TEST(TermAxis, WalksStopAtTheEndOfAnAxisHoldingNaN) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double T[] = {0.5, 1.0, nan};
  // t = 2 is not at or above a NaN last tenor, so callers ask.
  EXPECT_EQ(TenorInterval(T, 3, 2.0), 1);
  EXPECT_EQ(FirstTenorAtOrAbove(T, 3, 2.0), 2);
  EXPECT_EQ(FirstTenorAbove(T, 3, 2.0), 2);
  const double U[] = {0.5, nan, 2.0, 3.0};
  EXPECT_EQ(TenorInterval(U, 4, 1.5), 2);
  EXPECT_EQ(FirstTenorAtOrAbove(U, 4, 1.5), 1);
  EXPECT_EQ(FirstTenorAbove(U, 4, 1.5), 2);
  EXPECT_EQ(FirstTenorAbove(U, 4, nan), 3);
}

}  // namespace
}  // namespace morvik
