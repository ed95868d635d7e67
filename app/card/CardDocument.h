// The card document: the editor's picture of the connected memory card. Where the card's
// database folder is, one song record per slot, the Songs, Rhythm, User and Best lists, which
// songs changed since the card was last written, and the "Option/SaveMemory" choice. It reads
// the card's database and icon files into itself and writes them back.
//
// On this system the card's "drive" is its volume id (the mount point) and its root the id and
// "/". Where the card lies and which card it is are the card volume's (CCardVolume), which the
// document owns and hands to the stores and transfers: every write to the card first checks that
// the same card is still mounted there, and no folder is made above the card root.
#pragma once

#include "app/card/CardVolume.h"
#include "app/card/ModelEvents.h"
#include "app/card/Song.h"
#include "app/card/SongLists.h"
#include "general_tools/Drives.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CDocX : public IModelEventListener, public ISongLists {
public:
    // Answers of CheckFreeSpace.
    enum : int {
        SPACE_FITS = CCardVolume::SPACE_FITS,
        SPACE_SHORT = CCardVolume::SPACE_SHORT,
        SPACE_UNKNOWN = CCardVolume::SPACE_UNKNOWN
    };

    CDocX();
    ~CDocX() override;
    CDocX(const CDocX&) = delete;
    CDocX& operator=(const CDocX&) = delete;

    // 2: reads the card when one is connected (a card whose database exists but cannot be read
    // is refused: message 29, and it stays disconnected until its volume goes); 4: forgets the
    // card; 8: writes nothing more to the card, which stays connected until event 4; 3: forgets
    // a refused volume that went.
    void OnModelEvent(const CModelEvent& event) override;

    // --- queries ---
    bool IsConnected() const { return m_volume.IsConnected(); }
    // Changed songs or the modified flag.
    bool NeedsSaving() const { return !m_changedSongs.empty() || m_modified != 0; }
    CSongList& GetList(int kind) override;
    const CSongList& GetList(int kind) const override;
    static int GetMaxSongs() { return MAX_SONGS; }
    const CSlotTable& GetSlots() const override { return m_slots; }
    // The database store fills the table when it loads the card.
    CSlotTable& GetSlots() override { return m_slots; }
    int GetSlotCount() const { return static_cast<int>(m_slots.size()); }
    // The slot's record; empty for a number outside the table.
    CSongPointer GetSong(int slot) const override;
    // The slot that holds the record, or -1.
    int FindSlot(const CSongX* song) const;
    // The song's index in a list, or -1.
    int FindInList(int kind, const CSongX* song) const;
    // Slots whose song has a path.
    int GetUsedSlotCount() const;
    // Used slots + count <= 4000.
    bool CanAdd(int count) const;
    static bool IsImportableType(const std::string& path);
    static bool IsWaveOrAiff(const std::string& path);
    static bool IsVoxaFile(const std::string& path);
    static bool AreAllImportable(const std::vector<std::string>& paths);

    // --- the card's places (the card volume's) ---
    // "CORVANE/QM/DB/"
    static const std::string& GetDatabaseFolderName() { return CCardVolume::GetDatabaseFolderName(); }
    // root + "CORVANE/QM/DB/", empty for an empty root.
    static std::string MakeDatabasePath(const std::string& root) { return CCardVolume::MakeDatabasePath(root); }
    // The root of a volume: its id and "/".
    static std::string MakeCardRoot(const std::string& drive) { return CCardVolume::MakeCardRoot(drive); }
    // Connects the card at this root (empty: none) and takes the identity of what is mounted there.
    void SetCardRoot(const std::string& root) { m_volume.Connect(root); }
    const CCardVolume& GetVolume() const { return m_volume; }
    const std::string& GetDatabasePath() const { return m_volume.GetDatabasePath(); }
    // The volume id and "/"; empty without a card.
    std::string GetCardRoot() const { return m_volume.GetRoot(); }
    // The volume id; empty without a card.
    std::string GetCardDrive() const { return m_volume.GetDrive(); }
    // A card is connected and the path lies on it (by its canonical form, or by device and inode).
    bool IsOnCard(const std::string& path) const { return m_volume.IsOnCard(path); }
    // Slot 0 to 3999: the database path + "%03d/" of slot / 100, made (writable for all) when
    // the card is mounted; any other number: the database path, nothing made. Empty without a
    // card.
    std::string GetSongFolder(int slot);
    // The card mounted at the card root is the one that was there at connect.
    bool IsCardMounted() const { return m_volume.IsMounted(); }
    // The card may be written: it is mounted, and while a run lasts it is the card the run started
    // on (a run never writes to a card connected after its own went).
    bool IsCardWritable() const { return m_volume.IsWritable(); }
    // Which connection this is: it changes whenever a card is connected or forgotten, so that a run
    // can tell that its card, and with it every slot record, went while it waited.
    uint64_t GetConnection() const { return m_volume.GetConnection(); }
    // Makes a folder on the card (and its missing parents below the card root) after checking
    // that the card may be written; false for a folder that is not below the card root, or with
    // a link or another file system in a folder's place (which stays as it is).
    bool MakeFolderOnCard(const std::string& folder, bool grantEveryone) const {
        return m_volume.MakeFolder(folder, grantEveryone);
    }

    // --- finding the card ---
    // The first listed volume that is the card (label "QM-3", or holding "Gigbox" as written,
    // upper-cased or lower-cased), passing over volumes without a root folder and volumes that
    // were refused; forgets refused volumes that are no longer listed. Empty when none.
    std::string FindCardDrive();
    // The same over a given list of volumes.
    std::string FindCardDrive(GT::CDriveList drives);
    bool IsRefusedVolume(const std::string& drive) const { return m_refusedVolumes.count(drive) != 0; }

    // --- changes (none sends an event) ---
    void SetModified(int modified) { m_modified = modified; }
    int GetModified() const { return m_modified; }
    void MarkChanged(CSongX* song) { m_changedSongs.insert(song); }
    // Songs whose icon files the next save writes, ordered by address.
    const std::set<CSongX*>& GetChangedSongs() const override { return m_changedSongs; }
    void ClearChanges();
    void ClearAddedSongs() { m_addedSongs.clear(); }
    // Songs that the last import or rip added, in order; only ever compared, never read through.
    const std::vector<CSongX*>& GetAddedSongs() const { return m_addedSongs; }
    // Empties the slots, the lists, the changed set and the modified flag.
    void Clear();
    // No card, then Clear.
    void Reset();
    // The first free slot, else a new slot while there are fewer than 4000; -1 when full.
    int AllocateSlot();
    // Erases the song's entry from one list; sets the modified flag when there was one.
    bool EraseFromList(int kind, const CSongX* song);
    void MoveToSongs(CSongX* song) override;
    // Also sets album and artist to "~RHYTHM".
    void MoveToRhythm(CSongX* song) override;
    // Also sets album and artist to "~USER".
    void MoveToUser(CSongX* song) override;
    // Tab 1 Rhythm, 2 User, any other Songs; then the song joins the added songs.
    void AddToCategory(CSongX* song, int tab);
    // Moves the song to 1-based position n of Best (n <= 0 takes it out); answers its new
    // position, or its old one (-1 when absent) when it left or stayed.
    int SetBestRank(CSongX* song, int n) override;
    // Whether files of these sizes fit on the target's volume with 1 MiB to spare.
    int CheckFreeSpace(const std::string& target, const std::vector<int64_t>& sizes) const {
        return CCardVolume::CheckFreeSpace(target, sizes);
    }
    // Whether the distinct albums and artists of the Songs list, after the changes, are at most
    // 2000 together.
    bool CheckAlbumArtistLimit(const std::vector<std::string>& albumsToAdd,
                               const std::vector<std::string>& artistsToAdd,
                               const std::vector<std::string>& albumsToRemove,
                               const std::vector<std::string>& artistsToRemove) const;
    bool GetSaveMemory() const { return m_saveMemory; }
    void SetSaveMemory(bool saveMemory) { m_saveMemory = saveMemory; }

    // --- reading and writing the card ---
    // Finishes or removes what an interrupted write left, then reads the database and the icon
    // files. A card without a database is an empty card. False when the database exists but
    // cannot be read, or when the database folder, a folder above it or a song folder the
    // database uses is a link or another file system: nothing is read through it.
    bool Load();
    // Writes the changed songs' icon files and the database, once every check that can refuse the
    // save has passed (nothing is written otherwise). A song whose icon file could not be written
    // stays changed and the save answers false.
    bool Save();
    // Load; a failure shows message 29 when asked to.
    bool ReadFromUnit(bool showMessage);
    // Save; a failure shows message 30.
    bool WriteToUnit();
    // Asks message 17 (Yes/No/Cancel) when there is something to save: Cancel false, Yes the
    // write's result, No or a removed card true.
    bool AskSaveChanges();

    // --- import, export and deletion (in CardDocumentRuns.cpp; none sends an event) ---
    // Each checks the card's limits and room before it touches anything, writes the database
    // before and after its work, and stops at the next file when the card goes meanwhile (the
    // progress dialog and the questions let the removal notice through), telling the user with
    // message 33 and writing nothing more.
    //
    // The song file chooser, then ImportFiles of the chosen files; true when nothing was chosen.
    bool Import();
    // Imports the files, in order, into free slots; the new songs join the list of the shown tab
    // and the added songs. True when every file was imported or the user cancelled, and the
    // database was written at the end.
    bool ImportFiles(const std::vector<std::string>& sources);
    // Whether the files' albums and artists (from their tags) fit the card's 2000 names.
    bool CheckAlbumArtistLimitOfFiles(const std::vector<std::string>& sources) const;
    // Whether the files, as the import stores them, fit on the card; shows message 27 (no room) or
    // 22 (room unknown).
    bool CheckImportSpace(const std::vector<std::string>& sources) const;
    // ExportFiles of the songs' files (songs without a file are passed over).
    bool ExportSongs(const std::vector<CSongX*>& songs);
    // The folder chooser, then each card file into the chosen folder (a Voxa song decoded into a
    // WAV file). True when every file was exported, skipped or the user cancelled.
    bool ExportFiles(const std::vector<std::string>& cardPaths);
    // Deletes the songs in order, asking before each protected one; true when the database was
    // written before and after and no deletion failed. A deletion that fails part-way still
    // writes the database for the songs already gone.
    bool DeleteSongs(const std::vector<CSongX*>& songs);
    // Deletes the song's files and takes it out of the lists and the changed songs; its slot is
    // free again. Files that another slot names too stay.
    bool DeleteSong(CSongX* song);
    // Another used slot names the slot's song file (the same file on the card).
    bool IsFileOfAnotherSlot(int slot) const;

    // --- what storing new songs shares with CD ripping ---
    // Songs on this tab carry albums and artists that count against the card's 2000 names (the
    // Song tab; Rhythm and User songs carry the tags).
    static bool CountsAlbumsAndArtists(int tab);
    // CheckAlbumArtistLimit of new songs' names on that tab (nothing to check on Rhythm and User).
    bool CheckAlbumArtistLimitOfNewSongs(int tab, const std::vector<std::string>& albums,
                                         const std::vector<std::string>& artists) const;
    // CheckFreeSpace on the card for new songs: their audio files' sizes, an icon file for each of
    // the songs and room for the temporary database set that the next save writes beside the old.
    int CheckSongSpace(const std::vector<int64_t>& audioSizes, size_t songCount) const;
    // The slot's record for a song file just stored at destination: its path, then what the file
    // tells (type, duration, size; title, artist, album and number of an MP3 tag).
    CSongX* FillNewSong(int slot, const std::string& destination);
    // A filled new song joins the tab's list and the added songs; its icon file and the database
    // are written by the next save.
    void AddNewSong(CSongX* song, int tab);

    // One import, export, deletion or rip, on the card it started on. While it lasts, card writes
    // go only to that card; IsCardThere turns false for good once the card goes or its removal is
    // noticed, even when a card is connected again.
    class CCardRun {
    public:
        explicit CCardRun(CDocX& document);
        ~CCardRun();
        CCardRun(const CCardRun&) = delete;
        CCardRun& operator=(const CCardRun&) = delete;

        bool IsCardThere() const;
        // IsCardThere; when not, "The unit not found." (message 33), once a run.
        bool CheckCard();
        // The run's last write: when the card is there, the database (message 30 on failure) and
        // the result when written; else message 33 and false.
        bool WriteDatabase(bool result);

    private:
        CDocX& m_document;
        uint64_t m_connection;
        uint64_t m_outerPin;
        bool m_told = false;
    };

