// The card's database and icon files: bytes against an independent script, what loading reads
// back, and what a damaged or hostile card does.
#include "app/card/DatabaseFiles.h"

#include "app/card/DatabaseStore.h"
#include "app/card/IconFiles.h"
#include "general_tools/Paths.h"
#include "general_tools/StringFunctions.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/ByteBuilder.h"
#include "tests/support/HeapPeak.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

namespace {

using cardtest::AddSong;
using cardtest::CCardEnvironment;
using cardtest::Slots;
using Bytes = std::vector<uint8_t>;

const char* const kDatabaseFiles[] = {"SONGNAME.Q3D", "PLAYLIST.Q3D", "SL_ALBUM.Q3D", "SL_ARTST.Q3D",
                                      "SL_BEST.Q3D",  "SL_MYSNG.Q3D", "SL_RHYTM.Q3D"};

// Runs the script that writes the expected files of a case into a folder.
void RunOracle(const std::string& which, const std::string& folder) {
    fs::create_directories(folder);
    const auto oracle =
        gbxtest::Python("import runpy, sys; sys.argv = sys.argv[1:]; runpy.run_path(sys.argv[0], run_name='__main__')",
                        {std::string(GBX_TEST_DIR) + "/card_files_oracle.py", which, folder});
    ASSERT_EQ(oracle.exitCode, 0) << oracle.output;
}

// Where two files first differ, for a readable failure.
std::string FirstDifference(const Bytes& actual, const Bytes& expected) {
    if (actual == expected) return "same";
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size())
           + ", first difference at byte " + std::to_string(i);
}

void ExpectSameFiles(const std::string& actualFolder, const std::string& expectedFolder) {
    for (const char* name : kDatabaseFiles) {
        const Bytes actual = cardtest::ReadFile(actualFolder + name);
        const Bytes expected = cardtest::ReadFile(expectedFolder + name);
        EXPECT_EQ(FirstDifference(actual, expected), "same") << name;
    }
}

// The three-song card of the script: two songs in Songs, one in Rhythm, Best ranking the Rhythm
// song first.
void MakeThreeSongs(CDocX& document) {
    CSongX* a = AddSong(document, ".WAV", "Alpha", "Zed", "First", 2);
    CSongX* b = AddSong(document, ".MP3", "beta", "Band", "First", 1);
    CSongX* c = AddSong(document, ".Q3R", "Gamma");
    document.MoveToSongs(a);
    document.MoveToSongs(b);
    document.MoveToRhythm(c);
    document.SetBestRank(c, 1);
    document.SetBestRank(a, 2);
}

TEST(DatabaseBytes, EmptyCardMatchesTheScript) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    ASSERT_TRUE(document.Save());
    const std::string expected = environment.Dir().File("expected/");
    RunOracle("empty", expected);
    ExpectSameFiles(environment.DatabaseFolder(), expected);
    EXPECT_EQ(fs::file_size(environment.DatabaseFolder() + "SONGNAME.Q3D"), 1024034u);
    EXPECT_EQ(fs::file_size(environment.DatabaseFolder() + "PLAYLIST.Q3D"), 2048034u);
    // Nothing but the seven files stays behind; a save needs room for their exact sizes.
    EXPECT_EQ(std::distance(fs::directory_iterator(environment.DatabaseFolder()), fs::directory_iterator()), 7);
    const std::vector<int64_t> sizes = CDatabaseStore::GetDatabaseFileSizes();
    const std::vector<std::string> names = CDatabaseStore::GetFileNames();
    ASSERT_EQ(sizes.size(), 7u);
    int64_t total = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        EXPECT_EQ(static_cast<int64_t>(fs::file_size(environment.DatabaseFolder() + names[i])), sizes[i]) << names[i];
        total += sizes[i];
    }
    EXPECT_EQ(total, 3197368);
}

TEST(DatabaseBytes, ThreeSongsMatchTheScript) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    MakeThreeSongs(document);
    ASSERT_TRUE(document.Save());
    const std::string expected = environment.Dir().File("expected/");
    RunOracle("three", expected);
    ExpectSameFiles(environment.DatabaseFolder(), expected);
}

TEST(DatabaseBytes, MixedCardMatchesTheScript) {
    // The script's MIXED_SONGS: names that differ only in case, signed numbers and ties, a long
    // name of three-byte characters, empty names, title sorts, an empty slot between used ones
    // and a path longer than its field.
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    std::string longAlbum;
    for (int i = 0; i < 100; ++i) longAlbum += "\xE3\x81\x82";
    longAlbum += "x";
    const struct {
        std::string file;  // the file name's extension, or the whole long name
        const char* title;
        std::string artist, album;
        int number;
        int list;  // -1 for the slot left empty
    } songs[] = {
        {".WAV", "Zulu", "Band", "abc", 1, CDocX::LIST_SONGS},
        {".MP3", "alpha", "band", "ABC", 1, CDocX::LIST_SONGS},
        {".Q3R", "Mike", "Band", "Same", 3, CDocX::LIST_SONGS},
        {".WAV", "kilo", "Solo", "Same", 1, CDocX::LIST_SONGS},
        {".WAV", "Echo", "Solo", "Same", 2, CDocX::LIST_SONGS},
        {".mp3", "Golf", "Band", "Same", 2, CDocX::LIST_SONGS},
        {".WAV", "Long", std::string(300, 'R'), longAlbum, 0, CDocX::LIST_SONGS},
        {".WAV", "Nameless", "", "", 0, CDocX::LIST_SONGS},
        {".WAV", "b", "", "", 0, CDocX::LIST_USER},
        {".WAV", "B", "", "", 0, CDocX::LIST_USER},
        {".WAV", "a", "", "", 0, CDocX::LIST_USER},
        {".Q3R", "Beat", "", "", 0, CDocX::LIST_RHYTHM},
        {std::string(260, 'L') + ".WAV", "drum", "", "", 0, CDocX::LIST_RHYTHM},
        {".WAV", "gap", "", "", 0, -1},
        {".WAV", "Omega", "Solo", "Same", -1, CDocX::LIST_SONGS},
    };
    for (const auto& s : songs) {
        const int slot = document.AllocateSlot();
        CSongX* song = document.GetSong(slot).get();
        const std::string name = s.file.size() > 8 ? s.file : GT::FormatString("%04d", slot) + s.file;
        song->SetPathFromDevicePath(GT::FormatString("A:\\CORVANE\\QM\\DB\\%03d\\", slot / 100) + name);
        ASSERT_TRUE(song->IsUsed()) << slot;
        song->SetTitle(s.title);
        song->SetArtist(s.artist);
        song->SetAlbum(s.album);
        song->SetNumber(s.number);
        if (s.list >= 0) document.AddToCategory(song, s.list);
    }
    document.GetSong(13)->Clear();
    for (int slot : {6, 0, 9}) document.SetBestRank(document.GetSong(slot).get(), 4);
    ASSERT_TRUE(document.Save());
    const std::string expected = environment.Dir().File("expected/");
    RunOracle("mixed", expected);
    ExpectSameFiles(environment.DatabaseFolder(), expected);
}

