// Disc lookups through the SDK manager and the CD-recognition module as shared libraries, answered from a
// disc catalogue the test writes; the spy (SdkSpy.h) watches and fails the editor's calls into them.
#include "app/shell/AppPaths.h"
#include "app/shell/Tunemark.h"
#include "general_tools/Profile.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/app/shell/SdkSpy.h"
#include "tests/support/Xmcd.h"
#include "tests/tunefind_cd/api/Scripted.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using gbxtest::DiscA;
using gbxtest::DiscB;
using gbxtest::DiscC;
using gbxtest::XmcdDisc;
using shelltest::SdkSpy;

const char kServerUnreachable[] = "Could not connect to the server to obtain CD information.";
constexpr tmsdk_status_t kFailure = 0x90010002u;

class CRecordingDisplay : public ILookUpDisplay {
public:
    void ShowLogo(bool show) override { shown.push_back(show); }
    std::vector<bool> shown;
};

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// "tmsdk_user 1 4718263 " and 16 lower-case hexadecimal digits: what the manager writes for a user.
bool IsStoredUser(const std::string& text) {
    const std::string head = "tmsdk_user 1 4718263 ";
    if (text.size() != head.size() + 16 || text.compare(0, head.size(), head) != 0) return false;
    return text.find_first_not_of("0123456789abcdef", head.size()) == std::string::npos;
}

// The serialised list with its revision line set to 0.
std::string WithRevisionZero(const std::string& list) {
    const size_t start = list.find("\nrevision=");
    if (start == std::string::npos) return list;
    const size_t end = list.find('\n', start + 1);
    return list.substr(0, start) + "\nrevision=0" + list.substr(end);
}

uint32_t LeadOut(const XmcdDisc& disc) { return disc.lengthSeconds * 75; }

// The drive's table of contents for these track starts and this lead-out.
GT::CCdToc TocOf(const std::vector<uint32_t>& starts, uint32_t leadOut) {
    GT::CCdToc toc;
    for (uint32_t start : starts) toc.Add(GT::CCdTocEntry(static_cast<int32_t>(start), 0, 0, 0, 0));
    toc.Add(GT::CCdTocEntry(static_cast<int32_t>(leadOut), 0, 0, 1, 0));
    return toc;
}
GT::CCdToc TocOf(const XmcdDisc& disc) { return TocOf(disc.offsets, LeadOut(disc)); }

// E has the table of contents of B and C.
XmcdDisc DiscE() { return gbxtest::EvenDisc("e0000005", "Artist E / Album E", 4, 180); }
XmcdDisc Compilation() {
    XmcdDisc disc = gbxtest::EvenDisc("f0000006", "Various / Hits", 2, 150);
    disc.tracks = {"Singer X / Song X", "Song Y"};
    return disc;
}
XmcdDisc Unknown() { return gbxtest::EvenDisc("", "", 6, 123); }

std::vector<std::string> Titles(const std::vector<CAlbumInfo>& albums) {
    std::vector<std::string> titles;
    for (const CAlbumInfo& album : albums) titles.push_back(album.title);
    return titles;
}

std::vector<std::string> TrackTitles(const CAlbumInfo& album) {
    std::vector<std::string> titles;
    for (const CTrackInfo& track : album.tracks) titles.push_back(track.title);
    return titles;
}

std::vector<std::string> TrackArtists(const CAlbumInfo& album) {
    std::vector<std::string> artists;
    for (const CTrackInfo& track : album.tracks) artists.push_back(track.artist);
    return artists;
}

class TunemarkTest : public ::testing::Test {
protected:
    void SetUp() override {
        spy.Reset();
        CAppPaths::GetInstance().SetUpFolders();
        std::filesystem::create_directories(catalogue);
        blocks = tmsdk_sdkmanager_test_live_blocks();
    }
    void TearDown() override {
        spy.Reset();
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        tmsdk_sdkmanager_test_fail(nullptr, 0, 0);
        // Both libraries are stopped and gave everything back.
        EXPECT_EQ(tmsdk_sdkmanager_test_initialize_count(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u);
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks);
    }

