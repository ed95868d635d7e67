#include "sound/model/EntityRecords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace {

using SL::AChannel;
using SL::AWave;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(EntityRecordsTest, NewWaveRecordHasTheDefaultsAndIsValid) {
    const AWave wave;
    EXPECT_EQ(wave.waveFormat, SL::CWaveFormat::NONE);
    EXPECT_EQ(wave.sampleRate, 32000.0);
    EXPECT_EQ(wave.bitDepth, SL::CBitDepth::NONE);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wave.pitches[i], 60.0);
        EXPECT_EQ(wave.parameters[i], 120.0);
    }
    EXPECT_EQ(wave.integerPair, std::make_pair(0, 0));
    EXPECT_EQ(wave.integer, 0);
    EXPECT_TRUE(wave.lines.empty());
    EXPECT_TRUE(wave.firstString.empty());
    EXPECT_TRUE(wave.secondString.empty());
    EXPECT_EQ(wave.firstPair, std::make_pair(0.0, 0.0));
    EXPECT_EQ(wave.secondPair, std::make_pair(0.0, 0.0));
    ASSERT_TRUE(wave.loop);
    ASSERT_TRUE(wave.envelope);
    EXPECT_TRUE(wave.loop->Equals(SL::CLoop()));
    EXPECT_TRUE(wave.envelope->Equals(SL::CEnvelope(SL::CWaveFormat::NONE)));
    EXPECT_TRUE(wave.IsValid());
}

struct WaveActivateCase {
    const char* label;
    std::function<void(AWave&)> set;
    bool validBefore;
    std::function<bool(const AWave&)> holdsAfter;
};

TEST(EntityRecordsTest, WaveActivateMovesValuesIntoRange) {
    const WaveActivateCase cases[] = {
        {"negative sample rate", [](AWave& w) { w.sampleRate = -44100.0; }, false,
         [](const AWave& w) { return w.sampleRate == 0.0; }},
        {"NaN sample rate", [](AWave& w) { w.sampleRate = kNaN; }, false,
         [](const AWave& w) { return w.sampleRate == 0.0; }},
        {"zero sample rate", [](AWave& w) { w.sampleRate = 0.0; }, true,
         [](const AWave& w) { return w.sampleRate == 0.0; }},
        {"negative pitch 2", [](AWave& w) { w.pitches[1] = -1.5; }, false,
         [](const AWave& w) { return w.pitches[1] == 0.0 && w.pitches[0] == 60.0; }},
        {"NaN pitch 3", [](AWave& w) { w.pitches[2] = kNaN; }, false,
         [](const AWave& w) { return w.pitches[2] == 0.0; }},
        {"negative parameter 1", [](AWave& w) { w.parameters[0] = -120.0; }, false,
         [](const AWave& w) { return w.parameters[0] == 0.0; }},
        {"minus zero parameter 3", [](AWave& w) { w.parameters[2] = -0.0; }, true,
         [](const AWave& w) { return w.parameters[2] == 0.0 && !std::signbit(w.parameters[2]); }},
        {"negative integer", [](AWave& w) { w.integer = -7; }, false, [](const AWave& w) { return w.integer == 0; }},
        {"integer pair is free",
         [](AWave& w) {
             w.integerPair = {-5, -6};
         },
         true, [](const AWave& w) { return w.integerPair == std::make_pair(-5, -6); }},
        {"positive values stay",
         [](AWave& w) {
             w.sampleRate = 44100.0;
             w.integer = 3;
         },
         true, [](const AWave& w) { return w.sampleRate == 44100.0 && w.integer == 3; }},
        {"invalid loop",
         [](AWave& w) {
             w.loop->SetStart(50);
             w.loop->SetEnd(10);
         },
         false, [](const AWave& w) { return w.loop->GetStart() == 10.0 && w.loop->GetEnd() == 50.0; }},
    };
    for (const WaveActivateCase& c : cases) {
        AWave wave;
        c.set(wave);
        EXPECT_EQ(wave.IsValid(), c.validBefore) << c.label;
        wave.Activate();
        EXPECT_TRUE(c.holdsAfter(wave)) << c.label;
        EXPECT_TRUE(wave.IsValid()) << c.label;
    }
}

TEST(EntityRecordsTest, WaveCopyIsDeepAndEqual) {
    AWave source;
    source.lines = {"x", ""};
    source.firstPair = {1.5, 2.5};
    source.loop->SetEnd(100);
    source.loop->SetName("loop");
    const AWave copy(source);
    EXPECT_TRUE(copy == source);
    EXPECT_NE(copy.loop.get(), source.loop.get());
    EXPECT_NE(copy.envelope.get(), source.envelope.get());
    EXPECT_EQ(copy.loop->GetEnd(), 100.0);
    EXPECT_EQ(copy.loop->GetName(), "loop");
}

