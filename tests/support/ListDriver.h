// Drives a report list as a user would, through the toolkit's events, so that every click and key passes
// the layer's input translation. Header only, like WidgetDriver.h.
#pragma once

#include "platform/window/ReportList.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace gbxtest {

// The toolkit's buttons held after an event of the button.
inline Qt::MouseButtons HeldAfter(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons alsoHeld) {
    if (type == QEvent::MouseButtonRelease) return alsoHeld;
    if (type == QEvent::MouseMove) return alsoHeld;
    return alsoHeld | button;
}

// One mouse event on the item area at a point of it.
inline void SendMouse(const platform::ReportList& list, QEvent::Type type, QPoint at,
                      Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                      Qt::MouseButtons alsoHeld = Qt::NoButton) {
    QWidget* area = list.ItemArea();
    const QPointF local(at);
    const QPointF global(area->mapToGlobal(at));
    QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : button,
                      HeldAfter(type, button, alsoHeld), modifiers);
    QApplication::sendEvent(area, &event);
}

// A press and a release at the point.
inline void Click(const platform::ReportList& list, QPoint at, Qt::MouseButton button = Qt::LeftButton,
                  Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    SendMouse(list, QEvent::MouseButtonPress, at, button, modifiers);
    SendMouse(list, QEvent::MouseButtonRelease, at, button, modifiers);
}

// The middle of a cell of the item area.
inline QPoint CellCentre(const platform::ReportList& list, int item, int column) {
    const platform::Rect r = list.SubItemRect(item, column);
    return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// A key press and release on the list (which must have the focus for the toolkit to agree).
inline void SendKey(const platform::ReportList& list, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(list.Widget(), &press);
    QApplication::sendEvent(list.Widget(), &release);
}

// A click on the middle of a column header.
inline void ClickHeader(const platform::ReportList& list, int column) {
    auto* header = static_cast<QHeaderView*>(list.HeaderWidget());
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), QPointF(header->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), QPointF(header->mapToGlobal(at)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &press);
    QApplication::sendEvent(header->viewport(), &release);
}

// A double click on the divider right of a column header.
inline void DoubleClickDivider(const platform::ReportList& list, int column) {
    auto* header = static_cast<QHeaderView*>(list.HeaderWidget());
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) - 1, header->height() / 2);
    QMouseEvent event(QEvent::MouseButtonDblClick, QPointF(at), QPointF(header->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(header->viewport(), &event);
}

}  // namespace gbxtest
