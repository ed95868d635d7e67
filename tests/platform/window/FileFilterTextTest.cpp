#include "platform/window/Choosers.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

TEST(FileFilterText, ReadsPairsUpToTheClosingBar) {
    const auto entries = platform::ParseFilterText("Song Files (*.wav; *.mp3)|*.wav; *.mp3|All Files (*.*)|*.*||");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].description, "Song Files (*.wav; *.mp3)");
    EXPECT_EQ(entries[0].patterns, "*.wav; *.mp3");
    EXPECT_EQ(entries[1].description, "All Files (*.*)");
    EXPECT_EQ(entries[1].patterns, "*.*");
    EXPECT_TRUE(platform::ParseFilterText("|").empty());
    EXPECT_TRUE(platform::ParseFilterText("").empty());
}

TEST(FileFilterText, NameFiltersAreCaseInsensitive) {
    EXPECT_EQ(platform::ToNameFilter({"Song Files (*.wav; *.mp3)", "*.wav; *.mp3"}),
              "Song Files (*.[wW][aA][vV] *.[mM][pP]3)");
    EXPECT_EQ(platform::ToNameFilter({"All Files (*.*)", "*.*"}), "All Files (*)");
    EXPECT_EQ(platform::ToNameFilter({"Plain", ""}), "Plain (*)");
}

// The chooser matches names as the toolkit's file model does on a case-sensitive file system.
TEST(FileFilterText, PatternsMatchNamesInAnyCase) {
    struct Case {
        const char* name;
        bool matches;
    } cases[] = {{"song.wav", true}, {"SONG.WAV", true}, {"Song.Wav", true}, {"song.mp3", false}, {"song.wave", false}};
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(
        QString::fromStdString(platform::CaseInsensitivePattern("*.wav"))));
    for (const Case& c : cases) EXPECT_EQ(re.match(QString::fromUtf8(c.name)).hasMatch(), c.matches) << c.name;
}

}  // namespace
