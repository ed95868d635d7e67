#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/sdk_manager/api/ProbeObject.h"
#include "tests/support/TmsdkSession.h"

using gbxtest::TmsdkSession;

namespace {

TEST(SdkManagerClientTest, CreateChecksItsTextsAndTakesOnlyTheProxyOption) {
    tmsdk_client_t client = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_client_create("4718263", "TAG", "1", &client), TMSDK_STATUS_NOT_STARTED);
    TmsdkSession session;
    const struct {
        const char *id, *tag, *version;
        bool place;
    } bad[] = {{nullptr, "T", "1", true},
               {"", "T", "1", true},
               {"1", nullptr, "1", true},
               {"1", "T", "", true},
               {"1", "T", "1", false}};
    for (const auto& b : bad)
        EXPECT_STATUS(tmsdk_sdkmanager_client_create(b.id, b.tag, b.version, b.place ? &client : nullptr),
                      TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(tmsdk_sdkmanager_client_option_set(session.client, "tmsdk_proxy_host", ":"), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_client_option_set(session.client, "tmsdk_proxy_host", "proxy.example:8080"), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_client_option_set(session.client, "tmsdk_timeout", "10"),
                  TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(tmsdk_sdkmanager_client_option_set(session.client, "tmsdk_proxy_host", nullptr),
                  TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(
        tmsdk_sdkmanager_client_option_set(reinterpret_cast<tmsdk_client_t>(session.user), "tmsdk_proxy_host", ":"),
        TMSDK_STATUS_UNKNOWN_HANDLE);
}

TEST(SdkManagerUserTest, RegisteredUserSurvivesSerialisation) {
    TmsdkSession session;
    char* text = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_user_serialize(session.user, &text), 0u);
    ASSERT_NE(text, nullptr);
    const std::string first = text;
    EXPECT_EQ(first.rfind("tmsdk_user 1 4718263 ", 0), 0u) << first;
    ASSERT_STATUS(tmsdk_sdkmanager_string_free(text), 0u);

    tmsdk_user_t again = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_user_deserialize(first.c_str(), 0, &again), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_user_serialize(again, &text), 0u);
    EXPECT_EQ(first, text);
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(text), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_user_release(again), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_user_release(again), TMSDK_STATUS_UNKNOWN_HANDLE);

    // Two registrations are two users.
    tmsdk_user_t other = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_user_register_new(session.client, 0, &other), 0u);
    ASSERT_STATUS(tmsdk_sdkmanager_user_serialize(other, &text), 0u);
    EXPECT_NE(first, text);
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(text), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_user_release(other), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_user_register_new(session.client, 1, &other), TMSDK_STATUS_INVALID_ARGUMENT);
}

TEST(SdkManagerUserTest, ForeignTextsAreRefused) {
    TmsdkSession session;
    const char* texts[] = {"tmsdk_user 2 4718263 0123456789abcdef",       "tmsdk_user 1 4718263 0123456789abcde",
                           "tmsdk_user 1 4718263 0123456789abcdeg",       "tmsdk_user 1 4718263",
                           "tmsdk_user 1 4718263 0123456789abcdef extra", "someone else's user"};
    for (const char* text : texts) {
        tmsdk_user_t user = nullptr;
        EXPECT_STATUS(tmsdk_sdkmanager_user_deserialize(text, 0, &user), TMSDK_STATUS_NOT_UNDERSTOOD) << text;
    }
    tmsdk_user_t user = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_user_deserialize("", 0, &user), TMSDK_STATUS_INVALID_ARGUMENT);
    char notOurs[] = "text the manager never handed out";
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(notOurs), TMSDK_STATUS_UNKNOWN_HANDLE);
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(nullptr), 0u);
}

struct StatusLog {
    std::vector<uint32_t> ids;
    uint32_t abortAt = 0;
};

void RecordListStatus(void* data, uint32_t status, uint32_t, uint32_t, uint8_t* abort) {
    auto* log = static_cast<StatusLog*>(data);
    log->ids.push_back(status);
    *abort = status == log->abortAt ? 1 : 0;
}

tmsdk_list_t Genres(const TmsdkSession& session) {
    tmsdk_list_t list = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_list_retrieve("list_type_genres", "eng", "list_region_global", "list_desc_detailed",
                                                 session.client, session.user, nullptr, nullptr, &list),
                  0u);
    return list;
}

