// GBX, the editor of the QM-3's memory card: a thin entry over the libraries.
#include "app/shell/App.h"
#include "app/shell/Program.h"

#include <string>
#include <vector>

int main(int argc, char** argv) {
    // The application object lives for the whole run and goes before the process-wide services.
    CApp theApp;
    return RunProgram(theApp, std::vector<std::string>(argv + 1, argv + argc));
}
