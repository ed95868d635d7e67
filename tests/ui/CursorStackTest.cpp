#include "platform/window/Application.h"
#include "platform/window/Cursor.h"
#include "tests/support/WidgetDriver.h"
#include "ui/CursorStack.h"
#include "ui/ResourcePictures.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using platform::CursorShape;

// A stack of its own, whose serial counter the test may move.
class TestCursor : public UL::CCursor {
public:
    using UL::CCursor::SetNextSerial;
};

class CursorStackTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::ClearOverrideCursor();
    }
    void TearDown() override { platform::ClearOverrideCursor(); }
    TestCursor stack;
};

TEST_F(CursorStackTest, NewestRequestShowsUntilAllAreGone) {
    const int a = stack.Push(1, nullptr);
    const int b = stack.Push(3, nullptr);
    EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Cross);
    stack.Pop(a);
    EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Cross) << "B stays on top";
    EXPECT_EQ(stack.GetTopSerial(), b);
    stack.Pop(b);
    EXPECT_FALSE(stack.IsActive());
    EXPECT_FALSE(platform::HasOverrideCursor()) << "windows show their own cursors again";
    EXPECT_EQ(stack.GetTopSerial(), -1);
}

TEST_F(CursorStackTest, PoppingTheTopShowsTheEntryBelow) {
    stack.Push(2, nullptr);
    const int top = stack.Push(1, nullptr);
    stack.Pop(top);
    EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::IBeam);
    stack.Pop(12345);  // unknown serial: the top is shown again, nothing removed
    EXPECT_EQ(stack.GetDepth(), 1u);
    stack.Reset();
    EXPECT_FALSE(stack.IsActive());
    EXPECT_FALSE(platform::HasOverrideCursor());
}

TEST_F(CursorStackTest, SerialsPassFromTheLargestIntToZero) {
    stack.SetNextSerial(INT_MAX - 1);
    EXPECT_EQ(stack.Push(0, nullptr), INT_MAX - 1);
    EXPECT_EQ(stack.Push(0, nullptr), INT_MAX);
    EXPECT_EQ(stack.Push(0, nullptr), 0);
    EXPECT_EQ(stack.Push(0, nullptr), 1);
}

TEST_F(CursorStackTest, ACursorThatCannotBeMadeLeavesTheStackAlone) {
    stack.Push(1, nullptr);
    EXPECT_THROW(stack.Push(99, nullptr), UL::CResourceException);
    EXPECT_EQ(stack.GetDepth(), 1u);
    EXPECT_EQ(stack.GetTopCursorId(), 1);
    EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Wait);
    stack.RegisterCursor(99, 1);  // a resource no file or drawing has
    EXPECT_THROW(stack.Push(99, nullptr), UL::CResourceException);
    EXPECT_EQ(stack.GetDepth(), 1u);
}

TEST_F(CursorStackTest, EveryTableCursorCanBeShown) {
    for (int id = 0; id <= 18; ++id) {
        const int serial = stack.Push(id, nullptr);
        EXPECT_TRUE(platform::HasOverrideCursor()) << id;
        stack.Pop(serial);
    }
    platform::Cursor drawn;
    EXPECT_TRUE(UL::LoadCursorResource(26629, drawn));
    EXPECT_EQ(drawn.Shape(), CursorShape::Custom);
    EXPECT_FALSE(UL::LoadCursorResource(26628, drawn));
}

struct CountingChanger : UL::ACursorChanger {
    using UL::ACursorChanger::ACursorChanger;
    int refreshes = 0;
    void OnRefresh() override { ++refreshes; }
};

TEST_F(CursorStackTest, RefreshReappliesTheTopAndCallsItsChanger) {
    EXPECT_EQ(stack.Refresh(platform::Point{}), 0);
    CountingChanger changer(stack);
    changer.Request(1);
    platform::ClearOverrideCursor();  // as pumped messages might
    EXPECT_EQ(stack.Refresh(platform::Point{}), 1);
    EXPECT_EQ(changer.refreshes, 1);
    EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Wait);
}

TEST_F(CursorStackTest, ChangerRenewsOnlyWhenNeeded) {
    CountingChanger changer(stack);
    changer.Request(2);
    const int first = changer.GetSerial();
    changer.Request(2);
    EXPECT_EQ(changer.GetSerial(), first) << "already on top with that id";
    const int other = stack.Push(3, nullptr);
    changer.Request(2);
    EXPECT_NE(changer.GetSerial(), first) << "no longer on top: a new entry";
    EXPECT_EQ(stack.GetDepth(), 2u);
    EXPECT_EQ(stack.GetTopSerial(), changer.GetSerial());
    changer.Withdraw();
    EXPECT_EQ(changer.GetSerial(), -1);
    EXPECT_EQ(changer.GetCursorId(), -1);
    EXPECT_EQ(stack.GetTopSerial(), other);
    changer.Withdraw();  // a second withdrawal does nothing
    EXPECT_EQ(stack.GetDepth(), 1u);
}

TEST_F(CursorStackTest, NestedWaitCursors) {
    {
        UL::CWaitCursor outer(stack);
        EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Wait);
        {
            UL::CWaitCursor inner(stack);
            EXPECT_EQ(stack.GetDepth(), 2u);
            inner.Restore();
            EXPECT_EQ(stack.GetDepth(), 1u);
        }
        EXPECT_EQ(stack.GetDepth(), 1u);
        EXPECT_EQ(platform::OverrideCursorShape(), CursorShape::Wait);
    }
    EXPECT_FALSE(stack.IsActive());
    EXPECT_FALSE(platform::HasOverrideCursor());
}

TEST_F(CursorStackTest, ProcessWideStackIsOne) {
    EXPECT_EQ(&UL::GetCursor(), &UL::CCursor::GetInstance());
    UL::CWaitCursor wait;
    EXPECT_TRUE(UL::GetCursor().IsActive());
}

}  // namespace
