// The device-change hook: volume arrivals and removals go to one process-wide handler.
#pragma once

#include <memory>
#include <string>

namespace platform {
class IEventLoop;
class VolumeWatcher;
}  // namespace platform

namespace GT {

enum { DEVICE_ARRIVAL = 0, DEVICE_REMOVAL = 1 };

class IDeviceChangeHandler {
public:
    virtual ~IDeviceChangeHandler();
    // event: DEVICE_ARRIVAL or DEVICE_REMOVAL; drive: the volume's id. Does nothing here.
    virtual bool OnDeviceChange(int event, const std::string& drive);
    // Makes this object the process-wide handler, replacing any earlier one. Not owned.
    void Install();
};

// The installed handler, else a default that does nothing. Never null.
IDeviceChangeHandler* GetDeviceChangeHandler();

// Hands every volume that arrives or goes, each as its own notice, to the installed
// handler. The window layer attaches it to its loop; tests call Dispatch.
class CDeviceChangeWatcher {
public:
    CDeviceChangeWatcher();
    ~CDeviceChangeWatcher();
    CDeviceChangeWatcher(const CDeviceChangeWatcher&) = delete;
    CDeviceChangeWatcher& operator=(const CDeviceChangeWatcher&) = delete;

    // POLLPRI on it means the mount table changed; -1 when unavailable.
    int FileDescriptor() const;
    // Looks for changes now and reports them.
    void Dispatch();
    // Dispatch on the descriptor and once a second through the loop.
    bool Attach(platform::IEventLoop& loop);
    void Detach();

private:
    std::unique_ptr<platform::VolumeWatcher> m_watcher;
};

}  // namespace GT