TEST(DatabaseBytes, IconFileOfAProtectedSongMatchesTheScript) {
    CCardEnvironment environment;
    CSongX song;
    song.SetTitle("Protected Song");
    song.SetProtected(true);
    song.SetNumber(300);
    std::stringstream out(std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(CIconFileStore::GetInstance().WriteIconFile(song, out));
    const std::string expected = environment.Dir().File("expected/");
    RunOracle("icon", expected);
    EXPECT_EQ(FirstDifference(gbxtest::StreamBytes(out), cardtest::ReadFile(expected + "0300.Q3I")), "same");
    EXPECT_EQ(out.str().size(), 1052u);

    CSongX back;
    ASSERT_TRUE(CIconFileStore::GetInstance().ReadIconFile(expected + "0300.Q3I", back));
    EXPECT_EQ(back.GetTitle(), "Protected Song");
    EXPECT_TRUE(back.IsProtected());
    EXPECT_EQ(back.GetNumber(), 44);
}

TEST(NameBlock, TextPictureFlagsAndWidth) {
    CCardEnvironment environment;
    CIconFileStore& icons = CIconFileStore::GetInstance();
    std::string threeByte;
    for (int i = 0; i < 100; ++i) threeByte += "\xE3\x81\x82";
    const struct {
        const char* name;
        std::string text;
        bool isProtected;
        int number;
        std::string field;
        int width;
        uint16_t flags;
    } cases[] = {
        {"empty title: one space drawn, nothing written", "", false, 0, "", 8, 0x2000},
        {"ten bytes", "0123456789", false, 0, "0123456789", 80, 0x2000},
        {"protected, number 300", "Song", true, 300, "Song", 32, 0xA02C},
        {"eighty bytes: 504 pixels kept", std::string(80, 'w'), false, 7, std::string(80, 'w'), 504, 0x2007},
        {"300 bytes of three-byte characters", threeByte, false, 0, threeByte.substr(0, 255), 504, 0x2000},
    };
    for (const auto& c : cases) {
        const CNameBlock block = icons.BuildIconEntry(c.text, c.isProtected, c.number);
        EXPECT_EQ(block.GetText(), c.field) << c.name;
        EXPECT_EQ(block.width, c.width) << c.name;
        EXPECT_EQ(block.height, 12) << c.name;
        EXPECT_EQ(block.flags, c.flags) << c.name;
        // The picture: the renderer's rows, each cut to 63 bytes when wider.
        const std::vector<uint8_t> drawn = environment.renderer.MakeTextBitmap(c.text.empty() ? " " : c.text);
        const size_t row = drawn.size() / 12, kept = std::min<size_t>(row, 63);
        for (size_t r = 0; r < 12; ++r)
            for (size_t i = 0; i < kept; ++i)
                ASSERT_EQ(block.picture[r * kept + i], drawn[r * row + i]) << c.name << " row " << r << " byte " << i;
        EXPECT_TRUE(std::all_of(block.picture.begin() + static_cast<long>(12 * kept), block.picture.end(),
                                [](uint8_t b) { return b == 0; }))
            << c.name;
    }
    EXPECT_EQ(CIconFileStore::GetIconPath("/c/CORVANE/QM/DB/001/0105.MP3"), "/c/CORVANE/QM/DB/001/0105.Q3I");
    // The icon beside any path is the path's folder and title with the icon's extension.
    for (const std::string path : {"/c/CORVANE/QM/DB/001/0105.MP3", "/media/me/NO NAME/CORVANE/QM/DB/000/0000.Q3R",
                                   "/m.d/x/0001.WAV", "0002.wav", "/a//b/0003.MP3", "/a/b/x.y.MP3", "/a/b/.MP3",
                                   "/a/b/0004.", "/a/b/0005", "/a/\"q\"/0006.MP3", "/a/b\\c/0007.MP3", "/a/b/"}) {
        const GT::CPathParts parts(path, '/');
        EXPECT_EQ(CIconFileStore::GetIconPath(path), parts.directory + parts.title + ".Q3I") << path;
    }
}

TEST(DatabaseRoundTrip, LoadSaveLoadGivesTheSameBytes) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    MakeThreeSongs(document);
    for (CSongX* song : {document.GetSong(0).get(), document.GetSong(1).get(), document.GetSong(2).get()})
        document.MarkChanged(song);
    document.GetSong(1)->SetProtected(true);
    ASSERT_TRUE(document.Save());
    EXPECT_FALSE(document.NeedsSaving());
    const std::string first = environment.Dir().File("first/");
    fs::copy(environment.DatabaseFolder(), first, fs::copy_options::recursive);

    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.ReadFromUnit(true));
    EXPECT_EQ(document.GetSlotCount(), 4000);
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_SONGS)), (std::vector<int>{1, 0}));
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_RHYTHM)), (std::vector<int>{2}));
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_BEST)), (std::vector<int>{2, 0}));
    EXPECT_TRUE(document.GetList(CDocX::LIST_USER).empty());
    const CSongX& a = *document.GetSong(0);
    EXPECT_EQ(a.GetTitle(), "Alpha");
    EXPECT_EQ(a.GetArtist(), "Zed");
    EXPECT_EQ(a.GetAlbum(), "First");
    EXPECT_EQ(a.GetNumber(), 2);
    EXPECT_EQ(a.GetFileType(), kSongFileWav);
    EXPECT_TRUE(document.GetSong(1)->IsProtected());
    EXPECT_EQ(document.GetSong(2)->GetAlbum(), "~RHYTHM");
    EXPECT_EQ(document.GetSong(2)->GetFileType(), kSongFileVoxa);
    EXPECT_FALSE(document.NeedsSaving());

    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    ExpectSameFiles(environment.DatabaseFolder(), first);
}

