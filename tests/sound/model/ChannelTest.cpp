#include "sound/model/Channel.h"
#include "sound/model/EntityCollection.h"
#include "tests/sound/model/SelectionNotation.h"

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

namespace {

using SL::CExtent;
using SL::EBitDepth;
using Channel16 = SL::CChannel<EBitDepth::INTEGER16>;

template <EBitDepth F>
void Fill(SL::CChannel<F>& channel, const CExtent& range, const std::vector<SL::SampleElement<F>>& samples) {
    channel.SetRange(range);
    std::copy(samples.begin(), samples.end(), channel.GetData());
}

std::vector<int16_t> Samples(const Channel16& channel) { return std::vector<int16_t>(channel.begin(), channel.end()); }

SL::CEnvelope& EnvelopeOf(SL::IChannel& channel) { return dynamic_cast<SL::CEnvelope&>(*channel.GetEnvelopePointer()); }

TEST(Channel, NewChannelHasDefaultsAndFormat) {
    const Channel16 channel(SL::CWaveFormat::WAVE);
    EXPECT_EQ(channel.GetWaveFormat(), SL::CWaveFormat::WAVE);
    EXPECT_EQ(channel.GetPan(), 0.0);
    EXPECT_EQ(channel.GetPeak(), 1.0);
    EXPECT_EQ(channel.GetFactor(), 1.0);
    EXPECT_EQ(channel.GetRange(), CExtent(0, 0));
    EXPECT_FALSE(channel.IsActive());
    EXPECT_EQ(channel.GetName(), "");
    EXPECT_FALSE(channel.IsNull());
    EXPECT_TRUE(channel.IsValid());
    EXPECT_NE(channel.GetEnvelopePointer(), nullptr);
    EXPECT_TRUE(SL::CNullChannel(SL::CWaveFormat::WAVE).IsNull());
}

TEST(Channel, PanOutOfRangeIsInvalidUntilActivated) {
    for (const double pan : {3.0, -1.5, std::nan("")}) {
        Channel16 channel(SL::CWaveFormat::WAVE);
        channel.SetPan(pan);
        EXPECT_FALSE(channel.IsValid()) << pan;
        channel.Activate();
        EXPECT_TRUE(channel.IsValid()) << pan;
        EXPECT_EQ(channel.GetPan(), pan < 0 ? -1.0 : 1.0) << pan;
    }
    SL::CNullChannel null(SL::CWaveFormat::WAVE);
    null.SetPan(2.0);
    EXPECT_FALSE(null.IsValid());
    null.Activate();
    EXPECT_EQ(null.GetPan(), 1.0);
}

TEST(Channel, CloneIsDeepAndEqual) {
    Channel16 channel(SL::CWaveFormat::WAVE);
    Fill<EBitDepth::INTEGER16>(channel, CExtent(3, 6), {1, -2, 3});
    channel.SetName("left");
    const std::unique_ptr<Channel16> clone(channel.Clone());
    ASSERT_TRUE(clone);
    EXPECT_TRUE(clone->Equals(channel));
    EXPECT_TRUE(channel.Equals(*clone));
    EXPECT_NE(clone->GetEnvelopePointer(), channel.GetEnvelopePointer());
    dynamic_cast<Channel16&>(*clone).GetData()[1] = 7;
    EXPECT_FALSE(clone->Equals(channel));
    EXPECT_EQ(channel.GetData()[1], -2);
}

TEST(Channel, CopyWithoutSamplesKeepsStart) {
    Channel16 channel(SL::CWaveFormat::WAVE);
    Fill<EBitDepth::INTEGER16>(channel, CExtent(5, 8), {1, 2, 3});
    const Channel16 bare(channel, false);
    EXPECT_EQ(bare.GetRange(), CExtent(5, 5));
    EXPECT_FALSE(bare.Equals(channel));
    const Channel16 full(channel, true);
    EXPECT_TRUE(full.Equals(channel));
}

TEST(Channel, EqualityNeedsClassAndFormat) {
    const SL::CChannel<EBitDepth::INTEGER16> a(SL::CWaveFormat::WAVE);
    const SL::CChannel<EBitDepth::INTEGER24> b(SL::CWaveFormat::WAVE);
    const SL::CNullChannel null(SL::CWaveFormat::WAVE);
    EXPECT_FALSE(a.Equals(b));
    EXPECT_FALSE(b.Equals(a));
    EXPECT_FALSE(a.Equals(null));
    EXPECT_FALSE(null.Equals(a));
    EXPECT_TRUE(null.Equals(SL::CNullChannel(null)));
    SL::CNullChannel other(SL::CWaveFormat::WAVE);
    other.SetRange(CExtent(0, 1));
    EXPECT_FALSE(null.Equals(other));
}

TEST(Channel, NullChannelStoresAnyExtent) {
    SL::CNullChannel null(SL::CWaveFormat::WAVE);
    null.SetRange(CExtent(5, 2));
    EXPECT_EQ(null.GetRange(), CExtent(5, 2));
    const std::unique_ptr<SL::ICloneable> clone(null.Clone());
    EXPECT_EQ(dynamic_cast<SL::IChannel&>(*clone).GetRange(), CExtent(5, 2));
}

TEST(Channel, TypedChannelRefusesReversedExtent) {
    Channel16 channel(SL::CWaveFormat::WAVE);
    EXPECT_THROW(channel.SetRange(CExtent(5, 2)), std::length_error);
    EXPECT_EQ(channel.GetRange(), CExtent(0, 0));
}

// What CopyFrom takes from a source, by selection. The source sits at {10, 14} with samples
// 1..4; the target at {12, 16} with samples 9.
struct CopyCase {
    const char* selection;  // SelectionNotation; "" is the process-wide root-only collection
    bool attributes;
    bool range;
    bool envelope;
    std::vector<int16_t> samples;
    CExtent extent;
};

void PrintTo(const CopyCase& c, std::ostream* os) { *os << (*c.selection ? c.selection : "root-only"); }

class ChannelCopyFrom : public ::testing::TestWithParam<CopyCase> {};

TEST_P(ChannelCopyFrom, CopiesWhatIsSelected) {
    const CopyCase& c = GetParam();
    Channel16 source(SL::CWaveFormat::WAVE);
    Fill<EBitDepth::INTEGER16>(source, CExtent(10, 14), {1, 2, 3, 4});
    source.SetActive(true);
    source.SetName("name");
    source.SetText("text");
    source.SetSecondText("second");
    source.SetFactor(2.0);
    source.SetPan(-0.5);
    source.SetPeak(0.25);
    EnvelopeOf(source).insert(SL::CEnvelopePoint(1.0, 2.0));

    Channel16 target(SL::CWaveFormat::FFT);
    Fill<EBitDepth::INTEGER16>(target, CExtent(12, 16), {9, 9, 9, 9});
    const SL::CEntityCollection selection = sltest::Selection(c.selection);
    target.CopyFrom(source, *c.selection ? selection : SL::GetRootOnlyCollection());

    EXPECT_EQ(target.IsActive(), c.attributes);
    EXPECT_EQ(target.GetName(), c.attributes ? "name" : "");
    EXPECT_EQ(target.GetText(), c.attributes ? "text" : "");
    EXPECT_EQ(target.GetSecondText(), c.attributes ? "second" : "");
    EXPECT_EQ(target.GetFactor(), c.attributes ? 2.0 : 1.0);
    EXPECT_EQ(target.GetPan(), c.attributes ? -0.5 : 0.0);
    EXPECT_EQ(target.GetPeak(), c.attributes ? 0.25 : 1.0);
    EXPECT_EQ(EnvelopeOf(target).size(), c.envelope ? 1u : 0u);
    EXPECT_EQ(target.GetRange(), c.extent);
    EXPECT_EQ(Samples(target), c.samples);
    EXPECT_EQ(target.GetWaveFormat(), SL::CWaveFormat::FFT);  // never copied
}

INSTANTIATE_TEST_SUITE_P(Selections, ChannelCopyFrom,
                         ::testing::Values(CopyCase{"", true, true, true, {1, 2, 3, 4}, CExtent(10, 14)},
                                           CopyCase{"1:-1:0", true, true, true, {1, 2, 3, 4}, CExtent(10, 14)},
                                           CopyCase{"1:-1:0x20", false, true, false, {9, 9, 9, 9}, CExtent(10, 14)},
                                           CopyCase{"1:7:0x20", false, true, false, {9, 9, 9, 9}, CExtent(10, 14)},
                                           CopyCase{"1:-1:0x10", false, false, false, {3, 4, 9, 9}, CExtent(12, 16)},
                                           CopyCase{"1:-1:-49", true, false, false, {9, 9, 9, 9}, CExtent(12, 16)},
                                           CopyCase{"1:-1:0x30", false, true, false, {1, 2, 3, 4}, CExtent(10, 14)},
                                           CopyCase{"2:0:0", false, false, false, {9, 9, 9, 9}, CExtent(12, 16)},
                                           CopyCase{
                                               "1:-1:0 > 2:0:0", false, false, true, {9, 9, 9, 9}, CExtent(12, 16)}));

TEST(Channel, CopyFromKeepsSamplesOutsideTheOverlap) {
    Channel16 source(SL::CWaveFormat::WAVE);
    source.SetRange(CExtent(0, 100));
    for (int i = 0; i < 100; ++i) source.GetData()[i] = static_cast<int16_t>(i + 1);
    Channel16 target(SL::CWaveFormat::WAVE);
    target.SetRange(CExtent(50, 150));
    std::fill(target.begin(), target.end(), int16_t{-5});
    target.CopyFrom(source, sltest::Selection("1:-1:0x10"));
    EXPECT_EQ(target.GetRange(), CExtent(50, 150));
    EXPECT_EQ(*target.GetSampleAt(50), 51);
    EXPECT_EQ(*target.GetSampleAt(99), 100);
    EXPECT_EQ(*target.GetSampleAt(100), -5);
    EXPECT_EQ(*target.GetSampleAt(149), -5);
}

TEST(Channel, CopyFromAnotherFormatCopiesAttributesOnly) {
    SL::CChannel<EBitDepth::FLOAT32> source(SL::CWaveFormat::WAVE);
    Fill<EBitDepth::FLOAT32>(source, CExtent(0, 2), {0.5f, -0.5f});
    source.SetName("f32");
    SL::CChannel<EBitDepth::FLOAT64> target(SL::CWaveFormat::WAVE);
    target.CopyFrom(source, SL::GetRootOnlyCollection());
    EXPECT_EQ(target.GetName(), "f32");
    EXPECT_EQ(target.GetRange(), CExtent(0, 2));
    EXPECT_EQ(target.GetData()[0], 0.0);
    EXPECT_EQ(target.GetData()[1], 0.0);

    // A null channel takes the attributes and the extent, and a typed one copies from it.
    SL::CNullChannel null(SL::CWaveFormat::WAVE);
    null.CopyFrom(source, SL::GetRootOnlyCollection());
    EXPECT_EQ(null.GetName(), "f32");
    EXPECT_EQ(null.GetRange(), CExtent(0, 2));
}

TEST(Channel, EnvelopeIsSharedThroughItsSetter) {
    Channel16 channel(SL::CWaveFormat::WAVE);
    const auto envelope = boost::shared_ptr<SL::IEnvelope>(new SL::CEnvelope(SL::CWaveFormat::AMPLITUDE_ENVELOPE));
    channel.SetEnvelope(envelope);
    EXPECT_EQ(channel.GetEnvelope(), envelope);
    EXPECT_EQ(channel.GetEnvelopePointer(), envelope.get());
    const std::unique_ptr<SL::ICloneable> clone(channel.Clone());
    EXPECT_NE(dynamic_cast<SL::IChannel&>(*clone).GetEnvelopePointer(), envelope.get());
    EXPECT_THROW(channel.SetEnvelope(boost::shared_ptr<SL::IEnvelope>()), std::invalid_argument);
    EXPECT_EQ(channel.GetEnvelope(), envelope);
}

}  // namespace
