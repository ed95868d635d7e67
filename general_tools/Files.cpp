#include "general_tools/Files.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "general_tools/Paths.h"
#include "platform/system/Process.h"
#include "platform/system/SystemFolders.h"

namespace fs = std::filesystem;

namespace GT {

namespace {

// Where the Windows code handed the platform a backslash path, the platform here
// takes "/": callers may still build paths with either separator.
std::string PlatformPath(const std::string& path) { return ConvertPathSlashes(path, true); }

std::string WithoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Adds mode bits to what stands at the path itself: a link is never followed (it may lead off the
// card), and a file with another name is left alone (that name may lie anywhere). False for
// anything but a folder or a regular file of one name.
bool AddOwnMode(const std::string& path, mode_t fileBits, mode_t folderBits) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    mode_t bits;
    if (S_ISDIR(info.st_mode))
        bits = folderBits;
    else if (S_ISREG(info.st_mode) && info.st_nlink == 1)
        bits = fileBits;
    else
        return false;
    if ((info.st_mode & bits) == bits) return true;
    return fchmodat(AT_FDCWD, path.c_str(), (info.st_mode & 07777) | bits, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

bool IsExistingFile(const std::string& path) {
    struct stat info {};
    return IsValidPathName(path) && stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool GetFileIdentity(const std::string& path, CFileIdentity& identity) {
    struct stat info {};
    if (!IsValidPathName(path) || stat(path.c_str(), &info) != 0) return false;
    identity.device = static_cast<uint64_t>(info.st_dev);
    identity.inode = static_cast<uint64_t>(info.st_ino);
    return true;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    CFileIdentity first, second;
    return GetFileIdentity(a, first) && GetFileIdentity(b, second) && first == second;
}

bool DirectoryExists(const std::string& path) {
    if (!IsValidPathName(path)) return false;
    struct stat info {};
    return stat(WithoutTrailingSlash(PlatformPath(path)).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

std::string GetModuleFilePath(const void* module) { return module ? std::string() : platform::ExecutablePath(); }

std::string GetModuleDirectory(const void* module) {
    std::string drive, directory;
    detail::SplitPathComponentsUnlimited(GetModuleFilePath(module), &drive, &directory, nullptr, nullptr);
    std::string folder = drive + directory;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string GetApplicationDirectory() {
    static std::string folder;
    if (folder.empty()) folder = GetModuleDirectory(nullptr);
    return folder;
}

std::string GetSpecialFolderPath(int csidl) { return platform::SpecialFolderPath(csidl); }

std::string GetTempDirectory() {
    const std::string folder = platform::TempDirectory();
    return DirectoryExists(folder) ? folder : GetApplicationDirectory();
}

bool OpenWithShell(const std::string& path) {
    if (path.empty()) return false;
    return platform::StartProgram({"xdg-open", PlatformPath(path)});
}

std::string ResolveShortcut(const std::string& path) {
    struct stat info {};
    std::string link = path;
    if (!IsShortcutPath(path) && lstat(path.c_str(), &info) != 0) link = path + ".lnk";
    if (lstat(link.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char target[PATH_MAX];
    return realpath(link.c_str(), target) ? std::string(target) : path;
}

std::string ResolveDisplayName(const std::string& path) {
    if (path.empty()) return path;
    char target[PATH_MAX];
    return realpath(path.c_str(), target) ? std::string(target) : path;
}

CFileWindowBuffer::CFileWindowBuffer(const std::string& path, size_t window) {
    m_fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    const bool regular = m_fd >= 0 && fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular) m_size = static_cast<int64_t>(info.st_size);
    // A small file needs no more than its own size.
    window = std::max<size_t>(window, 1);
    m_window.resize(regular ? static_cast<size_t>(std::clamp<int64_t>(m_size, 1, static_cast<int64_t>(window)))
                            : window);
    setg(m_window.data(), m_window.data(), m_window.data());
}

CFileWindowBuffer::~CFileWindowBuffer() {
    if (m_fd >= 0) close(m_fd);
}

CFileWindowBuffer::int_type CFileWindowBuffer::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (m_fd < 0) return traits_type::eof();
    const int64_t position = Position();
    ssize_t got;
    do {
        got = pread(m_fd, m_window.data(), m_window.size(), static_cast<off_t>(position));
    } while (got < 0 && errno == EINTR);
    m_start = position;
    setg(m_window.data(), m_window.data(), m_window.data() + std::max<ssize_t>(got, 0));
    return got > 0 ? traits_type::to_int_type(*gptr()) : traits_type::eof();
}

CFileWindowBuffer::pos_type CFileWindowBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                       std::ios_base::openmode which) {
    int64_t base = 0;
    if (direction == std::ios_base::cur)
        base = Position();
    else if (direction == std::ios_base::end)
        base = m_size;
    return seekpos(pos_type(off_type(base + offset)), which);
}

CFileWindowBuffer::pos_type CFileWindowBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    const int64_t to = static_cast<int64_t>(off_type(position));
    if (!(which & std::ios_base::in) || m_fd < 0 || to < 0) return pos_type(off_type(-1));
    if (to >= m_start && to <= m_start + (egptr() - eback())) {
        setg(eback(), eback() + (to - m_start), egptr());  // inside the window: no read
    } else {
        m_start = to;
        setg(m_window.data(), m_window.data(), m_window.data());
    }
    return position;
}

bool GetFileSize(const std::string& path, int64_t& size) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;  // a folder opens but has no size
    CFileStream stream(path);
    if (!stream.good()) return false;
    stream.seekg(0, std::ios::end);
    if (!stream.good()) return false;
    const std::streamoff end = stream.tellg();
    if (end < 0) return false;
    size = static_cast<int64_t>(end);
    return true;
}

bool ListDirectory(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files) {
    const std::string base = WithoutTrailingSlash(PlatformPath(folder));
    std::error_code ec;
    if (base.empty() || !fs::is_directory(base, ec)) return false;
    // Each entry with whether it is a folder, as stat sees it (links followed; one that cannot
    // be looked at counts as a folder). The type the folder listing gives spares most stats.
    std::vector<std::pair<std::string, bool>> names;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code typeError;
        const bool folder = it->is_directory(typeError);
        names.emplace_back(name, folder || typeError);
    }
    std::sort(names.begin(), names.end());
    const std::string prefix = base == "/" ? base : base + "/";
    for (const auto& name : names) (name.second ? folders : files).push_back(prefix + name.first);
    return true;
}

bool ClearReadOnly(const std::string& path) {
    const std::string target = WithoutTrailingSlash(PlatformPath(path));
    struct stat info {};
    if (lstat(target.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) return AddOwnMode(target, S_IWUSR, 0);
    std::error_code ec;
    std::vector<std::string> children;
    for (fs::directory_iterator it(target, ec), end; !ec && it != end; it.increment(ec))
        children.push_back(it->path().string());
    if (ec) return false;
    bool all = true;
    for (const std::string& child : children)
        if (!ClearReadOnly(child)) all = false;  // go on with the others
    return all;
}

bool GrantEveryoneFullAccess(const std::string& path) {
    const mode_t everyone = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
    return AddOwnMode(WithoutTrailingSlash(PlatformPath(path)), everyone, everyone | S_IXUSR | S_IXGRP | S_IXOTH);
}

bool MakeWritable(const std::string& path) {
    const bool cleared = ClearReadOnly(path);
    const bool granted = GrantEveryoneFullAccess(path);
    return cleared && granted;
}

bool CopyFile(const std::string& source, const std::string& target, bool grant) {
    const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    bool copied = false;
    if (fstat(in, &info) == 0 && S_ISREG(info.st_mode)) {
        // A new target takes the source's access; an existing one keeps its own.
        const int out = open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, info.st_mode & 07777);
        if (out >= 0) {
            struct stat written {};
            // Never a file onto itself: emptying the target would have emptied the source.
            copied = fstat(out, &written) == 0 && (written.st_dev != info.st_dev || written.st_ino != info.st_ino)
                     && CopyFileBytes(in, out);
            copied = close(out) == 0 && copied;
        }
    }
    close(in);
    if (copied && grant) MakeWritable(target);
    return copied;
}

bool WriteAllBytes(int fd, const char* data, size_t size) {
    for (size_t put = 0; put < size;) {
        const ssize_t n = ::write(fd, data + put, size - put);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        put += static_cast<size_t>(n);
    }
    return true;
}

bool CopyFileBytes(int from, int to) {
    for (bool moved = false;;) {
        const ssize_t sent = sendfile(to, from, nullptr, size_t(1) << 30);
        if (sent > 0) {
            moved = true;
            continue;
        }
        if (sent == 0) return true;
        if (errno == EINTR) continue;
        // Part of the file moved: what follows cannot be told apart from a failed write.
        if (moved) return false;
        break;  // the kernel cannot copy between these files (EINVAL, ENOSYS, EPERM on some FUSE files): by reading and
                // writing
    }
    constexpr size_t kPieceBytes = 64 * 1024;
    std::unique_ptr<char[]> piece(new char[kPieceBytes]);
    for (;;) {
        const ssize_t got = ::read(from, piece.get(), kPieceBytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        if (!WriteAllBytes(to, piece.get(), static_cast<size_t>(got))) return false;
    }
}

bool CreateDirectoryPath(const std::string& path, bool grant) {
    const std::string target = WithoutTrailingSlash(PlatformPath(path));
    if (target.empty()) return false;
    std::error_code ec;
    fs::create_directories(target, ec);
    if (!fs::is_directory(target, ec)) return false;
    if (grant) MakeWritable(target);
    return true;
}

}  // namespace GT
