#include "general_tools/Paths.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(PathsTest, IsValidPathName) {
    const struct {
        const char* path;
        bool valid;
    } cases[] = {
        {"C:/a", true}, {"C:a:b", false}, {"\\\\server\\share", true}, {"C:\\a\\\\b", false},    {":a", false},
        {"", true},     {"a\\b", true},   {"\\\\\\x", false},          {"/home/me/x.wav", true},
    };
    for (const auto& c : cases) EXPECT_EQ(GT::IsValidPathName(c.path), c.valid) << c.path;
}

TEST(PathsTest, ConvertPathSlashes) {
    const struct {
        const char* path;
        bool toSlash;
        const char* result;
    } cases[] = {
        {"C:/a/b", false, "C:\\a\\b"},
        {"C:\\a\\b", true, "C:/a/b"},
        {"a/b\\c", true, "a/b/c"},
        {"a/b\\c", false, "a\\b\\c"},
        {"", true, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(GT::ConvertPathSlashes(c.path, c.toSlash), c.result) << c.path;
}

TEST(PathsTest, AdjustTrailingBackslash) {
    const struct {
        const char* path;
        bool add;
        const char* result;
    } cases[] = {
        {"C:\\a\\", false, "C:\\a"},
        {"C:", false, "C:\\"},
        {"", true, "\\"},
        {"", false, ""},
        {"C:\\a", true, "C:\\a\\"},
        {"C:\\a\\", true, "C:\\a\\"},
        {"C:\\", false, "C:\\"},
        {"\\", false, "\\"},
        {"a\\\\", false, "a\\"},
        {"\\\\srv\\share", false, "\\\\srv\\share\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GT::AdjustTrailingBackslash(c.path, c.add), c.result) << c.path << " " << c.add;
}

TEST(PathsTest, SplitPath) {
    const struct {
        const char* path;
        const char* root;
        const char* directory;
        const char* title;
        const char* extension;
    } cases[] = {
        {"C:/a/b/c.txt", "C:", "a/b", "c", ".txt"},
        {"//srv/share/d/f", "//srv/share", "d", "f", ""},
        {"f.txt", "f.txt", "", "", ""},
        {"C:/", "C:", "", "", ""},
        {"//server/", "//server/", "", "", ""},
        {"/a/b/c/song.v1.wav", "/a/b/c", "", "song.v1", ".wav"},  // a leading "/" takes four tokens as root
        {"/a/b.c", "/a/b.c", "", "", ""},
        {"C:/a/", "C:", "a", "", ""},
        {"C:/a/.hidden", "C:", "a", "", ".hidden"},
        {"", "", "", "", ""},
    };
    for (const auto& c : cases) {
        std::string root, directory, title, extension;
        GT::SplitPath(c.path, &root, &directory, &title, &extension);
        EXPECT_EQ(root, c.root) << c.path;
        EXPECT_EQ(directory, c.directory) << c.path;
        EXPECT_EQ(title, c.title) << c.path;
        EXPECT_EQ(extension, c.extension) << c.path;
    }
    std::string title;
    GT::SplitPath("C:/x/y.z", nullptr, nullptr, &title, nullptr);
    EXPECT_EQ(title, "y");
}

TEST(PathsTest, SplitPathComponents) {
    const struct {
        std::string path;
        std::string drive;
        std::string directory;
        std::string title;
        std::string extension;
    } cases[] = {
        {"C:\\dir\\sub/file.tar.gz", "C:", "\\dir\\sub/", "file.tar", ".gz"},
        {"/usr/bin/gbx", "", "/usr/bin/", "gbx", ""},
        {"name.", "", "", "name", "."},
        {"dir.d/file", "", "dir.d/", "file", ""},
        {"", "", "", "", ""},
        {"/a/" + std::string(300, 't') + ".wav", "", "/a/", std::string(255, 't'), ".wav"},
    };
    for (const auto& c : cases) {
        std::string drive, directory, title, extension;
        GT::SplitPathComponents(c.path, &drive, &directory, &title, &extension);
        EXPECT_EQ(drive, c.drive) << c.path;
        EXPECT_EQ(directory, c.directory) << c.path;
        EXPECT_EQ(title, c.title) << c.path;
        EXPECT_EQ(extension, c.extension) << c.path;
    }
}

TEST(PathsTest, RootPaths) {
    const struct {
        const char* path;
        bool root;
        bool anySlash;
    } cases[] = {
        {"C:/", true, true},
        {"C:", true, true},
        {"//server/share", true, true},
        {"//server/", false, false},
        {"C:/a", false, false},
        {"C:\\", true, true},
        {"\\\\srv\\share", false, true},
        {"/", false, false},
        {"1:/", false, false},
        {"//s/share/x", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GT::IsRootPath(c.path), c.root) << c.path;
        EXPECT_EQ(GT::IsRootPathAnySlash(c.path), c.anySlash) << c.path;
    }
}

TEST(PathsTest, ShortcutPathsAndMin) {
    EXPECT_TRUE(GT::IsShortcutPath("a.lnk"));
    EXPECT_TRUE(GT::IsShortcutPath(".lnk"));
    EXPECT_FALSE(GT::IsShortcutPath("x.LNK"));
    EXPECT_FALSE(GT::IsShortcutPath("lnk"));
    EXPECT_FALSE(GT::IsShortcutPath("a.lnkx"));
    EXPECT_EQ(GT::Min(3, -2), -2);
    EXPECT_EQ(GT::Min(4, 4), 4);
}

TEST(PathsTest, PathParts) {
    const struct {
        const char* path;
        char separator;
        const char* directory;
        const char* title;
        const char* extension;
    } cases[] = {
        {"a/b/c.d.wav", '/', "a/b/", "c.d", ".wav"},
        {"name.", '/', "", "name", "."},
        {".x", '/', "", "", ".x"},
        {"dir/", '/', "dir/", "", ""},
        {"", '/', "", "", ""},
        {"say \"hi\"/x\\y.wav", '/', "say \"hi\"/", "x\\y", ".wav"},  // quotes and backslashes survive
        {"q\"a/b\"c.txt", '/', "q\"a/", "b\"c", ".txt"},              // a quote does not protect a separator
        {"C:\\songs\\a.mp3", '\\', "C:\\songs\\", "a", ".mp3"},
    };
    for (const auto& c : cases) {
        GT::CPathParts parts(c.path, c.separator);
        EXPECT_EQ(parts.directory, c.directory) << c.path;
        EXPECT_EQ(parts.title, c.title) << c.path;
        EXPECT_EQ(parts.extension, c.extension) << c.path;
        EXPECT_EQ(parts.separator, c.separator);
    }
}

// The direct cut gives what the tokenizer gives, on every path of up to six characters made of
// separators, dots and letters.
TEST(PathsTest, PathPartsCutDirectlyAsByTheTokenizer) {
    const std::string alphabet = "a/.";
    std::vector<std::string> paths = {""};
    for (size_t begin = 0, length = 1; length <= 6; ++length) {
        const size_t end = paths.size();
        for (size_t i = begin; i < end; ++i)
            for (char c : alphabet) paths.push_back(paths[i] + c);
        begin = end;
    }
    for (const std::string& path : paths) {
        const GT::CPathParts direct(path, '/');
        GT::CPathParts tokens("", '/');
        GT::detail::CutPathByTokens(path, tokens);
        EXPECT_EQ(direct.directory, tokens.directory) << path;
        EXPECT_EQ(direct.title, tokens.title) << path;
        EXPECT_EQ(direct.extension, tokens.extension) << path;
    }
}

// Restores the character-type locale after a test switched it.
class CTypeLocale {
public:
    CTypeLocale() : m_old(std::setlocale(LC_CTYPE, nullptr)) {}
    ~CTypeLocale() { std::setlocale(LC_CTYPE, m_old.c_str()); }
    bool Use(const char* name) { return std::setlocale(LC_CTYPE, name) != nullptr; }

private:
    std::string m_old;
};

TEST(PathsTest, TrailByteOfADoubleByteCharacterIsNoSeparator) {
    // A Big5 locale of our own, so the test does not depend on the locales installed.
    gbxtest::TempDir dir;
    if (!gbxtest::HaveCommand("localedef")) GTEST_SKIP() << "localedef is not installed";
    const auto made = gbxtest::Run("localedef -f BIG5 -i zh_TW " + gbxtest::Quote(dir.File("zh_TW.BIG5")) + " 2>&1");
    if (made.exitCode != 0) GTEST_SKIP() << "localedef cannot make a Big5 locale here: " << made.output;
    gbxtest::ScopedEnvironment path("LOCPATH", dir.Path());
    CTypeLocale locale;
    ASSERT_TRUE(locale.Use("zh_TW.BIG5"));
    // 0xA5 0x5C is one character whose trail byte has the backslash's value.
    const std::string dbcs = "\xA5\x5C";
    EXPECT_EQ(GT::ConvertPathSlashes("a\\" + dbcs, true), "a/" + dbcs);
    EXPECT_EQ(GT::AdjustTrailingBackslash("a" + dbcs, false), "a" + dbcs);
    EXPECT_EQ(GT::AdjustTrailingBackslash("a" + dbcs, true), "a" + dbcs + "\\");
    EXPECT_TRUE(GT::IsValidPathName(dbcs + "\\x"));
    std::string directory, title;
    GT::SplitPathComponents("C:\\d\\" + dbcs + ".wav", nullptr, &directory, &title, nullptr);
    EXPECT_EQ(directory, "\\d\\");
    EXPECT_EQ(title, dbcs);
}

TEST(PathsTest, Utf8TextIsCutOnlyAtItsSeparators) {
    CTypeLocale locale;
    if (!locale.Use("C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
    const std::string name = "\xE6\x9B\xB2";  // a kanji, three bytes
    std::string root, directory, title, extension;
    GT::SplitPath("C:/" + name + "/" + name + ".wav", &root, &directory, &title, &extension);
    EXPECT_EQ(directory, name);
    EXPECT_EQ(title, name);
    EXPECT_EQ(GT::ConvertPathSlashes(name + "\\x", true), name + "/x");
}

}  // namespace
