#pragma once
// Message boxes by the library's button-set, icon and answer codes.
#include "platform/window/Choosers.h"

#include <string>

namespace UL {

// Button sets: 0 OK, 1 OK/Cancel, 2 Yes/No, 3 Yes/No/Cancel (any other value: OK).
// Icon kinds: 0 question, 2 error, any other exclamation.
// Answers: 0 OK, 1 Cancel (also closing the box), 2 Yes, 3 No.
class ITextDialog {
public:
    virtual ~ITextDialog() = default;
    virtual int Show(int buttonSet, int iconKind, const std::string& text) = 0;
    // printf-style; the text is cut to 509 characters.
    virtual int Format(int buttonSet, int iconKind, const char* format, ...) = 0;
};

class ATextDialog : public ITextDialog {};

class CTextDialog : public ATextDialog {
public:
    int Show(int buttonSet, int iconKind, const std::string& text) override;
    int Format(int buttonSet, int iconKind, const char* format, ...) override
#if defined(__GNUC__)
        __attribute__((format(printf, 4, 5)))
#endif
        ;
};

platform::MessageButtons ButtonSetToMessageButtons(int buttonSet);
platform::MessageIcon IconKindToMessageIcon(int iconKind);
int MessageAnswerToCode(platform::MessageAnswer answer);

}  // namespace UL
