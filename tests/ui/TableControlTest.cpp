// The table control over its list: columns and rows from the model, sorting by the header, geometry,
// the editing state, and selection by mouse and keys through the toolkit's events.
#include "tests/ui/TableTestSupport.h"
#include "ui/TableCellEditors.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QScrollBar>

#include <boost/make_shared.hpp>

#include <optional>
#include <tuple>
#include <vector>

namespace {

using gbxtest::SongModel;
using Event = std::tuple<int, int, bool>;  // kind, model index, selected

class TableTest : public gbxtest::TableFixture<> {
protected:
    static std::vector<int> Rows(std::initializer_list<int> rows) { return std::vector<int>(rows); }
};

TEST_F(TableTest, ColumnsAndRowsComeFromTheModel) {
    platform::ReportList& list = List();
    ASSERT_EQ(list.ColumnCount(), 4);
    EXPECT_EQ(list.ColumnText(1), "Artist");
    EXPECT_EQ(list.ItemCount(), 20);
    EXPECT_TRUE(list.IsHeaderClickable());
    EXPECT_EQ(list.ItemHeight(), list.ListFontMetrics().height + 3);
    EXPECT_EQ(table->GetSelection()->GetSize(), 20);
    EXPECT_EQ(table->GetColumnSelection()->GetSize(), 4);

    model->columns = 2;
    model->rows.resize(5);
    table->Rebuild();
    EXPECT_EQ(list.ColumnCount(), 2);
    EXPECT_EQ(list.ItemCount(), 5);
    model->sortable = {false, false, false, false};
    table->Rebuild();
    EXPECT_FALSE(list.IsHeaderClickable());
}

TEST_F(TableTest, HeaderClicksSortAndTheSelectedRowsStaySelected) {
    ClickCell(0, 0);
    ClickCell(3, 0, Qt::ControlModifier);
    const std::vector<int> selected = table->GetSelection()->GetSelected();
    ASSERT_EQ(selected.size(), 2u);

    gbxtest::ClickHeader(List(), SongModel::kTitle);
    for (int view = 1; view < 20; ++view) {
        EXPECT_LE(model->rows[size_t(table->ViewRowToModelRow(view - 1))].title,
                  model->rows[size_t(table->ViewRowToModelRow(view))].title);
    }
    EXPECT_EQ(table->GetSelection()->GetSelected(), selected) << "model rows stay selected";
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    EXPECT_GT(model->rows[size_t(table->ViewRowToModelRow(0))].title,
              model->rows[size_t(table->ViewRowToModelRow(19))].title);
    EXPECT_EQ(table->GetSelection()->GetSelected(), selected);
}

TEST_F(TableTest, AModelWithoutSortableColumnsIgnoresHeaderClicks) {
    model->sortable = {false, false, false, false};
    table->Refresh();
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    EXPECT_EQ(table->ViewRowToModelRow(5), 5);
}

TEST_F(TableTest, DividerDoubleClickFitsTheWidestCell) {
    model->rows[7].title = "A title much longer than all the others";
    gbxtest::DoubleClickDivider(List(), SongModel::kTitle);
    EXPECT_EQ(table->GetColumnWidth(SongModel::kTitle), table->GetStringWidth(model->rows[7].title + "  "));
    table->SetColumnWidth(SongModel::kTitle, 30);
    table->SetColumnWidth(SongModel::kTitle, -1);
    EXPECT_EQ(table->GetColumnWidth(SongModel::kTitle), table->GetStringWidth(model->rows[7].title + "  "))
        << "-1 fits as the divider does";
    model->rows.clear();
    table->Refresh();
    gbxtest::DoubleClickDivider(List(), SongModel::kArtist);
    EXPECT_EQ(table->GetColumnWidth(SongModel::kArtist), 0);
}

TEST_F(TableTest, CellRectanglesAndHitsCoverOnlyWhollyVisibleRows) {
    const platform::Rect cell = table->GetCellRect(1, 0);
    EXPECT_EQ(cell.left, 0);
    EXPECT_EQ(cell.right, 110);
    EXPECT_EQ(cell.top, List().ItemHeight());
    EXPECT_TRUE(table->GetCellRect(20, 0).IsEmpty());
    const int perPage = table->GetCountPerPage();
    EXPECT_EQ(table->HitTest(platform::Point{120, cell.top + 2}).row, 1);
    EXPECT_EQ(table->HitTest(platform::Point{120, cell.top + 2}).column, 1);
    EXPECT_EQ(table->HitTest(platform::Point{120, perPage * List().ItemHeight() + 1}).row, -1)
        << "the row cut by the bottom edge";
    // The last column fills the list: only a point past the list's width lies right of the columns.
    EXPECT_EQ(table->HitTest(platform::Point{List().TotalColumnWidth() + 5, cell.top + 2}).row, -1)
        << "right of the columns";
}

TEST_F(TableTest, EnsureRowVisibleScrollsAsLittleAsNeeded) {
    const int perPage = table->GetCountPerPage();
    table->EnsureRowVisible(perPage + 3, 0);
    EXPECT_EQ(table->GetTopIndex(), 4);
    table->EnsureRowVisible(6, 0);
    EXPECT_EQ(table->GetTopIndex(), 4);
    table->EnsureRowVisible(2, 0);
    EXPECT_EQ(table->GetTopIndex(), 2);
    table->EnsureRowVisible(5, 1);
    EXPECT_EQ(table->GetTopIndex(), 5);
    table->EnsureRowVisible(-1, 0);
    table->EnsureRowVisible(20, 0);
    EXPECT_EQ(table->GetTopIndex(), 5);
}

TEST_F(TableTest, EnsureColumnVisibleScrollsSidewaysAndANoColumnLeadScrollsBackLeft) {
    for (int c = 0; c < 4; ++c) List().SetColumnWidth(c, 200);
    table->EnsureColumnVisible(3);
    EXPECT_EQ(List().HorizontalPosition(), 800 - List().ClientSize().width);
    table->EnsureColumnVisible(1);
    EXPECT_EQ(List().HorizontalPosition(), 200);
    table->Refresh();  // no lead column
    EXPECT_EQ(List().HorizontalPosition(), 0);
}

TEST_F(TableTest, RefreshAfterTheModelShrankDropsALeadPastItWithoutScrolling) {
    ClickCell(15, 3);
    table->EnsureRowVisible(2, 1);
    const int top = table->GetTopIndex();
    ASSERT_EQ(top, 2);
    model->rows.resize(12);
    model->columns = 2;
    table->Refresh();
    EXPECT_EQ(table->GetSelection()->GetLead(), -1);
    EXPECT_EQ(table->GetTopIndex(), top);
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), 1) << "the current column comes back inside";
    model->columns = 0;
    table->Refresh();
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), -1);
}

