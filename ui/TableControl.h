#pragma once
// The library's table: an owner-drawn report list (platform::ReportList) whose rows come from a table
// model and are drawn cell by cell by renderers, sorted by clicks on sortable headers, selected by mouse
// and keys, and edited in place by cell editors that the table hands clicks and keys to. The row and
// column selections hold model indices; their leads together make the current cell.
#include "general_tools/SafeReferenceSet.h"
#include "platform/window/ReportList.h"
#include "ui/ListSelection.h"
#include "ui/TableCellEditor.h"
#include "ui/TableCellRenderers.h"
#include "ui/TableModel.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <typeindex>
#include <vector>

namespace platform {
class Window;
}

namespace UL {

// A cell of the list, in view coordinates; -1 and -1 off the cells.
struct CTableCell {
    int row = -1;
    int column = -1;
};

class CTableControl : public ICellEditorEventListener, private platform::ReportListHandler {
public:
    // Drag modes of a left press (kept while the button is held).
    enum DragMode : int { kNoDrag = 0, kDragPlain = 1, kDragRange = 2, kDragToggle = 3 };

    CTableControl();
    // A derived class with work of its own at destruction calls DestroyWindow in its own destructor, so
    // that the work runs while it is still what it is.
    ~CTableControl() override;
    CTableControl(const CTableControl&) = delete;
    CTableControl& operator=(const CTableControl&) = delete;

    // Makes the list in the parent window (which owns it; found there by id for layouts) with the
    // owner-drawn rows, grid lines and full-row selection. False when the window system has no display.
    bool Create(platform::Window& parent, int id, const platform::Rect& rect);
    // Takes over a list made elsewhere (from a dialog template, for example).
    bool Attach(platform::ReportList& list);
    // Takes over the window's list with that id (a dialog template's list view); false when there is
    // none, or the control is no list.
    bool SubclassDlgItem(int id, platform::Window& parent);
    // Runs the destroy work (OnDestroy) and destroys the list; nothing when there is none.
    void DestroyWindow();
    platform::ReportList* GetList() const { return m_list; }
    bool HasWindow() const { return m_list != nullptr && m_list->Exists(); }

    // Set-up, usually in this order, then Rebuild or Refresh.
    // Replacing the model, the editor resolver or the open editor cancels that editor first (it edits a
    // cell of the old model, and may go with the old editors).
    void SetModel(const boost::shared_ptr<ITableModel>& model);
    const boost::shared_ptr<ITableModel>& GetModel() const { return m_model; }
    void SetCellResolver(const boost::shared_ptr<ITableCellResolver>& resolver);
    const boost::shared_ptr<ITableCellResolver>& GetCellResolver() const { return m_cellResolver; }
    void SetRendererResolver(const boost::shared_ptr<ITableCellRendererResolver>& r) { m_rendererResolver = r; }
    void SetEditorResolver(const boost::shared_ptr<ITableCellEditorResolver>& resolver);
    // Replaces the row selection; the user's changes are written into the installed object.
    void SetSelection(const boost::shared_ptr<IListSelection>& selection);
    // The row selection (model rows): the owner reads and changes it, then refreshes.
    const boost::shared_ptr<IListSelection>& GetSelection() const { return m_rowSelection; }
    const boost::shared_ptr<IListSelection>& GetColumnSelection() const { return m_columnSelection; }
    // Not owned, never removed; called in the order added.
    void AddCellEditorEventListener(ICellEditorEventListener* listener);
    // Held weakly; a listener that is destroyed drops out.
    void AddRowSelectionListener(const boost::shared_ptr<IListSelectionEventListener>& listener);
    void RemoveRowSelectionListener(const IListSelectionEventListener* listener);
    void AddColumnSelectionListener(const boost::shared_ptr<IListSelectionEventListener>& listener);
    void RemoveColumnSelectionListener(const IListSelectionEventListener* listener);
    // The defaults by value class, made by the constructor: number, boolean and enumeration editors that
    // commit every change at once, a string editor that commits on Enter.
    void SetDefaultRenderer(const std::type_info& valueClass, const boost::shared_ptr<ITableCellRenderer>& renderer);
    void SetDefaultEditor(const std::type_info& valueClass, const boost::shared_ptr<ITableCellEditor>& editor);
    ITableCellRenderer* GetDefaultRenderer(const std::type_info& valueClass) const;
    ITableCellEditor* GetDefaultEditor(const std::type_info& valueClass) const;

