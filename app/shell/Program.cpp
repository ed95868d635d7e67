#include "app/shell/Program.h"

#include "app/card/CardDocument.h"
#include "app/shell/App.h"
#include "app/shell/DialogFactories.h"
#include "app/shell/MainFrame.h"
#include "general_tools/Drives.h"
#include "resources/Resources.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>

namespace {

int g_closePipe[2] = {-1, -1};

extern "C" void OnEndSignal(int) {
    const int saved = errno;
    const char byte = 1;
    if (write(g_closePipe[1], &byte, 1) < 0) {
        // The pipe is full: a request is waiting already.
    }
    errno = saved;
}

// SIGTERM and SIGINT close the main window as its close box does (unsaved changes are asked
// about), so that the settings are stored as at any other end.
void CloseOnEndSignals() {
    if (g_closePipe[0] >= 0 || pipe2(g_closePipe, O_NONBLOCK | O_CLOEXEC) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    CMainFrame::SetCloseRequestDescriptor(g_closePipe[0]);
}

int ReportCard() {
    const std::string drive = FindCardInDrives(GT::ListDrives(), std::set<std::string>());
    if (drive.empty()) return 1;
    std::printf("%s\n", drive.c_str());
    return 0;
}

}  // namespace

int RunProgram(CApp& app, const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && arguments[0] == kHasCardOption) return ReportCard();
    std::string commandLine;
    for (const std::string& argument : arguments) commandLine += (commandLine.empty() ? "" : " ") + argument;
    app.SetCommandLine(commandLine);
    CloseOnEndSignals();
    resources::RegisterProgramResources();
    RegisterDialogFactories();
    return app.WinMain();
}
