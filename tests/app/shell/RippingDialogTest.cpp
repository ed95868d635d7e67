// The ripping dialog over an emulated disc and a disc catalogue the test writes, driven as the user
// works it: the lookup (with a choice among two albums), edits, rips onto the card in both formats with
// their progress, a cancel, a disc that goes during a rip and a card removed while the dialog is open.
// After every rip the card is read back from its files, and the work folder is empty. Also the
// disc-information chooser on its own, and both dialogs in real windows.
#include "app/card/CdAudioReader.h"
#include "app/card/Domain.h"
#include "app/shell/AppPaths.h"
#include "app/shell/DialogFactories.h"
#include "app/shell/MultiQueryDialog.h"
#include "app/shell/RippingDialog.h"
#include "app/shell/TrackTableModel.h"
#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "resources/ResourceIds.h"
#include "resources/Resources.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/EmulatedCdDrive.h"
#include "tests/support/FatImage.h"
#include "tests/support/ListDriver.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/WidgetDriver.h"
#include "tests/support/Xmcd.h"
#include "tests/ui/TableTestSupport.h"

#include <boost/make_shared.hpp>

#include <boost/make_shared.hpp>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using gbxtest::EmulatedCdDrive;
using gbxtest::EmulatedDisc;
using gbxtest::XmcdDisc;

const char kDevice[] = "/dev/sr-gbxrip";
const char kRipFailed[] = "Failed to rip.";
const char kUnreachable[] = "Could not connect to the server to obtain CD information.";

// Three audio tracks of 80, 90 and 100 sectors (each over a second, so that the encoder takes it).
const std::vector<int> kStarts = {0, 80, 170};
constexpr int kLeadOut = 270;
const int kSectors[] = {80, 90, 100};

// The disc's record: its tracks start at the drive's frames (sector + 150), the lead-out at frame 420.
XmcdDisc Record(const std::string& id, const std::string& dtitle, const std::vector<std::string>& tracks) {
    XmcdDisc disc;
    disc.discId = id;
    disc.dtitle = dtitle;
    for (int start : kStarts) disc.offsets.push_back(static_cast<uint32_t>(start + 150));
    disc.lengthSeconds = (kLeadOut + 150) / 75;
    disc.tracks = tracks;
    return disc;
}

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

// A chooser that answers as the test says and remembers what it was shown.
class CScriptedChooser : public IMultiQueryDialog {
public:
    CScriptedChooser(int answer, std::vector<std::string>* shown) : m_answer(answer), m_shown(shown) {}
    int DoModal() override {
        *m_shown = GetAlbumTitleList();
        return m_answer;
    }

private:
    int m_answer;
    std::vector<std::string>* m_shown;
};

// The dialog with the emulated drive as the computer's only drive, and its chooser scripted unless the
// test wants the real one.
class TestRippingDialog : public CRippingDialog {
public:
    using CRippingDialog::GetWindow;
    using CRippingDialog::OnKickIdle;
    int chooserAnswer = 0;
    bool realChooser = false;
    std::vector<std::string> chooserShown;
    bool logoWasShown = false;

    void ShowLogo(bool show) override {
        logoWasShown = logoWasShown || show;
        CRippingDialog::ShowLogo(show);
    }

protected:
    GT::CDriveList ListDrives() const override {
        return {{"/media/user/disk", "disk (/media/user/disk)"}, {kDevice, std::string("CD (") + kDevice + ")"}};
    }
    boost::shared_ptr<IMultiQueryDialog> CreateChooser() const override {
        if (realChooser) return CRippingDialog::CreateChooser();
        auto* self = const_cast<TestRippingDialog*>(this);
        return boost::shared_ptr<IMultiQueryDialog>(new CScriptedChooser(chooserAnswer, &self->chooserShown));
    }
};

// A progress object that runs a hook once a message appears, at the next cancel question (after
// skip further ones).
class HookedProgress : public gbxtest::RecordingProgress {
public:
    std::string at;
    int skip = 0;
    std::function<void()> hook;
    void SetMessage(const std::string& message) override {
        RecordingProgress::SetMessage(message);
        armed = armed || message == at;
    }
    bool IsCancelled() override {
        if (armed && hook && skip-- <= 0) {
            auto run = hook;
            hook = nullptr;
            run();
        }
        return RecordingProgress::IsCancelled();
    }
    bool armed = false;
};

class RippingDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        resources::RegisterProgramResources();
        CAppPaths::GetInstance().SetUpFolders();
        CAppPaths::GetInstance().SetPath(CAppPaths::PICTURES, GBX_SCRIPT_DIR);
        std::filesystem::create_directories(catalogue);
        SetProgressBar(&progress);
        environment.Connect();
        ASSERT_TRUE(Document().IsConnected());
    }
    void TearDown() override {
        dialog.reset();
        SetProgressBar(nullptr);
        CCdAudioReader::GetInstance().ClearToc();
        GetCurrentAlbum().Clear();
        GetAlbumTitleList().clear();
    }

    static CDocX& Document() { return cardtest::CCardEnvironment::Document(); }
    void Write(const std::string& relative, const XmcdDisc& disc) {
        const std::filesystem::path path = catalogue + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        gbxtest::WriteText(path.string(), gbxtest::XmcdRecord(disc));
    }
    void WriteTwoAlbums() {
        Write("a/0a000001", Record("0a000001", "Band One / First Album", {"One", "Two", "Three"}));
        Write("b/0b000002", Record("0b000002", "Band Two / Second Album", {"Uno", "Dos", "Tres"}));
    }

    // Opens the dialog and lets its first idle load the disc.
    TestRippingDialog& Open(int chooserAnswer = 0) {
        dialog = std::make_unique<TestRippingDialog>();
        dialog->chooserAnswer = chooserAnswer;
        EXPECT_TRUE(dialog->Create(nullptr));
        dialog->OnKickIdle();
        return *dialog;
    }
    // OK as the user presses it.
    void PressOk() { dialog->GetWindow()->DispatchCommand(platform::kCommandOk); }
    // Only these rows selected.
    void Select(const std::vector<int>& rows) {
        dialog->GetTable().GetSelection()->SetSelected(rows);
        dialog->GetTable().Refresh();
    }

    // The card as it reads back from its files.
    const CSongList& Reloaded() {
        CDocX& document = Document();
        document.Reset();
        environment.Connect();
        EXPECT_TRUE(document.Load());
        return document.GetList(CDocX::LIST_SONGS);
    }
    std::vector<std::string> CardAudioFiles() {
        std::vector<std::string> audio;
        for (const std::string& file : cardtest::FilesBelow(environment.DatabaseFolder()))
            if (file.find('/') != std::string::npos) audio.push_back(file);
        return audio;
    }
    std::vector<std::string> WorkFiles() { return cardtest::FilesBelow(CDomain::GetInstance().GetWorkFolder()); }
    std::vector<std::string> Messages() const { return environment.textDialog.Texts(); }
    std::vector<std::string> Between(const std::string& from, const std::string& to) const {
        std::vector<std::string> calls;
        bool in = false;
        for (const std::string& call : progress.calls) {
            if (call == from)
                in = true;
            else if (in && call == to)
                break;
            if (in) calls.push_back(call);
        }
        return calls;
    }
    int Count(const std::vector<std::string>& calls, const std::string& what) {
        return static_cast<int>(std::count(calls.begin(), calls.end(), what));
    }

    cardtest::CCardEnvironment environment;
    std::string catalogue = environment.Dir().File("catalogue");
    gbxtest::ScopedEnvironment catalogueVariable{"TMSDK_CATALOGUE", catalogue};
    std::shared_ptr<EmulatedCdDrive> drive = std::make_shared<EmulatedCdDrive>(EmulatedDisc::Audio(kStarts, kLeadOut));
    gbxtest::EmulatedDriveInstaller installer{kDevice, drive};
    HookedProgress progress;
    std::unique_ptr<TestRippingDialog> dialog;
};

