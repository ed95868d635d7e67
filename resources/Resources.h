#pragma once
// The program's resources: string tables and the main menu in English and Japanese, accelerator
// tables, dialog templates, the program icon; and the pictures of the "Script" folder, which the build
// draws into files beside the program.
#include "resources/ResourceIds.h"

#include <string>
#include <vector>

namespace resources {

// Registers every resource with the window layer and the user-interface library; later calls do
// nothing.
void RegisterProgramResources();

// The picture files of the "Script" folder: the nine button strips and the vendor logo.
struct ScriptPicture {
    const char* file;
    const char* label;
    int states;  // 8 for a toggle button, 4 for a push button, 1 for the logo
};
const std::vector<ScriptPicture>& ScriptPictures();

// The size of one state of a button strip; the strip holds its states side by side, left to right.
inline constexpr int kButtonWidth = 64;
inline constexpr int kButtonHeight = 56;
inline constexpr int kLogoWidth = 150;
inline constexpr int kLogoHeight = 36;

// Draws every picture of ScriptPictures into the folder (made when missing); false when one cannot be
// written. Needs the window system.
bool WriteScriptPictures(const std::string& folder);

}  // namespace resources
