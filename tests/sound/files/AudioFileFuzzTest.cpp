// Mutated WAV and AIFF files fed to both readers: seeded and bounded, so it runs as an ordinary
// test. Every mutant must be handled without a crash, an exception or a sanitizer report;
// nothing read may hold more data than the file, nor more objects than the file has room for;
// whatever reads must write, read back and write again to the same bytes.

#include "sound/files/FileDataSource.h"
#include "sound/files/FormAiffFile.h"
#include "sound/files/RiffWaveFile.h"
#include "sound/files/WaveFileLoader.h"

#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <iostream>
#include <random>

namespace {

using gbxtest::MemoryStream;
using gbxtest::StreamBytes;
using WaveChunks = SL::CRiffWaveFileChunks;
using AiffChunks = SL::CFormAiffFileChunks;

constexpr int kMutantsPerFormat = 10000;
constexpr int kOnFileEvery = 97;  // also replay some mutants through a real file stream

template <class Dto, class Factory>
std::unique_ptr<Dto> MakeDto(uint8_t loadFlag) {
    return std::make_unique<Dto>(boost::make_shared<Factory>(loadFlag));
}

std::unique_ptr<SL::CRiffWaveDto> WaveDto(uint8_t loadFlag) {
    return MakeDto<SL::CRiffWaveDto, WaveChunks::CRiffWaveChunk::CDefaultChunkFactory>(loadFlag);
}

std::unique_ptr<SL::CFormAiffDto> AiffDto(uint8_t loadFlag) {
    return MakeDto<SL::CFormAiffDto, AiffChunks::CFormAiffChunk::CDefaultChunkFactory>(loadFlag);
}

std::vector<uint8_t> Write(SL::IDto& dto) {
    auto out = MemoryStream();
    EXPECT_TRUE(dto.Write(out));
    return StreamBytes(out);
}

std::vector<uint8_t> BaseWave() {
    auto dto = WaveDto(1);
    auto fmt = boost::make_shared<WaveChunks::CFormatChunk>();
    fmt->formatTag = 1;
    fmt->channels = 1;
    fmt->sampleRate = 8000;
    fmt->byteRate = 8000;
    fmt->blockAlign = 1;
    fmt->bitsPerSample = 8;
    auto fact = boost::make_shared<WaveChunks::CFactChunk>();
    fact->sampleCount = 33;
    auto smpl = boost::make_shared<WaveChunks::CSamplerChunk>();
    smpl->midiUnityNote = 60;
    smpl->loops.resize(2);
    smpl->loops[0] = {1, 0, 3, 30, 0, 0};
    smpl->samplerData = {1, 2, 3};
    auto data = boost::make_shared<WaveChunks::CDataChunk>(1);
    for (int i = 0; i < 33; ++i) data->GetData()->push_back(uint8_t(i * 9));
    for (const auto& c : std::vector<boost::shared_ptr<SL::CIffChunk>>{fmt, fact, smpl, data}) dto->AppendChild(c);
    auto bytes = Write(*dto);
    // A chunk no factory knows, in the middle.
    const auto list = gbxtest::ByteBuilder().Text("LIST").Le32(5).Text("INFOx").U8(0xFF).Get();
    bytes.insert(bytes.begin() + 12 + 26, list.begin(), list.end());
    const auto riffSize = uint32_t(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + size_t(i)] = uint8_t(riffSize >> (8 * i));
    return bytes;
}

std::vector<uint8_t> BaseAiff() {
    auto dto = AiffDto(1);
    auto comm = boost::make_shared<AiffChunks::CCommonChunk>();
    comm->channels = 1;
    comm->sampleFrames = 33;
    comm->sampleSize = 8;
    comm->sampleRate = 22050;
    auto mark = boost::make_shared<AiffChunks::CMarkerChunk>();
    mark->markers = {{1, 0, "a"}, {2, 30, "loop"}, {3, 33, ""}};
    auto inst = boost::make_shared<AiffChunks::CInstrumentChunk>();
    inst->sustainLoop = {1, 1, 2};
    auto comt = boost::make_shared<AiffChunks::CCommentsChunk>();
    comt->comments = {{5, 1, "hello"}, {6, 2, "ab"}};
    auto appl = boost::make_shared<AiffChunks::CApplicationSpecificChunk>();
    appl->signature = "gbx ";
    *appl->GetData() = {9, 9, 9};
    auto name = boost::make_shared<AiffChunks::CTextChunk>(SL::IffId::NAME);
    name->text = "odd";
    auto midi = boost::make_shared<AiffChunks::CMidiDataChunk>();
    auto aesd = boost::make_shared<AiffChunks::CAudioRecordingChunk>();
    auto ssnd = boost::make_shared<AiffChunks::CSoundDataChunk>(1);
    for (int i = 0; i < 33; ++i) ssnd->GetData()->push_back(uint8_t(i * 5));
    for (const auto& c :
         std::vector<boost::shared_ptr<SL::CIffChunk>>{comm, mark, inst, comt, appl, name, midi, aesd, ssnd})
        dto->AppendChild(c);
    return Write(*dto);
}

// Offsets of every chunk's size field, to aim mutations at them.
std::vector<size_t> SizeFieldOffsets(const std::vector<uint8_t>& file, bool bigEndian) {
    std::vector<size_t> offsets = {4};
    size_t at = 12;
    while (at + 8 <= file.size()) {
        offsets.push_back(at + 4);
        uint32_t size = 0;
        for (int i = 0; i < 4; ++i) size |= uint32_t(file[at + 4 + size_t(i)]) << (bigEndian ? 8 * (3 - i) : 8 * i);
        at += 8 + size + (size & 1);
    }
    return offsets;
}

class Mutator {
public:
    Mutator(std::vector<uint8_t> base, bool bigEndian, uint32_t seed)
        : m_base(std::move(base)),
          m_sizeFields(SizeFieldOffsets(m_base, bigEndian)),
          m_bigEndian(bigEndian),
          m_random(seed) {}

