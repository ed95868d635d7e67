#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/tunefind_cd/api/ModuleSession.h"

using gbxtest::TmsdkSession;

namespace {

// One step of a module's life and the code it must answer when an allocation inside it fails.
struct Step {
    const char* name;
    std::function<uint32_t()> run;
    uint32_t onSuccess;
    uint32_t onNoMemory;
};

// Runs start, a query's life and stop with the n-th allocation failing (0: none). Answers the number of
// allocations made, and which step met the failure.
uint32_t RunLife(uint32_t failAt, std::string* failedStep) {
    TmsdkSession session;
    tmsdk_tunefindcd_query_t query = nullptr;
    bool started = false;
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    const char* option = nullptr;
    const std::vector<Step> steps = {
        {"initialize", [&] { return tmsdk_tunefindcd_initialize(session.handle); }, 0, 0x9081000Au},
        {"query_create",
         [&] { return tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query); }, 0,
         0x90810002u},
        {"option_set link",
         [&] { return tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_link", "yes"); }, 0,
         0x90810002u},
        {"option_set extra",
         [&] { return tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_extra", "0"); }, 0,
         0x90810002u},
        {"option_set again",
         [&] { return tmsdk_tunefindcd_query_option_set(query, "TMSDK_TFCD_OPTION_ENABLE_LINK", "no"); }, 0,
         0x90810002u},
        {"option_get",
         [&] { return tmsdk_tunefindcd_query_option_get(query, "tmsdk_tfcd_option_enable_link", &option); }, 0,
         0x90810002u},
        {"set_toc_string", [&] { return tmsdk_tunefindcd_query_set_toc_string(query, "150 300 450", 0); }, 0,
         0x90810002u},
        // Without a catalogue the lookup fails as an unreachable service does, before any album is kept.
        {"find_albums", [&] { return tmsdk_tunefindcd_query_find_albums(query, &match, &response); }, 0x90810165u,
         0x90810002u},
        {"query_release", [&] { return tmsdk_tunefindcd_query_release(query); }, 0, 0x90810002u},
    };
    tmsdk_sdkmanager_test_allocation_fail_at(failAt);
    for (const Step& step : steps) {
        const uint32_t before = tmsdk_sdkmanager_test_allocation_calls();
        const uint32_t code = step.run();
        const bool failedHere = failAt && before < failAt && tmsdk_sdkmanager_test_allocation_calls() >= failAt;
        EXPECT_STATUS(code, failedHere ? step.onNoMemory : step.onSuccess) << step.name << ", allocation " << failAt;
        if (failedHere && failedStep) *failedStep = step.name;
        if (code == step.onSuccess && std::string(step.name) == "initialize") started = true;
        if (code == step.onSuccess && std::string(step.name) == "query_release") query = nullptr;
        if (failedHere && (std::string(step.name) == "initialize" || std::string(step.name) == "query_create")) break;
    }
    const uint32_t made = tmsdk_sdkmanager_test_allocation_calls();
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    if (query) {
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    }
    if (started) tmsdk_tunefindcd_shutdown();
    return made;
}

TEST(ModuleAllocationFailureTest, EveryAllocationOfAStartAQuerysLifeAndAStopCanFail) {
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment data("XDG_DATA_HOME", dir.Path());
    gbxtest::ScopedEnvironment catalogue("TMSDK_CATALOGUE", dir.File("absent"));
    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    const uint32_t allocations = RunLife(0, nullptr);
    ASSERT_GT(allocations, 8u);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
    std::vector<std::string> failedSteps;
    for (uint32_t n = 1; n <= allocations; ++n) {
        std::string step;
        RunLife(n, &step);
        EXPECT_FALSE(step.empty()) << "allocation " << n << " was not made";
        failedSteps.push_back(step);
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks) << "allocation " << n << " in " << step;
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u);
    }
    // Every step that allocates was met by a failure.
    for (const char* step :
         {"initialize", "query_create", "option_set link", "option_set extra", "option_set again", "set_toc_string"})
        EXPECT_NE(std::find(failedSteps.begin(), failedSteps.end(), step), failedSteps.end()) << step;
}

}  // namespace
