// Document-type registration over an abstract key store, and the system version.
#pragma once

#include <string>

namespace GT {

// The shell's class keys as a tree of keys with default values. Key paths use "\".
class IClassesRootStore {
public:
    virtual ~IClassesRootStore();
    // The program file named in the entries.
    virtual std::string ProgramPath() = 0;
    // Whether the program file holds an icon at index.
    virtual bool ProgramHasIcon(int index) = 0;
    // Sets the key's default value, creating the key and its parents as needed.
    virtual bool SetValue(const std::string& key, const std::string& value) = 0;
    // The key's default value; false when the key or its value is missing.
    virtual bool QueryValue(const std::string& key, std::string& value) = 0;
    virtual bool KeyExists(const std::string& key) = 0;
    virtual bool HasSubKey(const std::string& key) = 0;
    // Deletes a key that has no sub-keys; its result is not used.
    virtual void DeleteKey(const std::string& key) = 0;
    // Makes what was written known (a registration ends with it).
    virtual void Flush() {}
};

// The store of this system: the desktop's document types under the user's data folder
// (CDesktopTypeStore).
IClassesRootStore& GetClassesRootStore();

bool RegisterDocumentType(IClassesRootStore& store, const std::string& extension, const std::string& id,
                          const std::string& description, int iconIndex, bool unregister);
bool RegisterDocumentType(const std::string& extension, const std::string& id, const std::string& description,
                          int iconIndex, bool unregister);

bool SetClassesRootValue(IClassesRootStore& store, const std::string& key, const std::string& value);
bool SetClassesRootValue(const std::string& key, const std::string& value);

// Deletes the key and then each parent in turn, while the key has no sub-keys.
void DeleteEmptyClassesRootKeys(IClassesRootStore& store, const std::string& key);
void DeleteEmptyClassesRootKeys(const std::string& key);

// The system-version code of a Windows version number; -1 for any other.
int OsKindForVersion(unsigned major, unsigned minor);
// Always -1 here: no Windows version to classify.
int GetOsKind();

}  // namespace GT
