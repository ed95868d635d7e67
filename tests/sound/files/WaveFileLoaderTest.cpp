// Loading files as waves: format, channels, rate, frames, pitch and loop of files that sox and
// python3 write, the samples when loaded, and the files that give no wave.

#include "sound/files/WaveFileLoader.h"

#include "tests/sound/files/SampleFileHelpers.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/HeapPeak.h"
#include "tests/support/TestSupport.h"

#include "sound/model/Logger.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

namespace {

using gbxtest::Quote;
using gbxtest::TempDir;
using SL::CBitDepth;
using SL::EBitDepth;
using SL::EWaveFileFormat;

// Writes the file named by argv[2] with python3: wave or aifc, width, channels, rate, frames.
const char* const kPythonWriter = R"(
import sys, wave, importlib, warnings
warnings.simplefilter('ignore')
kind, path, w, ch, rate, n = sys.argv[1], sys.argv[2], *map(int, sys.argv[3:7])
f = (wave if kind == 'w' else importlib.import_module('aifc')).open(path, 'wb')
if kind == 'a': f.aiff()
f.setnchannels(ch); f.setsampwidth(w); f.setframerate(rate)
f.writeframes(bytes((5 * i + 1) & 255 for i in range(n * ch * w))); f.close()
)";

struct FileCase {
    const char* name;
    std::string command;  // makes the file at $F
    EBitDepth stored;
    EBitDepth native;
    int channels;
    double rate;
    int frames;
    EWaveFileFormat detected;
};

std::string Sox(const std::string& format, double seconds) {
    return "sox -D -n " + format + " \"$F\" synth " + std::to_string(seconds) + " sine 440 sine 660";
}

std::string PythonFile(const char* kind, int width, int channels, int rate, int frames) {
    return "python3 -c " + Quote(kPythonWriter) + " " + kind + " \"$F\" " + std::to_string(width) + " "
           + std::to_string(channels) + " " + std::to_string(rate) + " " + std::to_string(frames);
}

const FileCase kFiles[] = {
    {"sox-u8-mono.wav", Sox("-r 8000 -b 8 -c 1 -e unsigned-integer", 0.5), EBitDepth::INTEGER8, EBitDepth::INTEGER8, 1,
     8000.0, 4000, EWaveFileFormat::WINWAVE},
    {"sox-16-stereo.wav", Sox("-r 44100 -b 16 -c 2 -e signed-integer", 0.25), EBitDepth::INTEGER16,
     EBitDepth::INTEGER16, 2, 44100.0, 11025, EWaveFileFormat::WINWAVE},
    {"py-24-stereo.wav", PythonFile("w", 3, 2, 22050, 1000), EBitDepth::INTEGER24, EBitDepth::INTEGER24, 2, 22050.0,
     1000, EWaveFileFormat::WINWAVE},
    {"py-16-mono.wav", PythonFile("w", 2, 1, 11025, 777), EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 11025.0, 777,
     EWaveFileFormat::WINWAVE},
    {"sox-f32-mono.wav", Sox("-r 16000 -b 32 -c 1 -e floating-point", 0.1), EBitDepth::FLOAT32, EBitDepth::FLOAT32, 1,
     16000.0, 1600, EWaveFileFormat::WINWAVE},
    {"sox-f64-stereo.wav", Sox("-r 16000 -b 64 -c 2 -e floating-point", 0.1), EBitDepth::FLOAT64, EBitDepth::FLOAT64, 2,
     16000.0, 1600, EWaveFileFormat::WINWAVE},
    {"sox-24-stereo.aiff", Sox("-r 48000 -b 24 -c 2 -e signed-integer", 0.1), EBitDepth::INTEGER24,
     EBitDepth::INTEGER24, 2, 48000.0, 4800, EWaveFileFormat::AIFF},
    {"sox-8-mono.aiff", Sox("-r 8000 -b 8 -c 1 -e signed-integer", 0.1), EBitDepth::INTEGER8S, EBitDepth::INTEGER8S, 1,
     8000.0, 800, EWaveFileFormat::AIFF},
    {"py-32-stereo.aiff", PythonFile("a", 4, 2, 96000, 300), EBitDepth::INTEGER32, EBitDepth::INTEGER32, 2, 96000.0,
     300, EWaveFileFormat::AIFF},
    {"py-16-mono.aiff", PythonFile("a", 2, 1, 44100, 501), EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 44100.0, 501,
     EWaveFileFormat::AIFF},
};

