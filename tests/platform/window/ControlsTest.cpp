// Controls of the window layer: notifications, hooks that take input and painting first, edits, drop-down
// lists, windows destroyed from inside their own handlers, the mouse watcher, placement and drops.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/DrawContext.h"
#include "platform/window/MouseWatcher.h"
#include "platform/window/Slider.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QUrl>
#include <QWindow>

#include <functional>
#include <memory>
#include <vector>

namespace {

using platform::Rect;

class NotifyWindow : public platform::Window {
public:
    using platform::Window::Window;
    std::vector<std::pair<int, int>> notes;
    std::vector<int> commands;
    std::vector<int> keys;
    std::vector<std::vector<std::string>> drops;
    std::function<void(int, int)> onNotify;
    std::function<bool(const platform::KeyInput&)> onKey;

protected:
    void OnControlNotify(int id, int code) override {
        notes.emplace_back(id, code);
        if (onNotify) onNotify(id, code);
        platform::Window::OnControlNotify(id, code);
    }
    void OnCommand(int id) override { commands.push_back(id); }
    bool OnKey(const platform::KeyInput& key) override {
        if (key.action == platform::KeyAction::Down) keys.push_back(key.code);
        return onKey ? onKey(key) : false;
    }
    void OnDropFiles(const std::vector<std::string>& paths) override { drops.push_back(paths); }
};

bool Noted(const NotifyWindow& w, int id, int code) {
    for (const auto& n : w.notes)
        if (n.first == id && n.second == code) return true;
    return false;
}

void ClickAt(QWidget* widget, QPoint local, Qt::MouseButton button = Qt::LeftButton) {
    ASSERT_TRUE(gbxtest::ClickInWindow(widget, local, button));
}

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        dialog.SetClientSize(platform::Size{300, 200});
    }
    NotifyWindow dialog{platform::WindowKind::Dialog};
};

class RecordingHooks : public platform::ControlHooks {
public:
    std::vector<int> keys;
    std::vector<int> notes;
    int paints = 0;
    int destroyed = 0;
    bool claimKeys = true;
    bool keepNotes = false;
    platform::Colour fill{200, 30, 40};
    bool OnControlKey(platform::Control&, const platform::KeyInput& key) override {
        if (key.action == platform::KeyAction::Down) keys.push_back(key.code);
        return claimKeys;
    }
    bool OnControlNotify(platform::Control&, int code) override {
        notes.push_back(code);
        return keepNotes;
    }
    bool OnControlPaint(platform::Control& c, platform::DrawContext& dc, const platform::ItemState&) override {
        ++paints;
        dc.FillRect(Rect{0, 0, c.GetRect().Width(), c.GetRect().Height()}, fill);
        return true;
    }
    void OnControlDestroyed(platform::Control&) override { ++destroyed; }
};

TEST_F(ControlsTest, AClickNotifiesTheHooksThenTheParentWhichMakesItACommand) {
    auto& button = dialog.AddControl<platform::PushButton>(40, "Go");
    RecordingHooks hooks;
    button.SetHooks(&hooks);
    button.Click();
    EXPECT_EQ(hooks.notes, (std::vector<int>{platform::kNotifyClicked}));
    EXPECT_TRUE(Noted(dialog, 40, platform::kNotifyClicked));
    EXPECT_EQ(dialog.commands, (std::vector<int>{40}));
    hooks.keepNotes = true;
    button.Click();
    EXPECT_EQ(dialog.commands.size(), 1u) << "notes the hooks keep never reach the parent";
    button.SetHooks(nullptr);
}

TEST_F(ControlsTest, HooksSeeKeysBeforeTheDialogTurnsEnterIntoOk) {
    auto& edit = dialog.AddControl<platform::Edit>(41, "abc");
    RecordingHooks hooks;
    edit.SetHooks(&hooks);
    dialog.Show();
    edit.SetFocus();
    gbxtest::PressKey(dialog.Widget(), Qt::Key_Return);
    gbxtest::PressKey(dialog.Widget(), Qt::Key_Up);
    EXPECT_EQ(hooks.keys, (std::vector<int>{platform::kKeyEnter, platform::kKeyUp}));
    EXPECT_TRUE(dialog.commands.empty()) << "a claimed Enter is no OK";
    hooks.claimKeys = false;
    gbxtest::PressKey(dialog.Widget(), Qt::Key_Return);
    EXPECT_EQ(dialog.commands, (std::vector<int>{platform::kCommandOk}));
    edit.SetHooks(nullptr);
}

