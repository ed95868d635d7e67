// File sample streams: values read from files that python3 and sox write, headers of the
// files we write checked byte for byte and read back by python3's wave and aifc modules and
// by sox, and the failures of truncated, unreadable and unwritable files.

#include "sound/files/FileSampleIterators.h"

#include "tests/sound/files/SampleFileHelpers.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <cstring>
#include <fstream>
#include <sstream>
#include <streambuf>

namespace {

using gbxtest::Python;
using gbxtest::ReadSampleFile;
using gbxtest::TempDir;
using gbxtest::WriteSampleFile;
using SL::CBitDepth;
using SL::EBitDepth;
using SL::EWaveFileFormat;

uint32_t Le32At(const std::vector<uint8_t>& b, size_t i) {
    return b[i] | b[i + 1] << 8 | b[i + 2] << 16 | uint32_t(b[i + 3]) << 24;
}
uint16_t Le16At(const std::vector<uint8_t>& b, size_t i) { return uint16_t(b[i] | b[i + 1] << 8); }

// Prints the values of a WAV (w) or AIFF (a) file as python3 decodes them, one per line.
const char* const kPythonDecode = R"(
import sys, wave, importlib, struct, warnings
warnings.simplefilter('ignore')
kind, path = sys.argv[1], sys.argv[2]
f = (wave if kind == 'w' else importlib.import_module('aifc')).open(path, 'rb')
w, n = f.getsampwidth(), f.getnframes() * f.getnchannels()
raw = f.readframes(f.getnframes())
big = kind == 'a'
for i in range(n):
    b = raw[i*w:(i+1)*w]
    if w == 1:
        v = b[0] if not big else struct.unpack('b', b)[0]
    else:
        v = int.from_bytes(b, 'big' if big else 'little', signed=True)
    print(v)
)";

// The integers that a python3 script prints.
std::vector<int64_t> PythonIntegers(const char* script, const std::vector<std::string>& args) {
    const auto result = Python(script, args);
    EXPECT_EQ(0, result.exitCode);
    std::vector<int64_t> values;
    std::istringstream lines(result.output);
    for (int64_t v; lines >> v;) values.push_back(v);
    return values;
}

std::vector<int64_t> PythonValues(const std::string& kind, const std::string& path) {
    return PythonIntegers(kPythonDecode, {kind, path});
}

template <typename T>
std::vector<int64_t> Widen(const std::vector<T>& values) {
    return std::vector<int64_t>(values.begin(), values.end());
}

// Writes n values of width bytes, interleaved for ch channels, from the pattern (37 i + 11)
// mod 2^(8 width), as s.wav and, where python3 has aifc, s.aiff in the folder; answers the values.
std::vector<int64_t> PythonWrite(const std::string& folder, int width, int channels, int values) {
    return PythonIntegers(R"(
import sys, wave, warnings
warnings.simplefilter('ignore')
try:
    import aifc
except ImportError:
    aifc = None
folder, w, ch, n = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
vals = [((37 * i + 11) % (1 << (8 * w))) - (1 << (8 * w - 1)) for i in range(n)]
for kind in ('wa' if aifc else 'w'):
    f = (wave if kind == 'w' else aifc).open(folder + ('/s.wav' if kind == 'w' else '/s.aiff'), 'wb')
    if kind == 'a': f.aiff()
    f.setnchannels(ch); f.setsampwidth(w); f.setframerate(22050)
    if kind == 'w' and w == 1:
        f.writeframes(bytes(v + 128 for v in vals))
    else:
        f.writeframes(b''.join(v.to_bytes(w, 'big' if kind == 'a' else 'little', signed=True) for v in vals))
    f.close()
print('\n'.join(str(v) for v in vals))
)",
                          {folder, std::to_string(width), std::to_string(channels), std::to_string(values)});
}

// --- reading ---

