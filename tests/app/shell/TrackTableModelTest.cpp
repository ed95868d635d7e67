// The current album, the default album made from a table of contents, and the track table over it.
#include "app/shell/AlbumInfo.h"
#include "app/shell/AppPaths.h"
#include "app/shell/TrackTableModel.h"
#include "general_tools/Files.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>

#include <string>
#include <vector>

namespace {

// Audio tracks starting at these frames, then the lead-out; `data` marks data tracks by index.
GT::CCdToc Toc(const std::vector<int32_t>& starts, int32_t leadOut, const std::vector<int>& data = {}) {
    GT::CCdToc toc;
    for (size_t i = 0; i < starts.size(); ++i) {
        bool isData = false;
        for (int d : data) isData = isData || d == static_cast<int>(i);
        toc.Add(GT::CCdTocEntry(starts[i], 0, 0, isData ? 4 : 0, 0));
    }
    toc.Add(GT::CCdTocEntry(leadOut, 0, 0, 4, 0));
    return toc;
}

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    return time;
}

// The current album with these titles and artists.
void SetTracks(const std::vector<std::pair<std::string, std::string>>& tracks) {
    CAlbumInfo& album = GetCurrentAlbum();
    album.Clear();
    for (const auto& t : tracks) {
        CTrackInfo track;
        track.title = t.first;
        track.artist = t.second;
        album.tracks.push_back(track);
    }
}

class CurrentAlbumTest : public ::testing::Test {
protected:
    void TearDown() override {
        GetCurrentAlbum().Clear();
        GetAlbumTitleList().clear();
    }
};

TEST_F(CurrentAlbumTest, TheDefaultAlbumIsTitledByTheLocalTimeAndItsTracksByNumber) {
    CAlbumInfo album;
    album.artist = "left over";
    MakeDefaultAlbum(Toc({150, 20000, 45000}, 60000), At(2009, 5, 6, 14, 30, 5), album);
    EXPECT_EQ(album.title, "20090506 143005");
    EXPECT_EQ(album.artist, "");
    ASSERT_EQ(album.tracks.size(), 3u);
    const char* titles[] = {"Track01", "Track02", "Track03"};
    const int lengths[] = {19850, 25000, 15000};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(album.tracks[i].title, titles[i]);
        EXPECT_EQ(album.tracks[i].artist, "20090506 143005");
        EXPECT_EQ(album.tracks[i].length, lengths[i]);
    }
}

TEST_F(CurrentAlbumTest, DataTracksCountAndADiscWithoutAudioGivesAnEmptyAlbum) {
    std::vector<int32_t> starts;
    for (int32_t i = 0; i < 12; ++i) starts.push_back(150 + i * 10000);
    CAlbumInfo album;
    MakeDefaultAlbum(Toc(starts, 150 + 12 * 10000, {11}), At(1999, 12, 31, 23, 59, 59), album);
    EXPECT_EQ(album.title, "19991231 235959");
    ASSERT_EQ(album.tracks.size(), 12u);
    EXPECT_EQ(album.tracks[11].title, "Track12");

    MakeDefaultAlbum(Toc({150, 20000}, 30000, {0, 1}), At(2009, 5, 6, 14, 30, 5), album);
    EXPECT_EQ(album.title, "");
    EXPECT_TRUE(album.tracks.empty());
    album.title = "stale";
    MakeDefaultAlbum(GT::CCdToc(), At(2009, 5, 6, 14, 30, 5), album);
    EXPECT_EQ(album.title, "");
    EXPECT_TRUE(album.tracks.empty());
}

TEST_F(CurrentAlbumTest, TheCurrentDefaultAlbumTakesThePresentLocalTime) {
    gbxtest::ScopedEnvironment zone("TZ", "UTC");
    tzset();
    const std::time_t before = std::time(nullptr);
    MakeDefaultAlbum(Toc({150, 20000}, 30000));
    const std::time_t after = std::time(nullptr);
    tzset();
    std::vector<std::string> allowed;
    for (std::time_t t = before; t <= after; ++t) {
        std::tm utc{};
        gmtime_r(&t, &utc);
        char text[32];
        std::strftime(text, sizeof text, "%Y%m%d %H%M%S", &utc);
        allowed.push_back(text);
    }
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), GetCurrentAlbum().title), allowed.end())
        << GetCurrentAlbum().title;
    EXPECT_EQ(GetCurrentAlbum().tracks.size(), 2u);
}