TEST(DatabaseRoundTrip, EmptyCardGivesFourThousandEmptySlots) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    ASSERT_TRUE(document.Save());
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(document.GetSlotCount(), 4000);
    EXPECT_EQ(document.GetUsedSlotCount(), 0);
    for (int kind = 0; kind < 4; ++kind) EXPECT_TRUE(document.GetList(kind).empty()) << kind;
}

TEST(DatabaseRoundTrip, ACardWithoutADatabaseIsEmpty) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    EXPECT_TRUE(document.Load());
    EXPECT_EQ(document.GetSlotCount(), 0);
    fs::create_directories(environment.DatabaseFolder());
    EXPECT_TRUE(document.Load());
    EXPECT_EQ(document.AllocateSlot(), 0);
}

TEST(DatabaseOrder, AlbumsArtistsNumbersAndCase) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    // abc and ABC sort together, ABC first; equal albums by number, equal numbers by slot.
    const struct {
        const char* album;
        int number;
    } songs[] = {{"abc", 1}, {"ABC", 1}, {"Same", 3}, {"Same", 1}, {"Same", 2}, {"Same", 2}};
    for (const auto& s : songs) document.MoveToSongs(AddSong(document, ".WAV", "t", "artist", s.album, s.number));
    const CSongList byAlbum = CDatabaseStore::SortByAlbum(document.GetList(CDocX::LIST_SONGS));
    EXPECT_EQ(Slots(byAlbum), (std::vector<int>{1, 0, 3, 4, 5, 2}));
    const CNameTable names = CDatabaseStore::GetInstance().BuildNameTable(document.GetList(CDocX::LIST_SONGS));
    ASSERT_EQ(names.size(), 4u);
    EXPECT_EQ(names[0].block.GetText(), "ABC");
    EXPECT_EQ(names[1].block.GetText(), "Same");
    EXPECT_EQ(names[2].block.GetText(), "abc");
    EXPECT_EQ(names[3].block.GetText(), "artist");
    EXPECT_EQ(names[3].kind, CNameRecord::KIND_ARTIST);
    const std::vector<CSongGroup> groups = CDatabaseStore::BuildGroups(byAlbum, names, CDatabaseStore::KEY_ALBUM);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ((std::vector<int>{groups[0].first, groups[0].count, groups[0].nameIndex}), (std::vector<int>{0, 1, 0}));
    EXPECT_EQ((std::vector<int>{groups[1].first, groups[1].count, groups[1].nameIndex}), (std::vector<int>{1, 1, 2}));
    EXPECT_EQ((std::vector<int>{groups[2].first, groups[2].count, groups[2].nameIndex}), (std::vector<int>{2, 4, 1}));
    EXPECT_TRUE(CDatabaseStore::BuildGroups(byAlbum, names, CDatabaseStore::KEY_ARTIST).size() == 1);

    // Titles of the User and Rhythm lists: upper-cased, then exact, then slot.
    CSongList titled;
    for (const char* title : {"b", "B", "a", "b"}) {
        CSongX* song = AddSong(document, ".WAV", title);
        titled.push_back(CSongRef{song, document.FindSlot(song)});
    }
    EXPECT_EQ(Slots(CDatabaseStore::SortUserByTitle(titled)), (std::vector<int>{8, 7, 6, 9}));
    EXPECT_EQ(Slots(CDatabaseStore::SortRhythmByTitle(titled)), (std::vector<int>{8, 7, 6, 9}));
}

// The orders of the list files, as the plain comparison of whole keys gives them, on a list
// where texts repeat in every case and with bytes above 0x7F.
TEST(DatabaseOrder, SortsAndTheNameTableMatchTheirKeysOnAMixedList) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    const std::vector<std::string> texts = {
        "abc", "ABC", "Abc", "abd",  "",    "\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89", "zz",
        "Z",   "a b", "A B", "\x7F", "\xFF"};
    std::mt19937 random(7);
    const auto pick = [&]() { return texts[random() % texts.size()]; };
    for (int i = 0; i < 600; ++i)
        document.MoveToSongs(AddSong(document, ".WAV", pick(), pick(), pick(), static_cast<int>(random() % 4)));
    const CSongList& songs = document.GetList(CDocX::LIST_SONGS);

    typedef std::tuple<std::string, std::string, std::string, std::string, int, int> CKey;
    const auto sortedBy = [&songs](CKey (*key)(const CSongRef&)) {
        std::vector<std::pair<CKey, CSongRef>> keyed;
        for (const CSongRef& entry : songs) keyed.emplace_back(key(entry), entry);
        std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<int> slots;
        for (const auto& k : keyed) slots.push_back(k.second.slot);
        return slots;
    };
    EXPECT_EQ(Slots(CDatabaseStore::SortByAlbum(songs)), sortedBy([](const CSongRef& e) {
                  const CSongX& s = *e.song;
                  return CKey(GT::ToUpper(s.GetAlbum()), s.GetAlbum(), "", "", s.GetNumber(), e.slot);
              }));
    EXPECT_EQ(Slots(CDatabaseStore::SortByArtist(songs)), sortedBy([](const CSongRef& e) {
                  const CSongX& s = *e.song;
                  return CKey(GT::ToUpper(s.GetArtist()), s.GetArtist(), GT::ToUpper(s.GetAlbum()), s.GetAlbum(),
                              s.GetNumber(), e.slot);
              }));
    EXPECT_EQ(Slots(CDatabaseStore::SortUserByTitle(songs)), sortedBy([](const CSongRef& e) {
                  const CSongX& s = *e.song;
                  return CKey(GT::ToUpper(s.GetTitle()), s.GetTitle(), "", "", 0, e.slot);
              }));

    std::set<std::string> albums, artists;
    for (const CSongRef& entry : songs) {
        albums.insert(entry.song->GetAlbum());
        artists.insert(entry.song->GetArtist());
    }
    std::vector<std::pair<int, std::string>> expected, built;
    for (const std::string& album : albums) expected.emplace_back(CNameRecord::KIND_ALBUM, album);
    for (const std::string& artist : artists) expected.emplace_back(CNameRecord::KIND_ARTIST, artist);
    for (const CNameRecord& record : CDatabaseStore::GetInstance().BuildNameTable(songs))
        built.emplace_back(record.kind, record.block.GetText());
    EXPECT_EQ(built, expected);
}