TEST_F(RippingDialogTest, TheLookupLetsTheUserChooseAmongTwoAlbumsAndFillsTheTable) {
    WriteTwoAlbums();
    TestRippingDialog& d = Open(1);
    EXPECT_EQ(d.GetDriveList(), std::vector<std::string>{kDevice});
    EXPECT_EQ(d.GetSelectedDrive(), 0);
    EXPECT_EQ(d.chooserShown, (std::vector<std::string>{"First Album", "Second Album"}));
    EXPECT_EQ(d.GetAlbumTitle(), "Second Album");
    EXPECT_TRUE(d.logoWasShown);
    EXPECT_TRUE(d.IsLogoShown());
    EXPECT_EQ(d.GetLogoSize(), (platform::Size{150, 36})) << "the build's logo";
    CListCtrlA& table = d.GetTable();
    ASSERT_EQ(table.GetItemCount(), 3);
    EXPECT_EQ(table.GetSelection()->GetSelected(), (std::vector<int>{0, 1, 2})) << "every row selected";
    EXPECT_EQ(GetCurrentTrackTitle(2), "Tres");
    EXPECT_EQ(GetCurrentTrackArtist(0), "Band Two");
    EXPECT_FALSE(d.IsEdited());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(RippingDialogTest, ASingleMatchNeedsNoChoiceAndNoMatchOrNoServiceKeepsTheMadeUpAlbum) {
    Write("rock/0a000001", Record("0a000001", "Band One / First Album", {"One", "Two", "Three"}));
    {
        TestRippingDialog& d = Open(1);
        EXPECT_TRUE(d.chooserShown.empty());
        EXPECT_EQ(d.GetAlbumTitle(), "First Album");
        EXPECT_EQ(GetCurrentTrackTitle(1), "Two");
    }
    std::filesystem::remove_all(catalogue);
    std::filesystem::create_directories(catalogue);  // an empty catalogue: no match
    {
        TestRippingDialog& d = Open();
        EXPECT_EQ(d.GetAlbumTitle().size(), 15u) << d.GetAlbumTitle();
        EXPECT_EQ(GetCurrentTrackTitle(0), "Track01");
        EXPECT_EQ(GetCurrentTrackArtist(2), d.GetAlbumTitle());
        EXPECT_TRUE(Messages().empty());
    }
    std::filesystem::remove_all(catalogue);  // no catalogue: the service cannot be reached
    {
        TestRippingDialog& d = Open();
        EXPECT_EQ(Messages(), std::vector<std::string>{kUnreachable});
        EXPECT_EQ(GetCurrentTrackTitle(2), "Track03");
        EXPECT_EQ(d.GetTable().GetItemCount(), 3);
        EXPECT_FALSE(d.IsLogoShown());
    }
}

TEST_F(RippingDialogTest, TheLogoHidesItselfAfterThreeSeconds) {
    WriteTwoAlbums();
    TestRippingDialog& d = Open(0);
    ASSERT_TRUE(d.IsLogoShown());
    d.OnTick();
    EXPECT_TRUE(d.IsLogoShown());
    EXPECT_TRUE(gbxtest::PumpUntil([&] { return !d.IsLogoShown(); }, 4500)) << "the 100 ms timer hides it";
}

TEST_F(RippingDialogTest, EditedTitlesAreRippedAsVoxaSongsWithTheirAlbumAndProgress) {
    WriteTwoAlbums();
    TestRippingDialog& d = Open(0);
    // The title of row 1 edited in the table's own editor (which writes into every selected row).
    CListCtrlA& table = d.GetTable();
    Select({1});
    UL::ITableCellEditor* editor = table.GetEditor(1, CTrackTableModel::TITLE);
    ASSERT_NE(editor, nullptr);
    // As the editor's own start does after a click on the cell; its popup is the edit that appears.
    const QWidgetList before = QApplication::allWidgets();
    ASSERT_TRUE(editor->StartEditing(&table, 1, CTrackTableModel::TITLE));
    table.OnEditingStarted(UL::CCellEditorEvent(editor));
    QLineEdit* line = nullptr;
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* edit = qobject_cast<QLineEdit*>(widget); edit != nullptr && !before.contains(widget)) line = edit;
    ASSERT_NE(line, nullptr);
    line->setText("Zwei");
    gbxtest::PressKey(line, Qt::Key_Return);
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.GetActiveEditor() == nullptr; }));
    EXPECT_EQ(GetCurrentTrackTitle(1), "Zwei");
    EXPECT_TRUE(d.IsEdited());
    EXPECT_FALSE(table.GetModel()->IsCellEditable(1, CTrackTableModel::TRACK));

    Select({0, 1});
    PressOk();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(d.GetAlbumTitle(), "") << "the dialog resets after the rip";

    // Each track: its reads and then one step per 10,000 values encoded.
    for (int p : {0, 1}) {
        const std::string message = "SetMessage Track 0" + std::to_string(p + 1) + "/02";
        const std::vector<std::string> calls = Between(message, p == 0 ? "SetMessage Track 02/02" : "End");
        const int reads = kSectors[p] / 15 + 1;
        const int encoding = (kSectors[p] * 2352 / 2 + 9999) / 10000;
        EXPECT_EQ(Count(calls, "SetRange " + std::to_string(reads + encoding)), 1) << message;
        EXPECT_EQ(Count(calls, "SetPos 0"), 1);
        EXPECT_EQ(Count(calls, "Step"), (kSectors[p] + 14) / 15 + encoding) << message;
    }
    EXPECT_EQ(progress.calls.front(), "SetTitle Now ripping.");
    EXPECT_EQ(progress.Count("Begin"), 1);
    EXPECT_EQ(progress.calls.back(), "End");

    EXPECT_EQ(CardAudioFiles(),
              (std::vector<std::string>{"000/0000.Q3I", "000/0000.Q3R", "000/0001.Q3I", "000/0001.Q3R"}));
    EXPECT_TRUE(WorkFiles().empty());
    const CSongList& songs = Reloaded();
    ASSERT_EQ(songs.size(), 2u);
    const char* titles[] = {"One", "Zwei"};
    for (size_t i = 0; i < 2; ++i) {
        const CSongX& song = *songs[i].song;
        EXPECT_EQ(song.GetTitle(), titles[i]);
        EXPECT_EQ(song.GetAlbum(), "First Album");
        EXPECT_EQ(song.GetArtist(), "Band One");
        EXPECT_EQ(song.GetNumber(), static_cast<int>(i)) << "numbered from 0";
        EXPECT_EQ(song.GetFileType(), 4);
    }
}

