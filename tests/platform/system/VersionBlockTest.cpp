#include "platform/system/VersionBlock.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

// The project's version as the top-level build file states it.
std::string ProjectVersion() {
    std::ifstream in(std::string(GBX_SOURCE_DIR) + "/CMakeLists.txt");
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    const std::string mark = "project(GBX VERSION ";
    size_t at = s.find(mark);
    if (at == std::string::npos) return std::string();
    at += mark.size();
    return s.substr(at, s.find_first_not_of("0123456789.", at) - at);
}

TEST(VersionBlockTest, ProgramBlockNamesTheProgramAndItsVersion) {
    const auto& block = platform::ProgramVersionBlock();
    const std::string version = ProjectVersion();
    ASSERT_FALSE(version.empty());
    EXPECT_EQ(block.Find("FileDescription"), "Gigbox Setlister");
    EXPECT_EQ(block.Find("FileVersion"), version + ".0");
    // Four numbers separated by commas, as the About box scans it.
    std::string product = block.Find("ProductVersion");
    int n[4] = {-1, -1, -1, -1};
    ASSERT_EQ(std::sscanf(product.c_str(), "%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3]), 4) << product;
    EXPECT_EQ(std::to_string(n[0]) + "." + std::to_string(n[1]) + "." + std::to_string(n[2]), version);
    EXPECT_NE(block.Find("LegalCopyright").find("Corvane"), std::string::npos);
}

TEST(VersionBlockTest, UnknownNameGivesTheEmptyText) {
    const auto& block = platform::ProgramVersionBlock();
    for (const char* name : {"NoSuchValue", "", "fileversion"}) EXPECT_EQ(block.Find(name), "") << name;
}

}  // namespace
