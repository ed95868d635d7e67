#include "general_tools/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <thread>

#include "platform/system/EventLoop.h"
#include "platform/system/ThreadTimers.h"
#include "tests/support/ManualEventLoop.h"

namespace {

using namespace std::chrono_literals;

class CountingHandler : public GT::ITimerHandler {
public:
    void OnTimer(GT::CTimerInfo&) override {
        ++ticks;
        if (onTick) onTick();
    }
    std::atomic<int> ticks{0};
    std::function<void()> onTick;
};

// Thread timers that never run by themselves: a test fires them, and can make
// each step fail.
class FakeThreadTimers : public platform::IThreadTimers {
public:
    bool GetMinimumPeriod(uint32_t& periodMs) override {
        periodMs = 1;
        return !failCaps;
    }
    bool BeginPeriod(uint32_t) override {
        if (failBegin) return false;
        ++periodsHeld;
        return true;
    }
    bool EndPeriod(uint32_t) override {
        if (failEnd) return false;
        --periodsHeld;
        return true;
    }
    uint32_t SetEvent(uint32_t delayMs, bool periodic, std::function<void()> callback) override {
        if (failSet) return 0;
        events[++lastId] = Event{delayMs, periodic, std::move(callback)};
        return lastId;
    }
    void KillEvent(uint32_t id) override { events.erase(id); }

