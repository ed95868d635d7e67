// Lookups end to end through the exported functions, answered from a disc catalogue the test writes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "tests/support/Xmcd.h"
#include "tests/tunefind_cd/api/ModuleSession.h"
#include "tests/tunefind_cd/api/Scripted.h"

using gbxtest::ChildOf;
using gbxtest::DiscA;
using gbxtest::DiscB;
using gbxtest::DiscC;  // the same table of contents as B
using gbxtest::ValueOf;
using gbxtest::XmcdDisc;

namespace {

XmcdDisc DiscD() { return gbxtest::EvenDisc("d0000004", "Artist D / Album D", 5, 240); }

uint32_t LeadOut(const XmcdDisc& disc) { return disc.lengthSeconds * 75; }

// What the editor keeps of an album.
struct AlbumInfo {
    std::string artist, title, date, genre[3];
    std::vector<std::string> trackTitles, trackArtists;
};

// The editor's extraction of album child 1 of a response; false when something it needs is missing.
bool Extract(tmsdk_gdo_t response, tmsdk_list_t genres, AlbumInfo& info) {
    const char* context = nullptr;
    if (tmsdk_sdkmanager_gdo_get_context(response, &context) != 0 || std::string(context) != TMSDK_CTX_RESPONSE_ALBUM)
        return false;
    tmsdk_gdo_t album = nullptr;
    if (tmsdk_sdkmanager_gdo_child_get(response, TMSDK_KEY_ALBUMS, 1, &album) != 0) return false;
    info.artist = ValueOf(album, TMSDK_VAL_ARTIST);
    info.title = ValueOf(album, TMSDK_VAL_TITLE);
    info.date = ValueOf(album, TMSDK_VAL_DATE);
    for (uint32_t level = 1; level <= 3; ++level) {
        const char* text = nullptr;
        if (tmsdk_sdkmanager_list_get_display_string_by_gdo(genres, album, level, 2, &text) != 0) break;
        info.genre[level - 1] = text;
    }
    uint32_t tracks = 0;
    bool ok = tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_TRACKS, &tracks) == 0;
    for (uint32_t i = 1; ok && i <= tracks; ++i) {
        tmsdk_gdo_t track = nullptr;
        const char* text = nullptr;
        ok = tmsdk_sdkmanager_gdo_child_get(album, TMSDK_KEY_TRACKS, i, &track) == 0
             && tmsdk_sdkmanager_gdo_value_get(track, TMSDK_VAL_TRACKNUMBER, 1, &text) == 0
             && tmsdk_sdkmanager_gdo_value_get(track, TMSDK_VAL_TITLE, 1, &text) == 0;
        if (ok) {
            info.trackTitles.push_back(text);
            const std::string artist = ValueOf(track, TMSDK_VAL_ARTIST);
            info.trackArtists.push_back(artist.empty() ? info.artist : artist);
        }
        tmsdk_sdkmanager_gdo_release(track);
    }
    tmsdk_sdkmanager_gdo_release(album);
    return ok;
}

class CatalogueLookupTest : public gbxtest::ModuleTest {
protected:
    std::string folder = dir.File("catalogue");
    tmsdk_list_t genres = nullptr;

    void SetUp() override {
        ModuleTest::SetUp();
        mkdir(folder.c_str(), 0700);
        ASSERT_STATUS(
            tmsdk_sdkmanager_list_retrieve("list_type_genres", "eng", "list_region_global", "list_desc_detailed",
                                           session.client, session.user, nullptr, nullptr, &genres),
            0u);
    }
    void TearDown() override {
        EXPECT_STATUS(tmsdk_sdkmanager_list_release(genres), 0u);
        ModuleTest::TearDown();
    }

    void Write(const std::string& relative, const std::string& bytes) {
        const size_t slash = relative.rfind('/');
        if (slash != std::string::npos) mkdir((folder + "/" + relative.substr(0, slash)).c_str(), 0700);
        gbxtest::WriteText(folder + "/" + relative, bytes);
    }
    void WriteStandard() {
        Write("rock/a0000001", gbxtest::XmcdRecord(DiscA()));
        Write("jazz/b0000002", gbxtest::XmcdRecord(DiscB()));
        Write("misc/c0000003", gbxtest::XmcdRecord(DiscC()));
        Write("blues/d0000004", gbxtest::XmcdRecord(DiscD()));
    }

