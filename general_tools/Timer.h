// Timers that call a handler object periodically or once: kind 0 on a thread of
// its own, kind 1 on the program's event loop.
#pragma once

#include <boost/enable_shared_from_this.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>

namespace platform {
class IEventLoop;
class IThreadTimers;
}  // namespace platform

namespace GT {

// Built afresh for each tick; it carries no data.
class CTimerInfo {
public:
    virtual ~CTimerInfo();
};

class ITimerHandler {
public:
    virtual ~ITimerHandler();
    virtual void OnTimer(CTimerInfo& info);
};

class ITimer {
public:
    virtual ~ITimer();
    virtual bool Start(ITimerHandler* handler, uint32_t intervalMs, int periodic, int kind) = 0;
    virtual bool Kill(ITimerHandler* handler) = 0;
    virtual bool IsActive(ITimerHandler* handler) const = 0;
};

class CTimer : public ITimer {
public:
    enum { KIND_THREAD = 0, KIND_WINDOW = 1 };

    // Kind-1 timers use the installed event loop, kind-0 timers the system's thread timers.
    CTimer();
    // For tests: the given services; a null loop means the installed one.
    CTimer(platform::IThreadTimers& threadTimers, platform::IEventLoop* loop);
    // Kills every timer still running.
    ~CTimer() override;
    CTimer(const CTimer&) = delete;
    CTimer& operator=(const CTimer&) = delete;

    // False when the handler already has a timer, the kind is not 0 or 1, or the
    // timer cannot be made. Kind 0 is periodic only for periodic == 1, kind 1 for any
    // periodic != 0.
    bool Start(ITimerHandler* handler, uint32_t intervalMs, int periodic, int kind) override;
    // Stops and forgets the handler's timer; waits for a kind-0 callback that is
    // running. False for a handler without a timer, or when the resolution that the
    // start requested could not be released (the timer is gone all the same).
    bool Kill(ITimerHandler* handler) override;
    // True from Start to Kill, also after a one-shot timer has fired.
    bool IsActive(ITimerHandler* handler) const override;

    static void MultimediaTimerCallback(ITimerHandler* handler);

    // The event-loop timer of one kind-1 timer.
    class CWindowX : public boost::enable_shared_from_this<CWindowX> {
    public:
        // fromInstalled: the loop is the installed one, and is left alone once uninstalled.
        CWindowX(platform::IEventLoop& loop, bool fromInstalled);
        ~CWindowX();
        bool StartTimer(ITimerHandler* handler, uint32_t intervalMs, int periodic);
        void StopTimer();
        void OnTimer(int timerId);

    private:
        platform::IEventLoop& m_loop;
        bool m_fromInstalled;
        ITimerHandler* m_handler = nullptr;
        int m_periodic = 1;
        int m_timerId = 0;
    };

private:
    struct CEntry {
        uint32_t timerId = 0;  // kind 0
        uint32_t period = 0;   // kind 0: the resolution requested at the start
        CWindowX* window = nullptr;
        boost::shared_ptr<CWindowX> owner;
    };

    platform::IThreadTimers& m_threadTimers;
    platform::IEventLoop* m_loop;
    std::map<ITimerHandler*, CEntry> m_entries;
};

// The process-wide timer service.
CTimer& GetTimer();

}  // namespace GT
