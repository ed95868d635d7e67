#include "platform/system/Process.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace {

TEST(ProcessTest, RunProgramGivesTheExitCode) {
    EXPECT_EQ(platform::RunProgram({"true"}), 0);
    EXPECT_EQ(platform::RunProgram({"sh", "-c", "exit 7"}), 7);
    EXPECT_EQ(platform::RunProgram({"sh", "-c", "kill -9 $$"}), -1);
    EXPECT_EQ(platform::RunProgram({"gbx-no-such-program"}), -1);
    EXPECT_EQ(platform::RunProgram({}), -1);
}

TEST(ProcessTest, ArgumentsReachTheProgramUnchanged) {
    gbxtest::TempDir dir;
    const std::string target = dir.File("a file; rm -rf x");
    ASSERT_EQ(platform::RunProgram({"touch", target}), 0);
    EXPECT_TRUE(std::filesystem::exists(target));
}

TEST(ProcessTest, StartProgramDoesNotWait) {
    gbxtest::TempDir dir;
    const std::string marker = dir.File("done");
    ASSERT_TRUE(platform::StartProgram({"sh", "-c", "sleep 0.2; touch \"$0\"", marker}));
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_FALSE(platform::StartProgram({"gbx-no-such-program"}));
}

TEST(ProcessTest, HaveProgramSearchesPath) {
    EXPECT_TRUE(platform::HaveProgram("sh"));
    EXPECT_FALSE(platform::HaveProgram("gbx-no-such-program"));
    EXPECT_FALSE(platform::HaveProgram(""));
}

}  // namespace
