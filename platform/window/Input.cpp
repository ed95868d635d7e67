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
