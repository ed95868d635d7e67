#include "platform/window/Application.h"

#include "platform/window/QtBridge.h"
#include "platform/window/SystemLoopBridge.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QWidget>

#include <cstdlib>

namespace platform {

namespace {

struct WindowSystem {
    // Lives until the process ends: the toolkit's own globals are gone by the time static
    // destructors run, so destroying it then would crash.
    QApplication* app = nullptr;
    std::string title = "GBX";
    Window* mainWindow = nullptr;
};

WindowSystem& System() {
    static WindowSystem system;
    return system;
}

bool HaveDisplay() {
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

}  // namespace

bool StartWindowSystem() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        return true;
    }
    if (QCoreApplication::instance() != nullptr || !HaveDisplay()) {
        return false;  // a non-widget application runs, or no display could be opened
    }
    static int argc = 1;
    static char name[] = "GBX";
    static char* argv[] = {name, nullptr};
    System().app = new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setApplicationDisplayName(ToQString(System().title));
    InstallSystemLoopBridge();
    return true;
}

bool IsWindowSystemStarted() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

void ProcessEvents() {
    if (!IsWindowSystemStarted()) {
        return;
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int RunMainLoop() {
    if (!StartWindowSystem()) {
        return -1;
    }
    return QApplication::exec();
}

void QuitMainLoop(int code) {
    if (IsWindowSystemStarted()) {
        QCoreApplication::exit(code);
    }
}

void SetApplicationTitle(const std::string& title) {
    System().title = title;
    if (IsWindowSystemStarted()) {
        QGuiApplication::setApplicationDisplayName(ToQString(title));
    }
}

std::string ApplicationTitle() { return System().title; }

void SetMainWindow(Window* window) { System().mainWindow = window; }
Window* MainWindow() { return System().mainWindow; }

Window* ActiveWindow() {
    if (!IsWindowSystemStarted()) {
        return nullptr;
    }
    return Window::FromWidget(QApplication::activeWindow());
}

std::vector<Window*> VisibleTopLevelWindows() {
    std::vector<Window*> windows;
    if (!IsWindowSystemStarted()) {
        return windows;
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        Window* window = Window::FromWidget(widget);
        if (window != nullptr && widget->isVisible()) {
            windows.push_back(window);
        }
    }
    return windows;
}

void RaiseMainWindow() {
    Window* main = MainWindow();
    if (main == nullptr || !main->Exists()) {
        return;
    }
    if (main->IsMinimised()) {
        main->Restore();
    }
    // The window the user last worked in: a modal dialog over the main window when one is open.
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr) {
        target = main->Widget();
    }
    target->show();
    target->raise();
    target->activateWindow();
}

Size ScreenSize() {
    if (!IsWindowSystemStarted() || QGuiApplication::primaryScreen() == nullptr) {
        return Size{};
    }
    const QRect r = QGuiApplication::primaryScreen()->geometry();
    return Size{r.width(), r.height()};
}

}  // namespace platform

namespace platform {

int VerticalScrollBarWidth() {
    if (!StartWindowSystem()) return 16;
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

int HorizontalScrollBarHeight() { return VerticalScrollBarWidth(); }

}  // namespace platform
