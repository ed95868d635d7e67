#pragma once

// A read-only view of interleaved sample bytes in one format and byte order, walked channel range
// by channel range with forward iterators that decode each sample into native values.

#include "general_tools/EndianStreams.h"
#include "sound/model/ByteSwap.h"
#include "sound/model/MemorySampleFormats.h"
#include "sound/model/SampleFormat.h"

#include <boost/iterator/iterator_facade.hpp>

#include <cstdint>
#include <cstring>
#include <utility>

namespace SL {

// F is any of the ten sample formats. The bytes belong to the caller and must outlive the buffer
// and its iterators; a walk from Begin to End needs a whole number of frames.
template <EBitDepth F>
class CInterleavedBuffer : public GT::CEndianed {
public:
    using Element = SampleElement<F>;
    // First channel and one past the last.
    using CChannelRange = std::pair<int, int>;
    static constexpr int SAMPLE_SIZE = BytesPerSample(F);

    // The walk's state. Positions are kept as addresses in integer form: End of a range that
    // does not start at channel 0 lies beyond the bytes and is only compared, never read.
    class CIteratorBase : public GT::CEndianed {
    public:
        CIteratorBase() : GT::CEndianed(GT::kNativeByteOrder) {}
        CIteratorBase(int byteOrder, int firstChannel, int lastChannel, int frameJump, std::uintptr_t position)
            : GT::CEndianed(byteOrder),
              m_firstChannel(firstChannel),
              m_lastChannel(lastChannel),
              m_frameJump(frameJump),
              m_currentChannel(firstChannel),
              m_position(position) {}

    protected:
        int m_firstChannel = 0;
        int m_lastChannel = 0;
        int m_frameJump = 0;
        int m_currentChannel = 0;
        std::uintptr_t m_position = 0;
    };

    class CInputIterator
        : public boost::iterator_facade<CInputIterator, Element, boost::forward_traversal_tag, Element, int>,
          public CIteratorBase {
    public:
        CInputIterator() = default;
        explicit CInputIterator(const CIteratorBase& base) : CIteratorBase(base) {}

    private:
        friend class boost::iterator_core_access;

        Element dereference() const { return Decode(reinterpret_cast<const std::uint8_t*>(this->m_position)); }

        void increment() {
            if (this->m_currentChannel < this->m_lastChannel) {
                ++this->m_currentChannel;
                this->m_position += SAMPLE_SIZE;
            } else {
                this->m_currentChannel = this->m_firstChannel;
                this->m_position += static_cast<std::uintptr_t>(static_cast<std::intptr_t>(this->m_frameJump));
            }
        }

        bool equal(const CInputIterator& other) const { return this->m_position == other.m_position; }

        bool Foreign() const { return this->GetByteOrder() != GT::kNativeByteOrder; }

        template <typename U>
        static U Load(const std::uint8_t* bytes) {
            U value;
            std::memcpy(&value, bytes, sizeof value);
            return value;
        }

        float LoadFloat(const std::uint8_t* bytes) const {
            std::uint32_t bits = Load<std::uint32_t>(bytes);
            if (Foreign()) bits = __builtin_bswap32(bits);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            return value;
        }

        double LoadDouble(const std::uint8_t* bytes) const {
            const double value = Load<double>(bytes);
            return Foreign() ? ByteSwap(value) : value;
        }

        Element Decode(const std::uint8_t* bytes) const {
            if constexpr (F == EBitDepth::INTEGER8S || F == EBitDepth::INTEGER8) {
                return static_cast<Element>(bytes[0]);
            } else if constexpr (F == EBitDepth::INTEGER16) {
                std::uint16_t bits = Load<std::uint16_t>(bytes);
                if (Foreign()) bits = __builtin_bswap16(bits);
                return static_cast<Element>(bits);
            } else if constexpr (F == EBitDepth::INTEGER24) {
                return this->Read24(bytes);
            } else if constexpr (F == EBitDepth::INTEGER32) {
                std::uint32_t bits = Load<std::uint32_t>(bytes);
                if (Foreign()) bits = __builtin_bswap32(bits);
                return static_cast<Element>(bits);
            } else if constexpr (F == EBitDepth::FLOAT32) {
                return LoadFloat(bytes);
            } else if constexpr (F == EBitDepth::FLOAT64) {
                return LoadDouble(bytes);
            } else if constexpr (F == EBitDepth::COMPLEX32) {
                return Element(LoadFloat(bytes), LoadFloat(bytes + 4));
            } else {
                static_assert(F == EBitDepth::COMPLEX64 || F == EBitDepth::POINT64, "not a sample format");
                return Element(LoadDouble(bytes), LoadDouble(bytes + 8));
            }
        }
    };

    CInterleavedBuffer(int byteOrder, const std::uint8_t* begin, const std::uint8_t* end, int channelCount)
        : GT::CEndianed(byteOrder), m_begin(begin), m_end(end), m_channelCount(channelCount) {}

    CInputIterator Begin(const CChannelRange& range) const { return At(m_begin, range); }
    CInputIterator End(const CChannelRange& range) const { return At(m_end, range); }

    int GetChannelCount() const { return m_channelCount; }

private:
    CInputIterator At(const std::uint8_t* origin, const CChannelRange& range) const {
        const int frameJump = (m_channelCount - (range.second - range.first)) * SAMPLE_SIZE + SAMPLE_SIZE;
        const std::uintptr_t position =
            reinterpret_cast<std::uintptr_t>(origin) + static_cast<std::uintptr_t>(range.first) * SAMPLE_SIZE;
        return CInputIterator(CIteratorBase(GetByteOrder(), range.first, range.second - 1, frameJump, position));
    }

    const std::uint8_t* m_begin;
    const std::uint8_t* m_end;
    int m_channelCount;
};

}  // namespace SL
