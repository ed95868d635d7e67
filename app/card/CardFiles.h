// Writing files on the card so that none is ever left half-written: each file is written beside
// its target under a temporary name, synced and renamed over the target. A set of files (the
// database) is replaced only when every new file is complete; the old files are moved aside
// first and put back when a replacement fails, so the folder holds the old set or the new one,
// never a mix. What an interrupted write leaves is finished or removed on the next connect.
//
// Everything here acts through an open folder (CCardFolder): files are made, written, renamed,
// removed and synced relative to its descriptor, and a file is written through the descriptor
// that made it, never opened again by its name. A folder swapped for a link meanwhile changes
// nothing off the card.
#pragma once

#include "app/card/CardVolume.h"

#include <boost/function.hpp>

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

// The file operations of card writes, in one place so that tests can make any of them fail
// (a test derives from it). Names are entries of the folder, never paths.
class CCardFileSystem {
public:
    // Answers of Look.
    enum ELook : int { ENTRY_MISSING, ENTRY_PRESENT, ENTRY_UNKNOWN };

    virtual ~CCardFileSystem() = default;
    // A new file of its own, for writing, readable and writable for all: whatever stood at the
    // name (a leftover, a link, a file with other names, an empty folder) is taken away first,
    // never written through. The descriptor, or -1 when it cannot be made.
    virtual int Create(const CCardFolder& folder, const std::string& name);
    // Writes every byte at the file's position; false when not all could be written.
    virtual bool Write(int file, const std::string& name, const char* data, size_t size);
    // Has the file's bytes written through to the device (fsync of its descriptor).
    virtual bool Sync(int file, const std::string& name);
    // Closes the file; false when closing reports that something was not written.
    virtual bool Close(int file, const std::string& name);
    // Has the folder's entries written through to the device.
    virtual bool SyncFolder(const CCardFolder& folder);
    // Has everything written on the folder's file system reach its device, in one call.
    virtual bool SyncFileSystem(const CCardFolder& folder);
    // Renames an entry over another (existing or not) in one step.
    virtual bool Rename(const CCardFolder& folder, const std::string& from, const std::string& to);
    // Takes away the entry itself: a file, a link (never what it leads to) or an empty folder.
    virtual bool Remove(const CCardFolder& folder, const std::string& name);
    // What stands at the name itself (a link is not followed): ENTRY_PRESENT with info filled,
    // ENTRY_MISSING, or ENTRY_UNKNOWN when it cannot be looked at (which is no answer).
    virtual ELook Look(const CCardFolder& folder, const std::string& name, struct stat& info);
    // Copies a whole file over the entry (made if missing) and syncs it. A regular file of one
    // name there is written in place; a link, a file with other names or anything else there is
    // replaced by a new file (written beside it and renamed over it), never written through.
    // The copy ends readable and writable for all. False when the copy or the sync fails; an
    // entry written in place may then hold part of the file.
    virtual bool CopyInto(const std::string& source, const CCardFolder& folder, const std::string& name);
};

CCardFileSystem& GetCardFileSystem();
// Tests install a file system that fails where they want; null restores the real one. The
// caller keeps ownership.
void SetCardFileSystem(CCardFileSystem* fileSystem);

// Writes one file's contents to a stream; answers whether the stream is good afterwards.
typedef boost::function<bool(std::ostream&)> CFileWriter;

// The name of the temporary file beside a target ("NAME.NEW" for "NAME.EXT"), and as a path.
std::string GetNewFileName(const std::string& name);
std::string GetNewFilePath(const std::string& path);

// Writes the folder's entry through a temporary file beside it that replaces it only when
// complete and synced; the contents are made in memory first (some FAT drivers refuse to grow a
// file after a write into its middle). False leaves the entry as it was and no temporary file.
bool WriteCardFile(const CCardFolder& folder, const std::string& name, const CFileWriter& write);

// Many files, each as WriteCardFile writes one, with durability in one pass: every temporary
// file is written, all are made durable together (the whole file system synced once when there
// are many), then each is renamed over its target, then the folders are synced once. Answers for
// each file whether it replaced its target; one that did not leaves its target as it was and
// no temporary file. The folders stay open for the call.
struct CCardFileJob {
    const CCardFolder* folder;
    std::string name;
    CFileWriter write;
};
std::vector<bool> WriteCardFiles(const std::vector<CCardFileJob>& jobs);

// Bytes that grow without being zeroed first: a file's bytes are read over them at once.
template <class T>
struct CUninitialisedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        typedef CUninitialisedAllocator<U> other;
    };
    template <class U>
    void construct(U* at) {
        ::new (static_cast<void*>(at)) U;
    }
    template <class U, class... TArgs>
    void construct(U* at, TArgs&&... args) {
        ::new (static_cast<void*>(at)) U(std::forward<TArgs>(args)...);
    }
};
typedef std::vector<char, CUninitialisedAllocator<char>> CFileBytes;