    // Reading the model again.
    virtual void Rebuild();
    // As Rebuild, and the leads brought back inside the model, redraw off while the list is refilled, the
    // current cell scrolled into view, everything repainted.
    virtual void Refresh();
    // The row height: the list font's height and 3 pixels.
    virtual int MeasureItem();
    void RebuildColumns();
    void RebuildItems();

    int ViewRowToModelRow(int viewRow) const { return m_cellResolver->ViewRowToModelRow(viewRow); }
    int ModelRowToViewRow(int modelRow) const { return m_cellResolver->ModelRowToViewRow(modelRow); }
    int ViewColumnToModelColumn(int viewColumn) const { return m_cellResolver->ViewColumnToModelColumn(viewColumn); }
    int ModelColumnToViewColumn(int modelColumn) const { return m_cellResolver->ModelColumnToViewColumn(modelColumn); }

    // Geometry, in the list's item-area coordinates.
    platform::Rect GetCellRect(int viewRow, int viewColumn) const;
    // Only cells of the rows from the top visible row to the last wholly visible one count.
    CTableCell HitTest(platform::Point point) const;
    // Position 0 with the least scrolling, 1 as the top row, 2 as the last visible row, 3 in the middle.
    void EnsureRowVisible(int viewRow, int position);
    // A column outside the header scrolls back to the leftmost position.
    void EnsureColumnVisible(int viewColumn);
    int GetItemCount() const { return m_list != nullptr ? m_list->ItemCount() : 0; }
    int GetTopIndex() const { return m_list != nullptr ? m_list->TopIndex() : 0; }
    int GetCountPerPage() const { return m_list != nullptr ? m_list->CountPerPage() : 0; }
    int GetColumnCount() const { return m_list != nullptr ? m_list->ColumnCount() : 0; }
    // As shown: the last column fills what is left of the list.
    int GetColumnWidth(int viewColumn) const { return m_list != nullptr ? m_list->ColumnWidth(viewColumn) : 0; }
    // As given (SetColumnWidth, or the user's drag of its divider).
    int GetColumnGivenWidth(int viewColumn) const {
        return m_list != nullptr ? m_list->ColumnGivenWidth(viewColumn) : 0;
    }
    // -1 fits the contents (as a double click on the column's divider does), -2 the header text, any
    // other negative width counts as -1.
    void SetColumnWidth(int viewColumn, int width);
    // The widest text of the column's cells (0 with no rows): the divider double click.
    void FitColumnToContents(int viewColumn);
    int GetStringWidth(const std::string& utf8) const { return m_list != nullptr ? m_list->TextWidth(utf8) : 0; }
    bool IsWindowEnabled() const { return m_list != nullptr && m_list->IsEnabled(); }
    bool HasFocus() const { return m_list != nullptr && m_list->HasFocus(); }
    void SetFocus();
    // The model's answer for the view cell.
    bool IsViewCellEditable(int viewRow, int viewColumn) const;

    // Renderers and editors: a resolver's answer first, else the default of the cell's value class.
    ITableCellRenderer* GetRenderer(int viewRow, int viewColumn) const;
    ITableCellEditor* GetEditor(int modelRow, int modelColumn) const;
    ITableCellEditor* GetActiveEditor() const { return m_activeEditor; }
    // Closes an open editor without committing and tells the cell-editor listeners it was cancelled.
    void CancelEditing();

    // The user's selections, given in view coordinates; stored in model coordinates, with the listeners
    // told what changed.
    void SetRowSelection(const IListSelection& viewSelection);
    void SetColumnSelection(const IListSelection& viewSelection);
    // Copies of the selections in view coordinates, of the same kind as the installed ones.
    boost::shared_ptr<IListSelection> GetViewRowSelection() const;
    boost::shared_ptr<IListSelection> GetViewColumnSelection() const;
    void FireRowSelectionEvent(int kind, int viewIndex, bool selected);
    void FireColumnSelectionEvent(int kind, int viewIndex, bool selected);
    bool AnyCellEditable() const;
    void RepaintSelectedRows();
    int GetDragMode() const { return m_dragMode; }

