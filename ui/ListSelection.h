#pragma once
// Selections over a range of indices (a table's rows or columns) with a lead index, and the event that
// tells listeners how the user changed a table's selection.
#include "general_tools/Events.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace UL {

class CTableControl;

class IListSelection {
public:
    virtual ~IListSelection() = default;
    // The lead is independent of the selected indices and of the size; -1 when there is none.
    virtual void SetLead(int index) = 0;
    virtual int GetLead() const = 0;
    // Exclusive first gives every index the opposite state; then first up to (not including) end get
    // the state.
    virtual void SetRange(int first, int end, bool select, bool exclusive) = 0;
    virtual void SetOne(int index, bool select, bool exclusive) = 0;
    virtual void SetAll(bool select) = 0;
    virtual bool IsSelected(int index) const = 0;
    // Exactly the listed indices become selected; answers how many were taken (duplicates counted).
    virtual int SetSelected(const std::vector<int>& indices) = 0;
    // Ascending.
    virtual std::vector<int> GetSelected() const = 0;
    // Keeps the states that still exist; new indices start clear. The lead is not touched.
    virtual void SetSize(int size) = 0;
    virtual int GetSize() const = 0;
    // An empty selection of the same kind, so that a copy follows the same rules.
    virtual boost::shared_ptr<IListSelection> CreateEmpty() const = 0;
};

// Indices outside 0 to size - 1 are refused: ranges are cut to the size, single indices and listed
// indices outside it are ignored.
class CListSelection : public IListSelection {
public:
    void SetLead(int index) override { m_lead = index < 0 ? -1 : index; }
    int GetLead() const override { return m_lead; }
    void SetRange(int first, int end, bool select, bool exclusive) override;
    // An index past the size selects nothing (the range stays empty: index + 1 could overflow).
    void SetOne(int index, bool select, bool exclusive) override {
        SetRange(index, index < GetSize() ? index + 1 : index, select, exclusive);
    }
    void SetAll(bool select) override { SetRange(0, GetSize(), select, false); }
    bool IsSelected(int index) const override {
        return index >= 0 && index < GetSize() && m_bits[static_cast<size_t>(index)];
    }
    int SetSelected(const std::vector<int>& indices) override;
    std::vector<int> GetSelected() const override;
    void SetSize(int size) override { m_bits.resize(static_cast<size_t>(size < 0 ? 0 : size), false); }
    int GetSize() const override { return static_cast<int>(m_bits.size()); }
    boost::shared_ptr<IListSelection> CreateEmpty() const override;

private:
    int m_lead = -1;
    std::vector<bool> m_bits;
};

// At most one range selected: selecting always selects exclusively.
class CListSingleSelection : public CListSelection {
public:
    void SetRange(int first, int end, bool select, bool exclusive) override;
    boost::shared_ptr<IListSelection> CreateEmpty() const override;
};

// What a table tells its selection listeners: a row's (column's) selected state or the lead was
// announced. The source is the table (a CTableControl*); the index is a model row (model column).
class CListSelectionEvent : public GT::CEvent {
public:
    enum Kind : int { kSelectionChanged = 0, kLeadChanged = 1 };

    CListSelectionEvent(CTableControl* table, int kind, int index, bool selected)
        : GT::CEvent(table), m_kind(kind), m_index(index), m_selected(selected) {}

    int GetKind() const { return m_kind; }
    int GetIndex() const { return m_index; }
    bool IsSelected() const { return m_selected; }

private:
    int m_kind;
    int m_index;
    bool m_selected;
};

class IListSelectionEventListener : public GT::IEventListener {
public:
    virtual void OnListSelectionChanged(const CListSelectionEvent& event) = 0;
};

}  // namespace UL
