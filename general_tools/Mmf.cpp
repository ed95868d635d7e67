#include "general_tools/Mmf.h"

#include "platform/system/EventLoop.h"
#include "platform/system/SystemFolders.h"

namespace GT {

namespace {
constexpr uint32_t kGuardSize = 4;
}

CMmf::CMmf() = default;

CMmf::~CMmf() {
    for (auto& view : m_views) platform::InstanceLock::UnmapView(view.first, view.second.first, view.second.second);
}

int CMmf::Create(const std::string& name, uint32_t size) {
    const platform::InstanceLock::Result result = m_lock.Create(name, size);
    if (result == platform::InstanceLock::Result::Failed) return -1;
    m_created = result == platform::InstanceLock::Result::First;
    m_handle = m_lock.Descriptor();
    m_size = size;
    return m_handle;
}

void* CMmf::MapView(uint32_t count, uint32_t offset) {
    void* view = m_lock.MapView(count, offset);
    if (view) m_views[view] = {count, offset};
    return view;
}

void CMmf::UnmapView(void* view) {
    const auto it = m_views.find(view);
    if (it == m_views.end()) return;
    platform::InstanceLock::UnmapView(view, it->second.first, it->second.second);
    m_views.erase(it);
}

bool CMmf::CreateInstanceLock(const std::string& name) {
    const std::string instance = name.empty() ? platform::ApplicationName() : name;
    if (Create("InstanceManager" + instance, kGuardSize) < 0) return false;
    m_firstInstance = m_created;
    if (m_firstInstance) {
        // Without a listener a later instance cannot raise us, but we still run.
        if (m_lock.Listen())
            if (platform::IEventLoop* loop = platform::GetEventLoop()) m_lock.Attach(*loop);
        return true;
    }
    void* view = MapView(kGuardSize, 0);
    if (!view) return false;
    // One aligned 32-bit value, read and written whole by both processes.
    const uint32_t window = __atomic_load_n(static_cast<uint32_t*>(view), __ATOMIC_SEQ_CST);
    UnmapView(view);
    if (window != 0) m_lock.RequestRaise(window);
    return true;
}

bool CMmf::StoreInstanceWindow() {
    if (!m_firstInstance) return true;
    void* view = MapView(kGuardSize, 0);
    if (!view) return false;
    platform::IInstanceWindows* windows = platform::GetInstanceWindows();
    const uint32_t window = windows ? windows->MainWindowId() : 0;
    __atomic_store_n(static_cast<uint32_t*>(view), window, __ATOMIC_SEQ_CST);
    UnmapView(view);
    if (!m_lock.IsAttached())
        if (platform::IEventLoop* loop = platform::GetEventLoop()) m_lock.Attach(*loop);
    return true;
}

}  // namespace GT
