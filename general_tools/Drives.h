// Drives: the volumes with their display names, free space, and ejection.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace GT {

// first: the volume's id (mount point, or a CD drive's device); second: its
// display name, "LABEL (id)".
typedef std::pair<std::string, std::string> CDriveRecord;
typedef std::vector<CDriveRecord> CDriveList;

// Every volume: the GBX_VOLUMES folders first, then disks, FUSE mounts and CD drives in id order.
CDriveList ListDrives();

// What tells the file system at a folder from another one mounted there later: the mount's id
// (unique for the running system where the kernel gives such an id), the folder's device and
// inode, and a block device's file-system serial (the FAT volume id).
struct CVolumeIdentity {
    uint64_t mountId = 0;
    bool uniqueMountId = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    std::string serial;  // empty when none was read
};
// The folder's identity now (the serial only when asked: it looks at the device); false when the
// folder cannot be looked at.
bool GetVolumeIdentity(const std::string& folder, bool readSerial, CVolumeIdentity& identity);
// The same of a folder open at a descriptor: the folder itself, whatever its path leads to now.
bool GetVolumeIdentityOf(int folder, bool readSerial, CVolumeIdentity& identity);

// Total and user-available bytes of the volume holding path (which need not exist yet).
bool GetDiskSpace(const std::string& path, uint64_t& totalBytes, uint64_t& freeBytes);

// The bytes a file of size bytes takes at path: size rounded up to whole clusters.
// needed is 0 on failure; a negative size fails.
bool GetDiskSpaceRequired(const std::string& path, int64_t size, int64_t& needed);

// The device number of the whole disk that holds devicePath (a device, or a path on
// a mounted disk); a volume and its disk give the same number.
bool GetStorageDeviceNumber(const std::string& devicePath, int& number);

// Asks to eject the removable volume holding path; true when the request succeeded.
bool EjectRemovableDrive(const std::string& path);

}  // namespace GT
