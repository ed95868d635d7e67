// WAV and AIFF files against independent oracles: files written by python3's wave and aifc
// modules and by sox read correctly, and the files we write read correctly in both.

#include "sound/files/FileDataSource.h"
#include "sound/files/FormAiffFile.h"
#include "sound/files/RiffWaveFile.h"

#include "tests/sound/files/WaveChunkBuilder.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <cstring>
#include <sstream>

namespace {

using gbxtest::Quote;
using WaveChunks = SL::CRiffWaveFileChunks;
using AiffChunks = SL::CFormAiffFileChunks;

// Floating-point samples in [-1, 1] that sox passes through unchanged: k / 8 for k = -7..7.
std::vector<uint8_t> FloatPattern(size_t count) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < count / 4; ++i) {
        const float v = float(int(i % 15) - 7) / 8;
        uint8_t raw[4];
        std::memcpy(raw, &v, 4);
        bytes.insert(bytes.end(), raw, raw + 4);
    }
    return bytes;
}

// The samples every writer is given: byte i of the sample data is (7 i + 3) mod 256.
std::vector<uint8_t> Pattern(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(7 * i + 3);
    return bytes;
}
const char* const kPythonPattern = "def pattern(n): return bytes((7*i+3)&255 for i in range(n))\n";

std::unique_ptr<SL::CRiffWaveDto> ReadWaveFile(const std::string& path) {
    auto in = SL::CFileDataSource(path, false).OpenRead();
    auto dto =
        std::make_unique<SL::CRiffWaveDto>(boost::make_shared<WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(1));
    if (!in || !dto->Probe(*in) || !dto->Read(*in)) return nullptr;
    return dto;
}

std::unique_ptr<SL::CFormAiffDto> ReadAiffFile(const std::string& path) {
    auto in = SL::CFileDataSource(path, false).OpenRead();
    auto dto =
        std::make_unique<SL::CFormAiffDto>(boost::make_shared<AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(1));
    if (!in || !dto->Probe(*in) || !dto->Read(*in)) return nullptr;
    return dto;
}

// Sample bytes as sox decodes them, in the given byte order ("-L" or "-B").
std::vector<uint8_t> SoxRaw(const std::string& path, const std::string& order) {
    const auto result = gbxtest::Run("sox " + Quote(path) + " -t raw " + order + " - 2>/dev/null");
    EXPECT_EQ(result.exitCode, 0) << path;
    return gbxtest::ToBytes(result.output);
}

std::string SoxInfo(const std::string& path) {
    // Type, rate, channels, bits, encoding and frames, a line each.
    const auto result = gbxtest::Run("for o in t r c b e s; do soxi -$o " + Quote(path) + " || exit 1; done");
    EXPECT_EQ(result.exitCode, 0) << path;
    return result.output;
}

class AudioFileInterop : public testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::HaveCommand("sox") || !gbxtest::HaveCommand("python3"))
            GTEST_SKIP() << "sox and python3 are installed by scripts/install-deps.sh";
    }
    gbxtest::TempDir m_dir;
};

TEST_F(AudioFileInterop, PythonWaveFilesRead) {
    const auto result = gbxtest::Python(std::string(kPythonPattern) +
                                        "import wave,sys\n"
                                        "for name,ch,width,rate,frames in ((sys.argv[1],2,2,44100,1000),(sys.argv[2],1,1,8000,7)):\n"
                                        "  w=wave.open(name,'wb'); w.setnchannels(ch); w.setsampwidth(width); w.setframerate(rate)\n"
                                        "  w.writeframes(pattern(frames*ch*width)); w.close()\n",
                                        {m_dir.File("s16.wav"), m_dir.File("u8.wav")});
    ASSERT_EQ(result.exitCode, 0);
    const struct {
        const char* name;
        uint16_t channels, bits, blockAlign;
        uint32_t rate;
        size_t bytes;
    } cases[] = {{"s16.wav", 2, 16, 4, 44100, 4000}, {"u8.wav", 1, 8, 1, 8000, 7}};
    for (const auto& c : cases) {
        auto dto = ReadWaveFile(m_dir.File(c.name));
        ASSERT_TRUE(dto) << c.name;
        auto* fmt = dto->FindChunkAs<WaveChunks::CFormatChunk>(SL::IffId::FMT);
        auto* data = dto->FindChunkAs<WaveChunks::CDataChunk>(SL::IffId::DATA);
        ASSERT_TRUE(fmt && data) << c.name;
        EXPECT_EQ(fmt->GetHeader().GetSize(), 16) << c.name;
        EXPECT_EQ(fmt->formatTag, 1);
        EXPECT_EQ(fmt->channels, c.channels);
        EXPECT_EQ(fmt->bitsPerSample, c.bits);
        EXPECT_EQ(fmt->blockAlign, c.blockAlign);
        EXPECT_EQ(fmt->sampleRate, c.rate);
        EXPECT_EQ(fmt->byteRate, c.rate * c.blockAlign);
        EXPECT_EQ(*data->GetData(), Pattern(c.bytes)) << c.name;
    }
}

