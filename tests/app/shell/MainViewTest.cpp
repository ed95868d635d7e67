// The main window over the card document: the buttons' and the menu's states through model events,
// connecting and disconnecting with the save question, the tabs, Ctrl+A, drops, device notices and
// everything the window refuses while a modal window runs.
#include "app/card/MessageTable.h"
#include "platform/window/Controls.h"
#include "platform/window/Menu.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "tests/ui/TableTestSupport.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include <boost/make_shared.hpp>

#include <array>

namespace {

using cardtest::CCardEnvironment;
using shelltest::TestApp;

constexpr int kAnswerYes = 2;
constexpr int kAnswerNo = 3;
constexpr int kAnswerCancel = 1;

class MainViewTest : public ::testing::Test {
public:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(app.InitInstance());
        frame = app.Frame();
        view = app.View();
        ASSERT_NE(frame, nullptr);
        ASSERT_NE(view, nullptr);
    }
    void TearDown() override {
        if (app.Frame() != nullptr) app.Frame()->DestroyWindow();
        app.ExitInstance();
    }
    static CDocX& Doc() { return CCardEnvironment::Document(); }
    void Click(int button) {
        auto* control = dynamic_cast<platform::PushButton*>(view->GetButton(button).GetControl());
        ASSERT_NE(control, nullptr);
        control->Click();
    }
    bool MenuChecked(int id) {
        app.OnIdle(0);
        return frame->GetWindow()->Menu()->IsItemChecked(id);
    }
    // Two songs on the card, imported as the Import button does.
    void ImportTwoSongs() {
        if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
        const std::string a = env.Dir().File("tmp/a.wav"), b = env.Dir().File("tmp/b.wav");
        ASSERT_TRUE(cardtest::MakeSound(a, "-r 44100 -c 2 -b 16 -e signed-integer", "1.5"));
        ASSERT_TRUE(cardtest::MakeSound(b, "-r 44100 -c 2 -b 16 -e signed-integer", "1.5"));
        env.fileDialog.answer = 0;
        env.fileDialog.chosen = {a, b};
        Click(CViewA::BUTTON_IMPORT);
        ASSERT_EQ(Doc().GetList(CDocX::LIST_SONGS).size(), 2u) << ::testing::PrintToString(env.textDialog.Texts());
    }

    CCardEnvironment env;
    TestApp app;
    CMainFrame* frame = nullptr;
    CViewA* view = nullptr;
};

struct StateCase {
    const char* name;
    std::function<void(MainViewTest&)> action;
    bool operations;  // CD ripping, Import, Export, Delete, Song, Rhythm, User
    bool save;
    bool connect;  // enabled and checked
    int tab;
    bool saveMemoryChecked;
};

