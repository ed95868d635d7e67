// Items of the desktop's namespace, which on this system is the file system: an item made
// from a path, and the listing of a folder's children with their paths and display names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace GT {

// Attribute bits a listing can ask for.
enum : uint32_t {
    kItemFileSystem = 0x40000000,  // the item is part of the file system (every item here)
};

class CItemIdList {
public:
    virtual ~CItemIdList();
    CItemIdList(const CItemIdList&) = delete;
    CItemIdList& operator=(const CItemIdList&) = delete;

    // The item of an existing file or folder (either separator); null when the path names
    // nothing.
    static std::unique_ptr<CItemIdList> FromPath(const std::string& path);

    // Starts listing this folder's children: sorted by name, without hidden (dot) entries.
    // False when the item is not a readable folder.
    bool BeginEnumeration();
    // Takes the next child; false when none is left. The child's attributes are the asked,
    // required and excluded masks' union that it has; item is set only when the child has
    // every required and no excluded attribute.
    bool GetNext(uint32_t asked, uint32_t required, uint32_t excluded, uint32_t& attributes,
                 std::unique_ptr<CItemIdList>& item);
    void EndEnumeration();

    // The item's name as a file manager shows it: its last path component ("/" for the root).
    const std::string& GetDisplayName() const { return m_displayName; }
    // Its file-system path, "/" form, without a trailing "/" (except the root).
    const std::string& GetPath() const { return m_path; }

private:
    explicit CItemIdList(std::string path);

    std::string m_path;
    std::string m_displayName;
    bool m_enumerating = false;
    std::vector<std::string> m_children;  // names still to hand out while listing, last first
};

}  // namespace GT
