// A recording cell editor and recording listeners for the table tests, and a fixture that shows a table
// over the song-like model in a window off screen.
#pragma once

#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "tests/support/ListDriver.h"
#include "tests/support/SongTableModel.h"
#include "tests/support/WidgetDriver.h"
#include "ui/TableControl.h"

#include <QApplication>
#include <QKeyEvent>
#include <QString>
#include <QWidget>

#include <boost/make_shared.hpp>
#include <boost/shared_ptr.hpp>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace gbxtest {

// Types a text into a widget key by key, as a keyboard would (every character, a surrogate pair too,
// arrives as the text of one key press).
inline void TypeText(QWidget* target, const QString& text) {
    for (const char32_t character : text.toUcs4()) {
        const QString one = QString::fromUcs4(&character, 1);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, one);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, one);
        QApplication::sendEvent(target, &press);
        QApplication::sendEvent(target, &release);
    }
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
