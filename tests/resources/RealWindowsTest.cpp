// The program's windows as its resources make them, on an X server (resources_tests.RealWindows runs
// this on a virtual X server): the main window with its menu, picture buttons and song table in English and,
// with its Options menu open, in Japanese; the ripping dialog, the disc-information chooser, the proxy
// dialog and the About box. Screenshots go to GBX_SCREENSHOT_DIR as PNG files.
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/DialogTemplate.h"
#include "platform/window/Menu.h"
#include "platform/window/ReportList.h"
#include "platform/window/Window.h"
#include "resources/Resources.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/SongTableModel.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/AboutDialog.h"
#include "ui/Controls.h"
#include "ui/DialogLayout.h"
#include "ui/FrameWnd.h"
#include "ui/TableControl.h"

#include <boost/make_shared.hpp>

#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>

#include <array>
#include <memory>
#include <string>

namespace {

using gbxtest::OnRealDisplay;
using gbxtest::PumpFor;
using gbxtest::ShootAndCheck;

// The main form as the main view sets it up: picture buttons over the song table.
class MainForm : public UL::CFormViewEx {
public:
    MainForm() : UL::CFormViewEx(IDD_MAIN_FORM) {}
    ~MainForm() override { m_table.DestroyWindow(); }

    void OnInitialUpdate() override {
        UL::CFormViewEx::OnInitialUpdate();
        for (size_t i = 0; i < m_buttons.size(); ++i) {
            const resources::ScriptPicture& picture = resources::ScriptPictures()[i];
            auto strip = boost::make_shared<UL::CStatePicture>(picture.states, true, false);
            ASSERT_TRUE(strip->GetPicture().Load(std::string(GBX_SCRIPT_DIR) + "/" + picture.file));
            ASSERT_TRUE(m_buttons[i].SubclassDlgItem(kIds[i], *GetWindow()));
            m_buttons[i].Setup(picture.states == 8, strip, "", nullptr);
        }
        // Connected, on the Song tab, nothing unsaved.
        m_buttons[4].SetChecked(true);
        m_buttons[8].SetChecked(true);
        m_buttons[7].SetEnabled(false);
        ASSERT_TRUE(m_table.Attach(*dynamic_cast<platform::ReportList*>(GetWindow()->FindControl(IDC_SONG_TABLE))));
        m_table.SetModel(boost::make_shared<gbxtest::SongModel>(std::vector<gbxtest::SongRow>{
            {"Morning Light", "The Lanterns", 1, false},
            {"Harbour Road", "The Lanterns", 2, true},
            {"Paper Boats", "Mira Okada", 7, false},
        }));
        m_table.Rebuild();
        const platform::Size client = GetWindow()->ClientSize();
        Layout(client.width, client.height);
    }

protected:
    bool UsesFrameCommands() override { return false; }
    void Layout(int, int) override {
        UL::CDialogLayout layout(GetWindow(), &GetTemplate());
        for (int id : kIds) layout.Add(id, UL::kAnchorTopLeft, true);
        layout.Add(IDC_SONG_TABLE, UL::kAnchorAll);
    }

private:
    // In the order of the Script folder's pictures.
    static constexpr std::array<int, 9> kIds = {IDC_CD_RIPPING, IDC_IMPORT, IDC_EXPORT, IDC_DELETE, IDC_SONG,
                                                IDC_RHYTHM,     IDC_USER,   IDC_SAVE,   IDC_CONNECT};
    std::array<UL::CButtonA, 9> m_buttons;
    UL::CTableControl m_table;
};

class RealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!OnRealDisplay()) GTEST_SKIP() << "runs on an X server as resources_tests.RealWindows";
        ASSERT_TRUE(platform::StartWindowSystem());
        resources::RegisterProgramResources();
    }
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.Path()};
    gbxtest::ScopedEnvironment lcAll{"LC_ALL", nullptr};
    gbxtest::ScopedEnvironment lcMessages{"LC_MESSAGES", nullptr};
};

// A frame that handles the Options menu's commands, the first checked.
class Frame : public UL::CSDIFrameWndEx {
public:
    Frame() {
        SetCommandHandler(ID_OPTION_SAVE_MEMORY, [] {});
        SetUpdateHandler(ID_OPTION_SAVE_MEMORY, [](UL::CCmdUI& ui) { ui.SetCheck(1); });
        SetCommandHandler(ID_OPTION_PROXY, [] {});
    }
};

