#include "platform/system/SystemFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;

namespace platform {

namespace {

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string FolderFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    std::error_code ec;
    if (!value || !*value || !fs::is_directory(value, ec)) return {};
    return WithoutTrailingSlash(value);
}

}  // namespace

std::string ExecutablePath() {
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) return {};
    return std::string(buffer.data(), static_cast<std::size_t>(n));
}

std::string ApplicationName() {
    const std::string path = ExecutablePath();
    return path.empty() ? std::string("GBX") : fs::path(path).filename().string();
}

std::string TempDirectory() {
    const std::string folder = FolderFromEnvironment("TMPDIR");
    return folder.empty() ? "/tmp" : folder;
}

std::string RuntimeDirectory() {
    const std::string folder = FolderFromEnvironment("XDG_RUNTIME_DIR");
    return folder.empty() ? TempDirectory() : folder;
}

std::string HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (home && *home) return WithoutTrailingSlash(home);
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return WithoutTrailingSlash(entry->pw_dir);
    return {};
}

std::string SpecialFolderPath(int folder) {
    switch (folder & ~0x8000) {
        case kFolderPersonal:
            return HomeDirectory();
        case kFolderAppData:
        case kFolderLocalAppData: {
            // The XDG rule: a relative value is invalid and ignored.
            const char* data = std::getenv("XDG_DATA_HOME");
            if (data && data[0] == '/') return WithoutTrailingSlash(data);
            const std::string home = HomeDirectory();
            return home.empty() ? std::string() : home + "/.local/share";
        }
        default:
            return {};
    }
}

}  // namespace platform
