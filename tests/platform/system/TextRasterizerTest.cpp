#include "platform/system/TextRasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/PngWriter.h"
#include "tests/support/TestSupport.h"

namespace {

using platform::TextRasterizer;

std::u32string U32(const char16_t* text) { return platform::Utf16ToCodePoints(text); }

int InkCount(const TextRasterizer::Picture& p) {
    return static_cast<int>(std::count(p.pixels.begin(), p.pixels.end(), 1));
}

TEST(TextRasterizer, FindsBothFaces) { EXPECT_TRUE(TextRasterizer::Instance().HasFont()); }

TEST(TextRasterizer, EveryPictureIsTwelveRowsOfItsWidth) {
    for (const char16_t* text : {u"A", u"Hello, world", u"gjpqy|", u"\u3042\u3044\u3046", u"Song \u66f2 1"}) {
        SCOPED_TRACE(std::string(text, text + 0));
        TextRasterizer::Picture p = TextRasterizer::Instance().Render(U32(text));
        EXPECT_GT(p.width, 0);
        EXPECT_EQ(p.pixels.size(), static_cast<size_t>(p.width) * TextRasterizer::kRows);
        EXPECT_GT(InkCount(p), 0);
        EXPECT_TRUE(std::all_of(p.pixels.begin(), p.pixels.end(), [](uint8_t v) { return v <= 1; }));
    }
}

TEST(TextRasterizer, EmptyAndControlOnlyTextsAreBlank) {
    EXPECT_EQ(TextRasterizer::Instance().Render(U"").width, 0);
    TextRasterizer::Picture breaks = TextRasterizer::Instance().Render(U"\r\n\t");
    EXPECT_EQ(InkCount(breaks), 0);
}

TEST(TextRasterizer, LineBreakDrawsNothing) {
    TextRasterizer::Picture joined = TextRasterizer::Instance().Render(U"ab");
    TextRasterizer::Picture broken = TextRasterizer::Instance().Render(U"a\nb");
    EXPECT_EQ(joined.width, broken.width);
    EXPECT_EQ(joined.pixels, broken.pixels);
}

TEST(TextRasterizer, WidthFollowsTheText) {
    auto& r = TextRasterizer::Instance();
    EXPECT_LT(r.Render(U"I").width, r.Render(U"WWW").width);
    EXPECT_EQ(r.Render(U"ab").width + r.Render(U"cd").width, r.Render(U"abcd").width);
}

TEST(TextRasterizer, DescendersAndCapitalsShareOneBaseline) {
    // 'H' has no ink below the baseline, 'g' has some: so the rows 'g' inks
    // beyond 'H' are the bottom ones.
    auto rowsOf = [](const TextRasterizer::Picture& p) {
        std::vector<bool> rows(TextRasterizer::kRows, false);
        for (int y = 0; y < TextRasterizer::kRows; ++y)
            for (int x = 0; x < p.width; ++x)
                if (p.pixels[static_cast<size_t>(y) * p.width + x]) rows[y] = true;
        return rows;
    };
    std::vector<bool> h = rowsOf(TextRasterizer::Instance().Render(U"H"));
    std::vector<bool> g = rowsOf(TextRasterizer::Instance().Render(U"g"));
    int lastH = 0, lastG = 0;
    for (int y = 0; y < TextRasterizer::kRows; ++y) {
        if (h[y]) lastH = y;
        if (g[y]) lastG = y;
    }
    EXPECT_GT(lastG, lastH);
    EXPECT_LE(lastG, TextRasterizer::kRows - 1);
    EXPECT_GE(lastH, 6);  // capitals are not squeezed into the top rows
}

TEST(TextRasterizer, RepeatedRendersAreIdentical) {
    auto a = TextRasterizer::Instance().Render(U"Repeat \u30c6\u30b9\u30c8");
    auto b = TextRasterizer::Instance().Render(U"Repeat \u30c6\u30b9\u30c8");
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.pixels, b.pixels);
}

TEST(TextRasterizer, UnpairedSurrogateBecomesReplacement) {
    EXPECT_EQ(platform::Utf16ToCodePoints(std::u16string{u'a', char16_t(0xD800), u'b'}), U"a\uFFFDb");
    EXPECT_EQ(platform::Utf16ToCodePoints(std::u16string{char16_t(0xD83C), char16_t(0xDFB5)}), U"\U0001F3B5");
}

// Writes the pictures, four times enlarged, as PNG files in the build folder so
// that a person can judge whether they are crisp and legible.
TEST(TextRasterizer, WritesPicturesToLookAt) {
    int n = 0;
    for (const char16_t* text :
         {u"Gigbox Setlister - My Song 01", u"\u3042\u306e\u65e5\u306e\u6b4c (Ballad)", u"Quick brown fox jumps"}) {
        TextRasterizer::Picture p = TextRasterizer::Instance().Render(U32(text));
        const int scale = 4, w = p.width * scale, h = TextRasterizer::kRows * scale;
        std::vector<uint8_t> grey(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                grey[static_cast<size_t>(y) * w + x] =
                    p.pixels[static_cast<size_t>(y / scale) * p.width + x / scale] ? 0 : 255;
        std::string path = "text_picture_" + std::to_string(n++) + ".png";
        ASSERT_TRUE(gbxtest::WriteGreyPng(path, w, h, grey));
        if (gbxtest::HaveCommand("python3")) {
            // An independent reader checks that the file is a valid PNG of that size.
            auto r = gbxtest::Python(
                "import sys,struct,zlib\n"
                "d=open(sys.argv[1],'rb').read()\n"
                "assert d[:8]==b'\\x89PNG\\r\\n\\x1a\\n'\n"
                "w,h=struct.unpack('>II',d[16:24])\n"
                "i=d.index(b'IDAT'); n=struct.unpack('>I',d[i-4:i])[0]\n"
                "raw=zlib.decompress(d[i+4:i+4+n])\n"
                "assert len(raw)==h*(w+1)\n"
                "print(w,h)\n",
                {path});
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_EQ(r.output, std::to_string(w) + " " + std::to_string(h) + "\n");
        }
    }
}

}  // namespace
