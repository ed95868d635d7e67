#include "app/card/CardFiles.h"

#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <streambuf>

#include "general_tools/Files.h"
#include "general_tools/Paths.h"
#include "sound/files/FileDataSource.h"

namespace {

CCardFileSystem* g_fileSystem = nullptr;
constexpr unsigned long kFuseSuperMagic = 0x65735546;

std::string TitleOf(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// An output buffer in memory that may seek back within what was written (the chunk writers
// patch sizes after their bodies). Its size is the furthest position written. It grows without
// zero-filling: only a seek past the end leaves a gap, and that gap is zeroed.
//
// The storage of the last buffer is kept for the next one: a save writes megabytes, and fresh
// memory costs a page fault for every page it touches.
class CMemoryBuffer : public std::streambuf {
public:
    CMemoryBuffer() {
        Storage& spare = Spare();
        if (spare.bytes) {
            m_bytes = std::move(spare.bytes);
            m_capacity = spare.capacity;
            spare.capacity = 0;
            MoveTo(0);
        } else {
            Reserve(4096);
        }
    }
    ~CMemoryBuffer() override {
        Storage& spare = Spare();
        if (m_capacity <= kMaxSpareBytes && m_capacity > spare.capacity) {
            spare.bytes = std::move(m_bytes);
            spare.capacity = m_capacity;
        }
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
    // Room for the largest database file (the two-megabyte name table) as the buffer grows.
    static constexpr size_t kMaxSpareBytes = size_t(8) << 20;
    static Storage& Spare() {
        thread_local Storage spare;
        return spare;
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

// Opens the file or folder and syncs it (fsync) or its file system (syncfs).
bool SyncThrough(const std::string& path, int (*sync)(int)) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = sync(fd) == 0;
    close(fd);
    return synced;
}

// Has the kernel start writing the file to its device without waiting: the caller syncs it
// soon, and meanwhile the device works while the next files are made. Only a hint.
void StartWriteback(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    close(fd);
}

// Comparing a new file with the one on the card reads this much at a time.
constexpr size_t kComparePieceBytes = 64 * 1024;

// Below this many files a batch syncs each file and folder; above, the whole file system once.
constexpr size_t kSyncEachLimit = 16;

// A FUSE daemon is not asked to sync by syncfs: its files are synced one by one.
bool IsFuseFileSystem(const std::string& path) {
    struct statfs info {};
    return statfs(path.c_str(), &info) == 0 && static_cast<unsigned long>(info.f_type) == kFuseSuperMagic;
}

// Takes away the entry itself: a file, a link (never what it leads to) or an empty folder.
bool RemoveEntry(const std::string& path) {
    if (unlink(path.c_str()) == 0) return true;
    return (errno == EISDIR || errno == EPERM) && rmdir(path.c_str()) == 0;
}

// A new file of its own at the path, whatever stood there taken away first (a leftover, a link,
// a file with other names): nothing is ever written through a name. -1 when it cannot be made.
int CreateOwnFile(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) == 0 && !RemoveEntry(path)) return -1;
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
}

// Opens a card file to be written whole in place: a missing one (or an empty folder in its
// place) is made, a regular file of one name is emptied (a full card may have no room for a
// second copy). Anything else there (a link, a file with other names, a FIFO) is never written
// through: -1 with replace set, and the caller replaces it. -1 alone when it cannot be opened.
int OpenInPlace(const std::string& path, bool& replace) {
    replace = false;
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666) : -1;
    if (S_ISDIR(info.st_mode)) return rmdir(path.c_str()) == 0 ? CreateOwnFile(path) : -1;
    if (!S_ISREG(info.st_mode) || info.st_nlink != 1) {
        replace = true;
        return -1;
    }
    int fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) {
        // A read-only file of the card: written as every file the program puts there, writable.
        GT::ClearReadOnly(path);
        fd = open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    }
    if (fd < 0) return -1;
    struct stat opened {};
    if (fstat(fd, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino || opened.st_nlink != 1
        || ftruncate(fd, 0) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Every byte of one open file into another, each from its start.
bool CopyBytes(int from, int to) {
    off_t offset = 0;
    for (;;) {
        const ssize_t sent = sendfile(to, from, &offset, size_t(1) << 30);
        if (sent > 0) continue;
        if (sent == 0) return true;
        if (errno == EINTR) continue;
        if (offset != 0 || (errno != EINVAL && errno != ENOSYS)) return false;
        break;  // files the kernel cannot copy between: by reading and writing
    }
    std::unique_ptr<char[]> piece(new char[kComparePieceBytes]);
    for (;;) {
        const ssize_t got = ::read(from, piece.get(), kComparePieceBytes);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return got == 0;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::write(to, piece.get() + put, static_cast<size_t>(got - put));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            put += n;
        }
    }
}

}  // namespace

// --- file operations ---

boost::shared_ptr<std::ostream> CCardFileSystem::OpenWrite(const std::string& path) {
    const int fd = CreateOwnFile(path);
    if (fd < 0) return {};
    close(fd);
    return SL::CFileDataSource(path, false).OpenWrite();
}

bool CCardFileSystem::Close(boost::shared_ptr<std::ostream> out, const std::string&) {
    if (!out) return false;
    out->flush();
    bool good = !out->fail();
    if (auto* file = dynamic_cast<std::fstream*>(out.get())) {
        file->close();
        good = good && !file->fail();
    }
    return good;
}

bool CCardFileSystem::Finish(boost::shared_ptr<std::ostream> out, const std::string& path) {
    if (!out) return false;
    const bool closed = Close(std::move(out), path);
    return Sync(path) && closed;
}

bool CCardFileSystem::Sync(const std::string& path) { return SyncThrough(path, fsync); }

bool CCardFileSystem::SyncFileSystem(const std::string& path) { return SyncThrough(path, syncfs); }

bool CCardFileSystem::Rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool CCardFileSystem::Remove(const std::string& path) { return RemoveEntry(path); }

bool CCardFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool CCardFileSystem::CopyInto(const std::string& source, const std::string& target) {
    const int in = open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (in < 0) return false;
    struct stat info {};
    bool copied = false;
    if (fstat(in, &info) == 0 && S_ISREG(info.st_mode)) {
        bool replace = false;
        const int out = OpenInPlace(target, replace);
        if (out >= 0) {
            copied = CopyBytes(in, out);
            copied = close(out) == 0 && copied && Sync(target);
        } else if (replace) {
            // Written beside it and renamed over it: the link or the other names stay as they were.
            const std::string fresh = GetNewFilePath(target);
            const int beside = CreateOwnFile(fresh);
            if (beside >= 0) {
                copied = CopyBytes(in, beside);
                copied = close(beside) == 0 && copied && Sync(fresh) && Rename(fresh, target)
                         && Sync(GT::CPathParts(target, '/').directory);
                if (!copied) RemoveEntry(fresh);
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

std::string GetNewFilePath(const std::string& path) {
    const GT::CPathParts parts(path, '/');
    return parts.directory + parts.title + ".NEW";
}

namespace {

bool MakeContents(const CFileWriter& write, CMemoryBuffer& contents) {
    std::ostream memory(&contents);
    return write(memory) && memory.good();
}

// Whether the file holds exactly these bytes; read in pieces, up to the first difference.
bool HoldsBytes(const std::string& path, const char* data, size_t size) {
    // A FIFO is not waited on; a link or a file with other names is not the card's own file and
    // is replaced, whatever it holds.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
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
    close(fd);
    return same;
}

bool WriteContents(const std::string& path, const CMemoryBuffer& contents, bool* opened, bool sync) {
    CCardFileSystem& files = GetCardFileSystem();
    boost::shared_ptr<std::ostream> out = files.OpenWrite(path);
    if (!out) return false;
    if (opened != nullptr) *opened = true;
    out->write(contents.Data(), static_cast<std::streamsize>(contents.Size()));
    const bool written = !out->fail();
    if (sync) return files.Finish(std::move(out), path) && written;
    const bool closed = files.Close(std::move(out), path) && written;
    if (closed) StartWriteback(path);
    return closed;
}

}  // namespace

bool WriteWholeFile(const std::string& path, const CFileWriter& write, bool* opened, bool sync) {
    if (opened != nullptr) *opened = false;
    CMemoryBuffer contents;
    return MakeContents(write, contents) && WriteContents(path, contents, opened, sync);
}

bool WriteCardFile(const std::string& path, const CFileWriter& write) {
    CCardFileSystem& files = GetCardFileSystem();
    const std::string temporary = GetNewFilePath(path);
    bool opened = false;
    if (WriteWholeFile(temporary, write, &opened) && files.Rename(temporary, path)) {
        GT::MakeWritable(path);  // as every file the program puts on the card; best effort
        return true;
    }
    if (opened) files.Remove(temporary);
    return false;
}

std::vector<bool> WriteCardFiles(const std::vector<CCardFileJob>& jobs) {
    CCardFileSystem& files = GetCardFileSystem();
    std::vector<bool> done(jobs.size(), false), opened(jobs.size(), false);
    std::vector<std::string> temporaries;
    temporaries.reserve(jobs.size());
    // 1. Every temporary file, whole.
    size_t written = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        temporaries.push_back(GetNewFilePath(jobs[i].path));
        bool made = false;
        done[i] = WriteWholeFile(temporaries[i], jobs[i].write, &made, false);
        opened[i] = made;
        if (done[i]) ++written;
    }
    // 2. All of them durable before any replaces its target.
    std::string anyFile;
    for (size_t i = 0; i < jobs.size() && anyFile.empty(); ++i)
        if (done[i]) anyFile = temporaries[i];
    const bool each = written <= kSyncEachLimit || (!anyFile.empty() && IsFuseFileSystem(anyFile));
    if (each) {
        for (size_t i = 0; i < jobs.size(); ++i)
            if (done[i]) done[i] = files.Sync(temporaries[i]);
    } else if (!files.SyncFileSystem(anyFile)) {
        done.assign(jobs.size(), false);
    }
    // 3. Each replaces its target; what did not goes.
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (done[i]) done[i] = files.Rename(temporaries[i], jobs[i].path);
        if (done[i])
            GT::MakeWritable(jobs[i].path);  // as every file the program puts on the card; best effort
        else if (opened[i])
            files.Remove(temporaries[i]);
    }
    // 4. The folders once, so that the renames last.
    if (each) {
        std::set<std::string> failed;
        std::set<std::string> folders;
        for (size_t i = 0; i < jobs.size(); ++i)
            if (done[i]) folders.insert(GT::CPathParts(jobs[i].path, '/').directory);
        for (const std::string& folder : folders)
            if (!files.Sync(folder)) failed.insert(folder);
        for (size_t i = 0; i < jobs.size(); ++i)
            if (done[i] && failed.count(GT::CPathParts(jobs[i].path, '/').directory) != 0) done[i] = false;
    } else if (!anyFile.empty() && !files.SyncFileSystem(GT::CPathParts(anyFile, '/').directory)) {
        done.assign(jobs.size(), false);
    }
    return done;
}

// --- reading ---

namespace {

// ReadCardFile of a name in the open folder (or a path, with AT_FDCWD).
bool ReadCardFileAt(int folder, const char* name, CFileBytes& bytes, size_t maxBytes) {
    bytes.clear();
    // Not blocking: a FIFO in the card's folders would hold the open until a writer came.
    const int fd = openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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

}  // namespace

bool ReadCardFile(const std::string& path, CFileBytes& bytes, size_t maxBytes) {
    return ReadCardFileAt(AT_FDCWD, path.c_str(), bytes, maxBytes);
}

CCardFolderReader::~CCardFolderReader() {
    if (m_folder >= 0) close(m_folder);
}

bool CCardFolderReader::Read(const std::string& path, CFileBytes& bytes, size_t maxBytes) {
    const std::string::size_type slash = path.rfind('/');
    if (slash == std::string::npos || slash + 1 == path.size()) return ReadCardFile(path, bytes, maxBytes);
    if (m_folder < 0 || path.compare(0, slash + 1, m_path) != 0 || m_path.size() != slash + 1) {
        if (m_folder >= 0) close(m_folder);
        m_path = path.substr(0, slash + 1);
        m_folder = open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0) {
            m_path.clear();
            bytes.clear();
            return false;
        }
    }
    return ReadCardFileAt(m_folder, path.c_str() + slash + 1, bytes, maxBytes);
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
    if (!ReadCardFile(path, m_bytes, maxBytes)) return false;
    m_buffer.reset(new CMemoryReadBuffer(m_bytes.data(), m_bytes.size()));
    rdbuf(m_buffer.get());
    clear();
    return true;
}

// --- a set of files ---

std::string CCardFileSet::NewName(const std::string& name) { return TitleOf(name) + ".NEW"; }

std::string CCardFileSet::OldName(const std::string& name) { return TitleOf(name) + ".OLD"; }

const std::string& CCardFileSet::CompleteMarkName() {
    static const std::string name("NEWSET.OK");
    return name;
}

bool CCardFileSet::Recover(const std::string& folder, const std::vector<std::string>& names) {
    CCardFileSystem& files = GetCardFileSystem();
    const std::string mark = folder + CompleteMarkName();
    if (files.Exists(mark)) {
        // Every new copy was complete: finish the replacement. A step that fails stops here
        // with nothing deleted and the mark kept, so the next attempt goes on from this point.
        for (const std::string& name : names) {
            const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
            if (!files.Exists(fresh)) continue;  // already in place
            // With the old file already aside, what stands at the target is a second copy.
            if (files.Exists(target) && !(files.Exists(old) ? files.Remove(target) : files.Rename(target, old)))
                return false;
            if (!files.Rename(fresh, target)) return false;
        }
        // The old copies go only once the whole new set stands.
        for (const std::string& name : names)
            if (!files.Exists(folder + name)) return false;
        bool removed = true;
        for (const std::string& name : names)
            if (files.Exists(folder + OldName(name))) removed = files.Remove(folder + OldName(name)) && removed;
        return removed && files.Remove(mark);
    }
    // The new set never became complete: the old files stay, their new copies go.
    bool settled = true;
    for (const std::string& name : names) {
        const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
        if (files.Exists(old))
            settled = (files.Exists(target) ? files.Remove(old) : files.Rename(old, target)) && settled;
        if (files.Exists(fresh)) settled = files.Remove(fresh) && settled;
    }
    return settled;
}

bool CCardFileSet::HasLeftovers(const std::string& folder, const std::vector<std::string>& names) {
    CCardFileSystem& files = GetCardFileSystem();
    if (files.Exists(folder + CompleteMarkName())) return true;
    for (const std::string& name : names)
        if (files.Exists(folder + NewName(name)) || files.Exists(folder + OldName(name))) return true;
    return false;
}

bool CCardFileSet::Replace(const std::string& folder, const std::vector<CEntry>& entries) {
    CCardFileSystem& files = GetCardFileSystem();
    std::vector<std::string> all;
    for (const CEntry& entry : entries) all.push_back(entry.name);
    const std::string mark = folder + CompleteMarkName();
    // Nothing changes unless every file can take its place; a mark left by an earlier write
    // would make a half-written new set look complete.
    if (!CanReplace(folder, all) || !Recover(folder, all)) return false;

    // 1. The new copies, all written before any is synced (the file system then commits them
    // together), then the mark that they are complete. A file that already holds its new bytes
    // stays as it is: the set is whole with it either way, and the card is spared the write.
    std::vector<std::string> written;
    std::vector<std::string> names;  // the files that change, in their order
    bool complete = true;
    for (const CEntry& entry : entries) {
        CMemoryBuffer contents;
        complete = MakeContents(entry.write, contents);
        if (!complete) break;
        if (HoldsBytes(folder + entry.name, contents.Data(), contents.Size())) {
            GT::MakeWritable(folder + entry.name);  // as a written file ends
            continue;
        }
        names.push_back(entry.name);
        const std::string path = folder + NewName(entry.name);
        bool opened = false;
        complete = WriteContents(path, contents, &opened, false);
        if (opened) written.push_back(path);
        if (!complete) break;
    }
    if (complete && names.empty()) return true;
    for (size_t i = 0; complete && i < written.size(); ++i) complete = files.Sync(written[i]);
    if (complete) complete = WriteWholeFile(mark, [](std::ostream& out) { return out.good(); });
    // The mark's name and the new copies' names on the card before any rename: on FAT a rename
    // may otherwise reach the card before them.
    if (complete) complete = files.Sync(folder);
    if (!complete) {
        // The mark goes first: a mark beside some of the new copies would have the next connect
        // finish a set that is no longer whole. Kept, it leaves the complete set to be finished.
        if (!files.Exists(mark) || files.Remove(mark))
            for (const std::string& path : written) files.Remove(path);
        return false;
    }

    // 2. Each old file aside, its new copy in its place.
    size_t swapped = 0;
    bool restored = true;  // every file before the failing one can still go back
    for (; swapped < names.size(); ++swapped) {
        const std::string& name = names[swapped];
        const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
        const bool hadOld = files.Exists(target);
        if (hadOld && !files.Rename(target, old)) break;
        if (!files.Rename(fresh, target)) {
            if (hadOld && !files.Rename(old, target)) restored = false;
            break;
        }
    }
    if (swapped < names.size()) {
        // Put the old files back; should that fail, the mark stays and the next connect
        // finishes the new set instead.
        while (restored && swapped-- > 0) {
            const std::string& name = names[swapped];
            const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
            if (!files.Rename(target, fresh)) {
                restored = false;
                break;
            }
            if (files.Exists(old) && !files.Rename(old, target)) {
                restored = false;
                break;
            }
        }
        // The mark before the new copies, as above.
        if (restored && files.Remove(mark))
            for (const std::string& name : names) files.Remove(folder + NewName(name));
        return false;
    }

    // 3. The new names made durable, then the old files go, then the mark. Should any of that
    // fail, the mark stays: the next save or connect finishes the set.
    if (!files.Sync(folder)) return false;
    bool removed = true;
    for (const std::string& name : names) {
        GT::MakeWritable(folder + name);
        if (files.Exists(folder + OldName(name))) removed = files.Remove(folder + OldName(name)) && removed;
    }
    return removed && files.Remove(mark);
}

bool CCardFileSet::CanReplace(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string path = folder + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
        // A folder in a file's place: an empty one is replaced, one with entries is the user's.
        std::error_code ec;
        if (!std::filesystem::is_empty(path, ec) || ec) return false;
    }
    return true;
}
