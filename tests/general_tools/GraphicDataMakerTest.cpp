#include "general_tools/GraphicDataMaker.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "general_tools/CharacterCodeConverter.h"

namespace {

using Bytes = std::vector<uint8_t>;
using GT::AGraphicDataMaker;

// A picture of `width` x 12 pixels with the given pixels of row 0 set.
Bytes Picture(size_t width, std::initializer_list<size_t> blackInRow0) {
    Bytes pixels(width * 12, 0);
    for (size_t x : blackInRow0) pixels[x] = 1;
    return pixels;
}

TEST(GraphicDataMaker, PackPixels) {
    const struct {
        Bytes group;
        uint8_t packed;
    } cases[] = {
        {{1}, 0x80}, {{1, 0, 0, 0, 0, 0, 0, 1}, 0x81}, {{0, 1}, 0x40}, {{1, 1, 1, 1, 1, 1, 1, 1}, 0xFF},
        {{}, 0x00},  {{0, 0, 0, 0, 0, 0, 0, 0}, 0x00},
    };
    for (const auto& c : cases) EXPECT_EQ(AGraphicDataMaker::PackPixels(c.group), c.packed);
}

TEST(GraphicDataMaker, PackRows) {
    // 10 wide: two bytes a row, pixels 9 and 10 in the top bits of the second.
    Bytes ten = AGraphicDataMaker::PackRows(Picture(10, {0, 8, 9}));
    ASSERT_EQ(ten.size(), 24u);
    EXPECT_EQ(ten[0], 0x80);
    EXPECT_EQ(ten[1], 0xC0);
    for (size_t i = 2; i < ten.size(); ++i) EXPECT_EQ(ten[i], 0) << i;

    // 16 wide: every bit is a pixel.
    Bytes sixteen = AGraphicDataMaker::PackRows(Picture(16, {7, 15}));
    ASSERT_EQ(sixteen.size(), 24u);
    EXPECT_EQ(sixteen[0], 0x01);
    EXPECT_EQ(sixteen[1], 0x01);

    // Rows do not run into each other: row 1's first pixel starts a new byte.
    Bytes three(3 * 12, 0);
    three[3] = 1;
    Bytes packed = AGraphicDataMaker::PackRows(three);
    ASSERT_EQ(packed.size(), 12u);
    EXPECT_EQ(packed[0], 0x00);
    EXPECT_EQ(packed[1], 0x80);

    EXPECT_TRUE(AGraphicDataMaker::PackRows({}).empty());
}

TEST(GraphicDataMaker, MakesPicturesOfSongNames) {
    auto& maker = GT::GetGraphicDataMaker();
    EXPECT_TRUE(maker.MakeTextBitmap("").empty());

    for (const char* name : {"I", "WWW", "\xE3\x81\x82\xE3\x81\x84", " "}) {
        SCOPED_TRACE(name);
        Bytes pixels = maker.RenderTextBitmap(GT::GetCharacterCodeConverter().FromUtf8(name));
        ASSERT_EQ(pixels.size() % 12, 0u);
        const size_t width = pixels.size() / 12;
        Bytes packed = maker.MakeTextBitmap(name);
        ASSERT_EQ(packed.size(), (width + 7) / 8 * 12);
        // Pad bits at the end of each row stay 0.
        const size_t rowBytes = (width + 7) / 8;
        const unsigned padBits = static_cast<unsigned>(rowBytes * 8 - width);
        for (size_t row = 0; row < 12; ++row)
            EXPECT_EQ(packed[row * rowBytes + rowBytes - 1] & ((1u << padBits) - 1), 0u);
        EXPECT_EQ(packed, maker.MakeTextBitmap(name));
    }
    EXPECT_LT(maker.MakeTextBitmap("I").size(), maker.MakeTextBitmap("WWW").size());
    Bytes japanese = maker.MakeTextBitmap("\xE3\x81\x82");
    EXPECT_NE(std::count(japanese.begin(), japanese.end(), 0), static_cast<long>(japanese.size()));
}

TEST(GraphicDataMaker, ARendererCanStandInAndBeTakenAway) {
    struct Fixed : GT::AGraphicDataMaker {
        std::vector<uint8_t> MakeTextBitmap(const std::string&) override { return {1, 2, 3}; }
        std::vector<uint8_t> RenderTextBitmap(const std::u16string&) override { return {}; }
    } fixed;
    GT::AGraphicDataMaker& real = GT::GetGraphicDataMaker();
    GT::SetGraphicDataMaker(&fixed);
    EXPECT_EQ(&GT::GetGraphicDataMaker(), &fixed);
    EXPECT_EQ(GT::GetGraphicDataMaker().MakeTextBitmap("x"), (Bytes{1, 2, 3}));
    GT::SetGraphicDataMaker(nullptr);
    EXPECT_EQ(&GT::GetGraphicDataMaker(), &real);
}

}  // namespace