TEST_F(MainViewTest, ButtonsAndMenuFollowTheDocumentThroughModelEvents) {
    CDocumentModel& model = CDocumentModel::GetInstance();
    const std::string card = env.CardDrive();
    const StateCase cases[] = {
        {"after start-up: connected", [](MainViewTest&) {}, true, false, true, 0, true},
        {"a change to save",
         [&](MainViewTest&) {
             Doc().SetModified(1);
             model.Notify(CModelEvent(CModelEvent::SONGS_DELETED));
         },
         true, true, true, 0, true},
        {"Rhythm tab", [](MainViewTest& t) { t.Click(CViewA::BUTTON_RHYTHM); }, true, true, true, 1, true},
        {"User tab", [](MainViewTest& t) { t.Click(CViewA::BUTTON_USER); }, true, true, true, 2, true},
        {"SaveMemory off from the menu", [](MainViewTest& t) { t.frame->OnMenuCommand(CViewA::ID_SAVE_MEMORY); }, true,
         true, true, 2, false},
        {"written", [](MainViewTest& t) { t.Click(CViewA::BUTTON_SAVE); }, true, false, true, 2, false},
        {"the card's volume goes",
         [&](MainViewTest&) { CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_REMOVAL, card); }, false,
         false, false, 2, false},
        {"another volume arrives: still no card",
         [&](MainViewTest& t) {
             CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, t.env.Dir().File("tmp"));
         },
         true, false, true, 2, false},
        {"the card arrives back",
         [&](MainViewTest&) { CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, card); }, true,
         false, true, 2, false},
        {"Song tab", [](MainViewTest& t) { t.Click(CViewA::BUTTON_SONG); }, true, false, true, 0, false},
    };
    for (const StateCase& c : cases) {
        c.action(*this);
        for (int i : {CViewA::BUTTON_CD_RIPPING, CViewA::BUTTON_IMPORT, CViewA::BUTTON_EXPORT, CViewA::BUTTON_DELETE,
                      CViewA::BUTTON_SONG, CViewA::BUTTON_RHYTHM, CViewA::BUTTON_USER})
            EXPECT_EQ(view->GetButton(i).IsEnabled(), c.operations) << c.name << ", button " << i;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_SAVE).IsEnabled(), c.save) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_CONNECT).IsEnabled(), c.connect) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_CONNECT).IsChecked(), c.connect) << c.name;
        EXPECT_EQ(view->IsConnectedFlag(), c.connect) << c.name;
        EXPECT_EQ(model.GetShownTab(), c.tab) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_SONG).IsChecked(), c.tab == 0) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_RHYTHM).IsChecked(), c.tab == 1) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_USER).IsChecked(), c.tab == 2) << c.name;
        EXPECT_EQ(MenuChecked(CViewA::ID_SAVE_MEMORY), c.saveMemoryChecked) << c.name;
    }
}

struct DisconnectCase {
    const char* name;
    int answer;                 // to "Save changes to the database file?"
    bool removeCardWhileAsked;  // the card's volume goes while the question is open
    bool staysConnected;
    std::vector<std::string> texts;  // every message shown
};

TEST_F(MainViewTest, DisconnectingAsksAboutUnsavedChangesFirst) {
    const std::string ask = "Save changes to the database file?";
    const DisconnectCase cases[] = {
        {"Cancel keeps the card", kAnswerCancel, false, true, {ask}},
        {"No disconnects without writing", kAnswerNo, false, false, {ask}},
        {"Yes writes, then disconnects", kAnswerYes, false, false, {ask}},
        {"the card went meanwhile: nothing to eject, no eject failure told",
         kAnswerYes,
         true,
         false,
         {ask, "The unit not found."}},
    };
    for (const DisconnectCase& c : cases) {
        if (!view->IsConnectedFlag())
            CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, env.CardDrive());
        ASSERT_TRUE(view->IsConnectedFlag()) << c.name;
        Doc().SetModified(1);
        env.textDialog.shown.clear();
        env.textDialog.answers = {c.answer};
        if (c.removeCardWhileAsked) {
            env.textDialog.whileOpen = [&] {
                CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_REMOVAL, env.CardDrive());
            };
        }
        Click(CViewA::BUTTON_CONNECT);
        EXPECT_EQ(env.textDialog.Texts(), c.texts) << c.name;
        EXPECT_EQ(view->IsConnectedFlag(), c.staysConnected) << c.name;
        EXPECT_EQ(Doc().IsConnected(), c.staysConnected) << c.name;
        EXPECT_EQ(view->GetButton(CViewA::BUTTON_CONNECT).IsChecked(), c.staysConnected) << c.name;
        if (c.answer == kAnswerYes && !c.removeCardWhileAsked) {
            EXPECT_TRUE(std::filesystem::exists(env.DatabaseFolder() + "SONGNAME.Q3D")) << c.name;
        }
        Doc().SetModified(0);
    }
}