TEST(FileInputSampleIterator, WavAndAiffWithTheSameSamplesReadAsTheSameValues) {
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    struct Case {
        int width;
        int channels;
    };
    // 70,001 values cross the 64 KiB blocks of the reader at every width.
    for (const Case c : {Case{2, 2}, Case{3, 1}, Case{4, 2}, Case{3, 2}}) {
        SCOPED_TRACE("width " + std::to_string(c.width) + " channels " + std::to_string(c.channels));
        TempDir dir;
        const int values = 70001 / c.channels * c.channels;
        const auto written = PythonWrite(dir.Path(), c.width, c.channels, values);
        std::vector<int64_t> wav, aiff;
        SL::CSampleAttribute wavAttribute, aiffAttribute;
        if (c.width == 2) {
            auto w = ReadSampleFile<EBitDepth::INTEGER16>(dir.File("s.wav"));
            auto a = ReadSampleFile<EBitDepth::INTEGER16>(dir.File("s.aiff"));
            ASSERT_TRUE(w.good && a.good);
            wav = Widen(w.values), aiff = Widen(a.values), wavAttribute = w.attribute, aiffAttribute = a.attribute;
        } else if (c.width == 3) {
            auto w = ReadSampleFile<EBitDepth::INTEGER24>(dir.File("s.wav"));
            auto a = ReadSampleFile<EBitDepth::INTEGER24>(dir.File("s.aiff"));
            ASSERT_TRUE(w.good && a.good);
            wav = Widen(w.values), aiff = Widen(a.values), wavAttribute = w.attribute, aiffAttribute = a.attribute;
        } else {
            auto w = ReadSampleFile<EBitDepth::INTEGER32>(dir.File("s.wav"));
            auto a = ReadSampleFile<EBitDepth::INTEGER32>(dir.File("s.aiff"));
            ASSERT_TRUE(w.good && a.good);
            wav = Widen(w.values), aiff = Widen(a.values), wavAttribute = w.attribute, aiffAttribute = a.attribute;
        }
        EXPECT_EQ(written, wav);
        EXPECT_EQ(written, aiff);
        for (const auto& attribute : {wavAttribute, aiffAttribute}) {
            EXPECT_EQ(1, attribute.GetByteOrder());  // values leave the iterator in the native order
            EXPECT_EQ(c.channels, attribute.GetChannelCount());
            EXPECT_EQ(22050.0, attribute.GetSampleRate());
            EXPECT_EQ(values / c.channels, attribute.GetFrames());
        }
    }
}

TEST(FileInputSampleIterator, EightBitWavIsUnsignedAndEightBitAiffIsSigned) {
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    TempDir dir;
    const auto written = PythonWrite(dir.Path(), 1, 1, 300);
    const auto wav = ReadSampleFile<EBitDepth::INTEGER8>(dir.File("s.wav"));
    const auto aiff = ReadSampleFile<EBitDepth::INTEGER8S>(dir.File("s.aiff"));
    ASSERT_TRUE(wav.opened && aiff.opened);
    EXPECT_EQ(CBitDepth::INTEGER8, wav.attribute.GetSampleFormat());
    EXPECT_EQ(CBitDepth::INTEGER8S, aiff.attribute.GetSampleFormat());
    std::vector<int64_t> unsignedValues;
    for (int64_t v : written) unsignedValues.push_back(v + 128);
    EXPECT_EQ(unsignedValues, Widen(wav.values));
    EXPECT_EQ(written, Widen(aiff.values));
}

// A minimal WAV file: "fmt " then "data" with the given bytes.
std::vector<uint8_t> WavFile(uint16_t tag, uint16_t channels, uint16_t bits, const std::vector<uint8_t>& data) {
    gbxtest::ByteBuilder b;
    const uint32_t riff = 4 + 24 + 8 + uint32_t(data.size() + (data.size() & 1));
    b.Text("RIFF").Le32(riff).Text("WAVE").Text("fmt ").Le32(16).Le16(tag).Le16(channels).Le32(8000);
    b.Le32(8000u * channels * bits / 8).Le16(uint16_t(channels * bits / 8)).Le16(bits);
    b.Text("data").Le32(uint32_t(data.size())).Bytes(data);
    if (data.size() & 1) b.U8(0);
    return b;
}

