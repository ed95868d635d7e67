#include "sound/model/EntityCollection.h"
#include "tests/sound/model/SelectionNotation.h"

#include <gtest/gtest.h>

namespace {

using SL::CEntityCollection;
using sltest::Dump;
using sltest::Selection;

TEST(EntityCollectionTest, DefaultIsRootOnlyAndEqualsTheProcessWideOne) {
    const CEntityCollection collection;
    EXPECT_EQ(collection.NodeCount(), 1);
    EXPECT_EQ(Dump(collection), "");
    EXPECT_TRUE(collection == SL::GetRootOnlyCollection());
    EXPECT_EQ(&SL::GetRootOnlyCollection(), &SL::GetRootOnlyCollection());
    const auto& root = collection.GetRoot().value;
    EXPECT_EQ(root.kind, -1);
    EXPECT_EQ(root.id, -2);
    EXPECT_EQ(root.mask, 0);
    EXPECT_EQ(Dump(collection.Intersect(Selection("1:-1:0 > 2:0:0x10 | 2:0:0"))), "");
    EXPECT_EQ(Dump(Selection("1:-1:0 | 2:0:0").Intersect(collection)), "");
}

// Building through the cursor: Add chains, SetMask and AddEnvelope act at the cursor, copies
// and re-rooted collections have no cursor until ResetCursor.
TEST(EntityCollectionTest, AddBuildsAtTheCursor) {
    CEntityCollection chain;
    chain.Add(1, -1, 0);
    chain.SetMask(CEntityCollection::MASK_ATTRIBUTES);
    CEntityCollection& same = chain.AddEnvelope();
    EXPECT_EQ(&same, &chain);
    same.SetMask(0x10);
    EXPECT_EQ(Dump(chain), "1:-1:0xffffffcf(2:0:0x10)");
    EXPECT_EQ(chain.NodeCount(), 3);

    CEntityCollection copy(chain);
    EXPECT_TRUE(copy == chain);
    copy.Add(1, 7, 0);
    copy.SetMask(0x20);
    copy.AddEnvelope();
    EXPECT_EQ(Dump(copy), Dump(chain)) << "a copy starts with an empty cursor";
    copy.ResetCursor();
    copy.Add(1, 7, 0x20);
    EXPECT_EQ(Dump(copy), "1:-1:0xffffffcf(2:0:0x10) 1:7:0x20");
    EXPECT_EQ(Dump(chain), "1:-1:0xffffffcf(2:0:0x10)") << "the copy owns its tree";

    CEntityCollection assigned;
    assigned = chain;
    assigned.Add(3, 3, 3);
    EXPECT_TRUE(assigned == chain) << "an assigned collection has no cursor either";
    assigned.AddEnvelope();
    EXPECT_TRUE(assigned == chain);

    CEntityCollection selected = Selection("1:-1:0 > 2:0:0x10");
    selected.Select(2);
    selected.Add(1, 1, 1);
    EXPECT_EQ(Dump(selected), "2:0:0x10") << "Select leaves no cursor into the released tree";
    selected.ResetCursor();
    selected.Add(1, 1, 1);
    EXPECT_EQ(Dump(selected), "2:0:0x10 1:1:0x1");
}

TEST(EntityCollectionTest, CursorFollowsAMergedSibling) {
    CEntityCollection collection;
    collection.Add(1, -1, 0x10);
    collection.ResetCursor();
    collection.Add(1, -1, 0x20);
    collection.Normalize();
    collection.Add(2, 0, 0);
    EXPECT_EQ(Dump(collection), "1:-1:0x30(2:0:0x0)");
}

TEST(EntityCollectionTest, EqualityComparesShapeNotOnlyNodes) {
    EXPECT_TRUE(Selection("1:-1:0 > 2:0:0") == Selection("1:-1:0 > 2:0:0"));
    EXPECT_FALSE(Selection("1:-1:0 > 2:0:0") == Selection("1:-1:0 | 2:0:0"));
    EXPECT_FALSE(Selection("1:-1:0x10") == Selection("1:-1:0x20"));
    EXPECT_FALSE(Selection("1:-1:0") == CEntityCollection());
    EXPECT_TRUE(Selection("1:-1:0") != Selection("1:3:0"));
}

struct SetTestCase {
    const char* mine;
    const char* other;
    bool loose;   // without the strict flag
    bool strict;  // with it
};

void PrintTo(const SetTestCase& c, std::ostream* out) { *out << "[" << c.mine << "] [" << c.other << "]"; }

class OverlapsTest : public ::testing::TestWithParam<SetTestCase> {};

TEST_P(OverlapsTest, MatchesTable) {
    const SetTestCase& c = GetParam();
    const CEntityCollection mine = Selection(c.mine);
    const CEntityCollection other = Selection(c.other);
    EXPECT_EQ(mine.Overlaps(other, false), c.loose) << c.mine << " / " << c.other;
    EXPECT_EQ(mine.Overlaps(other, true), c.strict) << c.mine << " / " << c.other;
    EXPECT_EQ(other.Overlaps(mine, false), c.loose) << "overlap is symmetric";
}

INSTANTIATE_TEST_SUITE_P(
    EntityCollection, OverlapsTest,
    ::testing::Values(
        // A whole channel covers a part of it only without the strict flag.
        SetTestCase{"1:-1:0", "1:3:0 > 2:0:0x10", true, false},
        SetTestCase{"1:-1:0x10", "1:3:0 > 2:0:0x10", false, false}, SetTestCase{"1:-1:0x10", "1:5:0x30", true, true},
        SetTestCase{"1:-1:0x10", "1:5:0x20", false, false}, SetTestCase{"1:-1:0x10", "1:5:0", true, true},
        SetTestCase{"1:2:0x10", "1:3:0x10", false, false}, SetTestCase{"1:-1:0", "2:-1:0", false, false},
        SetTestCase{"1:-1:0 > 2:0:0x10", "1:4:0 > 2:0:0x30", true, true},
        SetTestCase{"1:-1:0 > 2:0:0x10", "1:4:0 > 2:0:0x20", false, false},
        SetTestCase{"1:-1:0x20 | 1:-1:0 > 2:0:0x10", "2:0:0 | 1:9:0x20", true, true},
        SetTestCase{"", "1:-1:0", false, false}, SetTestCase{"", "", false, false}));

class IncludesTest : public ::testing::TestWithParam<SetTestCase> {};

TEST_P(IncludesTest, MatchesTable) {
    const SetTestCase& c = GetParam();
    const CEntityCollection mine = Selection(c.mine);
    const CEntityCollection other = Selection(c.other);
    EXPECT_EQ(mine.Includes(other, false), c.loose) << c.mine << " includes " << c.other;
    EXPECT_EQ(mine.Includes(other, true), c.strict) << c.mine << " includes " << c.other << " (strict)";
}

INSTANTIATE_TEST_SUITE_P(
    EntityCollection, IncludesTest,
    ::testing::Values(SetTestCase{"1:-1:0x30", "1:5:0x10", true, true}, SetTestCase{"1:-1:0x30", "1:5:0", false, false},
                      SetTestCase{"1:-1:0x30", "1:5:0x40", false, false}, SetTestCase{"1:-1:0", "1:5:0x40", true, true},
                      // The wildcard counts on either side.
                      SetTestCase{"1:5:0x30", "1:-1:0x10", true, true},
                      SetTestCase{"1:5:0x30", "1:6:0x10", false, false},
                      SetTestCase{"1:-1:0", "1:3:0 > 2:0:0x10", true, false},
                      SetTestCase{"1:3:0 > 2:0:0", "1:3:0", false, false},
                      SetTestCase{"1:-1:0 > 2:0:0x30", "1:3:0 > 2:0:0x10", true, true},
                      SetTestCase{"1:-1:0x10 | 2:0:0", "1:2:0x10 | 2:0:0x20", true, true},
                      SetTestCase{"1:-1:0x10", "1:2:0x10 | 2:0:0x20", false, false},
                      SetTestCase{"1:-1:0", "", true, true}, SetTestCase{"", "1:-1:0", false, false}));

struct ResultCase {
    const char* input;
    const char* other;  // the argument: a collection, or a kind for Select
    const char* expected;
};

void PrintTo(const ResultCase& c, std::ostream* out) { *out << "[" << c.input << "] [" << c.other << "]"; }

class IntersectTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(IntersectTest, MatchesTable) {
    const ResultCase& c = GetParam();
    const CEntityCollection mine = Selection(c.input);
    const CEntityCollection before(mine);
    EXPECT_EQ(Dump(mine.Intersect(Selection(c.other))), c.expected) << c.input << " & " << c.other;
    EXPECT_TRUE(mine == before) << "Intersect leaves its operands alone";
}

INSTANTIATE_TEST_SUITE_P(
    EntityCollection, IntersectTest,
    ::testing::Values(ResultCase{"1:-1:0x20", "1:-1:0", "1:-1:0x20"}, ResultCase{"1:-1:0", "1:-1:0x20", ""},
                      ResultCase{"1:-1:0 > 2:0:0x10", "1:-1:0", "1:-1:0x0(2:0:0x10)"},
                      ResultCase{"1:-1:0x10 | 1:-1:0x20 | 2:0:0x10", "1:-1:0", "1:-1:0x30"},
                      ResultCase{"2:0:0x30", "2:0:0", "2:0:0x30"}, ResultCase{"2:5:0x10", "2:0:0", ""},
                      // Copies of a leaf with mask 0 stand side by side.
                      ResultCase{"1:-1:0", "1:-1:0 | 1:3:0", "1:-1:0x0 1:-1:0x0"},
                      ResultCase{"1:-1:0 > 2:0:0x10 | 1:-1:0x20", "1:-1:0 > 2:0:0", "1:-1:0x0(2:0:0x10)"},
                      ResultCase{"", "1:-1:0", ""}));

class SelectTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(SelectTest, MatchesTable) {
    const ResultCase& c = GetParam();
    CEntityCollection collection = Selection(c.input);
    collection.Select(std::stoi(c.other));
    EXPECT_EQ(Dump(collection), c.expected) << c.input << " select " << c.other;
}

INSTANTIATE_TEST_SUITE_P(EntityCollection, SelectTest,
                         ::testing::Values(ResultCase{"1:-1:0 > 2:0:0x10", "2", "2:0:0x10"},
                                           ResultCase{"1:-1:0x20 | 1:-1:0 > 2:0:0x10", "2", "1:-1:0x20 2:0:0x10"},
                                           ResultCase{"1:-1:0 > 2:0:0x10 | 1:-1:0 > 2:0:0x20", "2", "2:0:0x30"},
                                           ResultCase{"1:-1:0 > 2:0:0 > 3:1:0x4", "2", "2:0:0x0(3:1:0x4)"},
                                           ResultCase{"1:-1:0x10 | 1:2:0x20", "2", "1:-1:0x10 1:2:0x20"},
                                           ResultCase{"1:-1:0 > 2:0:0x10", "1", "1:-1:0x0(2:0:0x10)"},
                                           ResultCase{"", "2", ""}));

class NormalizeTest : public ::testing::TestWithParam<ResultCase> {};

TEST_P(NormalizeTest, MatchesTable) {
    const ResultCase& c = GetParam();
    CEntityCollection collection = Selection(c.input);
    collection.Normalize();
    EXPECT_EQ(Dump(collection), c.expected) << c.input;
    collection.Normalize();
    EXPECT_EQ(Dump(collection), c.expected) << "normalising twice changes nothing";
}

INSTANTIATE_TEST_SUITE_P(
    EntityCollection, NormalizeTest,
    ::testing::Values(
        ResultCase{"1:-1:0x10 | 1:-1:0x20", "", "1:-1:0x30"},
        ResultCase{"1:-1:0x20 | 1:-1:0", "", "1:-1:0x0 1:-1:0x20"},
        ResultCase{"1:-1:0 | 1:-1:0", "", "1:-1:0x0 1:-1:0x0"},
        // Ids compare exactly here: -1 is not a wildcard.
        ResultCase{"1:3:0x10 | 1:-1:0x20", "", "1:-1:0x20 1:3:0x10"},
        ResultCase{"1:-1:0 > 2:0:0x20 | 1:-1:0 > 2:0:0x10", "", "1:-1:0x0(2:0:0x30)"},
        ResultCase{"1:-1:0x10 > 2:0:0x10 | 1:-1:0x20 > 2:0:0x20", "", "1:-1:0x10(2:0:0x30)"},
        // A leaf and an inner node never merge; equal keys keep their order.
        ResultCase{"1:-1:0 | 1:-1:0 > 2:0:0x10", "", "1:-1:0x0 1:-1:0x0(2:0:0x10)"},
        ResultCase{"2:0:0x10 | 1:5:0x10 | 1:-1:-49 > 2:0:0", "", "1:-1:0xffffffcf(2:0:0x0) 1:5:0x10 2:0:0x10"},
        ResultCase{"1:-1:0 > 2:0:0x20 | 1:-1:0 > 2:0:0x10 | 1:-1:0 > 2:0:0", "", "1:-1:0x0(2:0:0x0 2:0:0x30)"},
        ResultCase{"", "", ""}));

}  // namespace
