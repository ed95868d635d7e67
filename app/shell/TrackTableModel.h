// The ripping dialog's track table over the current album: the track number, the title and the artist
// of each track; titles and artists are edited in place, the track number is not.
#pragma once

#include "ui/TableModel.h"

class CTrackTableModel : public UL::ITableModel {
public:
    enum Column : int { TRACK = 0, TITLE = 1, ARTIST = 2, COLUMN_COUNT = 3 };

    int GetRowCount() const override;
    int GetColumnCount() const override { return COLUMN_COUNT; }
    std::string GetColumnName(int column) const override;
    bool IsColumnSortable(int) const override { return true; }
    const std::type_info& GetValueClass(int row, int column) const override;
    bool IsCellEditable(int row, int column) const override;
    // The track column: numbers from 0 to 65535 in steps of 1.
    const GT::IValueDescription* GetValueDescription(int row, int column) const override;
    void SetValueAt(const UL::CCellValue& value, int row, int column) override;
    UL::CCellValue GetValueAt(int row, int column) const override;
    // By track; by title or artist (bytewise), equal texts in track order.
    bool IsLess(int rowA, int rowB, int column) const override;
};
