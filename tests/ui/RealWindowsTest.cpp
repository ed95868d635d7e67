// The progress dialog, the About box and a resizable dialog in real windows on an X server (ui_tests.RealWindows runs
// this on a virtual X server); screenshots go to GBX_SCREENSHOT_DIR as PNG files.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"
#include "ui/AboutDialog.h"
#include "ui/Controls.h"
#include "ui/DialogA.h"
#include "ui/ProgressBar.h"

#include <boost/make_shared.hpp>

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QSet>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using gbxtest::OnRealDisplay;
using gbxtest::ScreenshotPath;

using gbxtest::PumpFor;
using gbxtest::ShootAndCheck;

TEST(RealWindows, ProgressDialogAndAboutBox) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());
    platform::SetApplicationTitle("Gigbox Setlister");

    platform::Window main;
    main.SetTitle("Gigbox Setlister");
    main.SetClientSize(platform::Size{480, 320});
    platform::SetMainWindow(&main);
    main.Show();
    PumpFor(200);

    UL::CProgressBarA progress;
    progress.SetTitle("Importing songs");
    progress.SetCancelable(true);
    progress.SetRange(10);
    progress.Begin();
    progress.SetMessage("File 03/10");
    progress.SetPos(3);
    PumpFor(400);
    EXPECT_FALSE(main.IsEnabled());
    const auto* bar = progress.GetWindow()->Widget()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->value(), 3);
    ShootAndCheck(progress.GetWindow()->Widget(), "progress-dialog.png");
    progress.End();
    EXPECT_TRUE(main.IsEnabled());

    platform::DialogTemplate about;
    about.units = platform::Size{235, 66};
    about.items = {{0xFFFF, platform::kClassStatic, "", platform::Rect{11, 17, 32, 37},
                    platform::kWsChild | platform::kWsVisible | platform::kSsIcon},
                   {32825, platform::kClassStatic, "", platform::Rect{40, 10, 170, 20},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {32826, platform::kClassStatic, "", platform::Rect{40, 24, 170, 34},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {32866, platform::kClassStatic, "", platform::Rect{40, 38, 170, 56},
                    platform::kWsChild | platform::kWsVisible | platform::kSsLeft},
                   {1, platform::kClassButton, "OK", platform::Rect{178, 7, 228, 21},
                    platform::kWsChild | platform::kWsVisible | platform::kWsTabStop | platform::kBsDefPushButton}};
    platform::RegisterDialogTemplate(32867, about);
    UL::CAboutDialogA box(-1, 32867, 0xFFFF, 32825, 32826, 32866);
    gbxtest::WhenModalAppears([](QWidget* modal) {
        PumpFor(400);
        ShootAndCheck(modal, "about-box.png");
        gbxtest::PressKey(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(box.DoModal(), 2);
}

// A resizable dialog whose coloured panels show where the layout put them.
class AnchoredDialog : public UL::CResizableDialog {
public:
    static constexpr int kTemplate = -4300;
    AnchoredDialog() : UL::CResizableDialog(kTemplate, nullptr, true) {}
    struct Panel {
        int id;
        int anchors;
        QColor colour;
    };
    const std::vector<Panel> panels = {
        {10, UL::kAnchorAll, QColor(40, 80, 200)},                                       // the table
        {11, UL::kAnchorLeft | UL::kAnchorRight | UL::kAnchorTop, QColor(40, 160, 60)},  // the title
        {12, UL::kAnchorRight | UL::kAnchorTop, QColor(200, 40, 40)},                    // the logo
    };

protected:
    bool OnInitDialog() override {
        if (!UL::CResizableDialog::OnInitDialog()) return false;
        for (const Panel& panel : panels) {
            auto& label = m_labels.emplace_back(std::make_unique<UL::CStaticA>());
            label->SubclassDlgItem(panel.id, *GetWindow());
            const UL::CTextInfo::CColour back{uint16_t(panel.colour.red() << 8), uint16_t(panel.colour.green() << 8),
                                              uint16_t(panel.colour.blue() << 8)};
            label->Setup(nullptr, "",
                         boost::make_shared<UL::CTextInfo>("Sans", 12, UL::CTextInfo::CColour{}, back, false, 1, 1, 0));
        }
        return true;
    }
    void OnDestroy() override {
        m_labels.clear();
        UL::CResizableDialog::OnDestroy();
    }
    void Layout(int, int) override {
        UL::CDialogLayout layout(GetWindow(), &GetTemplate());
        for (const Panel& panel : panels) layout.Add(panel.id, panel.anchors);
        layout.Add(1, UL::kAnchorRight | UL::kAnchorBottom);
        layout.Add(2, UL::kAnchorRight | UL::kAnchorBottom);
    }

private:
    std::vector<std::unique_ptr<UL::CStaticA>> m_labels;
};

TEST(RealWindows, AResizableDialogKeepsItsControlsAnchored) {
    if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as ui_tests.RealWindows";
    ASSERT_TRUE(platform::StartWindowSystem());
    using platform::Rect;
    const uint32_t child = platform::kWsChild | platform::kWsVisible;
    platform::DialogTemplate t;
    t.title = "CD Ripping";
    t.units = platform::Size{240, 150};
    t.style |= platform::kWsThickFrame;
    t.items = {
        {11, platform::kClassStatic, "", Rect{7, 7, 180, 19}, child},
        {12, platform::kClassStatic, "", Rect{188, 7, 233, 19}, child},
        {10, platform::kClassStatic, "", Rect{7, 24, 233, 124}, child},
        {1, platform::kClassButton, "OK", Rect{128, 130, 178, 144}, child | platform::kBsDefPushButton},
        {2, platform::kClassButton, "Cancel", Rect{183, 130, 233, 144}, child},
    };
    platform::RegisterDialogTemplate(AnchoredDialog::kTemplate, t);
    AnchoredDialog dialog;
    ASSERT_TRUE(dialog.Create(nullptr));
    platform::Window* window = dialog.GetWindow();
    window->Show();
    PumpFor(300);
    const platform::Size first = window->ClientSize();
    const Rect templatePixels = window->DialogUnitsToPixels(Rect{0, 0, 240, 150});

    const std::vector<platform::Size> sizes = {{first.width + 260, first.height + 140},
                                               {first.width + 60, first.height + 20}};
    for (size_t step = 0; step < sizes.size(); ++step) {
        SCOPED_TRACE(step);
        window->SetClientSize(sizes[step]);
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return window->ClientSize() == sizes[step]; }, 3000));
        PumpFor(300);
        const platform::Size client = window->ClientSize();
        const std::string file = "resizable-dialog-" + std::to_string(step + 1) + ".png";
        ShootAndCheck(window->Widget(), file);
        const QImage shot(QString::fromStdString(ScreenshotPath(file)));
        ASSERT_FALSE(shot.isNull());
        for (const AnchoredDialog::Panel& panel : dialog.panels) {
            const Rect expected =
                UL::ComputeAnchoredRect(templatePixels,
                                        window->DialogUnitsToPixels(t.items[panel.id == 10   ? 2
                                                                            : panel.id == 11 ? 0
                                                                                             : 1]
                                                                        .units),
                                        Rect{0, 0, client.width, client.height}, panel.anchors, platform::Point{});
            EXPECT_EQ(window->FindControl(panel.id)->GetRect(), expected) << panel.id;
            // The screenshot shows the panel's colour at its corners (inside) and at its centre.
            for (const QPoint p :
                 {QPoint(expected.left + 2, expected.top + 2), QPoint(expected.right - 3, expected.bottom - 3),
                  QPoint((expected.left + expected.right) / 2, (expected.top + expected.bottom) / 2)}) {
                EXPECT_EQ(QColor(shot.pixel(p)), panel.colour) << panel.id << " at " << p.x() << "," << p.y();
            }
        }
        // The buttons keep their size and their distance from the bottom-right corner.
        const Rect ok = window->FindControl(1)->GetRect();
        const Rect okTemplate = window->DialogUnitsToPixels(Rect{128, 130, 178, 144});
        EXPECT_EQ(ok.Width(), okTemplate.Width());
        EXPECT_EQ(client.width - ok.right, templatePixels.right - okTemplate.right);
        EXPECT_EQ(client.height - ok.bottom, templatePixels.bottom - okTemplate.bottom);
        ASSERT_NE(dialog.GetSizeGrip(), nullptr);
        EXPECT_EQ(dialog.GetSizeGrip()->GetRect().right, client.width);
        EXPECT_EQ(dialog.GetSizeGrip()->GetRect().bottom, client.height);
    }
    // Never smaller than it was first shown.
    window->SetClientSize(platform::Size{first.width / 2, first.height / 2});
    PumpFor(300);
    EXPECT_GE(window->ClientSize().width, first.width);
    EXPECT_GE(window->ClientSize().height, first.height);
    dialog.DestroyWindow();
}

}  // namespace
