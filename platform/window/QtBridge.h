#pragma once
// Conversions between the layer's records and Qt's; only the layer's own sources include this.
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Image.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include <string>

namespace platform {

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

QFont ToQFont(const FontSpec& described);
FontSpec FromQFont(const QFont& font);

}  // namespace platform
