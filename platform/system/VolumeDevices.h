// The disks that volumes lie on, and ejecting removable volumes.
#pragma once

#include <string>

#include "platform/system/Volumes.h"

namespace platform {

// The device number (major, minor) of the whole disk that holds path: a block
// device itself, or a file or folder on a mounted disk. False when sysfs knows no
// such disk (FUSE and other file systems without a block device).
bool WholeDiskDeviceNumber(const std::string& path, unsigned& major, unsigned& minor);

// Removable: a GBX_VOLUMES folder, a FUSE mount, or a disk whose sysfs "removable" is 1.
bool IsRemovableVolume(const Volume& volume);

// Asks the system to eject the removable volume that holds path: a folder volume
// succeeds at once; a FUSE mount is unmounted with fusermount; a disk is unmounted
// with udisksctl and then powered off (umount2 where udisksctl is missing).
// True only when the unmount request itself succeeded.
bool EjectVolume(const std::string& path);

}  // namespace platform
