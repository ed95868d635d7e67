#include "platform/window/DrawContext.h"

#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/QtBridge.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygonF>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace platform {

DrawContext::DrawContext(Image& target) : m_painter(nullptr), m_targetImage(&target) {
    StartWindowSystem();                                      // fonts need the toolkit
    m_wrapped = std::make_unique<QImage>(WrapImage(target));  // outlives the painter
    m_ownPainter = std::make_unique<QPainter>(m_wrapped.get());
    m_painter = m_ownPainter.get();
    m_painter->setFont(QApplication::font());
}

DrawContext::DrawContext(QPainter& painter, std::vector<Rect> updateRects)
    : m_painter(&painter), m_updateRects(std::move(updateRects)) {}

DrawContext::~DrawContext() {
    if (m_ownPainter) m_ownPainter->end();
}

bool DrawContext::IsRectVisible(const Rect& area) const {
    if (!m_updateRects.empty()) {
        for (const Rect& r : m_updateRects) {
            if (r.Intersects(area)) return true;
        }
        return false;
    }
    if (m_painter->hasClipping()) return m_painter->clipRegion().intersects(ToQRect(area));
    const QRect bounds(0, 0, m_painter->device()->width(), m_painter->device()->height());
    return bounds.intersects(ToQRect(area));
}

void DrawContext::SetClipRect(const Rect& area) { m_painter->setClipRect(ToQRect(area)); }

void DrawContext::FillRect(const Rect& area, Colour colour) {
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter->fillRect(ToQRect(area), ToQColor(colour));
}

void DrawContext::SetFont(const FontSpec& font) {
    m_painter->setFont(ToQFont(font));
    m_fontAngle = font.angleTenths;
}
FontSpec DrawContext::Font() const {
    FontSpec described = FromQFont(m_painter->font());
    return described;
}

FontMetrics DrawContext::Metrics() const {
    const QFontMetrics fm(m_painter->font());
    return FontMetrics{fm.height(), fm.ascent(), fm.averageCharWidth(), fm.maxWidth()};
}

int DrawContext::DrawText(const Rect& area, const std::string& utf8, int format) {
    int flags = (format & kTextRight) ? Qt::AlignRight : (format & kTextCentre) ? Qt::AlignHCenter : Qt::AlignLeft;
    if (format & kTextSingleLine) {
        flags |= Qt::TextSingleLine;
        flags |= (format & kTextBottom) ? Qt::AlignBottom : (format & kTextVCentre) ? Qt::AlignVCenter : Qt::AlignTop;
    } else {
        flags |= Qt::AlignTop;
        if (format & kTextWordWrap) flags |= Qt::TextWordWrap;
    }
    if (!(format & kTextNoPrefix)) flags |= Qt::TextShowMnemonic;
    const QString text = ToQString(utf8);
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_fontAngle != 0) {
        // Turned text: laid out in the area turned the other way round its centre.
        const QRectF box = ToQRect(area);
        m_painter->save();
        m_painter->setClipRect(box, Qt::IntersectClip);
        m_painter->translate(box.center());
        m_painter->rotate(-m_fontAngle / 10.0);
        const bool sideways = (m_fontAngle / 900) % 2 != 0;
        const QSizeF size = sideways ? QSizeF(box.height(), box.width()) : box.size();
        const QRectF turned(-size.width() / 2, -size.height() / 2, size.width(), size.height());
        const QRectF drawn = m_painter->boundingRect(turned, flags, text);
        if (m_opaqueBackground) m_painter->fillRect(drawn.intersected(turned), ToQColor(m_backColour));
        m_painter->setPen(ToQColor(m_textColour));
        m_painter->drawText(turned, flags, text);
        m_painter->restore();
        return int(std::lround(drawn.height()));
    }
    const QRect box = ToQRect(area);
    const QRect drawn = m_painter->boundingRect(box, flags, text);
    if (m_opaqueBackground) m_painter->fillRect(drawn.intersected(box), ToQColor(m_backColour));
    m_painter->setPen(ToQColor(m_textColour));
    m_painter->save();
    m_painter->setClipRect(box, Qt::IntersectClip);
    m_painter->drawText(box, flags, text);
    m_painter->restore();
    return drawn.height();
}

