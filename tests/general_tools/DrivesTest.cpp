#include "general_tools/Drives.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "general_tools/DeviceChange.h"
#include "platform/system/VolumeDevices.h"
#include "platform/system/Volumes.h"
#include "tests/support/FakeDiskSpace.h"
#include "tests/support/FatImage.h"
#include "tests/support/OwnMounts.h"
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

// For a file system that nothing else writes to: our figures are df's.
void ExpectSpaceMatchesDf(const std::string& folder, const std::string& queried) {
    DfReading df;
    uint64_t total = 0, free = 0;
    ASSERT_TRUE(ReadDf(folder, df));
    ASSERT_TRUE(GT::GetDiskSpace(queried, total, free));
    EXPECT_EQ(total, df.size);
    EXPECT_EQ(free, df.avail);
}

// Our figures and df's for the file system at a folder: "total free size avail".
std::string SpaceAndDf(const std::string& folder) {
    uint64_t total = 0, free = 0;
    DfReading df;
    if (!GT::GetDiskSpace(folder + "/not/yet/there.wav", total, free) || !ReadDf(folder, df)) return "failed";
    return std::to_string(total) + " " + std::to_string(free) + " " + std::to_string(df.size) + " "
           + std::to_string(df.avail);
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(out << text);
}

constexpr uint64_t kPrivateSize = 16 << 20;
constexpr uint64_t kWrittenSize = 1 << 20;

// Runs in a child process: mounts a tmpfs of its own on the folder, in a user and mount
// namespace of its own, and answers our figures and df's before and after writing 1 MiB there;
// or "unavailable" and why.
std::string ReadOnAPrivateTmpfs(const std::string& folder) {
    const uid_t uid = getuid();
    const gid_t gid = getgid();
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return std::string("unavailable unshare: ") + std::strerror(errno);
    if (!WriteFile("/proc/self/setgroups", "deny")
        || !WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1")
        || !WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
        return "unavailable: the namespace's user map cannot be written";
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount("gbxtest", folder.c_str(), "tmpfs", 0, ("size=" + std::to_string(kPrivateSize)).c_str()) != 0)
        return std::string("unavailable mount: ") + std::strerror(errno);
    const std::string before = SpaceAndDf(folder);
    if (!WriteFile(folder + "/written", std::string(kWrittenSize, 'x'))) return "failed to write";
    return "readings " + before + " " + SpaceAndDf(folder);
}

// ReadOnAPrivateTmpfs in a child process, whose namespaces and mount end with it.
std::string InChildProcess(const std::string& folder) {
    int fds[2];
    if (pipe(fds) != 0) return "unavailable pipe";
    const pid_t pid = fork();
    if (pid < 0) return "unavailable fork";
    if (pid == 0) {
        close(fds[0]);
        const std::string answer = ReadOnAPrivateTmpfs(folder);
        const bool sent = write(fds[1], answer.data(), answer.size()) == ssize_t(answer.size());
        _exit(sent ? 0 : 1);
    }
    close(fds[1]);
    std::string answer;
    char chunk[256];
    for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) answer.append(chunk, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return answer;
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
    // No mount of the machine's: a card plugged in would sort before the folder.
    const gbxtest::COwnMounts own({dir.Path()}, dir.File("mountinfo"));
    const GT::CDriveList drives = GT::ListDrives();
    EXPECT_TRUE(Listed(drives, card, "QM-3 (" + card + ")"));
    for (std::size_t i = 1; i < drives.size(); ++i) EXPECT_LT(drives[i - 1].first, drives[i].first);
}

// Compared with df on a file system whose contents nothing else changes (a tmpfs of our own), so
// that other processes writing to the machine's disks cannot move the figures between the two
// readings. Where the machine allows no such mount, only what other writers cannot change is
// compared: the size of the disk that holds the temporary folder.
TEST(DrivesTest, FreeSpaceMatchesDf) {
    gbxtest::TempDir dir;
    const std::string folder = dir.File("private");
    fs::create_directory(folder);
    std::istringstream answer(InChildProcess(folder));
    std::string kind;
    answer >> kind;
    if (kind == "readings") {
        struct {
            uint64_t total, free, dfSize, dfAvail;
        } before, after;
        for (auto* r : {&before, &after}) answer >> r->total >> r->free >> r->dfSize >> r->dfAvail;
        ASSERT_TRUE(answer) << answer.str();
        EXPECT_EQ(before.total, kPrivateSize);
        EXPECT_EQ(before.free, kPrivateSize);
        for (const auto* r : {&before, &after}) {
            EXPECT_EQ(r->total, r->dfSize);
            EXPECT_EQ(r->free, r->dfAvail);
        }
        EXPECT_EQ(before.free - after.free, kWrittenSize) << "the file written takes its size";
    } else {
        ASSERT_EQ(kind, "unavailable") << answer.str();
        uint64_t total = 0, free = 0;
        DfReading df;
        ASSERT_TRUE(GT::GetDiskSpace(dir.File("not/yet/there.wav"), total, free));
        ASSERT_TRUE(ReadDf(dir.Path(), df));
        EXPECT_EQ(total, df.size);
        EXPECT_LE(free, total);
        GTEST_SKIP() << "no file system of our own can be mounted here (" << answer.str()
                     << "): free space compared with the disk's size only";
    }
}

