#include "sound/model/InterleavedConversion.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace {

using SL::CExtent;
using SL::EBitDepth;
using Bytes = SL::SampleBytes;

const EBitDepth kFormats[] = {EBitDepth::INTEGER8S, EBitDepth::INTEGER8, EBitDepth::INTEGER16, EBitDepth::INTEGER24,
                              EBitDepth::INTEGER32, EBitDepth::FLOAT32,  EBitDepth::FLOAT64,   EBitDepth::COMPLEX32,
                              EBitDepth::COMPLEX64, EBitDepth::POINT64};

boost::shared_ptr<SL::CChannelCollection> Convert(const Bytes& bytes, EBitDepth dst, EBitDepth src, int order,
                                                  int channels) {
    return SL::ConvertInterleavedSamples(SL::CWaveFormat::WAVE, bytes, dst, src, order, channels);
}

template <EBitDepth F>
std::vector<SL::SampleElement<F>> ChannelValues(const SL::CChannelCollection& collection, std::size_t index) {
    const auto& channel = dynamic_cast<const SL::CChannel<F>&>(*collection.at(index));
    return std::vector<SL::SampleElement<F>>(channel.begin(), channel.end());
}

using I16 = std::vector<int16_t>;

TEST(InterleavedConversion, SameIntegerFormatLiftsTheMostNegativeValue) {
    const Bytes bytes{0x00, 0x80, 0xFF, 0x7F};
    const auto little = Convert(bytes, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 2);
    ASSERT_TRUE(little);
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*little, 0), I16{-32767});
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*little, 1), I16{32767});
    const auto big = Convert(bytes, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 0, 2);
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*big, 0), I16{128});
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*big, 1), I16{-129});
}

// The chunk's last byte is no whole sample: it is neither read nor converted. The vector holds
// exactly five bytes, so the sanitizer catches any read past them.
TEST(InterleavedConversion, PartialFrameIsIgnored) {
    const Bytes five{0x01, 0x00, 0x02, 0x00, 0x7F};
    const auto one = Convert(five, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 1);
    EXPECT_EQ(one->GetRange(), CExtent(0, 2));
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*one, 0), (I16{1, 2}));

    // Two channels of 5 bytes: one whole frame; the second channel never reads byte 4.
    const auto two = Convert(five, EBitDepth::FLOAT64, EBitDepth::INTEGER16, 1, 2);
    EXPECT_EQ(two->GetRange(), CExtent(0, 1));
    EXPECT_EQ(ChannelValues<EBitDepth::FLOAT64>(*two, 1), std::vector<double>{2.0 / 32767.0});

    // Less than one frame: channels with no samples, peaks recomputed to 0.
    const Bytes three{0x10, 0x20, 0x30};
    const auto none = Convert(three, EBitDepth::INTEGER24, EBitDepth::INTEGER24, 0, 2);
    ASSERT_EQ(none->size(), 2u);
    EXPECT_EQ(none->GetRange(), CExtent(0, 0));
    EXPECT_EQ(none->at(1)->GetPeak(), 0.0);

    const Bytes twelvePlus{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const auto three24 = Convert(twelvePlus, EBitDepth::INTEGER32, EBitDepth::INTEGER24, 1, 2);
    EXPECT_EQ(three24->GetRange(), CExtent(0, 2));
}

TEST(InterleavedConversion, ChannelTakesItsInterleavedPosition) {
    Bytes bytes(12);
    for (std::size_t i = 0; i < bytes.size(); i += 2)
        bytes[i] = static_cast<uint8_t>(i);  // little-endian sample value = byte offset
    const auto three = Convert(bytes, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 3);
    ASSERT_EQ(three->size(), 3u);
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*three, 2), (I16{4, 10}));
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*three, 0), (I16{0, 6}));
}

