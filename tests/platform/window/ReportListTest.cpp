#include "platform/window/ReportList.h"

#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "tests/support/ListDriver.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QAbstractScrollArea>
#include <QImage>
#include <QScrollBar>
#include <QWidget>

#include <memory>
#include <string>
#include <vector>

namespace {

using platform::ReportList;

// Records what reaches the handler; draws each row in one colour so that the tests can see which rows
// were drawn where.
class RecordingHandler : public platform::ReportListHandler {
public:
    int rowHeight = 20;
    bool useKeys = true;
    std::vector<int> drawn;
    std::vector<platform::MouseInput> mice;
    std::vector<platform::KeyInput> keys;
    std::vector<bool> focus;
    std::vector<int> headerClicks;
    std::vector<int> dividerClicks;
    std::vector<platform::ScrollSource> scrolls;
    int destroyed = 0;
    // What the handler could still read of its list when told it goes.
    int columnsAtDestroy = -1;
    ReportList* list = nullptr;

    int OnListMeasureItem() override { return rowHeight; }
    void OnListDrawItem(platform::DrawContext& dc, int item, const platform::Rect& itemRect) override {
        drawn.push_back(item);
        dc.FillRect(itemRect, platform::Colour{uint8_t(item * 10), 0, 200});
    }
    void OnListMouse(const platform::MouseInput& input) override { mice.push_back(input); }
    bool OnListKey(const platform::KeyInput& input) override {
        keys.push_back(input);
        return useKeys;
    }
    void OnListFocusChanged(bool gained) override { focus.push_back(gained); }
    void OnListHeaderClick(int column) override { headerClicks.push_back(column); }
    void OnListDividerDoubleClick(int column) override { dividerClicks.push_back(column); }
    void OnListScroll(platform::ScrollSource source) override { scrolls.push_back(source); }
    void OnListDestroyed() override {
        ++destroyed;
        if (list != nullptr) columnsAtDestroy = list->ColumnCount();
    }
};

// A window that records the keys the list did not use.
class KeyWindow : public platform::Window {
public:
    std::vector<int> keys;

protected:
    bool OnKey(const platform::KeyInput& input) override {
        if (input.action == platform::KeyAction::Down) keys.push_back(input.code);
        return true;
    }
};

class ReportListTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        window = std::make_unique<KeyWindow>();
        window->SetClientSize(platform::Size{400, 300});
        list = &window->AddControl<ReportList>(7, &handler);
        handler.list = list;
        list->SetRect(platform::Rect{0, 0, 400, 300});
        for (int i = 0; i < 3; ++i) list->InsertColumn(i, "Column " + std::to_string(i));
        list->SetColumnWidth(0, 100);
        list->SetColumnWidth(1, 80);
        list->SetColumnWidth(2, 60);
        list->SetItemCount(100);
        window->Show();
        window->Activate();
        gbxtest::PumpUntil([&] { return window->IsActive(); });
    }

    RecordingHandler handler;
    std::unique_ptr<KeyWindow> window;
    ReportList* list = nullptr;
};

TEST_F(ReportListTest, RowsAndCellsLieWhereTheColumnsAndTheTopRowPutThem) {
    EXPECT_EQ(window->FindControl(7), list);
    EXPECT_EQ(list->ItemHeight(), 20);
    const int width = list->ClientSize().width;  // the last column fills the list
    EXPECT_EQ(list->TotalColumnWidth(), width);
    EXPECT_EQ(list->ItemRect(0), (platform::Rect{0, 0, width, 20}));
    EXPECT_EQ(list->SubItemRect(2, 1), (platform::Rect{100, 40, 180, 60}));
    EXPECT_TRUE(list->ItemRect(100).IsEmpty());
    EXPECT_TRUE(list->SubItemRect(0, 3).IsEmpty());
    EXPECT_EQ(list->CountPerPage(), list->ClientSize().height / 20);

    const platform::ListHit hit = list->HitTest(platform::Point{150, 45});
    EXPECT_EQ(hit.item, 2);
    EXPECT_EQ(hit.column, 1);
    EXPECT_EQ(list->HitTest(platform::Point{300, 45}).column, 2) << "the last column fills the list";
    EXPECT_EQ(list->HitTest(platform::Point{width + 5, 45}).column, -1) << "right of the last column";
    EXPECT_EQ(list->HitTest(platform::Point{width + 5, 45}).item, 2);

    list->SetRect(platform::Rect{10, 20, 400, 300});
    const platform::Point inWindow = list->ClientToWindow(platform::Point{5, 6});
    const QPoint areaInList = list->ItemArea()->mapTo(list->Widget(), QPoint(0, 0));
    EXPECT_EQ(inWindow.x, 10 + areaInList.x() + 5);
    EXPECT_EQ(inWindow.y, 20 + areaInList.y() + 6);
    EXPECT_GE(areaInList.y(), list->HeaderHeight()) << "the item area lies below the header";

    list->Scroll(0, 50);  // two and a half rows count as three
    EXPECT_EQ(list->TopIndex(), 3);
    EXPECT_EQ(list->ItemRect(3).top, 0);
    EXPECT_EQ(list->HitTest(platform::Point{10, 5}).item, 3);
    list->Scroll(0, -1000);
    EXPECT_EQ(list->TopIndex(), 0);
    list->Scroll(0, 100000);
    EXPECT_EQ(list->TopIndex(), 100 - list->CountPerPage()) << "the last page stays full";
}

