#include "general_tools/Point.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(PointTest, DefaultIsOriginAndEqualityIsMemberwise) {
    const GT::CPointT<double> origin;
    EXPECT_EQ(origin.x, 0.0);
    EXPECT_EQ(origin.y, 0.0);
    EXPECT_TRUE(origin == GT::CPointT<double>(-0.0, 0.0));
    EXPECT_FALSE(origin == GT::CPointT<double>(0.0, 1.0));
    EXPECT_TRUE(origin != GT::CPointT<double>(1.0, 0.0));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const GT::CPointT<double> odd(nan, 0.0);
    EXPECT_FALSE(odd == odd);
    static_assert(sizeof(GT::CPointT<double>) == 16, "two doubles, x then y");
}

}  // namespace
