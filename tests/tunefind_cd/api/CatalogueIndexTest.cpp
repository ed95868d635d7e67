// Lookups against a catalogue laid out as CD databases publish it (a folder per category, a file per disc id)
// with files of other names among them: the same answers without an index, with the index built by the
// lookup, with a kept index, and with one that went stale; and catalogue files that try to mislead or block
// the reader.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "tests/support/Xmcd.h"
#include "tests/tunefind_cd/api/ModuleSession.h"
#include "tests/tunefind_cd/api/Scripted.h"

using gbxtest::ValueOf;
using gbxtest::XmcdDisc;
namespace fs = std::filesystem;

namespace {

uint32_t LeadOut(const XmcdDisc& disc) { return disc.lengthSeconds * 75; }

XmcdDisc Disc(const std::string& id, const std::string& title, uint32_t tracks, uint32_t seconds) {
    return gbxtest::EvenDisc(id, "Artist / " + title, tracks, seconds);
}

// The catalogue as the lookups below expect it, and how it looked before three changes.
XmcdDisc Single() { return Disc("a0000001", "Named By Id", 3, 200); }
XmcdDisc TwinOne() { return Disc("b0000002", "Twin One", 4, 180); }
XmcdDisc TwinTwo() { return Disc("c0000003", "Twin Two", 4, 180); }  // the same table of contents
XmcdDisc Near() { return Disc("d0000004", "Near", 5, 240); }
XmcdDisc InACollection() { return Disc("e0000005", "Second Of Two", 7, 150); }
XmcdDisc Added() { return Disc("f0000006", "Added", 6, 210); }
XmcdDisc Changed() { return Disc("a0000007", "Changed In Place", 8, 190); }
XmcdDisc BeforeTheChange() {
    XmcdDisc disc = Changed();
    disc.dtitle = "Artist / Before";
    disc.offsets[1] += 40;  // near enough to be looked at again, not an exact match
    return disc;
}
XmcdDisc Removed() { return Disc("a0000008", "Removed", 9, 170); }

struct Expected {
    const char* what;
    std::string toc;
    uint32_t match;
    std::vector<std::string> titles;  // of the albums in the response, in order
};

std::vector<Expected> Table() {
    XmcdDisc shifted = Near();
    shifted.offsets[2] += 30;
    return {
        {"exact, in a file named by its disc id",
         gbxtest::TocText(Single(), LeadOut(Single())),
         TMSDK_TUNEFINDCD_MATCH_SINGLE,
         {"Named By Id"}},
        {"two exact, both named by the disc id",
         gbxtest::TocText(TwinOne(), LeadOut(TwinOne())),
         TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT,
         {"Twin One", "Twin Two"}},
        {"fuzzy, in a file named by the user",
         gbxtest::TocText(shifted, LeadOut(shifted) + 20),
         TMSDK_TUNEFINDCD_MATCH_FUZZY,
         {"Near"}},
        {"exact, the second record of a file",
         gbxtest::TocText(InACollection(), LeadOut(InACollection())),
         TMSDK_TUNEFINDCD_MATCH_SINGLE,
         {"Second Of Two"}},
        {"exact, added", gbxtest::TocText(Added(), LeadOut(Added())), TMSDK_TUNEFINDCD_MATCH_SINGLE, {"Added"}},
        {"exact, changed in place",
         gbxtest::TocText(Changed(), LeadOut(Changed())),
         TMSDK_TUNEFINDCD_MATCH_SINGLE,
         {"Changed In Place"}},
        {"removed", gbxtest::TocText(Removed(), LeadOut(Removed())), TMSDK_TUNEFINDCD_MATCH_NONE, {}},
        {"nothing near", "150 300 450 ", TMSDK_TUNEFINDCD_MATCH_NONE, {}},
    };
}

enum class Index { kNone, kBuiltByTheLookups, kKept, kStale };

std::string Name(const ::testing::TestParamInfo<Index>& info) {
    const char* names[] = {"WithoutAnIndex", "IndexBuiltByTheLookups", "KeptIndex", "StaleIndex"};
    return names[static_cast<int>(info.param)];
}

class CatalogueIndexTest : public gbxtest::ModuleTest {
protected:
    std::string folder = dir.File("catalogue");

