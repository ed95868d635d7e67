// The index file: one file, written in one stream while the catalogue is walked and read back in one stream,
// so that neither needs more memory than one folder's listing and one file's records, however large the
// catalogue grows:
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
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sdk_manager/Catalogue.h"
#include "sdk_manager/Index.h"

namespace tmsdk {

constexpr uint32_t kMaxName = 4096;  // a path or name in the index
constexpr uint8_t kFolderTag = 'D', kFileTag = 'F', kFolderEndTag = 'X', kEndTag = 'E';
constexpr uint8_t kLinked = 1;     // the file has other names (hard links), or was reached through a link
constexpr uint8_t kDuplicate = 2;  // the same file as one before it: not read again

inline uint64_t Fnv(uint64_t hash, const unsigned char* bytes, size_t n) {
    for (size_t i = 0; i < n; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}
constexpr uint64_t kFnvStart = 0xcbf29ce484222325ull;

// A checksum of a byte stream, taken eight bytes at a time whatever pieces the stream comes in.
class Checksum {
public:
    void Add(const unsigned char* p, size_t n);
    uint64_t Value() const;

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

// Writes to a temporary file beside the index and renames it over the index when finished; a writer that
// could not open its file (a read-only cache) takes everything and writes nothing. The temporary stays
// locked until it is renamed or removed, so that a build killed part-way leaves one that nobody holds, for
// RemoveAbandonedTemporaries.
class Writer {
public:
    explicit Writer(const std::string& target);
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
    // Writes out what it holds when it last wrote a while ago, so that a build that moves is seen to move by
    // lookups waiting for it, however little it has to write; with nothing to write, the file's times move.
    void Pulse() {
        if (m_fd >= 0 && std::chrono::steady_clock::now() - m_flushed >= kPulse) Flush();
    }
    // Ends the stream with its checksum and puts the file in the index's place; false when nothing was
    // written.
    bool Finish();
    void Abandon();

private:
    static constexpr size_t kBufferBytes = 256 * 1024;
    static constexpr std::chrono::milliseconds kPulse{250};
    void Flush(bool summed = true);
    std::string m_target, m_temporary, m_buffer;
    int m_fd = -1;
    Checksum m_checksum;
    std::chrono::steady_clock::time_point m_flushed = std::chrono::steady_clock::now();
};

class Reader {
public:
    explicit Reader(const std::string& path);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool Ok() const { return m_ok; }
    // Something is there to read, whether it is an index or not.
    bool Found() const { return m_fd >= 0; }
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
    bool Finish();

private:
    static constexpr size_t kBufferBytes = 256 * 1024;
    // Bytes of the file not read yet, its checksum included.
    uint64_t Left() const { return m_summed + 8 - (m_position - (m_end - m_at)); }
    bool Fill();
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

void WriteHeader(Writer& out, const Place& place);
// False when the index is of another kind or catalogue, or not an index at all.
bool ReadHeader(Reader& in, const Place& place);

// A folder's head; its tag is read already.
void WriteFolder(Writer& out, const FolderHead& head);
void ReadFolder(Reader& in, FolderHead& head);

void WriteFolderEnd(Writer& out, const std::vector<std::string>& subfolders);
// The subfolders' names, or without `subfolders` only read past; `count` (when given) is how many.
bool ReadFolderEnd(Reader& in, std::vector<std::string>* subfolders, uint32_t* count = nullptr);

void ReadTotals(Reader& in, Totals& totals);

void WriteFile(Writer& out, const FileHead& file);
bool ReadFile(Reader& in, FileHead& file);

// The order of folders in the index: component by component, a folder before what it holds.
int ComparePaths(const std::string& a, const std::string& b);

}  // namespace tmsdk
