#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/SampleFormatList.h"
#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <boost/weak_ptr.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using gbxtest::MakeVectorSource;
using gbxtest::ReadAll;
using SL::CBitDepth;
using SL::EBitDepth;

template <EBitDepth To>
boost::shared_ptr<SL::ITypedInputSampleIterator<To>> Decorate(
    EBitDepth from, const boost::shared_ptr<SL::IInputSampleIterator>& source) {
    return boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<To>>(
        SL::CreateBitDepthConvertDecorator(from, To, source));
}

TEST(BitDepthConvertDecorator, ConvertsEachValueAsItIsRead) {
    auto u8 = Decorate<CBitDepth::INTEGER16>(CBitDepth::INTEGER8, MakeVectorSource<CBitDepth::INTEGER8>({0, 128, 255}));
    ASSERT_TRUE(u8);
    EXPECT_EQ(ReadAll<int16_t>(*u8), (std::vector<int16_t>{-32767, 0, 32767}));
    EXPECT_FALSE(u8->HasNext());

    auto f32 =
        Decorate<CBitDepth::INTEGER16>(CBitDepth::FLOAT32, MakeVectorSource<CBitDepth::FLOAT32>({0.5f, -1.0f, 1.5f}));
    ASSERT_TRUE(f32);
    EXPECT_EQ(ReadAll<int16_t>(*f32), (std::vector<int16_t>{16384, -32767, 32767}));

    // 16 to 16 is not a copy: only -32768 changes.
    auto same = Decorate<CBitDepth::INTEGER16>(
        CBitDepth::INTEGER16, MakeVectorSource<CBitDepth::INTEGER16>({-32768, -32767, -1, 0, 1, 32767}));
    ASSERT_TRUE(same);
    EXPECT_EQ(ReadAll<int16_t>(*same), (std::vector<int16_t>{-32767, -32767, -1, 0, 1, 32767}));
}

TEST(BitDepthConvertDecorator, ReportsTheSourceAttributeWithItsOwnFormat) {
    auto source = MakeVectorSource<CBitDepth::INTEGER24>(std::vector<int32_t>(1000, 5), 1, 44100.0);
    source->Attribute().SetByteOrder(0);
    auto decorator = SL::CreateBitDepthConvertDecorator(CBitDepth::INTEGER24, CBitDepth::INTEGER16, source);
    ASSERT_TRUE(decorator);
    const SL::CSampleAttribute& a = decorator->GetSampleAttribute();
    EXPECT_EQ(a.GetSampleFormat().GetCode(), CBitDepth::INTEGER16);
    EXPECT_EQ(a.GetSampleRate(), 44100.0);
    EXPECT_EQ(a.GetChannelCount(), 1);
    EXPECT_EQ(a.GetFrames(), 1000);
    EXPECT_EQ(a.GetByteOrder(), 0);
    // The source keeps its own.
    EXPECT_EQ(source->GetSampleAttribute().GetSampleFormat().GetCode(), CBitDepth::INTEGER24);
}

TEST(BitDepthConvertDecorator, FactoryRefusesWhatItCannotConvert) {
    const boost::shared_ptr<SL::IInputSampleIterator> i16 = MakeVectorSource<CBitDepth::INTEGER16>({1, 2});
    const boost::shared_ptr<SL::IInputSampleIterator> i24 = MakeVectorSource<CBitDepth::INTEGER24>({1, 2});
    auto mislabelled = MakeVectorSource<CBitDepth::INTEGER16>({1, 2});
    mislabelled->Attribute().SetSampleFormat(CBitDepth::INTEGER8);
    struct {
        const char* what;
        EBitDepth from;
        EBitDepth to;
        boost::shared_ptr<SL::IInputSampleIterator> source;
    } const cases[] = {
        {"destination COMPLEX32", CBitDepth::INTEGER16, CBitDepth::COMPLEX32, i16},
        {"destination NONE", CBitDepth::INTEGER16, CBitDepth::NONE, i16},
        {"destination POINT64", CBitDepth::INTEGER16, CBitDepth::POINT64, i16},
        {"source NONE", CBitDepth::NONE, CBitDepth::INTEGER16, i16},
        {"source COMPLEX64", CBitDepth::COMPLEX64, CBitDepth::INTEGER16, i16},
        {"no source", CBitDepth::INTEGER16, CBitDepth::INTEGER16, nullptr},
        {"stated format differs from the source's", CBitDepth::INTEGER8, CBitDepth::INTEGER16, i16},
        {"same element type, other format", CBitDepth::INTEGER32, CBitDepth::INTEGER16, i24},
        {"attribute disagrees with the typed interface", CBitDepth::INTEGER16, CBitDepth::INTEGER16, mislabelled},
    };
    for (const auto& c : cases) EXPECT_FALSE(SL::CreateBitDepthConvertDecorator(c.from, c.to, c.source)) << c.what;
}

using FileFormats = SL::FileSampleFormats;
using ByteFormats = SL::CFormatList<CBitDepth::INTEGER8S, CBitDepth::INTEGER8>;

