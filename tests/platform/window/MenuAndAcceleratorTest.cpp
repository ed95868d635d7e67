// Menu bars from templates in the program's language, accelerators ahead of the focused control,
// string tables with their English fallback, the idle work of the loops, and the list view that a
// template makes by default.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Menu.h"
#include "platform/window/ReportList.h"
#include "platform/window/Resources.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <string>
#include <utility>
#include <vector>

namespace {

using platform::ResourceLanguage;

constexpr int kMenuId = -700;
constexpr int kSave = 0x8101, kOpen = 0x8102, kNested = 0x8103, kQuit = 0x8104;

platform::MenuTemplate SampleMenu(const std::string& file, const std::string& quit) {
    platform::MenuTemplate menu;
    menu.popups = {
        {0, file, {{kOpen, "&Open", {}}, {kSave, "&Save", {}}, {}, {0, "&More", {{kNested, "&Nested", {}}}}}},
        {0, "&Help", {{kQuit, quit, {}}}},
    };
    return menu;
}

class RecordingFrame : public platform::Window {
public:
    RecordingFrame() : platform::Window(platform::WindowKind::Main) {}
    std::vector<std::pair<int, bool>> menuCommands;
    std::vector<std::vector<int>> popups;
    std::vector<int> keys;
    int idles = 0;
    bool endOnIdle = false;

protected:
    void OnMenuCommand(int id, bool fromAccelerator) override { menuCommands.emplace_back(id, fromAccelerator); }
    void OnMenuPopup(const std::vector<int>& ids) override { popups.push_back(ids); }
    bool OnKey(const platform::KeyInput& key) override {
        if (key.action == platform::KeyAction::Down) keys.push_back(key.code);
        return false;
    }
    void OnIdle() override {
        ++idles;
        if (endOnIdle) EndModal(5);
    }
};

class MenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::RegisterMenuTemplate(kMenuId, ResourceLanguage::English, SampleMenu("&File", "E&xit"));
    }
};

TEST_F(MenuTest, TheProgramsLanguageChoosesTheMenuAndEnglishStandsInForAMissingOne) {
    platform::RegisterMenuTemplate(kMenuId, ResourceLanguage::Japanese, SampleMenu("ファイル(&F)", "終了(&X)"));
    {
        gbxtest::LanguageScope ja("ja_JP.UTF-8");
        EXPECT_EQ(platform::ProgramLanguage(), ResourceLanguage::Japanese);
        ASSERT_NE(platform::FindMenuTemplate(kMenuId), nullptr);
        EXPECT_EQ(platform::FindMenuTemplate(kMenuId)->popups[0].text, "ファイル(&F)");
        EXPECT_EQ(platform::FindMenuTemplate(kMenuId - 1), nullptr);
    }
    {
        gbxtest::LanguageScope en("en_GB.UTF-8");
        EXPECT_EQ(platform::FindMenuTemplate(kMenuId)->popups[0].text, "&File");
    }
    platform::RegisterMenuTemplate(kMenuId - 2, ResourceLanguage::English, SampleMenu("&Only", "E&xit"));
    gbxtest::LanguageScope ja("ja");
    ASSERT_NE(platform::FindMenuTemplate(kMenuId - 2), nullptr);
    EXPECT_EQ(platform::FindMenuTemplate(kMenuId - 2)->popups[0].text, "&Only");
}

TEST_F(MenuTest, TheBarShowsTheTemplateAndTheClientAreaStartsBelowIt) {
    RecordingFrame frame;
    frame.SetClientSize(platform::Size{400, 300});
    frame.SetMenu(platform::FindMenuTemplate(kMenuId));
    platform::MenuBar* menu = frame.Menu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->PopupCount(), 2);
    EXPECT_EQ(menu->PopupText(0), "&File");
    EXPECT_EQ(menu->PopupItemIds(0), (std::vector<int>{kOpen, kSave, kNested}));
    EXPECT_EQ(menu->ItemIds(), (std::vector<int>{kOpen, kSave, kNested, kQuit}));
    EXPECT_EQ(menu->ItemText(kQuit), "E&xit");
    EXPECT_FALSE(menu->HasItem(1234));

    const int barHeight = menu->Height();
    ASSERT_GT(barHeight, 0);
    EXPECT_EQ(frame.ClientSize(), (platform::Size{400, 300})) << "the bar takes its own room";
    EXPECT_EQ(frame.Widget()->height(), 300 + barHeight);
    EXPECT_EQ(frame.ClientScreenRect().top, frame.Widget()->mapToGlobal(QPoint(0, 0)).y() + barHeight);

    platform::Window view(platform::WindowKind::Child, &frame);
    view.SetGeometry(platform::Rect{0, 0, 400, 300});
    EXPECT_EQ(view.Widget()->geometry().top(), barHeight) << "placed in the frame's client pixels";
    EXPECT_EQ(view.Geometry(), (platform::Rect{0, 0, 400, 300}));

    frame.SetMenu(nullptr);
    EXPECT_EQ(frame.Menu(), nullptr);
    EXPECT_EQ(frame.ClientSize(), (platform::Size{400, 300}));
}

