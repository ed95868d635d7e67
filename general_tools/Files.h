// Files and folders, the program's folders, and the shell: opening documents and
// resolving shortcuts (symbolic links here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <streambuf>
#include <string>
#include <vector>

namespace GT {

// An input file stream opened for binary reading; the caller tests its state.
template <class CharT = char>
class CFileStreamT : public std::basic_ifstream<CharT> {
public:
    explicit CFileStreamT(const std::string& path)
        : std::basic_ifstream<CharT>(path, std::ios::in | std::ios::binary) {}
};
typedef CFileStreamT<char> CFileStream;

// Reading buffer over a file for readers that seek back and forth in a small part of it (a tag,
// a few frame headers): a seek inside the bytes last read costs no system call, where a file
// stream drops its buffer on every seek. Each refill reads one window from the seek position.
class CFileWindowBuffer : public std::streambuf {
public:
    static constexpr size_t kDefaultWindow = 64 * 1024;

    explicit CFileWindowBuffer(const std::string& path, size_t window = kDefaultWindow);
    ~CFileWindowBuffer() override;
    CFileWindowBuffer(const CFileWindowBuffer&) = delete;
    CFileWindowBuffer& operator=(const CFileWindowBuffer&) = delete;

    bool IsOpen() const { return m_fd >= 0; }

protected:
    int_type underflow() override;
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;

private:
    int64_t Position() const { return m_start + (gptr() - eback()); }

    int m_fd = -1;
    int64_t m_size = 0;
    int64_t m_start = 0;  // the file position of the window's first byte
    std::vector<char> m_window;
};

// A valid path name naming something that is not a folder.
bool IsExistingFile(const std::string& path);
// A valid path name naming a folder (either separator; a trailing one is ignored).
bool DirectoryExists(const std::string& path);
// Removes a file (not a folder).
bool RemoveFile(const std::string& path);

// Which file a path names, links followed: two paths name one file when their identities are equal
// (another spelling, a link, a folder name in another letter case on a FAT card).
struct CFileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator<(const CFileIdentity& other) const {
        return device != other.device ? device < other.device : inode < other.inode;
    }
    bool operator==(const CFileIdentity& other) const { return device == other.device && inode == other.inode; }
};
// False when nothing is there.
bool GetFileIdentity(const std::string& path, CFileIdentity& identity);
// Both paths name one existing file.
bool IsSameFile(const std::string& a, const std::string& b);

// The program's file ("/" form); module null for the executable, the only module known.
std::string GetModuleFilePath(const void* module = nullptr);
// Its folder, without a trailing "/".
std::string GetModuleDirectory(const void* module = nullptr);
// The executable's folder, computed once.
std::string GetApplicationDirectory();
// A special folder by its CSIDL number (26: per-user application data); empty when unknown.
std::string GetSpecialFolderPath(int csidl);
// The temporary-files folder, else the program's folder.
std::string GetTempDirectory();

// Opens the document or web address with the desktop's handler (xdg-open).
bool OpenWithShell(const std::string& path);
// The target of a shortcut: path itself when it is a symbolic link, else path + ".lnk"
// when path does not exist; any other path comes back unchanged.
std::string ResolveShortcut(const std::string& path);
// The canonical file-system path of path; path unchanged when it cannot be had.
std::string ResolveDisplayName(const std::string& path);

// The size of a readable file.
bool GetFileSize(const std::string& path, int64_t& size);
// Appends the folder's entries, "/" form, to folders and files (hidden entries are
// left out, as the shell does). False when the folder does not exist.
bool ListDirectory(const std::string& folder, std::vector<std::string>& folders, std::vector<std::string>& files);
// Makes the file, or every file below the folder, writable by its owner. Like the grant below,
// it changes only what stands at a path itself: a symbolic link is never followed and a file
// with more than one name is left as it is (false for either).
bool ClearReadOnly(const std::string& path);
// Adds read and write for everyone (and search for folders); best effort.
bool GrantEveryoneFullAccess(const std::string& path);
// ClearReadOnly and then GrantEveryoneFullAccess; true when both succeed.
bool MakeWritable(const std::string& path);
// Copies over an existing target; with grant the target is then made writable for all.
bool CopyFile(const std::string& source, const std::string& target, bool grant);
// Every byte of one open file into another, each from its position: by the kernel's copy where
// it can, else (also when the kernel's copy fails before its first byte, whatever the reason) by
// reading and writing.
bool CopyFileBytes(int from, int to);
// Writes every byte at the descriptor's position, going on after a partial write.
bool WriteAllBytes(int fd, const char* data, size_t size);
// Makes the folder and every missing parent; with grant the folder is made writable for all.
bool CreateDirectoryPath(const std::string& path, bool grant);

}  // namespace GT
