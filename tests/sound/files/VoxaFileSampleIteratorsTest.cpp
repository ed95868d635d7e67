#include "sound/files/VoxaFileSampleIterators.h"

#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaCoding.h"

#include <gtest/gtest.h>

#include <boost/bind/bind.hpp>
#include <boost/function.hpp>
#include <boost/make_shared.hpp>

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using SL::CSampleAttribute;
using SL::CVoxaFileInputSampleIterator;
using SL::CVoxaFileOutputSampleIterator;
using Bytes = std::vector<uint8_t>;

CSampleAttribute Attribute(int channels, int frames = 0) {
    CSampleAttribute a(SL::CBitDepth(SL::CBitDepth::INTEGER16), 44100.0, channels, 1);
    a.SetFrames(frames);
    return a;
}

Bytes BytesOf(const std::stringstream& s) {
    const std::string text = s.str();
    return Bytes(text.begin(), text.end());
}

// A signal whose channels differ, so a mixed-up channel shows.
int16_t Value(int frame, int channel) {
    return static_cast<int16_t>(std::lround(9000.0 * std::sin(0.05 * frame * (channel + 1)) + 500 * channel));
}

// The blocks of one channel coded on their own, group after group, starting from 0.
struct ChannelCode {
    std::vector<Bytes> blocks;
    std::vector<int16_t> decoded;
};

ChannelCode CodeChannel(const std::vector<int16_t>& samples, int mode) {
    ChannelCode code;
    SL::Private::compressor enc;
    SL::Private::expander dec;
    int32_t encLast = 0;
    int32_t decLast = 0;
    for (size_t g = 0; g < samples.size(); g += 16) {
        int16_t block[16] = {};
        for (size_t i = 0; i < 16 && g + i < samples.size(); ++i) block[i] = samples[g + i];
        Bytes bytes(static_cast<size_t>(2 * mode));
        encLast = enc.EncodeBlock(block, bytes.data(), encLast, mode);
        int16_t out[16];
        decLast = dec.DecodeBlock(bytes.data(), out, decLast, mode);
        code.decoded.insert(code.decoded.end(), out, out + 16);
        code.blocks.push_back(bytes);
    }
    return code;
}

struct Written {
    boost::shared_ptr<std::stringstream> stream;
    bool finished;
};

// Writes frames of Value() into one stream after an offset of marker bytes.
Written WriteFrames(int mode, int channels, int frames, int64_t offset = 6) {
    auto stream = boost::make_shared<std::stringstream>();
    *stream << std::string(static_cast<size_t>(offset), 'H');
    CVoxaFileOutputSampleIterator out(mode, Attribute(channels), {stream}, {channels}, {offset, 2147483647},
                                      boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            EXPECT_TRUE(out.HasNext());
            out.Set(Value(f, c));
            out.Next();
        }
    }
    return {stream, out.Finish()};
}

std::vector<int16_t> ReadAll(SL::IInputSampleIterator& in) {
    auto& typed = dynamic_cast<SL::ITypedInputSampleIterator<SL::EBitDepth::INTEGER16>&>(in);
    std::vector<int16_t> values;
    while (typed.HasNext()) {
        values.push_back(typed.Get());
        typed.Next();
    }
    return values;
}

TEST(VoxaFileSampleIterators, SeventeenStereoFramesGiveTwoPaddedGroupsOfSeparateChannels) {
    const Written w = WriteFrames(6, 2, 17);
    EXPECT_TRUE(w.finished);
    const Bytes bytes = BytesOf(*w.stream);
    ASSERT_EQ(bytes.size(), 6u + 48u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "HHHHHH");

    // Group layout: 12 bytes of channel 0, 12 of channel 1; each channel coded from a last of 0,
    // and the second group holds frame 16 followed by zeros.
    for (int c = 0; c < 2; ++c) {
        std::vector<int16_t> channel;
        for (int f = 0; f < 17; ++f) channel.push_back(Value(f, c));
        channel.resize(32, 0);
        const ChannelCode code = CodeChannel(channel, 6);
        for (int g = 0; g < 2; ++g) {
            const auto first = bytes.begin() + 6 + 24 * g + 12 * c;
            EXPECT_EQ(Bytes(first, first + 12), code.blocks[static_cast<size_t>(g)])
                << "channel " << c << " group " << g;
        }
    }
}

