// Lookups, result objects and the status adapter against a scripted backend: the requests the module sends,
// how it merges the main, link and extra answers, and what it refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/sdk_manager/api/ProbeObject.h"
#include "tests/tunefind_cd/api/ModuleSession.h"
#include "tests/tunefind_cd/api/Scripted.h"

using gbxtest::Adopt;
using gbxtest::Album;
using gbxtest::ChildOf;
using gbxtest::Credit;
using gbxtest::ReleaseAll;
using gbxtest::Response;
using gbxtest::Scripted;
using gbxtest::SeenRequest;
using gbxtest::Track;
using gbxtest::Value;
using gbxtest::ValueOf;

namespace {

// One album of one title per request: the main answer, and the chained ones when asked.
tmsdk_status_t OneAlbumEach(tmsdk_lookup_t, const SeenRequest& request, tmsdk_gdo_t* response) {
    *response = Response(TMSDK_RESULT_SINGLE_MATCH);
    Adopt(*response, TMSDK_KEY_ALBUMS, Album("1", "From " + request.id));
    return 0;
}

class ScriptedLookupTest : public gbxtest::ModuleTest {
protected:
    // A query that asks for the link answer too, with a table of contents.
    tmsdk_tunefindcd_query_t LinkedQuery() {
        tmsdk_tunefindcd_query_t query = NewQuery();
        EXPECT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_link", "yes"), 0u);
        EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "150 300", 0), 0u);
        return query;
    }

    uint32_t Find(tmsdk_tunefindcd_query_t query, uint32_t* match, tmsdk_gdo_t* response) {
        if (tmsdk_tunefindcd_query_set_toc_string(query, "150 300 450 ", 0) != 0) return 1;
        return tmsdk_tunefindcd_query_find_albums(query, match, response);
    }
};

TEST_F(ScriptedLookupTest, RequestsFollowTheQuerysOptions) {
    Scripted backend(OneAlbumEach);
    const struct {
        const char *link, *extra;
        std::vector<std::string> ids;
    } rows[] = {
        {nullptr, nullptr, {"TFCD_1"}},
        {"1", "no", {"TFCD_1", "TFCD_LINK"}},
        {"false", "Y", {"TFCD_1", "TFCD_EXTRA"}},
        {"TRUE", "7", {"TFCD_1", "TFCD_LINK", "TFCD_EXTRA"}},
    };
    for (const auto& r : rows) {
        tmsdk_tunefindcd_query_t query = NewQuery();
        // A null value stores the key with no value, which reads as false.
        ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_link", r.link), 0u);
        ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_extra", r.extra), 0u);
        backend.seen.clear();
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr;
        ASSERT_STATUS(Find(query, &match, &response), 0u);
        std::vector<std::string> ids;
        for (const SeenRequest& seen : backend.seen) {
            ids.push_back(seen.id);
            EXPECT_EQ(seen.service, "tfcd");
            if (seen.id == "TFCD_1") {
                EXPECT_EQ(seen.type, TMSDK_LOOKUP_TYPE_ALBUM_TOC);
                EXPECT_EQ(seen.data.at(TMSDK_LOOKUP_DATA_TOC), "150 300 450");  // no space after the last number
            } else {
                EXPECT_EQ(seen.type, seen.id == "TFCD_LINK" ? TMSDK_LOOKUP_TYPE_ALBUM_LINK_CHAINED
                                                            : TMSDK_LOOKUP_TYPE_ALBUM_EXTRA_CHAINED);
                EXPECT_EQ(seen.data.at(TMSDK_LOOKUP_DATA_CHAINED_INPUT), "TFCD_1");
            }
        }
        EXPECT_EQ(ids, r.ids);
        ReleaseAll({response});
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    }
}