TEST(FileInputSampleIterator, TwentyFourBitValuesAreSignExtended) {
    TempDir dir;
    gbxtest::WriteBytes(dir.File("s.wav"), WavFile(1, 1, 24, {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0xFE, 0xFF, 0xFF}));
    const auto read = ReadSampleFile<EBitDepth::INTEGER24>(dir.File("s.wav"));
    EXPECT_EQ((gbxtest::Values<EBitDepth::INTEGER24>{-8388608, 8388607, -2}), read.values);
}

TEST(FileInputSampleIterator, DeliversWholeValuesOfTheDataChunkOnly) {
    struct Case {
        std::vector<uint8_t> data;
        std::vector<int16_t> values;
    };
    for (const Case& c : {Case{{1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6, 0, 7, 0, 8, 0}, {1, 2, 3, 4, 5, 6, 7, 8}},
                          Case{{1, 0, 2, 0, 9}, {1, 2}}, Case{{}, {}}}) {
        TempDir dir;
        gbxtest::WriteBytes(dir.File("s.wav"), WavFile(1, 2, 16, c.data));
        const auto read = ReadSampleFile<EBitDepth::INTEGER16>(dir.File("s.wav"));
        ASSERT_TRUE(read.opened);
        EXPECT_EQ(c.values, read.values);
        EXPECT_TRUE(read.good);
    }
}

TEST(FileInputSampleIterator, TruncatedFileEndsTheStreamAsNotGood) {
    TempDir dir;
    const auto written = PythonWrite(dir.Path(), 2, 2, 80000);
    auto bytes = gbxtest::ReadBytes(dir.File("s.wav"));
    const size_t kept = 44 + 2 * 50001 + 1;  // the header, 50,001 whole values and half of one
    bytes.resize(kept);
    gbxtest::WriteBytes(dir.File("s.wav"), bytes);

    const auto read = ReadSampleFile<EBitDepth::INTEGER16>(dir.File("s.wav"));
    ASSERT_TRUE(read.opened);
    EXPECT_FALSE(read.good);
    ASSERT_EQ(50001u, read.values.size());
    EXPECT_EQ(std::vector<int64_t>(written.begin(), written.begin() + 50001), Widen(read.values));
}

TEST(FileInputSampleIterator, SetLocationMovesToAFrameAndRereads) {
    TempDir dir;
    const int frames = 50000;  // 200,000 bytes: frames lie in different blocks
    const auto expected = PythonWrite(dir.Path(), 2, 2, 2 * frames);
    auto input = boost::dynamic_pointer_cast<SL::ITypedInputSampleIterator<EBitDepth::INTEGER16>>(
        SL::CFileSampleIteratorFactory().CreateInputIterator(dir.File("s.wav")));
    ASSERT_TRUE(input);
    EXPECT_EQ(0, input->GetLocation());
    for (int i = 0; i < 33333; ++i) input->Next();
    EXPECT_EQ(16666, input->GetLocation());
    EXPECT_EQ(16670, input->OffsetLocation(4));

    for (int frame : {0, 49999, 17, 40000, 16384, 1}) {
        input->SetLocation(frame);
        EXPECT_EQ(frame, input->GetLocation());
        ASSERT_TRUE(input->HasNext());
        EXPECT_EQ(expected[2 * frame], input->Get());
        input->Next();
        EXPECT_EQ(expected[2 * frame + 1], input->Get());
    }
    input->SetLocation(-5);
    EXPECT_EQ(0, input->GetLocation());
    EXPECT_EQ(expected[0], input->Get());
    for (int beyond : {frames, frames + 1}) {
        input->SetLocation(beyond);
        EXPECT_FALSE(input->HasNext());
    }
    input->SetLocation(2);
    EXPECT_TRUE(input->HasNext());
    EXPECT_TRUE(input->IsGood());
}

