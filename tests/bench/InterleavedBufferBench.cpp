// Decoding one channel of interleaved file bytes, the inner step of loading every WAV or AIFF file.
#include "sound/model/InterleavedBuffer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kFrames = 1 << 20;

template <SL::EBitDepth F>
void DecodeChannel(benchmark::State& state) {
    const int byteOrder = static_cast<int>(state.range(0));
    using Buffer = SL::CInterleavedBuffer<F>;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kFrames) * kChannels * Buffer::SAMPLE_SIZE);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + 7);
    std::vector<typename Buffer::Element> channel(kFrames);
    const Buffer buffer(byteOrder, bytes.data(), bytes.data() + bytes.size(), kChannels);
    for (auto _ : state) {
        for (int c = 0; c < kChannels; ++c)
            std::transform(buffer.Begin({c, c + 1}), buffer.End({c, c + 1}), channel.begin(),
                           [](typename Buffer::Element e) { return e; });
        benchmark::DoNotOptimize(channel.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

BENCHMARK_TEMPLATE(DecodeChannel, SL::EBitDepth::INTEGER16)->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(DecodeChannel, SL::EBitDepth::INTEGER24)->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(DecodeChannel, SL::EBitDepth::FLOAT32)->Arg(0)->Arg(1);
BENCHMARK_TEMPLATE(DecodeChannel, SL::EBitDepth::FLOAT64)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
