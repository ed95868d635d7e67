#pragma once
// A font as the layer makes it: face, size in pixels and attributes.
#include "platform/window/Geometry.h"

#include <string>

namespace platform {

struct FontSpec {
    std::string face;
    // Height of the characters without internal leading, in pixels; 0 takes the desktop's size.
    int pixelHeight = 0;
    int weight = 400;  // 100 thin .. 400 normal .. 700 bold .. 900 black
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int angleTenths = 0;  // text direction, tenths of a degree counter-clockwise
    bool operator==(const FontSpec& o) const {
        return face == o.face && pixelHeight == o.pixelHeight && weight == o.weight && italic == o.italic
               && underline == o.underline && strikeOut == o.strikeOut && angleTenths == o.angleTenths;
    }
};

struct FontMetrics {
    int height = 0;  // ascent + descent
    int ascent = 0;
    int averageWidth = 0;  // average character width, the base of dialog units
    int maxWidth = 0;      // widest character
};

// The desktop's font for dialogs and controls.
FontSpec DefaultGuiFont();
FontMetrics MeasureFont(const FontSpec& font);
// Width and height of a single line of text (UTF-8) in the font.
Size MeasureText(const FontSpec& font, const std::string& utf8);

class Window;
// Shows the font chooser (not the desktop's native one), with a colour button when a colour is given;
// true with the chosen font (and colour) on OK.
bool ChooseFont(Window* owner, FontSpec& font, Colour* colour = nullptr);

}  // namespace platform
