// Random-access file sample buffers: iterator positions, channel selections, peaks, sizes, and
// writing in place, on files built byte by byte and files python3 writes and reads.

#include "sound/files/FileSampleBuffer.h"

#include "tests/support/ByteBuilder.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <boost/pointer_cast.hpp>

#include <sstream>

namespace {

using SL::CBitDepth;
using SL::EBitDepth;
using SL::EWaveFileFormat;
template <EBitDepth F>
using Buffer = SL::CFileSampleBuffer<F>;

std::vector<uint8_t> WavFile(uint16_t channels, uint16_t bits, const std::vector<uint8_t>& data) {
    gbxtest::ByteBuilder b;
    b.Text("RIFF").Le32(uint32_t(36 + data.size() + (data.size() & 1))).Text("WAVE");
    b.Text("fmt ").Le32(16).Le16(1).Le16(channels).Le32(8000).Le32(8000u * channels * bits / 8);
    b.Le16(uint16_t(channels * bits / 8)).Le16(bits).Text("data").Le32(uint32_t(data.size())).Bytes(data);
    if (data.size() & 1) b.U8(0);
    return b;
}

std::vector<uint8_t> Le16Values(std::initializer_list<int16_t> values) {
    gbxtest::ByteBuilder b;
    for (int16_t v : values) b.Le16(uint16_t(v));
    return b;
}

// The file with its "data" size field (bytes 40 to 43 of WavFile's layout) set to size.
std::vector<uint8_t> StatedDataSize(std::vector<uint8_t> file, uint32_t size) {
    for (int i = 0; i < 4; ++i) file[40 + size_t(i)] = uint8_t(size >> (8 * i));
    return file;
}

template <EBitDepth F>
boost::shared_ptr<Buffer<F>> OpenBuffer(const std::string& path) {
    return boost::dynamic_pointer_cast<Buffer<F>>(SL::CFileSampleBufferFactory().CreateInput(path));
}

class StereoBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::WriteBytes(m_dir.File("s.wav"), WavFile(2, 16, Le16Values({10, 11, 20, 21, 30, 31})));
        m_buffer = OpenBuffer<EBitDepth::INTEGER16>(m_dir.File("s.wav"));
        ASSERT_TRUE(m_buffer);
    }

    // The values from begin up to end, at most limit of them.
    template <class It>
    static std::vector<int16_t> Walk(It it, const It& end, int limit = 20) {
        std::vector<int16_t> values;
        for (; it != end && limit-- > 0; ++it) values.push_back(*it);
        return values;
    }

    gbxtest::TempDir m_dir;
    boost::shared_ptr<Buffer<EBitDepth::INTEGER16>> m_buffer;
};

TEST_F(StereoBuffer, WalksAllChannelsFromBeginToEnd) {
    EXPECT_EQ((std::vector<int16_t>{10, 11, 20, 21, 30, 31}), Walk(m_buffer->BeginInput(), m_buffer->EndInput()));
    EXPECT_EQ(44, m_buffer->GetBeginPosition());
    EXPECT_EQ(12, m_buffer->GetDataSize());
    EXPECT_EQ(1, m_buffer->GetSampleAttribute().GetByteOrder());
    auto at = m_buffer->InputAt(2);
    EXPECT_EQ(30, *at);
    EXPECT_TRUE(at == m_buffer->MakeInputIterator(44 + 8, nullptr));
}

TEST_F(StereoBuffer, SelectionsVisitTheChosenChannels) {
    const std::vector<int> right = {1};
    EXPECT_EQ((std::vector<int16_t>{11, 21, 31}), Walk(m_buffer->BeginInput(&right), m_buffer->EndInput(&right)));
    const std::vector<int> swapped = {1, 0};  // as many as the channels: all, in file order
    EXPECT_EQ((std::vector<int16_t>{10, 11, 20, 21, 30, 31}),
              Walk(m_buffer->BeginInput(&swapped), m_buffer->EndInput(&swapped)));
    EXPECT_EQ((std::vector<int16_t>{21, 31}), Walk(m_buffer->InputAt(1, &right), m_buffer->EndInput(&right)));
    const std::vector<int> outside = {2};
    EXPECT_THROW(m_buffer->BeginInput(&outside), std::out_of_range);
}

