#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tests/support/TmsdkSession.h"

using gbxtest::TmsdkSession;

namespace {

TEST(SdkManagerLifecycleTest, InitialiseAndShutdownAreCounted) {
    const tmsdk_sdkmanager_handle_t* first = nullptr;
    const tmsdk_sdkmanager_handle_t* second = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_shutdown(), TMSDK_STATUS_NOT_STARTED);
    ASSERT_STATUS(tmsdk_sdkmanager_initialize(&first), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_initialize(&second), 0u);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->magic, 0x1EEEEEE0u);
    EXPECT_NE(first->interface_get, nullptr);
    EXPECT_NE(first->package_register, nullptr);
    EXPECT_EQ(tmsdk_sdkmanager_test_initialize_count(), 2u);
    EXPECT_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    tmsdk_client_t client = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_client_create("1", "T", "1", &client), 0u);  // still started
    EXPECT_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_shutdown(), TMSDK_STATUS_NOT_STARTED);
    EXPECT_STATUS(tmsdk_sdkmanager_initialize(nullptr), TMSDK_STATUS_INVALID_ARGUMENT);
}

TEST(SdkManagerLifecycleTest, PlatformLayerIsCountedApartAndAStopAtZeroChangesNothing) {
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), TMSDK_STATUS_NOT_STARTED);
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_initialize(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_initialize(), 0u);
    {
        TmsdkSession session;  // initialise and shutdown leave the platform count alone
    }
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 2u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_platform_shutdown(), TMSDK_STATUS_NOT_STARTED);
    EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
}

