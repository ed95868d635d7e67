#include "sound/model/ChannelUtility.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <complex>
#include <functional>
#include <limits>
#include <vector>

namespace {

using SL::CExtent;
using SL::EBitDepth;

template <EBitDepth F>
struct CTestChannel {
    explicit CTestChannel(const std::vector<SL::SampleElement<F>>& samples) : channel(SL::CWaveFormat::WAVE) {
        channel.SetRange(CExtent(0, static_cast<int>(samples.size())));
        std::copy(samples.begin(), samples.end(), channel.begin());
    }
    SL::CChannelUtility<F> Utility() { return SL::CChannelUtility<F>(&channel); }
    double Peak() {
        Utility().UpdatePeak();
        return channel.GetPeak();
    }

    SL::CChannel<F> channel;
};

template <EBitDepth F>
double PeakOf(const std::vector<SL::SampleElement<F>>& samples) {
    return CTestChannel<F>(samples).Peak();
}

struct PeakCase {
    const char* what;
    std::function<double()> peak;
    double expected;
};

void PrintTo(const PeakCase& c, std::ostream* os) { *os << c.what; }

std::ostream& operator<<(std::ostream& os, const std::vector<double>& samples) {
    os << '{';
    for (std::size_t i = 0; i < samples.size(); ++i) os << (i ? " " : "") << samples[i];
    return os << '}';
}

class ChannelPeak : public ::testing::TestWithParam<PeakCase> {};

TEST_P(ChannelPeak, IsNormalisedMagnitudeOfLoudestSample) {
    EXPECT_DOUBLE_EQ(GetParam().peak(), GetParam().expected) << GetParam().what;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Formats, ChannelPeak,
    ::testing::Values(PeakCase{"int16 full scale",
                               [] {
                                   return PeakOf<EBitDepth::INTEGER16>({0, -32767, 32767, 5});
                               },
                               1.0},
                      PeakCase{"int16 most negative", [] { return PeakOf<EBitDepth::INTEGER16>({-32768}); },
                               32768.0 / 32767.0},
                      PeakCase{"uint8 silence",
                               [] {
                                   return PeakOf<EBitDepth::INTEGER8>({128, 128});
                               },
                               0.0},
                      PeakCase{"uint8 zero", [] { return PeakOf<EBitDepth::INTEGER8>({0}); }, 128.0 / 127.0},
                      PeakCase{"int8 most negative",
                               [] {
                                   return PeakOf<EBitDepth::INTEGER8S>({-128, 3});
                               },
                               128.0 / 127.0},
                      PeakCase{"int24",
                               [] {
                                   return PeakOf<EBitDepth::INTEGER24>({100, -4194304});
                               },
                               4194304.0 / 8388607.0},
                      PeakCase{"int32 most negative",
                               [] { return PeakOf<EBitDepth::INTEGER32>({std::numeric_limits<int32_t>::min()}); },
                               2147483648.0 / 2147483647.0},
                      PeakCase{"float32 not normalised",
                               [] {
                                   return PeakOf<EBitDepth::FLOAT32>({0.25f, -0.5f});
                               },
                               0.5},
                      PeakCase{"float64 over full scale",
                               [] {
                                   return PeakOf<EBitDepth::FLOAT64>({-3.0, 2.0});
                               },
                               3.0},
                      PeakCase{"float64 NaN never wins",
                               [] {
                                   return PeakOf<EBitDepth::FLOAT64>({kNaN, 0.5});
                               },
                               0.5},
                      PeakCase{"float64 only NaN",
                               [] {
                                   return PeakOf<EBitDepth::FLOAT64>({kNaN, kNaN});
                               },
                               0.0},
                      PeakCase{"complex64",
                               [] {
                                   return PeakOf<EBitDepth::COMPLEX64>({{3.0, 4.0}, {1.0, 1.0}});
                               },
                               5.0},
                      PeakCase{"complex32",
                               [] {
                                   return PeakOf<EBitDepth::COMPLEX32>({{0.0f, -2.0f}});
                               },
                               2.0},
                      PeakCase{"point64",
                               [] {
                                   return PeakOf<EBitDepth::POINT64>({{-6.0, 8.0}});
                               },
                               10.0},
                      PeakCase{"empty", [] { return PeakOf<EBitDepth::INTEGER16>({}); }, 0.0}));

TEST(ChannelUtility, PeakIndexOfEqualMaximaIsTheFirst) {
    CTestChannel<EBitDepth::INTEGER16> c({0, -32767, 32767, 5});
    EXPECT_EQ(c.Utility().FindPeakIndex(CExtent(0, 4)), 1);
}

TEST(ChannelUtility, PeakIndexLooksInsideTheSamplesOnly) {
    CTestChannel<EBitDepth::FLOAT64> c({1, 9, 9, 4});
    const struct {
        CExtent range;
        int expected;
    } cases[] = {{{-3, 2}, 1}, {{2, 10}, 2}, {{7, 9}, 7}, {{0, 0}, 0}, {{3, 4}, 3}};
    for (const auto& k : cases)
        EXPECT_EQ(c.Utility().FindPeakIndex(k.range), k.expected) << k.range.start << ".." << k.range.end;
    CTestChannel<EBitDepth::FLOAT64> empty({});
    EXPECT_EQ(empty.Utility().FindPeakIndex(CExtent(2, 5)), 2);
}

struct CrossingCase {
    std::vector<double> samples;
    int position;
    int step;
    int expected;
};

void PrintTo(const CrossingCase& c, std::ostream* os) {
    *os << c.samples << " from " << c.position << " by " << c.step;
}

class ZeroCrossing : public ::testing::TestWithParam<CrossingCase> {};

TEST_P(ZeroCrossing, FindsTheQuieterSampleOfTheSignChange) {
    const CrossingCase& c = GetParam();
    CTestChannel<EBitDepth::FLOAT64> channel(c.samples);
    EXPECT_EQ(channel.Utility().FindZeroCrossing(c.position, c.step), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Walks, ZeroCrossing,
    ::testing::Values(CrossingCase{{1, 2, -3, -4}, 0, 1, 1},  // 2 is quieter than -3
                      CrossingCase{{1, 3, -2}, 0, 1, 2},
                      CrossingCase{{1, 2, -2}, 0, 1, 2},  // equal magnitudes: the later one
                      CrossingCase{{1, 2, 3}, 0, 1, 3},   // none: the first index outside
                      CrossingCase{{1, 2, 3}, 2, -1, -1}, CrossingCase{{}, 0, 1, 1},
                      CrossingCase{{-1, 5, 4}, 3, -1, 0},     // backwards, from beyond the end
                      CrossingCase{{2, 0, 0, -1}, -1, 1, 1},  // a zero ends a crossing
                      CrossingCase{{0, 0, 3}, -1, 1, 3},      // but never starts one
                      CrossingCase{{1, kNaN, -1}, -1, 1, 3},  // NaN forms no crossing
                      CrossingCase{{1, -1, 1}, 0, 0, 3},      // a step of 0 finds nothing
                      CrossingCase{{1, -1, 1}, 5, 0, 5},      // but a start outside is still returned as it is
                      CrossingCase{{1, -1, 1}, -1, 0, -1},
                      CrossingCase{{1, 2, -1, -3, 3}, -1, 2, 1},  // steps of 2 pass over the sign change at 2
                      CrossingCase{{1, 1, -1}, 5, 1, 6}));

TEST(ChannelUtility, ZeroCrossingOfUnsignedBytesIsAroundSilence) {
    CTestChannel<EBitDepth::INTEGER8> twoSamples({200, 60});
    EXPECT_EQ(twoSamples.Utility().FindZeroCrossing(-1, 1), 1);
    CTestChannel<EBitDepth::INTEGER8> withSilence({200, 128, 60});
    EXPECT_EQ(withSilence.Utility().FindZeroCrossing(-1, 1), 1);
}

template <EBitDepth F>
int CrossingOf(const std::vector<SL::SampleElement<F>>& samples) {
    return CTestChannel<F>(samples).Utility().FindZeroCrossing(-1, 1);
}

// The sign value of each kind of format: offset from the format's zero for integers, the phase
// for complex numbers, the angle for points; (0, 0) has the sign value 0.
TEST(ChannelUtility, ZeroCrossingUsesTheSignValueOfEachFormat) {
    const struct {
        const char* what;
        int found;
        int expected;
    } cases[] = {
        {"int16", CrossingOf<EBitDepth::INTEGER16>({100, 60, -50}), 2},
        {"int8 signed", CrossingOf<EBitDepth::INTEGER8S>({-3, -128, 0}), 2},
        {"int24", CrossingOf<EBitDepth::INTEGER24>({5, -8388607}), 0},
        {"float32", CrossingOf<EBitDepth::FLOAT32>({-0.5f, 0.25f}), 1},
        {"complex64 phase from + to -", CrossingOf<EBitDepth::COMPLEX64>({{1.0, 1.0}, {1.0, -2.0}}), 0},
        {"complex32 (0, 0) starts nothing",
         CrossingOf<EBitDepth::COMPLEX32>({{0.0f, 0.0f}, {1.0f, 1.0f}, {1.0f, -1.0f}}), 2},
        {"complex64 phase from pi to below -pi / 2", CrossingOf<EBitDepth::COMPLEX64>({{-1.0, 0.0}, {-1.0, -0.5}}), 0},
        {"point64 angle from - to +", CrossingOf<EBitDepth::POINT64>({{1.0, -1.0}, {1.0, 0.5}}), 1},
    };
    for (const auto& c : cases) EXPECT_EQ(c.found, c.expected) << c.what;
}

struct PeakSearchCase {
    std::vector<double> samples;
    int position;
    int direction;
    int width;
    int expected;
};

void PrintTo(const PeakSearchCase& c, std::ostream* os) {
    *os << c.samples << " from " << c.position << " dir " << c.direction << " width " << c.width;
}

class LocalPeak : public ::testing::TestWithParam<PeakSearchCase> {};

TEST_P(LocalPeak, StopsAtAWindowMaximum) {
    const PeakSearchCase& c = GetParam();
    CTestChannel<EBitDepth::FLOAT64> channel(c.samples);
    EXPECT_EQ(channel.Utility().FindPeak(c.position, c.direction, c.width), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, LocalPeak,
    ::testing::Values(PeakSearchCase{{1, 2, 3}, 5, 1, 0, 6},  // starts outside: unclamped
                      PeakSearchCase{{1, 2, 3}, 0, -1, 4, -1}, PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 0, 1, 2, 2},
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 8, -1, 2, 6},
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 3, 1, 2, 6},
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 5, -1, 2, 2},
                      PeakSearchCase{{5, 1, 0, 0}, 0, 1, 2, 3},           // runs into the last sample
                      PeakSearchCase{{0, 0, 0, 0, 0}, 0, 1, 2, 4},        // silence: to the end
                      PeakSearchCase{{0, 3, 0, 0, 9, 0, 0}, 0, 1, 4, 1},  // 3 is the peak of its window
                      PeakSearchCase{{0, 3, 0, 0, 9, 0, 0}, 0, 1, 8, 4},  // a wider window sees 9
                      // The first candidate is position + direction; only -1 searches backwards.
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 2, 0, 2, 2},   // direction 0 starts at the position
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 8, -2, 2, 6},  // two back, then forwards
                      PeakSearchCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 0, 5, 2, 6},
                      PeakSearchCase{{1, 2, 3}, 1, 2, 2, 3}));  // starts outside: unclamped

