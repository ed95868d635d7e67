// The song table over the shown tab's list: its columns on each tab (view columns apart from the
// song's fields), headers and type texts, the row order the main view sorts by, and edits with the
// card's limit of names; the protect flag set on many selected rows of a sorted table through the
// table's own editor.
#include "app/shell/SongTableModel.h"

#include "platform/window/Application.h"
#include "platform/window/Window.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/ListDriver.h"
#include "tests/support/WidgetDriver.h"
#include "ui/TableCellEditors.h"
#include "ui/TableControl.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <boost/make_shared.hpp>

#include <memory>
#include <string>
#include <vector>

namespace {

using cardtest::AddSong;
using cardtest::CCardEnvironment;

const char kTooManyNames[] = "Exceeded the maximum number of albums or artists that can be stored on the unit.";

class SongTableModelTest : public ::testing::Test {
protected:
    void TearDown() override { CDocumentModel::GetInstance().SetShownTab(CDocumentModel::TAB_SONG); }

    static void ShowTab(int tab) { CDocumentModel::GetInstance().SetShownTab(tab); }
    // A song in the Songs list.
    CSongX* Song(const std::string& title, const std::string& artist = "", const std::string& album = "",
                 int number = 0, const std::string& extension = ".WAV") {
        CSongX* song = AddSong(document, extension, title, artist, album, number);
        document.MoveToSongs(song);
        document.ClearChanges();
        return song;
    }
    // The model rows in the order the main view's resolver sorts them by a view column.
    std::vector<int> SortedBy(int viewColumn) {
        CSongTableCellResolver resolver;
        resolver.SetSortColumn(viewColumn);
        resolver.Update(&model);
        std::vector<int> rows;
        for (int view = 0; view < model.GetRowCount(); ++view) rows.push_back(resolver.ViewRowToModelRow(view));
        return rows;
    }

