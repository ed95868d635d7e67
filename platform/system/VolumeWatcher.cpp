#include "platform/system/VolumeWatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/system/Volumes.h"

namespace platform {

namespace {

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(fd, chunk, sizeof chunk, offset);
        if (n <= 0) break;
        text.append(chunk, static_cast<std::size_t>(n));
        offset += n;
    }
    return text;
}

}  // namespace

VolumeWatcher::VolumeWatcher(Notify notify) : m_notify(std::move(notify)) {
    m_fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    m_ids = CurrentIds();
}

VolumeWatcher::~VolumeWatcher() {
    Detach();
    if (m_fd >= 0) close(m_fd);
}

std::set<std::string> VolumeWatcher::CurrentIds() {
    VolumeSources sources;
    // Reading through the watched descriptor also clears its pending change.
    sources.mountInfo = m_fd >= 0 ? ReadAll(m_fd) : ReadTextFile("/proc/self/mountinfo");
    if (const char* folders = std::getenv("GBX_VOLUMES")) sources.extraFolders = folders;
    sources.cdDevices = SystemCdDevices();
    sources.readLabels = false;
    std::set<std::string> ids;
    for (const Volume& volume : ListVolumes(sources)) {
        if (volume.kind == VolumeKind::CdDrive && volume.mountPoint.empty() && !CdDriveHasDisc(volume.device)) continue;
        ids.insert(volume.id);
    }
    return ids;
}

void VolumeWatcher::Dispatch() {
    if (m_fd >= 0) {
        pollfd pfd{m_fd, kEvents, 0};
        (void)poll(&pfd, 1, 0);  // consumes the pending change notice
    }
    std::set<std::string> now = CurrentIds();
    std::set<std::string> before;
    before.swap(m_ids);
    m_ids = now;
    // The callback may re-enter (a handler that lists drives); it sees the new state.
    for (const std::string& id : before)
        if (!now.count(id) && m_notify) m_notify(false, id);
    for (const std::string& id : now)
        if (!before.count(id) && m_notify) m_notify(true, id);
}

bool VolumeWatcher::Attach(IEventLoop& loop) {
    Detach();
    m_loop = &loop;
    m_timerId = loop.AddTimer(kIntervalMs, [this] { Dispatch(); });
    if (m_fd >= 0) m_watchId = loop.AddWatch(m_fd, kEvents, [this] { Dispatch(); });
    return m_timerId != 0;
}

void VolumeWatcher::Detach() {
    if (!m_loop) return;
    if (m_timerId) m_loop->RemoveTimer(m_timerId);
    if (m_watchId) m_loop->RemoveWatch(m_watchId);
    m_timerId = m_watchId = 0;
    m_loop = nullptr;
}

}  // namespace platform