TEST(SdkManagerLifecycleTest, LastShutdownForgetsWhatCallersStillHold) {
    const tmsdk_sdkmanager_handle_t* handle = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_initialize(&handle), 0u);
    tmsdk_client_t client = nullptr;
    tmsdk_user_t user = nullptr;
    char* text = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_client_create("1", "T", "1", &client), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_user_register_new(client, 0, &user), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_user_serialize(user, &text), 0u);
    ASSERT_STATUS(handle->package_register(0x81, "TMSDK TF-CD"), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    // Refused from their records, never read (the sanitizer would catch a read of the freed memory).
    EXPECT_STATUS(tmsdk_sdkmanager_user_release(user), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(tmsdk_sdkmanager_client_release(client), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(text), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_EQ(tmsdk_sdkmanager_test_package_name(0x81), nullptr);
}

TEST(SdkManagerLifecycleTest, PackageRegistration) {
    const tmsdk_sdkmanager_handle_t* handle = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_initialize(&handle), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_shutdown(), 0u);
    EXPECT_STATUS(handle->package_register(0x81, "TMSDK TF-CD"), TMSDK_STATUS_NOT_STARTED);
    TmsdkSession session;
    const struct {
        uint32_t package;
        const char* name;
        uint32_t expected;
    } rows[] = {
        {0x81, "TMSDK TF-CD", 0},  // first registration
        {0x81, "TMSDK TF-CD", 0},  // again, as every start of the module does
        {0x81, "Another", TMSDK_STATUS_ALREADY},
        {0x82, "Other", 0},
        {0x100, "Beyond the flag words", TMSDK_STATUS_INVALID_ARGUMENT},
        {0x83, "", TMSDK_STATUS_INVALID_ARGUMENT},
        {0x83, nullptr, TMSDK_STATUS_INVALID_ARGUMENT},
    };
    for (const auto& r : rows)
        EXPECT_STATUS(session.handle->package_register(r.package, r.name), r.expected) << r.package;
    EXPECT_STREQ(tmsdk_sdkmanager_test_package_name(0x81), "TMSDK TF-CD");
    EXPECT_STREQ(tmsdk_sdkmanager_test_package_name(0x82), "Other");
}

TEST(SdkManagerLifecycleTest, InterfacesAreLookedUpByNameAndReleasedThroughEntryZero) {
    TmsdkSession session;
    const char* names[] = {TMSDK_INTERFACE_ERRORINFO, TMSDK_INTERFACE_HANDLES, TMSDK_INTERFACE_LOOKUP,
                           TMSDK_INTERFACE_GDO, TMSDK_INTERFACE_LISTS};
    const size_t sizes[] = {sizeof(tmsdk_errorinfo_interface_t), sizeof(tmsdk_handles_interface_t),
                            sizeof(tmsdk_lookup_interface_t), sizeof(tmsdk_gdo_interface_t),
                            sizeof(tmsdk_lists_interface_t)};
    std::vector<tmsdk_status_t (*)(void)> releases;
    for (size_t which = 0; which < 5; ++which) {
        const char* name = names[which];
        for (int twice = 0; twice < 2; ++twice) {
            const void* table = nullptr;
            ASSERT_STATUS(session.handle->interface_get(name, &table), 0u) << name;
            ASSERT_NE(table, nullptr);
            // Every entry of every table is set: the tables are arrays of function pointers.
            const auto* entries = static_cast<void* const*>(table);
            const size_t n = sizes[which] / sizeof(void*);
            for (size_t i = 0; i < n; ++i) EXPECT_NE(entries[i], nullptr) << name << " entry " << i;
            releases.push_back(*static_cast<tmsdk_status_t (*const*)(void)>(table));
        }
    }
    EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 10u);
    for (auto release : releases) EXPECT_STATUS(release(), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
    EXPECT_STATUS(releases.front()(), TMSDK_STATUS_NOT_STARTED);  // one release too many
    const void* table = nullptr;
    EXPECT_STATUS(session.handle->interface_get("_tmsdk_sdkmanager_other_interface", &table),
                  TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(session.handle->interface_get(names[0], nullptr), TMSDK_STATUS_INVALID_ARGUMENT);
    tmsdk_sdkmanager_test_fail(TMSDK_INTERFACE_GDO, 2, 0x90010077u);
    for (uint32_t expected : {0u, 0x90010077u, 0u}) {
        EXPECT_STATUS(session.handle->interface_get(TMSDK_INTERFACE_GDO, &table), expected);
        if (expected == 0) {
            EXPECT_STATUS((*static_cast<tmsdk_status_t (*const*)(void)>(table))(), 0u);
        }
    }
}

TEST(SdkManagerHandlesTest, ValidationAnswersFromTheRecordsWithoutReadingTheHandle) {
    TmsdkSession session;
    const auto* handles = session.Interface<tmsdk_handles_interface_t>(TMSDK_INTERFACE_HANDLES);
    auto* block = static_cast<uint32_t*>(std::malloc(16));
    *block = 0x33BAAB23u;
    EXPECT_STATUS(handles->handle_validate(block, 0x33BAAB23u), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->handle_register(block, 0x33BAAB23u), 0u);
    EXPECT_STATUS(handles->handle_register(block, 0x33BAAB23u), TMSDK_STATUS_ALREADY);
    EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 1u);
    EXPECT_STATUS(handles->handle_validate(block, 0x33BAAB23u), 0u);
    EXPECT_STATUS(handles->handle_validate(block, 0x12ABCDEFu), TMSDK_STATUS_WRONG_KIND);
    EXPECT_STATUS(handles->handle_unregister(block, 0x12ABCDEFu), TMSDK_STATUS_WRONG_KIND);
    EXPECT_STATUS(handles->handle_unregister(block, 0x33BAAB23u), 0u);
    std::free(block);
    // Freed memory: under AddressSanitizer any read of it would end the test.
    EXPECT_STATUS(handles->handle_validate(block, 0x33BAAB23u), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->handle_unregister(block, 0x33BAAB23u), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->handle_validate(nullptr, 1), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u);

    EXPECT_STATUS(handles->client_validate(session.client), 0u);
    EXPECT_STATUS(handles->user_validate(session.user), 0u);
    EXPECT_STATUS(handles->client_validate(reinterpret_cast<tmsdk_client_t>(session.user)),
                  TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->user_validate(reinterpret_cast<tmsdk_user_t>(session.client)), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->gdo_validate(reinterpret_cast<tmsdk_gdo_t>(session.client)), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(handles->client_validate(nullptr), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(handles->release(), 0u);
}

TEST(SdkManagerHandlesTest, ErrorInformationIsKeptPerHandleUntilItIsUnregistered) {
    TmsdkSession session;
    const auto* handles = session.Interface<tmsdk_handles_interface_t>(TMSDK_INTERFACE_HANDLES);
    const auto* info = session.Interface<tmsdk_errorinfo_interface_t>(TMSDK_INTERFACE_ERRORINFO);
    int query = 0;
    uint32_t code = 0, detail = 0;
    EXPECT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(&query, &code, &detail), TMSDK_STATUS_NOT_FOUND);
    ASSERT_STATUS(handles->handle_register(&query, 7), 0u);
    EXPECT_STATUS(info->set(&query, 0x90160165u, 42), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(&query, &code, &detail), 0u);
    EXPECT_STATUS(code, 0x90160165u);
    EXPECT_EQ(detail, 42u);
    EXPECT_STATUS(info->set(nullptr, 1, 2), TMSDK_STATUS_INVALID_ARGUMENT);
    ASSERT_STATUS(handles->handle_unregister(&query, 7), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(&query, &code, &detail), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(info->release(), 0u);
    EXPECT_STATUS(handles->release(), 0u);
}

TEST(SdkManagerMemoryTest, CountsLiveBlocksAndFailsTheChosenCall) {
    const uint32_t before = tmsdk_sdkmanager_test_live_blocks();
    tmsdk_sdkmanager_test_allocation_fail_at(3);
    void* a = tmsdk_sdkmanager_mem_malloc(10);
    void* b = tmsdk_sdkmanager_mem_realloc(nullptr, 0);  // a realloc of null allocates, and counts
    void* c = tmsdk_sdkmanager_mem_malloc(10);           // the third call fails
    void* d = tmsdk_sdkmanager_mem_malloc(0);            // a size of 0 is still a block of its own
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(c, nullptr);
    ASSERT_NE(d, nullptr);
    EXPECT_NE(b, d);
    EXPECT_EQ(tmsdk_sdkmanager_test_allocation_calls(), 4u);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), before + 3);

    // A failed realloc leaves the block as it was.
    tmsdk_sdkmanager_mem_memset(a, 0x5A, 10);
    tmsdk_sdkmanager_test_allocation_fail_at(1);
    EXPECT_EQ(tmsdk_sdkmanager_mem_realloc(a, 1000), nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(a)[9], 0x5A);
    tmsdk_sdkmanager_test_allocation_fail_at(0);
    void* grown = tmsdk_sdkmanager_mem_realloc(a, 1000);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(grown)[9], 0x5A);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), before + 3);

    char text[6] = "abcde";
    EXPECT_EQ(tmsdk_sdkmanager_mem_memcpy(text + 1, text, 4), text + 1);  // overlapping copies are safe
    EXPECT_STREQ(text, "aabcd");
    EXPECT_EQ(tmsdk_sdkmanager_mem_memcpy(nullptr, text, 1), nullptr);
    EXPECT_EQ(tmsdk_sdkmanager_mem_memset(nullptr, 0, 1), nullptr);

    for (void* block : {grown, b, d}) tmsdk_sdkmanager_mem_free(block);
    tmsdk_sdkmanager_mem_free(nullptr);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), before);
}

