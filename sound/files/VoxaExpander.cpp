// Voxa block decoder: the variant and exponent come from the top nibbles of the two
// halves; every byte pattern decodes to something, there is no error path.
#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaBlockFormat.h"

#include <algorithm>
#include <array>
#include <limits>
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

// How one field of a block becomes a value, worked out once per mode and header code:
// value = (prediction AND predicted) + ((word << offset >> shift) AND mask | half step). The one
// arithmetic shift takes the field off the top of its half's string and scales it by the
// exponent at once; the bits it brings in from the next field lie below the mask.
struct FieldPlan {
    int32_t mask;
    int32_t halfStep;
    int32_t predicted;  // all ones for a residual field, 0 for a direct one
    uint8_t offset;
    uint8_t shift;
};

struct CodePlan {
    FieldPlan fields[8];  // by sample s0..s7 of a half
    int32_t middleLimit;  // what s2 and s4 of each half are cut to (variants D, E and F)
    int16_t variant;
    int16_t exponent;
};

struct ModePlans {
    CodePlan codes[256];
};

CodePlan MakeCodePlan(int m, int code) {
    CodePlan plan{};
    const int variant = kCodes.variant[m - kMinMode][code];
    const int x = kCodes.exponent[m - kMinMode][code];
    const int q = x - m + 4;
    const int32_t mask = Shl(-1, x + 4) >> m;
    const int32_t halfStep = Shl(1, x + 4) >> (m + 1);
    const HalfLayout& layout = LayoutFor(variant, x, m);
    for (int i = 0; i < 8; ++i) {
        const bool fine = layout.kind[i] == kFine;
        // Left shift of the field's value when positive, right shift when negative.
        const int scale = fine ? q - 1 : q;
        FieldPlan& f = plan.fields[i];
        f.mask = fine ? mask >> 1 : mask;
        f.halfStep = fine ? halfStep >> 1 : halfStep;
        f.predicted = layout.kind[i] == kResidual ? -1 : 0;
        f.offset = static_cast<uint8_t>(layout.offset[i]);
        f.shift = static_cast<uint8_t>(std::min(63, layout.drop[i] - scale));
    }
    const bool limitMiddle = variant == 'D' || variant == 'E' || variant == 'F';
    plan.middleLimit = limitMiddle ? 32767 : std::numeric_limits<int32_t>::max();
    plan.variant = static_cast<int16_t>(variant);
    plan.exponent = static_cast<int16_t>(x);
    return plan;
}

const ModePlans& PlansFor(int m) {
    static const std::array<ModePlans, kMaxMode - kMinMode + 1>* const plans = [] {
        auto* all = new std::array<ModePlans, kMaxMode - kMinMode + 1>();
        for (int mode = kMinMode; mode <= kMaxMode; ++mode)
            for (int code = 0; code < 256; ++code) (*all)[mode - kMinMode].codes[code] = MakeCodePlan(mode, code);
        return all;
    }();
    return (*plans)[static_cast<size_t>(m - kMinMode)];
}

// The two halves of a block as 64-bit big-endian strings: half 0 holds the byte pairs 0, 4, 8,
// 12 and half 1 the pairs 2, 6, 10, 14 of the block padded to 16 bytes with zeros. Mode 4
// swaps its middle pairs; in odd modes the last byte also stands at 2 * mode.
template <int M>
inline void GetHalves(const uint8_t* b, uint64_t& half0, uint64_t& half1) {
    auto at = [b](int i) -> uint64_t {
        if (M == 4) {
            constexpr int kSwapped[8] = {0, 1, 4, 5, 2, 3, 6, 7};
            return b[kSwapped[i]];
        }
        if (i < 2 * M) return b[i];
        if (M % 2 == 1 && i == 2 * M) return b[2 * M - 1];
        return 0;
    };
    auto half = [&at](int first) {
        uint64_t word = 0;
        for (int pair = first; pair < 16; pair += 4) {
            if (M == 4 && pair >= 8) {
                word <<= 16;
                continue;
            }
            word = word << 16 | at(pair) << 8 | at(pair + 1);
        }
        return word;
    };
    half0 = half(0);
    half1 = half(2);
}

inline int32_t FieldValue(const FieldPlan& f, uint64_t word, int32_t prediction) {
    const auto scaled = static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(word << f.offset) >> f.shift));
    return Add(prediction & f.predicted, (static_cast<int32_t>(scaled) & f.mask) | f.halfStep);
}

