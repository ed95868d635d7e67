#include "platform/system/InstanceLock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/system/SystemFolders.h"

namespace platform {

namespace {

IInstanceWindows*& InstalledWindows() {
    static IInstanceWindows* windows = nullptr;
    return windows;
}

constexpr char kRaiseRequest[] = "RAISE ";

bool MakeAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Reads one short request line; gives up after a brief wait so that a silent
// client cannot stall the loop.
std::string ReadRequest(int fd) {
    std::string line;
    char chunk[64];
    while (line.size() < 64 && line.find('\n') == std::string::npos) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 200) <= 0) break;
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) break;
        line.append(chunk, static_cast<std::size_t>(n));
    }
    return line;
}

}  // namespace

IInstanceWindows* GetInstanceWindows() { return InstalledWindows(); }
void SetInstanceWindows(IInstanceWindows* windows) { InstalledWindows() = windows; }

InstanceLock::~InstanceLock() {
    Detach();
    if (m_listener >= 0) {
        close(m_listener);
        unlink(SocketPath().c_str());
    }
    if (m_fd >= 0) close(m_fd);  // ends the lock, as the end of the process would
}

InstanceLock::Result InstanceLock::Create(const std::string& name, std::size_t size) {
    if (m_fd >= 0 || name.empty() || name.find('/') != std::string::npos || size == 0) return Result::Failed;
    const std::string path = RuntimeDirectory() + "/" + name;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Failed;
    Result result = Result::Existing;
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Whatever a crashed holder left is cleared.
        if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
            close(fd);
            return Result::Failed;
        }
        result = Result::First;
    } else if (errno != EWOULDBLOCK) {
        close(fd);
        return Result::Failed;
    }
    m_fd = fd;
    m_size = size;
    m_path = path;
    return result;
}

void* InstanceLock::MapView(std::size_t count, std::size_t offset) {
    if (m_fd < 0 || count == 0 || offset > m_size || count > m_size - offset) return nullptr;
    // The holder may still be sizing the file: never map past its end (SIGBUS).
    const off_t end = lseek(m_fd, 0, SEEK_END);
    if (end < 0 || static_cast<std::size_t>(end) < offset + count) return nullptr;
    void* base = mmap(nullptr, offset + count, PROT_READ | PROT_WRITE, MAP_SHARED, m_fd, 0);
    if (base == MAP_FAILED) return nullptr;
    return static_cast<char*>(base) + offset;
}

void InstanceLock::UnmapView(void* view, std::size_t count, std::size_t offset) {
    if (view) munmap(static_cast<char*>(view) - offset, offset + count);
}

bool InstanceLock::Listen(std::function<void(uint32_t)> onRaise) {
    if (m_fd < 0 || m_listener >= 0) return false;
    sockaddr_un address;
    const std::string path = SocketPath();
    if (!MakeAddress(path, address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    unlink(path.c_str());  // left by a crashed holder; we hold the lock now
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return false;
    }
    m_listener = fd;
    m_onRaise = std::move(onRaise);
    return true;
}

void InstanceLock::Dispatch() {
    if (m_listener < 0) return;
    for (;;) {
        const int client = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        const std::string line = ReadRequest(client);
        close(client);
        unsigned long id = 0;
        if (line.compare(0, sizeof kRaiseRequest - 1, kRaiseRequest) != 0
            || std::sscanf(line.c_str() + sizeof kRaiseRequest - 1, "%lu", &id) != 1 || id == 0 || id > UINT32_MAX)
            continue;
        if (m_onRaise) {
            m_onRaise(static_cast<uint32_t>(id));
        } else if (IInstanceWindows* windows = GetInstanceWindows()) {
            windows->RestoreAndRaise(static_cast<uint32_t>(id));
        }
    }
}

bool InstanceLock::Attach(IEventLoop& loop) {
    if (m_listener < 0) return false;
    Detach();
    m_watchId = loop.AddWatch(m_listener, POLLIN, [this] { Dispatch(); });
    if (m_watchId == 0) return false;
    m_loop = &loop;
    return true;
}

void InstanceLock::Detach() {
    // A loop that is no longer installed may be gone already (at exit).
    if (m_loop && m_watchId && GetEventLoop() == m_loop) m_loop->RemoveWatch(m_watchId);
    m_loop = nullptr;
    m_watchId = 0;
}

bool InstanceLock::RequestRaise(uint32_t windowId) const {
    sockaddr_un address;
    if (m_path.empty() || !MakeAddress(SocketPath(), address)) return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    bool sent = false;
    if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = kRaiseRequest + std::to_string(windowId) + "\n";
        sent = send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    }
    close(fd);
    return sent;
}

}  // namespace platform