    uint32_t Find(tmsdk_tunefindcd_query_t query, const std::string& toc, uint32_t* match, tmsdk_gdo_t* response) {
        EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0), 0u);
        return tmsdk_tunefindcd_query_find_albums(query, match, response);
    }

    // The editor's lookup: the albums of a table of contents, resolving each when there are several.
    std::vector<AlbumInfo> LookUp(const std::string& toc, bool* ok) {
        std::vector<AlbumInfo> albums;
        *ok = false;
        tmsdk_tunefindcd_query_t query = NewQuery();
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr;
        if (Find(query, toc, &match, &response) == 0) {
            *ok = true;
            if (match == TMSDK_TUNEFINDCD_MATCH_SINGLE) {
                AlbumInfo info;
                if (Extract(response, genres, info)) albums.push_back(info);
            } else if (match != TMSDK_TUNEFINDCD_MATCH_NONE) {
                uint32_t count = 0;
                EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
                for (uint32_t n = 1; n <= count; ++n) {
                    tmsdk_gdo_t album = nullptr;
                    if (tmsdk_tunefindcd_query_resolve(query, response, n, &album) != 0) {
                        *ok = false;
                        continue;
                    }
                    AlbumInfo info;
                    if (Extract(album, genres, info)) albums.push_back(info);
                    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(album), 0u);
                }
            }
        }
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
        return albums;
    }
};

TEST_F(CatalogueLookupTest, ASingleMatchAnswersTheWholeAlbum) {
    WriteStandard();
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 99;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscA(), LeadOut(DiscA())), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    const char* context = nullptr;
    ASSERT_STATUS(tmsdk_sdkmanager_gdo_get_context(response, &context), 0u);
    EXPECT_STREQ(context, TMSDK_CTX_RESPONSE_ALBUM);
    uint32_t count = 0;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
    EXPECT_EQ(count, 1u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_TRACKS, &count), 0x10810003u);
    EXPECT_EQ(ValueOf(response, TMSDK_VAL_TITLE), "Album A");  // a response's values are its first album's

    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);  // the album outlives the response
    ASSERT_STATUS(tmsdk_sdkmanager_gdo_get_context(album, &context), 0u);
    EXPECT_STREQ(context, TMSDK_CTX_ALBUM);
    const struct {
        const char *key, *value;
    } values[] = {{TMSDK_VAL_ARTIST, "Artist A"},
                  {TMSDK_VAL_TITLE, "Album A"},
                  {TMSDK_VAL_DATE, "1999"},
                  {TMSDK_VAL_GENRE, "Heavy Metal"},
                  {TMSDK_VAL_TUI_TYPE, "tmsdk_tui_type_album"},
                  {TMSDK_VAL_TUI_ID, "a0000001"},
                  {TMSDK_VAL_TUI_TAG, "rock/a0000001"}};
    for (const auto& v : values) EXPECT_EQ(ValueOf(album, v.key), v.value) << v.key;
    const char* text = nullptr;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_value_get(album, TMSDK_VAL_ALBUMLABEL, 1, &text), 0x10810003u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_value_get(album, TMSDK_VAL_TITLE, 2, &text), 0x10810003u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_CREDITS, &count), 0x10810003u);
    const char* levels[] = {"Rock", "Hard Rock & Metal", "Heavy Metal"};
    for (uint32_t level = 1; level <= 3; ++level) {
        ASSERT_STATUS(tmsdk_sdkmanager_list_get_display_string_by_gdo(genres, album, level, 2, &text), 0u);
        EXPECT_STREQ(text, levels[level - 1]);
    }
    ASSERT_STATUS(tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_TRACKS, &count), 0u);
    EXPECT_EQ(count, 3u);
    tmsdk_gdo_t track = ChildOf(album, TMSDK_KEY_TRACKS, 2);
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TITLE), "Track 2");
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TRACKNUMBER), "2");
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(track), 0u);
    track = ChildOf(album, TMSDK_KEY_TRACK_BY_NUMBER, 3);
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TITLE), "Track 3");
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(track), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_get(album, TMSDK_KEY_TRACKS, 4, &track), 0x10810003u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(album), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
}

