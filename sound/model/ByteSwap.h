#pragma once

// Byte reversal of a 64-bit float, for the parts of complex and point samples stored in the
// foreign byte order.

#include <cstdint>
#include <cstring>

namespace SL {

// The double whose eight bytes are those of the argument in reverse order.
inline double ByteSwap(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    bits = __builtin_bswap64(bits);
    std::memcpy(&value, &bits, sizeof bits);
    return value;
}

}  // namespace SL
