#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "tests/support/WidgetDriver.h"
#include "ui/CursorStack.h"
#include "ui/ProgressBar.h"

#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

// The library's dialog, counting how often it handles waiting events.
class CountingProgress : public UL::CProgressBarA {
public:
    using UL::CProgressBarA::CProgressBarA;
    int pumps = 0;
    void PumpMessages() override {
        ++pumps;
        UL::CProgressBarA::PumpMessages();
    }
    QWidget* Widget() const { return GetWindow() != nullptr ? GetWindow()->Widget() : nullptr; }
    platform::Control* CancelButton() const { return GetDlgItem(platform::kCommandCancel); }
    std::string ShownMessage() const { return GetDlgItemText(UL::kProgressMessageId); }
    // The bar's maximum and position as the toolkit shows them; {-1, -1} without a window.
    std::pair<int, int> ShownBar() const {
        const QProgressBar* bar = Widget() != nullptr ? Widget()->findChild<QProgressBar*>() : nullptr;
        return bar != nullptr ? std::make_pair(bar->maximum(), bar->value()) : std::make_pair(-1, -1);
    }
};

class ProgressBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        owner.Show();
        platform::ProcessEvents();
    }
    void PressEscape() { gbxtest::PressKey(progress.Widget(), Qt::Key_Escape); }
    platform::Window owner;
    CountingProgress progress;
};

TEST_F(ProgressBarTest, RunDisablesTheOwnerAndEveryEndEnablesIt) {
    EXPECT_FALSE(progress.IsShown());
    progress.SetTitle("Importing");
    progress.Begin();
    ASSERT_TRUE(progress.IsShown());
    EXPECT_EQ(progress.pumps, 0) << "Begin does not pump";
    EXPECT_FALSE(owner.IsEnabled());
    EXPECT_EQ(progress.GetDisabledOwner(), &owner);
    EXPECT_TRUE(progress.GetWindow()->IsEnabled());
    EXPECT_TRUE(progress.GetWindow()->IsVisible());
    EXPECT_EQ(progress.GetWindow()->Title(), "Importing");
    progress.End();
    EXPECT_FALSE(progress.IsShown());
    EXPECT_TRUE(owner.IsEnabled());
    EXPECT_EQ(progress.GetDisabledOwner(), nullptr);

    progress.Begin();  // a second run disables it again
    EXPECT_FALSE(owner.IsEnabled());
    progress.End();
    EXPECT_TRUE(owner.IsEnabled());
}

TEST_F(ProgressBarTest, DestroyingTheDialogEnablesTheOwner) {
    {
        CountingProgress local;
        local.SetPos(3);  // shows the window too
        EXPECT_TRUE(local.IsShown());
        EXPECT_FALSE(owner.IsEnabled());
    }
    EXPECT_TRUE(owner.IsEnabled());
}

TEST_F(ProgressBarTest, AnOwnerDisabledBeforehandStaysDisabled) {
    owner.Enable(false);
    progress.Begin();
    EXPECT_EQ(progress.GetDisabledOwner(), nullptr);
    progress.End();
    EXPECT_FALSE(owner.IsEnabled());
    owner.Enable(true);
}

TEST_F(ProgressBarTest, EndWithoutAWindowLeavesTheOwnerAlone) {
    owner.Enable(false);
    progress.End();
    EXPECT_FALSE(owner.IsEnabled());
    EXPECT_EQ(progress.pumps, 0);
    owner.Enable(true);
}

TEST_F(ProgressBarTest, BarHasAtMostAThousandSteps) {
    struct Case {
        int range, pos, barRange, barPos;
    } cases[] = {{50, 25, 50, 25},         {100, 33, 100, 33}, {100000, 1234, 1000, 12},
                 {100000, 1250, 1000, 13}, {3, 1, 3, 1},       {2000, 1999, 1000, 1000}};
    for (const Case& c : cases) {
        progress.SetRange(c.range);
        progress.Begin();
        progress.SetPos(c.pos);
        EXPECT_EQ(progress.ShownBar(), std::make_pair(c.barRange, c.barPos)) << c.range << " " << c.pos;
        progress.End();
    }
}

