#include "platform/window/Application.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/Picture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using UL::CPoint;
using UL::CSize;

constexpr uint32_t kWhite = 0xFFFFFFFFu;

// A picture whose pixel (x, y) is 0xFF000000 | (y << 8) | x, so that every source position shows.
platform::Image Numbered(int width, int height, bool alpha = false) {
    platform::Image image(width, height, alpha);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.SetPixel(x, y, 0xFF000000u | uint32_t(y << 8) | uint32_t(x));
    return image;
}

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        target = platform::Image(32, 32, false);
        target.Fill(kWhite);
    }
    platform::Image target;
};

TEST(Premultiply, ScalesColoursByAlphaRoundingDown) {
    platform::Image image(4, 1, true);
    image.SetPixel(0, 0, 0x00FFFFFFu);  // transparent
    image.SetPixel(1, 0, 0xFF123456u);  // opaque
    image.SetPixel(2, 0, 0x80FF8001u);  // half
    image.SetPixel(3, 0, 0x01FFFFFFu);
    UL::PremultiplyAlpha(image);
    EXPECT_EQ(image.PixelAt(0, 0), 0x00000000u);
    EXPECT_EQ(image.PixelAt(1, 0), 0xFF123456u);
    // 255*128/255 = 128, 128*128/255 = 64.25 -> 64, 1*128/255 -> 0
    EXPECT_EQ(image.PixelAt(2, 0), 0x80804000u);
    EXPECT_EQ(image.PixelAt(3, 0), 0x01010101u);
}

TEST(Scaler, DoublingRepeatsEachPixelInABlock) {
    const platform::Image source = Numbered(4, 4);
    for (bool bottomUp : {false, true}) {
        std::vector<uint32_t> dest(8 * 8, 0);
        ASSERT_TRUE(UL::ScalePixels(source.Pixels(), 4, 4, 4, dest.data(), 8, 8, 8, bottomUp, 0.0));
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(dest[size_t(y * 8 + x)], source.PixelAt(x / 2, y / 2)) << x << "," << y;
    }
}

TEST(Scaler, ShrinkingTakesTruncatedRunningSums) {
    const platform::Image source = Numbered(5, 3);
    std::vector<uint32_t> dest(2 * 2, 0);
    ASSERT_TRUE(UL::ScalePixels(source.Pixels(), 5, 3, 5, dest.data(), 2, 2, 2, false, 0.0));
    // sx = 2.5: columns 0 and 2; sy = 1.5: rows 0 and 1
    EXPECT_EQ(dest[0], source.PixelAt(0, 0));
    EXPECT_EQ(dest[1], source.PixelAt(2, 0));
    EXPECT_EQ(dest[2], source.PixelAt(0, 1));
    EXPECT_EQ(dest[3], source.PixelAt(2, 1));
}

TEST(Scaler, RefusesWideOrEmptyDestinations) {
    const platform::Image source = Numbered(4, 4);
    std::vector<uint32_t> dest(1201 * 2, 7u);
    EXPECT_FALSE(UL::ScalePixels(source.Pixels(), 4, 4, 4, dest.data(), 1201, 2, 1201, false, 0.0));
    EXPECT_EQ(dest[0], 7u);
    EXPECT_TRUE(UL::ScalePixels(source.Pixels(), 4, 4, 4, dest.data(), 1200, 2, 1200, false, 0.0));
    EXPECT_FALSE(UL::ScalePixels(source.Pixels(), 4, 4, 4, dest.data(), 0, 2, 1, false, 0.0));
    EXPECT_FALSE(UL::ScalePixels(source.Pixels(), 0, 4, 4, dest.data(), 2, 2, 2, false, 0.0));
}

TEST(Scaler, HalfTurnMirrorsThePicture) {
    const platform::Image source = Numbered(4, 4);
    std::vector<uint32_t> dest(16, 0);
    ASSERT_TRUE(UL::ScalePixels(source.Pixels(), 4, 4, 4, dest.data(), 4, 4, 4, false, 180.0));
    // About the centres: destination (1, 1) maps to source (3, 3).
    EXPECT_EQ(dest[1 * 4 + 1], source.PixelAt(3, 3));
    EXPECT_EQ(dest[0], 0u) << "source point outside keeps the destination";
}

TEST(ResizeFitting, KeepsTheAspect) {
    struct Case {
        CSize current, requested, fitted;
    } cases[] = {{{100, 100}, {50, 80}, {50, 50}},
                 {{100, 100}, {300, 100}, {100, 100}},
                 {{200, 100}, {100, 100}, {100, 50}},
                 {{100, 200}, {100, 100}, {50, 100}}};
    for (const Case& c : cases) {
        const CSize fitted = UL::FitSizeKeepingAspect(c.current, c.requested);
        EXPECT_EQ(fitted, c.fitted) << c.requested.width << "x" << c.requested.height;
    }
}