    std::vector<uint8_t> Next() {
        std::vector<uint8_t> bytes = m_base;
        const int steps = Pick(1, 4);
        for (int s = 0; s < steps && !bytes.empty(); ++s) {
            switch (Pick(0, 6)) {
                case 0:  // one byte anywhere
                    bytes[Index(bytes)] = uint8_t(Pick(0, 255));
                    break;
                case 1:  // a size field, or any 32 or 16 bits, set to an edge value
                case 2: {
                    static const uint32_t edges[] = {0,           1,           2,           3,          7,
                                                     8,           15,          16,          17,         18,
                                                     0x7FFF,      0x8000,      0xFFFF,      0x10000,    0x7FFFFFF0u,
                                                     0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF8u, 0xFFFFFFFFu};
                    const size_t at =
                        Pick(0, 1) ? m_sizeFields[size_t(Pick(0, int(m_sizeFields.size()) - 1))] : Index(bytes);
                    const uint32_t value = Pick(0, 3) ? edges[Pick(0, int(std::size(edges)) - 1)]
                                                      : uint32_t(int32_t(Peek32(bytes, at)) + Pick(-9, 9));
                    const int width = Pick(0, 3) ? 4 : 2;
                    for (int i = 0; i < width && at + size_t(i) < bytes.size(); ++i) {
                        const int shift = m_bigEndian ? 8 * (width - 1 - i) : 8 * i;
                        bytes[at + size_t(i)] = uint8_t(value >> shift);
                    }
                    break;
                }
                case 3:  // truncate
                    bytes.resize(Index(bytes));
                    break;
                case 4: {  // insert a few bytes
                    const size_t at = Index(bytes);
                    bytes.insert(bytes.begin() + long(at), size_t(Pick(1, 9)), uint8_t(Pick(0, 255)));
                    break;
                }
                case 5: {  // remove a few bytes
                    const size_t at = Index(bytes);
                    bytes.erase(bytes.begin() + long(at),
                                bytes.begin() + long(std::min(bytes.size(), at + size_t(Pick(1, 9)))));
                    break;
                }
                default: {  // repeat a stretch (a chunk seen twice, or overlapping)
                    const size_t from = Index(bytes);
                    const size_t length = std::min(bytes.size() - from, size_t(Pick(1, 40)));
                    std::vector<uint8_t> copy(bytes.begin() + long(from), bytes.begin() + long(from + length));
                    bytes.insert(bytes.begin() + long(Index(bytes)), copy.begin(), copy.end());
                    break;
                }
            }
        }
        return bytes;
    }

private:
    int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }
    size_t Index(const std::vector<uint8_t>& bytes) { return size_t(Pick(0, int(bytes.size()) - 1)); }
    uint32_t Peek32(const std::vector<uint8_t>& bytes, size_t at) const {
        uint32_t v = 0;
        for (size_t i = 0; i < 4 && at + i < bytes.size(); ++i)
            v |= uint32_t(bytes[at + i]) << (m_bigEndian ? 8 * (3 - i) : 8 * i);
        return v;
    }

