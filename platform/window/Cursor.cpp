#include "platform/window/Cursor.h"

#include "platform/window/Application.h"

#include <QApplication>
#include <QBitmap>
#include <QCursor>
#include <QImage>

namespace platform {

Qt::CursorShape ToQtCursorShape(CursorShape shape) {
    switch (shape) {
        case CursorShape::Arrow:
            return Qt::ArrowCursor;
        case CursorShape::Wait:
            return Qt::WaitCursor;
        case CursorShape::IBeam:
            return Qt::IBeamCursor;
        case CursorShape::Cross:
            return Qt::CrossCursor;
        case CursorShape::SizeNwse:
            return Qt::SizeFDiagCursor;
        case CursorShape::SizeNesw:
            return Qt::SizeBDiagCursor;
        case CursorShape::SizeHorizontal:
            return Qt::SizeHorCursor;
        case CursorShape::SizeVertical:
            return Qt::SizeVerCursor;
        case CursorShape::SizeAll:
            return Qt::SizeAllCursor;
        case CursorShape::PointingHand:
            return Qt::PointingHandCursor;
        case CursorShape::Forbidden:
            return Qt::ForbiddenCursor;
        case CursorShape::BusyArrow:
            return Qt::BusyCursor;
        case CursorShape::SplitHorizontal:
            return Qt::SplitHCursor;
        case CursorShape::SplitVertical:
            return Qt::SplitVCursor;
        case CursorShape::DragMove:
            return Qt::DragMoveCursor;
        case CursorShape::DragCopy:
            return Qt::DragCopyCursor;
        case CursorShape::Custom:
            return Qt::BitmapCursor;
    }
    return Qt::ArrowCursor;
}

namespace {

CursorShape& CurrentOverride() {
    static CursorShape shape = CursorShape::Arrow;
    return shape;
}

QBitmap BitsToBitmap(const std::array<uint32_t, 32>& rows) {
    QImage image(32, 32, QImage::Format_MonoLSB);
    image.setColorCount(2);
    image.setColor(0, qRgb(255, 255, 255));
    image.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) image.setPixel(x, y, (rows[size_t(y)] >> (31 - x)) & 1u);
    }
    return QBitmap::fromImage(image);
}

QCursor ToQCursor(const Cursor& cursor) {
    if (cursor.Shape() != CursorShape::Custom) return QCursor(ToQtCursorShape(cursor.Shape()));
    // A set bitmap bit inside the mask is black, a clear one white.
    std::array<uint32_t, 32> black{};
    for (size_t i = 0; i < 32; ++i) black[i] = cursor.ShapeBits()[i] & ~cursor.WhiteBits()[i];
    return QCursor(BitsToBitmap(black), BitsToBitmap(cursor.ShapeBits()), cursor.HotSpot().x, cursor.HotSpot().y);
}

}  // namespace

Cursor::Cursor(CursorShape shape) : m_shape(shape) {}

Cursor Cursor::FromBits(const std::array<uint32_t, 32>& shape, const std::array<uint32_t, 32>& white, Point hotSpot) {
    Cursor cursor(CursorShape::Custom);
    cursor.m_shapeBits = shape;
    cursor.m_whiteBits = white;
    cursor.m_hotSpot = hotSpot;
    return cursor;
}

void SetOverrideCursor(const Cursor& cursor) {
    if (!StartWindowSystem()) return;
    if (QGuiApplication::overrideCursor() != nullptr)
        QGuiApplication::changeOverrideCursor(ToQCursor(cursor));
    else
        QGuiApplication::setOverrideCursor(ToQCursor(cursor));
    CurrentOverride() = cursor.Shape();
}

void ClearOverrideCursor() {
    if (!IsWindowSystemStarted()) return;
    while (QGuiApplication::overrideCursor() != nullptr) QGuiApplication::restoreOverrideCursor();
    CurrentOverride() = CursorShape::Arrow;
}

bool HasOverrideCursor() { return IsWindowSystemStarted() && QGuiApplication::overrideCursor() != nullptr; }
CursorShape OverrideCursorShape() { return HasOverrideCursor() ? CurrentOverride() : CursorShape::Arrow; }

Point MousePosition() {
    if (!IsWindowSystemStarted()) return Point{};
    const QPoint p = QCursor::pos();
    return Point{p.x(), p.y()};
}

void SetMousePosition(Point screenPoint) {
    if (IsWindowSystemStarted()) QCursor::setPos(screenPoint.x, screenPoint.y);
}

}  // namespace platform
