// Popups over a table cell: how they end (Enter, Esc, clicks outside, lost activation), once only and
// safely from inside their own listeners, in place and in a loop of their own; the hook manager; sizing.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/Input.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"
#include "ui/Popup.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using platform::Rect;

class PopupListener : public UL::IPopupEventListener {
public:
    std::vector<std::string> ends;
    std::function<void()> then;
    void OnPopupClosed(const UL::CPopupEvent&) override {
        ends.push_back("closed");
        if (then) then();
    }
    void OnPopupCancelled(const UL::CPopupEvent&) override {
        ends.push_back("cancelled");
        if (then) then();
    }
};

// A table stand-in: a control that counts the presses that reach it.
class PressCounter : public platform::ControlHooks {
public:
    int presses = 0;
    bool OnControlMouse(platform::Control&, const platform::MouseInput& input) override {
        if (input.action == platform::MouseAction::ButtonDown) ++presses;
        return false;
    }
};

class PopupTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        dialog.SetClientSize(platform::Size{400, 300});
        table = &dialog.AddControl<platform::Label>(4311, "");
        table->SetRect(Rect{10, 10, 390, 250});
        table->SetHooks(&tableHooks);
        dialog.Show();
        dialog.Activate();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return dialog.IsActive(); }));
    }
    void TearDown() override { table->SetHooks(nullptr); }
    void Press(int key) { gbxtest::PressKey(dialog.Widget(), key); }

    platform::Window dialog{platform::WindowKind::Dialog};
    platform::Control* table = nullptr;
    PressCounter tableHooks;
    PopupListener listener;
    const Rect cell{40, 60, 140, 78};
};

TEST_F(PopupTest, EnterCommitsAndTheListenerMayDestroyThePopupRightThere) {
    UL::CPopupEdit popup;
    popup.AddPopupListener(&listener);
    ASSERT_TRUE(popup.CreateInPlace(cell, *table, "name", 0, -1, std::nullopt, 0));
    EXPECT_TRUE(UL::CMouseHookManager::GetInstance().IsRegistered(&popup));
    QPointer<QWidget> widget = popup.GetPopupWindow()->Widget();
    EXPECT_EQ(qobject_cast<QLineEdit*>(popup.GetControl()->Widget())->selectedText().toStdString(), "name");
    popup.GetControl()->SetFocus();
    listener.then = [&] { popup.DestroyWindow(); };
    Press(Qt::Key_Return);
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"closed"}));
    EXPECT_EQ(popup.GetPopupWindow(), nullptr);
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsRegistered(&popup));
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return widget.isNull(); })) << "deleted once the loop runs";
    EXPECT_TRUE(dialog.IsVisible()) << "the dialog took no Enter";
}

TEST_F(PopupTest, EscCancelsAndAPopupEndsOnlyOnce) {
    UL::CPopupEdit popup;
    popup.AddPopupListener(&listener);
    ASSERT_TRUE(popup.CreateInPlace(cell, *table, "x", 0, -1, std::nullopt, 0));
    popup.GetControl()->SetFocus();
    Press(Qt::Key_Escape);
    Press(Qt::Key_Return);
    ASSERT_TRUE(gbxtest::ClickInWindow(table->Widget(), QPoint(300, 200)));
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"cancelled"}));
    EXPECT_TRUE(popup.HasEnded());
    EXPECT_EQ(tableHooks.presses, 1) << "an ended popup has left the hook: the click goes through";
}

TEST_F(PopupTest, ClicksOutsideCommitOrCancelAndAreSwallowed) {
    struct Case {
        Qt::MouseButton button;
        const char* end;
    };
    for (const Case& c : {Case{Qt::LeftButton, "closed"}, Case{Qt::RightButton, "cancelled"}}) {
        PopupListener local;
        UL::CPopupEdit popup;
        popup.AddPopupListener(&local);
        ASSERT_TRUE(popup.CreateInPlace(cell, *table, "x", 0, -1, std::nullopt, 0));
        platform::ProcessEvents();
        // A click inside the popup changes nothing.
        ASSERT_TRUE(gbxtest::ClickInWindow(popup.GetControl()->Widget(), QPoint(3, 3)));
        EXPECT_TRUE(local.ends.empty());
        const int before = tableHooks.presses;
        ASSERT_TRUE(gbxtest::ClickInWindow(table->Widget(), QPoint(300, 200), c.button));
        EXPECT_EQ(local.ends, (std::vector<std::string>{c.end}));
        EXPECT_EQ(tableHooks.presses, before) << "the table never sees the click that ended the popup";
    }
}

TEST_F(PopupTest, LosingActivationCancels) {
    UL::CPopupEdit popup;
    popup.AddPopupListener(&listener);
    ASSERT_TRUE(popup.CreateInPlace(cell, *table, "x", 0, -1, std::nullopt, 0));
    platform::Window other;
    other.Show();
    other.Activate();
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return !listener.ends.empty(); }));
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"cancelled"}));
}