TEST_F(ReportListTest, OnlyRowsInTheUpdateAreaAreDrawn) {
    handler.drawn.clear();
    QImage image(list->ItemArea()->size(), QImage::Format_ARGB32_Premultiplied);
    list->ItemArea()->render(&image, QPoint(), QRegion(0, 40, 240, 20));
    EXPECT_EQ(handler.drawn, std::vector<int>({2}));

    handler.drawn.clear();
    list->ItemArea()->render(&image);
    ASSERT_FALSE(handler.drawn.empty());
    EXPECT_EQ(handler.drawn.front(), 0);
    EXPECT_LE(int(handler.drawn.size()), list->CountPerPage() + 1);
    EXPECT_EQ(QColor(image.pixel(10, 45)), QColor(20, 0, 200)) << "row 2 drawn by the handler";
}

TEST_F(ReportListTest, ColumnsAreInsertedDeletedAndRenamed) {
    list->InsertColumn(1, "Between");
    EXPECT_EQ(list->ColumnCount(), 4);
    EXPECT_EQ(list->ColumnText(1), "Between");
    EXPECT_EQ(list->ColumnText(2), "Column 1");
    EXPECT_EQ(list->ColumnWidth(2), 80) << "widths move with their columns";
    EXPECT_TRUE(list->DeleteColumn(1));
    EXPECT_FALSE(list->DeleteColumn(3));
    list->SetColumnText(2, "Renamed");
    EXPECT_EQ(list->ColumnText(2), "Renamed");
    list->SetColumnWidth(0, 0);
    EXPECT_EQ(list->ColumnWidth(0), 0);
    EXPECT_EQ(list->ColumnLeft(1), 0);
}

TEST_F(ReportListTest, FittingToTheHeaderMeasuresItsTextAndTheLastColumnFillsTheList) {
    list->FitColumnToHeader(0);
    const int fitted = list->ColumnWidth(0);
    EXPECT_GT(fitted, list->TextWidth("Column 0"));
    EXPECT_LT(fitted, list->TextWidth("Column 0") + 40);
    list->FitColumnToHeader(2);
    EXPECT_EQ(list->ColumnLeft(2) + list->ColumnWidth(2), list->ClientSize().width);
}

TEST_F(ReportListTest, TheLastColumnFillsTheListAsItGrowsAndKeepsItsOwnWidth) {
    const auto fillsTheList = [&] { return list->ColumnLeft(2) + list->ColumnWidth(2) == list->ClientSize().width; };
    EXPECT_TRUE(fillsTheList());
    EXPECT_EQ(list->ColumnGivenWidth(2), 60);
    window->SetClientSize(platform::Size{700, 300});
    list->SetRect(platform::Rect{0, 0, 700, 300});
    EXPECT_TRUE(gbxtest::PumpUntil(fillsTheList)) << "the header and the rows follow the list";
    EXPECT_EQ(list->TotalColumnWidth(), list->ClientSize().width);
    EXPECT_EQ(list->ItemRect(0).right, list->ClientSize().width);
    EXPECT_EQ(list->ColumnGivenWidth(2), 60) << "what fills is not the column's own width";

    list->SetColumnWidth(0, 900);
    EXPECT_EQ(list->ColumnWidth(2), 60) << "no room left: the column's own width";
    list->SetColumnWidth(0, 100);
    EXPECT_TRUE(fillsTheList());
    list->InsertColumn(3, "Column 3");
    EXPECT_EQ(list->ColumnWidth(2), 60) << "no longer the last";
    EXPECT_EQ(list->ColumnLeft(3) + list->ColumnWidth(3), list->ClientSize().width);
    EXPECT_TRUE(list->DeleteColumn(3));
    EXPECT_TRUE(fillsTheList());
}

TEST_F(ReportListTest, MouseReachesTheHandlerInItemAreaCoordinates) {
    gbxtest::SendMouse(*list, QEvent::MouseButtonPress, QPoint(30, 45), Qt::LeftButton, Qt::ShiftModifier);
    gbxtest::SendMouse(*list, QEvent::MouseMove, QPoint(30, 80), Qt::LeftButton, Qt::NoModifier, Qt::LeftButton);
    gbxtest::SendMouse(*list, QEvent::MouseButtonRelease, QPoint(30, 80));
    gbxtest::SendMouse(*list, QEvent::MouseButtonPress, QPoint(5, 5), Qt::RightButton, Qt::ControlModifier);
    gbxtest::SendMouse(*list, QEvent::MouseButtonPress, QPoint(5, 5), Qt::MiddleButton);
    ASSERT_EQ(handler.mice.size(), 4u) << "the middle button is not the list's";
    EXPECT_EQ(handler.mice[0].action, platform::MouseAction::ButtonDown);
    EXPECT_EQ(handler.mice[0].point.y, 45);
    EXPECT_EQ(handler.mice[0].modifiers, platform::kModShift);
    EXPECT_TRUE(handler.mice[0].leftHeld);
    EXPECT_EQ(handler.mice[1].action, platform::MouseAction::Move);
    EXPECT_EQ(handler.mice[2].action, platform::MouseAction::ButtonUp);
    EXPECT_FALSE(handler.mice[2].leftHeld);
    EXPECT_EQ(handler.mice[3].modifiers, platform::kModRightButton | platform::kModCtrl);
}

