#include "ui/FontEx.h"

#include "general_tools/Profile.h"
#include "general_tools/StringFunctions.h"

#include <cstdio>
#include <cstdlib>

namespace UL {

namespace {
constexpr size_t kMaxFaceName = 31;
}

bool CLogFont::operator==(const CLogFont& o) const {
    return height == o.height && width == o.width && escapement == o.escapement && orientation == o.orientation
           && weight == o.weight && italic == o.italic && underline == o.underline && strikeOut == o.strikeOut
           && charSet == o.charSet && outPrecision == o.outPrecision && clipPrecision == o.clipPrecision
           && quality == o.quality && pitchAndFamily == o.pitchAndFamily && faceName == o.faceName;
}

platform::FontSpec ToFontSpec(const CLogFont& logFont) {
    platform::FontSpec described;
    described.face = logFont.faceName;
    described.pixelHeight = logFont.height < 0 ? -logFont.height : logFont.height;
    described.weight = logFont.weight > 0 ? logFont.weight : 400;
    described.italic = logFont.italic != 0;
    described.underline = logFont.underline != 0;
    described.strikeOut = logFont.strikeOut != 0;
    described.angleTenths = logFont.escapement;
    return described;
}

CLogFont StockGuiLogFont() {
    const platform::FontSpec gui = platform::DefaultGuiFont();
    CLogFont logFont;
    logFont.height = -gui.pixelHeight;
    logFont.weight = gui.weight;
    logFont.italic = gui.italic ? 1 : 0;
    logFont.underline = gui.underline ? 1 : 0;
    logFont.strikeOut = gui.strikeOut ? 1 : 0;
    logFont.charSet = 0;
    logFont.outPrecision = 0;
    logFont.clipPrecision = 0;
    logFont.quality = 0;
    logFont.pitchAndFamily = 0;
    logFont.faceName = gui.face.substr(0, kMaxFaceName);
    return logFont;
}

std::string FormatFontAttributes(const CLogFont& f) {
    char text[160];
    std::snprintf(text, sizeof text, "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", f.height, f.width, f.escapement,
                  f.orientation, f.weight, f.italic, f.underline, f.strikeOut, f.charSet, f.outPrecision,
                  f.clipPrecision, f.quality, f.pitchAndFamily);
    return text;
}

void ParseFontAttributes(const std::string& text, CLogFont& f) {
    int n[13] = {};
    const int count = std::sscanf(text.c_str(), "%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3],
                                  &n[4], &n[5], &n[6], &n[7], &n[8], &n[9], &n[10], &n[11], &n[12]);
    const CLogFont stock = count < 5 ? StockGuiLogFont() : CLogFont();
    const int32_t first[5] = {stock.height, stock.width, stock.escapement, stock.orientation, stock.weight};
    int32_t* fields[5] = {&f.height, &f.width, &f.escapement, &f.orientation, &f.weight};
    uint8_t* bytes[8] = {&f.italic,       &f.underline,     &f.strikeOut, &f.charSet,
                         &f.outPrecision, &f.clipPrecision, &f.quality,   &f.pitchAndFamily};
    for (int i = 0; i < 5; ++i) *fields[i] = i < count ? n[i] : first[i];
    for (int i = 5; i < count && i < 13; ++i) *bytes[i - 5] = uint8_t(n[i] & 0xFF);
}

bool CFontEx::CreateFontIndirect(const CLogFont& logFont) {
    m_logFont = logFont;
    m_logFont.faceName = m_logFont.faceName.substr(0, kMaxFaceName);
    m_hasFont = true;
    return true;
}

int CFontEx::ChooseFont(int, platform::Window* owner) {
    const CLogFont current = m_hasFont ? m_logFont : StockGuiLogFont();
    platform::FontSpec described = ToFontSpec(current);
    platform::Colour colour = platform::Colour::FromRgbWord(m_color);
    if (!platform::ChooseFont(owner, described, &colour)) return 2;
    m_color = colour.ToRgbWord();
    CLogFont chosen = current;
    chosen.height = -described.pixelHeight;
    chosen.width = 0;
    chosen.weight = described.weight;
    chosen.italic = described.italic ? 1 : 0;
    chosen.underline = described.underline ? 1 : 0;
    chosen.strikeOut = described.strikeOut ? 1 : 0;
    chosen.faceName = described.face;
    CreateFontIndirect(chosen);
    return 1;
}

void CFontEx::Load(const std::string& section, const std::string& prefix) {
    if (m_hasFont) return;
    const std::string face = GT::GetAppProfileString(section, prefix + "FaceName", "");
    const std::string attributes = GT::GetAppProfileString(section, prefix + "Attribute", "");
    CLogFont logFont;
    if (!face.empty() && !attributes.empty()) {
        logFont.faceName = face.substr(0, kMaxFaceName);
        ParseFontAttributes(attributes, logFont);
    } else {
        logFont = StockGuiLogFont();
    }
    CreateFontIndirect(logFont);
    const std::string color = GT::GetAppProfileString(section, prefix + "Color", "0");
    m_color = uint32_t(GT::ParseInt(color));
}

void CFontEx::Save(const std::string& section, const std::string& prefix) const {
    if (!m_hasFont) return;
    GT::WriteAppProfileString(section, prefix + "FaceName", m_logFont.faceName);
    GT::WriteAppProfileString(section, prefix + "Attribute", FormatFontAttributes(m_logFont));
    GT::WriteAppProfileString(section, prefix + "Color", std::to_string(int32_t(m_color)));
}

}  // namespace UL
