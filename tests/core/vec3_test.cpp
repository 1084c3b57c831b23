#include "core/vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Vec3, DoublesBeyondTheFloatRangeBecomeInfinitiesThatChecksSee) {
  const double big = 1e300;
  const Vec3 v(big, -big, 0.5);
  EXPECT_TRUE(std::isinf(v.x) && v.x > 0);
  EXPECT_TRUE(std::isinf(v.y) && v.y < 0);
  EXPECT_EQ(v.z, 0.5f);
  EXPECT_EQ(Vec3(std::numeric_limits<float>::max(), 0, 0).x, std::numeric_limits<float>::max());
  EXPECT_TRUE(std::isnan(Vec3(std::nan(""), 0, 0).x));
}
