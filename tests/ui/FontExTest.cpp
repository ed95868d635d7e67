#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/FontEx.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QPushButton>

namespace {

class FontExTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::GetAppProfile().SetPath(dir.File("profile.ini"));
    }
    std::string Stored(const std::string& entry) { return platform::GetProfileString("Settings", entry, "<none>"); }
    gbxtest::TempDir dir;
};

TEST_F(FontExTest, RoundTripsThroughTheProfile) {
    UL::CLogFont logFont;
    logFont.height = -13;
    logFont.width = 0;
    logFont.escapement = 900;
    logFont.orientation = 900;
    logFont.weight = 700;
    logFont.italic = 1;
    logFont.underline = 0;
    logFont.strikeOut = 1;
    logFont.charSet = 1;
    logFont.outPrecision = 7;
    logFont.clipPrecision = 16;
    logFont.quality = 2;
    logFont.pitchAndFamily = 34;
    logFont.faceName = "DejaVu Sans";
    UL::CFontEx font;
    font.CreateFontIndirect(logFont);
    font.SetColor(0x00FF8040);
    font.Save("Settings", "Font");
    EXPECT_EQ(Stored("FontFaceName"), "DejaVu Sans");
    EXPECT_EQ(Stored("FontAttribute"), "-13,0,900,900,700,1,0,1,1,7,16,2,34");
    EXPECT_EQ(Stored("FontColor"), std::to_string(0x00FF8040));

    UL::CFontEx loaded;
    loaded.Load("Settings", "Font");
    ASSERT_TRUE(loaded.HasFont());
    EXPECT_EQ(loaded.GetLogFont(), logFont);
    EXPECT_EQ(loaded.GetColor(), 0x00FF8040u);
    const platform::FontSpec described = loaded.GetFontSpec();
    EXPECT_EQ(described.face, "DejaVu Sans");
    EXPECT_EQ(described.pixelHeight, 13);
    EXPECT_EQ(described.weight, 700);
    EXPECT_TRUE(described.italic);
    EXPECT_TRUE(described.strikeOut);
}

TEST_F(FontExTest, MissingFaceOrAttributesGiveTheStockFont) {
    platform::WriteProfileString("Settings", "FontAttribute", "-13,0,0,0,400,0,0,0,1,7,16,0,0");
    UL::CFontEx font;
    font.Load("Settings", "Font");
    ASSERT_TRUE(font.HasFont());
    EXPECT_EQ(font.GetLogFont(), UL::StockGuiLogFont());
    EXPECT_EQ(font.GetColor(), 0u);
}

TEST_F(FontExTest, ShortOrOddAttributesStayDefined) {
    platform::WriteProfileString("Settings", "FontFaceName", "A face name much longer than thirty-one characters");
    platform::WriteProfileString("Settings", "FontAttribute", "-20,3");
    platform::WriteProfileString("Settings", "FontColor", "junk");
    UL::CFontEx font;
    font.Load("Settings", "Font");
    const UL::CLogFont stock = UL::StockGuiLogFont();
    EXPECT_EQ(font.GetLogFont().faceName.size(), 31u);
    EXPECT_EQ(font.GetLogFont().height, -20);
    EXPECT_EQ(font.GetLogFont().width, 3);
    EXPECT_EQ(font.GetLogFont().weight, stock.weight) << "missing numbers take the stock font's";
    EXPECT_EQ(font.GetLogFont().charSet, 128) << "byte fields keep their defaults";
    EXPECT_EQ(font.GetLogFont().pitchAndFamily, 49);
    EXPECT_EQ(font.GetColor(), 0u);

    UL::CLogFont bytes;
    UL::ParseFontAttributes("1,2,3,4,5,257,0,0,0,0,0,0,300", bytes);
    EXPECT_EQ(bytes.italic, 1) << "the low byte of each number";
    EXPECT_EQ(bytes.pitchAndFamily, 44);
}

TEST_F(FontExTest, LoadOnlyWithoutAFontAndSaveOnlyWithOne) {
    UL::CFontEx empty;
    empty.Save("Settings", "Font");
    EXPECT_EQ(Stored("FontFaceName"), "<none>");
    UL::CLogFont mine;
    mine.faceName = "Mine";
    mine.height = -9;
    UL::CFontEx font;
    font.CreateFontIndirect(mine);
    platform::WriteProfileString("Settings", "FontFaceName", "Other");
    platform::WriteProfileString("Settings", "FontAttribute", "-30,0,0,0,400,0,0,0,0,0,0,0,0");
    font.Load("Settings", "Font");
    EXPECT_EQ(font.GetLogFont().faceName, "Mine");
}

// Picks the font and, through the colour button, the colour in the chooser; then OK or Cancel.
void AnswerFontChooser(const QFont& font, const QColor& colour, bool confirm) {
    gbxtest::WhenModalAppears([=](QWidget* modal) {
        auto* fonts = modal->findChild<QFontDialog*>();
        ASSERT_NE(fonts, nullptr);
        fonts->setCurrentFont(font);
        gbxtest::WhenModalAppears([colour](QWidget* picker) {
            auto* colours = qobject_cast<QColorDialog*>(picker);
            ASSERT_NE(colours, nullptr);
            colours->setCurrentColor(colour);
            colours->accept();
        });
        modal->findChild<QPushButton*>("colourButton")->click();
        auto* buttons = modal->findChild<QDialogButtonBox*>();
        buttons->button(confirm ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel)->click();
    });
}

TEST_F(FontExTest, ChooserTakesTheChosenFontAndColour) {
    UL::CLogFont start;
    start.faceName = "DejaVu Sans";
    start.height = -12;
    start.weight = 400;
    UL::CFontEx font;
    font.CreateFontIndirect(start);
    font.SetColor(0x00123456);
    QFont bold(QStringLiteral("DejaVu Sans"));
    bold.setPixelSize(20);
    bold.setWeight(QFont::Bold);
    AnswerFontChooser(bold, QColor(255, 0, 0), false);
    EXPECT_EQ(font.ChooseFont(0x1 | 0x100), 2);
    EXPECT_EQ(font.GetLogFont(), start) << "cancel keeps the font";
    EXPECT_EQ(font.GetColor(), 0x00123456u);

    AnswerFontChooser(bold, QColor(255, 0, 0), true);
    EXPECT_EQ(font.ChooseFont(0x1 | 0x100), 1);
    EXPECT_EQ(font.GetLogFont().faceName, "DejaVu Sans");
    EXPECT_EQ(font.GetLogFont().height, -20);
    EXPECT_EQ(font.GetLogFont().weight, 700);
    EXPECT_EQ(font.GetColor(), 0x000000FFu) << "red in the profile's word";
}

}  // namespace