TEST_F(StereoBuffer, PostfixIncrementReadsTheOldPositionAndCopiesMoveApart) {
    auto it = m_buffer->BeginInput();
    EXPECT_EQ(10, *it++);
    EXPECT_EQ(11, *it);
    auto copy = it;
    ++copy;
    EXPECT_EQ(11, *it);
    EXPECT_EQ(20, *copy);
    EXPECT_TRUE(it != copy);
}

TEST(SampleIncrementer, StepsOfASelectionAddUpToAFrame) {
    struct Case {
        int channels;
        std::vector<int> selection;
        int64_t first;
        std::vector<int64_t> steps;
    };
    for (const Case& c : {Case{4, {1, 3}, 2, {4, 4}}, Case{3, {2, 0}, 4, {-4, 10}}, Case{2, {0}, 0, {4}},
                          Case{5, {4, 1, 2}, 8, {-6, 2, 14}}}) {
        SL::CSampleIncrementer<2> incrementer(c.channels, c.selection);
        EXPECT_EQ(c.first, incrementer.GetFirstOffset());
        EXPECT_EQ(c.steps, incrementer.GetSteps());
        std::unique_ptr<SL::ISampleIncrementer<2>> clone(incrementer.Clone());
        for (int round = 0; round < 2; ++round)
            for (int64_t step : c.steps) EXPECT_EQ(step, clone->NextStep());
    }
    EXPECT_THROW(SL::CSampleIncrementer<2>(2, {}), std::out_of_range);
    EXPECT_THROW(SL::CSampleIncrementer<2>(2, {-1}), std::out_of_range);
}

TEST(FileSampleBuffer, ThreeChannelSelectionTwoThenZero) {
    gbxtest::TempDir dir;
    gbxtest::WriteBytes(dir.File("s.wav"), WavFile(3, 16, Le16Values({0, 1, 2, 10, 11, 12})));
    auto buffer = OpenBuffer<EBitDepth::INTEGER16>(dir.File("s.wav"));
    ASSERT_TRUE(buffer);
    const std::vector<int> selection = {2, 0};
    auto it = buffer->BeginInput(&selection);
    std::vector<int16_t> values;
    for (int i = 0; i < 4; ++i, ++it) values.push_back(*it);
    EXPECT_EQ((std::vector<int16_t>{2, 0, 12, 10}), values);
    EXPECT_TRUE(it == buffer->EndInput(&selection));
}

