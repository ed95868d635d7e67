// A small named shared block, and the single-instance guard built on it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "platform/system/InstanceLock.h"

namespace GT {

class CMmf {
public:
    CMmf();
    // Ends the lock and the listener of a first instance (only at exit for the program's guard).
    virtual ~CMmf();
    CMmf(const CMmf&) = delete;
    CMmf& operator=(const CMmf&) = delete;

    // Creates or opens the named block of size bytes; the handle, or -1 on failure.
    int Create(const std::string& name, uint32_t size);
    // A writable view of count bytes at offset; null without a block. Release it with UnmapView.
    void* MapView(uint32_t count, uint32_t offset);
    void UnmapView(void* view);

    // Takes the guard "InstanceManager" + name (the program's name when empty).
    // A later instance asks the first to restore and raise its window. True for
    // both; IsFirstInstance tells them apart. False when the guard cannot be made.
    bool CreateInstanceLock(const std::string& name);
    // First instance: stores its main window's id (0 when none) in the block.
    // Does nothing and returns true otherwise.
    bool StoreInstanceWindow();

    bool IsFirstInstance() const { return m_firstInstance; }
    // The platform lock (tests, and the window layer's raise requests).
    platform::InstanceLock& Lock() { return m_lock; }

private:
    int m_handle = -1;
    uint32_t m_size = 0;
    bool m_firstInstance = false;  // false until this process has won the guard
    bool m_created = false;
    platform::InstanceLock m_lock;
    std::map<void*, std::pair<uint32_t, uint32_t>> m_views;  // view -> count, offset
};

}  // namespace GT
