#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tmlib.h"

namespace {

// ---- The counted start and stop of any unit ---------------------------------------------------------------

int g_starts = 0, g_stops = 0;
uint32_t g_startAnswer = 0, g_stopAnswer = 0;

uint32_t CountedStart() {
    ++g_starts;
    return g_startAnswer;
}
uint32_t CountedStop() {
    ++g_stops;
    return g_stopAnswer;
}

class UnitTest : public ::testing::Test {
protected:
    tmlib_unit_t unit = {0, 0, CountedStart, CountedStop};
    void SetUp() override { g_starts = g_stops = 0, g_startAnswer = g_stopAnswer = 0; }
};

TEST_F(UnitTest, RoutinesRunOnlyForTheFirstStartAndTheLastStop) {
    EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);
    EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);
    EXPECT_EQ(unit.count, 2u);
    EXPECT_EQ(g_starts, 1);
    EXPECT_STATUS(tmlib_unit_stop(&unit), 0u);
    EXPECT_EQ(g_stops, 0);
    EXPECT_STATUS(tmlib_unit_stop(&unit), 0u);
    EXPECT_EQ(g_stops, 1);
    EXPECT_EQ(unit.count, 0u);
    EXPECT_STATUS(tmlib_unit_stop(&unit), TMLIB_UNIT_NOT_STARTED);  // nothing to undo, nothing changes
    EXPECT_EQ(g_stops, 1);
    EXPECT_EQ(unit.count, 0u);
    EXPECT_EQ(unit.spin, 0u);
}

TEST_F(UnitTest, AFailedStartAnswersTheUnitsCodeAndCountsNothing) {
    g_startAnswer = 0x90990001u;
    EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), TMLIB_UNIT_START_FAILED);
    EXPECT_STATUS(tmlib_unit_start(&unit, 0), 0x90990001u);  // the module passes its routine's code on
    EXPECT_EQ(unit.count, 0u);
    EXPECT_EQ(g_starts, 2);
    g_startAnswer = 0;
    EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);
    EXPECT_EQ(unit.count, 1u);
}

TEST_F(UnitTest, AFailedLastStopIsStillCounted) {
    ASSERT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);
    g_stopAnswer = 0x90990002u;
    EXPECT_STATUS(tmlib_unit_stop(&unit), 0x90990002u);
    EXPECT_EQ(unit.count, 0u);
    g_stopAnswer = 0;
    EXPECT_STATUS(tmlib_unit_stop(&unit), TMLIB_UNIT_NOT_STARTED);
    EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);  // and it starts afresh
    EXPECT_EQ(g_starts, 2);
}

std::atomic<int> g_running{0};
std::atomic<bool> g_overlap{false};

uint32_t SlowStart() {
    if (g_running.fetch_add(1) != 0) g_overlap = true;
    std::this_thread::yield();
    g_running.fetch_sub(1);
    ++g_starts;
    return 0;
}
uint32_t SlowStop() {
    if (g_running.fetch_add(1) != 0) g_overlap = true;
    std::this_thread::yield();
    g_running.fetch_sub(1);
    ++g_stops;
    return 0;
}

