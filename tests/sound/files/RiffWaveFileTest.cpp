// RIFF WAVE chunk classes: the header as the system writes it (checked against python3's
// struct), the "fmt " sizes, chunk order, "fact", "smpl" and its counts, and the factory.

#include "sound/files/RiffWaveFile.h"

#include "tests/sound/files/WaveChunkBuilder.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <sstream>
#include <typeinfo>

namespace {

using gbxtest::ByteBuilder;
using gbxtest::FromHex;
using gbxtest::MemoryStream;
using gbxtest::StreamBytes;
using Chunks = SL::CRiffWaveFileChunks;
using Factory = SL::CRiffWaveFileChunks::CRiffWaveChunk::CDefaultChunkFactory;

boost::shared_ptr<SL::CIffContainerChunk::IChunkFactory> DefaultFactory(uint8_t loadFlag) {
    return boost::make_shared<Factory>(loadFlag);
}

std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& body, int64_t size = -1) {
    ByteBuilder b;
    b.Text(id).Le32(uint32_t(size < 0 ? int64_t(body.size()) : size)).Bytes(body);
    if (body.size() % 2) b.U8(0xFF);
    return b;
}

std::vector<uint8_t> RiffFile(std::initializer_list<std::vector<uint8_t>> chunks, int64_t size = -1) {
    ByteBuilder body;
    for (const auto& c : chunks) body.Bytes(c);
    return ByteBuilder()
        .Text("RIFF")
        .Le32(uint32_t(size < 0 ? int64_t(body.Size()) + 4 : size))
        .Text("WAVE")
        .Bytes(body)
        .Get();
}

std::vector<uint8_t> FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, int extraBytes) {
    ByteBuilder b;
    b.Le16(tag)
        .Le16(channels)
        .Le32(rate)
        .Le32(rate * channels * bits / 8)
        .Le16(uint16_t(channels * bits / 8))
        .Le16(bits);
    if (extraBytes >= 2) b.Le16(uint16_t(extraBytes - 2)).Fill(size_t(extraBytes - 2), 0xEE);
    return b;
}

std::unique_ptr<SL::CRiffWaveDto> ReadWave(const std::vector<uint8_t>& bytes, uint8_t loadFlag, bool expectOk = true) {
    auto stream = MemoryStream(bytes);
    auto dto = std::make_unique<SL::CRiffWaveDto>(DefaultFactory(loadFlag));
    EXPECT_EQ(dto->Read(stream), expectOk);
    return dto;
}

TEST(RiffWaveWrite, HeaderMatchesPythonStruct) {
    const struct {
        uint16_t tag, channels;
        uint32_t rate;
        uint16_t bits;
        std::vector<uint8_t> samples;
    } cases[] = {
        {1, 2, 44100, 16, {}},                // the 46-byte header alone
        {1, 1, 8000, 8, {0x80, 0x81, 0x7F}},  // odd data: pad 0xFF at offset 49
        {3, 2, 48000, 32, std::vector<uint8_t>(16, 0x3F)},
    };
    // One oracle run for all cases: a line of hex per "tag,channels,rate,bits,samples".
    std::vector<std::string> args;
    for (const auto& c : cases)
        args.push_back(std::to_string(c.tag) + "," + std::to_string(c.channels) + "," + std::to_string(c.rate) + ","
                       + std::to_string(c.bits) + "," + gbxtest::ToHex(c.samples));
    const auto oracle = gbxtest::Python(
        "import struct,sys\n"
        "for a in sys.argv[1:]:\n"
        "  t,ch,r,b,s=a.split(','); t,ch,r,b=int(t),int(ch),int(r),int(b); s=bytes.fromhex(s)\n"
        "  pad=b'\\xff' if len(s)%2 else b''\n"
        "  h=struct.pack('<4sI4s4sIHHIIHHH4sI',b'RIFF',38+len(s)+len(pad),b'WAVE',b'fmt ',18,t,ch,r,r*ch*b//8,"
        "ch*b//8,b,0,b'data',len(s))\n"
        "  print((h+s+pad).hex())\n",
        args);
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);

    for (const auto& c : cases) {
        SL::CRiffWaveDto dto(DefaultFactory(1));
        const auto chunks = gbxtest::AppendFormatAndData(dto, c.tag, c.channels, c.rate, c.bits, c.samples);
        const auto& fmt = chunks.format;
        const auto& data = chunks.data;
        auto stream = MemoryStream();
        ASSERT_TRUE(dto.Write(stream));

        std::string expected;
        std::getline(lines, expected);
        EXPECT_EQ(StreamBytes(stream), FromHex(expected));
        EXPECT_EQ(fmt->GetHeader().GetSize(), 18);
        EXPECT_EQ(data->GetHeader().GetDataPosition(), 46) << "the first sample is at offset 46";
        EXPECT_EQ(data->GetHeader().GetSize(), int32_t(c.samples.size())) << "the pad byte is not counted";
    }
}

