#include "ui/TableControl.h"

#include "platform/window/Font.h"
#include "platform/window/Window.h"
#include "ui/TableCellEditors.h"

#include <algorithm>

namespace UL {

namespace {

// The vertical pointer position of the last drag move, shared by every table (only one drags at a time).
int& PreviousDragY() {
    static int y = 0;
    return y;
}

// Copies a selection into the other coordinates: the lead and the size through the map (the row count
// maps to itself), each selected index through the map; indices the map does not know are dropped.
template <class Map>
void CopyMapped(const IListSelection& source, IListSelection& target, Map map) {
    int size = map(source.GetSize());
    if (size < 0) size = source.GetSize();
    target.SetSize(size);
    std::vector<int> indices;
    for (int index : source.GetSelected()) {
        const int mapped = map(index);
        if (mapped >= 0 && mapped < size) indices.push_back(mapped);
    }
    target.SetSelected(indices);
    target.SetLead(source.GetLead() < 0 ? -1 : map(source.GetLead()));
}

}  // namespace

CTableControl::CTableControl()
    : m_cellResolver(new CTableCellResolver()),
      m_rowSelection(new CListSelection()),
      m_columnSelection(new CListSelection()) {
    using Renderer = boost::shared_ptr<ITableCellRenderer>;
    SetDefaultRenderer(typeid(int), Renderer(new CNumberTableCellRenderer<int>(0, nullptr, kCellRight)));
    SetDefaultRenderer(typeid(long), Renderer(new CNumberTableCellRenderer<long>(0, nullptr, kCellRight)));
    SetDefaultRenderer(typeid(double), Renderer(new CNumberTableCellRenderer<double>(0, nullptr, kCellRight)));
    SetDefaultRenderer(typeid(bool), Renderer(new CBooleanTableCellRenderer(kCellLeft, "false", "true")));
    SetDefaultRenderer(typeid(GT::IEnumeration<int>), Renderer(new CEnumerationTableCellRenderer(kCellLeft)));
    SetDefaultRenderer(typeid(std::string), Renderer(new CStringTableCellRenderer(kCellLeft)));
    using Editor = boost::shared_ptr<ITableCellEditor>;
    SetDefaultEditor(typeid(int), Editor(new CNumberTableCellEditor<int>(0, nullptr, true)));
    SetDefaultEditor(typeid(long), Editor(new CNumberTableCellEditor<long>(0, nullptr, true)));
    SetDefaultEditor(typeid(double), Editor(new CNumberTableCellEditor<double>(0, nullptr, true)));
    SetDefaultEditor(typeid(bool), Editor(new CBooleanTableCellEditor("false", "true", true)));
    SetDefaultEditor(typeid(GT::IEnumeration<int>), Editor(new CEnumerationTableCellEditor(true)));
    SetDefaultEditor(typeid(std::string), Editor(new CStringTableCellEditor(false)));
}

CTableControl::~CTableControl() { DestroyWindow(); }

bool CTableControl::Create(platform::Window& parent, int id, const platform::Rect& rect) {
    if (m_list != nullptr) return false;
    platform::ReportList& list = parent.AddControl<platform::ReportList>(id, nullptr);
    if (!list.Exists()) return false;
    list.SetRect(rect);
    return Attach(list);
}

bool CTableControl::Attach(platform::ReportList& list) {
    if (m_list != nullptr || !list.Exists() || list.Handler() != nullptr) return false;
    m_list = &list;
    list.SetHandler(this);
    list.SetGridLines(true);
    return true;
}

bool CTableControl::SubclassDlgItem(int id, platform::Window& parent) {
    auto* list = dynamic_cast<platform::ReportList*>(parent.FindControl(id));
    return list != nullptr && Attach(*list);
}

void CTableControl::DestroyWindow() {
    if (m_list == nullptr) return;
    m_destroying = true;
    OnDestroy();
    platform::ReportList* list = m_list;
    m_list = nullptr;
    m_destroying = false;
    list->Detach();
}

void CTableControl::OnListDestroyed() {
    m_destroying = true;
    OnDestroy();
    m_list = nullptr;
    m_destroying = false;
}

void CTableControl::OnDestroy() {
    m_dragMode = kNoDrag;
    CancelEditing(false);
}

void CTableControl::OnColumnsInserted(int, int) {}

void CTableControl::SetModel(const boost::shared_ptr<ITableModel>& model) {
    if (model != m_model) CancelEditing(false);
    m_model = model;
}

void CTableControl::SetEditorResolver(const boost::shared_ptr<ITableCellEditorResolver>& resolver) {
    if (resolver != m_editorResolver) CancelEditing(false);
    m_editorResolver = resolver;
}

void CTableControl::SetCellResolver(const boost::shared_ptr<ITableCellResolver>& resolver) {
    if (resolver) m_cellResolver = resolver;
}

void CTableControl::SetSelection(const boost::shared_ptr<IListSelection>& selection) {
    if (selection) m_rowSelection = selection;
}

void CTableControl::AddCellEditorEventListener(ICellEditorEventListener* listener) {
    if (listener != nullptr) m_cellEditorListeners.push_back(listener);
}

void CTableControl::AddRowSelectionListener(const boost::shared_ptr<IListSelectionEventListener>& listener) {
    m_rowListeners.Add(listener);
}

void CTableControl::RemoveRowSelectionListener(const IListSelectionEventListener* listener) {
    m_rowListeners.Remove(listener);
}

void CTableControl::AddColumnSelectionListener(const boost::shared_ptr<IListSelectionEventListener>& listener) {
    m_columnListeners.Add(listener);
}

void CTableControl::RemoveColumnSelectionListener(const IListSelectionEventListener* listener) {
    m_columnListeners.Remove(listener);
}

void CTableControl::SetDefaultRenderer(const std::type_info& valueClass,
                                       const boost::shared_ptr<ITableCellRenderer>& renderer) {
    m_defaultRenderers[std::type_index(valueClass)] = renderer;
}

void CTableControl::SetDefaultEditor(const std::type_info& valueClass,
                                     const boost::shared_ptr<ITableCellEditor>& editor) {
    boost::shared_ptr<ITableCellEditor>& slot = m_defaultEditors[std::type_index(valueClass)];
    if (slot && slot.get() == m_activeEditor && slot != editor) CancelEditing(false);
    slot = editor;
}

ITableCellRenderer* CTableControl::GetDefaultRenderer(const std::type_info& valueClass) const {
    auto found = m_defaultRenderers.find(std::type_index(valueClass));
    return found != m_defaultRenderers.end() ? found->second.get() : nullptr;
}

ITableCellEditor* CTableControl::GetDefaultEditor(const std::type_info& valueClass) const {
    auto found = m_defaultEditors.find(std::type_index(valueClass));
    return found != m_defaultEditors.end() ? found->second.get() : nullptr;
}

// ---- reading the model -------------------------------------------------------------------------------

void CTableControl::ReadModelSizes() {
    // An open editor over a model that lost rows may stand over a row that went, or moved: it is
    // cancelled before the table takes the new rows.
    const int rows = m_model->GetRowCount();
    if (rows < m_readRowCount && m_activeEditor != nullptr) CancelEditing(false);
    m_readRowCount = rows;
    m_cellResolver->Update(m_model.get());
    m_rowSelection->SetSize(rows);
    m_columnSelection->SetSize(m_model->GetColumnCount());
}

void CTableControl::Rebuild() {
    if (!m_model) return;
    ReadModelSizes();
    RebuildColumns();
    RebuildItems();
}

void CTableControl::Refresh() {
    if (!m_model) return;
    ReadModelSizes();
    if (m_rowSelection->GetLead() >= m_rowSelection->GetSize()) m_rowSelection->SetLead(-1);
    // A lead column past a shrunk column count comes back to the last column.
    if (m_columnSelection->GetLead() >= m_columnSelection->GetSize())
        m_columnSelection->SetLead(m_columnSelection->GetSize() - 1);
    if (m_list == nullptr) return;
    m_list->SetRedraw(false);
    RebuildColumns();
    RebuildItems();
    EnsureRowVisible(ModelRowToViewRow(m_rowSelection->GetLead()), 0);
    EnsureColumnVisible(ModelColumnToViewColumn(m_columnSelection->GetLead()));
    m_list->SetRedraw(true);
    m_list->InvalidateAll();
}

int CTableControl::MeasureItem() {
    const platform::FontMetrics metrics =
        m_list != nullptr ? m_list->ListFontMetrics() : platform::MeasureFont(platform::DefaultGuiFont());
    return metrics.height + 3;
}

void CTableControl::RebuildColumns() {
    if (!m_model || m_list == nullptr) return;
    const int count = std::max(0, ModelColumnToViewColumn(m_model->GetColumnCount()));
    while (m_list->DeleteColumn(count)) {
    }
    bool sortable = false;
    for (int column = 0; column < count && !sortable; ++column)
        sortable = m_model->IsColumnSortable(ViewColumnToModelColumn(column));
    m_list->SetHeaderClickable(sortable);
    const int existing = m_list->ColumnCount();
    for (int column = 0; column < count; ++column) {
        const std::string text = m_model->GetColumnName(ViewColumnToModelColumn(column));
        if (column < existing)
            m_list->SetColumnText(column, text);
        else
            m_list->InsertColumn(column, text);
    }
    if (count > existing) OnColumnsInserted(existing, count);
}

void CTableControl::RebuildItems() {
    if (!m_model || m_list == nullptr) return;
    m_list->SetItemCount(std::max(0, ModelRowToViewRow(m_model->GetRowCount())));
}

// ---- geometry -----------------------------------------------------------------------------------------

platform::Rect CTableControl::GetCellRect(int viewRow, int viewColumn) const {
    return m_list != nullptr ? m_list->SubItemRect(viewRow, viewColumn) : platform::Rect{};
}

CTableCell CTableControl::HitTest(platform::Point point) const {
    if (m_list == nullptr) return CTableCell{};
    const platform::ListHit hit = m_list->HitTest(point);
    if (hit.item < 0 || hit.column < 0) return CTableCell{};
    const int top = m_list->TopIndex();
    const int last = std::min(top + m_list->CountPerPage() - 1, m_list->ItemCount() - 1);
    if (hit.item < top || hit.item > last) return CTableCell{};
    return CTableCell{hit.item, hit.column};
}

void CTableControl::EnsureRowVisible(int viewRow, int position) {
    if (m_list == nullptr || m_list->ItemCount() == 0 || viewRow < 0 || viewRow >= m_list->ItemCount()) return;
    const int top = m_list->TopIndex();
    const int perPage = std::max(1, m_list->CountPerPage());
    const int last = top + perPage - 1;
    int newTop = top;
    switch (position) {
        case 0:
            if (viewRow < top)
                newTop = viewRow;
            else if (viewRow > last)
                newTop = viewRow - perPage + 1;
            break;
        case 1:
            newTop = viewRow;
            break;
        case 2:
            newTop = viewRow - perPage + 1;
            break;
        case 3:
            newTop = viewRow - (perPage - 1) / 2;
            break;
        default:
            break;
    }
    if (newTop != top) m_list->Scroll(0, (newTop - top) * m_list->ItemHeight());
}

void CTableControl::EnsureColumnVisible(int viewColumn) {
    if (m_list == nullptr) return;
    const int scroll = m_list->HorizontalPosition();
    int left = -scroll;
    int right = -scroll;
    if (viewColumn >= 0 && viewColumn < m_list->ColumnCount()) {
        left = m_list->ColumnLeft(viewColumn) - scroll;
        right = left + m_list->ColumnWidth(viewColumn);
    }
    const int width = m_list->ClientSize().width;
    if (left < 0)
        m_list->Scroll(left, 0);
    else if (right > width)
        m_list->Scroll(right - width, 0);
}

void CTableControl::SetColumnWidth(int viewColumn, int width) {
    if (m_list == nullptr) return;
    if (width == -2)
        m_list->FitColumnToHeader(viewColumn);
    else if (width < 0)
        FitColumnToContents(viewColumn);
    else
        m_list->SetColumnWidth(viewColumn, width);
}

void CTableControl::FitColumnToContents(int viewColumn) {
    if (m_list == nullptr || viewColumn < 0 || viewColumn >= m_list->ColumnCount()) return;
    int width = 0;
    if (m_model) {
        // The widest cell of the column; the order of the rows does not matter.
        const int column = ViewColumnToModelColumn(viewColumn);
        const int rows = m_model->GetRowCount();
        for (int row = 0; row < rows; ++row) {
            if (ITableCellRenderer* renderer = GetModelCellRenderer(row, column))
                width = std::max(width, renderer->GetPreferredWidth(this, m_model->GetValueAt(row, column), -1));
        }
    }
    m_list->SetColumnWidth(viewColumn, width);
}

void CTableControl::SetFocus() {
    if (m_list != nullptr) m_list->SetFocus();
}

bool CTableControl::IsViewCellEditable(int viewRow, int viewColumn) const {
    if (!m_model) return false;
    const int row = ViewRowToModelRow(viewRow);
    const int column = ViewColumnToModelColumn(viewColumn);
    return row >= 0 && column >= 0 && m_model->IsCellEditable(row, column);
}

// ---- renderers and editors ---------------------------------------------------------------------------

ITableCellRenderer* CTableControl::GetModelCellRenderer(int modelRow, int modelColumn) const {
    if (m_rendererResolver) {
        if (ITableCellRenderer* renderer = m_rendererResolver->Resolve(modelRow, modelColumn)) return renderer;
    }
    return m_model ? GetDefaultRenderer(m_model->GetValueClass(modelRow, modelColumn)) : nullptr;
}

ITableCellRenderer* CTableControl::GetRenderer(int viewRow, int viewColumn) const {
    return GetModelCellRenderer(ViewRowToModelRow(viewRow), ViewColumnToModelColumn(viewColumn));
}

ITableCellEditor* CTableControl::GetEditor(int modelRow, int modelColumn) const {
    if (m_editorResolver) {
        if (ITableCellEditor* editor = m_editorResolver->Resolve(modelRow, modelColumn)) return editor;
    }
    return m_model ? GetDefaultEditor(m_model->GetValueClass(modelRow, modelColumn)) : nullptr;
}

template <class Notify>
void CTableControl::TellCellEditorListeners(Notify notify) {
    const CCellEditorEvent event(this);
    const std::vector<ICellEditorEventListener*> listeners = m_cellEditorListeners;
    for (ICellEditorEventListener* listener : listeners) notify(*listener, event);
}

void CTableControl::CancelEditing() { CancelEditing(true); }

void CTableControl::CancelEditing(bool refresh) {
    if (m_activeEditor == nullptr) return;
    // Forgotten first, so that an editor reporting its own cancel from inside is not told twice.
    ITableCellEditor* editor = m_activeEditor;
    m_activeEditor = nullptr;
    // The keyboard goes back to the table, as after a commit, when the editor had it: not to the
    // window, where arrows move nothing and Enter presses a dialog's OK.
    const bool hadKeyboard = !m_destroying && m_list != nullptr && m_list->HasFocusWithin();
    editor->CancelEditing(this);
    if (hadKeyboard && m_list != nullptr) m_list->SetFocus();
    TellCellEditorListeners([](ICellEditorEventListener& l, const CCellEditorEvent& e) { l.OnEditingCancelled(e); });
    if (refresh && !m_destroying) Refresh();
}

void CTableControl::OnEditingStarted(const CCellEditorEvent& event) {
    TellCellEditorListeners([](ICellEditorEventListener& l, const CCellEditorEvent& e) { l.OnEditingStarted(e); });
    m_activeEditor = boost::any_cast<ITableCellEditor*>(event.GetSource());
}

void CTableControl::OnEditingStopped(const CCellEditorEvent&) {
    if (m_activeEditor == nullptr) return;
    m_activeEditor = nullptr;
    TellCellEditorListeners([](ICellEditorEventListener& l, const CCellEditorEvent& e) { l.OnEditingStopped(e); });
    if (!m_destroying) Refresh();
}

void CTableControl::OnEditingCancelled(const CCellEditorEvent&) {
    if (m_activeEditor == nullptr) return;
    m_activeEditor = nullptr;
    TellCellEditorListeners([](ICellEditorEventListener& l, const CCellEditorEvent& e) { l.OnEditingCancelled(e); });
    if (!m_destroying) Refresh();
}

// ---- drawing ------------------------------------------------------------------------------------------

void CTableControl::OnListDrawItem(platform::DrawContext& dc, int item, const platform::Rect&) { DrawItem(dc, item); }

void CTableControl::DrawItem(platform::DrawContext& dc, int viewRow) {
    if (viewRow < 0 || !m_model) return;
    const int leadRow = ModelRowToViewRow(m_rowSelection->GetLead());
    const int leadColumn = ModelColumnToViewColumn(m_columnSelection->GetLead());
    const int modelRow = ViewRowToModelRow(viewRow);
    const bool selected = m_rowSelection->IsSelected(modelRow);
    const int columns = GetColumnCount();
    for (int column = 0; column < columns; ++column) {
        const platform::Rect cell = GetCellRect(viewRow, column);
        if (cell.IsEmpty() || !dc.IsRectVisible(cell)) continue;
        const bool lead = viewRow == leadRow && column == leadColumn;
        ITableCellRenderer* renderer = GetRenderer(viewRow, column);
        if (renderer != nullptr && modelRow >= 0) {
            renderer->Draw(this, m_model->GetValueAt(modelRow, ViewColumnToModelColumn(column)), selected, lead,
                           viewRow, column, dc, cell);
        } else {
            // A cell no renderer can draw still shows the row's selection.
            const bool leadEditable = lead && IsViewCellEditable(viewRow, column);
            dc.FillRect(cell,
                        GetCellColourTable()[ChooseCellColours(IsWindowEnabled(), selected, HasFocus(), leadEditable)]
                            .background);
        }
    }
    if (viewRow == leadRow && leadColumn >= 0 && HasFocus()) {
        platform::Rect focus = GetCellRect(viewRow, leadColumn);
        if (!focus.IsEmpty()) {
            focus.left += 1;
            focus.bottom -= 1;
            dc.DrawFocusRect(focus);
        }
    }
}

// ---- selections ---------------------------------------------------------------------------------------

boost::shared_ptr<IListSelection> CTableControl::GetViewRowSelection() const {
    boost::shared_ptr<IListSelection> view = m_rowSelection->CreateEmpty();
    CopyMapped(*m_rowSelection, *view, [this](int row) { return ModelRowToViewRow(row); });
    return view;
}

boost::shared_ptr<IListSelection> CTableControl::GetViewColumnSelection() const {
    boost::shared_ptr<IListSelection> view = m_columnSelection->CreateEmpty();
    CopyMapped(*m_columnSelection, *view, [this](int column) { return ModelColumnToViewColumn(column); });
    return view;
}

void CTableControl::SetRowSelection(const IListSelection& viewSelection) {
    const boost::shared_ptr<IListSelection> old = GetViewRowSelection();
    CopyMapped(viewSelection, *m_rowSelection, [this](int row) { return ViewRowToModelRow(row); });
    std::vector<int> changed;
    const int oldLead = old->GetLead();
    const int newLead = viewSelection.GetLead();
    if (oldLead != newLead) {
        if (oldLead != -1) {
            FireRowSelectionEvent(CListSelectionEvent::kLeadChanged, oldLead, false);
            changed.push_back(oldLead);
        }
        if (newLead != -1) {
            FireRowSelectionEvent(CListSelectionEvent::kLeadChanged, newLead, true);
            changed.push_back(newLead);
        }
    }
    const int items = m_list != nullptr ? m_list->ItemCount() : viewSelection.GetSize();
    for (int row = 0; row < items; ++row) {
        const bool selected = viewSelection.IsSelected(row);
        if (selected != old->IsSelected(row)) {
            FireRowSelectionEvent(CListSelectionEvent::kSelectionChanged, row, selected);
            changed.push_back(row);
        }
    }
    for (int row : changed) InvalidateViewRow(row);
}

void CTableControl::SetColumnSelection(const IListSelection& viewSelection) {
    const boost::shared_ptr<IListSelection> old = GetViewColumnSelection();
    CopyMapped(viewSelection, *m_columnSelection, [this](int column) { return ViewColumnToModelColumn(column); });
    const int oldLead = old->GetLead();
    const int newLead = viewSelection.GetLead();
    if (oldLead == newLead) return;
    if (oldLead != -1) FireColumnSelectionEvent(CListSelectionEvent::kLeadChanged, oldLead, false);
    if (newLead != -1) FireColumnSelectionEvent(CListSelectionEvent::kLeadChanged, newLead, true);
    InvalidateViewRow(ModelRowToViewRow(m_rowSelection->GetLead()));
}

void CTableControl::FireRowSelectionEvent(int kind, int viewIndex, bool selected) {
    if (m_rowListeners.IsEmpty()) return;
    const CListSelectionEvent event(this, kind, ViewRowToModelRow(viewIndex), selected);
    m_rowListeners.ForEach([&event](IListSelectionEventListener& l) { l.OnListSelectionChanged(event); });
}

void CTableControl::FireColumnSelectionEvent(int kind, int viewIndex, bool selected) {
    if (m_columnListeners.IsEmpty()) return;
    const CListSelectionEvent event(this, kind, ViewColumnToModelColumn(viewIndex), selected);
    m_columnListeners.ForEach([&event](IListSelectionEventListener& l) { l.OnListSelectionChanged(event); });
}

bool CTableControl::AnyCellEditable() const {
    if (!m_model) return false;
    const int rows = m_model->GetRowCount();
    const int columns = m_model->GetColumnCount();
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            if (m_model->IsCellEditable(row, column)) return true;
        }
    }
    return false;
}

