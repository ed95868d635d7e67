// Locks around the index (see IndexLock.h).
#include "sdk_manager/IndexLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "sdk_manager/CatalogueFiles.h"

namespace tmsdk {

bool LockTemporary(int fd) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat info;
    return fstat(fd, &info) == 0 && info.st_nlink > 0;
}

void RemoveAbandonedTemporaries(const std::string& index) {
    const size_t slash = index.find_last_of('/');
    const std::string folder = index.substr(0, slash), prefix = index.substr(slash + 1) + ".";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() - 1 + kTemporarySuffix || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
        if (fd < 0) continue;
        // Removed only while its lock is taken, and only when the name still stands for the file locked.
        struct stat opened, named;
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0
            && lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            unlink(path.c_str());
        close(fd);
    }
    closedir(dir);
}

Stamp PathStamp(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 ? StampOf(info) : Stamp();
}

BuildLock::~BuildLock() {
    if (m_fd >= 0) close(m_fd);
}

bool BuildLock::Take(const std::string& folder, const CatalogueProgress& progress) {
    m_held = true;
    m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) return true;
    for (uint32_t waits = 0; flock(m_fd, LOCK_EX | LOCK_NB) != 0; ++waits) {
        if (errno != EWOULDBLOCK && errno != EINTR) return true;
        if (waits % kWaitsPerReport == 0 && progress && progress(0, 0)) return false;
        usleep(kWaitMicroseconds);
    }
    return true;
}

}  // namespace tmsdk
