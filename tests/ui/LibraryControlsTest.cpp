// The library's buttons, static texts, edits and combo boxes: text styles, the button state table,
// events reaching listeners, and state kept before and across windows.
#include "platform/window/Application.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/WidgetDriver.h"
#include "ui/Controls.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include <boost/any.hpp>
#include <boost/make_shared.hpp>

#include <vector>

namespace {

using platform::Rect;

TEST(TextInfo, DrawsTheHighBytesOfItsColoursWithItsAlignmentWords) {
    const UL::CTextInfo info("A face name far longer than any font description can hold", 10,
                             UL::CTextInfo::CColour{0xFF00, 0x8012, 0x00FF}, UL::CTextInfo::CColour{0x1234, 0, 0xFFFF},
                             true, 1, 1, 1);
    EXPECT_EQ(info.GetFace().size(), 31u);
    const UL::CTextDrawing drawing = UL::MakeTextDrawing(info);
    EXPECT_EQ(drawing.textColour, (platform::Colour{0xFF, 0x80, 0x00}));
    EXPECT_EQ(drawing.backColour, (platform::Colour{0x12, 0x00, 0xFF}));
    ASSERT_TRUE(drawing.font.has_value());
    EXPECT_EQ(drawing.font->pixelHeight, 10);
    EXPECT_EQ(drawing.font->angleTenths, 900);
    EXPECT_EQ(drawing.font->weight, 400);
    EXPECT_EQ(drawing.backgroundMode, 1);

    struct Case {
        int horizontal, vertical, mode, format, drawnMode;
    };
    for (const Case& c : std::vector<Case>{{0, 0, 0, 0x820, 0},
                                           {1, 0, 1, 0x821, 1},
                                           {2, 0, 0, 0x822, 0},
                                           {0, 1, 7, 0x824, -1},
                                           {1, 1, 0, 0x825, 0},
                                           {2, 2, 0, 0x82A, 0},
                                           {5, 5, 0, 0x820, 0}}) {
        const UL::CTextInfo style("Sans", 12, {}, {}, false, c.horizontal, c.vertical, c.mode);
        const UL::CTextDrawing d = UL::MakeTextDrawing(style);
        EXPECT_EQ(d.format, c.format) << c.horizontal << "," << c.vertical;
        EXPECT_EQ(d.backgroundMode, c.drawnMode);
        EXPECT_EQ(d.font->angleTenths, 0);
    }
}

TEST(ButtonStates, FollowTheTable) {
    struct Case {
        bool enabled, toggle, checked, selected, focused;
        int state;
    };
    const std::vector<Case> cases = {
        // enabled and pressed
        {true, false, false, true, false, 1},
        {true, true, false, true, true, 1},
        {true, true, true, true, false, 3},
        // focused, not pressed
        {true, false, false, false, true, 3},
        {true, true, false, false, true, 6},
        {true, true, true, false, true, 7},
        // neither
        {true, false, false, false, false, 0},
        {true, false, true, false, false, 0},  // a plain button's check mark shows nothing
        {true, true, false, false, false, 0},
        {true, true, true, false, false, 2},
        // disabled, whatever else holds
        {false, false, false, true, true, 2},
        {false, true, false, true, true, 4},
        {false, true, true, false, false, 5},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UL::ButtonStateIndex(c.enabled, c.toggle, c.checked, c.selected, c.focused), c.state)
            << c.enabled << c.toggle << c.checked << c.selected << c.focused;
    }
}

TEST(ButtonStates, SetupChangesTheStyleBits) {
    using namespace platform;
    struct Case {
        uint32_t style;
        bool picture, toggle;
        uint32_t after;
    };
    const std::vector<Case> cases = {
        {kBsPushButton, true, false, kBsOwnerDraw},
        {kBsPushButton, true, true, kBsOwnerDraw},
        {kBsDefPushButton, true, false, kBsDefPushButton},  // only a plain push button becomes owner-drawn
        {kBsOwnerDraw, false, false, kBsPushButton},        // had check bits: no push-like
        {kBsPushButton, false, true, kBsAutoCheckBox | kBsPushLike},
        {kBsAutoCheckBox, false, true, kBsAutoCheckBox},  // a check box stays one
        {kBsDefPushButton, false, false, kBsPushButton},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(UL::ButtonStyleAfterSetup(c.style, c.picture, c.toggle), c.after) << std::hex << c.style;
    }
}

