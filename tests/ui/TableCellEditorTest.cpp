// The library's cell editors in a table, driven through the toolkit's events: started by a right press
// and by Enter, ended by Enter, clicks outside, Esc, lost activation and scrolling; what each writes
// (texts and choices into every selected row, numbers into the edited cell), immediate commit, the
// limits of numbers, the enumeration's choices, where the popups lie, and tables from dialog templates;
// models whose writes show a real message box, and models that lose rows under an open editor.
#include "platform/window/Choosers.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "tests/support/LocaleScope.h"
#include "tests/ui/TableTestSupport.h"
#include "ui/TableCellEditors.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <boost/make_shared.hpp>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// Colours named by a table of their own, whose order is not the order of the keys.
class Colour : public GT::CEnumeration<Colour> {
public:
    using CEnumeration::CEnumeration;
    static const GT::CStringTable& GetStringTable() {
        static const GT::CStringTable table({{3, "Red"}, {1, "Green"}, {7, "Blue"}}, {-1, ""});
        return table;
    }
};

// Real numbers from a minimum to a maximum in steps, as a column may describe them.
class RealRange : public GT::IRangedNumberDescription<double> {
public:
    RealRange(double minimum, double maximum, double step) : m_minimum(minimum), m_maximum(maximum), m_step(step) {}
    double GetMinimum() const override { return m_minimum; }
    double GetMaximum() const override { return m_maximum; }
    double GetStep() const override { return m_step; }
    std::unique_ptr<GT::IIterator<double>> CreateIterator() const override { return nullptr; }
    std::string ToString(double) const override { return std::string(); }

private:
    double m_minimum;
    double m_maximum;
    double m_step;
};

// One column per value class the editors edit; every cell editable; every write recorded.
class CellModel : public UL::ITableModel {
public:
    enum Column { kText, kWide, kFlag, kCount, kLevel, kBig, kKind, kColumns };
    struct Write {
        int row;
        int column;
    };

    explicit CellModel(int rows) {
        for (int r = 0; r < rows; ++r) {
            cells.push_back({UL::CCellValue("text " + std::to_string(r)), UL::CCellValue("wide " + std::to_string(r)),
                             UL::CCellValue(false), UL::CCellValue(50 + r), UL::CCellValue(2.5),
                             UL::CCellValue(long(r)), UL::CCellValue(Colour(1))});
        }
        original = cells;
    }

    std::vector<std::vector<UL::CCellValue>> cells;
    std::vector<std::vector<UL::CCellValue>> original;
    std::vector<Write> writes;
    // Runs after each write (a model that shows a message box).
    std::function<void()> afterWrite;
    GT::CRangedNumberDescription<int> countRange{0, 100, 1};
    RealRange levelRange{0, 10, 0.25};

    void Reset() {
        cells = original;
        writes.clear();
    }
    // The rows written in a column, in the order written.
    std::vector<int> RowsWritten(int column) const {
        std::vector<int> rows;
        for (const Write& w : writes)
            if (w.column == column) rows.push_back(w.row);
        return rows;
    }
    const UL::CCellValue& At(int row, int column) const { return cells[size_t(row)][size_t(column)]; }

    int GetRowCount() const override { return int(cells.size()); }
    int GetColumnCount() const override { return kColumns; }
    std::string GetColumnName(int column) const override {
        static const char* const names[] = {"Text", "Wide", "Flag", "Count", "Level", "Big", "Kind"};
        return names[column];
    }
    bool IsColumnSortable(int) const override { return true; }
    const std::type_info& GetValueClass(int, int column) const override {
        switch (column) {
            case kFlag:
                return typeid(bool);
            case kCount:
                return typeid(int);
            case kLevel:
                return typeid(double);
            case kBig:
                return typeid(long);
            case kKind:
                return typeid(GT::IEnumeration<int>);
            default:
                return typeid(std::string);
        }
    }
    bool IsCellEditable(int, int) const override { return true; }
    const GT::IValueDescription* GetValueDescription(int, int column) const override {
        if (column == kCount) return &countRange;
        if (column == kLevel) return &levelRange;
        return nullptr;
    }
    void SetValueAt(const UL::CCellValue& value, int row, int column) override {
        writes.push_back(Write{row, column});
        // The enumeration column turns the chosen int into its value, as the application's models do.
        cells[size_t(row)][size_t(column)] = column == kKind ? UL::CCellValue(Colour(value.GetInt())) : value;
        if (afterWrite) afterWrite();
    }
    UL::CCellValue GetValueAt(int row, int column) const override { return At(row, column); }
    bool IsLess(int a, int b, int) const override { return a < b; }
};

enum class End { Enter, LeftClickOutside, Esc, RightClickOutside, LostActivation, Scroll, Wheel };