// Enough songs for the icon files to be read on several threads: each song gets its own
// file's title, protect flag and number, or its file title when its icon file is missing or
// damaged; a reading ended without Finish leaves the songs alone.
TEST(DatabaseRoundTrip, ThousandsOfIconFilesComeBackEachToItsSong) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    constexpr int kSongs = 2300;
    for (int i = 0; i < kSongs; ++i) {
        CSongX* song = AddSong(document, ".WAV", "title " + std::to_string(i), "a", "b", i % 12 + 1);
        song->SetProtected(i % 3 == 0);
        document.MoveToSongs(song);
        document.MarkChanged(song);
    }
    ASSERT_TRUE(document.Save());
    for (int i = 0; i < kSongs; i += 7) {
        const std::string icon = CIconFileStore::GetIconPath(environment.CardDrive() + document.GetSong(i)->GetPath());
        if (i % 2 == 0)
            fs::remove(icon);
        else
            fs::resize_file(icon, 10);
    }
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.Load());
    for (int i = 0; i < kSongs; ++i) {
        const CSongX& song = *document.GetSong(i);
        char fileTitle[8];
        std::snprintf(fileTitle, sizeof fileTitle, "%04d", i);
        SCOPED_TRACE(i);
        if (i % 7 == 0) {
            EXPECT_EQ(song.GetTitle(), fileTitle);
        } else {
            EXPECT_EQ(song.GetTitle(), "title " + std::to_string(i));
            EXPECT_EQ(song.IsProtected(), i % 3 == 0);
            EXPECT_EQ(song.GetNumber(), i % 12 + 1);
        }
    }
    document.GetSong(1)->SetTitle("kept");
    { CIconFileStore::CReading dropped(document.GetVolume(), document); }
    EXPECT_EQ(document.GetSong(1)->GetTitle(), "kept");
}

TEST(DatabaseLimits, The2001stAlbumLosesItsNameButNotItsSongs) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    char album[32];
    for (int i = 0; i < 2001; ++i) {
        std::snprintf(album, sizeof album, "album %04d", i);
        document.MoveToSongs(AddSong(document, ".WAV", "t", "artist", album));
    }
    const CNameTable names = CDatabaseStore::GetInstance().BuildNameTable(document.GetList(CDocX::LIST_SONGS));
    ASSERT_EQ(names.size(), 2000u);
    EXPECT_EQ(names.back().block.GetText(), "album 1999");
    EXPECT_EQ(names.back().kind, CNameRecord::KIND_ALBUM);
    ASSERT_TRUE(document.Save());
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.Load());
    // The song of album 2000 had no group; it still comes back, in Songs.
    EXPECT_EQ(document.GetList(CDocX::LIST_SONGS).size(), 2001u);
    EXPECT_EQ(document.GetList(CDocX::LIST_SONGS).back().slot, 2000);
    EXPECT_EQ(document.GetSong(2000)->GetAlbum(), "");
    EXPECT_EQ(document.GetSong(1999)->GetAlbum(), "album 1999");
    EXPECT_EQ(document.GetSong(5)->GetArtist(), "");  // no artist record was left
}

TEST(DatabaseLimits, LongNamesKeepTheirGroups) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    std::string threeByte;
    for (int i = 0; i < 100; ++i) threeByte += "\xE3\x81\x82";  // 300 bytes
    const std::string ascii(300, 'L');                          // 300 bytes
    CSongX* a = AddSong(document, ".WAV", "a", ascii, threeByte);
    CSongX* b = AddSong(document, ".WAV", "b", ascii + "x", threeByte + "x");  // same first 256 bytes
    document.MoveToSongs(a);
    document.MoveToSongs(b);
    ASSERT_TRUE(document.Save());
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_SONGS)), (std::vector<int>{0, 1}));
    EXPECT_EQ(document.GetSong(0)->GetAlbum(), threeByte.substr(0, 255));  // cut at a whole character
    EXPECT_EQ(document.GetSong(0)->GetArtist(), ascii.substr(0, 255));
}

TEST(DatabaseLimits, ABestListOf40GivesItsFirst30) {
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    environment.Connect();
    for (int i = 0; i < 40; ++i) document.MoveToSongs(AddSong(document, ".WAV", "s"));
    ASSERT_TRUE(document.Save());
    // A best list written elsewhere with 40 songs in one group.
    auto chunk = boost::make_shared<CDatabaseFileChunks::CSongListChunk>();
    for (int i = 0; i < 40; ++i) chunk->songNumbers.push_back(static_cast<uint16_t>(39 - i));
    chunk->groups.push_back(CSongGroup{0, 40, CSongGroup::NO_NAME, 0});
    CQm3FileDto dto(boost::make_shared<CDatabaseFileChunks::CChunkFactory<CDatabaseFileChunks::CSongListChunk>>());
    dto.AppendChild(boost::make_shared<CDatabaseFileChunks::CFormatChunk>());
    dto.AppendChild(chunk);
    std::ofstream out(environment.DatabaseFolder() + "SL_BEST.Q3D", std::ios::binary | std::ios::trunc);
    ASSERT_TRUE(dto.Write(out));
    out.close();
    document.Reset();
    environment.Connect();
    ASSERT_TRUE(document.Load());
    const CSongList& best = document.GetList(CDocX::LIST_BEST);
    ASSERT_EQ(best.size(), 30u);
    EXPECT_EQ(best.front().slot, 39);
    EXPECT_EQ(best.back().slot, 10);
}

// --- chunks ---

template <class TData>
TData* ReadFromBytes(const Bytes& bytes, std::unique_ptr<CQm3FileDto>& dto) {
    std::stringstream in = gbxtest::MemoryStream(bytes);
    dto.reset(new CQm3FileDto(boost::make_shared<CDatabaseFileChunks::CChunkFactory<TData>>()));
    return ReadQm3File<TData>(in, *dto, TData::Id());
}

