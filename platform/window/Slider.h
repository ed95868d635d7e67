#pragma once
// A slider (a trackbar): a thumb on a line between a minimum and a maximum position. The minimum lies
// at the left of a horizontal slider and at the top of a vertical one. What the user does notifies the
// scroll codes of Controls.h (kNotifyScrollLineUp ... kNotifyScrollEnd).
#include "platform/window/Controls.h"

namespace platform {

class Slider : public Control {
public:
    Slider(Window& parent, int id, bool vertical);

    bool IsVertical() const { return m_vertical; }
    void SetRange(int minimum, int maximum);
    int Minimum() const;
    int Maximum() const;
    // The thumb's position (also while it is dragged).
    void SetPosition(int position);
    int Position() const;
    // How far a line key and a page key or a click beside the thumb move the thumb.
    void SetLineSize(int size);
    void SetPageSize(int size);
    // The thumb in client pixels.
    Rect ThumbRect() const;

private:
    bool m_vertical;
};

}  // namespace platform
