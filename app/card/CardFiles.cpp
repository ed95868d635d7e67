#include "app/card/CardFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <streambuf>

#include "general_tools/Files.h"
#include "general_tools/Paths.h"
#include "sound/files/FileDataSource.h"

namespace {

CCardFileSystem* g_fileSystem = nullptr;

std::string TitleOf(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// An output buffer in memory that may seek back within what was written (the chunk writers
// patch sizes after their bodies). Its size is the furthest position written.
class CMemoryBuffer : public std::streambuf {
public:
    CMemoryBuffer() : m_bytes(4096) { setp(m_bytes.data(), m_bytes.data() + m_bytes.size()); }

    const char* Data() const { return m_bytes.data(); }
    size_t Size() const { return std::max(m_high, Position()); }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        Reserve(Position() + 1);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (n <= 0) return 0;
        const size_t at = Position();
        Reserve(at + static_cast<size_t>(n));
        std::memcpy(m_bytes.data() + at, s, static_cast<size_t>(n));
        MoveTo(at + static_cast<size_t>(n));
        return n;
    }
    pos_type seekoff(off_type offset, std::ios_base::seekdir direction, std::ios_base::openmode which) override {
        if (!(which & std::ios_base::out)) return pos_type(off_type(-1));
        m_high = Size();
        const off_type base = direction == std::ios_base::beg   ? 0
                              : direction == std::ios_base::cur ? static_cast<off_type>(Position())
                                                                : static_cast<off_type>(m_high);
        const off_type target = base + offset;
        if (target < 0) return pos_type(off_type(-1));
        Reserve(static_cast<size_t>(target));
        MoveTo(static_cast<size_t>(target));
        return pos_type(target);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        return seekoff(off_type(position), std::ios_base::beg, which);
    }

private:
    size_t Position() const { return static_cast<size_t>(pptr() - pbase()); }
    void Reserve(size_t size) {
        if (size <= m_bytes.size()) return;
        const size_t at = Position();
        m_high = Size();
        m_bytes.resize(std::max(size, m_bytes.size() * 2));
        setp(m_bytes.data(), m_bytes.data() + m_bytes.size());
        MoveTo(at);
    }
    void MoveTo(size_t position) {
        m_high = std::max(m_high, Position());
        setp(m_bytes.data(), m_bytes.data() + m_bytes.size());
        // pbump takes an int: move in steps for very large buffers.
        while (position > 0) {
            const int step = static_cast<int>(std::min<size_t>(position, 0x40000000));
            pbump(step);
            position -= static_cast<size_t>(step);
        }
    }

    std::vector<char> m_bytes;
    size_t m_high = 0;
};

}  // namespace

// --- file operations ---

boost::shared_ptr<std::ostream> CCardFileSystem::OpenWrite(const std::string& path) {
    return SL::CFileDataSource(path, false).OpenWrite();
}

bool CCardFileSystem::Finish(boost::shared_ptr<std::ostream> out, const std::string& path) {
    if (!out) return false;
    out->flush();
    bool good = !out->fail();
    if (auto* file = dynamic_cast<std::fstream*>(out.get())) {
        file->close();
        good = good && !file->fail();
    }
    out.reset();
    return Sync(path) && good;
}

bool CCardFileSystem::Sync(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    close(fd);
    return synced;
}

bool CCardFileSystem::Rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool CCardFileSystem::Remove(const std::string& path) { return unlink(path.c_str()) == 0; }

bool CCardFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

bool CCardFileSystem::CopyInto(const std::string& source, const std::string& target) {
    // The library's copy moves the bytes inside the kernel where it can.
    std::error_code ec;
    if (!std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing, ec) || ec)
        return false;
    return Sync(target);
}

CCardFileSystem& GetCardFileSystem() {
    if (g_fileSystem != nullptr) return *g_fileSystem;
    static CCardFileSystem fileSystem;
    return fileSystem;
}

void SetCardFileSystem(CCardFileSystem* fileSystem) { g_fileSystem = fileSystem; }

// --- one file ---

std::string GetNewFilePath(const std::string& path) {
    const GT::CPathParts parts(path, '/');
    return parts.directory + parts.title + ".NEW";
}

bool WriteWholeFile(const std::string& path, const CFileWriter& write, bool* opened) {
    if (opened != nullptr) *opened = false;
    CMemoryBuffer contents;
    std::ostream memory(&contents);
    if (!write(memory) || !memory.good()) return false;
    CCardFileSystem& files = GetCardFileSystem();
    boost::shared_ptr<std::ostream> out = files.OpenWrite(path);
    if (!out) return false;
    if (opened != nullptr) *opened = true;
    out->write(contents.Data(), static_cast<std::streamsize>(contents.Size()));
    const bool written = !out->fail();
    return files.Finish(std::move(out), path) && written;
}

