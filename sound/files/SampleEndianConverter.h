// One sample value between its bytes in a file and its element type in memory.
#pragma once

#include "general_tools/EndianStreams.h"
#include "sound/model/SampleFormat.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace SL {

// Holds the file's byte order; the same rule serves both directions. 24-bit values are
// sign-extended when read and keep their low 24 bits when written.
template <EBitDepth F>
class CSampleEndianConverter : public GT::CEndianed {
    static_assert(IsFileFormat(F), "sample files hold the seven file formats only");

public:
    using Element = SampleElement<F>;
    static constexpr int WIDTH = BytesPerSample(F);

    explicit CSampleEndianConverter(int byteOrder = GT::kNativeByteOrder) : GT::CEndianed(byteOrder) {}

    // WIDTH file bytes to a value.
    Element Decode(const std::uint8_t* bytes) const {
        if constexpr (F == EBitDepth::INTEGER24) {
            return Read24(bytes);
        } else {
            using Bits =
                std::conditional_t<WIDTH == 1, std::uint8_t,
                                   std::conditional_t<WIDTH == 2, std::uint16_t,
                                                      std::conditional_t<WIDTH == 4, std::uint32_t, std::uint64_t>>>;
            Bits bits;
            std::memcpy(&bits, bytes, WIDTH);
            if (GetByteOrder() != GT::kNativeByteOrder) bits = Swap(bits);
            Element value;
            std::memcpy(&value, &bits, WIDTH);
            return value;
        }
    }

    // A value to WIDTH file bytes.
    void Encode(Element value, std::uint8_t* bytes) const {
        if constexpr (F == EBitDepth::INTEGER24) {
            Write24(value, bytes);
        } else {
            std::memcpy(bytes, &value, WIDTH);
            if (GetByteOrder() != GT::kNativeByteOrder) Reverse(bytes);
        }
    }

    // Whether a value's file bytes are its bytes in memory: the block calls are plain copies,
    // and callers may move the values to and from the file directly.
    bool IsPlainCopy() const {
        return F != EBitDepth::INTEGER24 && (WIDTH == 1 || GetByteOrder() == GT::kNativeByteOrder);
    }

    // Bytes that DecodeBlock may read after the last value.
    static constexpr int DECODE_PADDING = F == EBitDepth::INTEGER24 ? 1 : 0;

    // count values from their file bytes; the loops leave the byte-order test outside.
    void DecodeBlock(const std::uint8_t* bytes, Element* values, std::size_t count) const {
        if constexpr (F == EBitDepth::INTEGER24) {
            // One 4-byte load per value: the byte after the last value must be readable
            // (DECODE_PADDING); the arithmetic shift sign-extends.
            std::uint32_t u;
            if (GetByteOrder() == GT::kBigEndian) {
                for (std::size_t i = 0; i < count; ++i) {
                    std::memcpy(&u, bytes + 3 * i, 4);
                    values[i] = static_cast<std::int32_t>(__builtin_bswap32(u)) >> 8;
                }
            } else {
                for (std::size_t i = 0; i < count; ++i) {
                    std::memcpy(&u, bytes + 3 * i, 4);
                    values[i] = static_cast<std::int32_t>(u << 8) >> 8;
                }
            }
        } else if (IsPlainCopy()) {
            std::memcpy(values, bytes, count * WIDTH);
        } else {
            for (std::size_t i = 0; i < count; ++i) values[i] = Decode(bytes + i * WIDTH);
        }
    }

    void EncodeBlock(const Element* values, std::uint8_t* bytes, std::size_t count) const {
        if constexpr (F == EBitDepth::INTEGER24) {
            for (std::size_t i = 0; i < count; ++i) Write24(values[i], bytes + 3 * i);
        } else if (IsPlainCopy()) {
            std::memcpy(bytes, values, count * WIDTH);
        } else {
            for (std::size_t i = 0; i < count; ++i) Encode(values[i], bytes + i * WIDTH);
        }
    }

private:
    template <typename Bits>
    static Bits Swap(Bits bits) {
        if constexpr (sizeof(Bits) == 1)
            return bits;
        else if constexpr (sizeof(Bits) == 2)
            return __builtin_bswap16(bits);
        else if constexpr (sizeof(Bits) == 4)
            return __builtin_bswap32(bits);
        else
            return __builtin_bswap64(bits);
    }

    static void Reverse(std::uint8_t* bytes) {
        for (int i = 0, j = WIDTH - 1; i < j; ++i, --j) {
            const std::uint8_t t = bytes[i];
            bytes[i] = bytes[j];
            bytes[j] = t;
        }
    }
};

}  // namespace SL
