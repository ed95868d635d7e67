// SL::CopySamples against the copy loop it replaces (while the input has a value and the output
// takes one: Set, then Next on both): the same file bytes, and both iterators left in the same
// state, also when the output fills up or fails a write and when the input fails.
#include "sound/files/CopySamples.h"

#include "sound/files/FileSampleIterators.h"
#include "sound/model/BitDepthConvertDecorator.h"
#include "sound/model/StereoDecorator.h"
#include "tests/support/VectorSampleSource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using SL::CBitDepth;
using SL::EBitDepth;

// Room for a WAV header, then keeps what is written until capacity bytes have been taken in
// all; refuses every write after.
class LimitedBuffer : public std::stringbuf {
public:
    explicit LimitedBuffer(std::streamsize capacity) : std::stringbuf(std::string(46, '\0')), m_capacity(capacity) {}

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        if (m_taken + count > m_capacity) return 0;
        m_taken += count;
        return std::stringbuf::xsputn(bytes, count);
    }

private:
    std::streamsize m_capacity;
    std::streamsize m_taken = 0;
};

using Output = SL::CFileOutputSampleIterator<EBitDepth::INTEGER16>;
using Input = SL::ITypedInputSampleIterator<EBitDepth::INTEGER16>;

struct Copy {
    int64_t copied = 0;
    bool finished = false;
    std::string bytes;
    // The input's state afterwards.
    bool inputHasNext = false;
    bool inputGood = false;
    int inputLocation = 0;
    int16_t inputValue = 0;
    // The output's state afterwards.
    bool outputGood = false;
    int64_t outputPosition = 0;
};

struct Case {
    const char* what;
    int monoValues;
    size_t inputFailsAfter;          // 0: never
    int64_t outputLimitValues;       // values the output takes before its limit
    std::streamsize outputCapacity;  // bytes the stream takes
    int64_t copied;                  // what the value loop copies
};

// Mono 8-bit values through the importer's chain into a 16-bit stereo WAV layout in memory.
Copy CopyThrough(const Case& c, bool blocks) {
    std::vector<uint8_t> values;
    for (int i = 0; i < c.monoValues; ++i) values.push_back(static_cast<uint8_t>(i * 37));
    auto source = gbxtest::MakeVectorSource<EBitDepth::INTEGER8>(values);
    if (c.inputFailsAfter > 0) source->FailAfter(c.inputFailsAfter);
    const auto input = boost::dynamic_pointer_cast<Input>(SL::CreateBitDepthConvertDecorator(
        CBitDepth::INTEGER8, CBitDepth::INTEGER16, SL::CreateStereoDecorator(CBitDepth::INTEGER8, source)));

    LimitedBuffer buffer(c.outputCapacity);
    const auto stream = boost::make_shared<std::ostream>(&buffer);
    const SL::CSampleAttribute attribute = input->GetSampleAttribute();
    const auto sink = SL::CFileSampleBufferFactory().CreateWaveSink(attribute, stream);
    Output output(attribute, stream, {46, 46 + 2 * (c.outputLimitValues - 1)}, sink->finish);

    Copy result;
    const auto copyOne = [&] {
        output.Set(input->Get());
        input->Next();
        output.Next();
        ++result.copied;
    };
    // A few values by value first, so that the output's blocks do not line up with the copy's.
    for (int i = 0; i < 3 && input->HasNext() && output.HasNext(); ++i) copyOne();
    if (blocks) {
        result.copied += SL::CopySamples(*input, output);
    } else {
        while (input->HasNext() && output.HasNext()) copyOne();
    }
    result.inputHasNext = input->HasNext();
    result.inputGood = input->IsGood();
    result.inputLocation = input->GetLocation();
    result.inputValue = input->HasNext() ? input->Get() : 0;
    result.outputGood = output.IsGood();
    result.outputPosition = output.GetPosition();
    result.finished = output.Finish();
    result.bytes = buffer.str();
    return result;
}

TEST(CopySamples, LeavesFileAndIteratorsAsTheValueLoopDoes) {
    const Case cases[] = {
        {"no values", 0, 0, 1000, 1 << 20, 0},
        {"odd count within the limit", 40001, 0, 100000, 1 << 20, 80002},
        {"input fails mid-stream", 40001, 20001, 100000, 1 << 20, 40002},
        {"output fills up", 40001, 0, 70001, 1 << 20, 70001},
        {"output takes exactly all", 40001, 0, 80002, 1 << 20, 80002},
        // The second block of 32768 values does not fit: the value that fills it is the last.
        {"output write fails", 40001, 0, 100000, 100000, 65536},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Copy values = CopyThrough(c, false);
        const Copy blocks = CopyThrough(c, true);
        EXPECT_EQ(c.copied, values.copied);
        EXPECT_EQ(values.copied, blocks.copied);
        EXPECT_EQ(values.inputHasNext, blocks.inputHasNext);
        EXPECT_EQ(values.inputGood, blocks.inputGood);
        EXPECT_EQ(values.inputLocation, blocks.inputLocation);
        EXPECT_EQ(values.inputValue, blocks.inputValue);
        EXPECT_EQ(values.outputGood, blocks.outputGood);
        EXPECT_EQ(values.outputPosition, blocks.outputPosition);
        EXPECT_EQ(values.finished, blocks.finished);
        EXPECT_TRUE(values.bytes == blocks.bytes);
    }
}

}  // namespace
