#include "general_tools/VersionStrings.h"

#include "general_tools/Profile.h"

namespace GT {

std::string ReadVersionString(ModuleHandle module, const std::string& name) {
    return module ? module->Find(name) : std::string();
}

std::string ReadExecutableVersionString(const std::string& name) {
    return ReadVersionString(&platform::ProgramVersionBlock(), name);
}

ModuleHandle GetInstanceModuleState() { return &platform::ProgramVersionBlock(); }

std::string ReadModuleVersionString(const std::string& name) {
    return ReadVersionString(GetInstanceModuleState(), name);
}

void StoreFileVersion() { WriteAppProfileString("Version", "FileVersion", ReadExecutableVersionString("FileVersion")); }

std::string GetStoredFileVersion() { return GetAppProfileString("Version", "FileVersion", std::string()); }

}  // namespace GT
