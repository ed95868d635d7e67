// The proxy dialog as the user works it: what it shows of the stored settings, the edits following the
// check box, what OK stores and Cancel does not, its texts in both languages, and the dialog opened
// through the modal-dialog manager's factory.
#include "app/card/DocumentModel.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/shell/DialogFactories.h"
#include "app/shell/ProxyDialog.h"
#include "general_tools/Profile.h"
#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "platform/window/Controls.h"
#include "platform/window/TextControls.h"
#include "platform/window/Window.h"
#include "resources/Resources.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QLineEdit>

#include <functional>
#include <string>
#include <vector>

namespace {

// The dialog as the user sees it while it runs.
struct Shown {
    bool checked = false;
    bool editsEnabled = false;
    std::string server, port;
    std::string boxText, serverLabel, portLabel;
};

// A dialog whose window can be read and worked from inside its modal loop.
class TestProxyDialog : public CProxyDialog {
public:
    using CProxyDialog::GetWindow;

    platform::PushButton& Box() const { return Control<platform::PushButton>(IDC_USE_PROXY); }
    platform::Edit& Server() const { return Control<platform::Edit>(IDC_PROXY_SERVER); }
    platform::Edit& Port() const { return Control<platform::Edit>(IDC_PROXY_PORT); }
    Shown Read() const {
        Shown shown;
        shown.checked = Box().IsChecked();
        shown.editsEnabled = Server().IsEnabled() && Port().IsEnabled();
        if (Server().IsEnabled() != Port().IsEnabled()) ADD_FAILURE() << "the edits disagree";
        shown.server = Server().Text();
        shown.port = Port().Text();
        shown.boxText = Box().Text();
        shown.serverLabel = GetWindow()->FindControl(IDC_PROXY_SERVER_LABEL)->Text();
        shown.portLabel = GetWindow()->FindControl(IDC_PROXY_PORT_LABEL)->Text();
        return shown;
    }

private:
    template <class T>
    T& Control(int id) const {
        auto* control = dynamic_cast<T*>(GetWindow()->FindControl(id));
        if (control == nullptr) throw std::runtime_error("missing control");
        return *control;
    }
};

// Types the text into the edit as the keyboard would, replacing what it holds.
void Type(platform::Edit& edit, const std::string& text) {
    auto* line = qobject_cast<QLineEdit*>(edit.Widget());
    ASSERT_NE(line, nullptr);
    line->selectAll();
    gbxtest::PressKey(line, Qt::Key_Delete);
    for (const QChar c : QString::fromStdString(text)) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(line, &press);
    }
}

class ProxyDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::GetAppProfile().SetPath(dir.File("config/Corvane/Gigbox Setlister.ini"));
        resources::RegisterProgramResources();
        LoadMessageTable();
        GetTextCodeTable().SetLanguage(0);
    }
    void TearDown() override { GetTextCodeTable().SetLanguage(0); }

    // Runs the dialog, reads what it shows, lets the action work it, and answers DoModal's result.
    bool Run(TestProxyDialog& dialog, Shown& shown, const std::function<void(TestProxyDialog&)>& act) {
        gbxtest::WhenModalAppears([&](QWidget*) {
            shown = dialog.Read();
            act(dialog);
        });
        return dialog.DoModal();
    }
    std::string Stored(const char* key) { return GT::GetProfile().GetString(key, "<none>"); }
    void Store(const std::string& use, const std::string& server, const std::string& port) {
        GT::IProfile& profile = GT::GetProfile();
        profile.WriteString(AProxyDialog::kUseProxyKey, use);
        profile.WriteString(AProxyDialog::kServerKey, server);
        profile.WriteString(AProxyDialog::kPortKey, port);
    }

    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment config{"XDG_CONFIG_HOME", dir.File("config")};
    gbxtest::ScopedEnvironment data{"XDG_DATA_HOME", dir.File("data")};
    gbxtest::ScopedEnvironment runtime{"XDG_RUNTIME_DIR", dir.File("run")};
    gbxtest::ScopedEnvironment temp{"TMPDIR", dir.Path()};
    gbxtest::ScopedEnvironment volumes{"GBX_VOLUMES", dir.File("no-card")};
};