TEST_F(ControlsTest, OwnerDrawnControlsArePaintedByTheirHooks) {
    auto& label = dialog.AddControl<platform::Label>(42, "text");
    label.SetRect(Rect{10, 10, 60, 40});
    RecordingHooks hooks;
    label.SetHooks(&hooks);
    dialog.Show();
    const QImage shot = dialog.Widget()->grab().toImage();
    EXPECT_GT(hooks.paints, 0);
    EXPECT_EQ(QColor(shot.pixel(30, 25)), QColor(200, 30, 40));
    EXPECT_NE(QColor(shot.pixel(80, 25)), QColor(200, 30, 40));
    label.SetHooks(nullptr);
}

TEST_F(ControlsTest, EditTextChangesNotifyAndSelectionsEndAtTheCaret) {
    auto& edit = dialog.AddControl<platform::Edit>(43, "", platform::kEsRight);
    EXPECT_EQ(edit.Alignment(), platform::TextAlignment::Right);
    edit.SetText("123.45");
    EXPECT_TRUE(Noted(dialog, 43, platform::kNotifyTextUpdated));
    EXPECT_TRUE(Noted(dialog, 43, platform::kNotifyTextChanged));
    struct Case {
        int start, end, wantStart, wantEnd, caret;
    };
    for (const Case& c : std::vector<Case>{{0, -1, 0, 6, 6}, {2, 4, 2, 4, 4}, {1, 99, 1, 6, 6}}) {
        edit.SetSelection(c.start, c.end);
        int start = -9, end = -9;
        edit.GetSelection(start, end);
        EXPECT_EQ(start, c.wantStart);
        EXPECT_EQ(end, c.wantEnd);
        EXPECT_EQ(edit.CaretIndex(), c.caret);
    }
    edit.SetSelection(0, -1);
    EXPECT_TRUE(edit.IsAllSelected());
    edit.SetCaretIndex(3);
    int start = 0, end = 0;
    edit.GetSelection(start, end);
    EXPECT_EQ(start, 3);
    EXPECT_EQ(end, 3);
    edit.SetMargins(2, 20);
    EXPECT_EQ(edit.RightMargin(), 20);
    EXPECT_LE(edit.FormattingRect().right, edit.GetRect().Width() - 20);
}

// A paste into a one-line edit, as Ctrl+V brings it: the edit's text and selection before it, the
// clipboard, and what the edit holds after it.
struct PasteCase {
    const char* name;
    const char* before;
    int selectionStart, selectionEnd;
    const char* clipboard;
    const char* after;
    int caret;
};

class EditPasteTest : public ControlsTest, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(EditPasteTest, TakesThePasteUpToItsFirstLineBreakAndNoControlCharacter) {
    const PasteCase& c = GetParam();
    auto& edit = dialog.AddControl<platform::Edit>(45, c.before);
    dialog.Show();
    edit.SetFocus();
    edit.SetSelection(c.selectionStart, c.selectionEnd);
    QApplication::clipboard()->setText(QString::fromUtf8(c.clipboard));
    gbxtest::PressKey(edit.Widget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit.Text(), c.after);
    EXPECT_EQ(edit.CaretIndex(), c.caret);
}

INSTANTIATE_TEST_SUITE_P(
    Pastes, EditPasteTest,
    ::testing::Values(PasteCase{"TwoLines", "", 0, 0, "line1\nline2", "line1", 5},
                      PasteCase{"WindowsLineEnds", "", 0, 0, "line1\r\nline2\r\n", "line1", 5},
                      PasteCase{"IntoTheMiddle", "ab", 1, 1, "b\nb", "abb", 2},
                      PasteCase{"OverASelection", "aXYZb", 1, 4, "X\nY", "aXb", 2},
                      PasteCase{"OtherControlsDropped", "", 0, 0,
                                "a\tb\x01"
                                "c",
                                "abc", 3},
                      PasteCase{"ALeadingLineBreakPastesNothing", "name", 4, 4, "\nmore", "name", 4},
                      PasteCase{"PlainTextUnchanged", "x", 1, 1, "Qz7 \xC3\xA9", "xQz7 \xC3\xA9", 6},
                      PasteCase{"OldMacLineEnds", "", 0, 0, "line1\rline2", "line1", 5},
                      PasteCase{"NextLine", "", 0, 0, "line1\xC2\x85line2", "line1", 5},
                      PasteCase{"LineSeparator", "", 0, 0, "line1\xE2\x80\xA8line2", "line1", 5},
                      PasteCase{"ParagraphSeparator", "ab", 1, 1, "x\xE2\x80\xA9y", "axb", 2},
                      PasteCase{"DeleteDropped", "", 0, 0,
                                "a\x7F"
                                "b",
                                "ab", 2},
                      PasteCase{"C1ControlsDropped", "", 0, 0,
                                "a\xC2\x80"
                                "b\xC2\x9B"
                                "c\xC2\x9F",
                                "abc", 3},
                      PasteCase{"FirstBreakOfAnyKindCuts", "", 0, 0,
                                "a\x7F\xC2\x9F"
                                "b\xE2\x80\xA8"
                                "c\nd",
                                "ab", 2},
                      PasteCase{"PrintableNeighboursKept", "", 0, 0, "~\xC2\xA0\xE2\x80\xA7", "~\xC2\xA0\xE2\x80\xA7",
                                3}),
    [](const ::testing::TestParamInfo<PasteCase>& info) { return std::string(info.param.name); });

