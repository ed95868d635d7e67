#include "general_tools/Drives.h"

#include <limits>

#include "platform/system/DiskSpace.h"
#include "platform/system/VolumeDevices.h"
#include "platform/system/Volumes.h"

namespace GT {

CDriveList ListDrives() {
    CDriveList drives;
    for (const platform::Volume& volume : platform::ListVolumes()) drives.emplace_back(volume.id, volume.DisplayName());
    return drives;
}

namespace {

void TakeIdentity(const platform::VolumeIdentity& found, CVolumeIdentity& identity) {
    identity.mountId = found.mountId;
    identity.uniqueMountId = found.uniqueMountId;
    identity.device = found.device;
    identity.inode = found.inode;
    identity.serial = found.serial;
}

}  // namespace

bool GetVolumeIdentity(const std::string& folder, bool readSerial, CVolumeIdentity& identity) {
    platform::VolumeIdentity found;
    if (!platform::ReadVolumeIdentity(folder, readSerial, found)) return false;
    TakeIdentity(found, identity);
    return true;
}

bool GetVolumeIdentityOf(int folder, bool readSerial, CVolumeIdentity& identity) {
    platform::VolumeIdentity found;
    if (!platform::ReadVolumeIdentityOf(folder, readSerial, found)) return false;
    TakeIdentity(found, identity);
    return true;
}

bool GetDiskSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes) {
    platform::DiskSpace space;
    if (!platform::QueryDiskSpace(path, space)) return false;
    totalBytes = space.totalBytes;
    freeBytes = space.freeBytes;
    return true;
}

bool GetDiskSpaceRequired(const std::string& path, int64_t size, int64_t& needed) {
    needed = 0;
    if (size < 0) return false;
    platform::DiskSpace space;
    if (!platform::QueryDiskSpace(path, space) || space.clusterBytes == 0) return false;
    const auto cluster = static_cast<int64_t>(space.clusterBytes);
    if (size > std::numeric_limits<int64_t>::max() - (cluster - 1)) return false;
    needed = (size + (cluster - 1)) / cluster * cluster;
    return true;
}

bool GetStorageDeviceNumber(const std::string& devicePath, int& number) {
    unsigned major = 0, minor = 0;
    if (!platform::WholeDiskDeviceNumber(devicePath, major, minor)) return false;
    // The kernel's 32-bit device encoding.
    const uint32_t encoded = (minor & 0xffu) | (major << 8) | ((minor & ~0xffu) << 12);
    number = static_cast<int>(encoded);
    return true;
}

bool EjectRemovableDrive(const std::string& path) {
    if (path.size() < 2) return false;
    return platform::EjectVolume(path);
}

}  // namespace GT
