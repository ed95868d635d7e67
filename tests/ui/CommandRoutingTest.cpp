// The framework around the main window: commands from menus, accelerators and a form's controls
// routed through view, document, frame and application; the idle update of menu items and form
// controls; the single-document template; the recent-file list in the settings.
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Menu.h"
#include "platform/window/Resources.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/DialogBase.h"
#include "ui/Document.h"
#include "ui/FrameWnd.h"
#include "ui/WinApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using platform::Rect;

constexpr int kResource = -4300;
// Menu commands and who handles them.
enum : int {
    kViewCommand = 0x9001,
    kFrameCommand = 0x9002,
    kAppCommand = 0x9003,
    kDocCommand = 0x9004,
    kNobodysCommand = 0x9005,
    kViewAndFrameCommand = 0x9006,
    kSwitchableCommand = 0x9007,  // the view handles it; its update handler may disable it
};
// Form controls.
enum : int {
    kFrameButton = 0x8001,     // the frame handles it
    kViewButton = 0x8002,      // the view handles it and checks it while updating
    kOrphanButton = 0x8003,    // nobody handles it
    kOrphanCheckBox = 0x8004,  // nobody handles it, but it works by itself
    kLowViewButton = 100,      // below the frame commands: the view's own
    kLowFrameButton = 101,     // below the frame commands, only the frame has a handler
};

std::vector<std::string> g_log;

class Doc : public UL::CDocument {
public:
    Doc() {
        SetCommandHandler(kDocCommand, [] { g_log.push_back("doc"); });
    }
    int newDocuments = 0;
    std::vector<std::string> failures;

    bool OnNewDocument() override {
        ++newDocuments;
        return UL::CDocument::OnNewDocument();
    }

protected:
    void ReportOpenFailure(const std::string& path) override { failures.push_back(path); }
};

class Frame : public UL::CSDIFrameWndEx {
public:
    Frame() {
        SetCommandHandler(kFrameCommand, [] { g_log.push_back("frame"); });
        SetCommandHandler(kViewAndFrameCommand, [] { g_log.push_back("frame"); });
        SetCommandHandler(kFrameButton, [] { g_log.push_back("frame"); });
        SetCommandHandler(kLowFrameButton, [] { g_log.push_back("frame"); });
    }
    int closes = 0;

protected:
    void OnClose() override {
        ++closes;
        UL::CSDIFrameWndEx::OnClose();
    }
};

class View : public UL::CFormViewEx {
public:
    View() : UL::CFormViewEx(kResource) {
        SetCommandHandler(kViewCommand, [] { g_log.push_back("view"); });
        SetUpdateHandler(kViewCommand, [this](UL::CCmdUI& ui) { ui.SetCheck(checked ? 1 : 0); });
        SetCommandHandler(kViewAndFrameCommand, [] { g_log.push_back("view"); });
        SetCommandHandler(kSwitchableCommand, [] { g_log.push_back("view"); });
        SetUpdateHandler(kSwitchableCommand, [this](UL::CCmdUI& ui) { ui.Enable(switchable); });
        SetCommandHandler(kViewButton, [] { g_log.push_back("view"); });
        SetUpdateHandler(kViewButton, [this](UL::CCmdUI& ui) { ui.SetCheck(checked ? 1 : 0); });
        SetCommandHandler(kLowViewButton, [] { g_log.push_back("view"); });
    }
    bool usesFrameCommands = true;
    bool checked = false;
    bool switchable = true;
    int initialUpdates = 0;
    int destroys = 0;
    std::vector<int> unrouted;

    void OnInitialUpdate() override {
        ++initialUpdates;
        UL::CFormViewEx::OnInitialUpdate();
    }
    platform::PushButton& Button(int id) { return *dynamic_cast<platform::PushButton*>(GetWindow()->FindControl(id)); }

protected:
    bool UsesFrameCommands() override { return usesFrameCommands; }
    void OnCommand(int id) override { unrouted.push_back(id); }
    void OnDestroy() override { ++destroys; }
};

class App : public UL::CWinApp {
public:
    App() : UL::CWinApp("Routing Test") {
        SetCommandHandler(kAppCommand, [] { g_log.push_back("app"); });
    }
};

struct Counts {
    int documents = 0;
    int frames = 0;
    int views = 0;
};