void ShowMainWindow(const std::string& file, bool openOptions) {
    Frame frame;
    ASSERT_TRUE(frame.LoadFrame(IDR_MAINFRAME, "Gigbox Setlister"));
    MainForm view;
    ASSERT_TRUE(view.Create(*frame.GetWindow()));
    frame.SetView(&view);
    view.OnInitialUpdate();
    frame.ShowWindow(UL::SW_SHOW);
    PumpFor(400);
    if (!openOptions) {
        ShootAndCheck(frame.GetWindow()->Widget(), file);
    } else {
        auto* bar = frame.GetWindow()->Widget()->findChild<QMenuBar*>();
        ASSERT_NE(bar, nullptr);
        bar->setActiveAction(bar->actions()[1]);
        PumpFor(400);
        const QRect area = frame.GetWindow()->Widget()->frameGeometry();
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
        ASSERT_TRUE(shot.save(QString::fromStdString(gbxtest::ScreenshotPath(file)), "PNG"));
        EXPECT_TRUE(bar->actions()[1]->menu()->isVisible());
        bar->actions()[1]->menu()->hide();
    }
    frame.SetView(nullptr);
    view.DestroyWindow();
    frame.DestroyWindow();
}

TEST_F(RealWindows, TheMainWindowInEnglish) {
    gbxtest::ScopedEnvironment lang("LANG", "en_US.UTF-8");
    ShowMainWindow("main-window.png", false);
}

TEST_F(RealWindows, TheMainWindowWithItsJapaneseOptionsMenuOpen) {
    gbxtest::ScopedEnvironment lang("LANG", "ja_JP.UTF-8");
    ShowMainWindow("main-window-japanese-menu.png", true);
}

// The dialogs as their templates lay them out, with the texts and pictures the program puts in.
TEST_F(RealWindows, TheDialogsAsTheirTemplatesLayThemOut) {
    platform::Image logo;
    ASSERT_TRUE(logo.Load(std::string(GBX_SCRIPT_DIR) + "/tm_logo60s.png"));
    UL::PremultiplyAlpha(logo);
    const struct {
        int id;
        const char* file;
        std::vector<std::pair<int, std::string>> texts;
    } dialogs[] = {
        {IDD_CD_RIPPING, "template-cd-ripping.png", {{IDC_ALBUM_TITLE, "Harbour Lights"}}},
        {IDD_CD_INFORMATION_SELECT,
         "template-cd-information-select.png",
         {{IDC_QUERY_MESSAGE, "Multiple items of CD information were found; please choose one."}}},
        {IDD_PROXY_SERVER, "template-proxy-server.png", {}},
    };
    for (const auto& d : dialogs) {
        platform::Window dialog(platform::WindowKind::Dialog);
        dialog.BuildFromTemplate(*platform::FindDialogTemplate(d.id));
        for (const auto& text : d.texts) dialog.FindControl(text.first)->SetText(text.second);
        if (auto* view = dynamic_cast<platform::PictureView*>(dialog.FindControl(IDC_VENDOR_LOGO))) {
            const platform::Rect r = view->GetRect();
            view->SetRect(platform::Rect{r.left, r.top, r.left + logo.Width(), r.top + logo.Height()});
            view->SetImage(logo);
            const platform::Control* reget = dialog.FindControl(IDC_REGET);
            EXPECT_LE(view->GetRect().right, reget->GetRect().left) << "the logo beside the button";
        }
        dialog.Show();
        PumpFor(300);
        ShootAndCheck(dialog.Widget(), d.file);
    }
    UL::CAboutDialogA about(IDR_MAINFRAME, IDD_ABOUTBOX, IDC_ABOUT_ICON, IDC_ABOUT_DESCRIPTION, IDC_ABOUT_VERSION,
                            IDC_ABOUT_LEGAL);
    gbxtest::WhenModalAppears([](QWidget* modal) {
        PumpFor(300);
        ShootAndCheck(modal, "about-box.png");
        gbxtest::PressKey(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(about.DoModal(), platform::kCommandCancel);
}

}  // namespace
