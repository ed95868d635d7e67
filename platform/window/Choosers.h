#pragma once
// Message boxes and the file, folder and font choosers (the toolkit's own, not the desktop's native ones).
#include "platform/window/Geometry.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

class Window;

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageIcon { None, Question, Warning, Error, Information };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// A modal message box over the owner (or the active window); closing it answers Cancel,
// or No when the box has no Cancel button.
MessageAnswer AskUser(Window* owner, const std::string& caption, const std::string& text, MessageButtons buttons,
                      MessageIcon icon);

// One entry of a file filter: what the user reads and the patterns ("*.wav; *.aif").
struct FileFilterEntry {
    std::string description;
    std::string patterns;
};

// Reads the "description|patterns|description|patterns||" form into entries.
std::vector<FileFilterEntry> ParseFilterText(const std::string& text);
// A toolkit name filter: the description without a trailing "(...)", then the patterns, each made
// case-insensitive ("*.wav" matches "SONG.WAV").
std::string ToNameFilter(const FileFilterEntry& entry);
// "*.wav" -> "*.[wW][aA][vV]".
std::string CaseInsensitivePattern(const std::string& pattern);

struct FileChooserOptions {
    bool save = false;
    bool multiSelect = false;
    bool mustExist = false;         // open: chosen files must exist
    bool confirmOverwrite = false;  // save: ask before replacing a file
    std::string title;
    std::string folder;         // where browsing starts
    std::string fileName;       // initial name
    std::string defaultSuffix;  // without "."
    std::vector<FileFilterEntry> filters;
    int filterIndex = 0;  // 0-based
    // Called with each folder the user enters (and the first); answers the window's caption.
    std::function<std::string(const std::string& folder)> captionForFolder;
};

struct FileChooserResult {
    bool accepted = false;
    std::vector<std::string> paths;  // the chosen files in order
    std::string folder;              // the folder last browsed, also when cancelled
    int filterIndex = 0;             // the filter last chosen, also when cancelled
};

FileChooserResult ChooseFiles(Window* owner, const FileChooserOptions& options);

// A folder chooser; true with the chosen folder (no trailing "/" except the root "/").
bool ChooseFolder(Window* owner, const std::string& caption, const std::string& initialFolder, std::string& chosen);

}  // namespace platform
