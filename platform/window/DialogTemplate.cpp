#include "platform/window/DialogTemplate.h"

#include <map>

namespace platform {

namespace {
std::map<int, DialogTemplate>& Templates() {
    static std::map<int, DialogTemplate> templates;
    return templates;
}
}  // namespace

void RegisterDialogTemplate(int id, const DialogTemplate& dialogTemplate) { Templates()[id] = dialogTemplate; }

const DialogTemplate* FindDialogTemplate(int id) {
    auto found = Templates().find(id);
    return found == Templates().end() ? nullptr : &found->second;
}

}  // namespace platform