    void SetUp() override {
        ModuleTest::SetUp();
        fs::create_directories(folder);
    }

    void Write(const std::string& relative, const std::string& bytes) {
        fs::create_directories(fs::path(folder + "/" + relative).parent_path());
        gbxtest::WriteText(folder + "/" + relative, bytes);
    }
    void Write(const std::string& relative, const XmcdDisc& disc) { Write(relative, gbxtest::XmcdRecord(disc)); }
    std::string NamedById(const std::string& category, const XmcdDisc& disc) {
        return category + "/" + gbxtest::XmcdDiscId(disc);
    }

    // The catalogue as it stands before the changes: what the stale index is built from.
    void WriteBefore() {
        Write(NamedById("rock", Single()), Single());
        Write(NamedById("jazz", TwinOne()), TwinOne());
        Write(NamedById("misc", TwinTwo()), TwinTwo());
        Write("blues/my near disc.txt", Near());
        Write("misc/collection.xmcd",
              gbxtest::XmcdRecord(Disc("e0000009", "First Of Two", 2, 300)) + gbxtest::XmcdRecord(InACollection()));
        Write("folk/changed", BeforeTheChange());
        Write(NamedById("rock", Removed()), Removed());
    }
    // A record added, one changed in place (its folder's time stays), one removed.
    void Change() {
        Write(NamedById("jazz", Added()), Added());
        Write("folk/changed", Changed());
        fs::remove(folder + "/" + NamedById("rock", Removed()));
    }

    struct Answer {
        uint32_t status = 0, match = 99;
        std::vector<std::string> titles, tags;
    };
    Answer LookUp(const std::string& toc, tmsdk_tunefindcd_status_fn callback = nullptr, void* data = nullptr) {
        Answer answer;
        tmsdk_tunefindcd_query_t query = NewQuery(callback, data);
        tmsdk_gdo_t response = nullptr;
        EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0), 0u);
        answer.status = tmsdk_tunefindcd_query_find_albums(query, &answer.match, &response);
        uint32_t count = 0;
        if (response) {
            EXPECT_STATUS(tmsdk_sdkmanager_gdo_child_count(response, TMSDK_KEY_ALBUMS, &count), 0u);
        }
        for (uint32_t n = 1; n <= count; ++n) {
            tmsdk_gdo_t album = gbxtest::ChildOf(response, TMSDK_KEY_ALBUMS, n);
            answer.titles.push_back(ValueOf(album, TMSDK_VAL_TITLE));
            answer.tags.push_back(ValueOf(album, TMSDK_VAL_TUI_TAG));
            EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(album), 0u);
        }
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        return answer;
    }

    // The files in the cache folder but the catalogues' build locks: the indexes and any temporary left.
    std::vector<std::string> IndexFiles() const {
        std::vector<std::string> files;
        const std::string cache = dir.File("cache/tmsdk_sdkmanager");
        if (fs::exists(cache))
            for (const auto& entry : fs::directory_iterator(cache))
                if (entry.path().extension() != ".lock") files.push_back(entry.path().string());
        return files;
    }
};

class CatalogueIndexModeTest : public CatalogueIndexTest, public ::testing::WithParamInterface<Index> {};

