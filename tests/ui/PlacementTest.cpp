// Window placement kept in the settings: dialogs, resizable dialogs with their minimum size, the main
// frame normal and maximised, and the first run fitting the frame to its form.
#include "general_tools/StringFunctions.h"
#include "general_tools/VersionStrings.h"
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/DialogA.h"
#include "ui/FrameWnd.h"

#include <gtest/gtest.h>

#include <QMouseEvent>

#include <cstdio>
#include <vector>

namespace {

using platform::Rect;

constexpr int kDialogTemplate = -4200;
constexpr int kFormTemplate = -4201;
constexpr int kHugeFormTemplate = -4202;

class PlacementTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::GetAppProfile().SetPath(dir.File("Gigbox Setlister.ini"));
        platform::DialogTemplate t;
        t.units = platform::Size{160, 90};
        t.style |= platform::kWsThickFrame;
        t.items = {
            {10, platform::kClassStatic, "", Rect{5, 5, 155, 70}, platform::kWsChild | platform::kWsVisible},
            {1, platform::kClassButton, "OK", Rect{105, 74, 155, 86},
             platform::kWsChild | platform::kWsVisible | platform::kBsDefPushButton},
        };
        platform::RegisterDialogTemplate(kDialogTemplate, t);
        platform::RegisterDialogTemplate(kFormTemplate, t);
        t.units = platform::Size{3000, 2500};  // larger than any screen of the tests
        platform::RegisterDialogTemplate(kHugeFormTemplate, t);
    }
    std::string Stored(const std::string& section, const std::string& entry) {
        return platform::GetProfileString(section, entry, "<none>");
    }
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path()};
};

class KeptDialog : public UL::CDialogA {
public:
    explicit KeptDialog(bool named) : UL::CDialogA(kDialogTemplate, nullptr), m_named(named) {}

protected:
    void GetPlacementKey(std::string& section, std::string& entry) const override {
        if (m_named) {
            section = "Dialogs";
            entry = "Kept";
        } else {
            UL::CDialogA::GetPlacementKey(section, entry);
        }
    }

private:
    bool m_named;
};

TEST_F(PlacementTest, ADialogWithAKeyRoundTripsItsPlacement) {
    KeptDialog dialog(true);
    ASSERT_TRUE(dialog.Create(nullptr));
    dialog.GetWindow()->SetPlacementRect(Rect{40, 50, 400, 300});
    dialog.DestroyWindow();
    EXPECT_EQ(Stored("Dialogs", "Kept"), "40,50,400,300");
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(dialog.GetWindow()->PlacementRect(), (Rect{40, 50, 400, 300}));
    dialog.DestroyWindow();

    KeptDialog unnamed(false);
    ASSERT_TRUE(unnamed.Create(nullptr));
    unnamed.DestroyWindow();
    EXPECT_EQ(platform::GetProfileString("Dialogs", "", "<none>"), "<none>") << "no key: nothing kept";
}

TEST_F(PlacementTest, StoredDialogTextsAreFittedToTheScreenAndMayLackNumbers) {
    const platform::Size screen = platform::ScreenSize();
    ASSERT_GT(screen.width, 300);
    KeptDialog probe(true);
    ASSERT_TRUE(probe.Create(nullptr));
    const Rect own = probe.GetWindow()->PlacementRect();  // where a dialog starts before any placement
    probe.GetWindow()->Widget()->setProperty("gbxProbe", true);
    probe.DestroyWindow();
    struct Case {
        std::string text;
        Rect placed;
    };
    const std::vector<Case> cases = {
        {"10,20,210,170", {10, 20, 210, 170}},
        {"-30,-40,170,110", {0, 0, 200, 150}},
        {"0,0," + std::to_string(screen.width + 100) + "," + std::to_string(screen.height + 50),
         {0, 0, screen.width, screen.height}},
        {"7,8", {7, 8, own.right, own.bottom}},  // the missing numbers keep the window's own
        {"-2000000000,0,2000000000,100", {-2000000000, 0, 2000000000, 100}},  // edited by hand: wider than an int
        {"nonsense", own},
    };
    for (const Case& c : cases) {
        platform::WriteProfileString("Dialogs", "Kept", c.text);
        KeptDialog dialog(true);
        ASSERT_TRUE(dialog.Create(nullptr));
        EXPECT_EQ(dialog.GetWindow()->PlacementRect(),
                  UL::FitRectIntoBounds(c.placed, Rect{0, 0, screen.width, screen.height}))
            << c.text;
        dialog.DestroyWindow();
    }
    platform::WriteProfileString("Dialogs", "Kept", "");
    KeptDialog empty(true);
    ASSERT_TRUE(empty.Create(nullptr));
    EXPECT_EQ(empty.GetWindow()->PlacementRect(), own) << "an empty text is ignored";
    empty.DestroyWindow();
}