template <class TData>
Bytes WriteToBytes(const boost::shared_ptr<TData>& data) {
    CQm3FileDto dto(boost::make_shared<CDatabaseFileChunks::CChunkFactory<TData>>());
    dto.AppendChild(boost::make_shared<CDatabaseFileChunks::CFormatChunk>());
    dto.AppendChild(data);
    std::stringstream out = gbxtest::MemoryStream();
    EXPECT_TRUE(dto.Write(out));
    return gbxtest::StreamBytes(out);
}

TEST(DatabaseChunks, SongListsHoldTheirCapacityWhateverTheirSizes) {
    auto full = boost::make_shared<CDatabaseFileChunks::CSongListChunk>();
    full->songNumbers.assign(4000, 7);
    full->groups.assign(2000, CSongGroup{1, 2, 3, 0});
    const Bytes fullBytes = WriteToBytes(full);
    ASSERT_EQ(fullBytes.size(), 25060u);
    EXPECT_EQ(Bytes(fullBytes.begin() + 4, fullBytes.begin() + 8), (Bytes{0, 0, 0x61, 0xDC}));  // 25052

    auto some = boost::make_shared<CDatabaseFileChunks::CSongListChunk>();
    some->songNumbers = {5, 6};
    some->groups = {CSongGroup{0, 2, CSongGroup::NO_NAME, 0}};
    Bytes bytes = WriteToBytes(some);
    ASSERT_EQ(bytes.size(), 25060u);
    EXPECT_EQ(Bytes(bytes.begin() + 4, bytes.begin() + 8), (Bytes{0, 0, 0x04, 0x28}));    // 1052 + 4 + 8
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.begin() + 28), (Bytes{0, 0, 0x04, 0x14}));  // 1032 + 4 + 8

    // Sizes that cover the whole capacity (another writer) read the same.
    Bytes covering = bytes;
    covering[4] = 0, covering[5] = 0, covering[6] = 0x61, covering[7] = 0xDC;
    covering[24] = 0, covering[25] = 0, covering[26] = 0x61, covering[27] = 0xC8;
    for (const Bytes* variant : {&bytes, &covering}) {
        std::unique_ptr<CQm3FileDto> dto;
        const auto* read = ReadFromBytes<CDatabaseFileChunks::CSongListChunk>(*variant, dto);
        ASSERT_NE(read, nullptr);
        EXPECT_EQ(read->songNumbers, (std::vector<uint16_t>{5, 6}));
        ASSERT_EQ(read->groups.size(), 1u);
        EXPECT_EQ(read->groups[0].nameIndex, 0xFFFF);
    }
}

TEST(DatabaseChunks, PathsFillTheirFieldAndAreCut) {
    auto chunk = boost::make_shared<CDatabaseFileChunks::CSongFilenameListChunk>();
    const std::string exact = "A:\\" + std::string(253, 'p');
    const std::string longer = "A:\\" + std::string(300, 'q');
    chunk->entries = {exact, longer, ""};
    const Bytes bytes = WriteToBytes(chunk);
    ASSERT_EQ(bytes.size(), 1024034u);
    EXPECT_EQ(bytes[34 + 255], 'p');  // no terminating zero
    std::unique_ptr<CQm3FileDto> dto;
    const auto* read = ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(bytes, dto);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->entries.size(), 4000u);
    EXPECT_EQ(read->entries[0], exact);
    EXPECT_EQ(read->entries[1], longer.substr(0, 256));
    EXPECT_EQ(read->entries[2], "");
}

TEST(DatabaseChunks, CountsNeverReachPastTheChunk) {
    auto list = boost::make_shared<CDatabaseFileChunks::CSongListChunk>();
    list->songNumbers = {1, 2, 3};
    list->groups = {CSongGroup{0, 3, 0, 0}};
    Bytes bytes = WriteToBytes(list);
    // n = 0x8000 and g = 0xFFFF: only the numbers the chunk holds are read.
    bytes[28 + 1028] = 0x80, bytes[28 + 1029] = 0x00;
    bytes[28 + 1030] = 0xFF, bytes[28 + 1031] = 0xFF;
    std::unique_ptr<CQm3FileDto> dto;
    const auto* read = ReadFromBytes<CDatabaseFileChunks::CSongListChunk>(bytes, dto);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->songNumbers.size(), 7u);  // 14 live bytes after the counts
    EXPECT_TRUE(read->groups.empty());

    auto names = boost::make_shared<CDatabaseFileChunks::CPlayListChunk>();
    names->recordCount = 2;
    names->records.resize(2);
    Bytes table = WriteToBytes(names);
    table[32] = 0xFF, table[33] = 0xFF;  // 65535 records announced, 2 held
    const auto* readNames = ReadFromBytes<CDatabaseFileChunks::CPlayListChunk>(table, dto);
    ASSERT_NE(readNames, nullptr);
    EXPECT_EQ(readNames->records.size(), 2u);
}

// Tables are as long as what the chunk holds, and never longer than the player's capacities,
// whatever the counts say.
TEST(DatabaseChunks, TablesAreSizedFromWhatTheChunkHoldsWithinTheCapacities) {
    const struct {
        const char* name;
        uint16_t claimed;
        size_t held, expected;
    } names[] = {
        {"as claimed", 4, 4, 4},
        {"65535 claimed, 4 held", 65535, 4, 4},
        {"2001 claimed and held", 2001, 2001, 2000},
        {"none claimed", 0, 3, 0},
    };
    for (const auto& c : names) {
        auto chunk = boost::make_shared<CDatabaseFileChunks::CPlayListChunk>();
        chunk->recordCount = static_cast<uint16_t>(c.held);
        chunk->records.resize(c.held);
        chunk->records.back().kind = CNameRecord::KIND_ARTIST;
        chunk->records.front().block.SetText("First");
        Bytes bytes = WriteToBytes(chunk);
        bytes[32] = static_cast<uint8_t>(c.claimed >> 8), bytes[33] = static_cast<uint8_t>(c.claimed);
        std::unique_ptr<CQm3FileDto> dto;
        const auto* read = ReadFromBytes<CDatabaseFileChunks::CPlayListChunk>(bytes, dto);
        ASSERT_NE(read, nullptr) << c.name;
        ASSERT_EQ(read->records.size(), c.expected) << c.name;
        if (c.expected > 0) {
            EXPECT_EQ(read->records.front().block.GetText(), "First") << c.name;
        }
    }

    // A list of 4001 song numbers and 2001 groups (another writer): the groups after the extra
    // number are still found, and both are cut to the capacities.
    auto list = boost::make_shared<CDatabaseFileChunks::CSongListChunk>();
    for (int i = 0; i < 4001; ++i) list->songNumbers.push_back(static_cast<uint16_t>(i));
    for (int i = 0; i < 2001; ++i) list->groups.push_back(CSongGroup{static_cast<uint16_t>(i), 1, 7, 0});
    std::unique_ptr<CQm3FileDto> dto;
    const auto* read = ReadFromBytes<CDatabaseFileChunks::CSongListChunk>(WriteToBytes(list), dto);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->songNumbers.size(), 4000u);
    EXPECT_EQ(read->songNumbers.back(), 3999);
    ASSERT_EQ(read->groups.size(), 2000u);
    EXPECT_EQ(read->groups.front().first, 0);
    EXPECT_EQ(read->groups.front().nameIndex, 7);
    EXPECT_EQ(read->groups.back().first, 1999);
}

