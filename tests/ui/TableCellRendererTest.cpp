// The cell renderers: texts by value type, widths, eliding by whole characters, colours.
#include "general_tools/CharacterCodeConverter.h"
#include "general_tools/Enumerations.h"
#include "platform/window/DrawContext.h"
#include "platform/window/Image.h"
#include "tests/ui/TableTestSupport.h"
#include "ui/TableCellRenderers.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

namespace {

using UL::CCellValue;

class CLevel : public GT::CEnumeration<CLevel> {
public:
    using GT::CEnumeration<CLevel>::CEnumeration;
    static const GT::CStringTable& GetStringTable() {
        static const GT::CStringTable table({{0, "Low"}, {5, "High"}}, {-1, ""});
        return table;
    }
};

TEST(CellRenderers, TextByValueType) {
    const std::vector<std::string> names = {"zero", "one", "two"};
    const std::vector<std::string> none;
    const CLevel high(5);
    struct Case {
        const char* name;
        std::shared_ptr<UL::CDefaultTableCellRenderer> renderer;
        CCellValue value;
        const char* text;
    };
    const Case cases[] = {
        {"string", std::make_shared<UL::CStringTableCellRenderer>(0), CCellValue("Song & Dance"), "Song & Dance"},
        {"wide string", std::make_shared<UL::CStringTableCellRendererW>(1), CCellValue("\xE6\x9B\xB2"), "\xE6\x9B\xB2"},
        {"string of a number", std::make_shared<UL::CStringTableCellRenderer>(0), CCellValue(12), ""},
        {"boolean on", std::make_shared<UL::CBooleanTableCellRenderer>(0, "Off", "On"), CCellValue(true), "On"},
        {"boolean off", std::make_shared<UL::CBooleanTableCellRenderer>(0, "Off", "On"), CCellValue(false), "Off"},
        {"int", std::make_shared<UL::CNumberTableCellRenderer<int>>(0, nullptr, 2), CCellValue(-1234), "-1234"},
        {"int hex", std::make_shared<UL::CNumberTableCellRenderer<int>>(1, nullptr, 2), CCellValue(255), "0xFF"},
        {"int signed hex", std::make_shared<UL::CNumberTableCellRenderer<int>>(2, nullptr, 2), CCellValue(-255),
         "-0xFF"},
        {"long", std::make_shared<UL::CNumberTableCellRenderer<long>>(0, nullptr, 2), CCellValue(2147483647L),
         "2147483647"},
        {"double", std::make_shared<UL::CNumberTableCellRenderer<double>>(0, nullptr, 2), CCellValue(1.5),
         "1.500000000000000"},
        {"int in list", std::make_shared<UL::CNumberTableCellRenderer<int>>(0, &names, 0), CCellValue(1), "one"},
        {"int below list", std::make_shared<UL::CNumberTableCellRenderer<int>>(0, &names, 0), CCellValue(-4), "zero"},
        {"int past list", std::make_shared<UL::CNumberTableCellRenderer<int>>(0, &names, 0), CCellValue(3), "two"},
        {"double in list", std::make_shared<UL::CNumberTableCellRenderer<double>>(0, &names, 0), CCellValue(1.9),
         "one"},
        {"empty list", std::make_shared<UL::CNumberTableCellRenderer<int>>(0, &none, 0), CCellValue(1), ""},
        {"enumeration", std::make_shared<UL::CEnumerationTableCellRenderer>(0), CCellValue(high), "High"},
        {"enumeration of a text", std::make_shared<UL::CEnumerationTableCellRenderer>(0), CCellValue("High"), ""},
    };
    for (const Case& c : cases) {
        c.renderer->SetValue(c.value);
        EXPECT_EQ(c.renderer->GetText(), c.text) << c.name;
    }
    EXPECT_EQ(UL::CStringTableCellRendererW(2).GetFormat(), 0) << "the wide renderer keeps its own format";
    EXPECT_EQ(UL::CStringTableCellRendererW(2).GetWideFormat(), 2);
}

// Ten pixels a character (a UTF-8 sequence or a UTF-16 unit pair), whatever the character.
int Utf8Width(const std::string& text) {
    int characters = 0;
    for (unsigned char byte : text) characters += (byte & 0xC0) != 0x80 ? 1 : 0;
    return characters * 10;
}

int Utf16Width(const std::u16string& text) {
    int characters = 0;
    for (char16_t unit : text) characters += (unit < 0xDC00 || unit > 0xDFFF) ? 1 : 0;
    return characters * 10;
}

TEST(CellRenderers, ElidingKeepsWholeWordsStartsAndDots) {
    const struct {
        const char* text;
        int width;
        int height;
        const char* shown;
    } cases[] = {
        {"abcdef", 80, 20, "abcdef"},                      // 60 + 20 margins fit exactly
        {"abcdef", 79, 20, "ab..."},                       // 20 + 20 + 30 < 79; with "abc" 80 is not
        {"abcdefgh", 99, 20, "abcd..."},                   // 20 + 40 + 30 < 99
        {"abcdef", 81, 21, "abcdef"},                      // an odd height gives even margins
        {"abcdef", 50, 20, "..."},                         // no character fits before the dots
        {"abcdef", 5, 20, "..."},        {"", 5, 20, ""},  // an empty text is never elided
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UL::ElideUtf8(c.text, c.width, c.height, Utf8Width), c.shown)
            << c.text << " in " << c.width << " x " << c.height;
    }
}

