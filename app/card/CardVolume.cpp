#include "app/card/CardVolume.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>

#include "general_tools/Files.h"

namespace fs = std::filesystem;

namespace {

constexpr int64_t kSpareBytes = 1048576;  // kept free on every volume that a check asks about

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The path with its links and "." and ".." resolved as far as it exists.
std::string CanonicalForm(const std::string& path) {
    std::error_code ec;
    const fs::path canonical = fs::weakly_canonical(fs::path(path), ec);
    if (ec) return std::string();
    std::string text = canonical.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

// The folder names of a path below the card root; false when one of them is "..".
bool SplitBelowRoot(const std::string& relative, std::vector<std::string>& names) {
    names.clear();
    std::string::size_type at = 0;
    while (at <= relative.size()) {
        std::string::size_type end = relative.find('/', at);
        if (end == std::string::npos) end = relative.size();
        const std::string name = relative.substr(at, end - at);
        if (name == "..") return false;
        if (!name.empty() && name != ".") names.push_back(name);
        at = end + 1;
    }
    return true;
}

// The folder to be opened or made below another, never through a link (O_NOFOLLOW) and never
// one that would block (a FIFO is no folder).
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

}  // namespace

// --- an open folder ---

CCardFolder& CCardFolder::operator=(CCardFolder&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.m_fd;
        m_path = std::move(other.m_path);
        other.m_fd = -1;
    }
    return *this;
}

CCardFolder CCardFolder::OpenPath(const std::string& path) {
    std::string named = path;
    if (named.empty() || named.back() != '/') named += "/";
    return CCardFolder(open(named.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), named);
}

std::string CCardFolder::GetName() const {
    std::string path = m_path;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return fs::path(path).filename().string();
}

void CCardFolder::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

// --- the card volume ---

const std::string& CCardVolume::GetDatabaseFolderName() {
    static const std::string name("CORVANE/QM/DB/");
    return name;
}

std::string CCardVolume::MakeDatabasePath(const std::string& root) {
    return root.empty() ? std::string() : root + GetDatabaseFolderName();
}

std::string CCardVolume::MakeCardRoot(const std::string& drive) {
    if (drive.empty()) return std::string();
    return drive.back() == '/' ? drive : drive + "/";
}

int CCardVolume::CheckFreeSpace(const std::string& target, const std::vector<int64_t>& sizes) {
    uint64_t total = 0, available = 0;
    if (!GT::GetDiskSpace(target, total, available)) return SPACE_UNKNOWN;
    // A file system of no blocks at all (FAT through FUSE answers so) tells nothing of its space:
    // the writes go ahead, and a write that finds no room fails and leaves the card as it was.
    if (total == 0) return SPACE_FITS;
    int64_t needed = 0;
    bool overflow = false;
    for (int64_t size : sizes) {
        int64_t bytes = 0;
        if (!GT::GetDiskSpaceRequired(target, size, bytes)) return SPACE_UNKNOWN;
        if (bytes > std::numeric_limits<int64_t>::max() - needed)
            overflow = true;
        else
            needed += bytes;
    }
    const int64_t free = static_cast<int64_t>(std::min<uint64_t>(available, std::numeric_limits<int64_t>::max()));
    return !overflow && needed <= free - kSpareBytes ? SPACE_FITS : SPACE_SHORT;
}

void CCardVolume::Connect(const std::string& root) {
    ++m_connection;
    m_removalNoticed = false;
    m_databasePath = MakeDatabasePath(root);
    m_identity = GT::CVolumeIdentity();
    m_identified = !root.empty() && GT::GetVolumeIdentity(root, true, m_identity);
}

std::string CCardVolume::GetRoot() const {
    if (!IsConnected()) return std::string();
    return m_databasePath.substr(0, m_databasePath.size() - GetDatabaseFolderName().size());
}

std::string CCardVolume::GetDrive() const {
    const std::string root = GetRoot();
    return root.empty() ? root : root.substr(0, root.size() - 1);
}

