#include "general_tools/TickDeadlineTable.h"

#include <gtest/gtest.h>

#include "tests/support/ManualEventLoop.h"

namespace {

TEST(TickDeadlineTableTest, KeyNeverStarted) {
    gbxtest::ManualEventLoop clock(1000);
    GT::CTickDeadlineTable table(&clock);
    EXPECT_TRUE(table.IsExpired(0));
    EXPECT_EQ(table.GetElapsed(0), 0);
    EXPECT_EQ(table.GetRemaining(0), 0);
}

TEST(TickDeadlineTableTest, WaitsAcrossTheTickCountsWrap) {
    const struct {
        uint32_t startTick;
        uint32_t duration;
        uint64_t after;
        int32_t elapsed;
        int32_t remaining;
        bool expired;
    } cases[] = {
        {1000, 5000, 4999, 4999, 1, false},
        {1000, 5000, 5000, 5000, 0, true},
        {1000, 5000, 7000, 7000, -2000, true},
        {1000, 3000, 0, 0, 3000, false},
        {0xFFFFF000u, 5000, 4095, 4095, 905, false},  // the tick count wraps during the wait
        {0xFFFFF000u, 5000, 4096, 4096, 904, false},  // ... and has wrapped
        {0xFFFFF000u, 5000, 5000, 5000, 0, true},
        {0xFFFFFFFFu, 0x7FFFFFFFu, 0x7FFFFFFEu, 0x7FFFFFFE, 1, false},  // the longest wait that reads right
    };
    for (const auto& c : cases) {
        gbxtest::ManualEventLoop clock(c.startTick);
        GT::CTickDeadlineTable table(&clock);
        table.Start(7, c.duration);
        clock.Advance(c.after);
        EXPECT_EQ(table.GetElapsed(7), c.elapsed) << c.startTick << "+" << c.after;
        EXPECT_EQ(table.GetRemaining(7), c.remaining) << c.startTick << "+" << c.after;
        EXPECT_EQ(table.IsExpired(7), c.expired) << c.startTick << "+" << c.after;
        EXPECT_TRUE(table.IsExpired(8));
    }
}

TEST(TickDeadlineTableTest, RestartingAKeyOverwritesIt) {
    gbxtest::ManualEventLoop clock(50);
    GT::CTickDeadlineTable table(&clock);
    table.Start(0, 3000);
    clock.Advance(2500);
    table.Start(0, 1000);
    EXPECT_EQ(table.GetElapsed(0), 0);
    EXPECT_EQ(table.GetRemaining(0), 1000);
    table.Start(1, 10);
    clock.Advance(10);
    EXPECT_TRUE(table.IsExpired(1));
    EXPECT_FALSE(table.IsExpired(0));
}

TEST(TickDeadlineTableTest, UsesTheInstalledClockByDefault) {
    gbxtest::ManualEventLoop clock(123);
    platform::SetClock(&clock);
    GT::CTickDeadlineTable table;
    table.Start(0, 100);
    clock.Advance(40);
    EXPECT_EQ(table.GetElapsed(0), 40);
    platform::SetClock(nullptr);
}

}  // namespace
