// Presents an input sample stream of one file format in another, converting each value as it is read.
#pragma once

#include "sound/model/BitDepth.h"
#include "sound/model/SampleConversion.h"
#include "sound/model/SampleIterator.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <utility>

namespace SL {

// Keeps no buffer: every call goes to the source, every value through ConvertSample<From, To>.
// Frames are the same on both sides, so positioning forwards unchanged.
template <EBitDepth From, EBitDepth To>
class CSampleIteratorBitDepthConvertDecorator final : public ITypedInputSampleIterator<To> {
public:
    using Source = ITypedInputSampleIterator<From>;

    // The source's attribute as it is now, with the format replaced by To. source must not be empty.
    explicit CSampleIteratorBitDepthConvertDecorator(boost::shared_ptr<Source> source)
        : m_source(std::move(source)), m_attribute(m_source->GetSampleAttribute())
    {
        m_attribute.SetSampleFormat(To);
    }

    bool HasNext() const override { return m_source->HasNext(); }
    void Next() override { m_source->Next(); }
    const CSampleAttribute& GetSampleAttribute() const override { return m_attribute; }
    // The source's state: a source that stopped on a read error must not pass for a finished one.
    bool IsGood() const override { return m_source->IsGood(); }
    int64_t ToSourceCount(int64_t count) const override { return m_source->ToSourceCount(count); }
    SampleElement<To> Get() const override { return ConvertSample<From, To>()(m_source->Get()); }

    void SetLocation(int frame) override { m_source->SetLocation(frame); }
    int GetLocation() const override { return m_source->GetLocation(); }
    int OffsetLocation(int n) const override { return m_source->OffsetLocation(n); }

private:
    boost::shared_ptr<Source> m_source;
    CSampleAttribute m_attribute;
};

// A decorator from sourceFormat to destinationFormat over source. Empty when either format is not
// one of the seven file formats, when source is empty, or when source is not a typed iterator of
// sourceFormat whose attribute reports that format.
boost::shared_ptr<IInputSampleIterator> CreateBitDepthConvertDecorator(
    const CBitDepth& sourceFormat, const CBitDepth& destinationFormat,
    const boost::shared_ptr<IInputSampleIterator>& source);

}  // namespace SL