TEST(RiffWaveWrite, EmptySamplerChunkHasSize36AndRoundTrips) {
    Chunks::CSamplerChunk empty;
    auto stream = MemoryStream();
    ASSERT_TRUE(empty.Write(stream));
    EXPECT_EQ(StreamBytes(stream), ByteBuilder().Text("smpl").Le32(36).Fill(36, 0).Get());

    Chunks::CSamplerChunk full;
    full.manufacturer = 1;
    full.product = 2;
    full.samplePeriod = 22675;
    full.midiUnityNote = 60;
    full.midiPitchFraction = 0x80000000u;
    full.smpteFormat = 25;
    full.smpteOffset = 0x01020304;
    full.loopCount = 99;  // replaced by the number of records held
    full.loops.resize(2);
    full.loops[1] = {7, 1, 1000, 5000, 3, 0xFFFFFFFFu};
    full.samplerData = {1, 2, 3};
    auto out = MemoryStream();
    ASSERT_TRUE(full.Write(out));
    EXPECT_EQ(full.GetHeader().GetSize(), 36 + 48 + 3);
    EXPECT_EQ(full.loopCount, 2u);
    EXPECT_EQ(full.samplerDataSize, 3u);
    EXPECT_EQ(StreamBytes(out).back(), 0xFF);

    out.seekg(0);
    Chunks::CSamplerChunk read;
    ASSERT_TRUE(read.Read(out));
    EXPECT_EQ(read.midiPitchFraction, 0x80000000u);
    EXPECT_EQ(read.smpteOffset, 0x01020304u);
    ASSERT_EQ(read.loops.size(), 2u);
    EXPECT_EQ(read.loops[1].end, 5000u);
    EXPECT_EQ(read.loops[1].playCount, 0xFFFFFFFFu);
    EXPECT_EQ(read.samplerData, full.samplerData);
}

TEST(RiffWaveRead, FormatChunkSizes) {
    const struct {
        const char* name;
        int extraBytes;  // bytes after bits per sample: 0 for a 16-byte chunk
        int32_t sizeField;
        bool ok;
        uint16_t extraSize;
    } cases[] = {
        {"16 bytes keeps the extra size", 0, 16, true, 5},         {"18 bytes", 2, 18, true, 0},
        {"40 bytes: 18 read, the rest skipped", 24, 40, true, 22}, {"14 bytes reads past its end", -2, 14, false, 5},
        {"17 bytes reads past its end", 1, 17, false, 5},
    };
    for (const auto& c : cases) {
        auto body = FmtBody(1, 2, 44100, 16, c.extraBytes > 0 ? c.extraBytes : 0);
        body.resize(size_t(c.sizeField));
        const auto bytes = RiffFile({Chunk("fmt ", body), Chunk("data", {1, 2, 3, 4})});

        // Directly, to see the extra size kept.
        auto stream = MemoryStream(bytes);
        stream.seekg(12);
        Chunks::CFormatChunk fmt;
        fmt.extraSize = 5;
        const bool readAlone = fmt.Read(stream);
        if (c.ok) {
            EXPECT_TRUE(readAlone) << c.name;
            EXPECT_EQ(fmt.extraSize, c.extraSize) << c.name;
            EXPECT_EQ(fmt.sampleRate, 44100u) << c.name;
            EXPECT_EQ(fmt.blockAlign, 4u) << c.name;
        }

        auto dto = ReadWave(bytes, 1, c.ok);
        if (c.ok) {
            auto* data = dto->FindChunkAs<Chunks::CDataChunk>(SL::IffId::DATA);
            ASSERT_NE(data, nullptr) << c.name;
            EXPECT_EQ(*data->GetData(), (std::vector<uint8_t>{1, 2, 3, 4})) << c.name;
        }
    }
}

TEST(RiffWaveRead, AnyChunkOrderAndForeignChunksReadTheSame) {
    const auto fmt = Chunk("fmt ", FmtBody(1, 1, 22050, 8, 2));
    const auto data = Chunk("data", {10, 20, 30});
    const auto list = Chunk("LIST", ByteBuilder().Text("INFO").Text("ISFT").Le32(3).Text("ab").U8(0).U8(0));
    const std::vector<uint8_t> files[] = {
        RiffFile({fmt, data}),
        RiffFile({data, fmt}),
        RiffFile({fmt, list, data}),
        RiffFile({list, data, Chunk("junk", {1}), fmt}),
    };
    for (const auto& file : files) {
        auto dto = ReadWave(file, 1);
        auto* f = dto->FindChunkAs<Chunks::CFormatChunk>(SL::IffId::FMT);
        auto* d = dto->FindChunkAs<Chunks::CDataChunk>(SL::IffId::DATA);
        ASSERT_TRUE(f && d);
        EXPECT_EQ(f->sampleRate, 22050u);
        EXPECT_EQ(f->bitsPerSample, 8u);
        EXPECT_EQ(*d->GetData(), (std::vector<uint8_t>{10, 20, 30}));
        EXPECT_EQ(dto->GetChildren().size(), 2u);
    }
}

