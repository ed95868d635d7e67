// Damaged WAV and AIFF files through every reader of sample files: cut at every length and with
// header bytes overwritten at random. Each reader answers or refuses; none may crash, read out
// of bounds or loop for ever (the sanitizers and the value bounds below watch).

#include "sound/files/FileSampleBuffer.h"
#include "sound/files/WaveFileLoader.h"

#include "tests/sound/files/SampleFileHelpers.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

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

// Runs every reader over the file; answers how many of them accepted it.
int ReadEveryWay(const std::string& path) {
    int accepted = 0;
    SL::CFileSampleIteratorFactory factory;
    if (auto input = factory.CreateInputIterator(path)) {
        ++accepted;
        int64_t values = 0;
        for (; input->HasNext() && values < 1000; ++values) input->Next();
        EXPECT_LT(values, 1000);
        input->SetLocation(1);
        input->SetLocation(1 << 30);
        EXPECT_FALSE(input->HasNext());
    }
    if (auto buffer = SL::CFileSampleBufferFactory().CreateInput(path)) {
        ++accepted;
        EXPECT_EQ(size_t(buffer->GetSampleAttribute().GetChannelCount()), buffer->GetPeaks().size());
    }
    for (uint8_t loadFlag : {0, 1}) {
        if (auto wave = SL::CWaveFileLoader(loadFlag).Load(path, true, SL::CBitDepth::NONE)) {
            ++accepted;
            EXPECT_GE(wave->GetChannelCollectionPointer()->size(), 1u);
        }
    }
    return accepted;
}

TEST(SampleFileRobustness, CutAtEveryLength) {
    gbxtest::TempDir dir;
    for (const auto& file : {SmallWav(), SmallAiff()}) {
        gbxtest::WriteBytes(dir.File("whole"), file);
        EXPECT_EQ(4, ReadEveryWay(dir.File("whole")));
        for (size_t length = 0; length < file.size(); ++length) {
            SCOPED_TRACE(length);
            gbxtest::WriteBytes(dir.File("cut"), std::vector<uint8_t>(file.begin(), file.begin() + length));
            ReadEveryWay(dir.File("cut"));
        }
    }
}

TEST(SampleFileRobustness, HeaderBytesOverwritten) {
    gbxtest::TempDir dir;
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
            gbxtest::WriteBytes(dir.File("x"), file);
            ReadEveryWay(dir.File("x"));
        }
    }
}

}  // namespace
