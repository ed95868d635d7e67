// The pictures that the program shows, drawn here: the program icon, the button strips of the main
// form and the vendor logo of the ripping dialog. Each button strip holds its states side by side in
// the order the buttons draw them: a push button normal, pressed, disabled, focused; a toggle button
// normal, pressed, checked, checked and pressed, disabled, disabled and checked, focused, focused and
// checked.
#include "resources/ResourcesInternal.h"

#include "platform/window/Controls.h"
#include "platform/window/DrawContext.h"
#include "platform/window/Font.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace resources {

namespace {

using platform::Colour;
using platform::DrawContext;
using platform::PointF;
using platform::RectF;

// How one state of a button looks.
struct TileLook {
    Colour top, bottom, border, ink;
    double offset = 0;  // pressed: the symbol and label move down and right
    Colour ring{};      // focus ring
    bool hasRing = false;
};

constexpr Colour kSlate{47, 75, 110};

TileLook NormalLook() { return {{251, 252, 254}, {218, 225, 233}, {150, 162, 176}, kSlate}; }
TileLook PressedLook() { return {{196, 206, 218}, {226, 231, 237}, {120, 134, 150}, kSlate, 1}; }
TileLook DisabledLook() { return {{244, 244, 244}, {230, 230, 230}, {200, 200, 200}, {170, 170, 170}}; }
TileLook CheckedLook() { return {{96, 158, 216}, {44, 106, 164}, {33, 84, 134}, {255, 255, 255}}; }
TileLook CheckedPressedLook() { return {{40, 98, 154}, {70, 130, 192}, {28, 72, 116}, {255, 255, 255}, 1}; }
TileLook CheckedDisabledLook() { return {{204, 217, 230}, {180, 196, 213}, {160, 178, 197}, {240, 244, 248}}; }

TileLook WithRing(TileLook look, Colour ring) {
    look.ring = ring;
    look.hasRing = true;
    return look;
}

// The states of a strip, in the order the buttons index them.
std::vector<TileLook> StripLooks(int states) {
    const Colour focus{59, 130, 196}, focusOnBlue{255, 214, 102};
    if (states == 4) return {NormalLook(), PressedLook(), DisabledLook(), WithRing(NormalLook(), focus)};
    return {NormalLook(),
            PressedLook(),
            CheckedLook(),
            CheckedPressedLook(),
            DisabledLook(),
            CheckedDisabledLook(),
            WithRing(NormalLook(), focus),
            WithRing(CheckedLook(), focusOnBlue)};
}

// A symbol drawn around the centre (x, y) of its 28-pixel box in the ink colour; `back` is the
// tile's colour behind it, for cut-outs.
using Symbol = std::function<void(DrawContext&, double x, double y, Colour ink, Colour back)>;

void Arrow(DrawContext& dc, double x, double top, double bottom, Colour ink, bool down) {
    const double tip = down ? bottom : top, tail = down ? top : bottom, head = down ? -5.5 : 5.5;
    dc.StrokeLines({{x, tail}, {x, tip + head * 0.6}}, 3, ink);
    dc.FillPolygon({{x - 6, tip + head}, {x + 6, tip + head}, {x, tip}}, ink);
}

void Tray(DrawContext& dc, double x, double y, Colour ink) {
    dc.StrokeLines({{x - 11, y + 2}, {x - 11, y + 10}, {x + 11, y + 10}, {x + 11, y + 2}}, 2.5, ink);
}

void Disc(DrawContext& dc, double x, double y, double radius, Colour ink, Colour back) {
    dc.FillEllipse(RectF{x - radius, y - radius, x + radius, y + radius}, ink);
    const double hole = radius * 0.32;
    dc.FillEllipse(RectF{x - hole, y - hole, x + hole, y + hole}, back);
    dc.StrokeArc(RectF{x - radius * 0.68, y - radius * 0.68, x + radius * 0.68, y + radius * 0.68}, 100, 70, 1.2, back,
                 160);
}

void Note(DrawContext& dc, double x, double y, double scale, Colour ink) {
    dc.FillEllipse(RectF{x - 7 * scale, y + 5 * scale, x + 1 * scale, y + 11 * scale}, ink);
    dc.StrokeLines({{x + 0.2 * scale, y + 8 * scale}, {x + 0.2 * scale, y - 11 * scale}}, 2.2 * scale, ink);
    dc.StrokeLines(
        {{x + 0.2 * scale, y - 11 * scale}, {x + 6 * scale, y - 6 * scale}, {x + 6.5 * scale, y - 1 * scale}},
        2.2 * scale, ink);
}

const Symbol kRipping = [](DrawContext& dc, double x, double y, Colour ink, Colour back) {
    Disc(dc, x - 3, y - 2, 11, ink, back);
    // An arrow out of the disc, down into the card.
    dc.FillEllipse(RectF{x + 3, y + 1, x + 15, y + 13}, back);
    Arrow(dc, x + 9, y + 1, y + 13, ink, true);
};

const Symbol kImport = [](DrawContext& dc, double x, double y, Colour ink, Colour) {
    Tray(dc, x, y, ink);
    Arrow(dc, x, y - 12, y + 7, ink, true);
};

const Symbol kExport = [](DrawContext& dc, double x, double y, Colour ink, Colour) {
    Tray(dc, x, y, ink);
    Arrow(dc, x, y - 12, y + 7, ink, false);
};

const Symbol kDelete = [](DrawContext& dc, double x, double y, Colour ink, Colour) {
    dc.StrokeLines({{x - 10, y - 8}, {x + 10, y - 8}}, 2.5, ink);
    dc.StrokeLines({{x - 3, y - 8}, {x - 3, y - 11}, {x + 3, y - 11}, {x + 3, y - 8}}, 2, ink);
    dc.StrokeLines({{x - 8, y - 5}, {x - 6.5, y + 11}, {x + 6.5, y + 11}, {x + 8, y - 5}}, 2.2, ink);
    for (double dx : {-3.2, 0.0, 3.2}) dc.StrokeLines({{x + dx, y - 2}, {x + dx * 0.9, y + 7.5}}, 1.6, ink);
};

const Symbol kSong = [](DrawContext& dc, double x, double y, Colour ink, Colour) { Note(dc, x + 1, y, 1.0, ink); };

const Symbol kRhythm = [](DrawContext& dc, double x, double y, Colour ink, Colour back) {
    // A drum with two sticks.
    dc.StrokeLines({{x - 9, y - 9}, {x + 1, y - 2}}, 2, ink);
    dc.StrokeLines({{x + 9, y - 9}, {x - 1, y - 2}}, 2, ink);
    dc.FillEllipse(RectF{x - 11, y + 5, x + 11, y + 12}, ink);
    dc.FillPolygon({{x - 11, y - 1.5}, {x + 11, y - 1.5}, {x + 11, y + 8.5}, {x - 11, y + 8.5}}, ink);
    dc.FillEllipse(RectF{x - 11, y - 5, x + 11, y + 2}, back);
    dc.StrokeArc(RectF{x - 11, y - 5, x + 11, y + 2}, 0, 360, 2, ink);
    dc.StrokeLines({{x - 7, y + 3}, {x - 3, y + 9}, {x + 1, y + 3}, {x + 5, y + 9}, {x + 9, y + 3}}, 1.4, back);
};

const Symbol kUser = [](DrawContext& dc, double x, double y, Colour ink, Colour) {
    // A head over rounded shoulders.
    dc.FillEllipse(RectF{x - 5.5, y - 12, x + 5.5, y - 1}, ink);
    std::vector<PointF> shoulders;
    constexpr double kPi = 3.14159265358979;
    for (int i = 0; i <= 16; ++i) {
        const double a = kPi * i / 16;
        shoulders.push_back({x - 11 * std::cos(a), y + 12 - 11 * std::sin(a)});
    }
    dc.FillPolygon(shoulders, ink);
};

const Symbol kWrite = [](DrawContext& dc, double x, double y, Colour ink, Colour back) {
    // An arrow writing into a memory card with a notched corner and its contacts.
    const double l = x - 2, t = y - 9, r = x + 11, b = y + 11;
    dc.FillPolygon({{l, t}, {r - 5, t}, {r, t + 5}, {r, b}, {l, b}}, ink);
    for (int i = 0; i < 3; ++i) {
        const double cx = l + 3 + i * 3.3;
        dc.StrokeLines({{cx, t + 2.5}, {cx, t + 6}}, 1.5, back);
    }
    Arrow(dc, x - 9, y - 12, y + 6, ink, true);
};

const Symbol kDisconnect = [](DrawContext& dc, double x, double y, Colour ink, Colour) {
    // The eject sign.
    dc.FillPolygon({{x - 11, y + 2}, {x + 11, y + 2}, {x, y - 11}}, ink);
    dc.FillPolygon({{x - 11, y + 6}, {x + 11, y + 6}, {x + 11, y + 10}, {x - 11, y + 10}}, ink);
};

const Symbol& SymbolFor(const std::string& file) {
    static const std::vector<std::pair<std::string, const Symbol*>> symbols = {
        {"bn_CD_Ripping.png", &kRipping}, {"bn_Import.png", &kImport}, {"bn_Export.png", &kExport},
        {"bn_Delete.png", &kDelete},      {"bn_Song.png", &kSong},     {"bn_Rhythm.png", &kRhythm},
        {"bn_User.png", &kUser},          {"bn_Write.png", &kWrite},   {"bn_Disconnect.png", &kDisconnect},
    };
    for (const auto& entry : symbols) {
        if (entry.first == file) return *entry.second;
    }
    return kSong;
}

Colour Mix(Colour a, Colour b) {
    return Colour{uint8_t((a.red + b.red) / 2), uint8_t((a.green + b.green) / 2), uint8_t((a.blue + b.blue) / 2)};
}

// A label font that fits the width: the largest of a few sizes.
platform::FontSpec LabelFont(const std::string& text, int width) {
    platform::FontSpec font;
    font.face = "DejaVu Sans";
    font.weight = 700;
    for (int height = 10; height >= 7; --height) {
        font.pixelHeight = height;
        if (platform::MeasureText(font, text).width <= width) break;
    }
    return font;
}

void DrawTile(DrawContext& dc, double left, const TileLook& look, const std::string& label, const Symbol& symbol) {
    const RectF tile{left + 1.5, 1.5, left + kButtonWidth - 1.5, kButtonHeight - 1.5};
    dc.FillRoundRect(tile, 7, look.top, look.bottom);
    dc.StrokeRoundRect(tile, 7, 1, look.border);
    if (look.hasRing) {
        dc.StrokeRoundRect(RectF{tile.left + 2, tile.top + 2, tile.right - 2, tile.bottom - 2}, 5.5, 2, look.ring);
    }
    const double x = left + kButtonWidth / 2.0 + look.offset, y = 20 + look.offset;
    symbol(dc, x, y, look.ink, Mix(look.top, look.bottom));
    const int o = int(look.offset);
    dc.SetFont(LabelFont(label, kButtonWidth - 8));
    dc.SetTextColour(look.ink);
    dc.SetOpaqueBackground(false);
    dc.DrawText(platform::Rect{int(left) + o + 2, 36 + o, int(left) + kButtonWidth + o - 2, kButtonHeight - 4 + o},
                label,
                platform::kTextCentre | platform::kTextVCentre | platform::kTextSingleLine | platform::kTextNoPrefix);
}

platform::Image DrawStrip(const ScriptPicture& picture) {
    platform::Image strip(kButtonWidth * picture.states, kButtonHeight, true);
    strip.Fill(0);
    DrawContext dc(strip);
    const std::vector<TileLook> looks = StripLooks(picture.states);
    for (int i = 0; i < picture.states; ++i) {
        DrawTile(dc, double(i * kButtonWidth), looks[size_t(i)], picture.label, SymbolFor(picture.file));
    }
    return strip;
}

// A neutral mark naming where the disc information comes from: the disc catalogue.
platform::Image DrawLogo() {
    platform::Image logo(kLogoWidth, kLogoHeight, true);
    logo.Fill(0);
    DrawContext dc(logo);
    const Colour paper{250, 250, 246}, ink{60, 72, 88}, accent{196, 120, 40};
    dc.FillRoundRect(RectF{0.5, 0.5, kLogoWidth - 0.5, kLogoHeight - 0.5}, 6, paper, Colour{236, 234, 226});
    dc.StrokeRoundRect(RectF{0.5, 0.5, kLogoWidth - 0.5, kLogoHeight - 0.5}, 6, 1, Colour{180, 176, 164});
    Disc(dc, 18, 18, 12, accent, paper);
    platform::FontSpec title;
    title.face = "DejaVu Sans";
    title.weight = 700;
    title.pixelHeight = 11;
    dc.SetFont(title);
    dc.SetTextColour(ink);
    dc.SetOpaqueBackground(false);
    const int textFormat = platform::kTextSingleLine | platform::kTextNoPrefix | platform::kTextVCentre;
    dc.DrawText(platform::Rect{36, 4, kLogoWidth - 4, 19}, "Disc catalogue", textFormat);
    platform::FontSpec small = title;
    small.weight = 400;
    small.pixelHeight = 9;
    dc.SetFont(small);
    dc.SetTextColour(Colour{110, 118, 128});
    dc.DrawText(platform::Rect{36, 19, kLogoWidth - 4, 32}, "album and track titles", textFormat);
    return logo;
}

bool MakeFolder(const std::string& folder) {
    std::string path;
    for (size_t i = 0; i <= folder.size(); ++i) {
        if (i == folder.size() || (folder[i] == '/' && i > 0)) {
            path = folder.substr(0, i);
            if (mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

}  // namespace

const std::vector<ScriptPicture>& ScriptPictures() {
    static const std::vector<ScriptPicture> pictures = {
        {"bn_CD_Ripping.png", "CD Ripping", 4},
        {"bn_Import.png", "Import", 4},
        {"bn_Export.png", "Export", 4},
        {"bn_Delete.png", "Delete", 4},
        {"bn_Song.png", "Song", 8},
        {"bn_Rhythm.png", "Rhythm", 8},
        {"bn_User.png", "User", 8},
        {"bn_Write.png", "Save", 4},
        {"bn_Disconnect.png", "Disconnect", 8},
        {"tm_logo60s.png", "Disc catalogue", 1},
    };
    return pictures;
}

bool WriteScriptPictures(const std::string& folder) {
    if (!MakeFolder(folder)) return false;
    for (const ScriptPicture& picture : ScriptPictures()) {
        const platform::Image image = picture.states == 1 ? DrawLogo() : DrawStrip(picture);
        if (!image.Save(folder + "/" + picture.file, platform::ImageFileType::Png)) return false;
    }
    return true;
}

platform::Image DrawProgramIcon(int size) {
    platform::Image icon(size, size, true);
    icon.Fill(0);
    DrawContext dc(icon);
    const double s = size / 32.0;
    // A memory card: a notched corner at the top right, contacts along the top, a note on its face.
    const std::vector<PointF> card = {
        {4 * s, 2 * s}, {22 * s, 2 * s}, {28 * s, 8 * s}, {28 * s, 30 * s}, {4 * s, 30 * s}};
    dc.FillPolygon(card, Colour{28, 58, 104});
    dc.FillRoundRect(RectF{5.5 * s, 9 * s, 26.5 * s, 28.5 * s}, 2 * s, Colour{74, 136, 204}, Colour{36, 86, 150});
    for (int i = 0; i < 5; ++i) {
        const double x = (7 + i * 3.2) * s;
        dc.FillPolygon({{x, 3.5 * s}, {x + 2 * s, 3.5 * s}, {x + 2 * s, 7.5 * s}, {x, 7.5 * s}}, Colour{232, 190, 84});
    }
    Note(dc, 16.5 * s, 18 * s, 0.75 * s, Colour{255, 255, 255});
    return icon;
}

}  // namespace resources