TEST_P(CatalogueIndexModeTest, ExactSeveralFuzzyAndNoMatchesAnswerTheSame) {
    // A cache folder that cannot be made: below a file.
    gbxtest::ScopedEnvironment blocked("XDG_CACHE_HOME",
                                       GetParam() == Index::kNone ? dir.File("file/cache") : dir.File("cache"));
    gbxtest::WriteText(dir.File("file"), "not a folder");
    WriteBefore();
    if (GetParam() == Index::kStale) {
        gbxtest::AgeTree(folder);
        EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
        ASSERT_EQ(IndexFiles().size(), 1u);
        Change();
    } else {
        Change();
        gbxtest::AgeTree(folder);
        if (GetParam() == Index::kKept) {
            EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);
        }
    }
    for (const Expected& row : Table()) {
        const Answer answer = LookUp(row.toc);
        EXPECT_STATUS(answer.status, 0u) << row.what;
        EXPECT_EQ(answer.match, row.match) << row.what;
        EXPECT_EQ(answer.titles, row.titles) << row.what;
    }
    EXPECT_EQ(IndexFiles().size(), GetParam() == Index::kNone ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueIndexModeTest,
                         ::testing::Values(Index::kNone, Index::kBuiltByTheLookups, Index::kKept, Index::kStale), Name);

struct StatusLog {
    std::vector<uint32_t> statuses;
    std::vector<std::pair<uint32_t, uint32_t>> progress;
};

void LogStatus(void* data, tmsdk_tunefindcd_query_t, uint32_t status, uint32_t read, uint32_t found, uint8_t* abort) {
    auto* log = static_cast<StatusLog*>(data);
    log->statuses.push_back(status);
    if (status == 2) log->progress.emplace_back(read, found);
    *abort = 0;
}

TEST_F(CatalogueIndexTest, AnExactMatchByDiscIdReadsNothingElse) {
    Write(NamedById("rock", Single()), Single());
    for (int i = 0; i < 50; ++i) Write("misc/other" + std::to_string(i), Disc("", "Other", 2, 100 + i));
    StatusLog log;
    tmsdk_tunefindcd_query_t query = NewQuery(LogStatus, &log);
    const std::string toc = gbxtest::TocText(Single(), LeadOut(Single()));
    ASSERT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0), 0u);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    tmsdk_gdo_t album = gbxtest::ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    EXPECT_EQ(ValueOf(album, TMSDK_VAL_TUI_TAG), NamedById("rock", Single()));
    gbxtest::ReleaseAll({album, response});
    // Started, request sent, matching, answer received, ready, finished: no catalogue read, no index made.
    EXPECT_EQ(log.statuses, (std::vector<uint32_t>{1, 2, 3, 2, 3, 4}));
    EXPECT_TRUE(IndexFiles().empty());

    // Nothing exact by name: the index is built, with its progress.
    log = StatusLog();
    ASSERT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, "150 300 ", 0), 0u);
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_NONE);
    // Files read of files found, ending with every file.
    EXPECT_NE(std::find(log.progress.begin(), log.progress.end(), std::pair<uint32_t, uint32_t>{51, 51}),
              log.progress.end());
    for (const auto& p : log.progress) EXPECT_LE(p.first, p.second);
    EXPECT_EQ(IndexFiles().size(), 1u);
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

TEST_F(CatalogueIndexTest, ADamagedIndexIsBuiltAgainNeverTrusted) {
    Write("jazz/one", TwinOne());
    Write("misc/two", TwinTwo());
    Write(NamedById("rock", Single()), Single());
    gbxtest::AgeTree(folder);
    const std::string toc = gbxtest::TocText(TwinOne(), LeadOut(TwinOne()));
    const std::string exact = gbxtest::TocText(Single(), LeadOut(Single()));
    ASSERT_EQ(LookUp(toc).titles, (std::vector<std::string>{"Twin One", "Twin Two"}));
    ASSERT_EQ(IndexFiles().size(), 1u);
    const std::string index = IndexFiles()[0];
    const std::vector<uint8_t> good = gbxtest::ReadBytes(index);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } damaged[] = {
        {"a byte changed",
         [&] {
             std::vector<uint8_t> b = good;
             b[b.size() / 2] ^= 0x40;
             return b;
         }()},
        {"cut short", std::vector<uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"empty", {}},
        {"another kind of file", std::vector<uint8_t>(300, 'x')},
    };
    for (const auto& d : damaged) {
        gbxtest::WriteBytes(index, d.bytes);
        // An exact match by name that finds the index damaged leaves none behind for later lookups to pay for.
        EXPECT_EQ(LookUp(exact).titles, std::vector<std::string>{"Named By Id"}) << d.what;
        EXPECT_TRUE(!fs::exists(index) || gbxtest::ReadBytes(index) == good) << d.what << ": still damaged";
        gbxtest::WriteBytes(index, d.bytes);
        const Answer answer = LookUp(toc);
        EXPECT_EQ(answer.titles, (std::vector<std::string>{"Twin One", "Twin Two"})) << d.what;
        EXPECT_EQ(gbxtest::ReadBytes(index), good) << d.what << ": written again as it was";
    }
}

