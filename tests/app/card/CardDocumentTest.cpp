#include "app/card/CardDocument.h"

#include "app/card/Domain.h"
#include "general_tools/Profile.h"
#include "tests/app/card/CardTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

using cardtest::AddSong;
using cardtest::CCardEnvironment;
using cardtest::Slots;

TEST(CardRecognition, LabelsOfTheCard) {
    CCardEnvironment environment;
    const std::pair<const char*, bool> labels[] = {
        {"QM-3", true},   {"QM-3 ", false},      {"qm-3", false},    {"QM-30", false},   {"MY GIGBOX", true},
        {"gigbox", true}, {"Gigbox Card", true}, {"GIGbox", false},  {"gIGBOX", false},  {"The Gigbox", true},
        {"", false},      {"QM-3 GIGBOX", true}, {"Gig box", false}, {"xgigboxx", true},
    };
    for (const auto& l : labels) EXPECT_EQ(IsCardLabel(l.first), l.second) << '"' << l.first << '"';
}

TEST(CardRecognition, LabelIsTheNameBeforeTheDriveInParentheses) {
    const struct {
        const char* display;
        const char* drive;
        const char* label;
    } cases[] = {
        {"QM-3 (/media/u/QM-3)", "/media/u/QM-3", "QM-3"},
        {"QM-3 (/media/other)", "/media/u/QM-3", "QM-3 (/media/other)"},
        {"A (b) (/mnt/x)", "/mnt/x", "A (b)"},
        {"(/mnt/x)", "/mnt/x", "(/mnt/x)"},
        {" (/mnt/x)", "/mnt/x", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GetVolumeLabel(c.display, c.drive), c.label) << c.display;
}

TEST(CardRecognition, FirstMatchingDriveInOrderIsTheCard) {
    CCardEnvironment environment;
    const GT::CDriveList drives = {
        {"/media/a", "DATA (/media/a)"},
        {"/media/b", "Gigbox Card (/media/b)"},
        {"/media/c", "QM-3 (/media/c)"},
    };
    EXPECT_EQ(FindCardInDrives(drives, {}), "/media/b");
    EXPECT_EQ(FindCardInDrives(drives, {"/media/b"}), "/media/c");
    EXPECT_EQ(FindCardInDrives({{"/media/q", "QM-3 (/media/q)"}}, {"/media/q"}), "");
    EXPECT_EQ(FindCardInDrives({}, {}), "");
}

TEST(CardRecognition, AVolumesFolderIsFoundAndDrivesWithoutARootAreNot) {
    CCardEnvironment environment;
    EXPECT_EQ(environment.FindCard(), environment.CardDrive());
    // A CD drive's device has no root folder: passed over although its label matches.
    GT::CDriveList drives = environment.OwnVolumes();
    drives.insert(drives.begin(), {"/dev/sr9", "QM-3 (/dev/sr9)"});
    EXPECT_EQ(CCardEnvironment::Document().FindCardDrive(drives), environment.CardDrive());
}

TEST(CardPaths, WithoutACardEverythingIsEmpty) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    EXPECT_FALSE(document.IsConnected());
    EXPECT_EQ(document.GetCardRoot(), "");
    EXPECT_EQ(document.GetCardDrive(), "");
    EXPECT_FALSE(document.IsOnCard("/"));
    EXPECT_FALSE(document.IsOnCard(environment.CardDrive()));
    EXPECT_EQ(document.GetSongFolder(5), "");
    EXPECT_FALSE(document.IsCardMounted());
    EXPECT_EQ(CDocX::MakeDatabasePath(""), "");
    EXPECT_EQ(CDocX::MakeDatabasePath("/m/c/"), "/m/c/CORVANE/QM/DB/");
}

TEST(CardPaths, RootDriveAndDatabaseFolder) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    EXPECT_TRUE(document.IsConnected());
    EXPECT_EQ(document.GetCardRoot(), environment.CardDrive() + "/");
    EXPECT_EQ(document.GetCardDrive(), environment.CardDrive());
    EXPECT_EQ(document.GetDatabasePath(), environment.DatabaseFolder());
    EXPECT_TRUE(document.IsCardMounted());
}

