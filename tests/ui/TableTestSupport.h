// A song-like table model, a recording cell editor and recording listeners for the table tests, and a
// fixture that shows a table in a window off screen.
#pragma once

#include "general_tools/StringFunctions.h"
#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "tests/support/ListDriver.h"
#include "tests/support/WidgetDriver.h"
#include "ui/TableControl.h"

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
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

// A cell editor that records what the table offers it. It starts on a right press without modifiers
// or on Enter, and keeps the cell it was started on (a later offer that it refuses changes nothing).
class RecordingEditor : public UL::ITableCellEditor {
public:
    struct Offer {
        bool mouse;
        int row;
        int column;
        int action;  // mouse action or key kind
        int detail;  // modifiers for the mouse, the key code for keys
    };
    std::vector<Offer> offers;
    std::vector<std::string> calls;
    UL::CTableControl* table = nullptr;
    int row = -1;
    int column = -1;
    bool editing = false;
    bool canStart = true;
    bool reportCancelFromInside = false;

    bool StartByMouse(UL::CTableControl* t, int r, int c, const UL::CMouseInfo& mouse) override {
        offers.push_back(Offer{true, r, c, mouse.GetAction(), mouse.GetModifiers()});
        if (mouse.GetAction() != UL::CMouseInfo::kButtonDown || mouse.GetModifiers() != platform::kModRightButton)
            return false;
        return Start(t, r, c);
    }
    bool StartByKey(UL::CTableControl* t, int r, int c, const UL::CKeyInfo& key) override {
        offers.push_back(Offer{false, r, c, key.kind, key.code});
        if (key.kind != UL::CKeyInfo::kKeyDown || key.code != platform::kKeyEnter) return false;
        return Start(t, r, c);
    }
    bool StartEditing(UL::CTableControl*, int, int) override {
        calls.push_back("StartEditing");
        return canStart;
    }
    void StopEditing(UL::CTableControl*) override {
        calls.push_back("StopEditing");
        editing = false;
    }
    void CancelEditing(UL::CTableControl* t) override {
        calls.push_back("CancelEditing");
        editing = false;
        if (reportCancelFromInside)
            t->OnEditingCancelled(UL::CCellEditorEvent(static_cast<UL::ITableCellEditor*>(this)));
    }

    // The user commits a text into the edited cell.
    void Commit(const std::string& text) {
        table->GetModel()->SetValueAt(UL::CCellValue(text), row, column);
        editing = false;
        table->OnEditingStopped(UL::CCellEditorEvent(static_cast<UL::ITableCellEditor*>(this)));
    }
    void Cancel() {
        editing = false;
        table->OnEditingCancelled(UL::CCellEditorEvent(static_cast<UL::ITableCellEditor*>(this)));
    }
    int CountOffers(bool mouse) const {
        int n = 0;
        for (const Offer& o : offers) n += o.mouse == mouse ? 1 : 0;
        return n;
    }

private:
    bool Start(UL::CTableControl* t, int r, int c) {
        t->EnsureRowVisible(t->ModelRowToViewRow(r), 0);
        t->EnsureColumnVisible(t->ModelColumnToViewColumn(c));
        if (!StartEditing(t, r, c)) return false;
        table = t;
        row = r;
        column = c;
        editing = true;
        t->OnEditingStarted(UL::CCellEditorEvent(static_cast<UL::ITableCellEditor*>(this)));
        return true;
    }
};

class RecordingCellEditorListener : public UL::ICellEditorEventListener {
public:
    std::vector<std::string> events;
    UL::CTableControl* expectedSource = nullptr;
    void OnEditingStarted(const UL::CCellEditorEvent& e) override { Record("started", e); }
    void OnEditingStopped(const UL::CCellEditorEvent& e) override { Record("stopped", e); }
    void OnEditingCancelled(const UL::CCellEditorEvent& e) override { Record("cancelled", e); }

private:
    void Record(const char* what, const UL::CCellEditorEvent& e) {
        const bool fromTable = boost::any_cast<UL::CTableControl*>(e.GetSource()) == expectedSource;
        events.push_back(std::string(what) + (fromTable ? "" : " (wrong source)"));
    }
};

class RecordingSelectionListener : public UL::IListSelectionEventListener {
public:
    // kind, model index, selected
    std::vector<std::tuple<int, int, bool>> events;
    void OnListSelectionChanged(const UL::CListSelectionEvent& e) override {
        events.emplace_back(e.GetKind(), e.GetIndex(), e.IsSelected());
    }
};

// A table in a shown, active window off screen, over a song model.
template <class Table = UL::CTableControl>
class TableFixture : public ::testing::Test {
protected:
    void SetUp() override {
        UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        window = std::make_unique<platform::Window>();
        window->SetClientSize(platform::Size{480, 330});
        model = boost::make_shared<SongModel>(MakeSongs(RowCount()));
        table = std::make_unique<Table>();
        table->SetModel(model);
        ASSERT_TRUE(table->Create(*window, 100, platform::Rect{0, 0, 480, 330}));
        table->Refresh();
        for (int c = 0; c < 4; ++c) table->GetList()->SetColumnWidth(c, 110);
        // Eight whole rows and half of the ninth in view.
        const int chrome = List().Widget()->height() - List().ClientSize().height;
        const int rowHeight = List().ItemHeight();
        List().SetRect(platform::Rect{0, 0, 480, chrome + 8 * rowHeight + rowHeight / 2});
        window->Show();
        window->Activate();
        table->SetFocus();
        ASSERT_TRUE(PumpUntil([&] { return table->HasFocus(); }));
        ASSERT_EQ(table->GetCountPerPage(), 8);
    }
    void TearDown() override {
        table.reset();
        window.reset();
    }
    virtual int RowCount() const { return 20; }

    platform::ReportList& List() { return *table->GetList(); }
    // A click in a view cell through the toolkit.
    void ClickCell(int viewRow, int viewColumn, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                   Qt::MouseButton button = Qt::LeftButton) {
        table->EnsureRowVisible(viewRow, 0);
        Click(List(), CellCentre(List(), viewRow, viewColumn), button, modifiers);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) { SendKey(List(), key, modifiers); }
    std::vector<int> SelectedViewRows() const { return table->GetViewRowSelection()->GetSelected(); }
    int LeadViewRow() const { return table->GetViewRowSelection()->GetLead(); }

    std::unique_ptr<platform::Window> window;
    boost::shared_ptr<SongModel> model;
    std::unique_ptr<Table> table;
};

}  // namespace gbxtest
