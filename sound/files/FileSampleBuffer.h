// Random-access views of the samples of a WAV or AIFF file: typed iterators that read or write
// the values in place, over all channels or a chosen subset, from any frame.
#pragma once

#include "sound/files/FileSampleBufferFactory.h"
#include "sound/files/SampleEndianConverter.h"
#include "sound/model/Entity.h"

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <istream>
#include <ostream>
#include <stdexcept>
#include <typeinfo>
#include <utility>
#include <vector>

namespace SL {

class ISampleBuffer {
public:
    virtual ~ISampleBuffer() = default;
    virtual const CSampleAttribute& GetSampleAttribute() const = 0;
    // The largest magnitude of each channel's values in the format's own units (unsigned 8-bit
    // values as stored); whole frames only.
    virtual std::vector<double> GetPeaks() = 0;
};

// A byte position in a file with a cache of the one value there. Moving costs nothing; the
// file is touched when the value is read or written.
class ISampleLocator : public CObject {
public:
    ISampleLocator* Clone() const override = 0;
    // The cache: the value's file bytes.
    virtual std::uint8_t* GetSample() = 0;
    virtual void Advance(int64_t distance) = 0;
    // Throws std::bad_cast for a locator of another class.
    virtual bool IsSamePosition(const ISampleLocator& other) const = 0;

protected:
    ISampleLocator() = default;
    ISampleLocator(const ISampleLocator&) = default;
};

// The byte distances from one visited value to the next.
template <int N>
class ISampleIncrementer : public CObject {
public:
    ISampleIncrementer* Clone() const override = 0;
    // Offset, within a frame, of the first visited value.
    virtual int64_t GetFirstOffset() const = 0;
    virtual int64_t NextStep() = 0;

protected:
    ISampleIncrementer() = default;
    ISampleIncrementer(const ISampleIncrementer&) = default;
};

// Every channel of every frame, in file order.
template <int N>
class CLinearSampleIncrementer final : public ISampleIncrementer<N> {
public:
    CLinearSampleIncrementer() = default;
    CLinearSampleIncrementer* Clone() const override { return new CLinearSampleIncrementer(*this); }
    int64_t GetFirstOffset() const override { return 0; }
    int64_t NextStep() override { return N; }
};

// The chosen channels of every frame, in the order chosen; the steps of one round add up to a
// frame.
template <int N>
class CSampleIncrementer final : public ISampleIncrementer<N> {
public:
    // Throws std::out_of_range for an empty selection or an index outside 0 .. channels - 1.
    CSampleIncrementer(int channels, const std::vector<int>& selection) {
        if (selection.empty()) throw std::out_of_range("a channel selection needs a channel");
        for (int channel : selection)
            if (channel < 0 || channel >= channels) throw std::out_of_range("a selected channel is outside the stream");
        m_firstOffset = int64_t{selection[0]} * N;
        for (size_t i = 1; i < selection.size(); ++i) m_steps.push_back(int64_t{selection[i] - selection[i - 1]} * N);
        m_steps.push_back(int64_t{channels - selection.back()} * N + m_firstOffset);
    }
    CSampleIncrementer* Clone() const override { return new CSampleIncrementer(*this); }
    int64_t GetFirstOffset() const override { return m_firstOffset; }
    int64_t NextStep() override {
        const int64_t step = m_steps[m_cursor];
        m_cursor = m_cursor + 1 == m_steps.size() ? 0 : m_cursor + 1;
        return step;
    }
    const std::vector<int64_t>& GetSteps() const { return m_steps; }

private:
    int64_t m_firstOffset = 0;
    std::vector<int64_t> m_steps;
    size_t m_cursor = 0;
};

// Reads the value at its position once, when first asked.
template <EBitDepth F>
class CInputFileSampleLocator final : public ISampleLocator {
public:
    static constexpr int WIDTH = BytesPerSample(F);

