#include "general_tools/Rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::uint64_t Bits(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

TEST(Round, HalfAwayFromZeroBitForBit) {
    struct Case {
        double x;
        double expected;
    };
    const Case cases[] = {
        {1.5, 2.0},
        {-1.5, -2.0},
        {2.5, 3.0},
        {-2.5, -3.0},
        {0.5, 1.0},
        {-0.5, -1.0},
        {2.4999, 2.0},
        {-2.4999, -2.0},
        // The sum is rounded to double before floor: 0.5 - 2^-54 + 0.5 ties to 1.0.
        {0.49999999999999994, 1.0},
        {-0.49999999999999994, -1.0},
        // Above 2^52 the sum x + 0.5 ties to even as well.
        {4503599627370497.0, 4503599627370498.0},
        {-0.0, 0.0},  // gives +0.0
        {0.0, 0.0},
        {-0.4, -0.0},  // ceil(-0.9) keeps the sign
        {1e300, 1e300},
        {kInf, kInf},
        {-kInf, -kInf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(Bits(GT::Round(c.x)), Bits(c.expected));
    }
    EXPECT_TRUE(std::isnan(GT::Round(kNaN)));
}

TEST(Clamp, SignedEightBitTruncatesAndSendsNaNHigh) {
    struct Case {
        double x;
        std::int8_t expected;
    };
    const Case cases[] = {
        {200.0, 127},   {-200.0, -127}, {12.9, 12},  {-12.9, -12},  {kNaN, 127},
        {-127.0, -127}, {127.0, 127},   {kInf, 127}, {-kInf, -127}, {-127.5, -127},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::Clamp<std::int8_t>(c.x, -127, 127), c.expected);
    }
}

TEST(Clamp, UnsignedAndWideIntegers) {
    EXPECT_EQ(GT::Clamp<std::uint8_t>(-0.5, 0, 255), 0);
    EXPECT_EQ(GT::Clamp<std::uint8_t>(255.9, 0, 255), 255);
    EXPECT_EQ(GT::Clamp<std::uint8_t>(254.9, 0, 255), 254);
    EXPECT_EQ(GT::Clamp<std::int16_t>(-40000.0, -32768, 32767), -32768);
    EXPECT_EQ(GT::Clamp<int>(2147483647.9, std::numeric_limits<int>::min(), 2147483647), 2147483647);
    EXPECT_EQ(GT::Clamp<int>(-2147483648.9, std::numeric_limits<int>::min(), 2147483647),
              std::numeric_limits<int>::min());
    EXPECT_EQ(GT::Clamp<std::uint32_t>(4294967295.5, 0u, 4294967295u), 4294967295u);
}

TEST(Clamp, FloatingPointBounds) {
    const float big = 3.4028235e38f;
    EXPECT_EQ(GT::Clamp<float>(1e300, -big, big), big);
    EXPECT_EQ(GT::Clamp<float>(kNaN, -big, big), big);
    EXPECT_EQ(GT::Clamp<float>(-kInf, -big, big), -big);
    EXPECT_EQ(GT::Clamp<float>(0.1, -big, big), 0.1f);  // rounds to the nearest float
    EXPECT_EQ(GT::Clamp<double>(kNaN, -1.0, 1.0), 1.0);
    EXPECT_EQ(GT::Clamp<double>(0.123456789012345, -1.0, 1.0), 0.123456789012345);
}

TEST(ClampToSpan, BoundsInEitherOrder) {
    struct Case {
        int v, a, b, expected;
    };
    const Case cases[] = {
        {5, 10, 0, 5},
        {15, 10, 0, 10},
        {-1, 10, 0, 0},
        {5, 0, 10, 5},
        {15, 0, 10, 10},
        {std::numeric_limits<int>::min(), 0, 10, 0},
        {std::numeric_limits<int>::max(), 10, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.v << " in " << c.a << ".." << c.b);
        EXPECT_EQ(GT::ClampToSpan(c.v, c.a, c.b), c.expected);
    }
    EXPECT_EQ(GT::ClampInt(7, 0, 5), 5);
    EXPECT_EQ(GT::ClampInt(-7, 0, 5), 0);
    EXPECT_EQ(GT::ClampToSpan<std::int16_t>(2.9, 10, 0), 2);
    EXPECT_EQ(GT::ClampToSpan<std::uint8_t>(300.0, 255, 1), 255);
}

TEST(RoundAndClamp, UnsignedEightBitEitherOrder) {
    struct Case {
        double x;
        std::uint8_t expected;
    };
    const Case cases[] = {
        {0.4, 1},    {254.5, 255}, {300.0, 255}, {128.49, 128}, {128.5, 129},
        {kNaN, 255}, {kInf, 255},  {-kInf, 1},   {-3.0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::RoundAndClamp<std::uint8_t>(c.x, 255, 1), c.expected);
        EXPECT_EQ(GT::RoundAndClamp<std::uint8_t>(c.x, 1, 255), c.expected);
    }
}

TEST(ScaleAndClamp, SymmetricRangeNeverReachesMostNegative) {
    struct Case {
        double x;
        int expected;
    };
    const Case int8Cases[] = {{1.0, 127},  {-1.0, -127}, {-1.5, -127}, {0.5, 64},
                              {-0.5, -64}, {0.0, 0},     {2.0, 127},   {kNaN, 127}};
    for (const Case& c : int8Cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::ScaleAndClamp<std::int8_t>(c.x, 0, 127), c.expected);
    }
    const Case int16Cases[] = {{-1.0, -32767}, {-1.01, -32767}, {1.0, 32767}, {0.5, 16384}};
    for (const Case& c : int16Cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::ScaleAndClamp<std::int16_t>(c.x, 0, 32767), c.expected);
    }
    // A float argument is widened exactly.
    EXPECT_EQ(GT::ScaleAndClamp<std::int16_t>(0.5f, 0, 32767), 16384);
    // Offset-binary 8-bit: zero 128, so the lower bound is 1.
    EXPECT_EQ(GT::ScaleAndClamp<std::uint8_t>(-1.0, 128, 255), 1);
    EXPECT_EQ(GT::ScaleAndClamp<std::uint8_t>(1.0, 128, 255), 255);
    EXPECT_EQ(GT::ScaleAndClamp<std::uint8_t>(0.0, 128, 255), 128);
}

TEST(RoundToInteger, RangesOfTheThreeForms) {
    struct Case {
        double x;
        int toInt;
        int toIntFull;
    };
    const int min = std::numeric_limits<int>::min();
    const Case cases[] = {
        {2147483647.6, 2147483647, 2147483647}, {-3e9, -2147483647, min}, {-2147483648.0, -2147483647, min},
        {kNaN, 2147483647, 2147483647},         {-0.5, -1, -1},           {2.5, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::RoundToInt(c.x), c.toInt);
        EXPECT_EQ(GT::RoundToIntFull(c.x), c.toIntFull);
    }
}

TEST(RoundToUnsigned, SampleRates) {
    struct Case {
        double x;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {44100.0, 44100u},
        {22050.5, 22051u},
        {22050.4999, 22050u},
        {-1.0, 0u},
        {-0.4, 0u},
        {4294967295.4, 4294967295u},
        {4294967295.5, 4294967295u},
        {1e20, 4294967295u},
        {kInf, 4294967295u},
        {-kInf, 0u},
        {kNaN, 4294967295u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(GT::RoundToUnsigned(c.x), c.expected);
    }
}

}  // namespace
