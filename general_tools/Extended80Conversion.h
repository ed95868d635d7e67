#pragma once

// The 80-bit IEEE 754 double-extended number of AIFF sample rates: sign bit, 15-bit exponent
// biased by 16383, 64-bit significand with an explicit integer bit.

#include <cstdint>

namespace GT {

// bytes: the 10 bytes in the machine's order (least significant first).
// Rounds to the nearest double (ties to even); infinities stay infinite, NaNs give a NaN.
double Extended80ToDouble(const std::uint8_t* bytes);
// Every double is exact in the extended format.
void DoubleToExtended80(double value, std::uint8_t* bytes);

}  // namespace GT
