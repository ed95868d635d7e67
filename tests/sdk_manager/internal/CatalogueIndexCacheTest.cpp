// The index in the per-user cache folder: temporaries left by a build that was killed, indexes crafted to
// cost memory, and cache and data folders named by relative paths.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sdk_manager/IndexFormat.h"
#include "tests/sdk_manager/internal/CatalogueFolderTest.h"
#include "tests/support/HeapPeak.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

using namespace tmsdk;
namespace fs = std::filesystem;

namespace {

// A test's name from its description: its letters and digits.
std::string NameOf(const char* what) {
    std::string name;
    for (const char* c = what; *c; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
}

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

    // The index as a build writes it.
    std::vector<uint8_t> GoodIndex() {
        IndexReport report;
        EXPECT_EQ(Build(report), 0u);
        return gbxtest::ReadBytes(IndexPath(place));
    }
    // The index's header: magic, kind, the catalogue's real path.
    size_t HeaderBytes() const { return 8 + 1 + 4 + place.real.size(); }

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
    // As many subfolders as the rest of the file holds names: empty ones, or one letter each with nothing
    // after them.
    std::vector<uint8_t> empty{'X'};
    Append(empty, ((16u << 20) - 4096) / 4);
    std::vector<uint8_t> letters{'X'};
    const uint32_t named = ((16u << 20) - 4096) / 5;
    Append(letters, named);
    for (uint32_t i = 0; i < named; ++i) {
        Append(letters, 1);
        letters.push_back('a');
    }
    return {
        {"a folder of 2^32-1 subfolders, 16 MiB", 16u << 20, subfolders},
        {"a folder of 2^32-1 subfolders, 1 GiB", 1u << 30, subfolders},
        {"a file of 2^32-1 records", 16u << 20, records},
        {"a folder of as many empty subfolder names as 16 MiB holds", 16u << 20, empty},
        {"a folder of more subfolders than folders follow, 16 MiB", 16u << 20, letters},
    };
}

class CraftedIndexTest : public CatalogueIndexCacheTest, public ::testing::WithParamInterface<Crafted> {};

TEST_P(CraftedIndexTest, CostsNoMoreThanItsBytesCanHoldAndIsBuiltAgain) {
    const std::vector<uint8_t> good = GoodIndex();
    const std::string index = IndexPath(place);
    const size_t head = 1 + 4 + 40 + 1;  // the catalogue folder's
    std::vector<uint8_t> crafted(good.begin(), good.begin() + static_cast<long>(HeaderBytes() + head));
    crafted.insert(crafted.end(), GetParam().body.begin(), GetParam().body.end());
    gbxtest::WriteBytes(index, crafted);
    ASSERT_EQ(truncate(index.c_str(), static_cast<off_t>(GetParam().size)), 0);

    IndexReport report;
    tmsdk_status_t status = 1;
    const size_t peak = gbxtest::HeapPeakOf([&] { status = Build(report); });
    EXPECT_EQ(status, 0u);
    EXPECT_LT(peak, 4u << 20) << "bytes held while reading the index";
    EXPECT_TRUE(report.written) << "built again";
    EXPECT_EQ(gbxtest::ReadBytes(index), good);
}

INSTANTIATE_TEST_SUITE_P(Index, CraftedIndexTest, ::testing::ValuesIn(CraftedIndexes()),
                         [](const ::testing::TestParamInfo<Crafted>& info) { return NameOf(info.param.what); });

// A good index changed where its checksum cannot tell (made again over the change): each change breaks its
// structure, and the index is built again rather than trusted. The index of the fixture's catalogue reads:
// header, the catalogue folder (46 bytes), its end listing "rock" (13), the folder "rock" (50), its first file
// "disc0", ...
struct Change {
    const char* what;
    std::function<void(std::vector<uint8_t>& bytes, size_t header)> make;
};

void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

void Insert(std::vector<uint8_t>& bytes, size_t at, const std::string& text) {
    std::vector<uint8_t> piece(4);
    const uint32_t size = static_cast<uint32_t>(text.size());
    std::memcpy(piece.data(), &size, 4);
    piece.insert(piece.end(), text.begin(), text.end());
    bytes.insert(bytes.begin() + static_cast<long>(at), piece.begin(), piece.end());
}

constexpr size_t kRootEnd = 46, kRock = kRootEnd + 13, kDisc0 = kRock + 50;

std::vector<Change> Changes() {
    return {
        {"an empty subfolder name",
         [](std::vector<uint8_t>& b, size_t h) {
             Put(b, h + kRootEnd + 1, 2);
             Insert(b, h + kRock, "");
         }},
        {"a subfolder listed with no folder after it",
         [](std::vector<uint8_t>& b, size_t h) {
             Put(b, h + kRootEnd + 1, 2);
             Insert(b, h + kRock, "zz");
         }},
        {"a folder its parent does not list",
         [](std::vector<uint8_t>& b, size_t h) {
             Put(b, h + kRootEnd + 1, 0);
             b.erase(b.begin() + static_cast<long>(h + kRootEnd + 5), b.begin() + static_cast<long>(h + kRock));
         }},
        {"an empty file name",
         [](std::vector<uint8_t>& b, size_t h) {
             Put(b, h + kDisc0 + 1, 0);
             b.erase(b.begin() + static_cast<long>(h + kDisc0 + 5), b.begin() + static_cast<long>(h + kDisc0 + 10));
         }},
        {"a file name that leaves its folder",
         [](std::vector<uint8_t>& b, size_t h) { std::memcpy(&b[h + kDisc0 + 5], "../d0", 5); }},
    };
}

class ChangedIndexTest : public CatalogueIndexCacheTest, public ::testing::WithParamInterface<Change> {};

TEST_P(ChangedIndexTest, IsBuiltAgainWhenItsStructureIsBrokenThoughItsChecksumHolds) {
    const std::vector<uint8_t> good = GoodIndex();
    const std::string index = IndexPath(place);
    const size_t header = HeaderBytes();
    ASSERT_EQ(std::string(good.begin() + static_cast<long>(header + kDisc0 + 5),
                          good.begin() + static_cast<long>(header + kDisc0 + 10)),
              "disc0");
    std::vector<uint8_t> changed = good;
    GetParam().make(changed, header);
    changed.resize(changed.size() - 8);
    Checksum sum;
    sum.Add(changed.data(), changed.size());
    const uint64_t value = sum.Value();
    changed.insert(changed.end(), reinterpret_cast<const uint8_t*>(&value),
                   reinterpret_cast<const uint8_t*>(&value) + 8);
    gbxtest::WriteBytes(index, changed);

    IndexReport report;
    ASSERT_EQ(Build(report), 0u);
    EXPECT_TRUE(report.written) << "built again";
    EXPECT_TRUE(gbxtest::ReadBytes(index) == good);
}

INSTANTIATE_TEST_SUITE_P(Index, ChangedIndexTest, ::testing::ValuesIn(Changes()),
                         [](const ::testing::TestParamInfo<Change>& info) { return NameOf(info.param.what); });

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