class Listener : public UL::IButtonEventListener, public UL::IEditEventListener, public UL::IComboBoxEventListener {
public:
    std::vector<UL::CButtonA*> clicks;
    std::vector<std::string> texts;
    std::vector<std::pair<int, int>> combo;  // kind, selected id
    void OnButtonClicked(const UL::CButtonEvent& e) override {
        clicks.push_back(boost::any_cast<UL::CButtonA*>(e.GetSource()));
    }
    void OnEditChanged(const UL::CEditEvent& e) override {
        texts.push_back(boost::any_cast<UL::CEditA*>(e.GetSource())->GetText(UL::kEncodingUtf8));
    }
    void OnComboBoxEvent(const UL::CComboBoxEvent& e) override {
        combo.emplace_back(e.GetKind(), boost::any_cast<UL::CComboBoxA*>(e.GetSource())->GetSelectedId());
    }
};

class LibraryControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::DialogTemplate t;
        t.units = platform::Size{200, 120};
        t.items = {
            {4300, platform::kClassButton, "", Rect{5, 5, 45, 25}, platform::kWsChild | platform::kWsVisible},
            {4319, platform::kClassButton, "Use", Rect{5, 30, 95, 40},
             platform::kWsChild | platform::kWsVisible | platform::kBsAutoCheckBox},
            {4330, platform::kClassEdit, "template text", Rect{5, 45, 95, 57},
             platform::kWsChild | platform::kWsVisible},
            {4331, platform::kClassComboBox, "", Rect{5, 60, 95, 100},
             platform::kWsChild | platform::kWsVisible | platform::kCbsDropDownList},
            {4329, platform::kClassStatic, "", Rect{100, 5, 195, 25}, platform::kWsChild | platform::kWsVisible},
        };
        window.BuildFromTemplate(t);
    }
    platform::Window window{platform::WindowKind::Dialog};
    Listener listener;
};

// A strip of eight 4 x 4 states, each filled with its own colour.
boost::shared_ptr<UL::CStatePicture> EightStates() {
    auto strip = boost::make_shared<UL::CStatePicture>(8, true, false);
    platform::Image image(32, 4, false);
    for (int state = 0; state < 8; ++state)
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) image.SetPixel(state * 4 + x, y, 0xFF000000u | uint32_t(state * 30 + 10) << 16);
    static_cast<UL::CPicture&>(strip->GetPicture()).SetImage(image);
    return strip;
}

TEST_F(LibraryControlsTest, AToggleButtonFlipsAndTellsEveryListenerInOrder) {
    UL::CButtonA button;
    ASSERT_TRUE(button.SubclassDlgItem(4300, window));
    EXPECT_FALSE(UL::CButtonA().SubclassDlgItem(4330, window)) << "an edit is no button";
    button.AddListener(&listener);
    button.AddListener(&listener);  // twice: called twice
    button.Setup(true, EightStates(), "", nullptr);
    EXPECT_EQ(button.GetButtonStyle(), platform::kBsOwnerDraw);
    EXPECT_EQ(button.GetControl()->GetRect().Width(), 4) << "sized to one state";
    auto* pushed = static_cast<platform::PushButton*>(button.GetControl());
    pushed->Click();
    EXPECT_TRUE(button.IsChecked());
    EXPECT_EQ(listener.clicks, (std::vector<UL::CButtonA*>{&button, &button}));
    pushed->Click();
    EXPECT_FALSE(button.IsChecked());
    EXPECT_EQ(listener.clicks.size(), 4u);

    button.SetEnabled(false);
    EXPECT_FALSE(pushed->IsEnabled());
    button.GetControl()->Notify(platform::kNotifyClicked);  // what a click of a disabled button would say
    EXPECT_EQ(listener.clicks.size(), 4u) << "a disabled button fires nothing";
}

