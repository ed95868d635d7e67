#pragma once
// Dialog layouts as tables: each control's id, kind, text and rectangle in dialog units
// (a quarter of the dialog font's average character width, an eighth of its height).
#include "platform/window/Geometry.h"

#include <string>
#include <vector>

namespace platform {

enum class ControlKind { Label, PushButton, DefaultPushButton, ProgressBar, Picture };

struct DialogItem {
    int id = -1;
    ControlKind kind = ControlKind::Label;
    std::string text;
    Rect units;
    int textFormat = 0x10 | 0x800;  // TextFormat word for labels
};

struct DialogTemplate {
    std::string title;
    Size units;
    std::vector<DialogItem> items;
};

// Templates by resource id; registering an id again replaces it.
void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate);
const DialogTemplate* FindDialogTemplate(int id);

}  // namespace platform
