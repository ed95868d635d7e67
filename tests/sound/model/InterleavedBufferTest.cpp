#include "sound/model/InterleavedBuffer.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace GT {
// Lets failure messages show points.
void PrintTo(const CPointT<double>& p, std::ostream* out) { *out << "(" << p.x << ", " << p.y << ")"; }
}  // namespace GT

namespace {

using SL::CInterleavedBuffer;
using SL::EBitDepth;

// Packs values with python3's struct (24-bit values with int.to_bytes, which struct lacks):
// argv: struct code or "24", "<" or ">", then the values. Prints the bytes in hex.
const char* const kPackScript = R"(
import struct, sys
code, order, values = sys.argv[1], sys.argv[2], sys.argv[3:]
out = b''
for v in values:
    if code == '24':
        out += int(v).to_bytes(3, 'little' if order == '<' else 'big', signed=True)
    elif code in 'fd':
        out += struct.pack(order + code, float(v))
    else:
        out += struct.pack(order + code, int(v))
print(out.hex())
)";

std::vector<std::uint8_t> Pack(const std::string& code, int byteOrder, const std::vector<std::string>& values) {
    std::vector<std::string> args = {code, byteOrder == 0 ? ">" : "<"};
    args.insert(args.end(), values.begin(), values.end());
    const gbxtest::CommandResult result = gbxtest::Python(kPackScript, args);
    EXPECT_EQ(result.exitCode, 0);
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < result.output.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(result.output.substr(i, 2), nullptr, 16)));
    return bytes;
}

std::string Text(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

std::string Text(std::int64_t v) { return std::to_string(v); }

template <typename T>
std::vector<std::string> Texts(const std::vector<T>& values) {
    std::vector<std::string> texts;
    for (const T& v : values) texts.push_back(Text(v));
    return texts;
}

// Three channels, four frames; each channel walked on its own, then channels 0 and 1 together.
template <EBitDepth F, typename Expected>
void CheckFormat(const std::string& code, const std::vector<std::string>& packed, int partsPerSample,
                 const std::vector<Expected>& expected) {
    constexpr int kChannels = 3;
    ASSERT_EQ(expected.size(), 12u);
    ASSERT_EQ(packed.size(), 12u * partsPerSample);
    for (int byteOrder : {0, 1}) {
        const std::vector<std::uint8_t> bytes = Pack(code, byteOrder, packed);
        ASSERT_EQ(bytes.size(), 12u * CInterleavedBuffer<F>::SAMPLE_SIZE) << code;
        const CInterleavedBuffer<F> buffer(byteOrder, bytes.data(), bytes.data() + bytes.size(), kChannels);
        for (int channel = 0; channel < kChannels; ++channel) {
            const typename CInterleavedBuffer<F>::CChannelRange range(channel, channel + 1);
            std::vector<Expected> decoded;
            std::transform(buffer.Begin(range), buffer.End(range), std::back_inserter(decoded),
                           [](const typename CInterleavedBuffer<F>::Element& e) { return Expected(e); });
            std::vector<Expected> want;
            for (int frame = 0; frame < 4; ++frame) want.push_back(expected[frame * kChannels + channel]);
            EXPECT_EQ(decoded, want) << code << " byte order " << byteOrder << " channel " << channel;
        }
        const typename CInterleavedBuffer<F>::CChannelRange pair(0, 2);
        std::vector<Expected> decoded(buffer.Begin(pair), buffer.End(pair));
        std::vector<Expected> want;
        for (int frame = 0; frame < 4; ++frame) {
            want.push_back(expected[frame * kChannels]);
            want.push_back(expected[frame * kChannels + 1]);
        }
        EXPECT_EQ(decoded, want) << code << " byte order " << byteOrder << " channels 0-1";
    }
}

template <EBitDepth F>
void CheckIntegers(const std::string& code, const std::vector<std::int64_t>& values) {
    CheckFormat<F, std::int64_t>(code, Texts(values), 1, values);
}

TEST(InterleavedBufferTest, DecodesIntegerFormatsInBothByteOrders) {
    CheckIntegers<EBitDepth::INTEGER8S>("b", {-128, -1, 0, 1, 127, -100, 55, -55, 2, 3, -4, 64});
    CheckIntegers<EBitDepth::INTEGER8>("B", {0, 255, 128, 127, 1, 200, 254, 2, 3, 4, 129, 64});
    CheckIntegers<EBitDepth::INTEGER16>("h", {-32768, -1, 0, 1, 32767, 258, 513, -12345, 0x7F00, -256, 100, -32767});
    CheckIntegers<EBitDepth::INTEGER24>(
        "24", {-8388608, -1, 0, 1, 8388607, 128, -129, 0x123456, -0x123456, 65536, -65536, 255});
    CheckIntegers<EBitDepth::INTEGER32>(
        "i", {-2147483647 - 1, -1, 0, 1, 2147483647, 0x01020304, -0x01020304, 65536, -65536, 255, 256, -257});
}

TEST(InterleavedBufferTest, DecodesFloatFormatsInBothByteOrders) {
    const std::vector<double> floats = {
        0.0,     -0.0,     1.0, -1.0, 0.5, -0.25, 3.4028234663852886e38, 1.401298464324817e-45, 1.1754943508222875e-38,
        100.125, -65504.0, 0.1f};
    CheckFormat<EBitDepth::FLOAT32, double>("f", Texts(floats), 1, floats);
    const std::vector<double> doubles = {0.0,
                                         -0.0,
                                         1.0,
                                         -1.0,
                                         0.1,
                                         -1e300,
                                         1.7976931348623157e308,
                                         4.9406564584124654e-324,
                                         2.2250738585072014e-308,
                                         12345.6789,
                                         -0.3333333333333333,
                                         2.0 / 3.0};
    CheckFormat<EBitDepth::FLOAT64, double>("d", Texts(doubles), 1, doubles);
}

// Complex numbers and points: two floats each, each part swapped on its own, the first part first.
template <EBitDepth F, typename Element>
void CheckPairs(const std::string& code, const std::vector<double>& parts) {
    std::vector<Element> expected;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2)
        expected.push_back(Element(static_cast<decltype(Element().x)>(parts[i]), parts[i + 1]));
    CheckFormat<F, Element>(code, Texts(parts), 2, expected);
}