TEST_F(PopupTest, AListenerMayDeleteThePopupFromInsideItsEnd) {
    auto popup = std::make_unique<UL::CPopupEdit>();
    PopupListener second;
    popup->AddPopupListener(&listener);
    popup->AddPopupListener(&second);
    ASSERT_TRUE(popup->CreateInPlace(cell, *table, "x", 0, -1, std::nullopt, 0));
    listener.then = [&] { popup.reset(); };
    ASSERT_TRUE(gbxtest::ClickInWindow(table->Widget(), QPoint(300, 200), Qt::RightButton));
    EXPECT_EQ(popup, nullptr);
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"cancelled"}));
    EXPECT_TRUE(second.ends.empty()) << "a deleted popup tells no one else";
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    for (int i = 0; i < 5; ++i) platform::ProcessEvents();
}

TEST_F(PopupTest, AClickIntoTheOpenListDoesNotEndTheDropDownPopup) {
    UL::CPopupComboBox popup;
    popup.AddPopupListener(&listener);
    popup.SetItems(std::vector<UL::CComboBoxA::CItem>{{0, "Off"}, {1, "On"}});
    ASSERT_TRUE(popup.CreateInPlace(cell, *table, 1, 0));
    EXPECT_EQ(popup.GetComboBox()->Text(), "On");
    popup.GetControl()->SetFocus();
    popup.GetComboBox()->ShowDropDown(true);
    ASSERT_TRUE(popup.GetComboBox()->IsDroppedDown());
    QAbstractItemView* list = qobject_cast<QComboBox*>(popup.GetControl()->Widget())->view();
    // While the list is open, keys are the list's: Esc closes the list only.
    gbxtest::PressKey(list, Qt::Key_Escape);
    EXPECT_TRUE(listener.ends.empty());
    EXPECT_FALSE(popup.GetComboBox()->IsDroppedDown());
    popup.GetComboBox()->ShowDropDown(true);
    ASSERT_TRUE(gbxtest::ClickInWindow(list->viewport(), QPoint(4, 4)));
    EXPECT_TRUE(listener.ends.empty()) << "the list counts as the popup";
    qobject_cast<QComboBox*>(popup.GetControl()->Widget())->setCurrentIndex(0);
    EXPECT_EQ(popup.GetSelectedId(), 0);
    popup.GetComboBox()->ShowDropDown(false);
    popup.GetControl()->SetFocus();
    Press(Qt::Key_Return);
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"closed"}));
}

TEST_F(PopupTest, TheModalFormAnswersCommitOrCancel) {
    const Rect screenCell{dialog.ClientScreenRect().left + 40, dialog.ClientScreenRect().top + 60,
                          dialog.ClientScreenRect().left + 200, dialog.ClientScreenRect().top + 80};
    struct Case {
        std::function<void(QWidget*)> act;
        bool committed;
    };
    const std::vector<Case> cases = {
        {[](QWidget* w) { gbxtest::PressKey(w, Qt::Key_Return); }, true},
        {[](QWidget* w) { gbxtest::PressKey(w, Qt::Key_Escape); }, false},
        {[&](QWidget*) { gbxtest::ClickInWindow(table->Widget(), QPoint(300, 200)); }, true},
        {[&](QWidget*) { gbxtest::ClickInWindow(table->Widget(), QPoint(300, 200), Qt::RightButton); }, false},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        UL::CPopupEdit popup;
        QTimer::singleShot(50, [&] {
            QWidget* form = popup.GetPopupWindow() != nullptr ? popup.GetPopupWindow()->Widget() : nullptr;
            ASSERT_NE(form, nullptr);
            QLineEdit* edit = form->findChild<QLineEdit*>();
            edit->setFocus();
            edit->setText("typed \xC3\xA9");
            cases[i].act(form);
        });
        std::string text;
        const bool committed = popup.Edit(screenCell, text, "start", 0, -1, nullptr);
        EXPECT_EQ(committed, cases[i].committed) << i;
        EXPECT_EQ(text, UL::Utf8ToAnsi("typed \xC3\xA9")) << "the text comes back whatever the outcome";
        EXPECT_TRUE(dialog.IsEnabled()) << "the owner is enabled again";
        EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    }
}

TEST_F(PopupTest, TypingWidensAnEditAndAnEmptyOneKeepsTheCell) {
    UL::CPopupEdit left;
    ASSERT_TRUE(left.CreateInPlace(cell, *table, "", 0, -1, std::nullopt, 0));
    EXPECT_EQ(left.GetPopupWindow()->Geometry().Width(), cell.Width());
    EXPECT_EQ(left.GetPopupWindow()->Geometry().left, cell.left);
    left.GetEdit()->SetText(std::string(80, 'W'));
    const Rect wide = left.GetPopupWindow()->Geometry();
    EXPECT_GT(wide.Width(), cell.Width());
    EXPECT_EQ(wide.left, cell.left) << "grows to the right";
    EXPECT_EQ(wide.top, cell.top);
    left.DestroyWindow();

    UL::CPopupSpinEdit right;
    right.Setup(UL::CSpinEdit::kKindInteger, 0, 0, -1e12, 1e12, 0, 0, nullptr);
    ASSERT_TRUE(right.CreateInPlace(cell, *table, 5, 0, -1, 0));
    EXPECT_EQ(right.GetPopupWindow()->Geometry().right, cell.right);
    right.SetWindowText("123456789012");
    const Rect spinWide = right.GetPopupWindow()->Geometry();
    EXPECT_GT(spinWide.Width(), cell.Width());
    EXPECT_EQ(spinWide.right, cell.right) << "a right-aligned spin edit grows to the left";
}