TEST(CardPaths, SongFoldersPerHundredSlots) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    const std::string db = environment.DatabaseFolder();
    const std::pair<int, const char*> cases[] = {{0, "000/"}, {99, "000/"}, {100, "001/"}, {3999, "039/"}};
    for (const auto& c : cases) {
        EXPECT_EQ(document.GetSongFolder(c.first), db + c.second) << c.first;
        EXPECT_TRUE(fs::is_directory(db + c.second)) << c.first;
    }
    for (int slot : {-1, 4000}) EXPECT_EQ(document.GetSongFolder(slot), db) << slot;
    EXPECT_EQ(std::distance(fs::directory_iterator(db), fs::directory_iterator()), 3);

    // A card file name: the folder and the slot in four digits.
    CSongX* song = AddSong(document, ".WAV", "x");
    EXPECT_EQ(song->GetPath(), "/CORVANE/QM/DB/000/0000.WAV");
    EXPECT_EQ(document.GetSongFolder(125) + "0125.MP3", db + "001/0125.MP3");
}

TEST(CardPaths, NothingIsMadeOnAVolumeThatWentAway) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    // The card's folder is replaced: a different folder now stands where the card was.
    fs::rename(environment.CardDrive(), environment.Dir().File("gone"));
    fs::create_directory(environment.CardDrive());
    EXPECT_FALSE(document.IsCardMounted());
    EXPECT_EQ(document.GetSongFolder(7), environment.DatabaseFolder() + "000/");
    EXPECT_FALSE(fs::exists(environment.DatabaseFolder()));
    EXPECT_FALSE(document.MakeFolderOnCard(environment.DatabaseFolder(), false));
    EXPECT_FALSE(document.Save());
    EXPECT_FALSE(fs::exists(environment.CardDrive() + "/CORVANE"));
}

TEST(CardPaths, NoFolderAboveOrBesideTheCardRoot) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    EXPECT_FALSE(document.MakeFolderOnCard(environment.Dir().File("outside/"), false));
    EXPECT_FALSE(document.MakeFolderOnCard(environment.CardDrive() + "/../escape/", false));
    EXPECT_FALSE(fs::exists(environment.Dir().File("outside")));
    EXPECT_FALSE(fs::exists(environment.Dir().File("escape")));
    EXPECT_TRUE(document.MakeFolderOnCard(environment.CardDrive() + "/a/b/", false));
}

TEST(CardPaths, OnCardComparesCanonicalFoldersAtABoundary) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    const std::string card = environment.CardDrive();
    fs::create_directories(card + "/Music");
    fs::create_directories(environment.Dir().File("QM-3x"));
    fs::create_symlink(card + "/Music", environment.Dir().File("link"));
    const std::pair<std::string, bool> cases[] = {
        {card, true},
        {card + "/", true},
        {card + "/Music", true},
        {card + "/not/yet/made", true},
        {card + "/../QM-3/Music", true},
        {environment.Dir().File("link"), true},
        {environment.Dir().File("QM-3x"), false},
        {card + "x/Music", false},
        {environment.Dir().Path(), false},
        {"/", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(document.IsOnCard(c.first), c.second) << c.first;
}

TEST(SlotAllocation, FirstFreeThenAppendUpTo4000) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    for (int i = 0; i < 10; ++i) AddSong(document, ".WAV", "s");
    EXPECT_EQ(document.AllocateSlot(), 10);
    EXPECT_EQ(document.AllocateSlot(), 10);  // allocated but never filled: found again
    document.GetSong(3)->Clear();
    EXPECT_EQ(document.AllocateSlot(), 3);
    EXPECT_EQ(document.GetUsedSlotCount(), 9);

    // The free slots 3 and 10 are filled first, then the table grows to its end.
    EXPECT_EQ(document.FindSlot(AddSong(document, ".MP3", "m")), 3);
    EXPECT_EQ(document.FindSlot(AddSong(document, ".MP3", "m")), 10);
    while (document.GetSlotCount() < CDocX::MAX_SONGS || document.GetUsedSlotCount() < CDocX::MAX_SONGS)
        AddSong(document, ".MP3", "m");
    EXPECT_EQ(document.GetUsedSlotCount(), 4000);
    EXPECT_EQ(document.AllocateSlot(), -1);
    EXPECT_EQ(document.GetSlotCount(), 4000);
    EXPECT_FALSE(document.GetSong(4000));
    EXPECT_FALSE(document.GetSong(-1));
}

TEST(SlotAllocation, CanAddCountsUsedSlots) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    for (int i = 0; i < 3990; ++i) AddSong(document, ".WAV", "s");
    EXPECT_TRUE(document.CanAdd(10));
    EXPECT_FALSE(document.CanAdd(11));
    document.GetSong(0)->Clear();
    EXPECT_TRUE(document.CanAdd(11));
    EXPECT_EQ(document.GetMaxSongs(), 4000);
}

