#include "app/shell/Program.h"

#include "app/card/CardDocument.h"
#include "app/shell/App.h"
#include "app/shell/DialogFactories.h"
#include "general_tools/Drives.h"
#include "resources/Resources.h"

#include <cstdio>
#include <set>

namespace {

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
    resources::RegisterProgramResources();
    RegisterDialogFactories();
    return app.WinMain();
}