void Ok(TestProxyDialog& dialog) { gbxtest::PressKey(dialog.GetWindow()->Widget(), Qt::Key_Return); }
void Cancel(TestProxyDialog& dialog) { gbxtest::PressKey(dialog.GetWindow()->Widget(), Qt::Key_Escape); }

TEST_F(ProxyDialogTest, WithNothingStoredItOpensUncheckedWithEmptyDisabledEditsAndCancelStoresNothing) {
    TestProxyDialog dialog;
    Shown shown;
    EXPECT_FALSE(Run(dialog, shown, Cancel));
    EXPECT_FALSE(shown.checked);
    EXPECT_FALSE(shown.editsEnabled);
    EXPECT_EQ(shown.server, "");
    EXPECT_EQ(shown.port, "");
    EXPECT_EQ(shown.boxText, "Use a proxy server");
    EXPECT_EQ(shown.serverLabel, "Server address");
    EXPECT_EQ(shown.portLabel, "Port");
    EXPECT_EQ(Stored(AProxyDialog::kUseProxyKey), "<none>");
    EXPECT_EQ(Stored(AProxyDialog::kServerKey), "<none>");
}

struct EditCase {
    const char* name;
    std::string storedUse, storedServer, storedPort;  // "" for nothing stored
    bool shownChecked;
    bool clickBox;
    const char* server;  // typed when not null
    const char* port;
    bool ok;
    // What the settings hold afterwards.
    std::string use, storedServerAfter, storedPortAfter;
};

TEST_F(ProxyDialogTest, TheEditsFollowTheBoxAndOkStoresWhatIsShown) {
    const EditCase cases[] = {
        {"checking the box and typing", "", "", "", false, true, "proxy.example.net", "8080", true, "1",
         "proxy.example.net", "8080"},
        {"a port is kept as typed", "", "", "", false, true, "10.0.0.1", "80a", true, "1", "10.0.0.1", "80a"},
        {"unchecking keeps the texts", "1", "cache.local", "3128", true, true, nullptr, nullptr, true, "0",
         "cache.local", "3128"},
        {"any flag but 0 is on", "2", "a", "b", true, false, nullptr, nullptr, true, "1", "a", "b"},
        {"Cancel after editing changes nothing", "1", "old.host", "81", true, true, "new.host", "82", false, "1",
         "old.host", "81"},
    };
    int number = 0;
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::GetAppProfile().SetPath(dir.File("case-" + std::to_string(++number) + ".ini"));
        if (!c.storedUse.empty()) Store(c.storedUse, c.storedServer, c.storedPort);
        TestProxyDialog dialog;
        Shown shown;
        Shown afterClick;
        const bool result = Run(dialog, shown, [&](TestProxyDialog& d) {
            if (c.clickBox) d.Box().Click();
            afterClick = d.Read();
            if (c.server != nullptr) Type(d.Server(), c.server);
            if (c.port != nullptr) Type(d.Port(), c.port);
            if (c.ok)
                Ok(d);
            else
                Cancel(d);
        });
        EXPECT_EQ(result, c.ok);
        EXPECT_EQ(shown.checked, c.shownChecked);
        EXPECT_EQ(shown.editsEnabled, c.shownChecked);
        EXPECT_EQ(shown.server, c.storedServer);
        EXPECT_EQ(afterClick.checked, c.shownChecked != c.clickBox);
        EXPECT_EQ(afterClick.editsEnabled, afterClick.checked);
        EXPECT_EQ(afterClick.server, c.storedServer) << "the texts stay whatever the box says";
        EXPECT_EQ(Stored(AProxyDialog::kUseProxyKey), c.use);
        EXPECT_EQ(Stored(AProxyDialog::kServerKey), c.storedServerAfter);
        EXPECT_EQ(Stored(AProxyDialog::kPortKey), c.storedPortAfter);
    }
}

