#include "platform/system/VolumeDevices.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/system/Process.h"

namespace fs = std::filesystem;

namespace platform {

namespace {

// The sysfs folder of the whole disk behind a device number; empty when unknown.
std::string WholeDiskFolder(unsigned major, unsigned minor) {
    std::error_code ec;
    const fs::path link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
    fs::path folder = fs::canonical(link, ec);
    if (ec) return {};
    if (fs::exists(folder / "partition", ec)) folder = folder.parent_path();
    return folder.string();
}

bool ReadDeviceNumber(const std::string& file, unsigned& major, unsigned& minor) {
    const std::string text = ReadTextFile(file);
    return std::sscanf(text.c_str(), "%u:%u", &major, &minor) == 2;
}

std::string FusermountProgram() { return HaveProgram("fusermount") ? "fusermount" : "fusermount3"; }

}  // namespace

bool WholeDiskDeviceNumber(const std::string& path, unsigned& major, unsigned& minor) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0) return false;
    const dev_t device = S_ISBLK(info.st_mode) ? info.st_rdev : info.st_dev;
    const std::string disk = WholeDiskFolder(::major(device), ::minor(device));
    if (disk.empty()) return false;
    return ReadDeviceNumber(disk + "/dev", major, minor);
}

bool IsRemovableVolume(const Volume& volume) {
    switch (volume.kind) {
        case VolumeKind::Folder:
        case VolumeKind::Fuse:
            return true;
        case VolumeKind::CdDrive:
            return false;
        case VolumeKind::Disk:
            break;
    }
    struct stat info {};
    if (stat(volume.device.c_str(), &info) != 0 || !S_ISBLK(info.st_mode)) return false;
    const std::string disk = WholeDiskFolder(::major(info.st_rdev), ::minor(info.st_rdev));
    return !disk.empty() && ReadTextFile(disk + "/removable").compare(0, 1, "1") == 0;
}

bool EjectVolume(const std::string& path) {
    Volume volume;
    if (!FindVolumeForPath(ListVolumes(), path, volume) || !IsRemovableVolume(volume)) return false;
    switch (volume.kind) {
        case VolumeKind::Folder:
            return true;
        case VolumeKind::Fuse:
            // A file system daemon can stay busy for a moment after its last request (a desktop indexer
            // scanning a card just mounted): a few short retries before the user is told it is in use.
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (attempt > 0) usleep(150 * 1000);
                if (RunProgram({FusermountProgram(), "-u", volume.mountPoint}) == 0) return true;
            }
            return false;
        case VolumeKind::CdDrive:
            return false;
        case VolumeKind::Disk:
            break;
    }
    if (!HaveProgram("udisksctl")) return umount2(volume.mountPoint.c_str(), 0) == 0;
    if (RunProgram({"udisksctl", "unmount", "--no-user-interaction", "-b", volume.device}) != 0) return false;
    // The data is safe once unmounted; a reader that cannot be powered off still counts as ejected.
    struct stat info {};
    if (stat(volume.device.c_str(), &info) == 0) {
        const std::string disk = WholeDiskFolder(::major(info.st_rdev), ::minor(info.st_rdev));
        if (!disk.empty())
            RunProgram({"udisksctl", "power-off", "--no-user-interaction", "-b",
                        "/dev/" + fs::path(disk).filename().string()});
    }
    return true;
}

}  // namespace platform
