#include "tests/support/TestSupport.h"

#include "platform/system/IniProfileStore.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <stdexcept>

namespace gbxtest {

namespace {

// Tests point the program's settings file into temporary folders; after each test it goes back to
// where it was when the program started, so that a later write (a window stored at exit, a test that
// does not set its own) never recreates a removed temporary folder.
class SettingsPathReset : public ::testing::EmptyTestEventListener {
public:
    SettingsPathReset() : m_path(platform::GetAppProfile().GetPath()) {}
    void OnTestEnd(const ::testing::TestInfo&) override { platform::GetAppProfile().SetPath(m_path); }

private:
    std::string m_path;
};

const bool g_settingsPathReset = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new SettingsPathReset);
    return true;
}();

// A test program started by hand, outside ctest, never lists the machine's mounts (a card plugged
// in) or the folders of the user's own GBX_VOLUMES: it starts with an empty mount table and no
// folders, as ctest starts it; a test presents its own volumes.
const bool g_noMachineVolumes = [] {
    setenv("GBX_MOUNTINFO", "/dev/null", 0);
    setenv("GBX_VOLUMES", "", 1);
    return true;
}();

}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/gbxtest-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) {
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

CommandResult Run(const std::string& commandLine) {
    CommandResult result;
    FILE* pipe = popen(commandLine.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> chunk;
    size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) result.output.append(chunk.data(), n);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Quote(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        if (c == '\'')
            q += "'\\''";
        else
            q += c;
    }
    return q + "'";
}

bool HaveCommand(const std::string& name) {
    return Run("command -v " + Quote(name) + " >/dev/null 2>&1").exitCode == 0;
}

CommandResult Python(const std::string& script, const std::vector<std::string>& args) {
    std::string line = "python3 -W ignore -c " + Quote(script);
    for (const auto& a : args) line += " " + Quote(a);
    return Run(line);
}

bool HavePythonModule(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, bool> known;
    const std::lock_guard<std::mutex> guard(lock);
    const auto it = known.find(name);
    if (it != known.end()) return it->second;
    const bool found = Run("python3 -W ignore -c " + Quote("import " + name) + " 2>/dev/null").exitCode == 0;
    return known[name] = found;
}

std::string MissingPythonModuleNote(const std::string& name) {
    return "python3 cannot import " + name + " here (aifc left the standard library with Python 3.13): the check "
           "against it is skipped";
}

}  // namespace gbxtest
