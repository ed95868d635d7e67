// The index in the per-user cache folder: temporaries left by a build that was killed, indexes crafted to
// cost memory, and cache and data folders named by relative paths.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/sdk_manager/internal/CatalogueFolderTest.h"
#include "tests/support/HeapPeak.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;
namespace fs = std::filesystem;

namespace {

class CatalogueIndexCacheTest : public gbxtest::CatalogueFolderTest {
protected:
    void SetUp() override {
        for (int i = 0; i < 3; ++i)
            Write("rock/disc" + std::to_string(i),
                  gbxtest::EvenDisc("0000000" + std::to_string(i), "A / B", 3 + i, 100 + i));
        gbxtest::AgeTree(folder);
        Open();
    }

    // The files of the index's records of three tracks, building the index when it is missing.
    tmsdk_status_t Build(IndexReport& report, const CatalogueProgress& progress = nullptr) {
        IndexRequest request;
        request.want = [](uint32_t tracks, uint32_t) { return tracks == 3; };
        request.progress = progress;
        std::vector<IndexedRecord> records;
        const tmsdk_status_t status = ReadIndex(place, request, records, report);
        EXPECT_EQ(records.size(), status == 0 ? 1u : 0u);
        return status;
    }

    // The names in the cache folder that begin with the index's name and go on.
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> names;
        const fs::path index = IndexPath(place);
        if (!fs::exists(index.parent_path())) return names;
        for (const auto& entry : fs::directory_iterator(index.parent_path())) {
            const std::string name = entry.path().filename().string();
            if (name.size() > index.filename().string().size() && name.rfind(index.filename().string(), 0) == 0)
                names.push_back(name);
        }
        return names;
    }
};

TEST_F(CatalogueIndexCacheTest, ABuildKilledPartWayLeavesATemporaryThatTheNextBuildRemoves) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The build's first progress report comes once its temporary is made.
        IndexReport report;
        Build(report, [](uint32_t, uint32_t) {
            kill(getpid(), SIGKILL);
            return false;
        });
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    ASSERT_EQ(Temporaries().size(), 1u);
    EXPECT_FALSE(fs::exists(IndexPath(place)));
    IndexReport report;
    ASSERT_EQ(Build(report), 0u);
    EXPECT_TRUE(report.written);
    EXPECT_TRUE(Temporaries().empty());

    // Left beside a kept index, it goes with the next lookup, which builds nothing.
    const std::string left = IndexPath(place) + ".Ab12Yz";
    gbxtest::WriteText(left, "cut short");
    ASSERT_EQ(Build(report), 0u);
    EXPECT_FALSE(report.written);
    EXPECT_TRUE(Temporaries().empty());
}

TEST_F(CatalogueIndexCacheTest, ARunningBuildHoldsItsTemporaryAndOnlyAbandonedOnesOfThisCatalogueGo) {
    IndexReport report;
    // While a build runs, its temporary is locked: a cleaner cannot take it.
    std::optional<bool> locked;
    ASSERT_EQ(Build(report,
                    [&](uint32_t, uint32_t) {
                        const std::vector<std::string> names = Temporaries();
                        if (locked || names.size() != 1) return false;
                        const int fd = open((dir.File("cache/tmsdk_sdkmanager/") + names[0]).c_str(), O_RDONLY);
                        locked = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
                        if (fd >= 0) close(fd);
                        return false;
                    }),
              0u);
    ASSERT_TRUE(locked.has_value());
    EXPECT_TRUE(*locked);
    EXPECT_TRUE(Temporaries().empty());

    const std::string index = IndexPath(place);
    const std::string cacheFolder = fs::path(index).parent_path().string();
    const struct {
        std::string name;
        bool held, removed;
    } files[] = {
        {index + ".a1B2c3", false, true},                                          // abandoned
        {index + ".d4E5f6", true, false},                                          // another build is writing it
        {index + ".notes", false, false},                                          // not a temporary's name
        {cacheFolder + "/catalogue-0123456789abcdef.index.g7H8i9", false, false},  // another catalogue's
    };
    std::vector<int> holders;
    for (const auto& f : files) {
        gbxtest::WriteText(f.name, "partly written");
        if (!f.held) continue;
        holders.push_back(open(f.name.c_str(), O_RDONLY));
        ASSERT_EQ(flock(holders.back(), LOCK_EX), 0);
    }
    ASSERT_EQ(Build(report), 0u);
    for (const auto& f : files) EXPECT_EQ(fs::exists(f.name), !f.removed) << f.name;
    for (int fd : holders) close(fd);
    ASSERT_EQ(Build(report), 0u);
    EXPECT_FALSE(fs::exists(files[1].name)) << "no longer held";
}

// An index with a good header whose first folder claims `count` entries of some kind, followed by zeros up
// to `size` bytes (a sparse file, whatever its size).
struct Crafted {
    const char* what;
    uint64_t size;
    std::vector<uint8_t> body;  // after the header and the first folder's head
};