TEST(FileInputSampleIterator, UnreadableFilesGiveNoIterator) {
    TempDir dir;
    const std::vector<uint8_t> two = {1, 0, 2, 0};
    gbxtest::ByteBuilder noData;
    noData.Text("RIFF").Le32(28).Text("WAVE").Text("fmt ").Le32(16).Le16(1).Le16(1).Le32(8000).Le32(16000);
    noData.Le16(2).Le16(16);
    gbxtest::ByteBuilder aifc;
    aifc.Text("FORM").Le32(4).Text("AIFC");
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"format tag 2", WavFile(2, 1, 16, two)},
        {"12-bit integer", WavFile(1, 1, 12, two)},
        {"24-bit float", WavFile(3, 1, 24, {1, 2, 3})},
        {"no channels", WavFile(1, 0, 16, two)},
        {"no data chunk", noData},
        {"AIFC", aifc},
        {"MP3 frame", {0xFF, 0xFB, 0x90, 0x64, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"empty", {}},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        gbxtest::WriteBytes(dir.File("x"), file.second);
        EXPECT_FALSE(SL::CFileSampleIteratorFactory().CreateInputIterator(dir.File("x")));
    }
    EXPECT_FALSE(SL::CFileSampleIteratorFactory().CreateInputIterator(dir.File("missing.wav")));
}

