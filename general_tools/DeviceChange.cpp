#include "general_tools/DeviceChange.h"

#include "platform/system/VolumeWatcher.h"

namespace GT {

namespace {
IDeviceChangeHandler*& InstalledHandler() {
    static IDeviceChangeHandler* handler = nullptr;
    return handler;
}
}  // namespace

IDeviceChangeHandler::~IDeviceChangeHandler() = default;

bool IDeviceChangeHandler::OnDeviceChange(int, const std::string&) { return false; }

void IDeviceChangeHandler::Install() { InstalledHandler() = this; }

IDeviceChangeHandler* GetDeviceChangeHandler() {
    if (IDeviceChangeHandler* handler = InstalledHandler()) return handler;
    static IDeviceChangeHandler defaultHandler;
    return &defaultHandler;
}

CDeviceChangeWatcher::CDeviceChangeWatcher()
    : m_watcher(std::make_unique<platform::VolumeWatcher>([](bool arrived, const std::string& id) {
          GetDeviceChangeHandler()->OnDeviceChange(arrived ? DEVICE_ARRIVAL : DEVICE_REMOVAL, id);
      })) {}

CDeviceChangeWatcher::~CDeviceChangeWatcher() = default;

int CDeviceChangeWatcher::FileDescriptor() const { return m_watcher->FileDescriptor(); }

void CDeviceChangeWatcher::Dispatch() { m_watcher->Dispatch(); }

bool CDeviceChangeWatcher::Attach(platform::IEventLoop& loop) { return m_watcher->Attach(loop); }

void CDeviceChangeWatcher::Detach() { m_watcher->Detach(); }

}  // namespace GT
