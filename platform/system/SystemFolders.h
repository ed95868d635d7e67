// The program's own file and the user's folders, in "/" form without a trailing "/".
#pragma once

#include <string>

namespace platform {

// The running program's file (/proc/self/exe); empty when it cannot be read.
std::string ExecutablePath();
// The program's name: the executable's file name.
std::string ApplicationName();
// $TMPDIR when it names a folder, else /tmp.
std::string TempDirectory();
// $XDG_RUNTIME_DIR when it names a folder, else the temporary folder.
std::string RuntimeDirectory();
// $HOME, else the password database's home folder; empty when neither is known.
std::string HomeDirectory();

// Special-folder numbers the program asks for (the values of the CSIDL constants).
enum SpecialFolder {
    kFolderPersonal = 5,       // documents: the home folder
    kFolderAppData = 26,       // per-user data: $XDG_DATA_HOME, else ~/.local/share
    kFolderLocalAppData = 28,  // the same
};
// The folder for a special-folder number (a create flag 0x8000 is ignored); empty
// for a number without a folder here or when the home folder is unknown.
std::string SpecialFolderPath(int folder);

}  // namespace platform