TEST(FileInputSampleIterator, AiffWithoutChannelsGivesNoIterator) {
    for (int16_t channels : {int16_t(0), int16_t(-2)}) {
        TempDir dir;
        gbxtest::ByteBuilder b;
        b.Text("FORM").Be32(4 + 26 + 8 + 8 + 4).Text("AIFF").Text("COMM").Be32(18).Be16(uint16_t(channels));
        b.Be32(1).Be16(16).Bytes({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
        b.Text("SSND").Be32(12).Be32(0).Be32(0).Bytes({1, 2, 3, 4});
        gbxtest::WriteBytes(dir.File("s.aiff"), b);
        EXPECT_FALSE(SL::CFileSampleIteratorFactory().CreateInputIterator(dir.File("s.aiff")));
    }
}

// --- writing ---

TEST(FileOutputSampleIterator, StereoSecondOfSixteenBitGivesTheExactWavLayout) {
    TempDir dir;
    gbxtest::Values<EBitDepth::INTEGER16> values(2 * 44100);
    for (size_t i = 0; i < values.size(); ++i) values[i] = int16_t(i * 7919);
    ASSERT_TRUE(WriteSampleFile<EBitDepth::INTEGER16>(dir.File("o.wav"), values, 2, 44100.0, EWaveFileFormat::WINWAVE));

    const auto bytes = gbxtest::ReadBytes(dir.File("o.wav"));
    ASSERT_EQ(176446u, bytes.size());
    EXPECT_EQ("RIFF", std::string(bytes.begin(), bytes.begin() + 4));
    EXPECT_EQ(176438u, Le32At(bytes, 4));
    EXPECT_EQ("WAVEfmt ", std::string(bytes.begin() + 8, bytes.begin() + 16));
    EXPECT_EQ(18u, Le32At(bytes, 16));
    EXPECT_EQ(1u, Le16At(bytes, 20));
    EXPECT_EQ(2u, Le16At(bytes, 22));
    EXPECT_EQ(44100u, Le32At(bytes, 24));
    EXPECT_EQ(176400u, Le32At(bytes, 28));
    EXPECT_EQ(4u, Le16At(bytes, 32));
    EXPECT_EQ(16u, Le16At(bytes, 34));
    EXPECT_EQ(0u, Le16At(bytes, 36));
    EXPECT_EQ("data", std::string(bytes.begin() + 38, bytes.begin() + 42));
    EXPECT_EQ(176400u, Le32At(bytes, 42));
    EXPECT_EQ(Widen(values), PythonValues("w", dir.File("o.wav")));
}

TEST(FileOutputSampleIterator, OddDataGetsAPadByteOfFF) {
    TempDir dir;
    ASSERT_TRUE(
        WriteSampleFile<EBitDepth::INTEGER8>(dir.File("o.wav"), {0, 128, 255}, 1, 8000.0, EWaveFileFormat::WINWAVE));
    const auto bytes = gbxtest::ReadBytes(dir.File("o.wav"));
    ASSERT_EQ(50u, bytes.size());
    EXPECT_EQ(42u, Le32At(bytes, 4));
    EXPECT_EQ(3u, Le32At(bytes, 42));
    EXPECT_EQ((std::vector<uint8_t>{0, 128, 255, 0xFF}), std::vector<uint8_t>(bytes.begin() + 46, bytes.end()));
    EXPECT_EQ((std::vector<int64_t>{0, 128, 255}), PythonValues("w", dir.File("o.wav")));

    ASSERT_TRUE(
        WriteSampleFile<EBitDepth::INTEGER8S>(dir.File("o.aiff"), {-128, 0, 127}, 1, 8000.0, EWaveFileFormat::AIFF));
    const auto aiff = gbxtest::ReadBytes(dir.File("o.aiff"));
    ASSERT_EQ(58u, aiff.size());
    const auto hex = [&aiff](size_t from, size_t to) {
        return gbxtest::ToHex({aiff.begin() + from, aiff.begin() + to});
    };
    EXPECT_EQ("00000032", hex(4, 8));    // FORM size 47 + 3
    EXPECT_EQ("0000000b", hex(42, 46));  // SSND size 8 + 3
    EXPECT_EQ("80007fff", hex(54, 58));  // the samples and the pad byte
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    EXPECT_EQ((std::vector<int64_t>{-128, 0, 127}), PythonValues("a", dir.File("o.aiff")));
}

TEST(FileOutputSampleIterator, AiffHeaderIsFiftyFourBytesAsLaidOut) {
    TempDir dir;
    const gbxtest::Values<EBitDepth::INTEGER16> values = {1, -2, 300, -32768, 32767, 5};
    ASSERT_TRUE(WriteSampleFile<EBitDepth::INTEGER16>(dir.File("o.aiff"), values, 2, 44100.0, EWaveFileFormat::AIFF));
    const auto bytes = gbxtest::ReadBytes(dir.File("o.aiff"));
    const std::string expected =
        "464f524d"
        "0000003a"
        "41494646"  // FORM, 46 + 12, AIFF
        "434f4d4d"
        "00000012"
        "0002"
        "00000003"
        "0010"                  // COMM, 18, channels, frames, bits
        "400eac44000000000000"  // 44100 as an 80-bit extended number
        "53534e44"
        "00000014"
        "00000000"
        "00000000"  // SSND, 8 + 12, offset, block size
        "0001"
        "fffe"
        "012c"
        "8000"
        "7fff"
        "0005";
    EXPECT_EQ(expected, gbxtest::ToHex(bytes));
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    EXPECT_EQ(Widen(values), PythonValues("a", dir.File("o.aiff")));
}

// Every format each container can hold: written by us, read back by us and described by sox.
TEST(FileOutputSampleIterator, EveryWritableFormatReadsBack) {
    struct Case {
        EBitDepth format;
        EWaveFileFormat container;
        const char* soxEncoding;
        int bits;
    };
    const Case cases[] = {
        {EBitDepth::INTEGER8, EWaveFileFormat::WINWAVE, "Unsigned Integer PCM", 8},
        {EBitDepth::INTEGER16, EWaveFileFormat::WINWAVE, "Signed Integer PCM", 16},
        {EBitDepth::INTEGER24, EWaveFileFormat::WINWAVE, "Signed Integer PCM", 24},
        {EBitDepth::INTEGER32, EWaveFileFormat::WINWAVE, "Signed Integer PCM", 32},
        {EBitDepth::FLOAT32, EWaveFileFormat::WINWAVE, "Floating Point PCM", 32},
        {EBitDepth::FLOAT64, EWaveFileFormat::WINWAVE, "Floating Point PCM", 64},
        {EBitDepth::INTEGER8S, EWaveFileFormat::AIFF, "Signed Integer PCM", 8},
        {EBitDepth::INTEGER16, EWaveFileFormat::AIFF, "Signed Integer PCM", 16},
        {EBitDepth::INTEGER24, EWaveFileFormat::AIFF, "Signed Integer PCM", 24},
        {EBitDepth::INTEGER32, EWaveFileFormat::AIFF, "Signed Integer PCM", 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.format)));
        TempDir dir;
        const std::string path = dir.File(c.container == EWaveFileFormat::AIFF ? "o.aiff" : "o.wav");
        SL::DispatchFileFormat(
            c.format,
            [&](auto format) {
                constexpr EBitDepth F = decltype(format)::value;
                gbxtest::Values<F> values(3 * 1001);
                for (size_t i = 0; i < values.size(); ++i)
                    values[i] = static_cast<SL::SampleElement<F>>(int64_t(i) * 104729 % 251 - 125);
                ASSERT_TRUE(WriteSampleFile<F>(path, values, 3, 11025.0, c.container, false));
                const auto read = ReadSampleFile<F>(path);
                EXPECT_TRUE(read.good);
                EXPECT_EQ(values, read.values);
                EXPECT_EQ(SL::CSampleAttribute(F, 11025.0, 3, 1).GetSampleFormat(), read.attribute.GetSampleFormat());
            },
            [] {});
        const auto sox = gbxtest::Run("soxi " + gbxtest::Quote(path)).output;
        EXPECT_NE(std::string::npos, sox.find("Channels       : 3")) << sox;
        EXPECT_NE(std::string::npos, sox.find("Sample Rate    : 11025")) << sox;
        EXPECT_NE(std::string::npos, sox.find("Duration       : 00:00:00.09 = 1001 samples")) << sox;
        EXPECT_NE(std::string::npos, sox.find(std::to_string(c.bits) + "-bit " + c.soxEncoding)) << sox;
    }
}