std::unique_ptr<UL::CSingleDocTemplate> MakeTemplate(Counts& counts) {
    return std::make_unique<UL::CSingleDocTemplate>(
        kResource,
        [&counts] {
            ++counts.documents;
            return std::make_unique<Doc>();
        },
        [&counts] {
            ++counts.frames;
            return std::make_unique<Frame>();
        },
        [&counts] {
            ++counts.views;
            return std::make_unique<View>();
        });
}

// Settings in a folder of the test's own.
struct TestSettings {
    TestSettings() { platform::GetAppProfile().SetPath(dir.File("settings.ini")); }
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path()};
};

// The window system, off screen unless the environment names a display.
void StartWindows() {
    gbxtest::UseOffscreenToolkitUnlessSet();
    ASSERT_TRUE(platform::StartWindowSystem());
}

// The form, menu and accelerators of the test's frame and view.
void RegisterResources() {
    platform::DialogTemplate form;
    form.units = platform::Size{200, 80};
    form.style = platform::kWsChild | platform::kWsVisible;
    const uint32_t button = platform::kWsChild | platform::kWsVisible;
    form.items = {
        {kFrameButton, platform::kClassButton, "Frame", Rect{5, 5, 45, 19}, button},
        {kViewButton, platform::kClassButton, "View", Rect{50, 5, 90, 19}, button},
        {kOrphanButton, platform::kClassButton, "Orphan", Rect{95, 5, 135, 19}, button},
        {kOrphanCheckBox, platform::kClassButton, "Box", Rect{140, 5, 195, 19}, button | platform::kBsAutoCheckBox},
        {kLowViewButton, platform::kClassButton, "Low", Rect{5, 25, 45, 39}, button},
        {kLowFrameButton, platform::kClassButton, "Low frame", Rect{50, 25, 90, 39}, button},
        {-1, platform::kClassStatic, "Label", Rect{95, 25, 195, 39}, button},
    };
    platform::RegisterDialogTemplate(kResource, form);

    platform::MenuTemplate menu;
    menu.popups = {{0,
                    "&Commands",
                    {{kViewCommand, "&View", {}},
                     {kFrameCommand, "&Frame", {}},
                     {kAppCommand, "&App", {}},
                     {kDocCommand, "&Doc", {}},
                     {kNobodysCommand, "&Nobody", {}},
                     {kViewAndFrameCommand, "&Both", {}},
                     {kSwitchableCommand, "&Switchable", {}}}},
                   {0, "&File", {{UL::ID_APP_EXIT, "E&xit", {}}}}};
    platform::RegisterMenuTemplate(kResource, platform::ResourceLanguage::English, menu);
    platform::RegisterAcceleratorTable(
        kResource, {{'A', platform::kModCtrl, kViewCommand}, {'S', platform::kModCtrl, kSwitchableCommand}});
}

class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        StartWindows();
        g_log.clear();

        RegisterResources();
        app.AddDocTemplate(MakeTemplate(counts));
        app.OnFileNew();
        doc = dynamic_cast<Doc*>(app.GetDocTemplate()->GetDocument());
        frame = dynamic_cast<Frame*>(app.GetDocTemplate()->GetFrame());
        view = dynamic_cast<View*>(app.GetDocTemplate()->GetView());
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(view, nullptr);
    }
    platform::MenuBar& Menu() { return *frame->GetWindow()->Menu(); }

    TestSettings settings;
    gbxtest::TempDir& dir = settings.dir;
    App app;
    Counts counts;
    Doc* doc = nullptr;
    Frame* frame = nullptr;
    View* view = nullptr;
};

enum class Source { Menu, Accelerator, Control };

struct RoutingCase {
    const char* name;
    Source source;
    int id;
    bool usesFrameCommands;
    std::vector<std::string> handledBy;
    std::vector<int> unrouted;  // what reached the view's OnCommand for want of a handler
};

