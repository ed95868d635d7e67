// Anchored layout: the anchor table, fitting rectangles into bounds, parsing dialog templates of both
// kinds, and layout passes over real windows (a dialog, and a scrolled form).
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"
#include "ui/DialogLayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

using platform::Rect;
using UL::ComputeAnchoredRect;

const Rect kTemplate{0, 0, 200, 100};
const Rect kItem{10, 20, 60, 50};
const Rect kClient{0, 0, 300, 160};

struct AxisCase {
    int anchors;
    int first;   // left or top
    int second;  // right or bottom
};

TEST(AnchorTable, HorizontalEdgesFollowTheirAnchors) {
    const std::vector<AxisCase> cases = {
        {0x00, 10, 60},    // no anchor: left-tied with the template width
        {0x01, 10, 60},    // left
        {0x10, 10, 60},    // scaling alone changes nothing
        {0x02, 110, 160},  // right: moves with the right edge
        {0x03, 10, 160},   // both: stretches
        {0x11, 10, 90},    // left with scaled right: 300 * 60 / 200
        {0x12, 15, 160},   // scaled left: 300 * 10 / 200, right tied
        {0x13, 15, 90},    // both scaled
    };
    for (const AxisCase& c : cases) {
        const Rect r = ComputeAnchoredRect(kTemplate, kItem, kClient, c.anchors, platform::Point{});
        EXPECT_EQ(r.left, c.first) << std::hex << c.anchors;
        EXPECT_EQ(r.right, c.second) << std::hex << c.anchors;
        EXPECT_EQ(r.top, 20) << std::hex << c.anchors;
        EXPECT_EQ(r.bottom, 50) << std::hex << c.anchors;
    }
}

TEST(AnchorTable, VerticalEdgesFollowTheirAnchors) {
    const std::vector<AxisCase> cases = {
        {0x00, 20, 50},  {0x04, 20, 50}, {0x20, 20, 50},  {0x08, 80, 110},
        {0x0C, 20, 110}, {0x24, 20, 80}, {0x28, 32, 110}, {0x2C, 32, 80},
    };
    for (const AxisCase& c : cases) {
        const Rect r = ComputeAnchoredRect(kTemplate, kItem, kClient, c.anchors, platform::Point{});
        EXPECT_EQ(r.top, c.first) << std::hex << c.anchors;
        EXPECT_EQ(r.bottom, c.second) << std::hex << c.anchors;
        EXPECT_EQ(r.left, 10) << std::hex << c.anchors;
        EXPECT_EQ(r.right, 60) << std::hex << c.anchors;
    }
}

TEST(AnchorTable, AllFourEdgesGrowByWhatTheClientGrewAndScrollIsSubtracted) {
    const Rect table = ComputeAnchoredRect(kTemplate, kItem, kClient, UL::kAnchorAll, platform::Point{});
    EXPECT_EQ(table, (Rect{10, 20, 60 + 100, 50 + 60}));
    const Rect scrolled = ComputeAnchoredRect(kTemplate, kItem, kClient, UL::kAnchorAll, platform::Point{5, 7});
    EXPECT_EQ(scrolled, (Rect{5, 13, 155, 103}));
    // A client offset from the origin moves the tied edges with it.
    const Rect offset = ComputeAnchoredRect(kTemplate, kItem, Rect{4, 6, 304, 166}, UL::kAnchorTopLeft, {});
    EXPECT_EQ(offset, (Rect{14, 26, 64, 56}));
}

TEST(AnchorTable, AnEmptyTemplateScalesNothingAndDividesByNothing) {
    const Rect r = ComputeAnchoredRect(Rect{0, 0, 0, 0}, kItem, kClient, 0x33, platform::Point{});
    EXPECT_EQ(r, kItem);
}

