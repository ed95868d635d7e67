// AIFF chunk classes and the 80-bit extended sample rate: byte layouts, pads of 0 in MARK and
// COMT, counts and lengths that claim more than a chunk holds, and the factory.

#include "sound/files/Extended80.h"
#include "sound/files/FormAiffFile.h"

#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <typeinfo>

namespace {

using gbxtest::ByteBuilder;
using gbxtest::MemoryStream;
using gbxtest::StreamBytes;
using Chunks = SL::CFormAiffFileChunks;
using Factory = SL::CFormAiffFileChunks::CFormAiffChunk::CDefaultChunkFactory;

std::vector<uint8_t> Chunk(const std::string& id, const std::vector<uint8_t>& body, int64_t size = -1) {
    ByteBuilder b;
    b.Text(id).Be32(uint32_t(size < 0 ? int64_t(body.size()) : size)).Bytes(body);
    if (body.size() % 2) b.U8(0xFF);
    return b;
}

std::vector<uint8_t> AiffFile(std::initializer_list<std::vector<uint8_t>> chunks, const char* form = "AIFF") {
    ByteBuilder body;
    for (const auto& c : chunks) body.Bytes(c);
    return ByteBuilder().Text("FORM").Be32(uint32_t(body.Size() + 4)).Text(form).Bytes(body).Get();
}

std::unique_ptr<SL::CFormAiffDto> ReadAiff(const std::vector<uint8_t>& bytes, uint8_t loadFlag, bool expectOk = true) {
    auto stream = MemoryStream(bytes);
    auto dto = std::make_unique<SL::CFormAiffDto>(boost::make_shared<Factory>(loadFlag));
    EXPECT_EQ(dto->Read(stream), expectOk);
    return dto;
}

std::vector<uint8_t> Written(SL::CIffChunk& chunk) {
    auto stream = MemoryStream();
    EXPECT_TRUE(chunk.Write(stream));
    return StreamBytes(stream);
}

// The 10 bytes most significant first, as in the file.
std::vector<uint8_t> Extended(double value) {
    uint8_t native[10];
    SL::DoubleToExtended80(value, native);
    return std::vector<uint8_t>(std::rbegin(native), std::rend(native));
}

double FromExtended(std::vector<uint8_t> fileOrder) {
    std::reverse(fileOrder.begin(), fileOrder.end());
    return SL::Extended80ToDouble(fileOrder.data());
}

// --- 80-bit extended numbers ---

TEST(Extended80, CommonRatesMatchPythonAifc) {
    EXPECT_EQ(Extended(44100), (std::vector<uint8_t>{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}));
    if (!gbxtest::HavePythonModule("aifc")) GTEST_SKIP() << gbxtest::MissingPythonModuleNote("aifc");
    const double rates[] = {44100, 48000, 8000, 11025, 22050, 32000, 96000, 192000, 1, 0.5};
    std::vector<std::string> args;
    for (double r : rates) args.push_back(std::to_string(r));
    const auto oracle = gbxtest::Python(
        "import aifc,io,sys\n"
        "for a in sys.argv[1:]:\n"
        "  f=io.BytesIO(); aifc._write_float(f,float(a)); print(f.getvalue().hex())\n",
        args);
    ASSERT_EQ(oracle.exitCode, 0);
    std::istringstream lines(oracle.output);
    for (double r : rates) {
        std::string hex;
        std::getline(lines, hex);
        EXPECT_EQ(Extended(r), gbxtest::FromHex(hex)) << r;
        EXPECT_EQ(FromExtended(gbxtest::FromHex(hex)), r);
    }
}

TEST(Extended80, EveryDoubleRoundTripsExactly) {
    std::mt19937_64 random(20261210);
    std::vector<double> values = {0.0, -0.0, DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, 1.0 / 3, 44100.5};
    for (int i = 0; i < 20000; ++i) {
        uint64_t bits = random();
        double v;
        std::memcpy(&v, &bits, 8);
        if (std::isfinite(v)) values.push_back(v);
    }
    for (double v : values) {
        const double back = FromExtended(Extended(v));
        EXPECT_EQ(std::memcmp(&back, &v, 8), 0) << v;
    }
    EXPECT_EQ(FromExtended(Extended(INFINITY)), INFINITY);
    EXPECT_EQ(FromExtended(Extended(-INFINITY)), -INFINITY);
    EXPECT_TRUE(std::isnan(FromExtended(Extended(NAN))));
}

#if defined(__x86_64__) && LDBL_MANT_DIG == 64
// On x86-64 a long double is the 80-bit extended format: the processor rounds for us.
TEST(Extended80, RoundsToNearestLikeTheProcessor) {
    std::mt19937_64 random(7);
    std::uniform_int_distribution<int> exponents(16383 - 1022, 16383 + 1023);
    for (int i = 0; i < 20000; ++i) {
        uint8_t native[10];
        const uint64_t significand = random() | (uint64_t(1) << 63);
        std::memcpy(native, &significand, 8);
        // Ties are rare in random bits; make every tenth one a tie.
        if (i % 10 == 0) {
            native[1] = uint8_t((native[1] & 0xF8) | 0x04);
            native[0] = 0;
        }
        const int exponent = exponents(random) | (i % 2 ? 0x8000 : 0);
        native[8] = uint8_t(exponent);
        native[9] = uint8_t(exponent >> 8);
        long double expected;
        std::memcpy(&expected, native, 10);
        EXPECT_EQ(SL::Extended80ToDouble(native), static_cast<double>(expected));
    }
}
#endif

TEST(Extended80, OddValuesGiveSomeDoubleWithoutFailing) {
    const std::vector<std::vector<uint8_t>> cases = {
        {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0},                       // infinity
        {0x7F, 0xFF, 0xC0, 0, 0, 0, 0, 0, 0, 0},                       // NaN
        {0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 1},                       // denormal, far below a double
        {0x7F, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},  // far above a double
        {0x40, 0x0E, 0x2C, 0x44, 0, 0, 0, 0, 0, 0},                    // integer bit clear
    };
    for (const auto& c : cases) {
        auto stream = MemoryStream(c);
        double value = 1;
        EXPECT_TRUE(SL::ReadExtended80(GT::CEndianed(0), stream, value));
    }
    EXPECT_EQ(FromExtended(cases[2]), 0.0);
    EXPECT_EQ(FromExtended(cases[3]), INFINITY);
    EXPECT_EQ(FromExtended(cases[4]), double(0x2C44)) << "read as the significand says";
}

TEST(Extended80, StreamReadsInTheHoldersOrderAndKeepsTheValueOnFailure) {
    auto big = MemoryStream({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
    auto little = MemoryStream({0, 0, 0, 0, 0, 0, 0x44, 0xAC, 0x0E, 0x40});
    double a = 0, b = 0;
    EXPECT_TRUE(SL::ReadExtended80(GT::CEndianed(0), big, a));
    EXPECT_TRUE(SL::ReadExtended80(GT::CEndianed(1), little, b));
    EXPECT_EQ(a, 44100.0);
    EXPECT_EQ(b, 44100.0);

    auto shortStream = MemoryStream({0x40, 0x0E, 0xAC});
    double kept = 7;
    EXPECT_FALSE(SL::ReadExtended80(GT::CEndianed(0), shortStream, kept));
    EXPECT_EQ(kept, 7);
}

TEST(Extended80, StreamUtilityMembersReadAndWriteInTheirOrder) {
    const std::vector<uint8_t> bigRate = {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0};
    for (int order : {0, 1}) {
        const GT::CEndianedStreamUtilities io(order);
        std::vector<uint8_t> bytes = bigRate;
        if (order == 1) std::reverse(bytes.begin(), bytes.end());
        std::stringstream written;
        io.WriteExtended80(written, 44100.0);
        EXPECT_EQ(StreamBytes(written), bytes) << "order " << order;
        auto in = MemoryStream(bytes);
        double value = 0;
        io.ReadExtended80(in, value);
        EXPECT_FALSE(in.fail());
        EXPECT_EQ(value, 44100.0);
    }
    auto shortStream = MemoryStream({0x40, 0x0E});
    double kept = 7;
    GT::CEndianedStreamUtilities(0).ReadExtended80(shortStream, kept);
    EXPECT_TRUE(shortStream.fail());
    EXPECT_EQ(kept, 7);
}

// --- byte layouts ---

TEST(AiffWrite, CommonChunkLayout) {
    Chunks::CCommonChunk comm;
    comm.channels = 2;
    comm.sampleFrames = 0x01020304;
    comm.sampleSize = 16;
    comm.sampleRate = 44100;
    EXPECT_EQ(Written(comm), ByteBuilder()
                                 .Text("COMM")
                                 .Be32(18)
                                 .Be16(2)
                                 .Be32(0x01020304)
                                 .Be16(16)
                                 .Bytes({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0})
                                 .Get());
}

TEST(AiffWrite, MarkerPadsAreZeroAndKeepCountAndNameEven) {
    const struct {
        std::string name;
        std::vector<uint8_t> expected;  // the marker's bytes
    } cases[] = {
        {"abc", ByteBuilder().Be16(1).Be32(1000).U8(3).Text("abc")},          // 10 bytes, no pad
        {"abcd", ByteBuilder().Be16(1).Be32(1000).U8(4).Text("abcd").U8(0)},  // 12 bytes with pad
        {"", ByteBuilder().Be16(1).Be32(1000).U8(0).U8(0)},
    };
    for (const auto& c : cases) {
        Chunks::CMarkerChunk mark;
        mark.markers.push_back({1, 1000, c.name});
        const auto body = ByteBuilder().Be16(1).Bytes(c.expected).Get();
        EXPECT_EQ(Written(mark), Chunk("MARK", body)) << c.name;

        auto dto = ReadAiff(AiffFile({Chunk("MARK", body)}), 1);
        auto* read = dto->FindChunkAs<Chunks::CMarkerChunk>(SL::IffId::MARK);
        ASSERT_NE(read, nullptr);
        ASSERT_EQ(read->markers.size(), 1u);
        EXPECT_EQ(read->markers[0].name, c.name);
        EXPECT_EQ(read->markers[0].position, 1000u);
    }
}

TEST(AiffWrite, CommentPadsAreZero) {
    Chunks::CCommentsChunk comt;
    comt.comments.push_back({0xA0B0C0D0u, -2, "hello"});
    comt.comments.push_back({1, 3, "abcd"});
    const auto body = ByteBuilder()
                          .Be16(2)
                          .Be32(0xA0B0C0D0u)
                          .Be16(0xFFFE)
                          .Be16(5)
                          .Text("hello")
                          .U8(0)
                          .Be32(1)
                          .Be16(3)
                          .Be16(4)
                          .Text("abcd")
                          .Get();
    EXPECT_EQ(Written(comt), Chunk("COMT", body));

    auto dto = ReadAiff(AiffFile({Chunk("COMT", body)}), 1);
    auto* read = dto->FindChunkAs<Chunks::CCommentsChunk>(SL::IffId::COMT);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->comments.size(), 2u);
    EXPECT_EQ(read->comments[0].text, "hello");
    EXPECT_EQ(read->comments[0].markerId, -2);
    EXPECT_EQ(read->comments[1].text, "abcd");
}

TEST(AiffWrite, InstrumentLayoutAndSignedFields) {
    Chunks::CInstrumentChunk inst;
    inst.baseNote = 60;
    inst.detune = -50;
    inst.lowNote = 1;
    inst.highNote = 127;
    inst.lowVelocity = 2;
    inst.highVelocity = 200;
    inst.gain = -6;
    inst.sustainLoop = {1, 3, 4};
    inst.releaseLoop = {2, -1, 7};
    const auto body = ByteBuilder()
                          .Bytes({60, 0xCE, 1, 127, 2, 200})
                          .Be16(0xFFFA)
                          .Be16(1)
                          .Be16(3)
                          .Be16(4)
                          .Be16(2)
                          .Be16(0xFFFF)
                          .Be16(7)
                          .Get();
    ASSERT_EQ(body.size(), 20u);
    EXPECT_EQ(Written(inst), Chunk("INST", body));

    auto dto = ReadAiff(AiffFile({Chunk("INST", body)}), 1);
    auto* read = dto->FindChunkAs<Chunks::CInstrumentChunk>(SL::IffId::INST);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->detune, -50);
    EXPECT_EQ(read->highVelocity, 200);
    EXPECT_EQ(read->gain, -6);
    EXPECT_EQ(read->releaseLoop.beginLoop, -1);
    EXPECT_EQ(read->sustainLoop.endLoop, 4);
}

TEST(AiffWrite, BodilessTextAndApplicationChunks) {
    Chunks::CMidiDataChunk midi;
    Chunks::CAudioRecordingChunk aesd;
    EXPECT_EQ(Written(midi), ByteBuilder().Text("MIDI").Be32(0).Get());
    EXPECT_EQ(Written(aesd), ByteBuilder().Text("AESD").Be32(0).Get());

    Chunks::CTextChunk name(SL::IffId::NAME);
    name.text = std::string("abc\0", 4);
    EXPECT_EQ(Written(name), ByteBuilder().Text("NAME").Be32(4).Text("abc").U8(0).Get());
    Chunks::CTextChunk anno(SL::IffId::ANNO);
    anno.text = "odd";
    EXPECT_EQ(Written(anno), ByteBuilder().Text("ANNO").Be32(3).Text("odd").U8(0xFF).Get());

    Chunks::CApplicationSpecificChunk appl;
    appl.signature = "pdos";
    *appl.GetData() = {1, 2, 3};
    EXPECT_EQ(Written(appl), ByteBuilder().Text("APPL").Be32(7).Text("pdos").Bytes({1, 2, 3, 0xFF}).Get());
}

TEST(AiffWrite, RefusesLengthsTheCountFieldsCannotHold) {
    Chunks::CMarkerChunk mark;
    mark.markers.push_back({1, 0, std::string(256, 'n')});
    auto out = MemoryStream();
    EXPECT_FALSE(mark.Write(out));

    Chunks::CCommentsChunk comt;
    comt.comments.push_back({0, 0, std::string(65536, 't')});
    auto out2 = MemoryStream();
    EXPECT_FALSE(comt.Write(out2));
}

// --- reading ---

TEST(AiffRead, SoundDataFieldsDataAndShortChunks) {
    const auto ssnd = Chunk("SSND", ByteBuilder().Be32(4).Be32(0).Fill(4, 0).Bytes({1, 2, 3}));
    for (uint8_t loadFlag : {0, 1}) {
        auto dto = ReadAiff(AiffFile({ssnd}), loadFlag);
        auto* s = dto->FindChunkAs<Chunks::CSoundDataChunk>(SL::IffId::SSND);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->offset, 4u);
        EXPECT_EQ(s->GetDataLength(), 7);
        EXPECT_EQ(s->GetHeader().GetDataPosition(), 20);
        if (loadFlag) {
            EXPECT_EQ(*s->GetData(), (std::vector<uint8_t>{0, 0, 0, 0, 1, 2, 3})) << "the offset is not applied";
        } else {
            EXPECT_EQ(s->GetLocatedLength(), 7);
        }
    }
    // Shorter than offset and block size (negative data length): refused before any read.
    for (int size = 0; size < 8; ++size) {
        for (uint8_t loadFlag : {0, 1})
            ReadAiff(AiffFile({Chunk("SSND", std::vector<uint8_t>(size_t(size), 0)), Chunk("ANNO", {})}), loadFlag,
                     false);
    }
    for (int size = 0; size < 4; ++size)
        ReadAiff(AiffFile({Chunk("APPL", std::vector<uint8_t>(size_t(size), 'x')), Chunk("ANNO", {})}), 0, false);
    ReadAiff(AiffFile({Chunk("COMM", std::vector<uint8_t>(16, 0)), Chunk("ANNO", std::vector<uint8_t>(8, 0))}), 1,
             false);
}