TEST_F(RippingDialogTest, WithoutSaveMemoryTheTracksAreCopiedAsTheDiscsSamples) {
    Document().SetSaveMemory(false);
    TestRippingDialog& d = Open();
    const std::string album = d.GetAlbumTitle();
    Select({0, 2});
    PressOk();
    EXPECT_EQ(Between("SetMessage Track 01/02", "SetMessage Track 02/02"),
              (std::vector<std::string>{"SetMessage Track 01/02", "SetPos 0", "SetRange 6", "IsCancelled", "Step",
                                        "IsCancelled", "Step", "IsCancelled", "Step", "IsCancelled", "Step",
                                        "IsCancelled", "Step", "IsCancelled", "Step"}));
    EXPECT_EQ(CardAudioFiles(),
              (std::vector<std::string>{"000/0000.Q3I", "000/0000.WAV", "000/0001.Q3I", "000/0001.WAV"}));
    const std::vector<uint8_t> file = cardtest::ReadFile(environment.DatabaseFolder() + "000/0001.WAV");
    ASSERT_EQ(file.size(), 100u * 2352 + 46);
    EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
    for (int s = 0; s < 100; s += 33)
        EXPECT_EQ(Le32(file.data() + 46 + static_cast<size_t>(s) * 2352), gbxtest::SectorWord(170 + s, 0));
    EXPECT_TRUE(WorkFiles().empty());
    const CSongList& songs = Reloaded();
    ASSERT_EQ(songs.size(), 2u);
    EXPECT_EQ(songs[1].song->GetTitle(), "Track03");
    EXPECT_EQ(songs[1].song->GetNumber(), 2);
    EXPECT_EQ(songs[1].song->GetAlbum(), album);
    EXPECT_EQ(songs[1].song->GetFileType(), 1);
}

TEST_F(RippingDialogTest, CancellingTheSecondTrackKeepsTheFirstAndLeavesNothingElse) {
    for (bool saveMemory : {true, false}) {
        SCOPED_TRACE(saveMemory);
        Document().SetSaveMemory(saveMemory);
        progress.calls.clear();
        progress.armed = false;
        progress.at = "Track 02/02";
        progress.hook = [this] { progress.PressCancel(); };
        Open();
        Select({0, 1});
        PressOk();
        EXPECT_TRUE(Messages().empty());
        const std::string ext = saveMemory ? ".Q3R" : ".WAV";
        EXPECT_EQ(CardAudioFiles(), (std::vector<std::string>{"000/0000.Q3I", "000/0000" + ext}));
        EXPECT_TRUE(WorkFiles().empty());
        EXPECT_EQ(Reloaded().size(), 1u);
        // Next round on an empty card again.
        for (const std::string& f : CardAudioFiles()) std::filesystem::remove(environment.DatabaseFolder() + f);
        for (const std::string& f : cardtest::FilesBelow(environment.DatabaseFolder()))
            std::filesystem::remove(environment.DatabaseFolder() + f);
        Document().Reset();
        environment.Connect();
    }
}

TEST_F(RippingDialogTest, ADiscThatGoesDuringTheSecondTrackStopsTheRipWithMessage25) {
    for (bool saveMemory : {true, false}) {
        SCOPED_TRACE(saveMemory);
        Document().SetSaveMemory(saveMemory);
        drive = std::make_shared<EmulatedCdDrive>(EmulatedDisc::Audio(kStarts, kLeadOut));
        gbxtest::EmulatedDriveInstaller again{kDevice, drive};
        environment.textDialog.shown.clear();
        progress.armed = false;
        progress.at = "Track 02/02";
        progress.at = "Track 02/03";
        progress.hook = [this] { drive->LoseDisc(); };
        Open();
        Select({0, 1, 2});
        PressOk();
        EXPECT_EQ(Messages(), std::vector<std::string>{kRipFailed});
        const std::string ext = saveMemory ? ".Q3R" : ".WAV";
        EXPECT_EQ(CardAudioFiles(), (std::vector<std::string>{"000/0000.Q3I", "000/0000" + ext}));
        EXPECT_TRUE(WorkFiles().empty());
        const CSongList& songs = Reloaded();
        ASSERT_EQ(songs.size(), 1u) << "the database names the track that was stored";
        for (const std::string& f : cardtest::FilesBelow(environment.DatabaseFolder()))
            std::filesystem::remove(environment.DatabaseFolder() + f);
        Document().Reset();
        environment.Connect();
    }
}

