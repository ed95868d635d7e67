#include "general_tools/ItemIdList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "general_tools/Paths.h"

namespace GT {

namespace {

std::string NormalisedPath(const std::string& path) {
    std::string normal = ConvertPathSlashes(path, true);
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    return normal;
}

std::string LastComponent(const std::string& path) {
    if (path == "/") return path;
    const std::string::size_type slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CItemIdList::CItemIdList(std::string path) : m_path(std::move(path)), m_displayName(LastComponent(m_path)) {}

CItemIdList::~CItemIdList() { EndEnumeration(); }

std::unique_ptr<CItemIdList> CItemIdList::FromPath(const std::string& path) {
    const std::string normal = NormalisedPath(path);
    struct stat info {};
    if (normal.empty() || stat(normal.c_str(), &info) != 0) return nullptr;
    return std::unique_ptr<CItemIdList>(new CItemIdList(normal));
}

bool CItemIdList::BeginEnumeration() {
    EndEnumeration();
    DIR* folder = opendir(m_path.c_str());
    if (folder == nullptr) return false;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (!name.empty() && name[0] != '.') m_children.push_back(name);
    }
    closedir(folder);
    std::sort(m_children.rbegin(), m_children.rend());  // handed out from the back
    m_enumerating = true;
    return true;
}

bool CItemIdList::GetNext(uint32_t asked, uint32_t required, uint32_t excluded, uint32_t& attributes,
                          std::unique_ptr<CItemIdList>& item) {
    item.reset();
    if (!m_enumerating || m_children.empty()) return false;
    const std::string name = std::move(m_children.back());
    m_children.pop_back();
    attributes = (asked | required | excluded) & kItemFileSystem;
    if ((attributes & required) == required && (attributes & excluded) == 0)
        item.reset(new CItemIdList(m_path == "/" ? "/" + name : m_path + "/" + name));
    return true;
}

void CItemIdList::EndEnumeration() {
    m_enumerating = false;
    m_children.clear();
}

}  // namespace GT
