#pragma once
// The window layer's side of the system layer's hooks: its event loop (timers and descriptor
// watches on the toolkit loop) and the main window for the single-instance raise request.
#include "platform/system/EventLoop.h"
#include "platform/system/InstanceLock.h"

#include <memory>

namespace platform {

class ToolkitEventLoop : public IEventLoop {
public:
    ToolkitEventLoop();
    ~ToolkitEventLoop() override;
    int AddTimer(uint32_t intervalMs, Callback callback) override;
    void RemoveTimer(int id) override;
    int AddWatch(int fd, short events, Callback callback) override;
    void RemoveWatch(int id) override;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

class ToolkitInstanceWindows : public IInstanceWindows {
public:
    uint32_t MainWindowId() override;
    void RestoreAndRaise(uint32_t windowId) override;
};

// Installs both into the system layer unless something else is installed already.
// StartWindowSystem calls it.
void InstallSystemLoopBridge();

}  // namespace platform