// Whether the case's file can be made here: python3's aifc writes the "py-" AIFF files.
bool CanMake(const FileCase& c) {
    const std::string name = c.name;
    const bool byAifc = name.rfind("py-", 0) == 0 && name.size() > 5 && name.substr(name.size() - 5) == ".aiff";
    return !byAifc || gbxtest::HavePythonModule("aifc");
}

std::string Make(const TempDir& dir, const FileCase& c) {
    const std::string path = dir.File(c.name);
    EXPECT_EQ(0, gbxtest::Run("F=" + Quote(path) + "; " + c.command).exitCode) << c.command;
    return path;
}

// The values of channel i of a loaded wave of format F.
template <EBitDepth F>
std::vector<SL::SampleElement<F>> ChannelValues(SL::IWave& wave, size_t i) {
    auto* channel = dynamic_cast<SL::CChannel<F>*>((*wave.GetChannelCollectionPointer())[i].get());
    if (!channel) return {};
    const auto range = channel->GetRange();
    return std::vector<SL::SampleElement<F>>(channel->GetData(), channel->GetData() + (range.end - range.start));
}

TEST(WaveFileLoader, TakesFormatChannelsRateAndFramesFromTheFile) {
    TempDir dir;
    for (const FileCase& c : kFiles) {
        SCOPED_TRACE(c.name);
        if (!CanMake(c)) continue;
        const std::string path = Make(dir, c);
        for (uint8_t loadFlag : {0, 1}) {
            SCOPED_TRACE(loadFlag);
            SL::CWaveFileLoader loader(loadFlag);
            const auto wave = loader.Load(path, false, CBitDepth::NONE);
            ASSERT_TRUE(wave);
            EXPECT_EQ(c.detected, loader.GetDetectedFormat().GetCode());
            EXPECT_EQ(c.stored, wave->GetBitDepth().GetCode());
            EXPECT_EQ(c.native, wave->GetNativeBitDepth().GetCode());
            ASSERT_EQ(size_t(c.channels), wave->GetChannelCollectionPointer()->size());
            EXPECT_EQ(c.rate, wave->GetSampleRate());
            EXPECT_EQ(SL::CExtent(0, c.frames), wave->GetRange());
            const SL::ILoop& loop = *wave->GetLoopPointer();
            EXPECT_EQ(0.0, loop.GetLowerBound());
            EXPECT_EQ(0.0, loop.GetStart());
            EXPECT_EQ(c.frames - 1.0, loop.GetEnd());
            EXPECT_EQ(SL::CLoopMode::ONESHOT, loop.GetMode().GetCode());
            EXPECT_EQ(60.0, wave->GetPitch1());
            if (c.channels == 2) {
                EXPECT_EQ(-1.0, (*wave->GetChannelCollectionPointer())[0]->GetPan());
                EXPECT_EQ(1.0, (*wave->GetChannelCollectionPointer())[1]->GetPan());
            }
        }
    }
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
}

// Loaded samples are the values the file sample iterator reads, de-interleaved.
TEST(WaveFileLoader, LoadedSamplesAreTheFilesValues) {
    TempDir dir;
    for (const FileCase& c : kFiles) {
        SCOPED_TRACE(c.name);
        if (!CanMake(c)) continue;
        const std::string path = Make(dir, c);
        const auto wave = SL::CWaveFileLoader(1).Load(path, false, CBitDepth::NONE);
        ASSERT_TRUE(wave);
        SL::DispatchFileFormat(
            c.native,
            [&](auto format) {
                constexpr EBitDepth F = decltype(format)::value;
                const auto read = gbxtest::ReadSampleFile<F>(path);
                ASSERT_EQ(size_t(c.frames * c.channels), read.values.size());
                for (int ch = 0; ch < c.channels; ++ch) {
                    std::vector<SL::SampleElement<F>> expected;
                    for (size_t i = ch; i < read.values.size(); i += c.channels) expected.push_back(read.values[i]);
                    EXPECT_EQ(expected, ChannelValues<F>(*wave, ch)) << "channel " << ch;
                }
            },
            [] {});
    }
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
}

