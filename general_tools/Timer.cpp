#include "general_tools/Timer.h"

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>

#include "platform/system/EventLoop.h"
#include "platform/system/ThreadTimers.h"

namespace GT {

CTimerInfo::~CTimerInfo() = default;
ITimerHandler::~ITimerHandler() = default;
void ITimerHandler::OnTimer(CTimerInfo&) {}
ITimer::~ITimer() = default;

CTimer::CTimer() : CTimer(platform::GetThreadTimers(), nullptr) {}

CTimer::CTimer(platform::IThreadTimers& threadTimers, platform::IEventLoop* loop)
    : m_threadTimers(threadTimers), m_loop(loop) {}

CTimer::~CTimer() {
    // Kill always erases, so this ends even when a release fails.
    while (!m_entries.empty()) Kill(m_entries.begin()->first);
}

bool CTimer::Start(ITimerHandler* handler, uint32_t intervalMs, int periodic, int kind) {
    if (!handler || m_entries.count(handler)) return false;
    CEntry entry;
    if (kind == KIND_THREAD) {
        uint32_t period = 0;
        if (!m_threadTimers.GetMinimumPeriod(period) || !m_threadTimers.BeginPeriod(period)) return false;
        entry.timerId =
            m_threadTimers.SetEvent(intervalMs, periodic == 1, [handler] { MultimediaTimerCallback(handler); });
        if (entry.timerId == 0) {
            m_threadTimers.EndPeriod(period);
            return false;
        }
        entry.period = period;
    } else if (kind == KIND_WINDOW) {
        platform::IEventLoop* loop = m_loop ? m_loop : platform::GetEventLoop();
        if (!loop) return false;
        entry.owner = boost::make_shared<CWindowX>(*loop, m_loop == nullptr);
        if (!entry.owner->StartTimer(handler, intervalMs, periodic)) return false;
        entry.window = entry.owner.get();
    } else {
        return false;
    }
    m_entries.emplace(handler, entry);
    return true;
}

bool CTimer::Kill(ITimerHandler* handler) {
    const auto it = m_entries.find(handler);
    if (it == m_entries.end()) return false;
    bool released = true;
    if (it->second.window) {
        it->second.window->StopTimer();
    } else {
        m_threadTimers.KillEvent(it->second.timerId);
        released = m_threadTimers.EndPeriod(it->second.period);
    }
    m_entries.erase(it);
    return released;
}

bool CTimer::IsActive(ITimerHandler* handler) const { return m_entries.count(handler) != 0; }

void CTimer::MultimediaTimerCallback(ITimerHandler* handler) {
    CTimerInfo info;
    handler->OnTimer(info);
}

CTimer::CWindowX::CWindowX(platform::IEventLoop& loop, bool fromInstalled)
    : m_loop(loop), m_fromInstalled(fromInstalled) {}

CTimer::CWindowX::~CWindowX() { StopTimer(); }

bool CTimer::CWindowX::StartTimer(ITimerHandler* handler, uint32_t intervalMs, int periodic) {
    m_handler = handler;
    m_periodic = periodic;
    // A tick that comes after the window is gone finds nothing to call.
    boost::weak_ptr<CWindowX> self = shared_from_this();
    m_timerId = m_loop.AddTimer(intervalMs, [self] {
        if (boost::shared_ptr<CWindowX> alive = self.lock()) alive->OnTimer(alive->m_timerId);
    });
    return m_timerId != 0;
}

void CTimer::CWindowX::StopTimer() {
    if (m_timerId && (!m_fromInstalled || platform::GetEventLoop() == &m_loop)) m_loop.RemoveTimer(m_timerId);
    m_timerId = 0;
}

void CTimer::CWindowX::OnTimer(int timerId) {
    if (timerId == 0 || timerId != m_timerId) return;
    // The handler may kill its own timer, which releases this object.
    boost::shared_ptr<CWindowX> keepAlive = shared_from_this();
    CTimerInfo info;
    m_handler->OnTimer(info);
    if (m_periodic == 0 && m_timerId == timerId) StopTimer();
}

CTimer& GetTimer() {
    static CTimer timer;
    return timer;
}

}  // namespace GT
