#include "app/card/CardFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <streambuf>

#include "general_tools/Files.h"
#include "general_tools/Paths.h"

namespace {

CCardFileSystem* g_fileSystem = nullptr;
constexpr unsigned long kFuseSuperMagic = 0x65735546;
// Every file the program puts on the card is readable and writable for all.
constexpr mode_t kCardFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;

std::string TitleOf(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// An output buffer in memory that may seek back within what was written (the chunk writers
// patch sizes after their bodies). Its size is the furthest position written. It grows without
// zero-filling: only a seek past the end leaves a gap, and that gap is zeroed.
//
// The storage of the last buffers is kept for the next ones: a save writes megabytes, and fresh
// memory costs a page fault for every page it touches.
class CMemoryBuffer : public std::streambuf {
public:
    CMemoryBuffer() {
        std::vector<Storage>& spares = Spares();
        if (!spares.empty()) {
            m_bytes = std::move(spares.back().bytes);
            m_capacity = spares.back().capacity;
            spares.pop_back();
            MoveTo(0);
        } else {
            Reserve(4096);
        }
    }
    ~CMemoryBuffer() override {
        std::vector<Storage>& spares = Spares();
        if (m_capacity > kMaxSpareBytes) return;
        if (spares.size() < kMaxSpares) {
            spares.push_back(Storage{std::move(m_bytes), m_capacity});
            return;
        }
        // The largest are kept: the next save needs them again.
        auto smallest = std::min_element(spares.begin(), spares.end(),
                                         [](const Storage& a, const Storage& b) { return a.capacity < b.capacity; });
        if (smallest->capacity < m_capacity) *smallest = Storage{std::move(m_bytes), m_capacity};
    }
    CMemoryBuffer(const CMemoryBuffer&) = delete;
    CMemoryBuffer& operator=(const CMemoryBuffer&) = delete;

    const char* Data() const { return m_bytes.get(); }
    size_t Size() const { return std::max(m_high, Position()); }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        Reserve(Position() + 1);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (n <= 0) return 0;
        const size_t at = Position();
        Reserve(at + static_cast<size_t>(n));
        std::memcpy(m_bytes.get() + at, s, static_cast<size_t>(n));
        MoveTo(at + static_cast<size_t>(n));
        return n;
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override {
        if (!(which & std::ios_base::out)) return pos_type(off_type(-1));
        m_high = Size();
        const off_type base = direction == std::ios_base::beg   ? 0
                              : direction == std::ios_base::cur ? static_cast<off_type>(Position())
                                                                : static_cast<off_type>(m_high);
        const off_type target = base + offset;
        if (target < 0) return pos_type(off_type(-1));
        Reserve(static_cast<size_t>(target));
        if (static_cast<size_t>(target) > m_high)
            std::memset(m_bytes.get() + m_high, 0, static_cast<size_t>(target) - m_high);
        MoveTo(static_cast<size_t>(target));
        return pos_type(target);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }

private:
    struct Storage {
        std::unique_ptr<char[]> bytes;
        size_t capacity = 0;
    };
    // Room for the largest database file (the two-megabyte name table) as the buffer grows, and
    // for every file of the database at once.
    static constexpr size_t kMaxSpareBytes = size_t(8) << 20;
    static constexpr size_t kMaxSpares = 8;
    static std::vector<Storage>& Spares() {
        thread_local std::vector<Storage> spares;
        return spares;
    }

    size_t Position() const { return static_cast<size_t>(pptr() - pbase()); }
    void Reserve(size_t size) {
        if (size <= m_capacity) return;
        const size_t at = m_bytes ? Position() : 0;
        m_high = m_bytes ? Size() : 0;
        const size_t capacity = std::max(size, m_capacity * 4);
        std::unique_ptr<char[]> bytes(new char[capacity]);
        if (m_high > 0) std::memcpy(bytes.get(), m_bytes.get(), m_high);
        m_bytes = std::move(bytes);
        m_capacity = capacity;
        MoveTo(at);
    }
    void MoveTo(size_t position) {
        if (pbase() != nullptr) m_high = std::max(m_high, Position());
        setp(m_bytes.get(), m_bytes.get() + m_capacity);
        // pbump takes an int: move in steps for very large buffers.
        while (position > 0) {
            const int step = static_cast<int>(std::min<size_t>(position, 0x40000000));
            pbump(step);
            position -= static_cast<size_t>(step);
        }
    }

    std::unique_ptr<char[]> m_bytes;
    size_t m_capacity = 0;
    size_t m_high = 0;
};

// Has the kernel start writing the file to its device without waiting: the caller syncs it
// soon, and meanwhile the device works while the next files are made. Only a hint.
void StartWriteback(int fd) { sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

// Comparing a new file with the one on the card reads this much at a time.
constexpr size_t kComparePieceBytes = 64 * 1024;

// Below this many files a batch syncs each file and folder; above, the whole file system once.
constexpr size_t kSyncEachLimit = 16;

// A FUSE daemon is not asked to sync by syncfs: its files are synced one by one.
bool IsFuseFileSystem(int fd) {
    struct statfs info {};
    return fstatfs(fd, &info) == 0 && static_cast<unsigned long>(info.f_type) == kFuseSuperMagic;
}

// Takes away the entry itself: a file, a link (never what it leads to) or an empty folder.
bool RemoveEntry(int folder, const char* name) {
    if (unlinkat(folder, name, 0) == 0) return true;
    return (errno == EISDIR || errno == EPERM) && unlinkat(folder, name, AT_REMOVEDIR) == 0;
}

// Adds read and write for all to a file open at fd (best effort: FAT keeps no modes).
void MakeWritableForAll(int fd) {
    struct stat info {};
    if (fstat(fd, &info) == 0 && (info.st_mode & kCardFileMode) != kCardFileMode)
        fchmod(fd, (info.st_mode & 07777) | kCardFileMode);
}

// Opens an entry of the folder to be written whole in place: a missing one (or an empty folder
// in its place) is made, a regular file of one name is opened as it is, to be written over from
// its start and then cut to its new length (a full card may have no room for a second copy, and
// FAT through FUSE takes no write into a file that was emptied). Anything else there (a link, a
// file with other names, a FIFO, a file that cannot be opened for writing) is never written
// through: -1 with replace set, and the caller replaces it. -1 alone when it cannot be opened.
int OpenInPlace(const CCardFolder& folder, const std::string& name, bool& replace) {
    replace = false;
    const int at = folder.Fd();
    struct stat info {};
    if (fstatat(at, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) return -1;
        return openat(at, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCardFileMode);
    }
    if (S_ISDIR(info.st_mode)) return GetCardFileSystem().Create(folder, name);
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1) {
        replace = true;
        return -1;
    }
    const int fd = openat(at, name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        // A read-only file: a new one takes its place, as every file the program puts there.
        replace = errno == EACCES;
        return -1;
    }
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino || opened.st_nlink != 1
        || !S_ISREG(opened.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

// --- file operations ---

int CCardFileSystem::Create(const CCardFolder& folder, const std::string& name) {
    struct stat info {};
    if (fstatat(folder.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!RemoveEntry(folder.Fd(), name.c_str())) return -1;
    } else if (errno != ENOENT) {
        return -1;
    }
    const int fd =
        openat(folder.Fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kCardFileMode);
    if (fd >= 0) MakeWritableForAll(fd);
    return fd;
}

bool CCardFileSystem::Write(int file, const std::string&, const char* data, size_t size) {
    return GT::WriteAllBytes(file, data, size);
}

bool CCardFileSystem::Sync(int file, const std::string&) { return fsync(file) == 0; }

bool CCardFileSystem::Close(int file, const std::string&) { return close(file) == 0; }

bool CCardFileSystem::SyncFolder(const CCardFolder& folder) { return fsync(folder.Fd()) == 0; }

bool CCardFileSystem::SyncFileSystem(const CCardFolder& folder) { return syncfs(folder.Fd()) == 0; }

bool CCardFileSystem::Rename(const CCardFolder& folder, const std::string& from, const std::string& to) {
    return renameat(folder.Fd(), from.c_str(), folder.Fd(), to.c_str()) == 0;
}

bool CCardFileSystem::Remove(const CCardFolder& folder, const std::string& name) {
    return RemoveEntry(folder.Fd(), name.c_str());
}

CCardFileSystem::ELook CCardFileSystem::Look(const CCardFolder& folder, const std::string& name, struct stat& info) {
    if (fstatat(folder.Fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) return ENTRY_PRESENT;
    return errno == ENOENT ? ENTRY_MISSING : ENTRY_UNKNOWN;
}

bool CCardFileSystem::CopyInto(const std::string& source, const CCardFolder& folder, const std::string& name) {
    const int in = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    bool copied = false;
    if (fstat(in, &info) == 0 && S_ISREG(info.st_mode)) {
        bool replace = false;
        const int out = OpenInPlace(folder, name, replace);
        if (out >= 0) {
            copied = GT::CopyFileBytes(in, out);
            // What the file held beyond the copy goes (FAT through FUSE refuses a truncation
            // that changes nothing).
            const off_t end = lseek(out, 0, SEEK_CUR);
            struct stat written {};
            copied =
                copied && end >= 0 && fstat(out, &written) == 0 && (written.st_size <= end || ftruncate(out, end) == 0);
            MakeWritableForAll(out);
            copied = copied && Sync(out, name);
            copied = Close(out, name) && copied;
        } else if (replace) {
            // Written beside it and renamed over it: the link or the other names stay as they were.
            const std::string fresh = GetNewFileName(name);
            const int beside = Create(folder, fresh);
            if (beside >= 0) {
                copied = GT::CopyFileBytes(in, beside) && Sync(beside, fresh);
                copied = Close(beside, fresh) && copied && Rename(folder, fresh, name) && SyncFolder(folder);
                if (!copied) Remove(folder, fresh);
            }
        }
    }
    close(in);
    return copied;
}

CCardFileSystem& GetCardFileSystem() {
    if (g_fileSystem != nullptr) return *g_fileSystem;
    static CCardFileSystem fileSystem;
    return fileSystem;
}

void SetCardFileSystem(CCardFileSystem* fileSystem) { g_fileSystem = fileSystem; }

// --- one file ---

std::string GetNewFileName(const std::string& name) { return TitleOf(name) + ".NEW"; }

std::string GetNewFilePath(const std::string& path) {
    const GT::CPathParts parts(path, '/');
    return parts.directory + parts.title + ".NEW";
}

namespace {

bool MakeContents(const CFileWriter& write, CMemoryBuffer& contents) {
    std::ostream memory(&contents);
    return write(memory) && memory.good();
}

// Whether the folder's entry is its own regular file of one name holding exactly these bytes;
// read in pieces, up to the first difference. Such a file is left as it is, and made writable
// for all as a written file ends.
bool HoldsBytes(const CCardFolder& folder, const std::string& name, const char* data, size_t size) {
    // A FIFO is not waited on; a link or a file with other names is not the card's own file and
    // is replaced, whatever it holds.
    const int fd = openat(folder.Fd(), name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat info {};
    bool same = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1
                && static_cast<uint64_t>(info.st_size) == size;
    std::unique_ptr<char[]> piece(same ? new char[kComparePieceBytes] : nullptr);
    size_t at = 0;
    while (same) {
        const ssize_t got = ::read(fd, piece.get(), kComparePieceBytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            same = got == 0 && at == size;
            break;
        }
        const auto n = static_cast<size_t>(got);
        same = at + n <= size && std::memcmp(piece.get(), data + at, n) == 0;
        at += n;
    }
    if (same) MakeWritableForAll(fd);
    close(fd);
    return same;
}

// A new file of the folder holding the contents, its descriptor left open for the caller to
// sync and close; -1 when it cannot be made or written (and is then closed). made tells whether
// the entry was made and needs removing should the write not go on.
int WriteNewFile(const CCardFolder& folder, const std::string& name, const CMemoryBuffer& contents, bool& made) {
    CCardFileSystem& files = GetCardFileSystem();
    made = false;
    const int fd = files.Create(folder, name);
    if (fd < 0) return -1;
    made = true;
    if (files.Write(fd, name, contents.Data(), contents.Size())) return fd;
    files.Close(fd, name);
    return -1;
}

// Syncs and closes a file that WriteNewFile made; false when either fails.
bool SyncAndClose(int fd, const std::string& name) {
    CCardFileSystem& files = GetCardFileSystem();
    const bool synced = files.Sync(fd, name);
    return files.Close(fd, name) && synced;
}

}  // namespace

bool WriteCardFile(const CCardFolder& folder, const std::string& name, const CFileWriter& write) {
    CCardFileSystem& files = GetCardFileSystem();
    CMemoryBuffer contents;
    if (!folder.IsOpen() || !MakeContents(write, contents)) return false;
    const std::string fresh = GetNewFileName(name);
    bool made = false;
    const int fd = WriteNewFile(folder, fresh, contents, made);
    const bool done = fd >= 0 && SyncAndClose(fd, fresh) && files.Rename(folder, fresh, name);
    if (!done && made) files.Remove(folder, fresh);
    return done && files.SyncFolder(folder);
}

std::vector<bool> WriteCardFiles(const std::vector<CCardFileJob>& jobs) {
    CCardFileSystem& files = GetCardFileSystem();
    const size_t count = jobs.size();
    std::vector<bool> done(count, false), made(count, false);
    std::vector<std::string> temporaries;
    temporaries.reserve(count);
    for (const CCardFileJob& job : jobs) temporaries.push_back(GetNewFileName(job.name));
    // A few files stay open until all are written and are then synced one by one; many are
    // synced with their file system at once, or one by one as they are written on FUSE, whose
    // daemon syncfs does not reach (and which would not take thousands of open files).
    const bool few = count <= kSyncEachLimit;
    const bool each = few || (count > 0 && IsFuseFileSystem(jobs[0].folder->Fd()));
    std::vector<int> open(count, -1);
    // 1. Every temporary file, whole.
    const CCardFolder* anyFolder = nullptr;
    for (size_t i = 0; i < count; ++i) {
        CMemoryBuffer contents;
        if (!MakeContents(jobs[i].write, contents)) continue;
        bool entry = false;
        const int fd = WriteNewFile(*jobs[i].folder, temporaries[i], contents, entry);
        made[i] = entry;
        if (fd < 0) continue;
        if (few) {
            open[i] = fd;
            done[i] = true;
        } else if (each) {
            done[i] = SyncAndClose(fd, temporaries[i]);
        } else {
            StartWriteback(fd);
            done[i] = files.Close(fd, temporaries[i]);
        }
        if (done[i] && anyFolder == nullptr) anyFolder = jobs[i].folder;
    }
    // 2. All of them durable before any replaces its target.
    if (few) {
        for (size_t i = 0; i < count; ++i)
            if (open[i] >= 0) done[i] = SyncAndClose(open[i], temporaries[i]);
    } else if (!each && anyFolder != nullptr && !files.SyncFileSystem(*anyFolder)) {
        done.assign(count, false);
    }
    // 3. Each replaces its target; what did not goes.
    for (size_t i = 0; i < count; ++i) {
        if (done[i]) done[i] = files.Rename(*jobs[i].folder, temporaries[i], jobs[i].name);
        if (!done[i] && made[i]) files.Remove(*jobs[i].folder, temporaries[i]);
    }
    // 4. The folders once, so that the renames last.
    if (each) {
        std::set<const CCardFolder*> folders, failed;
        for (size_t i = 0; i < count; ++i)
            if (done[i]) folders.insert(jobs[i].folder);
        for (const CCardFolder* folder : folders)
            if (!files.SyncFolder(*folder)) failed.insert(folder);
        for (size_t i = 0; i < count; ++i)
            if (done[i] && failed.count(jobs[i].folder) != 0) done[i] = false;
    } else if (anyFolder != nullptr && !files.SyncFileSystem(*anyFolder)) {
        done.assign(count, false);
    }
    return done;
}

// --- reading ---

bool ReadCardFileAt(int folder, const std::string& name, CFileBytes& bytes, size_t maxBytes) {
    bytes.clear();
    // Not blocking: a FIFO in the card's folders would hold the open until a writer came.
    const int fd = openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat info {};
    bool read = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= maxBytes;
    if (read) {
        // One read for the whole file as it was when opened (up to the bound if it grew).
        bytes.resize(static_cast<size_t>(info.st_size) + 1);
        size_t filled = 0;
        for (;;) {
            if (filled == bytes.size()) {
                if (bytes.size() > maxBytes) {
                    read = false;
                    break;
                }
                bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
            }
            const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                read = got == 0;
                break;
            }
            filled += static_cast<size_t>(got);
            // The size it had when opened, read whole: no further call to hear its end.
            if (filled == static_cast<size_t>(info.st_size)) break;
        }
        bytes.resize(read ? filled : 0);
    }
    close(fd);
    return read;
}

bool ReadCardFile(const std::string& path, CFileBytes& bytes, size_t maxBytes) {
    return ReadCardFileAt(AT_FDCWD, path, bytes, maxBytes);
}

bool CCardFolderReader::Read(const std::string& path, CFileBytes& bytes, size_t maxBytes) {
    bytes.clear();
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return false;
    // A folder that could not be opened is not asked again for its next file.
    if (path.compare(0, slash + 1, m_path) != 0 || m_path.size() != slash + 1) {
        m_path = path.substr(0, slash + 1);
        if (!m_root.IsOpen()) m_card.OpenFolder(m_card.GetRoot(), m_root);
        m_card.OpenFolderBelow(m_root, m_path, m_folder);
    }
    return m_folder.IsOpen() && ReadCardFileAt(m_folder.Fd(), path.substr(slash + 1), bytes, maxBytes);
}

CMemoryReadBuffer::CMemoryReadBuffer(const char* data, size_t size) {
    char* begin = const_cast<char*>(data);  // never written through: this buffer only reads
    setg(begin, begin, begin + size);
}

CMemoryReadBuffer::pos_type CMemoryReadBuffer::seekoff(off_type offset, std::ios_base::seekdir direction,
                                                       std::ios_base::openmode which) {
    if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
    const off_type size = egptr() - eback();
    const off_type base = direction == std::ios_base::beg   ? 0
                          : direction == std::ios_base::cur ? gptr() - eback()
                                                            : size;
    const off_type target = base + offset;
    if (target < 0 || target > size) return pos_type(off_type(-1));
    setg(eback(), eback() + target, egptr());
    return pos_type(target);
}

CMemoryReadBuffer::pos_type CMemoryReadBuffer::seekpos(pos_type position, std::ios_base::openmode which) {
    return seekoff(off_type(position), std::ios_base::beg, which);
}

CCardFileInput::CCardFileInput() : std::istream(nullptr) {}

bool CCardFileInput::Open(const std::string& path, size_t maxBytes) {
    return ReadCardFile(path, m_bytes, maxBytes) && Take();
}

bool CCardFileInput::Open(const CCardFolder& folder, const std::string& name, size_t maxBytes) {
    return folder.IsOpen() && ReadCardFileAt(folder.Fd(), name, m_bytes, maxBytes) && Take();
}

bool CCardFileInput::Take() {
    m_buffer.reset(new CMemoryReadBuffer(m_bytes.data(), m_bytes.size()));
    rdbuf(m_buffer.get());
    clear();
    return true;
}

// --- a set of files ---

std::string CCardFileSet::NewName(const std::string& name) { return GetNewFileName(name); }

std::string CCardFileSet::OldName(const std::string& name) { return TitleOf(name) + ".OLD"; }

const std::string& CCardFileSet::CompleteMarkName() {
    static const std::string name("NEWSET.OK");
    return name;
}

namespace {

typedef CCardFileSystem::ELook ELook;

ELook LookAt(const CCardFolder& folder, const std::string& name) {
    struct stat info {};
    return GetCardFileSystem().Look(folder, name, info);
}

// The new copy at the name may finish a set: the folder's own regular file of one name. A link,
// a file with other names (which may lie anywhere) or anything else is not one.
bool IsOwnNewCopy(const CCardFolder& folder, const struct stat& info) {
    struct stat own {};
    return S_ISREG(info.st_mode) && info.st_nlink == 1 && fstat(folder.Fd(), &own) == 0 && info.st_dev == own.st_dev;
}

// Finishes a complete new set: each old file aside (or, aside already, the second copy at its
// place taken away), its new copy in its place; the old copies and then the mark go once the
// whole new set stands. A step that fails stops with nothing more deleted and the mark kept.
bool FinishSet(const CCardFolder& folder, const std::vector<std::string>& names) {
    CCardFileSystem& files = GetCardFileSystem();
    for (const std::string& name : names) {
        const std::string old = CCardFileSet::OldName(name), fresh = CCardFileSet::NewName(name);
        const ELook freshLook = LookAt(folder, fresh);
        if (freshLook == CCardFileSystem::ENTRY_UNKNOWN) return false;
        if (freshLook == CCardFileSystem::ENTRY_MISSING) continue;  // already in place
        const ELook target = LookAt(folder, name), aside = LookAt(folder, old);
        if (target == CCardFileSystem::ENTRY_UNKNOWN || aside == CCardFileSystem::ENTRY_UNKNOWN) return false;
        // With the old file already aside, what stands at the target is a second copy.
        if (target == CCardFileSystem::ENTRY_PRESENT
            && !(aside == CCardFileSystem::ENTRY_PRESENT ? files.Remove(folder, name)
                                                         : files.Rename(folder, name, old)))
            return false;
        if (!files.Rename(folder, fresh, name)) return false;
    }
    for (const std::string& name : names)
        if (LookAt(folder, name) != CCardFileSystem::ENTRY_PRESENT) return false;
    // The new names on the card before anything goes: on FAT a removal may otherwise reach the
    // card before the renames, leaving new copies without their targets, which the next connect
    // would take for an incomplete set and remove.
    if (!files.SyncFolder(folder)) return false;
    bool removed = true;
    for (const std::string& name : names) {
        const ELook aside = LookAt(folder, CCardFileSet::OldName(name));
        if (aside == CCardFileSystem::ENTRY_UNKNOWN)
            removed = false;
        else if (aside == CCardFileSystem::ENTRY_PRESENT)
            removed = files.Remove(folder, CCardFileSet::OldName(name)) && removed;
    }
    return removed && files.Remove(folder, CCardFileSet::CompleteMarkName());
}

// Takes away a set that is not complete: every old file back in its place (over a new copy
// already swapped in), every new copy gone; with a mark, the mark last, so that an attempt cut
// short is made again. Without one, an old copy beside its file is the one that goes.
bool UndoSet(const CCardFolder& folder, const std::vector<std::string>& names, bool marked) {
    CCardFileSystem& files = GetCardFileSystem();
    bool settled = true;
    for (const std::string& name : names) {
        const std::string old = CCardFileSet::OldName(name), fresh = CCardFileSet::NewName(name);
        const ELook aside = LookAt(folder, old);
        if (aside == CCardFileSystem::ENTRY_UNKNOWN) {
            settled = false;
        } else if (aside == CCardFileSystem::ENTRY_PRESENT) {
            const ELook target = marked ? CCardFileSystem::ENTRY_MISSING : LookAt(folder, name);
            if (target == CCardFileSystem::ENTRY_UNKNOWN)
                settled = false;
            else
                settled = (target == CCardFileSystem::ENTRY_PRESENT ? files.Remove(folder, old)
                                                                    : files.Rename(folder, old, name))
                          && settled;
        }
        const ELook copy = LookAt(folder, fresh);
        if (copy == CCardFileSystem::ENTRY_UNKNOWN)
            settled = false;
        else if (copy == CCardFileSystem::ENTRY_PRESENT)
            settled = files.Remove(folder, fresh) && settled;
    }
    // The old files back in their places on the card before the mark goes (see Replace).
    return settled && (!marked || (files.SyncFolder(folder) && files.Remove(folder, CCardFileSet::CompleteMarkName())));
}

}  // namespace

bool CCardFileSet::Recover(const CCardFolder& folder, const std::vector<std::string>& names) {
    if (!folder.IsOpen()) return false;
    CCardFileSystem& files = GetCardFileSystem();
    const ELook mark = LookAt(folder, CompleteMarkName());
    if (mark == CCardFileSystem::ENTRY_UNKNOWN) return false;
    if (mark == CCardFileSystem::ENTRY_MISSING) return UndoSet(folder, names, false);
    // The mark says every new copy was complete; only the folder's own files are taken as such.
    for (const std::string& name : names) {
        struct stat info {};
        const ELook copy = files.Look(folder, NewName(name), info);
        if (copy == CCardFileSystem::ENTRY_UNKNOWN) return false;
        if (copy == CCardFileSystem::ENTRY_PRESENT && !IsOwnNewCopy(folder, info)) return UndoSet(folder, names, true);
    }
    return FinishSet(folder, names);
}

bool CCardFileSet::HasLeftovers(const CCardFolder& folder, const std::vector<std::string>& names) {
    if (LookAt(folder, CompleteMarkName()) != CCardFileSystem::ENTRY_MISSING) return true;
    for (const std::string& name : names)
        if (LookAt(folder, NewName(name)) != CCardFileSystem::ENTRY_MISSING
            || LookAt(folder, OldName(name)) != CCardFileSystem::ENTRY_MISSING)
            return true;
    return false;
}

bool CCardFileSet::CanReplace(const CCardFolder& folder, const std::vector<std::string>& names) {
    if (!folder.IsOpen()) return false;
    for (const std::string& name : names) {
        struct stat info {};
        const ELook look = GetCardFileSystem().Look(folder, name, info);
        if (look == CCardFileSystem::ENTRY_UNKNOWN) return false;
        if (look == CCardFileSystem::ENTRY_MISSING || !S_ISDIR(info.st_mode)) continue;
        // A folder in a file's place: an empty one is replaced, one with entries is the user's.
        const int fd = openat(folder.Fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR* entries = fd >= 0 ? fdopendir(fd) : nullptr;
        if (entries == nullptr) {
            if (fd >= 0) close(fd);
            return false;
        }
        bool empty = true;
        errno = 0;
        for (const dirent* entry = readdir(entries); empty && entry != nullptr; entry = readdir(entries))
            empty = std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0;
        const bool listed = errno == 0;
        closedir(entries);
        if (!empty || !listed) return false;
    }
    return true;
}

bool CCardFileSet::Replace(const CCardFolder& folder, const std::vector<CEntry>& entries) {
    std::vector<std::string> all;
    for (const CEntry& entry : entries) all.push_back(entry.name);
    // Nothing changes unless every file can take its place; a mark left by an earlier write
    // would make a half-written new set look complete.
    if (!CanReplace(folder, all) || !Recover(folder, all)) return false;
    CUpdate update;
    return update.Prepare(folder, entries) && update.Replace(folder);
}

// --- a prepared replacement ---

struct CCardFileSet::CUpdate::CContents {
    CMemoryBuffer bytes;
};

CCardFileSet::CUpdate::CUpdate() = default;

CCardFileSet::CUpdate::~CUpdate() = default;

bool CCardFileSet::CUpdate::Prepare(const CCardFolder& folder, const std::vector<CEntry>& entries) {
    m_names.clear();
    m_contents.clear();
    for (const CEntry& entry : entries) {
        std::unique_ptr<CContents> contents(new CContents);
        if (!MakeContents(entry.write, contents->bytes)) return false;
        // A file that already holds its new bytes stays as it is: the set is whole with it either
        // way, and the card is spared the write.
        if (folder.IsOpen() && HoldsBytes(folder, entry.name, contents->bytes.Data(), contents->bytes.Size())) continue;
        m_names.push_back(entry.name);
        m_contents.push_back(std::move(contents));
    }
    return true;
}

std::vector<int64_t> CCardFileSet::CUpdate::GetChangedSizes() const {
    std::vector<int64_t> sizes;
    for (const auto& contents : m_contents) sizes.push_back(static_cast<int64_t>(contents->bytes.Size()));
    return sizes;
}

bool CCardFileSet::CUpdate::Replace(const CCardFolder& folder) const {
    if (m_names.empty()) return true;
    CCardFileSystem& files = GetCardFileSystem();
    const std::string& mark = CompleteMarkName();

    // 1. The new copies, all written before any is synced (the file system then commits them
    // together), then the mark that they are complete.
    std::vector<std::string> made;  // new copies on the card
    std::vector<int> open;          // their descriptors, in the same order
    bool complete = true;
    for (size_t i = 0; complete && i < m_names.size(); ++i) {
        const std::string fresh = NewName(m_names[i]);
        bool entry = false;
        const int fd = WriteNewFile(folder, fresh, m_contents[i]->bytes, entry);
        if (entry) made.push_back(fresh);
        complete = fd >= 0;
        if (complete) open.push_back(fd);
    }
    for (size_t i = 0; i < open.size(); ++i) {
        if (complete)
            complete = SyncAndClose(open[i], made[i]);
        else
            files.Close(open[i], made[i]);
    }
    if (complete) {
        bool entry = false;
        const int fd = WriteNewFile(folder, mark, CMemoryBuffer(), entry);
        complete = fd >= 0 && SyncAndClose(fd, mark);
    }
    // The mark's name and the new copies' names on the card before any rename: on FAT a rename
    // may otherwise reach the card before them.
    if (complete) complete = files.SyncFolder(folder);
    if (!complete) {
        // The mark goes first: a mark beside some of the new copies would have the next connect
        // finish a set that is no longer whole. Kept, it leaves the complete set to be finished.
        const ELook marked = LookAt(folder, mark);
        if (marked == CCardFileSystem::ENTRY_MISSING
            || (marked == CCardFileSystem::ENTRY_PRESENT && files.Remove(folder, mark)))
            for (const std::string& fresh : made) files.Remove(folder, fresh);
        return false;
    }

    // 2. Each old file aside, its new copy in its place.
    std::vector<bool> hadOld(m_names.size(), false);
    size_t swapped = 0;
    bool restored = true;  // every file before the failing one can still go back
    for (; swapped < m_names.size(); ++swapped) {
        const std::string& name = m_names[swapped];
        const ELook target = LookAt(folder, name);
        if (target == CCardFileSystem::ENTRY_UNKNOWN) break;
        hadOld[swapped] = target == CCardFileSystem::ENTRY_PRESENT;
        if (hadOld[swapped] && !files.Rename(folder, name, OldName(name))) break;
        if (!files.Rename(folder, NewName(name), name)) {
            if (hadOld[swapped] && !files.Rename(folder, OldName(name), name)) restored = false;
            break;
        }
    }
    if (swapped < m_names.size()) {
        // Put the old files back; should that fail, the mark stays and the next connect
        // finishes the new set instead.
        while (restored && swapped-- > 0) {
            const std::string& name = m_names[swapped];
            if (!files.Rename(folder, name, NewName(name))
                || (hadOld[swapped] && !files.Rename(folder, OldName(name), name))) {
                restored = false;
                break;
            }
        }
        // The old files back in their places on the card before the mark goes: on FAT its
        // removal may otherwise reach the card first, and the next connect would find a new copy
        // in one file's place and that file's old copy beside it, unmarked, and keep the new one.
        // Then the mark before the new copies, as above.
        if (restored && files.SyncFolder(folder) && files.Remove(folder, mark))
            for (const std::string& name : m_names) files.Remove(folder, NewName(name));
        return false;
    }

    // 3. The new names made durable, then the old files go, then the mark. Should any of that
    // fail, the mark stays: the next save or connect finishes the set.
    if (!files.SyncFolder(folder)) return false;
    bool removed = true;
    for (size_t i = 0; i < m_names.size(); ++i)
        if (hadOld[i]) removed = files.Remove(folder, OldName(m_names[i])) && removed;
    return removed && files.Remove(folder, mark);
}

bool CCardFileSet::CUpdate::ReplaceEach(const CCardFolder& folder) const {
    CCardFileSystem& files = GetCardFileSystem();
    bool all = true;
    for (size_t i = 0; i < m_names.size(); ++i) {
        const std::string& name = m_names[i];
        const std::string fresh = NewName(name);
        bool made = false;
        const int fd = WriteNewFile(folder, fresh, m_contents[i]->bytes, made);
        // Never written over in place: the old file stands whole until its new copy replaces it
        // in one step, so that every file is its old bytes or its new bytes whatever happens. An
        // empty folder in its place (CanReplace let no other through) goes first.
        struct stat info {};
        const bool done = fd >= 0 && SyncAndClose(fd, fresh)
                          && (files.Look(folder, name, info) != CCardFileSystem::ENTRY_PRESENT || !S_ISDIR(info.st_mode)
                              || files.Remove(folder, name))
                          && files.Rename(folder, fresh, name) && files.SyncFolder(folder);
        if (!done && made && LookAt(folder, fresh) != CCardFileSystem::ENTRY_MISSING) files.Remove(folder, fresh);
        all = done && all;
    }
    return all;
}
