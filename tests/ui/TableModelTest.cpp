// Cell values, row order, the mapped resolvers and the list selections: the parts of the table that work
// without a window.
#include "general_tools/Enumerations.h"
#include "tests/ui/TableTestSupport.h"
#include "ui/CellValue.h"
#include "ui/ListSelection.h"
#include "ui/TableCellRenderers.h"
#include "ui/TableModel.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>

#include <limits>
#include <vector>

namespace {

using gbxtest::SongModel;
using gbxtest::SongRow;
using UL::CCellValue;

class CColour : public GT::CEnumeration<CColour> {
public:
    using GT::CEnumeration<CColour>::CEnumeration;
    static const GT::CStringTable& GetStringTable() {
        static const GT::CStringTable table({{1, "Red"}, {2, "Green"}, {7, "Blue"}}, {-1, ""});
        return table;
    }
};

// ---- cell values ----

TEST(CellValue, EachKindReadsBackAsItsOwnClassAndAsTheOthers) {
    const CColour blue(7);
    const std::string text = "borrowed";
    const int borrowedInt = -42;
    const struct {
        const char* name;
        CCellValue value;
        int mode;
        bool asBool;
        int asInt;
        long asLong;
        double asDouble;
        const char* asText;
    } cases[] = {
        {"true", CCellValue(true), 0, true, 1, 1, 1.0, ""},
        {"int", CCellValue(-7), 0, true, -7, -7, -7.0, ""},
        {"long", CCellValue(5000000000L), 0, true, std::numeric_limits<int>::max(), 5000000000L, 5e9, ""},
        {"double", CCellValue(1.5), 0, true, 1, 1, 1.5, ""},
        {"huge double", CCellValue(1e300), 0, true, std::numeric_limits<int>::max(), std::numeric_limits<long>::max(),
         1e300, ""},
        {"NaN", CCellValue(std::numeric_limits<double>::quiet_NaN()), 0, true, 0, 0, 0.0, ""},
        {"enumeration", CCellValue(blue), 0, true, 7, 7, 7.0, ""},
        {"text", CCellValue(std::string("12")), 2, false, 0, 0, 0.0, "12"},
        {"C text", CCellValue("abc"), 2, false, 0, 0, 0.0, "abc"},
        {"empty", CCellValue(), 2, false, 0, 0, 0.0, ""},
        {"borrowed text", CCellValue::Borrow(text), 3, false, 0, 0, 0.0, "borrowed"},
        {"borrowed int", CCellValue::Borrow(borrowedInt), 3, true, -42, -42, -42.0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.GetMode(), c.mode);
        EXPECT_EQ(c.value.GetBool(), c.asBool);
        EXPECT_EQ(c.value.GetInt(), c.asInt);
        EXPECT_EQ(c.value.GetLong(), c.asLong);
        if (std::string(c.name) != "NaN") {
            EXPECT_EQ(c.value.GetDouble(), c.asDouble);
        }
        EXPECT_EQ(c.value.GetString(), c.asText);
    }
}

TEST(CellValue, EnumerationValuesAreCopiesThatOutliveTheOriginal) {
    CCellValue copy;
    {
        const CColour green(2);
        const CCellValue cell(green);
        copy = cell;
    }
    ASSERT_NE(copy.GetEnumeration(), nullptr);
    EXPECT_EQ(copy.GetEnumeration()->ToString(), "Green");
    EXPECT_EQ(CCellValue(3).GetEnumeration(), nullptr);
    EXPECT_EQ(CCellValue("Red").GetEnumeration(), nullptr);
    const CColour red(1);
    EXPECT_EQ(CCellValue::Borrow(static_cast<const GT::IRangedNumber<int>&>(red)).GetEnumeration(), &red);
}

TEST(CellValue, BorrowedValuesFollowTheirObject) {
    double level = 0.25;
    const CCellValue cell = CCellValue::Borrow(level);
    level = 0.75;
    EXPECT_EQ(cell.GetDouble(), 0.75);
}

// ---- row order ----

std::vector<int> ViewOrder(const UL::ITableCellResolver& resolver, int rows) {
    std::vector<int> order;
    for (int view = 0; view < rows; ++view) order.push_back(resolver.ViewRowToModelRow(view));
    return order;
}

TEST(RowOrder, AnUnsortedResolverIsTheIdentityWithOneEntryMore) {
    SongModel model(gbxtest::MakeSongs(3));
    UL::CTableCellResolver resolver;
    resolver.Update(&model);
    for (int i = 0; i <= 3; ++i) {
        EXPECT_EQ(resolver.ViewRowToModelRow(i), i);
        EXPECT_EQ(resolver.ModelRowToViewRow(i), i);
    }
    EXPECT_EQ(resolver.ViewRowToModelRow(4), -1);
    EXPECT_EQ(resolver.ViewRowToModelRow(-1), -1);
    EXPECT_EQ(resolver.ModelRowToViewRow(-1), -1);
    EXPECT_EQ(resolver.ViewColumnToModelColumn(-5), -5);
}

TEST(RowOrder, SortsByUpperCasedTextThenExactTextThenNumberThenRow) {
    const std::vector<SongRow> rows = {
        {"beta", "the Band", 3, false},   // 0
        {"Alpha", "The Band", 9, true},   // 1
        {"alpha", "The Band", 2, false},  // 2
        {"Beta", "Zed", 1, false},        // 3
        {"alpha", "the Band", 3, true},   // 4
        {"Alpha", "The Band", 2, false},  // 5
    };
    const struct {
        int column;
        int clicks;
        std::vector<int> order;
    } cases[] = {
        // Title: ALPHA (Alpha 1, Alpha 5, alpha 2, alpha 4), then BETA (Beta 3, beta 0); equal texts by row.
        {SongModel::kTitle, 1, {1, 5, 2, 4, 3, 0}},
        {SongModel::kTitle, 2, {0, 3, 4, 2, 5, 1}},
        // Artist: THE BAND (The Band by number: 5 (2), 2 (2) -> by row: 2, 5; then 1 (9); the Band: 0 (3),
        // 4 (3) -> by row), then ZED.
        {SongModel::kArtist, 1, {2, 5, 1, 0, 4, 3}},
        {SongModel::kNumber, 1, {3, 2, 5, 0, 4, 1}},
        {SongModel::kProtect, 1, {0, 2, 3, 5, 1, 4}},
        {SongModel::kProtect, 3, {0, 2, 3, 5, 1, 4}},
    };
    SongModel model(rows);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "column " << c.column << ", " << c.clicks << " clicks");
        UL::CTableCellResolver resolver;
        for (int i = 0; i < c.clicks; ++i) resolver.SetSortColumn(c.column);
        resolver.Update(&model);
        EXPECT_EQ(ViewOrder(resolver, 6), c.order);
        EXPECT_EQ(resolver.ViewRowToModelRow(6), 6);
        for (int view = 0; view < 6; ++view) EXPECT_EQ(resolver.ModelRowToViewRow(c.order[size_t(view)]), view);
    }
}