struct NearestCase {
    std::vector<double> samples;
    int position;
    int expected;
};

void PrintTo(const NearestCase& c, std::ostream* os) { *os << c.samples << " at " << c.position; }

class NearestZeroCrossing : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestZeroCrossing, PrefersAFoundCrossing) {
    const NearestCase& c = GetParam();
    CTestChannel<EBitDepth::FLOAT64> channel(c.samples);
    EXPECT_EQ(channel.Utility().FindNearestZeroCrossing(c.position), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Searches, NearestZeroCrossing,
    ::testing::Values(NearestCase{{1, 2, 3, 4, 5}, 1, -1},  // none either way: the nearer outside index
                      NearestCase{{1, 2, 3, 4, 5}, 3, 5}, NearestCase{{1, 2, 3, 4, 5}, 0, -1},
                      NearestCase{{-1, 1, 1, 1, 1, -1}, 2, 0}, NearestCase{{-1, 1, 1, 1, 1, -1}, 3, 5},
                      NearestCase{{1, 1, 1, 1, 1, 1, -1}, 1, 6},    // only forward found: -1 must not win
                      NearestCase{{1, -1, 1, 1, 1, 1, 1}, 5, 1}));  // only backward found: 7 must not win

class NearestPeak : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestPeak, PrefersAFoundPeak) {
    const NearestCase& c = GetParam();
    CTestChannel<EBitDepth::FLOAT64> channel(c.samples);
    EXPECT_EQ(channel.Utility().FindNearestPeak(c.position, 2), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Searches, NearestPeak,
                         ::testing::Values(NearestCase{{0, 0, 5}, 2, 2},  // backward search starts past the end
                                           NearestCase{{5, 0, 0}, 0, 0},  // forward search starts before the start
                                           NearestCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 3, 2},
                                           NearestCase{{0, 1, 5, 1, 0, 2, 7, 2, 0}, 5, 6}));

TEST(ChannelUtility, ExtremePositionsDoNotOverflow) {
    CTestChannel<EBitDepth::FLOAT64> channel({1, -1, 1});
    const int high = std::numeric_limits<int>::max();
    const int low = std::numeric_limits<int>::min();
    EXPECT_EQ(channel.Utility().FindZeroCrossing(high, 1), high);
    EXPECT_EQ(channel.Utility().FindZeroCrossing(low, -1), low);
    EXPECT_EQ(channel.Utility().FindPeak(high, 1, high), high);
    EXPECT_EQ(channel.Utility().FindNearestPeak(high, high), high - 1);
    EXPECT_EQ(channel.Utility().FindNearestZeroCrossing(low), low + 1);
}

}  // namespace