// A frame restores its stored placement before its bar comes: the bar goes inside the placement, so
// the placement read back at exit is the one stored (it grew by the bar at every start).
TEST_F(MenuTest, TheBarKeepsAPlacementGivenBeforeIt) {
    const platform::Rect stored{40, 30, 640, 487};
    for (const bool maximisedFirst : {false, true}) {
        RecordingFrame frame;
        if (maximisedFirst) frame.Maximise();
        frame.SetNormalPlacementRect(stored);
        frame.SetMenu(platform::FindMenuTemplate(kMenuId));
        EXPECT_EQ(frame.NormalPlacementRect(), stored) << maximisedFirst;
        if (!maximisedFirst) {
            EXPECT_EQ(frame.PlacementRect(), stored);
            EXPECT_EQ(frame.ClientSize().height, stored.Height() - frame.Menu()->Height());
        }
    }
}

TEST_F(MenuTest, ChoosingReachesTheWindowOnlyWhileItemAndWindowAreEnabled) {
    RecordingFrame frame;
    frame.SetMenu(platform::FindMenuTemplate(kMenuId));
    platform::MenuBar& menu = *frame.Menu();
    EXPECT_TRUE(menu.Choose(kNested));
    menu.EnableItem(kSave, false);
    EXPECT_FALSE(menu.IsItemEnabled(kSave));
    EXPECT_FALSE(menu.Choose(kSave));
    frame.Enable(false);
    EXPECT_FALSE(menu.Choose(kOpen));
    frame.Enable(true);

    // A checked item stays as the window says, whatever the click does to the toolkit's own mark.
    menu.CheckItem(kOpen, true);
    EXPECT_TRUE(menu.Choose(kOpen));
    EXPECT_TRUE(menu.IsItemChecked(kOpen));
    QAction* open = nullptr;
    for (QAction* action : frame.Widget()->findChildren<QAction*>())
        if (action->text() == "&Open") open = action;
    ASSERT_NE(open, nullptr);
    EXPECT_TRUE(open->isChecked());
    menu.CheckItem(kOpen, false);
    EXPECT_FALSE(open->isCheckable()) << "an unchecked item shows no empty box";
    EXPECT_EQ(frame.menuCommands, (std::vector<std::pair<int, bool>>{{kNested, false}, {kOpen, false}}));
}

TEST_F(MenuTest, OpeningAPopupAsksForItsItemsFirst) {
    RecordingFrame frame;
    frame.SetMenu(platform::FindMenuTemplate(kMenuId));
    frame.Menu()->OpenPopup(1);
    auto* bar = frame.Widget()->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    auto* file = bar->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly).value(0);
    ASSERT_NE(file, nullptr);
    emit file->aboutToShow();  // as the toolkit does when the user opens it
    EXPECT_EQ(frame.popups, (std::vector<std::vector<int>>{{kQuit}, {kOpen, kSave, kNested}}));
}

