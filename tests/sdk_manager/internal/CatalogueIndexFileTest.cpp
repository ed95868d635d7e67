// The catalogue's index below the lookups: a full check that finds what the folders' times cannot tell,
// catalogue order, and tags that try to name a file outside the catalogue.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/sdk_manager/internal/CatalogueFolderTest.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;
namespace fs = std::filesystem;

namespace {

class CatalogueIndexFileTest : public gbxtest::CatalogueFolderTest {
protected:
    // The files of the index's records of this track count.
    std::vector<std::string> Files(uint32_t tracks, IndexRequest::Use use = IndexRequest::Use::kBuild,
                                   bool compareFiles = false) {
        IndexRequest request;
        request.use = use;
        request.compareFiles = compareFiles;
        request.want = [tracks](uint32_t t, uint32_t) { return t == tracks; };
        std::vector<IndexedRecord> records;
        IndexReport report;
        EXPECT_EQ(ReadIndex(place, request, records, report), 0u);
        std::vector<std::string> files;
        for (const IndexedRecord& r : records) files.push_back(r.file);
        return files;
    }
};

TEST_F(CatalogueIndexFileTest, CheckingEveryFileFindsWhatTheFoldersTimesCannotTell) {
    Write("rock/one", gbxtest::EvenDisc("00000001", "A / One", 3, 100));
    Write("rock/two", gbxtest::EvenDisc("00000002", "A / Two", 4, 100));
    gbxtest::AgeTree(folder);
    Open();
    EXPECT_EQ(Files(3), std::vector<std::string>{"rock/one"});
    // Written over in place with another track count: its folder's times stay as they were.
    gbxtest::WriteText(folder + "/rock/two", gbxtest::XmcdRecord(gbxtest::EvenDisc("00000002", "A / Two", 3, 101)));
    EXPECT_EQ(Files(3), std::vector<std::string>{"rock/one"});
    EXPECT_EQ(Files(3, IndexRequest::Use::kCheckEveryFile), (std::vector<std::string>{"rock/one", "rock/two"}));
    EXPECT_EQ(Files(3), (std::vector<std::string>{"rock/one", "rock/two"}));  // and the index now says so
    EXPECT_TRUE(Files(4).empty());
}

TEST_F(CatalogueIndexFileTest, WithoutAnIndexAskingOnlyIfPresentReadsNothing) {
    Write("rock/one", gbxtest::EvenDisc("00000001", "A / One", 3, 100));
    Open();
    EXPECT_TRUE(Files(3, IndexRequest::Use::kIfPresent).empty());
    EXPECT_FALSE(fs::exists(IndexPath(place)));
    EXPECT_EQ(Files(3), std::vector<std::string>{"rock/one"});
    EXPECT_TRUE(fs::exists(IndexPath(place)));
    EXPECT_EQ(IndexPath(place).rfind(dir.File("cache/tmsdk_sdkmanager/"), 0), 0u);
}

TEST_F(CatalogueIndexFileTest, CatalogueOrderIsTheWalksOrder) {
    // A folder's files by name, then its folders by name; a file's records by position.
    const std::vector<std::string> ordered = {"a", "z", "a/b", "a/c/d", "b/x#2", "b/x#10", "b-2/y"};
    for (size_t i = 0; i < ordered.size(); ++i)
        for (size_t j = 0; j < ordered.size(); ++j)
            EXPECT_EQ(TagBefore(ordered[i], ordered[j]), i < j) << ordered[i] << " / " << ordered[j];
}

TEST_F(CatalogueIndexFileTest, ATagNamesOnlyAFileTheCatalogueReads) {
    const gbxtest::XmcdDisc disc = gbxtest::EvenDisc("0000abcd", "A / B", 2, 60);
    Write("rock/0000abcd", disc);
    Write("rock/.hidden", disc);
    gbxtest::WriteText(dir.File("outside"), gbxtest::XmcdRecord(disc));
    fs::create_directory_symlink(folder + "/rock", folder + "/linked");
    Open();
    Disc found;
    EXPECT_TRUE(ReadTaggedRecord(place, "0000ABCD", "rock/0000abcd", found));
    EXPECT_EQ(found.tag, "rock/0000abcd");
    for (const char* tag : {"../outside", "rock/../../outside", "/etc/passwd", "rock//0000abcd", "rock/.hidden",
                            "linked/0000abcd", "rock/0000abcd#1", "rock/0000abcd#2", "rock", ""})
        EXPECT_FALSE(ReadTaggedRecord(place, "0000abcd", tag, found)) << tag;
    EXPECT_FALSE(ReadTaggedRecord(place, "0000abce", "rock/0000abcd", found));  // another id
}

TEST_F(CatalogueIndexFileTest, AFileThatGainedAHardLinkIsIndexedOnce) {
    for (const char* other : {"newage", "soundtrack"}) {
        fs::remove_all(folder);
        Write("rock/one", gbxtest::EvenDisc("00000001", "A / One", 3, 100));
        gbxtest::AgeTree(folder);
        Open();
        EXPECT_EQ(Files(3), std::vector<std::string>{"rock/one"});
        fs::create_directories(folder + "/" + other);
        fs::create_hard_link(folder + "/rock/one", folder + "/" + other + "/linked");
        // Read once, under its first name in catalogue order.
        const std::vector<std::string> first{std::string(other) < "rock" ? std::string(other) + "/linked" : "rock/one"};
        EXPECT_EQ(Files(3, IndexRequest::Use::kBuild, true), first) << other;  // as a fuzzy lookup updates it
        EXPECT_EQ(Files(3, IndexRequest::Use::kCheckEveryFile), first) << other;
    }
}

}  // namespace
