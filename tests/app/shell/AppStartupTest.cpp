// The program's start-up in steps: each step's failure ends it storing nothing, the command line's
// document, a second instance raising the first, and the settings stored at exit and read at the
// next start.
#include "app/card/AppServices.h"
#include "app/card/Domain.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/shell/Program.h"
#include "general_tools/Files.h"
#include "general_tools/Mmf.h"
#include "platform/window/Controls.h"
#include "platform/window/Menu.h"
#include "platform/window/Window.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTimer>

#include <filesystem>

#include <gtest/gtest.h>

extern char** environ;

namespace {

using cardtest::CCardEnvironment;
using shelltest::ReadFile;
using shelltest::SettingsFile;
using shelltest::TestApp;

std::vector<int> StepsUpTo(int last) {
    std::vector<int> steps;
    for (int step = 0; step <= last; ++step) steps.push_back(step);
    return steps;
}

// Closes the main window once the main loop runs.
void CloseWhenRunning(TestApp& app, std::function<void()> before = nullptr) {
    QTimer::singleShot(0, [&app, before] {
        if (before) before();
        if (app.Frame() != nullptr) app.Frame()->Close();
    });
}

class StartupStepFailure : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { gbxtest::UseOffscreenToolkitUnlessSet(); }
};

TEST_P(StartupStepFailure, EndsStartUpThereAndStoresNothingAtExit) {
    const int failing = GetParam();
    CCardEnvironment env;
    TestApp app;
    app.failAt = failing;
    // What an exit after a completed start-up would store.
    CCardEnvironment::Document().SetSaveMemory(false);

    app.WinMain();  // a failed start-up never enters the main loop

    EXPECT_EQ(app.steps, StepsUpTo(failing)) << "no step after the failing one runs";
    EXPECT_FALSE(app.IsInitialised());
    EXPECT_EQ(app.GetMainWnd(), nullptr) << "no main window is left";
    const std::string settings = ReadFile(SettingsFile(env));
    EXPECT_EQ(settings.find("SaveMemory"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("FontFaceName"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("[Window]"), std::string::npos) << "nor the frame's placement\n" << settings;
}

INSTANTIATE_TEST_SUITE_P(EveryStepWithAnEffect, StartupStepFailure,
                         ::testing::Values(CApp::STEP_LOCALE, CApp::STEP_FRAMEWORK, CApp::STEP_SINGLE_INSTANCE,
                                           CApp::STEP_COMMON_CONTROLS, CApp::STEP_SETTINGS_KEY, CApp::STEP_RECENT_FILES,
                                           CApp::STEP_DOCUMENT_TEMPLATE, CApp::STEP_SHELL_OPEN,
                                           CApp::STEP_FONT_AND_SAVE_MEMORY, CApp::STEP_FOLDERS, CApp::STEP_LANGUAGE,
                                           CApp::STEP_DEVICE_CHANGES, CApp::STEP_COMMAND_LINE, CApp::STEP_NEW_DOCUMENT,
                                           CApp::STEP_SHOW_WINDOW, CApp::STEP_STORE_WINDOW, CApp::STEP_INITIALISED),
                         [](const ::testing::TestParamInfo<int>& info) { return "Step" + std::to_string(info.param); });

class AppStartupTest : public ::testing::Test {
protected:
    void SetUp() override { gbxtest::UseOffscreenToolkitUnlessSet(); }
    CCardEnvironment env;
};

TEST_F(AppStartupTest, ACompletedStartUpShowsTheConnectedWindowAndStoresTheSettingsAtExit) {
    TestApp app;
    cardtest::CRecordingListener listener;
    app.afterStep = [&](int step) {
        if (step == CApp::STEP_DEVICE_CHANGES) CDocumentModel::GetInstance().AddListener(&listener);
    };
    CloseWhenRunning(app, [&] {
        ASSERT_NE(app.Frame(), nullptr);
        EXPECT_TRUE(app.Frame()->GetWindow()->IsVisible());
        EXPECT_EQ(app.Frame()->GetWindow()->Title(), "Gigbox Setlister");
        EXPECT_TRUE(app.View()->IsConnectedFlag());
        CCardEnvironment::Document().SetSaveMemory(false);
    });

    app.WinMain();

    EXPECT_EQ(app.steps, StepsUpTo(CApp::kLastStep));
    EXPECT_TRUE(app.IsInitialised());
    EXPECT_EQ(listener.events, std::vector<int>{CModelEvent::CONNECT_FINISHED}) << "one view, one connect";
    EXPECT_TRUE(env.textDialog.shown.empty()) << "a card was there: no message";
    const std::string settings = ReadFile(SettingsFile(env));
    EXPECT_NE(settings.find("SaveMemory=0"), std::string::npos) << settings;
    EXPECT_NE(settings.find("FontFaceName="), std::string::npos) << settings;
    EXPECT_NE(settings.find("[Window]"), std::string::npos) << settings;
    CDocumentModel::GetInstance().RemoveListener(&listener);
    // The card database became a document type of the desktop, in the user's (private) data folder.
    const std::string data = env.Dir().File("data");
    EXPECT_TRUE(std::filesystem::exists(data + "/applications/GigboxConverter.Document.desktop"));
    EXPECT_TRUE(std::filesystem::exists(data + "/mime/packages/q3d-document-extension.xml"));
    EXPECT_TRUE(std::filesystem::exists(data + "/icons/hicolor/32x32/apps/GigboxConverter.Document.png"));

    // The next start reads them: the SaveMemory flag, and with it the menu item's check.
    TestApp next;
    next.skipInstanceGuard = true;
    CCardEnvironment::Document().SetSaveMemory(true);
    ASSERT_TRUE(next.InitInstance());
    EXPECT_FALSE(CCardEnvironment::Document().GetSaveMemory());
    next.OnIdle(0);
    EXPECT_FALSE(next.Frame()->GetWindow()->Menu()->IsItemChecked(CViewA::ID_SAVE_MEMORY));
    next.Frame()->Execute(CViewA::ID_SAVE_MEMORY);
    next.OnIdle(0);
    EXPECT_TRUE(next.Frame()->GetWindow()->Menu()->IsItemChecked(CViewA::ID_SAVE_MEMORY));
    next.Frame()->DestroyWindow();
    next.ExitInstance();
    EXPECT_NE(ReadFile(SettingsFile(env)).find("SaveMemory=1"), std::string::npos);
}

TEST_F(AppStartupTest, NoCardAtStartUpSaysSoOnceBeforeTheWindowShows) {
    gbxtest::ScopedEnvironment noCard("GBX_VOLUMES", env.Dir().File("absent/QM-3"));
    TestApp app;
    bool shownBeforeWindow = false;
    env.textDialog.whileOpen = [&] { shownBeforeWindow = app.Frame() && !app.Frame()->GetWindow()->IsVisible(); };
    CloseWhenRunning(app);
    app.WinMain();
    EXPECT_EQ(env.textDialog.Texts(), std::vector<std::string>{"The unit not found."});
    EXPECT_TRUE(shownBeforeWindow);
    EXPECT_TRUE(app.IsInitialised());
    EXPECT_FALSE(CCardEnvironment::Document().IsConnected());
}

TEST_F(AppStartupTest, TheCommandLinesQuotedFileIsOpenedAndTheWindowIsMadeOnce) {
    const std::string file = env.Dir().File("tmp/CARD.Q3D");
    gbxtest::WriteText(file, "anything");
    TestApp app;
    app.SetCommandLine("\"" + file + "\"");
    UL::CSDIFrameWndEx* frameAfterCommandLine = nullptr;
    cardtest::CRecordingListener listener;
    app.afterStep = [&](int step) {
        if (step == CApp::STEP_DEVICE_CHANGES) CDocumentModel::GetInstance().AddListener(&listener);
        if (step == CApp::STEP_COMMAND_LINE) {
            frameAfterCommandLine = app.GetMainWnd();
            EXPECT_EQ(app.GetDocTemplate()->GetDocument()->GetPathName(), UL::MakeFullPath(file));
        }
    };
    CloseWhenRunning(app);
    app.WinMain();
    EXPECT_TRUE(app.IsInitialised());
    EXPECT_NE(frameAfterCommandLine, nullptr);
    EXPECT_EQ(listener.events, std::vector<int>{CModelEvent::CONNECT_FINISHED}) << "the view was set up once";
    CDocumentModel::GetInstance().RemoveListener(&listener);
}

TEST_F(AppStartupTest, ACommandLineFileThatCannotBeOpenedEndsStartUp) {
    TestApp app;
    app.SetCommandLine("\"" + env.Dir().File("missing.Q3D") + "\"");
    app.WinMain();
    EXPECT_EQ(app.steps, StepsUpTo(CApp::STEP_COMMAND_LINE));
    ASSERT_EQ(env.textDialog.shown.size(), 1u);
    EXPECT_EQ(env.textDialog.shown[0].text.rfind("Failed to open document.", 0), 0u);
    const std::string settings = ReadFile(SettingsFile(env));
    EXPECT_EQ(settings.find("SaveMemory"), std::string::npos) << settings;
    EXPECT_EQ(settings.find("Position="), std::string::npos) << "the frame made for the file stores nothing\n"
                                                             << settings;
}

// The program asked to end (a signal) while a modal window is open keeps the request: a running
// import is cancelled as its Cancel button does, and the window closes once the modal window ends.
TEST_F(AppStartupTest, ACloseRequestWhileAModalWindowIsOpenIsCarriedOutWhenItEnds) {
    if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
    const std::string a = env.Dir().File("tmp/a.wav"), b = env.Dir().File("tmp/b.wav");
    ASSERT_TRUE(cardtest::MakeSound(a, "-r 44100 -c 2 -b 16 -e signed-integer", "3"));
    ASSERT_TRUE(cardtest::MakeSound(b, "-r 44100 -c 2 -b 16 -e signed-integer", "3"));
    int request[2];
    ASSERT_EQ(pipe2(request, O_NONBLOCK | O_CLOEXEC), 0);
    CMainFrame::SetCloseRequestDescriptor(request[0]);
    const auto ask = [&] { ASSERT_EQ(write(request[1], "x", 1), 1); };

    struct Case {
        const char* name;
        std::function<void(TestApp&)> whileRunning;
        size_t songs;  // imported when the window closed
    } cases[] = {
        {"a message box",
         [&](TestApp& app) {
             env.textDialog.whileOpen = [&] {
                 ask();
                 gbxtest::PumpFor(200);
                 EXPECT_TRUE(app.Frame() != nullptr && app.Frame()->IsCloseRequestPending()) << "kept";
             };
             CModalManager::GetInstance().ShowMessageById(MSG_UNIT_NOT_FOUND);
             EXPECT_NE(app.Frame(), nullptr) << "still open when the box returns";
         },
         0},
        {"the progress dialog of an import",
         [&](TestApp& app) {
             env.fileDialog.answer = 0;
             env.fileDialog.chosen = {a, b};
             ask();  // heard at the progress dialog's first pump
             dynamic_cast<platform::PushButton*>(app.View()->GetButton(CViewA::BUTTON_IMPORT).GetControl())->Click();
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCardEnvironment::ResetModel();
        TestApp app;
        app.skipInstanceGuard = GetInstanceGuard().Lock().IsOpen();
        bool ran = false;
        app.afterStep = [&](int step) {
            if (step != CApp::STEP_INITIALISED) return;
            QTimer::singleShot(0, [&] {
                c.whileRunning(app);
                ran = true;
            });
            // A request never carried out would leave the loop running.
            QTimer::singleShot(20000, [&] {
                if (app.Frame() != nullptr) {
                    ADD_FAILURE() << "the window did not close";
                    app.Frame()->DestroyWindow();
                }
            });
        };
        app.WinMain();
        EXPECT_TRUE(ran);
        EXPECT_EQ(app.Frame(), nullptr);
        EXPECT_EQ(CCardEnvironment::Document().GetList(CDocX::LIST_SONGS).size(), c.songs);
    }
    CMainFrame::SetCloseRequestDescriptor(-1);
    close(request[0]);
    close(request[1]);
}

TEST_F(AppStartupTest, ASecondInstanceRaisesTheFirstAndEndsWithoutAWindow) {
    TestApp app;
    pid_t child = -1;
    int childStatus = -1;
    bool restored = false;
    CloseWhenRunning(app, [&] {
        platform::Window* window = app.Frame()->GetWindow();
        window->Minimise();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return window->IsMinimised(); }));
        // The program itself, in this test's runtime folder.
        char program[] = GBX_PROGRAM;
        char* argv[] = {program, nullptr};
        ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
        bool ended = false;
        gbxtest::PumpUntil([&] { return ended = ended || waitpid(child, &childStatus, WNOHANG) == child; }, 30000);
        EXPECT_TRUE(ended) << "the second instance ends by itself";
        restored = gbxtest::PumpUntil([&] { return !window->IsMinimised(); }, 5000);
    });
    app.WinMain();
    ASSERT_GT(child, 0);
    EXPECT_TRUE(WIFEXITED(childStatus)) << childStatus;
    EXPECT_TRUE(restored) << "the first instance's window is restored";
    EXPECT_TRUE(env.textDialog.shown.empty());
}

TEST_F(AppStartupTest, TheManualThatIsMissingIsToldAndTheHelpCommandsAreTheApplications) {
    TestApp app;
    ASSERT_TRUE(app.InitInstance());
    app.Frame()->OnMenuCommand(CApp::ID_MANUAL);
    EXPECT_EQ(env.textDialog.Texts(),
              std::vector<std::string>{"Unable to start a program for opening the online manual (PDF)."});
    EXPECT_EQ(CAppPaths::GetInstance().GetPath(CAppPaths::PROGRAM), GT::GetApplicationDirectory());
    for (int id : {CApp::ID_MANUAL, CApp::ID_VENDOR_WEB, CApp::ID_ABOUT}) EXPECT_TRUE(app.HasHandler(id)) << id;
    app.Frame()->DestroyWindow();
    app.ExitInstance();
}

TEST_F(AppStartupTest, HasCardAnswersByTheProgramsOwnRecognition) {
    TestApp app;
    // Other cards of this machine may be listed too; this test's card folder is one of them.
    EXPECT_EQ(RunProgram(app, {kHasCardOption}), 0);
    gbxtest::ScopedEnvironment noCard("GBX_VOLUMES", env.Dir().File("absent/QM-3"));
    const gbxtest::CommandResult result =
        gbxtest::Run("GBX_VOLUMES=" + gbxtest::Quote(env.CardDrive()) + " " GBX_PROGRAM " --has-card");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.output.find(env.CardDrive()), std::string::npos) << result.output;
    EXPECT_TRUE(app.steps.empty()) << "nothing else starts";
}

}  // namespace
