// Sample iterators that stream the samples of a WAV or AIFF file in place, one value at a time
// for the caller, in large blocks for the file.
#pragma once

#include "sound/files/FileSampleBufferFactory.h"
#include "sound/files/SampleEndianConverter.h"
#include "sound/model/SampleIterator.h"

#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace SL {

// Values moved between a file and an iterator at once.
constexpr int64_t kSampleBlockValues = 1 << 15;

// Reads the values of a data range in file order. A value that the range holds but the file
// cannot deliver (a truncated file, a read error) ends the stream with IsGood false; it is never
// delivered. Values are given in the native byte order, whatever the file's.
template <EBitDepth F>
class CFileInputSampleIterator final : public ITypedInputSampleIterator<F> {
public:
    using Element = SampleElement<F>;
    static constexpr int WIDTH = BytesPerSample(F);

    // Positioned on the first value: the first block is read here. The attribute needs at least
    // one channel.
    CFileInputSampleIterator(const CSampleAttribute& attribute, boost::shared_ptr<std::istream> stream,
                             const CSampleDataRange& range)
        : m_attribute(attribute),
          m_stream(std::move(stream)),
          m_range(range),
          m_converter(attribute.GetByteOrder()),
          m_blockValues(BlockValues(range)),
          m_bytes(static_cast<size_t>(m_blockValues * WIDTH + CSampleEndianConverter<F>::DECODE_PADDING)),
          m_values(static_cast<size_t>(m_blockValues)),
          m_frameBytes(int64_t{WIDTH} * std::max(attribute.GetChannelCount(), 1)) {
        m_attribute.SetByteOrder(GT::kNativeByteOrder);
        m_stream->clear();
        Load(m_range.first);
    }
    CFileInputSampleIterator(const CFileInputSampleIterator&) = delete;
    CFileInputSampleIterator& operator=(const CFileInputSampleIterator&) = delete;

    bool HasNext() const override { return m_cursor < m_loaded; }
    void Next() override {
        if (++m_cursor >= m_loaded) Load(Offset());
    }
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    bool IsGood() const override { return m_good; }
    int64_t ToSourceCount(int64_t count) const override { return count; }
    Element Get() const override { return *m_cursor; }

    // A frame before the first counts as the first; one at or beyond the end leaves no value.
    void SetLocation(int frame) override {
        const int64_t target = m_range.first + m_frameBytes * std::max(frame, 0);
        const int64_t index = (target - m_blockStart) / WIDTH;
        if (target >= m_blockStart && index < m_loaded - m_values.data())
            m_cursor = m_values.data() + index;
        else
            Load(target);
    }
    int GetLocation() const override { return static_cast<int>((Offset() - m_range.first) / m_frameBytes); }
    int OffsetLocation(int n) const override { return n + GetLocation(); }

    // What count rounds of HasNext, Get and Next give, in one call: up to count values into
    // values; answers how many.
    size_t Read(Element* values, size_t count) override {
        size_t done = 0;
        while (done < count && m_cursor < m_loaded) {
            const size_t n = std::min(count - done, static_cast<size_t>(m_loaded - m_cursor));
            std::copy(m_cursor, m_cursor + n, values + done);
            done += n;
            m_cursor += n;
            if (m_cursor == m_loaded) Load(Offset());
        }
        return done;
    }

private:
    // A block, or the whole range when that is shorter: a short file needs no large buffers.
    static int64_t BlockValues(const CSampleDataRange& range) {
        return std::max<int64_t>(1, std::min(kSampleBlockValues, (range.end - range.first) / WIDTH));
    }

    // File offset of the current value.
    int64_t Offset() const { return m_blockStart + (m_cursor - m_values.data()) * WIDTH; }

