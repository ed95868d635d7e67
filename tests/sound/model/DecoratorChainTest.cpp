// The importer's road: any input stream read as 16-bit stereo, mono streams through the stereo
// decorator first, then always the bit-depth decorator to INTEGER16.
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using gbxtest::MakeVectorSource;
using gbxtest::ReadAll;
using SL::CBitDepth;

boost::shared_ptr<SL::ITypedInputSampleIterator<CBitDepth::INTEGER16>> AsStereo16(
    boost::shared_ptr<SL::IInputSampleIterator> source) {
    if (source->GetSampleAttribute().GetChannelCount() == 1)
        source = SL::CreateStereoDecorator(source->GetSampleAttribute().GetSampleFormat(), source);
    if (!source) return nullptr;
    return boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<CBitDepth::INTEGER16>>(
        SL::CreateBitDepthConvertDecorator(source->GetSampleAttribute().GetSampleFormat(), CBitDepth::INTEGER16,
                                           source));
}

TEST(DecoratorChain, UnsignedMonoBecomesSixteenBitStereo) {
    auto chain = AsStereo16(MakeVectorSource<CBitDepth::INTEGER8>({0, 128, 255}, 1, 11025.0));
    ASSERT_TRUE(chain);
    EXPECT_EQ(ReadAll<int16_t>(*chain), (std::vector<int16_t>{-32767, -32767, 0, 0, 32767, 32767}));
    EXPECT_TRUE(chain->IsGood());
    const SL::CSampleAttribute& a = chain->GetSampleAttribute();
    EXPECT_EQ(a.GetSampleFormat().GetCode(), CBitDepth::INTEGER16);
    EXPECT_EQ(a.GetChannelCount(), 2);
    EXPECT_EQ(a.GetFrames(), 3);
    EXPECT_EQ(a.GetSampleRate(), 11025.0);
}

TEST(DecoratorChain, SixteenBitMonoReadsEachValueTwice) {
    auto chain = AsStereo16(MakeVectorSource<CBitDepth::INTEGER16>({1, -2, 3}));
    ASSERT_TRUE(chain);
    EXPECT_EQ(ReadAll<int16_t>(*chain), (std::vector<int16_t>{1, 1, -2, -2, 3, 3}));
    EXPECT_FALSE(chain->HasNext());
}

TEST(DecoratorChain, StereoSourceIsOnlyConverted) {
    auto chain = AsStereo16(MakeVectorSource<CBitDepth::INTEGER24>({-8388608, 8388607, 256, -256}, 2));
    ASSERT_TRUE(chain);
    EXPECT_EQ(ReadAll<int16_t>(*chain), (std::vector<int16_t>{-32767, 32767, 1, -1}));
}

TEST(DecoratorChain, SourceFailingMidStreamIsNotAGoodConversion) {
    // A short read must not pass for a complete file: the outermost iterator reports the failure.
    auto source = MakeVectorSource<CBitDepth::INTEGER8>({10, 20, 30, 40});
    source->FailAfter(3);
    auto chain = AsStereo16(source);
    ASSERT_TRUE(chain);
    EXPECT_EQ(ReadAll<int16_t>(*chain).size(), 6u);
    EXPECT_FALSE(chain->IsGood());
}

TEST(DecoratorChain, PositioningReachesTheSourceAndRestartsOnTheLeft) {
    auto source = MakeVectorSource<CBitDepth::INTEGER16>({100, 200, 300});
    auto chain = AsStereo16(source);
    ASSERT_TRUE(chain);
    chain->Next();
    chain->SetLocation(1);
    EXPECT_EQ(source->GetLocation(), 1);
    EXPECT_EQ(ReadAll<int16_t>(*chain), (std::vector<int16_t>{200, 200, 300, 300}));
    EXPECT_EQ(chain->ToSourceCount(10), 5);
}

}  // namespace
