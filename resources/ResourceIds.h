#pragma once
// The ids of the program's resources, commands and dialog controls.

// The main frame's menu, accelerator table and icon; also the document string.
enum : int { IDR_MAINFRAME = 4096 };

// Dialog templates.
enum : int {
    IDD_MAIN_FORM = 4143,
    IDD_CD_RIPPING = 4144,
    IDD_CD_INFORMATION_SELECT = 4145,
    IDD_PROXY_SERVER = 4146,
    IDD_ABOUTBOX = 32867,
    IDD_PROGRESS = 0x6800,
};

// Accelerator tables (besides the main frame's).
enum : int { IDR_CD_RIPPING = 4146 };

// Strings.
enum : int {
    IDS_LANGUAGE = 3073,  // "English" in the English table, "Japanese" in the Japanese one
};

// Menu commands.
enum : int {
    ID_HELP_MANUAL = 32858,
    ID_APP_ABOUT = 32865,
    ID_OPTION_SAVE_MEMORY = 32893,
    ID_OPTION_PROXY = 32898,
    ID_HELP_VENDOR_WEB = 32904,
};

// The main form: the song table and the nine picture buttons.
enum : int {
    IDC_SONG_TABLE = 4295,
    IDC_RHYTHM = 4297,
    IDC_SONG = 4298,
    IDC_IMPORT = 4299,
    IDC_CD_RIPPING = 4300,
    IDC_EXPORT = 4301,
    IDC_USER = 4302,
    IDC_DELETE = 4303,
    IDC_SAVE = 4304,
    IDC_CONNECT = 4305,
};

// The ripping dialog and the disc-information chooser.
enum : int {
    IDC_TRACK_TABLE = 4311,
    IDC_VENDOR_LOGO = 4324,
    IDC_REGET = 4325,
    IDC_QUERY_MESSAGE = 4326,
    IDC_QUERY_TABLE = 4327,
    IDC_ALBUM_TITLE = 4329,
};

// The proxy dialog.
enum : int {
    IDC_USE_PROXY = 4319,
    IDC_PROXY_SERVER = 4330,
    IDC_PROXY_PORT = 4331,
    IDC_PROXY_SERVER_LABEL = 4332,
    IDC_PROXY_PORT_LABEL = 4333,
};

// The About box.
enum : int {
    IDC_ABOUT_ICON = 0xFFFF,
    IDC_ABOUT_DESCRIPTION = 32825,
    IDC_ABOUT_VERSION = 32826,
    IDC_ABOUT_LEGAL = 32866,
};

// The progress dialog (the user-interface library's own template).
enum : int { IDC_PROGRESS_BAR = 55339, IDC_PROGRESS_MESSAGE = 55340 };
