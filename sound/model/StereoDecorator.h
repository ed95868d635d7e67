// Presents a mono input sample stream as two channels, each value given left and right alike.
#pragma once

#include "sound/model/BitDepth.h"
#include "sound/model/SampleIterator.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <utility>

namespace SL {

// Reads s0, s0, s1, s1, ...: the source advances on every second Next. Keeps the format and
// converts nothing. Frame numbers are the same for the mono source and the two-channel result.
template <EBitDepth F>
class CSampleIteratorStereoDecorator final : public ITypedInputSampleIterator<F> {
public:
    using Source = ITypedInputSampleIterator<F>;

    // The source's attribute as it is now with two channels; the source's own channel count is not
    // looked at. source must not be empty.
    explicit CSampleIteratorStereoDecorator(boost::shared_ptr<Source> source)
        : m_source(std::move(source)), m_attribute(m_source->GetSampleAttribute()) {
        m_attribute.SetChannelCount(2);
    }

    bool HasNext() const override { return m_source->HasNext(); }
    void Next() override {
        if (m_phase > 0) m_source->Next();
        m_phase ^= 1;  // 0 and 1 alternate
    }
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    // The source's state: a source that stopped on a read error must not pass for a finished one.
    bool IsGood() const override { return m_source->IsGood(); }
    // Two values of this stream are one of the source's; the division truncates toward zero.
    int64_t ToSourceCount(int64_t count) const override { return m_source->ToSourceCount(count / 2); }
    SampleElement<F> Get() const override { return m_source->Get(); }
    // The values and the phase that count rounds of HasNext, Get and Next give. The source's
    // values are read into the back half of the destination and doubled toward the front; a
    // value is always read before its slot is overwritten.
    size_t Read(SampleElement<F>* values, size_t count) override {
        size_t done = 0;
        if (count > 0 && m_phase > 0 && m_source->HasNext()) {
            values[done++] = m_source->Get();  // the right copy of the current value
            Next();
        }
        if (m_phase > 0) return done;  // the source has no further value
        while (count - done >= 2) {
            SampleElement<F>* pairs = values + done;
            const size_t wanted = (count - done) / 2;
            const size_t got = m_source->Read(pairs + wanted, wanted);
            if (got == 0) return done;
            for (size_t i = 0; i < got; ++i) pairs[2 * i] = pairs[2 * i + 1] = pairs[wanted + i];
            done += 2 * got;
        }
        if (done < count && m_source->HasNext()) {
            values[done++] = m_source->Get();  // the left copy; the source stays on it
            m_phase = 1;
        }
        return done;
    }

    // A new position starts on the left value of its frame, so left and right never swap.
    void SetLocation(int frame) override {
        m_source->SetLocation(frame);
        m_phase = 0;
    }
    int GetLocation() const override { return m_source->GetLocation(); }
    int OffsetLocation(int n) const override { return m_source->OffsetLocation(n); }

private:
    boost::shared_ptr<Source> m_source;
    CSampleAttribute m_attribute;
    // 0 while the current value is the first of its pair, 1 while it is the second.
    int32_t m_phase = 0;
};

// A stereo decorator of sourceFormat over source. Empty when the format is not one of the seven
// file formats, when source is empty, or when source is not a typed iterator of sourceFormat whose
// attribute reports that format.
boost::shared_ptr<IInputSampleIterator> CreateStereoDecorator(const CBitDepth& sourceFormat,
                                                              const boost::shared_ptr<IInputSampleIterator>& source);

}  // namespace SL
