// The spin edit: values, texts, steps at the caret's digit, ranges, the slider's mapping, timing, and
// spinning by keys, by the button and by the slider in real (offscreen) windows.
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "platform/window/Slider.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/SpinEdit.h"

#include <gtest/gtest.h>

#include <QMouseEvent>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

using platform::Rect;
using UL::CSpinEdit;

CSpinEdit Integer(double minimum = -1e9, double maximum = 1e9, int digit = 0) {
    return CSpinEdit(CSpinEdit::kKindInteger, 0, digit, minimum, maximum, 0, 0, nullptr);
}

TEST(SpinEditValues, FormatAndParseByKind) {
    const std::vector<std::string> list = {"low", "mid", "high"};
    const CSpinEdit integer = Integer();
    const CSpinEdit hex(CSpinEdit::kKindInteger, 1, 0, 0, 1e6, 0, 0, nullptr);
    const CSpinEdit real(CSpinEdit::kKindReal, 0, -2, 0, 10, 2, 0, nullptr);
    const CSpinEdit texts(CSpinEdit::kKindList, 0, 0, 0, 2, 0, 0, &list);
    EXPECT_EQ(integer.FormatValue(123.5), "124");
    EXPECT_EQ(integer.FormatValue(-2.5), "-3");
    EXPECT_EQ(hex.FormatValue(255), "0xFF");
    EXPECT_EQ(real.FormatValue(1.5), "1.50");
    EXPECT_EQ(texts.FormatValue(1), "mid");
    EXPECT_EQ(texts.FormatValue(7), "high") << "clamped to the list";
    EXPECT_EQ(texts.FormatValue(-3), "low");
    EXPECT_EQ(CSpinEdit(7, 0, 0, 0, 1, 0, 0, nullptr).FormatValue(3), "") << "an unknown kind shows nothing";

    EXPECT_EQ(integer.ParseText("12.6"), 13);
    EXPECT_EQ(integer.ParseText("  -7x"), -7);
    EXPECT_EQ(integer.ParseText("nothing"), 0);
    EXPECT_EQ(integer.ParseText("5000000000"), 5000000000.0) << "typed text is not clamped";
    EXPECT_EQ(hex.ParseText("0x10"), 16);
    EXPECT_DOUBLE_EQ(real.ParseText("1.25"), 1.25);
    EXPECT_EQ(texts.ParseText("mi"), 1);
    EXPECT_EQ(texts.ParseText("HIGH"), 2);
}

TEST(SpinEditValues, StepsFollowTheDigitAtTheCaret) {
    struct Case {
        int caret;
        int position;
        int caretAfter;
    };
    // 123.45: after the 3 the units, after the 2 the tens, after the 4 the tenths; right after the point
    // the caret moves before it.
    for (const Case& c : std::vector<Case>{{3, 0, 3}, {2, 1, 2}, {1, 2, 1}, {5, -1, 5}, {6, -2, 6}, {4, 0, 3}}) {
        int caret = c.caret;
        EXPECT_EQ(CSpinEdit::DigitPositionOfCaret("123.45", caret, false), c.position) << c.caret;
        EXPECT_EQ(caret, c.caretAfter) << c.caret;
    }
    int caret = 0;
    EXPECT_EQ(CSpinEdit::DigitPositionOfCaret("42", caret, true), 2) << "before the first digit: a place further left";
    caret = 2;
    EXPECT_EQ(CSpinEdit::DigitPositionOfCaret("42  ", caret, true), 0) << "trailing blanks are no digits";
    caret = 4;
    EXPECT_EQ(CSpinEdit::DigitPositionOfCaret("42  ", caret, true), 0) << "no places after the units for integers";
    EXPECT_EQ(CSpinEdit::CaretIndexOfDigit("123.45", 0), 3);
    EXPECT_EQ(CSpinEdit::CaretIndexOfDigit("123.45", -2), 6);
    EXPECT_EQ(CSpinEdit::CaretIndexOfDigit("123.45", 9), 0);

    const CSpinEdit decimal(CSpinEdit::kKindReal, 0, -1, -1e9, 1e9, 2, 0, nullptr);
    EXPECT_DOUBLE_EQ(decimal.Step(123.45, true, false), 123.55);
    EXPECT_DOUBLE_EQ(decimal.Step(123.45, false, true), 122.45);
    const CSpinEdit hex(CSpinEdit::kKindInteger, 1, 1, 0, 1e9, 0, 0, nullptr);
    EXPECT_EQ(hex.Step(0x10, true, false), 0x20);
    EXPECT_EQ(hex.Step(0x10, true, true), 0x110);
}