TEST(InterleavedConversion, SpotValues) {
    const Bytes unsignedBytes{0x00, 0x80, 0xFF};
    const auto asFloat = Convert(unsignedBytes, EBitDepth::FLOAT32, EBitDepth::INTEGER8, 1, 1);
    EXPECT_EQ(ChannelValues<EBitDepth::FLOAT32>(*asFloat, 0),
              (std::vector<float>{static_cast<float>(-128.0 / 127.0), 0.0f, 1.0f}));
    const auto asBytes = Convert(unsignedBytes, EBitDepth::INTEGER8, EBitDepth::INTEGER8, 1, 1);
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER8>(*asBytes, 0), (std::vector<uint8_t>{1, 128, 255}));

    const Bytes int24{0x80, 0x00, 0x00};
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*Convert(int24, EBitDepth::INTEGER16, EBitDepth::INTEGER24, 0, 1), 0),
              I16{-32767});
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER16>(*Convert(int24, EBitDepth::INTEGER16, EBitDepth::INTEGER24, 1, 1), 0),
              I16{0});

    Bytes halves(16);
    const double values[] = {0.5, -0.5};
    std::memcpy(halves.data(), values, sizeof values);
    EXPECT_EQ(ChannelValues<EBitDepth::INTEGER8>(*Convert(halves, EBitDepth::INTEGER8, EBitDepth::FLOAT64, 1, 1), 0),
              (std::vector<uint8_t>{192, 65}));

    Bytes huge(16);
    const double parts[] = {1e300, -1e300};
    std::memcpy(huge.data(), parts, sizeof parts);
    const auto narrowed =
        ChannelValues<EBitDepth::COMPLEX32>(*Convert(huge, EBitDepth::COMPLEX32, EBitDepth::COMPLEX64, 1, 1), 0);
    ASSERT_EQ(narrowed.size(), 1u);
    EXPECT_EQ(narrowed[0], std::complex<float>(3.4028235e38f, -3.4028235e38f));

    // Big-endian complex: each part's bytes reversed on their own, the real part first.
    const Bytes bigComplex{0x3F, 0x80, 0x00, 0x00, 0xC0, 0x00, 0x00, 0x00};
    const auto complex =
        ChannelValues<EBitDepth::COMPLEX32>(*Convert(bigComplex, EBitDepth::COMPLEX32, EBitDepth::COMPLEX32, 0, 1), 0);
    EXPECT_EQ(complex, (std::vector<std::complex<float>>{{1.0f, -2.0f}}));
}

TEST(InterleavedConversion, PeaksAreRecomputed) {
    const auto silent = Convert(Bytes(8, 0x00), EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 2);
    EXPECT_EQ(silent->at(0)->GetPeak(), 0.0);
    EXPECT_EQ(silent->at(1)->GetPeak(), 0.0);
    const Bytes loud{0x00, 0x40, 0xFF, 0x7F};
    const auto mixed = Convert(loud, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, 1);
    EXPECT_DOUBLE_EQ(mixed->at(0)->GetPeak(), 1.0);
}

TEST(InterleavedConversion, RefusesCodesOutsideTheTen) {
    const Bytes bytes{1, 2, 3, 4};
    EXPECT_FALSE(Convert(bytes, EBitDepth::NONE, EBitDepth::INTEGER16, 1, 1));
    EXPECT_FALSE(Convert(bytes, EBitDepth::INTEGER16, EBitDepth::NONE, 1, 1));
    EXPECT_FALSE(
        SL::ConvertInterleavedSamplesTo<EBitDepth::FLOAT64>(SL::CWaveFormat::WAVE, bytes, SL::CBitDepth(), 1, 1));
}

TEST(InterleavedConversion, ChannelCountsAndEmptyBytes) {
    const Bytes bytes{1, 2, 3, 4};
    for (const int count : {0, -3}) {
        const auto none = Convert(bytes, EBitDepth::INTEGER16, EBitDepth::INTEGER16, 1, count);
        ASSERT_TRUE(none);
        EXPECT_TRUE(none->empty());
    }
    const auto empty = Convert(Bytes(), EBitDepth::FLOAT32, EBitDepth::INTEGER24, 0, 3);
    ASSERT_EQ(empty->size(), 3u);
    EXPECT_EQ(empty->GetRange(), CExtent(0, 0));
    EXPECT_EQ(empty->at(2)->GetPeak(), 1.0);  // not recomputed
    EXPECT_EQ(empty->GetWaveFormat(), SL::CWaveFormat::WAVE);
    EXPECT_TRUE(dynamic_cast<SL::CChannel<EBitDepth::FLOAT32>*>(empty->at(0).get()));
    // The typed factory stays with the handed-out collection.
    empty->Resize(1);
    EXPECT_TRUE(dynamic_cast<SL::CChannel<EBitDepth::FLOAT32>*>(empty->at(0).get()));
}

// ---- Every ordered pair against the independent oracle ----

// The kind of rule for source row, destination column, in the order of kFormats.
const char* const kPairKinds[] = {
    "RRRRRRRZZZ", "RRRRRRRZZZ", "RRRRRRRZZZ", "RRRRRRRZZZ", "RRRRRRRZZZ",
    "RRRRRRRZZZ", "RRRRRRRZZZ", "ZZZZZZZCCZ", "ZZZZZZZCCZ", "ZZZZZZZZZP",
};