TEST_F(FrameworkTest, CommandsGoToTheFirstHandlerAlongTheRoute) {
    const RoutingCase cases[] = {
        {"menu: the view's", Source::Menu, kViewCommand, true, {"view"}, {}},
        {"menu: the document's", Source::Menu, kDocCommand, true, {"doc"}, {}},
        {"menu: the frame's", Source::Menu, kFrameCommand, true, {"frame"}, {}},
        {"menu: the application's", Source::Menu, kAppCommand, true, {"app"}, {}},
        {"menu: the view before the frame", Source::Menu, kViewAndFrameCommand, true, {"view"}, {}},
        {"menu: nobody's", Source::Menu, kNobodysCommand, true, {}, {}},
        {"accelerator Ctrl+A", Source::Accelerator, kViewCommand, true, {"view"}, {}},
        {"control: a frame command goes to the frame", Source::Control, kFrameButton, true, {"frame"}, {}},
        {"control: a frame command the view handles", Source::Control, kViewButton, true, {"view"}, {}},
        {"control: nobody handles it, still counted as handled", Source::Control, kOrphanButton, true, {}, {}},
        {"control: below the frame commands, the view's", Source::Control, kLowViewButton, true, {"view"}, {}},
        {"control: below the frame commands the frame is not asked",
         Source::Control,
         kLowFrameButton,
         true,
         {},
         {kLowFrameButton}},
        {"control: a view that keeps its commands", Source::Control, kFrameButton, false, {}, {kFrameButton}},
        {"control: a view that keeps its commands, its own", Source::Control, kViewButton, false, {"view"}, {}},
    };
    frame->GetWindow()->Activate();
    for (const RoutingCase& c : cases) {
        g_log.clear();
        view->unrouted.clear();
        view->usesFrameCommands = c.usesFrameCommands;
        switch (c.source) {
            case Source::Menu:
                Menu().Choose(c.id);
                break;
            case Source::Accelerator:
                view->Button(kLowViewButton).SetFocus();
                gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_A, Qt::ControlModifier);
                break;
            case Source::Control:
                view->Button(c.id).Click();
                break;
        }
        EXPECT_EQ(g_log, c.handledBy) << c.name;
        EXPECT_EQ(view->unrouted, c.unrouted) << c.name;
    }
}

TEST_F(FrameworkTest, ACommandThatItsUpdateHandlerDisablesIsNotCarriedOut) {
    view->switchable = false;
    view->Button(kLowViewButton).SetFocus();
    gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(g_log.empty()) << "an accelerator reaches a command whose menu item was not updated yet";
    app.OnIdle(0);
    EXPECT_FALSE(Menu().IsItemEnabled(kSwitchableCommand));
    EXPECT_FALSE(Menu().Choose(kSwitchableCommand));
    view->switchable = true;
    gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(g_log, (std::vector<std::string>{"view"}));
}

struct MenuState {
    int id;
    bool enabled;
    bool checked;
};

TEST_F(FrameworkTest, TheIdleUpdateEnablesAndChecksMenuItemsByTheirHandlers) {
    view->checked = true;
    view->switchable = false;
    app.OnIdle(0);
    const MenuState expected[] = {
        {kViewCommand, true, true},         {kFrameCommand, true, false},    {kAppCommand, true, false},
        {kDocCommand, true, false},         {kNobodysCommand, false, false}, {kViewAndFrameCommand, true, false},
        {kSwitchableCommand, false, false}, {UL::ID_APP_EXIT, true, false},
    };
    for (const MenuState& e : expected) {
        EXPECT_EQ(Menu().IsItemEnabled(e.id), e.enabled) << std::hex << e.id;
        EXPECT_EQ(Menu().IsItemChecked(e.id), e.checked) << std::hex << e.id;
    }
    // The check follows its state at the next update, and when the popup opens.
    view->checked = false;
    view->switchable = true;
    Menu().OpenPopup(0);
    EXPECT_FALSE(Menu().IsItemChecked(kViewCommand));
    EXPECT_TRUE(Menu().IsItemEnabled(kSwitchableCommand));

    frame->SetAutoMenuEnable(false);
    Menu().EnableItem(kNobodysCommand, true);
    app.OnIdle(0);
    EXPECT_TRUE(Menu().IsItemEnabled(kNobodysCommand)) << "without auto-enable an unhandled item is left alone";
}