TEST_F(MainViewTest, ACardWhoseDatabaseCannotBeReadIsNotConnectedAgain) {
    Click(CViewA::BUTTON_CONNECT);  // nothing unsaved: ejected at once
    ASSERT_FALSE(view->IsConnectedFlag());
    std::filesystem::create_directories(env.DatabaseFolder());
    gbxtest::WriteText(env.DatabaseFolder() + "SONGNAME.Q3D", "not a database");
    env.textDialog.shown.clear();
    CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, env.CardDrive());
    EXPECT_FALSE(view->IsConnectedFlag());
    EXPECT_FALSE(view->GetButton(CViewA::BUTTON_CONNECT).IsEnabled());
    EXPECT_FALSE(view->GetButton(CViewA::BUTTON_IMPORT).IsEnabled());
    ASSERT_FALSE(env.textDialog.shown.empty());
    EXPECT_EQ(env.textDialog.Texts().front(), GetTextCodeTable().GetText(MSG_READ_FAILED));
    // Later arrivals pass the refused card by until its volume has gone.
    env.textDialog.shown.clear();
    CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, env.Dir().File("tmp"));
    EXPECT_FALSE(view->IsConnectedFlag());
    EXPECT_TRUE(env.textDialog.shown.empty());
}

TEST_F(MainViewTest, TabsKeepTheirOwnColumnWidthsAndCtrlASelectsEverySong) {
    ImportTwoSongs();
    EXPECT_EQ(view->GetTable().GetSelection()->GetSelected().size(), 2u) << "the imported songs are selected";
    view->GetTable().GetSelection()->SetAll(false);

    frame->GetWindow()->Activate();
    gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(view->GetTable().GetSelection()->GetSelected(), (std::vector<int>{0, 1}));
    EXPECT_EQ(view->GetSelectedSongs().size(), 2u);

    EXPECT_EQ(view->GetTable().GetColumnCount(), 5);
    Click(CViewA::BUTTON_RHYTHM);
    EXPECT_EQ(view->GetTable().GetColumnCount(), 3);
    EXPECT_TRUE(view->GetTable().GetSelection()->GetSelected().empty()) << "switching clears the selection";
    EXPECT_EQ(view->GetTable().GetItemCount(), 0);
    const std::string settings = shelltest::ReadFile(shelltest::SettingsFile(env));
    EXPECT_NE(settings.find("[SongTableControl]"), std::string::npos) << settings;
    Click(CViewA::BUTTON_SONG);
    EXPECT_EQ(view->GetTable().GetItemCount(), 2);
}

// The protect editor writes nothing until Enter: Esc after Off to On leaves every selected song as it
// was, not only the one the editor stood on.
TEST_F(MainViewTest, TheProtectEditorWritesTheSelectedSongsOnlyOnEnter) {
    ImportTwoSongs();
    frame->GetWindow()->Show();
    frame->GetWindow()->Activate();
    CListCtrlA& table = view->GetTable();
    ASSERT_EQ(table.GetSelection()->GetSelected(), (std::vector<int>{0, 1}));
    const int protect = CSongTableModel::MapModelColumn(CDocumentModel::TAB_SONG, CSongTableModel::PROTECT);
    const auto flags = [&] {
        std::vector<bool> on;
        for (int row = 0; row < 2; ++row) on.push_back(table.GetModel()->GetValueAt(row, protect).GetBool());
        return on;
    };
    for (const int end : {Qt::Key_Escape, Qt::Key_Return}) {
        SCOPED_TRACE(end == Qt::Key_Escape ? "Esc" : "Enter");
        UL::ITableCellEditor* editor = table.GetEditor(1, protect);
        ASSERT_NE(editor, nullptr);
        ASSERT_TRUE(
            editor->StartByKey(&table, 1, protect, UL::CKeyInfo{UL::CKeyInfo::kKeyDown, platform::kKeyEnter, 0}));
        // The popup's drop-down list over the cell (the window off screen may not have the keyboard).
        QWidget* combo = nullptr;
        for (QComboBox* shown : table.GetList()->ItemArea()->findChildren<QComboBox*>())
            if (shown->isVisible()) combo = shown;
        ASSERT_NE(combo, nullptr);
        gbxtest::PressKey(combo, Qt::Key_Down);  // Off to On
        EXPECT_EQ(flags(), (std::vector<bool>{false, false})) << "nothing written while the popup is open";
        gbxtest::PressKey(combo, end);
        EXPECT_EQ(table.GetActiveEditor(), nullptr);
        const bool on = end == Qt::Key_Return;
        EXPECT_EQ(flags(), (std::vector<bool>{on, on}));
        EXPECT_EQ(Doc().NeedsSaving(), on);
    }
}

