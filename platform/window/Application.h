#pragma once
// The window system of the process: starting it, pumping its events, the main window, the main loop.
#include "platform/window/Geometry.h"

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
void QuitMainLoop(int code);

// The title message boxes carry and the progress dialog starts with.
void SetApplicationTitle(const std::string& title);
std::string ApplicationTitle();

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
// The width of a vertical scroll bar and the height of a horizontal one, in pixels.
int VerticalScrollBarWidth();
int HorizontalScrollBarHeight();

}  // namespace platform
