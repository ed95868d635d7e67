#include "platform/window/SystemLoopBridge.h"

#include "platform/window/Application.h"
#include "platform/window/Window.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <poll.h>

#include <map>

namespace platform {

struct ToolkitEventLoop::Impl {
    int nextId = 1;
    std::map<int, std::unique_ptr<QTimer>> timers;
    std::map<int, std::vector<std::unique_ptr<QSocketNotifier>>> watches;
    // Objects removed from inside their own callback die once the loop is back.
    void Retire(std::unique_ptr<QObject> object) {
        QObject* raw = object.release();
        raw->disconnect();
        raw->deleteLater();
    }
};

ToolkitEventLoop::ToolkitEventLoop() : m_impl(std::make_unique<Impl>()) {}
ToolkitEventLoop::~ToolkitEventLoop() = default;

int ToolkitEventLoop::AddTimer(uint32_t intervalMs, Callback callback) {
    if (!StartWindowSystem() || !callback) return 0;
    const int id = m_impl->nextId++;
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(int(std::min<uint32_t>(intervalMs, 0x7FFFFFFF)));
    QObject::connect(timer.get(), &QTimer::timeout, timer.get(), [callback] { callback(); });
    timer->start();
    m_impl->timers[id] = std::move(timer);
    return id;
}

void ToolkitEventLoop::RemoveTimer(int id) {
    auto found = m_impl->timers.find(id);
    if (found == m_impl->timers.end()) return;
    found->second->stop();
    m_impl->Retire(std::move(found->second));
    m_impl->timers.erase(found);
}

int ToolkitEventLoop::AddWatch(int fd, short events, Callback callback) {
    if (!StartWindowSystem() || fd < 0 || !callback) return 0;
    const int id = m_impl->nextId++;
    std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
    if (events & POLLIN) notifiers.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read));
    if (events & POLLPRI) notifiers.push_back(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Exception));
    if (notifiers.empty()) return 0;
    for (auto& notifier : notifiers) {
        if (!notifier->isValid()) return 0;
        QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [callback] { callback(); });
    }
    m_impl->watches[id] = std::move(notifiers);
    return id;
}

void ToolkitEventLoop::RemoveWatch(int id) {
    auto found = m_impl->watches.find(id);
    if (found == m_impl->watches.end()) return;
    for (auto& notifier : found->second) {
        notifier->setEnabled(false);
        m_impl->Retire(std::move(notifier));
    }
    m_impl->watches.erase(found);
}

uint32_t ToolkitInstanceWindows::MainWindowId() {
    Window* main = MainWindow();
    if (main == nullptr || !main->Exists()) return 0;
    return uint32_t(main->Widget()->winId());
}

void ToolkitInstanceWindows::RestoreAndRaise(uint32_t) {
    // Only the main window of this process can be asked for; whatever id came, raise it.
    RaiseMainWindow();
}

void InstallSystemLoopBridge() {
    static ToolkitEventLoop loop;
    static ToolkitInstanceWindows windows;
    if (GetEventLoop() == nullptr) SetEventLoop(&loop);
    if (GetInstanceWindows() == nullptr) SetInstanceWindows(&windows);
}

}  // namespace platform
