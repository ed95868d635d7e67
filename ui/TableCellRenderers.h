#pragma once
// Cell renderers: each turns a cell value into a text and draws it into the cell's rectangle with the
// colours of the row's selection, the current cell and whether the cell can be edited. Renderers keep
// only their set-up and the text of the cell drawn last, so one renderer draws any number of cells.
#include "platform/window/DrawContext.h"
#include "platform/window/Geometry.h"
#include "ui/CellValue.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace UL {

class CTableControl;

class ITableCellRenderer {
public:
    virtual ~ITableCellRenderer() = default;
    // width unchanged unless it is -1; for -1, the width of the cell's text and two spaces in the
    // table's font.
    virtual int GetPreferredWidth(CTableControl* table, const CCellValue& value, int width) = 0;
    // Leaves the context's text and background colours as it found them.
    virtual void Draw(CTableControl* table, const CCellValue& value, bool selected, bool lead, int viewRow,
                      int viewColumn, platform::DrawContext& dc, const platform::Rect& cell) = 0;
};

// Text alignment words of the renderers (the drawing layer's): 0 left, 1 centred, 2 right.
enum : int { kCellLeft = 0, kCellCentre = 1, kCellRight = 2 };

class CDefaultTableCellRenderer : public ITableCellRenderer {
public:
    explicit CDefaultTableCellRenderer(int format) : m_format(format) {}

    int GetPreferredWidth(CTableControl* table, const CCellValue& value, int width) override;
    void Draw(CTableControl* table, const CCellValue& value, bool selected, bool lead, int viewRow, int viewColumn,
              platform::DrawContext& dc, const platform::Rect& cell) override;
    // Sets the text from a value.
    virtual void SetValue(const CCellValue& value) = 0;

    const std::string& GetText() const { return m_text; }
    int GetFormat() const { return m_format; }

protected:
    void SetText(std::string text) { m_text = std::move(text); }
    // Steps 3 to 7 of drawing: colours, background, margins, the (already elided) text.
    static void DrawCellText(CTableControl* table, bool selected, bool lead, int viewRow, int viewColumn,
                             platform::DrawContext& dc, const platform::Rect& cell, const std::string& text,
                             int format);

private:
    std::string m_text;
    int m_format;
};

class CStringTableCellRenderer : public CDefaultTableCellRenderer {
public:
    explicit CStringTableCellRenderer(int format) : CDefaultTableCellRenderer(format) {}
    void SetValue(const CCellValue& value) override { SetText(value.GetString()); }
};

// The same text, elided and drawn as UTF-16 with a format word of its own.
class CStringTableCellRendererW : public CStringTableCellRenderer {
public:
    explicit CStringTableCellRendererW(int format) : CStringTableCellRenderer(0), m_wideFormat(format) {}
    void Draw(CTableControl* table, const CCellValue& value, bool selected, bool lead, int viewRow, int viewColumn,
              platform::DrawContext& dc, const platform::Rect& cell) override;
    int GetWideFormat() const { return m_wideFormat; }

private:
    int m_wideFormat;
};

class CBooleanTableCellRenderer : public CDefaultTableCellRenderer {
public:
    CBooleanTableCellRenderer(int format, std::string falseText, std::string trueText)
        : CDefaultTableCellRenderer(format), m_falseText(std::move(falseText)), m_trueText(std::move(trueText)) {}
    void SetValue(const CCellValue& value) override { SetText(value.GetBool() ? m_trueText : m_falseText); }

private:
    std::string m_falseText;
    std::string m_trueText;
};

// int, long or double. With a value list the text is the list's entry at the value (bounded to the
// list); without one the number written by kind (0 decimal, 1 "0x" hexadecimal, 2 signed hexadecimal).
template <class T>
class CNumberTableCellRenderer : public CDefaultTableCellRenderer {
public:
    CNumberTableCellRenderer(int kind, const std::vector<std::string>* valueList, int format)
        : CDefaultTableCellRenderer(format), m_kind(kind), m_valueList(valueList) {}
    void SetValue(const CCellValue& value) override;

private:
    int m_kind;
    const std::vector<std::string>* m_valueList;  // not owned
};

// The enumeration value's name; a cell without an enumeration value shows nothing.
class CEnumerationTableCellRenderer : public CDefaultTableCellRenderer {
public:
    explicit CEnumerationTableCellRenderer(int format) : CDefaultTableCellRenderer(format) {}
    void SetValue(const CCellValue& value) override;
};

struct CCellColours {
    platform::Colour text;
    platform::Colour background;
};

// The five colour pairs of cells: 0 not selected (or a disabled table), 1 selected with focus,
// 2 selected without focus, 3 the editable current cell with focus, 4 the same without focus. Read
// from the desktop's colours once.
const std::array<CCellColours, 5>& GetCellColourTable();
// The colour pair for a cell.
int ChooseCellColours(bool enabled, bool selected, bool focus, bool leadEditable);
// The colour pair of a view cell of the table: its row selected or not, the cell current or not.
const CCellColours& CellColoursOf(const CTableControl& table, bool selected, bool lead, int viewRow, int viewColumn);
// The highlight moved 90 % of the way to white.
platform::Colour LightHighlight(platform::Colour highlight);

// Eliding a text to a cell: when the text and the side margins (the cell's height, made even) do not
// fit, whole characters are dropped from its end until the rest, the margins and "..." fit; a cell too
// narrow for any character shows "..." alone. An empty text is never elided.
std::string ElideUtf8(const std::string& text, int cellWidth, int cellHeight,
                      const std::function<int(const std::string&)>& measure);
std::u16string ElideUtf16(const std::u16string& text, int cellWidth, int cellHeight,
                          const std::function<int(const std::u16string&)>& measure);

}  // namespace UL