    void Write(const std::string& relative, const XmcdDisc& disc) {
        const std::filesystem::path path = catalogue + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        gbxtest::WriteText(path.string(), gbxtest::XmcdRecord(disc));
    }

    struct Outcome {
        bool started = false;
        bool found = false;
        std::vector<CAlbumInfo> albums;
        std::vector<bool> logo;
        uint32_t objectsLeft = 0;  // result objects and lookups still alive before the shut-down
        uint32_t lookupsLeft = 0;
    };
    // One lookup as the ripping dialog makes it: a client on the stack, started, asked once, destroyed.
    Outcome LookUp(const GT::CCdToc& toc) {
        Outcome outcome;
        CRecordingDisplay display;
        {
            CTunemark tunemark;
            outcome.started = tunemark.Initialize(CSdkParameters());
            if (outcome.started) outcome.found = tunemark.LookUpToc(toc, outcome.albums, &display);
            outcome.objectsLeft = tmsdk_sdkmanager_test_objects_live();
            outcome.lookupsLeft = tmsdk_sdkmanager_test_lookups_live();
        }
        outcome.logo = display.shown;
        return outcome;
    }

    std::vector<std::string> Messages() const { return environment.textDialog.Texts(); }
    std::string GenreCache() const { return CAppPaths::GetInstance().GetPath(CAppPaths::USER_DATA) + "genre_list.txt"; }

    cardtest::CCardEnvironment environment;
    std::string catalogue = environment.Dir().File("catalogue");
    gbxtest::ScopedEnvironment catalogueVariable{"TMSDK_CATALOGUE", catalogue};
    SdkSpy& spy = SdkSpy::Get();
    uint32_t blocks = 0;
};

TEST_F(TunemarkTest, ASingleMatchFillsTheAlbumWithItsTracksAndGenres) {
    Write("rock/a0000001", DiscA());
    Write("misc/f0000006", Compilation());
    const Outcome a = LookUp(TocOf(DiscA()));
    ASSERT_TRUE(a.started);
    ASSERT_TRUE(a.found);
    ASSERT_EQ(a.albums.size(), 1u);
    const CAlbumInfo& album = a.albums[0];
    EXPECT_EQ(album.title, "Album A");
    EXPECT_EQ(album.artist, "Artist A");
    EXPECT_EQ(album.date, "1999");
    EXPECT_EQ(album.label, "");
    // The genre list's display strings of the record's genre, from the top level down.
    EXPECT_EQ(album.genre1, "Rock");
    EXPECT_EQ(album.genre2, "Hard Rock & Metal");
    EXPECT_EQ(album.genre3, "Heavy Metal");
    EXPECT_EQ(TrackTitles(album), (std::vector<std::string>{"Track 1", "Track 2", "Track 3"}));
    // Tracks without an artist of their own take the album's.
    EXPECT_EQ(TrackArtists(album), (std::vector<std::string>{"Artist A", "Artist A", "Artist A"}));
    for (const CTrackInfo& track : album.tracks) EXPECT_EQ(track.length, 0);
    EXPECT_EQ(a.logo, std::vector<bool>{true});
    EXPECT_EQ(a.objectsLeft, 0u);
    EXPECT_EQ(a.lookupsLeft, 0u);
    EXPECT_TRUE(Messages().empty());

    const Outcome hits = LookUp(TocOf(Compilation()));
    ASSERT_EQ(hits.albums.size(), 1u);
    EXPECT_EQ(TrackTitles(hits.albums[0]), (std::vector<std::string>{"Song X", "Song Y"}));
    EXPECT_EQ(TrackArtists(hits.albums[0]), (std::vector<std::string>{"Singer X", "Various"}));
}

