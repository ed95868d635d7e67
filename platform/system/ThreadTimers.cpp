#include "platform/system/ThreadTimers.h"

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace platform {

namespace {

struct TimerThread {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    std::thread thread;
};

void RunTimer(TimerThread& timer, uint32_t delayMs, bool periodic, const std::function<void()>& callback) {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(delayMs);
    auto due = Clock::now() + period;
    std::unique_lock<std::mutex> lock(timer.mutex);
    for (;;) {
        if (timer.wake.wait_until(lock, due, [&] { return timer.stop; })) return;
        lock.unlock();
        callback();
        lock.lock();
        if (!periodic || timer.stop) return;
        due += period;
        // A callback that overran its period does not cause a burst of catch-up calls.
        const auto now = Clock::now();
        if (due < now) due = now;
    }
}

class ThreadTimers : public IThreadTimers {
public:
    ~ThreadTimers() override {
        std::map<uint32_t, std::shared_ptr<TimerThread>> left;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            left.swap(m_timers);
        }
        for (auto& entry : left) Stop(*entry.second);
    }

    bool GetMinimumPeriod(uint32_t& periodMs) override {
        periodMs = 1;
        return true;
    }
    bool BeginPeriod(uint32_t periodMs) override { return periodMs > 0; }
    bool EndPeriod(uint32_t periodMs) override { return periodMs > 0; }

    uint32_t SetEvent(uint32_t delayMs, bool periodic, std::function<void()> callback) override {
        if (delayMs == 0 || !callback) return 0;
        // The thread shares the state, so a timer killed from its own callback
        // can finish after the service has let go of it.
        auto timer = std::make_shared<TimerThread>();
        std::lock_guard<std::mutex> lock(m_mutex);
        uint32_t id = ++m_lastId;
        if (id == 0) id = ++m_lastId;
        try {
            timer->thread = std::thread([timer, delayMs, periodic, callback = std::move(callback)] {
                RunTimer(*timer, delayMs, periodic, callback);
            });
        } catch (const std::system_error&) {
            return 0;
        }
        m_timers.emplace(id, std::move(timer));
        return id;
    }

    void KillEvent(uint32_t id) override {
        std::shared_ptr<TimerThread> timer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            auto it = m_timers.find(id);
            if (it == m_timers.end()) return;
            timer = std::move(it->second);
            m_timers.erase(it);
        }
        Stop(*timer);
    }

private:
    static void Stop(TimerThread& timer) {
        {
            std::lock_guard<std::mutex> lock(timer.mutex);
            timer.stop = true;
        }
        timer.wake.notify_all();
        if (timer.thread.get_id() == std::this_thread::get_id()) {
            // Killed from its own callback: the thread ends after the callback returns.
            timer.thread.detach();
            return;
        }
        timer.thread.join();
    }

    std::mutex m_mutex;
    std::map<uint32_t, std::shared_ptr<TimerThread>> m_timers;
    uint32_t m_lastId = 0;
};

}  // namespace

IThreadTimers& GetThreadTimers() {
    static ThreadTimers timers;
    return timers;
}

}  // namespace platform