TEST_F(AudioFileInterop, PythonAifcFilesRead) {
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    const auto result = gbxtest::Python(std::string(kPythonPattern) +
                                        "import aifc,sys\n"
                                        "for name,ch,width,rate,frames in ((sys.argv[1],2,2,22050,500),(sys.argv[2],1,1,11025,5)):\n"
                                        "  a=aifc.open(name,'wb'); a.aiff(); a.setnchannels(ch); a.setsampwidth(width)\n"
                                        "  a.setframerate(rate); a.setmark(1,10,b'start'); a.setmark(2,frames,b'ab')\n"
                                        "  a.writeframes(pattern(frames*ch*width)); a.close()\n",
                                        {m_dir.File("s16.aiff"), m_dir.File("s8.aiff")});
    ASSERT_EQ(result.exitCode, 0);
    const struct {
        const char* name;
        int16_t channels, bits;
        double rate;
        uint32_t frames;
    } cases[] = {{"s16.aiff", 2, 16, 22050, 500}, {"s8.aiff", 1, 8, 11025, 5}};
    for (const auto& c : cases) {
        auto dto = ReadAiffFile(m_dir.File(c.name));
        ASSERT_TRUE(dto) << c.name;
        auto* comm = dto->FindChunkAs<AiffChunks::CCommonChunk>(SL::IffId::COMM);
        auto* ssnd = dto->FindChunkAs<AiffChunks::CSoundDataChunk>(SL::IffId::SSND);
        auto* mark = dto->FindChunkAs<AiffChunks::CMarkerChunk>(SL::IffId::MARK);
        ASSERT_TRUE(comm && ssnd && mark) << c.name;
        EXPECT_EQ(comm->channels, c.channels);
        EXPECT_EQ(comm->sampleSize, c.bits);
        EXPECT_EQ(comm->sampleRate, c.rate);
        EXPECT_EQ(comm->sampleFrames, c.frames);
        // aifc counts its pad byte of 0 in the sound data size of an odd-length file.
        const auto expected = Pattern(size_t(c.frames * c.channels * c.bits / 8));
        auto data = *ssnd->GetData();
        if (expected.size() % 2) {
            ASSERT_EQ(data.size(), expected.size() + 1);
            EXPECT_EQ(data.back(), 0);
            data.pop_back();
        }
        EXPECT_EQ(data, expected) << c.name;
        ASSERT_EQ(mark->markers.size(), 2u);
        EXPECT_EQ(mark->markers[0].name, "start");
        EXPECT_EQ(mark->markers[0].position, 10u);
        EXPECT_EQ(mark->markers[1].name, "ab");
        EXPECT_EQ(mark->markers[1].id, 2);
    }
}