// Every beginning the eliding leaves ends on a character boundary, for every cell width.
TEST(CellRenderers, ElidingDropsWholeCharactersNeverPartsOfThem) {
    const std::string utf8 = "a\xC3\xA9\xE6\x9B\xB2\xF0\x9F\x8E\xB5z\xE6\x9B\xB2\xF0\x9F\x8E\xB8";  // aé曲🎵z曲🎸
    const GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    const std::u16string utf16 = converter.FromUtf8(utf8);
    ASSERT_EQ(utf16.size(), 9u) << "two pairs of surrogates";
    for (int width = 0; width <= 140; ++width) {
        const std::string shown = UL::ElideUtf8(utf8, width, 20, Utf8Width);
        ASSERT_GE(shown.size(), 3u);
        const std::string kept = shown == utf8 ? shown : shown.substr(0, shown.size() - 3);
        EXPECT_EQ(utf8.compare(0, kept.size(), kept), 0) << width;
        EXPECT_EQ(converter.ToUtf8(converter.FromUtf8(kept)), kept) << "a cut sequence at width " << width;

        const std::u16string wide = UL::ElideUtf16(utf16, width, 20, Utf16Width);
        const std::u16string wideKept = wide == utf16 ? wide : wide.substr(0, wide.size() - 3);
        ASSERT_FALSE(wideKept.size() > utf16.size());
        if (!wideKept.empty()) {
            const char16_t last = wideKept.back();
            EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << "a lone high surrogate at width " << width;
        }
        EXPECT_EQ(converter.ToUtf8(wideKept), kept) << "both forms keep the same characters at width " << width;
    }
}

TEST(CellRenderers, StrayContinuationBytesCountAsCharactersOfTheirOwn) {
    const std::string text = "ab\x80\x80\x80\x80\x80\x80";
    auto bytes = [](const std::string& t) { return int(t.size()) * 10; };
    EXPECT_EQ(UL::ElideUtf8(text, 69, 0, bytes), "ab\x80...");
}

TEST(CellRenderers, ColourPairs) {
    EXPECT_EQ(UL::LightHighlight(platform::Colour{51, 153, 255}), (platform::Colour{235, 245, 255}));
    EXPECT_EQ(UL::LightHighlight(platform::Colour{0, 0, 0}), (platform::Colour{230, 230, 230}));
    const struct {
        bool enabled, selected, focus, leadEditable;
        int pair;
    } cases[] = {
        {true, false, true, true, 0},  {false, true, true, true, 0}, {true, true, true, false, 1},
        {true, true, false, false, 2}, {true, true, true, true, 3},  {true, true, false, true, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UL::ChooseCellColours(c.enabled, c.selected, c.focus, c.leadEditable), c.pair)
            << c.enabled << c.selected << c.focus << c.leadEditable;
    }
}