TEST(SdkManagerExportsTest, TheLibraryExportsExactlyItsHeadersNames) {
    if (!gbxtest::HaveCommand("nm")) GTEST_SKIP() << "nm is not installed";
    const auto listed = gbxtest::Run(std::string("nm -D --defined-only ") + gbxtest::Quote(TMSDK_SDKMANAGER_LIBRARY)
                                     + " | awk '{print $3}'");
    ASSERT_EQ(listed.exitCode, 0);
    std::set<std::string> exported;
    std::istringstream lines(listed.output);
    for (std::string name; std::getline(lines, name);)
        if (!name.empty()) exported.insert(name);
    const std::set<std::string> expected = {
        // the editor's
        "tmsdk_sdkmanager_initialize", "tmsdk_sdkmanager_shutdown", "tmsdk_sdkmanager_client_create",
        "tmsdk_sdkmanager_client_option_set", "tmsdk_sdkmanager_client_release", "tmsdk_sdkmanager_user_register_new",
        "tmsdk_sdkmanager_user_serialize", "tmsdk_sdkmanager_user_deserialize", "tmsdk_sdkmanager_user_release",
        "tmsdk_sdkmanager_string_free", "tmsdk_sdkmanager_list_retrieve", "tmsdk_sdkmanager_list_deserialize",
        "tmsdk_sdkmanager_list_update", "tmsdk_sdkmanager_list_serialize", "tmsdk_sdkmanager_list_release",
        "tmsdk_sdkmanager_list_get_display_string_by_gdo", "tmsdk_sdkmanager_gdo_get_context",
        "tmsdk_sdkmanager_gdo_child_count", "tmsdk_sdkmanager_gdo_child_get", "tmsdk_sdkmanager_gdo_value_get",
        "tmsdk_sdkmanager_gdo_release",
        // the module's
        "tmsdk_sdkmanager_platform_initialize", "tmsdk_sdkmanager_platform_shutdown", "tmsdk_sdkmanager_mem_malloc",
        "tmsdk_sdkmanager_mem_realloc", "tmsdk_sdkmanager_mem_free", "tmsdk_sdkmanager_mem_memcpy",
        "tmsdk_sdkmanager_mem_memset", "tmsdk_sdkmanager_package_flags", "tmsdk_sdkmanager_log_callback",
        "tmsdk_sdkmanager_error_callback"};
    std::set<std::string> unexpected;
    for (const std::string& name : exported)
        if (!expected.count(name) && name.rfind("tmsdk_sdkmanager_test_", 0) != 0) unexpected.insert(name);
    for (const std::string& name : expected) EXPECT_TRUE(exported.count(name)) << "missing " << name;
    for (const std::string& name : unexpected) ADD_FAILURE() << "exported but not in the headers: " << name;
}

}  // namespace
