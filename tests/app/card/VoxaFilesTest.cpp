// Voxa song files: the 56-byte header as written, the frame count read back from the data
// length, the headers that are refused, and the size estimates of the free-space checks.
#include "app/card/VoxaFiles.h"

#include "sound/model/ChannelCollection.h"
#include "sound/model/Wave.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

void PutId(std::vector<uint8_t>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// A Voxa header as the table lays it out, field by field.
std::vector<uint8_t> Header(uint32_t channels, uint32_t rate, uint32_t containerSize = 48, bool withFormat = true) {
    std::vector<uint8_t> h;
    PutId(h, "VOXA");
    PutBe32(h, containerSize);
    if (withFormat) {
        PutId(h, "fmt ");
        PutBe32(h, 20);
        for (uint32_t v : {6u, channels, rate, 16u, 16u}) PutBe32(h, v);
    } else {
        PutId(h, "JUNK");
        PutBe32(h, 20);
        h.resize(h.size() + 20, 0);
    }
    PutId(h, "QM-3");
    PutBe32(h, 12);
    h.resize(h.size() + 12, 0);
    return h;
}

class VoxaFilesTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return m_dir.File(name); }
    std::string Write(const std::string& name, std::vector<uint8_t> bytes, size_t dataBytes) {
        bytes.resize(bytes.size() + dataBytes, 0);
        gbxtest::WriteBytes(Path(name), bytes);
        return Path(name);
    }

private:
    gbxtest::TempDir m_dir;
};

TEST_F(VoxaFilesTest, AFileFinishedWithoutSamplesIsTheHeaderOfTheTable) {
    const auto out = CreateVoxaFile(Path("empty.Q3R"), 44100.0, 2);
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->Finish());
    EXPECT_EQ(gbxtest::ReadBytes(Path("empty.Q3R")), Header(2, 44100));
}

TEST_F(VoxaFilesTest, TheRateIsRoundedHalfAwayFromZero) {
    ASSERT_TRUE(CreateVoxaFile(Path("r.Q3R"), 22050.5, 1)->Finish());
    EXPECT_EQ(gbxtest::ReadBytes(Path("r.Q3R")), Header(1, 22051));
}

TEST_F(VoxaFilesTest, FramesComeFromTheDataLength) {
    struct Case {
        uint32_t channels;
        size_t dataBytes;
        int frames;
    } cases[] = {{2, 240, 160}, {1, 13, 18}, {2, 0, 0}, {1, 12, 16}, {3, 36, 16}, {1024, 1024 * 12, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataBytes);
        const auto in = OpenVoxaFile(Write("f.Q3R", Header(c.channels, 44100), c.dataBytes));
        ASSERT_TRUE(in);
        EXPECT_EQ(in->GetSampleAttribute().GetFrames(), c.frames);
        EXPECT_EQ(in->GetSampleAttribute().GetChannelCount(), static_cast<int>(c.channels));
        EXPECT_EQ(in->GetSampleAttribute().GetSampleRate(), 44100.0);
    }
    // 160 stereo frames are 320 values.
    const auto in = OpenVoxaFile(Write("v.Q3R", Header(2, 44100), 240));
    int values = 0;
    for (; in->HasNext(); in->Next()) ++values;
    EXPECT_EQ(values, 320);
    EXPECT_TRUE(in->IsGood());
}

