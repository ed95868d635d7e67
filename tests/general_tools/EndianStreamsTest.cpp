#include "general_tools/EndianStreams.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

std::string ToString(const Bytes& b) { return std::string(b.begin(), b.end()); }

const std::int32_t k24BitValues[] = {0,    1,        -1,        127,     128,      255,      256, -128,
                                     -129, 0x123456, -0x123456, 8388607, -8388608, 0x7FFF00, -2};
const std::uint32_t k32BitValues[] = {0u, 1u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu, 0x00FF00FFu, 0xDEADBEEFu};

// python3 packs every value in both byte orders; the hex lines come back in value order.
std::vector<std::string> PythonPack(const std::string& expression, const std::vector<std::string>& values) {
    const std::string script =
        "import struct,sys\n"
        "for a in sys.argv[1:]:\n"
        "    v = int(a)\n"
        "    print("
        + expression + ")\n";
    const gbxtest::CommandResult r = gbxtest::Python(script, values);
    EXPECT_EQ(r.exitCode, 0);
    std::vector<std::string> lines;
    std::istringstream in(r.output);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    EXPECT_EQ(lines.size(), values.size());
    return lines;
}

TEST(Endianed, ByteOrderWordAndTests) {
    GT::CEndianed e(GT::kBigEndian);
    EXPECT_TRUE(e.IsBigEndian());
    EXPECT_FALSE(e.IsLittleEndian());
    GT::IEndianed& i = e;
    i.SetByteOrder(1);
    EXPECT_EQ(e.GetByteOrder(), 1);
    EXPECT_TRUE(i.IsLittleEndian());
    i.SetByteOrder(5);  // neither order
    EXPECT_FALSE(i.IsBigEndian());
    EXPECT_FALSE(i.IsLittleEndian());
}

TEST(Endianed, TwentyFourBitLayoutsMatchPython) {
    std::vector<std::string> args;
    for (std::int32_t v : k24BitValues) args.push_back(std::to_string(v));
    const auto lines =
        PythonPack("v.to_bytes(3,'big',signed=True).hex() + ' ' + v.to_bytes(3,'little',signed=True).hex()", args);
    ASSERT_EQ(lines.size(), args.size());
    const GT::CEndianed big(0), little(1);
    for (std::size_t i = 0; i < args.size(); ++i) {
        SCOPED_TRACE(args[i]);
        const Bytes bigBytes = FromHex(lines[i].substr(0, 6));
        const Bytes littleBytes = FromHex(lines[i].substr(7, 6));
        std::uint8_t out[3];
        big.Write24(k24BitValues[i], out);
        EXPECT_EQ(Bytes(out, out + 3), bigBytes);
        little.Write24(&k24BitValues[i], out);
        EXPECT_EQ(Bytes(out, out + 3), littleBytes);
        std::int32_t r = 0x55555555;
        big.Read24(bigBytes.data(), &r);
        EXPECT_EQ(r, k24BitValues[i]);
        little.Read24(littleBytes.data(), r);
        EXPECT_EQ(r, k24BitValues[i]);
    }
}

TEST(Endianed, TwentyFourBitEdges) {
    struct Case {
        const char* bytes;
        int order;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"800000", 0, -8388608}, {"800000", 1, 128},      {"ffffff", 0, -1},       {"ffffff", 1, -1},
        {"7fffff", 0, 8388607},  {"000080", 1, -8388608}, {"123456", 7, 0x563412},  // any order but 0 reads LSB first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bytes << " order " << c.order);
        EXPECT_EQ(GT::CEndianed(c.order).Read24(FromHex(c.bytes).data()), c.expected);
    }
    // Bits 24-31 are dropped without a range check.
    std::uint8_t out[3];
    GT::CEndianed(0).Write24(0x12345678, out);
    EXPECT_EQ(Bytes(out, out + 3), FromHex("345678"));
    GT::CEndianed(1).Write24(0x12345678, out);
    EXPECT_EQ(Bytes(out, out + 3), FromHex("785634"));
}

TEST(Endianed, ConvertByteOrderReversesOnlyForeignOrder) {
    const Bytes data = FromHex("0102030405060708090a");
    Bytes b = data;
    GT::CEndianed(1).ConvertByteOrder(b.data(), int(b.size()));
    EXPECT_EQ(b, data);
    GT::CEndianed(0).ConvertByteOrder(b.data(), int(b.size()));
    EXPECT_EQ(b, FromHex("0a090807060504030201"));
    GT::CEndianed(0).ConvertByteOrder(b.data(), 0);
    GT::CEndianed(0).ConvertByteOrder(b.data(), -4);
    EXPECT_EQ(b, FromHex("0a090807060504030201"));
}

