// Turns the card document's slots and lists into the seven database files and back. The files
// lie in the card volume's database folder; every write first asks the volume that the card is
// still the connected one.
#pragma once

#include "app/card/DatabaseFiles.h"
#include "app/card/Song.h"
#include "app/card/SongLists.h"

#include "app/card/CardFiles.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

class CCardVolume;

typedef std::vector<CNameRecord> CNameTable;

class CDatabaseStore {
public:
    // Key kinds of BuildGroups.
    enum : int { KEY_ALBUM = 1, KEY_ARTIST = 2 };

    static CDatabaseStore& GetInstance();

    // Reads the seven files from the card's database folder (open) into the slots and lists
    // (which the caller has emptied). False when the song-file-name table cannot be read, or
    // when a song folder it names is a link or another file system (nothing is read through
    // it); slotsRead is called once the slots are in place and their folders looked at, before
    // the lists are read.
    bool Load(const CCardVolume& card, const CCardFolder& folder, ISongLists& document,
              const std::function<void()>& slotsRead = {});

    // One save, made ready before anything is written to the card: every check that can refuse
    // it (the database folder, a folder with entries in a file's place, what an earlier save
    // left, the room) and every file's new bytes. Then Commit writes the files that change: as
    // one set that replaces the old one whole when the card has room for it beside the old
    // files (or when the room cannot be told), else one file at a time, each written beside its
    // name and renamed over it. Where not even that room is there, the save is refused.
    class CSave {
    public:
        // bytesBefore: what is written on the card before the database (the icon files).
        CSave(CDatabaseStore& store, const CCardVolume& card, const ISongLists& document, int64_t bytesBefore = 0);
        bool IsReady() const { return m_ready; }
        // True only when every changed file was replaced.
        bool Commit();

    private:
        const CCardVolume& m_card;
        CCardFolder m_folder;
        CCardFileSet::CUpdate m_update;
        bool m_ready = false;
        bool m_wholeSet = true;
    };
    // A whole save: CSave and its Commit.
    bool Save(const CCardVolume& card, const ISongLists& document);
    // Whether any of the seven files, or what a save left, is in the open database folder.
    bool DatabaseExists(const CCardFolder& folder) const;
    // Finishes or takes away what an interrupted save left in the database folder; the folder
    // open, or by the card's own walk.
    void RecoverInterruptedSave(const CCardVolume& card, const CCardFolder& folder);
    void RecoverInterruptedSave(const CCardVolume& card);

    // The seven file names in the order they are read and written.
    static std::vector<std::string> GetFileNames();
    // Their exact sizes: the room a save needs beside the old files.
    static std::vector<int64_t> GetDatabaseFileSizes();

    // --- readers: each answers whether the file was read ---
    bool ReadSongFilenameList(const std::string& path, CSlotTable& slots);
    bool ReadNameTable(const std::string& path, CNameTable& names);
    bool ReadAlbumList(const std::string& path, const CNameTable& names, ISongLists& document);
    bool ReadArtistList(const std::string& path, const CNameTable& names, ISongLists& document);
    bool ReadBestList(const std::string& path, const CNameTable& names, ISongLists& document);
    bool ReadUserList(const std::string& path, const CNameTable& names, ISongLists& document);
    bool ReadRhythmList(const std::string& path, const CNameTable& names, ISongLists& document);

    // --- writers: each writes a whole file to the stream and answers whether it is good ---
    bool WriteSongFilenameList(const CSlotTable& slots, std::ostream& out);
    bool WriteNameTable(const CNameTable& names, std::ostream& out);
    bool WriteAlbumList(const CNameTable& names, const ISongLists& document, std::ostream& out);
    bool WriteArtistList(const CNameTable& names, const ISongLists& document, std::ostream& out);
    bool WriteBestList(const ISongLists& document, std::ostream& out);
    bool WriteUserList(const ISongLists& document, std::ostream& out);
    bool WriteRhythmList(const ISongLists& document, std::ostream& out);

    // --- what the writers build ---
    // Distinct albums (kind 1) then distinct artists (kind 2) of the Songs list, each in byte
    // order, at most 2000 records.
    CNameTable BuildNameTable(const CSongList& songs);
    // Stable sorts of a list copy, cut to 4000 entries. Album: upper-cased album, album, number,
    // slot. Artist: upper-cased artist, artist, then as by album. Title: upper-cased title,
    // title, slot.
    static CSongList SortByAlbum(const CSongList& songs);
    static CSongList SortByArtist(const CSongList& songs);
    static CSongList SortUserByTitle(const CSongList& user);
    static CSongList SortRhythmByTitle(const CSongList& rhythm);
    // One group per run of equal keys that a name record of that kind carries (a key compared
    // as the record's text field keeps it), at most 2000.
    static std::vector<CSongGroup> BuildGroups(const CSongList& sorted, const CNameTable& names, int keyKind);

private:
    CDatabaseStore() = default;
    void BuildNameTable(const CSongList& songs, CNameTable& names);

    CNameTable m_names;  // the last save's
};
