// Starting helper programs without a shell.
#pragma once

#include <string>
#include <vector>

namespace platform {

// True when name is an executable file on PATH.
bool HaveProgram(const std::string& name);
// Starts argv[0] (searched on PATH) and does not wait; a detached thread reaps the
// child so that no zombie is left. False when it cannot start.
bool StartProgram(const std::vector<std::string>& argv);
// Starts argv[0] (searched on PATH), waits, and returns its exit code; -1 when it
// could not start or did not exit normally. Its output goes to /dev/null.
int RunProgram(const std::vector<std::string>& argv);

}  // namespace platform
