#include "platform/system/SystemFolders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

using gbxtest::ScopedEnvironment;

TEST(SystemFoldersTest, ExecutableIsThisTestProgram) {
    const std::string exe = platform::ExecutablePath();
    EXPECT_EQ(exe, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(platform::ApplicationName(), std::filesystem::path(exe).filename().string());
}

TEST(SystemFoldersTest, TempAndRuntimeFoldersFallBack) {
    gbxtest::TempDir dir;
    {
        ScopedEnvironment tmp("TMPDIR", dir.Path() + "/");
        ScopedEnvironment run("XDG_RUNTIME_DIR", nullptr);
        EXPECT_EQ(platform::TempDirectory(), dir.Path());
        EXPECT_EQ(platform::RuntimeDirectory(), dir.Path());
    }
    {
        ScopedEnvironment tmp("TMPDIR", dir.File("missing"));
        ScopedEnvironment run("XDG_RUNTIME_DIR", dir.Path());
        EXPECT_EQ(platform::TempDirectory(), "/tmp");
        EXPECT_EQ(platform::RuntimeDirectory(), dir.Path());
    }
    ScopedEnvironment tmp("TMPDIR", nullptr);
    EXPECT_EQ(platform::TempDirectory(), "/tmp");
}

TEST(SystemFoldersTest, SpecialFoldersFollowXdg) {
    ScopedEnvironment home("HOME", "/home/card");
    {
        ScopedEnvironment data("XDG_DATA_HOME", nullptr);
        EXPECT_EQ(platform::SpecialFolderPath(26), "/home/card/.local/share");
        EXPECT_EQ(platform::SpecialFolderPath(26 | 0x8000), "/home/card/.local/share");
        EXPECT_EQ(platform::SpecialFolderPath(5), "/home/card");
    }
    {
        ScopedEnvironment data("XDG_DATA_HOME", "/data/me/");
        EXPECT_EQ(platform::SpecialFolderPath(26), "/data/me");
        EXPECT_EQ(platform::SpecialFolderPath(28), "/data/me");
    }
    {
        ScopedEnvironment data("XDG_DATA_HOME", "relative/data");  // not absolute: ignored
        EXPECT_EQ(platform::SpecialFolderPath(26), "/home/card/.local/share");
    }
    EXPECT_EQ(platform::SpecialFolderPath(0x2b), "");
}

}  // namespace