    struct Event {
        uint32_t delay;
        bool periodic;
        std::function<void()> callback;
    };
    bool failCaps = false, failBegin = false, failSet = false, failEnd = false;
    int periodsHeld = 0;
    uint32_t lastId = 0;
    std::map<uint32_t, Event> events;
};

class TimerTest : public ::testing::Test {
protected:
    gbxtest::ManualEventLoop loop;
    FakeThreadTimers threads;
};

TEST_F(TimerTest, WindowTimerTicksOnTheLoop) {
    GT::CTimer timer(threads, &loop);
    CountingHandler handler;
    ASSERT_TRUE(timer.Start(&handler, 100, 1, GT::CTimer::KIND_WINDOW));
    EXPECT_FALSE(timer.Start(&handler, 50, 1, GT::CTimer::KIND_WINDOW));  // the first one keeps running
    loop.Advance(99);
    EXPECT_EQ(handler.ticks, 0);
    loop.Advance(301);
    EXPECT_EQ(handler.ticks, 4);
    EXPECT_TRUE(timer.IsActive(&handler));
    EXPECT_TRUE(timer.Kill(&handler));
    EXPECT_FALSE(timer.IsActive(&handler));
    EXPECT_EQ(loop.TimerCount(), 0u);
    loop.Advance(1000);
    EXPECT_EQ(handler.ticks, 4);
    EXPECT_FALSE(timer.Kill(&handler));
}

TEST_F(TimerTest, PeriodicFlagPerKind) {
    GT::CTimer timer(threads, &loop);
    const struct {
        int periodic;
        int kind;
        int ticksAfterFiveIntervals;
        bool threadPeriodic;
    } cases[] = {
        {0, GT::CTimer::KIND_WINDOW, 1, false}, {1, GT::CTimer::KIND_WINDOW, 5, false},
        {2, GT::CTimer::KIND_WINDOW, 5, false},  // any nonzero flag repeats a window timer
        {0, GT::CTimer::KIND_THREAD, 0, false}, {1, GT::CTimer::KIND_THREAD, 0, true},
        {2, GT::CTimer::KIND_THREAD, 0, false},  // only exactly 1 repeats a thread timer
    };
    for (const auto& c : cases) {
        CountingHandler handler;
        ASSERT_TRUE(timer.Start(&handler, 10, c.periodic, c.kind));
        loop.Advance(50);
        EXPECT_EQ(handler.ticks, c.ticksAfterFiveIntervals) << c.periodic << "/" << c.kind;
        if (c.kind == GT::CTimer::KIND_THREAD) {
            EXPECT_EQ(threads.events.at(threads.lastId).periodic, c.threadPeriodic);
        }
        EXPECT_TRUE(timer.IsActive(&handler));  // a fired one-shot keeps its entry until killed
        EXPECT_TRUE(timer.Kill(&handler));
    }
    EXPECT_EQ(threads.periodsHeld, 0);
}

TEST_F(TimerTest, ThreadTimerCallsTheHandlerAndReleasesItsResolution) {
    GT::CTimer timer(threads, &loop);
    CountingHandler handler;
    ASSERT_TRUE(timer.Start(&handler, 5, 1, GT::CTimer::KIND_THREAD));
    EXPECT_EQ(threads.periodsHeld, 1);
    threads.events.begin()->second.callback();
    threads.events.begin()->second.callback();
    EXPECT_EQ(handler.ticks, 2);
    EXPECT_TRUE(timer.Kill(&handler));
    EXPECT_TRUE(threads.events.empty());
    EXPECT_EQ(threads.periodsHeld, 0);
}

TEST_F(TimerTest, FailedStartsLeaveNoEntry) {
    CountingHandler handler;
    {
        GT::CTimer timer(threads, &loop);
        threads.failCaps = true;
        EXPECT_FALSE(timer.Start(&handler, 5, 1, GT::CTimer::KIND_THREAD));
        threads.failCaps = false;
        threads.failBegin = true;
        EXPECT_FALSE(timer.Start(&handler, 5, 1, GT::CTimer::KIND_THREAD));
        threads.failBegin = false;
        threads.failSet = true;
        EXPECT_FALSE(timer.Start(&handler, 5, 1, GT::CTimer::KIND_THREAD));
        EXPECT_EQ(threads.periodsHeld, 0);  // the requested resolution was withdrawn
        EXPECT_FALSE(timer.Start(&handler, 5, 1, 2));
        EXPECT_FALSE(timer.Start(&handler, 5, 1, -1));
        EXPECT_FALSE(timer.Start(nullptr, 5, 1, GT::CTimer::KIND_WINDOW));
        EXPECT_FALSE(timer.IsActive(&handler));
    }
    GT::CTimer noLoop(threads, nullptr);  // and none installed
    EXPECT_FALSE(noLoop.Start(&handler, 5, 1, GT::CTimer::KIND_WINDOW));
}

TEST_F(TimerTest, KillForgetsTheTimerEvenWhenTheResolutionStaysHeld) {
    CountingHandler a, b;
    {
        GT::CTimer timer(threads, &loop);
        ASSERT_TRUE(timer.Start(&a, 5, 1, GT::CTimer::KIND_THREAD));
        ASSERT_TRUE(timer.Start(&b, 5, 1, GT::CTimer::KIND_THREAD));
        threads.failEnd = true;
        EXPECT_FALSE(timer.Kill(&a));      // reported ...
        EXPECT_FALSE(timer.IsActive(&a));  // ... but the timer is gone
        EXPECT_EQ(threads.events.size(), 1u);
    }  // the destructor finishes although b's release fails too
    EXPECT_TRUE(threads.events.empty());
}

TEST_F(TimerTest, DestructorKillsEveryRunningTimer) {
    CountingHandler window, thread;
    {
        GT::CTimer timer(threads, &loop);
        ASSERT_TRUE(timer.Start(&window, 10, 1, GT::CTimer::KIND_WINDOW));
        ASSERT_TRUE(timer.Start(&thread, 10, 1, GT::CTimer::KIND_THREAD));
    }
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_TRUE(threads.events.empty());
    EXPECT_EQ(threads.periodsHeld, 0);
    loop.Advance(100);
    EXPECT_EQ(window.ticks, 0);
}

TEST_F(TimerTest, HandlerMayKillItsOwnTimerOnATick) {
    GT::CTimer timer(threads, &loop);
    CountingHandler handler;
    handler.onTick = [&] { EXPECT_TRUE(timer.Kill(&handler)); };
    ASSERT_TRUE(timer.Start(&handler, 10, 0, GT::CTimer::KIND_WINDOW));
    loop.Advance(100);
    EXPECT_EQ(handler.ticks, 1);
    EXPECT_FALSE(timer.IsActive(&handler));
    // And may start a new one from the tick as well.
    handler.onTick = [&] {
        timer.Kill(&handler);
        timer.Start(&handler, 30, 1, GT::CTimer::KIND_WINDOW);
    };
    ASSERT_TRUE(timer.Start(&handler, 10, 1, GT::CTimer::KIND_WINDOW));
    loop.Advance(10);
    EXPECT_EQ(handler.ticks, 2);
    EXPECT_TRUE(timer.IsActive(&handler));
    handler.onTick = nullptr;
    loop.Advance(30);
    EXPECT_EQ(handler.ticks, 3);
}

TEST_F(TimerTest, InstalledLoopIsLeftAloneOnceUninstalled) {
    platform::SetEventLoop(&loop);
    GT::CTimer timer(threads, nullptr);
    CountingHandler handler;
    ASSERT_TRUE(timer.Start(&handler, 10, 1, GT::CTimer::KIND_WINDOW));
    loop.Advance(10);
    EXPECT_EQ(handler.ticks, 1);
    platform::SetEventLoop(nullptr);  // as the window layer does before its loop ends
    EXPECT_TRUE(timer.Kill(&handler));
    EXPECT_EQ(loop.TimerCount(), 1u);  // not called any more
    loop.Advance(10);
    EXPECT_EQ(handler.ticks, 1);  // and a late tick reaches nobody
}

TEST(RealThreadTimerTest, KillWaitsForTheRunningCallback) {
    GT::CTimer timer(platform::GetThreadTimers(), nullptr);
    CountingHandler handler;
    std::atomic<bool> inside{false}, done{false};
    handler.onTick = [&] {
        inside = true;
        std::this_thread::sleep_for(100ms);
        done = true;
    };
    ASSERT_TRUE(timer.Start(&handler, 1, 1, GT::CTimer::KIND_THREAD));
    for (int i = 0; i < 5000 && !inside; ++i) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(inside);
    EXPECT_TRUE(timer.Kill(&handler));
    EXPECT_TRUE(done);  // the handler may be destroyed now
    const int ticks = handler.ticks;
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(handler.ticks, ticks);
}

TEST(GetTimerTest, OneProcessWideService) { EXPECT_EQ(&GT::GetTimer(), &GT::GetTimer()); }

}  // namespace
