#pragma once
// A font with a colour that keeps itself in the application profile.
#include "platform/window/Font.h"

#include <cstdint>
#include <string>

namespace platform {
class Window;
}

namespace UL {

// The font description the profile stores: thirteen numbers and a face name.
struct CLogFont {
    int32_t height = 0;  // negative: character height in pixels; positive: cell height
    int32_t width = 0;
    int32_t escapement = 0;
    int32_t orientation = 0;
    int32_t weight = 0;
    uint8_t italic = 0;
    uint8_t underline = 0;
    uint8_t strikeOut = 0;
    uint8_t charSet = 128;
    uint8_t outPrecision = 3;
    uint8_t clipPrecision = 2;
    uint8_t quality = 0;
    uint8_t pitchAndFamily = 49;
    std::string faceName;  // at most 31 characters
    bool operator==(const CLogFont& o) const;
};

platform::FontSpec ToFontSpec(const CLogFont& logFont);
// The desktop's dialog font as a description.
CLogFont StockGuiLogFont();
// "height,width,...,quality" as the profile keeps them.
std::string FormatFontAttributes(const CLogFont& logFont);
// Reads what FormatFontAttributes writes into the description; numbers that are missing from the
// first five take the stock font's values, the byte fields keep what they hold.
void ParseFontAttributes(const std::string& text, CLogFont& logFont);

class CFontEx {
public:
    bool HasFont() const { return m_hasFont; }
    const CLogFont& GetLogFont() const { return m_logFont; }
    platform::FontSpec GetFontSpec() const { return ToFontSpec(m_logFont); }
    bool CreateFontIndirect(const CLogFont& logFont);
    void DeleteObject() { m_hasFont = false; }
    uint32_t GetColor() const { return m_color; }
    void SetColor(uint32_t color) { m_color = color; }

    // Shows the font chooser with this font; on OK takes the chosen font. Answers 1 (OK) or 2 (Cancel).
    int ChooseFont(int flags, platform::Window* owner = nullptr);
    // Only while no font exists: from prefix + "FaceName", "Attribute" and "Color" of the section.
    void Load(const std::string& section, const std::string& prefix);
    // Only while a font exists.
    void Save(const std::string& section, const std::string& prefix) const;

private:
    bool m_hasFont = false;
    CLogFont m_logFont;
    uint32_t m_color = 0;
};

}  // namespace UL
