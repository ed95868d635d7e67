#include "ui/TableCellRenderers.h"

#include "general_tools/CharacterCodeConverter.h"
#include "general_tools/Rounding.h"
#include "general_tools/StringFunctions.h"
#include "platform/window/Controls.h"
#include "ui/TableControl.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

namespace UL {

namespace {

const char kEllipsis[] = "...";

bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Where the last character of a UTF-8 text starts: back over at most three continuation bytes to the
// byte that leads them; a stray continuation byte counts as a character of its own.
size_t LastCharacterStart(const std::string& text, size_t end) {
    size_t start = end - 1;
    int continuations = 0;
    while (start > 0 && continuations < 3 && IsUtf8Continuation(static_cast<unsigned char>(text[start]))) {
        --start;
        ++continuations;
    }
    if (continuations > 0 && static_cast<unsigned char>(text[start]) < 0xC0) return end - 1;
    return start;
}

size_t LastCharacterStart(const std::u16string& text, size_t end) {
    const size_t last = end - 1;
    const char16_t unit = text[last];
    if (unit >= 0xDC00 && unit <= 0xDFFF && last > 0 && text[last - 1] >= 0xD800 && text[last - 1] <= 0xDBFF) {
        return last - 1;
    }
    return last;
}

template <class Text>
Text Elide(const Text& text, int cellWidth, int cellHeight, const std::function<int(const Text&)>& measure,
           const Text& ellipsis) {
    if (text.empty()) return text;
    const int margins = cellHeight & ~1;
    if (measure(text) + margins <= cellWidth) return text;
    // Lengths of the shorter beginnings, longest first: the text loses whole characters from its end.
    std::vector<size_t> lengths;
    for (size_t end = text.size(); end > 0;) {
        end = LastCharacterStart(text, end);
        lengths.push_back(end);
    }
    const int ellipsisWidth = measure(ellipsis);
    auto fits = [&](size_t length) {
        return length == 0 || margins + measure(text.substr(0, length)) + ellipsisWidth < cellWidth;
    };
    // Widths grow with length, so the first beginning that fits is found by halving.
    size_t low = 0;
    size_t high = lengths.size() - 1;  // the empty beginning always "fits"
    while (low < high) {
        const size_t mid = low + (high - low) / 2;
        if (fits(lengths[mid]))
            high = mid;
        else
            low = mid + 1;
    }
    return text.substr(0, lengths[low]) + ellipsis;
}

}  // namespace

std::string ElideUtf8(const std::string& text, int cellWidth, int cellHeight,
                      const std::function<int(const std::string&)>& measure) {
    return Elide<std::string>(text, cellWidth, cellHeight, measure, kEllipsis);
}

std::u16string ElideUtf16(const std::u16string& text, int cellWidth, int cellHeight,
                          const std::function<int(const std::u16string&)>& measure) {
    return Elide<std::u16string>(text, cellWidth, cellHeight, measure, u"...");
}

platform::Colour LightHighlight(platform::Colour highlight) {
    auto lighten = [](uint8_t c) { return GT::Clamp<uint8_t>(GT::Round(c + (255 - c) * 0.9), 0, 255); };
    return platform::Colour{lighten(highlight.red), lighten(highlight.green), lighten(highlight.blue)};
}

const std::array<CCellColours, 5>& GetCellColourTable() {
    using platform::GetSystemColour;
    using platform::SystemColour;
    static const std::array<CCellColours, 5> table = {
        CCellColours{GetSystemColour(SystemColour::WindowText), GetSystemColour(SystemColour::Window)},
        CCellColours{GetSystemColour(SystemColour::HighlightText), GetSystemColour(SystemColour::Highlight)},
        CCellColours{GetSystemColour(SystemColour::WindowText), GetSystemColour(SystemColour::ButtonFace)},
        CCellColours{GetSystemColour(SystemColour::WindowText),
                     LightHighlight(GetSystemColour(SystemColour::Highlight))},
        CCellColours{GetSystemColour(SystemColour::WindowText), GetSystemColour(SystemColour::ButtonFace)},
    };
    return table;
}

int ChooseCellColours(bool enabled, bool selected, bool focus, bool leadEditable) {
    if (!enabled || !selected) return 0;
    if (leadEditable) return focus ? 3 : 4;
    return focus ? 1 : 2;
}

const CCellColours& CellColoursOf(const CTableControl& table, bool selected, bool lead, int viewRow, int viewColumn) {
    const bool leadEditable = lead && table.IsViewCellEditable(viewRow, viewColumn);
    return GetCellColourTable()[size_t(
        ChooseCellColours(table.IsWindowEnabled(), selected, table.HasFocus(), leadEditable))];
}

int CDefaultTableCellRenderer::GetPreferredWidth(CTableControl* table, const CCellValue& value, int width) {
    SetValue(value);
    if (width != -1) return width;
    return table != nullptr ? table->GetStringWidth(m_text + "  ") : 0;
}

void CDefaultTableCellRenderer::DrawCellText(CTableControl* table, bool selected, bool lead, int viewRow,
                                             int viewColumn, platform::DrawContext& dc, const platform::Rect& cell,
                                             const std::string& text, int format) {
    const platform::Colour savedText = dc.TextColour();
    const platform::Colour savedBack = dc.BackColour();
    const CCellColours& colours = CellColoursOf(*table, selected, lead, viewRow, viewColumn);
    dc.FillRect(cell, colours.background);
    const int side = cell.Height() / 2;
    const platform::Rect textArea{cell.left + side, cell.top + 1, cell.right - side, cell.bottom - 1};
    dc.SetTextColour(colours.text);
    dc.SetBackColour(colours.background);
    dc.DrawText(textArea, text, format | platform::kTextNoPrefix);
    dc.SetTextColour(savedText);
    dc.SetBackColour(savedBack);
}

void CDefaultTableCellRenderer::Draw(CTableControl* table, const CCellValue& value, bool selected, bool lead,
                                     int viewRow, int viewColumn, platform::DrawContext& dc,
                                     const platform::Rect& cell) {
    SetValue(value);
    const std::string shown = ElideUtf8(m_text, cell.Width(), cell.Height(),
                                        [table](const std::string& t) { return table->GetStringWidth(t); });
    DrawCellText(table, selected, lead, viewRow, viewColumn, dc, cell, shown, m_format);
}

void CStringTableCellRendererW::Draw(CTableControl* table, const CCellValue& value, bool selected, bool lead,
                                     int viewRow, int viewColumn, platform::DrawContext& dc,
                                     const platform::Rect& cell) {
    SetValue(value);
    const GT::ICharacterCodeConverter& converter = GT::GetCharacterCodeConverter();
    auto measure = [table, &converter](const std::u16string& t) { return table->GetStringWidth(converter.ToUtf8(t)); };
    const std::u16string shown = ElideUtf16(converter.FromUtf8(GetText()), cell.Width(), cell.Height(), measure);
    DrawCellText(table, selected, lead, viewRow, viewColumn, dc, cell, converter.ToUtf8(shown), m_wideFormat);
}

template <class T>
void CNumberTableCellRenderer<T>::SetValue(const CCellValue& value) {
    const T number = value.Get<T>();
    if (m_valueList != nullptr) {
        if (m_valueList->empty()) {
            SetText(std::string());
            return;
        }
        const double last = static_cast<double>(m_valueList->size() - 1);
        double at = static_cast<double>(number);
        if (!(at >= 0.0)) at = 0.0;  // NaN too
        if (at > last) at = last;
        const size_t index = static_cast<size_t>(at);
        SetText((*m_valueList)[index]);
        return;
    }
    if constexpr (std::is_same_v<T, int>) {
        SetText(GT::IntToString(number, m_kind));
    } else if constexpr (std::is_same_v<T, long>) {
        // Longs are 32-bit numbers in the program's data; the formatting is of that width.
        SetText(GT::LongToString(static_cast<std::int32_t>(std::clamp<long>(number, INT32_MIN, INT32_MAX)), m_kind));
    } else {
        SetText(GT::DoubleToString(number, m_kind, 15, 0));
    }
}

template class CNumberTableCellRenderer<int>;
template class CNumberTableCellRenderer<long>;
template class CNumberTableCellRenderer<double>;

void CEnumerationTableCellRenderer::SetValue(const CCellValue& value) {
    const GT::IRangedNumber<int>* enumeration = value.GetEnumeration();
    SetText(enumeration != nullptr ? enumeration->ToString() : std::string());
}

}  // namespace UL
