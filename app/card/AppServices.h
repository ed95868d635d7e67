// Process-wide services of the editor that the card side reaches: the progress dialog, the
// message box, the folder and song file choosers and the application font. Each is built on
// first use; tests install stand-ins through the Set functions (null restores the real one,
// the caller keeps ownership).
#pragma once

#include "general_tools/Progress.h"
#include "ui/FileDialog.h"
#include "ui/FontEx.h"
#include "ui/TextDialog.h"

#include <string>
#include <vector>

// The progress dialog (the library's template 0x6800, message 55340, bar 55339).
GT::IProgress& GetProgressBar();
void SetProgressBar(GT::IProgress* progress);

// The message box.
UL::ITextDialog& GetTextDialog();
void SetTextDialog(UL::ITextDialog* dialog);

// The folder chooser.
UL::IDirectoryDialog& GetDirectoryDialog();
void SetDirectoryDialog(UL::IDirectoryDialog* dialog);

class IFileDialog {
public:
    virtual ~IFileDialog() = default;
    // Appends the chosen paths; 0 when files were chosen, 1 otherwise.
    virtual int ChooseFiles(std::vector<std::string>& paths) = 0;
};

// The song file chooser: "Song" files (*.wav; *.aiff; *.aif; *.mp3, in any letter case) or
// "All Files", several at once, its folder and filter kept under "SongFileDialog".
class CFileDialogX : public IFileDialog {
public:
    static IFileDialog& GetInstance();
    static void SetInstance(IFileDialog* dialog);
    int ChooseFiles(std::vector<std::string>& paths) override;
};

// The application font.
class CFontA : public UL::CFontEx {
public:
    static CFontA& GetInstance();
};
