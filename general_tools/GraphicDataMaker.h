// The 1-bit picture, 12 pixels high, in which the player shows a song's name.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace GT {

class AGraphicDataMaker {
public:
    // Renders a UTF-8 text and packs it 8 pixels to a byte, row by row.
    virtual std::vector<uint8_t> MakeTextBitmap(const std::string& utf8Text);
    // One byte per pixel, 1 black, rows top to bottom; empty for an empty text.
    virtual std::vector<uint8_t> RenderTextBitmap(const std::u16string& text) = 0;

    // Rows are pixel count / 12 wide; each row packs into ceil(width / 8) bytes,
    // first pixel in bit 7, the last byte padded with 0 bits.
    static std::vector<uint8_t> PackRows(const std::vector<uint8_t>& pixels);
    // Up to 8 pixel bytes into one byte, first pixel in bit 7, missing pixels 0.
    static uint8_t PackPixels(const std::vector<uint8_t>& group);

protected:
    ~AGraphicDataMaker() = default;
};

class CGraphicDataMaker : public AGraphicDataMaker {
public:
    std::vector<uint8_t> RenderTextBitmap(const std::u16string& text) override;
};

// The process-wide renderer: the installed one, else the font renderer.
AGraphicDataMaker& GetGraphicDataMaker();
// Installs a renderer in place of the font renderer (tests); null restores it. The caller
// keeps ownership.
void SetGraphicDataMaker(AGraphicDataMaker* maker);

}  // namespace GT