// Nothing stored yet: every column of each tab fits that tab's own header, not the one shown before.
TEST_F(MainViewTest, EachTabsDefaultWidthsFitItsOwnHeaders) {
    CListCtrlA& table = view->GetTable();
    for (const int button : {CViewA::BUTTON_RHYTHM, CViewA::BUTTON_USER, CViewA::BUTTON_SONG}) {
        Click(button);
        for (int column = 0; column < table.GetColumnCount(); ++column) {
            const int shown = table.GetColumnWidth(column);
            table.SetColumnWidth(column, -2);
            EXPECT_EQ(shown, table.GetColumnWidth(column)) << "button " << button << ", column " << column;
        }
    }
}

TEST_F(MainViewTest, DroppedFilesAreImportedOnlyWhileACardIsConnected) {
    if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
    const std::string a = env.Dir().File("tmp/dropped.wav");
    ASSERT_TRUE(cardtest::MakeSound(a, "-r 44100 -c 2 -b 16 -e signed-integer", "1.5"));
    cardtest::CRecordingListener listener;
    CDocumentModel::GetInstance().AddListener(&listener);
    frame->OnDropFiles({a});
    EXPECT_EQ(Doc().GetList(CDocX::LIST_SONGS).size(), 1u);
    EXPECT_EQ(listener.events, std::vector<int>{CModelEvent::IMPORT_ENDED});
    EXPECT_EQ(view->GetSelectedSongs().size(), 1u);

    Click(CViewA::BUTTON_CONNECT);
    listener.events.clear();
    frame->OnDropFiles({a});
    EXPECT_TRUE(listener.events.empty()) << "ignored without a card";
    CDocumentModel::GetInstance().RemoveListener(&listener);
}

TEST_F(MainViewTest, WhileAModalWindowRunsTheMainWindowRefusesEverything) {
    if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
    const std::string a = env.Dir().File("tmp/dropped.wav");
    ASSERT_TRUE(cardtest::MakeSound(a, "-r 44100 -c 2 -b 16 -e signed-integer", "1.5"));
    Doc().SetModified(1);
    bool choserOpened = false;
    env.fileDialog.whileOpen = [&] { choserOpened = true; };
    cardtest::CRecordingListener listener;
    CDocumentModel::GetInstance().AddListener(&listener);
    env.textDialog.whileOpen = [&] {
        EXPECT_TRUE(CMainFrame::IsBusy());
        frame->OnDropFiles({a});
        Click(CViewA::BUTTON_IMPORT);
        Click(CViewA::BUTTON_RHYTHM);
        Click(CViewA::BUTTON_CONNECT);
        frame->OnMenuCommand(CViewA::ID_SAVE_MEMORY);
        frame->GetWindow()->Activate();
        gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_A, Qt::ControlModifier);
        frame->Close();
    };
    CModalManager::GetInstance().ShowMessageById(MSG_UNIT_NOT_FOUND);
    EXPECT_FALSE(CMainFrame::IsBusy());
    EXPECT_EQ(env.textDialog.shown.size(), 1u) << "closing asked nothing";
    EXPECT_FALSE(choserOpened);
    EXPECT_TRUE(Doc().GetList(CDocX::LIST_SONGS).empty());
    EXPECT_TRUE(listener.events.empty());
    EXPECT_EQ(CDocumentModel::GetInstance().GetShownTab(), 0);
    EXPECT_TRUE(view->GetButton(CViewA::BUTTON_CONNECT).IsChecked());
    EXPECT_TRUE(view->GetButton(CViewA::BUTTON_SONG).IsChecked());
    EXPECT_FALSE(view->GetButton(CViewA::BUTTON_RHYTHM).IsChecked());
    EXPECT_TRUE(Doc().GetSaveMemory());
    EXPECT_TRUE(view->IsConnectedFlag());
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(frame->GetWindow()->IsVisible()) << "the window stays";
    CDocumentModel::GetInstance().RemoveListener(&listener);

    // Afterwards the same close asks about the unsaved changes; Cancel keeps the window.
    env.textDialog.answers = {kAnswerCancel};
    frame->Close();
    EXPECT_EQ(env.textDialog.Texts().back(), "Save changes to the database file?");
    EXPECT_TRUE(frame->GetWindow()->IsVisible());
}