const char* Name(End end) {
    static const char* const names[] = {"Enter",           "left click outside", "Esc",         "right click outside",
                                        "lost activation", "scrolling",          "a wheel turn"};
    return names[int(end)];
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        window = std::make_unique<platform::Window>();
        window->SetClientSize(platform::Size{600, 260});
        model = boost::make_shared<CellModel>(30);
        table = std::make_unique<UL::CTableControl>();
        table->SetModel(model);
        editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
        table->SetEditorResolver(editors);
        ASSERT_TRUE(table->Create(*window, 100, platform::Rect{0, 0, 600, 260}));
        table->Refresh();
        for (int c = 0; c < CellModel::kColumns; ++c) List().SetColumnWidth(c, 80);
        listener.expectedSource = table.get();
        table->AddCellEditorEventListener(&listener);
        window->Show();
        window->Activate();
        table->SetFocus();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return table->HasFocus(); }));
    }
    void TearDown() override {
        table.reset();
        window.reset();
        EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    }

    platform::ReportList& List() { return *table->GetList(); }
    void ClickCell(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                   Qt::MouseButton button = Qt::LeftButton) {
        gbxtest::Click(List(), gbxtest::CellCentre(List(), row, column), button, modifiers);
    }
    // Rows first to last selected, the lead on the last, the current column the column.
    void SelectRows(int first, int last, int column) {
        ClickCell(first, column);
        ClickCell(last, column, Qt::ShiftModifier);
    }
    void OpenByMouse(int row, int column) { ClickCell(row, column, Qt::NoModifier, Qt::RightButton); }
    void OpenByEnter() { gbxtest::SendKey(List(), Qt::Key_Return); }
    // The control of the open popup: it has the keyboard and lies in the table's item area.
    QWidget* OpenControl() {
        QWidget* focus = QApplication::focusWidget();
        EXPECT_NE(focus, nullptr);
        EXPECT_TRUE(focus != nullptr && List().ItemArea()->isAncestorOf(focus)) << "the popup has the keyboard";
        return focus;
    }
    void Press(int key) { gbxtest::PressKey(window->Widget(), key); }
    void EndBy(End end) {
        switch (end) {
            case End::Enter:
                Press(Qt::Key_Return);
                break;
            case End::Esc:
                Press(Qt::Key_Escape);
                break;
            case End::LeftClickOutside:
                // Delivered to the toolkit window, as the desktop delivers clicks, so that the popup's
                // mouse hook sees it.
                EXPECT_TRUE(gbxtest::ClickInWindow(List().ItemArea(), gbxtest::CellCentre(List(), 9, 0)));
                break;
            case End::RightClickOutside:
                EXPECT_TRUE(
                    gbxtest::ClickInWindow(List().ItemArea(), gbxtest::CellCentre(List(), 9, 0), Qt::RightButton));
                break;
            case End::LostActivation: {
                platform::Window other;
                other.Show();
                other.Activate();
                EXPECT_TRUE(gbxtest::PumpUntil([&] { return table->GetActiveEditor() == nullptr; }));
                window->Activate();
                EXPECT_TRUE(gbxtest::PumpUntil([&] { return window->IsActive(); }));
                break;
            }
            case End::Scroll:
                static_cast<QAbstractScrollArea*>(List().Widget())
                    ->verticalScrollBar()
                    ->triggerAction(QAbstractSlider::SliderSingleStepAdd);
                table->EnsureRowVisible(0, 0);
                break;
            case End::Wheel: {
                QWidget* area = List().ItemArea();
                const QPointF at(area->width() / 2, area->height() / 2);
                QWheelEvent wheel(at, area->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                                  Qt::NoScrollPhase, false);
                QApplication::sendEvent(area, &wheel);
                table->EnsureRowVisible(0, 0);
                break;
            }
        }
    }
    void Reset() {
        model->Reset();
        listener.events.clear();
    }

    std::unique_ptr<platform::Window> window;
    boost::shared_ptr<CellModel> model;
    std::unique_ptr<UL::CTableControl> table;
    boost::shared_ptr<UL::CMappedTableCellEditorResolver> editors;
    gbxtest::RecordingCellEditorListener listener;
};

using Column = CellModel::Column;

