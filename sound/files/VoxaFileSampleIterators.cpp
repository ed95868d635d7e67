#include "sound/files/VoxaFileSampleIterators.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace SL {

namespace {

// The streams must match their channel counts one to one and add up to the attribute's channels.
template <typename Stream>
void RequireStreams(const CSampleAttribute& attribute, const std::vector<boost::shared_ptr<Stream>>& streams,
                    const std::vector<int>& streamChannels, int coderChannels) {
    if (attribute.GetChannelCount() < 1) throw std::invalid_argument("Voxa stream needs at least one channel");
    if (streams.size() != streamChannels.size()) throw std::invalid_argument("Voxa streams and channel counts differ");
    for (const auto& stream : streams)
        if (!stream) throw std::invalid_argument("Voxa stream missing");
    if (coderChannels != attribute.GetChannelCount())
        throw std::invalid_argument("Voxa stream channels do not add up to the attribute's channels");
}

}  // namespace

CVoxaFileOutputSampleIterator::CVoxaFileOutputSampleIterator(
    int mode, const CSampleAttribute& attribute, const std::vector<boost::shared_ptr<std::ostream>>& streams,
    const std::vector<int>& streamChannels, CDataRange range, FinishCallback finish)
    : m_attribute(attribute),
      m_streams(streams),
      m_streamChannels(streamChannels),
      m_offset(range.offset),
      m_limit(range.limit),
      m_finish(std::move(finish)),
      m_position(range.offset),
      m_groupValues(0),
      m_coder(mode, streamChannels) {
    RequireStreams(attribute, streams, streamChannels, m_coder.GetChannelCount());
    m_groupValues = m_coder.GetChannelCount() * CVoxaCoder::kGroupFrames;
    for (const auto& stream : m_streams) {
        stream->clear();
        stream->seekp(m_offset, std::ios::beg);  // a failed seek leaves the stream failed
    }
}

bool CVoxaFileOutputSampleIterator::HasNext() const { return m_good && !m_padded && m_position <= m_limit; }

void CVoxaFileOutputSampleIterator::Set(const int16_t& value) {
    m_coder.GetGroupBuffer()[static_cast<size_t>(m_phase)] = value;
}

void CVoxaFileOutputSampleIterator::Next() {
    if (m_padded) {
        // The last group went out padded: a later value has no place in the stream.
        m_good = false;
        return;
    }
    ++m_counter;
    if (++m_phase == m_groupValues) {
        m_phase = 0;
        if (!WriteGroup()) m_good = false;
    }
}

size_t CVoxaFileOutputSampleIterator::Write(const int16_t* values, size_t count) {
    size_t done = 0;
    std::vector<int16_t>& group = m_coder.GetGroupBuffer();
    // HasNext changes only when a group is written, so it is asked once per group.
    while (done < count && HasNext()) {
        const size_t n = std::min(count - done, static_cast<size_t>(m_groupValues - m_phase));
        std::copy(values + done, values + done + n, group.begin() + m_phase);
        done += n;
        m_counter += static_cast<int64_t>(n);
        m_phase += static_cast<int>(n);
        if (m_phase == m_groupValues) {
            m_phase = 0;
            if (!WriteGroup()) m_good = false;
        }
    }
    return done;
}

size_t CVoxaFileOutputSampleIterator::Room() const {
    constexpr int64_t kMostRoom = 1 << 20;
    if (!HasNext()) return 0;
    int64_t groupBytes = 0;
    for (size_t s = 0; s < m_streams.size(); ++s)
        groupBytes += static_cast<int64_t>(2 * m_coder.GetMode() * m_streamChannels[s]);
    // The current group is taken whole; each further one while the position stays in bounds.
    const int64_t furtherGroups = (m_limit - m_position) / groupBytes;
    const int64_t room = (m_groupValues - m_phase) + std::min(furtherGroups, kMostRoom) * m_groupValues;
    return static_cast<size_t>(std::min(room, kMostRoom));
}

