#include "sound/files/VoxaBlockCodec.h"
#include "sound/files/VoxaBlockFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Block = std::array<int16_t, 16>;
using Bytes = std::vector<uint8_t>;
constexpr int kModes[] = {4, 5, 6, 7, 8};

struct Encoded {
    Bytes bytes;
    int32_t last;
    std::array<int32_t, 16> reconstruction;
    int variant;
    int exponent;
};

Encoded Encode(const Block& samples, int32_t last, int mode) {
    SL::Private::compressor enc;
    Encoded r;
    r.bytes.assign(static_cast<size_t>(2 * mode), 0xAA);
    r.last = enc.EncodeBlock(samples.data(), r.bytes.data(), last, mode, r.reconstruction.data());
    r.variant = enc.GetVariant();
    r.exponent = enc.GetExponent();
    return r;
}

struct Decoded {
    std::vector<int16_t> samples;
    int32_t last;
    int variant;
    int exponent;
};

Decoded Decode(const Bytes& bytes, int32_t last, int mode) {
    SL::Private::expander dec;
    Decoded r;
    r.samples.assign(16, 0x5555);
    r.last = dec.DecodeBlock(bytes.data(), r.samples.data(), last, mode);
    r.variant = dec.GetVariant();
    r.exponent = dec.GetExponent();
    return r;
}

std::vector<int16_t> Samples(std::initializer_list<int> values) {
    return std::vector<int16_t>(values.begin(), values.end());
}

TEST(VoxaBlockCodec, WorkedRampBlockEncodesAndDecodesToTheKnownBytes) {
    Block ramp;
    for (int i = 0; i < 16; ++i) ramp[i] = static_cast<int16_t>(100 * i);
    const Encoded enc = Encode(ramp, 0, 6);
    EXPECT_EQ(enc.bytes, (Bytes{0xE5, 0x7F, 0x0B, 0xB0, 0x00, 0x3E, 0xFF, 0xC0, 0x43, 0x9A, 0x3F, 0xF0}));
    EXPECT_EQ(enc.last, 1500);
    EXPECT_EQ(enc.variant, 'D');
    EXPECT_EQ(enc.exponent, 5);

    const auto expected = Samples({4, 97, 201, 298, 404, 503, 597, 700, 803, 898, 997, 1104, 1197, 1298, 1403, 1500});
    for (int i = 0; i < 16; ++i) EXPECT_EQ(enc.reconstruction[i], expected[i]) << "sample " << i;

    const Decoded dec = Decode(enc.bytes, 0, 6);
    EXPECT_EQ(dec.samples, expected);
    EXPECT_EQ(dec.last, 1500);
}

TEST(VoxaBlockCodec, ZeroBlockTakesTheFloorExponentInEveryMode) {
    struct Case {
        int mode;
        int variant;
        int exponent;
    };
    const Case cases[] = {{4, 'F', 0}, {5, 'F', 1}, {6, 'E', 2}, {7, 'E', 3}, {8, 'D', 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode));
        const Encoded enc = Encode(Block{}, 0, c.mode);
        EXPECT_EQ(enc.variant, c.variant);
        EXPECT_EQ(enc.exponent, c.exponent);
        const Decoded dec = Decode(enc.bytes, 0, c.mode);
        EXPECT_EQ(dec.variant, c.variant);
        EXPECT_EQ(dec.exponent, c.exponent);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(dec.samples[i], enc.reconstruction[i]);
        EXPECT_EQ(dec.last, enc.last);
    }
    EXPECT_EQ(Encode(Block{}, 0, 6).bytes, Bytes(12, 0));
}

TEST(VoxaBlockCodec, AlternatingFullRangeBlockIsCodedDirectlyWithMidpoints) {
    Block samples;
    for (int i = 0; i < 16; ++i) samples[i] = static_cast<int16_t>((i % 2 ? -1 : 1) * 1000 * (i + 1));
    const Encoded enc = Encode(samples, 0, 6);
    EXPECT_EQ(enc.variant, 'A');
    EXPECT_EQ(enc.exponent, 13);
    EXPECT_EQ(enc.reconstruction[0], 1024);
    EXPECT_EQ(enc.reconstruction[1], -1536);
    EXPECT_EQ(enc.reconstruction[2], 3072);
    EXPECT_EQ(enc.reconstruction[3], -3584);
    EXPECT_EQ(enc.reconstruction[15], -15872);
    for (int i = 0; i < 16; ++i) {
        // Odd samples (s1, s3, s5, s7 of a half) keep all but their lowest 10 bits, even ones 11.
        const int dropped = i % 2 ? 10 : 11;
        const int32_t kept = samples[i] - (((samples[i] % (1 << dropped)) + (1 << dropped)) % (1 << dropped));
        EXPECT_EQ(enc.reconstruction[i], kept + (1 << (dropped - 1))) << "sample " << i;
    }
    const Decoded dec = Decode(enc.bytes, 0, 6);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(dec.samples[i], enc.reconstruction[i]);
    EXPECT_EQ(dec.last, -15872);
}

