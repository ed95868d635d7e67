// Locks around a catalogue's index: one build of it at a time, and temporaries that say by their lock whether
// a build still writes them, so that what a build killed part-way left can be told apart and removed.
#pragma once

#include <chrono>
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

// One build of a catalogue's index at a time, across processes: a lock file beside the index (its name with
// ".lock" for ".index") is locked while one is built, so that a lookup made meanwhile can wait for it
// (reporting progress, free to stop) and take what it wrote instead of reading the whole catalogue itself.
// Builds of other catalogues have locks of their own. The lock goes with the process, however it ends.
//
// A lookup waits only while waiting can end: never for a build of its own process (it may be the caller
// of its caller, and wait for it), and only while the other build moves (its temporary grows; a build that
// was stopped, or hangs, never ends the wait).
class BuildLock {
public:
    BuildLock() = default;
    ~BuildLock() { Release(); }
    BuildLock(const BuildLock&) = delete;
    BuildLock& operator=(const BuildLock&) = delete;

    enum class Wait {
        kTaken,         // this call builds, holding the lock (or where no lock can be made, without one)
        kIndexWritten,  // another build wrote the index meanwhile: what does it say now?
        kGoOn,          // the build that holds the lock is this process's own, or stopped moving: build apart
        kAborted,       // progress asked to stop
    };
    // Takes the lock of the index at `index`, whose stamp was `seen` when it was last read, waiting while
    // another process's build of it shows progress at least every `stall`.
    Wait Take(const std::string& index, const Stamp& seen, std::chrono::milliseconds stall,
              const CatalogueProgress& progress);
    // Takes the lock only when it is free.
    bool TryTake(const std::string& index);
    void Release();

private:
    enum class Got { kLock, kBusy, kNoLock };
    bool Open(const std::string& index);
    Got Lock();
    static constexpr uint32_t kPollMicroseconds = 20000, kPollsPerReport = 10;
    int m_fd = -1;
    std::string m_path;
    bool m_held = false;
};

}  // namespace tmsdk