TEST(SpinEditValues, RangesClampAndReversedOrEqualBoundsAreSafe) {
    const CSpinEdit integer = Integer(0.5, 10.5);
    EXPECT_EQ(integer.ClampValue(-4), 1) << "the smallest whole number in the range";
    EXPECT_EQ(integer.ClampValue(12), 10);
    EXPECT_EQ(integer.ClampValue(4.5), 5);
    const CSpinEdit reversed(CSpinEdit::kKindReal, 0, 0, 10, -10, 3, 0, nullptr);
    EXPECT_EQ(reversed.GetMinimum(), -10);
    EXPECT_EQ(reversed.GetMaximum(), 10);
    EXPECT_EQ(reversed.ClampValue(25), 10);
    EXPECT_EQ(reversed.ClampValue(-25), -10);
    const CSpinEdit equal(CSpinEdit::kKindReal, 0, 0, 3, 3, 3, 0, nullptr);
    EXPECT_EQ(equal.ClampValue(8), 3);
    const CSpinEdit noWhole = Integer(0.2, 0.8);
    EXPECT_EQ(noWhole.ClampValue(5), 1) << "a range without a whole number keeps its start";
}

TEST(SpinEditValues, TheSliderMapsTheRangeBothWays) {
    struct Case {
        double value;
        bool vertical;
        int position;
    };
    for (const Case& c : std::vector<Case>{{0, false, 0},
                                           {100, false, 32767},
                                           {50, false, 16384},
                                           {25, false, 8192},
                                           {0, true, 32767},
                                           {100, true, 0},
                                           {75, true, 8192},
                                           {-5, false, 0},
                                           {105, true, 0}}) {
        EXPECT_EQ(CSpinEdit::ValueToSliderPosition(c.value, 0, 100, c.vertical), c.position)
            << c.value << " " << c.vertical;
    }
    EXPECT_DOUBLE_EQ(CSpinEdit::SliderPositionToValue(32767, 0, 100, false), 100);
    EXPECT_DOUBLE_EQ(CSpinEdit::SliderPositionToValue(32767, 0, 100, true), 0);
    EXPECT_DOUBLE_EQ(CSpinEdit::SliderPositionToValue(0, -10, 10, true), 10);
    EXPECT_NEAR(CSpinEdit::SliderPositionToValue(16384, 0, 100, false), 50, 0.01);
    // An empty range: the thumb at its start and the value the minimum, never a division by zero.
    EXPECT_EQ(CSpinEdit::ValueToSliderPosition(7, 7, 7, false), 0);
    EXPECT_EQ(CSpinEdit::ValueToSliderPosition(7, 7, 7, true), 0);
    EXPECT_EQ(CSpinEdit::SliderPositionToValue(20000, 7, 7, true), 7);
    EXPECT_EQ(CSpinEdit::ValueToSliderPosition(5, 100, 0, false), 1638) << "bounds in either order";
}