void CTableControl::RepaintSelectedRows() {
    if (m_list == nullptr) return;
    const int top = m_list->TopIndex();
    const int end = std::min(top + m_list->CountPerPage(), m_list->ItemCount());
    for (int row = top; row < end; ++row) {
        if (m_rowSelection->IsSelected(ViewRowToModelRow(row))) m_list->InvalidateItem(row);
    }
}

void CTableControl::InvalidateViewRow(int viewRow) {
    if (m_list != nullptr) m_list->InvalidateItem(viewRow);
}

void CTableControl::SelectMarkRange(IListSelection& rows, int row, bool select, bool exclusive) const {
    const int mark = SelectionMark();
    const int first = std::max(std::min(mark, row), 0);
    const int last = std::max(mark, row);
    rows.SetRange(first, last + 1, select, exclusive);
}

// ---- mouse --------------------------------------------------------------------------------------------

void CTableControl::OnListMouse(const platform::MouseInput& input) {
    const bool right = (input.modifiers & platform::kModRightButton) != 0;
    switch (input.action) {
        case platform::MouseAction::ButtonDown:
            if (right)
                OnRButtonDown(input);
            else
                OnLButtonDown(input);
            break;
        case platform::MouseAction::ButtonUp:
            if (right)
                MouseToEditor(CMouseInfo::kButtonUp, input.point, input.modifiers);
            else
                OnLButtonUp(input);
            break;
        case platform::MouseAction::DoubleClick:
            MouseToEditor(CMouseInfo::kDoubleClick, input.point, input.modifiers);
            break;
        case platform::MouseAction::Move:
            OnMouseMove(input);
            break;
    }
}