class Resizable : public UL::CResizableDialog {
public:
    Resizable(bool grip, bool named) : UL::CResizableDialog(kDialogTemplate, nullptr, grip), m_named(named) {}
    std::vector<platform::Size> layouts;

protected:
    void GetPlacementKey(std::string& section, std::string& entry) const override {
        if (!m_named) return;
        section = "Dialogs";
        entry = "Resizable";
    }
    void Layout(int cx, int cy) override {
        layouts.push_back(platform::Size{cx, cy});
        UL::CDialogLayout layout(GetWindow(), &GetTemplate());
        layout.Add(10, UL::kAnchorAll);
        layout.Add(1, UL::kAnchorRight | UL::kAnchorBottom);
    }

private:
    bool m_named;
};

TEST_F(PlacementTest, AResizableDialogNeverShrinksBelowItsFirstSize) {
    Resizable dialog(true, true);
    platform::WriteProfileString("Dialogs", "Resizable", "30,40,60,70");  // far too small
    ASSERT_TRUE(dialog.Create(nullptr));
    platform::Window* window = dialog.GetWindow();
    const platform::Size minimum = dialog.GetMinimumSize();
    EXPECT_GT(minimum.width, 100);
    EXPECT_EQ(window->MinimumClientSize(), minimum);
    EXPECT_EQ(window->PlacementRect(), (Rect{30, 40, 30 + minimum.width, 40 + minimum.height}));
    EXPECT_TRUE(dialog.GetTemplate().IsLoaded());

    window->Show();
    window->SetClientSize(platform::Size{minimum.width + 120, minimum.height + 60});
    ASSERT_TRUE(gbxtest::PumpUntil(
        [&] { return !dialog.layouts.empty() && dialog.layouts.back().width == minimum.width + 120; }));
    const Rect list = window->FindControl(10)->GetRect();
    EXPECT_EQ(list.Width(), window->DialogUnitsToPixels(Rect{5, 5, 155, 70}).Width() + 120);
    ASSERT_NE(dialog.GetSizeGrip(), nullptr);
    const Rect grip = dialog.GetSizeGrip()->GetRect();
    EXPECT_EQ(grip.right, minimum.width + 120);
    EXPECT_EQ(grip.bottom, minimum.height + 60);

    window->SetPlacementRect(Rect{15, 25, 15 + minimum.width + 40, 25 + minimum.height + 30});
    dialog.DestroyWindow();
    EXPECT_EQ(Stored("Dialogs", "Resizable"),
              "15,25," + std::to_string(15 + minimum.width + 40) + "," + std::to_string(25 + minimum.height + 30));
    EXPECT_EQ(dialog.GetMinimumSize(), platform::Size{});
    EXPECT_FALSE(dialog.GetTemplate().IsLoaded());
}

TEST_F(PlacementTest, WithoutAGripResizingStillLaysOut) {
    Resizable dialog(false, false);
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(dialog.GetSizeGrip(), nullptr);
    dialog.GetWindow()->Show();
    dialog.GetWindow()->SetClientSize(platform::Size{500, 400});
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return !dialog.layouts.empty() && dialog.layouts.back().width == 500; }));
    dialog.DestroyWindow();
}

