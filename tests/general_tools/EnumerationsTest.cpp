#include "general_tools/Enumerations.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Pair = GT::CPairTable::Pair;

// Two small enumerations in the way the sound library declares its own.
class CColour : public GT::CEnumeration<CColour> {
public:
    using CEnumeration::CEnumeration;
    static const GT::CStringTable& GetStringTable() {
        // Key 4 is present but nameless, so it never counts as valid.
        static const GT::CStringTable table({{3, "RED"}, {1, "GREEN"}, {7, "BLUE"}, {4, ""}, {9, "NINE"}}, {-1, ""});
        return table;
    }
};

class CShape : public GT::CEnumeration<CShape> {
public:
    using CEnumeration::CEnumeration;
    static const GT::CStringTable& GetStringTable() {
        static const GT::CStringTable table({{3, "SQUARE"}, {-1, "NONE"}, {5, ""}}, {-1, ""});
        return table;
    }
};

class PairTableTest : public ::testing::Test {
protected:
    GT::CStringTable table{{{1, "A"}, {2, "B"}, {2, "B2"}}, {-1, ""}};
};

TEST_F(PairTableTest, LookupsAnswerFirstMatchOrTheDefaultPair) {
    EXPECT_EQ(table.IndexOfKey(3), 3);
    EXPECT_EQ(table.ValueOfKey(3), "");
    EXPECT_EQ(table.IndexOfKey(2), 1);
    EXPECT_EQ(table.ValueOfKey(2), "B");  // first of two pairs with one key
    EXPECT_EQ(table.KeyOfValue("C"), -1);
    EXPECT_EQ(table.IndexOfValue("b"), 3);  // case matters
    EXPECT_EQ(table.IndexOfValue("B2"), 2);
    EXPECT_EQ(table.IndexOfValue(""), 3);  // the default pair is never searched
    EXPECT_EQ(table.IndexOfKey(-1), 3);
    EXPECT_EQ(table.PairOfValue("A"), Pair(1, "A"));
    EXPECT_EQ(table.GetPairCount(), 4);
    EXPECT_EQ(table.GetRealPairCount(), 3);
}

TEST_F(PairTableTest, AssignReplacesThePairsAndAppendsTheDefault) {
    GT::CPairTable& base = table;
    base.Assign({{5, "E"}}, {0, "zero"});
    EXPECT_EQ(table.GetPairCount(), 2);
    EXPECT_EQ(table.ValueOfKey(1), "zero");
    EXPECT_EQ(table.KeyOfValue("E"), 5);
    EXPECT_EQ(table.GetPair(1), Pair(0, "zero"));
}

TEST(PairTable, OnlyTheDefaultPairAnswersIndexZero) {
    const GT::CPairTable table({}, {-1, "none"});
    EXPECT_EQ(table.IndexOfKey(-1), 0);
    EXPECT_EQ(table.IndexOfKey(42), 0);
    EXPECT_EQ(table.IndexOfValue("none"), 0);
    EXPECT_EQ(table.ValueOfKey(7), "none");
    EXPECT_EQ(table.KeyOfValue("x"), -1);
}

TEST(PairTable, IndexOutsideTheTableGivesTheDefaultPair) {
    const GT::CPairTable table({{1, "A"}}, {-1, ""});
    EXPECT_EQ(table.GetPair(5), Pair(-1, ""));
    EXPECT_EQ(table.GetPair(-1), Pair(-1, ""));
}

TEST(Enumeration, BuildsFromValuesAndNamesInItsTable) {
    struct Case {
        int value;
        const char* name;
    };
    const Case cases[] = {{3, "RED"}, {1, "GREEN"}, {7, "BLUE"}, {9, "NINE"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CColour(c.value).ToString(), c.name);
        EXPECT_EQ(CColour(std::string(c.name)).GetValue(), c.value);
        EXPECT_EQ(CColour(c.name).GetValue(), c.value);
    }
    EXPECT_EQ(CColour().GetValue(), 3);  // the first row, not the smallest key
}

TEST(Enumeration, OutsideTheTableThrowsWithDescriptionBounds) {
    // Minimum and maximum are the first and last real keys, in table order.
    const auto expectError = [](auto make) {
        try {
            make();
            ADD_FAILURE() << "no exception";
        } catch (const GT::IRangedNumber<int>::CError& e) {
            EXPECT_EQ(e.GetMinimum(), 3);
            EXPECT_EQ(e.GetMaximum(), 9);
        }
    };
    expectError([] { CColour c(2); });
    expectError([] { CColour c(4); });   // key present, name empty
    expectError([] { CColour c(-1); });  // the default key
    expectError([] { CColour c{std::string()}; });
    expectError([] { CColour c("red"); });  // names are case-sensitive
    expectError([] { CColour c(nullptr); });
    expectError([] { CColour(1).CreateInstance(5); });
    expectError([] { CColour(1).CreateInstanceByName("PINK"); });
}

