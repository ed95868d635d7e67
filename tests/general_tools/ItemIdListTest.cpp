#include "general_tools/ItemIdList.h"

#include "general_tools/Files.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct CChild {
    std::string path, name;
    uint32_t attributes;
    bool operator==(const CChild& o) const { return path == o.path && name == o.name && attributes == o.attributes; }
};

std::vector<CChild> List(GT::CItemIdList& folder, uint32_t asked, uint32_t required, uint32_t excluded) {
    std::vector<CChild> children;
    EXPECT_TRUE(folder.BeginEnumeration());
    uint32_t attributes = 0;
    std::unique_ptr<GT::CItemIdList> item;
    while (folder.GetNext(asked, required, excluded, attributes, item))
        if (item) children.push_back(CChild{item->GetPath(), item->GetDisplayName(), attributes});
    folder.EndEnumeration();
    return children;
}

TEST(ItemIdList, ChildrenWithPathsAndNames) {
    gbxtest::TempDir dir;
    std::filesystem::create_directories(dir.File("music/sub folder"));
    gbxtest::WriteText(dir.File("music/b.wav"), "x");
    gbxtest::WriteText(dir.File("music/A.mp3"), "x");
    gbxtest::WriteText(dir.File("music/.hidden"), "x");

    auto folder = GT::CItemIdList::FromPath(dir.File("music") + "/");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->GetPath(), dir.File("music"));
    EXPECT_EQ(folder->GetDisplayName(), "music");
    const uint32_t fs = GT::kItemFileSystem;
    const std::vector<CChild> expected = {{dir.File("music/A.mp3"), "A.mp3", fs},
                                          {dir.File("music/b.wav"), "b.wav", fs},
                                          {dir.File("music/sub folder"), "sub folder", fs}};
    EXPECT_EQ(List(*folder, fs, 0, 0), expected);
    // Asking for nothing gives no attributes; excluding the file system passes no child.
    EXPECT_EQ(List(*folder, 0, 0, 0).size(), 3u);
    EXPECT_EQ(List(*folder, 0, 0, 0)[0].attributes, 0u);
    EXPECT_TRUE(List(*folder, 0, 0, fs).empty());
    EXPECT_EQ(List(*folder, 0, fs, 0), expected);

    // The listing agrees with ListDirectory.
    std::vector<std::string> folders, files;
    ASSERT_TRUE(GT::ListDirectory(dir.File("music"), folders, files));
    EXPECT_EQ(folders, (std::vector<std::string>{dir.File("music/sub folder")}));
    EXPECT_EQ(files, (std::vector<std::string>{dir.File("music/A.mp3"), dir.File("music/b.wav")}));
}

TEST(ItemIdList, WhatCannotBeListed) {
    gbxtest::TempDir dir;
    EXPECT_FALSE(GT::CItemIdList::FromPath(dir.File("missing")));
    EXPECT_FALSE(GT::CItemIdList::FromPath(""));
    gbxtest::WriteText(dir.File("file"), "x");
    auto file = GT::CItemIdList::FromPath(dir.File("file"));
    ASSERT_TRUE(file);
    EXPECT_FALSE(file->BeginEnumeration());
    uint32_t attributes = 0;
    std::unique_ptr<GT::CItemIdList> item;
    EXPECT_FALSE(file->GetNext(0, 0, 0, attributes, item));
    auto root = GT::CItemIdList::FromPath("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetDisplayName(), "/");
    ASSERT_TRUE(root->BeginEnumeration());
    ASSERT_TRUE(root->GetNext(0, 0, 0, attributes, item));
    ASSERT_TRUE(item);
    EXPECT_EQ(item->GetPath().rfind('/'), 0u);
}

}  // namespace
