// The single-instance lock: a small file in the runtime folder, locked with flock
// by the first instance and holding its window id, and a Unix-domain socket beside
// it through which a later instance asks the first to raise its window. A crashed
// first instance loses its lock with its process, so it never blocks a later start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/system/EventLoop.h"

namespace platform {

// What the window layer supplies: the main window's id, and restoring and raising it.
class IInstanceWindows {
public:
    virtual ~IInstanceWindows() = default;
    // The id of the main window, 0 while there is none.
    virtual uint32_t MainWindowId() = 0;
    // Restores the window if minimised and brings its last active popup to the front.
    virtual void RestoreAndRaise(uint32_t windowId) = 0;
};
IInstanceWindows* GetInstanceWindows();
void SetInstanceWindows(IInstanceWindows* windows);

class InstanceLock {
public:
    enum class Result { Failed, First, Existing };

    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Opens or creates the block file `name` of size bytes in the runtime folder.
    // First: this process now holds the lock and the block reads all zero.
    Result Create(const std::string& name, std::size_t size);
    bool IsOpen() const { return m_fd >= 0; }
    int Descriptor() const { return m_fd; }
    std::size_t Size() const { return m_size; }
    const std::string& Path() const { return m_path; }
    std::string SocketPath() const { return m_path + ".sock"; }

    // A writable shared view of count bytes at offset; null when not open or out of
    // the block. Release it with UnmapView (same count and offset).
    void* MapView(std::size_t count, std::size_t offset);
    static void UnmapView(void* view, std::size_t count, std::size_t offset);

    // First instance: listens on the socket beside the block; raise requests then
    // go to the installed IInstanceWindows, or to onRaise when given.
    bool Listen(std::function<void(uint32_t)> onRaise = {});
    int ListenerDescriptor() const { return m_listener; }
    // Serves the waiting requests (non-blocking).
    void Dispatch();
    // Has the installed loop call Dispatch when a request waits; false without a
    // listener. The watch is removed only while that loop is still installed.
    bool Attach(IEventLoop& loop);
    bool IsAttached() const { return m_loop != nullptr; }

    // Later instance: asks the first, through its socket, to raise windowId.
    bool RequestRaise(uint32_t windowId) const;

private:
    void Detach();

    int m_fd = -1;
    std::size_t m_size = 0;
    std::string m_path;
    int m_listener = -1;
    std::function<void(uint32_t)> m_onRaise;
    IEventLoop* m_loop = nullptr;
    int m_watchId = 0;
};

}  // namespace platform