    CInputFileSampleLocator(boost::shared_ptr<std::istream> stream, int64_t position)
        : m_stream(std::move(stream)), m_position(position) {
        m_stream->clear();
    }
    CInputFileSampleLocator* Clone() const override { return new CInputFileSampleLocator(*this); }
    std::uint8_t* GetSample() override {
        if (!m_loaded) {
            m_stream->seekg(m_position);
            m_stream->read(reinterpret_cast<char*>(m_cache), WIDTH);
            m_loaded = true;
        }
        return m_cache;
    }
    void Advance(int64_t distance) override {
        m_position += distance;
        m_loaded = false;
    }
    bool IsSamePosition(const ISampleLocator& other) const override {
        return dynamic_cast<const CInputFileSampleLocator&>(other).m_position == m_position;
    }

private:
    CInputFileSampleLocator(const CInputFileSampleLocator&) = default;

    boost::shared_ptr<std::istream> m_stream;
    int64_t m_position;
    std::uint8_t m_cache[WIDTH] = {};
    bool m_loaded = false;
};

// Holds the value put into its cache until it moves on; a value still pending when the
// locator goes away is written then, so that no assigned value is lost.
template <EBitDepth F>
class COutputFileSampleLocator final : public ISampleLocator {
public:
    static constexpr int WIDTH = BytesPerSample(F);

    COutputFileSampleLocator(boost::shared_ptr<std::ostream> stream, int64_t position)
        : m_stream(std::move(stream)), m_position(position) {
        m_stream->clear();
    }
    ~COutputFileSampleLocator() override { WritePending(); }
    COutputFileSampleLocator* Clone() const override { return new COutputFileSampleLocator(*this); }
    // From here on the position counts the pending value.
    std::uint8_t* GetSample() override {
        if (!m_pending) {
            m_position += WIDTH;
            m_pending = true;
        }
        return m_cache;
    }
    void Advance(int64_t distance) override {
        if (WritePending()) distance -= WIDTH;
        m_position += distance;
    }
    bool IsSamePosition(const ISampleLocator& other) const override {
        return dynamic_cast<const COutputFileSampleLocator&>(other).m_position == m_position;
    }

private:
    COutputFileSampleLocator(const COutputFileSampleLocator&) = default;

    bool WritePending() {
        if (!m_pending) return false;
        m_stream->seekp(m_position - WIDTH);
        m_stream->write(reinterpret_cast<const char*>(m_cache), WIDTH);
        m_pending = false;
        return true;
    }

    boost::shared_ptr<std::ostream> m_stream;
    int64_t m_position;
    std::uint8_t m_cache[WIDTH] = {};
    bool m_pending = false;
};

// A buffer iterator's parts; copies move independently (locator and incrementer are cloned).
template <EBitDepth F>
class CSampleBufferIteratorBase {
public:
    static constexpr int WIDTH = BytesPerSample(F);
    using Element = SampleElement<F>;

    CSampleBufferIteratorBase(const CSampleBufferIteratorBase& other)
        : m_locator(other.m_locator->Clone()),
          m_incrementer(other.m_incrementer->Clone()),
          m_converter(other.m_converter) {}
    CSampleBufferIteratorBase& operator=(const CSampleBufferIteratorBase& other) {
        if (this != &other) {
            m_locator.reset(other.m_locator->Clone());
            m_incrementer.reset(other.m_incrementer->Clone());
            m_converter = other.m_converter;
        }
        return *this;
    }
    // Positions compared; throws std::bad_cast between input and output iterators.
    bool operator==(const CSampleBufferIteratorBase& other) const {
        return m_locator->IsSamePosition(*other.m_locator);
    }
    bool operator!=(const CSampleBufferIteratorBase& other) const { return !(*this == other); }

protected:
    CSampleBufferIteratorBase(boost::shared_ptr<ISampleLocator> locator,
                              boost::shared_ptr<ISampleIncrementer<WIDTH>> incrementer, int byteOrder)
        : m_locator(std::move(locator)), m_incrementer(std::move(incrementer)), m_converter(byteOrder) {
        m_locator->Advance(m_incrementer->GetFirstOffset());
    }
    void Step() { m_locator->Advance(m_incrementer->NextStep()); }

