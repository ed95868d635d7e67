// The sample-format code as a named enumeration value.
#pragma once

#include "sound/model/CodedEnumeration.h"
#include "sound/model/SampleFormat.h"

namespace SL {

// A sample-format code checked against its table: building one from a code or name outside the
// table throws GT::IRangedNumber<int>::CError {0, 0x80080}.
// The named constants (CBitDepth::INTEGER16, ...) are compile-time EBitDepth codes: they need no
// start-up order, convert implicitly to CBitDepth and serve as template arguments.
class CBitDepth : public CCodedEnumeration<CBitDepth, EBitDepth> {
public:
    static constexpr EBitDepth NONE = EBitDepth::NONE;
    static constexpr EBitDepth INTEGER8S = EBitDepth::INTEGER8S;
    static constexpr EBitDepth INTEGER8 = EBitDepth::INTEGER8;
    static constexpr EBitDepth INTEGER16 = EBitDepth::INTEGER16;
    static constexpr EBitDepth INTEGER24 = EBitDepth::INTEGER24;
    static constexpr EBitDepth INTEGER32 = EBitDepth::INTEGER32;
    static constexpr EBitDepth FLOAT32 = EBitDepth::FLOAT32;
    static constexpr EBitDepth FLOAT64 = EBitDepth::FLOAT64;
    static constexpr EBitDepth COMPLEX32 = EBitDepth::COMPLEX32;
    static constexpr EBitDepth COMPLEX64 = EBitDepth::COMPLEX64;
    static constexpr EBitDepth POINT64 = EBitDepth::POINT64;

    // The names in table order; built on first use.
    static const GT::CStringTable& GetStringTable();

    using CCodedEnumeration::CCodedEnumeration;
    CBitDepth() = default;
    // The integer format of a header's bit count. Only 8 bits honour isUnsigned (INTEGER8);
    // a count that names no format throws.
    CBitDepth(int bits, bool isUnsigned);
    // The floating-point format of a header's bit count: 32 FLOAT32, 64 FLOAT64; others throw.
    static CBitDepth FromFloatBits(int floatBits);

    // (code >> 3) & 0x1FFF: the size in files and interleaved byte buffers.
    int GetBytesPerSample() const { return BytesPerSample(GetValue()); }
    bool IsFileFormat() const { return SL::IsFileFormat(GetCode()); }
};

}  // namespace SL
