#include "app/card/ModalManager.h"

#include "app/card/MessageTable.h"
#include "tests/app/card/CardTestSupport.h"

#include <gtest/gtest.h>

namespace {

using cardtest::CCardEnvironment;
using cardtest::CRecordingListener;

const char kUnitNotFound[] = "The unit not found.";
const char kWriteFailed[] = "Failed to write to the unit.";

class ModalManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        model.AddListener(&view);
        environment.Connect();
    }
    void TearDown() override {
        model.RemoveListener(&view);
        EXPECT_EQ(manager.GetNestingCount(), 0);
        EXPECT_FALSE(manager.IsRemovalDeferred());
    }
    // A removal notice of the card's volume, as the device-change handler routes it.
    void RemoveCard() { manager.RouteDeviceEvent(CModelEvent(CModelEvent::CARD_GONE, environment.CardDrive())); }

    CCardEnvironment environment;
    CDocumentModel& model = CDocumentModel::GetInstance();
    CModalManager& manager = CModalManager::GetInstance();
    CRecordingListener view;
};

TEST_F(ModalManagerTest, RemovalHeldBackUntilTheWindowCloses) {
    struct Case {
        const char* name;
        int kind;
        int answer;
        bool removed;
        int result;
        std::vector<int> events;
        bool unitNotFoundShown;
    } cases[] = {
        {"OK/Cancel answered OK", CModalManager::BOX_OK_CANCEL, 0, true, -1, {8, 4, 7}, true},
        {"OK/Cancel answered Cancel", CModalManager::BOX_OK_CANCEL, 1, true, -1, {8, 4, 7}, false},
        {"Yes/No answered Yes", CModalManager::BOX_YES_NO, 2, true, -1, {8, 4, 7}, false},
        {"Yes/No/Cancel answered Yes", CModalManager::BOX_YES_NO_CANCEL, 2, true, -1, {8, 4, 7}, true},
        {"Yes/No/Cancel answered No", CModalManager::BOX_YES_NO_CANCEL, 3, true, -1, {8, 4, 7}, false},
        {"OK box", CModalManager::BOX_OK, 0, true, -1, {8, 4, 7}, false},
        {"nothing removed", CModalManager::BOX_OK_CANCEL, 0, false, 0, {}, false},
    };
    for (const Case& c : cases) {
        environment.Connect();
        view.events.clear();
        environment.textDialog.shown.clear();
        environment.textDialog.answers = {c.answer};
        if (c.removed)
            environment.textDialog.whileOpen = [this] {
                EXPECT_EQ(manager.GetNestingCount(), 1);
                RemoveCard();
                // The document still has its card while the window is open.
                EXPECT_TRUE(model.GetDocument().IsConnected());
            };
        EXPECT_EQ(manager.ShowMessage(c.kind, "question"), c.result) << c.name;
        EXPECT_EQ(view.events, c.events) << c.name;
        const std::vector<std::string> expected = c.unitNotFoundShown
                                                      ? std::vector<std::string>{"question", kUnitNotFound}
                                                      : std::vector<std::string>{"question"};
        EXPECT_EQ(environment.textDialog.Texts(), expected) << c.name;
        if (c.removed) {
            EXPECT_EQ(view.texts.front(), environment.CardDrive()) << c.name;
        }
        EXPECT_EQ(model.GetDocument().IsConnected(), !c.removed) << c.name;
    }
}

TEST_F(ModalManagerTest, DeviceEventsWhileAWindowIsOpen) {
    struct Case {
        const char* name;
        CModelEvent event;
        std::vector<int> whileOpen;
        std::vector<int> afterClose;
    } cases[] = {
        {"another drive removed", CModelEvent(3, "/media/stick"), {3}, {}},
        {"audio CD arrived", CModelEvent(6, "/dev/sr0"), {6}, {}},
        {"volume arrived: dropped", CModelEvent(5, "/media/new"), {}, {}},
        {"card removed", CModelEvent(4, "/media/card"), {8}, {4, 7}},
    };
    for (const Case& c : cases) {
        environment.Connect();
        view.events.clear();
        std::vector<int> seenWhileOpen;
        environment.textDialog.whileOpen = [&] {
            manager.RouteDeviceEvent(c.event);
            seenWhileOpen = view.events;
        };
        environment.textDialog.answers = {0};
        const int answer = manager.ShowMessageById(MSG_CARD_FULL);
        EXPECT_EQ(seenWhileOpen, c.whileOpen) << c.name;
        std::vector<int> after(view.events.begin() + static_cast<long>(seenWhileOpen.size()), view.events.end());
        EXPECT_EQ(after, c.afterClose) << c.name;
        EXPECT_EQ(answer, c.event.id == 4 ? -1 : 0) << c.name;
    }
}

