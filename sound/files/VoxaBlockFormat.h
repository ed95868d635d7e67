// Layout of a Voxa block, shared by the block encoder and decoder.
// A block codes 16 samples of one channel in 2 * m bytes (m = 4..8 bits a sample);
// each half of 8 samples is a big-endian bit string: header bits, then the fields
// of s7, s6, ..., s0.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace SL {
namespace Private {
namespace voxa {

constexpr int kBlockSamples = 16;
constexpr int kMinMode = 4;
constexpr int kMaxMode = 8;
constexpr int kMaxBlockBytes = 2 * kMaxMode;

constexpr bool IsValidMode(int mode) { return mode >= kMinMode && mode <= kMaxMode; }
constexpr int BlockBytes(int mode) { return 2 * mode; }

// 32-bit arithmetic that wraps instead of overflowing: negative values are shifted
// and summed as unsigned and cast back.
inline int32_t Add(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t Sub(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t Shl(int32_t v, int n) { return static_cast<int32_t>(static_cast<uint32_t>(v) << n); }
// Left shift for n >= 0, arithmetic right shift by -n otherwise.
inline int32_t ShiftBy(int32_t v, int n) { return n >= 0 ? Shl(v, n) : v >> -n; }
inline int32_t Avg(int32_t a, int32_t b) { return Add(a, b) >> 1; }
inline int32_t Mag(int32_t v) { return v ^ (v >> 31); }

enum FieldKind : uint8_t {
    kDirect,    // the sample itself, bits up to its top bit down to q
    kFine,      // direct with one more low bit (variant A)
    kResidual,  // quantised difference to the prediction
};

// Samples in coding order, each with the two neighbours whose average predicts it.
// Index 0 is the last sample before the half, index i + 1 is s_i.
struct CodingStep {
    uint8_t sample;
    uint8_t left;
    uint8_t right;
};
constexpr CodingStep kCodingOrder[8] = {
    {7, 0, 0},  // s7: always direct
    {3, 0, 8},  // s3 from avg(p, s7)
    {1, 0, 4},  // s1 from avg(p, s3)
    {5, 4, 8},  // s5 from avg(s3, s7)
    {0, 0, 2},  // s0 from avg(p, s1)
    {2, 2, 4},  // s2 from avg(s1, s3)
    {4, 4, 6},  // s4 from avg(s3, s5)
    {6, 6, 8},  // s6 from avg(s5, s7)
};

struct HalfLayout {
    int headerBits = 0;
    FieldKind kind[8] = {};  // indexed by sample s0..s7
    int width[8] = {};
    int offset[8] = {};  // bits from the top of the half's string to the field's top bit
    int drop[8] = {};    // 64 - width: the right shift that takes a field off the top of the string
};

// The field layout of a half for a variant ('A'..'G'), exponent and mode.
constexpr HalfLayout MakeLayout(int variant, int exponent, int mode) {
    HalfLayout l;
    const int m = mode;
    auto set = [&l](int sample, FieldKind kind, int width) {
        l.kind[sample] = kind;
        l.width[sample] = width;
    };
    auto residuals = [&](int k3, int k15, int kEven) {
        set(3, kResidual, k3 + m - 4);
        set(1, kResidual, k15 + m - 4);
        set(5, kResidual, k15 + m - 4);
        for (int s : {0, 2, 4, 6}) set(s, kResidual, kEven + m - 4);
    };
    switch (variant) {
        case 'A':
            l.headerBits = m == 4 ? 3 : 4;
            for (int s = 0; s < 8; ++s) {
                const bool fine = m == 4 ? (s % 2 == 0 || s == 7) : (s % 2 == 1);
                set(s, fine ? kFine : kDirect, fine ? m : m - 1);
            }
            break;
        case 'B':
            l.headerBits = 4;
            for (int s : {7, 3, 1, 5}) set(s, kDirect, m);
            for (int s : {0, 2, 4, 6}) set(s, kResidual, m - 1);
            break;
        case 'C':
            l.headerBits = 2;
            residuals(0, 4, 3);
            set(7, kDirect, m + 1);
            set(3, kDirect, m + 1);
            break;
        case 'D':
            residuals(6, 4, 2);
            if (exponent == 10) {
                l.headerBits = 4;
                set(7, kDirect, m + 2);
                set(3, kDirect, m + 2);
            } else {
                l.headerBits = 3;
                set(7, kDirect, m + 3);
            }
            break;
        case 'E':
            residuals(5, 4, 2);
            l.headerBits = exponent == 8 ? 3 : 2;
            set(7, kDirect, exponent == 8 ? m + 4 : m + 5);
            break;
        case 'F':
            l.headerBits = 3;
            residuals(5, 3, 2);
            set(7, kDirect, m + 6);
            break;
        default:  // 'G'
            l.headerBits = 4;
            residuals(3, 3, 3);
            set(7, kDirect, m + 3);
            break;
    }
    int pos = l.headerBits;
    for (int s = 7; s >= 0; --s) {
        l.offset[s] = pos;
        l.drop[s] = 64 - l.width[s];
        pos += l.width[s];
    }
    return l;
}

// Every layout, worked out at compile time: the decoder looks one up per block. Only the
// exponents 10 of D and 8 of E change a variant's layout.
struct LayoutTable {
    HalfLayout entries[kMaxMode - kMinMode + 1][7][2];
};

constexpr LayoutTable MakeLayoutTable() {
    LayoutTable t{};
    for (int m = kMinMode; m <= kMaxMode; ++m) {
        for (int v = 0; v < 7; ++v) {
            t.entries[m - kMinMode][v][0] = MakeLayout('A' + v, 0, m);
            t.entries[m - kMinMode][v][1] = MakeLayout('A' + v, 'A' + v == 'D' ? 10 : 8, m);
        }
    }
    return t;
}

inline constexpr LayoutTable kLayouts = MakeLayoutTable();

inline const HalfLayout& LayoutFor(int variant, int exponent, int mode) {
    const bool special = (variant == 'D' && exponent == 10) || (variant == 'E' && exponent == 8);
    return kLayouts.entries[mode - kMinMode][variant - 'A'][special ? 1 : 0];
}

}  // namespace voxa
}  // namespace Private
}  // namespace SL
