#pragma once
// The owner-drawn report list with a header: one row per item, every row drawn by the owner through a
// DrawContext, columns kept by the header (texts and pixel widths), scrolling by whole rows vertically and
// by pixels horizontally. The list holds no texts of its own; its handler draws, measures and takes input.
//
// Coordinates are those of the item area (below the header): item 0 starts at y 0 when it is the top row,
// column 0 at x 0 when the list is not scrolled sideways.
#include "platform/window/Controls.h"
#include "platform/window/DrawContext.h"
#include "platform/window/Font.h"
#include "platform/window/Geometry.h"
#include "platform/window/Input.h"

#include <string>

class QWidget;

namespace platform {

// What a scroll request came from; the list tells its handler before it moves.
enum class ScrollSource { VerticalBar, HorizontalBar, Wheel };

class ReportListHandler {
public:
    virtual ~ReportListHandler() = default;
    // The height of every row in pixels; asked when the handler is attached and when the font changes.
    virtual int OnListMeasureItem() = 0;
    // Draws one row; itemRect spans every column (its right edge is the last column's).
    virtual void OnListDrawItem(DrawContext& dc, int item, const Rect& itemRect) = 0;
    // Left and right buttons only: presses, releases, double clicks; moves while a button is held.
    virtual void OnListMouse(const MouseInput& input) = 0;
    // True when the key was used; an unused key goes on to the window the list lies in (a dialog's
    // Enter and Esc, for example).
    virtual bool OnListKey(const KeyInput& input) = 0;
    virtual void OnListFocusChanged(bool gained) = 0;
    // A click on a column header; only sent while the headers are clickable.
    virtual void OnListHeaderClick(int column) = 0;
    // A double click on the divider right of the column.
    virtual void OnListDividerDoubleClick(int column) = 0;
    // The user moves a scroll bar or turns the wheel; sent before the list scrolls.
    virtual void OnListScroll(ScrollSource source) = 0;
    // The list's window is about to be destroyed (its own destruction or its window's): the handler's
    // last chance to read columns and widths. No call reaches the handler afterwards.
    virtual void OnListDestroyed() = 0;
};

struct ListHit {
    int item = -1;    // -1 off the rows
    int column = -1;  // -1 off the columns
};

class ReportList : public Control {
public:
    // A child of the parent window, made empty (no columns, no items). The handler may be null and set
    // later; it must outlive the list or be detached first.
    ReportList(Window& parent, int id, ReportListHandler* handler = nullptr);
    ~ReportList() override;

    bool Exists() const { return Widget() != nullptr; }
    void SetHandler(ReportListHandler* handler);
    ReportListHandler* Handler() const { return m_handler; }
    // Forgets the handler without telling it and destroys the window; the object stays, empty.
    void Detach();

    // Columns (the header's sections, in display order).
    int ColumnCount() const;
    // Inserts before index (appends when index is at or past the count), at the header's default width.
    void InsertColumn(int index, const std::string& text);
    bool DeleteColumn(int index);
    void SetColumnText(int column, const std::string& text);
    std::string ColumnText(int column) const;
    // The width the column is shown at (0 for a column that does not exist): its given width, except
    // that the last column fills what is left of the item area when that is more, so that the header
    // and the rows always span the whole list.
    int ColumnWidth(int column) const;
    // The column's own width (set here or dragged by the user), which a last column that fills the list
    // may exceed on the screen.
    int ColumnGivenWidth(int column) const;
    void SetColumnWidth(int column, int width);
    // The header text's width with the header's margins.
    void FitColumnToHeader(int column);
    int ColumnLeft(int column) const;  // before horizontal scrolling
    int TotalColumnWidth() const;
    void SetHeaderClickable(bool clickable);
    bool IsHeaderClickable() const;
    int HeaderHeight() const;

    // Items.
    int ItemCount() const { return m_itemCount; }
    void SetItemCount(int count);
    int ItemHeight() const { return m_itemHeight; }
    // Asks the handler for the row height again.
    void RemeasureItems();
    int TopIndex() const;
    // Rows that fit wholly into the item area.
    int CountPerPage() const;
    // The whole row, or an empty rectangle when the item does not exist.
    Rect ItemRect(int item) const;
    Rect SubItemRect(int item, int column) const;
    // The item and column under a point of the item area, whether or not the row is wholly visible.
    ListHit HitTest(Point point) const;

    // Scrolls by pixels; the vertical amount is taken in whole rows (a part of a row counts as one).
    void Scroll(int dx, int dy);
    int HorizontalPosition() const;
    Size ClientSize() const;  // the item area
    Rect WindowScreenRect() const;
    Point ClientToScreen(Point point) const;
    // A point of the item area in the client area of the window the list lies in (where controls that
    // the owner puts over a cell are placed).
    Point ClientToWindow(Point point) const;

    // The anchor of range selections, kept for the owner: -1 when none; reset when the items shrink
    // below it.
    int SelectionMark() const { return m_selectionMark; }
    void SetSelectionMark(int item) { m_selectionMark = item; }

    // Painting: off while the owner refills the list, then on again (nothing is repainted until an
    // invalidation asks for it).
    void SetRedraw(bool on);
    void InvalidateItem(int item);
    void InvalidateAll();
    void SetGridLines(bool on);

    // Width of a single line of text in the list's font.
    int TextWidth(const std::string& utf8) const;
    FontMetrics ListFontMetrics() const;

    bool HasFocus() const;
    // While a button is held the toolkit keeps sending moves to the list; capture only records that the
    // owner asked for them.
    void CaptureMouse() { m_captured = true; }
    void ReleaseMouse() { m_captured = false; }
    bool HasCapture() const { return m_captured; }

    // Windows put inside the list (a table's in-place editors) go into the item area: their rectangles
    // are in its coordinates, they scroll and clip with the rows.
    QWidget* ClientWidget() const override;

    // The item area and the header widgets, for the layer's tests and screenshots.
    QWidget* ItemArea() const;
    QWidget* HeaderWidget() const;

    // Called by the list's widget; not for other callers.
    void NotifyDestroyed();

private:
    ReportListHandler* m_handler;
    int m_itemCount = 0;
    int m_itemHeight = 16;
    int m_selectionMark = -1;
    bool m_captured = false;
    bool m_destroyNotified = false;
};

}  // namespace platform
