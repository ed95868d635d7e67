#include "app/card/DatabaseFiles.h"

#include "sound/files/ChunkFields.h"

#include <algorithm>
#include <cstring>
#include <istream>
#include <ostream>

namespace {

constexpr int kOrder = CDatabaseFileChunks::FILE_BYTE_ORDER;
constexpr std::size_t kGroupBytes = 8;
constexpr std::size_t kTableHeaderBytes = 6;  // version and count before the entries

void Put16(int byteOrder, uint16_t value, uint8_t* out) {
    if (byteOrder == GT::kBigEndian) {
        out[0] = static_cast<uint8_t>(value >> 8);
        out[1] = static_cast<uint8_t>(value);
    } else {
        out[0] = static_cast<uint8_t>(value);
        out[1] = static_cast<uint8_t>(value >> 8);
    }
}

uint16_t Get16(int byteOrder, const uint8_t* bytes) {
    return byteOrder == GT::kBigEndian ? static_cast<uint16_t>((bytes[0] << 8) | bytes[1])
                                       : static_cast<uint16_t>((bytes[1] << 8) | bytes[0]);
}

bool WriteBytes(std::ostream& out, const std::vector<uint8_t>& bytes) {
    if (!bytes.empty())
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !out.fail();
}

bool ReadBytes(std::istream& in, std::vector<uint8_t>& bytes) {
    if (!bytes.empty()) in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return !in.fail();
}

void RecordToBytes(const CNameRecord& record, uint8_t* out) {
    Put16(kOrder, record.kind, out);
    Put16(kOrder, record.reserved, out + 2);
    record.block.ToBytes(kOrder, out + 4);
}

}  // namespace

// --- name block ---

std::string CNameBlock::GetText() const {
    const auto end = std::find(text.begin(), text.end(), 0);
    return std::string(text.begin(), end);
}

void CNameBlock::SetText(const std::string& value) {
    text.fill(0);
    std::copy_n(value.begin(), std::min<std::size_t>(value.size(), TEXT_BYTES), text.begin());
}

void CNameBlock::ToBytes(int byteOrder, uint8_t* out) const {
    std::copy(text.begin(), text.end(), out);
    Put16(byteOrder, flags, out + 256);
    Put16(byteOrder, reserved, out + 258);
    Put16(byteOrder, width, out + 260);
    Put16(byteOrder, height, out + 262);
    std::copy(picture.begin(), picture.end(), out + 264);
}

void CNameBlock::FromBytes(int byteOrder, const uint8_t* bytes) {
    std::copy_n(bytes, TEXT_BYTES, text.begin());
    flags = Get16(byteOrder, bytes + 256);
    reserved = Get16(byteOrder, bytes + 258);
    width = Get16(byteOrder, bytes + 260);
    height = Get16(byteOrder, bytes + 262);
    std::copy_n(bytes + 264, PICTURE_BYTES, picture.begin());
}

bool CNameBlock::Read(std::istream& in, int byteOrder) {
    std::vector<uint8_t> bytes(SIZE);
    if (!ReadBytes(in, bytes)) return false;
    FromBytes(byteOrder, bytes.data());
    return true;
}

bool CNameBlock::Write(std::ostream& out, int byteOrder) const {
    std::vector<uint8_t> bytes(SIZE);
    ToBytes(byteOrder, bytes.data());
    return WriteBytes(out, bytes);
}

// --- ids ---

const CDatabaseFileChunks::CId& CDatabaseFileChunks::ContainerId() {
    static const CId id("QM-3");
    return id;
}

const CDatabaseFileChunks::CId& CDatabaseFileChunks::FormatId() {
    static const CId id("fmt ");
    return id;
}

const CDatabaseFileChunks::CId& CDatabaseFileChunks::CSongFilenameListChunk::Id() {
    static const CId id("Q3D0");
    return id;
}

const CDatabaseFileChunks::CId& CDatabaseFileChunks::CPlayListChunk::Id() {
    static const CId id("Q3D1");
    return id;
}

const CDatabaseFileChunks::CId& CDatabaseFileChunks::CSongListChunk::Id() {
    static const CId id("Q3D2");
    return id;
}

