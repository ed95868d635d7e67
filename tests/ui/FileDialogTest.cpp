#include "platform/system/IniProfileStore.h"
#include "platform/window/Application.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WidgetDriver.h"
#include "ui/FileDialog.h"

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>

#include <filesystem>

namespace {

const std::vector<UL::CFileFilter> kSongFilters = {UL::CFileFilter("Song", "*.wav; *.aiff; *.aif; *.mp3"),
                                                   UL::CFileFilter("All Files", "*.*")};

TEST(FileFilter, EntriesAreNormalisedAndJoined) {
    EXPECT_EQ(kSongFilters[0].GetDescription(), "Song Files");
    EXPECT_EQ(kSongFilters[1].GetDescription(), "All Files");
    EXPECT_EQ(UL::CFileFilter("Wave", ".wav").GetExtensions(), "*.wav");
    EXPECT_EQ(UL::CFileFilter("", "*.*").GetDescription(), " Files");
    EXPECT_EQ(UL::MakeFilterText(kSongFilters),
              "Song Files (*.wav; *.aiff; *.aif; *.mp3)|*.wav; *.aiff; *.aif; *.mp3|All Files (*.*)|*.*||");
    EXPECT_EQ(UL::MakeFilterText({}), "|");
}

TEST(FileDialogSetup, FlagsTitleExtensionAndBuffer) {
    struct Case {
        bool open;
        int flags;
        int expected;
        const char* title;
    } cases[] = {
        {true, 0, 0x4 | 0x1000 | 0x800000 | 0x80000 | 0x20, "Open"},
        {false, 0, 0x2 | 0x4 | 0x800 | 0x800000 | 0x80000 | 0x20, "Save As"},
        {true, 0x4 | 0x200 | 0x1000 | 0x800000, 0x4 | 0x200 | 0x1000 | 0x800000 | 0x80000 | 0x20, "Open"},
    };
    for (const Case& c : cases) {
        UL::CFileDialogA dialog(c.open, ".wav", "name.wav", c.flags, kSongFilters);
        EXPECT_EQ(dialog.GetFlags(), c.expected);
        EXPECT_EQ(dialog.GetTitle(), c.title);
        EXPECT_EQ(dialog.GetDefaultExtension(), "wav");
        EXPECT_EQ(dialog.GetFileName(), "name.wav");
        EXPECT_EQ(dialog.GetFileNameBufferLength(), 260);
        EXPECT_EQ(dialog.GetFilterText(), UL::MakeFilterText(kSongFilters));
    }
    UL::CFileDialogA titled(true, "", "", 0, {}, "Import songs");
    EXPECT_EQ(titled.GetTitle(), "Import songs");
    titled.SetFileNameBufferLength(2047);
    EXPECT_EQ(titled.GetFileNameBufferLength(), 2047);
    titled.SetFileNameBufferLength(100);
    EXPECT_EQ(titled.GetFileNameBufferLength(), 2047);
}

TEST(FileDialogSetup, CaptionNamesTheFolderWithOneTrailingSeparator) {
    EXPECT_EQ(UL::MakeFolderCaption("Open", "/home/user/music"), "Open - /home/user/music/");
    EXPECT_EQ(UL::MakeFolderCaption("Open", "/home/user/music//"), "Open - /home/user/music/");
    EXPECT_EQ(UL::MakeFolderCaption("Open", "/"), "Open - /");
    EXPECT_EQ(UL::WithoutTrailingSeparator("/a/b/"), "/a/b");
    EXPECT_EQ(UL::WithoutTrailingSeparator("/"), "/");
}

class FileDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        gbxtest::UseOffscreenToolkitUnlessSet();
        ASSERT_TRUE(platform::StartWindowSystem());
        platform::GetAppProfile().SetPath(dir.File("profile.ini"));
        std::filesystem::create_directories(dir.File("start"));
        std::filesystem::create_directories(dir.File("music/sub"));
        gbxtest::WriteText(dir.File("music/one.WAV"), "x");
        gbxtest::WriteText(dir.File("music/two.mp3"), "x");
    }
    gbxtest::TempDir dir;
};

