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
    // The system's table tells of every change, also while the listing reads an injected one.
    m_fd = open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    m_ids = CurrentIds();
}

VolumeWatcher::~VolumeWatcher() {
    Detach();
    if (m_fd >= 0) close(m_fd);
}

std::map<std::string, uint64_t> VolumeWatcher::CurrentIds() {
    VolumeSources sources;
    // Reading through the watched descriptor also clears its pending change; an injected table
    // is read by its name, as a test replaces the file.
    sources.mountInfo = m_fd >= 0 && !IsMountInfoInjected() ? ReadAll(m_fd) : ReadTextFile(MountInfoPath());
    if (const char* folders = std::getenv("GBX_VOLUMES")) sources.extraFolders = folders;
    sources.cdDevices = SystemCdDevices();
    sources.readLabels = false;
    std::map<std::string, uint64_t> ids;
    for (const Volume& volume : ListVolumes(sources)) {
        if (volume.kind == VolumeKind::CdDrive && volume.mountPoint.empty() && !CdDriveHasDisc(volume.device)) continue;
        ids.emplace(volume.id, volume.mountId);
    }
    return ids;
}

void VolumeWatcher::Dispatch() {
    if (m_fd >= 0) {
        pollfd pfd{m_fd, kEvents, 0};
        (void)poll(&pfd, 1, 0);  // consumes the pending change notice
    }
    std::map<std::string, uint64_t> now = CurrentIds();
    std::map<std::string, uint64_t> before;
    before.swap(m_ids);
    m_ids = now;
    // Another card mounted where one was is not the same volume: it went and one arrived.
    const auto sameIn = [](const std::map<std::string, uint64_t>& ids,
                           const std::pair<const std::string, uint64_t>& v) {
        const auto found = ids.find(v.first);
        return found != ids.end() && found->second == v.second;
    };
    // The callback may re-enter (a handler that lists drives); it sees the new state.
    for (const auto& volume : before)
        if (!sameIn(now, volume) && m_notify) m_notify(false, volume.first);
    for (const auto& volume : now)
        if (!sameIn(before, volume) && m_notify) m_notify(true, volume.first);
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