TEST_F(EditorTest, EveryEditorStartsByMouseAndByEnterAndEndsInEveryWay) {
    // The application's editors: nothing is written before the popup ends.
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
    editors->Add({-1, Column::kWide}, boost::make_shared<UL::CStringTableCellEditorW>(false));
    editors->Add({-1, Column::kFlag}, boost::make_shared<UL::CBooleanTableCellEditor>("Off", "On", false));
    editors->Add({-1, Column::kCount}, boost::make_shared<UL::CNumberTableCellEditor<int>>(0, nullptr, false));
    struct Kind {
        Column column;
        std::function<void(QWidget*)> change;
        bool everySelectedRow;
        std::function<bool(const UL::CCellValue&)> changed;
    };
    const QString wide = QString::fromUtf8("Zo\xC3\xAB \xE2\x9C\x93 \xF0\x9D\x84\x9E");
    const std::vector<Kind> kinds = {
        {Column::kText, [](QWidget* w) { gbxtest::TypeText(w, "Renamed"); }, true,
         [](const UL::CCellValue& v) { return v.GetString() == "Renamed"; }},
        {Column::kWide, [&](QWidget* w) { gbxtest::TypeText(w, wide); }, true,
         [&](const UL::CCellValue& v) { return v.GetString() == wide.toStdString(); }},
        {Column::kFlag, [&](QWidget*) { Press(Qt::Key_Down); }, true,
         [](const UL::CCellValue& v) { return v.GetMode() == UL::CCellValue::kInline && v.GetBool(); }},
        {Column::kCount, [](QWidget* w) { gbxtest::TypeText(w, "77"); }, false,
         [](const UL::CCellValue& v) { return v.GetInt() == 77; }},
    };
    const End ends[] = {End::Enter,          End::LeftClickOutside, End::Esc,  End::RightClickOutside,
                        End::LostActivation, End::Scroll,           End::Wheel};
    for (const Kind& kind : kinds) {
        for (const bool byMouse : {true, false}) {
            for (const End end : ends) {
                SCOPED_TRACE(model->GetColumnName(kind.column) + (byMouse ? ", right press, " : ", Enter, ")
                             + Name(end));
                Reset();
                SelectRows(2, 4, kind.column);
                if (byMouse)
                    OpenByMouse(3, kind.column);
                else
                    OpenByEnter();
                ASSERT_NE(table->GetActiveEditor(), nullptr);
                EXPECT_EQ(listener.events, std::vector<std::string>({"started"}));
                kind.change(OpenControl());
                EXPECT_TRUE(model->writes.empty()) << "nothing is written while the popup is open";

                EndBy(end);
                const bool commits = end == End::Enter || end == End::LeftClickOutside;
                EXPECT_EQ(table->GetActiveEditor(), nullptr);
                EXPECT_EQ(listener.events, std::vector<std::string>({"started", commits ? "stopped" : "cancelled"}));
                const int edited = byMouse ? 3 : 4;
                std::vector<int> expected;
                if (commits) expected = kind.everySelectedRow ? std::vector<int>{2, 3, 4} : std::vector<int>{edited};
                EXPECT_EQ(model->RowsWritten(kind.column), expected);
                EXPECT_EQ(model->writes.size(), expected.size()) << "no other column is written";
                for (int row : expected) EXPECT_TRUE(kind.changed(model->At(row, kind.column))) << row;
                EXPECT_EQ(table->GetSelection()->GetSelected(), std::vector<int>({2, 3, 4}))
                    << "the click that ended the popup never reached the table";
                EXPECT_TRUE(gbxtest::PumpUntil([&] { return table->HasFocus(); })) << "the keyboard is back";
                EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
            }
        }
    }
}

// A dialog whose table edits while the dialog is not the active window (the desktop has not made it so,
// while its keys still arrive): a wheel turn that ends the editor leaves the dialog's keyboard with the
// table, not with the control first in its order (its OK button, where Space or Enter would press it).
TEST_F(EditorTest, AWheelEndingAnEditorLeavesTheKeyboardOfAWindowThatIsNotActiveWithTheTable) {
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
    platform::Window dialog(platform::WindowKind::Dialog);
    dialog.SetClientSize(platform::Size{600, 300});
    dialog.AddControl<platform::PushButton>(platform::kCommandOk, "OK").SetRect(platform::Rect{500, 5, 590, 30});
    UL::CTableControl tracks;
    tracks.SetModel(model);
    tracks.SetEditorResolver(editors);
    ASSERT_TRUE(tracks.Create(dialog, 101, platform::Rect{0, 40, 600, 300}));
    tracks.Refresh();
    tracks.GetSelection()->SetSelected(std::vector<int>{2});
    tracks.GetSelection()->SetLead(2);
    dialog.Show();
    window->Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return window->IsActive() && !dialog.IsActive(); }));
    tracks.SetFocus();
    UL::ITableCellEditor* editor = tracks.GetEditor(2, Column::kText);
    ASSERT_TRUE(
        editor->StartByKey(&tracks, 2, Column::kText, UL::CKeyInfo{UL::CKeyInfo::kKeyDown, platform::kKeyEnter, 0}));

    QWidget* area = tracks.GetList()->ItemArea();
    const QPointF at(area->width() / 2, area->height() / 2);
    QWheelEvent wheel(at, area->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(area, &wheel);
    EXPECT_EQ(tracks.GetActiveEditor(), nullptr);
    dialog.Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return dialog.IsActive(); }));
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return tracks.HasFocus(); })) << "the keyboard is with the table";
}

TEST_F(EditorTest, AfterAScrollEndsAnEditorTheArrowsMoveTheLeadAgain) {
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
    for (const End end : {End::Scroll, End::Wheel}) {
        SCOPED_TRACE(Name(end));
        Reset();
        ClickCell(3, Column::kText);
        OpenByEnter();
        gbxtest::TypeText(OpenControl(), "typed");
        EndBy(end);
        EXPECT_EQ(listener.events, std::vector<std::string>({"started", "cancelled"}));
        // Keys go where the keyboard is, as the user's keys do.
        Press(Qt::Key_Down);
        EXPECT_EQ(table->GetSelection()->GetLead(), 4) << "Down reached the table";
        Press(Qt::Key_Return);
        EXPECT_NE(table->GetActiveEditor(), nullptr) << "Enter opens the editor again";
        Press(Qt::Key_Escape);
        EXPECT_TRUE(model->writes.empty());
    }
}

// How the user answers a message box.
enum class Answer { Click, Key };

