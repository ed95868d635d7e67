#include "resources/Resources.h"

#include "resources/ResourcesInternal.h"
#include "ui/ResourcePictures.h"

namespace resources {

namespace {
constexpr int kIconSize = 32;
}

void RegisterProgramResources() {
    static const bool registered = [] {
        RegisterStringsAndMenus();
        RegisterDialogTemplates();
        UL::RegisterIconResource(IDR_MAINFRAME, DrawProgramIcon(kIconSize));
        return true;
    }();
    (void)registered;
}

}  // namespace resources
