#include "platform/window/MouseWatcher.h"

#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/QtBridge.h"
#include "platform/window/Window.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <vector>

namespace platform {

namespace {

bool IsInside(const QWidget* widget, const QWidget* ancestor) {
    // Across window boundaries: a combo box's list and a control's popups are its children too.
    for (; widget != nullptr; widget = widget->parentWidget()) {
        if (widget == ancestor) return true;
    }
    return false;
}

// The application's event filter; sees the mouse messages that reach each toolkit window.
class MouseWatch : public QObject {
public:
    static MouseWatch& Get() {
        // Lives until the process ends, as the toolkit's application object does.
        static MouseWatch* watch = new MouseWatch;
        return *watch;
    }
    void Add(MouseHook* hook) {
        if (m_hooks.empty() && StartWindowSystem()) qApp->installEventFilter(this);
        m_hooks.push_back(hook);
    }
    void Remove(MouseHook* hook) {
        m_hooks.erase(std::remove(m_hooks.begin(), m_hooks.end(), hook), m_hooks.end());
        if (m_hooks.empty() && qApp != nullptr) qApp->removeEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease
            && type != QEvent::MouseButtonDblClick) {
            return false;
        }
        // Each message once, as it reaches its toolkit window (not again as it is passed to widgets).
        auto* window = qobject_cast<QWindow*>(receiver);
        if (window == nullptr) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        WatchedMouse watched;
        watched.action = type == QEvent::MouseButtonPress     ? MouseAction::ButtonDown
                         : type == QEvent::MouseButtonRelease ? MouseAction::ButtonUp
                                                              : MouseAction::DoubleClick;
        const MouseInput input = MouseInputFrom(*mouse, watched.action);
        watched.button = input.button;
        watched.modifiers = input.modifiers & ~kModRightButton;
        watched.screenPoint = Point{int(mouse->globalPosition().x()), int(mouse->globalPosition().y())};
        watched.target = Target(window, mouse->position().toPoint());
        DispatchScope scope(receiver);
        // Newest first, over a copy: hooks may come and go from inside a call; one that went is skipped.
        const std::vector<MouseHook*> hooks(m_hooks.rbegin(), m_hooks.rend());
        for (MouseHook* hook : hooks) {
            if (std::find(m_hooks.begin(), m_hooks.end(), hook) == m_hooks.end()) continue;
            if (hook->Call(watched)) return true;
        }
        return false;
    }

private:
    static QWidget* Target(QWindow* window, QPoint position) {
        if (QWidget* grabber = QWidget::mouseGrabber()) return grabber;
        if (QWidget* popup = QApplication::activePopupWidget()) return popup;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->windowHandle() != window) continue;
            QWidget* child = top->childAt(position);
            return child != nullptr ? child : top;
        }
        return nullptr;
    }

    std::vector<MouseHook*> m_hooks;
};

}  // namespace

bool WatchedMouse::IsWithin(const Window& window) const { return window.Exists() && IsInside(target, window.Widget()); }

bool WatchedMouse::IsWithin(const Control& control) const {
    return control.Widget() != nullptr && IsInside(target, control.Widget());
}

MouseHook::MouseHook(Handler handler) : m_handler(std::move(handler)) { MouseWatch::Get().Add(this); }

MouseHook::~MouseHook() { MouseWatch::Get().Remove(this); }

}  // namespace platform
