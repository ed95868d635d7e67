#include "platform/system/Volumes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

using platform::VolumeKind;

// Written as the kernel writes it: blanks in paths as \040, optional fields before "-".
const char kMountInfo[] =
    "21 27 0:20 / /proc rw,relatime - proc proc rw\n"
    "23 27 0:6 / /dev rw,relatime - devtmpfs udev rw,size=100k\n"
    "27 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
    "60 27 8:17 / /media/me/My\\040Card rw,nosuid shared:300 master:1 - vfat /dev/sdb1 rw,uid=1000\n"
    "61 27 0:40 / /mnt/QM-3 rw,nosuid,nodev - fuse.fusefat fusefat rw,user_id=0\n"
    "62 27 8:33 / /media/me/NTFS rw - fuseblk /dev/sdc1 rw\n"
    "63 27 11:0 / /media/me/AUDIO rw - iso9660 /dev/sr0 ro\n"
    "64 27 254:1 /home/me/share /srv/share rw - ext4 /dev/vda1 rw\n"
    "65 27 0:50 / /run/user/1000/gvfs rw - fuse.gvfsd-fuse gvfsd-fuse rw\n"
    "66 27 0:51 / /tmp rw - tmpfs tmpfs rw\n"
    "broken line\n"
    "67 27 0:52 / /x rw - \n"
    "68 27 0:33 /@home /home rw,relatime shared:2 - btrfs /dev/nvme0n1p2 rw,subvol=/@home\n"
    "69 27 254:1 /etc/hosts /etc/hosts rw - ext4 /dev/vda1 rw\n";

TEST(MountInfoTest, ParsesFieldsAndUndoesEscapes) {
    const auto entries = platform::ParseMountInfo(kMountInfo);
    ASSERT_EQ(entries.size(), 12u);  // the two malformed lines are skipped
    const platform::MountEntry& card = entries[3];
    EXPECT_EQ(card.id, 60u);
    EXPECT_EQ(card.major, 8u);
    EXPECT_EQ(card.minor, 17u);
    EXPECT_EQ(card.root, "/");
    EXPECT_EQ(card.mountPoint, "/media/me/My Card");
    EXPECT_EQ(card.fsType, "vfat");  // found after the optional fields
    EXPECT_EQ(card.source, "/dev/sdb1");
    EXPECT_EQ(entries[7].root, "/home/me/share");
}

TEST(MountInfoTest, UnescapesOctalSequences) {
    const struct {
        const char* field;
        const char* text;
    } cases[] = {
        {"a\\040b", "a b"}, {"tab\\011x", "tab\tx"}, {"nl\\012", "nl\n"},    {"back\\134slash", "back\\slash"},
        {"\\04", "\\04"},   {"\\089", "\\089"},      {"trail\\", "trail\\"}, {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::UnescapeMountField(c.field), c.text) << c.field;
}

TEST(MountInfoTest, OnlyWholeBlockAndFuseFileSystemsAreVolumes) {
    std::map<std::string, bool> expected = {
        {"/proc", false},
        {"/dev", false},
        {"/", true},
        {"/media/me/My Card", true},
        {"/mnt/QM-3", true},
        {"/media/me/NTFS", true},
        {"/media/me/AUDIO", true},
        {"/srv/share", false},
        {"/run/user/1000/gvfs", false},
        {"/tmp", false},
        {"/home", true},
        {"/etc/hosts", false},
    };
    for (const auto& entry : platform::ParseMountInfo(kMountInfo))
        EXPECT_EQ(platform::IsVolumeMount(entry), expected.at(entry.mountPoint)) << entry.mountPoint;
}

TEST(ListVolumesTest, ListsFoldersFirstThenMountsAndCdDrivesSortedById) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    std::filesystem::create_directory(card);
    platform::VolumeSources sources;
    sources.mountInfo = kMountInfo;
    sources.extraFolders = ":" + card + "/:" + dir.File("missing");
    sources.cdDevices = {"/dev/sr0", "/dev/sr1"};
    sources.readLabels = false;

    std::vector<std::pair<std::string, VolumeKind>> got;
    std::vector<std::string> names;
    for (const auto& v : platform::ListVolumes(sources)) {
        got.emplace_back(v.id, v.kind);
        names.push_back(v.DisplayName());
    }
    std::vector<std::pair<std::string, VolumeKind>> want = {
        {"/", VolumeKind::Disk},
        {"/home", VolumeKind::Disk},
        {"/dev/sr0", VolumeKind::CdDrive},
        {"/dev/sr1", VolumeKind::CdDrive},
        {"/media/me/My Card", VolumeKind::Disk},
        {"/media/me/NTFS", VolumeKind::Fuse},
        {"/mnt/QM-3", VolumeKind::Fuse},
    };
    std::sort(want.begin(), want.end());
    want.insert(want.begin(), {card, VolumeKind::Folder});
    EXPECT_EQ(got, want);
    // Without a label each volume still appears, under its folder (or device) name.
    EXPECT_NE(std::find(names.begin(), names.end(), "My Card (/media/me/My Card)"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "sr0 (/dev/sr0)"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "QM-3 (/mnt/QM-3)"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "QM-3 (" + card + ")"), names.end());
}