TEST_F(CurrentAlbumTest, TrackAccessorsIgnoreIndicesOutsideTheTracks) {
    SetTracks({{"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}});
    SetCurrentTrackTitle(1, "bee");
    SetCurrentTrackArtist(3, "Dee");
    for (int index : {-1, 4, 5}) {
        SetCurrentTrackTitle(index, "x");
        SetCurrentTrackArtist(index, "x");
        EXPECT_EQ(GetCurrentTrackTitle(index), "") << index;
        EXPECT_EQ(GetCurrentTrackArtist(index), "") << index;
    }
    const std::vector<std::string> titles = {"a", "bee", "c", "d"};
    const std::vector<std::string> artists = {"A", "B", "C", "Dee"};
    ASSERT_EQ(GetCurrentAlbum().tracks.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(GetCurrentTrackTitle(i), titles[size_t(i)]);
        EXPECT_EQ(GetCurrentTrackArtist(i), artists[size_t(i)]);
    }
}

TEST_F(CurrentAlbumTest, TheTitleListFollowsTheAlbumsInOrder) {
    GetAlbumTitleList() = {"old"};
    std::vector<CAlbumInfo> albums(3);
    albums[0].title = "Second Press";
    albums[1].title = "First Press";
    albums[2].title = "";
    FillAlbumTitleList(albums);
    EXPECT_EQ(GetAlbumTitleList(), (std::vector<std::string>{"Second Press", "First Press", ""}));
    FillAlbumTitleList({});
    EXPECT_TRUE(GetAlbumTitleList().empty());
}

class TrackTableModelTest : public CurrentAlbumTest {
protected:
    CTrackTableModel model;
};

TEST_F(TrackTableModelTest, ColumnsClassesAndWhatCanBeEdited) {
    SetTracks({{"One", "Band"}, {"Two", "Band"}});
    EXPECT_EQ(model.GetRowCount(), 2);
    EXPECT_EQ(model.GetColumnCount(), 3);
    const struct {
        int column;
        const char* name;
        const std::type_info& type;
        bool editable;
    } columns[] = {
        {0, "Track", typeid(int), false},
        {1, "Title Name", typeid(std::string), true},
        {2, "Artist Name", typeid(std::string), true},
        {3, "", typeid(void), false},
        {-1, "", typeid(void), false},
    };
    for (const auto& c : columns) {
        EXPECT_EQ(model.GetColumnName(c.column), c.name) << c.column;
        EXPECT_TRUE(model.GetValueClass(0, c.column) == c.type) << c.column;
        EXPECT_EQ(model.IsCellEditable(1, c.column), c.editable) << c.column;
        EXPECT_TRUE(model.IsColumnSortable(c.column)) << c.column;
    }
    // The track column is described as numbers 0 to 65535; the texts have no description.
    const auto* numbers = dynamic_cast<const GT::IRangedNumberDescription<int>*>(model.GetValueDescription(0, 0));
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(numbers->GetMinimum(), 0);
    EXPECT_EQ(numbers->GetMaximum(), 65535);
    EXPECT_EQ(numbers->GetStep(), 1);
    EXPECT_EQ(model.GetValueDescription(1, 0), numbers);  // made once
    EXPECT_EQ(model.GetValueDescription(0, 1), nullptr);
    EXPECT_EQ(model.GetValueDescription(0, 2), nullptr);
}

TEST_F(TrackTableModelTest, CellsShowTheTrackNumberTitleAndArtist) {
    SetTracks({{"One", "Band"}, {"Two", "Guest"}});
    const UL::CCellValue number = model.GetValueAt(0, 0);
    EXPECT_EQ(number.GetMode(), UL::CCellValue::kInline);
    EXPECT_EQ(number.GetInt(), 1);
    EXPECT_EQ(model.GetValueAt(1, 0).GetInt(), 2);
    EXPECT_EQ(model.GetValueAt(1, 1).GetMode(), UL::CCellValue::kText);
    EXPECT_EQ(model.GetValueAt(1, 1).GetString(), "Two");
    EXPECT_EQ(model.GetValueAt(1, 2).GetString(), "Guest");
    EXPECT_EQ(model.GetValueAt(0, 3).GetString(), "");
    EXPECT_EQ(model.GetValueAt(7, 1).GetString(), "");
}

TEST_F(TrackTableModelTest, EditingWritesTitlesAndArtistsButNeverTheTrackNumber) {
    SetTracks({{"One", "Band"}, {"Two", "Band"}, {"Three", "Band"}, {"Four", "Band"}});
    // What the string editor commits into each selected row.
    model.SetValueAt(UL::CCellValue(std::string("Uno")), 0, 1);
    model.SetValueAt(UL::CCellValue(std::string("Guest")), 2, 2);
    model.SetValueAt(UL::CCellValue(std::string("Guest")), 3, 2);
    model.SetValueAt(UL::CCellValue(99), 1, 0);
    model.SetValueAt(UL::CCellValue(std::string("nowhere")), 1, 3);
    model.SetValueAt(UL::CCellValue(std::string("Five")), 5, 1);  // past the last row
    model.SetValueAt(UL::CCellValue(std::string("Minus")), -1, 2);
    const CAlbumInfo& album = GetCurrentAlbum();
    ASSERT_EQ(album.tracks.size(), 4u);
    EXPECT_EQ(album.tracks[0].title, "Uno");
    EXPECT_EQ(album.tracks[1].title, "Two");
    EXPECT_EQ(album.tracks[1].artist, "Band");
    EXPECT_EQ(album.tracks[2].artist, "Guest");
    EXPECT_EQ(album.tracks[3].artist, "Guest");
    EXPECT_EQ(model.GetValueAt(1, 0).GetInt(), 2);
    EXPECT_EQ(model.GetRowCount(), 4);
}

TEST_F(TrackTableModelTest, SortingByTextKeepsEqualTextsInTrackOrder) {
    SetTracks({{"b", "Y"}, {"a", "Z"}, {"b", "X"}, {"B", "Y"}, {"\xC3\xA9t\xC3\xA9", "Y"}});
    UL::CTableCellResolver resolver;
    const struct {
        int column;
        int clicks;  // the same column again reverses the order
        std::vector<int> order;
    } cases[] = {
        {0, 1, {0, 1, 2, 3, 4}}, {0, 2, {4, 3, 2, 1, 0}},
        {1, 1, {3, 1, 0, 2, 4}},  // bytewise: "B" < "a" < "b" < UTF-8 "é"
        {2, 1, {2, 0, 3, 4, 1}}, {2, 2, {1, 4, 3, 0, 2}},
    };
    for (const auto& c : cases) {
        resolver.SetSortColumn(-1);
        for (int i = 0; i < c.clicks; ++i) resolver.SetSortColumn(c.column);
        resolver.Update(&model);
        std::vector<int> order;
        for (int view = 0; view < model.GetRowCount(); ++view) order.push_back(resolver.ViewRowToModelRow(view));
        EXPECT_EQ(order, c.order) << c.column << " x" << c.clicks;
    }
    EXPECT_FALSE(model.IsLess(0, 2, 3));
    EXPECT_FALSE(model.IsLess(2, 2, 1));
}

TEST(AppPathsTest, TheDataFolderIsMadeBelowTheUsersDataFolder) {
    gbxtest::TempDir dir;
    gbxtest::ScopedEnvironment data("XDG_DATA_HOME", dir.Path());
    CAppPaths& paths = CAppPaths::GetInstance();
    paths.SetUpFolders();
    const std::string folder = dir.Path() + "/Corvane/Gigbox Setlister/";
    EXPECT_EQ(paths.GetPath(CAppPaths::USER_DATA), folder);
    struct stat info {};
    ASSERT_EQ(stat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 002, 0u);  // not writable by others: it holds the user's identity
    EXPECT_EQ(paths.GetPath(CAppPaths::PICTURES), GT::GetApplicationDirectory() + "/Script");
    EXPECT_EQ(paths.GetPath(CAppPaths::PROGRAM), "");
    EXPECT_EQ(paths.GetPath(7), "");
}

}  // namespace