// What the general tools make of the figures the system gives, through the injected source.
TEST(DrivesTest, SpaceFiguresComeFromTheSystemsAnswer) {
    gbxtest::FakeDiskSpace disk;
    disk.space = {uint64_t(64) << 30, 123456789, 32768};  // a 64 GiB card with 32 KiB clusters
    uint64_t total = 0, free = 0;
    ASSERT_TRUE(GT::GetDiskSpace("/media/QM-3/Song/new.vxa", total, free));
    EXPECT_EQ(total, uint64_t(64) << 30);
    EXPECT_EQ(free, 123456789u);
    EXPECT_EQ(disk.queried, (std::vector<std::string>{"/media/QM-3/Song/new.vxa"}));

    const struct {
        int64_t size;
        bool ok;
        int64_t needed;
    } cases[] = {{0, true, 0},
                 {1, true, 32768},
                 {32768, true, 32768},
                 {32769, true, 65536},
                 {INT64_MAX - 32767, true, INT64_MAX - 32767},
                 {INT64_MAX - 32766, false, 0},
                 {-1, false, 0}};
    for (const auto& c : cases) {
        int64_t needed = -5;
        EXPECT_EQ(GT::GetDiskSpaceRequired("/media/QM-3/x", c.size, needed), c.ok) << c.size;
        EXPECT_EQ(needed, c.needed) << c.size;
    }
    disk.space.clusterBytes = 0;  // a file system that names no cluster size
    int64_t needed = -5;
    EXPECT_FALSE(GT::GetDiskSpaceRequired("/media/QM-3/x", 1, needed));
    EXPECT_EQ(needed, 0);

    disk.answers = false;  // the query fails: nothing is made up
    total = 1, free = 2;
    EXPECT_FALSE(GT::GetDiskSpace("/media/QM-3", total, free));
    EXPECT_EQ(total, 1u);
    EXPECT_EQ(free, 2u);
    EXPECT_FALSE(GT::GetDiskSpaceRequired("/media/QM-3", 1, needed));
}

TEST(DrivesTest, WithoutAFolderThereIsNoSpace) {
    uint64_t total = 1, free = 2;
    EXPECT_FALSE(GT::GetDiskSpace("", total, free));
    EXPECT_EQ(total, 1u);
    EXPECT_EQ(free, 2u);
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

// A folder named in GBX_VOLUMES comes before every mounted volume: a mounted card labelled QM-3
// (here in a mount table of the test's own) does not win over it.
TEST(DrivesTest, GbxVolumesFoldersComeBeforeAMountedCard) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    fs::create_directory(card);
    gbxtest::WriteText(dir.File("mountinfo"), "61 27 0:40 / /media/me/QM-3 rw - fuse.fusefat fusefat rw\n");
    gbxtest::ScopedEnvironment table("GBX_MOUNTINFO", dir.File("mountinfo"));
    gbxtest::ScopedEnvironment folders("GBX_VOLUMES", card);
    const GT::CDriveList drives = GT::ListDrives();
    ASSERT_FALSE(drives.empty());
    EXPECT_EQ(drives[0], GT::CDriveRecord(card, "QM-3 (" + card + ")"));
    EXPECT_TRUE(Listed(drives, "/media/me/QM-3", "QM-3 (/media/me/QM-3)"));
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
    // Only the root's mount of the machine's table: a card plugged in is never looked at.
    gbxtest::TempDir dir;
    const gbxtest::COwnMounts root({"/"}, dir.File("mountinfo"));
    int checked = 0;
    std::set<std::string> rootDisks;  // the sysfs names of the disks the root lies on
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
        std::error_code ec;
        const fs::path node = fs::canonical("/sys/class/block" / fs::path(volume.device).filename(), ec);
        if (ec) continue;
        rootDisks.insert(fs::exists(node / "partition") ? node.parent_path().filename().string()
                                                        : node.filename().string());
    }
    // Every partition of the root's disks and the disk it lies on; no other disk (a card plugged in
    // among them) is looked at.
    std::error_code ec;
    for (fs::directory_iterator it("/sys/class/block", ec), end; !ec && it != end; it.increment(ec)) {
        if (!fs::exists(it->path() / "partition")) continue;
        const std::string disk = fs::canonical(it->path()).parent_path().filename().string();
        if (rootDisks.count(disk) == 0) continue;
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
    // The listing sees only this test's mount; the watcher still hears the system's table.
    const gbxtest::COwnMounts own({mount}, dir.File("mountinfo"));

    auto& handler = gbxtest::RecordingDeviceChangeHandler::First();
    handler.Install();
    handler.notices.clear();
    GT::CDeviceChangeWatcher watcher;
    ASSERT_GE(watcher.FileDescriptor(), 0);

    const int mounted = image.Mount(mount);
    if (mounted != 0) GTEST_SKIP() << "fusefat could not mount here (exit " << mounted << ")";

    ASSERT_TRUE(WaitForMountChange(watcher.FileDescriptor()));
    own.Refresh();
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
    own.Refresh();
    watcher.Dispatch();
    EXPECT_EQ(handler.notices, (std::vector<std::pair<int, std::string>>{{GT::DEVICE_REMOVAL, mount}}));
    EXPECT_FALSE(Listed(GT::ListDrives(), mount, "QM-3 (" + mount + ")"));
}

}  // namespace