TEST(AiffRead, ApplicationDataIsAlwaysLoaded) {
    auto dto = ReadAiff(AiffFile({Chunk("APPL", ByteBuilder().Text("stoc").Bytes({9, 8, 7}))}), 0);
    auto* appl = dto->FindChunkAs<Chunks::CApplicationSpecificChunk>(SL::IffId::APPL);
    ASSERT_NE(appl, nullptr);
    EXPECT_EQ(appl->signature, SL::CIffChunk::CFourCharacterCode("stoc"));
    EXPECT_EQ(*appl->GetData(), (std::vector<uint8_t>{9, 8, 7}));
}

TEST(AiffRead, LongNamesManyMarkersAndTextsKeepTheirBytes) {
    ByteBuilder mark;
    const int count = 40000;  // negative as a signed 16-bit number
    mark.Be16(count);
    for (int i = 0; i < count; ++i) {
        const int length = i < 128 ? 128 + i : 1;  // 128 to 255 bytes, then short ones
        mark.Be16(uint16_t(i)).Be32(uint32_t(i) * 10).U8(uint8_t(length)).Fill(size_t(length), uint8_t('a' + i % 26));
        if (length % 2 == 0) mark.U8(0);
    }
    auto dto = ReadAiff(AiffFile({Chunk("MARK", mark), Chunk("NAME", ByteBuilder().Text("song").U8(0)),
                                  Chunk("MIDI", {1, 2, 3}), Chunk("AESD", std::vector<uint8_t>(24, 1))}),
                        1);
    auto* m = dto->FindChunkAs<Chunks::CMarkerChunk>(SL::IffId::MARK);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(m->markers.size(), size_t(count));
    EXPECT_EQ(m->markers[127].name, std::string(255, char('a' + 127 % 26)));
    EXPECT_EQ(m->markers[39999].position, 399990u);
    auto* name = dto->FindChunkAs<Chunks::CTextChunk>(SL::IffId::NAME);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(name->text, std::string("song\0", 5));
    EXPECT_NE(dto->FindChunkAs<Chunks::CMidiDataChunk>(SL::IffId::MIDI), nullptr);
    EXPECT_NE(dto->FindChunkAs<Chunks::CAudioRecordingChunk>(SL::IffId::AESD), nullptr);
}