TEST_F(FileDialogTest, CancelStillStoresTheFolderAndFilter) {
    platform::WriteProfileString("Settings", "Folder", dir.File("start"));
    UL::CFileDialogA dialog(true, "", "", 0x4 | 0x200 | 0x1000 | 0x800000, kSongFilters);
    dialog.SetInitialDirectorySetting("Settings", "Folder", "");
    dialog.SetFilterIndexSetting("Settings", "Filter", 1);
    EXPECT_EQ(dialog.GetCurrentFolder(), dir.File("start"));
    EXPECT_EQ(dialog.GetFilterIndex(), 1);
    QString firstCaption, movedCaption, directory;
    QStringList nameFilters;
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(chooser, nullptr);
        EXPECT_TRUE(chooser->testOption(QFileDialog::DontUseNativeDialog));
        firstCaption = chooser->windowTitle();
        directory = chooser->directory().absolutePath();
        nameFilters = chooser->nameFilters();
        chooser->setDirectory(QString::fromStdString(dir.File("music")));
        movedCaption = chooser->windowTitle();
        chooser->selectNameFilter(chooser->nameFilters().at(1));
        chooser->reject();
    });
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(directory.toStdString(), dir.File("start"));
    EXPECT_EQ(firstCaption.toStdString(), "Open - " + dir.File("start") + "/");
    EXPECT_EQ(movedCaption.toStdString(), "Open - " + dir.File("music") + "/");
    ASSERT_EQ(nameFilters.size(), 2);
    EXPECT_EQ(nameFilters.at(1).toStdString(), "All Files (*)");
    EXPECT_TRUE(dialog.GetPathNames().empty());
    EXPECT_EQ(platform::GetProfileString("Settings", "Folder", ""), dir.File("music"));
    EXPECT_EQ(platform::GetProfileInt("Settings", "Filter", 0), 2);
}

TEST_F(FileDialogTest, ConfirmedChoiceGivesThePathsInOrder) {
    UL::CFileDialogA dialog(true, "", "", 0x4 | 0x200 | 0x1000 | 0x800000, kSongFilters);
    dialog.SetInitialDirectorySetting("Settings", "Folder", dir.File("music"));
    dialog.SetFilterIndexSetting("Settings", "Filter", 1);
    gbxtest::WhenModalAppears([&](QWidget* modal) {
        auto* chooser = qobject_cast<QFileDialog*>(modal);
        chooser->selectFile("\"one.WAV\" \"two.mp3\"");
        static_cast<QDialog*>(chooser)->accept();  // QFileDialog checks the choice
    });
    EXPECT_EQ(dialog.DoModal(), 1);
    EXPECT_EQ(dialog.GetPathNames(), (std::vector<std::string>{dir.File("music/one.WAV"), dir.File("music/two.mp3")}));
    EXPECT_EQ(platform::GetProfileString("Settings", "Folder", ""), dir.File("music"));
    EXPECT_EQ(platform::GetProfileInt("Settings", "Filter", 0), 1);
}

TEST_F(FileDialogTest, WithoutSettingsNothingIsStored) {
    UL::CFileDialogA dialog(false, "wav", "out.wav", 0, kSongFilters, "", nullptr);
    gbxtest::WhenModalAppears([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(dialog.DoModal(), 2);
    EXPECT_EQ(platform::GetProfileString("Settings", "Folder", "<none>"), "<none>");
}

class FolderChooserTest : public FileDialogTest {
protected:
    // Moves the chooser to the folder and confirms, or cancels when the folder is empty.
    void ChooseIn(const std::string& folder) {
        gbxtest::WhenModalAppears([this, folder](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            caption = chooser->windowTitle();
            auto* buttons = chooser->findChild<QDialogButtonBox*>();
            cancelText = buttons->button(QDialogButtonBox::Cancel)->text().remove('&');
            if (folder.empty()) {
                chooser->reject();
                return;
            }
            chooser->setDirectory(QString::fromStdString(folder));
            chooser->selectFile(QString::fromStdString(folder));
            static_cast<QDialog*>(chooser)->accept();  // QFileDialog checks the choice
        });
    }
    QString caption, cancelText;
    UL::CDirectoryDialogA chooser;
};

TEST_F(FolderChooserTest, ChosenFolderHasNoTrailingSeparator) {
    std::string path = "unchanged";
    ChooseIn(dir.File("music/sub"));
    EXPECT_EQ(chooser.Browse(dir.File("music"), "Export to", path), 0);
    EXPECT_EQ(path, dir.File("music/sub"));
    EXPECT_EQ(caption, "Export to");
    EXPECT_EQ(cancelText, "Cancel");
}

TEST_F(FolderChooserTest, RootStaysRoot) {
    std::string path;
    ChooseIn("/");
    EXPECT_EQ(chooser.Browse(dir.File("music"), "Export to", path), 0);
    EXPECT_EQ(path, "/");
}

TEST_F(FolderChooserTest, CancelAnswersOneAndLeavesThePath) {
    std::string path = "unchanged";
    ChooseIn("");
    EXPECT_EQ(chooser.Browse(dir.File("music") + "/", "Export to", path), 1);
    EXPECT_EQ(path, "unchanged");
    UL::CDirectoryDialog dialog(dir.File("music") + "/", "c", nullptr);
    EXPECT_EQ(dialog.GetInitialPath(), dir.File("music"));
}

}  // namespace
