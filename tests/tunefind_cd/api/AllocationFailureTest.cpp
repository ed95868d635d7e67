// Every allocation of a start, a query's life, a whole lookup and a stop made to fail in turn: each ends in
// its status code, nothing leaks and nothing crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/tunefind_cd/api/ModuleSession.h"
#include "tests/tunefind_cd/api/Scripted.h"

using gbxtest::Adopt;
using gbxtest::Album;
using gbxtest::Response;
using gbxtest::SeenRequest;
using gbxtest::Track;

namespace {

// One step and what it answers: its usual code, and the codes an allocation failure inside it ends in.
struct Step {
    const char* name;
    std::function<uint32_t()> run;
    uint32_t onSuccess = 0;
    std::vector<uint32_t> onNoMemory = {0x90810002u};
};

class Scenario {
public:
    virtual ~Scenario() = default;
    virtual std::vector<Step> Steps() = 0;

    // Releases whatever the steps left, then stops the module.
    void Finish() {
        for (tmsdk_gdo_t object : held) EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(object), 0u);
        if (query) {
            EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        }
        if (started) tmsdk_tunefindcd_shutdown();
    }

protected:
    gbxtest::TmsdkSession session;
    bool started = false;
    tmsdk_tunefindcd_query_t query = nullptr;
    std::vector<tmsdk_gdo_t> held;  // objects to release at the end
    uint32_t match = 0;

    Step Start() {
        return {"initialize",
                [this] { return Mark(tmsdk_tunefindcd_initialize(session.handle), &started); },
                0,
                {0x9081000Au}};
    }
    Step Create() {
        return {"query_create", [this] {
                    return tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query);
                }};
    }
    Step Option(const char* name, const char* key, const char* value) {
        return {name, [=] { return tmsdk_tunefindcd_query_option_set(query, key, value); }};
    }
    Step Toc() {
        return {"set_toc_string", [this] { return tmsdk_tunefindcd_query_set_toc_string(query, "150 300 450 ", 0); }};
    }
    Step Release() {
        return {"query_release", [this] {
                    const uint32_t code = tmsdk_tunefindcd_query_release(query);
                    if (code == 0) query = nullptr;
                    return code;
                }};
    }
    // A child of the last object held, kept.
    Step Child(const char* name, const char* key, uint32_t ordinal) {
        return {name, [=] {
                    tmsdk_gdo_t child = nullptr;
                    const uint32_t code = tmsdk_sdkmanager_gdo_child_get(held.back(), key, ordinal, &child);
                    if (code == 0) held.push_back(child);
                    return code;
                }};
    }
    static uint32_t Mark(uint32_t code, bool* flag) {
        *flag = code == 0;
        return code;
    }
};

// A start, a query's life without a catalogue (the lookup fails as an unreachable service), and a stop.
class QueryLife : public Scenario {
public:
    std::vector<Step> Steps() override {
        return {Start(),
                Create(),
                Option("option_set link", "tmsdk_tfcd_option_enable_link", "yes"),
                Option("option_set extra", "tmsdk_tfcd_option_enable_extra", "0"),
                Option("option_set again", "TMSDK_TFCD_OPTION_ENABLE_LINK", "no"),
                {"option_get",
                 [this] {
                     const char* value = nullptr;
                     return tmsdk_tunefindcd_query_option_get(query, "tmsdk_tfcd_option_enable_link", &value);
                 }},
                Toc(),
                {"find_albums",
                 [this] {
                     tmsdk_gdo_t response = nullptr;
                     return tmsdk_tunefindcd_query_find_albums(query, &match, &response);
                 },
                 0x90810165u},
                Release()};
    }
};

// A whole lookup with link and extra answers: find, the merged album and one of its tracks, a resolve.
class WholeLookup : public Scenario {
public:
    std::vector<Step> Steps() override {
        return {Start(),
                Create(),
                Option("option_set link", "tmsdk_tfcd_option_enable_link", "yes"),
                Option("option_set extra", "tmsdk_tfcd_option_enable_extra", "yes"),
                Toc(),
                {"find_albums",
                 [this] {
                     tmsdk_gdo_t response = nullptr;
                     const uint32_t code = tmsdk_tunefindcd_query_find_albums(query, &match, &response);
                     if (code == 0) held.push_back(response);
                     return code;
                 }},
                // Reading the album's identifier fails as a bad album whatever the cause; the rest as no memory.
                {"resolve",
                 [this] {
                     tmsdk_gdo_t album = nullptr;
                     const uint32_t code = tmsdk_tunefindcd_query_resolve(query, held.front(), 2, &album);
                     if (code == 0) held.push_back(album);
                     return code;
                 },
                 0,
                 {0x90810002u, 0x908101A4u}},
                Child("album child", TMSDK_KEY_ALBUMS, 1),
                Child("track child", TMSDK_KEY_TRACKS, 2),
                {"track value",
                 [this] {
                     const char* text = nullptr;
                     return tmsdk_sdkmanager_gdo_value_get(held.back(), "tmsdk_val_lyrics", 1, &text);
                 }},
                Release()};
    }