    // Reads the block that starts at the given offset, never past the range's end. After a
    // failure nothing more is read. Kept out of line so that Next stays small.
    __attribute__((noinline)) void Load(int64_t offset) {
        m_blockStart = offset;
        m_cursor = m_values.data();
        m_loaded = m_cursor;
        const int64_t wanted = std::min<int64_t>(m_blockValues * WIDTH, m_range.end - offset);
        if (wanted < WIDTH || !m_good) return;  // the range holds no further whole value, or the file failed before
        // Values whose file bytes are their memory bytes are read in place.
        const bool plain = m_converter.IsPlainCopy();
        char* target = plain ? reinterpret_cast<char*>(m_values.data()) : reinterpret_cast<char*>(m_bytes.data());
        if (!m_stream->seekg(offset).read(target, wanted)) {
            // Deliver the whole values that came; the value that did not ends the stream.
            m_good = false;
        }
        const auto count = static_cast<size_t>(m_stream->gcount() / WIDTH);
        if (!plain) m_converter.DecodeBlock(m_bytes.data(), m_values.data(), count);
        m_loaded = m_values.data() + count;
    }

    CSampleAttribute m_attribute;
    boost::shared_ptr<std::istream> m_stream;
    CSampleDataRange m_range;
    CSampleEndianConverter<F> m_converter;
    int64_t m_blockValues;
    std::vector<std::uint8_t> m_bytes;
    std::vector<Element> m_values;
    int64_t m_frameBytes;
    int64_t m_blockStart = 0;
    const Element* m_cursor = nullptr;  // the current value
    const Element* m_loaded = nullptr;  // just after the last value read
    bool m_good = true;
};

// Writes values from the range's first offset on; the file's header is written by Finish. A
// value may start at any offset up to the limit; one passed beyond it, or after a failed write,
// is not written and clears the good flag.
template <EBitDepth F>
class CFileOutputSampleIterator final : public ITypedOutputSampleIterator<F> {
public:
    using Element = SampleElement<F>;
    static constexpr int WIDTH = BytesPerSample(F);
    typedef IFileSampleBufferFactory::FinishFunction FinishFunction;

    // range: {first sample offset, limit}.
    CFileOutputSampleIterator(const CSampleAttribute& attribute, boost::shared_ptr<std::ostream> stream,
                              const CSampleDataRange& range, FinishFunction finish)
        : m_attribute(attribute),
          m_stream(std::move(stream)),
          m_range(range),
          m_finish(std::move(finish)),
          m_position(range.first),
          m_converter(attribute.GetByteOrder()),
          m_values(static_cast<size_t>(kSampleBlockValues)),
          m_bytes(static_cast<size_t>(kSampleBlockValues * WIDTH)),
          m_blockStart(range.first) {
        m_attribute.SetByteOrder(GT::kNativeByteOrder);
        m_stream->clear();
        m_stream->seekp(m_range.first);
        m_cursor = m_values.data();
    }
    CFileOutputSampleIterator(const CFileOutputSampleIterator&) = delete;
    CFileOutputSampleIterator& operator=(const CFileOutputSampleIterator&) = delete;
    // Values not yet passed to the file are written; the header is not.
    ~CFileOutputSampleIterator() override { Flush(); }

    bool HasNext() const override { return m_good && m_position <= m_range.end; }
    // Beyond the limit nothing is written and the stream is no longer good; Finish still
    // writes the header of the values written before.
    void Next() override {
        if (m_position > m_range.end) {
            m_good = false;
            return;
        }
        *m_cursor = m_pending;
        m_position += WIDTH;
        if (++m_cursor == m_values.data() + m_values.size()) Flush();
    }
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    bool IsGood() const override { return m_good; }
    int64_t ToSourceCount(int64_t count) const override { return count; }
    // The value that the next Next writes.
    void Set(const Element& value) override { m_pending = value; }

    // Values are written in order only.
    void SetLocation(int) override {}
    int GetLocation() const override { return 0; }
    int OffsetLocation(int) const override { return 0; }