// The second track's Voxa file cannot be made (a folder stands at its name): the transfer says why,
// then the rip says it failed and stops; the first track stays.
TEST_F(RippingDialogTest, AnEncodingThatFailsStopsTheRipWithMessage25) {
    Document().SetSaveMemory(true);
    const std::string blocked = environment.DatabaseFolder() + "000/0001.Q3R";
    progress.at = "Track 02/03";
    progress.hook = [&] { std::filesystem::create_directories(blocked + "/in-the-way"); };
    Open();
    PressOk();
    const std::vector<std::string> messages = Messages();
    ASSERT_EQ(messages.size(), 2u) << ::testing::PrintToString(messages);
    EXPECT_NE(messages[0], kRipFailed) << "the transfer's own message first";
    EXPECT_EQ(messages[1], kRipFailed);
    EXPECT_TRUE(WorkFiles().empty());
    std::filesystem::remove_all(blocked);
    EXPECT_EQ(CardAudioFiles(), (std::vector<std::string>{"000/0000.Q3I", "000/0000.Q3R"})) << "no third track";
    EXPECT_EQ(Reloaded().size(), 1u);
}

TEST_F(RippingDialogTest, AnotherDiscPutInDuringTheRipIsNotStored) {
    auto other = std::make_shared<EmulatedCdDrive>(EmulatedDisc::Audio({0, 80, 171}, kLeadOut));
    std::unique_ptr<gbxtest::EmulatedDriveInstaller> swapped;
    progress.at = "Track 02/03";
    progress.hook = [&] { swapped = std::make_unique<gbxtest::EmulatedDriveInstaller>(kDevice, other); };
    Document().SetSaveMemory(false);
    Open();
    PressOk();
    EXPECT_EQ(Messages(), std::vector<std::string>{kRipFailed});
    EXPECT_EQ(CardAudioFiles(), (std::vector<std::string>{"000/0000.Q3I", "000/0000.WAV"}));
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_EQ(Reloaded().size(), 1u);
}

TEST_F(RippingDialogTest, RowsBeyondTheDiscAndDataTracksAreNeverRipped) {
    // The service lists five tracks for the three-track disc.
    Write("rock/0a000001", Record("0a000001", "Band One / First Album", {"One", "Two", "Three"}));
    Open();
    GetCurrentAlbum().tracks.resize(5);
    dialog->GetTable().Refresh();
    Document().SetSaveMemory(false);
    Select({2, 3, 4});
    PressOk();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(progress.Count("SetMessage"), 1);
    EXPECT_EQ(
        progress.calls[std::find(progress.calls.begin(), progress.calls.end(), "Begin") - progress.calls.begin() + 1],
        "SetMessage Track 01/01");
    EXPECT_EQ(Reloaded().size(), 1u);

    // Only rows past the disc: nothing happens at all.
    progress.calls.clear();
    Open();
    GetCurrentAlbum().tracks.resize(5);
    Select({3, 4});
    PressOk();
    EXPECT_TRUE(progress.calls.empty());
}

TEST_F(RippingDialogTest, ACardRemovedWhileTheDialogIsOpenIsNeverWritten) {
    // Before OK: nothing is ripped.
    Open();
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_REMOVED_IN_MODAL, environment.CardDrive()));
    EXPECT_TRUE(dialog->IsCardRemoved());
    PressOk();
    EXPECT_TRUE(progress.calls.empty());
    EXPECT_TRUE(cardtest::FilesBelow(environment.CardDrive()).empty());
    // The dialog closes: the card is forgotten, then found again.
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_GONE));
    environment.Connect();

    // During the first track: the card's folder is another one by then; the rip stops before the
    // next track and writes no database, and nothing reaches the new folder.
    const std::string gone = environment.Dir().File("gone");
    progress.at = "Track 01/02";
    progress.hook = [&] {
        std::filesystem::rename(environment.CardDrive(), gone);
        std::filesystem::create_directories(environment.CardDrive());
        CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_REMOVED_IN_MODAL, environment.CardDrive()));
    };
    Document().SetSaveMemory(false);
    Open();
    Select({0, 1});
    PressOk();
    EXPECT_TRUE(cardtest::FilesBelow(environment.CardDrive()).empty());
    EXPECT_EQ(progress.Count("SetMessage"), 1);
    EXPECT_TRUE(WorkFiles().empty());
}

