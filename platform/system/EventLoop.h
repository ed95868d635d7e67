// The program's event loop as the system layer sees it. The window layer implements
// it over its own loop (timers and file-descriptor notifiers) and installs it at
// start-up; tests install a loop they drive by hand.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

class IEventLoop {
public:
    using Callback = std::function<void()>;

    virtual ~IEventLoop() = default;

    // Calls callback every intervalMs milliseconds on the loop's thread until the
    // timer is removed. Returns a nonzero id, or 0 when no timer can be made.
    virtual int AddTimer(uint32_t intervalMs, Callback callback) = 0;
    // Ends a timer; also allowed from inside its own callback. Unknown ids are ignored.
    virtual void RemoveTimer(int id) = 0;

    // Calls callback whenever fd reports one of events (POLLIN, POLLPRI) on the loop's
    // thread. Returns a nonzero id, or 0 when the descriptor cannot be watched.
    virtual int AddWatch(int fd, short events, Callback callback) = 0;
    // Ends a watch; also allowed from inside its own callback. Unknown ids are ignored.
    virtual void RemoveWatch(int id) = 0;
};

// The installed loop, or null before the window layer has installed one.
IEventLoop* GetEventLoop();
// Installs the loop; null uninstalls. The caller keeps ownership, and uninstalls the
// loop before destroying it: users that took the installed loop then no longer call
// it (process-wide objects are destroyed after the window layer's loop at exit).
void SetEventLoop(IEventLoop* loop);

}  // namespace platform