    boost::shared_ptr<ISampleLocator> m_locator;
    boost::shared_ptr<ISampleIncrementer<WIDTH>> m_incrementer;
    CSampleEndianConverter<F> m_converter;
};

template <EBitDepth F>
class CSampleBufferInputIterator : public CSampleBufferIteratorBase<F> {
    using Base = CSampleBufferIteratorBase<F>;

public:
    using typename Base::Element;

    // Placed at position + the incrementer's first offset.
    CSampleBufferInputIterator(boost::shared_ptr<ISampleLocator> locator,
                               boost::shared_ptr<ISampleIncrementer<Base::WIDTH>> incrementer, int byteOrder)
        : Base(std::move(locator), std::move(incrementer), byteOrder) {}
    Element operator*() const { return this->m_converter.Decode(this->m_locator->GetSample()); }
    CSampleBufferInputIterator& operator++() {
        this->Step();
        return *this;
    }
    CSampleBufferInputIterator operator++(int) {
        CSampleBufferInputIterator old(*this);
        this->Step();
        return old;
    }
};

// `*it = v` puts v into the locator's cache; the file takes it when the iterator moves on or
// goes away, so `*it++ = v` writes v at the old position.
template <EBitDepth F>
class CSampleBufferOutputIterator : public CSampleBufferIteratorBase<F> {
    using Base = CSampleBufferIteratorBase<F>;

public:
    using typename Base::Element;

    class CReference {
    public:
        explicit CReference(CSampleBufferOutputIterator& iterator) : m_iterator(iterator) {}
        CReference& operator=(const Element& value) {
            m_iterator.m_converter.Encode(value, m_iterator.m_locator->GetSample());
            return *this;
        }

    private:
        CSampleBufferOutputIterator& m_iterator;
    };

    CSampleBufferOutputIterator(boost::shared_ptr<ISampleLocator> locator,
                                boost::shared_ptr<ISampleIncrementer<Base::WIDTH>> incrementer, int byteOrder)
        : Base(std::move(locator), std::move(incrementer), byteOrder) {}
    CReference operator*() { return CReference(*this); }
    CSampleBufferOutputIterator& operator++() {
        this->Step();
        return *this;
    }
    CSampleBufferOutputIterator operator++(int) {
        CSampleBufferOutputIterator old(*this);
        this->Step();
        return old;
    }
};

template <EBitDepth F>
class ITypedSampleBuffer : public ISampleBuffer {
public:
    static constexpr int WIDTH = BytesPerSample(F);
    using CInputIterator = CSampleBufferInputIterator<F>;
    using COutputIterator = CSampleBufferOutputIterator<F>;
    // Channel indexes in the order to visit, or null for all channels. A selection of as many
    // channels as the stream has means all channels in file order.
    using Selection = const std::vector<int>*;

    virtual CInputIterator BeginInput(Selection selection) = 0;
    virtual CInputIterator BeginInput() = 0;
    virtual CInputIterator EndInput(Selection selection) = 0;
    virtual CInputIterator EndInput() = 0;
    virtual CInputIterator InputAt(int32_t frame, Selection selection) = 0;
    virtual CInputIterator InputAt(int32_t frame) = 0;
    virtual COutputIterator BeginOutput(Selection selection) = 0;
    virtual COutputIterator BeginOutput() = 0;
    virtual COutputIterator EndOutput(Selection selection) = 0;
    virtual COutputIterator EndOutput() = 0;
    virtual COutputIterator OutputAt(int32_t frame, Selection selection) = 0;
    virtual COutputIterator OutputAt(int32_t frame) = 0;
    virtual CInputIterator MakeInputIterator(int64_t position, Selection selection) = 0;
    virtual COutputIterator MakeOutputIterator(int64_t position, Selection selection) = 0;
    virtual int64_t GetBeginPosition() const = 0;
    virtual int64_t GetEndPosition() const = 0;
    virtual int64_t GetDataSize() const = 0;
    // Empty when the buffer has no stream.
    virtual boost::shared_ptr<ISampleLocator> CreateLocator(int64_t position) = 0;
};

// The iterators and peaks on top of positions and locators.
template <EBitDepth F>
class ASampleBuffer : public ITypedSampleBuffer<F> {
    using Base = ITypedSampleBuffer<F>;

public:
    using typename Base::CInputIterator;
    using typename Base::COutputIterator;
    using typename Base::Selection;
    static constexpr int WIDTH = BytesPerSample(F);