TEST_F(CatalogueIndexTest, AFileWithSeveralNamesIsReadOnce) {
    Write("rock/a0000001", Single());
    fs::create_directories(folder + "/jazz");
    fs::create_symlink("../rock/a0000001", folder + "/jazz/link-to-a-record");
    fs::create_hard_link(folder + "/rock/a0000001", folder + "/misc-hard-link");
    const gbxtest::TempDir outside;
    gbxtest::WriteText(outside.File("record"), gbxtest::XmcdRecord(Near()));
    fs::create_symlink(outside.File("record"), folder + "/jazz/from-outside");
    fs::create_symlink(outside.File("record"), folder + "/jazz/from-outside-again");
    Answer answer = LookUp(gbxtest::TocText(Single(), LeadOut(Single())));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_EQ(answer.tags, std::vector<std::string>{"misc-hard-link"});  // the first of its names
    // A record outside the catalogue reached through a link is read, once.
    answer = LookUp(gbxtest::TocText(Near(), LeadOut(Near())));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_EQ(answer.tags, std::vector<std::string>{"jazz/from-outside"});
}

// A lookup made from the status function of a lookup that builds the index, on the same thread. One that
// waited for that build would wait for ever: it gives up after a few seconds, so that the test can end.
struct Nested {
    std::function<void(Nested&)> lookUp;
    bool asked = false;
    uint32_t status = 0, match = 99;
    std::vector<std::string> titles;
};

void GiveUpLate(void* data, tmsdk_tunefindcd_query_t, uint32_t, uint32_t, uint32_t, uint8_t* abort) {
    *abort = std::chrono::steady_clock::now() > *static_cast<std::chrono::steady_clock::time_point*>(data);
}

TEST_F(CatalogueIndexTest, ALookupStartedFromTheStatusOfABuildingLookupNeverWaitsForIt) {
    WriteBefore();
    gbxtest::AgeTree(folder);
    XmcdDisc shifted = Near();
    shifted.offsets[2] += 30;
    Nested nested;
    nested.lookUp = [this, &shifted](Nested& n) {
        auto late = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        const Answer answer = LookUp(gbxtest::TocText(shifted, LeadOut(shifted) + 20), GiveUpLate, &late);
        n.status = answer.status;
        n.match = answer.match;
        n.titles = answer.titles;
    };
    const auto onStatus = [](void* data, tmsdk_tunefindcd_query_t, uint32_t status, uint32_t read, uint32_t found,
                             uint8_t* abort) {
        auto* n = static_cast<Nested*>(data);
        *abort = 0;
        if (status != 2 || read != 0 || found != 0 || n->asked) return;  // the catalogue opened for the build
        n->asked = true;
        n->lookUp(*n);
    };
    const Answer outer = LookUp("150 300 ", onStatus, &nested);
    ASSERT_TRUE(nested.asked);
    EXPECT_STATUS(nested.status, 0u);
    EXPECT_EQ(nested.match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
    EXPECT_EQ(nested.titles, std::vector<std::string>{"Near"});
    EXPECT_STATUS(outer.status, 0u);
    EXPECT_EQ(outer.match, TMSDK_TUNEFINDCD_MATCH_NONE);
    EXPECT_EQ(IndexFiles().size(), 1u);
}

std::vector<std::string> g_log;
void CollectLog(uint32_t, const char*, uint32_t, uint32_t, const char* text) { g_log.push_back(text); }

struct LogScope {
    LogScope() {
        g_log.clear();
        tmsdk_sdkmanager_log_callback = CollectLog;
        tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] = TMSDK_PACKAGE_FLAG_LOG;
    }
    ~LogScope() {
        tmsdk_sdkmanager_log_callback = nullptr;
        tmsdk_sdkmanager_package_flags[TMSDK_SDKMANAGER_PACKAGE] = 0;
    }
};

