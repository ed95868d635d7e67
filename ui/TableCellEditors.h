#pragma once
// The library's cell editors. Each edits one cell at a time by opening a popup over it (a spin edit for
// numbers, a drop-down list for a truth value or an enumeration, an edit for text), writes the result into
// the model and reports the start and the end of editing to the table.
//
// Editing starts on a right-button press without modifiers or on Enter, offered by the table on a cell
// of a selected row. Enter or a left click outside the popup commits; Esc, a right click outside or the
// window losing activation cancels. Number editors write the edited cell alone; the other editors write
// the edited column of every selected row. With immediate commit on, every change in the open popup is
// committed at once, and a cancel writes the start value back into the edited cell.
#include "ui/ControlEvents.h"
#include "ui/Popup.h"
#include "ui/TableCellEditor.h"
#include "ui/TableModel.h"

#include <memory>
#include <string>
#include <vector>

namespace UL {

class CTableControl;

// The behaviour the editors share, over the edited type and the popup that edits it.
template <class T, class TPopup>
class CPopupTableCellEditor : public ITableCellEditor, public IPopupEventListener {
public:
    explicit CPopupTableCellEditor(bool immediateCommit) : m_immediateCommit(immediateCommit) {}
    ~CPopupTableCellEditor() override;
    CPopupTableCellEditor(const CPopupTableCellEditor&) = delete;
    CPopupTableCellEditor& operator=(const CPopupTableCellEditor&) = delete;

    // The cell offered becomes the edited cell only once the input was accepted and the popup is open:
    // a refused offer (the release of the press that opened the editor, over another column) leaves
    // the editor on its cell.
    bool StartByMouse(CTableControl* table, int modelRow, int modelColumn, const CMouseInfo& mouse) override;
    bool StartByKey(CTableControl* table, int modelRow, int modelColumn, const CKeyInfo& key) override;
    // Opens the popup over the cell and gives it the keyboard; a popup still open is replaced.
    bool StartEditing(CTableControl* table, int modelRow, int modelColumn) override;
    // Both close the popup silently.
    void StopEditing(CTableControl* table) override;
    void CancelEditing(CTableControl* table) override;

    void OnPopupClosed(const CPopupEvent& event) override;
    void OnPopupCancelled(const CPopupEvent& event) override;

    // Writes the popup's value into the model.
    virtual void Commit() = 0;
    // Enter pressed.
    virtual bool IsEditKey(const CKeyInfo& key) const;
    // The right button pressed with neither Shift, Ctrl nor Alt.
    virtual bool IsEditMouse(const CMouseInfo& mouse) const;

    bool IsImmediateCommit() const { return m_immediateCommit; }
    // A popup is open over the edited cell.
    bool IsEditing() const { return m_popup && m_popup->GetPopupWindow() != nullptr && !m_popup->HasEnded(); }
    const T& GetStartValue() const { return m_startValue; }
    CTableControl* GetTable() const { return m_table; }
    int GetRow() const { return m_row; }
    int GetColumn() const { return m_column; }
    TPopup* GetPopup() const { return m_popup.get(); }

protected:
    // Reads the cell's start value and makes the popup in place over the cell, with this editor added
    // as its listener; null when the popup cannot be made.
    virtual std::unique_ptr<TPopup> MakePopup(CTableControl& table, int modelRow, int modelColumn, T& startValue) = 0;
    // Writes the start value back into the edited cell (a cancel with immediate commit on).
    virtual void WriteStartValue() = 0;
    // The cell in the table's item area, moved up by some pixels, where a popup is put.
    static CRect PopupRect(const CTableControl& table, int modelRow, int modelColumn, int raise);
    // A change in the open popup: committed at once with immediate commit on.
    void CommitNow();
    // Whether an event came from the open popup's control (of type S), not from one being made.
    template <class S>
    bool IsFromPopup(const GT::CEvent& event) const {
        S* const* source = boost::any_cast<S*>(&event.GetSource());
        return source != nullptr && m_popup && *source == static_cast<S*>(m_popup.get());
    }
    void WriteToEditedCell(const CCellValue& value) const;
    // The edited column of every selected row (and of the edited row, should the selection have lost it).
    void WriteToSelectedRows(const CCellValue& value) const;

private:
    bool Start(CTableControl* table, int modelRow, int modelColumn);
    void ClosePopup();
    // After the popup ended: the report to the table, the popup's window closed, the keyboard back to the
    // table.
    void EndPopup(bool committed);