TEST(RiffWaveRead, DataPastTheEndIsLocatedWithFlag0AndFailsWithFlag1) {
    const auto bytes = ByteBuilder()
                           .Bytes(RiffFile({Chunk("fmt ", FmtBody(1, 2, 44100, 16, 2))}, 4 + 26 + 8 + 1000))
                           .Text("data")
                           .Le32(1000)
                           .Fill(10, 0);
    auto located = ReadWave(bytes, 0);
    auto* data = located->FindChunkAs<Chunks::CDataChunk>(SL::IffId::DATA);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->GetLocatedLength(), 1000);
    EXPECT_EQ(data->GetHeader().GetDataPosition(), 46);
    ReadWave(bytes, 1, false);
}

TEST(RiffWaveRead, FactAndTruncatedBodies) {
    auto dto = ReadWave(RiffFile({Chunk("fact", ByteBuilder().Le32(123456)), Chunk("data", {})}), 1);
    auto* fact = dto->FindChunkAs<Chunks::CFactChunk>(SL::IffId::FACT);
    ASSERT_NE(fact, nullptr);
    EXPECT_EQ(fact->sampleCount, 123456u);

    // A container that claims more than the file, ending inside a field-read body.
    ReadWave(ByteBuilder().Bytes(RiffFile({}, 100)).Text("fact").Le32(4).Bytes({1, 2}), 1, false);
    ReadWave(ByteBuilder().Bytes(RiffFile({}, 100)).Text("smpl").Le32(36).Fill(20, 0), 1, false);
}

TEST(RiffWaveRead, SamplerCountsBeyondTheChunkAreRefusedBeforeAllocating) {
    const struct {
        const char* name;
        uint32_t loopCount;
        uint32_t dataSize;
        int loopsPresent;
        int dataPresent;
        bool ok;
    } cases[] = {
        {"exact", 2, 3, 2, 3, true},
        {"largest loop count", 0xFFFFFFFFu, 0, 1, 0, false},
        {"largest data size", 0, 0xFFFFFFFFu, 0, 16, false},
        {"one loop more than held", 3, 0, 2, 0, false},
        {"one data byte more than held", 1, 5, 1, 4, false},
        {"loop bytes used as data", 0, 48, 2, 0, true},
    };
    for (const auto& c : cases) {
        ByteBuilder body;
        body.Fill(28, 0).Le32(c.loopCount).Le32(c.dataSize);
        for (int i = 0; i < c.loopsPresent; ++i) body.Le32(1).Le32(0).Le32(10).Le32(20).Le32(0).Le32(0);
        body.Fill(size_t(c.dataPresent), 7);
        // More file after the chunk, so that only the chunk's own size can bound the counts.
        auto dto = ReadWave(RiffFile({Chunk("smpl", body), Chunk("data", std::vector<uint8_t>(64, 0))}), 1, c.ok);
        if (c.ok) {
            auto* smpl = dto->FindChunkAs<Chunks::CSamplerChunk>(SL::IffId::SMPL);
            ASSERT_NE(smpl, nullptr) << c.name;
            EXPECT_EQ(smpl->loops.size(), size_t(c.loopCount)) << c.name;
            EXPECT_EQ(smpl->samplerData.size(), size_t(c.dataSize)) << c.name;
        }
    }
}

TEST(RiffWaveFactory, CreatesByIdWithItsLoadFlag) {
    for (uint8_t loadFlag : {0, 1}) {
        Factory factory(loadFlag);
        EXPECT_EQ(typeid(*factory.Create("fmt ")), typeid(Chunks::CFormatChunk));
        EXPECT_EQ(typeid(*factory.Create("smpl")), typeid(Chunks::CSamplerChunk));
        EXPECT_EQ(typeid(*factory.Create("fact")), typeid(Chunks::CFactChunk));
        auto data = factory.Create("data");
        ASSERT_EQ(typeid(*data), typeid(Chunks::CDataChunk));
        EXPECT_EQ(dynamic_cast<Chunks::CDataChunk&>(*data).GetLoadFlag(), loadFlag);
        for (const char* other : {"LIST", "RIFF", "DATA", "fmt", "cue "})
            EXPECT_EQ(factory.Create(other), nullptr) << other;
        EXPECT_EQ(data->GetByteOrder(), 1);
    }
}

TEST(RiffWaveDto, ProbesOnlyRiffWave) {
    SL::CRiffWaveDto dto(DefaultFactory(1));
    const struct {
        std::vector<uint8_t> bytes;
        bool expected;
    } cases[] = {
        {RiffFile({}), true},
        {ByteBuilder().Text("RIFF").Le32(4).Text("AVI "), false},
        {ByteBuilder().Text("FORM").Be32(4).Text("AIFF"), false},
        {ByteBuilder().Text("RIFF").Le32(4).Text("WAV"), false},
    };
    for (const auto& c : cases) {
        auto stream = MemoryStream(c.bytes);
        EXPECT_EQ(dto.Probe(stream), c.expected);
    }
}

}  // namespace
