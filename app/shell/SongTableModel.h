// The main view's song table over the list of the shown tab (Song, Rhythm or User): one row per
// song of the list, formatted for display, ordered for sorting, and edited with the card's
// limits. The model holds no data: every call reads the shown tab and the list from the document
// model, so one model serves all three tabs.
//
// Columns come in two kinds. Model columns are the song's fields: 0 name, 1 artist, 2 album,
// 3 type, 4 protect flag. View columns are what the table shows: on the Song tab all five, view
// column = model column; on the Rhythm and User tabs three: name, type, protect flag. The table
// hands this model its own column numbers, which are view columns here.
#pragma once

#include "ui/TableModel.h"

#include <string>

class CSongX;

class CSongTableModel : public UL::ITableModel {
public:
    enum EModelColumn : int { NAME = 0, ARTIST = 1, ALBUM = 2, TYPE = 3, PROTECT = 4, MODEL_COLUMNS = 5 };

    // View to model column on a tab (any tab but Rhythm and User counts as the Song tab). Rhythm
    // and User: 0 name, 2 protect, any other the type. Song: 0 to 4 unchanged, any other 5.
    static int MapViewColumn(int tab, int viewColumn);
    // Model to view column. Rhythm and User: 0 name, 3 type (1), 4 protect (2), any other 3. Song:
    // 0 to 4 unchanged, any other 5. So the column count is the view column of -1.
    static int MapModelColumn(int tab, int modelColumn);
    // The same on the shown tab.
    static int MapViewColumn(int viewColumn);
    static int MapModelColumn(int modelColumn);
    // "WAV", "MP3", "Gigbox" (a Voxa song) or "UNKNOWN".
    static const std::string& GetTypeText(int fileType);

    // The size of the shown list.
    int GetRowCount() const override;
    // 5 on the Song tab, 3 on the Rhythm and User tabs.
    int GetColumnCount() const override;
    // The header of the view column's model column: "Rhythm Name", "Artist", "Genre", "Type",
    // "Protect" on the Rhythm tab; "Song Name", "Artist", "Album", "Type", "Protect" otherwise.
    std::string GetColumnName(int column) const override;
    // The order is the main view's to set, not the header's.
    bool IsColumnSortable(int) const override { return false; }
    // Texts for name, artist, album and type; bool for the protect flag; void outside them.
    const std::type_info& GetValueClass(int row, int column) const override;
    // Name, artist, album and the protect flag.
    bool IsCellEditable(int row, int column) const override;
    const GT::IValueDescription* GetValueDescription(int, int) const override { return nullptr; }
    // A new name or protect flag marks the song changed (its icon file carries both); a new artist
    // or album passes the card's limit of 2000 names first (message 36 when it does not, and the
    // song keeps its old one) and sets the modified flag. Nothing for a row outside the list.
    void SetValueAt(const UL::CCellValue& value, int row, int column) override;
    // The field as a text, the protect flag as a bool; an empty text for a row outside the list
    // and for any other column.
    UL::CCellValue GetValueAt(int row, int column) const override;
    // By name, artist (then album and number) or album (then number), each upper-cased first and
    // exact second; by type; unprotected first. Every order ends on the row, so equal songs keep
    // their list order.
    bool IsLess(int rowA, int rowB, int column) const override;

private:
    // The row's song; null outside the shown list.
    static CSongX* SongAt(int row);
};

// The row order the main view gives the song table: setting a column always sorts ascending by
// it, also when it is the current sort column.
class CSongTableCellResolver : public UL::CTableCellResolver {
public:
    void SetSortColumn(int column) override { SetSortOrder(column, true); }
};
