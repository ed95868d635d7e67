// An AIFF file whose "SSND" offset is not 0: the offset bytes before the first sample frame are
// not samples. Every reader of sample files (the wave loader, the file sample iterators and the
// file sample buffers) reads such a file as the same file without them, and sox, which honours
// the offset, agrees.

#include "sound/files/FileSampleBuffer.h"
#include "sound/files/WaveFileLoader.h"

#include "tests/sound/files/SampleFileHelpers.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/pointer_cast.hpp>

#include <algorithm>

namespace {

using SL::EBitDepth;
using Values = gbxtest::Values<EBitDepth::INTEGER16>;

constexpr size_t kSsndOffsetField = 8;  // from the chunk's id: id, size, then offset

uint32_t Be32At(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) << 24 | uint32_t(bytes[at + 1]) << 16 | uint32_t(bytes[at + 2]) << 8 | bytes[at + 3];
}

void PutBe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (24 - 8 * i));
}

// The file with `padding` put before the first sample frame and the "SSND" offset saying so; the
// chunk and container sizes grow by the padding.
std::vector<uint8_t> WithSoundDataOffset(std::vector<uint8_t> file, const std::vector<uint8_t>& padding) {
    const std::string id = "SSND";
    const auto ssnd = size_t(std::search(file.begin(), file.end(), id.begin(), id.end()) - file.begin());
    EXPECT_LT(ssnd, file.size());
    const auto extra = uint32_t(padding.size());
    PutBe32(file, 4, Be32At(file, 4) + extra);
    PutBe32(file, ssnd + 4, Be32At(file, ssnd + 4) + extra);
    PutBe32(file, ssnd + kSsndOffsetField, Be32At(file, ssnd + kSsndOffsetField) + extra);
    file.insert(file.begin() + long(ssnd + 16), padding.begin(), padding.end());
    return file;
}

// What each reader makes of a 16-bit file: the values (none from the loader, whose loaded wave
// is checked by its frames and channels) and the frame count.
struct Reading {
    bool read = false;
    Values values;
    int64_t frames = -1;
};

Reading ThroughIterator(const std::string& path) {
    const auto result = gbxtest::ReadSampleFile<EBitDepth::INTEGER16>(path);
    Reading r;
    r.read = result.opened && result.good;
    r.values = result.values;
    r.frames = result.attribute.GetFrames();
    return r;
}

Reading ThroughBuffer(const std::string& path) {
    Reading r;
    auto buffer = boost::dynamic_pointer_cast<SL::CFileSampleBuffer<EBitDepth::INTEGER16>>(
        SL::CFileSampleBufferFactory().CreateInput(path));
    if (!buffer) return r;
    r.read = true;
    for (auto it = buffer->BeginInput(), end = buffer->EndInput(); it != end && r.values.size() < 100000; ++it)
        r.values.push_back(*it);
    r.frames = buffer->GetSampleAttribute().GetFrames();
    return r;
}

Reading ThroughLoader(const std::string& path, uint8_t loadFlag) {
    Reading r;
    auto wave = SL::CWaveFileLoader(loadFlag).Load(path, false, SL::CBitDepth::NONE);
    if (!wave) return r;
    r.read = true;
    r.frames = wave->GetRange().end;
    if (!loadFlag) return r;
    // Interleaved again, to compare with the streams.
    const SL::CChannelCollection& channels = *wave->GetChannelCollectionPointer();
    for (int32_t frame = 0; frame < r.frames; ++frame) {
        for (size_t c = 0; c < channels.size(); ++c) {
            auto* channel = dynamic_cast<SL::CChannel<EBitDepth::INTEGER16>*>(channels[c].get());
            if (channel) r.values.push_back(channel->GetData()[frame - channel->GetRange().start]);
        }
    }
    return r;
}

struct Reader {
    const char* name;
    Reading (*read)(const std::string&);
    bool givesValues;
};

const Reader kReaders[] = {
    {"file sample iterator", ThroughIterator, true},
    {"file sample buffer", ThroughBuffer, true},
    {"loader, samples located", [](const std::string& p) { return ThroughLoader(p, 0); }, false},
    {"loader, samples loaded", [](const std::string& p) { return ThroughLoader(p, 1); }, true},
};

class SoundDataOffset : public testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::HaveCommand("sox")) GTEST_SKIP() << "sox is installed by scripts/install-deps.sh";
        ASSERT_EQ(gbxtest::Run("sox -R -n -r 8000 -c 2 -b 16 " + gbxtest::Quote(m_dir.File("plain.aiff"))
                               + " synth 0.01 sine 300 sine 500")
                      .exitCode,
                  0);
        m_plain = gbxtest::ReadBytes(m_dir.File("plain.aiff"));
    }

    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        gbxtest::WriteBytes(m_dir.File(name), bytes);
        return m_dir.File(name);
    }

    gbxtest::TempDir m_dir;
    std::vector<uint8_t> m_plain;
};

TEST_F(SoundDataOffset, OffsetBytesAreSkippedByEveryReader) {
    // Garbage that reads as two loud values, so that delivering it shows.
    const std::string offset4 = Write("offset4.aiff", WithSoundDataOffset(m_plain, {0x7F, 0xFF, 0x80, 0x00}));
    const std::string offset6 = Write("offset6.aiff", WithSoundDataOffset(m_plain, {1, 2, 3, 4, 5, 6}));
    // sox honours the offset: the fixture is a proper AIFF file.
    const auto soxRaw = [](const std::string& path) {
        return gbxtest::Run("sox " + gbxtest::Quote(path) + " -t raw -B - 2>/dev/null").output;
    };
    ASSERT_EQ(soxRaw(offset4), soxRaw(m_dir.File("plain.aiff")));

    const Reading plain = ThroughIterator(m_dir.File("plain.aiff"));
    ASSERT_TRUE(plain.read);
    ASSERT_EQ(plain.frames, 80);
    ASSERT_EQ(plain.values.size(), 160u);
    for (const Reader& reader : kReaders) {
        for (const std::string& path : {m_dir.File("plain.aiff"), offset4, offset6}) {
            SCOPED_TRACE(std::string(reader.name) + ", " + path);
            const Reading r = reader.read(path);
            ASSERT_TRUE(r.read);
            EXPECT_EQ(r.frames, plain.frames);
            if (reader.givesValues) {
                EXPECT_EQ(r.values, plain.values);
            }
        }
    }
}

TEST_F(SoundDataOffset, OffsetPastTheDataIsRefusedByEveryReader) {
    auto bytes = WithSoundDataOffset(m_plain, {});
    const std::string id = "SSND";
    const auto ssnd = size_t(std::search(bytes.begin(), bytes.end(), id.begin(), id.end()) - bytes.begin());
    const uint32_t dataBytes = Be32At(bytes, ssnd + 4) - 8;
    const struct {
        uint32_t offset;
        bool read;
        int64_t frames;
    } cases[] = {{dataBytes - 4, true, 1}, {dataBytes, true, 0}, {dataBytes + 1, false, 0}, {0xFFFFFFFFu, false, 0}};
    for (const auto& c : cases) {
        PutBe32(bytes, ssnd + kSsndOffsetField, c.offset);
        const std::string path = Write("damaged.aiff", bytes);
        for (const Reader& reader : kReaders) {
            SCOPED_TRACE(std::string(reader.name) + ", offset " + std::to_string(c.offset));
            const Reading r = reader.read(path);
            EXPECT_EQ(r.read, c.read);
            if (c.read) {
                EXPECT_EQ(r.frames, c.frames);
            }
        }
    }
}

}  // namespace