TEST_F(ControlsTest, TextsTheProgramSetsAreKeptAsTheyAre) {
    auto& edit = dialog.AddControl<platform::Edit>(46);
    for (const char* text : {"a\tb",
                             "a\xE2\x80\xA8"
                             "b\x7F"
                             "c\xC2\x85"
                             "d\xC2\x9F"}) {
        edit.SetText(text);
        EXPECT_EQ(edit.Text(), text);
    }
}

// A text dragged onto a one-line edit is taken as a paste is.
TEST_F(ControlsTest, ADropIsCutAtItsFirstBreakWithoutControlCharacters) {
    auto& edit = dialog.AddControl<platform::Edit>(47, "ab");
    dialog.Show();
    edit.SetFocus();
    edit.SetSelection(1, 1);
    QMimeData data;
    data.setText(QString::fromUtf8("x\xC2\x9By\xE2\x80\xA9z"));
    QWidget* widget = edit.Widget();
    const QPointF at(widget->width() - 2, widget->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &drop);
    EXPECT_EQ(edit.Text(), "abxy");
}

TEST_F(ControlsTest, ComboBoxesNotifyChoicesByTheUserOnly) {
    auto& combo = dialog.AddControl<platform::ComboBox>(44);
    combo.SetItems({"Off", "On"});
    EXPECT_EQ(combo.Selection(), -1);
    combo.SetSelection(1);
    EXPECT_EQ(combo.Text(), "On");
    EXPECT_FALSE(Noted(dialog, 44, platform::kNotifySelectionChanged)) << "setting is no choice";
    auto* qt = qobject_cast<QComboBox*>(combo.Widget());
    qt->setCurrentIndex(0);  // as the user's pick does
    EXPECT_TRUE(Noted(dialog, 44, platform::kNotifySelectionChanged));
    dialog.Show();
    combo.ShowDropDown(true);
    EXPECT_TRUE(Noted(dialog, 44, platform::kNotifyDroppedDown));
    EXPECT_TRUE(combo.IsDroppedDown());
    combo.ShowDropDown(false);
    EXPECT_TRUE(Noted(dialog, 44, platform::kNotifyClosedUp));
    EXPECT_EQ(combo.FindExact("On"), 1);
    EXPECT_EQ(combo.FindExact("on"), -1);
    EXPECT_EQ(combo.ItemText(5), "");
}