bool Logged(const std::string& text) {
    for (const std::string& line : g_log)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

TEST_F(CatalogueIndexTest, AFifoNeverBlocksTheLookup) {
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string toc = gbxtest::TocText(Single(), LeadOut(Single()));
    Write(NamedById("rock", Near()), Near());
    fs::create_directories(folder + "/jazz");
    ASSERT_EQ(mkfifo((folder + "/" + NamedById("jazz", Single())).c_str(), 0600), 0);  // named by the disc id
    ASSERT_EQ(mkfifo((folder + "/rock/queue").c_str(), 0600), 0);
    LogScope logging;
    for (const std::string& catalogue : {fifo, folder}) {
        gbxtest::ScopedEnvironment named("TMSDK_CATALOGUE", catalogue);
        auto lookup = std::async(std::launch::async, [&] { return LookUp(toc); });
        if (lookup.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            // Let the blocked reader go, so that the test can end, then fail.
            for (const std::string& f : {fifo, folder + "/" + NamedById("jazz", Single()), folder + "/rock/queue"})
                close(open(f.c_str(), O_WRONLY | O_NONBLOCK));
            lookup.wait();
            FAIL() << catalogue << ": the lookup waited on a FIFO";
        }
        const Answer answer = lookup.get();
        if (catalogue == fifo) {
            EXPECT_STATUS(answer.status, 0x90810166u);  // a catalogue without a record
            EXPECT_TRUE(Logged("catalogue: left out fifo: not a regular file"));
        } else {
            EXPECT_STATUS(answer.status, 0u);
            EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_NONE);
            EXPECT_TRUE(Logged("catalogue: left out rock/queue: not a regular file"));
        }
    }
}

TEST_F(CatalogueIndexTest, WhatIsPassedOverIsLogged) {
    Write("rock/a0000001", Single());
    Write("rock/.hidden", Near());
    fs::create_directories(folder + "/1/2/3/4/5/6/7/8/9");
    Write("1/2/3/4/5/6/7/8/deep", TwinOne());
    fs::create_directory_symlink(folder + "/rock", folder + "/linked-folder");
    fs::create_symlink(folder + "/nowhere", folder + "/broken");
    Write("bad/offsets",
          "# xmcd\n# Track frame offsets:\n#\t150\n#\t-5000\n#\n# Disc length: 600 seconds\nDTITLE=A / B\n");
    LogScope logging;
    EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);
    for (const char* line : {"catalogue: left out rock/.hidden: a hidden name",
                             "catalogue: left out 1/2/3/4/5/6/7/8/9: more than 8 folders deep",
                             "catalogue: left out linked-folder: a folder reached through a link",
                             "catalogue: left out broken: a link to nothing",
                             "catalogue: left out bad/offsets: a track offset that is not a decimal number"})
        EXPECT_TRUE(Logged(line)) << line;
    EXPECT_EQ(LookUp(gbxtest::TocText(TwinOne(), LeadOut(TwinOne()))).titles, std::vector<std::string>{"Twin One"});
}

