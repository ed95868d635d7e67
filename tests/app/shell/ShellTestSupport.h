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
#include "resources/Resources.h"
#include "tests/app/card/CardTestSupport.h"

#include <functional>
#include <string>
#include <vector>

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

// The settings file of the program (after start-up's settings step).
inline std::string SettingsFile(const cardtest::CCardEnvironment& env) {
    return env.Dir().File("config") + "/Corvane/Gigbox Setlister.ini";
}

inline std::string ReadFile(const std::string& path) {
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace shelltest