// A model whose rows compare by a fixed rank, in any order the test gives.
class RankModel : public SongModel {
public:
    explicit RankModel(std::vector<int> rank) : SongModel(std::vector<SongRow>(rank.size())), m_rank(std::move(rank)) {}
    bool IsLess(int a, int b, int) const override { return m_rank[size_t(a)] < m_rank[size_t(b)]; }

private:
    std::vector<int> m_rank;
};

TEST(RowOrder, MapsBothWaysAfterASort) {
    RankModel model({1, 3, 4, 0, 2});  // sorted: 3, 0, 4, 1, 2
    UL::CTableCellResolver resolver;
    resolver.SetSortColumn(0);
    resolver.Update(&model);
    EXPECT_EQ(ViewOrder(resolver, 6), std::vector<int>({3, 0, 4, 1, 2, 5}));
    std::vector<int> back;
    for (int m = 0; m <= 5; ++m) back.push_back(resolver.ModelRowToViewRow(m));
    EXPECT_EQ(back, std::vector<int>({1, 3, 4, 0, 2, 5}));
}

TEST(RowOrder, SortColumnClicksToggleAndResetTheDirection) {
    RankModel model({1, 3, 4, 0, 2});
    UL::CTableCellResolver resolver;
    resolver.SetSortColumn(2);
    resolver.SetSortColumn(2);
    EXPECT_FALSE(resolver.IsAscending());
    resolver.Update(&model);
    EXPECT_EQ(ViewOrder(resolver, 5), std::vector<int>({2, 1, 4, 0, 3}));
    resolver.SetSortColumn(2);
    EXPECT_TRUE(resolver.IsAscending());
    resolver.SetSortColumn(2);
    resolver.SetSortColumn(1);
    EXPECT_TRUE(resolver.IsAscending());
    EXPECT_EQ(resolver.GetSortColumn(), 1);
    resolver.SetSortColumn(-1);
    resolver.Update(&model);
    EXPECT_EQ(ViewOrder(resolver, 5), std::vector<int>({0, 1, 2, 3, 4}));
}

// A comparison that is no strict order (true for equal rows) must not make the sort read past its rows.
class BrokenOrderModel : public SongModel {
public:
    using SongModel::SongModel;
    bool IsLess(int a, int b, int) const override { return (a * 7 + b) % 3 != 0 || a == b; }
};

TEST(RowOrder, AComparisonThatIsNoStrictOrderStillGivesAPermutation) {
    BrokenOrderModel model(std::vector<SongRow>(300));
    UL::CTableCellResolver resolver;
    resolver.SetSortColumn(0);
    resolver.Update(&model);
    std::vector<int> order = ViewOrder(resolver, 300);
    std::sort(order.begin(), order.end());
    for (int i = 0; i < 300; ++i) EXPECT_EQ(order[size_t(i)], i);
}