// Whether the editor is of the class, and then its immediate-commit flag.
template <class Editor>
std::optional<bool> ImmediateCommitOf(UL::ITableCellEditor* editor) {
    const auto* e = dynamic_cast<const Editor*>(editor);
    return e != nullptr ? std::optional<bool>(e->IsImmediateCommit()) : std::nullopt;
}

TEST(TableDefaults, OneRendererAndOneEditorPerValueClassAndResolversFirst) {
    UL::CTableControl table;
    using UL::CDefaultTableCellRenderer;
    auto renderer = [&](const std::type_info& type) {
        return dynamic_cast<CDefaultTableCellRenderer*>(table.GetDefaultRenderer(type));
    };
    EXPECT_NE(dynamic_cast<UL::CNumberTableCellRenderer<int>*>(renderer(typeid(int))), nullptr);
    EXPECT_NE(dynamic_cast<UL::CNumberTableCellRenderer<long>*>(renderer(typeid(long))), nullptr);
    EXPECT_NE(dynamic_cast<UL::CNumberTableCellRenderer<double>*>(renderer(typeid(double))), nullptr);
    EXPECT_NE(dynamic_cast<UL::CEnumerationTableCellRenderer*>(renderer(typeid(GT::IEnumeration<int>))), nullptr);
    EXPECT_NE(dynamic_cast<UL::CStringTableCellRenderer*>(renderer(typeid(std::string))), nullptr);
    EXPECT_EQ(renderer(typeid(void)), nullptr);
    EXPECT_EQ(renderer(typeid(int))->GetFormat(), UL::kCellRight);
    EXPECT_EQ(renderer(typeid(double))->GetFormat(), UL::kCellRight);
    EXPECT_EQ(renderer(typeid(std::string))->GetFormat(), UL::kCellLeft);
    renderer(typeid(bool))->SetValue(UL::CCellValue(true));
    EXPECT_EQ(renderer(typeid(bool))->GetText(), "true");
    EXPECT_EQ(renderer(typeid(bool))->GetFormat(), UL::kCellLeft);

    auto model = boost::make_shared<SongModel>(gbxtest::MakeSongs(3));
    table.SetModel(model);
    table.Rebuild();
    EXPECT_EQ(table.GetRenderer(0, SongModel::kProtect), table.GetDefaultRenderer(typeid(bool)));
    auto onOff = boost::make_shared<UL::CBooleanTableCellRenderer>(0, "Off", "On");
    auto renderers = boost::make_shared<UL::CMappedTableCellRendererResolver>();
    renderers->Add({-1, SongModel::kProtect}, onOff);
    table.SetRendererResolver(renderers);
    EXPECT_EQ(table.GetRenderer(0, SongModel::kProtect), onOff.get());
    EXPECT_EQ(table.GetRenderer(0, SongModel::kTitle), table.GetDefaultRenderer(typeid(std::string)));

    // The editors: every change committed at once, except for texts, which are committed on Enter.
    const auto editor = [&](const std::type_info& type) { return table.GetDefaultEditor(type); };
    EXPECT_EQ(ImmediateCommitOf<UL::CNumberTableCellEditor<int>>(editor(typeid(int))), true);
    EXPECT_EQ(ImmediateCommitOf<UL::CNumberTableCellEditor<long>>(editor(typeid(long))), true);
    EXPECT_EQ(ImmediateCommitOf<UL::CNumberTableCellEditor<double>>(editor(typeid(double))), true);
    EXPECT_EQ(ImmediateCommitOf<UL::CBooleanTableCellEditor>(editor(typeid(bool))), true);
    EXPECT_EQ(ImmediateCommitOf<UL::CEnumerationTableCellEditor>(editor(typeid(GT::IEnumeration<int>))), true);
    EXPECT_EQ(ImmediateCommitOf<UL::CStringTableCellEditor>(editor(typeid(std::string))), false);
    EXPECT_EQ(dynamic_cast<UL::CStringTableCellEditorW*>(editor(typeid(std::string))), nullptr);
    const auto* flags = dynamic_cast<UL::CBooleanTableCellEditor*>(editor(typeid(bool)));
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(flags->GetFalseText(), "false");
    EXPECT_EQ(flags->GetTrueText(), "true");
    EXPECT_EQ(editor(typeid(void)), nullptr);
    EXPECT_EQ(table.GetEditor(0, SongModel::kTitle), editor(typeid(std::string)));
}