TEST_F(ProxyDialogTest, ItsTextsComeFromTheMessageTableInTheCurrentLanguage) {
    GetTextCodeTable().SetLanguage(1);
    TestProxyDialog dialog;
    Shown shown;
    Run(dialog, shown, Cancel);
    EXPECT_EQ(shown.boxText, "プロキシサーバーを使う");
    EXPECT_EQ(shown.serverLabel, "サーバーアドレス");
    EXPECT_EQ(shown.portLabel, "ポート");
}

TEST_F(ProxyDialogTest, ItSitsOverTheMainWindowWithItsIcon) {
    platform::Window main;
    platform::Image icon(16, 16, true);
    icon.Fill(0xFF336699u);
    main.SetIcon(icon);
    platform::SetMainWindow(&main);
    TestProxyDialog dialog;
    Shown shown;
    platform::Window* owner = nullptr;
    platform::Image shownIcon;
    Run(dialog, shown, [&](TestProxyDialog& d) {
        owner = d.GetWindow()->Owner();
        shownIcon = d.GetWindow()->Icon();
        Cancel(d);
    });
    platform::SetMainWindow(nullptr);
    EXPECT_EQ(owner, &main);
    ASSERT_EQ(shownIcon.GetSize(), icon.GetSize());
    EXPECT_EQ(shownIcon.PixelAt(3, 3), icon.PixelAt(3, 3));
}

TEST_F(ProxyDialogTest, LoadAndStoreWithoutAWindow) {
    Store("1", "host", "1080");
    const boost::shared_ptr<AProxyDialog> dialog = CreateProxyDialog();
    dialog->Load();
    EXPECT_TRUE(dialog->GetUseProxy());
    EXPECT_EQ(dialog->GetServer(), "host");
    EXPECT_EQ(dialog->GetPort(), "1080");
    dialog->SetUseProxy(false);
    dialog->SetServer("");
    dialog->Store();
    EXPECT_EQ(Stored(AProxyDialog::kUseProxyKey), "0");
    EXPECT_EQ(Stored(AProxyDialog::kServerKey), "");
    EXPECT_EQ(Stored(AProxyDialog::kPortKey), "1080");
}

class RecordingListener : public IModelEventListener {
public:
    std::vector<int> events;
    void OnModelEvent(const CModelEvent& event) override { events.push_back(event.id); }
};

TEST_F(ProxyDialogTest, TheManagerOpensItThroughTheRegisteredFactory) {
    RecordingListener listener;
    CDocumentModel::GetInstance().AddListener(&listener);
    RegisterDialogFactories();
    CModalManager& manager = CModalManager::GetInstance();
    int nesting = -1;
    bool shown = false;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        shown = modal->windowTitle() == "Proxy Server";
        nesting = manager.GetNestingCount();
        gbxtest::PressKey(modal, Qt::Key_Escape);
    });
    manager.ShowProxyDialog();
    CModalManager::GetInstance().SetProxyDialogFactory(CModalDialogFactory());
    CDocumentModel::GetInstance().RemoveListener(&listener);
    EXPECT_TRUE(shown);
    EXPECT_EQ(nesting, 1);
    EXPECT_EQ(manager.GetNestingCount(), 0);
    EXPECT_EQ(listener.events, (std::vector<int>{CModelEvent::MODAL_CLOSED_WITHOUT_CARD}))
        << "no card: the view tries to connect once the dialog has closed";
}

}  // namespace

namespace {

// On an X server (app_shell_tests.RealWindows): the dialog with a proxy set, in both languages.
TEST_F(ProxyDialogTest, RealWindowsInBothLanguages) {
    if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    Store("1", "proxy.example.net", "8080");
    for (const int language : {0, 1}) {
        GetTextCodeTable().SetLanguage(language);
        TestProxyDialog dialog;
        Shown shown;
        Run(dialog, shown, [language](TestProxyDialog& d) {
            gbxtest::PumpFor(300);
            gbxtest::ShootAndCheck(d.GetWindow()->Widget(),
                                   language == 0 ? "proxy-dialog.png" : "proxy-dialog-japanese.png");
            Cancel(d);
        });
        EXPECT_TRUE(shown.editsEnabled);
    }
}

}  // namespace