void Append(Bytes& out, const void* value, int size, int order) {
    const auto* p = static_cast<const uint8_t*>(value);
    for (int i = 0; i < size; ++i) out.push_back(p[order == 1 ? i : size - 1 - i]);
}

// One sample of the format in the byte order: an edge or ordinary value chosen by seed, or
// raw pseudo-random bytes (which for floating formats include NaN, infinities, huge and tiny values).
void AppendSample(Bytes& out, EBitDepth format, int order, uint32_t seed) {
    static const double kReals[] = {0.0, -0.0,  0.5,   -0.5,   1.0,    -1.0,  0.999999,  -1.0000001,
                                    1.5, -2.25, 1e300, -1e300, 3.4e38, 1e-40, 1.0 / 3.0, -0.7071};
    static const int64_t kIntegers[] = {-2147483648LL, 2147483647, -8388608, 8388607, -32768, 32767,
                                        -128,          127,        0,        1,       -1,     128,
                                        255,           4194304,    -4194305, 12345};
    const int size = SL::BytesPerSample(format);
    uint32_t state = seed * 2654435761u + 12345u;
    if (seed % 3 == 0) {  // raw bytes
        for (int i = 0; i < size; ++i) {
            state = state * 1103515245u + 12345u;
            out.push_back(static_cast<uint8_t>(state >> 16));
        }
        return;
    }
    const double real = kReals[(seed / 3) % 16];
    const double imaginary = kReals[(seed / 7) % 16];
    switch (format) {
        case EBitDepth::FLOAT32: {
            const float f = static_cast<float>(std::max(-3.4e38, std::min(3.4e38, real)));
            Append(out, &f, 4, order);
            return;
        }
        case EBitDepth::FLOAT64:
            Append(out, &real, 8, order);
            return;
        case EBitDepth::COMPLEX32: {
            const float parts[] = {static_cast<float>(std::max(-3.4e38, std::min(3.4e38, real))),
                                   static_cast<float>(std::max(-3.4e38, std::min(3.4e38, imaginary)))};
            Append(out, &parts[0], 4, order);
            Append(out, &parts[1], 4, order);
            return;
        }
        case EBitDepth::COMPLEX64:
        case EBitDepth::POINT64:
            Append(out, &real, 8, order);
            Append(out, &imaginary, 8, order);
            return;
        default: {
            const int64_t value = kIntegers[(seed / 3) % 16];  // two's complement, cut to the size
            Append(out, &value, size, order);
            return;
        }
    }
}

std::string Text(double v) {
    if (std::isnan(v)) return "nan";
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}
template <typename T>
std::string Text(const std::complex<T>& v) {
    return Text(double{v.real()}) + "," + Text(double{v.imag()});
}
std::string Text(const GT::CPointT<double>& v) { return Text(v.x) + "," + Text(v.y); }
std::string Text(int32_t v) { return std::to_string(v); }
std::string Text(int16_t v) { return std::to_string(v); }
std::string Text(int8_t v) { return std::to_string(v); }
std::string Text(uint8_t v) { return std::to_string(v); }
std::string Text(float v) { return Text(double{v}); }

// The collection in the oracle's notation.
std::string Describe(const SL::CChannelCollection& collection, EBitDepth dst) {
    std::string out = std::to_string(collection.GetRange().end);
    SL::DispatchFormat(
        SL::AllSampleFormats(), dst,
        [&](auto d) {
            constexpr EBitDepth D = decltype(d)::value;
            for (const auto& entry : collection) {
                const auto& channel = dynamic_cast<const SL::CChannel<D>&>(*entry);
                out += ';';
                for (int i = 0; i < channel.GetSize(); ++i) out += (i ? " " : "") + Text(channel.GetData()[i]);
                out += '|' + Text(channel.GetPeak());
            }
            return 0;
        },
        [] { return 0; });
    return out;
}

const char* Name(EBitDepth f) {
    static std::string names[10];
    const auto at = std::find(std::begin(kFormats), std::end(kFormats), f) - std::begin(kFormats);
    names[at] = SL::CBitDepth(f).ToString();
    return names[at].c_str();
}

struct PairCase {
    EBitDepth src, dst;
    int order, channels;
    Bytes bytes;
};

