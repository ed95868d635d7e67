#include "sound/model/SampleAttribute.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using SL::CBitDepth;
using SL::CSampleAttribute;

TEST(SampleAttribute, DefaultDescribesNothingInNativeOrder) {
    const CSampleAttribute a;
    EXPECT_EQ(a.GetByteOrder(), 1);
    EXPECT_TRUE(a.IsLittleEndian());
    EXPECT_EQ(a.GetSampleFormat().GetCode(), CBitDepth::NONE);
    EXPECT_EQ(a.GetSampleRate(), 0.0);
    EXPECT_EQ(a.GetChannelCount(), 0);
    EXPECT_EQ(a.GetFrames(), 0);
}

TEST(SampleAttribute, ConstructorTakesFourValuesAndCopiesKeepAllFive) {
    CSampleAttribute a(CBitDepth::INTEGER24, 22050.0, 3, 0);
    EXPECT_EQ(a.GetFrames(), 0);
    a.SetFrames(77);
    const CSampleAttribute copy = a;
    EXPECT_TRUE(copy.IsBigEndian());
    EXPECT_EQ(copy.GetSampleFormat().GetCode(), CBitDepth::INTEGER24);
    EXPECT_EQ(copy.GetSampleRate(), 22050.0);
    EXPECT_EQ(copy.GetChannelCount(), 3);
    EXPECT_EQ(copy.GetFrames(), 77);
}

TEST(SampleAttribute, ByteAndFrameCounts) {
    struct {
        SL::EBitDepth format;
        int channels;
        int frames;
        int bytes;
        int bytesGiven;
        int framesOfBytes;
    } const cases[] = {
        {CBitDepth::INTEGER24, 2, 1, 6, 6, 1},
        {CBitDepth::INTEGER24, 2, 1, 6, 7, 1},
        {CBitDepth::INTEGER24, 2, 1, 6, 5, 0},
        {CBitDepth::INTEGER16, 1, 3, 6, 5, 2},
        {CBitDepth::INTEGER8, 2, 10, 20, 21, 10},
        {CBitDepth::FLOAT64, 2, 4, 64, 64, 4},
        {CBitDepth::COMPLEX64, 1, 2, 32, 40, 2},
        {CBitDepth::INTEGER16, 0, 5, 0, 100, 0},      // no channels: no frames, whatever the bytes
        {CBitDepth::INTEGER16, -2, 5, -20, 100, 0},   // a negative channel count too
        {CBitDepth::NONE, 2, 5, 0, 100, 0},           // a format of no bytes: no frames, no division by zero
        {CBitDepth::INTEGER16, 2, -3, -12, -12, -3},  // signed, truncating toward zero
        {CBitDepth::INTEGER16, 2, 0, 0, -13, -3},
    };
    for (const auto& c : cases) {
        const CSampleAttribute a(c.format, 44100.0, c.channels, 1);
        SCOPED_TRACE(a.GetSampleFormat().ToString() + " channels " + std::to_string(c.channels));
        EXPECT_EQ(a.GetByteCount(c.frames), c.bytes);
        EXPECT_EQ(a.GetFrameCount(c.bytesGiven), c.framesOfBytes);
    }
}

TEST(SampleAttribute, ByteCountBeyondTheIntRangeSaturates) {
    const CSampleAttribute a(CBitDepth::FLOAT64, 44100.0, 2, 1);
    EXPECT_EQ(a.GetByteCount(INT_MAX), INT_MAX);
    EXPECT_EQ(a.GetByteCount(INT_MIN), INT_MIN);
    EXPECT_EQ(a.GetByteCount(134217727), 2147483632);
}

}  // namespace
