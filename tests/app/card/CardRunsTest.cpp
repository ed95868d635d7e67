// The card document's import, export and deletion runs on a card folder: where new songs land and
// what they are called, the limits checked before anything is written (songs, names, free space,
// file types), files of the card chosen for import, exports and their questions, deletions and
// their questions, and a card that goes at any step of a run. Every case is checked on the card's
// files and on the database written to the card, read back.
#include "app/card/AudioTransfer.h"
#include "app/card/CardFiles.h"
#include "app/card/DatabaseStore.h"
#include "app/card/VoxaFiles.h"
#include "general_tools/Files.h"
#include "general_tools/Profile.h"
#include "general_tools/StringFunctions.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/FatImage.h"
#include "tests/support/RecordingProgress.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using cardtest::EntriesBelow;
using cardtest::FilesBelow;
using cardtest::MakeSound;
using gbxtest::Quote;

constexpr int kNo = AModalManager::ANSWER_NO;
constexpr int kYes = AModalManager::ANSWER_YES;
const char kUnitNotFound[] = "The unit not found.";
const char kWriteFailed[] = "Failed to write to the unit.";
constexpr int kFrames = 50000;  // of every sound source: a little over one second
// The temporary database set that a save writes beside the old one.
constexpr int64_t kDatabaseSet = 1024034 + 2048034 + 5 * 25060;
constexpr int64_t kMiB = 1048576;

// Card file operations without syncing (the runs below write the database many times), that can
// fail every write or the removal of one file, and report every removal.
class CQuickCard : public CCardFileSystem {
public:
    bool Sync(int, const std::string&) override { return true; }
    bool SyncFolder(const CCardFolder&) override { return true; }
    bool SyncFileSystem(const CCardFolder&) override { return true; }
    int Create(const CCardFolder& folder, const std::string& name) override {
        return failWriting ? -1 : CCardFileSystem::Create(folder, name);
    }
    bool Remove(const CCardFolder& folder, const std::string& name) override {
        if (!failRemoving.empty() && name == failRemoving) return false;
        const bool removed = CCardFileSystem::Remove(folder, name);
        if (afterRemove) afterRemove(folder.GetPath() + name);
        return removed;
    }
    std::string failRemoving;
    bool failWriting = false;
    std::function<void(const std::string&)> afterRemove;
};

// The progress dialog lets window messages through at every call; the n-th call (counted from 1)
// runs the hook, as a device notice that arrives then.
class CPumpingProgress : public gbxtest::RecordingProgress {
public:
    void Begin() override { Pump(), RecordingProgress::Begin(); }
    void End() override { Pump(), RecordingProgress::End(); }
    void SetRange(int steps) override { Pump(), RecordingProgress::SetRange(steps); }
    void SetPos(int pos) override { Pump(), RecordingProgress::SetPos(pos); }
    void Step() override { Pump(), RecordingProgress::Step(); }
    void SetTitle(const std::string& title) override { Pump(), RecordingProgress::SetTitle(title); }
    void SetMessage(const std::string& message) override { Pump(), RecordingProgress::SetMessage(message); }
    void SetCancelable(bool cancelable) override { Pump(), RecordingProgress::SetCancelable(cancelable); }
    bool IsCancelled() override { return Pump(), RecordingProgress::IsCancelled(); }

    int pumps = 0;
    int hookAt = 0;
    std::function<void()> hook;

private:
    void Pump() {
        if (++pumps == hookAt && hook) hook();
    }
};

// A used slot as the reloaded database gives it.
std::string Describe(const CSongX& song) {
    return song.GetPath() + " | " + song.GetTitle() + " | " + song.GetArtist() + " | " + song.GetAlbum() + " | "
           + std::to_string(song.GetFileType()) + (song.IsProtected() ? " | protected" : "");
}

// The Voxa value of ceil(CeilDivide(frames, 16) * 16 * 2 * 6 / 8) + 56 for stereo, worked out
// apart from the code under test.
int64_t VoxaEstimate(int64_t frames) {
    const double groups = frames > 0 ? (frames - 1) / 16.0 + 1 : 0;
    return static_cast<int64_t>(std::ceil(groups * 16 * 2 * 6 * 0.125)) + 56;
}

// Copies a folder's tree by its bytes alone: a FAT card through FUSE takes no change of access,
// which a copy of the attributes would make.
void CopyBytesBelow(const std::string& from, const std::string& to) {
    for (fs::recursive_directory_iterator it(from), end; it != end; ++it) {
        const std::string target = to + "/" + fs::relative(it->path(), from).string();
        if (it->is_directory())
            fs::create_directories(target);
        else
            gbxtest::WriteBytes(target, gbxtest::ReadBytes(it->path().string()));
    }
}

class CardRunsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!cardtest::HaveTools()) GTEST_SKIP() << cardtest::kNoTools;
        SetCardFileSystem(&card);
        SetProgressBar(&progress);
        fs::create_directories(Source(""));
        const std::string stereo = "-r 44100 -c 2 -b 16 -e signed-integer",
                          mono = "-r 44100 -c 1 -b 16 -e signed-integer";
        const std::string length = std::to_string(kFrames) + "s";
        ASSERT_TRUE(MakeSound(Source("Song.wav"), stereo, length));
        ASSERT_TRUE(MakeSound(Source("mono.wav"), mono, length));
        ASSERT_TRUE(MakeSound(Source("song.aiff"), stereo, length));
        ASSERT_TRUE(MakeSound(Source("mono.aiff"), mono, length));
        ASSERT_TRUE(MakeSound(Source("rate48.wav"), "-r 48000 -c 2 -b 16 -e signed-integer", length));
        ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 --tt 'Tagged Title' --ta 'Tag Artist' --tl 'Tag Album' --tn 7 "
                               + Quote(Source("Song.wav")) + " " + Quote(Source("tagged.mp3")))
                      .exitCode,
                  0);
        ASSERT_EQ(gbxtest::Run("lame --quiet -b 128 " + Quote(Source("Song.wav")) + " " + Quote(Source("plain.mp3")))
                      .exitCode,
                  0);
        MakeCard();
    }
    void TearDown() override {
        SetProgressBar(nullptr);
        SetCardFileSystem(nullptr);
    }

    std::string Source(const std::string& name) const { return env.Dir().File("in/" + name); }
    std::vector<std::string> Sources(const std::vector<std::string>& names) const {
        std::vector<std::string> sources;
        for (const std::string& name : names) sources.push_back(Source(name));
        return sources;
    }
    std::string OnCard(const std::string& relative) const { return env.DatabaseFolder() + relative; }
    CDocX& Document() { return cardtest::CCardEnvironment::Document(); }
    std::vector<std::string> Messages() const { return env.textDialog.Texts(); }

    // Puts a song into a slot of the document, with a file of these bytes.
    void PutSong(int slot, const std::string& extension, const std::string& title, const std::string& artist,
                 const std::string& album, int list, const std::vector<uint8_t>& bytes) {
        CDocX& document = Document();
        CSlotTable& slots = document.GetSlots();
        while (static_cast<int>(slots.size()) <= slot) slots.push_back(boost::make_shared<CSongX>());
        CSongX* song = slots[size_t(slot)].get();
        const std::string path = document.GetSongFolder(slot) + GT::FormatString("%04d", slot) + extension;
        gbxtest::WriteBytes(path, bytes);
        song->SetPathFromFullPath(path);
        song->SetFileType(GetSongFileType(path));
        song->SetTitle(title);
        if (list == CDocX::LIST_RHYTHM)
            document.MoveToRhythm(song);
        else if (list == CDocX::LIST_USER)
            document.MoveToUser(song);
        else
            document.MoveToSongs(song);
        song->SetArtist(list == CDocX::LIST_SONGS ? artist : song->GetArtist());
        song->SetAlbum(list == CDocX::LIST_SONGS ? album : song->GetAlbum());
        document.MarkChanged(song);
    }

    // The card of every test: songs in slots 0 to 4, 6 and 125 (slot 3 a Voxa song of 160 frames,
    // slot 4 protected, slot 2 in Rhythm, slot 6 in User), slot 5 and slots 7 to 124 free; saved,
    // kept as the pristine card and read back.
    void MakeCard() {
        env.Connect();
        PutSong(0, ".WAV", "Alpha", "Ann", "One", CDocX::LIST_SONGS, {'w', 'a', 'v', '0'});
        PutSong(1, ".MP3", "Beta", "Bob", "Two", CDocX::LIST_SONGS, {'m', 'p', '3', '1'});
        PutSong(2, ".WAV", "Gamma", "", "", CDocX::LIST_RHYTHM, {'w', 'a', 'v', '2'});
        PutSong(3, ".Q3R", "Delta", "Ann", "One", CDocX::LIST_SONGS, {});
        auto voxa = CreateVoxaFile(OnCard("000/0003.Q3R"), 44100.0, 2);
        for (int i = 0; i < 320; ++i) {
            voxa->Set(static_cast<int16_t>(i * 37 % 2000 - 1000));
            voxa->Next();
        }
        ASSERT_TRUE(voxa->Finish());
        PutSong(4, ".WAV", "Epsilon", "Eve", "One", CDocX::LIST_SONGS, {'w', 'a', 'v', '4'});
        Document().GetSong(4)->SetProtected(true);
        PutSong(6, ".MP3", "Zeta", "", "", CDocX::LIST_USER, {'m', 'p', '3', '6'});
        PutSong(125, ".MP3", "Eta", "Bob", "Three", CDocX::LIST_SONGS, {'m', 'p', '3', '1', '2', '5'});
        ASSERT_TRUE(Document().Save());
        fs::copy(env.CardDrive(), pristine, fs::copy_options::recursive);
        Reload();
    }

    // The pristine card in place of whatever the folder holds, connected and read.
    void RestoreCard() {
        fs::remove_all(env.CardDrive());
        fs::copy(pristine, env.CardDrive(), fs::copy_options::recursive);
        Reload();
        env.textDialog.shown.clear();
        env.textDialog.answers.clear();
    }

    // Reads the card again, as a new connect does.
    void Reload() {
        Document().Reset();
        env.Connect();
        ASSERT_TRUE(Document().Load());
    }

    // The used slots of the document, described.
    std::map<int, std::string> UsedSlots() {
        std::map<int, std::string> used;
        for (int slot = 0; slot < Document().GetSlotCount(); ++slot)
            if (Document().GetSong(slot)->IsUsed()) used[slot] = Describe(*Document().GetSong(slot));
        return used;
    }
    std::map<int, std::string> PristineSlots() {
        std::map<int, std::string> slots = {
            {0, "/CORVANE/QM/DB/000/0000.WAV | Alpha | Ann | One | 1"},
            {1, "/CORVANE/QM/DB/000/0001.MP3 | Beta | Bob | Two | 3"},
            {2, "/CORVANE/QM/DB/000/0002.WAV | Gamma | ~RHYTHM | ~RHYTHM | 1"},
            {3, "/CORVANE/QM/DB/000/0003.Q3R | Delta | Ann | One | 4"},
            {4, "/CORVANE/QM/DB/000/0004.WAV | Epsilon | Eve | One | 1 | protected"},
            {6, "/CORVANE/QM/DB/000/0006.MP3 | Zeta | ~USER | ~USER | 3"},
            {125, "/CORVANE/QM/DB/001/0125.MP3 | Eta | Bob | Three | 3"},
        };
        return slots;
    }
    // Songs in the free slots from slot 7 on, until so many slots are used (slot 5 stays free).
    void FillSlotsUntil(int used) {
        for (int slot = 7; Document().GetUsedSlotCount() < used; ++slot)
            if (!Document().GetSong(slot) || !Document().GetSong(slot)->IsUsed())
                PutSong(slot, ".MP3", "Filler", "Ann", "One", CDocX::LIST_SONGS, {});
        Document().ClearChanges();  // their icon files are not needed
        Document().SetModified(1);
    }

    // The card's files and database bytes, to tell that a run wrote nothing.
    std::map<std::string, std::vector<uint8_t>> CardImage() const { return FolderImage(env.CardDrive()); }
    static std::map<std::string, std::vector<uint8_t>> FolderImage(const std::string& folder) {
        std::map<std::string, std::vector<uint8_t>> image;
        for (const std::string& file : FilesBelow(folder)) image[file] = cardtest::ReadFile(folder + "/" + file);
        return image;
    }

    cardtest::CCardEnvironment env;
    CQuickCard card;
    CPumpingProgress progress;
    const std::string pristine = env.Dir().File("pristine");
};