// The first song's name typed into its editor, left open.
QLineEdit* TypeIntoTheFirstName(CListCtrlA& table, const QString& text) {
    const int name = CSongTableModel::MapModelColumn(CDocumentModel::TAB_SONG, CSongTableModel::NAME);
    table.GetSelection()->SetSelected(std::vector<int>{0});
    UL::ITableCellEditor* editor = table.GetEditor(0, name);
    if (editor == nullptr
        || !editor->StartByKey(&table, 0, name, UL::CKeyInfo{UL::CKeyInfo::kKeyDown, platform::kKeyEnter, 0}))
        return nullptr;
    for (QLineEdit* shown : table.GetList()->ItemArea()->findChildren<QLineEdit*>()) {
        if (!shown->isVisible()) continue;
        gbxtest::TypeText(shown, text);
        return shown;
    }
    return nullptr;
}

// Closing (the close box, Alt+F4, a signal) with a name editor open commits the name first and then asks
// about the unsaved changes, whether or not there were others before.
TEST_F(MainViewTest, ClosingCommitsAnOpenNameEditorBeforeItAsks) {
    ImportTwoSongs();
    frame->GetWindow()->Show();
    for (const bool otherChange : {false, true}) {
        SCOPED_TRACE(otherChange ? "another unsaved change" : "no other change");
        if (otherChange) Doc().SetModified(1);
        const std::string typed = otherChange ? "Second" : "Qz7";
        ASSERT_NE(TypeIntoTheFirstName(view->GetTable(), QString::fromStdString(typed)), nullptr);
        env.textDialog.shown.clear();
        env.textDialog.answers = {kAnswerCancel};
        frame->Close();
        EXPECT_EQ(view->GetTable().GetActiveEditor(), nullptr);
        EXPECT_EQ(Doc().GetList(CDocX::LIST_SONGS)[0].song->GetTitle(), typed);
        EXPECT_EQ(env.textDialog.Texts(), std::vector<std::string>{"Save changes to the database file?"});
        ASSERT_NE(app.Frame(), nullptr);
        EXPECT_TRUE(frame->GetWindow()->IsVisible()) << "Cancel keeps the window";
    }
}

// A song table whose every write is refused with message 36, as a name the card cannot take is.
class RefusingSongTableModel : public CSongTableModel {
public:
    void SetValueAt(const UL::CCellValue&, int, int) override {
        CModalManager::GetInstance().ShowMessageById(MSG_TOO_MANY_NAMES);
    }
};

TEST_F(MainViewTest, ACommitThatShowsAMessageEndsTheCloseThere) {
    ImportTwoSongs();
    frame->GetWindow()->Show();
    Doc().SetModified(1);
    view->GetTable().SetModel(boost::make_shared<RefusingSongTableModel>());
    view->GetTable().Refresh();
    ASSERT_NE(TypeIntoTheFirstName(view->GetTable(), "Qz7"), nullptr);
    env.textDialog.shown.clear();
    frame->Close();
    EXPECT_EQ(view->GetTable().GetActiveEditor(), nullptr);
    EXPECT_EQ(env.textDialog.Texts(), std::vector<std::string>{GetTextCodeTable().GetText(MSG_TOO_MANY_NAMES)})
        << "no question after the message";
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(frame->GetWindow()->IsVisible());
}

