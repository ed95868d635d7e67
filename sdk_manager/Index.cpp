// Where a lookup finds its records: the catalogue it names, the files named by a disc id, the record a tag
// names, and the index, checked and brought up to date before it answers. The index's file, its build, its
// comparison with the catalogue and its locks are in IndexFormat, IndexBuild, IndexCheck and IndexLock.
#include "sdk_manager/Index.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <memory>

#include "sdk_manager/CatalogueFiles.h"
#include "sdk_manager/IndexBuild.h"
#include "sdk_manager/IndexCheck.h"
#include "sdk_manager/IndexFormat.h"
#include "sdk_manager/IndexLock.h"

namespace tmsdk {

namespace {

bool MakeFolder(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode);
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolder(path.substr(0, slash))) return false;
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

bool IsHidden(const std::string& component) { return component.empty() || component[0] == '.'; }

// The file at a path below the catalogue folder that the catalogue's walk reads: no hidden name, no folder
// reached through a link, no link to a file of the catalogue, not too deep.
bool WalkedFile(const Place& place, const std::string& relative) {
    if (relative.empty() || relative.front() == '/') return false;
    std::string full = place.path;
    size_t at = 0;
    int depth = 0;
    for (;;) {
        const size_t slash = relative.find('/', at);
        const std::string component = relative.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (IsHidden(component)) return false;
        full += "/" + component;
        struct stat info;
        if (lstat(full.c_str(), &info) != 0) return false;
        if (slash == std::string::npos) {
            if (S_ISREG(info.st_mode)) return true;
            if (!S_ISLNK(info.st_mode) || stat(full.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
            const std::string target = RealPath(full);
            return place.real.empty() || target.compare(0, place.real.size() + 1, place.real + "/") != 0;
        }
        if (!S_ISDIR(info.st_mode) || ++depth > kMaxDepth) return false;
        at = slash + 1;
    }
}

// "name#n": the name and n; anything else: the whole text and 1.
void SplitTag(const std::string& tag, std::string& file, uint32_t& position, bool& numbered) {
    file = tag;
    position = 1;
    numbered = false;
    const size_t hash = tag.rfind('#');
    if (hash == std::string::npos || hash + 1 >= tag.size() || tag.size() - hash > 10) return;
    for (size_t i = hash + 1; i < tag.size(); ++i)
        if (tag[i] < '0' || tag[i] > '9') return;
    const unsigned long n = std::strtoul(tag.c_str() + hash + 1, nullptr, 10);
    if (n == 0 || n > UINT32_MAX) return;
    file = tag.substr(0, hash);
    position = static_cast<uint32_t>(n);
    numbered = true;
}

// A folder an environment variable names. Only an absolute path names one: a relative one would put files
// below whatever folder the program was started in.
std::string FolderNamedBy(const char* variable) {
    const char* value = std::getenv(variable);
    return value && value[0] == '/' ? value : std::string();
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return text;
}

// An index that a lookup which builds nothing found damaged: removed, so that no later lookup pays for
// reading it again and the next build makes it anew. Only while no build holds it, and only the file read.
void DiscardDamaged(const std::string& path, const Stamp& seen) {
    BuildLock lock;
    if (lock.TryTake(path) && PathStamp(path) == seen) unlink(path.c_str());
}

}  // namespace

std::string CataloguePath() {
    if (const char* path = std::getenv("TMSDK_CATALOGUE"); path && *path) return path;
    if (const std::string data = FolderNamedBy("XDG_DATA_HOME"); !data.empty())
        return data + "/tmsdk_sdkmanager/catalogue";
    if (const std::string home = FolderNamedBy("HOME"); !home.empty())
        return home + "/.local/share/tmsdk_sdkmanager/catalogue";
    return {};
}

tmsdk_status_t OpenPlace(Place& place, uint32_t& detail) {
    detail = 0;
    place.path = CataloguePath();
    struct stat info;
    if (place.path.empty() || stat(place.path.c_str(), &info) != 0) {
        detail = place.path.empty() ? 0 : static_cast<uint32_t>(errno);
        return TMSDK_STATUS_SERVICE_UNREACHABLE;
    }
    while (place.path.size() > 1 && place.path.back() == '/') place.path.pop_back();
    place.folder = S_ISDIR(info.st_mode);
    if (place.folder && access(place.path.c_str(), R_OK | X_OK) != 0) {
        detail = static_cast<uint32_t>(errno);
        return TMSDK_STATUS_SERVICE_UNREACHABLE;
    }
    place.real = RealPath(place.path);
    if (place.real.empty()) place.real = place.path;
    const size_t slash = place.path.find_last_of('/');
    place.name = slash == std::string::npos ? place.path : place.path.substr(slash + 1);
    return 0;
}

std::string IndexPath(const Place& place) {
    std::string cache = FolderNamedBy("XDG_CACHE_HOME");
    if (cache.empty()) {
        cache = FolderNamedBy("HOME");
        if (cache.empty()) return {};
        cache += "/.cache";
    }
    const uint64_t hash = Fnv(kFnvStart, reinterpret_cast<const unsigned char*>(place.real.data()), place.real.size());
    char name[40];
    std::snprintf(name, sizeof name, "/catalogue-%016llx.index", static_cast<unsigned long long>(hash));
    return cache + "/tmsdk_sdkmanager" + name;
}

std::vector<Disc> DiscsNamed(const Place& place, const std::vector<std::string>& ids,
                             const std::vector<std::string>* subfolders) {
    std::vector<Disc> discs;
    if (!place.folder) return discs;
    std::vector<std::string> folders{""};
    if (subfolders) {
        folders.insert(folders.end(), subfolders->begin(), subfolders->end());
    } else if (DIR* dir = opendir(place.path.c_str())) {
        // Only the folders: records may lie in the catalogue folder itself, by the hundred thousand.
        while (dirent* entry = readdir(dir)) {
            if (IsHidden(entry->d_name)) continue;
            struct stat info;
            if (entry->d_type == DT_DIR
                || (entry->d_type == DT_UNKNOWN && fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISDIR(info.st_mode)))
                folders.emplace_back(entry->d_name);
        }
        closedir(dir);
    }
    std::vector<std::string> names = ids;
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<std::pair<std::pair<uint64_t, uint64_t>, Disc>> named;
    std::string bytes, why;
    for (const std::string& folder : folders) {
        for (const std::string& id : names) {
            const std::string relative = Join(folder, id);
            Stamp stamp;
            if (!WalkedFile(place, relative) || !ReadRegular(place.path + "/" + relative, bytes, stamp, why)) continue;
            ReadReport ignored;
            std::vector<Disc> read;
            ReadXmcd(bytes, relative, read, ignored);
            for (Disc& disc : read) {
                disc.device = stamp.device;
                disc.inode = stamp.inode;
                named.push_back({{stamp.device, stamp.inode}, std::move(disc)});
            }
        }
    }
    // Catalogue order; a file with several names is read under its first.
    std::stable_sort(named.begin(), named.end(),
                     [](const auto& a, const auto& b) { return TagBefore(a.second.tag, b.second.tag); });
    std::map<std::pair<uint64_t, uint64_t>, std::string> firstName;
    for (auto& entry : named) {
        std::string file;
        uint32_t position;
        bool numbered;
        SplitTag(entry.second.tag, file, position, numbered);
        const auto first = firstName.emplace(entry.first, file).first;
        if (first->second == file) discs.push_back(std::move(entry.second));
    }
    return discs;
}

tmsdk_status_t ReadIndex(const Place& place, const IndexRequest& request, std::vector<IndexedRecord>& records,
                         IndexReport& report) {
    report = IndexReport();
    records.clear();
    const std::string path = IndexPath(place);
    if (path.empty() && request.use == IndexRequest::Use::kAsItIs) return 0;
    if (!path.empty()) RemoveAbandonedTemporaries(path);
    const bool whole = request.use == IndexRequest::Use::kCheckEveryFile;
    const std::string cache = path.substr(0, path.find_last_of('/'));
    const bool canWrite = !path.empty() && MakeFolder(cache);
    BuildLock lock;
    // Its threads started once, however often the index is read again.
    const std::shared_ptr<FileComparer> comparer =
        request.comparer ? request.comparer : std::make_shared<FileComparer>();
    IndexState state = IndexState::kMissing;
    for (;;) {
        const Stamp seen = PathStamp(path);
        if (!path.empty() && !whole) {
            state = CheckIndex(place, path, request, records, report, *comparer);
            if (state == IndexState::kFresh) {
                report.present = true;
                return 0;
            }
            records.clear();
            if (state == IndexState::kDamaged && request.use != IndexRequest::Use::kBuild && canWrite)
                DiscardDamaged(path, seen);
            if (request.use == IndexRequest::Use::kAsItIs) {
                report.present = false;
                return 0;
            }
            if (request.use == IndexRequest::Use::kIfPresent && state != IndexState::kStale) {
                report = IndexReport();
                return 0;
            }
            report = IndexReport();
        } else if (!path.empty()) {
            IndexRequest damage;
            std::vector<IndexedRecord> none;
            IndexReport ignored;
            state = CheckIndex(place, path, damage, none, ignored, *comparer);
        }
        if (!canWrite) break;
        const BuildLock::Wait wait = lock.Take(path, seen, request.stall, request.progress);
        if (wait == BuildLock::Wait::kAborted) return TMSDK_STATUS_ABORTED;
        if (wait != BuildLock::Wait::kIndexWritten && PathStamp(path) == seen) break;
        lock.Release();  // another build wrote it meanwhile: what does it say now?
    }
    // Built again from the catalogue, taking over from the old index what did not change.
    std::unique_ptr<Reader> old;
    if (state == IndexState::kStale || state == IndexState::kFresh) {
        old = std::make_unique<Reader>(path);
        if (!old->Ok() || !ReadHeader(*old, place)) old.reset();
    }
    Writer out(canWrite ? path : std::string());
    const tmsdk_status_t status = BuildIndex(place, request, old.get(), out, records, report);
    if (status != 0) {
        out.Abandon();
        records.clear();
    }
    return status;
}

bool ReadIndexedRecords(const Place& place, const IndexedRecord* first, size_t count, std::vector<Disc>& discs) {
    std::string bytes, why;
    Stamp stamp;
    const std::string full = place.folder ? place.path + "/" + first->file : place.path;
    if (!ReadRegular(full, bytes, stamp, why) || stamp != first->stamp) return false;
    std::vector<std::pair<uint32_t, uint32_t>> wanted;
    for (const IndexedRecord* record = first; record != first + count; ++record)
        wanted.emplace_back(record->position, record->start);
    const size_t from = discs.size();
    const bool all = ReadXmcdRecords(bytes, first->file, wanted, discs);
    for (size_t i = from; i < discs.size(); ++i) {
        discs[i].device = stamp.device;
        discs[i].inode = stamp.inode;
    }
    return all;
}

bool ReadTaggedRecord(const Place& place, const std::string& id, const std::string& tag, Disc& disc) {
    // A file's name may itself end in "#" and digits: the whole tag is tried as a name first.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string file = tag;
        uint32_t position = 1;
        bool numbered = false;
        if (attempt == 1) {
            SplitTag(tag, file, position, numbered);
            if (!numbered) break;
        }
        if (place.folder ? !WalkedFile(place, file) : file != place.name) continue;
        std::string bytes, why;
        Stamp stamp;
        if (!ReadRegular(place.folder ? place.path + "/" + file : place.path, bytes, stamp, why)) continue;
        Disc found;
        if (ReadXmcdRecord(bytes, file, position, kAnyStart, found) && found.tag == tag
            && Lower(found.id) == Lower(id)) {
            disc = std::move(found);
            return true;
        }
    }
    return false;
}

bool TagBefore(const std::string& a, const std::string& b) {
    std::string fileA, fileB;
    uint32_t positionA, positionB;
    bool numbered;
    SplitTag(a, fileA, positionA, numbered);
    SplitTag(b, fileB, positionB, numbered);
    // The order the catalogue is walked in: a folder's files by name, then its folders by name.
    size_t i = 0, j = 0;
    for (;;) {
        const size_t ai = fileA.find('/', i), bj = fileB.find('/', j);
        const bool aFile = ai == std::string::npos, bFile = bj == std::string::npos;
        const std::string partA = fileA.substr(i, aFile ? std::string::npos : ai - i);
        const std::string partB = fileB.substr(j, bFile ? std::string::npos : bj - j);
        if (aFile != bFile) return aFile;
        if (partA != partB) return partA < partB;
        if (aFile) return positionA < positionB;
        i = ai + 1;
        j = bj + 1;
    }
}

}  // namespace tmsdk
