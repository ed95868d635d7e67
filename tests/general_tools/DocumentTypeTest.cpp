#include "general_tools/DocumentType.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// Class keys in memory: key path -> default value (empty when none was set).
class MemoryStore : public GT::IClassesRootStore {
public:
    std::string ProgramPath() override { return "/opt/gbx/GBX"; }
    bool ProgramHasIcon(int index) override { return index < iconCount; }
    bool SetValue(const std::string& key, const std::string& value) override {
        if (failOn == key) return false;
        for (std::size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1))
            keys.emplace(key.substr(0, slash), "");
        keys[key] = value;
        return true;
    }
    bool QueryValue(const std::string& key, std::string& value) override {
        const auto it = keys.find(key);
        if (it == keys.end()) return false;
        value = it->second;
        return true;
    }
    bool KeyExists(const std::string& key) override { return keys.count(key) != 0; }
    bool HasSubKey(const std::string& key) override {
        const auto it = keys.upper_bound(key + "\\");
        return it != keys.end() && it->first.compare(0, key.size() + 1, key + "\\") == 0;
    }
    void DeleteKey(const std::string& key) override { keys.erase(key); }

    int iconCount = 2;
    std::string failOn;
    std::map<std::string, std::string> keys;
};

const std::map<std::string, std::string> kRegistered = {
    {".Q3D", "GigboxConverter.Document"},
    {"GigboxConverter.Document", "Gigbox Converter Document"},
    {"GigboxConverter.Document\\DefaultIcon", "/opt/gbx/GBX,1"},
    {"GigboxConverter.Document\\shell", ""},
    {"GigboxConverter.Document\\shell\\open", ""},
    {"GigboxConverter.Document\\shell\\open\\command", "/opt/gbx/GBX \"%1\""},
    {"GigboxConverter.Document\\shell\\open\\ddeexec", "[open(\"%1\")]"},
};

bool Register(MemoryStore& store, bool unregister) {
    return GT::RegisterDocumentType(store, ".Q3D", "GigboxConverter.Document", "Gigbox Converter Document", 1,
                                    unregister);
}

TEST(DocumentTypeTest, RegisteringTwiceLeavesTheSameEntries) {
    MemoryStore store;
    ASSERT_TRUE(Register(store, false));
    EXPECT_EQ(store.keys, kRegistered);
    ASSERT_TRUE(Register(store, false));
    EXPECT_EQ(store.keys, kRegistered);
}

TEST(DocumentTypeTest, WithoutTheIconNothingIsTouched) {
    MemoryStore store;
    store.iconCount = 1;  // only index 0
    EXPECT_FALSE(Register(store, false));
    EXPECT_TRUE(store.keys.empty());
}

TEST(DocumentTypeTest, FirstFailingWriteStopsAndKeepsEarlierEntries) {
    MemoryStore store;
    store.failOn = "GigboxConverter.Document\\shell\\open\\ddeexec";
    EXPECT_FALSE(Register(store, false));
    EXPECT_EQ(store.keys.count("GigboxConverter.Document\\DefaultIcon"), 1u);
    EXPECT_EQ(store.keys.count("GigboxConverter.Document\\shell\\open\\command"), 0u);
    EXPECT_EQ(store.keys.count(".Q3D"), 0u);
}

TEST(DocumentTypeTest, UnregisteringRemovesTheWholeTree) {
    MemoryStore store;
    ASSERT_TRUE(Register(store, false));
    store.keys["Other.Document"] = "kept";
    ASSERT_TRUE(Register(store, true));
    EXPECT_EQ(store.keys, (std::map<std::string, std::string>{{"Other.Document", "kept"}}));
}

TEST(DocumentTypeTest, UnregisteringLeavesAnotherProgramsExtensionAndForeignSubKeys) {
    MemoryStore store;
    ASSERT_TRUE(Register(store, false));
    store.keys[".Q3D"] = "Other.Document";
    store.keys["GigboxConverter.Document\\shell\\print"] = "";
    ASSERT_TRUE(Register(store, true));
    EXPECT_EQ(store.keys, (std::map<std::string, std::string>{{".Q3D", "Other.Document"},
                                                              {"GigboxConverter.Document", "Gigbox Converter Document"},
                                                              {"GigboxConverter.Document\\shell", ""},
                                                              {"GigboxConverter.Document\\shell\\print", ""}}));
}

// The codes rise with each Windows release, so that callers can compare them; only Vista and 7
// are above 7 (the progress dialog's newer systems); any other version, 3.x excepted, is -1.
TEST(OsKindTest, CodesRiseWithEachRelease) {
    const std::pair<unsigned, unsigned> releases[] = {{3, 51}, {4, 0}, {4, 10}, {4, 90}, {5, 0},
                                                      {5, 1},  {5, 2}, {6, 0},  {6, 1}};
    int previous = -1;
    for (const auto& [major, minor] : releases) {
        const int code = GT::OsKindForVersion(major, minor);
        EXPECT_GT(code, previous) << major << "." << minor;
        EXPECT_EQ(code > 7, major == 6) << major << "." << minor;
        previous = code;
    }
    EXPECT_EQ(GT::OsKindForVersion(3, 10), GT::OsKindForVersion(3, 51)) << "every 3.x is one system";
    const std::pair<unsigned, unsigned> others[] = {{6, 2}, {5, 3}, {0, 0}, {10, 0}, {4, 1}, {2, 0}};
    for (const auto& [major, minor] : others)
        EXPECT_EQ(GT::OsKindForVersion(major, minor), -1) << major << "." << minor;
}

}  // namespace
