#pragma once
// Plain geometry and colour records of the window layer; no toolkit types leak through them.
#include <cstdint>

namespace platform {

struct Point {
    int x = 0;
    int y = 0;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
    bool operator!=(const Size& o) const { return !(*this == o); }
};

// Edges as the drawing code thinks of them: right and bottom lie just outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    // Limited to the int range: a rectangle read from a settings file may span more.
    int Width() const { return Span(left, right); }
    int Height() const { return Span(top, bottom); }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Intersects(const Rect& o) const {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }

private:
    static int Span(int from, int to) {
        const int64_t span = int64_t(to) - from;
        return span > INT32_MAX ? INT32_MAX : span < INT32_MIN ? INT32_MIN : int(span);
    }
};

// Points and areas of smooth shapes, between pixels.
struct PointF {
    double x = 0;
    double y = 0;
};

struct RectF {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    // The packed word the settings keep: red in the low byte, then green, then blue.
    static Colour FromRgbWord(uint32_t word) {
        return Colour{uint8_t(word & 0xFF), uint8_t((word >> 8) & 0xFF), uint8_t((word >> 16) & 0xFF)};
    }
    uint32_t ToRgbWord() const { return uint32_t(red) | (uint32_t(green) << 8) | (uint32_t(blue) << 16); }
    // The pixel word of an opaque ARGB32 pixel.
    uint32_t ToPixel() const { return 0xFF000000u | (uint32_t(red) << 16) | (uint32_t(green) << 8) | blue; }
    bool operator==(const Colour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

// Colours of the desktop's palette that owner-drawn controls use.
enum class SystemColour { Window, WindowText, Highlight, HighlightText, ButtonFace, ButtonText, GrayText };

}  // namespace platform
