#pragma once
// Mouse cursors: the desktop's stock shapes, and 32 x 32 two-colour cursors drawn by our code.
#include "platform/window/Geometry.h"

#include <array>
#include <cstdint>
#include <memory>

namespace platform {

enum class CursorShape {
    Arrow,
    Wait,
    IBeam,
    Cross,
    SizeNwse,
    SizeNesw,
    SizeHorizontal,
    SizeVertical,
    SizeAll,
    PointingHand,
    Forbidden,
    BusyArrow,
    SplitHorizontal,
    SplitVertical,
    DragMove,
    DragCopy,
    Custom
};

// A cursor; a custom one is 32 rows of 32 pixels given as bit masks (most significant bit leftmost):
// a set bit of `shape` is a visible pixel, black unless `white` sets it too.
class Cursor {
public:
    Cursor(CursorShape shape = CursorShape::Arrow);
    static Cursor FromBits(const std::array<uint32_t, 32>& shape, const std::array<uint32_t, 32>& white, Point hotSpot);
    CursorShape Shape() const { return m_shape; }
    const std::array<uint32_t, 32>& ShapeBits() const { return m_shapeBits; }
    const std::array<uint32_t, 32>& WhiteBits() const { return m_whiteBits; }
    Point HotSpot() const { return m_hotSpot; }

private:
    CursorShape m_shape;
    std::array<uint32_t, 32> m_shapeBits{};
    std::array<uint32_t, 32> m_whiteBits{};
    Point m_hotSpot;
};

// The application-wide cursor that overrides every window's own while it is set.
void SetOverrideCursor(const Cursor& cursor);
// Drops the override, so each window shows its own cursor again.
void ClearOverrideCursor();
bool HasOverrideCursor();
// The override's shape (Arrow when none is set).
CursorShape OverrideCursorShape();
// The mouse pointer in screen pixels.
Point MousePosition();
// Puts the mouse pointer there.
void SetMousePosition(Point screenPoint);

}  // namespace platform
