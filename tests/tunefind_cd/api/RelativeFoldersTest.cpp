// HOME and the XDG folders given as relative paths: they name no folder, so nothing is kept or looked for
// below the folder the program was started in.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/Xmcd.h"
#include "tests/tunefind_cd/api/ModuleSession.h"

namespace fs = std::filesystem;

namespace {

// The current folder, changed for one scope.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const std::string& folder) : m_old(fs::current_path()) { fs::current_path(folder); }
    ~ScopedCurrentFolder() { fs::current_path(m_old); }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    fs::path m_old;
};

std::vector<std::string> Below(const std::string& folder) {
    std::vector<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.push_back(fs::relative(entry.path(), folder).string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct RelativeFoldersTest : gbxtest::ModuleTest {
    uint32_t LookUp(const std::string& toc, uint32_t& match) {
        tmsdk_tunefindcd_query_t query = NewQuery();
        EXPECT_STATUS(tmsdk_tunefindcd_query_set_toc_string(query, toc.c_str(), 0), 0u);
        tmsdk_gdo_t response = nullptr;
        const uint32_t status = tmsdk_tunefindcd_query_find_albums(query, &match, &response);
        if (response) {
            EXPECT_STATUS(tmsdk_sdkmanager_gdo_release(response), 0u);
        }
        EXPECT_STATUS(tmsdk_tunefindcd_query_release(query), 0u);
        return status;
    }
};

TEST_F(RelativeFoldersTest, NothingIsKeptOrLookedForBelowTheCurrentFolder) {
    const gbxtest::XmcdDisc disc = gbxtest::EvenDisc("a0000001", "Artist / Album", 3, 200);
    gbxtest::XmcdDisc shifted = disc;
    shifted.offsets[1] += 30;  // found through the index, not by its disc id
    const std::string toc = gbxtest::TocText(shifted, disc.lengthSeconds * 75);
    const std::string current = dir.File("current");
    // Catalogues where relative data folders would put them.
    for (const char* below : {"current/data/tmsdk_sdkmanager/catalogue/rock/disc",
                              "current/home/.local/share/tmsdk_sdkmanager/catalogue/rock/disc"}) {
        fs::create_directories(fs::path(dir.File(below)).parent_path());
        gbxtest::WriteText(dir.File(below), gbxtest::XmcdRecord(disc));
    }
    fs::create_directories(dir.File("catalogue/rock"));
    gbxtest::WriteText(dir.File("catalogue/rock/disc"), gbxtest::XmcdRecord(disc));
    const std::vector<std::string> before = Below(current);

    ScopedCurrentFolder inside(current);
    gbxtest::ScopedEnvironment home("HOME", "home");
    gbxtest::ScopedEnvironment cacheHome("XDG_CACHE_HOME", "cache");
    gbxtest::ScopedEnvironment dataHome("XDG_DATA_HOME", "data");
    // A catalogue that is named: the lookup answers without a kept index.
    uint32_t match = 0;
    EXPECT_STATUS(LookUp(toc, match), 0u);
    EXPECT_EQ(match, TMSDK_TUNEFINDCD_MATCH_FUZZY);
    // None named, and no default folder: the service is unreachable.
    gbxtest::ScopedEnvironment noCatalogue("TMSDK_CATALOGUE", nullptr);
    EXPECT_STATUS(LookUp(toc, match), 0x90810165u);
    EXPECT_EQ(Below(current), before);
    EXPECT_FALSE(fs::exists(dir.File("cache")));
}

}  // namespace