    explicit ASampleBuffer(const CSampleAttribute& attribute) : m_attribute(attribute) {}

    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }

    std::vector<double> GetPeaks() override {
        const int channels = m_attribute.GetChannelCount();
        std::vector<double> peaks(static_cast<size_t>(std::max(channels, 0)), 0.0);
        if (channels < 1) return peaks;
        const int64_t frames = GetStoredDataSize() / (int64_t{WIDTH} * channels);
        CInputIterator it = BeginInput();
        for (int64_t frame = 0; frame < frames; ++frame) {
            for (double& peak : peaks) {
                const double magnitude = std::fabs(static_cast<double>(*it));
                if (magnitude > peak) peak = magnitude;
                ++it;
            }
        }
        return peaks;
    }

    CInputIterator BeginInput(Selection selection) override {
        return MakeInputIterator(this->GetBeginPosition(), selection);
    }
    CInputIterator BeginInput() override { return BeginInput(nullptr); }
    CInputIterator EndInput(Selection selection) override {
        return MakeInputIterator(this->GetEndPosition(), selection);
    }
    CInputIterator EndInput() override { return EndInput(nullptr); }
    CInputIterator InputAt(int32_t frame, Selection selection) override {
        return MakeInputIterator(FramePosition(frame), selection);
    }
    CInputIterator InputAt(int32_t frame) override { return InputAt(frame, nullptr); }
    COutputIterator BeginOutput(Selection selection) override {
        return MakeOutputIterator(this->GetBeginPosition(), selection);
    }
    COutputIterator BeginOutput() override { return BeginOutput(nullptr); }
    COutputIterator EndOutput(Selection selection) override {
        return MakeOutputIterator(this->GetEndPosition(), selection);
    }
    COutputIterator EndOutput() override { return EndOutput(nullptr); }
    COutputIterator OutputAt(int32_t frame, Selection selection) override {
        return MakeOutputIterator(FramePosition(frame), selection);
    }
    COutputIterator OutputAt(int32_t frame) override { return OutputAt(frame, nullptr); }

    // Throws std::logic_error when the buffer has no stream.
    CInputIterator MakeInputIterator(int64_t position, Selection selection) override {
        return CInputIterator(Locator(position), MakeIncrementer(selection), m_attribute.GetByteOrder());
    }
    COutputIterator MakeOutputIterator(int64_t position, Selection selection) override {
        return COutputIterator(Locator(position), MakeIncrementer(selection), m_attribute.GetByteOrder());
    }

protected:
    // The data bytes that the store really holds from the first sample on: no more than the
    // data size, and less when a damaged file states a size beyond its end, so that the peaks
    // walk only values that can be read.
    virtual int64_t GetStoredDataSize() const { return this->GetDataSize(); }

private:
    int64_t FramePosition(int32_t frame) const {
        return this->GetBeginPosition() + int64_t{WIDTH} * m_attribute.GetChannelCount() * frame;
    }
    boost::shared_ptr<ISampleLocator> Locator(int64_t position) {
        auto locator = this->CreateLocator(position);
        if (!locator) throw std::logic_error("a sample buffer without a stream has no iterators");
        return locator;
    }
    boost::shared_ptr<ISampleIncrementer<WIDTH>> MakeIncrementer(Selection selection) const {
        if (selection && static_cast<int64_t>(selection->size()) != m_attribute.GetChannelCount())
            return boost::shared_ptr<ISampleIncrementer<WIDTH>>(
                new CSampleIncrementer<WIDTH>(m_attribute.GetChannelCount(), *selection));
        return boost::shared_ptr<ISampleIncrementer<WIDTH>>(new CLinearSampleIncrementer<WIDTH>());
    }

