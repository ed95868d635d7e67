#include "platform/window/Application.h"

#include "platform/system/TextEncoding.h"
#include "platform/window/QtBridge.h"
#include "platform/window/SystemLoopBridge.h"
#include "platform/window/Window.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStyle>
#include <QTranslator>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {

struct WindowSystem {
    // Lives until the process ends: the toolkit's own globals are gone by the time static
    // destructors run, so destroying it then would crash.
    QApplication* app = nullptr;
    std::string title = "GBX";
    Window* mainWindow = nullptr;
    std::function<void()> idleHandler;
    bool idleRunning = false;
    bool mainLoopRunning = false;
    QTranslator* translator = nullptr;  // the toolkit's own texts in Japanese, while installed
    bool fontKept = false;
    QFont toolkitFont;  // the font before a language changed it
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
    // A blocking loop is about to wait: everything that waited has been handled.
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, System().app,
                     [] { RunIdleWork(); });
    return true;
}

void SetIdleHandler(std::function<void()> handler) { System().idleHandler = std::move(handler); }

void RunIdleWork() {
    WindowSystem& system = System();
    if (system.idleRunning) return;  // idle work that runs a loop of its own does not start it again
    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } running(system.idleRunning);
    QWidget* modal = IsWindowSystemStarted() ? QApplication::activeModalWidget() : nullptr;
    if (Window* looping = Window::InnermostLoop()) {
        // Not while a message box or chooser runs over it.
        if (modal != nullptr && modal != looping->Widget()) return;
        DispatchScope scope(looping->Widget());
        looping->DispatchIdle();
    } else if (system.idleHandler && modal == nullptr) {
        const std::function<void()> handler = system.idleHandler;  // it may replace itself
        handler();
    }
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
    System().mainLoopRunning = true;
    const int code = QApplication::exec();
    System().mainLoopRunning = false;
    return code;
}

void QuitMainLoop(int code) {
    // Only a running main loop: the toolkit would otherwise make every later loop, a modal
    // window's too, end at once.
    if (IsWindowSystemStarted() && System().mainLoopRunning) {
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

const std::vector<std::string>& JapaneseUiFontFamilies() {
    // Proportional: the monospaced IPAGothic that fontconfig gives Japanese by default sets Latin text
    // far too wide in dialogs.
    static const std::vector<std::string> families = {"Noto Sans CJK JP", "IPAPGothic", "IPAexGothic"};
    return families;
}

bool ApplyUserLanguage() {
    if (!StartWindowSystem()) return false;
    WindowSystem& system = System();
    if (!system.fontKept) {
        system.toolkitFont = QApplication::font();
        system.fontKept = true;
    }
    if (system.translator != nullptr) {
        QCoreApplication::removeTranslator(system.translator);
        delete system.translator;
        system.translator = nullptr;
    }
    if (UserLanguage() != "Japanese") {
        QApplication::setFont(system.toolkitFont);
        return true;
    }
    QFont font = system.toolkitFont;
    QStringList families;
    for (const std::string& family : JapaneseUiFontFamilies()) families << ToQString(family);
    font.setFamilies(families);
    QApplication::setFont(font);
    auto* translator = new QTranslator(system.app);
    // "qt_ja" gathers the toolkit's modules (qtbase_ja: message boxes, the file chooser).
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qt_ja"), folder) && !translator->load(QStringLiteral("qtbase_ja"), folder)) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    system.translator = translator;
    return true;
}

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

Rect WorkAreaFor(const Rect& area) {
    if (!IsWindowSystemStarted()) return Rect{};
    // In 64 bits: a stored placement may lie anywhere an int reaches.
    const auto overlap = [&area](const QRect& r) {
        const int64_t w =
            std::min<int64_t>(area.right, int64_t(r.x()) + r.width()) - std::max<int64_t>(area.left, r.x());
        const int64_t h =
            std::min<int64_t>(area.bottom, int64_t(r.y()) + r.height()) - std::max<int64_t>(area.top, r.y());
        return w > 0 && h > 0 ? w * h : 0;
    };
    // Squared as doubles: each gap may reach 2^32, whose square overflows 64 bits.
    const auto distance = [&area](const QRect& r) {
        const double dx = double(
            std::max<int64_t>({0, int64_t(r.x()) - area.right, int64_t(area.left) - (int64_t(r.x()) + r.width())}));
        const double dy = double(
            std::max<int64_t>({0, int64_t(r.y()) - area.bottom, int64_t(area.top) - (int64_t(r.y()) + r.height())}));
        return dx * dx + dy * dy;
    };
    const QScreen* best = QGuiApplication::primaryScreen();
    int64_t bestOverlap = best != nullptr ? overlap(best->geometry()) : 0;
    double bestDistance = best != nullptr ? distance(best->geometry()) : 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const int64_t o = overlap(screen->geometry());
        const double d = distance(screen->geometry());
        if (o > bestOverlap || (bestOverlap == 0 && o == 0 && d < bestDistance)) {
            best = screen;
            bestOverlap = o;
            bestDistance = d;
        }
    }
    return best != nullptr ? FromQRect(best->availableGeometry()) : Rect{};
}

}  // namespace platform

namespace platform {

int VerticalScrollBarWidth() {
    if (!StartWindowSystem()) return 16;
    return QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
}

int HorizontalScrollBarHeight() { return VerticalScrollBarWidth(); }

}  // namespace platform
