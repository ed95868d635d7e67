#include "general_tools/GraphicDataMaker.h"

#include "general_tools/CharacterCodeConverter.h"
#include "platform/system/TextRasterizer.h"

namespace GT {

namespace {
constexpr size_t kPictureRows = 12;
}

std::vector<uint8_t> AGraphicDataMaker::MakeTextBitmap(const std::string& utf8Text) {
    return PackRows(RenderTextBitmap(GetCharacterCodeConverter().FromUtf8(utf8Text)));
}

std::vector<uint8_t> AGraphicDataMaker::PackRows(const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> packed;
    size_t width = pixels.size() / kPictureRows;
    if (width == 0) width = pixels.size();  // fewer than 12 pixels: one row
    packed.reserve((width + 7) / 8 * kPictureRows);
    std::vector<uint8_t> group;
    group.reserve(8);
    size_t column = 0;
    for (uint8_t p : pixels) {
        group.push_back(p);
        ++column;
        const bool rowEnds = column == width;
        if (group.size() == 8 || rowEnds) {
            packed.push_back(PackPixels(group));
            group.clear();
        }
        if (rowEnds) column = 0;
    }
    if (!group.empty()) packed.push_back(PackPixels(group));
    return packed;
}

uint8_t AGraphicDataMaker::PackPixels(const std::vector<uint8_t>& group) {
    unsigned byte = 0;
    for (size_t i = 0; i < 8; ++i) {
        byte <<= 1;
        if (i < group.size()) byte += group[i];
    }
    return static_cast<uint8_t>(byte);
}

std::vector<uint8_t> CGraphicDataMaker::RenderTextBitmap(const std::u16string& text) {
    if (text.empty()) return {};
    return platform::TextRasterizer::Instance().Render(platform::Utf16ToCodePoints(text)).pixels;
}

namespace {
AGraphicDataMaker* g_installedMaker = nullptr;
}

AGraphicDataMaker& GetGraphicDataMaker() {
    if (g_installedMaker != nullptr) return *g_installedMaker;
    static CGraphicDataMaker maker;
    return maker;
}

void SetGraphicDataMaker(AGraphicDataMaker* maker) { g_installedMaker = maker; }

}  // namespace GT