// A mounted volume labelled QM-3 never wins over the folders that GBX_VOLUMES names: they come
// first, in the order named, and a named folder that is a mount point is listed once, as a folder
// carrying its mount's id.
TEST(ListVolumesTest, NamedFoldersComeBeforeEveryMountedVolume) {
    gbxtest::TempDir dir;
    const std::string second = dir.File("b/QM-3");
    const std::string first = dir.File("a/Gigbox");
    std::filesystem::create_directories(first);
    std::filesystem::create_directories(second);
    platform::VolumeSources sources;
    sources.mountInfo = std::string(kMountInfo) + "90 27 0:60 / " + second + " rw - fuse.fusefat fusefat rw\n";
    sources.extraFolders = second + ":" + first + ":" + second;
    sources.readLabels = false;
    const auto volumes = platform::ListVolumes(sources);
    ASSERT_GE(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].id, second);
    EXPECT_EQ(volumes[0].kind, VolumeKind::Folder);
    EXPECT_EQ(volumes[0].mountId, 90u);
    EXPECT_EQ(volumes[1].id, first);
    EXPECT_EQ(volumes[1].mountId, 0u);
    EXPECT_EQ(volumes[2].id, "/");
    EXPECT_EQ(std::count_if(volumes.begin(), volumes.end(), [&](const platform::Volume& v) { return v.id == second; }),
              1);
    for (const auto& v : volumes) {
        if (v.id == "/mnt/QM-3") {
            EXPECT_EQ(v.mountId, 61u);
        }
    }
}

// A folder that stands for a card (a GBX_VOLUMES folder) is told by its device and inode within
// its mount; its disk is never looked at for a serial. A file or nothing is no volume.
TEST(VolumeIdentityTest, AFolderIsToldByItsInodeWithinItsMount) {
    gbxtest::TempDir dir;
    std::filesystem::create_directory(dir.File("a"));
    std::filesystem::create_directory(dir.File("b"));
    gbxtest::WriteText(dir.File("file"), "x");
    platform::VolumeIdentity a, b, again;
    ASSERT_TRUE(platform::ReadVolumeIdentity(dir.File("a"), true, a));
    ASSERT_TRUE(platform::ReadVolumeIdentity(dir.File("b"), true, b));
    ASSERT_TRUE(platform::ReadVolumeIdentity(dir.File("a"), true, again));
    EXPECT_EQ(a.device, b.device);
    EXPECT_EQ(a.mountId, b.mountId);
    EXPECT_NE(a.inode, b.inode);
    EXPECT_TRUE(a.serial.empty());
    EXPECT_EQ(again.inode, a.inode);
    EXPECT_EQ(again.mountId, a.mountId);
    EXPECT_FALSE(platform::ReadVolumeIdentity(dir.File("file"), false, a));
    EXPECT_FALSE(platform::ReadVolumeIdentity(dir.File("missing"), false, a));
}

