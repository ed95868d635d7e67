// The program itself on X servers, its main window looked at from outside as the user sees it: a stored
// placement damaged in any way still gives a window on the screen of a useful size; and under a window
// manager the whole frame, title bar and borders, lies on screens of several sizes and scales, on a
// first run and with a stored placement larger than the screen. Screenshots are saved in the suite's
// build folder.
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/app/shell/VirtualScreen.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/WidgetDriver.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sstream>
#include <thread>

namespace {

using cardtest::CCardEnvironment;
using platform::Rect;

std::string Text(const Rect& r) {
    std::ostringstream text;
    text << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    return text.str();
}

bool Inside(const Rect& r, const Rect& area) {
    return r.left >= area.left && r.top >= area.top && r.right <= area.right && r.bottom <= area.bottom;
}

class ProgramPlacementRealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    }

    // The settings of a run after the first (a file version is stored), with that placement; none at
    // all for a first run.
    void StorePlacement(const char* position) {
        std::filesystem::create_directories(env.Dir().File("config/Corvane"));
        std::filesystem::remove(shelltest::SettingsFile(env));
        if (position == nullptr) return;
        gbxtest::WriteText(
            shelltest::SettingsFile(env),
            std::string("[Version]\nFileVersion=1.0.0.0\n[Window]\nPosition=") + position + "\nMaximized=0\n");
    }

    // Starts the program and waits until its start-up has completed; its main window's id, or 0 when
    // it ended before (a sanitizer's report) or took too long.
    uint32_t Start() {
        std::filesystem::remove(lockFile);
        child = shelltest::Spawn({GBX_PROGRAM});
        EXPECT_GT(child, 0);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(45);
        while (child > 0 && std::chrono::steady_clock::now() < until) {
            const std::vector<uint8_t> id = gbxtest::ReadBytes(lockFile);
            uint32_t window = 0;
            if (id.size() == sizeof window) std::memcpy(&window, id.data(), sizeof window);
            if (window != 0) return window;
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                ADD_FAILURE() << "the program ended during start-up: " << status;
                child = -1;
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return 0;
    }

    // Ends the program as a signal does; whether it ended cleanly.
    bool End() {
        if (child <= 0) return false;
        kill(child, SIGTERM);
        const int status = shelltest::WaitForEnd(child, 30000);
        child = -1;
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    // Where the window settles: viewable, and the same twice a moment apart (a window manager frames
    // and places it after it is mapped). Empty when it never shows.
    static Rect Settled(const shelltest::XConnection& x, uint32_t window) {
        Rect last{};
        const bool settled = gbxtest::PumpUntil(
            [&] {
                if (!x.IsViewable(window)) return false;
                const Rect now = x.OuterRect(window);
                const bool same = now == last;
                last = now;
                if (!same) std::this_thread::sleep_for(std::chrono::milliseconds(250));
                return same;
            },
            8000);
        return settled ? last : Rect{};
    }

    void TearDown() override { End(); }

    CCardEnvironment env;
    gbxtest::ScopedEnvironment noLeakCheck{"ASAN_OPTIONS", "detect_leaks=0"};
    std::string lockFile = env.Dir().File("run") + "/InstanceManagerGigbox Setlister";
    pid_t child = -1;
};

// The least useful size of the main window: half the main form each way, in the pixels of the
// toolkit's font, which this test shares with the program on the same display.
platform::Size LeastUsefulSize() {
    resources::RegisterProgramResources();
    const platform::DialogTemplate* form = platform::FindDialogTemplate(IDD_MAIN_FORM);
    if (form == nullptr) return platform::Size{};
    platform::Window probe;
    const Rect half = probe.DialogUnitsToPixels(Rect{0, 0, form->units.width / 2, form->units.height / 2});
    return platform::Size{half.Width(), half.Height()};
}

// Without a window manager the window is placed exactly where it asks: what the program made of the
// stored text is what the screen shows.
TEST_F(ProgramPlacementRealWindows, ADamagedStoredPlacementStillShowsTheWindowOnTheScreen) {
    shelltest::XConnection x;
    ASSERT_TRUE(x.IsOpen());
    const Rect screen = x.ScreenRect();
    const platform::Size least = LeastUsefulSize();
    ASSERT_GT(least.width, 200);
    ASSERT_GT(least.height, 120);
    const Rect fallback{0, 0, 600, 400};  // the default placement
    struct Case {
        const char* name;
        const char* stored;
        Rect shown;
    };
    const std::vector<Case> cases = {
        {"Empty", "0,0,0,0", fallback},
        {"Inverted", "0,0,-100,-100", fallback},
        {"SizeWrittenAsTheCorner", "2000,100,746,457", fallback},
        {"ExtremesInverted", "2147483647,2147483647,-2147483648,-2147483648", fallback},
        {"TooSmall", "10,10,20,20", Rect{10, 10, 10 + least.width, 10 + least.height}},
        {"TooSmallAtTheLargestInts", "2147483640,2147483640,2147483647,2147483647",
         Rect{screen.right - least.width, screen.bottom - least.height, screen.right, screen.bottom}},
        {"AtTheSmallestInts", "-2147483648,-2147483648,-2147483000,-2147483000", Rect{0, 0, 648, 648}},
        {"Sound", "30,40,830,640", Rect{30, 40, 830, 640}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.stored);
        StorePlacement(c.stored);
        const uint32_t window = Start();
        ASSERT_NE(window, 0u);
        const Rect shown = Settled(x, window);
        EXPECT_FALSE(shown.IsEmpty()) << "the main window is on view";
        EXPECT_EQ(Text(shown), Text(c.shown));
        EXPECT_TRUE(Inside(shown, screen)) << Text(shown);
        if (std::string(c.name) == "TooSmall") x.SaveScreen(gbxtest::ScreenshotPath("gbx-placement-too-small.png"));
        EXPECT_TRUE(End()) << "ends cleanly";
    }
}

// Each screen is an X server of its own, with openbox framing the window: the frame, not only the
// window inside it, lies inside the screen. Without a window manager the window itself fills it.
TEST_F(ProgramPlacementRealWindows, TheWholeFrameFitsTheScreen) {
    if (!gbxtest::HaveCommand("Xvfb") || !gbxtest::HaveCommand("openbox"))
        GTEST_SKIP() << "Xvfb and openbox are installed by scripts/install-deps.sh";
    struct Case {
        const char* name;
        const char* screen;
        const char* stored;  // null: the first run
        const char* scale;   // QT_SCALE_FACTOR, or null
        bool manager;
        bool grows = false;  // stored smaller than the least useful size: the window inside the frame grows to it
    };
    const Case cases[] = {
        {"StoredLargerThanTheScreen", "800x600x24", "100,100,1300,900", nullptr, true},
        {"FirstRunOnASmallScreen", "640x400x24", nullptr, nullptr, true},
        {"StoredLargerAtDoubleScale", "1600x1000x24", "100,100,1300,900", "2", true},
        {"StoredLargerWithoutAManager", "800x600x24", "100,100,1300,900", nullptr, false},
        {"TooSmallAtTheLargestInts", "800x600x24", "2147483640,2147483640,2147483647,2147483647", nullptr, true, true},
    };
    const platform::Size least = LeastUsefulSize();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shelltest::XServer server(c.screen);
        ASSERT_FALSE(server.Display().empty()) << "Xvfb starts";
        gbxtest::ScopedEnvironment display("DISPLAY", server.Display());
        gbxtest::ScopedEnvironment scale("QT_SCALE_FACTOR", c.scale);
        std::unique_ptr<shelltest::WindowManager> manager;
        if (c.manager) {
            manager = std::make_unique<shelltest::WindowManager>(server.Display());
            ASSERT_TRUE(manager->Running());
        }
        shelltest::XConnection x(server.Display());
        ASSERT_TRUE(x.IsOpen());
        const Rect screen = x.ScreenRect();
        StorePlacement(c.stored);
        const uint32_t window = Start();
        ASSERT_NE(window, 0u);
        const Rect frame = Settled(x, window);
        const Rect inner = x.InnerRect(window);
        x.SaveScreen(gbxtest::ScreenshotPath(std::string("gbx-frame-") + c.name + ".png"));
        ASSERT_FALSE(frame.IsEmpty()) << "the main window is on view";
        EXPECT_TRUE(Inside(frame, screen)) << "frame " << Text(frame) << " on " << Text(screen);
        if (c.grows) {
            EXPECT_GE(inner.Width(), least.width) << Text(inner);
            EXPECT_GE(inner.Height(), least.height) << Text(inner);
        }
        if (c.manager) {
            EXPECT_GT(frame.Height(), inner.Height()) << "framed: " << Text(frame) << " around " << Text(inner);
        } else {
            EXPECT_EQ(Text(frame), Text(screen)) << "today's fit: the window itself fills the screen";
        }
        EXPECT_TRUE(End()) << "ends cleanly";
    }
}

}  // namespace
