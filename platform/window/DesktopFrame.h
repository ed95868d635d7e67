#pragma once
// What the desktop's window manager will add around a top-level window (title bar and borders) before
// the window is first shown, as the window manager announces it on X11.
class QWidget;

namespace platform {

struct FrameMargins {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Asks the running window manager for the frame it gives a window of that one's kind and decorations
// (_NET_REQUEST_FRAME_EXTENTS) and waits a moment for its answer (_NET_FRAME_EXTENTS), in the toolkit's
// device-independent pixels. It asks about a hidden window of its own: the toolkit places a window that
// has not been made yet by its frame, as the placements of the layer mean, and one made by its client
// area. False when there is no window manager that answers, or no X11 display.
bool AskFrameMargins(const QWidget* like, FrameMargins& margins);

}  // namespace platform