TEST(Lists, GetListByKind) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    EXPECT_EQ(&document.GetList(0), &document.GetList(CDocX::LIST_SONGS));
    EXPECT_EQ(&document.GetList(4), &document.GetList(0));
    EXPECT_EQ(&document.GetList(-1), &document.GetList(0));
    EXPECT_NE(&document.GetList(1), &document.GetList(0));
    EXPECT_NE(&document.GetList(2), &document.GetList(1));
    EXPECT_NE(&document.GetList(3), &document.GetList(2));
}

TEST(Lists, MovesBetweenListsWithTheirTags) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    CSongX* a = AddSong(document, ".WAV", "a", "Artist", "Album");
    CSongX* b = AddSong(document, ".WAV", "b", "Artist", "Album");
    CSongX stray;

    struct Step {
        const char* name;
        std::function<void()> action;
        std::vector<int> songs, rhythm, user;
        const char* artistOfA;
        const char* albumOfA;
        int modified;
    } steps[] = {
        {"a to Songs", [&] { document.MoveToSongs(a); }, {0}, {}, {}, "Artist", "Album", 1},
        {"a to Songs again", [&] { document.MoveToSongs(a); }, {0}, {}, {}, "Artist", "Album", 0},
        {"b by tab 0", [&] { document.AddToCategory(b, 0); }, {0, 1}, {}, {}, "Artist", "Album", 1},
        {"a to Rhythm", [&] { document.MoveToRhythm(a); }, {1}, {0}, {}, "~RHYTHM", "~RHYTHM", 1},
        {"a back to Songs keeps the tag", [&] { document.MoveToSongs(a); }, {1, 0}, {}, {}, "~RHYTHM", "~RHYTHM", 1},
        {"a to User", [&] { document.MoveToUser(a); }, {1}, {}, {0}, "~USER", "~USER", 1},
        {"a by tab 1", [&] { document.AddToCategory(a, 1); }, {1}, {0}, {}, "~RHYTHM", "~RHYTHM", 1},
        {"a by tab 2", [&] { document.AddToCategory(a, 2); }, {1}, {}, {0}, "~USER", "~USER", 1},
        {"a by tab 7 is Songs", [&] { document.AddToCategory(a, 7); }, {1, 0}, {}, {}, "~USER", "~USER", 1},
        {"a record no slot holds", [&] { document.MoveToRhythm(&stray); }, {1, 0}, {}, {}, "~USER", "~USER", 0},
    };
    for (const Step& step : steps) {
        document.SetModified(0);
        step.action();
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_SONGS)), step.songs) << step.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_RHYTHM)), step.rhythm) << step.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_USER)), step.user) << step.name;
        EXPECT_EQ(a->GetArtist(), step.artistOfA) << step.name;
        EXPECT_EQ(a->GetAlbum(), step.albumOfA) << step.name;
        EXPECT_EQ(document.GetModified(), step.modified) << step.name;
    }
    EXPECT_EQ(stray.GetAlbum(), "");
    EXPECT_EQ(document.GetAddedSongs(), (std::vector<CSongX*>{b, a, a, a}));
    document.ClearAddedSongs();
    EXPECT_TRUE(document.GetAddedSongs().empty());
}

TEST(Lists, BestRanking) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    CSongX* s[5];
    for (int i = 0; i < 5; ++i) s[i] = AddSong(document, ".WAV", std::string(1, char('A' + i)));
    CSongX *A = s[0], *B = s[1], *C = s[2], *D = s[3];
    auto fillABC = [&] {
        document.GetList(CDocX::LIST_BEST).clear();
        for (CSongX* x : {A, B, C}) document.SetBestRank(x, 99);
    };
    struct Case {
        const char* name;
        CSongX* song;
        int n;
        int result;
        std::vector<int> best;
        int modified;
    } cases[] = {
        {"A at 3", A, 3, 3, {1, 2, 0}, 1},
        {"A at 2", A, 2, 2, {1, 0, 2}, 1},
        {"A at 1 (where it is)", A, 1, 1, {0, 1, 2}, 0},
        {"new D at 10", D, 10, 4, {0, 1, 2, 3}, 1},
        {"new D at 1", D, 1, 1, {3, 0, 1, 2}, 1},
        {"B at 0 leaves", B, 0, 2, {0, 2}, 1},
        {"B at -3 leaves", B, -3, 2, {0, 2}, 1},
        {"D not in Best at 0", D, 0, 0, {0, 1, 2}, 0},
        {"D not in Best at -1", D, -1, -1, {0, 1, 2}, 0},
    };
    for (const Case& c : cases) {
        fillABC();
        document.SetModified(0);
        EXPECT_EQ(document.SetBestRank(c.song, c.n), c.result) << c.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_BEST)), c.best) << c.name;
        EXPECT_EQ(document.GetModified(), c.modified) << c.name;
    }
    CSongX stray;
    fillABC();
    EXPECT_EQ(document.SetBestRank(&stray, 1), -1);
    // Through the record, on the process-wide document.
    s[4]->SetBestRank(2);
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_BEST)), (std::vector<int>{0, 4, 1, 2}));
}

