#include "general_tools/TextCodeTable.h"

#include <gtest/gtest.h>

namespace {

// Two rows as the program loads them: English under 0, Japanese under 1.
class TextCodeTableTest : public ::testing::Test {
protected:
    TextCodeTableTest() {
        table.SetText(0, 2, "The unit not found.");
        table.SetText(1, 2, "\xE3\x83\xA6\xE3\x83\x8B\xE3\x83\x83\xE3\x83\x88");
        table.SetText(0, 40, "Manual/en.pdf");  // English only
    }
    GT::CTextCodeTable table;
};

TEST(TextCodeTableEmptyTest, NeverFilledAnswersEmptyInBothLanguages) {
    GT::CTextCodeTable table;
    EXPECT_EQ(table.GetLanguage(), 0);
    for (int id : {0, 2, 43, -1}) {
        EXPECT_EQ(table.GetText(id), "");
        EXPECT_EQ(table.GetText(0, id), "");
        EXPECT_EQ(table.GetText(1, id), "");
    }
}

TEST_F(TextCodeTableTest, TextsByLanguageWithoutFallBack) {
    EXPECT_EQ(table.GetText(2), "The unit not found.");
    table.SetLanguage(1);
    EXPECT_EQ(table.GetText(2), "\xE3\x83\xA6\xE3\x83\x8B\xE3\x83\x83\xE3\x83\x88");
    EXPECT_EQ(table.GetText(0, 2), "The unit not found.");
    EXPECT_EQ(table.GetText(40), "");  // no fall-back to English
    EXPECT_EQ(table.GetText(0, 40), "Manual/en.pdf");
}

TEST_F(TextCodeTableTest, LaterTextReplacesAndStoredReferenceFollows) {
    const std::string& shown = table.GetText(0, 2);
    table.SetText(0, 2, "replaced");
    EXPECT_EQ(shown, "replaced");
    EXPECT_EQ(table.GetText(1, 2), "\xE3\x83\xA6\xE3\x83\x8B\xE3\x83\x83\xE3\x83\x88");
}

TEST_F(TextCodeTableTest, LanguageOtherThanZeroOrOneIsIgnored) {
    table.SetLanguage(1);
    for (int bad : {2, -1, 1000}) {
        table.SetLanguage(bad);
        EXPECT_EQ(table.GetLanguage(), 1) << bad;
        EXPECT_EQ(table.GetText(bad, 2), "") << bad;
        table.SetText(bad, 2, "ignored");
    }
    EXPECT_EQ(table.GetText(0, 2), "The unit not found.");
}

TEST_F(TextCodeTableTest, ClearEmptiesBothLanguagesAndKeepsTheCurrentOne) {
    table.SetLanguage(1);
    table.Clear();
    EXPECT_EQ(table.GetLanguage(), 1);
    EXPECT_EQ(table.GetText(0, 2), "");
    EXPECT_EQ(table.GetText(1, 2), "");
}

}  // namespace
