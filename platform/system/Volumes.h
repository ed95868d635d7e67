// Volumes: what the editor lists as drives. A volume's id is its mount point
// without a trailing "/", a CD drive's id its device (/dev/sr0); its display name
// is "LABEL (id)".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One line of /proc/self/mountinfo, with the octal escapes undone.
struct MountEntry {
    uint64_t id = 0;  // the mount's id, the line's first field
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;  // the folder of the file system that is mounted
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Parses mountinfo text; malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(const std::string& text);
// Undoes the kernel's \ooo escapes (\040 for a blank, \011, \012, \134).
std::string UnescapeMountField(const std::string& field);
// A mount that counts as a volume: the root of a block device's or a FUSE file system.
bool IsVolumeMount(const MountEntry& entry);

enum class VolumeKind {
    Disk,     // a block device's file system
    Fuse,     // a FUSE file system
    CdDrive,  // a CD drive, with or without a disc
    Folder,   // a folder named in GBX_VOLUMES, taken for a mounted removable volume
};

struct Volume {
    std::string id;
    std::string label;
    VolumeKind kind = VolumeKind::Disk;
    std::string device;      // block device or FUSE source; empty for a folder
    std::string mountPoint;  // empty for a CD drive without a mounted disc
    std::string fsType;
    // The mount's id: another file system mounted at the same folder gets another one (0 for a
    // CD drive without a disc, and for a folder that is not a mount point).
    uint64_t mountId = 0;

    std::string DisplayName() const { return label + " (" + id + ")"; }
};

// Where the listing looks; the defaults are the running system's.
struct VolumeSources {
    std::string mountInfo;               // text of /proc/self/mountinfo
    std::string extraFolders;            // value of GBX_VOLUMES
    std::vector<std::string> cdDevices;  // /dev/srN
    bool readLabels = true;              // false: ids and kinds only (cheap)
};
VolumeSources SystemVolumeSources();
// The mount table that the listing and the watcher read: /proc/self/mountinfo, or the file that
// GBX_MOUNTINFO names (how tests show only the mounts they made, never the machine's own).
std::string MountInfoPath();
bool IsMountInfoInjected();
// The CD drives the kernel knows (/sys/block/srN), as /dev/srN.
std::vector<std::string> SystemCdDevices();

// The GBX_VOLUMES folders first, in the order named, then every other volume sorted by id. Never
// leaves one out for want of a label.
std::vector<Volume> ListVolumes(const VolumeSources& sources);
std::vector<Volume> ListVolumes();

// The volume that holds path (the longest id that is a folder prefix of it).
bool FindVolumeForPath(const std::vector<Volume>& volumes, const std::string& path, Volume& volume);

// The label of a block device: /dev/disk/by-label, else libblkid; empty when none.
std::string ReadDeviceLabel(const std::string& device);
// True when the CD drive reports a disc ready (CDROM_DRIVE_STATUS).
bool CdDriveHasDisc(const std::string& device);

std::string ReadTextFile(const std::string& path);

// What tells the file system mounted at a folder from another one mounted there later.
struct VolumeIdentity {
    // The kernel's mount id that is never given again while the system runs where it has one
    // (statx STATX_MNT_ID_UNIQUE), else the mount table's id, which a later mount may get again.
    uint64_t mountId = 0;
    bool uniqueMountId = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    // A block device's file-system serial (the UUID, for FAT the volume id); empty for other
    // file systems and when it cannot be read.
    std::string serial;
};
// The identity of the folder's file system now; the serial read only when asked (it looks at the
// device) and only for a mount point. False when the folder cannot be looked at.
bool ReadVolumeIdentity(const std::string& folder, bool readSerial, VolumeIdentity& identity);
// The same of a folder open at a descriptor.
bool ReadVolumeIdentityOf(int folder, bool readSerial, VolumeIdentity& identity);
// The file-system serial of the block device with this device number: /dev/disk/by-uuid, else
// libblkid; empty when none.
std::string ReadFileSystemSerial(uint64_t device);

}  // namespace platform
