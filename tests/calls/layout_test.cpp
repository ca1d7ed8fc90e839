// Lengths of the full call's arrays summed over the stocks: negative counts
// are no values, and a sum beyond 64 bits saturates instead of wrapping.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "calls/layout.h"

namespace morvik {
namespace {

TEST(Layout, CurveAndSurfaceLengthsReadNegativeCountsAsNoValues) {
  const int NT[] = {-2, 4, -1, 3};
  EXPECT_EQ(layout::CurvePointsLength(NT, 3), 7);
  EXPECT_EQ(layout::CurvePointsLength(nullptr, -1), 0);  // NT holds no counts then
  const int NVol[] = {-2, 4, -3};
  const int NParity[] = {3, 5, -4};
  EXPECT_EQ(layout::SurfaceLength(NVol, NParity, 3), 20);
  EXPECT_EQ(layout::SurfaceLength(NVol, NParity, 0), 0);
}

TEST(Layout, SurfaceLengthSaturatesBeyondSixtyFourBits) {
  const int big[] = {INT_MAX, INT_MAX, INT_MAX};
  const layout::Length block = static_cast<layout::Length>(INT_MAX) * INT_MAX;
  EXPECT_EQ(layout::SurfaceLength(big, big, 2), 2 * block);
  EXPECT_EQ(layout::SurfaceLength(big, big, 3), INT64_MAX);
  const int NT[] = {INT_MAX, INT_MAX, INT_MAX};
  EXPECT_EQ(layout::CurvePointsLength(NT, 2), 3 * static_cast<layout::Length>(INT_MAX));
}

}  // namespace
}  // namespace morvik