TEST_F(AudioFileInterop, SoxFilesRead) {
    const struct {
        const char* name;
        const char* options;  // sox output options
        uint16_t tag;         // WAV format tag; 0 for AIFF
        int channels, bits;
        double rate;
    } cases[] = {
        {"s16.wav", "-t wavpcm -r 8000 -c 1 -b 16", 1, 1, 16, 8000},
        {"u8.wav", "-t wavpcm -r 11025 -c 2 -b 8 -e unsigned", 1, 2, 8, 11025},
        {"s24.wav", "-t wavpcm -r 48000 -c 3 -b 24", 1, 3, 24, 48000},
        {"f32.wav", "-t wavpcm -r 44100 -c 2 -b 32 -e floating-point", 3, 2, 32, 44100},
        {"s16.aiff", "-t aiff -r 44100 -c 2 -b 16", 0, 2, 16, 44100},
        {"s24.aiff", "-t aiff -r 96000 -c 1 -b 24", 0, 1, 24, 96000},
        {"s8.aiff", "-t aiff -r 22050 -c 1 -b 8", 0, 1, 8, 22050},
    };
    for (const auto& c : cases) {
        const std::string path = m_dir.File(c.name);
        ASSERT_EQ(
            gbxtest::Run(std::string("sox -n ") + c.options + " " + Quote(path) + " synth 0.0101 sine 440 vol 0.7")
                .exitCode,
            0)
            << c.name;
        if (c.tag != 0) {
            auto dto = ReadWaveFile(path);
            ASSERT_TRUE(dto) << c.name;
            auto* fmt = dto->FindChunkAs<WaveChunks::CFormatChunk>(SL::IffId::FMT);
            auto* data = dto->FindChunkAs<WaveChunks::CDataChunk>(SL::IffId::DATA);
            ASSERT_TRUE(fmt && data) << c.name;
            EXPECT_EQ(fmt->formatTag, c.tag) << c.name;
            EXPECT_EQ(fmt->channels, c.channels) << c.name;
            EXPECT_EQ(fmt->bitsPerSample, c.bits) << c.name;
            EXPECT_EQ(fmt->sampleRate, uint32_t(c.rate)) << c.name;
            EXPECT_EQ(*data->GetData(), SoxRaw(path, "-L")) << c.name;
            if (c.tag == 3) {
                auto* fact = dto->FindChunkAs<WaveChunks::CFactChunk>(SL::IffId::FACT);
                ASSERT_NE(fact, nullptr);
                EXPECT_EQ(size_t(fact->sampleCount) * c.channels * 4, data->GetData()->size());
            }
        } else {
            auto dto = ReadAiffFile(path);
            ASSERT_TRUE(dto) << c.name;
            auto* comm = dto->FindChunkAs<AiffChunks::CCommonChunk>(SL::IffId::COMM);
            auto* ssnd = dto->FindChunkAs<AiffChunks::CSoundDataChunk>(SL::IffId::SSND);
            ASSERT_TRUE(comm && ssnd) << c.name;
            EXPECT_EQ(comm->channels, c.channels) << c.name;
            EXPECT_EQ(comm->sampleSize, c.bits) << c.name;
            EXPECT_EQ(comm->sampleRate, c.rate) << c.name;
            EXPECT_EQ(size_t(comm->sampleFrames) * c.channels * c.bits / 8, ssnd->GetData()->size()) << c.name;
            EXPECT_EQ(*ssnd->GetData(), SoxRaw(path, "-B")) << c.name;
        }
    }
}

TEST_F(AudioFileInterop, OurWaveFilesReadInPythonAndSox) {
    const struct {
        const char* name;
        uint16_t tag, channels, bits;
        uint32_t rate;
        size_t bytes;
        const char* soxEncoding;
    } cases[] = {
        {"s16.wav", 1, 2, 16, 44100, 4000, "Signed Integer PCM"},
        {"u8-odd.wav", 1, 1, 8, 8000, 7, "Unsigned Integer PCM"},  // odd data: 0xFF pad
        {"s24.wav", 1, 2, 24, 48000, 600, "Signed Integer PCM"},
        {"f32.wav", 3, 1, 32, 96000, 400, "Floating Point PCM"},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        SL::CRiffWaveDto dto(boost::make_shared<WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(1));
        gbxtest::AppendFormatAndData(dto, c.tag, c.channels, c.rate, c.bits,
                                     c.tag == 3 ? FloatPattern(c.bytes) : Pattern(c.bytes));
        paths.push_back(m_dir.File(c.name));
        auto out = SL::CFileDataSource(paths.back(), false).OpenWrite();
        ASSERT_TRUE(out && dto.Write(*out));
    }
    // python3's wave reads integer PCM only.
    const auto python = gbxtest::Python(std::string(kPythonPattern) +
                                        "import wave,sys\n"
                                        "for name in sys.argv[1:]:\n"
                                        "  w=wave.open(name,'rb'); n=w.getnframes()\n"
                                        "  print(w.getnchannels(),w.getsampwidth(),w.getframerate(),n,"
                                        "w.readframes(n)==pattern(n*w.getnchannels()*w.getsampwidth()))\n",
                                        {paths[0], paths[1], paths[2]});
    ASSERT_EQ(python.exitCode, 0);
    EXPECT_EQ(python.output, "2 2 44100 1000 True\n1 1 8000 7 True\n2 3 48000 100 True\n");

    for (size_t i = 0; i < paths.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(SoxRaw(paths[i], "-L"), c.tag == 3 ? FloatPattern(c.bytes) : Pattern(c.bytes)) << c.name;
        std::ostringstream info;
        info << "wav\n"
             << c.rate << "\n"
             << c.channels << "\n"
             << c.bits << "\n"
             << c.soxEncoding << "\n"
             << c.bytes / (c.channels * c.bits / 8) << "\n";
        EXPECT_EQ(SoxInfo(paths[i]), info.str()) << c.name;
    }
}

