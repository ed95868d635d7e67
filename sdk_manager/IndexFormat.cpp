// Writing and reading the index file, in the layout IndexFormat.h gives.
#include "sdk_manager/IndexFormat.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "sdk_manager/IndexLock.h"

namespace tmsdk {

namespace {

constexpr char kMagic[8] = {'T', 'M', 'S', 'D', 'K', 'I', 'X', 4};
constexpr uint32_t kNameBytes = 5;     // the least a name takes in the index: its length and one byte
constexpr uint32_t kRecordBytes = 13;  // position, start, disc length, track count
// The least a subfolder's own entries take after its parent's: its head (a path of one byte at least, its
// stamp and state) and its end.
constexpr uint32_t kFolderBytes = 1 + kNameBytes + 40 + 1 + 1 + 4;
// The least a readable record takes in its file: the offsets' heading, one offset and a disc length.
constexpr uint64_t kLeastRecordBytes = 32;

// A name the walk can have written: not empty, not "." or "..", no "/".
bool IsName(const char* name, size_t size) {
    if (size == 0 || (name[0] == '.' && (size == 1 || (size == 2 && name[1] == '.')))) return false;
    return std::memchr(name, '/', size) == nullptr;
}

// A folder below the catalogue folder: names joined by "/", no deeper than the walk goes.
bool IsFolderPath(const std::string& path) {
    int depth = 0;
    for (size_t at = 0; at <= path.size(); ++depth) {
        size_t end = path.find('/', at);
        if (end == std::string::npos) end = path.size();
        if (!IsName(path.data() + at, end - at) || depth >= kMaxDepth) return false;
        at = end + 1;
    }
    return true;
}

}  // namespace

void Checksum::Add(const unsigned char* p, size_t n) {
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

uint64_t Checksum::Value() const {
    uint64_t hash = m_hash;
    for (size_t i = 0; i < m_pending; ++i) hash = (hash ^ m_word[i]) * kPrime;
    hash ^= m_length;
    return hash ^ (hash >> 31);
}

Writer::Writer(const std::string& target) : m_target(target) {
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

bool Writer::Finish() {
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

void Writer::Abandon() {
    if (!m_temporary.empty()) unlink(m_temporary.c_str());  // before the lock goes with the descriptor
    m_temporary.clear();
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

void Writer::Flush(bool summed) {
    if (summed) m_checksum.Add(reinterpret_cast<const unsigned char*>(m_buffer.data()), m_buffer.size());
    if (m_fd >= 0 && m_buffer.empty()) futimens(m_fd, nullptr);  // nothing new to write: its times show it moves
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
    m_flushed = std::chrono::steady_clock::now();
}

Reader::Reader(const std::string& path) {
    m_fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat info;
    m_ok = m_fd >= 0 && fstat(m_fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 8;
    if (m_ok) m_summed = static_cast<uint64_t>(info.st_size) - 8;  // all but the checksum itself
    m_buffer.resize(kBufferBytes);
}

Reader::~Reader() {
    if (m_fd >= 0) close(m_fd);
}

bool Reader::Finish() {
    const uint64_t sum = U64();
    unsigned char extra;
    return m_ok && m_position == m_summed + 8 && m_at == m_end && sum == m_checksum.Value() && !Bytes(&extra, 1);
}

bool Reader::Fill() {
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
    if (!head.path.empty() && !IsFolderPath(head.path)) in.Fail();
}

void WriteFolderEnd(Writer& out, const std::vector<std::string>& subfolders) {
    out.U8(kFolderEndTag);
    out.U32(static_cast<uint32_t>(subfolders.size()));
    for (const std::string& name : subfolders) out.Text(name);
}

bool ReadFolderEnd(Reader& in, std::vector<std::string>* subfolders, uint32_t* count) {
    // Each subfolder listed has entries of its own after this folder's: no more than the rest can hold.
    const uint32_t listed = in.Count(kNameBytes + kFolderBytes);
    if (count) *count = listed;
    if (subfolders) subfolders->clear();
    std::string name;
    for (uint32_t i = 0; i < listed && in.Ok(); ++i) {
        in.Text(name);
        if (!IsName(name.data(), name.size())) in.Fail();
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
    // No more records than the file could hold, each within it, in the order they stand in it.
    if (!IsName(file.name.data(), file.name.size()) || records > file.count
        || records * kLeastRecordBytes > std::min<uint64_t>(file.stamp.size, kMaxFileBytes))
        in.Fail();
    for (uint32_t i = 0; i < records && in.Ok(); ++i) {
        RecordSummary r;
        r.position = in.U32();
        r.start = in.U32();
        r.lengthSeconds = in.U32();
        r.tracks = in.U8();
        if (r.position == 0 || r.position > file.count || r.tracks == 0 || r.tracks > kMaxTracks
            || r.lengthSeconds > kMaxSeconds || r.start >= std::min<uint64_t>(file.stamp.size, kMaxFileBytes)
            || (!file.records.empty()
                && (r.position <= file.records.back().position || r.start <= file.records.back().start)))
            in.Fail();
        file.records.push_back(r);
    }
    return in.Ok();
}

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

}  // namespace tmsdk