// One half: rec[0] is the last sample before it, rec[1..8] receive s0..s7.
inline void DecodeHalf(const CodePlan& plan, uint64_t word, int32_t* rec) {
    const FieldPlan* f = plan.fields;
    const int32_t p = rec[0];
    const int32_t s7 = FieldValue(f[7], word, 0);
    const int32_t s3 = FieldValue(f[3], word, Avg(p, s7));
    const int32_t s1 = FieldValue(f[1], word, Avg(p, s3));
    const int32_t s5 = FieldValue(f[5], word, Avg(s3, s7));
    rec[1] = FieldValue(f[0], word, Avg(p, s1));
    rec[2] = s1;
    rec[3] = FieldValue(f[2], word, Avg(s1, s3));
    rec[4] = s3;
    rec[5] = FieldValue(f[4], word, Avg(s3, s5));
    rec[6] = s5;
    rec[7] = FieldValue(f[6], word, Avg(s5, s7));
    rec[8] = s7;
}

inline void Output(const int32_t* rec, int32_t middleLimit, int16_t* out, ptrdiff_t stride) {
    for (int i = 0; i < 8; ++i) {
        int32_t v = rec[i + 1];
        if (i == 2 || i == 4) v = std::min(v, middleLimit);
        out[i * stride] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v)));
    }
}

// Decodes one block into out[0], out[stride], ..., out[15 * stride]; the new last sample.
template <int M>
inline int32_t DecodeOne(const ModePlans& plans, const uint8_t* block, int16_t* out, ptrdiff_t stride, int32_t last,
                         const CodePlan** used = nullptr) {
    uint64_t half0;
    uint64_t half1;
    GetHalves<M>(block, half0, half1);
    const CodePlan& plan = plans.codes[((half0 >> 56) & 0xF0) | (half1 >> 60)];
    if (used) *used = &plan;
    int32_t rec0[9];
    int32_t rec1[9];
    rec0[0] = last;
    DecodeHalf(plan, half0, rec0);
    rec1[0] = rec0[8];
    DecodeHalf(plan, half1, rec1);
    Output(rec0, plan.middleLimit, out, stride);
    Output(rec1, plan.middleLimit, out + 8 * stride, stride);
    return rec1[8];
}

template <int M>
int32_t DecodeRunOf(const void* plans, const uint8_t* blocks, size_t blockStride, size_t count, int16_t* out,
                    ptrdiff_t outStride, int32_t last) {
    const auto& p = *static_cast<const ModePlans*>(plans);
    for (size_t i = 0; i < count; ++i)
        last = DecodeOne<M>(p, blocks + i * blockStride, out + static_cast<ptrdiff_t>(16 * i) * outStride, outStride,
                            last);
    return last;
}

template <int M>
int32_t DecodeReporting(const uint8_t* block, int16_t* out, int32_t last, const CodePlan** used) {
    return DecodeOne<M>(PlansFor(M), block, out, 1, last, used);
}

// The decoding functions of each mode, compiled for it.
struct ModeFunctions {
    int32_t (*run)(const void*, const uint8_t*, size_t, size_t, int16_t*, ptrdiff_t, int32_t);
    int32_t (*one)(const uint8_t*, int16_t*, int32_t, const CodePlan**);
};

template <int M>
constexpr ModeFunctions FunctionsOf() {
    return {DecodeRunOf<M>, DecodeReporting<M>};
}

constexpr ModeFunctions kModeFunctions[] = {FunctionsOf<4>(), FunctionsOf<5>(), FunctionsOf<6>(), FunctionsOf<7>(),
                                            FunctionsOf<8>()};

}  // namespace

BlockDecoder::BlockDecoder(int mode) {
    if (!IsValidMode(mode)) throw std::invalid_argument("Voxa mode must be 4 to 8");
    m_plans = &PlansFor(mode);
    m_run = kModeFunctions[mode - kMinMode].run;
}

int32_t expander::DecodeBlock(const uint8_t* block, int16_t* out, int32_t last, int32_t mode) {
    if (!IsValidMode(mode)) throw std::invalid_argument("Voxa mode must be 4 to 8");
    const CodePlan* plan = nullptr;
    last = kModeFunctions[mode - kMinMode].one(block, out, last, &plan);
    m_exponent = plan->exponent;
    m_variant = plan->variant;
    return last;
}

}  // namespace Private
}  // namespace SL