TEST(FitRectIntoBounds, ShrinksThenMovesInside) {
    const Rect screen{0, 0, 800, 600};
    struct Case {
        Rect in;
        Rect out;
    };
    const std::vector<Case> cases = {
        {{10, 20, 310, 220}, {10, 20, 310, 220}},      // inside already
        {{-50, -40, 250, 260}, {0, 0, 300, 300}},      // above and left
        {{700, 500, 900, 700}, {600, 400, 800, 600}},  // below and right
        {{-10, -10, 1000, 700}, {0, 0, 800, 600}},     // larger than the bounds
        {{100, 100, 1100, 150}, {0, 100, 800, 150}},   // wider only: shrunk from the left edge, then moved
        {{100, 590, 200, 640}, {100, 550, 200, 600}},  // bottom over the edge
        // A hand-edited settings file: spans and moves that do not fit an int.
        {{-2000000000, 0, 2000000000, 100}, {0, 0, 800, 100}},
        {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 800, 600}},
        {{INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX}, {790, 590, 800, 600}},
        {{INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10}, {0, 0, 10, 10}},
    };
    for (const Case& c : cases) EXPECT_EQ(UL::FitRectIntoBounds(c.in, screen), c.out);
    EXPECT_EQ(UL::FitRectIntoBounds(Rect{0, 0, 50, 50}, Rect{100, 100, 200, 200}), (Rect{100, 100, 150, 150}));
    EXPECT_EQ(UL::FitRectIntoBounds(Rect{0, 0, 50, 50}, Rect{INT_MIN, INT_MIN, INT_MAX, INT_MAX}),
              (Rect{0, 0, 50, 50}));
}

TEST(RectSpans, AreLimitedToTheIntRange) {
    EXPECT_EQ((Rect{-2000000000, 0, 2000000000, 100}).Width(), INT_MAX);
    EXPECT_EQ((Rect{2000000000, 2000000000, -2000000000, -2000000000}).Height(), INT_MIN);
    EXPECT_EQ((Rect{-5, -7, 5, 7}).Width(), 10);
    EXPECT_EQ((Rect{-5, -7, 5, 7}).Height(), 14);
}

// A template with a font, a class by name, duplicate ids and a caption outside ASCII.
platform::DialogTemplate SampleTemplate(bool extended) {
    platform::DialogTemplate t;
    t.title = "Überschrift";
    t.units = platform::Size{220, 120};
    t.extended = extended;
    t.style |= platform::kWsThickFrame;
    t.items = {
        {1, platform::kClassButton, "OK", Rect{160, 100, 210, 114},
         platform::kWsChild | platform::kWsVisible | platform::kBsDefPushButton},
        {-1, platform::kClassStatic, "first", Rect{5, 5, 50, 15}, platform::kWsChild | platform::kWsVisible},
        {4311, platform::kClassListView, "", Rect{5, 20, 210, 95}, platform::kWsChild | platform::kWsVisible},
        {-1, platform::kClassStatic, "second, longer text", Rect{60, 5, 150, 15},
         platform::kWsChild | platform::kWsVisible},
        {4330, platform::kClassEdit, "x", Rect{5, 100, 60, 112},
         platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kEsReadOnly},
    };
    return t;
}

TEST(DialogTemplateParse, BothKindsReadBackTheTable) {
    for (bool extended : {false, true}) {
        SCOPED_TRACE(extended ? "extended" : "plain");
        const platform::DialogTemplate table = SampleTemplate(extended);
        UL::CDialogTemplate parsed;
        ASSERT_TRUE(parsed.Parse(platform::DialogTemplateBytes(table)));
        EXPECT_EQ(parsed.IsExtended(), extended);
        EXPECT_EQ(parsed.GetRect(), (Rect{0, 0, 220, 120}));
        EXPECT_EQ(parsed.GetStyle(), table.style);
        EXPECT_EQ(parsed.GetItemCount(), table.items.size());
        for (const platform::DialogItem& item : table.items) {
            if (item.id == -1) continue;
            const auto* found = parsed.GetItem(uint32_t(item.id));
            ASSERT_NE(found, nullptr) << item.id;
            EXPECT_EQ(found->IsExtended(), extended);
            EXPECT_EQ(found->GetRect(), item.units) << item.id;
            EXPECT_EQ(found->GetStyle(), item.style) << item.id;
        }
        // Several statics share -1: no single item answers for it.
        const uint32_t shared = extended ? 0xFFFFFFFFu : 0xFFFFu;
        EXPECT_EQ(parsed.GetItem(shared), nullptr);
        EXPECT_EQ(parsed.GetItem(9999), nullptr);
        parsed.Clear();
        EXPECT_FALSE(parsed.IsLoaded());
        EXPECT_EQ(parsed.GetItemCount(), 0u);
    }
}