// "Conserve Card Memory", the dialog open through the modal-dialog manager: the card is removed
// while the first track is encoded, and its folder still looks like the same card (a card put
// back may get its old mount id). The encoding stops there and nothing of the rip reaches the
// card; the rip shows nothing of its own, and once the dialog has closed with OK the manager says
// "The unit not found.".
TEST_F(RippingDialogTest, ACardRemovedDuringAVoxaRipGetsNothingMoreEvenWhenItLooksTheSame) {
    class CRipThroughTheManager : public IModalDialog {
    public:
        explicit CRipThroughTheManager(std::function<bool()> run) : m_run(std::move(run)) {}
        bool ShowModal() override { return m_run(); }

    private:
        std::function<bool()> m_run;
    };
    WriteTwoAlbums();
    progress.at = "Track 01/02";
    progress.skip = (kSectors[0] + 14) / 15;  // the track's reads: the removal comes while it is encoded
    progress.hook = [&] {
        CModalManager::GetInstance().RouteDeviceEvent(CModelEvent(CModelEvent::CARD_GONE, environment.CardDrive()));
    };
    CModalManager::GetInstance().SetRippingDialogFactory([&] {
        return boost::make_shared<CRipThroughTheManager>([&] {
            Open(0);
            Select({0, 1});
            PressOk();
            return true;
        });
    });
    EXPECT_EQ(CModalManager::GetInstance().ShowRippingDialog(), AModalManager::ANSWER_REMOVED);
    EXPECT_FALSE(progress.hook);  // the removal came
    EXPECT_EQ(Messages(), std::vector<std::string>{"The unit not found."});
    EXPECT_FALSE(Document().IsConnected());
    EXPECT_EQ(CardAudioFiles(), std::vector<std::string>());
    EXPECT_EQ(progress.Count("SetMessage"), 1);
    EXPECT_TRUE(WorkFiles().empty());
    EXPECT_TRUE(Reloaded().empty());
}

// The room a rip needs on the card: each track's Voxa file, its icon file and the whole temporary
// database set that the save after the rip writes beside the old one, with 1 MiB to spare.
TEST_F(RippingDialogTest, TheRipKeepsRoomForTheTemporaryDatabaseSet) {
    // The first track's 80 sectors are 47,040 stereo frames; the estimate of their Voxa file is
    // ceil(((47,040 - 1) / 16 + 1) * 16 * 2 * 6 / 8) + 56 (a little more than the file's 70,616).
    const int64_t voxaFile = 70583 + 56;
    const int64_t databaseSet = 1024034 + 2048034 + 5 * 25060;
    const int64_t mib = 1048576;
    cardtest::CFixedDiskSpace space;
    space.figures.clusterBytes = 1;
    platform::SetDiskSpaceSource(&space);
    WriteTwoAlbums();
    for (const int64_t shortBy : {1, 0}) {
        SCOPED_TRACE(shortBy ? "one byte short" : "exactly enough");
        environment.textDialog.shown.clear();
        space.figures.freeBytes = static_cast<uint64_t>(voxaFile + 1044 + databaseSet + mib - shortBy);
        Open(0);
        Select({0});
        PressOk();
        EXPECT_EQ(Messages(), shortBy ? std::vector<std::string>{"Insufficient free space on the unit."}
                                      : std::vector<std::string>());
        EXPECT_EQ(CardAudioFiles().size(), shortBy ? 0u : 2u);
    }
}

// "Conserve Card Memory": while the first track is encoded, the card is unmounted and another
// card labelled QM-3 is mounted at its folder. Nothing of the rip reaches the other card: not the
// track over its own song of that slot, not a database.
TEST_F(RippingDialogTest, AnotherCardMountedDuringAVoxaRipIsNeverWritten) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    const std::string mount = environment.Dir().File("mnt/QM-3");
    std::filesystem::create_directories(mount);
    gbxtest::CFatImage first(environment.Dir().File("first.img"), "QM-3", "16M");
    gbxtest::CFatImage other(environment.Dir().File("other.img"), "QM-3", "16M");
    ASSERT_TRUE(first.IsMade() && other.IsMade());
    const std::string unswappable = gbxtest::CFatImage::WhyCardsCannotBeSwapped(other, mount);
    if (!unswappable.empty()) GTEST_SKIP() << unswappable;
    const std::string song = mount + "/CORVANE/QM/DB/000/0000.Q3R";
    const std::string text = "the other card's song";
    std::filesystem::create_directories(mount + "/CORVANE/QM/DB/000");
    gbxtest::WriteText(song, text);
    const std::vector<std::string> files = cardtest::FilesBelow(mount);
    ASSERT_TRUE(other.Unmount());
    ASSERT_EQ(first.Mount(mount), 0);
    Document().SetCardRoot(CDocX::MakeCardRoot(mount));
    ASSERT_TRUE(Document().Load());

    WriteTwoAlbums();
    progress.at = "Track 01/02";
    progress.skip = (kSectors[0] + 14) / 15;  // the track's reads: the swap comes while it is encoded
    progress.hook = [&] {
        EXPECT_TRUE(first.Unmount());
        EXPECT_EQ(other.Mount(mount), 0);
    };
    Open(0);
    Select({0, 1});
    PressOk();
    EXPECT_EQ(cardtest::FilesBelow(mount), files);
    EXPECT_EQ(gbxtest::ReadBytes(song), std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_TRUE(WorkFiles().empty());
    Document().Reset();
}