    CCardEnvironment environment;
    CDocX& document = CCardEnvironment::Document();
    CSongTableModel model;
};

TEST_F(SongTableModelTest, ColumnsAndHeadersByTab) {
    struct Case {
        int tab;
        std::vector<std::string> headers;
        std::vector<int> modelColumns;  // of the view columns 0 to 5 and -1
        std::vector<int> viewColumns;   // of the model columns 0 to 5 and -1
    } cases[] = {
        {CDocumentModel::TAB_SONG,
         {"Song Name", "Artist", "Album", "Type", "Protect"},
         {0, 1, 2, 3, 4, 5, 5},
         {0, 1, 2, 3, 4, 5, 5}},
        {CDocumentModel::TAB_RHYTHM, {"Rhythm Name", "Type", "Protect"}, {0, 3, 4, 3, 3, 3, 3}, {0, 3, 3, 1, 2, 3, 3}},
        {CDocumentModel::TAB_USER, {"Song Name", "Type", "Protect"}, {0, 3, 4, 3, 3, 3, 3}, {0, 3, 3, 1, 2, 3, 3}},
        // Any other tab counts as the Song tab.
        {7, {"Song Name", "Artist", "Album", "Type", "Protect"}, {0, 1, 2, 3, 4, 5, 5}, {0, 1, 2, 3, 4, 5, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("tab " + std::to_string(c.tab));
        ShowTab(c.tab);
        ASSERT_EQ(model.GetColumnCount(), static_cast<int>(c.headers.size()));
        for (int column = 0; column < model.GetColumnCount(); ++column)
            EXPECT_EQ(model.GetColumnName(column), c.headers[size_t(column)]) << column;
        std::vector<int> toModel, toView;
        for (int column : {0, 1, 2, 3, 4, 5, -1}) {
            toModel.push_back(CSongTableModel::MapViewColumn(column));
            toView.push_back(CSongTableModel::MapModelColumn(column));
        }
        EXPECT_EQ(toModel, c.modelColumns);
        EXPECT_EQ(toView, c.viewColumns);
        for (int column = 0; column < model.GetColumnCount(); ++column) EXPECT_FALSE(model.IsColumnSortable(column));
    }
    EXPECT_EQ(CSongTableModel::MapModelColumn(CDocumentModel::TAB_RHYTHM, CSongTableModel::ARTIST), 3);
    EXPECT_EQ(CSongTableModel::MapViewColumn(CDocumentModel::TAB_USER, 1), CSongTableModel::TYPE);
}

TEST_F(SongTableModelTest, CellsOfEachTab) {
    CSongX* wav = Song("Walk", "Ann", "One", 3, ".WAV");
    Song("Mix", "Bob", "Two", 0, ".MP3");
    Song("Code", "Cy", "Three", 0, ".Q3R");
    CSongX* other = Song("Old", "", "", 0, ".AIF");
    CSongX* rhythm = AddSong(document, ".WAV", "Beat");
    document.MoveToRhythm(rhythm);
    rhythm->SetProtected(true);

    ShowTab(CDocumentModel::TAB_SONG);
    ASSERT_EQ(model.GetRowCount(), 4);
    EXPECT_EQ(model.GetValueAt(0, 0).GetString(), "Walk");
    EXPECT_EQ(model.GetValueAt(0, 1).GetString(), "Ann");
    EXPECT_EQ(model.GetValueAt(0, 2).GetString(), "One");
    EXPECT_EQ(model.GetValueAt(0, 4).GetMode(), UL::CCellValue::kInline);
    EXPECT_FALSE(model.GetValueAt(0, 4).GetBool());
    std::vector<std::string> types;
    for (int row = 0; row < 4; ++row) types.push_back(model.GetValueAt(row, 3).GetString());
    EXPECT_EQ(types, (std::vector<std::string>{"WAV", "MP3", "Gigbox", "UNKNOWN"}));
    EXPECT_EQ(other->GetFileType(), kSongFileAiff);
    for (int type : {0, 5, -1}) EXPECT_EQ(CSongTableModel::GetTypeText(type), "UNKNOWN");
    // Outside the list and the columns: an empty text.
    for (const auto& cell : std::vector<std::pair<int, int>>{{4, 0}, {-1, 0}, {0, 5}, {0, -1}}) {
        EXPECT_EQ(model.GetValueAt(cell.first, cell.second).GetMode(), UL::CCellValue::kText);
        EXPECT_EQ(model.GetValueAt(cell.first, cell.second).GetString(), "");
    }
    const std::vector<const std::type_info*> songClasses = {&typeid(std::string), &typeid(std::string),
                                                            &typeid(std::string), &typeid(std::string),
                                                            &typeid(bool),        &typeid(void)};
    for (int column = 0; column <= 5; ++column) {
        EXPECT_EQ(model.GetValueClass(0, column), *songClasses[size_t(column)]) << column;
        EXPECT_EQ(model.IsCellEditable(0, column), column != 3 && column != 5) << column;
    }
    EXPECT_EQ(model.GetValueDescription(0, 0), nullptr);

    // The User tab is empty; the Rhythm tab shows its one song in three columns.
    ShowTab(CDocumentModel::TAB_USER);
    EXPECT_EQ(model.GetRowCount(), 0);
    ShowTab(CDocumentModel::TAB_RHYTHM);
    ASSERT_EQ(model.GetRowCount(), 1);
    EXPECT_EQ(model.GetValueAt(0, 0).GetString(), "Beat");
    EXPECT_EQ(model.GetValueAt(0, 1).GetString(), "WAV");
    EXPECT_TRUE(model.GetValueAt(0, 2).GetBool());
    EXPECT_EQ(model.GetValueClass(0, 1), typeid(std::string));
    EXPECT_EQ(model.GetValueClass(0, 2), typeid(bool));
    EXPECT_TRUE(model.IsCellEditable(0, 0));
    EXPECT_FALSE(model.IsCellEditable(0, 1));
    EXPECT_TRUE(model.IsCellEditable(0, 2));
    // Writing the Rhythm tab's view column 2 sets the protect flag, never an artist.
    model.SetValueAt(UL::CCellValue(false), 0, 2);
    EXPECT_FALSE(rhythm->IsProtected());
    EXPECT_EQ(rhythm->GetArtist(), "~RHYTHM");
    model.SetValueAt(UL::CCellValue(std::string("ignored")), 0, 1);
    EXPECT_EQ(rhythm->GetArtist(), "~RHYTHM");
    EXPECT_EQ(wav->GetArtist(), "Ann");
}

TEST_F(SongTableModelTest, RowsSortAsTheMainViewSortsThem) {
    Song("beta", "the band", "Y", 2);   // 0
    Song("Alpha", "The Band", "x", 5);  // 1
    Song("alpha", "The Band", "X", 1);  // 2
    Song("Gamma", "Solo", "", 0);       // 3
    Song("Alpha", "The Band", "X", 1);  // 4: the same as row 2 but for the title's case
    Song("Alpha", "The Band", "X", 1);  // 5: equal to 4 in every key
    document.GetSong(3)->SetProtected(true);
    document.GetSong(0)->SetFileType(kSongFileMp3);
    ShowTab(CDocumentModel::TAB_SONG);
    // Artists differing only in case sort together, upper-case first; then album (upper-cased,
    // then exact), number, row.
    EXPECT_EQ(SortedBy(1), (std::vector<int>{3, 2, 4, 5, 1, 0}));
    // Names: upper-cased, then exact ("Alpha" before "alpha"), equal names in list order.
    EXPECT_EQ(SortedBy(0), (std::vector<int>{1, 4, 5, 2, 0, 3}));
    // Albums: "" first; X before x; then the number.
    EXPECT_EQ(SortedBy(2), (std::vector<int>{3, 2, 4, 5, 1, 0}));
    EXPECT_EQ(SortedBy(3), (std::vector<int>{1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(SortedBy(4), (std::vector<int>{0, 1, 2, 4, 5, 3}));
    EXPECT_EQ(SortedBy(9), (std::vector<int>{0, 1, 2, 3, 4, 5}));
    // A strict order.
    for (int column = 0; column < 5; ++column)
        for (int row = 0; row < 6; ++row) EXPECT_FALSE(model.IsLess(row, row, column));
    EXPECT_TRUE(model.IsLess(0, 7, 0));
    EXPECT_FALSE(model.IsLess(7, 0, 0));

    // The main view's resolver never reverses.
    CSongTableCellResolver resolver;
    resolver.SetSortColumn(1);
    resolver.SetSortColumn(1);
    EXPECT_EQ(resolver.GetSortColumn(), 1);
    EXPECT_TRUE(resolver.IsAscending());
    resolver.Update(&model);
    EXPECT_EQ(resolver.ViewRowToModelRow(0), 3);

    // On the Rhythm tab, view column 1 is the type.
    for (CSongX* song : {document.GetSong(0).get(), document.GetSong(3).get()}) document.MoveToRhythm(song);
    ShowTab(CDocumentModel::TAB_RHYTHM);
    EXPECT_EQ(SortedBy(1), (std::vector<int>{1, 0}));
    EXPECT_EQ(SortedBy(2), (std::vector<int>{0, 1}));

    // Bytes compare unsigned: a UTF-8 name comes after every ASCII letter.
    for (const char* title : {"\xC3\xA9t\xC3\xA9", "zed", "Zed"}) document.MoveToUser(AddSong(document, ".WAV", title));
    ShowTab(CDocumentModel::TAB_USER);
    EXPECT_EQ(SortedBy(0), (std::vector<int>{2, 1, 0}));
}

TEST_F(SongTableModelTest, NamesAreEditedAsTheSongsIconFilesKeepThem) {
    CSongX* song = Song("Name", "Ann", "One");
    ShowTab(CDocumentModel::TAB_SONG);
    // The same name marks nothing.
    model.SetValueAt(UL::CCellValue(std::string("Name")), 0, 0);
    EXPECT_FALSE(document.NeedsSaving());
    // A new name marks the song for its icon file; the database itself is not changed.
    model.SetValueAt(UL::CCellValue(std::string("New Name")), 0, 0);
    EXPECT_EQ(song->GetTitle(), "New Name");
    EXPECT_EQ(document.GetChangedSongs().count(song), 1u);
    EXPECT_EQ(document.GetModified(), 0);
    // Cut to 255 characters; a text that differs only past them changes nothing.
    const std::string longName(300, 'n');
    model.SetValueAt(UL::CCellValue(longName), 0, 0);
    EXPECT_EQ(song->GetTitle(), std::string(255, 'n'));
    document.ClearChanges();
    model.SetValueAt(UL::CCellValue(longName + "more"), 0, 0);
    EXPECT_FALSE(document.NeedsSaving());
    // Rows outside the list change nothing.
    model.SetValueAt(UL::CCellValue(std::string("x")), 1, 0);
    model.SetValueAt(UL::CCellValue(std::string("x")), -1, 0);
    EXPECT_FALSE(document.NeedsSaving());
    // The type is not edited.
    model.SetValueAt(UL::CCellValue(std::string("MP3")), 0, 3);
    EXPECT_EQ(song->GetFileType(), kSongFileWav);
    EXPECT_FALSE(document.NeedsSaving());
}

// The card keeps 256 bytes of each name: a longer edit is cut where it is committed, at a whole
// character, so the cell shows what the card will hold (85 three-byte characters, not 86).
TEST_F(SongTableModelTest, EditedTextsAreCutToTheCardsFieldAtAWholeCharacter) {
    std::string kana;
    for (int i = 0; i < 100; ++i) kana += "\xE3\x81\x82";  // U+3042
    const struct {
        std::string text;
        size_t keptBytes;
    } texts[] = {{kana, 85 * 3}, {"a" + kana, 1 + 85 * 3}, {"ab" + kana, 2 + 84 * 3}, {std::string(300, 'n'), 255}};
    for (int column = 0; column < 3; ++column) {
        for (const auto& t : texts) {
            SCOPED_TRACE(::testing::Message() << "column " << column << ", " << t.keptBytes << " bytes");
            CSongX* song = Song("Name", "Ann", "One");
            const int row = int(document.GetList(CDocX::LIST_SONGS).size()) - 1;
            model.SetValueAt(UL::CCellValue(t.text), row, column);
            const std::string expected = t.text.substr(0, t.keptBytes);
            EXPECT_EQ(model.GetValueAt(row, column).GetString(), expected);
            const std::string& field = column == 0   ? song->GetTitle()
                                       : column == 1 ? song->GetArtist()
                                                     : song->GetAlbum();
            EXPECT_EQ(field, expected);
            // Committing the shown text again is no change.
            document.ClearChanges();
            model.SetValueAt(UL::CCellValue(expected), row, column);
            EXPECT_FALSE(document.NeedsSaving());
        }
    }
}

TEST_F(SongTableModelTest, ArtistsAndAlbumsStayWithinTheCardsNames) {
    // 998 songs of their own album and artist, two that share theirs and one of "A" and "Shared":
    // 2000 names.
    for (int i = 0; i < 998; ++i) Song("Song", "Artist " + std::to_string(i), "Album " + std::to_string(i));
    Song("Pair", "Pair Artist", "Pair Album");
    Song("Pair", "Pair Artist", "Pair Album");
    CSongX* last = Song("Last", "A", "Shared");
    ASSERT_TRUE(document.CheckAlbumArtistLimit({}, {}, {}, {}));
    ASSERT_FALSE(document.CheckAlbumArtistLimit({}, {"one more"}, {}, {}));
    ShowTab(CDocumentModel::TAB_SONG);
    const int pair = 998, lastRow = 1000;
    struct Case {
        const char* name;
        int row;
        int column;
        std::string text;
        bool takes;
    } cases[] = {
        {"the only song of A renamed to B: A is taken away", lastRow, 1, "B", true},
        {"a new artist for a song whose artist stays on the card", pair, 1, "Newcomer", false},
        {"an artist that is on the card", pair, 1, "B", true},
        {"the only song of Shared gets a new album", lastRow, 2, "Renamed", true},
        {"a new album for a song whose album stays on the card", pair + 1, 2, "Fresh", false},
        {"an album that is on the card", pair + 1, 2, "Renamed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        environment.textDialog.shown.clear();
        document.ClearChanges();
        CSongX* song = document.GetList(CDocX::LIST_SONGS)[size_t(c.row)].song;
        const std::string before = c.column == 1 ? song->GetArtist() : song->GetAlbum();
        model.SetValueAt(UL::CCellValue(c.text), c.row, c.column);
        const std::string after = c.column == 1 ? song->GetArtist() : song->GetAlbum();
        EXPECT_EQ(after, c.takes ? c.text : before);
        EXPECT_EQ(document.GetModified(), c.takes ? 1 : 0);
        EXPECT_TRUE(document.GetChangedSongs().empty()) << "the icon file carries neither";
        EXPECT_EQ(environment.textDialog.Texts(),
                  c.takes ? std::vector<std::string>() : std::vector<std::string>{kTooManyNames});
    }
    EXPECT_EQ(last->GetArtist(), "B");
}

// The protect flag chosen in the table's own boolean editor goes into every selected row, also
// when the table is sorted and its rows are not the list's.
class SongTableWindowTest : public SongTableModelTest {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        for (int i = 0; i < 40; ++i) Song("Song " + std::to_string(i), i % 2 ? "Odd" : "Even", "", i);
        window = std::make_unique<platform::Window>();
        window->SetClientSize(platform::Size{600, 400});
        resolver = boost::make_shared<CSongTableCellResolver>();
        resolver->SetSortColumn(1);  // by artist: the evens first
        editors = boost::make_shared<UL::CMappedTableCellEditorResolver>();
        editors->Add({-1, 4}, boost::make_shared<UL::CBooleanTableCellEditor>("Off", "On", false));
        table = std::make_unique<UL::CTableControl>();
        table->SetModel(songs);
        table->SetCellResolver(resolver);
        table->SetEditorResolver(editors);
        ASSERT_TRUE(table->Create(*window, 100, platform::Rect{0, 0, 600, 400}));
        table->Refresh();
        window->Show();
        window->Activate();
        table->SetFocus();
        ASSERT_TRUE(gbxtest::PumpUntil([&] { return table->HasFocus(); }));
    }
    void TearDown() override {
        table.reset();
        window.reset();
        SongTableModelTest::TearDown();
    }
    platform::ReportList& List() { return *table->GetList(); }
    void ClickCell(int row, int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                   Qt::MouseButton button = Qt::LeftButton) {
        table->EnsureRowVisible(row, 0);
        gbxtest::Click(List(), gbxtest::CellCentre(List(), row, column), button, modifiers);
    }

    std::unique_ptr<platform::Window> window;
    boost::shared_ptr<CSongTableModel> songs = boost::make_shared<CSongTableModel>();
    boost::shared_ptr<CSongTableCellResolver> resolver;
    boost::shared_ptr<UL::CMappedTableCellEditorResolver> editors;
    std::unique_ptr<UL::CTableControl> table;
};

TEST_F(SongTableWindowTest, TheProtectFlagGoesIntoEverySelectedRow) {
    // View rows 18 to 22: the last two "Even" songs and the first three "Odd" ones.
    ClickCell(18, 4);
    ClickCell(22, 4, Qt::ShiftModifier);
    std::vector<int> selected = table->GetSelection()->GetSelected();
    ASSERT_EQ(selected, (std::vector<int>{1, 3, 5, 36, 38}));
    ClickCell(20, 4, Qt::NoModifier, Qt::RightButton);
    ASSERT_NE(table->GetActiveEditor(), nullptr);
    gbxtest::PressKey(window->Widget(), Qt::Key_Down);  // "On"
    gbxtest::PressKey(window->Widget(), Qt::Key_Return);
    ASSERT_TRUE(gbxtest::PumpUntil([&] { return table->GetActiveEditor() == nullptr; }));
    std::vector<int> protectedRows;
    const CSongList& list = document.GetList(CDocX::LIST_SONGS);
    for (size_t row = 0; row < list.size(); ++row)
        if (list[row].song->IsProtected()) protectedRows.push_back(static_cast<int>(row));
    EXPECT_EQ(protectedRows, selected);
    EXPECT_EQ(document.GetChangedSongs().size(), selected.size());
    EXPECT_EQ(document.GetModified(), 0);
}

}  // namespace