TEST_F(TunemarkTest, SeveralExactMatchesGiveEveryAlbumInFullInTheServicesOrder) {
    Write("rock/a0000001", DiscA());
    Write("jazz/b0000002", DiscB());
    Write("misc/c0000003", DiscC());
    const Outcome o = LookUp(TocOf(DiscB()));
    ASSERT_TRUE(o.found);
    ASSERT_EQ(Titles(o.albums), (std::vector<std::string>{"Album B", "Album C"}));
    EXPECT_EQ(TrackTitles(o.albums[1]), (std::vector<std::string>{"C1", "C2", "C3", "C4"}));
    EXPECT_EQ(TrackArtists(o.albums[0]), std::vector<std::string>(4, "Artist B"));
    EXPECT_EQ(spy.Count("query_resolve"), 2);
    EXPECT_EQ(o.logo, std::vector<bool>{true});
    EXPECT_EQ(o.objectsLeft, 0u);

    // What the chooser lists.
    FillAlbumTitleList(o.albums);
    EXPECT_EQ(GetAlbumTitleList(), (std::vector<std::string>{"Album B", "Album C"}));
}

TEST_F(TunemarkTest, AFuzzyMatchGivesTheNearestAlbumFirst) {
    XmcdDisc near = gbxtest::EvenDisc("d0000004", "Artist D / Near", 5, 240);
    XmcdDisc far = near;
    far.discId = "d0000014";
    far.dtitle = "Artist D / Far";
    for (uint32_t& offset : near.offsets) offset += 10;
    for (uint32_t& offset : far.offsets) offset += 40;
    Write("blues/d0000014", far);
    Write("blues/d0000004", near);
    const XmcdDisc asked = gbxtest::EvenDisc("", "", 5, 240);  // no record starts exactly here
    const Outcome o = LookUp(TocOf(asked));
    ASSERT_TRUE(o.found);
    ASSERT_EQ(Titles(o.albums), (std::vector<std::string>{"Near", "Far"}));
    EXPECT_EQ(o.albums[0].tracks.size(), 5u);
    EXPECT_EQ(o.objectsLeft, 0u);
}

TEST_F(TunemarkTest, ARecordWithoutTrackTitlesLeavesTheMadeUpNames) {
    XmcdDisc untitled = gbxtest::EvenDisc("a000000b", "Artist U / Untitled", 3, 200);
    untitled.tracks.clear();  // no TTITLE lines: the tracks come without titles, not with empty ones
    Write("rock/a000000b", untitled);
    const Outcome o = LookUp(TocOf(untitled));
    EXPECT_TRUE(o.found);
    EXPECT_TRUE(o.albums.empty());  // no album to take: the ripping dialog keeps "Track01" and on
    EXPECT_EQ(o.objectsLeft, 0u);
}

TEST_F(TunemarkTest, ARecordWithoutAnAlbumTitleKeepsTheMadeUpOne) {
    XmcdDisc untitled = gbxtest::EvenDisc("a000000c", "", 3, 200);  // an empty DTITLE: no title
    Write("rock/a000000c", untitled);
    GetCurrentAlbum().title = "20261211 050000";
    const Outcome o = LookUp(TocOf(untitled));
    GetCurrentAlbum().Clear();
    ASSERT_EQ(o.albums.size(), 1u);
    EXPECT_EQ(o.albums[0].title, "20261211 050000");
    ASSERT_EQ(o.albums[0].tracks.size(), 3u);
}

