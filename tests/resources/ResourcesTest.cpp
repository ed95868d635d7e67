// The program's resources: strings and the main menu in both languages byte for byte, the accelerator
// tables, every dialog template laid out inside its dialog without overlaps and with the controls the
// program binds by id, the program icon, and the pictures of the Script folder as the buttons read them.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Image.h"
#include "platform/window/Menu.h"
#include "platform/window/ReportList.h"
#include "platform/window/Resources.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "resources/Resources.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/CmdTarget.h"
#include "ui/Controls.h"
#include "ui/DialogLayout.h"
#include "ui/FrameWnd.h"
#include "ui/Picture.h"
#include "ui/ResourcePictures.h"
#include "ui/StringResources.h"

#include <gtest/gtest.h>

#include <QMenuBar>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using platform::Rect;
using platform::ResourceLanguage;

class ResourcesTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        resources::RegisterProgramResources();
    }
};

TEST_F(ResourcesTest, TheLanguageStringNamesTheTablesLanguage) {
    {
        gbxtest::LanguageScope ja("ja_JP.UTF-8");
        EXPECT_EQ(UL::LoadString(IDS_LANGUAGE), "Japanese");
    }
    {
        gbxtest::LanguageScope en("en_US.UTF-8");
        EXPECT_EQ(UL::LoadString(IDS_LANGUAGE), "English");
    }
    std::string text = "x";
    EXPECT_TRUE(platform::LoadResourceString(IDR_MAINFRAME, text));
    EXPECT_EQ(text, "") << "the empty document string";
}

struct MenuRow {
    int popup;
    int id;  // 0 for the popup's own text
    const char* english;
    const char* japanese;
};

TEST_F(ResourcesTest, TheMainMenuInBothLanguages) {
    const MenuRow rows[] = {
        {0, 0, "&File", "ファイル(&F)"},
        {0, UL::ID_APP_EXIT, "E&xit", "終了(&X)"},
        {1, 0, "&Options", "オプション(&O)"},
        {1, ID_OPTION_SAVE_MEMORY, "Conserve Card &Memory", "カードメモリを節約する (&M)"},
        {1, ID_OPTION_PROXY, "Set &Proxy Server...", "プロキシサーバーの設定 (&P)..."},
        {2, 0, "&Help", "ヘルプ(&H)"},
        {2, ID_HELP_MANUAL, "Gigbox Setlister &Manual", "Gigbox Setlister の使いかた(&M)"},
        {2, ID_HELP_VENDOR_WEB, "&Tunemark web", "Tunemark ウェブ(&G)"},
        {2, ID_APP_ABOUT, "&About Gigbox Setlister...", "Gigbox Setlister のバージョン情報(&A)..."},
    };
    for (const ResourceLanguage language : {ResourceLanguage::English, ResourceLanguage::Japanese}) {
        const platform::MenuTemplate* menu = platform::FindMenuTemplate(IDR_MAINFRAME, language);
        ASSERT_NE(menu, nullptr);
        ASSERT_EQ(menu->popups.size(), 3u);
        std::vector<int> ids;
        for (const MenuRow& row : rows) {
            const std::string expected = language == ResourceLanguage::English ? row.english : row.japanese;
            const platform::MenuItemTemplate& popup = menu->popups[size_t(row.popup)];
            if (row.id == 0) {
                EXPECT_EQ(popup.text, expected);
                continue;
            }
            ids.push_back(row.id);
            const auto item = std::find_if(popup.items.begin(), popup.items.end(),
                                           [&](const platform::MenuItemTemplate& i) { return i.id == row.id; });
            ASSERT_NE(item, popup.items.end()) << row.id;
            EXPECT_EQ(item->text, expected) << row.id;
        }
        platform::Window window;
        window.SetMenu(menu);
        EXPECT_EQ(window.Menu()->ItemIds(), ids) << "nothing more, in this order";
    }
}

TEST_F(ResourcesTest, TheFrameShowsTheMenuOfTheProgramsLanguage) {
    gbxtest::LanguageScope ja("ja_JP.UTF-8");
    UL::CSDIFrameWndEx frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_MAINFRAME, "Gigbox Setlister"));
    const auto* bar = frame.GetWindow()->Widget()->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->actions().size(), 3);
    EXPECT_EQ(bar->actions()[1]->text().toStdString(), "オプション(&O)");
    EXPECT_EQ(frame.GetWindow()->Menu()->ItemText(ID_OPTION_SAVE_MEMORY), "カードメモリを節約する (&M)");
    EXPECT_FALSE(frame.GetWindow()->Icon().IsEmpty()) << "the program icon";
    ASSERT_NE(frame.GetWindow()->Accelerators(), nullptr);
}