TEST_F(RippingDialogTest, RippingOntoRhythmDoesNotCountNamesAndTooManySongsIsRefused) {
    // A card whose 2000 names are taken: the Song tab refuses, the Rhythm tab rips.
    CDocX& document = Document();
    for (int i = 0; i < 2000; ++i) {
        CSongX* song = cardtest::AddSong(document, ".WAV", "s", "", "Album " + std::to_string(i));
        document.AddToCategory(song, CDocX::LIST_SONGS);
    }
    Document().SetSaveMemory(false);
    Open();
    Select({0});
    PressOk();
    EXPECT_EQ(Messages(), std::vector<std::string>{
                              "Exceeded the maximum number of albums or artists that can be stored on the unit."});
    environment.textDialog.shown.clear();
    CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_RHYTHM);
    Open();
    Select({0});
    PressOk();
    CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_SONG);
    EXPECT_TRUE(Messages().empty());
    ASSERT_EQ(document.GetList(CDocX::LIST_RHYTHM).size(), 1u);
    EXPECT_EQ(document.GetList(CDocX::LIST_RHYTHM)[0].song->GetAlbum(), "~RHYTHM");
}

TEST_F(RippingDialogTest, RegetAfterAnEditAsksFirstAndARemovedDriveResetsTheDialog) {
    WriteTwoAlbums();
    TestRippingDialog& d = Open(0);
    SetCurrentTrackTitle(0, "Mine");
    d.OnEditingStopped(UL::CCellEditorEvent(&d.GetTable()));
    environment.textDialog.answers = {AModalManager::ANSWER_CANCEL};
    platform::Control* reget = d.GetWindow()->FindControl(IDC_REGET);
    ASSERT_NE(reget, nullptr);
    auto* button = qobject_cast<QAbstractButton*>(reget->Widget());
    ASSERT_NE(button, nullptr);
    button->click();
    EXPECT_EQ(Messages(), std::vector<std::string>{"Edits will be discarded."});
    EXPECT_EQ(GetCurrentTrackTitle(0), "Mine");

    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, "/dev/other"));
    EXPECT_EQ(d.GetSelectedDrive(), 0);
    drive->LoseDisc();
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, kDevice));
    EXPECT_EQ(d.GetSelectedDrive(), -1);
    EXPECT_EQ(d.GetAlbumTitle(), "");
    EXPECT_EQ(d.GetTable().GetItemCount(), 0);
}

TEST_F(RippingDialogTest, TheManagerOpensItThroughTheRegisteredFactory) {
    RegisterDialogFactories();
    std::string title;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        title = modal->windowTitle().toStdString();
        platform::Window* window = platform::Window::FromWidget(modal);
        auto* cancel = qobject_cast<QAbstractButton*>(window->FindControl(platform::kCommandCancel)->Widget());
        cancel->click();
    });
    EXPECT_EQ(CModalManager::GetInstance().ShowRippingDialog(), AModalManager::NOT_CHOSEN);
    EXPECT_EQ(title, "CD Ripping");
}

// --- the chooser ---

class MultiQueryDialogTest : public RippingDialogTest {};

TEST_F(MultiQueryDialogTest, ItListsTheAlbumsInOrderAndOkAnswersTheChosenRow) {
    GetAlbumTitleList() = {"Alpha", "Beta", "Gamma"};
    auto chooser = CreateMultiQueryDialog();
    std::string title, prompt;
    std::vector<int> selected;
    int rows = 0;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        auto* window = platform::Window::FromWidget(modal);
        title = window->Title();
        prompt = window->FindControl(IDC_QUERY_MESSAGE)->Text();
        auto& dialog = dynamic_cast<CMultiQueryDialog&>(*chooser);
        rows = dialog.GetTable().GetItemCount();
        selected = dialog.GetTable().GetSelection()->GetSelected();
        gbxtest::PressKey(modal, Qt::Key_Escape);  // does not close it
        gbxtest::PumpFor(50);
        gbxtest::SendKey(*dialog.GetTable().GetList(), Qt::Key_Down);
        gbxtest::PressKey(modal, Qt::Key_Return);
    });
    EXPECT_EQ(chooser->DoModal(), 1);
    EXPECT_EQ(title, "Select CD information");
    EXPECT_EQ(prompt, "Multiple items of CD information were found; please choose one.");
    EXPECT_EQ(rows, 3);
    EXPECT_EQ(selected, std::vector<int>{0});

    CQueryTableModel model;
    EXPECT_EQ(model.GetColumnName(0), "Album Name");
    EXPECT_EQ(model.GetValueAt(2, 0).GetString(), "Gamma");
    EXPECT_EQ(model.GetValueAt(3, 0).GetString(), "");
    EXPECT_FALSE(model.IsCellEditable(0, 0));
}

