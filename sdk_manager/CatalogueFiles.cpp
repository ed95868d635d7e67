// The catalogue's files as the index meets them (see CatalogueFiles.h).
#include "sdk_manager/CatalogueFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sdk_manager/Internal.h"

namespace tmsdk {

Stamp StampOf(const struct stat& info) {
    Stamp s;
    s.size = static_cast<uint64_t>(info.st_size);
    s.device = static_cast<uint64_t>(info.st_dev);
    s.inode = static_cast<uint64_t>(info.st_ino);
    s.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    s.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return s;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return folder + "/" + name;
}

void LogLeftOut(const std::string& what, const std::string& reason) {
    Log(__LINE__, ("catalogue: left out " + (what.empty() ? std::string(".") : what) + ": " + reason).c_str());
}

std::string ErrorText(int error) { return std::strerror(error); }

bool ReadRegular(const std::string& path, std::string& bytes, Stamp& stamp, std::string& why, uint64_t* links) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = "cannot be read (" + ErrorText(errno) + ")";
        return false;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0;
    if (!ok) {
        why = "cannot be read (" + ErrorText(errno) + ")";
    } else if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        ok = false;
    } else if (static_cast<uint64_t>(info.st_size) > kMaxFileBytes) {
        why = "larger than 64 MiB";
        ok = false;
    }
    if (ok) {
        stamp = StampOf(info);
        if (links) *links = static_cast<uint64_t>(info.st_nlink);
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);  // a file that shrank while it was read is read as far as it went
    }
    close(fd);
    return ok;
}

Stamp CurrentStamp(int folder, const std::string& name, uint64_t* links) {
    struct stat info;
    const int got = folder >= 0 ? fstatat(folder, name.c_str(), &info, 0) : stat(name.c_str(), &info);
    if (got != 0) return Stamp();
    if (links) *links = static_cast<uint64_t>(info.st_nlink);
    return StampOf(info);
}

std::string Full(const Place& place, const std::string& folder, const std::string& name) {
    if (!place.folder) return place.path;
    return folder.empty() ? place.path + "/" + name : place.path + "/" + folder + "/" + name;
}

std::string RealPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string text = real;
    std::free(real);
    return text;
}

void OpenFolder::Open(const std::string& path) {
    Close();
    m_fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

void OpenFolder::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

}  // namespace tmsdk