    // The editors' reports (the table's own listener side).
    void OnEditingStarted(const CCellEditorEvent& event) override;
    void OnEditingStopped(const CCellEditorEvent& event) override;
    void OnEditingCancelled(const CCellEditorEvent& event) override;

protected:
    // The work done when the list's window is destroyed, while the table (and its owner) still exist:
    // an open editor is cancelled and the listeners told.
    virtual void OnDestroy();
    // The header just got the columns first to end - 1 (without widths of their own).
    virtual void OnColumnsInserted(int first, int end);

    // Input, as the list delivers it.
    void OnLButtonDown(const platform::MouseInput& input);
    void OnLButtonUp(const platform::MouseInput& input);
    void OnRButtonDown(const platform::MouseInput& input);
    void OnMouseMove(const platform::MouseInput& input);
    bool OnKeyDown(const platform::KeyInput& input);
    bool OnKeyUp(const platform::KeyInput& input);
    // Offers a mouse event to the editors: the active one first, then the editor of the cell under the
    // point when its row is selected and the cell editable.
    void MouseToEditor(int action, platform::Point point, int modifiers);
    // Offers a key to the editor of the current cell when its row is selected and the cell editable.
    void KeyToEditor(int kind, int code, int modifiers);
    void MoveLeadRow(int key, int modifiers);
    void MoveLeadColumn(int key);
    void ApplyKeySelection(IListSelection& rows, int row, bool ctrl, bool shift, bool space);
    // Draws one view row: every cell through its renderer, then the focus rectangle of the current cell.
    void DrawItem(platform::DrawContext& dc, int viewRow);

private:
    // platform::ReportListHandler
    int OnListMeasureItem() override { return MeasureItem(); }
    void OnListDrawItem(platform::DrawContext& dc, int item, const platform::Rect& itemRect) override;
    void OnListMouse(const platform::MouseInput& input) override;
    bool OnListKey(const platform::KeyInput& input) override;
    void OnListFocusChanged(bool gained) override;
    void OnListHeaderClick(int column) override;
    void OnListDividerDoubleClick(int column) override;
    void OnListScroll(platform::ScrollSource source) override;
    void OnListDestroyed() override;

    ITableCellRenderer* GetModelCellRenderer(int modelRow, int modelColumn) const;
    void CancelEditing(bool refresh);
    void ApplyListStyle();
    void ReadModelSizes();
    // The mark range to a row: from the list's selection mark (row 0 when there is none) to the row.
    void SelectMarkRange(IListSelection& rows, int row, bool select, bool exclusive) const;
    int SelectionMark() const { return m_list != nullptr ? m_list->SelectionMark() : -1; }
    void SetSelectionMark(int row) {
        if (m_list != nullptr) m_list->SetSelectionMark(row);
    }
    void InvalidateViewRow(int viewRow);
    template <class Notify>
    void TellCellEditorListeners(Notify notify);

    boost::shared_ptr<ITableModel> m_model;
    boost::shared_ptr<ITableCellResolver> m_cellResolver;
    GT::CSafeReferenceSet<IListSelectionEventListener> m_rowListeners;
    GT::CSafeReferenceSet<IListSelectionEventListener> m_columnListeners;
    boost::shared_ptr<ITableCellRendererResolver> m_rendererResolver;
    boost::shared_ptr<ITableCellEditorResolver> m_editorResolver;
    std::map<std::type_index, boost::shared_ptr<ITableCellRenderer>> m_defaultRenderers;
    std::map<std::type_index, boost::shared_ptr<ITableCellEditor>> m_defaultEditors;
    ITableCellEditor* m_activeEditor = nullptr;
    std::vector<ICellEditorEventListener*> m_cellEditorListeners;
    boost::shared_ptr<IListSelection> m_rowSelection;
    boost::shared_ptr<IListSelection> m_columnSelection;
    int m_dragMode = kNoDrag;
    int m_readRowCount = 0;                  // the model's rows when the table last read them
    platform::ReportList* m_list = nullptr;  // owned by its window
    bool m_destroying = false;
};

}  // namespace UL
