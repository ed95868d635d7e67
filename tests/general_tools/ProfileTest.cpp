#include "general_tools/Profile.h"

#include "general_tools/VersionStrings.h"
#include "platform/system/IniProfileStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

// Points the program's settings file at a fresh temporary folder.
class ProfileTest : public ::testing::Test {
protected:
    ProfileTest() : m_oldPath(platform::GetAppProfile().GetPath()) {
        platform::GetAppProfile().SetPath(dir.File("Corvane/Gigbox Setlister.ini"));
    }
    ~ProfileTest() override { platform::GetAppProfile().SetPath(m_oldPath); }

    // What the file holds, read past our own code's parsing of keys and numbers.
    static std::string Stored(const std::string& section, const std::string& entry) {
        return platform::GetProfileString(section, entry, "<missing>");
    }

    gbxtest::TempDir dir;
    GT::IProfile& profile = GT::GetProfile();

private:
    std::string m_oldPath;
};

TEST_F(ProfileTest, KeySplitsAtTheFirstSlash) {
    const struct {
        const char* key;
        const char* section;
        const char* entry;
    } cases[] = {
        {"Option/SaveMemory", "Option", "SaveMemory"},
        {"a/b/c", "a", "b/c"},
        {"Window", "Window", "Window"},
        {"/x", "", "x"},
        {"x/", "x", ""},
    };
    for (const auto& c : cases) {
        std::string section = "?", entry = "?";
        GT::CIniProfile::GetInstance().SplitKey(c.key, section, entry);
        EXPECT_EQ(section, c.section) << c.key;
        EXPECT_EQ(entry, c.entry) << c.key;
        profile.WriteString(c.key, std::string("value of ") + c.key);
        EXPECT_EQ(Stored(c.section, c.entry), std::string("value of ") + c.key);
        EXPECT_EQ(profile.GetString(c.key, ""), std::string("value of ") + c.key);
    }
}

TEST_F(ProfileTest, IntegersAreDecimalText) {
    profile.WriteInt("Option/SaveMemory", -5);
    EXPECT_EQ(Stored("Option", "SaveMemory"), "-5");
    EXPECT_EQ(profile.GetInt("Option/SaveMemory", 1), -5);
    EXPECT_EQ(profile.GetInt("Option/Missing", 7), 7);

    const struct {
        const char* stored;
        int expected;
    } cases[] = {
        {"abc", 0}, {"", 0}, {" 12 words", 12}, {"-0x10", -16}, {"010", 8}, {"0x7FFFFFFF", 2147483647},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(platform::WriteProfileString("Tmnet", "ProxyUse", c.stored));
        EXPECT_EQ(profile.GetInt("Tmnet/ProxyUse", 7), c.expected) << '"' << c.stored << '"';
    }
}

TEST_F(ProfileTest, TextsReadBackUnchanged) {
    for (const std::string value : {"120,80,64", " spaced ", "C:\\Music\\", "", "Manual/en.pdf"}) {
        profile.WriteString("TrackTableControl/ColumnWidth", value);
        EXPECT_EQ(profile.GetString("TrackTableControl/ColumnWidth", "dflt"), value);
    }
    EXPECT_EQ(profile.GetString("ExportDialog/InitialDirectory", "dflt"), "dflt");
}

TEST_F(ProfileTest, FrameworkIntegerCallsAndProfileIntegersAgree) {
    ASSERT_TRUE(platform::WriteProfileInt("Window", "Maximized", 1));
    EXPECT_EQ(GT::GetAppProfileInt("Window", "Maximized", 0), 1);
    GT::WriteAppProfileInt("Option", "SaveMemory", 0);
    EXPECT_EQ(platform::GetProfileInt("Option", "SaveMemory", 1), 0);
    EXPECT_TRUE(GT::WriteAppProfileString("Window", "Position", "0,0,600,400"));
    EXPECT_EQ(GT::GetAppProfileString("Window", "Position", ""), "0,0,600,400");
}

TEST_F(ProfileTest, OneProcessWideProfile) {
    EXPECT_EQ(&GT::GetProfile(), static_cast<GT::IProfile*>(&GT::CIniProfile::GetInstance()));
}

TEST_F(ProfileTest, StoredFileVersionIsEmptyUntilStored) {
    EXPECT_EQ(GT::GetStoredFileVersion(), "");
    GT::StoreFileVersion();
    const std::string version = GT::ReadExecutableVersionString("FileVersion");
    EXPECT_FALSE(version.empty());
    EXPECT_EQ(GT::GetStoredFileVersion(), version);
    EXPECT_EQ(Stored("Version", "FileVersion"), version);
}

TEST(VersionStringsTest, ReadFromTheProgramsBlockOrEmpty) {
    EXPECT_EQ(GT::ReadExecutableVersionString("FileDescription"), "Gigbox Setlister");
    EXPECT_EQ(GT::ReadModuleVersionString("FileDescription"), "Gigbox Setlister");
    EXPECT_EQ(GT::ReadModuleVersionString("ProductVersion"), GT::ReadExecutableVersionString("ProductVersion"));
    ASSERT_NE(GT::GetInstanceModuleState(), nullptr);
    EXPECT_EQ(GT::ReadVersionString(GT::GetInstanceModuleState(), "FileDescription"), "Gigbox Setlister");
    EXPECT_EQ(GT::ReadExecutableVersionString("NoSuchString"), "");
    EXPECT_EQ(GT::ReadVersionString(nullptr, "FileVersion"), "");
    // A module whose block lacks the string.
    const platform::CVersionBlock::Item items[] = {{"CompanyName", "Corvane"}};
    const platform::CVersionBlock block(items, 1);
    EXPECT_EQ(GT::ReadVersionString(&block, "FileVersion"), "");
    EXPECT_EQ(GT::ReadVersionString(&block, "CompanyName"), "Corvane");
}

}  // namespace