TEST_F(FrameworkTest, TheIdleUpdateGivesAFormsControlsTheFramesState) {
    view->checked = true;
    app.OnIdle(0);
    EXPECT_TRUE(view->Button(kFrameButton).IsEnabled());
    EXPECT_TRUE(view->Button(kViewButton).IsEnabled());
    EXPECT_TRUE(view->Button(kViewButton).IsChecked());
    EXPECT_FALSE(view->Button(kOrphanButton).IsEnabled()) << "a push button nobody handles";
    EXPECT_TRUE(view->Button(kOrphanCheckBox).IsEnabled()) << "a check box works by itself";
    EXPECT_TRUE(view->Button(kLowViewButton).IsEnabled());
    EXPECT_TRUE(view->GetWindow()->FindControl(-1)->IsEnabled());

    // A view that keeps its commands to itself updates its controls itself.
    view->usesFrameCommands = false;
    view->Button(kOrphanButton).Enable(true);
    view->checked = false;
    app.OnIdle(0);
    EXPECT_TRUE(view->Button(kOrphanButton).IsEnabled());
    EXPECT_TRUE(view->Button(kViewButton).IsChecked());
}

TEST_F(FrameworkTest, TheProgramsIdleWorkIsTheApplicationsIdleUpdate) {
    ASSERT_TRUE(app.InitInstance());
    view->checked = true;
    platform::RunIdleWork();
    EXPECT_TRUE(Menu().IsItemChecked(kViewCommand));
}

TEST_F(FrameworkTest, TheTemplateMakesTheFrameAndViewOnceAndShowsThemAfterTheInitialUpdate) {
    EXPECT_EQ(counts.documents, 1);
    EXPECT_EQ(counts.frames, 1);
    EXPECT_EQ(counts.views, 1);
    EXPECT_EQ(view->initialUpdates, 1);
    EXPECT_EQ(doc->newDocuments, 1);
    EXPECT_EQ(app.GetMainWnd(), frame);
    EXPECT_EQ(platform::MainWindow(), frame->GetWindow());
    EXPECT_TRUE(frame->GetWindow()->IsVisible());
    EXPECT_EQ(frame->GetWindow()->Title(), "Routing Test");
    EXPECT_EQ(view->GetDocument(), doc);
    EXPECT_EQ(view->GetWindow()->Geometry(),
              (Rect{0, 0, frame->GetWindow()->ClientSize().width, frame->GetWindow()->ClientSize().height}))
        << "the view fills the client area below the menu bar";

    // A file, then the new document again: the same document, frame and view, set up once.
    const std::string file = dir.File("card.Q3D");
    gbxtest::WriteText(file, "");
    EXPECT_EQ(app.OpenDocumentFile(file), doc);
    EXPECT_EQ(doc->GetPathName(), UL::MakeFullPath(file));
    app.OnFileNew();
    EXPECT_EQ(doc->GetPathName(), "");
    EXPECT_EQ(doc->newDocuments, 2);
    EXPECT_EQ(counts.documents, 1);
    EXPECT_EQ(counts.frames, 1);
    EXPECT_EQ(counts.views, 1);
    EXPECT_EQ(view->initialUpdates, 1);

    // A file that cannot be read leaves what exists as it is.
    EXPECT_EQ(app.OpenDocumentFile(dir.File("missing.Q3D")), nullptr);
    EXPECT_EQ(doc->failures, (std::vector<std::string>{UL::MakeFullPath(dir.File("missing.Q3D"))}));
    EXPECT_EQ(app.GetDocTemplate()->GetFrame(), frame);
}

TEST_F(FrameworkTest, ExitClosesTheMainFrameAsItsCloseBoxDoes) {
    ASSERT_TRUE(Menu().Choose(UL::ID_APP_EXIT));
    EXPECT_EQ(frame->closes, 1);
    EXPECT_EQ(frame->GetWindow(), nullptr);
    EXPECT_EQ(view->destroys, 1) << "the view's window went with the frame's, told first";
    EXPECT_NE(platform::GetProfileString("Window", "Position", "<none>"), "<none>") << "the frame's own close ran";
}

TEST(DocTemplateTest, AFirstDocumentThatCannotBeReadTakesItsFrameAlong) {
    StartWindows();
    TestSettings settings;
    gbxtest::TempDir& dir = settings.dir;
    RegisterResources();
    App app;
    Counts counts;
    app.AddDocTemplate(MakeTemplate(counts));
    EXPECT_EQ(app.OpenDocumentFile(dir.File("missing.Q3D")), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetFrame(), nullptr);
    EXPECT_EQ(app.GetDocTemplate()->GetDocument(), nullptr);
    EXPECT_EQ(app.GetMainWnd(), nullptr);
    EXPECT_EQ(platform::MainWindow(), nullptr);
    app.OnFileNew();
    ASSERT_NE(app.GetDocTemplate()->GetFrame(), nullptr);
    EXPECT_EQ(counts.frames, 2);
    EXPECT_EQ(dynamic_cast<View*>(app.GetDocTemplate()->GetView())->initialUpdates, 1);
}

