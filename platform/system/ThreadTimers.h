// Timers that call back on a thread of their own (the multimedia kind). Behind an
// interface so that tests can make each step fail.
#pragma once

#include <cstdint>
#include <functional>

namespace platform {

class IThreadTimers {
public:
    virtual ~IThreadTimers() = default;

    // The finest period the service offers, in milliseconds.
    virtual bool GetMinimumPeriod(uint32_t& periodMs) = 0;
    // Requests and releases a resolution; each begin is paired with one end.
    virtual bool BeginPeriod(uint32_t periodMs) = 0;
    virtual bool EndPeriod(uint32_t periodMs) = 0;

    // Calls callback after delayMs, and then every delayMs when periodic, on the
    // timer's own thread. Returns a nonzero id, 0 on failure.
    virtual uint32_t SetEvent(uint32_t delayMs, bool periodic, std::function<void()> callback) = 0;
    // Stops the timer. Returns once a running callback has finished, except when
    // called from that callback itself. Unknown ids are ignored.
    virtual void KillEvent(uint32_t id) = 0;
};

// The process-wide service, one thread per running timer.
IThreadTimers& GetThreadTimers();

}  // namespace platform
