// A table of 1,000 rows driven as a user would drive it, through the toolkit's events and the layer's
// input translation: header clicks, clicks and drags on cells, keys, and an edit whose right press and
// release fall on different columns (with a recording editor, and with the library's editors). After
// each step the model's values and the selection are checked.
#include "tests/ui/TableTestSupport.h"
#include "ui/TableCellEditors.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <vector>

namespace {

using gbxtest::SongModel;

class ThousandRows : public gbxtest::TableFixture<> {
protected:
    int RowCount() const override { return 1000; }

    void SetUp() override {
        gbxtest::TableFixture<>::SetUp();
        original = model->rows;
        editor = boost::make_shared<gbxtest::RecordingEditor>();
        // The editor of every text cell, as the main view keys its editors by column.
        auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
        editors->Add({-1, SongModel::kTitle}, editor);
        editors->Add({-1, SongModel::kProtect}, protectEditor);
        table->SetEditorResolver(editors);
    }

    // Every adjacent pair of view rows in the model's order for the column (descending reverses it).
    void ExpectSorted(int column, bool ascending) {
        for (int view = 1; view < 1000; ++view) {
            const int a = table->ViewRowToModelRow(view - 1);
            const int b = table->ViewRowToModelRow(view);
            ASSERT_TRUE(ascending ? model->IsLess(a, b, column) : model->IsLess(b, a, column)) << "view " << view;
        }
    }
    // The model rows of view rows.
    std::vector<int> ModelRows(std::vector<int> viewRows) {
        for (int& row : viewRows) row = table->ViewRowToModelRow(row);
        std::sort(viewRows.begin(), viewRows.end());
        return viewRows;
    }
    static std::vector<int> Span(int first, int last) {
        std::vector<int> rows;
        for (int r = first; r <= last; ++r) rows.push_back(r);
        return rows;
    }
    void ExpectModelUnchanged() {
        ASSERT_EQ(model->rows.size(), original.size());
        for (size_t i = 0; i < original.size(); ++i) {
            ASSERT_EQ(model->rows[i].title, original[i].title) << i;
            ASSERT_EQ(model->rows[i].artist, original[i].artist) << i;
            ASSERT_EQ(model->rows[i].protect, original[i].protect) << i;
        }
    }