TEST(RowOrder, MapsDescribeTheModelAsItWasAtTheLastUpdate) {
    SongModel model(gbxtest::MakeSongs(3));
    UL::CTableCellResolver resolver;
    resolver.Update(&model);
    model.rows.resize(5);
    EXPECT_EQ(resolver.ViewRowToModelRow(4), -1);
    resolver.Update(&model);
    EXPECT_EQ(resolver.ViewRowToModelRow(4), 4);
}

// ---- mapped resolvers ----

TEST(MappedResolvers, LookUpTheCellThenItsColumnThenItsRow) {
    auto byColumn = boost::make_shared<UL::CStringTableCellRenderer>(0);
    auto byRow = boost::make_shared<UL::CStringTableCellRenderer>(0);
    auto byCell = boost::make_shared<UL::CStringTableCellRenderer>(0);
    UL::CMappedTableCellRendererResolver renderers;
    renderers.Add({-1, 2}, byColumn);
    renderers.Add({4, -1}, byRow);
    renderers.Add({1, 1}, byCell);
    renderers.Add({-1, 2}, boost::make_shared<UL::CStringTableCellRenderer>(0));  // a second entry is dropped
    EXPECT_EQ(renderers.Resolve(4, 2), byColumn.get());
    EXPECT_EQ(renderers.Resolve(4, 3), byRow.get());
    EXPECT_EQ(renderers.Resolve(1, 1), byCell.get());
    EXPECT_EQ(renderers.Resolve(0, 2), byColumn.get());
    EXPECT_EQ(renderers.Resolve(0, 0), nullptr);

    auto editor = boost::make_shared<gbxtest::RecordingEditor>();
    auto rowEditor = boost::make_shared<gbxtest::RecordingEditor>();
    UL::CMappedTableCellEditorResolver editors;
    editors.Add({-1, 2}, editor);
    editors.Add({4, -1}, rowEditor);
    EXPECT_EQ(editors.Resolve(4, 2), editor.get());
    EXPECT_EQ(editors.Resolve(4, 3), nullptr) << "row keys are not the editor resolver's";
}

// ---- selections ----

TEST(ListSelection, RangesAndExclusiveChanges) {
    UL::CListSelection s;
    s.SetSize(5);
    s.SetRange(1, 3, true, true);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({1, 2}));
    s.SetRange(1, 3, false, true);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({0, 3, 4}));
    s.SetAll(false);
    s.SetOne(2, true, false);
    s.SetOne(4, true, false);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({2, 4}));
    EXPECT_EQ(s.GetLead(), -1) << "the lead never follows the bits";
}

TEST(ListSelection, SetSelectedCountsDuplicatesAndSizeKeepsWhatStillExists) {
    UL::CListSelection s;
    s.SetSize(5);
    EXPECT_EQ(s.SetSelected({2, 2, 4}), 3);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({2, 4}));
    s.SetSelected({3, 4});
    s.SetLead(4);
    s.SetSize(3);
    EXPECT_TRUE(s.GetSelected().empty());
    EXPECT_EQ(s.GetLead(), 4) << "the table, not the selection, resets a lead past the size";
    s.SetSize(5);
    EXPECT_TRUE(s.GetSelected().empty());
}

TEST(ListSelection, IndicesOutsideTheSizeAreRefused) {
    UL::CListSelection s;
    s.SetSize(4);
    EXPECT_EQ(s.SetSelected({-1, 1, 4, 100}), 1);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({1}));
    s.SetOne(9, true, false);
    s.SetOne(-3, true, false);
    s.SetOne(std::numeric_limits<int>::max(), true, false);
    s.SetOne(std::numeric_limits<int>::min(), true, false);
    s.SetRange(-2, 99, true, false);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({0, 1, 2, 3}));
    EXPECT_FALSE(s.IsSelected(4));
    EXPECT_FALSE(s.IsSelected(-1));
    s.SetLead(-7);
    EXPECT_EQ(s.GetLead(), -1);
}

TEST(ListSelection, ASingleSelectionKeepsOneRange) {
    UL::CListSingleSelection s;
    s.SetSize(6);
    s.SetSelected({1, 2});
    s.SetOne(4, true, false);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({4}));
    s.SetRange(1, 3, true, false);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({1, 2}));
    s.SetOne(2, false, false);
    EXPECT_EQ(s.GetSelected(), std::vector<int>({1}));
    const boost::shared_ptr<UL::IListSelection> empty = s.CreateEmpty();
    empty->SetSize(3);
    empty->SetOne(0, true, false);
    empty->SetOne(2, true, false);
    EXPECT_EQ(empty->GetSelected(), std::vector<int>({2})) << "a copy follows the same rule";
}

}  // namespace