TEST(VoxaFileSampleIterators, FinishWithoutValuesWritesNothing) {
    const Written w = WriteFrames(6, 1, 0);
    EXPECT_TRUE(w.finished);
    EXPECT_EQ(BytesOf(*w.stream).size(), 6u);
}

TEST(VoxaFileSampleIterators, FinishAgainDoesNotRepeatThePaddedGroup) {
    auto stream = boost::make_shared<std::stringstream>();
    CVoxaFileOutputSampleIterator out(6, Attribute(1), {stream}, {1}, {0, 2147483647},
                                      boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
    for (int i = 0; i < 20; ++i) {
        out.Set(static_cast<int16_t>(i * 10));
        out.Next();
    }
    EXPECT_TRUE(out.Finish());
    EXPECT_TRUE(out.Flush());
    EXPECT_TRUE(out.Finish());
    EXPECT_EQ(BytesOf(*stream).size(), 24u);
    // Nothing has a place after the padded group.
    EXPECT_FALSE(out.HasNext());
    out.Set(1);
    out.Next();
    EXPECT_FALSE(out.IsGood());
    EXPECT_EQ(BytesOf(*stream).size(), 24u);
}

TEST(VoxaFileSampleIterators, FinishWithoutCallbackThrows) {
    auto stream = boost::make_shared<std::stringstream>();
    CVoxaFileOutputSampleIterator out(6, Attribute(1), {stream}, {1}, {0, 100}, {});
    EXPECT_THROW(out.Finish(), boost::bad_function_call);
}

TEST(VoxaFileSampleIterators, InputOfOneStereoGroupYieldsThirtyTwoValues) {
    auto stream = boost::make_shared<std::stringstream>(std::string(24, '\0'));
    CVoxaFileInputSampleIterator in(6, Attribute(2, 16), {2}, {stream}, 0);
    const std::vector<int16_t> values = ReadAll(in);
    EXPECT_EQ(values, std::vector<int16_t>(32, 0));
    EXPECT_FALSE(in.HasNext());
    EXPECT_TRUE(in.IsGood());
}

TEST(VoxaFileSampleIterators, EmptyStreamHasNoValue) {
    auto stream = boost::make_shared<std::stringstream>();
    CVoxaFileInputSampleIterator in(6, Attribute(1, 0), {1}, {stream}, 0);
    EXPECT_FALSE(in.HasNext());
    EXPECT_TRUE(in.IsGood());
}

TEST(VoxaFileSampleIterators, WrittenStreamsReadBackAsTheDecodersValuesInEveryMode) {
    struct Case {
        int mode;
        int channels;
        int frames;
    };
    const Case cases[] = {{4, 1, 100}, {5, 2, 33}, {6, 2, 1000}, {7, 3, 48}, {8, 6, 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " channels " + std::to_string(c.channels));
        const Written w = WriteFrames(c.mode, c.channels, c.frames, 10);
        ASSERT_TRUE(w.finished);
        const int groups = (c.frames + 15) / 16;
        ASSERT_EQ(BytesOf(*w.stream).size(), static_cast<size_t>(10 + groups * c.channels * 2 * c.mode));

        CVoxaFileInputSampleIterator in(c.mode, Attribute(c.channels, c.frames), {c.channels}, {w.stream}, 10);
        const std::vector<int16_t> values = ReadAll(in);
        ASSERT_EQ(values.size(), static_cast<size_t>(c.frames * c.channels));
        EXPECT_TRUE(in.IsGood());
        for (int ch = 0; ch < c.channels; ++ch) {
            std::vector<int16_t> channel;
            for (int f = 0; f < c.frames; ++f) channel.push_back(Value(f, ch));
            const ChannelCode code = CodeChannel(channel, c.mode);
            for (int f = 0; f < c.frames; ++f) {
                const int16_t got = values[static_cast<size_t>(f * c.channels + ch)];
                ASSERT_EQ(got, code.decoded[static_cast<size_t>(f)]) << "frame " << f << " channel " << ch;
                // A smooth tone stays close to the original even at 4 bits a sample.
                ASSERT_LE(std::abs(got - Value(f, ch)), 2048) << "frame " << f << " channel " << ch;
            }
        }
    }
}

TEST(VoxaFileSampleIterators, TruncatedStreamIsNotGood) {
    struct Case {
        const char* name;
        size_t cut;  // bytes removed from the end
    };
    const Case cases[] = {{"one byte short", 1}, {"last group missing", 24}, {"half a block short", 6}};
    const Written w = WriteFrames(6, 2, 40);  // three groups, the last one partial
    const std::string full = w.stream->str();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = boost::make_shared<std::stringstream>(full.substr(0, full.size() - c.cut));
        CVoxaFileInputSampleIterator in(6, Attribute(2, 40), {2}, {stream}, 6);
        const std::vector<int16_t> values = ReadAll(in);
        EXPECT_FALSE(in.IsGood());
        EXPECT_EQ(values.size(), 64u);  // the two whole groups, nothing of the short one
    }
}

