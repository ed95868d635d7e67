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

// Every volume in id order: disks, FUSE mounts, CD drives and GBX_VOLUMES folders.
CDriveList ListDrives();

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
