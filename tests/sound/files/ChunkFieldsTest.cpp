// Numbers of chunk bodies in either byte order; a failed read keeps the field.

#include "sound/files/ChunkFields.h"
#include "sound/files/IffChunk.h"

#include "tests/support/ByteBuilder.h"

#include <gtest/gtest.h>

namespace {

using gbxtest::MemoryStream;

TEST(ChunkFields, NumbersInBothByteOrders) {
    const std::vector<uint8_t> bytes = {0x81, 0x02, 0x03, 0x04, 0xF5, 0x06};
    const struct {
        int order;
        uint32_t u32;
        int16_t i16;
        uint8_t u8;
    } cases[] = {
        {0, 0x81020304u, int16_t(0xF506), 0x81},
        {1, 0x04030281u, int16_t(0x06F5), 0x81},
    };
    for (const auto& c : cases) {
        auto in = MemoryStream(bytes);
        uint32_t u32 = 0;
        int16_t i16 = 0;
        EXPECT_TRUE(SL::ReadField(in, c.order, u32));
        EXPECT_TRUE(SL::ReadField(in, c.order, i16));
        EXPECT_EQ(u32, c.u32);
        EXPECT_EQ(i16, c.i16);
        auto first = MemoryStream(bytes);
        uint8_t u8 = 0;
        EXPECT_TRUE(SL::ReadField(first, c.order, u8));
        EXPECT_EQ(u8, c.u8);

        auto out = MemoryStream();
        EXPECT_TRUE(SL::WriteField(out, c.order, u32));
        EXPECT_TRUE(SL::WriteField(out, c.order, i16));
        EXPECT_EQ(gbxtest::StreamBytes(out), bytes);
    }
}

TEST(ChunkFields, FailedReadKeepsTheField) {
    for (int order : {0, 1}) {
        auto in = MemoryStream({1, 2, 3});
        uint32_t u32 = 77;
        EXPECT_FALSE(SL::ReadField(in, order, u32));
        EXPECT_EQ(u32, 77u);
        auto one = MemoryStream({1});
        uint16_t u16 = 66;
        EXPECT_FALSE(SL::ReadField(one, order, u16));
        EXPECT_EQ(u16, 66);
        std::string text = "kept";
        auto two = MemoryStream({'a', 'b'});
        EXPECT_FALSE(SL::ReadByteString(two, 3, text));
        EXPECT_EQ(text, "kept");
    }
}

TEST(ChunkFields, HeaderAssignmentKeepsItsOwnByteOrder) {
    SL::CIffChunk::CHeader big(0, "abcd");
    big.SetSize(5);
    big.SetDataPosition(8);
    SL::CIffChunk::CHeader little(1);
    little = big;
    EXPECT_EQ(little.GetByteOrder(), 1);
    EXPECT_EQ(little.GetId(), SL::CIffChunk::CFourCharacterCode("abcd"));
    EXPECT_EQ(little.GetSize(), 5);
    EXPECT_EQ(little.GetDataPosition(), 8);
    SL::CIffChunk::CHeader copy(big);
    EXPECT_EQ(copy.GetByteOrder(), 0);
    EXPECT_EQ(copy.GetSize(), 5);
}

}  // namespace
