#pragma once
// The program's resources besides dialog templates: string tables in the program's languages and
// accelerator tables, registered by id at start-up (the resources library does it) and looked up by
// the code that uses them.
#include "platform/window/Input.h"

#include <string>
#include <vector>

namespace platform {

// The languages of the string tables and menus. The program's language follows the user's locale
// (LC_ALL, else LC_MESSAGES, else LANG): Japanese when it begins with "ja", English otherwise.
enum class ResourceLanguage : int { English = 0, Japanese = 1 };
ResourceLanguage ProgramLanguage();

// Strings by id in one language; registering an id again replaces it.
void RegisterString(ResourceLanguage language, int id, const std::string& utf8);
// The string of the program's language, else the English one; false when neither table holds the id.
bool LoadResourceString(int id, std::string& utf8);
// The string of exactly that language.
bool LoadResourceString(ResourceLanguage language, int id, std::string& utf8);

// One entry of an accelerator table: a key (library key code; letters by their upper-case ASCII code)
// with exactly these modifiers (kModShift, kModCtrl, kModAlt) gives the command.
struct Accelerator {
    int key = kKeyUnknown;
    int modifiers = 0;
    int command = 0;
};
using AcceleratorTable = std::vector<Accelerator>;

// Tables by resource id; registering an id again replaces it.
void RegisterAcceleratorTable(int id, const AcceleratorTable& table);
const AcceleratorTable* FindAcceleratorTable(int id);
// The command of a key press in the table (the first entry that matches), 0 for none. Only presses
// count; the right mouse button's bit of the modifier word is ignored.
int TranslateAccelerator(const AcceleratorTable& table, const KeyInput& input);

}  // namespace platform