TEST(SpinEditValues, StepsOfAColumnGiveDigitPositions) {
    struct Case {
        double step;
        int position;
        int precision;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (const Case& c : std::vector<Case>{{1, 0, 0},
                                           {0.01, -2, 2},
                                           {10, 1, 0},
                                           {0.25, -1, 1},
                                           {0, 0, 0},
                                           {-1, 0, 0},
                                           {nan, 0, 0},
                                           {inf, 0, 0},
                                           {1e300, CSpinEdit::kMaxDigitPosition, 0},
                                           {1e-300, -CSpinEdit::kMaxDigitPosition, CSpinEdit::kMaxDigitPosition}}) {
        const int position = UL::DigitPositionFromStep(c.step);
        EXPECT_EQ(position, c.position) << c.step;
        EXPECT_EQ(UL::PrecisionFromDigitPosition(position), c.precision) << c.step;
    }
    CSpinEdit spin = Integer();
    spin.SetDigitPosition(std::numeric_limits<int>::min());
    EXPECT_EQ(spin.GetDigitPosition(), -CSpinEdit::kMaxDigitPosition);
}

TEST(SpinEditTexts, ListTextsOrderAndDistance) {
    EXPECT_TRUE(UL::CompareValueText("9", "10"));
    EXPECT_FALSE(UL::CompareValueText("10", "9"));
    EXPECT_TRUE(UL::CompareValueText("9", "abc")) << "numbers before texts";
    EXPECT_FALSE(UL::CompareValueText("abc", "9"));
    EXPECT_FALSE(UL::CompareValueText("ABC", "abc"));
    EXPECT_FALSE(UL::CompareValueText("abc", "ABC"));
    EXPECT_TRUE(UL::CompareValueText("0x0A", "11"));
    EXPECT_EQ(UL::ValueTextDistance("10", "7"), 3);
    EXPECT_EQ(UL::ValueTextDistance("mid", "mi"), 1);
    EXPECT_EQ(UL::ValueTextDistance("low", "mi"), 2 + 7 + 1);
    EXPECT_EQ(UL::ValueTextDistance("ABC", "abc"), 0);
    const std::vector<std::string> list = {"low", "mid", "high"};
    struct Case {
        const char* text;
        int index;
    };
    for (const Case& c : std::vector<Case>{{"mi", 1}, {"a", 2}, {"zzz", 1}, {"LOW", 0}, {"lox", 0}}) {
        EXPECT_EQ(UL::FindNearestValue(c.text, list), c.index) << c.text;
    }
    const std::vector<std::string> numbers = {"100", "5", "20"};
    EXPECT_EQ(UL::FindNearestValue("12", numbers), 1) << "12 is nearer 5 than 20? no: 8 against 7";
    EXPECT_EQ(UL::FindNearestValue("13", numbers), 2);
    EXPECT_EQ(UL::FindNearestValue("x", {}), 0);
}

TEST(SpinEditTiming, FromTheKeyboardSettingsAndTheSpeedFile) {
    const UL::CSpinTiming usual = UL::ComputeSpinTiming(1, 31, 1);
    EXPECT_EQ(usual.initialDelayMs, 500);
    EXPECT_NEAR(usual.repeatIntervalMs, 33.33, 0.01);
    EXPECT_EQ(usual.RepeatMs(), 33);
    EXPECT_EQ(UL::ComputeSpinTiming(0, 0, 1).initialDelayMs, 250);
    EXPECT_EQ(UL::ComputeSpinTiming(3, 0, 1).initialDelayMs, 1000);
    EXPECT_EQ(UL::ComputeSpinTiming(3, 0, 1).RepeatMs(), 400);
    EXPECT_EQ(UL::ComputeSpinTiming(1, 31, 2).RepeatMs(), 16) << "a speed factor of 2 doubles the speed";
    EXPECT_EQ(UL::ComputeSpinTiming(1, 31, 1000).RepeatMs(), 10) << "never under 10 ms";

    gbxtest::TempDir dir;
    struct Case {
        const char* content;
        double factor;
    };
    for (const Case& c : std::vector<Case>{{"2\n", 2}, {"0.5\nrest", 0.5}, {"0", 1}, {"-3", 1}, {"fast", 1}, {"", 1}}) {
        gbxtest::WriteText(dir.File("SpinEdit.ini"), c.content);
        EXPECT_EQ(UL::ReadSpinSpeedFactor(dir.File("SpinEdit.ini")), c.factor) << c.content;
    }
    EXPECT_EQ(UL::ReadSpinSpeedFactor(dir.File("missing.ini")), 1);

    gbxtest::ScopedEnvironment config("XDG_CONFIG_HOME", dir.Path());
    EXPECT_EQ(UL::SpinSpeedFactorPath(), dir.Path() + "/Corvane/SpinEdit.ini");
    gbxtest::Run("mkdir -p " + gbxtest::Quote(dir.File("Corvane")));
    gbxtest::WriteText(dir.File("Corvane/SpinEdit.ini"), "2\n");
    UL::ResetSpinSpeedFactor();
    EXPECT_EQ(Integer().GetTiming().speedFactor, 2);
    gbxtest::WriteText(dir.File("Corvane/SpinEdit.ini"), "4\n");
    EXPECT_EQ(Integer().GetTiming().speedFactor, 2) << "read once per process";
    UL::ResetSpinSpeedFactor();
}

// A window that records the spin edit's notifications and may refuse its changes.
class SpinParent : public platform::Window {
public:
    SpinParent() : platform::Window(platform::WindowKind::Dialog) {}
    bool refuse = false;
    std::vector<int> codes;
    std::vector<double> deltas;

protected:
    long OnNotify(int, int code, void* data) override {
        if (code == CSpinEdit::kNotifyDeltaPos) deltas.push_back(static_cast<CSpinEdit::CDeltaPos*>(data)->delta);
        return refuse ? 1 : 0;
    }
    void OnControlNotify(int, int code) override {
        if (code == CSpinEdit::kNotifySpinStarted || code == CSpinEdit::kNotifySpinEnded) codes.push_back(code);
    }
};

class SpinListener : public UL::ISpinEditEventListener, public UL::IEditEventListener {
public:
    std::vector<std::string> events;
    void OnSpinStarted(const UL::CSpinEditEvent&) override { events.push_back("started"); }
    void OnSpinEnded(const UL::CSpinEditEvent&) override { events.push_back("ended"); }
    void OnEditChanged(const UL::CEditEvent&) override { events.push_back("changed"); }
};

class SpinEditWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        UL::ResetSpinSpeedFactor();
        parent.SetClientSize(platform::Size{400, 300});
        parent.Show();
        parent.Activate();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return parent.IsActive(); }));
    }
    void TearDown() override { UL::ResetSpinSpeedFactor(); }
    void Make(CSpinEdit& spin, double value) {
        ASSERT_TRUE(spin.Create(0, Rect{20, 20, 180, 44}, parent, 30));
        spin.AddSpinListener(&listener);
        spin.AddEditListener(&listener);
        spin.SetValue(value);
        spin.ShowValue();
        spin.GetControl()->SetFocus();
        listener.events.clear();
    }
    void Key(int key, QEvent::Type type) {
        QKeyEvent event(type, key, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &event);
    }
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path()};
    SpinParent parent;
    SpinListener listener;
};

