#include "platform/window/Application.h"
#include "platform/window/SystemLoopBridge.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <poll.h>
#include <unistd.h>

namespace {

class SystemLoopBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
};

TEST_F(SystemLoopBridgeTest, StartingTheWindowSystemInstallsTheLoop) {
    EXPECT_NE(platform::GetEventLoop(), nullptr);
    EXPECT_NE(dynamic_cast<platform::ToolkitEventLoop*>(platform::GetEventLoop()), nullptr);
    EXPECT_NE(platform::GetInstanceWindows(), nullptr);
}

TEST_F(SystemLoopBridgeTest, TimerRunsUntilRemovedFromItsOwnCallback) {
    platform::ToolkitEventLoop loop;
    int calls = 0;
    int id = 0;
    id = loop.AddTimer(1, [&] {
        if (++calls == 3) loop.RemoveTimer(id);
    });
    ASSERT_NE(id, 0);
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return calls >= 3; }));
    for (int i = 0; i < 30; ++i) platform::ProcessEvents();
    EXPECT_EQ(calls, 3);
    loop.RemoveTimer(id);  // unknown by now: ignored
    loop.RemoveTimer(12345);
}

TEST_F(SystemLoopBridgeTest, WatchReportsReadableDescriptor) {
    platform::ToolkitEventLoop loop;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    int calls = 0;
    int id = 0;
    id = loop.AddWatch(fds[0], POLLIN, [&] {
        char byte;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        ++calls;
        loop.RemoveWatch(id);
    });
    ASSERT_NE(id, 0);
    for (int i = 0; i < 5; ++i) platform::ProcessEvents();
    EXPECT_EQ(calls, 0);
    ASSERT_EQ(write(fds[1], "xy", 2), 2);
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return calls == 1; }));
    for (int i = 0; i < 10; ++i) platform::ProcessEvents();
    EXPECT_EQ(calls, 1) << "removed inside its callback";
    EXPECT_EQ(loop.AddWatch(-1, POLLIN, [] {}), 0);
    close(fds[0]);
    close(fds[1]);
}

TEST_F(SystemLoopBridgeTest, RaiseRequestRestoresTheMainWindow) {
    platform::IInstanceWindows* windows = platform::GetInstanceWindows();
    ASSERT_NE(windows, nullptr);
    EXPECT_EQ(windows->MainWindowId(), 0u) << "no main window yet";
    platform::Window main;
    platform::SetMainWindow(&main);
    main.Show();
    main.Widget()->showMinimized();
    EXPECT_TRUE(main.IsMinimised());
    const uint32_t id = windows->MainWindowId();
    EXPECT_NE(id, 0u);
    windows->RestoreAndRaise(id);
    EXPECT_FALSE(main.IsMinimised());
    EXPECT_TRUE(main.IsVisible());
}

}  // namespace
