#pragma once
// A table that keeps its column widths in the settings: under a section its owner names, one value of
// the pixel widths joined by ",", where -1 stands for fitting the contents and -2 for fitting the header.
#include "ui/TableControl.h"

#include <string>
#include <vector>

class CListCtrlA : public UL::CTableControl {
public:
    CListCtrlA() = default;
    // Saves the widths while the table is still this class.
    ~CListCtrlA() override;

    // Stores the three, then loads the widths and applies them to the columns there are.
    void SetColumnWidthSettings(const std::string& section, const std::string& valueName,
                                const std::vector<int>& defaultWidths);
    // The default widths with the stored ones over them (parts that are not positive numbers keep the
    // default).
    void LoadColumnWidths();
    // The columns' own pixel widths (a last column that fills the table counts at its own width);
    // nothing while the table has no columns.
    void SaveColumnWidths();
    // The widths last loaded, which new columns take.
    const std::vector<int>& GetLoadedWidths() const { return m_widths; }

protected:
    void OnDestroy() override;
    void OnColumnsInserted(int first, int end) override;

private:
    void ApplyWidth(int column);

    std::string m_section;
    std::string m_valueName;
    std::vector<int> m_defaultWidths;
    std::vector<int> m_widths;
};
