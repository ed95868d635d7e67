#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include <vector>

namespace {

// A dialog that records what reaches its handlers.
class RecordingWindow : public platform::Window {
public:
    using platform::Window::Window;
    std::vector<int> commands;
    std::vector<int> timers;
    std::vector<platform::KeyInput> keys;
    int paints = 0;
    int endOnTimer = -1;

protected:
    void OnCommand(int id) override {
        commands.push_back(id);
        if (id == 99) EndModal(7);
    }
    void OnTimer(int id) override {
        timers.push_back(id);
        if (endOnTimer >= 0) EndModal(endOnTimer);
    }
    bool OnKey(const platform::KeyInput& key) override {
        keys.push_back(key);
        return false;
    }
    void OnPaint(platform::DrawContext& dc) override {
        ++paints;
        dc.FillRect(platform::Rect{0, 0, 10, 10}, platform::Colour{0, 0, 0});
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
};

TEST_F(WindowTest, TimersReachOnTimerUntilStopped) {
    RecordingWindow window;
    ASSERT_TRUE(window.StartTimer(5, 1));
    EXPECT_TRUE(window.HasTimer(5));
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return window.timers.size() >= 2; }));
    EXPECT_EQ(window.timers.front(), 5);
    EXPECT_TRUE(window.StopTimer(5));
    EXPECT_FALSE(window.StopTimer(5));
    const size_t count = window.timers.size();
    for (int i = 0; i < 20; ++i) platform::ProcessEvents();
    EXPECT_EQ(window.timers.size(), count);
}

TEST_F(WindowTest, ModalLoopEndsWithTheResultGiven) {
    RecordingWindow dialog(platform::WindowKind::Dialog);
    dialog.endOnTimer = 42;
    dialog.StartTimer(1, 1);
    EXPECT_EQ(dialog.RunModal(), 42);
    EXPECT_FALSE(dialog.IsVisible());
    EXPECT_FALSE(dialog.IsInModalLoop());
}

TEST_F(WindowTest, DialogKeysAndCloseBoxBecomeCommands) {
    RecordingWindow dialog(platform::WindowKind::Dialog);
    dialog.AddControl<platform::PushButton>(99, "End");
    gbxtest::WhenModalAppears([](QWidget* modal) {
        gbxtest::PressKey(modal, Qt::Key_Escape);
        modal->setFocus();
        gbxtest::PressKey(modal, Qt::Key_Return);
        modal->close();
        modal->findChild<QPushButton*>()->click();
    });
    EXPECT_EQ(dialog.RunModal(), 7);
    EXPECT_EQ(dialog.commands,
              (std::vector<int>{platform::kCommandCancel, platform::kCommandOk, platform::kCommandCancel, 99}));
    ASSERT_FALSE(dialog.keys.empty());
    EXPECT_EQ(dialog.keys.front().code, platform::kKeyEscape);
}

TEST_F(WindowTest, EnterPressesAFocusedPushButtonButMeansOkOnACheckBox) {
    RecordingWindow dialog(platform::WindowKind::Dialog);
    auto& box = dialog.AddControl<platform::PushButton>(30, "Box", platform::ButtonStyle::CheckBox);
    auto& push = dialog.AddControl<platform::PushButton>(31, "Push");
    auto& pushLike = dialog.AddControl<platform::PushButton>(32, "Toggle", platform::ButtonStyle::PushLike);
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        for (platform::PushButton* button : {&box, &push, &pushLike}) {
            button->SetFocus();
            gbxtest::PumpUntil([&] { return button->HasFocus(); });
            gbxtest::PressKey(modal, Qt::Key_Return);
        }
        dialog.EndModal(0);
    });
    dialog.RunModal();
    EXPECT_EQ(dialog.commands, (std::vector<int>{platform::kCommandOk, 31, platform::kCommandOk}));
    EXPECT_FALSE(box.IsChecked());
    EXPECT_FALSE(pushLike.IsChecked());
}

TEST_F(WindowTest, DisablingAnOwnerLeavesItsDialogsEnabled) {
    RecordingWindow owner;
    owner.Show();
    RecordingWindow dialog(platform::WindowKind::Dialog, &owner);
    owner.Enable(false);
    EXPECT_FALSE(owner.IsEnabled());
    EXPECT_TRUE(dialog.IsEnabled());
    RecordingWindow later(platform::WindowKind::Dialog, &owner);
    EXPECT_TRUE(later.IsEnabled());
    owner.Enable(true);
    EXPECT_TRUE(owner.IsEnabled());
}

// Two buttons side by side in `holder`, with `frame`, its top-level window, shown and active.
std::pair<platform::PushButton*, platform::PushButton*> ShowWithTwoButtons(platform::Window& frame,
                                                                           platform::Window& holder) {
    auto& first = holder.AddControl<platform::PushButton>(1, "First");
    auto& second = holder.AddControl<platform::PushButton>(2, "Second");
    first.SetRect(platform::Rect{10, 10, 90, 40});
    second.SetRect(platform::Rect{100, 10, 180, 40});
    frame.Show();
    frame.Activate();
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return frame.IsActive(); }));
    return {&first, &second};
}