    // What count rounds of HasNext, Set and Next do, in one call: writes values while
    // HasNext answers true; answers how many.
    size_t Write(const Element* values, size_t count) {
        size_t done = 0;
        while (done < count) {
            const size_t n = std::min(count - done, Room());
            if (n == 0) break;
            std::copy(values + done, values + done + n, m_cursor);
            m_pending = values[done + n - 1];
            done += n;
            m_cursor += n;
            m_position += static_cast<int64_t>(n) * WIDTH;
            if (m_cursor == m_values.data() + m_values.size()) Flush();
        }
        return done;
    }

    // Values that Write takes before the limit or its next pass to the file, whichever comes
    // first; 0 once HasNext answers false. A copy that writes no more than this per call stops
    // where the value-by-value loop stops, also when a write to the file fails.
    size_t Room() const {
        if (!HasNext()) return 0;
        return static_cast<size_t>(
            std::min<int64_t>((m_range.end - m_position) / WIDTH + 1, m_values.data() + m_values.size() - m_cursor));
    }

    // Passes the values written so far to the file, then the header for them; true when the
    // file took both.
    bool Finish() {
        if (!Flush()) return false;
        const bool written = m_finish(m_attribute, m_stream, CSampleDataRange{m_range.first, m_position});
        return m_stream->flush().good() && written;
    }

    // Offset just after the last value written.
    int64_t GetPosition() const { return m_position; }

private:
    // Writes the pending block at its own offset (the header writer moves the put position).
    // Once a write failed nothing more is written.
    bool Flush() {
        const auto count = static_cast<size_t>(m_cursor - m_values.data());
        if (count > 0 && !m_writeFailed) {
            // Values whose memory bytes are their file bytes are written in place.
            const char* bytes = reinterpret_cast<const char*>(m_values.data());
            if (!m_converter.IsPlainCopy()) {
                m_converter.EncodeBlock(m_values.data(), m_bytes.data(), count);
                bytes = reinterpret_cast<const char*>(m_bytes.data());
            }
            m_stream->seekp(m_blockStart);
            m_stream->write(bytes, static_cast<std::streamsize>(count * WIDTH));
            m_writeFailed = m_stream->fail();
        }
        m_blockStart += static_cast<int64_t>(count * WIDTH);
        m_cursor = m_values.data();
        if (m_writeFailed) m_good = false;
        return !m_writeFailed;
    }

    CSampleAttribute m_attribute;
    boost::shared_ptr<std::ostream> m_stream;
    CSampleDataRange m_range;
    FinishFunction m_finish;
    int64_t m_position;
    Element m_pending = Element();
    CSampleEndianConverter<F> m_converter;
    std::vector<Element> m_values;
    std::vector<std::uint8_t> m_bytes;
    int64_t m_blockStart;
    Element* m_cursor;
    bool m_good = true;
    bool m_writeFailed = false;
};

// Opens files as sample streams.
class CFileSampleIteratorFactory {
public:
    CFileSampleIteratorFactory();

    // The iterator of the file's own sample format, on its first value; empty when the path
    // is not a readable WAV or AIFF file of one of the seven file formats.
    boost::shared_ptr<IInputSampleIterator> CreateInputIterator(const std::string& path) const;
    // Creates (truncates) the file and answers the CFileOutputSampleIterator of the attribute's
    // format; the attribute's frame count is the number of frames to come, 0 when unknown.
    // Empty when the file cannot be created or the format cannot hold the samples.
    boost::shared_ptr<IOutputSampleIterator> CreateOutputIterator(const CSampleAttribute& attribute,
                                                                  const std::string& path,
                                                                  const CWaveFileFormat& format) const;

    static boost::shared_ptr<IInputSampleIterator> CreateInputIteratorFromSource(
        const IFileSampleBufferFactory::CInputSource& source);
    static boost::shared_ptr<IOutputSampleIterator> CreateOutputIteratorFromSink(
        const IFileSampleBufferFactory::COutputSource& sink);

private:
    boost::shared_ptr<CFileSampleBufferFactory> m_factory;
};

}  // namespace SL