TEST(DatabaseChunks, ChunksInAnyOrderAndUnknownOnesSkipped) {
    // A container of an unknown chunk, the data chunk, then the format chunk.
    Bytes body = gbxtest::ByteBuilder()
                     .Text("JUNK")
                     .Be32(2)
                     .Bytes({9, 9})
                     .Text("Q3D0")
                     .Be32(6 + 256)
                     .Be32(1)
                     .Be16(1)
                     .Text("A:\\X.WAV")
                     .Fill(256 - 8, 0)
                     .Text("fmt ")
                     .Be32(4)
                     .Be32(7)
                     .Get();
    Bytes file = gbxtest::ByteBuilder().Text("QM-3").Be32(static_cast<uint32_t>(body.size())).Bytes(body).Get();
    std::unique_ptr<CQm3FileDto> dto;
    const auto* read = ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(file, dto);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->entries, (std::vector<std::string>{"A:\\X.WAV"}));

    Bytes wrongId = file;
    wrongId[3] = '4';
    EXPECT_EQ(ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(wrongId, dto), nullptr);
    Bytes noFormat =
        gbxtest::ByteBuilder().Text("QM-3").Be32(8 + 262).Bytes(Bytes(body.begin() + 10, body.begin() + 280)).Get();
    EXPECT_EQ(ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(noFormat, dto), nullptr);
}

// --- hostile cards ---

struct CPatch {
    const char* file;
    size_t offset;
    Bytes bytes;
};

class HostileCardTest : public ::testing::Test {
protected:
    void SetUp() override {
        environment.Connect();
        MakeThreeSongs(document);
        ASSERT_TRUE(document.Save());
        document.Reset();
        environment.Connect();
    }
    void Patch(const CPatch& patch) {
        const std::string path = environment.DatabaseFolder() + patch.file;
        Bytes bytes = cardtest::ReadFile(path);
        ASSERT_LE(patch.offset + patch.bytes.size(), bytes.size());
        std::copy(patch.bytes.begin(), patch.bytes.end(), bytes.begin() + static_cast<long>(patch.offset));
        gbxtest::WriteBytes(path, bytes);
    }
    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
};

// Offsets in a song list file: n at 1056, g at 1058, numbers from 1060.
constexpr size_t kN = 1056, kG = 1058, kNumbers = 1060;

TEST_F(HostileCardTest, LoadsAsFarAsItCanWithoutLosingSongs) {
    const std::string entry = "A:\\..\\..\\outside.WAV";
    struct Case {
        const char* name;
        std::function<void()> damage;
        int slots;
        std::vector<int> songs, rhythm, best;
    } cases[] = {
        {"album list counts 0x8000 / 0xFFFF",
         [&] {
             Patch({"SL_ALBUM.Q3D", kN, {0x80, 0x00, 0xFF, 0xFF}});
         },
         4000,
         {0, 1},
         {2},
         {2, 0}},
        {"song number 0xFFFF",
         [&] {
             Patch({"SL_ALBUM.Q3D", kNumbers, {0xFF, 0xFF}});
         },
         4000,
         {0, 1},
         {2},
         {2, 0}},
        {"song number of a free slot",
         [&] {
             Patch({"SL_BEST.Q3D", kNumbers, {0x00, 0x09}});
         },
         4000,
         {1, 0},
         {2},
         {0}},
        {"group past the list",
         [&] {
             Patch({"SL_ALBUM.Q3D", kNumbers + 4, {0x00, 0x01, 0x00, 0x05}});
         },
         4000,
         {0, 1},
         {2},
         {2, 0}},
        {"group name index 0xFFFF",
         [&] {
             Patch({"SL_ALBUM.Q3D", kNumbers + 4 + 4, {0xFF, 0xFF}});
         },
         4000,
         {0, 1},
         {2},
         {2, 0}},
        {"rhythm group count 0",
         [&] {
             Patch({"SL_RHYTM.Q3D", kNumbers + 2 + 2, {0x00, 0x00}});
         },
         4000,
         {1, 0, 2},
         {},
         {2, 0}},
        {"missing PLAYLIST.Q3D",
         [&] { fs::remove(environment.DatabaseFolder() + "PLAYLIST.Q3D"); },
         4000,
         {0, 1},
         {2},
         {2, 0}},
        {"missing list files",
         [&] {
             for (const char* f : {"SL_ALBUM.Q3D", "SL_ARTST.Q3D", "SL_BEST.Q3D", "SL_MYSNG.Q3D", "SL_RHYTM.Q3D"})
                 fs::remove(environment.DatabaseFolder() + f);
         },
         4000,
         {0, 1, 2},
         {},
         {}},
        {"a '..' path",
         [&] {
             Patch({"SONGNAME.Q3D", 34, Bytes(entry.begin(), entry.end())});
         },
         4000,
         {1},
         {2},
         {2}},
        {"list file with a wrong container id",
         [&] {
             Patch({"SL_RHYTM.Q3D", 0, {'Q', 'M', '-', '4'}});
         },
         4000,
         {1, 0, 2},
         {},
         {2, 0}},
        {"list file cut short",
         [&] { fs::resize_file(environment.DatabaseFolder() + "SL_ALBUM.Q3D", kNumbers + 2); },
         4000,
         {0, 1},
         {2},
         {2, 0}},
    };
    for (const Case& c : cases) {
        SetUp();
        c.damage();
        ASSERT_TRUE(document.Load()) << c.name;
        EXPECT_EQ(document.GetSlotCount(), c.slots) << c.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_SONGS)), c.songs) << c.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_RHYTHM)), c.rhythm) << c.name;
        EXPECT_EQ(Slots(document.GetList(CDocX::LIST_BEST)), c.best) << c.name;
        fs::remove_all(environment.CardDrive() + "/CORVANE");
        document.Reset();
    }
}