    std::vector<gbxtest::SongRow> original;
    boost::shared_ptr<gbxtest::RecordingEditor> editor;
    boost::shared_ptr<gbxtest::RecordingEditor> protectEditor = boost::make_shared<gbxtest::RecordingEditor>();
};

TEST_F(ThousandRows, HeaderCellsKeysAndAnEditThatEndsOverAnotherColumn) {
    // Sorted by artist, then by title descending.
    gbxtest::ClickHeader(List(), SongModel::kArtist);
    ExpectSorted(SongModel::kArtist, true);
    EXPECT_TRUE(table->GetSelection()->GetSelected().empty());

    // A click, a Shift click, a Ctrl click.
    ClickCell(3, SongModel::kTitle);
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows({3}));
    ClickCell(7, SongModel::kTitle, Qt::ShiftModifier);
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows(Span(3, 7)));
    ClickCell(5, SongModel::kArtist, Qt::ControlModifier);
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows({3, 4, 6, 7}));
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), SongModel::kArtist);
    ExpectModelUnchanged();

    // Keys: End, Shift+Page Up, Ctrl+Home moves the lead alone, Right moves the current column.
    Key(Qt::Key_End);
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows({999}));
    EXPECT_EQ(table->GetTopIndex(), 1000 - table->GetCountPerPage());
    Key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(LeadViewRow(), table->GetTopIndex());
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows(Span(LeadViewRow(), 999)));
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(LeadViewRow(), 0);
    EXPECT_EQ(table->GetTopIndex(), 0);
    EXPECT_EQ(int(table->GetSelection()->GetSelected().size()), table->GetCountPerPage());
    Key(Qt::Key_Right);
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), SongModel::kNumber);

    // Sorting again keeps the selected model rows; the user sees them elsewhere.
    const std::vector<int> selected = table->GetSelection()->GetSelected();
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    ExpectSorted(SongModel::kTitle, false);
    EXPECT_EQ(table->GetSelection()->GetSelected(), selected);

    // Three rows selected; a right press on the title of one of them opens its editor.
    ClickCell(10, SongModel::kTitle);
    ClickCell(12, SongModel::kTitle, Qt::ShiftModifier);
    const std::vector<int> three = ModelRows(Span(10, 12));
    const int edited = table->ViewRowToModelRow(11);
    const QPoint titleCell = gbxtest::CellCentre(List(), 11, SongModel::kTitle);
    const QPoint protectCell = gbxtest::CellCentre(List(), 11, SongModel::kProtect);
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, titleCell, Qt::RightButton);
    ASSERT_EQ(table->GetActiveEditor(), editor.get());
    EXPECT_EQ(table->GetSelection()->GetSelected(), three) << "a right press keeps the selection";
    EXPECT_EQ(LeadViewRow(), 11);

    // Released over the protect column: the table offers the release to the open editor with the cell
    // under the pointer, and the editor stays on the cell it was opened on.
    editor->offers.clear();
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, protectCell, Qt::RightButton);
    ASSERT_EQ(editor->offers.size(), 1u);
    EXPECT_EQ(editor->offers[0].row, edited);
    EXPECT_EQ(editor->offers[0].column, SongModel::kProtect);
    EXPECT_EQ(editor->offers[0].action, UL::CMouseInfo::kButtonUp);
    EXPECT_EQ(editor->offers[0].detail, platform::kModRightButton);
    EXPECT_EQ(protectEditor->CountOffers(true), 1) << "the protect cell's own editor refused the release";
    EXPECT_EQ(table->GetActiveEditor(), editor.get());
    EXPECT_EQ(editor->row, edited);
    EXPECT_EQ(editor->column, SongModel::kTitle);

    // The commit writes the text into the title of every selected row and nothing into protect flags.
    for (int row : three) {
        model->SetValueAt(UL::CCellValue("Renamed"), row, editor->column);
    }
    editor->Commit("Renamed");
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    for (int row = 0; row < 1000; ++row) {
        const bool inThree = std::find(three.begin(), three.end(), row) != three.end();
        EXPECT_EQ(model->rows[size_t(row)].title, inThree ? "Renamed" : original[size_t(row)].title) << row;
        EXPECT_EQ(model->rows[size_t(row)].protect, original[size_t(row)].protect) << row;
    }
    for (const SongModel::Write& write : model->writes) EXPECT_EQ(write.column, SongModel::kTitle);
    EXPECT_EQ(table->GetSelection()->GetSelected(), three);

    // The renamed rows sort after every "Song" title, and a drag with Ctrl held deselects from the mark.
    std::vector<int> views;
    for (int row : three) views.push_back(table->ModelRowToViewRow(row));
    std::sort(views.begin(), views.end());
    EXPECT_EQ(views, Span(997, 999));
    table->EnsureRowVisible(999, 0);
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, gbxtest::CellCentre(List(), 998, 0), Qt::LeftButton,
                       Qt::ControlModifier);
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 999, 0), Qt::LeftButton,
                       Qt::ControlModifier, Qt::LeftButton);
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, gbxtest::CellCentre(List(), 999, 0));
    EXPECT_EQ(table->GetSelection()->GetSelected(), ModelRows({997}));
}

// The same table with the library's editors, keyed by column as the main view keys its own: texts and
// the protect flag committed only when the popup ends.
class ThousandRowsWithTheLibrarysEditors : public ThousandRows {
protected:
    void SetUp() override {
        gbxtest::TableFixture<>::SetUp();
        original = model->rows;
        auto editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
        editors->Add({-1, SongModel::kTitle}, titleEditor);
        editors->Add({-1, SongModel::kArtist}, boost::make_shared<UL::CStringTableCellEditor>(false));
        editors->Add({-1, SongModel::kProtect}, flagEditor);
        table->SetEditorResolver(editors);
        listener.expectedSource = table.get();
        table->AddCellEditorEventListener(&listener);
    }
    void Press(int key) { gbxtest::PressKey(window->Widget(), key); }
    // Every row as it was, except the listed ones, whose title or flag is as given.
    void ExpectRows(const std::vector<int>& rows, const std::string& title, bool protect) {
        for (int row = 0; row < 1000; ++row) {
            const bool listed = std::find(rows.begin(), rows.end(), row) != rows.end();
            const gbxtest::SongRow& song = model->rows[size_t(row)];
            ASSERT_EQ(song.title, listed && !title.empty() ? title : original[size_t(row)].title) << row;
            ASSERT_EQ(song.artist, original[size_t(row)].artist) << row;
            ASSERT_EQ(song.protect, listed ? protect : original[size_t(row)].protect) << row;
        }
    }

