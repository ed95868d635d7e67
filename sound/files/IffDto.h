#pragma once

// A data-transfer object stands for one whole file: the file's outer container chunk, built
// from a chunk factory, that can also probe a stream cheaply.

#include "sound/files/IffChunk.h"

#include <exception>
#include <istream>

namespace SL {

class IDto : public virtual IStreamable {
public:
    // Whether the stream, at its position, starts with this file's container header and form
    // type. Reads at most 12 bytes; the stream's position and state flags come back.
    virtual bool Probe(std::istream& in) = 0;
};

// T: a container chunk class constructible from a chunk factory.
template <class T>
class CIffDto : public T, public IDto {
public:
    explicit CIffDto(boost::shared_ptr<CIffContainerChunk::IChunkFactory> factory) : T(std::move(factory)) {}

    bool Read(std::istream& in) override { return T::Read(in); }
    bool Write(std::ostream& out) override { return T::Write(out); }

    bool Probe(std::istream& in) override {
        CStreamPositionGuard guard(in);
        try {
            T probe(this->GetChunkFactory());
            CSubChunkIterator walker(in);
            return walker.ReadParent(probe) && in.good();
        } catch (const std::exception&) {
            return false;
        }
    }
};

}  // namespace SL