TEST(RecentFileListTest, NewestFirstWithoutRepeatsKeptInTheSettingsBetweenRuns) {
    TestSettings settings;
    gbxtest::TempDir& dir = settings.dir;
    {
        UL::CWinApp app("Recent Test");
        app.LoadStdProfileSettings(3);
        for (const char* name : {"a.Q3D", "b.Q3D", "c.Q3D", "d.Q3D", "b.Q3D"}) app.AddToRecentFileList(dir.File(name));
        EXPECT_EQ(app.GetRecentFileList()->GetEntries(),
                  (std::vector<std::string>{dir.File("b.Q3D"), dir.File("d.Q3D"), dir.File("c.Q3D")}));
        app.ExitInstance();
    }
    EXPECT_EQ(platform::GetProfileString("Recent File List", "File1", ""), dir.File("b.Q3D"));
    EXPECT_EQ(platform::GetProfileString("Recent File List", "File3", ""), dir.File("c.Q3D"));
    {
        UL::CWinApp app("Recent Test");
        app.ExitInstance();  // nothing loaded: nothing stored
        app.LoadStdProfileSettings(8);
        EXPECT_EQ(app.GetRecentFileList()->GetEntries().size(), 3u);
        app.GetRecentFileList()->Remove(0);
        app.ExitInstance();
    }
    EXPECT_EQ(platform::GetProfileString("Recent File List", "File1", ""), dir.File("d.Q3D"));
    EXPECT_EQ(platform::GetProfileString("Recent File List", "File3", "<none>"), "");
}

TEST(RecentFileListTest, ARelativePathIsKeptInFull) {
    TestSettings settings;
    UL::CRecentFileList list(UL::CRecentFileList::kSection, UL::CRecentFileList::kEntryFormat, 8);
    list.Add("relative/../song.Q3D");
    ASSERT_EQ(list.GetEntries().size(), 1u);
    EXPECT_EQ(list.GetEntries()[0].front(), '/');
}

TEST(WinAppTest, AFailedStartUpStillExitsAndLeavesNoWindow) {
    StartWindows();
    TestSettings settings;
    class FailingApp : public App {
    public:
        int exits = 0;
        bool InitInstance() override {
            RegisterResources();
            AddDocTemplate(MakeTemplate(counts));
            OnFileNew();
            return false;
        }
        int ExitInstance() override {
            ++exits;
            return 4;
        }
        Counts counts;
    } app;
    EXPECT_EQ(app.WinMain(), 4);
    EXPECT_EQ(app.exits, 1);
    ASSERT_NE(app.GetMainWnd(), nullptr);
    EXPECT_EQ(app.GetMainWnd()->GetWindow(), nullptr);
}

}  // namespace

namespace {

// A dialog with an accelerator table of its own (as the ripping dialog has): its keys reach OnCommand.
TEST(DialogAcceleratorTest, ADialogsOwnTableTurnsKeysIntoItsCommands) {
    StartWindows();
    RegisterResources();
    platform::RegisterAcceleratorTable(-4301, {{'A', platform::kModCtrl, UL::ID_EDIT_SELECT_ALL}});
    class Dialog : public UL::CDialogBase {
    public:
        Dialog() : UL::CDialogBase(kResource, nullptr) {}
        std::vector<int> commands;
        bool loaded = false;

    protected:
        bool OnInitDialog() override {
            loaded = LoadAccelTable(-4301);
            EXPECT_FALSE(LoadAccelTable(-4302)) << "no such table";
            return true;
        }
        void OnCommand(int id) override {
            commands.push_back(id);
            UL::CDialogBase::OnCommand(id);
        }
    } dialog;
    gbxtest::WhenModalAppears([](QWidget* modal) {
        gbxtest::PressKey(modal, Qt::Key_A, Qt::ControlModifier);
        gbxtest::PressKey(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(dialog.DoModal(), platform::kCommandCancel);
    EXPECT_TRUE(dialog.loaded);
    EXPECT_EQ(dialog.commands, (std::vector<int>{UL::ID_EDIT_SELECT_ALL, platform::kCommandCancel}));
}

}  // namespace
