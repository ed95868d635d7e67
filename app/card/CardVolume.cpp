#include "app/card/CardVolume.h"

#include <algorithm>
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

bool HasParentSegment(const std::string& path) {
    const std::string wrapped = "/" + path + "/";
    return wrapped.find("/../") != std::string::npos;
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

bool CCardVolume::MakeFolder(const std::string& folder, bool grantEveryone) const {
    const std::string root = GetRoot();
    if (root.empty() || !StartsWith(folder, root) || HasParentSegment(folder.substr(root.size()))) return false;
    return IsWritable() && GT::CreateDirectoryPath(folder, grantEveryone);
}

uint64_t CCardVolume::Pin(uint64_t connection) {
    const uint64_t replaced = m_pinnedConnection;
    m_pinnedConnection = connection;
    return replaced;
}