// A whole file read with one call into memory; false when it cannot be read or holds more than
// maxBytes. By a path, or by its name in an open folder (the folder's descriptor, or AT_FDCWD).
bool ReadCardFile(const std::string& path, CFileBytes& bytes, size_t maxBytes);
bool ReadCardFileAt(int folder, const std::string& name, CFileBytes& bytes, size_t maxBytes);

// ReadCardFile for many files of the card, most in the same folders: the last folder stays open
// and each file is opened by its name in it. Folders are opened by the card's walk from its
// root, so nothing is read through a link in a folder's place.
class CCardFolderReader {
public:
    explicit CCardFolderReader(const CCardVolume& card) : m_card(card) {}
    CCardFolderReader(const CCardFolderReader&) = delete;
    CCardFolderReader& operator=(const CCardFolderReader&) = delete;
    bool Read(const std::string& path, CFileBytes& bytes, size_t maxBytes);

private:
    const CCardVolume& m_card;
    CCardFolder m_root;  // opened once, at the first read
    CCardFolder m_folder;
    std::string m_path;  // of the folder last asked for, with its "/"
};

// Reading bytes in memory as a stream: the chunk readers seek at no cost.
class CMemoryReadBuffer : public std::streambuf {
public:
    CMemoryReadBuffer(const char* data, size_t size);

protected:
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override;
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override;
};

// A file read whole into memory, read as a stream.
class CCardFileInput : public std::istream {
public:
    CCardFileInput();
    bool Open(const std::string& path, size_t maxBytes);
    // The file by its name in an open folder.
    bool Open(const CCardFolder& folder, const std::string& name, size_t maxBytes);

private:
    bool Take();

    CFileBytes m_bytes;
    std::unique_ptr<CMemoryReadBuffer> m_buffer;
};

class CCardFileSet {
public:
    struct CEntry {
        std::string name;  // file name in the folder
        CFileWriter write;
    };

    // A replacement made ready before anything is written: every new file's bytes made in
    // memory and compared with the folder's, so that what changes, and the room that takes,
    // is known first. Then Replace or ReplaceEach writes it.
    class CUpdate {
    public:
        CUpdate();
        ~CUpdate();
        CUpdate(const CUpdate&) = delete;
        CUpdate& operator=(const CUpdate&) = delete;

        // Makes every entry's bytes; false when one cannot be made. A file that already holds
        // exactly its new bytes is left out (and made writable for all, as a written file ends).
        // A folder that is not open yet (one still to be made) holds none.
        bool Prepare(const CCardFolder& folder, const std::vector<CEntry>& entries);
        // The files that change, in their order, and the bytes of each new copy.
        const std::vector<std::string>& GetChangedNames() const { return m_names; }
        std::vector<int64_t> GetChangedSizes() const;
        // The changed files as one set, all or none, through their new copies and the mark that
        // they are complete. False when the folder still holds the old set (or, the mark kept,
        // a complete new set that the next save or connect finishes).
        bool Replace(const CCardFolder& folder) const;
        // The changed files one at a time, for a card without room for the whole new set: each
        // written beside its name, synced and renamed over it. A file that fails stays as it was
        // while the others are still replaced, and the answer is false.
        bool ReplaceEach(const CCardFolder& folder) const;

    private:
        struct CContents;
        std::vector<std::string> m_names;
        std::vector<std::unique_ptr<CContents>> m_contents;
    };

    // Replaces the named files of the folder with the written ones, all or none (Recover, then
    // CUpdate's Prepare and Replace). False when the folder still holds the old set.
    static bool Replace(const CCardFolder& folder, const std::vector<CEntry>& entries);
    // Finishes a replacement that was interrupted once all new files were complete, else takes
    // its new files away and puts its old ones back; the folder then holds one whole set. Only a
    // regular file of one name on the folder's file system counts as a new copy: anything else
    // means the new set is not complete. False when a step failed, or something could not be
    // looked at: the folder keeps every file, and the mark of a complete new set, for the next
    // attempt.
    static bool Recover(const CCardFolder& folder, const std::vector<std::string>& names);
    // Whether the folder still holds what an interrupted replacement left (the mark, a new or
    // an old copy), or something that cannot be looked at: its set is not whole until recovered.
    static bool HasLeftovers(const CCardFolder& folder, const std::vector<std::string>& names);
    // Whether a file can take the place of each name: none of them is a folder with entries (an
    // empty folder, a link or a file there is replaced, never followed), and each could be
    // looked at.
    static bool CanReplace(const CCardFolder& folder, const std::vector<std::string>& names);

    // Names of a file's new and old copies and of the mark that all new copies are complete.
    static std::string NewName(const std::string& name);
    static std::string OldName(const std::string& name);
    static const std::string& CompleteMarkName();
};
