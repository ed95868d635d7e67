// Shared by the tests of the program's start-up and main window: an application whose start-up
// steps can be made to fail or watched, in a world of the test's own (card folder, settings, data,
// runtime and temporary folders, scripted message box and choosers).
#pragma once

#include "app/card/DocumentModel.h"
#include "app/shell/App.h"
#include "app/shell/AppPaths.h"
#include "app/shell/DialogFactories.h"
#include "app/shell/MainFrame.h"
#include "app/shell/MainView.h"
#include "app/shell/Program.h"
#include "general_tools/Mmf.h"
#include "resources/Resources.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QTimer>

#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace shelltest {

class TestApp : public CApp {
public:
    // What the program's entry registers before it runs the application.
    TestApp() {
        resources::RegisterProgramResources();
        RegisterDialogFactories();
    }

    // The step to fail (-1: none), the steps run, and work to do after a step.
    int failAt = -1;
    std::vector<int> steps;
    std::function<void(int)> afterStep;
    // The guard is held by this process once taken: a later start in the same process passes it by.
    bool skipInstanceGuard = false;

    bool InitStep(int step) override {
        steps.push_back(step);
        if (step == failAt) return false;
        if (step == STEP_SINGLE_INSTANCE && skipInstanceGuard) return true;
        const bool result = CApp::InitStep(step);
        // The pictures beside the program, which is not this test.
        if (step == STEP_FOLDERS) CAppPaths::GetInstance().SetPath(CAppPaths::PICTURES, GBX_SCRIPT_DIR);
        if (afterStep) afterStep(step);
        return result;
    }
    CMainFrame* Frame() const { return dynamic_cast<CMainFrame*>(GetMainWnd()); }
    CViewA* View() const {
        return GetDocTemplate() != nullptr ? dynamic_cast<CViewA*>(GetDocTemplate()->GetView()) : nullptr;
    }
};

// Runs the script once the program's main loop runs, then the program's entry as main runs it.
inline int RunWithScript(TestApp& app, std::function<void()> script) {
    // The tests of a suite share one process, which holds the guard since the first start.
    app.skipInstanceGuard = GetInstanceGuard().Lock().IsOpen();
    app.afterStep = [script](int step) {
        if (step == CApp::STEP_INITIALISED) QTimer::singleShot(0, script);
    };
    return RunProgram(app, {});
}

// The settings file of the program (after start-up's settings step).
inline std::string SettingsFile(const cardtest::CCardEnvironment& env) {
    return env.Dir().File("config") + "/Corvane/Gigbox Setlister.ini";
}

inline std::string ReadFile(const std::string& path) {
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Starts a program (searched on PATH) with this process's environment; -1 when it cannot start.
inline pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t child = -1;
    if (posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return child;
}

// Whether the program's start-up completed in time: its window's id lands in the single-instance
// guard's file at the end of start-up.
inline bool WaitUntilStarted(const std::string& lockFile, int timeoutMs = 45000) {
    return gbxtest::PumpUntil(
        [&] {
            const std::vector<uint8_t> id = gbxtest::ReadBytes(lockFile);
            return id.size() == 4 && (id[0] | id[1] | id[2] | id[3]) != 0;
        },
        timeoutMs);
}

// Waits for the child's end; its wait status, or -1 when it had to be killed.
inline int WaitForEnd(pid_t child, int timeoutMs) {
    int status = -1;
    bool ended = false;
    gbxtest::PumpUntil([&] { return ended = ended || waitpid(child, &status, WNOHANG) == child; }, timeoutMs);
    if (ended) return status;
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return -1;
}

}  // namespace shelltest