TEST_F(AudioFileInterop, OurAiffFilesReadInPythonAndSox) {
    const struct {
        const char* name;
        int16_t channels, bits;
        double rate;
        uint32_t frames;
    } cases[] = {
        {"s16.aiff", 2, 16, 44100, 1000},
        {"s8-odd.aiff", 1, 8, 22050, 7},  // odd sound data: 0xFF pad
        {"s24.aiff", 1, 24, 11025, 33},
    };
    std::vector<std::string> paths;
    for (const auto& c : cases) {
        SL::CFormAiffDto dto(boost::make_shared<AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(1));
        auto comm = boost::make_shared<AiffChunks::CCommonChunk>();
        comm->channels = c.channels;
        comm->sampleFrames = c.frames;
        comm->sampleSize = c.bits;
        comm->sampleRate = c.rate;
        auto name = boost::make_shared<AiffChunks::CTextChunk>(SL::IffId::NAME);
        name->text = "odd";
        auto mark = boost::make_shared<AiffChunks::CMarkerChunk>();
        mark->markers.push_back({1, 2, "abcd"});
        mark->markers.push_back({2, c.frames, "end"});
        auto inst = boost::make_shared<AiffChunks::CInstrumentChunk>();
        inst->baseNote = 60;
        inst->sustainLoop = {1, 1, 2};
        auto comt = boost::make_shared<AiffChunks::CCommentsChunk>();
        comt->comments.push_back({0, 1, "hello"});
        auto appl = boost::make_shared<AiffChunks::CApplicationSpecificChunk>();
        appl->signature = "gbx ";
        *appl->GetData() = {1, 2, 3};
        auto ssnd = boost::make_shared<AiffChunks::CSoundDataChunk>(1);
        *ssnd->GetData() = Pattern(size_t(c.frames * c.channels * c.bits / 8));
        for (const auto& chunk :
             std::vector<boost::shared_ptr<SL::CIffChunk>>{comm, name, mark, inst, comt, appl, ssnd})
            dto.AppendChild(chunk);
        paths.push_back(m_dir.File(c.name));
        auto out = SL::CFileDataSource(paths.back(), false).OpenWrite();
        ASSERT_TRUE(out && dto.Write(*out));
    }
    const bool haveAifc = gbxtest::HavePythonModule("aifc");
    if (haveAifc) {
        const auto python = gbxtest::Python(std::string(kPythonPattern) +
                                            "import aifc,sys\n"
                                            "for name in sys.argv[1:]:\n"
                                            "  a=aifc.open(name,'rb'); n=a.getnframes()\n"
                                            "  print(a.getnchannels(),a.getsampwidth(),a.getframerate(),n,"
                                            "a.readframes(n)==pattern(n*a.getnchannels()*a.getsampwidth()),a.getmarkers())\n",
                                            paths);
        ASSERT_EQ(python.exitCode, 0);
        EXPECT_EQ(python.output,
                  "2 2 44100 1000 True [(1, 2, b'abcd'), (2, 1000, b'end')]\n"
                  "1 1 22050 7 True [(1, 2, b'abcd'), (2, 7, b'end')]\n"
                  "1 3 11025 33 True [(1, 2, b'abcd'), (2, 33, b'end')]\n");
    }
    for (size_t i = 0; i < paths.size(); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(SoxRaw(paths[i], "-B"), Pattern(size_t(c.frames * c.channels * c.bits / 8))) << c.name;
        std::ostringstream info;
        info << "aiff\n"
             << c.rate << "\n"
             << c.channels << "\n"
             << c.bits << "\nSigned Integer PCM\n"
             << c.frames << "\n";
        EXPECT_EQ(SoxInfo(paths[i]), info.str()) << c.name;
    }
    if (!haveAifc) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
}

}  // namespace
