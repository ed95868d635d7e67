#pragma once
// Pictures and cursors that the library names by resource number. Those that no file holds are drawn
// here; the application registers its own (such as its program icon) at start-up.
#include "platform/window/Cursor.h"
#include "platform/window/Image.h"

namespace UL {

// An icon by resource id; -1 is the desktop's generic application icon (drawn here).
// Empty when nothing is registered under the id.
platform::Image LoadIconResource(int id);
void RegisterIconResource(int id, const platform::Image& icon);

// The library's small bitmaps: 26628 spin button, 26627 spinning up, 26626 spinning down (7 x 7),
// 26625 disabled (7 x 8). Empty for other ids.
platform::Image LoadBitmapResource(int id);

// The library's 32 x 32 two-colour cursors 26629 to 26643; false for other ids.
bool LoadCursorResource(int id, platform::Cursor& cursor);

}  // namespace UL