TEST_F(TunemarkTest, NoMatchFindsNothingAndSucceeds) {
    Write("rock/a0000001", DiscA());
    const Outcome o = LookUp(TocOf(Unknown()));
    EXPECT_TRUE(o.found);
    EXPECT_TRUE(o.albums.empty());
    EXPECT_EQ(o.logo, std::vector<bool>{true});  // the service did answer
    EXPECT_EQ(spy.Count("query_resolve"), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(o.objectsLeft, 0u);
}

TEST_F(TunemarkTest, AnUnreachableServiceSaysSoOnceAndFindsNothing) {
    std::filesystem::remove_all(catalogue);
    const Outcome o = LookUp(TocOf(DiscA()));
    EXPECT_TRUE(o.started);  // users and lists need no catalogue
    EXPECT_FALSE(o.found);
    EXPECT_TRUE(o.albums.empty());
    EXPECT_TRUE(o.logo.empty());
    EXPECT_EQ(Messages(), std::vector<std::string>{kServerUnreachable});
    EXPECT_EQ(o.objectsLeft, 0u);
    EXPECT_EQ(o.lookupsLeft, 0u);
}

TEST_F(TunemarkTest, AFailedResolveDropsTheAlbumsAndReleasesEveryResponse) {
    Write("jazz/b0000002", DiscB());
    Write("misc/c0000003", DiscC());
    Write("misc/e0000005", DiscE());
    spy.Fail("query_resolve", 2, 0x90810002u);
    const Outcome o = LookUp(TocOf(DiscB()));
    EXPECT_FALSE(o.found);
    EXPECT_TRUE(o.albums.empty());
    EXPECT_EQ(spy.Count("query_resolve"), 3);  // the others were still asked and released
    EXPECT_EQ(o.objectsLeft, 0u);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TunemarkTest, StartUpFailuresStopOnlyWhatStartedModuleBeforeManager) {
    struct Case {
        const char* name;
        const char* failing;  // null: nothing fails
        bool managerStarted;
        bool moduleStarted;
        bool message;
    } cases[] = {
        {"manager", "sdkmanager_initialize", false, false, true},
        {"module", "tunefindcd_initialize", true, false, false},
        {"client", "client_create", true, true, false},
        {"registration", "user_register_new", true, true, true},
        {"genre list", "list_retrieve", true, true, false},
        {"nothing", nullptr, true, true, false},
    };
    for (const Case& c : cases) {
        GT::GetProfile().WriteString("Tmnet/User", "");
        std::filesystem::remove(GenreCache());
        environment.textDialog.shown.clear();
        spy.Reset();
        if (c.failing) spy.Fail(c.failing, 1, kFailure);
        {
            CTunemark tunemark;
            EXPECT_EQ(tunemark.Initialize(CSdkParameters()), c.failing == nullptr) << c.name;
            EXPECT_EQ(tunemark.IsReady(), c.failing == nullptr) << c.name;
        }
        EXPECT_EQ(spy.Count("sdkmanager_shutdown"), c.managerStarted ? 1 : 0) << c.name;
        EXPECT_EQ(spy.Count("tunefindcd_shutdown"), c.moduleStarted ? 1 : 0) << c.name;
        if (c.moduleStarted) {
            const std::vector<std::string> last(spy.calls.end() - 2, spy.calls.end());
            EXPECT_EQ(last, (std::vector<std::string>{"tunefindcd_shutdown", "sdkmanager_shutdown"})) << c.name;
        }
        EXPECT_EQ(tmsdk_sdkmanager_test_initialize_count(), 0u) << c.name;
        EXPECT_EQ(tmsdk_sdkmanager_test_platform_count(), 0u) << c.name;
        EXPECT_EQ(Messages(), c.message ? std::vector<std::string>{kServerUnreachable} : std::vector<std::string>{})
            << c.name;
    }
}

TEST_F(TunemarkTest, TheProxyIsSetOnlyWhenItsUseIsOn) {
    struct Case {
        int use;
        const char* server;
        const char* port;
        std::vector<std::string> set;
    } cases[] = {
        {0, "proxy.example", "8080", {}},
        {1, "proxy.example", "8080", {"proxy.example:8080"}},
        {1, "", "", {":"}},
        {1, "10.0.0.1", "80a", {"10.0.0.1:80a"}},
    };
    Write("rock/a0000001", DiscA());
    for (const Case& c : cases) {
        GT::GetProfile().WriteInt("Tmnet/ProxyUse", c.use);
        GT::GetProfile().WriteString("Tmnet/ProxyServer", c.server);
        GT::GetProfile().WriteString("Tmnet/ProxyPort", c.port);
        spy.Reset();
        const Outcome o = LookUp(TocOf(DiscA()));
        EXPECT_TRUE(o.found) << c.server;
        EXPECT_EQ(spy.proxies, c.set) << c.server;
    }
    // A proxy that cannot be set fails the start-up even though a new user is registered after it.
    GT::GetProfile().WriteString("Tmnet/User", "");
    spy.Reset();
    spy.Fail("client_option_set", 1, kFailure);
    EXPECT_FALSE(LookUp(TocOf(DiscA())).started);
    EXPECT_EQ(spy.Count("user_register_new"), 1);
}

TEST_F(TunemarkTest, TheUserIsRegisteredOnceAndRebuiltFromItsStoredText) {
    const GT::CCdToc toc = TocOf(Unknown());
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("user_register_new"), 1);
    EXPECT_TRUE(spy.deserialized.empty());
    const std::string stored = GT::GetProfile().GetString("Tmnet/User", "");
    EXPECT_TRUE(IsStoredUser(stored)) << stored;

    spy.Reset();
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("user_register_new"), 0);
    EXPECT_EQ(spy.deserialized, std::vector<std::string>{stored});
    EXPECT_EQ(GT::GetProfile().GetString("Tmnet/User", ""), stored);

    // A stored text the manager does not understand is replaced by a new registration.
    GT::GetProfile().WriteString("Tmnet/User", "not a user");
    spy.Reset();
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("user_register_new"), 1);
    const std::string replaced = GT::GetProfile().GetString("Tmnet/User", "");
    EXPECT_TRUE(IsStoredUser(replaced)) << replaced;
    EXPECT_NE(replaced, stored);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(TunemarkTest, TheGenreListIsCachedAndRewrittenOnlyWhenTheServiceHasANewerOne) {
    const GT::CCdToc toc = TocOf(Unknown());
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("list_retrieve"), 1);
    const std::string cached = ReadText(GenreCache());
    EXPECT_EQ(cached.rfind("tmsdk_list 1\n", 0), 0u) << cached.substr(0, 40);
    EXPECT_NE(cached.find("type=list_type_genres\n"), std::string::npos);
    EXPECT_EQ(cached.find('\0'), std::string::npos);  // the text's bytes, no terminator
    struct stat before {};
    ASSERT_EQ(stat(GenreCache().c_str(), &before), 0);

    // Current: brought up to date from the cache and not written again.
    spy.Reset();
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("list_retrieve"), 0);
    EXPECT_EQ(spy.Count("list_update"), 1);
    EXPECT_EQ(spy.Count("list_serialize"), 0);
    struct stat after {};
    ASSERT_EQ(stat(GenreCache().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);

    // Older than the service's: replaced and written.
    const std::string older = WithRevisionZero(cached);
    ASSERT_NE(older, cached);
    gbxtest::WriteText(GenreCache(), older);
    spy.Reset();
    EXPECT_TRUE(LookUp(toc).found);
    EXPECT_EQ(spy.Count("list_update"), 1);
    EXPECT_EQ(ReadText(GenreCache()), cached);

    // Not a list (or not wholly text): fetched anew.
    for (const std::string& damaged : {std::string("garbage"), cached.substr(0, 20) + '\0' + cached.substr(20)}) {
        gbxtest::WriteText(GenreCache(), damaged);
        spy.Reset();
        EXPECT_TRUE(LookUp(toc).found);
        EXPECT_EQ(spy.Count("list_retrieve"), 1);
        EXPECT_EQ(ReadText(GenreCache()), cached);
    }
}

