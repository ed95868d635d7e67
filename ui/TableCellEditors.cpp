#include "ui/TableCellEditors.h"

#include "platform/window/ReportList.h"
#include "ui/SpinEdit.h"
#include "ui/TableControl.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>

namespace UL {

namespace {

// How far a popup is put above its cell, so that its border covers the grid line above the cell.
constexpr int kEditRaise = 1;
constexpr int kComboRaise = 2;

// The number editor's set-up for a cell without a description of its range.
constexpr double kDefaultMinimum = -2147483647.0;
constexpr double kDefaultMaximum = 2147483647.0;
constexpr int kDefaultPrecision = 15;

// The popup behaviour a popup is made of, which is the source of its events.
template <class X>
CPopupImplementer<X>* AsImplementer(CPopupImplementer<X>* popup) {
    return popup;
}

// A whole number of type T, for a value already within the range: the conversion is defined for every
// double (T's own limits where a range given wider than T reaches past them).
template <class T>
T ToInteger(double x) {
    constexpr double kAbove = -static_cast<double>(std::numeric_limits<T>::min());  // exact: a power of two
    if (x >= kAbove) return std::numeric_limits<T>::max();
    if (x <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    return static_cast<T>(x);
}

}  // namespace

// --- The shared behaviour

template <class T, class TPopup>
CPopupTableCellEditor<T, TPopup>::~CPopupTableCellEditor() {
    *m_alive = false;
    TPopup::DeleteWhenIdle(std::move(m_popup));
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::IsEditKey(const CKeyInfo& key) const {
    return key.kind == CKeyInfo::kKeyDown && key.code == platform::kKeyEnter;
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::IsEditMouse(const CMouseInfo& mouse) const {
    return mouse.GetAction() == CMouseInfo::kButtonDown && mouse.GetModifiers() == platform::kModRightButton;
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::StartByMouse(CTableControl* table, int modelRow, int modelColumn,
                                                    const CMouseInfo& mouse) {
    if (!IsEditMouse(mouse)) return false;
    return Start(table, modelRow, modelColumn);
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::StartByKey(CTableControl* table, int modelRow, int modelColumn,
                                                  const CKeyInfo& key) {
    if (!IsEditKey(key)) return false;
    return Start(table, modelRow, modelColumn);
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::Start(CTableControl* table, int modelRow, int modelColumn) {
    if (table == nullptr) return false;
    table->EnsureRowVisible(table->ModelRowToViewRow(modelRow), 0);
    table->EnsureColumnVisible(table->ModelColumnToViewColumn(modelColumn));
    if (!StartEditing(table, modelRow, modelColumn)) return false;
    table->OnEditingStarted(CCellEditorEvent(static_cast<ITableCellEditor*>(this)));
    return true;
}

template <class T, class TPopup>
bool CPopupTableCellEditor<T, TPopup>::StartEditing(CTableControl* table, int modelRow, int modelColumn) {
    if (table == nullptr || !table->GetModel() || !table->HasWindow()) return false;
    const ITableModel& model = *table->GetModel();
    if (modelRow < 0 || modelColumn < 0 || modelRow >= model.GetRowCount() || modelColumn >= model.GetColumnCount())
        return false;
    // Nothing of the editor changes until the new popup is open: a failed start leaves an open popup on
    // its own cell, with its own start value.
    T startValue{};
    std::unique_ptr<TPopup> popup = MakePopup(*table, modelRow, modelColumn, startValue);
    if (!popup) return false;
    std::unique_ptr<TPopup> replaced = std::move(m_popup);
    m_popup = std::move(popup);
    m_table = table;
    m_row = modelRow;
    m_column = modelColumn;
    m_startValue = std::move(startValue);
    if (m_popup->GetControl() != nullptr) m_popup->GetControl()->SetFocus();
    TPopup::DeleteWhenIdle(std::move(replaced));
    return true;
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::StopEditing(CTableControl*) {
    ClosePopup();
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::CancelEditing(CTableControl*) {
    ClosePopup();
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::ClosePopup() {
    // The popup may be closed from inside its own handlers (a table refreshed while the commit shows a
    // message box): it goes once they have returned.
    TPopup::DeleteWhenIdle(std::move(m_popup));
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::OnPopupClosed(const CPopupEvent& event) {
    using Implementer = std::remove_pointer_t<decltype(AsImplementer(std::declval<TPopup*>()))>;
    if (IsFromPopup<Implementer>(event)) EndPopup(true);
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::OnPopupCancelled(const CPopupEvent& event) {
    using Implementer = std::remove_pointer_t<decltype(AsImplementer(std::declval<TPopup*>()))>;
    if (IsFromPopup<Implementer>(event)) EndPopup(false);
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::EndPopup(bool committed) {
    // The model, the table and the table's listeners may do anything, this editor's end included.
    const std::shared_ptr<bool> alive = m_alive;
    TPopup* const popup = m_popup.get();
    if (committed)
        Commit();
    else if (m_immediateCommit)
        WriteStartValue();
    if (!*alive) return;
    CTableControl* const table = m_table;
    if (table != nullptr) {
        // The keyboard goes back to the table, not to whatever follows the popup.
        if (table->HasWindow()) table->SetFocus();
        const CCellEditorEvent report(static_cast<ITableCellEditor*>(this));
        if (committed)
            table->OnEditingStopped(report);
        else
            table->OnEditingCancelled(report);
        if (!*alive) return;
    }
    if (m_popup && m_popup.get() == popup) m_popup->DestroyWindow();
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::CommitNow() {
    if (!m_immediateCommit || !IsEditing()) return;
    // The model may show a message box: a click on it, or the popup losing activation to it, must not
    // end the popup while the change it shows is being written.
    const typename TPopup::CKeepOpen keepOpen(*m_popup);
    Commit();
}

template <class T, class TPopup>
CRect CPopupTableCellEditor<T, TPopup>::PopupRect(const CTableControl& table, int modelRow, int modelColumn,
                                                  int raise) {
    CRect cell = table.GetCellRect(table.ModelRowToViewRow(modelRow), table.ModelColumnToViewColumn(modelColumn));
    cell.top -= raise;
    cell.bottom -= raise;
    return cell;
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::WriteToEditedCell(const CCellValue& value) const {
    if (m_table == nullptr || !m_table->GetModel()) return;
    ITableModel& model = *m_table->GetModel();
    if (m_row < 0 || m_column < 0 || m_row >= model.GetRowCount()) return;
    model.SetValueAt(value, m_row, m_column);
}

template <class T, class TPopup>
void CPopupTableCellEditor<T, TPopup>::WriteToSelectedRows(const CCellValue& value) const {
    if (m_table == nullptr || !m_table->GetModel() || m_column < 0) return;
    ITableModel& model = *m_table->GetModel();
    std::vector<int> rows = m_table->GetSelection()->GetSelected();
    // Editing starts only on a selected row; should the owner have changed the selection meanwhile, the
    // edited row still gets what the user typed.
    const auto at = std::lower_bound(rows.begin(), rows.end(), m_row);
    if (m_row >= 0 && (at == rows.end() || *at != m_row)) rows.insert(at, m_row);
    for (int row : rows) {
        // Asked again each time: a write may show a message box, and the model change meanwhile.
        if (row >= 0 && row < model.GetRowCount()) model.SetValueAt(value, row, m_column);
    }
}

// --- Numbers

template <class T>
T CNumberTableCellEditor<T>::LimitValue(double value, double minimum, double maximum, T start) {
    if (std::isnan(value)) return start;
    if (minimum > maximum) std::swap(minimum, maximum);
    if constexpr (!std::is_floating_point_v<T>) {
        value = std::trunc(value);
        minimum = std::trunc(minimum);
        maximum = std::trunc(maximum);
    }
    // Limited as doubles before any conversion; a bound that is not a number limits nothing.
    if (value < minimum) value = minimum;
    if (value > maximum) value = maximum;
    if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(value);
    else
        return ToInteger<T>(value);
}

template <class T>
std::unique_ptr<CPopupSpinEdit> CNumberTableCellEditor<T>::MakePopup(CTableControl& table, int modelRow,
                                                                     int modelColumn, T& startValue) {
    const ITableModel& model = *table.GetModel();
    startValue = model.GetValueAt(modelRow, modelColumn).template Get<T>();
    double minimum = kDefaultMinimum;
    double maximum = kDefaultMaximum;
    int digitPosition = 0;
    int precision = kDefaultPrecision;
    if (const auto* description =
            dynamic_cast<const GT::IRangedNumberDescription<T>*>(model.GetValueDescription(modelRow, modelColumn))) {
        const double low = static_cast<double>(description->GetMinimum());
        const double high = static_cast<double>(description->GetMaximum());
        if (!std::isnan(low)) minimum = low;
        if (!std::isnan(high)) maximum = high;
        // A step that is not finite or not above 0 is no step: the defaults stay.
        const double step = static_cast<double>(description->GetStep());
        if (std::isfinite(step) && step > 0) {
            digitPosition = DigitPositionFromStep(step);
            precision = PrecisionFromDigitPosition(digitPosition);
        }
    }
    const int kind = m_valueList != nullptr        ? CSpinEdit::kKindList
                     : std::is_floating_point_v<T> ? CSpinEdit::kKindReal
                                                   : CSpinEdit::kKindInteger;
    auto popup = std::make_unique<CPopupSpinEdit>();
    popup->AddPopupListener(this);
    popup->AddEditListener(this);
    popup->AddSpinListener(this);
    // Setup puts bounds given in reverse order in order.
    popup->Setup(kind, m_formatKind, digitPosition, minimum, maximum, precision, 0, m_valueList);
    // Hexadecimal numbers open with the digits after "0x" selected.
    const int selectionStart = m_formatKind == 1 ? 2 : 0;
    if (!popup->CreateInPlace(this->PopupRect(table, modelRow, modelColumn, kEditRaise), *table.GetList(),
                              static_cast<double>(startValue), selectionStart, -1, 0))
        return nullptr;
    return popup;
}

template <class T>
void CNumberTableCellEditor<T>::Commit() {
    const CPopupSpinEdit* popup = this->GetPopup();
    if (popup == nullptr) return;
    this->WriteToEditedCell(
        CCellValue(LimitValue(popup->GetValue(), popup->GetMinimum(), popup->GetMaximum(), this->GetStartValue())));
}

template <class T>
void CNumberTableCellEditor<T>::OnSpinEnded(const CSpinEditEvent& event) {
    if (this->template IsFromPopup<CSpinEdit>(event)) this->CommitNow();
}

template <class T>
void CNumberTableCellEditor<T>::WriteStartValue() {
    this->WriteToEditedCell(CCellValue(this->GetStartValue()));
}

// --- Enumerations

std::unique_ptr<CPopupComboBox> CEnumerationTableCellEditor::MakePopup(CTableControl& table, int modelRow,
                                                                       int modelColumn, int& startValue) {
    const CCellValue value = table.GetModel()->GetValueAt(modelRow, modelColumn);
    const GT::IRangedNumber<int>* enumeration = value.GetEnumeration();
    if (enumeration == nullptr) return nullptr;  // a text: nothing to choose from
    startValue = enumeration->GetValue();
    const GT::IRangedNumberDescription<int>& description = enumeration->GetDescription();
    std::vector<CComboBoxA::CItem> items;
    for (const auto values = description.CreateIterator(); values && values->HasNext();) {
        const int v = values->Next();
        items.emplace_back(v, description.ToString(v));
    }
    auto popup = std::make_unique<CPopupComboBox>();
    popup->SetItems(items);
    popup->AddPopupListener(this);
    popup->AddListener(this);
    if (!popup->CreateInPlace(PopupRect(table, modelRow, modelColumn, kComboRaise), *table.GetList(), startValue, 0))
        return nullptr;
    return popup;
}

void CEnumerationTableCellEditor::Commit() {
    if (GetPopup() == nullptr) return;
    const int id = GetPopup()->GetSelectedId();
    if (id != -1) WriteToSelectedRows(CCellValue(id));
}

void CEnumerationTableCellEditor::OnComboBoxEvent(const CComboBoxEvent& event) {
    if (event.GetKind() == CComboBoxEvent::kSelectionChanged && IsFromPopup<CComboBoxA>(event)) CommitNow();
}

void CEnumerationTableCellEditor::WriteStartValue() { WriteToEditedCell(CCellValue(GetStartValue())); }

// --- Truth values

std::unique_ptr<CPopupComboBox> CBooleanTableCellEditor::MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                                                   bool& startValue) {
    startValue = table.GetModel()->GetValueAt(modelRow, modelColumn).GetBool();
    auto popup = std::make_unique<CPopupComboBox>();
    popup->SetItems(std::vector<CComboBoxA::CItem>{{0, m_falseText}, {1, m_trueText}});
    popup->AddPopupListener(this);
    popup->AddListener(this);
    if (!popup->CreateInPlace(PopupRect(table, modelRow, modelColumn, kComboRaise), *table.GetList(),
                              startValue ? 1 : 0, 0))
        return nullptr;
    return popup;
}

void CBooleanTableCellEditor::Commit() {
    if (GetPopup() == nullptr) return;
    const int id = GetPopup()->GetSelectedId();
    if (id != -1) WriteToSelectedRows(CCellValue(id != 0));
}

void CBooleanTableCellEditor::OnComboBoxEvent(const CComboBoxEvent& event) {
    if (event.GetKind() == CComboBoxEvent::kSelectionChanged && IsFromPopup<CComboBoxA>(event)) CommitNow();
}

void CBooleanTableCellEditor::WriteStartValue() { WriteToEditedCell(CCellValue(GetStartValue())); }

// --- Texts

std::unique_ptr<CPopupEdit> CStringTableCellEditor::MakePopup(CTableControl& table, int modelRow, int modelColumn,
                                                              std::string& startValue) {
    startValue = table.GetModel()->GetValueAt(modelRow, modelColumn).GetString();
    auto popup = std::make_unique<CPopupEdit>();
    popup->AddPopupListener(this);
    popup->AddListener(this);
    if (!popup->CreateInPlace(PopupRect(table, modelRow, modelColumn, kEditRaise), *table.GetList(), startValue, 0, -1,
                              std::nullopt, 0))
        return nullptr;
    return popup;
}

std::string CStringTableCellEditor::CommittedText() const {
    return GetPopup() != nullptr ? GetPopup()->GetText(kEncodingAnsi) : std::string();
}

void CStringTableCellEditor::Commit() {
    if (GetPopup() != nullptr) WriteToSelectedRows(CCellValue(CommittedText()));
}

void CStringTableCellEditor::OnEditChanged(const CEditEvent& event) {
    if (IsFromPopup<CEditA>(event)) CommitNow();
}

void CStringTableCellEditor::WriteStartValue() { WriteToEditedCell(CCellValue(GetStartValue())); }

std::string CStringTableCellEditorW::CommittedText() const {
    // The edit keeps the text as typed, in UTF-8: nothing goes through the ANSI code page.
    return GetPopup() != nullptr ? GetPopup()->GetText(kEncodingUtf8) : std::string();
}

template class CPopupTableCellEditor<int, CPopupSpinEdit>;
template class CPopupTableCellEditor<long, CPopupSpinEdit>;
template class CPopupTableCellEditor<double, CPopupSpinEdit>;
template class CPopupTableCellEditor<int, CPopupComboBox>;
template class CPopupTableCellEditor<bool, CPopupComboBox>;
template class CPopupTableCellEditor<std::string, CPopupEdit>;
template class CNumberTableCellEditor<int>;
template class CNumberTableCellEditor<long>;
template class CNumberTableCellEditor<double>;

}  // namespace UL
