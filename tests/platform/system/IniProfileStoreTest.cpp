#include "platform/system/IniProfileStore.h"

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

class IniStoreTest : public ::testing::Test {
protected:
    // Folders below the temporary one do not exist yet: the first write makes them.
    std::string Path() const { return dir.File("Corvane/Gigbox Setlister.ini"); }
    std::string FileText() const {
        auto bytes = gbxtest::ReadBytes(Path());
        return std::string(bytes.begin(), bytes.end());
    }

    gbxtest::TempDir dir;
    platform::CIniStore store{Path()};
};

TEST_F(IniStoreTest, MissingFileSectionOrEntryGivesTheDefault) {
    EXPECT_EQ(store.GetString("Option", "SaveMemory", "dflt"), "dflt");
    EXPECT_EQ(store.GetInt("Option", "SaveMemory", 7), 7);
    ASSERT_TRUE(store.WriteString("Option", "Other", "x"));
    EXPECT_EQ(store.GetString("Option", "SaveMemory", "dflt"), "dflt");
    EXPECT_EQ(store.GetString("Window", "Other", "dflt"), "dflt");
}

TEST_F(IniStoreTest, EveryValueReadsBackExactly) {
    const std::string values[] = {
        "120,80,64",
        "",
        "  blanks around  ",
        "a=b=c",
        "\"quoted\"",
        "\"",
        "line1\nline2",
        "crlf\r\n",
        "back\\slash\\",
        "\\n is not a line break",
        "tab\there",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
        std::string("nul\0inside", 10),
        "[Looks like a section]",
        "; looks like a comment",
    };
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_TRUE(store.WriteString("Values", "v" + std::to_string(i), values[i])) << i;

    platform::CIniStore fresh(Path());
    for (size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(fresh.GetString("Values", "v" + std::to_string(i), "missing"), values[i]) << i;
    // Plain values stay plain in the file, readable by a person.
    EXPECT_NE(FileText().find("\nv0=120,80,64\n"), std::string::npos) << FileText();
}

TEST_F(IniStoreTest, ConfigParserReadsTheFile) {
    ASSERT_TRUE(store.WriteString("Window", "Position", "10,20,610,420"));
    ASSERT_TRUE(store.WriteInt("Window", "Maximized", 1));
    ASSERT_TRUE(store.WriteString("Tmnet", "ProxyServer", "proxy.example:8080"));
    ASSERT_TRUE(store.WriteString("a", "b/c", "slash in the entry"));
    auto r = gbxtest::Python(
        "import configparser, sys\n"
        "p = configparser.ConfigParser(interpolation=None, delimiters=('=',))\n"
        "p.optionxform = str\n"
        "p.read(sys.argv[1], encoding='utf-8')\n"
        "for s in p.sections():\n"
        "    for k, v in p.items(s): print(f'{s}|{k}|{v}')\n",
        {Path()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output,
              "Window|Position|10,20,610,420\nWindow|Maximized|1\n"
              "Tmnet|ProxyServer|proxy.example:8080\na|b/c|slash in the entry\n");
}

TEST_F(IniStoreTest, OverwritingKeepsOneEntryAndTheOthers) {
    ASSERT_TRUE(store.WriteString("Option", "SaveMemory", "1"));
    ASSERT_TRUE(store.WriteString("Option", "Export", "/home/u/"));
    ASSERT_TRUE(store.WriteString("Option", "SaveMemory", "0"));
    EXPECT_EQ(FileText(), "[Option]\nSaveMemory=0\nExport=/home/u/\n");
}

TEST_F(IniStoreTest, NamesMatchWithoutCaseAndKeepTheirFirstSpelling) {
    ASSERT_TRUE(store.WriteString("Option", "SaveMemory", "1"));
    EXPECT_EQ(store.GetString("OPTION", "savememory", ""), "1");
    ASSERT_TRUE(store.WriteString("option", "SAVEMEMORY", "0"));
    EXPECT_EQ(FileText(), "[Option]\nSaveMemory=0\n");
}

TEST_F(IniStoreTest, NamesTheFileCannotHoldAreRefusedAndNothingChanges) {
    ASSERT_TRUE(store.WriteString("Option", "SaveMemory", "1"));
    const std::string before = FileText();
    const std::pair<std::string, std::string> refused[] = {
        {"Option", "a=b"}, {"Option", "two\nlines"},           {"Option", "[x]"},
        {"Op\ntion", "x"}, {"Option", std::string("n\0l", 3)}, {"Option", ";x"},
    };
    for (const auto& [section, entry] : refused) EXPECT_FALSE(store.WriteString(section, entry, "v")) << entry;
    EXPECT_EQ(FileText(), before);
}

TEST_F(IniStoreTest, EmptySectionAndEntryNamesWork) {
    ASSERT_TRUE(store.WriteString("", "x", "empty section"));
    ASSERT_TRUE(store.WriteString("Window", "", "empty entry"));
    platform::CIniStore fresh(Path());
    EXPECT_EQ(fresh.GetString("", "x", ""), "empty section");
    EXPECT_EQ(fresh.GetString("Window", "", ""), "empty entry");
}

TEST_F(IniStoreTest, WriteLeavesNoTemporaryFileAndAPrivateMode) {
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(store.WriteInt("Window", "Maximized", i));
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.File("Corvane"))) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"Gigbox Setlister.ini"});
    struct stat st;
    ASSERT_EQ(::stat(Path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(IniStoreTest, WriteThatCannotMakeItsFolderIsReported) {
    // The folder cannot be made: a plain file stands in its place.
    gbxtest::WriteText(dir.File("blocked"), "not a folder");
    platform::CIniStore blocked(dir.File("blocked/Gigbox Setlister.ini"));
    EXPECT_FALSE(blocked.WriteString("Option", "SaveMemory", "1"));
    EXPECT_EQ(blocked.GetString("Option", "SaveMemory", "dflt"), "dflt");
}

TEST_F(IniStoreTest, ASymbolicLinkStaysALinkAndItsTargetIsReplaced) {
    gbxtest::WriteText(dir.File("real.ini"), "[Option]\nSaveMemory=1\n");
    fs::create_directories(dir.File("Corvane"));
    fs::create_symlink(dir.File("real.ini"), Path());
    ASSERT_TRUE(store.WriteString("Option", "SaveMemory", "0"));
    EXPECT_TRUE(fs::is_symlink(Path()));
    auto bytes = gbxtest::ReadBytes(dir.File("real.ini"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "[Option]\nSaveMemory=0\n");
}

TEST_F(IniStoreTest, HandEditedFileIsRead) {
    fs::create_directories(dir.File("Corvane"));
    gbxtest::WriteText(Path(), "; settings\r\n# more\r\nTop=level\r\n[Window]\r\nPosition=1,2,3,4\r\njunk line\r\n");
    EXPECT_EQ(store.GetString("Window", "Position", ""), "1,2,3,4");
    EXPECT_EQ(store.GetString("", "Top", ""), "level");
    ASSERT_TRUE(store.WriteString("Window", "Maximized", "1"));
    EXPECT_EQ(store.GetString("Window", "Position", ""), "1,2,3,4");
    EXPECT_EQ(store.GetString("", "Top", ""), "level");
}

TEST_F(IniStoreTest, IntegersAreDecimalTextAndParseLeniently) {
    ASSERT_TRUE(store.WriteInt("Window", "Maximized", -5));
    EXPECT_EQ(FileText(), "[Window]\nMaximized=-5\n");
    EXPECT_EQ(store.GetInt("Window", "Maximized", 0), -5);

    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"12", 12},  {" 12 apples", 12}, {"-0x10", -16},     {"010", 8},          {"2147483647", 2147483647},
        {"abc", 99}, {"", 99},           {"4294967296", 99}, {"-2147483649", 99},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(store.WriteString("Int", "v", c.text));
        EXPECT_EQ(store.GetInt("Int", "v", 99), c.expected) << '"' << c.text << '"';
    }
}

TEST(ConfigHomeTest, FollowsXdgConfigHomeElseHome) {
    gbxtest::ScopedEnvironment home("HOME", "/home/someone");
    {
        gbxtest::ScopedEnvironment xdg("XDG_CONFIG_HOME", "/tmp/cfg");
        EXPECT_EQ(platform::ConfigHome(), "/tmp/cfg");
        EXPECT_EQ(platform::ProfilePathFor("Corvane", "Gigbox Setlister"), "/tmp/cfg/Corvane/Gigbox Setlister.ini");
    }
    for (const char* ignored : {static_cast<const char*>(nullptr), "", "relative/cfg"}) {
        gbxtest::ScopedEnvironment xdg("XDG_CONFIG_HOME", ignored);
        EXPECT_EQ(platform::ConfigHome(), "/home/someone/.config");
    }
}

TEST(AppProfileTest, FrameworkCallsGoToTheProgramsFile) {
    const std::string path = platform::GetAppProfile().GetPath();
    const std::string tail = "/Corvane/Gigbox Setlister.ini";
    ASSERT_GE(path.size(), tail.size());
    EXPECT_EQ(path.substr(path.size() - tail.size()), tail);

    gbxtest::TempDir dir;
    platform::GetAppProfile().SetPath(dir.File("app.ini"));
    EXPECT_TRUE(platform::WriteProfileInt("Window", "Maximized", 1));
    EXPECT_TRUE(platform::WriteProfileString("Window", "Position", "0,0,600,400"));
    EXPECT_EQ(platform::GetProfileInt("Window", "Maximized", 0), 1);
    EXPECT_EQ(platform::GetProfileString("Window", "Position", ""), "0,0,600,400");
    EXPECT_EQ(platform::GetProfileInt("Window", "Missing", 3), 3);
    platform::GetAppProfile().SetPath(path);
}

}  // namespace
