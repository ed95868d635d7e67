#include "app/card/CardVolume.h"

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

// The device of the card root; false when it is not a folder.
bool RootDevice(const std::string& root, dev_t& device) {
    struct stat info {};
    if (stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    device = info.st_dev;
    return true;
}

// What stands at a path of the card, the path itself looked at.
enum class EEntry { MISSING, CARD_FOLDER, LINK, OTHER };

EEntry LookAt(const std::string& path, dev_t device) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return errno == ENOENT ? EEntry::MISSING : EEntry::OTHER;
    if (S_ISLNK(info.st_mode)) return EEntry::LINK;
    return S_ISDIR(info.st_mode) && info.st_dev == device ? EEntry::CARD_FOLDER : EEntry::OTHER;
}

}  // namespace

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

bool CCardVolume::IsMounted() const {
    if (!IsConnected() || !m_identified) return false;
    // A mount id that the kernel may give again does not tell two cards apart on its own: the
    // file system's serial is asked too.
    const bool askSerial = !m_identity.uniqueMountId && !m_identity.serial.empty();
    GT::CVolumeIdentity now;
    if (!GT::GetVolumeIdentity(GetRoot(), askSerial, now)) return false;
    if (now.device != m_identity.device || now.inode != m_identity.inode || now.mountId != m_identity.mountId
        || now.uniqueMountId != m_identity.uniqueMountId)
        return false;
    // A serial known at connect that cannot be read now is no proof of the same card.
    return !askSerial || now.serial == m_identity.serial;
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

bool CCardVolume::NamesBelowRoot(const std::string& folder, std::vector<std::string>& names, dev_t& device) const {
    const std::string root = GetRoot();
    return !root.empty() && StartsWith(folder, root) && SplitBelowRoot(folder.substr(root.size()), names)
           && RootDevice(root, device);
}

bool CCardVolume::MakeFolder(const std::string& folder, bool grantEveryone) const {
    std::vector<std::string> names;
    dev_t device = 0;
    if (!NamesBelowRoot(folder, names, device) || !IsWritable()) return false;
    std::string path = GetRoot();
    for (const std::string& name : names) {
        path += name;
        switch (LookAt(path, device)) {
            case EEntry::CARD_FOLDER:
                break;
            case EEntry::LINK:
                // A damaged entry: the link goes, whatever it leads to stays as it is.
                if (unlink(path.c_str()) != 0) return false;
                [[fallthrough]];
            case EEntry::MISSING:
                if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) return false;
                if (LookAt(path, device) != EEntry::CARD_FOLDER) return false;
                break;
            case EEntry::OTHER:
                return false;
        }
        path += "/";
    }
    if (grantEveryone) GT::MakeWritable(path);
    return true;
}

bool CCardVolume::IsCardFolder(const std::string& folder) const {
    std::vector<std::string> names;
    dev_t device = 0;
    if (!NamesBelowRoot(folder, names, device)) return false;
    std::string path = GetRoot();
    for (const std::string& name : names) {
        path += name;
        if (LookAt(path, device) != EEntry::CARD_FOLDER) return false;
        path += "/";
    }
    return true;
}

bool CCardVolume::IsCardEntry(const std::string& path) const {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return false;
    const std::string name = path.substr(slash + 1);
    return name != "." && name != ".." && IsCardFolder(path.substr(0, slash + 1));
}

uint64_t CCardVolume::Pin(uint64_t connection) {
    const uint64_t replaced = m_pinnedConnection;
    m_pinnedConnection = connection;
    return replaced;
}