TEST(FileOutputSampleIterator, KnownFrameCountAllowsOneMoreValue) {
    TempDir dir;
    SL::CSampleAttribute attribute(CBitDepth::INTEGER16, 8000.0, 2, 1);
    attribute.SetFrames(2);
    auto output = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, dir.File("o.wav"), EWaveFileFormat::WINWAVE));
    ASSERT_TRUE(output);
    int written = 0;
    while (output->HasNext()) {
        output->Set(int16_t(written + 1));
        output->Next();
        ++written;
    }
    EXPECT_EQ(5, written);
    output->Next();  // past the limit: refused
    EXPECT_FALSE(output->IsGood());
    EXPECT_TRUE(output->Finish());
    const auto bytes = gbxtest::ReadBytes(dir.File("o.wav"));
    ASSERT_EQ(56u, bytes.size());
    EXPECT_EQ(10u, Le32At(bytes, 42));  // the values actually written
    EXPECT_EQ((std::vector<uint8_t>{1, 0, 2, 0, 3, 0, 4, 0, 5, 0}),
              std::vector<uint8_t>(bytes.begin() + 46, bytes.end()));
}

TEST(FileOutputSampleIterator, ReleasedWithoutFinishLeavesNoHeader) {
    TempDir dir;
    {
        auto output = SL::CFileSampleIteratorFactory().CreateOutputIterator(
            SL::CSampleAttribute(CBitDepth::INTEGER16, 8000.0, 1, 1), dir.File("o.wav"), EWaveFileFormat::WINWAVE);
        auto typed = boost::dynamic_pointer_cast<SL::ITypedOutputSampleIterator<EBitDepth::INTEGER16>>(output);
        ASSERT_TRUE(typed);
        EXPECT_TRUE(typed->HasNext());  // no frame count: the limit is the largest file
        typed->Set(0x1234);
        typed->Next();
        typed->Next();  // the pending value again
    }
    const auto bytes = gbxtest::ReadBytes(dir.File("o.wav"));
    ASSERT_EQ(50u, bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(46, 0), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 46));
    EXPECT_EQ((std::vector<uint8_t>{0x34, 0x12, 0x34, 0x12}), std::vector<uint8_t>(bytes.begin() + 46, bytes.end()));
}