// Answers the next message box as the user would: a click on its button, delivered as the desktop
// delivers clicks (so that mouse hooks see it), or Enter. A box the answer did not close is closed
// after a while, as a failure, so that a broken popup cannot hang the test.
void AnswerNextBox(Answer answer, std::function<void()> whileShown = nullptr) {
    gbxtest::WhenModalAppears([answer, whileShown](QWidget* modal) {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(modal);
        ASSERT_FALSE(box.isNull());
        if (whileShown) whileShown();
        if (answer == Answer::Click) {
            QAbstractButton* ok = box->buttons().front();
            gbxtest::ClickInWindow(ok, ok->rect().center());
        } else {
            gbxtest::PressKey(box, Qt::Key_Return);
        }
        QTimer::singleShot(1500, qApp, [box] {
            if (box.isNull() || !box->isVisible()) return;
            ADD_FAILURE() << "the answer never reached the message box";
            box->reject();
        });
    });
}

// The table's own editors commit every change at once; a model that shows a message box for a write
// runs that box's loop inside the popup's own handlers. Neither the click on the box nor the popup
// losing activation to it ends the popup meanwhile; the popup goes only once, when Enter or Esc ends
// it, and only after its handlers returned.
TEST_F(EditorTest, AModelWriteThatShowsAMessageBoxLeavesTheImmediatelyCommittingPopupOpen) {
    struct Kind {
        const char* name;
        Column column;
        int change;  // the key that changes the value
        std::function<bool(const UL::CCellValue&)> changed;
    };
    const std::vector<Kind> kinds = {
        {"truth value", Column::kFlag, Qt::Key_Down, [](const UL::CCellValue& v) { return v.GetBool(); }},
        {"enumeration", Column::kKind, Qt::Key_Down,
         [](const UL::CCellValue& v) { return v.GetEnumeration() != nullptr && v.GetEnumeration()->GetValue() == 7; }},
        {"number (a spin ends)", Column::kCount, Qt::Key_Up, [](const UL::CCellValue& v) { return v.GetInt() == 54; }},
    };
    int boxes = 0;
    Answer answer = Answer::Click;
    model->afterWrite = [&] {
        ++boxes;
        AnswerNextBox(answer);
        platform::AskUser(window.get(), "Songs", "Written.", platform::MessageButtons::Ok,
                          platform::MessageIcon::Warning);
    };
    for (const Kind& kind : kinds) {
        for (const Answer a : {Answer::Click, Answer::Key}) {
            for (const bool commit : {true, false}) {
                SCOPED_TRACE(std::string(kind.name) + (a == Answer::Click ? ", box clicked" : ", box keyed")
                             + (commit ? ", Enter" : ", Esc"));
                Reset();
                answer = a;
                boxes = 0;
                // The window off screen is not given back its activation after a box by itself.
                window->Activate();
                ASSERT_TRUE(gbxtest::PumpUntil([&] { return window->IsActive(); }));
                table->SetFocus();
                ClickCell(3, kind.column);
                OpenByEnter();
                auto* editor = table->GetActiveEditor();
                ASSERT_NE(editor, nullptr);
                OpenControl();
                Press(kind.change);
                EXPECT_EQ(boxes, 1) << "the change was written at once";
                EXPECT_TRUE(kind.changed(model->At(3, kind.column)));
                EXPECT_EQ(table->GetActiveEditor(), editor) << "the popup is still open";
                EXPECT_EQ(listener.events, std::vector<std::string>({"started"}));
                window->Activate();  // as the desktop gives it back after the box
                ASSERT_TRUE(gbxtest::PumpUntil([&] { return window->IsActive(); }));
                gbxtest::PumpFor(50);  // whatever the box left queued for the popup
                EXPECT_EQ(table->GetActiveEditor(), editor) << "still open once the queued events ran";
                EXPECT_EQ(listener.events, std::vector<std::string>({"started"}));

                Press(commit ? Qt::Key_Return : Qt::Key_Escape);
                EXPECT_EQ(table->GetActiveEditor(), nullptr);
                EXPECT_EQ(listener.events, std::vector<std::string>({"started", commit ? "stopped" : "cancelled"}));
                EXPECT_EQ(kind.changed(model->At(3, kind.column)), commit);
                EXPECT_EQ(boxes, 2) << "the end wrote once more";
                EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
            }
        }
    }
}

// A model that loses rows while its write's message box is up (a card removed meanwhile): the table
// refreshed then cancels the editor, whose popup is still inside its own handler; it goes afterwards.
TEST_F(EditorTest, ATableRefreshedWhileTheCommitsMessageBoxIsUpClosesThePopupAfterwards) {
    int boxes = 0;
    model->afterWrite = [&] {
        if (++boxes > 1) return;
        AnswerNextBox(Answer::Click, [&] {
            model->cells.resize(2);
            table->Refresh();
            EXPECT_EQ(table->GetActiveEditor(), nullptr) << "cancelled while the box is up";
        });
        platform::AskUser(window.get(), "Songs", "Written.", platform::MessageButtons::Ok,
                          platform::MessageIcon::Warning);
    };
    ClickCell(3, Column::kFlag);
    OpenByEnter();
    ASSERT_NE(table->GetActiveEditor(), nullptr);
    OpenControl();
    Press(Qt::Key_Down);
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "cancelled"}));
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    gbxtest::PumpFor(50);
    EXPECT_EQ(table->GetItemCount(), 2);
}