TEST(AiffRead, ListsAndTextsThatClaimMoreThanTheChunkFail) {
    const auto tail = Chunk("ANNO", std::vector<uint8_t>(600, 'z'));  // bytes a reader could wrongly use
    const struct {
        const char* name;
        std::vector<uint8_t> chunk;
    } cases[] = {
        {"marker count", Chunk("MARK", ByteBuilder().Be16(0xFFFF).Be16(1).Be32(0).U8(1).Text("a"))},
        {"marker name", Chunk("MARK", ByteBuilder().Be16(1).Be16(1).Be32(0).U8(200).Text("abc"))},
        {"marker pad", Chunk("MARK", ByteBuilder().Be16(1).Be16(1).Be32(0).U8(2).Text("ab"))},
        {"comment count", Chunk("COMT", ByteBuilder().Be16(3).Be32(0).Be16(0).Be16(0))},
        {"comment text", Chunk("COMT", ByteBuilder().Be16(1).Be32(0).Be16(0).Be16(500).Text("abc"))},
        {"comment pad", Chunk("COMT", ByteBuilder().Be16(1).Be32(0).Be16(0).Be16(1).Text("a"))},
        {"instrument", Chunk("INST", std::vector<uint8_t>(18, 0))},
    };
    for (const auto& c : cases) {
        ReadAiff(AiffFile({c.chunk, tail}), 1, false);
    }
    // A text whose size passes the end of the file (the container claims more).
    ReadAiff(ByteBuilder().Text("FORM").Be32(0x10000).Text("AIFF").Text("NAME").Be32(0x8000).Text("abc").Get(), 1,
             false);
}