TEST(Enumeration, MinusOneAndEmptyNameWorkWhenARealPairHasThem) {
    EXPECT_EQ(CShape(-1).ToString(), "NONE");
    EXPECT_EQ(CShape("NONE").GetValue(), -1);
    EXPECT_THROW(CShape(std::string()), GT::IRangedNumber<int>::CError);
    EXPECT_FALSE(CShape().IsValid(5));
}

TEST(Enumeration, IsValidTestsTheArgument) {
    const CColour red(3);
    EXPECT_TRUE(red.IsValid(7));
    EXPECT_FALSE(red.IsValid(4));  // key present, name empty
    EXPECT_FALSE(red.IsValid(2));
    EXPECT_FALSE(red.IsValid(-1));
}

TEST(Enumeration, CreateInstanceKeepsTheRunTimeClass) {
    const CColour red(3);
    const std::unique_ptr<GT::IRangedNumber<int>> blue = red.CreateInstance(7);
    ASSERT_TRUE(blue);
    EXPECT_NE(dynamic_cast<const CColour*>(blue.get()), nullptr);
    EXPECT_EQ(blue->GetValue(), 7);
    EXPECT_EQ(blue->ToString(), "BLUE");
    const auto green = red.CreateInstanceByName("GREEN");
    EXPECT_NE(dynamic_cast<const CColour*>(green.get()), nullptr);
    EXPECT_EQ(green->GetValue(), 1);
    EXPECT_EQ(red.GetValue(), 3);
}

TEST(Enumeration, AssignCopiesOnlyFromTheSameClass) {
    CColour colour(3);
    const CShape shape(-1);
    EXPECT_NO_THROW(colour.Assign(shape));
    EXPECT_EQ(colour.GetValue(), 3);
    colour.Assign(CColour(9));
    EXPECT_EQ(colour.GetValue(), 9);
    EXPECT_EQ(&colour.Assign(colour), &colour);
    EXPECT_EQ(colour.GetValue(), 9);
}

TEST(Enumeration, EqualityByValueAndCopies) {
    const CColour a(7);
    CColour b(3);
    EXPECT_NE(a, b);
    b = a;
    EXPECT_EQ(a, b);
    const GT::IRangedNumber<int>& asInterface = b;
    EXPECT_EQ(asInterface.ToString(), "BLUE");
}

TEST(EnumerationDescription, RangeStepIteratorAndNames) {
    const GT::IRangedNumberDescription<int>& d = CColour(1).GetDescription();
    EXPECT_EQ(&d, &CColour::Description());  // one description per enumeration
    EXPECT_EQ(d.GetMinimum(), 3);
    EXPECT_EQ(d.GetMaximum(), 9);
    EXPECT_EQ(d.GetStep(), 1);
    EXPECT_EQ(d.ToString(7), "BLUE");
    EXPECT_EQ(d.ToString(2), "");
    std::vector<int> keys;
    for (auto it = d.CreateIterator(); it->HasNext();) keys.push_back(it->Next());
    EXPECT_EQ(keys, (std::vector<int>{3, 1, 7, 4, 9}));
}

TEST(EnumerationDescription, TableOfOnlyTheDefaultPair) {
    const GT::CPairTable table({}, {-1, ""});
    const GT::CEnumerationDescription d(table);
    EXPECT_EQ(d.GetMinimum(), 0);
    EXPECT_EQ(d.GetMaximum(), 0);
    EXPECT_FALSE(d.CreateIterator()->HasNext());
}

TEST(RangedNumberDescription, TrackNumbersZeroTo65535) {
    const GT::CRangedNumberDescription<int> d(0, 65535, 1);
    EXPECT_EQ(d.GetMinimum(), 0);
    EXPECT_EQ(d.GetMaximum(), 65535);
    EXPECT_EQ(d.GetStep(), 1);
    EXPECT_EQ(d.ToString(-5), "-5");
    EXPECT_EQ(d.ToString(65535), "65535");
    int count = 0;
    int expected = 0;
    for (auto it = d.CreateIterator(); it->HasNext(); ++count) ASSERT_EQ(it->Next(), expected++);
    EXPECT_EQ(count, 65536);
}

TEST(RangedNumberDescription, StepsAndTheTopOfTheIntRange) {
    std::vector<int> values;
    const GT::CRangedNumberDescription<int> d(-3, 4, 3);
    for (auto it = d.CreateIterator(); it->HasNext();) values.push_back(it->Next());
    EXPECT_EQ(values, (std::vector<int>{-3, 0, 3}));

    const GT::CRangedNumberDescription<int> top(2147483640, 2147483646, 1);
    int count = 0;
    for (auto it = top.CreateIterator(); it->HasNext(); ++count) it->Next();
    EXPECT_EQ(count, 7);
}

TEST(RangedNumberDescription, RefusesBadArguments) {
    EXPECT_THROW(GT::CRangedNumberDescription<int>(5, 4, 1), std::invalid_argument);
    EXPECT_THROW(GT::CRangedNumberDescription<int>(0, 10, 0), std::invalid_argument);
    EXPECT_THROW(GT::CRangedNumberDescription<int>(0, 2147483647, 1), std::invalid_argument);
}

}  // namespace