    CSampleAttribute m_attribute;
};

class IFileSampleBufferMixin {
public:
    virtual ~IFileSampleBufferMixin() = default;
    virtual const CWaveFileFormat& GetFileFormat() const = 0;
    // Writes the header for the data up to the stream's write position; false for an input
    // buffer.
    virtual bool Finish() = 0;
    virtual boost::shared_ptr<std::istream> GetInputStream() const = 0;
    virtual boost::shared_ptr<std::ostream> GetOutputStream() const = 0;
    virtual const CSampleDataRange& GetDataRange() const = 0;
};

// The attribute keeps the file's byte order (1 WAV, 0 AIFF).
template <EBitDepth F>
class CFileSampleBuffer final : public ASampleBuffer<F>, public IFileSampleBufferMixin {
public:
    // An input buffer.
    explicit CFileSampleBuffer(const IFileSampleBufferFactory::CInputSource& source)
        : ASampleBuffer<F>(source.attribute), m_format(source.format), m_input(source.stream), m_range(source.range) {
        m_input->seekg(m_range.first);
    }
    // An output buffer.
    explicit CFileSampleBuffer(const IFileSampleBufferFactory::COutputSource& sink)
        : ASampleBuffer<F>(sink.attribute),
          m_format(sink.format),
          m_output(sink.stream),
          m_range(sink.range),
          m_finish(sink.finish) {
        m_output->seekp(m_range.first);
    }

    int64_t GetBeginPosition() const override { return m_range.first; }
    int64_t GetEndPosition() const override { return m_range.end; }
    int64_t GetDataSize() const override { return m_range.end - m_range.first; }
    boost::shared_ptr<ISampleLocator> CreateLocator(int64_t position) override {
        if (m_input) return boost::shared_ptr<ISampleLocator>(new CInputFileSampleLocator<F>(m_input, position));
        if (m_output) return boost::shared_ptr<ISampleLocator>(new COutputFileSampleLocator<F>(m_output, position));
        return boost::shared_ptr<ISampleLocator>();
    }

    const CWaveFileFormat& GetFileFormat() const override { return m_format; }
    bool Finish() override {
        if (!m_output || !m_finish) return false;
        const int64_t end = m_output->fail() ? -1 : static_cast<int64_t>(m_output->tellp());
        const bool written = m_finish(this->GetSampleAttribute(), m_output, CSampleDataRange{m_range.first, end});
        return m_output->flush().good() && written;
    }
    boost::shared_ptr<std::istream> GetInputStream() const override { return m_input; }
    boost::shared_ptr<std::ostream> GetOutputStream() const override { return m_output; }
    const CSampleDataRange& GetDataRange() const override { return m_range; }

protected:
    int64_t GetStoredDataSize() const override {
        if (!m_input || !m_input->rdbuf()) return GetDataSize();
        // Straight on the stream buffer, which leaves the stream's state alone; every locator
        // places the read position itself before it reads.
        const auto end = static_cast<int64_t>(m_input->rdbuf()->pubseekoff(0, std::ios_base::end, std::ios_base::in));
        if (end < 0) return GetDataSize();
        return std::max<int64_t>(0, std::min(GetDataSize(), end - m_range.first));
    }

private:
    CWaveFileFormat m_format;
    boost::shared_ptr<std::istream> m_input;
    boost::shared_ptr<std::ostream> m_output;
    CSampleDataRange m_range;
    IFileSampleBufferFactory::FinishFunction m_finish;
};

}  // namespace SL
