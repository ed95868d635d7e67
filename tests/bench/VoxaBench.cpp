// Voxa codec speed. With no arguments (or Google Benchmark flags) it runs the block
// benchmarks; with `--file WAV [MODE]` it encodes a 16-bit WAV file's samples to a Voxa
// stream in memory through the output iterator, decodes them back through the input
// iterator, and prints the times (used by bench_voxa.sh). `--encode WAV Q3R` and `--decode Q3R`
// do one piece of work each, untimed, so that bench_voxa.sh can time the whole process beside sox
// doing the same; this program leaves out the toolkit that the card's transfers link, so that
// its start costs what a small command-line program's does.
#include "app/card/VoxaFiles.h"
#include "sound/files/FileSampleIterators.h"
#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaFileSampleIterators.h"

#include <benchmark/benchmark.h>

#include <boost/make_shared.hpp>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Blocks of a tone with a little noise, the kind of content the card holds.
std::vector<int16_t> MusicLikeSamples(size_t count) {
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 600.0);
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / 44100.0;
        const double v =
            8000.0 * std::sin(2 * M_PI * 220.0 * t) + 3000.0 * std::sin(2 * M_PI * 1760.0 * t) + noise(rng);
        samples[i] = static_cast<int16_t>(std::lround(std::max(-32768.0, std::min(32767.0, v))));
    }
    return samples;
}

void BM_EncodeBlock(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const std::vector<int16_t> samples = MusicLikeSamples(16 * 4096);
    SL::Private::compressor enc;
    uint8_t out[16];
    int32_t last = 0;
    size_t at = 0;
    for (auto _ : state) {
        last = enc.EncodeBlock(samples.data() + at, out, last, mode);
        benchmark::DoNotOptimize(out);
        at = (at + 16) % samples.size();
    }
    state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_EncodeBlock)->DenseRange(4, 8);

void BM_DecodeBlock(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const std::vector<int16_t> samples = MusicLikeSamples(16 * 4096);
    std::vector<uint8_t> blocks(samples.size() / 16 * static_cast<size_t>(2 * mode));
    SL::Private::compressor enc;
    int32_t last = 0;
    for (size_t b = 0; b < samples.size() / 16; ++b)
        last = enc.EncodeBlock(samples.data() + 16 * b, blocks.data() + b * static_cast<size_t>(2 * mode), last, mode);
    SL::Private::expander dec;
    int16_t out[16];
    last = 0;
    size_t at = 0;
    for (auto _ : state) {
        last = dec.DecodeBlock(blocks.data() + at, out, last, mode);
        benchmark::DoNotOptimize(out);
        at = (at + static_cast<size_t>(2 * mode)) % blocks.size();
    }
    state.SetItemsProcessed(state.iterations() * 16);
}
BENCHMARK(BM_DecodeBlock)->DenseRange(4, 8);

// The interleaved 16-bit samples and the layout of a plain PCM WAV file.
struct Pcm {
    std::vector<int16_t> samples;
    int channels = 0;
    double rate = 0;
};

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

bool LoadWav(const std::string& path, Pcm& pcm) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::vector<uint8_t> bytes(static_cast<size_t>(std::max<std::streamoff>(0, in.tellg())));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!in) return false;
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
        return false;
    size_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint32_t size = Le32(bytes.data() + at + 4);
        const uint8_t* body = bytes.data() + at + 8;
        const size_t available = std::min<size_t>(size, bytes.size() - at - 8);
        if (std::memcmp(bytes.data() + at, "fmt ", 4) == 0 && available >= 16) {
            pcm.channels = body[2] | body[3] << 8;
            pcm.rate = Le32(body + 4);
            if ((body[14] | body[15] << 8) != 16) return false;
        } else if (std::memcmp(bytes.data() + at, "data", 4) == 0) {
            pcm.samples.resize(available / 2);
            std::memcpy(pcm.samples.data(), body, pcm.samples.size() * 2);  // little-endian host
        }
        at += 8 + size + (size & 1);
    }
    return pcm.channels > 0 && !pcm.samples.empty();
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Encodes every sample through the output iterator into a memory stream; the time taken.
double EncodeOnce(const Pcm& pcm, int mode, const SL::CSampleAttribute& attribute,
                  const boost::shared_ptr<std::stringstream>& coded) {
    coded->clear();
    coded->seekp(0);
    const auto start = std::chrono::steady_clock::now();
    boost::shared_ptr<SL::IOutputSampleIterator> base = boost::make_shared<SL::CVoxaFileOutputSampleIterator>(
        mode, attribute, std::vector<boost::shared_ptr<std::ostream>>{coded}, std::vector<int>{pcm.channels},
        SL::CVoxaFileOutputSampleIterator::CDataRange{0, 2147483647},
        [](SL::CVoxaFileOutputSampleIterator& it) { return it.Flush(); });
    auto out = boost::dynamic_pointer_cast<SL::CVoxaFileOutputSampleIterator>(base);
    auto& typed = static_cast<SL::ITypedOutputSampleIterator<SL::EBitDepth::INTEGER16>&>(*out);
    for (int16_t v : pcm.samples) {
        if (!typed.HasNext()) break;
        typed.Set(v);
        typed.Next();
    }
    if (!out->Finish() || !out->IsGood()) return -1;
    return Seconds(start);
}