TEST_F(ResourcesTest, CtrlASelectsAllInTheMainFrameAndTheRippingDialog) {
    for (const int table : {int(IDR_MAINFRAME), int(IDR_CD_RIPPING)}) {
        const platform::AcceleratorTable* accelerators = platform::FindAcceleratorTable(table);
        ASSERT_NE(accelerators, nullptr) << table;
        EXPECT_EQ(platform::TranslateAccelerator(*accelerators, {platform::KeyAction::Down, 'A', platform::kModCtrl}),
                  UL::ID_EDIT_SELECT_ALL);
        EXPECT_EQ(accelerators->size(), 1u);
    }
}

struct TemplateCase {
    int id;
    const char* title;
    bool resizable;
    std::vector<int> ids;  // the controls the program binds by id
};

// Whether two controls overlap; touching edges do not.
bool Overlap(const Rect& a, const Rect& b) { return a.Intersects(b); }

TEST_F(ResourcesTest, EveryDialogHoldsItsControlsInsideWithoutOverlaps) {
    const TemplateCase cases[] = {
        {IDD_MAIN_FORM,
         "",
         false,
         {IDC_CD_RIPPING, IDC_IMPORT, IDC_EXPORT, IDC_DELETE, IDC_SONG, IDC_RHYTHM, IDC_USER, IDC_SAVE, IDC_CONNECT,
          IDC_SONG_TABLE}},
        {IDD_CD_RIPPING,
         "CD Ripping",
         true,
         {IDC_ALBUM_TITLE, IDC_TRACK_TABLE, IDC_VENDOR_LOGO, IDC_REGET, platform::kCommandOk,
          platform::kCommandCancel}},
        {IDD_CD_INFORMATION_SELECT, "CD Information Select", true, {IDC_QUERY_MESSAGE, IDC_QUERY_TABLE, 1}},
        {IDD_PROXY_SERVER,
         "Proxy Server",
         false,
         {IDC_USE_PROXY, IDC_PROXY_SERVER, IDC_PROXY_PORT, IDC_PROXY_SERVER_LABEL, IDC_PROXY_PORT_LABEL, 1, 2}},
        {IDD_ABOUTBOX, "About", false, {IDC_ABOUT_ICON, IDC_ABOUT_DESCRIPTION, IDC_ABOUT_VERSION, IDC_ABOUT_LEGAL, 1}},
        {IDD_PROGRESS, "Progress", false, {IDC_PROGRESS_MESSAGE, IDC_PROGRESS_BAR, 2}},
    };
    for (const TemplateCase& c : cases) {
        SCOPED_TRACE(c.id);
        const platform::DialogTemplate* table = platform::FindDialogTemplate(c.id);
        ASSERT_NE(table, nullptr);
        EXPECT_EQ(table->title, c.title);
        EXPECT_EQ((table->style & platform::kWsThickFrame) != 0, c.resizable);
        // The bytes the layout reads find each bound control exactly once.
        UL::CDialogTemplate parsed;
        ASSERT_TRUE(parsed.Load(c.id));
        for (int id : c.ids) EXPECT_NE(parsed.GetItem(id), nullptr) << id;
        for (size_t i = 0; i < table->items.size(); ++i) {
            const platform::DialogItem& a = table->items[i];
            EXPECT_GE(a.units.left, 0) << a.id;
            EXPECT_GE(a.units.top, 0) << a.id;
            EXPECT_LE(a.units.right, table->units.width) << a.id;
            EXPECT_LE(a.units.bottom, table->units.height) << a.id;
            EXPECT_FALSE(a.units.IsEmpty()) << a.id;
            for (size_t j = i + 1; j < table->items.size(); ++j)
                EXPECT_FALSE(Overlap(a.units, table->items[j].units)) << a.id << " and " << table->items[j].id;
        }
    }
}

TEST_F(ResourcesTest, TheProxyDialogsControlsAreTheKindsItBinds) {
    platform::Window dialog(platform::WindowKind::Dialog);
    dialog.BuildFromTemplate(*platform::FindDialogTemplate(IDD_PROXY_SERVER));
    auto* box = dynamic_cast<platform::PushButton*>(dialog.FindControl(IDC_USE_PROXY));
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Style(), platform::ButtonStyle::CheckBox);
    EXPECT_NE(dynamic_cast<platform::Edit*>(dialog.FindControl(IDC_PROXY_SERVER)), nullptr);
    EXPECT_NE(dynamic_cast<platform::Edit*>(dialog.FindControl(IDC_PROXY_PORT)), nullptr);
    EXPECT_NE(dynamic_cast<platform::Label*>(dialog.FindControl(IDC_PROXY_SERVER_LABEL)), nullptr);
    EXPECT_EQ(dialog.FindControl(IDC_PROXY_PORT_LABEL)->Text(), "Port");
    EXPECT_EQ(dialog.FindControl(IDC_USE_PROXY)->Text(), "Use a proxy server");
}