std::vector<PairCase> AllPairCases() {
    std::vector<PairCase> cases;
    uint32_t seed = 1;
    for (EBitDepth src : kFormats)
        for (EBitDepth dst : kFormats)
            for (int order : {1, 0}) {
                PairCase c{src, dst, order, 1 + static_cast<int>(cases.size() % 3), {}};
                const int frames = 17;
                for (int i = 0; i < frames * c.channels; ++i) AppendSample(c.bytes, src, order, seed++);
                // A trailing partial frame of up to one frame less a byte.
                const int partial = static_cast<int>(cases.size() % (SL::BytesPerSample(src) * c.channels));
                for (int i = 0; i < partial; ++i) c.bytes.push_back(0xA5);
                cases.push_back(std::move(c));
            }
    return cases;
}

TEST(InterleavedConversion, EveryPairMatchesTheOracle) {
    const std::vector<PairCase> cases = AllPairCases();
    gbxtest::TempDir dir;
    std::string caseLines;
    for (const PairCase& c : cases) {
        std::string hex;
        char digits[3];
        for (uint8_t b : c.bytes) {
            std::snprintf(digits, sizeof digits, "%02x", b);
            hex += digits;
        }
        caseLines += std::string(Name(c.src)) + " " + Name(c.dst) + " " + std::to_string(c.order) + " "
                     + std::to_string(c.channels) + " " + (hex.empty() ? "-" : hex) + "\n";
    }
    gbxtest::WriteText(dir.File("cases.txt"), caseLines);
    const auto oracle =
        gbxtest::Python("import runpy, sys; sys.argv = sys.argv[1:]; runpy.run_path(sys.argv[0], run_name='__main__')",
                        {std::string(GBX_TEST_DIR) + "/interleaved_conversion_oracle.py", dir.File("cases.txt")});
    ASSERT_EQ(oracle.exitCode, 0);

    std::istringstream lines(oracle.output);
    std::string expected;
    int compared = 0;
    for (const PairCase& c : cases) {
        ASSERT_TRUE(std::getline(lines, expected));
        const auto result = Convert(c.bytes, c.dst, c.src, c.order, c.channels);
        ASSERT_TRUE(result);
        EXPECT_EQ(Describe(*result, c.dst), expected)
            << Name(c.src) << " -> " << Name(c.dst) << ", byte order " << c.order << ", " << c.channels << " channels";
        ++compared;
    }
    EXPECT_EQ(compared, 200);
}

bool AllZero(const SL::CChannelCollection& collection, EBitDepth dst) {
    return SL::DispatchFormat(
        SL::AllSampleFormats(), dst,
        [&](auto d) {
            constexpr EBitDepth D = decltype(d)::value;
            const auto& channel = dynamic_cast<const SL::CChannel<D>&>(*collection.at(0));
            return std::all_of(channel.begin(), channel.end(),
                               [](const SL::SampleElement<D>& v) { return v == SL::SampleElement<D>(); });
        },
        [] { return false; });
}

// The kinds of the pair table: every Z pair gives the zero of the destination type (for INTEGER8
// that is 0, not the silence 128), whatever the source; the other pairs keep loud samples loud.
TEST(InterleavedConversion, PairKinds) {
    for (int s = 0; s < 10; ++s)
        for (int d = 0; d < 10; ++d) {
            const EBitDepth src = kFormats[s], dst = kFormats[d];
            Bytes bytes;
            for (uint32_t seed : {13u, 14u, 13u, 14u, 13u, 14u}) {  // full scale, none silent
                if (!SL::IsIntegerFormat(src)) {
                    AppendSample(bytes, src, 1, seed);  // 1.0, or (1.0, 0.5)
                } else {
                    const int bits = 8 * SL::BytesPerSample(src);
                    const int64_t maximum = src == EBitDepth::INTEGER8 ? 255 : (int64_t{1} << (bits - 1)) - 1;
                    Append(bytes, &maximum, SL::BytesPerSample(src), 1);
                }
            }
            const auto result = Convert(bytes, dst, src, 1, 1);
            ASSERT_TRUE(result);
            ASSERT_EQ(result->GetRange(), CExtent(0, 6));
            const bool zeros = AllZero(*result, dst);
            EXPECT_EQ(kPairKinds[s][d] == 'Z', zeros) << Name(src) << " -> " << Name(dst);
            if (kPairKinds[s][d] != 'Z') {
                EXPECT_GT(result->at(0)->GetPeak(), 0.9) << Name(src) << " -> " << Name(dst);
            }
        }
}

}  // namespace
