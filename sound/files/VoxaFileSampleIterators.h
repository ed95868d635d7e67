// Sample iterators over Voxa-coded byte streams: interleaved 16-bit values in and out,
// one group of 16 frames coded or decoded at a time. The Voxa file container handles
// the header and hands over streams positioned by data offset.
#pragma once

#include "sound/files/VoxaCoding.h"
#include "sound/model/SampleIterator.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <istream>
#include <ostream>
#include <vector>

namespace SL {

class CVoxaFileOutputSampleIterator : public ITypedOutputSampleIterator<EBitDepth::INTEGER16> {
public:
    using FinishCallback = boost::function<bool(CVoxaFileOutputSampleIterator&)>;
    struct CDataRange {
        int64_t offset;  // where the coded data starts in every stream
        int64_t limit;   // the byte position past which no more values are taken
    };

    // streamChannels[i] is the channel count of streams[i]; they add up to the attribute's channel
    // count. Throws std::invalid_argument for a mode outside 4..8, a channel count below 1, a
    // missing stream or counts that do not add up.
    CVoxaFileOutputSampleIterator(int mode, const CSampleAttribute& attribute,
                                  const std::vector<boost::shared_ptr<std::ostream>>& streams,
                                  const std::vector<int>& streamChannels, CDataRange range, FinishCallback finish);
    CVoxaFileOutputSampleIterator(const CVoxaFileOutputSampleIterator&) = delete;
    CVoxaFileOutputSampleIterator& operator=(const CVoxaFileOutputSampleIterator&) = delete;

    bool HasNext() const override;
    void Next() override;
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    bool IsGood() const override { return m_good; }
    int64_t ToSourceCount(int64_t count) const override { return count; }
    void Set(const int16_t& value) override;
    // Output streams cannot be positioned.
    void SetLocation(int) override {}
    int GetLocation() const override { return 0; }
    int OffsetLocation(int) const override { return 0; }

    // What count rounds of HasNext, Set and Next do, in one call: takes values while HasNext
    // answers true; answers how many.
    size_t Write(const int16_t* values, size_t count);
    // Values that Write takes before HasNext can turn false (the limit, or the end of a padded
    // stream), at most a million; a failed group write can still stop it earlier.
    size_t Room() const;

    // Pads and writes a pending partial group, then flushes every stream. A padded group ends
    // the stream: it is written once, and a value passed after it clears the good flag.
    bool Flush();
    // Runs the finish callback once per stream; false at the first false answer.
    // Throws boost::bad_function_call when there is no callback.
    bool Finish();

private:
    bool WriteGroup();

    CSampleAttribute m_attribute;
    std::vector<boost::shared_ptr<std::ostream>> m_streams;
    std::vector<int> m_streamChannels;
    int64_t m_offset;
    int64_t m_limit;
    FinishCallback m_finish;
    int64_t m_position;
    int64_t m_counter = 0;
    int m_groupValues;
    int m_phase = 0;  // m_counter modulo the group's values
    CVoxaCoder m_coder;
    bool m_good = true;
    bool m_padded = false;  // a partial group was padded and written
};

class CVoxaFileInputSampleIterator : public ITypedInputSampleIterator<EBitDepth::INTEGER16> {
public:
    // The attribute's channel count times its frame count is the number of values. Throws
    // std::invalid_argument like the output iterator.
    CVoxaFileInputSampleIterator(int mode, const CSampleAttribute& attribute, const std::vector<int>& streamChannels,
                                 const std::vector<boost::shared_ptr<std::istream>>& streams, int64_t dataOffset);
    CVoxaFileInputSampleIterator(const CVoxaFileInputSampleIterator&) = delete;
    CVoxaFileInputSampleIterator& operator=(const CVoxaFileInputSampleIterator&) = delete;

    bool HasNext() const override { return m_good && m_counter <= m_total; }
    void Next() override;
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    bool IsGood() const override { return m_good; }
    int64_t ToSourceCount(int64_t count) const override { return count; }
    int16_t Get() const override { return *m_current; }
    // What count rounds of HasNext, Get and Next give, a group at a time.
    size_t Read(int16_t* values, size_t count) override;
    // Decodes again from the start up to the frame's group (every block depends on the one
    // before); frames outside 0 .. frame count are clamped.
    void SetLocation(int frame) override;
    int GetLocation() const override { return static_cast<int>((m_counter - 1) / m_attribute.GetChannelCount()); }
    int OffsetLocation(int n) const override { return n + GetLocation(); }

private:
    // The coded bytes of one stream, read ahead many groups at a time.
    struct CStreamBuffer {
        std::vector<uint8_t> bytes;
        size_t begin = 0;  // the next group's first byte
        size_t end = 0;    // past the last byte read
        size_t groupBytes = 0;
        int firstChannel = 0;  // the stream's first channel across all streams
        int channels = 0;
    };

    // Reads and decodes the group whose first value has the given index into the group buffer.
    void ReadGroup(int64_t first);
    // Decodes up to count whole groups straight into values; answers how many it decoded (fewer
    // when the data runs out).
    size_t DecodeGroups(int16_t* values, size_t count);
    // Complete groups buffered in every stream, after reading more where a stream has none.
    size_t BufferGroups();
    void DecodeBuffered(int16_t* values, size_t groups);
    void PositionStreams();

    CSampleAttribute m_attribute;
    std::vector<boost::shared_ptr<std::istream>> m_streams;
    std::vector<int> m_streamChannels;
    int64_t m_offset;
    int64_t m_total;
    int64_t m_counter = 0;
    int m_groupValues;
    CVoxaCoder m_coder;
    Private::BlockDecoder m_decoder;
    std::vector<CStreamBuffer> m_buffers;
    std::vector<int32_t> m_lastSamples;  // per channel
    const int16_t* m_group;              // the coder's group buffer
    const int16_t* m_groupEnd;
    const int16_t* m_current;  // the current value in the group buffer
    bool m_good = true;
};

}  // namespace SL