TEST_F(PopupTest, TheSpinPopupKeepsItsValueAndSelectionAndTakesItsKeys) {
    UL::CPopupSpinEdit popup;
    popup.AddPopupListener(&listener);
    popup.Setup(UL::CSpinEdit::kKindReal, 0, -2, 0, 10, 2, 0, nullptr);
    ASSERT_TRUE(popup.CreateInPlace(cell, *table, 1.005, 0, -1, 0));
    EXPECT_DOUBLE_EQ(popup.GetValue(), 1.005) << "showing the value does not change it";
    EXPECT_TRUE(popup.GetEdit()->IsAllSelected());
    popup.GetControl()->SetFocus();
    Press(Qt::Key_Up);  // one step of the digit position given, 0.01
    EXPECT_DOUBLE_EQ(popup.GetValue(), 1.015);
    EXPECT_EQ(popup.GetMode(), UL::CSpinEdit::kModeEditing) << "the key's release ended the spin";
    Press(Qt::Key_Return);
    EXPECT_EQ(listener.ends, (std::vector<std::string>{"closed"}));
}

struct FakeHandler : UL::IMouseHookHandler {
    bool answer = false;
    int calls = 0;
    std::function<void()> during;
    bool OnMouseHook(int, int, const platform::WatchedMouse*) override {
        ++calls;
        if (during) during();
        return answer;
    }
};

TEST(MouseHookManager, AsksInAddressOrderAndKeepsTheHookWhileAnyHandlerIsLeft) {
    UL::CMouseHookManager& manager = UL::CMouseHookManager::GetInstance();
    FakeHandler pair[2];  // pair[0] lies at the lower address
    pair[0].answer = pair[1].answer = true;
    manager.Register(&pair[1]);
    manager.Register(&pair[0]);
    EXPECT_TRUE(manager.IsHookInstalled());
    const platform::WatchedMouse mouse;
    EXPECT_TRUE(manager.HookProc(UL::kHookAction, UL::kMessageLeftButtonDown, mouse));
    EXPECT_EQ(pair[0].calls, 1);
    EXPECT_EQ(pair[1].calls, 0) << "the first in the set's order swallowed it";
    EXPECT_FALSE(manager.HookProc(-1, UL::kMessageLeftButtonDown, mouse)) << "negative codes are passed on";
    manager.SetEnabled(false);
    EXPECT_FALSE(manager.HookProc(UL::kHookAction, UL::kMessageLeftButtonDown, mouse));
    manager.SetEnabled(true);
    // A handler that takes another out of the round: the other is not asked.
    pair[0].answer = false;
    pair[0].during = [&] { manager.Unregister(&pair[1]); };
    EXPECT_FALSE(manager.HookProc(UL::kHookAction, UL::kMessageLeftButtonDown, mouse));
    EXPECT_EQ(pair[1].calls, 0);
    EXPECT_TRUE(manager.IsHookInstalled());
    manager.Unregister(&pair[0]);
    EXPECT_FALSE(manager.IsHookInstalled());
}

TEST(InputRecords, KeysAndMouseAsTheEditorsSeeThem) {
    platform::KeyInput pad5;
    pad5.code = platform::TranslateKey(Qt::Key_5, true);
    EXPECT_EQ(UL::CKeyInfo::FromInput(pad5).code, 286);  // the pad's 0 to 9 are 281 to 290
    platform::KeyInput a;
    a.code = platform::TranslateKey(Qt::Key_A, false);
    a.modifiers = platform::kModCtrl | platform::kModShift;
    a.action = platform::KeyAction::Up;
    const UL::CKeyInfo info = UL::CKeyInfo::FromInput(a);
    EXPECT_EQ(info.code, 65);
    EXPECT_EQ(info.kind, UL::CKeyInfo::kKeyUp);
    EXPECT_EQ(info.modifiers, 3);

    platform::MouseInput right;
    right.action = platform::MouseAction::DoubleClick;
    right.button = platform::MouseButton::Right;
    right.point = platform::Point{7, 9};
    right.modifiers = platform::kModRightButton | platform::kModAlt;
    const UL::CMouseInfo mouse = UL::CMouseInfo::FromInput(right);
    EXPECT_EQ(mouse.GetAction(), UL::CMouseInfo::kDoubleClick);
    EXPECT_EQ(mouse.GetModifiers(), 4 | 8);
    EXPECT_EQ(mouse.GetPoint().x, 7);
}

}  // namespace
