// The importer's file path: a WAV or AIFF file read through the file sample iterators, the
// stereo and bit-depth decorators, and written as a 16-bit stereo WAV file by SL::CopySamples.
// Without arguments: Google Benchmark on a generated file. With `--convert IN OUT`: converts IN to
// OUT once, so that bench_sample_files.sh can time the whole process beside sox doing the same.
// `--convert-blocks IN OUT` does the same conversion with the file iterators' block calls and the
// conversion rule in a loop, without the decorators, to show what the decorators themselves cost.
#include "sound/files/CopySamples.h"
#include "sound/files/FileSampleIterators.h"
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/StereoDecorator.h"

#include <benchmark/benchmark.h>

#include <boost/pointer_cast.hpp>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using SL::CBitDepth;
using SL::EBitDepth;

// Answers the number of values written, or -1 when the conversion failed.
int64_t ConvertToStereo16(const std::string& in, const std::string& out) {
    SL::CFileSampleIteratorFactory factory;
    auto input = factory.CreateInputIterator(in);
    if (!input) return -1;
    const CBitDepth format = input->GetSampleAttribute().GetSampleFormat();
    if (input->GetSampleAttribute().GetChannelCount() == 1) input = SL::CreateStereoDecorator(format, input);
    input = SL::CreateBitDepthConvertDecorator(format, CBitDepth::INTEGER16, input);
    if (!input) return -1;
    auto output = factory.CreateOutputIterator(input->GetSampleAttribute(), out, SL::CWaveFileFormat::WINWAVE);
    auto source = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<EBitDepth::INTEGER16>>(input);
    auto sink = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>>(output);
    if (!source || !sink) return -1;
    const int64_t values = SL::CopySamples(*source, *sink);
    if (!source->IsGood() || !sink->IsGood() || !sink->Finish()) return -1;
    return values;
}

// The file iterators' block calls around the conversion rule; mono values are doubled.
template <EBitDepth F>
int64_t ConvertBlocks(SL::IInputSampleIterator& input, const std::string& out) {
    auto* source = dynamic_cast<SL::CFileInputSampleIterator<F>*>(&input);
    if (!source) return -1;
    const bool mono = input.GetSampleAttribute().GetChannelCount() == 1;
    SL::CSampleAttribute attribute = input.GetSampleAttribute();
    attribute.SetSampleFormat(CBitDepth::INTEGER16);
    attribute.SetChannelCount(2);
    auto sink = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, out, SL::CWaveFileFormat::WINWAVE));
    if (!sink) return -1;
    const SL::ConvertSample<F, EBitDepth::INTEGER16> convert;
    std::vector<SL::SampleElement<F>> in(8192);
    std::vector<int16_t> converted(2 * in.size());
    int64_t values = 0;
    while (const size_t n = source->Read(in.data(), in.size())) {
        size_t m = 0;
        for (size_t i = 0; i < n; ++i) {
            const int16_t value = convert(in[i]);
            converted[m++] = value;
            if (mono) converted[m++] = value;
        }
        if (sink->Write(converted.data(), m) != m) return -1;
        values += static_cast<int64_t>(m);
    }
    if (!source->IsGood() || !sink->IsGood() || !sink->Finish()) return -1;
    return values;
}

int64_t ConvertToStereo16InBlocks(const std::string& in, const std::string& out) {
    auto input = SL::CFileSampleIteratorFactory().CreateInputIterator(in);
    if (!input) return -1;
    return SL::DispatchFileFormat(
        input->GetSampleAttribute().GetSampleFormat().GetCode(),
        [&](auto format) { return ConvertBlocks<decltype(format)::value>(*input, out); }, [] { return int64_t{-1}; });
}

// A file of the format with the given seconds of a 44.1 kHz ramp, written by our writer.
template <EBitDepth F>
std::string MakeInput(const std::string& path, int channels, SL::EWaveFileFormat container, int seconds) {
    SL::CSampleAttribute attribute(F, 44100.0, channels, 1);
    auto output = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<F>>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, path, container));
    for (int64_t i = 0; i < int64_t{44100} * seconds * channels; ++i) {
        output->Set(static_cast<SL::SampleElement<F>>(i * 7919 % 251));
        output->Next();
    }
    output->Finish();
    return path;
}

std::string TempPath(const char* name) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/gbx-bench-" + std::to_string(getpid()) + "-" + name;
}

void Convert(benchmark::State& state, const std::string& in) {
    const std::string out = TempPath("out.wav");
    int64_t values = 0;
    for (auto _ : state) values += ConvertToStereo16(in, out);
    state.SetItemsProcessed(values);
    std::remove(out.c_str());
}

void Stereo24AiffToStereo16Wav(benchmark::State& state) {
    const std::string in = MakeInput<EBitDepth::INTEGER24>(TempPath("in24.aiff"), 2, SL::EWaveFileFormat::AIFF, 10);
    Convert(state, in);
    std::remove(in.c_str());
}
BENCHMARK(Stereo24AiffToStereo16Wav)->Unit(benchmark::kMillisecond);

void Unsigned8MonoWavToStereo16Wav(benchmark::State& state) {
    const std::string in = MakeInput<EBitDepth::INTEGER8>(TempPath("in8.wav"), 1, SL::EWaveFileFormat::WINWAVE, 10);
    Convert(state, in);
    std::remove(in.c_str());
}
BENCHMARK(Unsigned8MonoWavToStereo16Wav)->Unit(benchmark::kMillisecond);

int ConvertFile(int64_t (*convert)(const std::string&, const std::string&), const char* in, const char* out) {
    if (convert(in, out) >= 0) return 0;
    std::fprintf(stderr, "conversion of %s failed\n", in);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--convert") == 0) return ConvertFile(&ConvertToStereo16, argv[2], argv[3]);
    if (argc >= 4 && std::strcmp(argv[1], "--convert-blocks") == 0)
        return ConvertFile(&ConvertToStereo16InBlocks, argv[2], argv[3]);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
