// Building the index (see IndexBuild.h).
#include "sdk_manager/IndexBuild.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <unordered_set>

#include "sdk_manager/CatalogueFiles.h"
#include "sdk_manager/Internal.h"

namespace tmsdk {

namespace {

constexpr uint32_t kProgressEvery = 256;  // files read between two progress reports

struct PairHash {
    size_t operator()(const std::pair<uint64_t, uint64_t>& p) const {
        return p.first * 0x9E3779B97F4A7C15ull ^ p.second;
    }
};

// One pass over the catalogue that writes a new index: folders whose stamp did not change are copied from the
// old index (read in the same order), the others listed again, and only files whose stamp changed are read:
// in the folders listed again every file's stamp is compared, in the others those asked for (every file's
// when asked to compare every file; then a file that gained a name elsewhere is kept once, its current
// number of names saying whether to look for the others).
class Builder {
public:
    Builder(const Place& place, const IndexRequest& request, Reader* old, Writer& out,
            std::vector<IndexedRecord>& found)
        : m_place(place),
          m_request(request),
          m_old(old),
          m_out(out),
          m_found(found),
          m_recheck(request.recheck.begin(), request.recheck.end()),
          m_checkEveryFolder(request.use == IndexRequest::Use::kCheckEveryFile),
          m_checkEveryFile(m_checkEveryFolder || request.compareFiles) {}

    tmsdk_status_t Run(IndexReport& report) {
        WriteHeader(m_out, m_place);
        struct stat info;
        if (stat(m_place.path.c_str(), &info) != 0) return TMSDK_STATUS_SERVICE_UNREACHABLE;
        if (Progress()) return TMSDK_STATUS_ABORTED;
        Walk("", 0, StampOf(info));
        if (m_aborted || Progress()) return TMSDK_STATUS_ABORTED;
        m_out.U8(kEndTag);
        m_out.U64(m_totals.folders);
        m_out.U64(m_totals.files);
        m_out.U64(m_totals.records);
        m_out.U64(m_totals.skipped);
        report.written = m_out.Finish();
        report.present = true;
        report.records = static_cast<uint32_t>(std::min<uint64_t>(m_totals.records, UINT32_MAX));
        report.skipped = static_cast<uint32_t>(std::min<uint64_t>(m_totals.skipped, UINT32_MAX));
        report.filesRead = m_read;
        return 0;
    }

private:
    // --- The old index, read in step with the walk.
    uint8_t OldTag() {
        if (!m_tagRead) {
            m_tag = m_old && m_old->Ok() ? m_old->U8() : 0;
            m_tagRead = true;
        }
        return m_old && m_old->Ok() ? m_tag : 0;
    }
    bool TakeTag(uint8_t tag) {
        if (OldTag() != tag) return false;
        m_tagRead = false;
        return true;
    }
    // The old index's folder at `path`, whose files come next, if it has one. Folders before it in
    // catalogue order are gone and passed over; a folder after it waits for its turn.
    bool TakeOldFolder(const std::string& path, FolderHead& head) {
        while (m_old) {
            if (!m_hasOldHead) {
                if (!TakeTag(kFolderTag)) return false;
                ReadFolder(*m_old, m_oldHead);
                m_hasOldHead = m_old->Ok();
                if (!m_hasOldHead) return false;
            }
            const int order = ComparePaths(m_oldHead.path, path);
            if (order > 0) return false;
            m_hasOldHead = false;
            if (order == 0) {
                head = m_oldHead;
                return true;
            }
            FileHead file;
            std::vector<std::string> subfolders;
            while (NextOldFile(file)) {
            }
            if (!EndOldFolder(subfolders)) return false;
        }
        return false;
    }
    bool NextOldFile(FileHead& file) { return m_old && TakeTag(kFileTag) && ReadFile(*m_old, file); }
    bool EndOldFolder(std::vector<std::string>& subfolders) {
        if (m_old && TakeTag(kFolderEndTag) && ReadFolderEnd(*m_old, &subfolders)) return true;
        m_old = nullptr;  // not what was written: what is left is read from the catalogue
        return false;
    }