Size DrawContext::MeasureText(const std::string& utf8) const {
    const QFontMetrics fm(m_painter->font());
    const QSize size = fm.size(Qt::TextSingleLine, ToQString(utf8));
    return Size{size.width(), size.height()};
}

void DrawContext::DrawImagePart(const Image& image, Point dest, const Rect& source, Blit mode) {
    if (image.IsEmpty()) return;
    const QImage view = WrapImage(image);
    switch (mode) {
        case Blit::Copy:
            m_painter->setCompositionMode(QPainter::CompositionMode_Source);
            break;
        case Blit::Blend:
            m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
            break;
        case Blit::And:
            m_painter->setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case Blit::Or:
            m_painter->setCompositionMode(QPainter::RasterOp_SourceOrDestination);
            break;
    }
    m_painter->drawImage(QPoint(dest.x, dest.y), view, ToQRect(source));
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void DrawContext::CopyImage(const Image& image, Point dest, const Rect& source) {
    DrawImagePart(image, dest, source, Blit::Copy);
}

void DrawContext::BlendImage(const Image& image, Point dest, const Rect& source) {
    DrawImagePart(image, dest, source, image.HasAlpha() ? Blit::Blend : Blit::Copy);
}

void DrawContext::AndImage(const Image& image, Point dest, const Rect& source) {
    DrawImagePart(image, dest, source, Blit::And);
}

void DrawContext::OrImage(const Image& image, Point dest, const Rect& source) {
    DrawImagePart(image, dest, source, Blit::Or);
}

void DrawContext::DrawImageColourKey(const Image& image, Point dest, const Rect& source, Colour key) {
    Image part = image.Crop(source);
    if (part.IsEmpty()) return;
    const uint32_t keyRgb = key.ToPixel() & 0xFFFFFFu;
    for (int y = 0; y < part.Height(); ++y) {
        uint32_t* row = part.Row(y);
        for (int x = 0; x < part.Width(); ++x) {
            row[x] = (row[x] & 0xFFFFFFu) == keyRgb ? 0u : (row[x] | 0xFF000000u);
        }
    }
    part.SetHasAlpha(true);
    DrawImagePart(part, dest, Rect{0, 0, part.Width(), part.Height()}, Blit::Blend);
}

void DrawContext::StretchImage(const Image& image, const Rect& dest, const Rect& source) {
    if (image.IsEmpty()) return;
    m_painter->setRenderHint(QPainter::SmoothPixmapTransform, false);
    m_painter->setCompositionMode(QPainter::CompositionMode_Source);
    m_painter->drawImage(ToQRect(dest), WrapImage(image), ToQRect(source));
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

Image DrawContext::ReadPixels(const Rect& area) const {
    return m_targetImage != nullptr ? m_targetImage->Crop(area) : Image();
}

void DrawContext::DrawFocusRect(const Rect& area) {
    if (area.IsEmpty()) return;
    m_painter->save();
    m_painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QColor white(255, 255, 255);
    // Every other pixel along the edge, so that drawing it twice restores what was there.
    auto dot = [&](int x, int y) { m_painter->fillRect(x, y, 1, 1, white); };
    for (int x = area.left; x < area.right; x += 2) {
        dot(x, area.top);
        if (area.bottom - 1 > area.top) dot(x, area.bottom - 1);
    }
    for (int y = area.top + 2; y < area.bottom - 1; y += 2) {
        dot(area.left, y);
        if (area.right - 1 > area.left) dot(area.right - 1, y);
    }
    m_painter->restore();
}

namespace {

QColor WithOpacity(Colour colour, int opacity) {
    QColor c = ToQColor(colour);
    c.setAlpha(std::clamp(opacity, 0, 255));
    return c;
}

QRectF ToQRectF(const RectF& r) { return QRectF(r.left, r.top, r.Width(), r.Height()); }

// Smooth, composited over what is there, for one shape; the painter's state comes back afterwards.
class ShapeScope {
public:
    explicit ShapeScope(QPainter& painter) : m_painter(painter) {
        m_painter.save();
        m_painter.setRenderHint(QPainter::Antialiasing, true);
        m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    ~ShapeScope() { m_painter.restore(); }
    ShapeScope(const ShapeScope&) = delete;
    ShapeScope& operator=(const ShapeScope&) = delete;

private:
    QPainter& m_painter;
};

QPen RoundPen(Colour colour, int opacity, double width) {
    return QPen(WithOpacity(colour, opacity), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

}  // namespace

void DrawContext::FillPolygon(const std::vector<PointF>& points, Colour colour, int opacity) {
    if (points.size() < 3) return;
    QPolygonF polygon;
    for (const PointF& p : points) polygon << QPointF(p.x, p.y);
    ShapeScope scope(*m_painter);
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(WithOpacity(colour, opacity));
    m_painter->drawPolygon(polygon);
}

void DrawContext::FillEllipse(const RectF& area, Colour colour, int opacity) {
    ShapeScope scope(*m_painter);
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(WithOpacity(colour, opacity));
    m_painter->drawEllipse(ToQRectF(area));
}

void DrawContext::FillRoundRect(const RectF& area, double radius, Colour top, Colour bottom, int opacity) {
    QLinearGradient gradient(QPointF(0, area.top), QPointF(0, area.bottom));
    gradient.setColorAt(0, WithOpacity(top, opacity));
    gradient.setColorAt(1, WithOpacity(bottom, opacity));
    ShapeScope scope(*m_painter);
    m_painter->setPen(Qt::NoPen);
    m_painter->setBrush(gradient);
    m_painter->drawRoundedRect(ToQRectF(area), radius, radius);
}

void DrawContext::StrokeRoundRect(const RectF& area, double radius, double width, Colour colour, int opacity) {
    ShapeScope scope(*m_painter);
    m_painter->setPen(QPen(WithOpacity(colour, opacity), width));
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRoundedRect(ToQRectF(area), radius, radius);
}

void DrawContext::StrokeLines(const std::vector<PointF>& points, double width, Colour colour, int opacity) {
    if (points.empty()) return;
    QPainterPath path(QPointF(points.front().x, points.front().y));
    for (size_t i = 1; i < points.size(); ++i) path.lineTo(points[i].x, points[i].y);
    ShapeScope scope(*m_painter);
    m_painter->setPen(RoundPen(colour, opacity, width));
    m_painter->setBrush(Qt::NoBrush);
    if (points.size() == 1)
        m_painter->drawPoint(QPointF(points.front().x, points.front().y));
    else
        m_painter->drawPath(path);
}

void DrawContext::StrokeArc(const RectF& area, double startDegrees, double spanDegrees, double width, Colour colour,
                            int opacity) {
    ShapeScope scope(*m_painter);
    m_painter->setPen(RoundPen(colour, opacity, width));
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawArc(ToQRectF(area), int(std::lround(startDegrees * 16)), int(std::lround(spanDegrees * 16)));
}

void DrawContext::DrawButtonFace(const Rect& area, bool pushed, bool inactive) {
    if (area.IsEmpty()) return;
    QStyleOptionButton option;
    option.rect = ToQRect(area);
    option.palette = QApplication::palette();
    option.state = QStyle::State_Raised;
    if (pushed) option.state = QStyle::State_Sunken;
    if (!inactive) option.state |= QStyle::State_Enabled;
    m_painter->save();
    m_painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
    QApplication::style()->drawControl(QStyle::CE_PushButtonBevel, &option, m_painter);
    m_painter->restore();
}

Colour GetSystemColour(SystemColour which) {
    StartWindowSystem();
    const QPalette palette = QApplication::palette();
    switch (which) {
        case SystemColour::Window:
            return FromQColor(palette.color(QPalette::Base));
        case SystemColour::WindowText:
            return FromQColor(palette.color(QPalette::Text));
        case SystemColour::Highlight:
            return FromQColor(palette.color(QPalette::Highlight));
        case SystemColour::HighlightText:
            return FromQColor(palette.color(QPalette::HighlightedText));
        case SystemColour::ButtonFace:
            return FromQColor(palette.color(QPalette::Button));
        case SystemColour::ButtonText:
            return FromQColor(palette.color(QPalette::ButtonText));
        case SystemColour::GrayText:
            return FromQColor(palette.color(QPalette::Disabled, QPalette::Text));
    }
    return Colour{};
}

}  // namespace platform