TEST(Lists, BestKeepsAtMost30) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    std::vector<CSongX*> songs;
    for (int i = 0; i < 32; ++i) songs.push_back(AddSong(document, ".WAV", "s"));
    for (int i = 0; i < 30; ++i) EXPECT_EQ(document.SetBestRank(songs[i], i + 1), i + 1);
    EXPECT_EQ(document.SetBestRank(songs[30], 31), 31);  // appended, then cut off again
    EXPECT_EQ(document.GetList(CDocX::LIST_BEST).size(), 30u);
    EXPECT_EQ(document.FindInList(CDocX::LIST_BEST, songs[30]), -1);
    EXPECT_EQ(document.SetBestRank(songs[31], 1), 1);  // pushes the 30th out
    EXPECT_EQ(document.GetList(CDocX::LIST_BEST).size(), 30u);
    EXPECT_EQ(document.FindInList(CDocX::LIST_BEST, songs[29]), -1);
    EXPECT_EQ(document.GetList(CDocX::LIST_BEST).front().song, songs[31]);
}

TEST(Limits, AlbumsAndArtistsAtMost2000) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    for (int i = 0; i < 1000; ++i) {
        CSongX* song = AddSong(document, ".WAV", "s", "artist " + std::to_string(i), "album " + std::to_string(i));
        document.MoveToSongs(song);
    }
    // Rhythm and User songs do not count.
    document.MoveToRhythm(AddSong(document, ".WAV", "r", "x", "y"));
    const std::vector<std::string> none;
    struct Case {
        const char* name;
        std::vector<std::string> albumsAdd, artistsAdd, albumsRemove, artistsRemove;
        bool fits;
    } cases[] = {
        {"as it is", {}, {}, {}, {}, true},
        {"one more album", {"new"}, {}, {}, {}, false},
        {"one more artist", {}, {"new"}, {}, {}, false},
        {"an existing album again", {"album 5"}, {}, {}, {}, true},
        {"rename the only song of an album", {"new"}, {}, {"album 5"}, {}, true},
        {"take away a name no song carries", {"new"}, {}, {"nothing"}, {}, false},
        {"empty name counts", {""}, {}, {}, {}, false},
        {"exact bytes: case differs", {"Album 5"}, {}, {"album 6"}, {}, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(document.CheckAlbumArtistLimit(c.albumsAdd, c.artistsAdd, c.albumsRemove, c.artistsRemove), c.fits)
            << c.name;
}

TEST(FreeSpace, OneMebibyteStaysFree) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    cardtest::CFixedDiskSpace space;
    platform::SetDiskSpaceSource(&space);
    const int64_t MiB = 1048576;
    space.figures.clusterBytes = 4096;
    struct Case {
        const char* name;
        uint64_t free;
        std::vector<int64_t> sizes;
        int answer;
    } cases[] = {
        {"exactly fits", 8192 + MiB, {4096, 4096}, CDocX::SPACE_FITS},
        {"one byte short", 8192 + MiB - 1, {4096, 4096}, CDocX::SPACE_SHORT},
        {"clusters round up", 8192 + MiB, {4097}, CDocX::SPACE_FITS},
        {"clusters round up past", 8192 + MiB - 1, {4097}, CDocX::SPACE_SHORT},
        {"less than 1 MiB free", MiB - 1, {}, CDocX::SPACE_SHORT},
        {"exactly 1 MiB free, nothing to add", MiB, {}, CDocX::SPACE_FITS},
        {"icon room", 1044 * 3 + MiB, {1044, 1044, 1044}, CDocX::SPACE_SHORT},
        {"negative size", uint64_t(1) << 40, {-1}, CDocX::SPACE_UNKNOWN},
        {"overflowing sum", uint64_t(1) << 40, {INT64_MAX - 4096, INT64_MAX - 4096}, CDocX::SPACE_SHORT},
    };
    for (const Case& c : cases) {
        space.figures.freeBytes = c.free;
        EXPECT_EQ(document.CheckFreeSpace("/any/target.WAV", c.sizes), c.answer) << c.name;
    }
    space.available = false;
    EXPECT_EQ(document.CheckFreeSpace("/any/target.WAV", {1}), CDocX::SPACE_UNKNOWN);
}