TEST(VoxaFileSampleIterators, SeveralStreamsNumberTheirChannelsInStreamOrder) {
    auto mono = boost::make_shared<std::stringstream>();
    auto stereo = boost::make_shared<std::stringstream>();
    const int frames = 40;
    {
        CVoxaFileOutputSampleIterator out(5, Attribute(3), {mono, stereo}, {1, 2}, {0, 2147483647},
                                          boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
        for (int f = 0; f < frames; ++f) {
            for (int c = 0; c < 3; ++c) {
                out.Set(Value(f, c));
                out.Next();
            }
        }
        EXPECT_TRUE(out.Finish());
    }
    EXPECT_EQ(BytesOf(*mono).size(), 3u * 10u);
    EXPECT_EQ(BytesOf(*stereo).size(), 3u * 20u);
    // The mono stream holds channel 0 alone, coded from a last of 0.
    std::vector<int16_t> channel0;
    for (int f = 0; f < frames; ++f) channel0.push_back(Value(f, 0));
    const ChannelCode code0 = CodeChannel(channel0, 5);
    const Bytes monoBytes = BytesOf(*mono);
    EXPECT_EQ(Bytes(monoBytes.begin(), monoBytes.begin() + 10), code0.blocks[0]);

    CVoxaFileInputSampleIterator in(5, Attribute(3, frames), {1, 2}, {mono, stereo}, 0);
    const std::vector<int16_t> values = ReadAll(in);
    ASSERT_EQ(values.size(), 3u * frames);
    EXPECT_TRUE(in.IsGood());
    for (int f = 0; f < frames; ++f)
        EXPECT_EQ(values[static_cast<size_t>(3 * f)], code0.decoded[static_cast<size_t>(f)]);
}

TEST(VoxaFileSampleIterators, SetLocationResumesReadingAtTheFrame) {
    const Written w = WriteFrames(6, 2, 70);
    CVoxaFileInputSampleIterator in(6, Attribute(2, 70), {2}, {w.stream}, 6);
    const std::vector<int16_t> all = ReadAll(in);
    for (int frame : {0, 15, 16, 33, 69}) {
        in.SetLocation(frame);
        EXPECT_EQ(in.GetLocation(), frame);
        EXPECT_EQ(in.OffsetLocation(3), frame + 3);
        std::vector<int16_t> rest = ReadAll(in);
        EXPECT_EQ(rest, std::vector<int16_t>(all.begin() + 2 * frame, all.end())) << "frame " << frame;
        EXPECT_TRUE(in.IsGood());
    }
    in.SetLocation(70);
    EXPECT_FALSE(in.HasNext());
}

// A stream buffer that takes a fixed number of bytes and then refuses.
class LimitedBuffer : public std::streambuf {
public:
    explicit LimitedBuffer(size_t capacity) : m_left(capacity) {}
    // The bytes taken.
    const std::string& Written() const { return m_written; }

protected:
    int_type overflow(int_type ch) override {
        if (m_left == 0 || traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::eof();
        --m_left;
        m_written.push_back(traits_type::to_char_type(ch));
        return ch;
    }
    pos_type seekoff(off_type off, std::ios_base::seekdir, std::ios_base::openmode) override { return pos_type(off); }
    pos_type seekpos(pos_type pos, std::ios_base::openmode) override { return pos; }

private:
    size_t m_left;
    std::string m_written;
};

TEST(VoxaFileSampleIterators, FailedWriteStopsTheOutputAndFailsFinish) {
    LimitedBuffer buffer(30);  // two groups of 12 bytes fit, the third does not
    auto stream = boost::make_shared<std::ostream>(&buffer);
    CVoxaFileOutputSampleIterator out(6, Attribute(1), {stream}, {1}, {0, 2147483647},
                                      boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
    int taken = 0;
    while (out.HasNext() && taken < 1000) {
        out.Set(static_cast<int16_t>(taken));
        out.Next();
        ++taken;
    }
    EXPECT_EQ(taken, 48);
    EXPECT_FALSE(out.IsGood());
    EXPECT_FALSE(out.Finish());
}

TEST(VoxaFileSampleIterators, OutputStopsPastTheLimit) {
    auto stream = boost::make_shared<std::stringstream>();
    CVoxaFileOutputSampleIterator out(6, Attribute(1), {stream}, {1}, {0, 20}, {});
    int taken = 0;
    while (out.HasNext() && taken < 1000) {
        out.Set(1);
        out.Next();
        ++taken;
    }
    EXPECT_EQ(taken, 32);  // after the second group the position (24) has passed 20
    EXPECT_TRUE(out.IsGood());
}

// Block writes in uneven pieces give the bytes of value-by-value writes, stop where they stop
// (the limit, a full stream), and Room never promises more than is taken.
TEST(VoxaFileSampleIterators, BlockWritesMatchValueByValueWrites) {
    struct Case {
        int channels;
        int frames;
        int64_t limit;
        size_t streamRoom;  // bytes the stream takes; 0 for all
    } cases[] = {{2, 1000, 2147483647, 0}, {1, 37, 2147483647, 0}, {2, 500, 100, 0}, {1, 300, 2147483647, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, limit " << c.limit << ", room " << c.streamRoom);
        std::vector<int16_t> values;
        for (int f = 0; f < c.frames; ++f)
            for (int ch = 0; ch < c.channels; ++ch) values.push_back(Value(f, ch));
        auto run = [&](bool blocks, size_t& taken) {
            std::stringbuf text;
            LimitedBuffer limited(c.streamRoom);
            auto stream = boost::make_shared<std::ostream>(c.streamRoom ? static_cast<std::streambuf*>(&limited)
                                                                        : static_cast<std::streambuf*>(&text));
            CVoxaFileOutputSampleIterator out(
                6, Attribute(c.channels), {stream}, {c.channels}, {0, c.limit},
                boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
            taken = 0;
            if (blocks) {
                const size_t pieces[] = {1, 7, 31, 64, 200, 5};
                for (size_t i = 0; taken < values.size(); ++i) {
                    const size_t room = out.Room();
                    const size_t n = std::min(pieces[i % 6], values.size() - taken);
                    const size_t written = out.Write(values.data() + taken, n);
                    if (out.IsGood()) {
                        EXPECT_EQ(written, std::min(n, room));
                    }
                    taken += written;
                    if (written == 0) break;
                }
            } else {
                for (; taken < values.size() && out.HasNext(); ++taken) {
                    out.Set(values[taken]);
                    out.Next();
                }
            }
            const bool good = out.IsGood();
            out.Finish();
            return std::make_pair(good, c.streamRoom ? limited.Written() : text.str());
        };
        size_t byValue = 0, byBlock = 0;
        const auto expected = run(false, byValue);
        const auto actual = run(true, byBlock);
        EXPECT_EQ(byBlock, byValue);
        EXPECT_EQ(actual, expected);
    }
}

// Block reads give what Get and Next give, in pieces of any size, up to the stream's end.
TEST(VoxaFileSampleIterators, BlockReadsMatchValueByValueReads) {
    for (int channels : {1, 2}) {
        const int frames = 333;
        const Written w = WriteFrames(6, channels, frames);
        auto open = [&] {
            auto copy = boost::make_shared<std::stringstream>(w.stream->str());
            return boost::make_shared<CVoxaFileInputSampleIterator>(
                6, Attribute(channels, frames), std::vector<int>{channels},
                std::vector<boost::shared_ptr<std::istream>>{copy}, 6);
        };
        auto byValue = open();
        const std::vector<int16_t> expected = ReadAll(*byValue);
        ASSERT_EQ(expected.size(), static_cast<size_t>(frames * channels));
        auto byBlock = open();
        std::vector<int16_t> actual(expected.size() + 50, 0);
        size_t got = 0;
        for (size_t piece : {1, 15, 16, 17, 100, 1000}) got += byBlock->Read(actual.data() + got, piece);
        EXPECT_EQ(got, expected.size());
        actual.resize(got);
        EXPECT_EQ(actual, expected);
        EXPECT_FALSE(byBlock->HasNext());
        EXPECT_TRUE(byBlock->IsGood());
    }
}

TEST(VoxaFileSampleIterators, UnpositionableStreamFailsAtTheFirstGroup) {
    auto stream = boost::make_shared<std::stringstream>();
    CVoxaFileOutputSampleIterator out(6, Attribute(1), {stream}, {1}, {-5, 2147483647},
                                      boost::bind(&CVoxaFileOutputSampleIterator::Flush, boost::placeholders::_1));
    for (int i = 0; i < 16; ++i) {
        out.Set(1);
        out.Next();
    }
    EXPECT_FALSE(out.IsGood());
    EXPECT_FALSE(out.HasNext());
    EXPECT_FALSE(out.Finish());
}

TEST(VoxaFileSampleIterators, RefuseBadModesAndChannelCounts) {
    auto out = boost::make_shared<std::stringstream>();
    auto in = boost::make_shared<std::stringstream>();
    struct Case {
        const char* name;
        int mode;
        int attributeChannels;
        std::vector<int> streamChannels;
    };
    const Case cases[] = {
        {"mode 3", 3, 1, {1}},
        {"mode 9", 9, 1, {1}},
        {"no channels", 6, 0, {0}},
        {"negative channels", 6, -2, {-2}},
        {"streams do not add up", 6, 2, {1}},
        {"stream without channels", 6, 2, {2, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<boost::shared_ptr<std::ostream>> outs(c.streamChannels.size(), out);
        std::vector<boost::shared_ptr<std::istream>> ins(c.streamChannels.size(), in);
        EXPECT_THROW(
            CVoxaFileOutputSampleIterator(c.mode, Attribute(c.attributeChannels), outs, c.streamChannels, {0, 100}, {}),
            std::invalid_argument);
        EXPECT_THROW(CVoxaFileInputSampleIterator(c.mode, Attribute(c.attributeChannels, 16), c.streamChannels, ins, 0),
                     std::invalid_argument);
    }
    EXPECT_THROW(SL::CVoxaCoding(3), std::invalid_argument);
    EXPECT_THROW(SL::CVoxaCoding(9), std::invalid_argument);
    EXPECT_THROW(SL::CVoxaCoder(6, {}), std::invalid_argument);
    EXPECT_THROW(SL::CVoxaCoder(6, {0}), std::invalid_argument);
    EXPECT_THROW(CVoxaFileOutputSampleIterator(6, Attribute(1), {nullptr}, {1}, {0, 100}, {}), std::invalid_argument);
}

TEST(VoxaCoding, CloneCarriesTheLastSamplesOnly) {
    SL::CVoxaCoding coding(6);
    std::vector<int16_t> group(32);
    for (size_t i = 0; i < group.size(); ++i) group[i] = static_cast<int16_t>(1000 + 37 * i);
    std::vector<uint8_t> blocks(24);
    EXPECT_EQ(coding.Encode(group, 2, {0, 1}, blocks, 2, {0, 1}), 2);
    std::unique_ptr<SL::CVoxaCoding> copy(coding.Clone());
    EXPECT_EQ(copy->GetLastSample(0), coding.GetLastSample(0));
    EXPECT_EQ(copy->GetLastSample(1), coding.GetLastSample(1));

    std::vector<uint8_t> again(24);
    std::vector<uint8_t> fromCopy(24);
    coding.Encode(group, 2, {0, 1}, again, 2, {1, 0});  // slots swapped
    copy->Encode(group, 2, {0, 1}, fromCopy, 2, {0, 1});
    EXPECT_EQ(Bytes(again.begin(), again.begin() + 12), Bytes(fromCopy.begin() + 12, fromCopy.end()));
    EXPECT_EQ(Bytes(again.begin() + 12, again.end()), Bytes(fromCopy.begin(), fromCopy.begin() + 12));
}

TEST(VoxaCoding, ChannelOrSlotOutsideTheBuffersIsRefused) {
    SL::CVoxaCoding coding(6);
    std::vector<int16_t> group(32);
    std::vector<uint8_t> blocks(24);
    EXPECT_THROW(coding.Encode(group, 2, {0, 2}, blocks, 2, {0, 1}), std::out_of_range);
    EXPECT_THROW(coding.Encode(group, 2, {0, 1}, blocks, 2, {0, 2}), std::out_of_range);
    EXPECT_THROW(coding.Decode(blocks, 2, {0, 1}, group, 2, {-1, 1}), std::out_of_range);
    std::vector<uint8_t> tooSmall(10);
    EXPECT_THROW(coding.Decode(tooSmall, 1, {0}, group, 2, {0}), std::out_of_range);
}

}  // namespace