TEST_F(CatalogueIndexTest, AnUnreadableFolderIsLoggedLikeAnUnreadableFile) {
    if (geteuid() == 0) GTEST_SKIP() << "every folder is readable to root";
    Write("rock/a0000001", Single());
    Write("locked/b0000002", TwinOne());
    fs::permissions(folder + "/locked", fs::perms::none);
    LogScope logging;
    EXPECT_EQ(LookUp(gbxtest::TocText(Single(), LeadOut(Single()))).match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    fs::permissions(folder + "/locked", fs::perms::owner_all);
    EXPECT_TRUE(Logged("catalogue: left out locked: the folder cannot be read"));
}

TEST_F(CatalogueIndexTest, AbsentTitlesStayAbsent) {
    XmcdDisc untitled = Disc("a000000a", "", 3, 200);
    untitled.dtitle.clear();
    untitled.tracks.clear();
    std::string record = gbxtest::XmcdRecord(untitled);
    record.erase(record.find("DTITLE="), std::string("DTITLE=\n").size());
    Write("rock/untitled", record);
    tmsdk_tunefindcd_query_t query = NewQuery();
    const std::string toc = gbxtest::TocText(untitled, LeadOut(untitled));
    ASSERT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0), 0u);
    uint32_t match = 0;
    tmsdk_gdo_t response = nullptr;
    ASSERT_STATUS(tmsdk_tunefindcd_query_find_albums(query, &match, &response), 0u);
    ASSERT_EQ(match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    tmsdk_gdo_t album = gbxtest::ChildOf(response, TMSDK_KEY_ALBUMS, 1);
    tmsdk_gdo_t track = gbxtest::ChildOf(album, TMSDK_KEY_TRACKS, 2);
    const char* text = nullptr;
    for (const char* key : {TMSDK_VAL_TITLE, TMSDK_VAL_ARTIST})
        EXPECT_STATUS(tmsdk_sdkmanager_gdo_value_get(album, key, 1, &text), 0x10810003u) << key;
    EXPECT_STATUS(tmsdk_sdkmanager_gdo_value_get(track, TMSDK_VAL_TITLE, 1, &text), 0x10810003u);
    EXPECT_EQ(ValueOf(track, TMSDK_VAL_TRACKNUMBER), "2");
    gbxtest::ReleaseAll({track, album, response});
    EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
}

// A record file that changes while its folder's size and times stay: written over, appended to, copied over,
// or reached through a link whose target is replaced. A lookup that is not answered exactly by name finds
// the new record at once, whatever the file held before.
enum class Edit { kWrittenOver, kAppended, kCopiedOver, kLinkTargetReplaced };

std::string EditName(const ::testing::TestParamInfo<Edit>& info) {
    const char* names[] = {"WrittenOver", "Appended", "CopiedOver", "LinkTargetReplaced"};
    return names[static_cast<int>(info.param)];
}

class CatalogueEditTest : public CatalogueIndexTest, public ::testing::WithParamInterface<Edit> {};

TEST_P(CatalogueEditTest, ARecordFileChangedWhereItsFolderCannotTellIsReadAgain) {
    const gbxtest::TempDir outside;
    const std::string file = folder + "/misc/collection.xmcd";
    Write(NamedById("rock", Single()), Single());
    if (GetParam() == Edit::kLinkTargetReplaced) {
        gbxtest::WriteText(outside.File("record"), gbxtest::XmcdRecord(Near()));
        fs::create_directories(folder + "/misc");
        fs::create_symlink(outside.File("record"), file);
        gbxtest::AgeTree(outside.Path());
    } else {
        Write("misc/collection.xmcd", Near());
    }
    gbxtest::AgeTree(folder);
    EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
    ASSERT_EQ(IndexFiles().size(), 1u);

    const std::string added = gbxtest::XmcdRecord(Added());
    switch (GetParam()) {
        case Edit::kWrittenOver:
            gbxtest::WriteText(file, added);
            break;
        case Edit::kAppended: {
            std::ofstream out(file, std::ios::binary | std::ios::app);
            out << added;
            break;
        }
        case Edit::kCopiedOver:
            gbxtest::WriteText(outside.File("copy"), added);
            fs::copy_file(outside.File("copy"), file, fs::copy_options::overwrite_existing);
            break;
        case Edit::kLinkTargetReplaced:
            gbxtest::WriteText(outside.File("record.new"), added);
            fs::rename(outside.File("record.new"), outside.File("record"));
            break;
    }
    XmcdDisc shifted = Added();
    shifted.offsets[1] += 30;
    Answer answer = LookUp(gbxtest::TocText(shifted, LeadOut(shifted)));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
    EXPECT_EQ(answer.titles, std::vector<std::string>{"Added"});
    answer = LookUp(gbxtest::TocText(Added(), LeadOut(Added())));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_EQ(answer.titles, std::vector<std::string>{"Added"});
    // What the file held before is gone, unless it was appended to.
    answer = LookUp(gbxtest::TocText(Near(), LeadOut(Near())));
    EXPECT_EQ(answer.match,
              GetParam() == Edit::kAppended ? TMSDK_TUNEFINDCD_MATCH_SINGLE : TMSDK_TUNEFINDCD_MATCH_NONE);
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueEditTest,
                         ::testing::Values(Edit::kWrittenOver, Edit::kAppended, Edit::kCopiedOver,
                                           Edit::kLinkTargetReplaced),
                         EditName);

