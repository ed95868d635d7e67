// Drives widgets in tests: pumps events until something happened, and answers modal windows (message
// box, chooser, dialog) through a polling timer that hands the next one to the test's action, as a
// user would act on it. Header only, so that the shared support library does not link the toolkit.
#pragma once

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "platform/window/Application.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace gbxtest {

// Widget tests draw off screen unless the environment names a platform.
inline void UseOffscreenToolkitUnlessSet() { setenv("QT_QPA_PLATFORM", "offscreen", 0); }

// Whether the tests run on an X server (ui_tests.RealWindows runs them on a virtual X server).
inline bool OnRealDisplay() {
    const char* name = std::getenv("QT_QPA_PLATFORM");
    return name != nullptr && std::string(name) == "xcb";
}

// Where a real-window test saves a screenshot: GBX_SCREENSHOT_DIR, else the working folder.
inline std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("GBX_SCREENSHOT_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

// Handles events until the condition holds or the time is up; answers the condition.
template <class Condition>
bool PumpUntil(Condition condition, int timeoutMs = 5000) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition() && std::chrono::steady_clock::now() < until) platform::ProcessEvents();
    return condition();
}

// Handles events for that long.
inline void PumpFor(int ms) {
    PumpUntil([] { return false; }, ms);
}

// Grabs the window from the screen (a real display), saves it under ScreenshotPath(file), reads the
// file back and checks that it has the window's size and is not blank.
inline void ShootAndCheck(QWidget* window, const std::string& file) {
    ASSERT_NE(window, nullptr);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage();
    const std::string path = ScreenshotPath(file);
    ASSERT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull()) << path;
    EXPECT_EQ(saved.size(), window->size()) << file;
    QSet<QRgb> colours;
    for (int y = 0; y < saved.height(); y += 2)
        for (int x = 0; x < saved.width(); x += 2) colours.insert(saved.pixel(x, y));
    EXPECT_GE(colours.size(), 3) << file << " looks blank";
}

// Runs action(modal) once the modal window shows, from inside its loop. A modal window that is
// already showing when this is called is skipped (it is the one the test waits behind).
inline void WhenModalAppears(std::function<void(QWidget*)> action, int timeoutMs = 5000) {
    auto* timer = new QTimer(qApp);
    auto waited = std::make_shared<int>(0);
    QWidget* before = QApplication::activeModalWidget();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, before, action, timeoutMs] {
        QWidget* modal = QApplication::activeModalWidget();
        *waited += 10;
        if (modal != nullptr && modal != before && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        } else if (*waited > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start();
}

// A key press and release sent to the widget that has the focus inside the window (or the window).
inline void PressKey(QWidget* window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* target = window->focusWidget() != nullptr ? window->focusWidget() : window;
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// A press and release at a point of the widget, delivered to its toolkit window as the desktop delivers
// them (so that the program's mouse hooks see them). False when the widget has no window yet.
inline bool ClickInWindow(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton,
                          Qt::MouseButtons alsoHeld = Qt::NoButton) {
    QWidget* top = widget->window();
    QWindow* window = top->windowHandle();
    if (window == nullptr) return false;
    const QPointF at = widget->mapTo(top, local);
    const QPointF global = widget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button | alsoHeld, Qt::NoModifier);
    QApplication::sendEvent(window, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, alsoHeld, Qt::NoModifier);
    QApplication::sendEvent(window, &release);
    return true;
}

}  // namespace gbxtest
