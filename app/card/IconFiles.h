// The icon file beside every song (".Q3I"): the song's name as text and as the player's 12-pixel
// picture, its protect flag and number; the builder of the name block that the database files
// use too; and the store that reads all icon files after a load and writes the changed songs'
// icon files before a save.
#pragma once

#include "app/card/CardVolume.h"
#include "app/card/DatabaseFiles.h"
#include "app/card/Song.h"
#include "app/card/SongLists.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class CIconFileChunks {
public:
    typedef CDatabaseFileChunks::CFormatChunk CFormatChunk;
    typedef CDatabaseFileChunks::CQm3FileChunk CQm3FileChunk;

    // "Q3I ": a version number (1) and the song's name block.
    class CDataChunk : public SL::CIffChunk {
    public:
        static const CDatabaseFileChunks::CId& Id();
        CDataChunk();
        bool ReadData(std::istream& in) override;
        bool WriteData(std::ostream& out) override;
        uint32_t version = 1;
        CNameBlock block;
    };

    typedef CDatabaseFileChunks::CChunkFactory<CDataChunk> CDefaultChunkFactory;
};

typedef CQm3FileDto CIconFileDto;

class CIconFileStore {
public:
    static CIconFileStore& GetInstance();

    // The room a free-space check keeps for one icon file.
    static int64_t GetIconFileSize() { return 1044; }
    // The icon file of an audio file: its folder and file title with ".Q3I".
    static std::string GetIconPath(const std::string& audioPath);

    // The text's picture (of " " for an empty text), its first 256 bytes cut at a whole
    // character, flags 0x2000 with 0x8000 for a protected song and the number's low byte.
    CNameBlock BuildIconEntry(const std::string& text, bool isProtected, int number) const;
    // Title, protect flag and number from an icon file; false leaves the song as it was.
    bool ReadIconFile(const std::string& iconPath, CSongX& song) const;
    // A whole icon file of the song to the stream.
    bool WriteIconFile(const CSongX& song, std::ostream& out) const;
    // The song's icon file at path, replacing the old one only when complete (the folder
    // opened by its path: not for the card, whose folders are opened by the card's walk).
    bool WriteIconFile(const CSongX& song, const std::string& path) const;
    // The changed songs' icon files, on the card; answers the songs whose file was not written
    // (no room, the card gone, a folder that is not the card's, a failed write). Shows message
    // 27 or 30 when the room is short or unknown.
    std::set<CSongX*> WriteChangedIconFiles(const CCardVolume& card, const ISongLists& document) const;

    // WriteChangedIconFiles made ready before anything is written or made: the room asked
    // (message 27 or 30 when it is short or unknown; then none is written) and every changed
    // song's folder opened on the card (one that is missing is made by Write). Not ready when a
    // folder is not the card's own (a link or another file system in its place) or the card
    // cannot be written: a save then writes nothing at all.
    class CWrite {
    public:
        CWrite(const CCardVolume& card, const ISongLists& document);
        bool IsReady() const { return m_ready; }
        // The bytes the icon files take on the card while they are written.
        int64_t GetBytes() const { return m_bytes; }
        // Writes them; answers the songs whose file was not written.
        std::set<CSongX*> Write();

    private:
        const CCardVolume& m_card;
        std::set<CSongX*> m_unwritten;
        std::vector<CSongX*> m_songs;
        std::vector<std::pair<const CCardFolder*, std::string>> m_targets;  // folder and file name
        std::map<std::string, CCardFolder> m_folders;                       // not open while missing
        int64_t m_bytes = 0;
        bool m_ready = false;
    };
    // Finishes or takes away icon files that an interrupted write left, then completes every
    // used slot's song from its icon file (a song without one is titled by its file title).
    void ReadAllIconFiles(const CCardVolume& card, ISongLists& document) const;

    // ReadAllIconFiles in two halves: the files are read on threads of their own (thousands of
    // small reads) while the caller goes on, and Finish gives the songs what was read. The
    // songs must stay until then; only Finish touches them. Ended without Finish, the reading
    // is waited for and its results dropped.
    class CReading {
    public:
        CReading(const CCardVolume& card, ISongLists& document);
        CReading(const CReading&) = delete;
        CReading& operator=(const CReading&) = delete;
        ~CReading();
        void Finish();

        // What a song takes from its icon file.
        struct CIcon {
            bool read = false;
            std::string title;
            uint16_t flags = 0;
        };

    private:
        void Join();

        std::vector<std::pair<CSongX*, std::string>> m_songs;  // with the audio file's path
        std::vector<CIcon> m_icons;
        std::vector<std::thread> m_threads;
    };

private:
    CIconFileStore() = default;
};