std::string SerializedList(tmsdk_list_t list) {
    char* text = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_list_serialize(list, &text), 0u);
    std::string copy = text ? text : "";
    EXPECT_STATUS(tmsdk_sdkmanager_string_free(text), 0u);
    return copy;
}

TEST(SdkManagerListTest, RetrievesTheSixListTypesWithStatusesAndAnAbort) {
    TmsdkSession session;
    for (const char* type : {"list_type_languages", "list_type_genres", "list_type_origins", "list_type_eras",
                             "list_type_artist_types", "list_type_roles"}) {
        StatusLog log;
        tmsdk_list_t list = nullptr;
        ASSERT_STATUS(tmsdk_sdkmanager_list_retrieve(type, "eng", nullptr, nullptr, session.client, session.user,
                                                     RecordListStatus, &log, &list),
                      0u)
            << type;
        EXPECT_EQ(log.ids, (std::vector<uint32_t>{1, 18}));
        EXPECT_NE(SerializedList(list).find(std::string("type=") + type), std::string::npos);
        EXPECT_STATUS(tmsdk_sdkmanager_list_release(list), 0u);
    }
    StatusLog aborting;
    aborting.abortAt = 1;
    tmsdk_list_t list = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_list_retrieve("list_type_genres", "eng", nullptr, nullptr, session.client,
                                                 session.user, RecordListStatus, &aborting, &list),
                  TMSDK_STATUS_ABORTED);
    EXPECT_EQ(list, nullptr);
    const struct {
        const char *type, *language;
        tmsdk_client_t client;
        tmsdk_user_t user;
        uint32_t expected;
    } bad[] = {
        {"list_type_moods", "eng", session.client, session.user, TMSDK_STATUS_INVALID_ARGUMENT},
        {"list_type_genres", "", session.client, session.user, TMSDK_STATUS_INVALID_ARGUMENT},
        {"list_type_genres", "eng", nullptr, session.user, TMSDK_STATUS_INVALID_ARGUMENT},
        {"list_type_genres", "eng", session.client, reinterpret_cast<tmsdk_user_t>(session.client),
         TMSDK_STATUS_UNKNOWN_HANDLE},
    };
    for (const auto& b : bad)
        EXPECT_STATUS(tmsdk_sdkmanager_list_retrieve(b.type, b.language, nullptr, nullptr, b.client, b.user, nullptr,
                                                     nullptr, &list),
                      b.expected)
            << b.type;
}

TEST(SdkManagerListTest, SerialisedListRebuildsTheSameListAndUpdatesOnlyWhenOlder) {
    TmsdkSession session;
    tmsdk_list_t list = Genres(session);
    const std::string text = SerializedList(list);
    EXPECT_EQ(text.rfind("tmsdk_list 1\ntype=list_type_genres\nlanguage=eng\n", 0), 0u);

    tmsdk_list_t rebuilt = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_list_deserialize(text.c_str(), &rebuilt), 0u);
    EXPECT_EQ(SerializedList(rebuilt), text);
    uint8_t updated = 7;
    StatusLog log;
    EXPECT_STATUS(tmsdk_sdkmanager_list_update(rebuilt, session.client, session.user, RecordListStatus, &log, &updated),
                  0u);
    EXPECT_EQ(updated, 0);
    EXPECT_EQ(log.ids, (std::vector<uint32_t>{1, 18}));

    // A cache of an older revision with other entries is brought up to date.
    const std::string old =
        "tmsdk_list 1\ntype=list_type_genres\nlanguage=eng\nregion=list_region_global\n"
        "descriptor=list_desc_detailed\nrevision=0\nentries=2\n1 Music\n2 Songs\n";
    tmsdk_list_t stale = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_list_deserialize(old.c_str(), &stale), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_list_update(stale, session.client, session.user, nullptr, nullptr, &updated), 0u);
    EXPECT_EQ(updated, 1);
    EXPECT_EQ(SerializedList(stale), text);
    EXPECT_STATUS(tmsdk_sdkmanager_list_update(stale, nullptr, session.user, nullptr, nullptr, &updated),
                  TMSDK_STATUS_INVALID_ARGUMENT);

    for (tmsdk_list_t l : {list, rebuilt, stale}) EXPECT_STATUS(tmsdk_sdkmanager_list_release(l), 0u);
}