TEST_F(ModalManagerTest, DeviceEventsWithNoWindowOpen) {
    struct Case {
        const char* name;
        bool unsaved;
        CModelEvent event;
        std::vector<int> events;
        std::vector<std::string> shown;
    } cases[] = {
        {"card removed, nothing unsaved", false, CModelEvent(4, "c"), {4}, {}},
        {"card removed with unsaved changes", true, CModelEvent(4, "c"), {4, 7}, {kWriteFailed}},
        {"arrival passes", true, CModelEvent(5, "/media/x"), {5}, {}},
        {"other drive", true, CModelEvent(3, "/media/x"), {3}, {}},
    };
    for (const Case& c : cases) {
        environment.Connect();
        model.GetDocument().SetModified(c.unsaved ? 1 : 0);
        view.events.clear();
        environment.textDialog.shown.clear();
        EXPECT_TRUE(manager.RouteDeviceEvent(c.event));
        EXPECT_EQ(view.events, c.events) << c.name;
        EXPECT_EQ(environment.textDialog.Texts(), c.shown) << c.name;
    }
}

TEST_F(ModalManagerTest, InnerWindowsDoNothingOnClosing) {
    std::vector<int> eventsWhenInnerClosed;
    int innerAnswer = 99;
    environment.textDialog.answers = {0, 3};  // the inner box is answered first
    environment.textDialog.whileOpen = [&] {
        EXPECT_EQ(manager.GetNestingCount(), 1);
        RemoveCard();
        innerAnswer = manager.AskOkCancel(MSG_OK_TO_DELETE);  // nesting 2, answered OK
        eventsWhenInnerClosed = view.events;
    };
    const int outer = manager.AskYesNo(MSG_OVERWRITE);
    EXPECT_EQ(innerAnswer, 0);
    EXPECT_EQ(eventsWhenInnerClosed, (std::vector<int>{8}));
    EXPECT_EQ(outer, -1);
    EXPECT_EQ(view.events, (std::vector<int>{8, 4, 7}));
    // The outer Yes/No box is never confirmed: no "The unit not found.".
    EXPECT_EQ(environment.textDialog.Texts(),
              (std::vector<std::string>{"A file with the same name already exists. Overwrite it?", "OK to delete?"}));
}

TEST_F(ModalManagerTest, ClosingWithoutACardAsksForAConnectAttempt) {
    model.GetDocument().Reset();
    environment.textDialog.answers = {0};
    EXPECT_EQ(manager.ShowText("hello"), 0);
    EXPECT_EQ(view.events, (std::vector<int>{7}));
    ASSERT_EQ(environment.textDialog.shown.size(), 1u);
    EXPECT_EQ(environment.textDialog.shown[0].kind, CModalManager::BOX_OK);
    EXPECT_EQ(environment.textDialog.shown[0].icon, 1);  // exclamation
}

TEST_F(ModalManagerTest, ChoosersAndTheirConfirmation) {
    // Song files chosen while the card goes: -1, and "The unit not found." follows.
    environment.fileDialog.answer = 0;
    environment.fileDialog.chosen = {"/music/a.wav", "/music/b\\c.mp3"};
    environment.fileDialog.whileOpen = [this] { RemoveCard(); };
    std::vector<std::string> paths;
    EXPECT_EQ(manager.ChooseSongFiles(paths), -1);
    EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{kUnitNotFound}));
    EXPECT_EQ(paths, environment.fileDialog.chosen);  // a backslash of a file name stays

    // A folder chooser cancelled while the card goes: -1, no message.
    environment.Connect();
    environment.textDialog.shown.clear();
    environment.directoryDialog.answer = 1;
    environment.directoryDialog.whileOpen = [this] { RemoveCard(); };
    std::string folder;
    EXPECT_EQ(manager.ChooseFolder("/start", "Export Directory", folder), -1);
    EXPECT_TRUE(environment.textDialog.shown.empty());

    environment.Connect();
    environment.directoryDialog.whileOpen = nullptr;
    environment.directoryDialog.answer = 0;
    environment.directoryDialog.chosen = "/home/u/out";
    EXPECT_EQ(manager.ChooseFolder("/start", "Export Directory", folder), 0);
    EXPECT_EQ(folder, "/home/u/out");
}

struct CScriptedDialog : IModalDialog {
    CScriptedDialog(bool ok, std::function<void()> whileOpen) : m_ok(ok), m_whileOpen(std::move(whileOpen)) {}
    bool ShowModal() override {
        if (m_whileOpen) m_whileOpen();
        return m_ok;
    }
    bool m_ok;
    std::function<void()> m_whileOpen;
};

TEST_F(ModalManagerTest, DialogsThatTheProgramRegisters) {
    // None registered: nothing shows and the ripping dialog counts as cancelled.
    EXPECT_EQ(manager.ShowRippingDialog(), 1);
    manager.ShowProxyDialog();
    EXPECT_TRUE(view.events.empty());

    int shown = 0;
    manager.SetRippingDialogFactory([&] {
        ++shown;
        return boost::shared_ptr<IModalDialog>(new CScriptedDialog(true, nullptr));
    });
    EXPECT_EQ(manager.ShowRippingDialog(), 0);
    manager.SetRippingDialogFactory(
        [&] { return boost::shared_ptr<IModalDialog>(new CScriptedDialog(true, [this] { RemoveCard(); })); });
    EXPECT_EQ(manager.ShowRippingDialog(), -1);
    EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{kUnitNotFound}));

    // The proxy and About dialogs are never confirmed: no message, but the removal is acted on.
    environment.Connect();
    environment.textDialog.shown.clear();
    view.events.clear();
    manager.SetProxyDialogFactory(
        [&] { return boost::shared_ptr<IModalDialog>(new CScriptedDialog(true, [this] { RemoveCard(); })); });
    manager.ShowProxyDialog();
    manager.SetAboutDialogFactory([&] {
        ++shown;
        return boost::shared_ptr<IModalDialog>(new CScriptedDialog(true, nullptr));
    });
    manager.ShowAboutDialog();
    EXPECT_EQ(view.events, (std::vector<int>{8, 4, 7, 7}));
    EXPECT_TRUE(environment.textDialog.shown.empty());
    EXPECT_EQ(shown, 2);
}

