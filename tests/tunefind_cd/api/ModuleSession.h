// A started manager (with a client and a user) and a started module, both stopped when the test ends; the
// end also checks that every block of the manager's allocator was given back.
#pragma once

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TmsdkSession.h"
#include "tunefind_cd/tmsdk_tunefind_cd.h"

namespace gbxtest {

class ModuleTest : public ::testing::Test {
protected:
    TempDir dir;
    ScopedEnvironment data{"XDG_DATA_HOME", dir.Path()};
    ScopedEnvironment cache{"XDG_CACHE_HOME", dir.File("cache")};
    ScopedEnvironment catalogue{"TMSDK_CATALOGUE", dir.File("catalogue")};
    uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    TmsdkSession session;

    void SetUp() override { ASSERT_STATUS(tmsdk_tunefindcd_initialize(session.handle), 0u); }
    void TearDown() override {
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        tmsdk_sdkmanager_test_fail(nullptr, 0, 0);
        tmsdk_tunefindcd_shutdown();
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
    }

    tmsdk_tunefindcd_query_t NewQuery(tmsdk_tunefindcd_status_fn callback = nullptr, void* data = nullptr) {
        tmsdk_tunefindcd_query_t query = nullptr;
        EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, callback, data, &query), 0u);
        return query;
    }
};

}  // namespace gbxtest