TEST_F(CatalogueLookupTest, SeveralExactMatchesAreShortAlbumsThatResolveInFull) {
    WriteStandard();
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 99;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscB(), LeadOut(DiscB())), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT);
    uint32_t count = 0;
    ASSERT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
    ASSERT_EQ(count, 2u);
    tmsdk_gdo_t partial = ChildOf(response, TMSDK_KEY_ALBUMS, 2);
    EXPECT_EQ(ValueOf(partial, TMSDK_VAL_TITLE), "Album C");
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(partial, TMSDK_KEY_TRACKS, &count), 0x10810003u);

    const char* titles[] = {"Album B", "Album C"};
    for (uint32_t n = 1; n <= 2; ++n) {
        tmsdk_gdo_t full = nullptr;
        ASSERT_STATUS(tmsdk_tunefindcd_query_resolve(query, response, n, &full), 0u);
        ASSERT_STATUS(tmsdk_sdkmanager_gdo_child_count(full, TMSDK_KEY_ALBUMS, &count), 0u);
        EXPECT_EQ(count, 1u);
        tmsdk_gdo_t album = ChildOf(full, TMSDK_KEY_ALBUMS, 1);
        EXPECT_EQ(ValueOf(album, TMSDK_VAL_TITLE), titles[n - 1]);
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(album, TMSDK_KEY_TRACKS, &count), 0u);
        EXPECT_EQ(count, 4u);
        gbxtest::ReleaseAll({album, full});
    }
    tmsdk_gdo_t place = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(query, response, 3, &place), 0x908101A4u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(nullptr, response, 0, &place), 0x90810001u);  // before the query
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(query, response, 1, nullptr), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(query, nullptr, 1, &place), 0x90810001u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(query, partial, 1, &place), 0x908101A3u);  // not a response
    int foreign = 0;
    EXPECT_STATUS(tmsdk_tunefindcd_query_resolve(query, reinterpret_cast<tmsdk_gdo_t>(&foreign), 1, &place),
                  0x90810010u);
    EXPECT_EQ(place, nullptr);
    gbxtest::ReleaseAll({partial, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueLookupTest, NearDiscsAreFuzzyMatchesAndNothingNearIsNoMatch) {
    WriteStandard();
    XmcdDisc shifted = DiscD();
    shifted.offsets[2] += 30;
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 99;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(shifted, LeadOut(shifted) + 20), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
    tmsdk_gdo_t full = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_resolve(query, response, 1, &full), 0u);
    tmsdk_gdo_t album = ChildOf(full, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TUI_ID), "d0000004");
    gbxtest::ReleaseAll({album, full, response});

    tmsdk_gdo_t untouched = reinterpret_cast<tmsdk_gdo_t>(this);
    response = untouched;
    match = 99;
    shifted.offsets[2] += 100;
    ASSERT_STATUS(Find(query, gbxtest::TocText(shifted, LeadOut(shifted)), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_NONE);
    EXPECT_EQ(response, untouched);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueLookupTest, AnAlbumIsLookedUpAgainByItsIdentifier) {
    WriteStandard();
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscB(), LeadOut(DiscB())), &match, &response), 0u);
    tmsdk_gdo_t second = ChildOf(response, TMSDK_KEY_ALBUMS, 2);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);

    tmsdk_tunefindcd_query_t byId = NewQuery();
    ASSERT_STATUS(tmsdk_tunefindcd_query_set_gdo(byId, second), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(second), 0u);  // the query keeps a reference of its own
    // A table of contents set afterwards does not take the source's place.
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(byId, "150 300", 0), 0u);
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(byId, &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TITLE), "Album C");
    tmsdk_gdo_t track = ChildOf(album, TMSDK_KEY_TRACKS, 1);
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TITLE), "C1");
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_gdo(byId, track), 0x908101A4u);                  // not an album
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(byId, &match, &response), 0x90810001u);  // no source, no TOC
    EXPECT_STATUS(tmsdk_tunefindcd_query_set_gdo(byId, nullptr), 0x90810001u);
    gbxtest::ReleaseAll({track, album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(byId), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueLookupTest, TheEditorsLookupFindsOneOrSeveralAlbums) {
    WriteStandard();
    bool ok = false;
    std::vector<AlbumInfo> albums = LookUp(gbxtest::TocText(DiscA(), LeadOut(DiscA())), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(albums.size(), 1u);
    EXPECT_EQ(albums[0].artist, "Artist A");
    EXPECT_EQ(albums[0].date, "1999");
    EXPECT_EQ(albums[0].genre[0], "Rock");
    EXPECT_EQ(albums[0].genre[2], "Heavy Metal");
    EXPECT_EQ(albums[0].trackTitles, (std::vector<std::string>{"Track 1", "Track 2", "Track 3"}));
    EXPECT_EQ(albums[0].trackArtists, (std::vector<std::string>{"Artist A", "Artist A", "Artist A"}));

    albums = LookUp(gbxtest::TocText(DiscC(), LeadOut(DiscC())), &ok);
    ASSERT_TRUE(ok);
    ASSERT_EQ(albums.size(), 2u);
    EXPECT_EQ(albums[0].title, "Album B");
    EXPECT_EQ(albums[1].trackTitles, (std::vector<std::string>{"C1", "C2", "C3", "C4"}));
    EXPECT_EQ(albums[1].genre[0], "");

    albums = LookUp("150 300 450 ", &ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(albums.empty());
}

TEST_F(CatalogueLookupTest, TheCatalogueMayBeOneFileOrTheDefaultFolder) {
    const std::string one = dir.File("discs.xmcd");
    gbxtest::WriteText(one, gbxtest::XmcdRecord(DiscA()) + gbxtest::XmcdRecord(DiscD()));
    {
        gbxtest::ScopedEnvironment file("TMSDK_CATALOGUE", one);
        tmsdk_tunefindcd_query_t query = NewQuery();
        uint32_t match = 0;
        tmsdk_gdo_t response = nullptr;
        ASSERT_STATUS(Find(query, gbxtest::TocText(DiscD(), LeadOut(DiscD())), &match, &response), 0u);
        tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
        EXPECT_EQ(ValueOf(album, TMSDK_VAL_TUI_TAG), "discs.xmcd#2");
        gbxtest::ReleaseAll({album, response});
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
    }
    // Without TMSDK_CATALOGUE: the stand-in's folder in the per-user data folder.
    gbxtest::ScopedEnvironment unset("TMSDK_CATALOGUE", nullptr);
    const std::string own = dir.File("tmsdk_sdkmanager");
    mkdir(own.c_str(), 0700);
    mkdir((own + "/catalogue").c_str(), 0700);
    gbxtest::WriteText(own + "/catalogue/b0000002", gbxtest::XmcdRecord(DiscB()));
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscB(), LeadOut(DiscB())), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

struct StatusLog {
    std::vector<uint32_t> statuses;
    uint32_t abortOn = 0;
};

void LogStatus(void* data, tmsdk_tunefindcd_query_t, uint32_t status, uint32_t, uint32_t, uint8_t* abort) {
    auto* log = static_cast<StatusLog*>(data);
    log->statuses.push_back(status);
    *abort = status == log->abortOn ? 1 : 0;
}

TEST_F(CatalogueLookupTest, WithoutACatalogueTheServiceIsUnreachable) {
    rmdir(folder.c_str());
    StatusLog log;
    tmsdk_tunefindcd_query_t query = NewQuery(LogStatus, &log);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(Find(query, "150 300 ", &match, &response), 0x90810165u);
    EXPECT_EQ(response, nullptr);
    EXPECT_EQ(log.statuses, (std::vector<uint32_t>{1, 2}));  // started, opening; the failure is no client status
    uint32_t code = 0, detail = 0;
    ASSERT_STATUS(tmsdk_sdkmanager_test_errorinfo_get(query, &code, &detail), 0u);
    EXPECT_STATUS(code, 0x90160165u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueLookupTest, StatusesReachTheCallbackAndItCanAbort) {
    WriteStandard();
    gbxtest::AgeTree(folder);
    StatusLog log;
    tmsdk_tunefindcd_query_t query = NewQuery(LogStatus, &log);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscA(), LeadOut(DiscA())), &match, &response), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
    // started; request sent, opening and reading the catalogue into its index; matching; answer received; ready;
    // finished.
    EXPECT_EQ(log.statuses, (std::vector<uint32_t>{1, 2, 2, 2, 2, 3, 2, 3, 4}));
    log.statuses.clear();
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
    EXPECT_EQ(log.statuses, (std::vector<uint32_t>{1, 2, 3, 2, 3, 4}));  // the index is kept: nothing is read
    log.statuses.clear();
    log.abortOn = 3;
    response = nullptr;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0x90810400u);
    EXPECT_EQ(response, nullptr);
    EXPECT_EQ(log.statuses, (std::vector<uint32_t>{1, 2, 3}));
    log.abortOn = 0;
    EXPECT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);  // still usable
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

std::vector<std::string> g_log;
void CollectLog(uint32_t, const char*, uint32_t, uint32_t, const char* text) { g_log.push_back(text); }

TEST_F(CatalogueLookupTest, HostileFilesAreLeftOutAndACatalogueOfNothingButThemIsAClearFailure) {
    std::string many = "# Track frame offsets:\n";
    for (int i = 0; i < 500; ++i) many += "#\t" + std::to_string(150 + i) + "\n";
    std::string good = gbxtest::XmcdRecord(DiscA());
    Write("bad/truncated", good.substr(0, good.find("# Disc length")));
    Write("bad/huge-counts", many + "# Disc length: 600 seconds\nTTITLE4294967296=x\n");
    Write("bad/absurd-offsets", "# Track frame offsets:\n# 150\n# 18446744073709551616\n# Disc length: 9 seconds\n");
    Write("bad/not-increasing", "# Track frame offsets:\n# 9000\n# 150\n# Disc length: 600 seconds\n");
    Write("bad/binary", std::string("\x00\xFF\xFE# Track frame offsets:\n#\x80\n", 30));
    g_log.clear();
    tmsdk_sdkmanager_log_callback = CollectLog;
    tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] = TMSDK_PACKAGE_FLAG_LOG;
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    EXPECT_STATUS(Find(query, gbxtest::TocText(DiscA(), LeadOut(DiscA())), &match, &response), 0x90810166u);
    uint32_t discs = 99, skipped = 0;
    ASSERT_STATUS(tmsdk_sdkmanager_test_catalogue_report(&discs, &skipped), 0u);
    EXPECT_EQ(discs, 0u);
    EXPECT_EQ(skipped, 5u);
    EXPECT_EQ(g_log.size(), 5u);
    tmsdk_sdkmanager_log_callback = nullptr;
    tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] = 0;
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueLookupTest, AGoodRecordAmongHostileOnesIsStillFound) {
    Write("bad/not-increasing", "# Track frame offsets:\n# 9000\n# 150\n# Disc length: 600 seconds\n");
    Write("bad/invalid-utf8", gbxtest::XmcdRecord(gbxtest::EvenDisc("e0000005", "\xFF\xFE / \xC3", 2, 60)));
    Write("rock/a0000001", gbxtest::XmcdRecord(DiscA()));
    tmsdk_tunefindcd_query_t query = NewQuery();
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(Find(query, gbxtest::TocText(DiscA(), LeadOut(DiscA())), &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
    // The record that is not UTF-8 was read as Latin-1, not lost.
    ASSERT_STATUS(Find(query, "150 4650 9150 ", &match, &response), 0u);
    ASSERT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    tmsdk_gdo_t album = ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_ARTIST), "\xC3\xBF\xC3\xBE");
    uint32_t discs = 0, skipped = 0;
    ASSERT_STATUS(tmsdk_sdkmanager_test_catalogue_report(&discs, &skipped), 0u);
    EXPECT_EQ(discs, 2u);
    EXPECT_EQ(skipped, 1u);
    gbxtest::ReleaseAll({album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

}  // namespace
