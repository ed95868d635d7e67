#pragma once
// Mouse and key input as the user-interface library codes it.
#include "platform/window/Geometry.h"

namespace platform {

// Modifier word: Shift, Ctrl, right mouse button, Alt.
enum Modifier : int { kModShift = 1, kModCtrl = 2, kModRightButton = 4, kModAlt = 8 };

// Key codes: letters, digits, space and other printable keys keep their upper-case ASCII code;
// the keys below get codes of their own.
enum KeyCode : int {
    kKeyBackspaceAscii = 8,
    kKeySpace = 32,
    kKeyUp = 256,
    kKeyDown = 257,
    kKeyLeft = 258,
    kKeyRight = 259,
    kKeyHome = 260,
    kKeyEnd = 261,
    kKeyPageUp = 262,
    kKeyPageDown = 263,
    kKeyEnter = 264,
    kKeyEscape = 265,
    kKeyBackspace = 266,
    kKeyDelete = 267,
    kKeyTab = 268,
    kKeyF1 = 269,    // F1 to F12: 269 to 280
    kKeyPad0 = 281,  // numeric pad 0 to 9: 281 to 290
    kKeyPadDecimal = 291,
    kKeyPadAdd = 292,
    kKeyPadSubtract = 293,
    kKeyPadMultiply = 294,
    kKeyPadDivide = 295,
    kKeyShift = 296,
    kKeyCtrl = 297,
    kKeyAlt = 298,
    kKeyInsert = 299,
    kKeyUnknown = 0
};

enum class MouseAction : int { ButtonDown = 0, ButtonUp = 1, DoubleClick = 2, Move = 3 };
enum class MouseButton : int { None, Left, Right, Middle };

struct MouseInput {
    MouseAction action = MouseAction::Move;
    MouseButton button = MouseButton::None;  // the button that went down or up
    Point point;
    int modifiers = 0;      // kModRightButton for a right-button message, plus Shift, Ctrl and Alt
    bool leftHeld = false;  // buttons held after the message
    bool rightHeld = false;
};

enum class KeyAction : int { Down = 1, Up = 2 };

struct KeyInput {
    KeyAction action = KeyAction::Down;
    int code = kKeyUnknown;
    int modifiers = 0;  // Shift, Ctrl, Alt
    bool autoRepeat = false;
};

// A toolkit key (Qt::Key value) and whether it came from the numeric pad, as a key code.
int TranslateKey(int toolkitKey, bool keypad);
// Toolkit modifier flags (Qt::KeyboardModifiers value) as the modifier word.
int TranslateModifiers(int toolkitModifiers);
// The toolkit key (Qt::Key value) that a key code stands for; 0 for a code without one.
int ToToolkitKey(int code);
// The desktop's keyboard repeat settings, as the repeat arithmetic of spinning controls takes them:
// the delay 0 (250 ms) to 3 (1 s) and the speed 0 (about 2.5 repeats a second) to 31 (about 30). The
// desktop does not tell them here, so they are the usual 1 (500 ms) and 31 (33 ms).
int KeyboardDelaySetting();
int KeyboardSpeedSetting();
// The keyboard's modifier state at this moment (what the keyboard holds now, not what the last
// message said).
int CurrentModifiers();

}  // namespace platform