TEST(SdkManagerListTest, ForeignListTextsAreRefused) {
    TmsdkSession session;
    const std::string head =
        "tmsdk_list 1\ntype=list_type_genres\nlanguage=eng\nregion=list_region_global\n"
        "descriptor=list_desc_detailed\nrevision=1\n";
    const std::string texts[] = {
        "tmsdk_list 2\n" + head.substr(13) + "entries=0\n",  // another version
        head,                                                // no entry count
        head + "entries=2\n1 Rock\n",                        // fewer entries than counted
        head + "entries=1\n1 Rock\n1 Pop\n",                 // more
        head + "entries=1\n2 Rock\n",                        // begins below level 1
        head + "entries=2\n1 Rock\n3 Metal\n",               // skips a level
        head + "entries=1\n4 Deep\n",                        // no fourth level
        head + "entries=1\n1 Ro\tck\n",                      // a control character in a name
        head + "entries=1\n1 \n",                            // an empty name
        head + "entries=99999999999\n",                      // a count no list reaches
        head + "entries=-1\n",
        "tmsdk_list 1\ntype=list_type_moods\nlanguage=eng\nregion=r\ndescriptor=d\nrevision=1\nentries=0\n",
    };
    for (const std::string& text : texts) {
        tmsdk_list_t list = nullptr;
        EXPECT_STATUS(tmsdk_sdkmanager_list_deserialize(text.c_str(), &list), TMSDK_STATUS_NOT_UNDERSTOOD) << text;
    }
}

TEST(SdkManagerListTest, DisplayStringsAnswerTheNamedEntryAtEachLevel) {
    TmsdkSession session;
    tmsdk_list_t list = Genres(session);
    const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
    const struct {
        const char* genre;
        const char* levels[3];  // null: not found at that level
    } rows[] = {
        {"Heavy Metal", {"Rock", "Hard Rock & Metal", "Heavy Metal"}},
        {"heavy metal", {"Rock", "Hard Rock & Metal", "Heavy Metal"}},
        {"Hard Rock & Metal", {"Rock", "Hard Rock & Metal", nullptr}},
        {"Jazz", {"Jazz", nullptr, nullptr}},
        {"J-Pop", {"World", "Asian", "J-Pop"}},
        {"Psychedelic Trance", {"Psychedelic Trance", nullptr, nullptr}},  // not listed: kept as it is
    };
    for (const auto& r : rows) {
        gbxtest::ProbeData probe;
        probe.values["tmsdk_val_genre"] = {r.genre};
        tmsdk_gdo_t object = nullptr;
        ASSERT_STATUS(gdo->create(&probe, &gbxtest::ProbeProvider(), &object), 0u);
        for (uint32_t level = 1; level <= 3; ++level) {
            const char* text = nullptr;
            const tmsdk_status_t status =
                tmsdk_sdkmanager_list_get_display_string_by_gdo(list, object, level, 2, &text);
            if (r.levels[level - 1]) {
                EXPECT_STATUS(status, 0u) << r.genre << " level " << level;
                EXPECT_STREQ(text, r.levels[level - 1]) << r.genre << " level " << level;
            } else {
                EXPECT_STATUS(status, TMSDK_STATUS_NOT_FOUND) << r.genre << " level " << level;
            }
        }
        EXPECT_STATUS(gdo->gdo_release(object), 0u);
    }
    gbxtest::ProbeData noGenre;
    tmsdk_gdo_t object = nullptr;
    ASSERT_STATUS(gdo->create(&noGenre, &gbxtest::ProbeProvider(), &object), 0u);
    const char* text = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_list_get_display_string_by_gdo(list, object, 1, 2, &text), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(tmsdk_sdkmanager_list_get_display_string_by_gdo(list, nullptr, 1, 2, &text), TMSDK_STATUS_NOT_FOUND);
    for (uint32_t level : {0u, 4u})
        EXPECT_STATUS(tmsdk_sdkmanager_list_get_display_string_by_gdo(list, object, level, 2, &text),
                      TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(tmsdk_sdkmanager_list_get_display_string_by_gdo(list, object, 1, 3, &text),
                  TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(gdo->gdo_release(object), 0u);
    EXPECT_STATUS(gdo->release(), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_list_release(list), 0u);
}

}  // namespace