TEST(Importable, ExtensionsTheCardTakes) {
    CCardEnvironment environment;
    EXPECT_TRUE(CDocX::AreAllImportable({}));
    EXPECT_TRUE(CDocX::AreAllImportable({"a.wav", "b.AIFF", "c.aif", "d.mp3", "e.Q3R"}));
    EXPECT_FALSE(CDocX::AreAllImportable({"a.wav", "b.flac"}));
    EXPECT_TRUE(CDocX::IsWaveOrAiff("x.Aif"));
    EXPECT_FALSE(CDocX::IsWaveOrAiff("x.mp3"));
    EXPECT_TRUE(CDocX::IsVoxaFile("x.q3r"));
}

TEST(Changes, MarkClearAndNeedsSaving) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    EXPECT_FALSE(document.NeedsSaving());
    CSongX* song = AddSong(document, ".WAV", "x");
    document.MarkChanged(song);
    document.MarkChanged(song);
    EXPECT_EQ(document.GetChangedSongs().size(), 1u);
    EXPECT_TRUE(document.NeedsSaving());
    document.ClearChanges();
    EXPECT_FALSE(document.NeedsSaving());
    document.SetModified(1);
    EXPECT_TRUE(document.NeedsSaving());
    document.AddToCategory(song, 0);
    document.Reset();
    EXPECT_FALSE(document.IsConnected());
    EXPECT_FALSE(document.NeedsSaving());
    EXPECT_EQ(document.GetSlotCount(), 0);
    EXPECT_EQ(document.GetAddedSongs().size(), 1u);  // emptied only when an import or rip starts
}

TEST(Changes, AskSaveChanges) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    EXPECT_TRUE(document.AskSaveChanges());
    EXPECT_TRUE(environment.textDialog.shown.empty());

    struct Case {
        int answer;
        bool result;
        bool written;
    } cases[] = {{CModalManager::ANSWER_CANCEL, false, false},
                 {CModalManager::ANSWER_NO, true, false},
                 {CModalManager::ANSWER_YES, true, true}};
    for (const Case& c : cases) {
        fs::remove_all(environment.CardDrive() + "/CORVANE");
        document.SetModified(1);
        environment.textDialog.shown.clear();
        environment.textDialog.answers = {c.answer};
        EXPECT_EQ(document.AskSaveChanges(), c.result) << c.answer;
        ASSERT_EQ(environment.textDialog.shown.size(), 1u);
        EXPECT_EQ(environment.textDialog.shown[0].kind, CModalManager::BOX_YES_NO_CANCEL);
        EXPECT_EQ(environment.textDialog.shown[0].text, "Save changes to the database file?");
        EXPECT_EQ(fs::exists(environment.DatabaseFolder() + "SONGNAME.Q3D"), c.written) << c.answer;
        EXPECT_EQ(document.NeedsSaving(), !c.written) << c.answer;
    }
}

TEST(SaveMemory, SettingReadAndStored) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    GT::IProfile& profile = GT::GetProfile();
    const std::pair<const char*, bool> stored[] = {{nullptr, true}, {"0", false}, {"1", true},
                                                   {"7", true},     {"-1", true}, {"text", false}};
    for (const auto& s : stored) {
        if (s.first) profile.WriteString("Option/SaveMemory", s.first);
        document.SetSaveMemory(!s.second);
        CDomain::GetInstance().LoadSaveMemory();
        EXPECT_EQ(document.GetSaveMemory(), s.second) << (s.first ? s.first : "missing");
    }
    document.SetSaveMemory(false);
    CDomain::GetInstance().StoreSaveMemory();
    EXPECT_EQ(profile.GetString("Option/SaveMemory", ""), "0");
    document.SetSaveMemory(true);
    CDomain::GetInstance().StoreSaveMemory();
    EXPECT_EQ(profile.GetString("Option/SaveMemory", ""), "1");
}

}  // namespace