TEST_F(ProgressBarTest, LongRunsPumpOnlyWhenTheBarMoves) {
    progress.SetRange(100000);
    progress.Begin();
    for (int pos = 0; pos <= 100000; ++pos) progress.SetPos(pos);
    EXPECT_LE(progress.pumps, 1001);
    EXPECT_GE(progress.pumps, 1000);
    EXPECT_EQ(progress.ShownBar(), std::make_pair(1000, 1000));
    const int before = progress.pumps;
    progress.Step();
    EXPECT_EQ(progress.GetPos(), 100001);
    EXPECT_EQ(progress.pumps, before) << "past the end the bar does not move, so nothing is pumped";
    progress.End();
}

TEST_F(ProgressBarTest, RangeOfZeroDividesNothing) {
    progress.SetRange(0);
    progress.Begin();
    progress.SetPos(5);
    EXPECT_EQ(progress.ShownBar(), std::make_pair(1, 0)) << "an empty range shows an empty bar";
    progress.SetRange(-3);
    progress.SetPos(7);
    EXPECT_EQ(progress.ShownBar(), std::make_pair(1, 0));
    progress.End();
}

TEST_F(ProgressBarTest, MessagePumpsOnlyWhenItChanges) {
    progress.SetMessage("File 01/03");  // creates the window: pumps once
    ASSERT_TRUE(progress.IsShown());
    EXPECT_EQ(progress.ShownMessage(), "File 01/03");
    const int afterCreate = progress.pumps;
    EXPECT_EQ(afterCreate, 1);
    progress.SetMessage("File 01/03");
    EXPECT_EQ(progress.pumps, afterCreate);
    progress.SetMessage("File 02/03");
    EXPECT_EQ(progress.pumps, afterCreate + 1);
    EXPECT_EQ(progress.GetMessage(), "File 02/03");
    progress.SetTitle("Other");  // no pumping
    EXPECT_EQ(progress.pumps, afterCreate + 1);
    progress.End();
}

TEST_F(ProgressBarTest, CancelCountsOnlyWhileCancelable) {
    progress.Begin();
    ASSERT_TRUE(progress.IsShown());
    EXPECT_FALSE(progress.CancelButton()->IsVisible());
    PressEscape();
    EXPECT_FALSE(progress.IsCancelled());
    progress.SetCancelable(true);
    EXPECT_TRUE(progress.CancelButton()->IsVisible());
    PressEscape();
    EXPECT_TRUE(progress.IsCancelled());
    EXPECT_TRUE(progress.IsCancelled()) << "stays until the next Begin";
    EXPECT_TRUE(progress.IsShown()) << "a cancel never closes the dialog";
    progress.Begin();
    EXPECT_FALSE(progress.IsCancelled());
    qobject_cast<QPushButton*>(progress.CancelButton()->Widget())->click();
    EXPECT_TRUE(progress.IsCancelled());
    progress.GetWindow()->Widget()->close();  // the close box is a cancel too, and the window stays
    EXPECT_TRUE(progress.IsShown());
    progress.End();
    EXPECT_TRUE(progress.IsCancelled()) << "the answer of the last run until Begin";
}

TEST_F(ProgressBarTest, CancelQuestionsPumpEveryTimeAndHandleWaitingEvents) {
    progress.Begin();
    bool handled = false;
    QTimer::singleShot(0, [&] { handled = true; });
    const int before = progress.pumps;
    progress.IsCancelled();
    progress.IsCancelled();
    EXPECT_EQ(progress.pumps, before + 2);
    EXPECT_TRUE(handled);
    progress.End();
    progress.IsCancelled();
    EXPECT_EQ(progress.pumps, before + 2) << "no window, nothing to pump";
}

TEST_F(ProgressBarTest, PumpingKeepsTheWaitCursor) {
    UL::CWaitCursor wait;
    progress.Begin();
    platform::ClearOverrideCursor();  // as a pumped event could
    progress.IsCancelled();
    EXPECT_EQ(platform::OverrideCursorShape(), platform::CursorShape::Wait);
    progress.End();
}

