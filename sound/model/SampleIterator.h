// The interfaces of sample streams read or written one value at a time.
//
// Input: the current value is valid while HasNext () is true; Get () reads it without moving and
// Next () moves on. Output: Set () replaces the pending value and Next () writes it.
// Values travel interleaved, channel 0 first, whatever the channel count.
#pragma once

#include "general_tools/Iterators.h"
#include "sound/model/Locatable1D.h"
#include "sound/model/SampleAttribute.h"
#include "sound/model/SampleFormat.h"

#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <cstdint>

namespace SL {

class ISampleIteratorBase : public GT::IIteratorBase, public ILocatable1D {
public:
    ~ISampleIteratorBase() override = default;
    // The stream's attribute, fixed at construction and valid while the iterator lives.
    virtual const CSampleAttribute& GetSampleAttribute() const = 0;
    // Whether the underlying stream is still good; asked after a copy loop.
    virtual bool IsGood() const = 0;
    // A count of this iterator's values as a count of the values of the stream it reads from.
    virtual int64_t ToSourceCount(int64_t count) const = 0;
};

class IInputSampleIterator : public ISampleIteratorBase {};

class IOutputSampleIterator : public ISampleIteratorBase {};

// Typed iterators exist for the seven file formats; INTEGER24 and INTEGER32 share the element type
// int32_t but are distinct interfaces, so a cast tells them apart.
template <EBitDepth F>
class ITypedInputSampleIterator : public GT::IInputIterator<SampleElement<F>, IInputSampleIterator> {
    static_assert(IsFileFormat(F), "typed sample iterators exist for the file formats only");

public:
    using Element = SampleElement<F>;
    static constexpr EBitDepth FORMAT = F;

    // What count rounds of HasNext, Get and Next give, in one call: up to count values into
    // values, consuming exactly those; answers how many. Fewer than count only when the stream
    // has no further value. Iterators that hold their values in blocks read faster here.
    virtual size_t Read(Element* values, size_t count) {
        size_t done = 0;
        for (; done < count && this->HasNext(); ++done) {
            values[done] = this->Get();
            this->Next();
        }
        return done;
    }
};

template <EBitDepth F>
class ITypedOutputSampleIterator : public GT::IOutputIterator<const SampleElement<F>&, IOutputSampleIterator> {
    static_assert(IsFileFormat(F), "typed sample iterators exist for the file formats only");

public:
    using Element = SampleElement<F>;
    static constexpr EBitDepth FORMAT = F;
};

// source as the typed interface of format F when it is one and its attribute reports F; else empty.
template <EBitDepth F>
boost::shared_ptr<ITypedInputSampleIterator<F>> AsTypedSource(const boost::shared_ptr<IInputSampleIterator>& source) {
    auto typed = boost::dynamic_pointer_cast<ITypedInputSampleIterator<F>>(source);
    if (typed && typed->GetSampleAttribute().GetSampleFormat() != F) typed.reset();
    return typed;
}

}  // namespace SL
