// Presents an input sample stream of one file format in another, converting each value as it is read.
#pragma once

#include "sound/model/BitDepth.h"
#include "sound/model/SampleConversion.h"
#include "sound/model/SampleIterator.h"
#include "sound/model/StereoDecorator.h"

#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace SL {

namespace detail {

// Every result of an 8-bit source by the source's byte, made once by the rule itself: reading
// it costs one load instead of the arithmetic.
template <EBitDepth From, EBitDepth To>
const SampleElement<To>* ByteSourceConversionTable() {
    static_assert(BytesPerSample(From) == 1, "only 8-bit sources have a table");
    static const std::array<SampleElement<To>, 256> table = [] {
        std::array<SampleElement<To>, 256> results{};
        for (int byte = 0; byte < 256; ++byte)
            results[byte] = ConvertSample<From, To>()(static_cast<SampleElement<From>>(static_cast<uint8_t>(byte)));
        return results;
    }();
    return table.data();
}

}  // namespace detail

// Keeps no values: every call goes to the source, every value through ConvertSample<From, To>.
// Frames are the same on both sides, so positioning forwards unchanged.
// Over a stereo decorator (the importer's chain) the calls to it are direct, not virtual.
template <EBitDepth From, EBitDepth To>
class CSampleIteratorBitDepthConvertDecorator final : public ITypedInputSampleIterator<To> {
public:
    using Source = ITypedInputSampleIterator<From>;

    // The source's attribute as it is now, with the format replaced by To. source must not be empty.
    explicit CSampleIteratorBitDepthConvertDecorator(boost::shared_ptr<Source> source)
        : m_source(std::move(source)),
          m_attribute(m_source->GetSampleAttribute()),
          m_stereo(dynamic_cast<CSampleIteratorStereoDecorator<From>*>(m_source.get())) {
        m_attribute.SetSampleFormat(To);
        if constexpr (BYTE_SOURCE) m_table = detail::ByteSourceConversionTable<From, To>();
    }

    bool HasNext() const override { return m_stereo ? m_stereo->HasNext() : m_source->HasNext(); }
    void Next() override {
        if (m_stereo)
            m_stereo->Next();
        else
            m_source->Next();
    }
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    // The source's state: a source that stopped on a read error must not pass for a finished one.
    bool IsGood() const override { return m_source->IsGood(); }
    int64_t ToSourceCount(int64_t count) const override { return m_source->ToSourceCount(count); }
    SampleElement<To> Get() const override {
        const SampleElement<From> value = m_stereo ? m_stereo->Get() : m_source->Get();
        if constexpr (BYTE_SOURCE)
            return m_table[static_cast<uint8_t>(value)];
        else
            return ConvertSample<From, To>()(value);
    }

    // The values that count rounds of HasNext, Get and Next give: the source is read in blocks
    // of at most a buffer's size, each converted in a tight loop. Consumes exactly what it gives.
    size_t Read(SampleElement<To>* values, size_t count) override {
        size_t done = 0;
        while (done < count) {
            const size_t wanted = std::min(count - done, m_buffer.size());
            const size_t got =
                m_stereo ? m_stereo->Read(m_buffer.data(), wanted) : m_source->Read(m_buffer.data(), wanted);
            if (got == 0) break;
            SampleElement<To>* out = values + done;
            if constexpr (BYTE_SOURCE) {
                for (size_t i = 0; i < got; ++i) out[i] = m_table[static_cast<uint8_t>(m_buffer[i])];
            } else {
                const ConvertSample<From, To> convert;
                for (size_t i = 0; i < got; ++i) out[i] = convert(m_buffer[i]);
            }
            done += got;
        }
        return done;
    }

    void SetLocation(int frame) override { m_source->SetLocation(frame); }
    int GetLocation() const override { return m_source->GetLocation(); }
    int OffsetLocation(int n) const override { return m_source->OffsetLocation(n); }

private:
    static constexpr bool BYTE_SOURCE = BytesPerSample(From) == 1;

    boost::shared_ptr<Source> m_source;
    CSampleAttribute m_attribute;
    // The source when it is a stereo decorator (a final class, so calls through it are direct);
    // owned through m_source.
    CSampleIteratorStereoDecorator<From>* m_stereo;
    const SampleElement<To>* m_table = nullptr;
    // Source values of one block of Read; holds nothing between calls.
    std::array<SampleElement<From>, 2048> m_buffer{};
};

// A decorator from sourceFormat to destinationFormat over source. Empty when either format is not
// one of the seven file formats, when source is empty, or when source is not a typed iterator of
// sourceFormat whose attribute reports that format.
boost::shared_ptr<IInputSampleIterator> CreateBitDepthConvertDecorator(
    const CBitDepth& sourceFormat, const CBitDepth& destinationFormat,
    const boost::shared_ptr<IInputSampleIterator>& source);

}  // namespace SL
