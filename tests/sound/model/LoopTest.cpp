#include "sound/model/Loop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

namespace {

using SL::CLoop;
using SL::CLoopMode;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct LoopValues {
    double p[5];
    double lengthA, lengthB, factorA, factorB;
};

void Apply(CLoop& loop, const LoopValues& v) {
    for (int i = 0; i < 5; ++i) loop.SetPosition(i, v.p[i]);
    loop.SetCrossfadeALength(v.lengthA);
    loop.SetCrossfadeBLength(v.lengthB);
    loop.SetCrossfadeAFactor(v.factorA);
    loop.SetCrossfadeBFactor(v.factorB);
}

void ExpectValues(const CLoop& loop, const LoopValues& v, const char* label) {
    for (int i = 0; i < 5; ++i) EXPECT_EQ(loop.GetPosition(i), v.p[i]) << label << ", position " << i;
    EXPECT_EQ(loop.GetCrossfadeALength(), v.lengthA) << label;
    EXPECT_EQ(loop.GetCrossfadeBLength(), v.lengthB) << label;
    EXPECT_EQ(loop.GetCrossfadeAFactor(), v.factorA) << label;
    EXPECT_EQ(loop.GetCrossfadeBFactor(), v.factorB) << label;
}

TEST(LoopTest, NewLoopHasTheDefaultsAndIsValid) {
    const CLoop loop;
    ExpectValues(loop, {{0, 0, 0, 0, 0}, 0, 0, 0.5, 0.5}, "new loop");
    EXPECT_EQ(loop.GetMode(), CLoopMode::ONESHOT);
    EXPECT_EQ(loop.GetMode().ToString(), "1SHOT");
    EXPECT_EQ(loop.GetLastValue(), 0.0);
    EXPECT_TRUE(loop.IsValid());
    EXPECT_FALSE(loop.IsActive());
    EXPECT_TRUE(loop.GetName().empty());
}

// Activate clamps the record; the fifth position, the mode and the last value stay.
struct ClampCase {
    const char* label;
    LoopValues before;
    bool validBefore;
    LoopValues after;
};

void PrintTo(const ClampCase& c, std::ostream* out) { *out << c.label; }

class LoopClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(LoopClampTest, ActivateClampsIntoRange) {
    const ClampCase& c = GetParam();
    CLoop loop;
    Apply(loop, c.before);
    loop.SetMode(CLoopMode::ALTPM);
    loop.SetLastValue(-42.5);
    ExpectValues(loop, c.before, "setters store unchanged");
    EXPECT_EQ(loop.IsValid(), c.validBefore) << c.label;
    loop.Activate();
    ExpectValues(loop, c.after, c.label);
    EXPECT_TRUE(loop.IsValid()) << c.label;
    EXPECT_EQ(loop.GetMode(), CLoopMode::ALTPM);
    EXPECT_EQ(loop.GetLastValue(), -42.5);
}

INSTANTIATE_TEST_SUITE_P(
    Loop, LoopClampTest,
    ::testing::Values(
        ClampCase{"start after end", {{0, 5, 100, 10, 3}, 0, 0, 0.5, 0.5}, false, {{0, 5, 10, 100, 3}, 0, 0, 0.5, 0.5}},
        ClampCase{"lower bound above start",
                  {{20, 5, 10, 100, -9}, 0, 0, 0.5, 0.5},
                  false,
                  {{10, 10, 10, 100, -9}, 0, 0, 0.5, 0.5}},
        ClampCase{"pre-start above start",
                  {{0, 50, 10, 100, 0}, 0, 0, 0.5, 0.5},
                  false,
                  {{0, 10, 10, 100, 0}, 0, 0, 0.5, 0.5}},
        ClampCase{
            "A shortened first", {{0, 5, 10, 100, 0}, 30, 80, 0.5, 0.5}, false, {{0, 5, 10, 100, 0}, 10, 80, 0.5, 0.5}},
        ClampCase{"B longer than the loop",
                  {{0, 5, 10, 100, 0}, 20, 200, 0.5, 0.5},
                  false,
                  {{0, 5, 10, 100, 0}, 0, 90, 0.5, 0.5}},
        ClampCase{"both 50 in a loop of 90",
                  {{0, 5, 10, 100, 0}, 50, 50, 0.5, 0.5},
                  false,
                  {{0, 5, 10, 100, 0}, 40, 50, 0.5, 0.5}},
        ClampCase{"negatives become 0, factors unbounded above",
                  {{0, 5, 10, 100, 0}, -1, -2, -3, 5},
                  false,
                  {{0, 5, 10, 100, 0}, 0, 0, 0, 5}},
        ClampCase{"already valid", {{-4, -2, 0, 8, 1000}, 3, 5, 0, 2}, true, {{-4, -2, 0, 8, 1000}, 3, 5, 0, 2}}));

struct ValidityCase {
    const char* label;
    LoopValues values;
    bool valid;
};

TEST(LoopTest, ValidityRules) {
    const ValidityCase cases[] = {
        {"defaults", {{0, 0, 0, 0, 0}, 0, 0, 0.5, 0.5}, true},
        {"fifth position is free", {{0, 0, 0, 0, -7}, 0, 0, 0.5, 0.5}, true},
        {"crossfades fill the loop", {{0, 1, 2, 12, 0}, 4, 6, 0, 0}, true},
        {"crossfades overfill the loop", {{0, 1, 2, 12, 0}, 4, 6.5, 0, 0}, false},
        {"pre-start below lower bound", {{1, 0, 2, 3, 0}, 0, 0, 0.5, 0.5}, false},
        {"negative length A", {{0, 0, 0, 10, 0}, -1, 0, 0.5, 0.5}, false},
        {"negative factor B", {{0, 0, 0, 10, 0}, 0, 0, 0.5, -0.1}, false},
        {"NaN position", {{0, kNaN, 0, 10, 0}, 0, 0, 0.5, 0.5}, false},
        {"NaN factor", {{0, 0, 0, 10, 0}, 0, 0, kNaN, 0.5}, false},
    };
    for (const ValidityCase& c : cases) {
        CLoop loop;
        Apply(loop, c.values);
        EXPECT_EQ(loop.IsValid(), c.valid) << c.label;
    }
}

TEST(LoopTest, SnapRoundsThenClamps) {
    CLoop loop;
    Apply(loop, {{1.5, 2.5, -2.5, 9.49, 0.6}, 0, 0, 0.5, 0.5});
    EXPECT_EQ(loop.GetLowerBoundInt(), 2);
    EXPECT_EQ(loop.GetPreStartInt(), 3);
    EXPECT_EQ(loop.GetStartInt(), -3);
    EXPECT_EQ(loop.GetEndInt(), 9);
    EXPECT_EQ(loop.GetFifthPositionInt(), 1);
    loop.Snap();
    ExpectValues(loop, {{-3, -3, -3, 9, 1}, 0, 0, 0.5, 0.5}, "snapped");
    EXPECT_TRUE(loop.IsValid());
}

TEST(LoopTest, SpansAndRanges) {
    CLoop loop;
    loop.SetLowerBound(0.4);
    loop.SetPreStart(1.6);
    loop.SetStart(2.5);
    loop.SetEnd(10.5);
    loop.SetFifthPosition(-7.5);
    EXPECT_DOUBLE_EQ(loop.GetExtentLength(), 10.1);
    EXPECT_DOUBLE_EQ(loop.GetLoopLength(), 8.0);
    EXPECT_DOUBLE_EQ(loop.GetLeadLength(), 1.2);
    EXPECT_DOUBLE_EQ(loop.GetTailLength(), 8.9);
    EXPECT_EQ(loop.GetExtentRange(), SL::ILoop::CRange(0.4, 10.5));
    EXPECT_EQ(loop.GetLoopRange(), SL::ILoop::CRange(2.5, 10.5));
    EXPECT_EQ(loop.GetLeadRange(), SL::ILoop::CRange(0.4, 1.6));
    EXPECT_EQ(loop.GetTailRange(), SL::ILoop::CRange(1.6, 10.5));
    // Rounded half away from zero: 0, 2, 3, 11, -8.
    EXPECT_EQ(loop.GetFifthPositionInt(), -8);
    EXPECT_EQ(loop.GetExtentLengthInt(), 11);
    EXPECT_EQ(loop.GetLoopLengthInt(), 8);
    EXPECT_EQ(loop.GetLeadLengthInt(), 2);
    EXPECT_EQ(loop.GetTailLengthInt(), 9);
    EXPECT_EQ(loop.GetExtentRangeInt(), SL::ILoop::CIntRange(0, 11));
    EXPECT_EQ(loop.GetLoopRangeInt(), SL::ILoop::CIntRange(3, 11));
    EXPECT_EQ(loop.GetLeadRangeInt(), SL::ILoop::CIntRange(0, 2));
    EXPECT_EQ(loop.GetTailRangeInt(), SL::ILoop::CIntRange(2, 11));

    // Rounded positions at the ends of the int range give spans that stay in it.
    loop.SetLowerBound(-1e300);
    loop.SetEnd(1e300);
    EXPECT_EQ(loop.GetExtentLengthInt(), std::numeric_limits<int>::max());
    EXPECT_EQ(loop.GetExtentRangeInt(), SL::ILoop::CIntRange(-2147483647, 2147483647));
}

TEST(LoopTest, PositionByIndex) {
    CLoop loop;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(loop.SetPosition(i, 10.0 + i), i);
    EXPECT_EQ(loop.GetLowerBound(), 10.0);
    EXPECT_EQ(loop.GetPreStart(), 11.0);
    EXPECT_EQ(loop.GetStart(), 12.0);
    EXPECT_EQ(loop.GetEnd(), 13.0);
    EXPECT_EQ(loop.GetFifthPosition(), 14.0);
    const std::unique_ptr<SL::ICloneable> before(loop.Clone());
    EXPECT_EQ(loop.SetPosition(5, 99.0), 5);
    EXPECT_EQ(loop.SetPosition(-1, 99.0), -1);
    EXPECT_TRUE(loop.Equals(dynamic_cast<const SL::CObject&>(*before))) << "out-of-range indexes change nothing";
    EXPECT_EQ(loop.GetPosition(-1), 0.0);
    EXPECT_EQ(loop.GetPosition(5), 0.0);
}

// What the file readers rely on: stored values come back unclamped and nothing activates.
TEST(LoopTest, ReadersSettersStoreAsGiven) {
    CLoop loop;
    loop.SetLowerBound(0);
    loop.SetStart(500);
    loop.SetEnd(99);
    loop.SetMode(CLoopMode::FWDR);
    loop.SetLastValue(0);
    EXPECT_EQ(loop.GetStart(), 500.0);
    EXPECT_EQ(loop.GetEnd(), 99.0);
    EXPECT_EQ(loop.GetMode(), CLoopMode::FWDR);
    EXPECT_FALSE(loop.IsValid());
}

TEST(LoopTest, EqualityAndClone) {
    CLoop loop;
    Apply(loop, {{0, 1, 2, 3, 4}, 0.25, 0.5, 1, 2});
    loop.SetName("loop");
    std::unique_ptr<SL::ICloneable> copy(loop.Clone());
    auto* clone = dynamic_cast<CLoop*>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_TRUE(clone->Equals(loop));
    EXPECT_NE(&clone->GetLoopRecord(), &loop.GetLoopRecord());
    EXPECT_NE(&clone->GetEntityRecord(), &loop.GetEntityRecord());

    clone->SetLastValue(1.0);
    EXPECT_FALSE(clone->Equals(loop)) << "loops differing only in their last value";
    EXPECT_EQ(loop.GetLastValue(), 0.0);

    CLoop modes(loop);
    modes.SetMode(CLoopMode::FWD);
    EXPECT_FALSE(modes.Equals(loop));

    CLoop texts(loop);
    texts.SetActive(true);
    EXPECT_FALSE(texts.Equals(loop));

    const SL::CObject object;
    EXPECT_FALSE(loop.Equals(object));
}

}  // namespace