TEST_F(PictureTest, ResizeScalesThePixels) {
    UL::CPicture picture;
    picture.SetImage(Numbered(100, 100));
    ASSERT_TRUE(picture.Resize(CSize{50, 80}, true));
    EXPECT_EQ(picture.GetSize(), (CSize{50, 50}));
    EXPECT_EQ(picture.GetImage().PixelAt(10, 20), Numbered(100, 100).PixelAt(20, 40));
    EXPECT_TRUE(picture.Resize(CSize{50, 50}, false)) << "nothing changes";
    EXPECT_FALSE(picture.Resize(CSize{1300, 10}, false)) << "too wide for the scaler";
    EXPECT_EQ(picture.GetSize(), (CSize{50, 50}));
    UL::CPicture empty;
    EXPECT_FALSE(empty.Resize(CSize{10, 10}, true));
}

TEST_F(PictureTest, DrawUsesAlphaColourKeyOrCopy) {
    platform::Image half(1, 1, true);
    half.SetPixel(0, 0, 0x80800000u);  // premultiplied half red
    UL::CPicture alpha;
    alpha.SetImage(half);
    UL::CPicture keyed;
    platform::Image two(2, 1, false);
    two.SetPixel(0, 0, 0xFF00FF00u);
    two.SetPixel(1, 0, 0xFFFF00FFu);
    keyed.SetImage(two);
    keyed.SetTransparentColour(0x00FF00FF);  // magenta as 0x00BBGGRR
    UL::CPicture plain;
    plain.SetImage(two);
    {
        platform::DrawContext dc(target);
        UL::CDrawInfo info(&dc);
        EXPECT_TRUE(alpha.Draw(info, CPoint{0, 0}, CSize{0, 0}, CPoint{0, 0}));
        EXPECT_TRUE(keyed.Draw(info, CPoint{0, 1}, CSize{0, 0}, CPoint{0, 0}));
        EXPECT_TRUE(plain.Draw(info, CPoint{0, 2}, CSize{1, 1}, CPoint{1, 0}));
        UL::CPicture empty;
        EXPECT_FALSE(empty.Draw(info, CPoint{5, 5}, CSize{0, 0}, CPoint{0, 0}));
    }
    const uint32_t blended = target.PixelAt(0, 0);
    EXPECT_NEAR(int((blended >> 16) & 0xFF), 255, 1);
    EXPECT_NEAR(int((blended >> 8) & 0xFF), 127, 1);
    EXPECT_EQ(target.PixelAt(0, 1), 0xFF00FF00u);
    EXPECT_EQ(target.PixelAt(1, 1), kWhite) << "the key colour is left out";
    EXPECT_EQ(target.PixelAt(0, 2), 0xFFFF00FFu) << "copied from source point (1, 0)";
    EXPECT_EQ(target.PixelAt(5, 5), kWhite);
}

TEST_F(PictureTest, StretchedDrawingByBothModes) {
    for (int mode : {0, 1}) {
        target.Fill(kWhite);
        UL::CPicture picture(mode);
        picture.SetImage(Numbered(4, 4));
        {
            platform::DrawContext dc(target);
            UL::CDrawInfo info(&dc);
            ASSERT_TRUE(picture.DrawStretched(info, CPoint{2, 2}, CSize{8, 8}, CPoint{0, 0}, CSize{0, 0}));
        }
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(target.PixelAt(2 + x, 2 + y), Numbered(4, 4).PixelAt(x / 2, y / 2)) << mode;
        EXPECT_EQ(target.PixelAt(10, 10), kWhite);
    }
}

TEST_F(PictureTest, RefusedScalingDrawsNothing) {
    UL::CPicture picture(1);
    picture.SetImage(Numbered(4, 4));
    platform::Image wide(1300, 4, false);
    wide.Fill(kWhite);
    {
        platform::DrawContext dc(wide);
        UL::CDrawInfo info(&dc);
        EXPECT_FALSE(picture.DrawStretched(info, CPoint{0, 0}, CSize{1201, 4}, CPoint{0, 0}, CSize{0, 0}));
    }
    for (int x = 0; x < 1300; x += 50) ASSERT_EQ(wide.PixelAt(x, 1), kWhite) << "no black block at " << x;
}

TEST_F(PictureTest, CopyKeepsItselfAndDuplicatesOthers) {
    UL::CPicture picture;
    picture.SetImage(Numbered(3, 2));
    EXPECT_TRUE(picture.Copy(picture));
    EXPECT_EQ(picture.GetSize(), (CSize{3, 2}));
    EXPECT_EQ(picture.GetImage().PixelAt(2, 1), Numbered(3, 2).PixelAt(2, 1));
    UL::CPicture other;
    ASSERT_TRUE(other.Copy(picture));
    EXPECT_EQ(other.GetImage().PixelAt(2, 1), Numbered(3, 2).PixelAt(2, 1));
    picture.Release();
    EXPECT_EQ(other.GetSize(), (CSize{3, 2})) << "the copy owns its pixels";
    EXPECT_FALSE(other.Copy(picture)) << "copying an empty picture fails";
    EXPECT_EQ(other.Release(), 0);
}