class Frame : public UL::CSDIFrameWndEx {
public:
    using UL::CSDIFrameWndEx::OnClose;
};

class Form : public UL::CFormViewEx {
public:
    explicit Form(int templateId = kFormTemplate) : UL::CFormViewEx(templateId) {}
    int layouts = 0;

protected:
    void Layout(int, int) override {
        ++layouts;
        UL::CDialogLayout layout(GetWindow(), &GetTemplate());
        layout.Add(10, UL::kAnchorAll);
    }
};

TEST_F(PlacementTest, TheFrameKeepsItsNormalPlacementAndMaximisedState) {
    {
        Frame frame;
        ASSERT_TRUE(frame.Create("Gigbox Setlister"));
        EXPECT_EQ(frame.GetWindow()->PlacementRect(), (Rect{0, 0, 600, 400})) << "the default placement";
        frame.GetWindow()->Show();
        frame.GetWindow()->SetPlacementRect(Rect{20, 30, 520, 380});
        frame.OnClose();
        EXPECT_EQ(frame.GetWindow(), nullptr);
    }
    EXPECT_EQ(Stored("Window", "Maximized"), "0");
    EXPECT_EQ(Stored("Window", "Position"), "20,30,520,380");
    EXPECT_EQ(Stored("ControlBar", "ControlBar"), "") << "no bars: an empty state";
    EXPECT_EQ(Stored("Version", "FileVersion"), GT::ReadModuleVersionString("FileVersion"));
    {
        Frame frame;
        ASSERT_TRUE(frame.Create("Gigbox Setlister"));
        EXPECT_EQ(frame.GetWindow()->PlacementRect(), (Rect{20, 30, 520, 380}));
        frame.GetWindow()->Show();
        frame.GetWindow()->Maximise();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return frame.IsZoomed(); }));
        frame.OnClose();
    }
    EXPECT_EQ(Stored("Window", "Maximized"), "1");
    EXPECT_EQ(Stored("Window", "Position"), "20,30,520,380") << "the normal rectangle, not the maximised one";
    {
        Frame frame;
        ASSERT_TRUE(frame.Create("Gigbox Setlister"));
        EXPECT_FALSE(frame.GetWindow()->IsVisible()) << "made hidden, maximised or not";
        frame.GetWindow()->Show();
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return frame.IsZoomed(); })) << "starts maximised";
        EXPECT_EQ(frame.GetWindow()->NormalPlacementRect(), (Rect{20, 30, 520, 380}));
        frame.GetWindow()->Restore();
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return !frame.IsZoomed(); }));
        EXPECT_EQ(frame.GetWindow()->PlacementRect(), (Rect{20, 30, 520, 380})) << "kept for restoring";
        frame.DestroyWindow();
    }
    platform::WriteProfileString("Window", "Position", "11,12");
    Frame frame;
    ASSERT_TRUE(frame.Create("Gigbox Setlister"));
    EXPECT_EQ(frame.GetWindow()->PlacementRect().left, 11);
    EXPECT_EQ(frame.GetWindow()->PlacementRect().top, 12) << "numbers missing keep the window's own";
    frame.DestroyWindow();
}

TEST_F(PlacementTest, AFramePositionWiderThanAnIntStillOpensAndIsStoredAgain) {
    platform::WriteProfileString("Window", "Position", "-2000000000,0,2000000000,100");
    {
        Frame frame;
        ASSERT_TRUE(frame.Create("Gigbox Setlister"));
        EXPECT_GT(frame.GetWindow()->PlacementRect().Width(), 0);
        frame.DestroyWindow();
    }
    Rect stored;
    EXPECT_EQ(std::sscanf(Stored("Window", "Position").c_str(), "%d,%d,%d,%d", &stored.left, &stored.top, &stored.right,
                          &stored.bottom),
              4);
}