// ---- mouse ----

TEST_F(TableTest, ClickShiftClickAndCtrlClick) {
    ClickCell(3, 1);
    EXPECT_EQ(SelectedViewRows(), Rows({3}));
    EXPECT_EQ(LeadViewRow(), 3);
    EXPECT_EQ(List().SelectionMark(), 3);
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), 1);
    ClickCell(6, 1, Qt::ShiftModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({3, 4, 5, 6}));
    EXPECT_EQ(List().SelectionMark(), 3);
    ClickCell(4, 2, Qt::ControlModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({3, 5, 6}));
    EXPECT_EQ(LeadViewRow(), 4);
    EXPECT_EQ(List().SelectionMark(), 4);
    ClickCell(8, 2, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({4, 5, 6, 7, 8}));
}

TEST_F(TableTest, ShiftClickWithoutAMarkSelectsFromTheFirstRow) {
    ClickCell(4, 0, Qt::ShiftModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2, 3, 4}));
}

TEST_F(TableTest, AClickInASortedTableSelectsTheRowTheUserSees) {
    gbxtest::ClickHeader(List(), SongModel::kArtist);
    ClickCell(2, 0);
    ASSERT_EQ(table->GetSelection()->GetSelected(), std::vector<int>({table->ViewRowToModelRow(2)}));
    EXPECT_EQ(table->GetSelection()->GetLead(), table->ViewRowToModelRow(2));
}