TEST_F(SpinEditWidgetTest, AnIntegerAtAHundredSpunDownKeepsItsHundredsColumn) {
    CSpinEdit spin = Integer();
    Make(spin, 100);
    EXPECT_EQ(spin.GetEdit()->Text(), "100");
    spin.GetEdit()->SetCaretIndex(1);  // after the hundreds digit
    Key(Qt::Key_Down, QEvent::KeyPress);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeSpinning);
    Key(Qt::Key_Down, QEvent::KeyRelease);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeEditing);
    EXPECT_EQ(spin.GetValue(), 0);
    EXPECT_EQ(spin.GetDigitPosition(), 2);
    EXPECT_EQ(spin.GetEdit()->Text(), "   0");
    EXPECT_EQ(spin.GetEdit()->CaretIndex(), 2) << "the caret stays in the hundreds column";
    EXPECT_EQ(parent.codes, (std::vector<int>{CSpinEdit::kNotifySpinStarted, CSpinEdit::kNotifySpinEnded}));
    EXPECT_EQ(parent.deltas, (std::vector<double>{-100}));
    EXPECT_EQ(listener.events, (std::vector<std::string>{"started", "changed", "ended"}));
}

TEST_F(SpinEditWidgetTest, HoldingAKeyRepeatsAndTheOtherArrowStepsTenTimesAsFar) {
    gbxtest::Run("mkdir -p " + gbxtest::Quote(dir.File("Corvane")));
    gbxtest::WriteText(dir.File("Corvane/SpinEdit.ini"), "2\n");
    CSpinEdit spin = Integer(-1e9, 1e9);
    EXPECT_EQ(spin.GetTiming().RepeatMs(), 16);
    Make(spin, 0);
    spin.GetEdit()->SetCaretIndex(1);
    Key(Qt::Key_Up, QEvent::KeyPress);
    EXPECT_EQ(spin.GetValue(), 1) << "one step at once";
    Key(Qt::Key_Down, QEvent::KeyPress);  // the other arrow: ten times
    EXPECT_TRUE(spin.IsPageStep());
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return spin.GetValue() >= 31; }, 5000)) << "repeats after the delay";
    Key(Qt::Key_Down, QEvent::KeyRelease);
    EXPECT_FALSE(spin.IsPageStep());
    Key(Qt::Key_Up, QEvent::KeyRelease);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeEditing);
    const double stopped = spin.GetValue();
    for (int i = 0; i < 20; ++i) platform::ProcessEvents();
    EXPECT_EQ(spin.GetValue(), stopped);
    EXPECT_FALSE(spin.GetControl()->HasTimer(1) || spin.GetControl()->HasTimer(2));
}