TEST_F(LibraryControlsTest, PictureButtonsDrawTheStateOfTheTable) {
    UL::CButtonA toggle, plain;
    ASSERT_TRUE(toggle.SubclassDlgItem(4300, window));
    ASSERT_TRUE(plain.SubclassDlgItem(4319, window));
    toggle.Setup(true, EightStates(), "", nullptr);
    plain.Setup(false, EightStates(), "", nullptr);
    EXPECT_EQ(plain.GetButtonStyle(), platform::kBsAutoCheckBox) << "a check box keeps its style";
    window.Show();
    toggle.SetChecked(true);
    toggle.GetControl()->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return toggle.GetControl()->HasFocus(); }));
    EXPECT_EQ(toggle.GetDrawnState(), 7);
    const QImage shot = toggle.GetControl()->Widget()->grab().toImage();
    EXPECT_EQ(qRed(shot.pixel(1, 1)), 7 * 30 + 10) << "state 7 drawn";
    toggle.SetEnabled(false);
    EXPECT_EQ(toggle.GetDrawnState(), 5);
}

TEST_F(LibraryControlsTest, AToggleWithoutPictureBecomesACheckBoxThatKeepsItsMark) {
    UL::CButtonA check;
    check.SetChecked(true);  // before the window: kept and shown later
    ASSERT_TRUE(check.SubclassDlgItem(4319, window));
    check.AddListener(&listener);
    check.Setup(true, nullptr, "Use a proxy server", nullptr);
    check.SetChecked(true);
    auto* control = static_cast<platform::PushButton*>(check.GetControl());
    EXPECT_EQ(control->Style(), platform::ButtonStyle::CheckBox);
    EXPECT_EQ(control->Text(), "Use a proxy server");
    EXPECT_TRUE(control->IsChecked());
    control->Click();
    EXPECT_FALSE(check.IsChecked());
    EXPECT_FALSE(control->IsChecked()) << "the window's mark and the button's agree";
    EXPECT_EQ(listener.clicks.size(), 1u);
}

TEST_F(LibraryControlsTest, EditsReportChangesAndKeepTextAndSelectionAcrossWindows) {
    UL::CEditA edit;
    edit.SetText("set before", UL::kEncodingUtf8);
    edit.SetSel(4, 10);
    ASSERT_TRUE(edit.SubclassDlgItem(4330, window));
    edit.AddListener(&listener);
    auto* qt = qobject_cast<QLineEdit*>(edit.GetControl()->Widget());
    EXPECT_EQ(qt->text().toStdString(), "set before") << "pushed when taken over";
    EXPECT_EQ(qt->selectedText().toStdString(), "before");
    qt->setText("typed");
    EXPECT_EQ(edit.GetText(UL::kEncodingUtf8), "typed");
    EXPECT_EQ(listener.texts, (std::vector<std::string>{"typed"}));
    qt->setSelection(1, 3);
    edit.DestroyWindow();
    EXPECT_FALSE(edit.HasWindow());
    int start = 0, end = 0;
    edit.GetSel(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 4);
    ASSERT_TRUE(edit.Create(0, Rect{5, 5, 100, 25}, window, 77));
    EXPECT_EQ(edit.GetEdit()->Text(), "typed");
    edit.GetEdit()->GetSelection(start, end);
    EXPECT_EQ(start, 1);
    EXPECT_EQ(end, 4);
}