CDatabaseFileChunks::CQm3FileChunk::CQm3FileChunk(boost::shared_ptr<IChunkFactory> factory)
    : SL::CIffContainerChunk(kOrder, ContainerId(), std::move(factory)) {}

// --- format ---

CDatabaseFileChunks::CFormatChunk::CFormatChunk() : SL::CIffChunk(kOrder, FormatId()) {}

bool CDatabaseFileChunks::CFormatChunk::ReadData(std::istream& in) {
    uint32_t value = 0;
    return SL::ReadField(in, GetByteOrder(), value);  // any version is accepted
}

bool CDatabaseFileChunks::CFormatChunk::WriteData(std::ostream& out) {
    return SL::WriteField(out, GetByteOrder(), version);
}

// --- song-file-name table ---

CDatabaseFileChunks::CSongFilenameListChunk::CSongFilenameListChunk() : SL::CIffChunk(kOrder, Id()) {}

bool CDatabaseFileChunks::CSongFilenameListChunk::WriteData(std::ostream& out) {
    if (!SL::WriteField(out, GetByteOrder(), version) || !SL::WriteField(out, GetByteOrder(), entryCount)) return false;
    // Straight to the stream, entry by entry: the table is a megabyte.
    static const char zeros[ENTRY_BYTES] = {};
    for (std::size_t i = 0; i < entryCount; ++i) {
        const std::size_t used = i < entries.size() ? std::min<std::size_t>(entries[i].size(), ENTRY_BYTES) : 0;
        if (used > 0) out.write(entries[i].data(), static_cast<std::streamsize>(used));
        out.write(zeros, static_cast<std::streamsize>(ENTRY_BYTES - used));
    }
    return !out.fail();
}

bool CDatabaseFileChunks::CSongFilenameListChunk::ReadData(std::istream& in) {
    if (!SL::ReadField(in, GetByteOrder(), version) || !SL::ReadField(in, GetByteOrder(), entryCount)) return false;
    // Whole or not at all: the slots of a table cut short, or whose size and count disagree,
    // would look free, and the next save would drop their songs.
    const std::size_t tableBytes = std::size_t(entryCount) * ENTRY_BYTES;
    if (std::size_t(GetHeader().GetSize()) != kTableHeaderBytes + tableBytes
        || std::size_t(GetBodyBytesLeft(in)) < tableBytes)
        return false;
    entries.assign(entryCount, std::string());
    std::vector<uint8_t> table(tableBytes);
    if (!ReadBytes(in, table)) return false;
    for (std::size_t i = 0; i < entryCount; ++i) {
        const uint8_t* field = table.data() + i * ENTRY_BYTES;
        entries[i].assign(field, std::find(field, field + ENTRY_BYTES, 0));
    }
    return true;
}

// --- name table ---

CDatabaseFileChunks::CPlayListChunk::CPlayListChunk() : SL::CIffChunk(kOrder, Id()) {}

bool CDatabaseFileChunks::CPlayListChunk::WriteData(std::ostream& out) {
    if (!SL::WriteField(out, GetByteOrder(), version) || !SL::WriteField(out, GetByteOrder(), recordCount))
        return false;
    // Straight to the stream, record by record: the table is two megabytes.
    uint8_t record[CNameRecord::SIZE];
    static const uint8_t zeros[CNameRecord::SIZE] = {};
    const std::vector<CNameRecord>& table = source != nullptr ? *source : records;
    for (std::size_t i = 0; i < recordCount; ++i) {
        const bool held = i < table.size();
        if (held) RecordToBytes(table[i], record);
        out.write(reinterpret_cast<const char*>(held ? record : zeros), CNameRecord::SIZE);
    }
    return !out.fail();
}

