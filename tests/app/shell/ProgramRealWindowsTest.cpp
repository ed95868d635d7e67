// The whole program on an X server (app_shell_tests.RealWindows): the program's own entry run in
// this process with a card folder that arrives after start-up, two files dropped on the window (a
// WAV file encoded to Voxa and an MP3 file), a name edited in the table, the database written and
// the window closed, then the card read back; the window in Japanese; and the program itself started,
// connected to its card and ended by a signal. Screenshots are saved in the suite's build folder.
#include "app/card/AppServices.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/Input.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/support/LocaleScope.h"
#include "tests/support/WidgetDriver.h"
#include "ui/InputInfo.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

extern char** environ;

namespace {

using cardtest::CCardEnvironment;
using shelltest::RunWithScript;
using shelltest::TestApp;

constexpr const char* kEditedName = "Harbour Lights";

void DropFiles(QWidget* window, const std::vector<std::string>& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const std::string& path : paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data->setUrls(urls);
    const QPointF at(window->width() / 2.0, window->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    delete data;
}

class ProgramRealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    }
};

TEST_F(ProgramRealWindows, ConnectsImportsTwoDroppedFilesEditsANameWritesAndCloses) {
    if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
    CCardEnvironment env;
    // The card arrives after start-up.
    const std::string card = env.Dir().File("later/QM-3");
    gbxtest::ScopedEnvironment volumes("GBX_VOLUMES", card);
    const std::string wav = env.Dir().File("tmp/Morning Tone.wav");
    const std::string mp3 = env.Dir().File("tmp/Evening Tone.mp3");
    ASSERT_TRUE(cardtest::MakeSound(wav, "-r 44100 -c 2 -b 16 -e signed-integer", "2"));
    ASSERT_TRUE(cardtest::MakeSound(env.Dir().File("tmp/evening.wav"), "-r 44100 -c 2 -b 16 -e signed-integer", "2"));
    ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 " + gbxtest::Quote(env.Dir().File("tmp/evening.wav")) + " "
                           + gbxtest::Quote(mp3))
                  .exitCode,
              0);

    TestApp app;
    bool scriptDone = false;
    RunWithScript(app, [&] {
        CViewA* view = app.View();
        QWidget* window = app.Frame()->GetWindow()->Widget();
        gbxtest::PumpFor(300);
        EXPECT_FALSE(view->IsConnectedFlag());
        gbxtest::ShootAndCheck(window, "gbx-main-empty.png");

        std::filesystem::create_directories(card);
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return view->IsConnectedFlag(); }, 10000)) << "the card arrives";
        gbxtest::PumpFor(300);
        gbxtest::ShootAndCheck(window, "gbx-main-connected.png");

        EXPECT_TRUE(CCardEnvironment::Document().GetSaveMemory());
        DropFiles(window, {wav, mp3});
        const CSongList& songs = CCardEnvironment::Document().GetList(CDocX::LIST_SONGS);
        EXPECT_EQ(songs.size(), 2u) << ::testing::PrintToString(env.textDialog.Texts());
        gbxtest::PumpFor(300);
        gbxtest::ShootAndCheck(window, "gbx-main-imported.png");

        // The name of the first row, edited in its cell as a user types it.
        CListCtrlA& table = view->GetTable();
        const int row = table.ViewRowToModelRow(0);
        ASSERT_GE(row, 0);
        UL::ITableCellEditor* editor = table.GetEditor(row, CSongTableModel::NAME);
        ASSERT_NE(editor, nullptr);
        // Enter on the cell, as the table hands a key to the current cell's editor.
        ASSERT_TRUE(editor->StartByKey(&table, row, CSongTableModel::NAME,
                                       UL::CKeyInfo{UL::CKeyInfo::kKeyDown, platform::kKeyEnter, 0}));
        auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(edit, nullptr);
        edit->selectAll();
        edit->insert(QString::fromUtf8(kEditedName));
        gbxtest::PressKey(edit, Qt::Key_Return);
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return view->GetButton(CViewA::BUTTON_SAVE).IsEnabled(); }))
            << "the edit is unsaved";

        dynamic_cast<platform::PushButton*>(view->GetButton(CViewA::BUTTON_SAVE).GetControl())->Click();
        EXPECT_FALSE(CCardEnvironment::Document().NeedsSaving());
        scriptDone = true;
        app.Frame()->Close();
    });
    ASSERT_TRUE(scriptDone);
    EXPECT_TRUE(app.IsInitialised());
    EXPECT_EQ(env.textDialog.Texts(), std::vector<std::string>{"The unit not found."}) << "only at start-up";

    // The card read back by a document of its own.
    CDocX& document = CCardEnvironment::Document();
    document.Reset();
    document.SetCardRoot(CDocX::MakeCardRoot(card));
    ASSERT_TRUE(document.Load());
    std::vector<std::string> names, paths;
    for (const CSongRef& entry : document.GetList(CDocX::LIST_SONGS)) {
        names.push_back(entry.song->GetTitle());
        paths.push_back(entry.song->GetPath());
    }
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(std::find(names.begin(), names.end(), kEditedName), names.end()) << ::testing::PrintToString(names);
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"/CORVANE/QM/DB/000/0000.Q3R", "/CORVANE/QM/DB/000/0001.mp3"}));
    for (const std::string& path : paths) EXPECT_TRUE(std::filesystem::exists(card + path)) << path;
}

