// Notices of volumes that arrive and go: mounts (POLLPRI on /proc/self/mountinfo),
// discs in CD drives and GBX_VOLUMES folders (checked once a second). A volume whose mount id
// changed (another file system mounted at its folder) went and arrived.
#pragma once

#include <poll.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "platform/system/EventLoop.h"

namespace platform {

class VolumeWatcher {
public:
    // arrived is true for an arrival and false for a removal; id is the volume's id.
    using Notify = std::function<void(bool arrived, const std::string& id)>;

    static constexpr short kEvents = POLLPRI;
    static constexpr uint32_t kIntervalMs = 1000;

    // Takes the first look at once; only later changes are reported.
    explicit VolumeWatcher(Notify notify);
    ~VolumeWatcher();
    VolumeWatcher(const VolumeWatcher&) = delete;
    VolumeWatcher& operator=(const VolumeWatcher&) = delete;

    // Reports kEvents when the mount table changes; -1 when it cannot be opened.
    int FileDescriptor() const { return m_fd; }
    // Looks again and reports each volume that arrived or went, removals first; a volume mounted
    // anew is a removal and an arrival.
    void Dispatch();

    // Has the loop call Dispatch on the descriptor and every kIntervalMs.
    bool Attach(IEventLoop& loop);
    void Detach();

    // What a look finds now, each volume's id with its mount id: mounted volumes, CD drives
    // holding a disc, folders.
    std::map<std::string, uint64_t> CurrentIds();

private:
    Notify m_notify;
    int m_fd = -1;
    std::map<std::string, uint64_t> m_ids;
    IEventLoop* m_loop = nullptr;
    int m_timerId = 0;
    int m_watchId = 0;
};

}  // namespace platform