bool CDatabaseFileChunks::CPlayListChunk::ReadData(std::istream& in) {
    if (!SL::ReadField(in, GetByteOrder(), version) || !SL::ReadField(in, GetByteOrder(), recordCount)) return false;
    // Sized from the records the chunk holds, never from the count alone: a short file that
    // claims 65,535 records would otherwise cost 64 MiB. The player keeps at most 2000.
    const std::size_t held = std::min<std::size_t>(
        {recordCount, std::size_t(GetBodyBytesLeft(in)) / CNameRecord::SIZE, std::size_t(NAME_RECORDS)});
    // Record by record: the table is two megabytes, not worth a second copy.
    records.clear();
    records.reserve(held);
    uint8_t bytes[CNameRecord::SIZE];
    for (std::size_t i = 0; i < held; ++i) {
        if (!in.read(reinterpret_cast<char*>(bytes), CNameRecord::SIZE)) return false;
        records.emplace_back();
        records.back().kind = Get16(GetByteOrder(), bytes);
        records.back().reserved = Get16(GetByteOrder(), bytes + 2);
        records.back().block.FromBytes(GetByteOrder(), bytes + 4);
    }
    return true;
}

// --- song list ---

CDatabaseFileChunks::CSongListChunk::CSongListChunk() : SL::CIffChunk(kOrder, Id()) {}

bool CDatabaseFileChunks::CSongListChunk::WriteData(std::ostream& out) {
    const int order = GetByteOrder();
    const auto n = static_cast<uint16_t>(songNumbers.size());
    const auto g = static_cast<uint16_t>(groups.size());
    std::vector<uint8_t> body(1032 + std::size_t(n) * 2 + std::size_t(g) * kGroupBytes);
    uint8_t* at = body.data() + 4;
    Put16(order, songCapacity, at);
    Put16(order, groupCapacity, at + 2);
    title.ToBytes(order, at + 4);
    at += 4 + CNameBlock::SIZE;
    Put16(order, n, at);
    Put16(order, g, at + 2);
    at += 4;
    for (std::size_t i = 0; i < n; ++i, at += 2) Put16(order, songNumbers[i], at);
    for (std::size_t i = 0; i < g; ++i, at += kGroupBytes) {
        Put16(order, groups[i].first, at);
        Put16(order, groups[i].count, at + 2);
        Put16(order, groups[i].nameIndex, at + 4);
        Put16(order, groups[i].reserved, at + 6);
    }
    if (!SL::WriteField(out, order, version)) return false;
    out.write(reinterpret_cast<const char*>(body.data()) + 4, static_cast<std::streamsize>(body.size() - 4));
    const bool good = !out.fail();
    if (!good) return false;
    // The file keeps the whole capacity; the sizes count only what comes before this tail.
    const std::streampos liveEnd = out.tellp();
    const std::size_t tail = (n < songCapacity ? std::size_t(songCapacity - n) * 2 : 0)
                             + (g < groupCapacity ? std::size_t(groupCapacity - g) * kGroupBytes : 0);
    if (tail > 0) WriteBytes(out, std::vector<uint8_t>(tail, 0));
    if (!out.fail()) out.seekp(liveEnd);
    return good;
}

bool CDatabaseFileChunks::CSongListChunk::ReadData(std::istream& in) {
    const int order = GetByteOrder();
    uint16_t n = 0, g = 0;
    if (!SL::ReadField(in, order, version) || !SL::ReadField(in, order, songCapacity)
        || !SL::ReadField(in, order, groupCapacity) || !title.Read(in, order) || !SL::ReadField(in, order, n)
        || !SL::ReadField(in, order, g))
        return false;
    std::vector<uint8_t> numbers(std::min<std::size_t>(n, std::size_t(GetBodyBytesLeft(in)) / 2) * 2);
    if (!ReadBytes(in, numbers)) return false;
    // Entries past a list's capacity are read over, not kept: the player holds no more.
    songNumbers.resize(std::min<std::size_t>(numbers.size() / 2, LIST_SONGS));
    for (std::size_t i = 0; i < songNumbers.size(); ++i) songNumbers[i] = Get16(order, numbers.data() + i * 2);
    std::vector<uint8_t> groupBytes(std::min<std::size_t>(g, std::size_t(GetBodyBytesLeft(in)) / kGroupBytes)
                                    * kGroupBytes);
    if (!ReadBytes(in, groupBytes)) return false;
    groups.resize(std::min<std::size_t>(groupBytes.size() / kGroupBytes, LIST_GROUPS));
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const uint8_t* at = groupBytes.data() + i * kGroupBytes;
        groups[i] = CSongGroup{Get16(order, at), Get16(order, at + 2), Get16(order, at + 4), Get16(order, at + 6)};
    }
    return true;
}
