// Every 24-bit value through the block loops that make 24-bit audio 16-bit (and the other integer
// formats), compiled as a release build compiles them, against the dividing rule: the importer's
// bit-depth decorator, over a stereo source and over the stereo decorator of a mono one, and the
// loader's conversion of interleaved bytes.
#if !defined(__OPTIMIZE__) || defined(__SANITIZE_ADDRESS__)
#error "this test checks the conversions as the release build compiles them: -O3, without sanitizers"
#endif

#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/InterleavedConversion.h"
#include "sound/model/StereoDecorator.h"
#include "tests/sound/model/DividingRule.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cstdint>
#include <vector>

namespace {

using SL::EBitDepth;

constexpr int32_t kLowest = -8388608;
constexpr int32_t kValues = 1 << 24;

std::vector<int32_t> Every24BitValue() {
    std::vector<int32_t> values(kValues);
    for (int32_t i = 0; i < kValues; ++i) values[static_cast<size_t>(i)] = kLowest + i;
    return values;
}

// The values that differ from the rule's for the source values in order.
template <EBitDepth Dst>
int64_t Disagreements(const std::vector<int32_t>& sources, const SL::SampleElement<Dst>* converted) {
    int64_t bad = 0;
    for (size_t i = 0; i < sources.size(); ++i)
        bad += converted[i] != soundtest::DividingRule<EBitDepth::INTEGER24, Dst>(sources[i]);
    return bad;
}

template <typename T>
class OptimisedConversion : public ::testing::Test {};
template <EBitDepth F>
using Format = std::integral_constant<EBitDepth, F>;
using Destinations = ::testing::Types<Format<EBitDepth::INTEGER16>, Format<EBitDepth::INTEGER8S>,
                                      Format<EBitDepth::INTEGER8>, Format<EBitDepth::INTEGER32>>;
TYPED_TEST_SUITE(OptimisedConversion, Destinations);

TYPED_TEST(OptimisedConversion, DecoratorBlockReadsGiveTheRulesValues) {
    constexpr EBitDepth Dst = TypeParam::value;
    const std::vector<int32_t> values = Every24BitValue();
    SL::CSampleIteratorBitDepthConvertDecorator<EBitDepth::INTEGER24, Dst> decorator(
        gbxtest::MakeVectorSource<EBitDepth::INTEGER24>(values, 2));
    std::vector<SL::SampleElement<Dst>> converted(values.size());
    ASSERT_EQ(decorator.Read(converted.data(), converted.size()), converted.size());
    EXPECT_EQ(Disagreements<Dst>(values, converted.data()), 0);
}

TYPED_TEST(OptimisedConversion, InterleavedBytesGiveTheRulesValues) {
    constexpr EBitDepth Dst = TypeParam::value;
    const std::vector<int32_t> values = Every24BitValue();
    SL::SampleBytes bytes;
    bytes.reserve(3 * values.size());
    for (const int32_t v : values)
        for (int shift : {0, 8, 16}) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
    const auto channels = SL::FromInterleaved<EBitDepth::INTEGER24, Dst>(SL::CWaveFormat::WAVE, bytes, 1, 1);
    ASSERT_EQ(channels->size(), 1u);
    EXPECT_EQ(Disagreements<Dst>(values, (*channels)[0]->GetData()), 0);
}

// The importer's chain for a mono file: each value read twice through the stereo decorator.
TEST(OptimisedConversion, MonoThroughTheStereoDecoratorGivesEachRuleValueTwice) {
    const std::vector<int32_t> values = Every24BitValue();
    SL::CSampleIteratorBitDepthConvertDecorator<EBitDepth::INTEGER24, EBitDepth::INTEGER16> decorator(
        boost::make_shared<SL::CSampleIteratorStereoDecorator<EBitDepth::INTEGER24>>(
            gbxtest::MakeVectorSource<EBitDepth::INTEGER24>(values, 1)));
    std::vector<int16_t> converted(2 * values.size());
    ASSERT_EQ(decorator.Read(converted.data(), converted.size()), converted.size());
    int64_t bad = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int16_t rule = soundtest::DividingRule<EBitDepth::INTEGER24, EBitDepth::INTEGER16>(values[i]);
        bad += (converted[2 * i] != rule) + (converted[2 * i + 1] != rule);
    }
    EXPECT_EQ(bad, 0);
}

}  // namespace
