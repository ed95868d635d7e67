// Comparing the index with the catalogue as it is now (see IndexCheck.h).
#include "sdk_manager/IndexCheck.h"

#include <sched.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "sdk_manager/CatalogueFiles.h"
#include "sdk_manager/IndexFormat.h"

namespace tmsdk {

namespace {

// The CPUs this thread, and the threads it starts, may run on.
size_t UsableCpus() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<size_t>(std::max(1, CPU_COUNT(&set)));
}

}  // namespace

FileComparer::~FileComparer() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& helper : m_helpers) helper.join();
}

void FileComparer::Clear() {
    m_files.clear();
    m_differs = false;
}

void FileComparer::Add(int folder, const std::string& name, const Stamp& recorded) {
    if (m_differs) return;
    m_files.push_back({folder, name, recorded});
    if (m_files.size() >= kBatch) Compare();
}

bool FileComparer::Compare() {
    m_next = 0;
    if (m_files.size() >= 2 * kFilesPerThread && !m_started) StartHelpers();
    if (m_files.size() < 2 * kFilesPerThread || m_helpers.empty()) {
        Work();
    } else {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_round;
            m_busy = m_helpers.size();
        }
        m_wake.notify_all();
        Work();
        std::unique_lock<std::mutex> lock(m_lock);
        m_done.wait(lock, [this] { return m_busy == 0; });
    }
    m_files.clear();
    return !m_differs;
}

void FileComparer::StartHelpers() {
    m_started = true;
    const size_t threads = std::min(kMaxThreads, UsableCpus());
    for (size_t t = 1; t < threads; ++t) {
        try {
            m_helpers.emplace_back([this] { Help(); });
        } catch (...) {  // no thread to be had: those there are (this one at least) share the work
            break;
        }
    }
}

void FileComparer::Help() {
    uint64_t seen = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [&] { return m_stop || m_round != seen; });
            if (m_stop) return;
            seen = m_round;
        }
        Work();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            --m_busy;
        }
        m_done.notify_one();
    }
}

void FileComparer::Work() {
    const size_t count = m_files.size();
    while (!m_differs) {
        const size_t from = m_next.fetch_add(kChunk);
        if (from >= count) return;
        for (size_t i = from; i < std::min(count, from + kChunk) && !m_differs; ++i)
            if (CurrentStamp(m_files[i].folder, m_files[i].name) != m_files[i].recorded) m_differs = true;
    }
}

IndexState CheckIndex(const Place& place, const std::string& path, const IndexRequest& request,
                      std::vector<IndexedRecord>& records, IndexReport& report, FileComparer& comparer) {
    Reader in(path);
    if (!in.Ok()) return in.Found() ? IndexState::kDamaged : IndexState::kMissing;
    if (!ReadHeader(in, place)) return IndexState::kDamaged;
    const std::set<std::string> recheck(request.recheck.begin(), request.recheck.end());
    bool stale = false, ended = false, rootCurrent = false;
    FolderHead head;
    FileHead file;
    std::string previous;
    comparer.Clear();  // it compares the files of `folder` before it closes
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
