// The importer's read path: an in-memory input stream through the stereo and bit-depth decorators
// to 16-bit stereo, read with the system's loop (HasNext, Get, Next). Reported in output values per second.
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using SL::CBitDepth;

constexpr int kFrames = 1 << 16;

template <SL::EBitDepth F>
std::vector<SL::SampleElement<F>> Noise(std::size_t count, int64_t lo, int64_t hi) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int64_t> value(lo, hi);
    std::vector<SL::SampleElement<F>> values(count);
    for (auto& v : values) v = static_cast<SL::SampleElement<F>>(value(random));
    return values;
}

void ReadChain(benchmark::State& state, SL::ITypedInputSampleIterator<CBitDepth::INTEGER16>& chain) {
    std::vector<int16_t> out(static_cast<std::size_t>(chain.GetSampleAttribute().GetFrames()) * 2);
    int64_t values = 0;
    for (auto _ : state) {
        chain.SetLocation(0);
        int16_t* o = out.data();
        while (chain.HasNext()) {
            *o++ = chain.Get();
            chain.Next();
        }
        values += o - out.data();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(values);
}

boost::shared_ptr<SL::ITypedInputSampleIterator<CBitDepth::INTEGER16>> To16(
    const boost::shared_ptr<SL::IInputSampleIterator>& source) {
    return boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<CBitDepth::INTEGER16>>(
        SL::CreateBitDepthConvertDecorator(source->GetSampleAttribute().GetSampleFormat(), CBitDepth::INTEGER16,
                                           source));
}

void Unsigned8MonoToStereo16(benchmark::State& state) {
    auto source = gbxtest::MakeVectorSource<CBitDepth::INTEGER8>(Noise<CBitDepth::INTEGER8>(kFrames, 0, 255), 1);
    auto chain = To16(SL::CreateStereoDecorator(CBitDepth::INTEGER8, source));
    ReadChain(state, *chain);
}
BENCHMARK(Unsigned8MonoToStereo16);

void Stereo24ToStereo16(benchmark::State& state) {
    auto source =
        gbxtest::MakeVectorSource<CBitDepth::INTEGER24>(Noise<CBitDepth::INTEGER24>(2 * kFrames, -8388608, 8388607), 2);
    auto chain = To16(source);
    ReadChain(state, *chain);
}
BENCHMARK(Stereo24ToStereo16);

}  // namespace

BENCHMARK_MAIN();
