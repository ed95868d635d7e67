// Damaged WAV and AIFF files through every reader of sample files, in memory: cut at every length
// and with header bytes overwritten at random. Each reader answers or refuses; none may crash,
// read out of bounds or loop for ever (the sanitizers and the value bounds below watch).

#include "sound/files/FileSampleBuffer.h"
#include "sound/files/WaveFileLoader.h"

#include "tests/sound/files/SampleFileHelpers.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <random>
#include <sstream>

namespace {

using SL::EBitDepth;

std::vector<uint8_t> SmallWav() {
    gbxtest::ByteBuilder b;
    b.Text("RIFF").Le32(4 + 24 + 8 + 12 + 8 + 36 + 24).Text("WAVE").Text("fmt ").Le32(16).Le16(1).Le16(2);
    b.Le32(8000).Le32(32000).Le16(4).Le16(16).Text("data").Le32(12).Le32(0x00020001).Le32(0x00040003).Le32(0x00060005);
    b.Text("smpl").Le32(60).Fill(28, 0).Le32(1).Le32(0).Le32(0).Le32(0).Le32(2).Le32(1).Le32(0).Le32(0);
    return b;
}

std::vector<uint8_t> SmallAiff() {
    gbxtest::ByteBuilder b;
    b.Text("FORM").Be32(4 + 26 + 8 + 8 + 12 + 8 + 20 + 8 + 12).Text("AIFF").Text("COMM").Be32(18).Be16(2).Be32(3);
    b.Be16(16).Bytes({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
    b.Text("SSND").Be32(20).Be32(0).Be32(0).Be32(0x00010002).Be32(0x00030004).Be32(0x00050006);
    b.Text("INST").Be32(20).Bytes({60, 0, 0, 127, 0, 127}).Be16(0).Be16(1).Be16(1).Be16(2).Be16(0).Be16(0).Be16(0);
    b.Text("MARK").Be32(12).Be16(1).Be16(1).Be32(1).Bytes({1, 'a'});
    return b;
}

// A file in memory, as a stream of its own for each reader.
boost::shared_ptr<std::istream> InMemory(const std::vector<uint8_t>& file) {
    return boost::make_shared<std::stringstream>(gbxtest::MemoryStream(file));
}

// Runs every reader over the file; answers how many of them accepted it.
int ReadEveryWay(const std::vector<uint8_t>& file) {
    int accepted = 0;
    SL::CFileSampleBufferFactory factory;
    if (auto source = factory.OpenSource(InMemory(file))) {
        if (auto input = SL::CFileSampleIteratorFactory::CreateInputIteratorFromSource(*source)) {
            ++accepted;
            int64_t values = 0;
            for (; input->HasNext() && values < 1000; ++values) input->Next();
            EXPECT_LT(values, 1000);
            input->SetLocation(1);
            input->SetLocation(1 << 30);
            EXPECT_FALSE(input->HasNext());
        }
    }
    if (auto source = factory.OpenSource(InMemory(file))) {
        if (auto buffer = SL::CFileSampleBufferFactory::CreateInputBuffer(*source)) {
            ++accepted;
            EXPECT_EQ(size_t(buffer->GetSampleAttribute().GetChannelCount()), buffer->GetPeaks().size());
        }
    }
    for (uint8_t loadFlag : {0, 1}) {
        auto stream = gbxtest::MemoryStream(file);
        if (auto wave = SL::CWaveFileLoader(loadFlag).Load(stream, true, SL::CBitDepth::NONE, "in memory")) {
            ++accepted;
            EXPECT_GE(wave->GetChannelCollectionPointer()->size(), 1u);
        }
    }
    return accepted;
}

TEST(SampleFileRobustness, CutAtEveryLength) {
    for (const auto& file : {SmallWav(), SmallAiff()}) {
        EXPECT_EQ(4, ReadEveryWay(file));
        for (size_t length = 0; length < file.size(); ++length) {
            SCOPED_TRACE(length);
            ReadEveryWay(std::vector<uint8_t>(file.begin(), file.begin() + length));
        }
    }
}

TEST(SampleFileRobustness, HeaderBytesOverwritten) {
    std::mt19937 random(11);
    for (const auto& original : {SmallWav(), SmallAiff()}) {
        for (int round = 0; round < 400; ++round) {
            auto file = original;
            const int changes = 1 + round % 4;
            for (int i = 0; i < changes; ++i) {
                const size_t at = random() % 48;  // the headers of the container and first chunks
                file[at] = static_cast<uint8_t>(round % 3 == 0 ? 0xFF : random());
            }
            SCOPED_TRACE(gbxtest::ToHex(file));
            ReadEveryWay(file);
        }
    }
}

// The readers that open paths read a file on disk as they read the same bytes in memory.
TEST(SampleFileRobustness, FilesOnDiskReadAsInMemory) {
    gbxtest::TempDir dir;
    for (const auto& file : {SmallWav(), SmallAiff()}) {
        gbxtest::WriteBytes(dir.File("whole"), file);
        const auto read = gbxtest::ReadSampleFile<EBitDepth::INTEGER16>(dir.File("whole"));
        ASSERT_TRUE(read.opened && read.good);
        EXPECT_EQ(read.values, (gbxtest::Values<EBitDepth::INTEGER16>{1, 2, 3, 4, 5, 6}));
        EXPECT_TRUE(SL::CFileSampleBufferFactory().CreateInput(dir.File("whole")));
        EXPECT_TRUE(SL::CWaveFileLoader(1).Load(dir.File("whole"), true, SL::CBitDepth::NONE));
    }
}

}  // namespace
