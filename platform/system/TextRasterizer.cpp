#include "platform/system/TextRasterizer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <mutex>

namespace platform {

namespace {

// The baseline sits on row 9: nine rows of ascent and three of descent. Pixel sizes
// chosen so that each face's ink stays within those rows (DejaVu's accents and
// descenders, IPAGothic's full-height kanji).
constexpr int kBaseline = 9;
constexpr unsigned kLatinPixels = 10;
constexpr unsigned kJapanesePixels = 11;

std::string FindFontFile(FcConfig* config, const char* family) {
    std::string path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (!pattern) return path;
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}

}  // namespace

struct TextRasterizer::Fonts {
    FT_Library library = nullptr;
    FT_Face latin = nullptr;
    FT_Face japanese = nullptr;
    // FreeType faces are not thread-safe; the user-interface thread is the only
    // caller, but a lock keeps a stray caller from corrupting the glyph slot.
    std::mutex lock;

    FT_Face Open(FcConfig* config, const char* family, unsigned pixels) {
        std::string file = FindFontFile(config, family);
        FT_Face face = nullptr;
        if (file.empty() || FT_New_Face(library, file.c_str(), 0, &face) != 0) return nullptr;
        if (FT_Set_Pixel_Sizes(face, 0, pixels) != 0) {
            FT_Done_Face(face);
            return nullptr;
        }
        return face;
    }
};

TextRasterizer& TextRasterizer::Instance() {
    static TextRasterizer instance;
    return instance;
}

TextRasterizer::TextRasterizer() : m_fonts(new Fonts) {
    if (FT_Init_FreeType(&m_fonts->library) != 0) {
        m_fonts->library = nullptr;
        return;
    }
    // A configuration of our own, released once the two font files are known, so
    // the toolkit's fontconfig state is left alone.
    FcConfig* config = FcInitLoadConfigAndFonts();
    m_fonts->latin = m_fonts->Open(config, "DejaVu Sans", kLatinPixels);
    m_fonts->japanese = m_fonts->Open(config, "IPAGothic", kJapanesePixels);
    if (config) FcConfigDestroy(config);
}

TextRasterizer::~TextRasterizer() {
    if (m_fonts->latin) FT_Done_Face(m_fonts->latin);
    if (m_fonts->japanese) FT_Done_Face(m_fonts->japanese);
    if (m_fonts->library) FT_Done_FreeType(m_fonts->library);
    delete m_fonts;
}

bool TextRasterizer::HasFont() const { return m_fonts->latin || m_fonts->japanese; }

TextRasterizer::Picture TextRasterizer::Render(const std::u32string& text) const {
    Picture picture;
    if (text.empty()) return picture;
    std::lock_guard<std::mutex> guard(m_fonts->lock);

    struct Glyph {
        FT_Face face;
        FT_UInt index;
        int x;
    };
    std::vector<Glyph> glyphs;
    glyphs.reserve(text.size());
    int pen = 0;
    for (char32_t c : text) {
        if (c < 0x20 || c == 0x7F) continue;  // line breaks and other controls draw nothing
        FT_Face face = m_fonts->latin;
        FT_UInt index = face ? FT_Get_Char_Index(face, c) : 0;
        if (index == 0 && m_fonts->japanese) {
            FT_UInt other = FT_Get_Char_Index(m_fonts->japanese, c);
            if (other != 0 || !face) {
                face = m_fonts->japanese;
                index = other;
            }
        }
        if (!face) {
            pen += static_cast<int>(kLatinPixels) / 2;
            continue;
        }
        if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) != 0) continue;
        glyphs.push_back({face, index, pen});
        pen += static_cast<int>((face->glyph->advance.x + 32) >> 6);
    }
    picture.width = std::max(pen, 0);
    picture.pixels.assign(static_cast<size_t>(picture.width) * kRows, 0);

    for (const Glyph& g : glyphs) {
        if (FT_Load_Glyph(g.face, g.index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) continue;
        FT_GlyphSlot slot = g.face->glyph;
        if (slot->format != FT_GLYPH_FORMAT_BITMAP) continue;
        const FT_Bitmap& bmp = slot->bitmap;
        const int left = g.x + slot->bitmap_left;
        const int top = kBaseline - slot->bitmap_top;
        for (unsigned row = 0; row < bmp.rows; ++row) {
            const int y = top + static_cast<int>(row);
            if (y < 0 || y >= kRows) continue;
            const unsigned char* line = bmp.buffer + static_cast<ptrdiff_t>(row) * bmp.pitch;
            for (unsigned col = 0; col < bmp.width; ++col) {
                const int x = left + static_cast<int>(col);
                if (x < 0 || x >= picture.width) continue;
                bool ink;
                if (bmp.pixel_mode == FT_PIXEL_MODE_MONO)
                    ink = (line[col >> 3] >> (7 - (col & 7))) & 1;
                else
                    ink = line[col] >= 128;  // a face with embedded grey bitmaps
                if (ink) picture.pixels[static_cast<size_t>(y) * picture.width + x] = 1;
            }
        }
    }
    return picture;
}

std::u32string Utf16ToCodePoints(const std::u16string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(0xFFFD);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

}  // namespace platform
