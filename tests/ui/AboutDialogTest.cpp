#include "platform/window/Application.h"
#include "platform/window/DialogTemplate.h"
#include "tests/support/WidgetDriver.h"
#include "ui/AboutDialog.h"

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr int kTemplate = 32867, kIcon = 0xFFFF, kDescription = 32825, kVersion = 32826, kLegal = 32866;

void RegisterAboutTemplate() {
    platform::DialogTemplate about;
    about.units = platform::Size{235, 66};
    about.items = {{kIcon, platform::kClassStatic, "", platform::Rect{11, 17, 32, 37},
                    platform::kWsChild | platform::kWsVisible | platform::kSsIcon},
                   {kDescription, platform::kClassStatic, "", platform::Rect{40, 10, 170, 20},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {kVersion, platform::kClassStatic, "", platform::Rect{40, 24, 170, 34},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {kLegal, platform::kClassStatic, "", platform::Rect{40, 38, 170, 48},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {1, platform::kClassButton, "OK", platform::Rect{178, 7, 228, 21},
                    platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kBsDefPushButton}};
    platform::RegisterDialogTemplate(kTemplate, about);
}

// The About box over a version block of the test's own, with the detail key as the test says.
class TestAboutDialog : public UL::CAboutDialogA {
public:
    TestAboutDialog(std::map<std::string, std::string> block, bool detail, int icon = -1)
        : UL::CAboutDialogA(icon, kTemplate, kIcon, kDescription, kVersion, kLegal),
          m_block(std::move(block)),
          m_detail(detail) {}
    std::string caption, description, version, legal;
    bool hasIcon = false;

protected:
    std::string ReadVersion(const std::string& name) const override {
        auto found = m_block.find(name);
        return found == m_block.end() ? std::string() : found->second;
    }
    bool IsDetailKeyHeld() const override { return m_detail; }
    bool OnInitDialog() override {
        const bool ok = UL::CAboutDialogA::OnInitDialog();
        caption = GetWindow()->Title();
        description = GetDlgItemText(kDescription);
        version = GetDlgItemText(kVersion);
        legal = GetDlgItemText(kLegal);
        hasIcon = dynamic_cast<platform::PictureView*>(GetDlgItem(kIcon))->HasImage();
        return ok;
    }

private:
    std::map<std::string, std::string> m_block;
    bool m_detail;
};

TEST(VersionText, DetailAppendsTheProductVersionDigits) {
    struct Case {
        const char* file;
        const char* product;
        bool detail;
        const char* text;
    } cases[] = {{"1.0.1.1", "1,0,1,1", false, "Version 1.0.1.1"},
                 {"1.0.1.1", "1,0,1,1", true, "Version 1.0.1.1 (1011)"},
                 {"2.3", "2,3", true, "Version 2.3 (2300)"},
                 {"", "", true, "Version  (0000)"},
                 {"1.2", "12,34,5,6", true, "Version 1.2 (123456)"}};
    for (const Case& c : cases) EXPECT_EQ(UL::MakeVersionText(c.file, c.product, c.detail), c.text) << c.text;
}

class AboutDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        RegisterAboutTemplate();
    }
    int RunAndClose(UL::CAboutDialog& dialog, int key = Qt::Key_Return) {
        gbxtest::WhenModalAppears([key](QWidget* modal) { gbxtest::PressKey(modal, key); });
        return dialog.DoModal();
    }
};

TEST_F(AboutDialogTest, TextsComeFromTheVersionBlock) {
    TestAboutDialog dialog({{"FileDescription", "Gigbox Setlister"},
                            {"FileVersion", "1.0.1.1"},
                            {"ProductVersion", "1,0,1,1"},
                            {"LegalCopyright", "Copyright (C) Corvane"}},
                           false);
    EXPECT_EQ(RunAndClose(dialog), 1);
    EXPECT_EQ(dialog.caption, "About Gigbox Setlister");
    EXPECT_EQ(dialog.description, "Gigbox Setlister");
    EXPECT_EQ(dialog.version, "Version 1.0.1.1");
    EXPECT_EQ(dialog.legal, "Copyright (C) Corvane");
    EXPECT_TRUE(dialog.hasIcon) << "the generic application icon";
    EXPECT_FALSE(dialog.HasWindow());
}

TEST_F(AboutDialogTest, CtrlHeldShowsProductDigitsAndMissingTextsAreEmpty) {
    TestAboutDialog dialog({{"FileVersion", "1.0.1.1"}, {"ProductVersion", "1,0,1,1"}}, true, 4096);
    EXPECT_EQ(RunAndClose(dialog, Qt::Key_Escape), 2);
    EXPECT_EQ(dialog.caption, "About ");
    EXPECT_EQ(dialog.description, "");
    EXPECT_EQ(dialog.version, "Version 1.0.1.1 (1011)");
    EXPECT_EQ(dialog.legal, "");
    EXPECT_FALSE(dialog.hasIcon) << "no icon is registered under 4096";
}

TEST_F(AboutDialogTest, MissingTemplateFails) {
    UL::CAboutDialog missing(-12345, -1, kIcon, kDescription, kVersion, kLegal);
    EXPECT_EQ(missing.DoModal(), -1);
}

TEST_F(AboutDialogTest, ProgramVersionBlockIsReadByDefault) {
    UL::CAboutDialogA dialog(-1, kTemplate, kIcon, kDescription, kVersion, kLegal);
    std::string caption;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        caption = modal->windowTitle().toStdString();
        gbxtest::PressKey(modal, Qt::Key_Escape);
    });
    dialog.DoModal();
    EXPECT_EQ(caption.rfind("About ", 0), 0u);
}

}  // namespace