TEST_F(TunemarkTest, AllocationFailuresDuringALookupLeakNothing) {
    Write("jazz/b0000002", DiscB());
    Write("misc/c0000003", DiscC());
    const GT::CCdToc toc = TocOf(DiscB());
    int failedLookups = 0;
    bool completed = false;
    for (uint32_t n = 1; n <= 2000 && !completed; ++n) {
        tmsdk_sdkmanager_test_allocation_fail_at(n);
        const Outcome o = LookUp(toc);
        const bool injected = tmsdk_sdkmanager_test_allocation_calls() >= n;
        tmsdk_sdkmanager_test_allocation_fail_at(0);
        EXPECT_EQ(o.objectsLeft, 0u) << n;
        EXPECT_EQ(o.lookupsLeft, 0u) << n;
        EXPECT_EQ(tmsdk_sdkmanager_test_live_blocks(), blocks) << n;
        EXPECT_EQ(tmsdk_sdkmanager_test_initialize_count(), 0u) << n;
        EXPECT_EQ(tmsdk_sdkmanager_test_interfaces_held(), 0u) << n;
        EXPECT_EQ(tmsdk_sdkmanager_test_handles_registered(), 0u) << n;
        if (!o.found) {
            ++failedLookups;
            EXPECT_TRUE(o.albums.empty()) << n;
        }
        if (!injected) {
            completed = true;
            EXPECT_TRUE(o.found);
            EXPECT_EQ(Titles(o.albums), (std::vector<std::string>{"Album B", "Album C"}));
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(failedLookups, 0);
}

TEST_F(TunemarkTest, TheTableOfContentsTextHasEveryTrackThenTheLeadOut) {
    std::vector<uint32_t> starts;
    for (uint32_t i = 0; i < 10; ++i) starts.push_back(150 + i * 15000);
    GT::CCdToc toc = TocOf(starts, 150 + 10 * 15000);
    EXPECT_EQ(CTunemark::MakeTocString(toc), "150 15150 30150 45150 60150 75150 90150 105150 120150 135150 150150 ");
    // A data track counts like any other.
    toc = GT::CCdToc();
    toc.Add(GT::CCdTocEntry(150, 0, 0, 0, 0));
    toc.Add(GT::CCdTocEntry(20000, 0, 0, 1, 0));
    toc.Add(GT::CCdTocEntry(30000, 0, 0, 1, 0));
    EXPECT_EQ(CTunemark::MakeTocString(toc), "150 20000 30000 ");
    EXPECT_EQ(CTunemark::MakeTocString(GT::CCdToc()), "");
}

TEST_F(TunemarkTest, NothingIsAskedBeforeTheClientIsReady) {
    CTunemark tunemark;
    std::vector<CAlbumInfo> albums;
    EXPECT_FALSE(tunemark.IsReady());
    EXPECT_FALSE(tunemark.LookUpTocString("150 3000 ", albums, nullptr));
    EXPECT_TRUE(spy.calls.empty());
}

// Album extraction over result objects made by hand (the manager's own objects).
class ExtractAlbumTest : public TunemarkTest {
protected:
    void SetUp() override {
        TunemarkTest::SetUp();
        ASSERT_TRUE(client->Initialize(CSdkParameters()));
    }
    void TearDown() override {
        EXPECT_EQ(tmsdk_sdkmanager_test_objects_live(), 0u);
        client.reset();
        TunemarkTest::TearDown();
    }

    // A response whose one album has these tracks (null: a track without a number).
    static tmsdk_gdo_t ResponseWithTracks(const std::vector<const char*>& titles) {
        tmsdk_gdo_t response = gbxtest::Response(TMSDK_RESULT_SINGLE_MATCH);
        tmsdk_gdo_t album = gbxtest::Album("x0000001", "The Album");
        gbxtest::Value(album, TMSDK_VAL_ARTIST, "The Band");
        for (size_t i = 0; i < titles.size(); ++i) {
            tmsdk_gdo_t track = gbxtest::Object(TMSDK_CTX_TRACK);
            if (titles[i]) gbxtest::Value(track, TMSDK_VAL_TRACKNUMBER, std::to_string(i + 1));
            gbxtest::Value(track, TMSDK_VAL_TITLE, titles[i] ? titles[i] : "unnumbered");
            gbxtest::Adopt(album, TMSDK_KEY_TRACKS, track);
        }
        gbxtest::Adopt(response, TMSDK_KEY_ALBUMS, album);
        return response;
    }

    std::unique_ptr<CTunemark> client = std::make_unique<CTunemark>();
    CTunemark& tunemark = *client;
};

TEST_F(ExtractAlbumTest, ATrackWithoutItsNumberEndsTheExtractionAsAFailure) {
    std::vector<const char*> titles = {"T1", "T2", "T3", "T4", nullptr, "T6", "T7", "T8", "T9", "T10", "T11", "T12"};
    tmsdk_gdo_t response = ResponseWithTracks(titles);
    CAlbumInfo album;
    EXPECT_FALSE(tunemark.ExtractAlbum(response, album));
    ASSERT_EQ(album.tracks.size(), 12u);
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(album.tracks[i].title, i < 4 ? titles[i] : "") << i;
        EXPECT_EQ(album.tracks[i].artist, i < 4 ? "The Band" : "") << i;
    }
    gbxtest::ReleaseAll({response});
}

TEST_F(ExtractAlbumTest, MoreTracksThanADiscHoldsAreRefusedBeforeSizing) {
    for (size_t count : {size_t(99), size_t(100), size_t(5000)}) {
        tmsdk_gdo_t response = ResponseWithTracks(std::vector<const char*>(count, "T"));
        CAlbumInfo album;
        EXPECT_EQ(tunemark.ExtractAlbum(response, album), count <= 99) << count;
        EXPECT_EQ(album.tracks.size(), count <= 99 ? count : 0u) << count;
        EXPECT_EQ(album.title, "The Album") << count;
        gbxtest::ReleaseAll({response});
    }
}

TEST_F(ExtractAlbumTest, AnAlbumThatCannotBeHadEmptiesTheTracks) {
    tmsdk_gdo_t empty = gbxtest::Response(TMSDK_RESULT_NO_MATCHES);
    CAlbumInfo album;
    album.tracks.resize(3);
    EXPECT_FALSE(tunemark.ExtractAlbum(empty, album));
    EXPECT_TRUE(album.tracks.empty());
    EXPECT_EQ(tunemark.GetAlbumCount(empty), 0);

    // Not a response at all.
    tmsdk_gdo_t notResponse = gbxtest::Album("x0000002", "Lone");
    EXPECT_FALSE(tunemark.ExtractAlbum(notResponse, album));
    EXPECT_EQ(tunemark.GetAlbumCount(notResponse), -1);
    EXPECT_EQ(tunemark.GetAlbumCount(nullptr), -1);
    gbxtest::ReleaseAll({empty, notResponse});
}

TEST_F(ExtractAlbumTest, GenresArePerLevelAndTracksKeepTheirOwnArtist) {
    tmsdk_gdo_t response = gbxtest::Response(TMSDK_RESULT_SINGLE_MATCH);
    tmsdk_gdo_t album = gbxtest::Album("x0000003", "Mixed");
    gbxtest::Value(album, TMSDK_VAL_ARTIST, "Band");
    gbxtest::Value(album, TMSDK_VAL_GENRE, "Hard Rock & Metal");  // a second-level entry
    gbxtest::Value(album, TMSDK_VAL_DATE, "2009");
    gbxtest::Value(album, TMSDK_VAL_ALBUMLABEL, "Label");
    tmsdk_gdo_t guest = gbxtest::Track(1, "Duet");
    gbxtest::Value(guest, TMSDK_VAL_ARTIST, "Guest");
    gbxtest::Value(guest, TMSDK_VAL_GENRE, "Polka Fusion");  // not in the list: answers itself at level 1
    gbxtest::Adopt(album, TMSDK_KEY_TRACKS, guest);
    gbxtest::Adopt(album, TMSDK_KEY_TRACKS, gbxtest::Track(2, "Solo"));
    gbxtest::Adopt(response, TMSDK_KEY_ALBUMS, album);

    CAlbumInfo info;
    ASSERT_TRUE(tunemark.ExtractAlbum(response, info));
    EXPECT_EQ(info.genre1, "Rock");
    EXPECT_EQ(info.genre2, "Hard Rock & Metal");
    EXPECT_EQ(info.genre3, "");
    EXPECT_EQ(info.date, "2009");
    EXPECT_EQ(info.label, "Label");
    ASSERT_EQ(info.tracks.size(), 2u);
    EXPECT_EQ(info.tracks[0].artist, "Guest");
    EXPECT_EQ(info.tracks[0].genre1, "Polka Fusion");
    EXPECT_EQ(info.tracks[0].genre2, "");
    EXPECT_EQ(info.tracks[1].artist, "Band");
    EXPECT_EQ(info.tracks[1].genre1, "");
    EXPECT_EQ(tunemark.GetAlbumCount(response), 1);
    gbxtest::ReleaseAll({response});
}

}  // namespace