TEST_F(VoxaFilesTest, HeadersThatNameNoUsableStreamAreRefused) {
    std::vector<uint8_t> cut = Header(2, 44100);
    cut.resize(30);
    struct Case {
        const char* what;
        std::vector<uint8_t> header;
        size_t dataBytes;
    } cases[] = {
        {"no channels", Header(0, 44100), 24},
        {"more channels than the coder takes", Header(0x10001, 44100), 24},
        {"65,536 channels in a 68-byte file", Header(0x10000, 44100), 12},
        {"1025 channels with a group of data", Header(1025, 44100), 1025 * 12},
        {"three channels with less than a group of data", Header(3, 44100), 35},
        {"sample rate 0", Header(2, 0), 24},
        {"container longer than the file", Header(2, 44100, 4000), 24},
        {"no format chunk", Header(2, 44100, 48, false), 24},
        {"not a Voxa file", std::vector<uint8_t>(56, 'x'), 24},
        {"header cut short", cut, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(OpenVoxaFile(Write("bad.Q3R", c.header, c.dataBytes)));
    }
    EXPECT_FALSE(OpenVoxaFile(Path("missing.Q3R")));
}

TEST_F(VoxaFilesTest, NoFileIsCreatedThatCouldNotBeOpened) {
    for (const auto& c :
         {std::make_pair(0.0, 2), std::make_pair(0.4, 2), std::make_pair(44100.0, 1025), std::make_pair(44100.0, 0)}) {
        SCOPED_TRACE(std::to_string(c.first) + " Hz, " + std::to_string(c.second) + " channels");
        EXPECT_FALSE(CreateVoxaFile(Path("c.Q3R"), c.first, c.second));
        EXPECT_FALSE(std::filesystem::exists(Path("c.Q3R")));
    }
    EXPECT_TRUE(CreateVoxaFile(Path("c.Q3R"), 0.5, 1024));
}

TEST_F(VoxaFilesTest, AFrameCountBeyondThirtyTwoBitsIsRefused) {
    // A sparse file of 1.7 GB of mono data: 2.27 billion frames.
    const std::string path = Write("huge.Q3R", Header(1, 44100), 0);
    std::filesystem::resize_file(path, 56 + uint64_t(1700) * 1000 * 1000);
    EXPECT_FALSE(OpenVoxaFile(path));
    // The same file read as stereo has a frame count that fits.
    const std::string stereo = Write("huge2.Q3R", Header(2, 44100), 0);
    std::filesystem::resize_file(stereo, 56 + uint64_t(1700) * 1000 * 1000);
    EXPECT_TRUE(OpenVoxaFile(stereo));
}

TEST_F(VoxaFilesTest, EncodedSamplesDecodeBackWithinTheCodecsError) {
    std::vector<int16_t> samples;
    for (int f = 0; f < 1000; ++f) {
        samples.push_back(static_cast<int16_t>(8000 * std::sin(f * 0.05)));
        samples.push_back(static_cast<int16_t>(-6000 * std::sin(f * 0.031)));
    }
    auto out = CreateVoxaFile(Path("t.Q3R"), 44100.0, 2);
    for (int16_t v : samples) {
        out->Set(v);
        out->Next();
    }
    ASSERT_TRUE(out->Finish());
    out.reset();
    // 1000 frames are 63 groups: 62.5 rounded up.
    EXPECT_EQ(std::filesystem::file_size(Path("t.Q3R")), 56u + 63 * 24);
    auto in = OpenVoxaFile(Path("t.Q3R"));
    ASSERT_TRUE(in);
    EXPECT_EQ(in->GetSampleAttribute().GetFrames(), 1008);
    int worst = 0;
    for (size_t i = 0; i < samples.size(); ++i, in->Next()) {
        ASSERT_TRUE(in->HasNext());
        worst = std::max(worst, std::abs(in->Get() - samples[i]));
    }
    EXPECT_LE(worst, 64);
}

// A wave without samples of a frame count and a channel count.
std::unique_ptr<SL::IWave> EmptyWave(int frames, int channels) {
    auto wave = std::make_unique<SL::CWave<SL::EBitDepth::INTEGER16>>(SL::CWaveFormat::WAVE);
    auto collection = boost::make_shared<SL::CChannelCollection>(SL::CWaveFormat::WAVE);
    collection->Resize(channels);
    collection->SetRange(SL::CExtent(0, frames));
    wave->SetChannelCollection(collection);
    return wave;
}

TEST(VoxaFileEstimates, KeepTheFractionOfTheCeilingDivision) {
    struct Case {
        int frames;
        int channels;
        uint64_t estimate;
    } cases[] = {{44928, 2, 67471}, {0, 2, 56}, {16, 2, 103}, {17, 2, 104}, {18, 2, 106}, {16, 1, 80}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frames);
        EXPECT_EQ(EstimateVoxaFileSize(*EmptyWave(c.frames, c.channels)), c.estimate);
    }
    // The same from a byte count of 16-bit stereo PCM (4 bytes a frame; a partial frame drops).
    EXPECT_EQ(EstimateVoxaFileSizeOfPcm(44928 * 4), 67471u);
    EXPECT_EQ(EstimateVoxaFileSizeOfPcm(16 * 4 + 3), 103u);
    EXPECT_EQ(EstimateVoxaFileSizeOfPcm(0), 56u);
    EXPECT_EQ(CeilDivide(0, 16), 0.0);
    EXPECT_EQ(CeilDivide(-5, 16), 0.0);
    EXPECT_EQ(CeilDivide(17, 16), 2.0);
    EXPECT_EQ(CeilDivide(16, 16), 1.9375);
}

}  // namespace