void CTableControl::OnLButtonDown(const platform::MouseInput& input) {
    SetFocus();
    const CTableCell cell = HitTest(input.point);
    if (cell.row >= 0) {
        const bool shift = (input.modifiers & platform::kModShift) != 0;
        const bool ctrl = (input.modifiers & platform::kModCtrl) != 0;
        if (input.rightHeld) return;  // another button held as well: nothing at all
        const int mode = shift ? kDragRange : ctrl ? kDragToggle : kDragPlain;
        m_dragMode = mode;

        const boost::shared_ptr<IListSelection> rows = GetViewRowSelection();
        const boost::shared_ptr<IListSelection> columns = GetViewColumnSelection();
        // What stays as it is is announced again before anything changes.
        if (rows->GetLead() == cell.row) FireRowSelectionEvent(CListSelectionEvent::kLeadChanged, cell.row, true);
        if (rows->IsSelected(cell.row)) FireRowSelectionEvent(CListSelectionEvent::kSelectionChanged, cell.row, true);
        if (columns->GetLead() == cell.column)
            FireColumnSelectionEvent(CListSelectionEvent::kLeadChanged, cell.column, true);

        rows->SetLead(cell.row);
        if (mode == kDragPlain) {
            rows->SetOne(cell.row, true, true);
            SetSelectionMark(cell.row);
        } else if (mode == kDragRange) {
            SelectMarkRange(*rows, cell.row, true, true);
        } else {
            rows->SetOne(cell.row, !rows->IsSelected(cell.row), false);
            SetSelectionMark(cell.row);
        }
        columns->SetLead(cell.column);
        SetRowSelection(*rows);
        SetColumnSelection(*columns);
        if (m_list != nullptr) m_list->CaptureMouse();
    }
    MouseToEditor(CMouseInfo::kButtonDown, input.point, input.modifiers);
}