TEST_F(HostileCardTest, AnUnreadableDatabaseIsNotLoaded) {
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"wrong container id",
         [&] {
             Patch({"SONGNAME.Q3D", 0, {'Q', 'M', '-', '4'}});
         }},
        {"missing SONGNAME.Q3D", [&] { fs::remove(environment.DatabaseFolder() + "SONGNAME.Q3D"); }},
        {"no format chunk",
         [&] {
             Patch({"SONGNAME.Q3D", 8, {'f', 'm', 't', 'x'}});
         }},
        {"SONGNAME.Q3D cut inside its header",
         [&] { fs::resize_file(environment.DatabaseFolder() + "SONGNAME.Q3D", 30); }},
    };
    for (const auto& c : cases) {
        SetUp();
        c.damage();
        EXPECT_FALSE(document.Load()) << c.name;
        EXPECT_EQ(document.GetSlotCount(), 0) << c.name;
        fs::remove_all(environment.CardDrive() + "/CORVANE");
        document.Reset();
    }
}

TEST_F(HostileCardTest, MoreThan4000SlotsLoadTheFirst4000WhenTheRestAreEmpty) {
    auto chunk = boost::make_shared<CDatabaseFileChunks::CSongFilenameListChunk>();
    chunk->entryCount = 4100;
    for (int i = 0; i < 4000; ++i) chunk->entries.push_back(GT::FormatString("A:\\S\\%04d.WAV", i));
    const Bytes bytes = WriteToBytes(chunk);
    gbxtest::WriteBytes(environment.DatabaseFolder() + "SONGNAME.Q3D", bytes);
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(document.GetSlotCount(), 4000);
    EXPECT_EQ(document.GetSong(3999)->GetPath(), "/S/3999.WAV");
    EXPECT_EQ(document.GetUsedSlotCount(), 4000);
    EXPECT_EQ(document.GetList(CDocX::LIST_SONGS).size() + document.GetList(CDocX::LIST_RHYTHM).size(), 4000u);
    EXPECT_EQ(document.AllocateSlot(), -1);
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    EXPECT_EQ(fs::file_size(environment.DatabaseFolder() + "SONGNAME.Q3D"), 1024034u);
}

TEST_F(HostileCardTest, EntriesWithoutTheDriveAreTheSameSongs) {
    // As another program may write them: slot 0 without "A:", slot 1 with it.
    const std::string entry = "\\CORVANE\\QM\\DB\\000\\0000.WAV";
    Bytes field(entry.begin(), entry.end());
    field.resize(256, 0);
    Patch({"SONGNAME.Q3D", 34, field});
    ASSERT_TRUE(document.Load());
    EXPECT_EQ(document.GetSong(0)->GetPath(), "/CORVANE/QM/DB/000/0000.WAV");
    EXPECT_EQ(document.GetSong(0)->GetFileType(), kSongFileWav);
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_SONGS)), (std::vector<int>{1, 0}));
    EXPECT_EQ(Slots(document.GetList(CDocX::LIST_BEST)), (std::vector<int>{2, 0}));
    // Its slot is taken: an import goes elsewhere and leaves its audio file alone.
    EXPECT_EQ(document.AllocateSlot(), 3);
    document.SetModified(1);
    ASSERT_TRUE(document.Save());
    std::unique_ptr<CQm3FileDto> dto;
    const auto* table = ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(
        cardtest::ReadFile(environment.DatabaseFolder() + "SONGNAME.Q3D"), dto);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->entries[0], "A:" + entry);
    EXPECT_EQ(table->entries[1], "A:\\CORVANE\\QM\\DB\\000\\0001.MP3");
}