TEST_F(PlacementTest, TheFirstRunFitsTheFrameToTheFormAndLaterRunsDoNot) {
    Frame frame;
    ASSERT_TRUE(frame.Create("Gigbox Setlister"));
    Form form;
    ASSERT_TRUE(form.Create(*frame.GetWindow()));
    frame.SetView(&form);
    EXPECT_EQ(form.GetParentFrame(), &frame);
    form.OnInitialUpdate();
    const platform::Size total = form.GetTotalSize();
    EXPECT_EQ(frame.GetWindow()->ClientSize(), total) << "no file version stored: the first run";
    frame.GetWindow()->Show();
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return form.layouts > 0; }));
    EXPECT_EQ(form.GetWindow()->ClientSize(), total);
    frame.DestroyWindow();

    EXPECT_EQ(Stored("Window", "Position"), "0,0," + std::to_string(total.width) + "," + std::to_string(total.height));
    GT::StoreFileVersion();
    platform::WriteProfileString("Window", "Position", "0,0,700,500");
    Frame later;
    ASSERT_TRUE(later.Create("Gigbox Setlister"));
    Form laterForm;
    ASSERT_TRUE(laterForm.Create(*later.GetWindow()));
    later.SetView(&laterForm);
    laterForm.OnInitialUpdate();
    EXPECT_EQ(later.GetWindow()->ClientSize(), (platform::Size{700, 500}));
    EXPECT_EQ(laterForm.layouts, 1) << "laid out at once instead";
    later.GetWindow()->Show();
    platform::ProcessEvents();
    EXPECT_EQ(laterForm.GetWindow()->ClientSize(), (platform::Size{700, 500}));
    // A double click on the form's background fits the frame to the form.
    QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(2, 2),
                      laterForm.GetWindow()->Widget()->mapToGlobal(QPointF(2, 2)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(laterForm.GetWindow()->Widget(), &click);
    EXPECT_EQ(later.GetWindow()->ClientSize(), laterForm.GetTotalSize());
    later.DestroyWindow();
}

}  // namespace