// Only controls take the keyboard: the windows that hold them (a top-level window and a scrolled form
// inside it) are no Tab stop and take nothing from a click on their background.
TEST_F(WindowTest, OnlyControlsTakeTheKeyboard) {
    RecordingWindow frame;
    frame.SetClientSize(platform::Size{300, 200});
    RecordingWindow form(platform::WindowKind::Child, &frame);
    form.SetGeometry(platform::Rect{0, 0, 300, 200});
    form.SetScrollSize(platform::Size{600, 400});
    auto [firstButton, secondButton] = ShowWithTwoButtons(frame, form);
    platform::PushButton& first = *firstButton;
    platform::PushButton& second = *secondButton;
    first.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return first.HasFocus(); }));
    std::vector<QWidget*> stops;
    for (int i = 0; i < 4; ++i) {
        gbxtest::PressKey(frame.Widget(), Qt::Key_Tab);
        stops.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(stops, (std::vector<QWidget*>{second.Widget(), first.Widget(), second.Widget(), first.Widget()}));
    ASSERT_TRUE(gbxtest::ClickInWindow(form.Widget(), QPoint(250, 150)));
    EXPECT_TRUE(first.HasFocus()) << "a click on the form's background leaves the keyboard where it was";
    EXPECT_FALSE(frame.HasFocus());
    EXPECT_FALSE(form.HasFocus());
}

// A window disabled while a modal window runs (a progress dialog) gives the keyboard back to the
// control that held it, not to its first control.
TEST_F(WindowTest, EnablingAWindowAgainGivesTheKeyboardBackToItsControl) {
    RecordingWindow frame;
    frame.SetClientSize(platform::Size{300, 200});
    const auto buttons = ShowWithTwoButtons(frame, frame);
    buttons.second->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return buttons.second->HasFocus(); }));
    frame.Enable(false);
    gbxtest::PumpFor(50);
    frame.Enable(true);
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return buttons.second->HasFocus(); }));
    EXPECT_FALSE(buttons.first->HasFocus());

    // A control disabled meanwhile is not given it.
    frame.Enable(false);
    buttons.second->Enable(false);
    frame.Enable(true);
    gbxtest::PumpFor(50);
    EXPECT_FALSE(buttons.second->HasFocus());
}

TEST_F(WindowTest, PaintsThroughItsHandler) {
    RecordingWindow window;
    window.SetClientSize(platform::Size{40, 30});
    window.Show();
    window.Invalidate();
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return window.paints > 0; }));
    EXPECT_EQ(window.ClientSize(), (platform::Size{40, 30}));
}

TEST_F(WindowTest, TemplatesMakeControlsInDialogUnits) {
    platform::DialogTemplate layout;
    layout.title = "Layout";
    layout.units = platform::Size{100, 50};
    layout.items = {
        {10, platform::kClassStatic, "Text", platform::Rect{4, 4, 96, 12},
         platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
        {11, platform::kClassProgress, "", platform::Rect{4, 16, 96, 24}, platform::kWsChild | platform::kWsVisible},
        {12, platform::kClassButton, "OK", platform::Rect{60, 30, 96, 44},
         platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kBsDefPushButton}};
    platform::RegisterDialogTemplate(-77, layout);
    const platform::DialogTemplate* found = platform::FindDialogTemplate(-77);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(platform::FindDialogTemplate(-78), nullptr);
    RecordingWindow dialog(platform::WindowKind::Dialog);
    dialog.BuildFromTemplate(*found);
    EXPECT_EQ(dialog.Title(), "Layout");
    ASSERT_NE(dialog.FindControl(10), nullptr);
    EXPECT_EQ(dialog.FindControl(10)->Text(), "Text");
    EXPECT_EQ(dialog.FindControl(13), nullptr);
    auto* bar = dynamic_cast<platform::ProgressBar*>(dialog.FindControl(11));
    ASSERT_NE(bar, nullptr);
    bar->SetRange(50);
    bar->SetPosition(20);
    EXPECT_EQ(bar->Range(), 50);
    EXPECT_EQ(bar->Position(), 20);
    const platform::Rect client = dialog.DialogUnitsToPixels(platform::Rect{0, 0, 100, 50});
    EXPECT_EQ(dialog.ClientSize(), (platform::Size{client.Width(), client.Height()}));
    const platform::Rect button = dialog.FindControl(12)->GetRect();
    EXPECT_EQ(button, dialog.DialogUnitsToPixels(platform::Rect{60, 30, 96, 44}));
    EXPECT_GT(client.Width(), 100) << "a dialog unit is a quarter of a character";
}

TEST_F(WindowTest, MainWindowIsRaisedAndRestored) {
    RecordingWindow main;
    platform::SetMainWindow(&main);
    main.Show();
    main.Widget()->showMinimized();
    platform::RaiseMainWindow();
    EXPECT_FALSE(main.IsMinimised());
    EXPECT_TRUE(main.IsVisible());
    EXPECT_EQ(platform::VisibleTopLevelWindows(), (std::vector<platform::Window*>{&main}));
}

TEST_F(WindowTest, DestroyingTheMainWindowForgetsIt) {
    {
        RecordingWindow main;
        platform::SetMainWindow(&main);
        EXPECT_EQ(platform::MainWindow(), &main);
    }
    EXPECT_EQ(platform::MainWindow(), nullptr);
}

}  // namespace
