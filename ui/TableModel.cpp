#include "ui/TableModel.h"

#include <algorithm>
#include <numeric>

namespace UL {

ITableCellRenderer* CMappedTableCellRendererResolver::Resolve(int modelRow, int modelColumn) {
    if (ITableCellRenderer* found = m_map.Find(modelRow, modelColumn)) return found;
    if (ITableCellRenderer* found = m_map.Find(-1, modelColumn)) return found;
    return m_map.Find(modelRow, -1);
}

ITableCellEditor* CMappedTableCellEditorResolver::Resolve(int modelRow, int modelColumn) {
    if (ITableCellEditor* found = m_map.Find(modelRow, modelColumn)) return found;
    return m_map.Find(-1, modelColumn);
}

void CTableCellResolver::SetSortColumn(int column) {
    if (column == -1 || column != m_sortColumn) {
        SetSortOrder(column, true);
    } else {
        m_ascending = !m_ascending;
    }
}

void CTableCellResolver::Update(ITableModel* model) {
    m_model = model;
    const int rows = model != nullptr ? std::max(0, model->GetRowCount()) : 0;
    m_viewToModel.resize(static_cast<size_t>(rows) + 1);
    std::iota(m_viewToModel.begin(), m_viewToModel.end(), 0);
    m_modelToView = m_viewToModel;
    if (m_sortColumn == -1 || rows == 0) return;

    const int column = m_sortColumn;
    // A merge sort: a model whose comparison is not a strict order gets some order, never a read
    // outside the map.
    const auto last = m_viewToModel.begin() + rows;
    if (m_ascending) {
        std::stable_sort(m_viewToModel.begin(), last,
                         [model, column](int a, int b) { return model->IsLess(a, b, column); });
    } else {
        std::stable_sort(m_viewToModel.begin(), last,
                         [model, column](int a, int b) { return model->IsLess(b, a, column); });
    }
    for (int view = 0; view < rows; ++view) m_modelToView[static_cast<size_t>(m_viewToModel[view])] = view;
}

}  // namespace UL