    static tmsdk_status_t Answer(tmsdk_lookup_t, const SeenRequest& request, tmsdk_gdo_t* response) {
        *response = Response(TMSDK_RESULT_MULTIEXACT_MATCHES);
        for (const char* id : {"1", "2"}) {
            tmsdk_gdo_t album = Album(id, request.id);
            for (uint32_t number : {1u, 2u}) {
                tmsdk_gdo_t track = Track(number, request.id);
                if (request.id == "TFCD_LINK") gbxtest::Value(track, "tmsdk_val_lyrics", "words");
                Adopt(album, TMSDK_KEY_TRACKS, track);
            }
            Adopt(*response, TMSDK_KEY_ALBUMS, album);
        }
        return 0;
    }
};

// Runs the scenario with the n-th allocation failing (0: none); answers the allocations it made and the
// step that met the failure.
template <class Kind>
uint32_t RunOnce(uint32_t failAt, std::string* failedStep) {
    Kind scenario;
    tmsdk_sdkmanager_test_allocation_fail_at(failAt);
    for (const Step& step : scenario.Steps()) {
        const uint32_t before = tmsdk_sdkmanager_test_allocation_calls();
        const uint32_t code = step.run();
        const bool failedHere = failAt && before < failAt && tmsdk_sdkmanager_test_allocation_calls() >= failAt;
        if (!failedHere) {
            EXPECT_STATUS(code, step.onSuccess) << step.name;
        } else {
            EXPECT_NE(std::find(step.onNoMemory.begin(), step.onNoMemory.end(), code), step.onNoMemory.end())
                << step.name << " answered " << gbxtest::StatusText(code) << " for allocation " << failAt;
            *failedStep = step.name;
            break;  // what follows needs what this step would have made
        }
    }
    const uint32_t made = tmsdk_sdkmanager_test_allocation_calls();
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    scenario.Finish();
    return made;
}

template <class Kind>
void FailEveryAllocation(const std::vector<const char*>& allocatingSteps) {
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment data("XDG_DATA_HOME", dir.Path());
    gbxtest::ScopedEnvironment cache("XDG_CACHE_HOME", dir.File("cache"));
    gbxtest::ScopedEnvironment catalogue("TMSDK_CATALOGUE", dir.File("absent"));
    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    std::string unused;
    const uint32_t allocations = RunOnce<Kind>(0, &unused);
    ASSERT_GT(allocations, allocatingSteps.size());
    std::vector<std::string> failedSteps;
    for (uint32_t n = 1; n <= allocations; ++n) {
        std::string step;
        RunOnce<Kind>(n, &step);
        EXPECT_FALSE(step.empty()) << "allocation " << n << " was not made";
        failedSteps.push_back(step);
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks) << "allocation " << n << " in " << step;
        EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u) << "allocation " << n << " in " << step;
        EXPECT_EQ(tmsdk_sdkmanager_test_lookups_live(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u);
    }
    for (const char* step : allocatingSteps)
        EXPECT_NE(std::find(failedSteps.begin(), failedSteps.end(), step), failedSteps.end()) << step;
}

TEST(ModuleAllocationFailureTest, EveryAllocationOfAStartAQuerysLifeAndAStopCanFail) {
    FailEveryAllocation<QueryLife>(
        {"initialize", "query_create", "option_set link", "option_set extra", "option_set again", "set_toc_string"});
}

TEST(ModuleAllocationFailureTest, EveryAllocationOfAWholeLookupCanFail) {
    gbxtest::Scripted backend(WholeLookup::Answer);
    FailEveryAllocation<WholeLookup>(
        {"initialize", "query_create", "find_albums", "resolve", "album child", "track child"});
}

}  // namespace
