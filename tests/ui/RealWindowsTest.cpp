// The progress dialog and the About box in real windows on an X server (ui_tests.RealWindows runs this
// under xvfb-run); screenshots go to GBX_SCREENSHOT_DIR as PNG files.
#include "platform/window/Application.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Window.h"
#include "tests/support/WidgetDriver.h"
#include "ui/AboutDialog.h"
#include "ui/ProgressBar.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>

#include <cstdlib>
#include <string>

namespace {

bool OnRealDisplay() {
    const char* name = std::getenv("QT_QPA_PLATFORM");
    return name != nullptr && std::string(name) == "xcb";
}

std::string ScreenshotPath(const std::string& name) {
    const char* dir = std::getenv("GBX_SCREENSHOT_DIR");
    return std::string(dir != nullptr ? dir : ".") + "/" + name;
}

void PumpFor(int ms) {
    gbxtest::PumpUntil([] { return false; }, ms);
}

// Grabs the window from the screen, saves it, reads the file back and checks what it holds.
void ShootAndCheck(QWidget* window, const std::string& file) {
    ASSERT_NE(window, nullptr);
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window->winId()).toImage();
    const std::string path = ScreenshotPath(file);
    ASSERT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
    const QImage saved(QString::fromStdString(path));
    ASSERT_FALSE(saved.isNull()) << path;
    EXPECT_EQ(saved.size(), window->size()) << file;
    QSet<QRgb> colours;
    for (int y = 0; y < saved.height(); y += 2)
        for (int x = 0; x < saved.width(); x += 2) colours.insert(saved.pixel(x, y));
    EXPECT_GE(colours.size(), 3) << file << " looks blank";
}

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
    EXPECT_EQ(progress.GetBarPos(), 3);
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

}  // namespace