TEST(AiffFactory, CreatesByIdWithItsLoadFlag) {
    const struct {
        const char* id;
        const std::type_info& type;
    } cases[] = {
        {"COMM", typeid(Chunks::CCommonChunk)},
        {"SSND", typeid(Chunks::CSoundDataChunk)},
        {"MARK", typeid(Chunks::CMarkerChunk)},
        {"INST", typeid(Chunks::CInstrumentChunk)},
        {"MIDI", typeid(Chunks::CMidiDataChunk)},
        {"AESD", typeid(Chunks::CAudioRecordingChunk)},
        {"APPL", typeid(Chunks::CApplicationSpecificChunk)},
        {"COMT", typeid(Chunks::CCommentsChunk)},
        {"NAME", typeid(Chunks::CTextChunk)},
        {"AUTH", typeid(Chunks::CTextChunk)},
        {"(c) ", typeid(Chunks::CTextChunk)},
        {"ANNO", typeid(Chunks::CTextChunk)},
    };
    for (uint8_t loadFlag : {0, 1}) {
        Factory factory(loadFlag);
        for (const auto& c : cases) {
            auto chunk = factory.Create(c.id);
            ASSERT_TRUE(chunk) << c.id;
            EXPECT_EQ(typeid(*chunk), c.type) << c.id;
            EXPECT_EQ(chunk->GetHeader().GetId(), SL::CIffChunk::CFourCharacterCode(c.id));
            EXPECT_EQ(chunk->GetByteOrder(), 0);
        }
        EXPECT_EQ(dynamic_cast<Chunks::CSoundDataChunk&>(*factory.Create("SSND")).GetLoadFlag(), loadFlag);
        EXPECT_EQ(dynamic_cast<Chunks::CApplicationSpecificChunk&>(*factory.Create("APPL")).GetLoadFlag(), 1);
        for (const char* other : {"FVER", "FORM", "comm", "ID3 "}) EXPECT_EQ(factory.Create(other), nullptr) << other;
    }
}

TEST(AiffDto, AifcNeitherProbesNorReads) {
    const auto comm = Chunk("COMM", ByteBuilder().Be16(1).Be32(0).Be16(16).Bytes(Extended(8000)));
    SL::CFormAiffDto dto(boost::make_shared<Factory>(1));
    auto aiff = MemoryStream(AiffFile({comm}));
    auto aifc = MemoryStream(AiffFile({comm}, "AIFC"));
    EXPECT_TRUE(dto.Probe(aiff));
    EXPECT_FALSE(dto.Probe(aifc));
    ReadAiff(AiffFile({comm}, "AIFC"), 1, false);
    auto read = ReadAiff(AiffFile({comm}), 1);
    EXPECT_EQ(read->FindChunkAs<Chunks::CCommonChunk>(SL::IffId::COMM)->sampleRate, 8000.0);
}

}  // namespace