// The main form as the view sets it up: each picture button takes its picture's size, and then no two
// buttons, nor a button and the table, overlap in pixels.
TEST_F(ResourcesTest, TheMainFormsPictureButtonsFitBesideEachOtherAboveTheTable) {
    UL::CFormViewEx view(IDD_MAIN_FORM);
    platform::Window frame;
    ASSERT_TRUE(view.Create(frame));
    std::vector<Rect> rects;
    for (const platform::DialogItem& item : platform::FindDialogTemplate(IDD_MAIN_FORM)->items) {
        platform::Control* control = view.GetWindow()->FindControl(item.id);
        ASSERT_NE(control, nullptr) << item.id;
        Rect r = control->GetRect();
        if (item.id != IDC_SONG_TABLE)
            r = Rect{r.left, r.top, r.left + resources::kButtonWidth, r.top + resources::kButtonHeight};
        rects.push_back(r);
    }
    for (size_t i = 0; i < rects.size(); ++i)
        for (size_t j = i + 1; j < rects.size(); ++j) EXPECT_FALSE(Overlap(rects[i], rects[j])) << i << " and " << j;
}

TEST_F(ResourcesTest, TheProgramIconIsRegistered) {
    const platform::Image icon = UL::LoadIconResource(IDR_MAINFRAME);
    ASSERT_EQ(icon.GetSize(), (platform::Size{32, 32}));
    EXPECT_TRUE(icon.HasAlpha());
    EXPECT_EQ(icon.PixelAt(0, 0) >> 24, 0u) << "a transparent corner";
    EXPECT_EQ(icon.PixelAt(16, 20) >> 24, 255u) << "an opaque card";
}

// Mean colour of one state of a strip, for telling states apart.
double MeanBrightness(const platform::Image& strip, int state, int width) {
    double sum = 0;
    int count = 0;
    for (int y = 0; y < strip.Height(); ++y)
        for (int x = state * width; x < (state + 1) * width; ++x) {
            const uint32_t p = strip.PixelAt(x, y);
            sum += ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF);
            ++count;
        }
    return sum / count;
}

TEST_F(ResourcesTest, TheScriptFolderHoldsEveryPictureAsTheButtonsReadIt) {
    ASSERT_EQ(resources::ScriptPictures().size(), 10u);
    for (const resources::ScriptPicture& picture : resources::ScriptPictures()) {
        SCOPED_TRACE(picture.file);
        const std::string path = std::string(GBX_SCRIPT_DIR) + "/" + picture.file;
        platform::Image image;
        ASSERT_TRUE(image.Load(path));
        EXPECT_TRUE(image.HasAlpha());
        if (picture.states == 1) {
            EXPECT_EQ(image.GetSize(), (platform::Size{resources::kLogoWidth, resources::kLogoHeight}));
            continue;
        }
        EXPECT_EQ(image.GetSize(),
                  (platform::Size{resources::kButtonWidth * picture.states, resources::kButtonHeight}));
        // The strip as the button loads it: states side by side, no masks.
        UL::CStatePicture strip(picture.states, true, false);
        ASSERT_TRUE(strip.GetPicture().Load(path));
        EXPECT_EQ(strip.GetStateSize(), (UL::CSize{resources::kButtonWidth, resources::kButtonHeight}));
        const int disabled = UL::ButtonStateIndex(false, picture.states == 8, false, false, false);
        const int normal = UL::ButtonStateIndex(true, picture.states == 8, false, false, false);
        EXPECT_GT(MeanBrightness(image, disabled, resources::kButtonWidth),
                  MeanBrightness(image, normal, resources::kButtonWidth))
            << "the disabled state is paler";
        if (picture.states == 8) {
            const int checked = UL::ButtonStateIndex(true, true, true, false, false);
            EXPECT_LT(MeanBrightness(image, checked, resources::kButtonWidth) + 60,
                      MeanBrightness(image, normal, resources::kButtonWidth))
                << "the checked state stands out";
        }
    }
}

TEST_F(ResourcesTest, RegisteringAgainChangesNothing) {
    resources::RegisterProgramResources();
    EXPECT_EQ(platform::FindMenuTemplate(IDR_MAINFRAME, ResourceLanguage::English)->popups.size(), 3u);
}

}  // namespace
