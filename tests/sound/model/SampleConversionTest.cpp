#include "sound/model/BitDepth.h"
#include "sound/model/SampleConversion.h"
#include "tests/sound/model/DividingRule.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <sstream>
#include <string>

namespace {

using SL::EBitDepth;

// Converts x, taken as an element of src, to dst through ConvertSample; the result as a double
// (every element of every file format is exactly a double).
double Convert(EBitDepth src, EBitDepth dst, double x) {
    const auto bad = [] { return std::nan("bad format"); };
    return SL::DispatchFileFormat(
        src,
        [&](auto s) {
            return SL::DispatchFileFormat(
                dst,
                [&](auto d) {
                    constexpr EBitDepth S = decltype(s)::value;
                    constexpr EBitDepth D = decltype(d)::value;
                    return static_cast<double>(SL::ConvertSample<S, D>()(static_cast<SL::SampleElement<S>>(x)));
                },
                bad);
        },
        bad);
}

// Same value, same sign of zero, or both NaN.
bool SameValue(double a, double b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return a == b && std::signbit(a) == std::signbit(b);
}

constexpr EBitDepth I8S = EBitDepth::INTEGER8S, I8 = EBitDepth::INTEGER8, I16 = EBitDepth::INTEGER16,
                    I24 = EBitDepth::INTEGER24, I32 = EBitDepth::INTEGER32, F32 = EBitDepth::FLOAT32,
                    F64 = EBitDepth::FLOAT64;
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct Case {
    EBitDepth src;
    EBitDepth dst;
    double x;
    double expected;
};

std::string Describe(const Case& c) {
    std::ostringstream s;
    s.precision(17);
    s << SL::CBitDepth(c.src).ToString() << " " << c.x << " to " << SL::CBitDepth(c.dst).ToString();
    return s.str();
}

// The documented results of the rule, typed in by hand.
const Case kDocumentedCases[] = {
    {I16, I8S, 16384, 64},
    {I8, I16, 200, 18577},
    {I8, I8S, 0, -127},
    {I8, I16, 0, -32767},
    {I16, I8, -32768, 1},
    {I16, I8, 32767, 255},
    {I16, I8, -1, 128},
    {I16, I8, -129, 128},
    {I24, I16, 128, 0},
    {I24, I16, -8388608, -32767},
    {I32, I16, 65536, 1},
    {I32, I32, -2147483648.0, -2147483647},
    {F32, I16, 0.5, 16384},
    {F64, I8, -1.0, 1},
    {F64, I8, 1.0, 255},
    {F32, I8, 0.0, 128},
    {F32, I16, 2.0, 32767},
    {I8, F32, 0, static_cast<float>(-1.0078740157480315)},
    {I16, F32, -32768, static_cast<float>(-1.000030518509476)},
    {I8S, F64, -128, -1.0078740157480315},
    {I16, F64, -32768, -1.000030518509476},
    {F64, F32, 1e300, FLT_MAX},
    {F64, F32, -1e300, -FLT_MAX},
    {F64, F32, kNaN, FLT_MAX},
    {F64, F32, -kInf, -FLT_MAX},
    {I16, I24, 1, 256},
    {I16, I32, 1, 65538},
    {I8S, I16, 1, 258},
    // Same-format integer conversions move only the most negative value.
    {I8S, I8S, -128, -127},
    {I8, I8, 0, 1},
    {I16, I16, -32768, -32767},
    {I24, I24, -8388608, -8388607},
    // Ties go away from zero; for the unsigned destination, upward (the zero is included before rounding).
    {F64, I8, 0.5, 192},
    {F64, I8, -0.5, 65},
    {F64, I8S, 0.5, 64},
    {F64, I8S, -0.5, -64},
    {F64, I16, -0.5, -16384},
    // NaN and infinities: NaN and +inf give the maximum, -inf the smallest value produced.
    {F64, I8S, kNaN, 127},
    {F64, I8, kNaN, 255},
    {F64, I16, kNaN, 32767},
    {F32, I24, kNaN, 8388607},
    {F32, I32, kNaN, 2147483647},
    {F64, I32, kInf, 2147483647},
    {F64, I32, -kInf, -2147483647},
    {F64, I8, -kInf, 1},
    {F32, I16, -kInf, -32767},
    // Floating values beyond ±1 pass between the floating formats but clamp into integers.
    {F32, F64, 1.5, 1.5},
    {F64, F64, -7.25, -7.25},
    {F32, F32, 3.0, 3.0},
    {F64, I24, 1e10, 8388607},
    {F64, I32, -3e9, -2147483647},
};

TEST(SampleConversion, DocumentedResults) {
    for (const Case& c : kDocumentedCases)
        EXPECT_TRUE(SameValue(Convert(c.src, c.dst, c.x), c.expected))
            << Describe(c) << ": got " << Convert(c.src, c.dst, c.x) << ", expected " << c.expected;
}

TEST(SampleConversion, NeverProducesTheMostNegativeValueOfAnIntegerType) {
    // The smallest value of every integer type, and a large negative float, into every integer format.
    const double lowest[] = {-128, 0, -32768, -8388608, -2147483648.0};
    const EBitDepth integers[] = {I8S, I8, I16, I24, I32};
    const double smallestProduced[] = {-127, 1, -32767, -8388607, -2147483647};
    for (int d = 0; d < 5; ++d) {
        for (int s = 0; s < 5; ++s)
            EXPECT_EQ(Convert(integers[s], integers[d], lowest[s]), smallestProduced[d])
                << Describe({integers[s], integers[d], lowest[s], 0});
        EXPECT_EQ(Convert(F64, integers[d], -1e9), smallestProduced[d]);
    }
}

// Parses the oracle's text for a value of the given format.
double ParseValue(EBitDepth format, const std::string& text) {
    if (SL::IsIntegerFormat(format)) return static_cast<double>(std::strtoll(text.c_str(), nullptr, 10));
    return std::strtod(text.c_str(), nullptr);
}

TEST(SampleConversion, MatchesIndependentOracleOnSweepsAndEdges) {
    const auto result = gbxtest::Python("import runpy, sys; runpy.run_path(sys.argv[1], run_name='__main__')",
                                        {std::string(GBX_TEST_DIR) + "/sample_value_oracle.py"});
    ASSERT_EQ(result.exitCode, 0);

    std::map<std::string, EBitDepth> formats;
    for (EBitDepth f : {I8S, I8, I16, I24, I32, F32, F64}) formats[SL::CBitDepth(f).ToString()] = f;

    std::istringstream lines(result.output);
    std::string srcName, dstName, xText, expectedText;
    std::map<std::pair<EBitDepth, EBitDepth>, int> counts;
    int mismatches = 0;
    while (lines >> srcName >> dstName >> xText >> expectedText) {
        const EBitDepth src = formats.at(srcName);
        const EBitDepth dst = formats.at(dstName);
        const double x = ParseValue(src, xText);
        const double expected = ParseValue(dst, expectedText);
        const double got = Convert(src, dst, x);
        ++counts[{src, dst}];
        if (!SameValue(got, expected) && ++mismatches <= 20)
            ADD_FAILURE() << srcName << " " << xText << " to " << dstName << ": got " << got << ", expected "
                          << expectedText;
    }
    EXPECT_EQ(mismatches, 0);
    // Every one of the 49 pairs was checked; the 8- and 16-bit sources exhaustively.
    EXPECT_EQ(counts.size(), 49u);
    for (EBitDepth dst : {I8S, I8, I16, I24, I32, F32, F64}) {
        EXPECT_EQ((counts[{I8S, dst}]), 256);
        EXPECT_EQ((counts[{I8, dst}]), 256);
        EXPECT_EQ((counts[{I16, dst}]), 65536);
        EXPECT_GT((counts[{F64, dst}]), 2000);
    }
}

TEST(SampleConversion, SameFormatSweepsKeepEveryValueButTheMostNegative) {
    // Exhaustive, and stated without the oracle: only the type's minimum moves, and by one.
    for (int x = -128; x <= 127; ++x) EXPECT_EQ(Convert(I8S, I8S, x), x == -128 ? -127 : x) << x;
    for (int x = 0; x <= 255; ++x) EXPECT_EQ(Convert(I8, I8, x), x == 0 ? 1 : x) << x;
    int changed = 0;
    for (int x = -32768; x <= 32767; ++x) changed += Convert(I16, I16, x) != x;
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Convert(I16, I16, -32768), -32767);
}

