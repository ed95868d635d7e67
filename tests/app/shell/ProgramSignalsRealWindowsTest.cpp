// The program itself on an X server, without a window manager and under one (openbox): the stored
// placement survives starts that a signal ends, and a signal that comes while the start-up message
// box is open ends the program once the box is answered (xdotool answers it as a user does).
#include "general_tools/Drives.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/app/shell/VirtualScreen.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/WidgetDriver.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

using cardtest::CCardEnvironment;
using shelltest::Spawn;
using shelltest::WaitForEnd;

bool StillRunning(pid_t child) { return waitpid(child, nullptr, WNOHANG) == 0; }

class ProgramSignalsRealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    }
    // Starts the program and waits until its start-up has completed (its window's id in the guard).
    pid_t StartProgram() {
        std::filesystem::remove(lockFile);
        const pid_t child = Spawn({GBX_PROGRAM});
        EXPECT_GT(child, 0);
        EXPECT_TRUE(shelltest::WaitUntilStarted(lockFile));
        gbxtest::PumpFor(500);
        return child;
    }
    std::string StoredPosition() const {
        const std::string settings = shelltest::ReadFile(shelltest::SettingsFile(env));
        const size_t at = settings.find("\nPosition=");
        if (at == std::string::npos) return {};
        return settings.substr(at + 10, settings.find('\n', at + 1) - at - 10);
    }
    void StartAndEndBySignal(const std::string& what) {
        const pid_t child = StartProgram();
        ASSERT_EQ(kill(child, SIGTERM), 0);
        const int status = WaitForEnd(child, 30000);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << what << ": " << status;
    }
    // Five starts in a row, each ended by SIGTERM, give back the stored placement unchanged. The first
    // run of all fits the window to its form; the placement is stored over what that run stored.
    void KeepsThePlacementOverFiveStarts() {
        StartAndEndBySignal("the first run");
        const std::string stored = "150,100,830,620";
        std::string settings = shelltest::ReadFile(shelltest::SettingsFile(env));
        const size_t at = settings.find("\nPosition=");
        ASSERT_NE(at, std::string::npos) << settings;
        settings.replace(at + 10, settings.find('\n', at + 1) - at - 10, stored);
        gbxtest::WriteText(shelltest::SettingsFile(env), settings);
        for (int start = 1; start <= 5; ++start) {
            StartAndEndBySignal("start " + std::to_string(start));
            EXPECT_EQ(StoredPosition(), stored) << "start " << start;
        }
    }

    CCardEnvironment env;
    gbxtest::ScopedEnvironment noLeakCheck{"ASAN_OPTIONS", "detect_leaks=0"};
    std::string lockFile = env.Dir().File("run") + "/InstanceManagerGigbox Setlister";
};

TEST_F(ProgramSignalsRealWindows, ThePlacementStaysOverFiveStartsWithoutAWindowManager) {
    KeepsThePlacementOverFiveStarts();
}

TEST_F(ProgramSignalsRealWindows, ThePlacementStaysOverFiveStartsUnderAWindowManager) {
    if (!gbxtest::HaveCommand("openbox")) GTEST_SKIP() << "openbox is installed by scripts/install-deps.sh";
    shelltest::WindowManager manager;
    ASSERT_TRUE(manager.Running());
    KeepsThePlacementOverFiveStarts();
}

TEST_F(ProgramSignalsRealWindows, ASignalWhileTheStartUpMessageBoxIsOpenEndsTheProgramOnceItIsAnswered) {
    if (!gbxtest::HaveCommand("xdotool")) GTEST_SKIP() << "xdotool is installed by scripts/install-deps.sh";
    gbxtest::ScopedEnvironment noCard("GBX_VOLUMES", env.Dir().File("absent/QM-3"));
    // The program looks at every mounted volume: a card that another program (or test) has mounted
    // would spare it the message box.
    const std::string mounted = CCardEnvironment::Document().FindCardDrive(GT::ListDrives());
    if (!mounted.empty()) GTEST_SKIP() << "a card is mounted on this machine: " << mounted;
    std::filesystem::remove(lockFile);
    const pid_t child = Spawn({GBX_PROGRAM});
    ASSERT_GT(child, 0);
    // "The unit not found." comes before the main window shows: the only window of that name on view.
    std::string box;
    gbxtest::PumpUntil(
        [&] {
            box =
                gbxtest::Run("xdotool search --onlyvisible --name '^Gigbox Setlister$' 2>/dev/null | head -n 1").output;
            return !box.empty();
        },
        45000);
    ASSERT_FALSE(box.empty()) << "the start-up message box";
    box.erase(box.find_last_not_of("\n") + 1);
    gbxtest::PumpFor(500);

    ASSERT_EQ(kill(child, SIGTERM), 0);
    gbxtest::PumpFor(1500);
    EXPECT_TRUE(StillRunning(child)) << "the box waits for its answer";

    // Enter answers OK, as a user presses it.
    EXPECT_EQ(gbxtest::Run("xdotool windowfocus --sync " + box + " key --clearmodifiers Return").exitCode, 0);
    const int status = WaitForEnd(child, 30000);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "ended once answered: " << status;
    const std::string settings = shelltest::ReadFile(shelltest::SettingsFile(env));
    EXPECT_NE(settings.find("SaveMemory=1"), std::string::npos) << "closed as the close box does\n" << settings;
}

}  // namespace