TEST_F(TableTest, ClicksOffTheRowsChangeNothingAndALeftPressWithTheRightHeldDoesNothingAtAll) {
    ClickCell(2, 0);
    auto editor = boost::make_shared<gbxtest::RecordingEditor>();
    table->SetDefaultEditor(typeid(std::string), editor);
    model->rows.resize(3);
    table->Refresh();
    gbxtest::Click(List(), QPoint(20, 4 * List().ItemHeight()));
    EXPECT_EQ(SelectedViewRows(), Rows({2}));

    const QPoint cell = gbxtest::CellCentre(List(), 1, 0);
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, cell, Qt::LeftButton, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(SelectedViewRows(), Rows({2}));
    EXPECT_EQ(table->GetDragMode(), UL::CTableControl::kNoDrag);
    EXPECT_EQ(editor->CountOffers(true), 0) << "not even offered to an editor";
}

TEST_F(TableTest, RightClickOnAnUnselectedRowOnlyMovesTheLead) {
    ClickCell(2, 0);
    ClickCell(5, 1, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(SelectedViewRows(), Rows({2}));
    EXPECT_EQ(LeadViewRow(), 5);
    EXPECT_EQ(table->GetColumnSelection()->GetLead(), 1);
}

TEST_F(TableTest, DraggingExtendsFromTheMarkAndCtrlDraggingGivesTheMarkRowsState) {
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, gbxtest::CellCentre(List(), 2, 0));
    EXPECT_EQ(table->GetDragMode(), UL::CTableControl::kDragPlain);
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 5, 3), Qt::LeftButton, Qt::NoModifier,
                       Qt::LeftButton);
    EXPECT_EQ(SelectedViewRows(), Rows({2, 3, 4, 5}));
    EXPECT_EQ(LeadViewRow(), 5);
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 1, 3), Qt::LeftButton, Qt::NoModifier,
                       Qt::LeftButton);
    EXPECT_EQ(SelectedViewRows(), Rows({1, 2}));
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, gbxtest::CellCentre(List(), 1, 3));
    EXPECT_EQ(table->GetDragMode(), UL::CTableControl::kNoDrag);
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 8, 0));
    EXPECT_EQ(SelectedViewRows(), Rows({1, 2})) << "no drag without a held button";

    // A Ctrl press on a selected row deselects it and the drag deselects from there.
    ClickCell(4, 0, Qt::ShiftModifier);  // 2..4 from the mark at 2
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, gbxtest::CellCentre(List(), 3, 0), Qt::LeftButton,
                       Qt::ControlModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({2, 4}));
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 6, 0), Qt::LeftButton,
                       Qt::ControlModifier, Qt::LeftButton);
    EXPECT_EQ(SelectedViewRows(), Rows({2}));
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, gbxtest::CellCentre(List(), 6, 0));
}

TEST_F(TableTest, DraggingBelowTheListScrollsAndSelectsTheNextRows) {
    ClickCell(0, 0);
    gbxtest::SendMouse(List(), QEvent::MouseButtonPress, gbxtest::CellCentre(List(), 0, 0));
    const int perPage = table->GetCountPerPage();
    const QPoint outside(30, List().Widget()->height() + 40);
    gbxtest::SendMouse(List(), QEvent::MouseMove, gbxtest::CellCentre(List(), 1, 0), Qt::LeftButton, Qt::NoModifier,
                       Qt::LeftButton);
    gbxtest::SendMouse(List(), QEvent::MouseMove, QPoint(30, outside.y() - 10), Qt::LeftButton, Qt::NoModifier,
                       Qt::LeftButton);
    gbxtest::SendMouse(List(), QEvent::MouseMove, outside, Qt::LeftButton, Qt::NoModifier, Qt::LeftButton);
    EXPECT_EQ(table->GetTopIndex(), 2) << "one row further each move";
    EXPECT_EQ(LeadViewRow(), perPage);
    EXPECT_EQ(int(SelectedViewRows().size()), perPage + 1);
    gbxtest::SendMouse(List(), QEvent::MouseButtonRelease, outside);
}