    std::vector<uint8_t> m_base;
    std::vector<size_t> m_sizeFields;
    bool m_bigEndian;
    std::mt19937 m_random;
};

// What the chunks read hold: data bytes (loaded bodies, names, texts, each list entry at its
// smallest size in a file: a marker 7 bytes and its name, a comment 8 and its text, a loop 24)
// and objects (chunks and list entries), each of which costs far more memory than its bytes.
struct Held {
    size_t bytes = 0;
    size_t objects = 0;
};

Held HeldBy(const SL::CIffContainerChunk& dto) {
    Held held;
    held.objects = dto.GetChildren().size();
    for (const auto& child : dto.GetChildren()) {
        if (auto* data = dynamic_cast<const SL::CStreamableData*>(child.get())) held.bytes += data->GetData()->size();
        if (auto* smpl = dynamic_cast<const WaveChunks::CSamplerChunk*>(child.get())) {
            held.bytes += smpl->loops.size() * 24 + smpl->samplerData.size();
            held.objects += smpl->loops.size();
        }
        if (auto* mark = dynamic_cast<const AiffChunks::CMarkerChunk*>(child.get())) {
            for (const auto& m : mark->markers) held.bytes += 7 + m.name.size();
            held.objects += mark->markers.size();
        }
        if (auto* comt = dynamic_cast<const AiffChunks::CCommentsChunk*>(child.get())) {
            for (const auto& c : comt->comments) held.bytes += 8 + c.text.size();
            held.objects += comt->comments.size();
        }
        if (auto* text = dynamic_cast<const AiffChunks::CTextChunk*>(child.get())) held.bytes += text->text.size();
    }
    return held;
}

// A read never holds more data than the file, nor more objects than one per 8 bytes of it (the
// smallest chunk, marker or comment), nor more chunks than the walk's bound.
void ExpectHeldWithin(const SL::CIffContainerChunk& dto, size_t fileBytes) {
    const Held held = HeldBy(dto);
    EXPECT_LE(held.bytes, fileBytes);
    EXPECT_LE(held.objects * 8, fileBytes);
    EXPECT_LE(dto.GetChildren().size(), size_t(SL::CIffContainerChunk::kMaxChildren));
}

template <class MakeDtoFunction>
void Exercise(const std::vector<uint8_t>& mutant, MakeDtoFunction makeDto, int& readsDone) {
    for (uint8_t loadFlag : {0, 1}) {
        auto stream = MemoryStream(mutant);
        auto probe = makeDto(1);
        bool probed = false;
        ASSERT_NO_THROW(probed = probe->Probe(stream));
        ASSERT_EQ(stream.rdstate(), std::ios_base::goodbit);
        ASSERT_EQ(int64_t(stream.tellg()), 0);

        auto dto = makeDto(loadFlag);
        bool read = false;
        ASSERT_NO_THROW(read = dto->Read(stream));
        ASSERT_NO_FATAL_FAILURE(ExpectHeldWithin(*dto, mutant.size()));
        if (read) {
            ASSERT_TRUE(probed) << "a file that reads also probes";
            ++readsDone;
        }
        if (!read || loadFlag == 0) continue;

        // What reads must write, read back and write again to the same bytes.
        const auto written = Write(*dto);
        auto again = makeDto(1);
        auto writtenStream = MemoryStream(written);
        ASSERT_TRUE(again->Read(writtenStream));
        ASSERT_EQ(Write(*again), written);
    }
}

void ExerciseOnFile(const std::vector<uint8_t>& mutant, const std::string& path) {
    gbxtest::WriteBytes(path, mutant);
    for (uint8_t loadFlag : {0, 1}) {
        auto wave = SL::CFileDataSource(path, false).OpenRead();
        auto aiff = SL::CFileDataSource(path, false).OpenRead();
        ASSERT_TRUE(wave && aiff);
        auto waveDto = WaveDto(loadFlag);
        auto aiffDto = AiffDto(loadFlag);
        ASSERT_NO_THROW(waveDto->Read(*wave));
        ASSERT_NO_THROW(aiffDto->Read(*aiff));
        ASSERT_NO_FATAL_FAILURE(ExpectHeldWithin(*waveDto, mutant.size()));
        ASSERT_NO_FATAL_FAILURE(ExpectHeldWithin(*aiffDto, mutant.size()));
    }
}

