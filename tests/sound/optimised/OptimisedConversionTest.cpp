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
#include <ostream>
#include <string>
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

// The values that differ from the rule's for the source values in order; -1 for a short read.
template <EBitDepth Dst>
int64_t Disagreements(const std::vector<int32_t>& sources, const SL::SampleElement<Dst>* converted) {
    int64_t bad = 0;
    for (size_t i = 0; i < sources.size(); ++i)
        bad += converted[i] != soundtest::DividingRule<EBitDepth::INTEGER24, Dst>(sources[i]);
    return bad;
}

// The importer's bit-depth decorator over a stereo source, read in blocks.
template <EBitDepth Dst>
int64_t ThroughTheDecorator(const std::vector<int32_t>& values) {
    SL::CSampleIteratorBitDepthConvertDecorator<EBitDepth::INTEGER24, Dst> decorator(
        gbxtest::MakeVectorSource<EBitDepth::INTEGER24>(values, 2));
    std::vector<SL::SampleElement<Dst>> converted(values.size());
    if (decorator.Read(converted.data(), converted.size()) != converted.size()) return -1;
    return Disagreements<Dst>(values, converted.data());
}

// The loader's conversion of interleaved little-endian bytes.
template <EBitDepth Dst>
int64_t ThroughInterleavedBytes(const std::vector<int32_t>& values) {
    SL::SampleBytes bytes;
    bytes.reserve(3 * values.size());
    for (const int32_t v : values)
        for (int shift : {0, 8, 16}) bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> shift));
    const auto channels = SL::FromInterleaved<EBitDepth::INTEGER24, Dst>(SL::CWaveFormat::WAVE, bytes, 1, 1);
    if (channels->size() != 1 || (*channels)[0]->GetRange() != SL::CExtent(0, static_cast<int32_t>(values.size())))
        return -1;
    return Disagreements<Dst>(values, (*channels)[0]->GetData());
}

// The importer's chain for a mono file: each value read twice through the stereo decorator.
int64_t MonoThroughTheStereoDecorator(const std::vector<int32_t>& values) {
    SL::CSampleIteratorBitDepthConvertDecorator<EBitDepth::INTEGER24, EBitDepth::INTEGER16> decorator(
        boost::make_shared<SL::CSampleIteratorStereoDecorator<EBitDepth::INTEGER24>>(
            gbxtest::MakeVectorSource<EBitDepth::INTEGER24>(values, 1)));
    std::vector<int16_t> converted(2 * values.size());
    if (decorator.Read(converted.data(), converted.size()) != converted.size()) return -1;
    int64_t bad = 0;
    for (size_t i = 0; i < values.size(); ++i) {
        const int16_t rule = soundtest::DividingRule<EBitDepth::INTEGER24, EBitDepth::INTEGER16>(values[i]);
        bad += (converted[2 * i] != rule) + (converted[2 * i + 1] != rule);
    }
    return bad;
}

struct Path {
    const char* name;
    int64_t (*disagreements)(const std::vector<int32_t>&);
};
void PrintTo(const Path& path, std::ostream* out) { *out << path.name; }

constexpr EBitDepth I8S = EBitDepth::INTEGER8S, I8 = EBitDepth::INTEGER8, I16 = EBitDepth::INTEGER16,
                    I32 = EBitDepth::INTEGER32;

const Path kPaths[] = {
    {"DecoratorTo16Bit", &ThroughTheDecorator<I16>},
    {"DecoratorToSigned8Bit", &ThroughTheDecorator<I8S>},
    {"DecoratorToUnsigned8Bit", &ThroughTheDecorator<I8>},
    {"DecoratorTo32Bit", &ThroughTheDecorator<I32>},
    {"MonoThroughTheStereoDecoratorTo16Bit", &MonoThroughTheStereoDecorator},
    {"InterleavedBytesTo16Bit", &ThroughInterleavedBytes<I16>},
    {"InterleavedBytesToSigned8Bit", &ThroughInterleavedBytes<I8S>},
    {"InterleavedBytesToUnsigned8Bit", &ThroughInterleavedBytes<I8>},
    {"InterleavedBytesTo32Bit", &ThroughInterleavedBytes<I32>},
};

class OptimisedConversion : public ::testing::TestWithParam<Path> {};

TEST_P(OptimisedConversion, EveryValueIsTheRulesValue) { EXPECT_EQ(GetParam().disagreements(Every24BitValue()), 0); }

INSTANTIATE_TEST_SUITE_P(Every24BitValue, OptimisedConversion, ::testing::ValuesIn(kPaths),
                         [](const ::testing::TestParamInfo<Path>& info) { return std::string(info.param.name); });

}  // namespace