// Decodes the stream through the input iterator into decoded; the time taken.
double DecodeOnce(int mode, const SL::CSampleAttribute& attribute, const boost::shared_ptr<std::stringstream>& coded,
                  std::vector<int16_t>& decoded) {
    const auto start = std::chrono::steady_clock::now();
    boost::shared_ptr<SL::IInputSampleIterator> base = boost::make_shared<SL::CVoxaFileInputSampleIterator>(
        mode, attribute, std::vector<int>{attribute.GetChannelCount()},
        std::vector<boost::shared_ptr<std::istream>>{coded}, 0);
    auto in = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<SL::EBitDepth::INTEGER16>>(base);
    size_t count = 0;
    while (in->HasNext() && count < decoded.size()) {
        decoded[count++] = in->Get();
        in->Next();
    }
    if (!in->IsGood() || count != decoded.size() || in->HasNext()) return -1;
    return Seconds(start);
}

int CompareFile(const std::string& path, int mode, int runs) {
    Pcm pcm;
    if (!LoadWav(path, pcm)) {
        std::fprintf(stderr, "bench_voxa: cannot read 16-bit PCM from %s\n", path.c_str());
        return 1;
    }
    const int frames = static_cast<int>(pcm.samples.size() / static_cast<size_t>(pcm.channels));
    const double audioSeconds = frames / pcm.rate;
    SL::CSampleAttribute attribute(SL::CBitDepth(SL::CBitDepth::INTEGER16), pcm.rate, pcm.channels, 1);

    // The coded size is known, so the memory stream never grows while it is timed, and the
    // decoded samples' pages are touched before: page faults are no codec's cost.
    const size_t groups = (static_cast<size_t>(frames) + 15) / 16;
    auto coded = boost::make_shared<std::stringstream>(std::string(groups * pcm.channels * 2 * mode, '\0'));
    std::vector<int16_t> decoded(pcm.samples.size(), 1);
    double encodeSeconds = 1e9;
    double decodeSeconds = 1e9;
    attribute.SetFrames(frames);
    for (int run = 0; run < runs; ++run) {  // the best of a few runs: the machine may be shared
        const double enc = EncodeOnce(pcm, mode, attribute, coded);
        const double dec = DecodeOnce(mode, attribute, coded, decoded);
        if (enc < 0 || dec < 0) {
            std::fprintf(stderr, "bench_voxa: coding failed\n");
            return 1;
        }
        encodeSeconds = std::min(encodeSeconds, enc);
        decodeSeconds = std::min(decodeSeconds, dec);
    }

    double squared = 0;
    for (size_t i = 0; i < decoded.size(); ++i) {
        const double e = decoded[i] - pcm.samples[i];
        squared += e * e;
    }
    const double rms = std::sqrt(squared / static_cast<double>(decoded.size()));
    std::printf("audio_seconds %.3f\nvoxa_mode %d\nvoxa_bytes %zu\nruns %d\n", audioSeconds, mode,
                groups * pcm.channels * 2 * mode, runs);
    std::printf("encode_seconds %.4f\nencode_realtime %.1f\n", encodeSeconds, audioSeconds / encodeSeconds);
    std::printf("decode_seconds %.4f\ndecode_realtime %.1f\n", decodeSeconds, audioSeconds / decodeSeconds);
    std::printf("rms_error %.2f\n", rms);
    return 0;
}

// The encoder as the import runs it: a 16-bit WAV file's values in blocks into a Voxa file.
int EncodeOnce(const std::string& wav, const std::string& song) {
    const auto input = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<SL::EBitDepth::INTEGER16>>(
        SL::CFileSampleIteratorFactory().CreateInputIterator(wav));
    if (!input) return 1;
    const SL::CSampleAttribute& attribute = input->GetSampleAttribute();
    const auto output = CreateVoxaFile(song, attribute.GetSampleRate(), attribute.GetChannelCount());
    if (!output) return 1;
    std::vector<int16_t> block(16384);
    while (const size_t n = input->Read(block.data(), block.size()))
        if (output->Write(block.data(), n) != n) return 1;
    return input->IsGood() && output->Finish() && output->IsGood() ? 0 : 1;
}

// The bare decoder: every value of the Voxa file decoded into one block of memory after another,
// nothing kept (as a null sink takes them).
int DecodeOnce(const std::string& song) {
    const auto input = OpenVoxaFile(song);
    if (!input) return 1;
    const int64_t expected =
        int64_t{input->GetSampleAttribute().GetChannelCount()} * int64_t{input->GetSampleAttribute().GetFrames()};
    std::vector<int16_t> block(16384);
    int64_t values = 0;
    while (const size_t n = input->Read(block.data(), block.size())) {
        benchmark::DoNotOptimize(block.data());
        values += static_cast<int64_t>(n);
    }
    return values == expected && input->IsGood() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--encode") == 0) return EncodeOnce(argv[2], argv[3]);
    if (argc >= 3 && std::strcmp(argv[1], "--decode") == 0) return DecodeOnce(argv[2]);
    if (argc >= 3 && std::strcmp(argv[1], "--file") == 0) {
        try {
            return CompareFile(argv[2], argc >= 4 ? std::atoi(argv[3]) : 6, argc >= 5 ? std::atoi(argv[4]) : 3);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "bench_voxa: %s\n", e.what());
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