TEST_F(MultiQueryDialogTest, ADriveRemovalClosesItWithoutAChoiceAndTheLookupFails) {
    WriteTwoAlbums();
    dialog = std::make_unique<TestRippingDialog>();
    dialog->realChooser = true;
    ASSERT_TRUE(dialog->Create(nullptr));
    std::vector<std::string> shown;
    gbxtest::WhenModalAppears([&](QWidget*) {
        shown = GetAlbumTitleList();
        CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, "/dev/elsewhere"));
    });
    dialog->OnKickIdle();
    EXPECT_EQ(shown, (std::vector<std::string>{"First Album", "Second Album"}));
    EXPECT_TRUE(GetAlbumTitleList().empty());
    EXPECT_EQ(GetCurrentTrackTitle(0), "Track01") << "the made-up album stays";
    EXPECT_FALSE(dialog->IsLogoShown());
}

// --- real windows ---

// The wheel turned over an open title editor, as the desktop delivers it (to the window, at the point
// under the pointer): the editor closes and the keyboard stays with the tracks, where Down moves the
// current row and Enter opens the editor again instead of pressing OK.
TEST_F(RippingDialogTest, RealWindowsTheWheelLeavesTheKeyboardWithTheTracks) {
    if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    if (!gbxtest::HaveCommand("xdotool")) GTEST_SKIP() << "xdotool is installed by scripts/install-deps.sh";
    WriteTwoAlbums();
    dialog = std::make_unique<TestRippingDialog>();
    ASSERT_TRUE(dialog->Create(nullptr));
    dialog->GetWindow()->Show();
    dialog->OnKickIdle();
    dialog->GetWindow()->Activate();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return dialog->GetWindow()->IsActive(); }));
    CListCtrlA& table = dialog->GetTable();
    Select({1});
    table.GetSelection()->SetLead(1);
    table.GetColumnSelection()->SetLead(CTrackTableModel::TITLE);
    table.SetFocus();
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.HasFocus(); }));
    gbxtest::PressKey(dialog->GetWindow()->Widget(), Qt::Key_Return);
    ASSERT_NE(table.GetActiveEditor(), nullptr);
    QWidget* editor = QApplication::focusWidget();
    ASSERT_NE(qobject_cast<QLineEdit*>(editor), nullptr);
    gbxtest::TypeText(editor, "Zwei");

    // The wheel turned by the desktop over the editor (an event the program makes would not travel on
    // from the editor to the table, as the desktop's does).
    QWidget* top = dialog->GetWindow()->Widget();
    const QPoint at = editor->mapToGlobal(editor->rect().center());
    ASSERT_EQ(gbxtest::Run("xdotool mousemove " + std::to_string(at.x()) + " " + std::to_string(at.y()) + " click 5")
                  .exitCode,
              0);
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table.GetActiveEditor() == nullptr; }));
    gbxtest::PumpFor(200);
    EXPECT_TRUE(table.HasFocus()) << (QApplication::focusWidget() != nullptr
                                          ? QApplication::focusWidget()->metaObject()->className()
                                          : "nothing has the keyboard");
    gbxtest::PressKey(top, Qt::Key_Down);
    EXPECT_EQ(table.GetSelection()->GetLead(), 2) << "Down reached the tracks";
    gbxtest::PressKey(top, Qt::Key_Return);
    EXPECT_NE(table.GetActiveEditor(), nullptr) << "Enter opens the editor again, and is no OK";
    EXPECT_NE(GetCurrentTrackTitle(1), "Zwei") << "the wheel commits nothing";
}

TEST_F(RippingDialogTest, RealWindowsOfTheRippingDialogAndTheChooser) {
    if (!gbxtest::OnRealDisplay()) GTEST_SKIP() << "runs on an X server as app_shell_tests.RealWindows";
    WriteTwoAlbums();
    dialog = std::make_unique<TestRippingDialog>();
    dialog->realChooser = true;
    ASSERT_TRUE(dialog->Create(nullptr));
    dialog->GetWindow()->Show();
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        gbxtest::PumpFor(300);
        gbxtest::ShootAndCheck(modal, "chooser.png");
        gbxtest::PressKey(modal, Qt::Key_Return);
    });
    dialog->OnKickIdle();
    gbxtest::PumpFor(300);
    gbxtest::ShootAndCheck(dialog->GetWindow()->Widget(), "ripping-dialog.png");
}

}  // namespace