TEST_F(CardRunsTest, TheCardAsMadeReadsBack) { EXPECT_EQ(UsedSlots(), PristineSlots()); }

TEST_F(CardRunsTest, ImportsLandInTheFirstFreeSlotsAsTheSettingAndTheTypeSay) {
    struct Case {
        const char* name;
        std::vector<std::string> sources;
        bool saveMemory;
        int tab;
        std::map<int, std::string> added;  // slot: its description after reading the card back
        std::vector<std::string> files;    // new files in the database folder
    } cases[] = {
        {"WAV encoded",
         {"Song.wav"},
         true,
         CDocumentModel::TAB_SONG,
         {{5, "/CORVANE/QM/DB/000/0005.Q3R | Song |  |  | 4"}},
         {"000/0005.Q3I", "000/0005.Q3R"}},
        {"WAV copied with its extension as written",
         {"Song.wav"},
         false,
         CDocumentModel::TAB_SONG,
         {{5, "/CORVANE/QM/DB/000/0005.wav | Song |  |  | 1"}},
         {"000/0005.Q3I", "000/0005.wav"}},
        {"AIFF converted lands as a WAV file",
         {"song.aiff"},
         false,
         CDocumentModel::TAB_SONG,
         {{5, "/CORVANE/QM/DB/000/0005.WAV | song |  |  | 1"}},
         {"000/0005.Q3I", "000/0005.WAV"}},
        {"AIFF encoded",
         {"mono.aiff"},
         true,
         CDocumentModel::TAB_SONG,
         {{5, "/CORVANE/QM/DB/000/0005.Q3R | mono |  |  | 4"}},
         {"000/0005.Q3I", "000/0005.Q3R"}},
        {"MP3 titled by its tag, then the next free slot",
         {"tagged.mp3", "mono.wav"},
         true,
         CDocumentModel::TAB_SONG,
         {{5, "/CORVANE/QM/DB/000/0005.mp3 | Tagged Title | Tag Artist | Tag Album | 3"},
          {7, "/CORVANE/QM/DB/000/0007.Q3R | mono |  |  | 4"}},
         {"000/0005.Q3I", "000/0005.mp3", "000/0007.Q3I", "000/0007.Q3R"}},
        {"onto the Rhythm tab",
         {"tagged.mp3"},
         true,
         CDocumentModel::TAB_RHYTHM,
         {{5, "/CORVANE/QM/DB/000/0005.mp3 | Tagged Title | ~RHYTHM | ~RHYTHM | 3"}},
         {"000/0005.Q3I", "000/0005.mp3"}},
        {"onto the User tab",
         {"plain.mp3"},
         false,
         CDocumentModel::TAB_USER,
         {{5, "/CORVANE/QM/DB/000/0005.mp3 | plain | ~USER | ~USER | 3"}},
         {"000/0005.Q3I", "000/0005.mp3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RestoreCard();
        const std::vector<std::string> before = FilesBelow(env.DatabaseFolder());
        Document().SetSaveMemory(c.saveMemory);
        CDocumentModel::GetInstance().SetShownTab(c.tab);
        EXPECT_TRUE(Document().ImportFiles(Sources(c.sources)));
        EXPECT_EQ(Messages(), std::vector<std::string>());
        EXPECT_FALSE(Document().NeedsSaving());
        // The added songs, in order, in the shown list.
        ASSERT_EQ(Document().GetAddedSongs().size(), c.added.size());
        size_t k = 0;
        for (const auto& added : c.added) {
            EXPECT_EQ(Document().GetAddedSongs()[k++], Document().GetSong(added.first).get());
            EXPECT_GE(Document().FindInList(c.tab, Document().GetSong(added.first).get()), 0);
        }

        std::vector<std::string> now = FilesBelow(env.DatabaseFolder()), added;
        std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
        EXPECT_EQ(added, c.files);
        Reload();
        std::map<int, std::string> expected = PristineSlots();
        expected.insert(c.added.begin(), c.added.end());
        EXPECT_EQ(UsedSlots(), expected);
        for (const auto& slot : c.added)
            EXPECT_GE(Document().FindInList(c.tab, Document().GetSong(slot.first).get()), 0) << slot.first;
    }
    CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_SONG);
}

TEST_F(CardRunsTest, ProgressCountsTheFilesAndEveryEncodingsSteps) {
    Document().SetSaveMemory(true);
    ASSERT_TRUE(Document().ImportFiles({Source("plain.mp3"), Source("Song.wav")}));
    const int steps = (2 * kFrames + 9999) / 10000;
    const std::vector<std::string> expected = {"SetTitle Now importing.", "SetCancelable 1", "Begin", "SetRange 2",
                                               // the MP3 file is copied: one step
                                               "SetMessage File 01/02", "IsCancelled", "Step",
                                               // the WAV file is encoded: a range of its own
                                               "SetMessage File 02/02", "SetPos 0",
                                               "SetRange " + std::to_string(steps)};
    ASSERT_GE(progress.calls.size(), expected.size());
    EXPECT_EQ(std::vector<std::string>(progress.calls.begin(), progress.calls.begin() + expected.size()), expected);
    EXPECT_EQ(progress.Count("Step"), 1 + steps);
    EXPECT_EQ(progress.calls.back(), "End");
}

TEST_F(CardRunsTest, RefusalsBeforeTheRunWriteNothing) {
    // 2000 names on the Songs list: a new album and artist break the limit, but only on the tab
    // whose songs carry them.
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::vector<std::string> sources;
        std::vector<std::string> messages;
    } cases[] = {
        {"not a song file", [] {}, {"Song.wav", "notes.txt"}, {"Unsupported file format."}},
        {"a Voxa file", [] {}, {"Song.wav", "0001.Q3R"}, {"Unsupported file format."}},
        {"too many songs",
         [this] { FillSlotsUntil(3999); },
         {"plain.mp3", "plain.mp3"},
         {"Exceeded the maximum number of songs storable on the unit."}},
        {"too many names on the Song tab",
         [this] {
             // Six names on the card, two more for each new song.
             for (int i = 0; i < 997; ++i)
                 PutSong(126 + i, ".MP3", "Filler", "Artist " + std::to_string(i), "Album " + std::to_string(i),
                         CDocX::LIST_SONGS, {});
             ASSERT_TRUE(Document().CheckAlbumArtistLimit({}, {}, {}, {}));
             ASSERT_FALSE(Document().CheckAlbumArtistLimit({"new"}, {}, {}, {}));
         },
         {"tagged.mp3"},
         {"Exceeded the maximum number of albums or artists that can be stored on the unit."}},
    };
    gbxtest::WriteText(Source("notes.txt"), "not a song");
    gbxtest::WriteBytes(Source("0001.Q3R"), {});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RestoreCard();
        c.arrange();
        const auto image = CardImage();
        EXPECT_FALSE(Document().ImportFiles(Sources(c.sources)));
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_TRUE(CardImage() == image) << "the card was written";
    }
    // On the Rhythm and User tabs the same file passes: its song carries the tags.
    for (const int tab : {CDocumentModel::TAB_RHYTHM, CDocumentModel::TAB_USER}) {
        env.textDialog.shown.clear();
        CDocumentModel::GetInstance().SetShownTab(tab);
        EXPECT_TRUE(Document().ImportFiles({Source("tagged.mp3")})) << tab;
        EXPECT_EQ(Messages(), std::vector<std::string>());
    }
    CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_SONG);
}