void CTableControl::OnLButtonUp(const platform::MouseInput& input) {
    m_dragMode = kNoDrag;
    if (m_list != nullptr) m_list->ReleaseMouse();
    MouseToEditor(CMouseInfo::kButtonUp, input.point, input.modifiers);
}

void CTableControl::OnRButtonDown(const platform::MouseInput& input) {
    SetFocus();
    const CTableCell cell = HitTest(input.point);
    if (cell.row >= 0) {
        const boost::shared_ptr<IListSelection> rows = GetViewRowSelection();
        const boost::shared_ptr<IListSelection> columns = GetViewColumnSelection();
        rows->SetLead(cell.row);
        columns->SetLead(cell.column);
        SetRowSelection(*rows);
        SetColumnSelection(*columns);
    }
    MouseToEditor(CMouseInfo::kButtonDown, input.point, input.modifiers);
}

void CTableControl::OnMouseMove(const platform::MouseInput& input) {
    if (m_dragMode == kNoDrag || m_list == nullptr) return;
    const int screenY = m_list->ClientToScreen(input.point).y;
    const platform::Rect window = m_list->WindowScreenRect();
    int& previousY = PreviousDragY();
    const bool movingUp = screenY < previousY;
    const bool movingDown = screenY > previousY;
    previousY = screenY;

    const int top = m_list->TopIndex();
    int target = -1;
    if (screenY < window.top && movingUp) {
        target = top;
        EnsureRowVisible(top - 1, 0);
    } else if (screenY >= window.bottom && movingDown) {
        target = std::min(top + m_list->CountPerPage(), m_list->ItemCount()) - 1;
        EnsureRowVisible(target + 1, 0);
    } else {
        target = HitTest(platform::Point{0, input.point.y}).row;
    }
    if (target < 0) return;

    const boost::shared_ptr<IListSelection> rows = GetViewRowSelection();
    rows->SetLead(target);
    if (m_dragMode == kDragToggle) {
        const int mark = SelectionMark();
        SelectMarkRange(*rows, target, mark >= 0 ? rows->IsSelected(mark) : true, false);
    } else {
        SelectMarkRange(*rows, target, true, true);
    }
    SetRowSelection(*rows);
    MouseToEditor(CMouseInfo::kMove, platform::Point{0, input.point.y}, input.modifiers);
}

