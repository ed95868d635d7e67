#include "platform/window/Input.h"

#include <QGuiApplication>

namespace platform {

int TranslateKey(int key, bool keypad) {
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            return kKeyPad0 + (key - Qt::Key_0);
        }
        switch (key) {
            case Qt::Key_Period:
            case Qt::Key_Comma:
                return kKeyPadDecimal;
            case Qt::Key_Plus:
                return kKeyPadAdd;
            case Qt::Key_Minus:
                return kKeyPadSubtract;
            case Qt::Key_Asterisk:
                return kKeyPadMultiply;
            case Qt::Key_Slash:
                return kKeyPadDivide;
            case Qt::Key_Enter:
                return kKeyEnter;
            default:
                break;  // navigation keys of the pad read as the keys they stand for
        }
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) {
        return kKeyF1 + (key - Qt::Key_F1);
    }
    switch (key) {
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Down:
            return kKeyDown;
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Home:
            return kKeyHome;
        case Qt::Key_End:
            return kKeyEnd;
        case Qt::Key_PageUp:
            return kKeyPageUp;
        case Qt::Key_PageDown:
            return kKeyPageDown;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyEnter;
        case Qt::Key_Escape:
            return kKeyEscape;
        case Qt::Key_Backspace:
            return kKeyBackspace;
        case Qt::Key_Delete:
            return kKeyDelete;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return kKeyTab;
        case Qt::Key_Shift:
            return kKeyShift;
        case Qt::Key_Control:
            return kKeyCtrl;
        case Qt::Key_Alt:
            return kKeyAlt;
        case Qt::Key_Insert:
            return kKeyInsert;
        default:
            break;
    }
    // Qt codes printable keys by their upper-case Latin-1 code, which is what the tables expect.
    if (key >= 0x20 && key < 0x7F) {
        return key;
    }
    return kKeyUnknown;
}

int ToToolkitKey(int code) {
    if (code >= kKeyF1 && code < kKeyF1 + 12) return Qt::Key_F1 + (code - kKeyF1);
    if (code >= kKeyPad0 && code <= kKeyPad0 + 9) return Qt::Key_0 + (code - kKeyPad0);
    switch (code) {
        case kKeyUp:
            return Qt::Key_Up;
        case kKeyDown:
            return Qt::Key_Down;
        case kKeyLeft:
            return Qt::Key_Left;
        case kKeyRight:
            return Qt::Key_Right;
        case kKeyHome:
            return Qt::Key_Home;
        case kKeyEnd:
            return Qt::Key_End;
        case kKeyPageUp:
            return Qt::Key_PageUp;
        case kKeyPageDown:
            return Qt::Key_PageDown;
        case kKeyEnter:
            return Qt::Key_Return;
        case kKeyEscape:
            return Qt::Key_Escape;
        case kKeyBackspace:
            return Qt::Key_Backspace;
        case kKeyDelete:
            return Qt::Key_Delete;
        case kKeyTab:
            return Qt::Key_Tab;
        case kKeyInsert:
            return Qt::Key_Insert;
        default:
            break;
    }
    return code >= 0x20 && code < 0x7F ? code : 0;
}

int KeyboardDelaySetting() { return 1; }
int KeyboardSpeedSetting() { return 31; }

int TranslateModifiers(int toolkitModifiers) {
    int word = 0;
    if (toolkitModifiers & Qt::ShiftModifier) word |= kModShift;
    if (toolkitModifiers & Qt::ControlModifier) word |= kModCtrl;
    if (toolkitModifiers & Qt::AltModifier) word |= kModAlt;
    return word;
}

int CurrentModifiers() {
    if (QGuiApplication::instance() == nullptr) {
        return 0;
    }
    return TranslateModifiers(QGuiApplication::queryKeyboardModifiers().toInt());
}

}  // namespace platform