TEST(WaveFileLoader, TargetFormatConvertsTheSamplesAndKeepsTheFilesFormat) {
    TempDir dir;
    const std::string path = Make(dir, kFiles[1]);  // 16-bit stereo
    const auto wave = SL::CWaveFileLoader(1).Load(path, false, CBitDepth::FLOAT64);
    ASSERT_TRUE(wave);
    EXPECT_EQ(CBitDepth::FLOAT64, wave->GetNativeBitDepth());
    EXPECT_EQ(CBitDepth::INTEGER16, wave->GetBitDepth());
    const auto read = gbxtest::ReadSampleFile<EBitDepth::INTEGER16>(path);
    const auto left = ChannelValues<EBitDepth::FLOAT64>(*wave, 0);
    ASSERT_EQ(size_t(11025), left.size());
    for (size_t i = 0; i < left.size(); i += 97) EXPECT_EQ(read.values[2 * i] / 32767.0, left[i]);
}

// Sampler and instrument chunks added to python3's files.
const char* const kPythonLoops = R"(
import sys, wave, importlib, struct, warnings
warnings.simplefilter('ignore')
kind, path = sys.argv[1], sys.argv[2]
if kind == 'a':
    f = importlib.import_module('aifc').open(path, 'wb'); f.aiff(); f.setnchannels(1); f.setsampwidth(2); f.setframerate(8000)
    f.setmark(1, 1000, b'begin'); f.setmark(2, 5000, b'end')
    f.writeframes(bytes(2 * 6000)); f.close()
    inst = struct.pack('>bbBBBBhhhhhhh', 60, -25, 0, 127, 0, 127, 0, int(sys.argv[3]), 1, 2, 0, 0, 0)
    data = bytearray(open(path, 'rb').read()) + b'INST' + struct.pack('>I', len(inst)) + inst
else:
    f = wave.open(path, 'wb'); f.setnchannels(1); f.setsampwidth(2); f.setframerate(8000)
    f.writeframes(bytes(2 * 300)); f.close()
    loop_type, play_count = int(sys.argv[3]), int(sys.argv[4])
    smpl = struct.pack('<9I', 0, 0, 125000, 60, 2147483648, 0, 0, 1, 0)
    smpl += struct.pack('<6I', 0, loop_type, 100, 200, 0, play_count)
    data = bytearray(open(path, 'rb').read()) + b'smpl' + struct.pack('<I', len(smpl)) + smpl
struct.pack_into('>I' if kind == 'a' else '<I', data, 4, len(data) - 8)
open(path, 'wb').write(data)
)";

TEST(WaveFileLoader, SamplerLoopsGivePitchAndLoop) {
    struct Case {
        int type;
        int playCount;
        SL::ELoopMode mode;
        double start;
    };
    for (const Case& c : {Case{0, 0, SL::ELoopMode::FWD, 99.0}, Case{1, 0, SL::ELoopMode::ALTPP, 100.0},
                          Case{0, 1, SL::ELoopMode::ONESHOT, 100.0}, Case{2, 0, SL::ELoopMode::FWDR, 100.0},
                          Case{2, 1, SL::ELoopMode::ONESHOTR, 100.0}}) {
        SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.playCount));
        TempDir dir;
        ASSERT_EQ(0, gbxtest::Python(kPythonLoops,
                                     {"w", dir.File("l.wav"), std::to_string(c.type), std::to_string(c.playCount)})
                         .exitCode);
        const auto wave = SL::CWaveFileLoader(0).Load(dir.File("l.wav"), false, CBitDepth::NONE);
        ASSERT_TRUE(wave);
        EXPECT_NEAR(59.5, wave->GetPitch1(), 1e-9);
        EXPECT_EQ(wave->GetPitch1(), wave->GetPitch3());
        const SL::ILoop& loop = *wave->GetLoopPointer();
        EXPECT_EQ(c.mode, loop.GetMode().GetCode());
        EXPECT_EQ(c.start, loop.GetStart());
        EXPECT_EQ(200.0, loop.GetEnd());
        EXPECT_EQ(0.0, loop.GetLowerBound());
    }
}

