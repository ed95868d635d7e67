// A catalogue folder of a test's own, with the index kept in a cache folder beside it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "sdk_manager/Index.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/Xmcd.h"

namespace gbxtest {

class CatalogueFolderTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string folder = dir.File("catalogue");
    ScopedEnvironment catalogue{"TMSDK_CATALOGUE", folder};
    ScopedEnvironment cache{"XDG_CACHE_HOME", dir.File("cache")};
    tmsdk::Place place;

    void Write(const std::string& relative, const XmcdDisc& disc) {
        std::filesystem::create_directories(std::filesystem::path(folder + "/" + relative).parent_path());
        WriteText(folder + "/" + relative, XmcdRecord(disc));
    }
    void Open() {
        uint32_t detail = 0;
        ASSERT_EQ(tmsdk::OpenPlace(place, detail), 0u);
    }
};

}  // namespace gbxtest
