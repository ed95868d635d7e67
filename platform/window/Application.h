#pragma once
// The window system of the process: starting it, pumping its events, the main window, the main loop.
#include "platform/window/Geometry.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

class Window;

// Starts the toolkit once; later calls do nothing. False when no display can be opened.
bool StartWindowSystem();
bool IsWindowSystemStarted();

// Handles every event that is waiting and returns when none is left.
void ProcessEvents();
// Runs the main loop until QuitMainLoop; answers its code.
int RunMainLoop();
// Ends the running main loop; nothing when it does not run.
void QuitMainLoop(int code);

// The program's idle work (updating menus and buttons): runs each time the main loop has handled what
// waited. While a window runs a loop of its own (Window::RunModal, RunLoop) that window hears
// Window::OnIdle instead, and while a message box or chooser runs nothing does. An empty handler
// removes it.
void SetIdleHandler(std::function<void()> handler);
// What the loop does when it has handled what waited (tests call it to stand in for the loop).
void RunIdleWork();

// The title message boxes carry and the progress dialog starts with.
void SetApplicationTitle(const std::string& title);
std::string ApplicationTitle();

// The toolkit follows the program's language (UserLanguage): in Japanese its own texts (message box
// buttons, the file chooser) come from its Japanese translations and the dialog font is a
// proportional Japanese font; in English the toolkit's own texts and font. Answers whether the
// toolkit's translations were found (always true in English).
bool ApplyUserLanguage();
// The families the dialog font takes in Japanese, the first installed first.
const std::vector<std::string>& JapaneseUiFontFamilies();

void SetMainWindow(Window* window);
Window* MainWindow();
// Our window that is active (has the keyboard), or null.
Window* ActiveWindow();
// Our visible top-level windows, oldest first.
std::vector<Window*> VisibleTopLevelWindows();
// Restores the main window when minimised and brings it, or the dialog it is waiting on, to the front:
// what a second instance asks of the first.
void RaiseMainWindow();

Size ScreenSize();
// The available area (without the desktop's panels) of the screen that holds the largest part of the
// rectangle, or of the screen nearest to it when none holds any; empty without a display.
Rect WorkAreaFor(const Rect& area);
// The width of a vertical scroll bar and the height of a horizontal one, in pixels.
int VerticalScrollBarWidth();
int HorizontalScrollBarHeight();

}  // namespace platform
