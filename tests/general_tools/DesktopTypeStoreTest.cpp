// The card database as a document type of the desktop, judged by the desktop's own tools: xdg-mime
// names the type of a ".Q3D" file and the entry that opens it; unregistering takes away exactly what
// registering wrote and gives another program's type back. All in private data folders.
#include "general_tools/DesktopTypeStore.h"

#include "tests/support/PngWriter.h"
#include "tests/support/ScopedEnvironment.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

constexpr const char* kId = "GigboxConverter.Document";
constexpr const char* kType = "application/x-gigboxconverter.document";
constexpr const char* kEntry = "GigboxConverter.Document.desktop";

// Files below a folder, relative to it, without the caches the desktop's commands make.
std::set<std::string> WrittenFiles(const std::string& folder) {
    std::set<std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string relative = std::filesystem::relative(entry.path(), folder).string();
        const bool cache = (relative.rfind("mime/", 0) == 0 && relative.rfind("mime/packages/", 0) != 0)
                           || relative == "applications/mimeinfo.cache";
        if (!cache) files.insert(relative);
    }
    return files;
}

class DesktopTypeStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"xdg-mime", "mimetype", "update-mime-database", "update-desktop-database"})
            if (!gbxtest::HaveCommand(tool)) GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
        std::filesystem::create_directories(dir.File("files"));
        gbxtest::WriteText(card, "not a real database");
        gbxtest::WriteText(lowerCard, "");
        store.SetApplicationName("Gigbox Setlister");
        store.SetIconWriter([](const std::string& path) {
            return gbxtest::WriteGreyPng(path, 2, 2, std::vector<uint8_t>{0, 255, 255, 0});
        });
    }
    void TearDown() override {
        store.SetIconWriter(nullptr);
        store.SetApplicationName("");
    }
    bool Register(bool unregister) {
        return GT::RegisterDocumentType(store, ".Q3D", kId, "Gigbox Converter Document", 1, unregister);
    }
    // What the desktop answers, without the line end.
    static std::string Ask(const std::string& arguments) {
        std::string out = gbxtest::Run("xdg-mime query " + arguments).output;
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        return out;
    }
    std::string TypeOfCard() const { return Ask("filetype " + gbxtest::Quote(card)); }
    // Another program that claims the extension, installed as such programs install themselves.
    void InstallOtherProgram() {
        std::filesystem::create_directories(data + "/mime/packages");
        std::filesystem::create_directories(data + "/applications");
        gbxtest::WriteText(data + "/mime/packages/other-q3d.xml",
                           "<?xml version=\"1.0\"?>\n<mime-info "
                           "xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                           "<mime-type type=\"application/x-other-q3d\"><comment>Other</comment>"
                           "<glob pattern=\"*.q3d\"/></mime-type>\n</mime-info>\n");
        gbxtest::WriteText(data + "/applications/other.desktop",
                           "[Desktop Entry]\nType=Application\nName=Other\nExec=other %f\n"
                           "MimeType=application/x-other-q3d;\n");
        ASSERT_EQ(gbxtest::Run("update-mime-database " + gbxtest::Quote(data + "/mime")).exitCode, 0);
        ASSERT_EQ(gbxtest::Run("update-desktop-database " + gbxtest::Quote(data + "/applications")).exitCode, 0);
    }

    gbxtest::TempDir dir;
    std::string data = dir.File("data");
    gbxtest::ScopedEnvironment dataHome{"XDG_DATA_HOME", data};
    gbxtest::ScopedEnvironment dataDirs{"XDG_DATA_DIRS", dir.File("system") + ":/usr/share"};
    gbxtest::ScopedEnvironment configHome{"XDG_CONFIG_HOME", dir.File("config")};
    gbxtest::ScopedEnvironment configDirs{"XDG_CONFIG_DIRS", dir.File("system-config")};
    gbxtest::ScopedEnvironment home{"HOME", dir.File("home")};
    // The generic desktop: xdg-mime asks the MIME database and the desktop entries' cache.
    gbxtest::ScopedEnvironment desktop{"XDG_CURRENT_DESKTOP", nullptr};
    gbxtest::ScopedEnvironment session{"DESKTOP_SESSION", nullptr};
    gbxtest::ScopedEnvironment kde{"KDE_FULL_SESSION", nullptr};
    gbxtest::ScopedEnvironment gnome{"GNOME_DESKTOP_SESSION_ID", nullptr};
    std::string card = dir.File("files/CARD.Q3D");
    std::string lowerCard = dir.File("files/songname.q3d");
    GT::CDesktopTypeStore store;
};

