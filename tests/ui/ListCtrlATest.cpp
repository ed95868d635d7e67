// Column widths kept in the settings, and the work a table does when it or its window goes.
#include "general_tools/Profile.h"
#include "platform/system/IniProfileStore.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/TableTestSupport.h"
#include "ui/ListCtrlA.h"
#include "ui/Popup.h"

#include <gtest/gtest.h>

#include <QHeaderView>

#include <boost/make_shared.hpp>

#include <memory>
#include <string>
#include <vector>

namespace {

using gbxtest::SongModel;

// Settings in a temporary folder for each test.
class SettingsScope {
public:
    SettingsScope() : m_config("XDG_CONFIG_HOME", m_dir.Path()), m_oldPath(platform::GetAppProfile().GetPath()) {
        platform::GetAppProfile().SetPath(m_dir.File("Corvane/Gigbox Setlister.ini"));
    }
    ~SettingsScope() { platform::GetAppProfile().SetPath(m_oldPath); }

private:
    gbxtest::TempDir m_dir;
    gbxtest::ScopedEnvironment m_config;
    std::string m_oldPath;
};

class ListCtrlATest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        window = std::make_unique<platform::Window>();
        window->SetClientSize(platform::Size{600, 300});
        model = boost::make_shared<SongModel>(gbxtest::MakeSongs(12));
        model->rows[4].artist = "An artist whose name is long";
        table = std::make_unique<CListCtrlA>();
        table->SetModel(model);
        ASSERT_TRUE(table->Create(*window, 4295, platform::Rect{0, 0, 600, 300}));
        window->Show();
    }

    // What each automatic width gives for a column of this table.
    int HeaderFit(int column) {
        auto* header = static_cast<QHeaderView*>(table->GetList()->HeaderWidget());
        return header->sectionSizeHint(column);
    }
    int ContentsFit(int column) {
        int widest = 0;
        for (const gbxtest::SongRow& row : model->rows) {
            const std::string text = column == SongModel::kArtist   ? row.artist
                                     : column == SongModel::kTitle  ? row.title
                                     : column == SongModel::kNumber ? std::to_string(row.number)
                                                                    : (row.protect ? "true" : "false");
            widest = std::max(widest, table->GetStringWidth(text + "  "));
        }
        return widest;
    }
    // The columns' own widths (the last one may be shown wider, filling the table).
    std::vector<int> Widths() {
        std::vector<int> widths;
        for (int c = 0; c < table->GetColumnCount(); ++c) widths.push_back(table->GetColumnGivenWidth(c));
        return widths;
    }

    SettingsScope settings;
    std::unique_ptr<platform::Window> window;
    boost::shared_ptr<SongModel> model;
    std::unique_ptr<CListCtrlA> table;
};

constexpr int kHeader = -2;
constexpr int kContents = -1;