TEST_F(ScriptedLookupTest, AResponseCodeOutsideTheTableIsRefused) {
    Scripted backend([](tmsdk_lookup_t, const SeenRequest&, tmsdk_gdo_t* response) {
        *response = Response("tmsdk_result_maybe");
        return tmsdk_status_t{0};
    });
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 99;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(Find(query, &match, &response), 0x90810206u);
    EXPECT_EQ(match, 99u);
    EXPECT_EQ(response, nullptr);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, AResponseOfTwoAlbums) {
    Scripted backend([](tmsdk_lookup_t, const SeenRequest&, tmsdk_gdo_t* response) {
        *response = Response(TMSDK_RESULT_MULTIEXACT_MATCHES);
        Adopt(*response, TMSDK_KEY_ALBUMS, Album("1", "First"));
        Adopt(*response, TMSDK_KEY_ALBUMS, Album("2", "Second"));
        return tmsdk_status_t{0};
    });
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0, count = 0;
    tmsdk_gdo_t response = nullptr, child = nullptr;
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    EXPECT_EQ(match, 2u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
    EXPECT_EQ(count, 2u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_TRACKS, &count), 0x10810003u);
    for (uint32_t ordinal : {0u, 3u})
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(response, TMSDK_KEY_ALBUMS, ordinal, &child), 0x10810003u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(response, TMSDK_KEY_TRACKS, 1, &child), 0x10810003u);
    EXPECT_EQ(ValueOf(response, TMSDK_VAL_TITLE), "First");
    child = ChildOf(response, TMSDK_KEY_ALBUMS, 2);
    EXPECT_EQ(ValueOf(child, TMSDK_VAL_TITLE), "Second");
    ReleaseAll({child, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

// Main, link and extra answers whose children sit in different places: matched by track number and
// credit id, not by position.
tmsdk_status_t ThreeAnswers(tmsdk_lookup_t, const SeenRequest& request, tmsdk_gdo_t* response) {
    *response = Response(TMSDK_RESULT_SINGLE_MATCH);
    tmsdk_gdo_t album = Album("9", "Main title");
    if (request.id == "TFCD_1") {
        for (uint32_t number : {1u, 2u, 5u})
            Adopt(album, TMSDK_KEY_TRACKS, Track(number, "M" + std::to_string(number)));
        Adopt(album, TMSDK_KEY_CREDITS, Credit(42, "Main credit"));
    } else if (request.id == "TFCD_LINK") {
        Value(album, TMSDK_VAL_ALBUMLABEL, "Link label");
        tmsdk_gdo_t five = Track(5, "L5");
        Value(five, "tmsdk_val_lyrics", "la la");
        Adopt(album, TMSDK_KEY_TRACKS, five);
        Adopt(album, TMSDK_KEY_TRACKS, Track(1, "L1"));
        Adopt(album, TMSDK_KEY_CREDITS, Credit(7, "Someone"));
        tmsdk_gdo_t credit = Credit(42, "Link credit");
        Value(credit, "tmsdk_val_role", "Producer");
        Adopt(album, TMSDK_KEY_CREDITS, credit);
    } else {
        tmsdk_gdo_t five = Track(5, "");
        Value(five, "tmsdk_val_extra", "bonus");
        Adopt(album, TMSDK_KEY_TRACKS, five);
    }
    Adopt(*response, TMSDK_KEY_ALBUMS, album);
    return 0;
}

TEST_F(ScriptedLookupTest, MergedObjectsMatchChildrenByIdentity) {
    Scripted backend(ThreeAnswers);
    tmsdk_tunefindcd_query_t query = NewQuery();
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_link", "yes"), 0u);
    ASSERT_STATUS(tmsdk_tunefindcd_query_option_set(query, "tmsdk_tfcd_option_enable_extra", "yes"), 0u);
    uint32_t match = 0, count = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TITLE), "Main title");       // the main answer first
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_ALBUMLABEL), "Link label");  // what it lacks from the link answer
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_TRACKS, &count), 0u);
    EXPECT_EQ(count, 3u);  // the main answer's count is final

    tmsdk_gdo_t third = ChildOf(album, TMSDK_KEY_TRACKS, 3);  // track number 5
    EXPECT_EQ(ValueOf(third, TMSDK_VAL_TITLE), "M5");
    EXPECT_EQ(ValueOf(third, "tmsdk_val_lyrics"), "la la");  // the link answer's track 5, its first child
    EXPECT_EQ(ValueOf(third, "tmsdk_val_extra"), "bonus");
    const char* context = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_get_context(third, &context), 0u);
    EXPECT_STREQ(context, TMSDK_CTX_TRACK);
    tmsdk_gdo_t first = ChildOf(album, TMSDK_KEY_TRACKS, 1);
    EXPECT_EQ(ValueOf(first, TMSDK_VAL_TITLE), "M1");
    EXPECT_EQ(ValueOf(first, "tmsdk_val_lyrics"), "");

    tmsdk_gdo_t credit = ChildOf(album, TMSDK_KEY_CREDITS, 1);
    EXPECT_EQ(ValueOf(credit, "tmsdk_val_name"), "Main credit");
    EXPECT_EQ(ValueOf(credit, "tmsdk_val_role"), "Producer");  // the link answer's credit 42, its second
    tmsdk_gdo_t missing = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(album, TMSDK_KEY_TRACKS, 4, &missing), 0x10810003u);

    // Value counts answer from the first object that has the key, as values do.
    const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
    const struct {
        tmsdk_gdo_t object;
        const char* key;
        uint32_t status, count;
    } counts[] = {
        {album, TMSDK_VAL_TITLE, 0, 1},
        {album, TMSDK_VAL_ALBUMLABEL, 0, 1},
        {album, "tmsdk_val_nothing", 0x10810003u, 0},
        {third, "tmsdk_val_lyrics", 0, 1},
        {response, TMSDK_VAL_TITLE, 0, 1},
        {response, TMSDK_VAL_ALBUMLABEL, 0x10810003u, 0},
    };
    for (const auto& c : counts) {
        uint32_t n = 99;
        EXPECT_STATUS(gdo->value_count(c.object, c.key, &n), c.status) << c.key;
        if (c.status == 0) {
            EXPECT_EQ(n, c.count) << c.key;
        }
    }
    EXPECT_STATUS(gdo->release(), 0u);
    ReleaseAll({credit, first, third, album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
}

TEST_F(ScriptedLookupTest, AnAlbumWithOnlyALinkObjectAnswersFromIt) {
    Scripted backend(ThreeAnswers);
    tmsdk_tunefindcd_query_t query = LinkedQuery();
    // The main answer's album cannot be had: its slot stays empty.
    tmsdk_sdkmanager_test_fail("gdo_child_get", 1, 0x90010001u);
    uint32_t match = 0, count = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    const char* context = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_get_context(album, &context), 0u);
    EXPECT_STREQ(context, TMSDK_CTX_ALBUM);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_ALBUMLABEL), "Link label");
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_CREDITS, &count), 0u);
    EXPECT_EQ(count, 2u);
    tmsdk_gdo_t track = ChildOf(album, TMSDK_KEY_TRACKS, 2);
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TITLE), "L1");
    ReleaseAll({track, album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, AChainedAnswerThatCannotBeHadIsLeftOut) {
    Scripted backend(ThreeAnswers);
    tmsdk_tunefindcd_query_t query = LinkedQuery();
    tmsdk_sdkmanager_test_fail("response_get", 2, 0x90010001u);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TITLE), "Main title");
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_ALBUMLABEL), "");
    ReleaseAll({album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, ForwardReachesTheMainObjects) {
    const auto* gdo = session.Interface<tmsdk_gdo_interface_t>(TMSDK_INTERFACE_GDO);
    gbxtest::ProbeData probe;
    Scripted backend([&](tmsdk_lookup_t, const SeenRequest&, tmsdk_gdo_t* response) {
        *response = Response(TMSDK_RESULT_SINGLE_MATCH);
        tmsdk_gdo_t album = nullptr;
        EXPECT_STATUS(gdo->create(&probe, &gbxtest::ProbeProvider(), &album), 0u);
        Adopt(*response, TMSDK_KEY_ALBUMS, album);
        return tmsdk_status_t{0};
    });
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    EXPECT_STATUS(gdo->forward(response, 1, 2, 3), 0u);
    EXPECT_EQ(probe.forwarded[0], 1u);
    EXPECT_EQ(probe.forwarded[2], 3u);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_STATUS(gdo->forward(album, 4, 5, 6), 0u);
    EXPECT_EQ(probe.forwarded[1], 5u);
    ReleaseAll({album, response});
    EXPECT_EQ(probe.releases, 1);
    EXPECT_STATUS(gdo->release(), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

struct Call {
    uint32_t status, value1, value2;
};

struct CallbackState {
    std::vector<Call> calls;
    tmsdk_lookup_t lookup = nullptr;
    tmsdk_gdo_t earlier = nullptr;  // a response, for a resolve from inside the callback
    std::vector<uint32_t> refused;
    bool nest = false, abort = false;
};

void Remember(void* data, tmsdk_tunefindcd_query_t query, uint32_t status, uint32_t value1, uint32_t value2,
              uint8_t* abort) {
    auto* state = static_cast<CallbackState*>(data);
    state->calls.push_back({status, value1, value2});
    if (state->nest) {
        state->nest = false;
        tmsdk_sdkmanager_test_status(state->lookup, 8, 1, 0, 0, 0);  // a status inside the status
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr, album = nullptr;
        state->refused.push_back(tmsdk_tunefindcd_query_release(query));
        state->refused.push_back(tmsdk_tunefindcd_query_find_albums(query, &match, &response));
        state->refused.push_back(tmsdk_tunefindcd_query_resolve(query, state->earlier, 1, &album));
        state->refused.push_back(tmsdk_tunefindcd_query_option_set(query, "set inside", "allowed"));
    }
    if (state->abort) *abort = 1;
}

TEST_F(ScriptedLookupTest, StatusRecordsAreReadOnlyAsFarAsTheirSizeSays) {
    CallbackState state;
    tmsdk_tunefindcd_query_t query = NewQuery(Remember, &state);
    uint32_t code = 0, detail = 0;
    Scripted backend([&](tmsdk_lookup_t lookup, const SeenRequest&, tmsdk_gdo_t* response) {
        const struct {
            uint32_t size, id, values[3];
        } sent[] = {
            {8, 1, {9, 9, 9}},   {16, 8, {5, 9, 1}}, {20, 9, {5, 9, 1}},  {16, 11, {1, 2, 0}},
            {12, 12, {4, 4, 4}}, {16, 5, {1, 1, 1}}, {16, 19, {3, 3, 3}}, {8, 18, {7, 7, 7}},
        };
        for (const auto& s : sent)
            EXPECT_STATUS(tmsdk_sdkmanager_test_status(lookup, s.size, s.id, s.values[0], s.values[1], s.values[2]),
                          0u);
        // A failure record of 16 bytes carries no error information; one of 20 bytes does.
        EXPECT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(query, &code, &detail), TMSDK_STATUS_NOT_FOUND);
        EXPECT_STATUS(tmsdk_sdkmanager_test_status(lookup, 20, 19, 0x90160165u, 1, 77), 0u);
        *response = Response(TMSDK_RESULT_NO_MATCHES);
        return tmsdk_status_t{0};
    });
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    const std::vector<std::vector<uint32_t>> expected = {{1, 0, 0}, {2, 5, 9}, {2, 0, 0},
                                                         {3, 1, 2}, {3, 0, 0}, {4, 0, 0}};
    ASSERT_EQ(state.calls.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((std::vector<uint32_t>{state.calls[i].status, state.calls[i].value1, state.calls[i].value2}),
                  expected[i])
            << i;
    ASSERT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(query, &code, &detail), 0u);
    EXPECT_STATUS(code, 0x90160165u);
    EXPECT_EQ(detail, 77u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, InsideItsCallbackAQueryRefusesReleaseFindAndResolve) {
    CallbackState state;
    Scripted backend([&](tmsdk_lookup_t lookup, const SeenRequest&, tmsdk_gdo_t* response) {
        state.lookup = lookup;
        EXPECT_STATUS(tmsdk_sdkmanager_test_status(lookup, 8, 1, 0, 0, 0), 0u);
        *response = Response(TMSDK_RESULT_SINGLE_MATCH);
        Adopt(*response, TMSDK_KEY_ALBUMS, Album("1", "One"));
        return tmsdk_status_t{0};
    });
    tmsdk_tunefindcd_query_t query = NewQuery(Remember, &state);
    uint32_t match = 0;
    ASSERT_STATUS(Find(query, &match, &state.earlier), 0u);
    state.nest = true;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    // Even after a status inside the status had come and gone, the query was still in its callback.
    EXPECT_EQ(state.refused, (std::vector<uint32_t>{0x90810006u, 0x90810006u, 0x90810006u, 0u}));
    const char* value = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_option_get(query, "set inside", &value), 0u);
    EXPECT_STREQ(value, "allowed");
    ReleaseAll({response, state.earlier});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);  // once the lookup returned
}

std::vector<std::string> g_logged;
void Log(uint32_t, const char*, uint32_t package, uint32_t level, const char* text) {
    g_logged.push_back(std::to_string(package) + " " + std::to_string(level) + " " + text);
}

TEST_F(ScriptedLookupTest, AnAbortFromTheCallbackEndsTheLookupAndIsLogged) {
    CallbackState state;
    state.abort = true;
    Scripted backend([&](tmsdk_lookup_t lookup, const SeenRequest&, tmsdk_gdo_t* response) {
        EXPECT_STATUS(tmsdk_sdkmanager_test_status(lookup, 8, 1, 0, 0, 0), TMSDK_STATUS_ABORTED);
        *response = Response(TMSDK_RESULT_SINGLE_MATCH);
        return tmsdk_status_t{0};
    });
    g_logged.clear();
    tmsdk_sdkmanager_log_callback = Log;
    tmsdk_sdkmanager_package_flags[0x81] = TMSDK_PACKAGE_FLAG_LOG;
    tmsdk_tunefindcd_query_t query = NewQuery(Remember, &state);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(Find(query, &match, &response), 0x90810400u);
    EXPECT_EQ(response, nullptr);
    EXPECT_EQ(g_logged, std::vector<std::string>{"129 8 Provided callback aborted the Tunefind-CD Query request."});
    tmsdk_sdkmanager_log_callback = nullptr;
    tmsdk_sdkmanager_package_flags[0x81] = 0;
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, BackendFailuresAreCarriedOverAndLeaveTheQueryFree) {
    const struct {
        tmsdk_status_t code, expected;
    } rows[] = {{0x90150001u, 0x90810402u}, {0x90160166u, 0x90810166u}, {0x90160170u, 0x90810401u},
                {0x90140009u, 0x90810400u}, {0x90070001u, 0x90810404u}, {0x900E0001u, 0x90810405u},
                {0x90100001u, 0x90810403u}, {0x90010002u, 0x90810002u}};
    for (const auto& r : rows) {
        Scripted backend([&](tmsdk_lookup_t, const SeenRequest&, tmsdk_gdo_t*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return r.code;
        });
        tmsdk_tunefindcd_query_t query = NewQuery();
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr;
        EXPECT_STATUS(Find(query, &match, &response), r.expected);
        // The lock is free again: another thread can release the query.
        uint32_t released = 1;
        std::thread other([&] { released = tmsdk_tunefindcd_query_release(query); });
        other.join();
        EXPECT_STATUS(released, 0u);
    }
}

TEST_F(ScriptedLookupTest, ResolveSendsTheAlbumsIdentifierAndDoesNotJudgeTheAnswer) {
    Scripted backend([](tmsdk_lookup_t, const SeenRequest& request, tmsdk_gdo_t* response) {
        const bool byId = request.type == TMSDK_LOOKUP_TYPE_ALBUM_TUI;
        *response = Response(byId ? "tmsdk_result_anything" : TMSDK_RESULT_FUZZY_MATCHES);
        Adopt(*response, TMSDK_KEY_ALBUMS, Album(byId ? "full" : "7", byId ? "Full" : "Short"));
        return tmsdk_status_t{0};
    });
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr, full = nullptr;
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    EXPECT_EQ(match, 3u);
    backend.seen.clear();
    ASSERT_STATUS(tmsdk_tunefindcd_query_resolve(query, response, 1, &full), 0u);
    ASSERT_EQ(backend.seen.size(), 1u);
    EXPECT_EQ(backend.seen[0].data.at(TMSDK_LOOKUP_DATA_TUI), "7");
    EXPECT_EQ(backend.seen[0].data.at(TMSDK_LOOKUP_DATA_TUI_TAG), "tag-7");
    tmsdk_gdo_t album = ChildOf(full, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TITLE), "Full");
    ReleaseAll({album, full, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(ScriptedLookupTest, AFailedCreateOfAChildReleasesWhatItTook) {
    Scripted backend(ThreeAnswers);
    tmsdk_tunefindcd_query_t query = LinkedQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr, child = nullptr;
    tmsdk_sdkmanager_test_fail("gdo_create", 1, 0x90010002u);  // the response itself
    EXPECT_STATUS(Find(query, &match, &response), 0x90810002u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
    ASSERT_STATUS(Find(query, &match, &response), 0u);
    const uint32_t live = tmsdk_sdkmanager_test_objects_live();
    const uint32_t blocks = tmsdk_sdkmanager_test_live_blocks();
    tmsdk_sdkmanager_test_fail("gdo_create", 1, 0x90010002u);  // a child of the response
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(response, TMSDK_KEY_ALBUMS, 1, &child), 0x90810002u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), live);
    EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    tmsdk_sdkmanager_test_fail("gdo_create", 1, 0x90010002u);  // a child of a merged album
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(album, TMSDK_KEY_TRACKS, 3, &child), 0x90810002u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), live + 1);
    ReleaseAll({album, response});
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

}  // namespace