void Append(std::vector<uint8_t>& bytes, uint32_t value) {
    const auto* p = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), p, p + 4);
}

std::vector<Crafted> CraftedIndexes() {
    std::vector<uint8_t> subfolders{'X'};
    Append(subfolders, 0xFFFFFFFFu);
    // A file whose records each look readable: position 1, start 0, 100 seconds, 3 tracks.
    std::vector<uint8_t> records{'F'};
    Append(records, 1);
    records.push_back('f');
    records.insert(records.end(), 40, 0);  // its stamp
    records.push_back(0);
    for (uint32_t value : {0xFFFFFFFFu, 0u, 0xFFFFFFFFu}) Append(records, value);  // records in it, left out, kept
    std::vector<uint8_t> record;
    Append(record, 1);
    Append(record, 0);
    Append(record, 100);
    record.push_back(3);
    for (int i = 0; i < (1 << 20); ++i) records.insert(records.end(), record.begin(), record.end());
    return {
        {"a folder of 2^32-1 subfolders, 16 MiB", 16u << 20, subfolders},
        {"a folder of 2^32-1 subfolders, 1 GiB", 1u << 30, subfolders},
        {"a file of 2^32-1 records", 16u << 20, records},
    };
}

class CraftedIndexTest : public CatalogueIndexCacheTest, public ::testing::WithParamInterface<Crafted> {};

TEST_P(CraftedIndexTest, CostsNoMoreThanItsBytesCanHoldAndIsBuiltAgain) {
    IndexReport report;
    ASSERT_EQ(Build(report), 0u);
    const std::string index = IndexPath(place);
    const std::vector<uint8_t> good = gbxtest::ReadBytes(index);
    // The header: magic, kind, the catalogue's real path; then the catalogue folder's head.
    const size_t header = 8 + 1 + 4 + place.real.size();
    const size_t head = 1 + 4 + 40 + 1;
    std::vector<uint8_t> crafted(good.begin(), good.begin() + static_cast<long>(header + head));
    crafted.insert(crafted.end(), GetParam().body.begin(), GetParam().body.end());
    gbxtest::WriteBytes(index, crafted);
    ASSERT_EQ(truncate(index.c_str(), static_cast<off_t>(GetParam().size)), 0);

    tmsdk_status_t status = 1;
    const size_t peak = gbxtest::HeapPeakOf([&] { status = Build(report); });
    EXPECT_EQ(status, 0u);
    EXPECT_LT(peak, 4u << 20) << "bytes held while reading the index";
    EXPECT_TRUE(report.written) << "built again";
    EXPECT_EQ(gbxtest::ReadBytes(index), good);
}

INSTANTIATE_TEST_SUITE_P(Index, CraftedIndexTest, ::testing::ValuesIn(CraftedIndexes()),
                         [](const ::testing::TestParamInfo<Crafted>& info) {
                             std::string name;
                             for (const char* c = info.param.what; *c; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

// HOME, XDG_CACHE_HOME and XDG_DATA_HOME as given (null: not set), and the index's folder and the default
// catalogue that follow (empty: none).
struct Folders {
    const char *home, *cacheHome, *dataHome;
    const char *indexFolder, *catalogue;
};

class RelativeFolderTest : public ::testing::TestWithParam<Folders> {};

TEST_P(RelativeFolderTest, OnlyAbsolutePathsNameTheCacheAndDataFolders) {
    const Folders& f = GetParam();
    gbxtest::ScopedEnvironment noCatalogue("TMSDK_CATALOGUE", nullptr);
    gbxtest::ScopedEnvironment home("HOME", f.home);
    gbxtest::ScopedEnvironment cacheHome("XDG_CACHE_HOME", f.cacheHome);
    gbxtest::ScopedEnvironment dataHome("XDG_DATA_HOME", f.dataHome);
    EXPECT_EQ(CataloguePath(), f.catalogue);
    Place place;
    place.real = "/somewhere/catalogue";
    const std::string index = IndexPath(place);
    EXPECT_EQ(index.substr(0, index.empty() ? 0 : index.find_last_of('/') + 1), f.indexFolder);
}

INSTANTIATE_TEST_SUITE_P(
    Environment, RelativeFolderTest,
    ::testing::Values(Folders{"/home/u", nullptr, nullptr, "/home/u/.cache/tmsdk_sdkmanager/",
                              "/home/u/.local/share/tmsdk_sdkmanager/catalogue"},
                      Folders{"/home/u", "cache", "data", "/home/u/.cache/tmsdk_sdkmanager/",
                              "/home/u/.local/share/tmsdk_sdkmanager/catalogue"},
                      Folders{"home/u", "/c", "/d", "/c/tmsdk_sdkmanager/", "/d/tmsdk_sdkmanager/catalogue"},
                      Folders{"home/u", nullptr, nullptr, "", ""}, Folders{"home/u", "cache", "data", "", ""},
                      Folders{"", "", "", "", ""}, Folders{nullptr, nullptr, nullptr, "", ""}));

}  // namespace
