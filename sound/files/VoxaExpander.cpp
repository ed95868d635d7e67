// Voxa block decoder: the variant and exponent come from the top nibbles of the two
// halves; every byte pattern decodes to something, there is no error path.
#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaBlockFormat.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace SL {
namespace Private {

using namespace voxa;

namespace {

struct Classified {
    int variant;
    int exponent;
};

constexpr Classified Classify(int c, int m) {
    const bool m4 = m == 4;
    const int e = c & 0xEE;
    const int f6 = (((c >> 5) & 7) << 3) | ((c >> 1) & 7);
    const int top4 = (((c >> 6) & 3) << 2) | ((c >> 2) & 3);  // c7 c6 c3 c2
    if ((c & 0xCC) < 0x48) return {'E', top4 + 2};
    if (e == (m4 ? 0xCE : 0xCC)) return {'E', 8};
    if ((c & 0xCC) < 0xC0) return {'C', top4};
    if (e < (m4 ? 0xCE : 0xCC)) return {'F', f6 - (m4 ? 48 : 47)};
    if (m4 ? (e < 0xEC || c == 0xFE) : (e < 0xEA || c == 0xFA)) {
        const bool ten = m4 ? e >= 0xEE : e >= 0xEA;
        return {'D', ten ? 10 : f6 - (m4 ? 52 : 51)};
    }
    if (m4 ? (c < 0xFE && e != 0xEC) : c > 0xFA) {
        return {'G', m4 ? c - 0xEE : (c <= 0xFC ? c - 0xFB : c - 0x100)};
    }
    if (c == 0xFF || (!m4 && c != 0xEF)) return {'B', m4 ? 12 : c - 0xE2};
    return {'A', 13};
}

// The classification of every header code, worked out at compile time so that a block
// costs one look-up instead of a chain of data-dependent branches.
struct CodeTable {
    int8_t variant[kMaxMode - kMinMode + 1][256];
    int8_t exponent[kMaxMode - kMinMode + 1][256];
};

constexpr CodeTable MakeCodeTable() {
    CodeTable t{};
    for (int m = kMinMode; m <= kMaxMode; ++m) {
        for (int c = 0; c < 256; ++c) {
            const Classified k = Classify(c, m);
            t.variant[m - kMinMode][c] = static_cast<int8_t>(k.variant);
            t.exponent[m - kMinMode][c] = static_cast<int8_t>(k.exponent);
        }
    }
    return t;
}

constexpr CodeTable kCodes = MakeCodeTable();

// Two bytes at s[i], s[i + 1] and the pair four bytes on, ..., as one big-endian word.
uint64_t GetHalf(const uint8_t* s, int i) {
    auto pair = [s](int at) { return static_cast<uint64_t>(s[at]) << 8 | s[at + 1]; };
    return pair(i) << 48 | pair(i + 4) << 32 | pair(i + 8) << 16 | pair(i + 12);
}

// Constants of one block per field kind, so that a half decodes without branches:
// value = (prediction AND predicted) + ((field << up >> down) AND mask | half step).
struct KindPlan {
    int up;
    int down;
    int32_t mask;
    int32_t halfStep;
    int32_t predicted;  // all ones for a residual field, 0 for a direct one
};

struct BlockPlan {
    const HalfLayout* layout;
    KindPlan kinds[3];  // indexed by FieldKind
};

BlockPlan MakePlan(const HalfLayout& layout, int q, int32_t mask, int32_t halfStep) {
    BlockPlan plan;
    plan.layout = &layout;
    const KindPlan direct{q > 0 ? q : 0, q < 0 ? -q : 0, mask, halfStep, 0};
    plan.kinds[kDirect] = direct;
    plan.kinds[kFine] = {q - 1 > 0 ? q - 1 : 0, q - 1 < 0 ? 1 - q : 0, mask >> 1, halfStep >> 1, 0};
    plan.kinds[kResidual] = direct;
    plan.kinds[kResidual].predicted = -1;
    return plan;
}

// Decodes one half's string of any variant (used for A, the one with fine fields);
// rec[0] is the last sample before the half.
void DecodeHalf(uint64_t word, const BlockPlan& plan, int32_t* rec) {
    const HalfLayout& layout = *plan.layout;
    auto value = [&](int i, int32_t prediction) {
        const KindPlan& k = plan.kinds[layout.kind[i]];
        const int32_t f = static_cast<int32_t>(static_cast<int64_t>(word << layout.offset[i]) >> layout.drop[i]);
        const int32_t coded = (Shl(f, k.up) >> k.down) & k.mask;
        return Add(prediction & k.predicted, coded | k.halfStep);
    };
    const int32_t p = rec[0];
    const int32_t s7 = value(7, 0);
    const int32_t s3 = value(3, Avg(p, s7));
    const int32_t s1 = value(1, Avg(p, s3));
    const int32_t s5 = value(5, Avg(s3, s7));
    rec[1] = value(0, Avg(p, s1));
    rec[2] = s1;
    rec[3] = value(2, Avg(s1, s3));
    rec[4] = s3;
    rec[5] = value(4, Avg(s3, s5));
    rec[6] = s5;
    rec[7] = value(6, Avg(s5, s7));
    rec[8] = s7;
}

// The same for the variants B to G, with the field kinds fixed at compile time: s7 is
// direct and the even samples residual in all of them; s3 and s1, s5 vary.
template <bool S3Direct, bool S15Direct>
void DecodeHalfOf(uint64_t word, const BlockPlan& plan, int32_t* rec) {
    const HalfLayout& layout = *plan.layout;
    const KindPlan& k = plan.kinds[kDirect];
    auto coded = [&](int i) {
        const int32_t f = static_cast<int32_t>(static_cast<int64_t>(word << layout.offset[i]) >> layout.drop[i]);
        return ((Shl(f, k.up) >> k.down) & k.mask) | k.halfStep;
    };
    const int32_t p = rec[0];
    const int32_t s7 = coded(7);
    const int32_t s3 = S3Direct ? coded(3) : Add(Avg(p, s7), coded(3));
    const int32_t s1 = S15Direct ? coded(1) : Add(Avg(p, s3), coded(1));
    const int32_t s5 = S15Direct ? coded(5) : Add(Avg(s3, s7), coded(5));
    rec[1] = Add(Avg(p, s1), coded(0));
    rec[2] = s1;
    rec[3] = Add(Avg(s1, s3), coded(2));
    rec[4] = s3;
    rec[5] = Add(Avg(s3, s5), coded(4));
    rec[6] = s5;
    rec[7] = Add(Avg(s5, s7), coded(6));
    rec[8] = s7;
}

using HalfDecoder = void (*)(uint64_t, const BlockPlan&, int32_t*);

HalfDecoder HalfDecoderFor(int variant, int exponent) {
    switch (variant) {
        case 'A':
            return DecodeHalf;
        case 'B':
            return DecodeHalfOf<true, true>;
        case 'C':
            return DecodeHalfOf<true, false>;
        case 'D':
            return exponent == 10 ? DecodeHalfOf<true, false> : DecodeHalfOf<false, false>;
        default:
            return DecodeHalfOf<false, false>;
    }
}

void Output(const int32_t* rec, bool limitMiddle, int16_t* out) {
    for (int i = 0; i < 8; ++i) {
        int32_t v = rec[i + 1];
        if (limitMiddle && (i == 2 || i == 4)) v = std::min(v, int32_t(32767));
        out[i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v)));
    }
}

}  // namespace