// File times are compared with what the index recorded, never with the clock: times ahead of it (a fast clock,
// an unpacked archive) or just now leave a current index as it is.
class CatalogueTimesTest : public CatalogueIndexTest, public ::testing::WithParamInterface<long> {};

TEST_P(CatalogueTimesTest, ACurrentIndexIsNotWrittenAgainWhateverTheFileTimes) {
    WriteBefore();
    Change();
    if (GetParam() != 0) gbxtest::SetTreeTimes(folder, GetParam());
    EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
    ASSERT_EQ(IndexFiles().size(), 1u);
    const std::string index = IndexFiles()[0];
    struct stat built;
    ASSERT_EQ(stat(index.c_str(), &built), 0);
    for (const Expected& row : Table()) {
        const Answer answer = LookUp(row.toc);
        EXPECT_EQ(answer.match, row.match) << row.what;
        EXPECT_EQ(answer.titles, row.titles) << row.what;
        struct stat now;
        ASSERT_EQ(stat(index.c_str(), &now), 0);
        EXPECT_EQ(now.st_ino, built.st_ino) << row.what << ": the index was written again";
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueTimesTest, ::testing::Values(0L, 3600L, 86400L * 365),
                         [](const ::testing::TestParamInfo<long>& info) {
                             return info.param == 0 ? std::string("JustWritten")
                                                    : "Ahead" + std::to_string(info.param) + "s";
                         });

// A file that gains a hard link in another folder after the index was built is still one record, answered
// under its first name in catalogue order.
struct NewName {
    const char* folder;
    bool namedById;
};

class CatalogueNewNameTest : public CatalogueIndexTest, public ::testing::WithParamInterface<NewName> {};

TEST_P(CatalogueNewNameTest, AFileThatGainsAHardLinkIsAnsweredOnce) {
    const std::string original = NamedById("rock", Single());
    Write(original, Single());
    gbxtest::AgeTree(folder);
    EXPECT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
    const std::string link =
        std::string(GetParam().folder) + "/" + (GetParam().namedById ? gbxtest::XmcdDiscId(Single()) : "linked");
    fs::create_directories(folder + "/" + GetParam().folder);
    fs::create_hard_link(folder + "/" + original, folder + "/" + link);
    const std::string first = std::string(GetParam().folder) < "rock" ? link : original;

    Answer answer = LookUp(gbxtest::TocText(Single(), LeadOut(Single())));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_SINGLE);
    EXPECT_EQ(answer.tags, std::vector<std::string>{first});
    XmcdDisc shifted = Single();
    shifted.offsets[1] += 30;
    answer = LookUp(gbxtest::TocText(shifted, LeadOut(shifted)));
    EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
    EXPECT_EQ(answer.tags, std::vector<std::string>{first});
}

INSTANTIATE_TEST_SUITE_P(Catalogue, CatalogueNewNameTest,
                         ::testing::Values(NewName{"newage", true}, NewName{"newage", false},
                                           NewName{"soundtrack", true}, NewName{"soundtrack", false}),
                         [](const ::testing::TestParamInfo<NewName>& info) {
                             return std::string(info.param.folder) + (info.param.namedById ? "ById" : "Other");
                         });