TEST(DialogTemplateParse, LoadFindsRegisteredTemplatesOnly) {
    platform::RegisterDialogTemplate(-4120, SampleTemplate(true));
    UL::CDialogTemplate parsed;
    EXPECT_TRUE(parsed.Load(-4120));
    EXPECT_TRUE(parsed.IsExtended());
    EXPECT_NE(parsed.GetItem(4311), nullptr);
    EXPECT_FALSE(parsed.Load(-4121));
    EXPECT_FALSE(parsed.IsLoaded()) << "a missing template leaves nothing parsed";
}

TEST(DialogTemplateParse, TemplatesCutShortKeepWhatWasRead) {
    for (bool extended : {false, true}) {
        const std::vector<uint8_t> bytes = platform::DialogTemplateBytes(SampleTemplate(extended));
        size_t previous = 0;
        for (size_t length = 0; length <= bytes.size(); ++length) {
            // A copy of exactly that length, so that the sanitiser sees any read past it.
            const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(length));
            UL::CDialogTemplate parsed;
            EXPECT_TRUE(parsed.Parse(cut.data(), cut.size()));
            EXPECT_GE(parsed.GetItemCount(), previous) << length;
            previous = parsed.GetItemCount();
        }
        EXPECT_EQ(previous, 5u);
    }
}

class DialogLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        table.units = platform::Size{200, 100};
        table.style |= platform::kWsThickFrame;
        table.items = {
            {10, platform::kClassListView, "", Rect{5, 5, 195, 80}, platform::kWsChild | platform::kWsVisible},
            {11, platform::kClassButton, "Go", Rect{150, 84, 195, 96}, platform::kWsChild | platform::kWsVisible},
            {12, platform::kClassButton, "Pic", Rect{5, 84, 40, 96},
             platform::kWsChild | platform::kWsVisible | platform::kBsOwnerDraw},
        };
        // The list view's class: a plain label stands in for it here.
        platform::RegisterControlClass(platform::kClassListView,
                                       [](platform::Window& w, const platform::DialogItem& i) {
                                           return &w.AddControl<platform::Label>(i.id, i.text);
                                       });
        platform::RegisterDialogTemplate(-4122, table);
        ASSERT_TRUE(parsed.Load(-4122));
    }
    void TearDown() override { platform::RegisterControlClass(platform::kClassListView, nullptr); }

    Rect Expected(const platform::Window& window, int id, int anchors, platform::Point scroll = {}) const {
        const platform::Size client = window.ClientSize();
        Rect c{0, 0, client.width, client.height};
        if (window.ScrollSize().width > 0) {
            c.right = std::max(c.right, window.ScrollSize().width);
            c.bottom = std::max(c.bottom, window.ScrollSize().height);
        }
        return ComputeAnchoredRect(window.DialogUnitsToPixels(parsed.GetRect()),
                                   window.DialogUnitsToPixels(parsed.GetItem(uint32_t(id))->GetRect()), c, anchors,
                                   scroll);
    }

    platform::DialogTemplate table;
    UL::CDialogTemplate parsed;
};