TEST(VoxaBlockCodec, DecoderVectorsForZeroAndAllOnesBlocks) {
    struct Case {
        const char* name;
        int mode;
        uint8_t fill;
        int32_t last;
        std::vector<int16_t> samples;
        int32_t returned;
    };
    const Case cases[] = {
        {"mode 6 zeros after 0", 6, 0x00, 0, std::vector<int16_t>(16, 0), 0},
        {"mode 6 zeros after 1000", 6, 0x00, 1000,
         Samples({875, 750, 625, 500, 375, 250, 125, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0},
        {"mode 4 zeros after 0", 4, 0x00, 0, Samples({3, 3, 5, 3, 5, 4, 5, 2, 5, 5, 6, 4, 6, 5, 5, 2}), 2},
        {"mode 4 ones after 0", 4, 0xFF, 0,
         Samples({-3072, -2048, -4096, -2048, -4096, -2048, -4096, -2048, -4096, -2048, -4096, -2048, -4096, -2048,
                  -4096, -2048}),
         -2048},
        {"mode 6 ones after 0", 6, 0xFF, 0, Samples({-2, -2, -3, -2, -4, -3, -3, -1, -3, -3, -4, -2, -4, -3, -3, -1}),
         -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded dec = Decode(Bytes(static_cast<size_t>(2 * c.mode), c.fill), c.last, c.mode);
        EXPECT_EQ(dec.samples, c.samples);
        EXPECT_EQ(dec.last, c.returned);
    }
}

// The header code table, written out by code ranges: what variant and exponent
// each of the 256 codes of the two halves' top nibbles means in a mode.
std::pair<int, int> ExpectedHeader(int c, int m) {
    auto bit = [c](int i) { return (c >> i) & 1; };
    const int top4 = bit(7) << 3 | bit(6) << 2 | bit(3) << 1 | bit(2);
    const int hi3 = bit(7) << 2 | bit(6) << 1 | bit(5);
    const int lo3 = bit(3) << 2 | bit(2) << 1 | bit(1);
    if (top4 <= 5) return {'E', top4 + 2};
    if (top4 <= 11) return {'C', top4};
    if (m == 4) {
        if (hi3 == 6) return lo3 == 7 ? std::make_pair(int('E'), 8) : std::make_pair(int('F'), lo3);
        if (lo3 <= 5) return {'D', lo3 + 4};
        switch (c) {
            case 0xFE:
                return {'D', 10};
            case 0xFF:
                return {'B', 12};
            case 0xEE:
                return {'G', 0};
            case 0xEF:
                return {'G', 1};
            default:
                return {'A', 13};  // EC, ED, FC, FD
        }
    }
    if (hi3 == 6) {
        if (lo3 <= 5) return {'F', lo3 + 1};
        return lo3 == 6 ? std::make_pair(int('E'), 8) : std::make_pair(int('D'), 4);
    }
    if (lo3 <= 4) return {'D', lo3 + 5};
    switch (c) {
        case 0xFA:
            return {'D', 10};
        case 0xEF:
            return {'A', 13};
        case 0xFB:
            return {'G', 0};
        case 0xFC:
            return {'G', 1};
        case 0xFD:
            return {'G', -3};
        case 0xFE:
            return {'G', -2};
        case 0xFF:
            return {'G', -1};
        default:
            return {'B', c - 0xE2};  // EA .. EE: X + 2 in the second nibble
    }
}

TEST(VoxaBlockCodec, HeaderCodesMapToTheirVariantAndExponentInEveryMode) {
    for (int m : kModes) {
        for (int c = 0; c < 256; ++c) {
            Bytes block(static_cast<size_t>(2 * m), 0);
            block[0] = static_cast<uint8_t>(c & 0xF0);
            block[m == 4 ? 4 : 2] = static_cast<uint8_t>((c & 0x0F) << 4);  // half 1's first byte
            const Decoded dec = Decode(block, 0, m);
            const auto expected = ExpectedHeader(c, m);
            EXPECT_EQ(dec.variant, expected.first) << "mode " << m << " code " << std::hex << c;
            EXPECT_EQ(dec.exponent, expected.second) << "mode " << m << " code " << std::hex << c;
        }
    }
}

// The mode-6 field widths of every variant, written out as the format fixes them: raising one
// field of half 0 by one step must move exactly the sample that the field is laid out for, by
// that step. Header nibbles give the variant; data bits are zero.
TEST(VoxaBlockCodec, ModeSixFieldsLieWhereTheFormatPutsThem) {
    struct Row {
        const char* name;
        uint8_t code;  // half 0's nibble, half 1's nibble
        int exponent;
        int header;
        int widths[8];  // s7, s6, ..., s0
        bool fine[8];   // fields one bit finer (variant A)
    };
    const Row rows[] = {
        {"A", 0xEF, 13, 4, {6, 5, 6, 5, 6, 5, 6, 5}, {true, false, true, false, true, false, true, false}},
        {"B", 0xEA, 8, 4, {6, 5, 6, 5, 6, 5, 6, 5}, {}},
        {"C", 0x48, 6, 2, {7, 5, 6, 5, 7, 5, 6, 5}, {}},
        {"D 4..9", 0xE0, 5, 3, {9, 4, 6, 4, 8, 4, 6, 4}, {}},
        {"D 10", 0xFA, 10, 4, {8, 4, 6, 4, 8, 4, 6, 4}, {}},
        {"E 2..7", 0x00, 2, 2, {11, 4, 6, 4, 7, 4, 6, 4}, {}},
        {"E 8", 0xCC, 8, 3, {10, 4, 6, 4, 7, 4, 6, 4}, {}},
        {"F", 0xC0, 1, 3, {12, 4, 5, 4, 7, 4, 5, 4}, {}},
        {"G", 0xFC, 1, 4, {9, 5, 5, 5, 5, 5, 5, 5}, {}},
    };
    const int m = 6;
    // Where half 0's string byte j lies in a mode-6 block.
    const int placement[6] = {0, 1, 4, 5, 8, 9};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Bytes block(12, 0);
        block[0] = static_cast<uint8_t>(row.code & 0xF0);
        block[2] = static_cast<uint8_t>(row.code << 4);
        const Decoded base = Decode(block, 0, m);
        ASSERT_EQ(base.exponent, row.exponent);
        const int q = row.exponent - m + 4;
        int end = row.header;
        int total = row.header;
        for (int w : row.widths) total += w;
        EXPECT_EQ(total, 8 * m);
        for (int f = 0; f < 8; ++f) {
            const int sample = 7 - f;
            end += row.widths[f];
            const int low = row.fine[f] ? q - 1 : q;
            const int raise = low < 0 ? -low : 0;  // a field below bit 0 counts from bit -low
            const int bit = end - 1 - raise;       // from the top of the half's string
            Bytes changed = block;
            changed[static_cast<size_t>(placement[bit / 8])] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
            const Decoded dec = Decode(changed, 0, m);
            EXPECT_EQ(dec.samples[sample] - base.samples[sample], 1 << (low + raise)) << "s" << sample;
        }
    }
}

// Blocks of the kinds that stress the choice of variant: noise, ramps, tones,
// extremes and nearly constant signals, each walked as a stream of blocks.
std::vector<Block> MakeSignalBlocks(std::mt19937& rng) {
    std::vector<Block> blocks;
    std::uniform_int_distribution<int> full(-32768, 32767);
    std::uniform_int_distribution<int> small(-3, 3);
    std::uniform_int_distribution<int> amp(0, 15);
    for (int b = 0; b < 400; ++b) {  // white noise of random loudness
        Block blk;
        const int shift = amp(rng);
        for (auto& s : blk) s = static_cast<int16_t>(full(rng) >> shift);
        blocks.push_back(blk);
    }
    for (int slope : {1, 7, 100, 1500, 4095, -2222, 30000}) {  // ramps that wrap at the ends
        for (int b = 0; b < 8; ++b) {
            Block blk;
            for (int i = 0; i < 16; ++i) blk[i] = static_cast<int16_t>(static_cast<uint16_t>(slope * (16 * b + i)));
            blocks.push_back(blk);
        }
    }
    for (double freq : {50.0, 440.0, 3000.0, 11025.0, 21000.0}) {  // tones up to full scale
        for (double level : {0.001, 0.1, 1.0}) {
            for (int b = 0; b < 12; ++b) {
                Block blk;
                for (int i = 0; i < 16; ++i) {
                    const double t = (16 * b + i) / 44100.0;
                    blk[i] = static_cast<int16_t>(std::lround(32767.0 * level * std::sin(2 * M_PI * freq * t)));
                }
                blocks.push_back(blk);
            }
        }
    }
    const int16_t extremes[] = {-32768, 32767, 0, -1};
    for (int b = 0; b < 200; ++b) {  // only extreme values
        Block blk;
        for (auto& s : blk) s = extremes[rng() % 4];
        blocks.push_back(blk);
    }
    for (int level : {-32768, -32767, -20000, -1, 0, 1, 777, 32766, 32767}) {  // nearly constant
        for (int b = 0; b < 10; ++b) {
            Block blk;
            for (auto& s : blk) s = static_cast<int16_t>(std::max(-32768, std::min(32767, level + small(rng))));
            blocks.push_back(blk);
        }
    }
    return blocks;
}

TEST(VoxaBlockCodec, DecodingReproducesTheEncodersReconstructionInEveryMode) {
    std::mt19937 rng(20261210);
    const std::vector<Block> blocks = MakeSignalBlocks(rng);
    for (int m : kModes) {
        SCOPED_TRACE("mode " + std::to_string(m));
        int32_t encLast = 0;
        int32_t decLast = 0;
        int failures = 0;
        std::string variantsSeen;
        for (size_t b = 0; b < blocks.size() && failures < 5; ++b) {
            const Encoded enc = Encode(blocks[b], encLast, m);
            const Decoded dec = Decode(enc.bytes, decLast, m);
            bool same = dec.last == enc.last && dec.variant == enc.variant && dec.exponent == enc.exponent;
            for (int i = 0; i < 16; ++i) {
                same = same && dec.samples[i] == enc.reconstruction[i];
                EXPECT_GE(enc.reconstruction[i], -32768);
                EXPECT_LE(enc.reconstruction[i], 32767);
            }
            EXPECT_NE(enc.variant, 'G');
            EXPECT_GE(enc.exponent, m - 4);
            EXPECT_LE(enc.exponent, 13);
            if (m == 4 && enc.variant == 'B') {
                EXPECT_EQ(enc.exponent, 12);
            }
            if (!same) {
                ++failures;
                ADD_FAILURE() << "block " << b << " variant " << char(enc.variant) << " X " << enc.exponent;
            }
            if (variantsSeen.find(char(enc.variant)) == std::string::npos) variantsSeen += char(enc.variant);
            encLast = enc.last;
            decLast = dec.last;
        }
        // The signals must reach every variant the encoder writes, or the property proves little.
        std::sort(variantsSeen.begin(), variantsSeen.end());
        EXPECT_EQ(variantsSeen, "ABCDEF");
    }
}

// Every reconstruction the encoder makes, recomputed from the variant and exponent it chose:
// direct fields keep the sample's bits down to q (fine fields one more) and set the half step;
// residuals are quantised against the average of their already coded neighbours, saturated
// when they do not fit, moved one step back inside the 16-bit range, and raised one step off
// -32768 between two odd neighbours.
TEST(VoxaBlockCodec, ReconstructionsFollowTheClosedLoopQuantiser) {
    // Residual parameter k of s0..s7 per variant (0: direct field).
    auto residualK = [](int variant, int x, int s) {
        const bool even = s % 2 == 0;
        switch (variant) {
            case 'B':
                return even ? 3 : 0;
            case 'C':
                return even ? 3 : (s == 1 || s == 5) ? 4 : 0;
            case 'D':
                return even ? 2 : (s == 1 || s == 5) ? 4 : (s == 3 && x != 10) ? 6 : 0;
            case 'E':
                return even ? 2 : (s == 1 || s == 5) ? 4 : s == 3 ? 5 : 0;
            case 'F':
                return even ? 2 : (s == 1 || s == 5) ? 3 : s == 3 ? 5 : 0;
            default:
                return 0;
        }
    };
    // The two neighbours whose average predicts s_i: -1 is the last sample before the half.
    const int left[8] = {-1, -1, 1, -1, 3, 3, 5, 0};
    const int right[8] = {1, 3, 3, 7, 5, 7, 7, 0};
    enum { kSaturated, kAboveRange, kBelowRange, kOddNeighbours, kRules };
    int fired[kRules] = {};

    std::mt19937 rng(31337);
    std::vector<Block> blocks = MakeSignalBlocks(rng);
    for (int reach : {768, 8}) {  // next to the lower limit, where the range rules act
        std::uniform_int_distribution<int> near(-32768, -32768 + reach);
        for (int b = 0; b < 3000; ++b) {
            Block blk;
            for (auto& v : blk) v = static_cast<int16_t>(rng() % 8 ? near(rng) : int(rng() % 65536) - 32768);
            blocks.push_back(blk);
        }
    }
    for (int m : kModes) {
        int32_t last = 0;
        for (const Block& blk : blocks) {
            const Encoded enc = Encode(blk, last, m);
            const int x = enc.exponent;
            const int q = x - m + 4;
            const int32_t mask = -(int32_t(1) << q);
            const int32_t half = (int32_t(1) << q) >> 1;
            for (int h = 0; h < 2; ++h) {
                const int32_t p = h == 0 ? last : enc.reconstruction[7];
                auto rec = [&](int s) { return s < 0 ? p : enc.reconstruction[8 * h + s]; };
                for (int s = 0; s < 8; ++s) {
                    const int32_t sample = blk[8 * h + s];
                    const int k = residualK(enc.variant, x, s);
                    int32_t expected;
                    if (k == 0) {
                        const bool fine = enc.variant == 'A' && (m == 4 ? (s % 2 == 0 || s == 7) : s % 2 == 1);
                        expected = fine ? (sample & (mask >> 1)) | (half >> 1) : (sample & mask) | half;
                    } else {
                        const int32_t a = rec(left[s]);
                        const int32_t c = rec(right[s]);
                        const int32_t pred = (a + c) >> 1;
                        const int32_t r = sample - pred;
                        const int top = k + x - 1;
                        if ((r >> top) != 0 && (r >> top) != -1) {
                            ++fired[kSaturated];
                            expected = pred
                                       + (r > 0 ? (((int32_t(1) << top) - 1) & mask) | half
                                                : (-(int32_t(1) << top) & mask) | half);
                        } else {
                            expected = pred + ((r & mask) | half);
                            if (expected > 32767) {
                                ++fired[kAboveRange];
                                expected -= int32_t(1) << q;
                            } else if (expected < -32768) {
                                ++fired[kBelowRange];
                                expected += int32_t(1) << q;
                            } else if (expected == -32768 && (a & 1) && (c & 1)) {
                                ++fired[kOddNeighbours];
                                expected += 2 * half;
                            }
                        }
                    }
                    ASSERT_EQ(enc.reconstruction[8 * h + s], expected)
                        << "mode " << m << " variant " << char(enc.variant) << " X " << x << " s" << s;
                }
            }
            last = enc.last;
        }
    }
    EXPECT_GT(fired[kSaturated], 0);
    EXPECT_GT(fired[kAboveRange], 0);
    EXPECT_GT(fired[kBelowRange], 0);
    EXPECT_GT(fired[kOddNeighbours], 0);
}

TEST(VoxaBlockCodec, EncodingSameSamplesAfterAnyLastSampleStillRoundTrips) {
    std::mt19937 rng(7);
    const std::vector<Block> blocks = MakeSignalBlocks(rng);
    const int32_t lasts[] = {-32768, -1, 0, 12345, 32767};
    for (int m : kModes) {
        for (int32_t last : lasts) {
            for (size_t b = 0; b < blocks.size(); b += 7) {
                const Encoded enc = Encode(blocks[b], last, m);
                const Decoded dec = Decode(enc.bytes, last, m);
                ASSERT_EQ(dec.last, enc.last) << "mode " << m << " last " << last << " block " << b;
                for (int i = 0; i < 16; ++i)
                    ASSERT_EQ(dec.samples[i], enc.reconstruction[i]) << "mode " << m << " block " << b;
            }
        }
    }
}

TEST(VoxaBlockCodec, OddModesGiveTheLastByteToTheSecondHalf) {
    // The lowest bit of a half's string is its s0 field, which nothing predicts from:
    // flipping it moves only that half's first sample.
    Block ramp;
    for (int i = 0; i < 16; ++i) ramp[i] = static_cast<int16_t>(100 * i);
    for (int m : {5, 7}) {
        const Encoded enc = Encode(ramp, 0, m);
        const Decoded base = Decode(enc.bytes, 0, m);
        struct Flip {
            int byte;
            int sample;
        };
        for (const Flip flip : {Flip{2 * m - 2, 0}, Flip{2 * m - 1, 8}}) {
            Bytes changed = enc.bytes;
            changed[static_cast<size_t>(flip.byte)] ^= 1;
            const Decoded dec = Decode(changed, 0, m);
            for (int i = 0; i < 16; ++i) {
                EXPECT_EQ(dec.samples[i] != base.samples[i], i == flip.sample)
                    << "mode " << m << " byte " << flip.byte << " sample " << i;
            }
        }
    }
}

TEST(VoxaBlockCodec, ModesOutsideFourToEightAreRefused) {
    SL::Private::compressor enc;
    SL::Private::expander dec;
    int16_t samples[16] = {};
    uint8_t bytes[32] = {};
    for (int mode : {-1, 0, 3, 9, 16}) {
        EXPECT_THROW(enc.EncodeBlock(samples, bytes, 0, mode), std::invalid_argument) << mode;
        EXPECT_THROW(dec.DecodeBlock(bytes, samples, 0, mode), std::invalid_argument) << mode;
    }
}

// The decoder as first written, field by field from the layout with the kind's shifts applied
// in turn: the reference the table-driven decoder must match bit for bit.
int32_t ReferenceDecodeBlock(const uint8_t* block, int16_t* out, int32_t last, int m) {
    using namespace SL::Private::voxa;
    uint8_t s[16] = {};
    std::copy(block, block + 2 * m, s);
    if (m == 4) {
        std::swap(s[2], s[4]);
        std::swap(s[3], s[5]);
    } else if (m % 2 == 1) {
        s[2 * m] = s[2 * m - 1];
    }
    auto half = [&s](int i) {
        auto pair = [&s](int at) { return static_cast<uint64_t>(s[at]) << 8 | s[at + 1]; };
        return pair(i) << 48 | pair(i + 4) << 32 | pair(i + 8) << 16 | pair(i + 12);
    };
    const auto header = ExpectedHeader((s[0] & 0xF0) | (s[2] >> 4), m);
    const int variant = header.first;
    const int x = header.second;
    const int q = x - m + 4;
    const int32_t mask = Shl(-1, x + 4) >> m;
    const int32_t halfStep = Shl(1, x + 4) >> (m + 1);
    const HalfLayout layout = MakeLayout(variant, x, m);
    auto decodeHalf = [&](uint64_t word, int32_t* rec) {
        auto value = [&](int i, int32_t prediction) {
            const bool fine = layout.kind[i] == kFine;
            const int k = fine ? q - 1 : q;
            const int32_t f = static_cast<int32_t>(static_cast<int64_t>(word << layout.offset[i]) >> layout.drop[i]);
            const int32_t coded = (Shl(f, k > 0 ? k : 0) >> (k < 0 ? -k : 0)) & (fine ? mask >> 1 : mask);
            const int32_t predicted = layout.kind[i] == kResidual ? prediction : 0;
            return Add(predicted, coded | (fine ? halfStep >> 1 : halfStep));
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
    };
    int32_t rec[2][9];
    rec[0][0] = last;
    decodeHalf(half(0), rec[0]);
    rec[1][0] = rec[0][8];
    decodeHalf(half(2), rec[1]);
    const bool limitMiddle = variant == 'D' || variant == 'E' || variant == 'F';
    for (int h = 0; h < 2; ++h) {
        for (int i = 0; i < 8; ++i) {
            int32_t v = rec[h][i + 1];
            if (limitMiddle && (i == 2 || i == 4)) v = std::min(v, int32_t(32767));
            out[8 * h + i] = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(v)));
        }
    }
    return rec[1][8];
}

// Every header code of every mode, with random field bits and carried last samples from the
// extremes to the ordinary, decodes as the reference does: one block at a time, and in runs of
// interleaved channels as the file iterator decodes them.
TEST(VoxaBlockCodec, DecoderMatchesTheReferenceOnEveryHeaderCode) {
    std::mt19937 rng(0x5EED);
    const int32_t lasts[] = {0, 1, -1, 32767, -32768, 40000, -40000, INT32_MIN, INT32_MAX};
    constexpr int kChannels = 3;
    constexpr int kBodies = 24;
    for (int m : kModes) {
        SCOPED_TRACE("mode " + std::to_string(m));
        const size_t blockBytes = static_cast<size_t>(2 * m);
        for (int code = 0; code < 256; ++code) {
            // kBodies groups of kChannels blocks, each block carrying the code.
            Bytes groups(kBodies * kChannels * blockBytes);
            for (auto& b : groups) b = static_cast<uint8_t>(rng());
            for (size_t at = 0; at < groups.size(); at += blockBytes) {
                groups[at] = static_cast<uint8_t>((groups[at] & 0x0F) | (code & 0xF0));
                uint8_t& second = groups[at + (m == 4 ? 4 : 2)];
                second = static_cast<uint8_t>((second & 0x0F) | (code & 0x0F) << 4);
            }
            std::vector<int16_t> expected(kBodies * kChannels * 16);
            int32_t expectedLast[kChannels];
            for (int c = 0; c < kChannels; ++c) {
                int32_t last = lasts[(code + c) % 9];
                for (int g = 0; g < kBodies; ++g) {
                    int16_t block[16];
                    last = ReferenceDecodeBlock(&groups[(g * kChannels + c) * blockBytes], block, last, m);
                    for (int i = 0; i < 16; ++i) expected[(g * 16 + i) * kChannels + c] = block[i];
                }
                expectedLast[c] = last;
            }
            std::vector<int16_t> single(expected.size());
            std::vector<int16_t> runs(expected.size());
            SL::Private::expander dec;
            const SL::Private::BlockDecoder decoder(m);
            for (int c = 0; c < kChannels; ++c) {
                int32_t last = lasts[(code + c) % 9];
                for (int g = 0; g < kBodies; ++g) {
                    int16_t block[16];
                    last = dec.DecodeBlock(&groups[(g * kChannels + c) * blockBytes], block, last, m);
                    for (int i = 0; i < 16; ++i) single[(g * 16 + i) * kChannels + c] = block[i];
                }
                ASSERT_EQ(last, expectedLast[c]) << "code " << code;
                const int32_t runLast = decoder.DecodeRun(&groups[c * blockBytes], kChannels * blockBytes, kBodies,
                                                          runs.data() + c, kChannels, lasts[(code + c) % 9]);
                ASSERT_EQ(runLast, expectedLast[c]) << "code " << code;
            }
            ASSERT_EQ(single, expected) << "code " << code;
            ASSERT_EQ(runs, expected) << "code " << code;
        }
    }
}

TEST(VoxaBlockCodec, FuzzNeverFaults) {
    // Any byte pattern and any carried last sample must decode without a fault,
    // and the same input must always give the same output.
    std::mt19937 rng(0xB10C);
    std::uniform_int_distribution<int> byte(0, 255);
    const int32_t oddLasts[] = {INT32_MIN, INT32_MAX, -65536, 65535};
    SL::Private::expander dec;
    for (int m : kModes) {
        int32_t last = 0;
        for (int i = 0; i < 40000; ++i) {
            uint8_t block[16];
            for (int j = 0; j < 2 * m; ++j) block[j] = static_cast<uint8_t>(byte(rng));
            if (i % 1000 == 0) last = oddLasts[(i / 1000) % 4];
            int16_t out[16];
            int16_t again[16];
            const int32_t next = dec.DecodeBlock(block, out, last, m);
            ASSERT_EQ(dec.DecodeBlock(block, again, last, m), next);
            ASSERT_EQ(std::vector<int16_t>(out, out + 16), std::vector<int16_t>(again, again + 16));
            last = next;
        }
    }
    // The encoder too takes any carried last sample without a fault.
    SL::Private::compressor enc;
    std::uniform_int_distribution<int> sample(-32768, 32767);
    for (int m : kModes) {
        for (int32_t last : oddLasts) {
            for (int i = 0; i < 500; ++i) {
                int16_t samples[16];
                for (auto& v : samples) v = static_cast<int16_t>(sample(rng));
                uint8_t block[16];
                enc.EncodeBlock(samples, block, last, m);
                ASSERT_GE(enc.GetVariant(), 'A');
                ASSERT_LE(enc.GetVariant(), 'F');
            }
        }
    }
}

}  // namespace