TEST_F(EditorTest, ARefreshAfterTheModelLostRowsCancelsAnOpenEditorFirst) {
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
    struct Case {
        size_t rowsLeft;
        bool cancels;
    };
    for (const Case c : {Case{30, false}, Case{31, false}, Case{10, true}, Case{2, true}}) {
        SCOPED_TRACE(c.rowsLeft);
        model->cells = model->original;
        table->Refresh();
        Reset();
        ClickCell(3, Column::kText);
        OpenByEnter();
        gbxtest::TypeText(OpenControl(), "typed");
        model->cells.resize(c.rowsLeft, model->original.front());
        table->Refresh();
        EXPECT_EQ(table->GetActiveEditor() == nullptr, c.cancels);
        EXPECT_EQ(listener.events, c.cancels ? std::vector<std::string>({"started", "cancelled"})
                                             : std::vector<std::string>({"started"}));
        if (c.cancels) {
            EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled()) << "the popup is gone";
            EXPECT_TRUE(gbxtest::PumpUntil([&] { return table->HasFocus(); })) << "the keyboard is back";
        } else {
            Press(Qt::Key_Escape);
        }
        EXPECT_TRUE(model->writes.empty());
    }
}

TEST_F(EditorTest, OnlyARightPressWithoutModifiersOnASelectedRowStartsEditing) {
    OpenByMouse(3, Column::kText);
    EXPECT_EQ(table->GetActiveEditor(), nullptr) << "the row was not selected";
    EXPECT_EQ(table->GetSelection()->GetLead(), 3) << "only the lead moved";
    ClickCell(3, Column::kText);
    ClickCell(3, Column::kText, Qt::ShiftModifier, Qt::RightButton);
    ClickCell(3, Column::kText, Qt::ControlModifier, Qt::RightButton);
    ClickCell(3, Column::kText, Qt::AltModifier, Qt::RightButton);
    gbxtest::SendMouse(List(), QEvent::MouseButtonDblClick, gbxtest::CellCentre(List(), 3, 0), Qt::RightButton);
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_TRUE(listener.events.empty());
    OpenByMouse(3, Column::kText);
    EXPECT_NE(table->GetActiveEditor(), nullptr);
    Press(Qt::Key_Escape);
}

TEST_F(EditorTest, APopupLiesOverItsCellInTheItemArea) {
    struct Case {
        Column column;
        int raise;
        bool keepsRightEdge;
    };
    for (const Case& c : {Case{Column::kText, 1, false}, Case{Column::kFlag, 2, false}, Case{Column::kKind, 2, false},
                          Case{Column::kCount, 1, true}}) {
        SCOPED_TRACE(model->GetColumnName(c.column));
        ClickCell(5, c.column);
        OpenByEnter();
        QWidget* host = OpenControl()->parentWidget();
        ASSERT_NE(host, nullptr);
        EXPECT_EQ(host->parentWidget(), List().ItemArea());
        const platform::Rect cell = table->GetCellRect(5, c.column);
        const QRect at = host->geometry();
        EXPECT_EQ(at.top(), cell.top - c.raise);
        if (c.keepsRightEdge)
            EXPECT_EQ(at.x() + at.width(), cell.right);
        else
            EXPECT_EQ(at.x(), cell.left);
        EXPECT_GE(at.width(), cell.Width());
        Press(Qt::Key_Escape);
    }
}

TEST_F(EditorTest, WithImmediateCommitEveryChangeIsWrittenAndACancelPutsTheStartBackIntoTheEditedCell) {
    // The table's own truth-value editor: the choice goes into every selected row at once; Esc puts the
    // start value back into the edited cell alone.
    SelectRows(2, 4, Column::kFlag);
    OpenByEnter();
    OpenControl();
    Press(Qt::Key_Down);
    EXPECT_EQ(model->RowsWritten(Column::kFlag), std::vector<int>({2, 3, 4}));
    for (int row : {2, 3, 4}) EXPECT_TRUE(model->At(row, Column::kFlag).GetBool()) << row;
    Press(Qt::Key_Escape);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "cancelled"}));
    EXPECT_FALSE(model->At(4, Column::kFlag).GetBool()) << "the edited cell";
    EXPECT_TRUE(model->At(2, Column::kFlag).GetBool());
    EXPECT_TRUE(model->At(3, Column::kFlag).GetBool());

    // A text editor with immediate commit: every keystroke is written.
    Reset();
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(true));
    SelectRows(2, 4, Column::kText);
    OpenByMouse(3, Column::kText);
    gbxtest::TypeText(OpenControl(), "ab");
    EXPECT_EQ(model->RowsWritten(Column::kText), std::vector<int>({2, 3, 4, 2, 3, 4}));
    EXPECT_EQ(model->At(2, Column::kText).GetString(), "ab");
    Press(Qt::Key_Escape);
    EXPECT_EQ(model->At(3, Column::kText).GetString(), "text 3");
    EXPECT_EQ(model->At(4, Column::kText).GetString(), "ab");

    // The table's own number editor: a spin is written when it ends; the edited cell alone.
    Reset();
    SelectRows(5, 7, Column::kCount);
    OpenByEnter();
    OpenControl();
    Press(Qt::Key_Up);
    EXPECT_EQ(model->RowsWritten(Column::kCount), std::vector<int>({7}));
    EXPECT_EQ(model->At(7, Column::kCount).GetInt(), 58);
    Press(Qt::Key_Return);
    EXPECT_EQ(model->At(7, Column::kCount).GetInt(), 58);
    EXPECT_EQ(listener.events, std::vector<std::string>({"started", "stopped"}));
}

