// Comparing the index with the catalogue as it is now: every folder's stamp, and every file's when asked,
// while the index is read through once and its checksum verified.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sdk_manager/Index.h"

namespace tmsdk {

enum class IndexState { kMissing, kDamaged, kStale, kFresh };

// Compares files with the stamps the index recorded, a batch at a time: one stat per file is nearly all that
// comparing every file of a large catalogue costs. A batch large enough is shared with helper threads, no
// more in all than the CPUs the process may use, started with the first such batch and kept for as long as
// the comparer lives: one comparer serves every comparison of a lookup.
class FileComparer {
public:
    FileComparer() = default;
    ~FileComparer();
    FileComparer(const FileComparer&) = delete;
    FileComparer& operator=(const FileComparer&) = delete;

    // Starts a comparison anew.
    void Clear();
    // A file of an open folder (or, without one, at the path `name`), to compare before the folder closes.
    void Add(int folder, const std::string& name, const Stamp& recorded);
    // Compares what was added; false when a file differs from its stamp (this or an earlier batch's).
    bool Compare();

private:
    static constexpr size_t kBatch = 16384, kMaxThreads = 8, kFilesPerThread = 1024, kChunk = 256;
    struct File {
        int folder;
        std::string name;
        Stamp recorded;
    };
    void StartHelpers();
    void Help();
    // Takes files to compare a chunk at a time until none is left or one differs.
    void Work();

    std::vector<File> m_files;
    std::atomic<size_t> m_next{0};
    std::atomic<bool> m_differs{false};
    std::vector<std::thread> m_helpers;
    std::mutex m_lock;
    std::condition_variable m_wake, m_done;
    uint64_t m_round = 0;
    size_t m_busy = 0;
    bool m_stop = false, m_started = false;
};

// Reads the whole index at `path` once: its checksum, and every folder's stamp against the catalogue as it is
// now (with every file's too when asked, else only the files to recheck). The records `want` accepts are
// collected while it is read, and the catalogue folder's subfolders when it did not change. `comparer` compares
// the files.
IndexState CheckIndex(const Place& place, const std::string& path, const IndexRequest& request,
                      std::vector<IndexedRecord>& records, IndexReport& report, FileComparer& comparer);

}  // namespace tmsdk