    boost::shared_ptr<UL::CStringTableCellEditor> titleEditor = boost::make_shared<UL::CStringTableCellEditor>(false);
    boost::shared_ptr<UL::CBooleanTableCellEditor> flagEditor =
        boost::make_shared<UL::CBooleanTableCellEditor>("Off", "On", false);
    gbxtest::RecordingCellEditorListener listener;
};

TEST_F(ThousandRowsWithTheLibrarysEditors, ARightPressReleasedOverAnotherColumnEditsTheCellItWasPressedOn) {
    gbxtest::ClickHeader(List(), SongModel::kArtist);
    ExpectSorted(SongModel::kArtist, true);
    ClickCell(10, SongModel::kTitle);
    ClickCell(12, SongModel::kTitle, Qt::ShiftModifier);
    const std::vector<int> three = ModelRows(Span(10, 12));
    ASSERT_EQ(table->GetSelection()->GetSelected(), three);
    const int edited = table->ViewRowToModelRow(11);

    // Pressed on the title of a selected row: the title's popup opens, with the keyboard.
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, gbxtest::CellCentre(List(), 11, SongModel::kTitle),
                       Qt::RightButton);
    ASSERT_EQ(table->GetActiveEditor(), titleEditor.get());
    ASSERT_TRUE(titleEditor->IsEditing());
    QWidget* popup = QApplication::focusWidget();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(List().ItemArea()->isAncestorOf(popup));
    EXPECT_EQ(table->GetSelection()->GetSelected(), three) << "a right press keeps the selection";

    // Released over the protect column of the same row: offered to the open editor and to the protect
    // column's own; neither takes it, and the open editor stays on the title.
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, gbxtest::CellCentre(List(), 11, SongModel::kProtect),
                       Qt::RightButton);
    EXPECT_EQ(table->GetActiveEditor(), titleEditor.get());
    EXPECT_EQ(titleEditor->GetRow(), edited);
    EXPECT_EQ(titleEditor->GetColumn(), SongModel::kTitle);
    EXPECT_FALSE(flagEditor->IsEditing());
    EXPECT_EQ(QApplication::focusWidget(), popup);
    ExpectRows({}, "", false);

    // Enter writes the typed text into the title of every selected row, and no flag.
    gbxtest::TypeText(popup, "Renamed");
    Press(Qt::Key_Return);
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "stopped"}));
    ExpectRows(three, "Renamed", false);
    for (const SongModel::Write& write : model->writes) EXPECT_EQ(write.column, SongModel::kTitle);
    EXPECT_EQ(table->GetSelection()->GetSelected(), three);
    EXPECT_TRUE(table->HasFocus());

    // By title, descending: the renamed rows come last. Their flags, chosen with the keyboard and
    // committed by a left click on another row, which the table never sees.
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    ExpectSorted(SongModel::kTitle, false);
    EXPECT_EQ(ModelRows(Span(997, 999)), three);
    table->EnsureRowVisible(999, 0);
    ClickCell(997, SongModel::kProtect);
    ClickCell(999, SongModel::kProtect, Qt::ShiftModifier);
    EXPECT_EQ(table->GetSelection()->GetSelected(), three);
    gbxtest::SendKey(List(), Qt::Key_Return);
    ASSERT_EQ(table->GetActiveEditor(), flagEditor.get());
    EXPECT_EQ(flagEditor->GetRow(), table->ViewRowToModelRow(999));
    Press(Qt::Key_Down);
    ExpectRows(three, "Renamed", false);
    const int top = table->GetTopIndex();
    ASSERT_TRUE(gbxtest::ClickInWindow(List().ItemArea(), gbxtest::CellCentre(List(), top, SongModel::kTitle)));
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    ExpectRows(three, "Renamed", true);
    EXPECT_EQ(table->GetSelection()->GetSelected(), three) << "the click that committed is not the table's";

    // Esc on a text editor opened with Enter writes nothing.
    const size_t writes = model->writes.size();
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    Key(Qt::Key_Left);
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), SongModel::kTitle);
    Key(Qt::Key_Return);
    ASSERT_EQ(table->GetActiveEditor(), titleEditor.get());
    gbxtest::TypeText(QApplication::focusWidget(), "Not kept");
    Press(Qt::Key_Escape);
    EXPECT_EQ(model->writes.size(), writes);
    ExpectRows(three, "Renamed", true);
    EXPECT_EQ(listener.events,
              std::vector<std::string>({"started", "stopped", "started", "stopped", "started", "cancelled"}));
}

}  // namespace