TEST(MessageTable, RowsInBothLanguages) {
    CCardEnvironment environment;
    const struct {
        int id;
        const char* english;
        const char* japanese;
    } rows[] = {
        {0, "The file is currently in use. Overwriting is not possible.",
         "ファイルは現在使用中です。上書きできません。"},
        {4, "The file could not be read.", "ファイルが読み込めませんでした。"},
        {5, "The file could not be saved.", "ファイルが保存できませんでした。"},
        {9, "Manual/GigboxSetlisterManualE.pdf", "Manual/GigboxSetlisterManualJ.pdf"},
        {10, "Unable to start a program for opening the online manual (PDF).",
         "オンライン・マニュアル (PDF) を開くためのプログラムを起動できませんでした。"},
        {11, "Now importing.", "インポート中です。"},
        {12, "Now exporting.", "エクスポート中です。"},
        {13, "Now converting.", "変換中です。"},
        {14, "Now copying.", "コピー中です。"},
        {15, "Now deleting.", "消去中です。"},
        {16, "Now ripping.", "リッピング中です。"},
        {17, "Save changes to the database file?", "変更をデータベースファイルへ保存しますか？"},
        {18, "OK to delete?", "削除して良いですか？"},
        {19, "A file with the same name already exists. Overwrite it?", "同じ名前の file があります。上書きしますか？"},
        {20, "Edits will be discarded.", "編集内容が破棄されます。"},
        {21, "The song is protected. Delete it?", "ソングがプロテクトされています。削除しますか？"},
        {22, "Failed to import.", "インポートに失敗しました。"},
        {23, "Failed to export.", "エクスポートに失敗しました。"},
        {24, "Failed to delete.", "デリートに失敗しました。"},
        {25, "Failed to rip.", "リッピングに失敗しました。"},
        {26, "Insufficient free space in the save destination.", "保存先の空き容量が不足しています。"},
        {27, "Insufficient free space on the unit.", "本体の空き容量が不足しています。"},
        {28, "Unsupported file format.", "サポート外のファイル形式です。"},
        {29, "Failed to read from the unit.", "本体からの読み込みに失敗しました。"},
        {30, "Failed to write to the unit.", "本体への書き込みに失敗しました。"},
        {31, "Could not connect to the server to obtain CD information.",
         "CD情報を取得するためのサーバーに接続することができません。"},
        {32, "In use by another application; unable to disconnect.",
         "他のアプリケーションが使用中のため切断できませんでした。"},
        {33, "The unit not found.", "本体が見つかりません。"},
        {35, "Exceeded the maximum number of songs storable on the unit.",
         "本体に記録可能な曲数の上限を超えています。"},
        {36, "Exceeded the maximum number of albums or artists that can be stored on the unit.",
         "本体に記録可能なアルバム、アーティストの上限を超えています。"},
        {37, "ID registration was not possible.", "ID登録できませんでした。"},
        {38, "Select CD information", "CD 情報の選択"},
        {39, "Multiple items of CD information were found; please choose one.",
         "CD の情報が複数見つかりました。選択してください。"},
        {40, "Obtain again", "再取得"},
        {41, "Use a proxy server", "プロキシサーバーを使う"},
        {42, "Server address", "サーバーアドレス"},
        {43, "Port", "ポート"},
    };
    GT::CTextCodeTable& table = GetTextCodeTable();
    int held = 0;
    for (int id = -1; id <= 50; ++id) {
        const auto row = std::find_if(std::begin(rows), std::end(rows), [id](const auto& r) { return r.id == id; });
        if (row == std::end(rows)) {
            EXPECT_EQ(table.GetText(0, id), "") << id;
            EXPECT_EQ(table.GetText(1, id), "") << id;
            continue;
        }
        ++held;
        EXPECT_EQ(table.GetText(0, id), row->english) << id;
        EXPECT_EQ(table.GetText(1, id), row->japanese) << id;
    }
    EXPECT_EQ(held, 37);

    // Messages follow the current language; an unknown id shows an empty text.
    table.SetLanguage(1);
    environment.textDialog.answers = {0, 0};
    CModalManager::GetInstance().ShowMessageById(MSG_UNIT_NOT_FOUND);
    CModalManager::GetInstance().ShowMessageById(34);
    table.SetLanguage(0);
    EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{"本体が見つかりません。", ""}));
}

}  // namespace