TEST(WaveFileLoader, InstrumentAndMarkersGivePitchAndSustainLoop) {
    struct Case {
        int playMode;
        SL::ELoopMode mode;
        double start;
    };
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    for (const Case& c : {Case{1, SL::ELoopMode::FWD, 999.0}, Case{2, SL::ELoopMode::ALTPP, 1000.0},
                          Case{0, SL::ELoopMode::ONESHOT, 1000.0}}) {
        SCOPED_TRACE(c.playMode);
        TempDir dir;
        ASSERT_EQ(0, gbxtest::Python(kPythonLoops, {"a", dir.File("l.aiff"), std::to_string(c.playMode)}).exitCode);
        SL::CWaveFileLoader loader(0);
        const auto wave = loader.Load(dir.File("l.aiff"), false, CBitDepth::NONE);
        ASSERT_TRUE(wave);
        EXPECT_EQ(EWaveFileFormat::AIFF, loader.GetDetectedFormat().GetCode());
        EXPECT_DOUBLE_EQ(59.75, wave->GetPitch2());
        EXPECT_EQ(SL::CExtent(0, 6000), wave->GetRange());
        const SL::ILoop& loop = *wave->GetLoopPointer();
        EXPECT_EQ(c.mode, loop.GetMode().GetCode());
        EXPECT_EQ(c.start, loop.GetStart());
        EXPECT_EQ(4999.0, loop.GetEnd());
    }
}