bool WriteCardFile(const std::string& path, const CFileWriter& write) {
    CCardFileSystem& files = GetCardFileSystem();
    const std::string temporary = GetNewFilePath(path);
    bool opened = false;
    if (WriteWholeFile(temporary, write, &opened) && files.Rename(temporary, path)) {
        GT::MakeWritable(path);  // as every file the program puts on the card; best effort
        return true;
    }
    if (opened) files.Remove(temporary);
    return false;
}

// --- a set of files ---

std::string CCardFileSet::NewName(const std::string& name) { return TitleOf(name) + ".NEW"; }

std::string CCardFileSet::OldName(const std::string& name) { return TitleOf(name) + ".OLD"; }

const std::string& CCardFileSet::CompleteMarkName() {
    static const std::string name("NEWSET.OK");
    return name;
}

bool CCardFileSet::Recover(const std::string& folder, const std::vector<std::string>& names) {
    CCardFileSystem& files = GetCardFileSystem();
    const std::string mark = folder + CompleteMarkName();
    if (files.Exists(mark)) {
        // Every new copy was complete: finish the replacement. A step that fails stops here
        // with nothing deleted and the mark kept, so the next attempt goes on from this point.
        for (const std::string& name : names) {
            const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
            if (!files.Exists(fresh)) continue;  // already in place
            // With the old file already aside, what stands at the target is a second copy.
            if (files.Exists(target) && !(files.Exists(old) ? files.Remove(target) : files.Rename(target, old)))
                return false;
            if (!files.Rename(fresh, target)) return false;
        }
        // The old copies go only once the whole new set stands.
        for (const std::string& name : names)
            if (!files.Exists(folder + name)) return false;
        bool removed = true;
        for (const std::string& name : names)
            if (files.Exists(folder + OldName(name))) removed = files.Remove(folder + OldName(name)) && removed;
        return removed && files.Remove(mark);
    }
    // The new set never became complete: the old files stay, their new copies go.
    bool settled = true;
    for (const std::string& name : names) {
        const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
        if (files.Exists(old))
            settled = (files.Exists(target) ? files.Remove(old) : files.Rename(old, target)) && settled;
        if (files.Exists(fresh)) settled = files.Remove(fresh) && settled;
    }
    return settled;
}

bool CCardFileSet::HasLeftovers(const std::string& folder, const std::vector<std::string>& names) {
    CCardFileSystem& files = GetCardFileSystem();
    if (files.Exists(folder + CompleteMarkName())) return true;
    for (const std::string& name : names)
        if (files.Exists(folder + NewName(name)) || files.Exists(folder + OldName(name))) return true;
    return false;
}

bool CCardFileSet::Replace(const std::string& folder, const std::vector<CEntry>& entries) {
    CCardFileSystem& files = GetCardFileSystem();
    std::vector<std::string> names;
    for (const CEntry& entry : entries) names.push_back(entry.name);
    const std::string mark = folder + CompleteMarkName();
    // A mark left by an earlier write would make a half-written new set look complete.
    if (!Recover(folder, names)) return false;

    // 1. The new copies, then the mark that they are complete.
    std::vector<std::string> written;
    bool complete = true;
    for (const CEntry& entry : entries) {
        const std::string path = folder + NewName(entry.name);
        bool opened = false;
        complete = WriteWholeFile(path, entry.write, &opened);
        if (opened) written.push_back(path);
        if (!complete) break;
    }
    if (complete) complete = WriteWholeFile(mark, [](std::ostream& out) { return out.good(); });
    if (!complete) {
        // The mark goes first: a mark beside some of the new copies would have the next connect
        // finish a set that is no longer whole. Kept, it leaves the complete set to be finished.
        if (!files.Exists(mark) || files.Remove(mark))
            for (const std::string& path : written) files.Remove(path);
        return false;
    }

    // 2. Each old file aside, its new copy in its place.
    size_t swapped = 0;
    bool restored = true;  // every file before the failing one can still go back
    for (; swapped < names.size(); ++swapped) {
        const std::string& name = names[swapped];
        const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
        const bool hadOld = files.Exists(target);
        if (hadOld && !files.Rename(target, old)) break;
        if (!files.Rename(fresh, target)) {
            if (hadOld && !files.Rename(old, target)) restored = false;
            break;
        }
    }
    if (swapped < names.size()) {
        // Put the old files back; should that fail, the mark stays and the next connect
        // finishes the new set instead.
        while (restored && swapped-- > 0) {
            const std::string& name = names[swapped];
            const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
            if (!files.Rename(target, fresh)) {
                restored = false;
                break;
            }
            if (files.Exists(old) && !files.Rename(old, target)) {
                restored = false;
                break;
            }
        }
        // The mark before the new copies, as above.
        if (restored && files.Remove(mark))
            for (const std::string& name : names) files.Remove(folder + NewName(name));
        return false;
    }

    // 3. The old files go, then the mark.
    for (const std::string& name : names) {
        GT::MakeWritable(folder + name);
        if (files.Exists(folder + OldName(name))) files.Remove(folder + OldName(name));
    }
    files.Remove(mark);
    return true;
}
