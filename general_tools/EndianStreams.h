#pragma once

// Byte-order word, 24-bit packing and 32-bit stream fields in a given byte order.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace GT {

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the library assumes a little-endian host");

// Values of the byte-order word.
constexpr int kBigEndian = 0;
constexpr int kLittleEndian = 1;
constexpr int kNativeByteOrder = kLittleEndian;

class CEndianness {};

class IEndianed : public CEndianness {
public:
    virtual ~IEndianed() = default;
    virtual void SetByteOrder(int order) = 0;
    virtual int GetByteOrder() const = 0;
    virtual bool IsBigEndian() const { return GetByteOrder() == kBigEndian; }
    virtual bool IsLittleEndian() const { return GetByteOrder() == kLittleEndian; }
};

class CEndianed : public IEndianed {
public:
    explicit CEndianed(int order) : m_byteOrder(order) {}

    void SetByteOrder(int order) override { m_byteOrder = order; }
    int GetByteOrder() const override { return m_byteOrder; }

    // Signed 24-bit value from three bytes in this holder's order, sign-extended from bit 23.
    // Called once per 24-bit sample: one test of the word, then shifts only.
    std::int32_t Read24(const void* bytes) const {
        const auto* b = static_cast<const std::uint8_t*>(bytes);
        std::uint32_t u;
        if (m_byteOrder == kBigEndian)
            u = (std::uint32_t(b[0]) << 16) | (std::uint32_t(b[1]) << 8) | b[2];
        else
            u = (std::uint32_t(b[2]) << 16) | (std::uint32_t(b[1]) << 8) | b[0];
        // Sign-extend in unsigned arithmetic, then reinterpret as two's complement.
        u = (u ^ 0x800000u) - 0x800000u;
        return static_cast<std::int32_t>(u);
    }
    void Read24(const void* bytes, std::int32_t* result) const { *result = Read24(bytes); }
    void Read24(const void* bytes, std::int32_t& result) const { result = Read24(bytes); }

    // Low 24 bits of the value as three bytes in this holder's order; bits 24-31 are dropped.
    void Write24(std::int32_t value, void* out) const {
        auto* o = static_cast<std::uint8_t*>(out);
        const auto u = static_cast<std::uint32_t>(value);
        if (m_byteOrder == kBigEndian) {
            o[0] = std::uint8_t(u >> 16);
            o[1] = std::uint8_t(u >> 8);
            o[2] = std::uint8_t(u);
        } else {
            o[0] = std::uint8_t(u);
            o[1] = std::uint8_t(u >> 8);
            o[2] = std::uint8_t(u >> 16);
        }
    }
    void Write24(const std::int32_t* value, void* out) const { Write24(*value, out); }

    // Reverses a field in place unless the holder's order is the native one; a length of 0 or
    // less changes nothing.
    void ConvertByteOrder(void* bytes, int length) const;

private:
    int m_byteOrder;
};

// 32-bit stream fields in the holder's byte order. Callers test the stream afterwards.
class CEndianedStreamUtilities : public CEndianed {
public:
    explicit CEndianedStreamUtilities(int order) : CEndianed(order) {}

    // Reads 4 bytes; on a failed or short read the value is left exactly as it was.
    void Read32(std::istream& in, std::uint32_t& value) const;
    void Read32(std::istream& in, std::uint32_t* value) const { Read32(in, *value); }

    void Write32(std::ostream& out, std::uint32_t value) const;
    void Write32(std::ostream& out, const std::uint32_t* value) const { Write32(out, *value); }

    // The 10-byte IEEE 754 double-extended number of AIFF sample rates, in the holder's order:
    // read to the nearest double (a failed read leaves the value as it was); written exactly.
    void ReadExtended80(std::istream& in, double& value) const;
    void WriteExtended80(std::ostream& out, double value) const;
};

void ReverseBytes(void* bytes, std::size_t length);

constexpr std::uint16_t SwapBytes16(std::uint16_t v) { return static_cast<std::uint16_t>((v >> 8) | (v << 8)); }

constexpr std::uint32_t SwapBytes32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// Folds the bytes into an integer, the first byte most significant when bigEndian, else the
// last; only the 4 bytes folded in last survive.
int BytesToInteger(const std::vector<std::uint8_t>& bytes, bool bigEndian);

// size / 2 UTF-16 code units from byte pairs; an odd trailing byte is ignored and a byte-order
// mark is kept as a character.
std::u16string Utf16BytesToWide(const std::vector<std::uint8_t>& bytes, bool bigEndian);

}  // namespace GT