TEST(EndianedStreamUtilities, ThirtyTwoBitLayoutsMatchPython) {
    std::vector<std::string> args;
    for (std::uint32_t v : k32BitValues) args.push_back(std::to_string(v));
    const auto lines = PythonPack("struct.pack('>I', v).hex() + ' ' + struct.pack('<I', v).hex()", args);
    ASSERT_EQ(lines.size(), args.size());
    for (int order : {0, 1}) {
        const GT::CEndianedStreamUtilities u(order);
        std::ostringstream out;
        for (std::uint32_t v : k32BitValues) u.Write32(out, v);
        ASSERT_TRUE(out.good());
        Bytes expected;
        for (const std::string& line : lines) {
            const Bytes b = FromHex(line.substr(order == 0 ? 0 : 9, 8));
            expected.insert(expected.end(), b.begin(), b.end());
        }
        SCOPED_TRACE(order);
        EXPECT_EQ(out.str(), ToString(expected));

        std::istringstream in(out.str());
        for (std::uint32_t v : k32BitValues) {
            std::uint32_t r = 0;
            u.Read32(in, &r);
            ASSERT_TRUE(in.good());
            EXPECT_EQ(r, v);
        }
    }
}

TEST(EndianedStreamUtilities, FailedOrShortReadLeavesTheValue) {
    for (const char* contents : {"", "\x01", "\x01\x02\x03"}) {
        for (int order : {0, 1}) {
            SCOPED_TRACE(::testing::Message() << std::string(contents).size() << " bytes, order " << order);
            std::istringstream in(contents);
            std::uint32_t v = 0xA1B2C3D4u;
            GT::CEndianedStreamUtilities(order).Read32(in, v);
            EXPECT_TRUE(in.fail());
            EXPECT_EQ(v, 0xA1B2C3D4u);
        }
    }
    // A stream that already failed reads nothing, even with data left.
    std::istringstream in(std::string("\x01\x02\x03\x04", 4));
    in.setstate(std::ios::failbit);
    std::uint32_t v = 7;
    GT::CEndianedStreamUtilities(0).Read32(in, v);
    EXPECT_EQ(v, 7u);
}

TEST(EndianedStreamUtilities, WriteTakesACopy) {
    const std::uint32_t value = 0x01020304u;
    std::ostringstream out;
    GT::CEndianedStreamUtilities(0).Write32(out, &value);
    EXPECT_EQ(value, 0x01020304u);
    EXPECT_EQ(out.str(), std::string("\x01\x02\x03\x04", 4));
}

TEST(ByteFunctions, ReverseAndSwap) {
    struct Case {
        const char* in;
        const char* reversed;
    };
    const Case cases[] = {{"", ""}, {"01", "01"}, {"0102", "0201"}, {"010203", "030201"}, {"0102030405", "0504030201"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        Bytes b = FromHex(c.in);
        GT::ReverseBytes(b.data(), b.size());
        EXPECT_EQ(b, FromHex(c.reversed));
    }
    EXPECT_EQ(GT::SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(GT::SwapBytes16(0xFF00), 0x00FF);
    EXPECT_EQ(GT::SwapBytes32(0x12345678u), 0x78563412u);
    EXPECT_EQ(GT::SwapBytes32(0xFF000080u), 0x800000FFu);
}

TEST(ByteFunctions, BytesToInteger) {
    struct Case {
        const char* bytes;
        bool bigEndian;
        int expected;
    };
    const Case cases[] = {
        {"", true, 0},
        {"", false, 0},
        {"0102", true, 258},
        {"0102", false, 513},
        {"0102030405", true, 0x02030405},  // the last four folded in survive
        {"0102030405", false, 0x04030201},
        {"ffffffff", true, -1},
        {"80000000", true, static_cast<int>(0x80000000u)},
        {"ff", true, 255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bytes << (c.bigEndian ? " big" : " little"));
        EXPECT_EQ(GT::BytesToInteger(FromHex(c.bytes), c.bigEndian), c.expected);
    }
}

TEST(ByteFunctions, Utf16BytesToWide) {
    EXPECT_EQ(GT::Utf16BytesToWide(FromHex("004100"), true), u"A");
    EXPECT_EQ(GT::Utf16BytesToWide(FromHex("4100"), false), u"A");
    EXPECT_EQ(GT::Utf16BytesToWide(FromHex("feff30423044"), true), u"\uFEFF\u3042\u3044");
    EXPECT_EQ(GT::Utf16BytesToWide(FromHex("fffe4230"), false), u"\uFEFF\u3042");
    EXPECT_EQ(GT::Utf16BytesToWide({}, true), u"");
    EXPECT_EQ(GT::Utf16BytesToWide(FromHex("41"), false), u"");
}

}  // namespace