bool CVoxaFileOutputSampleIterator::WriteGroup() {
    const std::vector<int16_t>& group = m_coder.GetGroupBuffer();
    const int channels = m_coder.GetChannelCount();
    for (size_t s = 0; s < m_streams.size(); ++s) {
        std::vector<uint8_t>& blocks = m_coder.GetBlockBuffer(s);
        m_coder.GetCoding().Encode(group, channels, m_coder.GetChannelNumbers(s), blocks, m_streamChannels[s],
                                   m_coder.GetSlots(s));
        std::ostream& out = *m_streams[s];
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(blocks.data()), static_cast<std::streamsize>(blocks.size()));
        if (!out) return false;
        m_position += static_cast<int64_t>(blocks.size());
    }
    return true;
}

bool CVoxaFileOutputSampleIterator::Flush() {
    bool ok = m_good;
    const int pending = m_phase;
    if (pending != 0 && !m_padded) {
        std::vector<int16_t>& group = m_coder.GetGroupBuffer();
        std::fill(group.begin() + pending, group.end(), int16_t(0));
        m_padded = true;
        if (!WriteGroup()) {
            m_good = false;
            ok = false;
        }
    }
    for (const auto& stream : m_streams) {
        if (*stream) stream->flush();
        if (!*stream) ok = false;
    }
    return ok;
}

bool CVoxaFileOutputSampleIterator::Finish() {
    for (size_t i = 0; i < m_streams.size(); ++i) {
        if (!m_finish(*this)) return false;
    }
    return true;
}

CVoxaFileInputSampleIterator::CVoxaFileInputSampleIterator(int mode, const CSampleAttribute& attribute,
                                                           const std::vector<int>& streamChannels,
                                                           const std::vector<boost::shared_ptr<std::istream>>& streams,
                                                           int64_t dataOffset)
    : m_attribute(attribute),
      m_streams(streams),
      m_streamChannels(streamChannels),
      m_offset(dataOffset),
      m_total(0),
      m_groupValues(0),
      m_coder(mode, streamChannels),
      m_decoder(mode),
      m_group(m_coder.GetGroupBuffer().data()),
      m_groupEnd(m_group + m_coder.GetGroupBuffer().size()),
      m_current(m_groupEnd - 1) {
    RequireStreams(attribute, streams, streamChannels, m_coder.GetChannelCount());
    if (attribute.GetFrames() < 0) throw std::invalid_argument("Voxa stream with a negative frame count");
    m_groupValues = m_coder.GetChannelCount() * CVoxaCoder::kGroupFrames;
    m_total = static_cast<int64_t>(attribute.GetChannelCount()) * attribute.GetFrames();
    m_lastSamples.assign(static_cast<size_t>(m_coder.GetChannelCount()), 0);
    // About 32 KB of each stream is read at once.
    constexpr size_t kReadAhead = 32 * 1024;
    int firstChannel = 0;
    for (int channels : streamChannels) {
        CStreamBuffer buffer;
        buffer.groupBytes = static_cast<size_t>(2 * mode * channels);
        buffer.bytes.resize(std::max<size_t>(1, kReadAhead / buffer.groupBytes) * buffer.groupBytes);
        buffer.firstChannel = firstChannel;
        buffer.channels = channels;
        firstChannel += channels;
        m_buffers.push_back(std::move(buffer));
    }
    PositionStreams();
    Next();
}

void CVoxaFileInputSampleIterator::PositionStreams() {
    for (const auto& stream : m_streams) {
        stream->clear();
        stream->seekg(m_offset, std::ios::beg);  // a failed seek leaves the stream failed
    }
    for (CStreamBuffer& buffer : m_buffers) buffer.begin = buffer.end = 0;
}

void CVoxaFileInputSampleIterator::Next() {
    ++m_counter;
    if (++m_current == m_groupEnd) {
        m_current = m_group;
        ReadGroup(m_counter - 1);
    }
}

size_t CVoxaFileInputSampleIterator::Read(int16_t* values, size_t count) {
    size_t done = 0;
    while (done < count && HasNext()) {
        // The values of the current group up to the last of the stream.
        const int64_t inGroup = m_groupEnd - m_current;
        const int64_t left = m_total - m_counter + 1;
        const auto n =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count - done), std::min(inGroup, left)));
        std::copy(m_current, m_current + n, values + done);
        done += n;
        m_counter += static_cast<int64_t>(n);
        m_current += n;
        if (m_current == m_groupEnd) {
            m_current = m_group;
            // Whole groups that the caller still wants and that lie before the last value go
            // straight into its buffer; the group after them is the new current group.
            const auto groupValues = static_cast<size_t>(m_groupValues);
            const int64_t first = m_counter - 1;
            const auto whole =
                static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>((count - done) / groupValues),
                                                      std::max<int64_t>(0, m_total - first) / m_groupValues));
            const size_t decoded = whole > 0 && m_good ? DecodeGroups(values + done, whole) : 0;
            done += decoded * groupValues;
            m_counter += static_cast<int64_t>(decoded * groupValues);
            ReadGroup(m_counter - 1);
        }
    }
    return done;
}

