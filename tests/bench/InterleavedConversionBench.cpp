// Loading a WAV file's samples: 10 s of 24-bit stereo at 44.1 kHz, raw data-chunk bytes into a
// channel collection, as the file readers do once per imported file.
#include "sound/model/InterleavedConversion.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kFrames = 441000;

template <SL::EBitDepth Src>
std::vector<std::uint8_t> DataChunk() {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(kFrames) * kChannels * SL::BytesPerSample(Src));
    std::uint32_t state = 12345;
    for (auto& b : bytes) {
        state = state * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(state >> 16);
    }
    return bytes;
}

// range(0): the byte order (1 RIFF, 0 AIFF).
template <SL::EBitDepth Src, SL::EBitDepth Dst>
void ConvertDataChunk(benchmark::State& state) {
    const std::vector<std::uint8_t> bytes = DataChunk<Src>();
    const int byteOrder = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto channels = SL::ConvertInterleavedSamples(SL::CWaveFormat::WAVE, bytes, Dst, Src, byteOrder, kChannels);
        benchmark::DoNotOptimize(channels.get());
    }
    state.SetItemsProcessed(state.iterations() * kFrames * kChannels);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

using SL::EBitDepth;
BENCHMARK_TEMPLATE(ConvertDataChunk, EBitDepth::INTEGER24, EBitDepth::FLOAT64)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ConvertDataChunk, EBitDepth::INTEGER24, EBitDepth::INTEGER24)
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ConvertDataChunk, EBitDepth::INTEGER24, EBitDepth::INTEGER16)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(ConvertDataChunk, EBitDepth::INTEGER16, EBitDepth::FLOAT64)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