void CTableControl::MouseToEditor(int action, platform::Point point, int modifiers) {
    const CTableCell cell = HitTest(point);
    const int row = cell.row >= 0 ? ViewRowToModelRow(cell.row) : -1;
    const int column = cell.column >= 0 ? ViewColumnToModelColumn(cell.column) : -1;
    const CMouseInfo mouse(action, point, modifiers);
    const bool onCell = row >= 0 && column >= 0;
    if (ITableCellEditor* active = m_activeEditor) {
        active->StartByMouse(this, row, column, mouse);
        if (onCell && GetEditor(row, column) == active) return;
    }
    if (onCell && m_rowSelection->IsSelected(row) && m_model && m_model->IsCellEditable(row, column)) {
        if (ITableCellEditor* editor = GetEditor(row, column)) editor->StartByMouse(this, row, column, mouse);
    }
}

// ---- keys ---------------------------------------------------------------------------------------------

bool CTableControl::OnListKey(const platform::KeyInput& input) {
    return input.action == platform::KeyAction::Down ? OnKeyDown(input) : OnKeyUp(input);
}

bool CTableControl::OnKeyDown(const platform::KeyInput& input) {
    bool used = false;
    switch (input.code) {
        case platform::kKeySpace:
        case platform::kKeyPageUp:
        case platform::kKeyPageDown:
        case platform::kKeyEnd:
        case platform::kKeyHome:
        case platform::kKeyUp:
        case platform::kKeyDown:
            MoveLeadRow(input.code, input.modifiers);
            used = true;
            break;
        case platform::kKeyLeft:
        case platform::kKeyRight:
            MoveLeadColumn(input.code);
            used = true;
            break;
        case platform::kKeyEnter:
            // Kept from the window's default button only while there is something to edit.
            used = AnyCellEditable();
            break;
        default:
            break;
    }
    KeyToEditor(CKeyInfo::kKeyDown, input.code, input.modifiers);
    return used;
}