size_t CVoxaFileInputSampleIterator::BufferGroups() {
    size_t groups = SIZE_MAX;
    for (size_t s = 0; s < m_buffers.size(); ++s) {
        CStreamBuffer& buffer = m_buffers[s];
        if (buffer.end - buffer.begin < buffer.groupBytes) {
            // Keeps the part of a group left, then fills the rest of the buffer.
            std::copy(buffer.bytes.begin() + static_cast<std::ptrdiff_t>(buffer.begin),
                      buffer.bytes.begin() + static_cast<std::ptrdiff_t>(buffer.end), buffer.bytes.begin());
            buffer.end -= buffer.begin;
            buffer.begin = 0;
            std::istream& in = *m_streams[s];
            if (in) {
                in.read(reinterpret_cast<char*>(buffer.bytes.data() + buffer.end),
                        static_cast<std::streamsize>(buffer.bytes.size() - buffer.end));
                buffer.end += static_cast<size_t>(in.gcount());
            }
        }
        groups = std::min(groups, (buffer.end - buffer.begin) / buffer.groupBytes);
    }
    return groups;
}

void CVoxaFileInputSampleIterator::DecodeBuffered(int16_t* values, size_t groups) {
    const ptrdiff_t channels = m_coder.GetChannelCount();
    for (CStreamBuffer& buffer : m_buffers) {
        const size_t blockBytes = buffer.groupBytes / static_cast<size_t>(buffer.channels);
        for (int c = 0; c < buffer.channels; ++c) {
            const int k = buffer.firstChannel + c;
            int32_t& last = m_lastSamples[static_cast<size_t>(k)];
            last = m_decoder.DecodeRun(buffer.bytes.data() + buffer.begin + static_cast<size_t>(c) * blockBytes,
                                       buffer.groupBytes, groups, values + k, channels, last);
        }
        buffer.begin += groups * buffer.groupBytes;
    }
}

size_t CVoxaFileInputSampleIterator::DecodeGroups(int16_t* values, size_t count) {
    size_t done = 0;
    while (done < count) {
        const size_t groups = std::min(count - done, BufferGroups());
        if (groups == 0) break;
        DecodeBuffered(values + done * static_cast<size_t>(m_groupValues), groups);
        done += groups;
    }
    return done;
}

void CVoxaFileInputSampleIterator::ReadGroup(int64_t first) {
    // A group past the last value is never read: the data may end right before it.
    if (first >= m_total) return;
    int16_t* group = m_coder.GetGroupBuffer().data();
    if (BufferGroups() == 0) {
        // Short data: the group's values are not the file's, so the stream is no longer good.
        // What there is decodes with zeros for the missing bytes.
        m_good = false;
        for (CStreamBuffer& buffer : m_buffers) {
            const size_t groupEnd = buffer.begin + buffer.groupBytes;
            if (buffer.end < groupEnd)
                std::fill(buffer.bytes.begin() + static_cast<std::ptrdiff_t>(buffer.end),
                          buffer.bytes.begin() + static_cast<std::ptrdiff_t>(groupEnd), uint8_t(0));
        }
    }
    DecodeBuffered(group, 1);
    for (CStreamBuffer& buffer : m_buffers) buffer.end = std::max(buffer.end, buffer.begin);
}

void CVoxaFileInputSampleIterator::SetLocation(int frame) {
    const int frames = m_attribute.GetFrames();
    frame = std::max(0, std::min(frame, frames));
    std::fill(m_lastSamples.begin(), m_lastSamples.end(), 0);
    m_good = true;
    PositionStreams();
    const int64_t target = static_cast<int64_t>(frame) * m_attribute.GetChannelCount();
    for (int64_t first = 0; first <= target; first += m_groupValues) ReadGroup(first);
    m_counter = target + 1;
    m_current = m_group + target % m_groupValues;
}

}  // namespace SL
