// The program's version strings ("FileDescription", "FileVersion",
// "ProductVersion", "LegalCopyright", ...) and the file version kept in the
// settings, by which the UI knows a first run.
#pragma once

#include "platform/system/VersionBlock.h"

#include <string>

namespace GT {

// A module's version block; the program and its libraries share one.
using ModuleHandle = const platform::CVersionBlock*;

// "" without a module, or when the block has no such string.
std::string ReadVersionString(ModuleHandle module, const std::string& name);
std::string ReadExecutableVersionString(const std::string& name);
// The module that holds the program's resources: the program itself, since its
// libraries are linked in and carry no version block of their own.
ModuleHandle GetInstanceModuleState();
// The block of the module that holds the program's resources (the About box reads it).
std::string ReadModuleVersionString(const std::string& name);

// Writes the program's "FileVersion" to "Version"/"FileVersion" in the settings.
void StoreFileVersion();
// What StoreFileVersion last wrote; "" before the first time.
std::string GetStoredFileVersion();

}  // namespace GT
