#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/TmsdkSession.h"
#include "tests/support/Xmcd.h"

using gbxtest::TmsdkSession;

namespace {

struct Record {
    uint32_t size, id, values[3];
};

struct Recorder {
    std::vector<Record> records;
    uint32_t abortAt = 0;
    const tmsdk_lookup_interface_t* lookups = nullptr;
    tmsdk_lookup_t lookup = nullptr;
    tmsdk_status_t releaseInside = 0;
};

void RecordStatus(void* data, const tmsdk_lookup_status_t* status, uint8_t* abort) {
    auto* r = static_cast<Recorder*>(data);
    r->records.push_back({status->size, status->id, {status->value[0], status->value[1], status->value[2]}});
    if (status->id == r->abortAt) *abort = 1;
    if (r->lookups) r->releaseInside = r->lookups->lookup_release(r->lookup);
}

// A session whose catalogue is absent, so a lookup answers as an unreachable service.
class LookupTest : public ::testing::Test {
protected:
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment data{"XDG_DATA_HOME", dir.Path()};
    gbxtest::ScopedEnvironment cache{"XDG_CACHE_HOME", dir.File("cache")};
    gbxtest::ScopedEnvironment catalogue{"TMSDK_CATALOGUE", dir.File("no-such-catalogue")};
    TmsdkSession session;
    const tmsdk_lookup_interface_t* li = session.Interface<tmsdk_lookup_interface_t>(TMSDK_INTERFACE_LOOKUP);

    void TearDown() override {
        EXPECT_STATUS(li->release(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_lookups_live(), 0u);
    }

    tmsdk_lookup_t TocLookup(Recorder* recorder) {
        tmsdk_lookup_t lookup = nullptr;
        EXPECT_STATUS(li->create(session.client, session.user, RecordStatus, recorder, &lookup), 0u);
        EXPECT_STATUS(li->request_add(lookup, "tmsdk_lookup_type_album_toc", "TFCD_1", "tfcd"), 0u);
        EXPECT_STATUS(li->data_set(lookup, "TFCD_1", "tmsdk_lookup_data_toc", "150 300 450", 1), 0u);
        return lookup;
    }
};

TEST_F(LookupTest, WithoutACatalogueTheServiceIsUnreachable) {
    Recorder recorder;
    tmsdk_lookup_t lookup = TocLookup(&recorder);
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_SERVICE_UNREACHABLE);
    ASSERT_EQ(recorder.records.size(), 3u);
    EXPECT_EQ(recorder.records[0].id, 1u);
    EXPECT_EQ(recorder.records[0].size, 8u);
    EXPECT_EQ(recorder.records[1].id, 7u);
    EXPECT_EQ(recorder.records[1].size, 16u);
    EXPECT_EQ(recorder.records[2].id, 19u);
    EXPECT_EQ(recorder.records[2].size, 20u);
    EXPECT_STATUS(recorder.records[2].values[0], TMSDK_STATUS_SERVICE_UNREACHABLE);
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(li->response_get(lookup, "TFCD_1", &response), TMSDK_STATUS_NOT_FOUND);
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_BAD_STATE);
    EXPECT_STATUS(li->lookup_release(lookup), 0u);
    EXPECT_STATUS(li->lookup_release(lookup), TMSDK_STATUS_UNKNOWN_HANDLE);
}

TEST_F(LookupTest, StatusFunctionCanAbortButNotReleaseTheRunningLookup) {
    Recorder aborting;
    aborting.abortAt = 1;
    tmsdk_lookup_t lookup = TocLookup(&aborting);
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_ABORTED);
    EXPECT_EQ(aborting.records.size(), 1u);
    EXPECT_STATUS(li->lookup_release(lookup), 0u);

    Recorder releasing;
    lookup = TocLookup(&releasing);
    releasing.lookups = li;
    releasing.lookup = lookup;
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_SERVICE_UNREACHABLE);
    EXPECT_STATUS(releasing.releaseInside, TMSDK_STATUS_BUSY);
    releasing.lookups = nullptr;
    EXPECT_STATUS(li->lookup_release(lookup), 0u);
}