int32_t expander::DecodeBlock(const uint8_t* block, int16_t* out, int32_t last, int32_t mode) {
    const int m = mode;
    if (!IsValidMode(m)) throw std::invalid_argument("Voxa mode must be 4 to 8");
    uint8_t s[16] = {};
    std::memcpy(s, block, static_cast<size_t>(2 * m));
    if (m == 4) {
        std::swap(s[2], s[4]);
        std::swap(s[3], s[5]);
    } else if (m % 2 == 1) {
        s[2 * m] = s[2 * m - 1];
    }
    const uint64_t word0 = GetHalf(s, 0);
    const uint64_t word1 = GetHalf(s, 2);

    const int code = (s[0] & 0xF0) | (s[2] >> 4);
    const Classified kind{kCodes.variant[m - kMinMode][code], kCodes.exponent[m - kMinMode][code]};
    const int x = kind.exponent;
    const int q = x - m + 4;
    const int32_t mask = Shl(-1, x + 4) >> m;
    const int32_t halfStep = Shl(1, x + 4) >> (m + 1);
    m_exponent = static_cast<int16_t>(x);
    m_variant = static_cast<int16_t>(kind.variant);

    const BlockPlan plan = MakePlan(LayoutFor(kind.variant, x, m), q, mask, halfStep);
    const bool limitMiddle = kind.variant == 'D' || kind.variant == 'E' || kind.variant == 'F';
    int32_t rec0[9];
    int32_t rec1[9];
    rec0[0] = last;
    const HalfDecoder decodeHalf = HalfDecoderFor(kind.variant, x);
    decodeHalf(word0, plan, rec0);
    rec1[0] = rec0[8];
    decodeHalf(word1, plan, rec1);
    Output(rec0, limitMiddle, out);
    Output(rec1, limitMiddle, out + 8);
    return rec1[8];
}

}  // namespace Private
}  // namespace SL
