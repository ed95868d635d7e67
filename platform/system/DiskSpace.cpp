#include "platform/system/DiskSpace.h"

#include <sys/statvfs.h>

#include <atomic>
#include <filesystem>

namespace fs = std::filesystem;

namespace platform {

std::string NearestExistingFolder(const std::string& path) {
    if (path.empty()) return {};
    std::error_code ec;
    fs::path current = fs::absolute(path, ec);
    if (ec) return {};
    current = current.lexically_normal();
    if (!current.has_filename() && current.has_relative_path()) current = current.parent_path();  // "a/b/" -> "a/b"
    for (;;) {
        if (fs::is_directory(current, ec)) return current.string();
        if (!current.has_relative_path()) return {};
        fs::path parent = current.parent_path();
        if (parent == current) return {};
        current = parent;
    }
}

namespace {

std::atomic<IDiskSpaceSource*>& InstalledSource() {
    static std::atomic<IDiskSpaceSource*> source{nullptr};
    return source;
}

}  // namespace

void SetDiskSpaceSource(IDiskSpaceSource* source) { InstalledSource().store(source); }

bool QueryDiskSpace(const std::string& path, DiskSpace& space) {
    if (IDiskSpaceSource* source = InstalledSource().load()) return source->Query(path, space);
    const std::string folder = NearestExistingFolder(path);
    if (folder.empty()) return false;
    struct statvfs info {};
    if (statvfs(folder.c_str(), &info) != 0) return false;
    const uint64_t fragment = info.f_frsize ? info.f_frsize : info.f_bsize;
    space.totalBytes = static_cast<uint64_t>(info.f_blocks) * fragment;
    space.freeBytes = static_cast<uint64_t>(info.f_bavail) * fragment;
    space.clusterBytes = fragment;
    return true;
}

}  // namespace platform