TEST(FileOutputSampleIterator, RefusesWhatTheFileCannotHold) {
    TempDir dir;
    struct Case {
        EBitDepth format;
        int channels;
        EWaveFileFormat container;
    };
    const Case cases[] = {
        {EBitDepth::INTEGER8S, 1, EWaveFileFormat::WINWAVE},  // WAV 8-bit is unsigned
        {EBitDepth::INTEGER8, 1, EWaveFileFormat::AIFF},      // AIFF 8-bit is signed
        {EBitDepth::FLOAT32, 1, EWaveFileFormat::AIFF},       // AIFF has no floats
        {EBitDepth::FLOAT64, 1, EWaveFileFormat::AIFF},
        {EBitDepth::COMPLEX32, 1, EWaveFileFormat::WINWAVE},
        {EBitDepth::NONE, 1, EWaveFileFormat::WINWAVE},
        {EBitDepth::INTEGER16, 0, EWaveFileFormat::WINWAVE},
        {EBitDepth::INTEGER16, -1, EWaveFileFormat::AIFF},
        {EBitDepth::INTEGER16, 40000, EWaveFileFormat::WINWAVE},  // block align beyond 16 bits
        {EBitDepth::INTEGER16, 2, EWaveFileFormat::INVALID},
    };
    gbxtest::WriteBytes(dir.File("keep"), {1, 2, 3});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int(c.format)) + " " + std::to_string(c.channels));
        EXPECT_FALSE(SL::CFileSampleIteratorFactory().CreateOutputIterator(
            SL::CSampleAttribute(c.format, 8000.0, c.channels, 1), dir.File("keep"), c.container));
    }
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), gbxtest::ReadBytes(dir.File("keep")));  // not truncated
    EXPECT_FALSE(SL::CFileSampleIteratorFactory().CreateOutputIterator(
        SL::CSampleAttribute(CBitDepth::INTEGER16, 8000.0, 2, 1), dir.File("no/such/folder/o.wav"),
        EWaveFileFormat::WINWAVE));
}

// Accepts seeks anywhere and writes nothing: a file of any size without the disk.
class DiscardingBuffer : public std::streambuf {
protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override {
        if (dir == std::ios_base::beg)
            m_position = offset;
        else if (dir == std::ios_base::cur)
            m_position += offset;
        else
            return pos_type(off_type(-1));
        return pos_type(m_position);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode) override {
        m_position = position;
        return position;
    }
    std::streamsize xsputn(const char*, std::streamsize count) override {
        m_position += count;
        return count;
    }
    int_type overflow(int_type c) override {
        ++m_position;
        return traits_type::not_eof(c);
    }

private:
    off_type m_position = 0;
};