TEST(WaveFileLoader, FilesThatAreNoWave) {
    TempDir dir;
    // A file that no format recognises.
    if (gbxtest::HaveCommand("ffmpeg")) {
        const std::string ffmpeg = "ffmpeg -hide_banner -loglevel error -f lavfi -i sine=d=0.2 -y ";
        ASSERT_EQ(0, gbxtest::Run(ffmpeg + Quote(dir.File("s.mp3"))).exitCode);
        SL::CWaveFileLoader loader(0);
        EXPECT_FALSE(loader.Load(dir.File("s.mp3"), false, CBitDepth::NONE));
        EXPECT_EQ(EWaveFileFormat::INVALID, loader.GetDetectedFormat().GetCode());
    }
    SL::CWaveFileLoader missing(0);
    EXPECT_FALSE(missing.Load(dir.File("missing.wav"), false, CBitDepth::NONE));
    EXPECT_EQ(EWaveFileFormat::INVALID, missing.GetDetectedFormat().GetCode());

    // Recognised files whose content gives no wave.
    auto wav = [](uint16_t tag, uint16_t channels, uint16_t bits, bool withData) {
        gbxtest::ByteBuilder b;
        b.Text("RIFF").Le32(withData ? 48 : 28).Text("WAVE").Text("fmt ").Le32(16).Le16(tag).Le16(channels);
        b.Le32(8000).Le32(16000).Le16(2).Le16(bits);
        if (withData) b.Text("data").Le32(4).Le32(0x00020001);
        b.Text("fact").Le32(4).Le32(2);
        return std::vector<uint8_t>(b.Get());
    };
    auto aiff = [](int16_t channels, int16_t bits, bool withSound) {
        gbxtest::ByteBuilder b;
        b.Text("FORM").Be32(withSound ? 4 + 26 + 16 : 4 + 26).Text("AIFF").Text("COMM").Be32(18);
        b.Be16(uint16_t(channels)).Be32(2).Be16(uint16_t(bits)).Bytes({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
        if (withSound) b.Text("SSND").Be32(8).Be32(0).Be32(0);
        return std::vector<uint8_t>(b.Get());
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        std::vector<uint8_t> loadFlags;
        EWaveFileFormat detected;
    };
    const Case cases[] = {
        {"no channels", wav(1, 0, 16, true), {0, 1}, EWaveFileFormat::WINWAVE},
        {"no data chunk", wav(1, 1, 16, false), {0, 1}, EWaveFileFormat::WINWAVE},
        {"24-bit float", wav(3, 1, 24, true), {0, 1}, EWaveFileFormat::WINWAVE},
        {"12-bit integer", wav(1, 1, 12, true), {0, 1}, EWaveFileFormat::WINWAVE},
        {"tag 2, samples loaded", wav(2, 1, 4, true), {1}, EWaveFileFormat::WINWAVE},
        {"AIFF without channels", aiff(0, 16, true), {0, 1}, EWaveFileFormat::AIFF},
        {"AIFF with -1 channels", aiff(-1, 16, true), {0, 1}, EWaveFileFormat::AIFF},
        {"AIFF without SSND", aiff(1, 16, false), {0, 1}, EWaveFileFormat::AIFF},
        {"AIFF 12-bit", aiff(1, 12, true), {0, 1}, EWaveFileFormat::AIFF},
    };
    for (const Case& c : cases) {
        for (uint8_t loadFlag : c.loadFlags) {
            SCOPED_TRACE(std::string(c.name) + " load flag " + std::to_string(loadFlag));
            gbxtest::WriteBytes(dir.File("x"), c.file);
            SL::CWaveFileLoader loader(loadFlag);
            EXPECT_FALSE(loader.Load(dir.File("x"), false, CBitDepth::NONE));
            EXPECT_EQ(c.detected, loader.GetDetectedFormat().GetCode());
        }
    }
}

// A header's channel count decides how many channels the loader makes: a count the data cannot
// hold one frame of (beyond stereo), or more than any recording has, is refused before a single
// channel is made, so a file of a few bytes costs a few times its size, not megabytes.
TEST(WaveFileLoader, ChannelCountsTheDataCannotHoldAreRefusedBeforeAllocating) {
    auto wav = [](uint16_t channels, uint32_t dataBytes) {
        gbxtest::ByteBuilder b;
        b.Text("RIFF").Le32(36 + dataBytes).Text("WAVE").Text("fmt ").Le32(16).Le16(1).Le16(channels);
        b.Le32(8000).Le32(8000u * channels).Le16(channels).Le16(8);
        b.Text("data").Le32(dataBytes);
        b.Bytes(std::vector<uint8_t>(dataBytes, 0x80));
        return std::vector<uint8_t>(b.Get());
    };
    auto aiff = [](int16_t channels, uint32_t dataBytes) {
        gbxtest::ByteBuilder b;
        b.Text("FORM").Be32(4 + 26 + 16 + dataBytes).Text("AIFF").Text("COMM").Be32(18);
        b.Be16(uint16_t(channels)).Be32(0).Be16(8).Bytes({0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0});
        b.Text("SSND").Be32(8 + dataBytes).Be32(0).Be32(0);
        b.Bytes(std::vector<uint8_t>(dataBytes, 0));
        return std::vector<uint8_t>(b.Get());
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int channels;  // 0: refused
        int frames;
    };
    const Case cases[] = {
        {"65535 channels, 16 bytes", wav(65535, 16), 0, 0},
        {"17 channels, 16 bytes", wav(17, 16), 0, 0},
        {"16 channels, 16 bytes", wav(16, 16), 16, 1},
        {"2000 channels, 2000 bytes", wav(2000, 2000), 0, 0},
        {"empty stereo", wav(2, 0), 2, 0},
        {"empty mono", wav(1, 0), 1, 0},
        {"empty 3 channels", wav(3, 0), 0, 0},
        {"AIFF 32767 channels, 16 bytes", aiff(32767, 16), 0, 0},
        {"AIFF 8 channels, 16 bytes", aiff(8, 16), 8, 2},
    };
    for (const Case& c : cases) {
        for (uint8_t loadFlag : {0, 1}) {
            SCOPED_TRACE(std::string(c.name) + ", load flag " + std::to_string(loadFlag));
            boost::shared_ptr<SL::IWave> wave;
            const size_t peak = gbxtest::HeapPeakOf([&] {
                auto stream = gbxtest::MemoryStream(c.file);
                wave = SL::CWaveFileLoader(loadFlag).Load(stream, false, CBitDepth::NONE, c.name);
            });
            if (c.channels == 0) {
                EXPECT_FALSE(wave);
                // The chunks and the wave's own objects, and a few times the file.
                if (gbxtest::HeapPeakAvailable()) {
                    EXPECT_LT(peak, 64 * 1024 + 4 * c.file.size());
                }
            } else if (loadFlag == 0) {  // the header-only path that the importer takes
                ASSERT_TRUE(wave);
                EXPECT_EQ(size_t(c.channels), wave->GetChannelCollectionPointer()->size());
                EXPECT_EQ(SL::CExtent(0, c.frames), wave->GetRange());
            }
        }
    }
}

// A coding other than integer and float: with the samples only located, the wave has the
// frame count of "fact" and no stored format.
TEST(WaveFileLoader, OtherCodingsGiveTheFactFrameCount) {
    TempDir dir;
    gbxtest::ByteBuilder b;
    b.Text("RIFF").Le32(4 + 24 + 12 + 12).Text("WAVE").Text("fmt ").Le32(16).Le16(2).Le16(2).Le32(8000);
    b.Le32(8000).Le16(2048).Le16(4).Text("fact").Le32(4).Le32(12345).Text("data").Le32(4).Le32(0);
    gbxtest::WriteBytes(dir.File("adpcm.wav"), b);
    const auto wave = SL::CWaveFileLoader(0).Load(dir.File("adpcm.wav"), false, CBitDepth::NONE);
    ASSERT_TRUE(wave);
    EXPECT_EQ(CBitDepth::NONE, wave->GetBitDepth());
    EXPECT_EQ(CBitDepth::FLOAT64, wave->GetNativeBitDepth());
    EXPECT_EQ(SL::CExtent(0, 12345), wave->GetRange());
    EXPECT_EQ(size_t(2), wave->GetChannelCollectionPointer()->size());
}

// Keeps what the sound library logs.
class LogRecorder : public SL::CGeneralStringBuffer::IPrinter {
public:
    void Print(const std::string& text) override { m_text += text; }
    std::string m_text;
};

TEST(WaveFileLoader, LogsTheFileThatCannotOpenAndTheWaveItNormalised) {
    auto recorder = boost::make_shared<LogRecorder>();
    SL::PushLogger(recorder);
    TempDir dir;
    // A pitch below zero (unity note 0 minus a half) is not a valid wave parameter.
    gbxtest::ByteBuilder b;
    b.Text("RIFF").Le32(4 + 24 + 12 + 44).Text("WAVE").Text("fmt ").Le32(16).Le16(1).Le16(1).Le32(8000);
    b.Le32(16000).Le16(2).Le16(16).Text("data").Le32(4).Le32(0x00020001);
    b.Text("smpl").Le32(36).Le32(0).Le32(0).Le32(0).Le32(0).Le32(0x80000000u).Le32(0).Le32(0).Le32(0).Le32(0);
    gbxtest::WriteBytes(dir.File("low.wav"), b);

    EXPECT_FALSE(SL::CWaveFileLoader(0).Load(dir.File("none.wav"), false, CBitDepth::NONE));
    EXPECT_TRUE(SL::CWaveFileLoader(0).Load(dir.File("low.wav"), false, CBitDepth::NONE));  // not asked to normalise
    const auto wave = SL::CWaveFileLoader(0).Load(dir.File("low.wav"), true, CBitDepth::NONE);
    ASSERT_TRUE(wave);
    EXPECT_TRUE(wave->IsValid());
    EXPECT_EQ("Cannot open the file.: " + dir.File("none.wav")
                  + "\nInvalid parameter has normalized.: " + dir.File("low.wav") + "\n",
              recorder->m_text);
}

}  // namespace