TEST_F(ReportListTest, KeysTheHandlerLeavesGoOnToTheWindow) {
    list->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return list->HasFocus(); }));
    gbxtest::SendKey(*list, Qt::Key_Down);
    handler.useKeys = false;
    gbxtest::SendKey(*list, Qt::Key_Escape);
    ASSERT_EQ(handler.keys.size(), 4u);
    EXPECT_EQ(handler.keys[0].code, platform::kKeyDown);
    EXPECT_EQ(handler.keys[0].action, platform::KeyAction::Down);
    EXPECT_EQ(handler.keys[1].action, platform::KeyAction::Up);
    EXPECT_EQ(window->keys, std::vector<int>({platform::kKeyEscape}));
}

// An empty list, or one with no current row, still shows when it holds the keyboard: its border.
TEST_F(ReportListTest, TheListShowsThatItHoldsTheKeyboardEvenEmpty) {
    list->SetItemCount(0);
    QWidget* widget = list->Widget();
    widget->clearFocus();  // the window gave it the keyboard when it became active
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return !list->HasFocus(); }));
    const QImage before = widget->grab().toImage();
    list->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return list->HasFocus(); }));
    const QImage focused = widget->grab().toImage();
    EXPECT_NE(focused, before);
    const QColor highlight = widget->palette().color(QPalette::Highlight);
    EXPECT_EQ(focused.pixelColor(0, focused.height() / 2), highlight);
    EXPECT_EQ(focused.pixelColor(focused.width() - 1, focused.height() - 1), highlight);
    widget->clearFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return !list->HasFocus(); }));
    EXPECT_EQ(widget->grab().toImage(), before) << "and no longer once it has let the keyboard go";
}

TEST_F(ReportListTest, HeaderClicksAreSentOnlyWhileClickable) {
    gbxtest::ClickHeader(*list, 1);
    EXPECT_TRUE(handler.headerClicks.empty());
    list->SetHeaderClickable(true);
    EXPECT_TRUE(list->IsHeaderClickable());
    gbxtest::ClickHeader(*list, 1);
    EXPECT_EQ(handler.headerClicks, std::vector<int>({1}));
    gbxtest::DoubleClickDivider(*list, 0);
    EXPECT_EQ(handler.dividerClicks, std::vector<int>({0}));
    EXPECT_EQ(list->ColumnWidth(0), 100) << "the divider double click leaves the width to the handler";
}

TEST_F(ReportListTest, ScrollBarsAndTheWheelAskBeforeTheyScroll) {
    auto* area = static_cast<QAbstractScrollArea*>(list->Widget());
    area->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_FALSE(handler.scrolls.empty());
    EXPECT_EQ(handler.scrolls.front(), platform::ScrollSource::VerticalBar);
    EXPECT_EQ(list->TopIndex(), list->CountPerPage());
    handler.scrolls.clear();
    list->Scroll(0, 20);
    EXPECT_TRUE(handler.scrolls.empty()) << "the owner's own scrolling asks nothing";
}

TEST_F(ReportListTest, SelectionMarkFollowsShrinkingItems) {
    list->SetSelectionMark(50);
    list->SetItemCount(60);
    EXPECT_EQ(list->SelectionMark(), 50);
    list->SetItemCount(50);
    EXPECT_EQ(list->SelectionMark(), -1);
}

TEST_F(ReportListTest, TheHandlerHearsOnceThatTheListGoesWhileItCanStillReadIt) {
    window.reset();
    EXPECT_EQ(handler.destroyed, 1);
    EXPECT_EQ(handler.columnsAtDestroy, 3);
}

TEST_F(ReportListTest, ADetachedListTellsNothing) {
    list->Detach();
    EXPECT_FALSE(list->Exists());
    EXPECT_EQ(list->ColumnCount(), 0);
    EXPECT_TRUE(list->ItemRect(0).IsEmpty());
    window.reset();
    EXPECT_EQ(handler.destroyed, 0);
}

TEST_F(ReportListTest, AListWhoseWidgetTheToolkitDestroysTellsItsHandler) {
    delete list->Widget();
    EXPECT_EQ(handler.destroyed, 1);
    EXPECT_FALSE(list->Exists());
    window.reset();
    EXPECT_EQ(handler.destroyed, 1);
}

}  // namespace