TEST(UnitConcurrencyTest, TheSpinWordSerialisesStartsAndStopsOfThreads) {
    tmlib_unit_t unit = {0, 0, SlowStart, SlowStop};
    g_starts = g_stops = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&unit] {
            for (int i = 0; i < 100; ++i) {
                EXPECT_STATUS(tmlib_unit_start(&unit, TMLIB_UNIT_START_FAILED), 0u);
                EXPECT_STATUS(tmlib_unit_stop(&unit), 0u);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_FALSE(g_overlap);
    EXPECT_EQ(unit.count, 0u);
    EXPECT_EQ(unit.spin, 0u);
    EXPECT_EQ(g_starts, g_stops);
    EXPECT_GE(g_starts, 1);
}

// ---- The support units, with a failure injected in each ------------------------------------------------

int FailingSlot(uint32_t*) { return -1; }
int FailingResolution(uint32_t*) { return -1; }

struct Counts {
    uint32_t platform, threads, strings, md5, time, core, datatypes;
    bool operator==(const Counts& o) const {
        return platform == o.platform && threads == o.threads && strings == o.strings && md5 == o.md5 && time == o.time
               && core == o.core && datatypes == o.datatypes;
    }
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    return out << "{platform " << c.platform << ", threads " << c.threads << ", strings " << c.strings << ", md5 "
               << c.md5 << ", time " << c.time << ", core " << c.core << ", datatypes " << c.datatypes << "}";
}

Counts Now() {
    return {tmsdk_sdkmanager_test_platform_count(), tmlib_unit_count(TMLIB_THREADS),
            tmlib_unit_count(TMLIB_STRINGS),        tmlib_unit_count(TMLIB_MD5),
            tmlib_unit_count(TMLIB_TIME),           tmlib_unit_count(TMLIB_CORE),
            tmlib_unit_count(TMLIB_DATATYPES)};
}

constexpr Counts kNothing = {0, 0, 0, 0, 0, 0, 0};

struct UnitUnderTest {
    const char* name;
    uint32_t (*start)(void);
    uint32_t (*stop)(void);
    Counts started;  // after one start: every need counted once for each unit that needs it
};

const UnitUnderTest kUnits[] = {
    {"threads", tmlib_threads_start, tmlib_threads_stop, {1, 1, 0, 0, 0, 0, 0}},
    {"strings", tmlib_strings_start, tmlib_strings_stop, {1, 0, 1, 0, 0, 0, 0}},
    {"md5", tmlib_md5_start, tmlib_md5_stop, {1, 0, 0, 1, 0, 0, 0}},
    {"time", tmlib_time_start, tmlib_time_stop, {0, 0, 0, 0, 1, 0, 0}},
    {"core", tmlib_core_start, tmlib_core_stop, {4, 1, 1, 1, 1, 1, 0}},
    {"datatypes", tmlib_datatypes_start, tmlib_datatypes_stop, {7, 2, 2, 1, 1, 1, 1}},
};

Counts Twice(Counts c) {
    return {c.platform * 2, c.threads * 2, c.strings * 2, c.md5 * 2, c.time * 2, c.core * 2, c.datatypes * 2};
}

TEST(SupportUnitsTest, EachUnitStartsWhatItNeedsUnderCountsAndStopsItAgain) {
    for (const UnitUnderTest& u : kUnits) {
        const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
        ASSERT_STATUS(u.start(), 0u) << u.name;
        EXPECT_EQ(Now(), u.started) << u.name;
        ASSERT_STATUS(u.start(), 0u) << u.name;
        EXPECT_EQ(Now(), Twice(u.started)) << u.name;
        EXPECT_STATUS(u.stop(), 0u) << u.name;
        EXPECT_EQ(Now(), u.started) << u.name;
        EXPECT_STATUS(u.stop(), 0u) << u.name;
        EXPECT_EQ(Now(), kNothing) << u.name;
        EXPECT_STATUS(u.stop(), TMLIB_UNIT_NOT_STARTED) << u.name;
        EXPECT_EQ(Now(), kNothing) << u.name;
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks) << u.name;
    }
    ASSERT_STATUS(tmlib_time_start(), 0u);
    EXPECT_GE(tmlib_time_ticks_per_microsecond(), 1u);
    EXPECT_STATUS(tmlib_time_stop(), 0u);
    EXPECT_EQ(tmlib_time_ticks_per_microsecond(), 0u);
}

TEST(SupportUnitsTest, AFailureInjectedInAnyUnitStopsAgainWhatHadStarted) {
    enum Injection { kPlatform, kSecondPlatform, kSlot, kClock, kAllocation };
    const struct {
        const char* unit;
        Injection injection;
        uint32_t expected;
    } rows[] = {
        {"threads", kPlatform, 0x90990001u},  // a needed start's code is passed on
        {"threads", kSlot, 10},               // the unit's own start fails: 10
        {"strings", kPlatform, 0x90990001u},
        {"md5", kPlatform, 0x90990001u},
        {"time", kClock, 10},
        {"core", kPlatform, 0x90990001u},
        {"core", kSecondPlatform, 0x90990001u},  // inside the threads unit
        {"core", kSlot, 10},
        {"core", kClock, 10},
        {"core", kAllocation, 10},  // the global critical section
        {"datatypes", kSecondPlatform, 0x90990001u},
        {"datatypes", kSlot, 10},
        {"datatypes", kAllocation, 10},
    };
    for (const auto& r : rows) {
        const UnitUnderTest* u = nullptr;
        for (const auto& candidate : kUnits)
            if (std::string(candidate.name) == r.unit) u = &candidate;
        ASSERT_NE(u, nullptr);
        const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
        switch (r.injection) {
            case kPlatform:
                tmsdk_sdkmanager_test_fail("platform_initialize", 1, 0x90990001u);
                break;
            case kSecondPlatform:
                tmsdk_sdkmanager_test_fail("platform_initialize", 2, 0x90990001u);
                break;
            case kSlot:
                tmlib_threads_set_slot_create(FailingSlot);
                break;
            case kClock:
                tmlib_time_set_resolution(FailingResolution);
                break;
            case kAllocation:
                tmsdk_sdkmanager_test_allocation_fail_at(1);
                break;
        }
        EXPECT_STATUS(u->start(), r.expected) << r.unit << " injection " << r.injection;
        EXPECT_EQ(Now(), kNothing) << r.unit << " injection " << r.injection;
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks) << r.unit;
        tmsdk_sdkmanager_test_fail(nullptr, 0, 0);
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        tmlib_threads_set_slot_create(nullptr);
        tmlib_time_set_resolution(nullptr);
        // Nothing is left half-started: the unit starts and stops cleanly afterwards.
        EXPECT_STATUS(u->start(), 0u) << r.unit;
        EXPECT_STATUS(u->stop(), 0u) << r.unit;
        EXPECT_EQ(Now(), kNothing) << r.unit;
    }
}

}  // namespace