TEST_F(HostileCardTest, ASongTableThatCannotBeReadWholeRefusesTheCard) {
    // Offsets in SONGNAME.Q3D: the data chunk's size at 24, the count at 32, entries from 34.
    const std::string songname = environment.DatabaseFolder() + "SONGNAME.Q3D";
    const struct {
        const char* name;
        std::function<void()> damage;
    } cases[] = {
        {"cut to half", [&] { fs::resize_file(songname, 1024034 / 2); }},
        {"cut inside its last entry", [&] { fs::resize_file(songname, 1024034 - 1); }},
        {"count 0xFFFF",
         [&] {
             Patch({"SONGNAME.Q3D", 32, {0xFF, 0xFF}});
         }},
        {"count 0x8000",
         [&] {
             Patch({"SONGNAME.Q3D", 32, {0x80, 0x00}});
         }},
        {"count 3",
         [&] {
             Patch({"SONGNAME.Q3D", 32, {0x00, 0x03}});
         }},
        {"data size one short",
         [&] {
             Patch({"SONGNAME.Q3D", 24, {0x00, 0x0F, 0xA0, 0x05}});
         }},
        {"data size one over",
         [&] {
             Patch({"SONGNAME.Q3D", 24, {0x00, 0x0F, 0xA0, 0x07}});
         }},
        {"data size an entry short",
         [&] {
             Patch({"SONGNAME.Q3D", 24, {0x00, 0x0F, 0x9F, 0x06}});
         }},
        {"a song beyond the 4000 slots",
         [&] {
             auto chunk = boost::make_shared<CDatabaseFileChunks::CSongFilenameListChunk>();
             chunk->entryCount = 4001;
             chunk->entries.resize(4001);
             chunk->entries[0] = "A:\\CORVANE\\QM\\DB\\000\\0000.WAV";
             chunk->entries[4000] = "A:\\CORVANE\\QM\\DB\\040\\4000.WAV";
             gbxtest::WriteBytes(songname, WriteToBytes(chunk));
         }},
    };
    CDocumentModel& model = CDocumentModel::GetInstance();
    for (const auto& c : cases) {
        SetUp();
        c.damage();
        const std::vector<std::string> files = cardtest::FilesBelow(environment.CardDrive());
        std::vector<Bytes> before;
        for (const std::string& file : files)
            before.push_back(cardtest::ReadFile(environment.CardDrive() + "/" + file));
        environment.textDialog.shown.clear();
        model.Notify(CModelEvent(CModelEvent::CONNECT_FINISHED));
        EXPECT_EQ(environment.textDialog.Texts(), (std::vector<std::string>{"Failed to read from the unit."}))
            << c.name;
        EXPECT_FALSE(document.IsConnected()) << c.name;
        EXPECT_EQ(document.GetSlotCount(), 0) << c.name;
        // Nothing written: no save can reach a card that is not connected.
        EXPECT_FALSE(document.Save()) << c.name;
        EXPECT_EQ(cardtest::FilesBelow(environment.CardDrive()), files) << c.name;
        for (size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(cardtest::ReadFile(environment.CardDrive() + "/" + files[i]), before[i]) << c.name << files[i];
        model.Notify(CModelEvent(CModelEvent::DRIVE_REMOVED, environment.CardDrive()));
        fs::remove_all(environment.CardDrive() + "/CORVANE");
        document.Reset();
    }
}

// A name table of four records whose header claims 65,535: the load holds no more memory than
// for the same four records claimed as four, and reads the same names.
TEST_F(HostileCardTest, ANameTableClaimingMoreRecordsThanItHoldsCostsNothingMore) {
    if (!gbxtest::HeapPeakAvailable()) GTEST_SKIP() << "needs the sanitizer's allocation hooks";
    const std::string path = environment.DatabaseFolder() + "PLAYLIST.Q3D";
    Bytes four = cardtest::ReadFile(path);
    four.resize(34 + 4 * 1024);  // 4,130 bytes: the headers and four records, sizes to match
    const auto putBe32 = [&four](size_t at, uint32_t value) {
        const Bytes field = gbxtest::ByteBuilder().Be32(value).Get();
        std::copy(field.begin(), field.end(), four.begin() + static_cast<long>(at));
    };
    putBe32(4, static_cast<uint32_t>(four.size() - 8));
    putBe32(24, 6 + 4 * 1024);
    struct Load {
        size_t peak;
        std::vector<int> songs;
        std::string album, artist;
    };
    auto load = [&](uint16_t claimed) {
        Bytes bytes = four;
        bytes[32] = static_cast<uint8_t>(claimed >> 8), bytes[33] = static_cast<uint8_t>(claimed);
        gbxtest::WriteBytes(path, bytes);
        document.Reset();
        environment.Connect();
        Load result;
        result.peak = gbxtest::HeapPeakOf([&] { EXPECT_TRUE(document.Load()); });
        result.songs = Slots(document.GetList(CDocX::LIST_SONGS));
        result.album = document.GetSong(0)->GetAlbum();
        result.artist = document.GetSong(0)->GetArtist();
        return result;
    };
    const Load claimedFour = load(4);
    const Load claimedAll = load(65535);
    EXPECT_EQ(claimedFour.songs, (std::vector<int>{1, 0}));
    EXPECT_EQ(claimedFour.album, "First");
    EXPECT_EQ(claimedFour.artist, "Zed");
    EXPECT_EQ(claimedAll.songs, claimedFour.songs);
    EXPECT_EQ(claimedAll.album, claimedFour.album);
    EXPECT_EQ(claimedAll.artist, claimedFour.artist);
    EXPECT_LT(claimedAll.peak, claimedFour.peak + (size_t(1) << 20))
        << claimedAll.peak << " bytes against " << claimedFour.peak;
}

TEST_F(HostileCardTest, ReadersSurviveRandomDamage) {
    // Every file of a saved card, damaged at random in memory and read by its chunk reader; the
    // small list files also on the card and loaded whole.
    std::mt19937 random(20);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    // The two large files stand in small: the same chunks with fewer entries.
    std::vector<Bytes> images;
    for (const char* name : kDatabaseFiles) images.push_back(cardtest::ReadFile(environment.DatabaseFolder() + name));
    auto names = boost::make_shared<CDatabaseFileChunks::CSongFilenameListChunk>();
    names->entryCount = 8;
    names->entries = {"A:\\CORVANE\\QM\\DB\\000\\0000.WAV", "A:\\X.MP3"};
    images[0] = WriteToBytes(names);
    auto records = boost::make_shared<CDatabaseFileChunks::CPlayListChunk>();
    records->recordCount = 4;
    records->records.resize(3);
    records->records[0].kind = CNameRecord::KIND_ALBUM;
    records->records[0].block.SetText("First");
    images[1] = WriteToBytes(records);
    auto damage = [&](Bytes bytes) {
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            // Mostly the headers and counts, where damage matters.
            const size_t limit = random() % 2 ? std::min<size_t>(bytes.size(), 1200) : bytes.size();
            bytes[random() % limit] = static_cast<uint8_t>(random());
        }
        if (random() % 5 == 0) bytes.resize(random() % bytes.size());
        return bytes;
    };
    int rounds = 0;
    for (; rounds < 3000 && std::chrono::steady_clock::now() < deadline; ++rounds) {
        const size_t which = random() % 7;
        const Bytes damaged = damage(images[which]);
        std::unique_ptr<CQm3FileDto> dto;
        if (which == 0)
            ReadFromBytes<CDatabaseFileChunks::CSongFilenameListChunk>(damaged, dto);
        else if (which == 1)
            ReadFromBytes<CDatabaseFileChunks::CPlayListChunk>(damaged, dto);
        else
            ReadFromBytes<CDatabaseFileChunks::CSongListChunk>(damaged, dto);
        if (which >= 2 && rounds % 50 == 0) {
            const std::string path = environment.DatabaseFolder() + kDatabaseFiles[which];
            const Bytes good = cardtest::ReadFile(path);
            gbxtest::WriteBytes(path, damaged);
            document.Load();
            gbxtest::WriteBytes(path, good);
        }
    }
    EXPECT_GT(rounds, 0);
}

}  // namespace
