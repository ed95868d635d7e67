#pragma once
// Dialog layouts as tables: the dialog's style, caption, font and size, and each control's id, window
// class, text, style and rectangle in dialog units (a quarter of the dialog font's average character
// width, an eighth of its height). A table is the one source of a dialog: the layer makes the
// controls from it, and DialogTemplateBytes gives the template in the byte layout that dialog templates
// have on disk, for the code that parses templates.
#include "platform/window/Geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

class Control;
class Window;

// Window classes of dialog controls.
inline constexpr char kClassButton[] = "BUTTON";
inline constexpr char kClassStatic[] = "STATIC";
inline constexpr char kClassEdit[] = "EDIT";
inline constexpr char kClassComboBox[] = "COMBOBOX";
inline constexpr char kClassScrollBar[] = "SCROLLBAR";
inline constexpr char kClassProgress[] = "msctls_progress32";
inline constexpr char kClassTrackBar[] = "msctls_trackbar32";
inline constexpr char kClassListView[] = "SysListView32";

// Style bits as templates store them: window styles, then each class's own.
enum : uint32_t {
    kWsPopup = 0x80000000u,
    kWsChild = 0x40000000u,
    kWsVisible = 0x10000000u,
    kWsDisabled = 0x08000000u,
    kWsClipChildren = 0x02000000u,
    kWsCaption = 0x00C00000u,
    kWsBorder = 0x00800000u,
    kWsDlgFrame = 0x00400000u,
    kWsVScroll = 0x00200000u,
    kWsHScroll = 0x00100000u,
    kWsSysMenu = 0x00080000u,
    kWsThickFrame = 0x00040000u,  // the dialog can be resized
    kWsGroup = 0x00020000u,
    kWsTabStop = 0x00010000u,

    kDsModalFrame = 0x80u,
    kDsSetFont = 0x40u,  // the template names its font

    kBsPushButton = 0x0u,
    kBsDefPushButton = 0x1u,
    kBsCheckBox = 0x2u,
    kBsAutoCheckBox = 0x3u,
    kBsGroupBox = 0x7u,
    kBsOwnerDraw = 0xBu,
    kBsTypeMask = 0xFu,
    kBsPushLike = 0x1000u,

    kSsLeft = 0x0u,
    kSsCenter = 0x1u,
    kSsRight = 0x2u,
    kSsIcon = 0x3u,
    kSsBitmap = 0xEu,
    kSsLeftNoWordWrap = 0xCu,
    kSsOwnerDraw = 0xDu,
    kSsTypeMask = 0x1Fu,
    kSsNoPrefix = 0x80u,
    kSsCenterImage = 0x200u,

    kEsCenter = 0x1u,
    kEsRight = 0x2u,
    kEsAutoHScroll = 0x80u,
    kEsReadOnly = 0x800u,

    kCbsDropDownList = 0x3u,

    kSbsSizeGrip = 0x10u,
    kSbsSizeBoxBottomRightAlign = 0x4u,

    kTbsVert = 0x2u,
    kTbsBoth = 0x8u,
    kTbsNoTicks = 0x10u,
};

struct DialogItem {
    int id = -1;
    std::string className = kClassStatic;
    std::string text;
    Rect units;
    uint32_t style = kWsChild | kWsVisible;
    uint32_t exStyle = 0;
};

struct DialogTemplate {
    std::string title;
    Size units;
    std::vector<DialogItem> items;
    uint32_t style = kWsPopup | kWsCaption | kWsSysMenu | kDsModalFrame | kDsSetFont;
    uint32_t exStyle = 0;
    // Written as the extended template (DLGTEMPLATEEX) rather than the plain one.
    bool extended = false;
    std::string fontFace = "MS Shell Dlg";
    int fontPointSize = 8;
};

// Templates by resource id; registering an id again replaces it.
void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate);
const DialogTemplate* FindDialogTemplate(int id);

// The template as the bytes of a dialog-template resource: the plain DLGTEMPLATE or the extended
// DLGTEMPLATEEX header, menu, class, caption, font, then each item aligned to 4 bytes with its class (an
// ordinal for the predefined classes), text and empty creation data; numbers little-endian, texts UTF-16.
std::vector<uint8_t> DialogTemplateBytes(const DialogTemplate& dialogTemplate);

// Makes the control for a template item of a class the layer does not make by itself; registering a
// class again replaces its maker, and an empty maker goes back to the layer's own (the list view is a
// ReportList). A class without a maker gets no control.
using ControlMaker = std::function<Control*(Window& window, const DialogItem& item)>;
void RegisterControlClass(const std::string& className, ControlMaker maker);
const ControlMaker* FindControlClass(const std::string& className);

}  // namespace platform