TEST_F(ControlsTest, TemplatesMakeControlsByClassAndStyle) {
    platform::DialogTemplate t;
    t.units = platform::Size{100, 60};
    t.items = {
        {1, platform::kClassEdit, "e", Rect{2, 2, 40, 12},
         platform::kWsChild | platform::kWsVisible | platform::kEsReadOnly},
        {2, platform::kClassButton, "c", Rect{2, 14, 40, 24},
         platform::kWsChild | platform::kWsVisible | platform::kBsAutoCheckBox},
        {3, platform::kClassButton, "p", Rect{2, 26, 40, 36},
         platform::kWsChild | platform::kWsVisible | platform::kBsOwnerDraw | platform::kWsDisabled},
        {4, platform::kClassComboBox, "", Rect{50, 2, 90, 40},
         platform::kWsChild | platform::kWsVisible | platform::kCbsDropDownList},
        {5, platform::kClassTrackBar, "", Rect{50, 40, 60, 58},
         platform::kWsChild | platform::kWsVisible | platform::kTbsVert},
        {6, platform::kClassStatic, "hidden", Rect{2, 40, 40, 50}, platform::kWsChild},
        {7, "NoSuchClass", "", Rect{2, 50, 40, 58}, platform::kWsChild | platform::kWsVisible},
    };
    NotifyWindow w(platform::WindowKind::Dialog);
    w.BuildFromTemplate(t);
    auto* edit = dynamic_cast<platform::Edit*>(w.FindControl(1));
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->IsReadOnly());
    auto* check = dynamic_cast<platform::PushButton*>(w.FindControl(2));
    ASSERT_NE(check, nullptr);
    EXPECT_EQ(check->Style(), platform::ButtonStyle::CheckBox);
    check->Click();
    EXPECT_TRUE(check->IsChecked());
    auto* picture = dynamic_cast<platform::PushButton*>(w.FindControl(3));
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Style(), platform::ButtonStyle::OwnerDrawn);
    EXPECT_FALSE(picture->IsEnabled());
    EXPECT_NE(dynamic_cast<platform::ComboBox*>(w.FindControl(4)), nullptr);
    auto* slider = dynamic_cast<platform::Slider*>(w.FindControl(5));
    ASSERT_NE(slider, nullptr);
    EXPECT_TRUE(slider->IsVertical());
    EXPECT_FALSE(w.FindControl(6)->IsVisible());
    EXPECT_EQ(w.FindControl(7), nullptr) << "an unknown class makes nothing";
    EXPECT_EQ(w.MinimumClientSize(), w.ClientSize()) << "a template without a thick frame fixes the size";
}

TEST_F(ControlsTest, AWindowDestroyedInsideItsOwnKeyHandlerGoesLater) {
    auto popup = std::make_unique<NotifyWindow>(platform::WindowKind::Child, &dialog);
    auto& edit = popup->AddControl<platform::Edit>(45, "x");
    struct EndOnEnter : platform::ControlHooks {
        std::unique_ptr<NotifyWindow>* owner;
        bool OnControlKey(platform::Control&, const platform::KeyInput& key) override {
            if (key.code != platform::kKeyEnter) return false;
            owner->reset();  // the popup goes from inside its own handler
            return true;
        }
    } hooks;
    hooks.owner = &popup;
    edit.SetHooks(&hooks);
    dialog.Show();
    popup->Show();
    edit.SetFocus();
    QPointer<QWidget> widget = edit.Widget();
    gbxtest::PressKey(dialog.Widget(), Qt::Key_Return);
    EXPECT_EQ(popup, nullptr);
    ASSERT_FALSE(widget.isNull()) << "still on the stack of its own event: not deleted at once";
    EXPECT_FALSE(widget->isVisible());
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return widget.isNull(); }));
}

TEST_F(ControlsTest, DestroyingAControlTellsItsHooks) {
    auto& edit = dialog.AddControl<platform::Edit>(46, "x");
    RecordingHooks hooks;
    edit.SetHooks(&hooks);
    dialog.DestroyControl(edit);
    EXPECT_EQ(hooks.destroyed, 1);
    EXPECT_EQ(dialog.FindControl(46), nullptr);
}

TEST_F(ControlsTest, MouseHooksAreAskedNewestFirstAndMaySwallow) {
    auto& button = dialog.AddControl<platform::PushButton>(47, "B");
    button.SetRect(Rect{10, 10, 90, 40});
    dialog.Show();
    platform::ProcessEvents();
    std::vector<std::string> calls;
    bool swallow = false;
    auto older = std::make_unique<platform::MouseHook>([&](const platform::WatchedMouse& m) {
        if (m.action == platform::MouseAction::ButtonDown) calls.push_back("older");
        return false;
    });
    std::unique_ptr<platform::MouseHook> newer;
    newer = std::make_unique<platform::MouseHook>([&](const platform::WatchedMouse& m) {
        if (m.action != platform::MouseAction::ButtonDown) return false;
        calls.push_back(m.IsWithin(button) ? "newer-in" : "newer-out");
        return swallow;
    });
    ClickAt(button.Widget(), QPoint(5, 5));
    EXPECT_EQ(calls, (std::vector<std::string>{"newer-in", "older"}));
    EXPECT_EQ(dialog.commands, (std::vector<int>{47}));
    calls.clear();
    swallow = true;
    ClickAt(button.Widget(), QPoint(5, 5));
    EXPECT_EQ(calls, (std::vector<std::string>{"newer-in"}));
    EXPECT_EQ(dialog.commands.size(), 1u) << "a swallowed press never reaches the button";
    calls.clear();
    ClickAt(dialog.Widget(), QPoint(200, 150));
    EXPECT_EQ(calls, (std::vector<std::string>{"newer-out"}));
}