// Adapts std::complex to the x/y spelling of GT::CPointT, so both go through one check.
template <typename T>
struct ComplexAsPoint {
    T x{}, y{};
    ComplexAsPoint() = default;
    ComplexAsPoint(T real, T imaginary) : x(real), y(imaginary) {}
    explicit ComplexAsPoint(const std::complex<T>& c) : x(c.real()), y(c.imag()) {}
    friend bool operator==(const ComplexAsPoint& a, const ComplexAsPoint& b) { return a.x == b.x && a.y == b.y; }
    friend std::ostream& operator<<(std::ostream& out, const ComplexAsPoint& p) {
        return out << "(" << p.x << ", " << p.y << ")";
    }
};

const std::vector<double> kParts = {1.0, -2.0, 0.5,  0.25, -0.0,  3.0,    1e30,   -1e-30,
                                    7.5, 8.5,  -9.0, 10.0, 100.0, -100.0, 0.125,  0.0625,
                                    2.0, 4.0,  -6.0, 8.0,  3.5,   -3.5,   1024.0, 1.0 / 1024};

TEST(InterleavedBufferTest, DecodesComplexAndPointFormatsInBothByteOrders) {
    CheckPairs<EBitDepth::COMPLEX32, ComplexAsPoint<float>>("f", kParts);
    CheckPairs<EBitDepth::COMPLEX64, ComplexAsPoint<double>>("d", kParts);
    CheckPairs<EBitDepth::POINT64, GT::CPointT<double>>("d", kParts);
}

template <EBitDepth F>
std::vector<std::int64_t> DecodeAll(int byteOrder, const std::vector<std::uint8_t>& bytes, int channels = 1) {
    const CInterleavedBuffer<F> buffer(byteOrder, bytes.data(), bytes.data() + bytes.size(), channels);
    const typename CInterleavedBuffer<F>::CChannelRange all(0, channels);
    std::vector<std::int64_t> values;
    for (auto it = buffer.Begin(all); it != buffer.End(all); ++it) values.push_back(*it);
    return values;
}

