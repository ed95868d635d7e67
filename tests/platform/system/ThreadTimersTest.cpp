#include "platform/system/ThreadTimers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits (bounded) until pred holds.
template <class Pred>
bool WaitUntil(Pred pred, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

TEST(ThreadTimersTest, OneShotFiresOnceAndPeriodicKeepsFiring) {
    auto& timers = platform::GetThreadTimers();
    std::atomic<int> once{0}, periodic{0};
    const uint32_t a = timers.SetEvent(5, false, [&] { ++once; });
    const uint32_t b = timers.SetEvent(5, true, [&] { ++periodic; });
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_TRUE(WaitUntil([&] { return periodic.load() >= 3; }));
    timers.KillEvent(b);
    const int afterKill = periodic.load();
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(periodic.load(), afterKill);
    EXPECT_EQ(once.load(), 1);
    timers.KillEvent(a);
}

TEST(ThreadTimersTest, KillWaitsForARunningCallback) {
    auto& timers = platform::GetThreadTimers();
    std::atomic<bool> entered{false}, finished{false};
    const uint32_t id = timers.SetEvent(1, false, [&] {
        entered = true;
        std::this_thread::sleep_for(100ms);
        finished = true;
    });
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(WaitUntil([&] { return entered.load(); }));
    timers.KillEvent(id);
    EXPECT_TRUE(finished.load());
}

TEST(ThreadTimersTest, CallbackMayKillItsOwnTimer) {
    auto& timers = platform::GetThreadTimers();
    std::atomic<uint32_t> id{0};
    std::atomic<int> calls{0};
    id = timers.SetEvent(2, true, [&] {
        ++calls;
        while (id.load() == 0) std::this_thread::yield();
        timers.KillEvent(id.load());
    });
    ASSERT_NE(id.load(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return calls.load() >= 1; }));
    std::this_thread::sleep_for(30ms);
    EXPECT_EQ(calls.load(), 1);
}

TEST(ThreadTimersTest, RefusesAZeroDelayAndIgnoresUnknownIds) {
    auto& timers = platform::GetThreadTimers();
    EXPECT_EQ(timers.SetEvent(0, false, [] {}), 0u);
    timers.KillEvent(123456);  // nothing to stop, nothing happens
    uint32_t period = 0;
    EXPECT_TRUE(timers.GetMinimumPeriod(period));
    EXPECT_TRUE(timers.BeginPeriod(period));
    EXPECT_TRUE(timers.EndPeriod(period));
}

}  // namespace