TEST(EntityRecordsTest, WaveEqualityFindsEachField) {
    const std::pair<const char*, std::function<void(AWave&)>> changes[] = {
        {"wave format", [](AWave& w) { w.waveFormat = SL::CWaveFormat::WAVE; }},
        {"sample rate", [](AWave& w) { w.sampleRate = 44100.0; }},
        {"bit depth", [](AWave& w) { w.bitDepth = SL::CBitDepth::INTEGER16; }},
        {"pitch 3", [](AWave& w) { w.pitches[2] = 61.0; }},
        {"parameter 2", [](AWave& w) { w.parameters[1] = 1.0; }},
        {"integer pair second", [](AWave& w) { w.integerPair.second = 1; }},
        {"integer", [](AWave& w) { w.integer = 1; }},
        {"one line", [](AWave& w) { w.lines[1] = "y"; }},
        {"line count", [](AWave& w) { w.lines.push_back(""); }},
        {"first string", [](AWave& w) { w.firstString = "a"; }},
        {"second string", [](AWave& w) { w.secondString = "b"; }},
        {"first pair second", [](AWave& w) { w.firstPair.second = 3.0; }},
        {"second pair first", [](AWave& w) { w.secondPair.first = -1.0; }},
        {"envelope", [](AWave& w) { w.envelope->SetName("e"); }},
        {"loop", [](AWave& w) { w.loop->SetLastValue(1.0); }},
        {"NaN sample rate", [](AWave& w) { w.sampleRate = kNaN; }},
    };
    AWave source;
    source.lines = {"x", ""};
    for (const auto& change : changes) {
        AWave copy(source);
        change.second(copy);
        EXPECT_FALSE(copy == source) << change.first;
        EXPECT_FALSE(source == copy) << change.first;
    }
}

TEST(EntityRecordsTest, LinesAndTheirText) {
    struct Case {
        const char* text;
        std::vector<std::string> lines;
        const char* textAgain;
    };
    const Case cases[] = {
        {"", {}, ""},
        {"a", {"a"}, "a\n"},
        {"a\n", {"a"}, "a\n"},
        {"a\n\nb", {"a", "", "b"}, "a\n\nb\n"},
        {"x\n\n", {"x", ""}, "x\n\n"},
        {"\n", {""}, "\n"},
        {"cr\r\nlf", {"cr\r", "lf"}, "cr\r\nlf\n"},
    };
    for (const Case& c : cases) {
        AWave wave;
        wave.lines = {"old"};
        wave.SetLinesText(c.text);
        EXPECT_EQ(wave.lines, c.lines) << c.text;
        EXPECT_EQ(wave.GetLinesText(), c.textAgain) << c.text;
    }
}

TEST(EntityRecordsTest, ChannelPanIsClampedByActivate) {
    struct Case {
        double pan;
        bool validBefore;
        double after;
    };
    const Case cases[] = {
        {3.0, false, 1.0},  {-2.0, false, -1.0}, {kNaN, false, 1.0},
        {-1.0, true, -1.0}, {1.0, true, 1.0},    {0.25, true, 0.25},
    };
    for (const Case& c : cases) {
        AChannel channel;
        channel.pan = c.pan;
        EXPECT_EQ(channel.IsValid(), c.validBefore) << c.pan;
        channel.Activate();
        EXPECT_EQ(channel.pan, c.after) << c.pan;
        EXPECT_TRUE(channel.IsValid()) << c.pan;
    }
    AChannel free;
    free.factor = -4.0;
    free.peak = 7.0;
    EXPECT_TRUE(free.IsValid());
    free.Activate();
    EXPECT_EQ(free.factor, -4.0);
    EXPECT_EQ(free.peak, 7.0);
}

TEST(EntityRecordsTest, ChannelRecordDefaultsCopyAndEquality) {
    AChannel channel;
    EXPECT_EQ(channel.waveFormat, SL::CWaveFormat::NONE);
    EXPECT_EQ(channel.factor, 1.0);
    EXPECT_EQ(channel.pan, 0.0);
    EXPECT_EQ(channel.peak, 1.0);
    ASSERT_TRUE(channel.envelope);
    EXPECT_EQ(channel.envelope->GetWaveFormat(), SL::CWaveFormat::NONE);

    channel.envelope->SetText("t");
    const AChannel copy(channel);
    EXPECT_TRUE(copy == channel);
    EXPECT_NE(copy.envelope.get(), channel.envelope.get());

    const std::function<void(AChannel&)> changes[] = {
        [](AChannel& c) { c.waveFormat = SL::CWaveFormat::WAVE; },
        [](AChannel& c) { c.factor = 2.0; },
        [](AChannel& c) { c.pan = -1.0; },
        [](AChannel& c) { c.peak = 0.5; },
        [](AChannel& c) { c.envelope->SetText("u"); },
    };
    for (const auto& change : changes) {
        AChannel other(channel);
        change(other);
        EXPECT_FALSE(other == channel);
    }
}

TEST(EntityRecordsTest, EntityRecordsDifferingInTheActiveFlagAreUnequal) {
    SL::AEntity a;
    SL::AEntity b;
    EXPECT_TRUE(a == b);
    b.active = true;
    EXPECT_FALSE(a == b);
    b.active = false;
    b.secondText = std::string("\0", 1);
    EXPECT_FALSE(a == b) << "texts compare by length and bytes";
}

}  // namespace