    // --- The catalogue.
    void Walk(const std::string& path, int depth, const Stamp& stamp) {
        if (m_aborted) return;
        FolderHead old;
        const bool hasOld = TakeOldFolder(path, old);
        FolderHead head;
        head.path = path;
        head.stamp = stamp;
        std::vector<std::string> subfolders;
        if (hasOld && old.stamp == stamp && !m_checkEveryFolder) {
            // Its names did not change: its files are taken over as they were, each compared with the file when
            // asked (its number of names too, for a name it gained elsewhere).
            head.readable = old.readable;
            WriteFolder(m_out, head);
            OpenFolder folder;
            if (m_place.folder && m_checkEveryFile) folder.Open(Full(path));
            FileHead file;
            std::string last;
            while (!m_aborted && NextOldFile(file)) {
                last = file.name;
                Stamp now = file.stamp;
                if (m_checkEveryFile || m_recheck.count(m_place.folder ? Join(path, file.name) : file.name)) {
                    uint64_t links = 0;
                    now = CurrentStamp(folder.Fd(), folder.Fd() >= 0 ? file.name : Full(Join(path, file.name)), &links);
                    if (links > 1) file.flags |= kLinked;
                }
                Keep(path, file, now);
            }
            folder.Close();
            if (!m_aborted && !EndOldFolder(subfolders)) ListFolder(path, depth, last, false, subfolders, nullptr);
        } else {
            ListFolder(path, depth, "", hasOld, subfolders, &head);
        }
        if (m_aborted) return;
        // Only the subfolders still there are listed, so that each listed has its own entries after these.
        std::vector<Stamp> stamps;
        size_t kept = 0;
        for (size_t i = 0; i < subfolders.size(); ++i) {
            struct stat info;
            if (lstat(Full(Join(path, subfolders[i])).c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) continue;
            stamps.push_back(StampOf(info));
            if (kept != i) subfolders[kept] = std::move(subfolders[i]);
            ++kept;
        }
        subfolders.resize(kept);
        WriteFolderEnd(m_out, subfolders);
        ++m_totals.folders;
        for (size_t i = 0; i < subfolders.size() && !m_aborted; ++i)
            Walk(Join(path, subfolders[i]), depth + 1, stamps[i]);
    }

    // Lists a folder again, after the name `after`, and writes its head (when given) and its files: a file
    // whose stamp did not change is taken from the old index (read alongside, both in name order), the others
    // are read. Only the folder's names are held, in one block, to be put in order.
    void ListFolder(const std::string& path, int depth, const std::string& after, bool merge,
                    std::vector<std::string>& subfolders, FolderHead* head) {
        std::string names;
        std::vector<uint32_t> starts;
        const bool readable = ListNames(path, names, starts);
        if (head) {
            head->readable = readable;
            WriteFolder(m_out, *head);
        }
        FileHead previous;
        bool hasPrevious = merge && NextOldFile(previous);
        const std::string folder = Full(path);
        for (uint32_t start : starts) {
            if (m_aborted) break;
            const char* name = &names[start];
            const std::string relative = Join(path, name);
            FileHead file;
            file.name = name;
            if (!Classify(relative, folder + "/" + file.name, depth, file, subfolders)) continue;
            if (!after.empty() && after.compare(name) >= 0) continue;  // taken over already
            while (hasPrevious && previous.name < file.name) hasPrevious = NextOldFile(previous);
            if (hasPrevious && previous.name == file.name) {
                previous.flags |= file.flags & kLinked;
                Keep(path, previous, file.stamp);
                hasPrevious = NextOldFile(previous);
            } else {
                Read(path, file);
            }
        }
        if (merge && !m_aborted) {
            while (hasPrevious) hasPrevious = NextOldFile(previous);
            std::vector<std::string> ignored;
            EndOldFolder(ignored);
        }
    }

    bool ListNames(const std::string& path, std::string& names, std::vector<uint32_t>& starts) {
        if (!m_place.folder) {
            starts.push_back(0);
            names = m_place.name + '\0';
            return true;
        }
        DIR* dir = opendir(Full(path).c_str());
        if (!dir) {
            LogLeftOut(path, "the folder cannot be read (" + ErrorText(errno) + ")");
            return false;
        }
        while (dirent* entry = readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            if (name[0] == '.') {
                LogLeftOut(Join(path, name), "a hidden name");
                continue;
            }
            starts.push_back(static_cast<uint32_t>(names.size()));
            names.append(name, std::strlen(name) + 1);
            m_out.Pulse();  // a folder of many names takes long to list
        }
        closedir(dir);
        const char* base = names.data();
        std::sort(starts.begin(), starts.end(),
                  [base](uint32_t a, uint32_t b) { return std::strcmp(base + a, base + b) < 0; });
        return true;
    }

    // What an entry is: a file to read (with its stamp, true), a folder to walk, or something passed over.
    bool Classify(const std::string& relative, const std::string& full, int depth, FileHead& file,
                  std::vector<std::string>& subfolders) {
        struct stat info;
        if (!m_place.folder) {
            if (stat(m_place.path.c_str(), &info) == 0) file.stamp = StampOf(info);
            return true;
        }
        if (lstat(full.c_str(), &info) != 0) return false;  // gone since it was listed
        if (S_ISDIR(info.st_mode)) {
            if (depth + 1 > kMaxDepth)
                LogLeftOut(relative, "more than 8 folders deep");
            else
                subfolders.push_back(file.name);
            return false;
        }
        if (S_ISLNK(info.st_mode)) {
            if (stat(full.c_str(), &info) != 0) {
                LogLeftOut(relative, "a link to nothing");
                return false;
            }
            if (S_ISDIR(info.st_mode)) {
                LogLeftOut(relative, "a folder reached through a link");
                return false;
            }
            if (S_ISREG(info.st_mode) && InsideCatalogue(full)) {
                LogLeftOut(relative, "a link to a file of the catalogue, which is read where it is");
                return false;
            }
            file.flags = kLinked;
        }
        if (!S_ISREG(info.st_mode)) {
            LogLeftOut(relative, "not a regular file");
            return false;
        }
        if (info.st_nlink > 1) file.flags = kLinked;
        file.stamp = StampOf(info);
        return true;
    }

    std::string Full(const std::string& path) const {
        if (!m_place.folder) return m_place.path;
        return path.empty() ? m_place.path : m_place.path + "/" + path;
    }

    bool InsideCatalogue(const std::string& link) const {
        const std::string target = RealPath(link);
        return !m_place.real.empty() && target.size() > m_place.real.size()
               && target.compare(0, m_place.real.size(), m_place.real) == 0 && target[m_place.real.size()] == '/';
    }

    // A file read once: the first name of a file with several (in catalogue order) is read, the others not.
    bool FirstName(const Stamp& stamp) { return m_seen.insert({stamp.device, stamp.inode}).second; }

    // A file the old index holds, whose stamp is now `now`: taken over when that did not change, else read.
    void Keep(const std::string& path, FileHead& file, const Stamp& now) {
        const std::string relative = Join(path, file.name);
        if (now != file.stamp) {
            file.stamp = now;  // what is recorded when the file cannot be read now
            Read(path, file);
            return;
        }
        if (file.flags & (kLinked | kDuplicate)) {
            const bool first = FirstName(file.stamp);
            if (first && (file.flags & kDuplicate)) {  // the name read before is gone: this one is read now
                file.flags = kLinked;
                Read(path, file, false);
                return;
            }
            if (!first && !(file.flags & kDuplicate)) {
                LogLeftOut(relative, "the same file as one read before");
                file.flags |= kDuplicate;
                file.records.clear();
                file.skipped = 0;
            }
        }
        Write(path, file);
    }

    void Read(const std::string& path, FileHead& file, bool checkName = true) {
        const std::string relative = Join(path, file.name);
        const std::string tag = m_place.folder ? relative : m_place.name;
        file.records.clear();
        file.count = file.skipped = 0;
        file.flags &= kLinked;
        std::string why;
        Stamp stamp;
        uint64_t links = 0;
        ++m_read;
        if (!ReadRegular(Full(relative), m_bytes, stamp, why, &links)) {
            LogLeftOut(tag, why);
            file.skipped = 1;
        } else {
            file.stamp = stamp;
            if (links > 1) file.flags |= kLinked;
            if (checkName && (file.flags & kLinked) && !FirstName(stamp)) {
                LogLeftOut(tag, "the same file as one read before");
                file.flags |= kDuplicate;
            } else {
                ReadReport report;
                SummariseXmcd(m_bytes, tag, file.records, file.count, report, [this] { m_out.Pulse(); });
                file.skipped = report.skipped;
                for (const std::string& reason : report.reasons)
                    Log(__LINE__, ("catalogue: left out " + reason).c_str());
            }
        }
        Write(path, file);
        if (m_read % kProgressEvery == 0 && Progress()) m_aborted = true;
    }

    void Write(const std::string& path, const FileHead& file) {
        WriteFile(m_out, file);
        m_out.Pulse();
        ++m_totals.files;
        m_totals.records += file.records.size();
        m_totals.skipped += file.skipped;
        if (!m_request.want) return;
        for (const RecordSummary& r : file.records) {
            if (!m_request.want(r.tracks, r.lengthSeconds)) continue;
            IndexedRecord found;
            found.file = m_place.folder ? Join(path, file.name) : m_place.name;
            found.stamp = file.stamp;
            found.position = r.position;
            found.start = r.start;
            found.tracks = r.tracks;
            found.lengthSeconds = r.lengthSeconds;
            m_found.push_back(std::move(found));
        }
    }

    // Files read, of files found so far.
    bool Progress() {
        const uint32_t files = static_cast<uint32_t>(std::min<uint64_t>(m_totals.files, UINT32_MAX));
        return m_request.progress && m_request.progress(m_read, std::max(files, m_read));
    }

    const Place& m_place;
    const IndexRequest& m_request;
    Reader* m_old;
    Writer& m_out;
    std::vector<IndexedRecord>& m_found;
    std::set<std::string> m_recheck;
    bool m_checkEveryFolder, m_checkEveryFile;
    FolderHead m_oldHead;
    bool m_hasOldHead = false, m_tagRead = false;
    uint8_t m_tag = 0;
    std::unordered_set<std::pair<uint64_t, uint64_t>, PairHash> m_seen;
    Totals m_totals;
    uint32_t m_read = 0;
    bool m_aborted = false;
    std::string m_bytes;
};

}  // namespace

tmsdk_status_t BuildIndex(const Place& place, const IndexRequest& request, Reader* old, Writer& out,
                          std::vector<IndexedRecord>& found, IndexReport& report) {
    Builder builder(place, request, old, out, found);
    return builder.Run(report);
}

}  // namespace tmsdk
