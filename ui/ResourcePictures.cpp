#include "ui/ResourcePictures.h"

#include <map>

namespace UL {

namespace {

std::map<int, platform::Image>& IconRegistry() {
    static std::map<int, platform::Image> icons;
    return icons;
}

// A small window: frame, blue title bar, white body; corners left transparent.
platform::Image DrawApplicationIcon() {
    constexpr int kSize = 32;
    platform::Image icon(kSize, kSize, true);
    const uint32_t frame = 0xFF202020u, title = 0xFF2050C0u, body = 0xFFFFFFFFu;
    for (int y = 2; y < kSize - 2; ++y) {
        for (int x = 1; x < kSize - 1; ++x) {
            const bool edge = y == 2 || y == kSize - 3 || x == 1 || x == kSize - 2;
            icon.SetPixel(x, y, edge ? frame : (y < 9 ? title : body));
        }
    }
    return icon;
}

// The spin button's arrows: a triangle up over a triangle down, 7 pixels wide.
platform::Image DrawSpinBitmap(int rows, uint32_t upColour, uint32_t downColour, uint32_t back) {
    platform::Image bitmap(7, rows, false);
    bitmap.Fill(back);
    for (int i = 0; i < 3; ++i) {
        for (int x = 3 - i; x <= 3 + i; ++x) {
            bitmap.SetPixel(x, i, upColour);
            bitmap.SetPixel(x, rows - 1 - i, downColour);
        }
    }
    return bitmap;
}

}  // namespace

platform::Image LoadIconResource(int id) {
    if (id == -1) return DrawApplicationIcon();
    auto found = IconRegistry().find(id);
    return found == IconRegistry().end() ? platform::Image() : found->second;
}

void RegisterIconResource(int id, const platform::Image& icon) { IconRegistry()[id] = icon; }

platform::Image LoadBitmapResource(int id) {
    const uint32_t black = 0xFF000000u, grey = 0xFF808080u, face = 0xFFC0C0C0u, lit = 0xFF0000FFu;
    switch (id) {
        case 26628:
            return DrawSpinBitmap(7, black, black, face);
        case 26627:
            return DrawSpinBitmap(7, lit, black, face);
        case 26626:
            return DrawSpinBitmap(7, black, lit, face);
        case 26625:
            return DrawSpinBitmap(8, grey, grey, face);
        default:
            return platform::Image();
    }
}

bool LoadCursorResource(int id, platform::Cursor& cursor) {
    if (id < 26629 || id > 26643) return false;
    // An arrow outlined in black and filled white, with the cursor's number as a 4-bit mark below it,
    // so that each of these cursors can be told apart.
    std::array<uint32_t, 32> shape{}, white{};
    for (int y = 0; y < 16; ++y) {
        const uint32_t width = uint32_t(y / 2 + 1);
        shape[size_t(y)] = ~0u << (32 - width);
        white[size_t(y)] = width > 2 ? (~0u << (32 - width + 1)) & ~(0x80000000u) : 0u;
    }
    const int mark = id - 26629 + 1;
    for (int bit = 0; bit < 4; ++bit) {
        if (mark & (1 << bit)) {
            for (int y = 18; y < 21; ++y) shape[size_t(y)] |= 0x70000000u >> (bit * 4);
        }
    }
    cursor = platform::Cursor::FromBits(shape, white, platform::Point{0, 0});
    return true;
}

}  // namespace UL
