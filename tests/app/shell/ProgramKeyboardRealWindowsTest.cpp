// The program's own entry run in this process on an X server, worked by the keyboard alone as a user
// does (xdotool types on the display): the keyboard starts in the song table, at start and after a card
// connects; Down selects the first row, Right picks its name and Enter edits it; Tab goes from the table
// through the buttons and back, and each stop shows that it holds the keyboard.
#include "app/card/AppServices.h"
#include "platform/window/Controls.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/app/shell/VirtualScreen.h"
#include "tests/support/WidgetDriver.h"

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using cardtest::CCardEnvironment;
using shelltest::RunWithScript;
using shelltest::TestApp;

constexpr int kAnswerNo = 3;

// Keys as the user presses them: through the X server to the window that holds the X input focus.
bool Type(const std::string& keys) {
    const bool sent = gbxtest::Run("xdotool " + keys).exitCode == 0;
    gbxtest::PumpFor(150);
    return sent;
}

// Three songs on the card's Song list, written by a document of the test's own; the program reads them.
void WriteThreeSongs(const std::string& card) {
    std::filesystem::create_directories(card + "/CORVANE/QM/DB");
    CDocX& document = CCardEnvironment::Document();
    document.Reset();
    document.SetCardRoot(CDocX::MakeCardRoot(card));
    ASSERT_TRUE(document.Load());
    // Sorted by artist on the Song tab: Alpha, Beta, Gamma from the top.
    for (const auto& [title, artist] : {std::pair{"Beta", "B"}, std::pair{"Alpha", "A"}, std::pair{"Gamma", "C"}}) {
        CSongX* song = cardtest::AddSong(document, ".WAV", title, artist);
        document.MoveToSongs(song);
        document.MarkChanged(song);
    }
    ASSERT_TRUE(document.WriteToUnit());
    CCardEnvironment::ResetModel();
}

QImage Grab(QWidget* widget) { return widget->grab().toImage(); }

class ProgramKeyboardRealWindows : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
        if (!gbxtest::HaveCommand("xdotool")) GTEST_SKIP() << "xdotool is installed by scripts/install-deps.sh";
    }

    // The main window active and holding the X input focus, so that xdotool's keys reach it.
    static bool FocusWindow(QWidget* window) {
        window->activateWindow();
        const bool focused =
            gbxtest::Run("xdotool windowfocus --sync " + std::to_string(window->winId())).exitCode == 0;
        return gbxtest::PumpUntil([&] { return window->isActiveWindow(); }, 3000) && focused;
    }

    // Down selects the first row, Right makes its name the current cell and Enter opens its editor; a
    // name typed and Enter go to the song.
    static void EditTheFirstNameByKeys(CViewA& view) {
        CListCtrlA& table = view.GetTable();
        ASSERT_TRUE(Type("key Down"));
        const int first = table.ViewRowToModelRow(0);
        EXPECT_EQ(table.GetSelection()->GetSelected(), std::vector<int>{first}) << "Down selects the first row";
        EXPECT_EQ(table.GetSelection()->GetLead(), first);
        ASSERT_TRUE(Type("key Right"));
        EXPECT_EQ(table.GetColumnSelection()->GetLead(), CSongTableModel::NAME);
        ASSERT_TRUE(Type("key Return"));
        auto* edit = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(edit, nullptr) << "Enter opens the name's editor";
        EXPECT_EQ(edit->text().toStdString(), "Alpha");
        ASSERT_TRUE(Type("key ctrl+a type Qz7"));
        ASSERT_TRUE(Type("key Return"));
        const CSongList& songs = CCardEnvironment::Document().GetList(CDocX::LIST_SONGS);
        ASSERT_LT(size_t(first), songs.size());
        EXPECT_EQ(songs[size_t(first)].song->GetTitle(), "Qz7");
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "the keyboard is back in the table";
    }

    // Runs the program with the script, once its window holds the keyboard; whether the script ran
    // to its end.
    bool RunByKeys(std::function<void(CViewA& view, QWidget* window)> script) {
        TestApp app;
        bool done = false;
        RunWithScript(app, [&] {
            QWidget* window = app.Frame()->GetWindow()->Widget();
            EXPECT_TRUE(FocusWindow(window));
            script(*app.View(), window);
            done = !::testing::Test::HasFatalFailure();
            app.Frame()->Close();
        });
        return done;
    }

    CCardEnvironment env;
};

