// Locks around a catalogue's index (see IndexLock.h).
#include "sdk_manager/IndexLock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "sdk_manager/CatalogueFiles.h"

namespace tmsdk {

namespace {

// The build locks this process holds, by path: a lookup never waits for one of them.
std::mutex g_heldLock;

std::multiset<std::string>& Held() {
    static std::multiset<std::string> held;
    return held;
}

bool HeldHere(const std::string& path) {
    std::lock_guard<std::mutex> lock(g_heldLock);
    return Held().count(path) > 0;
}

std::string LockPathOf(const std::string& index) {
    static const std::string kIndex = ".index";
    if (index.size() > kIndex.size() && index.compare(index.size() - kIndex.size(), kIndex.size(), kIndex) == 0)
        return index.substr(0, index.size() - kIndex.size()) + ".lock";
    return index + ".lock";
}

// Calls `visit` with the open cache folder and the name of every temporary of the index.
template <class Visit>
void ForEachTemporary(const std::string& index, Visit visit) {
    const size_t slash = index.find_last_of('/');
    const std::string folder = index.substr(0, slash), prefix = index.substr(slash + 1) + ".";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strlen(name) == prefix.size() - 1 + kTemporarySuffix
            && std::strncmp(name, prefix.c_str(), prefix.size()) == 0)
            visit(dirfd(dir), name);
    }
    closedir(dir);
}

// What the index's temporaries look like now: it changes whenever a build writes to one, starts or ends.
uint64_t TemporariesNow(const std::string& index) {
    uint64_t sum = 0;
    ForEachTemporary(index, [&sum](int folder, const char* name) {
        struct stat info;
        if (fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return;
        const Stamp s = StampOf(info);
        uint64_t mixed = s.inode * 0x9E3779B97F4A7C15ull;
        mixed = (mixed ^ s.size) * 0xBF58476D1CE4E5B9ull;
        mixed = (mixed ^ static_cast<uint64_t>(s.modified)) * 0x94D049BB133111EBull;
        sum += mixed ^ (mixed >> 31);
    });
    return sum;
}

}  // namespace

bool LockTemporary(int fd) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat info;
    return fstat(fd, &info) == 0 && info.st_nlink > 0;
}

void RemoveAbandonedTemporaries(const std::string& index) {
    ForEachTemporary(index, [](int folder, const char* name) {
        const int fd = openat(folder, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
        if (fd < 0) return;
        // Removed only while its lock is taken, and only when the name still stands for the file locked.
        struct stat opened, named;
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0
            && fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev
            && named.st_ino == opened.st_ino)
            unlinkat(folder, name, 0);
        close(fd);
    });
}

Stamp PathStamp(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 ? StampOf(info) : Stamp();
}

bool BuildLock::Open(const std::string& index) {
    Release();
    m_path = LockPathOf(index);
    m_fd = open(m_path.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    return m_fd >= 0;
}

BuildLock::Got BuildLock::Lock() {
    while (flock(m_fd, LOCK_EX | LOCK_NB) != 0)
        if (errno != EINTR) return errno == EWOULDBLOCK ? Got::kBusy : Got::kNoLock;
    std::lock_guard<std::mutex> lock(g_heldLock);
    Held().insert(m_path);
    m_held = true;
    return Got::kLock;
}

BuildLock::Wait BuildLock::Take(const std::string& index, const Stamp& seen, std::chrono::milliseconds stall,
                                const CatalogueProgress& progress) {
    if (!Open(index)) return Wait::kTaken;  // where no lock can be made, the build goes on without one
    uint64_t temporaries = TemporariesNow(index);
    auto moved = std::chrono::steady_clock::now();
    for (uint32_t polls = 0;; ++polls) {
        if (HeldHere(m_path)) {
            Release();
            return Wait::kGoOn;
        }
        const Got got = Lock();
        if (got == Got::kLock) return Wait::kTaken;
        if (got == Got::kNoLock) {  // a file system without locks: the build goes on without one
            Release();
            return Wait::kTaken;
        }
        if (polls % kPollsPerReport == 0 && progress && progress(0, 0)) {
            Release();
            return Wait::kAborted;
        }
        usleep(kPollMicroseconds);
        if (PathStamp(index) != seen) {
            Release();
            return Wait::kIndexWritten;
        }
        const uint64_t now = TemporariesNow(index);
        const auto time = std::chrono::steady_clock::now();
        if (now != temporaries) {
            temporaries = now;
            moved = time;
        } else if (time - moved >= stall) {
            Release();
            return Wait::kGoOn;
        }
    }
}

bool BuildLock::TryTake(const std::string& index) {
    if (Open(index) && !HeldHere(m_path) && Lock() == Got::kLock) return true;
    Release();
    return false;
}

void BuildLock::Release() {
    if (m_held) {
        std::lock_guard<std::mutex> lock(g_heldLock);
        Held().erase(Held().find(m_path));
    }
    m_held = false;
    if (m_fd >= 0) close(m_fd);  // and with it the lock
    m_fd = -1;
}

}  // namespace tmsdk
