#include "general_tools/EndianStreams.h"

#include <algorithm>
#include <istream>
#include <ostream>

namespace GT {

void CEndianed::ConvertByteOrder(void* bytes, int length) const {
    if (GetByteOrder() != kNativeByteOrder && length > 0) ReverseBytes(bytes, static_cast<std::size_t>(length));
}

void CEndianedStreamUtilities::Read32(std::istream& in, std::uint32_t& value) const {
    // Read into a temporary so that a short read cannot leave a half-written value.
    unsigned char raw[4];
    if (!in.read(reinterpret_cast<char*>(raw), sizeof raw)) return;
    std::uint32_t v = std::uint32_t(raw[0]) | (std::uint32_t(raw[1]) << 8) | (std::uint32_t(raw[2]) << 16)
                      | (std::uint32_t(raw[3]) << 24);
    if (GetByteOrder() != kNativeByteOrder) v = SwapBytes32(v);
    value = v;
}

void CEndianedStreamUtilities::Write32(std::ostream& out, std::uint32_t value) const {
    if (GetByteOrder() != kNativeByteOrder) value = SwapBytes32(value);
    const char raw[4] = {char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF),
                         char((value >> 24) & 0xFF)};
    out.write(raw, sizeof raw);
}

void ReverseBytes(void* bytes, std::size_t length) {
    auto* b = static_cast<unsigned char*>(bytes);
    if (length > 1) std::reverse(b, b + length);
}

int BytesToInteger(const std::vector<std::uint8_t>& bytes, bool bigEndian) {
    std::uint32_t result = 0;
    if (bigEndian) {
        for (std::uint8_t b : bytes) result = (result << 8) + b;
    } else {
        for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) result = (result << 8) + *it;
    }
    return static_cast<int>(result);
}

std::u16string Utf16BytesToWide(const std::vector<std::uint8_t>& bytes, bool bigEndian) {
    std::u16string text(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned hi = bigEndian ? bytes[2 * i] : bytes[2 * i + 1];
        const unsigned lo = bigEndian ? bytes[2 * i + 1] : bytes[2 * i];
        text[i] = static_cast<char16_t>(hi * 256u + lo);
    }
    return text;
}

}  // namespace GT
