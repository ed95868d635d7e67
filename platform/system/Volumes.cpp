#include "platform/system/Volumes.h"

#include <blkid/blkid.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

// Newer kernels than the C library's headers know.
#ifndef STATX_MNT_ID_UNIQUE
#define STATX_MNT_ID_UNIQUE 0x4000U
#endif
#ifndef STATX_ATTR_MOUNT_ROOT
#define STATX_ATTR_MOUNT_ROOT 0x2000
#endif

namespace fs = std::filesystem;

namespace platform {

namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsFuseType(const std::string& fsType) {
    // FUSE helpers of the desktop that show no storage of their own.
    static const char* const kPseudo[] = {"fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs", "fusectl"};
    for (const char* pseudo : kPseudo)
        if (fsType == pseudo) return false;
    return fsType == "fuse" || fsType == "fuseblk" || StartsWith(fsType, "fuse.");
}

bool IsCdDevice(const std::string& device) { return StartsWith(device, "/dev/sr"); }

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

std::string LastFolderName(const std::string& path) {
    const std::string trimmed = WithoutTrailingSlash(path);
    const auto slash = trimmed.rfind('/');
    std::string name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    return name.empty() ? trimmed : name;
}

std::string CanonicalOrSame(const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    return ec ? path : canonical.string();
}

// udev writes unsafe bytes of by-label names as \xNN.
std::string UnescapeUdevName(const std::string& name) {
    std::string out;
    for (std::string::size_type i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x'
            && std::isxdigit(static_cast<unsigned char>(name[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(name[i + 3]))) {
            out += static_cast<char>(std::stoi(name.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            out += name[i];
        }
    }
    return out;
}

// The link of a /dev/disk/by-* folder that leads to the device, by its (unescaped) name.
std::string NameFromDiskLinks(const std::string& folder, const std::string& device) {
    std::error_code ec;
    const std::string target = CanonicalOrSame(device);
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (CanonicalOrSame(it->path().string()) == target) return UnescapeUdevName(it->path().filename().string());
    }
    return {};
}

std::string LabelFromByLabel(const std::string& device) { return NameFromDiskLinks("/dev/disk/by-label", device); }

// One superblock value (LABEL, UUID) of a block device; empty when the device cannot be read.
std::string SuperblockValue(const std::string& device, const char* name, int flag) {
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (!probe) return {};
    std::string text;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, flag);
    const char* value = nullptr;
    if (blkid_do_safeprobe(probe) == 0 && blkid_probe_lookup_value(probe, name, &value, nullptr) == 0 && value)
        text = value;
    blkid_free_probe(probe);
    return text;
}

std::string LabelFromBlkid(const std::string& device) { return SuperblockValue(device, "LABEL", BLKID_SUBLKS_LABEL); }

}  // namespace

std::vector<std::string> SystemCdDevices() {
    std::vector<std::string> devices;
    std::error_code ec;
    for (fs::directory_iterator it("/sys/block", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (StartsWith(name, "sr")) devices.push_back("/dev/" + name);
    }
    std::sort(devices.begin(), devices.end());
    return devices;
}

std::string ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (std::string::size_type i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3'
            && field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(const std::string& text) {
    std::vector<MountEntry> entries;
    for (const std::string& line : SplitAt(text, '\n')) {
        std::vector<std::string> fields;
        for (const std::string& f : SplitAt(line, ' '))
            if (!f.empty()) fields.push_back(f);
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const auto dash = std::find(fields.begin() + std::min<std::size_t>(fields.size(), 6), fields.end(), "-");
        if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 3) continue;
        MountEntry entry;
        entry.id = std::strtoull(fields[0].c_str(), nullptr, 10);
        const auto colon = fields[2].find(':');
        if (colon == std::string::npos) continue;
        char* end = nullptr;
        entry.major = static_cast<unsigned>(std::strtoul(fields[2].c_str(), &end, 10));
        entry.minor = static_cast<unsigned>(std::strtoul(fields[2].c_str() + colon + 1, &end, 10));
        entry.root = UnescapeMountField(fields[3]);
        entry.mountPoint = UnescapeMountField(fields[4]);
        entry.fsType = UnescapeMountField(*(dash + 1));
        entry.source = UnescapeMountField(*(dash + 2));
        entries.push_back(std::move(entry));
    }
    return entries;
}

bool IsVolumeMount(const MountEntry& entry) {
    // Below the root only btrfs subvolumes count; other such mounts are bind mounts
    // of a folder or a file (as containers make them), not volumes.
    if (entry.root != "/" && entry.fsType != "btrfs") return false;
    if (IsFuseType(entry.fsType)) return true;
    return StartsWith(entry.source, "/dev/");  // btrfs shows anonymous device numbers (0:N)
}

std::string MountInfoPath() {
    const char* injected = std::getenv("GBX_MOUNTINFO");
    return injected != nullptr && *injected != '\0' ? injected : "/proc/self/mountinfo";
}

bool IsMountInfoInjected() { return MountInfoPath() != "/proc/self/mountinfo"; }

VolumeSources SystemVolumeSources() {
    VolumeSources sources;
    sources.mountInfo = ReadTextFile(MountInfoPath());
    if (const char* folders = std::getenv("GBX_VOLUMES")) sources.extraFolders = folders;
    sources.cdDevices = SystemCdDevices();
    return sources;
}

std::string ReadDeviceLabel(const std::string& device) {
    std::string label = LabelFromByLabel(device);
    if (label.empty()) label = LabelFromBlkid(device);
    return label;
}

bool CdDriveHasDisc(const std::string& device) {
    const int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const int status = ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
    close(fd);
    return status == CDS_DISC_OK;
}

std::vector<Volume> ListVolumes(const VolumeSources& sources) {
    std::map<std::string, Volume> byId;
    std::map<std::string, const MountEntry*> cdMounts;
    std::map<std::string, uint64_t> mountIds;  // the last mount at each folder is the one seen there
    const std::vector<MountEntry> mounts = ParseMountInfo(sources.mountInfo);
    for (const MountEntry& mount : mounts) {
        mountIds[WithoutTrailingSlash(mount.mountPoint)] = mount.id;
        if (!IsVolumeMount(mount)) continue;
        if (IsCdDevice(mount.source)) {
            cdMounts.emplace(mount.source, &mount);
            continue;
        }
        Volume volume;
        volume.id = WithoutTrailingSlash(mount.mountPoint);
        volume.kind = IsFuseType(mount.fsType) ? VolumeKind::Fuse : VolumeKind::Disk;
        volume.device = mount.source;
        volume.mountPoint = volume.id;
        volume.fsType = mount.fsType;
        if (sources.readLabels && StartsWith(mount.source, "/dev/")) volume.label = ReadDeviceLabel(mount.source);
        if (volume.label.empty()) volume.label = LastFolderName(volume.id);
        byId[volume.id] = volume;
    }
    for (const std::string& device : sources.cdDevices) {
        Volume volume;
        volume.id = device;
        volume.kind = VolumeKind::CdDrive;
        volume.device = device;
        const auto mounted = cdMounts.find(device);
        if (mounted != cdMounts.end()) {
            volume.mountPoint = WithoutTrailingSlash(mounted->second->mountPoint);
            volume.fsType = mounted->second->fsType;
        }
        if (sources.readLabels)
            volume.label = mounted != cdMounts.end() ? ReadDeviceLabel(device) : LabelFromByLabel(device);
        if (volume.label.empty()) volume.label = LastFolderName(device);
        byId[volume.id] = volume;
    }
    for (auto& entry : byId) {
        const auto id = mountIds.find(entry.second.mountPoint);
        if (id != mountIds.end()) entry.second.mountId = id->second;
    }
    // The named folders come first: they are how a user presents the card, and a mounted volume
    // of the same label must not win over them. A named folder counts as removable even where it
    // is a mount point.
    std::vector<Volume> volumes;
    std::set<std::string> folderIds;
    for (const std::string& folder : SplitAt(sources.extraFolders, ':')) {
        std::error_code ec;
        if (folder.empty() || !fs::is_directory(folder, ec)) continue;
        Volume volume;
        volume.id = WithoutTrailingSlash(fs::absolute(folder, ec).lexically_normal().string());
        if (!folderIds.insert(volume.id).second) continue;
        volume.kind = VolumeKind::Folder;
        volume.mountPoint = volume.id;
        volume.label = LastFolderName(volume.id);
        const auto id = mountIds.find(volume.id);
        if (id != mountIds.end()) volume.mountId = id->second;
        volumes.push_back(std::move(volume));
    }
    volumes.reserve(volumes.size() + byId.size());
    for (auto& entry : byId)
        if (folderIds.count(entry.first) == 0) volumes.push_back(std::move(entry.second));
    return volumes;
}

std::vector<Volume> ListVolumes() { return ListVolumes(SystemVolumeSources()); }

bool FindVolumeForPath(const std::vector<Volume>& volumes, const std::string& path, Volume& volume) {
    std::error_code ec;
    const std::string absolute = WithoutTrailingSlash(fs::absolute(path, ec).lexically_normal().string());
    if (ec || absolute.empty()) return false;
    const Volume* best = nullptr;
    for (const Volume& candidate : volumes) {
        const std::string& root = candidate.mountPoint.empty() ? candidate.id : candidate.mountPoint;
        const bool holds =
            absolute == candidate.id || absolute == root || root == "/" || StartsWith(absolute, root + "/");
        if (holds && (!best || root.size() > (best->mountPoint.empty() ? best->id : best->mountPoint).size()))
            best = &candidate;
    }
    if (!best) return false;
    volume = *best;
    return true;
}

namespace {

// ReadVolumeIdentity of the folder that statx finds from at, path and flags.
bool ReadVolumeIdentityAt(int at, const char* path, int flags, bool readSerial, VolumeIdentity& identity) {
    struct statx info {};
    if (statx(at, path, flags, STATX_BASIC_STATS | STATX_MNT_ID | STATX_MNT_ID_UNIQUE, &info) != 0) return false;
    if ((info.stx_mask & STATX_INO) == 0 || !S_ISDIR(info.stx_mode)) return false;
    VolumeIdentity found;
    found.uniqueMountId = (info.stx_mask & STATX_MNT_ID_UNIQUE) != 0;
    if (found.uniqueMountId || (info.stx_mask & STATX_MNT_ID) != 0) found.mountId = info.stx_mnt_id;
    found.device = makedev(info.stx_dev_major, info.stx_dev_minor);
    found.inode = info.stx_ino;
    // Only a mounted file system's own root has a serial of its own: a folder inside one (a
    // GBX_VOLUMES folder) is told by its device and inode, and its disk is never looked at.
    const bool mountRoot =
        (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    if (readSerial && mountRoot) found.serial = ReadFileSystemSerial(found.device);
    identity = found;
    return true;
}

}  // namespace

bool ReadVolumeIdentity(const std::string& folder, bool readSerial, VolumeIdentity& identity) {
    return ReadVolumeIdentityAt(AT_FDCWD, folder.c_str(), 0, readSerial, identity);
}

bool ReadVolumeIdentityOf(int folder, bool readSerial, VolumeIdentity& identity) {
    return ReadVolumeIdentityAt(folder, "", AT_EMPTY_PATH, readSerial, identity);
}

std::string ReadFileSystemSerial(uint64_t device) {
    // Anonymous device numbers (FUSE, tmpfs, btrfs) have no block device behind them.
    if (major(device) == 0) return {};
    std::error_code ec;
    const fs::path link =
        fs::read_symlink("/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)), ec);
    if (ec || link.filename().empty()) return {};
    const std::string node = "/dev/" + link.filename().string();
    std::string serial = NameFromDiskLinks("/dev/disk/by-uuid", node);
    if (serial.empty()) serial = SuperblockValue(node, "UUID", BLKID_SUBLKS_UUID);
    return serial;
}

}  // namespace platform
