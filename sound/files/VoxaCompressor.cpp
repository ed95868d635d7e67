// Voxa block encoder: picks the variant and exponent from the block's peaks, then
// codes each half closed-loop, so every prediction uses the decoder's values.
#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaBlockFormat.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace SL {
namespace Private {

using namespace voxa;

namespace {

struct Quantiser {
    int exponent;
    int q;
    int32_t mask;
    int32_t halfStep;
};

int32_t QuantiseResidual(int32_t x, int32_t a, int32_t b, int k, const Quantiser& qz) {
    const int32_t pred = Avg(a, b);
    const int32_t r = Sub(x, pred);
    const int bits = k + qz.exponent - 1;
    const int32_t top = r >> bits;
    if (top != 0 && top != -1) {
        // Out of the field's reach: saturate rather than wrap.
        return r > 0 ? ((qz.mask & (Shl(1, bits) - 1)) | qz.halfStep) : ((qz.mask & Shl(-1, bits)) | qz.halfStep);
    }
    const int32_t rq = (r & qz.mask) | qz.halfStep;
    const int32_t g = Add(pred, rq);
    if (g < -32768 || g > 32767) {
        // One step back inside the 16-bit range.
        return Sub(g ^ (qz.mask & 0xFFFF), pred);
    }
    if (g == -32768 && (a & 1) && (b & 1)) return rq + 2 * qz.halfStep;
    return rq;
}

struct HeaderBits {
    uint32_t value[2];  // half 0, half 1
    int bits;
};

HeaderBits MakeHeader(int variant, int x, int m) {
    const bool m4 = m == 4;
    switch (variant) {
        case 'A':
            return m4 ? HeaderBits{{7, 6}, 3} : HeaderBits{{14, 15}, 4};
        case 'B':
            return m4 ? HeaderBits{{15, 15}, 4} : HeaderBits{{14, static_cast<uint32_t>(x + 2)}, 4};
        case 'C':
            return HeaderBits{{static_cast<uint32_t>(x >> 2), static_cast<uint32_t>(x & 3)}, 2};
        case 'D':
            if (x == 10) return m4 ? HeaderBits{{15, 14}, 4} : HeaderBits{{15, 10}, 4};
            {
                const uint32_t y = static_cast<uint32_t>(x + (m4 ? 52 : 51));
                return HeaderBits{{y >> 3, y & 7}, 3};
            }
        case 'E':
            if (x == 8) return m4 ? HeaderBits{{6, 7}, 3} : HeaderBits{{6, 6}, 3};
            {
                const uint32_t y = static_cast<uint32_t>(x - 2);
                return HeaderBits{{y >> 2, y & 3}, 2};
            }
        default:  // 'F'
            return HeaderBits{{6, static_cast<uint32_t>(m4 ? x : x - 1)}, 3};
    }
}

// Codes one half into the top 8m bits of a 64-bit string; rec[0] is the last
// sample before the half, rec[i + 1] receives the reconstruction of s_i.
uint64_t EncodeHalf(const int16_t* s, const HalfLayout& layout, const Quantiser& qz, uint32_t header, int32_t* rec) {
    uint64_t word = static_cast<uint64_t>(header) << (64 - layout.headerBits);
    for (const CodingStep& step : kCodingOrder) {
        const int i = step.sample;
        const int32_t x = s[i];
        int32_t v;
        int32_t field;
        switch (layout.kind[i]) {
            case kDirect:
                v = (x & qz.mask) | qz.halfStep;
                field = v >> qz.q;
                break;
            case kFine:
                v = (x & (qz.mask >> 1)) | (qz.halfStep >> 1);
                field = v >> (qz.q - 1);
                break;
            default: {
                const int k = layout.width[i] + qz.q - qz.exponent;  // width is k + m - 4, and q - X is 4 - m
                const int32_t a = rec[step.left];
                const int32_t b = rec[step.right];
                const int32_t rq = QuantiseResidual(x, a, b, k, qz);
                v = Add(Avg(a, b), rq);
                field = rq >> qz.q;
                break;
            }
        }
        rec[i + 1] = v;
        const int w = layout.width[i];
        const uint64_t bits = static_cast<uint64_t>(static_cast<uint32_t>(field)) & ((uint64_t(1) << w) - 1);
        word |= bits << (64 - layout.offset[i] - w);
    }
    return word;
}

void PutBigEndian(uint64_t word, uint8_t* bytes) {
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(word >> (56 - 8 * i));
}

}  // namespace

int32_t compressor::EncodeBlock(const int16_t* samples, uint8_t* out, int32_t last, int32_t mode,
                                int32_t* reconstruction) {
    const int m = mode;
    if (!IsValidMode(m)) throw std::invalid_argument("Voxa mode must be 4 to 8");

    // Magnitude peaks (OR-ed, so only the top bit counts) of what the block's fields must hold,
    // from the input samples alone: the direct samples s7, s3 and s1/s5, and the residuals
    // left after predicting s3, s1/s5 and the even samples from their neighbours.
    int32_t peakS7 = 0, peakS3 = 0, peakS1S5 = 0;
    int32_t peakS3Residual = 0, peakS1S5Residuals = 0, peakEvenResiduals = 0;
    for (int half = 0; half < 2; ++half) {
        const int16_t* s = samples + 8 * half;
        const int32_t p = half == 0 ? last : samples[7];
        peakS7 |= Mag(s[7]);
        peakS3 |= Mag(s[3]);
        peakS3Residual |= Mag(Sub(s[3], Avg(p, s[7])));
        peakS1S5 |= Mag(s[1]) | Mag(s[5]);
        peakS1S5Residuals |= Mag(Sub(s[1], Avg(p, s[3]))) | Mag(Sub(s[5], Avg(s[3], s[7])));
        peakEvenResiduals |= Mag(Sub(s[0], Avg(p, s[1]))) | Mag(Sub(s[2], Avg(s[1], s[3])))
                             | Mag(Sub(s[4], Avg(s[3], s[5]))) | Mag(Sub(s[6], Avg(s[5], s[7])));
    }

    // Each variant's need: its peaks scaled to the variant's field reaches, OR-ed with the
    // floor that keeps the exponent at m - 4 or above. The lowest top bit wins.
    const int32_t modeFloor = 3 << (m - 4);
    const int32_t evenResiduals2 = Shl(peakEvenResiduals, 1);
    int32_t needs[5];  // B, C, D, E, F
    needs[0] = peakEvenResiduals | ((peakS7 | peakS3 | peakS1S5 | 0x7FE) >> 1) | modeFloor | (m == 4 ? 0x3FFF : 0);
    needs[1] = (peakS7 >> 2) | (peakS3 >> 2) | 0xFF | (peakS1S5Residuals >> 1) | peakEvenResiduals | modeFloor;
    needs[2] = (peakS7 >> 4) | 0x3F | evenResiduals2 | (peakS3Residual >> 3) | (peakS1S5Residuals >> 1) | modeFloor;
    if (needs[2] > 0x7FF) needs[2] = (peakS1S5Residuals >> 1) | 0xFFF | evenResiduals2;
    needs[3] = (peakS7 >> 6) | 0xF | (peakS3Residual >> 2) | (peakS1S5Residuals >> 1) | evenResiduals2 | modeFloor;
    needs[4] =
        (peakS7 >> 7) | 3 | (peakS3Residual >> 2) | evenResiduals2 | peakS1S5Residuals | modeFloor | (m > 4 ? 7 : 0);

    // The need with the lowest top bit wins; ties keep the earlier one.
    int32_t winner = needs[0];
    for (int i = 1; i < 5; ++i) {
        if ((winner & ~needs[i]) > needs[i]) winner = needs[i];
    }
    const int topBit = 31 - __builtin_clz(static_cast<uint32_t>(winner));  // winner >= 3
    const int x = std::min(13, topBit - 1);
    int variant = 'A';
    if (x < 13) {
        for (int i = 0; i < 5; ++i) {
            if (needs[i] == winner) {
                variant = 'B' + i;
                break;
            }
        }
    }

    Quantiser qz;
    qz.exponent = x;
    qz.q = x - m + 4;
    qz.mask = Shl(-1, qz.q);
    qz.halfStep = Shl(1, qz.q) >> 1;
    m_exponent = static_cast<int16_t>(x);
    m_variant = static_cast<int16_t>(variant);

    const HalfLayout& layout = LayoutFor(variant, x, m);
    const HeaderBits header = MakeHeader(variant, x, m);

    int32_t rec0[9];
    int32_t rec1[9];
    rec0[0] = last;
    const uint64_t word0 = EncodeHalf(samples, layout, qz, header.value[0], rec0);
    rec1[0] = rec0[8];
    const uint64_t word1 = EncodeHalf(samples + 8, layout, qz, header.value[1], rec1);

    // Halves interleaved in pairs of bytes, then packed to 2m bytes.
    uint8_t h0[8];
    uint8_t h1[8];
    PutBigEndian(word0, h0);
    PutBigEndian(word1, h1);
    uint8_t scratch[16];
    for (int j = 0; j < 4; ++j) {
        scratch[4 * j] = h0[2 * j];
        scratch[4 * j + 1] = h0[2 * j + 1];
        scratch[4 * j + 2] = h1[2 * j];
        scratch[4 * j + 3] = h1[2 * j + 1];
    }
    if (m == 4) {
        std::swap(scratch[2], scratch[4]);
        std::swap(scratch[3], scratch[5]);
    } else if (m % 2 == 1) {
        scratch[2 * m - 1] = scratch[2 * m];
    }
    std::memcpy(out, scratch, static_cast<size_t>(2 * m));

    if (reconstruction) {
        std::copy(rec0 + 1, rec0 + 9, reconstruction);
        std::copy(rec1 + 1, rec1 + 9, reconstruction + 8);
    }
    return rec1[8];
}

}  // namespace Private
}  // namespace SL