TEST_F(SpinEditWidgetTest, AParentThatRefusesFreezesTheValue) {
    CSpinEdit spin = Integer();
    Make(spin, 5);
    parent.refuse = true;
    Key(Qt::Key_Up, QEvent::KeyPress);
    EXPECT_EQ(spin.GetValue(), 5);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeEditing) << "a refused step returns to editing";
    EXPECT_EQ(parent.deltas.size(), 1u);
    Key(Qt::Key_Up, QEvent::KeyRelease);
    // Ctrl+End and Ctrl+Home ask no one: they set the bounds between a start and an end.
    parent.codes.clear();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &end);
    EXPECT_EQ(spin.GetValue(), 1e9);
    QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::ControlModifier);
    QApplication::sendEvent(QApplication::focusWidget(), &home);
    EXPECT_EQ(spin.GetValue(), -1e9);
    EXPECT_EQ(parent.codes.size(), 4u);
}

TEST_F(SpinEditWidgetTest, TheButtonSpinsDownWithTheLeftButtonAndUpWithTheRight) {
    CSpinEdit spin(CSpinEdit::kKindReal, 0, -1, 0, 10, 1, 0, nullptr);
    Make(spin, 5);
    ASSERT_NE(spin.GetButton(), nullptr);
    const Rect button = spin.GetButton()->GetRect();
    EXPECT_EQ(button.right, spin.GetControl()->GetRect().Width()) << "inside the edit's right edge";
    EXPECT_EQ(button.Width(), platform::VerticalScrollBarWidth());
    EXPECT_GE(spin.GetEdit()->RightMargin(), button.Width());
    QWidget* widget = spin.GetButton()->Widget();
    platform::SetMousePosition(spin.GetButton()->ClientToScreen(platform::Point{3, 3}));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeSpinning);
    EXPECT_FALSE(spin.IsDirectionUp());
    EXPECT_DOUBLE_EQ(spin.GetValue(), 4.9);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    EXPECT_EQ(spin.GetMode(), CSpinEdit::kModeEditing);
    EXPECT_FALSE(spin.GetButton()->HasMouseCapture());
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &right);
    EXPECT_TRUE(spin.IsDirectionUp());
    EXPECT_DOUBLE_EQ(spin.GetValue(), 5.0);
    EXPECT_TRUE(spin.GetControl()->HasFocus()) << "the button never takes the keyboard";
    spin.EnableWindow(false);
    EXPECT_FALSE(spin.GetButton()->IsEnabled());
}

