#include "general_tools/DocumentType.h"

#include "general_tools/DesktopTypeStore.h"

namespace GT {

IClassesRootStore::~IClassesRootStore() = default;

IClassesRootStore& GetClassesRootStore() { return GetDesktopTypeStore(); }

bool SetClassesRootValue(IClassesRootStore& store, const std::string& key, const std::string& value) {
    return store.SetValue(key, value);
}

bool SetClassesRootValue(const std::string& key, const std::string& value) {
    return SetClassesRootValue(GetClassesRootStore(), key, value);
}

void DeleteEmptyClassesRootKeys(IClassesRootStore& store, const std::string& key) {
    std::string path = key;
    for (;;) {
        if (!store.KeyExists(path) || store.HasSubKey(path)) return;
        store.DeleteKey(path);
        const auto slash = path.rfind('\\');
        if (slash == std::string::npos) return;
        path.erase(slash);
    }
}

void DeleteEmptyClassesRootKeys(const std::string& key) { DeleteEmptyClassesRootKeys(GetClassesRootStore(), key); }

namespace {

bool ChangeEntries(IClassesRootStore& store, const std::string& extension, const std::string& id,
                   const std::string& description, int iconIndex, bool unregister) {
    const std::string program = store.ProgramPath();

    const std::pair<std::string, std::string> entries[] = {
        {id, description},
        {id + "\\DefaultIcon", program + "," + std::to_string(iconIndex)},
        {id + "\\shell\\open\\ddeexec", "[open(\"%1\")]"},
        {id + "\\shell\\open\\command", program + " \"%1\""},
    };
    bool first = true;
    for (const auto& entry : entries) {
        if (!unregister) {
            if (!SetClassesRootValue(store, entry.first, entry.second)) return false;
        } else if (!first) {
            DeleteEmptyClassesRootKeys(store, entry.first);
        }
        first = false;
    }

    std::string current;
    const bool known = store.QueryValue(extension, current) && !current.empty();
    if (!unregister) {
        if ((!known || current != id) && !SetClassesRootValue(store, extension, id)) return false;
    } else if (!known || current == id) {
        DeleteEmptyClassesRootKeys(store, extension);
    }
    return true;
}

}  // namespace

bool RegisterDocumentType(IClassesRootStore& store, const std::string& extension, const std::string& id,
                          const std::string& description, int iconIndex, bool unregister) {
    if (!store.ProgramHasIcon(iconIndex)) return false;
    const bool result = ChangeEntries(store, extension, id, description, iconIndex, unregister);
    store.Flush();  // also after a failure: the entries already written stay
    return result;
}

bool RegisterDocumentType(const std::string& extension, const std::string& id, const std::string& description,
                          int iconIndex, bool unregister) {
    return RegisterDocumentType(GetClassesRootStore(), extension, id, description, iconIndex, unregister);
}

int OsKindForVersion(unsigned major, unsigned minor) {
    struct Row {
        unsigned major;
        int minor;  // -1: any
        int code;
    };
    static const Row kRows[] = {{3, -1, 0}, {4, 0, 2}, {4, 10, 3}, {4, 90, 4}, {5, 0, 5},
                                {5, 1, 6},  {5, 2, 7}, {6, 0, 8},  {6, 1, 9}};
    for (const Row& row : kRows)
        if (row.major == major && (row.minor < 0 || static_cast<unsigned>(row.minor) == minor)) return row.code;
    return -1;
}

int GetOsKind() { return OsKindForVersion(0, 0); }

}  // namespace GT
