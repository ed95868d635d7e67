#include "app/card/AppServices.h"

#include "ui/ProgressBar.h"

namespace {

GT::IProgress* g_progress = nullptr;
UL::ITextDialog* g_textDialog = nullptr;
UL::IDirectoryDialog* g_directoryDialog = nullptr;
IFileDialog* g_fileDialog = nullptr;

// Flags of the song file chooser.
constexpr int kSongDialogFlags =
    UL::kFileHideReadOnly | UL::kFileAllowMultiSelect | UL::kFileMustExist | UL::kFileEnableSizing;
constexpr int kSongDialogBufferLength = 2047;
constexpr int kProgressTemplate = 0x6800;
constexpr int kProgressMessageControl = 55340;
constexpr int kProgressBarControl = 55339;

}  // namespace

GT::IProgress& GetProgressBar() {
    if (g_progress != nullptr) return *g_progress;
    UL::RegisterLibraryDialogTemplates();  // once; later calls do nothing
    static UL::CProgressBarA dialog(kProgressTemplate, kProgressMessageControl, kProgressBarControl);
    return dialog;
}

void SetProgressBar(GT::IProgress* progress) { g_progress = progress; }

UL::ITextDialog& GetTextDialog() {
    if (g_textDialog != nullptr) return *g_textDialog;
    static UL::CTextDialog dialog;
    return dialog;
}

void SetTextDialog(UL::ITextDialog* dialog) { g_textDialog = dialog; }

UL::IDirectoryDialog& GetDirectoryDialog() {
    if (g_directoryDialog != nullptr) return *g_directoryDialog;
    static UL::CDirectoryDialogA dialog;
    return dialog;
}

void SetDirectoryDialog(UL::IDirectoryDialog* dialog) { g_directoryDialog = dialog; }

IFileDialog& CFileDialogX::GetInstance() {
    if (g_fileDialog != nullptr) return *g_fileDialog;
    static CFileDialogX dialog;
    return dialog;
}

void CFileDialogX::SetInstance(IFileDialog* dialog) { g_fileDialog = dialog; }

int CFileDialogX::ChooseFiles(std::vector<std::string>& paths) {
    const std::vector<UL::CFileFilter> filters = {UL::CFileFilter("Song", "*.wav; *.aiff; *.aif; *.mp3"),
                                                  UL::CFileFilter("All Files", "*.*")};
    UL::CFileDialogA dialog(true, "", "", kSongDialogFlags, filters);
    dialog.SetFileNameBufferLength(kSongDialogBufferLength);
    dialog.SetInitialDirectorySetting("SongFileDialog", "InitialDirectory", "");
    dialog.SetFilterIndexSetting("SongFileDialog", "InitialFilterIndex", 0);
    if (dialog.DoModal() != 1) return 1;
    // The chooser answers "/" paths already; a backslash here belongs to a file name.
    const std::vector<std::string> chosen = dialog.GetPathNames();
    paths.insert(paths.end(), chosen.begin(), chosen.end());
    return 0;
}

CFontA& CFontA::GetInstance() {
    static CFontA font;
    return font;
}
