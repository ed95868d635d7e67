#pragma once
// The cell editors' side of the table: the editor interface the table calls, and the events in which
// editors report the start and the end of editing (to the table, which passes them on to its own
// listeners).
#include "general_tools/Events.h"
#include "ui/InputInfo.h"

namespace UL {

class CTableControl;

class ITableCellEditor {
public:
    virtual ~ITableCellEditor() = default;
    // The table offers input on a cell; the editor decides whether it starts editing (and then reports
    // OnEditingStarted to the table with itself as the source). Rows and columns are model ones; -1 and
    // -1 when the input lies off the cells.
    virtual bool StartByMouse(CTableControl* table, int modelRow, int modelColumn, const CMouseInfo& mouse) = 0;
    virtual bool StartByKey(CTableControl* table, int modelRow, int modelColumn, const CKeyInfo& key) = 0;
    virtual bool StartEditing(CTableControl* table, int modelRow, int modelColumn) = 0;
    // Both end editing silently: nothing is committed and nothing reported.
    virtual void StopEditing(CTableControl* table) = 0;
    virtual void CancelEditing(CTableControl* table) = 0;
};

// Its source is the reporting ITableCellEditor* when an editor reports to its table, and the
// CTableControl* when the table tells its own listeners.
class CCellEditorEvent : public GT::CEvent {
public:
    using GT::CEvent::CEvent;
};

class ICellEditorEventListener : public GT::IEventListener {
public:
    virtual void OnEditingStarted(const CCellEditorEvent& event) = 0;
    // Editing ended with a commit.
    virtual void OnEditingStopped(const CCellEditorEvent& event) = 0;
    // Editing ended with a cancel.
    virtual void OnEditingCancelled(const CCellEditorEvent& event) = 0;
};

}  // namespace UL