TEST(InterleavedBufferTest, ByteOrderCases) {
    EXPECT_EQ(DecodeAll<EBitDepth::INTEGER16>(1, {0x01, 0x02}), std::vector<std::int64_t>{513});
    EXPECT_EQ(DecodeAll<EBitDepth::INTEGER16>(0, {0x01, 0x02}), std::vector<std::int64_t>{258});
    EXPECT_EQ(DecodeAll<EBitDepth::INTEGER24>(1, {0x00, 0x00, 0x80}), std::vector<std::int64_t>{-8388608});
    EXPECT_EQ(DecodeAll<EBitDepth::INTEGER24>(0, {0x00, 0x00, 0x80}), std::vector<std::int64_t>{128});
    for (int order : {0, 1}) {
        EXPECT_EQ(DecodeAll<EBitDepth::INTEGER8>(order, {0xFF}), std::vector<std::int64_t>{255});
        EXPECT_EQ(DecodeAll<EBitDepth::INTEGER8S>(order, {0xFF}), std::vector<std::int64_t>{-1});
    }
}

TEST(InterleavedBufferTest, ChannelRangesWalkFrameByFrame) {
    std::vector<std::uint8_t> bytes;
    for (int sample = 0; sample < 9; ++sample) {
        bytes.push_back(static_cast<std::uint8_t>(sample));
        bytes.push_back(0);
    }
    const CInterleavedBuffer<EBitDepth::INTEGER16> buffer(1, bytes.data(), bytes.data() + 12, 3);

    auto it = buffer.Begin({1, 2});
    EXPECT_EQ(*it, 1);
    ++it;
    EXPECT_EQ(*it, 4);
    ++it;
    EXPECT_TRUE(it == buffer.End({1, 2}));

    EXPECT_EQ(std::distance(buffer.Begin({2, 3}), buffer.End({2, 3})), 2);

    const CInterleavedBuffer<EBitDepth::INTEGER16> three(1, bytes.data(), bytes.data() + bytes.size(), 3);
    std::vector<std::int16_t> pair(three.Begin({0, 2}), three.End({0, 2}));
    EXPECT_EQ(pair, std::vector<std::int16_t>({0, 1, 3, 4, 6, 7}));
    std::vector<std::int16_t> all(three.Begin({0, 3}), three.End({0, 3}));
    EXPECT_EQ(all, std::vector<std::int16_t>({0, 1, 2, 3, 4, 5, 6, 7, 8}));

    // Iterators are plain values.
    auto first = three.Begin({2, 3});
    auto copy = first;
    ++first;
    EXPECT_EQ(*copy, 2);
    EXPECT_EQ(*first, 5);
}

TEST(InterleavedBufferTest, EmptyBufferYieldsNothing) {
    const std::uint8_t none[1] = {0};
    const CInterleavedBuffer<EBitDepth::FLOAT64> buffer(0, none, none, 2);
    for (int channel = 0; channel < 2; ++channel) {
        EXPECT_TRUE(buffer.Begin({channel, channel + 1}) == buffer.End({channel, channel + 1}));
        double out[1] = {42.0};
        double* end = std::transform(buffer.Begin({channel, channel + 1}), buffer.End({channel, channel + 1}), out,
                                     [](double v) { return v * 2; });
        EXPECT_EQ(end, out);
        EXPECT_EQ(out[0], 42.0);
    }
}

TEST(InterleavedBufferTest, IteratorTakesTheByteOrderWhenMade) {
    const std::uint8_t bytes[] = {0x01, 0x02};
    CInterleavedBuffer<EBitDepth::INTEGER16> buffer(0, bytes, bytes + 2, 1);
    const auto bigEndian = buffer.Begin({0, 1});
    buffer.SetByteOrder(1);
    EXPECT_EQ(*bigEndian, 258);
    EXPECT_EQ(*buffer.Begin({0, 1}), 513);
}

TEST(InterleavedBufferTest, ByteSwapReversesTheEightBytes) {
    for (double value : {1.0, -2.5, 1e-310, 0.1}) {
        const double swapped = SL::ByteSwap(value);
        std::uint8_t in[8], out[8];
        std::memcpy(in, &value, 8);
        std::memcpy(out, &swapped, 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], in[7 - i]) << value;
        const double back = SL::ByteSwap(swapped);
        EXPECT_EQ(std::memcmp(&back, &value, 8), 0);
    }
}

}  // namespace