TEST(FileOutputSampleIterator, StopsAtTheLargestFileInsteadOfWrapping) {
    DiscardingBuffer discard;
    auto stream = boost::make_shared<std::ostream>(&discard);
    SL::CSampleAttribute attribute(CBitDepth::INTEGER24, 48000.0, 2, 1);
    attribute.SetFrames(1000000000);  // more bytes than a header can state
    const auto sink = SL::CFileSampleBufferFactory().CreateWaveSink(attribute, stream);
    ASSERT_TRUE(sink);
    const int64_t limit = sink->range.end;
    EXPECT_EQ(0x7FFFFFFF - 1 - 3, limit);  // the last value and a pad byte end within 2 GiB - 1

    // Start a few values before the limit rather than writing 2 GiB.
    SL::CFileOutputSampleIterator<EBitDepth::INTEGER24> output(attribute, stream, {limit - 6, limit}, sink->finish);
    int written = 0;
    while (output.HasNext()) {
        output.Set(written);
        output.Next();
        ++written;
    }
    EXPECT_EQ(3, written);
    EXPECT_EQ(limit + 3, output.GetPosition());
    output.Next();
    EXPECT_FALSE(output.IsGood());
    EXPECT_EQ(limit + 3, output.GetPosition());
    EXPECT_FALSE(output.HasNext());
    // The header of the data written up to here would start at 46, not at limit - 6.
    EXPECT_FALSE(output.Finish());
    EXPECT_TRUE(SL::CFileSampleBufferFactory::WriteWaveHeader(attribute, stream, {46, 0x7FFFFFFF - 1}));
    EXPECT_FALSE(SL::CFileSampleBufferFactory::WriteWaveHeader(attribute, stream, {46, 0x7FFFFFFF}));
    EXPECT_FALSE(SL::CFileSampleBufferFactory::WriteWaveHeader(attribute, stream, {46, int64_t{0x80000000}}));
}

TEST(FileOutputSampleIterator, FailedWriteClearsTheGoodFlag) {
    TempDir dir;
    auto output = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(SL::CSampleAttribute(CBitDepth::INTEGER16, 8000.0, 1, 1),
                                                              "/dev/full", EWaveFileFormat::WINWAVE));
    ASSERT_TRUE(output);
    int written = 0;
    while (output->HasNext() && written < 200000) {
        output->Set(1);
        output->Next();
        ++written;
    }
    EXPECT_LT(written, 200000);
    EXPECT_FALSE(output->IsGood());
    EXPECT_FALSE(output->Finish());
}

// The block calls do what the rounds of single calls do, across blocks and at the limit.
TEST(FileSampleIteratorBlocks, ReadAndWriteInBlocksMatchValueByValue) {
    TempDir dir;
    const auto written = PythonWrite(dir.Path(), 3, 2, 2 * 40000);
    auto input = boost::dynamic_pointer_cast<SL::CFileInputSampleIterator<EBitDepth::INTEGER24>>(
        SL::CFileSampleIteratorFactory().CreateInputIterator(dir.File("s.wav")));
    ASSERT_TRUE(input);
    std::vector<int32_t> values;
    std::vector<int32_t> block(7777);
    while (size_t n = input->Read(block.data(), block.size()))
        values.insert(values.end(), block.begin(), block.begin() + n);
    EXPECT_EQ(written, Widen(values));
    EXPECT_FALSE(input->HasNext());
    EXPECT_TRUE(input->IsGood());

    SL::CSampleAttribute attribute(CBitDepth::INTEGER24, 22050.0, 2, 1);
    attribute.SetFrames(40000);
    auto output = boost::dynamic_pointer_cast<SL::CFileOutputSampleIterator<EBitDepth::INTEGER24>>(
        SL::CFileSampleIteratorFactory().CreateOutputIterator(attribute, dir.File("o.wav"), EWaveFileFormat::WINWAVE));
    ASSERT_TRUE(output);
    size_t total = 0;
    for (size_t at = 0; at < values.size(); at += 5000)
        total += output->Write(values.data() + at, std::min<size_t>(5000, values.size() - at));
    EXPECT_EQ(values.size(), total);
    const int32_t extra[] = {1, 2, 3};
    EXPECT_EQ(1u, output->Write(extra, 3));  // one value more than announced, as HasNext allows
    EXPECT_FALSE(output->HasNext());
    output->Set(1);  // the pending value stays the last one written
    ASSERT_TRUE(output->Finish());
    auto expected = written;
    expected.push_back(1);
    const auto read = ReadSampleFile<EBitDepth::INTEGER24>(dir.File("o.wav"));
    EXPECT_EQ(expected, Widen(read.values));
    EXPECT_EQ(80001u * 3, Le32At(gbxtest::ReadBytes(dir.File("o.wav")), 42));
}

}  // namespace