    bool m_immediateCommit;
    T m_startValue{};
    CTableControl* m_table = nullptr;  // not owned
    int m_row = -1;
    int m_column = -1;
    std::unique_ptr<TPopup> m_popup;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

// Numbers of type T (int, long or double) in a spin edit: the range and the step from the cell's
// GT::IRangedNumberDescription<T>, when it has one. Writes the edited cell alone.
template <class T>
class CNumberTableCellEditor : public CPopupTableCellEditor<T, CPopupSpinEdit>,
                               public IEditEventListener,
                               public ISpinEditEventListener {
public:
    // formatKind: 0 decimal, 1 hexadecimal "0x...", 2 hexadecimal with a sign. With a value list (not
    // owned), the value is an index into it.
    CNumberTableCellEditor(int formatKind, const std::vector<std::string>* valueList, bool immediateCommit)
        : CPopupTableCellEditor<T, CPopupSpinEdit>(immediateCommit), m_formatKind(formatKind), m_valueList(valueList) {}

    // The spin edit's value limited to its range (integers truncated toward zero; the limits applied in
    // double precision first, so that no text can overflow the conversion); a value that reads as NaN
    // keeps the start value.
    void Commit() override;
    void OnEditChanged(const CEditEvent&) override {}
    void OnSpinStarted(const CSpinEditEvent&) override {}
    void OnSpinEnded(const CSpinEditEvent& event) override;

    int GetFormatKind() const { return m_formatKind; }

    // The value written for a spin value within the bounds (given in either order); NaN gives the start.
    static T LimitValue(double value, double minimum, double maximum, T start);

protected:
    std::unique_ptr<CPopupSpinEdit> MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                              T& startValue) override;
    void WriteStartValue() override;

private:
    int m_formatKind;
    const std::vector<std::string>* m_valueList;
};

// A choice among the named values of the cell's enumeration; writes the chosen value, as an int, into
// every selected row. A cell without an enumeration value (a text) cannot be edited.
class CEnumerationTableCellEditor : public CPopupTableCellEditor<int, CPopupComboBox>, public IComboBoxEventListener {
public:
    explicit CEnumerationTableCellEditor(bool immediateCommit) : CPopupTableCellEditor(immediateCommit) {}
    void Commit() override;
    void OnComboBoxEvent(const CComboBoxEvent& event) override;

protected:
    std::unique_ptr<CPopupComboBox> MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                              int& startValue) override;
    void WriteStartValue() override;
};

// A choice between the false text (id 0) and the true text (id 1); writes into every selected row.
class CBooleanTableCellEditor : public CPopupTableCellEditor<bool, CPopupComboBox>, public IComboBoxEventListener {
public:
    CBooleanTableCellEditor(const std::string& falseText, const std::string& trueText, bool immediateCommit)
        : CPopupTableCellEditor(immediateCommit), m_falseText(falseText), m_trueText(trueText) {}
    void Commit() override;
    void OnComboBoxEvent(const CComboBoxEvent& event) override;

    const std::string& GetFalseText() const { return m_falseText; }
    const std::string& GetTrueText() const { return m_trueText; }

protected:
    std::unique_ptr<CPopupComboBox> MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                              bool& startValue) override;
    void WriteStartValue() override;

private:
    std::string m_falseText;
    std::string m_trueText;
};

// A text in an edit; writes the text, in the ANSI code page, into every selected row.
class CStringTableCellEditor : public CPopupTableCellEditor<std::string, CPopupEdit>, public IEditEventListener {
public:
    explicit CStringTableCellEditor(bool immediateCommit) : CPopupTableCellEditor(immediateCommit) {}
    void Commit() override;
    void OnEditChanged(const CEditEvent& event) override;

protected:
    std::unique_ptr<CPopupEdit> MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                          std::string& startValue) override;
    void WriteStartValue() override;
    // The text the commit writes.
    virtual std::string CommittedText() const;
};

// As the string editor, but the edited text is written as it was typed (UTF-8), whatever the ANSI code
// page can hold.
class CStringTableCellEditorW : public CStringTableCellEditor {
public:
    explicit CStringTableCellEditorW(bool immediateCommit) : CStringTableCellEditor(immediateCommit) {}

protected:
    std::string CommittedText() const override;
};

extern template class CPopupTableCellEditor<int, CPopupSpinEdit>;
extern template class CPopupTableCellEditor<long, CPopupSpinEdit>;
extern template class CPopupTableCellEditor<double, CPopupSpinEdit>;
extern template class CPopupTableCellEditor<int, CPopupComboBox>;
extern template class CPopupTableCellEditor<bool, CPopupComboBox>;
extern template class CPopupTableCellEditor<std::string, CPopupEdit>;
extern template class CNumberTableCellEditor<int>;
extern template class CNumberTableCellEditor<long>;
extern template class CNumberTableCellEditor<double>;

}  // namespace UL