// Counts the values among [first, last] (stepping by step) where ConvertSample differs from the
// dividing rule.
template <EBitDepth Src, EBitDepth Dst>
int64_t Disagreements(int64_t first, int64_t last, int64_t step) {
    int64_t bad = 0;
    for (int64_t x = first; x <= last; x += step) {
        const auto value = static_cast<SL::SampleElement<Src>>(x);
        bad += SL::ConvertSample<Src, Dst>()(value) != soundtest::DividingRule<Src, Dst>(value);
    }
    return bad;
}

template <EBitDepth Src>
void CheckAgainstReference(int64_t first, int64_t last, int64_t step) {
    EXPECT_EQ((Disagreements<Src, I8S>(first, last, step)), 0);
    EXPECT_EQ((Disagreements<Src, I8>(first, last, step)), 0);
    EXPECT_EQ((Disagreements<Src, I16>(first, last, step)), 0);
    EXPECT_EQ((Disagreements<Src, I24>(first, last, step)), 0);
    EXPECT_EQ((Disagreements<Src, I32>(first, last, step)), 0);
}

// Integer to integer conversions skip the division; they must still give the rule's result for
// every value, ties included.
TEST(SampleConversion, IntegerConversionsAgreeWithTheDividingRule) {
    CheckAgainstReference<I8S>(-128, 127, 1);
    CheckAgainstReference<I8>(0, 255, 1);
    CheckAgainstReference<I16>(-32768, 32767, 1);
    CheckAgainstReference<I24>(-8388608, 8388607, 1);
    CheckAgainstReference<I32>(-2147483648LL, 2147483647LL, 4093);
    CheckAgainstReference<I32>(-2147483648LL, -2147483648LL + 100000, 1);
    CheckAgainstReference<I32>(2147483647LL - 100000, 2147483647LL, 1);
    // Around the values of a 32-bit source that land on or next to a tie of each destination.
    for (const double span : {127.0, 254.0, 32767.0, 8388607.0}) {
        for (int k = -200; k <= 200; ++k) {
            const double tie = (k + 0.5) * 2147483647.0 / span;
            const auto centre = static_cast<int64_t>(tie);
            CheckAgainstReference<I32>(centre - 3, centre + 3, 1);
        }
    }
}

}  // namespace
