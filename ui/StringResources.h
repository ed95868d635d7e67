#pragma once
// The program's string resources, in the program's language.
#include <string>

namespace UL {

// The string of the program's language, the English one where that language has none, else the
// fallback.
std::string LoadString(int id, const std::string& fallback = std::string());

}  // namespace UL