// ---- keys ----

TEST_F(TableTest, ArrowsHomeAndEndMoveTheLeadRow) {
    Key(Qt::Key_Home);
    EXPECT_TRUE(SelectedViewRows().empty()) << "Home without a lead does nothing";
    Key(Qt::Key_Up);
    EXPECT_TRUE(SelectedViewRows().empty());
    Key(Qt::Key_Down);
    EXPECT_EQ(SelectedViewRows(), Rows({0}));
    Key(Qt::Key_Up);
    EXPECT_EQ(LeadViewRow(), 0);
    Key(Qt::Key_End);
    EXPECT_EQ(SelectedViewRows(), Rows({19}));
    EXPECT_GT(table->GetTopIndex(), 0);
    Key(Qt::Key_Down);
    EXPECT_EQ(LeadViewRow(), 19);
    Key(Qt::Key_Home);
    EXPECT_EQ(SelectedViewRows(), Rows({0}));
    EXPECT_EQ(table->GetTopIndex(), 0);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2}));
    Key(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2})) << "Ctrl moves the lead alone";
    EXPECT_EQ(LeadViewRow(), 3);
    Key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2, 3}));
    Key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2}));
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Space);
    EXPECT_EQ(SelectedViewRows(), Rows({0, 1, 2, 4})) << "Space adds the lead row";
    Key(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(SelectedViewRows(), Rows({5}));
}

TEST_F(TableTest, SpaceWithoutALeadDoesNothing) {
    Key(Qt::Key_Space);
    EXPECT_TRUE(SelectedViewRows().empty());
}

