#include "ui/TextDialog.h"

#include "general_tools/StringFunctions.h"

#include "platform/window/Application.h"

#include <cstdarg>

namespace UL {

platform::MessageButtons ButtonSetToMessageButtons(int buttonSet) {
    switch (buttonSet) {
        case 1:
            return platform::MessageButtons::OkCancel;
        case 2:
            return platform::MessageButtons::YesNo;
        case 3:
            return platform::MessageButtons::YesNoCancel;
        default:
            return platform::MessageButtons::Ok;
    }
}

platform::MessageIcon IconKindToMessageIcon(int iconKind) {
    switch (iconKind) {
        case 0:
            return platform::MessageIcon::Question;
        case 2:
            return platform::MessageIcon::Error;
        default:
            return platform::MessageIcon::Warning;
    }
}

int MessageAnswerToCode(platform::MessageAnswer answer) {
    switch (answer) {
        case platform::MessageAnswer::Ok:
            return 0;
        case platform::MessageAnswer::Yes:
            return 2;
        case platform::MessageAnswer::No:
            return 3;
        case platform::MessageAnswer::Cancel:
            break;
    }
    return 1;
}

int CTextDialog::Show(int buttonSet, int iconKind, const std::string& text) {
    const platform::MessageAnswer answer =
        platform::AskUser(platform::ActiveWindow(), platform::ApplicationTitle(), text,
                          ButtonSetToMessageButtons(buttonSet), IconKindToMessageIcon(iconKind));
    return MessageAnswerToCode(answer);
}

int CTextDialog::Format(int buttonSet, int iconKind, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = GT::FormatStringV(format, args);
    va_end(args);
    return Show(buttonSet, iconKind, text);
}

}  // namespace UL
