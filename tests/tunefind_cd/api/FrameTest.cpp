#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/tunefind_cd/api/ModuleSession.h"

using gbxtest::ModuleTest;
using gbxtest::TmsdkSession;

namespace {

struct ModuleFrameTest : ModuleTest {};

TEST(ModuleVersionTest, VersionAndBuildDateAnswerAtAnyTime) {
    EXPECT_STREQ(tmsdk_tunefindcd_get_version(), "1.3.0.65");
    EXPECT_STREQ(tmsdk_tunefindcd_get_build_date(), "2009-04-22 00:04 UTC");
}

TEST(ModuleStoppedTest, EveryFunctionFromRetrieveListsOnAnswersNotStarted) {
    TmsdkSession session;
    tmsdk_tunefindcd_query_t query = nullptr;
    const char* text = nullptr;
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    const uint32_t answers[] = {
        tmsdk_tunefindcd_retrieve_lists("eng", nullptr, nullptr, session.client, session.user, nullptr, nullptr),
        tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query),
        tmsdk_tunefindcd_query_option_set(query, "k", "v"),
        tmsdk_tunefindcd_query_option_get(query, "k", &text),
        tmsdk_tunefindcd_query_set_toc_string(query, "150 300", 0),
        tmsdk_tunefindcd_query_set_toc_entry(query, 0, 150, 0),
        tmsdk_tunefindcd_query_set_gdo(query, nullptr),
        tmsdk_tunefindcd_query_find_albums(query, &match, &response),
        tmsdk_tunefindcd_query_resolve(query, nullptr, 1, &response),
        tmsdk_tunefindcd_query_release(query),
    };
    for (uint32_t answer : answers) EXPECT_STATUS(answer, 0x90810007u);
    // A shutdown with nothing to stop changes nothing, not even a platform layer someone else started.
    ASSERT_STATUS(tmsdk_sdkmanager_platform_initialize(), 0u);
    tmsdk_tunefindcd_shutdown();
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 1u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), 0u);
}

TEST(ModuleStartTest, AForeignHandleIsRefusedAndNothingStarts) {
    TmsdkSession session;
    tmsdk_sdkmanager_handle_t foreign = *session.handle;
    foreign.magic = 0x1EEEEEE1u;
    EXPECT_STATUS(tmsdk_tunefindcd_initialize(&foreign), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_initialize(nullptr), 0x90810001u);
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
}

TEST(ModuleStartTest, InitialiseTwiceShutdownOnceStaysStarted) {
    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    {
        TmsdkSession session;
        ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u);
        EXPECT_STREQ(tmsdk_sdkmanager_test_package_name(0x81), "TMSDK TF-CD");
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 5u);
        ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 5u);  // the second start only counts
        tmsdk_tunefindcd_shutdown();
        tmsdk_tunefindcd_query_t query = nullptr;
        ASSERT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query), 0u);
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        tmsdk_tunefindcd_shutdown();
        EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query),
                      0x90810007u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        tmsdk_tunefindcd_shutdown();  // one too many: nothing changes
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
    }
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
}

TEST(ModuleStartTest, AFailureAtAnyStepOfTheStartUndoesTheStepsBefore) {
    const struct {
        const char* operation;  // a named manager call to fail, or null for the allocator
        uint32_t code, expected;
    } rows[] = {
        {"platform_initialize", 0x90160001u, 0x90810401u},  // the manager's platform layer, mapped
        {"platform_initialize", 0x90990002u, 0x90810002u},
        {nullptr, 0, 0x9081000Au},  // the allocation of the core unit: a unit start failure
        {"package_register", 0x90010012u, 0x90810012u},
        {TMSDK_INTERFACE_ERRORINFO, 0x90010001u, 0x90810001u},
        {TMSDK_INTERFACE_HANDLES, 0x90070005u, 0x90810404u},
        {TMSDK_INTERFACE_LOOKUP, 0x90010001u, 0x90810001u},
        {TMSDK_INTERFACE_GDO, 0x900E0001u, 0x90810405u},  // the fourth: the first three are released
        {TMSDK_INTERFACE_LISTS, 0x90010007u, 0x90810007u},
    };
    for (const auto& r : rows) {
        const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
        TmsdkSession session;
        if (r.operation)
            tmsdk_sdkmanager_test_fail(r.operation, 1, r.code);
        else
            tmsdk_sdkmanager_test_allocation_fail_at(1);
        EXPECT_STATUS(tmsdk_tunefindcd_initialize(session.handle), r.expected) << (r.operation ? r.operation : "alloc");
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        tmsdk_sdkmanager_test_fail(nullptr, 0, 0);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u) << (r.operation ? r.operation : "alloc");
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u) << (r.operation ? r.operation : "alloc");
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
        tmsdk_tunefindcd_query_t query = nullptr;
        EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query),
                      0x90810007u);
        // And a start afterwards goes through.
        ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u);
        tmsdk_tunefindcd_shutdown();
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
    }
}

TEST(ModuleStartTest, AFailedStopStillStopsEverything) {
    TmsdkSession session;
    ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u);
    // The platform layer refuses the last of its ten stops (one for each unit that needs it): shutdown
    // reports it, and nothing else is left running.
    tmsdk_sdkmanager_test_fail("platform_shutdown", 10, 0x90990003u);
    tmsdk_tunefindcd_shutdown();
    tmsdk_sdkmanager_test_fail(nullptr, 0, 0);
    EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 1u);  // only the refused stop is left counted
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), 0u);
    tmsdk_tunefindcd_query_t query = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query), 0x90810007u);
}

