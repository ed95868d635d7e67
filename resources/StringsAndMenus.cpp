// The string tables and the main frame's menu in both languages, and the accelerator tables.
#include "resources/ResourcesInternal.h"

#include "platform/window/Menu.h"
#include "platform/window/Resources.h"
#include "ui/CmdTarget.h"
#include "ui/Document.h"

namespace resources {

namespace {

using platform::ResourceLanguage;

struct StringRow {
    int id;
    const char* english;
    const char* japanese;
};

const StringRow kStrings[] = {
    {IDS_LANGUAGE, "English", "Japanese"},
    {IDR_MAINFRAME, "", ""},  // the document string: the frame's caption is always the program's name
    {UL::AFX_IDP_FAILED_TO_OPEN_DOC, "Failed to open document.", "ドキュメントを開けませんでした。"},
};

struct MenuTexts {
    const char* file;
    const char* exit;
    const char* options;
    const char* saveMemory;
    const char* proxy;
    const char* help;
    const char* manual;
    const char* vendorWeb;
    const char* about;
};

const MenuTexts kEnglishMenu = {
    "&File",
    "E&xit",
    "&Options",
    "Conserve Card &Memory",
    "Set &Proxy Server...",
    "&Help",
    "Gigbox Setlister &Manual",
    "&Tunemark web",
    "&About Gigbox Setlister...",
};

const MenuTexts kJapaneseMenu = {
    "ファイル(&F)",
    "終了(&X)",
    "オプション(&O)",
    "カードメモリを節約する (&M)",
    "プロキシサーバーの設定 (&P)...",
    "ヘルプ(&H)",
    "Gigbox Setlister の使いかた(&M)",
    "Tunemark ウェブ(&G)",
    "Gigbox Setlister のバージョン情報(&A)...",
};

platform::MenuTemplate MainMenu(const MenuTexts& t) {
    platform::MenuTemplate menu;
    menu.popups = {
        {0, t.file, {{UL::ID_APP_EXIT, t.exit, {}}}},
        {0, t.options, {{ID_OPTION_SAVE_MEMORY, t.saveMemory, {}}, {ID_OPTION_PROXY, t.proxy, {}}}},
        {0,
         t.help,
         {{ID_HELP_MANUAL, t.manual, {}}, {ID_HELP_VENDOR_WEB, t.vendorWeb, {}}, {ID_APP_ABOUT, t.about, {}}}},
    };
    return menu;
}

}  // namespace

void RegisterStringsAndMenus() {
    for (const StringRow& row : kStrings) {
        platform::RegisterString(ResourceLanguage::English, row.id, row.english);
        platform::RegisterString(ResourceLanguage::Japanese, row.id, row.japanese);
    }
    platform::RegisterMenuTemplate(IDR_MAINFRAME, ResourceLanguage::English, MainMenu(kEnglishMenu));
    platform::RegisterMenuTemplate(IDR_MAINFRAME, ResourceLanguage::Japanese, MainMenu(kJapaneseMenu));
    const platform::AcceleratorTable selectAll = {{'A', platform::kModCtrl, UL::ID_EDIT_SELECT_ALL}};
    platform::RegisterAcceleratorTable(IDR_MAINFRAME, selectAll);
    platform::RegisterAcceleratorTable(IDR_CD_RIPPING, selectAll);
}

}  // namespace resources