bool CTableControl::OnKeyUp(const platform::KeyInput& input) {
    KeyToEditor(CKeyInfo::kKeyUp, input.code, input.modifiers);
    return false;
}

void CTableControl::KeyToEditor(int kind, int code, int modifiers) {
    if (!m_model) return;
    const int row = m_rowSelection->GetLead();
    const int column = m_columnSelection->GetLead();
    if (ModelRowToViewRow(row) < 0 || ModelColumnToViewColumn(column) < 0) return;
    if (column >= m_columnSelection->GetSize()) return;
    if (!m_rowSelection->IsSelected(row) || !m_model->IsCellEditable(row, column)) return;
    if (ITableCellEditor* editor = GetEditor(row, column)) {
        const CKeyInfo key{kind, code, modifiers & (platform::kModShift | platform::kModCtrl | platform::kModAlt)};
        editor->StartByKey(this, row, column, key);
    }
}

void CTableControl::MoveLeadRow(int key, int modifiers) {
    const boost::shared_ptr<IListSelection> rows = GetViewRowSelection();
    const int lead = rows->GetLead();
    const int size = rows->GetSize();
    switch (key) {
        case platform::kKeyUp:
        case platform::kKeyPageUp:
        case platform::kKeyHome:
            if (lead <= 0) return;
            break;
        case platform::kKeyDown:
        case platform::kKeyPageDown:
        case platform::kKeyEnd:
            if (lead >= size - 1) return;
            break;
        case platform::kKeySpace:
            if (lead < 0) return;
            break;
        default:
            return;
    }
    const int top = GetTopIndex();
    const int perPage = std::max(1, GetCountPerPage());
    int target = lead;
    switch (key) {
        case platform::kKeyUp:
            target = lead - 1;
            break;
        case platform::kKeyDown:
            target = lead + 1;
            break;
        case platform::kKeyPageUp:
            target = lead == top ? std::max(top - perPage + 1, 0) : top;
            break;
        case platform::kKeyPageDown: {
            // To the bottom visible row; from there one page further.
            const int bottom = top + perPage - 1;
            target = std::min(lead == bottom ? bottom + perPage - 1 : bottom, size - 1);
            break;
        }
        case platform::kKeyHome:
            target = 0;
            break;
        case platform::kKeyEnd:
            target = size - 1;
            break;
        default:
            break;
    }
    ApplyKeySelection(*rows, target, (modifiers & platform::kModCtrl) != 0, (modifiers & platform::kModShift) != 0,
                      key == platform::kKeySpace);
}