TEST(ModuleStartTest, ConcurrentStartsAndStopsStartTheModuleOnceAndStopItOnce) {
    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    {
        TmsdkSession session;
        constexpr int kThreads = 6, kRounds = 20;
        std::atomic<int> waiting{kThreads}, failures{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&] {
                // All start together, so that the first starts overlap.
                for (--waiting; waiting > 0;) std::this_thread::yield();
                for (int round = 0; round < kRounds; ++round) {
                    if (tmsdk_tunefindcd_initialize(session.handle) != 0) {
                        ++failures;
                        continue;
                    }
                    tmsdk_tunefindcd_query_t query = nullptr;
                    if (tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query) != 0
                        || tmsdk_tunefindcd_query_release(query) != 0)
                        ++failures;
                    tmsdk_tunefindcd_shutdown();
                }
            });
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(failures.load(), 0);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        tmsdk_tunefindcd_query_t query = nullptr;
        EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query),
                      0x90810007u);
    }
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
}

struct HookCall {
    uint32_t line;
    std::string source;
    uint32_t code, reserved;
};
std::vector<HookCall> g_hookCalls;

uint32_t Hook(uint32_t line, const char* source, uint32_t code, uint32_t reserved) {
    g_hookCalls.push_back({line, source, code, reserved});
    return 0x12345678u;
}

uint32_t HookAnsweringZero(uint32_t, const char*, uint32_t, uint32_t) { return 0; }

TEST_F(ModuleFrameTest, FailuresAreReportedThroughTheErrorHookWhenThePackageAsksForIt) {
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    g_hookCalls.clear();
    tmsdk_sdkmanager_error_callback = Hook;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(nullptr, &match, &response), 0x90810001u);  // flag off
    EXPECT_TRUE(g_hookCalls.empty());
    tmsdk_sdkmanager_package_flags[0x81] = 1;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(nullptr, &match, &response), 0x12345678u);
    ASSERT_FALSE(g_hookCalls.empty());
    EXPECT_STATUS(g_hookCalls[0].code, 0x90810001u);
    EXPECT_GT(g_hookCalls[0].line, 0u);
    EXPECT_FALSE(g_hookCalls[0].source.empty());
    EXPECT_EQ(g_hookCalls[0].reserved, 0u);
    // A hook answering 0 does not turn the failure into success.
    tmsdk_sdkmanager_error_callback = HookAnsweringZero;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(nullptr, &match, &response), 0x90810001u);
    tmsdk_sdkmanager_error_callback = nullptr;
    tmsdk_sdkmanager_package_flags[0x81] = 0;
}

TEST(ModuleStoppedTest, OnlyFindAlbumsReportsTheStoppedModule) {
    TmsdkSession session;
    g_hookCalls.clear();
    tmsdk_sdkmanager_error_callback = Hook;
    tmsdk_sdkmanager_package_flags[0x81] = 1;
    tmsdk_tunefindcd_query_t query = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query), 0x90810007u);
    EXPECT_TRUE(g_hookCalls.empty());
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(nullptr, &match, &response), 0x12345678u);
    ASSERT_EQ(g_hookCalls.size(), 1u);
    EXPECT_STATUS(g_hookCalls[0].code, 0x90810007u);
    tmsdk_sdkmanager_error_callback = nullptr;
    tmsdk_sdkmanager_package_flags[0x81] = 0;
}

struct ListLog {
    std::vector<uint32_t> statuses;
    int abortAfter = -1;
};

void ListStatus(void* data, uint32_t status, uint32_t, uint32_t, uint8_t* abort) {
    auto* log = static_cast<ListLog*>(data);
    log->statuses.push_back(status);
    if (static_cast<int>(log->statuses.size()) == log->abortAfter) *abort = 1;
}

TEST_F(ModuleFrameTest, RetrieveListsAsksForTheSixListsAndStopsAtTheFirstFailure) {
    ListLog log;
    EXPECT_STATUS(tmsdk_tunefindcd_retrieve_lists("eng", "list_region_global", nullptr, session.client, session.user,
                                                  ListStatus, &log),
                  0u);
    EXPECT_EQ(log.statuses.size(), 12u);  // started and finished for each of the six
    ListLog aborting;
    aborting.abortAfter = 5;  // the third list's start
    EXPECT_STATUS(
        tmsdk_tunefindcd_retrieve_lists("eng", nullptr, nullptr, session.client, session.user, ListStatus, &aborting),
        0x90810400u);
    EXPECT_EQ(aborting.statuses.size(), 5u);
    const struct {
        const char* language;
        tmsdk_client_t client;
        tmsdk_user_t user;
        uint32_t expected;
    } bad[] = {
        {"", session.client, session.user, 0x90810001u},
        {nullptr, session.client, session.user, 0x90810001u},
        {"\x80"
         "eng",
         session.client, session.user, 0x90810001u},
        {"eng", nullptr, session.user, 0x90810001u},
        {"eng", session.client, nullptr, 0x90810001u},
        {"eng", reinterpret_cast<tmsdk_client_t>(session.user), session.user, 0x90810010u},
        {"eng", session.client, reinterpret_cast<tmsdk_user_t>(session.client), 0x90810010u},
    };
    for (const auto& b : bad)
        EXPECT_STATUS(tmsdk_tunefindcd_retrieve_lists(b.language, nullptr, nullptr, b.client, b.user, nullptr, nullptr),
                      b.expected);
}

}  // namespace