TEST(AcceleratorTableTest, OnlyPressesWithExactlyTheModifiersMatch) {
    const platform::AcceleratorTable table = {
        {'A', platform::kModCtrl, 57642}, {'A', platform::kModCtrl | platform::kModShift, 7}, {platform::kKeyF1, 0, 9}};
    const struct {
        const char* name;
        platform::KeyInput input;
        int command;
    } cases[] = {
        {"Ctrl+A", {platform::KeyAction::Down, 'A', platform::kModCtrl}, 57642},
        {"Ctrl+Shift+A", {platform::KeyAction::Down, 'A', platform::kModCtrl | platform::kModShift}, 7},
        {"A alone", {platform::KeyAction::Down, 'A', 0}, 0},
        {"Ctrl+Alt+A", {platform::KeyAction::Down, 'A', platform::kModCtrl | platform::kModAlt}, 0},
        {"Ctrl+A let go", {platform::KeyAction::Up, 'A', platform::kModCtrl}, 0},
        {"F1 with the right button held", {platform::KeyAction::Down, platform::kKeyF1, platform::kModRightButton}, 9},
        {"Ctrl+B", {platform::KeyAction::Down, 'B', platform::kModCtrl}, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::TranslateAccelerator(table, c.input), c.command) << c.name;
}

TEST_F(MenuTest, AcceleratorsComeBeforeTheFocusedControlUnlessItClaimsTheKey) {
    platform::RegisterAcceleratorTable(kMenuId, {{'A', platform::kModCtrl, 57642}, {'Q', platform::kModCtrl, kQuit}});
    RecordingFrame frame;
    frame.SetAccelerators(platform::FindAcceleratorTable(kMenuId));
    platform::Window view(platform::WindowKind::Child, &frame);
    auto& button = view.AddControl<platform::PushButton>(10, "Go");
    auto& edit = view.AddControl<platform::Edit>(11, "some text", 0u);
    frame.Show();
    view.Show();
    frame.Activate();

    button.SetFocus();
    gbxtest::PressKey(frame.Widget(), Qt::Key_A, Qt::ControlModifier);
    gbxtest::PressKey(frame.Widget(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(frame.menuCommands, (std::vector<std::pair<int, bool>>{{57642, true}}));

    // A text edit keeps Ctrl+A (select its text) but not a key it has no use for.
    edit.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return edit.HasFocus(); }));
    gbxtest::PressKey(frame.Widget(), Qt::Key_A, Qt::ControlModifier);
    gbxtest::PressKey(frame.Widget(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(frame.menuCommands, (std::vector<std::pair<int, bool>>{{57642, true}, {kQuit, true}}));

    frame.Enable(false);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier);
    QApplication::sendEvent(edit.Widget(), &press);
    EXPECT_EQ(frame.menuCommands.size(), 2u) << "a disabled window takes no accelerators";
    frame.Enable(true);

    frame.SetAccelerators(nullptr);
    button.SetFocus();
    gbxtest::PressKey(frame.Widget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(frame.menuCommands.size(), 2u);
}

TEST(StringTableTest, TheProgramsLanguageFirstThenEnglish) {
    platform::RegisterString(ResourceLanguage::English, -3073, "English");
    platform::RegisterString(ResourceLanguage::Japanese, -3073, "Japanese");
    platform::RegisterString(ResourceLanguage::English, -3074, "only English");
    std::string text;
    {
        gbxtest::LanguageScope ja("ja_JP.UTF-8");
        ASSERT_TRUE(platform::LoadResourceString(-3073, text));
        EXPECT_EQ(text, "Japanese");
        ASSERT_TRUE(platform::LoadResourceString(-3074, text));
        EXPECT_EQ(text, "only English");
        EXPECT_FALSE(platform::LoadResourceString(ResourceLanguage::Japanese, -3074, text));
    }
    gbxtest::LanguageScope c("C");
    ASSERT_TRUE(platform::LoadResourceString(-3073, text));
    EXPECT_EQ(text, "English");
    EXPECT_FALSE(platform::LoadResourceString(-3075, text));
}

TEST_F(MenuTest, TheMainLoopRunsTheIdleWorkOnceItHasHandledWhatWaited) {
    int idles = 0;
    bool posted = false;
    platform::SetIdleHandler([&] {
        ++idles;
        if (posted) platform::QuitMainLoop(3);
    });
    QTimer::singleShot(0, [&] { posted = true; });  // something to handle before the loop waits
    EXPECT_EQ(platform::RunMainLoop(), 3);
    EXPECT_GE(idles, 1);
    platform::SetIdleHandler(nullptr);
}

TEST_F(MenuTest, AWindowsOwnLoopHearsTheIdleWorkInsteadOfTheProgram) {
    int programIdles = 0;
    platform::SetIdleHandler([&] { ++programIdles; });
    RecordingFrame dialog;
    dialog.endOnIdle = true;  // a dialog that starts its work once its loop is idle
    EXPECT_EQ(dialog.RunModal(), 5);
    EXPECT_EQ(dialog.idles, 1);
    EXPECT_EQ(programIdles, 0);
    platform::RunIdleWork();
    EXPECT_EQ(programIdles, 1);
    platform::SetIdleHandler(nullptr);
}

TEST_F(MenuTest, ATemplatesListViewIsAReportListUnlessAMakerClaimsTheClass) {
    platform::DialogTemplate form;
    form.units = platform::Size{100, 60};
    form.items = {{7, platform::kClassListView, "", platform::Rect{5, 5, 95, 55}}};
    platform::Window window(platform::WindowKind::Dialog);
    window.BuildFromTemplate(form);
    EXPECT_NE(dynamic_cast<platform::ReportList*>(window.FindControl(7)), nullptr);
    EXPECT_EQ(window.Controls().size(), 1u);
}

}  // namespace
