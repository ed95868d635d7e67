// The disc-information chooser: when the service knows several albums for one disc, the lookup asks
// the user which one to use in a one-column table of the albums' titles (the process-wide album-title
// list, GetAlbumTitleList). The ripping dialog's lookup shows it directly, not through the
// modal-dialog manager.
#pragma once

#include "app/card/ModelEvents.h"
#include "ui/Controls.h"
#include "ui/DialogA.h"
#include "ui/ListCtrlA.h"
#include "ui/TableModel.h"

#include <boost/shared_ptr.hpp>

class IMultiQueryDialog {
public:
    virtual ~IMultiQueryDialog() = default;
    // The chosen row when the dialog ended with OK, else -1.
    virtual int DoModal() = 0;
};

// The album-title list as a table: one column of titles in the service's order, none editable.
class CQueryTableModel : public UL::ITableModel {
public:
    int GetRowCount() const override;
    int GetColumnCount() const override { return 1; }
    std::string GetColumnName(int column) const override;
    bool IsColumnSortable(int) const override { return true; }
    const std::type_info& GetValueClass(int row, int column) const override;
    bool IsCellEditable(int, int) const override { return false; }
    const GT::IValueDescription* GetValueDescription(int, int) const override { return nullptr; }
    void SetValueAt(const UL::CCellValue&, int, int) override {}
    UL::CCellValue GetValueAt(int row, int column) const override;
    // The list's order.
    bool IsLess(int rowA, int rowB, int) const override { return rowA < rowB; }
};

// The window (template 4145, "CD Information Select") over the active window.
class CMultiQueryDialog : public UL::CResizableDialog, public IMultiQueryDialog, public IModelEventListener {
public:
    CMultiQueryDialog();
    ~CMultiQueryDialog() override;

    int DoModal() override;
    // 3 (a drive other than the card went): the list is emptied and the dialog ends without a choice.
    void OnModelEvent(const CModelEvent& event) override;

    CListCtrlA& GetTable() { return m_table; }

protected:
    bool OnInitDialog() override;
    void OnDestroy() override;
    void OnOK() override;
    // Esc and the window's close do not close the chooser: a choice is needed.
    void OnCancel() override {}
    void Layout(int cx, int cy) override;

private:
    UL::CStaticA m_message;
    CListCtrlA m_table;
    int m_chosen = -1;
};

// A new chooser; the pointer owns the whole dialog.
boost::shared_ptr<IMultiQueryDialog> CreateMultiQueryDialog();
