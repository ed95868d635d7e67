#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DrawContext.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

namespace {

using platform::Colour;
using platform::DrawContext;
using platform::Image;
using platform::Point;
using platform::Rect;

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr uint32_t kBlack = 0xFF000000u;

class DrawContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        target = Image(16, 8, false);
        target.Fill(kWhite);
    }
    // The rectangle that holds every pixel unlike the background, empty when none is.
    Rect Ink(uint32_t background = kWhite) const {
        Rect box{target.Width(), target.Height(), 0, 0};
        for (int y = 0; y < target.Height(); ++y)
            for (int x = 0; x < target.Width(); ++x)
                if ((target.PixelAt(x, y) & 0xFFFFFF) != (background & 0xFFFFFF)) {
                    box.left = std::min(box.left, x);
                    box.top = std::min(box.top, y);
                    box.right = std::max(box.right, x + 1);
                    box.bottom = std::max(box.bottom, y + 1);
                }
        return box;
    }
    Image target;
};

bool Near(uint32_t a, uint32_t b, int tolerance = 1) {
    for (int shift = 0; shift < 32; shift += 8) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

TEST_F(DrawContextTest, FillsSolidRectangles) {
    {
        DrawContext dc(target);
        dc.FillRect(Rect{2, 1, 5, 3}, Colour{255, 0, 0});
    }
    EXPECT_EQ(target.PixelAt(2, 1), 0xFFFF0000u);
    EXPECT_EQ(target.PixelAt(4, 2), 0xFFFF0000u);
    EXPECT_EQ(target.PixelAt(5, 2), kWhite);
    EXPECT_EQ(target.PixelAt(2, 3), kWhite);
}

TEST_F(DrawContextTest, BlendsPremultipliedPixelsByAlpha) {
    Image picture(3, 1, true);
    picture.SetPixel(0, 0, 0xFF0000FFu);  // opaque blue
    picture.SetPixel(1, 0, 0x00000000u);  // transparent
    picture.SetPixel(2, 0, 0x80000080u);  // half-transparent blue, premultiplied
    {
        DrawContext dc(target);
        dc.BlendImage(picture, Point{1, 1}, Rect{0, 0, 3, 1});
    }
    EXPECT_EQ(target.PixelAt(1, 1), 0xFF0000FFu);
    EXPECT_EQ(target.PixelAt(2, 1), kWhite);
    // 0x80 of blue over white: red and green keep 0x7F of the white, blue is full.
    EXPECT_TRUE(Near(target.PixelAt(3, 1), 0xFF7F7FFFu)) << std::hex << target.PixelAt(3, 1);
}

TEST_F(DrawContextTest, CopyReplacesAndColourKeyLeavesOutTheKey) {
    Image picture(2, 1, false);
    picture.SetPixel(0, 0, 0xFF00FF00u);
    picture.SetPixel(1, 0, 0xFFFF00FFu);  // the key: magenta
    {
        DrawContext dc(target);
        dc.DrawImageColourKey(picture, Point{0, 0}, Rect{0, 0, 2, 1}, Colour{255, 0, 255});
        dc.CopyImage(picture, Point{4, 4}, Rect{0, 0, 2, 1});
    }
    EXPECT_EQ(target.PixelAt(0, 0), 0xFF00FF00u);
    EXPECT_EQ(target.PixelAt(1, 0), kWhite);
    EXPECT_EQ(target.PixelAt(4, 4), 0xFF00FF00u);
    EXPECT_EQ(target.PixelAt(5, 4), 0xFFFF00FFu);
}

TEST_F(DrawContextTest, MaskThenImageDrawsOnlyTheShape) {
    // Left half the image (red where shown, black elsewhere), right half the mask (black where shown).
    Image strip(4, 1, false);
    strip.SetPixel(0, 0, 0xFFFF0000u);
    strip.SetPixel(1, 0, kBlack);
    strip.SetPixel(2, 0, kBlack);
    strip.SetPixel(3, 0, kWhite);
    target.Fill(0xFF00FF00u);
    {
        DrawContext dc(target);
        dc.AndImage(strip, Point{0, 0}, Rect{2, 0, 4, 1});
        dc.OrImage(strip, Point{0, 0}, Rect{0, 0, 2, 1});
    }
    EXPECT_EQ(target.PixelAt(0, 0) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target.PixelAt(1, 0) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(DrawContextTest, StretchRepeatsPixels) {
    Image picture(2, 1, false);
    picture.SetPixel(0, 0, kBlack);
    picture.SetPixel(1, 0, 0xFF0000FFu);
    {
        DrawContext dc(target);
        dc.StretchImage(picture, Rect{0, 0, 4, 2}, Rect{0, 0, 2, 1});
    }
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(target.PixelAt(0, y), kBlack);
        EXPECT_EQ(target.PixelAt(1, y), kBlack);
        EXPECT_EQ(target.PixelAt(2, y), 0xFF0000FFu);
        EXPECT_EQ(target.PixelAt(3, y), 0xFF0000FFu);
    }
    EXPECT_EQ(target.PixelAt(4, 0), kWhite);
}

TEST_F(DrawContextTest, FocusRectangleDrawnTwiceLeavesNothing) {
    target.Fill(0xFF336699u);
    const Image before = target;
    {
        DrawContext dc(target);
        dc.DrawFocusRect(Rect{1, 1, 9, 6});
        EXPECT_NE(dc.ReadPixels(Rect{0, 0, 16, 8}).PixelAt(1, 1), before.PixelAt(1, 1));
        EXPECT_EQ(dc.ReadPixels(Rect{0, 0, 16, 8}).PixelAt(4, 3), before.PixelAt(4, 3));  // inside untouched
        dc.DrawFocusRect(Rect{1, 1, 9, 6});
    }
    for (int y = 0; y < target.Height(); ++y)
        for (int x = 0; x < target.Width(); ++x) ASSERT_EQ(target.PixelAt(x, y), before.PixelAt(x, y)) << x << "," << y;
}

TEST_F(DrawContextTest, TextFollowsItsAlignment) {
    target = Image(200, 40, false);
    struct Case {
        int format;
        bool inLeftThird, inMiddle, inRightThird;
    } cases[] = {
        {platform::kTextLeft | platform::kTextSingleLine, true, false, false},
        {platform::kTextCentre | platform::kTextSingleLine, false, true, false},
        {platform::kTextRight | platform::kTextSingleLine, false, false, true},
    };
    for (const Case& c : cases) {
        target.Fill(kWhite);
        {
            DrawContext dc(target);
            dc.SetTextColour(Colour{0, 0, 0});
            dc.SetOpaqueBackground(false);
            dc.DrawText(Rect{0, 0, 200, 40}, "ii", c.format | platform::kTextVCentre);
        }
        const Rect ink = Ink();
        ASSERT_FALSE(ink.IsEmpty()) << c.format;
        EXPECT_EQ(ink.right <= 66, c.inLeftThird) << c.format;
        EXPECT_EQ(ink.left > 66 && ink.right <= 133, c.inMiddle) << c.format;
        EXPECT_EQ(ink.left > 133, c.inRightThird) << c.format;
        EXPECT_GT(ink.top, 5) << "vertically centred";
        EXPECT_LT(ink.bottom, 35);
    }
}

TEST_F(DrawContextTest, TextStaysInsideItsAreaAndMeasures) {
    target = Image(100, 30, false);
    target.Fill(kWhite);
    {
        DrawContext dc(target);
        dc.SetTextColour(Colour{0, 0, 0});
        dc.SetBackColour(Colour{0, 0, 255});
        dc.DrawText(Rect{10, 5, 30, 25}, "a long text that does not fit", platform::kTextSingleLine);
        EXPECT_GT(dc.MeasureText("WWWW").width, dc.MeasureText("i").width);
        EXPECT_GT(dc.MeasureText("x").height, 0);
    }
    const Rect ink = Ink();
    EXPECT_GE(ink.left, 10);
    EXPECT_LE(ink.right, 30);
    EXPECT_EQ(target.PixelAt(12, 6) & 0xFFFFFF, 0x0000FFu) << "opaque background filled";
}

TEST_F(DrawContextTest, UpdateRectanglesDecideVisibility) {
    QImage qimage(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&qimage);
    DrawContext dc(painter, {Rect{0, 0, 5, 5}});
    EXPECT_TRUE(dc.IsRectVisible(Rect{4, 4, 8, 8}));
    EXPECT_FALSE(dc.IsRectVisible(Rect{5, 5, 8, 8}));
}

}  // namespace

namespace {

// Smooth shapes on a transparent picture: solid inside, partly covered at the edges, nothing outside.
TEST(DrawContextShapesTest, ShapesBlendTheirEdgesAndKeepTheirBounds) {
    gbxtest::UseOffscreenToolkitUnlessSet();
    ASSERT_TRUE(platform::StartWindowSystem());
    Image picture(40, 40, true);
    picture.Fill(0);
    {
        DrawContext dc(picture);
        dc.FillEllipse(platform::RectF{0, 0, 20, 20}, Colour{255, 0, 0});
        dc.FillRoundRect(platform::RectF{20, 20, 40, 40}, 4, Colour{0, 0, 255}, Colour{0, 255, 0});
        dc.StrokeLines({{22, 2}, {38, 2}}, 2, Colour{0, 0, 0}, 128);
    }
    auto alpha = [&](int x, int y) { return picture.PixelAt(x, y) >> 24; };
    EXPECT_EQ(picture.PixelAt(10, 10), 0xFFFF0000u) << "the disc's middle";
    EXPECT_EQ(alpha(0, 0), 0u) << "outside the disc's curve";
    EXPECT_GT(alpha(10, 0), 0u);
    EXPECT_LT(alpha(10, 0), 255u) << "an edge pixel is partly covered";
    auto green = [&](int x, int y) { return (picture.PixelAt(x, y) >> 8) & 0xFF; };
    auto blue = [&](int x, int y) { return picture.PixelAt(x, y) & 0xFF; };
    EXPECT_GT(blue(30, 21), 200u) << "blue at the top";
    EXPECT_LT(green(30, 21), 40u);
    EXPECT_GT(green(30, 38), 200u) << "green at the bottom";
    EXPECT_LT(blue(30, 38), 40u);
    EXPECT_EQ(alpha(30, 30), 255u);
    EXPECT_EQ(alpha(20, 20), 0u) << "the rounded corner leaves the corner pixel out";
    EXPECT_NEAR(double(alpha(30, 2)), 128.0, 2.0) << "half opacity";
}

}  // namespace
