// The dialog templates, once each with their English texts (dialogs that show other languages take
// their texts from the message table at run time). Rectangles are in dialog units.
#include "resources/ResourcesInternal.h"

#include "platform/window/DialogTemplate.h"
#include "ui/ProgressBar.h"

namespace resources {

namespace {

using platform::DialogItem;
using platform::DialogTemplate;
using platform::Rect;

constexpr uint32_t kChild = platform::kWsChild | platform::kWsVisible;
constexpr uint32_t kTabStop = kChild | platform::kWsTabStop;
constexpr uint32_t kPushButton = kTabStop | platform::kBsPushButton;
constexpr uint32_t kDefaultButton = kTabStop | platform::kBsDefPushButton;
constexpr uint32_t kEdit = kTabStop | platform::kWsBorder | platform::kEsAutoHScroll;
constexpr uint32_t kTable = kTabStop | platform::kWsBorder;
constexpr uint32_t kLabel = kChild | platform::kSsLeft | platform::kSsNoPrefix;
constexpr uint32_t kResizable = platform::kWsThickFrame;
constexpr int kStatic = -1;  // the id that texts nobody changes share

// The main form: nine picture buttons in a row (the operations, the three lists, writing, and the
// card's connection, in groups) over the song table. The buttons take their pictures' size.
DialogTemplate MainForm() {
    DialogTemplate form;
    form.style = kChild | platform::kDsSetFont;
    form.units = platform::Size{426, 250};
    // Apart enough for the pictures' size with a dialog unit as small as 1.5 pixels.
    constexpr int kTop = 5, kWidth = 38, kHeight = 28, kStep = 44, kGroupGap = 8;
    const int order[] = {IDC_CD_RIPPING, IDC_IMPORT, IDC_EXPORT, IDC_DELETE, IDC_SONG,
                         IDC_RHYTHM,     IDC_USER,   IDC_SAVE,   IDC_CONNECT};
    const int groupStarts[] = {IDC_SONG, IDC_SAVE, IDC_CONNECT};
    int x = 6;
    for (int id : order) {
        for (int start : groupStarts) {
            if (id == start) x += kGroupGap;
        }
        form.items.push_back(
            DialogItem{id, platform::kClassButton, "", Rect{x, kTop, x + kWidth, kTop + kHeight}, kPushButton});
        x += kStep;
    }
    form.items.push_back(DialogItem{IDC_SONG_TABLE, platform::kClassListView, "", Rect{6, 44, 420, 244}, kTable});
    return form;
}

// The ripping dialog: the album title with the vendor logo (shown for a moment after a lookup) and
// the button that looks the disc up again, the track table, OK and Cancel.
DialogTemplate CdRipping() {
    DialogTemplate dialog;
    dialog.title = "CD Ripping";
    dialog.style |= kResizable;
    dialog.units = platform::Size{320, 220};
    dialog.items = {
        {IDC_ALBUM_TITLE, platform::kClassStatic, "", Rect{7, 9, 160, 19},
         kChild | platform::kSsLeftNoWordWrap | platform::kSsNoPrefix | platform::kSsCenterImage},
        // The logo's picture is 150 x 36 pixels.
        {IDC_VENDOR_LOGO, platform::kClassStatic, "", Rect{164, 4, 250, 24}, kChild | platform::kSsBitmap},
        {IDC_REGET, platform::kClassButton, "Obtain again", Rect{256, 7, 313, 21}, kPushButton},
        {IDC_TRACK_TABLE, platform::kClassListView, "", Rect{7, 27, 313, 191}, kTable},
        {platform::kCommandOk, platform::kClassButton, "OK", Rect{207, 198, 257, 212}, kDefaultButton},
        {platform::kCommandCancel, platform::kClassButton, "Cancel", Rect{263, 198, 313, 212}, kPushButton},
    };
    return dialog;
}

// The disc-information chooser: the prompt, the albums found, OK.
DialogTemplate CdInformationSelect() {
    DialogTemplate dialog;
    dialog.title = "CD Information Select";
    dialog.style |= kResizable;
    dialog.units = platform::Size{220, 140};
    dialog.items = {
        {IDC_QUERY_MESSAGE, platform::kClassStatic, "", Rect{7, 7, 213, 25}, kLabel},
        {IDC_QUERY_TABLE, platform::kClassListView, "", Rect{7, 28, 213, 112}, kTable},
        {platform::kCommandOk, platform::kClassButton, "OK", Rect{163, 119, 213, 133}, kDefaultButton},
    };
    return dialog;
}

// The proxy dialog: whether to use a proxy, then server and port as "server : port".
DialogTemplate ProxyServer() {
    DialogTemplate dialog;
    dialog.title = "Proxy Server";
    dialog.units = platform::Size{200, 90};
    dialog.items = {
        {IDC_USE_PROXY, platform::kClassButton, "Use a proxy server", Rect{7, 7, 193, 19},
         kTabStop | platform::kBsAutoCheckBox},
        {IDC_PROXY_SERVER_LABEL, platform::kClassStatic, "Server address", Rect{7, 25, 139, 33}, kLabel},
        {IDC_PROXY_PORT_LABEL, platform::kClassStatic, "Port", Rect{151, 25, 193, 33}, kLabel},
        {IDC_PROXY_SERVER, platform::kClassEdit, "", Rect{7, 35, 139, 49}, kEdit},
        {kStatic, platform::kClassStatic, ":", Rect{141, 37, 149, 47}, kChild | platform::kSsCenter},
        {IDC_PROXY_PORT, platform::kClassEdit, "", Rect{151, 35, 193, 49}, kEdit},
        {platform::kCommandOk, platform::kClassButton, "OK", Rect{87, 69, 137, 83}, kDefaultButton},
        {platform::kCommandCancel, platform::kClassButton, "Cancel", Rect{143, 69, 193, 83}, kPushButton},
    };
    return dialog;
}

// The About box: the program icon, the description, the version and the legal notice from the version
// block, and OK.
DialogTemplate AboutBox() {
    DialogTemplate dialog;
    dialog.title = "About";
    dialog.units = platform::Size{235, 66};
    dialog.items = {
        {IDC_ABOUT_ICON, platform::kClassStatic, "", Rect{11, 17, 32, 37}, kChild | platform::kSsIcon},
        {IDC_ABOUT_DESCRIPTION, platform::kClassStatic, "", Rect{40, 10, 170, 20}, kLabel},
        {IDC_ABOUT_VERSION, platform::kClassStatic, "", Rect{40, 24, 170, 34}, kLabel},
        {IDC_ABOUT_LEGAL, platform::kClassStatic, "", Rect{40, 38, 170, 56}, kLabel},
        {platform::kCommandOk, platform::kClassButton, "OK", Rect{178, 7, 228, 21}, kDefaultButton},
    };
    return dialog;
}

}  // namespace

void RegisterDialogTemplates() {
    platform::RegisterDialogTemplate(IDD_MAIN_FORM, MainForm());
    platform::RegisterDialogTemplate(IDD_CD_RIPPING, CdRipping());
    platform::RegisterDialogTemplate(IDD_CD_INFORMATION_SELECT, CdInformationSelect());
    platform::RegisterDialogTemplate(IDD_PROXY_SERVER, ProxyServer());
    platform::RegisterDialogTemplate(IDD_ABOUTBOX, AboutBox());
    // The progress dialog (IDD_PROGRESS) is the user-interface library's own template.
    UL::RegisterLibraryDialogTemplates();
}

}  // namespace resources
