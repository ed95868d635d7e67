// The byte layout of the card's seven database files and the chunk classes that read and write
// them. Each file is one big-endian "QM-3" container holding a "fmt " chunk and one data chunk
// ("Q3D0" song-file-name table, "Q3D1" name table, "Q3D2" song list), and has a fixed length
// whatever it holds.
//
// Readers bound every count by what the chunk holds: a count is read unsigned, entries that
// the chunk does not hold are not read, and tables are sized from the entries read, never from a
// count, and kept within the capacities. The song-file-name table alone is read whole or not at
// all, as every song's place on the card is in it.
#pragma once

#include "sound/files/IffChunk.h"
#include "sound/files/IffDto.h"

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The player's 1020-byte text-and-picture block: a name with the 12-pixel picture the player
// shows of it.
struct CNameBlock {
    enum : int { TEXT_BYTES = 256, PICTURE_BYTES = 756, SIZE = 1020 };
    // Flag bits.
    enum : uint16_t { FLAG_PROTECTED = 0x8000, FLAG_EDITOR = 0x2000, NUMBER_MASK = 0x00FF };

    std::array<uint8_t, TEXT_BYTES> text{};
    uint16_t flags = 0;
    uint16_t reserved = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    std::array<uint8_t, PICTURE_BYTES> picture{};

    // The text field up to its first zero byte.
    std::string GetText() const;
    // The first 256 bytes of the text, the rest of the field zero.
    void SetText(const std::string& value);

    // The block in file order (text, flags, reserved, width, height, picture).
    void ToBytes(int byteOrder, uint8_t* out) const;
    void FromBytes(int byteOrder, const uint8_t* bytes);
    bool Read(std::istream& in, int byteOrder);
    bool Write(std::ostream& out, int byteOrder) const;
};

// A record of the name table: kind 1 album, 2 artist, 0 none; then the name's block.
struct CNameRecord {
    enum : int { SIZE = 1024 };
    enum : uint16_t { KIND_NONE = 0, KIND_ALBUM = 1, KIND_ARTIST = 2 };

    uint16_t kind = KIND_NONE;
    uint16_t reserved = 0;
    CNameBlock block;
};

// A run of consecutive song numbers of a list with the name record that titles it.
struct CSongGroup {
    enum : uint16_t { NO_NAME = 0xFFFF };
    uint16_t first = 0;
    uint16_t count = 0;
    uint16_t nameIndex = NO_NAME;
    uint16_t reserved = 0;
};

class CDatabaseFileChunks {
public:
    typedef SL::CIffChunk::CFourCharacterCode CId;
    enum : int { FILE_BYTE_ORDER = 0 };  // big-endian
    // Capacities that the editor writes.
    enum : int { SONG_SLOTS = 4000, NAME_RECORDS = 2000, LIST_SONGS = 4000, LIST_GROUPS = 2000 };
    enum : int { ENTRY_BYTES = 256 };

    static const CId& ContainerId();  // "QM-3"
    static const CId& FormatId();     // "fmt "

    // The format chunk: one version number (1), read and not looked at.
    class CFormatChunk : public SL::CIffChunk {
    public:
        CFormatChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
        uint32_t version = 1;
    };

    // "Q3D0": one 256-byte entry per slot, the audio file's path as the player sees the card.
    class CSongFilenameListChunk : public SL::CIffChunk {
    public:
        static const CId& Id();
        CSongFilenameListChunk();
        // Version, the entry count, then as many entries: each string's first 256 bytes,
        // zero-filled, or 256 zeros past the strings.
        bool WriteData(std::ostream& out) override;
        // Version, count, then every entry; false unless the chunk's size is exactly that of the
        // count's entries and the file holds them all.
        bool ReadData(std::istream& in) override;
        uint32_t version = 1;
        uint16_t entryCount = SONG_SLOTS;
        std::vector<std::string> entries;
    };

    // "Q3D1": the name records of albums and artists.
    class CPlayListChunk : public SL::CIffChunk {
    public:
        static const CId& Id();
        CPlayListChunk();
        // Version, the record count, then as many records (zero past the table).
        bool WriteData(std::ostream& out) override;
        // Version, count, then the records the chunk holds, at most 2000; the table holds only
        // those (a group naming a record past them has no name).
        bool ReadData(std::istream& in) override;
        uint32_t version = 1;
        uint16_t recordCount = NAME_RECORDS;
        std::vector<CNameRecord> records;
        // When set, written instead of records: a writer's table, two megabytes, not copied.
        const std::vector<CNameRecord>* source = nullptr;
    };

    // "Q3D2": a song list: its title, song numbers (slots) and groups. The chunk's size counts
    // only the live part; the file holds the full capacity, zero-filled after it.
    class CSongListChunk : public SL::CIffChunk {
    public:
        static const CId& Id();
        CSongListChunk();
        bool WriteData(std::ostream& out) override;
        // The header and title, then the song numbers and groups that the chunk holds, at most
        // 4000 and 2000.
        bool ReadData(std::istream& in) override;
        uint32_t version = 1;
        uint16_t songCapacity = LIST_SONGS;
        uint16_t groupCapacity = LIST_GROUPS;
        CNameBlock title;
        std::vector<uint16_t> songNumbers;
        std::vector<CSongGroup> groups;
    };

    // Makes the format chunk and the file's data chunk; nothing for any other id (skipped).
    template <class TData>
    class CChunkFactory : public SL::CIffContainerChunk::IChunkFactory {
    public:
        std::unique_ptr<SL::CIffChunk> Create(const CId& id) override {
            if (id == FormatId()) return std::unique_ptr<SL::CIffChunk>(new CFormatChunk());
            if (id == TData::Id()) return std::unique_ptr<SL::CIffChunk>(new TData());
            return nullptr;
        }
    };

    class CQm3FileChunk : public SL::CIffContainerChunk {
    public:
        typedef CChunkFactory<CSongFilenameListChunk> CDefaultSongFilenameListChunkFactory;
        typedef CChunkFactory<CPlayListChunk> CDefaultPlayListChunkFactory;
        typedef CChunkFactory<CSongListChunk> CDefaultSongListChunkFactory;
        explicit CQm3FileChunk(boost::shared_ptr<IChunkFactory> factory);
    };
};

typedef SL::CIffDto<CDatabaseFileChunks::CQm3FileChunk> CQm3FileDto;
typedef CQm3FileDto CSongFilenameListFileDto;
typedef CQm3FileDto CPlayListFileDto;
typedef CQm3FileDto CSongListFileDto;

// Reads a whole database or icon file into the DTO; the format chunk and the data chunk of the
// given id must both be there. Null when the file cannot be opened or read.
template <class TData>
TData* ReadQm3File(std::istream& in, CQm3FileDto& dto, const SL::CIffChunk::CFourCharacterCode& dataId) {
    if (!dto.Read(in) || dto.FindChunk(CDatabaseFileChunks::FormatId()) == nullptr) return nullptr;
    return dto.FindChunkAs<TData>(dataId);
}
