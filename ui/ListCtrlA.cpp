#include "ui/ListCtrlA.h"

#include "general_tools/Profile.h"
#include "general_tools/StringFunctions.h"

CListCtrlA::~CListCtrlA() { DestroyWindow(); }

void CListCtrlA::SetColumnWidthSettings(const std::string& section, const std::string& valueName,
                                        const std::vector<int>& defaultWidths) {
    m_section = section;
    m_valueName = valueName;
    m_defaultWidths = defaultWidths;
    LoadColumnWidths();
}

void CListCtrlA::LoadColumnWidths() {
    const std::string stored = GT::GetAppProfileString(m_section, m_valueName, std::string());
    const GT::CStringTokenizer parts(stored, ',', true);
    m_widths = m_defaultWidths;
    if (static_cast<int>(m_widths.size()) < parts.GetCount())
        m_widths.resize(static_cast<size_t>(parts.GetCount()), -1);
    for (int i = 0; i < parts.GetCount(); ++i) {
        int width = 0;
        // Only a real width: a column stored at 0 (or as "fit") would open empty-looking and be stored so.
        if (GT::TryParseInt(parts.GetToken(i), width) && width > 0) m_widths[static_cast<size_t>(i)] = width;
    }
    for (int column = 0; column < GetColumnCount(); ++column) ApplyWidth(column);
}

void CListCtrlA::ApplyWidth(int column) {
    int width = column < static_cast<int>(m_widths.size()) ? m_widths[static_cast<size_t>(column)] : -1;
    if (width < 0 && width != -2) width = -1;
    SetColumnWidth(column, width);
}

void CListCtrlA::SaveColumnWidths() {
    const int columns = GetColumnCount();
    if (m_section.empty() || m_valueName.empty() || columns == 0) return;
    std::string text;
    for (int column = 0; column < columns; ++column) {
        if (column > 0) text += ",";
        // The column's own width: not what a last column that fills the table takes of its width.
        text += GT::FormatString("%d", GetColumnGivenWidth(column));
    }
    GT::WriteAppProfileString(m_section, m_valueName, text);
}

void CListCtrlA::OnDestroy() {
    SaveColumnWidths();
    UL::CTableControl::OnDestroy();
}

void CListCtrlA::OnColumnsInserted(int first, int end) {
    if (m_section.empty() && m_widths.empty()) return;  // no settings: the list's own widths
    for (int column = first; column < end; ++column) ApplyWidth(column);
}