// Calls check (from, to), each a std::integral_constant of a file format, for every pair of the
// listed formats, from-major; returns the number of pairs checked. Only the listed pairs are
// instantiated, which keeps this file quick to compile.
template <EBitDepth... From, EBitDepth... To, typename Check>
int ForEachFilePair(SL::CFormatList<From...>, SL::CFormatList<To...>, Check check) {
    int checked = 0;
    const auto row = [&](auto f) { ((check(f, SL::FormatConstant<To>{}), ++checked), ...); };
    (row(SL::FormatConstant<From>{}), ...);
    return checked;
}

TEST(BitDepthConvertDecorator, FactoryPicksTheInstanceOfEveryFilePair) {
    // One value through each of the 49 instances, compared with the value rule itself.
    const int checked = ForEachFilePair(FileFormats(), FileFormats(), [](auto f, auto t) {
        constexpr EBitDepth F = decltype(f)::value;
        constexpr EBitDepth T = decltype(t)::value;
        const SL::SampleElement<F> value = SL::IsIntegerFormat(F) ? 100 : 0.3;
        auto decorator = Decorate<T>(F, MakeVectorSource<F>({value}));
        ASSERT_TRUE(decorator) << SL::CBitDepth(F).ToString() << " to " << SL::CBitDepth(T).ToString();
        EXPECT_EQ(decorator->GetSampleAttribute().GetSampleFormat().GetCode(), T);
        EXPECT_EQ(decorator->Get(), (SL::ConvertSampleValue<F, T>(value)));
    });
    EXPECT_EQ(checked, 49);
}

// Every byte of both 8-bit formats into every file format, read bare and behind a stereo
// decorator (the importer's chain), must give the value rule's result.
TEST(BitDepthConvertDecorator, EightBitSourcesGiveTheRuleForEveryByte) {
    const int checked = ForEachFilePair(ByteFormats(), FileFormats(), [](auto f, auto t) {
        constexpr EBitDepth F = decltype(f)::value;
        constexpr EBitDepth T = decltype(t)::value;
        std::vector<SL::SampleElement<F>> bytes;
        std::vector<SL::SampleElement<T>> expected;
        std::vector<SL::SampleElement<T>> twice;
        for (int b = 0; b < 256; ++b) {
            bytes.push_back(static_cast<SL::SampleElement<F>>(static_cast<uint8_t>(b)));
            expected.push_back(SL::ConvertSampleValue<F, T>(bytes.back()));
            twice.insert(twice.end(), 2, expected.back());
        }
        const std::string what = SL::CBitDepth(F).ToString() + " to " + SL::CBitDepth(T).ToString();
        auto bare = Decorate<T>(F, MakeVectorSource<F>(bytes));
        ASSERT_TRUE(bare) << what;
        EXPECT_EQ(ReadAll<SL::SampleElement<T>>(*bare), expected) << what;
        auto stereo = Decorate<T>(F, SL::CreateStereoDecorator(F, MakeVectorSource<F>(bytes)));
        ASSERT_TRUE(stereo) << what;
        EXPECT_EQ(ReadAll<SL::SampleElement<T>>(*stereo), twice) << what;
    });
    EXPECT_EQ(checked, 14);
}

TEST(BitDepthConvertDecorator, ForwardsPositionCountsAndState) {
    auto source = MakeVectorSource<CBitDepth::INTEGER16>({10, 20, 30, 40, 50, 60}, 2);
    auto decorator = Decorate<CBitDepth::INTEGER32>(CBitDepth::INTEGER16, source);
    ASSERT_TRUE(decorator);
    decorator->SetLocation(2);
    EXPECT_EQ(source->GetLocation(), 2);
    EXPECT_EQ(decorator->GetLocation(), 2);
    EXPECT_EQ(decorator->OffsetLocation(5), 7);
    EXPECT_EQ(decorator->Get(), (SL::ConvertSampleValue<CBitDepth::INTEGER16, CBitDepth::INTEGER32>(50)));
    EXPECT_EQ(decorator->ToSourceCount(9), 9);
    EXPECT_EQ(source->LastCountAsked(), 9);
    // Reading through the decorator advances the source.
    decorator->Next();
    decorator->Next();
    EXPECT_FALSE(source->HasNext());
    EXPECT_FALSE(decorator->HasNext());
    EXPECT_TRUE(decorator->IsGood());
}

TEST(BitDepthConvertDecorator, ReportsASourceThatFailedMidStream) {
    auto source = MakeVectorSource<CBitDepth::INTEGER24>({1, 2, 3, 4, 5});
    source->FailAfter(2);
    auto decorator = Decorate<CBitDepth::INTEGER16>(CBitDepth::INTEGER24, source);
    ASSERT_TRUE(decorator);
    EXPECT_EQ(ReadAll<int16_t>(*decorator).size(), 2u);
    EXPECT_FALSE(decorator->IsGood());
}

TEST(BitDepthConvertDecorator, KeepsItsSourceAlive) {
    boost::weak_ptr<SL::IInputSampleIterator> watch;
    boost::shared_ptr<SL::IInputSampleIterator> decorator;
    {
        auto source = MakeVectorSource<CBitDepth::INTEGER8S>({-128, 127});
        watch = source;
        decorator = SL::CreateBitDepthConvertDecorator(CBitDepth::INTEGER8S, CBitDepth::INTEGER8S, source);
    }
    EXPECT_FALSE(watch.expired());
    decorator.reset();
    EXPECT_TRUE(watch.expired());
}

}  // namespace