TEST_F(PictureTest, SaveTypesAndLoadPremultiplies) {
    gbxtest::TempDir dir;
    UL::CPicture picture;
    platform::Image image(2, 1, true);
    image.SetPixel(0, 0, 0xFF102030u);
    image.SetPixel(1, 0, 0x80402010u);  // premultiplied
    picture.SetImage(image);
    struct Case {
        int type;
        const char* name;
        bool saved;
    } cases[] = {{3, "t3", false},   {4, "t.bmp", true}, {5, "t.jpg", true},
                 {6, "t.png", true}, {7, "t.gif", true}, {8, "t8", false}};
    for (const Case& c : cases) EXPECT_EQ(picture.Save(dir.File(c.name), c.type), c.saved) << c.type;
    UL::CPicture loaded;
    ASSERT_TRUE(loaded.Load(dir.File("t.png")));
    EXPECT_TRUE(loaded.GetImage().HasAlpha());
    EXPECT_EQ(loaded.GetImage().PixelAt(0, 0), 0xFF102030u);
    const uint32_t back = loaded.GetImage().PixelAt(1, 0);
    EXPECT_EQ(back >> 24, 0x80u);
    EXPECT_NEAR(int((back >> 16) & 0xFF), 0x40, 1) << "premultiplied again after loading";
    EXPECT_EQ(loaded.GetTransparentColour(), -1);
    EXPECT_FALSE(loaded.Load(dir.File("t3")));
    EXPECT_EQ(loaded.GetSize(), (CSize{0, 0})) << "a failed load leaves the picture empty";
}

TEST_F(PictureTest, StateStripGeometry) {
    struct Case {
        int states;
        bool horizontal, masked;
        CSize picture, state;
        int index;
        CPoint origin, mask;
    } cases[] = {
        {4, true, true, {200, 40}, {50, 20}, 2, {100, 0}, {100, 20}},
        {4, true, false, {200, 40}, {50, 40}, 3, {150, 0}, {150, 40}},
        {3, false, true, {40, 90}, {20, 30}, 1, {0, 30}, {20, 30}},
        {8, false, false, {7, 56}, {7, 7}, 7, {0, 49}, {7, 49}},
    };
    for (const Case& c : cases) {
        UL::CStatePicture strip(c.states, c.horizontal, c.masked);
        dynamic_cast<UL::CPicture&>(strip.GetPicture())
            .SetImage(platform::Image(c.picture.width, c.picture.height, false));
        EXPECT_EQ(strip.GetStateSize(), c.state);
        EXPECT_EQ(strip.GetStateOrigin(c.index).x, c.origin.x);
        EXPECT_EQ(strip.GetStateOrigin(c.index).y, c.origin.y);
        EXPECT_EQ(strip.GetMaskOrigin(c.index).x, c.mask.x);
        EXPECT_EQ(strip.GetMaskOrigin(c.index).y, c.mask.y);
    }
    UL::CStatePicture none(0, true, false);
    EXPECT_EQ(none.GetStateCount(), 1) << "no division by zero states";
}

TEST_F(PictureTest, MaskedStateDrawsOnlyItsShape) {
    // Two states side by side, 2 x 1 each, masks in the row below.
    UL::CStatePicture strip(2, true, true);
    platform::Image image(4, 2, false);
    image.Fill(0xFF000000u);
    image.SetPixel(2, 0, 0xFFFF0000u);  // state 1: red at its left pixel
    image.SetPixel(2, 1, 0xFF000000u);  // its mask: shown there
    image.SetPixel(3, 1, 0xFFFFFFFFu);  // and transparent at its right pixel
    dynamic_cast<UL::CPicture&>(strip.GetPicture()).SetImage(image);
    target.Fill(0xFF00FF00u);
    {
        platform::DrawContext dc(target);
        UL::CDrawInfo info(&dc);
        ASSERT_TRUE(strip.DrawState(info, CPoint{5, 5}, 1));
    }
    EXPECT_EQ(target.PixelAt(5, 5) & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(target.PixelAt(6, 5) & 0xFFFFFF, 0x00FF00u);
}

TEST_F(PictureTest, DrawInfoVisibility) {
    platform::DrawContext dc(target);
    UL::CDrawInfo whole(&dc);
    EXPECT_TRUE(whole.IsVisible(UL::CRect{30, 30, 40, 40}));
    EXPECT_FALSE(whole.IsVisible(UL::CRect{33, 33, 40, 40}));
    UL::CDrawInfo listed(&dc, {UL::CRect{0, 0, 4, 4}, UL::CRect{10, 10, 12, 12}});
    EXPECT_TRUE(listed.IsVisible(UL::CRect{11, 11, 20, 20}));
    EXPECT_FALSE(listed.IsVisible(UL::CRect{5, 5, 9, 9}));
}

TEST(PictureFactory, MakesScalingPictures) {
    std::unique_ptr<UL::APicture> picture(UL::CPictureFactory::GetInstance().CreatePicture());
    ASSERT_NE(dynamic_cast<UL::CPicture*>(picture.get()), nullptr);
    EXPECT_EQ(dynamic_cast<UL::CPicture*>(picture.get())->GetScalingMode(), 1);
    EXPECT_EQ(&UL::CPictureFactory::GetInstance(), &UL::CPictureFactory::GetInstance());
}

}  // namespace
