#include "platform/window/QtBridge.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace platform {

namespace {

// Objects handling an event right now, innermost last. Never destroyed: windows that process-wide
// services own (the progress dialog) are destroyed at exit, after statics made later than them.
std::vector<QPointer<QObject>>& Dispatching() {
    static auto* stack = new std::vector<QPointer<QObject>>;
    return *stack;
}

bool IsInside(const QObject* object, const QWidget* ancestor) {
    for (; object != nullptr; object = object->parent()) {
        if (object == ancestor) return true;
    }
    return false;
}

}  // namespace

DispatchScope::DispatchScope(QObject* receiver) { Dispatching().emplace_back(receiver); }

DispatchScope::~DispatchScope() { Dispatching().pop_back(); }

void DestroyWidget(QWidget* widget) {
    if (widget == nullptr) return;
    bool busy = false;
    for (const QPointer<QObject>& object : Dispatching()) {
        if (IsInside(object.data(), widget)) busy = true;
    }
    if (!busy) {
        delete widget;
        return;
    }
    // The toolkit still runs code of this widget further up the stack.
    widget->hide();
    QObject::disconnect(widget, nullptr, nullptr, nullptr);
    for (QObject* child : widget->findChildren<QObject*>()) QObject::disconnect(child, nullptr, nullptr, nullptr);
    widget->deleteLater();
}

Point WidgetToScreen(const QWidget* widget, Point p) {
    if (widget == nullptr) return p;
    const QPoint global = widget->mapToGlobal(QPoint(p.x, p.y));
    return Point{global.x(), global.y()};
}

Point ScreenToWidget(const QWidget* widget, Point p) {
    if (widget == nullptr) return p;
    const QPoint local = widget->mapFromGlobal(QPoint(p.x, p.y));
    return Point{local.x(), local.y()};
}

KeyInput KeyInputFrom(const QKeyEvent& event, KeyAction action) {
    KeyInput input;
    input.action = action;
    input.code = TranslateKey(event.key(), (event.modifiers() & Qt::KeypadModifier) != 0);
    input.modifiers = TranslateModifiers(event.modifiers().toInt());
    input.autoRepeat = event.isAutoRepeat();
    return input;
}

MouseInput MouseInputFrom(const QMouseEvent& event, MouseAction action) {
    MouseInput input;
    input.action = action;
    switch (event.button()) {
        case Qt::LeftButton:
            input.button = MouseButton::Left;
            break;
        case Qt::RightButton:
            input.button = MouseButton::Right;
            break;
        case Qt::MiddleButton:
            input.button = MouseButton::Middle;
            break;
        default:
            break;
    }
    input.point = Point{int(event.position().x()), int(event.position().y())};
    input.modifiers = TranslateModifiers(event.modifiers().toInt());
    if (event.button() == Qt::RightButton) input.modifiers |= kModRightButton;
    input.leftHeld = (event.buttons() & Qt::LeftButton) != 0;
    input.rightHeld = (event.buttons() & Qt::RightButton) != 0;
    return input;
}

}  // namespace platform
