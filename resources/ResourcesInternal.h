#pragma once
// The parts of the resources library that RegisterProgramResources puts together.
#include "platform/window/Image.h"
#include "resources/Resources.h"

namespace resources {

void RegisterStringsAndMenus();
void RegisterDialogTemplates();
// The program icon: a memory card with a note on it.
platform::Image DrawProgramIcon(int size);

}  // namespace resources