struct FuzzFormat {
    const char* name;
    std::vector<uint8_t> (*base)();
    bool bigEndian;
    uint32_t seed;
};

class AudioFileFuzz : public testing::TestWithParam<FuzzFormat> {};

TEST_P(AudioFileFuzz, MutantsNeverCrashOrOverreach) {
    const FuzzFormat& format = GetParam();
    const auto base = format.base();
    // The unmutated file reads with both readers' own format.
    if (format.bigEndian) {
        auto s = MemoryStream(base);
        ASSERT_TRUE(AiffDto(1)->Read(s));
    } else {
        auto s = MemoryStream(base);
        ASSERT_TRUE(WaveDto(1)->Read(s));
    }

    gbxtest::TempDir dir;
    Mutator mutator(base, format.bigEndian, format.seed);
    int reads = 0;
    for (int i = 0; i < kMutantsPerFormat; ++i) {
        const auto mutant = mutator.Next();
        SCOPED_TRACE("mutant " + std::to_string(i) + ": " + gbxtest::ToHex(mutant));
        ASSERT_NO_FATAL_FAILURE(Exercise(mutant, WaveDto, reads));
        ASSERT_NO_FATAL_FAILURE(Exercise(mutant, AiffDto, reads));
        if (i % kOnFileEvery == 0) {
            ASSERT_NO_FATAL_FAILURE(ExerciseOnFile(mutant, dir.File("mutant")));
        }
    }
    // The mutants reach both the accepting and the refusing paths (two reads per mutant).
    EXPECT_GT(reads, kMutantsPerFormat / 5);
    EXPECT_LT(reads, 2 * kMutantsPerFormat * 9 / 10);
    std::cout << format.name << ": " << reads << " reads of " << 2 * kMutantsPerFormat << " succeeded\n";
}

// A WAV file of tiny "fact" chunks between "fmt " and "data": each costs 12 bytes of file and a
// chunk object far larger. The walk holds no more chunks than its bound, and a file with more
// is refused, so that a file of a few hundred megabytes cannot exhaust the memory.
std::vector<uint8_t> WaveOfTinyChunks(int children) {
    gbxtest::ByteBuilder b;
    b.Text("RIFF").Le32(0).Text("WAVE");
    b.Text("fmt ").Le32(16).Le16(1).Le16(1).Le32(8000).Le32(8000).Le16(1).Le16(8);
    std::vector<uint8_t> bytes = b;
    const std::vector<uint8_t> fact = gbxtest::ByteBuilder().Text("fact").Le32(4).Le32(0);
    bytes.reserve(bytes.size() + fact.size() * size_t(children) + 12);
    for (int i = 0; i < children - 2; ++i) bytes.insert(bytes.end(), fact.begin(), fact.end());
    const std::vector<uint8_t> data = gbxtest::ByteBuilder().Text("data").Le32(4).Le32(0x80808080u);
    bytes.insert(bytes.end(), data.begin(), data.end());
    const auto riffSize = uint32_t(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) bytes[4 + size_t(i)] = uint8_t(riffSize >> (8 * i));
    return bytes;
}

TEST(AudioFileChunkBound, FilesOfCountlessTinyChunksAreRefused) {
    const int bound = SL::CIffContainerChunk::kMaxChildren;
    const struct {
        int children;
        bool read;
    } cases[] = {{bound, true}, {bound + 1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.children);
        const auto file = WaveOfTinyChunks(c.children);
        for (uint8_t loadFlag : {0, 1}) {
            auto stream = MemoryStream(file);
            auto dto = WaveDto(loadFlag);
            EXPECT_EQ(dto->Read(stream), c.read);
            ExpectHeldWithin(*dto, file.size());
        }
        auto stream = MemoryStream(file);
        const auto wave = SL::CWaveFileLoader(0).Load(stream, false, SL::CBitDepth::NONE, "tiny chunks");
        EXPECT_EQ(bool(wave), c.read);
        if (wave) {
            EXPECT_EQ(wave->GetRange().end, 4);
        }
    }
}

void PrintTo(const FuzzFormat& f, std::ostream* os) { *os << f.name; }

INSTANTIATE_TEST_SUITE_P(Seeded, AudioFileFuzz,
                         testing::Values(FuzzFormat{"Wave", BaseWave, false, 0x5EED0001u},
                                         FuzzFormat{"Aiff", BaseAiff, true, 0x5EED0002u}),
                         [](const testing::TestParamInfo<FuzzFormat>& info) { return std::string(info.param.name); });

}  // namespace