TEST(ListVolumesTest, CdDriveCarriesTheMountOfItsDisc) {
    platform::VolumeSources sources;
    sources.mountInfo = kMountInfo;
    sources.cdDevices = {"/dev/sr0"};
    sources.readLabels = false;
    int cdRecords = 0;
    for (const auto& v : platform::ListVolumes(sources)) {
        EXPECT_NE(v.id, "/media/me/AUDIO");  // the disc is the drive's record, not one of its own
        if (v.kind == VolumeKind::CdDrive) {
            ++cdRecords;
            EXPECT_EQ(v.mountPoint, "/media/me/AUDIO");
        }
    }
    EXPECT_EQ(cdRecords, 1);
}

TEST(ListVolumesTest, GbxVolumesFolderAppearsInTheSystemListing) {
    gbxtest::TempDir dir;
    const std::string card = dir.File("QM-3");
    std::filesystem::create_directory(card);
    gbxtest::ScopedEnvironment env("GBX_VOLUMES", card);
    bool found = false;
    for (const auto& v : platform::ListVolumes()) {
        if (v.id != card) continue;
        found = true;
        EXPECT_EQ(v.kind, VolumeKind::Folder);
        EXPECT_EQ(v.DisplayName(), "QM-3 (" + card + ")");
    }
    EXPECT_TRUE(found);
}

TEST(ListVolumesTest, FindsTheVolumeThatHoldsAPath) {
    platform::VolumeSources sources;
    sources.mountInfo = kMountInfo;
    sources.cdDevices = {"/dev/sr0"};
    sources.readLabels = false;
    const auto volumes = platform::ListVolumes(sources);
    const struct {
        const char* path;
        const char* id;
    } cases[] = {
        {"/media/me/My Card/Song/a.wav", "/media/me/My Card"},
        {"/media/me/My Card", "/media/me/My Card"},
        {"/media/me/My Cardigan/x", "/"},  // a longer name is not inside the card
        {"/mnt/QM-3/", "/mnt/QM-3"},
        {"/dev/sr0", "/dev/sr0"},
        {"/media/me/AUDIO/track", "/dev/sr0"},
        {"/home/me", "/home"},
        {"/homework", "/"},
    };
    for (const auto& c : cases) {
        platform::Volume v;
        ASSERT_TRUE(platform::FindVolumeForPath(volumes, c.path, v)) << c.path;
        EXPECT_EQ(v.id, c.id) << c.path;
    }
}

}  // namespace

namespace {

TEST(DeviceLabelTest, LibblkidReadsTheLabelOfAFatImage) {
    if (!gbxtest::HaveCommand("mkfs.vfat")) GTEST_SKIP() << "mkfs.vfat is not installed";
    gbxtest::TempDir dir;
    const struct {
        const char* label;
        const char* expected;
    } cases[] = {{"QM-3", "QM-3"}, {"GIGBOX 01", "GIGBOX 01"}, {nullptr, ""}};
    for (const auto& c : cases) {
        const std::string image = dir.File("card.img");
        std::filesystem::remove(image);
        ASSERT_EQ(gbxtest::Run("truncate -s 4M " + gbxtest::Quote(image)).exitCode, 0);
        const std::string label = c.label ? " -n " + gbxtest::Quote(c.label) : "";
        ASSERT_EQ(gbxtest::Run("mkfs.vfat" + label + " " + gbxtest::Quote(image) + " >/dev/null").exitCode, 0);
        EXPECT_EQ(platform::ReadDeviceLabel(image), c.expected) << (c.label ? c.label : "(none)");
    }
    gbxtest::WriteText(dir.File("plain"), std::string(8192, 'x'));
    EXPECT_EQ(platform::ReadDeviceLabel(dir.File("plain")), "");
    EXPECT_EQ(platform::ReadDeviceLabel(dir.File("missing")), "");
}

}  // namespace
