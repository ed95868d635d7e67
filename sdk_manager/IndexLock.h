// Locks around the index: one build at a time, and temporaries that say by their lock whether a build still
// writes them, so that what a build killed part-way left can be told apart and removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sdk_manager/Index.h"

namespace tmsdk {

// A temporary of the index: its name followed by "." and six characters (mkostemp's).
constexpr size_t kTemporarySuffix = 7;

// Locks a temporary just made for as long as it is open; false when a cleaner removed it first.
bool LockTemporary(int fd);

// Removes the temporaries of an index that no build holds any longer: what a build killed part-way left.
void RemoveAbandonedTemporaries(const std::string& index);

// The index file's stamp: whether another build wrote it in the meantime.
Stamp PathStamp(const std::string& path);

// One build of a cache's indexes at a time, across processes: the cache folder is locked while one is built,
// so that a lookup made meanwhile waits for it (reporting progress, free to stop) and takes what it wrote
// instead of reading the whole catalogue itself. The lock goes with the process, however it ends.
class BuildLock {
public:
    BuildLock() = default;
    ~BuildLock();
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

    bool Held() const { return m_held; }
    // False when progress asked to stop while waiting. Where the folder cannot be locked, the build goes on.
    bool Take(const std::string& folder, const CatalogueProgress& progress);

private:
    static constexpr uint32_t kWaitMicroseconds = 20000, kWaitsPerReport = 10;
    int m_fd = -1;
    bool m_held = false;
};

}  // namespace tmsdk
