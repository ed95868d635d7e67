#pragma once
// What the table control knows of the data it shows: the model, per-cell renderer and editor resolvers,
// and the cell resolver that maps the rows the user sees (view rows) to the model's rows and keeps the
// sort order. Models always receive model rows and model columns.
#include "general_tools/Enumerations.h"
#include "ui/CellValue.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

namespace UL {

class ITableCellRenderer;
class ITableCellEditor;

class ITableModel {
public:
    virtual ~ITableModel() = default;
    virtual int GetRowCount() const = 0;
    virtual int GetColumnCount() const = 0;
    virtual std::string GetColumnName(int column) const = 0;
    virtual bool IsColumnSortable(int column) const = 0;
    // The key of the table's default renderer and editor: bool, int, long, double,
    // GT::IEnumeration<int> or std::string (or any class a resolver covers).
    virtual const std::type_info& GetValueClass(int row, int column) const = 0;
    virtual bool IsCellEditable(int row, int column) const = 0;
    // What values the cell allows, or null; number editors look for a GT::IRangedNumberDescription.
    virtual const GT::IValueDescription* GetValueDescription(int row, int column) const = 0;
    virtual void SetValueAt(const CCellValue& value, int row, int column) = 0;
    virtual CCellValue GetValueAt(int row, int column) const = 0;
    // True when row A comes before row B sorted by the column; a strict order (false for equal rows).
    virtual bool IsLess(int rowA, int rowB, int column) const = 0;
};

class ITableCellRendererResolver {
public:
    virtual ~ITableCellRendererResolver() = default;
    // The cell's renderer, or null to take the table's default for the cell's value class.
    virtual ITableCellRenderer* Resolve(int modelRow, int modelColumn) = 0;
};

class ITableCellEditorResolver {
public:
    virtual ~ITableCellEditorResolver() = default;
    virtual ITableCellEditor* Resolve(int modelRow, int modelColumn) = 0;
};

// Entries keyed by (row, column), -1 standing for any row or any column. A key already present keeps
// its first entry.
template <class Item>
class CMappedCellMap {
public:
    using Key = std::pair<int, int>;  // (row, column), ordered by row, then column

    void Add(const Key& key, const boost::shared_ptr<Item>& item) { m_entries.emplace(key, item); }
    Item* Find(int row, int column) const {
        auto found = m_entries.find(Key(row, column));
        return found != m_entries.end() ? found->second.get() : nullptr;
    }

private:
    std::map<Key, boost::shared_ptr<Item>> m_entries;
};

// Looks up (r, c), then (-1, c), then (r, -1).
class CMappedTableCellRendererResolver : public ITableCellRendererResolver {
public:
    void Add(const std::pair<int, int>& key, const boost::shared_ptr<ITableCellRenderer>& renderer) {
        m_map.Add(key, renderer);
    }
    ITableCellRenderer* Resolve(int modelRow, int modelColumn) override;

private:
    CMappedCellMap<ITableCellRenderer> m_map;
};

// Looks up (r, c), then (-1, c); keys of the form (r, -1) are never consulted.
class CMappedTableCellEditorResolver : public ITableCellEditorResolver {
public:
    void Add(const std::pair<int, int>& key, const boost::shared_ptr<ITableCellEditor>& editor) {
        m_map.Add(key, editor);
    }
    ITableCellEditor* Resolve(int modelRow, int modelColumn) override;

private:
    CMappedCellMap<ITableCellEditor> m_map;
};

class ITableCellResolver {
public:
    virtual ~ITableCellResolver() = default;
    // Rebuilds both row maps for the model.
    virtual void Update(ITableModel* model) = 0;
    // Takes effect at the next Update.
    virtual void SetSortColumn(int column) = 0;
    // -1 for a row outside the maps (which describe the model as it was at the last Update). The maps
    // have one entry more than the model has rows, so that the row count maps to itself.
    virtual int ViewRowToModelRow(int viewRow) const = 0;
    virtual int ModelRowToViewRow(int modelRow) const = 0;
    virtual int ViewColumnToModelColumn(int viewColumn) const = 0;
    virtual int ModelColumnToViewColumn(int modelColumn) const = 0;
};

class CTableCellResolver : public ITableCellResolver {
public:
    void Update(ITableModel* model) override;
    // -1 or a new column sorts ascending by it; the current column again reverses the order.
    void SetSortColumn(int column) override;
    int ViewRowToModelRow(int viewRow) const override { return Lookup(m_viewToModel, viewRow); }
    int ModelRowToViewRow(int modelRow) const override { return Lookup(m_modelToView, modelRow); }
    int ViewColumnToModelColumn(int viewColumn) const override { return viewColumn; }
    int ModelColumnToViewColumn(int modelColumn) const override { return modelColumn; }

    ITableModel* GetModel() const { return m_model; }
    int GetSortColumn() const { return m_sortColumn; }
    bool IsAscending() const { return m_ascending; }

protected:
    // For resolvers that choose the order their own way.
    void SetSortOrder(int column, bool ascending) {
        m_sortColumn = column;
        m_ascending = ascending;
    }

private:
    static int Lookup(const std::vector<int>& map, int index) {
        return index >= 0 && index < static_cast<int>(map.size()) ? map[static_cast<size_t>(index)] : -1;
    }

    ITableModel* m_model = nullptr;  // not owned
    std::vector<int> m_viewToModel;
    std::vector<int> m_modelToView;
    int m_sortColumn = -1;
    bool m_ascending = true;
};

}  // namespace UL
