// A song-like table model for the table's tests and benchmarks: texts, a number and a flag per row,
// sorted as the song table sorts. Header only.
#pragma once

#include "general_tools/StringFunctions.h"
#include "ui/TableModel.h"

#include <initializer_list>
#include <string>
#include <typeinfo>
#include <vector>

namespace gbxtest {

struct SongRow {
    std::string title;
    std::string artist;
    int number = 0;
    bool protect = false;
};

// Columns: 0 title, 1 artist (texts), 2 number (int), 3 protect (bool). Rows sort as the song table's
// do: the upper-cased text, then the exact text, then the number, then the row.
class SongModel : public UL::ITableModel {
public:
    enum Column { kTitle = 0, kArtist = 1, kNumber = 2, kProtect = 3 };

    explicit SongModel(std::vector<SongRow> rows = {}) : rows(std::move(rows)) {}

    std::vector<SongRow> rows;
    std::vector<bool> sortable{true, true, true, true};
    std::vector<bool> editable{true, true, false, true};
    int columns = 4;
    struct Write {
        int row;
        int column;
        std::string text;
    };
    std::vector<Write> writes;

    int GetRowCount() const override { return int(rows.size()); }
    int GetColumnCount() const override { return columns; }
    std::string GetColumnName(int column) const override {
        static const char* const names[] = {"Title", "Artist", "Number", "Protect"};
        return column >= 0 && column < 4 ? names[column] : "";
    }
    bool IsColumnSortable(int column) const override { return column >= 0 && column < 4 && sortable[column]; }
    const std::type_info& GetValueClass(int, int column) const override {
        switch (column) {
            case kTitle:
            case kArtist:
                return typeid(std::string);
            case kNumber:
                return typeid(int);
            case kProtect:
                return typeid(bool);
            default:
                return typeid(void);
        }
    }
    bool IsCellEditable(int row, int column) const override {
        return Valid(row) && column >= 0 && column < 4 && editable[column];
    }
    const GT::IValueDescription* GetValueDescription(int, int) const override { return nullptr; }
    void SetValueAt(const UL::CCellValue& value, int row, int column) override {
        if (!Valid(row)) return;
        SongRow& song = rows[size_t(row)];
        switch (column) {
            case kTitle:
                song.title = value.GetString();
                break;
            case kArtist:
                song.artist = value.GetString();
                break;
            case kNumber:
                song.number = value.GetInt();
                break;
            case kProtect:
                song.protect = value.GetBool();
                break;
            default:
                return;
        }
        writes.push_back(
            Write{row, column,
                  value.GetMode() == UL::CCellValue::kText ? value.GetString() : std::to_string(value.GetInt())});
    }
    UL::CCellValue GetValueAt(int row, int column) const override {
        if (!Valid(row)) return UL::CCellValue(std::string());
        const SongRow& song = rows[size_t(row)];
        switch (column) {
            case kTitle:
                return UL::CCellValue(song.title);
            case kArtist:
                return UL::CCellValue(song.artist);
            case kNumber:
                return UL::CCellValue(song.number);
            case kProtect:
                return UL::CCellValue(song.protect);
            default:
                return UL::CCellValue(std::string());
        }
    }
    bool IsLess(int a, int b, int column) const override {
        const SongRow& x = rows[size_t(a)];
        const SongRow& y = rows[size_t(b)];
        switch (column) {
            case kTitle:
                return Order(a, b, {Text(x.title, y.title)});
            case kArtist:
                return Order(a, b, {Text(x.artist, y.artist), Number(x.number, y.number)});
            case kNumber:
                return Order(a, b, {Number(x.number, y.number)});
            case kProtect:
                return Order(a, b, {Number(x.protect, y.protect)});
            default:
                return a < b;
        }
    }

private:
    bool Valid(int row) const { return row >= 0 && row < int(rows.size()); }
    // -1 when x comes first, 1 when y does, 0 when the key does not decide.
    static int Text(const std::string& x, const std::string& y) {
        const std::string ux = GT::ToUpper(x);
        const std::string uy = GT::ToUpper(y);
        if (ux != uy) return ux < uy ? -1 : 1;
        if (x != y) return x < y ? -1 : 1;
        return 0;
    }
    static int Number(int x, int y) { return x == y ? 0 : (x < y ? -1 : 1); }
    static bool Order(int a, int b, std::initializer_list<int> keys) {
        for (int key : keys)
            if (key != 0) return key < 0;
        return a < b;
    }
};

// Songs for large tables: titles, artists in mixed case and repeated, numbers.
inline std::vector<SongRow> MakeSongs(int count) {
    static const char* const artists[] = {"the Band", "The Band", "Alpha", "alpha", "Zed", "Mira"};
    std::vector<SongRow> rows;
    for (int i = 0; i < count; ++i) {
        const int key = (i * 7919) % count;  // a scrambled order
        rows.push_back(SongRow{"Song " + GT::FormatString("%05d", key), artists[i % 6], (i * 31) % 97, i % 5 == 0});
    }
    return rows;
}

}  // namespace gbxtest
