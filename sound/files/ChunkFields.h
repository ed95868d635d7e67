#pragma once

// Numbers and byte strings of chunk bodies in a chunk's byte order. 32-bit values go through
// the general tools' endian stream utilities, 16-bit values are swapped unless the order is
// the native one. A read that fails leaves the field as it was; each call answers whether the
// stream is still good.

#include "general_tools/EndianStreams.h"

#include <cstdint>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

namespace SL {

template <class T>
bool ReadField(std::istream& in, int byteOrder, T& value) {
    static_assert(std::is_integral<T>::value && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4),
                  "8, 16 or 32-bit integers");
    if constexpr (sizeof(T) == 4) {
        std::uint32_t raw;
        std::memcpy(&raw, &value, 4);
        GT::CEndianedStreamUtilities(byteOrder).Read32(in, raw);
        if (!in.fail()) std::memcpy(&value, &raw, 4);
    } else {
        unsigned char bytes[sizeof(T)];
        if (in.read(reinterpret_cast<char*>(bytes), sizeof(T))) {
            std::uint16_t raw = bytes[0];
            if constexpr (sizeof(T) == 2) {
                raw = static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
                if (byteOrder != GT::kNativeByteOrder) raw = GT::SwapBytes16(raw);
            }
            value = static_cast<T>(raw);
        }
    }
    return !in.fail();
}

template <class T>
bool WriteField(std::ostream& out, int byteOrder, T value) {
    static_assert(std::is_integral<T>::value && (sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4),
                  "8, 16 or 32-bit integers");
    if constexpr (sizeof(T) == 4) {
        GT::CEndianedStreamUtilities(byteOrder).Write32(out, static_cast<std::uint32_t>(value));
    } else if constexpr (sizeof(T) == 2) {
        auto raw = static_cast<std::uint16_t>(value);
        if (byteOrder != GT::kNativeByteOrder) raw = GT::SwapBytes16(raw);
        const char bytes[2] = {char(raw & 0xFF), char(raw >> 8)};
        out.write(bytes, 2);
    } else {
        out.put(static_cast<char>(value));
    }
    return !out.fail();
}

// Reads exactly count bytes into text; the caller bounds count by what the chunk holds.
inline bool ReadByteString(std::istream& in, std::size_t count, std::string& text) {
    std::string bytes(count, '\0');
    if (count > 0 && !in.read(&bytes[0], static_cast<std::streamsize>(count))) return false;
    text.swap(bytes);
    return !in.fail();
}

inline bool WriteByteString(std::ostream& out, const std::string& text) {
    if (!text.empty()) out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return !out.fail();
}

}  // namespace SL
