#include "general_tools/TextOut.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records each text handed to the destination.
class CRecordingTextOut : public GT::ATextOut {
public:
    std::vector<std::string> outputs;

protected:
    void Output(const std::string& text) override { outputs.push_back(text); }
};

class TextOutTest : public ::testing::Test {
protected:
    CRecordingTextOut out;
    GT::ITextOut& sink = out;  // callers reach it through the interface
};

TEST_F(TextOutTest, IndentRules) {
    struct Step {
        int indentDelta;
        const char* text;
        const char* expected;
    };
    // Each row runs on a fresh output, one step after another.
    const std::vector<std::vector<Step>> scripts = {
        // Indent per line start, not per call; a line continues across writes.
        {{2, "a\nb", "  a\n  b"}, {0, "c\n", "c\n"}, {0, "d", "  d"}},
        // A new output starts at a line start.
        {{4, "x", "    x"}},
        // Consecutive line feeds each get the indent, except the first, which follows text.
        {{1, "a\n\n\n", " a\n \n \n"}, {0, "z", " z"}},
        // The empty text leaves the flag as it was: here clear, so no indent before "b".
        {{3, "a", "   a"}, {0, "", ""}, {0, "b", "b"}},
        // ... and here set.
        {{3, "a\n", "   a\n"}, {0, "", ""}, {0, "b", "   b"}},
        // A carriage return does not start a line.
        {{2, "a\rb\r\nc", "  a\rb\r\n  c"}},
        // The indent in effect when a line starts is the one used.
        {{2, "a\n", "  a\n"}, {-1, "b\n", " b\n"}, {3, "c", "    c"}},
        // No indent at all.
        {{0, "a\nb\n", "a\nb\n"}},
    };
    for (std::size_t i = 0; i < scripts.size(); ++i) {
        SCOPED_TRACE(i);
        CRecordingTextOut fresh;
        std::vector<std::string> expected;
        for (const Step& s : scripts[i]) {
            fresh.ChangeIndent(s.indentDelta);
            fresh.Write(s.text);
            expected.push_back(s.expected);
        }
        EXPECT_EQ(fresh.outputs, expected);
    }
}

TEST_F(TextOutTest, IndentNeverGoesBelowZero) {
    sink.ChangeIndent(4);
    sink.ChangeIndent(-10);
    sink.Write("a");
    sink.ChangeIndent(-1);
    sink.ChangeIndent(2);
    sink.Write("\nb");
    EXPECT_EQ(out.outputs, (std::vector<std::string>{"a", "\n  b"}));
}

TEST_F(TextOutTest, FormatWritesTheCutText) {
    out.ChangeIndent(1);
    sink.Format("%s=%d\n", "n", 5);
    const std::string long600(600, 'q');
    sink.Format("%s", long600.c_str());
    ASSERT_EQ(out.outputs.size(), 2u);
    EXPECT_EQ(out.outputs[0], " n=5\n");
    // 509 characters are formatted; the indent is added by the write after that.
    EXPECT_EQ(out.outputs[1], " " + std::string(509, 'q'));
}

// The interface's own bodies do nothing: a destination that overrides only Write sees what it
// is given, unindented, and nothing from Format.
TEST(TextOutInterface, OwnBodiesDoNothing) {
    class CWriteOnly : public GT::ITextOut {
    public:
        std::vector<std::string> writes;
        void Write(const std::string& text) override { writes.push_back(text); }
    };
    CWriteOnly out;
    GT::ITextOut& sink = out;
    sink.ChangeIndent(3);
    sink.Format("%d", 1);
    sink.Write("x\ny");
    EXPECT_EQ(out.writes, (std::vector<std::string>{"x\ny"}));
}

}  // namespace
