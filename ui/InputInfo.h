#pragma once
// The records in which a table hands mouse and key input to its cell editors, with the library's key
// codes (platform/window/Input.h: Enter 264, Esc 265, ...) and modifier word (1 Shift, 2 Ctrl,
// 4 right button, 8 Alt).
#include "platform/window/Geometry.h"
#include "platform/window/Input.h"

namespace UL {

class CMouseInfo {
public:
    enum Action : int { kButtonDown = 0, kButtonUp = 1, kDoubleClick = 2, kMove = 3 };

    CMouseInfo() = default;
    CMouseInfo(int action, platform::Point point, int modifiers)
        : m_action(action), m_point(point), m_modifiers(modifiers) {}
    virtual ~CMouseInfo() = default;

    // Left and right button messages map to the same actions; the modifier word tells them apart.
    static CMouseInfo FromInput(const platform::MouseInput& input) {
        return CMouseInfo(static_cast<int>(input.action), input.point, input.modifiers);
    }

    virtual void SetPoint(platform::Point point) { m_point = point; }
    virtual platform::Point GetPoint() const { return m_point; }
    int GetAction() const { return m_action; }
    int GetModifiers() const { return m_modifiers; }

private:
    int m_action = kMove;
    platform::Point m_point;
    int m_modifiers = 0;
};

struct CKeyInfo {
    enum Kind : int { kKeyDown = 1, kKeyUp = 2 };

    static CKeyInfo FromInput(const platform::KeyInput& input) {
        return CKeyInfo{static_cast<int>(input.action), input.code,
                        input.modifiers & (platform::kModShift | platform::kModCtrl | platform::kModAlt)};
    }

    int kind = kKeyDown;
    int code = platform::kKeyUnknown;
    int modifiers = 0;  // 1 Shift, 2 Ctrl, 8 Alt
};

}  // namespace UL
