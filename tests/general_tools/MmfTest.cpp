#include "general_tools/Mmf.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/system/SystemFolders.h"
#include "tests/support/ManualEventLoop.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

class FakeWindows : public platform::IInstanceWindows {
public:
    uint32_t MainWindowId() override { return mainWindow; }
    void RestoreAndRaise(uint32_t windowId) override { raised.push_back(windowId); }
    uint32_t mainWindow = 0x00C0FFEE;
    std::vector<uint32_t> raised;
};

// Runs body in a child process and returns the bytes it wrote to the pipe.
template <class Body>
std::string InChild(Body body) {
    int fds[2];
    if (pipe(fds) != 0) return "pipe failed";
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        const std::string answer = body();
        (void)!write(fds[1], answer.data(), answer.size());
        _exit(0);
    }
    close(fds[1]);
    std::string answer;
    char chunk[64];
    ssize_t n;
    while ((n = read(fds[0], chunk, sizeof chunk)) > 0) answer.append(chunk, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return answer;
}

std::string SecondInstance() {
    return InChild([] {
        GT::CMmf guard;
        const bool made = guard.CreateInstanceLock("GbxTest");
        return std::string(made ? "made" : "failed") + (guard.IsFirstInstance() ? " first" : " later");
    });
}

class MmfTest : public ::testing::Test {
protected:
    MmfTest() : runtime("XDG_RUNTIME_DIR", dir.Path()) {
        platform::SetInstanceWindows(&windows);
        platform::SetEventLoop(&loop);
    }
    ~MmfTest() override {
        platform::SetEventLoop(nullptr);
        platform::SetInstanceWindows(nullptr);
    }
    uint32_t StoredWindow() {
        const auto bytes = gbxtest::ReadBytes(dir.File("InstanceManagerGbxTest"));
        if (bytes.size() != 4) return 0xFFFFFFFF;
        return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    }

    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment runtime;
    FakeWindows windows;
    gbxtest::ManualEventLoop loop;
};

TEST_F(MmfTest, FirstInstanceTakesTheGuardAndStoresItsWindow) {
    GT::CMmf guard;
    EXPECT_FALSE(guard.IsFirstInstance());
    ASSERT_TRUE(guard.CreateInstanceLock("GbxTest"));
    EXPECT_TRUE(guard.IsFirstInstance());
    EXPECT_EQ(StoredWindow(), 0u);
    ASSERT_TRUE(guard.StoreInstanceWindow());
    EXPECT_EQ(StoredWindow(), 0x00C0FFEEu);
}

TEST_F(MmfTest, SecondProcessIsRefusedAndAsksTheFirstToRaiseItsWindow) {
    GT::CMmf guard;
    ASSERT_TRUE(guard.CreateInstanceLock("GbxTest"));
    ASSERT_TRUE(guard.StoreInstanceWindow());
    ASSERT_EQ(loop.WatchCount(), 1u);

    EXPECT_EQ(SecondInstance(), "made later");
    EXPECT_EQ(loop.PollWatches(2000), 1);
    EXPECT_EQ(windows.raised, std::vector<uint32_t>{0x00C0FFEEu});
    EXPECT_TRUE(guard.IsFirstInstance());
}

TEST_F(MmfTest, SecondInstanceBeforeTheWindowIsStoredRaisesNothing) {
    GT::CMmf guard;
    ASSERT_TRUE(guard.CreateInstanceLock("GbxTest"));
    EXPECT_EQ(SecondInstance(), "made later");
    EXPECT_EQ(loop.PollWatches(100), 0);
    EXPECT_TRUE(windows.raised.empty());
}

TEST_F(MmfTest, CrashedFirstInstanceNeverBlocksALaterStart) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t first = fork();
    if (first == 0) {
        platform::SetEventLoop(nullptr);
        static GT::CMmf guard;
        const bool ok = guard.CreateInstanceLock("GbxTest") && guard.IsFirstInstance() && guard.StoreInstanceWindow();
        (void)!write(ready[1], ok ? "y" : "n", 1);
        for (;;) pause();
    }
    close(ready[1]);
    char answer = 0;
    ASSERT_EQ(read(ready[0], &answer, 1), 1);
    close(ready[0]);
    ASSERT_EQ(answer, 'y');

    {
        GT::CMmf later;
        ASSERT_TRUE(later.CreateInstanceLock("GbxTest"));
        EXPECT_FALSE(later.IsFirstInstance());
    }
    kill(first, SIGKILL);
    waitpid(first, nullptr, 0);

    GT::CMmf next;
    ASSERT_TRUE(next.CreateInstanceLock("GbxTest"));
    EXPECT_TRUE(next.IsFirstInstance());
    EXPECT_EQ(StoredWindow(), 0u);                   // the crashed holder's window is forgotten
    EXPECT_GE(next.Lock().ListenerDescriptor(), 0);  // its socket was replaced
    ASSERT_TRUE(next.StoreInstanceWindow());
    EXPECT_EQ(SecondInstance(), "made later");
    EXPECT_EQ(loop.PollWatches(2000), 1);
    EXPECT_EQ(windows.raised, std::vector<uint32_t>{0x00C0FFEEu});
}

TEST_F(MmfTest, GuardWithoutABlock) {
    GT::CMmf guard;
    EXPECT_TRUE(guard.StoreInstanceWindow());  // not the first instance: nothing to write
    EXPECT_EQ(guard.MapView(4, 0), nullptr);
    EXPECT_FALSE(fs::exists(dir.File("InstanceManagerGbxTest")));
    EXPECT_FALSE(guard.CreateInstanceLock("bad/name"));
    EXPECT_FALSE(guard.IsFirstInstance());
}

TEST_F(MmfTest, EmptyNameUsesTheProgramName) {
    GT::CMmf guard;
    ASSERT_TRUE(guard.CreateInstanceLock(""));
    EXPECT_TRUE(fs::exists(dir.File("InstanceManager" + platform::ApplicationName())));
}

TEST_F(MmfTest, ViewsStayInsideTheBlock) {
    GT::CMmf block;
    ASSERT_GE(block.Create("GbxBlock", 16), 0);
    EXPECT_EQ(block.MapView(8, 12), nullptr);
    EXPECT_EQ(block.MapView(0, 0), nullptr);
    void* view = block.MapView(4, 12);
    ASSERT_NE(view, nullptr);
    static_cast<unsigned char*>(view)[0] = 0xAB;
    block.UnmapView(view);
    const auto bytes = gbxtest::ReadBytes(dir.File("GbxBlock"));
    ASSERT_EQ(bytes.size(), 16u);
    EXPECT_EQ(bytes[12], 0xAB);
}

}  // namespace