TEST_F(DesktopTypeStoreTest, RegisteredTheDesktopKnowsTheTypeItsEntryAndItsIcon) {
    const std::string before = TypeOfCard();
    EXPECT_NE(before, kType);
    ASSERT_TRUE(Register(false));
    EXPECT_EQ(TypeOfCard(), kType);
    EXPECT_EQ(Ask("filetype " + gbxtest::Quote(lowerCard)), kType) << "any case of the extension";
    EXPECT_EQ(Ask(std::string("default ") + kType), kEntry);

    const std::vector<uint8_t> entryBytes = gbxtest::ReadBytes(data + "/applications/" + kEntry);
    const std::string entry(entryBytes.begin(), entryBytes.end());
    EXPECT_NE(entry.find("\nExec=" + GT::QuoteDesktopExecArgument(store.ProgramPath()) + " %f\n"), std::string::npos)
        << entry;
    EXPECT_NE(entry.find(std::string("\nMimeType=") + kType + ";\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nName=Gigbox Setlister\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find(std::string("\nIcon=") + kId + "\n"), std::string::npos) << entry;
    EXPECT_EQ(gbxtest::ReadBytes(data + "/icons/hicolor/32x32/apps/" + kId + ".png").size() > 8, true);
    if (gbxtest::HaveCommand("desktop-file-validate")) {
        const auto check = gbxtest::Run("desktop-file-validate " + gbxtest::Quote(data + "/applications/" + kEntry));
        EXPECT_EQ(check.exitCode, 0) << check.output;
    }

    // Registering again writes nothing new.
    const std::set<std::string> written = WrittenFiles(data);
    const auto stamp = std::filesystem::last_write_time(data + "/applications/" + kEntry);
    ASSERT_TRUE(Register(false));
    EXPECT_EQ(WrittenFiles(data), written);
    EXPECT_EQ(std::filesystem::last_write_time(data + "/applications/" + kEntry), stamp);

    // Unregistering takes away exactly what was written.
    gbxtest::WriteText(data + "/applications/unrelated.desktop", "[Desktop Entry]\nType=Application\nName=U\n");
    ASSERT_TRUE(Register(true));
    EXPECT_EQ(WrittenFiles(data), std::set<std::string>{"applications/unrelated.desktop"});
    EXPECT_EQ(TypeOfCard(), before);
    EXPECT_EQ(Ask(std::string("default ") + kType), "");
}

TEST_F(DesktopTypeStoreTest, AnotherProgramsTypeGoesBackToItAndIsLeftAloneWhenNeverTaken) {
    InstallOtherProgram();
    ASSERT_EQ(TypeOfCard(), "application/x-other-q3d");
    const std::set<std::string> others = WrittenFiles(data);

    // Never registered: unregistering touches nothing of the other program.
    ASSERT_TRUE(Register(true));
    EXPECT_EQ(WrittenFiles(data), others);
    EXPECT_EQ(TypeOfCard(), "application/x-other-q3d");

    // Registered, the extension is ours; unregistered, it is the other program's again.
    ASSERT_TRUE(Register(false));
    EXPECT_EQ(TypeOfCard(), kType);
    ASSERT_TRUE(Register(true));
    EXPECT_EQ(WrittenFiles(data), others);
    EXPECT_EQ(TypeOfCard(), "application/x-other-q3d");
    EXPECT_EQ(Ask("default application/x-other-q3d"), "other.desktop");
}

TEST_F(DesktopTypeStoreTest, WithoutAnIconNothingIsWritten) {
    store.SetIconWriter(nullptr);
    EXPECT_FALSE(Register(false));
    EXPECT_TRUE(WrittenFiles(data).empty());
}

TEST(DesktopExecArgumentTest, ProgramPathsAreQuotedAsDesktopEntriesNeed) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/gbx/GBX", "/opt/gbx/GBX"},
        {"/home/a b/GBX", "\"/home/a b/GBX\""},
        {"/x/$HOME`q\"/GBX", "\"/x/\\\\$HOME\\\\`q\\\\\"/GBX\""},
        {"/x/100%/GBX", "/x/100%%/GBX"},
        {"/x\\y/GBX", "\"/x\\\\\\\\y/GBX\""},
    };
    for (const auto& [path, quoted] : cases) EXPECT_EQ(GT::QuoteDesktopExecArgument(path), quoted) << path;
}

}  // namespace
