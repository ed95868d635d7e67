#include "ui/StringResources.h"

#include "platform/window/Resources.h"

namespace UL {

std::string LoadString(int id, const std::string& fallback) {
    std::string text;
    return platform::LoadResourceString(id, text) ? text : fallback;
}

}  // namespace UL
