// An event loop and clock that tests drive by hand: Advance moves time and fires
// the timers that fall due, in order; PollWatches serves ready descriptors.
#pragma once

#include <poll.h>

#include <cstdint>
#include <map>
#include <vector>

#include "platform/system/Clock.h"
#include "platform/system/EventLoop.h"

namespace gbxtest {

class ManualEventLoop : public platform::IEventLoop, public platform::IClock {
public:
    explicit ManualEventLoop(uint32_t startTick = 0) : m_now(startTick) {}

    uint32_t TickCount() override { return static_cast<uint32_t>(m_now); }

    int AddTimer(uint32_t intervalMs, Callback callback) override {
        const int id = ++m_lastId;
        m_timers[id] = Timer{intervalMs, m_now + Step(intervalMs), std::move(callback)};
        return id;
    }
    void RemoveTimer(int id) override { m_timers.erase(id); }

    int AddWatch(int fd, short events, Callback callback) override {
        if (fd < 0) return 0;
        const int id = ++m_lastId;
        m_watches[id] = Watch{fd, events, std::move(callback)};
        return id;
    }
    void RemoveWatch(int id) override { m_watches.erase(id); }

    // Moves the clock on by ms, firing every timer that falls due on the way.
    void Advance(uint64_t ms) {
        const uint64_t target = m_now + ms;
        for (;;) {
            int next = 0;
            uint64_t due = target + 1;
            for (const auto& timer : m_timers)
                if (timer.second.due < due) {
                    due = timer.second.due;
                    next = timer.first;
                }
            if (next == 0) break;
            m_now = due;
            Callback callback = m_timers[next].callback;  // the callback may remove its timer
            m_timers[next].due += Step(m_timers[next].interval);
            callback();
        }
        m_now = target;
    }

    // Calls the callback of every watched descriptor that is ready; returns how many.
    int PollWatches(int timeoutMs = 0) {
        std::vector<pollfd> fds;
        std::vector<int> ids;
        for (const auto& watch : m_watches) {
            fds.push_back(pollfd{watch.second.fd, watch.second.events, 0});
            ids.push_back(watch.first);
        }
        if (fds.empty() || poll(fds.data(), fds.size(), timeoutMs) <= 0) return 0;
        int fired = 0;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            const auto it = m_watches.find(ids[i]);
            if (it == m_watches.end() || !(fds[i].revents & it->second.events)) continue;
            Callback callback = it->second.callback;
            callback();
            ++fired;
        }
        return fired;
    }

    std::size_t TimerCount() const { return m_timers.size(); }
    std::size_t WatchCount() const { return m_watches.size(); }

private:
    struct Timer {
        uint32_t interval = 0;
        uint64_t due = 0;
        Callback callback;
    };
    struct Watch {
        int fd = -1;
        short events = 0;
        Callback callback;
    };
    static uint64_t Step(uint32_t interval) { return interval ? interval : 1; }

    uint64_t m_now;
    int m_lastId = 0;
    std::map<int, Timer> m_timers;
    std::map<int, Watch> m_watches;
};

}  // namespace gbxtest