TEST_F(TableTest, PageDownGoesToTheBottomVisibleRowThenAPageFurther) {
    const int perPage = table->GetCountPerPage();
    ASSERT_GE(perPage, 5);
    ASSERT_LT(perPage, 19);
    ClickCell(1, 0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(LeadViewRow(), perPage - 1);
    EXPECT_EQ(table->GetTopIndex(), 0);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(LeadViewRow(), std::min(2 * perPage - 2, 19));
    EXPECT_EQ(SelectedViewRows(), Rows({LeadViewRow()}));
    Key(Qt::Key_PageDown);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(LeadViewRow(), 19) << "never past the last row";
    Key(Qt::Key_PageUp);
    EXPECT_EQ(LeadViewRow(), table->GetTopIndex());
    const int top = table->GetTopIndex();
    Key(Qt::Key_PageUp);
    EXPECT_EQ(LeadViewRow(), std::max(top - perPage + 1, 0));
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(LeadViewRow(), 0) << "never above the first row";
}

TEST_F(TableTest, LeftAndRightMoveTheCurrentColumn) {
    std::vector<int> leads;
    Key(Qt::Key_Left);
    leads.push_back(table->GetColumnSelection()->GetLead());
    for (int i = 0; i < 5; ++i) {
        Key(Qt::Key_Right);
        leads.push_back(table->GetColumnSelection()->GetLead());
    }
    Key(Qt::Key_Left);
    leads.push_back(table->GetColumnSelection()->GetLead());
    EXPECT_EQ(leads, std::vector<int>({-1, 0, 1, 2, 3, 3, 2}));
}

// ---- selection events ----

TEST_F(TableTest, ListenersHearTheChangedRowsInModelRowsAndTheLeads) {
    auto rows = boost::make_shared<gbxtest::RecordingSelectionListener>();
    auto columns = boost::make_shared<gbxtest::RecordingSelectionListener>();
    table->AddRowSelectionListener(rows);
    table->AddColumnSelectionListener(columns);
    gbxtest::ClickHeader(List(), SongModel::kTitle);
    const int m1 = table->ViewRowToModelRow(1);
    const int m2 = table->ViewRowToModelRow(2);
    ClickCell(1, 2);
    EXPECT_EQ(rows->events, std::vector<Event>({Event{1, m1, true}, Event{0, m1, true}}));
    EXPECT_EQ(columns->events, std::vector<Event>({Event{1, 2, true}}));
    rows->events.clear();
    columns->events.clear();
    ClickCell(2, 2, Qt::ShiftModifier);
    // The same column is announced again; the old lead gives way, the new row is added.
    EXPECT_EQ(columns->events, std::vector<Event>({Event{1, 2, true}}));
    EXPECT_EQ(rows->events, std::vector<Event>({Event{1, m1, false}, Event{1, m2, true}, Event{0, m2, true}}));
    rows->events.clear();
    ClickCell(2, 2);
    EXPECT_EQ(rows->events, std::vector<Event>({Event{1, m2, true}, Event{0, m2, true}, Event{0, m1, false}}))
        << "a click on the lead row announces it again, then the deselected row";
    table->RemoveRowSelectionListener(rows.get());
    rows->events.clear();
    ClickCell(4, 2);
    EXPECT_TRUE(rows->events.empty());
}

TEST_F(TableTest, AnInstalledSingleSelectionStaysTheOneTheOwnerHolds) {
    auto single = boost::make_shared<UL::CListSingleSelection>();
    table->SetSelection(single);
    table->Refresh();
    ClickCell(2, 0);
    ClickCell(5, 0, Qt::ControlModifier);
    EXPECT_EQ(table->GetSelection().get(), single.get());
    EXPECT_EQ(single->GetSelected(), std::vector<int>({5}));
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(single->GetSelected(), std::vector<int>({6}));
    EXPECT_EQ(single->GetLead(), 6);
}

TEST_F(TableTest, OwnersSelectionsOutsideTheModelAreRefused) {
    EXPECT_EQ(table->GetSelection()->SetSelected({3, 25, -1}), 1);
    table->Refresh();
    EXPECT_EQ(SelectedViewRows(), Rows({3}));
}

// ---- editing ----

class EditingTest : public gbxtest::TableFixture<> {
protected:
    void SetUp() override {
        gbxtest::TableFixture<>::SetUp();
        editor = boost::make_shared<gbxtest::RecordingEditor>();
        table->SetDefaultEditor(typeid(std::string), editor);
        listener.expectedSource = table.get();
        table->AddCellEditorEventListener(&listener);
    }
    boost::shared_ptr<gbxtest::RecordingEditor> editor;
    gbxtest::RecordingCellEditorListener listener;
};

TEST_F(EditingTest, ARightPressOnASelectedEditableCellStartsTheEditorAndACommitRefreshes) {
    ClickCell(3, SongModel::kArtist, Qt::NoModifier, Qt::RightButton);
    EXPECT_EQ(table->GetActiveEditor(), nullptr) << "the row was not selected";
    ClickCell(3, SongModel::kArtist);
    ClickCell(3, SongModel::kArtist, Qt::ShiftModifier, Qt::RightButton);
    EXPECT_EQ(table->GetActiveEditor(), nullptr) << "Shift held";
    ClickCell(3, SongModel::kArtist, Qt::NoModifier, Qt::RightButton);
    ASSERT_EQ(table->GetActiveEditor(), editor.get());
    EXPECT_EQ(editor->row, table->ViewRowToModelRow(3));
    EXPECT_EQ(editor->column, SongModel::kArtist);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started"}));

    model->rows.push_back(gbxtest::SongRow{"New", "Row", 1, false});
    editor->Commit("Edited");
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "stopped"}));
    EXPECT_EQ(model->rows[3].artist, "Edited");
    EXPECT_EQ(List().ItemCount(), 21) << "the table refreshed after the edit";
}

TEST_F(EditingTest, EnterOnTheCurrentCellStartsItsEditor) {
    ClickCell(4, SongModel::kNumber);
    Key(Qt::Key_Return);
    EXPECT_EQ(table->GetActiveEditor(), nullptr) << "the number column is not editable";
    Key(Qt::Key_Left);
    Key(Qt::Key_Return);
    ASSERT_EQ(table->GetActiveEditor(), editor.get());
    EXPECT_EQ(editor->column, SongModel::kArtist);
    ASSERT_GE(editor->offers.size(), 2u);
    const gbxtest::RecordingEditor::Offer& press = editor->offers[editor->offers.size() - 2];
    EXPECT_EQ(press.action, UL::CKeyInfo::kKeyDown);
    EXPECT_EQ(press.detail, platform::kKeyEnter);
    EXPECT_EQ(editor->offers.back().action, UL::CKeyInfo::kKeyUp) << "the release follows";
}