TEST(FileSampleBuffer, PeaksOfWholeFrames) {
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        std::vector<double> peaks;
    };
    const Case cases[] = {
        {"16-bit stereo", WavFile(2, 16, Le16Values({100, -200, -32768, 5})), {32768.0, 200.0}},
        {"unsigned 8-bit silence", WavFile(2, 8, {128, 128, 128, 128}), {128.0, 128.0}},
        // Two and a half frames: the half frame is not a frame, and the walk still ends.
        {"trailing half frame", WavFile(2, 16, Le16Values({1, -2, 3, -4, 99})), {3.0, 4.0}},
        {"no frames", WavFile(2, 16, {}), {0.0, 0.0}},
        // A damaged size far beyond the file's end: only the values the file holds are walked.
        {"data size beyond the file",
         StatedDataSize(WavFile(2, 16, Le16Values({7, -8, 30000, 2})), 0x7FFFFF00u),
         {30000.0, 8.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gbxtest::TempDir dir;
        gbxtest::WriteBytes(dir.File("s.wav"), c.file);
        auto buffer = SL::CFileSampleBufferFactory().CreateInput(dir.File("s.wav"));
        ASSERT_TRUE(buffer);
        EXPECT_EQ(c.peaks, buffer->GetPeaks());
    }
}

TEST(FileSampleBuffer, AiffDataSizeLeavesOutOffsetAndBlockSize) {
    gbxtest::TempDir dir;
    gbxtest::ByteBuilder b;
    b.Text("FORM").Be32(4 + 26 + 8 + 8 + 6).Text("AIFF").Text("COMM").Be32(18).Be16(1).Be32(3).Be16(16);
    b.Bytes({0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0});
    b.Text("SSND").Be32(14).Be32(0).Be32(0).Be16(1).Be16(0xFFFE).Be16(300);
    gbxtest::WriteBytes(dir.File("s.aiff"), b);
    auto buffer = OpenBuffer<EBitDepth::INTEGER16>(dir.File("s.aiff"));
    ASSERT_TRUE(buffer);
    EXPECT_EQ(6, buffer->GetDataSize());
    EXPECT_EQ(0, buffer->GetSampleAttribute().GetByteOrder());  // the file's order, unlike the iterators
    EXPECT_EQ(EWaveFileFormat::AIFF, buffer->GetFileFormat().GetCode());
    std::vector<int16_t> values;
    for (auto it = buffer->BeginInput(); it != buffer->EndInput(); ++it) values.push_back(*it);
    EXPECT_EQ((std::vector<int16_t>{1, -2, 300}), values);
    EXPECT_EQ((std::vector<double>{300.0}), buffer->GetPeaks());
    EXPECT_FALSE(buffer->Finish());  // an input buffer writes no header
}

class OutputBuffer : public ::testing::Test {
protected:
    void SetUp() override {
        SL::CSampleAttribute attribute(CBitDepth::INTEGER16, 8000.0, 2, 1);
        m_buffer = boost::dynamic_pointer_cast<Buffer<EBitDepth::INTEGER16>>(
            SL::CFileSampleBufferFactory().CreateOutput(attribute, m_dir.File("o.wav"), EWaveFileFormat::WINWAVE));
        ASSERT_TRUE(m_buffer);
    }
    std::vector<uint8_t> Samples() const {
        m_buffer->GetOutputStream()->flush();
        const auto bytes = gbxtest::ReadBytes(m_dir.File("o.wav"));
        return bytes.size() > 46 ? std::vector<uint8_t>(bytes.begin() + 46, bytes.end()) : std::vector<uint8_t>();
    }

    gbxtest::TempDir m_dir;
    boost::shared_ptr<Buffer<EBitDepth::INTEGER16>> m_buffer;
};

TEST_F(OutputBuffer, AValueReachesTheFileWhenTheIteratorMovesOn) {
    auto it = m_buffer->BeginOutput();
    *it = 0x0102;
    EXPECT_TRUE(Samples().empty());
    ++it;
    EXPECT_EQ((std::vector<uint8_t>{0x02, 0x01}), Samples());
}

TEST_F(OutputBuffer, PostfixAssignmentWritesEveryValue) {
    {
        auto it = m_buffer->BeginOutput();
        for (int16_t v : {1, -2, 3, -4}) *it++ = v;
    }
    const std::vector<int> right = {1};
    auto rightChannel = m_buffer->OutputAt(1, &right);
    *rightChannel++ = 40;
    EXPECT_EQ(Le16Values({1, -2, 3, 40}), Samples());
    EXPECT_TRUE(m_buffer->Finish());

    const auto result = gbxtest::Python(
        "import wave,sys\nf=wave.open(sys.argv[1]);print(f.getnchannels(),f.getsampwidth(),f.getnframes(),"
        "f.getframerate(),list(f.readframes(2)))",
        {m_dir.File("o.wav")});
    EXPECT_EQ("2 2 2 8000 [1, 0, 254, 255, 3, 0, 40, 0]\n", result.output);
}

TEST_F(OutputBuffer, InputAndOutputIteratorsDoNotCompare) {
    gbxtest::WriteBytes(m_dir.File("s.wav"), WavFile(2, 16, Le16Values({1, 2})));
    auto input = OpenBuffer<EBitDepth::INTEGER16>(m_dir.File("s.wav"));
    ASSERT_TRUE(input);
    EXPECT_THROW((void)(input->BeginInput() == m_buffer->BeginOutput()), std::bad_cast);
}

TEST(FileSampleBufferFactory, RefusesWhatTheIteratorsRefuse) {
    gbxtest::TempDir dir;
    gbxtest::WriteBytes(dir.File("x.wav"), {'R', 'I', 'F', 'F'});
    SL::CFileSampleBufferFactory factory;
    EXPECT_FALSE(factory.CreateInput(dir.File("x.wav")));
    EXPECT_FALSE(factory.CreateInput(dir.File("missing.wav")));
    EXPECT_FALSE(factory.CreateOutput(SL::CSampleAttribute(CBitDepth::INTEGER8S, 8000.0, 1, 1), dir.File("o.wav"),
                                      EWaveFileFormat::WINWAVE));
    EXPECT_FALSE(factory.CreateOutput(SL::CSampleAttribute(CBitDepth::FLOAT32, 8000.0, 1, 1), dir.File("o.aiff"),
                                      EWaveFileFormat::AIFF));
    EXPECT_FALSE(factory.CreateOutput(SL::CSampleAttribute(CBitDepth::INTEGER16, 8000.0, 1, 1), dir.File("none/o.wav"),
                                      EWaveFileFormat::WINWAVE));
}

}  // namespace
