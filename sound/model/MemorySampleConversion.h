#pragma once

// The value rule for the pairs that involve the in-memory formats: complex to complex converts
// each part as a floating-point value, point to point copies, and every pair between kinds
// (real, complex, point) gives the destination's zero.

#include "sound/model/MemorySampleFormats.h"
#include "sound/model/SampleConversion.h"

namespace SL {

enum class ESampleKind { REAL, COMPLEX, POINT };

constexpr ESampleKind KindOf(EBitDepth code) {
    return code == EBitDepth::COMPLEX32 || code == EBitDepth::COMPLEX64 ? ESampleKind::COMPLEX
           : code == EBitDepth::POINT64                                 ? ESampleKind::POINT
                                                                        : ESampleKind::REAL;
}

// The floating-point format of one part of a complex format.
constexpr EBitDepth PartFormat(EBitDepth complex) {
    return complex == EBitDepth::COMPLEX32 ? EBitDepth::FLOAT32 : EBitDepth::FLOAT64;
}

template <EBitDepth Src, EBitDepth Dst>
struct ConvertSample<Src, Dst,
                     std::enable_if_t<KindOf(Src) == ESampleKind::COMPLEX && KindOf(Dst) == ESampleKind::COMPLEX>> {
    using Source = SampleElement<Src>;
    using Destination = SampleElement<Dst>;

    Destination operator()(const Source& x) const noexcept {
        const ConvertSample<PartFormat(Src), PartFormat(Dst)> part;
        return Destination(part(x.real()), part(x.imag()));
    }
};

template <>
struct ConvertSample<EBitDepth::POINT64, EBitDepth::POINT64> {
    using Source = SampleElement<EBitDepth::POINT64>;
    using Destination = Source;

    Destination operator()(const Source& x) const noexcept { return x; }
};

template <EBitDepth Src, EBitDepth Dst>
struct ConvertSample<Src, Dst, std::enable_if_t<KindOf(Src) != KindOf(Dst)>> {
    using Source = SampleElement<Src>;
    using Destination = SampleElement<Dst>;

    Destination operator()(const Source&) const noexcept { return Destination(); }
};

}  // namespace SL