TEST_F(EditingTest, ScrollingCancelsTheEditAndTellsTheListenersOnce) {
    editor->reportCancelFromInside = true;
    ClickCell(2, SongModel::kTitle);
    ClickCell(2, SongModel::kTitle, Qt::NoModifier, Qt::RightButton);
    ASSERT_EQ(table->GetActiveEditor(), editor.get());
    auto* area = static_cast<QAbstractScrollArea*>(List().Widget());
    area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_EQ(editor->calls.back(), "CancelEditing");
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "cancelled"}));
    EXPECT_TRUE(model->writes.empty());
}

TEST_F(EditingTest, WhileEditingMouseInputGoesToTheActiveEditorFirst) {
    // Four rows, so that there is room below them (a model that loses rows under an open editor has
    // it cancelled: the rows go first).
    model->rows.resize(4);
    table->Refresh();
    ClickCell(2, SongModel::kTitle);
    ClickCell(2, SongModel::kTitle, Qt::NoModifier, Qt::RightButton);
    ASSERT_EQ(table->GetActiveEditor(), editor.get());
    editor->offers.clear();
    // Below the rows: offered to the active editor with no cell.
    gbxtest::Click(List(), QPoint(10, 6 * List().ItemHeight()));
    ASSERT_EQ(editor->offers.size(), 2u);
    EXPECT_EQ(editor->offers[0].row, -1);
    EXPECT_EQ(editor->offers[0].column, -1);
    EXPECT_EQ(editor->offers[1].action, UL::CMouseInfo::kButtonUp);
}

TEST_F(EditingTest, StoppedAndCancelledReportsWithoutAnActiveEditorAreIgnored) {
    editor->table = table.get();
    editor->Cancel();
    table->OnEditingStopped(UL::CCellEditorEvent(static_cast<UL::ITableCellEditor*>(editor.get())));
    EXPECT_TRUE(listener.events.empty());
}

TEST_F(EditingTest, AStartReportFromSomethingElseThanAnEditorIsABadCast) {
    EXPECT_THROW(table->OnEditingStarted(UL::CCellEditorEvent(42)), boost::bad_any_cast);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started"})) << "told before the cast";
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
}

// A window that takes Enter as its OK command, as a dialog does.
class DialogWindow : public platform::Window {
public:
    DialogWindow() : platform::Window(platform::WindowKind::Dialog) {}
    std::vector<int> commands;

protected:
    void OnCommand(int id) override { commands.push_back(id); }
};

TEST(TableInADialog, EnterGoesToTheTableOnlyWhileACellCanBeEdited) {
    gbxtest::UseOffscreenToolkitUnlessSet();
    ASSERT_TRUE(platform::StartWindowSystem());
    DialogWindow dialog;
    dialog.SetClientSize(platform::Size{300, 200});
    auto model = boost::make_shared<SongModel>(gbxtest::MakeSongs(5));
    UL::CTableControl table;
    table.SetModel(model);
    ASSERT_TRUE(table.Create(dialog, 5, platform::Rect{0, 0, 300, 200}));
    table.Refresh();
    dialog.Show();
    dialog.Activate();
    table.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }));
    gbxtest::SendKey(*table.GetList(), Qt::Key_Return);
    EXPECT_TRUE(dialog.commands.empty());
    model->editable = {false, false, false, false};
    gbxtest::SendKey(*table.GetList(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, std::vector<int>({platform::kCommandOk}));
    gbxtest::SendKey(*table.GetList(), Qt::Key_Left);
    gbxtest::SendKey(*table.GetList(), Qt::Key_Escape);
    EXPECT_EQ(dialog.commands, std::vector<int>({platform::kCommandOk, platform::kCommandCancel}));
}

}  // namespace