TEST_F(ControlsTest, AHookThatRemovesAnotherDuringTheRoundIsSafe) {
    dialog.Show();
    platform::ProcessEvents();
    int olderCalls = 0;
    auto older = std::make_unique<platform::MouseHook>([&](const platform::WatchedMouse&) {
        ++olderCalls;
        return false;
    });
    std::unique_ptr<platform::MouseHook> newer;
    newer = std::make_unique<platform::MouseHook>([&](const platform::WatchedMouse& m) {
        if (m.action == platform::MouseAction::ButtonDown) {
            older.reset();
            newer.reset();  // itself too
        }
        return false;
    });
    ClickAt(dialog.Widget(), QPoint(20, 20));
    EXPECT_EQ(olderCalls, 0) << "a hook removed during the round is not asked";
    EXPECT_EQ(newer, nullptr);
}

TEST_F(ControlsTest, AComboBoxsOpenListCountsAsInsideIt) {
    auto& combo = dialog.AddControl<platform::ComboBox>(48);
    combo.SetItems({"a", "b", "c"});
    combo.SetRect(Rect{10, 10, 120, 35});
    dialog.Show();
    platform::ProcessEvents();
    bool within = false;
    int seen = 0;
    platform::MouseHook hook([&](const platform::WatchedMouse& m) {
        if (m.action == platform::MouseAction::ButtonDown) {
            ++seen;
            within = m.IsWithin(combo) && m.IsWithin(dialog);
        }
        return false;
    });
    combo.ShowDropDown(true);
    ASSERT_TRUE(combo.IsDroppedDown());
    QAbstractItemView* list = qobject_cast<QComboBox*>(combo.Widget())->view();
    ClickAt(list->viewport(), QPoint(5, 5));
    EXPECT_EQ(seen, 1);
    EXPECT_TRUE(within);
    combo.ShowDropDown(false);
}

TEST_F(ControlsTest, PlacementRoundTripsAndAMaximisedWindowKeepsItsNormalPlacement) {
    NotifyWindow frame;
    frame.SetPlacementRect(Rect{40, 30, 440, 330});
    frame.Show();
    platform::ProcessEvents();
    EXPECT_EQ(frame.PlacementRect(), (Rect{40, 30, 440, 330}));
    frame.Maximise();
    platform::ProcessEvents();
    ASSERT_TRUE(frame.IsMaximised());
    EXPECT_EQ(frame.NormalPlacementRect(), (Rect{40, 30, 440, 330}));
    frame.SetNormalPlacementRect(Rect{50, 60, 350, 260});
    EXPECT_EQ(frame.NormalPlacementRect(), (Rect{50, 60, 350, 260}));
    frame.Restore();
    platform::ProcessEvents();
    EXPECT_FALSE(frame.IsMaximised());
    EXPECT_EQ(frame.PlacementRect(), (Rect{50, 60, 350, 260})) << "taken on restoring";
}

TEST_F(ControlsTest, PostedKeysAndDroppedFilesReachTheirHandlers) {
    dialog.Show();
    dialog.PostKeyDown(platform::kKeyEscape);
    EXPECT_TRUE(dialog.keys.empty()) << "posted, not sent";
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return !dialog.keys.empty(); }));
    EXPECT_EQ(dialog.keys.front(), platform::kKeyEscape);

    dialog.AcceptDroppedFiles(true);
    QMimeData data;
    data.setUrls(
        {QUrl::fromLocalFile("/tmp/a song.wav"), QUrl("https://example.invalid/x"), QUrl::fromLocalFile("/tmp/b.mp3")});
    // As the desktop delivers a drop: entering the window, then dropping on it.
    QWindow* window = dialog.Widget()->windowHandle();
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    ASSERT_EQ(dialog.drops.size(), 1u);
    EXPECT_EQ(dialog.drops[0], (std::vector<std::string>{"/tmp/a song.wav", "/tmp/b.mp3"}));
}

TEST_F(ControlsTest, ChildWindowsHearTheirTopLevelLoseActivation) {
    struct ActivationWindow : platform::Window {
        using platform::Window::Window;
        std::vector<bool> changes;
        void OnActivate(bool active) override { changes.push_back(active); }
    };
    NotifyWindow other;
    ActivationWindow child(platform::WindowKind::Child, &dialog);
    child.Show();
    dialog.Show();
    dialog.Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return dialog.IsActive(); }));
    other.Show();
    other.Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return other.IsActive(); }));
    ASSERT_FALSE(child.changes.empty());
    EXPECT_FALSE(child.changes.back());
}

}  // namespace