TEST_F(LibraryControlsTest, TextsOutsideTheAnsiCodePageSurviveAsUtf8) {
    gbxtest::LocaleScope ascii("C", "en_US");  // the ANSI code page is ASCII here
    const std::string text = "Caf\xC3\xA9 \xE2\x99\xAA";
    UL::CEditA edit;
    ASSERT_TRUE(edit.SubclassDlgItem(4330, window));
    edit.SetText(text, UL::kEncodingUtf8);
    EXPECT_EQ(edit.GetText(UL::kEncodingUtf8), text);
    EXPECT_EQ(edit.GetEdit()->Text(), text);
    EXPECT_EQ(edit.GetText(UL::kEncodingAnsi), "Caf? ?");
    edit.SetText("plain", UL::kEncodingAnsi);
    EXPECT_EQ(edit.GetText(UL::kEncodingUtf8), "plain");

    UL::CStaticA label;
    ASSERT_TRUE(label.SubclassDlgItem(4329, window));
    label.SetText(text, UL::kEncodingUtf8);
    EXPECT_EQ(label.GetText(UL::kEncodingUtf8), text);
    EXPECT_EQ(label.GetText(UL::kEncodingAnsi), "Caf? ?");
}

TEST_F(LibraryControlsTest, AStaticWithAStyleDrawsItsTextItself) {
    UL::CStaticA label;
    ASSERT_TRUE(label.SubclassDlgItem(4329, window));
    auto style = boost::make_shared<UL::CTextInfo>("Sans", 12, UL::CTextInfo::CColour{0xFF00, 0xFF00, 0xFF00},
                                                   UL::CTextInfo::CColour{0x2000, 0x4000, 0x8000}, false, 1, 1, 0);
    label.Setup(nullptr, "Album", style);
    EXPECT_TRUE(label.IsOwnerDrawn());
    window.Show();
    const QImage shot = label.GetControl()->Widget()->grab().toImage();
    EXPECT_EQ(QColor(shot.pixel(1, 1)), QColor(0x20, 0x40, 0x80)) << "filled with the style's back colour";
    bool white = false;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) white = white || QColor(shot.pixel(x, y)) == QColor(255, 255, 255);
    EXPECT_TRUE(white) << "the text in the style's white";
}

TEST_F(LibraryControlsTest, ComboBoxesReportChoicesAndDropDownsWithTheirIds) {
    UL::CComboBoxA combo;
    combo.SetItems(std::vector<UL::CComboBoxA::CItem>{{10, "ten"}, {20, "twenty"}, {30, "thirty"}});
    combo.SetSelectedId(20);
    ASSERT_TRUE(combo.SubclassDlgItem(4331, window));
    combo.AddListener(&listener);
    EXPECT_EQ(combo.GetComboBox()->ItemCount(), 3) << "the default pair is not listed";
    EXPECT_EQ(combo.GetComboBox()->Text(), "twenty");
    EXPECT_EQ(combo.GetItem(2), (UL::CComboBoxA::CItem{30, "thirty"}));
    EXPECT_EQ(combo.GetItem(-1), (UL::CComboBoxA::CItem{-1, ""}));
    EXPECT_EQ(combo.GetItem(3), (UL::CComboBoxA::CItem{-1, ""}));
    qobject_cast<QComboBox*>(combo.GetControl()->Widget())->setCurrentIndex(0);
    EXPECT_EQ(combo.GetSelectedId(), 10);
    window.Show();
    combo.GetComboBox()->ShowDropDown(true);
    combo.GetComboBox()->ShowDropDown(false);
    qobject_cast<QComboBox*>(combo.GetControl()->Widget())->setCurrentIndex(-1);
    EXPECT_EQ(listener.combo, (std::vector<std::pair<int, int>>{{0, 10}, {1, 10}, {0, -1}}));

    combo.SetItems(std::vector<std::string>{"a", "b"});
    EXPECT_EQ(combo.GetItem(1), (UL::CComboBoxA::CItem{1, "b"}));
    combo.SetSelectedId(7);
    EXPECT_EQ(combo.GetComboBox()->Selection(), -1) << "no item with that id: nothing chosen";
}

}  // namespace