TEST_F(ProgressBarTest, StoredValuesOutliveTheWindow) {
    progress.SetTitle("Export");
    progress.SetMessage("Writing");
    progress.SetRange(10);
    progress.SetCancelable(true);
    progress.SetPos(4);
    progress.End();
    progress.Begin();
    EXPECT_EQ(progress.GetPos(), 0);
    EXPECT_EQ(progress.GetRange(), 10);
    EXPECT_EQ(progress.GetTitle(), "Export");
    EXPECT_EQ(progress.GetWindow()->Title(), "Export");
    EXPECT_EQ(progress.ShownMessage(), "Writing");
    EXPECT_TRUE(progress.CancelButton()->IsVisible());
    EXPECT_EQ(progress.ShownBar(), std::make_pair(10, 0));
    progress.End();
}

TEST_F(ProgressBarTest, DefaultsAndTitle) {
    platform::SetApplicationTitle("Gigbox Setlister");
    CountingProgress fresh;
    EXPECT_EQ(fresh.GetRange(), 100);
    EXPECT_EQ(fresh.GetPos(), 0);
    EXPECT_EQ(fresh.GetTitle(), "Gigbox Setlister");
    EXPECT_EQ(fresh.GetMessage(), "");
    EXPECT_FALSE(fresh.IsCancelable());
    EXPECT_FALSE(fresh.IsCancelled());
    EXPECT_FALSE(fresh.IsShown());
    EXPECT_EQ(fresh.ShownBar(), std::make_pair(-1, -1));
}

// A dialog whose owner the test picks, so that the owner can be destroyed during a run.
class ChosenOwnerProgress : public CountingProgress {
public:
    platform::Window* chosen = nullptr;
    platform::Window* GetOwnerWindow() override { return chosen; }
};

TEST_F(ProgressBarTest, AnOwnerDestroyedDuringTheRunIsNeverTouchedAgain) {
    // Ending at once, or first showing the dialog again over the fixture's owner (disabled by
    // someone else beforehand, so the dialog must leave it disabled).
    for (const bool showAgain : {false, true}) {
        SCOPED_TRACE(showAgain);
        ChosenOwnerProgress local;
        auto doomed = std::make_unique<platform::Window>();
        doomed->Show();
        local.chosen = doomed.get();
        local.Begin();
        ASSERT_TRUE(local.IsShown());
        EXPECT_FALSE(doomed->IsEnabled());
        doomed.reset();  // takes the dialog's window with it
        EXPECT_FALSE(local.IsShown());
        local.chosen = &owner;
        owner.Enable(false);
        if (showAgain) {
            local.SetPos(1);
            EXPECT_TRUE(local.IsShown());
            EXPECT_EQ(local.GetDisabledOwner(), nullptr);
        }
        local.End();
        EXPECT_FALSE(owner.IsEnabled());
        owner.Enable(true);
    }
}

TEST_F(ProgressBarTest, AWindowThatCannotBeMadeShowsNothingAndFreesTheOwner) {
    CountingProgress broken(-4242, UL::kProgressMessageId, UL::kProgressBarId);
    broken.SetPos(1);
    EXPECT_FALSE(broken.IsShown());
    EXPECT_TRUE(owner.IsEnabled());
    EXPECT_EQ(broken.pumps, 0);
    broken.SetMessage("again");
    EXPECT_FALSE(broken.IsShown());
    EXPECT_TRUE(owner.IsEnabled());
}

TEST_F(ProgressBarTest, IsAProgressForTheGeneralTools) {
    GT::IProgress& asProgress = progress;
    asProgress.SetRange(4);
    asProgress.Begin();
    asProgress.Step();
    asProgress.Step();
    EXPECT_EQ(asProgress.GetPos(), 2);
    EXPECT_EQ(progress.ShownBar(), std::make_pair(4, 2));
    asProgress.End();
}

}  // namespace
