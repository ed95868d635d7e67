#include "platform/system/VolumeWatcher.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/ManualEventLoop.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct Notice {
    bool arrived;
    std::string id;
    bool operator==(const Notice& o) const { return arrived == o.arrived && id == o.id; }
};
std::ostream& operator<<(std::ostream& out, const Notice& n) {
    return out << (n.arrived ? "arrival " : "removal ") << n.id;
}

class VolumeWatcherTest : public ::testing::Test {
protected:
    VolumeWatcherTest()
        : first(dir.File("QM-3")),
          second(dir.File("Other")),
          env("GBX_VOLUMES", first + ":" + second),
          watcher([this](bool arrived, const std::string& id) {
              notices.push_back({arrived, id});
          }) {}

    gbxtest::TempDir dir;
    std::string first, second;
    gbxtest::ScopedEnvironment env;
    std::vector<Notice> notices;
    platform::VolumeWatcher watcher;
};

TEST_F(VolumeWatcherTest, ReportsEachFolderThatAppearsOrGoes) {
    watcher.Dispatch();
    EXPECT_TRUE(notices.empty());  // nothing changed since the first look

    fs::create_directory(first);
    fs::create_directory(second);
    watcher.Dispatch();
    EXPECT_EQ(notices, (std::vector<Notice>{{true, second}, {true, first}}));

    notices.clear();
    fs::remove(first);
    watcher.Dispatch();
    watcher.Dispatch();
    EXPECT_EQ(notices, (std::vector<Notice>{{false, first}}));
}

TEST_F(VolumeWatcherTest, LoopChecksOnceASecondUntilDetached) {
    gbxtest::ManualEventLoop loop;
    ASSERT_TRUE(watcher.Attach(loop));
    EXPECT_EQ(loop.WatchCount(), watcher.FileDescriptor() >= 0 ? 1u : 0u);

    fs::create_directory(first);
    loop.Advance(999);
    EXPECT_TRUE(notices.empty());
    loop.Advance(1);
    EXPECT_EQ(notices, (std::vector<Notice>{{true, first}}));

    watcher.Detach();
    EXPECT_EQ(loop.TimerCount(), 0u);
    EXPECT_EQ(loop.WatchCount(), 0u);
    fs::remove(first);
    loop.Advance(5000);
    EXPECT_EQ(notices.size(), 1u);
}

// Another card mounted where the card was (unmounted and mounted again between two looks) has a
// new mount id: the card went and another arrived. Changes of other mounts tell nothing.
TEST(VolumeWatcherMountsTest, AMountPointMountedAnewIsARemovalAndAnArrival) {
    gbxtest::TempDir dir;
    const std::string table = dir.File("mountinfo");
    const auto mountsWithCardId = [&](int id) {
        gbxtest::WriteText(table,
                           "27 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
                           "30 27 0:20 / /proc rw - proc proc rw\n"
                               + std::to_string(id) + " 27 0:40 / /media/me/QM-3 rw - fuse.fusefat fusefat rw\n");
    };
    mountsWithCardId(61);
    gbxtest::ScopedEnvironment injected("GBX_MOUNTINFO", table);
    gbxtest::ScopedEnvironment noFolders("GBX_VOLUMES", "");
    std::vector<Notice> notices;
    platform::VolumeWatcher watcher([&](bool arrived, const std::string& id) { notices.push_back({arrived, id}); });

    mountsWithCardId(61);
    watcher.Dispatch();
    EXPECT_TRUE(notices.empty());

    mountsWithCardId(75);
    watcher.Dispatch();
    EXPECT_EQ(notices, (std::vector<Notice>{{false, "/media/me/QM-3"}, {true, "/media/me/QM-3"}}));

    notices.clear();
    gbxtest::WriteText(table,
                       "27 1 254:1 / / rw - ext4 /dev/vda1 rw\n"
                       "31 27 0:20 / /proc rw - proc proc rw\n"
                       "75 27 0:40 / /media/me/QM-3 rw - fuse.fusefat fusefat rw\n");
    watcher.Dispatch();
    EXPECT_TRUE(notices.empty());
}

TEST_F(VolumeWatcherTest, MountTableDescriptorIsQuietWithoutChanges) {
    ASSERT_GE(watcher.FileDescriptor(), 0);
    pollfd pfd{watcher.FileDescriptor(), platform::VolumeWatcher::kEvents, 0};
    EXPECT_EQ(poll(&pfd, 1, 0), 0);
}

}  // namespace