TEST_F(SpinEditWidgetTest, DraggingOffTheButtonOpensTheSliderAndReleasingClosesIt) {
    CSpinEdit spin(CSpinEdit::kKindReal, 0, -1, 0, 100, 1, 0, nullptr);
    Make(spin, 50);
    QWidget* widget = spin.GetButton()->Widget();
    platform::SetMousePosition(spin.GetButton()->ClientToScreen(platform::Point{3, 3}));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(3, 3), widget->mapToGlobal(QPointF(3, 3)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    ASSERT_EQ(spin.GetMode(), CSpinEdit::kModeSpinning);
    // The pointer goes well below the button: the next tick opens a horizontal slider below the edit.
    const Rect edit = spin.GetControl()->ScreenRect();
    platform::SetMousePosition(platform::Point{edit.right - 5, edit.bottom + 60});
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return spin.GetMode() == CSpinEdit::kModeSliding; }, 10000));
    platform::Slider* slider = spin.GetSlider();
    ASSERT_NE(slider, nullptr);
    EXPECT_FALSE(slider->IsVertical());
    EXPECT_TRUE(spin.GetSliderWindow()->IsVisible());
    EXPECT_GE(spin.GetSliderWindow()->Geometry().top, edit.bottom) << "off the edit";
    EXPECT_TRUE(parent.IsActive()) << "shown without taking activation";
    const Rect thumb = slider->ThumbRect();
    const platform::Point centre =
        slider->ClientToScreen({(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2});
    EXPECT_EQ(platform::MousePosition().x, centre.x) << "the pointer on the thumb";
    EXPECT_EQ(slider->Position(), CSpinEdit::ValueToSliderPosition(spin.GetValue(), 0, 100, false));

    // Drag the thumb to the right end, then let go.
    parent.codes.clear();
    QWidget* track = slider->Widget();
    const QPointF far(track->width() + 40, thumb.top + 2);
    QMouseEvent move(QEvent::MouseMove, far, track->mapToGlobal(far), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(track, &move);
    EXPECT_DOUBLE_EQ(spin.GetValue(), 100);
    QMouseEvent letGo(QEvent::MouseButtonRelease, far, track->mapToGlobal(far), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(track, &letGo);
    EXPECT_EQ(parent.codes, (std::vector<int>{CSpinEdit::kNotifySpinStarted, CSpinEdit::kNotifySpinEnded}));
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return spin.GetMode() == CSpinEdit::kModeEditing; }));
    EXPECT_EQ(spin.GetSlider(), nullptr);
    EXPECT_EQ(spin.GetSliderWindow(), nullptr);
    EXPECT_DOUBLE_EQ(spin.GetValue(), 100);
}

TEST_F(SpinEditWidgetTest, TypedTextSetsTheValueAndAListFindsTheNearestText) {
    const std::vector<std::string> list = {"low", "mid", "high"};
    CSpinEdit spin(CSpinEdit::kKindList, 0, 0, 0, 2, 0, 0, &list);
    Make(spin, 0);
    EXPECT_EQ(spin.GetEdit()->Text(), "low");
    spin.GetEdit()->SetText("mi");
    EXPECT_EQ(spin.GetValue(), 1);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"changed"}));
    spin.SetWindowText("HIGH");
    EXPECT_EQ(spin.GetValue(), 2);
}

}  // namespace
