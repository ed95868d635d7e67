#include "general_tools/Progress.h"

#include "tests/support/RecordingProgress.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressTest, DefaultObjectAnswersZeroEmptyAndFalse) {
    GT::CDefaultProgress progress;
    GT::IProgress& p = progress;
    p.SetTitle("Import");
    p.SetCancelable(true);
    p.Begin();
    p.SetRange(10);
    p.SetPos(4);
    p.Step();
    p.SetMessage("File 01/02");
    EXPECT_EQ(p.GetRange(), 0);
    EXPECT_EQ(p.GetPos(), 0);
    EXPECT_EQ(p.GetTitle(), "");
    EXPECT_EQ(p.GetMessage(), "");
    EXPECT_FALSE(p.IsCancelable());
    EXPECT_FALSE(p.IsCancelled());
    p.End();
}

// Step of the interface goes through GetPos and SetPos.
class CPositionOnly : public GT::IProgress {
public:
    void SetPos(int pos) override {
        m_pos = pos;
        ++setPosCalls;
    }
    int GetPos() const override { return m_pos; }
    int setPosCalls = 0;

private:
    int m_pos = 0;
};

TEST(ProgressTest, StepAdvancesThroughSetPos) {
    CPositionOnly p;
    p.SetPos(7);
    static_cast<GT::IProgress&>(p).Step();
    p.Step();
    EXPECT_EQ(p.GetPos(), 9);
    EXPECT_EQ(p.setPosCalls, 3);
}

// The calling order of a long operation, as the card's import runs it.
int RunItems(GT::IProgress& progress, int items) {
    progress.SetTitle("Import");
    progress.SetCancelable(true);
    progress.Begin();
    progress.SetRange(items);
    int result = 1;
    for (int i = 0; i < items; ++i) {
        if (progress.IsCancelled()) {
            result = 2;
            break;
        }
        progress.Step();
    }
    progress.End();
    return result;
}

TEST(RecordingProgressTest, RecordsTheRunAndCancelsOnlyWhileCancelable) {
    gbxtest::RecordingProgress p;
    EXPECT_EQ(p.GetRange(), 100);
    EXPECT_EQ(RunItems(p, 2), 1);
    EXPECT_EQ(p.calls, (std::vector<std::string>{"SetTitle Import", "SetCancelable 1", "Begin", "SetRange 2",
                                                 "IsCancelled", "Step", "IsCancelled", "Step", "End"}));
    EXPECT_EQ(p.GetPos(), 2);

    p.calls.clear();
    p.cancelAtCheck = 4;  // the second check of this run
    EXPECT_EQ(RunItems(p, 5), 2);
    EXPECT_EQ(p.Count("Step"), 1);
    EXPECT_TRUE(p.IsCancelled());  // stays until the next Begin
    p.Begin();
    EXPECT_FALSE(p.IsCancelled());
    EXPECT_EQ(p.GetPos(), 0);

    p.SetCancelable(false);
    p.PressCancel();
    EXPECT_FALSE(p.IsCancelled());
    EXPECT_EQ(p.GetTitle(), "Import");  // kept between runs
}

}  // namespace