TEST_F(EditorTest, NumbersAreLimitedToTheColumnsRangeBeforeTheyAreConverted) {
    struct Case {
        Column column;
        const char* typed;
        double stored;
    };
    // Row 3 starts with count 53 (0 to 100, step 1), level 2.5 (0 to 10, step 0.25) and big 3 (long,
    // no description: the int range).
    const Case cases[] = {
        {Column::kCount, "150", 100},
        {Column::kCount, "42", 42},
        {Column::kCount, "-7", 0},
        {Column::kCount, "3000000000", 100},
        {Column::kCount, "1e20", 100},
        {Column::kCount, "-1e20", 0},
        {Column::kCount, "inf", 100},
        {Column::kCount, "nan", 53},
        {Column::kBig, "2147483647", 2147483647.0},
        {Column::kBig, "3000000000", 2147483647.0},
        {Column::kBig, "-1e20", -2147483647.0},
        {Column::kBig, "nan", 3},
        {Column::kLevel, "7.3", 7.3},
        {Column::kLevel, "12.5", 10},
        {Column::kLevel, "-inf", 0},
        {Column::kLevel, "nan", 2.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(model->GetColumnName(c.column) + " " + c.typed);
        Reset();
        ClickCell(3, c.column);
        OpenByEnter();
        gbxtest::TypeText(OpenControl(), c.typed);
        Press(Qt::Key_Return);
        ASSERT_EQ(model->RowsWritten(c.column), std::vector<int>({3}));
        EXPECT_DOUBLE_EQ(model->At(3, c.column).GetDouble(), c.stored);
        EXPECT_EQ(model->At(3, c.column).GetMode(), UL::CCellValue::kInline);
    }
}

TEST_F(EditorTest, TheSpinEditTakesItsRangeAndDigitFromTheColumnsDescription) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        RealRange range;
        int digitPosition;
        int precision;
        double minimum;
        double maximum;
    };
    const Case cases[] = {
        {{0, 10, 0.25}, -1, 1, 0, 10},
        {{0, 10, 0.01}, -2, 2, 0, 10},
        {{0, 1000, 10}, 1, 0, 0, 1000},
        {{0, 10, 1}, 0, 0, 0, 10},
        // Bounds in reverse order are put in order; a bound that is no number is no bound.
        {{10, -5, 1}, 0, 0, -5, 10},
        {{nan, 10, 1}, 0, 0, -2147483647.0, 10},
        // A step that is not finite or not above 0 is no step: the units, fifteen digits after the point.
        {{0, 10, 0}, 0, 15, 0, 10},
        {{0, 10, -0.5}, 0, 15, 0, 10},
        {{0, 10, nan}, 0, 15, 0, 10},
        {{0, 10, inf}, 0, 15, 0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.range.GetMinimum() << " to " << c.range.GetMaximum() << " step "
                                        << c.range.GetStep());
        model->levelRange = c.range;
        ClickCell(3, Column::kLevel);
        OpenByEnter();
        auto* editor = dynamic_cast<UL::CNumberTableCellEditor<double>*>(table->GetActiveEditor());
        ASSERT_NE(editor, nullptr);
        const UL::CPopupSpinEdit& spin = *editor->GetPopup();
        EXPECT_EQ(spin.GetNumberKind(), UL::CSpinEdit::kKindReal);
        EXPECT_EQ(spin.GetDigitPosition(), c.digitPosition);
        EXPECT_EQ(spin.GetPrecision(), c.precision);
        EXPECT_EQ(spin.GetMinimum(), c.minimum);
        EXPECT_EQ(spin.GetMaximum(), c.maximum);
        EXPECT_DOUBLE_EQ(spin.GetValue(), 2.5) << "opened with the cell's value";
        Press(Qt::Key_Escape);
    }
}

TEST_F(EditorTest, AHexadecimalNumberOpensWithTheDigitsAfterThePrefixSelected) {
    editors->Add({-1, Column::kCount}, boost::make_shared<UL::CNumberTableCellEditor<int>>(1, nullptr, false));
    ClickCell(3, Column::kCount);
    OpenByEnter();
    auto* edit = qobject_cast<QLineEdit*>(OpenControl());
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text().trimmed().toStdString(), "0x35");
    EXPECT_EQ(edit->selectedText().toStdString(), "35");
    Press(Qt::Key_Escape);
    EXPECT_TRUE(model->writes.empty());
}

