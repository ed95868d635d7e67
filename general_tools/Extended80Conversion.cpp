#include "general_tools/Extended80Conversion.h"

#include "general_tools/EndianStreams.h"

#include <cmath>
#include <istream>
#include <limits>
#include <ostream>

namespace GT {

namespace {

constexpr int kBias = 16383;
constexpr int kMaxExponent = 0x7FFF;

}  // namespace

double Extended80ToDouble(const std::uint8_t* bytes) {
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i) significand = (significand << 8) | bytes[i];
    const bool negative = (bytes[9] & 0x80) != 0;
    const int exponent = ((bytes[9] & 0x7F) << 8) | bytes[8];

    double magnitude;
    if (exponent == kMaxExponent) {
        magnitude = (significand << 1) == 0 ? std::numeric_limits<double>::infinity()
                                            : std::numeric_limits<double>::quiet_NaN();
    } else if (significand == 0) {
        magnitude = 0.0;
    } else {
        // Normalise (the integer bit may be clear), then round the 64-bit significand to 53.
        int shift = __builtin_clzll(significand);
        significand <<= shift;
        int power = exponent - kBias - shift;  // value = significand * 2^(power - 63)
        std::uint64_t top = significand >> 11;
        const std::uint64_t rest = significand & 0x7FF;
        if (rest > 0x400 || (rest == 0x400 && (top & 1))) ++top;
        if (top == (std::uint64_t(1) << 53)) {
            top >>= 1;
            ++power;
        }
        magnitude = std::ldexp(static_cast<double>(top), power - 52);
    }
    return negative ? -magnitude : magnitude;
}

void DoubleToExtended80(double value, std::uint8_t* bytes) {
    std::uint64_t significand = 0;
    int exponent = 0;
    const bool negative = std::signbit(value);
    if (std::isnan(value)) {
        exponent = kMaxExponent;
        significand = std::uint64_t(3) << 62;
    } else if (std::isinf(value)) {
        exponent = kMaxExponent;
        significand = std::uint64_t(1) << 63;
    } else if (value != 0.0) {
        int power = 0;
        const double fraction = std::frexp(std::fabs(value), &power);  // [0.5, 1)
        significand = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        exponent = power - 1 + kBias;
    }
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(significand >> (8 * i));
    bytes[8] = static_cast<std::uint8_t>(exponent & 0xFF);
    bytes[9] = static_cast<std::uint8_t>(((exponent >> 8) & 0x7F) | (negative ? 0x80 : 0));
}

void CEndianedStreamUtilities::ReadExtended80(std::istream& in, double& value) const {
    std::uint8_t bytes[10];
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return;
    ConvertByteOrder(bytes, sizeof bytes);
    value = Extended80ToDouble(bytes);
}

void CEndianedStreamUtilities::WriteExtended80(std::ostream& out, double value) const {
    std::uint8_t bytes[10];
    DoubleToExtended80(value, bytes);
    ConvertByteOrder(bytes, sizeof bytes);
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

}  // namespace GT
