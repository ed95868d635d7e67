#include "general_tools/Drives.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "general_tools/DeviceChange.h"
#include "platform/system/VolumeDevices.h"
#include "platform/system/Volumes.h"
#include "tests/support/FatImage.h"
#include "tests/support/RecordingDeviceChangeHandler.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct DfReading {
    uint64_t size = 0;
    uint64_t avail = 0;
};

bool ReadDf(const std::string& path, DfReading& reading) {
    const auto result = gbxtest::Run("df -B1 --output=size,avail " + gbxtest::Quote(path) + " | tail -n 1");
    std::istringstream in(result.output);
    return result.exitCode == 0 && (in >> reading.size >> reading.avail);
}

// Free space on a shared disk moves while others write: take a reading of ours
// that matches a df reading taken just before or just after it.
void ExpectSpaceMatchesDf(const std::string& folder, const std::string& queried) {
    for (int attempt = 0; attempt < 10; ++attempt) {
        DfReading before, after;
        uint64_t total = 0, free = 0;
        ASSERT_TRUE(ReadDf(folder, before));
        ASSERT_TRUE(GT::GetDiskSpace(queried, total, free));
        ASSERT_TRUE(ReadDf(folder, after));
        EXPECT_EQ(total, before.size);
        if (free == before.avail || free == after.avail) return;
    }
    ADD_FAILURE() << "free space never matched df -B1 for " << folder;
}

bool Listed(const GT::CDriveList& drives, const std::string& id, const std::string& name) {
    for (const auto& d : drives)
        if (d.first == id) return d.second == name;
    return false;
}

TEST(DrivesTest, GbxVolumesFolderIsListedWithItsName) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    fs::create_directory(card);
    gbxtest::ScopedEnvironment env("GBX_VOLUMES", dir.File("absent") + ":" + card);
    const GT::CDriveList drives = GT::ListDrives();
    EXPECT_TRUE(Listed(drives, card, "QM-3 (" + card + ")"));
    for (std::size_t i = 1; i < drives.size(); ++i) EXPECT_LT(drives[i - 1].first, drives[i].first);
}

TEST(DrivesTest, FreeSpaceMatchesDf) {
    gbxtest::TempDir dir;
    ExpectSpaceMatchesDf(dir.Path(), dir.File("not/yet/there.wav"));
    uint64_t total = 1, free = 2;
    EXPECT_FALSE(GT::GetDiskSpace("", total, free));
    EXPECT_EQ(total, 1u);
}

TEST(DrivesTest, SpaceRequiredIsRoundedToClusters) {
    gbxtest::TempDir dir;
    const std::string target = dir.File("new.wav");
    const auto probe = gbxtest::Run("stat -f -c %S " + gbxtest::Quote(dir.Path()));
    const int64_t cluster = std::stoll(probe.output);
    ASSERT_GT(cluster, 0);
    const struct {
        int64_t size;
        int64_t needed;
    } cases[] = {
        {0, 0}, {1, cluster}, {cluster, cluster}, {cluster + 1, 2 * cluster}, {10 * cluster - 1, 10 * cluster}};
    for (const auto& c : cases) {
        int64_t needed = -5;
        EXPECT_TRUE(GT::GetDiskSpaceRequired(target, c.size, needed));
        EXPECT_EQ(needed, c.needed) << c.size;
    }
    int64_t needed = 99;
    EXPECT_FALSE(GT::GetDiskSpaceRequired(target, -1, needed));
    EXPECT_EQ(needed, 0);
    needed = 99;
    EXPECT_FALSE(GT::GetDiskSpaceRequired(target, INT64_MAX, needed));
    EXPECT_EQ(needed, 0);
}

TEST(DrivesTest, EjectSucceedsForAFolderVolumeAndRefusesOthers) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    fs::create_directory(card);
    gbxtest::ScopedEnvironment env("GBX_VOLUMES", card);
    EXPECT_TRUE(GT::EjectRemovableDrive(card));
    EXPECT_TRUE(GT::EjectRemovableDrive(card + "/Song"));  // any path on the card
    EXPECT_TRUE(fs::is_directory(card));
    EXPECT_FALSE(GT::EjectRemovableDrive("/"));
    EXPECT_FALSE(GT::EjectRemovableDrive(""));

    // The folder beside the card lies on whatever holds the temporary folder.
    platform::Volume holder;
    if (platform::FindVolumeForPath(platform::ListVolumes(), dir.Path(), holder) && platform::IsRemovableVolume(holder))
        GTEST_SKIP() << "the temporary folder lies on a removable volume (" << holder.id << ")";
    EXPECT_FALSE(GT::EjectRemovableDrive(dir.Path()));
}