TEST_F(DialogLayoutTest, APassMovesEveryControlWhenApplied) {
    platform::Window dialog(platform::WindowKind::Dialog);
    dialog.BuildFromTemplate(table);
    const platform::Size start = dialog.ClientSize();
    dialog.SetClientSize(platform::Size{start.width + 70, start.height + 40});
    const Rect tableBefore = dialog.FindControl(10)->GetRect();
    {
        UL::CDialogLayout layout(&dialog, &parsed);
        layout.Add(10, UL::kAnchorAll);
        layout.Add(11, UL::kAnchorRight | UL::kAnchorBottom);
        layout.Add(-1, UL::kAnchorAll);  // not in the template once: left alone
        layout.Add(99, UL::kAnchorAll);  // not in the template at all
        EXPECT_EQ(layout.GetPendingMoves().size(), 2u);
        EXPECT_EQ(dialog.FindControl(10)->GetRect(), tableBefore) << "nothing moves before the pass ends";
    }
    const Rect grown = dialog.FindControl(10)->GetRect();
    EXPECT_EQ(grown, Expected(dialog, 10, UL::kAnchorAll));
    EXPECT_EQ(grown.Width(), tableBefore.Width() + 70);
    EXPECT_EQ(grown.Height(), tableBefore.Height() + 40);
    EXPECT_EQ(dialog.FindControl(11)->GetRect(), Expected(dialog, 11, UL::kAnchorRight | UL::kAnchorBottom));
}

TEST_F(DialogLayoutTest, KeepSizeMovesNothingForTopLeftAnchors) {
    platform::Window dialog(platform::WindowKind::Dialog);
    dialog.BuildFromTemplate(table);
    platform::Control* picture = dialog.FindControl(12);
    // A picture button sized to its picture, not to the template.
    const Rect sized{picture->GetRect().left, picture->GetRect().top, picture->GetRect().left + 48,
                     picture->GetRect().top + 30};
    picture->SetRect(sized);
    dialog.SetClientSize(platform::Size{dialog.ClientSize().width + 90, dialog.ClientSize().height + 50});
    UL::CDialogLayout(&dialog, &parsed).Add(12, UL::kAnchorTopLeft, true);
    EXPECT_EQ(picture->GetRect(), sized);
    UL::CDialogLayout(&dialog, &parsed).Add(12, UL::kAnchorTopLeft, false);
    EXPECT_EQ(picture->GetRect(), dialog.DialogUnitsToPixels(Rect{5, 84, 40, 96}))
        << "without keep-size: template size";
}

TEST_F(DialogLayoutTest, AFormSmallerThanItsTemplateIsLaidOutAtTemplateSizeAndScrolls) {
    platform::Window frame;
    frame.SetClientSize(platform::Size{600, 400});
    platform::Window form(platform::WindowKind::Child, &frame);
    form.BuildFromTemplate(table);
    const Rect total = form.DialogUnitsToPixels(Rect{0, 0, 200, 100});
    form.SetScrollSize(platform::Size{total.Width(), total.Height()});
    form.SetGeometry(Rect{0, 0, total.Width() / 2, total.Height() / 2});
    frame.Show();
    platform::ProcessEvents();
    ASSERT_LT(form.ClientSize().width, total.Width());
    UL::CDialogLayout(&form, &parsed).Add(10, UL::kAnchorAll);
    const Rect atTemplate = form.FindControl(10)->GetRect();
    EXPECT_EQ(atTemplate, form.DialogUnitsToPixels(Rect{5, 5, 195, 80})) << "client raised to the template size";

    form.SetScrollPosition(platform::Point{30, 20});
    EXPECT_EQ(form.ScrollPosition().x, 30);
    EXPECT_EQ(form.ScrollPosition().y, 20);
    const Rect scrolled = form.FindControl(10)->GetRect();
    EXPECT_EQ(scrolled.left, atTemplate.left - 30) << "scrolling moves the controls";
    EXPECT_EQ(scrolled.top, atTemplate.top - 20);
    // A layout pass after scrolling puts them where scrolling did.
    UL::CDialogLayout(&form, &parsed).Add(10, UL::kAnchorAll);
    EXPECT_EQ(form.FindControl(10)->GetRect(), Expected(form, 10, UL::kAnchorAll, platform::Point{30, 20}));
    EXPECT_EQ(form.FindControl(10)->GetRect(), scrolled);

    // Grown past the template: no scrolling is left.
    form.SetGeometry(Rect{0, 0, total.Width() + 50, total.Height() + 50});
    EXPECT_EQ(form.ScrollPosition().x, 0);
    EXPECT_EQ(form.ScrollPosition().y, 0);
    EXPECT_EQ(form.ClientSize(), (platform::Size{total.Width() + 50, total.Height() + 50}));
}

}  // namespace