TEST_F(ProgramKeyboardRealWindows, AtStartTheKeyboardIsInTheTableAndTabGoesThroughTheButtonsAndBack) {
    WriteThreeSongs(env.CardDrive());
    ASSERT_TRUE(RunByKeys([&](CViewA& view, QWidget* window) {
        ASSERT_TRUE(view.IsConnectedFlag());
        CListCtrlA& table = view.GetTable();
        QWidget* tableWidget = table.GetList()->Widget();
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "the keyboard starts in the table";

        // From the table, Tab visits each enabled button in order, then the table again; each stop
        // looks otherwise while it holds the keyboard.
        std::vector<QWidget*> expected;
        for (int i = 0; i < CViewA::BUTTON_COUNT; ++i) {
            if (view.GetButton(i).IsEnabled()) expected.push_back(view.GetButton(i).GetControl()->Widget());
        }
        EXPECT_EQ(expected.size(), size_t(CViewA::BUTTON_COUNT - 1)) << "all but Save, with nothing to save";
        expected.push_back(tableWidget);
        QWidget* stop = tableWidget;
        QImage focused = Grab(stop);
        gbxtest::PumpFor(200);  // painted on the screen too
        gbxtest::ShootAndCheck(window, "gbx-keyboard-start.png");
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_TRUE(Type("key Tab"));
            EXPECT_EQ(QApplication::focusWidget(), expected[i]) << "stop " << i;
            EXPECT_NE(Grab(stop), focused) << "the stop before " << i << " showed that it held the keyboard";
            stop = QApplication::focusWidget();
            if (stop == nullptr) break;
            focused = Grab(stop);
            if (i == 0) {
                gbxtest::PumpFor(200);
                gbxtest::ShootAndCheck(window, "gbx-keyboard-first-button.png");
            }
        }
        ASSERT_TRUE(Type("key shift+Tab"));
        EXPECT_EQ(QApplication::focusWidget(), expected[expected.size() - 2]) << "Shift+Tab goes back";
        ASSERT_TRUE(Type("key Tab"));
        ASSERT_EQ(QApplication::focusWidget(), tableWidget);

        EditTheFirstNameByKeys(view);
        gbxtest::ShootAndCheck(window, "gbx-keyboard-edited.png");
        EXPECT_TRUE(view.GetButton(CViewA::BUTTON_SAVE).IsEnabled()) << "the edit is unsaved";
        dynamic_cast<platform::PushButton*>(view.GetButton(CViewA::BUTTON_SAVE).GetControl())->Click();
    }));

    // The card read back by a document of its own.
    CDocX& document = CCardEnvironment::Document();
    document.Reset();
    document.SetCardRoot(CDocX::MakeCardRoot(env.CardDrive()));
    ASSERT_TRUE(document.Load());
    std::vector<std::string> names;
    for (const CSongRef& entry : document.GetList(CDocX::LIST_SONGS)) names.push_back(entry.song->GetTitle());
    EXPECT_EQ(names, (std::vector<std::string>{"Beta", "Qz7", "Gamma"}));
}

// After a dialog the keyboard is back in the table: one opened from the menu by keys (the menu bar
// held the keyboard meanwhile), and the progress dialog, which disables the window while it runs.
// Under a window manager, which activates the main window again when a dialog goes, as on a desktop.
TEST_F(ProgramKeyboardRealWindows, AfterADialogTheKeyboardIsBackInTheTable) {
    if (!gbxtest::HaveCommand("openbox")) GTEST_SKIP() << "openbox is installed by scripts/install-deps.sh";
    shelltest::WindowManager manager;
    ASSERT_TRUE(manager.Running());
    WriteThreeSongs(env.CardDrive());
    ASSERT_TRUE(RunByKeys([&](CViewA& view, QWidget*) {
        CListCtrlA& table = view.GetTable();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }));
        ASSERT_TRUE(Type("key Down"));

        // The About box runs its own loop inside the key that opens it: Enter closes it from there.
        bool closed = false;
        QTimer closer;
        closer.setInterval(100);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (closed || dialog == nullptr || !dialog->isActiveWindow()) return;
            closed = true;
            Type("key Return");
        });
        closer.start();
        ASSERT_TRUE(Type("key alt+h"));
        ASSERT_TRUE(Type("key a"));
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return closed && QApplication::activeModalWidget() == nullptr; }));
        closer.stop();
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "after the About box";

        GT::IProgress& progress = GetProgressBar();
        progress.Begin();
        gbxtest::PumpFor(300);
        EXPECT_FALSE(table.HasFocus()) << "the progress dialog holds the keyboard";
        progress.End();
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "after the progress dialog";

        ASSERT_TRUE(Type("key Down"));
        const int second = table.ViewRowToModelRow(1);
        EXPECT_EQ(table.GetSelection()->GetSelected(), std::vector<int>{second}) << "the keys go on in the table";
    }));
}

TEST_F(ProgramKeyboardRealWindows, AfterACardConnectsTheKeyboardIsInTheTable) {
    // The card arrives after start-up, with its songs.
    const std::string card = env.Dir().File("later/QM-3");
    WriteThreeSongs(card);
    const std::string away = env.Dir().File("away");
    std::filesystem::rename(env.Dir().File("later"), away);
    gbxtest::ScopedEnvironment volumes("GBX_VOLUMES", card);
    ASSERT_TRUE(RunByKeys([&](CViewA& view, QWidget*) {
        CListCtrlA& table = view.GetTable();
        EXPECT_FALSE(view.IsConnectedFlag());
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "the only control that takes the keyboard";
        ASSERT_TRUE(Type("key Tab"));
        EXPECT_TRUE(table.HasFocus()) << "no other stop while every button is disabled";

        std::filesystem::rename(away, env.Dir().File("later"));
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return view.IsConnectedFlag(); }, 10000)) << "the card arrives";
        EXPECT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); })) << "the keyboard is in the table";
        EditTheFirstNameByKeys(view);
        env.textDialog.answers.push_back(kAnswerNo);  // to the question on closing
    }));
    EXPECT_EQ(env.textDialog.Texts(),
              (std::vector<std::string>{"The unit not found.", "Save changes to the database file?"}));
}

}  // namespace
