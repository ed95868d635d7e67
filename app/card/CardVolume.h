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

#include <cstdint>
#include <string>
#include <vector>

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
    // Whether files of these sizes fit on the target's volume with 1 MiB to spare.
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
    // Makes a folder on the card (and its missing parents below the card root) after checking
    // that the card may be written; false for a folder that is not below the card root.
    bool MakeFolder(const std::string& folder, bool grantEveryone) const;

    // Which connection this is: it changes whenever a card is connected or forgotten.
    uint64_t GetConnection() const { return m_connection; }
    // A run pins the connection it started on (0: none); answers the pin it replaced, which the
    // run puts back when it ends.
    uint64_t Pin(uint64_t connection);

private:
    std::string m_databasePath;
    uint64_t m_connection = 0;
    uint64_t m_pinnedConnection = 0;
    GT::CVolumeIdentity m_identity;
    bool m_identified = false;
    bool m_removalNoticed = false;
};