void CTableControl::ApplyKeySelection(IListSelection& rows, int row, bool ctrl, bool shift, bool space) {
    if (!space) rows.SetLead(row);
    if (ctrl && shift) {
        rows.SetOne(row, true, true);
        SetSelectionMark(row);
    } else if (ctrl) {
        if (space) rows.SetOne(row, !rows.IsSelected(row), false);
        SetSelectionMark(row);
    } else if (shift) {
        SelectMarkRange(rows, row, true, true);
    } else {
        rows.SetOne(row, true, !space);
        SetSelectionMark(row);
    }
    SetRowSelection(rows);
    EnsureRowVisible(row, 0);
}

void CTableControl::MoveLeadColumn(int key) {
    const boost::shared_ptr<IListSelection> columns = GetViewColumnSelection();
    const int lead = columns->GetLead();
    int target = lead;
    if (key == platform::kKeyLeft && lead > 0)
        target = lead - 1;
    else if (key == platform::kKeyRight && lead < columns->GetSize() - 1)
        target = lead + 1;
    else
        return;
    columns->SetLead(target);
    SetColumnSelection(*columns);
    EnsureColumnVisible(target);
}

// ---- the list's other notices -------------------------------------------------------------------------

void CTableControl::OnListFocusChanged(bool) { RepaintSelectedRows(); }

void CTableControl::OnListHeaderClick(int column) {
    if (!m_model) return;
    m_cellResolver->SetSortColumn(ViewColumnToModelColumn(column));
    m_cellResolver->Update(m_model.get());
    if (m_list != nullptr) m_list->InvalidateAll();
}

void CTableControl::OnListDividerDoubleClick(int column) { FitColumnToContents(column); }

void CTableControl::OnListScroll(platform::ScrollSource) { CancelEditing(); }

}  // namespace UL
