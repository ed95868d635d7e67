#include "general_tools/VersionStrings.h"

#include "general_tools/Profile.h"

namespace GT {

std::string ReadVersionString(ModuleHandle module, const std::string& name) {
    return module ? module->Find(name) : std::string();
}

std::string ReadExecutableVersionString(const std::string& name) {
    return ReadVersionString(&platform::ProgramVersionBlock(), name);
}

std::string ReadModuleVersionString(const std::string& name) {
    return ReadVersionString(&platform::ProgramVersionBlock(), name);
}

void StoreFileVersion() {
    WriteAppProfileString("Version", "FileVersion", ReadExecutableVersionString("FileVersion"));
}

std::string GetStoredFileVersion() { return GetAppProfileString("Version", "FileVersion", std::string()); }

}  // namespace GT