int CCardVolume::OpenRoot() const {
    if (!IsConnected() || !m_identified) return -1;
    const int fd = open(GetRoot().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    // A mount id that the kernel may give again does not tell two cards apart on its own: the
    // file system's serial is asked too.
    const bool askSerial = !m_identity.uniqueMountId && !m_identity.serial.empty();
    GT::CVolumeIdentity now;
    // Asked of the open root itself: whatever the path leads to later, this is the card.
    bool same = GT::GetVolumeIdentityOf(fd, askSerial, now) && now.device == m_identity.device
                && now.inode == m_identity.inode && now.mountId == m_identity.mountId
                && now.uniqueMountId == m_identity.uniqueMountId;
    // A serial known at connect that cannot be read now is no proof of the same card.
    same = same && (!askSerial || now.serial == m_identity.serial);
    if (!same) {
        close(fd);
        return -1;
    }
    return fd;
}

bool CCardVolume::IsMounted() const {
    const int root = OpenRoot();
    if (root < 0) return false;
    close(root);
    return true;
}

bool CCardVolume::WasRemoved() const {
    return m_removalNoticed || (m_pinnedConnection != 0 && m_pinnedConnection != m_connection);
}

bool CCardVolume::IsWritable() const { return !WasRemoved() && IsMounted(); }

bool CCardVolume::IsOnCard(const std::string& path) const {
    if (!IsConnected() || path.empty()) return false;
    const std::string root = CanonicalForm(GetRoot());
    const std::string candidate = CanonicalForm(path);
    if (root.empty() || candidate.empty()) return false;
    if (candidate == root || root == "/" || StartsWith(candidate, root + "/")) return true;
    if (!m_identified) return false;
    // The card's root folder reached by another path: the path or one of its folders is it.
    for (fs::path folder(candidate);; folder = folder.parent_path()) {
        GT::CFileIdentity identity;
        if (GT::GetFileIdentity(folder.string(), identity) && identity.device == m_identity.device
            && identity.inode == m_identity.inode)
            return true;
        if (!folder.has_relative_path()) return false;
    }
}

bool CCardVolume::NamesBelowRoot(const std::string& folder, std::vector<std::string>& names) const {
    const std::string root = GetRoot();
    return !root.empty() && StartsWith(folder, root) && SplitBelowRoot(folder.substr(root.size()), names);
}

CCardVolume::EFolder CCardVolume::OpenFolder(const std::string& folder, CCardFolder& handle, bool make,
                                             bool grantEveryone) const {
    handle.Close();
    std::vector<std::string> names;
    if (!NamesBelowRoot(folder, names) || (make && !IsWritable())) return FOLDER_REFUSED;
    CCardFolder root(OpenRoot(), GetRoot());
    if (!root.IsOpen()) return FOLDER_REFUSED;
    return Walk(root, names, handle, make, grantEveryone);
}

CCardVolume::EFolder CCardVolume::OpenFolderBelow(const CCardFolder& root, const std::string& folder,
                                                  CCardFolder& handle) const {
    handle.Close();
    std::vector<std::string> names;
    if (!root.IsOpen() || root.GetPath() != GetRoot() || !NamesBelowRoot(folder, names)) return FOLDER_REFUSED;
    return Walk(root, names, handle, false, false);
}

CCardVolume::EFolder CCardVolume::Walk(const CCardFolder& root, const std::vector<std::string>& names,
                                       CCardFolder& handle, bool make, bool grantEveryone) const {
    struct stat top {};
    if (fstat(root.Fd(), &top) != 0) return FOLDER_REFUSED;
    CCardFolder current;
    for (const std::string& name : names) {
        const int at = current.IsOpen() ? current.Fd() : root.Fd();
        const std::string path = (current.IsOpen() ? current.GetPath() : root.GetPath()) + name + "/";
        int fd = openat(at, name.c_str(), kFolderFlags);
        if (fd < 0 && errno == ENOENT) {
            if (!make) return FOLDER_MISSING;
            if (mkdirat(at, name.c_str(), 0777) != 0 && errno != EEXIST) return FOLDER_REFUSED;
            fd = openat(at, name.c_str(), kFolderFlags);
        }
        // A link (ELOOP), a file (ENOTDIR) or anything else that does not open as a folder.
        if (fd < 0) return FOLDER_REFUSED;
        CCardFolder next(fd, path);
        struct stat info {};
        // Another file system mounted on a folder of the card is not the card.
        if (fstat(next.Fd(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_dev != top.st_dev) return FOLDER_REFUSED;
        current = std::move(next);
    }
    // The root itself, opened again: the handle is the caller's own.
    if (!current.IsOpen()) {
        current = CCardFolder(openat(root.Fd(), ".", kFolderFlags), root.GetPath());
        if (!current.IsOpen()) return FOLDER_REFUSED;
    }
    // Made writable for all through the handle itself (best effort: FAT keeps no modes).
    if (grantEveryone) {
        struct stat info {};
        constexpr mode_t kEveryone = S_IRWXU | S_IRWXG | S_IRWXO;
        if (fstat(current.Fd(), &info) == 0 && (info.st_mode & kEveryone) != kEveryone)
            fchmod(current.Fd(), (info.st_mode & 07777) | kEveryone);
    }
    handle = std::move(current);
    return FOLDER_OPEN;
}

bool CCardVolume::MakeFolder(const std::string& folder, bool grantEveryone) const {
    CCardFolder handle;
    return OpenFolder(folder, handle, true, grantEveryone) == FOLDER_OPEN;
}

uint64_t CCardVolume::Pin(uint64_t connection) {
    const uint64_t replaced = m_pinnedConnection;
    m_pinnedConnection = connection;
    return replaced;
}