// Renderers drawing in a real table.
class RendererDrawing : public gbxtest::TableFixture<> {
protected:
    // The colour in the left margin of a view cell, where no text is drawn.
    QColor MarginColour(int viewRow, int viewColumn) {
        const QImage image = List().ItemArea()->grab().toImage();
        const platform::Rect cell = table->GetCellRect(viewRow, viewColumn);
        return QColor(image.pixel(cell.left + 3, (cell.top + cell.bottom) / 2));
    }
    static QColor Pair(int pair) {
        const platform::Colour c = UL::GetCellColourTable()[size_t(pair)].background;
        return QColor(c.red, c.green, c.blue);
    }
};

TEST_F(RendererDrawing, CurrentCellOfASelectedRowShowsWhetherItCanBeEdited) {
    ClickCell(2, gbxtest::SongModel::kTitle);
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kTitle), Pair(3)) << "editable current cell, focus";
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kArtist), Pair(1)) << "rest of the row";
    EXPECT_EQ(MarginColour(3, gbxtest::SongModel::kTitle), Pair(0)) << "a row not selected";
    ClickCell(2, gbxtest::SongModel::kNumber);
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kNumber), Pair(1)) << "the current cell cannot be edited";

    ClickCell(2, gbxtest::SongModel::kTitle);
    window->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return !table->HasFocus(); }));
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kTitle), Pair(4));
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kArtist), Pair(2));

    List().Enable(false);
    EXPECT_EQ(MarginColour(2, gbxtest::SongModel::kArtist), Pair(0)) << "a disabled table";
}

// Where a renderer puts its text in a cell drawn on a picture: the leftmost and rightmost columns
// that differ from the background.
struct InkSpan {
    int left = -1;
    int right = -1;
};

InkSpan DrawAndFindInk(UL::ITableCellRenderer& renderer, UL::CTableControl& table, const CCellValue& value,
                       platform::Rect cell) {
    platform::Image image(cell.right + 10, cell.bottom + 10, false);
    {
        platform::DrawContext dc(image);
        dc.FillRect(platform::Rect{0, 0, image.Width(), image.Height()}, platform::Colour{1, 2, 3});
        dc.SetTextColour(platform::Colour{9, 9, 9});
        renderer.Draw(&table, value, false, false, 0, 0, dc, cell);
        EXPECT_EQ(dc.TextColour(), (platform::Colour{9, 9, 9})) << "the context's colours come back";
    }
    const uint32_t background = image.Row(cell.top + 1)[cell.left];
    InkSpan span;
    for (int y = cell.top; y < cell.bottom; ++y) {
        for (int x = cell.left; x < cell.right; ++x) {
            if (image.Row(y)[x] == background) continue;
            if (span.left < 0 || x < span.left) span.left = x;
            span.right = std::max(span.right, x);
        }
    }
    return span;
}

TEST_F(RendererDrawing, TextKeepsHalfTheCellHeightFreeAtEachSide) {
    UL::CStringTableCellRenderer left(UL::kCellLeft);
    const InkSpan leftSpan = DrawAndFindInk(left, *table, CCellValue("Wide text"), platform::Rect{0, 0, 200, 20});
    EXPECT_GE(leftSpan.left, 10);
    EXPECT_LT(leftSpan.left, 14);

    UL::CNumberTableCellRenderer<double> number(0, nullptr, UL::kCellRight);
    const InkSpan rightSpan = DrawAndFindInk(number, *table, CCellValue(1.5), platform::Rect{0, 0, 300, 20});
    EXPECT_LT(rightSpan.right, 290);
    EXPECT_GT(rightSpan.right, 280) << "right-aligned";

    UL::CStringTableCellRendererW wide(UL::kCellCentre);
    const InkSpan centred = DrawAndFindInk(wide, *table, CCellValue("\xE6\x9B\xB2"), platform::Rect{0, 0, 200, 20});
    EXPECT_NEAR((centred.left + centred.right) / 2, 100, 6);
}

TEST_F(RendererDrawing, PreferredWidthIsTheTextAndTwoSpaces) {
    UL::CStringTableCellRenderer renderer(0);
    EXPECT_EQ(renderer.GetPreferredWidth(table.get(), CCellValue("Some title"), 55), 55);
    EXPECT_EQ(renderer.GetText(), "Some title");
    EXPECT_EQ(renderer.GetPreferredWidth(table.get(), CCellValue("Some title"), -1),
              table->GetStringWidth("Some title  "));
}

}  // namespace