TEST_F(ListCtrlATest, StoredWidthsOverTheDefaultsAndAutomaticWidthsWhenTheColumnsAreMade) {
    const struct {
        const char* stored;
        std::vector<int> defaults;
        std::vector<int> expected;  // pixels, or kHeader / kContents for what those give
    } cases[] = {
        {"", {kHeader, kHeader, kHeader, kHeader}, {kHeader, kHeader, kHeader, kHeader}},
        {"120,80", {kHeader, kHeader, kHeader, kHeader}, {120, 80, kHeader, kHeader}},
        {"100,,50", {kHeader, kHeader, kHeader, kHeader}, {100, 50, kHeader, kHeader}},
        {"abc,70", {kHeader, 30, 30, 30}, {kHeader, 70, 30, 30}},
        // Widths that are not positive are no widths: the defaults stay.
        {"-5,-1,-2,0", {40, 40, 40, 40}, {40, 40, 40, 40}},
        {"-1,-1,-1,-1,-1", {kHeader, kHeader, kHeader, kHeader}, {kHeader, kHeader, kHeader, kHeader}},
        {"30,40,50,60,70", {}, {30, 40, 50, 60}},
        {"55", {}, {55, kContents, kContents, kContents}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(GT::WriteAppProfileString("SongTableControl", "ColumnWidth", c.stored));
        // As the main view does it: settings first, then the table reads its model.
        model->columns = 0;
        table->Refresh();
        model->columns = 4;
        table->SetColumnWidthSettings("SongTableControl", "ColumnWidth", c.defaults);
        table->Refresh();
        std::vector<int> expected;
        for (int column = 0; column < 4; ++column) {
            const int e = c.expected[size_t(column)];
            expected.push_back(e == kHeader ? HeaderFit(column) : e == kContents ? ContentsFit(column) : e);
        }
        EXPECT_EQ(Widths(), expected);
    }
}

TEST_F(ListCtrlATest, LoadingAppliesToTheColumnsThereAre) {
    table->Refresh();
    ASSERT_TRUE(GT::WriteAppProfileString("RhythmTableControl", "ColumnWidth", "90,91,92,93"));
    table->SetColumnWidthSettings("RhythmTableControl", "ColumnWidth", {kHeader, kHeader, kHeader});
    EXPECT_EQ(Widths(), std::vector<int>({90, 91, 92, 93}));
}

TEST_F(ListCtrlATest, SavingWritesThePixelWidths) {
    table->SetColumnWidthSettings("SongTableControl", "ColumnWidth", {kHeader, kHeader, kHeader, kHeader});
    table->Refresh();
    const std::vector<int> widths = {120, 80, 64, 33};
    for (int c = 0; c < 4; ++c) table->GetList()->SetColumnWidth(c, widths[size_t(c)]);
    table->SaveColumnWidths();
    EXPECT_EQ(platform::GetProfileString("SongTableControl", "ColumnWidth", "<none>"), "120,80,64,33");

    table->SetColumnWidth(1, kContents);
    table->SetColumnWidth(2, kHeader);
    table->SaveColumnWidths();
    EXPECT_EQ(platform::GetProfileString("SongTableControl", "ColumnWidth", "<none>"),
              GT::FormatString("120,%d,%d,33", ContentsFit(1), HeaderFit(2)))
        << "automatic widths are saved as the pixels they gave";
}

TEST_F(ListCtrlATest, TheLastColumnFillsTheTableAfterItGrowsAndIsStoredAtItsOwnWidth) {
    table->SetColumnWidthSettings("SongTableControl", "ColumnWidth", {kHeader, kHeader, kHeader, kHeader});
    table->Refresh();
    const auto fills = [&] {
        return table->GetList()->ColumnLeft(3) + table->GetColumnWidth(3) == table->GetList()->ClientSize().width;
    };
    EXPECT_TRUE(fills());
    window->SetClientSize(platform::Size{900, 300});
    table->GetList()->SetRect(platform::Rect{0, 0, 900, 300});
    EXPECT_TRUE(gbxtest::PumpUntil(fills)) << "the header spans the grown table";
    table->SaveColumnWidths();
    EXPECT_EQ(platform::GetProfileString("SongTableControl", "ColumnWidth", "<none>"),
              GT::FormatString("%d,%d,%d,%d", HeaderFit(0), HeaderFit(1), HeaderFit(2), HeaderFit(3)))
        << "not the width the last column takes to fill the table";
}

TEST_F(ListCtrlATest, ATableWithoutColumnsLeavesTheStoredWidthsAlone) {
    ASSERT_TRUE(GT::WriteAppProfileString("QueryTableControl", "ColumnWidth", "200"));
    table->SetColumnWidthSettings("QueryTableControl", "ColumnWidth", {kHeader});
    table.reset();
    EXPECT_EQ(platform::GetProfileString("QueryTableControl", "ColumnWidth", "<none>"), "200");
}

// ---- what happens when the table goes ----

// A dialog-like owner that listens to its table's editors and logs what it hears, with its own state
// read in the callback so that a dead owner would show.
struct OwnerLog {
    std::vector<std::string> lines;
};

class Owner : public UL::ICellEditorEventListener {
public:
    explicit Owner(OwnerLog& log) : m_log(log) {}
    ~Owner() override { m_name.clear(); }
    void OnEditingStarted(const UL::CCellEditorEvent&) override { m_log.lines.push_back(m_name + " started"); }
    void OnEditingStopped(const UL::CCellEditorEvent&) override { m_log.lines.push_back(m_name + " stopped"); }
    void OnEditingCancelled(const UL::CCellEditorEvent& e) override {
        const bool tableAlive = boost::any_cast<UL::CTableControl*>(e.GetSource())->GetModel() != nullptr;
        m_log.lines.push_back(m_name + " cancelled" + (tableAlive ? "" : " by a dead table"));
    }

protected:
    OwnerLog& m_log;
    std::string m_name = "owner";
};

// Members in the orders a dialog may hold them: its window declared before its table (the table goes
// first) or after it (the window goes first).
template <bool TableGoesFirst>
class DialogOwner : public Owner {
public:
    // With the library's own editors, or with a recording one for texts.
    explicit DialogOwner(OwnerLog& log, bool libraryEditors = false) : Owner(log) {
        (TableGoesFirst ? m_windowBefore : m_windowAfter) = std::make_unique<platform::Window>();
        platform::Window& window = TableGoesFirst ? *m_windowBefore : *m_windowAfter;
        model = boost::make_shared<SongModel>(gbxtest::MakeSongs(5));
        editor = boost::make_shared<gbxtest::RecordingEditor>();
        m_table.SetModel(model);
        if (!libraryEditors) m_table.SetDefaultEditor(typeid(std::string), editor);
        m_table.AddCellEditorEventListener(this);
        m_table.SetColumnWidthSettings("TrackTableControl", "ColumnWidth", {70, 71, 72, 73});
        m_table.Create(window, 4311, platform::Rect{0, 0, 400, 200});
        m_table.Refresh();
        m_table.GetSelection()->SetSelected({1});
        m_table.GetColumnSelection()->SetLead(0);
        m_table.GetList()->SetColumnWidth(0, 99);
    }
    // Opens the editor on row 1.
    void StartEditing() {
        m_table.GetSelection()->SetLead(1);
        m_table.GetEditor(1, 0)->StartByKey(&m_table, 1, 0,
                                            UL::CKeyInfo{UL::CKeyInfo::kKeyDown, platform::kKeyEnter, 0});
    }
    void DestroyWindow() {
        m_windowBefore.reset();
        m_windowAfter.reset();
    }

    boost::shared_ptr<SongModel> model;
    boost::shared_ptr<gbxtest::RecordingEditor> editor;

private:
    std::unique_ptr<platform::Window> m_windowBefore;
    CListCtrlA m_table;
    std::unique_ptr<platform::Window> m_windowAfter;
};

class TeardownTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
    }
    static std::string Stored() { return platform::GetProfileString("TrackTableControl", "ColumnWidth", "<none>"); }
    SettingsScope settings;
    OwnerLog log;
};

