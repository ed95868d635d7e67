// Renders one line of text as black-and-white pixels, exactly 12 rows high, for
// the player's song-name picture. FreeType in monochrome mode with fontconfig's
// fonts: DejaVu Sans first, IPAGothic for characters it lacks (kana, kanji).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class TextRasterizer {
public:
    static constexpr int kRows = 12;

    struct Picture {
        int width = 0;                // pixels per row
        std::vector<uint8_t> pixels;  // width * kRows bytes, 1 black, 0 white, top row first
    };

    // The process-wide rasterizer; fonts are loaded on first use.
    static TextRasterizer& Instance();

    // UTF-32 code points; control characters (line breaks among them) draw nothing
    // and take no room. Ink above the top row or below the bottom row is clipped.
    Picture Render(const std::u32string& text) const;

    // False when no font could be loaded; Render then gives blank pictures of the
    // text's width in nominal cells.
    bool HasFont() const;

    TextRasterizer(const TextRasterizer&) = delete;
    TextRasterizer& operator=(const TextRasterizer&) = delete;

private:
    TextRasterizer();
    ~TextRasterizer();
    struct Fonts;
    Fonts* m_fonts;
};

// Decodes UTF-16 into code points; an unpaired surrogate becomes U+FFFD.
std::u32string Utf16ToCodePoints(const std::u16string& text);

}  // namespace platform
