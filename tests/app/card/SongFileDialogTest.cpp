// The real song file chooser, offscreen: its filters, its answers and the settings it keeps.
#include "app/card/AppServices.h"

#include "platform/system/IniProfileStore.h"
#include "tests/app/card/CardTestSupport.h"
#include "tests/support/WidgetDriver.h"

#include <gtest/gtest.h>

#include <QFileDialog>

namespace {

class SongFileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        CFileDialogX::SetInstance(nullptr);  // the real chooser
        music = environment.Dir().File("music");
        std::filesystem::create_directories(music);
        for (const char* name : {"one.WAV", "two.mp3", "three.Aiff", "four.flac"})
            gbxtest::WriteText(music + "/" + name, "x");
        platform::WriteProfileString("SongFileDialog", "InitialDirectory", music);
    }
    cardtest::CCardEnvironment environment;
    std::string music;
};

TEST_F(SongFileDialogTest, ChosenSongsAndTheSettingsKept) {
    QStringList filters, shown;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        filters = chooser->nameFilters();
        EXPECT_EQ(chooser->fileMode(), QFileDialog::ExistingFiles);
        chooser->selectFile("\"one.WAV\" \"two.mp3\"");
        static_cast<QDialog*>(chooser)->accept();
    });
    std::vector<std::string> paths = {"/earlier.wav"};
    EXPECT_EQ(CFileDialogX::GetInstance().ChooseFiles(paths), 0);
    EXPECT_EQ(paths, (std::vector<std::string>{"/earlier.wav", music + "/one.WAV", music + "/two.mp3"}));
    ASSERT_EQ(filters.size(), 2);
    EXPECT_TRUE(filters.at(0).startsWith("Song Files")) << filters.at(0).toStdString();
    for (const char* extension : {"[wW][aA][vV]", "[aA][iI][fF][fF]", "[aA][iI][fF]", "[mM][pP]3"})
        EXPECT_TRUE(filters.at(0).contains(extension)) << extension << " in " << filters.at(0).toStdString();
    EXPECT_TRUE(filters.at(1).startsWith("All Files"));
    EXPECT_EQ(platform::GetProfileString("SongFileDialog", "InitialDirectory", ""), music);
    EXPECT_EQ(platform::GetProfileInt("SongFileDialog", "InitialFilterIndex", -1), 1);
}

TEST_F(SongFileDialogTest, CancelAnswersOneAndAddsNothing) {
    gbxtest::WhenModalAppears([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    std::vector<std::string> paths;
    EXPECT_EQ(CFileDialogX::GetInstance().ChooseFiles(paths), 1);
    EXPECT_TRUE(paths.empty());
}

}  // namespace
