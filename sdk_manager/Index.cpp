// The catalogue's files and its index. The index is one file, written in one stream while the catalogue is
// walked and read back in one stream, so that neither needs more memory than one folder's listing and one
// file's records, however large the catalogue grows:
//
//   header  "TMSDKIX" 4, kind (0 folder, 1 one file), the catalogue's real path
//   folder  'D', path below the catalogue, stamp, state (readable), then its files:
//     file  'F', name, stamp, flags, records in the file, records left out, then its readable records:
//       record  position, start, disc length in seconds, track count
//   folder end  'X', its subfolders' names
//   trailer 'E', folders, files, records, left out, and a checksum of every byte before it
//
// Folders come in catalogue order (a folder, then its subfolders in name order, each followed by its own),
// files in name order. Nothing read back is trusted: lengths and counts are bounded, and an index whose
// checksum, kind or catalogue differs is built again. Stamps are compared for equality only: file times may
// lie ahead of the clock (a fast clock elsewhere, an unpacked archive), so they are never compared with it.
#include "sdk_manager/Index.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <set>
#include <thread>
#include <unordered_set>

#include "sdk_manager/Internal.h"

namespace tmsdk {

namespace {

constexpr char kMagic[8] = {'T', 'M', 'S', 'D', 'K', 'I', 'X', 4};
constexpr uint32_t kProgressEvery = 256;  // files read between two progress reports
constexpr uint32_t kMaxName = 4096;       // a path or name in the index
constexpr uint8_t kFolderTag = 'D', kFileTag = 'F', kFolderEndTag = 'X', kEndTag = 'E';
constexpr uint8_t kLinked = 1;     // the file has other names (hard links), or was reached through a link
constexpr uint8_t kDuplicate = 2;  // the same file as one before it: not read again

Stamp StampOf(const struct stat& info) {
    Stamp s;
    s.size = static_cast<uint64_t>(info.st_size);
    s.device = static_cast<uint64_t>(info.st_dev);
    s.inode = static_cast<uint64_t>(info.st_ino);
    s.modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    s.changed = static_cast<int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    return s;
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return folder + "/" + name;
}

void LogLeftOut(const std::string& what, const std::string& reason) {
    Log(__LINE__, ("catalogue: left out " + (what.empty() ? std::string(".") : what) + ": " + reason).c_str());
}

std::string ErrorText(int error) { return std::strerror(error); }

// A regular file's bytes, opened without waiting (a FIFO or device named in its place must not block) and
// within the bound. The stamp (and the number of its names) is the opened file's.
bool ReadRegular(const std::string& path, std::string& bytes, Stamp& stamp, std::string& why,
                 uint64_t* links = nullptr) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        why = "cannot be read (" + ErrorText(errno) + ")";
        return false;
    }
    struct stat info;
    bool ok = fstat(fd, &info) == 0;
    if (!ok) {
        why = "cannot be read (" + ErrorText(errno) + ")";
    } else if (!S_ISREG(info.st_mode)) {
        why = "not a regular file";
        ok = false;
    } else if (static_cast<uint64_t>(info.st_size) > kMaxFileBytes) {
        why = "larger than 64 MiB";
        ok = false;
    }
    if (ok) {
        stamp = StampOf(info);
        if (links) *links = static_cast<uint64_t>(info.st_nlink);
        bytes.resize(static_cast<size_t>(info.st_size));
        size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = read(fd, &bytes[got], bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        bytes.resize(got);  // a file that shrank while it was read is read as far as it went
    }
    close(fd);
    return ok;
}

// A file's stamp as a lookup reads it (through a link), found by name in an open folder (or, without one,
// `name` is its path); all zero when it cannot be reached, which is what the index then records.
Stamp CurrentStamp(int folder, const std::string& name, uint64_t* links = nullptr) {
    struct stat info;
    const int got = folder >= 0 ? fstatat(folder, name.c_str(), &info, 0) : stat(name.c_str(), &info);
    if (got != 0) return Stamp();
    if (links) *links = static_cast<uint64_t>(info.st_nlink);
    return StampOf(info);
}

// The path of a file the index lists: in a folder below the catalogue folder, or the catalogue file itself.
std::string Full(const Place& place, const std::string& folder, const std::string& name) {
    if (!place.folder) return place.path;
    return folder.empty() ? place.path + "/" + name : place.path + "/" + folder + "/" + name;
}

// A folder held open while its files are compared, so that each is found by its name alone.
class OpenFolder {
public:
    OpenFolder() = default;
    ~OpenFolder() { Close(); }
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    void Open(const std::string& path) {
        Close();
        m_fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    void Close() {
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }
    int Fd() const { return m_fd; }

private:
    int m_fd = -1;
};

std::string RealPath(const std::string& path) {
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string text = real;
    std::free(real);
    return text;
}

uint64_t Fnv(uint64_t hash, const unsigned char* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}
constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

// --- Writing and reading the index -------------------------------------------------------------------------

// A checksum of a byte stream, taken eight bytes at a time whatever pieces the stream comes in.
class Checksum {
public:
    void Add(const unsigned char* p, size_t n) {
        m_length += n;
        if (m_pending > 0) {
            while (n > 0 && m_pending < 8) {
                m_word[m_pending++] = *p++;
                --n;
            }
            if (m_pending < 8) return;
            Mix(m_word);
            m_pending = 0;
        }
        for (; n >= 8; p += 8, n -= 8) Mix(p);
        while (n > 0) {
            m_word[m_pending++] = *p++;
            --n;
        }
    }
    uint64_t Value() const {
        uint64_t hash = m_hash;
        for (size_t i = 0; i < m_pending; ++i) hash = (hash ^ m_word[i]) * kPrime;
        hash ^= m_length;
        return hash ^ (hash >> 31);
    }

private:
    static constexpr uint64_t kPrime = 0x9E3779B97F4A7C15ull;
    void Mix(const unsigned char* p) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        m_hash = (m_hash ^ word) * kPrime;
        m_hash ^= m_hash >> 29;
    }
    uint64_t m_hash = kFnvStart, m_length = 0;
    unsigned char m_word[8] = {};
    size_t m_pending = 0;
};

// A temporary of the index: its name followed by "." and six characters (mkostemp's).
constexpr size_t kTemporarySuffix = 7;

// Locks a temporary just made for as long as it is open; false when a cleaner removed it first.
bool LockTemporary(int fd) {
    while (flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat info;
    return fstat(fd, &info) == 0 && info.st_nlink > 0;
}

// Writes to a temporary file beside the index and renames it over the index when finished; a writer that
// could not open its file (a read-only cache) takes everything and writes nothing. The temporary stays
// locked until it is renamed or removed, so that a build killed part-way leaves one that nobody holds, for
// RemoveAbandonedTemporaries.
class Writer {
public:
    explicit Writer(const std::string& target) : m_target(target) {
        if (target.empty()) return;
        for (int attempt = 0; attempt < 3 && m_fd < 0; ++attempt) {
            m_temporary = target + ".XXXXXX";
            m_fd = mkostemp(&m_temporary[0], O_CLOEXEC);
            if (m_fd < 0) break;
            if (!LockTemporary(m_fd)) {
                close(m_fd);
                m_fd = -1;
            }
        }
        if (m_fd < 0) m_temporary.clear();
        m_buffer.reserve(kBufferBytes);
    }
    ~Writer() { Abandon(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void Bytes(const void* data, size_t n) {
        if (m_fd < 0) return;
        m_buffer.append(static_cast<const char*>(data), n);
        if (m_buffer.size() >= kBufferBytes) Flush();
    }
    void U8(uint8_t v) { Bytes(&v, 1); }
    void U32(uint32_t v) { Bytes(&v, 4); }
    void U64(uint64_t v) { Bytes(&v, 8); }
    void Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        Bytes(text.data(), text.size());
    }
    void StampOf(const Stamp& s) {
        U64(s.size);
        U64(s.device);
        U64(s.inode);
        U64(static_cast<uint64_t>(s.modified));
        U64(static_cast<uint64_t>(s.changed));
    }
    // Ends the stream with its checksum and puts the file in the index's place; false when nothing was
    // written.
    bool Finish() {
        if (m_fd < 0) return false;
        Flush();
        const uint64_t sum = m_checksum.Value();
        m_buffer.assign(reinterpret_cast<const char*>(&sum), sizeof sum);
        Flush(false);
        if (m_fd < 0) return false;
        // Renamed while still locked: a cleaner never takes a finished temporary for an abandoned one.
        if (rename(m_temporary.c_str(), m_target.c_str()) != 0) {
            Abandon();
            return false;
        }
        m_temporary.clear();
        const bool closed = close(m_fd) == 0;
        m_fd = -1;
        if (!closed) unlink(m_target.c_str());  // what was written may not all be there
        return closed;
    }
    void Abandon() {
        if (!m_temporary.empty()) unlink(m_temporary.c_str());  // before the lock goes with the descriptor
        m_temporary.clear();
        if (m_fd >= 0) close(m_fd);
        m_fd = -1;
    }

private:
    static constexpr size_t kBufferBytes = 256 * 1024;
    void Flush(bool summed = true) {
        if (summed) m_checksum.Add(reinterpret_cast<const unsigned char*>(m_buffer.data()), m_buffer.size());
        size_t done = 0;
        while (m_fd >= 0 && done < m_buffer.size()) {
            const ssize_t n = write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                Abandon();  // a full or read-only disk: the lookup goes on without an index
                break;
            }
            done += static_cast<size_t>(n);
        }
        m_buffer.clear();
    }
    std::string m_target, m_temporary, m_buffer;
    int m_fd = -1;
    Checksum m_checksum;
};

class Reader {
public:
    explicit Reader(const std::string& path) {
        m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat info;
        m_ok = m_fd >= 0 && fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 8;
        if (m_ok) m_summed = static_cast<uint64_t>(info.st_size) - 8;  // all but the checksum itself
        m_buffer.resize(kBufferBytes);
    }
    ~Reader() {
        if (m_fd >= 0) close(m_fd);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Ok() const { return m_ok; }
    bool Bytes(void* data, size_t n) {
        if (m_ok && m_end - m_at >= n) {  // the common case: all of it in the buffer
            std::memcpy(data, &m_buffer[m_at], n);
            m_at += n;
            return true;
        }
        auto* out = static_cast<unsigned char*>(data);
        while (m_ok && n > 0) {
            if (m_at == m_end && !Fill()) return m_ok = false;
            const size_t take = std::min(n, m_end - m_at);
            std::memcpy(out, &m_buffer[m_at], take);
            m_at += take;
            out += take;
            n -= take;
        }
        return m_ok;
    }
    uint8_t U8() {
        uint8_t v = 0;
        Bytes(&v, 1);
        return v;
    }
    uint32_t U32() {
        uint32_t v = 0;
        Bytes(&v, 4);
        return v;
    }
    uint64_t U64() {
        uint64_t v = 0;
        Bytes(&v, 8);
        return v;
    }
    // A count of entries of at least `each` bytes: more than the rest of the file can hold makes the index
    // unreadable before anything is made for them.
    uint32_t Count(uint32_t each) {
        const uint32_t n = U32();
        if (m_ok && uint64_t{n} * each > Left()) m_ok = false;
        return m_ok ? n : 0;
    }
    void Text(std::string& text) {
        const uint32_t n = Count(1);
        if (n > kMaxName) m_ok = false;
        text.resize(m_ok ? n : 0);
        if (m_ok && n > 0) Bytes(&text[0], n);
    }
    Stamp StampOf() {
        Stamp s;
        s.size = U64();
        s.device = U64();
        s.inode = U64();
        s.modified = static_cast<int64_t>(U64());
        s.changed = static_cast<int64_t>(U64());
        return s;
    }
    void Fail() { m_ok = false; }
    // The checksum that ends the stream matches every byte before it, and nothing follows.
    bool Finish() {
        const uint64_t sum = U64();
        unsigned char extra;
        return m_ok && m_position == m_summed + 8 && m_at == m_end && sum == m_checksum.Value() && !Bytes(&extra, 1);
    }

private:
    static constexpr size_t kBufferBytes = 256 * 1024;
    // Bytes of the file not read yet, its checksum included.
    uint64_t Left() const { return m_summed + 8 - (m_position - (m_end - m_at)); }
    bool Fill() {
        if (m_fd < 0) return false;
        for (;;) {
            const ssize_t n = read(m_fd, &m_buffer[0], m_buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            m_at = 0;
            m_end = static_cast<size_t>(n);
            if (m_position < m_summed)
                m_checksum.Add(reinterpret_cast<const unsigned char*>(m_buffer.data()),
                               static_cast<size_t>(std::min<uint64_t>(m_end, m_summed - m_position)));
            m_position += m_end;
            return true;
        }
    }
    int m_fd = -1;
    bool m_ok = false;
    std::string m_buffer;
    size_t m_at = 0, m_end = 0;
    uint64_t m_position = 0, m_summed = 0;  // bytes read from the file; bytes the checksum covers
    Checksum m_checksum;
};

struct Totals {
    uint64_t folders = 0, files = 0, records = 0, skipped = 0;
};

struct FolderHead {
    std::string path;
    Stamp stamp;
    bool readable = true;
};

struct FileHead {
    std::string name;
    Stamp stamp;
    uint8_t flags = 0;
    uint32_t count = 0, skipped = 0;
    std::vector<RecordSummary> records;
};

void WriteHeader(Writer& out, const Place& place) {
    out.Bytes(kMagic, sizeof kMagic);
    out.U8(place.folder ? 0 : 1);
    out.Text(place.real);
}

bool ReadHeader(Reader& in, const Place& place) {
    char magic[sizeof kMagic];
    in.Bytes(magic, sizeof magic);
    const uint8_t kind = in.U8();
    std::string real;
    in.Text(real);
    return in.Ok() && std::memcmp(magic, kMagic, sizeof kMagic) == 0 && kind == (place.folder ? 0 : 1)
           && real == place.real;
}

void WriteFolder(Writer& out, const FolderHead& head) {
    out.U8(kFolderTag);
    out.Text(head.path);
    out.StampOf(head.stamp);
    out.U8(head.readable ? 1 : 0);
}

void ReadFolder(Reader& in, FolderHead& head) {
    in.Text(head.path);
    head.stamp = in.StampOf();
    head.readable = (in.U8() & 1) != 0;
}

constexpr uint32_t kNameBytes = 4;     // the least a name takes in the index: its length
constexpr uint32_t kRecordBytes = 13;  // position, start, disc length, track count

void WriteFolderEnd(Writer& out, const std::vector<std::string>& subfolders) {
    out.U8(kFolderEndTag);
    out.U32(static_cast<uint32_t>(subfolders.size()));
    for (const std::string& name : subfolders) out.Text(name);
}

// The subfolders' names, or without `subfolders` only read past.
bool ReadFolderEnd(Reader& in, std::vector<std::string>* subfolders) {
    const uint32_t count = in.Count(kNameBytes);
    if (subfolders) subfolders->clear();
    std::string name;
    for (uint32_t i = 0; i < count && in.Ok(); ++i) {
        in.Text(name);
        if (subfolders) subfolders->push_back(name);
    }
    return in.Ok();
}

void ReadTotals(Reader& in, Totals& totals) {
    totals.folders = in.U64();
    totals.files = in.U64();
    totals.records = in.U64();
    totals.skipped = in.U64();
}

void WriteFile(Writer& out, const FileHead& file) {
    out.U8(kFileTag);
    out.Text(file.name);
    out.StampOf(file.stamp);
    out.U8(file.flags);
    out.U32(file.count);
    out.U32(file.skipped);
    out.U32(static_cast<uint32_t>(file.records.size()));
    for (const RecordSummary& r : file.records) {
        out.U32(r.position);
        out.U32(r.start);
        out.U32(r.lengthSeconds);
        out.U8(static_cast<uint8_t>(r.tracks));
    }
}

bool ReadFile(Reader& in, FileHead& file) {
    in.Text(file.name);
    file.stamp = in.StampOf();
    file.flags = in.U8();
    file.count = in.U32();
    file.skipped = in.U32();
    const uint32_t records = in.Count(kRecordBytes);
    file.records.clear();
    if (records > file.count) in.Fail();
    for (uint32_t i = 0; i < records && in.Ok(); ++i) {
        RecordSummary r;
        r.position = in.U32();
        r.start = in.U32();
        r.lengthSeconds = in.U32();
        r.tracks = in.U8();
        if (r.position == 0 || r.position > file.count || r.tracks == 0 || r.tracks > kMaxTracks
            || r.lengthSeconds > kMaxSeconds || r.start >= kMaxFileBytes)
            in.Fail();
        file.records.push_back(r);
    }
    return in.Ok();
}

// The order of folders in the index: component by component, a folder before what it holds.
int ComparePaths(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    for (;;) {
        if (i >= a.size() || j >= b.size()) return (i >= a.size() ? 0 : 1) - (j >= b.size() ? 0 : 1);
        const size_t ai = a.find('/', i), bj = b.find('/', j);
        const size_t ae = ai == std::string::npos ? a.size() : ai, be = bj == std::string::npos ? b.size() : bj;
        const int c = a.compare(i, ae - i, b, j, be - j);
        if (c != 0) return c;
        i = ae + 1;
        j = be + 1;
        if (ae == a.size() || be == b.size()) return (ae == a.size() ? 0 : 1) - (be == b.size() ? 0 : 1);
    }
}

// --- Walking the catalogue ---------------------------------------------------------------------------------

struct PairHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const {
        return p.first * 0x9E3779B97F4A7C15ull ^ p.second;
    }
};

// One pass over the catalogue that writes a new index: folders whose stamp did not change are copied from the
// old index (read in the same order), the others listed again, and only files whose stamp changed are read:
// in the folders listed again every file's stamp is compared, in the others those asked for (every file's
// when asked to compare every file; then a file that gained a name elsewhere is kept once, its current
// number of names saying whether to look for the others).
class Builder {
public:
    Builder(const Place& place, const IndexRequest& request, Reader* old, Writer& out,
            std::vector<IndexedRecord>& found)
        : m_place(place),
          m_request(request),
          m_old(old),
          m_out(out),
          m_found(found),
          m_recheck(request.recheck.begin(), request.recheck.end()),
          m_checkEveryFolder(request.use == IndexRequest::Use::kCheckEveryFile),
          m_checkEveryFile(m_checkEveryFolder || request.compareFiles) {}

    tmsdk_status_t Run(IndexReport& report) {
        WriteHeader(m_out, m_place);
        struct stat info;
        if (stat(m_place.path.c_str(), &info) != 0) return TMSDK_STATUS_SERVICE_UNREACHABLE;
        if (Progress()) return TMSDK_STATUS_ABORTED;
        Walk("", 0, StampOf(info));
        if (m_aborted || Progress()) return TMSDK_STATUS_ABORTED;
        m_out.U8(kEndTag);
        m_out.U64(m_totals.folders);
        m_out.U64(m_totals.files);
        m_out.U64(m_totals.records);
        m_out.U64(m_totals.skipped);
        report.written = m_out.Finish();
        report.present = true;
        report.records = static_cast<uint32_t>(std::min<uint64_t>(m_totals.records, UINT32_MAX));
        report.skipped = static_cast<uint32_t>(std::min<uint64_t>(m_totals.skipped, UINT32_MAX));
        report.filesRead = m_read;
        return 0;
    }

private:
    // --- The old index, read in step with the walk.
    uint8_t OldTag() {
        if (!m_tagRead) {
            m_tag = m_old && m_old->Ok() ? m_old->U8() : 0;
            m_tagRead = true;
        }
        return m_old && m_old->Ok() ? m_tag : 0;
    }
    bool TakeTag(uint8_t tag) {
        if (OldTag() != tag) return false;
        m_tagRead = false;
        return true;
    }
    // The old index's folder at `path`, whose files come next, if it has one. Folders before it in
    // catalogue order are gone and passed over; a folder after it waits for its turn.
    bool TakeOldFolder(const std::string& path, FolderHead& head) {
        while (m_old) {
            if (!m_hasOldHead) {
                if (!TakeTag(kFolderTag)) return false;
                ReadFolder(*m_old, m_oldHead);
                m_hasOldHead = m_old->Ok();
                if (!m_hasOldHead) return false;
            }
            const int order = ComparePaths(m_oldHead.path, path);
            if (order > 0) return false;
            m_hasOldHead = false;
            if (order == 0) {
                head = m_oldHead;
                return true;
            }
            FileHead file;
            std::vector<std::string> subfolders;
            while (NextOldFile(file)) {
            }
            if (!EndOldFolder(subfolders)) return false;
        }
        return false;
    }
    bool NextOldFile(FileHead& file) { return m_old && TakeTag(kFileTag) && ReadFile(*m_old, file); }
    bool EndOldFolder(std::vector<std::string>& subfolders) {
        if (m_old && TakeTag(kFolderEndTag) && ReadFolderEnd(*m_old, &subfolders)) return true;
        m_old = nullptr;  // not what was written: what is left is read from the catalogue
        return false;
    }

    // --- The catalogue.
    void Walk(const std::string& path, int depth, const Stamp& stamp) {
        if (m_aborted) return;
        FolderHead old;
        const bool hasOld = TakeOldFolder(path, old);
        FolderHead head;
        head.path = path;
        head.stamp = stamp;
        std::vector<std::string> subfolders;
        if (hasOld && old.stamp == stamp && !m_checkEveryFolder) {
            // Its names did not change: its files are taken over as they were, each compared with the file when
            // asked (its number of names too, for a name it gained elsewhere).
            head.readable = old.readable;
            WriteFolder(m_out, head);
            OpenFolder folder;
            if (m_place.folder && m_checkEveryFile) folder.Open(Full(path));
            FileHead file;
            std::string last;
            while (!m_aborted && NextOldFile(file)) {
                last = file.name;
                Stamp now = file.stamp;
                if (m_checkEveryFile || m_recheck.count(m_place.folder ? Join(path, file.name) : file.name)) {
                    uint64_t links = 0;
                    now = CurrentStamp(folder.Fd(), folder.Fd() >= 0 ? file.name : Full(Join(path, file.name)), &links);
                    if (links > 1) file.flags |= kLinked;
                }
                Keep(path, file, now);
            }
            folder.Close();
            if (!m_aborted && !EndOldFolder(subfolders)) ListFolder(path, depth, last, false, subfolders, nullptr);
        } else {
            ListFolder(path, depth, "", hasOld, subfolders, &head);
        }
        if (m_aborted) return;
        WriteFolderEnd(m_out, subfolders);
        ++m_totals.folders;
        for (const std::string& name : subfolders) {
            if (m_aborted) return;
            const std::string child = Join(path, name);
            struct stat info;
            if (lstat(Full(child).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
            Walk(child, depth + 1, StampOf(info));
        }
    }

    // Lists a folder again, after the name `after`, and writes its head (when given) and its files: a file
    // whose stamp did not change is taken from the old index (read alongside, both in name order), the others
    // are read. Only the folder's names are held, in one block, to be put in order.
    void ListFolder(const std::string& path, int depth, const std::string& after, bool merge,
                    std::vector<std::string>& subfolders, FolderHead* head) {
        std::string names;
        std::vector<uint32_t> starts;
        const bool readable = ListNames(path, names, starts);
        if (head) {
            head->readable = readable;
            WriteFolder(m_out, *head);
        }
        FileHead previous;
        bool hasPrevious = merge && NextOldFile(previous);
        const std::string folder = Full(path);
        for (uint32_t start : starts) {
            if (m_aborted) break;
            const char* name = &names[start];
            const std::string relative = Join(path, name);
            FileHead file;
            file.name = name;
            if (!Classify(relative, folder + "/" + file.name, depth, file, subfolders)) continue;
            if (!after.empty() && after.compare(name) >= 0) continue;  // taken over already
            while (hasPrevious && previous.name < file.name) hasPrevious = NextOldFile(previous);
            if (hasPrevious && previous.name == file.name) {
                previous.flags |= file.flags & kLinked;
                Keep(path, previous, file.stamp);
                hasPrevious = NextOldFile(previous);
            } else {
                Read(path, file);
            }
        }
        if (merge && !m_aborted) {
            while (hasPrevious) hasPrevious = NextOldFile(previous);
            std::vector<std::string> ignored;
            EndOldFolder(ignored);
        }
    }

    bool ListNames(const std::string& path, std::string& names, std::vector<uint32_t>& starts) {
        if (!m_place.folder) {
            starts.push_back(0);
            names = m_place.name + '\0';
            return true;
        }
        DIR* dir = opendir(Full(path).c_str());
        if (!dir) {
            LogLeftOut(path, "the folder cannot be read (" + ErrorText(errno) + ")");
            return false;
        }
        while (dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            if (name[0] == '.') {
                LogLeftOut(Join(path, name), "a hidden name");
                continue;
            }
            starts.push_back(static_cast<uint32_t>(names.size()));
            names.append(name, std::strlen(name) + 1);
        }
        closedir(dir);
        const char* base = names.data();
        std::sort(starts.begin(), starts.end(),
                  [base](uint32_t a, uint32_t b) { return std::strcmp(base + a, base + b) < 0; });
        return true;
    }

    // What an entry is: a file to read (with its stamp, true), a folder to walk, or something passed over.
    bool Classify(const std::string& relative, const std::string& full, int depth, FileHead& file,
                  std::vector<std::string>& subfolders) {
        struct stat info;
        if (!m_place.folder) {
            if (stat(m_place.path.c_str(), &info) == 0) file.stamp = StampOf(info);
            return true;
        }
        if (lstat(full.c_str(), &info) != 0) return false;  // gone since it was listed
        if (S_ISDIR(info.st_mode)) {
            if (depth + 1 > kMaxDepth)
                LogLeftOut(relative, "more than 8 folders deep");
            else
                subfolders.push_back(file.name);
            return false;
        }
        if (S_ISLNK(info.st_mode)) {
            if (stat(full.c_str(), &info) != 0) {
                LogLeftOut(relative, "a link to nothing");
                return false;
            }
            if (S_ISDIR(info.st_mode)) {
                LogLeftOut(relative, "a folder reached through a link");
                return false;
            }
            if (S_ISREG(info.st_mode) && InsideCatalogue(full)) {
                LogLeftOut(relative, "a link to a file of the catalogue, which is read where it is");
                return false;
            }
            file.flags = kLinked;
        }
        if (!S_ISREG(info.st_mode)) {
            LogLeftOut(relative, "not a regular file");
            return false;
        }
        if (info.st_nlink > 1) file.flags = kLinked;
        file.stamp = StampOf(info);
        return true;
    }

    std::string Full(const std::string& path) const {
        if (!m_place.folder) return m_place.path;
        return path.empty() ? m_place.path : m_place.path + "/" + path;
    }

    bool InsideCatalogue(const std::string& link) const {
        const std::string target = RealPath(link);
        return !m_place.real.empty() && target.size() > m_place.real.size()
               && target.compare(0, m_place.real.size(), m_place.real) == 0 && target[m_place.real.size()] == '/';
    }

    // A file read once: the first name of a file with several (in catalogue order) is read, the others not.
    bool FirstName(const Stamp& stamp) { return m_seen.insert({stamp.device, stamp.inode}).second; }

    // A file the old index holds, whose stamp is now `now`: taken over when that did not change, else read.
    void Keep(const std::string& path, FileHead& file, const Stamp& now) {
        const std::string relative = Join(path, file.name);
        if (now != file.stamp) {
            file.stamp = now;  // what is recorded when the file cannot be read now
            Read(path, file);
            return;
        }
        if (file.flags & (kLinked | kDuplicate)) {
            const bool first = FirstName(file.stamp);
            if (first && (file.flags & kDuplicate)) {  // the name read before is gone: this one is read now
                file.flags = kLinked;
                Read(path, file, false);
                return;
            }
            if (!first && !(file.flags & kDuplicate)) {
                LogLeftOut(relative, "the same file as one read before");
                file.flags |= kDuplicate;
                file.records.clear();
                file.skipped = 0;
            }
        }
        Write(path, file);
    }

    void Read(const std::string& path, FileHead& file, bool checkName = true) {
        const std::string relative = Join(path, file.name);
        const std::string tag = m_place.folder ? relative : m_place.name;
        file.records.clear();
        file.count = file.skipped = 0;
        file.flags &= kLinked;
        std::string why;
        Stamp stamp;
        uint64_t links = 0;
        ++m_read;
        if (!ReadRegular(Full(relative), m_bytes, stamp, why, &links)) {
            LogLeftOut(tag, why);
            file.skipped = 1;
        } else {
            file.stamp = stamp;
            if (links > 1) file.flags |= kLinked;
            if (checkName && (file.flags & kLinked) && !FirstName(stamp)) {
                LogLeftOut(tag, "the same file as one read before");
                file.flags |= kDuplicate;
            } else {
                ReadReport report;
                SummariseXmcd(m_bytes, tag, file.records, file.count, report);
                file.skipped = report.skipped;
                for (const std::string& reason : report.reasons)
                    Log(__LINE__, ("catalogue: left out " + reason).c_str());
            }
        }
        Write(path, file);
        if (m_read % kProgressEvery == 0 && Progress()) m_aborted = true;
    }

    void Write(const std::string& path, const FileHead& file) {
        WriteFile(m_out, file);
        ++m_totals.files;
        m_totals.records += file.records.size();
        m_totals.skipped += file.skipped;
        if (!m_request.want) return;
        for (const RecordSummary& r : file.records) {
            if (!m_request.want(r.tracks, r.lengthSeconds)) continue;
            IndexedRecord found;
            found.file = m_place.folder ? Join(path, file.name) : m_place.name;
            found.stamp = file.stamp;
            found.position = r.position;
            found.start = r.start;
            found.tracks = r.tracks;
            found.lengthSeconds = r.lengthSeconds;
            m_found.push_back(std::move(found));
        }
    }

    // Files read, of files found so far.
    bool Progress() {
        const uint32_t files = static_cast<uint32_t>(std::min<uint64_t>(m_totals.files, UINT32_MAX));
        return m_request.progress && m_request.progress(m_read, std::max(files, m_read));
    }

    const Place& m_place;
    const IndexRequest& m_request;
    Reader* m_old;
    Writer& m_out;
    std::vector<IndexedRecord>& m_found;
    std::set<std::string> m_recheck;
    bool m_checkEveryFolder, m_checkEveryFile;
    FolderHead m_oldHead;
    bool m_hasOldHead = false, m_tagRead = false;
    uint8_t m_tag = 0;
    std::unordered_set<std::pair<uint64_t, uint64_t>, PairHash> m_seen;
    Totals m_totals;
    uint32_t m_read = 0;
    bool m_aborted = false;
    std::string m_bytes;
};

enum class IndexState { kMissing, kDamaged, kStale, kFresh };

// Compares files with the stamps the index recorded, a batch at a time on a few threads: one stat per file is
// nearly all that comparing every file of a large catalogue costs.
class FileComparer {
public:
    // A file of an open folder (or, without one, at the path `name`), to compare before the folder closes.
    void Add(int folder, const std::string& name, const Stamp& recorded) {
        if (m_differs) return;
        m_files.push_back({folder, name, recorded});
        if (m_files.size() >= kBatch) Compare();
    }
    // Compares what was added; false when a file differs from its stamp.
    bool Compare() {
        const size_t count = m_files.size();
        const size_t threads = std::min<size_t>(
            {kMaxThreads, std::max(1u, std::thread::hardware_concurrency()), count / kFilesPerThread + 1});
        std::vector<std::thread> helpers;
        helpers.reserve(threads);
        for (size_t t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back(
                    [this, t, threads, count] { CompareSlice(t * count / threads, (t + 1) * count / threads); });
            } catch (...) {  // no thread to be had: this one does its part
                CompareSlice(t * count / threads, (t + 1) * count / threads);
            }
        }
        CompareSlice(0, count / threads);
        for (std::thread& helper : helpers) helper.join();
        m_files.clear();
        return !m_differs;
    }

private:
    static constexpr size_t kBatch = 16384, kMaxThreads = 8, kFilesPerThread = 1024;
    struct File {
        int folder;
        std::string name;
        Stamp recorded;
    };
    void CompareSlice(size_t from, size_t to) {
        for (size_t i = from; i < to && !m_differs; ++i)
            if (CurrentStamp(m_files[i].folder, m_files[i].name) != m_files[i].recorded) m_differs = true;
    }
    std::vector<File> m_files;
    std::atomic<bool> m_differs{false};
};

// Reads the whole index once: its checksum, and every folder's stamp against the catalogue as it is now (with
// every file's too when asked, else only the files to recheck). The records `want` accepts are collected
// while it is read, and the catalogue folder's subfolders when it did not change.
IndexState Check(const Place& place, const std::string& path, const IndexRequest& request,
                 std::vector<IndexedRecord>& records, IndexReport& report) {
    Reader in(path);
    if (!in.Ok()) return IndexState::kMissing;
    if (!ReadHeader(in, place)) return IndexState::kDamaged;
    const std::set<std::string> recheck(request.recheck.begin(), request.recheck.end());
    bool stale = false, ended = false, rootCurrent = false, rootEnded = false;
    FolderHead head;
    FileHead file;
    FileComparer comparer;  // compares the files of `folder` before it closes
    OpenFolder folder;
    Totals totals, counted;
    while (in.Ok() && !ended) {
        switch (in.U8()) {
            case kFolderTag: {
                ReadFolder(in, head);
                stale = stale || !comparer.Compare();
                folder.Close();
                if (stale) break;
                struct stat info;
                const std::string full = !place.folder || head.path.empty() ? place.path : place.path + "/" + head.path;
                const int got = head.path.empty() ? stat(full.c_str(), &info) : lstat(full.c_str(), &info);
                stale = got != 0 || StampOf(info) != head.stamp;
                if (head.path.empty()) rootCurrent = !stale;
                if (!stale && request.compareFiles && place.folder) folder.Open(full);
                break;
            }
            case kFileTag: {
                if (!ReadFile(in, file)) break;
                ++counted.files;
                counted.records += file.records.size();
                counted.skipped += file.skipped;
                if (stale) break;
                bool wanted = false;
                for (const RecordSummary& r : file.records)
                    wanted = wanted || (request.want && request.want(r.tracks, r.lengthSeconds));
                if (request.compareFiles)
                    comparer.Add(folder.Fd(), folder.Fd() >= 0 ? file.name : Full(place, head.path, file.name),
                                 file.stamp);
                if (!wanted && recheck.empty()) break;
                const std::string name = place.folder ? Join(head.path, file.name) : place.name;
                if (recheck.count(name)) stale = CurrentStamp(-1, Full(place, head.path, file.name)) != file.stamp;
                if (stale || !wanted) break;
                for (const RecordSummary& r : file.records)
                    if (request.want(r.tracks, r.lengthSeconds))
                        records.push_back({name, file.stamp, r.position, r.start, r.tracks, r.lengthSeconds});
                break;
            }
            case kFolderEndTag:
                // Only the catalogue folder's own subfolders are kept; the rest are read past.
                ReadFolderEnd(in, !rootEnded && rootCurrent ? &report.subfolders : nullptr);
                ++counted.folders;
                rootEnded = true;
                break;
            case kEndTag:
                ReadTotals(in, totals);
                ended = true;
                break;
            default:
                in.Fail();
        }
    }
    stale = stale || !comparer.Compare();
    if (!ended || !in.Finish() || totals.folders != counted.folders || totals.files != counted.files
        || totals.records != counted.records || totals.skipped != counted.skipped) {
        report.subfolders.clear();
        return IndexState::kDamaged;
    }
    report.records = static_cast<uint32_t>(std::min<uint64_t>(totals.records, UINT32_MAX));
    report.skipped = static_cast<uint32_t>(std::min<uint64_t>(totals.skipped, UINT32_MAX));
    report.subfoldersKnown = rootCurrent && place.folder;
    return stale ? IndexState::kStale : IndexState::kFresh;
}

bool MakeFolder(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolder(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool IsHidden(const std::string& component) { return component.empty() || component[0] == '.'; }

// The file at a path below the catalogue folder that the catalogue's walk reads: no hidden name, no folder
// reached through a link, no link to a file of the catalogue, not too deep.
bool WalkedFile(const Place& place, const std::string& relative) {
    if (relative.empty() || relative.front() == '/') return false;
    std::string full = place.path;
    size_t at = 0;
    int depth = 0;
    for (;;) {
        const size_t slash = relative.find('/', at);
        const std::string component = relative.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (IsHidden(component)) return false;
        full += "/" + component;
        struct stat info;
        if (lstat(full.c_str(), &info) != 0) return false;
        if (slash == std::string::npos) {
            if (S_ISREG(info.st_mode)) return true;
            if (!S_ISLNK(info.st_mode) || stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
            const std::string target = RealPath(full);
            return place.real.empty() || target.compare(0, place.real.size() + 1, place.real + "/") != 0;
        }
        if (!S_ISDIR(info.st_mode) || ++depth > kMaxDepth) return false;
        at = slash + 1;
    }
}

// "name#n": the name and n; anything else: the whole text and 1.
void SplitTag(const std::string& tag, std::string& file, uint32_t& position, bool& numbered) {
    file = tag;
    position = 1;
    numbered = false;
    const size_t hash = tag.rfind('#');
    if (hash == std::string::npos || hash + 1 >= tag.size() || tag.size() - hash > 10) return;
    for (size_t i = hash + 1; i < tag.size(); ++i)
        if (tag[i] < '0' || tag[i] > '9') return;
    const unsigned long n = std::strtoul(tag.c_str() + hash + 1, nullptr, 10);
    if (n == 0 || n > UINT32_MAX) return;
    file = tag.substr(0, hash);
    position = static_cast<uint32_t>(n);
    numbered = true;
}

// A folder an environment variable names. Only an absolute path names one: a relative one would put files
// below whatever folder the program was started in.
std::string FolderNamedBy(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? value : std::string();
}

// Removes the temporaries of an index that no build holds any longer: what a build killed part-way left.
void RemoveAbandonedTemporaries(const std::string& index) {
    const size_t slash = index.find_last_of('/');
    const std::string folder = index.substr(0, slash), prefix = index.substr(slash + 1) + ".";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() - 1 + kTemporarySuffix || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
        if (fd < 0) continue;
        // Removed only while its lock is taken, and only when the name still stands for the file locked.
        struct stat opened, named;
        if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0
            && lstat(path.c_str(), &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            unlink(path.c_str());
        close(fd);
    }
    closedir(dir);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// The index file's stamp: whether another build wrote it in the meantime.
Stamp PathStamp(const std::string& path) {
    struct stat info;
    return !path.empty() && stat(path.c_str(), &info) == 0 ? StampOf(info) : Stamp();
}

// One build of a cache's indexes at a time, across processes: the cache folder is locked while one is built,
// so that a lookup made meanwhile waits for it (reporting progress, free to stop) and takes what it wrote
// instead of reading the whole catalogue itself. The lock goes with the process, however it ends.
class BuildLock {
public:
    BuildLock() = default;
    ~BuildLock() {
        if (m_fd >= 0) close(m_fd);
    }
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

    bool Held() const { return m_held; }
    // False when progress asked to stop while waiting. Where the folder cannot be locked, the build goes on.
    bool Take(const std::string& folder, const CatalogueProgress& progress) {
        m_held = true;
        m_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_fd < 0) return true;
        for (uint32_t waits = 0; flock(m_fd, LOCK_EX | LOCK_NB) != 0; ++waits) {
            if (errno != EWOULDBLOCK && errno != EINTR) return true;
            if (waits % kWaitsPerReport == 0 && progress && progress(0, 0)) return false;
            usleep(kWaitMicroseconds);
        }
        return true;
    }

private:
    static constexpr uint32_t kWaitMicroseconds = 20000, kWaitsPerReport = 10;
    int m_fd = -1;
    bool m_held = false;
};

}  // namespace

std::string CataloguePath() {
    if (const char* path = std::getenv("TMSDK_CATALOGUE"); path && *path) return path;
    if (const std::string data = FolderNamedBy("XDG_DATA_HOME"); !data.empty())
        return data + "/tmsdk_sdkmanager/catalogue";
    if (const std::string home = FolderNamedBy("HOME"); !home.empty())
        return home + "/.local/share/tmsdk_sdkmanager/catalogue";
    return {};
}

tmsdk_status_t OpenPlace(Place& place, uint32_t& detail) {
    detail = 0;
    place.path = CataloguePath();
    struct stat info;
    if (place.path.empty() || stat(place.path.c_str(), &info) != 0) {
        detail = place.path.empty() ? 0 : static_cast<uint32_t>(errno);
        return TMSDK_STATUS_SERVICE_UNREACHABLE;
    }
    while (place.path.size() > 1 && place.path.back() == '/') place.path.pop_back();
    place.folder = S_ISDIR(info.st_mode);
    if (place.folder && access(place.path.c_str(), R_OK | X_OK) != 0) {
        detail = static_cast<uint32_t>(errno);
        return TMSDK_STATUS_SERVICE_UNREACHABLE;
    }
    place.real = RealPath(place.path);
    if (place.real.empty()) place.real = place.path;
    const size_t slash = place.path.find_last_of('/');
    place.name = slash == std::string::npos ? place.path : place.path.substr(slash + 1);
    return 0;
}

std::string IndexPath(const Place& place) {
    std::string cache = FolderNamedBy("XDG_CACHE_HOME");
    if (cache.empty()) {
        cache = FolderNamedBy("HOME");
        if (cache.empty()) return {};
        cache += "/.cache";
    }
    const uint64_t hash = Fnv(kFnvStart, reinterpret_cast<const unsigned char*>(place.real.data()), place.real.size());
    char name[40];
    std::snprintf(name, sizeof name, "/catalogue-%016llx.index", static_cast<unsigned long long>(hash));
    return cache + "/tmsdk_sdkmanager" + name;
}

std::vector<Disc> DiscsNamed(const Place& place, const std::vector<std::string>& ids,
                             const std::vector<std::string>* subfolders) {
    std::vector<Disc> discs;
    if (!place.folder) return discs;
    std::vector<std::string> folders{""};
    if (subfolders) {
        folders.insert(folders.end(), subfolders->begin(), subfolders->end());
    } else if (DIR* dir = opendir(place.path.c_str())) {
        // Only the folders: records may lie in the catalogue folder itself, by the hundred thousand.
        while (dirent* entry = readdir(dir)) {
            if (IsHidden(entry->d_name)) continue;
            struct stat info;
            if (entry->d_type == DT_DIR
                || (entry->d_type == DT_UNKNOWN && fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISDIR(info.st_mode)))
                folders.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    std::vector<std::string> names = ids;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<std::pair<std::pair<uint64_t, uint64_t>, Disc>> named;
    std::string bytes, why;
    for (const std::string& folder : folders) {
        for (const std::string& id : names) {
            const std::string relative = Join(folder, id);
            Stamp stamp;
            if (!WalkedFile(place, relative) || !ReadRegular(place.path + "/" + relative, bytes, stamp, why)) continue;
            ReadReport ignored;
            std::vector<Disc> read;
            ReadXmcd(bytes, relative, read, ignored);
            for (Disc& disc : read) {
                disc.device = stamp.device;
                disc.inode = stamp.inode;
                named.push_back({{stamp.device, stamp.inode}, std::move(disc)});
            }
        }
    }
    // Catalogue order; a file with several names is read under its first.
    std::stable_sort(named.begin(), named.end(),
                     [](const auto& a, const auto& b) { return TagBefore(a.second.tag, b.second.tag); });
    std::map<std::pair<uint64_t, uint64_t>, std::string> firstName;
    for (auto& entry : named) {
        std::string file;
        uint32_t position;
        bool numbered;
        SplitTag(entry.second.tag, file, position, numbered);
        const auto first = firstName.emplace(entry.first, file).first;
        if (first->second == file) discs.push_back(std::move(entry.second));
    }
    return discs;
}

tmsdk_status_t ReadIndex(const Place& place, const IndexRequest& request, std::vector<IndexedRecord>& records,
                         IndexReport& report) {
    report = IndexReport();
    records.clear();
    const std::string path = IndexPath(place);
    if (path.empty() && request.use == IndexRequest::Use::kAsItIs) return 0;
    if (!path.empty()) RemoveAbandonedTemporaries(path);
    const bool whole = request.use == IndexRequest::Use::kCheckEveryFile;
    const std::string cache = path.substr(0, path.find_last_of('/'));
    const bool canWrite = !path.empty() && MakeFolder(cache);
    BuildLock lock;
    IndexState state = IndexState::kMissing;
    for (;;) {
        const Stamp seen = PathStamp(path);
        if (!path.empty() && !whole) {
            state = Check(place, path, request, records, report);
            if (state == IndexState::kFresh) {
                report.present = true;
                return 0;
            }
            records.clear();
            if (request.use == IndexRequest::Use::kAsItIs) {
                report.present = false;
                return 0;
            }
            if (request.use == IndexRequest::Use::kIfPresent && state != IndexState::kStale) {
                report = IndexReport();
                return 0;
            }
            report = IndexReport();
        } else if (!path.empty()) {
            IndexRequest damage;
            std::vector<IndexedRecord> none;
            IndexReport ignored;
            state = Check(place, path, damage, none, ignored);
        }
        if (!canWrite || lock.Held()) break;
        if (!lock.Take(cache, request.progress)) return TMSDK_STATUS_ABORTED;
        if (PathStamp(path) == seen) break;  // else another build wrote it meanwhile: what does it say now?
    }
    // Built again from the catalogue, taking over from the old index what did not change.
    std::unique_ptr<Reader> old;
    if (state == IndexState::kStale || state == IndexState::kFresh) {
        old = std::make_unique<Reader>(path);
        if (!old->Ok() || !ReadHeader(*old, place)) old.reset();
    }
    Writer out(canWrite ? path : std::string());
    Builder builder(place, request, old.get(), out, records);
    const tmsdk_status_t status = builder.Run(report);
    if (status != 0) {
        out.Abandon();
        records.clear();
    }
    return status;
}

bool ReadIndexedRecord(const Place& place, const IndexedRecord& record, Disc& disc) {
    std::string bytes, why;
    Stamp stamp;
    const std::string full = place.folder ? place.path + "/" + record.file : place.path;
    if (!ReadRegular(full, bytes, stamp, why) || stamp != record.stamp) return false;
    if (!ReadXmcdRecord(bytes, record.file, record.position, record.start, disc)) return false;
    disc.device = stamp.device;
    disc.inode = stamp.inode;
    return true;
}

bool ReadTaggedRecord(const Place& place, const std::string& id, const std::string& tag, Disc& disc) {
    // A file's name may itself end in "#" and digits: the whole tag is tried as a name first.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string file = tag;
        uint32_t position = 1;
        bool numbered = false;
        if (attempt == 1) {
            SplitTag(tag, file, position, numbered);
            if (!numbered) break;
        }
        if (place.folder ? !WalkedFile(place, file) : file != place.name) continue;
        std::string bytes, why;
        Stamp stamp;
        if (!ReadRegular(place.folder ? place.path + "/" + file : place.path, bytes, stamp, why)) continue;
        Disc found;
        if (ReadXmcdRecord(bytes, file, position, kAnyStart, found) && found.tag == tag
            && Lower(found.id) == Lower(id)) {
            disc = std::move(found);
            return true;
        }
    }
    return false;
}

bool TagBefore(const std::string& a, const std::string& b) {
    std::string fileA, fileB;
    uint32_t positionA, positionB;
    bool numbered;
    SplitTag(a, fileA, positionA, numbered);
    SplitTag(b, fileB, positionB, numbered);
    // The order the catalogue is walked in: a folder's files by name, then its folders by name.
    size_t i = 0, j = 0;
    for (;;) {
        const size_t ai = fileA.find('/', i), bj = fileB.find('/', j);
        const bool aFile = ai == std::string::npos, bFile = bj == std::string::npos;
        const std::string partA = fileA.substr(i, aFile ? std::string::npos : ai - i);
        const std::string partB = fileB.substr(j, bFile ? std::string::npos : bj - j);
        if (aFile != bFile) return aFile;
        if (partA != partB) return partA < partB;
        if (aFile) return positionA < positionB;
        i = ai + 1;
        j = bj + 1;
    }
}

}  // namespace tmsdk
