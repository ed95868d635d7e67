// Helpers shared by the test suites: temporary folders, files as bytes, and
// running the independent oracles (python3, sox, ffprobe) that check our bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace gbxtest {

// A fresh folder below $TMPDIR, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }  // ends without "/"
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void WriteText(const std::string& path, const std::string& text);

struct CommandResult {
    int exitCode = -1;
    std::string output;  // standard output only
};

// Runs a shell command line; standard error passes through to the test log.
CommandResult Run(const std::string& commandLine);
bool HaveCommand(const std::string& name);
// Quotes a text for the shell.
std::string Quote(const std::string& text);
// Runs `python3 -c script` with the given arguments.
CommandResult Python(const std::string& script, const std::vector<std::string>& args = {});
// Whether python3 can import the module. The AIFF oracle, aifc, left the standard library with
// Python 3.13: the checks that need it skip and say so (MissingPythonModuleNote) instead of failing.
bool HavePythonModule(const std::string& name);
std::string MissingPythonModuleNote(const std::string& name);

}  // namespace gbxtest