TEST(NumberEditorLimits, LimitedAsDoublesThenConvertedAndNaNKeepsTheStart) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    using Int = UL::CNumberTableCellEditor<int>;
    EXPECT_EQ(Int::LimitValue(150, 0, 100, 7), 100);
    EXPECT_EQ(Int::LimitValue(42.9, 0, 100, 7), 42) << "truncated toward zero";
    EXPECT_EQ(Int::LimitValue(-42.9, -100, 100, 7), -42);
    EXPECT_EQ(Int::LimitValue(150, 100, 0, 7), 100) << "bounds in either order";
    EXPECT_EQ(Int::LimitValue(1.5, 2.7, 9.9, 7), 2) << "bounds truncated";
    EXPECT_EQ(Int::LimitValue(9.95, 2.7, 9.9, 7), 9);
    EXPECT_EQ(Int::LimitValue(3e9, -2147483647.0, 2147483647.0, 7), 2147483647);
    EXPECT_EQ(Int::LimitValue(-inf, -2147483647.0, 2147483647.0, 7), -2147483647);
    EXPECT_EQ(Int::LimitValue(1e20, nan, nan, 7), std::numeric_limits<int>::max()) << "the type's own limits";
    EXPECT_EQ(Int::LimitValue(nan, 0, 100, 7), 7);
    using Long = UL::CNumberTableCellEditor<long>;
    const double longMin = double(std::numeric_limits<long>::min());
    const double longMax = double(std::numeric_limits<long>::max());  // one past the largest long
    EXPECT_EQ(Long::LimitValue(1e19, longMin, longMax, 0), std::numeric_limits<long>::max());
    EXPECT_EQ(Long::LimitValue(-1e19, longMin, longMax, 0), std::numeric_limits<long>::min());
    EXPECT_EQ(Long::LimitValue(3e9, -2147483647.0, 2147483647.0, 0), 2147483647L);
    using Real = UL::CNumberTableCellEditor<double>;
    EXPECT_DOUBLE_EQ(Real::LimitValue(7.3, 0, 10, 1), 7.3);
    EXPECT_DOUBLE_EQ(Real::LimitValue(12.5, 10, 0, 1), 10);
    EXPECT_DOUBLE_EQ(Real::LimitValue(-inf, 0, 10, 1), 0);
    EXPECT_DOUBLE_EQ(Real::LimitValue(nan, 0, 10, 1.25), 1.25);
}

TEST_F(EditorTest, TheWideStringEditorKeepsWhatTheAnsiCodePageCannotHold) {
    // An ASCII code page: the plain string editor writes the ANSI text, the wide one what was typed.
    gbxtest::LocaleScope ascii("C", "C");
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
    editors->Add({-1, Column::kWide}, boost::make_shared<UL::CStringTableCellEditorW>(false));
    const std::string typed = "Caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x8E\xB5";
    for (const Column column : {Column::kText, Column::kWide}) {
        ClickCell(3, column);
        OpenByEnter();
        gbxtest::TypeText(OpenControl(), QString::fromStdString(typed));
        Press(Qt::Key_Return);
    }
    EXPECT_EQ(model->At(3, Column::kWide).GetString(), typed);
    EXPECT_EQ(model->At(3, Column::kText).GetString(), UL::Utf8ToAnsi(typed));
    EXPECT_NE(model->At(3, Column::kText).GetString(), typed);
}

TEST_F(EditorTest, AnOfferTheOpenEditorRefusesLeavesItOnItsCell) {
    SelectRows(2, 4, Column::kText);
    OpenByMouse(3, Column::kText);
    auto* editor = dynamic_cast<UL::CStringTableCellEditor*>(table->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    // The release of the press that opened it, over the flag column; a left press; a key release.
    const platform::Point anywhere{1, 1};
    EXPECT_FALSE(editor->StartByMouse(table.get(), 3, Column::kFlag,
                                      UL::CMouseInfo(UL::CMouseInfo::kButtonUp, anywhere, platform::kModRightButton)));
    EXPECT_FALSE(
        editor->StartByMouse(table.get(), 5, Column::kFlag, UL::CMouseInfo(UL::CMouseInfo::kButtonDown, anywhere, 0)));
    EXPECT_FALSE(
        editor->StartByKey(table.get(), 5, Column::kFlag, UL::CKeyInfo{UL::CKeyInfo::kKeyUp, platform::kKeyEnter, 0}));
    EXPECT_TRUE(editor->IsEditing());
    EXPECT_EQ(editor->GetRow(), 3);
    EXPECT_EQ(editor->GetColumn(), Column::kText);
    EXPECT_EQ(editor->GetStartValue(), "text 3");
    gbxtest::TypeText(OpenControl(), "Renamed");
    Press(Qt::Key_Return);
    EXPECT_EQ(model->RowsWritten(Column::kText), std::vector<int>({2, 3, 4}));
    EXPECT_EQ(model->writes.size(), 3u) << "no truth value was written";
}

TEST_F(EditorTest, TheEnumerationEditorOffersTheDescriptionsNamesAndWritesTheChoiceIntoEverySelectedRow) {
    editors->Add({-1, Column::kKind}, boost::make_shared<UL::CEnumerationTableCellEditor>(false));
    SelectRows(2, 4, Column::kKind);
    OpenByEnter();
    auto* combo = qobject_cast<QComboBox*>(OpenControl());
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0).toStdString(), "Red");
    EXPECT_EQ(combo->itemText(1).toStdString(), "Green");
    EXPECT_EQ(combo->itemText(2).toStdString(), "Blue");
    EXPECT_EQ(combo->currentText().toStdString(), "Green");
    Press(Qt::Key_Down);
    Press(Qt::Key_Return);
    EXPECT_EQ(model->RowsWritten(Column::kKind), std::vector<int>({2, 3, 4}));
    for (int row : {2, 3, 4}) {
        ASSERT_NE(model->At(row, Column::kKind).GetEnumeration(), nullptr);
        EXPECT_EQ(model->At(row, Column::kKind).GetEnumeration()->GetValue(), 7) << row;
    }

    // A cell that holds a text instead of its value cannot be edited: no popup, no report.
    Reset();
    model->cells[6][Column::kKind] = UL::CCellValue("not a colour");
    ClickCell(6, Column::kKind);
    OpenByEnter();
    EXPECT_EQ(table->GetActiveEditor(), nullptr);
    EXPECT_TRUE(listener.events.empty());
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
}