namespace {

// Whether a placement lies wholly inside the area.
bool Inside(const Rect& placement, const Rect& area) {
    return placement.left >= area.left && placement.top >= area.top && placement.right <= area.right
           && placement.bottom <= area.bottom;
}

TEST_F(PlacementTest, AStoredFramePlacementOffTheScreenOrLargerThanItOpensOnIt) {
    const Rect area = platform::WorkAreaFor(Rect{0, 0, 1, 1});
    ASSERT_FALSE(area.IsEmpty());
    const struct {
        Rect stored;
        platform::Size expected;
    } cases[] = {
        {Rect{5000, 4000, 7400, 5600}, platform::Size{area.Width(), area.Height()}},
        {Rect{area.right - 88, area.bottom - 22, area.right + 212, area.bottom + 178}, platform::Size{300, 200}},
        {Rect{-3000, -2000, -2700, -1800}, platform::Size{300, 200}},
        {Rect{20, 30, 320, 230}, platform::Size{300, 200}},
    };
    for (const auto& c : cases) {
        const std::string text =
            GT::FormatString("%d,%d,%d,%d", c.stored.left, c.stored.top, c.stored.right, c.stored.bottom);
        SCOPED_TRACE(text);
        platform::WriteProfileString("Window", "Position", text);
        Frame frame;
        ASSERT_TRUE(frame.Create("Gigbox Setlister"));
        const Rect placement = frame.GetWindow()->PlacementRect();
        EXPECT_TRUE(Inside(placement, area))
            << placement.left << "," << placement.top << "," << placement.right << "," << placement.bottom;
        EXPECT_EQ((platform::Size{placement.Width(), placement.Height()}), c.expected);
        frame.DestroyWindow();
    }
    EXPECT_EQ(Stored("Window", "Position"), "20,30,320,230") << "one on the screen stays where it was";
}

// The screen for a placement whose numbers lie at the ends of the ints: no sum or difference of them
// may overflow.
TEST_F(PlacementTest, TheScreenOfAPlacementAtTheEndsOfTheIntsIsFound) {
    const Rect area = platform::WorkAreaFor(Rect{0, 0, 1, 1});
    for (const Rect& far :
         {Rect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
          Rect{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}, Rect{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX}})
        EXPECT_EQ(platform::WorkAreaFor(far), area);
}

// A stored placement that would show nothing, or too little: the default placement, or the least
// useful size, in the direction that stays within the ints.
TEST_F(PlacementTest, AnEmptyOrTooSmallPlacementIsMadeUsable) {
    const platform::Size least{320, 200};
    const Rect fallback{0, 0, 600, 400};
    const struct {
        Rect stored;
        Rect usable;
    } cases[] = {
        {Rect{0, 0, 0, 0}, fallback},
        {Rect{0, 0, -100, -100}, fallback},
        {Rect{2000, 100, 746, 457}, fallback},
        {Rect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}, fallback},
        {Rect{10, 10, 400, 10}, fallback},                // none high: empty
        {Rect{10, 10, 11, 500}, Rect{10, 10, 330, 500}},  // one pixel wide
        {Rect{10, 10, 20, 20}, Rect{10, 10, 330, 210}},
        {Rect{10, 10, 500, 20}, Rect{10, 10, 500, 210}},
        {Rect{INT32_MAX - 7, INT32_MAX - 7, INT32_MAX, INT32_MAX},
         Rect{INT32_MAX - 320, INT32_MAX - 200, INT32_MAX, INT32_MAX}},
        {Rect{INT32_MIN, INT32_MIN, INT32_MIN + 5, INT32_MIN + 5},
         Rect{INT32_MIN, INT32_MIN, INT32_MIN + 320, INT32_MIN + 200}},
        {Rect{5, 6, 905, 706}, Rect{5, 6, 905, 706}},
    };
    for (const auto& c : cases) {
        const Rect usable = UL::UsablePlacement(c.stored, least);
        EXPECT_EQ(usable, c.usable) << c.stored.left << "," << c.stored.top << "," << c.stored.right << ","
                                    << c.stored.bottom << " gave " << usable.left << "," << usable.top << ","
                                    << usable.right << "," << usable.bottom;
    }
    EXPECT_EQ(UL::UsablePlacement(Rect{10, 10, 20, 20}, platform::Size{}), (Rect{10, 10, 20, 20})) << "no least size";
}

class SizedFrame : public Frame {
protected:
    platform::Size GetLeastUsefulSize() const override { return platform::Size{320, 200}; }
};

TEST_F(PlacementTest, AFrameOpensAtLeastAtItsLeastUsefulSize) {
    platform::WriteProfileString("Window", "Position", "10,10,20,20");
    SizedFrame frame;
    ASSERT_TRUE(frame.Create("Gigbox Setlister"));
    EXPECT_EQ(frame.GetWindow()->PlacementRect(), (Rect{10, 10, 330, 210}));
    frame.DestroyWindow();
    EXPECT_EQ(Stored("Window", "Position"), "10,10,330,210");
}

TEST_F(PlacementTest, TheFirstRunFitsTheFrameToAFormLargerThanTheScreenIntoTheScreen) {
    const Rect area = platform::WorkAreaFor(Rect{0, 0, 1, 1});
    Frame frame;
    ASSERT_TRUE(frame.Create("Gigbox Setlister"));
    Form form(kHugeFormTemplate);
    ASSERT_TRUE(form.Create(*frame.GetWindow()));
    frame.SetView(&form);
    form.OnInitialUpdate();
    ASSERT_GT(form.GetTotalSize().width, area.Width());
    const Rect placement = frame.GetWindow()->PlacementRect();
    EXPECT_TRUE(Inside(placement, area));
    EXPECT_EQ((platform::Size{placement.Width(), placement.Height()}), (platform::Size{area.Width(), area.Height()}));
    frame.DestroyWindow();
}

}  // namespace