// Save pressed by Space disables itself: the keyboard goes to the table, where a second Space selects,
// not to the next button (Connect), where it would disconnect the card.
TEST_F(MainViewTest, AButtonThatDisablesItselfHandsTheKeyboardToTheTable) {
    ImportTwoSongs();
    frame->GetWindow()->Show();
    frame->GetWindow()->Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return frame->GetWindow()->IsActive(); }));
    Doc().SetModified(1);
    view->Refresh();
    platform::Control* save = view->GetButton(CViewA::BUTTON_SAVE).GetControl();
    ASSERT_TRUE(view->GetButton(CViewA::BUTTON_SAVE).IsEnabled());
    save->SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return save->HasFocus(); }));
    gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_Space);
    EXPECT_FALSE(view->GetButton(CViewA::BUTTON_SAVE).IsEnabled()) << "written";
    EXPECT_TRUE(view->GetTable().HasFocus());
    gbxtest::PressKey(frame->GetWindow()->Widget(), Qt::Key_Space);
    EXPECT_TRUE(view->IsConnectedFlag()) << "the card is still connected";
}

// The keyboard starts in the table, and is there again once a card connects, wherever it was.
TEST_F(MainViewTest, TheKeyboardIsInTheTableAtStartAndAfterACardConnects) {
    QWidget* table = view->GetTable().GetList()->Widget();
    ASSERT_TRUE(view->IsConnectedFlag());
    EXPECT_EQ(frame->GetWindow()->Widget()->focusWidget(), table) << "at start, before the window shows";
    frame->GetWindow()->Show();
    frame->GetWindow()->Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return view->GetTable().HasFocus(); })) << "once it shows";
    const std::string card = env.CardDrive();
    CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_REMOVAL, card);
    ASSERT_FALSE(view->IsConnectedFlag());
    table->clearFocus();  // the keyboard is elsewhere (another window, say)
    CDeviceChangeHandler::GetInstance().OnDeviceChange(GT::DEVICE_ARRIVAL, card);
    ASSERT_TRUE(view->IsConnectedFlag());
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return view->GetTable().HasFocus(); })) << "after the card connects";
}

TEST_F(MainViewTest, DeviceNoticesAreClassifiedIntoModelEvents) {
    cardtest::CRecordingListener listener;
    CDocumentModel::GetInstance().AddListener(&listener);
    CDeviceChangeHandler& handler = CDeviceChangeHandler::GetInstance();
    const std::string other = env.Dir().File("tmp");
    EXPECT_TRUE(handler.OnDeviceChange(GT::DEVICE_REMOVAL, other));
    EXPECT_TRUE(handler.OnDeviceChange(GT::DEVICE_ARRIVAL, "/dev/gbx-no-such-drive"));
    EXPECT_FALSE(handler.OnDeviceChange(7, other)) << "an unknown kind does nothing";
    EXPECT_TRUE(handler.OnDeviceChange(GT::DEVICE_REMOVAL, env.CardDrive()));
    EXPECT_TRUE(handler.OnDeviceChange(GT::DEVICE_REMOVAL, env.CardDrive())) << "no card any more";
    const std::vector<int> expected = {CModelEvent::DRIVE_REMOVED, CModelEvent::VOLUME_ARRIVED, CModelEvent::CARD_GONE,
                                       CModelEvent::DRIVE_REMOVED};
    EXPECT_EQ(std::vector<int>(listener.events.begin(), listener.events.begin() + 4), expected);
    EXPECT_EQ(listener.texts[0], other);
    CDocumentModel::GetInstance().RemoveListener(&listener);
}

}  // namespace
