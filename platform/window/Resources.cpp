#include "platform/window/Resources.h"

#include "platform/system/TextEncoding.h"

#include <map>
#include <utility>

namespace platform {

namespace {

std::map<std::pair<ResourceLanguage, int>, std::string>& Strings() {
    static std::map<std::pair<ResourceLanguage, int>, std::string> strings;
    return strings;
}

std::map<int, AcceleratorTable>& AcceleratorTables() {
    static std::map<int, AcceleratorTable> tables;
    return tables;
}

}  // namespace

ResourceLanguage ProgramLanguage() {
    return UserLanguage() == "Japanese" ? ResourceLanguage::Japanese : ResourceLanguage::English;
}

void RegisterString(ResourceLanguage language, int id, const std::string& utf8) { Strings()[{language, id}] = utf8; }

bool LoadResourceString(ResourceLanguage language, int id, std::string& utf8) {
    const auto found = Strings().find({language, id});
    if (found == Strings().end()) return false;
    utf8 = found->second;
    return true;
}

bool LoadResourceString(int id, std::string& utf8) {
    return LoadResourceString(ProgramLanguage(), id, utf8) || LoadResourceString(ResourceLanguage::English, id, utf8);
}

void RegisterAcceleratorTable(int id, const AcceleratorTable& table) { AcceleratorTables()[id] = table; }

const AcceleratorTable* FindAcceleratorTable(int id) {
    const auto found = AcceleratorTables().find(id);
    return found == AcceleratorTables().end() ? nullptr : &found->second;
}

int TranslateAccelerator(const AcceleratorTable& table, const KeyInput& input) {
    if (input.action != KeyAction::Down || input.code == kKeyUnknown) return 0;
    const int modifiers = input.modifiers & (kModShift | kModCtrl | kModAlt);
    for (const Accelerator& entry : table) {
        if (entry.key == input.code && entry.modifiers == modifiers) return entry.command;
    }
    return 0;
}

}  // namespace platform