TEST_F(CardRunsTest, TheLastTwoSlotsOfTheCardAreFilled) {
    FillSlotsUntil(3998);
    ASSERT_TRUE(Document().Save());
    Reload();
    const auto image = CardImage();
    EXPECT_FALSE(Document().ImportFiles({Source("plain.mp3"), Source("plain.mp3"), Source("tagged.mp3")}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Exceeded the maximum number of songs storable on the unit."});
    EXPECT_TRUE(CardImage() == image);
    env.textDialog.shown.clear();
    // Slot 5 is the first free slot, the table's end the second.
    EXPECT_TRUE(Document().ImportFiles({Source("plain.mp3"), Source("tagged.mp3")}));
    EXPECT_EQ(Messages(), std::vector<std::string>());
    EXPECT_TRUE(fs::exists(OnCard("000/0005.mp3")));
    EXPECT_TRUE(fs::exists(OnCard("039/3999.mp3")));
    Reload();
    EXPECT_EQ(Document().GetUsedSlotCount(), 4000);
    EXPECT_EQ(Document().GetSong(3999)->GetTitle(), "Tagged Title");
    EXPECT_FALSE(Document().CanAdd(1));
}

TEST_F(CardRunsTest, FreeSpaceIsCheckedAtItsBoundary) {
    // What the card receives: the Voxa file of a mono source is stereo, like any other; an AIFF
    // file copied without encoding becomes a 16-bit stereo WAV file; an MP3 file is copied. Each
    // needs its icon file and room for the database set beside the old one, and 1 MiB stays free.
    int64_t mp3Size = 0;
    ASSERT_TRUE(GT::GetFileSize(Source("plain.mp3"), mp3Size));
    struct Case {
        const char* name;
        std::string source;
        bool saveMemory;
        int64_t audio;
        std::string cardFile;
    } cases[] = {
        {"mono WAV encoded", "mono.wav", true, VoxaEstimate(kFrames), "000/0005.Q3R"},
        {"mono AIFF converted", "mono.aiff", false, kFrames * 4 + 46, "000/0005.WAV"},
        {"MP3 copied", "plain.mp3", false, mp3Size, "000/0005.mp3"},
    };
    cardtest::CFixedDiskSpace space;
    space.figures.clusterBytes = 1;
    platform::SetDiskSpaceSource(&space);
    for (const Case& c : cases) {
        for (const int64_t shortBy : {1, 0}) {
            SCOPED_TRACE(std::string(c.name) + (shortBy ? ", one byte short" : ", exactly enough"));
            RestoreCard();
            Document().SetSaveMemory(c.saveMemory);
            space.figures.freeBytes = static_cast<uint64_t>(c.audio + 1044 + kDatabaseSet + kMiB - shortBy);
            const auto image = CardImage();
            EXPECT_EQ(Document().ImportFiles({Source(c.source)}), shortBy == 0);
            if (shortBy) {
                EXPECT_EQ(Messages(), std::vector<std::string>{"Insufficient free space on the unit."});
                EXPECT_TRUE(CardImage() == image);
                continue;
            }
            EXPECT_EQ(Messages(), std::vector<std::string>());
            // The estimate is the file or a little more (a Voxa file's last group).
            const int64_t written = static_cast<int64_t>(fs::file_size(OnCard(c.cardFile)));
            EXPECT_LE(written, c.audio);
            EXPECT_GE(written, c.audio - 23);
            Reload();
            EXPECT_TRUE(Document().GetSong(5)->IsUsed());
        }
    }
    // A volume that cannot tell its space.
    RestoreCard();
    space.available = false;
    EXPECT_FALSE(Document().ImportFiles({Source("plain.mp3")}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to import."});
    platform::SetDiskSpaceSource(nullptr);
}

TEST_F(CardRunsTest, CancellingTheChooserWritesNothing) {
    const auto image = CardImage();
    env.fileDialog.answer = 1;
    EXPECT_TRUE(Document().Import());
    EXPECT_TRUE(CardImage() == image);
    EXPECT_TRUE(progress.calls.empty());
    // Chosen files are imported.
    env.fileDialog.answer = 0;
    env.fileDialog.chosen = {Source("plain.mp3")};
    EXPECT_TRUE(Document().Import());
    EXPECT_TRUE(fs::exists(OnCard("000/0005.mp3")));
}

TEST_F(CardRunsTest, AFailedOrCancelledFileEndsTheRunAndTheSongsBeforeItStay) {
    struct Case {
        const char* name;
        std::vector<std::string> sources;
        int cancelAtCheck;
        bool result;
        std::vector<std::string> messages;
    } cases[] = {
        {"a 48 kHz file", {"plain.mp3", "rate48.wav", "tagged.mp3"}, 0, false, {"Unsupported file format."}},
        // The second file's first cancel question.
        {"cancelled", {"plain.mp3", "Song.wav", "tagged.mp3"}, 2, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RestoreCard();
        // Counted over the progress object's life.
        progress.cancelAtCheck = c.cancelAtCheck == 0 ? 0 : progress.Count("IsCancelled") + c.cancelAtCheck;
        EXPECT_EQ(Document().ImportFiles(Sources(c.sources)), c.result);
        EXPECT_EQ(Messages(), c.messages);
        EXPECT_EQ(Document().GetAddedSongs().size(), 1u);
        Reload();
        std::map<int, std::string> expected = PristineSlots();
        expected[5] = "/CORVANE/QM/DB/000/0005.mp3 | plain |  |  | 3";
        EXPECT_EQ(UsedSlots(), expected);
        for (const char* leftover : {"000/0007.Q3R", "000/0007.WAV", "000/0007.wav", "000/0007.Q3I"})
            EXPECT_FALSE(fs::exists(OnCard(leftover))) << leftover;
    }
    progress.cancelAtCheck = 0;
}

TEST_F(CardRunsTest, AFileOfTheCardInItsOwnSlotIsKeptWhereItIs) {
    Document().SetSaveMemory(false);
    // An orphaned song file (no database entry) in the first free slot.
    const std::string orphan = OnCard("000/0005.wav");
    fs::copy_file(Source("Song.wav"), orphan);
    const std::vector<uint8_t> bytes = gbxtest::ReadBytes(orphan);
    EXPECT_TRUE(Document().ImportFiles({orphan}));
    EXPECT_EQ(Messages(), std::vector<std::string>());
    EXPECT_EQ(gbxtest::ReadBytes(orphan), bytes) << "never copied onto itself";
    Reload();
    EXPECT_EQ(Describe(*Document().GetSong(5)), "/CORVANE/QM/DB/000/0005.wav | 0005 |  |  | 1");

    // One the import does not take stays too.
    RestoreCard();
    Document().SetSaveMemory(false);
    fs::copy_file(Source("rate48.wav"), orphan);
    const std::vector<uint8_t> refused = gbxtest::ReadBytes(orphan);
    EXPECT_FALSE(Document().ImportFiles({orphan}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
    EXPECT_EQ(gbxtest::ReadBytes(orphan), refused) << "never deleted as a failed destination";

    // A file of the card that an earlier file of the run would be written over is refused
    // before anything is written.
    RestoreCard();
    Document().SetSaveMemory(false);
    fs::copy_file(Source("Song.wav"), orphan, fs::copy_options::overwrite_existing);
    const auto image = CardImage();
    EXPECT_FALSE(Document().ImportFiles({Source("mono.wav"), orphan}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to import."});
    EXPECT_TRUE(CardImage() == image);
    // In the other order each file has a slot of its own.
    EXPECT_TRUE(Document().ImportFiles({orphan, Source("mono.wav")}));
    EXPECT_EQ(gbxtest::ReadBytes(orphan), bytes);
    EXPECT_EQ(gbxtest::ReadBytes(OnCard("000/0007.wav")), gbxtest::ReadBytes(Source("mono.wav")));
}

TEST_F(CardRunsTest, ExportWritesSlotFilesIntoTheChosenFolder) {
    const std::string out = env.Dir().File("out");
    fs::create_directories(out);
    env.directoryDialog.answer = 0;
    env.directoryDialog.chosen = out;
    const auto image = CardImage();
    CSongX* voxa = Document().GetSong(3).get();
    CSongX* mp3 = Document().GetSong(125).get();
    EXPECT_TRUE(Document().ExportSongs({voxa, mp3}));
    EXPECT_EQ(Messages(), std::vector<std::string>());
    EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"0003.WAV", "0125.MP3"}));
    EXPECT_EQ(fs::file_size(out + "/0003.WAV"), 2u * 2 * 160 + 46);
    EXPECT_EQ(gbxtest::ReadBytes(out + "/0125.MP3"), gbxtest::ReadBytes(OnCard("001/0125.MP3")));
    EXPECT_EQ(GT::GetProfile().GetString("ExportDialog/InitialDirectory", ""), out);
    EXPECT_TRUE(CardImage() == image) << "an export writes nothing to the card";

    // An existing target answered No is skipped; the others are exported.
    fs::remove_all(out);
    fs::create_directories(out);
    gbxtest::WriteText(out + "/0003.WAV", "keep");
    env.textDialog.answers = {kNo};
    EXPECT_TRUE(Document().ExportSongs({voxa, mp3}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"A file with the same name already exists. Overwrite it?"});
    EXPECT_EQ(gbxtest::ReadBytes(out + "/0003.WAV"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::exists(out + "/0125.MP3"));

    // The chooser cancelled, and a folder on the card.
    env.textDialog.shown.clear();
    env.directoryDialog.answer = 1;
    EXPECT_TRUE(Document().ExportSongs({voxa}));
    env.directoryDialog.answer = 0;
    env.directoryDialog.chosen = env.DatabaseFolder() + "000";
    EXPECT_FALSE(Document().ExportSongs({voxa}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
    EXPECT_TRUE(CardImage() == image);
}

TEST_F(CardRunsTest, DeletionAsksBeforeEachProtectedSong) {
    for (const int answer : {kNo, kYes}) {
        SCOPED_TRACE(answer == kYes ? "Yes" : "No");
        RestoreCard();
        env.textDialog.answers = {answer};
        EXPECT_TRUE(Document().DeleteSongs(
            {Document().GetSong(0).get(), Document().GetSong(4).get(), Document().GetSong(125).get()}));
        EXPECT_EQ(Messages(), std::vector<std::string>{"The song is protected. Delete it?"});
        EXPECT_FALSE(Document().NeedsSaving());
        std::map<int, std::string> expected = PristineSlots();
        expected.erase(0);
        expected.erase(125);
        if (answer == kYes) expected.erase(4);
        for (const char* file : {"000/0000.WAV", "000/0000.Q3I", "001/0125.MP3", "001/0125.Q3I"})
            EXPECT_FALSE(fs::exists(OnCard(file))) << file;
        EXPECT_EQ(fs::exists(OnCard("000/0004.WAV")), answer == kNo);
        Reload();
        EXPECT_EQ(UsedSlots(), expected);
        // The freed slots are the first free ones again.
        EXPECT_EQ(Document().AllocateSlot(), 0);
    }
}

TEST_F(CardRunsTest, ADeletedSongLeavesTheChangedSongs) {
    CSongX* song = Document().GetSong(1).get();
    song->SetTitle("Renamed");
    Document().MarkChanged(song);
    ASSERT_TRUE(Document().DeleteSong(song));
    EXPECT_EQ(Document().GetChangedSongs().count(song), 0u);
    EXPECT_FALSE(song->IsUsed());
    EXPECT_LT(Document().FindInList(CDocX::LIST_SONGS, song), 0);
    ASSERT_TRUE(Document().Save());
    EXPECT_FALSE(fs::exists(OnCard("000/0001.Q3I")));
    EXPECT_FALSE(Document().DeleteSong(song)) << "nothing left to delete";
}

TEST_F(CardRunsTest, ADeletionThatFailsPartWayStillWritesTheDatabase) {
    card.failRemoving = "0001.MP3";
    EXPECT_FALSE(Document().DeleteSongs(
        {Document().GetSong(0).get(), Document().GetSong(1).get(), Document().GetSong(125).get()}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to delete."});
    card.failRemoving.clear();
    Reload();
    std::map<int, std::string> expected = PristineSlots();
    expected.erase(0);
    EXPECT_EQ(UsedSlots(), expected) << "the database names no file that is gone";
    EXPECT_TRUE(fs::exists(OnCard("001/0125.MP3")));
}

// --- the card going during a run ---

class CardRemovalTest : public CardRunsTest {
protected:
    // The card goes (its removal notice routed as the device-change handler does), and another
    // card with the same songs is put where it was mounted and connected, as a user swapping
    // cards would.
    void SwapCards() {
        const std::string drive = env.CardDrive();
        CModalManager::GetInstance().RouteDeviceEvent(CModelEvent(CModelEvent::CARD_GONE, drive));
        fs::rename(drive, gone);
        fs::copy(pristine, drive, fs::copy_options::recursive);
        Document().SetCardRoot(CDocX::MakeCardRoot(drive));
        CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
        swapped = true;
    }

    // The card that went, read back: its database names what it named before the run, or exactly
    // the song files on it.
    void ExpectGoneCardWhole(const std::set<std::string>& before) {
        Document().Reset();
        Document().SetCardRoot(CDocX::MakeCardRoot(gone));
        ASSERT_TRUE(Document().Load());
        std::set<std::string> named, present;
        for (const CSongPointer& song : Document().GetSlots())
            if (song->IsUsed()) named.insert(song->GetPath().substr(1));
        for (const std::string& file : FilesBelow(gone))
            if (IsSupportedSongFile(file)) present.insert(file);
        EXPECT_TRUE(named == before || named == present)
            << named.size() << " named, " << before.size() << " before, " << present.size() << " present";
        Document().Reset();
    }

    // The messages of a run that the card left: "The unit not found." once, last; before it at
    // most the removal's own "Failed to write to the unit." (changes were unsaved).
    void ExpectToldOnce() {
        const std::vector<std::string> texts = Messages();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), kUnitNotFound);
        EXPECT_EQ(std::count(texts.begin(), texts.end(), kUnitNotFound), 1);
        EXPECT_LE(std::count(texts.begin(), texts.end(), kWriteFailed), 1);
    }

    // Runs the run once undisturbed to count its progress calls, then once for the card going at
    // each of them.
    template <class Run, class Check>
    void AtEveryStep(Run run, Check check) {
        const auto pristineImage = FolderImage(pristine);
        RestoreCard();
        progress.pumps = 0;
        progress.hookAt = 0;
        run();
        const int steps = progress.pumps;
        ASSERT_GT(steps, 3);
        for (int at = 1; at <= steps; ++at) {
            SCOPED_TRACE("card gone at progress call " + std::to_string(at) + " of " + std::to_string(steps));
            fs::remove_all(gone);
            RestoreCard();
            const std::set<std::string> before = Named();
            swapped = false;
            progress.pumps = 0;
            progress.hookAt = at;
            progress.hook = [this] { SwapCards(); };
            run();
            ASSERT_TRUE(swapped);
            EXPECT_TRUE(CardImage() == pristineImage) << "the new card was written";
            check(before);
            ExpectGoneCardWhole(before);
            env.textDialog.shown.clear();
        }
        progress.hookAt = 0;
    }

    std::set<std::string> Named() {
        std::set<std::string> named;
        for (const CSongPointer& song : Document().GetSlots())
            if (song->IsUsed()) named.insert(song->GetPath().substr(1));
        return named;
    }

    const std::string gone = env.Dir().File("gone");
    bool swapped = false;
};

TEST_F(CardRemovalTest, AnImportStopsAtTheNextFile) {
    AtEveryStep(
        [this] {
            Document().SetSaveMemory(true);
            Document().ImportFiles({Source("Song.wav"), Source("plain.mp3"), Source("mono.aiff")});
        },
        [this](const std::set<std::string>&) {
            if (!swapped) return;
            ExpectToldOnce();
        });
}

TEST_F(CardRemovalTest, AnExportStopsAtTheNextFile) {
    const std::string out = env.Dir().File("out");
    std::vector<uint8_t> voxaExport;
    AtEveryStep(
        [&] {
            fs::remove_all(out);
            fs::create_directories(out);
            env.directoryDialog.answer = 0;
            env.directoryDialog.chosen = out;
            const bool exported = Document().ExportSongs(
                {Document().GetSong(3).get(), Document().GetSong(1).get(), Document().GetSong(125).get()});
            if (progress.hookAt == 0) {
                EXPECT_TRUE(exported);
                voxaExport = gbxtest::ReadBytes(out + "/0003.WAV");
            }
        },
        [&](const std::set<std::string>&) {
            // Whatever was exported is whole; a run cut short says so.
            const std::vector<std::string> files = FilesBelow(out);
            for (const std::string& file : files) {
                const std::vector<uint8_t> bytes = gbxtest::ReadBytes(out + "/" + file);
                const std::map<std::string, std::vector<uint8_t>> expected = {
                    {"0003.WAV", voxaExport},
                    {"0001.MP3", {'m', 'p', '3', '1'}},
                    {"0125.MP3", {'m', 'p', '3', '1', '2', '5'}}};
                ASSERT_EQ(expected.count(file), 1u) << file;
                EXPECT_EQ(bytes, expected.at(file)) << file;
            }
            if (files.size() < 3) ExpectToldOnce();
            EXPECT_TRUE(fs::exists(gone + "/CORVANE/QM/DB/000/0003.Q3R"));
        });
}

TEST_F(CardRemovalTest, ACardRemovedWhileTheFirstWriteFailsIsToldOf) {
    // The database cannot be written; the card goes while "Failed to write to the unit." is open.
    const std::vector<std::function<bool()>> runs = {
        [this] { return Document().ImportFiles({Source("plain.mp3")}); },
        [this] { return Document().DeleteSongs({Document().GetSong(0).get()}); },
    };
    for (const auto& run : runs) {
        RestoreCard();
        const auto image = CardImage();
        // An edit waits, so that the run's first write has something to write (a save that
        // changes nothing writes nothing).
        CSongX* edited = Document().GetSong(0).get();
        edited->SetAlbum(edited->GetAlbum() + " (edited)");
        Document().MarkChanged(edited);
        Document().SetModified(1);
        card.failWriting = true;
        env.textDialog.whileOpen = [this] {
            CModalManager::GetInstance().RouteDeviceEvent(CModelEvent(CModelEvent::CARD_GONE, env.CardDrive()));
        };
        EXPECT_FALSE(run());
        card.failWriting = false;
        EXPECT_EQ(Messages(), (std::vector<std::string>{kWriteFailed, kUnitNotFound}));
        EXPECT_FALSE(Document().IsConnected());
        EXPECT_TRUE(CardImage() == image);
    }
}

TEST_F(CardRemovalTest, ADeletionStopsAtTheNextSong) {
    // No progress dialog: the card goes while a song's files are deleted (its notice handled
    // then), or while the protect question is open (held back until it closes).
    const auto IsSongFile = [](const std::string& path) {
        const std::string extension = GT::ToUpper(fs::path(path).extension().string());
        return extension == ".WAV" || extension == ".MP3" || extension == ".Q3R" || extension == ".Q3I"
               || extension == ".Q3S";
    };
    const auto songs = [this] {
        return std::vector<CSongX*>{Document().GetSong(0).get(), Document().GetSong(4).get(),
                                    Document().GetSong(1).get(), Document().GetSong(125).get()};
    };
    RestoreCard();
    int removals = 0;
    card.afterRemove = [&](const std::string& path) { removals += IsSongFile(path) ? 1 : 0; };
    env.textDialog.answers = {kYes};
    ASSERT_TRUE(Document().DeleteSongs(songs()));
    card.afterRemove = nullptr;
    ASSERT_GT(removals, 4);
    for (int at = 1; at <= removals + 1; ++at) {
        const bool atQuestion = at == removals + 1;
        SCOPED_TRACE(atQuestion ? "card gone while the protect question is open"
                                : "card gone at removal " + std::to_string(at));
        RestoreCard();
        const std::set<std::string> before = Named();
        std::vector<std::string> left;
        int count = 0;
        const auto removeCard = [&] {
            CModalManager::GetInstance().RouteDeviceEvent(CModelEvent(CModelEvent::CARD_GONE, env.CardDrive()));
        };
        card.afterRemove = [&](const std::string& path) {
            if (!IsSongFile(path) || ++count != at) return;
            removeCard();
            left = FilesBelow(env.CardDrive());
        };
        env.textDialog.answers = {kYes};
        if (atQuestion)
            env.textDialog.whileOpen = [&] {
                removeCard();
                left = FilesBelow(env.CardDrive());
            };
        EXPECT_FALSE(Document().DeleteSongs(songs()));
        card.afterRemove = nullptr;
        env.textDialog.whileOpen = nullptr;
        EXPECT_FALSE(Document().IsConnected());
        EXPECT_EQ(FilesBelow(env.CardDrive()), left) << "the card was touched after it went";
        ExpectToldOnce();
        Document().Reset();
        env.Connect();
        ASSERT_TRUE(Document().Load());
        const std::set<std::string> named = Named();
        std::set<std::string> present;
        for (const std::string& file : FilesBelow(env.CardDrive()))
            if (IsSupportedSongFile(file)) present.insert(file);
        EXPECT_TRUE(named == before || named == present);
    }
}

// The card's removal noticed while a modal window is open (event 8: the card stays connected
// until the window closes), its folder still looking like the same card, as a card put back may
// get its old mount id: from that moment the run writes nothing more to it, stops at its next
// file or song and says "The unit not found.". At every progress call of an import (encoding
// included) and an export, and while a deletion's protect question is open.
TEST_F(CardRemovalTest, ARemovalNoticedUnderAModalWindowEndsTheRunsWritesAtOnce) {
    const std::string out = env.Dir().File("out");
    const struct {
        const char* name;
        std::function<bool()> run;
    } runs[] = {
        {"import",
         [this] {
             Document().SetSaveMemory(true);
             return Document().ImportFiles(Sources({"Song.wav", "plain.mp3"}));
         }},
        {"export",
         [&] {
             fs::remove_all(out);
             fs::create_directories(out);
             env.directoryDialog.answer = 0;
             env.directoryDialog.chosen = out;
             return Document().ExportSongs({Document().GetSong(3).get(), Document().GetSong(1).get()});
         }},
        {"deletion",
         [this] {
             env.textDialog.answers = {kYes};
             return Document().DeleteSongs(
                 {Document().GetSong(0).get(), Document().GetSong(4).get(), Document().GetSong(1).get()});
         }},
    };
    for (const auto& r : runs) {
        const bool deletion = std::string(r.name) == "deletion";
        RestoreCard();
        progress.pumps = 0;
        progress.hookAt = 0;
        ASSERT_TRUE(r.run()) << r.name;
        const int calls = deletion ? 1 : progress.pumps;
        for (int at = 1; at <= calls; ++at) {
            SCOPED_TRACE(std::string(r.name) + ", removal noticed at call " + std::to_string(at));
            RestoreCard();
            std::map<std::string, std::vector<uint8_t>> atNotice;
            bool noticed = false;
            const auto notice = [&] {
                CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_REMOVED_IN_MODAL, env.CardDrive()));
                atNotice = CardImage();
                noticed = true;
            };
            progress.pumps = 0;
            progress.hookAt = deletion ? 0 : at;
            progress.hook = notice;
            env.textDialog.whileOpen = deletion ? std::function<void()>(notice) : nullptr;
            const bool finished = r.run();
            env.textDialog.whileOpen = nullptr;
            ASSERT_TRUE(noticed);
            EXPECT_TRUE(CardImage() == atNotice) << "the card was written after the notice";
            // An export whose last file was done before the notice has nothing left to stop.
            if (finished) {
                EXPECT_TRUE(Messages().empty());
            } else {
                ExpectToldOnce();
            }
            EXPECT_TRUE(Document().IsConnected());
            // The window closes.
            CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CARD_GONE));
        }
    }
    progress.hookAt = 0;
}

// The card seen under a second path (a bind mount of its folder): an export there with
// "Overwrite? Yes" would copy each file onto itself. It is refused as an export onto the card, and
// the transfer itself never takes the card's file away.
TEST_F(CardRunsTest, AnExportOntoTheCardThroughABindMountKeepsTheCardsFiles) {
    const std::string bound = env.Dir().File("bound");
    fs::create_directories(bound);
    if (gbxtest::Run("mount --bind " + Quote(env.CardDrive()) + " " + Quote(bound) + " 2>/dev/null").exitCode != 0)
        GTEST_SKIP() << "bind mounts are refused here";
    struct CUnmount {
        std::string folder;
        ~CUnmount() { gbxtest::Run("umount " + Quote(folder)); }
    } unmount{bound};
    const std::string folder = bound + "/CORVANE/QM/DB/001";
    const auto image = CardImage();

    env.directoryDialog.answer = 0;
    env.directoryDialog.chosen = folder;
    env.textDialog.answers = {kYes};
    EXPECT_FALSE(Document().ExportSongs({Document().GetSong(125).get()}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
    EXPECT_TRUE(CardImage() == image);

    env.textDialog.shown.clear();
    CAudioTransfer transfer(Document().GetVolume());
    EXPECT_EQ(transfer.ExportFile(OnCard("001/0125.MP3"), folder + "/0125.MP3", false), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
    EXPECT_TRUE(CardImage() == image);
}

// An export onto an existing file that is cancelled, or that fails, leaves that file as it was
// and nothing of its own beside it.
TEST_F(CardRunsTest, ACancelledOrFailedExportKeepsTheFileItWouldReplace) {
    const std::string out = env.Dir().File("out");
    fs::create_directories(out);
    gbxtest::WriteText(out + "/0003.WAV", "keep");
    env.directoryDialog.answer = 0;
    env.directoryDialog.chosen = out;

    // Cancelled at the decoding's first question.
    env.textDialog.answers = {kYes};
    progress.cancelAtCheck = progress.Count("IsCancelled") + 1;
    EXPECT_TRUE(Document().ExportSongs({Document().GetSong(3).get()}));
    EXPECT_EQ(cardtest::ReadFile(out + "/0003.WAV"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(FilesBelow(out), std::vector<std::string>{"0003.WAV"});

    // A copy that fails: the card's file is a folder (which reads as an opened file).
    progress.cancelAtCheck = 0;
    progress.Begin();
    gbxtest::WriteText(out + "/0125.MP3", "keep");
    fs::remove(OnCard("001/0125.MP3"));
    fs::create_directory(OnCard("001/0125.MP3"));
    env.textDialog.shown.clear();
    env.textDialog.answers = {kYes};
    CAudioTransfer transfer(Document().GetVolume());
    EXPECT_EQ(transfer.ExportFile(OnCard("001/0125.MP3"), out + "/0125.MP3", false), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
    EXPECT_EQ(cardtest::ReadFile(out + "/0125.MP3"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"0003.WAV", "0125.MP3"}));

    // Finished, it replaces the file.
    EXPECT_EQ(transfer.ExportFile(OnCard("000/0001.MP3"), out + "/0125.MP3", false), CAudioTransfer::DONE);
    EXPECT_EQ(cardtest::ReadFile(out + "/0125.MP3"), (std::vector<uint8_t>{'m', 'p', '3', '1'}));
    EXPECT_EQ(FilesBelow(out), (std::vector<std::string>{"0003.WAV", "0125.MP3"}));
}

// A database written elsewhere may name one file from two slots: deleting one of the songs keeps
// the file and its icon file, which the other still names; deleting the last one takes them.
TEST_F(CardRunsTest, DeletingOneOfTwoSlotsNamingOneFileKeepsTheFile) {
    CSlotTable& slots = Document().GetSlots();
    while (slots.size() <= 7) slots.push_back(boost::make_shared<CSongX>());
    CSongX* twin = slots[7].get();
    twin->SetPathFromFullPath(OnCard("000/0001.MP3"));
    twin->SetFileType(GetSongFileType(twin->GetPath()));
    Document().MoveToSongs(twin);
    ASSERT_TRUE(Document().WriteToUnit());
    Reload();
    ASSERT_TRUE(Document().GetSong(7)->IsUsed());

    EXPECT_TRUE(Document().DeleteSongs({Document().GetSong(7).get()}));
    EXPECT_EQ(Messages(), std::vector<std::string>());
    EXPECT_EQ(cardtest::ReadFile(OnCard("000/0001.MP3")), (std::vector<uint8_t>{'m', 'p', '3', '1'}));
    EXPECT_TRUE(fs::exists(OnCard("000/0001.Q3I")));
    Reload();
    EXPECT_EQ(UsedSlots(), PristineSlots());

    EXPECT_TRUE(Document().DeleteSongs({Document().GetSong(1).get()}));
    EXPECT_FALSE(fs::exists(OnCard("000/0001.MP3")));
    EXPECT_FALSE(fs::exists(OnCard("000/0001.Q3I")));
}

// A WAV file longer than one Voxa file holds (10 hours of 8-bit mono, which encoding makes 16-bit
// stereo) is refused with "Unsupported file format." before anything is written, instead of
// failing after a long encoding.
TEST_F(CardRunsTest, AWavFileTooLongForOneVoxaFileIsRefusedUpFront) {
    const uint32_t frames = 44100u * 36000u;
    const uint32_t dataBytes = frames;
    std::vector<uint8_t> header;
    const auto text = [&header](const char* four) { header.insert(header.end(), four, four + 4); };
    const auto word = [&header](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) header.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    text("RIFF");
    word(36 + dataBytes, 4);
    text("WAVE");
    text("fmt ");
    word(16, 4);
    word(1, 2);  // PCM
    word(1, 2);  // mono
    word(44100, 4);
    word(44100, 4);
    word(1, 2);
    word(8, 2);
    text("data");
    word(dataBytes, 4);
    const std::string longWav = Source("ten hours.wav");
    gbxtest::WriteBytes(longWav, header);
    fs::resize_file(longWav, header.size() + dataBytes);  // silence, sparse

    const auto image = CardImage();
    EXPECT_FALSE(Document().ImportFiles({Source("mono.wav"), longWav}));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
    EXPECT_TRUE(CardImage() == image);
    EXPECT_EQ(progress.Count("Begin"), 0);

    CAudioTransfer transfer(Document().GetVolume());
    EXPECT_TRUE(transfer.IsTooLongToEncode(longWav));
    EXPECT_FALSE(transfer.IsTooLongToEncode(Source("mono.wav")));
    env.textDialog.shown.clear();
    EXPECT_EQ(transfer.ImportFile(longWav, OnCard("000/0005.Q3R"), true), CAudioTransfer::FAILED);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Unsupported file format."});
    EXPECT_FALSE(fs::exists(OnCard("000/0005.Q3R")));
}

// The card folders that a link may take the place of, from the card root; 000 holds songs of the
// database, 002 none.
const char* const kLinkedFolders[] = {"CORVANE", "CORVANE/QM", "CORVANE/QM/DB", "CORVANE/QM/DB/000"};

class CardLinksTest : public CardRunsTest {
protected:
    // The card folder moved off the card, a symbolic link to it in its place; files there read-only
    // to others, as a user's own are.
    void LinkOffTheCard(const std::string& folder) {
        const std::string onCard = env.CardDrive() + "/" + folder;
        fs::remove_all(elsewhere);
        fs::create_directories(fs::path(elsewhere).parent_path());
        fs::rename(onCard, elsewhere);
        for (const std::string& file : FilesBelow(elsewhere)) fs::permissions(elsewhere + "/" + file, fs::perms(0640));
        fs::permissions(elsewhere, fs::perms(0750));
        fs::create_directory_symlink(elsewhere, onCard);
    }
    // Connects as the view does and answers whether the card stayed connected.
    bool ConnectAsTheViewDoes() {
        Document().Reset();
        env.Connect();
        CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
        return Document().IsConnected();
    }

    const std::string elsewhere = env.Dir().File("elsewhere/folder");
};

// A card whose CORVANE, QM or DB folder, or a song folder its database uses, is a link or another
// file system is refused at connect as a damaged card: nothing is read through it, nothing on the
// card is removed or emptied because of it, and what it leads to stays as it is.
TEST_F(CardLinksTest, ALinkOrAnotherFileSystemInACardFoldersPlaceRefusesTheCard) {
    for (const char* folder : kLinkedFolders) {
        SCOPED_TRACE(folder);
        RestoreCard();
        LinkOffTheCard(folder);
        const auto card = CardImage();
        const auto outside = EntriesBelow(elsewhere);
        EXPECT_FALSE(ConnectAsTheViewDoes());
        EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to read from the unit."});
        EXPECT_TRUE(Document().IsRefusedVolume(env.CardDrive()));
        EXPECT_EQ(Document().GetSlotCount(), 0);
        EXPECT_TRUE(CardImage() == card);
        EXPECT_EQ(EntriesBelow(elsewhere), outside);
        CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, env.CardDrive()));
    }

    // A song folder that no song of the database uses is no matter of the database.
    RestoreCard();
    fs::create_directories(elsewhere);
    fs::create_directory_symlink(elsewhere, OnCard("002"));
    EXPECT_TRUE(ConnectAsTheViewDoes());
    EXPECT_EQ(UsedSlots(), PristineSlots());

    // Another file system mounted on a song folder (its song's files gone from below it).
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    RestoreCard();
    for (const std::string& file : FilesBelow(OnCard("001"))) fs::remove(OnCard("001/" + file));
    gbxtest::CFatImage image(env.Dir().File("other.img"), "OTHER", "16M");
    ASSERT_TRUE(image.IsMade());
    struct stat card {
    }, mounted{};
    if (image.Mount(OnCard("001")) != 0 || stat(env.CardDrive().c_str(), &card) != 0
        || stat(OnCard("001").c_str(), &mounted) != 0 || card.st_dev == mounted.st_dev)
        GTEST_SKIP() << "fusefat cannot mount here";
    gbxtest::WriteText(OnCard("001/NOTES.TXT"), "another file system's");
    const auto before = EntriesBelow(OnCard("001"));
    EXPECT_FALSE(ConnectAsTheViewDoes());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to read from the unit."});
    EXPECT_EQ(EntriesBelow(OnCard("001")), before);
    EXPECT_TRUE(image.Unmount());
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, env.CardDrive()));

    // Another file system mounted on the database folder, holding the database (the card's own
    // folder below it empty, as a mount needs).
    RestoreCard();
    for (const auto& entry : fs::directory_iterator(env.DatabaseFolder())) fs::remove_all(entry.path());
    gbxtest::CFatImage database(env.Dir().File("database.img"), "OTHER", "16M");
    ASSERT_TRUE(database.IsMade());
    if (database.Mount(env.DatabaseFolder()) != 0 || stat(env.DatabaseFolder().c_str(), &mounted) != 0
        || card.st_dev == mounted.st_dev)
        GTEST_SKIP() << "fusefat cannot mount here";
    CopyBytesBelow(pristine + "/CORVANE/QM/DB", env.DatabaseFolder());
    const auto itsDatabase = EntriesBelow(env.DatabaseFolder());
    EXPECT_FALSE(ConnectAsTheViewDoes());
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to read from the unit."});
    EXPECT_EQ(EntriesBelow(env.DatabaseFolder()), itsDatabase);
    EXPECT_TRUE(database.Unmount());
    CDocumentModel::GetInstance().Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, env.CardDrive()));
}

// A link that takes a folder's place after the connect: a save, an import and a deletion each
// fail with their own message and change nothing, on the card or where the link leads.
TEST_F(CardLinksTest, ALinkThatAppearsAfterTheConnectFailsTheOperationAndChangesNothing) {
    const char kSaveFailed[] = "Failed to write to the unit.";
    const struct {
        const char* what;
        std::function<bool()> run;
        const char* songFolderMessage;  // with 000 linked; the others fail the first save
    } operations[] = {
        {"a save of every song",
         [this] {
             for (int slot : {0, 1, 2, 3, 4, 6, 125}) Document().MarkChanged(Document().GetSong(slot).get());
             return Document().WriteToUnit();
         },
         kSaveFailed},
        {"a save of one title",
         [this] {
             Document().GetSong(1)->SetTitle("Renamed");
             Document().MarkChanged(Document().GetSong(1).get());
             return Document().WriteToUnit();
         },
         kSaveFailed},
        {"an import",
         [this] {
             Document().SetSaveMemory(false);
             return Document().ImportFiles({Source("Song.wav")});
         },
         "Failed to import."},
        {"a deletion", [this] { return Document().DeleteSongs({Document().GetSong(0).get()}); }, "Failed to delete."},
    };
    for (const char* folder : kLinkedFolders) {
        for (const auto& operation : operations) {
            SCOPED_TRACE(std::string(folder) + ", " + operation.what);
            RestoreCard();
            LinkOffTheCard(folder);
            const auto card = CardImage();
            const auto outside = EntriesBelow(elsewhere);
            const bool songFolder = std::string(folder) == "CORVANE/QM/DB/000";
            EXPECT_FALSE(operation.run());
            EXPECT_EQ(Messages(), std::vector<std::string>{songFolder ? operation.songFolderMessage : kSaveFailed});
            EXPECT_TRUE(CardImage() == card);
            EXPECT_EQ(EntriesBelow(elsewhere), outside);
            EXPECT_TRUE(fs::is_symlink(env.CardDrive() + "/" + folder));
            // With the folder back, the card is as it was.
            fs::remove(env.CardDrive() + "/" + folder);
            fs::rename(elsewhere, env.CardDrive() + "/" + folder);
            Reload();
            EXPECT_EQ(UsedSlots(), PristineSlots());
        }
    }
}

}  // namespace

namespace {

// A FAT32 card through FUSE answers statfs with 0 blocks. That tells nothing of its room: a save
// of a changed title writes its icon file, an import and an export onto such a volume go ahead.
// Before, each was refused as if the card could not be asked.
TEST_F(CardRunsTest, AFat32CardThatTellsNoSpaceTakesEditsImportsAndExports) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    for (const int fatBits : {32, 16}) {
        SCOPED_TRACE("FAT" + std::to_string(fatBits));
        Document().Reset();
        fs::remove_all(env.CardDrive());
        fs::create_directories(env.CardDrive());
        gbxtest::CFatImage image(env.Dir().File("card.img"), "QM-3", "40M", fatBits);
        ASSERT_TRUE(image.IsMade());
        if (image.Mount(env.CardDrive()) != 0) GTEST_SKIP() << "fusefat cannot mount here";
        const std::string out = env.Dir().File("out");
        fs::create_directories(out);
        gbxtest::CFatImage outImage(env.Dir().File("out.img"), "OUT", "40M", fatBits);
        ASSERT_TRUE(outImage.IsMade());
        if (outImage.Mount(out) != 0) GTEST_SKIP() << "fusefat cannot mount here";
        CopyBytesBelow(pristine, env.CardDrive());
        Reload();
        ASSERT_EQ(UsedSlots(), PristineSlots());
        env.textDialog.shown.clear();

        Document().GetSong(1)->SetTitle("Renamed");
        Document().MarkChanged(Document().GetSong(1).get());
        EXPECT_TRUE(Document().WriteToUnit());
        Document().SetSaveMemory(true);
        EXPECT_TRUE(Document().ImportFiles({Source("Song.wav")}));
        EXPECT_TRUE(Document().ImportFiles({Source("tagged.mp3")}));
        env.directoryDialog.answer = 0;
        env.directoryDialog.chosen = out;
        EXPECT_TRUE(Document().ExportSongs({Document().GetSong(3).get(), Document().GetSong(1).get()}));
        EXPECT_TRUE(Document().DeleteSongs({Document().GetSong(0).get()}));
        EXPECT_EQ(Messages(), std::vector<std::string>());
        EXPECT_EQ(fs::file_size(out + "/0003.WAV"), 2u * 2 * 160 + 46);
        EXPECT_EQ(gbxtest::ReadBytes(out + "/0001.MP3"), (std::vector<uint8_t>{'m', 'p', '3', '1'}));
        EXPECT_EQ(gbxtest::ReadBytes(OnCard("000/0007.mp3")), gbxtest::ReadBytes(Source("tagged.mp3")));
        EXPECT_FALSE(fs::exists(OnCard("000/0000.WAV")));
        EXPECT_FALSE(fs::exists(OnCard("000/0000.Q3I")));

        Reload();
        std::map<int, std::string> expected = PristineSlots();
        expected.erase(0);
        expected[1] = "/CORVANE/QM/DB/000/0001.MP3 | Renamed | Bob | Two | 3";
        expected[5] = "/CORVANE/QM/DB/000/0005.Q3R | Song |  |  | 4";
        expected[7] = "/CORVANE/QM/DB/000/0007.mp3 | Tagged Title | Tag Artist | Tag Album | 3";
        EXPECT_EQ(UsedSlots(), expected);
        Document().Reset();
        EXPECT_TRUE(outImage.Unmount());
        EXPECT_TRUE(image.Unmount());
        fs::remove_all(out);
    }
}

}  // namespace

namespace {

// Fills a FAT card through FUSE, whose driver cuts no file short but empties one: files of
// 1 MiB while they fit, then the rest in files of 4 KiB, which give room back one by one.
constexpr int64_t kTopUpBytes = 4096;

bool WriteZeros(const std::string& path, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const std::vector<char> zeros(size, 0);
    const ssize_t put = write(fd, zeros.data(), size);
    return close(fd) == 0 && put == static_cast<ssize_t>(size);
}

std::string TopUpFile(const std::string& folder, int i) { return folder + GT::FormatString("/TOP%04d.BIN", i); }

void TopUp(const std::string& folder) {
    for (int i = 0;; ++i)
        if (!fs::exists(TopUpFile(folder, i)) && !WriteZeros(TopUpFile(folder, i), kTopUpBytes)) return;
}

void FillVolume(const std::string& folder) {
    for (int i = 0;; ++i) {
        const std::string file = folder + GT::FormatString("/FILL%04d.BIN", i);
        if (!WriteZeros(file, size_t(1) << 20)) {
            fs::resize_file(file, 0);
            fs::remove(file);
            break;
        }
    }
    TopUp(folder);
}

void GiveRoom(const std::string& folder, int64_t room) {
    for (int i = 0; room > 0; ++i)
        if (fs::exists(TopUpFile(folder, i)) && fs::file_size(TopUpFile(folder, i)) == uint64_t(kTopUpBytes)) {
            fs::remove(TopUpFile(folder, i));
            room -= kTopUpBytes;
        }
}

// A nearly full FAT card through FUSE: an import or a save that runs out of room fails with its
// own message and leaves nothing cut or half-written on the card, and the card still reads.
// FAT32 there answers statfs with 0 blocks, so only the writes meet the shortage; FAT16 tells
// its room, which the checks ask first.
class NearlyFullFatCardTest : public CardRunsTest, public ::testing::WithParamInterface<int> {};

TEST_P(NearlyFullFatCardTest, RefusesWhatDoesNotFitAndStaysWhole) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    const bool roomKnown = GetParam() == 16;
    const std::string full = "Insufficient free space on the unit.", importFailed = "Failed to import.",
                      writeFailed = "Failed to write to the unit.";
    const struct {
        const char* what;
        int64_t room;
        std::function<bool()> run;
        std::vector<std::string> messages;  // where the room cannot be told
        std::vector<std::string> known;     // where it can
    } cases[] = {
        {"a WAV file encoded",
         32 * 1024,
         [this] {
             Document().SetSaveMemory(true);
             return Document().ImportFiles({Source("Song.wav")});
         },
         {importFailed},
         {full}},
        {"a WAV file copied",
         32 * 1024,
         [this] {
             Document().SetSaveMemory(false);
             return Document().ImportFiles({Source("Song.wav")});
         },
         {importFailed},
         {full}},
        {"an MP3 file",
         8 * 1024,
         [this] { return Document().ImportFiles({Source("plain.mp3")}); },
         {importFailed},
         {full}},
        {"a save of a new album",
         64 * 1024,
         [this] {
             Document().GetSong(0)->SetAlbum("Another");
             Document().SetModified(1);
             return Document().WriteToUnit();
         },
         {writeFailed},
         {writeFailed}},
        {"a save of a title on a full card",
         0,
         [this] {
             Document().GetSong(1)->SetTitle("Renamed");
             Document().MarkChanged(Document().GetSong(1).get());
             return Document().WriteToUnit();
         },
         {writeFailed},
         {full, writeFailed}},
    };
    Document().Reset();
    fs::remove_all(env.CardDrive());
    fs::create_directories(env.CardDrive());
    gbxtest::CFatImage image(env.Dir().File("card.img"), "QM-3", roomKnown ? "12M" : "34M", GetParam());
    ASSERT_TRUE(image.IsMade());
    if (image.Mount(env.CardDrive()) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    CopyBytesBelow(pristine, env.CardDrive());
    FillVolume(env.CardDrive());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::string& file : FilesBelow(env.DatabaseFolder()))
            if (!fs::exists(pristine + "/CORVANE/QM/DB/" + file)) fs::remove(OnCard(file));
        TopUp(env.CardDrive());
        GiveRoom(env.CardDrive(), c.room);
        Reload();
        env.textDialog.shown.clear();
        const auto before = FolderImage(env.DatabaseFolder());
        EXPECT_FALSE(c.run());
        EXPECT_EQ(Messages(), roomKnown ? c.known : c.messages);
        EXPECT_TRUE(FolderImage(env.DatabaseFolder()) == before) << "the card was changed";
        Reload();
        EXPECT_EQ(UsedSlots(), PristineSlots());
    }
    Document().Reset();
    EXPECT_TRUE(image.Unmount());
}

INSTANTIATE_TEST_SUITE_P(Fat, NearlyFullFatCardTest, ::testing::Values(32, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return "Fat" + std::to_string(info.param); });

// An export onto a nearly full FAT32 volume through FUSE (0 blocks in statfs, so only the write
// meets the shortage) fails with its own message and leaves no part of the file there.
TEST_F(CardRunsTest, AnExportOntoANearlyFullFat32VolumeLeavesNoPartOfTheFile) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    Document().SetSaveMemory(true);
    ASSERT_TRUE(Document().ImportFiles({Source("Song.wav"), Source("tagged.mp3")}));
    const std::string out = env.Dir().File("out");
    fs::create_directories(out);
    gbxtest::CFatImage outImage(env.Dir().File("out.img"), "OUT", "34M", 32);
    ASSERT_TRUE(outImage.IsMade());
    if (outImage.Mount(out) != 0) GTEST_SKIP() << "fusefat cannot mount here";
    FillVolume(out);
    env.directoryDialog.answer = 0;
    env.directoryDialog.chosen = out;
    for (const int slot : {5, 7}) {
        SCOPED_TRACE(slot);
        env.textDialog.shown.clear();
        TopUp(out);
        GiveRoom(out, 8 * 1024);
        const std::vector<std::string> before = FilesBelow(out);
        EXPECT_FALSE(Document().ExportSongs({Document().GetSong(slot).get()}));
        EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to export."});
        EXPECT_EQ(FilesBelow(out), before);
    }
    EXPECT_TRUE(outImage.Unmount());
}

}  // namespace

