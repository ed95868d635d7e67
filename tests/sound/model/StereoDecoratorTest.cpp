#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using gbxtest::MakeVectorSource;
using gbxtest::ReadAll;
using SL::CBitDepth;
using SL::EBitDepth;

template <EBitDepth F>
boost::shared_ptr<SL::ITypedInputSampleIterator<F>> Stereo(const boost::shared_ptr<SL::IInputSampleIterator>& source) {
    return boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<F>>(SL::CreateStereoDecorator(F, source));
}

TEST(StereoDecorator, GivesEachMonoValueTwice) {
    auto stereo = Stereo<CBitDepth::INTEGER16>(MakeVectorSource<CBitDepth::INTEGER16>({1, -2, 3}));
    ASSERT_TRUE(stereo);
    EXPECT_EQ(ReadAll<int16_t>(*stereo), (std::vector<int16_t>{1, 1, -2, -2, 3, 3}));
    EXPECT_FALSE(stereo->HasNext());
    EXPECT_TRUE(stereo->IsGood());
}

TEST(StereoDecorator, EmptySourceHasNoValue) {
    auto stereo = Stereo<CBitDepth::FLOAT32>(MakeVectorSource<CBitDepth::FLOAT32>({}));
    ASSERT_TRUE(stereo);
    EXPECT_FALSE(stereo->HasNext());
}

TEST(StereoDecorator, ReportsTwoChannelsAndOtherwiseTheSourceAttribute) {
    auto source = MakeVectorSource<CBitDepth::INTEGER8>(std::vector<uint8_t>(500, 128), 1, 22050.0);
    source->Attribute().SetByteOrder(0);
    auto stereo = Stereo<CBitDepth::INTEGER8>(source);
    ASSERT_TRUE(stereo);
    const SL::CSampleAttribute& a = stereo->GetSampleAttribute();
    EXPECT_EQ(a.GetSampleFormat().GetCode(), CBitDepth::INTEGER8);
    EXPECT_EQ(a.GetSampleRate(), 22050.0);
    EXPECT_EQ(a.GetChannelCount(), 2);
    EXPECT_EQ(a.GetFrames(), 500);
    EXPECT_EQ(a.GetByteOrder(), 0);
}

TEST(StereoDecorator, HalvesCountsTowardZeroForTheSource) {
    auto source = MakeVectorSource<CBitDepth::INTEGER32>({1});
    auto stereo = Stereo<CBitDepth::INTEGER32>(source);
    ASSERT_TRUE(stereo);
    const struct {
        int64_t asked;
        int64_t toSource;
    } cases[] = {{7, 3}, {-7, -3}, {8, 4}, {1, 0}, {0, 0}, {int64_t{1} << 40, int64_t{1} << 39}};
    for (const auto& c : cases) {
        EXPECT_EQ(stereo->ToSourceCount(c.asked), c.toSource);
        EXPECT_EQ(source->LastCountAsked(), c.toSource);
    }
}

TEST(StereoDecorator, TwoChannelSourceReadsEachValueTwice) {
    // Not a use the importer makes; the decorator does not look at the source's channels.
    auto stereo = Stereo<CBitDepth::INTEGER16>(MakeVectorSource<CBitDepth::INTEGER16>({1, 2, 3, 4}, 2));
    ASSERT_TRUE(stereo);
    EXPECT_EQ(ReadAll<int16_t>(*stereo), (std::vector<int16_t>{1, 1, 2, 2, 3, 3, 4, 4}));
    EXPECT_EQ(stereo->GetSampleAttribute().GetChannelCount(), 2);
}

TEST(StereoDecorator, SettingTheLocationStartsOnTheLeftValue) {
    auto source = MakeVectorSource<CBitDepth::FLOAT64>({0.0, 0.1, 0.2, 0.3});
    auto stereo = Stereo<CBitDepth::FLOAT64>(source);
    ASSERT_TRUE(stereo);
    stereo->Next();  // now on the right copy of frame 0
    stereo->SetLocation(2);
    EXPECT_EQ(stereo->GetLocation(), 2);
    EXPECT_EQ(stereo->OffsetLocation(-1), 1);
    EXPECT_EQ(ReadAll<double>(*stereo), (std::vector<double>{0.2, 0.2, 0.3, 0.3}));
}

TEST(StereoDecorator, SourceFailingInEitherPhaseEndsTheStream) {
    for (std::size_t failAfter : {1u, 2u}) {
        auto source = MakeVectorSource<CBitDepth::INTEGER8S>({1, 2, 3});
        source->FailAfter(failAfter);
        auto stereo = Stereo<CBitDepth::INTEGER8S>(source);
        ASSERT_TRUE(stereo);
        EXPECT_EQ(ReadAll<int8_t>(*stereo).size(), 2 * failAfter);
        EXPECT_FALSE(stereo->IsGood());
    }
}

TEST(StereoDecorator, FactoryMakesEveryFileFormatAndNothingElse) {
    auto check = [](auto format) {
        constexpr EBitDepth F = decltype(format)::value;
        const SL::SampleElement<F> value = 7;
        auto stereo = Stereo<F>(MakeVectorSource<F>({value}));
        ASSERT_TRUE(stereo) << CBitDepth(F).ToString();
        EXPECT_EQ(ReadAll<SL::SampleElement<F>>(*stereo), (std::vector<SL::SampleElement<F>>{value, value}));
    };
    for (EBitDepth f : {CBitDepth::INTEGER8S, CBitDepth::INTEGER8, CBitDepth::INTEGER16, CBitDepth::INTEGER24,
                        CBitDepth::INTEGER32, CBitDepth::FLOAT32, CBitDepth::FLOAT64})
        SL::DispatchFileFormat(f, check, [] { FAIL(); });

    const boost::shared_ptr<SL::IInputSampleIterator> i16 = MakeVectorSource<CBitDepth::INTEGER16>({1});
    EXPECT_FALSE(SL::CreateStereoDecorator(CBitDepth::NONE, i16));
    EXPECT_FALSE(SL::CreateStereoDecorator(CBitDepth::COMPLEX32, i16));
    EXPECT_FALSE(SL::CreateStereoDecorator(CBitDepth::INTEGER24, i16));
    EXPECT_FALSE(SL::CreateStereoDecorator(CBitDepth::INTEGER16, nullptr));
}

}  // namespace
