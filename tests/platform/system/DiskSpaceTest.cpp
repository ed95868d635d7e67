#include "platform/system/DiskSpace.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace {

TEST(DiskSpaceTest, NearestExistingFolderClimbsToAFolder) {
    gbxtest::TempDir dir;
    std::filesystem::create_directory(dir.File("sub"));
    gbxtest::WriteText(dir.File("sub/file.wav"), "x");
    const struct {
        std::string path;
        std::string folder;
    } cases[] = {
        {dir.Path(), dir.Path()},
        {dir.Path() + "/", dir.Path()},
        {dir.File("sub/file.wav"), dir.File("sub")},          // an existing file: its folder
        {dir.File("sub/new/deeper/x.wav"), dir.File("sub")},  // nothing yet: the nearest folder
        {dir.File("sub/../sub/y"), dir.File("sub")},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::NearestExistingFolder(c.path), c.folder) << c.path;
}

TEST(DiskSpaceTest, ClusterSizeAndTotalsAreConsistent) {
    gbxtest::TempDir dir;
    platform::DiskSpace space;
    ASSERT_TRUE(platform::QueryDiskSpace(dir.File("not/yet/written.wav"), space));
    EXPECT_GT(space.clusterBytes, 0u);
    EXPECT_EQ(space.totalBytes % space.clusterBytes, 0u);
    EXPECT_LE(space.freeBytes, space.totalBytes);
    EXPECT_FALSE(platform::QueryDiskSpace("", space));
}

}  // namespace