// The whole screen, for a window together with the box or chooser over it.
void ShootScreen(const std::string& file) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const std::string path = gbxtest::ScreenshotPath(file);
    EXPECT_TRUE(shot.save(QString::fromStdString(path), "PNG")) << path;
}

TEST_F(ProgramRealWindows, InJapanese) {
    CCardEnvironment env;
    gbxtest::LanguageScope japanese("ja_JP.UTF-8");
    // The real message box and song file chooser, in the toolkit's Japanese.
    SetTextDialog(nullptr);
    CFileDialogX::SetInstance(nullptr);
    TestApp app;
    QStringList boxButtons, chooserButtons;
    RunWithScript(app, [&] {
        gbxtest::PumpFor(300);
        EXPECT_EQ(GetTextCodeTable().GetLanguage(), 1);
        EXPECT_TRUE(app.View()->IsConnectedFlag());
        QWidget* window = app.Frame()->GetWindow()->Widget();
        gbxtest::ShootAndCheck(window, "gbx-main-japanese.png");

        gbxtest::WhenModalAppears([&](QWidget* modal) {
            gbxtest::PumpFor(300);
            for (QAbstractButton* button : modal->findChildren<QAbstractButton*>())
                boxButtons << button->text().remove('&');
            ShootScreen("gbx-japanese-message-box.png");
            gbxtest::PressKey(modal, Qt::Key_Escape);
        });
        CModalManager::GetInstance().AskOkCancel(MSG_OK_TO_DELETE);

        gbxtest::WhenModalAppears([&](QWidget* modal) {
            gbxtest::PumpFor(500);
            for (QAbstractButton* button : modal->findChildren<QAbstractButton*>())
                if (!button->text().isEmpty()) chooserButtons << button->text().remove('&');
            ShootScreen("gbx-japanese-file-chooser.png");
            gbxtest::ShootAndCheck(modal, "gbx-japanese-file-chooser-window.png");
            gbxtest::PressKey(modal, Qt::Key_Escape);
        });
        std::vector<std::string> paths;
        CModalManager::GetInstance().ChooseSongFiles(paths);
        app.Frame()->Close();
    });
    EXPECT_TRUE(app.IsInitialised());
    EXPECT_TRUE(boxButtons.contains(QStringLiteral("キャンセル"))) << boxButtons.join(',').toStdString();
    EXPECT_TRUE(chooserButtons.contains(QStringLiteral("キャンセル"))) << chooserButtons.join(',').toStdString();
    // The next tests speak English again.
    gbxtest::LanguageScope english("en_US.UTF-8");
    platform::ApplyUserLanguage();
}

// The Rhythm tab's columns fit their own headers ("Rhythm Name" whole), not the Song tab's.
TEST_F(ProgramRealWindows, TheRhythmTabShowsItsOwnHeadersWhole) {
    CCardEnvironment env;
    TestApp app;
    RunWithScript(app, [&] {
        CViewA* view = app.View();
        dynamic_cast<platform::PushButton*>(view->GetButton(CViewA::BUTTON_RHYTHM).GetControl())->Click();
        gbxtest::PumpFor(300);
        gbxtest::ShootAndCheck(app.Frame()->GetWindow()->Widget(), "gbx-rhythm-tab.png");
        CListCtrlA& table = view->GetTable();
        for (int column = 0; column + 1 < table.GetColumnCount(); ++column) {
            const int shown = table.GetColumnWidth(column);
            table.SetColumnWidth(column, -2);
            EXPECT_EQ(shown, table.GetColumnWidth(column)) << column;
        }
        app.Frame()->Close();
    });
    EXPECT_TRUE(app.IsInitialised());
}

TEST_F(ProgramRealWindows, TheProgramStartsConnectsItsCardAndEndsCleanlyOnASignal) {
    CCardEnvironment env;
    gbxtest::ScopedEnvironment noLeakCheck("ASAN_OPTIONS", "detect_leaks=0");
    const std::string lockFile = env.Dir().File("run") + "/InstanceManagerGigbox Setlister";
    const pid_t child = shelltest::Spawn({GBX_PROGRAM});
    ASSERT_GT(child, 0);
    EXPECT_TRUE(shelltest::WaitUntilStarted(lockFile));
    gbxtest::PumpFor(500);
    ASSERT_EQ(kill(child, SIGTERM), 0);
    // A message box ("The unit not found.") would keep the window from closing.
    const int status = shelltest::WaitForEnd(child, 30000);
    EXPECT_NE(status, -1) << "the program ends when asked";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string settings = shelltest::ReadFile(shelltest::SettingsFile(env));
    EXPECT_NE(settings.find("SaveMemory=1"), std::string::npos) << "stored after a completed start-up\n" << settings;
    EXPECT_NE(settings.find("[SongTableControl]"), std::string::npos) << settings;
}

}  // namespace
