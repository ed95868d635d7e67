#pragma once
// Conversions between the layer's records and Qt's; only the layer's own sources include this.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"
#include "platform/window/Input.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <string>

class QKeyEvent;
class QMouseEvent;
class QObject;
class QWidget;

namespace platform {

// Marks a widget as handling an event for as long as the scope lives. A widget that is handling an
// event (or holds one that is) cannot be deleted at once: DestroyWidget hides it and deletes it later.
class DispatchScope {
public:
    explicit DispatchScope(QObject* receiver);
    ~DispatchScope();
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;
};

// Deletes the widget now, or, while it or a widget inside it handles an event, hides it, cuts its
// signals and deletes it once the loop runs again.
void DestroyWidget(QWidget* widget);

inline QString ToQString(const std::string& utf8) { return QString::fromUtf8(utf8.data(), int(utf8.size())); }
inline std::string FromQString(const QString& text) { return text.toUtf8().toStdString(); }
inline QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
inline Rect FromQRect(const QRect& r) { return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
inline QColor ToQColor(const Colour& c) { return QColor(c.red, c.green, c.blue); }
inline Colour FromQColor(const QColor& c) { return Colour{uint8_t(c.red()), uint8_t(c.green()), uint8_t(c.blue())}; }

// A QImage over the picture's own pixels (no copy): premultiplied ARGB32 with alpha, RGB32 without.
inline QImage WrapImage(const Image& image) {
    return QImage(reinterpret_cast<const uchar*>(image.Pixels()), image.Width(), image.Height(),
                  qsizetype(image.Stride()) * 4,
                  image.HasAlpha() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}
inline QImage WrapImage(Image& image) {
    return QImage(reinterpret_cast<uchar*>(image.Pixels()), image.Width(), image.Height(),
                  qsizetype(image.Stride()) * 4, QImage::Format_ARGB32_Premultiplied);
}

// Points between a widget's pixels and the screen's; a null widget leaves them as they are.
Point WidgetToScreen(const QWidget* widget, Point point);
Point ScreenToWidget(const QWidget* widget, Point point);

class Control;
// Whether the control object that made the widget still exists (a handler may have destroyed it).
bool ControlStillOwns(const QWidget* widget, const Control* control);

// Toolkit input as the layer's records; points in the receiving widget's pixels.
KeyInput KeyInputFrom(const QKeyEvent& event, KeyAction action);
MouseInput MouseInputFrom(const QMouseEvent& event, MouseAction action);

QFont ToQFont(const FontSpec& described);
FontSpec FromQFont(const QFont& font);

}  // namespace platform