TEST_F(TeardownTest, TheWindowGoingFirstSavesTheWidthsAndCancelsTheEditWhileTheOwnerListens) {
    DialogOwner<false> owner(log);
    owner.StartEditing();
    owner.DestroyWindow();
    EXPECT_EQ(Stored(), "99,71,72,73");
    EXPECT_EQ(log.lines, std::vector<std::string>({"owner started", "owner cancelled"}));
    EXPECT_EQ(owner.editor->calls.back(), "CancelEditing");
}

TEST_F(TeardownTest, AnOwnerWhoseWindowMemberGoesBeforeItsTable) {
    {
        DialogOwner<false> owner(log);
        owner.StartEditing();
    }
    EXPECT_EQ(Stored(), "99,71,72,73");
    EXPECT_EQ(log.lines, std::vector<std::string>({"owner started", "owner cancelled"}));
}

TEST_F(TeardownTest, AnOwnerWhoseTableMemberGoesBeforeItsWindow) {
    boost::shared_ptr<gbxtest::RecordingEditor> editor;
    {
        DialogOwner<true> owner(log);
        owner.StartEditing();
        editor = owner.editor;
    }
    EXPECT_EQ(Stored(), "99,71,72,73");
    EXPECT_EQ(log.lines, std::vector<std::string>({"owner started", "owner cancelled"}));
    EXPECT_EQ(editor->calls.back(), "CancelEditing");
}

// The library's text editor open over a cell: its popup goes, and the owner hears of the cancel, whichever
// of window and table goes first; nothing is written.
TEST_F(TeardownTest, AnOpenEditorOfTheLibraryIsCancelledWhileTheTableAndItsOwnerExist) {
    boost::shared_ptr<SongModel> model;
    {
        DialogOwner<false> owner(log, true);
        owner.StartEditing();
        ASSERT_TRUE(UL::CMouseHookManager::GetInstance().IsHookInstalled()) << "the popup is open";
        model = owner.model;
    }
    {
        DialogOwner<true> owner(log, true);
        owner.StartEditing();
        ASSERT_TRUE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    }
    {
        DialogOwner<false> owner(log, true);
        owner.StartEditing();
        owner.DestroyWindow();
        EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    }
    EXPECT_EQ(log.lines, std::vector<std::string>({"owner started", "owner cancelled", "owner started",
                                                   "owner cancelled", "owner started", "owner cancelled"}));
    EXPECT_FALSE(UL::CMouseHookManager::GetInstance().IsHookInstalled());
    EXPECT_TRUE(model->writes.empty());
    for (int i = 0; i < 5; ++i) platform::ProcessEvents();
}

}  // namespace
