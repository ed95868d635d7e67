// Comparing the index with the catalogue as it is now (see IndexCheck.h).
#include "sdk_manager/IndexCheck.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <set>
#include <thread>

#include "sdk_manager/CatalogueFiles.h"
#include "sdk_manager/IndexFormat.h"

namespace tmsdk {

namespace {

// Compares files with the stamps the index recorded, a batch at a time on a few threads: one stat per file is
// nearly all that comparing every file of a large catalogue costs.
class FileComparer {
public:
    // A file of an open folder (or, without one, at the path `name`), to compare before the folder closes.
    void Add(int folder, const std::string& name, const Stamp& recorded) {
        if (m_differs) return;
        m_files.push_back({folder, name, recorded});
        if (m_files.size() >= kBatch) Compare();
    }
    // Compares what was added; false when a file differs from its stamp.
    bool Compare() {
        const size_t count = m_files.size();
        const size_t threads = std::min<size_t>(
            {kMaxThreads, std::max(1u, std::thread::hardware_concurrency()), count / kFilesPerThread + 1});
        std::vector<std::thread> helpers;
        helpers.reserve(threads);
        for (size_t t = 1; t < threads; ++t) {
            try {
                helpers.emplace_back(
                    [this, t, threads, count] { CompareSlice(t * count / threads, (t + 1) * count / threads); });
            } catch (...) {  // no thread to be had: this one does its part
                CompareSlice(t * count / threads, (t + 1) * count / threads);
            }
        }
        CompareSlice(0, count / threads);
        for (std::thread& helper : helpers) helper.join();
        m_files.clear();
        return !m_differs;
    }

private:
    static constexpr size_t kBatch = 16384, kMaxThreads = 8, kFilesPerThread = 1024;
    struct File {
        int folder;
        std::string name;
        Stamp recorded;
    };
    void CompareSlice(size_t from, size_t to) {
        for (size_t i = from; i < to && !m_differs; ++i)
            if (CurrentStamp(m_files[i].folder, m_files[i].name) != m_files[i].recorded) m_differs = true;
    }
    std::vector<File> m_files;
    std::atomic<bool> m_differs{false};
};

}  // namespace

IndexState CheckIndex(const Place& place, const std::string& path, const IndexRequest& request,
                      std::vector<IndexedRecord>& records, IndexReport& report) {
    Reader in(path);
    if (!in.Ok()) return in.Found() ? IndexState::kDamaged : IndexState::kMissing;
    if (!ReadHeader(in, place)) return IndexState::kDamaged;
    const std::set<std::string> recheck(request.recheck.begin(), request.recheck.end());
    bool stale = false, ended = false, rootCurrent = false;
    FolderHead head;
    FileHead file;
    std::string previous;
    FileComparer comparer;  // compares the files of `folder` before it closes
    OpenFolder folder;
    Totals totals, counted;
    uint64_t heads = 0, listed = 0;  // folders' heads read; subfolders their ends list
    while (in.Ok() && !ended) {
        switch (in.U8()) {
            case kFolderTag: {
                ReadFolder(in, head);
                // The catalogue folder first, then every other folder once, in catalogue order.
                if (heads++ == 0 ? !head.path.empty() : ComparePaths(previous, head.path) >= 0) in.Fail();
                if (!in.Ok()) break;
                previous = head.path;
                // The catalogue folder's own subfolders, each known by its entry: no more than the index holds.
                if (rootCurrent && head.path.find('/') == std::string::npos) report.subfolders.push_back(head.path);
                stale = stale || !comparer.Compare();
                folder.Close();
                if (stale) break;
                struct stat info;
                const std::string full = !place.folder || head.path.empty() ? place.path : place.path + "/" + head.path;
                const int got = head.path.empty() ? stat(full.c_str(), &info) : lstat(full.c_str(), &info);
                stale = got != 0 || StampOf(info) != head.stamp;
                if (head.path.empty()) rootCurrent = !stale;
                if (!stale && request.compareFiles && place.folder) folder.Open(full);
                break;
            }
            case kFileTag: {
                if (heads == 0 || !ReadFile(in, file)) {
                    in.Fail();
                    break;
                }
                ++counted.files;
                counted.records += file.records.size();
                counted.skipped += file.skipped;
                if (stale) break;
                bool wanted = false;
                for (const RecordSummary& r : file.records)
                    wanted = wanted || (request.want && request.want(r.tracks, r.lengthSeconds));
                if (request.compareFiles)
                    comparer.Add(folder.Fd(), folder.Fd() >= 0 ? file.name : Full(place, head.path, file.name),
                                 file.stamp);
                if (!wanted && recheck.empty()) break;
                const std::string name = place.folder ? Join(head.path, file.name) : place.name;
                if (recheck.count(name)) stale = CurrentStamp(-1, Full(place, head.path, file.name)) != file.stamp;
                if (stale || !wanted) break;
                for (const RecordSummary& r : file.records)
                    if (request.want(r.tracks, r.lengthSeconds))
                        records.push_back({name, file.stamp, r.position, r.start, r.tracks, r.lengthSeconds});
                break;
            }
            case kFolderEndTag: {
                uint32_t count = 0;
                if (heads == 0 || !ReadFolderEnd(in, nullptr, &count)) in.Fail();
                listed += count;
                ++counted.folders;
                break;
            }
            case kEndTag:
                ReadTotals(in, totals);
                ended = true;
                break;
            default:
                in.Fail();
        }
    }
    stale = stale || !comparer.Compare();
    // Every folder listed has its entry, and every entry but the catalogue folder's is listed.
    if (!ended || !in.Finish() || heads != listed + 1 || heads != counted.folders || totals.folders != counted.folders
        || totals.files != counted.files || totals.records != counted.records || totals.skipped != counted.skipped) {
        report.subfolders.clear();
        return IndexState::kDamaged;
    }
    report.records = static_cast<uint32_t>(std::min<uint64_t>(totals.records, UINT32_MAX));
    report.skipped = static_cast<uint32_t>(std::min<uint64_t>(totals.skipped, UINT32_MAX));
    report.subfoldersKnown = rootCurrent && place.folder;
    if (!report.subfoldersKnown) report.subfolders.clear();
    return stale ? IndexState::kStale : IndexState::kFresh;
}

}  // namespace tmsdk
