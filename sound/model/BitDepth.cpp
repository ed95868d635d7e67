#include "sound/model/BitDepth.h"

#include <cstdint>

namespace SL {

const GT::CStringTable& CBitDepth::GetStringTable() {
    static const GT::CStringTable table(
        {
            {static_cast<int>(NONE), "NONE"},
            {static_cast<int>(INTEGER8S), "INTEGER8S"},
            {static_cast<int>(INTEGER8), "INTEGER8"},
            {static_cast<int>(INTEGER16), "INTEGER16"},
            {static_cast<int>(INTEGER24), "INTEGER24"},
            {static_cast<int>(INTEGER32), "INTEGER32"},
            {static_cast<int>(FLOAT32), "FLOAT32"},
            {static_cast<int>(FLOAT64), "FLOAT64"},
            {static_cast<int>(COMPLEX32), "COMPLEX32"},
            {static_cast<int>(COMPLEX64), "COMPLEX64"},
            {static_cast<int>(POINT64), "POINT64"},
        },
        {-1, std::string()});
    return table;
}

namespace {

// A header's bit count lives in the low 16 bits; anything wider must not alias another format's
// kind bits, so it becomes -1, which no table row has.
int CodeOf(int bits, uint32_t kind) {
    if (bits < 0 || bits > 0xFFFF) return -1;
    return static_cast<int>(static_cast<uint32_t>(bits) | kind);
}

}  // namespace

CBitDepth::CBitDepth(int bits, bool isUnsigned)
    : CCodedEnumeration(CodeOf(bits, 0x10000u | (bits == 8 && isUnsigned ? 0x80000000u : 0u))) {}

CBitDepth CBitDepth::FromFloatBits(int floatBits) { return CBitDepth(CodeOf(floatBits, 0x20000u)); }

}  // namespace SL
