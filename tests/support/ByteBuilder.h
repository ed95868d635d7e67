// Builds byte arrays for malformed-input tests and byte-exact expectations: ids, numbers in
// either byte order, padding, and conversion to and from in-memory streams.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

namespace gbxtest {

class ByteBuilder {
public:
    ByteBuilder& Text(const std::string& text) {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    ByteBuilder& Bytes(std::initializer_list<uint8_t> bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ByteBuilder& Bytes(const std::vector<uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return *this;
    }
    ByteBuilder& Fill(size_t count, uint8_t value) {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }
    ByteBuilder& U8(uint8_t v) { return Bytes({v}); }
    ByteBuilder& Le16(uint16_t v) { return Bytes({uint8_t(v), uint8_t(v >> 8)}); }
    ByteBuilder& Be16(uint16_t v) { return Bytes({uint8_t(v >> 8), uint8_t(v)}); }
    ByteBuilder& Le32(uint32_t v) { return Bytes({uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
    ByteBuilder& Be32(uint32_t v) { return Bytes({uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
    // 32-bit number in a byte-order word's order: 0 big-endian, 1 little-endian.
    ByteBuilder& U32(int byteOrder, uint32_t v) { return byteOrder == 0 ? Be32(v) : Le32(v); }

    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& Get() const { return m_bytes; }
    operator const std::vector<uint8_t>&() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

inline std::string ToString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
inline std::vector<uint8_t> ToBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

inline std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

inline std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

inline std::vector<uint8_t> StreamBytes(const std::stringstream& stream) { return ToBytes(stream.str()); }

// An input and output stream holding the bytes, positioned at 0.
inline std::stringstream MemoryStream(const std::vector<uint8_t>& bytes = {}) {
    return std::stringstream(ToString(bytes), std::ios_base::in | std::ios_base::out | std::ios_base::binary);
}

}  // namespace gbxtest
