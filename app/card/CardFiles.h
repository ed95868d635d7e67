// Writing files on the card so that none is ever left half-written: each file is written beside
// its target under a temporary name, flushed to the card and renamed over the target. A set of
// files (the database) is replaced only when every new file is complete; the old files are moved
// aside first and put back when a replacement fails, so the folder holds the old set or the new
// one, never a mix. What an interrupted write leaves is finished or removed on the next connect.
#pragma once

#include <boost/function.hpp>
#include <boost/shared_ptr.hpp>

#include <cstddef>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

// The file operations of card writes, in one place so that tests can make any of them fail
// (a test derives from it).
class CCardFileSystem {
public:
    virtual ~CCardFileSystem() = default;
    // A new file of its own for writing: whatever stood at the path (a leftover, a link, a file
    // with other names) is taken away first, never written through; empty when it cannot be made.
    virtual boost::shared_ptr<std::ostream> OpenWrite(const std::string& path);
    // Flushes and closes the stream.
    virtual bool Close(boost::shared_ptr<std::ostream> out, const std::string& path);
    // Closes the stream, then syncs the file.
    virtual bool Finish(boost::shared_ptr<std::ostream> out, const std::string& path);
    // Has the file's (or folder's) bytes written through to the device.
    virtual bool Sync(const std::string& path);
    // Has everything written on the file system that holds path reach its device, in one call.
    virtual bool SyncFileSystem(const std::string& path);
    // Renames over an existing target in one step.
    virtual bool Rename(const std::string& from, const std::string& to);
    // Takes away the entry itself: a file, a link (never what it leads to) or an empty folder.
    virtual bool Remove(const std::string& path);
    virtual bool Exists(const std::string& path);
    // Copies a whole file over the target (made if missing) and syncs it. A regular file of one
    // name is written in place; a link, a file with other names or anything else there is
    // replaced by a new file (written beside it and renamed over it), never written through.
    // False when the copy or the sync fails; a target written in place may then hold part of the
    // file.
    virtual bool CopyInto(const std::string& source, const std::string& target);
};

CCardFileSystem& GetCardFileSystem();
// Tests install a file system that fails where they want; null restores the real one. The
// caller keeps ownership.
void SetCardFileSystem(CCardFileSystem* fileSystem);

// Writes one file's contents to a stream; answers whether the stream is good afterwards.
typedef boost::function<bool(std::ostream&)> CFileWriter;

// Writes a new file from start to end in one pass: the contents are made in memory first, as
// some FAT drivers refuse to grow a file after a write into its middle. False when the file
// cannot be opened, the contents cannot be made, or the write or its sync fails; opened tells
// whether the file was made (and needs removing). Without sync the caller makes it durable.
bool WriteWholeFile(const std::string& path, const CFileWriter& write, bool* opened = nullptr, bool sync = true);

// Writes path through a temporary file beside it ("NAME.NEW" for "NAME.EXT") that replaces the
// target only when complete. False leaves the target as it was and no temporary file.
bool WriteCardFile(const std::string& path, const CFileWriter& write);
// The temporary name beside a target.
std::string GetNewFilePath(const std::string& path);

// Many files, each as WriteCardFile writes one, with durability in one pass: every temporary
// file is written, all are made durable together (the whole file system synced once when there
// are many), then each is renamed over its target, then the folders are synced once. Answers for
// each file whether it replaced its target; one that did not leaves its target as it was and
// no temporary file.
struct CCardFileJob {
    std::string path;
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
// maxBytes.
bool ReadCardFile(const std::string& path, CFileBytes& bytes, size_t maxBytes);

// ReadCardFile for many files, most in the same folders: the last folder stays open and each
// file is opened by its name in it, without walking the whole path again.
class CCardFolderReader {
public:
    CCardFolderReader() = default;
    CCardFolderReader(const CCardFolderReader&) = delete;
    CCardFolderReader& operator=(const CCardFolderReader&) = delete;
    ~CCardFolderReader();
    bool Read(const std::string& path, CFileBytes& bytes, size_t maxBytes);

private:
    int m_folder = -1;
    std::string m_path;  // of the open folder, with its "/"
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

private:
    CFileBytes m_bytes;
    std::unique_ptr<CMemoryReadBuffer> m_buffer;
};

class CCardFileSet {
public:
    struct CEntry {
        std::string name;  // file name in the folder
        CFileWriter write;
    };

    // Replaces the named files of the folder (which ends with "/") with the written ones, all or
    // none; a file that already holds exactly its new bytes is left untouched. False when the
    // folder still holds the old set.
    static bool Replace(const std::string& folder, const std::vector<CEntry>& entries);
    // Finishes a replacement that was interrupted once all new files were complete, else takes
    // its new files away; the folder then holds one whole set. False when a step failed: the
    // folder keeps every file, and the mark of a complete new set, for the next attempt.
    static bool Recover(const std::string& folder, const std::vector<std::string>& names);
    // Whether the folder still holds what an interrupted replacement left (the mark, a new or
    // an old copy): its set is not whole until recovered.
    static bool HasLeftovers(const std::string& folder, const std::vector<std::string>& names);
    // Whether a file can take the place of each name: none of them is a folder with entries (an
    // empty folder, a link or a file there is replaced, never followed).
    static bool CanReplace(const std::string& folder, const std::vector<std::string>& names);

    // Names of a file's new and old copies and of the mark that all new copies are complete.
    static std::string NewName(const std::string& name);
    static std::string OldName(const std::string& name);
    static const std::string& CompleteMarkName();
};
