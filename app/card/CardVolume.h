// The connected card's place and identity: its root (the volume id and "/"), its database
// folder, and which card it is, taken when it is connected. Another card mounted at the same
// folder later is never taken for it: the identity holds the mount's id (a new mount gets a new
// one), the device and root inode, and for a block device the file system's serial. Every write
// on the card asks IsWritable first, here and nowhere else.
//
// The card document owns the one object and hands it to the database store, the icon files, the
// transfers and the rip, which depend on it and never on the document.
#pragma once

#include "general_tools/Drives.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// An open folder: its descriptor, through which everything in it is read, written, renamed,
// removed and synced, and the path it was reached by, which only names it (in logs and
// messages) and is never opened again. A folder swapped for a link while it is open is not
// followed: the descriptor stays with the folder itself. Closed when it goes.
class CCardFolder {
public:
    CCardFolder() = default;
    // Takes over the descriptor; path ends with "/".
    CCardFolder(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    CCardFolder(CCardFolder&& other) noexcept : m_fd(other.m_fd), m_path(std::move(other.m_path)) { other.m_fd = -1; }
    CCardFolder& operator=(CCardFolder&& other) noexcept;
    CCardFolder(const CCardFolder&) = delete;
    CCardFolder& operator=(const CCardFolder&) = delete;
    ~CCardFolder() { Close(); }

    // A folder by its path, links followed: for folders off the card (the work folder, a test's
    // folder). Not open when it cannot be opened.
    static CCardFolder OpenPath(const std::string& path);

    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    const std::string& GetPath() const { return m_path; }
    // The folder's own name (the last of its path), for logs.
    std::string GetName() const;
    void Close();

private:
    int m_fd = -1;
    std::string m_path;
};

class CCardVolume {
public:
    // Answers of CheckFreeSpace.
    enum : int { SPACE_FITS = 0, SPACE_SHORT = 1, SPACE_UNKNOWN = 2 };

    // "CORVANE/QM/DB/"
    static const std::string& GetDatabaseFolderName();
    // root + "CORVANE/QM/DB/", empty for an empty root.
    static std::string MakeDatabasePath(const std::string& root);
    // The root of a volume: its id and "/".
    static std::string MakeCardRoot(const std::string& drive);
    // Whether files of these sizes fit on the target's volume with 1 MiB to spare; unknown where
    // the volume cannot be asked. A volume that reports no blocks at all is taken as fitting.
    static int CheckFreeSpace(const std::string& target, const std::vector<int64_t>& sizes);

    // Connects the card at this root (empty: none), taking the identity of what is mounted there
    // now; a new connection either way.
    void Connect(const std::string& root);
    // No card; a new connection.
    void Disconnect() { Connect(std::string()); }

    bool IsConnected() const { return !m_databasePath.empty(); }
    const std::string& GetDatabasePath() const { return m_databasePath; }
    // The volume id and "/"; empty without a card.
    std::string GetRoot() const;
    // The volume id; empty without a card.
    std::string GetDrive() const;

    // The file system at the card root is the one that was there at connect.
    bool IsMounted() const;
    // The card may be written: it is mounted, no removal of it was noticed, and while a run lasts
    // it is the card the run started on.
    bool IsWritable() const;
    // A removal notice came for the card while it stays connected (a modal window holds the
    // removal back until it closes): from now on nothing is written to it, even where the folder
    // still looks like the same card (a card put back can get its old mount id again). Until the
    // next connection.
    void NoteRemoval() { m_removalNoticed = true; }
    // The card went while connected: its removal was noticed, or the card that the running run
    // started on was forgotten. Asks nothing of the system, so it is cheap enough for a loop.
    bool WasRemoved() const;
    // A card is connected and the path lies on it: below the card root by its canonical form, or
    // by device and inode (the card seen through a bind mount or mounted twice).
    bool IsOnCard(const std::string& path) const;
    // Answers of OpenFolder.
    enum EFolder : int {
        FOLDER_OPEN,     // a folder of the card itself, open
        FOLDER_MISSING,  // one of the folders is not there (and none was to be made)
        FOLDER_REFUSED   // a link, another file system or anything else in a folder's place, a
                         // path not below the root (no ".."), no card, or a failure
    };
    // Opens a folder below the card root by a walk from the root: the root is opened and must be
    // the one taken at connect, and each folder below it is opened relative to the one above it,
    // never through a symbolic link (O_NOFOLLOW) and only on the root's own file system. What
    // a link leads to is never read, written or removed, and a link that appears later leads
    // nowhere: the handle stays with the folder. With make, missing folders are made once the
    // card may be written (with grantEveryone the last is made writable for all, as the song
    // folders are); a link in a folder's place is never replaced.
    EFolder OpenFolder(const std::string& folder, CCardFolder& handle, bool make = false,
                       bool grantEveryone = false) const;
    // OpenFolder of a folder that is not made, walking from the card's root already open (by
    // OpenFolder of the root): for many folders in a row.
    EFolder OpenFolderBelow(const CCardFolder& root, const std::string& folder, CCardFolder& handle) const;
    // OpenFolder with make: true when the folder is there, or was made, and is the card's own.
    bool MakeFolder(const std::string& folder, bool grantEveryone) const;

    // Which connection this is: it changes whenever a card is connected or forgotten.
    uint64_t GetConnection() const { return m_connection; }
    // A run pins the connection it started on (0: none); answers the pin it replaced, which the
    // run puts back when it ends.
    uint64_t Pin(uint64_t connection);

private:
    // The folder names of a folder below the card root; false for a folder that is not below it.
    bool NamesBelowRoot(const std::string& folder, std::vector<std::string>& names) const;
    // The card root, open, when it is the root taken at connect; -1 when not.
    int OpenRoot() const;
    // The folders of names, each opened below the one before, from the open root.
    EFolder Walk(const CCardFolder& root, const std::vector<std::string>& names, CCardFolder& handle, bool make,
                 bool grantEveryone) const;

    std::string m_databasePath;
    uint64_t m_connection = 0;
    uint64_t m_pinnedConnection = 0;
    GT::CVolumeIdentity m_identity;
    bool m_identified = false;
    bool m_removalNoticed = false;
};