namespace {

// A FAT16 card through FUSE tells its room: with room for the name table's new copy but not for
// a whole new set, a save replaces the changed files one at a time on the card itself and
// answers OK; with room for no copy at all it is refused before anything, the icon file too,
// is written.
TEST_F(CardRunsTest, AFat16CardTooFullForANewSetIsSavedOneFileAtATime) {
    const std::string unusable = gbxtest::CFatImage::WhyUnusable();
    if (!unusable.empty()) GTEST_SKIP() << unusable;
    const struct {
        int64_t room;
        bool saved;
    } cases[] = {{2072576, true}, {2000896, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE("room " + std::to_string(c.room));
        Document().Reset();
        fs::remove_all(env.CardDrive());
        fs::create_directories(env.CardDrive());
        gbxtest::CFatImage image(env.Dir().File("card.img"), "QM-3", "12M", 16);
        ASSERT_TRUE(image.IsMade());
        if (image.Mount(env.CardDrive()) != 0) GTEST_SKIP() << "fusefat cannot mount here";
        CopyBytesBelow(pristine, env.CardDrive());
        uint64_t total = 0, available = 0;
        ASSERT_TRUE(GT::GetDiskSpace(env.CardDrive(), total, available));
        ASSERT_GT(total, 0u);
        ASSERT_TRUE(WriteZeros(env.CardDrive() + "/FILLER.BIN", static_cast<size_t>(int64_t(available) - c.room)));
        Reload();
        env.textDialog.shown.clear();
        const auto before = FolderImage(env.CardDrive());
        Document().GetSong(0)->SetAlbum("Another");
        Document().GetSong(1)->SetTitle("Renamed");
        Document().MarkChanged(Document().GetSong(1).get());
        Document().SetModified(1);
        EXPECT_EQ(Document().WriteToUnit(), c.saved);
        std::map<int, std::string> expected = PristineSlots();
        if (c.saved) {
            EXPECT_EQ(Messages(), std::vector<std::string>());
            expected[0] = "/CORVANE/QM/DB/000/0000.WAV | Alpha | Ann | Another | 1";
            expected[1] = "/CORVANE/QM/DB/000/0001.MP3 | Renamed | Bob | Two | 3";
        } else {
            EXPECT_EQ(Messages(), std::vector<std::string>{"Failed to write to the unit."});
            EXPECT_TRUE(FolderImage(env.CardDrive()) == before) << "the card was changed";
        }
        std::vector<std::string> database;
        for (const std::string& file : FilesBelow(env.DatabaseFolder()))
            if (file.find('/') == std::string::npos) database.push_back(file);
        EXPECT_EQ(database, (std::vector<std::string>{"PLAYLIST.Q3D", "SL_ALBUM.Q3D", "SL_ARTST.Q3D", "SL_BEST.Q3D",
                                                      "SL_MYSNG.Q3D", "SL_RHYTM.Q3D", "SONGNAME.Q3D"}));
        Reload();
        EXPECT_EQ(UsedSlots(), expected);
        Document().Reset();
        EXPECT_TRUE(image.Unmount());
    }
}

}  // namespace
