// The query object: creation, options, release.
#include <gtest/gtest.h>

#include "tests/tunefind_cd/api/ModuleSession.h"

namespace {

struct QueryTest : gbxtest::ModuleTest {};

TEST_F(QueryTest, CreateChecksItsPlaceClientAndUserInThatOrder) {
    tmsdk_tunefindcd_query_t query = nullptr;
    const auto other = reinterpret_cast<tmsdk_client_t>(session.user);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(nullptr, nullptr, nullptr, nullptr, nullptr), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(nullptr, session.user, nullptr, nullptr, &query), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(other, nullptr, nullptr, nullptr, &query), 0x90810010u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, nullptr, nullptr, nullptr, &query), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, reinterpret_cast<tmsdk_user_t>(session.client), nullptr,
                                                nullptr, &query),
                  0x90810010u);
    EXPECT_EQ(query, nullptr);
    // Registering with the manager fails: nothing is left behind.
    tmsdk_sdkmanager_test_fail("handle_register", 1, 0x90990001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_create(session.client, session.user, nullptr, nullptr, &query), 0x90810001u);
    EXPECT_EQ(query, nullptr);
}

TEST_F(QueryTest, OptionsAreCaseInsensitiveCopiesOwnedByTheQuery) {
    tmsdk_tunefindcd_query_t query = NewQuery();
    const char* value = "untouched";
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "tmsdk_tfcd_option_enable_link", &value), 0u);
    EXPECT_STREQ(value, "untouched");  // before the first option set
    char yes[] = "yes";
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_link", yes), 0u);
    yes[0] = 'n';
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_get(query, "TMSDK_TFCD_OPTION_ENABLE_LINK", &value), 0u);
    EXPECT_STREQ(value, "yes");
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "Tmsdk_Tfcd_Option_Enable_Link", "no"), 0u);
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_get(query, "tmsdk_tfcd_option_enable_link", &value), 0u);
    EXPECT_STREQ(value, "no");
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "bare", nullptr), 0u);
    value = "untouched";
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "bare", &value), 0u);
    EXPECT_EQ(value, nullptr);
    value = "untouched";
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "absent", &value), 0x10810003u);
    EXPECT_STREQ(value, "untouched");
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_set(query, "", "x"), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_set(query, nullptr, "x"), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "bare", nullptr), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_set(nullptr, "k", "x"), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(QueryTest, AReleasedQueryIsRefusedWithoutBeingRead) {
    tmsdk_tunefindcd_query_t query = NewQuery();
    ASSERT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    // Freed memory: the manager's records answer, the sanitizer proves nothing reads it.
    const char* value = nullptr;
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0x90810010u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "k", &value), 0x90810010u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "150 300", 0), 0x90810010u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0x90810010u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(query, nullptr, &response), 0x90810001u);
}

TEST_F(QueryTest, AQueryTheManagerWillNotLetGoOfStaysUsable) {
    tmsdk_tunefindcd_query_t query = NewQuery();
    tmsdk_sdkmanager_test_fail("handle_unregister", 1, 0x90990004u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0x90810004u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "150 300", 0), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

}  // namespace