// The CPU time of the calling thread, where a lookup runs.
double ThreadCpuMs() {
    struct timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

TEST_F(CatalogueIndexTest, ALookupCostsTheSameWithRecordsDirectlyInTheCatalogueFolder) {
    // The same records in category folders and all in the catalogue folder itself.
    constexpr int kDiscs = 6000;
    const std::string flat = dir.File("flat");
    fs::create_directories(flat);
    std::vector<std::string> exact;
    for (int i = 0; i < kDiscs; ++i) {
        XmcdDisc disc = Disc("", "Disc " + std::to_string(i), 3 + i % 10, 100 + i / 10);
        disc.discId = gbxtest::XmcdDiscId(disc);
        const std::string text = gbxtest::XmcdRecord(disc);
        Write(std::string(i % 2 ? "rock" : "jazz") + "/" + std::to_string(i) + "-" + disc.discId, text);
        gbxtest::WriteText(flat + "/" + std::to_string(i) + "-" + disc.discId, text);
        if (i % 1000 == 0) {
            Write(NamedById(i % 2 ? "rock" : "jazz", disc), text);
            gbxtest::WriteText(flat + "/" + disc.discId, text);
            exact.push_back(gbxtest::TocText(disc, LeadOut(disc)));
        }
    }
    gbxtest::AgeTree(folder);
    gbxtest::AgeTree(flat);
    double cost[2] = {1e9, 1e9};
    for (int layout = 0; layout < 2; ++layout) {
        gbxtest::ScopedEnvironment named("TMSDK_CATALOGUE", layout == 0 ? folder : flat);
        ASSERT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
        for (const std::string& toc : exact) {
            const double start = ThreadCpuMs();
            // Each named by its id, and once more under another name.
            ASSERT_EQ(LookUp(toc).match, TMSDK_TUNEFINDCD_MATCH_MULTIPLE_EXACT);
            cost[layout] = std::min(cost[layout], ThreadCpuMs() - start);
        }
    }
    EXPECT_LT(cost[1], 2 * cost[0] + 5) << "category folders " << cost[0] << " ms, flat " << cost[1] << " ms";
}

TEST_F(CatalogueIndexTest, ManyRecordsOfOneFileCostNoMoreThanAsManyFiles) {
    // The same near discs, each in a file of its own and all in one file: a lookup that finds them all reads
    // each file once, however many of its records it answers.
    constexpr int kDiscs = 600;
    const std::string collection = dir.File("collection.xmcd");
    std::string all;
    for (int i = 0; i < kDiscs; ++i) {
        const std::string text = gbxtest::XmcdRecord(Disc("", "Near " + std::to_string(i), 4, 180));
        Write("rock/" + std::to_string(i), text);
        all += text;
    }
    gbxtest::WriteText(collection, all);
    XmcdDisc near = Disc("", "", 4, 180);
    near.offsets[1] += 30;
    const std::string toc = gbxtest::TocText(near, LeadOut(near) + 20);
    double cost[2] = {1e9, 1e9};
    for (int layout = 0; layout < 2; ++layout) {
        gbxtest::ScopedEnvironment named("TMSDK_CATALOGUE", layout == 0 ? folder : collection);
        ASSERT_EQ(LookUp("150 300 ").match, TMSDK_TUNEFINDCD_MATCH_NONE);  // builds the index
        const double start = ThreadCpuMs();
        const Answer answer = LookUp(toc);
        cost[layout] = ThreadCpuMs() - start;
        EXPECT_EQ(answer.match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
        ASSERT_EQ(answer.tags.size(), size_t{kDiscs});
        EXPECT_EQ(answer.tags.back(), layout == 0 ? "rock/99" : "collection.xmcd#600");
    }
    EXPECT_LT(cost[1], 2 * cost[0] + 20) << "files " << cost[0] << " ms, one file " << cost[1] << " ms";
}

}  // namespace