private:
    // Whether an import encodes the file, and the extension of its card file.
    bool EncodesOnImport(const std::string& source) const;
    std::string GetImportExtension(const std::string& source) const;
    // The slots that count allocations would give when each is filled.
    std::vector<int> PeekFreeSlots(size_t count) const;
    // An import of these files would write one file's card file over another file of the list
    // before that one is read (orphaned files of the card chosen for import).
    bool WouldOverwriteALaterSource(const std::vector<std::string>& sources,
                                    const std::vector<std::string>& extensions) const;

    // Rhythm or User: the song leaves the other two lists and carries the list's tag.
    void MoveToTaggedList(int kind, CSongX* song, const std::string& tag);
    // Used songs that no list names join Songs, in slot order.
    void PutUnlistedSongsInSongs();

    CCardVolume m_volume;
    CSlotTable m_slots;
    CSongList m_songs;
    CSongList m_rhythm;
    CSongList m_user;
    CSongList m_best;
    std::set<CSongX*> m_changedSongs;
    int m_modified = 0;
    bool m_saveMemory = true;
    std::vector<CSongX*> m_addedSongs;

    std::set<std::string> m_refusedVolumes;
};

// The label of a volume: its display name up to " (" + drive + ")", else the whole name.
std::string GetVolumeLabel(const std::string& displayName, const std::string& drive);
// The card's label: "QM-3" exactly, or holding "Gigbox" as written, upper-cased or lower-cased.
bool IsCardLabel(const std::string& label);
// The first drive of the list whose label is the card's and that is not to be skipped.
std::string FindCardInDrives(const GT::CDriveList& drives, const std::set<std::string>& skip);