TEST_F(EditorTest, StartingAgainOnAnotherCellMovesTheOnePopupThere) {
    editors->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(true));
    SelectRows(2, 4, Column::kText);
    OpenByMouse(3, Column::kText);
    auto* editor = dynamic_cast<UL::CStringTableCellEditor*>(table->GetActiveEditor());
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->StartEditing(table.get(), 4, Column::kText));
    EXPECT_EQ(editor->GetRow(), 4);
    EXPECT_EQ(editor->GetStartValue(), "text 4");
    EXPECT_EQ(UL::CMouseHookManager::GetInstance().GetHandlerCount(), 1u) << "the first popup is gone";
    Press(Qt::Key_Escape);
    EXPECT_EQ(model->RowsWritten(Column::kText), std::vector<int>({4})) << "the start value of the cell edited last";
    EXPECT_EQ(model->At(4, Column::kText).GetString(), "text 4");
}

TEST_F(EditorTest, ReplacingTheModelOrTheEditorsCancelsAnOpenEditorFirst) {
    const std::vector<std::function<void()>> replacements = {
        [&] { table->SetEditorResolver(editors); },
        [&] { table->SetModel(boost::make_shared<CellModel>(3)); },
        [&] {
            // The same model again, and another default editor than the open one, leave it open.
            table->SetModel(model);
            table->SetDefaultEditor(typeid(bool), boost::make_shared<UL::CBooleanTableCellEditor>("No", "Yes", false));
            EXPECT_NE(table->GetActiveEditor(), nullptr);
            Press(Qt::Key_Escape);
            table->SetEditorResolver(nullptr);
            ClickCell(3, Column::kText);
            OpenByEnter();
            listener.events = {"started"};  // as if this were the first open
            table->SetDefaultEditor(typeid(std::string), boost::make_shared<UL::CStringTableCellEditor>(true));
        },
    };
    for (size_t i = 0; i < replacements.size(); ++i) {
        SCOPED_TRACE(i);
        table->SetModel(model);
        table->Refresh();
        // The table holds the only reference to the editor: replacing its resolver deletes it.
        auto own = boost::make_shared<UL::CMappedTableCellEditorResolver>();
        own->Add({-1, Column::kText}, boost::make_shared<UL::CStringTableCellEditor>(false));
        table->SetEditorResolver(own);
        own.reset();
        Reset();
        ClickCell(3, Column::kText);
        OpenByEnter();
        ASSERT_NE(table->GetActiveEditor(), nullptr);
        gbxtest::TypeText(OpenControl(), "x");
        replacements[i]();
        EXPECT_EQ(table->GetActiveEditor(), nullptr);
        EXPECT_EQ(listener.events, std::vector<std::string>({"started", "cancelled"}));
        EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled()) << "the popup is gone";
        EXPECT_TRUE(model->writes.empty());
    }
}

// A dialog's table from a template: the list view of the template is a report list that the table
// takes over by its id, and its editors open inside it.
TEST(TableFromATemplate, TheListViewIsAReportListThatATableTakesOver) {
    gbxtest::UseOffscreenToolkitUnlessSet();
    ASSERT_TRUE(platform::StartWindowSystem());
    platform::DialogTemplate layout;
    layout.units = platform::Size{220, 120};
    layout.items = {
        {10, platform::kClassListView, "", platform::Rect{5, 5, 215, 115}, platform::kWsChild | platform::kWsVisible}};
    platform::Window dialog(platform::WindowKind::Dialog);
    dialog.BuildFromTemplate(layout);
    ASSERT_NE(dynamic_cast<platform::ReportList*>(dialog.FindControl(10)), nullptr);

    auto model = boost::make_shared<gbxtest::SongModel>(gbxtest::MakeSongs(6));
    UL::CTableControl table;
    table.SetModel(model);
    EXPECT_FALSE(table.SubclassDlgItem(11, dialog)) << "no control of that id";
    ASSERT_TRUE(table.SubclassDlgItem(10, dialog));
    table.Refresh();
    EXPECT_EQ(table.GetColumnCount(), 4);
    UL::CTableControl second;
    EXPECT_FALSE(second.SubclassDlgItem(10, dialog)) << "a list has one table";

    dialog.Show();
    dialog.Activate();
    table.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }));
    gbxtest::Click(*table.GetList(), gbxtest::CellCentre(*table.GetList(), 1, gbxtest::SongModel::kArtist));
    gbxtest::SendKey(*table.GetList(), Qt::Key_Return);
    ASSERT_NE(table.GetActiveEditor(), nullptr);
    gbxtest::TypeText(QApplication::focusWidget(), "Someone");
    gbxtest::PressKey(dialog.Widget(), Qt::Key_Return);
    EXPECT_EQ(model->rows[1].artist, "Someone");
    EXPECT_TRUE(dialog.IsVisible()) << "Enter went to the popup, not to the dialog";
}

}  // namespace
