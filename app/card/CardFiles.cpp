#include "app/card/CardFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "general_tools/Paths.h"
#include "sound/files/FileDataSource.h"

namespace {

ICardFileSystem* g_fileSystem = nullptr;

std::string TitleOf(const std::string& name) {
    const std::string::size_type dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

// --- file operations ---

boost::shared_ptr<std::ostream> ICardFileSystem::OpenWrite(const std::string& path) {
    return SL::CFileDataSource(path, false).OpenWrite();
}

bool ICardFileSystem::Finish(boost::shared_ptr<std::ostream> out, const std::string& path) {
    if (!out) return false;
    out->flush();
    bool good = !out->fail();
    if (auto* file = dynamic_cast<std::fstream*>(out.get())) {
        file->close();
        good = good && !file->fail();
    }
    out.reset();
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    good = fsync(fd) == 0 && good;
    close(fd);
    return good;
}

bool ICardFileSystem::Rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool ICardFileSystem::Remove(const std::string& path) { return unlink(path.c_str()) == 0; }

bool ICardFileSystem::Exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

ICardFileSystem& GetCardFileSystem() {
    if (g_fileSystem != nullptr) return *g_fileSystem;
    static ICardFileSystem fileSystem;
    return fileSystem;
}

void SetCardFileSystem(ICardFileSystem* fileSystem) { g_fileSystem = fileSystem; }

// --- one file ---

std::string GetNewFilePath(const std::string& path) {
    const GT::CPathParts parts(path, '/');
    return parts.directory + parts.title + ".NEW";
}

bool WriteCardFile(const std::string& path, const CFileWriter& write) {
    ICardFileSystem& files = GetCardFileSystem();
    const std::string temporary = GetNewFilePath(path);
    boost::shared_ptr<std::ostream> out = files.OpenWrite(temporary);
    if (!out) return false;
    const bool written = write(*out);
    const bool finished = files.Finish(std::move(out), temporary);
    if (written && finished && files.Rename(temporary, path)) return true;
    files.Remove(temporary);
    return false;
}

// --- a set of files ---

std::string CCardFileSet::NewName(const std::string& name) { return TitleOf(name) + ".NEW"; }

std::string CCardFileSet::OldName(const std::string& name) { return TitleOf(name) + ".OLD"; }

const std::string& CCardFileSet::CompleteMarkName() {
    static const std::string name("NEWSET.OK");
    return name;
}

void CCardFileSet::Recover(const std::string& folder, const std::vector<std::string>& names) {
    ICardFileSystem& files = GetCardFileSystem();
    const std::string mark = folder + CompleteMarkName();
    if (files.Exists(mark)) {
        // Every new copy was complete: finish the replacement.
        for (const std::string& name : names) {
            const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
            if (!files.Exists(fresh)) continue;  // already in place
            if (files.Exists(target)) {
                if (files.Exists(old))
                    files.Remove(target);
                else
                    files.Rename(target, old);
            }
            files.Rename(fresh, target);
        }
        for (const std::string& name : names)
            if (files.Exists(folder + OldName(name))) files.Remove(folder + OldName(name));
        files.Remove(mark);
        return;
    }
    // The new set never became complete: the old files stay.
    for (const std::string& name : names) {
        const std::string target = folder + name, old = folder + OldName(name), fresh = folder + NewName(name);
        if (files.Exists(fresh)) files.Remove(fresh);
        if (files.Exists(old)) {
            if (files.Exists(target))
                files.Remove(old);
            else
                files.Rename(old, target);
        }
    }
}

bool CCardFileSet::Replace(const std::string& folder, const std::vector<CEntry>& entries) {
    ICardFileSystem& files = GetCardFileSystem();
    std::vector<std::string> names;
    for (const CEntry& entry : entries) names.push_back(entry.name);
    const std::string mark = folder + CompleteMarkName();
    // A mark left by an earlier write would make a half-written new set look complete.
    Recover(folder, names);
    if (files.Exists(mark)) return false;

    // 1. The new copies, then the mark that they are complete.
    std::vector<std::string> written;
    bool complete = true;
    for (const CEntry& entry : entries) {
        const std::string path = folder + NewName(entry.name);
        boost::shared_ptr<std::ostream> out = files.OpenWrite(path);
        if (!out) {
            complete = false;
            break;
        }
        written.push_back(path);
        const bool good = entry.write(*out);
        if (!files.Finish(std::move(out), path) || !good) {
            complete = false;
            break;
        }
    }
    if (complete) {
        boost::shared_ptr<std::ostream> out = files.OpenWrite(mark);
        complete = out && files.Finish(std::move(out), mark);
    }
    if (!complete) {
        for (const std::string& path : written) files.Remove(path);
        files.Remove(mark);
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
        if (restored) {
            for (const std::string& name : names) files.Remove(folder + NewName(name));
            files.Remove(mark);
        }
        return false;
    }

    // 3. The old files go, then the mark.
    for (const std::string& name : names)
        if (files.Exists(folder + OldName(name))) files.Remove(folder + OldName(name));
    files.Remove(mark);
    return true;
}
