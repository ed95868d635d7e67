#pragma once
// Watching the mouse of the whole program: every button press, release and double click in any of its
// windows is shown to the installed hooks before the window under the pointer sees it, and a hook can
// swallow it (popup editors end when the user clicks outside them). Moves are not shown.
#include "platform/window/Geometry.h"
#include "platform/window/Input.h"

#include <functional>

class QWidget;

namespace platform {

class Control;
class Window;

struct WatchedMouse {
    MouseAction action = MouseAction::ButtonDown;  // ButtonDown, ButtonUp or DoubleClick
    MouseButton button = MouseButton::Left;
    Point screenPoint;
    int modifiers = 0;  // Shift, Ctrl, Alt
    // The widget the message goes to: the one under the pointer, or the one holding the mouse.
    QWidget* target = nullptr;
    // A press on the window's frame (its title bar or close box) rather than in its client area.
    bool nonClient = false;

    // Whether the message goes to the window or to something inside it (its controls and the
    // windows inside them). A combo box's open list counts as part of its combo box.
    bool IsWithin(const Window& window) const;
    bool IsWithin(const Control& control) const;
};

// A hook stays installed for its lifetime. Hooks are asked newest first; the first that answers true
// swallows the message, and neither the older hooks nor any window see it. A hook may be destroyed, or
// make and destroy others, from inside its own call.
class MouseHook {
public:
    using Handler = std::function<bool(const WatchedMouse&)>;
    explicit MouseHook(Handler handler);
    ~MouseHook();
    MouseHook(const MouseHook&) = delete;
    MouseHook& operator=(const MouseHook&) = delete;

    bool Call(const WatchedMouse& mouse) const { return m_handler(mouse); }

private:
    Handler m_handler;
};

}  // namespace platform