TEST_F(LookupTest, RequestsAndTheirDataAreChecked) {
    tmsdk_lookup_t lookup = nullptr;
    ASSERT_STATUS(li->create(session.client, session.user, nullptr, nullptr, &lookup), 0u);
    const struct {
        const char *type, *id, *service;
        uint32_t expected;
    } requests[] = {
        {"tmsdk_lookup_type_album_toc", "TFCD_1", "tfcd", 0},
        {"tmsdk_lookup_type_album_toc", "TFCD_1", "tfcd", TMSDK_STATUS_INVALID_ARGUMENT},  // the same id again
        {"tmsdk_lookup_type_album_moods", "TFCD_2", "tfcd", TMSDK_STATUS_INVALID_ARGUMENT},
        {"tmsdk_lookup_type_album_tui", "TFCD_2", "other", TMSDK_STATUS_INVALID_ARGUMENT},
        {"tmsdk_lookup_type_album_link_chained", "TFCD_LINK", "tfcd", 0},
        {"tmsdk_lookup_type_album_extra_chained", "TFCD_EXTRA", "tfcd", 0},
    };
    for (const auto& r : requests) EXPECT_STATUS(li->request_add(lookup, r.type, r.id, r.service), r.expected) << r.id;
    const struct {
        const char *id, *key, *value;
        uint32_t copy, expected;
    } data[] = {
        {"TFCD_1", "tmsdk_lookup_data_tui", "123", 1, TMSDK_STATUS_INVALID_ARGUMENT},  // not data of a TOC request
        {"TFCD_9", "tmsdk_lookup_data_toc", "150 300", 1, TMSDK_STATUS_INVALID_ARGUMENT},
        {"TFCD_1", "tmsdk_lookup_data_toc", nullptr, 1, TMSDK_STATUS_INVALID_ARGUMENT},
        {"TFCD_1", "tmsdk_lookup_data_toc", "150 300", 2, TMSDK_STATUS_INVALID_ARGUMENT},
        {"TFCD_LINK", "tmsdk_lookup_data_chained_input_ident", "TFCD_EXTRA", 1, 0},  // names a chained request
    };
    for (const auto& d : data)
        EXPECT_STATUS(li->data_set(lookup, d.id, d.key, d.value, d.copy), d.expected) << d.id << " " << d.key;
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_INVALID_ARGUMENT);  // TFCD_1 has no TOC, the chains are wrong
    EXPECT_STATUS(li->lookup_release(lookup), 0u);

    ASSERT_STATUS(li->create(session.client, session.user, nullptr, nullptr, &lookup), 0u);
    EXPECT_STATUS(li->execute(lookup), TMSDK_STATUS_INVALID_ARGUMENT);  // no request at all
    EXPECT_STATUS(li->lookup_release(lookup), 0u);

    EXPECT_STATUS(li->create(nullptr, session.user, nullptr, nullptr, &lookup), TMSDK_STATUS_INVALID_ARGUMENT);
    EXPECT_STATUS(li->create(session.client, reinterpret_cast<tmsdk_user_t>(session.client), nullptr, nullptr, &lookup),
                  TMSDK_STATUS_UNKNOWN_HANDLE);
}

TEST_F(LookupTest, TheLookupOwnsItsResponsesFromTheCatalogue) {
    gbxtest::WriteText(dir.File("no-such-catalogue"),
                       gbxtest::XmcdRecord(gbxtest::EvenDisc("0000abcd", "Artist / Album", 2, 60)));
    tmsdk_lookup_t lookup = nullptr;
    ASSERT_STATUS(li->create(session.client, session.user, nullptr, nullptr, &lookup), 0u);
    ASSERT_STATUS(li->request_add(lookup, TMSDK_LOOKUP_TYPE_ALBUM_TOC, "TFCD_1", "tfcd"), 0u);
    ASSERT_STATUS(li->data_set(lookup, "TFCD_1", TMSDK_LOOKUP_DATA_TOC, "150 4650 20000", 0), 0u);  // not this disc
    ASSERT_STATUS(li->request_add(lookup, TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED, "TFCD_LINK", "tfcd"), 0u);
    ASSERT_STATUS(li->data_set(lookup, "TFCD_LINK", TMSDK_LOOKUP_DATA_CHAINED_INPUT, "TFCD_1", 1), 0u);
    ASSERT_STATUS(li->execute(lookup), 0u);
    for (const char* id : {"TFCD_1", "TFCD_LINK"}) {
        tmsdk_gdo_t response = nullptr;
        ASSERT_STATUS(li->response_get(lookup, id, &response), 0u);
        uint32_t count = 99;
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
        EXPECT_EQ(count, 0u);
        const char* code = nullptr;
        ASSERT_STATUS(tmsdk_sdkmanager_gdo_value_get(response, TMSDK_VAL_RESPONSE_CODE, 1, &code), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
        EXPECT_STREQ(code, TMSDK_RESULT_NO_MATCHES);  // still valid: the lookup holds the response
    }
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 2u);
    EXPECT_STATUS(li->lookup_release(lookup), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
}

TEST_F(LookupTest, NamedCallsCanBeMadeToFail) {
    tmsdk_sdkmanager_test_fail("lookup_create", 1, 0x90070001u);
    tmsdk_lookup_t lookup = nullptr;
    EXPECT_STATUS(li->create(session.client, session.user, nullptr, nullptr, &lookup), 0x90070001u);
    Recorder recorder;
    lookup = TocLookup(&recorder);
    tmsdk_sdkmanager_test_fail("execute", 1, 0x90100009u);
    EXPECT_STATUS(li->execute(lookup), 0x90100009u);
    EXPECT_TRUE(recorder.records.empty());
    EXPECT_STATUS(li->lookup_release(lookup), 0u);
}

}  // namespace
