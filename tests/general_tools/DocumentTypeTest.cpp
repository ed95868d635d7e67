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

TEST(DocumentTypeTest, TheSystemStoreWritesNothing) {
    EXPECT_TRUE(GT::RegisterDocumentType(".Q3D", "GigboxConverter.Document", "Gigbox Converter Document", 1, false));
    std::string value;
    EXPECT_FALSE(GT::GetClassesRootStore().QueryValue(".Q3D", value));
    EXPECT_TRUE(GT::SetClassesRootValue("x", "y"));
    GT::DeleteEmptyClassesRootKeys("x\\y");
}

TEST(OsKindTest, VersionTable) {
    const struct {
        unsigned major, minor;
        int code;
    } cases[] = {{3, 51, 0}, {4, 0, 2}, {4, 10, 3}, {4, 90, 4}, {5, 0, 5},  {5, 1, 6},   {5, 2, 7},
                 {6, 0, 8},  {6, 1, 9}, {6, 2, -1}, {5, 3, -1}, {0, 0, -1}, {10, 0, -1}, {4, 1, -1}};
    for (const auto& c : cases) EXPECT_EQ(GT::OsKindForVersion(c.major, c.minor), c.code) << c.major << "." << c.minor;
    EXPECT_EQ(GT::GetOsKind(), -1);
}

}  // namespace
