// The decorators' block Read against the value-by-value loop: two chains over the same values,
// one driven by Read (mixed with Get, Next and SetLocation), the other one value at a time, must
// deliver the same values and stand in the same state after every call: HasNext, IsGood, the
// location, the current value (which shows the stereo phase) and ToSourceCount.
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/SampleFormatList.h"
#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using SL::CBitDepth;
using SL::EBitDepth;

// Steps of a script besides a Read of that many values.
constexpr size_t kGetNext = std::numeric_limits<size_t>::max();  // one round of HasNext, Get and Next
constexpr size_t kSetLocation = kGetNext - 1;                    // SetLocation (1) on both chains

struct Script {
    const char* what;
    std::vector<size_t> steps;  // the last step repeats until the stream ends
};

const Script kScripts[] = {
    {"Read 1", {1}},
    {"Read 2", {2}},
    {"Read 3", {3}},
    {"Read 7", {7}},
    {"Read 4096", {4096}},
    {"mixed", {kGetNext, 3, 0, kGetNext, kSetLocation, kGetNext, 7, 2049, 1, kGetNext, 4096, 2, 5}},
};

struct SourceCase {
    const char* what;
    size_t values;
    size_t failAfter;  // 0: never fails
};

// 5001 values cross the decorators' blocks with an odd count; the failures land mid-block and
// just past the bit-depth decorator's first block.
const SourceCase kSources[] = {
    {"empty", 0, 0},          {"one value", 1, 0},        {"five values", 5, 0},
    {"5001 values", 5001, 0}, {"fails after 3", 5001, 3}, {"fails after 2049", 5001, 2049},
};

// Values spread over the format's whole range, its extremes first.
template <EBitDepth F>
std::vector<SL::SampleElement<F>> SpreadValues(size_t count) {
    using T = SL::SampleElement<F>;
    std::vector<T> values;
    for (size_t i = 0; i < count; ++i) {
        if constexpr (SL::IsIntegerFormat(F)) {
            using Traits = SL::CSampleFormatTraits<F>;
            const int64_t lowest = 2 * int64_t{Traits::ZERO} - int64_t{Traits::MAXIMUM} - 1;
            const int64_t span = int64_t{Traits::MAXIMUM} - lowest + 1;
            const uint64_t scattered = i * uint64_t{2654435761u} % static_cast<uint64_t>(span);
            const int64_t offset = i == 0 ? 0 : i == 1 ? span - 1 : static_cast<int64_t>(scattered);
            values.push_back(static_cast<T>(lowest + offset));
        } else {
            values.push_back(static_cast<T>((static_cast<double>(i % 23) - 11.0) / 7.0));  // about ±1.57
        }
    }
    return values;
}

template <EBitDepth To>
using Chain = boost::shared_ptr<SL::ITypedInputSampleIterator<To>>;

template <EBitDepth To>
using ChainMaker = std::function<Chain<To>()>;

// Runs the script on one chain and the value-by-value loop on another, comparing after each step.
template <EBitDepth To>
void ExpectBlocksMatchValues(const ChainMaker<To>& make, const Script& script) {
    SCOPED_TRACE(script.what);
    using T = SL::SampleElement<To>;
    const Chain<To> blocks = make();
    const Chain<To> values = make();
    ASSERT_TRUE(blocks && values);
    std::vector<T> got;
    for (size_t step = 0;; ++step) {
        const size_t kind = script.steps[std::min(step, script.steps.size() - 1)];
        SCOPED_TRACE("step " + std::to_string(step));
        if (kind == kSetLocation) {
            blocks->SetLocation(1);
            values->SetLocation(1);
            continue;
        }
        size_t wanted = kind;
        if (kind == kGetNext) {
            wanted = 1;
            got.clear();
            if (blocks->HasNext()) {
                got.push_back(blocks->Get());
                blocks->Next();
            }
        } else {
            got.assign(kind + 1, T(42));  // one slot more, which Read must leave alone
            got.resize(blocks->Read(got.data(), kind));
            ASSERT_EQ(T(42), got.data()[kind]);
        }
        std::vector<T> expected;
        while (expected.size() < wanted && values->HasNext()) {
            expected.push_back(values->Get());
            values->Next();
        }
        ASSERT_EQ(expected, got);
        ASSERT_EQ(values->HasNext(), blocks->HasNext());
        ASSERT_EQ(values->IsGood(), blocks->IsGood());
        ASSERT_EQ(values->GetLocation(), blocks->GetLocation());
        ASSERT_EQ(values->ToSourceCount(7), blocks->ToSourceCount(7));
        if (values->HasNext()) {
            ASSERT_EQ(values->Get(), blocks->Get());
        }
        if (expected.size() < wanted) return;  // the stream has ended (a Read of 0 does not count)
    }
}

template <EBitDepth... F, typename Function>
void ForEachFormat(SL::CFormatList<F...>, Function f) {
    (f(SL::FormatConstant<F>{}), ...);
}

using Source = boost::shared_ptr<SL::IInputSampleIterator>;

// Every file format as source, mono and stereo, every source case and script, through the chain
// that decorate (format constant, source) builds over the source.
template <typename Decorate>
void CheckEverySource(Decorate decorate) {
    ForEachFormat(SL::FileSampleFormats(), [&](auto format) {
        constexpr EBitDepth F = decltype(format)::value;
        using ChainType = decltype(decorate(format, Source()));
        constexpr EBitDepth To = ChainType::element_type::FORMAT;
        for (const int channels : {1, 2}) {
            for (const SourceCase& source : kSources) {
                SCOPED_TRACE(CBitDepth(F).ToString() + ", " + std::to_string(channels) + " channels, " + source.what);
                const auto values = SpreadValues<F>(source.values);
                const ChainMaker<To> make = [&] {
                    auto vector = gbxtest::MakeVectorSource<F>(values, channels);
                    if (source.failAfter > 0) vector->FailAfter(source.failAfter);
                    return decorate(format, vector);
                };
                for (const Script& script : kScripts) ExpectBlocksMatchValues<To>(make, script);
            }
        }
    });
}

// The chain's typed interface; EBitDepth::NONE stands for the source's own format.
template <EBitDepth To, typename Format>
auto Typed(Format, const Source& chain) {
    constexpr EBitDepth Result = To == EBitDepth::NONE ? Format::value : To;
    return SL::AsTypedSource<Result>(chain);
}

TEST(DecoratorBlockRead, BitDepthToSixteenBitMatchesValueByValue) {
    CheckEverySource([](auto f, const Source& s) {
        return Typed<EBitDepth::INTEGER16>(f, SL::CreateBitDepthConvertDecorator(f.value, CBitDepth::INTEGER16, s));
    });
}

TEST(DecoratorBlockRead, BitDepthToFloatMatchesValueByValue) {
    CheckEverySource([](auto f, const Source& s) {
        return Typed<EBitDepth::FLOAT32>(f, SL::CreateBitDepthConvertDecorator(f.value, CBitDepth::FLOAT32, s));
    });
}

TEST(DecoratorBlockRead, StereoMatchesValueByValue) {
    CheckEverySource(
        [](auto f, const Source& s) { return Typed<EBitDepth::NONE>(f, SL::CreateStereoDecorator(f.value, s)); });
}

TEST(DecoratorBlockRead, ImporterChainMatchesValueByValue) {
    CheckEverySource([](auto f, const Source& s) {
        const Source stereo = SL::CreateStereoDecorator(f.value, s);
        return Typed<EBitDepth::INTEGER16>(f,
                                           SL::CreateBitDepthConvertDecorator(f.value, CBitDepth::INTEGER16, stereo));
    });
}

}  // namespace