TEST(DrivesTest, VolumeAndItsDiskShareADeviceNumber) {
    int checked = 0;
    for (const platform::Volume& volume : platform::ListVolumes()) {
        struct stat info {};
        if (volume.kind != platform::VolumeKind::Disk || stat(volume.device.c_str(), &info) != 0
            || !S_ISBLK(info.st_mode))
            continue;
        int fromDevice = 0, fromMount = 0;
        ASSERT_TRUE(GT::GetStorageDeviceNumber(volume.device, fromDevice)) << volume.device;
        ASSERT_TRUE(GT::GetStorageDeviceNumber(volume.mountPoint, fromMount)) << volume.mountPoint;
        EXPECT_EQ(fromDevice, fromMount) << volume.id;
        ++checked;
    }
    // Every partition and the disk it lies on.
    std::error_code ec;
    for (fs::directory_iterator it("/sys/class/block", ec), end; !ec && it != end; it.increment(ec)) {
        if (!fs::exists(it->path() / "partition")) continue;
        const std::string disk = fs::canonical(it->path()).parent_path().filename().string();
        const std::string part = "/dev/" + it->path().filename().string();
        int a = 0, b = 0;
        if (!fs::exists(part) || !fs::exists("/dev/" + disk)) continue;
        ASSERT_TRUE(GT::GetStorageDeviceNumber(part, a));
        ASSERT_TRUE(GT::GetStorageDeviceNumber("/dev/" + disk, b));
        EXPECT_EQ(a, b) << part;
        ++checked;
    }
    int number = 0;
    EXPECT_FALSE(GT::GetStorageDeviceNumber("/proc/self", number));
    EXPECT_FALSE(GT::GetStorageDeviceNumber("/no/such/device", number));
    if (checked == 0) GTEST_SKIP() << "no block device with a device file is visible here";
}

bool WaitForMountChange(int fd) {
    pollfd pfd{fd, POLLPRI, 0};
    return poll(&pfd, 1, 5000) > 0 && (pfd.revents & POLLPRI);
}

// A real card: a FAT image labelled QM-3, mounted with fusefat on a folder named QM-3.
TEST(RealCardTest, FatImageOnFuseIsListedMeasuredWatchedAndEjected) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;

    gbxtest::TempDir dir;
    const std::string mount = dir.File("QM-3");
    fs::create_directory(mount);
    gbxtest::CFatImage image(dir.File("card.img"), "QM-3", "16M");
    ASSERT_TRUE(image.IsMade());

    auto& handler = gbxtest::RecordingDeviceChangeHandler::First();
    handler.Install();
    handler.notices.clear();
    GT::CDeviceChangeWatcher watcher;
    ASSERT_GE(watcher.FileDescriptor(), 0);

    const int mounted = image.Mount(mount);
    if (mounted != 0) GTEST_SKIP() << "fusefat could not mount here (exit " << mounted << ")";

    ASSERT_TRUE(WaitForMountChange(watcher.FileDescriptor()));
    watcher.Dispatch();
    EXPECT_EQ(handler.notices, (std::vector<std::pair<int, std::string>>{{GT::DEVICE_ARRIVAL, mount}}));

    EXPECT_TRUE(Listed(GT::ListDrives(), mount, "QM-3 (" + mount + ")"));
    ExpectSpaceMatchesDf(mount, mount + "/Song/new.vxa");
    int64_t needed = 0;
    ASSERT_TRUE(GT::GetDiskSpaceRequired(mount + "/Song/new.vxa", 1, needed));
    EXPECT_EQ(needed, std::stoll(gbxtest::Run("stat -f -c %S " + gbxtest::Quote(mount)).output));

    handler.notices.clear();
    ASSERT_TRUE(GT::EjectRemovableDrive(mount));
    ASSERT_TRUE(WaitForMountChange(watcher.FileDescriptor()));
    watcher.Dispatch();
    EXPECT_EQ(handler.notices, (std::vector<std::pair<int, std::string>>{{GT::DEVICE_REMOVAL, mount}}));
    EXPECT_FALSE(Listed(GT::ListDrives(), mount, "QM-3 (" + mount + ")"));
}

}  // namespace
