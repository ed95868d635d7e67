#include "sound/model/Wave.h"

#include <gtest/gtest.h>

#include <ostream>

#include <boost/make_shared.hpp>

#include <memory>

namespace {

using SL::CExtent;
using SL::EBitDepth;
using Wave16 = SL::CWave<EBitDepth::INTEGER16>;

// A wave with two INTEGER16 channels of 3 samples, a name and a loop position.
std::unique_ptr<Wave16> TwoChannelWave() {
    auto wave = std::make_unique<Wave16>(SL::CWaveFormat::WAVE);
    wave->GetTypedChannels().Resize(2);
    wave->SetRange(CExtent(0, 3));
    wave->GetTypedChannels()[1]->GetData()[2] = -7;
    wave->SetName("song");
    wave->GetLoopPointer()->SetEnd(2.0);
    return wave;
}

TEST(Wave, NewWaveDefaults) {
    const Wave16 wave(SL::CWaveFormat::WAVE);
    EXPECT_EQ(wave.GetWaveFormat(), SL::CWaveFormat::WAVE);
    EXPECT_EQ(wave.GetNativeBitDepth(), SL::CBitDepth::INTEGER16);
    EXPECT_EQ(wave.GetBitDepth(), SL::CBitDepth::INTEGER16);
    EXPECT_EQ(wave.GetSampleRate(), 32000.0);
    EXPECT_EQ(wave.GetPitch1(), 60.0);
    EXPECT_EQ(wave.GetPitch3(), 60.0);
    EXPECT_EQ(wave.GetParameter2(), 120.0);
    EXPECT_EQ(wave.GetRange(), CExtent(0, 0));
    EXPECT_TRUE(wave.GetChannelCollection()->empty());
    EXPECT_TRUE(wave.IsValid());
}

TEST(Wave, NativeBitDepthOfEachClass) {
    EXPECT_EQ(SL::CWave<EBitDepth::INTEGER8S>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue(), 0x10008);
    EXPECT_EQ(
        static_cast<uint32_t>(SL::CWave<EBitDepth::INTEGER8>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue()),
        0x80010008u);
    EXPECT_EQ(SL::CWave<EBitDepth::INTEGER24>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue(), 0x10018);
    EXPECT_EQ(SL::CWave<EBitDepth::INTEGER32>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue(), 0x10020);
    EXPECT_EQ(SL::CWave<EBitDepth::FLOAT32>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue(), 0x20020);
    EXPECT_EQ(SL::CWave<EBitDepth::FLOAT64>(SL::CWaveFormat::WAVE).GetNativeBitDepth().GetValue(), 0x20040);
}

TEST(Wave, StoredBitDepthIsApartFromTheNativeOne) {
    Wave16 wave(SL::CWaveFormat::WAVE);
    wave.SetBitDepth(SL::CBitDepth::INTEGER24);
    EXPECT_EQ(wave.GetBitDepth(), SL::CBitDepth::INTEGER24);
    EXPECT_EQ(wave.GetNativeBitDepth(), SL::CBitDepth::INTEGER16);
}

TEST(Wave, PlainStoresAndReads) {
    Wave16 wave(SL::CWaveFormat::WAVE);
    wave.SetPitch1(61.0);
    wave.SetPitch2(62.0);
    wave.SetPitch3(63.0);
    wave.SetParameter1(1.0);
    wave.SetParameter3(3.0);
    wave.SetIntegerPair({4, -5});
    wave.SetInteger(-6);
    wave.SetLinesText("a\nb\n");
    wave.SetFirstString("one");
    wave.SetSecondString("two");
    wave.SetFirstPair({0.5, 1.5});
    wave.SetSecondPair({2.5, 3.5});
    EXPECT_EQ(wave.GetPitch1(), 61.0);
    EXPECT_EQ(wave.GetPitch2(), 62.0);
    EXPECT_EQ(wave.GetPitch3(), 63.0);
    EXPECT_EQ(wave.GetParameter1(), 1.0);
    EXPECT_EQ(wave.GetParameter2(), 120.0);
    EXPECT_EQ(wave.GetParameter3(), 3.0);
    EXPECT_EQ(wave.GetIntegerPair(), SL::IWave::IntegerPair(4, -5));
    EXPECT_EQ(wave.GetInteger(), -6);
    EXPECT_EQ(wave.GetLines().size(), 2u);
    EXPECT_EQ(wave.GetLinesText(), "a\nb\n");
    EXPECT_EQ(wave.GetFirstString(), "one");
    EXPECT_EQ(wave.GetSecondString(), "two");
    EXPECT_EQ(wave.GetFirstPair(), SL::IWave::DoublePair(0.5, 1.5));
    EXPECT_EQ(wave.GetSecondPair(), SL::IWave::DoublePair(2.5, 3.5));
}

TEST(Wave, ActivateMovesValuesIntoRange) {
    Wave16 wave(SL::CWaveFormat::WAVE);
    wave.SetSampleRate(-1.0);
    EXPECT_FALSE(wave.IsValid());
    wave.Activate();
    EXPECT_EQ(wave.GetSampleRate(), 0.0);
    EXPECT_TRUE(wave.IsValid());

    const auto wide = TwoChannelWave();
    wide->GetChannelCollection()->at(1)->SetPan(2.0);
    EXPECT_FALSE(wide->IsValid());
    wide->Activate();
    EXPECT_EQ(wide->GetChannelCollection()->at(1)->GetPan(), 1.0);
    EXPECT_TRUE(wide->IsValid());
}

// Copies of a two-channel wave: which parts are shared, and whether the copy still equals it
// after a change to the copy.
struct CopyCase {
    const char* what;
    bool deep;
    void (*change)(Wave16& copy);
    bool equalAfter;
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << c.what; }

class WaveCopy : public ::testing::TestWithParam<CopyCase> {};

TEST_P(WaveCopy, SharesOnlyWhatAShallowCopyShares) {
    const CopyCase& c = GetParam();
    const auto source = TwoChannelWave();
    Wave16 copy(*source, c.deep);
    EXPECT_TRUE(copy.Equals(*source)) << c.what;
    EXPECT_NE(copy.GetLoopPointer(), source->GetLoopPointer());
    EXPECT_NE(copy.GetEnvelopePointer(), source->GetEnvelopePointer());
    EXPECT_NE(copy.GetChannelCollectionPointer(), source->GetChannelCollectionPointer());
    EXPECT_EQ(copy.GetChannelCollection()->at(0) == source->GetChannelCollection()->at(0), !c.deep) << c.what;
    c.change(copy);
    EXPECT_EQ(copy.Equals(*source), c.equalAfter) << c.what;
    EXPECT_EQ(source->GetName(), "song");
}

INSTANTIATE_TEST_SUITE_P(
    Copies, WaveCopy,
    ::testing::Values(
        CopyCase{"deep, unchanged", true, [](Wave16&) {}, true},
        CopyCase{"deep, renamed", true, [](Wave16& w) { w.SetName("other"); }, false},
        CopyCase{"deep, sample changed", true, [](Wave16& w) { w.GetTypedChannels()[0]->GetData()[0] = 1; }, false},
        CopyCase{"deep, loop moved", true, [](Wave16& w) { w.GetLoopPointer()->SetEnd(1.0); }, false},
        CopyCase{"shallow, sample changed in the shared channel", false,
                 [](Wave16& w) { w.GetTypedChannels()[0]->GetData()[0] = 1; }, true},
        CopyCase{"shallow, channels rebuilt", false, [](Wave16& w) { w.GetTypedChannels().Resize(2); }, false},
        CopyCase{"shallow, sample rate", false, [](Wave16& w) { w.SetSampleRate(44100.0); }, false}));

TEST(Wave, CloneIsDeep) {
    const auto source = TwoChannelWave();
    const std::unique_ptr<Wave16> clone(source->Clone());
    const Wave16& wave = *clone;
    EXPECT_TRUE(wave.Equals(*source));
    EXPECT_NE(wave.GetChannelCollection()->at(1), source->GetChannelCollection()->at(1));
}

struct EqualityCase {
    const char* what;
    bool (*compare)();
    bool equal;
};

void PrintTo(const EqualityCase& c, std::ostream* os) { *os << c.what; }

class WaveEquality : public ::testing::TestWithParam<EqualityCase> {};

TEST_P(WaveEquality, ComparesClassRecordsAndChannels) {
    EXPECT_EQ(GetParam().compare(), GetParam().equal) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, WaveEquality,
    ::testing::Values(
        EqualityCase{"two new waves",
                     [] { return Wave16(SL::CWaveFormat::WAVE).Equals(Wave16(SL::CWaveFormat::WAVE)); }, true},
        EqualityCase{
            "other sample format",
            [] { return Wave16(SL::CWaveFormat::WAVE).Equals(SL::CWave<EBitDepth::INTEGER24>(SL::CWaveFormat::WAVE)); },
            false},
        EqualityCase{"other wave format",
                     [] { return Wave16(SL::CWaveFormat::WAVE).Equals(Wave16(SL::CWaveFormat::FFT)); }, false},
        EqualityCase{"other text",
                     [] {
                         Wave16 a(SL::CWaveFormat::WAVE);
                         a.SetSecondText("x");
                         return a.Equals(Wave16(SL::CWaveFormat::WAVE));
                     },
                     false},
        EqualityCase{"other channel count",
                     [] {
                         Wave16 a(SL::CWaveFormat::WAVE);
                         a.GetTypedChannels().Resize(1);
                         return a.Equals(Wave16(SL::CWaveFormat::WAVE));
                     },
                     false},
        EqualityCase{"not a wave",
                     [] { return Wave16(SL::CWaveFormat::WAVE).Equals(SL::CChannelCollection(SL::CWaveFormat::WAVE)); },
                     false}));

TEST(Wave, RangeGoesToEveryChannel) {
    Wave16 wave(SL::CWaveFormat::WAVE);
    wave.GetTypedChannels().Resize(2);
    wave.SetRange(CExtent(0, 100));
    EXPECT_EQ(wave.GetRange(), CExtent(0, 100));
    for (uint32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(wave.GetTypedChannels()[i]->GetSize(), 100);
        EXPECT_EQ(wave.GetTypedChannels()[i]->GetData()[99], 0);
    }
}

// As the readers do when the samples were not loaded: a bare collection of null channels.
TEST(Wave, InstalledCollectionIsKeptAsItIs) {
    SL::CWave<EBitDepth::FLOAT64> wave(SL::CWaveFormat::WAVE);
    auto bare = boost::make_shared<SL::CChannelCollection>(SL::CWaveFormat::WAVE);
    bare->Resize(2);
    bare->SetRange(CExtent(0, 480));
    wave.SetChannelCollection(bare);
    EXPECT_EQ(wave.GetChannelCollection(), bare);
    EXPECT_EQ(wave.GetChannelCollectionPointer(), bare.get());
    EXPECT_EQ(wave.GetRange(), CExtent(0, 480));
    EXPECT_EQ(wave.GetTypedChannels()[0], nullptr);
    wave.GetChannelCollectionPointer()->at(0)->SetPan(-1.0);
    wave.GetChannelCollectionPointer()->at(1)->SetPan(1.0);
    EXPECT_TRUE(wave.GetChannelCollection()->IsStereo());
    EXPECT_TRUE(wave.IsValid());
    const std::unique_ptr<SL::ICloneable> clone(wave.Clone());
    EXPECT_TRUE(dynamic_cast<SL::IWave&>(*clone).Equals(wave));
}

TEST(Wave, LoopAndEnvelopeSetters) {
    Wave16 wave(SL::CWaveFormat::WAVE);
    const boost::shared_ptr<SL::ILoop> loop(SL::CloneShared(*wave.GetLoopPointer()));
    wave.SetLoop(loop);
    EXPECT_EQ(wave.GetLoop(), loop);
    EXPECT_EQ(wave.GetLoopPointer(), loop.get());
    const boost::shared_ptr<SL::IEnvelope> envelope(new SL::CEnvelope(SL::CWaveFormat::PITCH_ENVELOPE));
    wave.SetEnvelope(envelope);
    EXPECT_EQ(wave.GetEnvelope(), envelope);
    EXPECT_EQ(static_cast<const Wave16&>(wave).GetEnvelopePointer(), envelope.get());

    EXPECT_THROW(wave.SetLoop(boost::shared_ptr<SL::ILoop>()), std::invalid_argument);
    EXPECT_THROW(wave.SetEnvelope(boost::shared_ptr<SL::IEnvelope>()), std::invalid_argument);
    EXPECT_THROW(wave.SetChannelCollection(boost::shared_ptr<SL::CChannelCollection>()), std::invalid_argument);
    EXPECT_EQ(wave.GetLoop(), loop);
    EXPECT_EQ(wave.GetEnvelope(), envelope);
    EXPECT_TRUE(wave.GetChannelCollection());
}

}  // namespace
