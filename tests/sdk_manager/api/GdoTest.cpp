#include <gtest/gtest.h>

#include <vector>

#include "tests/sdk_manager/api/ProbeObject.h"
#include "tests/support/TmsdkSession.h"

using gbxtest::ProbeData;
using gbxtest::ProbeProvider;
using gbxtest::TmsdkSession;

namespace {

TEST(SdkManagerGdoTest, ProviderSlotsAreCalledAsAskedAndReleaseOnceAtTheLastReference) {
    TmsdkSession session;
    const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
    ProbeData probe;
    probe.values["tmsdk_val_title"] = {"One", "Two"};
    tmsdk_gdo_t object = nullptr;
    ASSERT_STATUS(gdo->create(&probe, &ProbeProvider(), &object), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 1u);

    const char* text = nullptr;
    uint32_t count = 0;
    tmsdk_gdo_t child = nullptr;
    EXPECT_STATUS(gdo->context_get(object, &text), 0u);
    EXPECT_STREQ(text, "tmsdk_ctx_album");
    EXPECT_STATUS(gdo->child_count(object, "tmsdk_ctx_track!", &count), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->child_get(object, "tmsdk_ctx_track!", 1, 0, &child), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->value_count(object, "tmsdk_val_title", &count), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_STATUS(gdo->value_get(object, "tmsdk_val_title", 2, &text), 0u);
    EXPECT_STREQ(text, "Two");
    EXPECT_STATUS(gdo->forward(object, 1, 2, 3), 0u);
    EXPECT_EQ(probe.forwarded[2], 3u);
    // The editor's calls reach the same slots.
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_get_context(object, &text), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_value_get(object, "tmsdk_val_title", 1, &text), 0u);
    EXPECT_STREQ(text, "One");
    EXPECT_EQ(probe.calls, (std::vector<int>{1, 2, 3, 4, 5, 7, 1, 5}));

    EXPECT_STATUS(gdo->addref(object), 0u);
    EXPECT_STATUS(gdo->gdo_release(object), 0u);
    EXPECT_EQ(probe.releases, 0);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(object), 0u);
    EXPECT_EQ(probe.releases, 1);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
    // Released: refused from the register, the probe is not asked again.
    EXPECT_STATUS(gdo->gdo_release(object), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(gdo->context_get(object, &text), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_EQ(probe.releases, 1);
    EXPECT_STATUS(gdo->release(), 0u);
}

TEST(SdkManagerGdoTest, NullObjectsAbsentKeysAndBadArguments) {
    TmsdkSession session;
    const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
    const char* text = nullptr;
    uint32_t count = 0;
    tmsdk_gdo_t child = nullptr;
    EXPECT_STATUS(gdo->gdo_release(nullptr), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(nullptr), 0u);
    EXPECT_STATUS(gdo->context_get(nullptr, &text), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->value_count(nullptr, "k", &count), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->value_get(nullptr, "k", 1, &text), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->child_count(nullptr, "k!", &count), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(nullptr, "k!", 1, &child), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->addref(nullptr), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(gdo->forward(nullptr, 0, 0, 0), TMSDK_STATUS_NOT_FOUND);

    ProbeData probe;
    tmsdk_gdo_t object = nullptr;
    ASSERT_STATUS(gdo->create(&probe, &ProbeProvider(), &object), 0u);
    EXPECT_STATUS(gdo->value_get(object, nullptr, 1, &text), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->value_get(object, "k", 1, nullptr), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->child_get(object, "k!", 1, 2, &child), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->context_get(object, nullptr), TMSDK_STATUS_INVALID_ARGUMENT);
    int notAnObject = 0;
    EXPECT_STATUS(gdo->context_get(reinterpret_cast<tmsdk_gdo_t>(&notAnObject), &text), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(gdo->gdo_release(object), 0u);

    // A provider must fill every slot the manager calls.
    tmsdk_gdo_provider_t incomplete = ProbeProvider();
    incomplete.release = nullptr;
    EXPECT_STATUS(gdo->create(&probe, &incomplete, &object), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->create(&probe, nullptr, &object), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->release(), 0u);
}

TEST(SdkManagerGdoTest, LastShutdownReleasesProviderObjectsOnce) {
    ProbeData probe;
    {
        TmsdkSession session;
        const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
        tmsdk_gdo_t object = nullptr;
        ASSERT_STATUS(gdo->create(&probe, &ProbeProvider(), &object), 0u);
        EXPECT_STATUS(gdo->release(), 0u);
    }
    EXPECT_EQ(probe.releases, 1);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
}

}  // namespace
